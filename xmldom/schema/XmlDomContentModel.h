// The content model: a document type definition in object form. One owner, TdomCMObject,
// creates and frees a tree of declaration nodes (element types with their particles, attribute
// lists, entities, notations ...), checks the model and matches element content against it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "DomExceptions.h"
#include "XmlDomNodes.h"
#include "XmlSupport.h"

namespace xmldom {

class TDomImplementation;
class TdomCMNode;
class TdomCMObject;
class TdomCMElementTypeDeclaration;
class TdomCMNotationDeclaration;
class TdomCustomCMEntDecl;
class TdomCMParameterEntityDeclaration;

/// Node types of the content model.
enum TdomCMNodeType : uint8_t {
    ntCMParticle = 0,
    ntCMProcessingInstruction = 1,
    ntCMComment = 2,
    ntCMFragment = 3,
    ntCMExternalObject = 4,
    ntCMInternalObject = 5,
    ntCMParameterEntityReference = 6,
    ntCMEntityDeclaration = 7,
    ntCMParameterEntityDeclaration = 8,
    ntCMElementTypeDeclaration = 9,
    ntCMSequenceParticle = 10,
    ntCMChoiceParticle = 11,
    ntCMPcdataChoiceParticle = 12,
    ntCMElementParticle = 13,
    ntCMAttrList = 14,
    ntCMAttrDefinition = 15,
    ntCMNotationDeclaration = 16,
    ntCMNameParticle = 17,
    ntCMNmtokenParticle = 18,
};

/// Content types of an element type declaration.
enum TdomCMContentType : uint8_t { ctEmpty = 0, ctAny = 1, ctMixed = 2, ctChildren = 3 };

using TdomCMNodeVector = std::vector<TdomCMNode*>;

/// Live view of a content-model node's children.
class TdomCMNodeList : public TObject {
public:
    explicit TdomCMNodeList(const TdomCMNodeVector* items) : items_(items) {}
    int getLength() const { return static_cast<int>(items_->size()); }
    /// -1 when the node is not in the list.
    int indexOf(const TdomCMNode* node) const;
    /// Nil when index is out of range.
    TdomCMNode* item(int index) const;

private:
    const TdomCMNodeVector* items_;
};

/// Base of every content-model node.
class TdomCMNode : public TdomCustomNode {
public:
    ~TdomCMNode() override = default;
    TdomCMNode(const TdomCMNode&) = delete;
    TdomCMNode& operator=(const TdomCMNode&) = delete;

    WideString getNodeName() const override { return name_; }
    virtual TdomCMNodeType getNodeType() const { return type_; }
    virtual TdomCMObject* getOwnerCMObject() const { return owner_; }
    virtual TdomCMNode* getParentNode() const { return parent_; }
    virtual TdomCMNodeList* getChildNodes() { return &childView_; }
    virtual TdomCMNode* getFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
    virtual TdomCMNode* getLastChild() const { return children_.empty() ? nullptr : children_.back(); }
    virtual TdomCMNode* getNextSibling() const;
    virtual WideString getNodeValue() const { return value_; }
    virtual TdomCMNode* getPreviousSibling() const;
    /// Read-only: ENo_Modification_Allowed_Err.
    virtual void setNodeValue(const WideString& value);
    /// Reports an error record of that kind (related: relatedNode) through the owner's
    /// implementation; returns whether to go on.
    virtual bool sendErrorNotification(uint8_t kind, TdomCMNode* relatedNode);
    virtual void setIsReadonly(bool value) { readOnly_ = value; }
    /// True when nothing was reported; the base has nothing to check.
    virtual bool validate() { return true; }
    /// Removes and frees every child; read-only: ENo_Modification_Allowed_Err.
    virtual void clear();
    virtual TdomCMNode* insertBefore(TdomCMNode* newChild, TdomCMNode* refChild);
    /// Returns oldChild, unlinked but not freed.
    virtual TdomCMNode* replaceChild(TdomCMNode* newChild, TdomCMNode* oldChild);
    virtual TdomCMNode* removeChild(TdomCMNode* oldChild);
    virtual TdomCMNode* appendChild(TdomCMNode* newChild);
    virtual bool hasChildNodes() const { return !children_.empty(); }
    /// A copy made by the owner; deep copies the whole subtree (without recursion).
    virtual TdomCMNode* cloneNode(bool deep);
    /// True when node stands on this node's parent chain; a chain that meets a node twice
    /// raises EHierarchy_Request_Err.
    virtual bool isAncestor(const TdomCMNode* node) const;

    bool getIsReadonly() const { return readOnly_; }
    /// The children without a view object (internal walks).
    const TdomCMNodeVector& children() const { return children_; }
    const WideString& nameRef() const { return name_; }
    const WideString& valueRef() const { return value_; }

protected:
    friend class TdomCMObject;
    TdomCMNode(TdomCMObject* owner, TdomCMNodeType type, WideString name, uint32_t allowedChildTypes);

    virtual uint32_t allowedChildTypes() const { return allowed_; }
    /// A shallow copy owned by target, with every kind-specific field.
    virtual TdomCMNode* makeCopy(TdomCMObject* target) const = 0;
    void checkNewChild(TdomCMNode* newChild, const TdomCMNode* refChild) const;
    void link(TdomCMNode* child, size_t index);
    void unlink(TdomCMNode* child);
    size_t indexOfChild(const TdomCMNode* child) const;

    TdomCMObject* owner_;
    TdomCMNode* parent_ = nullptr;
    TdomCMNodeVector children_;
    TdomCMNodeList childView_{&children_};
    WideString name_;
    WideString value_;

private:
    size_t registryIndex_ = 0;
    uint32_t allowed_;
    TdomCMNodeType type_;
    bool readOnly_ = false;
};

class TdomCMComment : public TdomCMNode {
public:
    WideString getData() const { return value_; }
    void setData(const WideString& data) { setNodeValue(data); }
    int getLength() const { return static_cast<int>(value_.size()); }
    /// Negative offset or count, or offset past the end: EIndex_Size_Err; count clipped.
    WideString substringData(int offset, int count) const;
    void appendData(const WideString& arg);
    void insertData(int offset, const WideString& arg);
    void deleteData(int offset, int count);
    void replaceData(int offset, int count, const WideString& arg);

protected:
    friend class TdomCMObject;
    TdomCMComment(TdomCMObject* owner, const WideString& data);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMProcessingInstruction : public TdomCMNode {
public:
    WideString getTarget() const { return name_; }
    WideString getData() const { return value_; }
    void setData(const WideString& data) { setNodeValue(data); }

protected:
    friend class TdomCMObject;
    TdomCMProcessingInstruction(TdomCMObject* owner, const WideString& target, const WideString& data);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMFragment : public TdomCMNode {
protected:
    friend class TdomCMObject;
    explicit TdomCMFragment(TdomCMObject* owner);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMParameterEntityReference : public TdomCMNode {
protected:
    friend class TdomCMObject;
    TdomCMParameterEntityReference(TdomCMObject* owner, const WideString& name);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

/// Base of the two subset objects: declarations in child order and look-ups by name.
class TdomCustomCMIEObject : public TdomCMNode {
public:
    /// The first element type declaration of that name, nil when none.
    TdomCMElementTypeDeclaration* findElementTypeDeclaration(const WideString& name) const;
    TdomCMNotationDeclaration* findNotationDeclaration(const WideString& name) const;
    /// The first general (entity == true) or parameter entity declaration of that name.
    TdomCustomCMEntDecl* findEntityDeclaration(const WideString& name, bool parameter) const;
    /// Replacement text of a parameter entity this subset declares; errorKind 0 on success,
    /// else 27 (not declared), 33 (unresolvable), 51 (bad text declaration), 78 (encoding).
    virtual void resolveParameterEntity(const WideString& name, WideString& text, uint8_t& errorKind);
    const WideString& getLocation() const { return location_; }
    void setLocation(const WideString& location) { location_ = location; }

protected:
    TdomCustomCMIEObject(TdomCMObject* owner, TdomCMNodeType type, const WideString& name);
    TdomCMNode* makeCopy(TdomCMObject*) const override;

    WideString location_;
};

class TdomCMInternalObject : public TdomCustomCMIEObject {
protected:
    friend class TdomCMObject;
    explicit TdomCMInternalObject(TdomCMObject* owner);
};

class TdomCMExternalObject : public TdomCustomCMIEObject {
protected:
    friend class TdomCMObject;
    explicit TdomCMExternalObject(TdomCMObject* owner);
};

/// Base of general and parameter entity declarations.
class TdomCustomCMEntDecl : public TdomCMNode {
public:
    /// Internal: the literal value is the node value and both identifiers are empty.
    bool isInternal() const { return isInternal_; }
    const WideString& getPublicId() const { return publicId_; }
    const WideString& getSystemId() const { return systemId_; }
    WideString getLiteralValue() const { return value_; }

protected:
    TdomCustomCMEntDecl(TdomCMObject* owner, TdomCMNodeType type, const WideString& name);
    void copyFields(TdomCustomCMEntDecl* copy) const;

    WideString publicId_;
    WideString systemId_;
    bool isInternal_ = true;
};

class TdomCMEntityDeclaration : public TdomCustomCMEntDecl {
public:
    const WideString& getNotationName() const { return notationName_; }
    bool isUnparsed() const { return !notationName_.empty(); }

protected:
    friend class TdomCMObject;
    TdomCMEntityDeclaration(TdomCMObject* owner, const WideString& name);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;

    WideString notationName_;
};

class TdomCMParameterEntityDeclaration : public TdomCustomCMEntDecl {
protected:
    friend class TdomCMObject;
    TdomCMParameterEntityDeclaration(TdomCMObject* owner, const WideString& name);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMNotationDeclaration : public TdomCMNode {
public:
    const WideString& getPublicId() const { return publicId_; }
    const WideString& getSystemId() const { return systemId_; }

protected:
    friend class TdomCMObject;
    TdomCMNotationDeclaration(TdomCMObject* owner, const WideString& name, const WideString& publicId,
                              const WideString& systemId);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;

    WideString publicId_;
    WideString systemId_;
};

class TdomCMElementTypeDeclaration : public TdomCMNode {
public:
    TdomCMContentType getContentType() const { return contentType_; }
    /// "EMPTY " or "ANY ", else the text of the first particle (empty without one).
    WideString getContentSpec() const;

protected:
    friend class TdomCMObject;
    TdomCMElementTypeDeclaration(TdomCMObject* owner, const WideString& name, TdomCMContentType contentType);
    uint32_t allowedChildTypes() const override;
    TdomCMNode* makeCopy(TdomCMObject* target) const override;

    TdomCMContentType contentType_;
};

class TdomCMAttrList : public TdomCMNode {
protected:
    friend class TdomCMObject;
    TdomCMAttrList(TdomCMObject* owner, const WideString& name);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMAttrDefinition : public TdomCMNode {
public:
    /// Empty for an enumeration, "NOTATION", "CDATA" or a tokenized type.
    const WideString& getAttributeType() const { return attType_; }
    /// "#REQUIRED", "#IMPLIED", "#FIXED" or empty.
    const WideString& getDefaultDeclaration() const { return defaultDecl_; }
    WideString getDefaultValue() const { return value_; }
    /// Kind 18 for an ID with a default; repeated enumeration or notation tokens (kinds 9, 15).
    bool validate() override;

protected:
    friend class TdomCMObject;
    TdomCMAttrDefinition(TdomCMObject* owner, const WideString& name, const WideString& attType,
                         const WideString& defaultDecl, const WideString& defaultValue);
    uint32_t allowedChildTypes() const override;
    TdomCMNode* makeCopy(TdomCMObject* target) const override;

    WideString attType_;
    WideString defaultDecl_;
};

class TdomCMNameParticle : public TdomCMNode {
protected:
    friend class TdomCMObject;
    TdomCMNameParticle(TdomCMObject* owner, const WideString& name);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMNmtokenParticle : public TdomCMNode {
protected:
    friend class TdomCMObject;
    TdomCMNmtokenParticle(TdomCMObject* owner, const WideString& token);
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

/// Names of child elements to match, consumed from `position` on.
using TdomCMNameList = std::vector<WideString>;

/// Base of the four particle kinds: occurrence indicator, matching and text form.
class TdomCMParticle : public TdomCMNode {
public:
    /// "", "?", "*" or "+".
    const WideString& getFrequency() const { return occurrence_; }
    /// Any other value: EInvalid_Character_Err.
    void setFrequency(const WideString& occurrence);
    /// One match of this particle at position; on success position moves past the consumed
    /// names. ambiguous is set when a choice found two alternatives that consume names.
    virtual bool contentModelTest(const TdomCMNameList& names, size_t& position, bool& ambiguous) const;
    /// The match under the occurrence indicator; a repetition ends when a pass consumes nothing.
    bool contentModelTestWithOccurrence(const TdomCMNameList& names, size_t& position, bool& ambiguous) const;
    /// The declaration text of this particle and its children (a sequence without children:
    /// ENot_Supported_Err).
    WideString writeText() const;

    /// Particle groups nested deeper than this are refused by the matching.
    static constexpr int kMaxMatchDepth = 512;

protected:
    friend class TdomCMSequenceParticle;
    friend class TdomCMChoiceParticle;
    TdomCMParticle(TdomCMObject* owner, TdomCMNodeType type, const WideString& name, uint32_t allowed,
                   const WideString& occurrence);
    bool testWithOccurrence(const TdomCMNameList& names, size_t& position, bool& ambiguous, int depth) const;
    virtual bool testOnce(const TdomCMNameList& names, size_t& position, bool& ambiguous, int depth) const;

    WideString occurrence_;
};

class TdomCMSequenceParticle : public TdomCMParticle {
protected:
    friend class TdomCMObject;
    TdomCMSequenceParticle(TdomCMObject* owner, const WideString& occurrence);
    bool testOnce(const TdomCMNameList& names, size_t& position, bool& ambiguous, int depth) const override;
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMChoiceParticle : public TdomCMParticle {
protected:
    friend class TdomCMObject;
    TdomCMChoiceParticle(TdomCMObject* owner, const WideString& occurrence);
    bool testOnce(const TdomCMNameList& names, size_t& position, bool& ambiguous, int depth) const override;
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMPcdataChoiceParticle : public TdomCMParticle {
protected:
    friend class TdomCMObject;
    explicit TdomCMPcdataChoiceParticle(TdomCMObject* owner);
    bool testOnce(const TdomCMNameList& names, size_t& position, bool& ambiguous, int depth) const override;
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

class TdomCMElementParticle : public TdomCMParticle {
protected:
    friend class TdomCMObject;
    TdomCMElementParticle(TdomCMObject* owner, const WideString& name, const WideString& occurrence);
    bool testOnce(const TdomCMNameList& names, size_t& position, bool& ambiguous, int depth) const override;
    TdomCMNode* makeCopy(TdomCMObject* target) const override;
};

/// Owner of a content model: both subsets and every node created through its factories.
class TdomCMObject : public TPersistent {
public:
    explicit TdomCMObject(TDomImplementation* implementation);
    ~TdomCMObject() override;
    TdomCMObject(const TdomCMObject&) = delete;
    TdomCMObject& operator=(const TdomCMObject&) = delete;

    // Factories: each failed check raises EInvalid_Character_Err and creates nothing.
    virtual TdomCMAttrDefinition* createAttributeDefinition(const WideString& name, const WideString& attType,
                                                            const WideString& defaultDecl,
                                                            const WideString& defaultValue);
    virtual TdomCMAttrList* createAttributeList(const WideString& name);
    virtual TdomCMChoiceParticle* createChoiceParticle(const WideString& occurrence);
    virtual TdomCMComment* createComment(const WideString& data);
    virtual TdomCMElementParticle* createElementParticle(const WideString& name, const WideString& occurrence);
    virtual TdomCMElementTypeDeclaration* createElementTypeDeclaration(const WideString& name,
                                                                       TdomCMContentType contentType);
    virtual TdomCMEntityDeclaration* createEntityDeclaration(const WideString& name, const WideString& value);
    virtual TdomCMParameterEntityDeclaration* createParameterEntityDeclaration(const WideString& name,
                                                                               const WideString& value);
    virtual TdomCMEntityDeclaration* createExternalEntityDeclaration(const WideString& name, const WideString& publicId,
                                                                     const WideString& systemId,
                                                                     const WideString& notationName);
    virtual TdomCMParameterEntityDeclaration* createExternalParameterEntityDeclaration(const WideString& name,
                                                                                       const WideString& publicId,
                                                                                       const WideString& systemId);
    virtual TdomCMFragment* createFragment();
    virtual TdomCMNameParticle* createNameParticle(const WideString& name);
    virtual TdomCMNmtokenParticle* createNmtokenParticle(const WideString& token);
    virtual TdomCMNotationDeclaration* createNotationDeclaration(const WideString& name, const WideString& publicId,
                                                                 const WideString& systemId);
    virtual TdomCMParameterEntityReference* createParameterEntityReference(const WideString& name);
    virtual TdomCMPcdataChoiceParticle* createPcdataChoiceParticle();
    virtual TdomCMProcessingInstruction* createProcessingInstruction(const WideString& target,
                                                                     const WideString& data);
    virtual TdomCMSequenceParticle* createSequenceParticle(const WideString& occurrence);

    /// A shallow copy of node owned here; subsets and abstract particles: ENot_Supported_Err.
    virtual TdomCMNode* importNode(TdomCMNode* node);
    /// Another owner: EWrong_Document_Err; still linked: EInuse_Err. Frees the subtree, clears node.
    virtual void freeNode(TdomCMNode*& node);
    /// The element type declaration of the internal subset, else of the external one.
    virtual TdomCMElementTypeDeclaration* findDeclaration(const WideString& name) const;
    /// True when either subset declares a notation of that name.
    virtual bool isDeclared(const WideString& name) const;
    /// Checks every attribute list of both subsets; true when nothing was reported.
    virtual bool validate();

    TdomCMInternalObject* getInternalSubset() const { return internal_; }
    TdomCMExternalObject* getExternalSubset() const { return external_; }
    TDomImplementation* getDomImplementation() const { return implementation_; }
    /// Number of live nodes (the two subsets included).
    size_t getNodeCount() const { return registry_.size(); }

private:
    friend class TdomCMNode;
    template <class T>
    T* registerNode(T* node);
    void destroyNode(TdomCMNode* node);

    TDomImplementation* implementation_;
    TdomCMNodeVector registry_;
    TdomCMInternalObject* internal_ = nullptr;
    TdomCMExternalObject* external_ = nullptr;
};

}  // namespace xmldom
