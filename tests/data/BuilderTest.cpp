// Runs the sample-database builder on copies of the sources, sound and spoilt: a fault
// must stop it with the file and line named, and leave no database behind.
#include "TestDb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class Builder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sampledb-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        src_ = dir_ / "sample";
        fs::create_directories(src_);
        fs::copy_file(fs::path(testdata::SampleSourceDir()) / "schema.sql", src_ / "schema.sql");
        fs::copy(fs::path(testdata::SampleSourceDir()) / "tables", src_ / "tables");
        out_ = dir_ / "klv3data.sqlite";
    }
    void TearDown() override { fs::remove_all(dir_); }

    testdata::RunResult Build() {
        return testdata::Run(testdata::BinDir() + "build_sample_db '" + src_.string() + "' '" + out_.string() + "'");
    }

    // Appends a line to a table source; returns its line number.
    int AppendLine(const std::string& table, const std::string& line) {
        fs::path file = src_ / "tables" / (table + ".txt");
        int lines = 0;
        {
            std::ifstream in(file);
            std::string l;
            while (std::getline(in, l)) ++lines;
        }
        std::ofstream(file, std::ios::app) << line << "\n";
        return lines + 1;
    }

    // The builder failed, named the place of the fault and wrote no database.
    void ExpectRefused(const std::string& place, const std::string& reason) {
        auto r = Build();
        EXPECT_NE(r.status, 0) << r.output;
        EXPECT_NE(r.output.find(place), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(reason), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(out_));
        EXPECT_FALSE(fs::exists(out_.string() + ".part"));
    }

    fs::path dir_, src_, out_;
};

TEST_F(Builder, BuildsTheSoundSources) {
    auto r = Build();
    EXPECT_EQ(r.status, 0) << r.output;
    testdata::Db db(out_.string());
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Csstruct"),
              testdata::Db(testdata::BuiltDatabasePath()).Scalar("SELECT count(*) FROM Csstruct"));
}

TEST_F(Builder, RefusesAWrongNumberOfFields) {
    int line = AppendLine("Csstruct", "9990|GB|EN|0|0|0|101|N|N");
    ExpectRefused("Csstruct.txt:" + std::to_string(line), "9 fields where the table has 10 columns");
}

TEST_F(Builder, RefusesANonNumericCode) {
    int line = AppendLine("SERVOPS", "EN|12a|S|N|Text||||||||||N");
    ExpectRefused("SERVOPS.txt:" + std::to_string(line), "OP_CODE: \"12a\" is not a 16-bit integer");
}

TEST_F(Builder, RefusesANumberBeyondSixteenBits) {
    int line = AppendLine("INTERVAL", "9|40000|25000");
    ExpectRefused("INTERVAL.txt:" + std::to_string(line), "KMDISTANCE: \"40000\" is not a 16-bit integer");
}

TEST_F(Builder, RefusesABooleanThatIsNeitherTrueNorFalse) {
    int line = AppendLine("PDILinks", "1|999|Yes");
    ExpectRefused("PDILinks.txt:" + std::to_string(line), "Include: \"Yes\" is not True or False");
}

TEST_F(Builder, RefusesATextTheLanguageCodePageCannotHold) {
    // Greek letters in a Polish row: code page 1250 has no place for them.
    int line = AppendLine("LANGTEXT", "PO|999|Σέρβις");
    ExpectRefused("LANGTEXT.txt:" + std::to_string(line), "no place in code page 1250");
}

TEST_F(Builder, RefusesATextLongerThanItsField) {
    int line = AppendLine("LANGUAGE", "XX|" + std::string(21, 'A'));
    ExpectRefused("LANGUAGE.txt:" + std::to_string(line), "the column holds 20");
}

TEST_F(Builder, CountsTheFieldWidthInCodePageBytes) {
    // Fifty Greek letters are a hundred bytes of UTF-8 but fifty in code page 1253.
    std::string fifty;
    for (int i = 0; i < 50; ++i) fifty += "Ω";
    AppendLine("ENGINES", "GK|98|" + fifty + "||P|M");
    ASSERT_EQ(Build().status, 0);
    fs::remove(out_);
    int line = AppendLine("ENGINES", "GK|99|" + fifty + "Ω||P|M");
    ExpectRefused("ENGINES.txt:" + std::to_string(line), "the text has 51 characters, the column holds 50");
}

TEST_F(Builder, RefusesADuplicateKey) {
    int line = AppendLine("LANGTEXT", "EN|1|Another title");
    ExpectRefused("LANGTEXT.txt:" + std::to_string(line), "UNIQUE constraint failed");
}

TEST_F(Builder, RefusesAnEmptyKeyField) {
    int line = AppendLine("XMLConv", "|GB|en|EN");
    ExpectRefused("XMLConv.txt:" + std::to_string(line), "the key column ISOMarket is empty");
}

TEST_F(Builder, RefusesInvalidUtf8) {
    int line = AppendLine("ErrMess", "99|Bad \xE9 byte");
    ExpectRefused("ErrMess.txt:" + std::to_string(line), "not valid UTF-8");
}

TEST_F(Builder, RefusesAHeaderThatDoesNotNameTheColumns) {
    fs::path file = src_ / "tables" / "Version.txt";
    std::ofstream(file, std::ios::trunc) << "YearNo|MonthNo\n2026|11\n";
    ExpectRefused("Version.txt:1", "the header line must name the columns MonthNo|YearNo");
}

TEST_F(Builder, RefusesAMissingTableSource) {
    fs::remove(src_ / "tables" / "BCRDATES.txt");
    ExpectRefused("BCRDATES.txt", "cannot be opened");
}

TEST_F(Builder, RefusesASourceThatNamesNoTable) {
    std::ofstream(src_ / "tables" / "CSSTRUCT.txt") << "SEQUENCE_NO\n";
    ExpectRefused("CSSTRUCT.txt", "no table of schema.sql has this name");
}

TEST_F(Builder, SkipsCommentsAndEmptyLinesAndAcceptsBlanksAroundFields) {
    std::ofstream(src_ / "tables" / "BCRDATES.txt", std::ios::trunc)
        << "# release dates\n\nMarket_Code | Release_Date\r\n  GB |  04/2025 \r\n\n";
    auto r = Build();
    ASSERT_EQ(r.status, 0) << r.output;
    testdata::Db db(out_.string());
    EXPECT_EQ(db.Scalar("SELECT Market_Code || '=' || Release_Date FROM BCRDATES"), "GB=04/2025");
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM BCRDATES"), "1");
}

TEST_F(Builder, KeepsTheOldDatabaseOutOfReachOfAFailedBuild) {
    ASSERT_EQ(Build().status, 0);
    auto before = fs::last_write_time(out_);
    AppendLine("Csstruct", "broken");
    EXPECT_NE(Build().status, 0);
    ASSERT_TRUE(fs::exists(out_));
    EXPECT_EQ(fs::last_write_time(out_), before);
    EXPECT_FALSE(fs::exists(out_.string() + ".part"));
}

}  // namespace
