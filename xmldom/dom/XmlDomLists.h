// Collections of the XML object model: the live child list of every node, the live element
// lists of getElementsByTagName, the attribute / entity / notation maps and the owning map.
// Nodes (XmlDomNodes.h) embed a TdomNodeList; elements embed a TdomNamedNodeMap.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "XmlStrings.h"
#include "XmlSupport.h"

namespace xmldom {

class TdomNode;

/// The storage every list and map views: node references in order, not owned.
using TdomNodeVector = std::vector<TdomNode*>;

/// Read-only live view over a list of nodes (a node's children, an element's attributes).
class TdomNodeList : public TObject {
public:
    explicit TdomNodeList(const TdomNodeVector* list) : list_(list) {}

    /// Number of nodes in the viewed list.
    virtual int getLength() const;
    /// Position of node in the list, -1 when absent.
    virtual int indexOf(const TdomNode* node) const;
    /// Node at index; nil below 0 or at / past the count.
    virtual TdomNode* item(int index) const;
    /// The viewed storage itself (nil for the computed element lists), for walks that visit
    /// every node without a call per node.
    const TdomNodeVector* viewedNodes() const { return list_; }

protected:
    const TdomNodeVector* list_;  ///< not owned; nil for the computed element lists
};

/// Live list of the elements named `name` ("*": all) in the subtree of root, root included,
/// in document order. Nothing is stored: each call walks the tree.
class TdomElementsNodeList : public TdomNodeList {
public:
    TdomElementsNodeList(const WideString& name, TdomNode* root);

    int getLength() const override;
    int indexOf(const TdomNode* node) const override;
    TdomNode* item(int index) const override;

    const WideString& getQueryName() const { return name_; }
    TdomNode* getRoot() const { return root_; }

protected:
    virtual bool matches(const TdomNode* node) const;

    WideString name_;
    TdomNode* root_;
};

/// Live list matching namespace URI and local name ("*" is a wildcard for each).
class TdomElementsNodeListNS : public TdomElementsNodeList {
public:
    TdomElementsNodeListNS(const WideString& namespaceURI, const WideString& localName, TdomNode* root);

    const WideString& getQueryNamespaceURI() const { return namespaceURI_; }
    const WideString& getQueryLocalName() const { return name_; }

protected:
    bool matches(const TdomNode* node) const override;

    WideString namespaceURI_;
};

/// Map of named nodes over a list owned by its holder (an element's attributes, a document
/// type's entities or notations). Refusals raise before anything changes.
class TdomNamedNodeMap : public TdomNodeList {
public:
    /// owner: the element or document type holding the map; allowedTypes: bit n admits node type n.
    TdomNamedNodeMap(TdomNode* owner, uint16_t allowedTypes, TdomNodeVector* list);
    ~TdomNamedNodeMap() override;
    TdomNamedNodeMap(const TdomNamedNodeMap&) = delete;
    TdomNamedNodeMap& operator=(const TdomNamedNodeMap&) = delete;

    /// Index of the first allowed item named name, -1 when none; namespace-aware map: ENamespace_Err.
    virtual int getNamedItemIndex(const WideString& name) const;
    /// Takes node out of the list: read-only map ENo_Modification_Allowed_Err, absent ENot_Found_Err.
    virtual void removeItem(TdomNode* node);
    /// Refused with ENo_Modification_Allowed_Err once the map holds an item.
    virtual void setNamespaceAware(bool value);
    virtual void setReadonly(bool value) { readOnly_ = value; }

    /// First allowed item named name, nil when none; namespace-aware map: ENamespace_Err.
    virtual TdomNode* getNamedItem(const WideString& name) const;
    /// First allowed item with that namespace URI and local name; plain map: ENamespace_Err.
    virtual TdomNode* getNamedItemNS(const WideString& namespaceURI, const WideString& localName) const;
    /// Removes and returns the item (not freed); absent: ENot_Found_Err.
    virtual TdomNode* removeNamedItem(const WideString& name);
    virtual TdomNode* removeNamedItemNS(const WideString& namespaceURI, const WideString& localName);
    /// Adds node at the end, replacing (and returning) an item of the same name; nil otherwise.
    virtual TdomNode* setNamedItem(TdomNode* node);
    virtual TdomNode* setNamedItemNS(TdomNode* node);

    bool getReadonly() const { return readOnly_; }
    bool getNamespaceAware() const { return namespaceAware_; }
    TdomNode* getOwnerNode() const { return owner_; }

    // The holder's own edits of the list, past the refusals: they keep the name index in step.
    /// Appends node (already checked) at the end.
    void appendItem(TdomNode* node);
    /// Takes node out of the list when it is there; true when it was.
    bool eraseItem(TdomNode* node);
    /// Told when an item's node name changed (an attribute's new prefix).
    void itemRenamed();

private:
    /// Name look-up: hashed once the map holds more than a few items.
    struct NameIndex;
    TdomNode* findNamed(const WideString& name) const;
    TdomNode* findNamedNS(const WideString& namespaceURI, const WideString& localName) const;
    int indexOfNS(const WideString& namespaceURI, const WideString& localName) const;
    void checkInsertable(TdomNode* node) const;
    TdomNode* takeAt(int index);
    void putAtEnd(TdomNode* node);
    /// Brings the index in step after node left the list.
    void forget(TdomNode* node);
    /// The index, built or rebuilt when the list has outgrown or left it; nil for short lists.
    NameIndex* currentIndex() const;
    WideString keyOf(const TdomNode* node) const;

    /// The viewed list, which this map may change (its holder gave it as such).
    TdomNodeVector* mutableList() const { return const_cast<TdomNodeVector*>(list_); }

    mutable std::unique_ptr<NameIndex> index_;
    TdomNode* owner_;
    uint16_t allowedTypes_;
    bool readOnly_ = false;
    bool namespaceAware_ = false;
};

/// Map that owns its items and frees them; items are filed by node name, duplicates refused.
/// Items must be instances of the class the map was made for (the test is given at creation).
class TdomOwnerNamedNodeMap : public TPersistent {
public:
    using ItemTest = bool (*)(const TdomNode*);
    explicit TdomOwnerNamedNodeMap(ItemTest isItemClass);
    ~TdomOwnerNamedNodeMap() override;
    TdomOwnerNamedNodeMap(const TdomOwnerNamedNodeMap&) = delete;
    TdomOwnerNamedNodeMap& operator=(const TdomOwnerNamedNodeMap&) = delete;

    int getLength() const { return names_.getCount(); }
    /// Item at index in name order, nil outside the range.
    TdomNode* item(int index) const;
    /// Files node under its name; wrong class EHierarchy_Request_Err, taken name EListError.
    void add(TdomNode* node);
    /// Frees all items.
    void clear();
    /// Frees the item at index; outside the range EListError "List index out of bounds (%d)".
    void Delete(int index);
    /// Takes node out without freeing it and returns its former index; absent EListError "Item not found".
    int extract(TdomNode* node);
    TdomNode* getNamedItem(const WideString& name) const;
    bool hasNamedItem(const WideString& name) const;
    int indexOf(const TdomNode* node) const;
    int indexOfName(const WideString& name) const;
    /// Free the item and return its former index, -1 when absent.
    int removeItem(TdomNode* node);
    int removeNamedItem(const WideString& name);

private:
    ItemTest isItemClass_;
    TdomWideStringList names_;  ///< sorted by node name, duplicates refused; objects are the items
};

}  // namespace xmldom
