// The node base of the XML object model: TdomCustomNode and TdomNode with the child list,
// the allowed-child rules, the mutation notifications and the tree navigation every node
// kind shares. The owner document (XmlDomDocument.h) creates, registers and frees all nodes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "DomExceptions.h"
#include "XmlDomLists.h"
#include "XmlSupport.h"

namespace xmldom {

class TdomAttr;
class TdomDocument;
class TdomNode;
class TdomElement;

/// Node-type codes: the W3C codes 1 to 12 and 13 for the document-type declaration node.
enum TdomNodeType : uint8_t {
    ntUnknown = 0,
    ntElement_Node = 1,
    ntAttribute_Node = 2,
    ntText_Node = 3,
    ntCDATA_Section_Node = 4,
    ntEntity_Reference_Node = 5,
    ntEntity_Node = 6,
    ntProcessing_Instruction_Node = 7,
    ntComment_Node = 8,
    ntDocument_Node = 9,
    ntDocument_Type_Node = 10,
    ntDocument_Fragment_Node = 11,
    ntNotation_Node = 12,
    ntDocument_Type_Decl_Node = 13,
};

/// Allowed-child masks (bit n: node type n may become a child).
inline constexpr uint16_t kPlainNodeChildTypes = 0x39BA;    ///< 1, 3, 4, 5, 7, 8, 11, 12, 13
inline constexpr uint16_t kElementChildTypes = 0x09BA;      ///< 1, 3, 4, 5, 7, 8, 11
inline constexpr uint16_t kDocumentChildTypes = 0x2982;     ///< 1, 7, 8, 11, 13
inline constexpr uint16_t kNoChildTypes = 0;

/// Kind of an attribute change passed with the attribute-modified notification.
enum TdomAttrChange : uint8_t {
    AC_ADDITION = 0,      ///< an attribute was added
    AC_MODIFICATION = 1,  ///< an existing attribute's value was replaced
    AC_REMOVAL = 2,       ///< an attribute was removed
};

/// Flags of compareTreePosition: where the other node stands relative to this one.
using TdomTreePosition = uint8_t;
inline constexpr TdomTreePosition Tree_Position_Ancestor = 0x01;
inline constexpr TdomTreePosition Tree_Position_Descendant = 0x02;
inline constexpr TdomTreePosition Tree_Position_Disconnected = 0x04;
inline constexpr TdomTreePosition Tree_Position_Equivalent = 0x08;
inline constexpr TdomTreePosition Tree_Position_Following = 0x10;
inline constexpr TdomTreePosition Tree_Position_Preceding = 0x20;
inline constexpr TdomTreePosition Tree_Position_Same_Node = 0x40;

namespace detail {
void destroyNode(TdomNode* node);
}

/// Handler of the node notifications: (sender, node inserted / removed / changed).
using TdomNodeEvent = std::function<void(TdomNode* sender, TdomNode* node)>;
/// Handler of the attribute notification: (sender, source element, change kind, attribute).
using TdomAttrModifiedEvent =
    std::function<void(TdomNode* sender, TdomNode* sourceNode, TdomAttrChange attrChange, TdomAttr* relatedAttr)>;

/// Root of the object-model nodes and of the content-model nodes.
class TdomCustomNode : public TPersistent {
public:
    virtual WideString getNodeName() const = 0;
};

/// Base of every node: owner document, child list, value, parent and notifications.
/// Invariant: a node is in its parent's children list exactly when its parent is set.
class TdomNode : public TdomCustomNode {
public:
    ~TdomNode() override;
    TdomNode(const TdomNode&) = delete;
    TdomNode& operator=(const TdomNode&) = delete;

    WideString getNodeName() const override;
    /// Marks every descendant read-only.
    virtual void makeChildrenReadonly();
    /// True when a descendant is an entity reference of that name.
    virtual bool containsEntityReference(const WideString& name) const;

    // Notifications: own handler first, then up to the parent (bubbling kinds) or down to
    // the children (the two "document" kinds).
    virtual void doAttrModified(TdomNode* sourceNode, TdomAttrChange attrChange, TdomAttr* relatedAttr);
    virtual void doCharacterDataModified(TdomNode* node);
    virtual void doNodeInserted(TdomNode* node);
    virtual void doNodeInsertedIntoDocument(TdomNode* node);
    virtual void doNodeRemoved(TdomNode* node);
    virtual void doNodeRemovedFromDocument(TdomNode* node);

    /// The attribute map of an element, nil for other kinds.
    virtual TdomNamedNodeMap* getAttributes() const { return nullptr; }
    virtual WideString getBaseURI() const;
    /// Live view of the children.
    virtual TdomNodeList* getChildNodes() const;
    /// The children in order, without a list object (for walks over many nodes).
    const TdomNodeVector& getChildVector() const { return children_; }
    virtual TdomDocument* getOwnerDocument() const { return ownerDocument_; }
    virtual TdomNode* getFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
    virtual TdomNode* getLastChild() const { return children_.empty() ? nullptr : children_.back(); }
    virtual WideString getLocalName() const { return {}; }
    virtual WideString getNamespaceURI() const { return {}; }
    /// Nil without parent or for the last child.
    virtual TdomNode* getNextSibling() const;
    virtual WideString getNodeValue() const { return nodeValue_; }
    /// The stored value without a copy (the writer's walk reads every text node through it).
    const WideString& getNodeValueRef() const { return nodeValue_; }
    virtual TdomNodeType getNodeType() const { return nodeType_; }
    virtual TdomNode* getParentNode() const { return parent_; }
    /// Nil without parent or for the first child.
    virtual TdomNode* getPreviousSibling() const;
    virtual WideString getPrefix() const { return {}; }
    /// Text of the subtree without comments and processing instructions (per kind).
    virtual WideString getTextContent() const;
    /// Reports an error record of that kind for this node; returns whether to go on.
    virtual bool sendErrorNotification(uint8_t kind, TdomNode* relatedNode);
    /// The same with a clue: the text the report is about.
    bool sendErrorNotification(uint8_t kind, TdomNode* relatedNode, const WideString& clue);
    virtual void setIsReadonly(bool value) { readOnly_ = value; }
    /// Read-only: ENo_Modification_Allowed_Err; else stores the value (no notification).
    virtual void setNodeValue(const WideString& value);
    virtual void setPrefix(const WideString& prefix);
    /// ENot_Supported_Err in the base class.
    virtual bool validate();
    virtual bool validateAttributeValues();

    /// Links newChild as last child; refusals (in this order): nil ENot_Supported_Err, kind
    /// not allowed EHierarchy_Request_Err, other document EWrong_Document_Err, self or
    /// ancestor EHierarchy_Request_Err, read-only here or at its parent ENo_Modification_Allowed_Err.
    /// A fragment gives up its children one by one. Returns newChild.
    virtual TdomNode* appendChild(TdomNode* newChild);
    /// The reading path's appendChild: newChild was just made by this node's document (of the
    /// library's own classes, no parent, no children) and is of a kind this node takes, so only
    /// the read-only refusal remains (ENo_Modification_Allowed_Err); notifications as appendChild.
    void appendNewChild(TdomNode* newChild);
    /// Removes and frees every child with its subtree; read-only: ENo_Modification_Allowed_Err.
    virtual void clear();
    /// A copy owned by the same document (importNode).
    virtual TdomNode* cloneNode(bool deep);
    virtual TdomTreePosition compareTreePosition(const TdomNode* other) const;
    virtual TdomElement* findFirstChildElement() const;
    virtual TdomElement* findLastChildElement() const;
    virtual TdomElement* findNextSiblingElement() const;
    virtual TdomElement* findParentElement() const;
    virtual TdomElement* findPreviousSiblingElement() const;
    virtual TdomElement* findFirstChildElementByName(const WideString& name) const;
    virtual TdomElement* findFirstChildElementNS(const WideString& namespaceURI, const WideString& localName) const;
    virtual TdomElement* findLastChildElementByName(const WideString& name) const;
    virtual TdomElement* findLastChildElementNS(const WideString& namespaceURI, const WideString& localName) const;
    virtual TdomElement* findNextSiblingElementByName(const WideString& name) const;
    virtual TdomElement* findNextSiblingElementNS(const WideString& namespaceURI, const WideString& localName) const;
    virtual TdomElement* findParentElementByName(const WideString& name) const;
    virtual TdomElement* findParentElementNS(const WideString& namespaceURI, const WideString& localName) const;
    virtual TdomElement* findPreviousSiblingElementByName(const WideString& name) const;
    virtual TdomElement* findPreviousSiblingElementNS(const WideString& namespaceURI, const WideString& localName) const;
    virtual bool hasAttributes() const;
    virtual bool hasChildNodes() const { return !children_.empty(); }
    /// As appendChild, placed before refChild (nil: at the end); refChild equal to newChild
    /// EHierarchy_Request_Err, refChild not a child ENot_Found_Err.
    virtual TdomNode* insertBefore(TdomNode* newChild, TdomNode* refChild);
    /// True when node is a proper ancestor of this node.
    virtual bool isAncestor(const TdomNode* node) const;
    virtual void normalize();
    /// Unlinks oldChild (not freed): nil ENot_Supported_Err, read-only
    /// ENo_Modification_Allowed_Err, not a child ENot_Found_Err. Returns oldChild.
    virtual TdomNode* removeChild(TdomNode* oldChild);
    /// Puts newChild where oldChild was; returns oldChild (unlinked, not freed).
    virtual TdomNode* replaceChild(TdomNode* newChild, TdomNode* oldChild);
    virtual bool resolveEntityReferences(uint8_t option);
    virtual bool isSupported(const WideString& feature, const WideString& version) const;

    // Handlers of this node's notifications (empty by default).
    void setOnAttrModified(TdomAttrModifiedEvent handler);
    void setOnCharacterDataModified(TdomNodeEvent handler);
    void setOnNodeInserted(TdomNodeEvent handler);
    void setOnNodeInsertedIntoDocument(TdomNodeEvent handler);
    void setOnNodeRemoved(TdomNodeEvent handler);
    void setOnNodeRemovedFromDocument(TdomNodeEvent handler);

    bool getIsReadonly() const { return readOnly_; }
    bool getIsNamespaceNode() const { return namespaceAware_; }
    /// Number of children (no node is made).
    int getChildCount() const { return static_cast<int>(children_.size()); }

protected:
    TdomNode(TdomDocument* ownerDocument, TdomNodeType nodeType, uint16_t allowedChildTypes);

    /// Child-list change without the checks (callers have made them).
    void linkChild(TdomNode* newChild, size_t index);
    void unlinkChild(TdomNode* oldChild);
    /// Whether a change must run the notification chain at all.
    bool notificationsWanted() const;
    void notifyInserted(TdomNode* newChild);
    void notifyRemoving(TdomNode* oldChild);
    /// False when no node of the owner document has ever had a handler.
    bool handlersPossible() const;
    /// This node, then its descendants in document order, without recursion.
    template <class Visit> void visitSubtree(Visit visit);
    static void markInDocument(TdomNode* root, bool value);
    /// The common checks 2 to 6 of appendChild.
    void checkNewChild(TdomNode* newChild, const TdomNode* refChild) const;
    size_t indexInParent() const;

    void setNamespaceAware(bool value) { namespaceAware_ = value; }

    TdomDocument* ownerDocument_;
    TdomNode* parent_ = nullptr;
    TdomNodeVector children_;
    WideString nodeValue_;

private:
    friend class TdomDocument;
    friend class TdomElement;  ///< moves children between lists in one pass
    friend void detail::destroyNode(TdomNode* node);
    /// What few nodes need, in one block made on first use: the live view getChildNodes hands
    /// out and the notification handlers.
    struct Extras;
    Extras& extras() const;
    /// A handler was set: the document knows handlers are in use.
    Extras& handlers();

    mutable std::unique_ptr<Extras> extras_;
    mutable uint32_t indexInParent_ = 0;   ///< a hint: checked against the parent's list before use
    uint32_t registryIndex_ = 0;           ///< position in the owner document's registry
    uint16_t allocSize_ = 0;               ///< bytes taken from the document's node pages, 0 otherwise
    TdomNodeType nodeType_;
    bool namespaceAware_ = false;
    bool readOnly_ = false;
    /// The parent chain reaches the owner document; kept only in documents with an implementation.
    bool inDocument_ = false;
    uint16_t allowedChildTypes_;
};

}  // namespace xmldom
