// Elements and attributes of the XML object model: the attribute map in insertion order,
// the namespace-aware operations, literal resolution and element normalization.
// Declarations (types, defaults, IDs) come from the document's schema query (XmlDomSchema.h).
#pragma once

#include <memory>
#include <vector>

#include "XmlDomNodes.h"

namespace xmldom {

class TdomElementsNodeList;
class TdomElementsNodeListNS;
class TdomEntityContentBuilder;
class TdomDeclMemo;
struct TdomAttrDeclInfo;
struct TdomLiteralOutcome;

/// Namespace URI, prefix and local name of a node made by a namespace-aware factory.
struct TdomQualifiedNames {
    WideString namespaceURI;
    WideString prefix;
    WideString localName;
};

/// An element: tag name (or namespace URI, prefix and local name) and its attributes.
class TdomElement : public TdomNode {
public:
    /// Tag name not an XML Name: EInvalid_Character_Err.
    TdomElement(TdomDocument* ownerDocument, const WideString& tagName);
    /// Qualified-name and namespace rules: ENamespace_Err / EInvalid_Character_Err.
    TdomElement(TdomDocument* ownerDocument, const WideString& namespaceURI, const WideString& qualifiedName);
    ~TdomElement() override;

    WideString getNodeName() const override { return *tagName_; }
    TdomNamedNodeMap* getAttributes() const override { return const_cast<TdomNamedNodeMap*>(&attributeMap_); }
    WideString getBaseURI() const override;
    WideString getLocalName() const override { return names_ ? names_->localName : WideString(); }
    WideString getNamespaceURI() const override { return names_ ? names_->namespaceURI : WideString(); }
    WideString getPrefix() const override { return names_ ? names_->prefix : WideString(); }
    void setIsReadonly(bool value) override;
    void setNodeValue(const WideString&) override {}
    void setPrefix(const WideString& prefix) override;
    bool validate() override;
    bool validateAttributeValues() override;
    void normalize() override;
    bool resolveEntityReferences(uint8_t option) override;

    /// Stored value text of the attribute, empty when absent.
    virtual WideString getAttribute(const WideString& name) const;
    virtual TdomAttr* getAttributeNode(const WideString& name) const;
    virtual TdomAttr* getAttributeNodeNS(const WideString& namespaceURI, const WideString& localName) const;
    /// The attribute's literal value, empty when absent; EConvertError when it cannot be built.
    virtual WideString getAttributeLiteral(const WideString& name) const;
    virtual WideString getAttributeNS(const WideString& namespaceURI, const WideString& localName) const;
    virtual WideString getAttributeLiteralNS(const WideString& namespaceURI, const WideString& localName) const;
    /// Live list over this element's subtree (this element included), cached with the element.
    virtual TdomNodeList* getElementsByTagName(const WideString& name);
    virtual TdomNodeList* getElementsByTagNameNS(const WideString& namespaceURI, const WideString& localName);
    virtual WideString getTagName() const { return *tagName_; }
    /// The tag name without a copy.
    const WideString& getTagNameRef() const { return *tagName_; }
    virtual bool hasAttribute(const WideString& name) const;
    virtual bool hasAttributeNS(const WideString& namespaceURI, const WideString& localName) const;
    /// Brings defaulted attributes in line with the declarations; plain map only (ENamespace_Err).
    virtual bool refreshDefaultAttributes(bool removeFixed, bool deep);
    /// Read-only ENo_Modification_Allowed_Err; absent ENot_Found_Err.
    virtual void removeAttribute(const WideString& name);
    /// Takes attr out of the map (not freed); not held here: ENot_Found_Err.
    virtual TdomAttr* removeAttributeNode(TdomAttr* attr);
    virtual void removeAttributeNS(const WideString& namespaceURI, const WideString& localName);
    /// Sets or adds an attribute; returns the new attribute, nil when an existing one changed.
    virtual TdomAttr* setAttribute(const WideString& name, const WideString& value);
    /// Puts attr into the map; returns the attribute it replaced or nil. Refusals in order:
    /// read-only, namespace-aware map (ENamespace_Err), other document, held elsewhere (EInuse_Err).
    virtual TdomAttr* setAttributeNode(TdomAttr* attr);
    virtual TdomAttr* setAttributeNodeNS(TdomAttr* attr);
    virtual TdomAttr* setAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName,
                                     const WideString& value);

    /// Number of attributes (no map call).
    int getAttributeCount() const { return static_cast<int>(attributeList_.size()); }
    TdomAttr* getAttributeAt(int index) const;

    /// resolveEntityReferences within a run that shares one expansion budget and parser.
    bool resolveEntityReferencesWith(uint8_t option, TdomEntityContentBuilder& builder);

private:
    /// validate with the walk's declaration memo.
    bool validateWith(TdomDeclMemo& memo);
    /// validate, gathering in document order the attributes whose ID reference check
    /// (validateAttributeValues) is more than a plain true. complete tells whether the walk
    /// ran without anything outside it (reports, observed changes, entity references):
    /// only then do the gathered attributes stand for the whole subtree.
    bool validateGathering(std::vector<TdomAttr*>& gathered, bool& complete);
    /// validateAttributeValues of the subtree from a complete gathering.
    static bool validateGatheredReferences(const std::vector<TdomAttr*>& gathered);
    /// This element's own checks: content, declared defaults, its attributes.
    bool validateSelf(TdomDeclMemo& memo);
    /// A declared default added as a not-specified attribute, also to read-only content. The
    /// application is charged first (chargeDefault): false, with nothing added, when refused.
    bool addDefaultAttribute(const TdomAttrDeclInfo& decl, const WideString& value);
    /// Charges one default made, its literal and its node, to the operation's budget: false
    /// when it does not fit.
    bool chargeDefault(const WideString& literal);
    /// Reports kind 32 for a default refused by a limit, naming it (and, atReference, the
    /// reference of the default refused), once per run.
    bool reportDefaultLimit(bool atReference = false);
    /// The operation's budget is spent: no default is made in it any more.
    bool defaultRefused() const;
    /// Joins each run of adjacent text children into its first node (this level only).
    void mergeAdjacentTexts();
    /// Whether child-list changes may be made in one pass (nobody observes the single steps).
    bool quietChildChangesPossible() const;
    /// The references among this element's own children; child elements go to work.
    bool resolveOwnReferences(uint8_t option, TdomEntityContentBuilder& builder, std::vector<TdomElement*>& work);
    /// refreshDefaultAttributes of this element alone.
    bool refreshOwnDefaultAttributes(bool removeFixed);
    /// This element's attributes' ID and IDREF checks.
    bool validateOwnAttributeValues(TdomDeclMemo& memo);
    friend class TdomDocument;
    /// The document's reading path: the tag name is the document's shared copy of a checked name.
    TdomElement(TdomDocument* ownerDocument, const WideString* sharedTagName);
    TdomAttr* setAttributeNodeCommon(TdomAttr* attr, bool ns);
    void setNames(const WideString& namespaceURI, const WideString& prefix, const WideString& localName);
    void takeAttribute(TdomAttr* attr);

    TdomNodeVector attributeList_;
    TdomNamedNodeMap attributeMap_;
    /// Caches of getElementsByTagName(NS); made on first use.
    struct ListCache;
    std::unique_ptr<ListCache> lists_;
    const WideString* tagName_ = nullptr;  ///< the owner document's shared copy of the name
    std::unique_ptr<TdomQualifiedNames> names_;
};

/// An attribute: name, stored value text (the node value), owner element, specified flag.
class TdomAttr : public TdomNode {
public:
    /// Name not an XML Name: EInvalid_Character_Err.
    TdomAttr(TdomDocument* ownerDocument, bool specified, const WideString& name);
    /// As the namespace-aware element, plus the xmlns rules.
    TdomAttr(TdomDocument* ownerDocument, bool specified, const WideString& namespaceURI,
             const WideString& qualifiedName);

    WideString getNodeName() const override { return *name_; }
    WideString getBaseURI() const override;
    WideString getLocalName() const override { return names_ ? names_->localName : WideString(); }
    WideString getNamespaceURI() const override { return names_ ? names_->namespaceURI : WideString(); }
    TdomNode* getNextSibling() const override { return nullptr; }
    TdomNode* getParentNode() const override { return nullptr; }
    TdomNode* getPreviousSibling() const override { return nullptr; }
    WideString getPrefix() const override { return names_ ? names_->prefix : WideString(); }
    void setPrefix(const WideString& prefix) override;
    bool validate() override;
    bool validateAttributeValues() override;
    /// As any node's; the value is then the application's (see getReadFromText).
    void setNodeValue(const WideString& value) override;

    /// Turns an attribute literal into its value: white space to blanks, character and entity
    /// references replaced. Undeclared non-predefined name: EConvertError "&%S; cannot be
    /// resolved."; reference left open: EConvertError "Malformed literal attribute value.".
    virtual void resolveLiteral(const WideString& literal, WideString& result) const;
    virtual bool isIdAttribute() const;
    /// 0 for "xmlns", 1 for "xmlns:" + NCName, 2 otherwise.
    virtual uint8_t getNamespaceDeclarationKind() const { return namespaceDeclarationKind_; }
    virtual WideString getName() const { return *name_; }
    /// The name without a copy.
    const WideString& getNameRef() const { return *name_; }
    virtual TdomElement* getOwnerElement() const { return ownerElement_; }
    virtual bool getSpecified() const { return specified_; }
    /// resolveLiteral of the stored text, normalized further when declared other than CDATA.
    virtual WideString getLiteralValue() const;
    virtual bool refersToExternalEntity() const;
    virtual bool refersToEntityWithLessThan() const;

    /// The value text (the node value).
    const WideString& getValue() const { return nodeValue_; }
    /// The models' declaration of this attribute on its owner element, nil when none.
    bool findDeclaration(TdomAttrDeclInfo& decl) const;
    void setSpecified(bool value) { specified_ = value; }
    /// True when the value text was read from a document's text (the document builder sets it):
    /// its tabs and line feeds are then a literal's, which every reader takes as spaces, and the
    /// writer writes them as they stand. A value the application set holds them as characters,
    /// and the writer writes them (and carriage returns) as character references.
    bool getReadFromText() const { return readFromText_; }
    void setReadFromText(bool value) { readFromText_ = value; }

private:
    friend class TdomDocument;
    friend class TdomElement;
    friend class TdomNamedNodeMap;
    friend class TdomIdMap;
    /// The document's reading path: the name is the document's shared copy of a checked name.
    TdomAttr(TdomDocument* ownerDocument, const WideString* sharedName, uint8_t namespaceDeclarationKind);
    void setNamesFromQualified(const WideString& namespaceURI, const WideString& qualifiedName);
    bool scanEntityReferences(bool wantLessThan) const;
    /// getLiteralValue with the declaration already looked up (nil: undeclared).
    WideString literalValueWith(const TdomAttrDeclInfo* decl) const;
    /// validate and validateAttributeValues with the walk's declaration memo.
    bool validateWith(TdomDeclMemo& memo);
    bool validateAttributeValuesWith(TdomDeclMemo& memo);
    /// Whether validateAttributeValues has more to do than answer true, given the declaration.
    bool needsReferenceCheck(const TdomAttrDeclInfo* decl) const;
    /// Reports why the value's literal could not be resolved: the limit it went past (32), the
    /// fatal fault of an entity it refers to, or else a reference not resolved (23).
    void reportUnresolvedLiteral();
    /// The fatal kind of a literal refused for the entity `failed` (0: none of XML's faults).
    uint8_t literalFaultOf(const TdomLiteralOutcome& outcome, const WideString& failed) const;

    std::unique_ptr<TdomQualifiedNames> names_;
    const WideString* name_ = nullptr;  ///< the owner document's shared copy of the name
    TdomElement* ownerElement_ = nullptr;
    uint8_t namespaceDeclarationKind_ = 2;
    bool specified_;
    bool inIdMap_ = false;  ///< set exactly while the document's ID map holds this attribute
    bool readFromText_ = false;  ///< the value text is a literal read from text; cleared by setNodeValue
};

}  // namespace xmldom
