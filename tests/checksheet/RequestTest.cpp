// XML requests: the record parser with every message and the conversion of fields 3 and 4, and
// the request lines of a request file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <string>
#include <vector>

#include "FormsScript.h"
#include "TolmLib.h"
#include "vetrav3.h"

namespace {

const std::string kLine = "Command Line parameter string\r\n";

class Request : public ::testing::Test {
protected:
    void SetUp() override {
        FormsScript::Reset();
        ReqModelRange = ReqInterval = ReqService = ReqPreTest = ReqEmission = ReqBrake = "";
        XMLMarket = XMLLanguage = "";
    }
    /// Parses a record; returns the one message shown ("" when none was).
    std::string Parse(const std::string& record, char mode = 'C') {
        RequestLine = record;
        const bool valid = ParseXMLRequest(mode);
        const auto& shown = FormsScript::Messages();
        EXPECT_EQ(valid, shown.empty()) << record;
        if (shown.empty()) return "";
        EXPECT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Kind, "Error");
        return shown[0].Text;
    }
};

}  // namespace

TEST_F(Request, ValidRecordFillsTheRequestFields) {
    EXPECT_EQ(Parse("GB,EN,123,0,Y,N,N,N"), "");
    EXPECT_EQ(XMLMarket, "GB");
    EXPECT_EQ(XMLLanguage, "EN");
    EXPECT_EQ(ReqModelRange, "123");
    EXPECT_EQ(ReqInterval, "1");
    EXPECT_EQ(ReqService, "Y");
    EXPECT_EQ(ReqPreTest, "N");
    EXPECT_EQ(ReqEmission, "N");
    EXPECT_EQ(ReqBrake, "N");
}

TEST_F(Request, NumbersAreConvertedAndIndicatorsUpperCased) {
    EXPECT_EQ(Parse("GB,EN,0123,20,y,n,n,n"), "");
    EXPECT_EQ(ReqModelRange, "123");
    EXPECT_EQ(ReqInterval, "21");
    EXPECT_EQ(ReqService, "Y");
    EXPECT_EQ(ReqBrake, "N");
    // Leading blanks, signs and hexadecimal forms as the runtime reads them.
    EXPECT_EQ(Parse("GB,EN, 0123,$14,N,N,N,Y"), "");
    EXPECT_EQ(ReqModelRange, "123");
    EXPECT_EQ(ReqInterval, "21");
    FormsScript::Reset();
    EXPECT_EQ(Parse("DE,DE,+7,0x0A,N,Y,N,N"), "");
    EXPECT_EQ(ReqModelRange, "7");
    EXPECT_EQ(ReqInterval, "11");
    // Market and language are taken as they stand.
    EXPECT_EQ(XMLMarket, "DE");
}

TEST_F(Request, CommaCountOtherThanSevenIsTheOnlyMessage) {
    EXPECT_EQ(Parse("GB,EN,123,0,Y,N,N"), "Wrong number of comma delimiters (expected = 7) in " + kLine);
    FormsScript::Reset();
    EXPECT_EQ(Parse(",,,,,,,,"), "Wrong number of comma delimiters (expected = 7) in " + kLine);
    FormsScript::Reset();
    EXPECT_EQ(Parse(""), "Wrong number of comma delimiters (expected = 7) in " + kLine);
}

TEST_F(Request, EveryFaultIsListedInFieldOrder) {
    EXPECT_EQ(Parse(",,123,0,Y,N,N,N"), "Missing Market Code in " + kLine + "Missing Language Code in " + kLine);
    FormsScript::Reset();
    EXPECT_EQ(Parse("GB,EN,,,,,,"), "Missing Model Range in " + kLine + "Missing Interval number in " + kLine +
                                        "Missing Service indicator (Y/N) in " + kLine +
                                        "Missing PreTest indicator (Y/N) in " + kLine +
                                        "Missing Emission Test indicator (Y/N) in " + kLine +
                                        "Missing Brake Test indicator (Y/N) in " + kLine);
    FormsScript::Reset();
    EXPECT_EQ(Parse("GB,EN,12a,1z,YES,Q,n,YY"),
              "Model Range code not numeric in " + kLine + "Interval number not numeric in " + kLine +
                  "Service indicator (Y/N) too long in " + kLine + "PreTest indicator must be Y or N in " + kLine +
                  "Brake Test indicator (Y/N) too long in " + kLine);
}

TEST_F(Request, IntervalOutsideZeroToTwentyIsRefused) {
    EXPECT_EQ(Parse("GB,EN,123,21,Y,N,N,N"), "Interval number not in range 0-20 in " + kLine);
    FormsScript::Reset();
    EXPECT_EQ(Parse("GB,EN,123,-1,Y,N,N,N"), "Interval number not in range 0-20 in " + kLine);
}

TEST_F(Request, BlanksAreNotTrimmed) {
    EXPECT_EQ(Parse("GB,EN,123 ,0,Y,N,N,N"), "Model Range code not numeric in " + kLine);
    FormsScript::Reset();
    EXPECT_EQ(Parse("GB,EN,123,0, Y,N,N,N "),
              "Service indicator (Y/N) too long in " + kLine + "Brake Test indicator (Y/N) too long in " + kLine);
}

TEST_F(Request, FourNoIndicatorsAskForAtLeastOneYes) {
    EXPECT_EQ(Parse("GB,EN,123,0,N,N,N,N"), "At least 1 checksheet request must be set to Y - see " + kLine);
}

TEST_F(Request, FileRecordsNameTheirNumber) {
    RecordNo = 3;
    EXPECT_EQ(Parse("GB,EN,123,0,N,N,N,N", 'B'),
              "At least 1 checksheet request must be set to Y - see Input record 3\r\n");
}

TEST(RequestLines, CrLfEndsLikeLfAndAFinalLineEndMakesNoRecord) {
    EXPECT_EQ(SplitRequestLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitRequestLines("a\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitRequestLines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitRequestLines("").empty());
    EXPECT_EQ(SplitRequestLines("\n"), (std::vector<std::string>{""}));
}

TEST(RequestLines, EveryKindOfLineEndEndsARequest) {
    const std::vector<std::string> three = {"a", "b", "c"};
    EXPECT_EQ(SplitRequestLines("a\rb\rc"), three);
    EXPECT_EQ(SplitRequestLines("a\rb\rc\r"), three);
    EXPECT_EQ(SplitRequestLines("a\r\nb\nc\r"), three);
    // LF CR is two line ends; CR CR an empty line between.
    EXPECT_EQ(SplitRequestLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitRequestLines("a\r\rb"), (std::vector<std::string>{"a", "", "b"}));
}

TEST(RequestLines, AByteOrderMarkAtTheStartIsSkipped) {
    EXPECT_EQ(SplitRequestLines("\xEF\xBB\xBFGB,EN\r\nGB"), (std::vector<std::string>{"GB,EN", "GB"}));
    EXPECT_TRUE(SplitRequestLines("\xEF\xBB\xBF").empty());
    // Only at the very start, and only whole.
    EXPECT_EQ(SplitRequestLines("a\n\xEF\xBB\xBF" "b"), (std::vector<std::string>{"a", "\xEF\xBB\xBF" "b"}));
    EXPECT_EQ(SplitRequestLines("\xEF\xBBx"), (std::vector<std::string>{"\xEF\xBBx"}));
    EXPECT_EQ(SplitRequestLines("\xEF\xBB\n"), (std::vector<std::string>{"\xEF\xBB"}));
}

TEST(RequestLines, LinesAreReadPieceByPieceWhateverTheFileSize) {
    // A source that hands out one byte at a time, and one whose line is far longer than any
    // request: the reader keeps only a bounded part of it and goes on with the next line.
    std::string text = "GB,EN,1,0,Y,N,N,N\r\n" + std::string(3 * TRequestLineReader::kMaxRequestLine, 'x') + "\nlast";
    std::size_t at = 0;
    std::size_t calls = 0;
    TRequestLineReader reader([&](char* buffer, std::size_t) -> std::size_t {
        ++calls;
        if (at == text.size()) return 0;
        buffer[0] = text[at++];
        return 1;
    });
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "GB,EN,1,0,Y,N,N,N");
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line.size(), TRequestLineReader::kMaxRequestLine);
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_GE(calls, text.size());
}

TEST(RequestLines, OnlyARegularFileOpensAsARequestFile) {
    const std::string folder = ::testing::TempDir() + "vetra-request-kinds";
    std::string command = "rm -rf '" + folder + "' && mkdir -p '" + folder + "' && mkfifo '" + folder + "/fifo'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(OpenRequestFile(folder), -1);
    EXPECT_EQ(OpenRequestFile(folder + "/fifo"), -1);  // and it does not wait for a writer
    EXPECT_EQ(OpenRequestFile("/dev/null"), -1);
    EXPECT_EQ(OpenRequestFile(folder + "/missing"), -1);
    std::FILE* f = std::fopen((folder + "/file").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const int fd = OpenRequestFile(folder + "/file");
    EXPECT_GE(fd, 0);
    if (fd >= 0) ::close(fd);
    std::system(("rm -rf '" + folder + "'").c_str());
}
