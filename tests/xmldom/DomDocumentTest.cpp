// Document rules (one element, one declaration, their order), factory name checks, freeing
// of linked and unlinked nodes, import, ID lookup, the document URI and entity references.

#include "DomTestSupport.h"

#include <sys/resource.h>

using namespace domtest;

namespace {

TEST(DocumentRules, DeclarationThenElementIsTheProgramsOrder) {
    TdomDocument doc;
    TdomDocumentTypeDecl* decl = doc.createDocumentTypeDecl(u"checksheet", u"", u"cs.dtd", u"");
    doc.appendChild(decl);
    TdomElement* root = doc.createElement(u"checksheet");
    doc.appendChild(root);
    EXPECT_EQ(doc.getDocTypeDecl(), decl);
    EXPECT_EQ(doc.getDocumentElement(), root);
    EXPECT_EQ(decl->getPublicId(), u"");
    EXPECT_EQ(decl->getSystemId(), u"cs.dtd");
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { doc.appendChild(doc.createElement(u"second")); },
                                               u"Hierarchy request error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>(
        [&] { doc.appendChild(doc.createDocumentTypeDecl(u"checksheet", u"", u"", u"")); }, u"Hierarchy request error."));
    EXPECT_EQ(childNames(&doc), "checksheet,checksheet");
}

TEST(DocumentRules, DeclarationAfterElementIsRefused) {
    TdomDocument doc;
    doc.appendChild(doc.createElement(u"r"));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { doc.appendChild(doc.createDocumentTypeDecl(u"r", u"", u"", u"")); },
                                               u"Hierarchy request error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>(
        [&] { doc.insertBefore(doc.createDocumentTypeDecl(u"r", u"", u"", u""), nullptr); }, u"Hierarchy request error."));
    // Before the element it is accepted, and its name must match.
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { doc.insertBefore(doc.createDocumentTypeDecl(u"other", u"", u"", u""), doc.getDocumentElement()); },
        u"Invalid character error."));
    doc.insertBefore(doc.createDocumentTypeDecl(u"r", u"", u"", u""), doc.getDocumentElement());
    EXPECT_EQ(childNames(&doc), "r,r");
    EXPECT_EQ(doc.getFirstChild()->getNodeType(), ntDocument_Type_Decl_Node);
}

TEST(DocumentRules, InsertElementAfterDeclarationWithNilReference) {
    TdomDocument doc;
    doc.appendChild(doc.createDocumentTypeDecl(u"r", u"", u"", u""));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.insertBefore(doc.createElement(u"x"), nullptr); },
                                               u"Invalid character error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { doc.insertBefore(doc.createElement(u"r"), doc.getFirstChild()); },
                                               u"Hierarchy request error."));
    doc.insertBefore(doc.createElement(u"r"), nullptr);
    EXPECT_EQ(doc.getLastChild(), doc.getDocumentElement());
}

TEST(DocumentRules, FragmentWithTwoElementsLinksTheFirstOnly) {
    TdomDocument doc;
    TdomDocumentFragment* frag = doc.createDocumentFragment();
    frag->appendChild(doc.createElement(u"one"));
    frag->appendChild(doc.createElement(u"two"));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { doc.appendChild(frag); }, u"Hierarchy request error."));
    EXPECT_EQ(childNames(&doc), "one");
    EXPECT_EQ(childNames(frag), "two");
}

TEST(DocumentRules, ReplaceChildRules) {
    TdomDocument doc;
    TdomComment* comment = doc.createComment(u"c");
    doc.appendChild(comment);
    TdomElement* root = doc.createElement(u"r");
    doc.appendChild(root);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { doc.replaceChild(doc.createElement(u"s"), comment); },
                                               u"Hierarchy request error."));
    EXPECT_EQ(doc.replaceChild(doc.createElement(u"s"), root), root);
    EXPECT_EQ(doc.getDocumentElement()->getNodeName(), u"s");
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { doc.replaceChild(doc.createTextNode(u"t"), comment); },
                                               u"Hierarchy request error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>(
        [&] { doc.replaceChild(doc.createDocumentTypeDecl(u"q", u"", u"", u""), comment); }, u"Invalid character error."));
}

TEST(DocumentFactories, NameChecks) {
    TdomDocument doc;
    size_t count = doc.getRegisteredNodeCount();
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.createElement(u"1bad"); }, u"Invalid character error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.createAttribute(u""); }, u"Invalid character error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.createProcessingInstruction(u"XmL", u""); },
                                               u"Invalid character error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.createEntityReference(u"a b"); }, u"Invalid character error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.createNotation(u"n", u"{", u""); }, u"Invalid character error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.createEntity(u"e", u"", u"a'b\"", u""); },
                                               u"Invalid character error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { doc.createElementNS(u"", u"p:x"); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { doc.createElementNS(u"urn:x", u"a:b:c"); }, u"Namespace error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.createElementNS(u"urn:x", u"1a"); }, u"Invalid character error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { doc.createElementNS(u"urn:x", u"xml:x"); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { doc.createAttributeNS(u"urn:x", u"xmlns"); }, u"Namespace error."));
    EXPECT_EQ(doc.getRegisteredNodeCount(), count);  // refused names register nothing
    EXPECT_EQ(doc.createProcessingInstruction(u"xml-stylesheet", u"d")->getData(), u"d");
    TdomElement* ns = doc.createElementNS(u"urn:x", u"p:local");
    EXPECT_EQ(ns->getPrefix(), u"p");
    EXPECT_EQ(ns->getLocalName(), u"local");
    EXPECT_EQ(ns->getNamespaceURI(), u"urn:x");
    EXPECT_TRUE(ns->getIsNamespaceNode());
    EXPECT_EQ(doc.createAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns:p")->getNamespaceDeclarationKind(), 1);
}

TEST(DocumentFactories, InitDocumentElement) {
    TdomDocument doc;
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { doc.initDocumentElement(u"<"); }, u"Invalid character error."));
    TdomElement* root = doc.initDocumentElement(u"root");
    EXPECT_EQ(doc.getDocumentElement(), root);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { doc.initDocumentElement(u"again"); }, u"Hierarchy request error."));
    TdomDocument doc2;
    EXPECT_TRUE(raises<ENamespace_Err>([&] { doc2.initDocumentElementNS(u"", u"p:r"); }, u"Namespace error."));
    EXPECT_EQ(doc2.initDocumentElementNS(u"urn:a", u"p:r")->getLocalName(), u"r");
}

TEST(DocumentFreeing, LinkedNodesAreRefused) {
    TdomDocument doc;
    TdomElement* root = doc.initDocumentElement(u"r");
    TdomNode* child = root->appendChild(doc.createElement(u"c"));
    TdomNode* self = &doc;
    EXPECT_TRUE(raises<EInuse_Err>([&] { doc.freeTreeNode(child); }, u"Inuse node error."));
    EXPECT_NE(child, nullptr);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { doc.freeTreeNode(self); }, u"No modification allowed error."));
    root->setAttribute(u"a", u"1");
    TdomAttr* attr = root->getAttributeNode(u"a");
    EXPECT_TRUE(raises<EInuse_Err>([&] { doc.freeTreeNode(attr); }, u"Inuse attribute error."));
    TdomDocument other;
    TdomNode* foreign = other.createElement(u"f");
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { doc.freeTreeNode(foreign); }, u"Wrong document error."));
    TdomNode* none = nullptr;
    doc.freeTreeNode(none);
}

TEST(DocumentFreeing, RemovedSubtreeIsFreedWithAttributes) {
    TdomDocument doc;
    TdomElement* root = doc.initDocumentElement(u"r");
    TdomElement* branch = doc.createElement(u"b");
    root->appendChild(branch);
    for (int i = 0; i < 3; ++i) {
        TdomElement* leaf = doc.createElement(u"leaf");
        leaf->setAttribute(u"n", u"v");
        leaf->appendChild(doc.createTextNode(u"text"));
        branch->appendChild(leaf);
    }
    size_t before = doc.getRegisteredNodeCount();
    root->removeChild(branch);
    doc.freeTreeNode(branch);
    EXPECT_EQ(branch, nullptr);
    EXPECT_EQ(doc.getRegisteredNodeCount(), before - 10);
    EXPECT_FALSE(root->hasChildNodes());
}

TEST(DocumentFreeing, NotifiedFreeingRunsRemovals) {
    TdomDocument doc;
    TdomElement* branch = doc.createElement(u"b");
    branch->appendChild(doc.createElement(u"x"));
    branch->appendChild(doc.createElement(u"y"));
    branch->setAttribute(u"a", u"1");
    std::vector<std::string> log;
    branch->setOnNodeRemoved([&](TdomNode*, TdomNode* n) { log.push_back(u8(n->getNodeName())); });
    branch->setOnAttrModified([&](TdomNode*, TdomNode*, TdomAttrChange kind, TdomAttr* a) {
        log.push_back(u8(a->getName()) + std::to_string(kind));
    });
    doc.freeTreeNode(branch);
    EXPECT_EQ(log, (std::vector<std::string>{"x", "y", "a2"}));
}

TEST(DocumentFreeing, DeepTreesDoNotExhaustTheStack) {
    // Built from the leaf upwards: each append then checks a parent without ancestors, so the
    // build stays linear and the test measures only the freeing.
    TdomDocument doc;
    TdomElement* top = doc.createElement(u"d");
    for (int i = 0; i < 200000; ++i) {
        TdomElement* parent = doc.createElement(u"d");
        parent->appendChild(top);
        top = parent;
    }
    doc.freeTreeNode(top);
    EXPECT_EQ(doc.getRegisteredNodeCount(), 0u);
}

TEST(DocumentImport, CopiesKindsAndRefusesDocuments) {
    TdomDocument source, target;
    TdomElement* e = source.createElement(u"e");
    e->setAttribute(u"a", u"1");
    e->appendChild(source.createTextNode(u"t"));
    TdomNode* shallow = target.importNode(e, false);
    EXPECT_EQ(shallow->getOwnerDocument(), &target);
    EXPECT_EQ(static_cast<TdomElement*>(shallow)->getAttribute(u"a"), u"1");
    EXPECT_FALSE(shallow->hasChildNodes());
    TdomNode* deep = target.importNode(e, true);
    EXPECT_EQ(deep->getTextContent(), u"t");
    EXPECT_EQ(e->cloneNode(true)->getOwnerDocument(), &source);
    TdomDocument another;
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { target.importNode(&another, true); }, u"Not supported error."));
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { target.importNode(source.createDocumentTypeDecl(u"x", u"", u"", u""), true); },
                                           u"Not supported error."));
    TdomElement* ns = source.createElementNS(u"urn:a", u"p:e");
    ns->setAttributeNS(u"urn:b", u"q:at", u"v");
    auto* nsCopy = static_cast<TdomElement*>(target.importNode(ns, true));
    EXPECT_EQ(nsCopy->getAttributeNS(u"urn:b", u"at"), u"v");
    EXPECT_EQ(nsCopy->getPrefix(), u"p");
    TdomNode* ref = target.importNode(source.createEntityReference(u"amp"), false);
    EXPECT_EQ(ref->getTextContent(), u"&");
}

TEST(DocumentLookups, ElementByIdAndUri) {
    TdomDocument doc;
    TdomElement* root = doc.initDocumentElement(u"r");
    EXPECT_EQ(doc.getElementById(u"nobody"), nullptr);
    root->setAttribute(u"id", u"k1");
    EXPECT_TRUE(doc.getIdMap().add(u"k1", root->getAttributeNode(u"id")));
    EXPECT_FALSE(doc.getIdMap().add(u"k1", root->getAttributeNode(u"id")));
    EXPECT_EQ(doc.getElementById(u"k1"), root);
    doc.setDocumentURI(u"file:///tmp/x.xml");
    EXPECT_TRUE(raises<ESyntax_Err>([&] { doc.setDocumentURI(u"not a uri"); }, u"Syntax error."));
    EXPECT_EQ(doc.getDocumentURI(), u"file:///tmp/x.xml");
    EXPECT_EQ(doc.getBaseURI(), u"file:///tmp/x.xml");
}

TEST(DocumentLookups, IdMapKeepsEveryValueAcrossGrowth) {
    // Short values and long ones (kept outside their slot), many of them so the table grows
    // several times; each stays findable and a second entry of a value is refused.
    TdomDocument doc;
    TdomElement* root = doc.initDocumentElement(u"r");
    root->setAttribute(u"id", u"x");
    TdomAttr* attr = root->getAttributeNode(u"id");
    TdomIdMap& ids = doc.getIdMap();
    auto value = [](int i) {
        WideString v = u"i" + WideString(static_cast<size_t>(i % 40), u'z');
        for (char c : std::to_string(i)) v.push_back(static_cast<char16_t>(c));
        return v;
    };
    constexpr int kCount = 5000;
    for (int i = 0; i < kCount; ++i) ASSERT_TRUE(ids.add(value(i), i % 2 ? attr : nullptr));
    EXPECT_EQ(ids.size(), static_cast<size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        EXPECT_TRUE(ids.contains(value(i)));
        EXPECT_EQ(ids.find(value(i)), i % 2 ? attr : nullptr);
        EXPECT_FALSE(ids.add(value(i), attr));
    }
    EXPECT_FALSE(ids.contains(u"absent"));
    EXPECT_FALSE(ids.contains(u""));
    ids.clear();
    EXPECT_EQ(ids.size(), 0u);
    EXPECT_FALSE(ids.contains(value(1)));
    EXPECT_TRUE(ids.add(value(1), attr));
}

TEST(EntityReferences, ReadOnlyFromCreationYetExpandableAndFreeable) {
    TdomDocument doc;
    TdomEntityReference* ref = doc.createEntityReference(u"amp");
    EXPECT_TRUE(ref->getIsReadonly());
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { ref->appendChild(doc.createTextNode(u"x")); },
                                                     u"No modification allowed error."));
    ref->expand();
    ASSERT_EQ(ref->getChildCount(), 1);
    EXPECT_EQ(ref->getFirstChild()->getNodeValue(), u"&");
    EXPECT_TRUE(ref->getFirstChild()->getIsReadonly());
    EXPECT_TRUE(ref->getIsReadonly());
    ref->expand();  // again: the old content goes, the new one comes
    EXPECT_EQ(ref->getChildCount(), 1);
    size_t before = doc.getRegisteredNodeCount();
    doc.freeTreeNode(ref);
    EXPECT_EQ(doc.getRegisteredNodeCount(), before - 2);
    TdomEntityReference* unknown = doc.createEntityReference(u"nothing");
    unknown->expand();
    EXPECT_FALSE(unknown->hasChildNodes());
}

TEST(EntityReferences, ResolvingPredefinedReferencesInAnElement) {
    TdomDocument doc;
    TdomElement* e = doc.initDocumentElement(u"e");
    e->appendChild(doc.createTextNode(u"a"));
    e->appendChild(doc.createEntityReference(u"lt"));
    e->appendChild(doc.createTextNode(u"b"));
    EXPECT_TRUE(e->resolveEntityReferences(0));
    ASSERT_EQ(e->getChildCount(), 1);
    EXPECT_EQ(e->getFirstChild()->getNodeValue(), u"a<b");
    e->appendChild(doc.createEntityReference(u"undeclared"));
    EXPECT_FALSE(doc.resolveEntityReferences(0));
}

TEST(Entities, ExternalEntitiesRefuseChildren) {
    TdomDocument doc;
    TdomEntity* external = doc.createEntity(u"ext", u"", u"file.ent", u"");
    TdomEntity* internal = doc.createEntity(u"int", u"", u"", u"");
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { external->appendChild(doc.createTextNode(u"x")); },
                                                     u"No modification allowed error."));
    internal->appendChild(doc.createTextNode(u"x"));
    EXPECT_EQ(internal->getTextContent(), u"x");
}

TEST(DocumentValidation, NoDeclarationsReportThroughTheImplementation) {
    TDomImplementation impl;
    TdomDocument* doc = impl.createDocument(u"r", nullptr);
    std::vector<int> kinds;
    impl.OnError = [&](TObject*, TdomError* error, bool& go) {
        kinds.push_back(error->getKind());
        go = true;
    };
    EXPECT_TRUE(doc->validateDocument(0));
    // Nothing is declared, so an attribute is no more undeclared than its element.
    doc->getDocumentElement()->setAttribute(u"a", u"1");
    EXPECT_TRUE(doc->validateDocument(0));
    EXPECT_TRUE(kinds.empty());
    doc->getDocumentElement()->setAttribute(u"b", u"&undeclared;");
    EXPECT_FALSE(doc->validateDocument(0));
    EXPECT_EQ(kinds, std::vector<int>{23});  // the value cannot be built
    EXPECT_TRUE(doc->buildASModel());
}

TEST(DocumentValidation, DeclarationsFromTheDocumentTypeDeclaration) {
    TDomImplementation impl;
    std::vector<int> kinds;
    impl.OnError = [&](TObject*, TdomError* error, bool& go) {
        kinds.push_back(error->getKind());
        go = true;
    };
    TdomDocument* doc = impl.createDocument(u"r", nullptr);
    doc->insertBefore(doc->createDocumentTypeDecl(u"r", u"", u"",
                                                  u"<!ELEMENT r (#PCDATA)><!ATTLIST r id ID #REQUIRED>"
                                                  u"<!ENTITY sig 'by &#38;amp; for'>"),
                      doc->getDocumentElement());
    ASSERT_TRUE(doc->buildASModel());
    TdomElement* r = doc->getDocumentElement();
    r->setAttribute(u"id", u"one");
    EXPECT_TRUE(doc->validateDocument(0));
    EXPECT_TRUE(doc->validateDocument(1));  // the same IDs are no duplicates the second time
    EXPECT_EQ(doc->getElementById(u"one"), r);
    // An imported reference takes its content from this document's declarations.
    TdomDocument source;
    TdomNode* ref = doc->importNode(source.createEntityReference(u"sig"), false);
    EXPECT_EQ(ref->getTextContent(), u"by & for");
    EXPECT_FALSE(source.importNode(ref, true)->hasChildNodes());  // undeclared over there
    r->appendChild(ref);
    EXPECT_TRUE(doc->validateDocument(1));
    EXPECT_TRUE(kinds.empty());
    // clear forgets the models with the tree: a new declaration can be read again.
    doc->clear();
    EXPECT_EQ(doc->getASModels()->getLength(), 0);
    doc->appendChild(doc->createDocumentTypeDecl(u"s", u"", u"", u"<!ELEMENT s EMPTY>"));
    doc->appendChild(doc->createElement(u"s"));
    EXPECT_TRUE(doc->buildASModel());
    EXPECT_TRUE(doc->validateDocument(0));
    doc->getDocumentElement()->appendChild(doc->createTextNode(u"x"));
    EXPECT_FALSE(doc->validateDocument(0));
    EXPECT_EQ(kinds, std::vector<int>{19});
}

TEST(DocumentClear, FreesEverythingAndAllowsReuse) {
    TdomDocument doc;
    TdomElement* root = doc.initDocumentElement(u"r");
    root->appendChild(doc.createTextNode(u"t"));
    doc.createElement(u"loose");
    doc.getElementsByTagName(u"*");
    doc.createTreeWalker(root, show_all, nullptr, false);
    doc.clear();
    EXPECT_EQ(doc.getRegisteredNodeCount(), 0u);
    EXPECT_EQ(doc.getDocumentElement(), nullptr);
    doc.initDocumentElement(u"again");
    EXPECT_EQ(doc.getElementsByTagName(u"*")->getLength(), 1);
}

}  // namespace

namespace {

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

/// Builds and frees a document of 20,000 elements (a few MB); the page faults that took.
long FaultsOfALargeDocument() {
    const long before = MinorFaults();
    {
        TdomDocument doc;
        TdomElement* root = doc.createElement(u"checksheet");
        doc.appendChild(root);
        for (int s = 0; s < 200; ++s) {
            TdomElement* section = doc.createElement(u"section");
            root->appendChild(section);
            for (int o = 0; o < 100; ++o) section->appendChild(doc.createElement(u"operation"));
        }
    }
    return MinorFaults() - before;
}

}  // namespace

TEST(NodePages, FreedDocumentLeavesItsPagesToTheNext) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator holds freed memory back on purpose";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the sanitizer's allocator holds freed memory back on purpose";
#endif
#endif
    FaultsOfALargeDocument();
    // The second document lives in the first one's memory, which the system need not hand out
    // again page by page (some 1,000 faults when it has to).
    EXPECT_LT(FaultsOfALargeDocument(), 300);
}

TEST(NodePages, AFreedLargeDocumentGivesMostOfItsPagesBack) {
    // Some 60 MB of nodes: what the next documents of a batch reuse stays, the rest goes back.
    {
        TdomDocument doc;
        TdomElement* root = doc.createElement(u"r");
        doc.appendChild(root);
        for (int i = 0; i < 600'000; ++i) root->appendChild(doc.createElement(u"e"));
    }
    EXPECT_LE(TdomNodePages::spareBytes(), 8u << 20);
}
