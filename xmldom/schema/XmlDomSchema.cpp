// The "no declaration" answers of the schema query, and the normalization of declared default
// values that every query shares: it needs only the entity look-up.

#include "XmlDomSchema.h"

#include "XmlChars.h"
#include "XmlDomDocument.h"
#include "XmlErrorKinds.h"

namespace xmldom {

bool TdomSchemaQuery::findElementContentType(const WideString&, uint8_t&) const { return false; }
bool TdomSchemaQuery::findAttributeDecl(const WideString&, const WideString&, TdomAttrDeclInfo&) const {
    return false;
}
void TdomSchemaQuery::getAttributeDecls(const WideString&, std::vector<TdomAttrDeclInfo>& decls) const {
    decls.clear();
}
bool TdomSchemaQuery::lookupEntity(const WideString&, bool, TdomEntityFacts&) const { return false; }
bool TdomSchemaQuery::hasNotationDecl(const WideString&) const { return false; }
bool TdomSchemaQuery::validateElementContent(TdomElement*) { return true; }

// Without a type declaration nothing is to be built; reading one needs the model collection.
bool TdomSchemaQuery::buildFromDeclaration(TdomDocument* document) { return document->getDocTypeDecl() == nullptr; }

size_t TdomSchemaQuery::expansionLimit() const {
    return TdomExpansionBudget::limitFor(sizedDocument_ ? sizedDocument_->getExpansionBase() : 0);
}

TdomEntityLookup TdomSchemaQuery::entityLookup() const {
    return [this](const WideString& name, bool resolve, TdomEntityFacts& facts) {
        return lookupEntity(name, resolve, facts);
    };
}

uint8_t TdomSchemaQuery::normalizeAttributeValue(const TdomAttrDeclInfo& decl, WideString& value) const {
    TdomExpansionScope scope(*this);
    return NormalizeDeclaredValue(decl.defaultValue ? std::u16string_view(*decl.defaultValue) : std::u16string_view(),
                                  entityLookup(), &scope.run().budget, value, &scope.run().limitAt);
}

}  // namespace xmldom
