// The DOM reader walk (events per node kind, the element rule with its prefix mappings, an
// explicit stack in place of recursion) and the checks of the content well-formedness handler.

#include "XmlDomReader.h"

#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "DomExceptions.h"
#include "XmlChars.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomElements.h"
#include "XmlMessages.h"

namespace xmldom {

// ------------------------------------------------------------------ send operations

bool TXmlStandardDomReader::sendCDATA(TdomLocator* Locator, const WideString& Data) {
    return FNextHandler ? FNextHandler->processCDATA(this, Locator, Data) : true;
}

bool TXmlStandardDomReader::sendComment(TdomLocator* Locator, const WideString& Data) {
    return FNextHandler ? FNextHandler->processComment(this, Locator, Data) : true;
}

bool TXmlStandardDomReader::sendDoctype(TdomLocator* Locator, const WideString& Name, const WideString& PubId,
                                        const WideString& SysId, const WideString& Data) {
    return FNextHandler ? FNextHandler->processDoctype(this, Locator, Name, PubId, SysId, Data) : true;
}

bool TXmlStandardDomReader::sendEmptyElement(TdomLocator* Locator, const WideString& TagName,
                                             TdomNameValueList* Attributes) {
    if (!FNextHandler) return true;
    if (!FNextHandler->processStartElement(this, Locator, TagName, Attributes)) return false;
    return FNextHandler->processEndElement(this, Locator, TagName);
}

bool TXmlStandardDomReader::sendEndDocument(TdomLocator* Locator) {
    return FNextHandler ? FNextHandler->processEndDocument(this, Locator) : true;
}

bool TXmlStandardDomReader::sendEndDocumentFragment(TdomLocator* Locator) {
    return FNextHandler ? FNextHandler->processEndDocumentFragment(this, Locator) : true;
}

bool TXmlStandardDomReader::sendEndElement(TdomLocator* Locator, const WideString& TagName) {
    return FNextHandler ? FNextHandler->processEndElement(this, Locator, TagName) : true;
}

bool TXmlStandardDomReader::sendEndPrefixMapping(TdomLocator* Locator, const WideString& Prefix) {
    return FNextHandler ? FNextHandler->processEndPrefixMapping(this, Locator, Prefix) : true;
}

bool TXmlStandardDomReader::sendEntityRef(TdomLocator* Locator, const WideString& Name) {
    return FNextHandler ? FNextHandler->processEntityRef(this, Locator, Name) : true;
}

bool TXmlStandardDomReader::sendPCDATA(TdomLocator* Locator, const WideString& Data) {
    if (Data.empty()) return true;
    return FNextHandler ? FNextHandler->processPCDATA(this, Locator, Data) : true;
}

bool TXmlStandardDomReader::sendProcessingInstruction(TdomLocator* Locator, const WideString& Target,
                                                      const WideString& Data) {
    return FNextHandler ? FNextHandler->processProcessingInstruction(this, Locator, Target, Data) : true;
}

bool TXmlStandardDomReader::sendStartDocument(TdomLocator* Locator, const WideString& Version,
                                              const WideString& Encoding, TdomStandalone Standalone) {
    return FNextHandler ? FNextHandler->processStartDocument(this, Locator, Version, Encoding, Standalone) : true;
}

bool TXmlStandardDomReader::sendStartDocumentFragment(TdomLocator* Locator, const WideString& Version,
                                                      const WideString& Encoding, TdomStandalone Standalone) {
    return FNextHandler ? FNextHandler->processStartDocumentFragment(this, Locator, Version, Encoding, Standalone)
                        : true;
}

bool TXmlStandardDomReader::sendStartElement(TdomLocator* Locator, const WideString& TagName,
                                             TdomNameValueList* Attributes) {
    return FNextHandler ? FNextHandler->processStartElement(this, Locator, TagName, Attributes) : true;
}

bool TXmlStandardDomReader::sendStartPrefixMapping(TdomLocator* Locator, const WideString& Prefix,
                                                   const WideString& Uri) {
    return FNextHandler ? FNextHandler->processStartPrefixMapping(this, Locator, Prefix, Uri) : true;
}

void TXmlStandardDomReader::resetChain() {
    if (FNextHandler) FNextHandler->reset();
}

// ------------------------------------------------------------------ the run

bool TXmlStandardDomReader::parse(TdomNode* Node) {
    TdomDocument* owner = Node ? (Node->getNodeType() == ntDocument_Node ? static_cast<TdomDocument*>(Node)
                                                                         : Node->getOwnerDocument())
                               : nullptr;
    WideString uri = owner ? owner->getLocation() : WideString();
    TdomLocator locator(-1, -1, -1, -1, -1, uri, Node, nullptr, nullptr);
    WideString version, encoding;
    TdomStandalone standalone = STANDALONE_UNSPECIFIED;
    if (owner) {
        version = owner->getXmlVersion();
        encoding = owner->getInputEncoding();
        standalone = owner->getXmlStandalone();
    }
    try {
        if (Node && Node->getNodeType() == ntDocument_Node) {
            return sendStartDocument(&locator, version, encoding, standalone) && walkNode(&locator, Node) &&
                   sendEndDocument(&locator);
        }
        return sendStartDocumentFragment(&locator, version, encoding, standalone) && walkNode(&locator, Node) &&
               sendEndDocumentFragment(&locator);
    } catch (...) {
        resetChain();
        throw;
    }
}

namespace {

/// One open node of the walk: an element (or the document) whose children are being visited,
/// read straight from its child list.
struct WalkFrame {
    TdomNode* node;
    const TdomNodeVector* children;
    size_t next; ///< index of the next child to visit
};

const TdomNodeVector& childrenOf(TdomNode* Node) { return Node->getChildVector(); }

[[noreturn]] void raiseUnwritable() {
    throw EParserException(msg::kInternalParserErrorDot);
}

/// The literal an application's value text is written as, when it is not the text itself: the
/// value holds tabs, line feeds and carriage returns as characters, which only character
/// references carry through a reader (written as they stand, they read back as spaces); a value
/// holding both quotes has its double quotes as references, so it fits between them. False
/// when the text is its own literal.
bool literalOfValue(const WideString& Value, WideString& Literal) {
    // Most values hold no unit up to the apostrophe: one comparison a unit.
    bool doubleQuote = false, apostrophe = false, blank = false;
    for (const char16_t c : Value) {
        if (c > u'\'') continue;
        doubleQuote |= c == u'"';
        apostrophe |= c == u'\'';
        blank |= c == u'\t' || c == u'\n' || c == u'\r';
    }
    const bool quotes = doubleQuote && apostrophe;
    if (!quotes && !blank) return false;
    Literal.clear();
    Literal.reserve(Value.size() + 16);
    for (const char16_t c : Value) {
        const char16_t* reference = nullptr;
        if (blank && c == u'\t') reference = u"&#x9;";
        else if (blank && c == u'\n') reference = u"&#xA;";
        else if (blank && c == u'\r') reference = u"&#xD;";
        else if (quotes && c == u'"') reference = u"&quot;";
        if (reference) Literal += reference;
        else Literal += c;
    }
    return true;
}

} // namespace

bool TXmlStandardDomReader::fillAttributes(TdomLocator* Locator, TdomElement* Element,
                                           TdomNameValueList& Attributes) {
    TdomNamedNodeMap* map = Element->getAttributes();
    const TdomNodeVector* nodes = map ? map->viewedNodes() : nullptr;
    const size_t count = nodes ? nodes->size() : 0;
    // The list is refilled in the storage it has from the last element: no allocation per pair
    // (a handler may have sorted it, which refilling cannot keep).
    if (Attributes.getSorted()) {
        Attributes.Clear();
        Attributes.setSorted(false);
    }
    int filled = 0;
    for (size_t i = 0; i < count && i < nodes->size(); ++i) {
        auto* attr = static_cast<TdomAttr*>((*nodes)[i]);
        if (FPrefixMapping) {
            uint8_t kind = attr->getNamespaceDeclarationKind();
            if (kind == 0) {
                if (!sendStartPrefixMapping(Locator, WideString(), attr->getValue())) return false;
            } else if (kind == 1) {
                if (!sendStartPrefixMapping(Locator, XmlExtractLocalName(attr->getNodeName()), attr->getValue()))
                    return false;
            }
            if (kind != 2 && FSuppressXmlns) continue;
        }
        // A value read from text is a literal already (it never holds both quotes).
        WideString literal;
        const bool other = !attr->getReadFromText() && literalOfValue(attr->getValue(), literal);
        Attributes.SetPair(filled++, attr->getNameRef(), other ? literal : attr->getValue());
    }
    Attributes.Truncate(filled);
    return true;
}

bool TXmlStandardDomReader::endPrefixMappings(TdomLocator* Locator, TdomElement* Element) {
    TdomNamedNodeMap* map = Element->getAttributes();
    for (int i = map ? map->getLength() - 1 : -1; i >= 0; --i) {
        auto* attr = static_cast<TdomAttr*>(map->item(i));
        uint8_t kind = attr->getNamespaceDeclarationKind();
        if (kind == 0) {
            if (!sendEndPrefixMapping(Locator, WideString())) return false;
        } else if (kind == 1) {
            if (!sendEndPrefixMapping(Locator, XmlExtractLocalName(attr->getNodeName()))) return false;
        }
    }
    return true;
}

bool TXmlStandardDomReader::enterNode(TdomLocator* Locator, TdomNode* Node, TdomNameValueList& Attributes,
                                      bool& Descend) {
    Descend = false;
    switch (Node->getNodeType()) {
    case ntElement_Node: {
        auto* element = static_cast<TdomElement*>(Node);
        if (!fillAttributes(Locator, element, Attributes)) return false;
        const WideString& tagName = element->getTagNameRef();
        if (element->hasChildNodes()) {
            Descend = true;
            return sendStartElement(Locator, tagName, &Attributes);
        }
        if (!sendEmptyElement(Locator, tagName, &Attributes)) return false;
        return !FPrefixMapping || endPrefixMappings(Locator, element);
    }
    case ntText_Node:
        return sendPCDATA(Locator, Node->getNodeValueRef());
    case ntCDATA_Section_Node:
        return sendCDATA(Locator, Node->getNodeValue());
    case ntEntity_Reference_Node:
        return sendEntityRef(Locator, Node->getNodeName());
    case ntProcessing_Instruction_Node:
        return sendProcessingInstruction(Locator, Node->getNodeName(), Node->getNodeValue());
    case ntComment_Node:
        return sendComment(Locator, Node->getNodeValue());
    case ntDocument_Node:
        Descend = Node->hasChildNodes();
        return true;
    case ntDocument_Type_Decl_Node: {
        auto* decl = static_cast<TdomDocumentTypeDecl*>(Node);
        return sendDoctype(Locator, decl->getNodeName(), decl->getPublicId(), decl->getSystemId(),
                           decl->getInternalSubset());
    }
    default:
        raiseUnwritable();
    }
}

bool TXmlStandardDomReader::walkNode(TdomLocator* Locator, TdomNode* Node) {
    if (!Node) raiseUnwritable();
    TdomNameValueList attributes;
    bool descend = false;
    if (!enterNode(Locator, Node, attributes, descend)) return false;
    if (!descend) return true;
    std::vector<WalkFrame> stack;
    stack.reserve(64);
    stack.push_back({Node, &childrenOf(Node), 0});
    while (!stack.empty()) {
        WalkFrame& top = stack.back();
        // The size is read at every step, so a handler that changes the list is never read past.
        if (top.next < top.children->size()) {
            TdomNode* child = (*top.children)[top.next++];
            if (!enterNode(Locator, child, attributes, descend)) return false;
            if (descend) stack.push_back({child, &childrenOf(child), 0});
            continue;
        }
        TdomNode* done = top.node;
        stack.pop_back();
        if (done->getNodeType() != ntElement_Node) continue; // the document has no end event here
        auto* element = static_cast<TdomElement*>(done);
        if (!sendEndElement(Locator, element->getTagNameRef())) return false;
        if (FPrefixMapping && !endPrefixMappings(Locator, element)) return false;
    }
    return true;
}

// ------------------------------------------------------------------ TXmlWFTestContentHandler

void TXmlWFTestContentHandler::requireDocument() const {
    if (!FInDocument) throw EParserException(msg::kInternalParserException);
}

bool TXmlWFTestContentHandler::startDocument(TXmlCustomReader* Reader, TdomLocator* Locator,
                                             const WideString& version, const WideString& encDl,
                                             bool checkOutsideRoot) {
    if (FInDocument) throw EParserException(msg::kInternalParserException);
    FOpenDepth = 0;
    FOpenElements.clear();  // no storage kept from one document to the next
    FOpenNameValid.clear();
    FInDocument = true;
    FDoctypeSeen = false;
    FRootSeen = false;
    FCheckOutsideRoot = checkOutsideRoot;
    if ((!encDl.empty() && !IsXmlEncName(encDl)) || (!version.empty() && !IsXmlVersionNum(version)))
        return sendErrorNotification(Reader, ET_INVALID_XML_DECLARATION, Locator, {});
    return true;
}

#define XML_FORWARD(Name, ...) (FNextHandler ? FNextHandler->process##Name(Reader, Locator, ##__VA_ARGS__) : true)

bool TXmlWFTestContentHandler::processStartDocument(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                    const WideString& version, const WideString& encDl,
                                                    TdomStandalone sdDl) {
    fireEvent(OnStartDocument, Reader, Locator, version, encDl, sdDl);
    if (!startDocument(Reader, Locator, version, encDl, true)) return false;
    return XML_FORWARD(StartDocument, version, encDl, sdDl);
}

bool TXmlWFTestContentHandler::processStartDocumentFragment(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                            const WideString& version, const WideString& encDl,
                                                            TdomStandalone sdDl) {
    fireEvent(OnStartDocumentFragment, Reader, Locator, version, encDl, sdDl);
    if (!startDocument(Reader, Locator, version, encDl, false)) return false;
    return XML_FORWARD(StartDocumentFragment, version, encDl, sdDl);
}

bool TXmlWFTestContentHandler::processDoctype(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                              const WideString& pubId, const WideString& sysId,
                                              const WideString& data) {
    fireEvent(OnDoctype, Reader, Locator, name, pubId, sysId, data);
    requireDocument();
    if (FDoctypeSeen && !sendErrorNotification(Reader, ET_DOUBLE_DOCTYPE, Locator, name)) return false;
    FDoctypeSeen = true;
    if (FRootSeen && !sendErrorNotification(Reader, ET_WRONG_ORDER, Locator, name)) return false;
    bool sysOk = sysId.empty() || IsXmlSystemChars(sysId);
    bool pubOk = pubId.empty() || IsXmlPubidChars(pubId);
    if ((!IsXmlName(name) || !pubOk || !sysOk) && !sendErrorNotification(Reader, ET_INVALID_DOCTYPE, Locator, name))
        return false;
    return XML_FORWARD(Doctype, name, pubId, sysId, data);
}

bool TXmlWFTestContentHandler::checkAttributeValue(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                   const WideString& Value) {
    WideString clue;
    const TXmlErrorType kind = wftest::attributeValueFault(Value, clue);
    return kind == 0 || sendErrorNotification(Reader, kind, Locator, clue);
}

bool TXmlWFTestContentHandler::processStartElement(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                   const WideString& tagName, TdomNameValueList* attributes) {
    fireEvent(OnStartElement, Reader, Locator, tagName, attributes);
    requireDocument();
    const bool nameValid = IsXmlName(tagName);
    if (!nameValid && !sendErrorNotification(Reader, ET_INVALID_ELEMENT_NAME, Locator, tagName))
        return false;
    if (FOpenDepth == 0 && FCheckOutsideRoot && FRootSeen &&
        !sendErrorNotification(Reader, ET_DOUBLE_ROOT_ELEMENT, Locator, tagName))
        return false;
    FRootSeen = true;
    if (FOpenDepth == static_cast<int>(FOpenElements.size())) {
        FOpenElements.emplace_back();
        FOpenNameValid.push_back(0);
    }
    FOpenNameValid[static_cast<size_t>(FOpenDepth)] = nameValid;
    FOpenElements[static_cast<size_t>(FOpenDepth++)].assign(tagName);
    int count = attributes ? attributes->getCount() : 0;
    // Long attribute lists are checked for doubles through a hash set, so they stay linear.
    std::optional<std::unordered_set<std::u16string_view>> seen;
    if (count > 16) seen.emplace().reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const WideString& name = attributes->getName(i);
        bool isDouble = false;
        if (count > 16) {
            isDouble = !seen->insert(name).second;
        } else {
            for (int j = 0; j < i && !isDouble; ++j) isDouble = SameUnits(attributes->getName(j), name);
        }
        if (isDouble &&
            !sendErrorNotification(Reader, ET_DOUBLE_ATTRIBUTE_NAME, Locator, name))
            return false;
        if (!IsXmlName(name) && !sendErrorNotification(Reader, ET_INVALID_ATTRIBUTE_NAME, Locator, name))
            return false;
        if (!checkAttributeValue(Reader, Locator, attributes->getValue(i))) return false;
    }
    return XML_FORWARD(StartElement, tagName, attributes);
}

bool TXmlWFTestContentHandler::processEndElement(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                 const WideString& tagName) {
    fireEvent(OnEndElement, Reader, Locator, tagName);
    requireDocument();
    int last = FOpenDepth - 1;
    // The name of the open element it closes was checked at its start.
    bool closesOpen = last >= 0 && SameUnits(FOpenElements[static_cast<size_t>(last)], tagName);
    if ((!closesOpen || !FOpenNameValid[static_cast<size_t>(last)]) && !IsXmlName(tagName)) {
        if (!sendErrorNotification(Reader, ET_INVALID_ELEMENT_NAME, Locator, tagName)) return false;
        last = FOpenDepth - 1;
        closesOpen = last >= 0 && SameUnits(FOpenElements[static_cast<size_t>(last)], tagName);
    }
    if (!closesOpen) {
        if (!sendErrorNotification(Reader, ET_END_TAG_WITHOUT_START_TAG, Locator, tagName)) return false;
    } else {
        --FOpenDepth;
    }
    return XML_FORWARD(EndElement, tagName);
}

bool TXmlWFTestContentHandler::processPCDATA(TXmlCustomReader* Reader, TdomLocator* Locator,
                                             const WideString& data) {
    fireEvent(OnPCDATA, Reader, Locator, data);
    requireDocument();
    const bool checked = Reader && Reader->isCheckedText(data);
    if (!checked && !IsXmlChars(data) && !sendErrorNotification(Reader, ET_INVALID_CHARACTER, Locator, data))
        return false;
    if (!FRootSeen && FCheckOutsideRoot && !IsXmlS(data) &&
        !sendErrorNotification(Reader, ET_CHARACTERS_OUTSIDE_ROOT, Locator, data))
        return false;
    return XML_FORWARD(PCDATA, data);
}

bool TXmlWFTestContentHandler::processCDATA(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnCDATA, Reader, Locator, data);
    requireDocument();
    if (!IsXmlCData(data) && !sendErrorNotification(Reader, ET_INVALID_CDATA_SECTION, Locator, data)) return false;
    if (!FRootSeen && FCheckOutsideRoot && !sendErrorNotification(Reader, ET_CHARACTERS_OUTSIDE_ROOT, Locator, data))
        return false;
    return XML_FORWARD(CDATA, data);
}

bool TXmlWFTestContentHandler::processComment(TXmlCustomReader* Reader, TdomLocator* Locator,
                                              const WideString& data) {
    fireEvent(OnComment, Reader, Locator, data);
    requireDocument();
    WideString clue = wftest::commentFault(data);
    if (!clue.empty() && !sendErrorNotification(Reader, ET_INVALID_COMMENT, Locator, clue)) return false;
    if (!wftest::allXmlChars(data) && !sendErrorNotification(Reader, ET_INVALID_CHARACTER, Locator, data))
        return false;
    return XML_FORWARD(Comment, data);
}

bool TXmlWFTestContentHandler::processProcessingInstruction(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                            const WideString& targ, const WideString& data) {
    fireEvent(OnProcessingInstruction, Reader, Locator, targ, data);
    requireDocument();
    if (!IsXmlPITarget(targ)) {
        if (!sendErrorNotification(Reader, ET_INVALID_PROCESSING_INSTRUCTION, Locator, targ)) return false;
    } else if (data.find(u"?>") != WideString::npos) {
        if (!sendErrorNotification(Reader, ET_INVALID_PROCESSING_INSTRUCTION, Locator, u"?>")) return false;
    }
    if (!wftest::allXmlChars(data) && !sendErrorNotification(Reader, ET_INVALID_CHARACTER, Locator, data))
        return false;
    return XML_FORWARD(ProcessingInstruction, targ, data);
}

bool TXmlWFTestContentHandler::processEntityRef(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                const WideString& data) {
    fireEvent(OnEntityRef, Reader, Locator, data);
    requireDocument();
    if (!IsXmlName(data) && !sendErrorNotification(Reader, ET_INVALID_ENTITY_NAME, Locator, data)) return false;
    if (!FRootSeen && FCheckOutsideRoot &&
        !sendErrorNotification(Reader, ET_CHARACTERS_OUTSIDE_ROOT, Locator, u"&" + data + u";"))
        return false;
    return XML_FORWARD(EntityRef, data);
}

bool TXmlWFTestContentHandler::processSkippedEntity(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                    const WideString& data) {
    fireEvent(OnSkippedEntity, Reader, Locator, data);
    requireDocument();
    return XML_FORWARD(SkippedEntity, data);
}

bool TXmlWFTestContentHandler::processStartPrefixMapping(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                         const WideString& prefix, const WideString& uri) {
    fireEvent(OnStartPrefixMapping, Reader, Locator, prefix, uri);
    requireDocument();
    return XML_FORWARD(StartPrefixMapping, prefix, uri);
}

bool TXmlWFTestContentHandler::processEndPrefixMapping(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                       const WideString& data) {
    fireEvent(OnEndPrefixMapping, Reader, Locator, data);
    requireDocument();
    return XML_FORWARD(EndPrefixMapping, data);
}

bool TXmlWFTestContentHandler::processEndDocument(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndDocument, Reader, Locator);
    requireDocument();
    FInDocument = false;
    bool ok = true;
    if (FOpenDepth > 0) ok = sendErrorNotification(Reader, ET_MISSING_END_TAG, Locator, {});
    if (ok && !FRootSeen) ok = sendErrorNotification(Reader, ET_ROOT_NOT_FOUND, Locator, {});
    FDoctypeSeen = FRootSeen = false;
    return ok ? XML_FORWARD(EndDocument) : false;
}

bool TXmlWFTestContentHandler::processEndDocumentFragment(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndDocumentFragment, Reader, Locator);
    requireDocument();
    FInDocument = false;
    bool ok = true;
    if (FOpenDepth > 0) ok = sendErrorNotification(Reader, ET_MISSING_END_TAG, Locator, {});
    FDoctypeSeen = FRootSeen = false;
    return ok ? XML_FORWARD(EndDocumentFragment) : false;
}

#undef XML_FORWARD

void TXmlWFTestContentHandler::reset() {
    FInDocument = FDoctypeSeen = FRootSeen = FCheckOutsideRoot = false;
    FOpenDepth = 0;
    FOpenElements.clear();  // no storage kept from one document to the next
    FOpenNameValid.clear();
    TXmlCustomContentHandler::reset();
}

} // namespace xmldom
