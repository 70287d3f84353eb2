// Helpers of the service-data tests: read-only access to a database file, the
// paths of the built programs and data, and running a program for its output.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace testdata {

std::string BuiltDatabasePath();
std::string SampleSourceDir();
std::string BinDir();

/// Output (standard output and error together) and exit status of a shell command.
struct RunResult {
    int status = -1;
    std::string output;
};
RunResult Run(const std::string& command);

/// A read-only connection; every query returns its rows as byte strings (NULL as nullopt).
class Db {
public:
    explicit Db(const std::string& path);
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    using Row = std::vector<std::optional<std::string>>;
    std::vector<Row> Query(const std::string& sql, const std::vector<std::string>& params = {}) const;
    /// First column of the first row; "" when there is no row or it is NULL.
    std::string Scalar(const std::string& sql, const std::vector<std::string>& params = {}) const;
    bool Exists(const std::string& sql, const std::vector<std::string>& params = {}) const;

private:
    sqlite3* db_ = nullptr;
};

/// Creates (or opens) a database file and runs `sql` on it; false on any error.
bool ExecOnFile(const std::string& path, const std::string& sql);

/// Bytes as upper-case hexadecimal, two digits each, separated by blanks.
std::string Hex(const std::string& bytes);

}  // namespace testdata
