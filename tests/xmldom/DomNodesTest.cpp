// Child-list rules of the node base: check order, refusals that change nothing, fragments,
// notifications, tree positions, navigation and text content.

#include "DomTestSupport.h"

using namespace domtest;

namespace {

class NodesTest : public ::testing::Test {
protected:
    TdomDocument doc;
    TdomElement* root = doc.createElement(u"root");
    TdomElement* a = doc.createElement(u"a");
    TdomElement* b = doc.createElement(u"b");
    TdomElement* c = doc.createElement(u"c");
};

TEST_F(NodesTest, AppendInsertAndOrder) {
    root->appendChild(a);
    root->appendChild(c);
    EXPECT_EQ(root->insertBefore(b, c), b);
    EXPECT_EQ(childNames(root), "a,b,c");
    EXPECT_EQ(root->insertBefore(doc.createElement(u"d"), nullptr)->getNodeName(), u"d");
    EXPECT_EQ(childNames(root), "a,b,c,d");
    EXPECT_EQ(a->getPreviousSibling(), nullptr);
    EXPECT_EQ(root->getLastChild()->getNextSibling(), nullptr);
    EXPECT_EQ(b->getParentNode(), root);
    EXPECT_EQ(root->getChildNodes()->item(2), c);
    EXPECT_EQ(root->getChildNodes()->item(-1), nullptr);
    EXPECT_EQ(root->getChildNodes()->item(4), nullptr);
}

TEST_F(NodesTest, SiblingsStayRightAfterRemovalsInTheMiddle) {
    std::vector<TdomElement*> kids;
    for (int i = 0; i < 50; ++i) kids.push_back(static_cast<TdomElement*>(root->appendChild(doc.createElement(u"k"))));
    root->removeChild(kids[10]);
    root->insertBefore(kids[10], kids[40]);
    EXPECT_EQ(kids[9]->getNextSibling(), kids[11]);
    EXPECT_EQ(kids[10]->getNextSibling(), kids[40]);
    EXPECT_EQ(kids[39]->getNextSibling(), kids[10]);
    EXPECT_EQ(kids[41]->getPreviousSibling(), kids[40]);
    EXPECT_EQ(root->getChildNodes()->indexOf(kids[10]), 39);
}

TEST_F(NodesTest, ReAppendingLastChildFiresRemovalThenInsertion) {
    root->appendChild(a);
    root->appendChild(b);
    std::vector<std::string> events;
    root->setOnNodeRemoved([&](TdomNode*, TdomNode* n) { events.push_back("removed " + u8(n->getNodeName())); });
    root->setOnNodeInserted([&](TdomNode*, TdomNode* n) { events.push_back("inserted " + u8(n->getNodeName())); });
    root->appendChild(b);
    EXPECT_EQ(childNames(root), "a,b");
    EXPECT_EQ(events, (std::vector<std::string>{"removed b", "inserted b"}));
}

TEST_F(NodesTest, CheckOrderOfAppend) {
    TdomDocument other;
    TdomElement* foreign = other.createElement(u"x");
    TdomAttr* attr = doc.createAttribute(u"at");
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { root->appendChild(nullptr); }, u"Not supported error."));
    // Kind before document: an attribute of another document is a hierarchy error.
    TdomAttr* foreignAttr = other.createAttribute(u"y");
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { root->appendChild(foreignAttr); }, u"Hierarchy request error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { root->appendChild(attr); }, u"Hierarchy request error."));
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { root->appendChild(foreign); }, u"Wrong document error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { root->appendChild(root); }, u"Hierarchy request error."));
    root->appendChild(a);
    a->appendChild(b);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { b->appendChild(root); }, u"Hierarchy request error."));
    // Document before read-only: a foreign node on a read-only parent is a wrong-document error.
    root->setIsReadonly(true);
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { root->appendChild(foreign); }, u"Wrong document error."));
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { root->appendChild(c); }, u"No modification allowed error."));
    // The old parent being read-only also refuses the move.
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { c->appendChild(a); }, u"No modification allowed error."));
    EXPECT_EQ(childNames(root), "a");
    EXPECT_EQ(a->getParentNode(), root);
    EXPECT_FALSE(c->hasChildNodes());
}

TEST_F(NodesTest, KindsNeverAllowedAsChildren) {
    TDomImplementation impl;
    TdomDocumentType* type = impl.createDocumentType(u"t", u"", u"");
    TdomNode* refused[] = {doc.createAttribute(u"x"), doc.createEntity(u"e", u"", u"", u""), &doc};
    for (TdomNode* n : refused)
        EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { root->appendChild(n); }, u"Hierarchy request error."));
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { root->appendChild(type); }, u"Hierarchy request error."));
    TdomText* text = doc.createTextNode(u"t");
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { text->appendChild(a); }, u"Hierarchy request error."));
}

TEST_F(NodesTest, InsertBeforeRefusals) {
    root->appendChild(a);
    EXPECT_TRUE(raises<EHierarchy_Request_Err>([&] { root->insertBefore(a, a); }, u"Hierarchy request error."));
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { root->insertBefore(b, c); }, u"Node not found error."));
    EXPECT_EQ(childNames(root), "a");
    EXPECT_EQ(b->getParentNode(), nullptr);
}

TEST_F(NodesTest, FragmentsMoveTheirChildrenInOrder) {
    TdomDocumentFragment* frag = doc.createDocumentFragment();
    frag->appendChild(a);
    frag->appendChild(b);
    root->appendChild(c);
    EXPECT_EQ(root->insertBefore(frag, c), frag);
    EXPECT_EQ(childNames(root), "a,b,c");
    EXPECT_FALSE(frag->hasChildNodes());
    EXPECT_EQ(frag->getParentNode(), nullptr);
    EXPECT_EQ(root->appendChild(frag), frag);  // an empty fragment changes nothing
    EXPECT_EQ(childNames(root), "a,b,c");
}

TEST_F(NodesTest, RemoveAndReplace) {
    root->appendChild(a);
    root->appendChild(b);
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { root->removeChild(nullptr); }, u"Not supported error."));
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { root->removeChild(c); }, u"Node not found error."));
    EXPECT_EQ(root->replaceChild(c, a), a);
    EXPECT_EQ(childNames(root), "c,b");
    EXPECT_EQ(a->getParentNode(), nullptr);
    // Replacing with a node's own next sibling keeps the rest in place.
    EXPECT_EQ(root->replaceChild(b, c), c);
    EXPECT_EQ(childNames(root), "b");
    int fired = 0;
    root->setOnNodeInserted([&](TdomNode*, TdomNode*) { ++fired; });
    root->setOnNodeRemoved([&](TdomNode*, TdomNode*) { ++fired; });
    EXPECT_EQ(root->replaceChild(b, b), b);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { root->replaceChild(a, c); }, u"Node not found error."));
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { root->replaceChild(nullptr, b); }, u"Not supported error."));
}

TEST_F(NodesTest, ReplaceWithFragmentKeepsPosition) {
    root->appendChild(a);
    root->appendChild(b);
    TdomDocumentFragment* frag = doc.createDocumentFragment();
    frag->appendChild(c);
    frag->appendChild(doc.createElement(u"d"));
    root->replaceChild(frag, a);
    EXPECT_EQ(childNames(root), "c,d,b");
}

TEST_F(NodesTest, NotificationsBubbleUpAndRunDown) {
    doc.appendChild(root);
    root->appendChild(a);
    std::vector<std::string> log;
    doc.setOnNodeInserted([&](TdomNode* sender, TdomNode* n) { log.push_back(u8(sender->getNodeName()) + ":" + u8(n->getNodeName())); });
    root->setOnNodeInserted([&](TdomNode* sender, TdomNode* n) { log.push_back(u8(sender->getNodeName()) + ":" + u8(n->getNodeName())); });
    c->setOnNodeInsertedIntoDocument([&](TdomNode* sender, TdomNode* n) { log.push_back("into " + u8(sender->getNodeName()) + ":" + u8(n->getNodeName())); });
    b->appendChild(c);
    log.clear();
    a->appendChild(b);
    EXPECT_EQ(log, (std::vector<std::string>{"root:b", "#document:b", "into c:b"}));
}

TEST_F(NodesTest, HandlerExceptionsPropagateAfterTheChange) {
    root->setOnNodeInserted([](TdomNode*, TdomNode*) { throw Exception(u"boom"); });
    EXPECT_THROW(root->appendChild(a), Exception);
    EXPECT_EQ(a->getParentNode(), root);
}

TEST_F(NodesTest, TreePositions) {
    root->appendChild(a);
    root->appendChild(b);
    a->appendChild(c);
    a->setAttribute(u"x", u"1");
    a->setAttribute(u"y", u"2");
    TdomAttr* x = a->getAttributeNode(u"x");
    TdomAttr* y = a->getAttributeNode(u"y");
    EXPECT_EQ(a->compareTreePosition(a), 0x48);
    EXPECT_EQ(x->compareTreePosition(y), Tree_Position_Equivalent);
    EXPECT_EQ(a->compareTreePosition(c), Tree_Position_Descendant | Tree_Position_Following);
    EXPECT_EQ(c->compareTreePosition(a), Tree_Position_Ancestor | Tree_Position_Preceding);
    EXPECT_EQ(a->compareTreePosition(b), Tree_Position_Following);
    EXPECT_EQ(b->compareTreePosition(c), Tree_Position_Preceding);
    EXPECT_EQ(x->compareTreePosition(c), Tree_Position_Following);
    EXPECT_EQ(c->compareTreePosition(x), Tree_Position_Preceding);
    EXPECT_EQ(a->compareTreePosition(doc.createElement(u"loose")), Tree_Position_Disconnected);
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { a->compareTreePosition(nullptr); }, u"Not supported error."));
    EXPECT_TRUE(c->isAncestor(root));
    EXPECT_FALSE(root->isAncestor(c));
    EXPECT_FALSE(c->isAncestor(c));
}

TEST_F(NodesTest, ElementNavigationSkipsOtherKinds) {
    root->appendChild(doc.createTextNode(u"t"));
    root->appendChild(a);
    root->appendChild(doc.createComment(u"c"));
    root->appendChild(b);
    root->appendChild(doc.createTextNode(u"t"));
    EXPECT_EQ(root->findFirstChildElement(), a);
    EXPECT_EQ(root->findLastChildElement(), b);
    EXPECT_EQ(a->findNextSiblingElement(), b);
    EXPECT_EQ(b->findPreviousSiblingElement(), a);
    EXPECT_EQ(root->findFirstChildElementByName(u"b"), b);
    EXPECT_EQ(root->findLastChildElementByName(u"a"), a);
    EXPECT_EQ(b->findNextSiblingElement(), nullptr);
    a->appendChild(c);
    EXPECT_EQ(c->findParentElementByName(u"root"), root);
    EXPECT_EQ(c->findParentElement(), a);
    EXPECT_EQ(root->findFirstChildElementByName(u"zz"), nullptr);
}

TEST_F(NodesTest, TextContentLeavesOutCommentsAndInstructions) {
    root->appendChild(doc.createTextNode(u"one "));
    root->appendChild(doc.createComment(u"hidden"));
    root->appendChild(a);
    a->appendChild(doc.createCDATASection(u"two"));
    a->appendChild(doc.createProcessingInstruction(u"pi", u"hidden"));
    EXPECT_EQ(root->getTextContent(), u"one two");
    EXPECT_EQ(doc.getTextContent(), u"");
    EXPECT_EQ(doc.createComment(u"c")->getTextContent(), u"c");
}

TEST_F(NodesTest, ClearFreesChildren) {
    root->appendChild(a);
    a->appendChild(b);
    size_t before = doc.getRegisteredNodeCount();
    root->clear();
    EXPECT_FALSE(root->hasChildNodes());
    EXPECT_EQ(doc.getRegisteredNodeCount(), before - 2);
    root->setIsReadonly(true);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { root->clear(); }, u"No modification allowed error."));
}

TEST_F(NodesTest, BaseUriFromXmlBase) {
    TdomDocument d;
    d.setDocumentURI(u"http://example.org/dir/doc.xml");
    TdomElement* top = d.createElement(u"top");
    d.appendChild(top);
    TdomElement* inner = d.createElement(u"inner");
    top->appendChild(inner);
    TdomText* text = d.createTextNode(u"x");
    inner->appendChild(text);
    EXPECT_EQ(text->getBaseURI(), u"http://example.org/dir/doc.xml");
    inner->setAttribute(u"xml:base", u"sub/");
    EXPECT_EQ(text->getBaseURI(), u"http://example.org/dir/sub/");
    inner->setAttribute(u"xml:base", u"ftp://other/");
    EXPECT_EQ(inner->getBaseURI(), u"ftp://other/");
    // The base attribute itself takes the base of its element's parent.
    EXPECT_EQ(inner->getAttributeNode(u"xml:base")->getBaseURI(), u"http://example.org/dir/doc.xml");
    EXPECT_EQ(d.createDocumentFragment()->getBaseURI(), u"");
}

TEST_F(NodesTest, FeatureTestAndBaseValidation) {
    EXPECT_TRUE(a->isSupported(u"xml", u""));
    EXPECT_TRUE(a->isSupported(u"XML", u"2.0"));
    EXPECT_FALSE(a->isSupported(u"XML", u"3.0"));
    EXPECT_FALSE(a->isSupported(u"Views", u"2.0"));
    TdomDocumentFragment* frag = doc.createDocumentFragment();
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { frag->validate(); }, u"Not supported error."));
}

}  // namespace
