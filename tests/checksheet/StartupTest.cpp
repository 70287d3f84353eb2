// Start-up of the interactive run: reading PARAMS (missing, empty, damaged, holding old codes),
// the first installation and the main form's captions.
#include <iterator>
#include <memory>

#include "ChecksheetFixture.h"
#include "FirstIns.h"
#include "SetUp.h"
#include "Printers.h"
#include "vetrav3.h"
#include "ImageReaders.h"

#include <algorithm>

namespace {

TfrmFirstInstall& FirstInstall(TForm& f) { return static_cast<TfrmFirstInstall&>(f); }

/// Script: choose a flag in the first installation and confirm.
void ChooseMarket(const std::string& market) {
    FormsScript::OnForm("frmFirstInstall", [market](TForm& f) {
        EXPECT_TRUE(FormsScript::Click(*FirstInstall(f).FlagOf(market)));
        EXPECT_TRUE(FormsScript::Click(*FirstInstall(f).btnOK));
    });
}

void AcceptSettings() {
    FormsScript::OnForm("frmSetup", [](TForm& f) { EXPECT_TRUE(FormsScript::PressEnter(f)); });
}

using Startup = ChecksheetFixture;

}  // namespace

TEST_F(Startup, OldCodesAreMappedAndWrittenBack) {
    Exec("UPDATE PARAMS SET MARKET_CODE='KDW', LANG_CODE='GB'");
    frmMain->FormShow(frmMain);
    EXPECT_EQ(Market, "DX");
    EXPECT_EQ(Language, "EN");
    EXPECT_EQ(Value("SELECT MARKET_CODE FROM PARAMS"), "DX");
    EXPECT_EQ(Value("SELECT LANG_CODE FROM PARAMS"), "EN");
    EXPECT_EQ(frmMain->Caption(), "Service Checksheet System");
    EXPECT_EQ(frmMain->lblVersion->Caption(), "Program version 3.0");
    // The German market has its own training caption on two lines.
    EXPECT_EQ(frmMain->lblTraining->Caption(), "Anleitung zur");
    EXPECT_TRUE(frmMain->lblTraining2->Visible());
    EXPECT_TRUE(FormsScript::Messages().empty());
}

TEST_F(Startup, CodeMappingsLeaveOtherCodesAlone) {
    EXPECT_EQ(MapOldMarketCode("SV"), "SX");
    EXPECT_EQ(MapOldMarketCode("kdw"), "kdw");
    EXPECT_EQ(MapOldMarketCode("GB"), "GB");
    EXPECT_EQ(MapOldLanguageCode("HU"), "HV");
    EXPECT_EQ(MapOldLanguageCode("DE"), "DE");
}

TEST_F(Startup, MissingParamsIsCreatedByTheFirstInstallation) {
    Exec("DROP TABLE PARAMS");
    ChooseMarket("DX");
    AcceptSettings();
    frmMain->FormShow(frmMain);
    EXPECT_TRUE(NeedCreateParams);
    EXPECT_EQ(Market, "DX");
    EXPECT_EQ(Language, "DE");
    EXPECT_EQ(Value("SELECT MARKET_CODE || '/' || LANG_CODE || '/' || PAGE_MARGIN FROM PARAMS"), "DX/DE/1");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM PARAMS"), "1");
    EXPECT_EQ(frmMain->Caption(), "Wartungslisten-System");
    EXPECT_FALSE(frmMain->Timer1->Enabled());
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(Startup, EmptyParamsRunsTheFirstInstallation) {
    Exec("DELETE FROM PARAMS");
    ChooseMarket("GB");
    AcceptSettings();
    frmMain->FormShow(frmMain);
    EXPECT_FALSE(NeedCreateParams);
    EXPECT_EQ(Value("SELECT MARKET_CODE || '/' || LANG_CODE FROM PARAMS"), "GB/EN");
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(Startup, LeavingTheFirstInstallationEndsTheProgram) {
    Exec("DROP TABLE PARAMS");
    FormsScript::OnForm("frmFirstInstall", [](TForm& f) {
        FormsScript::Click(*FirstInstall(f).FlagOf("FX"));
        EXPECT_TRUE(FormsScript::Click(*FirstInstall(f).btnExit));
    });
    EXPECT_EQ(frmMain->ShowModal(), mrCancel);  // closed by its 1 ms timer
    EXPECT_TRUE(Market.empty());
    EXPECT_TRUE(frmMain->Timer1->Enabled());
    EXPECT_EQ(Value("SELECT name FROM sqlite_master WHERE name='PARAMS'"), "");
}

TEST_F(Startup, DamagedParamsIsShownAndNeverOverwritten) {
    Exec("ALTER TABLE PARAMS RENAME COLUMN MARKET_CODE TO MKT");
    EXPECT_EQ(frmMain->ShowModal(), mrCancel);
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Kind, "Error");
    EXPECT_EQ(frmMain->ExitCode(), kExitStartFailed);
    EXPECT_EQ(Value("SELECT NAME FROM PARAMS"), "HARBOURSIDE MOTORS LTD");
    EXPECT_EQ(Value("SELECT MKT FROM PARAMS"), "GB");
}

TEST_F(Startup, MissingDatabaseIsShownAndNotMadeUp) {
    std::filesystem::remove(folder / "klv3data.sqlite");
    EXPECT_EQ(frmMain->ShowModal(), mrCancel);
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(frmMain->ExitCode(), kExitStartFailed);
    EXPECT_FALSE(std::filesystem::exists(folder / "klv3data.sqlite"));
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(Startup, FirstInstallationKeepsTheDealerAndResetsTheOptions) {
    ChooseMarket("DX");
    {
        auto dialog = std::make_unique<TfrmFirstInstall>(nullptr);
        EXPECT_EQ(dialog->ShowModal(), mrOk);
    }
    EXPECT_EQ(Value("SELECT NAME FROM PARAMS"), "HARBOURSIDE MOTORS LTD");
    EXPECT_EQ(Value("SELECT PRINT_DETAILS || CUSTOMER_DETAILS || EMTEST_EQUIP || BRTEST_EQUIP FROM PARAMS"), "0000");
    EXPECT_EQ(Value("SELECT PAGE_MARGIN || MARKET_CODE || LANG_CODE FROM PARAMS"), "1DXDE");
}

TEST_F(Startup, MarketThatMarketTableLacksIsWrittenWithoutLanguage) {
    Exec("DELETE FROM PARAMS");
    Exec("DELETE FROM MARKET WHERE MARKET_CODE='SF'");
    ChooseMarket("SF");
    {
        auto dialog = std::make_unique<TfrmFirstInstall>(nullptr);
        EXPECT_EQ(dialog->ShowModal(), mrOk);
    }
    EXPECT_EQ(Value("SELECT MARKET_CODE || '/' || IFNULL(LANG_CODE, '') FROM PARAMS"), "SF/");
}

TEST_F(Startup, FinlandTakesTheFirstLanguageOfItsMarket) {
    Exec("UPDATE MARKET SET LANG1='EN', LANG2='DE' WHERE MARKET_CODE='SF'");
    ChooseMarket("SF");
    AcceptSettings();
    Exec("UPDATE PARAMS SET MARKET_CODE=''");
    frmMain->FormShow(frmMain);
    EXPECT_EQ(Value("SELECT MARKET_CODE || '/' || LANG_CODE FROM PARAMS"), "SF/EN");
    // Finland has no pre-printed forms.
    EXPECT_FALSE(frmMain->btnPrePrinted->Enabled());
    EXPECT_EQ(frmMain->btnPrePrinted->GroupIndex(), 2);
    EXPECT_FALSE(frmMain->lblPrePrinted1->Enabled());
}

TEST_F(Startup, CancelInTheFlagViewShowsTheFlagsAgain) {
    auto dialog = std::make_unique<TfrmFirstInstall>(nullptr);
    FormsScript::OnForm("frmFirstInstall", [](TForm& f) {
        auto& d = FirstInstall(f);
        EXPECT_FALSE(FormsScript::Click(*d.btnOK));  // disabled until a flag is chosen
        FormsScript::Click(*d.FlagOf("IX"));
        EXPECT_FALSE(d.FlagOf("GB")->Visible());
        EXPECT_TRUE(d.imSelected->Visible());
        EXPECT_TRUE(FormsScript::PressEscape(f));  // Cancel answers Escape once it is enabled
        EXPECT_TRUE(d.FlagOf("GB")->Visible());
        EXPECT_FALSE(d.btnOK->Enabled());
        EXPECT_TRUE(FormsScript::PressEscape(f));  // now Exit
    });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_TRUE(Market.empty());
}

TEST_F(Startup, DataVersionShowsTheMonthName) {
    Exec("UPDATE Version SET MonthNo=3, YearNo=2001");
    frmMain->FormShow(frmMain);
    EXPECT_EQ(frmMain->lblDataVersion->Caption(), "March 2001");
    EXPECT_EQ(DataVersion, "March 2001");
    Exec("UPDATE Version SET MonthNo=0");
    frmTables->tblVersion->Close();
    frmMain->Set_Captions();
    EXPECT_EQ(frmMain->lblDataVersion->Caption(), "00 2001");
}

TEST_F(Startup, WideMenuTextsAreSplitOverTwoLabels) {
    std::string first, second;
    EXPECT_TRUE(SplitMenuText("Wartungs-Checklisten", first, second));
    EXPECT_EQ(first, "Wartungs-");
    EXPECT_EQ(second, "Checklisten");
    EXPECT_TRUE(SplitMenuText("Service Check Sheets", first, second));
    EXPECT_EQ(first, "Service ");
    EXPECT_EQ(second, "Check Sheets");
    EXPECT_FALSE(SplitMenuText("Servicechecksheets", first, second));

    Exec("UPDATE LANGTEXT SET LTEXT='Servicechecksheetsandmanymoreverylongwordswithoutanyblank' "
         "WHERE LANG_CODE='EN' AND TEXT_NO=4");
    Exec("UPDATE LANGTEXT SET LTEXT='Pre-printed forms for every workshop in the land' "
         "WHERE LANG_CODE='EN' AND TEXT_NO=173");
    frmMain->FormShow(frmMain);
    EXPECT_FALSE(frmMain->lblChecksheet2->Visible());
    EXPECT_EQ(frmMain->lblPrePrinted1->Caption(), "Pre-");
    EXPECT_EQ(frmMain->lblPrePrinted2->Caption(), "printed forms for every workshop in the land");
    EXPECT_TRUE(frmMain->lblPrePrinted2->Visible());
}

TEST_F(Startup, TrainingPrintStopsQuietlyWithoutItsPages) {
    frmMain->FormShow(frmMain);
    FormsScript::AnswerDialog(false);
    frmMain->btnTrainingClick(frmMain);  // print dialog cancelled: nothing happens
    FormsScript::AnswerDialog(true);
    frmMain->btnTrainingClick(frmMain);  // no ENTRAIN1.TIF in the folder: no message
    EXPECT_TRUE(FormsScript::Messages().empty());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_FALSE(Printer()->Printing());
}

TEST_F(Startup, MissingVersionOrLanguageTextsEndTheProgram) {
    for (const char* table : {"Version", "LANGTEXT"}) {
        SCOPED_TRACE(table);
        TearDown();
        SetUp();
        Exec(std::string("DROP TABLE ") + table);
        EXPECT_EQ(frmMain->ShowModal(), mrCancel);
        ASSERT_EQ(FormsScript::Messages().size(), 1u);
        EXPECT_EQ(FormsScript::Messages()[0].Kind, "Error");
        EXPECT_EQ(frmMain->ExitCode(), kExitStartFailed);
        EXPECT_FALSE(frmMain->Visible());
        EXPECT_EQ(Value("SELECT MARKET_CODE FROM PARAMS"), "GB");
    }
}

TEST_F(Startup, SettingsRowIsLeftAsItIsWhenNoCodeIsMapped) {
    // Values the settings dialog cannot read exactly stay exactly as stored.
    const std::string longName(120, 'N');
    Exec("UPDATE PARAMS SET PAGE_MARGIN='abc', PRINT_DETAILS='yes', NAME='" + longName +
         "', ADD1=CAST(X'4142004344' AS TEXT)");
    const std::string before = Value("SELECT quote(PAGE_MARGIN) || quote(PRINT_DETAILS) || NAME || hex(ADD1) || "
                                     "MARKET_CODE || LANG_CODE FROM PARAMS");
    frmMain->FormShow(frmMain);
    EXPECT_EQ(frmMain->ExitCode(), 0);
    EXPECT_EQ(Market, "GB");
    EXPECT_EQ(Value("SELECT quote(PAGE_MARGIN) || quote(PRINT_DETAILS) || NAME || hex(ADD1) || "
                    "MARKET_CODE || LANG_CODE FROM PARAMS"),
              before);
}

TEST_F(Startup, MappedCodesAreTheOnlyValuesWrittenBack) {
    Exec("UPDATE PARAMS SET MARKET_CODE='GRC', LANG_CODE='EN', PAGE_MARGIN=2.5, PRINT_DETAILS='yes'");
    frmMain->FormShow(frmMain);
    EXPECT_EQ(Market, "GR");
    EXPECT_EQ(Value("SELECT MARKET_CODE || '/' || LANG_CODE FROM PARAMS"), "GR/EN");
    EXPECT_EQ(Value("SELECT quote(PAGE_MARGIN) || quote(PRINT_DETAILS) FROM PARAMS"), "2.5'yes'");
}

TEST_F(Startup, EveryMarketOfTheFirstInstallationGetsRealCaptions) {
    const char* const markets[] = {"GB", "BX", "DX", "AX", "FX", "EX", "PX", "IX", "NL", "CH", "NX", "DK", "SF",
                                   "SX", "HR", "BG", "RO", "SI", "UA", "CS", "GR", "PL", "HX", "TR", "RU"};
    static_assert(std::size(markets) == TfrmFirstInstall::FlagCount);
    for (const char* market : markets) {
        SCOPED_TRACE(market);
        Exec("DELETE FROM PARAMS");
        frmTables->tblParams->Close();
        ChooseMarket(market);
        AcceptSettings();
        frmMain->FormShow(frmMain);
        EXPECT_EQ(Market, market);
        EXPECT_FALSE(Language.empty());
        EXPECT_EQ(Value("SELECT LANG_CODE FROM PARAMS"), Value("SELECT LANG1 FROM MARKET WHERE MARKET_CODE='" +
                                                               std::string(market) + "'"));
        EXPECT_NE(frmMain->Caption(), "*");
        EXPECT_NE(frmMain->lblSetup->Caption(), "*");
        EXPECT_EQ(FormsScript::PendingActions(), 0);
    }
    EXPECT_EQ(frmMain->ExitCode(), 0);
}

TEST(StartupImages, PageImagesLoadByExtensionOnceTheProgramHasStarted) {
    // A command-line run that ends at once (no database beside the tests) still runs the
    // program's start-up.
    FormsScript::Reset();
    Application->ResetRun();
    EXPECT_EQ(RunVetra({"x", "GB,EN,123,21,Y,N,N,N"}), kExitStartFailed);
    const auto formats = TPicture::FileFormats();
    const auto tif = std::find_if(formats.begin(), formats.end(), [](const TFileFormat& f) { return f.Extension == "tif"; });
    ASSERT_NE(tif, formats.end());
    EXPECT_EQ(tif->Description, "TIFF images");
    EXPECT_EQ(tif->GraphicClass, TIFFGraphicClass());
}
