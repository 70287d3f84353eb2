// The extended-period dialog: the walk of the checksheet structure under the extended-period
// heading, the operation texts, and the choices handed to the report through ExtPerOps.
#include "ExtPer.h"

#include <functional>

#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"

TfrmExtPer* frmExtPer = nullptr;

namespace {

constexpr int kLineHeight = 16;  // pixels per memo line
constexpr int kMemoWidth = 600;
constexpr int kMemoTextWidth = kMemoWidth - 10;  // inside the memo's border and margins

/// An operation text as one line: line-break and right-align markers become blanks.
std::string PlainOperationText(std::string text) {
    for (char& c : text)
        if (c == '^' || c == '~') c = ' ';
    return StripTrailingDollars(std::move(text));
}

/// The number of lines a text takes in a box `width` pixels wide when it is wrapped at blanks
/// (a word wider than the box is broken wherever it must be), as measured by `widthOf`.
int WrappedLineCount(const std::string& text, int width, const std::function<int(const std::string&)>& widthOf) {
    int lines = 1;
    std::string line;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        const std::string joined = line.empty() ? word : line + " " + word;
        if (line.empty() || widthOf(joined) <= width) {
            line = joined;
        } else {
            ++lines;
            line = word;
        }
        // A word wider than the box fills whole lines of its own.
        while (line.size() > 1 && widthOf(line) > width) {
            std::size_t fit = line.size() - 1;
            while (fit > 1 && widthOf(line.substr(0, fit)) > width) --fit;
            line.erase(0, fit);
            ++lines;
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace

TfrmExtPer::TfrmExtPer(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmExtPer";
    SetCaption("LText(144)");
    SetBounds(0, 0, 720, 510);
    BorderStyle = TFormBorderStyle::bsDialog;
    Position = TPosition::poScreenCenter;
    Font.Name = "Arial";
    Font.SetSize(9);

    lblCheckBox = new TLabel(this);
    lblCheckBox->Name = "lblCheckBox";
    lblCheckBox->SetParent(this);
    lblCheckBox->SetBounds(16, 12, 680, 18);
    lblCheckBox->SetCaption("LText(140)");
    sbExtPer = new TScrollBox(this);
    sbExtPer->Name = "sbExtPer";
    sbExtPer->SetParent(this);
    sbExtPer->SetBounds(12, 40, 696, 404);
    // Memos are the scroll box's controls 0 to 19, check boxes 20 to 39.
    for (int n = 1; n <= kExtPerPlaces; ++n) {
        TMemo* memo = new TMemo(this);
        memo->Name = "Memo" + std::to_string(n);
        memo->SetParent(sbExtPer);
        memo->SetBounds(24, 0, kMemoWidth, kLineHeight);
        memo->SetReadOnly(true);
        memo->TabStop = false;
        memo->Hide();
        Memos[n] = memo;
    }
    for (int n = 1; n <= kExtPerPlaces; ++n) {
        TCheckBox* box = new TCheckBox(this);
        box->Name = "CheckBox" + std::to_string(n);
        box->SetParent(sbExtPer);
        box->SetBounds(0, 0, 16, 16);
        box->Hide();
        CheckBoxes[n] = box;
    }
    btnOK = new TBitBtn(this);
    btnOK->Name = "btnOK";
    btnOK->SetParent(this);
    btnOK->SetKind(TBitBtnKind::bkOK);
    btnOK->SetBounds(520, 460, 90, 30);
    btnOK->SetCaption("LText(110)");
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel = new TBitBtn(this);
    btnCancel->Name = "btnCancel";
    btnCancel->SetParent(this);
    btnCancel->SetBounds(618, 460, 90, 30);
    btnCancel->SetCaption("LText(27)");
    btnCancel->Cancel = true;
    btnCancel->ModalResult = mrCancel;
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    Timer1 = new TTimer(this);
    Timer1->Name = "Timer1";
    Timer1->SetEnabled(false);
    Timer1->SetInterval(1);
    Timer1->OnTimer = [this](TObject* s) { Timer1Timer(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    DoCreate();
}

void TfrmExtPer::FormShow(TObject*) {
    Timer1->SetEnabled(false);
    OpenIfClosed(*frmTables->tblStructure);
    OpenIfClosed(*frmTables->tblSubHead);
    OpenIfClosed(*frmTables->tblServOps);
    btnOK->SetCaption(LText(110));
    btnCancel->SetCaption(LText(27));
    lblCheckBox->SetCaption(LText(140));
    SetCaption(LText(144));

    sbExtPer->VertScrollBar.SetPosition(0);
    FShownCount = 0;
    FNextTop = 0;
    for (std::string& entry : ExtPerOps) entry.clear();
    ExtPerCount = 0;
    Clear_Controls();
    const bool found = OpsFound();
    sbExtPer->VertScrollBar.SetRange(FNextTop + 8);
    if (!found) Timer1->SetEnabled(true);
}

void TfrmExtPer::Clear_Controls() {
    for (int i = 0; i < sbExtPer->ControlCount(); ++i) sbExtPer->Controls(i)->Hide();
    if (!ResetExtPerChecks) return;
    for (int n = 1; n <= kExtPerPlaces; ++n) CheckBoxes[n]->SetChecked(false);
    // A dialog made for one preview starts unticked anyway; only the start-up instance, whose
    // ticks outlive a showing, takes the request, so the next print still clears its boxes.
    if (this == frmExtPer) ResetExtPerChecks = false;
}

bool TfrmExtPer::OpsFound() {
    TTable& mainHead = *frmTables->tblMainHead;
    TTable& structure = *frmTables->tblStructure;
    OpenIfClosed(mainHead);
    OpenIfClosed(*frmTables->tblCSLinks);
    // The first extended-period heading of the language, in index order.
    int headingCode = 0;
    bool headingFound = false;
    if (mainHead.FindKey({Language})) {
        TField* lang = mainHead.FieldByName("LANG_CODE");
        TField* extPer = mainHead.FieldByName("MH_EXTPER");
        for (; !mainHead.Eof() && lang->AsString() == Language; mainHead.Next()) {
            if (extPer->AsString() == "Y") {
                headingCode = mainHead.FieldByName("MH_CODE")->AsInteger();
                headingFound = true;
                break;
            }
        }
    }
    if (!headingFound) return false;

    TField* mhCode = structure.FieldByName("MH_CODE");
    TField* market = structure.FieldByName("MARKET_CODE");
    TField* lang = structure.FieldByName("LANG_CODE");
    TField* sequence = structure.FieldByName("SEQUENCE_NO");
    bool inSection = false;
    for (structure.First(); !structure.Eof() && FShownCount < kExtPerPlaces; structure.Next()) {
        const int code = mhCode->AsInteger();
        if (code > 0) {
            inSection = code == headingCode;
            continue;
        }
        if (!inSection) continue;
        const std::string rowMarket = market->AsString();
        if (rowMarket != "GB" && !(rowMarket == Market && lang->AsString() == Language)) continue;
        if (frmTables->tblCSLinks->FindKey({ModelRange, sequence->AsInteger()}) && All_Intervals()) Show_Operation();
    }
    return FShownCount > 0;
}

bool TfrmExtPer::All_Intervals() {
    const std::string intervals = frmTables->tblCSLinks->FieldByName("INTERVALS")->AsString();
    // A text too short to reach position 21 lacks a "Y" there.
    if (intervals.size() < 21) return false;
    for (std::size_t p = 1; p < 21; ++p)
        if (intervals[p] != 'Y') return false;
    return frmTables->tblServOps->FindKey({Language, frmTables->tblStructure->FieldByName("OP_CODE")->AsInteger()});
}

void TfrmExtPer::Show_Operation() {
    const int n = ++FShownCount;
    TMemo* memo = Memos[n];
    TCheckBox* box = CheckBoxes[n];
    const std::vector<std::string> lines = Op_Text();
    std::string text;
    // A text longer than the memo is wide wraps: the memo grows by the lines it takes, so the
    // whole text shows and the rows below move down.
    int shownLines = 0;
    const auto widthOf = [this](const std::string& s) { return TextWidth(s); };
    for (const std::string& line : lines) {
        text += line + "\r\n";
        shownLines += WrappedLineCount(line, kMemoTextWidth, widthOf);
    }
    memo->Lines.SetText(text);
    const int top = FNextTop + 8;
    memo->SetBounds(24, top, kMemoWidth, kLineHeight * shownLines);
    memo->Show();
    box->SetTop(top);
    box->Show();
    FNextTop = top + kLineHeight * shownLines;
}

std::vector<std::string> TfrmExtPer::Op_Text() {
    TTable& structure = *frmTables->tblStructure;
    TTable& subHead = *frmTables->tblSubHead;
    TTable& servOps = *frmTables->tblServOps;
    ++ExtPerCount;
    std::vector<std::string> lines;
    const int l1 = structure.FieldByName("L1_SHCODE")->AsInteger();
    const int l2 = structure.FieldByName("L2_SHCODE")->AsInteger();
    const int op = structure.FieldByName("OP_CODE")->AsInteger();
    const int heading = l1 >= 1 ? l1 : (l2 > 0 ? l2 : 0);
    if (heading > 0 && subHead.FindKey({Language, heading})) {
        ExtPerOps[ExtPerCount] = IntToStr(heading) + FormatSettings.DecimalSeparator + IntToStr(op);
        lines.push_back(StripTrailingDollars(subHead.FieldByName("SH_TEXT")->AsString()));
    }
    if (servOps.FindKey({Language, op})) {
        // The first part is continued at its full width, as the sheet takes it.
        const TField& first = *servOps.FieldByName("OPERATION_TEXT1");
        const std::string second = servOps.FieldByName("OPERATION_TEXT2")->AsString();
        lines.push_back(PlainOperationText(second.empty() ? first.AsString() : first.AsStoredString()) +
                        PlainOperationText(second));
    }
    return lines;
}

void TfrmExtPer::btnOKClick(TObject*) {
    // Places beyond the operations shown stay empty.
    for (int n = 1; n <= FShownCount; ++n)
        if (!CheckBoxes[n]->Checked()) ExtPerOps[n] = "0";
    SetModalResult(mrOk);
    ContinuePrint = true;
}

void TfrmExtPer::btnCancelClick(TObject*) { ContinuePrint = false; }

void TfrmExtPer::Timer1Timer(TObject* Sender) {
    Timer1->SetEnabled(false);
    btnOKClick(Sender);
    SetModalResult(mrOk);
    if (!Modal()) Close();  // a modal dialog closes with the result just set
}
