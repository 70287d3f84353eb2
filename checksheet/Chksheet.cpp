// The checksheet form: its controls and their design settings, the reset, the captions, the
// cascade of model, variant and interval lists, the option rules, the VIN build-date code and the
// two date fields. Printing, previewing and the XML requests are handled by the form's print unit.
#include "Chksheet.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "CustDet.h"
#include "Dialogs.h"
#include "SpecInst.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "cal.h"
#include "charconv.h"
#include "vetrav3.h"

std::string ItemSep;
std::array<bool, 22> IntervalFlags{};
std::string VinDateOnEnter;
bool IsGermanMarket = false;
std::array<int, 51> HandOffRangeCodes{};
bool HandOffOpen = false;
std::string HandOffFileName;

namespace {

constexpr char kSeparatorChar = '\xB6';
constexpr int kItemSepBlanks = 120;
constexpr int kIntervalPositions = 21;
constexpr int kVinLabelWidth = 124;  // room left of the build-date code field

/// Two digits with a leading zero.
std::string TwoDigits(int value) {
    std::string s = IntToStr(value);
    return s.size() < 2 ? "0" + s : s;
}

/// MM/YYYY as YYYYMM; an empty date-to stands for an open end.
std::string WindowKey(const std::string& monthYear, bool isTo) {
    if (isTo && monthYear.empty()) return "999999";
    return BuildDateKey(monthYear);
}

/// The user's first message of a failed check: an error box with OK.
void ErrorBox(int textNo) { MessageDlg(LText(textNo), TMsgDlgType::mtError, {mrOk}); }

}  // namespace

int ItemCode(const std::string& item) {
    const std::size_t p = item.rfind(kSeparatorChar);
    if (p == std::string::npos) return 0;
    int code = 0;
    return TryStrToInt(Trim(item.substr(p + 1, 5)), code) ? code : 0;
}

std::string ItemText(const std::string& item) {
    const std::size_t p = item.rfind(kSeparatorChar);
    if (p == std::string::npos) return item;
    // Only the separator's own blanks go: a visible text may end in a blank of its own.
    std::size_t end = p;
    while (end > 0 && p - end < std::size_t(kItemSepBlanks) && item[end - 1] == ' ') --end;
    return item.substr(0, end);
}

// --- construction ------------------------------------------------------------------------------

TfrmChecksheet::TfrmChecksheet(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmChecksheet";
    SetCaption("LText(52)");
    SetBounds(0, 0, 720, 590);
    BorderStyle = TFormBorderStyle::bsSingle;
    BorderIcons = biSystemMenu | biMinimize;
    Position = TPosition::poScreenCenter;
    Font.Name = "Arial";
    Font.SetSize(9);

    imNormalLogo = Place<TImage>(this, this, "imNormalLogo", 560, 8, 150, 50);
    imNormalLogo->SetStretch(true);
    imNormalLogo->SetTransparent(true);
    LoadArtwork(*imNormalLogo, "imTolmLogo.bmp");
    lblAsAtDate = Place<TLabel>(this, this, "lblAsAtDate", 560, 70, 150, 16);
    cmbAsAtDate = Place<TComboBox>(this, this, "cmbAsAtDate", 560, 88, 150, 22);
    cmbAsAtDate->SetMaxLength(10);
    lblRepNo = Place<TLabel>(this, this, "lblRepNo", 560, 118, 150, 16);
    edtRepairNo = Place<TEdit>(this, this, "edtRepairNo", 560, 136, 150, 22);
    edtRepairNo->SetMaxLength(16);

    gbVehicle = Place<TGroupBox>(this, this, "gbVehicle", 8, 8, 540, 156);
    lblRegNo = Place<TLabel>(this, gbVehicle, "lblRegNo", 12, 24, 124, 16);
    edtRegNo = Place<TEdit>(this, gbVehicle, "edtRegNo", 140, 20, 110, 22);
    edtRegNo->SetCharCase(TEditCharCase::ecUpperCase);
    edtRegNo->SetMaxLength(10);
    lblRegDate = Place<TLabel>(this, gbVehicle, "lblRegDate", 12, 52, 124, 16);
    edtRegDate = Place<TEdit>(this, gbVehicle, "edtRegDate", 140, 48, 70, 22);
    edtRegDate->SetCharCase(TEditCharCase::ecUpperCase);
    edtRegDate->SetMaxLength(7);
    lblMMYY = Place<TLabel>(this, gbVehicle, "lblMMYY", 216, 52, 70, 16);
    lblMileage = Place<TLabel>(this, gbVehicle, "lblMileage", 12, 80, 124, 16);
    edtMileage = Place<TEdit>(this, gbVehicle, "edtMileage", 140, 76, 90, 22);
    edtMileage->SetCharCase(TEditCharCase::ecUpperCase);
    edtMileage->SetMaxLength(7);
    lblRadio = Place<TLabel>(this, gbVehicle, "lblRadio", 12, 108, 124, 16);
    edtRadioCode = Place<TEdit>(this, gbVehicle, "edtRadioCode", 140, 104, 140, 22);
    edtRadioCode->SetCharCase(TEditCharCase::ecUpperCase);
    edtRadioCode->SetMaxLength(16);
    btnCustomer = Place<TBitBtn>(this, gbVehicle, "btnCustomer", 300, 18, 110, 26);
    edtCustomerName = Place<TEdit>(this, gbVehicle, "edtCustomerName", 300, 50, 226, 22);
    edtCustomerName->SetReadOnly(true);
    pnlGerman = Place<TPanel>(this, gbVehicle, "pnlGerman", 300, 80, 226, 64);
    pnlGerman->BevelOuter = TPanelBevel::bvNone;
    lblGerman1 = Place<TLabel>(this, pnlGerman, "lblGerman1", 4, 2, 218, 16);
    lblGerman1->SetCaption("* Diese Angaben sind");
    lblGerman2 = Place<TLabel>(this, pnlGerman, "lblGerman2", 4, 20, 218, 16);
    lblGerman2->SetCaption("nicht ma\xDF" "gebend");  // code page 1252
    lblGerman3 = Place<TLabel>(this, pnlGerman, "lblGerman3", 4, 38, 218, 16);
    lblGerman3->SetCaption("f\xFCr die Wartungsliste.");

    gbService = Place<TGroupBox>(this, this, "gbService", 8, 170, 702, 178);
    lblVinDate = Place<TLabel>(this, gbService, "lblVinDate", 12, 24, kVinLabelWidth, 16);
    edtVinDate = Place<TEdit>(this, gbService, "edtVinDate", 140, 20, 36, 22);
    edtVinDate->SetCharCase(TEditCharCase::ecUpperCase);
    edtVinDate->SetMaxLength(2);
    // The worked example of where the code sits in an identification number, and below its
    // start the decoded build date.
    lblVineg1 = Place<TLabel>(this, gbService, "lblVineg1", 190, 14, 78, 16);
    lblVineg1->SetCaption("CMXXXXGAB");
    lblVINeg2 = Place<TLabel>(this, gbService, "lblVINeg2", 268, 14, 20, 16);
    lblVINeg2->SetCaption("SJ");
    lblVINeg2->Font.Name = "Arial";
    lblVINeg2->Font.SetSize(9);
    lblVINeg2->Font.Style = fsBold;
    lblVINeg3 = Place<TLabel>(this, gbService, "lblVINeg3", 288, 14, 50, 16);
    lblVINeg3->SetCaption("52127");
    lblVINResult = Place<TLabel>(this, gbService, "lblVINResult", 190, 31, 120, 16);
    lblVINResult->Hide();
    lblModel = Place<TLabel>(this, gbService, "lblModel", 12, 56, 124, 16);
    cmbModels = Place<TComboBox>(this, gbService, "cmbModels", 140, 52, 200, 22);
    cmbModels->SetStyle(TComboBoxStyle::csDropDownList);
    cmbModels->SetSorted(true);
    cmbModels->DropDownCount = 10;
    lblVariant = Place<TLabel>(this, gbService, "lblVariant", 12, 86, 124, 16);
    cmbVariants = Place<TComboBox>(this, gbService, "cmbVariants", 140, 82, 548, 22);
    cmbVariants->SetStyle(TComboBoxStyle::csDropDownList);
    cmbVariants->SetSorted(true);
    lblInterval = Place<TLabel>(this, gbService, "lblInterval", 12, 116, 124, 16);
    cmbInterval = Place<TComboBox>(this, gbService, "cmbInterval", 140, 112, 300, 22);
    cmbInterval->SetStyle(TComboBoxStyle::csDropDownList);
    cmbInterval->DropDownCount = 7;
    lblIntType = Place<TLabel>(this, gbService, "lblIntType", 12, 148, 124, 16);
    rbmlkm = Place<TRadioButton>(this, gbService, "rbmlkm", 140, 146, 70, 20);
    rbmlkm->SetCaption("km");
    rbmlkm->SetChecked(true);
    rbYears = Place<TRadioButton>(this, gbService, "rbYears", 220, 146, 150, 20);
    lblGermanIntLegend = Place<TLabel>(this, gbService, "lblGermanIntLegend", 450, 116, 240, 16);
    lblGermanIntLegend->SetCaption("(Auswahl nur bei Vielfahrer)");

    gbOptions = Place<TGroupBox>(this, this, "gbOptions", 8, 354, 702, 146);
    cbService = Place<TCheckBox>(this, gbOptions, "cbService", 12, 22, 200, 20);
    cbService->SetChecked(true);
    cbPreTest = Place<TCheckBox>(this, gbOptions, "cbPreTest", 12, 50, 200, 20);
    cbEmissionTest = Place<TCheckBox>(this, gbOptions, "cbEmissionTest", 12, 78, 200, 20);
    cbBrakeTest = Place<TCheckBox>(this, gbOptions, "cbBrakeTest", 12, 106, 200, 20);
    cbVOREX = Place<TCheckBox>(this, gbOptions, "cbVOREX", 240, 22, 300, 20);
    lblVorexText2 = Place<TLabel>(this, gbOptions, "lblVorexText2", 258, 42, 282, 16);
    lblVorexText3 = Place<TLabel>(this, gbOptions, "lblVorexText3", 258, 58, 282, 16);
    cbPaintBodyWith = Place<TCheckBox>(this, gbOptions, "cbPaintBodyWith", 240, 88, 450, 20);
    cbPaintBodyWithout = Place<TCheckBox>(this, gbOptions, "cbPaintBodyWithout", 240, 112, 450, 20);

    btnPrint = Place<TBitBtn>(this, this, "btnPrint", 8, 516, 120, 32);
    btnView = Place<TBitBtn>(this, this, "btnView", 136, 516, 120, 32);
    btnNew = Place<TBitBtn>(this, this, "btnNew", 264, 516, 120, 32);
    btnSpecInst = Place<TBitBtn>(this, this, "btnSpecInst", 392, 516, 190, 32);
    btnExit = Place<TBitBtn>(this, this, "btnExit", 590, 516, 120, 32);
    btnExit->Cancel = true;

    tblMRangesMR.SetName("tblMRangesMR");
    tblMRangesMR.SetDatabaseName("KLV3Data");
    tblMRangesMR.SetTableName("Mranges.DB");
    tblMRangesMR.SetIndexName("mrange");
    for (const char* field : {"MODEL_CODE", "ENGINE_CODE", "BUILD_DATE_FROM", "MODEL_RANGE_CODE", "BUILD_DATE_TO",
                              "INTERVAL_CODE"})
        tblMRangesMR.DefineField(field);

    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    btnExit->OnClick = [this](TObject* s) { btnExitClick(s); };
    btnNew->OnClick = [this](TObject* s) { btnNewClick(s); };
    btnCustomer->OnClick = [this](TObject* s) { btnCustomerClick(s); };
    btnSpecInst->OnClick = [this](TObject* s) { btnSpecInstClick(s); };
    btnPrint->OnClick = [this](TObject* s) { btnPrintClick(s); };
    btnView->OnClick = [this](TObject* s) { btnViewClick(s); };
    cmbModels->OnChange = [this](TObject* s) { cmbModelsChange(s); };
    cmbVariants->OnChange = [this](TObject* s) { cmbVariantsChange(s); };
    cmbInterval->OnChange = [this](TObject* s) { cmbIntervalChange(s); };
    cbService->OnClick = [this](TObject* s) { cbServiceClick(s); };
    cbPreTest->OnClick = [this](TObject* s) { cbPreTestClick(s); };
    cbPaintBodyWith->OnClick = [this](TObject* s) { cbPaintBodyWithClick(s); };
    cbPaintBodyWithout->OnClick = [this](TObject* s) { cbPaintBodyWithoutClick(s); };
    rbmlkm->OnClick = [this](TObject* s) { rbmlkmClick(s); };
    rbYears->OnClick = [this](TObject* s) { rbYearsClick(s); };
    edtVinDate->OnEnter = [this](TObject* s) { edtVinDateEnter(s); };
    edtVinDate->OnExit = [this](TObject* s) { edtVinDateExit(s); };
    edtRegDate->OnExit = [this](TObject* s) { edtRegDateExit(s); };
    edtMileage->OnExit = [this](TObject* s) { edtMileageExit(s); };
    cmbAsAtDate->OnDropDown = [this](TObject* s) { cmbAsAtDateDropDown(s); };
    cmbAsAtDate->OnExit = [this](TObject* s) { cmbAsAtDateExit(s); };
    DoCreate();
}

TfrmChecksheet::~TfrmChecksheet() {
    // The controls go before the cursor and dialog members they might still reach.
    DestroyComponents();
}

// --- showing and closing -----------------------------------------------------------------------

void TfrmChecksheet::ApplyMarketLayout() {
    IsGermanMarket = Market == "DX";
    pnlGerman->SetVisible(IsGermanMarket);
    lblGermanIntLegend->SetVisible(IsGermanMarket);
    rbmlkm->SetCaption(Market == "GB" || Market == "IR" ? "ml" : "km");
}

void TfrmChecksheet::FormShow(TObject*) {
    const char sep = FormatSettings.DateSeparator;
    FormatSettings.ShortDateFormat = std::string("DD") + sep + "MM" + sep + "YYYY";
    // The layout follows the market of the settings just read (a run without the main menu has
    // no market before them).
    OpenChecksheetData();
    // A sheet printed without the main menu (hand-off or XML mode) carries the data version too.
    DataVersion = ReadDataVersion();
    ApplyMarketLayout();
    if (XMLMode) {
        XMLMarket = Market;
        XMLLanguage = Language;
        TTable& conv = *frmTables->tblXMLConv;
        // Every row is visited: the last one that matches wins.
        for (conv.First(); !conv.Eof(); conv.Next()) {
            if (conv.FieldByName("VETRAMarket")->AsString() == Market)
                XMLMarket = conv.FieldByName("ISOMarket")->AsString();
            if (conv.FieldByName("VETRALanguage")->AsString() == Language)
                XMLLanguage = conv.FieldByName("ISOLanguage")->AsString();
        }
    }
    ResetChecksheetForm();
    ItemSep = std::string(kItemSepBlanks, ' ') + kSeparatorChar;
    HandOffOpen = HandOffMode;
    if (HandOffMode) {
        StartHandOffInput();
        if (HandOffNeedsDisplay && !Application->HasWindows()) {
            HandOffOpen = false;  // the file stays for a run that has a display
            throw EHandOffWithoutDisplay();
        }
        ApplyMarketLayout();
    }
    SetChecksheetCaptions();
    AsAtDate = DateToStr(Date());
    cmbAsAtDate->SetText(AsAtDate);
    if (!HandOffMode) {
        FillModelList();
        edtRepairNo->SetFocus();
    }
}

void TfrmChecksheet::FormClose(TObject*, TCloseAction&) {
    frmTables->tblMRanges->SetIndexName("");
    // The hand-off file read at the start goes with the form, also after New; after a print
    // that failed (the run ends with kExitNotWritten) it stays, so that its sender can retry.
    if (HandOffOpen) {
        HandOffOpen = false;
        if (WithFileFaults(kExitOk) == kExitOk) ::unlink(HandOffFileName.c_str());
    }
}

void TfrmChecksheet::OpenChecksheetData() {
    TfrmTables& t = *frmTables;
    OpenIfClosed(*t.tblLangText);
    OpenIfClosed(*t.tblParams);
    t.tblParams->First();
    UseLanguage(t.tblParams->FieldByName("LANG_CODE")->AsString());
    Market = t.tblParams->FieldByName("MARKET_CODE")->AsString();
    t.tblMRanges->SetIndexName("MRange");
    OpenIfClosed(*t.tblMRanges);
    t.tblMRanges->Refresh();
    OpenIfClosed(*t.tblModels);
    OpenIfClosed(*t.tblEngines);
    t.tblEngines->SetFiltered(false);
    t.tblEngines->Refresh();
    for (TTable* table : {t.tblCSLinks.get(), t.tblMarket.get(), t.tblInterval.get(), t.tblGBMainHead.get(),
                          t.tblMainHead.get(), t.tblGBSubHead.get(), t.tblSubHead.get(), t.tblVINDates.get(),
                          t.tblAltBDate.get()})
        OpenIfClosed(*table);
    if (XMLMode) OpenIfClosed(*t.tblXMLConv);
}

// --- reset and captions ------------------------------------------------------------------------

void TfrmChecksheet::ResetChecksheetForm() {
    for (std::string* s : {&CustName, &CustCompany, &CustAddr1, &CustAddr2, &CustAddr3, &CustAddr4, &CustPhone,
                           &CustOtherPhone, &CustContact})
        s->clear();
    for (TEdit* e : {edtRepairNo, edtCustomerName, edtRegNo, edtRegDate, edtMileage, edtRadioCode, edtVinDate})
        e->SetText("");

    gbService->SetEnabled(true);
    for (TComboBox* c : {cmbModels, cmbVariants, cmbInterval}) c->SetStyle(TComboBoxStyle::csDropDownList);
    FillModelList();
    cmbModels->SetItemIndex(-1);
    cmbVariants->Items.Clear();
    cmbInterval->Items.Clear();
    rbYears->SetChecked(true);
    for (TComboBox* c : {cmbModels, cmbVariants, cmbInterval}) c->SetItemIndex(-1);

    TTable& params = *frmTables->tblParams;
    OpenIfClosed(params);
    params.First();
    cbService->SetChecked(true);
    cbEmissionTest->SetChecked(false);
    cbEmissionTest->SetEnabled(params.FieldByName("EMTEST_EQUIP")->AsBoolean());
    for (TCheckBox* c : {cbPreTest, cbBrakeTest, cbVOREX, cbPaintBodyWith, cbPaintBodyWithout}) c->SetChecked(false);
    cbBrakeTest->SetEnabled(false);

    for (int i = 0; i < gbService->ControlCount(); ++i) gbService->Controls(i)->SetEnabled(false);
    for (TControl* c : std::initializer_list<TControl*>{lblVinDate, edtVinDate, lblModel, cmbModels})
        c->SetEnabled(true);
    for (TControl* c : std::initializer_list<TControl*>{btnNew, btnPrint, btnView}) c->SetEnabled(false);

    const bool customer = params.FieldByName("CUSTOMER_DETAILS")->AsBoolean();
    btnCustomer->SetEnabled(customer);
    edtCustomerName->SetEnabled(customer);

    if (frmSpecInst) frmSpecInst->MemInst->Lines.Clear();
    for (std::string& line : SpecInstr) line.clear();
    for (TControl* c : std::initializer_list<TControl*>{lblVineg1, lblVINeg2, lblVINeg3, lblVINResult})
        c->SetEnabled(true);

    cbPaintBodyWithout->Hide();
    if (IsGermanMarket) {
        cbEmissionTest->Hide();
        cbBrakeTest->Hide();
        cbPaintBodyWithout->Show();
    } else if (MarketWithoutTestOptions(Market)) {
        cbEmissionTest->Hide();
        cbBrakeTest->Hide();
    }
}

void TfrmChecksheet::SetChecksheetCaptions() {
    SetCaption(LText(52));
    lblAsAtDate->SetCaption(LText(9));
    lblRepNo->SetCaption(LText(10));
    gbVehicle->SetCaption(LText(28));
    btnCustomer->SetCaption(LText(85));
    const std::string mark = IsGermanMarket ? " *" : "";
    lblRegNo->SetCaption(LText(17));
    lblRegDate->SetCaption(LText(18) + mark);
    lblMileage->SetCaption(LText(19) + mark);
    lblRadio->SetCaption(LText(102));
    lblMMYY->SetCaption("(" + UpperCase(LText(83)) + ")");
    gbOptions->SetCaption(LText(22));
    cbService->SetCaption(LText(31));
    cbPreTest->SetCaption(LText(36));
    cbEmissionTest->SetCaption(LText(66));
    cbBrakeTest->SetCaption(LText(74));
    WrapVorexCaption(LText(179));
    cbPaintBodyWithout->SetCaption(LText(185));
    cbPaintBodyWith->SetCaption(LText(IsGermanMarket ? 184 : 183));
    btnNew->SetCaption(LText(73));
    btnPrint->SetCaption(LText(25));
    btnView->SetCaption(LText(26));
    btnExit->SetCaption(LText(6));
    btnSpecInst->SetCaption(LText(24));
    gbService->SetCaption(LText(16));
    lblVinDate->SetCaption(LText(51));
    // A caption wider than its place (Greek, say) wraps onto a second line beside the field,
    // starting level with the field's top: higher up the group box's frame line would cross it.
    const bool vinWraps = TextWidth(LText(51)) > kVinLabelWidth;
    lblVinDate->WordWrap = vinWraps;
    lblVinDate->SetBounds(12, vinWraps ? edtVinDate->Top() : 24, kVinLabelWidth, vinWraps ? 32 : 16);
    lblModel->SetCaption(LText(20));
    lblVariant->SetCaption(LText(21));
    lblInterval->SetCaption(LText(56));
    lblIntType->SetCaption(LText(186));
    rbYears->SetCaption(LText(174));
}

namespace {

/// The longest head of `text` that fits `room` pixels, shortened further to end in a blank when
/// it has one; a head without a blank is cut where it fits.
std::size_t FittingHead(TForm& form, const std::string& text, int room) {
    std::size_t len = text.size();
    while (len > 0 && form.TextWidth(text.substr(0, len)) > room) --len;
    std::size_t atBlank = len;
    while (atBlank > 0 && text[atBlank - 1] != ' ') --atBlank;
    return atBlank > 0 ? atBlank : std::max<std::size_t>(len, 1);
}

}  // namespace

void TfrmChecksheet::WrapVorexCaption(const std::string& text) {
    // The box's caption has its width less the box itself.
    constexpr int kBoxGlyph = 18;
    lblVorexText2->SetCaption("");
    lblVorexText3->SetCaption("");
    if (TextWidth(text) <= cbVOREX->Width() - kBoxGlyph) {
        cbVOREX->SetCaption(text);
        return;
    }
    const std::size_t first = FittingHead(*this, text, cbVOREX->Width() - kBoxGlyph);
    cbVOREX->SetCaption(text.substr(0, first));
    std::string second = " " + text.substr(first);
    if (TextWidth(second) > lblVorexText2->Width()) {
        const std::size_t cut = FittingHead(*this, second, lblVorexText2->Width());
        lblVorexText3->SetCaption(" " + second.substr(cut));
        second.resize(cut);
    }
    lblVorexText2->SetCaption(second);
}

// --- the cascade -------------------------------------------------------------------------------

void TfrmChecksheet::FillModelList() {
    TTable& ranges = *frmTables->tblMRanges;
    TTable& models = *frmTables->tblModels;
    OpenIfClosed(ranges);
    OpenIfClosed(models);
    cmbModels->Items.Clear();
    TField* modelCode = ranges.FieldByName("MODEL_CODE");
    TField* description = models.FieldByName("DESCRIPTION");
    // Each model is looked up once; a description is offered once, in any letter case.
    std::unordered_set<int> seenCodes;
    std::unordered_set<std::string> seenTexts;
    for (ranges.First(); !ranges.Eof(); ranges.Next()) {
        const int code = modelCode->AsInteger();
        if (!seenCodes.insert(code).second) continue;
        if (!models.FindKey({code})) continue;
        std::string text = description->AsString();
        if (text == "ZEB") text = "Zeb";
        if (seenTexts.insert(UpperCase(text)).second) cmbModels->Items.Add(text);
    }
    cmbModels->SetItemIndex(-1);
}

void TfrmChecksheet::cmbModelsChange(TObject*) {
    TTable& models = *frmTables->tblModels;
    const std::string wanted = UpperCase(cmbModels->Text());
    SelModelCode = 0;
    TField* description = models.FieldByName("DESCRIPTION");
    for (models.First(); !models.Eof(); models.Next())
        if (description->AsString() == wanted) {
            SelModelCode = models.FieldByName("MODEL_CODE")->AsInteger();
            break;
        }
    if (HandOffMode || cmbModels->ItemIndex() < 0) return;
    cmbVariants->SetEnabled(true);
    cmbInterval->Items.Clear();
    cmbInterval->SetEnabled(false);
    for (TControl* c : std::initializer_list<TControl*>{rbmlkm, rbYears, lblGermanIntLegend}) c->SetEnabled(false);
    lblVariant->SetEnabled(true);
    FillVariantList('U');
    btnPrint->SetEnabled(false);
    btnView->SetEnabled(false);
}

void TfrmChecksheet::FillVariantList(char mode) {
    TTable& ranges = *frmTables->tblMRanges;
    cmbVariants->Items.Clear();
    TField* modelCode = ranges.FieldByName("MODEL_CODE");
    TField* rangeCode = ranges.FieldByName("MODEL_RANGE_CODE");
    bool first = true;
    for (ranges.First(); !ranges.Eof(); ranges.Next()) {
        if (mode == 'U') {
            if (modelCode->AsInteger() == SelModelCode) DescribeVariant();
            continue;
        }
        const int code = rangeCode->AsInteger();
        if (code == 0 || std::find(HandOffRangeCodes.begin() + 1, HandOffRangeCodes.end(), code) ==
                             HandOffRangeCodes.end())
            continue;
        if (first) {
            // The hand-off ranges belong to one model: it becomes the whole model list.
            first = false;
            cmbModels->Items.Clear();
            TTable& models = *frmTables->tblModels;
            if (models.FindKey({modelCode->AsInteger()})) {
                std::string text = models.FieldByName("DESCRIPTION")->AsString();
                if (text == "ZEB") text = "Zeb";
                cmbModels->Items.Add(text);
                cmbModels->SetItemIndex(0);
            }
        }
        DescribeVariant();
    }
}

void TfrmChecksheet::DescribeVariant() {
    TTable& ranges = *frmTables->tblMRanges;
    TTable& alt = *frmTables->tblAltBDate;
    TTable& engines = *frmTables->tblEngines;
    const int rangeCode = ranges.FieldByName("MODEL_RANGE_CODE")->AsInteger();
    std::string dateFrom = ranges.FieldByName("BUILD_DATE_FROM")->AsString();
    std::string dateTo = ranges.FieldByName("BUILD_DATE_TO")->AsString();
    if (alt.FindKey({rangeCode, Market})) {
        dateFrom = alt.FieldByName("DateFrom")->AsString();
        dateTo = alt.FieldByName("DateTo")->AsString();
    }
    const std::string vin = edtVinDate->Text();
    if (!vin.empty()) {
        // A code whose year or month is unknown fits no window.
        TTable& vinDates = *frmTables->tblVINDates;
        if (vin.size() != 2 || !vinDates.FindKey({vin.substr(0, 1)})) return;
        const std::size_t month = vinDates.FieldByName("MONTH_CODES")->AsString().find(vin[1]);
        if (month == std::string::npos) return;
        const std::string key = IntToStr(vinDates.FieldByName("YEAR")->AsInteger()) + TwoDigits(int(month) + 1);
        if (key < WindowKey(dateFrom, false) || key > WindowKey(dateTo, true)) return;
    }
    TTable& params = *frmTables->tblParams;
    if (!engines.FindKey({params.FieldByName("LANG_CODE")->AsString(), ranges.FieldByName("ENGINE_CODE")->AsInteger()}))
        return;
    std::string text = StripTrailingDollars(engines.FieldByName("DESCRIPTION")->AsString());
    if (engines.FieldByName("CATALYST")->AsString() == "N") text += "  ( Non Cat )";
    text += " : " + dateFrom + " - " + dateTo;
    cmbVariants->Items.Add(text + ItemSep + IntToStr(rangeCode));
}

void TfrmChecksheet::cmbVariantsChange(TObject*) {
    btnPrint->SetEnabled(false);
    btnView->SetEnabled(false);
    if (cmbVariants->ItemIndex() >= 0) {
        ModelRange = ItemCode(cmbVariants->Text());
        TTable& ranges = *frmTables->tblMRanges;
        TTable& engines = *frmTables->tblEngines;
        std::string engineType;
        const bool rangeFound = ranges.FindKey({ModelRange});
        if (rangeFound && engines.FindKey({Language, ranges.FieldByName("ENGINE_CODE")->AsInteger()}))
            engineType = engines.FieldByName("ENGINE_TYPE")->AsString();
        if (engineType == "P" || engineType == "D") {
            cbEmissionTest->SetEnabled(true);
        } else {
            cbEmissionTest->SetChecked(false);
            cbEmissionTest->SetEnabled(false);
        }
        if (cbService->Checked()) {
            lblInterval->SetEnabled(true);
            EnableIntervalControls(true);
            if (rangeFound) FillIntervalList();
            else cmbInterval->Items.Clear();
        } else {
            cmbInterval->SetItemIndex(-1);
            lblInterval->SetEnabled(false);
            btnView->SetEnabled(true);
            btnPrint->SetEnabled(true);
        }
    }
    ResetExtPerChecks = true;
}

void TfrmChecksheet::EnableIntervalControls(bool enabled) {
    for (TControl* c : std::initializer_list<TControl*>{lblInterval, cmbInterval, lblIntType, rbmlkm, rbYears,
                                                         lblGermanIntLegend})
        c->SetEnabled(enabled);
}

void TfrmChecksheet::FillIntervalList() {
    TfrmTables& t = *frmTables;
    cmbInterval->Items.Clear();
    IntervalFlags.fill(false);
    const int rangeCode = t.tblMRanges->FieldByName("MODEL_RANGE_CODE")->AsInteger();
    TTable& links = *t.tblCSLinks;
    if (links.FindKey({rangeCode})) {
        TField* linkRange = links.FieldByName("MODEL_RANGE_CODE");
        TField* intervals = links.FieldByName("INTERVALS");
        for (; !links.Eof() && linkRange->AsInteger() == rangeCode; links.Next()) {
            const std::string flags = intervals->AsString();
            // Positions beyond a short text count as "N".
            const std::size_t n = std::min<std::size_t>(flags.size(), kIntervalPositions);
            for (std::size_t p = 0; p < n; ++p)
                if (flags[p] == 'Y') IntervalFlags[p + 1] = true;
        }
    }
    if (!t.tblInterval->FindKey({t.tblMRanges->FieldByName("INTERVAL_CODE")->AsInteger()})) return;
    if (!t.tblMarket->FindKey({t.tblParams->FieldByName("MARKET_CODE")->AsString()})) return;
    const std::string unit = t.tblMarket->FieldByName("INTERVAL_TYPE")->AsString();
    const int distance = t.tblInterval->FieldByName(unit == "km" ? "KMDISTANCE" : "MLDISTANCE")->AsInteger();
    if (IntervalFlags[1]) cmbInterval->Items.Add(LText(61) + ItemSep + "1");
    const std::string service = LText(174);
    const std::string afterNumber = IsGermanMarket ? ". " : " ";
    for (int p = 2; p <= kIntervalPositions; ++p) {
        if (!IntervalFlags[p]) continue;
        const int n = p - 1;
        const std::string number = IntToStr(n) + afterNumber + service;
        const std::string way = IntToStr(int64_t(n) * distance) + " " + unit;
        const std::string text = rbYears->Checked() ? number + "    (" + way + ")" : way + "    (" + number + ")";
        cmbInterval->Items.Add(text + ItemSep + IntToStr(p));
    }
}

void TfrmChecksheet::cmbIntervalChange(TObject*) {
    if (cmbInterval->ItemIndex() < 0) return;
    IntervalNo = ItemCode(cmbInterval->Text());
    btnSpecInst->SetEnabled(true);
    btnPrint->SetEnabled(true);
    btnView->SetEnabled(true);
}

void TfrmChecksheet::UpdateOptionState() {
    const bool variant = cmbVariants->ItemIndex() >= 0;
    const bool interval = cmbInterval->ItemIndex() >= 0;
    const bool service = cbService->Checked();
    const bool preTest = cbPreTest->Checked();
    const bool ready = variant && (!service || interval) && (service || preTest);
    btnPrint->SetEnabled(ready);
    btnView->SetEnabled(ready);
    if (preTest && !service) EnableIntervalControls(false);
    if (service && variant) {
        EnableIntervalControls(true);
        if (!interval) FillIntervalList();
    }
}

void TfrmChecksheet::cbServiceClick(TObject*) { UpdateOptionState(); }

void TfrmChecksheet::cbPreTestClick(TObject*) {
    if (cbPreTest->Checked()) {
        cbBrakeTest->SetEnabled(frmTables->tblParams->FieldByName("BRTEST_EQUIP")->AsBoolean());
    } else {
        cbBrakeTest->SetEnabled(false);
        cbBrakeTest->SetChecked(false);
    }
    UpdateOptionState();
}

void TfrmChecksheet::cbPaintBodyWithClick(TObject*) {
    if (cbPaintBodyWith->Checked()) cbPaintBodyWithout->SetChecked(false);
}

void TfrmChecksheet::cbPaintBodyWithoutClick(TObject*) {
    if (cbPaintBodyWithout->Checked()) cbPaintBodyWith->SetChecked(false);
}

void TfrmChecksheet::rbmlkmClick(TObject*) {
    if (cmbVariants->ItemIndex() < 0) return;  // no variant: no interval list to word
    const int chosen = cmbInterval->ItemIndex() >= 0 ? ItemCode(cmbInterval->Text()) : 0;
    FillIntervalList();
    // The same interval stays chosen in the other wording.
    for (int i = 0; chosen && i < cmbInterval->Items.Count(); ++i)
        if (ItemCode(cmbInterval->Items[i]) == chosen) cmbInterval->SetItemIndex(i);
}

void TfrmChecksheet::rbYearsClick(TObject* Sender) { rbmlkmClick(Sender); }

// --- VIN build-date code and the dates ---------------------------------------------------------

void TfrmChecksheet::edtVinDateEnter(TObject*) { VinDateOnEnter = edtVinDate->Text(); }

void TfrmChecksheet::ShowVinDateError(int textNo) {
    for (TComboBox* c : {cmbModels, cmbVariants, cmbInterval}) c->Items.Clear();
    ErrorBox(textNo);
    edtVinDate->SetFocus();
}

void TfrmChecksheet::edtVinDateExit(TObject*) {
    lblVINResult->SetCaption("");
    lblVINResult->SetLeft(lblVineg1->Left());
    const std::string text = edtVinDate->Text();
    if (text != VinDateOnEnter) {
        cmbVariants->Items.Clear();
        cmbInterval->Items.Clear();
        for (TControl* c : std::initializer_list<TControl*>{cmbVariants, cmbInterval, rbmlkm, rbYears,
                                                             lblGermanIntLegend, btnPrint, btnView})
            c->SetEnabled(false);
    }
    if (text.empty()) {
        if (!VinDateOnEnter.empty()) FillModelList();
        return;
    }
    if (text.size() != 2) return ShowVinDateError(63);
    TTable& vinDates = *frmTables->tblVINDates;
    if (!vinDates.FindKey({text.substr(0, 1)})) return ShowVinDateError(64);
    const std::size_t month = vinDates.FieldByName("MONTH_CODES")->AsString().find(text[1]);
    if (month == std::string::npos) return ShowVinDateError(64);
    lblVINResult->SetCaption(TwoDigits(int(month) + 1) + FormatSettings.DateSeparator +
                             IntToStr(vinDates.FieldByName("YEAR")->AsInteger()));
    lblVINResult->Show();
    FillModelList();
    if (cmbModels->Items.Count() == 0) ShowVinDateError(65);
}

void TfrmChecksheet::edtRegDateExit(TObject*) {
    std::string text = edtRegDate->Text();
    if (text.size() > 7) text.resize(7);
    std::string result;
    const bool valid = ValidMonthYear(text, result);
    const std::string asAt = cmbAsAtDate->Text();
    const std::string asAtKey = BuildDateKey(asAt.size() > 3 ? asAt.substr(3, 7) : std::string());
    if (!valid || asAtKey < BuildDateKey(result)) {
        edtRegDate->SetText(text);
        ErrorBox(50);
        edtRegDate->SetFocus();
        return;
    }
    edtRegDate->SetText(result);
    RegDate = result;
}

void TfrmChecksheet::edtMileageExit(TObject*) { Mileage = edtMileage->Text(); }

void TfrmChecksheet::cmbAsAtDateDropDown(TObject*) {
    // The calendar opens on the field's date, or on today when the field holds no valid date.
    std::string text = cmbAsAtDate->Text();
    const std::string saved = AsAtDate;
    const bool valid = !text.empty() && ValidDate(text);
    AsAtDate = saved;
    const std::optional<TDateTime> chosen = SelectDate(valid ? text : std::string());
    if (!chosen) return;  // closed without a choice: the field keeps its date
    AsAtDate = DateToStr(*chosen);
    cmbAsAtDate->SetText(AsAtDate);
    edtRepairNo->SetFocus();
}

void TfrmChecksheet::cmbAsAtDateExit(TObject*) {
    std::string text = cmbAsAtDate->Text();
    if (ValidDate(text)) {
        cmbAsAtDate->SetText(text);
        return;
    }
    ErrorBox(49);
    cmbAsAtDate->SetFocus();
}

// --- buttons -----------------------------------------------------------------------------------

void TfrmChecksheet::btnExitClick(TObject*) { Close(); }

void TfrmChecksheet::btnNewClick(TObject*) {
    HandOffMode = false;
    ResetChecksheetForm();
}

void TfrmChecksheet::btnCustomerClick(TObject*) {
    auto dialog = std::make_unique<TfrmCustDetails>(this);
    TEdit* fields[] = {dialog->edtCustName, dialog->edtCompanyName, dialog->edtAddr1,
                       dialog->edtAddr2,    dialog->edtAddr3,       dialog->edtAddr4,
                       dialog->edtMainPhone, dialog->edtOtherPhone, dialog->edtContact};
    std::string* values[] = {&CustName,  &CustCompany, &CustAddr1,      &CustAddr2,  &CustAddr3,
                             &CustAddr4, &CustPhone,   &CustOtherPhone, &CustContact};
    for (int i = 0; i < 9; ++i) fields[i]->SetText(*values[i]);
    dialog->ShowModal();
    // Whatever closed the dialog, what it holds is taken.
    for (int i = 0; i < 9; ++i) *values[i] = fields[i]->Text();
    edtCustomerName->SetText(CustName);
}

void TfrmChecksheet::btnSpecInstClick(TObject*) {
    if (frmSpecInst) frmSpecInst->ShowModal();
}
