// Paths and helpers: Windows paths through the drive map, joining and splitting, folder
// creation, number texts, stamps, copies and the time text.
#include "Helpers.h"
#include "HostPath.h"
#include "InstallerTestSupport.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;
using insttest::DriveC;

using Paths = DriveC;

TEST_F(Paths, DrivesMapToFoldersAndComponentsMatchWhateverTheirCase) {
  fs::create_directories(C("Data/Vetra"));
  EXPECT_EQ(HostPath("C:\\"), C(""));
  EXPECT_EQ(HostPath("C:\\DATA\\vetra\\New\\File.dbf"), C("Data/Vetra/New/File.dbf"));
  EXPECT_EQ(HostPath("c:\\data\\..\\..\\..\\data"), C("Data"));  // ".." stops at the root
  EXPECT_EQ(HostPath("C:/Data/./Vetra/"), C("Data/Vetra/"));
  EXPECT_EQ(HostPath("E:\\REL"), E("REL"));
  EXPECT_EQ(HostPath("Q:\\anything"), "");  // an unmapped drive exists nowhere
  EXPECT_EQ(HostPath("\\Data"), C("Data"));  // the current drive
  EXPECT_EQ(HostPath("data\\vetra"), "Data/Vetra");  // relative to the current folder (drive C's root)
  EXPECT_EQ(DriveLabel('e'), "DISK.01");
  EXPECT_EQ(DriveLabel('C'), "");
}

TEST_F(Paths, NetworkSharesComeFromTheMap) {
  setenv("QUILLET_DRIVES", ("\\\\srv\\share=" + C("share")).c_str(), 1);
  ReloadDriveMap();
  EXPECT_EQ(HostPath("\\\\SRV\\Share\\x\\y"), C("share/x/y"));
  EXPECT_EQ(HostPath("\\\\other\\share\\x"), "");
  EXPECT_EQ(HostPath("C:\\x"), "");  // the variable replaces the whole map
}

TEST_F(Paths, IniFileSectionsAreRead) {
  Write(C("q.ini"), "[Other]\nC=/nowhere\n[ drives ]\n  e = /mnt/vol \n; comment\nE.label=DISK.02\n");
  auto section = ReadIniSection(C("q.ini"), "Drives");
  ASSERT_EQ(section.size(), 2u);
  EXPECT_EQ(section[0], std::make_pair(std::string("E"), std::string("/mnt/vol")));
  EXPECT_TRUE(ReadIniSection(C("none.ini"), "Drives").empty());
}

TEST_F(Paths, JoinSourceAndSplit) {
  EXPECT_EQ(PathJoin("C:\\", "data"), "C:\\data");
  EXPECT_EQ(PathJoin("C:\\base", "data"), "C:\\base\\data");
  EXPECT_EQ(PathJoin(std::nullopt, "data"), "data");
  EXPECT_EQ(SourcePath("E", "\\REL\\", "relwork"), "E:\\REL\\relwork");
  EXPECT_EQ(SourcePath("E:", "\\REL\\", "volume.dbf"), "E:\\REL\\volume.dbf");
  EXPECT_EQ(SourcePath(std::nullopt, "\\REL\\", "relwork"), "\\REL\\relwork");
  std::string d, f, n, x;
  SplitPath("C:\\base\\data\\relwork.dbf", &d, &f, &n, &x);
  EXPECT_EQ(d, "C:");
  EXPECT_EQ(f, "\\base\\data\\");
  EXPECT_EQ(n, "relwork");
  EXPECT_EQ(x, ".dbf");
  SplitPath("C:base\\V1.2\\relwork", &d, &f, &n, &x);
  EXPECT_EQ(f, "\\base\\V1.2\\");
  EXPECT_EQ(n, "relwork");
  EXPECT_EQ(x, "");
  SplitPath("a.b.c", &d, &f, &n, nullptr);
  EXPECT_EQ(d, "");
  EXPECT_EQ(f, "");
  EXPECT_EQ(n, "a.b");
  EXPECT_EQ(StrDup(nullptr), std::nullopt);
  EXPECT_EQ(StrDup("x"), "x");
}

TEST_F(Paths, MakeDirsCreatesTheMissingFolders) {
  fs::create_directories(C("a"));
  EXPECT_EQ(MakeDirs("C:\\a\\b\\c"), 0);
  EXPECT_TRUE(fs::is_directory(C("a/b/c")));
  fs::create_directories(C("Upper"));
  EXPECT_EQ(MakeDirs("C:\\UPPER\\new"), 0);
  EXPECT_TRUE(fs::is_directory(C("Upper/new")));
  EXPECT_EQ(MakeDirs("Q:\\a"), ENOENT);
  EXPECT_EQ(MakeDirs("relative\\x"), 0);
  EXPECT_FALSE(fs::exists(C("relative")));
  Write(C("file"), "x");
  EXPECT_EQ(MakeDirs("C:\\file\\below"), ENOTDIR);
}

TEST(Helpers, NumbersInBases) {
  EXPECT_EQ(LtoaUpper(255, 16), "FF");
  EXPECT_EQ(LtoaUpper(-42, 10), "-42");
  EXPECT_EQ(LtoaUpper(35, 36), "Z");
  EXPECT_EQ(ParseInBase("ff  ", 16), 255);
  EXPECT_EQ(ParseInBase("Zz", 36), 35 * 36 + 35);
  EXPECT_EQ(ParseInBase("", 16), 0);
  EXPECT_EQ(ParseInBase("100000000", 16), 0);  // wraps at 32 bits
  EXPECT_EQ(ParseInBase(std::string(200, 'Z'), 36), ParseInBase(std::string(200, 'Z'), 36));
  std::string s = "ab  ";
  TrimRight(s);
  EXPECT_EQ(s, "ab");
  EXPECT_EQ(CopyTrim("abc   def", 5), "abc");
  EXPECT_EQ(TrimRight("x  \0", 3), "x");
}

namespace {
int64_t LocalTime(int y, int mo, int d, int h, int mi) {
  std::tm tm{};
  tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d, tm.tm_hour = h, tm.tm_min = mi, tm.tm_isdst = -1;
  return int64_t(std::mktime(&tm));
}
}  // namespace

TEST(Helpers, StampsOrderAsTextInTimeOrder) {
  EXPECT_EQ(StampOf(LocalTime(2001, 3, 5, 14, 7)), "G25E07");
  EXPECT_EQ(StampOf(LocalTime(2020, 12, 31, 23, 59)), "ZBVN59");
  EXPECT_EQ(StampOf(LocalTime(2021, 1, 1, 0, 0)), "[01000");
  EXPECT_LT(StampOf(LocalTime(2020, 12, 31, 23, 59)), StampOf(LocalTime(2021, 1, 1, 0, 0)));
  EXPECT_LT(StampOf(LocalTime(2025, 6, 1, 0, 0)), StampOf(LocalTime(2026, 1, 1, 0, 0)));
}

TEST(Helpers, TimeTextIsTheClassicForm) {
  std::string t = TimeText(LocalTime(1980, 1, 2, 2, 3) + 55);
  EXPECT_EQ(t, "Wed Jan  2 02:03:55 1980\n");
  EXPECT_EQ(TimeText().size(), 25u);
}

TEST_F(Paths, CopyFileBothForms) {
  Write(C("src.txt"), std::string(200000, 'q'));
  EXPECT_EQ(CopyFileEx("C:\\src.txt", "C:\\dst.txt", false), 0);
  EXPECT_EQ(Read(C("dst.txt")).size(), 200000u);
  EXPECT_NE(CopyFileEx("C:\\src.txt", "C:\\dst.txt", false), 0);
  EXPECT_EQ(CopyFileEx("C:\\src.txt", "C:\\dst.txt", true), 0);
  EXPECT_NE(CopyFileEx("C:\\none.txt", "C:\\x.txt", true), 0);
  int handle = -1;
  EXPECT_EQ(CopyFileEx("C:\\none.txt", "C:\\x.txt", true, &handle), -1);
  EXPECT_EQ(CopyFileEx("C:\\src.txt", "C:\\dst.txt", false, &handle), -1004);
  EXPECT_EQ(CopyFileEx("C:\\src.txt", "C:\\nofolder\\x.txt", true, &handle), -1002);
  Write(C("dst.txt"), "old");
  EXPECT_EQ(CopyFileEx("C:\\src.txt", "C:\\DST.TXT", true, &handle), 0);
  EXPECT_EQ(Read(C("dst.txt")), Read(C("src.txt")));
}
