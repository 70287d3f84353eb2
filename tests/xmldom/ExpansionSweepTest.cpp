// Documents that expand entities legitimately, generated here from 10 KB up (tables, notices,
// many small references, markup in entities, declared defaults on every element, expansion to
// ten times the document), against what their expansion must give: the same tree as the
// document with every entity and default written out by hand, whatever ran before (copies of
// the root kept by the application first). And the hostile ones, refused.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DomTestSupport.h"
#include "XmlDom.h"

using namespace domtest;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

/// A generated document and the same document with its entities and defaults written out.
struct Generated {
    std::string text;
    std::string expanded;
};

enum class Kind { Tables, Notices, SmallReferences, Markup, Defaults, TenTimes };

const char* nameOf(Kind kind) {
    switch (kind) {
        case Kind::Tables: return "tables";
        case Kind::Notices: return "notices";
        case Kind::SmallReferences: return "small references";
        case Kind::Markup: return "markup";
        case Kind::Defaults: return "defaults";
        case Kind::TenTimes: return "ten times";
    }
    return "";
}

/// A document of about `bytes` of the kind: declarations, then one line per item until the size ("@" in a line is its number).
Generated generate(Kind kind, size_t bytes) {
    const std::string notice(200, 'n');
    const std::string hundred =
        "Check the level of the brake fluid, replace it every two years, and bleed the circuit after. ";
    std::string dtd, line, expandedLine;
    switch (kind) {
        case Kind::Tables:
            dtd = "<!ELEMENT doc (step*)><!ELEMENT step (t)><!ATTLIST step n CDATA #REQUIRED><!ELEMENT t (r+)>"
                  "<!ELEMENT r (c+)><!ELEMENT c (#PCDATA)>"
                  "<!ENTITY tbl '<t><r><c>torque</c><c>25 Nm</c></r><r><c>angle</c><c>90&#176;</c></r></t>'>";
            line = "<step n='@'>&tbl;</step>\n";
            expandedLine = "<step n='@'><t><r><c>torque</c><c>25 Nm</c></r><r><c>angle</c><c>90\xC2\xB0</c></r></t>"
                           "</step>\n";
            break;
        case Kind::Notices:
            dtd = "<!ELEMENT doc (p*)><!ELEMENT p (#PCDATA)><!ENTITY notice '" + notice + "'>";
            line = "<p>Step @: &notice;</p>\n";
            expandedLine = "<p>Step @: " + notice + "</p>\n";
            break;
        case Kind::SmallReferences:
            dtd = "<!ELEMENT doc (v*)><!ELEMENT v (#PCDATA)><!ENTITY t '25'><!ENTITY u 'Nm'><!ENTITY s ' '>"
                  "<!ENTITY q '&t;&s;&u;'>";
            line = "<v>&t;&s;&u; &amp; &q;/@</v>\n";
            expandedLine = "<v>25 Nm &#38; 25 Nm/@</v>\n";
            break;
        case Kind::Markup:
            dtd = "<!ELEMENT doc (p*)><!ELEMENT p (#PCDATA|em|b)*><!ELEMENT em (#PCDATA)><!ELEMENT b (#PCDATA|em)*>"
                  "<!ENTITY warn 'Disconnect the <em>battery</em> first. <b>Do <em>not</em> skip</b> &amp; wait.'>";
            line = "<p>@: &warn;</p>\n";
            expandedLine = "<p>@: Disconnect the <em>battery</em> first. <b>Do <em>not</em> skip</b> &#38; wait.</p>\n";
            break;
        case Kind::Defaults:
            dtd = "<!ELEMENT doc (e*)><!ELEMENT e (#PCDATA)><!ENTITY unit 'Nm'>"
                  "<!ATTLIST e n CDATA #REQUIRED a CDATA '1' b CDATA 'two words' c (x|y) 'x' d CDATA '&unit;' "
                  "f CDATA #FIXED 'F'>";
            line = "<e n='@'>v</e>\n";
            expandedLine = "<e n='@' a='1' b='two words' c='x' d='Nm' f='F'>v</e>\n";
            break;
        case Kind::TenTimes:
            dtd = "<!ELEMENT doc (p*)><!ELEMENT p (#PCDATA)><!ENTITY b '" + hundred + "'>";
            line = "<p>&b;</p>\n";
            expandedLine = "<p>" + hundred + "</p>\n";
            break;
    }
    Generated g;
    g.text = "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE doc [" + dtd + "]>\n<doc>\n";
    g.expanded = "<doc>\n";
    auto numbered = [](const std::string& s, size_t i) {
        const size_t at = s.find('@');
        return at == std::string::npos ? s : s.substr(0, at) + std::to_string(i) + s.substr(at + 1);
    };
    for (size_t i = 0; g.text.size() < bytes; ++i) {
        g.text += numbered(line, i);
        g.expanded += numbered(expandedLine, i);
    }
    g.text += "</doc>\n";
    g.expanded += "</doc>\n";
    return g;
}

/// Reads documents and writes elements back, with every report kept.
class ExpansionSweep : public ::testing::Test {
protected:
    void SetUp() override {
        impl.OnError = [this](TObject*, TdomError* e, bool& go) {
            kinds.push_back(e->getKind());
            go = true;
        };
    }
    TdomDocument* read(const std::string& text) {
        TXmlToDomParser parser;
        parser.SetDOMImpl(&impl);
        return parser.stringToDom(text);
    }
    std::string write(TdomNode* node) {
        TDomToXmlParser writer;
        writer.SetDOMImpl(&impl);
        std::string out;
        writer.writeToString(node, u"UTF-8", out);
        return out;
    }
    /// The generated document, copied `copies` times, validated in mode 0: valid, without a
    /// report, and the same tree as the one written out by hand.
    void expectAccepted(Kind kind, size_t bytes, int copies) {
        const Generated g = generate(kind, bytes);
        const std::string where = std::string(nameOf(kind)) + ", " + std::to_string(g.text.size()) + " bytes, " +
                                  std::to_string(copies) + " copies";
        TdomDocument* expected = read(g.expanded);
        const std::string expectedText = write(expected->getDocumentElement());
        const WideString expectedContent = expected->getDocumentElement()->getTextContent();
        impl.freeDocument(expected);
        kinds.clear();
        TdomDocument* doc = read(g.text);
        ASSERT_TRUE(doc->buildASModel()) << where;
        TdomElement* root = doc->getDocumentElement();
        for (int i = 0; i < copies; ++i) {
            TdomNode* copy = root->cloneNode(true);
            if (i == 0 || i == copies - 1) {
                EXPECT_EQ(copy->getTextContent(), expectedContent) << where << ", copy " << i;
            }
        }
        EXPECT_TRUE(doc->validateDocument(0)) << where;
        EXPECT_EQ(kinds, std::vector<int>{}) << where;
        EXPECT_EQ(write(root), expectedText) << where;
        impl.freeDocument(doc);
    }

    TDomImplementation impl;
    std::vector<int> kinds;
};

const Kind kKinds[] = {Kind::Tables, Kind::Notices, Kind::SmallReferences, Kind::Markup, Kind::Defaults, Kind::TenTimes};

TEST_F(ExpansionSweep, LegitimateExpansionIsAcceptedWhateverRanBefore) {
    // Every kind at 10 KB after 100 copies of the root, at 100 KB after 10 and at 1 MB; tables
    // and defaults (the most nodes made) at 5 MB. Under the sanitizers, slower many times, fewer
    // copies and large documents.
    for (Kind kind : kKinds) {
        const bool most = kind == Kind::Tables || kind == Kind::Defaults;
        expectAccepted(kind, 10'000, kSanitized ? 20 : 100);
        expectAccepted(kind, 100'000, kSanitized ? 2 : 10);
        if (!kSanitized) expectAccepted(kind, 1'000'000, 2);
        else if (kind == Kind::Defaults) expectAccepted(kind, 1'000'000, 0);
        if (!kSanitized && most) expectAccepted(kind, 5'000'000, 1);
    }
    // The largest: 50 MB in the plain build, 2 MB under the sanitizers.
    expectAccepted(Kind::Notices, kSanitized ? 2'000'000 : 50'000'000, 0);
}

TEST_F(ExpansionSweep, AmplifyingDocumentsAreRefused) {
    auto refs = [](const std::string& name, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += "&" + name + ";";
        return s;
    };
    std::string markup;
    for (int i = 0; i < 2500; ++i) markup += "<a/>";
    std::string laughs = "<!ENTITY l0 'ha'>";
    for (int i = 1; i <= 12; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " '" + refs("l" + std::to_string(i - 1), 10) + "'>";
    std::string elements;
    for (int i = 0; i < 1000; ++i) elements += "<e/>";
    // Exponential entities in content, an attribute value and a declared default; markup 990
    // and 100,000 times; entity text in a declared default on every element.
    const std::string head = "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a EMPTY><!ELEMENT e EMPTY>";
    const std::vector<std::string> hostile = {
        head + laughs + "]><r>&l12;</r>",
        head + laughs + "<!ATTLIST r v CDATA #IMPLIED>]><r v='&l12;'/>",
        head + laughs + "<!ATTLIST e v CDATA '&l12;'>]><r><e/></r>",
        head + "<!ENTITY m '" + markup + "'>]><r>" + refs("m", 990) + "</r>",
        head + "<!ENTITY m '" + markup + "'>]><r>" + refs("m", 100'000) + "</r>",
        head + "<!ENTITY b '" + std::string(1000, 'x') + "'><!ATTLIST e v CDATA '" + refs("b", 100) + "'>]><r>" +
            elements + "</r>",
    };
    for (size_t i = 0; i < hostile.size(); ++i) {
        TdomDocument* doc = read(hostile[i]);
        ASSERT_TRUE(doc->buildASModel()) << i;
        kinds.clear();
        EXPECT_FALSE(doc->validateDocument(0)) << i;
        ASSERT_FALSE(kinds.empty()) << i;
        EXPECT_EQ(kinds.front(), 32) << i;
        impl.freeDocument(doc);
    }
}

}  // namespace
