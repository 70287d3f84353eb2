// Node lists and named maps: index access, the live element lists (computed on each call by
// a document-order walk) and the named maps with their refusal order.

#include "XmlDomLists.h"

#include <algorithm>
#include <unordered_map>

#include "XmlDomElements.h"
#include "XmlDomInternal.h"
#include "XmlDomMessages.h"

namespace xmldom {

using namespace detail;

// ---- plain view -----------------------------------------------------------------------------

int TdomNodeList::getLength() const { return list_ ? static_cast<int>(list_->size()) : 0; }

int TdomNodeList::indexOf(const TdomNode* node) const {
    if (!list_) return -1;
    auto it = std::find(list_->begin(), list_->end(), node);
    return it == list_->end() ? -1 : static_cast<int>(it - list_->begin());
}

TdomNode* TdomNodeList::item(int index) const {
    if (!list_ || index < 0 || index >= static_cast<int>(list_->size())) return nullptr;
    return (*list_)[static_cast<size_t>(index)];
}

// ---- live element lists ---------------------------------------------------------------------

namespace {

/// The node after n in document order within root's subtree, nil at the end.
const TdomNode* nextInSubtree(const TdomNode* n, const TdomNode* root) {
    if (TdomNode* child = n->getFirstChild()) return child;
    while (n && n != root) {
        if (TdomNode* sibling = n->getNextSibling()) return sibling;
        n = n->getParentNode();
    }
    return nullptr;
}

}  // namespace

TdomElementsNodeList::TdomElementsNodeList(const WideString& name, TdomNode* root)
    : TdomNodeList(nullptr), name_(name), root_(root) {}

bool TdomElementsNodeList::matches(const TdomNode* node) const {
    return node->getNodeType() == ntElement_Node && (name_ == u"*" || node->getNodeName() == name_);
}

int TdomElementsNodeList::getLength() const {
    int count = 0;
    for (const TdomNode* n = root_; n; n = nextInSubtree(n, root_))
        if (matches(n)) ++count;
    return count;
}

int TdomElementsNodeList::indexOf(const TdomNode* node) const {
    int index = 0;
    for (const TdomNode* n = root_; n; n = nextInSubtree(n, root_)) {
        if (!matches(n)) continue;
        if (n == node) return index;
        ++index;
    }
    return -1;
}

TdomNode* TdomElementsNodeList::item(int index) const {
    if (index < 0) return nullptr;
    for (const TdomNode* n = root_; n; n = nextInSubtree(n, root_))
        if (matches(n) && index-- == 0) return const_cast<TdomNode*>(n);
    return nullptr;
}

TdomElementsNodeListNS::TdomElementsNodeListNS(const WideString& namespaceURI, const WideString& localName,
                                               TdomNode* root)
    : TdomElementsNodeList(localName, root), namespaceURI_(namespaceURI) {}

bool TdomElementsNodeListNS::matches(const TdomNode* node) const {
    return node->getNodeType() == ntElement_Node &&
           (namespaceURI_ == u"*" || node->getNamespaceURI() == namespaceURI_) &&
           (name_ == u"*" || node->getLocalName() == name_);
}

// ---- named node map -------------------------------------------------------------------------

namespace {

bool allowedIn(uint16_t mask, const TdomNode* node) {
    unsigned t = node->getNodeType();
    return t < 16 && (mask & (1u << t));
}

/// Maps up to this many items are searched in order; longer ones through the name index.
constexpr size_t kIndexedFrom = 16;

/// Index key of a namespace URI and local name: the URI's length (two units), the URI, the name.
WideString nsKey(std::u16string_view namespaceURI, std::u16string_view localName) {
    WideString key;
    key.reserve(2 + namespaceURI.size() + localName.size());
    key.push_back(static_cast<char16_t>(namespaceURI.size() >> 16));
    key.push_back(static_cast<char16_t>(namespaceURI.size() & 0xFFFF));
    key.append(namespaceURI);
    key.append(localName);
    return key;
}

}  // namespace

/// Items by key (node name, or namespace URI and local name in a namespace-aware map): the
/// first in list order and how many share the key. Agrees with a list of listSize items.
struct TdomNamedNodeMap::NameIndex {
    struct Entry {
        TdomNode* first;
        size_t count;
    };
    std::unordered_map<WideString, Entry> byKey;
    size_t listSize = 0;
};

TdomNamedNodeMap::TdomNamedNodeMap(TdomNode* owner, uint16_t allowedTypes, TdomNodeVector* list)
    : TdomNodeList(list), owner_(owner), allowedTypes_(allowedTypes) {}

TdomNamedNodeMap::~TdomNamedNodeMap() = default;

namespace {

/// node's name is name; an attribute's name is compared without a copy.
bool nameIs(const TdomNode* node, const WideString& name) {
    if (node->getNodeType() == ntAttribute_Node) return static_cast<const TdomAttr*>(node)->getNameRef() == name;
    return node->getNodeName() == name;
}

}  // namespace

WideString TdomNamedNodeMap::keyOf(const TdomNode* node) const {
    if (!namespaceAware_) {
        if (node->getNodeType() == ntAttribute_Node) return static_cast<const TdomAttr*>(node)->getNameRef();
        return node->getNodeName();
    }
    if (node->getNodeType() == ntAttribute_Node) {
        const auto& names = static_cast<const TdomAttr*>(node)->names_;
        return names ? nsKey(names->namespaceURI, names->localName) : nsKey({}, {});
    }
    return nsKey(node->getNamespaceURI(), node->getLocalName());
}

TdomNamedNodeMap::NameIndex* TdomNamedNodeMap::currentIndex() const {
    const size_t size = mutableList()->size();
    if (index_ && index_->listSize != size) index_.reset();  // the list changed behind the map
    if (!index_ && size > kIndexedFrom) {
        auto index = std::make_unique<NameIndex>();
        index->byKey.reserve(size);
        for (TdomNode* n : *mutableList()) {
            if (!allowedIn(allowedTypes_, n)) continue;
            ++index->byKey.try_emplace(keyOf(n), NameIndex::Entry{n, 0}).first->second.count;
        }
        index->listSize = size;
        index_ = std::move(index);
    }
    return index_.get();
}

void TdomNamedNodeMap::appendItem(TdomNode* node) {
    // Room for three at the first item, as a node's child list takes it.
    if (mutableList()->capacity() == 0) mutableList()->reserve(3);
    mutableList()->push_back(node);
    if (!index_) return;
    if (index_->listSize + 1 != mutableList()->size()) {
        index_.reset();
        return;
    }
    index_->listSize = mutableList()->size();
    if (allowedIn(allowedTypes_, node))
        ++index_->byKey.try_emplace(keyOf(node), NameIndex::Entry{node, 0}).first->second.count;
}

void TdomNamedNodeMap::forget(TdomNode* node) {
    if (!index_) return;
    if (index_->listSize != mutableList()->size() + 1) {
        index_.reset();
        return;
    }
    index_->listSize = mutableList()->size();
    if (!allowedIn(allowedTypes_, node)) return;
    WideString key = keyOf(node);
    auto it = index_->byKey.find(key);
    if (it == index_->byKey.end()) {
        index_.reset();
        return;
    }
    NameIndex::Entry& entry = it->second;
    if (--entry.count == 0) {
        index_->byKey.erase(it);
    } else if (entry.first == node) {
        // The next item of the same key becomes the first (only with duplicate names).
        entry.first = nullptr;
        for (TdomNode* n : *mutableList())
            if (allowedIn(allowedTypes_, n) && keyOf(n) == key) {
                entry.first = n;
                break;
            }
        if (!entry.first) index_.reset();
    }
}

void TdomNamedNodeMap::itemRenamed() { index_.reset(); }  // rebuilt on the next look-up

bool TdomNamedNodeMap::eraseItem(TdomNode* node) {
    TdomNodeVector& list = *mutableList();
    if (!list.empty() && list.back() == node) {
        list.pop_back();  // freeing a whole map takes its items from the end
    } else {
        auto it = std::find(list.begin(), list.end(), node);
        if (it == list.end()) return false;
        list.erase(it);
    }
    forget(node);
    return true;
}

TdomNode* TdomNamedNodeMap::findNamed(const WideString& name) const {
    if (NameIndex* index = currentIndex()) {
        auto it = index->byKey.find(name);
        return it == index->byKey.end() ? nullptr : it->second.first;
    }
    for (TdomNode* n : *mutableList())
        if (allowedIn(allowedTypes_, n) && nameIs(n, name)) return n;
    return nullptr;
}

TdomNode* TdomNamedNodeMap::findNamedNS(const WideString& namespaceURI, const WideString& localName) const {
    if (NameIndex* index = currentIndex()) {
        auto it = index->byKey.find(nsKey(namespaceURI, localName));
        return it == index->byKey.end() ? nullptr : it->second.first;
    }
    for (TdomNode* n : *mutableList()) {
        if (!allowedIn(allowedTypes_, n)) continue;
        if (n->getNodeType() == ntAttribute_Node) {
            const auto& names = static_cast<const TdomAttr*>(n)->names_;
            bool same = names ? names->namespaceURI == namespaceURI && names->localName == localName
                              : namespaceURI.empty() && localName.empty();
            if (same) return n;
        } else if (n->getNamespaceURI() == namespaceURI && n->getLocalName() == localName) {
            return n;
        }
    }
    return nullptr;
}

int TdomNamedNodeMap::getNamedItemIndex(const WideString& name) const {
    if (namespaceAware_) raiseNamespace();
    TdomNode* n = findNamed(name);
    return n ? indexOf(n) : -1;
}

int TdomNamedNodeMap::indexOfNS(const WideString& namespaceURI, const WideString& localName) const {
    if (!namespaceAware_) raiseNamespace();
    TdomNode* n = findNamedNS(namespaceURI, localName);
    return n ? indexOf(n) : -1;
}

TdomNode* TdomNamedNodeMap::getNamedItem(const WideString& name) const {
    if (namespaceAware_) raiseNamespace();
    return findNamed(name);
}

TdomNode* TdomNamedNodeMap::getNamedItemNS(const WideString& namespaceURI, const WideString& localName) const {
    if (!namespaceAware_) raiseNamespace();
    return findNamedNS(namespaceURI, localName);
}

TdomNode* TdomNamedNodeMap::takeAt(int index) {
    TdomNode* node = (*mutableList())[static_cast<size_t>(index)];
    mutableList()->erase(mutableList()->begin() + index);
    forget(node);
    if (node->getNodeType() == ntAttribute_Node) static_cast<TdomAttr*>(node)->ownerElement_ = nullptr;
    return node;
}

void TdomNamedNodeMap::checkInsertable(TdomNode* node) const {
    if (!node) raiseNotSupported();
    TdomDocument* mapDocument = owner_ ? owner_->getOwnerDocument() : nullptr;
    if (node->getOwnerDocument() != mapDocument) raiseWrongDocument();
    if (!allowedIn(allowedTypes_, node)) raiseHierarchy();
    if (node->getParentNode()) raiseInuseNode();
    if (node->getNodeType() == ntAttribute_Node) {
        TdomElement* holder = static_cast<TdomAttr*>(node)->ownerElement_;
        if (holder && holder != owner_) raiseInuseAttribute();
    }
}

void TdomNamedNodeMap::putAtEnd(TdomNode* node) {
    appendItem(node);
    if (node->getNodeType() == ntAttribute_Node && owner_ && owner_->getNodeType() == ntElement_Node)
        static_cast<TdomAttr*>(node)->ownerElement_ = static_cast<TdomElement*>(owner_);
}

TdomNode* TdomNamedNodeMap::setNamedItem(TdomNode* node) {
    if (readOnly_) raiseNoModification();
    if (namespaceAware_) raiseNamespace();
    checkInsertable(node);
    TdomNode* old = nullptr;
    int i = getNamedItemIndex(node->getNodeName());
    if (i >= 0) old = takeAt(i);
    putAtEnd(node);
    return old;
}

TdomNode* TdomNamedNodeMap::setNamedItemNS(TdomNode* node) {
    if (readOnly_) raiseNoModification();
    if (!namespaceAware_) raiseNamespace();
    checkInsertable(node);
    TdomNode* old = nullptr;
    int i = indexOfNS(node->getNamespaceURI(), node->getLocalName());
    if (i >= 0) old = takeAt(i);
    putAtEnd(node);
    return old;
}

TdomNode* TdomNamedNodeMap::removeNamedItem(const WideString& name) {
    if (readOnly_) raiseNoModification();
    int i = getNamedItemIndex(name);  // namespace-aware: ENamespace_Err
    if (i < 0) raiseNodeNotFound();
    return takeAt(i);
}

TdomNode* TdomNamedNodeMap::removeNamedItemNS(const WideString& namespaceURI, const WideString& localName) {
    if (readOnly_) raiseNoModification();
    int i = indexOfNS(namespaceURI, localName);
    if (i < 0) raiseNodeNotFound();
    return takeAt(i);
}

void TdomNamedNodeMap::removeItem(TdomNode* node) {
    if (readOnly_) raiseNoModification();
    int i = indexOf(node);
    if (i < 0) raiseNodeNotFound();
    takeAt(i);  // an attribute also loses its owner element, so it can be freed later
}

void TdomNamedNodeMap::setNamespaceAware(bool value) {
    if (!mutableList()->empty()) raiseNoModification();
    namespaceAware_ = value;
    index_.reset();
}

// ---- owning map -----------------------------------------------------------------------------

TdomOwnerNamedNodeMap::TdomOwnerNamedNodeMap(ItemTest isItemClass) : isItemClass_(isItemClass) {
    names_.setSorted(true);
    names_.setDuplicates(dupError);
}

TdomOwnerNamedNodeMap::~TdomOwnerNamedNodeMap() { clear(); }

TdomNode* TdomOwnerNamedNodeMap::item(int index) const {
    if (index < 0 || index >= names_.getCount()) return nullptr;
    return static_cast<TdomNode*>(names_.GetObject(index));
}

void TdomOwnerNamedNodeMap::add(TdomNode* node) {
    if (!node || !isItemClass_(node)) raiseHierarchy();
    names_.AddObject(node->getNodeName(), node);
}

void TdomOwnerNamedNodeMap::clear() {
    while (names_.getCount() > 0) Delete(names_.getCount() - 1);
}

void TdomOwnerNamedNodeMap::Delete(int index) {
    if (index < 0 || index >= names_.getCount()) throw EListError(Format(msg::kListIndexError, {index}));
    TdomNode* node = item(index);
    names_.Delete(index);
    destroyNode(node);
}

int TdomOwnerNamedNodeMap::extract(TdomNode* node) {
    int index = indexOf(node);
    if (index < 0) throw EListError(msg::kItemNotFound);
    names_.Delete(index);
    return index;
}

TdomNode* TdomOwnerNamedNodeMap::getNamedItem(const WideString& name) const { return item(indexOfName(name)); }

bool TdomOwnerNamedNodeMap::hasNamedItem(const WideString& name) const { return indexOfName(name) >= 0; }

int TdomOwnerNamedNodeMap::indexOf(const TdomNode* node) const { return node ? names_.IndexOfObject(node) : -1; }

int TdomOwnerNamedNodeMap::indexOfName(const WideString& name) const {
    int index;
    return names_.Find(name, index) ? index : -1;
}

int TdomOwnerNamedNodeMap::removeItem(TdomNode* node) {
    int index = indexOf(node);
    if (index >= 0) Delete(index);
    return index;
}

int TdomOwnerNamedNodeMap::removeNamedItem(const WideString& name) {
    int index = indexOfName(name);
    if (index >= 0) Delete(index);
    return index;
}

}  // namespace xmldom
