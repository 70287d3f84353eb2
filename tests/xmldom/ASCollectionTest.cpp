// The collection of schema models: membership checks, look-ups across models, content
// matching of the store's models, entity resolution and normalization, the entity tests,
// the models' own check with every kind it reports, and hostile declarations.
#include <gtest/gtest.h>

#include <chrono>

#include "DomTestSupport.h"

using namespace xmldom;
using domtest::raises;

namespace {

struct Collection : ::testing::Test {
    TDomImplementation impl;
    TdomASModel* model = impl.createASModel();
    TdomASModelCollection col{&impl};
    std::vector<int> kinds;  // kinds reported, in order

    Collection() {
        col.appendASModel(model);
        impl.OnError = [this](TObject* sender, TdomError* e, bool& go) {
            EXPECT_EQ(sender, &col);
            kinds.push_back(e->getKind());
            go = true;
        };
    }

    TdomASEntityDecl* entity(const WideString& name, const WideString& value) {
        TdomASEntityDecl* d = nullptr;
        model->addEntityDecl(name, value, d);
        return d;
    }
    TdomASElementDecl* element(const WideString& name, uint8_t type) {
        TdomASElementDecl* d = nullptr;
        model->addElementDecl(name, type, d);
        return d;
    }
    TdomASAttributeDecl* attribute(TdomASElementDecl* e, const WideString& name, uint8_t type, uint8_t def,
                                   const WideString& value = {}, std::vector<WideString> tokens = {}) {
        TdomASAttributeDecl* a = nullptr;
        e->addAttributeDecl(name, a);
        a->setAttrType(type);
        a->setDefaultDecl(def);
        a->setDefaultValue(value);
        for (auto& t : tokens) a->getEnumeration().Add(t);
        return a;
    }
    // normalizeAttributeValue of a CDATA default value; the kind in `kind`.
    WideString normalize(const WideString& value, int& kind) {
        TdomASElementDecl* e = model->findElementDecl(u"n");
        if (!e) e = element(u"n", AS_CONTENT_EMPTY);
        e->removeAttributeDecl(u"v");
        TdomASAttributeDecl* a = attribute(e, u"v", AS_STRING_DATATYPE, AS_DEFAULT, value);
        TXmlErrorType k = 99;
        WideString out;
        col.normalizeAttributeValue(a, k, out);
        kind = k;
        return out;
    }
};

WideString num(int i) {
    std::string s = std::to_string(i);
    return WideString(s.begin(), s.end());
}

std::vector<WideString> names(std::initializer_list<const char16_t*> list) {
    std::vector<WideString> v;
    for (auto* s : list) v.emplace_back(s);
    return v;
}

}  // namespace

// ------------------------------------------------------------------ membership

TEST_F(Collection, AppendAndInsertChecks) {
    EXPECT_TRUE(raises<ENot_Supported_Err>([] { TdomASModelCollection c(nullptr); }, u"Not supported error."));
    EXPECT_TRUE(raises<EInuse_Err>([&] { col.appendASModel(model); }, u"Inuse ASModel error."));
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { col.appendASModel(nullptr); }, u"Not supported error."));
    TDomImplementation other;
    TdomASModel* foreign = other.createASModel();
    EXPECT_TRUE(raises<EWrong_DOM_Implementation_Err>([&] { col.insertASModel(0, foreign); },
                                                      u"Wrong DOM implementation error."));
    TdomASModel* first = impl.createASModel();
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { col.insertASModel(2, first); }, u"Index size error."));
    EXPECT_FALSE(first->isUsed()) << "a refused insert changes nothing";
    col.insertASModel(0, first);
    EXPECT_EQ(col.item(0), first);
    EXPECT_EQ(col.item(1), model);
    EXPECT_EQ(col.getLength(), 2);
    ASSERT_EQ(first->getUsedByCollections().size(), 1u);
    EXPECT_EQ(first->getUsedByCollections()[0], &col);
    col.clear();
    EXPECT_EQ(col.getLength(), 0);
    EXPECT_FALSE(model->isUsed());
}

TEST_F(Collection, FirstModelWins) {
    TdomASModel* second = impl.createASModel();
    col.appendASModel(second);
    TdomASEntityDecl *a = nullptr, *b = nullptr;
    model->addEntityDecl(u"e", u"one", a);
    second->addEntityDecl(u"e", u"two", b);
    second->addEntityDecl(u"only2", u"x", b);
    EXPECT_EQ(col.findEntityDecl(u"e"), a);
    EXPECT_EQ(col.findEntityDecl(u"only2"), b);
    WideString text;
    EXPECT_TRUE(col.getReplacementText(u"e", text));
    EXPECT_EQ(text, u"one");
    EXPECT_FALSE(col.getReplacementText(u"none", text));
    TdomASElementDecl* e = nullptr;
    second->addElementDecl(u"el", AS_CONTENT_EMPTY, e);
    TdomASAttributeDecl* at = nullptr;
    e->addAttributeDecl(u"x", at);
    EXPECT_EQ(col.findElementDecl(u"el"), e);
    EXPECT_EQ(col.findAttributeDecl(u"el", u"x"), at);
    EXPECT_EQ(col.findNotationDecl(u"el"), nullptr);
}

TEST_F(Collection, ClearingAModelLeavesItsCollections) {
    TdomASModel* doomed = impl.createASModel();
    col.appendASModel(doomed);
    impl.freeASModel(doomed);
    EXPECT_EQ(col.getLength(), 1) << "a freed model leaves the collection";
    model->clear();
    EXPECT_EQ(col.getLength(), 0);
}

// ------------------------------------------------------------------ content matching

TEST_F(Collection, MatchingEdgeCases) {
    TdomASElementDecl* e = element(u"e", AS_CONTENT_ELEMENT);
    auto leaf = [&](const char16_t* n, uint8_t freq = AS_ONCE) {
        TdomASContentModel* m = e->createContentModel(n, AS_ELEMENT_NAME);
        m->setFrequency(freq);
        return m;
    };
    bool error = true;
    size_t index = 0;

    TdomASContentModel* seq = e->createContentModel(u"", AS_SEQUENCE);
    seq->appendSubModel(leaf(u"a"));
    seq->appendSubModel(leaf(u"b"));
    auto abc = names({u"a", u"b", u"c"});
    EXPECT_TRUE(seq->contentModelTestWithFrequency(abc, index, error));
    EXPECT_EQ(index, 2u) << "the caller then sees the content does not match";
    EXPECT_FALSE(error);

    TdomASContentModel* twice = e->createContentModel(u"", AS_CHOICE);
    twice->appendSubModel(leaf(u"a"));
    twice->appendSubModel(leaf(u"a"));
    index = 0;
    EXPECT_FALSE(twice->contentModelTestWithFrequency(names({u"a"}), index, error));
    EXPECT_TRUE(error) << "two consuming alternatives: not deterministic";
    EXPECT_FALSE(twice->choiceTest(names({u"a"}), index, error, true)) << "a set error flag fails any test";

    TdomASContentModel* empty = e->createContentModel(u"", AS_SEQUENCE);
    index = 0;
    EXPECT_FALSE(empty->sequenceTest(abc, index, error, false));
    EXPECT_TRUE(empty->sequenceTest(abc, index, error, true));
    EXPECT_EQ(index, 0u);

    TdomASContentModel* bstar = leaf(u"b", AS_ZERO_OR_MORE);
    index = 0;
    EXPECT_TRUE(bstar->contentModelTestWithFrequency(names({u"b", u"b", u"c"}), index, error));
    EXPECT_EQ(index, 2u);

    TdomASContentModel* a = leaf(u"a");
    index = 3;
    EXPECT_FALSE(a->nameTest(abc, index, error, false)) << "no name left";
    EXPECT_TRUE(a->nameTest(abc, index, error, true));
    index = 1;
    EXPECT_TRUE(a->nameTest(abc, index, error, true));
    EXPECT_EQ(index, 1u) << "optional: moves on only over a match";
    index = 0;
    EXPECT_TRUE(a->contentModelTest(abc, index, error, false));
    EXPECT_EQ(index, 1u);
}

TEST_F(Collection, ChoiceAlternativeWithoutNamesIsNoSecondMatch) {
    TdomASElementDecl* e = element(u"e", AS_CONTENT_ELEMENT);
    // ((a,b)|c*)
    TdomASContentModel* choice = e->createContentModel(u"", AS_CHOICE);
    TdomASContentModel* ab = e->createContentModel(u"", AS_SEQUENCE);
    ab->appendSubModel(e->createContentModel(u"a", AS_ELEMENT_NAME));
    ab->appendSubModel(e->createContentModel(u"b", AS_ELEMENT_NAME));
    TdomASContentModel* cstar = e->createContentModel(u"c", AS_ELEMENT_NAME);
    cstar->setFrequency(AS_ZERO_OR_MORE);
    choice->appendSubModel(ab);
    choice->appendSubModel(cstar);
    bool error = false;
    size_t index = 0;
    EXPECT_TRUE(choice->contentModelTestWithFrequency(names({u"a", u"b"}), index, error));
    EXPECT_FALSE(error);
    EXPECT_EQ(index, 2u);
    index = 0;
    EXPECT_TRUE(choice->contentModelTestWithFrequency({}, index, error)) << "c* matches nothing";
    EXPECT_EQ(index, 0u);
}

TEST_F(Collection, RepetitionOfAnAllOptionalGroupEnds) {
    TdomASElementDecl* e = element(u"e", AS_CONTENT_ELEMENT);
    // (a?, b?)* on "c": every pass matches without consuming
    TdomASContentModel* seq = e->createContentModel(u"", AS_SEQUENCE);
    for (const char16_t* n : {u"a", u"b"}) {
        TdomASContentModel* m = e->createContentModel(n, AS_ELEMENT_NAME);
        m->setFrequency(AS_OPTIONAL);
        seq->appendSubModel(m);
    }
    seq->setFrequency(AS_ZERO_OR_MORE);
    bool error = false;
    size_t index = 0;
    EXPECT_TRUE(seq->contentModelTestWithFrequency(names({u"c"}), index, error));
    EXPECT_EQ(index, 0u);
    seq->setFrequency(AS_ONE_OR_MORE);
    EXPECT_TRUE(seq->contentModelTestWithFrequency(names({u"a", u"b", u"b", u"c"}), index, error));
    EXPECT_EQ(index, 3u);
    seq->setFrequency(9);
    EXPECT_FALSE(seq->contentModelTestWithFrequency(names({u"a"}), index, error)) << "an unknown frequency";
}

TEST_F(Collection, WideAndDeepModelsNeitherOverflowNorCrawl) {
    TdomASElementDecl* e = element(u"e", AS_CONTENT_ELEMENT);
    TdomASContentModel* choice = e->createContentModel(u"", AS_CHOICE);
    for (int i = 0; i < 10000; ++i) choice->appendSubModel(e->createContentModel(u"n" + num(i), AS_ELEMENT_NAME));
    bool error = false;
    size_t index = 0;
    EXPECT_TRUE(choice->contentModelTestWithFrequency(names({u"n9999"}), index, error));
    EXPECT_EQ(index, 1u);

    TdomASContentModel* top = e->createContentModel(u"", AS_SEQUENCE);
    TdomASContentModel* cur = top;
    for (int i = 0; i < 10000; ++i) {
        TdomASContentModel* next = e->createContentModel(u"", i % 2 ? AS_SEQUENCE : AS_CHOICE);
        cur->appendSubModel(next);
        cur = next;
    }
    cur->appendSubModel(e->createContentModel(u"a", AS_ELEMENT_NAME));
    index = 0;
    EXPECT_FALSE(top->contentModelTestWithFrequency(names({u"a"}), index, error));
    EXPECT_TRUE(error) << "a model past the depth bound is refused, not recursed into";
}

// ------------------------------------------------------------------ entities

TEST_F(Collection, ResolveEntityExpandsParts) {
    entity(u"inner", u"<i>&#65;</i>");
    entity(u"outer", u"x&inner;y &lt; z&amp;");
    WideString text;
    col.resolveEntity(u"outer", text);
    EXPECT_EQ(text, u"x<i>A</i>y < z&") << "predefined names give their characters";
    col.resolveEntity(u"lt", text);
    EXPECT_EQ(text, u"<");
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { col.resolveEntity(u"nope", text); }, u"Entity declaration not found."));
    entity(u"dangling", u"&nope;");
    EXPECT_TRUE(
        raises<ENot_Found_Err>([&] { col.resolveEntity(u"dangling", text); }, u"Entity declaration not found."));
}

TEST_F(Collection, ResolveEntityRefusals) {
    WideString text;
    TdomASEntityDecl* self = entity(u"self", u"a&self;");
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { col.resolveEntity(u"self", text); },
                                            u"Circular or undefined entity reference found."));
    EXPECT_TRUE(col.refersToCircularEntity(self, false));
    entity(u"p", u"&q;");
    entity(u"q", u"<x>&p;</x>");
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { col.resolveEntity(u"p", text); },
                                            u"Circular or undefined entity reference found."));
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"pic", u"", u"p.gif", u"gif", d);
    model->addEntityDecl(u"ext", u"", u"e.xml", u"", d);
    entity(u"usesPic", u"&pic;");
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { col.resolveEntity(u"pic", text); }, u"Unparsed entity."));
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { col.resolveEntity(u"usesPic", text); }, u"Unparsed entity."));
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { col.resolveEntity(u"ext", text); }, u"External entity."));
    entity(u"broken", u"<a>");
    entity(u"usesBroken", u"x&broken;");
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { col.resolveEntity(u"usesBroken", text); }, u"Unusable entity."));
}

TEST_F(Collection, BillionLaughsIsRefusedQuickly) {
    entity(u"l0", u"ha");
    for (int i = 1; i < 30; ++i) {
        WideString v;
        for (int k = 0; k < 10; ++k) v += u"&l" + num(i - 1) + u";";
        entity(u"l" + num(i), v);
    }
    auto start = std::chrono::steady_clock::now();
    WideString text;
    EXPECT_TRUE(raises<EInvalid_Access_Err>([&] { col.resolveEntity(u"l29", text); }, u"Unresolvable entity."));
    TdomASEntityDecl* top = col.findEntityDecl(u"l29");
    EXPECT_FALSE(col.refersToCircularEntity(top, false)) << "answered once per entity, not 10^29 times";
    EXPECT_FALSE(col.refersToExternalEntity(top, false));
    EXPECT_FALSE(col.refersToEntityWithLessThan(top, false));
    int kind = 0;
    normalize(u"x&l29;", kind);
    EXPECT_EQ(kind, 32) << "past the budget";
    EXPECT_EQ(normalize(u"&l2;", kind).size(), 200u);
    EXPECT_EQ(kind, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(Collection, NormalizeAttributeValue) {
    int kind = -1;
    EXPECT_EQ(normalize(u"a\tb\nc\rd", kind), u"a b c d");
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(normalize(u"&#65;&#x42;&#10;", kind), u"AB\n") << "character references stay as given";
    entity(u"good", u"x\ty");
    EXPECT_EQ(normalize(u"[&good;]", kind), u"[x y]");
    EXPECT_EQ(kind, 0) << "a usable entity is no fault";
    EXPECT_EQ(normalize(u"a &lt; b", kind), u"a < b");
    EXPECT_EQ(kind, 0);
    normalize(u"a & b", kind);
    EXPECT_EQ(kind, 66);
    normalize(u"&undeclared;", kind);
    EXPECT_EQ(kind, 66);
    normalize(u"&#xZZ;", kind);
    EXPECT_EQ(kind, 66);
    normalize(u"&1x;", kind);
    EXPECT_EQ(kind, 66);
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"ext", u"", u"e.xml", u"", d);
    normalize(u"&ext;", kind);
    EXPECT_EQ(kind, 36);
    entity(u"broken", u"<a>");
    normalize(u"&broken;", kind);
    EXPECT_EQ(kind, 61);
    entity(u"markup", u"<a/>");
    entity(u"viaMarkup", u"x&markup;");
    normalize(u"&viaMarkup;", kind);
    EXPECT_EQ(kind, 53);
    entity(u"loop", u"&loop;");
    normalize(u"&loop;", kind);
    EXPECT_EQ(kind, 62);
    TXmlErrorType k = 7;
    WideString out = u"x";
    col.normalizeAttributeValue(nullptr, k, out);
    EXPECT_EQ(k, 0);
}

TEST_F(Collection, EntityTests) {
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"pic", u"", u"p.gif", u"gif", d);
    model->addEntityDecl(u"ext", u"", u"e.xml", u"", d);
    TdomASEntityDecl* viaPic = entity(u"viaPic", u"a&pic;");
    TdomASEntityDecl* viaExt = entity(u"viaExt", u"&viaPic;&ext;");
    TdomASEntityDecl* lt = entity(u"lt2", u"<b/>");
    TdomASEntityDecl* viaLt = entity(u"viaLt", u"&lt2;");
    TdomASEntityDecl* plain = entity(u"plain", u"&amp;&lt;x");
    TdomASEntityDecl* dangling = entity(u"dangling", u"&nope;");

    EXPECT_TRUE(col.refersToUnparsedEntity(viaPic, false));
    EXPECT_FALSE(col.refersToUnparsedEntity(plain, false));
    EXPECT_TRUE(col.refersToExternalEntity(viaExt, false));
    EXPECT_TRUE(col.refersToEntityWithLessThan(viaLt, false));
    EXPECT_TRUE(col.refersToEntityWithLessThan(lt, false));
    EXPECT_FALSE(col.refersToEntityWithLessThan(plain, false)) << "predefined names need no declaration";
    EXPECT_TRUE(col.refersToUnresolvableEntity(viaExt, false)) << "nobody delivers e.xml";
    EXPECT_FALSE(col.refersToUnresolvableEntity(plain, false));
    EXPECT_TRUE(raises<EConvertError>([&] { col.refersToCircularEntity(dangling, false); },
                                      u"Entity reference cannot be resolved."));
    EXPECT_FALSE(col.refersToCircularEntity(dangling, true));
    EXPECT_TRUE(raises<ESyntax_Err>([&] { col.refersToXyz(5, plain, false); },
                                    u"Syntax error in TdomASModelCollection.refersToXyz"));

    // An external entity is fetched for the unresolvable test.
    impl.OnExternalParsedEntity = [](TObject*, const WideString&, const WideString&, const WideString&,
                                     std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        stream = std::make_unique<TStringStream>("text");
        action = PARSER_STREAM;
    };
    TdomASEntityDecl* onlyExt = entity(u"onlyExt", u"&ext;");
    EXPECT_FALSE(col.refersToUnresolvableEntity(onlyExt, false));
    EXPECT_EQ(col.findEntityDecl(u"ext")->getState(), AS_USABLE);
}

TEST_F(Collection, HundredThousandDeclarations) {
    for (int i = 0; i < 100000; ++i) {
        WideString n = u"e" + num(i);
        element(n, AS_CONTENT_EMPTY);
        entity(n, u"v");
    }
    int found = 0;
    for (int i = 99999; i >= 0; --i) {
        WideString n = u"e" + num(i);
        found += col.findElementDecl(n) != nullptr;
        found += col.findEntityDecl(n) != nullptr;
    }
    EXPECT_EQ(found, 200000);
    EXPECT_EQ(model->getElementDecls().item(0)->getName(), u"e0") << "order kept";
}

// ------------------------------------------------------------------ reports and validate

TEST_F(Collection, SendErrorNotification) {
    TdomASElementDecl* e = element(u"x", AS_CONTENT_EMPTY);
    TdomASObject* related = nullptr;
    impl.OnError = [&](TObject*, TdomError* err, bool& go) {
        related = static_cast<TdomASObject*>(err->getLocation().getRelatedASModel());
        EXPECT_EQ(err->getLocation().getRelatedNode(), nullptr);
        go = false;
    };
    EXPECT_FALSE(col.sendErrorNotification(12, e));
    EXPECT_EQ(related, e);
    impl.OnError = nullptr;
    EXPECT_TRUE(col.sendErrorNotification(12, e)) << "an error lets the caller go on";
    EXPECT_FALSE(col.sendErrorNotification(62, e)) << "a fatal error stops";
}

TEST_F(Collection, ValidateCleanModels) {
    TdomASElementDecl* e = element(u"doc", AS_CONTENT_MIXED);
    TdomASContentModel* c = e->createContentModel(u"", AS_CHOICE);
    c->appendSubModel(e->createContentModel(u"a", AS_ELEMENT_NAME));
    c->appendSubModel(e->createContentModel(u"b", AS_ELEMENT_NAME));
    e->setContentModel(c);
    TdomASNotationDecl* n = nullptr;
    model->addNotationDecl(u"gif", u"", u"v", n);
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"pic", u"", u"p.gif", u"gif", d);
    attribute(e, u"id", AS_ID_DATATYPE, AS_REQUIRED);
    attribute(e, u"refs", AS_IDREFS_DATATYPE, AS_DEFAULT, u"  a\tb  ");
    attribute(e, u"kind", AS_NMTOKEN_DATATYPE, AS_DEFAULT, u"x", {u"x", u"y"});
    attribute(e, u"fmt", AS_NOTATION_DATATYPE, AS_IMPLIED, u"", {u"gif"});
    EXPECT_TRUE(col.validate());
    EXPECT_TRUE(kinds.empty());
}

TEST_F(Collection, ValidateReportsEachKind) {
    // 22: mixed content without a choice, or with a group inside.
    element(u"m1", AS_CONTENT_MIXED);
    TdomASElementDecl* m2 = element(u"m2", AS_CONTENT_MIXED);
    TdomASContentModel* c2 = m2->createContentModel(u"", AS_CHOICE);
    c2->appendSubModel(m2->createContentModel(u"", AS_SEQUENCE));
    m2->setContentModel(c2);
    // 12: a name twice in mixed content.
    TdomASElementDecl* m3 = element(u"m3", AS_CONTENT_MIXED);
    TdomASContentModel* c3 = m3->createContentModel(u"", AS_CHOICE);
    c3->appendSubModel(m3->createContentModel(u"a", AS_ELEMENT_NAME));
    c3->appendSubModel(m3->createContentModel(u"a", AS_ELEMENT_NAME));
    m3->setContentModel(c3);
    // 31: an unparsed entity of an undeclared notation.
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"pic", u"", u"p.gif", u"nope", d);
    TdomASNotationDecl* n = nullptr;
    model->addNotationDecl(u"gif", u"", u"v", n);
    // Attributes.
    TdomASElementDecl* e = element(u"e", AS_CONTENT_EMPTY);
    attribute(e, u"n1", AS_NOTATION_DATATYPE, AS_IMPLIED, u"", {u"gif", u"png", u"gif"});  // 31, 15, then 26
    attribute(e, u"n2", AS_NOTATION_DATATYPE, AS_IMPLIED, u"", {u"gif"});                  // 14, 26
    attribute(e, u"i1", AS_ID_DATATYPE, AS_DEFAULT, u"x");                                 // 18
    attribute(e, u"i2", AS_ID_DATATYPE, AS_IMPLIED);                                       // 10
    attribute(e, u"r", AS_IDREF_DATATYPE, AS_DEFAULT, u"1x");                              // 5
    attribute(e, u"t", AS_NMTOKENS_DATATYPE, AS_DEFAULT, u"a b", {u"a", u"b", u"a"});      // 9
    attribute(e, u"u", AS_NMTOKEN_DATATYPE, AS_DEFAULT, u"&undeclared;");                 // 66
    attribute(e, u"v", AS_NMTOKEN_DATATYPE, AS_DEFAULT, u"z", {u"z", u"z"});               // 9
    attribute(e, u"w", AS_ENTITIES_DATATYPE, AS_DEFAULT, u"a  b");                         // fine once collapsed
    attribute(e, u"c", AS_STRING_DATATYPE, AS_DEFAULT, u"&undeclared;");                  // CDATA: no check
    EXPECT_FALSE(col.validate());
    EXPECT_EQ(kinds, (std::vector<int>{22, 22, 12, 31, 31, 15, 26, 14, 26, 18, 10, 5, 9, 66, 9}));
}

TEST_F(Collection, ValidateStopsOnAFalseAnswer) {
    element(u"m1", AS_CONTENT_MIXED);
    element(u"m2", AS_CONTENT_MIXED);
    impl.OnError = [&](TObject*, TdomError* e, bool& go) {
        kinds.push_back(e->getKind());
        go = false;
    };
    EXPECT_FALSE(col.validate());
    EXPECT_EQ(kinds.size(), 1u);
}

TEST_F(Collection, ValidateSeesAttributesAcrossModels) {
    TdomASModel* second = impl.createASModel();
    col.appendASModel(second);
    TdomASElementDecl* e1 = element(u"e", AS_CONTENT_UNDEFINED);
    TdomASElementDecl* e2 = nullptr;
    second->addElementDecl(u"e", AS_CONTENT_EMPTY, e2);
    TdomASNotationDecl* n = nullptr;
    second->addNotationDecl(u"gif", u"", u"v", n);
    attribute(e1, u"a", AS_ID_DATATYPE, AS_IMPLIED);
    attribute(e2, u"b", AS_ID_DATATYPE, AS_IMPLIED);
    attribute(e1, u"f", AS_NOTATION_DATATYPE, AS_IMPLIED, u"", {u"gif"});
    EXPECT_FALSE(col.validate());
    EXPECT_EQ(kinds, (std::vector<int>{26, 10})) << "EMPTY comes from the model that declares the type";
}
