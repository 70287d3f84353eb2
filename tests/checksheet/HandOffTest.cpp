// The hand-off file: every numbered check, the choice of model range by drive type and build
// date, the form filled and locked from the file, and the file deleted when the form closes.
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "ChecksheetFixture.h"
#include "Chksheet.h"
#include "Dialogs.h"
#include "ExtPer.h"
#include "SpecInst.h"
#include "SysUtils.h"

namespace fs = std::filesystem;

namespace {

class HandOff : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        frmSpecInst = new TfrmSpecInst(nullptr);
        frmExtPer = new TfrmExtPer(nullptr);
        HandOffMode = true;
        XMLMode = BatchMode = false;
        frmTables->tblLangText->Open();
        file = folder / "job.ho";
        HandOffFileName = file.string();
    }
    void TearDown() override {
        HandOffMode = false;
        HandOffOpen = false;
        IsGermanMarket = false;
        delete frmExtPer;
        frmExtPer = nullptr;
        delete frmSpecInst;
        frmSpecInst = nullptr;
        ChecksheetFixture::TearDown();
    }

    void WriteFile(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

    /// Shows the form on the hand-off file; `body` runs once it waits. Returns the numbered
    /// message when the file was refused ("" when the form opened).
    std::string Show(const std::function<void(TfrmChecksheet&)>& body = nullptr) {
        FormsScript::OnForm("frmChecksheet", [body](TForm& f) {
            if (body) body(static_cast<TfrmChecksheet&>(f));
            f.Close();
        });
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        try {
            form->ShowModal();
        } catch (const EHandOffHalt&) {
            const auto texts = FormsScript::MessageTexts();
            return texts.empty() ? std::string("(no message)") : texts.back();
        }
        return std::string();
    }

    /// The message of check `number`, in English.
    static std::string Numbered(const std::string& number) {
        const std::string saved = Language;
        Language = "EN";
        const std::string text = LText(178) + " " + number;
        Language = saved;
        return text;
    }

    fs::path file;
};

}  // namespace

TEST_F(HandOff, EachCheckStopsWithItsNumberAndKeepsTheFile) {
    Exec("INSERT INTO PKXMap VALUES ('GONE', 999, 2)");
    Exec("INSERT INTO PKXMap VALUES ('BADINT', 101, 22)");
    Exec("INSERT INTO PKXMap VALUES ('ZEROINT', 101, 0)");
    const struct {
        const char* Text;
        const char* Number;
    } cases[] = {
        {"", "02"},
        {".\nEN\nAR12-02\n", "02"},
        {"ZZ\nEN\nAR12-02\n", "03"},
        {"GB\n", "04"},
        {"GB\n.\nAR12-02\n", "04"},
        {"GB\nXX\nAR12-02\n", "05"},
        {"GB\nEN\n", "06"},
        {"GB\nEN\n\n", "06"},
        {"GB\nEN\nNOSUCH\n", "07"},
        {"GB\nEN\n.\n", "07"},  // a "." is a request code here, and PKXMap has none such
        {"GB\nEN\nGONE\n", "08"},
        {"GB\nEN\nBADINT\n", "09"},
        {"GB\nEN\nZEROINT\n", "09"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        FormsScript::Reset();
        WriteFile(c.Text);
        const std::string shown = Show();
        EXPECT_EQ(shown, Numbered(c.Number));
        EXPECT_EQ(FormsScript::Messages().size(), 1u);
        EXPECT_TRUE(fs::exists(file));
    }
}

TEST_F(HandOff, MissingFileNamesItself) {
    HandOffFileName = (folder / "absent.ho").string();
    std::string shown = Show();
    EXPECT_EQ(shown, Numbered("01 - " + HandOffFileName));
    HandOffFileName = folder.string();  // a folder is no hand-off file
    shown = Show();
    EXPECT_EQ(shown, Numbered("01 - " + HandOffFileName));
}

TEST_F(HandOff, DecidedJobFillsAndLocksTheForm) {
    WriteFile("GB\r\nEN\r\nAR12-02\r\nRO-1234\r\nignored\r\n03/2001\r\nKM51 XYZ\r\n45000\r\nJ SMITH\r\nSMITH LTD\r\n"
              "1 HIGH ST\r\n.\r\nKELMOUTH\r\n\r\n01632 000000\r\n05/1996\r\nAR12M\r\nline 18 is never read\r\n");
    const std::string refused = Show([](TfrmChecksheet& c) {
        EXPECT_EQ(ModelRange, 101);
        EXPECT_EQ(IntervalNo, 3);
        EXPECT_EQ(c.edtRepairNo->Text(), "RO-1234");
        EXPECT_EQ(c.edtRegDate->Text(), "03/2001");
        EXPECT_EQ(c.edtRegNo->Text(), "KM51 XYZ");
        EXPECT_EQ(c.edtMileage->Text(), "45000");
        EXPECT_EQ(c.edtCustomerName->Text(), "J SMITH");
        EXPECT_EQ(CustCompany, "SMITH LTD");
        EXPECT_EQ(CustAddr2, "");  // "." holds no value
        EXPECT_EQ(CustAddr3, "KELMOUTH");
        EXPECT_EQ(CustPhone, "01632 000000");
        EXPECT_EQ(c.cmbModels->Style(), TComboBoxStyle::csDropDown);
        EXPECT_EQ(c.cmbModels->Text(), "ARDEN");
        EXPECT_EQ(c.cmbVariants->Text(), "1.2 8V 44KW : 01/1994 - 08/1999");
        EXPECT_EQ(c.cmbInterval->Text(), "2 " + LText(174) + "  (" + IntToStr(2 * 10000) + " ml)");
        for (TEdit* e : {c.edtRepairNo, c.edtCustomerName, c.edtRegNo, c.edtRegDate, c.edtMileage, c.edtRadioCode})
            EXPECT_TRUE(e->ReadOnly()) << e->Name;
        EXPECT_FALSE(c.gbService->Enabled());
        EXPECT_FALSE(c.gbOptions->Enabled());
        EXPECT_FALSE(c.btnNew->Enabled());
        EXPECT_TRUE(c.btnPrint->Enabled());
        EXPECT_TRUE(c.rbYears->Checked());
        EXPECT_TRUE(DoService);
        EXPECT_FALSE(DoPreTest || DoEmissionTest || DoBrakeTest || EmissionPending || BrakePending);
    });
    EXPECT_EQ(refused, "");
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(HandOff, DriveTypeChoosesOneOfSeveralRanges) {
    // PL14-02 maps to 105 (manual) and 106 (automatic).
    WriteFile("GB\nEN\nPL14-02\n\n\n\n\n\n\n\n\n\n\n\n\n\nPL16A\n");
    EXPECT_EQ(Show([](TfrmChecksheet&) { EXPECT_EQ(ModelRange, 106); }), "");
}

TEST_F(HandOff, BuildDateChoosesAmongTheDriveTypesCandidates) {
    // Both ranges manual: the drive type leaves two, the build date one.
    Exec("INSERT INTO PKXMap VALUES ('TWO', 101, 4)");
    Exec("INSERT INTO PKXMap VALUES ('TWO', 103, 5)");
    WriteFile("GB\nEN\nTWO\n\n\n\n\n\n\n\n\n\n\n\n\n10/2003\nAR12M\n");
    EXPECT_EQ(Show([](TfrmChecksheet&) {
                  EXPECT_EQ(ModelRange, 103);
                  EXPECT_EQ(IntervalNo, 5);  // the chosen range's own row
              }),
              "");
    // Without a drive type the build date alone decides.
    WriteFile("GB\nEN\nTWO\n\n\n\n\n\n\n\n\n\n\n\n\n05/1996\n");
    EXPECT_EQ(Show([](TfrmChecksheet&) { EXPECT_EQ(ModelRange, 101); }), "");
}

TEST_F(HandOff, UndecidedJobOffersTheCandidatesAndLettersOnTheBuildDateAreIgnored) {
    Exec("INSERT INTO PKXMap VALUES ('TWO', 101, 4)");
    Exec("INSERT INTO PKXMap VALUES ('TWO', 103, 4)");
    for (const char* date : {"AB/1996", "5/96", "05-1996x"}) {
        SCOPED_TRACE(date);
        WriteFile(std::string("GB\nEN\nTWO\n\n\n\n\n\n\n\n\n\n\n\n\n") + date + "\n");
        EXPECT_EQ(Show([](TfrmChecksheet& c) {
                      EXPECT_EQ(ModelRange, 0);
                      EXPECT_EQ(c.cmbVariants->Items.Count(), 2);
                      EXPECT_EQ(c.cmbVariants->Style(), TComboBoxStyle::csDropDownList);
                      EXPECT_TRUE(c.gbService->Enabled());
                      EXPECT_EQ(HandOffRangeCodes[1], 101);
                      EXPECT_EQ(HandOffRangeCodes[2], 103);
                      EXPECT_EQ(HandOffRangeCodes[3], 0);
                  }),
                  "");
    }
}

TEST_F(HandOff, ShortFileLeavesTheMissingValuesEmpty) {
    CustName = "LEFT OVER";
    WriteFile("GB\nEN\nAR14-03\nRO-9");
    EXPECT_EQ(Show([](TfrmChecksheet& c) {
                  EXPECT_EQ(ModelRange, 103);
                  EXPECT_EQ(c.edtRepairNo->Text(), "RO-9");
                  EXPECT_EQ(CustName, "");
                  EXPECT_EQ(c.edtMileage->Text(), "");
              }),
              "");
}

TEST_F(HandOff, NewKeepsTheFieldsLockedAndTheFileStillGoesAtClose) {
    WriteFile("GB\nEN\nAR12-02\nRO-1\n");
    EXPECT_EQ(Show([](TfrmChecksheet& c) {
                  c.btnNewClick(c.btnNew);
                  EXPECT_FALSE(HandOffMode);
                  for (TEdit* e : {c.edtRepairNo, c.edtCustomerName, c.edtRegNo, c.edtRegDate, c.edtMileage,
                                   c.edtRadioCode}) {
                      EXPECT_TRUE(e->ReadOnly()) << e->Name;
                      EXPECT_EQ(e->Text(), "");
                  }
                  EXPECT_FALSE(c.gbOptions->Enabled());
              }),
              "");
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(HandOff, GermanJobHidesTheTestBoxes) {
    WriteFile("DX\nDE\nMD20-04\n");
    EXPECT_EQ(Show([](TfrmChecksheet& c) {
                  EXPECT_TRUE(IsGermanMarket);
                  EXPECT_EQ(ModelRange, 110);
                  EXPECT_FALSE(c.cbEmissionTest->Visible());
                  EXPECT_FALSE(c.cbBrakeTest->Visible());
                  // German numbering: a dot after the number.
                  EXPECT_EQ(c.cmbInterval->Text().substr(0, 3), "4. ");
              }),
              "");
}

TEST_F(HandOff, LinesAreReadWhateverEndsThem) {
    const std::string text = "GB\rEN\r\nAR12-02\nRO-5\r";
    std::size_t at = 0;
    const auto lines = ReadHandOffLines([&](char* buffer, std::size_t size) {
        const std::size_t n = std::min<std::size_t>(std::min<std::size_t>(size, 3), text.size() - at);
        std::copy(text.data() + at, text.data() + at + n, buffer);
        at += n;
        return n;
    });
    EXPECT_EQ(lines, (std::vector<std::string>{"GB", "EN", "AR12-02", "RO-5"}));
    // Never more than 17 lines, and none longer than 4,096 bytes.
    std::string many;
    for (int i = 0; i < 40; ++i) many += std::string(i == 3 ? 10000 : 1, 'x') + "\n";
    std::size_t pos = 0;
    const auto cut = ReadHandOffLines([&](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, many.size() - pos);
        std::copy(many.data() + pos, many.data() + pos + n, buffer);
        pos += n;
        return n;
    });
    EXPECT_EQ(cut.size(), 17u);
    EXPECT_EQ(cut[3].size(), 4096u);
}

TEST_F(HandOff, HostileFilesAreRefusedWithTheirNumber) {
    const struct {
        std::string Text;
        const char* Number;
    } cases[] = {
        {std::string("G\0B\nEN\nAR12-02\n", 15), "03"},              // a zero byte in the market
        {std::string(100000, 'A') + "\nEN\nAR12-02\n", "03"},         // a market line of 100,000 bytes
        {"GB\nEN\n" + std::string(5000, '\xFF') + "\n", "07"},        // a request code of bytes
        {"GB\nEN\nAR12-02'; DROP TABLE PKXMap; --\n", "07"},          // a code that is SQL
        {"\xEF\xBB\xBF" "GB\r\r\r", "04"},                            // a byte-order mark and lone CRs
        {std::string(1 << 20, '\n'), "02"},                          // a million empty lines
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Number);
        FormsScript::Reset();
        WriteFile(c.Text);
        const std::string shown = Show();
        EXPECT_EQ(shown, Numbered(c.Number));
        EXPECT_TRUE(fs::exists(file));
    }
    // The table the SQL-like code named is still there.
    EXPECT_EQ(Value("SELECT COUNT(*) FROM PKXMap"), "8");
}
