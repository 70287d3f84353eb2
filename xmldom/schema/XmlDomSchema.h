// What the object model asks of the document's schema models: element, attribute and entity
// declarations, value normalization and entity expansion. The base class answers
// "no declaration" to everything; the schema model of the reading layer derives from it.
#pragma once

#include <cstdint>
#include <vector>

#include "XmlSupport.h"

namespace xmldom {

class TdomDocument;
class TdomElement;
class TdomNode;

/// Declaration of one attribute of an element type, as the object model needs it.
struct TdomAttrDeclInfo {
    WideString name;
    uint8_t attrType = 0;     ///< 0 CDATA, 1 NOTATION, 2 ID, 3 IDREF, 4 IDREFS, 5 ENTITY, 6 ENTITIES, 7 NMTOKEN, 8 NMTOKENS
    uint8_t defaultDecl = 2;  ///< 0 a value only, 1 #FIXED, 2 #IMPLIED, 3 #REQUIRED
    WideString defaultValue;
};

/// Content type codes of element declarations.
inline constexpr uint8_t kContentTypeElement = 2;

/// The entity tests of the schema models.
enum class TdomEntityTest : uint8_t { External, LessThan, Unparsed, Circular, Unresolvable };

/// The document's view of its schema models. Every answer here is "no declaration".
class TdomSchemaQuery {
public:
    virtual ~TdomSchemaQuery() = default;

    /// Whether the document has any schema model.
    virtual bool hasModels() const { return false; }
    /// The models' own validity (checked first by validateDocument).
    virtual bool validateModels() { return true; }
    /// Content type of the element type's declaration; false when undeclared.
    virtual bool findElementContentType(const WideString& elementName, uint8_t& contentType) const;
    /// Declaration of attrName on elementName; false when undeclared.
    virtual bool findAttributeDecl(const WideString& elementName, const WideString& attrName,
                                   TdomAttrDeclInfo& decl) const;
    /// All attribute declarations of the element type over all models, first model winning.
    virtual std::vector<TdomAttrDeclInfo> getAttributeDecls(const WideString& elementName) const;
    /// Whether a general entity of that name is declared.
    virtual bool hasEntityDecl(const WideString& name) const;
    /// Literal value of a declared internal general entity; false otherwise.
    virtual bool findEntityLiteral(const WideString& name, WideString& literal) const;
    /// Whether the entity test accepts the declared entity `name`; false when undeclared.
    virtual bool entityTest(TdomEntityTest test, const WideString& name) const;
    /// Normalized declared default value; returns an error kind (0: none).
    virtual uint8_t normalizeAttributeValue(const TdomAttrDeclInfo& decl, WideString& value) const;
    /// Checks the element's children against its declaration, reporting each violation
    /// through the element; false when something was reported. No declaration: true.
    virtual bool validateElementContent(TdomElement* element);
    /// Parses the replacement text of the declared entity into target; false when undeclared.
    virtual bool expandEntityInto(const WideString& name, TdomNode* target);
    /// Builds the models from the document's type declaration (buildASModel).
    virtual bool buildFromDeclaration(TdomDocument* document);
    /// Forgets every model (the document's clear).
    virtual void clear() {}
};

}  // namespace xmldom
