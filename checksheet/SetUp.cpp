// The settings dialog. Input is checked before anything is written; PARAMS changes only
// through OK, while a language chosen in the list applies at once for the rest of the run.
#include "SetUp.h"

#include <algorithm>

#include "Dialogs.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "charconv.h"

TfrmSetup::TfrmSetup(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmSetup";
    SetCaption("LText(5)");
    SetBounds(0, 0, 560, 500);
    BorderStyle = TFormBorderStyle::bsDialog;
    Position = TPosition::poScreenCenter;

    lblMarket = Place<TLabel>(this, this, "lblMarket", 16, 16, 120, 16);
    edtMarket = Place<TEdit>(this, this, "edtMarket", 140, 12, 200, 22);
    edtMarket->SetReadOnly(true);
    edtMarket->TabStop = false;
    lblLanguage = Place<TLabel>(this, this, "lblLanguage", 16, 46, 120, 16);
    cmbLanguage = Place<TComboBox>(this, this, "cmbLanguage", 140, 42, 200, 22);
    cmbLanguage->SetStyle(TComboBoxStyle::csDropDownList);
    cmbLanguage->OnChange = [this](TObject* s) { cmbLanguageChange(s); };

    gbOptions = Place<TGroupBox>(this, this, "gbOptions", 12, 76, 536, 120);
    cbCoDetails = Place<TCheckBox>(this, gbOptions, "cbCoDetails", 12, 20, 250, 20);
    cbCustDetails = Place<TCheckBox>(this, gbOptions, "cbCustDetails", 12, 44, 250, 20);
    cbEmissionTest = Place<TCheckBox>(this, gbOptions, "cbEmissionTest", 280, 20, 250, 20);
    cbBrakeTest = Place<TCheckBox>(this, gbOptions, "cbBrakeTest", 280, 44, 250, 20);
    lblPageTop = Place<TLabel>(this, gbOptions, "lblPageTop", 12, 80, 150, 16);
    edtTopMargin = Place<TEdit>(this, gbOptions, "edtTopMargin", 170, 76, 40, 22);
    edtTopMargin->SetText("1");
    lblCm = Place<TLabel>(this, gbOptions, "lblCm", 216, 80, 40, 16);
    lblCm->SetCaption("(cm)");

    gbCompany = Place<TGroupBox>(this, this, "gbCompany", 12, 204, 536, 240);
    lblName = Place<TLabel>(this, gbCompany, "lblName", 12, 24, 110, 16);
    edtCoName = Place<TEdit>(this, gbCompany, "edtCoName", 130, 20, 390, 22);
    edtCoName->SetMaxLength(50);
    lblAddress = Place<TLabel>(this, gbCompany, "lblAddress", 12, 50, 110, 16);
    edtCoAdd1 = Place<TEdit>(this, gbCompany, "edtCoAdd1", 130, 46, 390, 22);
    edtCoAdd2 = Place<TEdit>(this, gbCompany, "edtCoAdd2", 130, 70, 390, 22);
    edtCoAdd3 = Place<TEdit>(this, gbCompany, "edtCoAdd3", 130, 94, 390, 22);
    edtCoAdd4 = Place<TEdit>(this, gbCompany, "edtCoAdd4", 130, 118, 390, 22);
    for (TEdit* e : {edtCoAdd1, edtCoAdd2, edtCoAdd3, edtCoAdd4}) e->SetMaxLength(40);
    lblTelephone = Place<TLabel>(this, gbCompany, "lblTelephone", 12, 148, 110, 16);
    edtCoTel = Place<TEdit>(this, gbCompany, "edtCoTel", 130, 144, 150, 22);
    lblFax = Place<TLabel>(this, gbCompany, "lblFax", 290, 148, 60, 16);
    edtCoFax = Place<TEdit>(this, gbCompany, "edtCoFax", 350, 144, 170, 22);
    for (TEdit* e : {edtCoTel, edtCoFax}) e->SetMaxLength(20);
    lblemail = Place<TLabel>(this, gbCompany, "lblemail", 12, 176, 110, 16);
    edtCoEmail = Place<TEdit>(this, gbCompany, "edtCoEmail", 130, 172, 390, 22);
    lblWWW = Place<TLabel>(this, gbCompany, "lblWWW", 12, 204, 110, 16);
    lblWWW->SetCaption("w.w.w.");
    edtWWW = Place<TEdit>(this, gbCompany, "edtWWW", 130, 200, 390, 22);
    for (TEdit* e : {edtCoEmail, edtWWW}) e->SetMaxLength(40);

    btnOK = Place<TBitBtn>(this, this, "btnOK", 360, 456, 90, 28);
    btnOK->SetKind(TBitBtnKind::bkOK);
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel = Place<TBitBtn>(this, this, "btnCancel", 458, 456, 90, 28);
    btnCancel->SetKind(TBitBtnKind::bkCancel);
    OnShow = [this](TObject* s) { FormShow(s); };
    DoCreate();
}

void TfrmSetup::FormShow(TObject*) {
    TTable& params = *frmTables->tblParams;
    TTable& market = *frmTables->tblMarket;
    TTable& language = *frmTables->tblLanguage;
    OpenIfClosed(*frmTables->tblLangText);
    OpenIfClosed(language);
    OpenIfClosed(market);
    OpenIfClosed(params);
    params.First();
    UseLanguage(params.FieldByName("LANG_CODE")->AsString());
    Market = params.FieldByName("MARKET_CODE")->AsString();
    Set_Captions();
    // A market that MARKET lacks has no description and no languages to offer.
    const bool marketKnown = market.FindKey({Market});
    edtMarket->SetText(marketKnown ? market.FieldByName("DESCRIPTION")->AsString() : std::string());
    Fill_Languages();
    if (MarketWithoutTestOptions(Market)) {
        cbEmissionTest->Hide();
        cbBrakeTest->Hide();
    }
    cbCoDetails->SetChecked(params.FieldByName("PRINT_DETAILS")->AsBoolean());
    cbCustDetails->SetChecked(params.FieldByName("CUSTOMER_DETAILS")->AsBoolean());
    cbEmissionTest->SetChecked(params.FieldByName("EMTEST_EQUIP")->AsBoolean());
    cbBrakeTest->SetChecked(params.FieldByName("BRTEST_EQUIP")->AsBoolean());
    // A margin that cannot be read as a number is shown empty and refused only on OK.
    TField* margin = params.FieldByName("PAGE_MARGIN");
    edtTopMargin->SetText(margin->IsNull() ? std::string() : IntToStr(margin->AsInteger()));
    FUnreadable.clear();
    ShowText(edtCoName, "NAME");
    ShowText(edtCoAdd1, "ADD1");
    ShowText(edtCoAdd2, "ADD2");
    ShowText(edtCoAdd3, "ADD3");
    ShowText(edtCoAdd4, "ADD4");
    ShowText(edtCoTel, "TELEPHONE");
    ShowText(edtCoFax, "FAX");
    ShowText(edtCoEmail, "EMAIL");
    ShowText(edtWWW, "WEB");
}

void TfrmSetup::ShowText(TEdit* edit, const char* field) {
    const TField* f = frmTables->tblParams->FieldByName(field);
    const std::string text = f->AsString();
    // Shown cut, the value would be saved cut by OK without the user knowing: shown empty instead.
    if (f->IsCut() || text.find('\0') != std::string::npos) {
        edit->SetText(std::string());
        FUnreadable.push_back(edit);
        return;
    }
    edit->SetText(text);
}

void TfrmSetup::Add_Language(const std::string& code) {
    TTable& language = *frmTables->tblLanguage;
    // A code that LANGUAGE lacks is not offered (it has no description to show).
    if (code.empty() || !language.FindKey({code})) return;
    cmbLanguage->Items.Add(language.FieldByName("DESCRIPTION")->AsString());
    FLanguageCodes.push_back(code);
}

void TfrmSetup::Fill_Languages() {
    cmbLanguage->Items.Clear();
    FLanguageCodes.clear();
    TTable& market = *frmTables->tblMarket;
    if (market.FindKey({Market}))
        for (const char* field : {"LANG1", "LANG2", "LANG3", "LANG4", "LANG5", "LANG6"})
            Add_Language(market.FieldByName(field)->AsString());
    const bool offered = FLanguageCodes.size() >= 2;
    lblLanguage->SetVisible(offered);
    cmbLanguage->SetVisible(offered);
    std::string selected = frmTables->tblParams->FieldByName("LANG_CODE")->AsString();
    if (selected.empty() && !FLanguageCodes.empty()) selected = FLanguageCodes.front();
    const auto it = std::find(FLanguageCodes.begin(), FLanguageCodes.end(), selected);
    cmbLanguage->SetItemIndex(it == FLanguageCodes.end() ? -1 : int(it - FLanguageCodes.begin()));
}

void TfrmSetup::Set_Captions() {
    SetCaption(WithoutAccelerator(LText(5)));
    lblMarket->SetCaption(LText(143));
    lblLanguage->SetCaption(LText(32));
    gbOptions->SetCaption(LText(22));
    cbCoDetails->SetCaption(LText(33));
    cbCustDetails->SetCaption(LText(34));
    cbEmissionTest->SetCaption(LText(86));
    cbBrakeTest->SetCaption(LText(87));
    lblPageTop->SetCaption(LText(35));
    gbCompany->SetCaption(LText(29));
    lblName->SetCaption(LText(11));
    lblAddress->SetCaption(LText(13));
    lblTelephone->SetCaption(LText(14));
    lblFax->SetCaption(LText(30));
    lblemail->SetCaption(LText(68));
    btnOK->SetCaption(LText(110));
    btnCancel->SetCaption(LText(27));
}

void TfrmSetup::cmbLanguageChange(TObject*) {
    const int n = cmbLanguage->ItemIndex();
    if (n < 0 || n >= int(FLanguageCodes.size())) return;
    if (!frmTables->tblLanguage->FindKey({FLanguageCodes[n]})) return;
    UseLanguage(FLanguageCodes[n]);
    Set_Captions();
}

void TfrmSetup::btnOKClick(TObject*) {
    const auto refuseWith = [this](const std::string& text, TWinControl* focus) {
        MessageDlg(text, TMsgDlgType::mtError, {mrOk});
        focus->SetFocus();
        SetModalResult(mrNone);
    };
    const auto refuse = [&](int text, TWinControl* focus) { refuseWith(LText(text), focus); };
    // A stored value that could not be shown is reported once, before it would be saved empty;
    // a value typed in its place is saved as usual.
    while (!FUnreadable.empty()) {
        TEdit* edit = FUnreadable.front();
        FUnreadable.erase(FUnreadable.begin());
        if (edit->Text().empty())
            return refuseWith("The stored entry could not be shown in full. Enter it again, or press OK once "
                              "more to save it empty",
                              edit);
    }
    if (!IsNumeric(edtTopMargin->Text())) return refuse(39, edtTopMargin);
    // A number too large for an integer is as much out of range as 6.
    int margin = 0;
    if (!TryStrToInt(edtTopMargin->Text(), margin) || margin >= 6) return refuse(42, edtTopMargin);
    if (cbCoDetails->Checked()) {
        if (edtCoName->Text().empty()) return refuse(41, edtCoName);
        const auto ask = [this](int text, TEdit* field) {
            if (!field->Text().empty()) return false;
            if (Application->MessageBox(LText(text), "", MB_ABORTRETRYIGNORE) != IDRETRY) return false;
            field->SetFocus();
            SetModalResult(mrNone);
            return true;
        };
        if (ask(44, edtCoAdd1) || ask(45, edtCoTel)) return;
    }
    try {
        Save_Params();
    } catch (...) {
        // Nothing was saved: the dialog stays open and the error is shown.
        SetModalResult(mrNone);
        throw;
    }
}

void TfrmSetup::Save_Params() {
    TTable& params = *frmTables->tblParams;
    params.Edit();
    const int n = cmbLanguage->ItemIndex();
    if (cmbLanguage->Items.Count() > 1 && n >= 0 && n < int(FLanguageCodes.size()))
        params.FieldByName("LANG_CODE")->SetAsString(FLanguageCodes[n]);
    params.FieldByName("PRINT_DETAILS")->SetAsBoolean(cbCoDetails->Checked());
    params.FieldByName("CUSTOMER_DETAILS")->SetAsBoolean(cbCustDetails->Checked());
    params.FieldByName("EMTEST_EQUIP")->SetAsBoolean(cbEmissionTest->Checked());
    params.FieldByName("BRTEST_EQUIP")->SetAsBoolean(cbBrakeTest->Checked());
    params.FieldByName("PAGE_MARGIN")->SetAsInteger(StrToInt(edtTopMargin->Text()));
    params.FieldByName("NAME")->SetAsString(edtCoName->Text());
    params.FieldByName("ADD1")->SetAsString(edtCoAdd1->Text());
    params.FieldByName("ADD2")->SetAsString(edtCoAdd2->Text());
    params.FieldByName("ADD3")->SetAsString(edtCoAdd3->Text());
    params.FieldByName("ADD4")->SetAsString(edtCoAdd4->Text());
    params.FieldByName("TELEPHONE")->SetAsString(edtCoTel->Text());
    params.FieldByName("FAX")->SetAsString(edtCoFax->Text());
    params.FieldByName("EMAIL")->SetAsString(edtCoEmail->Text());
    params.FieldByName("WEB")->SetAsString(edtWWW->Text());
    params.Post();
    params.Close();
    params.Open();
}
