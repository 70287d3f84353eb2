// The writer component: its properties and checks, the output source made for each write, and
// the string and wide-string forms on top of the stream form; the reading component with its two
// families of parse operations and their shared stream core.

#include "XmlParsers.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "DomExceptions.h"
#include "XmlDocBuilder.h"
#include "XmlDocReader.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomImpl.h"
#include "XmlDomReader.h"
#include "XmlDtdReader.h"
#include "XmlEncodings.h"
#include "XmlErrorKinds.h"
#include "XmlMessages.h"
#include "XmlSourceCode.h"
#include "XmlStreamBuilder.h"

namespace xmldom {

namespace {

/// Read-only stream over bytes the caller keeps for the read: a string is parsed without a copy.
class TByteViewStream : public TStream {
public:
    explicit TByteViewStream(std::string_view bytes) : bytes_(bytes) {}

    int64_t Read(void* Buffer, int64_t Count) override {
        const int64_t available = static_cast<int64_t>(bytes_.size()) - position_;
        const int32_t n = static_cast<int32_t>(std::clamp<int64_t>(Count, 0, std::max<int64_t>(available, 0)));
        if (n > 0) std::memcpy(Buffer, bytes_.data() + position_, static_cast<size_t>(n));
        position_ += n;
        return n;
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
        const auto size = static_cast<int64_t>(bytes_.size());
        const int64_t base = Origin == soCurrent ? position_ : Origin == soEnd ? size : 0;
        position_ = std::clamp<int64_t>(base + Offset, 0, size);
        return position_;
    }

private:
    std::string_view bytes_;
    int64_t position_ = 0;  ///< 0..size
};

} // namespace

// ------------------------------------------------------------------ TXmlCustomParser

void TXmlCustomParser::SetDOMImpl(TDomImplementation* Value) {
    if (FDOMImpl == Value) return;
    if (FDOMImpl) RemoveFreeNotification(FDOMImpl);
    FDOMImpl = Value;
    if (Value) FreeNotification(Value);
}

void TXmlCustomParser::Notification(TdomBaseComponent* AComponent, TOperation Operation) {
    TdomBaseComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDOMImpl) FDOMImpl = nullptr;
}

void TXmlCustomParser::SetBufferSize(int32_t Value) {
    if (Value < 1024) throw ENot_Supported_Err(msg::kBufferSizeTooSmall);
    FBufferSize = Value;
}

bool TXmlCustomParser::reportError(TXmlErrorType Kind, TdomLocator* Locator) {
    TdomError error(Kind, Locator, WideString());
    if (FDOMImpl) return FDOMImpl->handleError(this, &error);
    return error.getSeverity() != DOM_SEVERITY_FATAL_ERROR;
}

// ------------------------------------------------------------------ TDomToXmlParser

TDomToXmlParser::TDomToXmlParser(TdomBaseComponent* AOwner)
    : TXmlCustomParser(AOwner),
      FDomReader(new TXmlStandardDomReader(this)),
      FStreamBuilder(new TXmlStreamBuilder(this)),
      FTestHandler(new TXmlWFTestContentHandler(this)) {
    FDomReader->setPrefixMapping(false);
    FDomReader->setSuppressXmlns(false);
    FTestHandler->setNextHandler(FStreamBuilder);
    FDomReader->setNextHandler(FStreamBuilder);
}

bool TDomToXmlParser::GetStrictErrorChecking() const {
    return FDomReader->getNextHandler() == FTestHandler;
}

void TDomToXmlParser::SetStrictErrorChecking(bool Value) {
    if (Value) FDomReader->setNextHandler(FTestHandler);
    else FDomReader->setNextHandler(FStreamBuilder);
}

bool TDomToXmlParser::GetUseByteOrderMark() const {
    return FStreamBuilder->getUseByteOrderMark();
}

void TDomToXmlParser::SetUseByteOrderMark(bool Value) {
    FStreamBuilder->setUseByteOrderMark(Value);
}

bool TDomToXmlParser::writeToStream(TdomNode* SourceNode, const WideString& EncodingName, TStream* Destination) {
    if (!FDOMImpl) throw EAccessViolation(msg::kDomImplNotSpecified);
    if (!Destination) throw EAccessViolation(msg::kDestinationNotSpecified);
    if (!SourceNode) throw EAccessViolation(msg::kSourceNodeNotSpecified);
    FDomReader->setDOMImpl(FDOMImpl);
    WideString name = EncodingName;
    if (FUseActiveCodePage && !FWideOutput) {
        const std::string active = activeCodePageName();
        name.assign(active.begin(), active.end());
    }
    FStreamBuilder->setEncodingName(name);

    TXmlOutputSource output(Destination, FBufferSize);
    output.setNewLine(FNewLine);
    FStreamBuilder->setOutputSource(&output);
    bool result;
    try {
        result = FDomReader->parse(SourceNode);
    } catch (...) {
        FStreamBuilder->setOutputSource(nullptr);
        try {
            output.flush();
        } catch (...) {
            // The walk's own exception is the one the caller needs.
        }
        throw;
    }
    FStreamBuilder->setOutputSource(nullptr);
    // Flushed here, not in the destructor, so that a stream that refuses bytes raises.
    output.flush();
    return result;
}

bool TDomToXmlParser::writeToString(TdomNode* SourceNode, const WideString& EncodingName, std::string& S) {
    S.clear();
    bool nameIsAscii = true;
    for (char16_t c : EncodingName) nameIsAscii = nameIsAscii && c < 0x80;
    const uint8_t index = nameIsAscii ? encodingIndexOf(ToUtf8(EncodingName)) : kEncodingNone;
    if (index >= kEncodingUTF16BE && index <= kEncodingUCS2) throw ENot_Supported_Err(msg::kEncodingNotSupportedErr);
    TStringStream stream;
    const bool result = writeToStream(SourceNode, EncodingName, &stream);
    S = stream.ReleaseDataString();
    return result;
}

bool TDomToXmlParser::writeToWideString(TdomNode* SourceNode, WideString& S) {
    S.clear();
    TdomWideStringStream stream;
    // Always UTF-16: the active code page would put single bytes into a wide string.
    FWideOutput = true;
    bool result;
    try {
        result = writeToStream(SourceNode, u"UTF-16BE", &stream);
    } catch (...) {
        FWideOutput = false;
        throw;
    }
    FWideOutput = false;
    S = stream.DataString();
    return result;
}

// ------------------------------------------------------------------ TXmlToDomParser

namespace {
constexpr char16_t kFilenameNotSpecified[] = u"Filename not specified.";
constexpr char16_t kSourceCodeNotSpecified[] = u"TXmlSourceCode not specified.";
} // namespace

TXmlToDomParser::TXmlToDomParser(TdomBaseComponent* AOwner)
    : TXmlCustomParser(AOwner),
      FDocReader(new TXmlStandardDocReader(this)),
      FTestHandler(new TXmlWFTestContentHandler(this)),
      FDocBuilder(new TXmlDocBuilder(this)) {
    FDocReader->setNextHandler(FTestHandler);
    FTestHandler->setNextHandler(FDocBuilder);
    FDocReader->setPrefixMapping(false);
    FDocReader->setSuppressXmlns(false);
    FDocBuilder->setBuildNamespaceTree(false);
    FDocBuilder->OnStartDocument = [this](TObject*, TXmlCustomReader*, TdomLocator* Locator, WideString&,
                                          WideString&, TdomStandalone&) { startDocument(Locator); };
}

TXmlToDomParser::~TXmlToDomParser() { freeBuiltDocument(); }

void TXmlToDomParser::SetDOMImpl(TDomImplementation* Value) {
    TXmlCustomParser::SetDOMImpl(Value);
    FDocReader->setDOMImpl(Value);
}

bool TXmlToDomParser::getKeepCDATASections() const { return FDocBuilder->getKeepCDATASections(); }
void TXmlToDomParser::SetKeepCDATASections(bool Value) { FDocBuilder->setKeepCDATASections(Value); }
bool TXmlToDomParser::getKeepComments() const { return FDocBuilder->getKeepComments(); }
void TXmlToDomParser::SetKeepComments(bool Value) { FDocBuilder->setKeepComments(Value); }
bool TXmlToDomParser::getKeepEntityRefs() const { return FDocBuilder->getKeepEntityRefs(); }
void TXmlToDomParser::SetKeepEntityRefs(bool Value) { FDocBuilder->setKeepEntityRefs(Value); }

void TXmlToDomParser::startDocument(TdomLocator* Locator) {
    if (FBuiltDocument) throw EParserException(msg::kInternalParserErrorDot);
    if (!FDOMImpl) throw EAccessViolation(msg::kDomImplNotSpecified);
    FBuiltDocument = FDOMImpl->createEmptyDocument(Locator ? Locator->getUri() : WideString());
    FDocBuilder->setReferenceNode(FBuiltDocument);
}

void TXmlToDomParser::freeBuiltDocument() {
    if (!FBuiltDocument) return;
    TdomDocument* doc = FBuiltDocument;
    FBuiltDocument = nullptr;
    FDocBuilder->setReferenceNode(nullptr);
    if (FDOMImpl) FDOMImpl->freeDocument(doc);
}

bool TXmlToDomParser::runCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                              bool Fragment) {
    std::unique_ptr<TXmlInputSource> source;
    try {
        source = std::make_unique<TXmlInputSource>(Stream, FBufferSize, FTabWidth, PublicId, SystemId);
    } catch (const EConvertError&) {
        // Bytes that do not decode before the content begins.
        return reportError(ET_INVALID_CHARACTER, nullptr);
    }
    source->setKeepCarriageReturns(FReplacementText);
    const uint8_t kind = source->getDeclarationKind();
    if (!source->hasDeclarationFault() && (kind == kDeclXml || kind == kDeclXmlOrText || kind == kDeclNone)) {
        if (source->hasEncodingMismatch()) return reportError(ET_ENCODING_NOT_SUPPORTED, source->getLocator());
        return Fragment ? FDocReader->parseFragment(source.get()) : FDocReader->parseDocument(source.get());
    }
    return reportError(ET_INVALID_XML_DECLARATION, source->getLocator());
}

bool TXmlToDomParser::streamToDomCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId) {
    return runCore(Stream, PublicId, SystemId, false);
}

bool TXmlToDomParser::parseStreamIntoCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId) {
    return runCore(Stream, PublicId, SystemId, true);
}

TdomDocument* TXmlToDomParser::wholeDocument(TStream* Stream, const WideString& PublicId,
                                             const WideString& SystemId, size_t unitBytes) {
    bool ok;
    try {
        ok = streamToDomCore(Stream, PublicId, SystemId) && internalSubsetWellFormed(SystemId);
    } catch (...) {
        freeBuiltDocument();
        throw;
    }
    if (!ok || !FBuiltDocument) {
        // A failed run leaves no document behind.
        freeBuiltDocument();
        throw EParserException(msg::kParserError);
    }
    TdomDocument* result = FBuiltDocument;
    FBuiltDocument = nullptr;
    FDocBuilder->setReferenceNode(nullptr);
    // The document's size bounds what operations may later make from its declarations: its
    // characters, and each node read but the entity references, whose content is what the
    // bound is about.
    int64_t read = 0;
    try {
        read = Stream->Position();
    } catch (const Exception&) {
        read = 0;  // a stream that cannot tell its position: the nodes alone
    }
    const size_t characters = read > 0 ? static_cast<size_t>(read) / unitBytes : 0;
    const size_t registered = result->getRegisteredNodeCount();
    const size_t references = FDocBuilder->getReferencesMade();
    const size_t nodes = registered > references ? registered - references : 0;
    result->setDocumentSize(characters + nodes * TdomExpansionBudget::kNodeChars);
    return result;
}

bool TXmlToDomParser::internalSubsetWellFormed(const WideString& SystemId) {
    // The document reader hands the internal subset on as text: a malformed one is no
    // well-formed document, so it is read here with the DTD test handler.
    if (!FBuiltDocument) return true;
    for (TdomNode* n = FBuiltDocument->getFirstChild(); n; n = n->getNextSibling()) {
        if (n->getNodeType() != ntDocument_Type_Decl_Node) continue;
        const WideString subset = static_cast<TdomDocumentTypeDecl*>(n)->getInternalSubset();
        if (!subset.empty() && !XmlTestInternalSubset(FDOMImpl, subset, SystemId, FTabWidth)) return false;
    }
    return true;
}

TdomDocument* TXmlToDomParser::fileToDom(const WideString& FileName) {
    if (!FDOMImpl) throw EAccessViolation(msg::kDomImplNotSpecified);
    if (FileName.empty()) throw EAccessViolation(kFilenameNotSpecified);
    TFileStream stream(ToUtf8(FileName), fmOpenRead);
    return wholeDocument(&stream, WideString(), FileName);
}

TdomDocument* TXmlToDomParser::sourceCodeToDom(TXmlSourceCode* SourceCode) {
    if (!SourceCode) throw EAccessViolation(kSourceCodeNotSpecified);
    return wideStringToDom(SourceCode->getText());
}

TdomDocument* TXmlToDomParser::streamToDom(TStream* Stream) {
    if (!FDOMImpl) throw EAccessViolation(msg::kDomImplNotSpecified);
    if (!Stream) throw EAccessViolation(kStreamNotSpecified);
    return wholeDocument(Stream, WideString(), WideString());
}

TdomDocument* TXmlToDomParser::stringToDom(const std::string& Text) {
    if (!FDOMImpl) throw EAccessViolation(msg::kDomImplNotSpecified);
    if (Text.empty()) throw EAccessViolation(kEmptyString);
    TByteViewStream stream(Text);
    return wholeDocument(&stream, WideString(), WideString());
}

TdomDocument* TXmlToDomParser::wideStringToDom(const WideString& Text) {
    if (!FDOMImpl) throw EAccessViolation(msg::kDomImplNotSpecified);
    if (Text.empty()) throw EAccessViolation(kEmptyString);
    TdomWideStringStream stream(withMark(Text));
    return wholeDocument(&stream, WideString(), WideString(), sizeof(char16_t));
}

bool TXmlToDomParser::intoNode(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                               TdomNode* Node) {
    FDocBuilder->setReferenceNode(Node);
    bool ok;
    try {
        ok = parseStreamIntoCore(Stream, PublicId, SystemId);
    } catch (...) {
        FDocBuilder->setReferenceNode(nullptr);
        throw;
    }
    FDocBuilder->setReferenceNode(nullptr);
    if (!ok) throw EParserException(msg::kParserError);
    return true;
}

namespace {

/// Text in the system's code page as bytes the reader decodes correctly: a character the code
/// page cannot hold raises the encoder's EConvertError; bytes above US-ASCII are declared in an
/// XML declaration in front when the text has none (undeclared bytes are read as UTF-8).
std::string narrowToCodePage(const WideString& Text) {
    const std::string name = activeCodePageName();
    const uint8_t index = encodingIndexOf(name);
    std::string bytes = index == kEncodingUTF8 ? utf16ToUTF8(Text) : wideToSingleByte(Text, encoderOf(index));
    bool ascii = true;
    for (char b : bytes) ascii = ascii && static_cast<unsigned char>(b) < 0x80;
    if (ascii || index == kEncodingUTF8) return bytes;
    const bool declared = bytes.size() > 5 && bytes.compare(0, 5, "<?xml") == 0 &&
                          (bytes[5] == ' ' || bytes[5] == '\t' || bytes[5] == '\r' || bytes[5] == '\n');
    if (declared) return bytes;
    return "<?xml version=\"1.0\" encoding=\"" + name + "\"?>" + bytes;
}

} // namespace

bool TXmlToDomParser::parseSourceCodeInto(TXmlSourceCode* SourceCode, const WideString& PublicId,
                                          const WideString& SystemId, TdomNode* Node) {
    if (!SourceCode) throw EAccessViolation(kStreamNotSpecified);
    return parseStringInto(narrowToCodePage(SourceCode->getText()), PublicId, SystemId, Node);
}

bool TXmlToDomParser::parseStreamInto(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                      TdomNode* Node) {
    if (!Stream) throw EAccessViolation(kStreamNotSpecified);
    return intoNode(Stream, PublicId, SystemId, Node);
}

bool TXmlToDomParser::parseStringInto(const std::string& Text, const WideString& PublicId,
                                      const WideString& SystemId, TdomNode* Node) {
    if (Text.empty()) throw EAccessViolation(kEmptyString);
    TByteViewStream stream(Text);
    return intoNode(&stream, PublicId, SystemId, Node);
}

bool TXmlToDomParser::parseWideStringInto(const WideString& Text, const WideString& PublicId,
                                          const WideString& SystemId, TdomNode* Node) {
    if (Text.empty()) throw EAccessViolation(kEmptyString);
    TdomWideStringStream stream(withMark(Text));
    return intoNode(&stream, PublicId, SystemId, Node);
}

} // namespace xmldom
