// Database aliases and the SQLite connection behind them. Every live TDatabase is listed so
// that datasets find their alias by name; closing an alias closes its datasets first.
#include "Database.h"

#include "DataSet.h"
#include "Exceptions.h"
#include "Files.h"
#include "SqliteConnection.h"
#include "SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace {
std::vector<TDatabase*>& LiveDatabases() {
    static std::vector<TDatabase*> list;
    return list;
}
} // namespace

TDatabase::TDatabase() {
    LiveDatabases().push_back(this);
}

TDatabase::~TDatabase() {
    Close();
    auto& list = LiveDatabases();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

TDatabase* TDatabase::FindDatabase(std::string_view name) {
    if (name.empty()) return nullptr;
    for (TDatabase* db : LiveDatabases())
        if (SameText(db->DatabaseName, name)) return db;
    return nullptr;
}

std::string TDatabase::Path() const {
    std::string path;
    for (const std::string& p : Params) {
        size_t eq = p.find('=');
        if (eq != std::string::npos && SameText(Trim(p.substr(0, eq)), "PATH")) path = Trim(p.substr(eq + 1));
    }
    if (path.empty()) return "./";
    if (path.back() != '/') path += '/';
    return path;
}

void TDatabase::Open() {
    if (connection_) return;
    std::string folder = Path();
    std::string found = FindFileNoCase(folder);
    std::error_code ec;
    if (found.empty() || !std::filesystem::is_directory(found, ec))
        throw EDatabaseError(DatabaseName + ": Invalid path " + folder);
    if (found.back() != '/') found += '/';
    connection_ = std::make_shared<SqliteConnection>(found);
}

void TDatabase::Close() {
    std::vector<TDataSet*> open;
    open.swap(dataSets_);
    for (TDataSet* ds : open)
        ds->Close();
    connection_.reset();
}

std::shared_ptr<SqliteConnection> TDatabase::Attach(TDataSet* dataSet) {
    Open();
    if (std::find(dataSets_.begin(), dataSets_.end(), dataSet) == dataSets_.end())
        dataSets_.push_back(dataSet);
    return connection_;
}

void TDatabase::Detach(TDataSet* dataSet) {
    dataSets_.erase(std::remove(dataSets_.begin(), dataSets_.end(), dataSet), dataSets_.end());
}

// ---- SQLite ----

SqliteConnection::~SqliteConnection() {
    if (db_) sqlite3_close_v2(db_);
}

std::string SqliteConnection::FilePath() const {
    std::string found = FindFileNoCase(folder_ + kDatabaseFileName);
    return found.empty() ? folder_ + kDatabaseFileName : found;
}

sqlite3* SqliteConnection::Handle(const std::string& label, bool create) {
    if (db_) return db_;
    const std::string path = FilePath();
    std::error_code ec;
    bool exists = std::filesystem::exists(path, ec);
    if (!exists && !create) throw EDatabaseError(label + ": database file not found: " + path);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0),
                             nullptr);
    if (rc != SQLITE_OK && exists) {
        // A file we may not write is still readable.
        sqlite3_close_v2(db);
        db = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    }
    if (rc != SQLITE_OK) {
        std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        throw EDatabaseError(label + ": cannot open database file " + path + ": " + why);
    }
    sqlite3_busy_timeout(db, 2000);
    db_ = db;
    return db_;
}

SqliteStatement::SqliteStatement(sqlite3* db, const std::string& sql, std::string label)
    : db_(db), label_(std::move(label)) {
    int rc = sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
}

std::string NamingTheFile(sqlite3* db, int rc, std::string why) {
    switch (rc & 0xFF) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_FULL:
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_BUSY:
        case SQLITE_LOCKED: {
            // A fault of the file itself names it, as a missing file's message does.
            const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
            if (file && *file) why += std::string(": ") + file;
            break;
        }
        default: break;
    }
    return why;
}

void SqliteStatement::Fail(int rc) const {
    std::string why = sqlite3_errmsg(db_);
    if ((rc & 0xFF) == SQLITE_CONSTRAINT && why.find("UNIQUE") != std::string::npos) why = "Key violation";
    throw EDatabaseError(label_ + ": " + NamingTheFile(db_, rc, why));
}

void SqliteStatement::Bind(int index, const TFieldValue& value, TFieldType type) {
    int rc;
    if (value.Null)
        rc = sqlite3_bind_null(stmt_, index);
    else if (type == ftString || type == ftUnknown)
        rc = sqlite3_bind_text(stmt_, index, value.Str.data(), int(value.Str.size()), SQLITE_TRANSIENT);
    else
        rc = sqlite3_bind_int64(stmt_, index, value.Int);
    if (rc != SQLITE_OK) Fail(rc);
}

bool SqliteStatement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail(rc);
}

TFieldValue SqliteStatement::Column(int col, TFieldType type, int size) const {
    TFieldValue v;
    int kind = sqlite3_column_type(stmt_, col);
    if (kind == SQLITE_NULL) return v;
    if (type == ftString || type == ftUnknown) {
        const void* data =
            kind == SQLITE_BLOB ? sqlite3_column_blob(stmt_, col) : sqlite3_column_text(stmt_, col);
        size_t n = size_t(sqlite3_column_bytes(stmt_, col));
        if (!data) return v;
        if (size > 0 && n > size_t(size)) {
            n = size_t(size);
            v.Cut = true;
        }
        const char* p = static_cast<const char*>(data);
        while (n > 0 && p[n - 1] == ' ') {
            --n;
            ++v.TrailingBlanks;
        }
        if (n == 0) return v;
        v.Null = false;
        v.Str.assign(p, n);
        return v;
    }
    if (kind == SQLITE_INTEGER) {
        v.Null = false;
        v.Int = sqlite3_column_int64(stmt_, col);
    } else if (kind == SQLITE_FLOAT) {
        // A fraction is no value of a whole-number field: read as blank, not cut to a number.
        const double d = sqlite3_column_double(stmt_, col);
        if (d == std::floor(d) && d >= -9.2e18 && d <= 9.2e18) {
            v.Null = false;
            v.Int = static_cast<int64_t>(d);
        }
    } else {
        // Text in a numeric column: read it as a number when it is one.
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        int n = 0;
        if (text && TryStrToInt(Trim(text), n)) {
            v.Null = false;
            v.Int = n;
        }
    }
    if (!v.Null && type == ftBoolean) v.Int = v.Int != 0;
    return v;
}

TFieldDef FieldDefFromDeclType(const std::string& name, const char* declType) {
    TFieldDef def;
    def.Name = name;
    std::string t = UpperCase(Trim(declType ? declType : ""));
    if (t == "SMALLINT")
        def.DataType = ftSmallint;
    else if (t == "INTEGER" || t == "INT")
        def.DataType = ftInteger;
    else if (t == "BOOLEAN" || t == "BOOL" || t == "LOGICAL")
        def.DataType = ftBoolean;
    else {
        def.DataType = ftString;
        size_t open = t.find('(');
        if (open != std::string::npos && (t.rfind("CHAR", 0) == 0 || t.rfind("VARCHAR", 0) == 0)) {
            int n = 0;
            size_t close = t.find(')', open);
            if (close != std::string::npos && TryStrToInt(t.substr(open + 1, close - open - 1), n) && n > 0)
                def.Size = n;
        }
    }
    return def;
}

std::string QuoteIdentifier(std::string_view name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}
