// Declaration-type nodes of the XML object model: the document-type declaration child of a
// document, the implementation-level document type with its entity and notation maps,
// entities, notations, entity references (with the five predefined entities) and fragments.
#pragma once

#include "XmlDomNodes.h"

namespace xmldom {

class TDomImplementation;

/// The DOCTYPE declaration as a child of a document (node type 13).
class TdomDocumentTypeDecl : public TdomNode {
public:
    TdomDocumentTypeDecl(TdomDocument* ownerDocument, const WideString& name, const WideString& publicId,
                         const WideString& systemId, const WideString& internalSubset);

    WideString getNodeName() const override { return name_; }
    void setNodeValue(const WideString&) override {}
    bool validate() override { return true; }
    virtual WideString getInternalSubset() const { return internalSubset_; }
    virtual WideString getName() const { return name_; }
    virtual WideString getPublicId() const { return publicId_; }
    virtual WideString getSystemId() const { return systemId_; }

private:
    WideString internalSubset_, name_, publicId_, systemId_;
};

/// The document type of the implementation (node type 10); made without owner document.
class TdomDocumentType : public TdomNode {
public:
    TdomDocumentType(TDomImplementation* implementation, const WideString& name, const WideString& publicId,
                     const WideString& systemId);

    WideString getNodeName() const override { return name_; }
    void setNodeValue(const WideString&) override {}
    bool validate() override { return true; }
    virtual TdomNamedNodeMap* getEntities() { return &entities_; }
    virtual WideString getInternalSubset() const { return {}; }
    virtual WideString getName() const { return name_; }
    virtual TdomNamedNodeMap* getNotations() { return &notations_; }
    virtual WideString getPublicId() const { return publicId_; }
    virtual WideString getSystemId() const { return systemId_; }
    TDomImplementation* getDomImplementation() const { return implementation_; }

private:
    friend class TdomDocument;
    friend class TDomImplementation;
    void setOwnerDocument(TdomDocument* document) { ownerDocument_ = document; }

    TDomImplementation* implementation_;
    TdomNodeVector entityList_;
    TdomNamedNodeMap entities_;
    WideString name_;
    TdomNamedNodeMap notations_;
    TdomNodeVector notationList_;
    WideString publicId_, systemId_;
};

class TdomNotation : public TdomNode {
public:
    /// Name, public and system identifier tests: EInvalid_Character_Err.
    TdomNotation(TdomDocument* ownerDocument, const WideString& name, const WideString& publicId,
                 const WideString& systemId);

    WideString getNodeName() const override { return name_; }
    WideString getBaseURI() const override;
    void setNodeValue(const WideString&) override {}
    WideString getPublicId() const { return publicId_; }
    WideString getSystemId() const { return systemId_; }

private:
    WideString name_, publicId_, systemId_;
};

class TdomEntity : public TdomNode {
public:
    /// Name, public and system identifier tests: EInvalid_Character_Err.
    TdomEntity(TdomDocument* ownerDocument, const WideString& name, const WideString& publicId,
               const WideString& systemId, const WideString& notationName);

    WideString getNodeName() const override { return name_; }
    WideString getBaseURI() const override;
    void setNodeValue(const WideString&) override {}
    /// An external entity refuses every child change: ENo_Modification_Allowed_Err.
    TdomNode* appendChild(TdomNode* newChild) override;
    TdomNode* insertBefore(TdomNode* newChild, TdomNode* refChild) override;
    TdomNode* replaceChild(TdomNode* newChild, TdomNode* oldChild) override;
    virtual WideString getNotationName() const { return notationName_; }
    WideString getPublicId() const { return publicId_; }
    WideString getSystemId() const { return systemId_; }
    bool isExternal() const { return !publicId_.empty() || !systemId_.empty(); }

private:
    WideString name_, notationName_, publicId_, systemId_;
};

/// Reference to an entity; read-only from creation, its content made by expand.
class TdomEntityContentBuilder;

class TdomEntityReference : public TdomNode {
public:
    /// Name not an XML Name: EInvalid_Character_Err.
    TdomEntityReference(TdomDocument* ownerDocument, const WideString& name);

    WideString getNodeName() const override { return name_; }
    void setNodeValue(const WideString&) override {}
    bool validate() override;
    TdomNode* cloneNode(bool deep) override;
    /// Replaces the children by the entity's content (declared, or one of the five predefined
    /// entities) and marks it read-only. The reference's own read-only flag is lifted meanwhile.
    virtual void expand();
    /// expand within a run that shares one expansion budget; false when no content could be
    /// made (undeclared and not predefined, unparsed, circular, past the budget, malformed).
    bool expandWith(TdomEntityContentBuilder& builder);
    /// The name without a copy.
    const WideString& getNameRef() const { return name_; }

private:
    WideString name_;
};

class TdomDocumentFragment : public TdomNode {
public:
    explicit TdomDocumentFragment(TdomDocument* ownerDocument)
        : TdomNode(ownerDocument, ntDocument_Fragment_Node, kElementChildTypes) {}

    WideString getNodeName() const override { return u"#document-fragment"; }
    WideString getBaseURI() const override { return {}; }
    void setNodeValue(const WideString&) override {}
    bool resolveEntityReferences(uint8_t option) override;
};

}  // namespace xmldom
