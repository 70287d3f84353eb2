// Entity content: the replacement text is expanded textually first (each entity built once,
// under the budget, circular paths refused), so a hostile declaration is refused before a single
// node is made; the resulting text is then parsed once. Plain text skips the parser.

#include "XmlDomEntityContent.h"

#include "XmlChars.h"
#include "XmlDomDocument.h"
#include "XmlParsers.h"

namespace xmldom {

TdomEntityContentBuilder::TdomEntityContentBuilder(TdomDocument* document)
    : document_(document), scope_(*document->getSchemaQuery()), expander_(document->getSchemaQuery()->entityLookup()) {
    expander_.setKeepPredefinedReferences(true);
}

TdomEntityContentBuilder::~TdomEntityContentBuilder() = default;

namespace {

// Text the parser would turn into exactly one text node with the same characters.
bool isPlainText(const WideString& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'<' || c == u'&') return false;
        if (c == u'>' && i >= 2 && text[i - 1] == u']' && text[i - 2] == u']') return false;
        if (c < 0x20 && c != u'\t' && c != u'\n') return false;
        if (c >= 0xD800 && c <= 0xDFFF) return false;  // pairs are left to the parser's check
        if (c == 0xFFFE || c == 0xFFFF) return false;
    }
    return true;
}

}  // namespace

bool TdomEntityContentBuilder::buildInto(const WideString& name, TdomNode* target) {
    lastFailure_ = TdomExpansionResult::Ok;
    TdomExpansionBudget& budget = scope_.run().budget;
    budget.credit(name.size() + 2);  // the reference as written
    // Once the run's budget is spent, nothing more is expanded (or copied) in it.
    TdomExpansionResult r = budget.spent() ? TdomExpansionResult::TooLarge : TdomExpansionResult::Ok;
    WideString text;
    if (r == TdomExpansionResult::Ok) r = expander_.expandEntity(name, text);
    if (r == TdomExpansionResult::Ok && !budget.charge(text.size())) r = TdomExpansionResult::TooLarge;
    if (r != TdomExpansionResult::Ok) {
        lastFailure_ = r;
        return false;
    }
    if (text.empty()) return true;
    if (isPlainText(text)) {
        target->appendChild(document_->createTextNode(text));
        return true;
    }
    if (!parser_) {
        parser_ = std::make_unique<TXmlToDomParser>();
        parser_->SetDOMImpl(document_->getDomImplementation());
        parser_->SetKeepEntityRefs(false);
        parser_->setReadsReplacementText(true);
    }
    // A failed parse leaves no half content behind.
    int before = target->getChildCount();
    try {
        // A U+FEFF that begins the text is a character: the mark goes before it.
        parser_->parseWideStringInto(text[0] == 0xFEFF ? u"\uFEFF" + text : text, WideString(), WideString(),
                                     target);
        return true;
    } catch (const Exception&) {
        while (target->getChildCount() > before) {
            TdomNode* last = target->getLastChild();
            last->setIsReadonly(false);
            target->removeChild(last);
            document_->freeTreeNode(last);
        }
        return false;
    }
}

}  // namespace xmldom
