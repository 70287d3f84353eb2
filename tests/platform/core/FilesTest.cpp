// Program folder, case-insensitive file look-up, the replacement of a file and the removal of
// what unfinished replacements left.
#include "Files.h"

#include <gtest/gtest.h>

#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

// The fresh names and the folder flushes of replacements, scripted by the tests below: each
// getrandom call takes the next byte value of the script for all its bytes (0 gives the tag
// "AAAAAA", 1 "BBBBBB", ...); a folder's flush fails with the error number set. Otherwise both
// are the system's.
namespace {
std::deque<unsigned char> g_randomScript;
int g_folderFlushError = 0;
}  // namespace

extern "C" ssize_t getrandom(void* buf, size_t n, unsigned int flags) {
    if (g_randomScript.empty()) return ::syscall(SYS_getrandom, buf, n, flags);
    std::memset(buf, g_randomScript.front(), n);
    g_randomScript.pop_front();
    return ssize_t(n);
}

extern "C" int fsync(int fd) {
    struct stat st{};
    if (g_folderFlushError != 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = g_folderFlushError;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace fs = std::filesystem;

namespace {

class FileLookup : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vetra_files_" + std::to_string(::getpid()));
        fs::create_directories(root_ / "Images" / "Sub");
        std::ofstream(root_ / "Images" / "Sub" / "ENTRAIN1.TIF") << "x";
        std::ofstream(root_ / "Images" / "page.tif") << "y";
        std::ofstream(root_ / "Images" / "PAGE.TIF") << "z";
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string Root() const { return root_.string() + "/"; }
    fs::path root_;
};

TEST_F(FileLookup, FindsEachComponentWhateverItsCase) {
    EXPECT_EQ(FindFileNoCase(Root() + "images/SUB/entrain1.tif"), Root() + "Images/Sub/ENTRAIN1.TIF");
    EXPECT_TRUE(FileExistsNoCase(Root() + "IMAGES/sub/EnTrain1.Tif"));
}

TEST_F(FileLookup, PrefersTheExactName) {
    EXPECT_EQ(FindFileNoCase(Root() + "Images/page.tif"), Root() + "Images/page.tif");
    EXPECT_EQ(FindFileNoCase(Root() + "Images/PAGE.TIF"), Root() + "Images/PAGE.TIF");
}

TEST_F(FileLookup, MissingFilesAndFoldersGiveNothing) {
    EXPECT_EQ(FindFileNoCase(Root() + "Images/none.tif"), "");
    EXPECT_EQ(FindFileNoCase(Root() + "Nowhere/page.tif"), "");
    EXPECT_EQ(FindFileNoCase(""), "");
    EXPECT_FALSE(FileExistsNoCase(Root() + "images")); // a folder is not a file
    EXPECT_FALSE(FileExistsNoCase(Root() + "Images/Sub/ENTRAIN1.TIF/x"));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramWithASlash) {
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::exists(folder + "test_platform_core"));
}

std::string Contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class Replacement : public FileLookup {
protected:
    void TearDown() override {
        g_randomScript.clear();
        g_folderFlushError = 0;
        FileLookup::TearDown();
    }
    std::string Target() const { return (root_ / "T.DBF").string(); }
    // Names beginning ".~" in the folder.
    std::vector<std::string> NewFiles() const {
        std::vector<std::string> out;
        for (auto& e : fs::directory_iterator(root_))
            if (e.path().filename().string().rfind(".~", 0) == 0) out.push_back(e.path().filename().string());
        return out;
    }
};

// Whatever stands at a fresh name (a file, a link to a file, a link to nowhere) is neither opened,
// followed nor written: the name is passed over for the next.
TEST_F(Replacement, AFileOrLinkAtTheFreshNameIsPassedOver) {
    std::ofstream(Target()) << "old";
    std::ofstream(root_ / "victim") << "victim";
    std::ofstream(root_ / ".~AAAAAA.T.DBF") << "planted";
    fs::create_symlink(root_ / "victim", root_ / ".~BBBBBB.T.DBF");
    fs::create_symlink(root_ / "nowhere", root_ / ".~CCCCCC.T.DBF");
    g_randomScript = {0, 1, 2, 3};
    ReplacementFile file(Target());
    ASSERT_TRUE(file.ok()) << file.error();
    EXPECT_EQ(file.path(), (root_ / ".~DDDDDD.T.DBF").string());
    ASSERT_TRUE(file.Write("new", 3));
    EXPECT_EQ(file.Commit(), 0);
    EXPECT_EQ(Contents(Target()), "new");
    EXPECT_EQ(Contents(root_ / ".~AAAAAA.T.DBF"), "planted");
    EXPECT_EQ(Contents(root_ / "victim"), "victim");
    EXPECT_TRUE(fs::is_symlink(root_ / ".~BBBBBB.T.DBF"));
    EXPECT_FALSE(fs::exists(root_ / "nowhere"));
}

// A folder flush that fails after the rename is reported, with the new file in place and nothing
// left; a file system that cannot flush folders (EINVAL) is no failure.
TEST_F(Replacement, AFailedFolderFlushIsReportedAfterTheRename) {
    for (int error : {EIO, ENOSPC, EINVAL}) {
        SCOPED_TRACE(error);
        std::ofstream(Target()) << "old";
        g_folderFlushError = error;
        ReplacementFile file(Target());
        ASSERT_TRUE(file.Write("new", 3));
        EXPECT_EQ(file.Commit(), error == EINVAL ? 0 : error);
        EXPECT_TRUE(file.renamed());
        EXPECT_EQ(Contents(Target()), "new");
        EXPECT_TRUE(NewFiles().empty());
        ReplacementFile closed(Target());
        ASSERT_TRUE(closed.Write("newer", 5));
        EXPECT_EQ(closed.Finish(true), error == EINVAL ? 0 : error);
        EXPECT_EQ(closed.Finish(true), error == EINVAL ? EBADF : error);  // placed once only
        EXPECT_EQ(Contents(Target()), "newer");
        EXPECT_TRUE(NewFiles().empty());
    }
}

// Only regular files of the target's own fresh names go: other names, links and folders stay.
TEST_F(Replacement, OnlyTheTargetsOwnUnfinishedFilesAreRemoved) {
    std::ofstream(Target()) << "table";
    std::ofstream(root_ / "victim") << "victim";
    for (const char* name : {".~Ab3dE9.T.DBF", ".~000000.T.DBF"}) std::ofstream(root_ / name) << "left";
    const std::vector<std::string> foreign = {
        ".~Ab3dE9.T.DBF.x", ".~Ab3dE9.U.DBF", ".~Ab3dE9.t.dbf", ".~Ab-dE9.T.DBF", ".~Ab3dE.T.DBF",
        ".~Ab3dE90.T.DBF",  ".~Ab3dE9xT.DBF", "x~Ab3dE9.T.DBF", "..Ab3dE9.T.DBF", ".~Ab3dE9.",
    };
    for (const std::string& name : foreign) std::ofstream(root_ / name) << "foreign";
    fs::create_symlink(root_ / "victim", root_ / ".~Link01.T.DBF");
    fs::create_directories(root_ / ".~Fold01.T.DBF" / "inside");
    RemoveUnfinishedReplacements(Target());
    EXPECT_FALSE(fs::exists(root_ / ".~Ab3dE9.T.DBF"));
    EXPECT_FALSE(fs::exists(root_ / ".~000000.T.DBF"));
    for (const std::string& name : foreign) EXPECT_EQ(Contents(root_ / name), "foreign") << name;
    EXPECT_TRUE(fs::is_symlink(root_ / ".~Link01.T.DBF"));
    EXPECT_EQ(Contents(root_ / "victim"), "victim");
    EXPECT_TRUE(fs::exists(root_ / ".~Fold01.T.DBF" / "inside"));
    EXPECT_EQ(Contents(Target()), "table");
}

} // namespace
