// The document builder's work per content event: elements with or without namespace URIs,
// text joined in place, kept or dropped CDATA sections, comments and entity references, the
// document type declaration node.

#include "XmlDocBuilder.h"

#include <algorithm>
#include <typeinfo>

#include "XmlChars.h"
#include "XmlDomCharData.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomElements.h"
#include "XmlDomInternal.h"

namespace xmldom {

namespace {

/// The element's values came from text: their blanks are a literal's (see TdomAttr::getReadFromText).
void markReadFromText(TdomElement* Element) {
    for (int i = 0; i < Element->getAttributeCount(); ++i) Element->getAttributeAt(i)->setReadFromText(true);
}

TdomDocument* ownerOf(TdomNode* Node) {
    return Node->getNodeType() == ntDocument_Node ? static_cast<TdomDocument*>(Node) : Node->getOwnerDocument();
}

bool allWhiteSpace(std::u16string_view s) {
    for (char16_t c : s)
        if (!IsXmlWhiteSpace(c)) return false;
    return true;
}

/// The prefix of a qualified name (empty without a colon).
WideString prefixOf(std::u16string_view qname) {
    size_t colon = qname.find(u':');
    return colon == std::u16string_view::npos ? WideString() : WideString(qname.substr(0, colon));
}

} // namespace

#define XML_FORWARD(Name, ...) (FNextHandler ? FNextHandler->process##Name(Reader, Locator, ##__VA_ARGS__) : true)

namespace {
size_t nameSlot(const WideString& Name, size_t Slots) {
    // The middle unit too: names of one vocabulary often share their first and last letters.
    return (Name.size() * 7 + Name.front() + Name.back() * 3 + Name[Name.size() / 2] * 13) & (Slots - 1);
}
} // namespace

const TXmlDocBuilder::KnownName* TXmlDocBuilder::knownName(const KnownNames& Known, const WideString& Name) {
    if (Name.empty()) return nullptr;
    const KnownName& known = Known.slots[nameSlot(Name, kKnownNameSlots)];
    return known.shared && SameUnits(*known.shared, Name) ? &known : nullptr;
}

void TXmlDocBuilder::rememberName(KnownNames& Known, const WideString& Name, const WideString* Shared,
                                  uint8_t DeclarationKind) {
    if (Name.empty()) return;
    const size_t slot = nameSlot(Name, kKnownNameSlots);
    Known.slots[slot] = {Shared, DeclarationKind};
    Known.filled[slot / 64] |= uint64_t{1} << (slot % 64);
}

void TXmlDocBuilder::forget(KnownNames& Known) {
    for (size_t word = 0; word < kKnownNameSlots / 64; ++word)
        for (uint64_t bits = Known.filled[word]; bits; bits &= bits - 1)
            Known.slots[word * 64 + static_cast<size_t>(__builtin_ctzll(bits))] = {};
    for (uint64_t& word : Known.filled) word = 0;
}

void TXmlDocBuilder::forgetKnownNames() {
    forget(FKnownTags);
    forget(FKnownAttributes);
    FKnownNamesOf = nullptr;
}

void TXmlDocBuilder::reset() {
    forgetKnownNames();
    FPlainPath.clear();
    FPrefixMappings.Clear();
    TXmlCustomContentHandler::reset();
}

bool TXmlDocBuilder::atDocumentLevel() const { return FReferenceNode->getNodeType() == ntDocument_Node; }

bool TXmlDocBuilder::plainTarget() const {
    if (!FPlainPath.empty()) return FPlainPath.back() != 0;
    if (typeid(*FReferenceNode) != typeid(TdomElement)) return false;
    TdomDocument* doc = FReferenceNode->getOwnerDocument();
    return doc && typeid(*doc) == typeid(TdomDocument);
}

void TXmlDocBuilder::appendMade(TdomNode* Node) {
    if (plainTarget()) FReferenceNode->appendNewChild(Node);
    else FReferenceNode->appendChild(Node);
}

bool TXmlDocBuilder::addText(TXmlCustomReader*, TdomLocator*, const WideString& Text) {
    if (!FReferenceNode) return true;
    TdomNode* last = FReferenceNode->getLastChild();
    if (last && last->getNodeType() == ntText_Node) {
        static_cast<TdomText*>(last)->appendData(Text);
    } else {
        appendMade(ownerOf(FReferenceNode)->createTextNode(Text));
    }
    return true;
}

bool TXmlDocBuilder::startDocument(TdomLocator* Locator, const WideString& version, const WideString& encDl,
                                   TdomStandalone sdDl) {
    forgetKnownNames();
    FPlainPath.clear();
    FReferencesMade = 0;
    if (!FReferenceNode || FReferenceNode->getNodeType() != ntDocument_Node) return true;
    auto* doc = static_cast<TdomDocument*>(FReferenceNode);
    doc->setInputEncoding(encDl);
    doc->setXmlStandalone(sdDl);
    doc->setXmlVersion(version);
    doc->storeDocumentURI(Locator ? Locator->getUri() : WideString());
    return true;
}

bool TXmlDocBuilder::processStartDocument(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& version,
                                          const WideString& encDl, TdomStandalone sdDl) {
    fireEvent(OnStartDocument, Reader, Locator, version, encDl, sdDl);
    if (!startDocument(Locator, version, encDl, sdDl)) return false;
    return XML_FORWARD(StartDocument, version, encDl, sdDl);
}

bool TXmlDocBuilder::processStartDocumentFragment(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                  const WideString& version, const WideString& encDl,
                                                  TdomStandalone sdDl) {
    fireEvent(OnStartDocumentFragment, Reader, Locator, version, encDl, sdDl);
    if (!startDocument(Locator, version, encDl, sdDl)) return false;
    return XML_FORWARD(StartDocumentFragment, version, encDl, sdDl);
}

bool TXmlDocBuilder::processEndDocument(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndDocument, Reader, Locator);
    return XML_FORWARD(EndDocument);
}

bool TXmlDocBuilder::processEndDocumentFragment(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndDocumentFragment, Reader, Locator);
    return XML_FORWARD(EndDocumentFragment);
}

bool TXmlDocBuilder::lookupPrefix(const WideString& Prefix, WideString& Uri) const {
    for (int i = FPrefixMappings.getCount() - 1; i >= 0; --i) {
        if (FPrefixMappings.getName(i) == Prefix) {
            Uri = FPrefixMappings.getValue(i);
            return true;
        }
    }
    return false;
}

bool TXmlDocBuilder::startElement(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& tagName,
                                  TdomNameValueList* attributes) {
    if (!FReferenceNode) return true;
    TdomDocument* doc = ownerOf(FReferenceNode);
    const int count = attributes ? attributes->getCount() : 0;
    if (!FBuildNamespaceTree) return startPlainElement(Reader, Locator, doc, tagName, attributes);
    if (!IsXmlQName(tagName)) return sendErrorNotification(Reader, ET_INVALID_QUALIFIED_NAME, Locator, tagName);
    WideString prefix = prefixOf(tagName);
    WideString uri;
    if (!lookupPrefix(prefix, uri) && !prefix.empty())
        return sendErrorNotification(Reader, ET_NAMESPACE_URI_NOT_FOUND, Locator, tagName);
    TdomElement* element = doc->createElementNS(uri, tagName);
    FReferenceNode->appendChild(element);
    FReferenceNode = element;
    FPlainPath.push_back(0);
    for (int i = 0; i < count; ++i) {
        const WideString& name = attributes->getName(i);
        if (!IsXmlQName(name)) return sendErrorNotification(Reader, ET_INVALID_QUALIFIED_NAME, Locator, name);
        WideString attPrefix = prefixOf(name);
        WideString attUri;
        if (name == u"xmlns" || attPrefix == u"xmlns") {
            attUri = detail::kXmlnsNamespace;
        } else if (attPrefix == u"xml") {
            attUri = detail::kXmlNamespace;
        } else if (!attPrefix.empty() && !lookupPrefix(attPrefix, attUri)) {
            return sendErrorNotification(Reader, ET_NAMESPACE_URI_NOT_FOUND, Locator, name);
        }
        element->setAttributeNS(attUri, name, attributes->getValue(i));
    }
    markReadFromText(element);
    return true;
}

bool TXmlDocBuilder::startElementByFactories(TXmlCustomReader* Reader, TdomLocator* Locator, TdomDocument* Doc,
                                             const WideString& TagName, TdomNameValueList* Attributes) {
    if (!IsXmlName(TagName)) return sendErrorNotification(Reader, ET_INVALID_ELEMENT_NAME, Locator, TagName);
    TdomElement* element = Doc->createElement(TagName);
    FReferenceNode->appendChild(element);
    FReferenceNode = element;
    FPlainPath.push_back(0);
    const int count = Attributes ? Attributes->getCount() : 0;
    for (int i = 0; i < count; ++i) {
        const WideString& name = Attributes->getName(i);
        if (!IsXmlName(name)) return sendErrorNotification(Reader, ET_INVALID_ATTRIBUTE_NAME, Locator, name);
        element->setAttribute(name, Attributes->getValue(i));
    }
    markReadFromText(element);
    return true;
}

bool TXmlDocBuilder::startPlainElement(TXmlCustomReader* Reader, TdomLocator* Locator, TdomDocument* Doc,
                                       const WideString& TagName, TdomNameValueList* Attributes) {
    if (Doc != FKnownNamesOf) {
        forgetKnownNames();
        FKnownNamesOf = Doc;
        // A document class of an implementation's own may have factories of its own: those
        // are always called.
        FKnownNamesUsable = typeid(*Doc) == typeid(TdomDocument);
    }
    TdomElement* element;
    if (!FKnownNamesUsable) return startElementByFactories(Reader, Locator, Doc, TagName, Attributes);
    if (const KnownName* known = knownName(FKnownTags, TagName)) {
        // Elements of one name tend to have as many children as the last one had.
        element = Doc->createElementShared(*known->shared, known->childCount, Attributes ? Attributes->getCount() : 0);
    } else {
        if (!IsXmlName(TagName)) return sendErrorNotification(Reader, ET_INVALID_ELEMENT_NAME, Locator, TagName);
        element = Doc->createElement(TagName);
        rememberName(FKnownTags, TagName, &element->getTagNameRef(), 2);
    }
    appendMade(element);
    FReferenceNode = element;
    FPlainPath.push_back(1); // made by the library's own document class: an element of its own class
    const int count = Attributes ? Attributes->getCount() : 0;
    // A known name not yet on the element (the shared copies compare by address) is added
    // directly; the rest (new names, repeated names, long lists) take setAttribute.
    constexpr int kDirect = 16;
    const WideString* added[kDirect];
    int direct = 0;
    for (int i = 0; i < count; ++i) {
        const WideString& name = Attributes->getName(i);
        const KnownName* known = direct == i && i < kDirect ? knownName(FKnownAttributes, name) : nullptr;
        if (known && std::find(added, added + direct, known->shared) == added + direct) {
            Doc->addAttributeShared(element, *known->shared, known->declarationKind, Attributes->getValue(i));
            added[direct++] = known->shared;
            continue;
        }
        if (!IsXmlName(name)) return sendErrorNotification(Reader, ET_INVALID_ATTRIBUTE_NAME, Locator, name);
        if (TdomAttr* attr = element->setAttribute(name, Attributes->getValue(i))) {
            attr->setReadFromText(true);
            rememberName(FKnownAttributes, name, &attr->getNameRef(), attr->getNamespaceDeclarationKind());
            if (direct == i && i < kDirect) added[direct++] = &attr->getNameRef();
        }
    }
    return true;
}

bool TXmlDocBuilder::processStartElement(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& tagName,
                                         TdomNameValueList* attributes) {
    fireEvent(OnStartElement, Reader, Locator, tagName, attributes);
    if (!startElement(Reader, Locator, tagName, attributes)) return false;
    return XML_FORWARD(StartElement, tagName, attributes);
}

bool TXmlDocBuilder::processEndElement(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& tagName) {
    fireEvent(OnEndElement, Reader, Locator, tagName);
    if (FReferenceNode) {
        if (FReferenceNode->getNodeType() == ntElement_Node &&
            SameUnits(static_cast<TdomElement*>(FReferenceNode)->getTagNameRef(), tagName)) {
            const WideString& name = static_cast<TdomElement*>(FReferenceNode)->getTagNameRef();
            KnownName& known = FKnownTags.slots[nameSlot(name, kKnownNameSlots)];
            if (known.shared == &name) {
                // The room the next element of this name starts with, within reason: a hint
                // must not make every later element of a name as large as one huge list.
                constexpr int kMostRoom = 256;
                known.childCount = static_cast<uint32_t>(std::min(FReferenceNode->getChildCount(), kMostRoom));
            }
            FReferenceNode = FReferenceNode->getParentNode();
            if (!FPlainPath.empty()) FPlainPath.pop_back();
        } else if (!sendErrorNotification(Reader, ET_END_TAG_WITHOUT_START_TAG, Locator, tagName)) {
            return false;
        }
    }
    return XML_FORWARD(EndElement, tagName);
}

bool TXmlDocBuilder::processStartPrefixMapping(TXmlCustomReader* Reader, TdomLocator* Locator,
                                               const WideString& prefix, const WideString& uri) {
    fireEvent(OnStartPrefixMapping, Reader, Locator, prefix, uri);
    if (FReferenceNode) {
        bool prefixOk = prefix.empty() || (IsXmlPrefix(prefix) && (prefix != u"xmlns" || uri == detail::kXmlnsNamespace));
        if (!prefixOk) return sendErrorNotification(Reader, ET_INVALID_PREFIX, Locator, prefix);
        if (!IsXmlAttValue(u"\"" + uri + u"\"") && !IsXmlAttValue(u"'" + uri + u"'"))
            return sendErrorNotification(Reader, ET_INVALID_NAMESPACE_URI, Locator, uri);
        FPrefixMappings.Add(prefix, uri);
    }
    return XML_FORWARD(StartPrefixMapping, prefix, uri);
}

bool TXmlDocBuilder::processEndPrefixMapping(TXmlCustomReader* Reader, TdomLocator* Locator,
                                             const WideString& data) {
    fireEvent(OnEndPrefixMapping, Reader, Locator, data);
    if (FReferenceNode) {
        int last = FPrefixMappings.getCount() - 1;
        if (last < 0 || FPrefixMappings.getName(last) != data)
            return sendErrorNotification(Reader, ET_WRONG_PREFIX_MAPPING_NESTING, Locator, data);
        FPrefixMappings.Delete(last);
    }
    return XML_FORWARD(EndPrefixMapping, data);
}

bool TXmlDocBuilder::processPCDATA(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnPCDATA, Reader, Locator, data);
    if (FReferenceNode) {
        if (!atDocumentLevel()) {
            if (!addText(Reader, Locator, data)) return false;
        } else if (!allWhiteSpace(data)) {
            if (!sendErrorNotification(Reader, ET_CHARACTERS_OUTSIDE_ROOT, Locator, data)) return false;
        }
    }
    return XML_FORWARD(PCDATA, data);
}

bool TXmlDocBuilder::processCDATA(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnCDATA, Reader, Locator, data);
    if (FReferenceNode) {
        if (FKeepCDATASections) {
            FReferenceNode->appendChild(ownerOf(FReferenceNode)->createCDATASection(data));
        } else if (!atDocumentLevel()) {
            if (!addText(Reader, Locator, data)) return false;
        } else if (!allWhiteSpace(data)) {
            if (!sendErrorNotification(Reader, ET_CHARACTERS_OUTSIDE_ROOT, Locator, data)) return false;
        }
    }
    return XML_FORWARD(CDATA, data);
}

bool TXmlDocBuilder::processComment(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnComment, Reader, Locator, data);
    if (FReferenceNode && FKeepComments)
        FReferenceNode->appendChild(ownerOf(FReferenceNode)->createComment(data));
    return XML_FORWARD(Comment, data);
}

bool TXmlDocBuilder::processProcessingInstruction(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                  const WideString& targ, const WideString& data) {
    fireEvent(OnProcessingInstruction, Reader, Locator, targ, data);
    if (FReferenceNode)
        FReferenceNode->appendChild(ownerOf(FReferenceNode)->createProcessingInstruction(targ, data));
    return XML_FORWARD(ProcessingInstruction, targ, data);
}

bool TXmlDocBuilder::processEntityRef(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnEntityRef, Reader, Locator, data);
    if (FReferenceNode) {
        const char16_t* predefined = nullptr;
        if (data == u"lt") predefined = u"<";
        else if (data == u"gt") predefined = u">";
        else if (data == u"amp") predefined = u"&";
        else if (data == u"apos") predefined = u"'";
        else if (data == u"quot") predefined = u"\"";
        if (FKeepEntityRefs || !predefined) {
            appendMade(ownerOf(FReferenceNode)->createEntityReference(data));
            ++FReferencesMade;
        } else if (!atDocumentLevel()) {
            if (!addText(Reader, Locator, predefined)) return false;
        }
    }
    return XML_FORWARD(EntityRef, data);
}

bool TXmlDocBuilder::processSkippedEntity(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnSkippedEntity, Reader, Locator, data);
    return XML_FORWARD(SkippedEntity, data);
}

bool TXmlDocBuilder::processDoctype(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                    const WideString& pubId, const WideString& sysId, const WideString& data) {
    fireEvent(OnDoctype, Reader, Locator, name, pubId, sysId, data);
    if (FReferenceNode) {
        TdomDocument* doc = ownerOf(FReferenceNode);
        TdomNode* decl = nullptr;
        try {
            decl = doc->createDocumentTypeDecl(name, pubId, sysId, data);
            FReferenceNode->appendChild(decl);
        } catch (const Exception&) {
            if (decl) {
                if (decl->getParentNode()) decl->getParentNode()->removeChild(decl);
                doc->freeTreeNode(decl);
            }
            if (!sendErrorNotification(Reader, ET_INVALID_DOCTYPE, Locator, name)) return false;
        }
    }
    return XML_FORWARD(Doctype, name, pubId, sysId, data);
}

#undef XML_FORWARD

} // namespace xmldom
