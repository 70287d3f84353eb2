// The program started in each of its ways, as a separate process without a display, from a
// program folder of its own (so the sample database of the build stays untouched).
#include "ProgramRun.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("vetra-prog-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                  "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path bin = VETRA_BIN_DIR;
        fs::copy_file(bin / "vetrav3", folder / "vetrav3");
        fs::copy_file(bin / "klv3data.sqlite", folder / "klv3data.sqlite");
    }
    void TearDown() override { fs::remove_all(folder); }

    Outcome Run(const std::string& arguments) { return RunAs("", "./vetrav3 " + arguments); }

    /// Runs `command` in the program folder through `prefix` (a command that runs it as another
    /// user, or nothing). Another user gets only sanitizer settings it can read.
    Outcome RunAs(const std::string& prefix, const std::string& command) {
        const std::string settings = prefix.empty() ? std::string() : SanitizerSettingsForAnotherUser();
        return RunCommand("cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " + settings + prefix +
                          command + " 2>&1");
    }

    /// The sanitizer settings of this process as assignments for a child that runs as another
    /// user: a suppressions file they name (which may lie where that user cannot read, as in a
    /// checkout under /root) is copied into the program folder, readable by all, and named there.
    std::string SanitizerSettingsForAnotherUser() {
        std::string assignments;
        for (const std::string name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            const char* value = std::getenv(name.c_str());
            if (!value) continue;
            std::string options = value;
            const std::string key = "suppressions=";
            const std::size_t at = options.find(key);
            if (at != std::string::npos) {
                const std::size_t start = at + key.size();
                const std::size_t end = std::min(options.find(':', start), options.size());
                const fs::path copy = folder / (name + ".supp");
                fs::copy_file(options.substr(start, end - start), copy, fs::copy_options::overwrite_existing);
                fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                          fs::perms::others_read);
                options.replace(start, end - start, copy.string());
            }
            assignments += name + "='" + options + "' ";
        }
        return assignments;
    }

    /// Lets every user into the program folder.
    void OpenFolderToAll() {
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    }

    static constexpr const char* kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    }

    fs::path folder;
};

}  // namespace

TEST_F(Program, SingleRequestWritesItsFileIntoTheOutputFolder) {
    fs::create_directory(folder / "out");
    const Outcome o = Run("X GB,EN,101,0,Y,N,N,N out");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_TRUE(fs::exists(folder / "out/GB_EN_101_0_Y_N_N_N.XML")) << o.Output;
    // A folder that ends in "/" stays as it is.
    fs::create_directory(folder / "second");
    EXPECT_EQ(Run("X GB,EN,101,0,Y,N,N,N " + (folder / "second/").string()).ExitCode, 0);
    EXPECT_TRUE(fs::exists(folder / "second/GB_EN_101_0_Y_N_N_N.XML"));
}

TEST_F(Program, RefusedRequestEndsWithAFailure) {
    const Outcome o = Run("x GB,EN,123,21,Y,N,N,N");
    EXPECT_EQ(o.ExitCode, 1);
    EXPECT_NE(o.Output.find("Interval number not in range 0-20 in Command Line parameter string"),
              std::string::npos)
        << o.Output;
    for (const auto& entry : fs::directory_iterator(folder)) EXPECT_NE(entry.path().extension(), ".XML");
}

TEST_F(Program, RequestFileRunsEveryValidLineAndReportsTheFaultyOnes) {
    Write("requests.txt", "GB,EN,101,0,Y,N,N,N\r\nGB,EN,2,0,N,N,N,N\r\nDE,de,110,5,N,Y,N,N\r\n");
    const Outcome o = Run("X requests.txt");
    EXPECT_EQ(o.ExitCode, 1) << o.Output;
    EXPECT_TRUE(fs::exists(folder / "requestsGB_EN_101_0_Y_N_N_N.XML")) << o.Output;
    EXPECT_TRUE(fs::exists(folder / "requestsDE_de_110_5_N_Y_N_N.XML")) << o.Output;
    EXPECT_NE(o.Output.find("At least 1 checksheet request must be set to Y - see Input record 2"), std::string::npos);
    // Three lines with a final line end are three records, not four.
    EXPECT_EQ(o.Output.find("Input record 4"), std::string::npos);
}

TEST_F(Program, RequestFileOfValidLinesSucceeds) {
    Write("ok.txt", "GB,EN,101,0,Y,N,N,N\nGB,EN,102,1,N,Y,N,N");
    EXPECT_EQ(Run("X ok.txt").ExitCode, 0);
}

TEST_F(Program, MissingRequestFileIsReported) {
    const Outcome o = Run("X nothing.txt");
    EXPECT_EQ(o.ExitCode, 2);
    EXPECT_NE(o.Output.find("XML Batch File nothing.txt - not found"), std::string::npos) << o.Output;
}

TEST_F(Program, InteractiveRunShowsTheMainMenuAndEndsWithoutInput) {
    const Outcome o = Run("");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_NE(o.Output.find("form frmMain"), std::string::npos) << o.Output;
}

TEST_F(Program, HandOffRunStartsWithoutTheMainForm) {
    // A hand-off job needs a person: without a display the run says so in one line and keeps
    // the file for a run that has one.
    Write("handoff.dat", "GB\nEN\nAR12-02\n");
    const Outcome o = Run("handoff.dat");
    EXPECT_EQ(o.ExitCode, 4) << o.Output;
    EXPECT_EQ(o.Output.find("form frm"), std::string::npos) << o.Output;
    EXPECT_EQ(std::count(o.Output.begin(), o.Output.end(), '\n'), 1) << o.Output;
    EXPECT_NE(o.Output.find("needs a display"), std::string::npos) << o.Output;
    EXPECT_TRUE(fs::exists(folder / "handoff.dat"));
}

TEST_F(Program, XmlRunWithoutARequestShowsTheChecksheetForm) {
    const Outcome o = Run("x");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_NE(o.Output.find("form frmChecksheet"), std::string::npos) << o.Output;
    EXPECT_EQ(o.Output.find("form frmMain"), std::string::npos) << o.Output;
}

TEST_F(Program, SampleRequestFileIsValidThroughout) {
    fs::copy_file(fs::path(VETRA_SOURCE_DIR) / "data/sample/requests.txt", folder / "requests.txt");
    const Outcome o = Run("X requests.txt");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    std::ifstream in(folder / "requests.txt");
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) files += entry.path().extension() == ".XML";
    EXPECT_EQ(files, lines);
}

TEST_F(Program, RequestFilesWithEveryKindOfLineEndAndAByteOrderMark) {
    Write("cr.txt", "GB,EN,101,0,Y,N,N,N\rGB,EN,102,0,Y,N,N,N\r");
    Outcome o = Run("X cr.txt");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_TRUE(fs::exists(folder / "crGB_EN_102_0_Y_N_N_N.XML")) << o.Output;
    Write("bom.txt", "\xEF\xBB\xBFGB,EN,101,0,Y,N,N,N\nGB,EN,102,0,Y,N,N,N");
    o = Run("X bom.txt");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_TRUE(fs::exists(folder / "bomGB_EN_101_0_Y_N_N_N.XML")) << o.Output;
}

TEST_F(Program, FolderFifoOrDeviceAsRequestFileIsNotFound) {
    fs::create_directory(folder / "requests");
    ASSERT_EQ(std::system(("mkfifo '" + (folder / "fifo").string() + "'").c_str()), 0);
    for (const std::string name : {"requests", "fifo", "/dev/zero"}) {
        const Outcome o = Run("X " + name);
        EXPECT_EQ(o.ExitCode, 2) << name << ": " << o.Output;
        EXPECT_NE(o.Output.find("XML Batch File " + name + " - not found"), std::string::npos) << o.Output;
    }
}

TEST_F(Program, HeadlessMessagesEndTheirLinesWithOneLineEnd) {
    Write("bad.txt", ",,1,0,Y,N,N,N\n");
    const Outcome o = Run("X bad.txt");
    EXPECT_EQ(o.ExitCode, 1);
    EXPECT_NE(o.Output.find("Missing Market Code in Input record 1\nMissing Language Code in Input record 1\n"),
              std::string::npos)
        << o.Output;
    EXPECT_EQ(o.Output.find('\r'), std::string::npos);
}

namespace {

/// Runs SQL on a database file.
void ExecSql(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

}  // namespace

TEST_F(Program, StartUpFaultsEndTheProgramWithTheirMessage) {
    for (const char* table : {"Version", "LANGTEXT"}) {
        fs::copy_file(fs::path(VETRA_BIN_DIR) / "klv3data.sqlite", folder / "klv3data.sqlite",
                      fs::copy_options::overwrite_existing);
        ExecSql(folder / "klv3data.sqlite", std::string("DROP TABLE ") + table);
        const Outcome o = Run("");
        EXPECT_EQ(o.ExitCode, 4) << table << ": " << o.Output;
        EXPECT_NE(o.Output.find("Error"), std::string::npos) << o.Output;
    }
}

TEST_F(Program, ReadOnlyInstallationStartsAndShowsItsMenu) {
    // The program runs as a user that may not write the database (as root, as nobody).
    fs::permissions(folder / "klv3data.sqlite", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    OpenFolderToAll();
    const std::string as = geteuid() == 0 ? kAsNobody : "";
    Outcome o = RunAs(as, "./vetrav3");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_NE(o.Output.find("form frmMain"), std::string::npos) << o.Output;
    EXPECT_EQ(o.Output.find("read-only"), std::string::npos) << o.Output;
    // An old code that would have to be written back cannot be: the fault ends the run.
    fs::permissions(folder / "klv3data.sqlite", fs::perms::owner_write, fs::perm_options::add);
    ExecSql(folder / "klv3data.sqlite", "UPDATE PARAMS SET MARKET_CODE='KDW'");
    fs::permissions(folder / "klv3data.sqlite", fs::perms::owner_write, fs::perm_options::remove);
    o = RunAs(as, "./vetrav3");
    EXPECT_EQ(o.ExitCode, 4) << o.Output;
    EXPECT_NE(o.Output.find("Cannot modify a read-only dataset"), std::string::npos) << o.Output;
}

TEST_F(Program, RefusedHandOffFileEndsTheProgramAndStays) {
    Write("bad.ho", "ZZ\r\nEN\r\nAR12-02\r\n");
    const Outcome o = Run("bad.ho");
    EXPECT_EQ(o.ExitCode, 6) << o.Output;
    EXPECT_NE(o.Output.find("error 03"), std::string::npos) << o.Output;
    EXPECT_TRUE(fs::exists(folder / "bad.ho"));
    const Outcome missing = Run("none.ho");
    EXPECT_EQ(missing.ExitCode, 6) << missing.Output;
    EXPECT_NE(missing.Output.find("error 01 - none.ho"), std::string::npos) << missing.Output;
}

TEST_F(Program, ChildOfAnotherUserCanReadTheSuppressionsItIsGiven) {
    if (geteuid() != 0) GTEST_SKIP() << "changing user needs root";
    // Suppressions where only their owner may read them, as in a checkout under /root.
    const fs::path own = folder.string() + "-private";
    fs::create_directories(own);
    fs::permissions(own, fs::perms::owner_all);
    std::ofstream(own / "lsan.supp") << "leak:libfontconfig\n";
    const char* saved = std::getenv("LSAN_OPTIONS");
    const std::string savedText = saved ? saved : "";
    ::setenv("LSAN_OPTIONS", ("suppressions=" + (own / "lsan.supp").string() + ":print_suppressions=0").c_str(), 1);
    OpenFolderToAll();
    const Outcome o = RunAs(kAsNobody, "sh -c 'f=${LSAN_OPTIONS#*suppressions=}; cat \"${f%%:*}\"'");
    if (saved) ::setenv("LSAN_OPTIONS", savedText.c_str(), 1);
    else ::unsetenv("LSAN_OPTIONS");
    fs::remove_all(own);
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_EQ(o.Output, "leak:libfontconfig\n");
}
