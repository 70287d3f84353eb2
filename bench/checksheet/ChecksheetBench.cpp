// Speed of the checksheet form on a scaled service database (2,000 model ranges, 300,000
// model-range links, 10,000 structure rows): showing the form (first and later), the model to
// variants and variant to intervals steps of the cascade, and the extended-period search.
// Usage: bench_checksheet [benchmark flags]
#include "Chksheet.h"
#include "Database.h"
#include "ExtPer.h"
#include "SpecInst.h"
#include "Tables.h"
#include "TolmLib.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int kRanges = 2000;
constexpr int kLinksPerRange = 150;  // 300,000 links
constexpr int kStructureRows = 10000;
constexpr int kModels = 200;

std::string gFolder;

void Run(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "scaling failed: %s\n", error ? error : "?");
        std::exit(1);
    }
}

/// Copies the sample database and scales it up. Structure rows 1..10000: a main heading every 50
/// rows (heading 6, the extended-period one, at rows 5001..5050), the rest operations of market
/// GB; every model range links 150 of them, among them 20 of the extended-period section.
void BuildScaledDatabase() {
    gFolder = (std::filesystem::temp_directory_path() / "vetra-bench-checksheet/").string();
    std::filesystem::remove_all(gFolder);
    std::filesystem::create_directories(gFolder);
    std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + "klv3data.sqlite", gFolder + "klv3data.sqlite");
    sqlite3* db = nullptr;
    sqlite3_open((gFolder + "klv3data.sqlite").c_str(), &db);
    Run(db, "BEGIN; DELETE FROM Mranges; DELETE FROM CSLINKS; DELETE FROM Csstruct;");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO MODELS (MODEL_CODE, DESCRIPTION) VALUES (?, ?)", -1, &st, nullptr);
    for (int m = 10; m < 10 + kModels; ++m) {
        const std::string name = "MODEL " + std::to_string(m);
        sqlite3_bind_int(st, 1, m);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db,
                       "INSERT INTO Mranges (MODEL_CODE, ENGINE_CODE, BUILD_DATE_FROM, MODEL_RANGE_CODE, "
                       "INTERVAL_CODE, BUILD_DATE_TO) VALUES (?, ?, ?, ?, ?, ?)",
                       -1, &st, nullptr);
    for (int i = 0; i < kRanges; ++i) {
        const std::string from = "0" + std::to_string(1 + i % 9) + "/" + std::to_string(1990 + i % 15);
        const std::string to = i % 3 ? "12/" + std::to_string(2000 + i % 15) : "";
        sqlite3_bind_int(st, 1, 10 + i % kModels);
        sqlite3_bind_int(st, 2, 1 + i % 9);
        sqlite3_bind_text(st, 3, from.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, 1000 + i);
        sqlite3_bind_int(st, 5, 1 + i % 4);
        sqlite3_bind_text(st, 6, to.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db,
                       "INSERT INTO Csstruct (SEQUENCE_NO, MARKET_CODE, LANG_CODE, MH_CODE, L1_SHCODE, L2_SHCODE, "
                       "OP_CODE) VALUES (?, 'GB', 'EN', ?, ?, 0, ?)",
                       -1, &st, nullptr);
    for (int seq = 1; seq <= kStructureRows; ++seq) {
        const bool heading = seq % 50 == 1;
        const int mh = heading ? (seq > 5000 && seq <= 5050 ? 6 : 1 + (seq / 50) % 5) : 0;
        sqlite3_bind_int(st, 1, seq);
        sqlite3_bind_int(st, 2, mh);
        sqlite3_bind_int(st, 3, heading ? 0 : 12);
        sqlite3_bind_int(st, 4, heading ? 0 : 601 + seq % 12);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO CSLINKS (MODEL_RANGE_CODE, CS_CODE, INTERVALS) VALUES (?, ?, ?)", -1, &st,
                       nullptr);
    for (int r = 0; r < kRanges; ++r) {
        for (int k = 0; k < kLinksPerRange; ++k) {
            // 20 links in the extended-period section, the others spread over the structure.
            const int seq = k < 20 ? 5002 + k * 2 : 2 + ((k * 67 + r) % (kStructureRows - 2));
            const char* flags = k < 20 ? "NYYYYYYYYYYYYYYYYYYYY" : (k % 3 ? "YYYYYYYYYYYYYYYYYYYYY" : "NNYNYNYNYNYNYNYNYNYNY");
            sqlite3_bind_int(st, 1, 1000 + r);
            sqlite3_bind_int(st, 2, seq);
            sqlite3_bind_text(st, 3, flags, -1, SQLITE_STATIC);
            sqlite3_step(st);  // a repeated (range, seq) pair is refused by the key and skipped
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    Run(db, "COMMIT;");
    sqlite3_close(db);
}

/// The program's run state for one benchmark: the alias, the data module and the start-up dialogs.
struct Program {
    Program() {
        db.DatabaseName = "KLV3Data";
        db.Params = {"PATH=" + gFolder};
        frmTables = new TfrmTables();
        frmSpecInst = new TfrmSpecInst(nullptr);
        frmExtPer = new TfrmExtPer(nullptr);
        HandOffMode = XMLMode = false;
    }
    ~Program() {
        delete frmExtPer;
        frmExtPer = nullptr;
        delete frmSpecInst;
        frmSpecInst = nullptr;
        delete frmTables;
        frmTables = nullptr;
    }
    TDatabase db;
};

void BM_FormShowFirst(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Program program;
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        state.ResumeTiming();
        form->FormShow(form.get());
        benchmark::DoNotOptimize(form->cmbModels->Items.Count());
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}

void BM_OpenChecksheetDataFirst(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Program program;
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        state.ResumeTiming();
        form->OpenChecksheetData();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}

void BM_FormShowAgain(benchmark::State& state) {
    Program program;
    auto form = std::make_unique<TfrmChecksheet>(nullptr);
    form->FormShow(form.get());
    for (auto _ : state) {
        form->FormShow(form.get());
        benchmark::DoNotOptimize(form->cmbModels->Items.Count());
    }
}

void BM_ModelToVariants(benchmark::State& state) {
    Program program;
    auto form = std::make_unique<TfrmChecksheet>(nullptr);
    form->FormShow(form.get());
    int i = 0;
    for (auto _ : state) {
        form->cmbModels->UserSelect(i++ % form->cmbModels->Items.Count());
        benchmark::DoNotOptimize(form->cmbVariants->Items.Count());
    }
    state.counters["variants"] = form->cmbVariants->Items.Count();
}

void BM_VariantToIntervals(benchmark::State& state) {
    Program program;
    auto form = std::make_unique<TfrmChecksheet>(nullptr);
    form->FormShow(form.get());
    form->cmbModels->UserSelect(0);
    int i = 0;
    for (auto _ : state) {
        form->cmbVariants->UserSelect(i++ % form->cmbVariants->Items.Count());
        benchmark::DoNotOptimize(form->cmbInterval->Items.Count());
    }
    state.counters["intervals"] = form->cmbInterval->Items.Count();
}

void BM_ExtendedPeriodSearch(benchmark::State& state) {
    Program program;
    auto form = std::make_unique<TfrmChecksheet>(nullptr);
    form->FormShow(form.get());
    ModelRange = 1000 + kRanges / 2;
    for (auto _ : state) {
        frmExtPer->FormShow(frmExtPer);
        benchmark::DoNotOptimize(ExtPerCount);
    }
    state.counters["shown"] = frmExtPer->ShownCount();
}

}  // namespace

BENCHMARK(BM_FormShowFirst)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenChecksheetDataFirst)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FormShowAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelToVariants)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VariantToIntervals)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtendedPeriodSearch)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    benchmark::Initialize(&argc, argv);
    BuildScaledDatabase();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(gFolder);
    return 0;
}
