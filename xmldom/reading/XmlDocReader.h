// The document reader: TXmlStandardDocReader cuts the characters of an XML document (or of an
// external parsed entity read as a fragment) into tokens, splits tags and the document type
// declaration, and hands everything on as content events of the handler chain.
#pragma once

#include <vector>

#include "XmlHandlers.h"

namespace xmldom {

class TXmlInputSource;

/// Event source over a TXmlInputSource. Shallow: nesting, names and content are checked by the
/// handlers that follow it.
class TXmlStandardDocReader : public TXmlCustomReader {
public:
    /// PrefixMapping true, SuppressXmlns false, empty prefix-mapping stack.
    explicit TXmlStandardDocReader(TdomBaseComponent* AOwner = nullptr) : TXmlCustomReader(AOwner) {}
    ~TXmlStandardDocReader() override = default;

    /// Empties the prefix-mapping stack without events.
    virtual void clearPrefixMappings();
    /// The tokenizer: reads the source to its end or until a handler stops the run.
    virtual bool parseContent(TXmlInputSource* InputSource);
    /// Splits the text at its first white space into target and data.
    virtual bool sendProcessingInstruction(TdomLocator* Locator, const WideString& Text);
    virtual bool sendComment(TdomLocator* Locator, const WideString& Text);
    virtual bool sendCDATA(TdomLocator* Locator, const WideString& Text);
    virtual bool sendPCDATA(TdomLocator* Locator, const WideString& Text);
    virtual bool sendStartDocument(TdomLocator* Locator, const WideString& Version, const WideString& Encoding,
                                   TdomStandalone Standalone);
    virtual bool sendStartDocumentFragment(TdomLocator* Locator, const WideString& Version,
                                           const WideString& Encoding, TdomStandalone Standalone);
    /// Splits the tag (with namespace declarations when PrefixMapping or SuppressXmlns is set)
    /// and sends the start element event.
    virtual bool sendStartTag(TdomLocator* Locator, const WideString& Text);
    /// Tag name and attributes of the text between the angle brackets; kinds 55, 56, 58, 37.
    virtual bool splitTag(TdomLocator* Locator, const WideString& Text, TdomNameValueList* Attributes,
                          WideString& TagName);
    /// As splitTag; namespace declarations become prefix-mapping events and may be left out.
    virtual bool splitTagNS(TdomLocator* Locator, const WideString& Text, TdomNameValueList* Attributes,
                            WideString& TagName);
    virtual bool sendStartPrefixMapping(TdomLocator* Locator, const WideString& Prefix, const WideString& Uri);
    virtual bool sendEndDocument(TdomLocator* Locator);
    virtual bool sendEndDocumentFragment(TdomLocator* Locator);
    /// End element, then (when it answered true) the element's end-prefix-mapping events.
    virtual bool sendEndTag(TdomLocator* Locator, const WideString& Name);
    /// Pops the top prefix list and ends its mappings, last declared first.
    virtual bool sendEndPrefixMappings(TdomLocator* Locator);
    virtual bool sendEmptyElementTag(TdomLocator* Locator, const WideString& Text);
    virtual bool sendEntityRef(TdomLocator* Locator, const WideString& Name);
    /// Splits the whole declaration into name, identifiers and internal subset; kind 68.
    virtual bool sendDoctype(TdomLocator* Locator, const WideString& Text);
    /// reset of the next handler.
    virtual void reset();
    /// Start document, content, end document. An exception resets the chain and passes on.
    virtual bool parseDocument(TXmlInputSource* InputSource);
    /// As parseDocument with the fragment events.
    virtual bool parseFragment(TXmlInputSource* InputSource);

    bool getPrefixMapping() const { return FPrefixMapping; }
    void setPrefixMapping(bool Value) { FPrefixMapping = Value; }
    bool getSuppressXmlns() const { return FSuppressXmlns; }
    void setSuppressXmlns(bool Value) { FSuppressXmlns = Value; }
    /// Open elements with a prefix list (only while PrefixMapping is set).
    int getPrefixMappingDepth() const { return static_cast<int>(FPrefixMappings.size()); }

private:
    /// Start tag (Empty: and end tag) of the text between the angle brackets.
    bool sendTag(TdomLocator* Locator, const WideString& Text, bool Empty);
    bool sendSplitTag(TdomLocator* Locator, const WideString& Text, bool Empty, TdomNameValueList& attributes,
                      WideString& tagName);
    /// The split; the pairs go to Attributes from index From on (a sorted list: added), and
    /// the list ends after the last of them.
    bool splitTagImpl(TdomLocator* Locator, const WideString& Text, TdomNameValueList* Attributes,
                      WideString& TagName, bool WithNamespaces, int From);

    bool FPrefixMapping = true;
    bool FSuppressXmlns = false;
    std::vector<std::vector<WideString>> FPrefixMappings;
    /// Attribute list and tag name reused from tag to tag (their storage stays, pair by pair);
    /// a tag sent while one is being handled uses its own.
    TdomNameValueList FTagAttributes;
    WideString FTagName;
    bool FTagBusy = false;
};

/// Splits the text of a document type declaration ("<!DOCTYPE" ... ">"). False when it is not
/// one (the reader's kind 68).
bool XmlSplitDoctype(std::u16string_view Text, WideString& Name, WideString& PubId, WideString& SysId,
                     WideString& InternalSubset);

} // namespace xmldom
