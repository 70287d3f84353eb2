// Prints the data version and the row count of every table of a service database.
// The stand-in for the main job until the checksheet program generates checksheets:
// it opens the database read-only and reports a missing or damaged file with exit code 1.
#include <sqlite3.h>

#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

const char kDatabaseFile[] = "klv3data.sqlite";

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
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [folder of %s]\n", argv[0], kDatabaseFile);
        return 2;
    }
    std::string folder = argc > 1 ? argv[1] : ProgramFolder();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::string path = folder + kDatabaseFile;
    try {
        Report(path);
    } catch (const Failure& e) {
        std::fprintf(stderr, "klv3info: service database %s: %s\n", path.c_str(), e.what());
        return 1;
    }
    return 0;
}
