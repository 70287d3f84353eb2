// First installation: the dealer picks the market by its flag, and the first settings row is
// written with safe defaults and the market's default language.
#pragma once

#include <string>

#include "Buttons.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

class TfrmFirstInstall : public TForm {
public:
    explicit TfrmFirstInstall(TComponent* AOwner);

    /// One flag of the dialog: its picture, the label beneath and the market it chooses.
    struct TFlag {
        TImage* Image;
        TLabel* Label;
        std::string Market;
    };
    static constexpr int FlagCount = 25;
    TFlag Flags[FlagCount];

    TImage* imSelected;
    TImage* imSplash;
    TBitBtn* btnOK;
    TButton* btnCancel;
    TButton* btnExit;

    /// The flag picture for a market code, or nullptr.
    TImage* FlagOf(const std::string& market) const;

    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FlagClick(int index);
    void btnOKClick(TObject* Sender);
    void btnCancelClick(TObject* Sender);
    void btnExitClick(TObject* Sender);
    void Hide_Flags();
    void Show_Flags();

private:
    /// Writes the first settings row; raises on a database error.
    void WriteSettings();
};

extern TfrmFirstInstall* frmFirstInstall;
