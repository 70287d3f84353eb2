// The special-instructions dialog: a memo of at most four lines, written into SpecInstr when the
// dialog closes.
#include "SpecInst.h"

#include "Dialogs.h"
#include "TolmLib.h"

TfrmSpecInst* frmSpecInst = nullptr;

TfrmSpecInst::TfrmSpecInst(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmSpecInst";
    SetCaption("LText(24)");
    SetBounds(0, 0, 467, 156);
    BorderStyle = TFormBorderStyle::bsDialog;
    Position = TPosition::poScreenCenter;
    Font.Name = "Arial";
    Font.SetSize(9);

    MemInst = new TMemo(this);
    MemInst->Name = "MemInst";
    MemInst->SetParent(this);
    MemInst->SetBounds(8, 8, 451, 96);
    MemInst->OnExit = [this](TObject* s) { MemInstExit(s); };
    btnExit = new TBitBtn(this);
    btnExit->Name = "btnExit";
    btnExit->SetParent(this);
    btnExit->SetBounds(372, 116, 87, 30);
    btnExit->SetCaption("LText(6)");
    btnExit->Cancel = true;
    btnExit->OnClick = [this](TObject* s) { btnExitClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    DoCreate();
}

void TfrmSpecInst::FormShow(TObject*) {
    SetCaption(LText(24));
    btnExit->SetCaption(LText(6));
}

void TfrmSpecInst::MemInstExit(TObject*) {
    if (MemInst->Lines.Count() <= kSpecInstLines) return;
    MessageDlg(LText(59), TMsgDlgType::mtError, {mrOk});
    while (MemInst->Lines.Count() > kSpecInstLines) MemInst->Lines.Delete(kSpecInstLines);
    MemInst->SetFocus();
}

void TfrmSpecInst::btnExitClick(TObject*) { Close(); }

void TfrmSpecInst::FormClose(TObject*, TCloseAction&) {
    for (int n = 1; n <= kSpecInstLines; ++n) SpecInstr[n] = MemInst->Lines[n - 1];
}
