// Builds a document of one million elements, each with two attributes and a text child,
// through the document's factories, then frees it; reports the time and the peak heap bytes
// per node (all heap use of the process is counted by the replaced allocation operators).
// Also builds deep chains under an implementation, to show that building stays linear.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "XmlDom.h"

namespace {

std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};

void* track(void* p) {
    if (!p) throw std::bad_alloc();
    size_t now = liveBytes += malloc_usable_size(p);
    size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void untrack(void* p) {
    if (p) liveBytes -= malloc_usable_size(p);
    std::free(p);
}

}  // namespace

void* operator new(size_t n) { return track(std::malloc(n ? n : 1)); }
void* operator new[](size_t n) { return track(std::malloc(n ? n : 1)); }
void* operator new(size_t n, std::align_val_t a) {
    size_t al = static_cast<size_t>(a);
    return track(std::aligned_alloc(al, (n + al - 1) / al * al));
}
void operator delete(void* p) noexcept { untrack(p); }
void operator delete[](void* p) noexcept { untrack(p); }
void operator delete(void* p, size_t) noexcept { untrack(p); }
void operator delete[](void* p, size_t) noexcept { untrack(p); }
void operator delete(void* p, std::align_val_t) noexcept { untrack(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { untrack(p); }

namespace {

using namespace xmldom;

constexpr int kGroups = 1000;
constexpr int kItemsPerGroup = 1000;  // 1000 x 1000 = one million item elements

WideString number(int n) {
    std::string s = std::to_string(n);
    return WideString(s.begin(), s.end());
}

/// Builds the document and returns its node count.
size_t build(TdomDocument& doc) {
    TdomElement* root = doc.initDocumentElement(u"checksheet");
    int id = 0;
    for (int g = 0; g < kGroups; ++g) {
        TdomElement* group = doc.createElement(u"heading");
        group->setAttribute(u"code", number(g));
        root->appendChild(group);
        for (int i = 0; i < kItemsPerGroup; ++i) {
            TdomElement* item = doc.createElement(u"operation");
            item->setAttribute(u"id", number(++id));
            item->setAttribute(u"type", u"service");
            item->appendChild(doc.createTextNode(u"Check tyre pressures and adjust"));
            group->appendChild(item);
        }
    }
    return doc.getRegisteredNodeCount();
}

void BM_BuildAndFreeMillionElements(benchmark::State& state) {
    size_t nodes = 0;
    size_t peakPerRun = 0;
    // A freed document leaves some node pages to the next one, so the heap settles after the
    // first run: every later run must end where the first one did.
    size_t settled = 0;
    bool first = true;
    for (auto _ : state) {
        size_t before = liveBytes.load();
        peakBytes = before;
        {
            auto doc = std::make_unique<TdomDocument>();
            nodes = build(*doc);
            benchmark::DoNotOptimize(doc->getDocumentElement());
        }
        peakPerRun = std::max(peakPerRun, peakBytes.load() - before);
        if (!first && liveBytes.load() != settled) state.SkipWithError("heap grows from one run to the next");
        settled = liveBytes.load();
        first = false;
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["peak_MiB"] = static_cast<double>(peakPerRun) / (1024.0 * 1024.0);
    state.counters["peak_bytes_per_node"] = static_cast<double>(peakPerRun) / static_cast<double>(nodes);
    state.counters["ns_per_node"] = benchmark::Counter(static_cast<double>(nodes),
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}
BENCHMARK(BM_BuildAndFreeMillionElements)->Unit(benchmark::kMillisecond)->Iterations(3);

/// Building only, with the free timed apart.
void BM_FreeMillionElements(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<TdomDocument>();
        build(*doc);
        state.ResumeTiming();
        doc.reset();
    }
}
BENCHMARK(BM_FreeMillionElements)->Unit(benchmark::kMillisecond)->Iterations(3);

/// A chain of state.range(0) elements, each appended to the deepest, in a document whose
/// implementation counts the insertions: time per node should not grow with the depth.
void BM_BuildDeepChainUnderImplementation(benchmark::State& state) {
    const auto depth = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TDomImplementation impl;
        size_t inserted = 0;
        impl.OnNodeInserted = [&inserted](TObject*, TdomDocument*, TdomNode*) { ++inserted; };
        auto doc = std::make_unique<TdomDocument>(&impl);
        TdomNode* deepest = doc->appendChild(doc->createElement(u"root"));
        for (int i = 0; i < depth; ++i) deepest = deepest->appendChild(doc->createElement(u"e"));
        benchmark::DoNotOptimize(inserted);
        doc.reset();
    }
    state.SetItemsProcessed(state.iterations() * depth);
}
BENCHMARK(BM_BuildDeepChainUnderImplementation)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
