// The shared helpers of the checksheet program: texts by number, the date validators and
// normalisers, the build-date key and the next free code.
#include "TolmLib.h"
#include "../platform/db/TestDatabase.h"
#include "Exceptions.h"
#include "SysUtils.h"
#include "Tables.h"

#include <gtest/gtest.h>

namespace {

class DateHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        AsAtDate = "unchanged";
        ScratchText.clear();
    }
    void TearDown() override { FormatSettings = TFormatSettings{}; }
    // ValidDate on a copy: the result, with the normalised text in `out`.
    static bool Date(const std::string& in, std::string* out = nullptr) {
        std::string text = in;
        bool ok = ValidDate(text);
        if (out) *out = text;
        return ok;
    }
    static std::string MonthYear(const std::string& in, bool expectOk = true) {
        std::string result;
        EXPECT_EQ(ValidMonthYear(in, result), expectOk) << in;
        return result;
    }
};

TEST_F(DateHelpers, MonthYearCompletesTheCenturyByThePivot) {
    EXPECT_EQ(MonthYear("0105"), "01/2005");
    EXPECT_EQ(MonthYear("012005"), "01/2005");
    EXPECT_EQ(ScratchText, "012005");
    EXPECT_EQ(MonthYear("011965"), "01/2065"); // the typed century is dropped
    EXPECT_EQ(MonthYear("01/05"), "01/2005");
    EXPECT_EQ(MonthYear("12/1971"), "12/1971");
    EXPECT_EQ(MonthYear("0170"), "01/2070");
    EXPECT_EQ(MonthYear("0171"), "01/1971");
}

TEST_F(DateHelpers, MonthYearRefusals) {
    EXPECT_EQ(MonthYear("1305", false), "132005"); // as far as it was transformed
    EXPECT_EQ(MonthYear("0005", false), "002005");
    EXPECT_EQ(MonthYear("105", false), "105");
    EXPECT_EQ(MonthYear("01/2005/", false), "012005/");
    EXPECT_EQ(MonthYear("ab05", false), "ab05");
    EXPECT_EQ(MonthYear("01-05", false), "01-05");
    std::string r = "x";
    EXPECT_TRUE(ValidMonthYear("", r));
    EXPECT_EQ(r, "");
}

TEST_F(DateHelpers, MonthYearUsesTheSystemSeparator) {
    FormatSettings.DateSeparator = '.';
    EXPECT_EQ(MonthYear("01.05"), "01.2005");
    EXPECT_EQ(MonthYear("01/05", false), "01/05");
}

TEST_F(DateHelpers, DateNormalisesSixAndEightDigitForms) {
    std::string out;
    EXPECT_TRUE(Date("010170", &out));
    EXPECT_EQ(out, "01/01/2070");
    EXPECT_EQ(AsAtDate, "01/01/2070");
    EXPECT_TRUE(Date("010171", &out));
    EXPECT_EQ(out, "01/01/1971");
    EXPECT_TRUE(Date("15/06/05", &out));
    EXPECT_EQ(out, "15/06/2005");
    EXPECT_TRUE(Date("15061999", &out));
    EXPECT_EQ(out, "15/06/1999");
    EXPECT_TRUE(Date("31/12/2000", &out));
    EXPECT_EQ(out, "31/12/2000");
}

TEST_F(DateHelpers, DateCalendarRules) {
    EXPECT_FALSE(Date("29022001"));
    EXPECT_TRUE(Date("29022004"));
    EXPECT_FALSE(Date("31/04/2005"));
    EXPECT_TRUE(Date("30/04/2005"));
    EXPECT_FALSE(Date("00/01/2005"));
    EXPECT_FALSE(Date("01/00/2005"));
    EXPECT_FALSE(Date("01/13/2005"));
    EXPECT_FALSE(Date("32/01/2005"));
    EXPECT_FALSE(Date("30/02/2004"));
    EXPECT_FALSE(Date("01/01/2105")); // century 21
    EXPECT_FALSE(Date("01/01/1899"));
    EXPECT_FALSE(Date("29/02/1900")); // no leap year
    EXPECT_TRUE(Date("29/02/2000"));
}

TEST_F(DateHelpers, DateWithALetterLeavesAsAtDate) {
    std::string text = "01/0l/2005";
    EXPECT_FALSE(ValidDate(text));
    EXPECT_EQ(text, "01/0l/2005");
    EXPECT_EQ(AsAtDate, "unchanged");
}

TEST_F(DateHelpers, MalformedDatesStillReplaceAsAtDate) {
    std::string out;
    EXPECT_FALSE(Date("31/04/2005", &out));
    EXPECT_EQ(AsAtDate, "31/04/2005");
    EXPECT_FALSE(Date("1/1/2005", &out));
    EXPECT_FALSE(Date("12345", &out));
    EXPECT_EQ(AsAtDate, "12345");
    EXPECT_FALSE(Date("//////", &out));
    EXPECT_FALSE(Date("01/01//5", &out));
    EXPECT_TRUE(Date(""));
    EXPECT_EQ(AsAtDate, "");
}

TEST(Helpers, BuildDateKeyAndIsNumeric) {
    EXPECT_EQ(BuildDateKey("03/2004"), "200403");
    EXPECT_EQ(BuildDateKey("03-2004"), "200403");
    EXPECT_EQ(BuildDateKey("03"), "03");
    EXPECT_EQ(BuildDateKey(""), "");
    EXPECT_FALSE(IsNumeric(""));
    EXPECT_FALSE(IsNumeric("12a"));
    EXPECT_FALSE(IsNumeric(" 12"));
    EXPECT_FALSE(IsNumeric("-1"));
    EXPECT_TRUE(IsNumeric("0012"));
}

const char* kScript = R"(
CREATE TABLE LANGTEXT (LANG_CODE CHAR(2), TEXT_NO SMALLINT, LTEXT CHAR(250), PRIMARY KEY (LANG_CODE, TEXT_NO));
INSERT INTO LANGTEXT VALUES ('EN', 9, 'Select date'), ('DE', 9, 'Datum'), ('EN', 10, NULL), ('EN', 11, '   ');
CREATE TABLE INTERVAL (INTERVAL_CODE SMALLINT, KMDISTANCE SMALLINT, MLDISTANCE SMALLINT, PRIMARY KEY (INTERVAL_CODE));
INSERT INTO INTERVAL VALUES (3, 10, 5), (12, 20, 10), (7, 30, 15);
CREATE TABLE MODELS (MODEL_CODE SMALLINT, DESCRIPTION CHAR(20), PRIMARY KEY (MODEL_CODE));
)";

class DataHelpers : public ::testing::Test {
protected:
    TestFolder folder{kScript};
    TfrmTables tables;
    void SetUp() override {
        frmTables = &tables;
        Language = "EN";
    }
    void TearDown() override {
        frmTables = nullptr;
        Language.clear();
    }
};

TEST_F(DataHelpers, LTextInTheCurrentLanguage) {
    tables.tblLangText->Open();
    EXPECT_EQ(LText(9), "Select date");
    Language = "DE";
    EXPECT_EQ(LText(9), "Datum");
}

TEST_F(DataHelpers, LTextMissingOrEmptyIsAStar) {
    tables.tblLangText->Open();
    EXPECT_EQ(LText(10), "*");
    EXPECT_EQ(LText(11), "*");
    EXPECT_EQ(LText(12345), "*");
    Language = "FR";
    EXPECT_EQ(LText(9), "*");
    Language = "";
    EXPECT_EQ(LText(9), "*");
}

TEST_F(DataHelpers, LTextOnAClosedTableIsADatabaseError) {
    EXPECT_THROW(LText(9), EDatabaseError);
    frmTables = nullptr;
    EXPECT_THROW(LText(9), EDatabaseError);
}

TEST_F(DataHelpers, NextCodeIsTheLargestPlusOne) {
    tables.tblInterval->Open();
    EXPECT_EQ(NextCode(tables.tblInterval.get(), tables.tblInterval->FieldByName("INTERVAL_CODE")), 13);
    tables.tblModels->Open();
    EXPECT_EQ(NextCode(tables.tblModels.get(), tables.tblModels->FieldByName("MODEL_CODE")), 1);
}

TEST_F(DataHelpers, NextCodeSeesRowsPostedThroughAnotherCursor) {
    tables.tblInterval->Open();
    tables.tblInterval2->Open();
    tables.tblInterval2->Append(); // the new row's code (13) is given by the data rules
    ASSERT_EQ(tables.tblInterval2->FieldByName("INTERVAL_CODE")->AsInteger(), 13);
    tables.tblInterval2->Post();
    EXPECT_EQ(NextCode(tables.tblInterval.get(), tables.tblInterval->FieldByName("INTERVAL_CODE")), 14);
}

TEST(DataModuleSettings, CreatesTheSettingsTableFromItsFieldList) {
    TestFolder empty; // no database yet
    TfrmTables tables;
    EXPECT_THROW(tables.tblParams->Open(), EDatabaseError);
    tables.tblParams->CreateTable();
    EXPECT_EQ(empty.Read("SELECT name || ' ' || type FROM pragma_table_info('PARAMS')"),
              "NAME CHAR(50)|ADD1 CHAR(40)|ADD2 CHAR(40)|ADD3 CHAR(40)|ADD4 CHAR(40)|TELEPHONE CHAR(20)|"
              "FAX CHAR(20)|VAT_REG CHAR(12)|EMAIL CHAR(40)|PRINT_DETAILS BOOLEAN|PAGE_MARGIN SMALLINT|"
              "CUSTOMER_DETAILS BOOLEAN|MARKET_CODE CHAR(3)|LANG_CODE CHAR(2)|EMTEST_EQUIP BOOLEAN|"
              "BRTEST_EQUIP BOOLEAN|WEB CHAR(40)");
    tables.tblParams->Open();
    tables.tblParams->Append();
    tables.tblParams->FieldByName("MARKET_CODE")->SetAsString("GB");
    tables.tblParams->Post();
    EXPECT_EQ(empty.Read("SELECT MARKET_CODE FROM PARAMS"), "GB");
}

} // namespace
