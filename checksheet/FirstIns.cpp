// First installation and market selection: 25 flags, one per market; OK writes the first
// settings row (creating the PARAMS table when it was missing at start).
#include "FirstIns.h"

#include "Files.h"
#include "Tables.h"
#include "TolmLib.h"

TfrmFirstInstall* frmFirstInstall = nullptr;

namespace {

struct FlagInfo {
    const char* Component;  // also names its picture in the program's artwork folder
    const char* Country;
    const char* Market;
    const char* Extension;
};

constexpr FlagInfo kFlags[TfrmFirstInstall::FlagCount] = {
    {"imBritain", "Britain", "GB", ".bmp"},
    {"imBelgium", "Belgium", "BX", ".bmp"},
    {"imGermany", "Germany", "DX", ".bmp"},
    {"imAustria", "Austria", "AX", ".bmp"},
    {"imFrance", "France", "FX", ".bmp"},
    {"imSpain", "Spain", "EX", ".bmp"},
    {"imPortugal", "Portugal", "PX", ".bmp"},
    {"imItaly", "Italy", "IX", ".bmp"},
    {"imHolland", "Netherlands", "NL", ".bmp"},
    {"imSwitz", "Switzerland", "CH", ".bmp"},
    {"imNorway", "Norway", "NX", ".jpg"},
    {"imDenmark", "Denmark", "DK", ".bmp"},
    {"imFinland", "Finland", "SF", ".bmp"},
    {"imSweden", "Sweden", "SX", ".bmp"},
    {"imCroatia", "Croatia", "HR", ".bmp"},
    {"imBulgaria", "Bulgaria", "BG", ".bmp"},
    {"imRomania", "Romania", "RO", ".bmp"},
    {"imSlovenia", "Slovenia", "SI", ".bmp"},
    {"imUkraine", "Ukraine", "UA", ".bmp"},
    {"imCzech", "Czech Republic", "CS", ".bmp"},
    {"imGreece", "Greece", "GR", ".bmp"},
    {"imPoland", "Poland", "PL", ".bmp"},
    {"imHungary", "Hungary", "HX", ".bmp"},
    {"imTurkey", "Turkey", "TR", ".bmp"},
    {"imRussia", "Russia", "RU", ".bmp"},
};

// Flags (3:2) stand in five rows of five.
constexpr int kFlagWidth = 108, kFlagHeight = 72, kColumnStep = 146, kRowStep = 90, kLeft = 24, kTop = 12;

}  // namespace

TfrmFirstInstall::TfrmFirstInstall(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmFirstInstall";
    SetCaption("First Installation - Market Selection");
    SetBounds(0, 0, 755, 520);
    BorderStyle = TFormBorderStyle::bsSingle;
    Position = TPosition::poScreenCenter;
    for (int i = 0; i < FlagCount; ++i) {
        const FlagInfo& info = kFlags[i];
        const int x = kLeft + (i % 5) * kColumnStep, y = kTop + (i / 5) * kRowStep;
        TImage* image = new TImage(this);
        image->Name = info.Component;
        image->SetParent(this);
        image->SetBounds(x, y, kFlagWidth, kFlagHeight);
        image->SetStretch(true);
        image->OnClick = [this, i](TObject*) { FlagClick(i); };
        LoadArtwork(*image, std::string(info.Component) + info.Extension);
        TLabel* label = new TLabel(this);
        label->SetParent(this);
        label->SetBounds(x - 10, y + kFlagHeight + 2, kFlagWidth + 20, 16);
        label->Alignment = TAlignment::taCenter;
        label->SetCaption(info.Country);
        Flags[i] = {image, label, info.Market};
    }
    imSelected = new TImage(this);
    imSelected->Name = "imSelected";
    imSelected->SetParent(this);
    imSelected->SetBounds(257, 16, 240, 160);
    imSelected->SetStretch(true);
    imSelected->Hide();
    imSplash = new TImage(this);
    imSplash->Name = "imSplash";
    imSplash->SetParent(this);
    imSplash->SetBounds(217, 190, 320, 213);
    imSplash->SetStretch(true);
    imSplash->Hide();
    LoadArtwork(*imSplash, "imSplash.bmp");

    btnOK = new TBitBtn(this);
    btnOK->Name = "btnOK";
    btnOK->SetParent(this);
    btnOK->SetKind(TBitBtnKind::bkOK);
    btnOK->SetCaption("OK");
    btnOK->SetBounds(420, 470, 90, 28);
    btnOK->SetEnabled(false);
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel = new TButton(this);
    btnCancel->Name = "btnCancel";
    btnCancel->SetParent(this);
    btnCancel->SetCaption("Cancel");
    btnCancel->Cancel = true;
    btnCancel->SetBounds(520, 470, 90, 28);
    btnCancel->SetEnabled(false);
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    btnExit = new TButton(this);
    btnExit->Name = "btnExit";
    btnExit->SetParent(this);
    btnExit->SetCaption("E&xit");
    btnExit->Cancel = true;
    btnExit->SetBounds(620, 470, 90, 28);
    btnExit->OnClick = [this](TObject* s) { btnExitClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    DoCreate();
}

TImage* TfrmFirstInstall::FlagOf(const std::string& market) const {
    for (const TFlag& f : Flags)
        if (f.Market == market) return f.Image;
    return nullptr;
}

void TfrmFirstInstall::FormShow(TObject*) { Market.clear(); }

void TfrmFirstInstall::FlagClick(int index) {
    Market = Flags[index].Market;
    LoadArtwork(*imSelected, std::string(kFlags[index].Component) + kFlags[index].Extension);
    Hide_Flags();
}

void TfrmFirstInstall::Hide_Flags() {
    for (const TFlag& f : Flags) {
        f.Image->Hide();
        f.Label->Hide();
    }
    imSelected->Show();
    imSplash->Show();
    btnOK->SetEnabled(true);
    btnCancel->SetEnabled(true);
}

void TfrmFirstInstall::Show_Flags() {
    for (const TFlag& f : Flags) {
        f.Image->Show();
        f.Label->Show();
    }
    imSelected->Hide();
    imSplash->Hide();
    btnOK->SetEnabled(false);
    btnCancel->SetEnabled(false);
}

void TfrmFirstInstall::btnCancelClick(TObject*) { Show_Flags(); }

void TfrmFirstInstall::FormClose(TObject*, TCloseAction&) {
    // Only OK installs: a flag picked and the window closed otherwise (its close button, Alt+F4)
    // wrote no settings, and the caller must not go on as if a market were chosen.
    if (ModalResult() != mrOk) Market.clear();
}

void TfrmFirstInstall::btnExitClick(TObject*) {
    Market.clear();
    SetModalResult(mrCancel);
}

void TfrmFirstInstall::btnOKClick(TObject*) {
    if (Market.empty()) return;
    try {
        WriteSettings();
    } catch (...) {
        // The settings were not written: the dialog stays open and the error is shown.
        SetModalResult(mrNone);
        throw;
    }
}

void TfrmFirstInstall::WriteSettings() {
    TTable& params = *frmTables->tblParams;
    if (NeedCreateParams) {
        params.Close();
        params.CreateTable();  // from the data module's field list of PARAMS
        params.Open();
        params.Append();
    } else {
        if (!params.Active()) params.Open();
        params.First();
        if (params.IsEmpty()) params.Append();
        else params.Edit();
    }
    params.FieldByName("PRINT_DETAILS")->SetAsBoolean(false);
    params.FieldByName("CUSTOMER_DETAILS")->SetAsBoolean(false);
    params.FieldByName("PAGE_MARGIN")->SetAsInteger(1);
    params.FieldByName("MARKET_CODE")->SetAsString(Market);
    params.FieldByName("EMTEST_EQUIP")->SetAsBoolean(false);
    params.FieldByName("BRTEST_EQUIP")->SetAsBoolean(false);
    TTable& market = *frmTables->tblMarket;
    if (!market.Active()) market.Open();
    if (market.FindKey({Market})) params.FieldByName("LANG_CODE")->SetAsString(market.FieldByName("LANG1")->AsString());
    params.Post();
    params.Close();
    params.Open();
}
