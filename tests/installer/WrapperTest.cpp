// The table wrapper: opening and creating by Windows name, the installer's workunit list with its
// tags, results of moves, appends and seeks, and what is reported for missing things.
#include "DB.h"
#include "Db1.h"
#include "ErrLog.h"
#include "InstallerTestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

FieldList RelworkFields() {
  return {{"INSTCODE", 'C', 3, 0}, {"UNITCODE", 'C', 8, 0},  {"VIEWTECH", 'C', 2, 0}, {"MARKET", 'C', 2, 0},
          {"LANGUAGE", 'C', 2, 0}, {"PRODDATE", 'C', 16, 0}, {"VOLUME", 'C', 12, 0}};
}
TagList RelworkTags() {
  return {{"BYCODE", "UNITCODE", "UNITCODE > '!'", 0, 0}, {"BYCODEDATE", "UNITCODE-PRODDATE", "UNITCODE > '!'", 25, 0}};
}

class Wrapper : public insttest::DriveC {
 protected:
  void SetUp() override {
    DriveC::SetUp();
    ErrorLog().SetFile("C:\\QUILLET.ERR", 2, 0, 0);
    Session().ReadOnly = false;
  }
  void TearDown() override {
    ErrorLog().SetFile("C:\\QUILLET.ERR", 0, 0, 0);
    Session().ReadOnly = false;
    DriveC::TearDown();
  }
  std::string Log() {
    ErrorLog().Stream().flush();
    return Read(C("QUILLET.ERR"));
  }
  static void Add(CDbTable& t, const std::string& unit, const std::string& date) {
    ASSERT_EQ(t.AppendStart(true), 0);
    t.AssignString("UNITCODE", unit);
    t.AssignString("PRODDATE", date);
    t.AssignLong("INSTCODE", 12);
    ASSERT_EQ(t.Append(), 0);
  }
};

}  // namespace

TEST_F(Wrapper, InstalledListIsCreatedWithItsIndexAndReopened) {
  fs::create_directories(C("base/data/P/EN"));
  {
    CDbIndexedTable t;
    TagList tags = RelworkTags();
    EXPECT_EQ(t.OpenOrCreate("C:\\base\\data\\P\\EN\\relwork", RelworkFields(), &tags), 0);
    ASSERT_TRUE(t.IsOpen());
    EXPECT_EQ(t.FileName(), "C:\\base\\data\\P\\EN\\relwork.DBF");
    EXPECT_EQ(t.IndexName(), "C:\\base\\data\\P\\EN\\RELWORK.CDX");
    Add(t, "AB12", "20010305");
    Add(t, "AB12", "20010305");  // unique 25 tag: left out, the append succeeds
    Add(t, "CD34", "19990101");
    EXPECT_EQ(t.FieldByName("INSTCODE"), " 12");
    t.AssignString("VOLUME", "ff");
    EXPECT_EQ(t.FieldByName("volume", 16), "255");
    EXPECT_EQ(t.RecordCount(), 3);
  }
  EXPECT_TRUE(fs::exists(C("base/data/P/EN/relwork.DBF")));
  EXPECT_TRUE(fs::exists(C("base/data/P/EN/RELWORK.CDX")));
  Session().ReadOnly = true;
  CDbIndexedTable t;
  EXPECT_EQ(t.Open("c:\\BASE\\data\\p\\en\\RELWORK"), 0);
  Session().ReadOnly = false;
  ASSERT_TRUE(t.IsOpen());
  std::string tag = "bycode";
  EXPECT_EQ(t.Seek("AB1", &tag), 0);
  EXPECT_EQ(t.FieldByName("UNITCODE"), "AB12");
  EXPECT_EQ(tag, "bycode");  // the caller's text is not changed
  EXPECT_EQ(t.Skip(), 0);
  EXPECT_EQ(t.Skip(), 0);
  EXPECT_EQ(t.FieldByName("UNITCODE"), "CD34");
  EXPECT_EQ(t.Skip(), 3);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.Seek("a"), 3);
  EXPECT_EQ(t.Seek("B"), 2);
  std::string byDate = "BYCODEDATE";
  EXPECT_EQ(t.Top(&byDate), 0);
  EXPECT_EQ(t.FieldByName("PRODDATE"), "20010305");
  EXPECT_EQ(t.SelectTag("NOSUCH"), 1);
  EXPECT_NE(Log().find("Object not found:  NOSUCH"), std::string::npos);
}

TEST_F(Wrapper, DotsInFoldersDoNotStopTheExtension) {
  fs::create_directories(C("V1.2"));
  CDbTable t;
  FieldList fields = {{"NAME", 'C', 4, 0}};
  EXPECT_EQ(t.Open("C:\\V1.2\\volume", &fields), 0);
  EXPECT_TRUE(fs::exists(C("V1.2/volume.DBF")));
  t.Close();
  EXPECT_EQ(t.Open("C:\\V1.2\\volume.dbf"), 0);  // found whatever the extension's case
}

TEST_F(Wrapper, MissingTablesIndexesAndFields) {
  CDbIndexedTable t;
  EXPECT_EQ(t.Open("C:\\nowhere\\relwork"), 1);
  EXPECT_FALSE(t.IsOpen());
  EXPECT_EQ(Log(), "");  // a missing file without fields is no failure of the library
  FieldList fields = {{"UNITCODE", 'C', 8, 0}};
  EXPECT_EQ(t.OpenOrCreate("C:\\nowhere\\relwork", fields, nullptr), 1);
  EXPECT_NE(Log().find("Error:  CREATE"), std::string::npos);
  // A table whose index file is missing does not count as open.
  CDbTable plain;
  ASSERT_EQ(plain.Open("C:\\list", &fields), 0);
  plain.Close();
  EXPECT_EQ(t.Open("C:\\list"), 1);
  EXPECT_FALSE(t.IsOpen());
  EXPECT_NE(t.Table(), nullptr);
  t.Close();
  // Unmapped drives exist nowhere.
  EXPECT_EQ(t.OpenOrCreate("Q:\\relwork", fields, nullptr), 1);

  ASSERT_EQ(plain.Open("C:\\list"), 0);
  int err = 0;
  EXPECT_EQ(plain.FieldByName("NOPE", 0, &err), "");
  EXPECT_EQ(err, 1);
  EXPECT_EQ(plain.AssignString("NOPE", "x"), 1);
  std::string name;
  int len = 0, dec = 0;
  EXPECT_EQ(plain.FieldInfo(1, &name, &len, &dec), 0);
  EXPECT_EQ(name, "UNITCODE");
  EXPECT_EQ(len, 8);
  EXPECT_EQ(plain.FieldInfo(2, &name, &len, &dec), 1);
  std::string log = Log();
  EXPECT_NE(log.find("Object not found:  NOPE"), std::string::npos);
  EXPECT_NE(log.find("Object out of range:  field_num\nObject value:  2\n"), std::string::npos);
}

TEST_F(Wrapper, UniqueRefusalGives126WithoutARecord) {
  CDbIndexedTable t;
  TagList tags = {{"ONE", "UNITCODE", "", 1, 0}};
  ASSERT_EQ(t.OpenOrCreate("C:\\uniq", RelworkFields(), &tags), 0);
  Add(t, "X", "");
  std::string before = Log();
  ASSERT_EQ(t.AppendStart(true), 0);
  t.AssignString("UNITCODE", "X");
  EXPECT_EQ(t.Append(true), 126);
  EXPECT_EQ(Log(), before);
  EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(Wrapper, DeletePackAndZap) {
  CDbIndexedTable t;
  TagList tags = RelworkTags();
  ASSERT_EQ(t.OpenOrCreate("C:\\relwork", RelworkFields(), &tags), 0);
  for (const char* u : {"a1", "A2", "a3", "A4"}) Add(t, u, "");
  // Purging lower-case workunits as the installer does: seek "a", delete while not at the end.
  ASSERT_EQ(t.Seek("a"), 0);
  int marked = 0;
  while (!t.Eof()) {
    t.Delete();
    ++marked;
    t.Skip();
  }
  EXPECT_EQ(marked, 2);
  EXPECT_EQ(t.Pack(), 0);
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.Top(), 0);
  EXPECT_EQ(t.FieldByName("UNITCODE"), "A2");
  EXPECT_EQ(t.ZapAll(), 0);
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.Top(), 3);
  EXPECT_EQ(t.Reindex(), 0);
}

TEST_F(Wrapper, IndexRemovedAfterAPackStaysRemoved) {
  CDbIndexedTable t;
  TagList tags = RelworkTags();
  ASSERT_EQ(t.OpenOrCreate("C:\\relwork", RelworkFields(), &tags), 0);
  Add(t, "a1", "");
  Add(t, "B2", "");
  ASSERT_EQ(t.Seek("a"), 0);
  t.Delete();
  ASSERT_EQ(t.Pack(), 0);
  // The installer deletes the index of a purged list so that the next open rebuilds it.
  ASSERT_TRUE(fs::remove(C("RELWORK.CDX")));
  t.Close();
  EXPECT_FALSE(fs::exists(C("RELWORK.CDX")));
  ASSERT_EQ(t.OpenOrCreate("C:\\relwork", RelworkFields(), &tags), 0);
  EXPECT_EQ(t.Seek("B2"), 0);
  EXPECT_EQ(t.Seek("a"), 3);
}

TEST_F(Wrapper, AMoveThatFailsEndsTheWalkAndIsReported) {
  {
    CDbTable t;
    const FieldList fields = RelworkFields();
    ASSERT_EQ(t.Open("C:\\list", &fields), 0);
    for (const char* unit : {"A1", "A2", "A3"}) Add(t, unit, "2024");
    EXPECT_EQ(t.Close(), 0);
  }
  CDbTable t;
  Session().ReadOnly = true;
  ASSERT_EQ(t.Open("C:\\list"), 0);
  Session().ReadOnly = false;
  // The records vanish under the open table: every move from the first one fails to read.
  fs::resize_file(C("list.DBF"), 300);
  int steps = 0;
  for (t.Top(); !t.Eof() && steps < 10; t.Skip(1)) ++steps;
  EXPECT_LT(steps, 10);  // the walk ended instead of turning on one record
  EXPECT_EQ(t.Failure(), tables::kErrRead);
  EXPECT_NE(Log().find("Codebase code:  -70\n"), std::string::npos);
}

TEST_F(Wrapper, AnEmptyFileLeftByACreationThatNeverFinishedIsMadeAgain) {
  Write(C("empty.DBF"), "");
  CDbTable t;
  EXPECT_EQ(t.Open("C:\\empty"), 1);  // opened as it is, it is no table
  EXPECT_EQ(t.OpenError(), tables::kErrData);
  const FieldList fields = RelworkFields();
  EXPECT_EQ(t.Open("C:\\empty", &fields), 0);
  EXPECT_EQ(t.FieldCount(), 7);
  EXPECT_EQ(t.Close(), 0);
}

// An index this process closed is trusted at its next open only while neither it nor its table
// changed: another program that rewrites either in place, keeping its size, makes the next open
// compare the keys with the records again (and build them again).
TEST_F(Wrapper, AnIndexChangedByAnotherProgramSinceItWasClosedIsCheckedAgain) {
  CDbIndexedTable::ForgetChecks();
  TagList tags = RelworkTags();
  auto make = [&](const std::string& name, const std::vector<const char*>& units) {
    CDbIndexedTable t;
    ASSERT_EQ(t.OpenOrCreate(name, RelworkFields(), &tags), 0);
    for (const char* unit : units) Add(t, unit, "2024");
    ASSERT_EQ(t.Close(), 0);
  };
  fs::create_directories(C("other"));
  ASSERT_NO_FATAL_FAILURE(make("C:\\other\\relwork", {"AB01", "AB02", "AB04"}));
  ASSERT_NO_FATAL_FAILURE(make("C:\\relwork", {"AB01", "AB02", "AB03"}));  // closed: checked
  // Another program puts `bytes` over the file in place, some time after the close.
  auto overwrite = [](const std::string& path, const std::string& bytes, off_t at) {
    pid_t child = ::fork();
    if (child == 0) {
      ::usleep(20000);
      const int fd = ::open(path.c_str(), O_WRONLY);
      const bool done = fd >= 0 && ::pwrite(fd, bytes.data(), bytes.size(), at) == ssize_t(bytes.size());
      ::_exit(done && ::close(fd) == 0 ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  auto reopen = [&](CDbIndexedTable& t) {
    EXPECT_EQ(t.OpenOrCreate("C:\\relwork", RelworkFields(), &tags), 0);
    return t.IsOpen() && t.IndexRebuilt();
  };
  // The index of the other table (the same size, other keys) in place of this one's.
  const std::string otherIndex = Read(C("other/RELWORK.CDX"));
  ASSERT_EQ(otherIndex.size(), fs::file_size(C("RELWORK.CDX")));
  ASSERT_TRUE(overwrite(C("RELWORK.CDX"), otherIndex, 0));
  {
    CDbIndexedTable t;
    EXPECT_TRUE(reopen(t));
    EXPECT_EQ(t.Seek("AB03"), 0);
    EXPECT_NE(t.Seek("AB04"), 0);
    EXPECT_EQ(t.Close(), 0);
  }
  {
    CDbIndexedTable t;
    EXPECT_FALSE(reopen(t));  // as this process left it
  }
  // A record of the table changed in place, the index left as it was.
  const std::string table = Read(C("relwork.DBF"));
  const size_t at = table.find("AB03");
  ASSERT_NE(at, std::string::npos);
  ASSERT_TRUE(overwrite(C("relwork.DBF"), "AB05", off_t(at)));
  CDbIndexedTable t;
  EXPECT_TRUE(reopen(t));
  EXPECT_EQ(t.Seek("AB05"), 0);
  EXPECT_NE(t.Seek("AB03"), 0);
}
