// The handler chain: forwarding of events, the error path from handlers to the reader and its
// implementation, the refusals of the content-only and DTD-only handlers, and the DTD
// well-formedness checks.

#include "XmlHandlers.h"

#include <memory>

#include "DomExceptions.h"
#include "XmlChars.h"
#include "XmlDomImpl.h"
#include "XmlMessages.h"

namespace xmldom {

// ------------------------------------------------------------------ TXmlCustomHandler

bool TXmlCustomHandler::sendErrorNotification(TXmlCustomReader* Reader, TXmlErrorType Kind, TdomLocator* Locator,
                                              const WideString& Clue) {
    if (Reader) return Reader->handleError(Kind, Locator, Clue);
    return !(Kind >= ET_FIRST_FATAL && Kind <= ET_LAST_FATAL);
}

// ------------------------------------------------------------------ TXmlStandardHandler

#define XML_DEFINE_FORWARD(Name, Type, Params, Args)                                                          \
    bool TXmlStandardHandler::process##Name(TXmlCustomReader* Reader, TdomLocator* Locator XML_UNPAREN Params) { \
        fireEvent(On##Name, Reader, Locator XML_UNPAREN Args);                                                 \
        if (FNextHandler) return FNextHandler->process##Name(Reader, Locator XML_UNPAREN Args);                \
        return true;                                                                                           \
    }
XML_ALL_EVENTS(XML_DEFINE_FORWARD)
#undef XML_DEFINE_FORWARD

bool TXmlStandardHandler::resolveParameterEntity(const WideString& Name, WideString& ReplacementText,
                                                 TXmlErrorType& ErrorKind) {
    if (FNextHandler) return FNextHandler->resolveParameterEntity(Name, ReplacementText, ErrorKind);
    ReplacementText.clear();
    ErrorKind = ET_UNRESOLVABLE_PARAMETER_ENTITY_REFERENCE;
    return true;
}

WideString TXmlCustomHandler::getParameterEntityAddress(const WideString&) { return {}; }

WideString TXmlStandardHandler::getParameterEntityAddress(const WideString& Name) {
    return FNextHandler ? FNextHandler->getParameterEntityAddress(Name) : WideString();
}

void TXmlStandardHandler::reset() {
    if (FNextHandler) FNextHandler->reset();
}

void TXmlStandardHandler::setNextHandler(TXmlCustomHandler* Value) {
    if (FNextHandler == Value) return;
    if (FNextHandler) RemoveFreeNotification(FNextHandler);
    FNextHandler = Value;
    if (Value) FreeNotification(Value);
}

void TXmlStandardHandler::Notification(TdomBaseComponent* AComponent, TOperation Operation) {
    TXmlCustomHandler::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FNextHandler) FNextHandler = nullptr;
}

// ------------------------------------------------------------------ content-only and DTD-only

namespace {
[[noreturn]] void refuseEvent() {
    throw EParserException(msg::kParserError);
}
} // namespace

#define XML_DEFINE_REFUSE_DTD(Name, Type, Params, Args)                                                       \
    bool TXmlCustomDTDHandler::process##Name(TXmlCustomReader*, TdomLocator* XML_UNPAREN Params) {            \
        refuseEvent();                                                                                         \
    }
#define XML_DEFINE_REFUSE_CONTENT(Name, Type, Params, Args)                                                   \
    bool TXmlCustomContentHandler::process##Name(TXmlCustomReader*, TdomLocator* XML_UNPAREN Params) {        \
        refuseEvent();                                                                                         \
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
XML_CONTENT_EVENTS(XML_DEFINE_REFUSE_DTD)
XML_DTD_EVENTS(XML_DEFINE_REFUSE_CONTENT)
#pragma GCC diagnostic pop
#undef XML_DEFINE_REFUSE_DTD
#undef XML_DEFINE_REFUSE_CONTENT

// ------------------------------------------------------------------ TXmlCustomReader

bool TXmlCustomReader::handleError(TXmlErrorType Kind, TdomLocator* Locator, const WideString& Clue) {
    auto error = std::make_unique<TdomError>(Kind, Locator, Clue);
    if (OnError) OnError(this, error.get());
    bool result;
    if (FDOMImpl) result = FDOMImpl->handleError(this, error.get());
    else result = error->getSeverity() != DOM_SEVERITY_FATAL_ERROR;
    if (!result && FNextHandler) FNextHandler->reset();
    return result;
}

void TXmlCustomReader::setDOMImpl(TDomImplementation* Value) {
    if (FDOMImpl == Value) return;
    if (FDOMImpl) RemoveFreeNotification(FDOMImpl);
    FDOMImpl = Value;
    if (Value) FreeNotification(Value);
}

void TXmlCustomReader::setNextHandler(TXmlStandardHandler* Value) {
    if (FNextHandler == Value) return;
    if (FNextHandler) RemoveFreeNotification(FNextHandler);
    FNextHandler = Value;
    if (Value) FreeNotification(Value);
}

void TXmlCustomReader::Notification(TdomBaseComponent* AComponent, TOperation Operation) {
    TdomBaseComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FDOMImpl) FDOMImpl = nullptr;
    if (AComponent == FNextHandler) FNextHandler = nullptr;
}

// ------------------------------------------------------------------ shared checks

namespace wftest {

WideString commentFault(std::u16string_view data) {
    if (data.find(u"--") != std::u16string_view::npos) return u"--";
    if (!data.empty() && data.back() == u'-') return u"-";
    return {};
}

bool allXmlChars(std::u16string_view data) {
    return IsXmlChars(data);
}

namespace {

/// A value of printable ASCII without '&', '<' and '"': what the quoted test accepts at once.
bool plainAsciiValue(std::u16string_view Value) {
    for (char16_t c : Value)
        if (c < 0x20 || c >= 0x80 || c == u'&' || c == u'<' || c == u'"') return false;
    return true;
}

} // namespace

TXmlErrorType attributeValueFault(const WideString& Value, WideString& Clue) {
    if (plainAsciiValue(Value)) return 0;
    if (Value.find(u'&') == WideString::npos) {
        // Tested between the quote it does not hold: a value read from apostrophes may hold
        // the double quote.
        const char16_t quote = Value.find(u'"') == WideString::npos ? u'"' : u'\'';
        WideString quoted;
        quoted.reserve(Value.size() + 2);
        quoted += quote;
        quoted += Value;
        quoted += quote;
        if (IsXmlAttValue(quoted)) return 0;
        Clue = Value;
        return ET_INVALID_ATTRIBUTE_VALUE;
    }
    size_t i = 0;
    const size_t n = Value.size();
    while (i < n) {
        char16_t c = Value[i];
        if (c == u'&') {
            size_t end = Value.find(u';', i + 1);
            if (end == WideString::npos) {
                Clue = Value;
                return ET_INVALID_ATTRIBUTE_VALUE;
            }
            std::u16string_view body(Value.data() + i + 1, end - i - 1);
            bool good;
            if (!body.empty() && body[0] == u'#') {
                WideString ref = u"&" + WideString(body) + u";";
                good = IsXmlCharRef(ref);
                if (good) {
                    try {
                        XmlCharRefToInt(ref);
                    } catch (const EConvertError&) {
                        good = false;
                    }
                }
            } else {
                good = IsXmlName(body);
            }
            if (!good) {
                Clue = WideString(body);
                return ET_INVALID_ENTITY_NAME;
            }
            i = end + 1;
            continue;
        }
        // Surrogate pairs pass as one character; lone surrogates and "<" do not.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && Value[i + 1] >= 0xDC00 && Value[i + 1] <= 0xDFFF) {
            i += 2;
            continue;
        }
        if (c == u'<' || !IsXmlChar(static_cast<UCS4Char>(c))) {
            Clue = Value;
            return ET_INVALID_ATTRIBUTE_VALUE;
        }
        ++i;
    }
    return 0;
}

} // namespace wftest

// ------------------------------------------------------------------ TXmlWFTestDTDHandler

void TXmlWFTestDTDHandler::requireSubset() const {
    if (FInExtSubset == FInIntSubset) throw EParserException(msg::kInternalParserException);
}

bool TXmlWFTestDTDHandler::checkNotInAttList(TXmlCustomReader* Reader, TdomLocator* Locator, bool& ok) {
    if (FInAttList) ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, {});
    return ok;
}

bool TXmlWFTestDTDHandler::checkComment(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    bool ok = true;
    if (!checkNotInAttList(Reader, Locator, ok)) return false;
    WideString clue = wftest::commentFault(data);
    if (!clue.empty() && !(ok = sendErrorNotification(Reader, ET_INVALID_COMMENT, Locator, clue))) return false;
    if (!wftest::allXmlChars(data)) ok = sendErrorNotification(Reader, ET_INVALID_CHARACTER, Locator, data);
    return ok;
}

bool TXmlWFTestDTDHandler::checkPI(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& targ,
                                   const WideString& data) {
    bool ok = true;
    if (!checkNotInAttList(Reader, Locator, ok)) return false;
    if (!IsXmlPITarget(targ)) {
        if (!(ok = sendErrorNotification(Reader, ET_INVALID_PROCESSING_INSTRUCTION, Locator, targ))) return false;
    } else if (data.find(u"?>") != WideString::npos) {
        if (!(ok = sendErrorNotification(Reader, ET_INVALID_PROCESSING_INSTRUCTION, Locator, u"?>"))) return false;
    }
    if (!wftest::allXmlChars(data)) ok = sendErrorNotification(Reader, ET_INVALID_CHARACTER, Locator, data);
    return ok;
}

#define XML_FORWARD(Name, ...) (FNextHandler ? FNextHandler->process##Name(Reader, Locator, ##__VA_ARGS__) : true)

bool TXmlWFTestDTDHandler::processStartExtDtd(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& pubId,
                                              const WideString& version, const WideString& encDl) {
    fireEvent(OnStartExtDtd, Reader, Locator, pubId, version, encDl);
    if (FInExtSubset || FInIntSubset) throw EParserException(msg::kInternalParserException);
    bool ok = true;
    if ((!version.empty() && !IsXmlVersionNum(version)) || (!encDl.empty() && !IsXmlEncName(encDl)))
        ok = sendErrorNotification(Reader, ET_INVALID_TEXT_DECLARATION, Locator, encDl.empty() ? version : encDl);
    FInExtSubset = true;
    return ok ? XML_FORWARD(StartExtDtd, pubId, version, encDl) : false;
}

bool TXmlWFTestDTDHandler::processStartIntDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnStartIntDtd, Reader, Locator);
    if (FInExtSubset || FInIntSubset) throw EParserException(msg::kInternalParserException);
    FInIntSubset = true;
    return XML_FORWARD(StartIntDtd);
}

bool TXmlWFTestDTDHandler::processEndExtDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndExtDtd, Reader, Locator);
    if (!FInExtSubset || FInIntSubset) throw EParserException(msg::kInternalParserException);
    bool ok = true;
    checkNotInAttList(Reader, Locator, ok);
    FInExtSubset = false;
    return ok ? XML_FORWARD(EndExtDtd) : false;
}

bool TXmlWFTestDTDHandler::processEndIntDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndIntDtd, Reader, Locator);
    if (!FInIntSubset || FInExtSubset) throw EParserException(msg::kInternalParserException);
    bool ok = true;
    checkNotInAttList(Reader, Locator, ok);
    FInIntSubset = false;
    return ok ? XML_FORWARD(EndIntDtd) : false;
}

bool TXmlWFTestDTDHandler::processStartAttListDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                          const WideString& data) {
    fireEvent(OnStartAttListDeclaration, Reader, Locator, data);
    requireSubset();
    bool ok = true;
    if (FInAttList || !IsXmlName(data)) ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, data);
    FInAttList = true;
    return ok ? XML_FORWARD(StartAttListDeclaration, data) : false;
}

bool TXmlWFTestDTDHandler::processAttributeDefinition(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                      const WideString& name, const WideString& attType,
                                                      const WideString& bracket, const WideString& defaultDecl,
                                                      const WideString& attValue) {
    fireEvent(OnAttributeDefinition, Reader, Locator, name, attType, bracket, defaultDecl, attValue);
    requireSubset();
    bool ok = true;
    if (!FInAttList && !(ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, name)))
        return false;
    if (!IsXmlName(name) && !(ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, name)))
        return false;
    return XML_FORWARD(AttributeDefinition, name, attType, bracket, defaultDecl, attValue);
}

bool TXmlWFTestDTDHandler::processEndAttListDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndAttListDeclaration, Reader, Locator);
    requireSubset();
    bool ok = true;
    if (!FInAttList) ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, {});
    FInAttList = false;
    return ok ? XML_FORWARD(EndAttListDeclaration) : false;
}

bool TXmlWFTestDTDHandler::processDtdComment(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnDtdComment, Reader, Locator, data);
    requireSubset();
    return checkComment(Reader, Locator, data) ? XML_FORWARD(DtdComment, data) : false;
}

bool TXmlWFTestDTDHandler::processDtdProcessingInstruction(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                           const WideString& targ, const WideString& data) {
    fireEvent(OnDtdProcessingInstruction, Reader, Locator, targ, data);
    requireSubset();
    return checkPI(Reader, Locator, targ, data) ? XML_FORWARD(DtdProcessingInstruction, targ, data) : false;
}

bool TXmlWFTestDTDHandler::processElementTypeDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                         const WideString& name, const WideString& data) {
    fireEvent(OnElementTypeDeclaration, Reader, Locator, name, data);
    requireSubset();
    bool ok = true;
    if (!checkNotInAttList(Reader, Locator, ok)) return false;
    if (!IsXmlName(name) && !sendErrorNotification(Reader, ET_INVALID_ELEMENT_DECLARATION, Locator, name))
        return false;
    return XML_FORWARD(ElementTypeDeclaration, name, data);
}

namespace {

/// The identifier tests shared by entity, parameter-entity and notation declarations.
bool badIdentifiers(const WideString& pubId, const WideString& sysId) {
    return (!sysId.empty() && !IsXmlSystemChars(sysId)) || (!pubId.empty() && !IsXmlPubidChars(pubId));
}

} // namespace

bool TXmlWFTestDTDHandler::processEntityDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                    const WideString& name, const WideString& entityValue,
                                                    const WideString& pubId, const WideString& sysId,
                                                    const WideString& notaName) {
    fireEvent(OnEntityDeclaration, Reader, Locator, name, entityValue, pubId, sysId, notaName);
    requireSubset();
    bool ok = true;
    if (!checkNotInAttList(Reader, Locator, ok)) return false;
    bool bad = !IsXmlName(name) ||
               (!entityValue.empty() &&
                (!IsXmlEntityValue(entityValue) || !pubId.empty() || !sysId.empty() || !notaName.empty())) ||
               badIdentifiers(pubId, sysId) || (!notaName.empty() && !IsXmlName(notaName));
    if (bad && !sendErrorNotification(Reader, ET_INVALID_ENTITY_DECLARATION, Locator, name)) return false;
    return XML_FORWARD(EntityDeclaration, name, entityValue, pubId, sysId, notaName);
}

bool TXmlWFTestDTDHandler::processParameterEntityDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                             const WideString& name, const WideString& entityValue,
                                                             const WideString& pubId, const WideString& sysId) {
    fireEvent(OnParameterEntityDeclaration, Reader, Locator, name, entityValue, pubId, sysId);
    requireSubset();
    bool ok = true;
    if (!checkNotInAttList(Reader, Locator, ok)) return false;
    bool bad = !IsXmlName(name) ||
               (!entityValue.empty() && (!IsXmlEntityValue(entityValue) || !pubId.empty() || !sysId.empty())) ||
               badIdentifiers(pubId, sysId);
    if (bad && !sendErrorNotification(Reader, ET_INVALID_ENTITY_DECLARATION, Locator, name)) return false;
    return XML_FORWARD(ParameterEntityDeclaration, name, entityValue, pubId, sysId);
}

bool TXmlWFTestDTDHandler::processNotationDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                      const WideString& name, const WideString& pubId,
                                                      const WideString& sysId) {
    fireEvent(OnNotationDeclaration, Reader, Locator, name, pubId, sysId);
    requireSubset();
    bool ok = true;
    if (!checkNotInAttList(Reader, Locator, ok)) return false;
    if ((!IsXmlName(name) || badIdentifiers(pubId, sysId)) &&
        !sendErrorNotification(Reader, ET_INVALID_NOTATION_DECLARATION, Locator, name))
        return false;
    return XML_FORWARD(NotationDeclaration, name, pubId, sysId);
}

bool TXmlWFTestDTDHandler::processParameterEntityRef(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                     const WideString& data) {
    fireEvent(OnParameterEntityRef, Reader, Locator, data);
    requireSubset();
    bool ok = true;
    if (!checkNotInAttList(Reader, Locator, ok)) return false;
    if (!IsXmlName(data) && !sendErrorNotification(Reader, ET_INVALID_ENTITY_NAME, Locator, data)) return false;
    return XML_FORWARD(ParameterEntityRef, data);
}

#undef XML_FORWARD

void TXmlWFTestDTDHandler::reset() {
    FInExtSubset = FInIntSubset = FInAttList = false;
    TXmlCustomDTDHandler::reset();
}

} // namespace xmldom
