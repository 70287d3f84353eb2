// The implementation component of the XML object model: it makes and keeps documents and
// document types, frees them on request or all at once, answers the feature test and
// publishes the events of change, error and external-entity requests.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "XmlComponents.h"
#include "XmlDomNodes.h"
#include "XmlStreams.h"

namespace xmldom {

class TdomASModel;
class TdomCMObject;
class TdomDocument;
class TdomDocumentType;
class TdomError;

/// Answer of an external-entity request; 1 makes the implementation ask again.
enum TXmlParserAction : uint8_t {
    PARSER_NONE = 0,    ///< nothing delivered
    PARSER_RETRY = 1,   ///< ask the handler again
    PARSER_STREAM = 2,  ///< the stream holds the entity
};

using TdomAttrModifiedDocEvent = std::function<void(TObject* sender, TdomDocument* modifiedDoc, TdomNode* modifiedNode,
                                                    TdomAttrChange attrChange, TdomAttr* relatedAttr)>;
using TdomNodeModifiedDocEvent = std::function<void(TObject* sender, TdomDocument* modifiedDoc, TdomNode* modifiedNode)>;
using TdomErrorEvent = std::function<void(TObject* sender, TdomError* error, bool& go)>;
using TdomErrorNotifyEvent = std::function<void(TObject* sender, TdomError* error)>;
/// (sender, parentSystemId, publicId, systemId, stream, action); the caller frees the stream.
using TXmlParserEvent = std::function<void(TObject* sender, const WideString& parentSystemId, const WideString& publicId,
                                           const WideString& systemId, std::unique_ptr<TStream>& stream,
                                           TXmlParserAction& action)>;

class TDomImplementation : public TdomBaseComponent {
public:
    explicit TDomImplementation(TdomBaseComponent* AOwner = nullptr);
    ~TDomImplementation() override;
    TDomImplementation(const TDomImplementation&) = delete;
    TDomImplementation& operator=(const TDomImplementation&) = delete;

    virtual void doAttrModified(TdomDocument* modifiedDoc, TdomNode* modifiedNode, TdomAttrChange attrChange,
                                TdomAttr* relatedAttr);
    virtual void doCharacterDataModified(TdomDocument* modifiedDoc, TdomNode* modifiedNode);
    /// go is preset from the severity (false only for fatal errors), then OnError may change it.
    virtual void doError(TObject* sender, TdomError* error, bool& go);
    /// Calls OnExternalParsedEntity while it answers PARSER_RETRY; without one nothing changes.
    virtual void doExternalParsedEntity(const WideString& parentSystemId, const WideString& publicId,
                                        const WideString& systemId, std::unique_ptr<TStream>& stream,
                                        TXmlParserAction& action);
    virtual void doNodeInserted(TdomDocument* modifiedDoc, TdomNode* modifiedNode);
    virtual void doNodeRemoved(TdomDocument* modifiedDoc, TdomNode* modifiedNode);
    /// True when insertions and removals must reach doNodeInserted / doNodeRemoved: when either
    /// event is assigned. A descendant that overrides those two operations overrides this too.
    virtual bool hasNodeObservers() const { return OnNodeInserted || OnNodeRemoved; }
    /// The points where a descendant substitutes its own document class (not registered).
    virtual TdomDocument* createDocumentInstance(const WideString& location);
    virtual TdomDocument* createDocumentInstanceWithDoctype(const WideString& qualifiedName, TdomDocumentType* doctype);
    virtual TdomDocument* createDocumentInstanceNS(const WideString& namespaceURI, const WideString& qualifiedName,
                                                   TdomDocumentType* doctype);
    /// Views of the registered documents and document types.
    virtual TdomNodeList* getDocuments() { return &documentView_; }
    virtual TdomNodeList* getDocumentTypes() { return &documentTypeView_; }
    /// The content-model objects made here, in order of creation.
    virtual const std::vector<TdomCMObject*>& getCMObjects() const { return cmObjects_; }
    /// Frees every registered document, then every document type, then every content-model
    /// object, then every schema model.
    virtual void clear();
    /// A new schema model owned by this implementation.
    virtual TdomASModel* createASModel();
    /// Nil does nothing; not made here: ENot_Found_Err "ASModel not found error.".
    virtual void freeASModel(TdomASModel*& model);
    /// Frees, from the last to the first, every schema model no collection uses.
    virtual void freeUnusedASModels();
    /// The schema models made here, in order of creation.
    const std::vector<TdomASModel*>& getASModels() const { return asModels_; }
    /// A new content-model object owned by this implementation.
    virtual TdomCMObject* createCMObject();
    /// Nil does nothing; not made here: ENot_Found_Err "Content model not found error.".
    virtual void freeCMObject(TdomCMObject*& cmObject);
    /// A registered document without element, with its location set.
    virtual TdomDocument* createEmptyDocument(const WideString& location);
    /// Name not an XML Name: EInvalid_Character_Err; doctype checks: EWrong_Document_Err.
    virtual TdomDocument* createDocument(const WideString& qualifiedName, TdomDocumentType* doctype);
    virtual TdomDocument* createDocumentNS(const WideString& namespaceURI, const WideString& qualifiedName,
                                           TdomDocumentType* doctype);
    /// Not a Name: EInvalid_Character_Err; not a qualified name: ENamespace_Err.
    virtual TdomDocumentType* createDocumentType(const WideString& qualifiedName, const WideString& publicId,
                                                 const WideString& systemId);
    /// Not registered here: ENot_Found_Err "Document not found error.".
    virtual void freeDocument(TdomDocument*& document);
    /// Not registered: "DocumentType not found error."; owned by a document: EInuse_Err.
    virtual void freeDocumentType(TdomDocumentType*& doctype);
    virtual bool hasFeature(const WideString& feature, const WideString& version) const;
    /// nil error: ENot_Supported_Err; else the go answer of doError.
    virtual bool handleError(TObject* sender, TdomError* error);

    bool isRegisteredDocumentType(const TdomDocumentType* doctype) const;

    TdomAttrModifiedDocEvent OnAttrModified;
    TdomNodeModifiedDocEvent OnCharacterDataModified;
    TdomErrorEvent OnError;
    TXmlParserEvent OnExternalParsedEntity;
    TdomNodeModifiedDocEvent OnNodeInserted;
    TdomNodeModifiedDocEvent OnNodeRemoved;

private:
    TdomNodeVector documents_;
    TdomNodeList documentView_;
    TdomNodeVector documentTypes_;
    TdomNodeList documentTypeView_;
    std::vector<TdomCMObject*> cmObjects_;
    std::vector<TdomASModel*> asModels_;
};

}  // namespace xmldom
