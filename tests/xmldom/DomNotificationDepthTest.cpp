// Insertion and removal notifications in deep trees of a document with an implementation:
// building stays linear, and neither the climb to the document nor the walk over a subtree
// recurses (the trees here are far deeper than the stack would allow).

#include "DomTestSupport.h"

using namespace domtest;

namespace {

constexpr int kDepth = 200000;

struct DeepDocument : ::testing::Test {
    TDomImplementation impl;
    std::unique_ptr<TdomDocument> doc = std::make_unique<TdomDocument>(&impl);
    int inserted = 0;
    int removed = 0;
    TdomNode* lastInserted = nullptr;

    void SetUp() override {
        impl.OnNodeInserted = [this](TObject*, TdomDocument* d, TdomNode* n) {
            EXPECT_EQ(d, doc.get());
            ++inserted;
            lastInserted = n;
        };
        impl.OnNodeRemoved = [this](TObject*, TdomDocument*, TdomNode*) { ++removed; };
    }

    /// Appends each new element to the deepest one; returns the deepest.
    TdomElement* buildDown(TdomNode* top, int depth) {
        TdomNode* deepest = top;
        for (int i = 0; i < depth; ++i) deepest = deepest->appendChild(doc->createElement(u"e"));
        return static_cast<TdomElement*>(deepest);
    }
};

TEST_F(DeepDocument, BuildingFromTheTopNotifiesTheImplementationOncePerNode) {
    TdomElement* root = doc->createElement(u"root");
    doc->appendChild(root);
    TdomElement* deepest = buildDown(root, kDepth);
    EXPECT_EQ(inserted, kDepth + 1);
    EXPECT_EQ(lastInserted, deepest);
    // Removing the deepest node and putting it back reaches the implementation both times.
    TdomNode* parent = deepest->getParentNode();
    parent->removeChild(deepest);
    EXPECT_EQ(removed, 1);
    lastInserted = nullptr;
    parent->appendChild(deepest);
    EXPECT_EQ(inserted, kDepth + 2);
    EXPECT_EQ(lastInserted, deepest);
}

TEST_F(DeepDocument, DetachedLinksAreNotReportedUntilTheTreeIsAttached) {
    TdomElement* top = doc->createElement(u"e");
    for (int i = 1; i < kDepth; ++i) {
        TdomElement* parent = doc->createElement(u"e");
        parent->appendChild(top);
        top = parent;
    }
    EXPECT_EQ(inserted, 0);
    doc->appendChild(top);
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(lastInserted, top);
    // Once in the document, a node added at the bottom is reported; once out, it is not.
    TdomNode* bottom = top;
    while (bottom->hasChildNodes()) bottom = bottom->getFirstChild();
    bottom->appendChild(doc->createTextNode(u"t"));
    EXPECT_EQ(inserted, 2);
    doc->removeChild(top);
    EXPECT_EQ(removed, 1);
    bottom->appendChild(doc->createTextNode(u"u"));
    EXPECT_EQ(inserted, 2);
    doc->freeTreeNode(top);
}

TEST_F(DeepDocument, HandlersAtBothEndsOfADeepChainSeeEveryNotification) {
    TdomElement* root = doc->createElement(u"root");
    doc->appendChild(root);
    TdomElement* deepest = buildDown(root, kDepth);
    std::vector<std::string> log;
    const auto record = [&log](const char* what) {
        return [&log, what](TdomNode* sender, TdomNode* node) {
            log.push_back(std::string(what) + " " + u8(sender->getNodeName()) + ":" + u8(node->getNodeName()));
        };
    };
    // Handlers from here on: the notifications take their full course.
    deepest->setOnNodeInsertedIntoDocument(record("into"));
    deepest->setOnNodeRemovedFromDocument(record("out"));
    root->setOnNodeInserted(record("inserted"));
    root->setOnNodeRemoved(record("removed"));
    doc->setOnNodeInserted(record("doc-inserted"));

    // A leaf added at the bottom climbs the whole chain to the root and the document.
    TdomNode* text = deepest->appendChild(doc->createTextNode(u"t"));
    EXPECT_EQ(log, (std::vector<std::string>{"inserted root:#text", "doc-inserted #document:#text"}));
    EXPECT_EQ(inserted, kDepth + 2);
    log.clear();
    deepest->removeChild(text);
    doc->freeTreeNode(text);
    EXPECT_EQ(log, (std::vector<std::string>{"removed root:#text"}));
    log.clear();

    // Moving the whole chain walks down to its deepest node, out and back in.
    TdomNode* chain = root->getFirstChild();
    root->removeChild(chain);
    root->appendChild(chain);
    EXPECT_EQ(log, (std::vector<std::string>{"removed root:e", "out e:e", "inserted root:e",
                                             "doc-inserted #document:e", "into e:e"}));
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(inserted, kDepth + 3);
}

TEST_F(DeepDocument, AppendingALeafNeedsNoAncestorSearch) {
    // A leaf cannot be an ancestor; a node with children still is checked.
    TdomElement* root = doc->createElement(u"root");
    doc->appendChild(root);
    TdomElement* deepest = buildDown(root, 1000);
    TdomNode* chain = root->getFirstChild();
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { deepest->appendChild(chain); }, u"Hierarchy request error."));
    EXPECT_EQ(chain->getParentNode(), root);
}

TEST_F(DeepDocument, DataAndAttributeChangesAtTheBottomClimbWithoutRecursion) {
    std::vector<std::string> log;
    impl.OnCharacterDataModified = [&](TObject*, TdomDocument*, TdomNode* n) { log.push_back("data " + u8(n->getNodeValue())); };
    impl.OnAttrModified = [&](TObject*, TdomDocument*, TdomNode* n, TdomAttrChange change, TdomAttr* a) {
        log.push_back("attr " + u8(n->getNodeName()) + " " + std::to_string(change) + " " + u8(a->getNodeName()));
    };
    TdomElement* root = doc->createElement(u"root");
    doc->appendChild(root);
    TdomElement* deepest = buildDown(root, kDepth);
    auto* text = static_cast<TdomText*>(deepest->appendChild(doc->createTextNode(u"a")));
    log.clear();
    // No node handler: straight to the implementation.
    text->appendData(u"b");
    deepest->setAttribute(u"k", u"v");
    EXPECT_EQ(log, (std::vector<std::string>{"data ab", "attr e 0 k"}));
    // A handler on the root: the climb passes it on the way to the document.
    log.clear();
    root->setOnCharacterDataModified([&](TdomNode* sender, TdomNode*) { log.push_back("root " + u8(sender->getNodeName())); });
    text->appendData(u"c");
    deepest->setAttribute(u"k", u"w");
    EXPECT_EQ(log, (std::vector<std::string>{"root root", "data abc", "attr e 1 k"}));
    // Out of the document nothing reaches the implementation.
    log.clear();
    TdomText* loose = doc->createTextNode(u"x");
    log.clear();
    loose->appendData(u"y");
    EXPECT_TRUE(log.empty());
}

} // namespace
