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
    /// Whether the run goes on after an error (fatal ones included).
    bool goOn = true;
    ErrorLog() {
        impl.OnError = [this](TObject*, TdomError* e, bool& go) {
            kinds.push_back(e->getKind());
            clues.push_back(utf8(e->getClue()));
            go = goOn;
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
            EXPECT_EQ(e.Message, "TXmlSourceCode not specified.");
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
        EXPECT_EQ(e.Message, "Stream not specified.");
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

// ------------------------------------------------------------------ the builder fed by hand

namespace {

/// A schema builder behind a bare reader (the sender of the events) that reports to an
/// implementation; the events are fired by hand.
class ASBuilding : public ::testing::Test {
protected:
    void SetUp() override {
        reader.setDOMImpl(&log.impl);
        reader.setNextHandler(&builder);
        model = log.impl.createASModel();
        builder.setASModel(model);
        ASSERT_TRUE(builder.processStartIntDtd(&reader, nullptr));
    }

    bool element(const WideString& name, const WideString& spec) {
        return builder.processElementTypeDeclaration(&reader, nullptr, name, spec);
    }
    bool startList(const WideString& name) { return builder.processStartAttListDeclaration(&reader, nullptr, name); }
    bool endList() { return builder.processEndAttListDeclaration(&reader, nullptr); }
    bool attribute(const WideString& name, const WideString& type, const WideString& bracket,
                   const WideString& defaultDecl, const WideString& value) {
        return builder.processAttributeDefinition(&reader, nullptr, name, type, bracket, defaultDecl, value);
    }
    /// A whole attribute list of one definition.
    bool attlist(const WideString& elementName, const WideString& name, const WideString& type,
                 const WideString& bracket, const WideString& defaultDecl, const WideString& value) {
        return startList(elementName) && attribute(name, type, bracket, defaultDecl, value) && endList();
    }
    bool entity(const WideString& name, const WideString& value, const WideString& pubId = u"",
                const WideString& sysId = u"", const WideString& notation = u"") {
        return builder.processEntityDeclaration(&reader, nullptr, name, value, pubId, sysId, notation);
    }
    bool parameterEntity(const WideString& name, const WideString& value, const WideString& pubId = u"",
                         const WideString& sysId = u"") {
        return builder.processParameterEntityDeclaration(&reader, nullptr, name, value, pubId, sysId);
    }
    bool notation(const WideString& name, const WideString& pubId, const WideString& sysId) {
        return builder.processNotationDeclaration(&reader, nullptr, name, pubId, sysId);
    }
    /// The content model as text: leaves by name, groups in brackets with "," or "|", each
    /// followed by its frequency mark.
    static std::string show(const TdomASContentModel* m) {
        static const char* const marks[] = {"", "?", "+", "*"};
        std::string s;
        if (m->getListOperator() == AS_ELEMENT_NAME) {
            s = utf8(m->getName());
        } else {
            s = "(";
            for (int i = 0; i < m->getSubModelCount(); ++i) {
                if (i) s += m->getListOperator() == AS_CHOICE ? "|" : ",";
                s += show(m->getSubModel(i));
            }
            s += ")";
        }
        return s + marks[m->getFrequency() & 3];
    }
    std::string modelOf(const WideString& name) {
        TdomASElementDecl* decl = model->findElementDecl(name);
        if (!decl) return "<none>";
        return decl->getContentModel() ? show(decl->getContentModel()) : "<no model>";
    }

    ErrorLog log;
    TXmlCustomReader reader;
    TXmlASBuilder builder;
    TdomASModel* model = nullptr;
};

template <class E, class F>
std::string messageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message;
    }
    return "<no exception>";
}

} // namespace

TEST_F(ASBuilding, RunProtocol) {
    TXmlASBuilder other;
    EXPECT_EQ(messageOf<EParserException>([&] { other.processStartExtDtd(nullptr, nullptr, u"", u"", u""); }),
              "Internal Parser Exception: Sender not specified");
    TXmlCustomReader bare;
    EXPECT_EQ(messageOf<EParserException>([&] { other.processStartIntDtd(&bare, nullptr); }),
              "Internal Parser Exception: sender.DOMImpl not specified");
    // Every other DTD event needs a run.
    EXPECT_EQ(messageOf<EParserException>([&] { other.processDtdComment(&reader, nullptr, u"x"); }),
              "Internal Parser Exception");
    EXPECT_EQ(messageOf<EParserException>([&] { other.processEndIntDtd(&reader, nullptr); }),
              "Internal Parser Exception");

    // This builder's run is active: a second start is refused and the content model is busy.
    EXPECT_TRUE(builder.isActive());
    EXPECT_EQ(messageOf<EParserException>([&] { builder.processStartExtDtd(&reader, nullptr, u"", u"", u""); }),
              "Internal Parser Exception");
    EXPECT_EQ(messageOf<EParserException>([&] { builder.checkNoContentModelActive(); }),
              "TXmlASBuilder -- Content Model is active.");
    // References must come resolved.
    EXPECT_EQ(messageOf<EParserException>([&] { builder.processParameterEntityRef(&reader, nullptr, u"p"); }),
              "Parser error.");
    EXPECT_TRUE(builder.processEndIntDtd(&reader, nullptr));
    EXPECT_FALSE(builder.isActive());
    EXPECT_NO_THROW(builder.checkNoContentModelActive());
    EXPECT_TRUE(builder.processStartExtDtd(&reader, nullptr, u"", u"1.0", u"UTF-8"));
    builder.reset();
    EXPECT_FALSE(builder.isActive());
}

TEST_F(ASBuilding, ContentTypesAndModels) {
    EXPECT_TRUE(element(u"e", u" EMPTY "));
    EXPECT_TRUE(element(u"any", u"ANY"));
    EXPECT_TRUE(element(u"seq", u"(a, (b | c)*, d?)+"));
    EXPECT_TRUE(element(u"one", u"(a)"));
    EXPECT_TRUE(element(u"choice", u"( a | b+ | (c,d) )?"));
    EXPECT_TRUE(element(u"text", u"(#PCDATA)"));
    EXPECT_TRUE(element(u"text2", u"( #PCDATA )*"));
    EXPECT_TRUE(element(u"mixed", u"(#PCDATA | a | b)*"));
    EXPECT_TRUE(log.kinds.empty());

    EXPECT_EQ(model->findElementDecl(u"e")->getContentType(), AS_CONTENT_EMPTY);
    EXPECT_EQ(model->findElementDecl(u"e")->getContentModel(), nullptr);
    EXPECT_EQ(model->findElementDecl(u"any")->getContentType(), AS_CONTENT_ANY);
    EXPECT_EQ(model->findElementDecl(u"seq")->getContentType(), AS_CONTENT_ELEMENT);
    EXPECT_EQ(model->findElementDecl(u"mixed")->getContentType(), AS_CONTENT_MIXED);
    EXPECT_EQ(modelOf(u"seq"), "(a,(b|c)*,d?)+");
    EXPECT_EQ(modelOf(u"one"), "(a)");
    EXPECT_EQ(modelOf(u"choice"), "(a|b+|(c,d))?");
    EXPECT_EQ(modelOf(u"text"), "()");
    EXPECT_EQ(modelOf(u"text2"), "()*");
    EXPECT_EQ(modelOf(u"mixed"), "(a|b)*");

    // The models built match children as declared.
    const TdomASContentModel* seq = model->findElementDecl(u"seq")->getContentModel();
    std::vector<WideString> names{u"a", u"c", u"b", u"a", u"d"};
    size_t index = 0;
    bool error = false;
    EXPECT_TRUE(seq->contentModelTestWithFrequency(names, index, error));
    EXPECT_EQ(index, names.size());
}

TEST_F(ASBuilding, MalformedContentDeclarationsAreKind69AndDeclareNothing) {
    const WideString bad[] = {u"(a,b|c)", u"(a,)",  u"()",          u"(a",      u"a",      u"(a))",
                              u"((a)",    u"(1a)",  u"(a b)",       u"(a)(b)",  u"(#PCDATA|a)", u"(a|#PCDATA)*",
                              u"(#PCDATA|)*", u"(#PCDATA|1)*", u"(a,b)**", u"EMPTY ANY"};
    int i = 0;
    for (const WideString& spec : bad) {
        const WideString name = u"e" + WideString(1, static_cast<char16_t>(u'a' + i++));
        log.kinds.clear();
        element(name, spec);
        ASSERT_EQ(log.kinds, std::vector<int>{69}) << utf8(spec);
        EXPECT_EQ(log.clues.back(), utf8(spec));
        EXPECT_EQ(model->findElementDecl(name), nullptr) << utf8(spec);
    }
    log.kinds.clear();
    element(u"1bad", u"EMPTY");
    EXPECT_EQ(log.kinds, std::vector<int>{69});

    // Called directly, the parse operations raise and make nothing.
    TdomASElementDecl* decl = nullptr;
    model->addElementDecl(u"direct", AS_CONTENT_ELEMENT, decl);
    EXPECT_EQ(messageOf<EParserException>([&] { builder.parseContentParticle(decl, u"(a|)"); }), "Parser error.");
    EXPECT_EQ(messageOf<EParserException>([&] { builder.parseMixedContent(decl, u"(#PCDATA|a)"); }), "Parser error.");
    EXPECT_EQ(decl->getContentModels().getLength(), 0);
    TdomASContentModel* m = builder.parseContentParticle(decl, u"(x|y)*");
    EXPECT_EQ(show(m), "(x|y)*");
    EXPECT_EQ(decl->getContentModel(), nullptr);
}

TEST_F(ASBuilding, DeepParticlesAreKind69WithoutRecursingDeep) {
    auto nested = [](int depth) {
        WideString s(static_cast<size_t>(depth), u'(');
        s += u"a";
        s += WideString(static_cast<size_t>(depth), u')');
        return s;
    };
    EXPECT_TRUE(element(u"ok", nested(200)));
    EXPECT_TRUE(log.kinds.empty());
    element(u"deep", nested(300));
    EXPECT_EQ(log.kinds, std::vector<int>{69});
    log.kinds.clear();
    element(u"deeper", nested(1'000'000));
    EXPECT_EQ(log.kinds, std::vector<int>{69});
    EXPECT_EQ(model->findElementDecl(u"deeper"), nullptr);
}

TEST_F(ASBuilding, DuplicateElementIsKind8AndKeepsTheFirst) {
    EXPECT_TRUE(element(u"e", u"(a)"));
    EXPECT_TRUE(element(u"e", u"EMPTY")); // an error, not fatal: the run goes on
    EXPECT_EQ(log.kinds, std::vector<int>{8});
    EXPECT_EQ(log.clues.back(), "e");
    EXPECT_EQ(model->findElementDecl(u"e")->getContentType(), AS_CONTENT_ELEMENT);
    EXPECT_EQ(modelOf(u"e"), "(a)");
}

TEST_F(ASBuilding, AttributeListBeforeItsElement) {
    EXPECT_TRUE(attlist(u"late", u"x", u"CDATA", u"", u"#IMPLIED", u""));
    TdomASElementDecl* decl = model->findElementDecl(u"late");
    ASSERT_NE(decl, nullptr);
    EXPECT_EQ(decl->getContentType(), AS_CONTENT_UNDEFINED);
    EXPECT_TRUE(element(u"late", u"(a|b)*"));
    EXPECT_TRUE(log.kinds.empty()); // the later declaration completes the one the list made
    EXPECT_EQ(model->findElementDecl(u"late"), decl);
    EXPECT_EQ(decl->getContentType(), AS_CONTENT_ELEMENT);
    EXPECT_EQ(modelOf(u"late"), "(a|b)*");
    EXPECT_NE(decl->findAttributeDecl(u"x"), nullptr);
    // A third declaration is a double one.
    element(u"late", u"ANY");
    EXPECT_EQ(log.kinds, std::vector<int>{8});

    // An element that is never declared keeps its attribute list.
    log.kinds.clear();
    EXPECT_TRUE(attlist(u"ghost", u"y", u"ID", u"", u"#REQUIRED", u""));
    EXPECT_TRUE(attlist(u"ghost", u"z", u"NMTOKEN", u"", u"", u"v"));
    EXPECT_TRUE(builder.processEndIntDtd(&reader, nullptr));
    EXPECT_TRUE(log.kinds.empty());
    EXPECT_EQ(model->findAttributeDecl(u"ghost", u"y")->getAttrType(), AS_ID_DATATYPE);
    EXPECT_EQ(model->findAttributeDecl(u"ghost", u"z")->getDefaultValue(), u"v");
}

TEST_F(ASBuilding, EveryAttributeTypeAndDefault) {
    struct Case {
        const char16_t* name;
        const char16_t* type;
        const char16_t* bracket;
        const char16_t* defaultDecl;
        const char16_t* value;
        uint8_t attrType;
        uint8_t decl;
    } cases[] = {
        {u"c", u"CDATA", u"", u"", u"text", AS_STRING_DATATYPE, AS_DEFAULT},
        {u"i", u"ID", u"", u"#REQUIRED", u"", AS_ID_DATATYPE, AS_REQUIRED},
        {u"r", u"IDREF", u"", u"#IMPLIED", u"", AS_IDREF_DATATYPE, AS_IMPLIED},
        {u"rs", u"IDREFS", u"", u"#FIXED", u"a b", AS_IDREFS_DATATYPE, AS_FIXED},
        {u"en", u"ENTITY", u"", u"#IMPLIED", u"", AS_ENTITY_DATATYPE, AS_IMPLIED},
        {u"ens", u"ENTITIES", u"", u"#IMPLIED", u"", AS_ENTITIES_DATATYPE, AS_IMPLIED},
        {u"t", u"NMTOKEN", u"", u"", u"1x", AS_NMTOKEN_DATATYPE, AS_DEFAULT},
        {u"ts", u"NMTOKENS", u"", u"#IMPLIED", u"", AS_NMTOKENS_DATATYPE, AS_IMPLIED},
        {u"n", u"NOTATION", u"(gif | png)", u"#IMPLIED", u"", AS_NOTATION_DATATYPE, AS_IMPLIED},
        {u"enum", u"", u"( 1a|b-c | d )", u"", u"b-c", AS_NMTOKEN_DATATYPE, AS_DEFAULT},
    };
    ASSERT_TRUE(startList(u"e"));
    for (const Case& c : cases) EXPECT_TRUE(attribute(c.name, c.type, c.bracket, c.defaultDecl, c.value));
    ASSERT_TRUE(endList());
    EXPECT_TRUE(log.kinds.empty());
    for (const Case& c : cases) {
        const TdomASAttributeDecl* a = model->findAttributeDecl(u"e", c.name);
        ASSERT_NE(a, nullptr) << utf8(c.name);
        EXPECT_EQ(a->getAttrType(), c.attrType) << utf8(c.name);
        EXPECT_EQ(a->getDefaultDecl(), c.decl) << utf8(c.name);
        EXPECT_EQ(a->getDefaultValue(), c.value) << utf8(c.name);
    }
    const TdomWideStringList& notations = model->findAttributeDecl(u"e", u"n")->getEnumeration();
    ASSERT_EQ(notations.getCount(), 2);
    EXPECT_EQ(notations.Get(0), u"gif");
    EXPECT_EQ(notations.Get(1), u"png");
    const TdomWideStringList& tokens = model->findAttributeDecl(u"e", u"enum")->getEnumeration();
    ASSERT_EQ(tokens.getCount(), 3);
    EXPECT_EQ(tokens.Get(0), u"1a");
    EXPECT_EQ(tokens.Get(2), u"d");
}

TEST_F(ASBuilding, AttributeFaults) {
    ASSERT_TRUE(startList(u"e"));
    EXPECT_EQ(messageOf<EParserException>([&] { attribute(u"a", u"STRING", u"", u"#IMPLIED", u""); }),
              "STRING is not a valid attribute type.");
    // A name token that is no name is refused in a notation list.
    EXPECT_EQ(messageOf<EParserException>([&] { attribute(u"b", u"NOTATION", u"(1a)", u"#IMPLIED", u""); }),
              "Parser error.");
    EXPECT_EQ(messageOf<EParserException>([&] { attribute(u"c", u"", u"(a||b)", u"#IMPLIED", u""); }),
              "Parser error.");
    EXPECT_EQ(model->findElementDecl(u"e"), nullptr); // nothing made by the refused definitions
    EXPECT_TRUE(attribute(u"d", u"CDATA", u"", u"", u"a<b"));
    EXPECT_TRUE(attribute(u"f", u"CDATA", u"", u"#DEFAULT", u""));
    EXPECT_EQ(log.kinds, (std::vector<int>{53, 66}));

    // The first definition of an attribute binds; a second one is kind 1.
    log.kinds.clear();
    EXPECT_TRUE(attribute(u"g", u"CDATA", u"", u"", u"first"));
    EXPECT_TRUE(attribute(u"g", u"ID", u"", u"#REQUIRED", u""));
    EXPECT_TRUE(endList());
    EXPECT_EQ(log.kinds, std::vector<int>{1});
    EXPECT_EQ(model->findAttributeDecl(u"e", u"g")->getDefaultValue(), u"first");

    auto enumeration = builder.parseEnumeration(u" ( a | b ) ", false);
    EXPECT_EQ(enumeration, (std::vector<WideString>{u"a", u"b"}));
}

TEST_F(ASBuilding, AttributeListStateIsKind66) {
    attribute(u"a", u"CDATA", u"", u"#IMPLIED", u"");
    endList();
    ASSERT_TRUE(startList(u"e"));
    startList(u"f");
    element(u"x", u"EMPTY");
    entity(u"x", u"v");
    notation(u"x", u"", u"x.exe");
    EXPECT_EQ(log.kinds, (std::vector<int>{66, 66, 66, 66, 66, 66}));
    EXPECT_EQ(model->findElementDecl(u"x"), nullptr);
    // An error the implementation does not let pass stops the run: the chain is reset.
    log.goOn = false;
    EXPECT_FALSE(builder.processEndIntDtd(&reader, nullptr));
    EXPECT_EQ(log.kinds.size(), 7u);
    EXPECT_FALSE(builder.isActive());
    EXPECT_FALSE(builder.getInAttList());
}

TEST_F(ASBuilding, EntitiesAndNotations) {
    EXPECT_TRUE(entity(u"ch", u"&#65;&#x42;c"));
    EXPECT_EQ(model->findEntityDecl(u"ch")->getLiteralValue(), u"ABc");
    EXPECT_TRUE(entity(u"ext", u"", u"", u"file.xml"));
    EXPECT_TRUE(model->findEntityDecl(u"ext")->isExternal());
    EXPECT_TRUE(entity(u"pic", u"", u"-//X//Y", u"pic.gif", u"gif"));
    EXPECT_EQ(model->findEntityDecl(u"pic")->getNotationName(), u"gif");
    EXPECT_TRUE(log.kinds.empty());

    EXPECT_TRUE(entity(u"ch", u"other"));
    EXPECT_EQ(log.kinds, std::vector<int>{2});
    EXPECT_EQ(model->findEntityDecl(u"ch")->getLiteralValue(), u"ABc");

    // A value that is no well-formed content makes an unusable entity: kind 4.
    log.kinds.clear();
    EXPECT_TRUE(entity(u"broken", u"<a>"));
    EXPECT_EQ(log.kinds, std::vector<int>{4});
    EXPECT_EQ(log.clues.back(), "broken");

    log.kinds.clear();
    EXPECT_TRUE(notation(u"gif", u"", u"viewer.exe"));
    EXPECT_TRUE(notation(u"gif", u"-//Other//EN", u""));
    EXPECT_EQ(log.kinds, std::vector<int>{13});
    EXPECT_EQ(model->findNotationDecl(u"gif")->getSystemId(), u"viewer.exe");
    log.kinds.clear();
    EXPECT_TRUE(notation(u"bad", u"\u00e9", u""));
    EXPECT_EQ(log.kinds, std::vector<int>{71});
}

TEST_F(ASBuilding, ParameterEntities) {
    EXPECT_TRUE(parameterEntity(u"p", u"<!ELEMENT a EMPTY>"));
    EXPECT_TRUE(parameterEntity(u"p", u"second"));
    EXPECT_EQ(log.kinds, std::vector<int>{3});
    WideString text;
    TXmlErrorType kind = 99;
    EXPECT_TRUE(builder.resolveParameterEntity(u"p", text, kind));
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(text, u"<!ELEMENT a EMPTY>");
    EXPECT_FALSE(builder.resolveParameterEntity(u"q", text, kind));
    EXPECT_EQ(kind, 27);
    EXPECT_EQ(text, u"");
    // The map outlives the run.
    EXPECT_TRUE(builder.processEndIntDtd(&reader, nullptr));
    EXPECT_EQ(builder.getParameterEntityCount(), 1);
    builder.clearParameterEntities();
    EXPECT_EQ(builder.findParameterEntity(u"p"), nullptr);
}

TEST_F(ASBuilding, ExternalParameterEntitiesAreFetchedThroughTheImplementation) {
    int calls = 0;
    std::string lastSystemId;
    log.impl.OnExternalParsedEntity = [&](TObject*, const WideString&, const WideString&, const WideString& sysId,
                                          std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        ++calls;
        lastSystemId = utf8(sysId);
        if (sysId == u"decl.ent") {
            stream = std::make_unique<TStringStream>("<?xml encoding='UTF-8'?><!ELEMENT b ANY>");
            action = PARSER_STREAM;
        } else if (sysId == u"bare.ent") {
            stream = std::make_unique<TStringStream>("<!ELEMENT c ANY>");
            action = PARSER_STREAM;
        } else if (sysId == u"xmldecl.ent") {
            stream = std::make_unique<TStringStream>("<?xml version='1.0' standalone='yes'?><!ELEMENT d ANY>");
            action = PARSER_STREAM;
        } else if (sysId == u"latin.ent") {
            // Bytes in UTF-16 behind their mark that declare a single-byte set.
            std::string bytes = "\xFF\xFE";
            for (char c : std::string("<?xml encoding='ISO-8859-1'?>x")) bytes += {c, '\0'};
            stream = std::make_unique<TStringStream>(bytes);
            action = PARSER_STREAM;
        } else if (sysId == u"empty.ent") {
            action = PARSER_STREAM;
        }
    };
    parameterEntity(u"decl", u"", u"", u"decl.ent");
    parameterEntity(u"bare", u"", u"-//P//EN", u"bare.ent");
    parameterEntity(u"xmldecl", u"", u"", u"xmldecl.ent");
    parameterEntity(u"latin", u"", u"", u"latin.ent");
    parameterEntity(u"empty", u"", u"", u"empty.ent");
    parameterEntity(u"missing", u"", u"", u"missing.ent");
    EXPECT_FALSE(builder.findParameterEntity(u"decl")->isResolved());

    WideString text;
    TXmlErrorType kind = 99;
    EXPECT_TRUE(builder.resolveParameterEntity(u"decl", text, kind));
    EXPECT_EQ(text, u"<!ELEMENT b ANY>"); // after its text declaration
    EXPECT_EQ(lastSystemId, "decl.ent");
    EXPECT_TRUE(builder.resolveParameterEntity(u"decl", text, kind));
    EXPECT_EQ(calls, 1); // fetched once
    EXPECT_TRUE(builder.resolveParameterEntity(u"bare", text, kind));
    EXPECT_EQ(text, u"<!ELEMENT c ANY>");
    EXPECT_FALSE(builder.resolveParameterEntity(u"xmldecl", text, kind));
    EXPECT_EQ(kind, 51);
    EXPECT_FALSE(builder.resolveParameterEntity(u"latin", text, kind));
    EXPECT_EQ(kind, 78);
    EXPECT_TRUE(builder.resolveParameterEntity(u"empty", text, kind));
    EXPECT_EQ(text, u"");
    EXPECT_FALSE(builder.resolveParameterEntity(u"missing", text, kind));
    EXPECT_EQ(kind, 33);
    EXPECT_EQ(text, u"");

    // The entry itself raises the system's messages.
    TdomParameterEntityInfoObject lone(u"x", u"", u"x.ent");
    EXPECT_EQ(messageOf<EParserException>([&] { lone.getValue(nullptr, u""); }), "Unresolveable parameter entity.");
    TdomParameterEntityInfoObject declared(u"y", u"", u"xmldecl.ent");
    EXPECT_EQ(messageOf<EParserException>([&] { declared.getValue(&log.impl, u""); }), "Invalid text declaration.");
}

TEST_F(ASBuilding, WithoutAModelEventsAreCheckedAndForwarded) {
    builder.setASModel(nullptr);
    int forwarded = 0;
    TXmlCustomDTDHandler next;
    next.OnElementTypeDeclaration = [&](TObject*, TXmlCustomReader*, TdomLocator*, WideString&, WideString&) {
        ++forwarded;
    };
    builder.setNextHandler(&next);
    EXPECT_TRUE(element(u"a", u"(b,c)"));
    log.goOn = false;
    EXPECT_FALSE(element(u"a", u"(b,"));
    EXPECT_EQ(forwarded, 1);
    log.goOn = true;
    ASSERT_TRUE(builder.processStartIntDtd(&reader, nullptr));
    EXPECT_TRUE(attlist(u"a", u"x", u"CDATA", u"", u"#IMPLIED", u""));
    EXPECT_TRUE(entity(u"e", u"v"));
    EXPECT_TRUE(notation(u"n", u"", u"n.exe"));
    EXPECT_EQ(log.kinds, std::vector<int>{69});
}

// ------------------------------------------------------------------ the DTD parser component

namespace {

class DtdToAS : public ::testing::Test {
protected:
    void SetUp() override {
        parser.SetDOMImpl(&log.impl);
        model = log.impl.createASModel();
    }
    bool external(const std::string& dtd, bool clear = true) {
        return parser.stringToASModel(dtd, u"", u"ext.dtd", model, clear);
    }
    bool internal(const std::string& dtd) { return parser.parseStringInto(dtd, u"", u"doc.xml", model); }
    /// Runs a read that may be stopped by the reader; true when it was not.
    template <class F>
    static bool mayStop(F&& read) {
        try {
            return read();
        } catch (const EParserException&) {
            return false;
        }
    }

    ErrorLog log;
    TDtdToASParser parser;
    TdomASModel* model = nullptr;
};

} // namespace

TEST_F(DtdToAS, PropertiesAndChecks) {
    EXPECT_EQ(parser.getBufferSize(), 4096);
    EXPECT_EQ(parser.getTabWidth(), 1);
    EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { parser.SetBufferSize(1023); }),
              "BufferSize must not be less than 1024.");
    EXPECT_EQ(parser.getBufferSize(), 4096);
    parser.SetBufferSize(1024);
    EXPECT_EQ(parser.getBufferSize(), 1024);
    EXPECT_EQ(parser.getDtdReader()->getNextHandler(), parser.getTestHandler());
    EXPECT_EQ(parser.getTestHandler()->getNextHandler(), parser.getASBuilder());

    EXPECT_EQ(messageOf<EAccessViolation>([&] { parser.streamToASModel(nullptr, u"", u"", model, true); }),
              "Stream not specified.");
    EXPECT_EQ(messageOf<EAccessViolation>([&] { parser.parseSourceCodeInto(nullptr, u"", u"", model); }),
              "Stream not specified.");
    EXPECT_EQ(messageOf<EAccessViolation>([&] { parser.stringToASModel("", u"", u"", model, true); }),
              "Empty string.");
    EXPECT_EQ(messageOf<EAccessViolation>([&] { parser.parseWideStringInto(u"", u"", u"", model); }),
              "Empty string.");
    EXPECT_EQ(parser.getASBuilder()->getASModel(), nullptr);
}

TEST_F(DtdToAS, AllFourSourcesOfBothSubsets) {
    TXmlSourceCode code;
    code.add(u"<!ELEMENT s1 EMPTY>");
    code.add(u"<!ELEMENT s2 ANY>");
    EXPECT_TRUE(parser.sourceCodeToASModel(&code, u"", u"", model, true));
    TStringStream stream("<!ELEMENT st (s1|s2)*>");
    EXPECT_TRUE(parser.streamToASModel(&stream, u"", u"", model, true));
    EXPECT_TRUE(parser.wideStringToASModel(u"<!ELEMENT w (#PCDATA)>", u"", u"", model, true));
    TXmlSourceCode code2;
    code2.add(u"<!ELEMENT i1 EMPTY>");
    EXPECT_TRUE(parser.parseSourceCodeInto(&code2, u"", u"", model));
    TStringStream stream2("<!ELEMENT i2 EMPTY>");
    EXPECT_TRUE(parser.parseStreamInto(&stream2, u"", u"", model));
    EXPECT_TRUE(parser.parseWideStringInto(u"<!ELEMENT i3 EMPTY>", u"", u"", model));
    EXPECT_TRUE(internal("<!ELEMENT i4 EMPTY>"));
    for (const char16_t* name : {u"s1", u"s2", u"st", u"w", u"i1", u"i2", u"i3", u"i4"})
        EXPECT_NE(model->findElementDecl(name), nullptr) << utf8(name);
    EXPECT_TRUE(log.kinds.empty());
}

TEST_F(DtdToAS, ExternalSubsetWithParameterEntitiesAndSections) {
    EXPECT_TRUE(external("<?xml version='1.0' encoding='UTF-8'?>\n"
                         "<!ENTITY % content \"(title, para+)\">\n"
                         "<!ENTITY % yes 'INCLUDE'>\n"
                         "<!ELEMENT doc %content;>\n"
                         "<!ELEMENT title (#PCDATA)>\n"
                         "<![%yes;[ <!ELEMENT para (#PCDATA|em)*> <![IGNORE[ <!ELEMENT em ANY> ]]> ]]>\n"
                         "<!ATTLIST doc lang NMTOKEN 'en' kind (a|b) #REQUIRED>\n"
                         "<!NOTATION gif PUBLIC '-//GIF//EN'>\n"
                         "<!ENTITY logo SYSTEM 'logo.gif' NDATA gif>\n"
                         "<!ENTITY amp2 '&#38;#38;'>\n"));
    EXPECT_TRUE(log.kinds.empty());
    TdomASElementDecl* doc = model->findElementDecl(u"doc");
    ASSERT_NE(doc, nullptr);
    ASSERT_NE(doc->getContentModel(), nullptr);
    EXPECT_EQ(doc->getContentModel()->getSubModelCount(), 2);
    EXPECT_NE(model->findElementDecl(u"para"), nullptr);
    EXPECT_EQ(model->findElementDecl(u"em"), nullptr);
    EXPECT_EQ(model->findAttributeDecl(u"doc", u"kind")->getEnumeration().getCount(), 2);
    EXPECT_EQ(model->findNotationDecl(u"gif")->getPublicId(), u"-//GIF//EN");
    EXPECT_EQ(model->findEntityDecl(u"logo")->getNotationName(), u"gif");

    TdomASModelCollection collection(&log.impl);
    collection.appendASModel(model);
    EXPECT_TRUE(collection.validate());
    collection.clear();
}

TEST_F(DtdToAS, QuotesAParameterEntityBringsIntoADeclarationDelimit) {
    // The first entity's quotes are data of the second's value; its replacement text (character
    // references replaced) then gives the attribute definition its quoted default.
    EXPECT_TRUE(external("<!ENTITY % e1 \"'v1'\"> <!ENTITY % e2 'a1 CDATA %e1;'> <!ELEMENT doc EMPTY>"
                         "<!ATTLIST doc %e2;> <!ENTITY % e3 'a2 CDATA &#34;v2&#34;'> <!ATTLIST doc %e3;>"));
    EXPECT_TRUE(log.kinds.empty());
    ASSERT_NE(model->findAttributeDecl(u"doc", u"a1"), nullptr);
    EXPECT_EQ(model->findAttributeDecl(u"doc", u"a1")->getDefaultValue(), u"v1");
    ASSERT_NE(model->findAttributeDecl(u"doc", u"a2"), nullptr);
    EXPECT_EQ(model->findAttributeDecl(u"doc", u"a2")->getDefaultValue(), u"v2");
}

TEST_F(DtdToAS, IgnoredSectionContentIsNotMarkup) {
    // "<!--" without its end, inside ignored sections (also one named by a reference and one
    // nested in an included section), is nothing; the included declarations count.
    EXPECT_TRUE(external("<!ENTITY % no 'IGNORE'>"
                         "<![IGNORE[ <!-- ]]> <!ELEMENT a EMPTY>"
                         "<![%no;[ <!-- <![ x ]]> ]]> <!ELEMENT b EMPTY>"
                         "<![INCLUDE[ <!ELEMENT c EMPTY> <![IGNORE[ <!-- ]]> <!-- ]]> --> ]]>"));
    EXPECT_TRUE(log.kinds.empty());
    for (const char16_t* name : {u"a", u"b", u"c"}) EXPECT_NE(model->findElementDecl(name), nullptr) << utf8(name);
}

TEST_F(DtdToAS, InternalSubsetsResolveTheirParameterEntities) {
    EXPECT_TRUE(internal("<!ENTITY % decl '<!ELEMENT a EMPTY>'>\n%decl;\n<!ELEMENT b ANY>"));
    EXPECT_TRUE(log.kinds.empty());
    EXPECT_NE(model->findElementDecl(u"a"), nullptr);
    EXPECT_NE(model->findElementDecl(u"b"), nullptr);

    // An external subset read after it still knows its parameter entities, unless emptied.
    EXPECT_TRUE(internal("<!ENTITY % m '(#PCDATA)'>"));
    EXPECT_TRUE(external("<!ELEMENT c %m;>", false));
    EXPECT_EQ(model->findElementDecl(u"c")->getContentType(), AS_CONTENT_MIXED);
    mayStop([&] { return external("<!ELEMENT d %m;>", true); });
    EXPECT_FALSE(log.kinds.empty());
    EXPECT_EQ(log.kinds.front(), 27);
    EXPECT_EQ(model->findElementDecl(u"d"), nullptr);

    // A parameter entity declared twice keeps the first declaration.
    log.kinds.clear();
    EXPECT_TRUE(internal("<!ENTITY % p '<!ELEMENT first EMPTY>'><!ENTITY % p '<!ELEMENT second EMPTY>'>%p;"));
    EXPECT_EQ(log.kinds, std::vector<int>{3});
    EXPECT_NE(model->findElementDecl(u"first"), nullptr);
    EXPECT_EQ(model->findElementDecl(u"second"), nullptr);
}

TEST_F(DtdToAS, ExternalParameterEntitiesComeThroughTheImplementation) {
    std::vector<std::string> asked;
    log.impl.OnExternalParsedEntity = [&](TObject*, const WideString&, const WideString&, const WideString& sysId,
                                          std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        asked.push_back(utf8(sysId));
        if (sysId == u"mod.ent")
            stream = std::make_unique<TStringStream>("<?xml encoding='UTF-8'?><!ELEMENT fromfile (#PCDATA)>");
        else if (sysId == u"bad.ent")
            stream = std::make_unique<TStringStream>("<?xml standalone='yes'?><!ELEMENT never EMPTY>");
        else
            return;
        action = PARSER_STREAM;
    };
    EXPECT_TRUE(internal("<!ENTITY % mod SYSTEM 'mod.ent'>%mod;"));
    EXPECT_TRUE(log.kinds.empty());
    EXPECT_NE(model->findElementDecl(u"fromfile"), nullptr);
    EXPECT_EQ(asked, std::vector<std::string>{"mod.ent"});

    log.goOn = false;
    EXPECT_THROW(internal("<!ENTITY % bad SYSTEM 'bad.ent'>%bad;"), EParserException);
    EXPECT_EQ(log.kinds, std::vector<int>{51});
    EXPECT_EQ(model->findElementDecl(u"never"), nullptr);
    log.kinds.clear();
    EXPECT_THROW(internal("<!ENTITY % gone SYSTEM 'gone.ent'>%gone;"), EParserException);
    EXPECT_EQ(log.kinds, std::vector<int>{33});
}

TEST_F(DtdToAS, AttributeListsBeforeTheirElements) {
    EXPECT_TRUE(internal("<!ATTLIST e a CDATA #IMPLIED>\n<!ELEMENT e (f)>\n<!ATTLIST f b ID #REQUIRED>"));
    EXPECT_TRUE(log.kinds.empty());
    EXPECT_EQ(model->findElementDecl(u"e")->getContentType(), AS_CONTENT_ELEMENT);
    EXPECT_NE(model->findAttributeDecl(u"e", u"a"), nullptr);
    EXPECT_EQ(model->findElementDecl(u"f")->getContentType(), AS_CONTENT_UNDEFINED);
}

TEST_F(DtdToAS, StoppedRunsRaiseParserError) {
    log.goOn = false;
    EXPECT_EQ(messageOf<EParserException>([&] { internal("<!ELEMENT a (b,|c)>"); }), "Parser error.");
    EXPECT_EQ(log.kinds.front(), 69);
    EXPECT_EQ(parser.getASBuilder()->getASModel(), nullptr);
    EXPECT_FALSE(parser.getASBuilder()->isActive());
    // The parser is usable again afterwards.
    log.goOn = true;
    log.kinds.clear();
    EXPECT_TRUE(internal("<!ELEMENT ok EMPTY>"));
    EXPECT_TRUE(log.kinds.empty());
}

TEST_F(DtdToAS, HostileDtds) {
    // Content particles nested far too deep.
    const std::string deep = "<!ELEMENT x " + std::string(100'000, '(') + "a" + std::string(100'000, ')') + ">";
    mayStop([&] { return internal(deep); });
    ASSERT_FALSE(log.kinds.empty());
    EXPECT_EQ(log.kinds.front(), 69);
    EXPECT_EQ(model->findElementDecl(u"x"), nullptr);

    // A parameter entity referring to itself (a reference written in a value is replaced when
    // the value is read, so the references here come from character references).
    log.kinds.clear();
    mayStop([&] { return internal("<!ENTITY % self '&#37;self;'>%self;"); });
    ASSERT_FALSE(log.kinds.empty());
    EXPECT_EQ(log.kinds.front(), 62);
    log.kinds.clear();
    mayStop([&] { return external("<!ENTITY % a '&#37;b;'><!ENTITY % b '<!ELEMENT z EMPTY> &#37;a;'>%a;"); });
    ASSERT_FALSE(log.kinds.empty());
    EXPECT_EQ(log.kinds.front(), 62);

    // Ten levels of ten references: far past the budget of replacement text, which ends the read.
    log.kinds.clear();
    std::string bomb = "<!ENTITY % l0 '<!-- ten characters -->'>\n";
    for (int i = 1; i <= 10; ++i) {
        std::string refs;
        for (int k = 0; k < 10; ++k) refs += "&#37;l" + std::to_string(i - 1) + ";";
        bomb += "<!ENTITY % l" + std::to_string(i) + " '" + refs + "'>\n";
    }
    bomb += "%l10;";
    mayStop([&] { return internal(bomb); });
    ASSERT_FALSE(log.kinds.empty());
    EXPECT_EQ(log.kinds.back(), 33);
}

TEST_F(DtdToAS, ManyDeclarations) {
    std::string dtd;
    const int count = 100'000;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        dtd += "<!ELEMENT e" + n + " (a|b)*><!ATTLIST e" + n + " id ID #IMPLIED><!ENTITY n" + n + " 'v'>"
               "<!ENTITY % p" + n + " 'x'>";
    }
    EXPECT_TRUE(internal(dtd));
    EXPECT_TRUE(log.kinds.empty());
    EXPECT_EQ(model->getElementDecls().getLength(), count);
    EXPECT_EQ(model->getEntityDecls().getLength(), count);
    EXPECT_EQ(parser.getASBuilder()->getParameterEntityCount(), count);
}
