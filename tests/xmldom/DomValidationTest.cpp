// The object model against real declarations: documents read from text whose schema models
// are built from their own document-type declaration (buildASModel, external subsets and
// entities served by the external-entity event), or filled through the schema builder's DTD
// events by hand; then validated, expanded and refreshed. One small case per error kind, the
// entity modes with nested, external, unparsed, circular and unusable entities, hostile
// entities, and deep or large documents that must neither exhaust the stack nor go quadratic.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "DomTestSupport.h"
#include "XmlDom.h"

using namespace domtest;

namespace {

/// A document read from text with a schema model filled by declarations fired by hand.
class Declared : public ::testing::Test {
protected:
    void SetUp() override {
        impl.OnError = [this](TObject*, TdomError* e, bool& go) {
            kinds.push_back(e->getKind());
            go = true;
        };
        reader.setDOMImpl(&impl);
        reader.setNextHandler(&builder);
        model = impl.createASModel();
        builder.setASModel(model);
        ASSERT_TRUE(builder.processStartIntDtd(&reader, nullptr));
    }
    void TearDown() override {
        if (builder.isActive()) builder.processEndIntDtd(&reader, nullptr);
    }

    void element(const WideString& name, const WideString& spec) {
        ASSERT_TRUE(builder.processElementTypeDeclaration(&reader, nullptr, name, spec));
    }
    /// One attribute definition: type (or empty for an enumeration), bracket, default, value.
    void attlist(const WideString& elementName, const WideString& name, const WideString& type,
                 const WideString& bracket, const WideString& defaultDecl, const WideString& value = u"") {
        ASSERT_TRUE(builder.processStartAttListDeclaration(&reader, nullptr, elementName));
        ASSERT_TRUE(builder.processAttributeDefinition(&reader, nullptr, name, type, bracket, defaultDecl, value));
        ASSERT_TRUE(builder.processEndAttListDeclaration(&reader, nullptr));
    }
    void entity(const WideString& name, const WideString& value, const WideString& pubId = u"",
                const WideString& sysId = u"", const WideString& notation = u"") {
        ASSERT_TRUE(builder.processEntityDeclaration(&reader, nullptr, name, value, pubId, sysId, notation));
    }
    void notation(const WideString& name, const WideString& sysId) {
        ASSERT_TRUE(builder.processNotationDeclaration(&reader, nullptr, name, u"", sysId));
    }
    /// Reads the document, ends the declarations and gives the model to the document.
    TdomDocument* read(const WideString& text) {
        if (builder.isActive()) builder.processEndIntDtd(&reader, nullptr);
        TXmlToDomParser parser;
        parser.SetDOMImpl(&impl);
        TdomDocument* doc = parser.wideStringToDom(text);
        doc->getASModels()->appendASModel(model);
        kinds.clear();
        return doc;
    }
    /// The list of kinds reported by validateDocument (mode given).
    std::vector<int> validate(TdomDocument* doc, uint8_t mode = 1) {
        kinds.clear();
        bool ok = doc->validateDocument(mode);
        EXPECT_EQ(ok, kinds.empty());
        return kinds;
    }

    TDomImplementation impl;
    TXmlCustomReader reader;
    TXmlASBuilder builder;
    TdomASModel* model = nullptr;
    std::vector<int> kinds;
};

using Kinds = std::vector<int>;

/// The process's peak resident memory so far.
long peakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

WideString num(int i) {
    std::string s = std::to_string(i);
    return WideString(s.begin(), s.end());
}

// ---- building the models from the document-type declaration --------------------------------

/// Documents read from text whose models come from their own declaration (buildASModel).
class FromDtd : public ::testing::Test {
protected:
    void SetUp() override {
        impl.OnError = [this](TObject* sender, TdomError* e, bool& go) {
            kinds.push_back(e->getKind());
            senders.push_back(sender);
            WideString message;
            e->getMessage(message);
            messages.push_back(u8(message));
            go = goOn;
        };
    }
    TdomDocument* read(const WideString& text, const WideString& location = u"file:///doc.xml") {
        TXmlToDomParser parser;
        parser.SetDOMImpl(&impl);
        TdomDocument* doc = parser.wideStringToDom(text);
        doc->setLocation(location);
        kinds.clear();
        senders.clear();
        messages.clear();
        return doc;
    }
    /// Serves external subsets and entities from a table of system identifiers.
    void serve(std::vector<std::pair<WideString, std::string>> files) {
        files_ = std::move(files);
        impl.OnExternalParsedEntity = [this](TObject*, const WideString& parent, const WideString& publicId,
                                             const WideString& systemId, std::unique_ptr<TStream>& stream,
                                             TXmlParserAction& action) {
            requests.push_back(u8(parent) + "|" + u8(publicId) + "|" + u8(systemId));
            for (const auto& [name, text] : files_)
                if (name == systemId) {
                    stream = std::make_unique<TStringStream>(text);
                    action = PARSER_STREAM;
                }
        };
    }
    std::vector<int> validate(TdomDocument* doc, uint8_t mode = 1) {
        kinds.clear();
        bool ok = doc->validateDocument(mode);
        EXPECT_EQ(ok, kinds.empty());
        return kinds;
    }

    TDomImplementation impl;
    std::vector<int> kinds;
    std::vector<TObject*> senders;
    std::vector<std::string> requests;
    std::vector<std::string> messages;  ///< the English message of each report
    bool goOn = true;  ///< the answer to every error report

private:
    std::vector<std::pair<WideString, std::string>> files_;
};

TEST_F(FromDtd, InternalSubsetBecomesOneModel) {
    TdomDocument* doc = read(u"<!DOCTYPE r [<!ELEMENT r (a*)><!ELEMENT a EMPTY>"
                             u"<!ATTLIST a id ID #REQUIRED k CDATA 'dflt'>]><r><a id='x'/></r>");
    EXPECT_TRUE(doc->buildASModel());
    ASSERT_EQ(doc->getASModels()->getLength(), 1);
    EXPECT_EQ(doc->getASModels()->item(0)->getLocation(), u"file:///doc.xml");
    EXPECT_EQ(validate(doc), Kinds{});
    EXPECT_EQ(doc->getElementById(u"x"), doc->getDocumentElement()->getFirstChild());
    EXPECT_EQ(doc->getElementById(u"x")->getAttribute(u"k"), u"dflt");
    EXPECT_TRUE(raises<EInvalid_State_Err>([&] { doc->buildASModel(); }, u"Invalid state error."));
    EXPECT_EQ(doc->getASModels()->getLength(), 1);
    EXPECT_TRUE(requests.empty());
}

TEST_F(FromDtd, NoDeclarationBuildsNothing) {
    TdomDocument* doc = read(u"<r/>");
    EXPECT_TRUE(doc->buildASModel());
    EXPECT_EQ(doc->getASModels()->getLength(), 0);
    EXPECT_TRUE(doc->buildASModel());  // still nothing there, so no state error
    // Without models nothing is declared, so nothing is checked.
    EXPECT_EQ(validate(doc), Kinds{});
}

TEST_F(FromDtd, ExternalSubsetComesThroughTheHandlerAndKnowsTheInternalParameterEntities) {
    serve({{u"r.dtd", "<?xml version='1.0' encoding='UTF-8'?><!ELEMENT r (%kids;)><!ELEMENT a EMPTY>"
                      "<!ATTLIST a v CDATA 'outer' w CDATA 'outer'>"}});
    TdomDocument* doc = read(u"<!DOCTYPE r PUBLIC '-//T//DTD r//EN' 'r.dtd' [<!ENTITY % kids 'a+'>"
                             u"<!ATTLIST a v CDATA 'inner'>]><r><a/><a/></r>");
    EXPECT_TRUE(doc->buildASModel());
    EXPECT_EQ(requests, (std::vector<std::string>{"file:///doc.xml|-//T//DTD r//EN|r.dtd"}));
    ASSERT_EQ(doc->getASModels()->getLength(), 2);
    EXPECT_EQ(doc->getASModels()->item(1)->getLocation(), u"file:///r.dtd");  // its address, taken against the document's
    EXPECT_EQ(validate(doc), Kinds{});
    // The internal subset's declaration wins over the external one.
    auto* a = static_cast<TdomElement*>(doc->getDocumentElement()->getFirstChild());
    EXPECT_EQ(a->getAttribute(u"v"), u"inner");
    EXPECT_EQ(a->getAttribute(u"w"), u"outer");
    doc->getDocumentElement()->appendChild(doc->createElement(u"b"));
    EXPECT_EQ(validate(doc), (Kinds{21, 20}));
}

TEST_F(FromDtd, ExternalSubsetAloneForgetsNothingItNeeds) {
    serve({{u"only.dtd", "<!ENTITY % t 'EMPTY'><!ELEMENT r %t;>"}});
    TdomDocument* doc = read(u"<!DOCTYPE r SYSTEM 'only.dtd'><r/>");
    EXPECT_TRUE(doc->buildASModel());
    ASSERT_EQ(doc->getASModels()->getLength(), 1);
    EXPECT_EQ(doc->getASModels()->item(0)->getLocation(), u"file:///only.dtd");
    EXPECT_EQ(validate(doc), Kinds{});
}

TEST_F(FromDtd, MissingExternalSubsetIsKind24) {
    TdomDocument* doc = read(u"<!DOCTYPE r SYSTEM 'r.dtd' [<!ELEMENT r EMPTY>]><r/>");
    EXPECT_FALSE(doc->buildASModel());  // no handler at all
    EXPECT_EQ(kinds, Kinds{24});
    EXPECT_EQ(senders, std::vector<TObject*>{doc});
    EXPECT_EQ(doc->getASModels()->getLength(), 1);  // the internal subset's model stays
    serve({});
    TdomDocument* other = read(u"<!DOCTYPE r SYSTEM 'nowhere.dtd'><r/>");
    EXPECT_FALSE(other->buildASModel());  // a handler that delivers nothing
    EXPECT_EQ(kinds, Kinds{24});
    EXPECT_EQ(other->getASModels()->getLength(), 0);
}

TEST_F(FromDtd, AnActionWithoutStreamEndsTheBuildSuccessfully) {
    impl.OnExternalParsedEntity = [](TObject*, const WideString&, const WideString&, const WideString&,
                                     std::unique_ptr<TStream>&, TXmlParserAction& action) { action = PARSER_STREAM; };
    TdomDocument* doc = read(u"<!DOCTYPE r SYSTEM 'r.dtd'><r/>");
    EXPECT_TRUE(doc->buildASModel());
    EXPECT_EQ(doc->getASModels()->getLength(), 0);
    EXPECT_TRUE(kinds.empty());
}

TEST_F(FromDtd, FaultySubsetsLeaveNoModelBehind) {
    serve({{u"bad.dtd", "<!ELEMENT r (a,>"}, {u"good.dtd", "<!ELEMENT r EMPTY>"}});
    goOn = false;
    // A fault in the internal subset stops before the external one is asked for.
    TdomDocument* doc = read(u"<!DOCTYPE r SYSTEM 'good.dtd' [<!ELEMENT r EMPTY>]><r/>");
    TdomDocument* broken = impl.createEmptyDocument(u"mem:broken");
    broken->appendChild(broken->createDocumentTypeDecl(u"r", u"", u"good.dtd", u"<!ELEMENT r (a,>"));
    broken->appendChild(broken->createElement(u"r"));
    const size_t modelsBefore = impl.getASModels().size();
    EXPECT_FALSE(broken->buildASModel());
    EXPECT_FALSE(kinds.empty());
    EXPECT_EQ(broken->getASModels()->getLength(), 0);
    EXPECT_EQ(impl.getASModels().size(), modelsBefore);  // freed again
    EXPECT_TRUE(requests.empty());
    // A fault in the external subset frees its model only.
    TdomDocument* badExternal = read(u"<!DOCTYPE r SYSTEM 'bad.dtd' [<!ELEMENT r EMPTY>]><r/>");
    EXPECT_FALSE(badExternal->buildASModel());
    EXPECT_FALSE(kinds.empty());
    EXPECT_EQ(badExternal->getASModels()->getLength(), 1);
    EXPECT_TRUE(doc->buildASModel());
    EXPECT_EQ(doc->getASModels()->getLength(), 2);
    // A failed build leaves the models it made: asking again is a state error.
    EXPECT_TRUE(raises<EInvalid_State_Err>([&] { badExternal->buildASModel(); }, u"Invalid state error."));
}

TEST_F(FromDtd, InternalDeclarationsOverrideExternalOnesWithoutFalseReports) {
    // The internal subset redeclares attributes the external subset declares too: the later
    // declarations are not in force, so they make no second ID or NOTATION attribute.
    serve({{u"book.dtd", "<!ELEMENT book (ch+)><!ELEMENT ch (#PCDATA)><!NOTATION tex SYSTEM 'tex'>"
                         "<!ATTLIST ch id ID #IMPLIED lang NMTOKEN 'en' fmt NOTATION (tex) #IMPLIED>"}});
    TdomDocument* doc = read(u"<!DOCTYPE book SYSTEM 'book.dtd' [<!ATTLIST ch id ID #REQUIRED lang NMTOKEN 'de'"
                             u" fmt NOTATION (tex) 'tex'>]><book><ch id='c1'>a</ch><ch id='c2' lang='fr'>b</ch></book>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc), Kinds{});
    auto* c1 = static_cast<TdomElement*>(doc->getDocumentElement()->getFirstChild());
    EXPECT_EQ(c1->getAttribute(u"lang"), u"de");
    EXPECT_EQ(c1->getAttribute(u"fmt"), u"tex");
    // The declaration in force requires the ID.
    doc->getDocumentElement()->appendChild(doc->createElement(u"ch"));
    EXPECT_EQ(validate(doc), Kinds{28});
}

TEST_F(FromDtd, EntitiesOfEveryKindInBothModes) {
    serve({{u"chap.xml", "<?xml version='1.0' encoding='UTF-8'?><p>chapter &sig;</p>"},
           {u"bare.xml", "plain words"}});
    const WideString text =
        u"<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT p (#PCDATA|b)*><!ELEMENT b (#PCDATA)>"
        u"<!NOTATION gif SYSTEM 'viewer'>"
        u"<!ENTITY sig 'by &co;'><!ENTITY co 'Smith &#38;amp; <b>Co</b>'>"  // nested, with markup
        u"<!ENTITY chap SYSTEM 'chap.xml'><!ENTITY bare SYSTEM 'bare.xml'><!ENTITY lost SYSTEM 'lost.xml'>"
        u"<!ENTITY pic SYSTEM 'p.gif' NDATA gif><!ENTITY self 'x&self;'><!ENTITY half '<p>'>"
        u"<!ENTITY empty ''>]>";
    // Mode 1 keeps every reference and gives the usable ones their content, read-only.
    TdomDocument* doc = read(text + u"<r>&sig;|&chap;|&bare;|&empty;|&lost;&pic;&self;&half;</r>");
    ASSERT_TRUE(doc->buildASModel());
    TdomElement* r = doc->getDocumentElement();
    EXPECT_FALSE(r->resolveEntityReferences(1));
    EXPECT_EQ(childNames(r), "sig,#text,chap,#text,bare,#text,empty,#text,lost,pic,self,half");
    EXPECT_EQ(r->getTextContent(), u"by Smith & Co|chapter by Smith & Co|plain words||");
    TdomNode* sig = r->getFirstChild();
    EXPECT_EQ(childNames(sig), "#text,b");
    EXPECT_TRUE(sig->getLastChild()->getIsReadonly());
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { sig->getLastChild()->appendChild(doc->createTextNode(u"x")); },
                                                     u"No modification allowed error."));
    // The references that stay empty each report their own kind: the fatal ones where the
    // resolution meets them, then the document and the reference nobody delivers, kind 32.
    kinds.clear();
    EXPECT_FALSE(doc->validateDocument(1));
    EXPECT_EQ(kinds, (Kinds{63, 62, 61, 32, 32}));
    // Mode 0 replaces what it can, merges the text and keeps the rest; running it again
    // changes nothing more, and the self-referring entity does not loop.
    EXPECT_FALSE(r->resolveEntityReferences(0));
    EXPECT_EQ(childNames(r), "#text,b,#text,p,#text,lost,pic,self,half");
    EXPECT_EQ(r->getFirstChild()->getNodeValue(), u"by Smith & ");
    EXPECT_EQ(r->getChildNodes()->item(2)->getNodeValue(), u"|");
    EXPECT_EQ(r->getChildNodes()->item(4)->getNodeValue(), u"|plain words||");
    EXPECT_EQ(r->getChildNodes()->item(3)->getTextContent(), u"chapter by Smith & Co");
    EXPECT_FALSE(r->getChildNodes()->item(3)->getIsReadonly());  // replaced content is ordinary content
    EXPECT_FALSE(r->resolveEntityReferences(0));
    EXPECT_EQ(childNames(r), "#text,b,#text,p,#text,lost,pic,self,half");
    // Mode 1 over replaced content: the nested reference in the chapter is already content.
    EXPECT_FALSE(r->resolveEntityReferences(1));
    EXPECT_EQ(childNames(r->getChildNodes()->item(3)), "#text,b");
}

TEST_F(FromDtd, CharacterReferencesOfAnEntityValueAreReplacedOnce) {
    // The value's references give the replacement text "&#60;b&#62;x..." once; read as content
    // those are references again, to characters, not markup. The usual declarations of the
    // predefined entities work the same way.
    const WideString text =
        u"<!DOCTYPE doc [<!ELEMENT doc (#PCDATA)><!ATTLIST doc a CDATA #IMPLIED>"
        u"<!ENTITY e '&#38;#60;b&#38;#62;x&#38;#60;/b&#38;#62;'>"
        u"<!ENTITY lt '&#38;#60;'><!ENTITY amp '&#38;#38;'><!ENTITY gt '&#62;'><!ENTITY m '&#38;#x10000;'>]>"
        u"<doc a='&e;&lt;'>&e;|&lt;&amp;&gt;|&m;</doc>";
    for (uint8_t mode : {1, 0}) {
        TdomDocument* doc = read(text);
        ASSERT_TRUE(doc->buildASModel());
        EXPECT_EQ(validate(doc, mode), Kinds{}) << mode;
        TdomElement* r = doc->getDocumentElement();
        EXPECT_EQ(r->getTextContent(), u"<b>x</b>|<&>|\U00010000") << mode;
        EXPECT_EQ(r->getElementsByTagName(u"b")->getLength(), 0) << mode;
        EXPECT_EQ(r->getAttributeLiteral(u"a"), u"<b>x</b><") << mode;
    }
}

TEST_F(FromDtd, ParameterEntityReferencesInExternalEntityValuesAreReplaced) {
    serve({{u"r.dtd", "<!ELEMENT r (#PCDATA)><!ATTLIST r a CDATA '&e;'><!ENTITY % v 'hello'><!ENTITY e '%v; world'>"}});
    TdomDocument* doc = read(u"<!DOCTYPE r SYSTEM 'r.dtd'><r>&e;</r>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc, 0), Kinds{});
    EXPECT_EQ(doc->getDocumentElement()->getTextContent(), u"hello world");
    EXPECT_EQ(doc->getDocumentElement()->getAttributeLiteral(u"a"), u"hello world");
}

TEST_F(FromDtd, RelativeAddressesAreTakenAgainstTheEntityThatDeclaresThem) {
    // The handler is given each address as written and, as parent, the absolute address of the
    // entity holding the declaration.
    serve({{u"dtd/r.dtd", "<!ENTITY % mods SYSTEM 'mods/m.ent'>%mods;<!ENTITY a SYSTEM 'a.xml'>"},
           {u"mods/m.ent", "<!ENTITY % deeper SYSTEM 'd.ent'>%deeper;<!ENTITY b SYSTEM 'b.xml'>"},
           {u"d.ent", "<!ELEMENT r ANY>"},
           {u"a.xml", "A"},
           {u"b.xml", "B"}});
    TdomDocument* doc = read(u"<!DOCTYPE r SYSTEM 'dtd/r.dtd' [<!ENTITY % i SYSTEM 'i.ent'>]><r>&a;&b;</r>",
                             u"file:///data/doc.xml");
    EXPECT_TRUE(doc->buildASModel());
    EXPECT_EQ(kinds, Kinds{});
    EXPECT_EQ(validate(doc, 0), Kinds{});
    EXPECT_EQ(doc->getDocumentElement()->getTextContent(), u"AB");
    EXPECT_EQ(requests, (std::vector<std::string>{
                            "file:///data/doc.xml||dtd/r.dtd", "file:///data/dtd/r.dtd||mods/m.ent",
                            "file:///data/dtd/mods/m.ent||d.ent", "file:///data/dtd/r.dtd||a.xml",
                            "file:///data/dtd/mods/m.ent||b.xml"}));
}

TEST_F(FromDtd, ExternalParameterEntitiesOfTheInternalSubsetHoldExternalDeclarations) {
    // Their text may hold conditional sections (also with a keyword given by a parameter
    // entity) and references inside declarations, as an external subset may.
    serve({{u"m.ent", "<!ENTITY % content 'EMPTY'><![%on;[<!ELEMENT r %content;>]]><![ IGNORE [<!ELEMENT x ANY>]]>"
                      "<!ATTLIST r a CDATA '%on;'>"}});
    TdomDocument* doc = read(u"<!DOCTYPE r [<!ENTITY % on 'INCLUDE'><!ENTITY % m SYSTEM 'm.ent'>%m;]><r/>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc, 0), Kinds{});
    EXPECT_EQ(doc->getDocumentElement()->getAttribute(u"a"), u"%on;");
    ASSERT_NE(doc->getASModels()->findElementDecl(u"r"), nullptr);
    EXPECT_EQ(doc->getASModels()->findElementDecl(u"x"), nullptr);
    // The internal subset itself still allows references between declarations only.
    TdomDocument* internal = read(u"<!DOCTYPE r [<!ENTITY % content 'EMPTY'><!ELEMENT r %content;>]><r/>");
    internal->buildASModel();
    EXPECT_EQ(kinds, Kinds{69});
}

TEST_F(FromDtd, BillionLaughsFromTheDeclarationIsRefused) {
    WideString subset = u"<!ELEMENT r ANY><!ATTLIST r v CDATA #IMPLIED><!ENTITY l0 'ha'>";
    for (int i = 1; i <= 15; ++i) {
        subset += u"<!ENTITY l" + num(i) + u" '";
        for (int k = 0; k < 10; ++k) subset += u"&l" + num(i - 1) + u";";
        subset += u"'>";
    }
    // Each level builds on the one before: the model is read without expanding any of them.
    const long peakBefore = peakMemoryKiB();
    TdomDocument* doc = read(u"<!DOCTYPE r [" + subset + u"]><r v='&l15;'>&l15;&l3;</r>");
    ASSERT_TRUE(doc->buildASModel());
    TdomElement* r = doc->getDocumentElement();
    EXPECT_FALSE(r->resolveEntityReferences(1));
    EXPECT_FALSE(r->getFirstChild()->hasChildNodes());
    EXPECT_FALSE(r->getLastChild()->hasChildNodes());  // the run's budget is spent: not even a small one
    EXPECT_FALSE(doc->validateDocument(0));
    EXPECT_EQ(childNames(r), "l15,l3");
    EXPECT_TRUE(raises<EConvertError>([&] { r->getAttributeLiteral(u"v"); },
                                      u"Literal attribute value cannot be resolved."));
    // The expansion budget, not the entity, bounds what was built on the way.
    EXPECT_LT(peakMemoryKiB() - peakBefore, 256 * 1024);
}

TEST_F(FromDtd, AttributeValuesAndDefaultsShareTheRunsExpansionBudgetWithContent) {
    // A 10,000-character entity: 1,200 references are past the budget of one run, 600 are not.
    const WideString subset = u"<!ELEMENT r ANY><!ATTLIST r v CDATA #IMPLIED><!ENTITY e '" +
                              WideString(10000, u'x') + u"'>";
    auto refs = [](int n) {
        WideString text;
        for (int i = 0; i < n; ++i) text += u"&e;";
        return text;
    };
    // In one attribute value: the validation stops with the report content gets past the budget.
    TdomDocument* doc = read(u"<!DOCTYPE r [" + subset + u"]><r v='" + refs(1200) + u"'/>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc), Kinds{32});
    EXPECT_TRUE(raises<EConvertError>([&] { doc->getDocumentElement()->getAttributeLiteral(u"v"); },
                                      u"Literal attribute value cannot be resolved."));
    // In a declared default.
    doc = read(u"<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e '" + WideString(10000, u'x') +
               u"'><!ATTLIST r d CDATA '" + refs(1200) + u"'>]><r/>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc), Kinds{32});
    EXPECT_FALSE(doc->getDocumentElement()->hasAttribute(u"d"));
    // Content and an attribute value each within it, but not together.
    doc = read(u"<!DOCTYPE r [" + subset + u"]><r v='" + refs(600) + u"'>" + refs(600) + u"</r>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc), Kinds{32});
    EXPECT_EQ(doc->getDocumentElement()->getAttributeLiteral(u"v").size(), 6'000'000u);
    // A long document may expand more than a short one: 200,000 references of 60 characters
    // are past the fixed budget, but the budget grows with the references' own text.
    doc = read(u"<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e '" + WideString(60, u'x') + u"'>]><r>" +
               refs(200'000) + u"</r>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc, 0), Kinds{});
    EXPECT_EQ(doc->getDocumentElement()->getTextContent().size(), 12'000'000u);
}

TEST_F(FromDtd, NodesMadeFromAnEntitysMarkupAreChargedToTheBudget) {
    // 2,500 elements in 10,000 characters: 990 references are well within the budget counted
    // in characters, but not once each node made counts.
    WideString markup;
    for (int i = 0; i < 2500; ++i) markup += u"<a/>";
    WideString refs;
    for (int i = 0; i < 990; ++i) refs += u"&e;";
    TdomDocument* doc = read(u"<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a EMPTY><!ENTITY e '" + markup + u"'>]><r>" +
                             refs + u"</r>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc, 0), Kinds{32});
    EXPECT_LT(doc->getDocumentElement()->getElementsByTagName(u"a")->getLength(), 2500 * 100);
}

TEST_F(FromDtd, EveryOperationThatExpandsDrawsOnOneBudgetAndReportsItsEnd) {
    // 200 references to a 100,000-character entity are past the budget of one operation.
    WideString refs;
    for (int i = 0; i < 200; ++i) refs += u"&e;";
    TdomDocument* doc = read(u"<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e '" + WideString(100000, u'x') +
                             u"'><!ATTLIST r d CDATA '" + refs + u"'>]><r>" + refs + u"</r>");
    ASSERT_TRUE(doc->buildASModel());
    TdomElement* r = doc->getDocumentElement();
    for (bool import : {true, false}) {
        TdomNode* copy = import ? doc->importNode(r, true) : r->cloneNode(true);
        EXPECT_EQ(kinds, Kinds{32}) << "reported once, where the budget ran out";
        EXPECT_FALSE(copy->getLastChild()->hasChildNodes());
        kinds.clear();
    }
    EXPECT_FALSE(r->resolveEntityReferences(0));
    EXPECT_EQ(kinds, Kinds{32});
    TXmlErrorType kind = 0;
    WideString value;
    doc->getASModels()->normalizeAttributeValue(doc->getASModels()->findAttributeDecl(u"r", u"d"), kind, value);
    EXPECT_EQ(kind, 32);
    // A chain deeper than an expansion may go is unresolvable, not circular.
    WideString chain;
    for (int i = 0; i < 1000; ++i) chain += u"<!ENTITY c" + num(i) + u" '&c" + num(i + 1) + u";'>";
    doc = read(u"<!DOCTYPE r [" + chain + u"<!ENTITY c1000 'end'>]><r/>");
    ASSERT_TRUE(doc->buildASModel());
    WideString text;
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { doc->getASModels()->resolveEntity(u"c0", text); },
                                            u"Unresolvable entity."));
    doc->getASModels()->resolveEntity(u"c900", text);
    EXPECT_EQ(text, u"end");
}

TEST_F(FromDtd, ExternalEntitiesHaveTheirLineEndsNormalized) {
    // CR LF and a lone CR are line ends of the entity's text, in content and in an attribute
    // value it holds; a carriage return written as a reference is a character, here and in an
    // internal entity's value. The external subset and an external parameter entity likewise.
    serve({{u"e.xml", "<?xml version='1.0' encoding='UTF-8'?>\r\nx\r\ny\rz&#13;<a b=\"p\r\nq\rs\"/>"},
           {u"r.dtd", "<!ENTITY v 'v1\r\nv2\rv3'><!ENTITY % p SYSTEM 'p.ent'>%p;"},
           {u"p.ent", "<!ENTITY w 'w1\r\nw2'>"}});
    const WideString text = u"<!DOCTYPE doc SYSTEM 'r.dtd' [<!ELEMENT doc ANY><!ELEMENT a EMPTY>"
                            u"<!ATTLIST a b CDATA #IMPLIED><!ENTITY e SYSTEM 'e.xml'><!ENTITY cr 'c&#13;d'>]>"
                            u"<doc>&e;|&cr;|&v;|&w;</doc>";
    for (uint8_t mode : {0, 1}) {
        TdomDocument* doc = read(text);
        ASSERT_TRUE(doc->buildASModel());
        EXPECT_EQ(validate(doc, mode), Kinds{});
        TdomElement* root = doc->getDocumentElement();
        EXPECT_EQ(root->getTextContent(), u"\nx\ny\nz\r|c\rd|v1\nv2\nv3|w1\nw2");
        TdomElement* a = root->getElementsByTagName(u"a")->item(0) ? static_cast<TdomElement*>(
                                                                         root->getElementsByTagName(u"a")->item(0))
                                                                   : nullptr;
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->getAttributeLiteral(u"b"), u"p q s");
        // A copy expands the same text.
        TdomNode* copy = root->cloneNode(true);
        EXPECT_EQ(copy->getTextContent(), root->getTextContent());
    }
}

TEST_F(FromDtd, EachDeclaredDefaultMadeIsChargedToTheBudget) {
    // A 1,000-character entity used 100 times in a default, on 1,000 elements: each default made
    // copies 100,000 characters, far past what one operation may; a default without references
    // costs nothing beyond itself, however many elements get it.
    WideString refs;
    for (int i = 0; i < 100; ++i) refs += u"&b;";
    WideString elements;
    for (int i = 0; i < 1000; ++i) elements += u"<e/>";
    const WideString text = u"<!DOCTYPE r [<!ELEMENT r (e*)><!ELEMENT e EMPTY><!ENTITY b '" + WideString(1000, u'x') +
                            u"'><!ATTLIST e a CDATA '" + refs + u"' p CDATA 'plain value'>]><r>" + elements + u"</r>";
    auto defaulted = [](TdomElement* r, const char16_t* name) {
        int n = 0;
        for (TdomNode* e = r->getFirstChild(); e; e = e->getNextSibling())
            n += static_cast<TdomElement*>(e)->hasAttribute(name);
        return n;
    };
    // Every operation that makes defaults: refused with one report naming the budget.
    for (int op = 0; op < 4; ++op) {
        TdomDocument* doc = read(text);
        ASSERT_TRUE(doc->buildASModel());
        TdomElement* r = doc->getDocumentElement();
        bool ok = true;
        if (op < 2) ok = doc->validateDocument(op);
        else if (op == 2) ok = r->validate();
        else ok = r->refreshDefaultAttributes(false, true);
        EXPECT_FALSE(ok) << op;
        if (op < 3) {
            EXPECT_EQ(kinds, Kinds{32}) << op;
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find("Unresolvable entity reference: past the expansion budget"), std::string::npos)
                << messages[0];
        }
        EXPECT_LT(defaulted(r, u"a"), 200) << op;
    }
    {
        TdomDocument* plain = read(u"<!DOCTYPE r [<!ELEMENT r (e*)><!ELEMENT e EMPTY><!ATTLIST e p CDATA '" +
                                   WideString(1000, u'p') + u"'>]><r>" + elements + u"</r>");
        ASSERT_TRUE(plain->buildASModel());
        EXPECT_EQ(validate(plain, 0), Kinds{});
        EXPECT_EQ(defaulted(plain->getDocumentElement(), u"p"), 1000);
    }
    // Each operation is bounded alone: one element at a time, each gets its default, whatever
    // the elements before it were given.
    TdomDocument* doc = read(text);
    ASSERT_TRUE(doc->buildASModel());
    int n = 0;
    for (TdomNode* e = doc->getDocumentElement()->getFirstChild(); e && n < 40; e = e->getNextSibling(), ++n) {
        EXPECT_TRUE(static_cast<TdomElement*>(e)->validate()) << n;
        EXPECT_EQ(static_cast<TdomElement*>(e)->getAttribute(u"a").size(), 100'000u) << n;
    }
    EXPECT_EQ(kinds, Kinds{});
}

TEST_F(FromDtd, PlainDeclaredDefaultsCountTowardsTheBound) {
    // 1,000 attributes with plain defaults on an element used 10,000 times: ten million
    // attributes from a 60 KB document are refused like any other amplification; ten defaults
    // on the same elements are not.
    for (int attributes : {1000, 10}) {
        WideString subset = u"<!ELEMENT r (e*)><!ELEMENT e EMPTY><!ATTLIST e";
        for (int i = 0; i < attributes; ++i) subset += u" a" + num(i) + u" CDATA 'v'";
        WideString elements;
        for (int i = 0; i < 10'000; ++i) elements += u"<e/>";
        TdomDocument* doc = read(u"<!DOCTYPE r [" + subset + u">]><r>" + elements + u"</r>");
        ASSERT_TRUE(doc->buildASModel());
        if (attributes == 10) {
            EXPECT_EQ(validate(doc, 0), Kinds{});
            EXPECT_EQ(static_cast<TdomElement*>(doc->getDocumentElement()->getLastChild())->getAttributeCount(), 10);
            continue;
        }
        EXPECT_EQ(validate(doc, 0), Kinds{32});
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("past the expansion budget"), std::string::npos) << messages[0];
        EXPECT_EQ(static_cast<TdomElement*>(doc->getDocumentElement()->getLastChild())->getAttributeCount(), 0);
    }
}

TEST_F(FromDtd, EachExpandOrCopyOfAReferenceIsBoundedAlone) {
    // 2,500 elements in e, 100,000 in h: one operation over 990 references to e is refused, yet
    // each expand, clone or import of one of them is an operation of its own and makes its
    // content, whatever came before; one of h alone is past the bound, each time, reported.
    WideString markup;
    for (int i = 0; i < 2500; ++i) markup += u"<a/>";
    WideString refs;
    for (int i = 0; i < 990; ++i) refs += u"&e;";
    WideString h;
    for (int i = 0; i < 40; ++i) h += u"&e;";
    const WideString text = u"<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a EMPTY><!ENTITY e '" + markup +
                            u"'><!ENTITY h '" + h + u"'>]><r>" + refs + u"&h;</r>";
    TdomDocument* whole = read(text);
    ASSERT_TRUE(whole->buildASModel());
    EXPECT_FALSE(whole->getDocumentElement()->resolveEntityReferences(1));
    EXPECT_EQ(kinds, Kinds{32});
    for (int op = 0; op < 3; ++op) {
        TdomDocument* doc = read(text);
        ASSERT_TRUE(doc->buildASModel());
        TdomElement* r = doc->getDocumentElement();
        auto once = [&](TdomNode* ref) {
            if (op == 0) {
                static_cast<TdomEntityReference*>(ref)->expand();
                return ref;
            }
            return op == 1 ? ref->cloneNode(true) : doc->importNode(ref, true);
        };
        int n = 0;
        for (TdomNode* ref = r->getFirstChild(); ref && n < 30; ref = ref->getNextSibling(), ++n)
            EXPECT_EQ(once(ref)->getChildCount(), 2500) << op << " " << n;
        EXPECT_EQ(kinds, Kinds{}) << op;
        for (int again = 0; again < 2; ++again) {
            kinds.clear();
            messages.clear();
            EXPECT_FALSE(once(r->getLastChild())->hasChildNodes()) << op;
            EXPECT_EQ(kinds, Kinds{32}) << op;
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find("past the expansion budget at &h;"), std::string::npos) << messages[0];
        }
    }
    // Many cheap references, each expanded on its own, stay within it.
    refs.clear();
    for (int i = 0; i < 20'000; ++i) refs += u"&f;";
    TdomDocument* doc =
        read(u"<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY f '" + WideString(60, u'x') + u"'>]><r>" + refs + u"</r>");
    ASSERT_TRUE(doc->buildASModel());
    int expanded = 0;
    for (TdomNode* n = doc->getDocumentElement()->getFirstChild(); n; n = n->getNextSibling()) {
        static_cast<TdomEntityReference*>(n)->expand();
        expanded += n->hasChildNodes();
    }
    EXPECT_EQ(expanded, 20'000);
    EXPECT_EQ(kinds, Kinds{});
}

TEST_F(FromDtd, AReferencesDepthAnswerDoesNotDependOnHistoryAndIsReported) {
    // e0 is 'x', e(i) is '&e(i-1);': expansion goes 256 entities deep, so e0 to e256 expand and
    // the rest do not, whatever was expanded before.
    auto chain = [](int n) {
        WideString decls = u"<!ENTITY e0 'x'>";
        for (int i = 1; i < n; ++i) decls += u"<!ENTITY e" + num(i) + u" '&e" + num(i - 1) + u";'>";
        return decls;
    };
    const WideString head = u"<!DOCTYPE doc [<!ELEMENT doc ANY>" + chain(300) + u"<!ATTLIST doc a CDATA #IMPLIED>]>";
    for (const WideString& body : {WideString(u"<doc>&e200;&e299;</doc>"), WideString(u"<doc>&e299;&e200;</doc>"),
                                  WideString(u"<doc>&e299;</doc>")}) {
        for (uint8_t mode : {0, 1}) {
            TdomDocument* doc = read(head + body);
            ASSERT_TRUE(doc->buildASModel());
            EXPECT_EQ(validate(doc, mode), Kinds{32});
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find("Unresolvable entity reference: entities nested deeper than 256 at &e299;"),
                      std::string::npos)
                << messages[0];
            TdomElement* root = doc->getDocumentElement();
            EXPECT_EQ(root->getTextContent(), body.size() > 20 ? u"x" : u"");
        }
    }
    // Reported by resolveEntityReferences and expand too, not a silent false; in an attribute
    // value and a declared default, as the depth, not as an undeclared entity, naming the
    // reference as content's report does.
    TdomDocument* doc = read(head + u"<doc>&e299;</doc>");
    ASSERT_TRUE(doc->buildASModel());
    TdomElement* root = doc->getDocumentElement();
    for (uint8_t mode : {0, 1}) {
        kinds.clear();
        EXPECT_FALSE(root->resolveEntityReferences(mode));
        EXPECT_EQ(kinds, Kinds{32});
    }
    kinds.clear();
    static_cast<TdomEntityReference*>(root->getFirstChild())->expand();
    EXPECT_EQ(kinds, Kinds{32});
    for (const WideString& subset : {WideString(u"<!ATTLIST doc d CDATA '&e299;'>"), WideString()}) {
        doc = read(u"<!DOCTYPE doc [<!ELEMENT doc ANY>" + chain(300) + u"<!ATTLIST doc a CDATA #IMPLIED>" + subset +
                   u"]><doc" + (subset.empty() ? u" a='&e299;'" : u"") + u"/>");
        ASSERT_TRUE(doc->buildASModel());
        EXPECT_EQ(validate(doc, 0), Kinds{32});
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("entities nested deeper than 256 at &e299;"), std::string::npos) << messages[0];
    }
    // 10,000 references to a 10,000-entity chain, in order and in reverse: the same 257 expand.
    const WideString longHead = u"<!DOCTYPE doc [<!ELEMENT doc ANY>" + chain(10'000) + u"]>";
    for (bool reverse : {false, true}) {
        WideString refs;
        for (int i = 0; i < 10'000; ++i) refs += u"&e" + num(reverse ? 9'999 - i : i) + u";";
        doc = read(longHead + u"<doc>" + refs + u"</doc>");
        ASSERT_TRUE(doc->buildASModel());
        EXPECT_FALSE(doc->getDocumentElement()->resolveEntityReferences(1));
        int expanded = 0;
        for (TdomNode* n = doc->getDocumentElement()->getFirstChild(); n; n = n->getNextSibling()) {
            const bool has = n->hasChildNodes();
            expanded += has;
            const int index = std::stoi(u8(n->getNodeName()).substr(1));
            EXPECT_EQ(has, index <= 256) << index;
            if (has != (index <= 256)) break;
        }
        EXPECT_EQ(expanded, 257) << reverse;
    }
}

TEST_F(FromDtd, ElementsInsideKeptReferencesAreValidatedToo) {
    TdomDocument* doc = read(u"<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT i EMPTY>"
                             u"<!ATTLIST i id ID #IMPLIED to IDREF #IMPLIED k CDATA 'dflt' f CDATA #FIXED 'x'>"
                             u"<!ENTITY good '<i id=\"in\" to=\"out\"/>'><!ENTITY bad '<i to=\"nowhere\"/>'>"
                             u"<!ENTITY fixed '<i f=\"y\"/>'>]>"
                             u"<r><i id='out' to='in'/>&good;</r>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc, 1), Kinds{});
    TdomElement* inner = doc->getElementById(u"in");
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->getIsReadonly());
    TdomElement* r = doc->getDocumentElement();
    EXPECT_EQ(inner->getAttribute(u"k"), u"dflt");  // defaults reach read-only content too
    EXPECT_TRUE(inner->getAttributeNode(u"k")->getIsReadonly());
    r->appendChild(doc->createEntityReference(u"bad"));
    EXPECT_EQ(validate(doc, 1), Kinds{29});
    TdomEntityReference* fixed = doc->createEntityReference(u"fixed");
    r->appendChild(fixed);
    EXPECT_EQ(validate(doc, 1), Kinds{17});
    // Refreshing defaults leaves the entities' content alone: it is not the element's.
    EXPECT_TRUE(r->refreshDefaultAttributes(true, true));
    EXPECT_EQ(static_cast<TdomElement*>(fixed->getFirstChild())->getAttribute(u"f"), u"y");
    r->removeChild(fixed);
    EXPECT_EQ(validate(doc, 0), Kinds{29});
}

/// Whether any of the kinds is of a fatal error (a well-formedness fault).
bool anyFatal(const std::vector<int>& kinds) {
    return std::any_of(kinds.begin(), kinds.end(), [](int k) { return k >= 36 && k <= 78; });
}


TEST_F(FromDtd, ExternalEntityThatIsNoParsedEntityIsFatal) {
    // Bytes that are not UTF-8 without a declaration, a declaration that is no text
    // declaration, an encoding that cannot be read: the reference is refused as fatal (61).
    serve({{u"e9.ent", "\xE9"},
           {u"mid.ent", "ab\xE9" "cd"},
           {u"xmldecl.ent", "<?xml version='1.0' standalone='yes'?>x"},
           {u"badenc.ent", "<?xml encoding='no-such-set'?>x"},
           {u"good.ent", "<?xml encoding='ISO-8859-1'?>\xE9"}});
    for (const char* name : {"e9.ent", "mid.ent", "xmldecl.ent", "badenc.ent"}) {
        const std::string text = std::string("<!DOCTYPE doc [<!ELEMENT doc ANY><!ENTITY e SYSTEM '") + name +
                                 "'>]><doc>&e;</doc>";
        TdomDocument* doc = read(WideString(text.begin(), text.end()));
        ASSERT_TRUE(doc->buildASModel()) << name;
        const Kinds found = validate(doc, 0);
        EXPECT_NE(std::find(found.begin(), found.end(), 61), found.end()) << name;
    }
    TdomDocument* good = read(u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ENTITY e SYSTEM 'good.ent'>]><doc>&e;</doc>");
    ASSERT_TRUE(good->buildASModel());
    EXPECT_EQ(validate(good, 1), Kinds{});
    EXPECT_EQ(good->getDocumentElement()->getTextContent(), u"\u00E9");
    // An entity nobody delivers could not be resolved: no well-formedness fault.
    TdomDocument* missing = read(u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ENTITY e SYSTEM 'none.ent'>]><doc>&e;</doc>");
    ASSERT_TRUE(missing->buildASModel());
    EXPECT_FALSE(anyFatal(validate(missing, 0)));
}

TEST_F(FromDtd, MarkupBegunInOneEntityAndEndedInAnotherIsFatal) {
    // A CDATA section opened by an entity cannot be closed by the document: its "]]>" is no text.
    TXmlToDomParser parser;
    parser.SetDOMImpl(&impl);
    kinds.clear();
    TdomDocument* closed = parser.wideStringToDom(
        u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ENTITY e '<![CDATA[x'>]><doc>&e;]]></doc>");
    EXPECT_EQ(kinds, Kinds{43});
    impl.freeDocument(closed);
    // Nor by another entity, and so for every kind of markup.
    const char16_t* subsets[] = {
        u"<!ENTITY a '<![CDATA[x'><!ENTITY b 'y]]>'>", u"<!ENTITY a '<!--x'><!ENTITY b 'y-->'>",
        u"<!ENTITY a '<?p x'><!ENTITY b 'y?>'>",       u"<!ENTITY a '<e>'><!ENTITY b '</e>'>",
        u"<!ENTITY a '<e'><!ENTITY b '/>'>",           u"<!ENTITY a '&#38;amp'><!ENTITY b ';'>",
    };
    for (const char16_t* subset : subsets) {
        TdomDocument* doc = read(u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ELEMENT e ANY>" + WideString(subset) +
                                 u"]><doc>&a;&b;</doc>");
        ASSERT_TRUE(doc->buildASModel());
        EXPECT_TRUE(anyFatal(validate(doc, 0))) << ToUtf8(subset);
    }
}

TEST_F(FromDtd, AnEntitysTextIsJudgedAsContentOnlyWhereItIsReferencedInContent) {
    // Each rule of content (a "]]>", a "<", markup begun and not ended, a comment, a processing
    // instruction, an element) in an entity referenced in content, in an attribute value and in
    // a declared default, directly and through another entity. "]]>" breaks content only; "<"
    // in any form has no place in an attribute value; well-formed markup is content.
    struct Rule {
        const char16_t* value;
        bool content;    ///< fit as content
        bool attribute;  ///< fit in an attribute value
    };
    const Rule rules[] = {{u"x]]>y", false, true},      {u"x]]y", true, true},        {u"x&lt;y", true, true},
                          {u"a&#60;b", false, false},   {u"a<b", false, false},       {u"<b>t", false, false},
                          {u"<!-- c -->", true, false}, {u"<?p d?>", true, false},    {u"<b>t</b>", true, false},
                          {u"x]]&gt;y", true, true}};
    for (const Rule& rule : rules) {
        for (bool nested : {false, true}) {
            const WideString ref = nested ? u"&n;" : u"&e;";
            const WideString decls = u"<!ELEMENT doc ANY><!ELEMENT b ANY><!ENTITY e \"" + WideString(rule.value) +
                                     u"\"><!ENTITY n \"[&e;]\">";
            for (int place = 0; place < 3; ++place) {
                const WideString doc =
                    place == 0 ? u"<!DOCTYPE doc [" + decls + u"]><doc>" + ref + u"</doc>"
                    : place == 1 ? u"<!DOCTYPE doc [" + decls + u"<!ATTLIST doc a CDATA #IMPLIED>]><doc a='" + ref + u"'/>"
                                 : u"<!DOCTYPE doc [" + decls + u"<!ATTLIST doc a CDATA '" + ref + u"'>]><doc/>";
                const std::string where = u8(WideString(rule.value)) + (nested ? " nested" : "") + " in " +
                                          (place == 0 ? "content" : place == 1 ? "an attribute" : "a default");
                TdomDocument* d = read(doc);
                ASSERT_TRUE(d->buildASModel()) << where;
                // The declaration itself is judged nowhere: only "<" that makes no markup is
                // unfit anywhere, and warned of.
                const bool unfitAnywhere = !rule.content && !rule.attribute;
                EXPECT_EQ(kinds, unfitAnywhere ? Kinds{4} : Kinds{}) << where;
                const bool fit = place == 0 ? rule.content : rule.attribute;
                const Kinds found = validate(d, 0);
                if (fit) {
                    EXPECT_EQ(found, Kinds{}) << where;
                } else {
                    ASSERT_FALSE(found.empty()) << where;
                    EXPECT_TRUE(found.front() == 61 || found.front() == 53) << where << " " << found.front();
                }
                if (place == 0 || !fit) continue;
                // The value is the entity's text, "]]>" and all.
                std::string value = u8(d->getDocumentElement()->getAttributeLiteral(u"a"));
                std::string expected = u8(WideString(rule.value));
                for (size_t at = expected.find("&lt;"); at != std::string::npos; at = expected.find("&lt;"))
                    expected.replace(at, 4, "<");
                for (size_t at = expected.find("&gt;"); at != std::string::npos; at = expected.find("&gt;"))
                    expected.replace(at, 4, ">");
                EXPECT_EQ(value, nested ? "[" + expected + "]" : expected) << where;
            }
        }
    }
}

TEST_F(FromDtd, UndeclaredEntityInsideAnEntityIsFatalWhereAllDeclarationsAreKnown) {
    serve({{u"x.dtd", "<!ELEMENT doc ANY>"}});
    struct Case {
        const char16_t* text;
        bool fatal;
    };
    const Case cases[] = {
        // Only an internal subset: XML wants every entity declared.
        {u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ENTITY e '&foo;'>]><doc>&e;</doc>", true},
        {u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ENTITY e 'a&f;b'><!ENTITY f '&foo;'>]><doc>&e;</doc>", true},
        // Declared standalone, with an external subset.
        {u"<?xml version='1.0' standalone='yes'?><!DOCTYPE doc SYSTEM 'x.dtd' [<!ENTITY e '&foo;'>]><doc>&e;</doc>",
         true},
        // An external subset or a parameter-entity reference may declare it: a validity error.
        {u"<!DOCTYPE doc SYSTEM 'x.dtd' [<!ENTITY e '&foo;'>]><doc>&e;</doc>", false},
        {u"<!DOCTYPE doc [<!ENTITY % p '<!ELEMENT doc ANY>'>%p;<!ENTITY e '&foo;'>]><doc>&e;</doc>", false},
    };
    for (const Case& c : cases) {
        TdomDocument* doc = read(c.text);
        ASSERT_TRUE(doc->buildASModel()) << ToUtf8(c.text);
        const Kinds found = validate(doc, 0);
        EXPECT_EQ(anyFatal(found), c.fatal) << ToUtf8(c.text);
        EXPECT_FALSE(found.empty()) << ToUtf8(c.text);
    }
}

TEST_F(FromDtd, DefaultUsingAnEntityDeclaredAfterItIsFatalInAnInternalSubset) {
    serve({{u"x.dtd", "<!ELEMENT doc ANY>"}});
    TdomDocument* doc = read(u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ATTLIST doc a CDATA \"&e;\"><!ENTITY e \"x\">]><doc/>");
    doc->buildASModel();
    EXPECT_EQ(kinds, Kinds{66});
    EXPECT_EQ(doc->getDocumentElement()->getAttribute(u"a"), u"");
    // Declared before it, the entity serves the default.
    TdomDocument* before = read(u"<!DOCTYPE doc [<!ELEMENT doc ANY><!ENTITY e \"x\"><!ATTLIST doc a CDATA \"&e;&lt;\">]><doc/>");
    EXPECT_TRUE(before->buildASModel());
    EXPECT_EQ(kinds, Kinds{});
    EXPECT_EQ(validate(before), Kinds{});
    EXPECT_EQ(before->getDocumentElement()->getAttribute(u"a"), u"x&lt;");  // the literal form
    // With an external subset the order is a matter of validity, not of well-formedness.
    TdomDocument* external =
        read(u"<!DOCTYPE doc SYSTEM 'x.dtd' [<!ATTLIST doc a CDATA \"&e;\"><!ENTITY e \"x\">]><doc/>");
    EXPECT_TRUE(external->buildASModel());
    EXPECT_FALSE(anyFatal(kinds));
}

TEST_F(FromDtd, WellFormednessFaultBehindAReferenceIsTheFirstReportOnEveryRoad) {
    serve({{u"e9.ent", "\xE9"}});
    // The declarations of each fault and the references that meet it; the last is an entity
    // nobody delivers, which stays an error.
    struct Fault {
        const char16_t* decls;
        const char16_t* refs;
    };
    const Fault faults[] = {
        {u"<!ENTITY e SYSTEM 'e9.ent'>", u"&e;"},                    // no parsed entity
        {u"<!ENTITY a '<![CDATA[x'><!ENTITY b 'y]]>'>", u"&a;&b;"},  // a section across two entities
        {u"<!ENTITY e '&foo;'>", u"&e;"},                            // undeclared inside an entity
        {u"<!ATTLIST doc d CDATA '&e;'><!ENTITY e 'x'>", u"&e;"},    // a default before its entity
        {u"<!ENTITY e SYSTEM 'none.ent'>", u"&e;"},
    };
    struct Road {
        const char* name;
        const char16_t* body;  ///< "R" stands for the references
        std::function<void(TdomDocument*)> run;
        Kinds ordinary;
    };
    const auto validateIn = [](uint8_t mode) { return [mode](TdomDocument* doc) { doc->validateDocument(mode); }; };
    const auto resolveIn = [](uint8_t mode) { return [mode](TdomDocument* doc) { doc->resolveEntityReferences(mode); }; };
    const Road roads[] = {
        {"validate 0", u"<doc>R</doc>", validateIn(0), {32, 32}},
        {"validate 1", u"<doc>R</doc>", validateIn(1), {32, 32}},
        {"resolve 0", u"<doc>R</doc>", resolveIn(0), {}},
        {"resolve 1", u"<doc>R</doc>", resolveIn(1), {}},
        {"expand", u"<doc>R</doc>",
         [](TdomDocument* doc) {
             for (TdomNode* n = doc->getDocumentElement()->getFirstChild(); n; n = n->getNextSibling())
                 static_cast<TdomEntityReference*>(n)->expand();
         },
         {}},
        {"attribute value", u"<doc a='R'/>", validateIn(0), {23}},
        {"declared default", u"<doc/>", validateIn(0), {36}},
    };
    for (const Fault& fault : faults) {
        const WideString refs = fault.refs;
        for (const Road& road : roads) {
            WideString body = road.body;
            WideString subset = u"<!ELEMENT doc ANY><!ATTLIST doc a CDATA #IMPLIED>" + WideString(fault.decls);
            if (const size_t r = body.find(u'R'); r != WideString::npos) body.replace(r, 1, refs);
            else subset += u"<!ATTLIST doc v CDATA '" + refs + u"'>";
            TdomDocument* doc = read(u"<!DOCTYPE doc [" + subset + u"]>" + body);
            doc->buildASModel();
            road.run(doc);
            const std::string trace = std::string(road.name) + " " + u8(refs) + " " + u8(fault.decls);
            if (&fault == &faults[std::size(faults) - 1]) {
                EXPECT_EQ(kinds, road.ordinary) << trace;
                continue;
            }
            // Warnings of the declarations aside, the first report is fatal, and none says the
            // reference could merely not be resolved.
            const auto first = std::find_if(kinds.begin(), kinds.end(), [](int k) { return k >= 5; });
            ASSERT_NE(first, kinds.end()) << trace;
            EXPECT_TRUE(*first >= 36 && *first <= 78) << trace << ": " << *first;
            EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 32), 0) << trace;
            EXPECT_EQ(doc->getDocumentElement()->getAttribute(u"d"), u"") << trace;
        }
    }
}

TEST_F(FromDtd, DeepDocumentReadFromText) {
    constexpr int kDeep = 200000;
    WideString text = u"<!DOCTYPE d [<!ELEMENT d (#PCDATA|d)*><!ATTLIST d k CDATA 'v' id ID #IMPLIED to IDREF #IMPLIED>"
                      u"<!ENTITY e 'text'>]>";
    text.reserve(text.size() + kDeep * 12);
    text += u"<d to='bottom'>";
    for (int i = 1; i < kDeep; ++i) text += u"<d>";
    text += u"<d id='bottom'>&e;x</d>";
    for (int i = 1; i < kDeep; ++i) text += u"a</d>";
    text += u"</d>";
    TdomDocument* doc = read(text);
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc, 1), Kinds{});
    EXPECT_EQ(validate(doc, 0), Kinds{});
    TdomElement* bottom = doc->getElementById(u"bottom");
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->getFirstChild()->getNodeValue(), u"textx");
    EXPECT_EQ(bottom->getAttribute(u"k"), u"v");
    EXPECT_TRUE(doc->getDocumentElement()->refreshDefaultAttributes(true, true));
    doc->getDocumentElement()->normalize();
    EXPECT_TRUE(doc->validateAttributeValues());
}

TEST_F(FromDtd, NamespaceAwareElementsGetTheirDefaults) {
    const WideString xmlns = u"http://www.w3.org/2000/xmlns/";
    TdomDocument* doc = impl.createDocumentNS(u"urn:p", u"p:r", nullptr);
    TdomElement* r = doc->getDocumentElement();
    r->setAttributeNS(xmlns, u"xmlns:p", u"urn:p");
    r->appendChild(doc->createElementNS(u"urn:p", u"p:i"));
    doc->insertBefore(doc->createDocumentTypeDecl(
                          u"p:r", u"", u"",
                          u"<!ELEMENT p:r (p:i)*><!ELEMENT p:i EMPTY><!ATTLIST p:r xmlns:p CDATA #FIXED 'urn:p'"
                          u" p:k CDATA 'pk' xml:lang CDATA 'en' plain CDATA 'x'><!ATTLIST p:i q:k CDATA 'unbound'>"),
                      r);
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc), Kinds{});
    EXPECT_EQ(r->getAttributeNS(u"urn:p", u"k"), u"pk");
    EXPECT_EQ(r->getAttributeNS(u"http://www.w3.org/XML/1998/namespace", u"lang"), u"en");
    EXPECT_EQ(r->getAttributeNS(u"", u"plain"), u"x");
    EXPECT_FALSE(r->getAttributeNodeNS(u"", u"plain")->getSpecified());
    // A default whose prefix is bound nowhere cannot be made: it is left out.
    EXPECT_EQ(static_cast<TdomElement*>(r->getFirstChild())->getAttributeCount(), 0);
    EXPECT_EQ(validate(doc), Kinds{});
}

TEST_F(FromDtd, DefaultsWithEscapedCharactersKeepTheirValue) {
    // The defaulted attribute holds a literal form of the normalized value: it reads back to
    // that value, validates, and is written out as well-formed text.
    const WideString subset =
        u"<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r a CDATA 'x&amp;y' b CDATA '&lt;&#38;&#60;&quot;&#9;'>]>";
    TdomDocument* doc = read(subset + u"<r/>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc), Kinds{});
    TdomElement* r = doc->getDocumentElement();
    EXPECT_EQ(r->getAttributeLiteral(u"a"), u"x&y");
    EXPECT_EQ(r->getAttributeLiteral(u"b"), u"<&<\"\t");
    EXPECT_TRUE(r->refreshDefaultAttributes(false, false));
    EXPECT_EQ(r->getAttributeLiteral(u"b"), u"<&<\"\t");
    EXPECT_EQ(validate(doc), Kinds{});
    TDomToXmlParser writer;
    writer.SetDOMImpl(&impl);
    WideString text;
    ASSERT_TRUE(writer.writeToWideString(r, text));
    TdomDocument* again = read(subset + text.substr(1));
    ASSERT_TRUE(again->buildASModel());
    EXPECT_EQ(validate(again), Kinds{});
    EXPECT_EQ(again->getDocumentElement()->getAttributeLiteral(u"b"), u"<&<\"\t");
    EXPECT_TRUE(again->getDocumentElement()->getAttributeNode(u"b")->getSpecified());
}

TEST_F(FromDtd, FreedElementsLeaveTheIdMap) {
    TdomDocument* doc = read(u"<!DOCTYPE r [<!ELEMENT r (i*)><!ELEMENT i EMPTY><!ATTLIST i id ID #REQUIRED>]>"
                             u"<r><i id='a'/><i id=' b '/><i id='c'/></r>");
    ASSERT_TRUE(doc->buildASModel());
    EXPECT_EQ(validate(doc), Kinds{});
    TdomElement* r = doc->getDocumentElement();
    TdomNode* a = r->removeChild(r->getFirstChild());
    doc->freeTreeNode(a);
    EXPECT_EQ(doc->getElementById(u"a"), nullptr);
    // Its value changed after validation, the attribute still leaves the map when freed.
    auto* b = static_cast<TdomElement*>(r->getFirstChild());
    b->setAttribute(u"id", u"changed");
    TdomNode* freed = r->removeChild(b);
    doc->freeTreeNode(freed);
    EXPECT_EQ(doc->getElementById(u"b"), nullptr);
    TdomAttr* c = static_cast<TdomElement*>(r->getFirstChild())->getAttributeNode(u"id");
    EXPECT_EQ(doc->getElementById(u"c"), r->getFirstChild());
    TdomNode* attr = static_cast<TdomElement*>(r->getFirstChild())->removeAttributeNode(c);
    doc->freeTreeNode(attr);
    EXPECT_EQ(doc->getElementById(u"c"), nullptr);
    EXPECT_EQ(validate(doc), Kinds{28});
    // Many entries, every third freed: the rest stay findable wherever their slots lay.
    TdomDocument* many = read(u"<!DOCTYPE r [<!ELEMENT r (i*)><!ELEMENT i EMPTY><!ATTLIST i id ID #REQUIRED>]><r/>");
    ASSERT_TRUE(many->buildASModel());
    std::vector<TdomElement*> items;
    for (int i = 0; i < 3000; ++i) {
        items.push_back(many->createElement(u"i"));
        items.back()->setAttribute(u"id", u"k" + num(i));
        many->getDocumentElement()->appendChild(items.back());
    }
    EXPECT_EQ(validate(many), Kinds{});
    for (int i = 0; i < 3000; i += 3) {
        TdomNode* gone = many->getDocumentElement()->removeChild(items[static_cast<size_t>(i)]);
        many->freeTreeNode(gone);
    }
    EXPECT_EQ(many->getIdMap().size(), 2000u);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(many->getElementById(u"k" + num(i)), i % 3 ? items[static_cast<size_t>(i)] : nullptr) << i;
}

/// One small DTD and document per kind: the kinds buildASModel reports, then those of
/// validateDocument (mode 1: references kept).
struct KindCase {
    int kind;
    const char16_t* subset;
    const char16_t* body;
    std::vector<int> built;
    std::vector<int> validated;
};

TEST_F(FromDtd, EachKindFromRealDeclarations) {
    serve({{u"ext.xml", "external text"}, {u"ext.dtd", "<!ELEMENT r EMPTY>"}});
    const std::vector<KindCase> cases = {
        {1, u"<!ELEMENT r EMPTY><!ATTLIST r a CDATA #IMPLIED a CDATA 'x'>", u"<r/>", {1}, {}},
        {2, u"<!ELEMENT r ANY><!ENTITY e 'first'><!ENTITY e 'second'>", u"<r>&e;</r>", {2}, {}},
        {3, u"<!ENTITY % p '<!ELEMENT r EMPTY>'><!ENTITY % p '<!ELEMENT r ANY>'>%p;", u"<r/>", {3}, {}},
        {5, u"<!ELEMENT r EMPTY><!ATTLIST r a NMTOKEN 'a b'>", u"<r a='x'/>", {}, {5}},
        {6, u"<!ELEMENT r EMPTY>", u"<r x='1'/>", {}, {6}},
        {7, u"<!ELEMENT r EMPTY><!ATTLIST r a (x|y) #IMPLIED>", u"<r a='z'/>", {}, {7}},
        {8, u"<!ELEMENT r EMPTY><!ELEMENT r ANY>", u"<r/>", {8}, {}},
        {9, u"<!ELEMENT r EMPTY><!ATTLIST r a (x|y|x) #IMPLIED>", u"<r/>", {}, {9}},
        {10, u"<!ELEMENT r EMPTY><!ATTLIST r a ID #IMPLIED b ID #IMPLIED>", u"<r/>", {}, {10}},
        {11, u"<!ELEMENT r (i,i)><!ELEMENT i EMPTY><!ATTLIST i id ID #REQUIRED>", u"<r><i id='a'/><i id='a'/></r>", {}, {11}},
        {12, u"<!ELEMENT r (#PCDATA|i|i)*><!ELEMENT i EMPTY>", u"<r/>", {}, {12}},
        {13, u"<!NOTATION n SYSTEM 'a'><!NOTATION n SYSTEM 'b'><!ELEMENT r EMPTY>", u"<r/>", {13}, {}},
        {14, u"<!NOTATION n SYSTEM 'a'><!ELEMENT r ANY><!ATTLIST r a NOTATION (n) #IMPLIED b NOTATION (n) #IMPLIED>", u"<r/>", {}, {14}},
        {15, u"<!NOTATION n SYSTEM 'a'><!ELEMENT r ANY><!ATTLIST r a NOTATION (n|n) #IMPLIED>", u"<r/>", {}, {15}},
        {17, u"<!ELEMENT r EMPTY><!ATTLIST r a CDATA #FIXED 'x'>", u"<r a='y'/>", {}, {17}},
        {18, u"<!ELEMENT r EMPTY><!ATTLIST r a ID 'x'>", u"<r/>", {}, {18}},
        {19, u"<!ELEMENT r EMPTY>", u"<r>x</r>", {}, {19}},
        {20, u"<!ELEMENT r ANY>", u"<r><x/></r>", {}, {20}},
        {21, u"<!ELEMENT r (i)><!ELEMENT i EMPTY>", u"<r/>", {}, {21}},
        {23, u"<!ELEMENT r EMPTY><!ATTLIST r a CDATA #IMPLIED>", u"<r a='&nowhere;'/>", {}, {23}},
        {25, u"<!ELEMENT r (i|i)><!ELEMENT i EMPTY>", u"<r><i/></r>", {}, {25}},
        {26, u"<!NOTATION n SYSTEM 'a'><!ELEMENT r EMPTY><!ATTLIST r a NOTATION (n) #IMPLIED>", u"<r/>", {}, {26}},
        {27, u"<!ELEMENT r EMPTY>%nowhere;", u"<r/>", {27}, {}},
        {28, u"<!ELEMENT r EMPTY><!ATTLIST r a CDATA #REQUIRED>", u"<r/>", {}, {28}},
        {29, u"<!ELEMENT r EMPTY><!ATTLIST r a IDREF #IMPLIED>", u"<r a='none'/>", {}, {29}},
        {30, u"<!ELEMENT r EMPTY><!ENTITY t 'text'><!ATTLIST r a ENTITY #IMPLIED>", u"<r a='t'/>", {}, {30}},
        {31, u"<!ELEMENT r EMPTY><!ENTITY pic SYSTEM 'p.gif' NDATA gif>", u"<r/>", {}, {31}},
        {32, u"<!ELEMENT r ANY><!ENTITY lost SYSTEM 'lost.xml'>", u"<r>&lost;</r>", {}, {32, 32}},
        {33, u"<!ELEMENT r EMPTY><!ENTITY % gone SYSTEM 'gone.dtd'>%gone;", u"<r/>", {33}, {}},
        {35, u"<!ELEMENT r EMPTY><!ELEMENT s EMPTY>", u"<s/>", {}, {35}},
        {36, u"<!ELEMENT r EMPTY><!ATTLIST r a CDATA #IMPLIED><!ENTITY x SYSTEM 'ext.xml'>", u"<r a='&x;'/>", {}, {36}},
        {53, u"<!ELEMENT r EMPTY><!ATTLIST r a CDATA #IMPLIED><!ENTITY m '<b>m</b>'>", u"<r a='&m;'/>", {}, {53}},
        {61, u"<!ELEMENT r ANY><!ENTITY bad '<a>'>", u"<r>&bad;</r>", {4}, {61}},
        {62, u"<!ELEMENT r ANY><!ENTITY a 'x&b;'><!ENTITY b 'y&a;'>", u"<r>&a;</r>", {}, {62}},
        {63, u"<!NOTATION gif SYSTEM 'v'><!ELEMENT r ANY><!ENTITY pic SYSTEM 'p.gif' NDATA gif>", u"<r>&pic;</r>", {}, {63}},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.kind);
        WideString text = u"<!DOCTYPE r [" + WideString(c.subset) + u"]>" + c.body;
        TdomDocument* doc = read(text);
        doc->buildASModel();
        EXPECT_EQ(kinds, c.built);
        EXPECT_EQ(validate(doc), c.validated);
        impl.freeDocument(doc);
    }
}

// ---- a valid document -------------------------------------------------------------------------

TEST_F(Declared, ValidDocumentGetsDefaultsAndIdsAndStaysValidOnASecondRun) {
    element(u"list", u"(head?, item+)");
    element(u"head", u"(#PCDATA)");
    element(u"item", u"(#PCDATA | b)*");
    element(u"b", u"EMPTY");
    attlist(u"item", u"id", u"ID", u"", u"#REQUIRED");
    attlist(u"item", u"refs", u"IDREFS", u"", u"#IMPLIED");
    attlist(u"item", u"kind", u"", u"(std|big)", u"", u"std");
    attlist(u"item", u"ver", u"CDATA", u"", u"#FIXED", u"1.0");
    attlist(u"list", u"owner", u"IDREF", u"", u"#IMPLIED");
    TdomDocument* doc = read(u"<list owner='b'>\n  <head>Title</head>\n"
                             u"  <item id='a'>x<b/>y</item>\n  <item id='b' refs=' a  b ' kind='big'/>\n</list>");
    EXPECT_EQ(validate(doc), Kinds{});
    TdomElement* a = doc->getElementById(u"a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->getAttribute(u"kind"), u"std");
    EXPECT_FALSE(a->getAttributeNode(u"kind")->getSpecified());
    EXPECT_EQ(a->getAttribute(u"ver"), u"1.0");
    EXPECT_TRUE(a->getAttributeNode(u"id")->isIdAttribute());
    EXPECT_FALSE(a->getAttributeNode(u"kind")->isIdAttribute());
    EXPECT_EQ(doc->getElementById(u"b")->getAttributeLiteral(u"refs"), u"a b");
    // The ID map starts empty at each run: the same IDs are no duplicates the second time.
    EXPECT_EQ(validate(doc), Kinds{});
    EXPECT_EQ(doc->getElementById(u"b")->getAttribute(u"kind"), u"big");
    // White space between element children is white space in element content.
    auto* ws = static_cast<TdomText*>(doc->getDocumentElement()->getFirstChild());
    EXPECT_TRUE(ws->isWhitespaceInElementContent());
    auto* word = static_cast<TdomText*>(a->getFirstChild());
    EXPECT_FALSE(word->isWhitespaceInElementContent());
}

// ---- kinds in more detail (one case per kind from DTD text is in EachKindFromRealDeclarations) --

TEST_F(Declared, ValuesNotOfTheirTypeAreKind7) {
    element(u"r", u"EMPTY");
    attlist(u"r", u"id", u"ID", u"", u"#IMPLIED");
    attlist(u"r", u"n", u"NMTOKEN", u"", u"#IMPLIED");
    attlist(u"r", u"ns", u"NMTOKENS", u"", u"#IMPLIED");
    attlist(u"r", u"e", u"", u"(one|two)", u"#IMPLIED");
    attlist(u"r", u"ref", u"IDREF", u"", u"#IMPLIED");
    attlist(u"r", u"refs", u"IDREFS", u"", u"#IMPLIED");
    EXPECT_EQ(validate(read(u"<r id='1x'/>")), Kinds{7});
    EXPECT_EQ(validate(read(u"<r n='a b'/>")), Kinds{7});
    EXPECT_EQ(validate(read(u"<r ns='a b ;'/>")), Kinds{7});
    EXPECT_EQ(validate(read(u"<r e='three'/>")), Kinds{7});
    EXPECT_EQ(validate(read(u"<r ref='1a'/>")), Kinds{7});
    EXPECT_EQ(validate(read(u"<r refs='a 1b'/>")), Kinds{7});
    EXPECT_EQ(validate(read(u"<r e=' two ' n=' x ' ns=' p  q '/>")), Kinds{});
}

TEST_F(Declared, DuplicateIdIsKind11AndEmptiesTheIdMap) {
    element(u"r", u"(i*)");
    element(u"i", u"EMPTY");
    attlist(u"i", u"id", u"ID", u"", u"#IMPLIED");
    TdomDocument* doc = read(u"<r><i id='a'/><i id='a'/></r>");
    EXPECT_EQ(validate(doc), Kinds{11});
    EXPECT_EQ(doc->getElementById(u"a"), nullptr);
}

TEST_F(Declared, FixedValueThatDiffersIsKind17) {
    element(u"r", u"EMPTY");
    attlist(u"r", u"v", u"CDATA", u"", u"#FIXED", u"a b");
    attlist(u"r", u"t", u"NMTOKENS", u"", u"#FIXED", u"x y");
    EXPECT_EQ(validate(read(u"<r v='a  b'/>")), Kinds{17});
    EXPECT_EQ(validate(read(u"<r v='a b'/>")), Kinds{});
    // Tokenized values compare after normalization.
    EXPECT_EQ(validate(read(u"<r t=' x   y '/>")), Kinds{});
}

TEST_F(Declared, EmptyElementWithContentIsKind19) {
    element(u"r", u"EMPTY");
    EXPECT_EQ(validate(read(u"<r> </r>")), Kinds{19});
    EXPECT_EQ(validate(read(u"<r><!--c--></r>")), Kinds{19});
}

TEST_F(Declared, ContentNotMatchingIsKind21) {
    element(u"r", u"(a, b)");
    element(u"a", u"EMPTY");
    element(u"b", u"EMPTY");
    element(u"m", u"(#PCDATA)");
    element(u"n", u"(#PCDATA|a)*");
    EXPECT_EQ(validate(read(u"<r><a/><b/><a/></r>")), Kinds{21});  // more names than the model takes
    EXPECT_EQ(validate(read(u"<r><b/><a/></r>")), Kinds{21});
    EXPECT_EQ(validate(read(u"<r><a/>text<b/></r>")), Kinds{21});
    EXPECT_EQ(validate(read(u"<r><a/><![CDATA[ ]]><b/></r>")), Kinds{21});
    EXPECT_EQ(validate(read(u"<r> <a/><?pi x?><!--c--> <b/> </r>")), Kinds{});
    EXPECT_EQ(validate(read(u"<m>t<a/></m>")), Kinds{21});
    EXPECT_EQ(validate(read(u"<n>t<a/><![CDATA[<>]]>u</n>")), Kinds{});
    EXPECT_EQ(validate(read(u"<n>t<b/></n>")), Kinds{21});
}

TEST_F(Declared, UndeclaredEntityIsKind23) {
    element(u"r", u"ANY");
    attlist(u"r", u"v", u"CDATA", u"", u"#IMPLIED");
    EXPECT_EQ(validate(read(u"<r>&nowhere;</r>")), (Kinds{32, 23}));
    EXPECT_EQ(validate(read(u"<r v='&nowhere;'/>")), Kinds{23});
}

TEST_F(Declared, ReferenceToAMissingIdIsKind29) {
    element(u"r", u"(i*)");
    element(u"i", u"EMPTY");
    attlist(u"i", u"id", u"ID", u"", u"#IMPLIED");
    attlist(u"i", u"to", u"IDREFS", u"", u"#IMPLIED");
    EXPECT_EQ(validate(read(u"<r><i to='b a'/><i id='a'/></r>")), Kinds{29});
    EXPECT_EQ(validate(read(u"<r><i to='b c'/><i id='b'/><i id='c'/></r>")), Kinds{});
}

TEST_F(Declared, EntityAttributesNameUnparsedEntitiesOrAreKind30) {
    notation(u"gif", u"viewer");
    entity(u"pic", u"", u"", u"pic.gif", u"gif");
    entity(u"text", u"words");
    element(u"r", u"EMPTY");
    attlist(u"r", u"e", u"ENTITY", u"", u"#IMPLIED");
    attlist(u"r", u"es", u"ENTITIES", u"", u"#IMPLIED");
    EXPECT_EQ(validate(read(u"<r e='pic' es='pic pic'/>")), Kinds{});
    EXPECT_EQ(validate(read(u"<r e='text'/>")), Kinds{30});
    EXPECT_EQ(validate(read(u"<r es='pic none text'/>")), (Kinds{30, 30}));
}

TEST_F(Declared, NotationAttributesNameListedDeclaredNotations) {
    notation(u"gif", u"viewer");
    element(u"r", u"(#PCDATA)");
    attlist(u"r", u"n", u"NOTATION", u"(gif|png)", u"#IMPLIED");
    TdomDocument* doc = read(u"<r n='gif'/>");
    kinds.clear();
    // The model itself names an undeclared notation: kind 31 from the models' own check.
    EXPECT_EQ(validate(doc), Kinds{31});
    TdomASNotationDecl* png = nullptr;
    model->addNotationDecl(u"png", u"", u"viewer", png);  // declared later in the same model
    EXPECT_EQ(validate(doc), Kinds{});
    EXPECT_EQ(validate(read(u"<r n='jpg'/>")), Kinds{7});
}

TEST_F(Declared, RootNotTheDeclaredNameIsKind35AndNoRootIsKind60) {
    element(u"r", u"EMPTY");
    TdomDocument* doc = read(u"<!DOCTYPE other []><r/>");
    ASSERT_NE(doc->getDocTypeDecl(), nullptr);
    EXPECT_EQ(validate(doc), Kinds{35});
    TdomDocument* empty = impl.createEmptyDocument(u"");
    empty->getASModels()->appendASModel(model);
    EXPECT_EQ(validate(empty), Kinds{60});
}

TEST_F(Declared, AttributeValuesReferringToExternalOrLessThanEntities) {
    entity(u"ext", u"", u"", u"ext.txt");
    entity(u"lt", u"&#38;#60;");
    entity(u"angle", u"<b>markup</b>");
    entity(u"inner", u"x&angle;");
    element(u"r", u"EMPTY");
    attlist(u"r", u"v", u"CDATA", u"", u"#IMPLIED");
    EXPECT_EQ(validate(read(u"<r v='&ext;'/>")), (Kinds{23}));  // nobody delivers it: the value cannot be built
    EXPECT_EQ(validate(read(u"<r v='a &lt; b'/>")), Kinds{});
    EXPECT_EQ(validate(read(u"<r v='&inner;'/>")), Kinds{53});
    TdomDocument* doc = read(u"<r/>");
    doc->getDocumentElement()->setAttribute(u"v", u"&ext;");
    EXPECT_TRUE(doc->getDocumentElement()->getAttributeNode(u"v")->refersToExternalEntity());
    doc->getDocumentElement()->setAttribute(u"v", u"&inner;");
    EXPECT_TRUE(doc->getDocumentElement()->getAttributeNode(u"v")->refersToEntityWithLessThan());
    EXPECT_FALSE(doc->getDocumentElement()->getAttributeNode(u"v")->refersToExternalEntity());
}

TEST_F(Declared, EntityReferencesInContentByKind) {
    notation(u"gif", u"viewer");
    entity(u"pic", u"", u"", u"pic.gif", u"gif");
    entity(u"broken", u"<a>");
    entity(u"self", u"x&self;");
    entity(u"good", u"fine");
    element(u"r", u"ANY");
    // Mode 1 keeps the references; each fault is reported once, fatal, where it is met.
    EXPECT_EQ(validate(read(u"<r>&broken;</r>"), 1), (Kinds{61}));
    EXPECT_EQ(validate(read(u"<r>&self;</r>"), 1), (Kinds{62}));
    EXPECT_EQ(validate(read(u"<r>&pic;</r>"), 1), (Kinds{63}));
    EXPECT_EQ(validate(read(u"<r>&good;</r>"), 1), Kinds{});
    // Mode 0 replaces what it can and leaves the rest: a self-referring entity is refused at
    // once, it does not loop.
    TdomDocument* doc = read(u"<r>a&self;b&good;c</r>");
    EXPECT_FALSE(doc->getDocumentElement()->resolveEntityReferences(0));
    EXPECT_EQ(childNames(doc->getDocumentElement()), "#text,self,#text");
    EXPECT_EQ(doc->getDocumentElement()->getLastChild()->getNodeValue(), u"bfinec");
}

TEST_F(Declared, DefaultValueProblemsAreReportedByKind) {
    entity(u"ext", u"", u"", u"ext.txt");
    entity(u"angle", u"<b>markup</b>");
    element(u"r", u"EMPTY");
    attlist(u"r", u"v", u"CDATA", u"", u"", u"&ext;");
    attlist(u"r", u"w", u"CDATA", u"", u"#FIXED", u"&angle;");
    attlist(u"r", u"n", u"NMTOKEN", u"", u"", u"&ext;");
    // The NMTOKEN default is checked by the models (36), each missing default by the element.
    EXPECT_EQ(validate(read(u"<r/>")), (Kinds{36, 36, 53, 36}));
    // A default of a present attribute is not needed; a #FIXED one is always compared.
    EXPECT_EQ(validate(read(u"<r v='given' n='x' w='y'/>")), (Kinds{36, 53}));
}

// ---- entity expansion ----------------------------------------------------------------------

TEST_F(Declared, NestedEntitiesExpandInBothModes) {
    entity(u"co", u"Smith &amp; <b>Co</b>");
    entity(u"sig", u"by &co;, &#169; &year;");
    entity(u"year", u"2026");
    element(u"r", u"ANY");
    element(u"b", u"(#PCDATA)");
    TdomDocument* doc = read(u"<r>Made &sig;.</r>");
    TdomElement* r = doc->getDocumentElement();
    ASSERT_TRUE(r->resolveEntityReferences(1));
    TdomNode* ref = r->getChildNodes()->item(1);
    ASSERT_EQ(ref->getNodeType(), ntEntity_Reference_Node);
    EXPECT_EQ(ref->getTextContent(), u"by Smith & Co, \u00a9 2026");
    EXPECT_TRUE(ref->getFirstChild()->getIsReadonly());
    EXPECT_TRUE(r->resolveEntityReferences(0));
    EXPECT_EQ(childNames(r), "#text,b,#text");
    EXPECT_EQ(r->getFirstChild()->getNodeValue(), u"Made by Smith & ");
    EXPECT_EQ(r->getLastChild()->getNodeValue(), u", \u00a9 2026.");
    EXPECT_EQ(validate(doc, 0), Kinds{});
}

TEST_F(Declared, ExternalEntitiesComeThroughTheHandler) {
    entity(u"chap", u"", u"", u"chap.xml");
    entity(u"lost", u"", u"", u"lost.xml");
    element(u"r", u"ANY");
    element(u"p", u"(#PCDATA)");
    std::vector<std::string> asked;
    impl.OnExternalParsedEntity = [&](TObject*, const WideString&, const WideString&, const WideString& systemId,
                                      std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        asked.push_back(u8(systemId));
        if (systemId != u"chap.xml") return;
        stream = std::make_unique<TStringStream>("<?xml version='1.0' encoding='UTF-8'?><p>chapter</p>");
        action = PARSER_STREAM;
    };
    TdomDocument* doc = read(u"<r>&chap;&lost;</r>");
    EXPECT_FALSE(doc->getDocumentElement()->resolveEntityReferences(0));
    EXPECT_EQ(childNames(doc->getDocumentElement()), "p,lost");
    EXPECT_EQ(doc->getDocumentElement()->getFirstChild()->getTextContent(), u"chapter");
    EXPECT_EQ(asked, (std::vector<std::string>{"chap.xml", "lost.xml"}));
}

TEST_F(Declared, ImportedReferencesExpandFromTheTargetsDeclarations) {
    entity(u"e", u"target text");
    element(u"r", u"ANY");
    TdomDocument* doc = read(u"<r/>");
    TdomDocument source;
    TdomNode* copy = doc->importNode(source.createEntityReference(u"e"), false);
    EXPECT_EQ(copy->getTextContent(), u"target text");
    EXPECT_TRUE(copy->getIsReadonly());
    static_cast<TdomEntityReference*>(copy)->expand();
    EXPECT_EQ(copy->getChildCount(), 1);
}

TEST_F(Declared, BillionLaughsIsRefusedQuicklyEverywhere) {
    entity(u"l0", u"ha");
    for (int i = 1; i <= 12; ++i) {
        WideString v;
        WideString prev = u"l" + num(i - 1);
        for (int k = 0; k < 10; ++k) v += u"&" + prev + u";";
        entity(u"l" + num(i), v);
    }
    element(u"r", u"ANY");
    attlist(u"r", u"v", u"CDATA", u"", u"#IMPLIED");
    TdomDocument* doc = read(u"<r v='&l12;'>&l12;&l12;</r>");
    TdomElement* r = doc->getDocumentElement();
    EXPECT_FALSE(r->resolveEntityReferences(1));
    EXPECT_EQ(r->getFirstChild()->getChildCount(), 0);
    EXPECT_FALSE(r->resolveEntityReferences(0));
    EXPECT_EQ(childNames(r), "l12,l12");
    EXPECT_TRUE(raises<EConvertError>([&] { r->getAttributeLiteral(u"v"); },
                                      u"Literal attribute value cannot be resolved."));
    EXPECT_FALSE(doc->validateDocument(0));
}

// ---- defaults --------------------------------------------------------------------------------

TEST_F(Declared, RefreshDefaultAttributesFollowsTheDeclarations) {
    element(u"r", u"(r*)");
    attlist(u"r", u"d", u"CDATA", u"", u"", u"dflt");
    attlist(u"r", u"f", u"CDATA", u"", u"#FIXED", u"fix");
    attlist(u"r", u"i", u"CDATA", u"", u"#IMPLIED");
    TdomDocument* doc = read(u"<r f='fix' other='kept'><r/></r>");
    TdomElement* r = doc->getDocumentElement();
    EXPECT_TRUE(r->refreshDefaultAttributes(false, true));
    auto* inner = static_cast<TdomElement*>(r->getFirstChild());
    EXPECT_EQ(inner->getAttribute(u"d"), u"dflt");
    EXPECT_EQ(inner->getAttribute(u"f"), u"fix");
    EXPECT_FALSE(inner->hasAttribute(u"i"));
    EXPECT_TRUE(r->getAttributeNode(u"f")->getSpecified());
    EXPECT_TRUE(r->refreshDefaultAttributes(true, false));
    EXPECT_FALSE(r->getAttributeNode(u"f")->getSpecified());  // the specified #FIXED one was replaced
    EXPECT_EQ(r->getAttribute(u"other"), u"kept");            // undeclared: kept
}

// ---- depth and size --------------------------------------------------------------------------

TEST_F(Declared, DeepDocumentsDoNotExhaustTheStack) {
    constexpr int kDeep = 200000;
    element(u"d", u"(#PCDATA|d)*");
    attlist(u"d", u"k", u"CDATA", u"", u"", u"v");
    attlist(u"d", u"id", u"ID", u"", u"#IMPLIED");
    attlist(u"d", u"to", u"IDREF", u"", u"#IMPLIED");
    entity(u"e", u"text");
    TdomDocument* doc = read(u"<d/>");
    TdomElement* inner = doc->createElement(u"d");
    inner->setAttribute(u"id", u"bottom");
    inner->appendChild(doc->createEntityReference(u"e"));
    inner->appendChild(doc->createTextNode(u"x"));
    for (int i = 0; i < kDeep; ++i) {
        TdomElement* outer = doc->createElement(u"d");
        outer->appendChild(inner);
        outer->appendChild(doc->createTextNode(u"a"));
        outer->appendChild(doc->createTextNode(u"b"));
        inner = outer;
    }
    inner->setAttribute(u"to", u"bottom");
    doc->getDocumentElement()->appendChild(inner);
    TdomElement* root = doc->getDocumentElement();
    EXPECT_TRUE(root->resolveEntityReferences(1));
    EXPECT_TRUE(root->refreshDefaultAttributes(false, true));
    root->normalize();
    EXPECT_EQ(inner->getChildCount(), 2);
    EXPECT_EQ(inner->getLastChild()->getNodeValue(), u"ab");
    EXPECT_EQ(validate(doc, 0), Kinds{});
    EXPECT_EQ(doc->getElementById(u"bottom")->getFirstChild()->getNodeValue(), u"textx");
}

TEST_F(Declared, AMillionAdjacentTextsNormalizeInLinearTime) {
    element(u"r", u"(#PCDATA)");
    entity(u"e", u"x");
    TdomDocument* doc = read(u"<r/>");
    TdomElement* r = doc->getDocumentElement();
    for (int i = 0; i < 1000000; ++i) r->appendChild(doc->createEntityReference(u"e"));
    ASSERT_TRUE(r->resolveEntityReferences(0));  // a million texts, merged into one
    ASSERT_EQ(r->getChildCount(), 1);
    EXPECT_EQ(r->getFirstChild()->getNodeValue().size(), 1000000u);
    for (int i = 0; i < 1000000; ++i) r->appendChild(doc->createTextNode(u"y"));
    r->normalize();
    ASSERT_EQ(r->getChildCount(), 1);
    EXPECT_EQ(r->getFirstChild()->getNodeValue().size(), 2000000u);
}

TEST_F(Declared, AMillionIdsValidate) {
    element(u"r", u"(i*)");
    element(u"i", u"EMPTY");
    attlist(u"i", u"id", u"ID", u"", u"#REQUIRED");
    attlist(u"i", u"to", u"IDREF", u"", u"#IMPLIED");
    TdomDocument* doc = read(u"<r/>");
    TdomElement* r = doc->getDocumentElement();
    constexpr int kCount = 1000000;
    for (int i = 0; i < kCount; ++i) {
        TdomElement* e = doc->createElement(u"i");
        e->setAttribute(u"id", u"n" + num(i));
        if (i > 0) e->setAttribute(u"to", u"n" + num(i - 1));
        r->appendChild(e);
    }
    EXPECT_EQ(validate(doc), Kinds{});
    EXPECT_EQ(doc->getIdMap().size(), static_cast<size_t>(kCount));
    EXPECT_EQ(doc->getElementById(u"n777")->getAttribute(u"to"), u"n776");
    // Freeing them all takes each out of the ID map with one look-up.
    TdomNode* root = doc->removeChild(r);
    doc->freeTreeNode(root);
    EXPECT_EQ(doc->getIdMap().size(), 0u);
}

}  // namespace

