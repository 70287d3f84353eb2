// The settings dialog: the program's language among the market's, what is printed, the test
// equipment, the top margin and the dealer's details, kept in the one PARAMS row.
#pragma once

#include <string>
#include <vector>

#include "Buttons.h"
#include "Forms.h"
#include "StdCtrls.h"

class TfrmSetup : public TForm {
public:
    explicit TfrmSetup(TComponent* AOwner);

    TLabel* lblMarket;
    TEdit* edtMarket;
    TLabel* lblLanguage;
    TComboBox* cmbLanguage;
    TGroupBox* gbOptions;
    TCheckBox* cbCoDetails;
    TCheckBox* cbCustDetails;
    TCheckBox* cbEmissionTest;
    TCheckBox* cbBrakeTest;
    TLabel* lblPageTop;
    TEdit* edtTopMargin;
    TLabel* lblCm;
    TGroupBox* gbCompany;
    TLabel* lblName;
    TEdit* edtCoName;
    TLabel* lblAddress;
    TEdit* edtCoAdd1;
    TEdit* edtCoAdd2;
    TEdit* edtCoAdd3;
    TEdit* edtCoAdd4;
    TLabel* lblTelephone;
    TEdit* edtCoTel;
    TLabel* lblFax;
    TEdit* edtCoFax;
    TLabel* lblemail;
    TEdit* edtCoEmail;
    TLabel* lblWWW;
    TEdit* edtWWW;
    TBitBtn* btnOK;
    TBitBtn* btnCancel;

    void FormShow(TObject* Sender);
    void btnOKClick(TObject* Sender);
    void cmbLanguageChange(TObject* Sender);
    void Add_Language(const std::string& code);
    void Fill_Languages();
    void Set_Captions();
    void Save_Params();

    /// Language codes of the entries of cmbLanguage, in list order.
    const std::vector<std::string>& LanguageCodes() const { return FLanguageCodes; }

private:
    std::vector<std::string> FLanguageCodes;
    /// Fields whose stored text could not be shown as it is (longer than the field, or holding
    /// a zero byte): shown empty, and reported on the first OK that would save them empty.
    std::vector<TEdit*> FUnreadable;
    void ShowText(TEdit* edit, const char* field);
};

