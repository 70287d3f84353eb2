// The settings dialog: its checks, what it saves and keeps, the language list and captions;
// and the date picker.
#include <memory>

#include "ChecksheetFixture.h"
#include "SetUp.h"
#include "SysUtils.h"
#include "cal.h"

namespace {

class Settings : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        frmTables->tblLangText->Open();
        dialog = std::make_unique<TfrmSetup>(nullptr);
    }
    void TearDown() override {
        dialog.reset();
        ChecksheetFixture::TearDown();
    }
    /// Shows the dialog; `fill` runs when it is shown, then OK is pressed (and Escape after a
    /// refusal, so the dialog always closes).
    TModalResult Run(const std::function<void(TfrmSetup&)>& fill) {
        FormsScript::OnForm("frmSetup", [fill](TForm& f) {
            fill(static_cast<TfrmSetup&>(f));
            FormsScript::PressEnter(f);
        });
        FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::PressEscape(f); });
        const TModalResult result = dialog->ShowModal();
        return result;
    }
    std::unique_ptr<TfrmSetup> dialog;
};

}  // namespace

TEST_F(Settings, MarginFiveIsSavedAndSixRefused) {
    EXPECT_EQ(Run([](TfrmSetup& d) { FormsScript::Type(*d.edtTopMargin, "5"); }), mrOk);
    EXPECT_EQ(Value("SELECT PAGE_MARGIN FROM PARAMS"), "5");
    EXPECT_EQ(FormsScript::PendingActions(), 1);  // the Escape was not needed
    FormsScript::Reset();
    EXPECT_EQ(Run([](TfrmSetup& d) { FormsScript::Type(*d.edtTopMargin, "6"); }), mrCancel);
    ASSERT_EQ(FormsScript::MessageTexts().size(), 1u);
    EXPECT_EQ(FormsScript::MessageTexts()[0], "The top margin must be between 0 and 5 cm");
    EXPECT_EQ(Value("SELECT PAGE_MARGIN FROM PARAMS"), "5");
}

TEST_F(Settings, MarginThatIsNoWholeNumberIsRefusedWithFocusBack) {
    for (const char* margin : {"2a", "", "-1"}) {
        FormsScript::Reset();
        TWinControl* focused = nullptr;
        FormsScript::OnForm("frmSetup", [&](TForm& f) {
            FormsScript::Type(*static_cast<TfrmSetup&>(f).edtTopMargin, margin);
            FormsScript::Click(*static_cast<TfrmSetup&>(f).btnOK);
            focused = f.ActiveControl();
            FormsScript::PressEscape(f);
        });
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
        EXPECT_EQ(focused, dialog->edtTopMargin);
        EXPECT_EQ(FormsScript::MessageTexts(), std::vector<std::string>{"The entry must be a whole number"});
    }
    // A number too large for an integer is out of range, not a crash.
    FormsScript::Reset();
    EXPECT_EQ(Run([](TfrmSetup& d) { FormsScript::Type(*d.edtTopMargin, "99999999999"); }), mrCancel);
    EXPECT_EQ(FormsScript::MessageTexts(), std::vector<std::string>{"The top margin must be between 0 and 5 cm"});
}

TEST_F(Settings, WithoutDealerDetailsAnEmptyNameAndAddressAreSaved) {
    EXPECT_EQ(Run([](TfrmSetup& d) {
                  d.cbCoDetails->SetChecked(false);
                  FormsScript::Type(*d.edtCoName, "");
                  FormsScript::Type(*d.edtCoAdd1, "");
              }),
              mrOk);
    EXPECT_EQ(Value("SELECT IFNULL(NAME, '') || '|' || IFNULL(ADD1, '') || '|' || PRINT_DETAILS FROM PARAMS"), "||0");
}

TEST_F(Settings, DealerDetailsNeedANameAndAskAboutAddressAndTelephone) {
    EXPECT_EQ(Run([](TfrmSetup& d) {
                  d.cbCoDetails->SetChecked(true);
                  FormsScript::Type(*d.edtCoName, "");
              }),
              mrCancel);
    EXPECT_EQ(FormsScript::MessageTexts(), std::vector<std::string>{"The dealer name must be entered"});

    // Retry on the address keeps the dialog open on the first address line.
    FormsScript::Reset();
    FormsScript::AnswerMessage(mrRetry);
    TWinControl* focused = nullptr;
    FormsScript::OnForm("frmSetup", [&](TForm& f) {
        auto& d = static_cast<TfrmSetup&>(f);
        FormsScript::Type(*d.edtCoAdd1, "");
        FormsScript::Click(*d.btnOK);
        focused = f.ActiveControl();
        FormsScript::PressEscape(f);
    });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(focused, dialog->edtCoAdd1);
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Text, "No dealer address has been entered");
    EXPECT_EQ(FormsScript::Messages()[0].Caption, "");

    // Ignore on the address and Abort on the telephone go on and save.
    FormsScript::Reset();
    FormsScript::AnswerMessage(mrIgnore);
    FormsScript::AnswerMessage(mrAbort);
    EXPECT_EQ(Run([](TfrmSetup& d) {
                  FormsScript::Type(*d.edtCoAdd1, "");
                  FormsScript::Type(*d.edtCoTel, "");
              }),
              mrOk);
    EXPECT_EQ(FormsScript::MessageTexts(), (std::vector<std::string>{"No dealer address has been entered",
                                                                     "No dealer telephone number has been entered"}));
    EXPECT_EQ(Value("SELECT IFNULL(ADD1, '') || '|' || IFNULL(TELEPHONE, '') || '|' || NAME FROM PARAMS"),
              "||HARBOURSIDE MOTORS LTD");
}

TEST_F(Settings, MarketWithOneLanguageShowsNoListAndKeepsTheLanguage) {
    EXPECT_EQ(Run([](TfrmSetup& d) {
                  EXPECT_FALSE(d.cmbLanguage->Visible());
                  EXPECT_FALSE(d.lblLanguage->Visible());
                  EXPECT_EQ(d.edtMarket->Text(), "GREAT BRITAIN");
              }),
              mrOk);
    EXPECT_EQ(Value("SELECT LANG_CODE FROM PARAMS"), "EN");
}

TEST_F(Settings, MarketsWithoutTestOptionsHideThemAndKeepTheirValues) {
    Exec("UPDATE PARAMS SET MARKET_CODE='PL', LANG_CODE='PO', EMTEST_EQUIP=1, BRTEST_EQUIP=0");
    EXPECT_EQ(Run([](TfrmSetup& d) {
                  EXPECT_FALSE(d.cbEmissionTest->Visible());
                  EXPECT_FALSE(d.cbBrakeTest->Visible());
                  EXPECT_TRUE(d.cmbLanguage->Visible());
              }),
              mrOk);
    EXPECT_EQ(Value("SELECT EMTEST_EQUIP || BRTEST_EQUIP FROM PARAMS"), "10");
    EXPECT_TRUE(MarketWithoutTestOptions("UA"));
    EXPECT_FALSE(MarketWithoutTestOptions("DX"));
}

TEST_F(Settings, ChosenLanguageAppliesAtOnceButIsSavedOnlyByOk) {
    Exec("UPDATE PARAMS SET MARKET_CODE='DX', LANG_CODE='DE'");
    FormsScript::OnForm("frmSetup", [](TForm& f) {
        auto& d = static_cast<TfrmSetup&>(f);
        EXPECT_EQ(f.Caption(), "Einstellungen");
        EXPECT_EQ(d.cmbLanguage->Text(), "GERMAN");
        EXPECT_TRUE(FormsScript::Select(*d.cmbLanguage, 1));
        EXPECT_EQ(f.Caption(), "Settings");
        EXPECT_EQ(d.btnCancel->Caption(), "Cancel");
        FormsScript::PressEscape(f);
    });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(Language, "EN");
    EXPECT_EQ(Value("SELECT LANG_CODE FROM PARAMS"), "DE");
    // Chosen again and confirmed, it is saved.
    FormsScript::Reset();
    EXPECT_EQ(Run([](TfrmSetup& d) { FormsScript::Select(*d.cmbLanguage, 1); }), mrOk);
    EXPECT_EQ(Value("SELECT LANG_CODE FROM PARAMS"), "EN");
}

TEST_F(Settings, CaptionLosesOnlyItsFirstAmpersand) {
    Exec("UPDATE LANGTEXT SET LTEXT='Set&tings && more' WHERE LANG_CODE='EN' AND TEXT_NO=5");
    frmTables->tblLangText->Close();  // read again when the dialog opens
    Run([](TfrmSetup& d) { EXPECT_EQ(d.Caption(), "Settings && more"); });
}

TEST_F(Settings, DatePickerReturnsTheDateChosen) {
    using namespace std::chrono;
    Language = "EN";
    FormsScript::OnForm("frmCalendar", [](TForm& f) {
        auto& c = static_cast<TfrmCalendar&>(f);
        EXPECT_EQ(f.Caption(), "As at date");
        EXPECT_EQ(c.cal->Date(), 2004y / March / 15d);
        FormsScript::PickDate(*c.cal, 2004y / February / 29d);
        FormsScript::PressEnter(f);
    });
    EXPECT_EQ(DateToStr(SelectDate("15/03/2004").value()), "29/02/2004");
    // Closed without OK, even after a pick, nothing is chosen.
    FormsScript::OnForm("frmCalendar", [](TForm& f) {
        FormsScript::PickDate(*static_cast<TfrmCalendar&>(f).cal, 2004y / February / 29d);
        f.Close();
    });
    EXPECT_FALSE(SelectDate("").has_value());
    EXPECT_THROW(SelectDate("not a date"), EConvertError);
}

TEST_F(Settings, UnreadableStoredValuesAreShownEmptyAndReportedOnlyOnOk) {
    for (const char* stored : {"'abc'", "2.5"}) {
        SCOPED_TRACE(stored);
        FormsScript::Reset();
        Exec(std::string("UPDATE PARAMS SET PAGE_MARGIN=") + stored + ", PRINT_DETAILS='yes'");
        frmTables->tblParams->Close();
        std::string shown = "?";
        bool checked = true;
        FormsScript::OnForm("frmSetup", [&](TForm& f) {
            auto& d = static_cast<TfrmSetup&>(f);
            shown = d.edtTopMargin->Text();
            checked = d.cbCoDetails->Checked();
            EXPECT_TRUE(FormsScript::Messages().empty());  // nothing reported on showing
            FormsScript::PressEnter(f);
        });
        FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::PressEscape(f); });
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
        EXPECT_EQ(shown, "");
        EXPECT_FALSE(checked);
        EXPECT_EQ(FormsScript::MessageTexts(), std::vector<std::string>{"The entry must be a whole number"});
        // Refused: the stored values stay as they were.
        EXPECT_EQ(Value("SELECT quote(PAGE_MARGIN) || PRINT_DETAILS FROM PARAMS"), std::string(stored) + "yes");
    }
}

TEST_F(Settings, EntriesThatCannotBeShownAreReportedOnOkWithTheFieldFocused) {
    const std::string longName(60, 'N');  // NAME holds 50
    Exec("UPDATE PARAMS SET PRINT_DETAILS=0, NAME='" + longName + "', ADD1=CAST(X'41420043' AS TEXT), ADD2='Kept'");
    frmTables->tblParams->Close();
    const std::string report =
        "The stored entry could not be shown in full. Enter it again, or press OK once more to save it empty";
    std::string shownName = "?", shownAdd1 = "?", shownAdd2;
    TWinControl* firstFocus = nullptr;
    TWinControl* secondFocus = nullptr;
    FormsScript::OnForm("frmSetup", [&](TForm& f) {
        auto& d = static_cast<TfrmSetup&>(f);
        shownName = d.edtCoName->Text();
        shownAdd1 = d.edtCoAdd1->Text();
        shownAdd2 = d.edtCoAdd2->Text();
        EXPECT_TRUE(FormsScript::Messages().empty());  // nothing reported on showing
        FormsScript::PressEnter(f);
        firstFocus = f.ActiveControl();
    });
    FormsScript::OnForm("frmSetup", [&](TForm& f) {
        auto& d = static_cast<TfrmSetup&>(f);
        EXPECT_TRUE(f.Visible());
        // Refused: nothing was written yet.
        EXPECT_EQ(Value("SELECT NAME || '|' || hex(ADD1) FROM PARAMS"), longName + "|41420043");
        FormsScript::Type(*d.edtCoName, "Dealer Ltd");
        FormsScript::PressEnter(f);
        secondFocus = f.ActiveControl();
    });
    // The second OK after the report on ADD1 saves it empty, as the user was told.
    FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::PressEnter(f); });
    FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::PressEscape(f); });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_EQ(shownName, "");
    EXPECT_EQ(shownAdd1, "");
    EXPECT_EQ(shownAdd2, "Kept");
    EXPECT_EQ(firstFocus, dialog->edtCoName);
    EXPECT_EQ(secondFocus, dialog->edtCoAdd1);
    EXPECT_EQ(FormsScript::MessageTexts(), (std::vector<std::string>{report, report}));
    EXPECT_EQ(FormsScript::PendingActions(), 1);
    EXPECT_EQ(Value("SELECT NAME || '|' || coalesce(ADD1, '') || '|' || ADD2 FROM PARAMS"), "Dealer Ltd||Kept");
}

TEST_F(Settings, CancelKeepsEntriesThatCannotBeShown) {
    Exec("UPDATE PARAMS SET NAME='" + std::string(60, 'N') + "', WEB=CAST(X'770077' AS TEXT)");
    frmTables->tblParams->Close();
    FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::PressEnter(f); });
    FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::PressEscape(f); });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(FormsScript::MessageTexts().size(), 1u);
    EXPECT_EQ(Value("SELECT length(NAME) || '|' || hex(WEB) FROM PARAMS"), "60|770077");
}
