// The DOM reader walk and the content well-formedness handler: TXmlStandardDomReader turns a
// node and its subtree into the content events of the handler chain, depth-first;
// TXmlWFTestContentHandler checks content events for well-formedness before passing them on.
#pragma once

#include <vector>

#include "XmlHandlers.h"

namespace xmldom {

class TdomNode;
class TdomElement;

/// Walks a DOM node and fires one event per node into its next handler.
class TXmlStandardDomReader : public TXmlCustomReader {
public:
    explicit TXmlStandardDomReader(TdomBaseComponent* AOwner = nullptr) : TXmlCustomReader(AOwner) {}

    /// Fires the events of the node (a document: start and end document around its children;
    /// any other node: start and end fragment). An exception resets the chain and passes on.
    virtual bool parse(TdomNode* Node);
    /// The events of one node and its subtree. The walk keeps its own stack, so the depth of
    /// the tree is bounded only by memory. Attributes, entities, document types, fragments and
    /// notations raise EParserException "Internal Parser error.".
    virtual bool walkNode(TdomLocator* Locator, TdomNode* Node);

    virtual bool sendCDATA(TdomLocator* Locator, const WideString& Data);
    virtual bool sendComment(TdomLocator* Locator, const WideString& Data);
    virtual bool sendDoctype(TdomLocator* Locator, const WideString& Name, const WideString& PubId,
                             const WideString& SysId, const WideString& Data);
    /// Start element, then, only when that answered true, end element.
    virtual bool sendEmptyElement(TdomLocator* Locator, const WideString& TagName, TdomNameValueList* Attributes);
    virtual bool sendEndDocument(TdomLocator* Locator);
    virtual bool sendEndDocumentFragment(TdomLocator* Locator);
    virtual bool sendEndElement(TdomLocator* Locator, const WideString& TagName);
    virtual bool sendEndPrefixMapping(TdomLocator* Locator, const WideString& Prefix);
    virtual bool sendEntityRef(TdomLocator* Locator, const WideString& Name);
    /// Empty data sends nothing and answers true.
    virtual bool sendPCDATA(TdomLocator* Locator, const WideString& Data);
    virtual bool sendProcessingInstruction(TdomLocator* Locator, const WideString& Target, const WideString& Data);
    virtual bool sendStartDocument(TdomLocator* Locator, const WideString& Version, const WideString& Encoding,
                                   TdomStandalone Standalone);
    virtual bool sendStartDocumentFragment(TdomLocator* Locator, const WideString& Version,
                                           const WideString& Encoding, TdomStandalone Standalone);
    virtual bool sendStartElement(TdomLocator* Locator, const WideString& TagName, TdomNameValueList* Attributes);
    virtual bool sendStartPrefixMapping(TdomLocator* Locator, const WideString& Prefix, const WideString& Uri);
    /// reset of the next handler.
    virtual void resetChain();

    bool getPrefixMapping() const { return FPrefixMapping; }
    void setPrefixMapping(bool Value) { FPrefixMapping = Value; }
    bool getSuppressXmlns() const { return FSuppressXmlns; }
    void setSuppressXmlns(bool Value) { FSuppressXmlns = Value; }

private:
    /// Events of a node that has no children of its own to walk; an element's start tag and
    /// attribute list. Sets Descend when an element's children must be walked next.
    bool enterNode(TdomLocator* Locator, TdomNode* Node, TdomNameValueList& Attributes, bool& Descend);
    bool fillAttributes(TdomLocator* Locator, TdomElement* Element, TdomNameValueList& Attributes);
    bool endPrefixMappings(TdomLocator* Locator, TdomElement* Element);

    bool FPrefixMapping = true;
    bool FSuppressXmlns = false;
};

/// Checks content events for well-formedness: names, nesting, one root, legal character data.
class TXmlWFTestContentHandler : public TXmlCustomContentHandler {
public:
    explicit TXmlWFTestContentHandler(TdomBaseComponent* AOwner = nullptr) : TXmlCustomContentHandler(AOwner) {}

    XML_CONTENT_EVENTS(XML_DECLARE_PROCESS_OVERRIDE)
    void reset() override;

    bool getInDocument() const { return FInDocument; }
    bool getDoctypeSeen() const { return FDoctypeSeen; }
    bool getRootSeen() const { return FRootSeen; }
    int getOpenElementCount() const { return FOpenDepth; }

private:
    /// Raises "Internal Parser Exception" outside a document.
    void requireDocument() const;
    bool checkAttributeValue(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& Value);
    bool startDocument(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& version,
                       const WideString& encDl, bool checkOutsideRoot);

    bool FInDocument = false;
    bool FDoctypeSeen = false;
    bool FRootSeen = false;
    bool FCheckOutsideRoot = true;
    /// Names of the open elements, the innermost last; the slots past FOpenDepth keep their
    /// storage for the next names (no allocation per element).
    std::vector<WideString> FOpenElements;
    /// Per open element: its name is an XML name (an end tag of the same name needs no check).
    std::vector<uint8_t> FOpenNameValid;
    int FOpenDepth = 0;
};

} // namespace xmldom
