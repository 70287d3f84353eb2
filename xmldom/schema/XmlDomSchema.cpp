// The "no declaration" answers of the schema query: what a document without schema models
// is told. The schema model of the reading layer overrides them.

#include "XmlDomSchema.h"

#include "XmlDomDocument.h"

namespace xmldom {

bool TdomSchemaQuery::findElementContentType(const WideString&, uint8_t&) const { return false; }
bool TdomSchemaQuery::findAttributeDecl(const WideString&, const WideString&, TdomAttrDeclInfo&) const { return false; }
std::vector<TdomAttrDeclInfo> TdomSchemaQuery::getAttributeDecls(const WideString&) const { return {}; }
bool TdomSchemaQuery::hasEntityDecl(const WideString&) const { return false; }
bool TdomSchemaQuery::findEntityLiteral(const WideString&, WideString&) const { return false; }
bool TdomSchemaQuery::entityTest(TdomEntityTest, const WideString&) const { return false; }

uint8_t TdomSchemaQuery::normalizeAttributeValue(const TdomAttrDeclInfo& decl, WideString& value) const {
    value = decl.defaultValue;
    return 0;
}

bool TdomSchemaQuery::validateElementContent(TdomElement*) { return true; }
bool TdomSchemaQuery::expandEntityInto(const WideString&, TdomNode*) { return false; }

// Without a type declaration nothing is to be built; reading one needs the DTD reader.
bool TdomSchemaQuery::buildFromDeclaration(TdomDocument* document) { return document->getDocTypeDecl() == nullptr; }

}  // namespace xmldom
