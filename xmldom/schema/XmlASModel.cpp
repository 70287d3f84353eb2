// The declaration store: object lists and named maps, element declarations with their
// content models and attribute declarations, entity declarations with their silent test
// parse and replacement parts, notations, and the model that owns them all.
#include "XmlASModel.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>

#include "DomExceptions.h"
#include "XmlChars.h"
#include "XmlDomContentMatch.h"
#include "XmlDomDocument.h"
#include "XmlDomElements.h"
#include "XmlDomEntityExpansion.h"
#include "XmlDomImpl.h"
#include "XmlParsers.h"
#include "XmlSources.h"
#include "XmlStrings.h"

namespace xmldom {

namespace {

[[noreturn]] void raiseInvalidCharacter() { throw EInvalid_Character_Err(msg::kInvalidCharacterErr); }
[[noreturn]] void raiseModelInUse() { throw EInuse_Err(msg::kContentModelInUseErr); }
[[noreturn]] void raiseNotSupported() { throw ENot_Supported_Err(msg::kNotSupportedErr); }

// The implementation of the test parse: errors stop the parse as they would for the user,
// but reach no error event.
class TdomSilentImplementation : public TDomImplementation {
public:
    void doError(TObject*, TdomError* error, bool& go) override {
        go = error->getSeverity() != DOM_SEVERITY_FATAL_ERROR;
    }
};

}  // namespace

// ---------------------------------------------------------------- TdomASObjectList

TdomASObject* TdomASObjectList::appendASObject(TdomASObject* object) {
    items_.push_back(object);
    return object;
}

void TdomASObjectList::removeASObjectAt(int index) {
    if (index >= 0 && index < getLength()) items_.erase(items_.begin() + index);
}

int TdomASObjectList::indexOf(const TdomASObject* object) const {
    auto it = std::find(items_.begin(), items_.end(), object);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TdomASObjectList::insertBefore(TdomASObject* object, const TdomASObject* ref) {
    int at = ref ? indexOf(ref) : -1;
    if (at < 0) items_.push_back(object);
    else items_.insert(items_.begin() + at, object);
}

void TdomASObjectList::removeASObject(const TdomASObject* object) { removeASObjectAt(indexOf(object)); }

TdomASObject* TdomASObjectList::item(int index) const {
    return index >= 0 && index < getLength() ? items_[static_cast<size_t>(index)] : nullptr;
}

// ---------------------------------------------------------------- TdomASNamedObjectMap

namespace {
// FNV-1a over the units, with the high bits folded down for the slot mask: declaration names
// are short, and the general byte hash cost more than the lookup around it.
size_t hashName(std::u16string_view name) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (char16_t c : name) h = (h ^ c) * 0x100000001b3ull;
    return static_cast<size_t>(h ^ (h >> 29));
}
}  // namespace

size_t TdomASNamedObjectMap::findSlot(std::u16string_view name, size_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        uint32_t s = slots_[i];
        if (s == 0) return i;
        if (hashes_[s - 1] == hash && SameUnits(items_[s - 1]->getName(), name)) return i;
    }
}

void TdomASNamedObjectMap::rebuildIndex(size_t slotCount) {
    std::vector<uint32_t> slots(slotCount, 0);
    slots_.swap(slots);
    const size_t mask = slotCount - 1;
    for (size_t k = 0; k < items_.size(); ++k) {
        size_t i = hashes_[k] & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = static_cast<uint32_t>(k + 1);
    }
}

TdomASObject* TdomASNamedObjectMap::removeNamedItem(const WideString& name) {
    if (slots_.empty()) throw ENot_Found_Err(msg::kNotFoundErr);
    size_t slot = findSlot(name, hashName(name));
    if (slots_[slot] == 0) throw ENot_Found_Err(msg::kNotFoundErr);
    size_t at = slots_[slot] - 1;
    TdomASObject* object = items_[at];
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    hashes_.erase(hashes_.begin() + static_cast<std::ptrdiff_t>(at));
    rebuildIndex(slots_.size());
    return object;
}

TdomASObject* TdomASNamedObjectMap::setNamedItem(TdomASObject* object) {
    const size_t hash = hashName(object->getName());
    if (!slots_.empty()) {
        size_t slot = findSlot(object->getName(), hash);
        if (slots_[slot] != 0) {
            TdomASObject* old = items_[slots_[slot] - 1];
            items_[slots_[slot] - 1] = object;
            return old;
        }
    }
    // Room first, so nothing below can fail half-way; the index stays at most half full.
    if (items_.size() == items_.capacity()) {
        size_t cap = items_.empty() ? 8 : items_.capacity() * 2;
        items_.reserve(cap);
        hashes_.reserve(cap);
    }
    if ((items_.size() + 1) * 2 > slots_.size()) rebuildIndex(slots_.empty() ? 16 : slots_.size() * 2);
    items_.push_back(object);
    hashes_.push_back(hash);
    slots_[findSlot(object->getName(), hash)] = static_cast<uint32_t>(items_.size());
    return nullptr;
}

TdomASObject* TdomASNamedObjectMap::getNamedItem(const WideString& name) const {
    if (slots_.empty()) return nullptr;
    uint32_t s = slots_[findSlot(name, hashName(name))];
    return s ? items_[s - 1] : nullptr;
}

TdomASObject* TdomASNamedObjectMap::item(int index) const {
    return index >= 0 && index < getLength() ? items_[static_cast<size_t>(index)] : nullptr;
}

void TdomASNamedObjectMap::clear() {
    items_.clear();
    hashes_.clear();
    slots_.clear();
}

// ---------------------------------------------------------------- TdomASContentModel

namespace {

// The shared matcher's view of the store's content models.
struct TdomASMatchAdapter {
    using M = const TdomASContentModel*;
    uint8_t listOperator(M m) const { return m->getListOperator(); }
    uint8_t frequency(M m) const { return m->getFrequency(); }
    const WideString& name(M m) const { return m->getName(); }
    size_t subModelCount(M m) const { return static_cast<size_t>(m->getSubModelCount()); }
    M subModel(M m, size_t i) const { return m->getSubModel(static_cast<int>(i)); }
};

using TdomASMatcher = TdomContentMatcher<TdomASMatchAdapter, const TdomASContentModel*>;
using TdomASPointerMatcher =
    TdomContentMatcher<TdomASMatchAdapter, const TdomASContentModel*, std::vector<const WideString*>>;

// Runs one matching entry point with the caller's error flag.
template <class F, class Names>
bool runMatch(const Names& names, bool& error, F f) {
    TdomASMatchAdapter adapter;
    TdomContentMatcher<TdomASMatchAdapter, const TdomASContentModel*, Names> matcher(adapter, names);
    TdomContentMatchState st;
    bool r = f(matcher, st);
    error = st.error || st.tooDeep;
    return r && !error;
}

}  // namespace

TdomASContentModel::TdomASContentModel(TdomASElementDecl* ownerElementDecl, const WideString& name,
                                       uint8_t listOperator)
    : TdomASObject(ownerElementDecl->getOwnerASModel(), listOperator == AS_ELEMENT_NAME ? name : WideString(),
                   AS_CONTENT_MODEL),
      ownerElementDecl_(ownerElementDecl), listOperator_(listOperator) {}

bool TdomASContentModel::allowsSubModelOperator(uint8_t op) const {
    return (listOperator_ == AS_CHOICE || listOperator_ == AS_SEQUENCE) && op <= AS_SEQUENCE;
}

TdomASContentModel* TdomASContentModel::getSubModel(int index) const {
    return static_cast<TdomASContentModel*>(subModels_.item(index));
}

bool TdomASContentModel::choiceTest(const std::vector<WideString>& names, size_t& index, bool& error,
                                    bool optional) const {
    return runMatch(names, error, [&](const TdomASMatcher& m, TdomContentMatchState& st) {
        return m.choiceTest(this, index, st, optional, 0);
    });
}

bool TdomASContentModel::nameTest(const std::vector<WideString>& names, size_t& index, bool& error,
                                  bool optional) const {
    return runMatch(names, error, [&](const TdomASMatcher& m, TdomContentMatchState&) {
        return m.nameTest(this, index, optional);
    });
}

bool TdomASContentModel::sequenceTest(const std::vector<WideString>& names, size_t& index, bool& error,
                                      bool optional) const {
    return runMatch(names, error, [&](const TdomASMatcher& m, TdomContentMatchState& st) {
        return m.sequenceTest(this, index, st, optional, 0);
    });
}

bool TdomASContentModel::contentModelTest(const std::vector<WideString>& names, size_t& index, bool& error,
                                          bool optional) const {
    return runMatch(names, error, [&](const TdomASMatcher& m, TdomContentMatchState& st) {
        return m.test(this, index, st, optional, 0);
    });
}

bool TdomASContentModel::contentModelTestWithFrequency(const std::vector<WideString>& names, size_t& index,
                                                       bool& error) const {
    return runMatch(names, error, [&](const TdomASMatcher& m, TdomContentMatchState& st) {
        return m.withFrequency(this, index, st, 0);
    });
}

bool TdomASContentModel::testChildNames(const std::vector<const WideString*>& names, size_t& index,
                                        bool& error) const {
    return runMatch(names, error, [&](const TdomASPointerMatcher& m, TdomContentMatchState& st) {
        return m.withFrequency(this, index, st, 0);
    });
}

void TdomASContentModel::checkNewSubModel(TdomASContentModel* model) const {
    if (!model) raiseNotSupported();
    if (model->inUse_) raiseModelInUse();
    if (model->ownerElementDecl_ != ownerElementDecl_)
        throw EAS_Wrong_Element_Decl_Err(msg::kWrongElementDeclErr);
    if (!allowsSubModelOperator(model->listOperator_)) raiseNotSupported();
    // A model may not contain itself: the walk up from here must not meet it.
    for (const TdomASContentModel* p = this; p; p = p->parent_)
        if (p == model) throw EHierarchy_Request_Err(msg::kHierarchyRequestErr);
}

TdomASContentModel* TdomASContentModel::appendSubModel(TdomASContentModel* model) {
    checkNewSubModel(model);
    subModels_.appendASObject(model);
    model->inUse_ = true;
    model->parent_ = this;
    return model;
}

TdomASContentModel* TdomASContentModel::insertSubModelBefore(TdomASContentModel* model, TdomASContentModel* ref) {
    checkNewSubModel(model);
    subModels_.insertBefore(model, ref);
    model->inUse_ = true;
    model->parent_ = this;
    return model;
}

TdomASContentModel* TdomASContentModel::removeSubModel(TdomASContentModel* model) {
    int at = model ? subModels_.indexOf(model) : -1;
    if (at < 0) throw ENot_Found_Err(msg::kNodeNotFoundErr);
    subModels_.removeASObjectAt(at);
    model->inUse_ = false;
    model->parent_ = nullptr;
    return model;
}

// ---------------------------------------------------------------- TdomASAttributeDecl

TdomASAttributeDecl::TdomASAttributeDecl(TdomASElementDecl* ownerElement, const WideString& name)
    : TdomASObject(ownerElement->getOwnerASModel(), name, AS_ATTRIBUTE_DECLARATION), ownerElement_(ownerElement) {
    enumeration_.setDuplicates(dupAccept);
}

// ---------------------------------------------------------------- TdomASElementDecl

TdomASElementDecl::TdomASElementDecl(TdomASModel* ownerModel, const WideString& name, uint8_t contentType)
    : TdomASObject(ownerModel, name, AS_ELEMENT_DECLARATION), contentType_(contentType) {}

TdomASElementDecl::~TdomASElementDecl() {
    for (int i = 0; i < attributeDecls_.getLength(); ++i) delete attributeDecls_.item(i);
    for (int i = 0; i < contentModels_.getLength(); ++i) delete contentModels_.item(i);
}

void TdomASElementDecl::setContentType(uint8_t value) {
    if (contentType_ != AS_CONTENT_UNDEFINED) throw ENo_Modification_Allowed_Err(msg::kNoModificationAllowedErr);
    contentType_ = value;
}

bool TdomASElementDecl::allowsContentModelOperator(uint8_t op) const {
    switch (contentType_) {
        case AS_CONTENT_ELEMENT:
        case AS_CONTENT_MIXED:
        case AS_CONTENT_STRICT_MIXED: return op == AS_CHOICE || op == AS_SEQUENCE;
        default: return false;
    }
}

TdomASContentModel* TdomASElementDecl::createContentModel(const WideString& name, uint8_t listOperator) {
    if (listOperator > AS_SEQUENCE) raiseNotSupported();
    auto model = std::make_unique<TdomASContentModel>(this, name, listOperator);
    contentModels_.appendASObject(model.get());
    return model.release();
}

void TdomASElementDecl::removeContentModel(TdomASContentModel*& model) {
    if (!model) return;
    if (model->inUse_) raiseModelInUse();
    int at = contentModels_.indexOf(model);
    if (at < 0) throw ENot_Found_Err(msg::kNodeNotFoundErr);
    while (model->getSubModelCount() > 0) model->removeSubModel(model->getSubModel(model->getSubModelCount() - 1));
    contentModels_.removeASObjectAt(at);
    delete model;
    model = nullptr;
}

TdomASContentModel* TdomASElementDecl::setContentModel(TdomASContentModel* model) {
    TdomASContentModel* old = contentModel_;
    if (model == old) return old;
    if (!model) {
        if (old) old->inUse_ = false;
        contentModel_ = nullptr;
        return old;
    }
    if (model->ownerElementDecl_ != this) throw EAS_Wrong_Element_Decl_Err(msg::kWrongElementDeclErr);
    if (!allowsContentModelOperator(model->listOperator_)) raiseNotSupported();
    if (model->inUse_) raiseModelInUse();
    model->inUse_ = true;
    if (old) old->inUse_ = false;
    contentModel_ = model;
    return old;
}

TdomASAttributeDecl* TdomASElementDecl::findAttributeDecl(const WideString& name) const {
    return static_cast<TdomASAttributeDecl*>(attributeDecls_.getNamedItem(name));
}

bool TdomASElementDecl::addAttributeDecl(const WideString& name, TdomASAttributeDecl*& decl) {
    if (!IsXmlName(name)) raiseInvalidCharacter();
    if ((decl = findAttributeDecl(name))) return false;
    auto made = std::make_unique<TdomASAttributeDecl>(this, name);
    attributeDecls_.setNamedItem(made.get());
    decl = made.release();
    return true;
}

bool TdomASElementDecl::removeAttributeDecl(const WideString& name) {
    if (!attributeDecls_.getNamedItem(name)) return false;
    delete attributeDecls_.removeNamedItem(name);
    return true;
}

// ---------------------------------------------------------------- TdomASEntityDecl

TdomASEntityDecl::TdomASEntityDecl(TdomASModel* ownerModel, const WideString& name, const WideString& value,
                                   const WideString& publicId, const WideString& systemId,
                                   const WideString& notationName)
    : TdomASObject(ownerModel, name, AS_ENTITY_DECLARATION),
      publicId_(publicId), systemId_(systemId), notationName_(notationName) {
    if (!isExternal()) setLiteralValue(value);
}

TdomASEntityDecl::~TdomASEntityDecl() { clearParts(); }

void TdomASEntityDecl::clearParts() {
    for (TdomASEntityModel* p : parts_) delete p;
    parts_.clear();
}

TdomASEntityModel* TdomASEntityDecl::getPart(int index) const {
    return index >= 0 && index < getPartCount() ? parts_[static_cast<size_t>(index)] : nullptr;
}

namespace {

// Text that is plainly well-formed content: XML characters only, no markup and no "]]>".
bool isPlainContent(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'<' || c == u'&') return false;
        if (c == u']' && text.substr(i, 3) == u"]]>") return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
            continue;
        }
        if (!IsXmlCharUnit(c) || (c >= 0xDC00 && c <= 0xDFFF)) return false;
    }
    return true;
}

// Parses the text as element content into a scratch document; false on any exception.
bool parsesAsContent(TXmlToDomParser& parser, const WideString& text) {
    TDomImplementation* impl = parser.getDOMImpl();
    TdomDocument* scratch = nullptr;
    bool ok = true;
    try {
        scratch = impl->createDocument(u"dummy", nullptr);
        parser.parseWideStringInto(text, WideString(), WideString(), scratch->getDocumentElement());
    } catch (...) {
        ok = false;
    }
    if (scratch) impl->freeDocument(scratch);
    return ok;
}

}  // namespace

void TdomASEntityDecl::setLiteralValue(const WideString& value) {
    EntityDeclarationsChanged();
    literalValue_ = value;
    clearParts();
    attributeUsable_ = false;
    if (value.empty()) {
        state_ = AS_USABLE;
        return;
    }
    // Plain text needs no parse; everything else is parsed silently on the model's own
    // implementation, so a value unfit as content never reaches the user's error events.
    bool wellFormed = isPlainContent(value);
    if (!wellFormed) {
        std::optional<TdomSilentImplementation> impl;
        std::optional<TXmlToDomParser> own;
        TXmlToDomParser* parser = ownerModel_ ? ownerModel_->getTestParser() : nullptr;
        if (!parser) {
            impl.emplace();
            own.emplace();
            own->SetDOMImpl(&*impl);
            parser = &*own;
        }
        wellFormed = parsesAsContent(*parser, value);
        // Unfit as content only for a "]]>" in its text, and free of "<" (which no attribute
        // value may hold): fit for attribute values.
        if (!wellFormed && value.find(u'<') == WideString::npos && value.find(u"]]>") != WideString::npos) {
            WideString escaped = value;
            for (size_t at = escaped.find(u"]]>"); at != WideString::npos; at = escaped.find(u"]]>", at + 2))
                escaped.replace(at + 2, 1, u"&gt;");
            attributeUsable_ = parsesAsContent(*parser, escaped);
        }
    }
    state_ = wellFormed ? AS_USABLE : AS_UNUSABLE;
    if (state_ != AS_USABLE) return;
    for (TdomEntityPart& part : CutLiteralValue(value)) {
        auto made = std::make_unique<TdomASEntityModel>(ownerModel_, static_cast<uint8_t>(part.kind), part.text);
        parts_.push_back(made.get());
        made.release();
    }
}

bool TdomASEntityDecl::resolve() {
    if (state_ != AS_UNRESOLVED) return true;
    if (!isExternal() || !isParsed()) return false;
    TDomImplementation* impl = ownerModel_ ? ownerModel_->getDomImplementation() : nullptr;
    if (!impl) return false;
    std::unique_ptr<TStream> stream;
    TXmlParserAction action = PARSER_NONE;
    impl->doExternalParsedEntity(baseUri_.empty() ? ownerModel_->getLocation() : baseUri_, publicId_, systemId_,
                                 stream, action);
    if (action == PARSER_NONE || !stream) return false;
    // Text that was delivered but is no parsed entity (bytes that are not characters of its
    // encoding, a faulty or foreign declaration) is unusable, as content that does not parse
    // is: a reference to it is a fatal error, not one that could not be resolved.
    const auto unusable = [this] {
        EntityDeclarationsChanged();
        literalValue_.clear();
        clearParts();
        state_ = AS_UNUSABLE;
        return false;
    };
    try {
        TXmlInputSource source(stream.get(), 4096, 1, publicId_, systemId_);
        const uint8_t kind = source.getDeclarationKind();
        if (source.hasDeclarationFault() || source.hasEncodingMismatch() ||
            !(kind == kDeclText || kind == kDeclXmlOrText || kind == kDeclNone))
            return unusable();
        WideString text;
        source.getRemainingText(text);
        // The text is the entity's input: its line ends are normalized as a document's are.
        XmlNormalizeLineEnds(text);
        setLiteralValue(text);
    } catch (const EConvertError&) {
        return unusable();
    } catch (const Exception&) {
        return false;
    }
    return state_ == AS_USABLE;
}

// ---------------------------------------------------------------- TdomASModel

TdomASModel::TdomASModel(TDomImplementation* domImpl) : TdomCustomASModel(domImpl) {}

TdomASModel::~TdomASModel() { clear(); }

namespace {
void freeAll(TdomASNamedObjectMap& map) {
    for (int i = 0; i < map.getLength(); ++i) delete map.item(i);
    map.clear();
}
}  // namespace

void TdomASModel::clear() {
    EntityDeclarationsChanged();
    while (!collections_.empty()) {
        TdomASModelCollection* c = collections_.back();
        collections_.pop_back();
        c->models_.erase(std::remove(c->models_.begin(), c->models_.end(), this), c->models_.end());
    }
    freeAll(elementDecls_);
    freeAll(entityDecls_);
    freeAll(notationDecls_);
}

TXmlToDomParser* TdomASModel::getTestParser() {
    if (!testParser_) {
        if (!silentImpl_) silentImpl_ = std::make_unique<TdomSilentImplementation>();
        auto parser = std::make_unique<TXmlToDomParser>();
        parser->SetDOMImpl(silentImpl_.get());
        testParser_ = std::move(parser);
    }
    return testParser_.get();
}

TdomASAttributeDecl* TdomASModel::findAttributeDecl(const WideString& elementName, const WideString& name) const {
    TdomASElementDecl* e = findElementDecl(elementName);
    return e ? e->findAttributeDecl(name) : nullptr;
}

TdomASElementDecl* TdomASModel::findElementDecl(const WideString& name) const {
    return static_cast<TdomASElementDecl*>(elementDecls_.getNamedItem(name));
}

TdomASEntityDecl* TdomASModel::findEntityDecl(const WideString& name) const {
    return static_cast<TdomASEntityDecl*>(entityDecls_.getNamedItem(name));
}

TdomASNotationDecl* TdomASModel::findNotationDecl(const WideString& name) const {
    return static_cast<TdomASNotationDecl*>(notationDecls_.getNamedItem(name));
}

namespace {
bool removeAndFree(TdomASNamedObjectMap& map, const WideString& name) {
    if (!map.getNamedItem(name)) return false;
    delete map.removeNamedItem(name);
    return true;
}
}  // namespace

bool TdomASModel::removeElementDecl(const WideString& name) { return removeAndFree(elementDecls_, name); }
bool TdomASModel::removeEntityDecl(const WideString& name) {
    EntityDeclarationsChanged();
    return removeAndFree(entityDecls_, name);
}
bool TdomASModel::removeNotationDecl(const WideString& name) { return removeAndFree(notationDecls_, name); }

bool TdomASModel::addElementDecl(const WideString& name, uint8_t contentType, TdomASElementDecl*& decl) {
    if (!IsXmlName(name)) raiseInvalidCharacter();
    if ((decl = findElementDecl(name))) return false;
    auto made = std::make_unique<TdomASElementDecl>(this, name, contentType);
    elementDecls_.setNamedItem(made.get());
    decl = made.release();
    return true;
}

bool TdomASModel::addEntityDecl(const WideString& name, const WideString& value, TdomASEntityDecl*& decl) {
    if (!IsXmlName(name)) raiseInvalidCharacter();
    if ((decl = findEntityDecl(name))) return false;
    auto made = std::make_unique<TdomASEntityDecl>(this, name, value, WideString(), WideString(), WideString());
    entityDecls_.setNamedItem(made.get());
    EntityDeclarationsChanged();
    decl = made.release();
    return true;
}

bool TdomASModel::addEntityDecl(const WideString& name, const WideString& publicId, const WideString& systemId,
                                const WideString& notationName, TdomASEntityDecl*& decl) {
    if (!IsXmlName(name) || !IsXmlSystemChars(systemId) || !IsXmlPubidChars(publicId) ||
        (!notationName.empty() && !IsXmlName(notationName)))
        raiseInvalidCharacter();
    if ((decl = findEntityDecl(name))) return false;
    auto made = std::make_unique<TdomASEntityDecl>(this, name, WideString(), publicId, systemId, notationName);
    entityDecls_.setNamedItem(made.get());
    EntityDeclarationsChanged();
    decl = made.release();
    return true;
}

bool TdomASModel::addNotationDecl(const WideString& name, const WideString& publicId, const WideString& systemId,
                                  TdomASNotationDecl*& decl) {
    if (!IsXmlName(name) || !IsXmlSystemChars(systemId) || !IsXmlPubidChars(publicId)) raiseInvalidCharacter();
    if ((decl = findNotationDecl(name))) return false;
    auto made = std::make_unique<TdomASNotationDecl>(this, name, publicId, systemId);
    notationDecls_.setNamedItem(made.get());
    decl = made.release();
    return true;
}

}  // namespace xmldom
