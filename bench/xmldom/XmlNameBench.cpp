// Speed of the XML name tests: IsXmlName over a million names drawn from several scripts
// (Latin, Latin-1, Greek, Cyrillic, Arabic, Devanagari, kana, CJK ideographs, Hangul), reported
// as time per character. Target: a few nanoseconds per character.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "XmlChars.h"

using namespace xmldom;

namespace {

struct Script {
    char16_t first, last; // a run of letters of the script
};

constexpr Script kScripts[] = {
    {u'a', u'z'},     {0x00E0, 0x00F6}, {0x03B1, 0x03C9}, {0x0430, 0x044F}, {0x0628, 0x063A},
    {0x0915, 0x0939}, {0x30A1, 0x30FA}, {0x4E00, 0x9FA5}, {0xAC00, 0xD7A3},
};

// The names lie one after another in one text, as a reader meets them in a document.
struct NameSet {
    std::u16string text;
    std::vector<std::u16string_view> names;
};

NameSet pack(const std::vector<std::u16string>& names) {
    NameSet set;
    for (const std::u16string& name : names)
        set.text += name;
    size_t at = 0;
    for (const std::u16string& name : names) {
        set.names.push_back(std::u16string_view(set.text).substr(at, name.size()));
        at += name.size();
    }
    return set;
}

NameSet makeNames(size_t count, size_t& totalUnits) {
    std::mt19937 random(2024);
    std::vector<std::u16string> names;
    names.reserve(count);
    totalUnits = 0;
    for (size_t i = 0; i < count; ++i) {
        const Script& script = kScripts[random() % std::size(kScripts)];
        size_t length = 3 + random() % 12;
        std::u16string name;
        for (size_t j = 0; j < length; ++j) {
            unsigned pick = random() % 16;
            if (j > 0 && pick == 0)
                name += u"-._:"[random() % 4];
            else if (j > 0 && pick == 1)
                name += static_cast<char16_t>(u'0' + random() % 10);
            else
                name += static_cast<char16_t>(script.first + random() % (script.last - script.first + 1));
        }
        totalUnits += name.size();
        names.push_back(std::move(name));
    }
    return pack(names);
}

void BM_IsXmlName_MixedScripts(benchmark::State& state) {
    size_t units = 0;
    NameSet set = makeNames(1000000, units);
    const std::vector<std::u16string_view>& names = set.names;
    size_t accepted = 0;
    for (auto _ : state) {
        for (std::u16string_view name : names)
            accepted += IsXmlName(name) ? 1 : 0;
        benchmark::DoNotOptimize(accepted);
    }
    state.counters["time_per_char"] =
        benchmark::Counter(static_cast<double>(units),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["names"] = static_cast<double>(names.size());
    state.counters["accepted"] = static_cast<double>(accepted) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IsXmlName_MixedScripts)->Unit(benchmark::kMillisecond);

void BM_IsXmlName_Ascii(benchmark::State& state) {
    size_t units = 0;
    std::vector<std::u16string> names;
    std::mt19937 random(7);
    for (int i = 0; i < 1000000; ++i) {
        std::u16string name(3 + random() % 12, u'a');
        for (char16_t& c : name)
            c = static_cast<char16_t>(u'a' + random() % 26);
        units += name.size();
        names.push_back(std::move(name));
    }
    NameSet set = pack(names);
    size_t accepted = 0;
    for (auto _ : state) {
        for (std::u16string_view name : set.names)
            accepted += IsXmlName(name) ? 1 : 0;
        benchmark::DoNotOptimize(accepted);
    }
    state.counters["time_per_char"] =
        benchmark::Counter(static_cast<double>(units),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_IsXmlName_Ascii)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
