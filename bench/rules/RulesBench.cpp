// Cost of the service data rules: the program's key searches on main and sub-headings in German
// with the rules bound and unbound (the English view follows each search), a new English heading
// copied into 30 languages, and the engine duplicate walk over 20,000 rows. Each measurement runs
// on a private copy of the sample database.
// Usage: bench_rules [benchmark flags] [path of klv3data.sqlite]
#include "Database.h"
#include "Tables.h"
#include "TolmLib.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string gSample;

/// A copy of the sample database under its own alias, removed afterwards; `sql` runs on it first.
struct Copy {
    explicit Copy(const std::string& sql = "") {
        static int counter = 0;
        folder = std::filesystem::temp_directory_path() / ("vetra-rules-bench-" + std::to_string(++counter));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(gSample, folder / "klv3data.sqlite");
        if (!sql.empty()) {
            sqlite3* db = nullptr;
            sqlite3_open((folder / "klv3data.sqlite").c_str(), &db);
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        db.DatabaseName = "KLV3Data";
        db.Params = {"PATH=" + folder.string() + "/"};
        frmTables = &tables;
    }
    ~Copy() {
        frmTables = nullptr;
        db.Close();
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
    TDatabase db;
    TfrmTables tables;
};

/// Key searches by (German, code) over every code of the table, as the report makes them, with
/// the English view open so that the bound rule really moves it.
void KeySearches(benchmark::State& state, bool mainHeadings, bool bound) {
    Copy copy;
    TTable* table = mainHeadings ? copy.tables.tblMainHead.get() : copy.tables.tblSubHead.get();
    TTable* view = mainHeadings ? copy.tables.tblGBMainHead.get() : copy.tables.tblGBSubHead.get();
    if (!bound) table->AfterScroll = nullptr;
    Language = "DE";
    table->Open();
    view->Open();
    const char* codeField = mainHeadings ? "MH_CODE" : "SH_CODE";
    std::vector<int> codes;
    for (table->First(); !table->Eof(); table->Next())
        if (table->FieldByName("LANG_CODE")->AsString() == "DE")
            codes.push_back(table->FieldByName(codeField)->AsInteger());
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table->FindKey({Language, codes[i]}));
        i = i + 1 == codes.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

/// A new English main heading posted with 30 languages on file: the heading, the counter and
/// 29 copies written, each its own transaction.
void BM_NewHeadingInto30Languages(benchmark::State& state) {
    std::string sql;
    for (int i = 0; i < 26; ++i)
        sql += "INSERT INTO LANGUAGE VALUES ('X" + std::string(1, char('A' + i)) + "', 'EXTRA');";
    Copy copy(sql);
    Language = "EN";
    TTable* heads = copy.tables.tblMainHead.get();
    heads->Open();
    int n = 0;
    for (auto _ : state) {
        heads->Insert();
        heads->FieldByName("MH_TEXT")->SetAsString("NEW HEADING " + std::to_string(++n));
        heads->Post();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["languages"] = 30;
}

/// The duplicate walk of a changed English engine description over 20,000 engine rows: the
/// before-post rule of an edit, which reads the second copy afresh and walks it.
void BM_EngineDuplicateWalk(benchmark::State& state, bool refreshOnly) {
    Copy copy("WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 5009) "
              "INSERT INTO ENGINES SELECT l.LANG_CODE, n.i, 'ENGINE ' || n.i, NULL, 'P', 'M' "
              "FROM n, LANGUAGE l;");
    Language = "EN";
    TTable* engines = copy.tables.tblEngines.get();
    TTable* all = copy.tables.tblEngines2.get();
    engines->Open();
    all->Open();
    engines->First();
    engines->Edit();
    engines->FieldByName("DESCRIPTION")->SetAsString("A DESCRIPTION NOBODY HAS");
    for (auto _ : state) {
        if (refreshOnly)
            all->Refresh();
        else
            copy.tables.tblEnginesBeforePost(engines);
    }
    engines->Cancel();
    state.counters["rows"] = double(all->RecordCount());
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gSample = argc > 1 ? argv[1] : std::string(VETRA_BIN_DIR) + "klv3data.sqlite";
    if (!std::filesystem::exists(gSample)) {
        std::printf("bench_rules: no database at %s; nothing measured\n", gSample.c_str());
        return 0;
    }
    benchmark::RegisterBenchmark("MainHeadFindKeyDE/unbound", KeySearches, true, false);
    benchmark::RegisterBenchmark("MainHeadFindKeyDE/bound", KeySearches, true, true);
    benchmark::RegisterBenchmark("SubHeadFindKeyDE/unbound", KeySearches, false, false);
    benchmark::RegisterBenchmark("SubHeadFindKeyDE/bound", KeySearches, false, true);
    benchmark::RegisterBenchmark("NewHeadingInto30Languages", BM_NewHeadingInto30Languages)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(50);
    benchmark::RegisterBenchmark("EngineDuplicateWalk20000/rule", BM_EngineDuplicateWalk, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("EngineDuplicateWalk20000/readOnly", BM_EngineDuplicateWalk, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
