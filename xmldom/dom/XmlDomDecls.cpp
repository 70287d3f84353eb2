// Declaration-type nodes: identifier checks of entities and notations, the external-entity
// child refusal, entity-reference expansion (declared or predefined) and fragments.

#include "XmlDomDecls.h"

#include "XmlDomDocument.h"
#include "XmlDomEntityContent.h"
#include "XmlErrorKinds.h"
#include "XmlDomInternal.h"

namespace xmldom {

using namespace detail;

namespace {

void checkDeclarationNames(const WideString& name, const WideString& publicId, const WideString& systemId) {
    if (!IsXmlName(name) || !IsXmlPubidChars(publicId) || !IsXmlSystemChars(systemId)) raiseInvalidCharacter();
}

const char16_t* predefinedText(const WideString& name) {
    if (name == u"lt") return u"<";
    if (name == u"gt") return u">";
    if (name == u"amp") return u"&";
    if (name == u"apos") return u"'";
    if (name == u"quot") return u"\"";
    return nullptr;
}

/// Whether an internal subset holds a parameter-entity reference: a "%" that begins a name,
/// outside literals, comments and processing instructions.
bool holdsParameterEntityReference(std::u16string_view subset) {
    char16_t quote = 0;
    for (size_t i = 0; i < subset.size(); ++i) {
        const char16_t c = subset[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'<' && subset.substr(i, 4) == u"<!--") {
            i = subset.find(u"-->", i + 4);
            if (i == subset.npos) return false;
        } else if (c == u'<' && subset.substr(i, 2) == u"<?") {
            i = subset.find(u"?>", i + 2);
            if (i == subset.npos) return false;
        } else if (c == u'%' && i + 1 < subset.size() &&
                   (IsXmlLetter(subset[i + 1]) || subset[i + 1] == u'_' || subset[i + 1] == u':')) {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace detail {

bool undeclaredEntityIsFatal(TdomDocument* document) {
    if (document->getXmlStandalone() == STANDALONE_YES) return true;
    const TdomDocumentTypeDecl* decl = document->getDocTypeDecl();
    if (!decl) return true;
    if (!decl->getPublicId().empty() || !decl->getSystemId().empty()) return false;
    return !holdsParameterEntityReference(decl->getInternalSubset());
}

}  // namespace detail

TdomDocumentTypeDecl::TdomDocumentTypeDecl(TdomDocument* ownerDocument, const WideString& name,
                                           const WideString& publicId, const WideString& systemId,
                                           const WideString& internalSubset)
    : TdomNode(ownerDocument, ntDocument_Type_Decl_Node, kNoChildTypes), internalSubset_(internalSubset),
      name_(name), publicId_(publicId), systemId_(systemId) {}

TdomDocumentType::TdomDocumentType(TDomImplementation* implementation, const WideString& name,
                                   const WideString& publicId, const WideString& systemId)
    : TdomNode(nullptr, ntDocument_Type_Node, kNoChildTypes), implementation_(implementation),
      entities_(this, 1u << ntEntity_Node, &entityList_), name_(name),
      notations_(this, 1u << ntNotation_Node, &notationList_), publicId_(publicId), systemId_(systemId) {}

TdomNotation::TdomNotation(TdomDocument* ownerDocument, const WideString& name, const WideString& publicId,
                           const WideString& systemId)
    : TdomNode(ownerDocument, ntNotation_Node, kNoChildTypes) {
    checkDeclarationNames(name, publicId, systemId);
    name_ = name;
    publicId_ = publicId;
    systemId_ = systemId;
}

WideString TdomNotation::getBaseURI() const { return ownerDocument_ ? ownerDocument_->getBaseURI() : WideString(); }

TdomEntity::TdomEntity(TdomDocument* ownerDocument, const WideString& name, const WideString& publicId,
                       const WideString& systemId, const WideString& notationName)
    : TdomNode(ownerDocument, ntEntity_Node, kElementChildTypes) {
    checkDeclarationNames(name, publicId, systemId);
    name_ = name;
    notationName_ = notationName;
    publicId_ = publicId;
    systemId_ = systemId;
}

WideString TdomEntity::getBaseURI() const { return ownerDocument_ ? ownerDocument_->getBaseURI() : WideString(); }

TdomNode* TdomEntity::appendChild(TdomNode* newChild) {
    if (isExternal()) raiseNoModification();
    return TdomNode::appendChild(newChild);
}

TdomNode* TdomEntity::insertBefore(TdomNode* newChild, TdomNode* refChild) {
    if (isExternal()) raiseNoModification();
    return TdomNode::insertBefore(newChild, refChild);
}

TdomNode* TdomEntity::replaceChild(TdomNode* newChild, TdomNode* oldChild) {
    if (isExternal()) raiseNoModification();
    return TdomNode::replaceChild(newChild, oldChild);
}

TdomEntityReference::TdomEntityReference(TdomDocument* ownerDocument, const WideString& name)
    : TdomNode(ownerDocument, ntEntity_Reference_Node, kElementChildTypes) {
    if (!IsXmlName(name)) raiseInvalidCharacter();
    name_ = name;
    setIsReadonly(true);
}

TdomNode* TdomEntityReference::cloneNode(bool deep) { return TdomNode::cloneNode(deep); }

void TdomEntityReference::expand() {
    TdomEntityContentBuilder builder(ownerDocument_);
    if (expandWith(builder)) return;
    builder.refused(this, name_);
    builder.reportSpentBudget(this);
}

bool TdomEntityReference::expandWith(TdomEntityContentBuilder& builder) {
    // The reference is read-only for its users; its own content is made with the flag lifted.
    setIsReadonly(false);
    bool made = false;
    try {
        clear();
        TdomEntityFacts facts;
        if (ownerDocument_->getSchemaQuery()->lookupEntity(name_, false, facts)) {
            made = !facts.unparsed && builder.buildInto(name_, this);
        } else if (const char16_t* text = predefinedText(name_)) {
            appendChild(ownerDocument_->createTextNode(text));
            made = true;
        }
        makeChildrenReadonly();
    } catch (...) {
        setIsReadonly(true);
        throw;
    }
    setIsReadonly(true);
    return made;
}

bool TdomEntityReference::validate() {
    bool result = true;
    auto report = [&](uint8_t kind) {
        sendErrorNotification(kind, this);
        result = false;
    };
    const TdomSchemaQuery* schema = ownerDocument_->getSchemaQuery();
    const TdomExpansionRun* run = schema->activeRun();
    if (run && !run->faultReported.empty() && run->faultReported.count(this)) {
        // Its entity's fault was reported, fatal, when the run resolved the reference.
        result = false;
    } else if (!IsXmlPredefinedEntityName(name_)) {
        TdomEntityFacts facts;
        if (!schema->lookupEntity(name_, false, facts)) {
            report(ET_ENTITY_DECLARATION_NOT_FOUND);
        } else if (facts.unparsed) {
            report(ET_UNPARSED_ENTITY_REFERENCED);
        } else if (!schema->lookupEntity(name_, true, facts) || facts.state == 0) {
            report(ET_UNRESOLVABLE_ENTITY_REFERENCE);
        } else {
            // The tests of an entity are walked once per run, however often it is referenced.
            TdomExpansionScope scope(*schema);
            TdomEntityTestMemo& tests = scope.run().tests;
            TdomEntityLookup lookup = schema->entityLookup();
            TdomEntityTestResult unparsed = tests.test(TdomEntityTestKind::Unparsed, name_, false, lookup);
            if (unparsed == TdomEntityTestResult::Undeclared) {
                // Its content refers to an undeclared entity: where XML wants every entity
                // declared, the entity is no well-formed content.
                report(undeclaredEntityIsFatal(ownerDocument_) ? ET_NO_PROPER_MARKUP_REFERENCED
                                                               : ET_UNRESOLVABLE_ENTITY_REFERENCE);
            } else {
                if (unparsed == TdomEntityTestResult::Hit) report(ET_UNPARSED_ENTITY_REFERENCED);
                if (tests.test(TdomEntityTestKind::Circular, name_, true, lookup) == TdomEntityTestResult::Hit)
                    report(ET_RECURSIVE_REFERENCE);
                if (facts.state == 1) report(ET_NO_PROPER_MARKUP_REFERENCED);
            }
        }
    }
    for (size_t i = 0; i < children_.size(); ++i)
        if (!children_[i]->validate()) result = false;
    return result;
}

bool TdomDocumentFragment::resolveEntityReferences(uint8_t option) {
    bool result = true;
    for (size_t i = 0; i < children_.size(); ++i)
        if (!children_[i]->resolveEntityReferences(option)) result = false;
    return result;
}

}  // namespace xmldom
