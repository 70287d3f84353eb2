// Traversal objects of the XML object model: node filters, node iterators and tree walkers.
// A document makes and keeps them (createNodeIterator, createTreeWalker) and frees them.
#pragma once

#include <cstdint>

#include "XmlDomNodes.h"

namespace xmldom {

/// Answer of a node filter.
enum TdomFilterResult : uint8_t {
    filter_accept = 0,
    filter_reject = 1,  ///< the walker passes over the whole subtree, the iterator only the node
    filter_skip = 2,
};

/// What-to-show sets: bit n shows node type n.
using TdomWhatToShow = uint16_t;
inline constexpr TdomWhatToShow show_all = 0xFFFF;
inline constexpr TdomWhatToShow showNodeType(TdomNodeType t) { return static_cast<TdomWhatToShow>(1u << t); }

/// A user's filter: decides on each candidate node.
class TdomNodeFilter : public TObject {
public:
    virtual TdomFilterResult acceptNode(TdomNode* node) = 0;
};

class TdomNodeIterator : public TObject {
public:
    /// root nil: ENot_Supported_Err.
    TdomNodeIterator(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter, bool expandEntityReferences);

    /// Called before `node` leaves its tree when it is or holds the reference node: after the
    /// reference node the iterator steps back before the subtree, else it moves past it.
    virtual void handleNodeRemoval(TdomNode* node);
    virtual TdomNode* findNext(TdomNode* node) const;
    virtual TdomNode* findPrevious(TdomNode* node) const;
    /// Ends the iterator: later moves raise EInvalid_State_Err.
    virtual void detach();
    /// Next accepted node in document order, nil at the end; detached: EInvalid_State_Err.
    virtual TdomNode* nextNode();
    virtual TdomNode* previousNode();

    TdomNode* getRoot() const { return root_; }
    TdomNode* getReferenceNode() const { return referenceNode_; }
    bool getPositionAfter() const { return after_; }
    bool getInvalid() const { return invalid_; }
    TdomWhatToShow getWhatToShow() const { return whatToShow_; }
    TdomNodeFilter* getFilter() const { return filter_; }
    bool getExpandEntityReferences() const { return expandEntityReferences_; }

private:
    bool accepted(TdomNode* node) const;

    TdomNode* root_;
    TdomNode* referenceNode_;
    bool after_ = false;  ///< position: false before the reference node, true after it
    TdomWhatToShow whatToShow_;
    bool expandEntityReferences_;
    TdomNodeFilter* filter_;
    bool invalid_ = false;
};

class TdomTreeWalker : public TObject {
public:
    /// root nil: ENot_Supported_Err.
    TdomTreeWalker(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter, bool expandEntityReferences);

    virtual TdomNode* findFirstChild(TdomNode* node) const;
    virtual TdomNode* findLastChild(TdomNode* node) const;
    virtual TdomNode* findNextNode(TdomNode* node) const;
    virtual TdomNode* findNextSibling(TdomNode* node) const;
    virtual TdomNode* findParentNode(TdomNode* node) const;
    virtual TdomNode* findPreviousNode(TdomNode* node) const;
    virtual TdomNode* findPreviousSibling(TdomNode* node) const;
    /// nil: ENot_Supported_Err.
    virtual void setCurrentNode(TdomNode* node);
    virtual void setExpandEntityReferences(bool value) { expandEntityReferences_ = value; }
    virtual void setFilter(TdomNodeFilter* filter) { filter_ = filter; }
    /// nil: ENot_Supported_Err.
    virtual void setRoot(TdomNode* node);
    virtual void setWhatToShow(TdomWhatToShow value) { whatToShow_ = value; }

    // Moves: a non-nil result becomes the current node.
    virtual TdomNode* parentNode();
    virtual TdomNode* firstChild();
    virtual TdomNode* lastChild();
    virtual TdomNode* previousSibling();
    virtual TdomNode* nextSibling();
    virtual TdomNode* nextNode();
    virtual TdomNode* previousNode();

    TdomNode* getCurrentNode() const { return currentNode_; }
    TdomNode* getRoot() const { return root_; }
    TdomWhatToShow getWhatToShow() const { return whatToShow_; }
    TdomNodeFilter* getFilter() const { return filter_; }
    bool getExpandEntityReferences() const { return expandEntityReferences_; }

private:
    TdomFilterResult judge(TdomNode* node) const;
    TdomNode* move(TdomNode* found);
    TdomNode* childAt(TdomNode* node, bool first) const;
    TdomNode* findEdgeChild(TdomNode* node, bool first) const;

    TdomNode* currentNode_;
    bool expandEntityReferences_;
    TdomNodeFilter* filter_;
    TdomNode* root_;
    TdomWhatToShow whatToShow_;
};

}  // namespace xmldom
