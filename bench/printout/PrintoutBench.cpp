// Speed of the report's drawing primitives: measuring a growing 80-character line character by
// character (the wrap pattern of the operation lines), and text-heavy A4 pages per second into a
// metafile (the preview) and into PDF (the built-in printer).
#include "Metafile.h"
#include "PdfPrinter.h"
#include "Printout.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

const std::string kLine =
    "Check brake fluid level and condition; renew fluid every two years regardless of mileage.";

/// One page of the report's density: 60 lines of 7-point text in a 0.1 mm y-up mode, a few boxes.
void DrawTextPage(TCanvas& c, const tPrintInformation& info) {
    c.Font.Name = "Arial";
    c.Font.Height = -std::lround(7 * info.UnitsPerPoint);
    int y = info.PrintableArea.Top - 50;
    for (int line = 0; line < 60; ++line) {
        c.TextOut(info.PrintableArea.Left + 50, y, kLine.substr(0, 60 + line % 20));
        c.Rectangle(info.PrintableArea.Right - 150, y, info.PrintableArea.Right - 110, y - 40);
        y -= 42;
    }
}

tPrintInformation A4Info() {
    tPrintInformation info;
    info.PrintableArea = TRect{42, -42, 2058, -2928};
    info.UnitsPerPoint = 254 / 72.0;
    return info;
}

void BM_TextWidthGrowingLine(benchmark::State& state) {
    TMetafile page;
    const TDeviceCaps caps = TPdfPrinter::A4Caps(poPortrait);
    TMetafileCanvas canvas(page, &caps);
    canvas.SetMapMode(MM_LOMETRIC);
    canvas.Font.Name = "Arial";
    canvas.Font.Height = -25;
    const std::string text = kLine.substr(0, 80);
    for (auto _ : state) {
        std::string growing;
        for (char ch : text) {
            growing += ch;
            benchmark::DoNotOptimize(canvas.TextWidth(growing));
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_TextWidthGrowingLine);

void BM_PageIntoMetafile(benchmark::State& state) {
    const TDeviceCaps caps = TPdfPrinter::A4Caps(poPortrait);
    const tPrintInformation info = A4Info();
    for (auto _ : state) {
        TMetafile page;
        page.SetWidth(caps.PhysicalWidth);
        page.SetHeight(caps.PhysicalHeight);
        TMetafileCanvas canvas(page, &caps);
        canvas.SetMapMode(MM_LOMETRIC);
        DrawTextPage(canvas, info);
        benchmark::DoNotOptimize(page.Records().size());
    }
    state.counters["pages/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PageIntoMetafile);

void BM_PageIntoPdf(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("bench-pdf-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TPdfPrinter>(folder.string()));
    printer->SetDevices(std::move(devices), 0);
    auto saved = SetPrinter(std::move(printer));
    tPrintout job;
    job.Title = "bench";
    const int pages = 20;
    job.OnPrintPage = [&](TObject*, TCanvas& c, tPrintInformation info, int page, bool& more) {
        DrawTextPage(c, info);
        more = page < pages;
    };
    for (auto _ : state) job.Print();
    state.counters["pages/s"] = benchmark::Counter(double(state.iterations()) * pages, benchmark::Counter::kIsRate);
    SetPrinter(std::move(saved));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PageIntoPdf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
