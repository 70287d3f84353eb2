// What the object model asks of the document's schema models: element, attribute, entity and
// notation declarations, value normalization and content checks. The base class answers
// "no declaration" to everything; the document's model collection answers from its models.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "XmlDomEntityExpansion.h"
#include "XmlStrings.h"
#include "XmlSupport.h"

namespace xmldom {

class TdomDocument;
class TdomElement;
class TdomNode;

/// Declaration of one attribute of an element type, as the object model needs it: a view of
/// the declaration, valid while the models are not changed.
struct TdomAttrDeclInfo {
    const WideString* name = nullptr;
    uint8_t attrType = 0;     ///< 0 CDATA, 1 NOTATION, 2 ID, 3 IDREF, 4 IDREFS, 5 ENTITY, 6 ENTITIES, 7 NMTOKEN, 8 NMTOKENS
    uint8_t defaultDecl = 2;  ///< 0 a value only, 1 #FIXED, 2 #IMPLIED, 3 #REQUIRED
    const WideString* defaultValue = nullptr;
    const TdomWideStringList* enumeration = nullptr;  ///< tokens of an enumerated or NOTATION type, or nil
    const void* declaration = nullptr;                ///< the query's own declaration object
};

/// Content type codes of element declarations.
inline constexpr uint8_t kContentTypeAny = 0;
inline constexpr uint8_t kContentTypeEmpty = 1;
inline constexpr uint8_t kContentTypeElement = 2;
inline constexpr uint8_t kContentTypeMixed = 3;
inline constexpr uint8_t kContentTypeStrictMixed = 4;

/// The document's view of its schema models. Every answer here is "no declaration"; the
/// entity-based answers (normalization) are built on lookupEntity and hold for every query.
class TdomSchemaQuery {
public:
    virtual ~TdomSchemaQuery() = default;

    /// Whether the document has any schema model.
    virtual bool hasModels() const { return false; }
    /// The models' own validity (checked first by validateDocument).
    virtual bool validateModels() { return true; }
    /// Content type of the element type's declaration; false when undeclared.
    virtual bool findElementContentType(const WideString& elementName, uint8_t& contentType) const;
    /// Declaration of attrName on elementName, the first model declaring it winning; false
    /// when undeclared.
    virtual bool findAttributeDecl(const WideString& elementName, const WideString& attrName,
                                   TdomAttrDeclInfo& decl) const;
    /// All attribute declarations of the element type over all models in declaration order,
    /// the first model declaring a name winning.
    virtual void getAttributeDecls(const WideString& elementName, std::vector<TdomAttrDeclInfo>& decls) const;
    /// The facts of a general entity; false when undeclared. With resolve set, an entity still
    /// unresolved is resolved first (external parsed entities are fetched).
    virtual bool lookupEntity(const WideString& name, bool resolve, TdomEntityFacts& facts) const;
    /// Whether a notation of that name is declared.
    virtual bool hasNotationDecl(const WideString& name) const;
    /// Normalized declared default value (NormalizeDeclaredValue); returns an error kind (0:
    /// none). Expansion draws on the budget of the run in force, or on one of its own.
    uint8_t normalizeAttributeValue(const TdomAttrDeclInfo& decl, WideString& value) const;
    /// Checks the element's children against its declaration's content type, reporting each
    /// violation through the element; false when something was reported. No declaration: true.
    virtual bool validateElementContent(TdomElement* element);
    /// Builds the models from the document's type declaration (buildASModel).
    virtual bool buildFromDeclaration(TdomDocument* document);
    /// Forgets every model (the document's clear).
    virtual void clear() {}

    /// The entity look-up of the expansion engine, bound to this query.
    TdomEntityLookup entityLookup() const;

    /// The expansion run in force (see TdomExpansionScope), or nil.
    TdomExpansionRun* activeRun() const { return run_; }
    /// The document whose size bounds what one operation may make from the declarations (nil:
    /// the fixed allowance alone); see TdomDocument::getExpansionBase.
    void setSizedDocument(const TdomDocument* document) { sizedDocument_ = document; }
    const TdomDocument* getSizedDocument() const { return sizedDocument_; }
    /// What one operation may make from the declarations (TdomExpansionBudget::limitFor).
    size_t expansionLimit() const;

private:
    friend class TdomExpansionScope;
    mutable TdomExpansionRun* run_ = nullptr;
    const TdomDocument* sizedDocument_ = nullptr;
};

/// Opens an expansion run on a document's schema query for the scope's life, unless one is
/// open already: every expansion of the document's entities inside it (content, attribute
/// values, declared defaults) draws on one budget, and each entity test is answered once.
class TdomExpansionScope {
public:
    explicit TdomExpansionScope(const TdomSchemaQuery& schema) : schema_(schema) {
        if (schema_.run_) return;
        own_.emplace();
        own_->budget = TdomExpansionBudget(schema_.expansionLimit());
        schema_.run_ = &*own_;
    }
    ~TdomExpansionScope() {
        if (own_) schema_.run_ = nullptr;
    }
    TdomExpansionScope(const TdomExpansionScope&) = delete;
    TdomExpansionScope& operator=(const TdomExpansionScope&) = delete;

    TdomExpansionRun& run() const { return *schema_.run_; }
    /// The run's expander of attribute literals: each entity built once per run, every
    /// reference charged to the run's budget.
    TdomEntityExpander& literals() const {
        TdomExpansionRun& r = run();
        if (!r.literals) {
            r.literals = std::make_unique<TdomEntityExpander>(schema_.entityLookup());
            r.literals->setForAttributeValues(true);
            r.literals->shareBudget(&r.budget);
        }
        return *r.literals;
    }

private:
    const TdomSchemaQuery& schema_;
    std::optional<TdomExpansionRun> own_;
};

}  // namespace xmldom
