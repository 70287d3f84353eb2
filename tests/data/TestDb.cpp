// Helpers of the service-data tests: database access, paths and program runs.
#include "TestDb.h"

#include <cstdio>
#include <stdexcept>
#include <sys/wait.h>

namespace testdata {

std::string BinDir() { return VETRA_BIN_DIR; }
std::string BuiltDatabasePath() { return BinDir() + "klv3data.sqlite"; }
std::string SampleSourceDir() { return std::string(VETRA_SOURCE_DIR) + "data/sample"; }

RunResult Run(const std::string& command) {
    RunResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

Db::Db(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path);
}

Db::~Db() { sqlite3_close(db_); }

std::vector<Db::Row> Db::Query(const std::string& sql, const std::vector<std::string>& params) const {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
    for (size_t i = 0; i < params.size(); ++i)
        sqlite3_bind_text(st, static_cast<int>(i) + 1, params[i].data(), static_cast<int>(params[i].size()),
                          SQLITE_TRANSIENT);
    std::vector<Row> rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        Row row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_NULL) {
                row.emplace_back(std::nullopt);
            } else {
                const void* b = sqlite3_column_blob(st, c);
                row.emplace_back(std::string(static_cast<const char*>(b), sqlite3_column_bytes(st, c)));
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return rows;
}

std::string Db::Scalar(const std::string& sql, const std::vector<std::string>& params) const {
    auto rows = Query(sql, params);
    return rows.empty() || rows[0].empty() || !rows[0][0] ? "" : *rows[0][0];
}

bool Db::Exists(const std::string& sql, const std::vector<std::string>& params) const {
    return !Query(sql, params).empty();
}

bool ExecOnFile(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

}  // namespace testdata
