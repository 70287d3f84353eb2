// Loads the text sources of the service database into one SQLite file: runs the schema
// script, then reads each table's '|'-separated source, checks every value against its
// column (type, width, key) and stores texts in the code page of the row's language.
#include "SampleDb.h"

#include "CodePages.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string_view>
#include <vector>

namespace sampledb {
namespace {

enum class Kind { Text, SmallInt, Integer, Boolean };

struct Column {
    std::string name;
    Kind kind = Kind::Text;
    int width = 0;  // bytes, text columns only
    bool key = false;
};

struct Table {
    std::string name;
    std::vector<Column> columns;
    int langColumn = -1;  // LANG_CODE: the language whose code page the row's texts use
};

// Owns the open database; closes it on every path.
struct DbHandle {
    sqlite3* db = nullptr;
    ~DbHandle() { sqlite3_close(db); }
};

struct StmtHandle {
    sqlite3_stmt* stmt = nullptr;
    ~StmtHandle() { sqlite3_finalize(stmt); }
};

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SourceError(path + ": cannot be opened");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Length of the valid UTF-8 sequence at the start of `s`, or 0 when it is not one.
size_t Utf8SequenceLength(std::string_view s) {
    auto b = static_cast<unsigned char>(s[0]);
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || len > s.size() || (len == 2 && b < 0xC2)) return 0;
    for (size_t i = 1; i < len; ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0;
    return len;
}

bool IsValidUtf8(std::string_view s) {
    while (!s.empty()) {
        size_t len = Utf8SequenceLength(s);
        if (len == 0) return false;
        s.remove_prefix(len);
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        size_t bar = line.find('|');
        fields.push_back(Trim(line.substr(0, bar)));
        if (bar == std::string_view::npos) return fields;
        line.remove_prefix(bar + 1);
    }
}

void Exec(sqlite3* db, const std::string& sql, const std::string& what) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = what + ": " + (err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        throw SourceError(msg);
    }
}

std::string Quote(const std::string& name) { return "\"" + name + "\""; }

// Column kind and width from a declared type: CHAR(n), SMALLINT, INTEGER or BOOLEAN.
Column ColumnFromDeclaration(const std::string& table, const std::string& name, const std::string& type) {
    Column c;
    c.name = name;
    if (type == "SMALLINT") c.kind = Kind::SmallInt;
    else if (type == "INTEGER") c.kind = Kind::Integer;
    else if (type == "BOOLEAN") c.kind = Kind::Boolean;
    else if (type.rfind("CHAR(", 0) == 0 && type.back() == ')') {
        c.kind = Kind::Text;
        c.width = std::atoi(type.c_str() + 5);
    }
    if (c.kind == Kind::Text && c.width <= 0)
        throw SourceError("schema.sql: column " + table + "." + name + " has the unknown type \"" + type + "\"");
    return c;
}

std::vector<Table> ReadTables(sqlite3* db) {
    std::vector<Table> tables;
    StmtHandle list;
    if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid", -1, &list.stmt,
                           nullptr) != SQLITE_OK)
        throw SourceError(std::string("schema.sql: the tables cannot be listed: ") + sqlite3_errmsg(db));
    while (sqlite3_step(list.stmt) == SQLITE_ROW)
        tables.push_back({reinterpret_cast<const char*>(sqlite3_column_text(list.stmt, 0)), {}, -1});
    for (auto& t : tables) {
        StmtHandle info;
        if (sqlite3_prepare_v2(db, ("PRAGMA table_info(" + Quote(t.name) + ")").c_str(), -1, &info.stmt, nullptr) !=
            SQLITE_OK)
            throw SourceError("schema.sql: the columns of " + t.name + " cannot be read: " + sqlite3_errmsg(db));
        while (sqlite3_step(info.stmt) == SQLITE_ROW) {
            std::string name = reinterpret_cast<const char*>(sqlite3_column_text(info.stmt, 1));
            std::string type = reinterpret_cast<const char*>(sqlite3_column_text(info.stmt, 2));
            Column c = ColumnFromDeclaration(t.name, name, type);
            c.key = sqlite3_column_int(info.stmt, 5) > 0;
            if (name == "LANG_CODE") t.langColumn = static_cast<int>(t.columns.size());
            t.columns.push_back(c);
        }
    }
    return tables;
}

// Reads a decimal integer with an optional leading "-"; false when the text is not one
// or lies outside [lo, hi].
bool ParseInteger(std::string_view s, long long lo, long long hi, long long& value) {
    bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 10) return false;
    long long v = 0;
    for (char ch : s) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
    }
    value = negative ? -v : v;
    return value >= lo && value <= hi;
}

bool ParseBoolean(std::string_view s, int& value) {
    std::string l;
    for (char ch : s) l += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
    if (l == "true" || l == "t" || l == "1") value = 1;
    else if (l == "false" || l == "f" || l == "0") value = 0;
    else return false;
    return true;
}

class TableLoader {
public:
    TableLoader(sqlite3* db, const Table& table, std::string path) : db_(db), table_(table), path_(std::move(path)) {}

    void Load() {
        std::string content = ReadWholeFile(path_);
        PrepareInsert();
        bool headerSeen = false;
        size_t lineNo = 0;
        std::string_view rest(content);
        while (!rest.empty()) {
            size_t nl = rest.find('\n');
            std::string_view line = rest.substr(0, nl);
            rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
            ++lineNo;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!IsValidUtf8(line)) Fail(lineNo, "the line is not valid UTF-8");
            if (Trim(line).empty() || line.front() == '#') continue;
            std::vector<std::string_view> fields = SplitFields(line);
            if (!headerSeen) {
                CheckHeader(lineNo, fields);
                headerSeen = true;
            } else {
                InsertRecord(lineNo, fields);
            }
        }
        if (!headerSeen) Fail(0, "the header line naming the columns is missing");
    }

private:
    [[noreturn]] void Fail(size_t lineNo, const std::string& what) const {
        std::string where = lineNo ? path_ + ":" + std::to_string(lineNo) : path_;
        throw SourceError(where + ": " + what);
    }

    void PrepareInsert() {
        std::string sql = "INSERT INTO " + Quote(table_.name) + " VALUES (";
        for (size_t i = 0; i < table_.columns.size(); ++i) sql += i ? ", ?" : "?";
        sql += ")";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert_.stmt, nullptr) != SQLITE_OK)
            Fail(0, std::string("cannot prepare the insert: ") + sqlite3_errmsg(db_));
    }

    void CheckHeader(size_t lineNo, const std::vector<std::string_view>& fields) const {
        std::string expected, found;
        for (const auto& c : table_.columns) expected += (expected.empty() ? "" : "|") + c.name;
        for (auto f : fields) found += (found.empty() ? "" : "|") + std::string(f);
        if (expected != found)
            Fail(lineNo, "the header line must name the columns " + expected + ", not " + found);
    }

    const CodePageConverter& ConverterFor(const std::vector<std::string_view>& fields) {
        int cp = table_.langColumn >= 0 ? CodePageOfLanguage(fields[table_.langColumn]) : CodePageOfLanguage("");
        auto& slot = converters_[cp];
        if (!slot) slot = std::make_unique<CodePageConverter>(cp);
        return *slot;
    }

    void InsertRecord(size_t lineNo, const std::vector<std::string_view>& fields) {
        if (fields.size() != table_.columns.size())
            Fail(lineNo, std::to_string(fields.size()) + " fields where the table has " +
                             std::to_string(table_.columns.size()) + " columns");
        const CodePageConverter& conv = ConverterFor(fields);
        sqlite3_reset(insert_.stmt);
        sqlite3_clear_bindings(insert_.stmt);
        for (size_t i = 0; i < fields.size(); ++i) BindValue(lineNo, static_cast<int>(i) + 1, table_.columns[i], fields[i], conv);
        if (sqlite3_step(insert_.stmt) != SQLITE_DONE)
            Fail(lineNo, std::string("the row is refused: ") + sqlite3_errmsg(db_));
    }

    void BindValue(size_t lineNo, int index, const Column& c, std::string_view value, const CodePageConverter& conv) {
        if (value.empty()) {
            if (c.key) Fail(lineNo, "the key column " + c.name + " is empty");
            return;  // NULL
        }
        long long n = 0;
        int b = 0;
        switch (c.kind) {
        case Kind::SmallInt:
            if (!ParseInteger(value, -32768, 32767, n)) Fail(lineNo, c.name + ": \"" + std::string(value) + "\" is not a 16-bit integer");
            sqlite3_bind_int64(insert_.stmt, index, n);
            return;
        case Kind::Integer:
            if (!ParseInteger(value, -2147483648LL, 2147483647LL, n)) Fail(lineNo, c.name + ": \"" + std::string(value) + "\" is not a 32-bit integer");
            sqlite3_bind_int64(insert_.stmt, index, n);
            return;
        case Kind::Boolean:
            if (!ParseBoolean(value, b)) Fail(lineNo, c.name + ": \"" + std::string(value) + "\" is not True or False");
            sqlite3_bind_int(insert_.stmt, index, b);
            return;
        case Kind::Text:
            BindText(lineNo, index, c, value, conv);
            return;
        }
    }

    void BindText(size_t lineNo, int index, const Column& c, std::string_view value, const CodePageConverter& conv) {
        std::string bytes;
        try {
            bytes = conv.Convert(value);
        } catch (const std::runtime_error& e) {
            Fail(lineNo, c.name + ": " + e.what());
        }
        if (bytes.size() > static_cast<size_t>(c.width))
            Fail(lineNo, c.name + ": the text has " + std::to_string(bytes.size()) + " characters, the column holds " +
                             std::to_string(c.width));
        sqlite3_bind_text(insert_.stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }

    sqlite3* db_;
    const Table& table_;
    std::string path_;
    StmtHandle insert_;
    std::map<int, std::unique_ptr<CodePageConverter>> converters_;
};

// A source file that names no table of the schema is a fault (a misspelt name would
// otherwise leave its table empty without a word).
void CheckNoStraySources(const std::string& tablesDir, const std::vector<Table>& tables) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(tablesDir, ec)) {
        if (entry.path().extension() != ".txt") continue;
        std::string stem = entry.path().stem().string();
        bool known = false;
        for (const auto& t : tables) known = known || t.name == stem;
        if (!known) throw SourceError(entry.path().string() + ": no table of schema.sql has this name");
    }
    if (ec) throw SourceError(tablesDir + ": cannot be read: " + ec.message());
}

void BuildInto(const std::string& sourceDir, const std::string& file) {
    DbHandle h;
    if (sqlite3_open_v2(file.c_str(), &h.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        throw std::runtime_error(file + ": cannot be created: " + (h.db ? sqlite3_errmsg(h.db) : "out of memory"));
    Exec(h.db, ReadWholeFile(sourceDir + "/schema.sql"), sourceDir + "/schema.sql");
    std::vector<Table> tables = ReadTables(h.db);
    CheckNoStraySources(sourceDir + "/tables", tables);
    Exec(h.db, "BEGIN", "begin");
    for (const auto& t : tables) TableLoader(h.db, t, sourceDir + "/tables/" + t.name + ".txt").Load();
    Exec(h.db, "COMMIT", "commit");
    if (sqlite3_close(h.db) != SQLITE_OK) throw std::runtime_error(file + ": cannot be closed");
    h.db = nullptr;
}

}  // namespace

void BuildSampleDatabase(const std::string& sourceDir, const std::string& outputFile) {
    std::string temp = outputFile + ".part";
    std::remove(temp.c_str());
    try {
        BuildInto(sourceDir, temp);
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
    if (std::rename(temp.c_str(), outputFile.c_str()) != 0) {
        std::remove(temp.c_str());
        throw std::runtime_error(outputFile + ": cannot be written");
    }
}

}  // namespace sampledb
