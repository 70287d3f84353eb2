// The customer-details dialog: captions from LANGTEXT, the required name, and read-only fields
// when the details came from a hand-off file.
#include "CustDet.h"

#include <initializer_list>

#include "Dialogs.h"
#include "TolmLib.h"

TfrmCustDetails::TfrmCustDetails(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmCustDetails";
    SetCaption("LText(15)");
    SetBounds(0, 0, 470, 340);
    BorderStyle = TFormBorderStyle::bsSingle;
    BorderIcons = biSystemMenu | biMinimize;
    Position = TPosition::poScreenCenter;
    Font.Name = "Arial";
    Font.SetSize(9);

    lblName = Place<TLabel>(this, this, "lblName", 16, 20, 100, 16);
    edtCustName = Place<TEdit>(this, this, "edtCustName", 124, 16, 320, 22);
    lblCompany = Place<TLabel>(this, this, "lblCompany", 16, 48, 100, 16);
    edtCompanyName = Place<TEdit>(this, this, "edtCompanyName", 124, 44, 320, 22);
    lblAddress = Place<TLabel>(this, this, "lblAddress", 16, 76, 100, 16);
    edtAddr1 = Place<TEdit>(this, this, "edtAddr1", 124, 72, 320, 22);
    edtAddr2 = Place<TEdit>(this, this, "edtAddr2", 124, 96, 320, 22);
    edtAddr3 = Place<TEdit>(this, this, "edtAddr3", 124, 120, 320, 22);
    edtAddr4 = Place<TEdit>(this, this, "edtAddr4", 124, 144, 320, 22);
    lblTelephone = Place<TLabel>(this, this, "lblTelephone", 16, 176, 100, 16);
    edtMainPhone = Place<TEdit>(this, this, "edtMainPhone", 124, 172, 180, 22);
    lblOtherPhone = Place<TLabel>(this, this, "lblOtherPhone", 16, 204, 100, 16);
    lblOtherPhone->SetCaption("Other Phone No:");
    edtOtherPhone = Place<TEdit>(this, this, "edtOtherPhone", 124, 200, 180, 22);
    lblOtherContact = Place<TLabel>(this, this, "lblOtherContact", 16, 232, 100, 16);
    lblOtherContact->SetCaption("Other Contact");
    edtContact = Place<TEdit>(this, this, "edtContact", 124, 228, 320, 22);
    lblVIN = Place<TLabel>(this, this, "lblVIN", 16, 260, 100, 16);
    lblVIN->SetCaption("V.I.N.");
    Edit10 = Place<TEdit>(this, this, "Edit10", 124, 256, 180, 22);
    for (TControl* c : std::initializer_list<TControl*>{lblOtherPhone, edtOtherPhone, lblOtherContact, edtContact,
                                                         lblVIN, Edit10})
        c->Hide();
    BitBtn1 = Place<TBitBtn>(this, this, "BitBtn1", 16, 276, 90, 28);
    BitBtn1->SetCaption("&DMS");
    BitBtn1->Hide();
    BitBtn1->SetEnabled(false);
    btnOK = Place<TBitBtn>(this, this, "btnOK", 256, 276, 90, 28);
    btnOK->SetKind(TBitBtnKind::bkOK);
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel = Place<TBitBtn>(this, this, "btnCancel", 354, 276, 90, 28);
    btnCancel->SetKind(TBitBtnKind::bkCancel);
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    DoCreate();
}

void TfrmCustDetails::FormCreate(TObject*) {
    if (!HandOffMode) return;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* edit = dynamic_cast<TEdit*>(Components(i))) edit->SetReadOnly(true);
}

void TfrmCustDetails::FormShow(TObject*) {
    SetCaption(LText(15));
    lblName->SetCaption(LText(11));
    lblCompany->SetCaption(LText(12));
    lblAddress->SetCaption(LText(13));
    lblTelephone->SetCaption(LText(14));
    btnOK->SetCaption(LText(110));
    btnCancel->SetCaption(LText(27));
    if (HandOffMode) btnOK->SetFocus();
}

void TfrmCustDetails::btnOKClick(TObject*) {
    if (edtCustName->Text().empty()) {
        MessageDlg(LText(43), TMsgDlgType::mtError, {mrOk});
        edtCustName->SetFocus();
        SetModalResult(mrNone);  // the OK kind had already set its result
        return;
    }
    SetModalResult(mrOk);  // closes the modal dialog with OK
}

void TfrmCustDetails::btnCancelClick(TObject*) { Close(); }
