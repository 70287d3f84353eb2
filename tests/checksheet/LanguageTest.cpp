// The process's ANSI code page follows the language in use: its list, start-up from the
// settings, a language chosen in the settings, and what the menu and the settings then show
// and store, all without a display.
#include "ChecksheetFixture.h"
#include "CodePages.h"
#include "FirstIns.h"
#include "SetUp.h"
#include "charconv.h"

namespace {

class LanguageCodePage : public ChecksheetFixture {
protected:
    void TearDown() override {
        ChecksheetFixture::TearDown();
        SetACP(1252);
    }
    void LeaveTheMenu() {
        FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnExit); });
    }
};

}  // namespace

TEST(CodePageList, NamesItsLanguagesAndLeavesTheRestTo1252) {
    for (const char* l : {"CZ", "HR", "HV", "PO", "RO", "SL"}) EXPECT_EQ(CodePageOfLanguage(l), 1250u) << l;
    for (const char* l : {"BG", "UK"}) EXPECT_EQ(CodePageOfLanguage(l), 1251u) << l;
    EXPECT_EQ(CodePageOfLanguage("GK"), 1253u);
    EXPECT_EQ(CodePageOfLanguage("gk"), 1253u);
    for (const char* l : {"EN", "DE", "DA", "FR", "", "GKX", "G"}) {
        EXPECT_EQ(CodePageOfLanguage(l), 1252u) << l;
        EXPECT_EQ(ListedCodePage(l), 0u) << l;
    }
}

TEST(CodePageList, UsingALanguageSetsTheProcessCodePage) {
    EXPECT_EQ(UseLanguageCodePage("PO"), 1250u);
    EXPECT_EQ(GetACP(), 1250u);
    EXPECT_EQ(UseLanguageCodePage("UK"), 1251u);
    EXPECT_EQ(UseLanguageCodePage("XX"), 1252u);
    EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(LanguageCodePage, GreekStartUpShowsGreekLetters) {
    Exec("UPDATE PARAMS SET MARKET_CODE = 'GRC', LANG_CODE = 'GR'");  // old codes, mapped at start
    std::u16string title, setup, version;
    FormsScript::OnForm("frmMain", [&](TForm& f) {
        auto& m = static_cast<TfrmMain&>(f);
        title = FormsScript::ShownText(*m.lblScreenTitle);
        setup = FormsScript::ShownText(*m.lblSetup);
        version = FormsScript::ShownText(*m.lblDataVersion);
        FormsScript::Click(*m.btnExit);
    });
    frmMain->ShowModal();
    EXPECT_EQ(Language, "GK");
    EXPECT_EQ(GetACP(), 1253u);
    EXPECT_EQ(title, u"Σύστημα φύλλων ελέγχου σέρβις");
    EXPECT_EQ(setup, u"Ρυθμίσεις");
    EXPECT_EQ(version.substr(0, 9), u"Νοέμβριος");
}

TEST_F(LanguageCodePage, PolishNameTypedIntoTheSettingsIsStoredInCodePage1250) {
    Exec("UPDATE PARAMS SET MARKET_CODE = 'PL', LANG_CODE = 'PO'");
    FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnSetup); });
    FormsScript::OnForm("frmSetup", [](TForm& f) {
        auto& s = static_cast<TfrmSetup&>(f);
        EXPECT_EQ(FormsScript::ShownText(*s.lblLanguage), u"Język");
        FormsScript::Type(*s.edtCoName, "");
        FormsScript::TypeKeys(*s.edtCoName, u"Łódź Σ Serwis");  // the Greek letter has no place in 1250
        FormsScript::Type(*s.edtCoAdd1, "");
        FormsScript::TypeKeys(*s.edtCoAdd1, u"ul. Piękna 5");
        FormsScript::PressEnter(f);
    });
    LeaveTheMenu();
    frmMain->ShowModal();
    EXPECT_EQ(Value("SELECT NAME FROM PARAMS"), "\xA3\xF3" "d\x9F  Serwis");
    EXPECT_EQ(Value("SELECT ADD1 FROM PARAMS"), "ul. Pi\xEAkna 5");
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(LanguageCodePage, LanguageChosenInTheSettingsSwitchesTheCodePage) {
    Exec("UPDATE PARAMS SET MARKET_CODE = 'PL', LANG_CODE = 'PO'");
    std::u16string english, polish;
    FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnSetup); });
    FormsScript::OnForm("frmSetup", [&](TForm& f) {
        auto& s = static_cast<TfrmSetup&>(f);
        EXPECT_EQ(GetACP(), 1250u);
        FormsScript::Select(*s.cmbLanguage, 1);  // ENGLISH
        EXPECT_EQ(GetACP(), 1252u);
        english = FormsScript::ShownText(*s.lblLanguage);
        FormsScript::Select(*s.cmbLanguage, 0);  // POLISH
        EXPECT_EQ(GetACP(), 1250u);
        polish = FormsScript::ShownText(*s.lblLanguage);
        FormsScript::Select(*s.cmbLanguage, 1);
        FormsScript::PressEscape(f);  // the language stands for the run even when cancelled
    });
    LeaveTheMenu();
    frmMain->ShowModal();
    EXPECT_EQ(english, u"Language");
    EXPECT_EQ(polish, u"Język");
    EXPECT_EQ(Language, "EN");
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(Value("SELECT LANG_CODE FROM PARAMS"), "PO");
}

TEST_F(LanguageCodePage, FirstInstallationOfAGreekMarketTurnsToGreek) {
    Exec("UPDATE PARAMS SET MARKET_CODE = ''");
    FormsScript::OnForm("frmFirstInstall", [](TForm& f) {
        auto& d = static_cast<TfrmFirstInstall&>(f);
        FormsScript::Click(*d.FlagOf("GR"));
        FormsScript::Click(*d.btnOK);
    });
    unsigned settingsCodePage = 0;
    FormsScript::OnForm("frmSetup", [&](TForm& f) {
        settingsCodePage = GetACP();
        FormsScript::PressEscape(f);
    });
    LeaveTheMenu();
    frmMain->ShowModal();
    EXPECT_EQ(Value("SELECT LANG_CODE FROM PARAMS"), "GK");
    EXPECT_EQ(settingsCodePage, 1253u);
    EXPECT_EQ(GetACP(), 1253u);
}
