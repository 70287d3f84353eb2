// The serializer of the handler chain: TXmlStreamBuilder turns each content or DTD event into
// XML text, exactly as the event carries it and with no indentation, and writes it through an
// output source (not owned) that encodes it.
#pragma once

#include <initializer_list>
#include <string_view>

#include "XmlHandlers.h"

namespace xmldom {

class TXmlOutputSource;

class TXmlStreamBuilder : public TXmlStandardHandler {
public:
    explicit TXmlStreamBuilder(TdomBaseComponent* AOwner = nullptr) : TXmlStandardHandler(AOwner) {}

    // Each event: its own On... event fires first on copies, and what the event changes is
    // written and passed on.
    XML_ALL_EVENTS(XML_DECLARE_PROCESS_OVERRIDE)
    /// Writes nothing; re-applies the builder's own encoding and passes the call on.
    void reset() override;

    /// Empty: the document's declared encoding is used. Otherwise the name must have a byte
    /// form, else ENot_Supported_Err "Encoding not supported error.".
    void setEncodingName(const WideString& Name);
    const WideString& getEncodingName() const { return FEncodingName; }
    uint8_t getEncodingIndex() const { return FEncodingIndex; }
    /// Attaches (or, with nil, detaches) the output source and applies the output encoding.
    void setOutputSource(TXmlOutputSource* Source);
    TXmlOutputSource* getOutputSource() const { return FOutputSource; }
    /// The output source's encoding, 0 without one.
    uint8_t currentOutputEncoding() const;
    /// Sets the output source's encoding to the builder's own (UTF-8 without a name).
    void applyOutputEncoding();

    bool getUseByteOrderMark() const { return FUseByteOrderMark; }
    void setUseByteOrderMark(bool Value) { FUseByteOrderMark = Value; }

    // The four write operations; without an output source they write nothing. All answer true.
    virtual bool writeText(TXmlCustomReader* Reader, TdomLocator* Locator, std::u16string_view Text);
    /// Characters the output encoding cannot hold become character references.
    virtual bool writeTextWithReferences(TXmlCustomReader* Reader, TdomLocator* Locator, std::u16string_view Text);
    virtual bool writeTexts(TXmlCustomReader* Reader, TdomLocator* Locator,
                            std::initializer_list<std::u16string_view> Texts);
    virtual bool writeTextsWithReferences(TXmlCustomReader* Reader, TdomLocator* Locator,
                                          std::initializer_list<std::u16string_view> Texts);

private:
    /// The encoding choice, byte-order mark and (for documents and subsets) the declaration.
    bool startOfText(TXmlCustomReader* Reader, TdomLocator* Locator, WideString& version, WideString& encDl,
                     TdomStandalone sdDl, int Kind);
    /// Character data by the text rule: CR, "&", "<" and ">" as references.
    bool writeEscapedText(TXmlCustomReader* Reader, TdomLocator* Locator, std::u16string_view Data);
    /// Reports a node that the text cannot carry; false, the write stops.
    bool refuse(TXmlCustomReader* Reader, TdomLocator* Locator, TXmlErrorType Kind, const WideString& Clue);
    /// Names of the element and its attributes, and the attributes' literal values.
    bool checkElement(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& Tag,
                      TdomNameValueList* List);
    bool writeExternalId(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& value,
                         const WideString& pubId, const WideString& sysId, bool allowInternal);

    /// True when markup can go straight to the output source: this builder is not a descendant
    /// (none intercepts the write operations), the source is a plain TXmlOutputSource and it
    /// writes UTF-8.
    bool directUTF8() const;

    WideString FEncodingName;
    bool FDirect = false; ///< set with the output source: the first two conditions of directUTF8
    bool FPlainBuilder = false; ///< set with the output source: this builder is not a descendant
    uint8_t FEncodingIndex = 0;
    bool FUseByteOrderMark = false;
    TXmlOutputSource* FOutputSource = nullptr;
};

} // namespace xmldom
