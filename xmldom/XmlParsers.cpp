// The writer component: its properties and checks, the output source made for each write, and
// the string and wide-string forms on top of the stream form.

#include "XmlParsers.h"

#include <memory>

#include "DomExceptions.h"
#include "XmlDomImpl.h"
#include "XmlDomReader.h"
#include "XmlEncodings.h"
#include "XmlMessages.h"
#include "XmlStreamBuilder.h"

namespace xmldom {

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

void TDomToXmlParser::SetBufferSize(int32_t Value) {
    if (Value < 1024) throw ENot_Supported_Err(msg::kBufferSizeTooSmall);
    FBufferSize = Value;
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

} // namespace xmldom
