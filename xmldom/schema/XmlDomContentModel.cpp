// The content model's nodes, their child-list rules, the owner's factories, the model check,
// the matching of element content against particles and the particles' declaration text.
// Every walk over a subtree runs on an explicit stack, so hostile nesting cannot exhaust ours.
#include "XmlDomContentModel.h"

#include <algorithm>
#include <unordered_set>

#include "XmlDomImpl.h"
#include "XmlDomInternal.h"
#include "XmlDtdReader.h"
#include "XmlErrors.h"

namespace xmldom {

using namespace detail;

namespace {

constexpr uint32_t bit(unsigned t) { return 1u << t; }
constexpr uint32_t kSubsetChildTypes = bit(1) | bit(2) | bit(6) | bit(7) | bit(8) | bit(9) | bit(14) | bit(16);
constexpr uint32_t kGroupChildTypes = bit(10) | bit(11) | bit(13);

[[noreturn]] void raiseIndexSize() { throw EIndex_Size_Err(msg::kIndexSizeErr); }

bool isOccurrence(const WideString& s) { return s.empty() || s == u"?" || s == u"*" || s == u"+"; }

void checkName(const WideString& name) {
    if (!IsXmlName(name)) raiseInvalidCharacter();
}

bool isKnownAttrType(const WideString& t) {
    return t.empty() || t == u"NOTATION" || t == u"CDATA" || t == u"ID" || t == u"IDREF" || t == u"IDREFS" ||
           t == u"ENTITY" || t == u"ENTITIES" || t == u"NMTOKEN" || t == u"NMTOKENS";
}

bool isDefaultDecl(const WideString& d) {
    return d.empty() || d == u"#REQUIRED" || d == u"#IMPLIED" || d == u"#FIXED";
}

}  // namespace

// ------------------------------------------------------------------ node list

int TdomCMNodeList::indexOf(const TdomCMNode* node) const {
    auto it = std::find(items_->begin(), items_->end(), node);
    return it == items_->end() ? -1 : static_cast<int>(it - items_->begin());
}

TdomCMNode* TdomCMNodeList::item(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_->size()) return nullptr;
    return (*items_)[static_cast<size_t>(index)];
}

// ------------------------------------------------------------------ node base

TdomCMNode::TdomCMNode(TdomCMObject* owner, TdomCMNodeType type, WideString name, uint32_t allowedChildTypes)
    : owner_(owner), name_(std::move(name)), allowed_(allowedChildTypes), type_(type) {}

size_t TdomCMNode::indexOfChild(const TdomCMNode* child) const {
    auto it = std::find(children_.begin(), children_.end(), child);
    return static_cast<size_t>(it - children_.begin());
}

TdomCMNode* TdomCMNode::getNextSibling() const {
    if (!parent_) return nullptr;
    size_t i = parent_->indexOfChild(this);
    return i + 1 < parent_->children_.size() ? parent_->children_[i + 1] : nullptr;
}

TdomCMNode* TdomCMNode::getPreviousSibling() const {
    if (!parent_) return nullptr;
    size_t i = parent_->indexOfChild(this);
    return i > 0 && i < parent_->children_.size() ? parent_->children_[i - 1] : nullptr;
}

void TdomCMNode::setNodeValue(const WideString& value) {
    if (readOnly_) raiseNoModification();
    value_ = value;
}

bool TdomCMNode::sendErrorNotification(uint8_t kind, TdomCMNode* relatedNode) {
    TDomImplementation* impl = owner_ ? owner_->getDomImplementation() : nullptr;
    TdomError error(kind, -1, -1, -1, -1, -1, WideString(), nullptr, relatedNode, nullptr, WideString());
    if (impl) return impl->handleError(impl, &error);
    return error.getSeverity() != DOM_SEVERITY_FATAL_ERROR;
}

bool TdomCMNode::isAncestor(const TdomCMNode* node) const {
    // One walk up the parent chain; a second pointer at double pace meets the first only
    // when the chain runs in a circle.
    const TdomCMNode* fast = parent_;
    for (const TdomCMNode* slow = parent_; slow;) {
        if (slow == node) return true;
        slow = slow->parent_;
        if (fast) fast = fast->parent_;
        if (fast) fast = fast->parent_;
        if (fast && fast == slow) raiseHierarchy();
    }
    return false;
}

void TdomCMNode::checkNewChild(TdomCMNode* newChild, const TdomCMNode* refChild) const {
    if (!newChild) raiseNotSupported();
    if (newChild->type_ > 31 || !(allowedChildTypes() & bit(newChild->type_))) raiseHierarchy();
    if (newChild->owner_ != owner_) raiseWrongDocument();
    // Only a node with children can stand above this one.
    if (newChild == this || (newChild->hasChildNodes() && isAncestor(newChild)) || newChild == refChild)
        raiseHierarchy();
    if (readOnly_ || (newChild->parent_ && newChild->parent_->readOnly_)) raiseNoModification();
    if (refChild && refChild->parent_ != this) raiseNodeNotFound();
}

void TdomCMNode::link(TdomCMNode* child, size_t index) {
    children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(index), child);
    child->parent_ = this;
}

void TdomCMNode::unlink(TdomCMNode* child) {
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(indexOfChild(child)));
    child->parent_ = nullptr;
}

TdomCMNode* TdomCMNode::insertBefore(TdomCMNode* newChild, TdomCMNode* refChild) {
    checkNewChild(newChild, refChild);
    if (newChild->parent_) newChild->parent_->unlink(newChild);
    link(newChild, refChild ? indexOfChild(refChild) : children_.size());
    return newChild;
}

TdomCMNode* TdomCMNode::appendChild(TdomCMNode* newChild) { return insertBefore(newChild, nullptr); }

TdomCMNode* TdomCMNode::replaceChild(TdomCMNode* newChild, TdomCMNode* oldChild) {
    if (newChild == oldChild && newChild) {
        if (oldChild->parent_ != this) raiseNodeNotFound();
        return oldChild;
    }
    checkNewChild(newChild, nullptr);
    if (!oldChild || oldChild->parent_ != this) raiseNodeNotFound();
    if (newChild->parent_) newChild->parent_->unlink(newChild);
    size_t index = indexOfChild(oldChild);
    unlink(oldChild);
    link(newChild, index);
    return oldChild;
}

TdomCMNode* TdomCMNode::removeChild(TdomCMNode* oldChild) {
    if (readOnly_) raiseNoModification();
    if (!oldChild || oldChild->parent_ != this) raiseNodeNotFound();
    unlink(oldChild);
    return oldChild;
}

void TdomCMNode::clear() {
    if (readOnly_) raiseNoModification();
    while (!children_.empty()) {
        TdomCMNode* child = children_.back();
        unlink(child);
        owner_->freeNode(child);
    }
}

TdomCMNode* TdomCMNode::cloneNode(bool deep) {
    TdomCMNode* root = owner_->importNode(this);
    if (!deep) return root;
    // Pairs of (source, copy) whose children still have to be copied.
    std::vector<std::pair<const TdomCMNode*, TdomCMNode*>> work{{this, root}};
    while (!work.empty()) {
        auto [source, copy] = work.back();
        work.pop_back();
        for (TdomCMNode* child : source->children_) {
            TdomCMNode* childCopy = owner_->importNode(child);
            copy->link(childCopy, copy->children_.size());
            work.emplace_back(child, childCopy);
        }
    }
    return root;
}

// ------------------------------------------------------------------ comment, PI, fragment, PE reference

TdomCMComment::TdomCMComment(TdomCMObject* owner, const WideString& data)
    : TdomCMNode(owner, ntCMComment, u"#comment", 0) {
    value_ = data;
}

WideString TdomCMComment::substringData(int offset, int count) const {
    if (offset < 0 || count < 0 || static_cast<size_t>(offset) > value_.size()) raiseIndexSize();
    return value_.substr(static_cast<size_t>(offset), static_cast<size_t>(count));
}

void TdomCMComment::appendData(const WideString& arg) { setNodeValue(value_ + arg); }

void TdomCMComment::insertData(int offset, const WideString& arg) {
    if (offset < 0 || static_cast<size_t>(offset) > value_.size()) raiseIndexSize();
    WideString v = value_;
    v.insert(static_cast<size_t>(offset), arg);
    setNodeValue(v);
}

void TdomCMComment::deleteData(int offset, int count) { replaceData(offset, count, WideString()); }

void TdomCMComment::replaceData(int offset, int count, const WideString& arg) {
    if (offset < 0 || count < 0 || static_cast<size_t>(offset) > value_.size()) raiseIndexSize();
    WideString v = value_;
    v.replace(static_cast<size_t>(offset), static_cast<size_t>(count), arg);
    setNodeValue(v);
}

TdomCMNode* TdomCMComment::makeCopy(TdomCMObject* target) const { return target->createComment(value_); }

TdomCMProcessingInstruction::TdomCMProcessingInstruction(TdomCMObject* owner, const WideString& target,
                                                         const WideString& data)
    : TdomCMNode(owner, ntCMProcessingInstruction, target, 0) {
    value_ = data;
}

TdomCMNode* TdomCMProcessingInstruction::makeCopy(TdomCMObject* target) const {
    return target->createProcessingInstruction(name_, value_);
}

TdomCMFragment::TdomCMFragment(TdomCMObject* owner) : TdomCMNode(owner, ntCMFragment, u"#cm-fragment", 0) {}

TdomCMNode* TdomCMFragment::makeCopy(TdomCMObject* target) const { return target->createFragment(); }

TdomCMParameterEntityReference::TdomCMParameterEntityReference(TdomCMObject* owner, const WideString& name)
    : TdomCMNode(owner, ntCMParameterEntityReference, name, 0) {}

TdomCMNode* TdomCMParameterEntityReference::makeCopy(TdomCMObject* target) const {
    return target->createParameterEntityReference(name_);
}

// ------------------------------------------------------------------ subsets

TdomCustomCMIEObject::TdomCustomCMIEObject(TdomCMObject* owner, TdomCMNodeType type, const WideString& name)
    : TdomCMNode(owner, type, name, kSubsetChildTypes) {}

TdomCMNode* TdomCustomCMIEObject::makeCopy(TdomCMObject*) const { raiseNotSupported(); }

TdomCMInternalObject::TdomCMInternalObject(TdomCMObject* owner)
    : TdomCustomCMIEObject(owner, ntCMInternalObject, u"#cm-internal-object") {}

TdomCMExternalObject::TdomCMExternalObject(TdomCMObject* owner)
    : TdomCustomCMIEObject(owner, ntCMExternalObject, u"#cm-external-object") {}

TdomCMElementTypeDeclaration* TdomCustomCMIEObject::findElementTypeDeclaration(const WideString& name) const {
    for (TdomCMNode* child : children_)
        if (child->getNodeType() == ntCMElementTypeDeclaration && child->nameRef() == name)
            return static_cast<TdomCMElementTypeDeclaration*>(child);
    return nullptr;
}

TdomCMNotationDeclaration* TdomCustomCMIEObject::findNotationDeclaration(const WideString& name) const {
    for (TdomCMNode* child : children_)
        if (child->getNodeType() == ntCMNotationDeclaration && child->nameRef() == name)
            return static_cast<TdomCMNotationDeclaration*>(child);
    return nullptr;
}

TdomCustomCMEntDecl* TdomCustomCMIEObject::findEntityDeclaration(const WideString& name, bool parameter) const {
    TdomCMNodeType wanted = parameter ? ntCMParameterEntityDeclaration : ntCMEntityDeclaration;
    for (TdomCMNode* child : children_)
        if (child->getNodeType() == wanted && child->nameRef() == name)
            return static_cast<TdomCustomCMEntDecl*>(child);
    return nullptr;
}

void TdomCustomCMIEObject::resolveParameterEntity(const WideString& name, WideString& text, uint8_t& errorKind) {
    text.clear();
    errorKind = ET_PARAMETER_ENTITY_DECLARATION_NOT_FOUND;
    const TdomCustomCMEntDecl* decl = nullptr;
    for (TdomCMNode* child : children_) {
        if (child->getNodeType() != ntCMParameterEntityDeclaration || child->nameRef() != name) continue;
        auto* d = static_cast<TdomCustomCMEntDecl*>(child);
        if (!d->isInternal() && d->getPublicId().empty() && d->getSystemId().empty()) continue;
        decl = d;
        break;
    }
    if (!decl) return;
    if (decl->isInternal()) {
        text = decl->valueRef();
        errorKind = 0;
        return;
    }
    TDomImplementation* impl = decl->getOwnerCMObject() ? decl->getOwnerCMObject()->getDomImplementation() : nullptr;
    errorKind = XmlFetchExternalParsedEntity(impl, location_, decl->getPublicId(), decl->getSystemId(), text);
}

// ------------------------------------------------------------------ entity and notation declarations

TdomCustomCMEntDecl::TdomCustomCMEntDecl(TdomCMObject* owner, TdomCMNodeType type, const WideString& name)
    : TdomCMNode(owner, type, name, 0) {}

void TdomCustomCMEntDecl::copyFields(TdomCustomCMEntDecl* copy) const {
    copy->value_ = value_;
    copy->publicId_ = publicId_;
    copy->systemId_ = systemId_;
    copy->isInternal_ = isInternal_;
}

TdomCMEntityDeclaration::TdomCMEntityDeclaration(TdomCMObject* owner, const WideString& name)
    : TdomCustomCMEntDecl(owner, ntCMEntityDeclaration, name) {}

TdomCMNode* TdomCMEntityDeclaration::makeCopy(TdomCMObject* target) const {
    TdomCMEntityDeclaration* copy = target->createEntityDeclaration(name_, WideString());
    copyFields(copy);
    copy->notationName_ = notationName_;
    return copy;
}

TdomCMParameterEntityDeclaration::TdomCMParameterEntityDeclaration(TdomCMObject* owner, const WideString& name)
    : TdomCustomCMEntDecl(owner, ntCMParameterEntityDeclaration, name) {}

TdomCMNode* TdomCMParameterEntityDeclaration::makeCopy(TdomCMObject* target) const {
    TdomCMParameterEntityDeclaration* copy = target->createParameterEntityDeclaration(name_, WideString());
    copyFields(copy);
    return copy;
}

TdomCMNotationDeclaration::TdomCMNotationDeclaration(TdomCMObject* owner, const WideString& name,
                                                     const WideString& publicId, const WideString& systemId)
    : TdomCMNode(owner, ntCMNotationDeclaration, name, 0), publicId_(publicId), systemId_(systemId) {}

TdomCMNode* TdomCMNotationDeclaration::makeCopy(TdomCMObject* target) const {
    return target->createNotationDeclaration(name_, publicId_, systemId_);
}

// ------------------------------------------------------------------ element types and attributes

TdomCMElementTypeDeclaration::TdomCMElementTypeDeclaration(TdomCMObject* owner, const WideString& name,
                                                           TdomCMContentType contentType)
    : TdomCMNode(owner, ntCMElementTypeDeclaration, name, 0), contentType_(contentType) {}

uint32_t TdomCMElementTypeDeclaration::allowedChildTypes() const {
    switch (contentType_) {
        case ctMixed: return bit(12);
        case ctChildren: return bit(10) | bit(11);
        default: return 0;
    }
}

WideString TdomCMElementTypeDeclaration::getContentSpec() const {
    if (contentType_ == ctEmpty) return u"EMPTY ";
    if (contentType_ == ctAny) return u"ANY ";
    if (children_.empty()) return {};
    return static_cast<const TdomCMParticle*>(children_.front())->writeText();
}

TdomCMNode* TdomCMElementTypeDeclaration::makeCopy(TdomCMObject* target) const {
    return target->createElementTypeDeclaration(name_, contentType_);
}

TdomCMAttrList::TdomCMAttrList(TdomCMObject* owner, const WideString& name)
    : TdomCMNode(owner, ntCMAttrList, name, bit(15)) {}

TdomCMNode* TdomCMAttrList::makeCopy(TdomCMObject* target) const { return target->createAttributeList(name_); }

TdomCMAttrDefinition::TdomCMAttrDefinition(TdomCMObject* owner, const WideString& name, const WideString& attType,
                                           const WideString& defaultDecl, const WideString& defaultValue)
    : TdomCMNode(owner, ntCMAttrDefinition, name, 0), attType_(attType), defaultDecl_(defaultDecl) {
    value_ = defaultValue;
}

uint32_t TdomCMAttrDefinition::allowedChildTypes() const {
    if (attType_.empty()) return bit(18);
    if (attType_ == u"NOTATION") return bit(17);
    return 0;
}

bool TdomCMAttrDefinition::validate() {
    bool ok = true;
    if (attType_ == u"ID" && defaultDecl_ != u"#REQUIRED" && defaultDecl_ != u"#IMPLIED") {
        ok = false;
        if (!sendErrorNotification(ET_ID_NEITHER_IMPLIED_NOR_REQUIRED, this)) return false;
    }
    uint8_t repeatKind = attType_ == u"NOTATION" ? ET_DUPLICATE_NOTATION_TOKEN : ET_DUPLICATE_ENUMERATION_TOKEN;
    std::unordered_set<WideString> tokens;
    for (TdomCMNode* token : children_) {
        if (tokens.insert(token->nameRef()).second) continue;
        ok = false;
        if (!sendErrorNotification(repeatKind, token)) return false;
    }
    return ok;
}

TdomCMNode* TdomCMAttrDefinition::makeCopy(TdomCMObject* target) const {
    return target->createAttributeDefinition(name_, attType_, defaultDecl_, value_);
}

TdomCMNameParticle::TdomCMNameParticle(TdomCMObject* owner, const WideString& name)
    : TdomCMNode(owner, ntCMNameParticle, name, 0) {}

TdomCMNode* TdomCMNameParticle::makeCopy(TdomCMObject* target) const { return target->createNameParticle(name_); }

TdomCMNmtokenParticle::TdomCMNmtokenParticle(TdomCMObject* owner, const WideString& token)
    : TdomCMNode(owner, ntCMNmtokenParticle, token, 0) {}

TdomCMNode* TdomCMNmtokenParticle::makeCopy(TdomCMObject* target) const {
    return target->createNmtokenParticle(name_);
}

// ------------------------------------------------------------------ particles

TdomCMParticle::TdomCMParticle(TdomCMObject* owner, TdomCMNodeType type, const WideString& name, uint32_t allowed,
                               const WideString& occurrence)
    : TdomCMNode(owner, type, name, allowed), occurrence_(occurrence) {}

void TdomCMParticle::setFrequency(const WideString& occurrence) {
    if (!isOccurrence(occurrence)) raiseInvalidCharacter();
    occurrence_ = occurrence;
}

bool TdomCMParticle::contentModelTest(const TdomCMNameList& names, size_t& position, bool& ambiguous) const {
    try {
        return testOnce(names, position, ambiguous, 0);
    } catch (const Exception&) {
        return false;
    }
}

bool TdomCMParticle::testOnce(const TdomCMNameList&, size_t&, bool&, int) const {
    throw EParserException(u"Parser exception in TdomCMParticle.contentModelTest");
}

bool TdomCMParticle::contentModelTestWithOccurrence(const TdomCMNameList& names, size_t& position,
                                                    bool& ambiguous) const {
    try {
        return testWithOccurrence(names, position, ambiguous, 0);
    } catch (const Exception&) {
        return false;
    }
}

bool TdomCMParticle::testWithOccurrence(const TdomCMNameList& names, size_t& position, bool& ambiguous,
                                        int depth) const {
    if (depth > kMaxMatchDepth) return false;
    const bool optional = occurrence_ == u"?" || occurrence_ == u"*";
    const bool repeated = occurrence_ == u"+" || occurrence_ == u"*";
    if (!occurrence_.empty() && !optional && !repeated) return false;
    size_t pos = position;
    if (!testOnce(names, pos, ambiguous, depth)) return optional;
    position = pos;
    if (!repeated) return true;
    // Repeat while names remain and a pass consumes some; a pass that consumes nothing ends it.
    while (position < names.size()) {
        size_t next = position;
        if (!testOnce(names, next, ambiguous, depth) || next == position) break;
        position = next;
    }
    return true;
}

WideString TdomCMParticle::writeText() const {
    // One output text, written in document order from an explicit stack of (group, next child).
    WideString out;
    std::vector<std::pair<const TdomCMParticle*, size_t>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        TdomCMNodeType type = node->getNodeType();
        const auto& kids = node->children();
        const bool group = type == ntCMSequenceParticle || type == ntCMChoiceParticle;
        if (next == 0) {
            if (type == ntCMSequenceParticle && kids.empty()) raiseNotSupported();
            if (group) {
                out += u'(';
            } else if (type == ntCMPcdataChoiceParticle) {
                out += u"( #PCDATA";
                for (const TdomCMNode* k : kids) {
                    out += u" | ";
                    out += k->nameRef();
                }
                out += u" )";
            } else {
                out += node->nameRef();
            }
        }
        if (group && next < kids.size()) {
            if (next > 0) out += type == ntCMSequenceParticle ? u", " : u" | ";
            const auto* child = static_cast<const TdomCMParticle*>(kids[next++]);
            stack.emplace_back(child, 0);
            continue;
        }
        if (group) out += u')';
        out += node->occurrence_;
        stack.pop_back();
    }
    return out;
}

TdomCMSequenceParticle::TdomCMSequenceParticle(TdomCMObject* owner, const WideString& occurrence)
    : TdomCMParticle(owner, ntCMSequenceParticle, u"#sequence-particle", kGroupChildTypes, occurrence) {}

bool TdomCMSequenceParticle::testOnce(const TdomCMNameList& names, size_t& position, bool& ambiguous,
                                      int depth) const {
    size_t pos = position;
    for (TdomCMNode* child : children_)
        if (!static_cast<TdomCMParticle*>(child)->testWithOccurrence(names, pos, ambiguous, depth + 1)) return false;
    position = pos;
    return true;
}

TdomCMNode* TdomCMSequenceParticle::makeCopy(TdomCMObject* target) const {
    return target->createSequenceParticle(occurrence_);
}

TdomCMChoiceParticle::TdomCMChoiceParticle(TdomCMObject* owner, const WideString& occurrence)
    : TdomCMParticle(owner, ntCMChoiceParticle, u"#choice-particle", kGroupChildTypes, occurrence) {}

bool TdomCMChoiceParticle::testOnce(const TdomCMNameList& names, size_t& position, bool& ambiguous,
                                    int depth) const {
    // An alternative that matches without consuming a name only counts when no other one
    // consumes names; two alternatives that both consume names make the model ambiguous.
    bool emptyMatch = false;
    bool consumingMatch = false;
    size_t found = position;
    for (TdomCMNode* child : children_) {
        size_t pos = position;
        if (!static_cast<TdomCMParticle*>(child)->testWithOccurrence(names, pos, ambiguous, depth + 1)) continue;
        if (pos == position) {
            emptyMatch = true;
            continue;
        }
        if (consumingMatch) {
            ambiguous = true;
            return false;
        }
        consumingMatch = true;
        found = pos;
    }
    if (!consumingMatch && !emptyMatch) return false;
    position = found;
    return true;
}

TdomCMNode* TdomCMChoiceParticle::makeCopy(TdomCMObject* target) const {
    return target->createChoiceParticle(occurrence_);
}

TdomCMPcdataChoiceParticle::TdomCMPcdataChoiceParticle(TdomCMObject* owner)
    : TdomCMParticle(owner, ntCMPcdataChoiceParticle, u"#pcdata-choice-particle", bit(13), u"*") {}

bool TdomCMPcdataChoiceParticle::testOnce(const TdomCMNameList& names, size_t& position, bool&, int) const {
    // Mixed content: one name that is among the listed element names.
    if (position >= names.size()) return false;
    for (TdomCMNode* child : children_)
        if (child->nameRef() == names[position]) {
            ++position;
            return true;
        }
    return false;
}

TdomCMNode* TdomCMPcdataChoiceParticle::makeCopy(TdomCMObject* target) const {
    TdomCMPcdataChoiceParticle* copy = target->createPcdataChoiceParticle();
    copy->occurrence_ = occurrence_;
    return copy;
}

TdomCMElementParticle::TdomCMElementParticle(TdomCMObject* owner, const WideString& name,
                                             const WideString& occurrence)
    : TdomCMParticle(owner, ntCMElementParticle, name, 0, occurrence) {}

bool TdomCMElementParticle::testOnce(const TdomCMNameList& names, size_t& position, bool&, int) const {
    if (position >= names.size() || names[position] != name_) return false;
    ++position;
    return true;
}

TdomCMNode* TdomCMElementParticle::makeCopy(TdomCMObject* target) const {
    return target->createElementParticle(name_, occurrence_);
}

// ------------------------------------------------------------------ owner

TdomCMObject::TdomCMObject(TDomImplementation* implementation) : implementation_(implementation) {
    external_ = registerNode(new TdomCMExternalObject(this));
    internal_ = registerNode(new TdomCMInternalObject(this));
}

TdomCMObject::~TdomCMObject() {
    for (TdomCMNode* node : registry_) delete node;
}

template <class T>
T* TdomCMObject::registerNode(T* node) {
    std::unique_ptr<T> guard(node);
    node->registryIndex_ = registry_.size();
    registry_.push_back(node);
    return guard.release();
}

void TdomCMObject::destroyNode(TdomCMNode* node) {
    size_t i = node->registryIndex_;
    registry_[i] = registry_.back();
    registry_[i]->registryIndex_ = i;
    registry_.pop_back();
    delete node;
}

TdomCMAttrDefinition* TdomCMObject::createAttributeDefinition(const WideString& name, const WideString& attType,
                                                              const WideString& defaultDecl,
                                                              const WideString& defaultValue) {
    checkName(name);
    if (!isKnownAttrType(attType) || !isDefaultDecl(defaultDecl)) raiseInvalidCharacter();
    if ((defaultDecl == u"#REQUIRED" || defaultDecl == u"#IMPLIED") && !defaultValue.empty()) raiseInvalidCharacter();
    if (!IsXmlAttValue(u"\"" + defaultValue + u"\"") && !IsXmlAttValue(u"'" + defaultValue + u"'"))
        raiseInvalidCharacter();
    return registerNode(new TdomCMAttrDefinition(this, name, attType, defaultDecl, defaultValue));
}

TdomCMAttrList* TdomCMObject::createAttributeList(const WideString& name) {
    checkName(name);
    return registerNode(new TdomCMAttrList(this, name));
}

TdomCMChoiceParticle* TdomCMObject::createChoiceParticle(const WideString& occurrence) {
    if (!isOccurrence(occurrence)) raiseInvalidCharacter();
    return registerNode(new TdomCMChoiceParticle(this, occurrence));
}

TdomCMComment* TdomCMObject::createComment(const WideString& data) {
    return registerNode(new TdomCMComment(this, data));
}

TdomCMElementParticle* TdomCMObject::createElementParticle(const WideString& name, const WideString& occurrence) {
    checkName(name);
    if (!isOccurrence(occurrence)) raiseInvalidCharacter();
    return registerNode(new TdomCMElementParticle(this, name, occurrence));
}

TdomCMElementTypeDeclaration* TdomCMObject::createElementTypeDeclaration(const WideString& name,
                                                                         TdomCMContentType contentType) {
    checkName(name);
    if (contentType > ctChildren) raiseInvalidCharacter();
    return registerNode(new TdomCMElementTypeDeclaration(this, name, contentType));
}

TdomCMEntityDeclaration* TdomCMObject::createEntityDeclaration(const WideString& name, const WideString& value) {
    checkName(name);
    auto* decl = registerNode(new TdomCMEntityDeclaration(this, name));
    decl->value_ = value;
    return decl;
}

TdomCMParameterEntityDeclaration* TdomCMObject::createParameterEntityDeclaration(const WideString& name,
                                                                                 const WideString& value) {
    checkName(name);
    auto* decl = registerNode(new TdomCMParameterEntityDeclaration(this, name));
    decl->value_ = value;
    return decl;
}

TdomCMEntityDeclaration* TdomCMObject::createExternalEntityDeclaration(const WideString& name,
                                                                       const WideString& publicId,
                                                                       const WideString& systemId,
                                                                       const WideString& notationName) {
    checkName(name);
    if (!IsXmlPubidChars(publicId) || !IsXmlSystemChars(systemId)) raiseInvalidCharacter();
    if (!notationName.empty()) checkName(notationName);
    auto* decl = registerNode(new TdomCMEntityDeclaration(this, name));
    decl->publicId_ = publicId;
    decl->systemId_ = systemId;
    decl->notationName_ = notationName;
    decl->isInternal_ = false;
    return decl;
}

TdomCMParameterEntityDeclaration* TdomCMObject::createExternalParameterEntityDeclaration(const WideString& name,
                                                                                         const WideString& publicId,
                                                                                         const WideString& systemId) {
    checkName(name);
    if (!IsXmlPubidChars(publicId) || !IsXmlSystemChars(systemId)) raiseInvalidCharacter();
    auto* decl = registerNode(new TdomCMParameterEntityDeclaration(this, name));
    decl->publicId_ = publicId;
    decl->systemId_ = systemId;
    decl->isInternal_ = false;
    return decl;
}

TdomCMFragment* TdomCMObject::createFragment() { return registerNode(new TdomCMFragment(this)); }

TdomCMNameParticle* TdomCMObject::createNameParticle(const WideString& name) {
    checkName(name);
    return registerNode(new TdomCMNameParticle(this, name));
}

TdomCMNmtokenParticle* TdomCMObject::createNmtokenParticle(const WideString& token) {
    if (!IsXmlNmtoken(token)) raiseInvalidCharacter();
    return registerNode(new TdomCMNmtokenParticle(this, token));
}

TdomCMNotationDeclaration* TdomCMObject::createNotationDeclaration(const WideString& name, const WideString& publicId,
                                                                   const WideString& systemId) {
    checkName(name);
    if (!IsXmlSystemChars(systemId) || !IsXmlPubidChars(publicId)) raiseInvalidCharacter();
    return registerNode(new TdomCMNotationDeclaration(this, name, publicId, systemId));
}

TdomCMParameterEntityReference* TdomCMObject::createParameterEntityReference(const WideString& name) {
    checkName(name);
    return registerNode(new TdomCMParameterEntityReference(this, name));
}

TdomCMPcdataChoiceParticle* TdomCMObject::createPcdataChoiceParticle() {
    return registerNode(new TdomCMPcdataChoiceParticle(this));
}

TdomCMProcessingInstruction* TdomCMObject::createProcessingInstruction(const WideString& target,
                                                                       const WideString& data) {
    if (!IsXmlPITarget(target)) raiseInvalidCharacter();
    return registerNode(new TdomCMProcessingInstruction(this, target, data));
}

TdomCMSequenceParticle* TdomCMObject::createSequenceParticle(const WideString& occurrence) {
    if (!isOccurrence(occurrence)) raiseInvalidCharacter();
    return registerNode(new TdomCMSequenceParticle(this, occurrence));
}

TdomCMNode* TdomCMObject::importNode(TdomCMNode* node) {
    if (!node) raiseNotSupported();
    TdomCMNodeType type = node->getNodeType();
    if (type == ntCMParticle || type == ntCMExternalObject || type == ntCMInternalObject) raiseNotSupported();
    return node->makeCopy(this);
}

void TdomCMObject::freeNode(TdomCMNode*& node) {
    if (!node) return;
    if (node->owner_ != this) raiseWrongDocument();
    if (node->parent_) raiseInuseNode();
    // Depth-first on an explicit stack: children are unlinked, then freed.
    std::vector<TdomCMNode*> stack{node};
    while (!stack.empty()) {
        TdomCMNode* n = stack.back();
        if (!n->children_.empty()) {
            TdomCMNode* child = n->children_.back();
            n->children_.pop_back();
            child->parent_ = nullptr;
            stack.push_back(child);
            continue;
        }
        stack.pop_back();
        if (n == internal_) internal_ = nullptr;
        if (n == external_) external_ = nullptr;
        destroyNode(n);
    }
    node = nullptr;
}

TdomCMElementTypeDeclaration* TdomCMObject::findDeclaration(const WideString& name) const {
    TdomCMElementTypeDeclaration* decl = internal_ ? internal_->findElementTypeDeclaration(name) : nullptr;
    if (!decl && external_) decl = external_->findElementTypeDeclaration(name);
    return decl;
}

bool TdomCMObject::isDeclared(const WideString& name) const {
    return (internal_ && internal_->findNotationDeclaration(name)) ||
           (external_ && external_->findNotationDeclaration(name));
}

bool TdomCMObject::validate() {
    bool ok = true;
    std::unordered_set<WideString> withId;
    std::unordered_set<WideString> withNotation;
    std::unordered_set<WideString> tokens;
    // Reports through the definition; a false answer ends the whole walk.
    auto report = [&ok](TdomCMNode* sender, uint8_t kind, TdomCMNode* related) {
        ok = false;
        return sender->sendErrorNotification(kind, related);
    };
    for (TdomCustomCMIEObject* subset : {static_cast<TdomCustomCMIEObject*>(internal_),
                                         static_cast<TdomCustomCMIEObject*>(external_)}) {
        if (!subset) continue;
        for (TdomCMNode* list : subset->children()) {
            if (list->getNodeType() != ntCMAttrList) continue;
            const WideString& element = list->nameRef();
            for (TdomCMNode* node : list->children()) {
                if (node->getNodeType() != ntCMAttrDefinition) continue;
                auto* def = static_cast<TdomCMAttrDefinition*>(node);
                const WideString& type = def->getAttributeType();
                const WideString& value = def->valueRef();
                tokens.clear();
                if (type == u"ID") {
                    if (!withId.insert(element).second && !report(def, 10, def)) return false;
                } else if (type == u"NOTATION") {
                    for (TdomCMNode* token : def->children()) {
                        if (!isDeclared(token->nameRef()) && !report(def, 31, token)) return false;
                        if (!tokens.insert(token->nameRef()).second && !report(def, 15, token)) return false;
                    }
                    if (!withNotation.insert(element).second && !report(def, 14, def)) return false;
                    TdomCMElementTypeDeclaration* decl = findDeclaration(element);
                    if (decl && decl->getContentType() == ctEmpty && !report(def, 26, def)) return false;
                } else if (type.empty()) {
                    if (!value.empty()) {
                        bool found = false;
                        bool repeated = false;
                        for (TdomCMNode* token : def->children()) {
                            if (token->nameRef() == value) {
                                found = true;
                                break;
                            }
                            if (!tokens.insert(token->nameRef()).second) {
                                repeated = true;
                                if (!report(def, 9, token)) return false;
                                break;
                            }
                        }
                        if (!found && !repeated && !report(def, 5, def)) return false;
                    }
                } else if (!value.empty()) {
                    bool good = true;
                    if (type == u"IDREF" || type == u"ENTITY") good = IsXmlName(value);
                    else if (type == u"IDREFS" || type == u"ENTITIES") good = IsXmlNames(value);
                    else if (type == u"NMTOKEN") good = IsXmlNmtoken(value);
                    else if (type == u"NMTOKENS") good = IsXmlNmtokens(value);
                    if (!good && !report(def, 5, def)) return false;
                }
            }
        }
    }
    return ok;
}

}  // namespace xmldom
