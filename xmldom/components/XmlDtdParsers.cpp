// The DTD parser components: properties, the four sources of DTD text and the two family cores
// (external and internal subset), and the schema road that fills a model from a DTD.

#include "XmlDtdParsers.h"

#include <memory>

#include "DomExceptions.h"
#include "XmlASBuilder.h"
#include "XmlDomImpl.h"
#include "XmlDtdReader.h"
#include "XmlHandlers.h"
#include "XmlMessages.h"
#include "XmlSourceCode.h"

namespace xmldom {

// ------------------------------------------------------------------ TXmlCustomDtdParser

TXmlCustomDtdParser::TXmlCustomDtdParser(TdomBaseComponent* AOwner)
    : TXmlCustomParser(AOwner), FDtdReader(new TXmlStandardDtdReader(this)) {}

void TXmlCustomDtdParser::SetDOMImpl(TDomImplementation* Value) {
    TXmlCustomParser::SetDOMImpl(Value);
    FDtdReader->setDOMImpl(Value);
}

bool TXmlCustomDtdParser::runCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                  bool External, bool Resolve) {
    std::unique_ptr<TXmlInputSource> source;
    try {
        source = std::make_unique<TXmlInputSource>(Stream, FBufferSize, FTabWidth, PublicId, SystemId);
    } catch (const EConvertError&) {
        // Bytes that do not decode before the text begins.
        return reportError(ET_INVALID_CHARACTER, nullptr);
    }
    const uint8_t kind = source->getDeclarationKind();
    if (source->hasDeclarationFault() || !(kind == kDeclText || kind == kDeclXmlOrText || kind == kDeclNone))
        return reportError(ET_INVALID_TEXT_DECLARATION, source->getLocator());
    if (source->hasEncodingMismatch()) return reportError(ET_ENCODING_NOT_SUPPORTED, source->getLocator());
    return External ? FDtdReader->parseExternalSubset(source.get())
                    : FDtdReader->parseInternalSubset(source.get(), Resolve);
}

bool TXmlCustomDtdParser::parseExternalSubsetCore(TStream* Stream, const WideString& PublicId,
                                                  const WideString& SystemId) {
    return runCore(Stream, PublicId, SystemId, true, true);
}

bool TXmlCustomDtdParser::parseInternalSubsetCore(TStream* Stream, const WideString& PublicId,
                                                  const WideString& SystemId, bool Resolve) {
    return runCore(Stream, PublicId, SystemId, false, Resolve);
}

bool TXmlCustomDtdParser::runStream(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                    bool External, bool Resolve) {
    if (!Stream) throw EAccessViolation(kStreamNotSpecified);
    return External ? parseExternalSubsetCore(Stream, PublicId, SystemId)
                    : parseInternalSubsetCore(Stream, PublicId, SystemId, Resolve);
}

bool TXmlCustomDtdParser::runString(const std::string& Text, const WideString& PublicId, const WideString& SystemId,
                                    bool External, bool Resolve) {
    if (Text.empty()) throw EAccessViolation(kEmptyString);
    TStringStream stream(Text);
    return runStream(&stream, PublicId, SystemId, External, Resolve);
}

bool TXmlCustomDtdParser::runWideString(const WideString& Text, const WideString& PublicId,
                                        const WideString& SystemId, bool External, bool Resolve) {
    if (Text.empty()) throw EAccessViolation(kEmptyString);
    TdomWideStringStream stream(withMark(Text));
    return runStream(&stream, PublicId, SystemId, External, Resolve);
}

bool TXmlCustomDtdParser::runSourceCode(TXmlSourceCode* SourceCode, const WideString& PublicId,
                                        const WideString& SystemId, bool External, bool Resolve) {
    if (!SourceCode) throw EAccessViolation(kStreamNotSpecified);
    return runWideString(SourceCode->getText(), PublicId, SystemId, External, Resolve);
}

// ------------------------------------------------------------------ TDtdToASParser

TDtdToASParser::TDtdToASParser(TdomBaseComponent* AOwner)
    : TXmlCustomDtdParser(AOwner),
      FTestHandler(new TXmlWFTestDTDHandler(this)),
      FASBuilder(new TXmlASBuilder(this)) {
    getDtdReader()->setNextHandler(FTestHandler);
    FTestHandler->setNextHandler(FASBuilder);
}

template <class Body>
bool TDtdToASParser::intoModel(TdomASModel* Model, bool ClearParameterEntities, Body&& Run) {
    FASBuilder->setASModel(Model);
    if (ClearParameterEntities) FASBuilder->clearParameterEntities();
    bool ok;
    try {
        ok = Run();
    } catch (...) {
        FASBuilder->setASModel(nullptr);
        throw;
    }
    FASBuilder->setASModel(nullptr);
    if (!ok) throw EParserException(msg::kParserError);
    return true;
}

bool TDtdToASParser::sourceCodeToASModel(TXmlSourceCode* SourceCode, const WideString& PublicId,
                                         const WideString& SystemId, TdomASModel* Model,
                                         bool ClearParameterEntities) {
    return intoModel(Model, ClearParameterEntities,
                     [&] { return runSourceCode(SourceCode, PublicId, SystemId, true, true); });
}

bool TDtdToASParser::streamToASModel(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                     TdomASModel* Model, bool ClearParameterEntities) {
    return intoModel(Model, ClearParameterEntities, [&] { return runStream(Stream, PublicId, SystemId, true, true); });
}

bool TDtdToASParser::stringToASModel(const std::string& Text, const WideString& PublicId, const WideString& SystemId,
                                     TdomASModel* Model, bool ClearParameterEntities) {
    return intoModel(Model, ClearParameterEntities, [&] { return runString(Text, PublicId, SystemId, true, true); });
}

bool TDtdToASParser::wideStringToASModel(const WideString& Text, const WideString& PublicId,
                                         const WideString& SystemId, TdomASModel* Model,
                                         bool ClearParameterEntities) {
    return intoModel(Model, ClearParameterEntities,
                     [&] { return runWideString(Text, PublicId, SystemId, true, true); });
}

// The internal subsets are read with their parameter-entity references replaced: the schema
// builder refuses reference events.

bool TDtdToASParser::parseSourceCodeInto(TXmlSourceCode* SourceCode, const WideString& PublicId,
                                         const WideString& SystemId, TdomASModel* Model) {
    return intoModel(Model, true, [&] { return runSourceCode(SourceCode, PublicId, SystemId, false, true); });
}

bool TDtdToASParser::parseStreamInto(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                     TdomASModel* Model) {
    return intoModel(Model, true, [&] { return runStream(Stream, PublicId, SystemId, false, true); });
}

bool TDtdToASParser::parseStringInto(const std::string& Text, const WideString& PublicId, const WideString& SystemId,
                                     TdomASModel* Model) {
    return intoModel(Model, true, [&] { return runString(Text, PublicId, SystemId, false, true); });
}

bool TDtdToASParser::parseWideStringInto(const WideString& Text, const WideString& PublicId,
                                         const WideString& SystemId, TdomASModel* Model) {
    return intoModel(Model, true, [&] { return runWideString(Text, PublicId, SystemId, false, true); });
}

} // namespace xmldom
