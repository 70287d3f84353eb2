// Compound indexes: files laid out byte by byte by the test writer open with every key, the
// layer's own files reopen unchanged, tags keep filters, unique codes and descending order through
// appends, changes, pack and reindex, seeks match partially, and damaged files are refused.
#include "CdxFixture.h"
#include "Tables.h"
#include "TablesTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>

using namespace tables;
using tabletest::CdxFixture;
using tabletest::FixtureTag;
using tabletest::ReadBytes;
using tabletest::ScratchDir;
using tabletest::Trim;
using tabletest::WriteBytes;

namespace {

// The installed workunit list of the installer, with its two tags.
std::vector<FieldDef> RelworkFields() {
  return {{"INSTCODE", 'C', 3, 0}, {"UNITCODE", 'C', 8, 0},  {"VIEWTECH", 'C', 2, 0}, {"MARKET", 'C', 2, 0},
          {"LANGUAGE", 'C', 2, 0}, {"PRODDATE", 'C', 16, 0}, {"VOLUME", 'C', 12, 0}};
}
std::vector<TagDef> RelworkTags() {
  return {{"BYCODE", "UNITCODE", "UNITCODE > '!'", 0, 0}, {"BYCODEDATE", "UNITCODE-PRODDATE", "UNITCODE > '!'", 25, 0}};
}

int Add(Table& t, const std::string& unit, const std::string& date, const std::string& volume = "V1") {
  t.appendStart(true);
  t.assignText(t.fieldIndex("UNITCODE"), unit);
  t.assignText(t.fieldIndex("PRODDATE"), date);
  t.assignText(t.fieldIndex("VOLUME"), volume);
  t.assignLong(t.fieldIndex("INSTCODE"), 7);
  return t.append();
}

std::string Unit(Table& t) { return Trim(t.fieldText(t.fieldIndex("UNITCODE"))); }

std::string WalkUnits(Table& t) {
  std::string out;
  for (t.top(); !t.eof(); t.skip(1)) out += Unit(t) + ",";
  return out;
}

std::string WalkBack(Table& t) {
  std::string out;
  int rc = t.bottom();
  while (rc == kOk) {
    out += Unit(t) + ",";
    rc = t.skip(-1);
  }
  return out;
}

std::unique_ptr<Table> Relwork(const ScratchDir& dir, std::vector<TagDef> tags = RelworkTags()) {
  auto t = CreateTable(dir.file("RELWORK.DBF"), RelworkFields());
  EXPECT_TRUE(t);
  EXPECT_EQ(t->createIndex(dir.file("RELWORK.CDX"), tags), kOk);
  return t;
}

}  // namespace

TEST(CdxOwn, InstallerTagsFilterUniqueAndOrder) {
  ScratchDir dir;
  auto t = Relwork(dir);
  EXPECT_EQ(Add(*t, "AB12", "2001"), kOk);
  EXPECT_EQ(Add(*t, "AA01", "2003"), kOk);
  EXPECT_EQ(Add(*t, "AB12", "2001"), kOk);  // duplicate of the unique 25 tag: left out, append succeeds
  EXPECT_EQ(Add(*t, "", "2001"), kOk);      // blank unit code fails the filter
  EXPECT_EQ(Add(*t, "AB12", "1999"), kOk);
  EXPECT_EQ(t->recCount(), 5);
  Index* x = t->index();
  ASSERT_TRUE(x);
  Tag* byCode = x->tag("bycode");
  Tag* byDate = x->tag("BYCODEDATE");
  ASSERT_TRUE(byCode && byDate);
  EXPECT_EQ(x->defaultTag(), byCode);
  EXPECT_EQ(byCode->keyCount(), 4u);
  EXPECT_EQ(byDate->keyCount(), 3u);
  EXPECT_EQ(byDate->keyLength(), 24);
  EXPECT_EQ(byDate->keys()[1].first, "AB121999" + std::string(16, ' '));
  t->selectTag(byCode);
  EXPECT_EQ(WalkUnits(*t), "AA01,AB12,AB12,AB12,");
  EXPECT_EQ(WalkBack(*t), "AB12,AB12,AB12,AA01,");
  t->selectTag(nullptr);
  EXPECT_EQ(WalkUnits(*t), "AB12,AA01,AB12,,AB12,");
}

TEST(CdxOwn, AUniqueTagTakesUpAnotherRecordOfAKeyItsRecordLeaves) {
  ScratchDir dir;
  auto t = Relwork(dir);
  Add(*t, "AB12", "2001");  // record 1 holds the key in BYCODEDATE
  Add(*t, "AB12", "2001");  // record 2 has it too, left out
  Add(*t, "AB12", "2001");  // record 3 likewise
  Tag* byDate = t->index()->tag("BYCODEDATE");
  Tag* byCode = t->index()->tag("BYCODE");
  const int date = t->fieldIndex("PRODDATE");
  // The record the key stands for changes its key, then the next one is blanked: the key stays
  // while a record has it, and every seek, walk and write sees the tag whole.
  t->go(1);
  t->assignText(date, "2002");
  t->selectTag(byDate);
  EXPECT_EQ(t->seek("AB122001"), kOk);
  EXPECT_EQ(t->recNo(), 2);
  t->blank();
  EXPECT_EQ(t->seek("AB122001"), kOk);
  EXPECT_EQ(t->recNo(), 3);
  EXPECT_EQ(byDate->keyCount(), 2u);
  EXPECT_TRUE(t->index()->matchesRecords());
  t->selectTag(byCode);
  EXPECT_EQ(WalkUnits(*t), "AB12,AB12,");
  ASSERT_EQ(t->close(), kOk);
  auto back = OpenTable(dir.file("RELWORK.DBF"), true);
  ASSERT_EQ(back->openIndex(dir.file("RELWORK.CDX")), kOk);
  EXPECT_TRUE(back->index()->matchesRecords());
  EXPECT_EQ(back->index()->tag("BYCODEDATE")->keyCount(), 2u);
}

TEST(CdxOwn, PartialSeeks) {
  ScratchDir dir;
  auto t = Relwork(dir);
  for (const char* u : {"AB12", "AB30", "CD01", "ab99"}) Add(*t, u, "2001");
  t->selectTag(t->index()->tag("BYCODE"));
  EXPECT_EQ(t->seek("AB1"), kOk);
  EXPECT_EQ(Unit(*t), "AB12");
  EXPECT_EQ(t->seek("AB30"), kOk);
  EXPECT_EQ(t->seek("AB2"), kAfter);
  EXPECT_EQ(Unit(*t), "AB30");
  EXPECT_EQ(t->seek("a"), kOk);  // lower-case keys exist
  EXPECT_EQ(Unit(*t), "ab99");
  EXPECT_EQ(t->seek("b"), kEof);
  EXPECT_TRUE(t->eof());
  EXPECT_EQ(t->seek("AB12 LONGER THAN THE KEY"), kAfter);
  EXPECT_EQ(t->seek(""), kOk);
  EXPECT_EQ(Unit(*t), "AB12");
  // A walk goes on from the sought key.
  t->seek("AB3");
  t->skip(1);
  EXPECT_EQ(Unit(*t), "CD01");
}

TEST(CdxOwn, DescendingTags) {
  ScratchDir dir;
  auto t = Relwork(dir, {{"DOWN", "UNITCODE", "", 0, 10}});
  for (const char* u : {"B", "D", "A", "C"}) Add(*t, u, "");
  t->selectTag(t->index()->tag("DOWN"));
  EXPECT_EQ(WalkUnits(*t), "D,C,B,A,");
  EXPECT_EQ(WalkBack(*t), "A,B,C,D,");
  EXPECT_EQ(t->seek("C"), kOk);
  EXPECT_EQ(Unit(*t), "C");
  EXPECT_EQ(t->seek("BB"), kAfter);
  EXPECT_EQ(Unit(*t), "B");
  EXPECT_EQ(t->seek("0"), kEof);
  t->close();
  auto again = OpenTable(dir.file("RELWORK.DBF"), true);
  ASSERT_EQ(again->openIndex(dir.file("RELWORK.CDX")), kOk);
  Tag* down = again->index()->tag("DOWN");
  EXPECT_TRUE(down->descending());
  again->selectTag(down);
  EXPECT_EQ(WalkUnits(*again), "D,C,B,A,");
}

TEST(CdxOwn, OtherUniqueCodesRefuseTheAppend) {
  ScratchDir dir;
  auto t = Relwork(dir, {{"ONE", "UNITCODE", "", 20, 0}});
  EXPECT_EQ(Add(*t, "X", ""), kOk);
  EXPECT_EQ(Add(*t, "X", ""), kErrUnique);
  EXPECT_EQ(t->recCount(), 1);
  EXPECT_EQ(Add(*t, "Y", ""), kOk);
  EXPECT_EQ(t->recCount(), 2);
}

TEST(CdxOwn, ChangedAndBlankedRecordsMoveInTheirTags) {
  ScratchDir dir;
  auto t = Relwork(dir);
  for (const char* u : {"A1", "A2", "A3", "A4"}) Add(*t, u, "");
  Tag* byCode = t->index()->tag("BYCODE");
  t->selectTag(byCode);
  // Blanking records while walking, as the installer's third sweep does.
  t->seek("A2");
  t->blank();
  t->skip(1);
  EXPECT_EQ(Unit(*t), "A3");
  t->assignText(t->fieldIndex("UNITCODE"), "Z9");
  t->skip(1);
  EXPECT_EQ(Unit(*t), "A4");
  EXPECT_EQ(WalkUnits(*t), "A1,A4,Z9,");
  // Deleted records stay in the tags until packed.
  t->seek("A4");
  t->markDeleted();
  t->top();
  EXPECT_EQ(byCode->keyCount(), 3u);
  ASSERT_EQ(t->pack(), kOk);
  EXPECT_EQ(t->recCount(), 3);  // the blanked record stays, out of the tags
  EXPECT_EQ(WalkUnits(*t), "A1,Z9,");
}

TEST(CdxOwn, ReopenedIndexHasEveryKey) {
  ScratchDir dir;
  std::map<std::string, int> expected;
  {
    auto t = Relwork(dir);
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
      std::string u = "U" + std::to_string(rng() % 900);
      std::string d = std::to_string(1990 + rng() % 30);
      ASSERT_EQ(Add(*t, u, d), kOk);
    }
    ASSERT_EQ(t->close(), kOk);
  }
  auto t = OpenTable(dir.file("RELWORK.DBF"), false);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->openIndex(dir.file("RELWORK.CDX")), kOk);
  ScratchDir other;
  auto built = Relwork(other);
  for (t->top(); !t->eof(); t->skip(1)) Add(*built, Unit(*t), Trim(t->fieldText(t->fieldIndex("PRODDATE"))));
  for (int i = 0; i < 2; ++i) {
    Tag* a = t->index()->tag(i);
    Tag* b = built->index()->tag(i);
    EXPECT_EQ(a->name(), b->name());
    EXPECT_EQ(a->expression(), b->expression());
    EXPECT_EQ(a->filter(), b->filter());
    EXPECT_EQ(a->unique() != 0, b->unique() != 0);
    EXPECT_EQ(a->keys(), b->keys());
  }
  // Reindex gives the same keys and a file that reads back the same.
  auto before = t->index()->tag(1)->keys();
  ASSERT_EQ(t->index()->reindex(), kOk);
  EXPECT_EQ(t->index()->tag(1)->keys(), before);
  t->close();
  auto r = OpenTable(dir.file("RELWORK.DBF"), true);
  ASSERT_EQ(r->openIndex(dir.file("RELWORK.CDX")), kOk);
  EXPECT_EQ(r->index()->tag(1)->keys(), before);
}

TEST(CdxOwn, NumericAndDateTags) {
  ScratchDir dir;
  auto t = CreateTable(dir.file("N.DBF"), {{"QTY", 'N', 8, 2}, {"WHEN", 'D', 8, 0}});
  ASSERT_EQ(t->createIndex(dir.file("N.CDX"), {{"QTY", "QTY", "", 0, 0}, {"WHEN", "WHEN", "", 0, 0}}), kOk);
  for (const char* q : {"3.5", "-2", "10", "0"}) {
    t->appendStart(true);
    t->assignText(0, q);
    t->assignText(1, std::string("2001030") + q[0]);
    t->append();
  }
  t->close();
  auto r = OpenTable(dir.file("N.DBF"), true);
  ASSERT_EQ(r->openIndex(dir.file("N.CDX")), kOk);
  r->selectTag(r->index()->tag("QTY"));
  std::string order;
  for (r->top(); !r->eof(); r->skip(1)) order += r->fieldText(0).substr(r->fieldText(0).find_first_not_of(' ')) + ",";
  EXPECT_EQ(order, "-2,0,3.5,10,");
  EXPECT_EQ(r->seekDouble(3.5), kOk);
  EXPECT_EQ(r->seekDouble(4), kAfter);
  EXPECT_EQ(r->fieldText(0), "      10");
  EXPECT_EQ(r->seek("10"), kOk);
}

// ---- Files of the test writer ----

namespace {

std::unique_ptr<Table> FixtureTable(const ScratchDir& dir, const std::vector<std::string>& units) {
  auto t = CreateTable(dir.file("F.DBF"), {{"UNITCODE", 'C', 8, 0}, {"PRODDATE", 'C', 4, 0}});
  for (const auto& u : units) {
    t->appendStart(true);
    t->assignText(0, u);
    t->append();
  }
  return t;
}

FixtureTag UnitTag(const std::vector<std::string>& units, bool desc = false) {
  FixtureTag tag;
  tag.name = "BYCODE", tag.expr = "UNITCODE", tag.filter = "UNITCODE > '!'", tag.keyLen = 8;
  tag.descending = desc;
  for (size_t i = 0; i < units.size(); ++i) {
    std::string k = units[i];
    k.resize(8, ' ');
    tag.keys.emplace_back(k, uint16_t(i + 1));
  }
  std::sort(tag.keys.begin(), tag.keys.end());
  if (desc) std::reverse(tag.keys.begin(), tag.keys.end());
  return tag;
}

}  // namespace

TEST(CdxForeign, FixtureWithManyLeavesOpensWithEveryKey) {
  ScratchDir dir;
  std::vector<std::string> units;
  for (int i = 0; i < 200; ++i) units.push_back("W" + std::to_string(1000 + (i * 37) % 200));
  auto t = FixtureTable(dir, units);
  t->close();
  FixtureTag down = UnitTag(units, true);
  down.name = "DOWN";
  down.filter = "";
  WriteBytes(dir.file("F.CDX"), CdxFixture(30).Build({UnitTag(units), down}));
  auto r = OpenTable(dir.file("F.DBF"), false);
  ASSERT_EQ(r->openIndex(dir.file("F.CDX")), kOk);
  Tag* tag = r->index()->tag("BYCODE");
  ASSERT_TRUE(tag);
  EXPECT_TRUE(tag->evaluable());
  EXPECT_EQ(tag->keyCount(), 200u);
  EXPECT_EQ(tag->filter(), "UNITCODE > '!'");
  r->selectTag(tag);
  EXPECT_EQ(r->seek("W105"), kOk);
  EXPECT_EQ(Trim(r->fieldText(0)), "W1050");
  r->selectTag(r->index()->tag("DOWN"));
  r->top();
  EXPECT_EQ(Trim(r->fieldText(0)), "W1199");
  // The layer keeps the tags up to date and writes a file that reads back.
  r->appendStart(true);
  r->assignText(0, "W0001");
  ASSERT_EQ(r->append(), kOk);
  r->close();
  auto again = OpenTable(dir.file("F.DBF"), true);
  ASSERT_EQ(again->openIndex(dir.file("F.CDX")), kOk);
  EXPECT_EQ(again->index()->tag("BYCODE")->keyCount(), 201u);
  EXPECT_EQ(again->index()->tag("DOWN")->keys().back().first, "W0001   ");
}

TEST(CdxForeign, TagWeCannotEvaluateStillWalksAndSeeksButRefusesWrites) {
  ScratchDir dir;
  auto t = FixtureTable(dir, {"B2", "A1", "C3"});
  t->close();
  FixtureTag tag = UnitTag({"B2", "A1", "C3"});
  tag.expr = "MYSTERY(UNITCODE)";
  WriteBytes(dir.file("F.CDX"), CdxFixture().Build({tag}));
  auto r = OpenTable(dir.file("F.DBF"), false);
  ASSERT_EQ(r->openIndex(dir.file("F.CDX")), kOk);
  Tag* bycode = r->index()->defaultTag();
  EXPECT_FALSE(bycode->evaluable());
  r->selectTag(bycode);
  EXPECT_EQ(WalkUnits(*r), "A1,B2,C3,");
  EXPECT_EQ(r->seek("B"), kOk);
  r->appendStart(true);
  EXPECT_EQ(r->append(), kErrTagExpr);
  EXPECT_EQ(r->recCount(), 3);
  EXPECT_EQ(r->index()->reindex(), kErrTagExpr);
}

TEST(CdxForeign, KeysThatDisagreeWithTheRecordsAreFoundAndBuiltAgain) {
  ScratchDir dir;
  FixtureTable(dir, {"B2", "A1", "C3", "A1"})->close();
  FixtureTag bycode = UnitTag({"B2", "A1", "C3", "A1"});
  FixtureTag mystery = UnitTag({"B2", "A1", "C3", "A1"});
  mystery.name = "MYSTERY", mystery.expr = "MYSTERY(UNITCODE)";
  FixtureTag unique = UnitTag({"B2", "A1", "C3"});  // one key for the two A1 records: sound
  unique.name = "UNIQUE", unique.unique = true;
  const auto good = CdxFixture().Build({bycode, mystery, unique});
  WriteBytes(dir.file("F.CDX"), good);
  auto t = OpenTable(dir.file("F.DBF"), true);
  ASSERT_EQ(t->openIndex(dir.file("F.CDX")), kOk);
  EXPECT_TRUE(t->index()->matchesRecords());
  // One record number of BYCODE wrong, a key missing, a key of another record, two A1 in UNIQUE.
  auto damaged = [&](FixtureTag b, FixtureTag u) {
    WriteBytes(dir.file("F.CDX"), CdxFixture().Build({b, mystery, u}));
    EXPECT_EQ(t->openIndex(dir.file("F.CDX")), kOk);
    EXPECT_FALSE(t->index()->matchesRecords());
    EXPECT_EQ(t->index()->rebuildKeys(), kOk);  // in memory: the table is read-only
    EXPECT_TRUE(t->index()->matchesRecords());
    EXPECT_EQ(t->index()->tag("MYSTERY")->keyCount(), 4u);  // kept as it was
    EXPECT_EQ(t->index()->tag("BYCODE")->keyCount(), 4u);
    EXPECT_EQ(t->index()->tag("UNIQUE")->keyCount(), 3u);
  };
  FixtureTag b = bycode;
  b.keys[0].second = 3;
  damaged(b, unique);
  b = bycode;
  b.keys.pop_back();
  damaged(b, unique);
  b = bycode;
  b.keys[0].first = "Z9      ";
  damaged(b, unique);
  FixtureTag u = UnitTag({"B2", "A1", "C3", "A1"});
  u.name = "UNIQUE", u.unique = true;
  damaged(bycode, u);
  EXPECT_EQ(ReadBytes(dir.file("F.CDX")), CdxFixture().Build({bycode, mystery, u}));  // not written
}

TEST(CdxForeign, TagsWithFunctionsOfOtherToolsKeepTheirKeys) {
  ScratchDir dir;
  FixtureTable(dir, {"B2", " A1", "C3"})->close();
  FixtureTag trimmed = UnitTag({"B2", "A1", "C3"});  // the keys ALLTRIM gives records 1 to 3
  trimmed.name = "TRIMMED", trimmed.expr = "ALLTRIM(UNITCODE)", trimmed.filter = "";
  WriteBytes(dir.file("F.CDX"), CdxFixture().Build({UnitTag({"B2", " A1", "C3"}), trimmed}));
  auto t = OpenTable(dir.file("F.DBF"), false);
  ASSERT_EQ(t->openIndex(dir.file("F.CDX")), kOk);
  Tag* tag = t->index()->tag("TRIMMED");
  ASSERT_TRUE(tag->evaluable());
  t->appendStart(true);
  t->assignText(0, "  D4");
  ASSERT_EQ(t->append(), kOk);
  t->go(1);
  t->assignText(0, "  A0");
  t->selectTag(tag);
  EXPECT_EQ(t->seek("A0"), kOk);
  EXPECT_EQ(t->recNo(), 1);
  t->close();
  auto r = OpenTable(dir.file("F.DBF"), true);
  ASSERT_EQ(r->openIndex(dir.file("F.CDX")), kOk);
  using Keys = std::vector<std::pair<std::string, uint32_t>>;
  EXPECT_EQ(r->index()->tag("TRIMMED")->keys(), (Keys{{"A0      ", 1}, {"A1      ", 2}, {"C3      ", 3}, {"D4      ", 4}}));
}

TEST(CdxForeign, MixedFunctionTagsOnAPythonWrittenTable) {
  ScratchDir dir;
  std::string cmd = "/usr/bin/python3 " VETRA_SOURCE_DIR "tests/platform/tables/make_dbf.py " + dir.file("") + " 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << "python3-dbf is needed";
  auto t = OpenTable(dir.file("t_db3.dbf"), false);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->createIndex(dir.file("T_DB3.CDX"), {{"NAMEDATE", "UPPER(NAME)+DTOS(WHEN)", "", 0, 0},
                                                  {"LOWNAME", "LOWER(ALLTRIM(NAME))", ".NOT. DELETED()", 0, 0}}),
            kOk);
  t->appendStart(true);
  t->assignText(t->fieldIndex("NAME"), "  Gamma");
  t->assignText(t->fieldIndex("WHEN"), "20010304");
  ASSERT_EQ(t->append(), kOk);
  t->close();
  auto r = OpenTable(dir.file("t_db3.dbf"), true);
  ASSERT_EQ(r->openIndex(dir.file("T_DB3.CDX")), kOk);
  r->selectTag(r->index()->tag("NAMEDATE"));
  EXPECT_EQ(r->seek("ALPHA       20010305"), kOk);
  EXPECT_EQ(r->seek("  GAMMA     20010304"), kOk);
  r->selectTag(r->index()->tag("LOWNAME"));
  EXPECT_EQ(r->seek("gamma"), kOk);
  EXPECT_EQ(r->recNo(), 3);
  EXPECT_EQ(r->seek("beta"), kAfter);  // deleted: left out by the filter
}

namespace {

struct TagState {
  std::string name, expr, filter;
  std::vector<std::pair<std::string, uint32_t>> keys;
  bool operator==(const TagState&) const = default;
};

std::vector<TagState> States(const Index& x) {
  std::vector<TagState> out;
  for (int i = 0; i < x.tagCount(); ++i) {
    const Tag* t = x.tag(i);
    out.push_back({t->name(), t->expression(), t->filter(), t->keys()});
  }
  return out;
}

// Opens the file, appends a record and closes; the file the layer wrote must give the same tags,
// in the same order, with the same texts and keys.
void ExpectWrittenBackUnchanged(const ScratchDir& dir, const std::vector<unsigned char>& bytes, int line) {
  SCOPED_TRACE(line);
  FixtureTable(dir, {"B2", "A1", "C3"})->close();
  WriteBytes(dir.file("F.CDX"), bytes);
  std::vector<TagState> before;
  {
    auto r = OpenTable(dir.file("F.DBF"), false);
    ASSERT_EQ(r->openIndex(dir.file("F.CDX")), kOk);
    r->appendStart(true);
    r->assignText(0, "W0001");
    ASSERT_EQ(r->append(), kOk);
    before = States(*r->index());
    ASSERT_EQ(r->close(), kOk);
  }
  ASSERT_NE(ReadBytes(dir.file("F.CDX")), bytes);
  auto again = OpenTable(dir.file("F.DBF"), false);
  ASSERT_EQ(again->openIndex(dir.file("F.CDX")), kOk);
  EXPECT_TRUE(States(*again->index()) == before);
}

}  // namespace

TEST(CdxForeign, UnusualButSoundHeadersAreWrittenBackUnchanged) {
  ScratchDir dir;
  const std::vector<std::string> units{"B2", "A1", "C3"};
  FixtureTag down = UnitTag(units, true);
  down.name = "DOWN";
  // A directory of wider keys than usual, holding names that fit the usual width.
  ExpectWrittenBackUnchanged(dir, CdxFixture(40, 14).Build({UnitTag(units), down}), __LINE__);
  // Names padded with NULs: the order of the tags must not change when they are padded with blanks.
  FixtureTag a = UnitTag(units), a1 = down;
  a.name = std::string("A") + std::string(9, '\0');
  a1.name = "A\x01";
  ExpectWrittenBackUnchanged(dir, CdxFixture().Build({a, a1}), __LINE__);
  // A key expression and a filter that fill the text area to its last byte, without a NUL.
  FixtureTag longExpr = UnitTag(units), longFilter = down;
  longExpr.filter = "";
  longExpr.expr = "UNITCODE" + std::string(512 - 8, ' ');
  longFilter.filter += std::string(512 - 9 - longFilter.filter.size(), ' ');
  ExpectWrittenBackUnchanged(dir, CdxFixture().Build({longExpr, longFilter}), __LINE__);
}

TEST(CdxOwn, CreatedTagNamesAreTheNamesThatReadBack) {
  ScratchDir dir;
  auto t = CreateTable(dir.file("F.DBF"), {{"UNITCODE", 'C', 8, 0}});
  EXPECT_EQ(t->createIndex(dir.file("F.CDX"), {{"x", "UNITCODE", "", 0, 0}, {"X ", "UNITCODE", "", 0, 0}}), kErrArgs);
  EXPECT_EQ(t->createIndex(dir.file("F.CDX"), {{"LONGNAME123", "UNITCODE", "", 0, 0}}), kErrArgs);
  // Both texts and their NULs must fit the tag header.
  EXPECT_EQ(t->createIndex(dir.file("F.CDX"), {{"X", "UNITCODE" + std::string(500, ' '), "UNITCODE > ' '", 0, 0}}),
            kErrExpr);
  ASSERT_EQ(t->createIndex(dir.file("F.CDX"), {{"bycode  ", "UNITCODE", "", 0, 0}, {"A\x01", "UNITCODE", "", 0, 1}}), kOk);
  ASSERT_EQ(t->index()->tag(0)->name(), "A\x01");
  ASSERT_EQ(t->index()->tag(1)->name(), "BYCODE");
  t->close();
  auto r = OpenTable(dir.file("F.DBF"), true);
  ASSERT_EQ(r->openIndex(dir.file("F.CDX")), kOk);
  EXPECT_EQ(r->index()->tag(0)->name(), "A\x01");
  EXPECT_EQ(r->index()->tag(1)->name(), "BYCODE");
}

// ---- Damaged index files ----

namespace {

void ExpectRefused(const ScratchDir& dir, const std::vector<unsigned char>& bytes, int line) {
  SCOPED_TRACE(line);
  WriteBytes(dir.file("F.CDX"), bytes);
  auto r = OpenTable(dir.file("F.DBF"), false);
  ASSERT_TRUE(r);
  int rc = r->openIndex(dir.file("F.CDX"));
  EXPECT_EQ(rc, kErrData);
  EXPECT_FALSE(r->index());
  r->close();
  EXPECT_EQ(ReadBytes(dir.file("F.CDX")), bytes);
}

}  // namespace

TEST(CdxHostile, DamagedFilesAreRefusedAndNotRewritten) {
  ScratchDir dir;
  std::vector<std::string> units;
  for (int i = 0; i < 60; ++i) units.push_back("U" + std::to_string(i));
  FixtureTable(dir, units)->close();
  const auto good = CdxFixture(20).Build({UnitTag(units)});
  WriteBytes(dir.file("F.CDX"), good);
  {
    auto r = OpenTable(dir.file("F.DBF"), true);
    ASSERT_EQ(r->openIndex(dir.file("F.CDX")), kOk);
  }
  const uint32_t dirLeaf = 1024, tagHeader = 1536;
  const uint32_t tagRoot = good[tagHeader] | good[tagHeader + 1] << 8 | good[tagHeader + 2] << 16;
  auto bad = good;
  CdxFixture::Put32(&bad[0], 0x7FFFFF00);  // directory root outside the file
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  CdxFixture::Put16(&bad[12], 0);  // key length 0
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  CdxFixture::Put16(&bad[tagHeader + 12], 241);  // key longer than any key
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  CdxFixture::Put32(&bad[tagHeader], uint32_t(bad.size()) - 100);  // root page past the end
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  CdxFixture::Put16(&bad[tagRoot + 2], 200);  // too many children for an interior node
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  CdxFixture::PutBe32(&bad[tagRoot + 12 + 8 + 4], tagRoot);  // a child that is its own parent
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  std::copy_n(&good[tagRoot + 12 + 12], 4, &bad[tagRoot + 12 + 16 + 12]);  // two parents of one leaf
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  CdxFixture::Put16(&bad[dirLeaf + 2], 400);  // more entries than the leaf can hold
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  bad[dirLeaf + 23] = 0;  // entries of no bytes
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  bad[dirLeaf + 20] = 30;  // more bits than the entry has
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  bad[dirLeaf + 24 + 2] = 0xF0;  // trailing count above the key length
  ExpectRefused(dir, bad, __LINE__);
  bad = good;
  bad.resize(700);
  ExpectRefused(dir, bad, __LINE__);
  ExpectRefused(dir, std::vector<unsigned char>(100, 0), __LINE__);
}

TEST(CdxHostile, TagNamesThatCannotBeWrittenBackAreRefused) {
  ScratchDir dir;
  const std::vector<std::string> units{"B2", "A1", "C3"};
  FixtureTable(dir, units)->close();
  auto named = [&](const std::string& name) {
    FixtureTag tag = UnitTag(units);
    tag.name = name;
    return tag;
  };
  // Wider than the directory keeps names: it would be cut when written.
  ExpectRefused(dir, CdxFixture(40, 14).Build({named("BYCODEXTRAS")}), __LINE__);
  // NULs, then a letter past the usual width: cut, it would be no name at all.
  ExpectRefused(dir, CdxFixture(40, 14).Build({named(std::string(12, '\0') + "X")}), __LINE__);
  ExpectRefused(dir, CdxFixture().Build({named(std::string(10, '\0'))}), __LINE__);
  // Two tags a look-up by name cannot tell apart.
  ExpectRefused(dir, CdxFixture().Build({named("BYCODE"), named("BYCODE")}), __LINE__);
  ExpectRefused(dir, CdxFixture().Build({named("BYCODE"), named("bycode")}), __LINE__);
}
