// Speed of the data-access layer on the sample service database: opening every table, text
// look-ups, single key searches, and the report's inner loop (a walk of the checksheet
// structure with a key search on the operations and the model-range links per row).
// Usage: bench_db [benchmark flags] [path of klv3data.sqlite]
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

std::string gFolder;
std::vector<std::string> gTableNames;

std::vector<std::string> ListTables(const std::string& file) {
    std::vector<std::string> names;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table'", -1, &st, nullptr) ==
            SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return names;
}

struct Alias {
    Alias() {
        db.DatabaseName = "KLV3Data";
        db.Params = {"PATH=" + gFolder};
    }
    TDatabase db;
};

void BM_OpenEveryTable(benchmark::State& state) {
    Alias alias;
    for (auto _ : state) {
        std::vector<std::unique_ptr<TTable>> open;
        for (const std::string& name : gTableNames) {
            auto t = std::make_unique<TTable>();
            t->SetDatabaseName("KLV3Data");
            t->SetTableName(name + ".DB");
            t->Open();
            open.push_back(std::move(t));
        }
        alias.db.Close(); // the next round opens the file again too
    }
    state.counters["tables"] = double(gTableNames.size());
}

void BM_LText(benchmark::State& state) {
    Alias alias;
    TfrmTables tables;
    frmTables = &tables;
    tables.tblLangText->Open();
    Language = "EN";
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LText(n));
        n = n == 200 ? 0 : n + 1;
    }
    state.SetItemsProcessed(state.iterations());
    frmTables = nullptr;
}

void BM_FindKey(benchmark::State& state) {
    Alias alias;
    TfrmTables tables;
    TTable* ops = tables.tblServOps.get();
    ops->Open();
    std::vector<int> codes;
    for (ops->First(); !ops->Eof(); ops->Next())
        if (ops->FieldByName("LANG_CODE")->AsString() == "EN")
            codes.push_back(ops->FieldByName("OP_CODE")->AsInteger());
    if (codes.empty()) return state.SkipWithError("no English operations");
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ops->FindKey({"EN", codes[i]}));
        i = i + 1 == codes.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

// The report's inner loop: Csstruct in SEQUENCE_NO order, per row a search of SERVOPS by
// (language, operation) and of CSLINKS by (model range, sequence number).
void BM_StructureWalk(benchmark::State& state) {
    Alias alias;
    TfrmTables tables;
    TTable* structure = tables.tblStructure.get();
    TTable* ops = tables.tblServOps.get();
    TTable* links = tables.tblCSLinks.get();
    structure->Open();
    ops->Open();
    links->Open();
    links->First();
    const int modelRange = links->Eof() ? 0 : links->FieldByName("MODEL_RANGE_CODE")->AsInteger();
    TField* seq = structure->FieldByName("SEQUENCE_NO");
    TField* op = structure->FieldByName("OP_CODE");
    int64_t rows = 0, found = 0;
    for (auto _ : state) {
        for (structure->First(); !structure->Eof(); structure->Next()) {
            found += ops->FindKey({"EN", op->AsInteger()});
            found += links->FindKey({modelRange, seq->AsInteger()});
            ++rows;
        }
    }
    state.SetItemsProcessed(rows);
    state.counters["rows"] = double(structure->RecordCount());
    state.counters["found"] = benchmark::Counter(double(found) / double(state.iterations()));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string file = argc > 1 ? argv[1] : std::string(VETRA_BIN_DIR) + "klv3data.sqlite";
    if (!std::filesystem::exists(file)) {
        std::printf("bench_db: no database at %s; nothing measured\n", file.c_str());
        return 0;
    }
    gFolder = std::filesystem::path(file).parent_path().string() + "/";
    gTableNames = ListTables(file);
    benchmark::RegisterBenchmark("OpenEveryTable", BM_OpenEveryTable)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LText", BM_LText);
    benchmark::RegisterBenchmark("FindKey", BM_FindKey);
    benchmark::RegisterBenchmark("StructureWalk", BM_StructureWalk)->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
