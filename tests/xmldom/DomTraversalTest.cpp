// Named node maps, the owning map, node iterators and tree walkers, also over trees that
// change under them.

#include "DomTestSupport.h"

using namespace domtest;

namespace {

/// Filter with a fixed answer for nodes of one name.
class NameFilter : public TdomNodeFilter {
public:
    NameFilter(WideString name, TdomFilterResult answer) : name_(std::move(name)), answer_(answer) {}
    TdomFilterResult acceptNode(TdomNode* node) override {
        return node->getNodeName() == name_ ? answer_ : filter_accept;
    }

private:
    WideString name_;
    TdomFilterResult answer_;
};

/// r( a( a1 a2 ) b( b1 ) c )
class TreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        r = doc.initDocumentElement(u"r");
        a = add(r, u"a");
        a1 = add(a, u"a1");
        a2 = add(a, u"a2");
        b = add(r, u"b");
        b1 = add(b, u"b1");
        c = add(r, u"c");
    }
    TdomElement* add(TdomNode* parent, const char16_t* name) {
        return static_cast<TdomElement*>(parent->appendChild(doc.createElement(name)));
    }
    static std::string names(const std::vector<TdomNode*>& nodes) {
        std::string out;
        for (TdomNode* n : nodes) out += (out.empty() ? "" : ",") + u8(n->getNodeName());
        return out;
    }
    template <class Next>
    static std::string collect(Next next) {
        std::vector<TdomNode*> seen;
        while (TdomNode* n = next()) seen.push_back(n);
        return names(seen);
    }

    TdomDocument doc;
    TdomElement *r, *a, *a1, *a2, *b, *b1, *c;
};

TEST_F(TreeTest, DocumentElementListInDocumentOrder) {
    EXPECT_EQ(doc.getElementsByTagName(u"*")->getLength(), 7);
    EXPECT_EQ(doc.getElementsByTagName(u"*")->item(3), a2);
    EXPECT_EQ(doc.getElementsByTagName(u"b1")->item(0), b1);
    TdomElement* n1 = doc.createElementNS(u"urn:x", u"p:q");
    c->appendChild(n1);
    EXPECT_EQ(doc.getElementsByTagNameNS(u"*", u"q")->getLength(), 1);
    EXPECT_EQ(doc.getElementsByTagNameNS(u"urn:x", u"*")->item(0), n1);
    EXPECT_EQ(doc.getElementsByTagNameNS(u"urn:y", u"q")->getLength(), 0);
}

TEST_F(TreeTest, IteratorVisitsInDocumentOrderBothWays) {
    TdomNodeIterator* it = doc.createNodeIterator(r, show_all, nullptr, false);
    EXPECT_EQ(collect([&] { return it->nextNode(); }), "r,a,a1,a2,b,b1,c");
    EXPECT_EQ(collect([&] { return it->previousNode(); }), "c,b1,b,a2,a1,a,r");
    TdomNodeIterator* sub = doc.createNodeIterator(a, show_all, nullptr, false);
    EXPECT_EQ(collect([&] { return sub->nextNode(); }), "a,a1,a2");
    EXPECT_EQ(sub->nextNode(), nullptr);
    EXPECT_EQ(sub->getReferenceNode(), a2);
}

TEST_F(TreeTest, IteratorTreatsRejectLikeSkip) {
    NameFilter rejectA(u"a", filter_reject);
    TdomNodeIterator* it = doc.createNodeIterator(r, show_all, &rejectA, false);
    EXPECT_EQ(collect([&] { return it->nextNode(); }), "r,a1,a2,b,b1,c");
    TdomTreeWalker* w = doc.createTreeWalker(r, show_all, &rejectA, false);
    EXPECT_EQ(collect([&] { return w->nextNode(); }), "b,b1,c");
}

TEST_F(TreeTest, IteratorWhatToShow) {
    r->appendChild(doc.createTextNode(u"t"));
    TdomNodeIterator* texts = doc.createNodeIterator(&doc, showNodeType(ntText_Node), nullptr, false);
    EXPECT_EQ(collect([&] { return texts->nextNode(); }), "#text");
}

TEST_F(TreeTest, IteratorFollowsRemovals) {
    TdomNodeIterator* it = doc.createNodeIterator(r, show_all, nullptr, false);
    it->nextNode();
    it->nextNode();
    EXPECT_EQ(it->nextNode(), a1);
    a->removeChild(a1);  // the node returned last leaves: the iterator steps back, a2 still comes
    EXPECT_EQ(it->getReferenceNode(), a);
    EXPECT_EQ(collect([&] { return it->nextNode(); }), "a2,b,b1,c");
    // Walking backwards, the reference node is the next one to return: it moves forward.
    EXPECT_EQ(it->previousNode(), c);
    EXPECT_EQ(it->previousNode(), b1);
    b->removeChild(b1);
    EXPECT_EQ(it->getReferenceNode(), b);
    EXPECT_EQ(it->nextNode(), c);
    b->appendChild(b1);
    // Removing a subtree holding the reference node steps back to the node before it.
    TdomNodeIterator* it2 = doc.createNodeIterator(r, show_all, nullptr, false);
    while (it2->nextNode() != b1) {
    }
    r->removeChild(c);
    r->removeChild(b);
    EXPECT_EQ(it2->getReferenceNode(), a2);
    EXPECT_EQ(it2->nextNode(), nullptr);
    EXPECT_EQ(it2->previousNode(), a2);
}

TEST_F(TreeTest, DetachedIteratorRaises) {
    TdomNodeIterator* it = doc.createNodeIterator(r, show_all, nullptr, false);
    it->detach();
    EXPECT_TRUE(raises<EInvalid_State_Err>([&] { it->nextNode(); }, u"Invalid state error."));
    EXPECT_TRUE(raises<EInvalid_State_Err>([&] { it->previousNode(); }, u"Invalid state error."));
    doc.clearInvalidNodeIterators();
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { doc.createNodeIterator(nullptr, show_all, nullptr, false); },
                                           u"Not supported error."));
}

TEST_F(TreeTest, WalkerMovesAndStaysInsideRoot) {
    TdomTreeWalker* w = doc.createTreeWalker(a, show_all, nullptr, false);
    EXPECT_EQ(w->parentNode(), nullptr);
    EXPECT_EQ(w->nextSibling(), nullptr);
    EXPECT_EQ(w->firstChild(), a1);
    EXPECT_EQ(w->nextSibling(), a2);
    EXPECT_EQ(w->nextSibling(), nullptr);
    EXPECT_EQ(w->getCurrentNode(), a2);
    EXPECT_EQ(w->previousSibling(), a1);
    EXPECT_EQ(w->parentNode(), a);
    EXPECT_EQ(w->lastChild(), a2);
    EXPECT_EQ(w->nextNode(), nullptr);
    EXPECT_EQ(w->previousNode(), a1);
    EXPECT_EQ(w->previousNode(), a);
    EXPECT_EQ(w->previousNode(), nullptr);
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { w->setCurrentNode(nullptr); }, u"Not supported error."));
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { w->setRoot(nullptr); }, u"Not supported error."));
}

TEST_F(TreeTest, WalkerSkipLooksIntoChildren) {
    NameFilter skipB(u"b", filter_skip);
    TdomTreeWalker* w = doc.createTreeWalker(r, show_all, &skipB, false);
    EXPECT_EQ(collect([&] { return w->nextNode(); }), "a,a1,a2,b1,c");
    w->setCurrentNode(a);
    EXPECT_EQ(w->nextSibling(), b1);  // b is skipped, its child takes its place
    EXPECT_EQ(w->parentNode(), r);
    EXPECT_EQ(collect([&] { return w->previousNode(); }), "");
    w->setCurrentNode(c);
    EXPECT_EQ(collect([&] { return w->previousNode(); }), "b1,a2,a1,a,r");
}

TEST_F(TreeTest, WalkerOverAChangingTree) {
    TdomTreeWalker* w = doc.createTreeWalker(r, show_all, nullptr, false);
    w->firstChild();
    w->nextSibling();  // b
    r->removeChild(a);
    EXPECT_EQ(w->previousSibling(), nullptr);
    b->appendChild(a);
    EXPECT_EQ(w->lastChild(), a);
    EXPECT_EQ(w->nextNode(), a1);
    TdomTreeWalker* w2 = w;
    doc.freeTreeWalker(w2);
    EXPECT_EQ(w2, nullptr);
    TdomDocument other;
    TdomTreeWalker* foreign = other.createTreeWalker(&other, show_all, nullptr, false);
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { doc.freeTreeWalker(foreign); }, u"Wrong document error."));
}

TEST_F(TreeTest, WalkerDoesNotEnterUnexpandedEntityReferences) {
    TdomEntityReference* ref = doc.createEntityReference(u"amp");
    ref->expand();
    c->appendChild(ref);
    TdomTreeWalker* closed = doc.createTreeWalker(c, show_all, nullptr, false);
    EXPECT_EQ(closed->firstChild(), ref);
    EXPECT_EQ(closed->firstChild(), nullptr);
    TdomTreeWalker* open = doc.createTreeWalker(c, show_all, nullptr, true);
    open->firstChild();
    EXPECT_EQ(open->firstChild()->getNodeValue(), u"&");
}

// ---- named maps -------------------------------------------------------------------------

TEST(NamedNodeMap, SetRemoveAndChecks) {
    TdomDocument doc;
    TdomElement* e = doc.createElement(u"e");
    TdomNamedNodeMap* map = e->getAttributes();
    TdomAttr* x1 = doc.createAttribute(u"x");
    TdomAttr* y = doc.createAttribute(u"y");
    EXPECT_EQ(map->setNamedItem(x1), nullptr);
    map->setNamedItem(y);
    TdomAttr* x2 = doc.createAttribute(u"x");
    EXPECT_EQ(map->setNamedItem(x2), x1);
    EXPECT_EQ(x1->getOwnerElement(), nullptr);
    EXPECT_EQ(map->item(1), x2);  // the new one goes to the end
    EXPECT_EQ(x2->getOwnerElement(), e);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { map->setNamedItem(doc.createTextNode(u"t")); },
                                               u"Hierarchy request error."));
    TdomElement* other = doc.createElement(u"o");
    TdomAttr* held = other->setAttribute(u"z", u"");
    EXPECT_TRUE(raises<EInuse_Err>([&] { map->setNamedItem(held); }, u"Inuse attribute error."));
    TdomDocument foreign;
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { map->setNamedItem(foreign.createAttribute(u"f")); },
                                            u"Wrong document error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { map->getNamedItemNS(u"", u"x"); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { map->removeNamedItem(u"none"); }, u"Node not found error."));
    EXPECT_EQ(map->removeNamedItem(u"y"), y);
    EXPECT_EQ(y->getOwnerElement(), nullptr);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { map->setNamespaceAware(true); },
                                                     u"No modification allowed error."));
    map->setReadonly(true);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { map->removeItem(x2); }, u"No modification allowed error."));
    map->setReadonly(false);
    map->removeItem(x2);
    EXPECT_EQ(map->getLength(), 0);
    EXPECT_EQ(x2->getOwnerElement(), nullptr);
    doc.freeTreeNode(x2);
}

TEST(OwnerNamedNodeMap, OwnsAndFreesItsItems) {
    TdomDocument doc;
    size_t base = doc.getRegisteredNodeCount();
    {
        TdomOwnerNamedNodeMap map([](const TdomNode* n) { return n->getNodeType() == ntNotation_Node; });
        map.add(doc.createNotation(u"n2", u"", u""));
        TdomNotation* n1 = doc.createNotation(u"n1", u"", u"");
        map.add(n1);
        EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { map.add(doc.createComment(u"c")); }, u"Hierarchy request error."));
        EXPECT_THROW(map.add(doc.createNotation(u"n1", u"", u"")), EListError);
        EXPECT_EQ(map.item(0), n1);  // kept in name order
        EXPECT_TRUE(map.hasNamedItem(u"n2"));
        EXPECT_EQ(map.getNamedItem(u"zz"), nullptr);
        EXPECT_EQ(map.extract(n1), 0);
        EXPECT_TRUE(raises<EListError>([&] { map.extract(n1); }, u"Item not found"));
        EXPECT_TRUE(raises<EListError>([&] { map.Delete(5); }, u"List index out of bounds (5)"));
        EXPECT_EQ(map.removeNamedItem(u"nope"), -1);
        doc.freeTreeNode(n1);
    }
    // The comment and the refused duplicate stay with the document; the map freed its one item.
    EXPECT_EQ(doc.getRegisteredNodeCount(), base + 2);
}

}  // namespace
