// The declaration store for validation: schema models holding element, entity and notation
// declarations with their attribute declarations and content models, and the collection of
// models one document uses, which answers look-ups, expands entities and checks the models.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "XmlDomEntityExpansion.h"
#include "XmlErrors.h"
#include "XmlStrings.h"
#include "XmlSupport.h"

namespace xmldom {

class TDomImplementation;
class TdomDocument;
class TXmlToDomParser;
class TdomASModel;
class TdomASModelCollection;
class TdomASElementDecl;
class TdomASContentModel;
class TdomASAttributeDecl;
class TdomASEntityDecl;
class TdomASNotationDecl;

/// Object types of the declaration objects.
enum TdomASObjectType : uint8_t {
    AS_ATTRIBUTE_DECLARATION = 1,
    AS_CONTENT_MODEL = 2,
    AS_ELEMENT_DECLARATION = 3,
    AS_ENTITY_DECLARATION = 4,
    AS_ENTITY_MODEL = 5,  ///< one part of an entity's replacement text
    AS_NOTATION_DECLARATION = 6,
};

/// Content types of element declarations.
enum : uint8_t {
    AS_CONTENT_ANY = 0,
    AS_CONTENT_EMPTY = 1,
    AS_CONTENT_ELEMENT = 2,
    AS_CONTENT_MIXED = 3,
    AS_CONTENT_STRICT_MIXED = 4,
    AS_CONTENT_UNDEFINED = 5,  ///< not yet set
};

/// List operators of content models.
enum : uint8_t { AS_CHOICE = 0, AS_ELEMENT_NAME = 1, AS_SEQUENCE = 2 };

/// Frequencies of content models.
enum : uint8_t { AS_ONCE = 0, AS_OPTIONAL = 1, AS_ONE_OR_MORE = 2, AS_ZERO_OR_MORE = 3 };

/// Attribute types.
enum : uint8_t {
    AS_STRING_DATATYPE = 0,  ///< CDATA
    AS_NOTATION_DATATYPE = 1,
    AS_ID_DATATYPE = 2,
    AS_IDREF_DATATYPE = 3,
    AS_IDREFS_DATATYPE = 4,
    AS_ENTITY_DATATYPE = 5,
    AS_ENTITIES_DATATYPE = 6,
    AS_NMTOKEN_DATATYPE = 7,  ///< also an enumeration
    AS_NMTOKENS_DATATYPE = 8,
};

/// Default declarations of attributes.
enum : uint8_t { AS_DEFAULT = 0, AS_FIXED = 1, AS_IMPLIED = 2, AS_REQUIRED = 3 };

/// Kinds of the parts of an entity's replacement text.
enum : uint8_t { AS_TEXT_PART = 0, AS_CHARREF_PART = 1, AS_ENTITYREF_PART = 2 };

/// Resolution states of entity declarations.
enum : uint8_t { AS_UNRESOLVED = 0, AS_UNUSABLE = 1, AS_USABLE = 2 };

/// The kinds of the entity tests (refersTo... and refersToXyz).
enum TdomASEntityTestKind : uint8_t {
    AS_TEST_CIRCULAR = 0,
    AS_TEST_EXTERNAL = 1,
    AS_TEST_LESS_THAN = 2,
    AS_TEST_UNPARSED = 3,
    AS_TEST_UNRESOLVABLE = 4,
};

/// Base of every declaration object: owner model, name and object type.
class TdomCustomASObject : public TObject {
public:
    TdomCustomASObject(TdomASModel* ownerModel, const WideString& name, uint8_t objectType)
        : ownerModel_(ownerModel), name_(name), objectType_(objectType) {}
    TdomCustomASObject(const TdomCustomASObject&) = delete;
    TdomCustomASObject& operator=(const TdomCustomASObject&) = delete;

    TdomASModel* getOwnerASModel() const { return ownerModel_; }
    virtual const WideString& getName() const { return name_; }
    uint8_t getObjectType() const { return objectType_; }

protected:
    TdomASModel* ownerModel_;
    WideString name_;
    uint8_t objectType_;
};

class TdomASObject : public TdomCustomASObject {
public:
    using TdomCustomASObject::TdomCustomASObject;
};

/// An ordered list of objects (not owned).
class TdomASObjectList {
public:
    TdomASObject* appendASObject(TdomASObject* object);
    void removeASObjectAt(int index);
    /// -1 when absent.
    int indexOf(const TdomASObject* object) const;
    /// Appends when ref is not in the list.
    void insertBefore(TdomASObject* object, const TdomASObject* ref);
    int getLength() const { return static_cast<int>(items_.size()); }
    void removeASObject(const TdomASObject* object);
    /// Nothing when out of range.
    TdomASObject* item(int index) const;
    void clear() { items_.clear(); }

private:
    std::vector<TdomASObject*> items_;
};

/// Declarations keyed by name in order of addition (not owned). Look-ups by name go through
/// an open-addressing index over the list, so large DTDs are declared and searched in
/// linear time.
class TdomASNamedObjectMap {
public:
    int getLength() const { return static_cast<int>(items_.size()); }
    /// Absent: ENot_Found_Err "Not found error.". Returns the removed object (the caller frees it).
    TdomASObject* removeNamedItem(const WideString& name);
    /// Replaces an item of the same name and returns it (the caller frees it), else adds and
    /// returns nothing.
    TdomASObject* setNamedItem(TdomASObject* object);
    TdomASObject* getNamedItem(const WideString& name) const;
    TdomASObject* item(int index) const;
    void clear();

private:
    /// The slot holding name, or the empty slot where it would go.
    size_t findSlot(std::u16string_view name, size_t hash) const;
    void rebuildIndex(size_t slotCount);

    std::vector<TdomASObject*> items_;
    std::vector<size_t> hashes_;   ///< the hash of each item's name
    std::vector<uint32_t> slots_;  ///< item index + 1, 0 for empty; a power of two in size
};

// ---------------------------------------------------------------- content models

/// A node of an element's content model: a choice, a sequence or an element name, with its
/// frequency and sub-models.
class TdomASContentModel : public TdomASObject {
public:
    TdomASContentModel(TdomASElementDecl* ownerElementDecl, const WideString& name, uint8_t listOperator);

    TdomASElementDecl* getOwnerElementDecl() const { return ownerElementDecl_; }
    uint8_t getListOperator() const { return listOperator_; }
    uint8_t getFrequency() const { return frequency_; }
    /// 0 exactly once, 1 "?", 2 "+", 3 "*"; others are kept but never match.
    void setFrequency(uint8_t value) { frequency_ = value; }
    /// Whether a sub-model may use the list operator (choice and sequence take all three).
    bool allowsSubModelOperator(uint8_t op) const;
    bool isInUse() const { return inUse_; }
    const TdomASObjectList& getSubModels() const { return subModels_; }
    int getSubModelCount() const { return subModels_.getLength(); }
    TdomASContentModel* getSubModel(int index) const;
    /// The model this one is a sub-model of; nothing when it is none.
    TdomASContentModel* getParentModel() const { return parent_; }

    // Matching of an element's child names; see the store's matcher. Each clears the error
    // flag first; after success index stands behind the consumed names.
    virtual bool choiceTest(const std::vector<WideString>& names, size_t& index, bool& error, bool optional) const;
    virtual bool nameTest(const std::vector<WideString>& names, size_t& index, bool& error, bool optional) const;
    virtual bool contentModelTest(const std::vector<WideString>& names, size_t& index, bool& error,
                                  bool optional) const;
    virtual bool contentModelTestWithFrequency(const std::vector<WideString>& names, size_t& index,
                                               bool& error) const;
    virtual bool sequenceTest(const std::vector<WideString>& names, size_t& index, bool& error, bool optional) const;
    /// contentModelTestWithFrequency over pointers to the names (the validation walk's form).
    bool testChildNames(const std::vector<const WideString*>& names, size_t& index, bool& error) const;

    /// A model in use: EInuse_Err "Content model in use error."; one of another element
    /// declaration: EAS_Wrong_Element_Decl_Err; an operator this model does not take, or any
    /// sub-model of an element-name model: ENot_Supported_Err; this model itself or one it
    /// lies in: EHierarchy_Request_Err. Returns the model.
    virtual TdomASContentModel* appendSubModel(TdomASContentModel* model);
    /// As appendSubModel; a missing reference appends.
    virtual TdomASContentModel* insertSubModelBefore(TdomASContentModel* model, TdomASContentModel* ref);
    /// Not a sub-model: ENot_Found_Err "Node not found error.". Returns the model.
    virtual TdomASContentModel* removeSubModel(TdomASContentModel* model);

private:
    friend class TdomASElementDecl;
    void checkNewSubModel(TdomASContentModel* model) const;

    TdomASElementDecl* ownerElementDecl_;
    uint8_t listOperator_;
    uint8_t frequency_ = AS_ONCE;
    bool inUse_ = false;
    TdomASContentModel* parent_ = nullptr;
    TdomASObjectList subModels_;
};

// ---------------------------------------------------------------- declarations

class TdomASAttributeDecl : public TdomASObject {
public:
    TdomASAttributeDecl(TdomASElementDecl* ownerElement, const WideString& name);

    TdomASElementDecl* getOwnerElementDecl() const { return ownerElement_; }
    uint8_t getAttrType() const { return attrType_; }
    void setAttrType(uint8_t value) { attrType_ = value; }
    uint8_t getDefaultDecl() const { return defaultDecl_; }
    void setDefaultDecl(uint8_t value) { defaultDecl_ = value; }
    const WideString& getDefaultValue() const { return defaultValue_; }
    void setDefaultValue(const WideString& value) { defaultValue_ = value; }
    TdomWideStringList& getEnumeration() { return enumeration_; }
    const TdomWideStringList& getEnumeration() const { return enumeration_; }

private:
    TdomASElementDecl* ownerElement_;
    uint8_t attrType_ = AS_STRING_DATATYPE;
    uint8_t defaultDecl_ = AS_IMPLIED;
    WideString defaultValue_;
    TdomWideStringList enumeration_;
};

class TdomASElementDecl : public TdomASObject {
public:
    TdomASElementDecl(TdomASModel* ownerModel, const WideString& name, uint8_t contentType);
    ~TdomASElementDecl() override;

    uint8_t getContentType() const { return contentType_; }
    /// Only while the type is 5: else ENo_Modification_Allowed_Err.
    void setContentType(uint8_t value);
    /// Creates and lists a content model of this declaration; the name is kept for operator 1
    /// only. An operator other than 0, 1 and 2: ENot_Supported_Err.
    TdomASContentModel* createContentModel(const WideString& name, uint8_t listOperator);
    /// A model in use: EInuse_Err; not of this declaration: ENot_Found_Err. Its sub-models are
    /// released first, then it is freed and the variable cleared.
    void removeContentModel(TdomASContentModel*& model);
    /// Makes the model current (the steps of the store); returns the previous one.
    TdomASContentModel* setContentModel(TdomASContentModel* model);
    TdomASContentModel* getContentModel() const { return contentModel_; }
    const TdomASObjectList& getContentModels() const { return contentModels_; }
    /// Whether the current content model may use the operator, by content type.
    bool allowsContentModelOperator(uint8_t op) const;

    TdomASAttributeDecl* findAttributeDecl(const WideString& name) const;
    /// False with the existing declaration when the name is taken. Not a Name:
    /// EInvalid_Character_Err.
    bool addAttributeDecl(const WideString& name, TdomASAttributeDecl*& decl);
    bool removeAttributeDecl(const WideString& name);
    const TdomASNamedObjectMap& getAttributeDecls() const { return attributeDecls_; }

private:
    uint8_t contentType_;
    TdomASNamedObjectMap attributeDecls_;  ///< owned
    TdomASObjectList contentModels_;       ///< owned
    TdomASContentModel* contentModel_ = nullptr;
};

/// One part of an entity's replacement text: text, a character reference's character, or a
/// reference to an entity (its name).
class TdomASEntityModel : public TdomASObject {
public:
    TdomASEntityModel(TdomASModel* ownerModel, uint8_t kind, const WideString& value)
        : TdomASObject(ownerModel, kind == AS_ENTITYREF_PART ? value : WideString(), AS_ENTITY_MODEL),
          kind_(kind), value_(value) {}
    uint8_t getKind() const { return kind_; }
    /// The text, the character's code units, or the referenced entity's name.
    const WideString& getValue() const { return value_; }

private:
    uint8_t kind_;
    WideString value_;
};

class TdomASEntityDecl : public TdomASObject {
public:
    /// An external entity (a non-empty identifier or notation) starts in state 0 without a
    /// value; an internal one gets its value through setLiteralValue.
    TdomASEntityDecl(TdomASModel* ownerModel, const WideString& name, const WideString& value,
                     const WideString& publicId, const WideString& systemId, const WideString& notationName);
    ~TdomASEntityDecl() override;

    const WideString& getPublicId() const { return publicId_; }
    const WideString& getSystemId() const { return systemId_; }
    const WideString& getNotationName() const { return notationName_; }
    const WideString& getLiteralValue() const { return literalValue_; }
    /// Keeps the value and sets the state by a silent test parse as content (2 well-formed,
    /// 1 not); in state 2 the value is cut into parts.
    void setLiteralValue(const WideString& value);
    uint8_t getState() const { return state_; }
    /// An internal entity in state 1 whose value breaks only rules of content ("]]>"): its
    /// text is judged as content only where it is referenced in content, and is usable in an
    /// attribute value.
    bool isAttributeUsable() const { return attributeUsable_; }
    bool isExternal() const { return !publicId_.empty() || !systemId_.empty() || !notationName_.empty(); }
    bool isParsed() const { return notationName_.empty(); }
    int getPartCount() const { return static_cast<int>(parts_.size()); }
    TdomASEntityModel* getPart(int index) const;
    /// True when the entity is usable afterwards; an external parsed entity in state 0 is
    /// fetched through the implementation's doExternalParsedEntity.
    bool resolve();
    /// The address of the entity that holds the declaration, which a relative system
    /// identifier is taken against; empty: the model's location.
    const WideString& getBaseUri() const { return baseUri_; }
    void setBaseUri(const WideString& value) { baseUri_ = value; }

private:
    void clearParts();

    WideString publicId_, systemId_, notationName_, literalValue_, baseUri_;
    uint8_t state_ = AS_UNRESOLVED;
    bool attributeUsable_ = false;
    std::vector<TdomASEntityModel*> parts_;  ///< owned
};

class TdomASNotationDecl : public TdomASObject {
public:
    TdomASNotationDecl(TdomASModel* ownerModel, const WideString& name, const WideString& publicId,
                       const WideString& systemId)
        : TdomASObject(ownerModel, name, AS_NOTATION_DECLARATION), publicId_(publicId), systemId_(systemId) {}
    const WideString& getPublicId() const { return publicId_; }
    const WideString& getSystemId() const { return systemId_; }

private:
    WideString publicId_, systemId_;
};

// ---------------------------------------------------------------- models

/// The implementation that made the model, the collections using it and its location text.
class TdomCustomASModel : public TObject {
public:
    explicit TdomCustomASModel(TDomImplementation* domImpl) : domImpl_(domImpl) {}
    TdomCustomASModel(const TdomCustomASModel&) = delete;
    TdomCustomASModel& operator=(const TdomCustomASModel&) = delete;

    TDomImplementation* getDomImplementation() const { return domImpl_; }
    const WideString& getLocation() const { return location_; }
    void setLocation(const WideString& value) { location_ = value; }
    const std::vector<TdomASModelCollection*>& getUsedByCollections() const { return collections_; }
    bool isUsed() const { return !collections_.empty(); }

protected:
    friend class TdomASModelCollection;
    TDomImplementation* domImpl_;
    WideString location_;
    std::vector<TdomASModelCollection*> collections_;
};

class TdomASModel : public TdomCustomASModel {
public:
    explicit TdomASModel(TDomImplementation* domImpl);
    ~TdomASModel() override;

    /// Detaches the model from all its collections and frees every declaration.
    void clear();

    TdomASAttributeDecl* findAttributeDecl(const WideString& elementName, const WideString& name) const;
    TdomASElementDecl* findElementDecl(const WideString& name) const;
    TdomASEntityDecl* findEntityDecl(const WideString& name) const;
    TdomASNotationDecl* findNotationDecl(const WideString& name) const;
    bool removeElementDecl(const WideString& name);
    bool removeEntityDecl(const WideString& name);
    bool removeNotationDecl(const WideString& name);
    /// False with the existing declaration when the name is taken. Not a Name:
    /// EInvalid_Character_Err.
    bool addElementDecl(const WideString& name, uint8_t contentType, TdomASElementDecl*& decl);
    /// An internal entity with its value.
    bool addEntityDecl(const WideString& name, const WideString& value, TdomASEntityDecl*& decl);
    /// An entity with identifiers (external when one of them or the notation is non-empty).
    /// The system identifier must pass IsXmlSystemChars, the public one IsXmlPubidChars, a
    /// notation name must be a Name: else EInvalid_Character_Err.
    bool addEntityDecl(const WideString& name, const WideString& publicId, const WideString& systemId,
                       const WideString& notationName, TdomASEntityDecl*& decl);
    bool addNotationDecl(const WideString& name, const WideString& publicId, const WideString& systemId,
                         TdomASNotationDecl*& decl);

    const TdomASNamedObjectMap& getElementDecls() const { return elementDecls_; }
    const TdomASNamedObjectMap& getEntityDecls() const { return entityDecls_; }
    const TdomASNamedObjectMap& getNotationDecls() const { return notationDecls_; }

    /// The parser of the test parse of entity values, on an implementation of the model's own
    /// that reports to nobody; both made on first use.
    TXmlToDomParser* getTestParser();

private:
    TdomASNamedObjectMap elementDecls_;   ///< owned
    TdomASNamedObjectMap entityDecls_;    ///< owned
    TdomASNamedObjectMap notationDecls_;  ///< owned
    std::unique_ptr<TDomImplementation> silentImpl_;
    std::unique_ptr<TXmlToDomParser> testParser_;  ///< freed before its implementation
};

// ---------------------------------------------------------------- collection

/// The schema models one document uses, in order; look-ups ask each in turn.
class TdomASModelCollection : public TObject {
public:
    /// No implementation: ENot_Supported_Err.
    explicit TdomASModelCollection(TDomImplementation* domImpl, TdomDocument* ownerDocument = nullptr);
    ~TdomASModelCollection() override;
    TdomASModelCollection(const TdomASModelCollection&) = delete;
    TdomASModelCollection& operator=(const TdomASModelCollection&) = delete;

    TDomImplementation* getDomImplementation() const { return domImpl_; }
    TdomDocument* getOwnerDocument() const { return ownerDocument_; }

    /// Missing: ENot_Supported_Err; another implementation's: EWrong_DOM_Implementation_Err;
    /// already here: EInuse_Err "Inuse ASModel error.".
    void appendASModel(TdomASModel* model);
    /// As appendASModel at index (0..length; else EIndex_Size_Err).
    void insertASModel(int index, TdomASModel* model);
    /// Removes the collection from each model's list, then empties it.
    void clear();
    TdomASModel* item(int index) const;
    int getLength() const { return static_cast<int>(models_.size()); }

    TdomASAttributeDecl* findAttributeDecl(const WideString& elementName, const WideString& name) const;
    TdomASElementDecl* findElementDecl(const WideString& name) const;
    TdomASEntityDecl* findEntityDecl(const WideString& name) const;
    TdomASNotationDecl* findNotationDecl(const WideString& name) const;

    /// True with the declared entity's literal value.
    bool getReplacementText(const WideString& name, WideString& text) const;
    /// The replacement text with references expanded; the failures raise (see the store).
    void resolveEntity(const WideString& name, WideString& text) const;
    /// The declared default value normalized; errorKind 0 when fine.
    void normalizeAttributeValue(const TdomASAttributeDecl* attrDecl, TXmlErrorType& errorKind,
                                 WideString& value) const;

    bool refersToCircularEntity(const TdomASEntityDecl* entity, bool ignoreUndeclared) const;
    bool refersToExternalEntity(const TdomASEntityDecl* entity, bool ignoreUndeclared) const;
    bool refersToEntityWithLessThan(const TdomASEntityDecl* entity, bool ignoreUndeclared) const;
    bool refersToUnparsedEntity(const TdomASEntityDecl* entity, bool ignoreUndeclared) const;
    bool refersToUnresolvableEntity(const TdomASEntityDecl* entity, bool ignoreUndeclared) const;
    /// The common walk; a kind outside the five: ESyntax_Err.
    bool refersToXyz(uint8_t kind, const TdomASEntityDecl* entity, bool ignoreUndeclared) const;

    /// Reports an error of that kind about the declaration; the answer tells whether to go on.
    bool sendErrorNotification(TXmlErrorType kind, TdomASObject* declaration);
    /// Checks mixed content, unparsed entities and attribute declarations; true when nothing
    /// was reported.
    bool validate();

private:
    friend class TdomASModel;
    void checkNewModel(TdomASModel* model) const;
    bool validateMixedContent();
    bool validateUnparsedEntities();
    bool validateAttributeDecls();

    /// The shapes of the entities, as kept while the declarations do not change.
    TdomEntityShapes& entityShapes() const;

    TDomImplementation* domImpl_;
    TdomDocument* ownerDocument_;
    std::vector<TdomASModel*> models_;
    mutable TdomEntityShapes shapes_;
    mutable uint64_t shapesGeneration_ = UINT64_MAX;
};

}  // namespace xmldom
