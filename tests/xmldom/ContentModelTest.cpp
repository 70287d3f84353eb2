// The content model: factories and their checks, child-list rules, freeing and copying, the
// model check with its error kinds, matching of element content, declaration text, parameter
// entities through the implementation, and hostile shapes (deep nesting, wide choices).

#include <string>

#include "DomTestSupport.h"

using namespace domtest;

namespace {

struct CMFixture : ::testing::Test {
    TDomImplementation impl;
    TdomCMObject* cm = impl.createCMObject();
    std::vector<int> kinds;
    std::vector<TObject*> related;
    bool answer = true;

    void SetUp() override {
        impl.OnError = [this](TObject*, TdomError* error, bool& go) {
            kinds.push_back(error->getKind());
            related.push_back(error->getLocation().getRelatedCMObject());
            go = answer;
        };
    }

    TdomCMAttrList* attList(const WideString& element, bool external = false) {
        auto* list = cm->createAttributeList(element);
        (external ? static_cast<TdomCMNode*>(cm->getExternalSubset()) : cm->getInternalSubset())->appendChild(list);
        return list;
    }
    TdomCMAttrDefinition* def(TdomCMAttrList* list, const WideString& name, const WideString& type,
                              const WideString& decl, const WideString& value,
                              std::initializer_list<const char16_t*> tokens = {}) {
        auto* d = cm->createAttributeDefinition(name, type, decl, value);
        for (const char16_t* t : tokens)
            d->appendChild(type == u"NOTATION" ? static_cast<TdomCMNode*>(cm->createNameParticle(t))
                                               : cm->createNmtokenParticle(t));
        list->appendChild(d);
        return d;
    }
};

TdomCMNameList names(std::initializer_list<const char16_t*> list) {
    TdomCMNameList out;
    for (auto* n : list) out.emplace_back(n);
    return out;
}

// ------------------------------------------------------------------ factories

TEST_F(CMFixture, FactoriesCheckTheirArguments) {
    const char16_t* bad = u"Invalid character error.";
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { cm->createAttributeList(u"1a"); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { cm->createChoiceParticle(u"**"); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { cm->createElementParticle(u"a b", u""); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { cm->createProcessingInstruction(u"XmL", u"d"); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { cm->createNmtokenParticle(u"a b"); }, bad));
    EXPECT_TRUE(
        raises<EInvalid_Character_Err>([&] { cm->createNotationDeclaration(u"n", u"bad{pubid}", u""); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { cm->createExternalEntityDeclaration(u"e", u"", u"x.ent", u"1notation"); }, bad));
    size_t before = cm->getNodeCount();
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { cm->createAttributeDefinition(u"a", u"CDATA", u"#IMPLIED", u"x"); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { cm->createAttributeDefinition(u"a", u"CDATA", u"", u"it's \"both\""); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { cm->createAttributeDefinition(u"a", u"STRING", u"", u""); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { cm->createAttributeDefinition(u"a", u"CDATA", u"#DEFAULT", u""); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { cm->createAttributeDefinition(u"a", u"CDATA", u"", u"a<b"); }, bad));
    EXPECT_EQ(cm->getNodeCount(), before) << "a refused factory call creates nothing";
    EXPECT_EQ(cm->createAttributeDefinition(u"a", u"CDATA", u"", u"it's")->getDefaultValue(), u"it's");
    EXPECT_EQ(cm->createPcdataChoiceParticle()->getFrequency(), u"*");
    EXPECT_EQ(cm->createComment(u"c")->getNodeName(), u"#comment");
    EXPECT_EQ(cm->getInternalSubset()->getNodeName(), u"#cm-internal-object");
    EXPECT_EQ(cm->getExternalSubset()->getNodeType(), ntCMExternalObject);
}

TEST_F(CMFixture, OccurrenceIndicator) {
    auto* p = cm->createElementParticle(u"a", u"+");
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { p->setFrequency(u"**"); }, u"Invalid character error."));
    EXPECT_EQ(p->getFrequency(), u"+");
    p->setFrequency(u"?");
    EXPECT_EQ(p->getFrequency(), u"?");
}

// ------------------------------------------------------------------ child lists

TEST_F(CMFixture, ChildListRules) {
    auto* empty = cm->createElementTypeDeclaration(u"e", ctEmpty);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { empty->appendChild(cm->createElementParticle(u"a", u"")); },
                                               u"Hierarchy request error."));
    auto* frag = cm->createFragment();
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { cm->getInternalSubset()->appendChild(frag); },
                                               u"Hierarchy request error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { frag->appendChild(cm->createComment(u"")); },
                                               u"Hierarchy request error."));
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { cm->getInternalSubset()->appendChild(nullptr); },
                                           u"Not supported error."));

    TdomCMObject* other = impl.createCMObject();
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { cm->getInternalSubset()->appendChild(other->createComment(u"")); },
                                            u"Wrong document error."));

    auto* seq = cm->createSequenceParticle(u"");
    auto* inner = cm->createChoiceParticle(u"");
    seq->appendChild(inner);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { inner->appendChild(seq); }, u"Hierarchy request error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { seq->appendChild(seq); }, u"Hierarchy request error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { seq->insertBefore(inner, inner); }, u"Hierarchy request error."));

    auto* a = cm->createElementParticle(u"a", u"");
    auto* b = cm->createElementParticle(u"b", u"");
    auto* stray = cm->createElementParticle(u"s", u"");
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { seq->insertBefore(a, stray); }, u"Node not found error."));
    seq->insertBefore(a, inner);
    inner->appendChild(b);
    EXPECT_EQ(seq->getChildNodes()->getLength(), 2);
    EXPECT_EQ(seq->getFirstChild(), a);
    EXPECT_EQ(a->getNextSibling(), inner);
    EXPECT_EQ(inner->getPreviousSibling(), a);
    EXPECT_EQ(seq->getChildNodes()->item(5), nullptr);
    EXPECT_EQ(seq->getChildNodes()->indexOf(inner), 1);

    // Moving b from inner to seq takes it out of its old parent.
    seq->appendChild(b);
    EXPECT_FALSE(inner->hasChildNodes());
    EXPECT_EQ(b->getParentNode(), seq);

    EXPECT_EQ(seq->replaceChild(stray, a), a);
    EXPECT_EQ(seq->getFirstChild(), stray);
    EXPECT_EQ(a->getParentNode(), nullptr);
    EXPECT_EQ(seq->replaceChild(stray, stray), stray);

    seq->setIsReadonly(true);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { seq->appendChild(a); }, u"No modification allowed error."));
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { inner->appendChild(b); },
                                                     u"No modification allowed error."))
        << "the new child's parent is read-only";
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { seq->removeChild(b); }, u"No modification allowed error."));
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { seq->clear(); }, u"No modification allowed error."));
    seq->setIsReadonly(false);
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { seq->removeChild(a); }, u"Node not found error."));
    EXPECT_EQ(seq->removeChild(b), b);
}

TEST_F(CMFixture, AttributeDefinitionChildrenByType) {
    auto* en = cm->createAttributeDefinition(u"a", u"", u"", u"");
    auto* no = cm->createAttributeDefinition(u"b", u"NOTATION", u"", u"");
    auto* cd = cm->createAttributeDefinition(u"c", u"CDATA", u"", u"");
    en->appendChild(cm->createNmtokenParticle(u"1x"));
    EXPECT_THROW(en->appendChild(cm->createNameParticle(u"x")), EHierarchy_Request_Err);
    no->appendChild(cm->createNameParticle(u"gif"));
    EXPECT_THROW(no->appendChild(cm->createNmtokenParticle(u"x")), EHierarchy_Request_Err);
    EXPECT_THROW(cd->appendChild(cm->createNmtokenParticle(u"x")), EHierarchy_Request_Err);
    auto* mixed = cm->createElementTypeDeclaration(u"m", ctMixed);
    mixed->appendChild(cm->createPcdataChoiceParticle());
    EXPECT_THROW(mixed->appendChild(cm->createSequenceParticle(u"")), EHierarchy_Request_Err);
}

TEST_F(CMFixture, FreeNodeAndClear) {
    auto* seq = cm->createSequenceParticle(u"");
    seq->appendChild(cm->createElementParticle(u"a", u""));
    seq->appendChild(cm->createElementParticle(u"b", u""));
    auto* decl = cm->createElementTypeDeclaration(u"e", ctChildren);
    decl->appendChild(seq);
    size_t before = cm->getNodeCount();
    TdomCMNode* node = seq;
    EXPECT_TRUE(raises<EInuse_Err>([&] { cm->freeNode(node); }, u"Inuse node error."));
    decl->removeChild(seq);
    cm->freeNode(node);
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(cm->getNodeCount(), before - 3);

    TdomCMObject* other = impl.createCMObject();
    TdomCMNode* foreign = other->createComment(u"x");
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { cm->freeNode(foreign); }, u"Wrong document error."));
    EXPECT_NE(foreign, nullptr);

    cm->getInternalSubset()->appendChild(cm->createComment(u"1"));
    cm->getInternalSubset()->appendChild(cm->createComment(u"2"));
    before = cm->getNodeCount();
    cm->getInternalSubset()->clear();
    EXPECT_EQ(cm->getNodeCount(), before - 2);
}

TEST_F(CMFixture, CloneAndImport) {
    auto* decl = cm->createElementTypeDeclaration(u"e", ctChildren);
    auto* seq = cm->createSequenceParticle(u"+");
    auto* ch = cm->createChoiceParticle(u"?");
    ch->appendChild(cm->createElementParticle(u"x", u""));
    ch->appendChild(cm->createElementParticle(u"y", u"*"));
    seq->appendChild(cm->createElementParticle(u"a", u""));
    seq->appendChild(ch);
    decl->appendChild(seq);
    auto* copy = static_cast<TdomCMElementTypeDeclaration*>(decl->cloneNode(true));
    EXPECT_EQ(copy->getContentSpec(), u"(a, (x | y*)?)+");
    EXPECT_EQ(copy->getParentNode(), nullptr);
    EXPECT_FALSE(decl->cloneNode(false)->hasChildNodes());

    TdomCMObject* other = impl.createCMObject();
    auto* ent = cm->createExternalEntityDeclaration(u"pic", u"-//X//Y", u"pic.gif", u"gif");
    auto* imported = static_cast<TdomCMEntityDeclaration*>(other->importNode(ent));
    EXPECT_EQ(imported->getOwnerCMObject(), other);
    EXPECT_EQ(imported->getNotationName(), u"gif");
    EXPECT_EQ(imported->getSystemId(), u"pic.gif");
    EXPECT_FALSE(imported->isInternal());
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { other->importNode(cm->getInternalSubset()); },
                                           u"Not supported error."));
}

TEST_F(CMFixture, CommentCharacterData) {
    auto* c = cm->createComment(u"hello");
    EXPECT_EQ(c->substringData(1, 100), u"ello");
    EXPECT_EQ(c->substringData(5, 1), u"");
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { c->substringData(6, 1); }, u"Index size error."));
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { c->deleteData(-1, 1); }, u"Index size error."));
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { c->replaceData(0, -1, u""); }, u"Index size error."));
    c->insertData(5, u"!");
    c->replaceData(0, 1, u"J");
    c->deleteData(4, 99);
    c->appendData(u"y");
    EXPECT_EQ(c->getData(), u"Jelly");
    EXPECT_EQ(c->getLength(), 5);
    c->setIsReadonly(true);
    EXPECT_THROW(c->appendData(u"x"), ENo_Modification_Allowed_Err);
    auto* pi = cm->createProcessingInstruction(u"app", u"data");
    EXPECT_EQ(pi->getTarget(), u"app");
    pi->setData(u"more");
    EXPECT_EQ(pi->getData(), u"more");
}

// ------------------------------------------------------------------ declaration text

TEST_F(CMFixture, WriteTextOfEveryParticleKind) {
    auto* mixed = cm->createPcdataChoiceParticle();
    mixed->appendChild(cm->createElementParticle(u"a", u""));
    mixed->appendChild(cm->createElementParticle(u"b", u""));
    EXPECT_EQ(mixed->writeText(), u"( #PCDATA | a | b )*");
    auto* seq = cm->createSequenceParticle(u"");
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { seq->writeText(); }, u"Not supported error."));
    seq->appendChild(cm->createElementParticle(u"head", u"?"));
    auto* ch = cm->createChoiceParticle(u"*");
    ch->appendChild(cm->createElementParticle(u"p", u""));
    ch->appendChild(cm->createElementParticle(u"list", u"+"));
    seq->appendChild(ch);
    EXPECT_EQ(seq->writeText(), u"(head?, (p | list+)*)");
    EXPECT_EQ(cm->createChoiceParticle(u"")->writeText(), u"()");
    EXPECT_EQ(cm->createElementTypeDeclaration(u"e", ctEmpty)->getContentSpec(), u"EMPTY ");
    EXPECT_EQ(cm->createElementTypeDeclaration(u"e", ctAny)->getContentSpec(), u"ANY ");
}

// ------------------------------------------------------------------ matching

struct Match {
    bool ok;
    size_t consumed;
    bool ambiguous;
};

Match match(const TdomCMParticle* p, const TdomCMNameList& list) {
    size_t pos = 0;
    bool amb = false;
    bool ok = p->contentModelTestWithOccurrence(list, pos, amb);
    return {ok, pos, amb};
}

TEST_F(CMFixture, MatchingOccurrences) {
    auto* a = cm->createElementParticle(u"a", u"");
    EXPECT_TRUE(match(a, names({u"a", u"b"})).ok);
    EXPECT_EQ(match(a, names({u"a", u"b"})).consumed, 1u);
    EXPECT_FALSE(match(a, names({u"b"})).ok);
    a->setFrequency(u"?");
    EXPECT_TRUE(match(a, names({u"b"})).ok);
    EXPECT_EQ(match(a, names({u"b"})).consumed, 0u);
    a->setFrequency(u"+");
    EXPECT_EQ(match(a, names({u"a", u"a", u"a", u"b"})).consumed, 3u);
    EXPECT_FALSE(match(a, names({})).ok);
    a->setFrequency(u"*");
    EXPECT_TRUE(match(a, names({})).ok);

    // A sequence hands back its consumption only when every child matched.
    auto* seq = cm->createSequenceParticle(u"");
    seq->appendChild(cm->createElementParticle(u"x", u""));
    seq->appendChild(cm->createElementParticle(u"y", u""));
    EXPECT_EQ(match(seq, names({u"x", u"y", u"z"})).consumed, 2u);
    size_t pos = 0;
    bool amb = false;
    EXPECT_FALSE(seq->contentModelTestWithOccurrence(names({u"x", u"z"}), pos, amb));
    EXPECT_EQ(pos, 0u);
}

TEST_F(CMFixture, ChoiceAmbiguityAndEmptyAlternatives) {
    // ((a,b)|c*) matches "a b": the empty match of c* is no second match.
    auto* ch = cm->createChoiceParticle(u"");
    auto* ab = cm->createSequenceParticle(u"");
    ab->appendChild(cm->createElementParticle(u"a", u""));
    ab->appendChild(cm->createElementParticle(u"b", u""));
    ch->appendChild(ab);
    ch->appendChild(cm->createElementParticle(u"c", u"*"));
    Match m = match(ch, names({u"a", u"b"}));
    EXPECT_TRUE(m.ok);
    EXPECT_EQ(m.consumed, 2u);
    EXPECT_FALSE(m.ambiguous);
    EXPECT_TRUE(match(ch, names({})).ok);

    // (a|b?) on "a".
    auto* ch2 = cm->createChoiceParticle(u"");
    ch2->appendChild(cm->createElementParticle(u"a", u""));
    ch2->appendChild(cm->createElementParticle(u"b", u"?"));
    EXPECT_TRUE(match(ch2, names({u"a"})).ok);

    // (a|a) is ambiguous: two alternatives both consume.
    auto* ch3 = cm->createChoiceParticle(u"");
    ch3->appendChild(cm->createElementParticle(u"a", u""));
    ch3->appendChild(cm->createElementParticle(u"a", u"+"));
    m = match(ch3, names({u"a"}));
    EXPECT_FALSE(m.ok);
    EXPECT_TRUE(m.ambiguous);
}

TEST_F(CMFixture, RepetitionOfAnEmptyMatchEnds) {
    // (a?)* on "b": every pass matches without consuming; the loop must end.
    auto* seq = cm->createSequenceParticle(u"*");
    seq->appendChild(cm->createElementParticle(u"a", u"?"));
    Match m = match(seq, names({u"b", u"b"}));
    EXPECT_TRUE(m.ok);
    EXPECT_EQ(m.consumed, 0u);
    seq->setFrequency(u"+");
    EXPECT_EQ(match(seq, names({u"a", u"a", u"b"})).consumed, 2u);
}

TEST_F(CMFixture, MixedContentMatching) {
    auto* mixed = cm->createPcdataChoiceParticle();
    mixed->appendChild(cm->createElementParticle(u"b", u""));
    mixed->appendChild(cm->createElementParticle(u"i", u""));
    EXPECT_EQ(match(mixed, names({u"b", u"i", u"b", u"u"})).consumed, 3u);
}

TEST_F(CMFixture, ContentSpecOfAbstractParticleRaisesInside) {
    // The abstract test raises; the occurrence test turns that into a failed match.
    struct Bare : TdomCMParticle {
        explicit Bare(TdomCMObject* o) : TdomCMParticle(o, ntCMParticle, u"bare", 0, u"") {}
        TdomCMNode* makeCopy(TdomCMObject*) const override { return nullptr; }
    } bare(cm);
    size_t pos = 0;
    bool amb = false;
    EXPECT_FALSE(bare.contentModelTestWithOccurrence(names({u"a"}), pos, amb));
}

// ------------------------------------------------------------------ model check

TEST_F(CMFixture, ValidModelReportsNothing) {
    cm->getInternalSubset()->appendChild(cm->createNotationDeclaration(u"gif", u"", u"viewer"));
    auto* list = attList(u"img");
    def(list, u"id", u"ID", u"#REQUIRED", u"");
    def(list, u"kind", u"NOTATION", u"#IMPLIED", u"", {u"gif"});
    def(list, u"align", u"", u"", u"left", {u"left", u"right"});
    def(list, u"refs", u"IDREFS", u"", u"a b");
    def(list, u"tok", u"NMTOKENS", u"", u"1 2");
    EXPECT_TRUE(cm->validate());
    EXPECT_TRUE(kinds.empty());
}

TEST_F(CMFixture, ModelCheckErrorKinds) {
    // Notation declared in the external subset counts too.
    cm->getExternalSubset()->appendChild(cm->createNotationDeclaration(u"png", u"", u""));
    cm->getInternalSubset()->appendChild(cm->createElementTypeDeclaration(u"e", ctEmpty));
    auto* list = attList(u"e");
    auto* id2 = (def(list, u"id1", u"ID", u"#IMPLIED", u""), def(list, u"id2", u"ID", u"#IMPLIED", u""));
    auto* n1 = def(list, u"n1", u"NOTATION", u"", u"", {u"png", u"jpg", u"png"});
    auto* n2 = def(list, u"n2", u"NOTATION", u"", u"", {u"png"});
    auto* en = def(list, u"en", u"", u"", u"z", {u"x", u"y"});
    auto* rep = def(list, u"rep", u"", u"", u"z", {u"x", u"x", u"z"});
    auto* ref = def(list, u"ref", u"IDREF", u"", u"1bad");
    auto* nm = def(list, u"nm", u"NMTOKEN", u"", u"a b");
    EXPECT_FALSE(cm->validate());
    std::vector<int> want{10, 31, 15, 26, 14, 26, 5, 9, 5, 5};
    EXPECT_EQ(kinds, want);
    ASSERT_EQ(related.size(), want.size());
    EXPECT_EQ(related[0], id2);
    EXPECT_EQ(related[1], n1->getChildNodes()->item(1));
    EXPECT_EQ(related[2], n1->getChildNodes()->item(2));
    EXPECT_EQ(related[3], n1);
    EXPECT_EQ(related[4], n2);
    EXPECT_EQ(related[6], en);
    EXPECT_EQ(related[7], rep->getChildNodes()->item(1));
    EXPECT_EQ(related[8], ref);
    EXPECT_EQ(related[9], nm);
}

TEST_F(CMFixture, ModelCheckStopsOnFalseAnswer) {
    auto* list = attList(u"e");
    def(list, u"a", u"ID", u"#IMPLIED", u"");
    def(list, u"b", u"ID", u"#IMPLIED", u"");
    def(list, u"c", u"ID", u"#IMPLIED", u"");
    answer = false;
    EXPECT_FALSE(cm->validate());
    EXPECT_EQ(kinds.size(), 1u);
}

TEST_F(CMFixture, AttrDefinitionValidate) {
    auto* idDef = cm->createAttributeDefinition(u"id", u"ID", u"#FIXED", u"x");
    EXPECT_FALSE(idDef->validate());
    auto* en = cm->createAttributeDefinition(u"e", u"", u"", u"");
    en->appendChild(cm->createNmtokenParticle(u"a"));
    en->appendChild(cm->createNmtokenParticle(u"a"));
    EXPECT_FALSE(en->validate());
    EXPECT_EQ(kinds, (std::vector<int>{18, 9}));
    EXPECT_TRUE(cm->createAttributeDefinition(u"id", u"ID", u"#REQUIRED", u"")->validate());
}

TEST_F(CMFixture, FindDeclarationPrefersInternalSubset) {
    auto* ext = cm->createElementTypeDeclaration(u"e", ctAny);
    auto* in = cm->createElementTypeDeclaration(u"e", ctEmpty);
    cm->getExternalSubset()->appendChild(ext);
    EXPECT_EQ(cm->findDeclaration(u"e"), ext);
    cm->getInternalSubset()->appendChild(in);
    EXPECT_EQ(cm->findDeclaration(u"e"), in);
    EXPECT_EQ(cm->findDeclaration(u"f"), nullptr);
    EXPECT_FALSE(cm->isDeclared(u"gif"));
}

// ------------------------------------------------------------------ parameter entities

TEST_F(CMFixture, ResolveParameterEntity) {
    auto* subset = cm->getInternalSubset();
    subset->setLocation(u"file:///doc.dtd");
    WideString text = u"old";
    uint8_t kind = 0;
    subset->resolveParameterEntity(u"p", text, kind);
    EXPECT_EQ(kind, 27);
    EXPECT_TRUE(text.empty());

    subset->appendChild(cm->createParameterEntityDeclaration(u"p", u"<!ELEMENT a EMPTY>"));
    subset->resolveParameterEntity(u"p", text, kind);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(text, u"<!ELEMENT a EMPTY>");

    subset->appendChild(cm->createExternalParameterEntityDeclaration(u"x", u"", u"x.ent"));
    subset->resolveParameterEntity(u"x", text, kind);
    EXPECT_EQ(kind, 33) << "no handler";

    std::string payload;
    WideString seenParent;
    impl.OnExternalParsedEntity = [&](TObject*, const WideString& parent, const WideString&, const WideString& sys,
                                      std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        seenParent = parent;
        EXPECT_EQ(sys, u"x.ent");
        stream = std::make_unique<TStringStream>(payload);
        action = PARSER_STREAM;
    };
    payload = "<?xml encoding=\"UTF-8\"?><!ENTITY q 'v'>";
    subset->resolveParameterEntity(u"x", text, kind);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(text, u"<!ENTITY q 'v'>");
    EXPECT_EQ(seenParent, u"file:///doc.dtd");

    payload = "<?xml version=\"1.0\" standalone=\"yes\"?>x";
    subset->resolveParameterEntity(u"x", text, kind);
    EXPECT_EQ(kind, 51) << "an XML declaration is no text declaration";
    EXPECT_TRUE(text.empty());

    payload = "<?xml encoding=?>x";
    subset->resolveParameterEntity(u"x", text, kind);
    EXPECT_EQ(kind, 51);

    impl.OnExternalParsedEntity = [&](TObject*, const WideString&, const WideString&, const WideString&,
                                      std::unique_ptr<TStream>&, TXmlParserAction& action) { action = PARSER_STREAM; };
    subset->resolveParameterEntity(u"x", text, kind);
    EXPECT_EQ(kind, 0) << "an answer without stream is an empty entity";
    EXPECT_TRUE(text.empty());
}

// ------------------------------------------------------------------ implementation

TEST(CMImplementation, CreateAndFreeCMObjects) {
    TDomImplementation impl;
    TdomCMObject* a = impl.createCMObject();
    TdomCMObject* b = impl.createCMObject();
    EXPECT_EQ(impl.getCMObjects().size(), 2u);
    EXPECT_EQ(a->getDomImplementation(), &impl);
    impl.freeCMObject(a);
    EXPECT_EQ(a, nullptr);
    TdomCMObject outside(nullptr);
    TdomCMObject* stray = &outside;
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { impl.freeCMObject(stray); }, u"Content model not found error."));
    EXPECT_EQ(stray, &outside);
    TdomCMObject* none = nullptr;
    impl.freeCMObject(none);
    b->getInternalSubset()->appendChild(b->createComment(u"kept until clear"));
    impl.clear();
    EXPECT_TRUE(impl.getCMObjects().empty());
}

// ------------------------------------------------------------------ hostile shapes

TEST_F(CMFixture, DeeplyNestedGroupsAreRefusedNotOverflowed) {
    constexpr int kDepth = 100000;
    TdomCMParticle* top = cm->createSequenceParticle(u"");
    TdomCMParticle* cur = top;
    for (int i = 0; i < kDepth; ++i) {
        TdomCMParticle* next = (i % 2) ? static_cast<TdomCMParticle*>(cm->createSequenceParticle(u""))
                                       : cm->createChoiceParticle(u"");
        cur->appendChild(next);
        cur = next;
    }
    cur->appendChild(cm->createElementParticle(u"leaf", u""));
    Match m = match(top, names({u"leaf"}));
    EXPECT_FALSE(m.ok);
    WideString text = top->writeText();
    EXPECT_EQ(text.size(), size_t(kDepth + 1) * 2 + 4);
    TdomCMNode* copy = top->cloneNode(true);
    TdomCMNode* topNode = top;
    cm->freeNode(topNode);
    cm->freeNode(copy);
    EXPECT_EQ(cm->getNodeCount(), 2u);

    // A nesting within the bound matches.
    TdomCMParticle* shallow = cm->createSequenceParticle(u"");
    cur = shallow;
    for (int i = 0; i < 200; ++i) {
        auto* next = cm->createSequenceParticle(u"");
        cur->appendChild(next);
        cur = next;
    }
    cur->appendChild(cm->createElementParticle(u"leaf", u""));
    EXPECT_TRUE(match(shallow, names({u"leaf"})).ok);
}

TEST_F(CMFixture, WideChoiceAndLongContent) {
    auto* ch = cm->createChoiceParticle(u"*");
    TdomCMNameList list;
    for (int i = 0; i < 10000; ++i) {
        WideString n = u"e";
        for (char c : std::to_string(i)) n += static_cast<char16_t>(c);
        ch->appendChild(cm->createElementParticle(n, u""));
        if (i % 100 == 0) list.push_back(n);
    }
    Match m = match(ch, list);
    EXPECT_TRUE(m.ok);
    EXPECT_EQ(m.consumed, list.size());
    auto* many = cm->createElementParticle(u"x", u"*");
    TdomCMNameList xs(1000000, u"x");
    EXPECT_EQ(match(many, xs).consumed, xs.size());
}

}  // namespace
