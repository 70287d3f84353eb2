// Checks the built sample database against the service-data layout the programs read:
// every table and field with its type, the keys, the texts the programs show, and that
// the checksheet structure, its links and the texts of every language fit together.
#include "TestDb.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

using testdata::Db;

namespace {

// Table: fields in order as "name type"; then the primary key.
struct ExpectedTable {
    const char* name;
    const char* fields;
    const char* key;
};

const ExpectedTable kTables[] = {
    {"LANGUAGE", "LANG_CODE CHAR(2),DESCRIPTION CHAR(20)", "LANG_CODE"},
    {"MARKET", "MARKET_CODE CHAR(3),DESCRIPTION CHAR(20),LANG1 CHAR(2),LANG2 CHAR(2),LANG3 CHAR(2),LANG4 CHAR(2),"
               "LANG5 CHAR(2),LANG6 CHAR(2),INTERVAL_TYPE CHAR(2)", "MARKET_CODE"},
    {"MODELS", "MODEL_CODE SMALLINT,DESCRIPTION CHAR(20)", "MODEL_CODE"},
    {"ENGINES", "LANG_CODE CHAR(2),ENGINE_CODE SMALLINT,DESCRIPTION CHAR(50),CATALYST CHAR(1),ENGINE_TYPE CHAR(1),"
                "DRIVETYPE CHAR(1)", "LANG_CODE,ENGINE_CODE"},
    {"INTERVAL", "INTERVAL_CODE SMALLINT,KMDISTANCE SMALLINT,MLDISTANCE SMALLINT", "INTERVAL_CODE"},
    {"Mranges", "MODEL_CODE SMALLINT,ENGINE_CODE SMALLINT,BUILD_DATE_FROM CHAR(7),MODEL_RANGE_CODE SMALLINT,"
                "INTERVAL_CODE SMALLINT,BUILD_DATE_TO CHAR(7),EX_LIMITRPM CHAR(20),EX_LIMITCO CHAR(20),"
                "EX_LIMITHC CHAR(20),EX_LAMBDA CHAR(20),WEIGHTKG INTEGER,OIL_LIMIT SMALLINT,NTSMOKE CHAR(10),"
                "TSMOKE CHAR(10),EX_LIMIT_FASTRPM CHAR(20),EX_LIMIT_FASTCO CHAR(20),SIL_Flag CHAR(1)",
     "MODEL_CODE,ENGINE_CODE,BUILD_DATE_FROM,MODEL_RANGE_CODE"},
    {"MAINHEAD", "LANG_CODE CHAR(2),MH_CODE SMALLINT,MH_EXTPER CHAR(1),BESPOKE CHAR(1),MH_TEXT CHAR(150)",
     "LANG_CODE,MH_CODE"},
    {"SUBHEAD", "LANG_CODE CHAR(2),SH_CODE SMALLINT,BESPOKE CHAR(1),SH_TEXT CHAR(150)", "LANG_CODE,SH_CODE"},
    {"SERVOPS", "LANG_CODE CHAR(2),OP_CODE SMALLINT,OP_TYPE CHAR(1),BESPOKE CHAR(1),OPERATION_TEXT1 CHAR(250),"
                "OPERATION_TEXT2 CHAR(250),PRETEST_TEXT1 CHAR(250),PRETEST_TEXT2 CHAR(250),COMBINED_TEXT1 CHAR(250),"
                "COMBINED_TEXT2 CHAR(250),EPDISTANCEKM INTEGER,EPDISTANCEML INTEGER,EPYEARS SMALLINT,"
                "EPMONTHS SMALLINT,EXT_PER CHAR(1)", "LANG_CODE,OP_CODE"},
    {"LANGTEXT", "LANG_CODE CHAR(2),TEXT_NO SMALLINT,LTEXT CHAR(250)", "LANG_CODE,TEXT_NO"},
    {"CODES", "NEXT_ENGINE SMALLINT,NEXT_MRANGE SMALLINT,NEXT_OPERATION SMALLINT,NEXT_MAIN_HEADING SMALLINT,"
              "NEXT_SUB_HEADING SMALLINT,NEXT_STRUCTURE SMALLINT,NEXT_MODEL SMALLINT,NEXT_PDIOP SMALLINT,"
              "NEXT_PDISTRUCTURE SMALLINT", ""},
    {"Csstruct", "SEQUENCE_NO SMALLINT,MARKET_CODE CHAR(3),LANG_CODE CHAR(2),MH_CODE SMALLINT,L1_SHCODE SMALLINT,"
                 "L2_SHCODE SMALLINT,OP_CODE SMALLINT,PARTS_FLAG CHAR(1),LABOUR_FLAG CHAR(1),SAFETY CHAR(1)",
     "SEQUENCE_NO"},
    {"CSLINKS", "MODEL_RANGE_CODE SMALLINT,CS_CODE SMALLINT,INTERVALS CHAR(30)", "MODEL_RANGE_CODE,CS_CODE"},
    {"PARAMS", "NAME CHAR(50),ADD1 CHAR(40),ADD2 CHAR(40),ADD3 CHAR(40),ADD4 CHAR(40),TELEPHONE CHAR(20),"
               "FAX CHAR(20),VAT_REG CHAR(12),EMAIL CHAR(40),PRINT_DETAILS BOOLEAN,PAGE_MARGIN SMALLINT,"
               "CUSTOMER_DETAILS BOOLEAN,MARKET_CODE CHAR(3),LANG_CODE CHAR(2),EMTEST_EQUIP BOOLEAN,"
               "BRTEST_EQUIP BOOLEAN,WEB CHAR(40)", ""},
    {"VINDATES", "YEAR_CODE CHAR(1),YEAR INTEGER,MONTH_CODES CHAR(12)", "YEAR_CODE"},
    {"Version", "MonthNo INTEGER,YearNo INTEGER", ""},
    {"ErrMess", "MessageNo INTEGER,MessageText CHAR(100)", "MessageNo"},
    {"AltBDate", "MRange_Code INTEGER,Market CHAR(3),DateFrom CHAR(7),DateTo CHAR(7)", "MRange_Code,Market"},
    {"PKXMap", "PKX CHAR(8),Model_Range_Code INTEGER,Interval_No SMALLINT", "PKX,Model_Range_Code"},
    {"PDIOps", "LANG_CODE CHAR(2),OP_CODE SMALLINT,BESPOKE CHAR(1),OPERATION_TEXT CHAR(250),BOXES SMALLINT",
     "LANG_CODE,OP_CODE"},
    {"pdstruct", "SEQUENCE_NO SMALLINT,MARKET_CODE CHAR(3),LANG_CODE CHAR(2),MH_CODE SMALLINT,OP_CODE SMALLINT",
     "SEQUENCE_NO"},
    {"PDILinks", "MODEL_CODE SMALLINT,CS_CODE SMALLINT,Include BOOLEAN", "MODEL_CODE,CS_CODE"},
    {"SACOps", "LANG_CODE CHAR(2),OP_CODE SMALLINT,BESPOKE CHAR(1),OPERATION_TEXT CHAR(250),BOXES SMALLINT",
     "LANG_CODE,OP_CODE"},
    {"SAStruct", "SEQUENCE_NO SMALLINT,MARKET_CODE CHAR(3),LANG_CODE CHAR(2),MH_CODE SMALLINT,OP_CODE SMALLINT",
     "SEQUENCE_NO"},
    {"SACLinks", "MODEL_CODE SMALLINT,CS_CODE SMALLINT,Include BOOLEAN", "MODEL_CODE,CS_CODE"},
    {"AVSCODES", "AVSCODE CHAR(6),DRIVETYPE CHAR(1)", "AVSCODE"},
    {"XMLConv", "ISOMarket CHAR(3),VETRAMarket CHAR(3),ISOLanguage CHAR(2),VETRALanguage CHAR(2)", "ISOMarket"},
    {"BCRDATES", "Market_Code CHAR(3),Release_Date CHAR(7)", "Market_Code"},
};

// Every text number that the programs show or print.
const int kTextNumbers[] = {
    1,   2,   4,   5,   6,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,  19,  20,  21,  22,  24,
    25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  39,  41,  42,  43,  44,  45,  46,  47,  48,
    49,  50,  51,  52,  53,  56,  58,  59,  61,  62,  63,  64,  65,  66,  67,  68,  69,  70,  71,  73,  74,
    79,  82,  83,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,  96,  98,  100, 102, 106, 110, 112,
    113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 127, 128, 129, 133, 134, 135, 136, 138,
    140, 143, 144, 149, 150, 151, 152, 153, 154, 155, 156, 158, 159, 160, 161, 162, 163, 164, 165, 166, 167,
    168, 169, 170, 171, 172, 173, 174, 175, 176, 177, 178, 179, 181, 182, 183, 184, 185, 186, 187,
};

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::stringstream in(s);
    std::string part;
    while (std::getline(in, part, sep)) parts.push_back(part);
    return parts;
}

class SampleDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db_ = new Db(testdata::BuiltDatabasePath()); }
    static void TearDownTestSuite() {
        delete db_;
        db_ = nullptr;
    }
    static std::vector<std::string> Languages() {
        std::vector<std::string> langs;
        for (const auto& r : db_->Query("SELECT LANG_CODE FROM LANGUAGE")) langs.push_back(*r[0]);
        return langs;
    }
    static Db* db_;
};

Db* SampleDatabase::db_ = nullptr;

// ---- layout

TEST_F(SampleDatabase, HasExactlyTheTablesOfTheServiceData) {
    std::set<std::string> expected, found;
    for (const auto& t : kTables) expected.insert(t.name);
    for (const auto& r : db_->Query("SELECT name FROM sqlite_master WHERE type = 'table'")) found.insert(*r[0]);
    EXPECT_EQ(found, expected);
}

TEST_F(SampleDatabase, EveryTableHasItsFieldsInOrderWithTheirTypesAndItsKey) {
    for (const auto& t : kTables) {
        std::string fields, key;
        std::map<int, std::string> keyParts;
        for (const auto& r : db_->Query(std::string("PRAGMA table_info(\"") + t.name + "\")")) {
            fields += (fields.empty() ? "" : ",") + *r[1] + " " + *r[2];
            if (std::stoi(*r[5]) > 0) keyParts[std::stoi(*r[5])] = *r[1];
        }
        for (const auto& [pos, name] : keyParts) key += (key.empty() ? "" : ",") + name;
        EXPECT_EQ(fields, t.fields) << t.name;
        EXPECT_EQ(key, t.key) << t.name;
    }
}

TEST_F(SampleDatabase, ModelRangesHaveTheSecondaryIndexMrange) {
    auto cols = db_->Query("PRAGMA index_info(\"mrange\")");
    ASSERT_EQ(cols.size(), 1u);
    EXPECT_EQ(*cols[0][2], "MODEL_RANGE_CODE");
    EXPECT_EQ(db_->Scalar("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = 'mrange'"), "Mranges");
    EXPECT_EQ(db_->Scalar("SELECT count(*) - count(DISTINCT MODEL_RANGE_CODE) FROM Mranges"), "0");
}

TEST_F(SampleDatabase, NoKeyFieldIsEmpty) {
    for (const auto& t : kTables) {
        if (!*t.key) continue;
        std::string cond;
        for (const auto& k : Split(t.key, ',')) cond += (cond.empty() ? "" : " OR ") + ("\"" + k + "\" IS NULL");
        EXPECT_EQ(db_->Scalar(std::string("SELECT count(*) FROM \"") + t.name + "\" WHERE " + cond), "0") << t.name;
    }
}

TEST_F(SampleDatabase, SingleRowTablesHoldOneRow) {
    for (const char* t : {"CODES", "PARAMS", "Version"})
        EXPECT_EQ(db_->Scalar(std::string("SELECT count(*) FROM \"") + t + "\""), "1") << t;
    EXPECT_EQ(db_->Scalar("SELECT MonthNo BETWEEN 1 AND 12 FROM Version"), "1");
}

TEST_F(SampleDatabase, TextsAreStoredAsTextAndIntegersAsIntegers) {
    EXPECT_EQ(db_->Scalar("SELECT DISTINCT typeof(LTEXT) FROM LANGTEXT"), "text");
    EXPECT_EQ(db_->Scalar("SELECT DISTINCT typeof(TEXT_NO) FROM LANGTEXT"), "integer");
    EXPECT_EQ(db_->Scalar("SELECT typeof(PRINT_DETAILS) || PRINT_DETAILS FROM PARAMS"), "integer1");
}

// ---- texts

TEST_F(SampleDatabase, EveryTextNumberExistsInEveryLanguage) {
    auto langs = Languages();
    ASSERT_GE(langs.size(), 4u);
    for (const auto& lang : langs)
        for (int n : kTextNumbers) {
            std::string text = db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = ? AND TEXT_NO = " +
                                               std::to_string(n), {lang});
            EXPECT_FALSE(text.empty() || text == "*") << lang << " text " << n;
        }
}

TEST_F(SampleDatabase, AcceleratorTextsCarryTheirAmpersand) {
    for (const auto& lang : Languages())
        for (int n : {5, 135, 173})
            EXPECT_NE(db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = ? AND TEXT_NO = " + std::to_string(n),
                                  {lang}).find('&'), std::string::npos)
                << lang << " " << n;
}

TEST_F(SampleDatabase, FirstIntervalTextIsNotPartOfTheOtherIntervalItems) {
    // The checksheet form tells the first-interval item from the others by this text.
    for (const auto& lang : Languages()) {
        std::string first = db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = ? AND TEXT_NO = 61", {lang});
        std::string service = db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = ? AND TEXT_NO = 174", {lang});
        EXPECT_EQ(("20 " + service + "    (300000 km)").find(first), std::string::npos) << lang;
        EXPECT_EQ(("1. " + service + "    (15000 km)").find(first), std::string::npos) << lang;
    }
}

TEST_F(SampleDatabase, GreekTextsAreInCodePage1253) {
    // "Σέρβις" (service) in the Greek code page.
    EXPECT_EQ(testdata::Hex(db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = 'GK' AND TEXT_NO = 31")),
              "D3 DD F1 E2 E9 F2");
    // "ΧΩΡΟΣ ΚΙΝΗΤΗΡΑ" (engine compartment), a main heading.
    EXPECT_EQ(testdata::Hex(db_->Scalar("SELECT MH_TEXT FROM MAINHEAD WHERE LANG_CODE = 'GK' AND MH_CODE = 3")),
              "D7 D9 D1 CF D3 20 CA C9 CD C7 D4 C7 D1 C1");
}

TEST_F(SampleDatabase, PolishTextsAreInCodePage1250) {
    // "Język" (language) and "Październik" (October).
    EXPECT_EQ(testdata::Hex(db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = 'PO' AND TEXT_NO = 32")),
              "4A EA 7A 79 6B");
    EXPECT_EQ(testdata::Hex(db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = 'PO' AND TEXT_NO = 170")),
              "50 61 9F 64 7A 69 65 72 6E 69 6B");
}

TEST_F(SampleDatabase, OtherTextsAreInCodePage1252) {
    // "März" (March) in German.
    EXPECT_EQ(testdata::Hex(db_->Scalar("SELECT LTEXT FROM LANGTEXT WHERE LANG_CODE = 'DE' AND TEXT_NO = 163")),
              "4D E4 72 7A");
    // The pilcrow of the service-data reference in the road test.
    EXPECT_NE(db_->Scalar("SELECT OPERATION_TEXT1 || ifnull(OPERATION_TEXT2, '') FROM SERVOPS "
                          "WHERE LANG_CODE = 'EN' AND OP_CODE = 701").find('\xB6'), std::string::npos);
}

// ---- vehicles

TEST_F(SampleDatabase, ModelRangesReferToModelsEnginesAndIntervals) {
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM Mranges R WHERE NOT EXISTS (SELECT 1 FROM MODELS M WHERE "
                          "M.MODEL_CODE = R.MODEL_CODE)"), "0");
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM Mranges R WHERE NOT EXISTS (SELECT 1 FROM INTERVAL I WHERE "
                          "I.INTERVAL_CODE = R.INTERVAL_CODE)"), "0");
    for (const auto& lang : Languages())
        EXPECT_EQ(db_->Scalar("SELECT count(*) FROM Mranges R WHERE NOT EXISTS (SELECT 1 FROM ENGINES E WHERE "
                              "E.ENGINE_CODE = R.ENGINE_CODE AND E.LANG_CODE = ?)", {lang}), "0") << lang;
}

TEST_F(SampleDatabase, EnginesCoverEveryFuelTypeAndBothCatalystKinds) {
    for (const char* type : {"P", "D", "L", "C"})
        EXPECT_TRUE(db_->Exists("SELECT 1 FROM ENGINES E JOIN Mranges R ON R.ENGINE_CODE = E.ENGINE_CODE "
                                "WHERE E.ENGINE_TYPE = ?", {type})) << type;
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM ENGINES WHERE ENGINE_TYPE = 'P' AND CATALYST = 'N'"));
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM ENGINES WHERE ENGINE_TYPE = 'P' AND CATALYST IS NULL"));
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM ENGINES WHERE DRIVETYPE NOT IN ('M', 'A') OR DRIVETYPE IS NULL"), "0");
}

TEST_F(SampleDatabase, BuildDatesAreMonthAndYear) {
    auto isMonthYear = [](const std::optional<std::string>& s) {
        if (!s) return true;
        if (s->size() != 7 || (*s)[2] != '/') return false;
        int month = std::stoi(s->substr(0, 2));
        return month >= 1 && month <= 12 && s->substr(3).find_first_not_of("0123456789") == std::string::npos;
    };
    for (const auto& r : db_->Query("SELECT BUILD_DATE_FROM, BUILD_DATE_TO FROM Mranges"))
        EXPECT_TRUE(r[0] && isMonthYear(r[0]) && isMonthYear(r[1])) << r[0].value_or("");
    for (const auto& r : db_->Query("SELECT DateFrom, DateTo FROM AltBDate UNION ALL "
                                    "SELECT Release_Date, NULL FROM BCRDATES"))
        EXPECT_TRUE(isMonthYear(r[0]) && isMonthYear(r[1])) << r[0].value_or("");
}

TEST_F(SampleDatabase, IntervalsHaveMoreKilometresThanMiles) {
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM INTERVAL WHERE NOT (KMDISTANCE > MLDISTANCE AND MLDISTANCE >= 1000)"),
              "0");
}

TEST_F(SampleDatabase, MarketsOfferKnownLanguagesAndAKnownDistanceUnit) {
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM MARKET WHERE INTERVAL_TYPE NOT IN ('km', 'ml')"), "0");
    for (const char* col : {"LANG1", "LANG2", "LANG3", "LANG4", "LANG5", "LANG6"})
        EXPECT_EQ(db_->Scalar(std::string("SELECT count(*) FROM MARKET WHERE ") + col + " IS NOT NULL AND " + col +
                              " NOT IN (SELECT LANG_CODE FROM LANGUAGE)"), "0") << col;
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM MARKET WHERE LANG1 IS NULL"), "0");
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM XMLConv WHERE VETRAMarket NOT IN (SELECT MARKET_CODE FROM MARKET) "
                          "OR VETRALanguage NOT IN (SELECT LANG_CODE FROM LANGUAGE)"), "0");
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM PARAMS P JOIN MARKET M ON M.MARKET_CODE = P.MARKET_CODE "
                            "JOIN LANGUAGE L ON L.LANG_CODE = P.LANG_CODE"));
}

TEST_F(SampleDatabase, EveryMarketOfferedAtFirstInstallationHasARowWithTexts) {
    for (const char* market : {"GB", "BX", "DX", "AX", "FX", "EX", "PX", "IX", "NL", "CH", "NX", "DK", "SF",
                               "SX", "HR", "BG", "RO", "SI", "UA", "CS", "GR", "PL", "HX", "TR", "RU"}) {
        // The default language has the program's captions.
        EXPECT_TRUE(db_->Exists("SELECT 1 FROM MARKET M JOIN LANGTEXT T ON T.LANG_CODE = M.LANG1 "
                                "WHERE M.MARKET_CODE = ?1 AND T.TEXT_NO = 1",
                                {market}))
            << market;
    }
}

TEST_F(SampleDatabase, VinMonthCodesAreTwelveDistinctLetters) {
    for (const auto& r : db_->Query("SELECT YEAR_CODE, MONTH_CODES FROM VINDATES")) {
        ASSERT_TRUE(r[1]);
        EXPECT_EQ(r[1]->size(), 12u) << *r[0];
        EXPECT_EQ(std::set<char>(r[1]->begin(), r[1]->end()).size(), r[1]->size()) << *r[0];
    }
}

TEST_F(SampleDatabase, HandOffCodesMapToModelRangesAndIntervals) {
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM PKXMap WHERE Model_Range_Code NOT IN "
                          "(SELECT MODEL_RANGE_CODE FROM Mranges) OR Interval_No NOT BETWEEN 1 AND 21"), "0");
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM AVSCODES WHERE DRIVETYPE NOT IN ('A', 'M')"), "0");
}

TEST_F(SampleDatabase, NextCodesLieBeyondTheCodesInUse) {
    EXPECT_EQ(db_->Scalar("SELECT NEXT_ENGINE > (SELECT max(ENGINE_CODE) FROM ENGINES) AND "
                          "NEXT_MRANGE > (SELECT max(MODEL_RANGE_CODE) FROM Mranges) AND "
                          "NEXT_OPERATION > (SELECT max(OP_CODE) FROM SERVOPS) AND "
                          "NEXT_MAIN_HEADING > (SELECT max(MH_CODE) FROM MAINHEAD) AND "
                          "NEXT_SUB_HEADING > (SELECT max(SH_CODE) FROM SUBHEAD) AND "
                          "NEXT_STRUCTURE > (SELECT max(SEQUENCE_NO) FROM Csstruct) AND "
                          "NEXT_MODEL > (SELECT max(MODEL_CODE) FROM MODELS) FROM CODES"), "1");
}

TEST_F(SampleDatabase, TheDataModuleQueriesRunAndFindRows) {
    // The variant query of the checksheet form, as the data module states it.
    const std::string variants =
        "Select Model_Range_Code, M.Model_Code, R.Engine_Code, M.Description, E.Description, E.Catalyst, "
        "Build_Date_From, Build_Date_To, SIL_Flag, R.Interval_Code, Oil_Limit, Ex_LimitRPM, Ex_LimitCO, Ex_LimitHC, "
        "Ex_Lambda, Ex_Limit_FastRPM, Ex_Limit_FastCO, NTSmoke, TSmoke, WeightKG, I.kmDistance, I.mlDistance "
        "From MRanges R, Models M, Engines E, Interval I Where R.Model_Code = M.Model_Code And "
        "(R.Engine_Code = E.Engine_Code And E.Lang_Code = :Language) And R.Interval_Code = I.Interval_Code "
        "Order By M.Description, E.Description, R.Build_Date_From";
    std::string ranges = db_->Scalar("SELECT count(*) FROM Mranges");
    for (const auto& lang : Languages())
        EXPECT_EQ(std::to_string(db_->Query(variants, {lang}).size()), ranges) << lang;
    const std::string markets =
        "Select * From Market Where Lang1 = :InLang Or Lang2 = :InLang Or Lang3 = :InLang Or Lang4 = :InLang "
        "Or Lang5 = :InLang Or Lang6 = :InLang Order By Description";
    EXPECT_EQ(db_->Query(markets, {"EN"}).size(), 26u);  // every market offers English
    EXPECT_EQ(db_->Query(markets, {"DE"}).size(), 4u);
    EXPECT_EQ(db_->Query(markets, {"GK"}).size(), 1u);
    EXPECT_TRUE(db_->Query(markets, {"FR"}).empty());
    for (const char* col : {"OIL_LIMIT", "EX_LIMITRPM", "EX_LIMITCO", "EX_LIMITHC", "EX_LAMBDA", "WEIGHTKG",
                            "EX_LIMIT_FASTRPM", "EX_LIMIT_FASTCO", "NTSmoke", "TSmoke"})
        EXPECT_GE(db_->Query(std::string("Select Distinct ") + col + " From MRANGES").size(), 2u) << col;
}

// ---- checksheet structure

TEST_F(SampleDatabase, StructureHasAtLeast150RowsStartingWithAMainHeading) {
    EXPECT_GE(std::stoi(db_->Scalar("SELECT count(*) FROM Csstruct")), 150);
    EXPECT_NE(db_->Scalar("SELECT MH_CODE FROM Csstruct ORDER BY SEQUENCE_NO LIMIT 1"), "0");
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM Csstruct WHERE (MH_CODE > 0) = (OP_CODE > 0)"), "0");
    EXPECT_GE(std::stoi(db_->Scalar("SELECT count(DISTINCT MH_CODE) FROM Csstruct WHERE MH_CODE > 0")), 5);
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM Csstruct WHERE L1_SHCODE > 0"));
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM Csstruct WHERE L2_SHCODE > 0"));
}

TEST_F(SampleDatabase, StructureCodesResolveInEveryLanguageTheRowIsShownIn) {
    // Rows of market GB and language EN appear on every checksheet, and the report looks
    // their headings and operations up in the checksheet's language.
    auto langs = Languages();
    int rows = 0;
    for (const auto& r : db_->Query("SELECT SEQUENCE_NO, LANG_CODE, MH_CODE, L1_SHCODE, L2_SHCODE, OP_CODE, "
                                    "MARKET_CODE FROM Csstruct")) {
        std::vector<std::string> shownIn = *r[6] == "GB" && *r[1] == "EN" ? langs : std::vector<std::string>{*r[1]};
        for (const auto& lang : shownIn) {
            auto exists = [&](const char* sql, const std::string& code) {
                return code == "0" || db_->Exists(sql, {lang, code});
            };
            EXPECT_TRUE(exists("SELECT 1 FROM MAINHEAD WHERE LANG_CODE = ? AND MH_CODE = ?", *r[2]))
                << "row " << *r[0] << " heading in " << lang;
            for (int col : {3, 4}) {
                EXPECT_TRUE(exists("SELECT 1 FROM SUBHEAD WHERE LANG_CODE = ? AND SH_CODE = ?", *r[col]))
                    << "row " << *r[0] << " sub-heading in " << lang;
            }
            EXPECT_TRUE(exists("SELECT 1 FROM SERVOPS WHERE LANG_CODE = ? AND OP_CODE = ?", *r[5]))
                << "row " << *r[0] << " operation in " << lang;
        }
        ++rows;
    }
    EXPECT_GT(rows, 0);
}

TEST_F(SampleDatabase, StructureHasRowsOfOtherMarketsAndLanguages) {
    for (const char* ml : {"DX/DE", "PL/PO", "GR/GK"})
        EXPECT_TRUE(db_->Exists("SELECT 1 FROM Csstruct WHERE MARKET_CODE || '/' || LANG_CODE = ?", {ml})) << ml;
}

TEST_F(SampleDatabase, EveryLanguageHasOneExtendedPeriodHeadingWithOperations) {
    for (const auto& lang : Languages())
        EXPECT_EQ(db_->Scalar("SELECT count(*) FROM MAINHEAD WHERE LANG_CODE = ? AND MH_EXTPER = 'Y'", {lang}), "1")
            << lang;
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM MAINHEAD WHERE MH_EXTPER NOT IN ('Y', 'N')"), "0");
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM SERVOPS WHERE EXT_PER = 'Y'"));
}

TEST_F(SampleDatabase, OperationTypesAreServicePretestOrBoth) {
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM SERVOPS WHERE OP_TYPE NOT IN ('S', 'P', 'B') OR OP_TYPE IS NULL"), "0");
    for (const char* t : {"S", "P", "B"})
        EXPECT_TRUE(db_->Exists("SELECT 1 FROM SERVOPS WHERE OP_TYPE = ?", {t})) << t;
    // Every operation has a service text: the pre-test and combined texts fall back to it.
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM SERVOPS WHERE OPERATION_TEXT1 IS NULL"), "0");
}

TEST_F(SampleDatabase, TextsCarryEveryMarker) {
    auto opText = std::string("(OPERATION_TEXT1 || ifnull(OPERATION_TEXT2, ''))");
    for (const char* pattern : {"%^%", "%~%", "%\\_\\_%", "%$", "%$%_%", "*%"})
        EXPECT_TRUE(db_->Exists("SELECT 1 FROM SERVOPS WHERE " + opText + " LIKE ? ESCAPE '\\'", {pattern}))
            << pattern;
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM MAINHEAD WHERE MH_TEXT LIKE '%$'"));
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM SUBHEAD WHERE SH_TEXT LIKE '%$'"));
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM ENGINES WHERE DESCRIPTION LIKE '%$'"));
    EXPECT_TRUE(db_->Exists("SELECT 1 FROM SERVOPS WHERE OPERATION_TEXT2 IS NOT NULL"));
}

// ---- links

TEST_F(SampleDatabase, LinkIntervalsAreAtLeast21YesOrNo) {
    for (const auto& r : db_->Query("SELECT MODEL_RANGE_CODE, CS_CODE, INTERVALS FROM CSLINKS")) {
        ASSERT_TRUE(r[2]) << *r[0] << "/" << *r[1];
        EXPECT_GE(r[2]->size(), 21u) << *r[0] << "/" << *r[1];
        EXPECT_EQ(r[2]->find_first_not_of("YN"), std::string::npos) << *r[0] << "/" << *r[1];
    }
}

TEST_F(SampleDatabase, LinksReferToOperationRowsAndModelRanges) {
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM CSLINKS L WHERE NOT EXISTS (SELECT 1 FROM Csstruct S WHERE "
                          "S.SEQUENCE_NO = L.CS_CODE AND S.OP_CODE > 0)"), "0");
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM CSLINKS WHERE MODEL_RANGE_CODE NOT IN "
                          "(SELECT MODEL_RANGE_CODE FROM Mranges)"), "0");
    EXPECT_EQ(db_->Scalar("SELECT count(*) FROM Mranges R WHERE NOT EXISTS (SELECT 1 FROM CSLINKS L WHERE "
                          "L.MODEL_RANGE_CODE = R.MODEL_RANGE_CODE)"), "0");
}

TEST_F(SampleDatabase, ExtendedPeriodOperationsCanBeOfferedAndOneIsNot) {
    // The dialog offers an operation whose link has Y in every position from 2 to 21.
    std::string sql =
        "SELECT count(*) FROM CSLINKS L JOIN Csstruct S ON S.SEQUENCE_NO = L.CS_CODE "
        "JOIN SERVOPS O ON O.OP_CODE = S.OP_CODE AND O.LANG_CODE = 'EN' WHERE O.EXT_PER = 'Y' AND "
        "substr(L.INTERVALS, 2, 20) ";
    EXPECT_GT(std::stoi(db_->Scalar(sql + "= 'YYYYYYYYYYYYYYYYYYYY'")), 0);
    EXPECT_GT(std::stoi(db_->Scalar(sql + "<> 'YYYYYYYYYYYYYYYYYYYY'")), 0);
}

}  // namespace
