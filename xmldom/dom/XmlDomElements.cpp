// Elements and attributes: attribute map operations with their refusal order, namespace
// rules, literal resolution, normalization, entity-reference resolution and the validation
// steps that rest on the schema query's declarations.

#include "XmlDomElements.h"

#include <algorithm>
#include <vector>

#include "XmlDomCharData.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomInternal.h"
#include "XmlDomMessages.h"
#include "XmlUri.h"

namespace xmldom {

using namespace detail;

namespace {

constexpr uint16_t kAttributeItems = 1u << ntAttribute_Node;
constexpr int kMaxEntityDepth = 64;  ///< deeper nesting is taken for a circular declaration

TdomSchemaQuery& schemaOf(const TdomNode* node) {
    TdomDocument* doc = node->getOwnerDocument();
    static TdomSchemaQuery* const none = new TdomSchemaQuery; // never destroyed, as the document's
    return doc ? *doc->getSchemaQuery() : *none;
}

WideString predefinedEntityText(const WideString& name) {
    if (name == u"lt") return u"<";
    if (name == u"gt") return u">";
    if (name == u"amp") return u"&";
    if (name == u"apos") return u"'";
    if (name == u"quot") return u"\"";
    return {};
}

WideString collapseSpaces(const WideString& value) {
    WideString out;
    out.reserve(value.size());
    for (char16_t c : value) {
        if (c == u' ' && (out.empty() || out.back() == u' ')) continue;
        out.push_back(c);
    }
    if (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

}  // namespace

struct TdomElement::ListCache {
    std::vector<std::unique_ptr<TdomElementsNodeList>> byName;
    std::vector<std::unique_ptr<TdomElementsNodeListNS>> byNS;
};

// ---- element construction -------------------------------------------------------------------

TdomElement::TdomElement(TdomDocument* ownerDocument, const WideString& tagName)
    : TdomNode(ownerDocument, ntElement_Node, kElementChildTypes),
      attributeMap_(this, kAttributeItems, &attributeList_) {
    if (!IsXmlName(tagName)) raiseInvalidCharacter();
    tagName_ = ownerDocument->internName(tagName);
}

TdomElement::TdomElement(TdomDocument* ownerDocument, const WideString& namespaceURI,
                         const WideString& qualifiedName)
    : TdomNode(ownerDocument, ntElement_Node, kElementChildTypes),
      attributeMap_(this, kAttributeItems, &attributeList_) {
    WideString prefix, localName;
    splitQualifiedName(qualifiedName, prefix, localName);
    checkElementNamespace(namespaceURI, prefix);
    tagName_ = ownerDocument->internName(qualifiedName);
    setNames(namespaceURI, prefix, localName);
    setNamespaceAware(true);
    attributeMap_.setNamespaceAware(true);
}

TdomElement::~TdomElement() = default;

void TdomElement::setNames(const WideString& namespaceURI, const WideString& prefix, const WideString& localName) {
    names_ = std::make_unique<TdomQualifiedNames>(TdomQualifiedNames{namespaceURI, prefix, localName});
}

void TdomElement::setIsReadonly(bool value) {
    TdomNode::setIsReadonly(value);
    attributeMap_.setReadonly(value);
}

void TdomElement::setPrefix(const WideString& prefix) {
    if (!IsXmlName(prefix)) raiseInvalidCharacter();
    if (getIsReadonly()) raiseNoModification();
    if (!IsXmlNCName(prefix) || !names_ || names_->namespaceURI.empty()) raiseNamespace();
    if (prefix == u"xml" && names_->namespaceURI != kXmlNamespace) raiseNamespace();
    names_->prefix = prefix;
    tagName_ = ownerDocument_->internName(prefix + u":" + names_->localName);
}

WideString TdomElement::getBaseURI() const {
    TdomNode* base = attributeMap_.getNamespaceAware() ? getAttributeNodeNS(kXmlNamespace, u"base")
                                                       : getAttributeNode(u"xml:base");
    WideString parentBase = parent_ ? parent_->getBaseURI() : WideString();
    if (!base) return parentBase;
    WideString value = base->getNodeValue();
    TUriWideStrAnalyzer analyzer;
    if (analyzer.setUriReference(value) && analyzer.hasScheme()) return value;
    WideString resolved;
    ResolveRelativeUri(parentBase, value, resolved);
    return resolved;
}

// ---- attribute lookups ----------------------------------------------------------------------

TdomAttr* TdomElement::getAttributeAt(int index) const {
    if (index < 0 || index >= getAttributeCount()) return nullptr;
    return static_cast<TdomAttr*>(attributeList_[static_cast<size_t>(index)]);
}

TdomAttr* TdomElement::getAttributeNode(const WideString& name) const {
    return static_cast<TdomAttr*>(attributeMap_.getNamedItem(name));
}

TdomAttr* TdomElement::getAttributeNodeNS(const WideString& namespaceURI, const WideString& localName) const {
    return static_cast<TdomAttr*>(attributeMap_.getNamedItemNS(namespaceURI, localName));
}

WideString TdomElement::getAttribute(const WideString& name) const {
    TdomAttr* attr = getAttributeNode(name);
    return attr ? attr->getNodeValue() : WideString();
}

WideString TdomElement::getAttributeNS(const WideString& namespaceURI, const WideString& localName) const {
    TdomAttr* attr = getAttributeNodeNS(namespaceURI, localName);
    return attr ? attr->getNodeValue() : WideString();
}

namespace {
WideString literalOf(const TdomAttr* attr) {
    if (!attr) return {};
    try {
        return attr->getLiteralValue();
    } catch (const EConvertError&) {
        throw EConvertError(msg::kLiteralNotResolvable);
    }
}
}  // namespace

WideString TdomElement::getAttributeLiteral(const WideString& name) const { return literalOf(getAttributeNode(name)); }

WideString TdomElement::getAttributeLiteralNS(const WideString& namespaceURI, const WideString& localName) const {
    return literalOf(getAttributeNodeNS(namespaceURI, localName));
}

bool TdomElement::hasAttribute(const WideString& name) const { return getAttributeNode(name) != nullptr; }

bool TdomElement::hasAttributeNS(const WideString& namespaceURI, const WideString& localName) const {
    return getAttributeNodeNS(namespaceURI, localName) != nullptr;
}

TdomNodeList* TdomElement::getElementsByTagName(const WideString& name) {
    if (!lists_) lists_ = std::make_unique<ListCache>();
    for (const auto& list : lists_->byName)
        if (list->getQueryName() == name) return list.get();
    makeRoomForOne(lists_->byName);
    lists_->byName.push_back(std::make_unique<TdomElementsNodeList>(name, this));
    return lists_->byName.back().get();
}

TdomNodeList* TdomElement::getElementsByTagNameNS(const WideString& namespaceURI, const WideString& localName) {
    if (!lists_) lists_ = std::make_unique<ListCache>();
    for (const auto& list : lists_->byNS)
        if (list->getQueryNamespaceURI() == namespaceURI && list->getQueryLocalName() == localName) return list.get();
    makeRoomForOne(lists_->byNS);
    lists_->byNS.push_back(std::make_unique<TdomElementsNodeListNS>(namespaceURI, localName, this));
    return lists_->byNS.back().get();
}

// ---- attribute changes ----------------------------------------------------------------------

TdomAttr* TdomElement::setAttribute(const WideString& name, const WideString& value) {
    if (getIsReadonly()) raiseNoModification();
    if (TdomAttr* attr = getAttributeNode(name)) {
        attr->setNodeValue(value);
        if (notificationsWanted()) doAttrModified(this, AC_MODIFICATION, attr);
        return nullptr;
    }
    TdomAttr* attr = ownerDocument_->createAttribute(name);
    attr->setNodeValue(value);
    setAttributeNode(attr);
    return attr;
}

TdomAttr* TdomElement::setAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName,
                                      const WideString& value) {
    if (getIsReadonly()) raiseNoModification();
    WideString prefix, localName;
    splitQualifiedName(qualifiedName, prefix, localName);
    checkAttributeNamespace(namespaceURI, prefix, qualifiedName);
    if (TdomAttr* attr = getAttributeNodeNS(namespaceURI, localName)) {
        attr->setNodeValue(value);
        if (notificationsWanted()) doAttrModified(this, AC_MODIFICATION, attr);
        return nullptr;
    }
    TdomAttr* attr = ownerDocument_->createAttributeNS(namespaceURI, qualifiedName);
    attr->setNodeValue(value);
    setAttributeNodeNS(attr);
    return attr;
}

TdomAttr* TdomElement::setAttributeNodeCommon(TdomAttr* attr, bool ns) {
    if (getIsReadonly()) raiseNoModification();
    if (attributeMap_.getNamespaceAware() != ns) raiseNamespace();
    if (!attr) raiseNotSupported();
    if (attr->getOwnerDocument() != getOwnerDocument()) raiseWrongDocument();
    if (attr->ownerElement_ && attr->ownerElement_ != this) raiseInuseAttribute();
    if (attr->ownerElement_ == this) return nullptr;
    TdomAttr* old = ns ? getAttributeNodeNS(attr->getNamespaceURI(), attr->getLocalName())
                       : getAttributeNode(attr->getNodeName());
    if (old) removeAttributeNode(old);
    attributeMap_.appendItem(attr);
    attr->ownerElement_ = this;
    if (notificationsWanted()) doAttrModified(this, AC_ADDITION, attr);
    return old;
}

TdomAttr* TdomElement::setAttributeNode(TdomAttr* attr) { return setAttributeNodeCommon(attr, false); }
TdomAttr* TdomElement::setAttributeNodeNS(TdomAttr* attr) { return setAttributeNodeCommon(attr, true); }

void TdomElement::takeAttribute(TdomAttr* attr) {
    attributeMap_.eraseItem(attr);
    attr->ownerElement_ = nullptr;
}

TdomAttr* TdomElement::removeAttributeNode(TdomAttr* attr) {
    if (getIsReadonly()) raiseNoModification();
    if (!attr || attr->ownerElement_ != this) raiseNodeNotFound();
    takeAttribute(attr);
    if (notificationsWanted()) doAttrModified(this, AC_REMOVAL, attr);
    return attr;
}

void TdomElement::removeAttribute(const WideString& name) {
    if (getIsReadonly()) raiseNoModification();
    TdomAttr* attr = getAttributeNode(name);
    if (!attr) raiseNodeNotFound();
    removeAttributeNode(attr);
}

void TdomElement::removeAttributeNS(const WideString& namespaceURI, const WideString& localName) {
    if (getIsReadonly()) raiseNoModification();
    TdomAttr* attr = getAttributeNodeNS(namespaceURI, localName);
    if (!attr) raiseNodeNotFound();
    removeAttributeNode(attr);
}

// ---- normalization and entity references -----------------------------------------------------

void TdomElement::normalize() {
    for (size_t i = children_.size(); i-- > 0;) {
        if (i >= children_.size()) continue;  // a handler may have shortened the list
        TdomNode* child = children_[i];
        if (child->getNodeType() != ntText_Node) {
            child->normalize();
            continue;
        }
        if (i + 1 < children_.size() && children_[i + 1]->getNodeType() == ntText_Node) {
            TdomNode* next = children_[i + 1];
            static_cast<TdomText*>(child)->appendData(next->getNodeValue());
            removeChild(next);
            ownerDocument_->freeTreeNode(next);
        }
    }
    for (size_t i = 0; i < attributeList_.size(); ++i) attributeList_[i]->normalize();
}

bool TdomElement::resolveEntityReferences(uint8_t option) {
    TdomSchemaQuery& schema = schemaOf(this);
    bool result = true;
    if (option != 0) {
        for (size_t i = 0; i < children_.size(); ++i) {
            TdomNode* child = children_[i];
            if (child->getNodeType() == ntEntity_Reference_Node) {
                WideString name = child->getNodeName();
                static_cast<TdomEntityReference*>(child)->expand();
                if (!schema.hasEntityDecl(name) && !IsXmlPredefinedEntityName(name)) result = false;
            } else if (!child->resolveEntityReferences(option)) {
                result = false;
            }
        }
        return result;
    }
    size_t i = 0;
    while (i < children_.size()) {
        TdomNode* child = children_[i];
        if (child->getNodeType() != ntEntity_Reference_Node) {
            if (!child->resolveEntityReferences(0)) result = false;
            ++i;
            continue;
        }
        WideString name = child->getNodeName();
        if (schema.hasEntityDecl(name)) {
            TdomNode* fragment = ownerDocument_->createDocumentFragment();
            if (!schema.expandEntityInto(name, fragment)) {
                ownerDocument_->freeTreeNode(fragment);
                result = false;
                ++i;
                continue;
            }
            insertBefore(fragment, child);
            removeChild(child);
            ownerDocument_->freeTreeNode(child);
            ownerDocument_->freeTreeNode(fragment);
            continue;  // the same index again: references inside the expansion are resolved too
        }
        if (IsXmlPredefinedEntityName(name)) {
            replaceChild(ownerDocument_->createTextNode(predefinedEntityText(name)), child);
            ownerDocument_->freeTreeNode(child);
            continue;
        }
        result = false;
        ++i;
    }
    normalize();
    return result;
}

// ---- validation against the declarations ----------------------------------------------------

namespace {
TdomAttr* attributeNamed(const TdomNodeVector& list, const WideString& name) {
    for (TdomNode* attr : list)
        if (attr->getNodeName() == name) return static_cast<TdomAttr*>(attr);
    return nullptr;
}
}  // namespace

bool TdomElement::validate() {
    // The subtree in document order on an explicit stack: deep documents cannot exhaust ours.
    bool result = true;
    std::vector<TdomNode*> stack{this};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        if (node->getNodeType() != ntElement_Node) {
            if (!node->validate()) result = false;
            continue;
        }
        auto* element = static_cast<TdomElement*>(node);
        if (!element->validateSelf()) result = false;
        for (size_t i = element->children_.size(); i-- > 0;) stack.push_back(element->children_[i]);
    }
    return result;
}

bool TdomElement::validateSelf() {
    TdomSchemaQuery& schema = schemaOf(this);
    bool result = schema.validateElementContent(this);
    for (const TdomAttrDeclInfo& decl : schema.getAttributeDecls(*tagName_)) {
        TdomAttr* present = attributeNamed(attributeList_, decl.name);
        if (decl.defaultDecl == 3) {
            if (!present) {
                sendErrorNotification(28, this);
                result = false;
            }
            continue;
        }
        if (decl.defaultDecl != 0 && decl.defaultDecl != 1) continue;
        WideString value;
        if (uint8_t kind = schema.normalizeAttributeValue(decl, value)) {
            sendErrorNotification(kind, this);
            result = false;
            continue;
        }
        if (!present) {
            TdomAttr* attr = ownerDocument_->createAttribute(decl.name);
            attr->setNodeValue(value);
            attr->setSpecified(false);
            setAttributeNode(attr);
        } else if (decl.defaultDecl == 1 && present->getNodeValue() != value) {
            sendErrorNotification(17, this);
            result = false;
        }
    }
    for (size_t i = 0; i < attributeList_.size(); ++i)
        if (!attributeList_[i]->validate()) result = false;
    return result;
}

bool TdomElement::validateAttributeValues() {
    // The ID references of the whole subtree are checked, not only the top element's, in
    // document order on an explicit stack.
    bool result = true;
    std::vector<TdomElement*> stack{this};
    while (!stack.empty()) {
        TdomElement* element = stack.back();
        stack.pop_back();
        if (!element->validateOwnAttributeValues()) result = false;
        for (size_t i = element->children_.size(); i-- > 0;)
            if (element->children_[i]->getNodeType() == ntElement_Node)
                stack.push_back(static_cast<TdomElement*>(element->children_[i]));
    }
    return result;
}

bool TdomElement::validateOwnAttributeValues() {
    bool result = true;
    for (size_t i = 0; i < attributeList_.size(); ++i)
        if (!attributeList_[i]->validateAttributeValues()) result = false;
    return result;
}

bool TdomElement::refreshDefaultAttributes(bool removeFixed, bool deep) {
    if (attributeMap_.getNamespaceAware()) raiseNamespace();
    TdomSchemaQuery& schema = schemaOf(this);
    for (size_t i = attributeList_.size(); i-- > 0;) {
        auto* attr = static_cast<TdomAttr*>(attributeList_[i]);
        bool drop = !attr->getSpecified();
        TdomAttrDeclInfo decl;
        if (!drop && removeFixed && schema.findAttributeDecl(*tagName_, attr->getNodeName(), decl))
            drop = decl.defaultDecl == 1;
        if (!drop) continue;
        removeAttributeNode(attr);
        TdomNode* freed = attr;
        ownerDocument_->freeTreeNode(freed);
    }
    bool result = true;
    for (const TdomAttrDeclInfo& decl : schema.getAttributeDecls(*tagName_)) {
        if (decl.defaultDecl != 0 && decl.defaultDecl != 1) continue;
        bool present = attributeNamed(attributeList_, decl.name) != nullptr;
        if (decl.defaultDecl == 0 && present) continue;
        WideString value;
        if (schema.normalizeAttributeValue(decl, value) != 0) {
            result = false;
            continue;
        }
        if (present) continue;
        TdomAttr* attr = ownerDocument_->createAttribute(decl.name);
        attr->setNodeValue(value);
        attr->setSpecified(false);
        setAttributeNode(attr);
    }
    if (deep)
        for (size_t i = 0; i < children_.size(); ++i)
            if (children_[i]->getNodeType() == ntElement_Node &&
                !static_cast<TdomElement*>(children_[i])->refreshDefaultAttributes(removeFixed, deep))
                result = false;
    return result;
}

// ---- attributes -----------------------------------------------------------------------------

namespace {
uint8_t declarationKindOf(const WideString& name) {
    if (IsXmlDefaultAttName(name)) return 0;
    if (IsXmlPrefixedAttName(name)) return 1;
    return 2;
}
}  // namespace

TdomAttr::TdomAttr(TdomDocument* ownerDocument, bool specified, const WideString& name)
    : TdomNode(ownerDocument, ntAttribute_Node, kNoChildTypes), specified_(specified) {
    if (!IsXmlName(name)) raiseInvalidCharacter();
    name_ = ownerDocument->internName(name);
    namespaceDeclarationKind_ = declarationKindOf(name);
}

TdomAttr::TdomAttr(TdomDocument* ownerDocument, bool specified, const WideString& namespaceURI,
                   const WideString& qualifiedName)
    : TdomNode(ownerDocument, ntAttribute_Node, kNoChildTypes), specified_(specified) {
    WideString prefix, localName;
    splitQualifiedName(qualifiedName, prefix, localName);
    checkAttributeNamespace(namespaceURI, prefix, qualifiedName);
    name_ = ownerDocument->internName(qualifiedName);
    names_ = std::make_unique<TdomQualifiedNames>(TdomQualifiedNames{namespaceURI, prefix, localName});
    namespaceDeclarationKind_ = declarationKindOf(qualifiedName);
    setNamespaceAware(true);
}

void TdomAttr::setPrefix(const WideString& prefix) {
    if (!IsXmlName(prefix)) raiseInvalidCharacter();
    if (getIsReadonly()) raiseNoModification();
    if (!IsXmlNCName(prefix) || !names_ || names_->namespaceURI.empty()) raiseNamespace();
    if (prefix == u"xml" && names_->namespaceURI != kXmlNamespace) raiseNamespace();
    if (prefix == u"xmlns" && names_->namespaceURI != kXmlnsNamespace) raiseNamespace();
    if (*name_ == u"xmlns") raiseNamespace();
    names_->prefix = prefix;
    name_ = ownerDocument_->internName(prefix + u":" + names_->localName);
    if (ownerElement_) ownerElement_->getAttributes()->itemRenamed();
}

WideString TdomAttr::getBaseURI() const {
    if (!ownerElement_) return {};
    bool isBase = names_ ? (names_->namespaceURI == kXmlNamespace && names_->localName == u"base")
                         : *name_ == u"xml:base";
    if (!isBase) return ownerElement_->getBaseURI();
    TdomNode* parent = ownerElement_->getParentNode();
    return parent ? parent->getBaseURI() : WideString();
}

namespace {

void resolveInto(const TdomSchemaQuery& schema, const WideString& literal, WideString& result, int depth) {
    size_t i = 0;
    while (i < literal.size()) {
        char16_t c = literal[i];
        if (c != u'&') {
            result.push_back(c == u'\t' || c == u'\n' || c == u'\r' ? u' ' : c);
            ++i;
            continue;
        }
        size_t semi = literal.find(u';', i);
        if (semi == WideString::npos) throw EConvertError(msg::kMalformedLiteral);
        if (i + 1 < literal.size() && literal[i + 1] == u'#') {
            result += XmlCharRefToStr(std::u16string_view(literal).substr(i, semi - i + 1));
        } else {
            WideString name = literal.substr(i + 1, semi - i - 1);
            WideString value;
            if (schema.findEntityLiteral(name, value)) {
                if (depth >= kMaxEntityDepth) throw EConvertError(Format(msg::kCannotResolveEntity, {name}));
                resolveInto(schema, value, result, depth + 1);
            } else if (IsXmlPredefinedEntityName(name)) {
                result += predefinedEntityText(name);
            } else {
                throw EConvertError(Format(msg::kCannotResolveEntity, {name}));
            }
        }
        i = semi + 1;
    }
}

}  // namespace

void TdomAttr::resolveLiteral(const WideString& literal, WideString& result) const {
    WideString out;
    resolveInto(schemaOf(this), literal, out, 0);
    result = std::move(out);
}

WideString TdomAttr::getLiteralValue() const {
    WideString value;
    resolveLiteral(nodeValue_, value);
    TdomAttrDeclInfo decl;
    if (ownerElement_ && schemaOf(this).findAttributeDecl(ownerElement_->getNodeName(), *name_, decl) &&
        decl.attrType != 0)
        value = collapseSpaces(value);
    return value;
}

bool TdomAttr::isIdAttribute() const {
    TdomSchemaQuery& schema = schemaOf(this);
    TdomAttrDeclInfo decl;
    return schema.hasModels() && ownerElement_ &&
           schema.findAttributeDecl(ownerElement_->getNodeName(), *name_, decl) && decl.attrType == 2;
}

bool TdomAttr::scanEntityReferences(bool wantLessThan) const {
    TdomSchemaQuery& schema = schemaOf(this);
    const WideString& text = nodeValue_;
    for (size_t i = text.find(u'&'); i != WideString::npos; i = text.find(u'&', i)) {
        size_t semi = text.find(u';', i);
        if (semi == WideString::npos) throw EConvertError(msg::kMalformedLiteral);
        if (!(i + 1 < text.size() && text[i + 1] == u'#')) {
            WideString name = text.substr(i + 1, semi - i - 1);
            if (schema.hasEntityDecl(name)) {
                if (schema.entityTest(wantLessThan ? TdomEntityTest::LessThan : TdomEntityTest::External, name))
                    return true;
            } else if (!IsXmlPredefinedEntityName(name)) {
                throw EConvertError(msg::kEntityRefNotResolvable);
            }
        }
        i = semi + 1;
    }
    return false;
}

bool TdomAttr::refersToExternalEntity() const { return scanEntityReferences(false); }
bool TdomAttr::refersToEntityWithLessThan() const { return scanEntityReferences(true); }

bool TdomAttr::validate() {
    WideString literal;
    try {
        literal = getLiteralValue();
    } catch (const Exception&) {
        sendErrorNotification(23, this);
        return false;
    }
    bool result = true;
    bool hit;
    try {
        hit = refersToExternalEntity();
    } catch (const EConvertError&) {
        hit = true;
    }
    if (hit) {
        sendErrorNotification(36, this);
        result = false;
    }
    try {
        hit = refersToEntityWithLessThan();
    } catch (const EConvertError&) {
        hit = true;
    }
    if (hit) {
        sendErrorNotification(53, this);
        result = false;
    }
    TdomAttrDeclInfo decl;
    if (!ownerElement_ || !schemaOf(this).findAttributeDecl(ownerElement_->getNodeName(), *name_, decl)) {
        sendErrorNotification(6, this);
        return false;
    }
    if (decl.attrType == 2) {
        if (!IsXmlName(literal)) {
            sendErrorNotification(7, this);
            return false;
        }
        try {
            ownerDocument_->getIdMap().AddObject(literal, this);
        } catch (const EListError&) {
            sendErrorNotification(11, this);
            result = false;
        }
    }
    return result;
}

bool TdomAttr::validateAttributeValues() {
    WideString literal;
    try {
        literal = getLiteralValue();
    } catch (const Exception&) {
        sendErrorNotification(23, this);
        return false;
    }
    TdomAttrDeclInfo decl;
    if (!ownerElement_ || !schemaOf(this).findAttributeDecl(ownerElement_->getNodeName(), *name_, decl)) return true;
    TdomWideStringList& ids = ownerDocument_->getIdMap();
    int index;
    bool result = true;
    if (decl.attrType == 3) {
        if (!IsXmlName(literal)) {
            sendErrorNotification(7, this);
            result = false;
        } else if (!ids.Find(literal, index)) {
            sendErrorNotification(29, this);
            result = false;
        }
    } else if (decl.attrType == 4) {
        if (!IsXmlNames(literal)) {
            sendErrorNotification(7, this);
            return false;
        }
        size_t start = 0;
        while (start <= literal.size()) {
            size_t end = literal.find(u' ', start);
            if (end == WideString::npos) end = literal.size();
            if (!ids.Find(literal.substr(start, end - start), index)) {
                sendErrorNotification(29, this);
                result = false;
            }
            start = end + 1;
        }
    }
    return result;
}

}  // namespace xmldom
