// The special-instructions dialog: up to four lines that the report prints in its end section.
// One instance lives for the whole run and keeps its memo between showings.
#pragma once

#include "Buttons.h"
#include "Forms.h"
#include "StdCtrls.h"

class TfrmSpecInst : public TForm {
public:
    explicit TfrmSpecInst(TComponent* AOwner);

    TMemo* MemInst;
    TBitBtn* btnExit;

    void FormShow(TObject* Sender);
    /// Leaving the memo: more than four lines are refused and cut back to four.
    void MemInstExit(TObject* Sender);
    void btnExitClick(TObject* Sender);
    /// Writes the memo's lines 1 to 4 into SpecInstr.
    void FormClose(TObject* Sender, TCloseAction& Action);
};

/// Lines of special instructions the report has room for.
inline constexpr int kSpecInstLines = 4;

/// The start-up instance.
extern TfrmSpecInst* frmSpecInst;
