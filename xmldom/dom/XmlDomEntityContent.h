// The nodes an entity reference stands for: the entity's replacement text, nested references
// expanded against one budget, parsed once into a node. Used by entity-reference expansion,
// by the replacing mode of resolveEntityReferences and by importNode of references.
#pragma once

#include <cstdint>
#include <memory>

#include "XmlDomEntityExpansion.h"
#include "XmlDomSchema.h"
#include "XmlSupport.h"

namespace xmldom {

class TdomDocument;
class TdomNode;
class TXmlToDomParser;

/// One expansion run (one call of resolveEntityReferences or expand, or the validation that
/// makes them): the replacement texts built in it, the content it produced charged to the run's
/// budget, and the parser, made on first need.
class TdomEntityContentBuilder {
public:
    explicit TdomEntityContentBuilder(TdomDocument* document);
    ~TdomEntityContentBuilder();
    TdomEntityContentBuilder(const TdomEntityContentBuilder&) = delete;
    TdomEntityContentBuilder& operator=(const TdomEntityContentBuilder&) = delete;

    /// Appends the content of the declared parsed entity `name` to target. False, with
    /// nothing appended, when it is undeclared, unparsed, circular, unresolvable, unusable,
    /// past the budget or the depth, or not well-formed content. The text and the nodes it can
    /// become are charged to the run's budget before a node is made.
    bool buildInto(const WideString& name, TdomNode* target);
    /// Outcome of the last failed expansion (Ok when the parse failed).
    TdomExpansionResult lastFailure() const { return lastFailure_; }
    /// Reports kind 32 about node, naming the limit, once per run when the run's budget is spent
    /// or an expansion went deeper than expansion goes.
    void reportSpentBudget(TdomNode* node);
    /// The reference to the entity `name` was left without its content (after buildInto failed,
    /// or unexpanded as undeclared or unparsed). When XML makes that a fatal error (content that
    /// is no parsed entity or not well-formed, a recursion, an unparsed or, where every entity
    /// must be declared, an undeclared entity inside it), it is reported at the reference, once
    /// per run; otherwise the run notes a failure left for its caller to report.
    void refused(TdomNode* reference, const WideString& name);

private:
    TdomDocument* document_;
    TdomExpansionScope scope_;  ///< the run whose budget the content is charged to; its
                                ///< content expander builds each entity once per run
    std::unique_ptr<TXmlToDomParser> parser_;
    TdomExpansionResult lastFailure_ = TdomExpansionResult::Ok;
    WideString spentAt_;  ///< the reference at which the budget refused the expansion
    WideString deepAt_;   ///< the first reference refused for its depth
};

}  // namespace xmldom
