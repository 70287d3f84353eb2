// Tests of the reading road: the events the document reader cuts from text (with their error
// kinds and spans), the document builder's tree, the reading component's checks and its two
// families, round trips through the writer, and hostile inputs (deep nesting, huge tokens,
// many attributes, truncation, bad bytes, entity bombs).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "DomExceptions.h"
#include "XmlDom.h"
#include "XmlEncodings.h"
#include "XmlMessages.h"
#include "XmlSources.h"

using namespace xmldom;

namespace {

std::string utf8(const WideString& s) { return ToUtf8(s); }

WideString FromUtf8(const std::string& s) {
    WideString out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
    return out;
}

/// One reported error: kind, clue and the span of the locator.
struct Reported {
    int kind;
    std::string clue;
    int startLine, startColumn, endLine, endColumn;
};

/// A reader whose events are written as lines of text, with the errors it reports.
class EventLog {
public:
    EventLog() {
        impl.OnError = [this](TObject*, TdomError* e, bool&) {
            const TdomLocator& l = e->getLocation();
            errors.push_back({e->getKind(), utf8(e->getClue()), l.getStartLine(), l.getStartColumn(),
                              l.getEndLine(), l.getEndColumn()});
        };
        reader.setDOMImpl(&impl);
        reader.setNextHandler(&log);
        log.OnPCDATA = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& d) { add("text " + utf8(d)); };
        log.OnEntityRef = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& d) { add("ref " + utf8(d)); };
        log.OnComment = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& d) { add("comment " + utf8(d)); };
        log.OnCDATA = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& d) { add("cdata " + utf8(d)); };
        log.OnProcessingInstruction = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& t,
                                             WideString& d) { add("pi " + utf8(t) + "|" + utf8(d)); };
        log.OnStartElement = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& t, TdomNameValueList*& a) {
            std::string s = "start " + utf8(t);
            for (int i = 0; i < a->getCount(); ++i) s += " " + utf8(a->getName(i)) + "=" + utf8(a->getValue(i));
            add(s);
        };
        log.OnEndElement = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& t) { add("end " + utf8(t)); };
        log.OnStartPrefixMapping = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& p, WideString& u) {
            add("map " + utf8(p) + "=" + utf8(u));
        };
        log.OnEndPrefixMapping = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& p) {
            add("unmap " + utf8(p));
        };
        log.OnDoctype = [this](TObject*, TXmlCustomReader*, TdomLocator*, WideString& n, WideString& p,
                               WideString& s, WideString& d) {
            add("doctype " + utf8(n) + "|" + utf8(p) + "|" + utf8(s) + "|" + utf8(d));
        };
        log.OnStartDocument = [this](TObject*, TXmlCustomReader*, TdomLocator* l, WideString&, WideString&,
                                     TdomStandalone&) { (void)l; };
    }

    /// Parses the bytes as a document; the events without the document events.
    bool parse(const std::string& bytes) {
        events.clear();
        errors.clear();
        TStringStream stream(bytes);
        TXmlInputSource source(&stream, 4096, 1, u"", u"");
        return reader.parseDocument(&source);
    }

    void add(std::string s) {
        events.push_back(std::move(s));
    }

    TDomImplementation impl;
    TXmlStandardDocReader reader;
    TXmlStandardHandler log;
    std::vector<std::string> events;
    std::vector<Reported> errors;
};

using Events = std::vector<std::string>;

} // namespace

// ------------------------------------------------------------------ document reader

TEST(DocReader, EntityReferenceBetweenLettersGivesThreeEvents) {
    EventLog r;
    EXPECT_TRUE(r.parse("<a>x&e;y</a>"));
    EXPECT_EQ(r.events, (Events{"start a", "text x", "ref e", "text y", "end a"}));
}

TEST(DocReader, CharacterReferencesJoinTheText) {
    EventLog r;
    EXPECT_TRUE(r.parse("<a>x&#65;y&#x42;z&#x10000;</a>"));
    EXPECT_EQ(r.events, (Events{"start a", "text xAyBz\xF0\x90\x80\x80", "end a"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(DocReader, BadCharacterReferencesAreKind44WithTheReferenceAsClue) {
    const char* cases[][2] = {{"&#xD800;", "&#xD800;"},   {"&#X41;", "&#X41;"},
                              {"&#;", "&#;"},             {"&#x;", "&#x;"},
                              {"&#1114112;", "&#1114112;"}, {"&#99999999999999999999999999;", "&#99999999999999999999999999;"},
                              {"&#xFFFFFFFFFFFFFFFFFFFF41;", "&#xFFFFFFFFFFFFFFFFFFFF41;"}, {"&#8;", "&#8;"}};
    for (auto& c : cases) {
        EventLog r;
        EXPECT_FALSE(r.parse(std::string("<a>") + c[0] + "</a>")) << c[0];
        ASSERT_EQ(r.errors.size(), 1u) << c[0];
        EXPECT_EQ(r.errors[0].kind, 44) << c[0];
        EXPECT_EQ(r.errors[0].clue, c[1]);
    }
}

TEST(DocReader, CDataSectionEndInTextIsKind43) {
    // Written as it stands, "]]>" is no character data, wherever in the text it lies.
    for (const char* text : {"<a>]]></a>", "<a>x]]]>y</a>", "<a>&#65;]]></a>", "<a>x&e;]]></a>"}) {
        EventLog r;
        EXPECT_FALSE(r.parse(text)) << text;
        ASSERT_EQ(r.errors.size(), 1u) << text;
        EXPECT_EQ(r.errors[0].kind, 43) << text;
        EXPECT_EQ(r.errors[0].clue, "]]>") << text;
    }
    // Given by references, or broken by one, it is text; a lone ">" is text too.
    for (const char* text : {"<a>]]&gt;</a>", "<a>&#93;]></a>", "<a>]&#93;></a>", "<a>]&e;]></a>", "<a>]] > ></a>",
                             "<a b=']]>'>x</a>"}) {
        EventLog r;
        EXPECT_TRUE(r.parse(text)) << text;
        EXPECT_TRUE(r.errors.empty()) << text;
    }
}

TEST(DocReader, CommentsProcessingInstructionsAndCData) {
    EventLog r;
    EXPECT_TRUE(r.parse("<a><!----><!-- c --><?t  d e?><![CDATA[<&]]></a>"));
    EXPECT_EQ(r.events, (Events{"start a", "comment ", "comment  c ", "pi t|d e", "cdata <&", "end a"}));
}

TEST(DocReader, OpeningDelimitersNeverCloseTheirToken) {
    for (const char* text : {"<a><?>", "<a><!-->", "<a><!--->", "<a><![CDATA[]>"}) {
        EventLog r;
        EXPECT_FALSE(r.parse(text)) << text;
        ASSERT_FALSE(r.errors.empty()) << text;
        EXPECT_EQ(r.errors.back().kind, 43) << text;
    }
    EventLog r;
    EXPECT_TRUE(r.parse("<a><!--->--></a>"));
    EXPECT_EQ(r.events[1], "comment ->");
}

TEST(DocReader, QuotedGreaterThanDoesNotEndTheTag) {
    EventLog r;
    EXPECT_TRUE(r.parse("<a b='>' c=\"'>\"/>"));
    EXPECT_EQ(r.events, (Events{"start a b=> c='>", "end a"}));
}

TEST(DocReader, EmptyElementTagGivesStartAndEnd) {
    EventLog r;
    EXPECT_TRUE(r.parse("<a/>"));
    EXPECT_EQ(r.events, (Events{"start a", "end a"}));
}

TEST(DocReader, EndTagLosesTrailingWhiteSpace) {
    EventLog r;
    EXPECT_TRUE(r.parse("<a></a \n>"));
    EXPECT_EQ(r.events, (Events{"start a", "end a"}));
}

TEST(DocReader, DoctypeWithSubsetEndsAfterTheSubset) {
    EventLog r;
    EXPECT_TRUE(r.parse("<!DOCTYPE a PUBLIC \"p\" 's' [<!-- ] > --><?x ]>?><!ENTITY e \"]>\">]><a/>"));
    ASSERT_EQ(r.events.size(), 3u);
    EXPECT_EQ(r.events[0], "doctype a|p|s|<!-- ] > --><?x ]>?><!ENTITY e \"]>\">");
}

TEST(DocReader, MalformedDoctypesAreKind68) {
    for (const char* text : {"<!DOCTYPE 1a><a/>", "<!DOCTYPE a SYSTEM><a/>", "<!DOCTYPE a PUBLIC 'p'><a/>",
                             "<!DOCTYPE a SYSTEM 's' x><a/>", "<!DOCTYPE a [ ] x><a/>", "<!DOCTYPEa><a/>",
                             "<!DOCTYPE a BOGUS 's'><a/>"}) {
        EventLog r;
        EXPECT_FALSE(r.parse(text)) << text;
        ASSERT_FALSE(r.errors.empty()) << text;
        EXPECT_EQ(r.errors[0].kind, 68) << text;
    }
}

TEST(DocReader, DoctypeLiteralsKeepBracketsGreaterThanAndTheOtherQuote) {
    // Each character in the system literal (and the public literal's apostrophe), with and
    // without an internal subset: the literals are read whole, the subset is what the brackets hold.
    for (const std::string inside : {"[", "]", ">", "'", "\"", "[]"}) {
        const std::string q = inside.find('"') == std::string::npos ? "\"" : "'";
        const std::string sys = "a" + inside + "b";
        for (const std::string subset : {"", "<!ELEMENT r ANY>"}) {
            const std::string tail = subset.empty() ? ">" : " [" + subset + "]>";
            for (const bool isPublic : {false, true}) {
                const std::string id = isPublic ? "PUBLIC \"p'q\" " + q + sys + q : "SYSTEM " + q + sys + q;
                const std::string text = "<!DOCTYPE r " + id + tail + "<r/>";
                EventLog r;
                EXPECT_TRUE(r.parse(text)) << text;
                ASSERT_FALSE(r.events.empty()) << text;
                EXPECT_EQ(r.events[0], "doctype r|" + std::string(isPublic ? "p'q" : "") + "|" + sys + "|" + subset)
                    << text;
            }
        }
    }
    // "[", "]" and ">" are no public-identifier characters: the whole road refuses them as a
    // document type fault, with or without a subset, as it does any other.
    TDomImplementation impl;
    std::vector<int> kinds;
    impl.OnError = [&](TObject*, TdomError* e, bool&) { kinds.push_back(e->getKind()); };
    TXmlToDomParser parser;
    parser.SetDOMImpl(&impl);
    for (const std::string inside : {"[", "]", ">"}) {
        for (const std::string subset : {"", " [<!ELEMENT r ANY>]"}) {
            const std::string text = "<!DOCTYPE r PUBLIC \"a" + inside + "b\" \"s\"" + subset + "><r/>";
            kinds.clear();
            EXPECT_THROW(parser.stringToDom(text), EParserException) << text;
            EXPECT_EQ(kinds, std::vector<int>{ET_INVALID_DOCTYPE}) << text;
        }
    }
}

TEST(DocReader, TextAtTheEndIsDeliveredAndUnfinishedTokensAreKind43) {
    EventLog r;
    EXPECT_TRUE(r.parse("tail"));
    EXPECT_EQ(r.events, (Events{"text tail"}));
    EXPECT_FALSE(r.parse("<a><b x='1'"));
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].kind, 43);
    EXPECT_EQ(r.errors[0].clue, "<b x='1'");
}

TEST(DocReader, InputEndingInsideAReferenceIsKind43) {
    for (const char* text : {"<a/>&", "<a/>&#", "<a/>&#12", "<a/>&#x", "<a/>&am", "x&"}) {
        EventLog r;
        EXPECT_FALSE(r.parse(text)) << text;
        ASSERT_FALSE(r.errors.empty()) << text;
        EXPECT_EQ(r.errors.back().kind, 43) << text;
    }
}

TEST(DocReader, TagSplitErrors) {
    struct {
        const char* text;
        int kind;
    } cases[] = {{"<a b></a>", 55}, {"<a b=c></a>", 56}, {"<a b='1' b='2'></a>", 37},
                 {"<a b='1'c='2'></a>", 58}};
    for (auto& c : cases) {
        EventLog r;
        EXPECT_FALSE(r.parse(c.text)) << c.text;
        ASSERT_FALSE(r.errors.empty()) << c.text;
        EXPECT_EQ(r.errors[0].kind, c.kind) << c.text;
    }
}

TEST(DocReader, EachTagCarriesExactlyItsOwnAttributes) {
    EventLog r;
    EXPECT_TRUE(r.parse("<r a='1' bb='a longer value than seven' c=''><x d='4'/><y/>"
                        "<z e='5' f='another long value here' g='7' h='8'/></r>"));
    EXPECT_EQ(r.events, (Events{"start r a=1 bb=a longer value than seven c=", "start x d=4", "end x", "start y",
                                "end y", "start z e=5 f=another long value here g=7 h=8", "end z", "end r"}));
    // The public split adds to what the list holds.
    TdomNameValueList list;
    list.Add(u"k", u"v");
    WideString name;
    EXPECT_TRUE(r.reader.splitTag(nullptr, u"t p='1' q=\"2\"", &list, name));
    EXPECT_EQ(name, u"t");
    ASSERT_EQ(list.getCount(), 3);
    EXPECT_EQ(list.getName(0), u"k");
    EXPECT_EQ(list.getValue(2), u"2");
}

TEST(DocReader, PrefixMappingsAroundTheElement) {
    EventLog r;
    EXPECT_TRUE(r.parse("<a xmlns='u' xmlns:p='v' xmlns:='w' x='1'><b/></a>"));
    EXPECT_EQ(r.events, (Events{"map =u", "map p=v", "start a xmlns=u xmlns:p=v xmlns:=w x=1", "start b", "end b",
                                "end a", "unmap p", "unmap "}));
    r.reader.setSuppressXmlns(true);
    EXPECT_TRUE(r.parse("<a xmlns:p='v' x='1'/>"));
    EXPECT_EQ(r.events, (Events{"map p=v", "start a x=1", "end a", "unmap p"}));
    EXPECT_EQ(r.reader.getPrefixMappingDepth(), 0);
}

TEST(DocReader, InvalidCharacterIsReportedAtItsPlace) {
    EventLog r;
    EXPECT_FALSE(r.parse("<a>\n  x\x01</a>"));
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].kind, 43);
    EXPECT_EQ(r.errors[0].startLine, 2);
    EXPECT_EQ(r.errors[0].startColumn, 4);
}

TEST(DocReader, EventLocatorSpansItsToken) {
    EventLog r;
    std::vector<std::vector<int>> spans;
    r.log.OnStartElement = [&](TObject*, TXmlCustomReader*, TdomLocator* l, WideString&, TdomNameValueList*&) {
        spans.push_back({l->getStartLine(), l->getStartColumn(), l->getEndLine(), l->getEndColumn()});
    };
    EXPECT_TRUE(r.parse("<a>\n <bb\n c='1'>x</bb></a>"));
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0], (std::vector<int>{1, 1, 1, 3}));
    EXPECT_EQ(spans[1], (std::vector<int>{2, 2, 3, 7}));
}

TEST(DocReader, UndecodableBytesAreKind43) {
    EventLog r;
    EXPECT_FALSE(r.parse("<a>\xC3\x28</a>"));
    ASSERT_FALSE(r.errors.empty());
    EXPECT_EQ(r.errors[0].kind, 43);
}

// ------------------------------------------------------------------ the reading component

namespace {

class Reading : public ::testing::Test {
protected:
    void SetUp() override {
        parser.SetDOMImpl(&impl);
        impl.OnError = [this](TObject*, TdomError* e, bool&) { kinds.push_back(e->getKind()); };
    }

    TdomDocument* read(const std::string& text) { return parser.stringToDom(text); }

    /// The document written back as UTF-8 without declaration noise.
    std::string written(TdomNode* node) {
        TDomToXmlParser writer;
        writer.SetDOMImpl(&impl);
        writer.SetNewLine(ntlLF);
        std::string out;
        writer.writeToString(node, u"UTF-8", out);
        return out;
    }

    int documents() { return impl.getDocuments()->getLength(); }

    TDomImplementation impl;
    TXmlToDomParser parser;
    std::vector<int> kinds;
};

} // namespace

TEST_F(Reading, Defaults) {
    TXmlToDomParser p;
    EXPECT_EQ(p.getBufferSize(), 4096);
    EXPECT_EQ(p.getTabWidth(), 1);
    EXPECT_TRUE(p.getKeepCDATASections());
    EXPECT_TRUE(p.getKeepComments());
    EXPECT_TRUE(p.getKeepEntityRefs());
    EXPECT_FALSE(p.getDocReader()->getPrefixMapping());
    EXPECT_FALSE(p.getDocBuilder()->getBuildNamespaceTree());
    try {
        p.SetBufferSize(1023);
        FAIL();
    } catch (const ENot_Supported_Err& e) {
        EXPECT_EQ(e.Message, ToUtf8(msg::kBufferSizeTooSmall));
    }
    EXPECT_EQ(p.getBufferSize(), 4096);
    p.SetBufferSize(1024);
    EXPECT_EQ(p.getBufferSize(), 1024);
}

TEST_F(Reading, ChecksInOrder) {
    TXmlToDomParser p;
    auto message = [](auto f) {
        try {
            f();
        } catch (const EAccessViolation& e) {
            return e.Message;
        }
        return std::string("none");
    };
    EXPECT_EQ(message([&] { p.stringToDom(""); }), "DOMImplementation not specified.");
    EXPECT_EQ(message([&] { p.fileToDom(u""); }), "DOMImplementation not specified.");
    EXPECT_EQ(message([&] { parser.fileToDom(u""); }), "Filename not specified.");
    EXPECT_EQ(message([&] { parser.streamToDom(nullptr); }), "Stream not specified.");
    EXPECT_EQ(message([&] { parser.stringToDom(""); }), "Empty string.");
    EXPECT_EQ(message([&] { parser.wideStringToDom(u""); }), "Empty string.");
    EXPECT_EQ(message([&] { parser.parseStreamInto(nullptr, u"", u"", nullptr); }), "Stream not specified.");
    EXPECT_EQ(message([&] { parser.parseStringInto("", u"", u"", nullptr); }), "Empty string.");
}

TEST_F(Reading, BuildsTheTree) {
    TdomDocument* doc = read("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                             "<!DOCTYPE r SYSTEM \"r.dtd\">\n<!-- top -->\n<r a=\"1\"><x>t&amp;u<![CDATA[c]]></x>"
                             "<?pi data?>&ent;</r>\n");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(utf8(doc->getXmlVersion()), "1.0");
    EXPECT_EQ(utf8(doc->getInputEncoding()), "UTF-8");
    EXPECT_EQ(doc->getXmlStandalone(), STANDALONE_YES);
    TdomElement* root = doc->getDocumentElement();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(utf8(root->getAttribute(u"a")), "1");
    EXPECT_EQ(root->getChildNodes()->getLength(), 3);
    EXPECT_EQ(root->getLastChild()->getNodeType(), ntEntity_Reference_Node);
    EXPECT_EQ(doc->getChildNodes()->getLength(), 3); // doctype, comment, root
    EXPECT_EQ(documents(), 1);
    impl.freeDocument(doc);
}

TEST_F(Reading, KeepFlagsOffJoinTheText) {
    parser.SetKeepEntityRefs(false);
    parser.SetKeepCDATASections(false);
    parser.SetKeepComments(false);
    TdomDocument* doc = read("<r>a &amp; b<![CDATA[ c]]>&lt;<!-- x -->&apos;&quot;&gt;&other;</r>");
    TdomNode* root = doc->getDocumentElement();
    ASSERT_EQ(root->getChildNodes()->getLength(), 2);
    EXPECT_EQ(utf8(root->getFirstChild()->getNodeValue()), "a & b c<'\">");
    EXPECT_EQ(utf8(root->getLastChild()->getNodeName()), "other");
    impl.freeDocument(doc);
}

TEST_F(Reading, TextWithABadCharacterIsReportedByReaderAndChecks) {
    impl.OnError = [this](TObject*, TdomError* e, bool& go) {
        kinds.push_back(e->getKind());
        go = true;
    };
    TdomDocument* doc = read("<r>a\x01" "b<x>c&#65;d</x>e\xEF\xBF\xBE" "f</r>");
    // The reader at the character, the well-formedness check on the text that holds it; the
    // clean text between is not reported.
    EXPECT_EQ(kinds, (std::vector<int>{ET_INVALID_CHARACTER, ET_INVALID_CHARACTER, ET_INVALID_CHARACTER,
                                       ET_INVALID_CHARACTER}));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(utf8(doc->getDocumentElement()->getTextContent()), "a\x01" "bcAde\xEF\xBF\xBE" "f");
    impl.freeDocument(doc);
}

TEST_F(Reading, FailedParseRaisesAndLeavesNoDocument) {
    for (const char* text : {"<a>", "<a></b>", "<a/><b/>", "x<a/>", "<a/>&", "<a b='1' b='2'/>", "<?xml?><a/>",
                             "<a/><!DOCTYPE a>", "<1/>"}) {
        try {
            read(text);
            ADD_FAILURE() << text;
        } catch (const EParserException& e) {
            EXPECT_EQ(e.Message, "Parser error.") << text;
        }
        EXPECT_EQ(documents(), 0) << text;
    }
}

TEST_F(Reading, TextDeclarationAloneIsRefusedWithKind52) {
    EXPECT_THROW(read("<?xml encoding=\"UTF-8\"?><a/>"), EParserException);
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.back(), 52);
}

TEST_F(Reading, WideStringGetsItsMark) {
    TdomDocument* doc = parser.wideStringToDom(u"<a>\u00e9\U00010000</a>");
    EXPECT_EQ(doc->getDocumentElement()->getFirstChild()->getNodeValue(), u"\u00e9\U00010000");
    impl.freeDocument(doc);
}

TEST_F(Reading, FileNameWithSpaceKeepsItsUri) {
    std::string path = testing::TempDir() + "reader test \xC3\xA9.xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("<a/>", f);
    std::fclose(f);
    WideString name = FromUtf8(path);
    TdomDocument* doc = parser.fileToDom(name);
    EXPECT_EQ(doc->getDocumentURI(), name);
    impl.freeDocument(doc);
    std::remove(path.c_str());
}

TEST_F(Reading, IntoNodeAppendsChildren) {
    TdomDocument* doc = read("<r/>");
    TdomElement* root = doc->getDocumentElement();
    EXPECT_TRUE(parser.parseStringInto("t<b x='1'/>u", u"", u"", root));
    EXPECT_EQ(root->getChildNodes()->getLength(), 3);
    EXPECT_TRUE(parser.parseWideStringInto(u"<c/>", u"", u"", root));
    EXPECT_EQ(root->getChildNodes()->getLength(), 4);
    EXPECT_THROW(parser.parseStringInto("<c>", u"", u"", root), EParserException);
    impl.freeDocument(doc);
}

TEST_F(Reading, IntoNodeTextBeginningWithEfBbIsRead) {
    TdomDocument* doc = read("<r/>");
    TdomElement* root = doc->getDocumentElement();
    EXPECT_TRUE(parser.parseStringInto("\xEF\xBB\x80x", u"", u"", root));
    EXPECT_EQ(root->getFirstChild()->getNodeValue(), u"\uFEC0x");
    impl.freeDocument(doc);
}

TEST_F(Reading, RoundTripThroughTheWriter) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE r [<!ENTITY e \"v\"><!-- ] -->]>\n"
        "<r xmlns=\"urn:a\" xmlns:p=\"urn:b\" p:x=\"1 &amp; 2\"><p:c>t&e;u&#233;</p:c><![CDATA[<x>]]>"
        "<!-- c --><?pi d?><e/></r>";
    TdomDocument* first = read(text);
    std::string once = written(first);
    TdomDocument* second = read(once);
    EXPECT_EQ(written(second), once);
    EXPECT_NE(once.find("<p:c>t&e;u\xC3\xA9</p:c>"), std::string::npos) << once;
    impl.freeDocument(first);
    impl.freeDocument(second);
}

// ------------------------------------------------------------------ document builder alone

namespace {

/// A builder driven by hand, reporting through a reader.
struct BuilderRig {
    BuilderRig() {
        impl.OnError = [this](TObject*, TdomError* e, bool& go) {
            kinds.push_back(e->getKind());
            go = true;
        };
        reader.setDOMImpl(&impl);
        doc = impl.createEmptyDocument(u"");
        builder.setReferenceNode(doc);
    }
    TDomImplementation impl;
    TXmlStandardDocReader reader;
    TXmlDocBuilder builder;
    TdomDocument* doc;
    std::vector<int> kinds;
};

} // namespace

TEST(DocBuilder, EndTagMismatchKeepsTheReferenceNode) {
    BuilderRig r;
    TdomNameValueList none;
    r.builder.processStartElement(&r.reader, nullptr, u"a", &none);
    TdomNode* a = r.builder.getReferenceNode();
    r.builder.processEndElement(&r.reader, nullptr, u"b");
    EXPECT_EQ(r.kinds, (std::vector<int>{57}));
    EXPECT_EQ(r.builder.getReferenceNode(), a);
}

TEST(DocBuilder, DocumentLevelText) {
    BuilderRig r;
    r.builder.processPCDATA(&r.reader, nullptr, u" \n\t");
    EXPECT_TRUE(r.kinds.empty());
    EXPECT_EQ(r.doc->getChildNodes()->getLength(), 0);
    r.builder.processPCDATA(&r.reader, nullptr, u" x");
    EXPECT_EQ(r.kinds, (std::vector<int>{59}));
}

TEST(DocBuilder, NamespaceTree) {
    BuilderRig r;
    r.builder.setBuildNamespaceTree(true);
    TdomNameValueList atts;
    atts.Add(u"xmlns:p", u"urn:p");
    atts.Add(u"p:x", u"1");
    atts.Add(u"xml:lang", u"en");
    r.builder.processStartPrefixMapping(&r.reader, nullptr, u"p", u"urn:p");
    r.builder.processStartElement(&r.reader, nullptr, u"p:a", &atts);
    auto* a = static_cast<TdomElement*>(r.builder.getReferenceNode());
    EXPECT_EQ(utf8(a->getNamespaceURI()), "urn:p");
    EXPECT_EQ(utf8(a->getAttributeNS(u"urn:p", u"x")), "1");
    EXPECT_EQ(utf8(a->getAttributeNS(u"http://www.w3.org/XML/1998/namespace", u"lang")), "en");
    TdomNameValueList none;
    r.builder.processStartElement(&r.reader, nullptr, u"q:b", &none);
    EXPECT_EQ(r.kinds, (std::vector<int>{76}));
    r.builder.processEndPrefixMapping(&r.reader, nullptr, u"z");
    EXPECT_EQ(r.kinds.back(), 77);
    r.builder.processStartPrefixMapping(&r.reader, nullptr, u"xmlns", u"urn:x");
    EXPECT_EQ(r.kinds.back(), 74);
    r.builder.processStartPrefixMapping(&r.reader, nullptr, u"p", u"a<b");
    EXPECT_EQ(r.kinds.back(), 73);
}

TEST(DocBuilder, ElementsOfOneNameKeepTheirOwnChildrenWhateverTheirCount) {
    // The room a new element starts with comes from the last element of its name: fewer
    // children than that, or many more, must still give exactly the children read.
    BuilderRig r;
    TdomNameValueList none;
    TdomNameValueList atts;
    atts.Add(u"a", u"1");
    atts.Add(u"b", u"2");
    atts.Add(u"c", u"3");
    r.builder.processStartElement(&r.reader, nullptr, u"r", &none);
    std::vector<TdomElement*> made;
    for (int count : {300, 2, 0, 401, 1}) {
        r.builder.processStartElement(&r.reader, nullptr, u"e", count == 2 ? &none : &atts);
        made.push_back(static_cast<TdomElement*>(r.builder.getReferenceNode()));
        for (int i = 0; i < count; ++i) {
            r.builder.processStartElement(&r.reader, nullptr, u"k", &none);
            r.builder.processPCDATA(&r.reader, nullptr, WideString(u"t") + WideString(1, char16_t(u'a' + i % 26)));
            r.builder.processEndElement(&r.reader, nullptr, u"k");
        }
        r.builder.processEndElement(&r.reader, nullptr, u"e");
    }
    EXPECT_TRUE(r.kinds.empty());
    const int counts[] = {300, 2, 0, 401, 1};
    for (size_t n = 0; n < made.size(); ++n) {
        TdomElement* e = made[n];
        ASSERT_EQ(e->getChildCount(), counts[n]);
        EXPECT_EQ(e->getChildNodes()->getLength(), counts[n]);
        EXPECT_EQ(e->getAttributes()->getLength(), counts[n] == 2 ? 0 : 3);
        TdomNode* child = e->getFirstChild();
        for (int i = 0; i < counts[n]; ++i, child = child->getNextSibling()) {
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(child->getParentNode(), e);
            EXPECT_EQ(utf8(child->getTextContent()), std::string("t") + char('a' + i % 26));
        }
        EXPECT_EQ(child, nullptr);
    }
    EXPECT_EQ(utf8(made[3]->getAttribute(u"c")), "3");
}

TEST(DocBuilder, RepeatedNamesKeepTheirFacts) {
    BuilderRig r;
    TdomNameValueList none;
    r.builder.processStartElement(&r.reader, nullptr, u"r", &none);
    TdomNameValueList atts;
    atts.Add(u"xmlns", u"urn:d");
    atts.Add(u"xmlns:p", u"urn:p");
    atts.Add(u"a", u"1");
    atts.Add(u"a", u"2"); // a repeated name: the later value wins, as with setAttribute
    atts.Add(u"1b", u"3");
    std::vector<TdomElement*> made;
    for (int round = 0; round < 3; ++round) {
        // The element's own name as an attribute name: the two kinds of name stay apart.
        r.builder.processStartElement(&r.reader, nullptr, u"xmlns", &atts);
        made.push_back(static_cast<TdomElement*>(r.builder.getReferenceNode()));
        r.builder.processEndElement(&r.reader, nullptr, u"xmlns");
    }
    // The bad attribute name ends each element's attributes, after the three before it.
    EXPECT_EQ(r.kinds, (std::vector<int>{ET_INVALID_ATTRIBUTE_NAME, ET_INVALID_ATTRIBUTE_NAME,
                                         ET_INVALID_ATTRIBUTE_NAME}));
    for (TdomElement* e : made) {
        ASSERT_EQ(e->getAttributeCount(), 3);
        EXPECT_EQ(e->getAttributeAt(0)->getNamespaceDeclarationKind(), 0);
        EXPECT_EQ(e->getAttributeAt(1)->getNamespaceDeclarationKind(), 1);
        EXPECT_EQ(e->getAttributeAt(2)->getNamespaceDeclarationKind(), 2);
        EXPECT_EQ(utf8(e->getAttribute(u"a")), "2");
        EXPECT_EQ(e->getAttributeAt(2)->getOwnerElement(), e);
        EXPECT_TRUE(e->getAttributeAt(2)->getSpecified());
        EXPECT_EQ(&e->getTagNameRef(), &made[0]->getTagNameRef());
        EXPECT_EQ(e->getAttributeNode(u"xmlns:p")->getNodeName(), u"xmlns:p");
    }
    // A new document: the names are its own (the first one's are gone with it).
    r.impl.freeDocument(r.doc);
    r.doc = r.impl.createEmptyDocument(u"");
    r.builder.setReferenceNode(r.doc);
    r.builder.processStartElement(&r.reader, nullptr, u"xmlns", &atts);
    auto* e = static_cast<TdomElement*>(r.builder.getReferenceNode());
    EXPECT_EQ(utf8(e->getTagName()), "xmlns");
    EXPECT_EQ(utf8(e->getAttribute(u"xmlns:p")), "urn:p");
    EXPECT_EQ(&e->getTagNameRef(), &r.doc->createElement(u"xmlns")->getTagNameRef());
}

namespace {
/// A document class of an implementation's own, counting the calls of its factories.
struct CountingDocument : TdomDocument {
    using TdomDocument::TdomDocument;
    TdomElement* createElement(const WideString& tagName) override {
        ++elements;
        return TdomDocument::createElement(tagName);
    }
    TdomAttr* createAttribute(const WideString& name) override {
        ++attributes;
        return TdomDocument::createAttribute(name);
    }
    int elements = 0, attributes = 0;
};
struct CountingImplementation : TDomImplementation {
    TdomDocument* createDocumentInstance(const WideString&) override { return new CountingDocument(this); }
};
} // namespace

TEST(DocBuilder, OwnDocumentClassesHaveEveryNodeMadeByTheirFactories) {
    CountingImplementation impl;
    TXmlToDomParser parser;
    parser.SetDOMImpl(&impl);
    TdomDocument* doc = parser.stringToDom("<r><a x='1'/><a x='2' y='3'/></r>");
    EXPECT_EQ(static_cast<CountingDocument*>(doc)->elements, 3);
    EXPECT_EQ(static_cast<CountingDocument*>(doc)->attributes, 3);
    impl.freeDocument(doc);
}

TEST(DocBuilder, ContentReadIntoAnElementGoesWhereTheEventsSay) {
    BuilderRig r;
    TdomElement* e = r.doc->initDocumentElement(u"e");
    r.builder.setReferenceNode(e);
    TdomNameValueList none;
    r.builder.processStartElement(&r.reader, nullptr, u"a", &none);
    r.builder.processPCDATA(&r.reader, nullptr, u"x");
    r.builder.processEndElement(&r.reader, nullptr, u"a");
    r.builder.processPCDATA(&r.reader, nullptr, u"y");
    r.builder.processEndElement(&r.reader, nullptr, u"e"); // up past the node it began at
    EXPECT_EQ(r.builder.getReferenceNode(), r.doc);
    r.builder.processPCDATA(&r.reader, nullptr, u" ");
    EXPECT_TRUE(r.kinds.empty());
    ASSERT_EQ(e->getChildCount(), 2);
    EXPECT_EQ(utf8(e->getTextContent()), "xy");
    EXPECT_EQ(r.doc->getChildCount(), 1);
    // A read-only node refuses the content as appendChild does.
    TdomElement* locked = r.doc->createElement(u"l");
    e->appendChild(locked);
    locked->setIsReadonly(true);
    r.builder.setReferenceNode(locked);
    EXPECT_THROW(r.builder.processStartElement(&r.reader, nullptr, u"a", &none), ENo_Modification_Allowed_Err);
    EXPECT_THROW(r.builder.processPCDATA(&r.reader, nullptr, u"z"), ENo_Modification_Allowed_Err);
    EXPECT_EQ(locked->getChildCount(), 0);
}

TEST(DocBuilder, SecondDoctypeIsKind68AndFreed) {
    BuilderRig r;
    r.builder.processDoctype(&r.reader, nullptr, u"a", u"", u"", u"");
    r.builder.processDoctype(&r.reader, nullptr, u"a", u"", u"", u"");
    EXPECT_EQ(r.kinds, (std::vector<int>{68}));
    EXPECT_EQ(r.doc->getChildNodes()->getLength(), 1);
}

// ------------------------------------------------------------------ hostile input

TEST_F(Reading, MillionNestedElements) {
    const int depth = 1000000;
    std::string text;
    text.reserve(depth * 8);
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    TdomDocument* doc = read(text);
    ASSERT_NE(doc, nullptr);
    impl.freeDocument(doc);
}

// The reader and the well-formedness checks find doubles through a hash set; the object
// model's attribute map still looks names up one by one, so this stays at ten thousand.
TEST_F(Reading, HundredThousandAttributes) {
    std::string text = "<a";
    for (int i = 0; i < 100000; ++i) text += " a" + std::to_string(i) + "='v'";
    text += "/>";
    TdomDocument* doc = read(text);
    EXPECT_EQ(doc->getDocumentElement()->getAttributes()->getLength(), 100000);
    EXPECT_EQ(doc->getDocumentElement()->getAttribute(u"a99999"), u"v");
    impl.freeDocument(doc);
    // A duplicate at the end is still found.
    text.insert(text.size() - 2, " a5='w'");
    EXPECT_THROW(read(text), EParserException);
    EXPECT_EQ(kinds.back(), 37);
}

TEST_F(Reading, MillionPredefinedReferencesInOneTextNode) {
    parser.SetKeepEntityRefs(false);
    std::string text = "<a>";
    for (int i = 0; i < 1000000; ++i) text += "&lt;";
    text += "</a>";
    TdomDocument* doc = read(text);
    EXPECT_EQ(doc->getDocumentElement()->getFirstChild()->getNodeValue().size(), 1000000u);
    impl.freeDocument(doc);
}

TEST_F(Reading, HugeTokens) {
    const std::string big(20 * 1024 * 1024, 'n');
    for (std::string text : {"<" + big + "/>", "<a>" + big + "</a>", "<a><!--" + big + "--></a>",
                             "<a b='" + big + "'/>", "<a><?p " + big + "?></a>"}) {
        TdomDocument* doc = read(text);
        ASSERT_NE(doc, nullptr);
        impl.freeDocument(doc);
    }
}

TEST_F(Reading, BillionLaughsKeepsReferencesAsNodes) {
    std::string text = "<!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        text += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) text += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
        text += "\">";
    }
    text += "]><lolz>&lol9;</lolz>";
    TdomDocument* doc = read(text);
    EXPECT_EQ(doc->getDocumentElement()->getChildNodes()->getLength(), 1);
    EXPECT_EQ(doc->getDocumentElement()->getFirstChild()->getNodeType(), ntEntity_Reference_Node);
    impl.freeDocument(doc);
}

TEST_F(Reading, EveryTruncationFailsCleanly) {
    const std::string sample =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE r [<!ENTITY e \"v\"><!-- ] -->]>"
        "<r a=\"x>y\" b='q'><!-- c --><?p d?><![CDATA[<z>]]>t&amp;&#233;&#x10000;\xC3\xA9\xF0\x90\x80\x80<e/></r>";
    TdomDocument* whole = read(sample);
    impl.freeDocument(whole);
    for (size_t cut = 1; cut < sample.size(); ++cut) {
        EXPECT_THROW(read(sample.substr(0, cut)), Exception) << cut;
        EXPECT_EQ(documents(), 0) << cut;
    }
    // The same in UTF-16.
    WideString wide = FromUtf8(sample.substr(sample.find("?>") + 2));
    std::string bytes = "\xFF\xFE";
    for (char16_t c : wide) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    for (size_t cut = 3; cut < bytes.size(); ++cut) {
        EXPECT_THROW(read(bytes.substr(0, cut)), Exception) << cut;
        EXPECT_EQ(documents(), 0) << cut;
    }
}

TEST_F(Reading, BadBytesInTheDeclaredEncoding) {
    EXPECT_THROW(read("<a>\xFF\xFE\xFD</a>"), EParserException);
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.back(), 43);
    EXPECT_THROW(read("<?xml version=\"1.0\" encoding=\"no-such\"?><a/>"), EParserException);
    EXPECT_EQ(documents(), 0);
}

TEST_F(Reading, EitherQuoteMayHoldTheOther) {
    TdomDocument* doc = read("<a b='6\" pipe' c=\"it's\" d='x&amp;\"y'/>");
    EXPECT_TRUE(kinds.empty());
    EXPECT_EQ(utf8(doc->getDocumentElement()->getAttribute(u"b")), "6\" pipe");
    EXPECT_EQ(utf8(doc->getDocumentElement()->getAttribute(u"c")), "it's");
    // Written out, each value goes between the quote it does not hold (double quotes become
    // references where it holds both), and the text reads back to the same values.
    doc->getDocumentElement()->setAttribute(u"e", u"'&quot;\"");
    const std::string text = written(doc->getDocumentElement());
    EXPECT_EQ(text, "<a b='6\" pipe' c=\"it's\" d='x&amp;\"y' e=\"'&quot;&quot;\"></a>");
    TdomDocument* again = read(text);
    EXPECT_TRUE(kinds.empty());
    for (const char16_t* name : {u"b", u"c", u"d", u"e"})
        EXPECT_EQ(again->getDocumentElement()->getAttributeLiteral(name),
                  doc->getDocumentElement()->getAttributeLiteral(name));
    impl.freeDocument(again);
    impl.freeDocument(doc);
}

TEST_F(Reading, BigEndianUtf16DeclaredAsUtf16) {
    // "UTF-16" names both byte orders: the mark decides.
    auto bytes = [](const char* mark, const char* text, bool highFirst) {
        std::string out = mark;
        for (char16_t c : FromUtf8(text)) {
            out += static_cast<char>(highFirst ? c >> 8 : c & 0xFF);
            out += static_cast<char>(highFirst ? c & 0xFF : c >> 8);
        }
        return out;
    };
    const char* text = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>\xC3\xA9</r>";
    for (const std::string& input : {bytes("\xFE\xFF", text, true), bytes("\xFF\xFE", text, false)}) {
        TdomDocument* doc = read(input);
        EXPECT_EQ(doc->getDocumentElement()->getTextContent(), u"\u00E9");
        impl.freeDocument(doc);
    }
    EXPECT_TRUE(kinds.empty());
    // A name of the other byte order still contradicts the mark.
    EXPECT_THROW(read(bytes("\xFE\xFF", "<?xml version=\"1.0\" encoding=\"UTF-16BE\"?><r/>", true)),
                 EParserException);
    EXPECT_EQ(kinds, std::vector<int>{78});
}

namespace {

/// The content of the document element after its entity references are replaced by their
/// content, every character escaped as \uXXXX unless printable ASCII, CDATA sections in brackets.
std::string contentWithReferencesReplaced(TdomDocument* doc) {
    EXPECT_TRUE(doc->buildASModel());
    EXPECT_TRUE(doc->resolveEntityReferences(0));
    std::string out;
    for (TdomNode* n = doc->getDocumentElement()->getFirstChild(); n; n = n->getNextSibling()) {
        const bool cdata = n->getNodeType() == ntCDATA_Section_Node;
        out += cdata ? "[" : n->getNodeType() == ntElement_Node ? "<" + utf8(n->getNodeName()) + ">" : "";
        for (char16_t c : n->getNodeType() == ntElement_Node ? WideString() : n->getNodeValue()) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
            out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : std::string(hex);
        }
        if (cdata) out += "]";
    }
    return out;
}

} // namespace

TEST_F(Reading, CarriageReturnGivenByAReferenceInAnEntityValueStaysOne) {
    TdomDocument* doc = read("<!DOCTYPE r [<!ENTITY e 'a&#13;b<x>c&#13;</x>'>]><r>&e;</r>");
    EXPECT_EQ(contentWithReferencesReplaced(doc), "a\\u000Db<x>");
    EXPECT_EQ(doc->getDocumentElement()->getTextContent(), u"a\rbc\r");
    EXPECT_TRUE(kinds.empty());
    impl.freeDocument(doc);
}

TEST_F(Reading, ReferenceInACDataSectionOfAnEntityValueIsText) {
    TdomDocument* doc = read("<!DOCTYPE r [<!ENTITY e '<![CDATA[&foo; <]]>&amp;<!--&bar;--><?p &baz;?>'>]><r>&e;</r>");
    EXPECT_EQ(contentWithReferencesReplaced(doc), "[&foo; <]&&bar;&baz;");
    EXPECT_TRUE(kinds.empty());
    impl.freeDocument(doc);
}

TEST_F(Reading, CharacterFeffAfterTheMarkIsKept) {
    // Only the first U+FEFF is the byte-order mark; an entity whose text begins with one keeps it.
    TdomDocument* doc = read("\xEF\xBB\xBF<!DOCTYPE r [<!ENTITY e '\xEF\xBB\xBF<x/>'>]><r>\xEF\xBB\xBF&e;</r>");
    EXPECT_EQ(contentWithReferencesReplaced(doc), "\\uFEFF\\uFEFF<x>");
    EXPECT_TRUE(kinds.empty());
    impl.freeDocument(doc);
}
