// Tests of the writing road: the writer component's properties and checks, the bytes written
// for each kind of node and encoding, the well-formedness checks under strict checking, and
// the free-notification links of components.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "XmlDom.h"
#include "XmlDomReader.h"
#include "XmlEncodings.h"
#include "XmlMessages.h"
#include "XmlParsers.h"
#include "XmlStreamBuilder.h"

using namespace xmldom;

namespace {

class Writer : public ::testing::Test {
protected:
    void SetUp() override {
        impl = std::make_unique<TDomImplementation>();
        doc = std::make_unique<TdomDocument>(impl.get());
        writer.SetDOMImpl(impl.get());
    }

    TdomElement* element(TdomNode* parent, const char16_t* name) {
        TdomElement* e = doc->createElement(name);
        parent->appendChild(e);
        return e;
    }

    std::string write(TdomNode* node, const WideString& encoding = u"") {
        std::string out;
        EXPECT_TRUE(writer.writeToString(node, encoding, out));
        return out;
    }

    /// Error kinds the implementation was told of, in order.
    std::vector<int> recordErrors() {
        impl->OnError = [this](TObject*, TdomError* error, bool&) { errors.push_back(error->getKind()); };
        return {};
    }

    std::unique_ptr<TDomImplementation> impl;
    std::unique_ptr<TdomDocument> doc;
    TDomToXmlParser writer;
    std::vector<int> errors;
};

template <class E>
std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message;
    }
    return "(nothing raised)";
}

} // namespace

// ---------------------------------------------------------------- the component

TEST_F(Writer, DefaultsOfANewWriter) {
    TDomToXmlParser fresh;
    EXPECT_EQ(fresh.getBufferSize(), 4096);
    EXPECT_EQ(fresh.getNewLine(), nltCRLF);
    EXPECT_FALSE(fresh.GetStrictErrorChecking());
    EXPECT_FALSE(fresh.getUseActiveCodePage());
    EXPECT_FALSE(fresh.GetUseByteOrderMark());
    EXPECT_EQ(fresh.getDOMImpl(), nullptr);
    EXPECT_FALSE(fresh.getDomReader()->getPrefixMapping());
    EXPECT_FALSE(fresh.getDomReader()->getSuppressXmlns());
    EXPECT_EQ(fresh.getDomReader()->getNextHandler(), fresh.getStreamBuilder());
    EXPECT_EQ(fresh.getTestHandler()->getNextHandler(), fresh.getStreamBuilder());
    TXmlStandardDomReader own;
    EXPECT_TRUE(own.getPrefixMapping());
}

TEST_F(Writer, BufferSizeBelow1024IsRefusedAndKept) {
    EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { writer.SetBufferSize(1023); }),
              "BufferSize must not be less than 1024.");
    EXPECT_EQ(writer.getBufferSize(), 4096);
    writer.SetBufferSize(1024);
    EXPECT_EQ(writer.getBufferSize(), 1024);
}

TEST_F(Writer, MissingArgumentsAreReportedInOrder) {
    TDomToXmlParser bare;
    TStringStream stream;
    EXPECT_EQ(messageOf<EAccessViolation>([&] { bare.writeToStream(nullptr, u"", nullptr); }),
              "DOMImplementation not specified.");
    bare.SetDOMImpl(impl.get());
    EXPECT_EQ(messageOf<EAccessViolation>([&] { bare.writeToStream(nullptr, u"", nullptr); }),
              "Destination stream not specified.");
    EXPECT_EQ(messageOf<EAccessViolation>([&] { bare.writeToStream(nullptr, u"", &stream); }),
              "Source node not specified.");
    EXPECT_EQ(stream.DataString(), "");
}

TEST_F(Writer, StrictCheckingSwitchesTheReadersNextHandler) {
    for (int i = 0; i < 2; ++i) {
        writer.SetStrictErrorChecking(true);
        EXPECT_TRUE(writer.GetStrictErrorChecking());
        EXPECT_EQ(writer.getDomReader()->getNextHandler(), writer.getTestHandler());
        writer.SetStrictErrorChecking(false);
    }
    EXPECT_EQ(writer.getDomReader()->getNextHandler(), writer.getStreamBuilder());
}

TEST_F(Writer, FreeingTheImplementationClearsDOMImpl) {
    element(doc.get(), u"a");
    doc.reset();
    impl.reset();
    EXPECT_EQ(writer.getDOMImpl(), nullptr);
    EXPECT_EQ(writer.getDomReader()->getDOMImpl(), nullptr);
    auto other = std::make_unique<TDomImplementation>();
    TdomDocument d(other.get());
    std::string out;
    EXPECT_EQ(messageOf<EAccessViolation>([&] { writer.writeToString(&d, u"", out); }),
              "DOMImplementation not specified.");
}

TEST_F(Writer, FreeingAHandlerClearsTheLinksThatNameIt) {
    auto first = std::make_unique<TXmlStandardHandler>();
    auto second = std::make_unique<TXmlStandardHandler>();
    TXmlStandardDomReader reader;
    reader.setNextHandler(first.get());
    first->setNextHandler(second.get());
    second.reset();
    EXPECT_EQ(first->getNextHandler(), nullptr);
    first.reset();
    EXPECT_EQ(reader.getNextHandler(), nullptr);
}

TEST_F(Writer, OwnedComponentsAreFreedWithTheirOwner) {
    auto owner = std::make_unique<TXmlStandardHandler>();
    auto* owned = new TXmlStandardHandler(owner.get());
    TXmlStandardHandler watcher;
    watcher.setNextHandler(owned);
    EXPECT_EQ(owner->getComponentCount(), 1);
    owner.reset(); // frees owned, which tells the watcher
    EXPECT_EQ(watcher.getNextHandler(), nullptr);
}

// ---------------------------------------------------------------- bytes written

TEST_F(Writer, DocumentInUtf8WithDoctypeAndNoLineBreaks) {
    doc->appendChild(doc->createDocumentTypeDecl(u"checksheet", u"", u"cs.dtd", u""));
    TdomElement* root = element(doc.get(), u"checksheet");
    root->setAttribute(u"locale", u"en_GB");
    TdomElement* body = element(root, u"main-body");
    TdomElement* st = element(body, u"statement");
    st->appendChild(doc->createTextNode(u"Oil & filter <5> \"ok\"\r\n"));
    element(st, u"answer")->setAttribute(u"length", u"5");
    element(root, u"brake-test")->setAttribute(u"weight", u"a&amp;b\"c");
    EXPECT_EQ(write(doc.get()),
              "<?xml version=\"1.0\"?>\n<!DOCTYPE checksheet  SYSTEM \"cs.dtd\" >"
              "<checksheet locale=\"en_GB\"><main-body><statement>Oil &amp; filter &lt;5&gt; \"ok\"&#xD;\n"
              "<answer length=\"5\"></answer></statement></main-body>"
              "<brake-test weight='a&amp;b\"c'></brake-test></checksheet>");
}

TEST_F(Writer, ElementWithOnlyAnEmptyTextIsStartAndEndTag) {
    TdomElement* root = element(doc.get(), u"r");
    root->appendChild(doc->createTextNode(u""));
    EXPECT_EQ(write(doc.get()), "<?xml version=\"1.0\"?>\n<r></r>");
}

TEST_F(Writer, DeclaredValuesOfTheDocumentAreWritten) {
    doc->setXmlVersion(u"1.0");
    doc->setXmlStandalone(STANDALONE_NO);
    element(doc.get(), u"r");
    EXPECT_EQ(write(doc.get()), "<?xml version=\"1.0\" standalone=\"no\"?>\n<r></r>");
    doc->setInputEncoding(u"ISO-8859-1");
    EXPECT_EQ(write(doc.get()), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?>\r\n<r></r>");
}

TEST_F(Writer, OtherNodeKinds) {
    TdomElement* root = element(doc.get(), u"r");
    root->appendChild(doc->createCDATASection(u"a<b"));
    root->appendChild(doc->createComment(u" c "));
    root->appendChild(doc->createProcessingInstruction(u"pi", u""));
    root->appendChild(doc->createProcessingInstruction(u"pi", u"x y"));
    root->appendChild(doc->createEntityReference(u"amp"));
    EXPECT_EQ(write(doc.get()), "<?xml version=\"1.0\"?>\n<r><![CDATA[a<b]]><!-- c --><?pi?><?pi x y?>&amp;</r>");
}

TEST_F(Writer, ElementIsWrittenAsAFragment) {
    TdomElement* root = element(doc.get(), u"r");
    element(root, u"c");
    EXPECT_EQ(write(root), "<r><c></c></r>");
    std::string out;
    TdomDocumentFragment* fragment = doc->createDocumentFragment();
    EXPECT_EQ(messageOf<EParserException>([&] { writer.writeToString(fragment, u"", out); }),
              "Internal Parser error.");
    TdomAttr* attr = root->setAttribute(u"a", u"1");
    EXPECT_EQ(messageOf<EParserException>([&] { writer.writeToString(attr, u"", out); }),
              "Internal Parser error.");
}

TEST_F(Writer, Utf16LabelsWriteTheMarkInTheirOrder) {
    element(doc.get(), u"r");
    writer.SetDOMImpl(impl.get());
    TStringStream le;
    ASSERT_TRUE(writer.writeToStream(doc.get(), u"UTF-16LE", &le));
    const std::string& bytes = le.DataString();
    ASSERT_GE(bytes.size(), 4u);
    // "UTF-16LE" is written high byte first, "UTF-16BE" in the machine's own order.
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFE\xFF\0<", 4));
    TStringStream be;
    ASSERT_TRUE(writer.writeToStream(doc.get(), u"UTF-16BE", &be));
    const char16_t mark = 0xFEFF, lt = u'<';
    std::string expected(reinterpret_cast<const char*>(&mark), 2);
    expected.append(reinterpret_cast<const char*>(&lt), 2);
    EXPECT_EQ(be.DataString().substr(0, 4), expected);

    WideString wide;
    ASSERT_TRUE(writer.writeToWideString(doc.get(), wide));
    EXPECT_EQ(wide, u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16BE\"?>\n<r></r>");
}

TEST_F(Writer, WideStringIsUtf16EvenWithTheActiveCodePage) {
    element(doc.get(), u"r")->appendChild(doc->createTextNode(u"\x0416"));
    writer.SetUseActiveCodePage(true);
    WideString wide;
    ASSERT_TRUE(writer.writeToWideString(doc.get(), wide));
    EXPECT_EQ(wide, u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16BE\"?>\n<r>\x0416</r>");
}

TEST_F(Writer, Utf8ByteOrderMarkOnRequest) {
    element(doc.get(), u"r");
    writer.SetUseByteOrderMark(true);
    EXPECT_EQ(write(doc.get(), u"UTF-8"), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r></r>");
}

TEST_F(Writer, SingleByteSetWithReferencesAndCrLf) {
    TdomElement* root = element(doc.get(), u"r");
    root->setAttribute(u"a", u"\x0416\x00E9");
    root->appendChild(doc->createTextNode(u"\x00E9\x0416\n"));
    EXPECT_EQ(write(doc.get(), u"ISO-8859-1"),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<r a=\"&#x416;\xE9\">\xE9&#x416;\r\n</r>");
    root->appendChild(doc->createTextNode(u"<&>\r"));
    EXPECT_EQ(write(doc.get(), u"ISO-8859-1"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                                                "<r a=\"&#x416;\xE9\">\xE9&#x416;\r\n&lt;&amp;&gt;&#xD;</r>");
    root->removeChild(root->getLastChild());
    writer.SetNewLine(ntlLF);
    EXPECT_EQ(write(doc.get(), u"ISO-8859-1"),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r a=\"&#x416;\xE9\">\xE9&#x416;\n</r>");
}

TEST_F(Writer, CDataSectionIsSplitAtItsEnd) {
    TdomElement* root = element(doc.get(), u"r");
    root->appendChild(doc->createCDATASection(u"ab]]>c]]]>>"));
    const std::string out = write(doc.get());
    EXPECT_EQ(out, "<?xml version=\"1.0\"?>\n<r><![CDATA[ab]]]]><![CDATA[>c]]]]]><![CDATA[>>]]></r>");
    // Read back, the sections hold the same characters.
    TXmlToDomParser parser;
    parser.SetDOMImpl(impl.get());
    TdomDocument* again = parser.stringToDom(out);
    WideString data;
    for (TdomNode* n = again->getDocumentElement()->getFirstChild(); n; n = n->getNextSibling()) {
        EXPECT_EQ(n->getNodeType(), ntCDATA_Section_Node);
        data += n->getNodeValue();
    }
    EXPECT_EQ(data, u"ab]]>c]]]>>");
    impl->freeDocument(again);
}

TEST_F(Writer, ValuesTheApplicationSetReadBackAsSet) {
    // Both quotes: the double ones as references; tab, line feed and carriage return as
    // character references (written as they stand, a reader takes them as spaces). Strict
    // checking accepts what is written.
    TdomElement* root = element(doc.get(), u"r");
    const std::vector<WideString> values = {u"He said \"don't\"", u"\r\n", u"x\ty", u"'\"\t\n\r\"'"};
    const char16_t* names[] = {u"t", u"a", u"b", u"c"};
    for (size_t i = 0; i < values.size(); ++i) root->setAttribute(names[i], values[i]);
    const std::string expected = "<?xml version=\"1.0\"?>\n<r t=\"He said &quot;don't&quot;\" a=\"&#xD;&#xA;\" "
                                 "b=\"x&#x9;y\" c=\"'&quot;&#x9;&#xA;&#xD;&quot;'\"></r>";
    for (const bool strict : {false, true}) {
        writer.SetStrictErrorChecking(strict);
        const std::string out = write(doc.get());
        EXPECT_EQ(out, expected) << strict;
        TXmlToDomParser parser;
        parser.SetDOMImpl(impl.get());
        TdomDocument* again = parser.stringToDom(out);
        for (size_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(again->getDocumentElement()->getAttributeLiteral(names[i]), values[i]) << ToUtf8(names[i]);
        impl->freeDocument(again);
    }
    // A value read from text keeps its tab and line feed as they stand (they are the literal's
    // blanks), also in a copy; set again by the application, they are its characters.
    TXmlToDomParser parser;
    parser.SetDOMImpl(impl.get());
    TdomDocument* read = parser.stringToDom("<r a='x\ty\nz'/>");
    EXPECT_EQ(write(read), "<?xml version=\"1.0\"?>\n<r a=\"x\ty\nz\"></r>");
    TdomNode* copy = read->getDocumentElement()->cloneNode(true);
    EXPECT_EQ(write(copy), "<r a=\"x\ty\nz\"></r>");
    read->getDocumentElement()->setAttribute(u"a", u"x\ty");
    EXPECT_EQ(write(read), "<?xml version=\"1.0\"?>\n<r a=\"x&#x9;y\"></r>");
    impl->freeDocument(read);
}

TEST_F(Writer, DocumentTypeWithBracketsInItsLiteralsReadsBack) {
    TXmlToDomParser parser;
    parser.SetDOMImpl(impl.get());
    for (const WideString sys : {u"a[b", u"a]b", u"a>b", u"a'b", u"a\"b", u"dtd[1]/checksheet.dtd"}) {
        for (const WideString pub : {u"", u"p'q"}) {
            for (const WideString subset : {u"", u"<!ELEMENT r ANY>"}) {
                doc = std::make_unique<TdomDocument>(impl.get());
                doc->appendChild(doc->createDocumentTypeDecl(u"r", pub, sys, subset));
                element(doc.get(), u"r");
                const std::string out = write(doc.get());
                TdomDocument* again = nullptr;
                ASSERT_NO_THROW(again = parser.stringToDom(out)) << out;
                TdomDocumentTypeDecl* decl = again->getDocTypeDecl();
                ASSERT_NE(decl, nullptr) << out;
                EXPECT_EQ(decl->getPublicId(), pub) << out;
                EXPECT_EQ(decl->getSystemId(), sys) << out;
                EXPECT_EQ(decl->getInternalSubset(), subset) << out;
                impl->freeDocument(again);
            }
        }
    }
}

TEST_F(Writer, NodesTheTextCannotCarryAreRefused) {
    // Each node alone under the root; the write fails with its kind even when the error path
    // answers go on, and nothing of the node is written.
    impl->OnError = [this](TObject*, TdomError* error, bool& go) {
        errors.push_back(error->getKind());
        go = true;
    };
    struct Case {
        const char* what;
        std::function<void(TdomElement*)> make;
        int kind;
    };
    const Case cases[] = {
        {"comment with --", [&](TdomElement* r) { r->appendChild(doc->createComment(u"a--b")); }, 45},
        {"comment ending in -", [&](TdomElement* r) { r->appendChild(doc->createComment(u"a-")); }, 45},
        {"comment with U+0001", [&](TdomElement* r) { r->appendChild(doc->createComment(u"a\u0001")); }, 43},
        {"text with U+0001", [&](TdomElement* r) { r->appendChild(doc->createTextNode(u"a\u0001")); }, 43},
        {"text with U+FFFE", [&](TdomElement* r) { r->appendChild(doc->createTextNode(u"a\uFFFE")); }, 43},
        {"text with U+FFFF", [&](TdomElement* r) { r->appendChild(doc->createTextNode(u"\uFFFF")); }, 43},
        {"text with U+0000", [&](TdomElement* r) { r->appendChild(doc->createTextNode(WideString(1, 0))); }, 43},
        {"long text with U+0001 inside",
         [&](TdomElement* r) { r->appendChild(doc->createTextNode(WideString(13, u'a') + u"\u0001" + WideString(9, u'\t'))); },
         43},
        {"long text with U+FFFF at the end",
         [&](TdomElement* r) { r->appendChild(doc->createTextNode(WideString(15, u'\n') + u"\uFFFF")); }, 43},
        {"CDATA with U+001F", [&](TdomElement* r) { r->appendChild(doc->createCDATASection(u"\u001F")); }, 43},
        {"PI data with ?>", [&](TdomElement* r) { r->appendChild(doc->createProcessingInstruction(u"a", u"b?>")); },
         48},
        {"PI data with U+FFFE",
         [&](TdomElement* r) { r->appendChild(doc->createProcessingInstruction(u"a", u"\uFFFE")); }, 43},
        {"attribute with <", [&](TdomElement* r) { r->setAttribute(u"v", u"a<b"); }, 41},
        {"attribute with a bare &", [&](TdomElement* r) { r->setAttribute(u"v", u"a&b"); }, 41},
        {"attribute with U+0001", [&](TdomElement* r) { r->setAttribute(u"v", u"\u0001"); }, 41},
        {"attribute with a bad reference", [&](TdomElement* r) { r->setAttribute(u"v", u"&1x;"); }, 47},
        {"attribute with a reference to no character", [&](TdomElement* r) { r->setAttribute(u"v", u"&#0;"); }, 47},
    };
    for (const Case& c : cases) {
        doc = std::make_unique<TdomDocument>(impl.get());
        TdomElement* root = element(doc.get(), u"r");
        c.make(root);
        errors.clear();
        std::string out;
        EXPECT_FALSE(writer.writeToString(doc.get(), u"", out)) << c.what;
        EXPECT_EQ(errors, std::vector<int>{c.kind}) << c.what;
        EXPECT_EQ(out.find("</r>"), std::string::npos) << c.what;
    }
    // The document type: its name, identifiers and subset.
    const std::array<std::array<const char16_t*, 4>, 7> doctypes = {{{u"r", u"", u"a'b\"c", u""},
                                                                      {u"r", u"a{b", u"s", u""},
                                                                      {u"r", u"p", u"", u""},
                                                                      {u"r", u"p", u"", u"<!ELEMENT r ANY>"},
                                                                      {u"r", u"", u"", u"\u0002"},
                                                                      {u"r", u"", u"", u"<!ELEMENT r"},
                                                                      {u"r", u"", u"", u"]><x"}}};
    for (const auto& d : doctypes) {
        doc = std::make_unique<TdomDocument>(impl.get());
        doc->appendChild(doc->createDocumentTypeDecl(d[0], d[1], d[2], d[3]));
        element(doc.get(), u"r");
        errors.clear();
        std::string out;
        EXPECT_FALSE(writer.writeToString(doc.get(), u"", out)) << ToUtf8(d[3]);
        EXPECT_FALSE(errors.empty()) << ToUtf8(d[3]);
        EXPECT_EQ(out.find("<r>"), std::string::npos) << ToUtf8(d[3]);
    }
}

TEST(StreamBuilder, NamesTheTextCannotCarryAreRefused) {
    TDomImplementation impl;
    std::vector<int> kinds;
    impl.OnError = [&](TObject*, TdomError* e, bool& go) {
        kinds.push_back(e->getKind());
        go = true;
    };
    TXmlStandardDomReader reader;
    reader.setDOMImpl(&impl);
    TXmlStreamBuilder builder;
    TdomLocator loc(-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr);
    TdomNameValueList attrs;
    attrs.Add(u"2b", u"x");
    EXPECT_FALSE(builder.processStartElement(&reader, &loc, u"1a", nullptr));
    EXPECT_FALSE(builder.processStartElement(&reader, &loc, u"a", &attrs));
    EXPECT_FALSE(builder.processEntityRef(&reader, &loc, u"1x"));
    EXPECT_FALSE(builder.processProcessingInstruction(&reader, &loc, u"xml", u"d"));
    EXPECT_FALSE(builder.processProcessingInstruction(&reader, &loc, u"a b", u"d"));
    EXPECT_FALSE(builder.processDoctype(&reader, &loc, u"1r", u"", u"", u""));
    EXPECT_EQ(kinds, (std::vector<int>{46, 40, 47, 48, 48, 68}));
}

TEST_F(Writer, UnmappableCharacterOutsideTextIsRefused) {
    element(doc.get(), u"r")->appendChild(doc->createComment(u"\x0416"));
    std::string out;
    EXPECT_EQ(messageOf<EWriteError>([&] { writer.writeToString(doc.get(), u"ISO-8859-1", out); }),
              "Invalid Character");
}

TEST_F(Writer, EncodingNamesThatCannotBeWritten) {
    element(doc.get(), u"r");
    std::string out;
    for (const char16_t* name : {u"UTF-16LE", u"UTF-16BE", u"UTF-16", u"ISO-10646-UCS-2"})
        EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { writer.writeToString(doc.get(), name, out); }),
                  "Encoding not supported error.");
    EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { writer.writeToString(doc.get(), u"no-such-set", out); }),
              "Encoding not supported error.");
    EXPECT_EQ(out, "");
    EXPECT_EQ(write(doc.get()), "<?xml version=\"1.0\"?>\n<r></r>");
}

TEST_F(Writer, DeclaredEncodingWithoutConverterStopsTheRun) {
    recordErrors();
    doc->setInputEncoding(u"no-such-set");
    element(doc.get(), u"r");
    std::string out;
    EXPECT_FALSE(writer.writeToString(doc.get(), u"", out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(errors, std::vector<int>{78});
}

TEST_F(Writer, UnpairedSurrogateInUtf8IsRefused) {
    element(doc.get(), u"r")->appendChild(doc->createTextNode(u"a\xD800"));
    std::string out;
    EXPECT_EQ(messageOf<EWriteError>([&] { writer.writeToString(doc.get(), u"", out); }), "Invalid Character");
}

namespace {
/// A stream that takes no byte.
class RefusingStream : public TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};
} // namespace

TEST_F(Writer, DestinationThatRefusesBytesRaises) {
    element(doc.get(), u"r");
    RefusingStream stream;
    EXPECT_EQ(messageOf<EWriteError>([&] { writer.writeToStream(doc.get(), u"", &stream); }), "Stream write error");
}

TEST_F(Writer, DeepTreeIsWrittenWithoutRecursion) {
    constexpr int kDepth = 200000;
    // A document without implementation (as the checksheet's) sends no insertion
    // notifications; built from the leaf up, each link is made while the parent is detached.
    TdomDocument deep;
    TdomElement* top = deep.createElement(u"e");
    for (int i = 1; i < kDepth; ++i) {
        TdomElement* parent = deep.createElement(u"e");
        parent->appendChild(top);
        top = parent;
    }
    deep.appendChild(top);
    std::string out = write(&deep);
    const std::string head = "<?xml version=\"1.0\"?>\n";
    EXPECT_EQ(out.size(), head.size() + kDepth * std::string("<e></e>").size());
    EXPECT_EQ(out.substr(out.size() - 8), "</e></e>");
}

// ---------------------------------------------------------------- strict checking

TEST_F(Writer, StrictCheckingReportsKinds) {
    writer.SetStrictErrorChecking(true);
    recordErrors();
    std::string out;

    TdomElement* root = element(doc.get(), u"r");
    root->appendChild(doc->createComment(u"a--b"));
    EXPECT_FALSE(writer.writeToString(doc.get(), u"", out));
    EXPECT_EQ(errors, std::vector<int>{45});
    EXPECT_FALSE(writer.getTestHandler()->getInDocument()); // the chain was reset

    errors.clear();
    root->clear();
    root->setAttribute(u"v", u"a&b");
    EXPECT_FALSE(writer.writeToString(doc.get(), u"", out));
    EXPECT_EQ(errors, std::vector<int>{41});

    errors.clear();
    root->setAttribute(u"v", u"a&amp;b&#x41;");
    EXPECT_TRUE(writer.writeToString(doc.get(), u"", out));
    EXPECT_TRUE(errors.empty());

    errors.clear();
    root->setAttribute(u"v", u"a&1x;b");
    EXPECT_FALSE(writer.writeToString(doc.get(), u"", out));
    EXPECT_EQ(errors, std::vector<int>{47});
}

TEST_F(Writer, StrictCheckingTwoRootsAndTextOutsideTheRoot) {
    // The document refuses a second root; the checks see it through the handler directly.
    TXmlWFTestContentHandler test;
    std::vector<int> kinds;
    TXmlStandardDomReader reader;
    reader.setDOMImpl(impl.get());
    impl->OnError = [&](TObject*, TdomError* e, bool& go) {
        kinds.push_back(e->getKind());
        go = true;
    };
    reader.setNextHandler(&test);
    TdomLocator loc(-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr);
    ASSERT_TRUE(test.processStartDocument(&reader, &loc, u"", u"", STANDALONE_UNSPECIFIED));
    EXPECT_TRUE(test.processPCDATA(&reader, &loc, u"x"));
    EXPECT_TRUE(test.processPCDATA(&reader, &loc, u" \n"));
    EXPECT_TRUE(test.processStartElement(&reader, &loc, u"a", nullptr));
    EXPECT_TRUE(test.processEndElement(&reader, &loc, u"a"));
    EXPECT_TRUE(test.processStartElement(&reader, &loc, u"b", nullptr));
    EXPECT_TRUE(test.processEndElement(&reader, &loc, u"c"));
    EXPECT_TRUE(test.processEndDocument(&reader, &loc));
    EXPECT_EQ(kinds, (std::vector<int>{59, 39, 57, 54}));
    EXPECT_THROW(test.processPCDATA(&reader, &loc, u"x"), EParserException);
    EXPECT_THROW(test.processStartIntDtd(&reader, &loc), EParserException);
}

TEST_F(Writer, StrictCheckingNamesOfEndTagsAndPlainValues) {
    TXmlWFTestContentHandler test;
    std::vector<int> kinds;
    TXmlStandardDomReader reader;
    reader.setDOMImpl(impl.get());
    impl->OnError = [&](TObject*, TdomError* e, bool& go) {
        kinds.push_back(e->getKind());
        go = true;
    };
    TdomLocator loc(-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr);
    ASSERT_TRUE(test.processStartDocument(&reader, &loc, u"", u"", STANDALONE_UNSPECIFIED));
    EXPECT_TRUE(test.processStartElement(&reader, &loc, u"r", nullptr));
    // A bad name is reported at the start tag and again at the end tag that closes it.
    EXPECT_TRUE(test.processStartElement(&reader, &loc, u"1a", nullptr));
    EXPECT_TRUE(test.processStartElement(&reader, &loc, u"b", nullptr));
    EXPECT_TRUE(test.processEndElement(&reader, &loc, u"b"));
    EXPECT_TRUE(test.processEndElement(&reader, &loc, u"1a"));
    EXPECT_EQ(test.getOpenElementCount(), 1);
    EXPECT_EQ(kinds, (std::vector<int>{ET_INVALID_ELEMENT_NAME, ET_INVALID_ELEMENT_NAME}));
    kinds.clear();
    TdomNameValueList attrs;
    attrs.Add(u"a", u"plain text, 100%");
    attrs.Add(u"b", u"");
    attrs.Add(u"c", u"tab\tand \u00e9t\u00e9");
    attrs.Add(u"d", u"say \"hi\"");  // fits between apostrophes
    attrs.Add(u"e", u"a<b");
    attrs.Add(u"f", u"nul\u0001");
    attrs.Add(u"g", u"it's \"hi\"");  // fits between neither quote
    EXPECT_TRUE(test.processStartElement(&reader, &loc, u"c", &attrs));
    EXPECT_EQ(kinds, (std::vector<int>{ET_INVALID_ATTRIBUTE_VALUE, ET_INVALID_ATTRIBUTE_VALUE,
                                       ET_INVALID_ATTRIBUTE_VALUE}));
}

TEST_F(Writer, StrictCheckingDoctypeOrderAndDoubleAttributes) {
    TXmlWFTestContentHandler test;
    std::vector<int> kinds;
    test.OnStartDocument = nullptr;
    TdomLocator loc(-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr);
    TXmlStandardDomReader reader;
    reader.OnError = [&](TObject*, TdomError* e) { kinds.push_back(e->getKind()); };
    ASSERT_TRUE(test.processStartDocument(&reader, &loc, u"", u"", STANDALONE_UNSPECIFIED));
    TdomNameValueList attrs;
    attrs.Add(u"a", u"1");
    attrs.Add(u"a", u"2");
    EXPECT_FALSE(test.processStartElement(&reader, &loc, u"r", &attrs)); // 37 is fatal: stop
    EXPECT_FALSE(test.processDoctype(&reader, &loc, u"r", u"", u"s", u"")); // root seen: 64
    EXPECT_EQ(kinds, (std::vector<int>{37, 64}));
    EXPECT_EQ(messageOf<EParserException>(
                  [&] { test.processStartDocument(&reader, &loc, u"", u"", STANDALONE_UNSPECIFIED); }),
              "Internal Parser Exception");
}

// ---------------------------------------------------------------- the handler chain

TEST(HandlerChain, ForwardsTheValuesItReceived) {
    TXmlStandardHandler first, second;
    first.setNextHandler(&second);
    WideString seen;
    first.OnPCDATA = [](TObject*, TXmlCustomReader*, TdomLocator*, WideString& data) { data = u"changed"; };
    second.OnPCDATA = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString& data) { seen = data; };
    EXPECT_TRUE(first.processPCDATA(nullptr, nullptr, u"original"));
    EXPECT_EQ(seen, u"original");
}

TEST(HandlerChain, WithoutNextHandlerEveryEventAnswersTrue) {
    TXmlStandardHandler h;
    EXPECT_TRUE(h.processEndDocument(nullptr, nullptr));
    EXPECT_TRUE(h.processAttributeDefinition(nullptr, nullptr, u"a", u"CDATA", u"", u"#IMPLIED", u""));
    WideString text = u"x";
    TXmlErrorType kind = 0;
    EXPECT_TRUE(h.resolveParameterEntity(u"pe", text, kind));
    EXPECT_EQ(text, u"");
    EXPECT_EQ(kind, 33);
}

TEST(HandlerChain, ErrorNotificationWithoutReader) {
    TXmlStandardHandler h;
    EXPECT_FALSE(h.sendErrorNotification(nullptr, 36, nullptr, u""));
    EXPECT_FALSE(h.sendErrorNotification(nullptr, 78, nullptr, u""));
    EXPECT_TRUE(h.sendErrorNotification(nullptr, 35, nullptr, u""));
    EXPECT_TRUE(h.sendErrorNotification(nullptr, 79, nullptr, u""));
}

TEST(HandlerChain, ReaderErrorPathResetsTheChainOnFalse) {
    TXmlStandardDomReader reader;
    TXmlWFTestContentHandler test;
    reader.setNextHandler(&test);
    TdomLocator loc(-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr);
    test.processStartDocument(&reader, &loc, u"", u"", STANDALONE_UNSPECIFIED);
    EXPECT_TRUE(test.getInDocument());
    int told = 0;
    reader.OnError = [&](TObject*, TdomError*) { ++told; };
    EXPECT_TRUE(reader.handleError(20, &loc, u"")); // an error, not fatal
    EXPECT_TRUE(test.getInDocument());
    EXPECT_FALSE(reader.handleError(43, &loc, u""));
    EXPECT_FALSE(test.getInDocument());
    EXPECT_EQ(told, 2);
}

TEST(HandlerChain, ContentAndDtdHandlersRefuseTheOtherKind) {
    TXmlCustomContentHandler content;
    TXmlCustomDTDHandler dtd;
    EXPECT_EQ(messageOf<EParserException>([&] { content.processDtdComment(nullptr, nullptr, u"x"); }),
              "Parser error.");
    EXPECT_EQ(messageOf<EParserException>([&] { dtd.processPCDATA(nullptr, nullptr, u"x"); }), "Parser error.");
    EXPECT_TRUE(content.processPCDATA(nullptr, nullptr, u"x"));
}

TEST(HandlerChain, DtdWellFormednessChecks) {
    TXmlWFTestDTDHandler test;
    TXmlStandardDomReader reader;
    std::vector<std::pair<int, std::string>> told;
    reader.OnError = [&](TObject*, TdomError* e) { told.emplace_back(e->getKind(), ToUtf8(e->getClue())); };
    TdomLocator loc(-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr);
    EXPECT_EQ(messageOf<EParserException>([&] { test.processDtdComment(&reader, &loc, u"x"); }),
              "Internal Parser Exception");
    ASSERT_TRUE(test.processStartIntDtd(&reader, &loc));
    EXPECT_FALSE(test.processDtdComment(&reader, &loc, u"a--b"));
    EXPECT_FALSE(test.processDtdComment(&reader, &loc, u"ab-"));
    EXPECT_TRUE(test.processStartAttListDeclaration(&reader, &loc, u"e"));
    EXPECT_FALSE(test.processStartAttListDeclaration(&reader, &loc, u"e"));
    EXPECT_EQ(told, (std::vector<std::pair<int, std::string>>{{45, "--"}, {45, "-"}, {66, "e"}}));
    told.clear();
    test.reset();
    EXPECT_FALSE(test.getInAttListDeclaration());
    ASSERT_TRUE(test.processStartExtDtd(&reader, &loc, u"", u"1.0", u"UTF-8"));
    EXPECT_FALSE(test.processElementTypeDeclaration(&reader, &loc, u"1a", u"EMPTY"));
    EXPECT_FALSE(test.processEntityDeclaration(&reader, &loc, u"e", u"v", u"", u"s", u""));
    EXPECT_FALSE(test.processNotationDeclaration(&reader, &loc, u"n", u"\x00E9", u""));
    EXPECT_FALSE(test.processParameterEntityRef(&reader, &loc, u"1"));
    EXPECT_TRUE(test.processEndExtDtd(&reader, &loc));
    EXPECT_EQ(told, (std::vector<std::pair<int, std::string>>{{69, "1a"}, {70, "e"}, {71, "n"}, {47, "1"}}));
}

// ---------------------------------------------------------------- the stream builder

namespace {
struct BuilderOutput {
    TStringStream stream;
    TXmlOutputSource source{&stream, 1024};
    TXmlStreamBuilder builder;
    TdomLocator loc{-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr};
    BuilderOutput() { builder.setOutputSource(&source); }
    std::string text() {
        source.flush();
        return stream.DataString();
    }
};
} // namespace

TEST(StreamBuilder, DtdEventsText) {
    BuilderOutput o;
    TXmlStreamBuilder& b = o.builder;
    b.processStartExtDtd(nullptr, &o.loc, u"", u"", u"UTF-8");
    b.processElementTypeDeclaration(nullptr, &o.loc, u"e", u"(#PCDATA)");
    b.processStartAttListDeclaration(nullptr, &o.loc, u"e");
    b.processAttributeDefinition(nullptr, &o.loc, u"a", u"CDATA", u"", u"#IMPLIED", u"");
    b.processAttributeDefinition(nullptr, &o.loc, u"b", u"", u"(x|y)", u"", u"x");
    b.processEndAttListDeclaration(nullptr, &o.loc);
    b.processEntityDeclaration(nullptr, &o.loc, u"i", u"say \"hi\"", u"", u"", u"");
    b.processEntityDeclaration(nullptr, &o.loc, u"x", u"", u"p", u"s\"q", u"");
    b.processEntityDeclaration(nullptr, &o.loc, u"u", u"", u"", u"pic.gif", u"gif");
    b.processParameterEntityDeclaration(nullptr, &o.loc, u"pe", u"", u"p", u"");
    b.processNotationDeclaration(nullptr, &o.loc, u"n", u"", u"");
    b.processParameterEntityRef(nullptr, &o.loc, u"pe");
    b.processDtdComment(nullptr, &o.loc, u"c");
    b.processDtdProcessingInstruction(nullptr, &o.loc, u"t", u"");
    b.processEndExtDtd(nullptr, &o.loc);
    EXPECT_EQ(o.text(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "\n<!ELEMENT e\t(#PCDATA)>"
              "\n<!ATTLIST e          a\tCDATA\t\t#IMPLIED          b\t(x|y)\t\"x\"\n>"
              "\n<!ENTITY i\t'say \"hi\"'>"
              "\n<!ENTITY x\tPUBLIC \"p\" 's\"q'>"
              "\n<!ENTITY u\tSYSTEM \"pic.gif\" NDATA gif>"
              "\n<!ENTITY % pe\t PUBLIC \"p\">"
              "\n<!NOTATION n\tSYSTEM \"\">"
              "\n%pe;"
              "\n<!--c-->"
              "\n<?t?>");
}

TEST(StreamBuilder, DoctypeForms) {
    BuilderOutput o;
    o.builder.processDoctype(nullptr, &o.loc, u"d", u"p", u"s", u"");
    o.builder.processDoctype(nullptr, &o.loc, u"d", u"", u"a\"b", u"");
    o.builder.processDoctype(nullptr, &o.loc, u"d", u"", u"", u"");
    EXPECT_EQ(o.text(), "<!DOCTYPE d  PUBLIC \"p\" \"s\" >"
                        "<!DOCTYPE d  SYSTEM 'a\"b' >"
                        "<!DOCTYPE d >");
}

TEST(StreamBuilder, WhatItsOwnEventChangesIsWrittenAndPassedOn) {
    BuilderOutput o;
    TXmlStandardHandler next;
    o.builder.setNextHandler(&next);
    WideString passed;
    next.OnEndElement = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString& tag) { passed = tag; };
    o.builder.OnEndElement = [](TObject*, TXmlCustomReader*, TdomLocator*, WideString& tag) { tag = u"new"; };
    EXPECT_TRUE(o.builder.processEndElement(nullptr, &o.loc, u"old"));
    EXPECT_EQ(o.text(), "</new>");
    EXPECT_EQ(passed, u"new");
}

TEST(StreamBuilder, EncodingIsReappliedAtTheEndOfADocument) {
    BuilderOutput o;
    o.builder.processStartDocument(nullptr, &o.loc, u"", u"ISO-8859-1", STANDALONE_UNSPECIFIED);
    EXPECT_EQ(o.builder.currentOutputEncoding(), kEncodingISO8859_1);
    o.builder.processEndDocument(nullptr, &o.loc);
    EXPECT_EQ(o.builder.currentOutputEncoding(), kEncodingUTF8);
    EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { o.builder.setEncodingName(u"nothing"); }),
              "Encoding not supported error.");
}

// ---------------------------------------------------------------- the DOM reader's events

TEST(DomReader, PrefixMappingsAreEndedInReverseOrder) {
    TDomImplementation impl;
    TdomDocument doc(&impl);
    TdomElement* root = doc.createElementNS(u"urn:a", u"a:r");
    doc.appendChild(root);
    root->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns:a", u"urn:a");
    root->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns", u"urn:d");
    TXmlStandardDomReader reader;
    TXmlStandardHandler recorder;
    reader.setNextHandler(&recorder);
    std::vector<std::string> events;
    recorder.OnStartPrefixMapping = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString& p, WideString& u) {
        events.push_back("start " + ToUtf8(p) + "=" + ToUtf8(u));
    };
    recorder.OnEndPrefixMapping = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString& p) {
        events.push_back("end " + ToUtf8(p));
    };
    recorder.OnStartElement = [&](TObject*, TXmlCustomReader*, TdomLocator* l, WideString& t, TdomNameValueList*& a) {
        events.push_back("element " + ToUtf8(t) + " " + std::to_string(a->getCount()));
        EXPECT_EQ(l->getStartLine(), -1);
    };
    EXPECT_TRUE(reader.parse(&doc));
    reader.setSuppressXmlns(true);
    EXPECT_TRUE(reader.parse(&doc));
    EXPECT_EQ(events, (std::vector<std::string>{"start a=urn:a", "start =urn:d", "element a:r 2", "end ", "end a",
                                                "start a=urn:a", "start =urn:d", "element a:r 0", "end ",
                                                "end a"}));
}

namespace {
/// A builder that sees every piece written with references.
class PieceBuilder : public TXmlStreamBuilder {
public:
    std::vector<std::string> pieces;
    bool writeTextWithReferences(TXmlCustomReader* Reader, TdomLocator* Locator, std::u16string_view Text) override {
        pieces.push_back(ToUtf8(Text));
        return TXmlStreamBuilder::writeTextWithReferences(Reader, Locator, Text);
    }
};
} // namespace

TEST(StreamBuilder, ADescendantSeesCharacterDataPieceByPiece) {
    TStringStream stream;
    TXmlOutputSource source(&stream, 1024);
    PieceBuilder builder;
    builder.setOutputSource(&source);
    TdomLocator loc(-1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr);
    builder.processPCDATA(nullptr, &loc, u"a<b\r");
    source.flush();
    EXPECT_EQ(stream.DataString(), "a&lt;b&#xD;");
    EXPECT_EQ(builder.pieces, (std::vector<std::string>{"a", "&lt;", "b", "&#xD;"}));
}
