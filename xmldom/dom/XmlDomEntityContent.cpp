// Entity content: the replacement text is expanded textually first (each entity built once,
// under the budget, circular paths refused), so a hostile declaration is refused before a single
// node is made; the resulting text is then parsed once. Plain text skips the parser.

#include "XmlDomEntityContent.h"

#include <algorithm>

#include "XmlChars.h"
#include "XmlDomDocument.h"
#include "XmlDomInternal.h"
#include "XmlErrorKinds.h"
#include "XmlParsers.h"

namespace xmldom {

TdomEntityContentBuilder::TdomEntityContentBuilder(TdomDocument* document)
    : document_(document), scope_(*document->getSchemaQuery()) {
    TdomExpansionRun& run = scope_.run();
    if (!run.content) {
        run.content = std::make_unique<TdomEntityExpander>(document->getSchemaQuery()->entityLookup());
        run.content->setKeepPredefinedReferences(true);
        run.content->shareBudget(&run.budget);
    }
}

void TdomEntityContentBuilder::reportSpentBudget(TdomNode* node) {
    TdomExpansionRun& run = scope_.run();
    const bool spent = run.budget.spent();
    if ((!spent && deepAt_.empty()) || run.spentReported) return;
    run.spentReported = true;
    node->sendErrorNotification(ET_UNRESOLVABLE_ENTITY_REFERENCE, node,
                                ExpansionLimitClue(!spent, spent ? spentAt_ : deepAt_));
}

void TdomEntityContentBuilder::refused(TdomNode* reference, const WideString& name) {
    TdomExpansionRun& run = scope_.run();
    uint8_t kind = 0;
    TdomEntityFacts facts;
    if (!document_->getSchemaQuery()->lookupEntity(name, false, facts)) {
        // Undeclared itself: told by the check of the reference (kind 23).
    } else if (facts.unparsed) {
        kind = ET_UNPARSED_ENTITY_REFERENCED;
    } else {
        // Declared and parsed: buildInto was asked for it just now.
        switch (lastFailure_) {
            case TdomExpansionResult::Ok:  // its text did not parse as content
            case TdomExpansionResult::Unusable: kind = ET_NO_PROPER_MARKUP_REFERENCED; break;
            case TdomExpansionResult::Circular: kind = ET_RECURSIVE_REFERENCE; break;
            case TdomExpansionResult::Unparsed: kind = ET_UNPARSED_ENTITY_REFERENCED; break;
            case TdomExpansionResult::Undeclared:
                if (detail::undeclaredEntityIsFatal(document_)) kind = ET_NO_PROPER_MARKUP_REFERENCED;
                break;
            case TdomExpansionResult::TooLarge: return;  // reported by reportSpentBudget
            default: break;                              // not delivered: not a fault of XML
        }
    }
    if (!kind) {
        run.unreportedFailure = true;
        return;
    }
    if (run.faultReported.insert(reference).second)
        reference->sendErrorNotification(kind, reference, u"&" + name + u";");
}

TdomEntityContentBuilder::~TdomEntityContentBuilder() = default;

namespace {

// Whether the parser would turn the text into exactly one text node with the same characters,
// and how many nodes its parse can make at most otherwise: two per "<" (the markup and the text
// before it), one per "=" (an attribute), and the text at the end.
bool isPlainText(const WideString& text, size_t& nodes) {
    nodes = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool plain = true;
        if (c == u'<' || c == u'&') plain = false;
        else if (c == u'>' && i >= 2 && text[i - 1] == u']' && text[i - 2] == u']') plain = false;
        else if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') plain = false;
        else if (c >= 0xD800 && c <= 0xDFFF) plain = false;  // pairs are left to the parser's check
        else if (c == 0xFFFE || c == 0xFFFF) plain = false;
        if (plain) continue;
        nodes += 2 * static_cast<size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), u'<')) +
                 static_cast<size_t>(std::count(text.begin(), text.end(), u'='));
        return false;
    }
    return true;
}

}  // namespace

bool TdomEntityContentBuilder::buildInto(const WideString& name, TdomNode* target) {
    lastFailure_ = TdomExpansionResult::Ok;
    TdomExpansionBudget& budget = scope_.run().budget;
    // Once the run's budget is spent, nothing more is expanded (or copied) in it.
    TdomExpansionResult r = budget.spent() ? TdomExpansionResult::TooLarge : TdomExpansionResult::Ok;
    WideString text;
    if (r == TdomExpansionResult::Ok) r = scope_.run().content->expandEntity(name, text);
    // The text and the nodes it can become are charged before a node is made, less the one
    // node whose place the content takes (the reference): plain text costs its characters.
    size_t nodes = 0;
    const bool plain = r == TdomExpansionResult::Ok && !text.empty() && isPlainText(text, nodes);
    const size_t cost = text.size() + (nodes > 0 ? nodes - 1 : 0) * TdomExpansionBudget::kNodeChars;
    if (r == TdomExpansionResult::Ok && !budget.charge(cost)) r = TdomExpansionResult::TooLarge;
    if (r != TdomExpansionResult::Ok) {
        lastFailure_ = r;
        if (r == TdomExpansionResult::TooLarge) {
            WideString& at = budget.spent() ? spentAt_ : deepAt_;
            if (at.empty()) at = name;
        }
        return false;
    }
    if (text.empty()) return true;
    if (plain) {
        target->appendChild(document_->createTextNode(text));
        document_->noteMadeFromDeclarations(1);
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
        const size_t registered = document_->getRegisteredNodeCount();
        parser_->parseWideStringInto(text[0] == 0xFEFF ? u"\uFEFF" + text : text, WideString(), WideString(),
                                     target);
        const size_t now = document_->getRegisteredNodeCount();
        document_->noteMadeFromDeclarations(now > registered ? now - registered : 0);
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
