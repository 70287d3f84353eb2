// Entity expansion and the entity tests: cutting literal values, nested, predefined, character,
// unparsed, external, unusable and circular entities, and the hostile shapes (billion laughs,
// a self-referring entity, long chains answered once).

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "XmlDomEntityExpansion.h"

using namespace xmldom;

namespace {

/// A table of declared entities with a lookup that counts its calls.
struct Table {
    std::map<WideString, TdomEntityFacts> entities;
    size_t lookups = 0;

    void internal(const WideString& name, const WideString& value, uint8_t state = 2) {
        TdomEntityFacts f;
        f.literalValue = value;
        f.state = state;
        entities[name] = f;
    }
    void external(const WideString& name, bool unparsed, uint8_t state) {
        TdomEntityFacts f;
        f.external = true;
        f.unparsed = unparsed;
        f.state = state;
        entities[name] = f;
    }
    TdomEntityLookup lookup() {
        return [this](const WideString& name, bool, TdomEntityFacts& facts) {
            ++lookups;
            auto it = entities.find(name);
            if (it == entities.end()) return false;
            facts = it->second;
            return true;
        };
    }
};

WideString num(int i) {
    WideString s;
    for (char c : std::to_string(i)) s += static_cast<char16_t>(c);
    return s;
}

TEST(EntityParts, CutLiteralValue) {
    auto parts = CutLiteralValue(u"a&#65;b&#x1F600;&name;&bad &#xZZ;&#1114112;");
    ASSERT_EQ(parts.size(), 6u);
    EXPECT_EQ(parts[0].text, u"a");
    EXPECT_EQ(parts[1].kind, TdomEntityPart::CharRef);
    EXPECT_EQ(parts[1].text, u"A");
    EXPECT_EQ(parts[3].text, (WideString{0xD83D, 0xDE00}));
    EXPECT_EQ(parts[4].kind, TdomEntityPart::EntityRef);
    EXPECT_EQ(parts[4].text, u"name");
    EXPECT_EQ(parts[5].kind, TdomEntityPart::Text);
    EXPECT_EQ(parts[5].text, u"&bad &#xZZ;&#1114112;");
    EXPECT_TRUE(CutLiteralValue(u"").empty());
}

TEST(EntityExpansion, NestedPredefinedAndCharacters) {
    Table t;
    t.internal(u"inner", u"x&lt;y&#33;");
    t.internal(u"outer", u"[&inner;|&inner;]");
    TdomEntityExpander ex(t.lookup());
    WideString text;
    EXPECT_EQ(ex.expandEntity(u"outer", text), TdomExpansionResult::Ok);
    EXPECT_EQ(text, u"[x<y!|x<y!]");
    EXPECT_EQ(ex.expandEntity(u"amp", text), TdomExpansionResult::Ok);
    EXPECT_EQ(text, u"&");
    EXPECT_EQ(ex.expandText(u"a &lt; b &outer;", text), TdomExpansionResult::Ok);
    EXPECT_EQ(text, u"a < b [x<y!|x<y!]");
}

TEST(EntityExpansion, Failures) {
    Table t;
    t.internal(u"self", u"a&self;");
    t.internal(u"ping", u"&pong;");
    t.internal(u"pong", u"&ping;");
    t.internal(u"bad", u"<a>", 1);
    t.external(u"pic", true, 2);
    t.external(u"chap", false, 0);
    t.external(u"chap2", false, 2);
    t.entities[u"chap2"].literalValue = u"text";
    t.internal(u"usesMissing", u"&missing;");
    WideString text;
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"self", text), TdomExpansionResult::Circular);
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"ping", text), TdomExpansionResult::Circular);
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"bad", text), TdomExpansionResult::Unusable);
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"pic", text), TdomExpansionResult::Unparsed);
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"chap", text), TdomExpansionResult::Unresolvable);
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"chap2", text), TdomExpansionResult::Ok);
    EXPECT_EQ(TdomEntityExpander(t.lookup(), {}, false).expandEntity(u"chap2", text), TdomExpansionResult::External);
    TdomEntityExpander ex(t.lookup());
    EXPECT_EQ(ex.expandEntity(u"usesMissing", text), TdomExpansionResult::Undeclared);
    EXPECT_EQ(ex.failedName(), u"missing");
    EXPECT_TRUE(text.empty());
}

TEST(EntityExpansion, BillionLaughsIsRefusedWithinBudget) {
    Table t;
    t.internal(u"lol0", u"lol");
    for (int i = 1; i <= 12; ++i) {
        WideString v;
        for (int k = 0; k < 10; ++k) v += u"&lol" + num(i - 1) + u";";
        t.internal(u"lol" + num(i), v);
    }
    TdomEntityExpander ex(t.lookup());
    WideString text;
    EXPECT_EQ(ex.expandEntity(u"lol12", text), TdomExpansionResult::TooLarge);
    EXPECT_LE(ex.producedChars(), 2 * TdomExpansionLimits{}.maxChars);
    EXPECT_LE(t.lookups, 20u) << "each entity is looked up once per call";
    // A small one of the same shape works.
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"lol3", text), TdomExpansionResult::Ok);
    EXPECT_EQ(text.size(), 3000u);
}

TEST(EntityExpansion, DepthBudget) {
    Table t;
    constexpr int kChain = 5000;
    for (int i = 0; i < kChain; ++i) t.internal(u"e" + num(i), u"&e" + num(i + 1) + u";");
    t.internal(u"e" + num(kChain), u"end");
    WideString text;
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"e0", text), TdomExpansionResult::TooLarge);
    EXPECT_EQ(TdomEntityExpander(t.lookup()).expandEntity(u"e" + num(kChain - 100), text), TdomExpansionResult::Ok);
    EXPECT_EQ(text, u"end");
}

TEST(EntityTests, Kinds) {
    Table t;
    t.internal(u"plain", u"text &amp; &lt;");
    t.internal(u"lt", u"&#60;");  // a redeclared predefined entity is looked up like any other
    t.internal(u"tag", u"<b>bold</b>");
    t.internal(u"viaTag", u"x&tag;");
    t.internal(u"self", u"&viaSelf;");
    t.internal(u"viaSelf", u"&self;");
    t.external(u"file", false, 2);
    t.internal(u"viaFile", u"&file;");
    t.external(u"pic", true, 2);
    t.internal(u"viaPic", u"&pic;");
    t.internal(u"broken", u"x", 1);
    t.internal(u"viaBroken", u"&broken;");
    t.internal(u"undeclared", u"&nowhere;");
    auto lk = t.lookup();
    using K = TdomEntityTestKind;
    using R = TdomEntityTestResult;
    EXPECT_EQ(TestEntityReferences(K::LessThan, u"plain", false, lk), R::NoHit);
    EXPECT_EQ(TestEntityReferences(K::LessThan, u"viaTag", false, lk), R::Hit);
    EXPECT_EQ(TestEntityReferences(K::LessThan, u"viaBroken", false, lk), R::Hit);
    EXPECT_EQ(TestEntityReferences(K::Circular, u"self", false, lk), R::Hit);
    EXPECT_EQ(TestEntityReferences(K::Circular, u"viaTag", false, lk), R::NoHit);
    EXPECT_EQ(TestEntityReferences(K::External, u"viaFile", false, lk), R::Hit);
    EXPECT_EQ(TestEntityReferences(K::External, u"viaPic", false, lk), R::Hit);
    EXPECT_EQ(TestEntityReferences(K::Unparsed, u"viaPic", false, lk), R::Hit);
    EXPECT_EQ(TestEntityReferences(K::Unparsed, u"viaFile", false, lk), R::NoHit);
    EXPECT_EQ(TestEntityReferences(K::Unresolvable, u"viaBroken", false, lk), R::Hit);
    WideString missing;
    EXPECT_EQ(TestEntityReferences(K::External, u"undeclared", false, lk, &missing), R::Undeclared);
    EXPECT_EQ(missing, u"nowhere");
    EXPECT_EQ(TestEntityReferences(K::External, u"undeclared", true, lk), R::NoHit);
    // The non-circular tests end on a circle instead of walking it forever.
    EXPECT_EQ(TestEntityReferences(K::External, u"self", false, lk), R::NoHit);
}

TEST(EntityTests, ChainOfTenfoldReferencesIsAnsweredOnce) {
    // 30 entities, each naming the previous one ten times: 10^30 paths, 30 entities.
    Table t;
    t.internal(u"c0", u"leaf");
    for (int i = 1; i <= 30; ++i) {
        WideString v;
        for (int k = 0; k < 10; ++k) v += u"&c" + num(i - 1) + u";";
        t.internal(u"c" + num(i), v);
    }
    t.lookups = 0;
    for (auto kind : {TdomEntityTestKind::Circular, TdomEntityTestKind::External, TdomEntityTestKind::LessThan,
                      TdomEntityTestKind::Unparsed, TdomEntityTestKind::Unresolvable})
        EXPECT_EQ(TestEntityReferences(kind, u"c30", false, t.lookup()), TdomEntityTestResult::NoHit);
    EXPECT_LE(t.lookups, 5u * 31u);
}

TEST(EntityTests, ARunAnswersEachTestOfAnEntityOnce) {
    // Validation asks the same tests at every reference to an entity; the run's memo walks
    // (and so cuts) the entity's value once, however many references ask.
    Table t;
    t.internal(u"big", WideString(50000, u'y') + u"&small;");
    t.internal(u"small", u"s");
    TdomEntityTestMemo memo;
    t.lookups = 0;
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(memo.test(TdomEntityTestKind::Unparsed, u"big", false, t.lookup()), TdomEntityTestResult::NoHit);
        EXPECT_EQ(memo.test(TdomEntityTestKind::Circular, u"big", true, t.lookup()), TdomEntityTestResult::NoHit);
    }
    EXPECT_EQ(t.lookups, 4u);
}

TEST(EntityTests, DeepChainWithoutRecursion) {
    Table t;
    constexpr int kChain = 200000;
    for (int i = 0; i < kChain; ++i) t.internal(u"d" + num(i), u"&d" + num(i + 1) + u";");
    t.internal(u"d" + num(kChain), u"&d0;");
    EXPECT_EQ(TestEntityReferences(TdomEntityTestKind::Circular, u"d0", false, t.lookup()),
              TdomEntityTestResult::Hit);
}

TEST(AttributeValues, CollapseSpaces) {
    EXPECT_EQ(CollapseSpaces(u"  a   b c  "), u"a b c");
    EXPECT_EQ(CollapseSpaces(u"   "), u"");
    EXPECT_EQ(CollapseSpaces(u"a\tb"), u"a\tb");
}

}  // namespace
