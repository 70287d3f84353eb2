// The database alias: a named connection to the folder whose klv3data.sqlite holds the tables.
// Datasets name the alias (for example "KLV3Data"); every live TDatabase is found by its name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TDataSet;
class SqliteConnection;

/// The file that holds every table of an alias folder.
inline constexpr const char* kDatabaseFileName = "klv3data.sqlite";

class TDatabase {
public:
    TDatabase();
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    /// Plain settings, read when the connection opens.
    std::string DatabaseName;
    std::string DriverName;
    std::vector<std::string> Params; ///< "NAME=value" entries; "PATH=" names the folder
    bool LoginPrompt = true;
    std::string SessionName;

    /// Opens the connection: EDatabaseError when the PATH folder does not exist. The database
    /// file itself is opened when the first dataset needs it.
    void Open();
    /// Closes every dataset open on this alias, then the connection.
    void Close();
    bool Connected() const { return connection_ != nullptr; }
    void SetConnected(bool value) { value ? Open() : Close(); }

    /// The PATH parameter with a trailing "/" ("./" when empty).
    std::string Path() const;

    /// The live database whose DatabaseName equals `name` in any letter case, or nullptr.
    static TDatabase* FindDatabase(std::string_view name);

private:
    friend class TDataSet;
    std::shared_ptr<SqliteConnection> Attach(TDataSet* dataSet);
    void Detach(TDataSet* dataSet);

    std::shared_ptr<SqliteConnection> connection_;
    std::vector<TDataSet*> dataSets_; ///< datasets open on this alias
};
