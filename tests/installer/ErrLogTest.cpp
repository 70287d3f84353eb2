// The error log: levels, the records of each error class, rotation into ten slots, trimming at
// due flushes; and the records the table wrapper writes.
#include "DB.h"
#include "ErrLog.h"
#include "Helpers.h"
#include "InstallerTestSupport.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class ErrLog : public insttest::DriveC {
 protected:
  void SetUp() override {
    DriveC::SetUp();
    log.Clock = [this] { return now; };
    log.SetFile("C:\\TEST.ERR", 2, 0, 0);
  }
  void TearDown() override {
    log.Close();
    DriveC::TearDown();
  }
  std::string Text() {
    log.Stream().flush();
    return Read(C("TEST.ERR"));
  }
  CErrorLog log;
  std::time_t now = 1000;
};

}  // namespace

TEST_F(ErrLog, LevelZeroWritesNothing) {
  log.SetLevel(0);
  CFileOpenError("NA", "DB", "", 1, "x.dbf").Write(log);
  CCodebaseError("NA", "DB", "", 2, -60).Write(log);
  EXPECT_FALSE(fs::exists(C("TEST.ERR")));
  EXPECT_EQ(log.SetLevel(3), 0);
  EXPECT_EQ(log.GetLevel(), 3);
}

TEST_F(ErrLog, EachClassWritesItsRecord) {
  CFileOpenError open("NA", "DB", "", 1, "C:\\x.dbf");
  open.Write(log);
  CObjectNotFoundError("NA", "DB", "", 2, nullptr).Write(log);
  CRangeError("NA", "DB", "", 3, "field_num", 12).Write(log);
  CCodebaseError("NA", "DB", "", 4, -340).Write(log);
  CFileCreateError("NA", "DB", "", 5, "y.dbf").Write(log);
  std::string t = open.Time();
  EXPECT_EQ(t.size(), 24u);
  std::string expected = "Error:  OPEN\nTime of error:  " + t + "\nFile:  C:\\x.dbf\n\n";
  std::string text = Text();
  ASSERT_GE(text.size(), expected.size());
  EXPECT_EQ(text.substr(0, expected.size()), expected);
  EXPECT_NE(text.find("Error:  Obct NF\n"), std::string::npos);
  EXPECT_NE(text.find("Object not found:  NULL\n\n"), std::string::npos);
  EXPECT_NE(text.find("Error:  RNG\n"), std::string::npos);
  EXPECT_NE(text.find("Object out of range:  field_num\nObject value:  12\n\n"), std::string::npos);
  EXPECT_NE(text.find("Error:  CB\n"), std::string::npos);
  EXPECT_NE(text.find("Codebase code:  -340\n\n"), std::string::npos);
  EXPECT_NE(text.find("Error:  CREATE\n"), std::string::npos);
  EXPECT_EQ(CFileError("NA", "DB", "", 1, "f").Code(), 112);
  EXPECT_EQ(open.Code(), 105);
  EXPECT_EQ(CCodebaseError("NA", "DB", "", 1, 0).AlertText(), "Codebase error.\nCheck error log.");
  EXPECT_EQ(NormaliseCode(-340), 100);
  EXPECT_EQ(NormaliseCode(3), 3);
}

TEST_F(ErrLog, LargeLogIsTrimmedAtTheNextDueFlush) {
  std::string big(600000, 'a');
  for (size_t i = 0; i < big.size(); i += 1000) big[i] = char('0' + (i / 1000) % 10);
  Write(C("TEST.ERR"), big);
  now = 5000;
  CCodebaseError("NA", "DB", "", 1, -1).Write(log);  // first write: flush due, trimmed
  std::string text = Text();
  EXPECT_EQ(text.size(), 262144u);
  size_t record = text.find("Error:  CB\n");
  ASSERT_NE(record, std::string::npos);
  EXPECT_EQ(text.substr(record + 10).rfind("Codebase code:  -1\n\n"), text.size() - record - 10 - 20);
  EXPECT_EQ(text.substr(0, record), big.substr(big.size() - record));  // the tail of the old log
  // Not due again within 30 seconds: the file grows past the limit and stays.
  Write(C("TEST.ERR"), big);
  log.Close();
  now += 10;
  CCodebaseError("NA", "DB", "", 1, -1).Write(log);
  EXPECT_GT(Text().size(), 600000u);
  now += 30;
  CCodebaseError("NA", "DB", "", 1, -1).Write(log);
  EXPECT_EQ(Text().size(), 262144u);
}

TEST_F(ErrLog, RotationFillsTenSlotsThenReplacesTheOldest) {
  for (int i = 0; i < 10; ++i) {
    Write(C("ROTATED.LOG"), "log " + std::to_string(i));
    RotateLog("ROTATED.LOG");
    EXPECT_FALSE(fs::exists(C("ROTATED.LOG")));
  }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Read(C("ROTATED" + std::to_string(i) + ".LOG")), "log " + std::to_string(i));
  // Stamps: slot 6 is the oldest.
  auto base = fs::file_time_type::clock::now();
  for (int i = 0; i < 10; ++i)
    fs::last_write_time(C("ROTATED" + std::to_string(i) + ".LOG"), base - std::chrono::hours(i == 6 ? 48 : 1));
  Write(C("ROTATED.LOG"), "newest");
  RotateLog("ROTATED.LOG");
  EXPECT_EQ(Read(C("ROTATED6.LOG")), "newest");
  EXPECT_EQ(Read(C("ROTATED5.LOG")), "log 5");
  RotateLog("MISSING.LOG");  // nothing to rotate
  // Long names keep their first 7 characters.
  Write(C("QUILLETLOG.ERR"), "q");
  RotateLog("QUILLETLOG.ERR");
  EXPECT_EQ(Read(C("QUILLET0.ERR")), "q");
}

TEST_F(ErrLog, SetFileDeletesOrRotatesTheOldLog) {
  Write(C("OLD.ERR"), "old");
  log.SetFile("OLD.ERR", 0, 1, 0);
  EXPECT_TRUE(fs::exists(C("OLD.ERR")));
  log.SetFile("OLD.ERR", 0, 0, 1);
  EXPECT_FALSE(fs::exists(C("OLD.ERR")));
  EXPECT_EQ(Read(C("OLD0.ERR")), "old");
  Write(C("OLD.ERR"), "old");
  EXPECT_EQ(log.SetFile("OLD.ERR", 0, 0, 0), 1);
  EXPECT_FALSE(fs::exists(C("OLD.ERR")));
}

TEST_F(ErrLog, WrapperFailuresReachTheProcessLog) {
  ErrorLog().SetFile("C:\\QUILLET.ERR", 2, 0, 0);
  Write(C("BROKEN.DBF"), "not a table at all, but long enough to have a header of sorts");
  CDbTable t;
  EXPECT_EQ(t.Open("C:\\broken"), 1);
  EXPECT_FALSE(t.IsOpen());
  ErrorLog().Stream().flush();
  std::string text = Read(C("QUILLET.ERR"));
  EXPECT_EQ(text.rfind("Error:  OPEN\nTime of error:  ", 0), 0u) << text;
  EXPECT_NE(text.find("\nFile:  C:\\broken.DBF\n\n"), std::string::npos) << text;
  ErrorLog().SetFile("C:\\QUILLET.ERR", 0, 0, 0);
  EXPECT_EQ(t.Open("C:\\broken"), 1);
  EXPECT_FALSE(fs::exists(C("QUILLET.ERR")));
}
