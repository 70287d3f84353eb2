// The document of the XML object model: the only factory of nodes, their owner and their
// store. Nodes are carved from pages the document keeps, and all of them are freed with the
// document (or earlier by freeTreeNode). Adds the document child rules, lookups and import.
#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "XmlDomCharData.h"
#include "XmlDomDecls.h"
#include "XmlDomElements.h"
#include "XmlDomNodes.h"
#include "XmlDomSchema.h"
#include "XmlDomTraversal.h"
#include "XmlStrings.h"

namespace xmldom {

class TDomImplementation;
class TdomASModelCollection;
class TdomASSchemaQuery;

/// Pages of node memory with free lists by size class; what is given back is reused, and the
/// pages of a freed document serve the next documents of the process.
class TdomNodePages {
public:
    TdomNodePages() = default;
    ~TdomNodePages();
    TdomNodePages(const TdomNodePages&) = delete;
    TdomNodePages& operator=(const TdomNodePages&) = delete;

    void* allocate(size_t size);
    void release(void* p, size_t size);
    /// Bytes of node pages that freed documents left for the next ones of the process.
    static size_t spareBytes();

private:
    /// Size classes in steps of 8 bytes (the nodes' alignment): a node takes no more than it is.
    static constexpr size_t kGrain = 8;
    static constexpr size_t kClasses = 64;         ///< sizes up to 512 bytes come from pages
    static constexpr size_t kPageSize = 64 * 1024;
    /// Past the first pages (a large document) pages are larger and mapped with their memory
    /// made present at once: one call instead of a page fault per 4 KB of new nodes.
    static constexpr size_t kLargePageSize = 1024 * 1024;
    static constexpr size_t kSmallPages = 16;
    static size_t pageSizeAt(size_t index) { return index < kSmallPages ? kPageSize : kLargePageSize; }
    struct FreeChunk { FreeChunk* next; };
    /// A page left by a freed document (nullptr: none); keepSpare leaves one for the next
    /// documents, false when enough are kept.
    static std::byte* takeSpare(bool large);
    static bool keepSpare(std::byte* page, bool large);

    std::vector<std::byte*> pages_;
    std::byte* cursor_ = nullptr;
    size_t left_ = 0;
    FreeChunk* free_[kClasses] = {};
};

/// The nodes a document made, in blocks that never move: a new node costs no copy of the list
/// and no second list while it grows. Invariant: size() entries, the first blocks full.
class TdomNodeRegistry {
public:
    size_t size() const { return size_; }
    /// Room for one more entry (may raise std::bad_alloc); push cannot fail afterwards.
    void makeRoomForOne() {
        if (size_ == blocks_.size() * kBlock) addBlock();
    }
    void push(TdomNode* node) {
        at(size_) = node;
        ++size_;
    }
    TdomNode*& at(size_t index) { return blocks_[index >> kShift][index & (kBlock - 1)]; }
    TdomNode* back() { return at(size_ - 1); }
    void pop() { --size_; }
    /// Every entry in order.
    template <class Visit>
    void forEach(Visit visit) {
        for (size_t i = 0; i < size_; ++i) visit(at(i));
    }
    /// No entry and no block left.
    void clear() {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }

private:
    static constexpr size_t kShift = 15;
    static constexpr size_t kBlock = size_t{1} << kShift; ///< entries per block (256 KB)
    void addBlock();

    std::vector<std::unique_ptr<TdomNode*[]>> blocks_;
    size_t size_ = 0;
};

/// The ID map: ID value to the ID attribute holding it, hashed with open addressing (a million
/// IDs insert in linear time, without a heap block per entry for short values). Duplicates are
/// refused. Invariant: the slot table is empty or a power of two at most half full.
class TdomIdMap {
public:
    /// False, and nothing changed, when the value is already present.
    bool add(const WideString& id, TdomAttr* attr);
    /// Takes out the entry of an attribute about to be freed, so no look-up reaches it.
    void forget(TdomAttr* attr);
    /// The attribute holding id, nil when none.
    TdomAttr* find(std::u16string_view id) const;
    bool contains(std::u16string_view id) const { return slotOf(id, hashOf(id)) != kNone; }
    void clear();
    size_t size() const { return size_; }

private:
    struct Slot {
        size_t hash = 0;
        TdomAttr* attr = nullptr;
        WideString id;
        bool used = false;
    };
    static constexpr size_t kNone = static_cast<size_t>(-1);
    static size_t hashOf(std::u16string_view id);
    /// The slot holding id, kNone when absent.
    size_t slotOf(std::u16string_view id, size_t hash) const;
    void grow();
    /// Empties slot i, moving later entries of its probe run back (no tombstones).
    void eraseAt(size_t i);

    std::vector<Slot> slots_;
    size_t size_ = 0;
};

class TdomDocument : public TdomNode {
public:
    /// Both may be nil. With a doctype: no implementation, a doctype that already has an owner
    /// document, or one the implementation did not register: EWrong_Document_Err.
    explicit TdomDocument(TDomImplementation* implementation = nullptr, TdomDocumentType* doctype = nullptr);
    ~TdomDocument() override;

    WideString getNodeName() const override { return u"#document"; }
    void doAttrModified(TdomNode* sourceNode, TdomAttrChange attrChange, TdomAttr* relatedAttr) override;
    void doCharacterDataModified(TdomNode* node) override;
    void doNodeInserted(TdomNode* node) override;
    void doNodeRemoved(TdomNode* node) override;
    WideString getBaseURI() const override { return documentURI_; }
    void setNodeValue(const WideString&) override {}
    bool validateAttributeValues() override;
    /// Document rules first (one document element, one declaration before it), then the
    /// general rules. Refusals: EHierarchy_Request_Err, EInvalid_Character_Err (name mismatch).
    TdomNode* appendChild(TdomNode* newChild) override;
    /// Frees every node, iterator, walker and cached list without notifications.
    void clear() override;
    TdomNode* insertBefore(TdomNode* newChild, TdomNode* refChild) override;
    TdomNode* replaceChild(TdomNode* newChild, TdomNode* oldChild) override;
    bool resolveEntityReferences(uint8_t option) override;

    virtual TdomEntity* createEntity(const WideString& name, const WideString& publicId, const WideString& systemId,
                                     const WideString& notationName);
    virtual TdomNotation* createNotation(const WideString& name, const WideString& publicId, const WideString& systemId);
    /// First child of type 13, or nil.
    virtual TdomDocumentTypeDecl* getDocTypeDecl() const;
    /// First child element, or nil.
    virtual TdomElement* getDocumentElement() const;
    /// Creates and appends the document element; one present: EHierarchy_Request_Err.
    virtual TdomElement* initDocumentElement(const WideString& tagName);
    virtual TdomElement* initDocumentElementNS(const WideString& namespaceURI, const WideString& qualifiedName);
    /// Frees the detached iterators.
    virtual void clearInvalidNodeIterators();
    virtual TdomAttr* createAttribute(const WideString& name);
    virtual TdomAttr* createAttributeNS(const WideString& namespaceURI, const WideString& qualifiedName);
    virtual TdomCDATASection* createCDATASection(const WideString& data);
    virtual TdomComment* createComment(const WideString& data);
    virtual TdomDocumentFragment* createDocumentFragment();
    virtual TdomDocumentTypeDecl* createDocumentTypeDecl(const WideString& name, const WideString& publicId,
                                                         const WideString& systemId, const WideString& internalSubset);
    /// Tag name not an XML Name: EInvalid_Character_Err.
    virtual TdomElement* createElement(const WideString& tagName);
    virtual TdomElement* createElementNS(const WideString& namespaceURI, const WideString& qualifiedName);
    virtual TdomEntityReference* createEntityReference(const WideString& name);
    virtual TdomNodeIterator* createNodeIterator(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter,
                                                 bool expandEntityReferences);
    virtual TdomProcessingInstruction* createProcessingInstruction(const WideString& target, const WideString& data);
    virtual TdomText* createTextNode(const WideString& data);
    virtual TdomTreeWalker* createTreeWalker(TdomNode* root, TdomWhatToShow whatToShow, TdomNodeFilter* filter,
                                             bool expandEntityReferences);
    /// Frees a node in no tree with its subtree and sets node to nil. Refusals: other document
    /// EWrong_Document_Err, the document itself ENo_Modification_Allowed_Err, linked node
    /// EInuse_Err "Inuse node error.", attribute held by an element "Inuse attribute error.".
    virtual void freeTreeNode(TdomNode*& node);
    /// Not made here: EWrong_Document_Err.
    virtual void freeTreeWalker(TdomTreeWalker*& walker);
    /// Owner element of the ID attribute holding elementId, nil when none.
    virtual TdomElement* getElementById(const WideString& elementId) const;
    virtual TdomNodeList* getElementsByTagName(const WideString& name);
    virtual TdomNodeList* getElementsByTagNameNS(const WideString& namespaceURI, const WideString& localName);
    /// Unlinked copy owned by this document; document, document type, declaration or nil:
    /// ENot_Supported_Err.
    virtual TdomNode* importNode(TdomNode* node, bool deep);
    /// Builds the schema models from the type declaration: the internal subset into one, the
    /// external subset (asked of the implementation) into a second. A model already there:
    /// EInvalid_State_Err, nothing built. No declaration: true. A subset that fails to read
    /// leaves no model of its own and gives false; an external subset nobody delivers is
    /// reported as kind 24 and gives false.
    virtual bool buildASModel();
    /// Not a URI reference: ESyntax_Err, the old URI kept.
    virtual void setDocumentURI(const WideString& uri);
    virtual bool validateDocument(uint8_t option);

    /// Typed convenience over freeTreeNode for derived node pointers.
    template <class T>
    void freeTreeNode(T*& node) {
        TdomNode* n = node;
        freeTreeNode(n);
        node = static_cast<T*>(n);
    }

    TDomImplementation* getDomImplementation() const { return implementation_; }
    TdomDocumentType* getDoctype() const { return doctype_; }
    WideString getDocumentURI() const { return documentURI_; }
    /// Stores the URI as given, without the URI test (a parser's file name may hold spaces).
    void storeDocumentURI(const WideString& uri) { documentURI_ = uri; }
    const WideString& getLocation() const { return location_; }
    void setLocation(const WideString& value) { location_ = value; }
    const WideString& getInputEncoding() const { return declaredEncoding_; }
    void setInputEncoding(const WideString& value) { declaredEncoding_ = value; }
    const WideString& getXmlVersion() const { return declaredVersion_; }
    void setXmlVersion(const WideString& value) { declaredVersion_ = value; }
    TdomStandalone getXmlStandalone() const { return standalone_; }
    void setXmlStandalone(TdomStandalone value) { standalone_ = value; }
    /// The ID map: ID value to ID attribute (duplicates refused).
    TdomIdMap& getIdMap() { return idMap_; }
    /// The schema models' answers: the document's own collection when it has an
    /// implementation, else a "no declaration" query, unless another one was set (not owned).
    TdomSchemaQuery* getSchemaQuery() const { return schema_; }
    /// The size of the text the document was read from: its characters, and
    /// TdomExpansionBudget::kNodeChars for each node read other than an entity reference; 0
    /// for a document made by hand. Set by the reader, emptied with the document.
    size_t getDocumentSize() const { return documentSize_; }
    void setDocumentSize(size_t size) { documentSize_ = size; }
    /// The size that bounds what one operation may make from the declarations
    /// (TdomExpansionBudget::limitFor): the size read, or when larger (nodes made by hand)
    /// kNodeChars for each node it holds that is no entity reference and no expansion made.
    size_t getExpansionBase() const;
    /// Nodes were made from the declarations (entity content, declared defaults): they do not
    /// count towards the document's own size.
    void noteMadeFromDeclarations(size_t nodes) { madeFromDeclarations_ += nodes; }
    /// Nil returns to the document's own query.
    void setSchemaQuery(TdomSchemaQuery* schema);
    /// The document's schema models; nil for a document without implementation.
    TdomASModelCollection* getASModels() const;
    /// Whether any node iterator is alive (child-list changes must then adjust them).
    bool hasNodeIterators() const { return !iterators_.empty(); }
    /// Number of nodes the registry holds.
    size_t getRegisteredNodeCount() const { return registry_.size(); }

    /// The reading path's factories, for names already checked and held as this document's
    /// shared copies (getTagNameRef or getNameRef of one of its nodes): no name check, no look-up.
    /// The element is not linked; the attribute is added to a new element (no attribute of
    /// that name yet), with the notification setAttribute gives. The element has room for
    /// childRoom children and attributeRoom attributes (a hint: the lists still grow past it).
    /// The attribute's value is marked as read from text (TdomAttr::getReadFromText).
    TdomElement* createElementShared(const WideString& sharedTagName, size_t childRoom = 0, size_t attributeRoom = 0);
    TdomAttr* addAttributeShared(TdomElement* element, const WideString& sharedName, uint8_t namespaceDeclarationKind,
                                 const WideString& value);

protected:
    /// Adds a node to the registry.
    void registerCreatedNode(TdomNode* node);

private:
    friend class TdomNode;
    friend class TDomImplementation;
    friend class TdomElement;
    friend class TdomAttr;
    friend void detail::destroyNode(TdomNode* node);

    template <class T, class... Args>
    T* makeNode(Args&&... args);
    void releaseNode(TdomNode* node);
    /// The shared copy of a name: elements and attributes of one name keep one string.
    const WideString* internName(const WideString& name) { return &*namePool_.insert(name).first; }
    void adjustNodeIterators(TdomNode* removed);
    TdomNode* importChildren(TdomNode* source, TdomNode* copy);

    TdomNodePages pages_;
    std::unordered_set<WideString> namePool_;  ///< node-based: addresses stay valid
    WideString documentURI_;
    TdomNodeRegistry registry_;
    std::vector<std::unique_ptr<TdomNodeIterator>> iterators_;
    std::vector<std::unique_ptr<TdomTreeWalker>> walkers_;
    std::vector<std::unique_ptr<TdomElementsNodeList>> elementLists_;
    std::vector<std::unique_ptr<TdomElementsNodeListNS>> elementListsNS_;
    TdomDocumentType* doctype_ = nullptr;
    TDomImplementation* implementation_;
    WideString declaredEncoding_;
    TdomIdMap idMap_;
    TdomStandalone standalone_ = STANDALONE_UNSPECIFIED;
    WideString location_;
    WideString declaredVersion_;
    TdomSchemaQuery* schema_;
    size_t documentSize_ = 0;
    size_t madeFromDeclarations_ = 0;  ///< nodes expansions made over the document's life
    size_t liveReferences_ = 0;        ///< entity-reference nodes the document holds
    std::unique_ptr<TdomASSchemaQuery> ownSchema_;
    bool handlersInUse_ = false;  ///< set once any node of this document got a handler
    bool clearing_ = false;
};

}  // namespace xmldom
