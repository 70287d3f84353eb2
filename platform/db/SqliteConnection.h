// Private to platform/db: one SQLite database file, opened when first needed, and a statement
// wrapper that turns every SQLite failure into EDatabaseError with the caller's label.
#pragma once

#include "DataSet.h"

#include <sqlite3.h>

#include <string>

class SqliteConnection {
public:
    explicit SqliteConnection(std::string folder) : folder_(std::move(folder)) {}
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const std::string& Folder() const { return folder_; }
    /// The database file path (found whatever its letter case).
    std::string FilePath() const;
    /// The open handle. A missing file is created only when `create` is set; otherwise, and when
    /// the file cannot be opened, EDatabaseError "<label>: ...".
    sqlite3* Handle(const std::string& label, bool create = false);

private:
    std::string folder_;
    sqlite3* db_ = nullptr;
};

/// A prepared statement; finalised when it goes out of scope.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const std::string& sql, std::string label);
    ~SqliteStatement() { sqlite3_finalize(stmt_); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    sqlite3_stmt* Get() const { return stmt_; }
    /// Binds a value of the given type at 1-based position `index`.
    void Bind(int index, const TFieldValue& value, TFieldType type);
    /// Steps once: true for a row, false when done; errors raise EDatabaseError.
    bool Step();
    /// Reads column `col` as a value of the given type (strings cut to `size` when non-zero,
    /// trailing blanks trimmed, "" read as empty).
    TFieldValue Column(int col, TFieldType type, int size) const;
    [[noreturn]] void Fail(int rc) const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    std::string label_;
};

/// `why`, followed by the database file's path when `rc` is a fault of the file itself (not a
/// database, damaged, unreadable, full, read-only or locked).
std::string NamingTheFile(sqlite3* db, int rc, std::string why);

/// Field type and width from a declared column type: CHAR(n)/VARCHAR(n)/TEXT are strings,
/// SMALLINT, INTEGER/INT and BOOLEAN as named; anything else is an unbounded string.
TFieldDef FieldDefFromDeclType(const std::string& name, const char* declType);

/// `name` quoted as an SQL identifier.
std::string QuoteIdentifier(std::string_view name);
