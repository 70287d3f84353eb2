// Tables: files of other writers open and read right, the layer's own files round-trip, values
// are formatted as the fields demand, and damaged headers are refused without being touched.
#include "Files.h"
#include "Tables.h"
#include "TablesTestSupport.h"

#include <sys/file.h>
#include <sys/resource.h>
#include <fcntl.h>

#include <csignal>

#include <cstdlib>

using namespace tables;
using tabletest::ReadBytes;
using tabletest::ScratchDir;
using tabletest::Trim;
using tabletest::WriteBytes;

namespace {

std::string Field(Table& t, const char* name) { return t.fieldText(t.fieldIndex(name)); }

std::vector<FieldDef> Fields() {
  return {{"NAME", 'C', 10, 0}, {"QTY", 'N', 6, 2}, {"WHEN", 'D', 8, 0}, {"OK", 'L', 1, 0}, {"CODE", 'C', 6, 0}};
}

// A full disk for files of this process: no file grows past `bytes` while it lives (writes past
// the limit fail with EFBIG instead of raising SIGXFSZ).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

}  // namespace

TEST(DbfForeign, FilesOfEveryKindThePythonWriterMakesOpenAndRead) {
  ScratchDir dir;
  std::string cmd = "/usr/bin/python3 " VETRA_SOURCE_DIR "tests/platform/tables/make_dbf.py " + dir.file("") +
                    " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << "python3-dbf is needed (run.sh installs it)";
  struct Kind {
    const char* file;
    int version;
  } kinds[] = {{"t_db3.dbf", 0x83}, {"t_fp.dbf", 0xF5}, {"t_vfp.dbf", 0x30}, {"t_clp.dbf", 0x83}};
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.file);
    int err = 0;
    auto t = OpenTable(dir.file(k.file), true, &err);
    ASSERT_TRUE(t) << err;
    EXPECT_EQ(t->version(), k.version);
    EXPECT_EQ(t->recCount(), 2);
    EXPECT_TRUE(t->whole());  // written whole: the header where its descriptors end, no record uncounted
    EXPECT_EQ(t->recNo(), 1);
    EXPECT_EQ(Field(*t, "NAME"), "Alpha       ");
    EXPECT_EQ(Field(*t, "QTY"), " 12.50");
    EXPECT_EQ(Field(*t, "WHEN"), "20010305");
    EXPECT_EQ(Field(*t, "OK"), "T");
    EXPECT_FALSE(Trim(Field(*t, "NOTE")).empty());  // the memo's block number, as text
    EXPECT_FALSE(t->deleted());
    if (k.version == 0x30) {
      EXPECT_EQ(Field(*t, "CNT"), "42");
      EXPECT_EQ(Field(*t, "F1"), "   1.250");
    }
    EXPECT_EQ(t->skip(1), kOk);
    EXPECT_EQ(Trim(Field(*t, "NAME")), "Beta");
    EXPECT_TRUE(t->deleted());
    EXPECT_EQ(t->skip(1), kEof);
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(t->assignText(0, "x"), kErrReadOnly);
  }
}

TEST(DbfOwn, CreatedTableReopensWithItsRecords) {
  ScratchDir dir;
  std::string path = dir.file("A.DBF");
  {
    auto t = CreateTable(path, Fields());
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->eof());
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(t->appendStart(true), kOk);
      t->assignText(0, "row" + std::to_string(i));
      t->assignLong(1, i * 10);
      t->assignText(2, "20240229");
      t->assignText(3, i % 2 ? "F" : "T");
      ASSERT_EQ(t->append(), kOk);
      EXPECT_EQ(t->recNo(), i + 1);
    }
  }
  auto bytes = ReadBytes(path);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(bytes[4], 3);
  EXPECT_EQ(bytes.back(), 0x1A);
  auto t = OpenTable(path, false);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recCount(), 3);
  EXPECT_EQ(t->fieldCount(), 5);
  EXPECT_EQ(t->field(1).dec, 2);
  t->go(2);
  EXPECT_EQ(Field(*t, "NAME"), "row1      ");
  EXPECT_EQ(Field(*t, "QTY"), "    10");
  EXPECT_EQ(Field(*t, "OK"), "F");
  // A change is written when the record is left.
  t->assignText(0, "changed");
  t->top();
  t->go(2);
  EXPECT_EQ(Trim(Field(*t, "NAME")), "changed");
}

TEST(DbfOwn, ThePythonReaderReadsOurTables) {
  ScratchDir dir;
  std::string path = dir.file("OURS.DBF");
  {
    auto t = CreateTable(path, Fields());
    for (int i = 0; i < 2; ++i) {
      t->appendStart(true);
      t->assignText(0, "name" + std::to_string(i));
      t->assignText(1, "1.25");
      t->assignText(2, "20240229");
      t->assignText(3, "T");
      t->assignLong(4, 42 + i);
      t->append();
    }
    t->go(2);
    t->markDeleted();
  }
  std::string out = dir.file("out.txt");
  std::string cmd = "/usr/bin/python3 -c \"import dbf\n"
                    "t = dbf.Table('" + path + "')\n"
                    "t.open()\n"
                    "print(len(t), [(r.name.strip(), float(r.qty), str(r.when), r.ok, r.code.strip(), dbf.is_deleted(r))"
                    " for r in t])\" > " + out + " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "2 [('name0', 1.25, '2024-02-29', True, '42', False), ('name1', 1.25, '2024-02-29', True, '43', True)]");
}

TEST(DbfOwn, AssignmentPadsCutsAndAligns) {
  ScratchDir dir;
  auto t = CreateTable(dir.file("B.DBF"), Fields());
  ASSERT_TRUE(t);
  t->appendStart(true);
  t->assignText(0, "abcdefghijklmnop");
  EXPECT_EQ(t->fieldText(0), "abcdefghij");
  t->assignText(0, "ab");
  EXPECT_EQ(t->fieldText(0), "ab        ");
  t->assignText(1, "3.5");
  EXPECT_EQ(t->fieldText(1), "   3.5");
  t->assignLong(1, 12345678);
  EXPECT_EQ(t->fieldText(1), "******");
  t->assignLong(4, 42);
  EXPECT_EQ(t->fieldText(4), "    42");
  t->assignText(3, "y");
  EXPECT_EQ(t->fieldText(3), "T");
  EXPECT_EQ(t->assignText(9, "x"), kErrField);
  EXPECT_EQ(t->fieldText(9), "");
  EXPECT_EQ(t->fieldIndex("name"), 0);
  EXPECT_EQ(t->fieldIndex("NOPE"), -1);
}

TEST(DbfOwn, LongCharacterFieldsKeepTheirLength) {
  ScratchDir dir;
  std::string path = dir.file("L.DBF");
  {
    auto t = CreateTable(path, {{"TEXT", 'C', 300, 0}});
    ASSERT_TRUE(t);
    t->appendStart(true);
    t->assignText(0, std::string(299, 'x') + "yz");
    t->append();
  }
  auto t = OpenTable(path, true);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->field(0).len, 300);
  EXPECT_EQ(t->fieldText(0), std::string(299, 'x') + "y");
}

TEST(DbfOwn, DeletePackAndZap) {
  ScratchDir dir;
  auto t = CreateTable(dir.file("C.DBF"), Fields());
  ASSERT_TRUE(t);
  for (int i = 1; i <= 6; ++i) {
    t->appendStart(true);
    t->assignLong(1, i);
    t->append();
  }
  t->go(2);
  t->markDeleted();
  t->go(5);
  t->markDeleted();
  t->top();
  EXPECT_EQ(t->recCount(), 6);  // deleted records still count
  ASSERT_EQ(t->pack(), kOk);
  EXPECT_EQ(t->recCount(), 4);
  std::string seen;
  for (t->top(); !t->eof(); t->skip(1)) seen += Trim(t->fieldText(1)).substr(Trim(t->fieldText(1)).size() - 1);
  EXPECT_EQ(seen, "1346");
  ASSERT_EQ(t->zap(2, 3), kOk);
  EXPECT_EQ(t->recCount(), 2);
  t->go(2);
  EXPECT_EQ(t->fieldText(1), "     6");
  ASSERT_EQ(t->zap(1, t->recCount()), kOk);
  EXPECT_EQ(t->recCount(), 0);
  EXPECT_EQ(t->top(), kEof);
}

TEST(DbfOwn, SkipBeforeTheFirstRecordStaysOnIt) {
  ScratchDir dir;
  auto t = CreateTable(dir.file("D.DBF"), Fields());
  for (int i = 0; i < 2; ++i) {
    t->appendStart(true);
    t->append();
  }
  t->top();
  EXPECT_EQ(t->skip(-1), kBof);
  EXPECT_EQ(t->recNo(), 1);
  EXPECT_EQ(t->skip(5), kEof);
  EXPECT_EQ(t->recNo(), 3);
}

TEST(DbfOwn, ReadWriteOpenIsExclusive) {
  ScratchDir dir;
  std::string path = dir.file("E.DBF");
  CreateTable(path, Fields());
  auto first = OpenTable(path, false);
  ASSERT_TRUE(first);
  int err = 0;
  EXPECT_FALSE(OpenTable(path, false, &err));
  EXPECT_EQ(err, kErrLocked);
  EXPECT_TRUE(OpenTable(path, true));  // readers are not kept out
  first.reset();
  EXPECT_TRUE(OpenTable(path, false));
}

// ---- Hostile headers ----

namespace {

std::vector<unsigned char> ValidTable(const std::string& path) {
  {
    auto t = CreateTable(path, Fields());
    for (int i = 0; i < 3; ++i) {
      t->appendStart(true);
      t->assignText(0, "n" + std::to_string(i));
      t->append();
    }
  }
  return ReadBytes(path);
}

void ExpectRefusedUntouched(const std::string& path, const std::vector<unsigned char>& bytes) {
  WriteBytes(path, bytes);
  int err = 0;
  EXPECT_FALSE(OpenTable(path, false, &err));
  EXPECT_EQ(err, kErrData);
  EXPECT_EQ(ReadBytes(path), bytes);
}

}  // namespace

TEST(DbfHostile, DamagedHeadersAreRefusedAndNotRewritten) {
  ScratchDir dir;
  std::string path = dir.file("H.DBF");
  const auto good = ValidTable(path);
  auto bad = good;
  bad[0] = 0x02;  // unknown version
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[8] = 0xFF, bad[9] = 0xFF;  // header longer than the file
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[10] += 1;  // record length disagrees with the fields
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[32 + 16] = 0;  // a field of length 0
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[32] = 0;  // a field without a name
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[32 + 5 * 32] = 'X';  // no end of the field list inside the header
  ExpectRefusedUntouched(path, bad);
  ExpectRefusedUntouched(path, std::vector<unsigned char>(good.begin(), good.begin() + 20));
  bad = good;
  bad[8] = 32, bad[9] = 0;  // a header with no room for fields
  ExpectRefusedUntouched(path, bad);
  // Field descriptors that no writer makes: read as they are they would be other fields.
  // Fields: NAME C(10), QTY N(6,2), WHEN D, OK L, CODE C(6).
  bad = good;
  bad[32 + 11] = 0;  // NAME's type
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[2 * 32 + 11] = 'X';  // QTY's type
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[2 * 32 + 17] = 6;  // QTY with as many decimals as digits
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[3 * 32 + 11] = 'N';  // WHEN, D(8), read as a number is still sound...
  WriteBytes(path, bad);
  EXPECT_TRUE(OpenTable(path, true));
  bad[3 * 32 + 17] = 1;  // ...but a date with decimals is not
  bad[3 * 32 + 11] = 'D';
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[4 * 32 + 16] = 2;  // OK, L(1), two bytes long (and the record length to match)
  bad[10] += 1;
  ExpectRefusedUntouched(path, bad);
  bad = good;
  bad[5 * 32 + 1] = '-';  // CODE's name "C-DE"
  ExpectRefusedUntouched(path, bad);
  bad = good;
  std::copy(good.begin() + 32, good.begin() + 32 + 11, bad.begin() + 5 * 32);  // CODE named NAME
  ExpectRefusedUntouched(path, bad);
}

TEST(DbfHostile, RecordsPastTheEndOfTheFileAreNotCounted) {
  ScratchDir dir;
  std::string path = dir.file("H.DBF");
  auto bytes = ValidTable(path);
  bytes[4] = 200;  // the header claims 200 records
  bytes.resize(bytes.size() - 1 - 10);  // and the last record is cut short
  WriteBytes(path, bytes);
  auto t = OpenTable(path, true);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recCount(), 2);
  EXPECT_EQ(t->go(3), kEof);
}

TEST(DbfHostile, MissingFileAndFolderFail) {
  ScratchDir dir;
  int err = 0;
  EXPECT_FALSE(OpenTable(dir.file("none.dbf"), true, &err));
  EXPECT_EQ(err, kErrOpen);
  EXPECT_FALSE(OpenTable(dir.file(""), true, &err));
  EXPECT_FALSE(CreateTable(dir.file("no/such/x.dbf"), Fields(), &err));
  EXPECT_EQ(err, kErrCreate);
  EXPECT_FALSE(CreateTable(dir.file("x.dbf"), {}, &err));
  EXPECT_FALSE(CreateTable(dir.file("x.dbf"), {{"TOOLONGNAME1", 'C', 1, 0}}, &err));
}

TEST(DbfFullDisk, AppendsThatCannotBeWrittenAreReportedAtCloseAndTakenBack) {
  ScratchDir dir;
  const std::string path = dir.file("W.DBF");
  const std::vector<FieldDef> fields = {{"NAME", 'C', 100, 0}};
  auto appendRows = [](Table& t, int from, int n) {
    for (int i = from; i < from + n; ++i) {
      ASSERT_EQ(t.appendStart(true), kOk);
      t.assignText(0, "row" + std::to_string(i));
      ASSERT_EQ(t.append(), kOk) << i;  // waits in memory with the others
    }
  };
  {
    auto t = CreateTable(path, fields);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->createIndex(dir.file("W.CDX"), {{"BYNAME", "NAME", "", 0, 0}}), kOk);
    appendRows(*t, 0, 100);  // the table grows larger than its index
    ASSERT_EQ(t->close(), kOk);
  }
  const auto size = std::filesystem::file_size(path);
  {
    auto t = OpenTable(path, false);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->openIndex(dir.file("W.CDX")), kOk);
    FileSizeLimit full(size + 250);  // two and a half more records fit
    appendRows(*t, 100, 10);
    EXPECT_EQ(t->recCount(), 110);
    EXPECT_EQ(t->flush(), kErrWrite);
    EXPECT_EQ(t->recCount(), 100);  // taken back
    EXPECT_EQ(t->close(), kErrWrite);
  }
  // The table and its index agree on the records that are on disk.
  auto t = OpenTable(path, true);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recCount(), 100);
  ASSERT_EQ(t->openIndex(dir.file("W.CDX")), kOk);
  EXPECT_EQ(t->index()->tag("BYNAME")->keyCount(), 100u);
}

TEST(DbfFullDisk, AFailedWriteAndAnEndedRunLeaveOnlyTheCountedRecordsInTheFile) {
  ScratchDir dir;
  const std::string path = dir.file("W.DBF");
  const std::vector<FieldDef> fields = {{"NAME", 'C', 100, 0}};
  auto fillTo = [&](Table& t, int n) {
    while (t.recCount() < n) {
      ASSERT_EQ(t.appendStart(true), kOk);
      t.assignText(0, "row" + std::to_string(t.recCount()));
      if (t.append() != kOk) return;
    }
  };
  auto expectCounted = [&](int records) {
    auto bytes = ReadBytes(path);
    const size_t headerLen = bytes[8] | bytes[9] << 8;
    EXPECT_EQ(int(bytes[4] | bytes[5] << 8), records);
    ASSERT_EQ(bytes.size(), headerLen + size_t(records) * 101 + 1);
    EXPECT_EQ(bytes.back(), 0x1A);  // the end mark stands after the last counted record
  };
  {
    auto t = CreateTable(path, fields);
    ASSERT_TRUE(t);
    fillTo(*t, 100);
    ASSERT_EQ(t->close(), kOk);
  }
  const auto size = std::filesystem::file_size(path);
  {
    auto t = OpenTable(path, false);
    ASSERT_TRUE(t);
    FileSizeLimit full(size + 64 * 1024 - 4000);  // the first 64 KiB of appended records is cut short
    fillTo(*t, 100 + 700);
    EXPECT_EQ(t->recCount(), 100);
    EXPECT_EQ(t->close(), kErrWrite);
  }
  expectCounted(100);
  {
    // Records written whole, the header counts them at once.
    auto t = OpenTable(path, false);
    fillTo(*t, 100 + 700);
    ASSERT_EQ(t->recCount(), 800);
    expectCounted(100 + 649);  // the first 64 KiB of them, at the append that filled it
    // A program ended here leaves records past the count behind: they are what a next open for
    // writing cuts away, as it would the rest of a write cut short.
    std::filesystem::copy_file(path, dir.file("ENDED.DBF"));
  }
  auto bytes = ReadBytes(dir.file("ENDED.DBF"));
  bytes.pop_back();
  bytes.insert(bytes.end(), 150, 'x');
  WriteBytes(path, bytes);
  ASSERT_TRUE(OpenTable(path, false));
  expectCounted(100 + 649);
}

TEST(DbfFullDisk, ATableThatCannotBeCreatedIsNotLeftBehindAndAStaleIndexGoes) {
  ScratchDir dir;
  const std::string path = dir.file("N.DBF");
  {
    FileSizeLimit full(100);  // not even the header fits
    int err = 0;
    EXPECT_FALSE(CreateTable(path, Fields(), &err));
    EXPECT_EQ(err, kErrCreate);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  // An index that can no longer be written is removed, so that no later open trusts its keys.
  auto t = CreateTable(path, {{"NAME", 'C', 10, 0}});
  ASSERT_TRUE(t);
  ASSERT_EQ(t->createIndex(dir.file("N.CDX"), {{"BYNAME", "NAME", "", 0, 0}}), kOk);
  FileSizeLimit full(1024);  // the table fits, the index (several pages) does not
  ASSERT_EQ(t->appendStart(true), kOk);
  t->assignText(0, "one");
  ASSERT_EQ(t->append(), kOk);
  EXPECT_EQ(t->close(), kErrWrite);
  EXPECT_FALSE(std::filesystem::exists(dir.file("N.CDX")));
}

TEST(DbfHostile, AHeaderLengthOrCountThatDisagreesWithTheFileIsNotWhole) {
  ScratchDir dir;
  const std::string path = dir.file("W.DBF");
  {
    auto t = CreateTable(path, Fields());
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(t->appendStart(true), kOk);
      ASSERT_EQ(t->append(), kOk);
    }
  }
  const std::vector<unsigned char> good = ReadBytes(path);
  const int recLen = good[10] | good[11] << 8;
  auto whole = [&](const std::vector<unsigned char>& bytes) {
    WriteBytes(path, bytes);
    auto t = OpenTable(path, true);
    return t && t->whole();
  };
  EXPECT_TRUE(whole(good));
  std::vector<unsigned char> b = good;
  b[4] = 2;  // one record fewer counted than the file holds
  EXPECT_FALSE(whole(b));
  b = good;
  b[4] = 4;  // one more counted than the file holds
  EXPECT_FALSE(whole(b));
  b = good;
  b[8] = uint8_t(b[8] + 2);  // data said to begin two bytes after the descriptors' end
  EXPECT_FALSE(whole(b));
  b = good;
  b.insert(b.end(), size_t(recLen - 2), ' ');  // padding of less than a record after the end mark
  EXPECT_TRUE(whole(b));
  b.push_back(' ');
  b.push_back(' ');  // a whole record's worth
  EXPECT_FALSE(whole(b));
  b = good;
  b.pop_back();  // no end mark
  EXPECT_TRUE(whole(b));
}

// Padding after the counted records that fills the file to a block boundary is no uncounted
// record when it is NUL bytes (no record begins with one), after an end mark or none; blanks, any
// other byte, padding that ends off a boundary or runs a whole largest block (4096) are not.
TEST(DbfHostile, NulPaddingToABlockBoundaryIsWholeAndOtherPaddingIsNot) {
  ScratchDir dir;
  const std::string path = dir.file("P.DBF");
  {
    auto t = CreateTable(path, {{"ID", 'C', 4, 0}});  // records of 5 bytes: padding is longer
    for (const char* id : {"A", "B", "C"}) {
      ASSERT_EQ(t->appendStart(true), kOk);
      t->assignText(0, id);
      ASSERT_EQ(t->append(), kOk);
    }
  }
  const std::vector<unsigned char> good = ReadBytes(path);  // the records, then the end mark
  ASSERT_EQ(good.back(), 0x1A);
  auto padded = [&](bool mark, size_t to, unsigned char fill = 0) {
    std::vector<unsigned char> b = good;
    if (!mark) b.pop_back();
    b.resize(to, fill);
    return b;
  };
  auto whole = [&](const std::vector<unsigned char>& bytes) {
    WriteBytes(path, bytes);
    auto t = OpenTable(path, true);
    if (!t) return false;
    EXPECT_EQ(t->recCount(), 3);
    return t->whole();
  };
  for (size_t to : {512, 1024, 4096}) {
    SCOPED_TRACE(to);
    EXPECT_TRUE(whole(padded(true, to)));
    EXPECT_TRUE(whole(padded(false, to)));
    EXPECT_FALSE(whole(padded(true, to, ' ')));   // blank records the header does not count
    EXPECT_FALSE(whole(padded(true, to, 0x1A)));
    EXPECT_FALSE(whole(padded(true, to - 1)));    // not at a boundary
    std::vector<unsigned char> b = padded(true, to);
    b[good.size() + 10] = '*';                    // a byte inside the padding
    EXPECT_FALSE(whole(b));
    b = padded(true, to);
    b[good.size() - 1] = ' ';                     // another byte in place of the end mark
    EXPECT_FALSE(whole(b));
  }
  EXPECT_FALSE(whole(padded(true, 8192)));        // a whole block and more of NUL bytes
  std::vector<unsigned char> b = padded(true, 512);
  b.insert(b.begin() + long(good.size()) - 1, 5, ' ');  // an uncounted record, then the padding
  b.resize(512);
  EXPECT_FALSE(whole(b));
  // Opened for writing, the padding goes: the file ends with the records and the end mark.
  WriteBytes(path, padded(true, 1024));
  ASSERT_TRUE(OpenTable(path, false));
  EXPECT_EQ(ReadBytes(path), good);
}

// What replacements of a table or its index ended half-way left beside it goes whenever this
// process takes the table for writing: opened, created where none was or over an old one, its
// index opened or created. A read-only open leaves it, and names of other files stay.
TEST(DbfOwn, TakingATableForWritingRemovesWhatItsUnfinishedReplacementsLeft) {
  ScratchDir dir;
  const std::string path = dir.file("L.DBF");
  const std::string cdx = dir.file("L.CDX");
  auto plant = [&](const std::string& target) {
    const std::string name = std::filesystem::path(target).filename().string();
    WriteBytes(dir.file(".~Ab3dE9." + name), {'x'});
    WriteBytes(dir.file(".~Ab3dE9." + name + ".old"), {'x'});  // not a replacement's name
  };
  auto left = [&](const std::string& target) {
    return std::filesystem::exists(dir.file(".~Ab3dE9." + std::filesystem::path(target).filename().string()));
  };
  plant(path);
  auto t = CreateTable(path, Fields());  // where no table was
  ASSERT_TRUE(t);
  EXPECT_FALSE(left(path));
  t.reset();
  plant(path);
  t = CreateTable(path, Fields());  // over the old one
  ASSERT_TRUE(t);
  EXPECT_FALSE(left(path));
  plant(cdx);
  ASSERT_EQ(t->createIndex(cdx, {{"BYNAME", "NAME", "", 0, 0}}), kOk);
  EXPECT_FALSE(left(cdx));
  t.reset();
  plant(path);
  plant(cdx);
  t = OpenTable(path, true);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->openIndex(cdx), kOk);
  EXPECT_TRUE(left(path));
  EXPECT_TRUE(left(cdx));
  t.reset();
  t = OpenTable(path, false);
  ASSERT_TRUE(t);
  EXPECT_FALSE(left(path));
  ASSERT_EQ(t->openIndex(cdx), kOk);
  EXPECT_FALSE(left(cdx));
  EXPECT_TRUE(std::filesystem::exists(dir.file(".~Ab3dE9.L.DBF.old")));
  EXPECT_TRUE(std::filesystem::exists(dir.file(".~Ab3dE9.L.CDX.old")));
}

// A table built in a new file that is not in place yet: its appends, pack and zap all stay in
// that one file (no replacement of it is made, which would be renamed while the caller commits
// the first), the target is untouched until the caller commits, and then holds the table whole.
TEST(DbfOwn, TableBuiltInAReplacementStaysInItUntilItIsCommitted) {
  ScratchDir dir;
  const std::string path = dir.file("R.DBF");
  {
    auto t = CreateTable(path, Fields());
    ASSERT_TRUE(t);
    t->appendStart(true);
    t->assignText(0, "OLD");
    ASSERT_EQ(t->append(), kOk);
    ASSERT_EQ(t->close(), kOk);
  }
  const auto before = ReadBytes(path);
  ReplacementFile file(path);
  ASSERT_TRUE(file.Write(before.data(), before.size()));
  auto t = OpenTable(file);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->path(), file.path());
  for (int i = 1; i <= 5; ++i) {
    t->appendStart(true);
    t->assignLong(1, i);
    ASSERT_EQ(t->append(), kOk);
  }
  t->go(3);  // the record of 2
  t->markDeleted();
  ASSERT_EQ(t->pack(), kOk);
  ASSERT_EQ(t->zap(1, 1), kOk);  // the old record goes
  EXPECT_EQ(t->recCount(), 4);
  ASSERT_EQ(t->sync(), kOk);
  ASSERT_EQ(t->close(), kOk);
  EXPECT_EQ(ReadBytes(path), before);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names.size(), 2u);  // the table and its one replacement
  ASSERT_EQ(file.Finish(true), 0);
  auto back = OpenTable(path, true);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->whole());
  std::string seen;
  for (back->top(); !back->eof(); back->skip(1)) seen += Trim(back->fieldText(1)).substr(Trim(back->fieldText(1)).size() - 1);
  EXPECT_EQ(seen, "1345");
}
