// Expansion of general entities against a budget: literal values cut into parts, replacement
// texts built once per entity and call, circular and over-deep paths refused, the entity tests
// (external, unparsed, less-than ...) answered in one pass with memory of what is known, and the
// one walk of attribute literals that resolving and normalizing attribute values share.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "XmlSupport.h"

namespace xmldom {

/// One part of an entity's literal value.
struct TdomEntityPart {
    enum Kind : uint8_t { Text = 0, CharRef = 1, EntityRef = 2 };
    Kind kind;
    WideString text;  ///< the text, the character's code units, or the referenced name
};

/// Cuts a literal value into text, character and entity-reference parts. A "&" that starts
/// no well-formed reference stays text, and so does everything inside a CDATA section, a
/// comment or a processing instruction, where XML recognizes no reference.
std::vector<TdomEntityPart> CutLiteralValue(std::u16string_view value);

/// What an expansion needs to know of one declared general entity.
struct TdomEntityFacts {
    bool external = false;     ///< public id, system id or notation name given
    bool unparsed = false;     ///< a notation name given
    uint8_t state = 2;         ///< 0 unresolved, 1 unusable, 2 usable (after `resolve` when asked)
    bool attributeUsable = false;  ///< in state 1 for a rule of content only: usable in attribute values
    WideString literalValue;   ///< the replacement text as declared
};

/// Looks a general entity up: false when undeclared. With resolve set, an entity in state 0
/// is resolved first (external parsed entities are fetched) and the state after it given.
using TdomEntityLookup = std::function<bool(const WideString& name, bool resolve, TdomEntityFacts& facts)>;

/// The limits of one expansion call.
struct TdomExpansionLimits {
    size_t maxChars = size_t{8} << 20;  ///< characters an expander's own budget allows
    int maxDepth = 256;                 ///< entities open at once
};

/// What one operation (a validation, a resolution of references, one expand, one copy, one
/// attribute literal, one declared default) may make from declarations: text in characters and
/// nodes at kNodeChars each. The bound is an amplification of the document's own size above a
/// fixed allowance, for that operation alone: a large document may make much, a small one no
/// more than the allowance, and no operation depends on what ran before it. Once a charge does
/// not fit, the budget is spent and every later charge fails at once.
class TdomExpansionBudget {
public:
    /// What any operation may make, however small its document: 8 Mi characters.
    static constexpr size_t kAllowance = TdomExpansionLimits{}.maxChars;
    /// How many times its document's size an operation may make beyond the allowance.
    static constexpr size_t kAmplification = 25;
    /// What one node takes of the budget, in characters: about its memory, so that the budget
    /// bounds the memory of markup as it does that of text.
    static constexpr size_t kNodeChars = 48;

    /// The bound of an operation on a document of that size (characters read, plus kNodeChars
    /// for each node read other than an entity reference).
    static size_t limitFor(size_t documentSize) {
        const size_t most = SIZE_MAX / kAmplification;
        const size_t scaled = documentSize > most ? SIZE_MAX : documentSize * kAmplification;
        return scaled > kAllowance ? scaled : kAllowance;
    }

    explicit TdomExpansionBudget(size_t limit = kAllowance) : limit_(limit) {}

    /// Takes n characters; false (and spent from then on) when they do not fit.
    bool charge(size_t n) {
        if (spent_ || n > limit_ - used_) {
            spent_ = true;
            return false;
        }
        used_ += n;
        return true;
    }
    bool spent() const { return spent_; }
    size_t used() const { return used_; }
    size_t limit() const { return limit_; }
    /// Spent from now on, whatever is left: another limit on the same content ran out.
    void exhaust() { spent_ = true; }

private:
    size_t limit_;
    size_t used_ = 0;
    bool spent_ = false;
};

/// Outcome of an expansion.
enum class TdomExpansionResult : uint8_t {
    Ok,
    Undeclared,    ///< an entity (the failing name) is not declared
    Circular,      ///< an entity met again on its own path
    Unparsed,      ///< an unparsed entity was referenced
    External,      ///< an external entity was referenced where none may be (the caller's choice)
    Unresolvable,  ///< an entity stayed in state 0
    Unusable,      ///< an entity in state 1
    TooLarge,      ///< the budget of characters or depth ran out
};

/// The shape of each entity's expansion, found by one walk of the reference graph (on an
/// explicit stack) and kept, so that questions about every entity of a long chain cost time
/// linear in the chain: whether it refers to itself, how deep its references nest, how long
/// its text is, and whether it reaches an undeclared name.
class TdomEntityShapes {
public:
    struct Shape {
        bool circular = false;
        bool undeclared = false;  ///< reaches a name neither declared nor predefined
        int height = 0;           ///< entities open below it at the deepest
        size_t length = 0;        ///< characters of its replacement text (saturating)
    };
    /// The shape of entity `name`, known or walked now (an entity never fetched counts as empty).
    Shape of(const WideString& name, const TdomEntityLookup& lookup);
    void clear() { known_.clear(); }

private:
    std::unordered_map<WideString, Shape> known_;
};

/// One expansion call: holds the budget and the texts built so far (each entity once).
class TdomEntityExpander {
public:
    TdomEntityExpander(TdomEntityLookup lookup, TdomExpansionLimits limits = {}, bool allowExternal = true);

    /// The replacement text of entity `name`, references expanded. The five predefined names
    /// give their characters.
    TdomExpansionResult expandEntity(const WideString& name, WideString& text);
    /// Appends the replacement text of entity `name` to out, charging it to the budget (the
    /// text of an entity built before is charged again at each reference).
    TdomExpansionResult appendEntity(const WideString& name, WideString& out);
    /// A literal text with its references expanded (character references to characters).
    TdomExpansionResult expandText(std::u16string_view literal, WideString& text);
    /// The name at which the last failure happened.
    const WideString& failedName() const { return failedName_; }
    /// Characters charged so far to the budget in use.
    size_t producedChars() const { return budget_->used(); }
    /// Draws on a budget shared with other expansions (not owned) instead of its own.
    void shareBudget(TdomExpansionBudget* budget) { budget_ = budget ? budget : &ownBudget_; }
    /// The budget in use.
    TdomExpansionBudget& budget() const { return *budget_; }
    /// References to the five predefined entities inside replacement texts stay references
    /// ("&lt;" as written) instead of becoming their characters: for text parsed as content.
    void setKeepPredefinedReferences(bool value) { keepPredefined_ = value; }
    /// The texts built are for attribute values: an entity unfit only as content is usable.
    void setForAttributeValues(bool value) { forAttributes_ = value; }

private:
    /// A replacement text built in this call, with how deep its references nest below it.
    struct Built {
        WideString text;
        int height = 0;
    };

    TdomExpansionResult build(const WideString& name, int depth);
    TdomExpansionResult appendParts(const std::vector<TdomEntityPart>& parts, WideString& out, int depth,
                                    int& height);
    bool charge(size_t n);
    /// The entity is too deep for an expansion that meets it at this depth.
    TdomExpansionResult tooDeep(const WideString& name);

    TdomEntityLookup lookup_;
    TdomExpansionLimits limits_;
    bool allowExternal_;
    bool keepPredefined_ = false;
    bool forAttributes_ = false;
    TdomExpansionBudget ownBudget_;
    TdomExpansionBudget* budget_ = &ownBudget_;
    WideString failedName_;
    std::unordered_map<WideString, Built> done_;  ///< replacement texts built in this call
    std::unordered_map<WideString, bool> onPath_;
    TdomEntityShapes shapes_;  ///< how deep each entity's references nest
    bool deepSeen_ = false;    ///< an expansion went past the depth limit
};

/// The entity tests of the schema models.
enum class TdomEntityTestKind : uint8_t { Circular, External, LessThan, Unparsed, Unresolvable };

/// Result of an entity test: hit, no hit, or an undeclared reference met (not ignored).
enum class TdomEntityTestResult : uint8_t { NoHit, Hit, Undeclared };

/// Walks the entity's references depth-first (on an explicit stack) and answers whether the
/// test hits at any entity reached; each entity is examined once. Circular paths are a hit of
/// the circular test and end the walk of the others as no hit on that branch.
/// With known given, answers found before are used and those of the walk kept there.
TdomEntityTestResult TestEntityReferences(TdomEntityTestKind kind, const WideString& entity, bool ignoreUndeclared,
                                          const TdomEntityLookup& lookup, WideString* undeclaredName = nullptr,
                                          std::unordered_map<WideString, TdomEntityTestResult>* known = nullptr);

/// The answers of the entity tests within one run: each test of each entity is walked once,
/// however many references ask for it.
class TdomEntityTestMemo {
public:
    TdomEntityTestResult test(TdomEntityTestKind kind, const WideString& entity, bool ignoreUndeclared,
                              const TdomEntityLookup& lookup);

private:
    std::unordered_map<WideString, TdomEntityTestResult> answers_[5][2];
};

/// A count that every change of general-entity declarations seen by a model collection raises
/// (declarations added, removed, given a value or resolved; models added or removed): answers
/// kept about entities hold while it stays the same.
uint64_t EntityDeclarationsGeneration();
void EntityDeclarationsChanged();

/// One operation on a document's entities (a validation, a resolution of references, one
/// attribute literal): the budget its expansions share and the entity tests it answered.
struct TdomExpansionRun {
    TdomExpansionBudget budget;
    TdomEntityTestMemo tests;
    std::unique_ptr<TdomEntityExpander> literals;  ///< builds entities for attribute literals
    std::unique_ptr<TdomEntityExpander> content;   ///< builds entities for content
    bool spentReported = false;                    ///< the spent budget (or the depth) was reported in this run
    /// The last attribute literal refused by a limit: 0 none, 1 the budget, 2 the depth.
    uint8_t literalLimit = 0;
    /// The reference at which the last attribute literal or declared default was refused by a
    /// limit, for the report to name as content's does.
    WideString limitAt;
    /// The fatal kind of the last attribute literal refused for a well-formedness fault (0: none).
    uint8_t literalFault = 0;
    /// References whose entity's well-formedness fault was reported, fatal, where the run met it:
    /// a later check of the same reference in the run does not report it again.
    std::unordered_set<const void*> faultReported;
    /// A reference was left unresolved for a reason not reported where it was met.
    bool unreportedFailure = false;
};

/// What the report of an expansion refused by a limit says beside its kind (32): which limit
/// ran out, and at which entity when known.
WideString ExpansionLimitClue(bool tooDeep, const WideString& entity);

/// How the walk of an attribute literal ended.
enum class TdomLiteralFault : uint8_t {
    None,
    Malformed,     ///< an "&" that no ";" closes
    BadReference,  ///< a character reference that gives no character, or a body that is no name
    Expansion,     ///< the entity could not be expanded (see the outcome's expansion result)
};

struct TdomLiteralOutcome {
    TdomLiteralFault fault = TdomLiteralFault::None;
    TdomExpansionResult expansion = TdomExpansionResult::Ok;
    WideString reference;  ///< the reference at fault: the name, or the whole character reference
};

/// The walk of attribute literals: tab, line feed and carriage return become spaces; a
/// character reference becomes its character; an entity reference becomes the expander's
/// replacement text (the five predefined names their characters, declared or not, as XML wants
/// any declaration of them to mean the same) with its blanks made spaces,
/// charged to the expander's budget. Stops at the first fault; out then holds what came before.
TdomLiteralOutcome ExpandAttributeLiteral(std::u16string_view literal, TdomEntityExpander& expander, WideString& out);

/// A declared default value normalized by that walk, with external references refused:
/// returns 0 or the error kind of the first fault: 66 malformed or undeclared reference, 36 an
/// external or unparsed entity, 53 an entity whose value holds "<", 61 another unusable or
/// unresolved entity, 62 a circular reference, 32 an expansion past its budget or depth (the
/// reference refused then given in failedReference, when asked).
uint8_t NormalizeDeclaredValue(std::u16string_view value, const TdomEntityLookup& lookup, TdomExpansionBudget* budget,
                               WideString& out, WideString* failedReference = nullptr);

/// A literal that the walk of attribute literals reads back to value: "&", "<" and the double
/// quote as references, and tab, line feed and carriage return as character references (the
/// walk would make them spaces). Such a literal can also be written between double quotes.
WideString AttributeLiteralOf(std::u16string_view value);

/// The value of a non-CDATA attribute: runs of spaces become one, leading and trailing ones go.
WideString CollapseSpaces(std::u16string_view value);

}  // namespace xmldom
