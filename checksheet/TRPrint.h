// The training sheets' wait window: a small window the main form shows, without waiting for it,
// while it prints the training pages, and frees when the print has ended.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

class TfrmTrainingSheet : public TForm {
public:
    explicit TfrmTrainingSheet(TComponent* AOwner);
    ~TfrmTrainingSheet() override;

    TLabel* lblTitle;
    TImage* Image1;
    TLabel* Label1;

    void FormShow(TObject* Sender);
};

/// The wait window while it exists (nullptr otherwise).
extern TfrmTrainingSheet* frmTrainingSheet;
