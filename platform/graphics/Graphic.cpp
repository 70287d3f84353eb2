// The abstract graphic's file loading, the pixel budget that every picture reader checks, and the
// hook through which a picture asks the user a question while saving.
#include "Graphics.h"

#include "Streams.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<int64_t> budget{int64_t(64) << 20};

TGraphicQuestionHook& QuestionHook() {
    static TGraphicQuestionHook hook;
    return hook;
}
}  // namespace

void SetGraphicQuestionHook(TGraphicQuestionHook hook) { QuestionHook() = std::move(hook); }

bool AskGraphicQuestion(const std::string& question) {
    const TGraphicQuestionHook& hook = QuestionHook();
    return hook ? hook(question) : true;
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
