// The print preview form: shows the checksheet page by page through the report's print job, and
// is the vehicle of XML generation: in XML mode it renders every page (which builds and saves the
// XML document) and opens on the last one; in unattended batch mode it closes itself at once.
#pragma once

#include "Buttons.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Preview.h"
#include "StdCtrls.h"

class TfrmPrintPreview : public TForm {
public:
    /// Made by its caller for one preview or one XML request, after the application state of the
    /// run is set (binding the preview prepares the run), and freed by it after ShowModal.
    explicit TfrmPrintPreview(TComponent* AOwner);
    ~TfrmPrintPreview() override;

    TPanel* pnlNavigation;
    TButton* btnNext;
    TButton* btnPrev;
    TBitBtn* btnExit;
    tPrintPreview* prvReport;
    TTimer* XMLBatchTimer;

    void FormShow(TObject* Sender);
    void btnNextClick(TObject* Sender);
    void btnPrevClick(TObject* Sender);
    void XMLBatchTimerTimer(TObject* Sender);
};

/// The unit's form variable; forms of this class are made locally and it stays unassigned.
extern TfrmPrintPreview* frmPrintPreview;
