// Matching child names against schema content models: frequencies, sequences and choices with
// their optional and error rules, repetitions that consume nothing, and hostile models (a
// choice of 10,000 alternatives, groups nested 10,000 deep).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "XmlDomContentMatch.h"

using namespace xmldom;

namespace {

struct Model {
    uint8_t op;
    uint8_t freq = kFreqOnce;
    WideString name;
    std::vector<Model*> subs;
};

struct Adapter {
    uint8_t listOperator(const Model* m) const { return m->op; }
    uint8_t frequency(const Model* m) const { return m->freq; }
    const WideString& name(const Model* m) const { return m->name; }
    size_t subModelCount(const Model* m) const { return m->subs.size(); }
    const Model* subModel(const Model* m, size_t i) const { return m->subs[i]; }
};

struct Pool {
    std::vector<std::unique_ptr<Model>> all;
    Model* leaf(const WideString& n, uint8_t f = kFreqOnce) { return add({kListName, f, n, {}}); }
    Model* seq(std::vector<Model*> s, uint8_t f = kFreqOnce) { return add({kListSequence, f, {}, std::move(s)}); }
    Model* choice(std::vector<Model*> s, uint8_t f = kFreqOnce) { return add({kListChoice, f, {}, std::move(s)}); }
    Model* add(Model m) {
        all.push_back(std::make_unique<Model>(std::move(m)));
        return all.back().get();
    }
};

struct Outcome {
    bool ok;
    size_t index;
    bool error;
    bool tooDeep;
};

Outcome run(const Model* m, std::vector<WideString> names) {
    Adapter a;
    TdomContentMatcher<Adapter, const Model*> matcher(a, names);
    size_t index = 0;
    TdomContentMatchState st;
    bool ok = matcher.withFrequency(m, index, st);
    return {ok, index, st.error, st.tooDeep};
}

TEST(ContentMatch, SequenceLeavesTheUnconsumedNames) {
    Pool p;
    Outcome o = run(p.seq({p.leaf(u"a"), p.leaf(u"b")}), {u"a", u"b", u"c"});
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.index, 2u) << "the caller then sees that c is left over";
}

TEST(ContentMatch, ChoiceOfTwoEqualLeavesIsNotDeterministic) {
    Pool p;
    Outcome o = run(p.choice({p.leaf(u"a"), p.leaf(u"a")}), {u"a"});
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.error);
}

TEST(ContentMatch, EmptySequence) {
    Pool p;
    Model* empty = p.seq({});
    EXPECT_FALSE(run(empty, {u"a"}).ok);
    Adapter a;
    std::vector<WideString> names{u"a"};
    TdomContentMatcher<Adapter, const Model*> m(a, names);
    size_t index = 0;
    TdomContentMatchState st;
    EXPECT_TRUE(m.test(empty, index, st, true, 0));
    EXPECT_EQ(index, 0u);
}

TEST(ContentMatch, Frequencies) {
    Pool p;
    Outcome o = run(p.leaf(u"b", kFreqZeroOrMore), {u"b", u"b", u"c"});
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.index, 2u);
    EXPECT_TRUE(run(p.leaf(u"b", kFreqZeroOrMore), {u"c"}).ok);
    EXPECT_FALSE(run(p.leaf(u"b", kFreqOneOrMore), {u"c"}).ok);
    EXPECT_TRUE(run(p.leaf(u"b", kFreqOptional), {}).ok);
    EXPECT_EQ(run(p.leaf(u"b", kFreqOneOrMore), {u"b", u"b", u"b"}).index, 3u);
    Model* odd = p.leaf(u"b");
    odd->freq = 7;
    EXPECT_FALSE(run(odd, {u"b"}).ok);
}

TEST(ContentMatch, EmptyAlternativesAreNoSecondMatch) {
    Pool p;
    // ((a,b)|c*) on a b, and on nothing.
    Model* m = p.choice({p.seq({p.leaf(u"a"), p.leaf(u"b")}), p.leaf(u"c", kFreqZeroOrMore)});
    Outcome o = run(m, {u"a", u"b"});
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.index, 2u);
    EXPECT_FALSE(o.error);
    EXPECT_TRUE(run(m, {}).ok);
    // (a|b?) on a.
    o = run(p.choice({p.leaf(u"a"), p.leaf(u"b", kFreqOptional)}), {u"a"});
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.index, 1u);
}

TEST(ContentMatch, RepetitionThatConsumesNothingEnds) {
    Pool p;
    // (a?, b?)* on c c: every pass matches and consumes nothing.
    Outcome o = run(p.seq({p.leaf(u"a", kFreqOptional), p.leaf(u"b", kFreqOptional)}, kFreqZeroOrMore), {u"c", u"c"});
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.index, 0u);
    o = run(p.seq({p.leaf(u"a", kFreqOptional), p.leaf(u"b", kFreqOptional)}, kFreqOneOrMore),
            {u"a", u"b", u"b", u"a"});
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.index, 4u);
}

TEST(ContentMatch, WideChoice) {
    Pool p;
    std::vector<Model*> alts;
    for (int i = 0; i < 10000; ++i) {
        WideString n = u"e";
        for (char c : std::to_string(i)) n += static_cast<char16_t>(c);
        alts.push_back(p.leaf(n));
    }
    Model* m = p.choice(alts, kFreqZeroOrMore);
    std::vector<WideString> names{u"e9999", u"e0", u"e5000"};
    Outcome o = run(m, names);
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.index, 3u);
}

TEST(ContentMatch, DeepNestingIsRefused) {
    Pool p;
    Model* cur = p.leaf(u"x");
    for (int i = 0; i < 10000; ++i) cur = (i % 2) ? p.seq({cur}) : p.choice({cur}, kFreqOptional);
    Outcome o = run(cur, {u"x"});
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.tooDeep);
    Model* shallow = p.leaf(u"x");
    for (int i = 0; i < 100; ++i) shallow = p.seq({shallow});
    EXPECT_TRUE(run(shallow, {u"x"}).ok);
}

}  // namespace
