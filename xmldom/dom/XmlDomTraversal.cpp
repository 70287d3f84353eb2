// Node iterators and tree walkers: document-order moves with what-to-show sets and filters,
// and the iterator's repair when the node it stands on leaves the tree.

#include "XmlDomTraversal.h"

#include "XmlDomInternal.h"

namespace xmldom {

using namespace detail;

namespace {

bool shows(TdomWhatToShow whatToShow, const TdomNode* node) {
    unsigned t = node->getNodeType();
    return t < 16 && (whatToShow & (1u << t));
}

bool inSubtree(const TdomNode* node, const TdomNode* root) { return node == root || node->isAncestor(root); }

}  // namespace

// ---- node iterator --------------------------------------------------------------------------

TdomNodeIterator::TdomNodeIterator(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter,
                                   bool expandEntityReferences)
    : root_(root), referenceNode_(root), whatToShow_(whatToShow), expandEntityReferences_(expandEntityReferences),
      filter_(filter) {
    if (!root) raiseNotSupported();
}

bool TdomNodeIterator::accepted(TdomNode* node) const {
    if (!shows(whatToShow_, node)) return false;
    return !filter_ || filter_->acceptNode(node) == filter_accept;
}

TdomNode* TdomNodeIterator::findNext(TdomNode* node) const {
    if (node->hasChildNodes() && (node->getNodeType() != ntEntity_Reference_Node || expandEntityReferences_))
        return node->getFirstChild();
    for (TdomNode* n = node; n; n = n->getParentNode())
        if (TdomNode* sibling = n->getNextSibling()) return sibling;
    return nullptr;
}

TdomNode* TdomNodeIterator::findPrevious(TdomNode* node) const {
    TdomNode* sibling = node->getPreviousSibling();
    if (!sibling) return node->getParentNode();
    TdomNode* n = sibling;
    while (n->hasChildNodes() && (n->getNodeType() != ntEntity_Reference_Node || expandEntityReferences_))
        n = n->getLastChild();
    return n;
}

TdomNode* TdomNodeIterator::nextNode() {
    if (invalid_) raiseInvalidState();
    bool referenceInside = inSubtree(referenceNode_, root_);
    TdomNode* candidate = after_ ? findNext(referenceNode_) : referenceNode_;
    // Leaving the root's subtree ends the walk: nothing after it can be returned.
    while (candidate && !(referenceInside && !inSubtree(candidate, root_)) && !accepted(candidate))
        candidate = findNext(candidate);
    if (!candidate || (referenceInside && !inSubtree(candidate, root_))) return nullptr;
    referenceNode_ = candidate;
    after_ = true;
    return candidate;
}

TdomNode* TdomNodeIterator::previousNode() {
    if (invalid_) raiseInvalidState();
    bool referenceInside = inSubtree(referenceNode_, root_);
    TdomNode* candidate = after_ ? referenceNode_ : findPrevious(referenceNode_);
    while (candidate && !(referenceInside && !inSubtree(candidate, root_)) && !accepted(candidate))
        candidate = findPrevious(candidate);
    if (!candidate || (referenceInside && !inSubtree(candidate, root_))) return nullptr;
    referenceNode_ = candidate;
    after_ = false;
    return candidate;
}

void TdomNodeIterator::handleNodeRemoval(TdomNode* node) {
    // Standing after the reference node (it was returned last), the iterator moves back to
    // the node before the removed subtree and stays after it: nothing is skipped or repeated.
    if (after_) {
        if (TdomNode* previous = findPrevious(node)) referenceNode_ = previous;
        return;
    }
    if (TdomNode* next = node->getNextSibling()) {
        referenceNode_ = next;
        return;
    }
    if (TdomNode* previous = findPrevious(node)) {
        referenceNode_ = previous;
        after_ = true;
    }
}

void TdomNodeIterator::detach() {
    referenceNode_ = nullptr;
    invalid_ = true;
}

// ---- tree walker ----------------------------------------------------------------------------

TdomTreeWalker::TdomTreeWalker(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter,
                               bool expandEntityReferences)
    : currentNode_(root), expandEntityReferences_(expandEntityReferences), filter_(filter), root_(root),
      whatToShow_(whatToShow) {
    if (!root) raiseNotSupported();
}

TdomFilterResult TdomTreeWalker::judge(TdomNode* node) const {
    if (!shows(whatToShow_, node)) return filter_skip;
    return filter_ ? filter_->acceptNode(node) : filter_accept;
}

TdomNode* TdomTreeWalker::childAt(TdomNode* node, bool first) const {
    if (node->getNodeType() == ntEntity_Reference_Node && !expandEntityReferences_) return nullptr;
    return first ? node->getFirstChild() : node->getLastChild();
}

void TdomTreeWalker::setCurrentNode(TdomNode* node) {
    if (!node) raiseNotSupported();
    currentNode_ = node;
}

void TdomTreeWalker::setRoot(TdomNode* node) {
    if (!node) raiseNotSupported();
    root_ = node;
}

TdomNode* TdomTreeWalker::findParentNode(TdomNode* node) const {
    for (TdomNode* n = node; n && n != root_;) {
        n = n->getParentNode();
        if (n && judge(n) == filter_accept) return n;
    }
    return nullptr;
}

// The first (or last) visible node below `node`: skipped nodes are looked through, rejected
// ones passed over with their subtrees.
TdomNode* TdomTreeWalker::findEdgeChild(TdomNode* node, bool first) const {
    TdomNode* n = childAt(node, first);
    while (n) {
        TdomFilterResult r = judge(n);
        if (r == filter_accept) return n;
        if (r == filter_skip)
            if (TdomNode* child = childAt(n, first)) {
                n = child;
                continue;
            }
        for (;;) {
            if (TdomNode* sibling = first ? n->getNextSibling() : n->getPreviousSibling()) {
                n = sibling;
                break;
            }
            TdomNode* parent = n->getParentNode();
            if (!parent || parent == node || parent == root_) return nullptr;
            n = parent;
        }
    }
    return nullptr;
}

TdomNode* TdomTreeWalker::findFirstChild(TdomNode* node) const { return findEdgeChild(node, true); }

TdomNode* TdomTreeWalker::findLastChild(TdomNode* node) const { return findEdgeChild(node, false); }

TdomNode* TdomTreeWalker::findNextSibling(TdomNode* node) const {
    if (node == root_) return nullptr;
    TdomNode* n = node;
    for (;;) {
        TdomNode* sibling = n->getNextSibling();
        while (sibling) {
            n = sibling;
            TdomFilterResult r = judge(n);
            if (r == filter_accept) return n;
            sibling = r == filter_reject ? nullptr : childAt(n, true);
            if (!sibling) sibling = n->getNextSibling();
        }
        n = n->getParentNode();
        if (!n || n == root_) return nullptr;
        if (judge(n) == filter_accept) return nullptr;
    }
}

TdomNode* TdomTreeWalker::findPreviousSibling(TdomNode* node) const {
    if (node == root_) return nullptr;
    TdomNode* n = node;
    for (;;) {
        TdomNode* sibling = n->getPreviousSibling();
        while (sibling) {
            n = sibling;
            TdomFilterResult r = judge(n);
            if (r == filter_accept) return n;
            sibling = r == filter_reject ? nullptr : childAt(n, false);
            if (!sibling) sibling = n->getPreviousSibling();
        }
        n = n->getParentNode();
        if (!n || n == root_) return nullptr;
        if (judge(n) == filter_accept) return nullptr;
    }
}

TdomNode* TdomTreeWalker::findNextNode(TdomNode* node) const {
    TdomNode* n = node;
    TdomFilterResult r = filter_accept;
    for (;;) {
        while (r != filter_reject) {
            TdomNode* child = childAt(n, true);
            if (!child) break;
            n = child;
            r = judge(n);
            if (r == filter_accept) return n;
        }
        TdomNode* sibling = nullptr;
        for (TdomNode* t = n; t; t = t->getParentNode()) {
            if (t == root_) return nullptr;
            sibling = t->getNextSibling();
            if (sibling) break;
        }
        if (!sibling) return nullptr;
        n = sibling;
        r = judge(n);
        if (r == filter_accept) return n;
    }
}

TdomNode* TdomTreeWalker::findPreviousNode(TdomNode* node) const {
    TdomNode* n = node;
    while (n != root_) {
        TdomNode* sibling = n->getPreviousSibling();
        while (sibling) {
            n = sibling;
            TdomFilterResult r = judge(n);
            while (r != filter_reject) {
                TdomNode* last = childAt(n, false);
                if (!last) break;
                n = last;
                r = judge(n);
            }
            if (r == filter_accept) return n;
            sibling = n->getPreviousSibling();
        }
        if (n == root_ || !n->getParentNode()) return nullptr;
        n = n->getParentNode();
        if (judge(n) == filter_accept) return n;
    }
    return nullptr;
}

TdomNode* TdomTreeWalker::move(TdomNode* found) {
    if (found) currentNode_ = found;
    return found;
}

TdomNode* TdomTreeWalker::parentNode() { return move(findParentNode(currentNode_)); }
TdomNode* TdomTreeWalker::firstChild() { return move(findFirstChild(currentNode_)); }
TdomNode* TdomTreeWalker::lastChild() { return move(findLastChild(currentNode_)); }
TdomNode* TdomTreeWalker::previousSibling() { return move(findPreviousSibling(currentNode_)); }
TdomNode* TdomTreeWalker::nextSibling() { return move(findNextSibling(currentNode_)); }
TdomNode* TdomTreeWalker::nextNode() { return move(findNextNode(currentNode_)); }
TdomNode* TdomTreeWalker::previousNode() { return move(findPreviousNode(currentNode_)); }

}  // namespace xmldom
