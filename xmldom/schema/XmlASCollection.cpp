// The collection of schema models one document uses: look-ups across its models, entity
// resolution and attribute-value normalization on the shared expansion engine (one budget per
// call, or the owner document's run), the entities' shapes kept while their declarations stay
// unchanged, the entity tests, error reports and the check of the models themselves.
#include <optional>
#include <unordered_set>

#include "DomExceptions.h"
#include "XmlASMessages.h"
#include "XmlASModel.h"
#include "XmlChars.h"
#include "XmlDomDocument.h"
#include "XmlDomEntityExpansion.h"
#include "XmlDomImpl.h"
#include "XmlDomSchema.h"
#include "XmlErrorKinds.h"

namespace xmldom {

TdomASModelCollection::TdomASModelCollection(TDomImplementation* domImpl, TdomDocument* ownerDocument)
    : domImpl_(domImpl), ownerDocument_(ownerDocument) {
    if (!domImpl) throw ENot_Supported_Err(msg::kNotSupportedErr);
}

TdomASModelCollection::~TdomASModelCollection() { clear(); }

void TdomASModelCollection::checkNewModel(TdomASModel* model) const {
    if (!model) throw ENot_Supported_Err(msg::kNotSupportedErr);
    if (model->getDomImplementation() != domImpl_)
        throw EWrong_DOM_Implementation_Err(msg::kWrongDOMImplementationErr);
    for (TdomASModel* m : models_)
        if (m == model) throw EInuse_Err(msg::kInuseASModelErr);
}

void TdomASModelCollection::appendASModel(TdomASModel* model) {
    checkNewModel(model);
    EntityDeclarationsChanged();
    models_.reserve(models_.size() + 1);
    model->collections_.push_back(this);
    models_.push_back(model);
}

void TdomASModelCollection::insertASModel(int index, TdomASModel* model) {
    checkNewModel(model);
    EntityDeclarationsChanged();
    if (index < 0 || index > getLength()) throw EIndex_Size_Err(msg::kIndexSizeErr);
    models_.reserve(models_.size() + 1);
    model->collections_.push_back(this);
    models_.insert(models_.begin() + index, model);
}

void TdomASModelCollection::clear() {
    EntityDeclarationsChanged();
    for (TdomASModel* m : models_) std::erase(m->collections_, this);
    models_.clear();
}

TdomASModel* TdomASModelCollection::item(int index) const {
    return index >= 0 && index < getLength() ? models_[static_cast<size_t>(index)] : nullptr;
}

TdomASAttributeDecl* TdomASModelCollection::findAttributeDecl(const WideString& elementName,
                                                              const WideString& name) const {
    for (TdomASModel* m : models_)
        if (TdomASAttributeDecl* d = m->findAttributeDecl(elementName, name)) return d;
    return nullptr;
}

TdomASElementDecl* TdomASModelCollection::findElementDecl(const WideString& name) const {
    for (TdomASModel* m : models_)
        if (TdomASElementDecl* d = m->findElementDecl(name)) return d;
    return nullptr;
}

TdomASEntityDecl* TdomASModelCollection::findEntityDecl(const WideString& name) const {
    for (TdomASModel* m : models_)
        if (TdomASEntityDecl* d = m->findEntityDecl(name)) return d;
    return nullptr;
}

TdomASNotationDecl* TdomASModelCollection::findNotationDecl(const WideString& name) const {
    for (TdomASModel* m : models_)
        if (TdomASNotationDecl* d = m->findNotationDecl(name)) return d;
    return nullptr;
}

bool TdomASModelCollection::getReplacementText(const WideString& name, WideString& text) const {
    TdomASEntityDecl* d = findEntityDecl(name);
    if (!d) return false;
    text = d->getLiteralValue();
    return true;
}

// ---------------------------------------------------------------- expansion

namespace {

void fillFacts(const TdomASEntityDecl* d, TdomEntityFacts& facts) {
    facts.external = d->isExternal();
    facts.unparsed = !d->isParsed();
    facts.state = d->getState();
    facts.attributeUsable = d->isAttributeUsable();
    facts.literalValue = d->getLiteralValue();
}

/// The collection's declarations as the expansion engine looks them up, without fetching.
TdomEntityLookup declaredIn(const TdomASModelCollection* collection) {
    return [collection](const WideString& n, bool, TdomEntityFacts& facts) {
        TdomASEntityDecl* d = collection->findEntityDecl(n);
        if (!d) return false;
        fillFacts(d, facts);
        return true;
    };
}

}  // namespace

TdomEntityShapes& TdomASModelCollection::entityShapes() const {
    if (shapesGeneration_ != EntityDeclarationsGeneration()) {
        shapes_.clear();
        shapesGeneration_ = EntityDeclarationsGeneration();
    }
    return shapes_;
}

void TdomASModelCollection::resolveEntity(const WideString& name, WideString& text) const {
    TdomASEntityDecl* decl = findEntityDecl(name);
    if (!decl) {
        // The five predefined entities need no declaration.
        TdomEntityExpander predefined([](const WideString&, bool, TdomEntityFacts&) { return false; });
        if (IsXmlPredefinedEntityName(name) && predefined.expandEntity(name, text) == TdomExpansionResult::Ok)
            return;
        throw ENot_Found_Err(msg::kEntityDeclNotFoundErr);
    }
    // The shape of the entity is known from earlier questions, or found once for its whole
    // chain: a text too long or too deep for an expansion is refused before it is built.
    const TdomEntityShapes::Shape shape = entityShapes().of(name, declaredIn(this));
    if (shape.circular) throw EInvalid_Access_Err(msg::kCircularEntityRef);
    // The text may be as long as one operation on the owner document may make.
    TdomExpansionLimits limits;
    if (ownerDocument_) limits.maxChars = TdomExpansionBudget::limitFor(ownerDocument_->getExpansionBase());
    if (shape.height > limits.maxDepth || shape.length > limits.maxChars)
        throw EInvalid_Access_Err(msg::kUnresolvableEntity);
    // External entities are refused before their state matters, so nothing is fetched here.
    TdomEntityExpander expander(declaredIn(this), limits, false);
    WideString result;
    switch (expander.expandEntity(name, result)) {
        case TdomExpansionResult::Ok: text = std::move(result); return;
        case TdomExpansionResult::Undeclared: throw ENot_Found_Err(msg::kEntityDeclNotFoundErr);
        case TdomExpansionResult::Unparsed: throw EInvalid_Access_Err(msg::kUnparsedEntity);
        case TdomExpansionResult::External: throw EInvalid_Access_Err(msg::kExternalEntity);
        case TdomExpansionResult::Unresolvable: throw EInvalid_Access_Err(msg::kUnresolvableEntity);
        case TdomExpansionResult::Unusable: throw EInvalid_Access_Err(msg::kUnusableEntity);
        case TdomExpansionResult::Circular: throw EInvalid_Access_Err(msg::kCircularEntityRef);
        // Past the budget or the depth of expansion.
        case TdomExpansionResult::TooLarge: throw EInvalid_Access_Err(msg::kUnresolvableEntity);
    }
}

void TdomASModelCollection::normalizeAttributeValue(const TdomASAttributeDecl* attrDecl, TXmlErrorType& errorKind,
                                                    WideString& value) const {
    errorKind = 0;
    value.clear();
    if (!attrDecl) return;
    WideString out;
    // The owner document's run in force, or one of this call, gives the budget.
    std::optional<TdomExpansionScope> scope;
    if (ownerDocument_) scope.emplace(*ownerDocument_->getSchemaQuery());
    errorKind = NormalizeDeclaredValue(attrDecl->getDefaultValue(), declaredIn(this),
                                       scope ? &scope->run().budget : nullptr, out);
    if (errorKind == 0) value = std::move(out);
}

// ---------------------------------------------------------------- entity tests

bool TdomASModelCollection::refersToXyz(uint8_t kind, const TdomASEntityDecl* entity, bool ignoreUndeclared) const {
    TdomEntityTestKind test;
    switch (kind) {
        case AS_TEST_CIRCULAR: test = TdomEntityTestKind::Circular; break;
        case AS_TEST_EXTERNAL: test = TdomEntityTestKind::External; break;
        case AS_TEST_LESS_THAN: test = TdomEntityTestKind::LessThan; break;
        case AS_TEST_UNPARSED: test = TdomEntityTestKind::Unparsed; break;
        case AS_TEST_UNRESOLVABLE: test = TdomEntityTestKind::Unresolvable; break;
        default: throw ESyntax_Err(msg::kRefersToXyzSyntaxErr);
    }
    if (!entity) return false;
    if (test == TdomEntityTestKind::Circular && findEntityDecl(entity->getName()) == entity) {
        // Answered from the entities' kept shapes: a chain asked about entity by entity is
        // walked once.
        const TdomEntityShapes::Shape shape = entityShapes().of(entity->getName(), declaredIn(this));
        if (shape.circular) return true;
        if (shape.undeclared && !ignoreUndeclared) throw EConvertError(msg::kEntityRefCannotBeResolved);
        return false;
    }
    // The walk starts at the given declaration, whatever other models declare under its name.
    TdomEntityLookup lookup = [this, entity](const WideString& n, bool resolve, TdomEntityFacts& facts) {
        TdomASEntityDecl* d = n == entity->getName() ? const_cast<TdomASEntityDecl*>(entity) : findEntityDecl(n);
        if (!d) return false;
        if (resolve && d->getState() == AS_UNRESOLVED) d->resolve();
        fillFacts(d, facts);
        return true;
    };
    switch (TestEntityReferences(test, entity->getName(), ignoreUndeclared, lookup)) {
        case TdomEntityTestResult::Hit: return true;
        case TdomEntityTestResult::NoHit: return false;
        case TdomEntityTestResult::Undeclared: break;
    }
    throw EConvertError(msg::kEntityRefCannotBeResolved);
}

bool TdomASModelCollection::refersToCircularEntity(const TdomASEntityDecl* entity, bool ignoreUndeclared) const {
    return refersToXyz(AS_TEST_CIRCULAR, entity, ignoreUndeclared);
}
bool TdomASModelCollection::refersToExternalEntity(const TdomASEntityDecl* entity, bool ignoreUndeclared) const {
    return refersToXyz(AS_TEST_EXTERNAL, entity, ignoreUndeclared);
}
bool TdomASModelCollection::refersToEntityWithLessThan(const TdomASEntityDecl* entity,
                                                       bool ignoreUndeclared) const {
    return refersToXyz(AS_TEST_LESS_THAN, entity, ignoreUndeclared);
}
bool TdomASModelCollection::refersToUnparsedEntity(const TdomASEntityDecl* entity, bool ignoreUndeclared) const {
    return refersToXyz(AS_TEST_UNPARSED, entity, ignoreUndeclared);
}
bool TdomASModelCollection::refersToUnresolvableEntity(const TdomASEntityDecl* entity,
                                                       bool ignoreUndeclared) const {
    return refersToXyz(AS_TEST_UNRESOLVABLE, entity, ignoreUndeclared);
}

// ---------------------------------------------------------------- reports and validation

bool TdomASModelCollection::sendErrorNotification(TXmlErrorType kind, TdomASObject* declaration) {
    TdomError error(kind, 0, 0, 0, 0, -1, WideString(), nullptr, nullptr, declaration, WideString());
    TDomImplementation* impl = ownerDocument_ ? ownerDocument_->getDomImplementation() : domImpl_;
    if (impl) return impl->handleError(this, &error);
    return error.getSeverity() != DOM_SEVERITY_FATAL_ERROR;
}

bool TdomASModelCollection::validate() {
    bool ok = true;
    // Each report makes the result false; a false answer ends the walk.
    auto report = [&](TXmlErrorType kind, TdomASObject* decl) {
        ok = false;
        return sendErrorNotification(kind, decl);
    };
    // 1. Mixed content: a choice of distinct element names.
    for (TdomASModel* m : models_) {
        const TdomASNamedObjectMap& elements = m->getElementDecls();
        for (int i = 0; i < elements.getLength(); ++i) {
            auto* e = static_cast<TdomASElementDecl*>(elements.item(i));
            if (e->getContentType() != AS_CONTENT_MIXED) continue;
            TdomASContentModel* cm = e->getContentModel();
            if (!cm || cm->getListOperator() != AS_CHOICE) {
                if (!report(ET_MIXED_CONTENT_MISMATCH, e)) return false;
                continue;
            }
            std::unordered_set<WideString> seen;
            for (int j = 0; j < cm->getSubModelCount(); ++j) {
                TdomASContentModel* sub = cm->getSubModel(j);
                if (sub->getListOperator() != AS_ELEMENT_NAME) {
                    if (!report(ET_MIXED_CONTENT_MISMATCH, e)) return false;
                } else if (!seen.insert(sub->getName()).second) {
                    if (!report(ET_DUPLICATE_NAME_IN_MIXED_CONTENT, e)) return false;
                }
            }
        }
    }
    // 2. Unparsed entities name a declared notation.
    for (TdomASModel* m : models_) {
        const TdomASNamedObjectMap& entities = m->getEntityDecls();
        for (int i = 0; i < entities.getLength(); ++i) {
            auto* d = static_cast<TdomASEntityDecl*>(entities.item(i));
            if (!d->getNotationName().empty() && !findNotationDecl(d->getNotationName()))
                if (!report(ET_UNDECLARED_NOTATION_NAME, d)) return false;
        }
    }
    // 3. Attribute declarations by type.
    std::unordered_set<WideString> withNotation, withId;
    auto declaredEmpty = [this](const WideString& elementName) {
        for (TdomASModel* m : models_) {
            TdomASElementDecl* e = m->findElementDecl(elementName);
            if (e && e->getContentType() != AS_CONTENT_UNDEFINED) return e->getContentType() == AS_CONTENT_EMPTY;
        }
        return false;
    };
    // Each repeated token of an enumeration gives the kind once per repeat.
    auto checkRepeats = [&](TdomASAttributeDecl* a, TXmlErrorType kind) {
        std::unordered_set<WideString> tokens;
        const TdomWideStringList& list = a->getEnumeration();
        for (int t = 0; t < list.getCount(); ++t)
            if (!tokens.insert(list.Get(t)).second && !report(kind, a)) return false;
        return true;
    };
    for (TdomASModel* m : models_) {
        const TdomASNamedObjectMap& elements = m->getElementDecls();
        for (int i = 0; i < elements.getLength(); ++i) {
            auto* e = static_cast<TdomASElementDecl*>(elements.item(i));
            const TdomASNamedObjectMap& attrs = e->getAttributeDecls();
            for (int j = 0; j < attrs.getLength(); ++j) {
                auto* a = static_cast<TdomASAttributeDecl*>(attrs.item(j));
                // A redeclaration of an attribute an earlier model declares is not in force:
                // it is neither a second ID or NOTATION attribute nor checked itself.
                if (m != models_.front() && findAttributeDecl(e->getName(), a->getName()) != a) continue;
                const uint8_t type = a->getAttrType();
                if (type == AS_NOTATION_DATATYPE) {
                    const TdomWideStringList& list = a->getEnumeration();
                    for (int t = 0; t < list.getCount(); ++t)
                        if (!findNotationDecl(list.Get(t)) && !report(ET_UNDECLARED_NOTATION_NAME, a)) return false;
                    if (!checkRepeats(a, ET_DUPLICATE_NOTATION_TOKEN)) return false;
                    if (!withNotation.insert(e->getName()).second && !report(ET_DUPLICATE_NOTATION_ATTRIBUTE, a))
                        return false;
                    if (declaredEmpty(e->getName()) && !report(ET_NOTATION_ON_EMPTY_ELEMENT, a)) return false;
                } else if (type == AS_ID_DATATYPE) {
                    if (!withId.insert(e->getName()).second && !report(ET_DUPLICATE_ID_ATTRIBUTE, a)) return false;
                    if (a->getDefaultDecl() != AS_IMPLIED && a->getDefaultDecl() != AS_REQUIRED &&
                        !report(ET_ID_NEITHER_IMPLIED_NOR_REQUIRED, a))
                        return false;
                } else if (type >= AS_IDREF_DATATYPE && type <= AS_NMTOKENS_DATATYPE) {
                    TXmlErrorType kind = 0;
                    WideString value;
                    normalizeAttributeValue(a, kind, value);
                    if (kind != 0) {
                        if (!report(kind, a)) return false;
                    } else {
                        WideString v = CollapseSpaces(value);
                        bool good = true;
                        if (!v.empty()) {
                            switch (type) {
                                case AS_IDREF_DATATYPE:
                                case AS_ENTITY_DATATYPE: good = IsXmlName(v); break;
                                case AS_IDREFS_DATATYPE:
                                case AS_ENTITIES_DATATYPE: good = IsXmlNames(v); break;
                                case AS_NMTOKEN_DATATYPE: good = IsXmlNmtoken(v); break;
                                default: good = IsXmlNmtokens(v); break;
                            }
                        }
                        if (!good && !report(ET_ATTRIBUTE_TYPE_MISMATCH, a)) return false;
                    }
                    // Enumerations (type 7) get the repeat check too.
                    if ((type == AS_NMTOKEN_DATATYPE || type == AS_NMTOKENS_DATATYPE) &&
                        !checkRepeats(a, ET_DUPLICATE_ENUMERATION_TOKEN))
                        return false;
                }
            }
        }
    }
    return ok;
}

}  // namespace xmldom
