// Attribute maps in insertion order, namespace operations and rules, literal resolution,
// normalization, prefixes and character data indices.

#include "DomTestSupport.h"

using namespace domtest;

namespace {

class ElementsTest : public ::testing::Test {
protected:
    TdomDocument doc;
    TdomElement* e = doc.createElement(u"e");
};

TEST_F(ElementsTest, SetAttributeReplacesInPlaceAndAppendsNew) {
    std::vector<int> kinds;
    e->setOnAttrModified([&](TdomNode*, TdomNode* source, TdomAttrChange kind, TdomAttr*) {
        EXPECT_EQ(source, e);
        kinds.push_back(kind);
    });
    TdomAttr* first = e->setAttribute(u"a", u"1");
    ASSERT_NE(first, nullptr);
    e->setAttribute(u"b", u"2");
    EXPECT_EQ(e->setAttribute(u"a", u"3"), nullptr);
    EXPECT_EQ(e->getAttributes()->item(0), first);
    EXPECT_EQ(e->getAttribute(u"a"), u"3");
    EXPECT_EQ(e->getAttributes()->item(1)->getNodeName(), u"b");
    EXPECT_EQ(kinds, (std::vector<int>{AC_ADDITION, AC_ADDITION, AC_MODIFICATION}));
    EXPECT_EQ(first->getOwnerElement(), e);
    EXPECT_EQ(first->getParentNode(), nullptr);
    EXPECT_TRUE(e->hasAttributes());
    EXPECT_EQ(e->getAttribute(u"missing"), u"");
}

TEST_F(ElementsTest, RefusedSetAttributeChangesNothing) {
    size_t count = doc.getRegisteredNodeCount();
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { e->setAttribute(u"bad name", u"v"); }, u"Invalid character error."));
    e->setIsReadonly(true);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { e->setAttribute(u"a", u"v"); }, u"No modification allowed error."));
    EXPECT_EQ(doc.getRegisteredNodeCount(), count);
    EXPECT_FALSE(e->hasAttributes());
    EXPECT_TRUE(e->getAttributes()->getReadonly());
}

TEST_F(ElementsTest, SetAttributeNodeChecks) {
    TdomElement* other = doc.createElement(u"o");
    TdomAttr* held = other->setAttribute(u"h", u"1");
    EXPECT_TRUE(raises<EInuse_Err>([&] { e->setAttributeNode(held); }, u"Inuse attribute error."));
    TdomAttr* attr = doc.createAttribute(u"x");
    EXPECT_EQ(e->setAttributeNode(attr), nullptr);
    EXPECT_EQ(e->setAttributeNode(attr), nullptr);  // already here: nothing changes
    EXPECT_EQ(e->getAttributeCount(), 1);
    TdomAttr* second = doc.createAttribute(u"x");
    EXPECT_EQ(e->setAttributeNode(second), attr);
    EXPECT_EQ(attr->getOwnerElement(), nullptr);
    TdomDocument foreign;
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { e->setAttributeNode(foreign.createAttribute(u"f")); },
                                            u"Wrong document error."));
    TdomElement* ns = doc.createElementNS(u"urn:a", u"n");
    EXPECT_TRUE(raises<ENamespace_Err>([&] { ns->setAttributeNode(doc.createAttribute(u"p")); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { e->setAttributeNodeNS(doc.createAttributeNS(u"urn:a", u"p")); },
                                       u"Namespace error."));
}

TEST_F(ElementsTest, RemoveAttribute) {
    TdomAttr* a = e->setAttribute(u"a", u"1");
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { e->removeAttribute(u"zz"); }, u"Node not found error."));
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { e->removeAttributeNode(doc.createAttribute(u"a")); }, u"Node not found error."));
    e->removeAttribute(u"a");
    EXPECT_EQ(a->getOwnerElement(), nullptr);
    EXPECT_FALSE(e->hasAttribute(u"a"));
    doc.freeTreeNode(a);
}

TEST_F(ElementsTest, NamespaceAttributes) {
    TdomElement* ns = doc.createElementNS(u"urn:a", u"p:n");
    ns->setAttributeNS(u"urn:b", u"q:x", u"1");
    EXPECT_EQ(ns->setAttributeNS(u"urn:b", u"r:x", u"2"), nullptr);  // same URI and local name
    EXPECT_EQ(ns->getAttributeNS(u"urn:b", u"x"), u"2");
    EXPECT_TRUE(ns->hasAttributeNS(u"urn:b", u"x"));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { ns->getAttribute(u"q:x"); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { ns->setAttributeNS(u"urn:b", u"xmlns:z", u""); }, u"Namespace error."));
    TdomAttr* decl = ns->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns:z", u"urn:z");
    EXPECT_EQ(decl->getNamespaceDeclarationKind(), 1);
    ns->removeAttributeNS(u"urn:b", u"x");
    EXPECT_FALSE(ns->hasAttributeNS(u"urn:b", u"x"));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { e->getAttributeNodeNS(u"urn:b", u"x"); }, u"Namespace error."));
}

TEST_F(ElementsTest, Prefixes) {
    TdomElement* ns = doc.createElementNS(u"urn:a", u"p:n");
    ns->setPrefix(u"q");
    EXPECT_EQ(ns->getNodeName(), u"q:n");
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { ns->setPrefix(u"1"); }, u"Invalid character error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { ns->setPrefix(u"a:b"); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { ns->setPrefix(u"xml"); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { e->setPrefix(u"p"); }, u"Namespace error."));
    TdomAttr* xmlns = doc.createAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns");
    EXPECT_TRUE(raises<ENamespace_Err>([&] { xmlns->setPrefix(u"x"); }, u"Namespace error."));
    EXPECT_EQ(xmlns->getNamespaceDeclarationKind(), 0);
}

TEST_F(ElementsTest, ResolveLiteral) {
    TdomAttr* a = doc.createAttribute(u"a");
    WideString out;
    a->resolveLiteral(u"x&lt;y", out);
    EXPECT_EQ(out, u"x<y");
    a->resolveLiteral(u"t\tl\nc\r&#65;&#x42;&amp;&quot;&apos;&gt;", out);
    EXPECT_EQ(out, u"t l c AB&\"'>");
    EXPECT_TRUE(raises<EConvertError>([&] { a->resolveLiteral(u"ab&lt", out); }, u"Malformed literal attribute value."));
    EXPECT_TRUE(raises<EConvertError>([&] { a->resolveLiteral(u"&nope;", out); }, u"&nope; cannot be resolved."));
    EXPECT_EQ(out, u"t l c AB&\"'>");  // a refused literal leaves the result alone
    a->setNodeValue(u"&amp;x");
    EXPECT_EQ(a->getNodeValue(), u"&amp;x");  // stored unchanged
    EXPECT_EQ(a->getLiteralValue(), u"&x");
    e->setAttributeNode(a);
    EXPECT_EQ(e->getAttributeLiteral(u"a"), u"&x");
    e->setAttribute(u"b", u"&bad;");
    EXPECT_TRUE(raises<EConvertError>([&] { e->getAttributeLiteral(u"b"); }, u"Literal attribute value cannot be resolved."));
    EXPECT_FALSE(a->refersToExternalEntity());
    EXPECT_TRUE(raises<EConvertError>([&] { e->getAttributeNode(u"b")->refersToEntityWithLessThan(); },
                                      u"Entity reference cannot be resolved."));
    EXPECT_FALSE(a->isIdAttribute());
}

TEST_F(ElementsTest, NormalizeJoinsAdjacentTexts) {
    e->appendChild(doc.createTextNode(u"a"));
    e->appendChild(doc.createTextNode(u"b"));
    e->appendChild(doc.createTextNode(u"c"));
    e->appendChild(doc.createCDATASection(u"d"));
    TdomElement* inner = doc.createElement(u"i");
    inner->appendChild(doc.createTextNode(u"x"));
    inner->appendChild(doc.createTextNode(u"y"));
    e->appendChild(inner);
    size_t before = doc.getRegisteredNodeCount();
    e->normalize();
    EXPECT_EQ(childNames(e), "#text,#cdata-section,i");
    EXPECT_EQ(e->getFirstChild()->getNodeValue(), u"abc");
    EXPECT_EQ(inner->getFirstChild()->getNodeValue(), u"xy");
    EXPECT_EQ(doc.getRegisteredNodeCount(), before - 3);
}

TEST_F(ElementsTest, ElementListsAreLiveAndIncludeTheRoot) {
    e->appendChild(doc.createElement(u"e"));
    TdomElement* x = doc.createElement(u"x");
    e->appendChild(x);
    TdomNodeList* list = e->getElementsByTagName(u"e");
    EXPECT_EQ(list, e->getElementsByTagName(u"e"));  // cached
    EXPECT_EQ(list->getLength(), 2);
    EXPECT_EQ(list->item(0), e);
    x->appendChild(doc.createElement(u"e"));
    EXPECT_EQ(list->getLength(), 3);
    EXPECT_EQ(list->item(3), nullptr);
    EXPECT_EQ(list->indexOf(x), -1);
    EXPECT_EQ(e->getElementsByTagName(u"*")->getLength(), 4);
}

// ---- character data ---------------------------------------------------------------------

TEST(CharacterData, IndexChecks) {
    TdomDocument doc;
    TdomText* t = doc.createTextNode(u"hello");
    EXPECT_EQ(t->substringData(5, 5), u"");
    EXPECT_EQ(t->substringData(1, 100), u"ello");
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { t->substringData(6, 0); }, u"Index size error."));
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { t->substringData(-1, 0); }, u"Index size error."));
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { t->replaceData(0, -1, u""); }, u"Index size error."));
    t->insertData(5, u"!");
    t->deleteData(0, 1);
    EXPECT_EQ(t->getData(), u"ello!");
    t->replaceData(0, 99, u"new");
    EXPECT_EQ(t->getData(), u"new");
    t->appendData(u"er");
    EXPECT_EQ(t->getLength(), 5);
    t->setIsReadonly(true);
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { t->deleteData(0, 1); }, u"No modification allowed error."));
    // Read-only is refused before the indices are looked at.
    EXPECT_TRUE(raises<ENo_Modification_Allowed_Err>([&] { t->replaceData(99, 0, u""); }, u"No modification allowed error."));
    EXPECT_EQ(t->substringData(0, 1), u"n");
}

TEST(CharacterData, OneNotificationPerChange) {
    TdomDocument doc;
    TdomElement* e = doc.initDocumentElement(u"e");
    TdomText* t = doc.createTextNode(u"");
    EXPECT_EQ(t->getLength(), 0);
    e->appendChild(t);
    int count = 0;
    doc.setOnCharacterDataModified([&](TdomNode*, TdomNode* n) {
        EXPECT_EQ(n, t);
        ++count;
    });
    t->replaceData(0, 0, u"abc");
    t->appendData(u"d");
    EXPECT_EQ(count, 2);
}

TEST(CharacterData, SplitText) {
    TdomDocument doc;
    TdomElement* e = doc.createElement(u"e");
    TdomText* t = doc.createTextNode(u"abcdef");
    e->appendChild(t);
    e->appendChild(doc.createComment(u"after"));
    TdomText* tail = t->splitText(2);
    EXPECT_EQ(t->getData(), u"ab");
    EXPECT_EQ(tail->getData(), u"cdef");
    EXPECT_EQ(childNames(e), "#text,#text,#comment");
    EXPECT_EQ(t->getNextSibling(), tail);
    TdomText* empty = tail->splitText(4);
    EXPECT_EQ(empty->getData(), u"");
    TdomText* loose = doc.createTextNode(u"xy");
    TdomText* all = loose->splitText(0);
    EXPECT_EQ(loose->getData(), u"");
    EXPECT_EQ(all->getData(), u"xy");
    EXPECT_EQ(all->getParentNode(), nullptr);
    EXPECT_TRUE(raises<EIndex_Size_Err>([&] { loose->splitText(1); }, u"Index size error."));
    TdomCDATASection* cdata = doc.createCDATASection(u"12");
    EXPECT_EQ(cdata->splitText(1)->getNodeType(), ntText_Node);
    EXPECT_FALSE(doc.createTextNode(u" \n")->isWhitespaceInElementContent());  // no declaration
}

}  // namespace
