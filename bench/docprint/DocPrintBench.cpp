// Speed of the pre-printed forms: opening the dialog with both model page-1 files present (A4,
// 300 dpi, 1-bit LZW and 8-bit grey PackBits), loading one such page, and printing a nine-page
// series, to a recording printer (loading and drawing only) and to the PDF printer (pages per
// second and bytes per page).
// Usage: bench_docprint [benchmark flags]
#include "Database.h"
#include "DocPrint.h"
#include "ImageReaders.h"
#include "PageImages.h"
#include "PdfPrinter.h"
#include "RecordingPrinter.h"
#include "Tables.h"
#include "TolmLib.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

std::string gFolder;
constexpr int kDpi = 300;

/// A program folder with the sample database, the two model pages and nine PDI pages (odd
/// pages 1-bit LZW, even pages 8-bit grey PackBits), all A4 at 300 dpi.
void BuildFolder() {
    gFolder = (std::filesystem::temp_directory_path() / "vetra-bench-docprint/").string();
    std::filesystem::remove_all(gFolder);
    std::filesystem::create_directories(gFolder + "pdf");
    std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + "klv3data.sqlite", gFolder + "klv3data.sqlite");
    const int w = artwork::a4Width(kDpi), h = artwork::a4Height(kDpi);
    using enum artwork::TiffCoding;
    artwork::writeTiff(artwork::paintFormPage("PELLOR PETROL", "GB EN - PAGE 1", w, h), 1, LZW, kDpi,
                       gFolder + "GBENMP1.TIF");
    artwork::writeTiff(artwork::paintFormPage("PELLOR DIESEL", "GB EN - PAGE 1", w, h), 8, PackBits, kDpi,
                       gFolder + "GBENMD1.TIF");
    for (int n = 1; n <= 9; ++n)
        artwork::writeTiff(artwork::paintFormPage("PDI CHECKSHEET", "EN - PAGE " + std::to_string(n), w, h),
                           n % 2 ? 1 : 8, n % 2 ? LZW : PackBits, kDpi, gFolder + "ENPDI" + std::to_string(n) + ".TIF");
}

class Session {
public:
    Session() {
        db.DatabaseName = "KLV3Data";
        db.Params = {"PATH=" + gFolder};
        frmTables = new TfrmTables();
        frmTables->tblLangText->Open();
        Market = "GB";
        Language = "EN";
        RegisterImageReaders();
    }
    ~Session() {
        UnregisterImageReaders();
        delete frmTables;
        frmTables = nullptr;
    }
    TDatabase db;
};

void UsePrinter(std::unique_ptr<TPrinterDevice> device) {
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::move(device));
    printer->SetDevices(std::move(devices), 0);
    SetPrinter(std::move(printer));
}

void BM_OpenDialog(benchmark::State& state) {
    Session session;
    for (auto _ : state) {
        TfrmPrint form(nullptr);
        form.FormShow(&form);
        if (!form.rbModelPetrol->Visible() || !form.rbModelDiesel->Visible()) state.SkipWithError("model page missing");
    }
}
BENCHMARK(BM_OpenDialog)->Unit(benchmark::kMillisecond);

void BM_LoadPage(benchmark::State& state) {
    Session session;
    const std::string file = state.range(0) == 1 ? "GBENMP1.TIF" : "GBENMD1.TIF";
    state.SetLabel(state.range(0) == 1 ? "1-bit LZW" : "8-bit PackBits");
    for (auto _ : state) LoadPageImage(file);
}
BENCHMARK(BM_LoadPage)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void PrintSeries(benchmark::State& state) {
    TfrmPrint form(nullptr);
    form.FormShow(&form);
    for (auto _ : state) form.Print_PDI();
    state.counters["pages/s"] = benchmark::Counter(9.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PrintSeriesRecording(benchmark::State& state) {
    Session session;
    // Only the latest job's pages are of interest; a fresh recorder per run keeps memory flat.
    for (auto _ : state) {
        state.PauseTiming();
        UsePrinter(std::make_unique<TRecordingPrinter>());
        state.ResumeTiming();
        TfrmPrint form(nullptr);
        form.Print_PDI();
    }
    state.counters["pages/s"] = benchmark::Counter(9.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintSeriesRecording)->Unit(benchmark::kMillisecond);

void BM_PrintSeriesPdf(benchmark::State& state) {
    Session session;
    UsePrinter(std::make_unique<TPdfPrinter>(gFolder + "pdf"));
    PrintSeries(state);
    std::uintmax_t bytes = 0, files = 0;
    for (const auto& e : std::filesystem::directory_iterator(gFolder + "pdf")) {
        bytes += e.file_size();
        ++files;
    }
    state.counters["bytes/page"] = files ? double(bytes) / double(files) : 0;
    std::filesystem::remove_all(gFolder + "pdf");
    std::filesystem::create_directories(gFolder + "pdf");
}
BENCHMARK(BM_PrintSeriesPdf)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    BuildFolder();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(gFolder);
    return 0;
}
