// The checksheet form's print unit: the form's choices become the application state, then the
// checksheet is printed (with the paint-protection pages), previewed, or, for an XML request on a
// never-shown form, rendered through the preview in XML mode, which writes the request's file.
#include <memory>

#include "Chksheet.h"
#include "CsPrev.h"
#include "CsReport.h"
#include "Dialogs.h"
#include "DocPrint.h"
#include "ExtPer.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "XMLGen.h"
#include "charconv.h"
#include "vetrav3.h"

namespace {

/// An error box with OK showing LText(textNo), then the focus on `control`.
void StopAt(int textNo, TWinControl* control) {
    MessageDlg(LText(textNo), TMsgDlgType::mtError, {mrOk});
    control->SetFocus();
}

/// The Abort/Retry/Ignore question of an empty field: true (and the focus on the field) when the
/// user chose Retry, which stops the print.
bool RetryEmptyField(int textNo, TWinControl* control) {
    if (Application->MessageBox(LText(textNo), "", MB_ABORTRETRYIGNORE) != IDRETRY) return false;
    control->SetFocus();
    return true;
}

/// The screen cursor goes back to the default when the scope ends, however it ends.
struct DefaultCursorAtEnd {
    ~DefaultCursorAtEnd() { Screen->SetCursor(crDefault); }
};

}  // namespace

void TfrmChecksheet::CollectChecksheetChoices() {
    TTable& structure = *frmTables->tblStructure;
    // The walk starts at the first structure row. The table stays open for the report, which
    // reads it next.
    OpenIfClosed(structure);
    structure.First();
    CurSeqNo = structure.Eof() ? 0 : structure.FieldByName("SEQUENCE_NO")->AsInteger();
    EmissionPending = cbEmissionTest->Checked();
    BrakePending = cbBrakeTest->Checked();
    SpecInstPending = EndBlockPending = NextServicePending = StructureLeft = true;
    DoService = cbService->Checked();
    DoPreTest = cbPreTest->Checked();
    DoEmissionTest = cbEmissionTest->Checked();
    DoBrakeTest = cbBrakeTest->Checked();
    DoVOREX = cbVOREX->Checked();
    DoPaintBodyWith = cbPaintBodyWith->Checked();
    DoPaintBodyWithout = cbPaintBodyWithout->Checked();
    PendingMHCode = 0;
    // A German pre-test always carries the brake test, whatever its (hidden) box shows.
    if (IsGermanMarket && DoPreTest) BrakePending = DoBrakeTest = true;
    if (BatchMode) return;
    ModelText = cmbModels->Text();
    VariantText = cmbVariants->Text();
    IntervalText = cmbInterval->Text();
    const std::size_t bracket = IntervalText.find('(');
    if (bracket != std::string::npos) IntervalText.resize(bracket);
    RepairNo = edtRepairNo->Text();
    RegNo = edtRegNo->Text();
    RegDate = edtRegDate->Text();
    Mileage = edtMileage->Text();
    RadioCode = edtRadioCode->Text();
}

bool TfrmChecksheet::ChosenRangeReady() {
    // A decided hand-off job shows its choices as free text; every other road takes them from
    // the items chosen in the lists.
    const bool decidedHandOff = HandOffMode && cmbVariants->Style() == TComboBoxStyle::csDropDown;
    if (!decidedHandOff) {
        if (cmbVariants->ItemIndex() < 0) return false;
        ModelRange = ItemCode(cmbVariants->Text());
        if (cbService->Checked()) {
            if (cmbInterval->ItemIndex() < 0) return false;
            IntervalNo = ItemCode(cmbInterval->Text());
        }
    }
    TTable& ranges = *frmTables->tblMRanges;
    if (ModelRange == 0 || !ranges.FindKey({ModelRange})) return false;
    frmTables->tblEngines->FindKey({Language, ranges.FieldByName("ENGINE_CODE")->AsInteger()});
    return !cbService->Checked() || (IntervalNo >= 1 && IntervalNo <= 21);
}

bool TfrmChecksheet::FirstIntervalChosen() {
    const int chosen = cmbInterval->ItemIndex();
    return chosen >= 0 && cmbInterval->Items[chosen].find(LText(61)) != std::string::npos;
}

void TfrmChecksheet::btnPrintClick(TObject*) {
    if (!ChosenRangeReady()) return;
    if (!cbService->Checked() && !cbPreTest->Checked()) return StopAt(160, cbService);
    if (!HandOffMode && !BatchMode) {
        TTable& params = *frmTables->tblParams;
        OpenIfClosed(params);
        params.First();
        if (params.FieldByName("CUSTOMER_DETAILS")->AsBoolean() && edtCustomerName->Text().empty())
            return StopAt(43, btnCustomer);
        if (edtRegNo->Text().empty() && RetryEmptyField(46, edtRegNo)) return;
        if (edtRegDate->Text().empty() && RetryEmptyField(47, edtRegDate)) return;
        const std::string mileage = edtMileage->Text();
        if (!mileage.empty() && !IsNumeric(mileage)) return StopAt(39, edtMileage);
        if (mileage.empty() && RetryEmptyField(48, edtMileage)) return;
    }
    CollectChecksheetChoices();
    ContinuePrint = true;
    // Every interval but the first-interval item may add extended-period operations; with no
    // item chosen (a decided hand-off job, whose free text may name the first interval) the
    // dialog is asked every time.
    // Only OK goes on: Cancel, Escape or closing the window stops the print.
    if (DoService && !FirstIntervalChosen() && frmExtPer && frmExtPer->ShowModal() != mrOk) ContinuePrint = false;
    if (ContinuePrint && PrintDialog1.Execute()) {
        modReporting->prnReport->Print();
        if (cbPaintBodyWith->Checked()) PrintPaintProtectionPages();
    }
    btnNew->SetEnabled(true);
}

void TfrmChecksheet::btnViewClick(TObject*) {
    if (!ChosenRangeReady()) return;
    if (!cbService->Checked() && !cbPreTest->Checked()) return StopAt(160, cbService);
    ContinuePrint = true;
    CollectChecksheetChoices();
    if (DoService && !FirstIntervalChosen()) {
        auto dialog = std::make_unique<TfrmExtPer>(this);
        if (dialog->ShowModal() != mrOk) ContinuePrint = false;
    }
    if (ContinuePrint) {
        auto preview = std::make_unique<TfrmPrintPreview>(this);
        preview->ShowModal();
    }
    btnNew->SetEnabled(true);
}

void TfrmChecksheet::PrintPaintProtectionPages() {
    DefaultCursorAtEnd cursor;
    // A page that is not there raises the loader's file-open error; only the series catches it.
    if (IsGermanMarket) {
        LoadPageImage("AnnProt.TIF");
        PrintFullPage();
        return;
    }
    for (int n = 1; n <= 9; ++n) {
        if (!TryLoadPageImage(Language + "BP" + IntToStr(n) + ".TIF")) {
            if (n > 1) break;
            LoadPageImage("ENBP1.TIF");  // the English first page stands in for a missing one
        }
        PrintFullPage();
    }
}

void TfrmChecksheet::PrintFullPage() { Print_Page(); }

bool TfrmChecksheet::XMLGen(const std::string& modelRange, const std::string& interval, const std::string& service,
                            const std::string& preTest, const std::string& emission, const std::string& brake) {
    if (!PrepareRequest(modelRange, interval, service, preTest, emission, brake)) return false;
    ContinuePrint = true;
    auto preview = std::make_unique<TfrmPrintPreview>(this);
    preview->ShowModal();
    return true;
}

void TfrmChecksheet::NamePreparedRequest() {
    TfrmTables& t = *frmTables;
    ModelText = t.tblModels->FieldByName("DESCRIPTION")->AsString();
    const std::string engine = StripTrailingDollars(t.tblEngines->FieldByName("DESCRIPTION")->AsString());
    VariantText = engine + " : " + t.tblMRanges->FieldByName("BUILD_DATE_FROM")->AsString() + " - " +
                  t.tblMRanges->FieldByName("BUILD_DATE_TO")->AsString();
    IntervalText = IntervalNo <= 1 ? LText(61) : std::to_string(IntervalNo - 1) + " " + LText(174);
}

bool TfrmChecksheet::PrepareRequest(const std::string& modelRange, const std::string& interval,
                                    const std::string& service, const std::string& preTest,
                                    const std::string& emission, const std::string& brake) {
    TfrmTables& t = *frmTables;
    // The data are opened before the boxes are ticked: ticking pre-test runs the brake rule,
    // which reads PARAMS.
    OpenChecksheetData();
    cbService->SetChecked(service == "Y");
    cbPreTest->SetChecked(preTest == "Y");
    cbEmissionTest->SetChecked(emission == "Y");
    cbBrakeTest->SetChecked(brake == "Y");
    AsAtDate = DateToStr(Date());
    CollectChecksheetChoices();
    Market = XMLMarket;
    UseLanguage(XMLLanguage);
    ModelRange = StrToIntDef(modelRange, 0);
    IntervalNo = StrToIntDef(interval, 0);

    // The request's ISO codes become internal ones where XMLConv knows them; otherwise they are
    // used as given.
    TTable& conv = *t.tblXMLConv;
    OpenIfClosed(conv);
    TField* isoMarket = conv.FieldByName("ISOMarket");
    for (conv.First(); !conv.Eof(); conv.Next())
        if (isoMarket->AsString() == Market) {
            Market = conv.FieldByName("VETRAMarket")->AsString();
            break;
        }
    TField* isoLanguage = conv.FieldByName("ISOLanguage");
    for (conv.First(); !conv.Eof(); conv.Next())
        if (isoLanguage->AsString() == Language) {
            UseLanguage(conv.FieldByName("VETRALanguage")->AsString());
            break;
        }

    // A market or language the service data do not hold would give a sheet without a text: the
    // request is refused as an unknown model range is.
    OpenIfClosed(*t.tblLanguage);
    std::string unknown;
    if (!t.tblMarket->FindKey({Market})) unknown += "Market " + XMLMarket + " not found in the service data - ";
    if (!t.tblLanguage->FindKey({Language})) unknown += "Language " + XMLLanguage + " not found in the service data - ";
    // A refusal names the request as the format checks do.
    const std::string refused =
        "request for " + XMLMarket + "," + XMLLanguage + " not written" + (RequestPlace.empty() ? "" : " in " + RequestPlace);
    if (!unknown.empty()) {
        MessageDlg(unknown + refused, TMsgDlgType::mtError, {mrOk});
        return false;
    }

    TTable& ranges = *t.tblMRanges;
    if (!ranges.FindKey({ModelRange})) {
        // The request cannot be served: a file of another model range's data would be wrong.
        MessageDlg("Model Range " + IntToStr(ModelRange) + " not found in the service data - " + refused,
                   TMsgDlgType::mtError, {mrOk});
        return false;
    }
    t.tblModels->FindKey({ranges.FieldByName("MODEL_CODE")->AsInteger()});
    std::string engineType;
    if (t.tblEngines->FindKey({Language, ranges.FieldByName("ENGINE_CODE")->AsInteger()}))
        engineType = t.tblEngines->FieldByName("ENGINE_TYPE")->AsString();
    XMLEmissionFlag = UpperCase(emission) == "Y";
    if (engineType != "P" && engineType != "D") {
        // The file name keeps the request's flag; the document has no emission section.
        cbEmissionTest->SetChecked(false);
        DoEmissionTest = false;
    }
    return true;
}
