// The extended-period dialog: lists the optional operations of the extended-period heading that
// apply to the chosen model range at every interval, one check box each, and records the ticked
// ones in ExtPerOps for the report. With nothing to ask it confirms itself at once.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "Buttons.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

class TTable;

/// Operations the dialog can offer (and ExtPerOps entries the report reads).
inline constexpr int kExtPerPlaces = 20;

class TfrmExtPer : public TForm {
public:
    explicit TfrmExtPer(TComponent* AOwner);

    TLabel* lblCheckBox;
    TScrollBox* sbExtPer;
    std::array<TMemo*, kExtPerPlaces + 1> Memos{};         ///< Memo1..Memo20 (index 0 unused)
    std::array<TCheckBox*, kExtPerPlaces + 1> CheckBoxes{}; ///< CheckBox1..CheckBox20 (index 0 unused)
    TBitBtn* btnOK;
    TBitBtn* btnCancel;
    TTimer* Timer1;

    void FormShow(TObject* Sender);
    void btnOKClick(TObject* Sender);
    void btnCancelClick(TObject* Sender);
    void Timer1Timer(TObject* Sender);

    /// Hides the 40 controls of the scroll box; unticks the boxes when another variant was chosen.
    void Clear_Controls();
    /// Lists the operations; false when none was shown.
    bool OpsFound();
    /// Shows the current structure row as the next operation.
    void Show_Operation();
    /// The lines of the current structure row's operation; stores its key in ExtPerOps.
    std::vector<std::string> Op_Text();
    /// The current CSLINKS row applies at every interval from the second on, and the operation
    /// has a text in the current language.
    bool All_Intervals();

    int ShownCount() const { return FShownCount; }

private:
    int FShownCount = 0;
    int FNextTop = 0;
};

/// The start-up instance (print uses it; preview makes its own).
extern TfrmExtPer* frmExtPer;
