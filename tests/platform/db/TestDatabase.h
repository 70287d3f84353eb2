// Test support: a temporary alias folder holding a klv3data.sqlite built from an SQL script,
// with a TDatabase alias on it, and raw reads of the file to see what was really written.
#pragma once

#include "Database.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class TestFolder {
public:
    explicit TestFolder(const std::string& script = "", const std::string& alias = "KLV3Data") {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vetra_db_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(path_);
        if (!script.empty()) Exec(script);
        Database.DatabaseName = alias;
        Database.Params = {"PATH=" + Folder()};
    }
    ~TestFolder() {
        Database.Close();
        std::filesystem::remove_all(path_);
    }
    std::string Folder() const { return path_.string() + "/"; }
    std::string File() const { return Folder() + kDatabaseFileName; }

    /// Runs SQL on the file directly (creating it when missing).
    void Exec(const std::string& sql) const {
        sqlite3* db = nullptr;
        sqlite3_open(File().c_str(), &db);
        char* err = nullptr;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
        std::string why = err ? err : "";
        sqlite3_free(err);
        sqlite3_close(db);
        if (rc != SQLITE_OK) throw std::runtime_error(why);
    }
    /// First column of every row of a query, as raw bytes ("<null>" for NULL), joined by "|".
    std::string Read(const std::string& sql) const {
        sqlite3* db = nullptr;
        sqlite3_open_v2(File().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW) {
                if (!out.empty()) out += "|";
                if (sqlite3_column_type(st, 0) == SQLITE_NULL)
                    out += "<null>";
                else
                    out.append(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                               sqlite3_column_bytes(st, 0));
            }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }

    TDatabase Database;

private:
    std::filesystem::path path_;
};
