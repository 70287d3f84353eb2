// The schema builder's work per DTD event: element declarations with their content models,
// attribute lists (also ahead of their element's declaration), entities, notations, and the map
// of parameter entities with the fetch of external ones through the implementation.

#include "XmlASBuilder.h"

#include "DomExceptions.h"
#include "XmlASModel.h"
#include "XmlChars.h"
#include "XmlDomEntityExpansion.h"
#include "XmlDomImpl.h"
#include "XmlDtdReader.h"
#include "XmlMessages.h"
#include "XmlUri.h"

namespace xmldom {

namespace {

constexpr char16_t kSenderNotSpecified[] = u"Internal Parser Exception: Sender not specified";
constexpr char16_t kSenderDomImplNotSpecified[] = u"Internal Parser Exception: sender.DOMImpl not specified";
constexpr char16_t kContentModelActive[] = u"TXmlASBuilder -- Content Model is active.";
constexpr char16_t kInvalidAttributeType[] = u"%S is not a valid attribute type.";
constexpr char16_t kInvalidTextDeclaration[] = u"Invalid text declaration.";
constexpr char16_t kEncodingNotSupported[] = u"Encoding not supported.";
constexpr char16_t kUnresolvableParameterEntity[] = u"Unresolveable parameter entity.";
constexpr char16_t kInvalidCharacters[] = u"Invalid character.";

[[noreturn]] void parserError() { throw EParserException(msg::kParserError); }

bool isWhite(char16_t c) { return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD; }

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && isWhite(s.front())) s.remove_prefix(1);
    while (!s.empty() && isWhite(s.back())) s.remove_suffix(1);
    return s;
}

/// The frequency of a trailing "?", "*" or "+" (removed from the text), else 0.
uint8_t takeFrequency(std::u16string_view& s) {
    if (s.empty()) return AS_ONCE;
    uint8_t f;
    switch (s.back()) {
    case u'?': f = AS_OPTIONAL; break;
    case u'*': f = AS_ZERO_OR_MORE; break;
    case u'+': f = AS_ONE_OR_MORE; break;
    default: return AS_ONCE;
    }
    s.remove_suffix(1);
    return f;
}

/// The inside of "(" ... ")", trimmed and not empty.
std::u16string_view groupInner(std::u16string_view s) {
    if (s.size() < 2 || s.front() != u'(' || s.back() != u')') parserError();
    std::u16string_view inner = trimmed(s.substr(1, s.size() - 2));
    if (inner.empty()) parserError();
    return inner;
}

void parseGroup(std::u16string_view Text, int Depth, int MaxDepth, TXmlASBuilder::TParticle& Out) {
    if (Depth > MaxDepth) parserError();
    std::u16string_view t = trimmed(Text);
    Out.Frequency = takeFrequency(t);
    std::u16string_view inner = groupInner(t);

    // The connector at bracket depth 0; the brackets must balance.
    char16_t connector = 0;
    int depth = 0;
    for (char16_t c : inner) {
        if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            if (--depth < 0) parserError();
        } else if (depth == 0 && (c == u',' || c == u'|')) {
            if (connector == 0) connector = c;
            else if (c != connector) parserError();
        }
    }
    if (depth != 0) parserError();
    Out.ListOperator = connector == u'|' ? AS_CHOICE : AS_SEQUENCE;

    size_t start = 0;
    depth = 0;
    for (size_t i = 0; i <= inner.size(); ++i) {
        if (i < inner.size()) {
            const char16_t c = inner[i];
            if (c == u'(') ++depth;
            else if (c == u')') --depth;
            if (depth != 0 || c != connector) continue;
        }
        std::u16string_view piece = trimmed(inner.substr(start, i - start));
        start = i + 1;
        if (piece.empty()) parserError();
        TXmlASBuilder::TParticle& child = Out.Children.emplace_back();
        if (piece.front() == u'(') {
            parseGroup(piece, Depth + 1, MaxDepth, child);
        } else {
            child.ListOperator = AS_ELEMENT_NAME;
            child.Frequency = takeFrequency(piece);
            if (!IsXmlName(piece)) parserError();
            child.Name.assign(piece);
        }
    }
}

} // namespace

// ------------------------------------------------------------------ content declarations

namespace contentspec {

TXmlASBuilder::TParticle parseElementContent(std::u16string_view Text, int MaxDepth) {
    // One pass for the nesting first, so a hostile depth costs no more than its length.
    int depth = 0;
    for (char16_t c : Text) {
        if (c == u'(' && ++depth > MaxDepth + 1) parserError();
        if (c == u')') --depth;
    }
    TXmlASBuilder::TParticle root;
    parseGroup(Text, 0, MaxDepth, root);
    return root;
}

TXmlASBuilder::TParticle parseMixedContent(std::u16string_view Text) {
    TXmlASBuilder::TParticle root;
    root.ListOperator = AS_CHOICE;
    std::u16string_view t = trimmed(Text);
    const bool star = !t.empty() && t.back() == u'*';
    if (star) t.remove_suffix(1);
    root.Frequency = star ? AS_ZERO_OR_MORE : AS_ONCE;
    std::u16string_view inner = groupInner(t);
    if (inner == u"#PCDATA") return root;
    if (!star) parserError();
    size_t bar = inner.find(u'|');
    if (bar == std::u16string_view::npos || trimmed(inner.substr(0, bar)) != u"#PCDATA") parserError();
    while (bar != std::u16string_view::npos) {
        const size_t next = inner.find(u'|', bar + 1);
        std::u16string_view name =
            trimmed(inner.substr(bar + 1, next == std::u16string_view::npos ? std::u16string_view::npos : next - bar - 1));
        if (name.empty() || !IsXmlName(name)) parserError();
        TXmlASBuilder::TParticle& child = root.Children.emplace_back();
        child.ListOperator = AS_ELEMENT_NAME;
        child.Name.assign(name);
        bar = next;
    }
    return root;
}

} // namespace contentspec

// ------------------------------------------------------------------ TdomParameterEntityInfoObject

TdomParameterEntityInfoObject::TdomParameterEntityInfoObject(const WideString& Name, const WideString& Value)
    : FName(Name), FValue(Value), FExternal(false), FResolved(true) {}

TdomParameterEntityInfoObject::TdomParameterEntityInfoObject(const WideString& Name, const WideString& PublicId,
                                                             const WideString& SystemId, const WideString& BaseUri)
    : FName(Name), FPublicId(PublicId), FSystemId(SystemId), FBaseUri(BaseUri), FExternal(true), FResolved(false) {}

WideString TdomParameterEntityInfoObject::getAddress() const {
    return FExternal ? XmlEntityAddress(FBaseUri, FSystemId) : WideString();
}

const WideString& TdomParameterEntityInfoObject::getValue(TDomImplementation* Impl, const WideString& ParentSystemId) {
    if (FResolved) return FValue;
    WideString text;
    switch (XmlFetchExternalParsedEntity(Impl, FBaseUri.empty() ? ParentSystemId : FBaseUri, FPublicId, FSystemId,
                                         text)) {
    case 0: break;
    case ET_INVALID_TEXT_DECLARATION: throw EParserException(kInvalidTextDeclaration);
    case ET_ENCODING_NOT_SUPPORTED: throw EParserException(kEncodingNotSupported);
    case ET_INVALID_CHARACTER: throw EConvertError(kInvalidCharacters);
    default: throw EParserException(kUnresolvableParameterEntity);
    }
    // A delivered answer without a stream counts as an empty entity.
    FValue = std::move(text);
    FResolved = true;
    return FValue;
}

// ------------------------------------------------------------------ TXmlASBuilder

#define XML_FORWARD(Name, ...) (FNextHandler ? FNextHandler->process##Name(Reader, Locator, ##__VA_ARGS__) : true)

TXmlASBuilder::TXmlASBuilder(TdomBaseComponent* AOwner) : TXmlCustomContentHandler(AOwner) {}

TXmlASBuilder::~TXmlASBuilder() = default;

void TXmlASBuilder::Notification(TdomBaseComponent* AComponent, TOperation Operation) {
    TXmlCustomContentHandler::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDOMImpl) FDOMImpl = nullptr;
}

void TXmlASBuilder::requireActive() const {
    if (!FActive) throw EParserException(msg::kInternalParserException);
}

void TXmlASBuilder::checkNoContentModelActive() const {
    if (FActive) throw EParserException(kContentModelActive);
}

void TXmlASBuilder::reset() {
    FActive = false;
    FInAttList = false;
    FAttListElementName.clear();
    if (FDOMImpl) RemoveFreeNotification(FDOMImpl);
    FDOMImpl = nullptr;
    TXmlCustomContentHandler::reset();
}

TdomParameterEntityInfoObject* TXmlASBuilder::findParameterEntity(const WideString& Name) const {
    auto it = FParameterEntities.find(Name);
    return it == FParameterEntities.end() ? nullptr : it->second.get();
}

bool TXmlASBuilder::startDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    if (!Reader) throw EParserException(kSenderNotSpecified);
    if (!Reader->getDOMImpl()) throw EParserException(kSenderDomImplNotSpecified);
    if (FActive) throw EParserException(msg::kInternalParserException);
    FInAttList = false;
    FAttListElementName.clear();
    FActive = true;
    FParameterEntityUsed = false;
    if (FDOMImpl != Reader->getDOMImpl()) {
        if (FDOMImpl) RemoveFreeNotification(FDOMImpl);
        FDOMImpl = Reader->getDOMImpl();
        FreeNotification(FDOMImpl);
    }
    FBaseSystemId = Locator ? Locator->getUri() : WideString();
    return true;
}

bool TXmlASBuilder::endDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    requireActive();
    bool ok = true;
    if (FInAttList) ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, FAttListElementName);
    FActive = false;
    FInAttList = false;
    FAttListElementName.clear();
    return ok;
}

bool TXmlASBuilder::processStartExtDtd(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& pubId,
                                       const WideString& version, const WideString& encDl) {
    fireEvent(OnStartExtDtd, Reader, Locator, pubId, version, encDl);
    return startDtd(Reader, Locator) && XML_FORWARD(StartExtDtd, pubId, version, encDl);
}

bool TXmlASBuilder::processStartIntDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnStartIntDtd, Reader, Locator);
    return startDtd(Reader, Locator) && XML_FORWARD(StartIntDtd);
}

bool TXmlASBuilder::processEndExtDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndExtDtd, Reader, Locator);
    return endDtd(Reader, Locator) && XML_FORWARD(EndExtDtd);
}

bool TXmlASBuilder::processEndIntDtd(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndIntDtd, Reader, Locator);
    return endDtd(Reader, Locator) && XML_FORWARD(EndIntDtd);
}

bool TXmlASBuilder::processDtdComment(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& data) {
    fireEvent(OnDtdComment, Reader, Locator, data);
    requireActive();
    return XML_FORWARD(DtdComment, data);
}

bool TXmlASBuilder::processDtdProcessingInstruction(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                    const WideString& targ, const WideString& data) {
    fireEvent(OnDtdProcessingInstruction, Reader, Locator, targ, data);
    requireActive();
    return XML_FORWARD(DtdProcessingInstruction, targ, data);
}

// ------------------------------------------------------------------ element declarations

TdomASContentModel* TXmlASBuilder::buildModel(TdomASElementDecl* Decl, const TParticle& Particle) {
    TdomASContentModel* model = Decl->createContentModel(Particle.Name, Particle.ListOperator);
    model->setFrequency(Particle.Frequency);
    for (const TParticle& child : Particle.Children) model->appendSubModel(buildModel(Decl, child));
    return model;
}

TdomASContentModel* TXmlASBuilder::parseContentParticle(TdomASElementDecl* Decl, const WideString& Text) {
    const TParticle particle = contentspec::parseElementContent(Text, kMaxParticleDepth);
    return buildModel(Decl, particle);
}

TdomASContentModel* TXmlASBuilder::parseMixedContent(TdomASElementDecl* Decl, const WideString& Text) {
    const TParticle particle = contentspec::parseMixedContent(Text);
    TdomASContentModel* model = buildModel(Decl, particle);
    Decl->setContentModel(model);
    return model;
}

TdomASElementDecl* TXmlASBuilder::elementDeclFor(const WideString& Name) {
    TdomASElementDecl* decl = nullptr;
    FASModel->addElementDecl(Name, AS_CONTENT_UNDEFINED, decl);
    return decl;
}

bool TXmlASBuilder::processElementTypeDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                  const WideString& name, const WideString& data) {
    fireEvent(OnElementTypeDeclaration, Reader, Locator, name, data);
    requireActive();
    bool ok = true;
    if (FInAttList) {
        ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, name);
    } else if (!IsXmlName(name)) {
        ok = sendErrorNotification(Reader, ET_INVALID_ELEMENT_DECLARATION, Locator, name);
    } else {
        const std::u16string_view spec = trimmed(data);
        uint8_t type;
        if (spec == u"EMPTY") type = AS_CONTENT_EMPTY;
        else if (spec == u"ANY") type = AS_CONTENT_ANY;
        else if (spec.find(u"#PCDATA") != std::u16string_view::npos) type = AS_CONTENT_MIXED;
        else type = AS_CONTENT_ELEMENT;
        // The content declaration is parsed whole before the store is touched, so a malformed or
        // too deeply nested one leaves no half-made declaration behind.
        TParticle particle;
        bool wellFormed = true;
        if (type == AS_CONTENT_ELEMENT || type == AS_CONTENT_MIXED) {
            try {
                particle = type == AS_CONTENT_MIXED ? contentspec::parseMixedContent(spec)
                                                    : contentspec::parseElementContent(spec, kMaxParticleDepth);
            } catch (const EParserException&) {
                wellFormed = false;
            }
        }
        if (!wellFormed) {
            ok = sendErrorNotification(Reader, ET_INVALID_ELEMENT_DECLARATION, Locator, data);
        } else if (FASModel) {
            TdomASElementDecl* decl = nullptr;
            if (!FASModel->addElementDecl(name, type, decl)) {
                // An attribute list may have made the declaration already; it is completed here.
                if (decl->getContentType() == AS_CONTENT_UNDEFINED) decl->setContentType(type);
                else decl = nullptr;
            }
            if (!decl) {
                ok = sendErrorNotification(Reader, ET_DOUBLE_ELEMENT_TYPE_DECLARATION, Locator, name);
            } else if (type == AS_CONTENT_ELEMENT || type == AS_CONTENT_MIXED) {
                decl->setContentModel(buildModel(decl, particle));
            }
        }
    }
    return ok && XML_FORWARD(ElementTypeDeclaration, name, data);
}

// ------------------------------------------------------------------ attribute lists

bool TXmlASBuilder::processStartAttListDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                   const WideString& data) {
    fireEvent(OnStartAttListDeclaration, Reader, Locator, data);
    requireActive();
    bool ok = true;
    if (FInAttList) ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, data);
    FInAttList = true;
    FAttListElementName = data;
    return ok && XML_FORWARD(StartAttListDeclaration, data);
}

bool TXmlASBuilder::processEndAttListDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator) {
    fireEvent(OnEndAttListDeclaration, Reader, Locator);
    requireActive();
    bool ok = true;
    if (!FInAttList) ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, {});
    FInAttList = false;
    FAttListElementName.clear();
    return ok && XML_FORWARD(EndAttListDeclaration);
}

std::vector<WideString> TXmlASBuilder::parseEnumeration(const WideString& Text, bool Notation) {
    std::u16string_view t = trimmed(Text);
    if (!t.empty() && t.front() == u'(') {
        if (t.back() != u')') parserError();
        t = t.substr(1, t.size() - 2);
    }
    std::vector<WideString> tokens;
    size_t start = 0;
    for (;;) {
        const size_t bar = t.find(u'|', start);
        std::u16string_view token =
            trimmed(t.substr(start, bar == std::u16string_view::npos ? std::u16string_view::npos : bar - start));
        if (token.empty() || !(Notation ? IsXmlName(token) : IsXmlNmtoken(token))) parserError();
        tokens.emplace_back(token);
        if (bar == std::u16string_view::npos) break;
        start = bar + 1;
    }
    return tokens;
}

namespace {

/// The attribute type of a keyword; an empty keyword is an enumeration. False for any other.
bool attributeTypeOf(const WideString& Keyword, uint8_t& Type) {
    static const struct {
        const char16_t* Keyword;
        uint8_t Type;
    } kTypes[] = {
        {u"", AS_NMTOKEN_DATATYPE},       {u"CDATA", AS_STRING_DATATYPE},   {u"ID", AS_ID_DATATYPE},
        {u"IDREF", AS_IDREF_DATATYPE},     {u"IDREFS", AS_IDREFS_DATATYPE},  {u"ENTITY", AS_ENTITY_DATATYPE},
        {u"ENTITIES", AS_ENTITIES_DATATYPE}, {u"NMTOKEN", AS_NMTOKEN_DATATYPE}, {u"NMTOKENS", AS_NMTOKENS_DATATYPE},
        {u"NOTATION", AS_NOTATION_DATATYPE},
    };
    for (const auto& entry : kTypes) {
        if (Keyword == entry.Keyword) {
            Type = entry.Type;
            return true;
        }
    }
    return false;
}

/// The default declaration of a keyword ("" for a value alone); false for any other.
bool defaultDeclOf(const WideString& Keyword, uint8_t& Decl) {
    if (Keyword.empty()) Decl = AS_DEFAULT;
    else if (Keyword == u"#FIXED") Decl = AS_FIXED;
    else if (Keyword == u"#IMPLIED") Decl = AS_IMPLIED;
    else if (Keyword == u"#REQUIRED") Decl = AS_REQUIRED;
    else return false;
    return true;
}

} // namespace

WideString TXmlASBuilder::entityDeclaredLater(const WideString& Default) const {
    if (!FEntitiesBeforeDefaults || FParameterEntityUsed || !FASModel || Default.find(u'&') == WideString::npos)
        return {};
    for (const TdomEntityPart& part : CutLiteralValue(Default))
        if (part.kind == TdomEntityPart::EntityRef && !IsXmlPredefinedEntityName(part.text) &&
            !FASModel->findEntityDecl(part.text))
            return part.text;
    return {};
}

bool TXmlASBuilder::processAttributeDefinition(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                               const WideString& attType, const WideString& bracket,
                                               const WideString& defaultDecl, const WideString& attValue) {
    fireEvent(OnAttributeDefinition, Reader, Locator, name, attType, bracket, defaultDecl, attValue);
    requireActive();
    bool ok = true;
    uint8_t type = AS_STRING_DATATYPE;
    uint8_t decl = AS_IMPLIED;
    if (!FInAttList) {
        ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, name);
    } else if (attValue.find(u'<') != WideString::npos) {
        ok = sendErrorNotification(Reader, ET_LT_IN_REPLACEMENT_TEXT, Locator, attValue);
    } else if (!attributeTypeOf(attType, type)) {
        throw EParserException(Format(kInvalidAttributeType, {attType}));
    } else if (!defaultDeclOf(defaultDecl, decl) || !IsXmlName(name)) {
        ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator,
                                   IsXmlName(name) ? defaultDecl : name);
    } else if (FASModel) {
        std::vector<WideString> tokens;
        if (attType.empty() || type == AS_NOTATION_DATATYPE) tokens = parseEnumeration(bracket, !attType.empty());
        TdomASElementDecl* element = nullptr;
        if (IsXmlName(FAttListElementName)) element = elementDeclFor(FAttListElementName);
        TdomASAttributeDecl* attr = nullptr;
        const WideString ahead = entityDeclaredLater(attValue);
        if (!element) {
            ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, FAttListElementName);
        } else if (!ahead.empty()) {
            ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, u"&" + ahead + u";");
        } else if (!element->addAttributeDecl(name, attr)) {
            // The first definition binds.
            ok = sendErrorNotification(Reader, ET_DOUBLE_ATTRIBUTE_DEFINITION, Locator, name);
        } else {
            attr->setAttrType(type);
            attr->setDefaultDecl(decl);
            attr->setDefaultValue(attValue);
            for (const WideString& token : tokens) attr->getEnumeration().Add(token);
        }
    }
    return ok && XML_FORWARD(AttributeDefinition, name, attType, bracket, defaultDecl, attValue);
}

// ------------------------------------------------------------------ entities and notations

bool TXmlASBuilder::processEntityDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                             const WideString& entityValue, const WideString& pubId,
                                             const WideString& sysId, const WideString& notaName) {
    fireEvent(OnEntityDeclaration, Reader, Locator, name, entityValue, pubId, sysId, notaName);
    requireActive();
    bool ok = true;
    if (FInAttList) {
        ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, name);
    } else if (FASModel) {
        TdomASEntityDecl* decl = nullptr;
        bool added = false;
        bool refused = false;
        try {
            if (pubId.empty() && sysId.empty() && notaName.empty())
                added = FASModel->addEntityDecl(name, ResolveCharRefs(entityValue), decl);
            else if ((added = FASModel->addEntityDecl(name, pubId, sysId, notaName, decl)))
                decl->setBaseUri(declaringAddress(Locator));
        } catch (const EConvertError&) {
            refused = true;
        } catch (const EInvalid_Character_Err&) {
            refused = true;
        }
        if (refused) ok = sendErrorNotification(Reader, ET_INVALID_ENTITY_DECLARATION, Locator, name);
        else if (!added) ok = sendErrorNotification(Reader, ET_DOUBLE_ENTITY_DECLARATION, Locator, name);
        else if (decl->getState() == AS_UNUSABLE && !decl->isAttributeUsable())
            ok = sendErrorNotification(Reader, ET_UNUSABLE_ENTITY_DECLARED, Locator, name);
    }
    return ok && XML_FORWARD(EntityDeclaration, name, entityValue, pubId, sysId, notaName);
}

bool TXmlASBuilder::processParameterEntityDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator,
                                                      const WideString& name, const WideString& entityValue,
                                                      const WideString& pubId, const WideString& sysId) {
    fireEvent(OnParameterEntityDeclaration, Reader, Locator, name, entityValue, pubId, sysId);
    requireActive();
    bool ok = true;
    if (FParameterEntities.count(name)) {
        // The first declaration binds.
        ok = sendErrorNotification(Reader, ET_DOUBLE_PARAMETER_ENTITY_DECLARATION, Locator, name);
    } else {
        try {
            std::unique_ptr<TdomParameterEntityInfoObject> entry;
            if (pubId.empty() && sysId.empty()) entry = std::make_unique<TdomParameterEntityInfoObject>(name, entityValue);
            else entry = std::make_unique<TdomParameterEntityInfoObject>(name, pubId, sysId, declaringAddress(Locator));
            FParameterEntities.emplace(name, std::move(entry));
        } catch (const std::exception&) {
            ok = sendErrorNotification(Reader, ET_INVALID_ENTITY_DECLARATION, Locator, name);
        }
    }
    return ok && XML_FORWARD(ParameterEntityDeclaration, name, entityValue, pubId, sysId);
}

bool TXmlASBuilder::processNotationDeclaration(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& name,
                                               const WideString& pubId, const WideString& sysId) {
    fireEvent(OnNotationDeclaration, Reader, Locator, name, pubId, sysId);
    requireActive();
    bool ok = true;
    if (FInAttList) {
        ok = sendErrorNotification(Reader, ET_INVALID_ATTLIST_DECLARATION, Locator, name);
    } else if (FASModel) {
        TdomASNotationDecl* decl = nullptr;
        try {
            if (!FASModel->addNotationDecl(name, pubId, sysId, decl))
                ok = sendErrorNotification(Reader, ET_DUPLICATE_NOTATION_DECLARATION, Locator, name);
        } catch (const EInvalid_Character_Err&) {
            ok = sendErrorNotification(Reader, ET_INVALID_NOTATION_DECLARATION, Locator, name);
        }
    }
    return ok && XML_FORWARD(NotationDeclaration, name, pubId, sysId);
}

// ------------------------------------------------------------------ parameter entities

WideString TXmlASBuilder::getParameterEntityAddress(const WideString& Name) {
    TdomParameterEntityInfoObject* entry = findParameterEntity(Name);
    return entry ? entry->getAddress() : WideString();
}

WideString TXmlASBuilder::declaringAddress(TdomLocator* Locator) const {
    const WideString address = Locator ? Locator->getUri() : WideString();
    return address.empty() ? FBaseSystemId : address;
}

bool TXmlASBuilder::resolveParameterEntity(const WideString& Name, WideString& ReplacementText,
                                           TXmlErrorType& ErrorKind) {
    ReplacementText.clear();
    FParameterEntityUsed = true;
    TdomParameterEntityInfoObject* entry = findParameterEntity(Name);
    if (!entry) {
        ErrorKind = ET_PARAMETER_ENTITY_DECLARATION_NOT_FOUND;
        return false;
    }
    try {
        ReplacementText = entry->getValue(FDOMImpl, FBaseSystemId);
        ErrorKind = 0;
    } catch (const EParserException& e) {
        const std::string& message = e.Message;
        if (message == ToUtf8(kInvalidTextDeclaration)) ErrorKind = ET_INVALID_TEXT_DECLARATION;
        else if (message == ToUtf8(kEncodingNotSupported)) ErrorKind = ET_ENCODING_NOT_SUPPORTED;
        else ErrorKind = ET_UNRESOLVABLE_PARAMETER_ENTITY_REFERENCE;
    } catch (const EConvertError&) {
        // Bytes that do not decode in the entity's encoding.
        ErrorKind = ET_INVALID_CHARACTER;
    }
    return ErrorKind == 0;
}

#undef XML_FORWARD

} // namespace xmldom
