// The customer-details dialog: name, company, address, telephone (and two hidden fields) of the
// customer block that the report prints in its page header. Created per use by the checksheet
// form, which copies the values in and out.
#pragma once

#include "Buttons.h"
#include "Forms.h"
#include "StdCtrls.h"

class TfrmCustDetails : public TForm {
public:
    explicit TfrmCustDetails(TComponent* AOwner);

    TLabel* lblName;
    TEdit* edtCustName;
    TLabel* lblCompany;
    TEdit* edtCompanyName;
    TLabel* lblAddress;
    TEdit* edtAddr1;
    TEdit* edtAddr2;
    TEdit* edtAddr3;
    TEdit* edtAddr4;
    TLabel* lblTelephone;
    TEdit* edtMainPhone;
    TLabel* lblOtherPhone;
    TEdit* edtOtherPhone;
    TLabel* lblOtherContact;
    TEdit* edtContact;
    TLabel* lblVIN;
    TEdit* Edit10;
    TBitBtn* BitBtn1;
    TBitBtn* btnOK;
    TBitBtn* btnCancel;

    /// In hand-off mode every field is read-only.
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    /// An empty name keeps the dialog open.
    void btnOKClick(TObject* Sender);
    void btnCancelClick(TObject* Sender);
};
