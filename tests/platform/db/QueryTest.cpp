// The query component: named parameters, result fields by name, duplicate column names,
// read-only results and errors.
#include "Query.h"
#include "Exceptions.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace {

const char* kScript = R"(
CREATE TABLE MARKET (MARKET_CODE CHAR(3) PRIMARY KEY, DESCRIPTION CHAR(20), LANG1 CHAR(2), LANG2 CHAR(2));
INSERT INTO MARKET VALUES ('GB', 'Britain', 'EN', NULL), ('DX', 'Germany', 'DE', 'EN'), ('PL', 'Poland', 'PO', NULL);
CREATE TABLE MODELS (MODEL_CODE SMALLINT PRIMARY KEY, DESCRIPTION CHAR(20));
INSERT INTO MODELS VALUES (1, 'Alpha'), (2, 'Beta');
CREATE TABLE ENGINES (LANG_CODE CHAR(2), ENGINE_CODE SMALLINT, DESCRIPTION CHAR(50));
INSERT INTO ENGINES VALUES ('EN', 1, '1.6 Petrol'), ('DE', 1, '1,6 Benzin');
)";

class QueryTest : public ::testing::Test {
protected:
    TestFolder folder{kScript};
    TQuery q;
    void SetUp() override {
        q.SetName("qryTest");
        q.SetDatabaseName("KLV3Data");
    }
    std::string Walk(const std::string& field) {
        std::string out;
        for (q.First(); !q.Eof(); q.Next())
            out += (out.empty() ? "" : ",") + q.FieldByName(field)->AsString();
        return out;
    }
};

TEST_F(QueryTest, OneParameterNameStandingSeveralTimes) {
    q.SetSQL("Select * From Market Where Lang1 = :InLang Or Lang2 = :InLang Order By Description");
    ASSERT_EQ(q.ParamCount(), 1);
    q.ParamByName("inlang")->SetAsString("EN");
    q.Open();
    EXPECT_EQ(Walk("Description"), "Britain,Germany");
    EXPECT_EQ(q.FieldByName("market_code")->AsString(), "DX");
    q.Close();
    q.ParamByName("InLang")->SetAsString("FR");
    q.Open();
    EXPECT_TRUE(q.Eof());
}

TEST_F(QueryTest, DuplicateOutputColumnsGetASuffix) {
    q.SetSQL("Select M.Description, E.Description, E.Engine_Code From Models M, Engines E "
             "Where E.Lang_Code = :Language And M.Model_Code = E.Engine_Code");
    q.ParamByName("Language")->SetAsString("DE");
    q.RequestLive = true;
    q.Open();
    EXPECT_EQ(q.FieldByName("Description")->AsString(), "Alpha");
    EXPECT_EQ(q.FieldByName("Description_1")->AsString(), "1,6 Benzin");
    EXPECT_EQ(q.FieldByName("ENGINE_CODE")->AsInteger(), 1);
    EXPECT_EQ(q.FieldByName("Description_1")->Size(), 50);
}

TEST_F(QueryTest, ParametersKeepTheirValuesWhenTheStatementChanges) {
    q.SetSQL("Select Description From Market Where Lang1 = :L");
    q.ParamByName("L")->SetAsString("PO");
    q.SetSQL("Select Description From Market Where Lang1 = :L Or Lang2 = :Other");
    EXPECT_EQ(q.ParamCount(), 2);
    EXPECT_EQ(q.ParamByName("L")->AsString(), "PO");
    q.Open(); // an unassigned parameter is NULL and matches nothing
    EXPECT_EQ(Walk("DESCRIPTION"), "Poland");
}

TEST_F(QueryTest, ColonsInsideLiteralsAreNoParameters) {
    q.SetSQL("Select 'a:b' As T, Description From Market Where Market_Code = :Code");
    EXPECT_EQ(q.ParamCount(), 1);
    q.ParamByName("Code")->SetAsString("GB");
    q.Open();
    EXPECT_EQ(q.FieldByName("T")->AsString(), "a:b");
}

TEST_F(QueryTest, DistinctAndComputedColumns) {
    q.SetSQL("Select Distinct Lang1 From MARKET Order By Lang1");
    q.Open();
    EXPECT_EQ(Walk("LANG1"), "DE,EN,PO");
    q.SetSQL("Select Count(*) As N From MARKET");
    q.Open();
    EXPECT_EQ(q.FieldByName("N")->AsInteger(), 3);
}

TEST_F(QueryTest, ResultsAreReadOnly) {
    q.SetSQL("Select * From Market");
    q.Open();
    EXPECT_THROW(q.Edit(), EDatabaseError);
    EXPECT_THROW(q.Append(), EDatabaseError);
    EXPECT_THROW(q.Delete(), EDatabaseError);
    EXPECT_EQ(q.State(), dsBrowse);
    EXPECT_EQ(folder.Read("SELECT COUNT(*) FROM MARKET"), "3");
}

TEST_F(QueryTest, ErrorsNameTheQuery) {
    EXPECT_THROW(q.ParamByName("None"), EDatabaseError);
    q.SetSQL("Select * From NoTable");
    try {
        q.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message.find("qryTest"), std::string::npos) << e.Message;
        EXPECT_NE(e.Message.find("NoTable"), std::string::npos) << e.Message;
    }
    EXPECT_FALSE(q.Active());
    q.SetSQL("");
    EXPECT_THROW(q.Open(), EDatabaseError);
}

} // namespace
