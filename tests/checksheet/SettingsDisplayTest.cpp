// The settings dialog and the main menu drawn by real widgets on an X server of the test's own:
// refused input keeps the dialog open with what was typed, Greek and Polish settings show and
// take their own letters, and a market without pre-printed forms greys their menu entry.
// Pictures of the windows are written beside the test program.
#include <algorithm>
#include <cstring>

#include "../support/XvfbServer.h"
#include "Bitmap.h"
#include "ChecksheetFixture.h"
#include "CodePages.h"
#include "Picture.h"
#include "SetUp.h"

namespace {

testsupport::XvfbServer gServer;

class SettingsDisplay : public ChecksheetFixture {
protected:
    void TearDown() override {
        ChecksheetFixture::TearDown();
        SetACP(1252);
    }
    /// Runs the main menu: the actions for the settings dialog run between opening it from the
    /// menu and leaving the menu.
    void RunSettingsFromTheMenu() {
        FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnSetup); });
    }
    void LeaveTheMenu() {
        FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnExit); });
    }
};

/// The darkest grey level (0 black .. 255 white) of a control's area in a picture of its form.
int DarkestOf(const TBitmap& shot, const TControl& control) {
    int left = control.Left(), top = control.Top();
    for (const TWinControl* p = control.Parent(); p && !dynamic_cast<const TForm*>(p); p = p->Parent()) {
        left += p->Left();
        top += p->Top();
    }
    int darkest = 255;
    for (int y = std::max(0, top); y < std::min(shot.Height(), top + control.Height()); ++y)
        for (int x = std::max(0, left); x < std::min(shot.Width(), left + control.Width()); ++x) {
            const TColor c = shot.Pixel(x, y);
            darkest = std::min(darkest, std::max({int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)}));
        }
    return darkest;
}

}  // namespace

TEST_F(SettingsDisplay, RefusedOkKeepsTheDialogOpenWithWhatWasTyped) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const std::string before = Value("SELECT NAME || '|' || PAGE_MARGIN || '|' || ADD1 FROM PARAMS");
    struct Case {
        const char* Margin;
        bool ClearName, ClearAddress;
        TModalResult Answer;
        const char* Message;
    };
    const Case cases[] = {
        {"7", false, false, mrOk, "The top margin must be between 0 and 5 cm"},
        {"1a", false, false, mrOk, "The entry must be a whole number"},
        {"", false, false, mrOk, "The entry must be a whole number"},
        {"2", true, false, mrOk, "The dealer name must be entered"},
        {"2", false, true, mrRetry, "No dealer address has been entered"},
    };
    RunSettingsFromTheMenu();
    int refusedAndOpen = 0;
    for (const Case& c : cases) {
        FormsScript::OnForm("frmSetup", [&c](TForm& f) {
            auto& s = static_cast<TfrmSetup&>(f);
            FormsScript::Type(*s.edtTopMargin, c.Margin);
            FormsScript::Type(*s.edtCoName, c.ClearName ? "" : "NEW NAME");
            FormsScript::Type(*s.edtCoAdd1, c.ClearAddress ? "" : "NEW STREET");
            FormsScript::AnswerMessage(c.Answer);
            EXPECT_TRUE(FormsScript::ClickByMouse(*s.btnOK));
        });
        FormsScript::OnForm("frmSetup", [&c, &refusedAndOpen](TForm& f) {
            auto& s = static_cast<TfrmSetup&>(f);
            if (f.Visible() && f.Modal() && f.ModalResult() == mrNone) ++refusedAndOpen;
            EXPECT_EQ(s.edtTopMargin->Text(), c.Margin);
            EXPECT_EQ(FormsScript::ShownText(*s.edtTopMargin), std::u16string(c.Margin, c.Margin + std::strlen(c.Margin)));
            EXPECT_EQ(s.edtCoName->Text(), c.ClearName ? "" : "NEW NAME");
            if (c.Margin == std::string("7")) FormsScript::SaveImage(f, "settings-refused.png");
        });
    }
    FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::ClickByMouse(*static_cast<TfrmSetup&>(f).btnCancel); });
    LeaveTheMenu();
    frmMain->ShowModal();
    EXPECT_EQ(refusedAndOpen, 5);
    ASSERT_EQ(FormsScript::Messages().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(FormsScript::Messages()[i].Text, cases[i].Message);
    EXPECT_EQ(FormsScript::Messages()[4].Caption, "");  // the address question has no caption
    EXPECT_EQ(Value("SELECT NAME || '|' || PAGE_MARGIN || '|' || ADD1 FROM PARAMS"), before);
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(SettingsDisplay, GreekMenuAndSettingsShowAndTakeGreekLetters) {
    Exec("UPDATE PARAMS SET MARKET_CODE = 'GR', LANG_CODE = 'GK'");
    FormsScript::OnForm("frmMain", [](TForm& f) {
        auto& m = static_cast<TfrmMain&>(f);
        EXPECT_EQ(GetACP(), 1253u);
        EXPECT_EQ(FormsScript::ShownText(*m.lblScreenTitle), u"Σύστημα φύλλων ελέγχου σέρβις");
        EXPECT_EQ(FormsScript::ShownText(*m.lblSetup), u"Ρυθμίσεις");
        EXPECT_EQ(FormsScript::ShownText(f), u"Σύστημα φύλλων ελέγχου σέρβις");
        EXPECT_TRUE(FormsScript::SaveImage(f, "mainmenu-gk.png"));
        FormsScript::Click(*m.btnSetup);
    });
    FormsScript::OnForm("frmSetup", [](TForm& f) {
        auto& s = static_cast<TfrmSetup&>(f);
        EXPECT_EQ(FormsScript::ShownText(f), u"Ρυθμίσεις");
        EXPECT_EQ(FormsScript::ShownText(*s.lblName), u"Όνομα");
        EXPECT_EQ(FormsScript::ShownText(*s.gbCompany), u"Στοιχεία αντιπροσώπου");
        FormsScript::Type(*s.edtCoName, "");
        FormsScript::TypeKeys(*s.edtCoName, u"Σέρβις Αθηνών Łódź");  // only the "d" of the Polish word fits 1253
        EXPECT_EQ(FormsScript::ShownText(*s.edtCoName), u"Σέρβις Αθηνών d");
        EXPECT_TRUE(FormsScript::SaveImage(f, "settings-gk.png"));
        FormsScript::ClickByMouse(*s.btnOK);
    });
    LeaveTheMenu();
    frmMain->ShowModal();
    EXPECT_EQ(Value("SELECT NAME FROM PARAMS"), "\xD3\xDD\xF1\xE2\xE9\xF2 \xC1\xE8\xE7\xED\xFE\xED d");
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(SettingsDisplay, PolishMenuAndSettingsShowAndTakePolishLetters) {
    Exec("UPDATE PARAMS SET MARKET_CODE = 'PL', LANG_CODE = 'PO'");
    FormsScript::OnForm("frmMain", [](TForm& f) {
        auto& m = static_cast<TfrmMain&>(f);
        EXPECT_EQ(GetACP(), 1250u);
        EXPECT_EQ(FormsScript::ShownText(*m.lblScreenTitle), u"System list przeglądowych");
        EXPECT_EQ(FormsScript::ShownText(*m.lblExit), u"Wyjście");
        EXPECT_TRUE(FormsScript::SaveImage(f, "mainmenu-po.png"));
        FormsScript::Click(*m.btnSetup);
    });
    FormsScript::OnForm("frmSetup", [](TForm& f) {
        auto& s = static_cast<TfrmSetup&>(f);
        EXPECT_EQ(FormsScript::ShownText(*s.lblLanguage), u"Język");
        FormsScript::Type(*s.edtCoName, "");
        FormsScript::TypeKeys(*s.edtCoName, u"Łódź Serwis");
        EXPECT_EQ(FormsScript::ShownText(*s.edtCoName), u"Łódź Serwis");
        EXPECT_TRUE(FormsScript::SaveImage(f, "settings-po.png"));
        FormsScript::ClickByMouse(*s.btnOK);
    });
    LeaveTheMenu();
    frmMain->ShowModal();
    EXPECT_EQ(Value("SELECT NAME FROM PARAMS"), "\xA3\xF3" "d\x9F Serwis");
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(SettingsDisplay, MarketWithoutPrePrintedFormsGreysItsMenuEntry) {
    Exec("UPDATE PARAMS SET MARKET_CODE = 'SF', LANG_CODE = 'EN'");
    FormsScript::OnForm("frmMain", [](TForm& f) {
        EXPECT_TRUE(FormsScript::SaveImage(f, "mainmenu-sf.png"));
        EXPECT_TRUE(FormsScript::SaveImage(f, "mainmenu-sf.bmp"));
        FormsScript::Click(*static_cast<TfrmMain&>(f).btnExit);
    });
    frmMain->ShowModal();
    EXPECT_FALSE(frmMain->lblPrePrinted1->Enabled());
    EXPECT_FALSE(frmMain->btnPrePrinted->Enabled());
    EXPECT_FALSE(frmMain->btnChecksheet->Glyph().Empty());
    TPicture picture;
    picture.LoadFromFile("mainmenu-sf.bmp");
    const TBitmap& shot = picture.Bitmap();
    EXPECT_LT(DarkestOf(shot, *frmMain->lblChecksheet1), 60);  // black text
    EXPECT_GT(DarkestOf(shot, *frmMain->lblPrePrinted1), 90);  // greyed text
    EXPECT_LT(DarkestOf(shot, *frmMain->lblPrePrinted1), 230);
}
