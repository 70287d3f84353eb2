// The document builder: TXmlDocBuilder sits at the end of a reading chain and turns content
// events into DOM nodes, appended under its reference node (a new document, or the node a
// fragment is read into).
#pragma once

#include <cstdint>
#include <vector>

#include "XmlHandlers.h"

namespace xmldom {

class TdomDocument;
class TdomNode;

class TXmlDocBuilder : public TXmlCustomContentHandler {
public:
    /// No namespace tree; CDATA sections, comments and entity references kept; no reference node.
    explicit TXmlDocBuilder(TdomBaseComponent* AOwner = nullptr) : TXmlCustomContentHandler(AOwner) {}

    XML_CONTENT_EVENTS(XML_DECLARE_PROCESS_OVERRIDE)
    /// Clears the prefix mappings and passes the call on.
    void reset() override;
    /// Appends text to the reference node's last child when that is a text node, else appends a
    /// new text node.
    virtual bool addText(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& Text);

    TdomNode* getReferenceNode() const { return FReferenceNode; }
    void setReferenceNode(TdomNode* Value) {
        FReferenceNode = Value;
        forgetKnownNames();
        FPlainPath.clear();
    }
    bool getBuildNamespaceTree() const { return FBuildNamespaceTree; }
    void setBuildNamespaceTree(bool Value) { FBuildNamespaceTree = Value; }
    bool getKeepCDATASections() const { return FKeepCDATASections; }
    void setKeepCDATASections(bool Value) { FKeepCDATASections = Value; }
    bool getKeepComments() const { return FKeepComments; }
    void setKeepComments(bool Value) { FKeepComments = Value; }
    bool getKeepEntityRefs() const { return FKeepEntityRefs; }
    void setKeepEntityRefs(bool Value) { FKeepEntityRefs = Value; }
    const TdomNameValueList& getPrefixMappings() const { return FPrefixMappings; }
    /// Entity-reference nodes made since the document (or fragment) began.
    size_t getReferencesMade() const { return FReferencesMade; }

private:
    bool startDocument(TdomLocator* Locator, const WideString& version, const WideString& encDl,
                       TdomStandalone sdDl);
    bool startElement(TXmlCustomReader* Reader, TdomLocator* Locator, const WideString& tagName,
                      TdomNameValueList* attributes);
    /// The URI bound to the prefix (the latest binding); false when unbound.
    bool lookupPrefix(const WideString& Prefix, WideString& Uri) const;
    bool atDocumentLevel() const;
    /// Names met before in this run, as the document's shared copies: checked once, looked up
    /// by a few comparisons instead of a check and a hash.
    struct KnownName {
        const WideString* shared = nullptr;
        uint8_t declarationKind = 2; ///< as an attribute name (TdomAttr::getNamespaceDeclarationKind)
        uint32_t childCount = 0;     ///< element names: children of the last element closed of that name
    };
    static constexpr size_t kKnownNameSlots = 128; ///< a power of two
    /// The slots, and which of them are filled (so forgetting clears only those: a builder
    /// that reads many small texts, such as entity content, forgets at each one).
    struct KnownNames {
        KnownName slots[kKnownNameSlots];
        uint64_t filled[kKnownNameSlots / 64] = {};
    };
    static const KnownName* knownName(const KnownNames& Known, const WideString& Name);
    static void rememberName(KnownNames& Known, const WideString& Name, const WideString* Shared,
                             uint8_t DeclarationKind);
    static void forget(KnownNames& Known);
    void forgetKnownNames();
    /// Whether the reference node is an element of the library's own class in a document of the
    /// library's own class: nodes its document makes are then appended without appendChild's checks.
    bool plainTarget() const;
    /// Appends a node the reference node's document has just made.
    void appendMade(TdomNode* Node);
    /// Plain tree through the document's factories and setAttribute, one by one.
    bool startElementByFactories(TXmlCustomReader* Reader, TdomLocator* Locator, TdomDocument* Doc,
                                 const WideString& TagName, TdomNameValueList* Attributes);
    /// Plain tree: the element and its attributes through the known names where it can.
    bool startPlainElement(TXmlCustomReader* Reader, TdomLocator* Locator, TdomDocument* Doc,
                           const WideString& TagName, TdomNameValueList* Attributes);

    bool FBuildNamespaceTree = false;
    bool FKeepCDATASections = true;
    bool FKeepComments = true;
    bool FKeepEntityRefs = true;
    size_t FReferencesMade = 0;
    TdomNode* FReferenceNode = nullptr;
    TdomNameValueList FPrefixMappings;
    KnownNames FKnownTags;       ///< element names
    KnownNames FKnownAttributes; ///< attribute names
    TdomDocument* FKnownNamesOf = nullptr; ///< the document the known names belong to
    bool FKnownNamesUsable = false;        ///< that document is of the library's own class
    /// Per element the builder went into from the node it began at: whether it is one of the
    /// library's own class in a document of that class (plainTarget without a type test).
    std::vector<uint8_t> FPlainPath;
};

} // namespace xmldom
