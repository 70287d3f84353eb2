// The named maps' name index: long maps (past the few items searched in order) must answer
// every look-up as a search in list order would, through additions, replacements, removals,
// renames and edits of the list behind the map's back.

#include <random>

#include "DomTestSupport.h"

using namespace domtest;

namespace {

/// The first attribute in list order named name, as a plain search finds it.
TdomAttr* firstNamed(TdomElement* e, const WideString& name) {
    for (int i = 0; i < e->getAttributeCount(); ++i)
        if (e->getAttributeAt(i)->getNodeName() == name) return e->getAttributeAt(i);
    return nullptr;
}

TdomAttr* firstNamedNS(TdomElement* e, const WideString& uri, const WideString& local) {
    for (int i = 0; i < e->getAttributeCount(); ++i) {
        TdomAttr* a = e->getAttributeAt(i);
        if (a->getNamespaceURI() == uri && a->getLocalName() == local) return a;
    }
    return nullptr;
}

WideString nameOf(int i) {
    WideString name = u"n";
    for (char c : std::to_string(i)) name.push_back(static_cast<char16_t>(c));
    return name;
}

TEST(NamedMapIndex, RandomEditsAgreeWithSearchInOrder) {
    TdomDocument doc;
    TdomElement* e = doc.createElement(u"e");
    std::mt19937 rng(7);
    std::vector<TdomAttr*> loose;
    for (int step = 0; step < 20000; ++step) {
        const WideString name = nameOf(static_cast<int>(rng() % 80));
        switch (rng() % 5) {
        case 0:
        case 1:
            e->setAttribute(name, u"v");
            break;
        case 2:
            if (e->hasAttribute(name)) e->removeAttribute(name);
            break;
        case 3: {
            TdomAttr* attr = doc.createAttribute(name);
            TdomAttr* old = e->setAttributeNode(attr);
            EXPECT_EQ(e->getAttributeAt(e->getAttributeCount() - 1), attr);
            if (old) loose.push_back(old);
            break;
        }
        case 4:
            if (e->getAttributeCount() > 0) {
                TdomAttr* attr = e->getAttributeAt(static_cast<int>(rng() % e->getAttributeCount()));
                loose.push_back(e->removeAttributeNode(attr));
            }
            break;
        }
        const WideString probe = nameOf(static_cast<int>(rng() % 80));
        ASSERT_EQ(e->getAttributeNode(probe), firstNamed(e, probe)) << "step " << step;
        TdomNode* viaMap = e->getAttributes()->getNamedItem(probe);
        ASSERT_EQ(viaMap, firstNamed(e, probe));
        ASSERT_EQ(e->getAttributes()->getNamedItemIndex(probe),
                  viaMap ? e->getAttributes()->indexOf(viaMap) : -1);
    }
    EXPECT_GT(e->getAttributeCount(), 16);  // the index was in use
    for (TdomAttr* a : loose) {
        TdomNode* n = a;
        doc.freeTreeNode(n);
    }
}

TEST(NamedMapIndex, NamespaceAwareMapKeysOnUriAndLocalName) {
    TdomDocument doc;
    TdomElement* e = doc.createElementNS(u"urn:e", u"e");
    for (int i = 0; i < 50; ++i) {
        e->setAttributeNS(u"urn:a", u"a:" + nameOf(i), u"1");
        e->setAttributeNS(u"urn:b", u"b:" + nameOf(i), u"2");
    }
    EXPECT_EQ(e->getAttributeCount(), 100);
    EXPECT_EQ(e->getAttributeNS(u"urn:b", nameOf(7)), u"2");
    EXPECT_EQ(e->getAttributeNodeNS(u"urn:a", nameOf(49)), firstNamedNS(e, u"urn:a", nameOf(49)));
    EXPECT_EQ(e->getAttributeNodeNS(u"urn:c", nameOf(1)), nullptr);
    // A URI that is the other's prefix plus the name's start keys apart.
    EXPECT_EQ(e->getAttributeNodeNS(u"urn:", u"a" + nameOf(1)), nullptr);
    // Same URI and local name, other prefix: replaced, the new one at the end.
    TdomAttr* fresh = doc.createAttributeNS(u"urn:a", u"z:" + nameOf(3));
    TdomAttr* old = e->setAttributeNodeNS(fresh);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->getOwnerElement(), nullptr);
    EXPECT_EQ(e->getAttributeAt(e->getAttributeCount() - 1), fresh);
    EXPECT_EQ(e->getAttributeNodeNS(u"urn:a", nameOf(3)), fresh);
    e->removeAttributeNS(u"urn:a", nameOf(3));
    EXPECT_EQ(e->getAttributeNodeNS(u"urn:a", nameOf(3)), nullptr);
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { e->removeAttributeNS(u"urn:a", nameOf(3)); }, u"Node not found error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { e->getAttributes()->getNamedItem(u"a:n1"); }, u"Namespace error."));
    TdomNode* n = old;
    doc.freeTreeNode(n);
    n = fresh;
    doc.freeTreeNode(n);
}

TEST(NamedMapIndex, RenamedAttributeIsFoundByItsNewName) {
    // Namespace-aware attributes in a plain map: a new prefix changes the node name the map files.
    TdomDocument doc;
    TdomElement* e = doc.createElement(u"e");
    for (int i = 0; i < 30; ++i) e->setAttribute(nameOf(i), u"v");
    TdomAttr* p = doc.createAttributeNS(u"urn:x", u"p:x");
    TdomAttr* q = doc.createAttributeNS(u"urn:x", u"q:x");
    e->setAttributeNode(p);
    e->setAttributeNode(q);
    EXPECT_EQ(e->getAttributeNode(u"p:x"), p);
    q->setPrefix(u"p");  // two items named "p:x" now: the first in order answers
    EXPECT_EQ(e->getAttributeNode(u"q:x"), nullptr);
    EXPECT_EQ(e->getAttributeNode(u"p:x"), p);
    e->removeAttributeNode(p);
    EXPECT_EQ(e->getAttributeNode(u"p:x"), q);
    p->setPrefix(u"r");  // not in the map any more: the map is not concerned
    EXPECT_EQ(e->getAttributeNode(u"r:x"), nullptr);
    q->setPrefix(u"s");
    EXPECT_EQ(e->getAttributeNode(u"p:x"), nullptr);
    EXPECT_EQ(e->getAttributeNode(u"s:x"), q);
    TdomNode* n = p;
    doc.freeTreeNode(n);
}

TEST(NamedMapIndex, HundredThousandAttributesSetReadAndFreed) {
    TdomDocument doc;
    TdomElement* e = doc.createElement(u"e");
    doc.appendChild(e);
    for (int i = 0; i < 100000; ++i) e->setAttribute(nameOf(i), u"v");
    for (int i = 0; i < 100000; i += 997) EXPECT_EQ(e->getAttributeNode(nameOf(i)), e->getAttributeAt(i));
    EXPECT_EQ(e->getAttributeNode(nameOf(100000)), nullptr);
    // Replacing one puts the new node at the end; the order of the rest stays.
    TdomAttr* replacement = doc.createAttribute(nameOf(5));
    TdomAttr* old = e->setAttributeNode(replacement);
    EXPECT_EQ(old->getNodeName(), nameOf(5));
    EXPECT_EQ(e->getAttributeAt(5)->getNodeName(), nameOf(6));
    EXPECT_EQ(e->getAttributeAt(99999), replacement);
    EXPECT_EQ(e->getAttributeNode(nameOf(5)), replacement);
    TdomNode* n = old;
    doc.freeTreeNode(n);
    // The whole element goes with the document (attributes taken from the end, unobserved).
}

TEST(NamedMapIndex, EntityMapOfADocumentType) {
    TDomImplementation impl;
    TdomDocumentType* type = impl.createDocumentType(u"d", u"", u"");
    TdomDocument* doc = impl.createDocument(u"d", type);
    TdomNamedNodeMap* entities = type->getEntities();
    for (int i = 0; i < 40; ++i) entities->setNamedItem(doc->createEntity(nameOf(i), u"", u"", u""));
    EXPECT_EQ(entities->getNamedItem(nameOf(39)), entities->item(39));
    TdomNode* again = doc->createEntity(nameOf(0), u"", u"", u"");
    TdomNode* old = entities->setNamedItem(again);
    EXPECT_EQ(entities->item(39), again);
    EXPECT_EQ(entities->getNamedItem(nameOf(0)), again);
    EXPECT_EQ(entities->removeNamedItem(nameOf(0)), again);
    EXPECT_EQ(entities->getNamedItem(nameOf(0)), nullptr);
    EXPECT_EQ(entities->getNamedItemIndex(nameOf(1)), 0);
    doc->freeTreeNode(old);
    doc->freeTreeNode(again);
    impl.freeDocument(doc);
}

}  // namespace
