// Matching of an element's child names against a schema content model (choice, element
// name and sequence models with their frequencies), written once over an adapter so the
// declaration store's content models and tests share it. Nesting is bounded: a model deeper
// than kMaxContentModelDepth is refused, never a stack overflow.
#pragma once

#include <cstddef>
#include <vector>

#include "XmlStrings.h"
#include "XmlSupport.h"

namespace xmldom {

/// List operators and frequencies of schema content models.
inline constexpr uint8_t kListChoice = 0;
inline constexpr uint8_t kListName = 1;
inline constexpr uint8_t kListSequence = 2;
inline constexpr uint8_t kFreqOnce = 0;
inline constexpr uint8_t kFreqOptional = 1;
inline constexpr uint8_t kFreqOneOrMore = 2;
inline constexpr uint8_t kFreqZeroOrMore = 3;

inline constexpr int kMaxContentModelDepth = 512;

/// State of one match: the non-determinism flag and the refusal of a too deep model.
struct TdomContentMatchState {
    bool error = false;    ///< two alternatives of a choice both consumed names
    bool tooDeep = false;  ///< the model nests deeper than the bound; every test fails
};

/// Adapter requirements, for a model pointer M:
///   uint8_t listOperator(M), uint8_t frequency(M), const WideString& name(M),
///   size_t subModelCount(M), M subModel(M, size_t).
/// Names is a vector of the child names or of pointers to them (the validation walk passes
/// the elements' own names without copying them).
template <class Adapter, class M, class Names = std::vector<WideString>>
class TdomContentMatcher {
public:
    TdomContentMatcher(const Adapter& adapter, const Names& names)
        : a_(adapter), names_(names) {}

    bool withFrequency(M model, size_t& index, TdomContentMatchState& st, int depth = 0) const {
        st.error = false;
        if (st.tooDeep) return false;
        if (depth > kMaxContentModelDepth) {
            st.tooDeep = true;
            return false;
        }
        const uint8_t freq = a_.frequency(model);
        if (freq > kFreqZeroOrMore) return false;
        const bool firstOptional = freq == kFreqOptional || freq == kFreqZeroOrMore;
        if (!test(model, index, st, firstOptional, depth)) return false;
        if (freq == kFreqOnce || freq == kFreqOptional) return true;
        // Further passes while names remain and a pass matches and consumes names.
        size_t work = index;
        while (work < names_.size()) {
            size_t before = work;
            if (!test(model, work, st, false, depth) || work == before) break;
            index = work;
        }
        // A pass that found two consuming alternatives leaves the error flag: no match.
        return !st.error && !st.tooDeep;
    }

    bool test(M model, size_t& index, TdomContentMatchState& st, bool optional, int depth) const {
        st.error = false;
        if (st.tooDeep) return false;
        bool r;
        switch (a_.listOperator(model)) {
            case kListChoice: r = choice(model, index, st, optional, depth); break;
            case kListName: r = nameTest(model, index, optional); break;
            case kListSequence: r = sequence(model, index, st, optional, depth); break;
            default: r = true; break;
        }
        return r && !st.error && !st.tooDeep;
    }

    /// The three list operators' tests, also for callers that name the operator themselves.
    bool nameTest(M model, size_t& index, bool optional) const {
        bool hit = index < names_.size() && SameUnits(nameAt(index), a_.name(model));
        if (hit) ++index;
        return hit || optional;
    }

    bool sequenceTest(M model, size_t& index, TdomContentMatchState& st, bool optional, int depth) const {
        st.error = false;
        return sequence(model, index, st, optional, depth) && !st.error && !st.tooDeep;
    }
    bool choiceTest(M model, size_t& index, TdomContentMatchState& st, bool optional, int depth) const {
        st.error = false;
        return choice(model, index, st, optional, depth) && !st.error && !st.tooDeep;
    }

private:
    static const WideString& deref(const WideString& name) { return name; }
    static const WideString& deref(const WideString* name) { return *name; }
    const WideString& nameAt(size_t index) const { return deref(names_[index]); }

    /// withFrequency of a sub-model at depth + 1 (no deeper than the bound, no refusal pending)
    /// that is a name occurring once: the name test alone. Names fill most models, so the
    /// general path's calls are spared for them.
    bool subModelWithFrequency(M sub, size_t& index, TdomContentMatchState& st, int depth) const {
        if (a_.listOperator(sub) == kListName && a_.frequency(sub) == kFreqOnce && depth < kMaxContentModelDepth) {
            st.error = false;
            return nameTest(sub, index, false);
        }
        return withFrequency(sub, index, st, depth + 1);
    }

    bool sequence(M model, size_t& index, TdomContentMatchState& st, bool optional, int depth) const {
        size_t count = a_.subModelCount(model);
        size_t work = index;
        bool matched = count > 0;
        for (size_t i = 0; i < count && matched; ++i)
            matched = subModelWithFrequency(a_.subModel(model, i), work, st, depth);
        if (st.tooDeep) return false;
        if (matched) {
            index = work;
            return true;
        }
        bool error = st.error;
        st.error = false;
        return !error && optional;
    }

    bool choice(M model, size_t& index, TdomContentMatchState& st, bool optional, int depth) const {
        // An alternative that matches without consuming only counts when none consumes.
        size_t count = a_.subModelCount(model);
        bool emptyMatch = false;
        bool consuming = false;
        size_t found = index;
        for (size_t i = 0; i < count; ++i) {
            size_t copy = index;
            bool ok = subModelWithFrequency(a_.subModel(model, i), copy, st, depth);
            if (st.tooDeep) return false;
            if (!ok) {
                if (st.error) return false;
                continue;
            }
            if (copy == index) {
                emptyMatch = true;
                continue;
            }
            if (consuming) {
                st.error = true;
                return false;
            }
            consuming = true;
            found = copy;
        }
        if (consuming || emptyMatch) {
            index = found;
            return true;
        }
        return optional;
    }

    const Adapter& a_;
    const Names& names_;
};

}  // namespace xmldom
