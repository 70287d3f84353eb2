// The implementation component: registries of documents and document types, the document
// factories with their name and document-type checks, freeing, the feature test, the
// error path and the forwarded events.

#include "XmlDomImpl.h"

#include <algorithm>

#include "XmlASModel.h"
#include "XmlDomContentModel.h"
#include "XmlDomDocument.h"
#include "XmlDomInternal.h"
#include "XmlErrors.h"

namespace xmldom {

using namespace detail;

TDomImplementation::TDomImplementation(TdomBaseComponent* AOwner)
    : TdomBaseComponent(AOwner), documentView_(&documents_), documentTypeView_(&documentTypes_) {}

TDomImplementation::~TDomImplementation() { clear(); }

void TDomImplementation::doAttrModified(TdomDocument* modifiedDoc, TdomNode* modifiedNode, TdomAttrChange attrChange,
                                        TdomAttr* relatedAttr) {
    if (OnAttrModified) OnAttrModified(this, modifiedDoc, modifiedNode, attrChange, relatedAttr);
}

void TDomImplementation::doCharacterDataModified(TdomDocument* modifiedDoc, TdomNode* modifiedNode) {
    if (OnCharacterDataModified) OnCharacterDataModified(this, modifiedDoc, modifiedNode);
}

void TDomImplementation::doNodeInserted(TdomDocument* modifiedDoc, TdomNode* modifiedNode) {
    if (OnNodeInserted) OnNodeInserted(this, modifiedDoc, modifiedNode);
}

void TDomImplementation::doNodeRemoved(TdomDocument* modifiedDoc, TdomNode* modifiedNode) {
    if (OnNodeRemoved) OnNodeRemoved(this, modifiedDoc, modifiedNode);
}

void TDomImplementation::doError(TObject* sender, TdomError* error, bool& go) {
    go = error->getSeverity() != DOM_SEVERITY_FATAL_ERROR;
    if (OnError) OnError(sender, error, go);
}

bool TDomImplementation::handleError(TObject* sender, TdomError* error) {
    if (!error) raiseNotSupported();
    bool go = true;
    doError(sender, error, go);
    return go;
}

void TDomImplementation::doExternalParsedEntity(const WideString& parentSystemId, const WideString& publicId,
                                                const WideString& systemId, std::unique_ptr<TStream>& stream,
                                                TXmlParserAction& action) {
    if (!OnExternalParsedEntity) return;
    do {
        OnExternalParsedEntity(this, parentSystemId, publicId, systemId, stream, action);
    } while (action == PARSER_RETRY);
}

// ---- document factories ---------------------------------------------------------------------

TdomDocument* TDomImplementation::createDocumentInstance(const WideString&) { return new TdomDocument(this, nullptr); }

TdomDocument* TDomImplementation::createDocumentInstanceWithDoctype(const WideString&, TdomDocumentType* doctype) {
    return new TdomDocument(this, doctype);
}

TdomDocument* TDomImplementation::createDocumentInstanceNS(const WideString&, const WideString&,
                                                           TdomDocumentType* doctype) {
    return new TdomDocument(this, doctype);
}

namespace {
// Registers a fresh document; should registration itself fail, the document goes too.
TdomDocument* registerDocument(TdomNodeVector& list, TdomDocument* doc) {
    try {
        list.push_back(doc);
    } catch (...) {
        delete doc;
        throw;
    }
    return doc;
}
}  // namespace

TdomDocument* TDomImplementation::createEmptyDocument(const WideString& location) {
    TdomDocument* doc = registerDocument(documents_, createDocumentInstance(location));
    doc->setLocation(location);
    return doc;
}

TdomDocument* TDomImplementation::createDocument(const WideString& qualifiedName, TdomDocumentType* doctype) {
    if (!IsXmlName(qualifiedName)) raiseInvalidCharacter();
    TdomDocument* doc = registerDocument(documents_, createDocumentInstanceWithDoctype(qualifiedName, doctype));
    doc->initDocumentElement(qualifiedName);
    return doc;
}

TdomDocument* TDomImplementation::createDocumentNS(const WideString& namespaceURI, const WideString& qualifiedName,
                                                   TdomDocumentType* doctype) {
    if (doctype && (doctype->getOwnerDocument() || !isRegisteredDocumentType(doctype))) raiseWrongDocument();
    WideString prefix, localName;
    splitQualifiedName(qualifiedName, prefix, localName);
    checkAttributeNamespace(namespaceURI, prefix, qualifiedName);
    TdomDocument* doc =
        registerDocument(documents_, createDocumentInstanceNS(namespaceURI, qualifiedName, doctype));
    doc->initDocumentElementNS(namespaceURI, qualifiedName);
    return doc;
}

TdomDocumentType* TDomImplementation::createDocumentType(const WideString& qualifiedName, const WideString& publicId,
                                                         const WideString& systemId) {
    if (!IsXmlName(qualifiedName)) raiseInvalidCharacter();
    if (!IsXmlQName(qualifiedName)) raiseNamespace();
    makeRoomForOne(documentTypes_);
    auto* doctype = new TdomDocumentType(this, qualifiedName, publicId, systemId);
    documentTypes_.push_back(doctype);
    return doctype;
}

bool TDomImplementation::isRegisteredDocumentType(const TdomDocumentType* doctype) const {
    return std::find(documentTypes_.begin(), documentTypes_.end(), doctype) != documentTypes_.end();
}

// ---- freeing --------------------------------------------------------------------------------

void TDomImplementation::freeDocument(TdomDocument*& document) {
    if (!document) return;
    auto it = std::find(documents_.begin(), documents_.end(), document);
    if (it == documents_.end()) throw ENot_Found_Err(msg::kDocumentNotFoundErr);
    documents_.erase(it);
    document->clear();
    TdomDocumentType* doctype = document->doctype_;
    if (doctype) {
        document->doctype_ = nullptr;
        doctype->setOwnerDocument(nullptr);
        freeDocumentType(doctype);
    }
    delete document;
    document = nullptr;
}

void TDomImplementation::freeDocumentType(TdomDocumentType*& doctype) {
    if (!doctype) return;
    auto it = std::find(documentTypes_.begin(), documentTypes_.end(), doctype);
    if (it == documentTypes_.end()) throw ENot_Found_Err(msg::kDocumentTypeNotFoundErr);
    if (doctype->getOwnerDocument()) throw EInuse_Err(msg::kInuseDocumentTypeErr);
    documentTypes_.erase(it);
    delete doctype;
    doctype = nullptr;
}

void TDomImplementation::clear() {
    for (TdomNode* node : documents_) {
        auto* doc = static_cast<TdomDocument*>(node);
        doc->clear();
        delete doc;
    }
    documents_.clear();
    for (TdomNode* doctype : documentTypes_) delete doctype;
    documentTypes_.clear();
    for (TdomCMObject* cm : cmObjects_) delete cm;
    cmObjects_.clear();
    for (TdomASModel* model : asModels_) delete model;
    asModels_.clear();
}

TdomASModel* TDomImplementation::createASModel() {
    makeRoomForOne(asModels_);
    auto* model = new TdomASModel(this);
    asModels_.push_back(model);
    return model;
}

void TDomImplementation::freeASModel(TdomASModel*& model) {
    if (!model) return;
    auto it = std::find(asModels_.begin(), asModels_.end(), model);
    if (it == asModels_.end()) throw ENot_Found_Err(msg::kASModelNotFoundErr);
    asModels_.erase(it);
    delete model;
    model = nullptr;
}

void TDomImplementation::freeUnusedASModels() {
    for (size_t i = asModels_.size(); i-- > 0;) {
        if (asModels_[i]->isUsed()) continue;
        delete asModels_[i];
        asModels_.erase(asModels_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

TdomCMObject* TDomImplementation::createCMObject() {
    auto cm = std::make_unique<TdomCMObject>(this);
    cmObjects_.push_back(cm.get());
    return cm.release();
}

void TDomImplementation::freeCMObject(TdomCMObject*& cmObject) {
    if (!cmObject) return;
    auto it = std::find(cmObjects_.begin(), cmObjects_.end(), cmObject);
    if (it == cmObjects_.end()) throw ENot_Found_Err(msg::kContentModelNotFoundErr);
    cmObjects_.erase(it);
    delete cmObject;
    cmObject = nullptr;
}

bool TDomImplementation::hasFeature(const WideString& feature, const WideString& version) const {
    if (version.empty() || version == u"1.0") return equalsIgnoreAsciiCase(feature, u"XML");
    if (version == u"2.0")
        return equalsIgnoreAsciiCase(feature, u"XML") || equalsIgnoreAsciiCase(feature, u"VIEWS") ||
               equalsIgnoreAsciiCase(feature, u"TRAVERSAL");
    return false;
}

}  // namespace xmldom
