// Tests of the checksheet XML document: the files written through the module's operations,
// byte for byte; text cleaning and answers; the emission rules; the file name and folder; the
// refusals that keep the file well-formed and the disk undamaged; the code-page conversions.

#include "XMLGen.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../platform/db/TestDatabase.h"
#include "CodePages.h"
#include "Exceptions.h"
#include "Files.h"
#include "Tables.h"
#include "TolmLib.h"
#include "XmlDom.h"

namespace {

const char* kTexts = R"(
CREATE TABLE LANGTEXT (LANG_CODE CHAR(2), TEXT_NO SMALLINT, LTEXT CHAR(250), PRIMARY KEY (LANG_CODE, TEXT_NO));
INSERT INTO LANGTEXT VALUES ('EN', 120, 'Diesel'), ('GK', 120, 'DIESEL');
)";

const std::string kHead = "<?xml version=\"1.0\"?>\n";

class ChecksheetXml : public ::testing::Test {
protected:
    void SetUp() override {
        frmTables = &tables;
        tables.tblLangText->Open();
        out = std::filesystem::path(folder.Folder()) / "out";
        std::filesystem::create_directories(out);
        Language = "EN";
        XMLMarket = "GB";
        XMLLanguage = "en";
        ModelRange = 12;
        IntervalNo = 4;
        DoService = true;
        DoPreTest = false;
        XMLEmissionFlag = true;
        DoBrakeTest = false;
        OutputFolder = out.string() + "/";
        DocTypeId.clear();
        savedAcp = GetACP();
    }
    void TearDown() override {
        FreeChecksheetDocument();
        frmTables = nullptr;
        Language.clear();
        XMLMarket.clear();
        XMLLanguage.clear();
        OutputFolder.clear();
        DocTypeId.clear();
        SetACP(savedAcp);
    }

    std::string expectedPath() const { return out.string() + "/GB_en_12_3_Y_N_Y_N.XML"; }

    /// Saves and reads back the file.
    std::string saved() {
        SaveChecksheetXml();
        std::ifstream in(expectedPath(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TestFolder folder{kTexts};
    TfrmTables tables;
    std::filesystem::path out;
    unsigned savedAcp = 1252;
};

} // namespace

TEST_F(ChecksheetXml, DocumentWithoutDocumentType) {
    CreateChecksheetDocument("en_GB");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"en_GB\"><main-body></main-body></checksheet>");
}

TEST_F(ChecksheetXml, FullDocumentByteForByte) {
    DocTypeId = "checksheet.dtd";
    CreateChecksheetDocument("en_GB");
    AddSection("**Engine$$");
    AddOperation("1", "service", "Y", "", "Y", "101");
    AddSubHeading("*Oil$");
    AddStatement(false, false, "*Drain oil, capacity ____ litres$");
    AddStatement(true, true, "Torque __");
    AddStatement(false, false, "a_b $ c");
    AddOperation("", "", "", "Y", "", "102");
    AddSubHeading("$");
    AddEmissionTest("80", "Petrol", "Y");
    AddFastIdle("2500", "0.3", "200", "1.03");
    AddIdle("800", "0.5", "");
    AddBrakeTest("1500");
    EXPECT_EQ(saved(),
              kHead + "<!DOCTYPE checksheet  SYSTEM \"checksheet.dtd\" >"
                      "<checksheet locale=\"en_GB\"><main-body><section><main-heading>Engine</main-heading>"
                      "<operation type=\"service\" level=\"1\" parts=\"true\" optional=\"true\" id=\"101\">"
                      "<sub-heading>Oil</sub-heading>"
                      "<statement>Drain oil, capacity <answer length=\"4\"></answer> litres</statement>"
                      "<statement continuation=\"true\" align=\"right\">Torque <answer length=\"2\"></answer>"
                      "</statement>"
                      "<statement>a_b $ c</statement></operation>"
                      "<operation type=\"\" level=\"\" labour=\"true\" id=\"102\"><sub-heading></sub-heading>"
                      "</operation></section></main-body>"
                      "<emission-test oiltemp=\"80\" fueltype=\"Petrol\" catalyst=\"Y\">"
                      "<fast-idle><rpm>2500</rpm><co>0.3</co><hc>200</hc><lambda>1.03</lambda></fast-idle>"
                      "<idle><rpm>800</rpm><co>0.5</co></idle></emission-test>"
                      "<brake-test weight=\"1500\"></brake-test></checksheet>");
}

TEST_F(ChecksheetXml, StatementPieces) {
    CreateChecksheetDocument("en_GB");
    AddSection("S");
    AddOperation("2", "both", "", "", "", "1");
    AddStatement(false, false, "_");
    AddStatement(false, false, "__");
    AddStatement(false, false, "a__b___c^d");
    AddStatement(false, false, "");
    AddStatement(false, false, "x & <y> \r");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"en_GB\"><main-body><section><main-heading>S</main-heading>"
                               "<operation type=\"both\" level=\"2\" id=\"1\">"
                               "<statement>_</statement>"
                               "<statement><answer length=\"2\"></answer></statement>"
                               "<statement>a<answer length=\"2\"></answer>b<answer length=\"3\"></answer>c^d"
                               "</statement>"
                               "<statement></statement>"
                               "<statement>x &amp; &lt;y&gt; &#xD;</statement>"
                               "</operation></section></main-body></checksheet>");
}

TEST_F(ChecksheetXml, EmissionRulesAgainstTheDieselText) {
    CreateChecksheetDocument("en_GB");
    AddEmissionTest("90", "diesel", "Y"); // the run's LText(120), any case: no catalyst
    AddNonTurbo("2.5");
    AddTurbo("3.0");
    AddEmissionTest("90", "Petrol", "");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"en_GB\"><main-body></main-body>"
                               "<emission-test oiltemp=\"90\" fueltype=\"diesel\">"
                               "<non-turbo>2.5</non-turbo><turbo>3.0</turbo></emission-test>"
                               "<emission-test oiltemp=\"90\" fueltype=\"Petrol\" catalyst=\"\"></emission-test>"
                               "</checksheet>");
    // Without a text 120 the comparison is with "*": diesel gets its catalyst attribute.
    Language = "DE";
    CreateChecksheetDocument("de_DE");
    AddEmissionTest("90", "Diesel", "N");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"de_DE\"><main-body></main-body>"
                               "<emission-test oiltemp=\"90\" fueltype=\"Diesel\" catalyst=\"N\"></emission-test>"
                               "</checksheet>");
}

TEST_F(ChecksheetXml, BrakeBeforeEmissionKeepsTheirOrder) {
    CreateChecksheetDocument("en_GB");
    AddBrakeTest("900");
    AddEmissionTest("80", "Petrol", "Y");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"en_GB\"><main-body></main-body>"
                               "<brake-test weight=\"900\"></brake-test>"
                               "<emission-test oiltemp=\"80\" fueltype=\"Petrol\" catalyst=\"Y\"></emission-test>"
                               "</checksheet>");
}

TEST_F(ChecksheetXml, OperationWithoutSectionGoesIntoAnEmptyHeadedSection) {
    CreateChecksheetDocument("en_GB");
    AddOperation("1", "service", "", "", "", "7");
    AddStatement(false, false, "x");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"en_GB\"><main-body><section><main-heading></main-heading>"
                               "<operation type=\"service\" level=\"1\" id=\"7\"><statement>x</statement>"
                               "</operation></section></main-body></checksheet>");
}

TEST_F(ChecksheetXml, LanguageTextsAreWidenedByTheLanguagesCodePage) {
    Language = "GK";
    SetACP(1252);
    CreateChecksheetDocument("el_GR");
    AddSection("\xC1");        // Greek capital alpha in 1253
    AddEmissionTest("\xC1", "\xC1", "");
    std::string file = saved();
    EXPECT_NE(file.find("<main-heading>\xCE\x91</main-heading>"), std::string::npos) << file;
    // The oil temperature goes by the ANSI code page (1252: A acute), the fuel type by 1253.
    EXPECT_NE(file.find("oiltemp=\"\xC3\x81\" fueltype=\"\xCE\x91\""), std::string::npos) << file;
}

TEST_F(ChecksheetXml, ModuleAttributeValuesAndTextsStayWellFormed) {
    CreateChecksheetDocument("e\"n&<x\x01");
    AddSection("a\x02\tb");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"e&quot;n&amp;&lt;x\"><main-body><section>"
                               "<main-heading>a\tb</main-heading></section></main-body></checksheet>");
}

TEST_F(ChecksheetXml, SystemIdentifierIsUtf8AndBothQuotesAreRefused) {
    DocTypeId = "caf\xC3\xA9.dtd";
    CreateChecksheetDocument("en_GB");
    EXPECT_EQ(saved(), kHead + "<!DOCTYPE checksheet  SYSTEM \"caf\xC3\xA9.dtd\" >"
                               "<checksheet locale=\"en_GB\"><main-body></main-body></checksheet>");
    DocTypeId = "a\"b";
    CreateChecksheetDocument("en_GB");
    EXPECT_NE(saved().find("SYSTEM 'a\"b' >"), std::string::npos);
    DocTypeId = "a\"b'c";
    EXPECT_THROW(CreateChecksheetDocument("en_GB"), Exception);
}

TEST_F(ChecksheetXml, NewRunClearsTheCurrentElements) {
    CreateChecksheetDocument("en_GB");
    AddSection("A");
    AddOperation("1", "service", "", "", "", "1");
    AddEmissionTest("1", "Petrol", "");
    CreateChecksheetDocument("en_GB");
    EXPECT_EQ(XMLSection, nullptr);
    EXPECT_EQ(XMLOperation, nullptr);
    EXPECT_EQ(XMLEmission, nullptr);
    EXPECT_EQ(XMLText, nullptr);
    AddFastIdle("1", "2", "3", "4"); // no current emission test: nothing, no crash
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"en_GB\"><main-body></main-body></checksheet>");
}

// ---------------------------------------------------------------- file name and folder

TEST_F(ChecksheetXml, FileNameFromTheRequest) {
    EXPECT_EQ(ChecksheetXmlPath(), expectedPath());
    DoService = false;
    DoPreTest = true;
    XMLEmissionFlag = false;
    DoBrakeTest = true;
    IntervalNo = 1;
    EXPECT_EQ(ChecksheetXmlPath(), out.string() + "/GB_en_12_0_N_Y_N_Y.XML");
}

TEST_F(ChecksheetXml, FolderRule) {
    OutputFolder = "./out.d/";
    EXPECT_EQ(ChecksheetXmlPath(), "./out.d/GB_en_12_3_Y_N_Y_N.XML");
    OutputFolder = "/data/v1.2/reqs.txt";
    EXPECT_EQ(ChecksheetXmlPath(), "/data/v1.2/reqsGB_en_12_3_Y_N_Y_N.XML");
    OutputFolder = "/data/v1.2/reqs.2026.txt";
    EXPECT_EQ(ChecksheetXmlPath(), "/data/v1.2/reqs.2026GB_en_12_3_Y_N_Y_N.XML");
    OutputFolder = "/data/v1.2/reqs";
    EXPECT_EQ(ChecksheetXmlPath(), "/data/v1.2/reqsGB_en_12_3_Y_N_Y_N.XML");
    OutputFolder.clear();
    const std::string path = ChecksheetXmlPath();
    EXPECT_EQ(path, ProgramFolder() + (ProgramFolder().back() == '/' ? "" : "/") + "GB_en_12_3_Y_N_Y_N.XML");
}

TEST_F(ChecksheetXml, NonAsciiFolderRoundTrips) {
    const std::filesystem::path dir = out / "\xC3\xBC" "ber";
    std::filesystem::create_directories(dir);
    OutputFolder = dir.string() + "/";
    CreateChecksheetDocument("en_GB");
    SaveChecksheetXml();
    EXPECT_TRUE(std::filesystem::exists(dir / "GB_en_12_3_Y_N_Y_N.XML"));
}

TEST_F(ChecksheetXml, CodesWithASlashAreRefused) {
    CreateChecksheetDocument("en_GB");
    XMLMarket = "../x";
    EXPECT_THROW(SaveChecksheetXml(), Exception);
    XMLMarket = "GB";
    XMLLanguage = "e/n";
    EXPECT_THROW(SaveChecksheetXml(), Exception);
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(ChecksheetXml, MissingFolderRaisesTheCreationErrorAndLeavesNothing) {
    OutputFolder = (out / "missing").string() + "/";
    CreateChecksheetDocument("en_GB");
    try {
        SaveChecksheetXml();
        FAIL() << "nothing raised";
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.Message.find("Cannot create file \"" + OutputFolder + "GB_en_12_3_Y_N_Y_N.XML\""),
                  std::string::npos)
            << e.Message;
    }
}

TEST_F(ChecksheetXml, ReadOnlyFolderKeepsTheOldFile) {
    CreateChecksheetDocument("en_GB");
    const std::string first = saved();
    AddSection("more");
    // The superuser writes into read-only folders, so as root the write runs in a child process
    // as "nobody", who owns the folder; the child first makes sure it may write there at all.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(out.c_str(), 65534, 65534), 0) << std::strerror(errno);
    }
    const pid_t pid = ::fork();
    ASSERT_NE(pid, -1) << std::strerror(errno);
    if (pid == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
        if (::access(out.c_str(), W_OK | X_OK) != 0) ::_exit(11);
        if (::chmod(out.c_str(), 0555) != 0) ::_exit(12);
        int code = 13; // written into the read-only folder
        try {
            SaveChecksheetXml();
        } catch (const EFCreateError&) {
            code = 0;
        } catch (...) {
            code = 14;
        }
        ::chmod(out.c_str(), 0755);
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no user change, 11: folder not writable, 12: no chmod, "
                                         "13: written, 14: other error";
    std::ifstream in(expectedPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), first);
}

TEST_F(ChecksheetXml, RewritingReplacesTheFileWhole) {
    CreateChecksheetDocument("en_GB");
    AddSection("A long heading that makes the first file longer than the second");
    saved();
    CreateChecksheetDocument("en_GB");
    EXPECT_EQ(saved(), kHead + "<checksheet locale=\"en_GB\"><main-body></main-body></checksheet>");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 1);
}

// ---------------------------------------------------------------- code pages

TEST(CodePageList, TableInFull) {
    EXPECT_EQ(CodePageList.size(), 9u);
    EXPECT_EQ(CodePageForLanguage("bg"), 1251u);
    EXPECT_EQ(CodePageForLanguage("GK"), 1253u);
    EXPECT_EQ(CodePageForLanguage("UK"), 1251u);
    EXPECT_EQ(CodePageForLanguage("EN"), 1252u);
}

TEST(CodePageList, AByteOfEachCodePage) {
    const unsigned saved = GetACP();
    SetACP(1252);
    for (const auto& [language, codePage] : CodePageList) {
        const std::u16string wide = AnsiToWideForLanguage(language, "\xC1z");
        EXPECT_EQ(wide, MultiByteToWideChar(codePage, "\xC1z")) << language;
    }
    EXPECT_EQ(AnsiToWideForLanguage("CZ", "\x8A"), u"\x0160");
    EXPECT_EQ(AnsiToWideForLanguage("bg", "\xC1"), u"\x0411");
    EXPECT_EQ(AnsiToWideForLanguage("GK", "\xC1"), u"\x0391");
    EXPECT_EQ(AnsiToWideForLanguage("FR", "\xC1"), u"\x00C1"); // not in the table: ANSI
    EXPECT_EQ(AnsiToWideForLanguage("GK", ""), u"");
    SetACP(saved);
}

// Each XML file stream gathers its own bytes, seeks as a memory stream does, and hands its
// buffer on to the next stream without its bytes.
TEST(XmlFileStream, EachStreamHasItsOwnBytesAndHonoursSeeks) {
    std::string spare;
    {
        TXmlFileStream a, b;
        a.WriteBuffer("abcdef", 6);
        b.WriteBuffer("12", 2);
        EXPECT_EQ(a.Seek(-4, soEnd), 2);
        a.WriteBuffer("XY", 2);
        EXPECT_EQ(a.Position(), 4);
        EXPECT_EQ(a.Seek(1, soCurrent), 5);
        EXPECT_EQ(a.Seek(-9, soCurrent), 0);
        EXPECT_EQ(a.Size(), 6);
        b.SetPosition(4);
        b.WriteBuffer("5", 1);
        EXPECT_EQ(a.Bytes(), "abXYef");
        EXPECT_EQ(b.Bytes(), std::string("12\0\0" "5", 5));
        spare = a.Release();
    }
    TXmlFileStream c(std::move(spare));
    c.WriteBuffer("z", 1);
    EXPECT_EQ(c.Size(), 1);
    EXPECT_EQ(c.Bytes(), "z");
}
