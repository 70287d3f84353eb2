// The main form: start-up reading of the settings, the code mappings, captions from LANGTEXT
// and the menu's tasks.
#include "vetramain.h"

#include <memory>

#include "Chksheet.h"
#include "Dialogs.h"
#include "DocPrint.h"
#include "Files.h"
#include "FirstIns.h"
#include "Printout.h"
#include "SetUp.h"
#include "cal.h"
#include "charconv.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "TRPrint.h"
#include "vetrav3.h"

TfrmMain* frmMain = nullptr;

namespace {

struct CodeMapping {
    const char* Old;
    const char* New;
};

constexpr CodeMapping kMarketMappings[] = {
    {"AUS", "AX"}, {"BEL", "BX"}, {"CZE", "CS"}, {"DNK", "DK"}, {"ESP", "EX"}, {"FIN", "SF"},
    {"KDW", "DX"}, {"FRA", "FX"}, {"GRC", "GR"}, {"HUN", "HX"}, {"IRL", "IR"}, {"ITA", "IX"},
    {"NLD", "NL"}, {"NOR", "NX"}, {"POL", "PL"}, {"PRT", "PX"}, {"SV", "SX"},
};

constexpr CodeMapping kLanguageMappings[] = {{"GB", "EN"}, {"DK", "DA"}, {"GR", "GK"}, {"HU", "HV"}};

template <std::size_t N>
std::string Map(const CodeMapping (&table)[N], const std::string& code) {
    for (const CodeMapping& m : table)
        if (code == m.Old) return m.New;
    return code;
}

/// Fixed wording of the main form beside the LANGTEXT captions.
constexpr const char* kMakerTitle = "Corven Motor Company - Service Information";
constexpr const char* kTrainingGerman1 = "Anleitung zur";
constexpr const char* kTrainingGerman2 = "HU-Vorpr\xFC" "fung";  // code page 1252

}  // namespace

std::string MapOldMarketCode(const std::string& code) { return Map(kMarketMappings, code); }
std::string MapOldLanguageCode(const std::string& code) { return Map(kLanguageMappings, code); }

bool SplitMenuText(const std::string& text, std::string& first, std::string& second) {
    std::size_t at = text.find('-');
    if (at == std::string::npos) at = text.find(' ');
    if (at == std::string::npos) return false;
    first = text.substr(0, at + 1);
    second = text.substr(at + 1);
    return true;
}

TfrmMain::TfrmMain(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmMain";
    SetCaption("LText(1)");
    SetBounds(0, 0, 675, 500);
    Position = TPosition::poScreenCenter;
    BorderStyle = TFormBorderStyle::bsSingle;
    BorderIcons = biSystemMenu | biMinimize;
    SetColor(clWhite);
    Font.Name = "Arial";
    Font.SetSize(10);

    imTolmLogo = Place<TImage>(this, this, "imTolmLogo", 16, 12, 150, 50);
    imTolmLogo->SetStretch(true);
    LoadArtwork(*imTolmLogo, "imTolmLogo.bmp");
    lblScreenTitle = Place<TLabel>(this, this, "lblScreenTitle", 184, 14, 470, 24);
    lblTolmTitle = Place<TLabel>(this, this, "lblTolmTitle", 184, 46, 470, 16);
    lblScreenTitle->Font.Name = "Arial";
    lblScreenTitle->Font.SetSize(16);
    lblScreenTitle->Font.Style = fsBold;
    lblScreenTitle->SetHeight(30);
    lblTolmTitle->SetCaption(kMakerTitle);
    lblTolmTitle->Font = Font;
    lblTolmTitle->Font.Style = fsItalic;
    imSplash = Place<TImage>(this, this, "imSplash", 330, 110, 320, 213);
    imSplash->SetStretch(true);
    LoadArtwork(*imSplash, "imSplash.bmp");

    pnlMenu = Place<TPanel>(this, this, "pnlMenu", 16, 96, 296, 300);
    pnlMenu->BevelOuter = TPanelBevel::bvNone;
    pnlMenu->SetColor(clWhite);
    struct MenuRow {
        TSpeedButton** Button;
        const char* ButtonName;
        TLabel** First;
        const char* FirstName;
        TLabel** Second;
        const char* SecondName;
    };
    const MenuRow rows[] = {
        {&btnChecksheet, "btnChecksheet", &lblChecksheet1, "lblChecksheet1", &lblChecksheet2, "lblChecksheet2"},
        {&btnPrePrinted, "btnPrePrinted", &lblPrePrinted1, "lblPrePrinted1", &lblPrePrinted2, "lblPrePrinted2"},
        {&btnTraining, "btnTraining", &lblTraining, "lblTraining", &lblTraining2, "lblTraining2"},
        {&btnSetup, "btnSetup", &lblSetup, "lblSetup", nullptr, nullptr},
        {&btnExit, "btnExit", &lblExit, "lblExit", nullptr, nullptr},
    };
    int y = 8;
    for (const MenuRow& row : rows) {
        TSpeedButton* b = Place<TSpeedButton>(this, pnlMenu, row.ButtonName, 8, y, 44, 44);
        b->SetGroupIndex(1);
        b->AllowAllUp = true;
        LoadArtwork(*b, std::string(row.ButtonName) + ".bmp");
        *row.Button = b;
        *row.First = Place<TLabel>(this, pnlMenu, row.FirstName, 64, y + (row.Second ? 4 : 13), 220, 18);
        (*row.First)->Font = Font;
        if (row.Second) {
            *row.Second = Place<TLabel>(this, pnlMenu, row.SecondName, 64, y + 22, 220, 18);
            (*row.Second)->Font = Font;
            (*row.Second)->Hide();
        }
        y += 56;
    }
    lblVersion = Place<TLabel>(this, this, "lblVersion", 16, 440, 300, 16);
    lblDataVersion = Place<TLabel>(this, this, "lblDataVersion", 330, 440, 320, 16);
    lblDataVersion->Alignment = TAlignment::taRightJustify;

    Timer1 = new TTimer(this);
    Timer1->Name = "Timer1";
    Timer1->SetEnabled(false);
    Timer1->SetInterval(1);
    Timer1->OnTimer = [this](TObject* s) { Timer1Timer(s); };
    printDialog1.Copies = 1;

    btnChecksheet->OnClick = [this](TObject* s) { btnChecksheetClick(s); };
    btnPrePrinted->OnClick = [this](TObject* s) { btnPrePrintedClick(s); };
    btnTraining->OnClick = [this](TObject* s) { btnTrainingClick(s); };
    btnSetup->OnClick = [this](TObject* s) { btnSetupClick(s); };
    btnExit->OnClick = [this](TObject* s) { btnExitClick(s); };
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };

    dbKLV3Data.DatabaseName = "KLV3Data";
    dbKLV3Data.DriverName = "STANDARD";
    dbKLV3Data.LoginPrompt = false;
    dbKLV3Data.SessionName = "Default";
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate(TObject*) {
    dbKLV3Data.Params.clear();
    dbKLV3Data.Params.push_back("PATH=" + ProgramFolder());
    dbKLV3Data.Params.push_back("DEFAULT DRIVER=PARADOX");
    dbKLV3Data.Params.push_back("ENABLE BCD=FALSE");
}

void TfrmMain::FormShow(TObject*) {
    // Every fault of start-up is shown and ends the program with its own exit code, so that no
    // run goes on without its main form.
    try {
        Start();
    } catch (const EAbort&) {
        FExitCode = kExitStartFailed;
        Close();
    } catch (const std::exception& e) {
        MessageDlg(e.what(), TMsgDlgType::mtError, {mrOk});
        FExitCode = kExitStartFailed;
        Close();
    }
}

void TfrmMain::Start() {
    NeedCreateParams = false;
    Market.clear();
    TTable& params = *frmTables->tblParams;
    // Only a missing PARAMS table in a readable database means a first installation; any other
    // fault ends the program, so that the dealer's settings are never overwritten and no
    // database is made up in place of one that is missing or damaged.
    const bool missing = !params.Exists();
    if (missing) {
        OpenIfClosed(*frmTables->tblLangText);
    } else {
        OpenIfClosed(params);
        params.First();
        Market = params.IsEmpty() ? std::string() : params.FieldByName("MARKET_CODE")->AsString();
    }
    if (missing) NeedCreateParams = true;
    if (missing || Market.empty()) First_Install();
    if (Market.empty()) return;
    if (Market == "SF") {
        btnPrePrinted->SetGroupIndex(2);
        btnPrePrinted->SetTransparent(false);
        btnPrePrinted->SetEnabled(false);
        lblPrePrinted1->SetEnabled(false);
        lblPrePrinted2->SetEnabled(false);
    }
    Load_Settings();
}

void TfrmMain::First_Install() {
    {
        auto dialog = std::make_unique<TfrmFirstInstall>(nullptr);
        dialog->ShowModal();
    }
    if (Market.empty()) {
        Timer1->SetEnabled(true);
        return;
    }
    Load_Settings();
    btnSetupClick(this);
}

void TfrmMain::Load_Settings() {
    TTable& params = *frmTables->tblParams;
    OpenIfClosed(*frmTables->tblLangText);
    OpenIfClosed(*frmTables->tblVersion);
    OpenIfClosed(params);
    params.First();
    const std::string storedMarket = params.FieldByName("MARKET_CODE")->AsString();
    const std::string storedLanguage = params.FieldByName("LANG_CODE")->AsString();
    Market = MapOldMarketCode(storedMarket);
    UseLanguage(MapOldLanguageCode(storedLanguage));
    // Only a code that was mapped is written back, and nothing else of the row: a settings row
    // is left exactly as it is (and a read-only installation starts) when no old code is in it.
    if (Market != storedMarket || Language != storedLanguage) {
        params.Edit();
        if (Market != storedMarket) params.FieldByName("MARKET_CODE")->SetAsString(Market);
        if (Language != storedLanguage) params.FieldByName("LANG_CODE")->SetAsString(Language);
        params.Post();
    }
    Set_Captions();
}

void TfrmMain::Set_Captions() {
    SetCaption(LText(1));
    lblScreenTitle->SetCaption(LText(1));
    lblVersion->SetCaption(LText(2) + " " + kProgramVersion);

    DataVersion = ReadDataVersion();
    lblDataVersion->SetCaption(DataVersion);

    const auto twoLines = [this](TLabel* first, TLabel* second, const std::string& caption, int slack) {
        first->SetCaption(caption);
        second->Hide();
        std::string a, b;
        if (TextWidth(caption) >= first->Width() - slack && SplitMenuText(caption, a, b)) {
            first->SetCaption(a);
            second->SetCaption(b);
            second->Show();
        }
    };
    twoLines(lblChecksheet1, lblChecksheet2, LText(4), 0);
    twoLines(lblPrePrinted1, lblPrePrinted2, LText(173), 10);

    lblTraining2->Hide();
    if (Market != "DX") {
        lblTraining->SetCaption(LText(8));
    } else {
        lblTraining->SetCaption(kTrainingGerman1);
        lblTraining2->SetCaption(kTrainingGerman2);
        lblTraining2->Show();
    }
    lblSetup->SetCaption(LText(5));
    lblExit->SetCaption(LText(6));
}

void TfrmMain::btnChecksheetClick(TObject*) {
    HandOffMode = false;
    auto form = std::make_unique<TfrmChecksheet>(this);
    form->ShowModal();
}

void TfrmMain::btnSetupClick(TObject*) {
    {
        auto dialog = std::make_unique<TfrmSetup>(nullptr);
        dialog->ShowModal();
    }
    Set_Captions();
}

void TfrmMain::btnPrePrintedClick(TObject*) {
    auto form = std::make_unique<TfrmPrint>(nullptr);
    form->ShowModal();
}

void TfrmMain::btnTrainingClick(TObject*) {
    // The wait window stays up, without waiting for it, until the print has ended, and is freed
    // whatever happened.
    auto wait = std::make_unique<TfrmTrainingSheet>(nullptr);
    wait->Show();
    if (!printDialog1.Execute()) return;
    Screen->SetCursor(crHourGlass);
    try {
        // Page files are found in the database folder whatever their letter case; the first
        // missing page ends the print without a message.
        for (int n = 1; n <= 9; ++n)
            if (!PrintPageImage(Language + "TRAIN" + IntToStr(n) + ".TIF")) break;
    } catch (...) {
        Screen->SetCursor(crDefault);
        throw;
    }
    Screen->SetCursor(crDefault);
}

void TfrmMain::btnExitClick(TObject*) { Close(); }

void TfrmMain::Timer1Timer(TObject*) { Close(); }
