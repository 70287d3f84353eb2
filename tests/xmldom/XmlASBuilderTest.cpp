// Tests of the schema road: the schema builder fed by hand and through the DTD parser component
// (content models, enumerations, duplicate kinds, attribute types and defaults, parameter
// entities in both subsets, attribute lists ahead of their elements, hostile DTDs), and the
// source-code operations of the reading component.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CodePages.h"
#include "DomExceptions.h"
#include "XmlDom.h"

using namespace xmldom;

namespace {

std::string utf8(const WideString& s) { return ToUtf8(s); }

/// An implementation that records the kinds and clues of the errors it is told of.
struct ErrorLog {
    TDomImplementation impl;
    std::vector<int> kinds;
    std::vector<std::string> clues;
    ErrorLog() {
        impl.OnError = [this](TObject*, TdomError* e, bool&) {
            kinds.push_back(e->getKind());
            clues.push_back(utf8(e->getClue()));
        };
    }
};

} // namespace

// ------------------------------------------------------------------ source code

TEST(SourceCode, PiecesJoinInOrder) {
    TXmlSourceCode code;
    EXPECT_EQ(code.getCount(), 0);
    EXPECT_EQ(code.item(0), nullptr);
    code.add(u"<a>");
    code.add(u"x");
    code.add(u"</a>");
    EXPECT_EQ(code.getCount(), 3);
    EXPECT_EQ(code.item(1)->getText(), u"x");
    EXPECT_EQ(code.item(-1), nullptr);
    EXPECT_EQ(code.getText(), u"<a>x</a>");
    code.clear();
    EXPECT_EQ(code.getText(), u"");
}

TEST(SourceCode, SourceCodeToDomReadsTheJoinedText) {
    ErrorLog log;
    TXmlToDomParser parser;
    parser.SetDOMImpl(&log.impl);
    EXPECT_THROW(
        try { parser.sourceCodeToDom(nullptr); } catch (const EAccessViolation& e) {
            EXPECT_EQ(e.Message, u"TXmlSourceCode not specified.");
            throw;
        },
        EAccessViolation);
    TXmlSourceCode code;
    code.add(u"<root a='1'>");
    code.add(u"caf\u00e9 \u0416");
    code.add(u"</root>");
    TdomDocument* doc = parser.sourceCodeToDom(&code);
    ASSERT_NE(doc, nullptr);
    TdomElement* root = doc->getDocumentElement();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getFirstChild()->getNodeValue(), u"caf\u00e9 \u0416");
    log.impl.freeDocument(doc);

    TXmlSourceCode empty;
    EXPECT_THROW(parser.sourceCodeToDom(&empty), EAccessViolation); // "Empty string."
}

TEST(SourceCode, ParseSourceCodeIntoNarrowsToTheCodePage) {
    ErrorLog log;
    TXmlToDomParser parser;
    parser.SetDOMImpl(&log.impl);
    TdomDocument* doc = log.impl.createDocument(u"target", nullptr);
    TdomElement* target = doc->getDocumentElement();
    try {
        parser.parseSourceCodeInto(nullptr, u"", u"", target);
        FAIL();
    } catch (const EAccessViolation& e) {
        EXPECT_EQ(e.Message, u"Stream not specified.");
    }
    TXmlSourceCode code;
    code.add(u"<p>ol\u00e9</p>");
    code.add(u"<q/>");
    EXPECT_TRUE(parser.parseSourceCodeInto(&code, u"", u"", target));
    ASSERT_EQ(target->getChildNodes()->getLength(), 2);
    // The letter survives the trip through the code page's single bytes.
    EXPECT_EQ(target->getFirstChild()->getFirstChild()->getNodeValue(), u"ol\u00e9");

    // A character the code page cannot hold is refused, not turned into another one.
    TXmlSourceCode foreign;
    foreign.add(u"<p>\u0416</p>");
    EXPECT_THROW(parser.parseSourceCodeInto(&foreign, u"", u"", target), EConvertError);
    EXPECT_EQ(target->getChildNodes()->getLength(), 2);

    // Another code page: its bytes are declared, so they read back as the same letters.
    ASSERT_TRUE(SetACP(1251));
    TXmlSourceCode cyrillic;
    cyrillic.add(u"<r>\u0416\u0436</r>");
    EXPECT_TRUE(parser.parseSourceCodeInto(&cyrillic, u"", u"", target));
    EXPECT_EQ(target->getLastChild()->getFirstChild()->getNodeValue(), u"\u0416\u0436");
    SetACP(1252);
    log.impl.freeDocument(doc);
}
