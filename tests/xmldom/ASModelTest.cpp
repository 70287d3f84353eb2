// The declaration store: lists and named maps, element declarations and their content models,
// attribute, entity and notation declarations, and the implementation's model registry.
#include <gtest/gtest.h>

#include "DomTestSupport.h"

using namespace xmldom;
using domtest::raises;

namespace {

struct Store : ::testing::Test {
    TDomImplementation impl;
    TdomASModel* model = impl.createASModel();
};

}  // namespace

// ------------------------------------------------------------------ maps and lists

TEST_F(Store, NamedMapKeepsOrderAndReplacesByName) {
    TdomASNamedObjectMap map;
    TdomASNotationDecl a(model, u"a", u"", u"x"), b(model, u"b", u"", u"y"), a2(model, u"a", u"", u"z");
    EXPECT_EQ(map.setNamedItem(&a), nullptr);
    EXPECT_EQ(map.setNamedItem(&b), nullptr);
    EXPECT_EQ(map.setNamedItem(&a2), &a) << "the replaced item is handed back";
    EXPECT_EQ(map.getLength(), 2);
    EXPECT_EQ(map.item(0), &a2);
    EXPECT_EQ(map.getNamedItem(u"b"), &b);
    EXPECT_EQ(map.getNamedItem(u"c"), nullptr);
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { map.removeNamedItem(u"c"); }, u"Not found error."));
    EXPECT_EQ(map.removeNamedItem(u"a"), &a2);
    EXPECT_EQ(map.item(0), &b);
    EXPECT_EQ(map.getNamedItem(u"b"), &b) << "indexes follow a removal";
    EXPECT_EQ(map.item(5), nullptr);
}

TEST_F(Store, NamedMapIndexSurvivesGrowthAndRemovals) {
    TdomASElementDecl* e = nullptr;
    std::vector<WideString> names;
    for (int i = 0; i < 3000; ++i) {
        std::string n = "n" + std::to_string(i);
        names.emplace_back(n.begin(), n.end());
        ASSERT_TRUE(model->addElementDecl(names.back(), AS_CONTENT_EMPTY, e));
    }
    for (int i = 0; i < 3000; i += 3) ASSERT_TRUE(model->removeElementDecl(names[i]));
    const TdomASNamedObjectMap& map = model->getElementDecls();
    EXPECT_EQ(map.getLength(), 2000);
    for (int i = 0; i < 3000; ++i) {
        TdomASObject* found = map.getNamedItem(names[i]);
        if (i % 3 == 0) EXPECT_EQ(found, nullptr) << i;
        else ASSERT_TRUE(found && found->getName() == names[i]) << i;
    }
    EXPECT_EQ(map.item(0)->getName(), u"n1") << "order kept";
    EXPECT_TRUE(model->addElementDecl(names[0], AS_CONTENT_EMPTY, e)) << "a removed name is free again";
    EXPECT_EQ(map.item(map.getLength() - 1), e);
}

TEST_F(Store, ObjectListInsertsBeforeOrAppends) {
    TdomASObjectList list;
    TdomASNotationDecl a(model, u"a", u"", u""), b(model, u"b", u"", u""), c(model, u"c", u"", u"");
    EXPECT_EQ(list.appendASObject(&a), &a);
    list.insertBefore(&b, &a);
    list.insertBefore(&c, nullptr);
    EXPECT_EQ(list.item(0), &b);
    EXPECT_EQ(list.item(2), &c);
    EXPECT_EQ(list.indexOf(&a), 1);
    list.removeASObject(&a);
    EXPECT_EQ(list.getLength(), 2);
    EXPECT_EQ(list.item(-1), nullptr);
    EXPECT_EQ(list.item(2), nullptr);
}

// ------------------------------------------------------------------ model

TEST_F(Store, AddFindRemoveDeclarations) {
    TdomASElementDecl* e = nullptr;
    EXPECT_TRUE(model->addElementDecl(u"a", AS_CONTENT_UNDEFINED, e));
    TdomASElementDecl* again = nullptr;
    EXPECT_FALSE(model->addElementDecl(u"a", AS_CONTENT_EMPTY, again));
    EXPECT_EQ(again, e) << "a taken name hands back the existing declaration";
    EXPECT_EQ(model->findElementDecl(u"a"), e);
    EXPECT_EQ(e->getObjectType(), AS_ELEMENT_DECLARATION);
    EXPECT_EQ(e->getOwnerASModel(), model);

    TdomASEntityDecl* ent = nullptr;
    EXPECT_TRUE(model->addEntityDecl(u"e", u"text", ent));
    EXPECT_EQ(model->findEntityDecl(u"e"), ent);
    TdomASNotationDecl* n = nullptr;
    EXPECT_TRUE(model->addNotationDecl(u"gif", u"-//x//y", u"viewer.exe", n));
    EXPECT_EQ(model->findNotationDecl(u"gif"), n);

    TdomASAttributeDecl* at = nullptr;
    EXPECT_TRUE(e->addAttributeDecl(u"id", at));
    EXPECT_EQ(model->findAttributeDecl(u"a", u"id"), at);
    EXPECT_EQ(at->getOwnerElementDecl(), e);
    EXPECT_EQ(at->getAttrType(), AS_STRING_DATATYPE);
    EXPECT_EQ(at->getDefaultDecl(), AS_IMPLIED);
    EXPECT_TRUE(e->removeAttributeDecl(u"id"));
    EXPECT_FALSE(e->removeAttributeDecl(u"id"));

    EXPECT_TRUE(model->removeElementDecl(u"a"));
    EXPECT_FALSE(model->removeElementDecl(u"a"));
    EXPECT_TRUE(model->removeEntityDecl(u"e"));
    EXPECT_TRUE(model->removeNotationDecl(u"gif"));
    EXPECT_EQ(model->getElementDecls().getLength(), 0);
}

TEST_F(Store, NamesAndIdentifiersAreChecked) {
    TdomASElementDecl* e = nullptr;
    TdomASEntityDecl* ent = nullptr;
    TdomASNotationDecl* n = nullptr;
    const char16_t* bad = u"Invalid character error.";
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { model->addElementDecl(u"1a", 2, e); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { model->addEntityDecl(u"a b", u"", ent); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { model->addNotationDecl(u"n", u"{", u"", n); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { model->addNotationDecl(u"n", u"", u"'\"", n); }, bad));
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { model->addEntityDecl(u"x", u"", u"a\x01", u"", ent); }, bad));
    EXPECT_EQ(model->getNotationDecls().getLength(), 0);
    EXPECT_EQ(model->getEntityDecls().getLength(), 0);
}

TEST_F(Store, ContentTypeIsSetOnce) {
    TdomASElementDecl* e = nullptr;
    model->addElementDecl(u"a", AS_CONTENT_UNDEFINED, e);
    e->setContentType(AS_CONTENT_ELEMENT);
    EXPECT_EQ(e->getContentType(), AS_CONTENT_ELEMENT);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { e->setContentType(AS_CONTENT_MIXED); },
                                                     u"No modification allowed error."));
}

TEST_F(Store, SetContentModelSteps) {
    TdomASElementDecl *e = nullptr, *other = nullptr;
    model->addElementDecl(u"a", AS_CONTENT_UNDEFINED, e);
    model->addElementDecl(u"b", AS_CONTENT_ELEMENT, other);
    TdomASContentModel* seq = e->createContentModel(u"ignored", AS_SEQUENCE);
    EXPECT_TRUE(seq->getName().empty()) << "only element-name models keep the name";
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { e->setContentModel(seq); }, u"Not supported error."))
        << "no operator is allowed before the content type is set";
    e->setContentType(AS_CONTENT_ELEMENT);
    TdomASContentModel* leaf = e->createContentModel(u"x", AS_ELEMENT_NAME);
    EXPECT_EQ(leaf->getName(), u"x");
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { e->setContentModel(leaf); }, u"Not supported error."));
    TdomASContentModel* foreign = other->createContentModel(u"", AS_CHOICE);
    EXPECT_TRUE(raises<EAS_Wrong_Element_Decl_Err>([&] { e->setContentModel(foreign); },
                                                   u"Wrong element declaration error."));
    EXPECT_EQ(e->setContentModel(seq), nullptr);
    EXPECT_TRUE(seq->isInUse());
    EXPECT_EQ(e->setContentModel(seq), seq) << "the current model is handed back";
    TdomASContentModel* choice = e->createContentModel(u"", AS_CHOICE);
    seq->appendSubModel(choice);
    EXPECT_TRUE(raises<EInuse_Err>([&] { e->setContentModel(choice); }, u"Content model in use error."));
    seq->removeSubModel(choice);
    EXPECT_EQ(e->setContentModel(choice), seq);
    EXPECT_FALSE(seq->isInUse());
    EXPECT_EQ(e->setContentModel(nullptr), choice);
    EXPECT_FALSE(choice->isInUse());
    EXPECT_EQ(e->getContentModel(), nullptr);

    TdomASElementDecl* any = nullptr;
    model->addElementDecl(u"any", AS_CONTENT_ANY, any);
    TdomASContentModel* c2 = any->createContentModel(u"", AS_CHOICE);
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { any->setContentModel(c2); }, u"Not supported error."));
}

TEST_F(Store, SubModelsAreMarkedAndChecked) {
    TdomASElementDecl *e = nullptr, *other = nullptr;
    model->addElementDecl(u"a", AS_CONTENT_ELEMENT, e);
    model->addElementDecl(u"b", AS_CONTENT_ELEMENT, other);
    TdomASContentModel* seq = e->createContentModel(u"", AS_SEQUENCE);
    TdomASContentModel* x = e->createContentModel(u"x", AS_ELEMENT_NAME);
    TdomASContentModel* y = e->createContentModel(u"y", AS_ELEMENT_NAME);
    EXPECT_EQ(seq->appendSubModel(y), y);
    EXPECT_EQ(seq->insertSubModelBefore(x, y), x);
    EXPECT_EQ(seq->getSubModel(0), x);
    EXPECT_TRUE(x->isInUse());
    EXPECT_TRUE(raises<EInuse_Err>([&] { seq->appendSubModel(x); }, u"Content model in use error."));
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { x->appendSubModel(e->createContentModel(u"z", AS_ELEMENT_NAME)); },
                                           u"Not supported error."))
        << "an element-name model takes no sub-models";
    EXPECT_TRUE(raises<EAS_Wrong_Element_Decl_Err>(
        [&] { seq->appendSubModel(other->createContentModel(u"", AS_CHOICE)); }, u"Wrong element declaration error."));
    // A model never contains itself, directly or through others.
    TdomASContentModel* inner = e->createContentModel(u"", AS_CHOICE);
    seq->appendSubModel(inner);
    TdomASContentModel* top = e->createContentModel(u"", AS_SEQUENCE);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { top->appendSubModel(top); }, u"Hierarchy request error."));
    seq->removeSubModel(inner);
    inner->appendSubModel(top);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { top->appendSubModel(inner); }, u"Hierarchy request error."));
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { seq->removeSubModel(top); }, u"Node not found error."));
    EXPECT_EQ(seq->removeSubModel(x), x);
    EXPECT_FALSE(x->isInUse());
}

TEST_F(Store, RemoveContentModelReleasesSubModels) {
    TdomASElementDecl* e = nullptr;
    model->addElementDecl(u"a", AS_CONTENT_ELEMENT, e);
    TdomASContentModel* seq = e->createContentModel(u"", AS_SEQUENCE);
    TdomASContentModel* x = e->createContentModel(u"x", AS_ELEMENT_NAME);
    seq->appendSubModel(x);
    EXPECT_TRUE(raises<EInuse_Err>([&] { e->removeContentModel(x); }, u"Content model in use error."));
    e->removeContentModel(seq);
    EXPECT_EQ(seq, nullptr);
    EXPECT_FALSE(x->isInUse());
    EXPECT_EQ(e->getContentModels().getLength(), 1);
    e->setContentModel(e->createContentModel(u"", AS_CHOICE));
    TdomASContentModel* current = e->getContentModel();
    EXPECT_TRUE(raises<EInuse_Err>([&] { e->removeContentModel(current); }, u"Content model in use error."));
}

// ------------------------------------------------------------------ entities

TEST_F(Store, InternalEntityStatesAndParts) {
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"empty", u"", d);
    EXPECT_EQ(d->getState(), AS_USABLE);
    EXPECT_EQ(d->getPartCount(), 0);
    EXPECT_FALSE(d->isExternal());

    model->addEntityDecl(u"mix", u"a&#65;b&#x10000;&other;&amp;c & d", d);
    EXPECT_EQ(d->getState(), AS_UNUSABLE) << "a lone & is not well-formed content";
    EXPECT_EQ(d->getPartCount(), 0);

    model->addEntityDecl(u"ok", u"a&#65;<b>x</b>&other;", d);
    ASSERT_EQ(d->getState(), AS_USABLE);
    ASSERT_EQ(d->getPartCount(), 4);
    EXPECT_EQ(d->getPart(0)->getKind(), AS_TEXT_PART);
    EXPECT_EQ(d->getPart(0)->getValue(), u"a");
    EXPECT_EQ(d->getPart(1)->getKind(), AS_CHARREF_PART);
    EXPECT_EQ(d->getPart(1)->getValue(), u"A");
    EXPECT_EQ(d->getPart(2)->getValue(), u"<b>x</b>");
    EXPECT_EQ(d->getPart(3)->getKind(), AS_ENTITYREF_PART);
    EXPECT_EQ(d->getPart(3)->getName(), u"other");

    model->addEntityDecl(u"open", u"<a>", d);
    EXPECT_EQ(d->getState(), AS_UNUSABLE);
}

TEST_F(Store, TestParseIsSilent) {
    int errors = 0;
    impl.OnError = [&](TObject*, TdomError*, bool&) { ++errors; };
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"bad", u"<a><b></a>", d);
    EXPECT_EQ(d->getState(), AS_UNUSABLE);
    EXPECT_EQ(errors, 0) << "the test parse reports to nobody";
    EXPECT_EQ(impl.getDocuments()->getLength(), 0) << "no scratch document stays registered";
}

TEST_F(Store, ExternalEntityWaitsForResolve) {
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"ext", u"", u"x.ent", u"", d);
    EXPECT_TRUE(d->isExternal());
    EXPECT_TRUE(d->isParsed());
    EXPECT_EQ(d->getState(), AS_UNRESOLVED);
    EXPECT_FALSE(d->resolve()) << "no handler delivers it";
    EXPECT_EQ(d->getState(), AS_UNRESOLVED);

    model->setLocation(u"file:///base.dtd");
    WideString parent, system;
    std::string payload = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>t<i>x</i>";
    impl.OnExternalParsedEntity = [&](TObject*, const WideString& p, const WideString&, const WideString& sys,
                                      std::unique_ptr<TStream>& stream, TXmlParserAction& action) {
        parent = p;
        system = sys;
        stream = std::make_unique<TStringStream>(payload);
        action = PARSER_STREAM;
    };
    EXPECT_TRUE(d->resolve());
    EXPECT_EQ(parent, u"file:///base.dtd");
    EXPECT_EQ(system, u"x.ent");
    EXPECT_EQ(d->getState(), AS_USABLE);
    EXPECT_EQ(d->getLiteralValue(), u"t<i>x</i>");
    EXPECT_TRUE(d->resolve()) << "a resolved entity counts as resolved";

    TdomASEntityDecl* bad = nullptr;
    model->addEntityDecl(u"bad", u"", u"y.ent", u"", bad);
    payload = "<?xml version=\"1.0\" standalone=\"yes\"?>t";  // a document's declaration
    EXPECT_FALSE(bad->resolve());
    EXPECT_EQ(bad->getState(), AS_UNUSABLE) << "delivered, but no parsed entity";

    TdomASEntityDecl* unparsed = nullptr;
    model->addEntityDecl(u"pic", u"", u"p.gif", u"gif", unparsed);
    EXPECT_FALSE(unparsed->isParsed());
    EXPECT_FALSE(unparsed->resolve()) << "only parsed entities are fetched";
}

// ------------------------------------------------------------------ implementation registry

TEST(ASModelRegistry, CreateFreeAndFreeUnused) {
    TDomImplementation impl, otherImpl;
    TdomASModel* a = impl.createASModel();
    TdomASModel* b = impl.createASModel();
    TdomASModel* foreign = otherImpl.createASModel();
    EXPECT_EQ(a->getDomImplementation(), &impl);
    EXPECT_TRUE(a->getLocation().empty());
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { impl.freeASModel(foreign); }, u"ASModel not found error."));
    EXPECT_NE(foreign, nullptr) << "a refused call keeps the variable";
    TdomASModel* none = nullptr;
    impl.freeASModel(none);

    {
        TdomASModelCollection collection(&impl);
        collection.appendASModel(b);
        impl.freeUnusedASModels();
        ASSERT_EQ(impl.getASModels().size(), 1u) << "a model a collection uses stays";
        EXPECT_EQ(impl.getASModels()[0], b);
    }
    EXPECT_FALSE(b->isUsed()) << "a collection leaves its models when it goes";
    impl.freeASModel(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_TRUE(impl.getASModels().empty());
    impl.createASModel();
    impl.clear();
    EXPECT_TRUE(impl.getASModels().empty());
    (void)a;
}

// ------------------------------------------------------------------ hostile entity values

TEST_F(Store, HostileEntityValuesAreJudgedNotFatal) {
    TdomASEntityDecl* d = nullptr;
    WideString deep;
    for (int i = 0; i < 200000; ++i) deep += u"<a>";
    for (int i = 0; i < 200000; ++i) deep += u"</a>";
    model->addEntityDecl(u"deep", deep, d);
    EXPECT_EQ(d->getState(), AS_USABLE) << "deep markup is parsed without exhausting the stack";
    EXPECT_EQ(d->getPartCount(), 1);

    deep.resize(deep.size() - 4);
    model->addEntityDecl(u"unclosed", deep, d);
    EXPECT_EQ(d->getState(), AS_UNUSABLE);

    model->addEntityDecl(u"surrogate", WideString(u"a") + char16_t(0xD800) + u"b", d);
    EXPECT_EQ(d->getState(), AS_UNUSABLE) << "a lone surrogate is no character";
    model->addEntityDecl(u"nul", WideString(u"a\0b", 3), d);
    EXPECT_EQ(d->getState(), AS_UNUSABLE);
    model->addEntityDecl(u"pair", WideString(u"x") + char16_t(0xD83D) + char16_t(0xDE00), d);
    EXPECT_EQ(d->getState(), AS_USABLE);

    WideString big(5'000'000, u'x');
    big += u"<b/>";
    model->addEntityDecl(u"big", big, d);
    EXPECT_EQ(d->getState(), AS_USABLE);
    EXPECT_EQ(impl.getDocuments()->getLength(), 0);
}

TEST_F(Store, CharacterReferencesInParts) {
    TdomASEntityDecl* d = nullptr;
    model->addEntityDecl(u"refs", u"&#x1F600;&#38;&#0065;", d);
    ASSERT_EQ(d->getState(), AS_USABLE);
    ASSERT_EQ(d->getPartCount(), 3);
    EXPECT_EQ(d->getPart(0)->getValue(), (WideString{char16_t(0xD83D), char16_t(0xDE00)}));
    EXPECT_EQ(d->getPart(1)->getValue(), u"&");
    EXPECT_EQ(d->getPart(2)->getValue(), u"A");
    EXPECT_EQ(d->getPart(3), nullptr);
}
