// Prints the data version and the row count of every table of a service database, named by the
// database file or its folder, and lists the service tables the database lacks. The stand-in for
// the main job until the checksheet program generates checksheets: it opens the database
// read-only and reports a missing, damaged or incomplete database with exit code 1.
#include <sqlite3.h>

#include <unistd.h>

#include <cstdio>
#include <strings.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

const char kDatabaseFile[] = "klv3data.sqlite";

// The tables the checksheet program reads. PARAMS is not among them: it holds the dealer's
// settings and is made by the first installation.
const char* const kServiceTables[] = {
    "LANGUAGE", "MARKET",  "MODELS",  "ENGINES", "INTERVAL", "Mranges", "MAINHEAD", "SUBHEAD",  "SERVOPS",
    "LANGTEXT", "CODES",   "Csstruct", "CSLINKS", "VINDATES", "Version", "ErrMess",  "AltBDate", "PKXMap",
    "PDIOps",   "pdstruct", "PDILinks", "SACOps",  "SAStruct", "SACLinks", "AVSCODES", "XMLConv", "BCRDATES",
};

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// A fault that ends the run with its message and exit code 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Db {
    sqlite3* handle = nullptr;
    ~Db() { sqlite3_close(handle); }
};

struct Stmt {
    sqlite3_stmt* handle = nullptr;
    ~Stmt() { sqlite3_finalize(handle); }
};

// The folder of this program, with a trailing "/"; "./" when it cannot be found.
std::string ProgramFolder() {
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "./";
    std::string path(buf.data(), static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

std::string Quote(const std::string& name) {
    std::string q = "\"";
    for (char ch : name) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

void Prepare(sqlite3* db, const std::string& sql, Stmt& stmt) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK)
        throw Failure(std::string("the database cannot be read: ") + sqlite3_errmsg(db));
}

// Steps once; true for a row, false at the end, Failure on an error.
bool Step(sqlite3* db, Stmt& stmt) {
    int rc = sqlite3_step(stmt.handle);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw Failure(std::string("the database cannot be read: ") + sqlite3_errmsg(db));
}

void OpenReadOnly(const std::string& path, Db& db) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw Failure("the file does not exist");
    if (!S_ISREG(st.st_mode)) throw Failure("it is not a file");
    if (sqlite3_open_v2(path.c_str(), &db.handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw Failure(std::string("it cannot be opened: ") + (db.handle ? sqlite3_errmsg(db.handle) : "out of memory"));
}

void CheckIntact(sqlite3* db) {
    Stmt check;
    Prepare(db, "PRAGMA quick_check", check);
    while (Step(db, check)) {
        const unsigned char* text = sqlite3_column_text(check.handle, 0);
        std::string result = text ? reinterpret_cast<const char*>(text) : "";
        if (result != "ok") throw Failure("the database is damaged: " + result);
    }
}

std::vector<std::string> TableNames(sqlite3* db) {
    Stmt list;
    Prepare(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid", list);
    std::vector<std::string> names;
    while (Step(db, list)) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.handle, 0)));
    if (names.empty()) throw Failure("the database holds no tables");
    return names;
}

// "MM/YYYY" of the Version table's row, or a note that it holds none.
std::string DataVersion(sqlite3* db, const std::vector<std::string>& tables) {
    bool hasVersion = false;
    for (const auto& t : tables) hasVersion = hasVersion || t == "Version";
    if (!hasVersion) throw Failure("the database has no Version table");
    Stmt version;
    Prepare(db, "SELECT MonthNo, YearNo FROM \"Version\"", version);
    if (!Step(db, version)) return "not recorded (the Version table is empty)";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d/%d", sqlite3_column_int(version.handle, 0), sqlite3_column_int(version.handle, 1));
    return buf;
}

long long RowCount(sqlite3* db, const std::string& table) {
    Stmt count;
    Prepare(db, "SELECT count(*) FROM " + Quote(table), count);
    Step(db, count);
    return sqlite3_column_int64(count.handle, 0);
}

void Report(const std::string& path) {
    Db db;
    OpenReadOnly(path, db);
    CheckIntact(db.handle);
    std::vector<std::string> tables = TableNames(db.handle);
    std::string version = DataVersion(db.handle, tables);
    std::vector<std::pair<std::string, long long>> counts;
    for (const auto& t : tables) counts.emplace_back(t, RowCount(db.handle, t));

    std::printf("Service database %s\n", path.c_str());
    std::printf("Data version %s\n", version.c_str());
    std::printf("%zu tables:\n", counts.size());
    for (const auto& [name, rows] : counts) std::printf("  %-10s %8lld\n", name.c_str(), rows);

    std::vector<std::string> missing;
    for (const char* wanted : kServiceTables) {
        bool found = false;
        for (const auto& t : tables) found = found || SameName(t, wanted);
        if (!found) missing.emplace_back(wanted);
    }
    if (missing.empty()) return;
    std::printf("%zu service tables missing:\n", missing.size());
    for (const auto& name : missing) std::printf("  %s\n", name.c_str());
    std::string list;
    for (const auto& name : missing) list += (list.empty() ? "" : ", ") + name;
    throw Failure("service tables missing: " + list);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [%s or its folder]\n", argv[0], kDatabaseFile);
        return 2;
    }
    // A folder (or a name ending in "/") holds the database file; anything else names the file.
    std::string path = argc > 1 ? argv[1] : ProgramFolder();
    struct stat st {};
    if (path.empty() || path.back() == '/' || (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        if (!path.empty() && path.back() != '/') path += '/';
        path += kDatabaseFile;
    }
    try {
        Report(path);
    } catch (const Failure& e) {
        std::fprintf(stderr, "klv3info: service database %s: %s\n", path.c_str(), e.what());
        return 1;
    }
    return 0;
}
