// The table component's semantics as the system relies on them: alias and table resolution,
// index order, filters, moving, key searches, fields, editing, events and write-through.
#include "Table.h"
#include "Exceptions.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const char* kScript = R"(
CREATE TABLE LANGTEXT (LANG_CODE CHAR(2), TEXT_NO SMALLINT, LTEXT CHAR(250), PRIMARY KEY (LANG_CODE, TEXT_NO));
INSERT INTO LANGTEXT VALUES ('EN', 2, 'Two'), ('DE', 1, 'Eins'), ('EN', 1, 'One'), ('DE', 2, NULL), ('EN', 10, 'Ten  ');
CREATE TABLE Mranges (MODEL_CODE SMALLINT, ENGINE_CODE SMALLINT, BUILD_DATE_FROM CHAR(7), MODEL_RANGE_CODE SMALLINT,
                      PRIMARY KEY (MODEL_RANGE_CODE));
CREATE INDEX mrange ON Mranges (MODEL_CODE, ENGINE_CODE);
INSERT INTO Mranges VALUES (2, 1, '01/2000', 30), (1, 2, '01/2001', 10), (1, 1, '01/2002', 20);
CREATE TABLE MAINHEAD (LANG_CODE CHAR(2), MH_CODE SMALLINT, MH_EXTPER CHAR(1), MH_TEXT CHAR(10),
                       PRIMARY KEY (LANG_CODE, MH_CODE));
INSERT INTO MAINHEAD VALUES ('EN', 5, 'N', 'Engine'), ('DE', 5, 'N', 'Motor'), ('EN', 3, 'Y', 'Brakes'), ('DE', 3, 'Y', 'Bremsen');
CREATE TABLE PARAMS (NAME CHAR(10), PAGE_MARGIN SMALLINT, PRINT_DETAILS BOOLEAN, WEIGHTKG INTEGER);
INSERT INTO PARAMS VALUES ('Dealer', 5, 1, 1200);
CREATE TABLE EMPTYT (CODE SMALLINT PRIMARY KEY, NAME CHAR(5));
)";

class TableTest : public ::testing::Test {
protected:
    TestFolder folder{kScript};

    std::unique_ptr<TTable> Table(const std::string& name) {
        auto t = std::make_unique<TTable>();
        t->SetDatabaseName("KLV3Data");
        t->SetTableName(name);
        return t;
    }
    // Values of one field over every row, in the dataset's order, joined by ",".
    static std::string Walk(TTable& t, const std::string& field) {
        std::string out;
        for (t.First(); !t.Eof(); t.Next())
            out += (out.empty() ? "" : ",") + t.FieldByName(field)->AsString();
        return out;
    }
};

// ---- alias and table resolution ----

TEST_F(TableTest, TablesResolveWhateverTheCaseWithOrWithoutExtension) {
    for (const char* name : {"LANGTEXT.DB", "langtext", "LangText.db", "MRANGES.DB", "Mranges"}) {
        auto t = Table(name);
        t->SetDatabaseName("klv3data"); // the alias too, in any case
        EXPECT_NO_THROW(t->Open()) << name;
        EXPECT_TRUE(t->Active());
    }
}

TEST_F(TableTest, MissingTableRaisesNamingIt) {
    auto t = Table("NOSUCH.DB");
    try {
        t->Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("NOSUCH.DB"), std::string::npos) << e.Message;
    }
    EXPECT_FALSE(t->Active());
    EXPECT_EQ(t->State(), dsInactive);
}

TEST_F(TableTest, UnknownAliasMissingFileAndBadPathRaise) {
    auto t = Table("LANGTEXT");
    t->SetDatabaseName("NoSuchAlias");
    EXPECT_THROW(t->Open(), EDatabaseError);

    TestFolder empty;
    empty.Database.DatabaseName = "EmptyAlias";
    auto u = Table("LANGTEXT");
    u->SetDatabaseName("EmptyAlias");
    EXPECT_THROW(u->Open(), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(empty.File())); // opening never creates the file

    TDatabase bad;
    bad.DatabaseName = "BadPath";
    bad.Params = {"PATH=/no/such/folder/"};
    EXPECT_THROW(bad.Open(), EDatabaseError);
}

TEST_F(TableTest, DamagedFileRaisesAndIsLeftAlone) {
    TestFolder damaged;
    damaged.Database.DatabaseName = "Damaged";
    { std::ofstream(damaged.File()) << "this is not a database file at all, just some text"; }
    auto before = std::filesystem::file_size(damaged.File());
    auto t = Table("LANGTEXT");
    t->SetDatabaseName("Damaged");
    try {
        t->Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("LANGTEXT"), std::string::npos) << e.Message;
        // The file is named, as a missing one is.
        EXPECT_NE(e.Message.find(std::filesystem::path(damaged.File()).filename().string()), std::string::npos) << e.Message;
    }
    EXPECT_EQ(std::filesystem::file_size(damaged.File()), before);
}

TEST_F(TableTest, AFolderPathServesAsDatabaseName) {
    auto t = Table("LANGTEXT");
    t->SetDatabaseName(folder.Folder());
    t->Open();
    EXPECT_EQ(t->RecordCount(), 5);
}

TEST_F(TableTest, ClosingTheAliasClosesItsDatasets) {
    auto t = Table("LANGTEXT");
    t->Open();
    EXPECT_TRUE(folder.Database.Connected());
    folder.Database.Close();
    EXPECT_FALSE(t->Active());
    t->Open(); // reconnects on demand
    EXPECT_TRUE(t->Active());
}

// ---- order ----

TEST_F(TableTest, PrimaryIndexOrdersRowsByItsKey) {
    auto t = Table("LANGTEXT");
    t->Open();
    EXPECT_EQ(Walk(*t, "LTEXT"), "Eins,,One,Two,Ten"); // DE 1, DE 2, EN 1, EN 2, EN 10
}

TEST_F(TableTest, SecondaryIndexByNameInAnyCase) {
    auto t = Table("Mranges.DB");
    t->SetIndexName("MRange");
    t->Open();
    EXPECT_EQ(Walk(*t, "MODEL_RANGE_CODE"), "20,10,30");
    t->SetIndexName(""); // back to the primary index, on the open table
    EXPECT_EQ(Walk(*t, "MODEL_RANGE_CODE"), "10,20,30");
}

TEST_F(TableTest, SwitchingIndexKeepsTheCurrentRow) {
    auto t = Table("Mranges");
    t->Open();
    ASSERT_TRUE(t->FindKey({30}));
    t->SetIndexName("mrange");
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 30);
    t->Next();
    EXPECT_TRUE(t->Eof()); // 30 is last in model order
}

TEST_F(TableTest, UnknownIndexRaisesAndChangesNothing) {
    auto t = Table("Mranges");
    t->Open();
    EXPECT_THROW(t->SetIndexName("nosuch"), EDatabaseError);
    EXPECT_EQ(t->IndexName(), "");
    EXPECT_EQ(Walk(*t, "MODEL_RANGE_CODE"), "10,20,30");
    auto u = Table("Mranges");
    u->SetIndexName("nosuch");
    EXPECT_THROW(u->Open(), EDatabaseError);
    EXPECT_FALSE(u->Active());
}

TEST_F(TableTest, IndexFieldNamesOrderAndSearch) {
    auto t = Table("MAINHEAD");
    t->SetIndexFieldNames("mh_code;LANG_CODE");
    t->Open();
    EXPECT_EQ(Walk(*t, "MH_TEXT"), "Bremsen,Brakes,Motor,Engine");
    EXPECT_TRUE(t->FindKey({5, "EN"}));
    EXPECT_EQ(t->FieldByName("MH_TEXT")->AsString(), "Engine");
}

TEST_F(TableTest, StoredOrderWithoutDefaultIndexOrWithoutKey) {
    auto t = Table("LANGTEXT");
    t->SetDefaultIndex(false);
    t->Open();
    EXPECT_EQ(Walk(*t, "TEXT_NO"), "2,1,1,2,10");
    EXPECT_THROW(t->FindKey({"EN"}), EDatabaseError); // no key in use
    t->SetDefaultIndex(true);
    EXPECT_EQ(Walk(*t, "TEXT_NO"), "1,2,1,2,10");
}

// ---- filter ----

TEST_F(TableTest, FilterOfOneFieldAndLiteralSwitchedAtRunTime) {
    auto t = Table("MAINHEAD");
    t->SetFilter("Lang_Code = 'EN'");
    t->SetFiltered(true);
    t->Open();
    EXPECT_EQ(Walk(*t, "MH_TEXT"), "Brakes,Engine");
    EXPECT_FALSE(t->FindKey({"DE", 5})); // filtered rows are not found
    t->SetFiltered(false);
    EXPECT_EQ(t->RecordCount(), 4);
    EXPECT_TRUE(t->FindKey({"DE", 5}));
    t->SetFilter("lang_code='DE'");
    t->SetFiltered(true);
    EXPECT_EQ(Walk(*t, "MH_TEXT"), "Bremsen,Motor");
}

TEST_F(TableTest, FilterThatCannotBeReadRaises) {
    auto t = Table("MAINHEAD");
    t->SetFilter("LANG_CODE <> 'EN'");
    t->SetFiltered(true);
    EXPECT_THROW(t->Open(), EDatabaseError);
    t->SetFilter("NOFIELD = 'EN'");
    EXPECT_THROW(t->Open(), EDatabaseError);
    t->SetFilter("LANG_CODE = 'EN'");
    t->Open();
    EXPECT_THROW(t->SetFilter("LANG_CODE = EN"), EDatabaseError);
    EXPECT_EQ(t->Filter(), "LANG_CODE = 'EN'");
    EXPECT_EQ(t->RecordCount(), 2);
}

// ---- moving ----

TEST_F(TableTest, EofOnEmptyTableAndNextPastTheLastKeepsIt) {
    auto e = Table("EMPTYT");
    e->Open();
    EXPECT_TRUE(e->Eof());
    EXPECT_TRUE(e->Bof());
    EXPECT_EQ(e->FieldByName("NAME")->AsString(), "");
    EXPECT_TRUE(e->FieldByName("CODE")->IsNull());

    auto t = Table("Mranges");
    t->Open();
    EXPECT_FALSE(t->Eof());
    t->Next();
    t->Next();
    EXPECT_FALSE(t->Eof());
    t->Next();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 30);
    t->Prior();
    EXPECT_FALSE(t->Eof());
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 20);
    t->Prior();
    t->Prior();
    EXPECT_TRUE(t->Bof());
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 10);
    t->Last();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 30);
}

TEST_F(TableTest, ClosedDatasetRefusesWork) {
    auto t = Table("LANGTEXT");
    EXPECT_THROW(t->FindKey({"EN", 1}), EDatabaseError);
    EXPECT_THROW(t->First(), EDatabaseError);
    t->Open();
    TField* f = t->FieldByName("LTEXT");
    t->Close();
    EXPECT_THROW(f->AsString(), EDatabaseError);
}

// ---- key search ----

TEST_F(TableTest, FindKeyOnWholeAndLeadingKey) {
    auto t = Table("LANGTEXT");
    t->Open();
    EXPECT_TRUE(t->FindKey({"EN", 10}));
    EXPECT_EQ(t->FieldByName("LTEXT")->AsString(), "Ten");
    EXPECT_TRUE(t->FindKey({"EN"})); // first row of the leading key
    EXPECT_EQ(t->FieldByName("TEXT_NO")->AsInteger(), 1);
    EXPECT_TRUE(t->FindKey({"DE", "2"})); // a number given as text
    EXPECT_TRUE(t->FieldByName("LTEXT")->IsNull());
    EXPECT_THROW(t->FindKey({"EN", 1, 2}), EDatabaseError);
}

TEST_F(TableTest, FindKeyNotFoundLeavesTheCursor) {
    auto t = Table("LANGTEXT");
    t->Open();
    ASSERT_TRUE(t->FindKey({"EN", 2}));
    int scrolls = 0;
    t->AfterScroll = [&](TDataSet*) { ++scrolls; };
    EXPECT_FALSE(t->FindKey({"EN", 3}));
    EXPECT_FALSE(t->FindKey({"FR"}));
    EXPECT_FALSE(t->FindKey({"en", 2})); // string keys are case-sensitive
    EXPECT_FALSE(t->FindKey({"EN", "x"}));
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(t->FieldByName("LTEXT")->AsString(), "Two");
    EXPECT_TRUE(t->FindKey({"DE", 1}));
    EXPECT_EQ(scrolls, 1);
}

TEST_F(TableTest, FindKeyAtTheEndClearsEof) {
    auto t = Table("LANGTEXT");
    t->Open();
    t->Last();
    t->Next();
    ASSERT_TRUE(t->Eof());
    EXPECT_TRUE(t->FindKey({"DE", 1}));
    EXPECT_FALSE(t->Eof());
}

TEST_F(TableTest, LocateWithoutAnIndexAndOnAFilteredView) {
    auto t = Table("MAINHEAD");
    t->SetDefaultIndex(false); // no key in use: FindKey cannot search, Locate can
    t->SetFilter("LANG_CODE = 'EN'");
    t->SetFiltered(true);
    t->Open();
    int scrolls = 0;
    t->AfterScroll = [&](TDataSet*) { ++scrolls; };
    EXPECT_TRUE(t->Locate("lang_code;MH_CODE", {"EN", 3}));
    EXPECT_EQ(t->FieldByName("MH_TEXT")->AsString(), "Brakes");
    EXPECT_EQ(scrolls, 1);
    // Not found, a German row hidden by the filter included: the cursor stays, nothing fires.
    EXPECT_FALSE(t->Locate("MH_CODE;MH_TEXT", {3, "Bremsen"}));
    EXPECT_FALSE(t->Locate("MH_CODE", {"x"}));
    EXPECT_FALSE(t->Locate("MH_TEXT", {"brakes"})); // exact, case-sensitive
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(t->FieldByName("MH_TEXT")->AsString(), "Brakes");
    EXPECT_TRUE(t->Locate("MH_CODE", {"5"}));
    EXPECT_EQ(t->FieldByName("MH_TEXT")->AsString(), "Engine");
    EXPECT_THROW(t->Locate("MH_CODE;NOPE", {5, 1}), EDatabaseError);
    EXPECT_THROW(t->Locate("MH_CODE", {5, 1}), EDatabaseError);
    EXPECT_THROW(t->Locate("", {}), EDatabaseError);
    t->Close();
    EXPECT_THROW(t->Locate("MH_CODE", {5}), EDatabaseError);
}

TEST_F(TableTest, LocateByTheKeyInUseAndByOtherFieldsFindTheFirstRowInOrder) {
    auto t = Table("MAINHEAD"); // primary key LANG_CODE, MH_CODE
    t->Open();
    EXPECT_TRUE(t->Locate("LANG_CODE", {"EN"})); // the key's leading field: searched by the key
    EXPECT_EQ(t->FieldByName("MH_TEXT")->AsString(), "Brakes");
    EXPECT_TRUE(t->Locate("MH_CODE", {5})); // not a key prefix: walked in key order
    EXPECT_EQ(t->FieldByName("MH_TEXT")->AsString(), "Motor");
    // A pending edit is posted first, as by FindKey.
    t->Edit();
    t->FieldByName("MH_TEXT")->SetAsString("Antrieb");
    EXPECT_TRUE(t->Locate("MH_TEXT", {"Antrieb"}));
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(folder.Read("SELECT MH_TEXT FROM MAINHEAD WHERE LANG_CODE='DE' AND MH_CODE=5"), "Antrieb");
}

TEST_F(TableTest, RowNumbersAndTheirGeneration) {
    auto t = Table("MAINHEAD");
    EXPECT_EQ(t->RecNo(), 0);
    EXPECT_THROW(t->SetRecNo(1), EDatabaseError);
    t->Open();
    EXPECT_EQ(t->RecNo(), 1);
    const uint64_t opened = t->RowsGeneration();
    int scrolls = 0;
    t->AfterScroll = [&](TDataSet*) { ++scrolls; };
    t->SetRecNo(3); // DE 3, DE 5, EN 3, EN 5
    EXPECT_EQ(t->FieldByName("MH_TEXT")->AsString(), "Brakes");
    EXPECT_EQ(scrolls, 1);
    EXPECT_THROW(t->SetRecNo(5), EDatabaseError);
    EXPECT_THROW(t->SetRecNo(0), EDatabaseError);
    EXPECT_EQ(t->RecNo(), 3);
    t->Next();
    t->First();
    EXPECT_EQ(t->RowsGeneration(), opened); // moving changes no rows
    t->Refresh();                           // nothing changed in the database: rows kept
    EXPECT_EQ(t->RowsGeneration(), opened);
    t->Edit();
    t->FieldByName("MH_TEXT")->SetAsString("Bremse");
    t->Post();
    const uint64_t posted = t->RowsGeneration();
    EXPECT_NE(posted, opened);
    t->Delete();
    EXPECT_NE(t->RowsGeneration(), posted);
}

TEST_F(TableTest, RefreshReadsWhatAnyoneElseWroteAndKeepsItsOwnRows) {
    auto a = Table("MAINHEAD");
    auto b = Table("MAINHEAD");
    a->Open();
    b->Open();
    // Another connection (another program) writes.
    folder.Exec("UPDATE MAINHEAD SET MH_TEXT = 'Antrieb' WHERE LANG_CODE = 'DE' AND MH_CODE = 5");
    a->Refresh();
    ASSERT_TRUE(a->FindKey({"DE", 5}));
    EXPECT_EQ(a->FieldByName("MH_TEXT")->AsString(), "Antrieb");
    // Another cursor of the same alias writes.
    b->Refresh();
    ASSERT_TRUE(b->FindKey({"EN", 3}));
    b->Edit();
    b->FieldByName("MH_TEXT")->SetAsString("Stopping");
    b->Post();
    a->Refresh();
    ASSERT_TRUE(a->FindKey({"EN", 3}));
    EXPECT_EQ(a->FieldByName("MH_TEXT")->AsString(), "Stopping");
    // A table created again under the same name is read again too.
    a->Close();
    b->Refresh();
    folder.Exec("DELETE FROM MAINHEAD; INSERT INTO MAINHEAD VALUES ('EN', 1, 'N', 'One')");
    b->Refresh();
    EXPECT_EQ(b->RecordCount(), 1);
}

// ---- fields ----

TEST_F(TableTest, FieldTypesAndConversions) {
    auto t = Table("PARAMS");
    t->Open();
    EXPECT_EQ(t->FieldByName("name")->AsString(), "Dealer");
    EXPECT_EQ(t->FieldByName("NAME")->DataType(), ftString);
    EXPECT_EQ(t->FieldByName("NAME")->Size(), 10);
    EXPECT_EQ(t->FieldByName("PAGE_MARGIN")->DataType(), ftSmallint);
    EXPECT_EQ(t->FieldByName("PAGE_MARGIN")->AsString(), "5");
    EXPECT_TRUE(t->FieldByName("PRINT_DETAILS")->AsBoolean());
    EXPECT_EQ(t->FieldByName("PRINT_DETAILS")->AsString(), "True");
    EXPECT_EQ(t->FieldByName("WEIGHTKG")->AsInteger(), 1200);
    EXPECT_THROW(t->FieldByName("NAME")->AsInteger(), EConvertError);
    EXPECT_EQ(t->FieldCount(), 4);
    EXPECT_EQ(t->Fields(1)->FieldName(), "PAGE_MARGIN");
    EXPECT_THROW(t->Fields(4), EDatabaseError);
    try {
        t->FieldByName("NOFIELD");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("NOFIELD"), std::string::npos);
        EXPECT_NE(e.Message.find("PARAMS"), std::string::npos);
    }
}

TEST_F(TableTest, AlphaWidthsAreEnforcedAndBlanksTrimmed) {
    auto t = Table("PARAMS");
    t->Open();
    t->Edit();
    t->FieldByName("NAME")->SetAsString("A very long dealer name");
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "A very lon");
    t->Post();
    EXPECT_EQ(folder.Read("SELECT NAME FROM PARAMS"), "A very lon");
    t->Edit();
    t->FieldByName("NAME")->SetAsString("Short   ");
    t->Post();
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Short");
    t->Edit();
    t->FieldByName("NAME")->SetAsString("");
    t->Post();
    EXPECT_TRUE(t->FieldByName("NAME")->IsNull());
    EXPECT_EQ(folder.Read("SELECT NAME FROM PARAMS"), "<null>");
}

TEST_F(TableTest, TextBytesAreStoredAndReadUnconverted) {
    const std::string greek = "\xC1\xE8\xDE\xED\xE1 \x80\xFF";
    auto t = Table("PARAMS");
    t->Open();
    t->Edit();
    t->FieldByName("NAME")->SetAsString(greek);
    t->Post();
    EXPECT_EQ(folder.Read("SELECT NAME FROM PARAMS"), greek);
    auto u = Table("PARAMS");
    u->Open();
    EXPECT_EQ(u->FieldByName("NAME")->AsString(), greek);
}

TEST_F(TableTest, NumbersBooleansAndRanges) {
    auto t = Table("PARAMS");
    t->Open();
    t->Edit();
    EXPECT_THROW(t->FieldByName("PAGE_MARGIN")->SetAsInteger(40000), EDatabaseError);
    EXPECT_THROW(t->FieldByName("PAGE_MARGIN")->SetAsString("12x"), EConvertError);
    t->FieldByName("PAGE_MARGIN")->SetAsString("-12");
    t->FieldByName("PRINT_DETAILS")->SetAsBoolean(false);
    t->FieldByName("WEIGHTKG")->Clear();
    t->Post();
    EXPECT_EQ(folder.Read("SELECT PAGE_MARGIN FROM PARAMS"), "-12");
    EXPECT_EQ(folder.Read("SELECT PRINT_DETAILS FROM PARAMS"), "0");
    EXPECT_EQ(folder.Read("SELECT WEIGHTKG FROM PARAMS"), "<null>");
    EXPECT_EQ(t->FieldByName("WEIGHTKG")->AsInteger(), 0);
    t->Edit();
    t->FieldByName("PRINT_DETAILS")->SetAsString("true");
    EXPECT_TRUE(t->FieldByName("PRINT_DETAILS")->AsBoolean());
    EXPECT_THROW(t->FieldByName("PRINT_DETAILS")->SetAsString("maybe"), EDatabaseError);
    t->Cancel();
}

TEST_F(TableTest, ReadOnlyAndRequiredFields) {
    auto t = Table("EMPTYT");
    TField* name = t->DefineField("NAME"); // settings before opening survive the Open
    name->SetRequired(true);
    t->Open();
    EXPECT_EQ(t->FieldByName("name"), name);
    t->FieldByName("CODE")->SetReadOnly(true);
    t->Append();
    EXPECT_THROW(t->FieldByName("CODE")->SetAsInteger(1), EDatabaseError);
    t->FieldByName("CODE")->SetReadOnly(false);
    t->FieldByName("CODE")->SetAsInteger(1);
    EXPECT_THROW(t->Post(), EDatabaseError); // NAME must have a value
    EXPECT_EQ(t->State(), dsInsert);
    name->SetAsString("x");
    t->Post();
    EXPECT_EQ(folder.Read("SELECT NAME FROM EMPTYT"), "x");
    t->Close();
    t->Open();
    EXPECT_TRUE(name->Required());
}

TEST_F(TableTest, DeclaredFieldMissingFromTheTableRaisesOnOpen) {
    auto t = Table("EMPTYT");
    t->DefineField("NOFIELD");
    EXPECT_THROW(t->Open(), EDatabaseError);
    EXPECT_FALSE(t->Active());
}

// ---- editing and write-through ----

TEST_F(TableTest, AssignmentsNeedEditState) {
    auto t = Table("PARAMS");
    t->Open();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_THROW(t->FieldByName("NAME")->SetAsString("x"), EDatabaseError);
}

TEST_F(TableTest, NothingIsWrittenExceptByPost) {
    auto t = Table("PARAMS");
    t->Open();
    t->Edit();
    EXPECT_EQ(t->State(), dsEdit);
    t->FieldByName("NAME")->SetAsString("Changed");
    EXPECT_EQ(folder.Read("SELECT NAME FROM PARAMS"), "Dealer");
    t->Cancel();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "Dealer");
    t->Edit();
    t->FieldByName("NAME")->SetAsString("Changed");
    t->Close(); // an unposted edit is dropped
    EXPECT_EQ(folder.Read("SELECT NAME FROM PARAMS"), "Dealer");
}

TEST_F(TableTest, PostWritesOnlyTheFieldsSet) {
    // Stored values the fields cannot hold exactly: an over-long name, text and a fraction in
    // number fields, bytes after a zero.
    folder.Exec("UPDATE PARAMS SET NAME = 'A name far too long', PAGE_MARGIN = 'abc', PRINT_DETAILS = 'yes', "
                "WEIGHTKG = 2.5");
    auto t = Table("PARAMS");
    t->Open();
    EXPECT_EQ(t->FieldByName("NAME")->AsString(), "A name far");
    EXPECT_TRUE(t->FieldByName("PAGE_MARGIN")->IsNull());
    EXPECT_TRUE(t->FieldByName("WEIGHTKG")->IsNull());
    t->Edit();
    t->FieldByName("PRINT_DETAILS")->SetAsBoolean(false);
    t->Post();
    EXPECT_EQ(folder.Read("SELECT NAME || '/' || PAGE_MARGIN || '/' || PRINT_DETAILS || '/' || WEIGHTKG FROM PARAMS"),
              "A name far too long/abc/0/2.5");
    // An edit that sets nothing writes nothing.
    folder.Exec("UPDATE PARAMS SET NAME = CAST(X'41004243' AS TEXT)");
    t->Close();
    t->Open();
    t->Edit();
    t->Post();
    EXPECT_EQ(folder.Read("SELECT hex(NAME) FROM PARAMS"), "41004243");
}

TEST_F(TableTest, AppendedRowTakesItsKeyPlace) {
    auto t = Table("LANGTEXT");
    t->Open();
    t->Append();
    EXPECT_EQ(t->State(), dsInsert);
    t->FieldByName("LANG_CODE")->SetAsString("DE");
    t->FieldByName("TEXT_NO")->SetAsInteger(3);
    t->FieldByName("LTEXT")->SetAsString("Drei");
    t->Post();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->FieldByName("LTEXT")->AsString(), "Drei"); // the new row is current
    t->Next();
    EXPECT_EQ(t->FieldByName("LTEXT")->AsString(), "One");
    EXPECT_EQ(folder.Read("SELECT LTEXT FROM LANGTEXT WHERE TEXT_NO = 3"), "Drei");
}

TEST_F(TableTest, DuplicateKeyIsRefusedAndTheRowStaysInInsert) {
    auto t = Table("LANGTEXT");
    t->Open();
    t->Insert();
    t->FieldByName("LANG_CODE")->SetAsString("EN");
    t->FieldByName("TEXT_NO")->SetAsInteger(1);
    try {
        t->Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("LANGTEXT"), std::string::npos) << e.Message;
        EXPECT_NE(e.Message.find("Key violation"), std::string::npos) << e.Message;
    }
    EXPECT_EQ(t->State(), dsInsert);
    t->Cancel();
    EXPECT_EQ(t->RecordCount(), 5);
    EXPECT_EQ(folder.Read("SELECT COUNT(*) FROM LANGTEXT"), "5");
}

TEST_F(TableTest, EditingAKeyMovesTheRow) {
    auto t = Table("Mranges");
    t->Open();
    ASSERT_TRUE(t->FindKey({10}));
    t->Edit();
    t->FieldByName("MODEL_RANGE_CODE")->SetAsInteger(40);
    t->Post();
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 40);
    EXPECT_EQ(Walk(*t, "MODEL_RANGE_CODE"), "20,30,40");
}

TEST_F(TableTest, DeleteWritesAndMovesToTheNextRow) {
    auto t = Table("Mranges");
    t->Open();
    ASSERT_TRUE(t->FindKey({20}));
    t->Delete();
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 30);
    EXPECT_EQ(folder.Read("SELECT MODEL_RANGE_CODE FROM Mranges ORDER BY 1"), "10|30");
    t->Last();
    t->Delete();
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 10);
    t->Delete();
    EXPECT_TRUE(t->Eof());
    EXPECT_THROW(t->Delete(), EDatabaseError);
}

TEST_F(TableTest, EditOnAnEmptyTableInserts) {
    auto t = Table("EMPTYT");
    t->Open();
    t->Edit();
    EXPECT_EQ(t->State(), dsInsert);
}

TEST_F(TableTest, MovingPostsAPendingEdit) {
    auto t = Table("Mranges");
    t->Open();
    t->Edit();
    t->FieldByName("BUILD_DATE_FROM")->SetAsString("02/1999");
    t->Next();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(folder.Read("SELECT BUILD_DATE_FROM FROM Mranges WHERE MODEL_RANGE_CODE = 10"), "02/1999");
}

// ---- events ----

TEST_F(TableTest, EventsFireAroundTheirOperations) {
    auto t = Table("Mranges");
    std::string log;
    t->BeforeEdit = [&](TDataSet* d) { log += d->State() == dsBrowse ? "BE " : "BE? "; };
    t->BeforePost = [&](TDataSet* d) {
        log += d->State() == dsEdit || d->State() == dsInsert ? "BP " : "BP? ";
    };
    t->AfterPost = [&](TDataSet* d) { log += d->State() == dsBrowse ? "AP " : "AP? "; };
    t->BeforeDelete = [&](TDataSet*) { log += "BD "; };
    t->AfterDelete = [&](TDataSet*) { log += "AD "; };
    t->AfterScroll = [&](TDataSet*) { log += "AS "; };
    t->OnNewRecord = [&](TDataSet* d) {
        log += "NR ";
        d->FieldByName("MODEL_CODE")->SetAsInteger(9);
    };
    t->Open();
    t->Edit();
    t->FieldByName("ENGINE_CODE")->SetAsInteger(7);
    t->Post();
    t->Append();
    EXPECT_EQ(t->FieldByName("MODEL_CODE")->AsInteger(), 9);
    t->FieldByName("MODEL_RANGE_CODE")->SetAsInteger(50);
    t->Post();
    t->Delete();
    EXPECT_EQ(log, "AS BE BP AP NR AS BP AP BD AD AS ");
}

TEST_F(TableTest, SilentAbortInBeforeEventsLeavesTheDatasetAsItWas) {
    auto t = Table("Mranges");
    t->Open();
    t->BeforeEdit = [](TDataSet*) { Abort(); };
    EXPECT_THROW(t->Edit(), EAbort);
    EXPECT_EQ(t->State(), dsBrowse);
    t->BeforeEdit = nullptr;

    t->BeforePost = [](TDataSet*) { Abort(); };
    t->Edit();
    t->FieldByName("ENGINE_CODE")->SetAsInteger(7);
    EXPECT_THROW(t->Post(), EAbort);
    EXPECT_EQ(t->State(), dsEdit); // the row stays in edit
    EXPECT_EQ(folder.Read("SELECT ENGINE_CODE FROM Mranges WHERE MODEL_RANGE_CODE = 10"), "2");
    t->Cancel();
    t->BeforePost = nullptr;

    t->BeforeDelete = [](TDataSet*) { Abort(); };
    EXPECT_THROW(t->Delete(), EAbort);
    EXPECT_EQ(t->RecordCount(), 3);
    EXPECT_EQ(folder.Read("SELECT COUNT(*) FROM Mranges"), "3");
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 10);
}

TEST_F(TableTest, ScrollEventsWhenReachingTheEnds) {
    auto t = Table("Mranges");
    int scrolls = 0;
    t->AfterScroll = [&](TDataSet*) { ++scrolls; };
    t->Open();
    EXPECT_EQ(scrolls, 1);
    t->Next();
    t->Next(); // on the last row
    t->Next(); // reaches the end
    t->Next(); // already there
    EXPECT_EQ(scrolls, 4);
    EXPECT_TRUE(t->Eof());
    t->Append();
    t->Cancel();
    EXPECT_EQ(scrolls, 6);
    EXPECT_EQ(t->FieldByName("MODEL_RANGE_CODE")->AsInteger(), 30);
}

TEST_F(TableTest, NewRowWithOnlyDefaultsIsDroppedWhenLeft) {
    auto t = Table("Mranges");
    t->OnNewRecord = [](TDataSet* d) { d->FieldByName("MODEL_RANGE_CODE")->SetAsInteger(99); };
    t->Open();
    t->Append();
    t->First();
    EXPECT_EQ(t->RecordCount(), 3);
    t->Append();
    t->Post(); // an explicit Post writes it
    EXPECT_EQ(folder.Read("SELECT COUNT(*) FROM Mranges WHERE MODEL_RANGE_CODE = 99"), "1");
}

TEST_F(TableTest, FailingNewRecordHandlerLeavesBrowseState) {
    auto t = Table("Mranges");
    t->OnNewRecord = [](TDataSet*) { throw EDatabaseError("refused"); };
    t->Open();
    EXPECT_THROW(t->Append(), EDatabaseError);
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->RecordCount(), 3);
}

TEST_F(TableTest, ControlsDisabledCountsNestedCalls) {
    auto t = Table("Mranges");
    t->DisableControls();
    t->DisableControls();
    t->EnableControls();
    EXPECT_TRUE(t->ControlsDisabled());
    t->EnableControls();
    t->EnableControls();
    EXPECT_FALSE(t->ControlsDisabled());
}

// ---- two cursors ----

TEST_F(TableTest, TwoDatasetsAreIndependentCursors) {
    auto a = Table("LANGTEXT");
    auto b = Table("LANGTEXT");
    a->Open();
    b->Open();
    ASSERT_TRUE(a->FindKey({"EN", 10}));
    b->Last();
    b->Append();
    b->FieldByName("LANG_CODE")->SetAsString("FR");
    b->FieldByName("TEXT_NO")->SetAsInteger(1);
    b->FieldByName("LTEXT")->SetAsString("Un");
    b->Post();
    EXPECT_EQ(a->FieldByName("LTEXT")->AsString(), "Ten");
    EXPECT_FALSE(a->FindKey({"FR", 1})); // not seen before a refresh
    a->Refresh();
    EXPECT_EQ(a->FieldByName("LTEXT")->AsString(), "Ten"); // the cursor stays on its row
    EXPECT_TRUE(a->FindKey({"FR", 1}));
    EXPECT_EQ(a->RecordCount(), 6);
}

// ---- creating tables ----

TEST_F(TableTest, CreateTableFromFieldDefinitions) {
    TestFolder fresh; // no database file yet
    fresh.Database.DatabaseName = "Fresh";
    auto t = Table("PARAMS.DB");
    t->SetDatabaseName("Fresh");
    t->FieldDefs.Add("NAME", ftString, 50);
    t->FieldDefs.Add("PRINT_DETAILS", ftBoolean);
    t->FieldDefs.Add("PAGE_MARGIN", ftSmallint);
    t->FieldDefs.Add("WEIGHT", ftInteger);
    EXPECT_FALSE(t->Exists());
    t->CreateTable();
    EXPECT_TRUE(t->Exists());
    EXPECT_EQ(fresh.Read("SELECT type FROM pragma_table_info('PARAMS')"),
              "CHAR(50)|BOOLEAN|SMALLINT|INTEGER");
    t->Open();
    EXPECT_TRUE(t->Eof());
    t->Append();
    t->FieldByName("NAME")->SetAsString("Garage");
    t->FieldByName("PRINT_DETAILS")->SetAsBoolean(true);
    t->Post();
    t->Close();
    EXPECT_EQ(fresh.Read("SELECT NAME FROM PARAMS"), "Garage");
    t->Open();
    EXPECT_THROW(t->CreateTable(), EDatabaseError); // must be closed
}

} // namespace
