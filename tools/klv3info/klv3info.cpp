// Prints the data version and the row count of every table of a service database.
// The stand-in for the main job until the checksheet program generates checksheets.
#include <sqlite3.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "./";
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::string path = folder + "klv3data.sqlite";
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "Cannot open the service database %s: %s\n", path.c_str(), db ? sqlite3_errmsg(db) : "");
        sqlite3_close(db);
        return 1;
    }
    std::printf("Service database %s\n", path.c_str());
    sqlite3_close(db);
    return 0;
}
