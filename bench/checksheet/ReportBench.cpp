// Pages per second of the checksheet report on the sample database (a service and test sheet of
// every kind, so the walk, the closing sections and every header block run): rendered into
// metafiles as the preview records them, and printed into PDF, with and without XML mode. The peer
// is a text-heavy page of the same density drawn straight into a metafile, which is what the
// drawing alone costs.
// Usage: bench_report [benchmark flags]
#include "CsReport.h"
#include "Database.h"
#include "Metafile.h"
#include "PdfPrinter.h"
#include "Tables.h"
#include "TolmLib.h"
#include "XMLGen.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

/// The alias, the data module and the report module over the built sample database, with the
/// application state of a service and test checksheet of every kind.
struct Run {
    Run() {
        db.DatabaseName = "KLV3Data";
        db.Params = {"PATH=" + std::string(VETRA_BIN_DIR)};
        frmTables = new TfrmTables();
        modReporting = new TmodReporting(nullptr);
        for (TTable* t : {frmTables->tblMRanges.get(), frmTables->tblEngines.get(), frmTables->tblStructure.get(),
                          frmTables->tblParams.get(), frmTables->tblLangText.get()})
            t->Open();
        Market = "GB";
        Language = "EN";
        ModelRange = 101;
        IntervalNo = 3;
        DoService = DoPreTest = DoEmissionTest = DoBrakeTest = true;
        XMLMarket = "GB";
        XMLLanguage = "en";
        DataVersion = "11/2026";
        AsAtDate = "15/03/2026";
        ModelText = "ARDEN";
        VariantText = "1.2 8V 44KW:01/1994 - 08/1999";
        IntervalText = "2. service";
        frmTables->tblEngines->FindKey({"EN", 1});
        info = A4Info();
        // In XML mode the real XML module writes the request's file after every page.
        xmlFolder = std::filesystem::temp_directory_path() / ("bench-report-xml-" + std::to_string(::getpid()));
        std::filesystem::create_directories(xmlFolder);
        OutputFolder = xmlFolder.string() + "/";
    }
    ~Run() {
        FreeChecksheetDocument();
        std::filesystem::remove_all(xmlFolder);
        OutputFolder.clear();
        delete modReporting;
        modReporting = nullptr;
        delete frmTables;
        frmTables = nullptr;
    }
    static tPrintInformation A4Info() {
        const TDeviceCaps caps = TPdfPrinter::A4Caps(poPortrait);
        tPrintInformation i;
        i.PixelsPerInch = TPoint{caps.LogPixelsX, caps.LogPixelsY};
        i.PhysicalPageSize = TPoint{caps.PhysicalWidth, caps.PhysicalHeight};
        i.PhysicalOffset = TPoint{caps.PhysicalOffsetX, caps.PhysicalOffsetY};
        i.PrintableArea = TRect{caps.PhysicalOffsetX * 254 / 600, -caps.PhysicalOffsetY * 254 / 600,
                                (caps.PhysicalOffsetX + caps.HorzRes) * 254 / 600,
                                -(caps.PhysicalOffsetY + caps.VertRes) * 254 / 600};
        i.UnitsPerPoint = 254 / 72.0;
        return i;
    }
    /// The walk's start, as the checksheet form sets it.
    static void Restart() {
        frmTables->tblStructure->First();
        CurSeqNo = frmTables->tblStructure->FieldByName("SEQUENCE_NO")->AsInteger();
        PendingMHCode = 0;
        StructureLeft = true;
        EmissionPending = BrakePending = SpecInstPending = EndBlockPending = NextServicePending = true;
    }
    /// One checksheet into metafiles; the number of pages.
    int RenderIntoMetafiles() {
        Restart();
        bool ok = true;
        modReporting->prnReportPrepare(nullptr, ok);
        const TDeviceCaps caps = TPdfPrinter::A4Caps(poPortrait);
        bool more = true;
        int pages = 0;
        while (more) {
            TMetafile page;
            TMetafileCanvas canvas(page, &caps);
            canvas.SetMapMode(MM_LOMETRIC);
            modReporting->prnReport->ResetCanvas(canvas);
            modReporting->prnReportPrintPage(nullptr, canvas, info, ++pages, more);
            benchmark::DoNotOptimize(page.Records().size());
        }
        modReporting->prnReportRelease(nullptr);
        return pages;
    }
    TDatabase db;
    tPrintInformation info;
    std::filesystem::path xmlFolder;
};

void ReportIntoMetafiles(benchmark::State& state, bool xml) {
    Run run;
    XMLMode = xml;
    int64_t pages = 0;
    for (auto _ : state) pages += run.RenderIntoMetafiles();
    XMLMode = false;
    state.counters["pages/s"] = benchmark::Counter(double(pages), benchmark::Counter::kIsRate);
    state.counters["pages"] = double(pages) / double(state.iterations());
}
void BM_ReportIntoMetafiles(benchmark::State& state) { ReportIntoMetafiles(state, false); }
void BM_ReportIntoMetafilesXml(benchmark::State& state) { ReportIntoMetafiles(state, true); }
BENCHMARK(BM_ReportIntoMetafiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportIntoMetafilesXml)->Unit(benchmark::kMillisecond);

void ReportIntoPdf(benchmark::State& state, bool xml) {
    const auto folder = std::filesystem::temp_directory_path() / ("bench-report-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TPdfPrinter>(folder.string()));
    printer->SetDevices(std::move(devices), 0);
    auto saved = SetPrinter(std::move(printer));
    {
        Run run;
        XMLMode = xml;
        int64_t pages = 0;
        for (auto _ : state) {
            Run::Restart();
            modReporting->prnReport->Print();
            pages += 4;
        }
        XMLMode = false;
        state.counters["pages/s"] = benchmark::Counter(double(pages), benchmark::Counter::kIsRate);
    }
    SetPrinter(std::move(saved));
    std::filesystem::remove_all(folder);
}
void BM_ReportIntoPdf(benchmark::State& state) { ReportIntoPdf(state, false); }
void BM_ReportIntoPdfXml(benchmark::State& state) { ReportIntoPdf(state, true); }
BENCHMARK(BM_ReportIntoPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportIntoPdfXml)->Unit(benchmark::kMillisecond);

/// The peer: 60 lines of 7-point text and their result boxes, straight into a metafile.
void BM_PeerTextPageIntoMetafile(benchmark::State& state) {
    const std::string line = "Check brake fluid level and condition; renew fluid every two years regardless of mileage.";
    const TDeviceCaps caps = TPdfPrinter::A4Caps(poPortrait);
    const tPrintInformation info = Run::A4Info();
    for (auto _ : state) {
        TMetafile page;
        TMetafileCanvas c(page, &caps);
        c.SetMapMode(MM_LOMETRIC);
        c.Font.Name = "Arial";
        c.Font.Height = -std::lround(7 * info.UnitsPerPoint);
        int y = info.PrintableArea.Top - 50;
        for (int i = 0; i < 60; ++i) {
            c.TextOut(info.PrintableArea.Left + 50, y, line.substr(0, 60 + i % 20));
            c.Rectangle(info.PrintableArea.Right - 150, y, info.PrintableArea.Right - 110, y - 40);
            y -= 42;
        }
        benchmark::DoNotOptimize(page.Records().size());
    }
    state.counters["pages/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PeerTextPageIntoMetafile);

}  // namespace

BENCHMARK_MAIN();
