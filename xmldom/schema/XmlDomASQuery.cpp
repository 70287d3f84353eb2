// The document's schema query over its model collection: declarations are looked up in the
// models in order (hashed in each), entity facts come from the entity declarations (external
// parsed entities fetched on demand), and element content is matched against content models.

#include "XmlDomASQuery.h"

#include <memory>

#include "XmlASBuilder.h"
#include "XmlChars.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomImpl.h"
#include "XmlDtdParsers.h"
#include "XmlErrors.h"
#include "XmlMessages.h"
#include "XmlUri.h"

namespace xmldom {

TdomASSchemaQuery::TdomASSchemaQuery(TdomDocument* document)
    : collection_(document->getDomImplementation(), document) {}

TdomASElementDecl* TdomASSchemaQuery::elementDecl(const WideString& name) const {
    // A model may know the type only from an attribute list (content type not set): the first
    // model that declares the element itself answers.
    for (int i = 0; i < collection_.getLength(); ++i)
        if (TdomASElementDecl* d = collection_.item(i)->findElementDecl(name))
            if (d->getContentType() != AS_CONTENT_UNDEFINED) return d;
    return nullptr;
}

bool TdomASSchemaQuery::findElementContentType(const WideString& elementName, uint8_t& contentType) const {
    TdomASElementDecl* d = elementDecl(elementName);
    if (!d) return false;
    contentType = d->getContentType();
    return true;
}

namespace {

void fillInfo(const TdomASAttributeDecl* a, TdomAttrDeclInfo& info) {
    info.name = &a->getName();
    info.attrType = a->getAttrType();
    info.defaultDecl = a->getDefaultDecl();
    info.defaultValue = &a->getDefaultValue();
    info.enumeration = &a->getEnumeration();
    info.declaration = a;
}

}  // namespace

bool TdomASSchemaQuery::findAttributeDecl(const WideString& elementName, const WideString& attrName,
                                          TdomAttrDeclInfo& decl) const {
    const TdomASAttributeDecl* a = collection_.findAttributeDecl(elementName, attrName);
    if (!a) return false;
    fillInfo(a, decl);
    return true;
}

void TdomASSchemaQuery::getAttributeDecls(const WideString& elementName, std::vector<TdomAttrDeclInfo>& decls) const {
    decls.clear();
    for (int i = 0; i < collection_.getLength(); ++i) {
        TdomASElementDecl* e = collection_.item(i)->findElementDecl(elementName);
        if (!e) continue;
        const TdomASNamedObjectMap& attrs = e->getAttributeDecls();
        for (int j = 0; j < attrs.getLength(); ++j) {
            auto* a = static_cast<const TdomASAttributeDecl*>(attrs.item(j));
            bool seen = false;
            if (i > 0)  // the first model declaring a name wins
                for (const TdomAttrDeclInfo& d : decls)
                    if (*d.name == a->getName()) seen = true;
            if (seen) continue;
            decls.emplace_back();
            fillInfo(a, decls.back());
        }
    }
}

bool TdomASSchemaQuery::lookupEntity(const WideString& name, bool resolve, TdomEntityFacts& facts) const {
    TdomASEntityDecl* d = collection_.findEntityDecl(name);
    if (!d) return false;
    if (resolve && d->getState() == AS_UNRESOLVED) d->resolve();
    facts.external = d->isExternal();
    facts.unparsed = !d->isParsed();
    facts.state = d->getState();
    facts.attributeUsable = d->isAttributeUsable();
    facts.literalValue = d->getLiteralValue();
    return true;
}

bool TdomASSchemaQuery::hasNotationDecl(const WideString& name) const {
    return collection_.findNotationDecl(name) != nullptr;
}

// ---- element content ------------------------------------------------------------------------

namespace {

/// The children as element validation sees them: entity references are passed over and
/// their content taken in their place (a tree walker that expands references), without
/// recursion. The child lists are read in place; frames are kept only below references.
template <class Visit>
void forEachContentNode(TdomNode* element, Visit visit) {
    struct Frame {
        const TdomNodeVector* list;
        size_t next;
    };
    std::vector<Frame> stack;
    Frame f{&element->getChildVector(), 0};
    for (;;) {
        if (f.next >= f.list->size()) {
            if (stack.empty()) return;
            f = stack.back();
            stack.pop_back();
            continue;
        }
        TdomNode* child = (*f.list)[f.next++];
        if (child->getNodeType() == ntEntity_Reference_Node) {
            stack.push_back(f);
            f = {&child->getChildVector(), 0};
            continue;
        }
        if (!visit(child)) return;
    }
}

}  // namespace

bool TdomASSchemaQuery::validateElementContent(TdomElement* element) {
    if (!hasModels()) return true;
    TdomASElementDecl* decl = elementDecl(element->getTagNameRef());
    if (!decl) {
        element->sendErrorNotification(ET_ELEMENT_DECLARATION_NOT_FOUND, element);
        return false;
    }
    const uint8_t type = decl->getContentType();
    if (type == AS_CONTENT_STRICT_MIXED)
        throw EParserException(u"AS_STRICT_MIXED_CONTENTTYPE is currently not supported by TdomElement.validate.");
    if (type == AS_CONTENT_EMPTY) {
        bool empty = true;
        forEachContentNode(element, [&](TdomNode* child) {
            empty = child->getNodeType() == ntText_Node && child->getNodeValueRef().empty();
            return empty;
        });
        if (empty) return true;
        element->sendErrorNotification(ET_EMPTY_ELEMENT_NOT_EMPTY, element);
        return false;
    }
    if (type != AS_CONTENT_ELEMENT && type != AS_CONTENT_MIXED) return true;
    const bool mixed = type == AS_CONTENT_MIXED;
    // The child names as pointers into the elements, in a buffer kept between calls: no copy
    // and no allocation per element. The buffer is not used once a report is sent.
    thread_local std::vector<const WideString*> names;
    names.clear();
    bool otherContent = false;
    forEachContentNode(element, [&](TdomNode* child) {
        switch (child->getNodeType()) {
            case ntElement_Node: names.push_back(&static_cast<TdomElement*>(child)->getTagNameRef()); break;
            case ntText_Node:
                if (!mixed && !child->getNodeValueRef().empty() && !IsXmlS(child->getNodeValueRef()))
                    otherContent = true;
                break;
            case ntCDATA_Section_Node:
                if (!mixed) otherContent = true;
                break;
            case ntProcessing_Instruction_Node:
            case ntComment_Node: break;
            default: otherContent = true; break;
        }
        return true;
    });
    if (otherContent) {
        element->sendErrorNotification(ET_ELEMENT_CONTENT_MISMATCH, element);
        return false;
    }
    TdomASContentModel* model = decl->getContentModel();
    if (mixed && (!model || model->getSubModelCount() == 0)) {
        // (#PCDATA): no element type is allowed.
        if (names.empty()) return true;
        element->sendErrorNotification(ET_ELEMENT_CONTENT_MISMATCH, element);
        return false;
    }
    if (!model) throw EParserException(msg::kInternalParserErrorDot);
    size_t index = 0;
    bool error = false;
    bool matched = model->testChildNames(names, index, error);
    if (error) {
        element->sendErrorNotification(ET_NONDETERMINISTIC_CONTENT_MODEL, element);
        return false;
    }
    if (!matched || index < names.size()) {
        element->sendErrorNotification(ET_ELEMENT_CONTENT_MISMATCH, element);
        return false;
    }
    return true;
}

// ---- building the models --------------------------------------------------------------------

namespace {

/// A model made by the implementation, appended to the collection and filled by read(); a
/// failed read (any exception) frees it again. False when it failed.
template <class Read>
bool readIntoNewModel(TDomImplementation* impl, TdomASModelCollection& collection, const WideString& location,
                      Read read) {
    TdomASModel* model = impl->createASModel();
    try {
        model->setLocation(location);
        collection.appendASModel(model);
        read(model);
        return true;
    } catch (const std::exception&) {
        impl->freeASModel(model);  // its destructor takes it out of the collection
        return false;
    }
}

}  // namespace

bool TdomASSchemaQuery::buildFromDeclaration(TdomDocument* document) {
    if (hasModels()) throw EInvalid_State_Err(msg::kInvalidStateErr);
    TdomDocumentTypeDecl* decl = document->getDocTypeDecl();
    if (!decl) return true;
    TDomImplementation* impl = document->getDomImplementation();
    TDtdToASParser parser;
    parser.SetDOMImpl(impl);
    parser.SetBufferSize(4096);
    parser.SetTabWidth(1);
    const WideString location = document->getLocation();
    const WideString internalSubset = decl->getInternalSubset();
    bool result = true;
    // Without an external subset, or declared standalone, the defaults of a document's internal
    // subset may refer only to entities declared before them.
    parser.getASBuilder()->setEntitiesDeclaredBeforeDefaults(
        (decl->getPublicId().empty() && decl->getSystemId().empty()) || document->getXmlStandalone() == STANDALONE_YES);
    if (!internalSubset.empty())
        result = readIntoNewModel(impl, collection_, location, [&](TdomASModel* model) {
            parser.parseWideStringInto(internalSubset, WideString(), location, model);
        });
    const WideString publicId = decl->getPublicId();
    const WideString systemId = decl->getSystemId();
    if (!result || (publicId.empty() && systemId.empty())) return result;
    parser.getASBuilder()->setEntitiesDeclaredBeforeDefaults(false);

    std::unique_ptr<TStream> stream;
    TXmlParserAction action = PARSER_NONE;
    impl->doExternalParsedEntity(location, publicId, systemId, stream, action);
    if (action == PARSER_NONE) {
        TdomError error(ET_EXTERNAL_SUBSET_NOT_FOUND, -1, -1, -1, -1, -1, location, document, nullptr, nullptr,
                        WideString());
        impl->handleError(document, &error);  // the answer does not matter: the build failed
        return false;
    }
    if (!stream) return true;
    // The internal subset's parameter entities stay known to the external subset read after it.
    // The subset's own address is the base of the relative addresses it declares.
    const WideString address = XmlEntityAddress(location, systemId);
    return readIntoNewModel(impl, collection_, address, [&](TdomASModel* model) {
        parser.streamToASModel(stream.get(), publicId, address, model, internalSubset.empty());
    });
}

}  // namespace xmldom
