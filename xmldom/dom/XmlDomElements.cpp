// Elements and attributes: attribute map operations with their refusal order, namespace
// rules, literal resolution, normalization, entity-reference resolution and the validation
// steps that rest on the schema query's declarations.

#include "XmlDomElements.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "XmlDomCharData.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomEntityContent.h"
#include "XmlDomInternal.h"
#include "XmlDomMessages.h"
#include "XmlErrorKinds.h"
#include "XmlUri.h"

namespace xmldom {

using namespace detail;

namespace {

constexpr uint16_t kAttributeItems = 1u << ntAttribute_Node;

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

TdomElement::TdomElement(TdomDocument* ownerDocument, const WideString* sharedTagName)
    : TdomNode(ownerDocument, ntElement_Node, kElementChildTypes),
      attributeMap_(this, kAttributeItems, &attributeList_), tagName_(sharedTagName) {}

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

namespace {

/// Elements below root (root excluded) reached through element children only, in document
/// order, on an explicit stack. The content of entity references is the entity's, not the
/// element's, and is not visited.
template <class Visit>
void forEachElementBelow(TdomNode* root, Visit visit) {
    std::vector<TdomNode*> stack;
    auto pushElementChildren = [&stack](TdomNode* node) {
        for (int i = node->getChildCount(); i-- > 0;) {
            TdomNode* child = node->getChildNodes()->item(i);
            if (child->getNodeType() == ntElement_Node) stack.push_back(child);
        }
    };
    pushElementChildren(root);
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        visit(static_cast<TdomElement*>(node));
        pushElementChildren(node);
    }
}

}  // namespace

bool TdomElement::quietChildChangesPossible() const {
    // Without observers and iterators a child-list change can be made in one pass: nobody sees
    // the single steps.
    return !notificationsWanted() && (!ownerDocument_ || !ownerDocument_->hasNodeIterators());
}

void TdomElement::mergeAdjacentTexts() {
    if (children_.size() < 2) return;
    if (!quietChildChangesPossible()) {
        // Observed: each merge is the appendData and the removal the observers expect.
        for (size_t i = children_.size(); i-- > 0;) {
            if (i + 1 >= children_.size()) continue;  // a handler may have shortened the list
            TdomNode* child = children_[i];
            if (child->getNodeType() != ntText_Node || children_[i + 1]->getNodeType() != ntText_Node) continue;
            TdomNode* next = children_[i + 1];
            static_cast<TdomText*>(child)->appendData(next->getNodeValue());
            removeChild(next);
            ownerDocument_->freeTreeNode(next);
        }
        return;
    }
    // One pass: each run of adjacent texts is joined once into its first node and the list is
    // compacted once, so a million adjacent texts cost linear time. Lists without adjacent
    // texts (nearly all) are left as they are without building anything.
    bool adjacent = false;
    for (size_t i = 1; i < children_.size() && !adjacent; ++i)
        adjacent = children_[i]->getNodeType() == ntText_Node && children_[i - 1]->getNodeType() == ntText_Node;
    if (!adjacent) return;
    TdomNodeVector kept;
    std::vector<TdomNode*> dropped;
    size_t i = 0;
    while (i < children_.size()) {
        TdomNode* first = children_[i];
        size_t end = i + 1;
        if (first->getNodeType() == ntText_Node)
            while (end < children_.size() && children_[end]->getNodeType() == ntText_Node) ++end;
        if (end - i > 1) {
            if (first->getIsReadonly()) raiseNoModification();
            size_t total = 0;
            for (size_t k = i; k < end; ++k) total += children_[k]->nodeValue_.size();
            WideString joined;
            joined.reserve(total);
            for (size_t k = i; k < end; ++k) joined += children_[k]->nodeValue_;
            static_cast<TdomText*>(first)->setData(joined);
            for (size_t k = i + 1; k < end; ++k) dropped.push_back(children_[k]);
        }
        kept.push_back(first);
        i = end;
    }
    if (dropped.empty()) return;
    children_.swap(kept);
    for (size_t k = 0; k < children_.size(); ++k) children_[k]->indexInParent_ = static_cast<uint32_t>(k);
    for (TdomNode* node : dropped) {
        node->parent_ = nullptr;
        if (node->inDocument_) markInDocument(node, false);
        ownerDocument_->freeTreeNode(node);
    }
}

void TdomElement::normalize() {
    // Every element of the subtree merges its own texts; other nodes keep their own normalize
    // (entity references pass it to their children). No recursion, whatever the depth.
    std::vector<TdomNode*> stack{this};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        if (node->getNodeType() != ntElement_Node) {
            node->normalize();
            continue;
        }
        auto* element = static_cast<TdomElement*>(node);
        element->mergeAdjacentTexts();
        for (size_t i = element->children_.size(); i-- > 0;) {
            TdomNode* child = element->children_[i];
            if (child->getNodeType() != ntText_Node) stack.push_back(child);
        }
        for (size_t i = 0; i < element->attributeList_.size(); ++i) element->attributeList_[i]->normalize();
    }
}

bool TdomElement::resolveEntityReferences(uint8_t option) {
    TdomEntityContentBuilder builder(ownerDocument_);
    const bool result = resolveEntityReferencesWith(option, builder);
    if (!result) builder.reportSpentBudget(this);
    return result;
}

bool TdomElement::resolveEntityReferencesWith(uint8_t option, TdomEntityContentBuilder& builder) {
    // The elements of the subtree are handled one after the other from a work list; each one
    // deals with its own children only, so deep documents cannot exhaust the stack.
    bool result = true;
    std::vector<TdomElement*> work{this};
    while (!work.empty()) {
        TdomElement* element = work.back();
        work.pop_back();
        size_t firstPushed = work.size();
        if (!element->resolveOwnReferences(option, builder, work)) result = false;
        std::reverse(work.begin() + static_cast<std::ptrdiff_t>(firstPushed), work.end());
    }
    return result;
}

bool TdomElement::resolveOwnReferences(uint8_t option, TdomEntityContentBuilder& builder,
                                       std::vector<TdomElement*>& work) {
    TdomSchemaQuery& schema = schemaOf(this);
    bool result = true;
    auto visitOther = [&](TdomNode* child) {
        if (child->getNodeType() == ntElement_Node) work.push_back(static_cast<TdomElement*>(child));
        else if (!child->resolveEntityReferences(option)) result = false;
    };
    if (option != 0) {
        for (size_t i = 0; i < children_.size(); ++i) {
            TdomNode* child = children_[i];
            if (child->getNodeType() == ntEntity_Reference_Node) {
                auto* reference = static_cast<TdomEntityReference*>(child);
                if (!reference->expandWith(builder)) {
                    builder.refused(reference, reference->getNameRef());
                    result = false;
                }
            } else {
                visitOther(child);
            }
        }
        return result;
    }
    TdomEntityFacts facts;
    auto declared = [&](const WideString& name) { return schema.lookupEntity(name, false, facts) && !facts.unparsed; };
    const bool anyReference = std::any_of(children_.begin(), children_.end(), [](const TdomNode* child) {
        return child->getNodeType() == ntEntity_Reference_Node;
    });
    if (!anyReference) {
        // Most elements have no reference among their children: nothing to rebuild.
        for (size_t i = 0; i < children_.size(); ++i) visitOther(children_[i]);
    } else if (quietChildChangesPossible()) {
        // One pass building the new child list: a million references cost linear time.
        bool changed = false;
        TdomNodeVector list;
        list.reserve(children_.size());
        std::vector<TdomNode*> freed;
        TdomDocumentFragment* fragment = nullptr;
        for (TdomNode* child : children_) {
            if (child->getNodeType() != ntEntity_Reference_Node) {
                list.push_back(child);
                visitOther(child);
                continue;
            }
            auto* reference = static_cast<TdomEntityReference*>(child);
            const WideString& name = reference->getNameRef();
            bool replaced = false;
            if (declared(name)) {
                if (!fragment) fragment = ownerDocument_->createDocumentFragment();
                if (builder.buildInto(name, fragment)) {
                    for (TdomNode* part : fragment->children_) {
                        part->parent_ = this;
                        list.push_back(part);
                        visitOther(part);
                    }
                    fragment->children_.clear();
                    replaced = true;
                }
            } else if (IsXmlPredefinedEntityName(name)) {
                TdomText* text = ownerDocument_->createTextNode(predefinedEntityText(name));
                text->parent_ = this;
                list.push_back(text);
                replaced = true;
            }
            if (replaced) {
                freed.push_back(child);
                changed = true;
            } else {
                builder.refused(reference, name);
                list.push_back(child);
                result = false;
            }
        }
        if (fragment) ownerDocument_->freeTreeNode(fragment);
        if (changed) {
            children_.swap(list);
            for (size_t k = 0; k < children_.size(); ++k) {
                TdomNode* child = children_[k];
                child->indexInParent_ = static_cast<uint32_t>(k);
                if (inDocument_ && !child->inDocument_) markInDocument(child, true);
            }
            for (TdomNode* node : freed) {
                node->parent_ = nullptr;
                if (node->inDocument_) markInDocument(node, false);
                node->setIsReadonly(false);
                ownerDocument_->freeTreeNode(node);
            }
        }
    } else {
        size_t i = 0;
        while (i < children_.size()) {
            TdomNode* child = children_[i];
            if (child->getNodeType() != ntEntity_Reference_Node) {
                visitOther(child);
                ++i;
                continue;
            }
            WideString name = child->getNodeName();
            if (declared(name)) {
                auto* reference = static_cast<TdomEntityReference*>(child);
                TdomDocumentFragment* fragment = ownerDocument_->createDocumentFragment();
                if (!builder.buildInto(name, fragment)) {
                    ownerDocument_->freeTreeNode(fragment);
                    builder.refused(reference, name);
                    result = false;
                    ++i;
                    continue;
                }
                insertBefore(fragment, child);
                removeChild(child);
                ownerDocument_->freeTreeNode(child);
                ownerDocument_->freeTreeNode(fragment);
                continue;  // the same index again: the expansion's first node is visited next
            }
            if (IsXmlPredefinedEntityName(name)) {
                replaceChild(ownerDocument_->createTextNode(predefinedEntityText(name)), child);
                ownerDocument_->freeTreeNode(child);
                continue;
            }
            builder.refused(child, name);
            result = false;
            ++i;
        }
    }
    // The children below are normalized when their own turn comes; only this level is merged.
    mergeAdjacentTexts();
    return result;
}

// ---- validation against the declarations ----------------------------------------------------

/// What one validation walk has learnt from the schema query: the attribute declarations of
/// each element type, the declaration of each (element type, attribute) pair and the
/// normalized default of each declaration. Names are keyed by the document's shared copies
/// (equal names share one copy, so a pointer stands for its name). The answers hold while
/// nothing outside the walk runs: the walk calls forget() after each report and after each
/// change handlers may see; from then on questions go to the query until the next element
/// starts the memo afresh.
class TdomDeclMemo {
public:
    explicit TdomDeclMemo(TdomSchemaQuery& schema) : schema_(schema) {}

    TdomSchemaQuery& schema() const { return schema_; }
    void forget() {
        stale_ = true;
        whole_ = false;
    }

    /// Gathering of the attributes the ID reference pass has to check (see
    /// validateGathering); the list is complete only while the memo was never dropped.
    void startGathering(std::vector<TdomAttr*>* list) { gathered_ = list; }
    void gather(TdomAttr* attr) {
        if (gathered_) gathered_->push_back(attr);
    }
    /// Whether the memo was never dropped: nothing outside the walk ran.
    bool whole() const { return whole_; }

    /// getAttributeDecls of the element type; the list stays valid until the next element
    /// type is asked for (the memo is started afresh only here).
    const std::vector<TdomAttrDeclInfo>& attributeDecls(const WideString* element) {
        if (stale_) {
            decls_.clear();
            pairs_.clear();
            defaults_.clear();
            stale_ = false;
        }
        auto it = decls_.find(element);
        if (it == decls_.end()) {
            it = decls_.emplace(element, std::vector<TdomAttrDeclInfo>()).first;
            schema_.getAttributeDecls(*element, it->second);
        }
        return it->second;
    }

    /// findAttributeDecl of the pair.
    bool findAttributeDecl(const WideString* element, const WideString* attr, TdomAttrDeclInfo& decl) {
        if (stale_) return schema_.findAttributeDecl(*element, *attr, decl);
        auto it = pairs_.find({element, attr});
        if (it == pairs_.end()) {
            Answer answer;
            answer.found = schema_.findAttributeDecl(*element, *attr, answer.decl);
            it = pairs_.emplace(Pair{element, attr}, answer).first;
        }
        if (it->second.found) decl = it->second.decl;
        return it->second.found;
    }

    /// normalizeAttributeValue of the declaration (kept by the query's declaration object).
    uint8_t normalizedDefault(const TdomAttrDeclInfo& decl, WideString& value) {
        if (stale_ || !decl.declaration) return schema_.normalizeAttributeValue(decl, value);
        auto it = defaults_.find(decl.declaration);
        if (it == defaults_.end()) {
            Default d;
            d.kind = schema_.normalizeAttributeValue(decl, d.value);
            it = defaults_.emplace(decl.declaration, std::move(d)).first;
        }
        value = it->second.value;
        return it->second.kind;
    }

private:
    struct Pair {
        const WideString* element;
        const WideString* attr;
        bool operator==(const Pair& o) const { return element == o.element && attr == o.attr; }
    };
    struct PairHash {
        size_t operator()(const Pair& p) const {
            return std::hash<const void*>{}(p.element) * 31 + std::hash<const void*>{}(p.attr);
        }
    };
    struct Answer {
        bool found = false;
        TdomAttrDeclInfo decl;
    };
    struct Default {
        uint8_t kind = 0;
        WideString value;
    };

    TdomSchemaQuery& schema_;
    bool stale_ = false;
    bool whole_ = true;
    std::vector<TdomAttr*>* gathered_ = nullptr;
    std::unordered_map<const WideString*, std::vector<TdomAttrDeclInfo>> decls_;
    std::unordered_map<Pair, Answer, PairHash> pairs_;
    std::unordered_map<const void*, Default> defaults_;
};

namespace {
TdomAttr* attributeNamed(const TdomNodeVector& list, const WideString& name) {
    for (TdomNode* attr : list)
        if (static_cast<TdomAttr*>(attr)->getNameRef() == name) return static_cast<TdomAttr*>(attr);
    return nullptr;
}
}  // namespace

bool TdomElement::validate() {
    TdomDeclMemo memo(schemaOf(this));
    return validateWith(memo);
}

bool TdomElement::validateGathering(std::vector<TdomAttr*>& gathered, bool& complete) {
    TdomDeclMemo memo(schemaOf(this));
    memo.startGathering(&gathered);
    const bool result = validateWith(memo);
    complete = memo.whole();
    return result;
}

bool TdomElement::validateGatheredReferences(const std::vector<TdomAttr*>& gathered) {
    // The calls and their order are those of the subtree walk, less the attributes whose
    // check is a plain true.
    bool result = true;
    if (gathered.empty()) return result;
    TdomDeclMemo memo(schemaOf(gathered.front()));
    for (TdomAttr* attr : gathered)
        if (!attr->validateAttributeValuesWith(memo)) {
            result = false;
            memo.forget();
        }
    return result;
}

bool TdomElement::validateWith(TdomDeclMemo& memo) {
    // The subtree in document order on an explicit stack: deep documents cannot exhaust ours.
    // Its expansions share one run.
    TdomExpansionScope scope(memo.schema());
    bool result = true;
    std::vector<TdomNode*> stack{this};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        TdomNodeType type = node->getNodeType();
        if (type == ntText_Node || type == ntCDATA_Section_Node || type == ntComment_Node ||
            type == ntProcessing_Instruction_Node)
            continue;  // their validate is true
        if (type != ntElement_Node) {
            // An entity reference may report, or have its entity fetched by handlers.
            if (!node->validate()) result = false;
            memo.forget();
            continue;
        }
        auto* element = static_cast<TdomElement*>(node);
        if (!element->validateSelf(memo)) result = false;
        for (size_t i = element->children_.size(); i-- > 0;) stack.push_back(element->children_[i]);
    }
    return result;
}

bool TdomElement::validateSelf(TdomDeclMemo& memo) {
    TdomSchemaQuery& schema = memo.schema();
    bool result = schema.validateElementContent(this);
    if (!result) memo.forget();  // it reported
    auto report = [&](uint8_t kind) {
        sendErrorNotification(kind, this);
        result = false;
        memo.forget();
    };
    const std::vector<TdomAttrDeclInfo>& decls = memo.attributeDecls(tagName_);
    for (const TdomAttrDeclInfo& decl : decls) {
        TdomAttr* present = attributeNamed(attributeList_, *decl.name);
        if (decl.defaultDecl == 3) {
            if (!present) report(28);
            continue;
        }
        if (decl.defaultDecl != 0 && decl.defaultDecl != 1) continue;
        if (decl.defaultDecl == 0 && present) continue;
        if (!present && defaultRefused()) {
            if (reportDefaultLimit()) memo.forget();
            result = false;
            continue;
        }
        WideString value;
        if (uint8_t kind = memo.normalizedDefault(decl, value)) {
            if (kind == ET_UNRESOLVABLE_ENTITY_REFERENCE) {
                // Past a limit of expansion: said once per run, with the limit and the reference.
                if (reportDefaultLimit(true)) memo.forget();
                result = false;
            } else {
                report(kind);
            }
            continue;
        }
        if (!present) {
            // Each default made is charged: entity text in a default is not copied onto every
            // element for free.
            if (!addDefaultAttribute(decl, value)) {
                if (reportDefaultLimit()) memo.forget();
                result = false;
                continue;
            }
            if (notificationsWanted()) memo.forget();  // handlers saw the addition
        } else {
            // The present value in its literal form against the declared value normalized.
            WideString actual;
            bool readable = true;
            try {
                actual = present->getLiteralValue();
            } catch (const Exception&) {
                readable = false;  // reported by the attribute's own check
            }
            if (readable && actual != (decl.attrType != 0 ? CollapseSpaces(value) : value)) report(17);
        }
    }
    for (size_t i = 0; i < attributeList_.size(); ++i)
        if (!static_cast<TdomAttr*>(attributeList_[i])->validateWith(memo)) {
            result = false;
            memo.forget();
        }
    return result;
}

namespace {

/// The namespace a declared attribute name takes on a namespace-aware element: none without
/// a prefix, the reserved ones for xml and xmlns, else the one its prefix is bound to on the
/// element or an ancestor. False when the prefix is bound nowhere.
bool namespaceOfDeclaredName(const TdomElement* element, const WideString& name, WideString& uri) {
    size_t colon = name.find(u':');
    if (name == u"xmlns") {
        uri = kXmlnsNamespace;
        return true;
    }
    if (colon == WideString::npos) {
        uri.clear();
        return true;
    }
    WideString prefix = name.substr(0, colon);
    if (prefix == u"xml" || prefix == u"xmlns") {
        uri = prefix == u"xml" ? kXmlNamespace : kXmlnsNamespace;
        return true;
    }
    for (const TdomNode* n = element; n; n = n->getParentNode()) {
        if (n->getNodeType() != ntElement_Node) continue;
        auto* e = static_cast<const TdomElement*>(n);
        if (!e->getAttributes()->getNamespaceAware()) continue;
        if (TdomAttr* decl = e->getAttributeNodeNS(kXmlnsNamespace, prefix)) {
            uri = decl->getNodeValue();
            return true;
        }
        if (e->getPrefix() == prefix) {
            uri = e->getNamespaceURI();
            return true;
        }
    }
    return false;
}

}  // namespace

bool TdomElement::chargeDefault(const WideString& literal) {
    // A default made is content made from the declarations like any other: its text and its
    // node are charged to the operation's budget, whether or not it refers to an entity.
    TdomExpansionRun* run = schemaOf(this).activeRun();
    // An attribute takes about two nodes' memory: its own and its place in the element's lists.
    if (run && !run->budget.charge(literal.size() + 2 * TdomExpansionBudget::kNodeChars)) return false;
    ownerDocument_->noteMadeFromDeclarations(1);
    return true;
}

bool TdomElement::defaultRefused() const {
    // Once the operation's budget is spent, no default is made or expanded in it, so a loop
    // over many elements costs little each.
    const TdomExpansionRun* run = schemaOf(const_cast<TdomElement*>(this)).activeRun();
    return run && run->budget.spent();
}

bool TdomElement::reportDefaultLimit(bool atReference) {
    TdomExpansionRun* run = schemaOf(this).activeRun();
    if (run && run->spentReported) return false;
    if (run) run->spentReported = true;
    const bool tooDeep = run && !run->budget.spent();
    sendErrorNotification(ET_UNRESOLVABLE_ENTITY_REFERENCE, this,
                          ExpansionLimitClue(tooDeep, atReference && run ? run->limitAt : WideString()));
    return true;
}

bool TdomElement::addDefaultAttribute(const TdomAttrDeclInfo& decl, const WideString& value) {
    // A namespace-aware element takes namespace-aware attributes only; a default whose prefix
    // is bound nowhere cannot be made and is left out.
    const WideString& name = *decl.name;
    const bool ns = attributeMap_.getNamespaceAware();
    WideString uri;
    if (ns && !namespaceOfDeclaredName(this, name, uri)) return true;
    // Attributes hold their literal form: one that reads back to the normalized value.
    WideString literal = AttributeLiteralOf(value);
    if (!chargeDefault(literal)) return false;
    TdomAttr* attr = ns ? ownerDocument_->createAttributeNS(uri, name) : ownerDocument_->createAttribute(name);
    attr->nodeValue_ = std::move(literal);
    attr->setSpecified(false);
    // The content of a kept entity reference is read-only for its users, yet it is content
    // like any other and gets its defaults: the flag is lifted for the insertion.
    const bool readOnly = getIsReadonly();
    if (!readOnly) {
        setAttributeNodeCommon(attr, ns);
        return true;
    }
    setIsReadonly(false);
    try {
        setAttributeNodeCommon(attr, ns);
    } catch (...) {
        setIsReadonly(true);
        throw;
    }
    attr->setIsReadonly(true);
    setIsReadonly(true);
    return true;
}

bool TdomElement::validateAttributeValues() {
    TdomExpansionScope scope(schemaOf(this));
    // The ID references of the whole subtree are checked, not only the top element's, in
    // document order on an explicit stack; the content of kept entity references too, as
    // validate entered its IDs.
    bool result = true;
    TdomDeclMemo memo(schemaOf(this));
    std::vector<TdomNode*> stack{this};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        if (node->getNodeType() == ntElement_Node &&
            !static_cast<TdomElement*>(node)->validateOwnAttributeValues(memo))
            result = false;
        for (size_t i = node->children_.size(); i-- > 0;) {
            TdomNode* child = node->children_[i];
            if (child->getNodeType() == ntElement_Node || child->getNodeType() == ntEntity_Reference_Node)
                stack.push_back(child);
        }
    }
    return result;
}

bool TdomElement::validateOwnAttributeValues(TdomDeclMemo& memo) {
    bool result = true;
    for (size_t i = 0; i < attributeList_.size(); ++i)
        if (!static_cast<TdomAttr*>(attributeList_[i])->validateAttributeValuesWith(memo)) {
            result = false;
            memo.forget();
        }
    return result;
}

bool TdomElement::refreshDefaultAttributes(bool removeFixed, bool deep) {
    if (attributeMap_.getNamespaceAware()) raiseNamespace();
    TdomExpansionScope scope(schemaOf(this));
    bool result = refreshOwnDefaultAttributes(removeFixed);
    if (!deep) return result;
    // The elements below, in document order, without recursion; the first namespace-aware one
    // refuses as its own call would.
    forEachElementBelow(this, [&](TdomElement* element) {
        if (element->attributeMap_.getNamespaceAware()) raiseNamespace();
        if (!element->refreshOwnDefaultAttributes(removeFixed)) result = false;
    });
    return result;
}

bool TdomElement::refreshOwnDefaultAttributes(bool removeFixed) {
    TdomSchemaQuery& schema = schemaOf(this);
    for (size_t i = attributeList_.size(); i-- > 0;) {
        auto* attr = static_cast<TdomAttr*>(attributeList_[i]);
        bool drop = !attr->getSpecified();
        if (!drop && removeFixed) {
            // An attribute the models do not declare is kept.
            TdomAttrDeclInfo decl;
            drop = schema.findAttributeDecl(*tagName_, attr->getNameRef(), decl) && decl.defaultDecl == 1;
        }
        if (!drop) continue;
        removeAttributeNode(attr);
        TdomNode* freed = attr;
        ownerDocument_->freeTreeNode(freed);
    }
    bool result = true;
    std::vector<TdomAttrDeclInfo> decls;
    schema.getAttributeDecls(*tagName_, decls);
    for (const TdomAttrDeclInfo& decl : decls) {
        if (decl.defaultDecl != 0 && decl.defaultDecl != 1) continue;
        bool present = attributeNamed(attributeList_, *decl.name) != nullptr;
        if (decl.defaultDecl == 0 && present) continue;
        if (!present && defaultRefused()) {
            result = false;
            continue;
        }
        WideString value;
        if (schema.normalizeAttributeValue(decl, value) != 0) {
            result = false;
            continue;
        }
        if (present) continue;
        WideString literal = AttributeLiteralOf(value);
        if (!chargeDefault(literal)) {
            result = false;
            continue;
        }
        TdomAttr* attr = ownerDocument_->createAttribute(*decl.name);
        attr->nodeValue_ = std::move(literal);
        attr->setSpecified(false);
        setAttributeNode(attr);
    }
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

TdomAttr::TdomAttr(TdomDocument* ownerDocument, const WideString* sharedName, uint8_t namespaceDeclarationKind)
    : TdomNode(ownerDocument, ntAttribute_Node, kNoChildTypes), name_(sharedName),
      namespaceDeclarationKind_(namespaceDeclarationKind), specified_(true) {}

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

/// True when collapsing blanks would change nothing: no blank at either end, none doubled.
bool isCollapsed(const WideString& value) {
    if (value.empty()) return true;
    if (value.front() == u' ' || value.back() == u' ') return false;
    return value.find(u"  ") == WideString::npos;
}

bool needsResolving(const WideString& literal) {
    for (char16_t c : literal)
        if (c == u'&' || c == u'\t' || c == u'\n' || c == u'\r') return true;
    return false;
}

}  // namespace

uint8_t TdomAttr::literalFaultOf(const TdomLiteralOutcome& outcome, const WideString& failed) const {
    // What XML makes a fatal error in an attribute value, as a declared default reports it.
    switch (outcome.expansion) {
        case TdomExpansionResult::External:
        case TdomExpansionResult::Unparsed: return ET_ATTRIBUTE_REFERS_TO_EXTERNAL_ENTITY;
        case TdomExpansionResult::Circular: return ET_RECURSIVE_REFERENCE;
        case TdomExpansionResult::Unusable: {
            // Delivered but no parsed entity: an external one has no place in a value at all.
            TdomEntityFacts facts;
            if (schemaOf(this).lookupEntity(failed, false, facts) && facts.external)
                return ET_ATTRIBUTE_REFERS_TO_EXTERNAL_ENTITY;
            return ET_NO_PROPER_MARKUP_REFERENCED;
        }
        case TdomExpansionResult::Undeclared:
            // One undeclared inside a declared entity, where every entity must be declared.
            return failed != outcome.reference && undeclaredEntityIsFatal(ownerDocument_)
                       ? ET_NO_PROPER_MARKUP_REFERENCED
                       : 0;
        default: return 0;
    }
}

void TdomAttr::resolveLiteral(const WideString& literal, WideString& result) const {
    if (!needsResolving(literal)) {
        result = literal;
        return;
    }
    // One walk for the whole literal; the entities are built once per run, under its budget.
    TdomExpansionScope scope(schemaOf(this));
    WideString out;
    TdomEntityExpander& expander = scope.literals();
    const TdomLiteralOutcome outcome = ExpandAttributeLiteral(literal, expander, out);
    // Whether a limit refused the literal, and which, for the report of who asked.
    uint8_t& limit = scope.run().literalLimit;
    limit = 0;
    scope.run().literalFault = 0;
    if (outcome.fault == TdomLiteralFault::Expansion) {
        if (outcome.expansion == TdomExpansionResult::TooLarge) {
            limit = expander.budget().spent() ? 1 : 2;
            scope.run().limitAt = outcome.reference;
        }
        else scope.run().literalFault = literalFaultOf(outcome, expander.failedName());
    }
    switch (outcome.fault) {
        case TdomLiteralFault::None: result = std::move(out); return;
        case TdomLiteralFault::Malformed: throw EConvertError(msg::kMalformedLiteral);
        case TdomLiteralFault::BadReference:
            // A character reference raises its own conversion message.
            if (outcome.reference.front() == u'&') XmlCharRefToStr(outcome.reference);
            break;
        case TdomLiteralFault::Expansion: break;
    }
    throw EConvertError(Format(msg::kCannotResolveEntity, {outcome.reference}));
}

bool TdomAttr::findDeclaration(TdomAttrDeclInfo& decl) const {
    return ownerElement_ && schemaOf(this).findAttributeDecl(ownerElement_->getTagNameRef(), *name_, decl);
}

void TdomAttr::setNodeValue(const WideString& value) {
    TdomNode::setNodeValue(value);
    readFromText_ = false;
}

WideString TdomAttr::getLiteralValue() const {
    TdomAttrDeclInfo decl;
    return literalValueWith(findDeclaration(decl) ? &decl : nullptr);
}

WideString TdomAttr::literalValueWith(const TdomAttrDeclInfo* decl) const {
    WideString value;
    resolveLiteral(nodeValue_, value);
    if (decl && decl->attrType != 0 && !isCollapsed(value)) value = CollapseSpaces(value);
    return value;
}

bool TdomAttr::isIdAttribute() const {
    if (!schemaOf(this).hasModels()) return false;
    TdomAttrDeclInfo decl;
    return findDeclaration(decl) && decl.attrType == 2;
}

bool TdomAttr::scanEntityReferences(bool wantLessThan) const {
    const TdomSchemaQuery& schema = schemaOf(this);
    TdomExpansionScope scope(schema);
    const WideString& text = nodeValue_;
    TdomEntityLookup lookup;
    for (size_t i = text.find(u'&'); i != WideString::npos; i = text.find(u'&', i)) {
        size_t semi = text.find(u';', i);
        if (semi == WideString::npos) throw EConvertError(msg::kMalformedLiteral);
        if (!(i + 1 < text.size() && text[i + 1] == u'#')) {
            WideString name = text.substr(i + 1, semi - i - 1);
            TdomEntityFacts facts;
            if (schema.lookupEntity(name, false, facts)) {
                if (!lookup) lookup = schema.entityLookup();
                TdomEntityTestResult r = scope.run().tests.test(
                    wantLessThan ? TdomEntityTestKind::LessThan : TdomEntityTestKind::External, name, false, lookup);
                if (r == TdomEntityTestResult::Undeclared) throw EConvertError(msg::kEntityRefNotResolvable);
                if (r == TdomEntityTestResult::Hit) return true;
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

namespace {

bool inEnumeration(const TdomAttrDeclInfo& decl, const WideString& value) {
    return decl.enumeration && decl.enumeration->IndexOf(value) >= 0;
}

/// Calls f for each space-separated token of a collapsed value.
template <class F>
void forEachToken(const WideString& value, F f) {
    size_t start = 0;
    while (start < value.size()) {
        size_t end = value.find(u' ', start);
        if (end == WideString::npos) end = value.size();
        f(std::u16string_view(value).substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

bool TdomAttr::validate() {
    TdomExpansionScope scope(schemaOf(this));
    TdomDeclMemo memo(schemaOf(this));
    return validateWith(memo);
}

bool TdomAttr::validateWith(TdomDeclMemo& memo) {
    // The declaration is looked up once and serves the literal value and the checks.
    TdomAttrDeclInfo decl;
    const bool declared = ownerElement_ && memo.findAttributeDecl(&ownerElement_->getTagNameRef(), name_, decl);
    if (needsReferenceCheck(declared ? &decl : nullptr)) memo.gather(this);
    // A value without references that needs no collapsing is its own literal form: no copy.
    WideString resolved;
    const bool plain =
        !needsResolving(nodeValue_) && (!declared || decl.attrType == 0 || isCollapsed(nodeValue_));
    if (!plain) {
        try {
            resolved = literalValueWith(declared ? &decl : nullptr);
        } catch (const Exception&) {
            reportUnresolvedLiteral();
            return false;
        }
    }
    const WideString& literal = plain ? nodeValue_ : resolved;
    bool result = true;
    // Plain values (no reference) cannot refer to anything: the two scans are skipped.
    if (nodeValue_.find(u'&') != WideString::npos) {
        bool hit;
        try {
            hit = refersToExternalEntity();
        } catch (const EConvertError&) {
            hit = true;
        }
        if (hit) {
            sendErrorNotification(ET_ATTRIBUTE_REFERS_TO_EXTERNAL_ENTITY, this);
            result = false;
        }
        try {
            hit = refersToEntityWithLessThan();
        } catch (const EConvertError&) {
            hit = true;
        }
        if (hit) {
            sendErrorNotification(ET_LT_IN_REPLACEMENT_TEXT, this);
            result = false;
        }
    }
    // Without any declarations there is nothing to check against, as for elements.
    if (!declared && !schemaOf(this).hasModels()) return result;
    if (!declared) {
        sendErrorNotification(ET_ATTRIBUTE_DEFINITION_NOT_FOUND, this);
        return false;
    }
    const TdomSchemaQuery& schema = schemaOf(this);
    auto report = [&](uint8_t kind) {
        sendErrorNotification(kind, this);
        result = false;
    };
    auto isUnparsedEntity = [&](std::u16string_view name) {
        TdomEntityFacts facts;
        return schema.lookupEntity(WideString(name), false, facts) && facts.unparsed;
    };
    switch (decl.attrType) {
        case 1:  // NOTATION: one of the listed notations, which must be declared
            if (!IsXmlName(literal) || !inEnumeration(decl, literal)) report(7);
            else if (!schema.hasNotationDecl(literal)) report(31);
            break;
        case 2:  // ID: a Name, unique in the document
            if (!IsXmlName(literal)) report(7);
            else if (!ownerDocument_->getIdMap().add(literal, this)) report(11);
            break;
        case 5:  // ENTITY: the name of a declared unparsed entity
            if (!IsXmlName(literal)) report(7);
            else if (!isUnparsedEntity(literal)) report(30);
            break;
        case 6:  // ENTITIES
            if (!IsXmlNames(literal)) {
                report(7);
                break;
            }
            // The tokens from a copy: a handler of a report may change the value meanwhile.
            forEachToken(WideString(literal), [&](std::u16string_view token) {
                if (!isUnparsedEntity(token)) report(30);
            });
            break;
        case 7:  // NMTOKEN, or one token of an enumeration
            if (!IsXmlNmtoken(literal)) report(7);
            else if (decl.enumeration && decl.enumeration->getCount() > 0 && !inEnumeration(decl, literal)) report(7);
            break;
        case 8:  // NMTOKENS
            if (!IsXmlNmtokens(literal)) report(7);
            break;
        default:  // CDATA; IDREF and IDREFS wait for the complete ID map (validateAttributeValues)
            break;
    }
    return result;
}

bool TdomAttr::validateAttributeValues() {
    TdomExpansionScope scope(schemaOf(this));
    TdomDeclMemo memo(schemaOf(this));
    return validateAttributeValuesWith(memo);
}

void TdomAttr::reportUnresolvedLiteral() {
    // Past the run's expansion budget or the depth of expansion the report is that of content
    // past it, naming the limit.
    const TdomExpansionRun* run = schemaOf(this).activeRun();
    if (run && run->literalLimit != 0)
        sendErrorNotification(ET_UNRESOLVABLE_ENTITY_REFERENCE, this,
                              ExpansionLimitClue(run->literalLimit == 2, run->limitAt));
    else
        sendErrorNotification(run && run->literalFault ? run->literalFault : ET_ENTITY_DECLARATION_NOT_FOUND, this);
}

bool TdomAttr::needsReferenceCheck(const TdomAttrDeclInfo* decl) const {
    // Only a value with a reference in it can fail to resolve; other values matter for ID
    // references only.
    const bool reference = decl && (decl->attrType == 3 || decl->attrType == 4);
    return reference || nodeValue_.find(u'&') != WideString::npos;
}

bool TdomAttr::validateAttributeValuesWith(TdomDeclMemo& memo) {
    TdomAttrDeclInfo decl;
    const bool declared = ownerElement_ && memo.findAttributeDecl(&ownerElement_->getTagNameRef(), name_, decl);
    const bool reference = declared && (decl.attrType == 3 || decl.attrType == 4);
    if (!needsReferenceCheck(declared ? &decl : nullptr)) return true;
    WideString literal;
    try {
        literal = literalValueWith(declared ? &decl : nullptr);
    } catch (const Exception&) {
        reportUnresolvedLiteral();
        return false;
    }
    // An attribute the models do not declare was reported by validate (kind 6); no check here.
    if (!reference) return true;
    const TdomIdMap& ids = ownerDocument_->getIdMap();
    bool result = true;
    if (decl.attrType == 3) {
        if (!IsXmlName(literal)) {
            sendErrorNotification(ET_ATTRIBUTE_VALUE_TYPE_MISMATCH, this);
            result = false;
        } else if (!ids.find(literal)) {
            sendErrorNotification(ET_TARGET_ID_VALUE_NOT_FOUND, this);
            result = false;
        }
        return result;
    }
    if (!IsXmlNames(literal)) {
        sendErrorNotification(ET_ATTRIBUTE_VALUE_TYPE_MISMATCH, this);
        return false;
    }
    forEachToken(literal, [&](std::u16string_view token) {
        if (!ids.contains(token)) {
            sendErrorNotification(ET_TARGET_ID_VALUE_NOT_FOUND, this);
            result = false;
        }
    });
    return result;
}

}  // namespace xmldom
