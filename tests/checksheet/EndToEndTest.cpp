// The main road end to end: the built program run headless on the sample database writes the
// checksheet XML files its requests ask for. Each file is checked with xmllint and for the
// sections of its request.
#include "ProgramRun.h"
#include "XmlDom.h"
#include "XmlParsers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

/// Engine type of each model range of the sample data (P petrol, D diesel, L gas, C natural gas).
const std::map<int, char> kEngineType = {{101, 'P'}, {102, 'P'}, {103, 'P'}, {104, 'D'}, {105, 'P'}, {106, 'P'},
                                         {107, 'D'}, {108, 'L'}, {109, 'P'}, {110, 'D'}, {111, 'D'}, {112, 'D'},
                                         {113, 'C'}, {114, 'P'}, {115, 'P'}, {116, 'P'}, {117, 'D'}};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("vetra-e2e-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                  std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "out");
        const fs::path bin = VETRA_BIN_DIR;
        fs::copy_file(bin / "vetrav3", folder / "vetrav3");
        fs::copy_file(bin / "klv3data.sqlite", folder / "klv3data.sqlite");
    }
    void TearDown() override { fs::remove_all(folder); }

    Outcome Run(const std::string& arguments, bool withStderr = true) {
        const std::string command = "cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY ./vetrav3 " +
                                    arguments + (withStderr ? " 2>&1" : " 2>/dev/null");
        return RunCommand(command);
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    }

    /// The file is well-formed XML by xmllint's judgement.
    static bool WellFormed(const fs::path& file) {
        return std::system(("xmllint --noout '" + file.string() + "' 2>/dev/null").c_str()) == 0;
    }

    /// Checks a request's file: well-formed, and the sections the request asks for.
    void CheckSheet(const fs::path& file, int range, bool service, bool preTest, bool emission, bool brake) {
        SCOPED_TRACE(file.string());
        ASSERT_TRUE(fs::exists(file));
        EXPECT_TRUE(WellFormed(file));
        const std::string xml = ReadFile(file);
        EXPECT_TRUE(Has(xml, "<main-body>") || Has(xml, "<main-body/>"));
        if (service || preTest) {
            EXPECT_TRUE(Has(xml, "<main-heading>"));
            EXPECT_TRUE(Has(xml, "<operation "));
        }
        const char type = kEngineType.at(range);
        EXPECT_EQ(Has(xml, "<emission-test"), emission && (type == 'P' || type == 'D'));
        EXPECT_EQ(Has(xml, "<brake-test"), brake);
    }

    fs::path folder;
};

struct Pair {
    const char* Market;
    const char* Language;
};
/// The ISO market and language pairs the sample data know.
constexpr Pair kPairs[] = {{"GB", "en"}, {"IE", "en"}, {"DE", "de"}, {"AT", "de"}, {"PL", "pl"},
                           {"GR", "el"}, {"DE", "en"}, {"PL", "en"}, {"GR", "en"}};

std::string Flag(bool on) { return on ? "Y" : "N"; }

}  // namespace

TEST_F(EndToEnd, EveryMarketAndLanguageAsASingleRequest) {
    for (const Pair& p : kPairs) {
        const std::string request = std::string(p.Market) + "," + p.Language + ",107,4,Y,Y,Y,Y";
        const Outcome o = Run("X " + request + " out/");
        EXPECT_EQ(o.ExitCode, 0) << request << ": " << o.Output;
        const fs::path file = folder / "out" / (std::string(p.Market) + "_" + p.Language + "_107_4_Y_Y_Y_Y.XML");
        CheckSheet(file, 107, true, true, true, true);
        const std::string xml = ReadFile(file);
        // The locale names the request's language and market.
        EXPECT_TRUE(Has(xml, std::string("locale=\"") + p.Language + "_" + p.Market + "\"")) << xml.substr(0, 200);
    }
}

TEST_F(EndToEnd, EveryCombinationOfKindsForEveryPairInOneRequestFile) {
    std::string requests;
    struct Expect {
        std::string Name;
        int Range;
        bool S, P, E, B;
    };
    std::vector<Expect> expected;
    const int ranges[] = {105, 107, 108, 113};  // petrol, diesel, gas and natural gas engines
    int n = 0;
    for (const Pair& p : kPairs)
        for (int kinds = 1; kinds < 16; ++kinds) {
            const bool s = kinds & 1, pt = kinds & 2, e = kinds & 4, b = kinds & 8;
            const int range = ranges[n++ % 4];
            const int interval = n % 21;
            requests += std::string(p.Market) + "," + p.Language + "," + std::to_string(range) + "," +
                        std::to_string(interval) + "," + Flag(s) + "," + Flag(pt) + "," + Flag(e) + "," + Flag(b) +
                        "\n";
            expected.push_back({std::string("batch") + p.Market + "_" + p.Language + "_" + std::to_string(range) +
                                    "_" + std::to_string(interval) + "_" + Flag(s) + "_" + Flag(pt) + "_" + Flag(e) +
                                    "_" + Flag(b) + ".XML",
                                range, s, pt, e, b});
        }
    Write("out/batch.txt", requests);
    const Outcome o = Run("X out/batch.txt");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    for (const Expect& e : expected) CheckSheet(folder / "out" / e.Name, e.Range, e.S, e.P, e.E, e.B);
}

TEST_F(EndToEnd, FilesAreByteStable) {
    // Two identical requests in one batch, and the same request alone, give the same bytes.
    Write("twice.txt", "GB,en,110,3,Y,Y,Y,Y\nGB,en,110,3,Y,Y,Y,Y\n");
    ASSERT_EQ(Run("X twice.txt").ExitCode, 0);
    const std::string batch = ReadFile(folder / "twiceGB_en_110_3_Y_Y_Y_Y.XML");
    ASSERT_EQ(Run("X GB,en,110,3,Y,Y,Y,Y out/").ExitCode, 0);
    const std::string single = ReadFile(folder / "out/GB_en_110_3_Y_Y_Y_Y.XML");
    EXPECT_FALSE(batch.empty());
    EXPECT_EQ(batch, single);
    ASSERT_EQ(Run("X GB,en,110,3,Y,Y,Y,Y out/").ExitCode, 0);
    EXPECT_EQ(ReadFile(folder / "out/GB_en_110_3_Y_Y_Y_Y.XML"), single);
}

TEST_F(EndToEnd, FaultyLinesAreReportedOnStandardErrorAndTheOthersWritten) {
    Write("mixed.txt", "GB,en,101,0,Y,N,N,N\nGB,en,abc,0,Y,N,N,N\nGB,en,999,0,Y,N,N,N\nIE,en,102,1,Y,N,N,N\n");
    Outcome o = Run("X mixed.txt", false);
    EXPECT_EQ(o.ExitCode, 1);
    EXPECT_EQ(o.Output.find("Model Range code not numeric"), std::string::npos) << "messages go to standard error";
    o = Run("X mixed.txt");
    EXPECT_EQ(o.ExitCode, 1);
    EXPECT_TRUE(Has(o.Output, "Model Range code not numeric in Input record 2")) << o.Output;
    // A model range the data lack is refused with its message; no file carries another's data.
    EXPECT_TRUE(Has(o.Output, "Model Range 999 not found in the service data - request for GB,en not written in Input record 3"))
        << o.Output;
    EXPECT_FALSE(fs::exists(folder / "mixedGB_en_999_0_Y_N_N_N.XML"));
    EXPECT_TRUE(fs::exists(folder / "mixedGB_en_101_0_Y_N_N_N.XML"));
    EXPECT_TRUE(fs::exists(folder / "mixedIE_en_102_1_Y_N_N_N.XML"));
}

TEST_F(EndToEnd, DocumentTypeParameterNamesTheDefinition) {
    ASSERT_EQ(Run("X GB,en,101,0,Y,N,N,N out/ checksheet.dtd").ExitCode, 0);
    const std::string xml = ReadFile(folder / "out/GB_en_101_0_Y_N_N_N.XML");
    EXPECT_TRUE(Has(xml, "<!DOCTYPE checksheet  SYSTEM \"checksheet.dtd\" >")) << xml.substr(0, 200);
    ASSERT_EQ(Run("X GB,en,101,0,Y,N,N,N out/").ExitCode, 0);
    EXPECT_FALSE(Has(ReadFile(folder / "out/GB_en_101_0_Y_N_N_N.XML"), "DOCTYPE"));
}

TEST_F(EndToEnd, DocumentTypeWithBracketsInItsIdentifierReadsBack) {
    // The library reads back what the program wrote: the brackets are the literal's.
    ASSERT_EQ(Run("X GB,en,101,0,Y,N,N,N out/ 'dtd[1]/checksheet.dtd'").ExitCode, 0);
    xmldom::TDomImplementation impl;
    xmldom::TXmlToDomParser parser;
    parser.SetDOMImpl(&impl);
    xmldom::TdomDocument* doc = nullptr;
    ASSERT_NO_THROW(doc = parser.stringToDom(ReadFile(folder / "out/GB_en_101_0_Y_N_N_N.XML")));
    ASSERT_NE(doc->getDocTypeDecl(), nullptr);
    EXPECT_EQ(doc->getDocTypeDecl()->getSystemId(), u"dtd[1]/checksheet.dtd");
    impl.freeDocument(doc);
}

TEST_F(EndToEnd, ExitCodes) {
    EXPECT_EQ(Run("X GB,en,101,0,Y,N,N,N out/").ExitCode, 0);
    EXPECT_EQ(Run("X GB,en,101,0,N,N,N,N out/").ExitCode, 1);
    EXPECT_EQ(Run("X GB,en,4242,0,Y,N,N,N out/").ExitCode, 1);
    EXPECT_EQ(Run("X missing.txt").ExitCode, 2);
    // A folder that does not exist cannot take the file.
    const Outcome o = Run("X GB,en,101,0,Y,N,N,N nowhere/");
    EXPECT_EQ(o.ExitCode, 3) << o.Output;
    // print_checksheet without its one request (or with more) is a fault of the run, not a
    // request file not found.
    fs::copy_file(fs::path(VETRA_BIN_DIR) / "print_checksheet", folder / "print_checksheet");
    for (const char* arguments : {"", "GB,en,101,0,Y,N,N,N more"}) {
        const Outcome usage = RunCommand("cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY ./print_checksheet " +
                                         arguments + " 2>&1");
        EXPECT_EQ(usage.ExitCode, 5) << arguments << ": " << usage.Output;
        EXPECT_TRUE(Has(usage.Output, "usage: print_checksheet")) << usage.Output;
    }
}

TEST_F(EndToEnd, FirstRequestOfABatchWithPreTest) {
    // Ticking pre-test reads the dealer's settings: the data are open before the boxes are set.
    Write("pre.txt", "GB,en,101,2,N,Y,N,Y\nGB,en,102,2,Y,Y,N,N\n");
    const Outcome o = Run("X pre.txt");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    CheckSheet(folder / "preGB_en_101_2_N_Y_N_Y.XML", 101, false, true, false, true);
    CheckSheet(folder / "preGB_en_102_2_Y_Y_N_N.XML", 102, true, true, false, false);
}

TEST_F(EndToEnd, GermanPreTestWithoutBrakeHasNoBrakeSection) {
    ASSERT_EQ(Run("X DE,de,110,1,N,Y,N,N out/").ExitCode, 0);
    CheckSheet(folder / "out/DE_de_110_1_N_Y_N_N.XML", 110, false, true, false, false);
}

TEST_F(EndToEnd, EmissionForANaturalGasEngineKeepsTheFlagInTheNameOnly) {
    ASSERT_EQ(Run("X AT,de,113,2,Y,N,Y,N out/").ExitCode, 0);
    CheckSheet(folder / "out/AT_de_113_2_Y_N_Y_N.XML", 113, true, false, true, false);
}

TEST_F(EndToEnd, MarketOrLanguageTheDataLackIsRefused) {
    // Such a sheet would have no text at all: no file, the codes named, and a failure.
    Outcome o = Run("X GB,xx,107,4,Y,Y,Y,Y out/");
    EXPECT_EQ(o.ExitCode, 1) << o.Output;
    EXPECT_TRUE(Has(o.Output, "Language xx not found")) << o.Output;
    o = Run("X ZZ,en,101,0,Y,N,N,N out/");
    EXPECT_EQ(o.ExitCode, 1) << o.Output;
    EXPECT_TRUE(Has(o.Output, "Market ZZ not found")) << o.Output;
    EXPECT_TRUE(fs::is_empty(folder / "out"));
    // A request file goes on with its next line.
    Write("codes.txt", "GB,xx,107,4,Y,Y,Y,Y\nGB,en,107,4,Y,N,N,N\n");
    o = Run("X codes.txt");
    EXPECT_EQ(o.ExitCode, 1) << o.Output;
    EXPECT_TRUE(Has(o.Output, "request for GB,xx not written in Input record 1")) << o.Output;
    EXPECT_FALSE(fs::exists(folder / "codesGB_xx_107_4_Y_Y_Y_Y.XML"));
    EXPECT_TRUE(fs::exists(folder / "codesGB_en_107_4_Y_N_N_N.XML"));
}

TEST_F(EndToEnd, SampleRequestFileWritesEveryChecksheet) {
    fs::copy_file(fs::path(VETRA_SOURCE_DIR) / "data/sample/requests.txt", folder / "out/sample.txt");
    const Outcome o = Run("X out/sample.txt");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    std::ifstream in(folder / "out/sample.txt");
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
        ++lines;
        std::vector<std::string> f;
        std::stringstream ss(line);
        for (std::string part; std::getline(ss, part, ',');) f.push_back(part);
        ASSERT_EQ(f.size(), 8u) << line;
        const std::string name = "sample" + f[0] + "_" + f[1] + "_" + f[2] + "_" + f[3] + "_" + f[4] + "_" + f[5] +
                                 "_" + f[6] + "_" + f[7] + ".XML";
        CheckSheet(folder / "out" / name, std::stoi(f[2]), f[4] == "Y", f[5] == "Y", f[6] == "Y", f[7] == "Y");
    }
    EXPECT_EQ(lines, 15);
}

TEST_F(EndToEnd, PrintedRequestCarriesTheDataVersionInItsFooter) {
    fs::copy_file(fs::path(VETRA_BIN_DIR) / "print_checksheet", folder / "print_checksheet");
    const Outcome o = RunCommand("cd '" + folder.string() +
                                 "' && env -u DISPLAY -u WAYLAND_DISPLAY VETRA_PDF_FOLDER=out ./print_checksheet "
                                 "GB,en,107,4,Y,N,N,N 2>&1");
    ASSERT_EQ(o.ExitCode, 0) << o.Output;
    fs::path pdf;
    for (const auto& entry : fs::directory_iterator(folder / "out"))
        if (entry.path().extension() == ".pdf") pdf = entry.path();
    ASSERT_FALSE(pdf.empty());
    const Outcome text = RunCommand("pdftotext -layout '" + pdf.string() + "' - 2>&1");
    ASSERT_EQ(text.ExitCode, 0) << text.Output;
    // The sample data are of November 2026, as the main menu shows them.
    EXPECT_TRUE(Has(text.Output, "November 2026")) << text.Output.substr(0, 3000);
}

TEST_F(EndToEnd, AFileThatCannotBeWrittenWholeFailsTheRunAndLeavesNothing) {
    // A failure at each system call of the write path (through the test's preloaded trap), and
    // a disk that fills up: the printed road and the request road each report the file by its
    // message, end with code 3 and leave neither the file nor its temporary one.
    fs::copy_file(fs::path(VETRA_BIN_DIR) / "print_checksheet", folder / "print_checksheet");
    struct Road {
        const char* Command;
        const char* File;     // the end of the file's name
        const char* Message;
        bool Flushed;         // flushed to the disk before its close
    };
    const Road roads[] = {
        {"VETRA_PDF_FOLDER=out ./print_checksheet GB,en,107,4,Y,Y,Y,Y", ".pdf", "Cannot write the PDF file \"out/", true},
        {"./vetrav3 X GB,en,107,4,Y,Y,Y,Y out/", "GB_en_107_4_Y_Y_Y_Y.XML", "Cannot create file \"out/GB_en_107_4_Y_Y_Y_Y.XML\"", false},
    };
    const std::string trap = std::string(VETRA_BIN_DIR) + "../tests/SyscallTrap.so";
    ASSERT_TRUE(fs::exists(trap)) << trap;
    for (const Road& road : roads) {
        std::vector<std::string> failures;
        // The file is made unnamed in its folder, written, flushed, closed and linked to its name;
        // then the folder is flushed (a printed file).
        const std::pair<const char*, std::string> calls[] = {
            {"open", "out' TRAP_NTH='1"}, {"pwrite", " (deleted)"}, {"fsync", " (deleted)"}, {"close", " (deleted)"},
            {"link", road.File},          {"fsync", "/out"}};
        for (const auto& [call, file] : calls) {
            if (std::string(call) == "fsync" && !road.Flushed) continue;
            failures.push_back(std::string("LD_PRELOAD='") + trap +
                               "' ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" TRAP_ACTION=fail TRAP_CALL=" + call +
                               " TRAP_FILE='" + file + "' ");
        }
        failures.push_back("ulimit -f 8; trap '' XFSZ; ");  // a full disk: 4 KB for the program's files
        for (const std::string& failure : failures) {
            SCOPED_TRACE(std::string(road.Command) + " / " + failure);
            fs::remove_all(folder / "out");
            fs::create_directory(folder / "out");
            const bool limit = failure.rfind("ulimit", 0) == 0;
            const Outcome o = RunCommand("cd '" + folder.string() + "' && " + (limit ? failure : std::string()) +
                                         "env -u DISPLAY -u WAYLAND_DISPLAY " + (limit ? std::string() : failure) +
                                         road.Command + " 2>&1");
            EXPECT_EQ(o.ExitCode, 3) << o.Output;
            EXPECT_TRUE(Has(o.Output, road.Message)) << o.Output;
            EXPECT_TRUE(fs::is_empty(folder / "out"));
        }
        // Without a failure the same run writes its file.
        fs::remove_all(folder / "out");
        fs::create_directory(folder / "out");
        const Outcome o = RunCommand("cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " +
                                     road.Command + " 2>&1");
        EXPECT_EQ(o.ExitCode, 0) << o.Output;
        int files = 0;
        for (const auto& entry : fs::directory_iterator(folder / "out")) files += entry.path().filename().string()[0] != '.';
        EXPECT_EQ(files, 1);
    }
}

TEST_F(EndToEnd, AMissingDatabaseEndsEveryRoadWithTheStartUpCode) {
    fs::copy_file(fs::path(VETRA_BIN_DIR) / "print_checksheet", folder / "print_checksheet");
    fs::remove(folder / "klv3data.sqlite");
    Write("job.ho", "GB\r\nEN\r\nAR12-02\r\nRO-1234\r\n\r\n03/2001\r\nKM51 XYZ\r\n45000\r\nJ SMITH\r\n");
    Write("requests.txt", "GB,en,107,4,Y,Y,Y,Y\n");
    // The menu, the checksheet form, the hand-off job, one request, a request file, the printed
    // request: each names the missing database, or one that is not a database, and ends with 4.
    for (const bool garbage : {false, true}) {
        if (garbage) Write("klv3data.sqlite", std::string(4096, 'x'));
        for (const char* road : {"./vetrav3", "./vetrav3 X", "./vetrav3 job.ho", "./vetrav3 X GB,en,107,4,Y,Y,Y,Y out/",
                                 "./vetrav3 X requests.txt", "VETRA_PDF_FOLDER=out ./print_checksheet GB,en,107,4,Y,Y,Y,Y"}) {
            const Outcome o = RunCommand("cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " + road + " 2>&1");
            EXPECT_EQ(o.ExitCode, 4) << road << ": " << o.Output;
            EXPECT_TRUE(Has(o.Output, (folder / "klv3data.sqlite").string())) << road << ": " << o.Output;
            EXPECT_TRUE(Has(o.Output, garbage ? "not a database" : "not found")) << road << ": " << o.Output;
            EXPECT_FALSE(Has(o.Output, "display")) << road << ": " << o.Output;
        }
        EXPECT_TRUE(fs::exists(folder / "job.ho"));
        EXPECT_EQ(fs::exists(folder / "klv3data.sqlite"), garbage);
    }
}

namespace {

/// A PDF file that is whole: it starts as one and the reader takes it.
bool WholePdf(const fs::path& file) {
    const std::string bytes = ReadFile(file);
    return bytes.rfind("%PDF-", 0) == 0 &&
           std::system(("pdfinfo '" + file.string() + "' > /dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST_F(EndToEnd, PrintsStartedTogetherKeepAPdfEach) {
    // Eight sheets printed into one folder at once, most of them finishing in the same second
    // under the same name: each takes a free name of its own.
    fs::copy_file(fs::path(VETRA_BIN_DIR) / "print_checksheet", folder / "print_checksheet");
    const Outcome o = RunCommand(
        "cd '" + folder.string() +
        "' && for r in GB,en,105,0,Y,N,N,N GR,el,111,4,Y,N,Y,Y GB,en,105,0,Y,N,N,N GR,el,111,4,Y,N,Y,Y "
        "GB,en,107,4,Y,Y,Y,Y PL,pl,104,3,Y,Y,N,N DE,de,101,2,Y,N,N,N GB,en,105,0,Y,N,N,N; do "
        "(env -u DISPLAY -u WAYLAND_DISPLAY VETRA_PDF_FOLDER=out ./print_checksheet $r > /dev/null 2>&1; echo $?) & "
        "done; wait");
    EXPECT_EQ(o.Output, "0\n0\n0\n0\n0\n0\n0\n0\n");
    int pdfs = 0;
    for (const auto& entry : fs::directory_iterator(folder / "out")) {
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(entry.path().extension(), ".pdf");
        EXPECT_TRUE(WholePdf(entry.path()));
        ++pdfs;
    }
    EXPECT_EQ(pdfs, 8);
}

TEST_F(EndToEnd, EveryFileTakesItsNameWholeOrNotAtAllWhereverItsRunStops) {
    // A printed sheet, a new XML file and one that replaces an older file of its name, stopped by
    // a disk that fills at every 4 KiB of the file and by a kill at every system call of its
    // writing: the name holds the whole file (or the older one) or nothing, and nothing else is
    // left in the folder once the next run into it is done.
    fs::copy_file(fs::path(VETRA_BIN_DIR) / "print_checksheet", folder / "print_checksheet");
    const std::string trap = std::string(VETRA_BIN_DIR) + "../tests/SyscallTrap.so";
    ASSERT_TRUE(fs::exists(trap)) << trap;
    const fs::path out = folder / "sheetsout";
    struct Road {
        const char* Command;
        const char* Name;  // the file's name, or the end of it
        bool Replaces;
    };
    const Road roads[] = {
        {"VETRA_PDF_FOLDER=sheetsout ./print_checksheet GB,en,107,4,Y,Y,Y,Y", ".pdf", false},
        {"./vetrav3 X GB,en,107,4,Y,Y,Y,Y sheetsout/", "GB_en_107_4_Y_Y_Y_Y.XML", false},
        {"./vetrav3 X GB,en,107,4,Y,Y,Y,Y sheetsout/", "GB_en_107_4_Y_Y_Y_Y.XML", true},
    };
    const std::string older = "<?xml version=\"1.0\"?>\n<checksheet/>";
    for (const Road& road : roads) {
        const bool pdf = std::string(road.Name) == ".pdf";
        const auto prepare = [&] {
            fs::remove_all(out);
            fs::create_directory(out);
            if (road.Replaces) std::ofstream(out / road.Name, std::ios::binary) << older;
        };
        const auto run = [&](const std::string& before, const std::string& env) {
            return RunCommand("cd '" + folder.string() + "' && " + before + "env -u DISPLAY -u WAYLAND_DISPLAY " + env +
                              road.Command + " > /dev/null 2>&1; echo $?");
        };
        prepare();
        ASSERT_EQ(run("", "").Output, "0\n");
        std::string whole;
        for (const auto& entry : fs::directory_iterator(out)) whole = ReadFile(entry.path());
        ASSERT_GT(whole.size(), 8192u);
        // What the folder may hold: the whole file (a PDF of the same size, its date aside), the
        // older file, or nothing; `leftover` allows a fresh short name beside them.
        const auto check = [&](bool leftover, int most) {
            int files = 0;
            for (const auto& entry : fs::directory_iterator(out)) {
                const std::string name = entry.path().filename().string();
                SCOPED_TRACE(name);
                if (leftover && name.size() == 13 && name.rfind(".~", 0) == 0) continue;
                ++files;
                const std::string bytes = ReadFile(entry.path());
                if (pdf) {
                    EXPECT_EQ(entry.path().extension(), ".pdf");
                    EXPECT_EQ(bytes.size(), whole.size());
                    EXPECT_TRUE(WholePdf(entry.path()));
                } else {
                    EXPECT_EQ(name, road.Name);
                    EXPECT_TRUE(bytes == whole || (road.Replaces && bytes == older)) << bytes.size();
                }
            }
            EXPECT_LE(files, most);
        };
        for (std::size_t kib = 4; kib <= whole.size() / 1024 + 4; kib += 4) {
            SCOPED_TRACE(std::string(road.Command) + (road.Replaces ? " (replacing)" : "") + ", disk full at " +
                         std::to_string(kib) + " KiB");
            prepare();
            const Outcome o = run("ulimit -f " + std::to_string(kib) + "; trap '' XFSZ; ", "");
            EXPECT_TRUE(o.Output == "3\n" || (o.Output == "0\n" && kib * 1024 >= whole.size())) << o.Output;
            check(false, 1);
        }
        struct Stop {
            const char* Call;
            std::string File;
            int Nth;
        };
        std::vector<Stop> stops = {{"open", "sheetsout", 1}, {"pwrite", " (deleted)", 1}, {"close", " (deleted)", 1},
                                   {"close", " (deleted)", 2}, {"link", road.Name, 1}};
        if (pdf) {
            stops.push_back({"fsync", " (deleted)", 1});
            stops.push_back({"open", "sheetsout", 2});  // the folder's flush
        }
        if (road.Replaces) stops.push_back({"rename", road.Name, 1});
        for (const Stop& stop : stops) {
            SCOPED_TRACE(std::string(road.Command) + (road.Replaces ? " (replacing)" : "") + ", killed at " +
                         stop.Call + " #" + std::to_string(stop.Nth) + " of " + stop.File);
            prepare();
            const Outcome o = run("", "LD_PRELOAD='" + trap +
                                          "' ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" TRAP_ACTION=kill "
                                          "TRAP_CALL=" + stop.Call + " TRAP_FILE='" + stop.File +
                                          "' TRAP_NTH=" + std::to_string(stop.Nth) + " ");
            EXPECT_EQ(o.Output, "137\n");
            check(true, 1);
            // The next run into the folder finds nothing in its way and leaves nothing else (a
            // sheet printed again keeps the whole one a killed print may have named).
            EXPECT_EQ(run("", "").Output, "0\n");
            check(false, pdf ? 2 : 1);
            EXPECT_FALSE(fs::is_empty(out));
        }
    }
}

TEST_F(EndToEnd, AnXmlFileNameUpToTheFileSystemsLimitWrites) {
    // A request file's path less its extension is the front of its files' names: 232 bytes of
    // it and the request's 23 make a name of 255, the limit of the file systems here.
    for (const std::size_t length : {std::size_t(232), std::size_t(233)}) {
        const std::string front = "out/" + std::string(length, 'f');
        Write(front + ".txt", "GB,en,107,4,Y,Y,Y,Y\n");
        const Outcome o = Run("X " + front + ".txt");
        const bool fits = length + 23 <= 255;
        EXPECT_EQ(o.ExitCode, fits ? 0 : 3) << o.Output;
        std::error_code ec;
        EXPECT_EQ(fs::exists(folder / (front + "GB_en_107_4_Y_Y_Y_Y.XML"), ec), fits);
        if (!fits) {
            EXPECT_TRUE(Has(o.Output, "File name too long")) << o.Output;
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 3);
}

TEST_F(EndToEnd, HeadlessProgramsLeaveNothingInTheTemporaryFolder) {
    // Without XDG_RUNTIME_DIR the toolkit's start made "runtime-<user>" in TMPDIR and left it.
    fs::create_directory(folder / "tmp");
    const std::string env = "cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR TMPDIR='" +
                            (folder / "tmp").string() + "' ";
    Outcome o = RunCommand(env + "'" + VETRA_BIN_DIR + "../fuzz/fuzz_report_text' '" + VETRA_SOURCE_DIR +
                           "fuzz/corpus/fuzz_report_text' 2>&1");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    o = RunCommand(env + "./vetrav3 X GB,en,107,4,Y,Y,Y,Y out/ 2>&1");
    EXPECT_EQ(o.ExitCode, 0) << o.Output;
    EXPECT_TRUE(fs::is_empty(folder / "tmp"));
}
