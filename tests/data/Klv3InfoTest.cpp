// Runs klv3info on the built database and on missing and damaged ones.
#include "TestDb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class Klv3Info : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "klv3info-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    testdata::RunResult Info(const std::string& folder) {
        return testdata::Run(testdata::BinDir() + "klv3info '" + folder + "'");
    }
    fs::path Db() const { return dir_ / "klv3data.sqlite"; }

    fs::path dir_;
};

TEST_F(Klv3Info, ReportsTheDataVersionAndEveryTableWithItsRowCount) {
    auto r = testdata::Run(testdata::BinDir() + "klv3info");  // its own folder holds the database
    ASSERT_EQ(r.status, 0) << r.output;
    testdata::Db db(testdata::BuiltDatabasePath());
    std::string version = db.Scalar("SELECT printf('%02d/%d', MonthNo, YearNo) FROM Version");
    EXPECT_NE(r.output.find("Data version " + version + "\n"), std::string::npos) << r.output;
    for (const auto& row : db.Query("SELECT name FROM sqlite_master WHERE type = 'table'")) {
        std::string count = db.Scalar("SELECT count(*) FROM \"" + *row[0] + "\"");
        char line[80];
        std::snprintf(line, sizeof line, "  %-10s %8s\n", row[0]->c_str(), count.c_str());
        EXPECT_NE(r.output.find(line), std::string::npos) << line;
    }
}

TEST_F(Klv3Info, MissingDatabaseIsAnError) {
    auto r = Info(dir_.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("the file does not exist"), std::string::npos) << r.output;
}

TEST_F(Klv3Info, FileThatIsNoDatabaseIsAnError) {
    std::ofstream(Db()) << "This is a text file, not a service database.\n";
    auto r = Info(dir_.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("not a database"), std::string::npos) << r.output;
}

TEST_F(Klv3Info, TruncatedDatabaseIsAnError) {
    fs::copy_file(testdata::BuiltDatabasePath(), Db());
    fs::resize_file(Db(), fs::file_size(Db()) / 3);
    auto r = Info(dir_.string());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("klv3info: service database"), std::string::npos) << r.output;
}

TEST_F(Klv3Info, DatabaseWithoutVersionTableIsAnError) {
    ASSERT_TRUE(testdata::ExecOnFile(Db().string(), "CREATE TABLE LANGUAGE (LANG_CODE CHAR(2))"));
    auto r = Info(dir_.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("has no Version table"), std::string::npos) << r.output;
}

TEST_F(Klv3Info, EmptyVersionTableIsReportedAsNotRecorded) {
    fs::copy_file(testdata::BuiltDatabasePath(), Db());
    ASSERT_TRUE(testdata::ExecOnFile(Db().string(), "DELETE FROM Version"));
    auto r = Info(dir_.string());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Data version not recorded"), std::string::npos) << r.output;
}

TEST_F(Klv3Info, TakesTheDatabaseFileAsWellAsItsFolder) {
    fs::copy_file(testdata::BuiltDatabasePath(), Db());
    auto byFile = Info(Db().string());
    EXPECT_EQ(byFile.status, 0) << byFile.output;
    EXPECT_NE(byFile.output.find("Service database " + Db().string() + "\n"), std::string::npos) << byFile.output;
    auto byFolder = Info(dir_.string() + "/");
    EXPECT_EQ(byFolder.status, 0) << byFolder.output;
    EXPECT_EQ(byFolder.output, byFile.output);
    // A file of another name is read as the database it names.
    fs::rename(Db(), dir_ / "copy.db");
    EXPECT_EQ(Info((dir_ / "copy.db").string()).status, 0);
}

TEST_F(Klv3Info, MissingServiceTablesAreListedAndFail) {
    fs::copy_file(testdata::BuiltDatabasePath(), Db());
    ASSERT_TRUE(testdata::ExecOnFile(Db().string(), "DROP TABLE SERVOPS; DROP TABLE LANGTEXT; DROP TABLE PARAMS"));
    auto r = Info(Db().string());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("2 service tables missing:\n  SERVOPS\n  LANGTEXT\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("service tables missing: SERVOPS, LANGTEXT"), std::string::npos) << r.output;
    // The settings table is the dealer's, made by the first installation: its absence is no fault.
    EXPECT_EQ(r.output.find("PARAMS"), std::string::npos) << r.output;
}

TEST_F(Klv3Info, NeverWritesTheDatabase) {
    fs::copy_file(testdata::BuiltDatabasePath(), Db());
    auto before = fs::last_write_time(Db());
    ASSERT_EQ(Info(dir_.string()).status, 0);
    EXPECT_EQ(fs::last_write_time(Db()), before);
    EXPECT_FALSE(fs::exists(dir_ / "klv3data.sqlite-journal"));
}

}  // namespace
