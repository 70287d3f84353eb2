// The document: node pages and registry, the factories with their name checks, the document
// child rules, freeing and importing of subtrees, lookups by ID and tag name, validation.

#include "XmlDomDocument.h"

#include "XmlDomASQuery.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>

#include <sys/mman.h>

#include "XmlDomImpl.h"
#include "XmlDomInternal.h"
#include "XmlErrorKinds.h"
#include "XmlUri.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define DOM_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define DOM_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define DOM_POISON(p, n) ((void)(p), (void)(n))
#define DOM_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace xmldom {

using namespace detail;

// ---- node pages -----------------------------------------------------------------------------

namespace {

/// Pages of freed documents, kept for the next documents of the process: a program that reads
/// or builds one document after another reuses memory that is already present instead of
/// giving it back to the system and faulting it in again. Only what the next documents of a
/// batch reuse is kept; the pages of one large document go back to the system when it is freed.
struct SparePages {
    static constexpr size_t kMaxSmall = 64;  ///< 4 MB of small pages
    static constexpr size_t kMaxLarge = 4;   ///< 4 MB of large pages
    std::mutex lock;
    std::vector<std::byte*> small, large;
};

/// Never destroyed: documents freed while the process ends still find it.
SparePages& Spares() {
    static auto* spares = new SparePages;
    return *spares;
}

}  // namespace

std::byte* TdomNodePages::takeSpare(bool large) {
    SparePages& spares = Spares();
    std::lock_guard<std::mutex> hold(spares.lock);
    std::vector<std::byte*>& list = large ? spares.large : spares.small;
    if (list.empty()) return nullptr;
    std::byte* page = list.back();
    list.pop_back();
    return page;
}

size_t TdomNodePages::spareBytes() {
    SparePages& spares = Spares();
    std::lock_guard<std::mutex> hold(spares.lock);
    return spares.small.size() * kPageSize + spares.large.size() * kLargePageSize;
}

bool TdomNodePages::keepSpare(std::byte* page, bool large) {
    SparePages& spares = Spares();
    std::lock_guard<std::mutex> hold(spares.lock);
    std::vector<std::byte*>& list = large ? spares.large : spares.small;
    if (list.size() >= (large ? SparePages::kMaxLarge : SparePages::kMaxSmall)) return false;
    try {
        list.push_back(page);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

TdomNodePages::~TdomNodePages() {
    for (size_t i = 0; i < pages_.size(); ++i) {
        const bool large = i >= kSmallPages;
        // A kept page stays poisoned: nothing may touch the freed document's nodes.
        DOM_POISON(pages_[i], pageSizeAt(i));
        if (keepSpare(pages_[i], large)) continue;
        DOM_UNPOISON(pages_[i], pageSizeAt(i));
        if (!large) ::operator delete(pages_[i], std::align_val_t(kGrain));
        else munmap(pages_[i], kLargePageSize);
    }
}

void* TdomNodePages::allocate(size_t size) {
    size_t cls = (size + kGrain - 1) / kGrain;
    if (cls >= kClasses) return ::operator new(size, std::align_val_t(kGrain));
    size_t bytes = cls * kGrain;
    if (FreeChunk* chunk = free_[cls]) {
        DOM_UNPOISON(chunk, bytes);
        free_[cls] = chunk->next;
        return chunk;
    }
    if (left_ < bytes) {
        makeRoomForOne(pages_);
        const size_t pageSize = pageSizeAt(pages_.size());
        std::byte* page = takeSpare(pageSize != kPageSize);
        if (page) {
            // A page of a freed document: its memory is present already.
        } else if (pageSize == kPageSize) {
            page = static_cast<std::byte*>(::operator new(kPageSize, std::align_val_t(kGrain)));
        } else {
            void* mapped = mmap(nullptr, pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                                -1, 0);
            if (mapped == MAP_FAILED) throw std::bad_alloc();
            page = static_cast<std::byte*>(mapped);
        }
        pages_.push_back(page);
        DOM_POISON(page, pageSize);
        cursor_ = page;
        left_ = pageSize;
    }
    void* p = cursor_;
    cursor_ += bytes;
    left_ -= bytes;
    DOM_UNPOISON(p, bytes);
    return p;
}

void TdomNodePages::release(void* p, size_t size) {
    size_t cls = (size + kGrain - 1) / kGrain;
    if (cls >= kClasses) {
        ::operator delete(p, std::align_val_t(kGrain));
        return;
    }
    auto* chunk = static_cast<FreeChunk*>(p);
    chunk->next = free_[cls];
    free_[cls] = chunk;
    DOM_POISON(reinterpret_cast<std::byte*>(p) + sizeof(FreeChunk), cls * kGrain - sizeof(FreeChunk));
}

void TdomNodeRegistry::addBlock() {
    detail::makeRoomForOne(blocks_);
    blocks_.push_back(std::unique_ptr<TdomNode*[]>(new TdomNode*[kBlock]));
}

namespace detail {

void destroyNode(TdomNode* node) {
    TdomDocument* doc = node->getOwnerDocument();
    if (doc && doc != node && node->allocSize_) doc->releaseNode(node);
    else delete node;
}

}  // namespace detail

// ---- ID map ---------------------------------------------------------------------------------

size_t TdomIdMap::hashOf(std::u16string_view id) {
    // FNV-1a over the code units: IDs are short, a byte-wise hash would cost more.
    size_t h = 14695981039346656037ull;
    for (char16_t c : id) h = (h ^ c) * 1099511628211ull;
    return h ^ (h >> 29);
}

size_t TdomIdMap::slotOf(std::u16string_view id, size_t hash) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (!s.used) return kNone;
        if (s.hash == hash && s.id == id) return i;
    }
}

TdomAttr* TdomIdMap::find(std::u16string_view id) const {
    const size_t at = slotOf(id, hashOf(id));
    return at == kNone ? nullptr : slots_[at].attr;
}

bool TdomIdMap::add(const WideString& id, TdomAttr* attr) {
    const size_t hash = hashOf(id);
    if (slotOf(id, hash) != kNone) return false;
    if ((size_ + 1) * 2 > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i].used) i = (i + 1) & mask;
    Slot& s = slots_[i];
    s.hash = hash;
    s.attr = attr;
    s.id = id;
    s.used = true;
    ++size_;
    if (attr) attr->inIdMap_ = true;
    return true;
}

void TdomIdMap::clear() {
    for (Slot& s : slots_)
        if (s.used && s.attr) s.attr->inIdMap_ = false;
    slots_.clear();
    size_ = 0;
}

void TdomIdMap::eraseAt(size_t i) {
    const size_t mask = slots_.size() - 1;
    slots_[i] = Slot{};
    --size_;
    for (size_t j = (i + 1) & mask; slots_[j].used; j = (j + 1) & mask) {
        // An entry whose home slot lies cyclically in (i, j] stays; any other moves into the gap.
        const size_t home = slots_[j].hash & mask;
        const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (stays) continue;
        slots_[i] = std::move(slots_[j]);
        slots_[j] = Slot{};
        i = j;
    }
}

void TdomIdMap::forget(TdomAttr* attr) {
    if (!attr->inIdMap_) return;
    attr->inIdMap_ = false;
    // The attribute was entered under its literal value; when that still finds it, one look-up
    // does. A value changed since needs the search over all entries.
    WideString key;
    try {
        attr->resolveLiteral(attr->getNodeValue(), key);
        key = CollapseSpaces(key);
    } catch (const Exception&) {
        key.clear();
    }
    size_t at = slotOf(key, hashOf(key));
    if (at == kNone || slots_[at].attr != attr) {
        at = kNone;
        for (size_t i = 0; i < slots_.size() && at == kNone; ++i)
            if (slots_[i].used && slots_[i].attr == attr) at = i;
    }
    if (at != kNone) eraseAt(at);
}

void TdomIdMap::grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.resize(old.empty() ? 64 : old.size() * 2);
    const size_t mask = slots_.size() - 1;
    for (Slot& s : old) {
        if (!s.used) continue;
        size_t i = s.hash & mask;
        while (slots_[i].used) i = (i + 1) & mask;
        slots_[i] = std::move(s);
    }
}

// ---- construction, registry -----------------------------------------------------------------

namespace {
// Never destroyed: a document held by another static object may be freed at process exit after
// this unit's statics are gone, and its clear() still reaches the empty schema.
TdomSchemaQuery& noDeclarations() {
    static TdomSchemaQuery* const none = new TdomSchemaQuery;
    return *none;
}
}  // namespace

TdomDocument::TdomDocument(TDomImplementation* implementation, TdomDocumentType* doctype)
    : TdomNode(this, ntDocument_Node, kDocumentChildTypes), implementation_(implementation),
      schema_(&noDeclarations()) {
    if (doctype) {
        if (!implementation || doctype->getOwnerDocument() || !implementation->isRegisteredDocumentType(doctype))
            raiseWrongDocument();
        doctype_ = doctype;
        doctype->setOwnerDocument(this);
    }
    // The schema-model collection needs an implementation; a document without one has none
    // and answers "no declaration".
    if (implementation_) {
        ownSchema_ = std::make_unique<TdomASSchemaQuery>(this);
        schema_ = ownSchema_.get();
        schema_->setSizedDocument(this);
    }
}

TdomDocument::~TdomDocument() {
    if (schema_->getSizedDocument() == this) schema_->setSizedDocument(nullptr);
    clear();
    if (doctype_) doctype_->setOwnerDocument(nullptr);
    doctype_ = nullptr;
}

void TdomDocument::registerCreatedNode(TdomNode* node) {
    registry_.makeRoomForOne();
    node->registryIndex_ = static_cast<uint32_t>(registry_.size());
    registry_.push(node);
}

template <class T, class... Args>
T* TdomDocument::makeNode(Args&&... args) {
    registry_.makeRoomForOne();  // so registering cannot fail after construction
    void* memory = pages_.allocate(sizeof(T));
    T* node;
    try {
        node = new (memory) T(std::forward<Args>(args)...);
    } catch (...) {
        pages_.release(memory, sizeof(T));
        throw;
    }
    static_assert(sizeof(T) <= UINT16_MAX, "node sizes are kept in 16 bits");
    static_assert(alignof(T) <= 8, "node pages hand out memory aligned to 8 bytes");
    node->allocSize_ = sizeof(T);
    node->registryIndex_ = static_cast<uint32_t>(registry_.size());
    registry_.push(node);  // room made above
    return node;
}

void TdomDocument::releaseNode(TdomNode* node) {
    if (node->getNodeType() == ntAttribute_Node) idMap_.forget(static_cast<TdomAttr*>(node));
    if (node->getNodeType() == ntEntity_Reference_Node && liveReferences_) --liveReferences_;
    uint32_t i = node->registryIndex_;
    TdomNode* last = registry_.back();
    registry_.at(i) = last;
    last->registryIndex_ = i;
    registry_.pop();
    size_t size = node->allocSize_;
    node->~TdomNode();
    pages_.release(node, size);
}

void TdomDocument::setSchemaQuery(TdomSchemaQuery* schema) {
    if (schema_ != ownSchema_.get() && schema_->getSizedDocument() == this) schema_->setSizedDocument(nullptr);
    if (schema) schema_ = schema;
    else if (ownSchema_) schema_ = ownSchema_.get();
    else schema_ = &noDeclarations();
    if (schema_ != &noDeclarations()) schema_->setSizedDocument(this);
}

size_t TdomDocument::getExpansionBase() const {
    // What was read, or the nodes the document holds that no expansion made, when more (nodes
    // made by hand): entity references not counted, their content is what the bound is about.
    const size_t nodes = registry_.size();
    const size_t other = liveReferences_ + madeFromDeclarations_;
    const size_t own = nodes > other ? nodes - other : 0;
    return std::max(documentSize_, own * TdomExpansionBudget::kNodeChars);
}

TdomASModelCollection* TdomDocument::getASModels() const {
    return ownSchema_ ? &ownSchema_->getCollection() : nullptr;
}

// ---- notifications: forwarded to the implementation, also when a handler raised ------------

namespace {

// Runs the node's own handlers, then the implementation's, which run even when a node handler
// raised (its exception is passed on afterwards).
template <class Own, class Forward> void notifyThenForward(Own own, Forward forward) {
    try {
        own();
    } catch (...) {
        forward();
        throw;
    }
    forward();
}

}  // namespace

void TdomDocument::doAttrModified(TdomNode* sourceNode, TdomAttrChange attrChange, TdomAttr* relatedAttr) {
    notifyThenForward([&] { TdomNode::doAttrModified(sourceNode, attrChange, relatedAttr); },
                      [&] {
                          if (implementation_)
                              implementation_->doAttrModified(this, sourceNode, attrChange, relatedAttr);
                      });
}

void TdomDocument::doCharacterDataModified(TdomNode* node) {
    notifyThenForward([&] { TdomNode::doCharacterDataModified(node); },
                      [&] { if (implementation_) implementation_->doCharacterDataModified(this, node); });
}

void TdomDocument::doNodeInserted(TdomNode* node) {
    notifyThenForward([&] { TdomNode::doNodeInserted(node); },
                      [&] { if (implementation_) implementation_->doNodeInserted(this, node); });
}

void TdomDocument::doNodeRemoved(TdomNode* node) {
    notifyThenForward([&] { TdomNode::doNodeRemoved(node); },
                      [&] { if (implementation_) implementation_->doNodeRemoved(this, node); });
}

// ---- document child rules -------------------------------------------------------------------

TdomDocumentTypeDecl* TdomDocument::getDocTypeDecl() const {
    for (TdomNode* child : children_)
        if (child->getNodeType() == ntDocument_Type_Decl_Node) return static_cast<TdomDocumentTypeDecl*>(child);
    return nullptr;
}

TdomElement* TdomDocument::getDocumentElement() const { return findFirstChildElement(); }

TdomNode* TdomDocument::appendChild(TdomNode* newChild) {
    if (!newChild) raiseNotSupported();
    switch (newChild->getNodeType()) {
    case ntElement_Node:
        if (getDocumentElement()) raiseHierarchy();
        break;
    case ntProcessing_Instruction_Node:
    case ntComment_Node:
    case ntDocument_Fragment_Node:
        break;
    case ntDocument_Type_Decl_Node:
        if (getDocTypeDecl() || getDocumentElement()) raiseHierarchy();
        break;
    default:
        raiseHierarchy();
    }
    return TdomNode::appendChild(newChild);
}

TdomNode* TdomDocument::insertBefore(TdomNode* newChild, TdomNode* refChild) {
    if (!newChild) raiseNotSupported();
    // Index of refChild; nil stands for the end. A refChild that is no child here skips the
    // position tests and is refused by the general rules.
    long refIndex = -1;
    if (!refChild) refIndex = static_cast<long>(children_.size());
    else if (refChild->getParentNode() == this) refIndex = static_cast<long>(refChild->indexInParent());
    TdomElement* element = getDocumentElement();
    TdomDocumentTypeDecl* decl = getDocTypeDecl();
    switch (newChild->getNodeType()) {
    case ntElement_Node:
        if (decl) {
            if (decl->getName() != newChild->getNodeName()) raiseInvalidCharacter();
            if (refIndex >= 0 && static_cast<long>(decl->indexInParent()) >= refIndex) raiseHierarchy();
        }
        if (element) raiseHierarchy();
        break;
    case ntDocument_Type_Decl_Node:
        if (element) {
            if (element->getNodeName() != newChild->getNodeName()) raiseInvalidCharacter();
            if (refIndex >= 0 && static_cast<long>(element->indexInParent()) < refIndex) raiseHierarchy();
        }
        if (decl) raiseHierarchy();
        break;
    case ntProcessing_Instruction_Node:
    case ntComment_Node:
    case ntDocument_Fragment_Node:
        break;
    default:
        raiseHierarchy();
    }
    return TdomNode::insertBefore(newChild, refChild);
}

TdomNode* TdomDocument::replaceChild(TdomNode* newChild, TdomNode* oldChild) {
    if (!newChild || !oldChild) raiseNotSupported();
    TdomElement* element = getDocumentElement();
    TdomDocumentTypeDecl* decl = getDocTypeDecl();
    switch (newChild->getNodeType()) {
    case ntElement_Node:
        if (element && element != oldChild) raiseHierarchy();
        if (decl && decl->getName() != newChild->getNodeName()) raiseInvalidCharacter();
        break;
    case ntDocument_Type_Decl_Node:
        if (decl && decl != oldChild) raiseHierarchy();
        if (element && element->getNodeName() != newChild->getNodeName()) raiseInvalidCharacter();
        break;
    case ntProcessing_Instruction_Node:
    case ntComment_Node:
    case ntDocument_Fragment_Node:
        break;
    default:
        raiseHierarchy();
    }
    return TdomNode::replaceChild(newChild, oldChild);
}

void TdomDocument::clear() {
    clearing_ = true;
    idMap_.clear();  // before the attributes it names are destroyed
    for (TdomNode* child : children_) child->parent_ = nullptr;
    children_.clear();
    // Nodes only free their own storage, so the order of destruction does not matter.
    registry_.forEach([this](TdomNode* node) {
        size_t size = node->allocSize_;
        node->~TdomNode();
        pages_.release(node, size);
    });
    registry_.clear();
    iterators_.clear();
    walkers_.clear();
    elementLists_.clear();
    elementListsNS_.clear();
    schema_->clear();
    documentSize_ = 0;
    madeFromDeclarations_ = 0;
    liveReferences_ = 0;
    clearing_ = false;
}

// ---- factories ------------------------------------------------------------------------------

TdomElement* TdomDocument::createElement(const WideString& tagName) { return makeNode<TdomElement>(this, tagName); }

TdomElement* TdomDocument::createElementNS(const WideString& namespaceURI, const WideString& qualifiedName) {
    return makeNode<TdomElement>(this, namespaceURI, qualifiedName);
}

TdomElement* TdomDocument::createElementShared(const WideString& sharedTagName, size_t childRoom,
                                               size_t attributeRoom) {
    TdomElement* element = makeNode<TdomElement>(this, &sharedTagName);
    // One block of the right size instead of a list grown by doubling: the blocks given up on
    // the way are what fragments the heap most while a tree is read.
    if (childRoom > 1) element->children_.reserve(childRoom);
    if (attributeRoom > 1) element->attributeList_.reserve(attributeRoom);
    return element;
}

TdomAttr* TdomDocument::addAttributeShared(TdomElement* element, const WideString& sharedName,
                                           uint8_t namespaceDeclarationKind, const WideString& value) {
    TdomAttr* attr = makeNode<TdomAttr>(this, &sharedName, namespaceDeclarationKind);
    attr->nodeValue_ = value;
    attr->readFromText_ = true;
    element->attributeMap_.appendItem(attr);
    attr->ownerElement_ = element;
    if (element->notificationsWanted()) element->doAttrModified(element, AC_ADDITION, attr);
    return attr;
}

TdomAttr* TdomDocument::createAttribute(const WideString& name) { return makeNode<TdomAttr>(this, true, name); }

TdomAttr* TdomDocument::createAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName) {
    return makeNode<TdomAttr>(this, true, namespaceURI, qualifiedName);
}

TdomText* TdomDocument::createTextNode(const WideString& data) {
    TdomText* node = makeNode<TdomText>(this);
    node->nodeValue_ = data;  // a new node: nobody to notify
    return node;
}

TdomComment* TdomDocument::createComment(const WideString& data) {
    TdomComment* node = makeNode<TdomComment>(this);
    node->nodeValue_ = data;  // a new node: nobody to notify
    return node;
}

TdomCDATASection* TdomDocument::createCDATASection(const WideString& data) {
    TdomCDATASection* node = makeNode<TdomCDATASection>(this);
    node->nodeValue_ = data;  // a new node: nobody to notify
    return node;
}

TdomProcessingInstruction* TdomDocument::createProcessingInstruction(const WideString& target, const WideString& data) {
    TdomProcessingInstruction* node = makeNode<TdomProcessingInstruction>(this, target);
    node->setData(data);
    return node;
}

TdomDocumentTypeDecl* TdomDocument::createDocumentTypeDecl(const WideString& name, const WideString& publicId,
                                                           const WideString& systemId,
                                                           const WideString& internalSubset) {
    return makeNode<TdomDocumentTypeDecl>(this, name, publicId, systemId, internalSubset);
}

TdomEntityReference* TdomDocument::createEntityReference(const WideString& name) {
    TdomEntityReference* reference = makeNode<TdomEntityReference>(this, name);
    ++liveReferences_;
    return reference;
}

TdomEntity* TdomDocument::createEntity(const WideString& name, const WideString& publicId, const WideString& systemId,
                                       const WideString& notationName) {
    return makeNode<TdomEntity>(this, name, publicId, systemId, notationName);
}

TdomNotation* TdomDocument::createNotation(const WideString& name, const WideString& publicId,
                                           const WideString& systemId) {
    return makeNode<TdomNotation>(this, name, publicId, systemId);
}

TdomDocumentFragment* TdomDocument::createDocumentFragment() { return makeNode<TdomDocumentFragment>(this); }

TdomElement* TdomDocument::initDocumentElement(const WideString& tagName) {
    if (!IsXmlName(tagName)) raiseInvalidCharacter();
    if (getDocumentElement()) raiseHierarchy();
    TdomElement* element = createElement(tagName);
    appendChild(element);
    return element;
}

TdomElement* TdomDocument::initDocumentElementNS(const WideString& namespaceURI, const WideString& qualifiedName) {
    if (!IsXmlName(qualifiedName)) raiseInvalidCharacter();
    WideString prefix, localName;
    splitQualifiedName(qualifiedName, prefix, localName);
    checkAttributeNamespace(namespaceURI, prefix, qualifiedName);
    if (getDocumentElement()) raiseHierarchy();
    TdomElement* element = createElementNS(namespaceURI, qualifiedName);
    appendChild(element);
    return element;
}

TdomNodeIterator* TdomDocument::createNodeIterator(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter,
                                                   bool expandEntityReferences) {
    makeRoomForOne(iterators_);
    iterators_.push_back(std::make_unique<TdomNodeIterator>(root, whatToShow, filter, expandEntityReferences));
    return iterators_.back().get();
}

TdomTreeWalker* TdomDocument::createTreeWalker(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter,
                                               bool expandEntityReferences) {
    makeRoomForOne(walkers_);
    walkers_.push_back(std::make_unique<TdomTreeWalker>(root, whatToShow, filter, expandEntityReferences));
    return walkers_.back().get();
}

void TdomDocument::freeTreeWalker(TdomTreeWalker*& walker) {
    if (!walker) return;
    auto it = std::find_if(walkers_.begin(), walkers_.end(), [&](const auto& w) { return w.get() == walker; });
    if (it == walkers_.end()) raiseWrongDocument();
    walkers_.erase(it);
    walker = nullptr;
}

void TdomDocument::clearInvalidNodeIterators() {
    std::erase_if(iterators_, [](const auto& it) { return it->getInvalid(); });
    iterators_.shrink_to_fit();
}

void TdomDocument::adjustNodeIterators(TdomNode* removed) {
    for (const auto& it : iterators_) {
        TdomNode* ref = it->getReferenceNode();
        if (it->getInvalid() || !ref) continue;
        if ((ref == removed || ref->isAncestor(removed)) && removed->isAncestor(it->getRoot()))
            it->handleNodeRemoval(removed);
    }
}

// ---- freeing --------------------------------------------------------------------------------

void TdomDocument::freeTreeNode(TdomNode*& node) {
    if (!node) return;
    if (node->getOwnerDocument() != this) raiseWrongDocument();
    if (node == this) raiseNoModification();
    if (node->parent_) raiseInuseNode();
    if (node->getNodeType() == ntAttribute_Node && static_cast<TdomAttr*>(node)->getOwnerElement())
        raiseInuseAttribute();
    // Depth first without recursion, so deep trees cannot exhaust the stack. The read-only
    // flags are lifted on the way: read-only content (entity references) is freed too.
    const bool quiet = !notificationsWanted() && iterators_.empty();
    std::vector<TdomNode*> pending{node};
    while (!pending.empty()) {
        TdomNode* n = pending.back();
        n->setIsReadonly(false);
        if (!n->children_.empty()) {
            if (quiet) {
                TdomNodeVector children;
                children.swap(n->children_);
                for (auto it = children.rbegin(); it != children.rend(); ++it) {
                    (*it)->parent_ = nullptr;
                    pending.push_back(*it);
                }
            } else {
                TdomNode* child = n->children_.front();
                child->setIsReadonly(false);
                n->removeChild(child);
                pending.push_back(child);
            }
            continue;
        }
        if (n->getNodeType() == ntElement_Node) {
            auto* element = static_cast<TdomElement*>(n);
            if (element->getAttributeCount() > 0) {
                // Unobserved, the attributes go from the end (no shifting of the rest); observers
                // see them removed in order.
                TdomAttr* attr = element->getAttributeAt(quiet ? element->getAttributeCount() - 1 : 0);
                attr->setIsReadonly(false);
                if (quiet) element->takeAttribute(attr);
                else element->removeAttributeNode(attr);
                pending.push_back(attr);
                continue;
            }
        }
        pending.pop_back();
        releaseNode(n);
    }
    node = nullptr;
}

// ---- lookups --------------------------------------------------------------------------------

TdomElement* TdomDocument::getElementById(const WideString& elementId) const {
    TdomAttr* attr = idMap_.find(elementId);
    return attr ? attr->getOwnerElement() : nullptr;
}

TdomNodeList* TdomDocument::getElementsByTagName(const WideString& name) {
    for (const auto& list : elementLists_)
        if (list->getQueryName() == name) return list.get();
    makeRoomForOne(elementLists_);
    elementLists_.push_back(std::make_unique<TdomElementsNodeList>(name, this));
    return elementLists_.back().get();
}

TdomNodeList* TdomDocument::getElementsByTagNameNS(const WideString& namespaceURI, const WideString& localName) {
    for (const auto& list : elementListsNS_)
        if (list->getQueryNamespaceURI() == namespaceURI && list->getQueryLocalName() == localName) return list.get();
    makeRoomForOne(elementListsNS_);
    elementListsNS_.push_back(std::make_unique<TdomElementsNodeListNS>(namespaceURI, localName, this));
    return elementListsNS_.back().get();
}

// ---- import ---------------------------------------------------------------------------------

TdomNode* TdomDocument::importChildren(TdomNode* source, TdomNode* copy) {
    for (TdomNode* child = source->getFirstChild(); child; child = child->getNextSibling())
        copy->appendChild(importNode(child, true));
    return copy;
}

TdomNode* TdomDocument::importNode(TdomNode* node, bool deep) {
    if (!node) raiseNotSupported();
    // The references copied in the whole subtree expand under one budget.
    TdomExpansionScope scope(*schema_);
    switch (node->getNodeType()) {
    case ntElement_Node: {
        auto* source = static_cast<TdomElement*>(node);
        TdomElement* copy = source->getIsNamespaceNode()
                                ? createElementNS(source->getNamespaceURI(), source->getNodeName())
                                : createElement(source->getNodeName());
        bool nsMap = source->getAttributes()->getNamespaceAware();
        copy->getAttributes()->setNamespaceAware(nsMap);
        for (int i = 0; i < source->getAttributeCount(); ++i) {
            TdomAttr* attr = source->getAttributeAt(i);
            if (!attr->getSpecified()) continue;
            auto* attrCopy = static_cast<TdomAttr*>(importNode(attr, true));
            if (nsMap) copy->setAttributeNodeNS(attrCopy);
            else copy->setAttributeNode(attrCopy);
        }
        if (deep) importChildren(source, copy);
        return copy;
    }
    case ntAttribute_Node: {
        auto* source = static_cast<TdomAttr*>(node);
        TdomAttr* copy = source->getIsNamespaceNode()
                             ? createAttributeNS(source->getNamespaceURI(), source->getNodeName())
                             : createAttribute(source->getNodeName());
        copy->setNodeValue(source->getNodeValue());
        copy->setSpecified(source->getSpecified());
        copy->setReadFromText(source->getReadFromText());
        return copy;
    }
    case ntText_Node:
        return createTextNode(node->getNodeValue());
    case ntCDATA_Section_Node:
        return createCDATASection(node->getNodeValue());
    case ntEntity_Reference_Node: {
        TdomEntityReference* copy = createEntityReference(node->getNodeName());
        copy->expand();
        return copy;
    }
    case ntEntity_Node: {
        auto* source = static_cast<TdomEntity*>(node);
        TdomEntity* copy = createEntity(source->getNodeName(), source->getPublicId(), source->getSystemId(),
                                        source->getNotationName());
        if (deep) importChildren(source, copy);
        return copy;
    }
    case ntProcessing_Instruction_Node:
        return createProcessingInstruction(node->getNodeName(), node->getNodeValue());
    case ntComment_Node:
        return createComment(node->getNodeValue());
    case ntDocument_Fragment_Node: {
        TdomDocumentFragment* copy = createDocumentFragment();
        if (deep) importChildren(node, copy);
        return copy;
    }
    case ntNotation_Node: {
        auto* source = static_cast<TdomNotation*>(node);
        return createNotation(source->getNodeName(), source->getPublicId(), source->getSystemId());
    }
    default:
        raiseNotSupported();
    }
}

// ---- URI, validation ------------------------------------------------------------------------

void TdomDocument::setDocumentURI(const WideString& uri) {
    std::string ascii;
    ascii.reserve(uri.size());
    for (char16_t c : uri) {
        if (c > 127) throw ESyntax_Err(msg::kSyntaxErr);
        ascii.push_back(static_cast<char>(c));
    }
    if (!IsUriAbsoluteURI(ascii)) throw ESyntax_Err(msg::kSyntaxErr);
    documentURI_ = uri;
}

bool TdomDocument::resolveEntityReferences(uint8_t option) {
    TdomElement* element = getDocumentElement();
    return element ? element->resolveEntityReferences(option) : true;
}

bool TdomDocument::validateAttributeValues() {
    TdomElement* element = getDocumentElement();
    return element ? element->validateAttributeValues() : true;
}

bool TdomDocument::buildASModel() { return schema_->buildFromDeclaration(this); }

bool TdomDocument::validateDocument(uint8_t option) {
    // Each run starts from an empty ID map: a second run on an unchanged document must not
    // find its own IDs of the first run as duplicates. Content, attribute values and
    // defaults expand entities under one budget, and each entity is tested once.
    idMap_.clear();
    TdomExpansionScope scope(*schema_);
    bool result = schema_->validateModels();
    TdomElement* element = getDocumentElement();
    if (!element) {
        sendErrorNotification(ET_ROOT_NOT_FOUND, this);
        result = false;
    }
    if (!resolveEntityReferences(option)) {
        // A spent budget and a fatal fault behind a reference were reported where they were met,
        // so a fatal fault is the first report of its reference; only a reference left for
        // another reason (an entity not delivered, one not declared) is reported here.
        const TdomExpansionRun& run = scope.run();
        if (!run.spentReported && (run.unreportedFailure || run.faultReported.empty()))
            sendErrorNotification(ET_UNRESOLVABLE_ENTITY_REFERENCE, this);
        result = false;
    }
    element = getDocumentElement();
    TdomDocumentTypeDecl* decl = getDocTypeDecl();
    if (decl && element && decl->getName() != element->getNodeName()) {
        sendErrorNotification(ET_ROOT_ELEMENT_TYPE_MISMATCH, this);
        result = false;
    }
    // The document element's walk gathers the attributes the ID reference pass must check;
    // when nothing outside the walk ran, that pass visits those alone instead of the tree.
    std::vector<TdomAttr*> gathered;
    bool complete = false;
    for (size_t i = 0; i < children_.size(); ++i) {
        TdomNode* child = children_[i];
        if (child == element) {
            if (!element->validateGathering(gathered, complete)) result = false;
        } else if (!child->validate()) {
            result = false;
        }
    }
    if (!result) {
        idMap_.clear();
        return false;
    }
    if (!complete) return validateAttributeValues();
    return TdomElement::validateGatheredReferences(gathered);
}

}  // namespace xmldom
