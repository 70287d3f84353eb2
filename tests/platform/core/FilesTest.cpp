// Program folder and case-insensitive file look-up.
#include "Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

} // namespace
