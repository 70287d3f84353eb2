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

TdomEntityLookup TdomSchemaQuery::entityLookup() const {
    return [this](const WideString& name, bool resolve, TdomEntityFacts& facts) {
        return lookupEntity(name, resolve, facts);
    };
}

namespace {

uint8_t kindOf(TdomExpansionResult r) {
    switch (r) {
        case TdomExpansionResult::Ok: return 0;
        case TdomExpansionResult::Undeclared: return ET_INVALID_ATTLIST_DECLARATION;
        case TdomExpansionResult::External: return ET_ATTRIBUTE_REFERS_TO_EXTERNAL_ENTITY;
        case TdomExpansionResult::Unparsed: return ET_UNPARSED_ENTITY_REFERENCED;
        case TdomExpansionResult::Unresolvable:
        case TdomExpansionResult::Unusable: return ET_NO_PROPER_MARKUP_REFERENCED;
        case TdomExpansionResult::Circular:
        case TdomExpansionResult::TooLarge: return ET_RECURSIVE_REFERENCE;
    }
    return ET_INVALID_ATTLIST_DECLARATION;
}

}  // namespace

uint8_t TdomSchemaQuery::normalizeAttributeValue(const TdomAttrDeclInfo& decl, WideString& value) const {
    // One expansion for the whole value: its budget bounds what nested entities may produce.
    static const WideString kEmpty;
    const WideString& text = decl.defaultValue ? *decl.defaultValue : kEmpty;
    TdomEntityLookup lookup = entityLookup();
    TdomEntityExpander expander(lookup, TdomExpansionLimits{}, false);
    WideString out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char16_t c = text[i];
        if (c != u'&') {
            out.push_back(c == u'\t' || c == u'\n' || c == u'\r' ? u' ' : c);
            ++i;
            continue;
        }
        size_t semi = text.find(u';', i + 1);
        if (semi == WideString::npos) return ET_INVALID_ATTLIST_DECLARATION;
        std::u16string_view body = std::u16string_view(text).substr(i + 1, semi - i - 1);
        if (!body.empty() && body[0] == u'#') {
            std::vector<TdomEntityPart> parts = CutLiteralValue(std::u16string_view(text).substr(i, semi - i + 1));
            if (parts.size() != 1 || parts[0].kind != TdomEntityPart::CharRef) return ET_INVALID_ATTLIST_DECLARATION;
            out += parts[0].text;
        } else {
            WideString name(body);
            if (!IsXmlName(name)) return ET_INVALID_ATTLIST_DECLARATION;
            WideString sub;
            if (uint8_t kind = kindOf(expander.expandEntity(name, sub))) return kind;
            if (!IsXmlPredefinedEntityName(name) &&
                TestEntityReferences(TdomEntityTestKind::LessThan, name, true, lookup) == TdomEntityTestResult::Hit)
                return ET_LT_IN_REPLACEMENT_TEXT;
            for (char16_t s : sub) out.push_back(s == u'\t' || s == u'\n' || s == u'\r' ? u' ' : s);
        }
        i = semi + 1;
    }
    value = std::move(out);
    return 0;
}

}  // namespace xmldom
