// The object model's use of declarations: literal values, IDs, defaults, validation reports,
// entity expansion and white space in element content. Each case runs twice, once through a
// schema query that declares a few element types, attributes and entities by hand, once
// through the same declarations read from a document-type declaration (buildASModel).

#include "DomTestSupport.h"

using namespace domtest;

namespace {

/// <!ELEMENT list (item*)> with item's attributes id ID #REQUIRED, ref IDREF #IMPLIED,
/// kind NMTOKEN "std", fixed CDATA #FIXED "F"; entities co, loop (circular), ext (external).
class StubSchema : public TdomSchemaQuery {
public:
    StubSchema() {
        const uint8_t types[] = {2, 3, 7, 0}, defaults[] = {3, 2, 0, 1};
        for (int k = 0; k < 4; ++k) decls_.push_back({&names_[k], types[k], defaults[k], &values_[k], nullptr, nullptr});
    }
    bool hasModels() const override { return true; }
    /// Declares kind with another type (a handler's change of the declarations).
    void setKindType(uint8_t type) { decls_[2].attrType = type; }
    bool findElementContentType(const WideString& name, uint8_t& contentType) const override {
        if (name != u"list") return false;
        contentType = kContentTypeElement;
        return true;
    }
    void getAttributeDecls(const WideString& element, std::vector<TdomAttrDeclInfo>& out) const override {
        out.clear();
        if (element == u"item") out = decls_;
    }
    bool findAttributeDecl(const WideString& element, const WideString& name, TdomAttrDeclInfo& decl) const override {
        if (element != u"item") return false;
        for (const TdomAttrDeclInfo& d : decls_)
            if (*d.name == name) {
                decl = d;
                return true;
            }
        return false;
    }
    bool lookupEntity(const WideString& name, bool, TdomEntityFacts& facts) const override {
        facts = TdomEntityFacts{};
        if (name == u"co") facts.literalValue = u"Smith &amp; Co";
        else if (name == u"loop") facts.literalValue = u"x&loop;";
        else if (name == u"ext") facts.external = true;
        else return false;
        return true;
    }

private:
    WideString names_[4] = {u"id", u"ref", u"kind", u"fixed"};
    WideString values_[4] = {u"", u"", u"std", u"F"};
    std::vector<TdomAttrDeclInfo> decls_;
};

/// The declarations of StubSchema as DTD text; item is declared ANY, as the stub leaves its
/// content unchecked.
constexpr char16_t kStubDtd[] =
    u"<!ELEMENT list (item*)><!ELEMENT item ANY>"
    u"<!ATTLIST item id ID #REQUIRED ref IDREF #IMPLIED kind NMTOKEN 'std' fixed CDATA #FIXED 'F'>"
    u"<!ENTITY co 'Smith &#38;amp; Co'><!ENTITY loop 'x&loop;'><!ENTITY ext SYSTEM 'ext.xml'>";

/// Parameter: true for declarations read from DTD text, false for the hand-made query.
class SchemaTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        impl.OnError = [this](TObject*, TdomError* error, bool& go) {
            kinds.push_back(error->getKind());
            go = true;
        };
        doc = impl.createDocument(u"list", nullptr);
        declare(doc);
        list = doc->getDocumentElement();
    }
    void TearDown() override { doc->setSchemaQuery(nullptr); }
    void declare(TdomDocument* d) {
        if (!GetParam()) {
            d->setSchemaQuery(&schema);
            return;
        }
        d->insertBefore(d->createDocumentTypeDecl(u"list", u"", u"", kStubDtd), d->getDocumentElement());
        ASSERT_TRUE(d->buildASModel());
        kinds.clear();  // the circular entity may be reported while it is read
    }
    TdomElement* item(const char16_t* id) {
        TdomElement* e = doc->createElement(u"item");
        if (id) e->setAttribute(u"id", id);
        list->appendChild(e);
        return e;
    }

    StubSchema schema;
    TDomImplementation impl;
    TdomDocument* doc = nullptr;
    TdomElement* list = nullptr;
    std::vector<int> kinds;
};

TEST_P(SchemaTest, LiteralValuesFollowTheDeclaredType) {
    TdomElement* e = item(u"a");
    e->setAttribute(u"kind", u"  big   red  ");
    e->setAttribute(u"other", u"  kept  ");
    EXPECT_EQ(e->getAttributeLiteral(u"kind"), u"big red");
    EXPECT_EQ(e->getAttributeLiteral(u"other"), u"  kept  ");
    e->setAttribute(u"other", u"&co;!");
    EXPECT_EQ(e->getAttributeLiteral(u"other"), u"Smith & Co!");
    EXPECT_TRUE(e->getAttributeNode(u"id")->isIdAttribute());
    EXPECT_FALSE(e->getAttributeNode(u"kind")->isIdAttribute());
    e->setAttribute(u"other", u"&loop;");
    EXPECT_TRUE(raises<EConvertError>([&] { e->getAttributeLiteral(u"other"); },
                                      u"Literal attribute value cannot be resolved."));
    e->setAttribute(u"other", u"&ext;");
    EXPECT_TRUE(e->getAttributeNode(u"other")->refersToExternalEntity());
}

TEST_P(SchemaTest, ValidationFillsTheIdMapAndAddsDefaults) {
    TdomElement* a = item(u"a");
    TdomElement* b = item(u"b");
    b->setAttribute(u"ref", u"a");
    b->setAttribute(u"fixed", u"F");
    EXPECT_TRUE(doc->validateDocument(0)) << kinds.size();
    EXPECT_EQ(doc->getElementById(u"a"), a);
    EXPECT_EQ(doc->getElementById(u"b"), b);
    TdomAttr* kind = a->getAttributeNode(u"kind");
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->getNodeValue(), u"std");
    EXPECT_FALSE(kind->getSpecified());
    EXPECT_EQ(a->getAttribute(u"fixed"), u"F");
}

TEST_P(SchemaTest, ValidationReportsEachFault) {
    item(u"a");
    item(u"a");                                // duplicate ID: 11
    item(nullptr);                             // #REQUIRED missing: 28
    item(u"c")->setAttribute(u"ref", u"zz");   // IDREF to nothing: 29 (reported after the tree pass)
    item(u"d")->setAttribute(u"fixed", u"G");  // fixed value differs: 17
    EXPECT_FALSE(doc->validateDocument(0));
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 11), 1);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 28), 1);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 17), 1);
    EXPECT_EQ(doc->getElementById(u"a"), nullptr);  // a failed validation empties the ID map
    kinds.clear();
    TdomDocument* good = impl.createDocument(u"list", nullptr);
    declare(good);
    TdomElement* e = good->createElement(u"item");
    e->setAttribute(u"id", u"x");
    e->setAttribute(u"ref", u"nowhere");
    good->getDocumentElement()->appendChild(e);
    EXPECT_FALSE(good->validateDocument(0));
    EXPECT_EQ(kinds, std::vector<int>{29});
    good->setSchemaQuery(nullptr);
}

TEST_P(SchemaTest, DeclarationsChangedByAHandlerCountFromThenOn) {
    // The walk keeps what it learnt of the declarations; a handler that changes them while
    // the walk runs must be heard by the elements after it.
    item(u"a");                                       // valid, kind defaulted as NMTOKEN
    item(nullptr);                                    // #REQUIRED id missing: 28
    item(u"b")->setAttribute(u"kind", u"two words");  // no NMTOKEN, but CDATA by then
    impl.OnError = [this](TObject*, TdomError* error, bool& go) {
        kinds.push_back(error->getKind());
        if (GetParam()) doc->getASModels()->item(0)->findAttributeDecl(u"item", u"kind")->setAttrType(0);
        else schema.setKindType(0);
        go = true;
    };
    EXPECT_FALSE(doc->validateDocument(0));
    EXPECT_EQ(kinds, std::vector<int>{28});
}

TEST_P(SchemaTest, ReferencesAreCheckedWhetherTheWalkIsObservedOrNot) {
    // Unobserved, the reference pass checks what the tree pass gathered; observed (a handler
    // sees the defaults being added), it walks the tree again. Both find the same faults.
    for (bool observed : {false, true}) {
        kinds.clear();
        TdomDocument* d = impl.createDocument(u"list", nullptr);
        declare(d);
        int seen = 0;
        if (observed)
            d->getDocumentElement()->setOnAttrModified([&](TdomNode*, TdomNode*, TdomAttrChange, TdomAttr*) { ++seen; });
        const char16_t* pairs[][2] = {{u"a", u"b"}, {u"b", u"nowhere"}, {u"c", u"a"}};  // id, ref
        for (auto& pair : pairs) {
            TdomElement* e = d->createElement(u"item");
            e->setAttribute(u"id", pair[0]);
            e->setAttribute(u"ref", pair[1]);
            d->getDocumentElement()->appendChild(e);
        }
        EXPECT_FALSE(d->validateDocument(0)) << observed;
        EXPECT_EQ(kinds, std::vector<int>{29}) << observed;
        EXPECT_EQ(seen > 0, observed);
        d->setSchemaQuery(nullptr);
    }
}

TEST_P(SchemaTest, RefreshDefaultAttributes) {
    TdomElement* e = item(u"a");
    e->setAttribute(u"fixed", u"F");
    EXPECT_TRUE(e->refreshDefaultAttributes(false, false));
    EXPECT_EQ(e->getAttributeCount(), 3);  // id, fixed, kind (default added)
    EXPECT_FALSE(e->getAttributeNode(u"kind")->getSpecified());
    EXPECT_TRUE(list->refreshDefaultAttributes(true, true));
    EXPECT_FALSE(e->getAttributeNode(u"fixed")->getSpecified());  // the specified #FIXED one was replaced
    TdomElement* ns = doc->createElementNS(u"urn:a", u"item");
    EXPECT_TRUE(raises<ENamespace_Err>([&] { ns->refreshDefaultAttributes(false, false); }, u"Namespace error."));
}

TEST_P(SchemaTest, DeclaredReferencesAreExpandedOrReplaced) {
    TdomElement* e = item(u"a");
    e->appendChild(doc->createTextNode(u"By "));
    e->appendChild(doc->createEntityReference(u"co"));
    TdomEntityReference* kept = doc->createEntityReference(u"co");
    e->appendChild(kept);
    EXPECT_TRUE(e->resolveEntityReferences(1));
    EXPECT_EQ(kept->getTextContent(), u"Smith & Co");
    EXPECT_TRUE(kept->getFirstChild()->getIsReadonly());
    EXPECT_TRUE(e->resolveEntityReferences(0));
    ASSERT_EQ(e->getChildCount(), 1);
    EXPECT_EQ(e->getFirstChild()->getNodeValue(), u"By Smith & CoSmith & Co");
}

TEST_P(SchemaTest, WhiteSpaceInElementContent) {
    TdomText* ws = doc->createTextNode(u" \n\t");
    list->appendChild(ws);
    EXPECT_TRUE(ws->isWhitespaceInElementContent());
    TdomText* word = doc->createTextNode(u"x");
    list->appendChild(word);
    EXPECT_FALSE(word->isWhitespaceInElementContent());
    TdomElement* e = item(u"a");
    TdomText* inItem = doc->createTextNode(u" ");
    e->appendChild(inItem);
    EXPECT_FALSE(inItem->isWhitespaceInElementContent());
}

INSTANTIATE_TEST_SUITE_P(StubAndDtd, SchemaTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "FromDtd" : "Stub"; });

}  // namespace

namespace {

// A fixed value the error handler changes in the model: the next element is held to the new
// value, not to one the walk remembered.
TEST(ModelValidation, FixedValueChangedByAHandler) {
    TDomImplementation impl;
    TXmlToDomParser parser;
    parser.SetDOMImpl(&impl);
    TdomDocument* doc = parser.stringToDom(
        "<!DOCTYPE r [<!ELEMENT r (e*)><!ELEMENT e EMPTY>"
        "<!ATTLIST e id ID #REQUIRED v CDATA #FIXED 'a'>]><r><e id='w'/><e/><e id='x' v='b'/></r>");
    ASSERT_TRUE(doc->buildASModel());
    TdomASModel* model = doc->getASModels()->item(0);
    std::vector<int> kinds;
    impl.OnError = [&](TObject*, TdomError* error, bool& go) {
        kinds.push_back(error->getKind());
        model->findAttributeDecl(u"e", u"v")->setDefaultValue(u"b");
        go = true;
    };
    EXPECT_FALSE(doc->validateDocument(0));
    EXPECT_EQ(kinds, std::vector<int>{28});
    impl.freeDocument(doc);
}

// A document deep enough to exhaust a recursive walk, built from the bottom up.
TEST(DeepValidation, WalksDoNotRecurse) {
    constexpr int kDeep = 200000;
    TDomImplementation impl;
    TdomDocument* doc = impl.createDocument(u"list", nullptr);
    TdomElement* inner = doc->createElement(u"item");
    inner->setAttribute(u"id", u"x");
    for (int i = 0; i < kDeep; ++i) {
        TdomElement* outer = doc->createElement(u"item");
        outer->appendChild(inner);
        inner = outer;
    }
    doc->getDocumentElement()->appendChild(inner);
    // Without declarations every element is reported; the walk must simply come through.
    doc->getDocumentElement()->validate();
    EXPECT_TRUE(doc->validateAttributeValues());
}

}  // namespace
