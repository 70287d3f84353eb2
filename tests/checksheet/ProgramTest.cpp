// The program started in each of its ways, as a separate process without a display, from a
// program folder of its own (so the sample database of the build stays untouched).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int ExitCode = -1;
    std::string Output;  // standard output and standard error together
};

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("vetra-prog-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path bin = VETRA_BIN_DIR;
        fs::copy_file(bin / "vetrav3", folder / "vetrav3");
        fs::copy_file(bin / "klv3data.sqlite", folder / "klv3data.sqlite");
    }
    void TearDown() override { fs::remove_all(folder); }

    Outcome Run(const std::string& arguments) {
        const std::string command = "cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY ./vetrav3 " +
                                    arguments + " 2>&1";
        Outcome outcome;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return outcome;
        std::array<char, 4096> buffer{};
        while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) outcome.Output.append(buffer.data(), n);
        const int status = pclose(pipe);
        outcome.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    }

    fs::path folder;
};

}  // namespace

TEST_F(Program, SingleRequestIsParsedAndReported) {
    const Outcome o = Run("X GB,EN,123,0,Y,N,N,N out");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_NE(o.Output.find("XML request GB EN: model range 123, interval 1"), std::string::npos) << o.Output;
    EXPECT_NE(o.Output.find("output folder \"out/\""), std::string::npos) << o.Output;
    // A folder that ends in "/" stays as it is.
    EXPECT_NE(Run("X GB,EN,123,0,Y,N,N,N /tmp/xml/").Output.find("output folder \"/tmp/xml/\""), std::string::npos);
}

TEST_F(Program, RefusedRequestEndsWithAFailure) {
    const Outcome o = Run("x GB,EN,123,21,Y,N,N,N");
    EXPECT_EQ(o.ExitCode, 1);
    EXPECT_NE(o.Output.find("Interval number not in range 0-20 in Command Line parameter string"),
              std::string::npos)
        << o.Output;
    EXPECT_EQ(o.Output.find("XML request"), std::string::npos);
}

TEST_F(Program, RequestFileRunsEveryValidLineAndReportsTheFaultyOnes) {
    Write("requests.txt", "GB,EN,1,0,Y,N,N,N\r\nGB,EN,2,0,N,N,N,N\r\nDE,DE,3,5,N,Y,N,N\r\n");
    const Outcome o = Run("X requests.txt");
    EXPECT_EQ(o.ExitCode, 1) << o.Output;
    EXPECT_NE(o.Output.find("model range 1,"), std::string::npos) << o.Output;
    EXPECT_NE(o.Output.find("model range 3,"), std::string::npos) << o.Output;
    EXPECT_NE(o.Output.find("At least 1 checksheet request must be set to Y - see Input record 2"), std::string::npos);
    // Three lines with a final line end are three records, not four.
    EXPECT_EQ(o.Output.find("Input record 4"), std::string::npos);
}

TEST_F(Program, RequestFileOfValidLinesSucceeds) {
    Write("ok.txt", "GB,EN,1,0,Y,N,N,N\nGB,EN,2,1,N,Y,N,N");
    EXPECT_EQ(Run("X ok.txt").ExitCode, 0);
}

TEST_F(Program, MissingRequestFileIsReported) {
    const Outcome o = Run("X nothing.txt");
    EXPECT_EQ(o.ExitCode, 2);
    EXPECT_NE(o.Output.find("XML Batch File nothing.txt - not found"), std::string::npos) << o.Output;
}

TEST_F(Program, InteractiveRunShowsTheMainMenuAndEndsWithoutInput) {
    const Outcome o = Run("");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_NE(o.Output.find("form frmMain"), std::string::npos) << o.Output;
}

TEST_F(Program, HandOffRunStartsWithoutTheMainForm) {
    const Outcome o = Run("handoff.dat");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_EQ(o.Output.find("form frmMain"), std::string::npos) << o.Output;
}

TEST_F(Program, XmlRunWithoutARequestShowsTheChecksheetForm) {
    const Outcome o = Run("x");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_NE(o.Output.find("form frmChecksheet"), std::string::npos) << o.Output;
    EXPECT_EQ(o.Output.find("form frmMain"), std::string::npos) << o.Output;
}

TEST_F(Program, SampleRequestFileIsValidThroughout) {
    fs::copy_file(fs::path(VETRA_SOURCE_DIR) / "data/sample/requests.txt", folder / "requests.txt");
    const Outcome o = Run("X requests.txt");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    std::size_t reports = 0;
    for (std::size_t at = o.Output.find("XML request "); at != std::string::npos; at = o.Output.find("XML request ", at + 1))
        ++reports;
    std::ifstream in(folder / "requests.txt");
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    EXPECT_EQ(reports, lines);
}
