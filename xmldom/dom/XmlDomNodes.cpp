// The node base of the object model: child-list rules with their check order, notifications,
// tree position and navigation. Document-specific rules override these in XmlDomDocument.cpp.

#include "XmlDomNodes.h"

#include <algorithm>
#include <vector>

#include "XmlDomCharData.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomElements.h"
#include "XmlDomImpl.h"
#include "XmlDomInternal.h"
#include "XmlDomTraversal.h"
#include "XmlErrors.h"
#include "XmlUri.h"

namespace xmldom {

namespace detail {

void raiseHierarchy() { throw EHierarchy_Request_Err(msg::kHierarchyRequestErr); }
void raiseWrongDocument() { throw EWrong_Document_Err(msg::kWrongDocumentErr); }
void raiseInvalidCharacter() { throw EInvalid_Character_Err(msg::kInvalidCharacterErr); }
void raiseNoModification() { throw ENo_Modification_Allowed_Err(msg::kNoModificationAllowedErr); }
void raiseNodeNotFound() { throw ENot_Found_Err(msg::kNodeNotFoundErr); }
void raiseNotSupported() { throw ENot_Supported_Err(msg::kNotSupportedErr); }
void raiseNamespace() { throw ENamespace_Err(msg::kNamespaceErr); }
void raiseInuseNode() { throw EInuse_Err(msg::kInuseNodeErr); }
void raiseInuseAttribute() { throw EInuse_Err(msg::kInuseAttributeErr); }
void raiseInvalidState() { throw EInvalid_State_Err(msg::kInvalidStateErr); }

void splitQualifiedName(const WideString& qualifiedName, WideString& prefix, WideString& localName) {
    if (!XmlExtractPrefixAndLocalName(qualifiedName, prefix, localName)) {
        if (IsXmlName(qualifiedName)) raiseNamespace();
        raiseInvalidCharacter();
    }
}

void checkElementNamespace(const WideString& namespaceURI, const WideString& prefix) {
    if (!prefix.empty() && namespaceURI.empty()) raiseNamespace();
    if (prefix == u"xml" && namespaceURI != kXmlNamespace) raiseNamespace();
}

void checkAttributeNamespace(const WideString& namespaceURI, const WideString& prefix,
                             const WideString& qualifiedName) {
    checkElementNamespace(namespaceURI, prefix);
    if ((prefix == u"xmlns" || qualifiedName == u"xmlns") && namespaceURI != kXmlnsNamespace) raiseNamespace();
}

bool equalsIgnoreAsciiCase(const WideString& a, const char16_t* b) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == 0) return false;
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
        if (x != y) return false;
    }
    return b[i] == 0;
}

}  // namespace detail

using namespace detail;

struct TdomNode::Extras {
    std::unique_ptr<TdomNodeList> childView;
    TdomAttrModifiedEvent onAttrModified;
    TdomNodeEvent onCharacterDataModified;
    TdomNodeEvent onNodeInserted;
    TdomNodeEvent onNodeInsertedIntoDocument;
    TdomNodeEvent onNodeRemoved;
    TdomNodeEvent onNodeRemovedFromDocument;
};

TdomNode::TdomNode(TdomDocument* ownerDocument, TdomNodeType nodeType, uint16_t allowedChildTypes)
    : ownerDocument_(ownerDocument), nodeType_(nodeType), allowedChildTypes_(allowedChildTypes) {}

TdomNode::~TdomNode() = default;

TdomNodeList* TdomNode::getChildNodes() const {
    Extras& more = extras();
    if (!more.childView) more.childView = std::make_unique<TdomNodeList>(&children_);
    return more.childView.get();
}

WideString TdomNode::getNodeName() const { return {}; }

void TdomNode::makeChildrenReadonly() {
    // Entity content may nest deeply: the descendants are marked without recursion.
    std::vector<TdomNode*> stack(children_.begin(), children_.end());
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        node->setIsReadonly(true);
        stack.insert(stack.end(), node->children_.begin(), node->children_.end());
    }
}

bool TdomNode::containsEntityReference(const WideString& name) const {
    for (const TdomNode* child : children_) {
        if (child->getNodeType() == ntEntity_Reference_Node && child->getNodeName() == name) return true;
        if (child->containsEntityReference(name)) return true;
    }
    return false;
}

// ---- notifications ------------------------------------------------------------------------

TdomNode::Extras& TdomNode::extras() const {
    if (!extras_) extras_ = std::make_unique<Extras>();
    return *extras_;
}

TdomNode::Extras& TdomNode::handlers() {
    Extras& more = extras();
    if (ownerDocument_) ownerDocument_->handlersInUse_ = true;
    return more;
}

void TdomNode::setOnAttrModified(TdomAttrModifiedEvent h) { handlers().onAttrModified = std::move(h); }
void TdomNode::setOnCharacterDataModified(TdomNodeEvent h) { handlers().onCharacterDataModified = std::move(h); }
void TdomNode::setOnNodeInserted(TdomNodeEvent h) { handlers().onNodeInserted = std::move(h); }
void TdomNode::setOnNodeInsertedIntoDocument(TdomNodeEvent h) { handlers().onNodeInsertedIntoDocument = std::move(h); }
void TdomNode::setOnNodeRemoved(TdomNodeEvent h) { handlers().onNodeRemoved = std::move(h); }
void TdomNode::setOnNodeRemovedFromDocument(TdomNodeEvent h) { handlers().onNodeRemovedFromDocument = std::move(h); }

bool TdomNode::notificationsWanted() const {
    // Without a handler anywhere in the document and without an implementation to forward to,
    // the chains would call nothing; skipping them keeps large moves linear.
    // An implementation counts only when something listens to its insertion and removal
    // events: otherwise every insertion would walk all ancestors (quadratic in a deep tree).
    if (!ownerDocument_ || ownerDocument_->handlersInUse_) return true;
    const TDomImplementation* impl = ownerDocument_->getDomImplementation();
    return impl && impl->hasNodeObservers();
}

// Without any node handler the climb could only reach the document's forward to its
// implementation: a node known to be in the document goes there directly, so a change deep
// in a tall tree costs no walk up the ancestors.

void TdomNode::doAttrModified(TdomNode* sourceNode, TdomAttrChange attrChange, TdomAttr* relatedAttr) {
    if (!handlersPossible()) {
        if (inDocument_ && this != ownerDocument_) ownerDocument_->doAttrModified(sourceNode, attrChange, relatedAttr);
        return;
    }
    for (TdomNode* n = this; n; n = n->parent_) {
        if (n != this && n->nodeType_ == ntDocument_Node) return n->doAttrModified(sourceNode, attrChange, relatedAttr);
        if (n->extras_ && n->extras_->onAttrModified) n->extras_->onAttrModified(n, sourceNode, attrChange, relatedAttr);
    }
}

void TdomNode::doCharacterDataModified(TdomNode* node) {
    if (!handlersPossible()) {
        if (inDocument_ && this != ownerDocument_) ownerDocument_->doCharacterDataModified(node);
        return;
    }
    for (TdomNode* n = this; n; n = n->parent_) {
        if (n != this && n->nodeType_ == ntDocument_Node) return n->doCharacterDataModified(node);
        if (n->extras_ && n->extras_->onCharacterDataModified) n->extras_->onCharacterDataModified(n, node);
    }
}

// The two bubbling kinds climb the parent chain in a loop; at the document its own operation
// takes over (it forwards to the implementation). The two "document" kinds visit the subtree
// in document order with a stack of their own, re-reading each child list at every step since
// a handler may change it while it runs. Neither recurses, whatever the tree's depth.

template <class Visit> void TdomNode::visitSubtree(Visit visit) {
    struct Frame {
        TdomNode* node;
        size_t next;
    };
    visit(this);
    if (children_.empty()) return;
    std::vector<Frame> stack{{this, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.node->children_.size()) {
            stack.pop_back();
            continue;
        }
        TdomNode* child = top.node->children_[top.next++];
        visit(child);
        stack.push_back({child, 0});
    }
}

void TdomNode::doNodeInserted(TdomNode* node) {
    for (TdomNode* n = this; n; n = n->parent_) {
        if (n != this && n->nodeType_ == ntDocument_Node) return n->doNodeInserted(node);
        if (n->extras_ && n->extras_->onNodeInserted) n->extras_->onNodeInserted(n, node);
    }
}

void TdomNode::doNodeInsertedIntoDocument(TdomNode* node) {
    visitSubtree([node](TdomNode* n) {
        if (n->extras_ && n->extras_->onNodeInsertedIntoDocument) n->extras_->onNodeInsertedIntoDocument(n, node);
    });
}

void TdomNode::doNodeRemoved(TdomNode* node) {
    for (TdomNode* n = this; n; n = n->parent_) {
        if (n != this && n->nodeType_ == ntDocument_Node) return n->doNodeRemoved(node);
        if (n->extras_ && n->extras_->onNodeRemoved) n->extras_->onNodeRemoved(n, node);
    }
}

void TdomNode::doNodeRemovedFromDocument(TdomNode* node) {
    visitSubtree([node](TdomNode* n) {
        if (n->extras_ && n->extras_->onNodeRemovedFromDocument) n->extras_->onNodeRemovedFromDocument(n, node);
    });
}

bool TdomNode::handlersPossible() const {
    return !ownerDocument_ || ownerDocument_->handlersInUse_;
}

void TdomNode::markInDocument(TdomNode* root, bool value) {
    root->visitSubtree([value](TdomNode* n) { n->inDocument_ = value; });
}

void TdomNode::notifyInserted(TdomNode* newChild) {
    if (!notificationsWanted()) return;
    if (!handlersPossible()) {
        // No node has a handler: all that can be seen is the document's forward to its
        // implementation, and only when the child is now in the document. Skipping the walks
        // keeps building a tree of any depth linear.
        if (newChild->inDocument_) ownerDocument_->doNodeInserted(newChild);
        return;
    }
    newChild->doNodeInserted(newChild);
    newChild->doNodeInsertedIntoDocument(newChild);
}

void TdomNode::notifyRemoving(TdomNode* oldChild) {
    if (!notificationsWanted()) return;
    if (!handlersPossible()) {
        if (oldChild->inDocument_) ownerDocument_->doNodeRemoved(oldChild);
        return;
    }
    oldChild->doNodeRemoved(oldChild);
    oldChild->doNodeRemovedFromDocument(oldChild);
}

// ---- simple accessors ---------------------------------------------------------------------

size_t TdomNode::indexInParent() const {
    const TdomNodeVector& siblings = parent_->children_;
    if (indexInParent_ < siblings.size() && siblings[indexInParent_] == this) return indexInParent_;
    // The hint went stale after an insertion or removal before this node: renumber once.
    for (size_t i = 0; i < siblings.size(); ++i) siblings[i]->indexInParent_ = static_cast<uint32_t>(i);
    return indexInParent_;
}

TdomNode* TdomNode::getNextSibling() const {
    if (!parent_) return nullptr;
    size_t i = indexInParent() + 1;
    return i < parent_->children_.size() ? parent_->children_[i] : nullptr;
}

TdomNode* TdomNode::getPreviousSibling() const {
    if (!parent_) return nullptr;
    size_t i = indexInParent();
    return i > 0 ? parent_->children_[i - 1] : nullptr;
}

WideString TdomNode::getBaseURI() const { return parent_ ? parent_->getBaseURI() : WideString(); }

WideString TdomNode::getTextContent() const {
    switch (getNodeType()) {
    case ntElement_Node:
    case ntEntity_Reference_Node:
    case ntEntity_Node:
    case ntDocument_Fragment_Node: {
        WideString text;
        for (const TdomNode* child : children_) {
            TdomNodeType t = child->getNodeType();
            if (t != ntComment_Node && t != ntProcessing_Instruction_Node) text += child->getTextContent();
        }
        return text;
    }
    case ntAttribute_Node:
    case ntText_Node:
    case ntCDATA_Section_Node:
    case ntProcessing_Instruction_Node:
    case ntComment_Node:
        return getNodeValue();
    default:
        return {};
    }
}

bool TdomNode::sendErrorNotification(uint8_t kind, TdomNode* relatedNode) {
    return sendErrorNotification(kind, relatedNode, WideString());
}

bool TdomNode::sendErrorNotification(uint8_t kind, TdomNode* relatedNode, const WideString& clue) {
    WideString uri = ownerDocument_ ? ownerDocument_->getLocation() : WideString();
    TdomError error(kind, -1, -1, -1, -1, -1, uri, relatedNode, nullptr, nullptr, clue);
    TDomImplementation* impl = ownerDocument_ ? ownerDocument_->getDomImplementation() : nullptr;
    if (impl) return impl->handleError(impl, &error);
    return error.getSeverity() != DOM_SEVERITY_FATAL_ERROR;
}

void TdomNode::setNodeValue(const WideString& value) {
    if (readOnly_) raiseNoModification();
    nodeValue_ = value;
}

void TdomNode::setPrefix(const WideString&) {}

bool TdomNode::validate() { raiseNotSupported(); }
bool TdomNode::validateAttributeValues() { raiseNotSupported(); }

bool TdomNode::hasAttributes() const {
    TdomNamedNodeMap* map = getAttributes();
    return map && map->getLength() > 0;
}

bool TdomNode::isSupported(const WideString& feature, const WideString& version) const {
    return equalsIgnoreAsciiCase(feature, u"XML") && (version == u"1.0" || version == u"2.0" || version.empty());
}

bool TdomNode::resolveEntityReferences(uint8_t) { return true; }

void TdomNode::normalize() {
    for (size_t i = 0; i < children_.size(); ++i) children_[i]->normalize();
}

TdomNode* TdomNode::cloneNode(bool deep) {
    if (!ownerDocument_) raiseNotSupported();
    return ownerDocument_->importNode(this, deep);
}

// ---- ancestry and position ------------------------------------------------------------------

bool TdomNode::isAncestor(const TdomNode* node) const {
    // A loop in the parent chain is found by Brent's method, without keeping the visited nodes.
    const TdomNode* marker = nullptr;
    size_t power = 1, steps = 0;
    for (const TdomNode* p = parent_; p; p = p->parent_) {
        if (p == marker) raiseHierarchy();
        if (p == node) return true;
        if (++steps == power) {
            marker = p;
            power *= 2;
            steps = 0;
        }
    }
    return false;
}

namespace {

const TdomNode* positionParent(const TdomNode* node) {
    if (TdomNode* p = node->getParentNode()) return p;
    if (node->getNodeType() == ntAttribute_Node) return static_cast<const TdomAttr*>(node)->getOwnerElement();
    return nullptr;
}

std::vector<const TdomNode*> chainFromTop(const TdomNode* node) {
    std::vector<const TdomNode*> chain;
    for (const TdomNode* n = node; n; n = positionParent(n)) chain.push_back(n);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

}  // namespace

TdomTreePosition TdomNode::compareTreePosition(const TdomNode* other) const {
    if (!other) raiseNotSupported();
    if (other == this) return Tree_Position_Same_Node | Tree_Position_Equivalent;
    std::vector<const TdomNode*> mine = chainFromTop(this), theirs = chainFromTop(other);
    if (mine.front() != theirs.front()) return Tree_Position_Disconnected;
    size_t k = 0;  // index of the deepest common node
    while (k + 1 < mine.size() && k + 1 < theirs.size() && mine[k + 1] == theirs[k + 1]) ++k;
    if (k + 1 == theirs.size()) return Tree_Position_Ancestor | Tree_Position_Preceding;
    if (k + 1 == mine.size()) return Tree_Position_Descendant | Tree_Position_Following;
    const TdomNode* a = mine[k + 1];
    const TdomNode* b = theirs[k + 1];
    if (a->getNodeType() == ntAttribute_Node)
        return b->getNodeType() == ntAttribute_Node ? Tree_Position_Equivalent : Tree_Position_Following;
    if (b->getNodeType() == ntAttribute_Node) return Tree_Position_Preceding;
    for (const TdomNode* child : mine[k]->children_) {
        if (child == a) return Tree_Position_Following;
        if (child == b) return Tree_Position_Preceding;
    }
    return 0;
}

// ---- child-list changes -------------------------------------------------------------------

void TdomNode::checkNewChild(TdomNode* newChild, const TdomNode* refChild) const {
    TdomNodeType t = newChild->getNodeType();
    if (t >= 16 || !(allowedChildTypes_ & (1u << t))) raiseHierarchy();
    if (newChild->getOwnerDocument() != getOwnerDocument()) raiseWrongDocument();
    // A node without children is nobody's ancestor: appending leaves skips the climb, so
    // building a deep tree from the top stays linear.
    if (newChild == this || newChild == refChild || (!newChild->children_.empty() && isAncestor(newChild)))
        raiseHierarchy();
    if (readOnly_) raiseNoModification();
    if (newChild->parent_ && newChild->parent_->readOnly_) raiseNoModification();
}

void TdomNode::linkChild(TdomNode* newChild, size_t index) {
    if (index >= children_.size()) {
        newChild->indexInParent_ = static_cast<uint32_t>(children_.size());
        // The first child takes room for three: the smallest heap block holds three pointers,
        // and the usual growth by one, two, four would reallocate twice for them.
        if (children_.capacity() == 0) children_.reserve(3);
        children_.push_back(newChild);
    } else {
        newChild->indexInParent_ = static_cast<uint32_t>(index);
        children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(index), newChild);
    }
    newChild->parent_ = this;
    // Documents with an implementation know which nodes are in them (see notifyInserted).
    if (ownerDocument_ && ownerDocument_->getDomImplementation() && (this == ownerDocument_ || inDocument_))
        markInDocument(newChild, true);
}

void TdomNode::unlinkChild(TdomNode* oldChild) {
    size_t i = oldChild->indexInParent();
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
    oldChild->parent_ = nullptr;
    if (oldChild->inDocument_) markInDocument(oldChild, false);
}

TdomNode* TdomNode::appendChild(TdomNode* newChild) {
    if (!newChild) raiseNotSupported();
    checkNewChild(newChild, nullptr);
    if (newChild->getNodeType() == ntDocument_Fragment_Node) {
        while (TdomNode* first = newChild->getFirstChild()) appendChild(first);
        return newChild;
    }
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    linkChild(newChild, children_.size());
    notifyInserted(newChild);
    return newChild;
}

void TdomNode::appendNewChild(TdomNode* newChild) {
    if (readOnly_) raiseNoModification();
    linkChild(newChild, children_.size());
    notifyInserted(newChild);
}

TdomNode* TdomNode::insertBefore(TdomNode* newChild, TdomNode* refChild) {
    if (!newChild) raiseNotSupported();
    checkNewChild(newChild, refChild);
    if (refChild && refChild->parent_ != this) raiseNodeNotFound();
    if (newChild->getNodeType() == ntDocument_Fragment_Node) {
        while (TdomNode* first = newChild->getFirstChild()) insertBefore(first, refChild);
        return newChild;
    }
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    linkChild(newChild, refChild ? refChild->indexInParent() : children_.size());
    notifyInserted(newChild);
    return newChild;
}

TdomNode* TdomNode::removeChild(TdomNode* oldChild) {
    if (!oldChild) raiseNotSupported();
    if (readOnly_) raiseNoModification();
    if (oldChild->parent_ != this) raiseNodeNotFound();
    // Removal notifications run once, before the child is unlinked.
    notifyRemoving(oldChild);
    if (ownerDocument_) ownerDocument_->adjustNodeIterators(oldChild);
    // A handler may have moved the child already; unlink only what is still ours.
    if (oldChild->parent_ == this) unlinkChild(oldChild);
    return oldChild;
}

TdomNode* TdomNode::replaceChild(TdomNode* newChild, TdomNode* oldChild) {
    if (!newChild || !oldChild) raiseNotSupported();
    checkNewChild(newChild, nullptr);
    if (oldChild->parent_ != this) raiseNodeNotFound();
    if (newChild == oldChild) return oldChild;
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    TdomNode* sibling = oldChild->getNextSibling();
    removeChild(oldChild);
    if (sibling) insertBefore(newChild, sibling);
    else appendChild(newChild);
    return oldChild;
}

void TdomNode::clear() {
    if (readOnly_) raiseNoModification();
    while (TdomNode* child = getFirstChild()) {
        child->setIsReadonly(false);
        removeChild(child);
        ownerDocument_->freeTreeNode(child);
    }
}

// ---- element navigation -------------------------------------------------------------------

namespace {

enum class Dir { Next, Previous, Up };

bool isElementNamed(const TdomNode* n, const WideString* name) {
    return n->getNodeType() == ntElement_Node && (!name || n->getNodeName() == *name);
}

bool isElementNS(const TdomNode* n, const WideString& uri, const WideString& local) {
    return n->getNodeType() == ntElement_Node && n->getNamespaceURI() == uri && n->getLocalName() == local;
}

template <class Pred>
TdomElement* walk(TdomNode* start, Dir dir, Pred match) {
    for (TdomNode* n = start; n;) {
        if (match(n)) return static_cast<TdomElement*>(n);
        n = dir == Dir::Next ? n->getNextSibling() : dir == Dir::Previous ? n->getPreviousSibling() : n->getParentNode();
    }
    return nullptr;
}

}  // namespace

TdomElement* TdomNode::findFirstChildElement() const {
    return walk(getFirstChild(), Dir::Next, [](TdomNode* n) { return isElementNamed(n, nullptr); });
}
TdomElement* TdomNode::findLastChildElement() const {
    return walk(getLastChild(), Dir::Previous, [](TdomNode* n) { return isElementNamed(n, nullptr); });
}
TdomElement* TdomNode::findNextSiblingElement() const {
    return walk(getNextSibling(), Dir::Next, [](TdomNode* n) { return isElementNamed(n, nullptr); });
}
TdomElement* TdomNode::findParentElement() const {
    return walk(getParentNode(), Dir::Up, [](TdomNode* n) { return isElementNamed(n, nullptr); });
}
TdomElement* TdomNode::findPreviousSiblingElement() const {
    return walk(getPreviousSibling(), Dir::Previous, [](TdomNode* n) { return isElementNamed(n, nullptr); });
}
TdomElement* TdomNode::findFirstChildElementByName(const WideString& name) const {
    return walk(getFirstChild(), Dir::Next, [&](TdomNode* n) { return isElementNamed(n, &name); });
}
TdomElement* TdomNode::findFirstChildElementNS(const WideString& uri, const WideString& local) const {
    return walk(getFirstChild(), Dir::Next, [&](TdomNode* n) { return isElementNS(n, uri, local); });
}
TdomElement* TdomNode::findLastChildElementByName(const WideString& name) const {
    return walk(getLastChild(), Dir::Previous, [&](TdomNode* n) { return isElementNamed(n, &name); });
}
TdomElement* TdomNode::findLastChildElementNS(const WideString& uri, const WideString& local) const {
    return walk(getLastChild(), Dir::Previous, [&](TdomNode* n) { return isElementNS(n, uri, local); });
}
TdomElement* TdomNode::findNextSiblingElementByName(const WideString& name) const {
    return walk(getNextSibling(), Dir::Next, [&](TdomNode* n) { return isElementNamed(n, &name); });
}
TdomElement* TdomNode::findNextSiblingElementNS(const WideString& uri, const WideString& local) const {
    return walk(getNextSibling(), Dir::Next, [&](TdomNode* n) { return isElementNS(n, uri, local); });
}
TdomElement* TdomNode::findParentElementByName(const WideString& name) const {
    return walk(getParentNode(), Dir::Up, [&](TdomNode* n) { return isElementNamed(n, &name); });
}
TdomElement* TdomNode::findParentElementNS(const WideString& uri, const WideString& local) const {
    return walk(getParentNode(), Dir::Up, [&](TdomNode* n) { return isElementNS(n, uri, local); });
}
TdomElement* TdomNode::findPreviousSiblingElementByName(const WideString& name) const {
    return walk(getPreviousSibling(), Dir::Previous, [&](TdomNode* n) { return isElementNamed(n, &name); });
}
TdomElement* TdomNode::findPreviousSiblingElementNS(const WideString& uri, const WideString& local) const {
    return walk(getPreviousSibling(), Dir::Previous, [&](TdomNode* n) { return isElementNS(n, uri, local); });
}

}  // namespace xmldom
