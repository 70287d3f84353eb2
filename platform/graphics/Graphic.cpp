// The abstract graphic's file loading, and the pixel budget that every picture reader checks.
#include "Graphics.h"

#include "Streams.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<int64_t> budget{int64_t(64) << 20};
}

int64_t PixelBudget() { return budget.load(); }

void SetPixelBudget(int64_t pixels) { budget.store(std::max<int64_t>(pixels, 1)); }

void CheckPixelBudget(int64_t width, int64_t height) {
    // Compared by division so that no product of two large sizes can overflow.
    if (width < 0 || height < 0 || (width > 0 && height > budget.load() / width))
        throw EInvalidGraphic("Image size exceeds the pixel budget");
}

void TGraphic::LoadFromFile(const std::string& fileName) {
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}
