// The schema query of a document with an implementation: it owns the document's model
// collection and answers the object model's questions from the declarations there, checks
// element content against the content models and builds the models from the type declaration.
#pragma once

#include "XmlASModel.h"
#include "XmlDomSchema.h"

namespace xmldom {

class TdomASSchemaQuery : public TdomSchemaQuery {
public:
    /// The document must have an implementation (the collection needs one).
    explicit TdomASSchemaQuery(TdomDocument* document);

    TdomASModelCollection& getCollection() { return collection_; }
    const TdomASModelCollection& getCollection() const { return collection_; }

    bool hasModels() const override { return collection_.getLength() > 0; }
    bool validateModels() override { return collection_.validate(); }
    bool findElementContentType(const WideString& elementName, uint8_t& contentType) const override;
    bool findAttributeDecl(const WideString& elementName, const WideString& attrName,
                           TdomAttrDeclInfo& decl) const override;
    void getAttributeDecls(const WideString& elementName, std::vector<TdomAttrDeclInfo>& decls) const override;
    bool lookupEntity(const WideString& name, bool resolve, TdomEntityFacts& facts) const override;
    bool hasNotationDecl(const WideString& name) const override;
    /// Kind 20 for an element type without declaration (in a document with models), 19 for a
    /// non-empty EMPTY element, 21 for content that does not match, 25 for a model that is not
    /// deterministic. Strict mixed content: EParserException.
    bool validateElementContent(TdomElement* element) override;
    /// The steps of buildASModel: the internal subset read into one model, the external subset,
    /// fetched through the implementation, into a second that still knows the internal subset's
    /// parameter entities. A model already there: EInvalid_State_Err.
    bool buildFromDeclaration(TdomDocument* document) override;
    void clear() override { collection_.clear(); }

private:
    /// The current declaration of the element type (content type set), nil when none.
    TdomASElementDecl* elementDecl(const WideString& name) const;

    TdomASModelCollection collection_;
};

}  // namespace xmldom
