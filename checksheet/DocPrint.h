// The pre-printed forms dialog: the user picks one kind of blank form (PDI, model, body and
// paint, budget, season checks, annual protection) and its stored page images are printed, one
// full-page print job per page. Also the page-image routines every printing unit shares.
#pragma once

#include <string>

#include "Buttons.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "PrintDialog.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "Table.h"

// ---- page images (shared by the pre-printed forms, the training sheets and the checksheet's
// paint-protection pages) ----

/// The folder page images are kept in: the folder of the database alias (the program folder),
/// with a trailing "/".
std::string PageImageFolder();

/// Loads page image `fileName` (a bare name such as "ENPDI1.TIF", found whatever the letter case
/// on disk) from PageImageFolder() into frmTables->imPrePrint. A file that is not there or cannot
/// be opened, or a name with a "/" in it, raises EFOpenError (the picture keeps what it held); a
/// file that does not read as a picture raises the reader's error.
void LoadPageImage(const std::string& fileName);

/// As LoadPageImage, but a file that cannot be opened gives false instead of EFOpenError.
bool TryLoadPageImage(const std::string& fileName);

/// Prints the picture in frmTables->imPrePrint as one portrait print job: the bitmap over the
/// whole printer page (0, 0, page width, page height). A failure while printing aborts the job
/// and is raised again, so the next print can start.
void Print_Page();

/// Loads and prints one page image as one job. False (nothing printed) when the file cannot be
/// opened; other faults are raised.
bool PrintPageImage(const std::string& fileName);

/// The first day of a release month given as MM/YYYY (month of one or two digits). False for
/// any other text.
bool ReleaseMonthStart(const std::string& releaseDate, TDateTime& firstDay);


class TfrmPrint : public TForm {
public:
    explicit TfrmPrint(TComponent* AOwner);
    ~TfrmPrint() override;

    TImage* Image1;
    TLabel* lblTitle;
    TGroupBox* GroupBox1;
    TRadioButton* rbAnnProt;
    TRadioButton* rbPDI;
    TRadioButton* rbModelPetrol;
    TRadioButton* rbModelDiesel;
    TRadioButton* rbBodyPaint;
    TRadioButton* rbBudgetCS;
    TLabel* lblSeasonCheck;
    TRadioButton* rbFCheck;
    TRadioButton* rbUCheck;
    TRadioButton* rbWCheck;
    TPrintDialog printDialog1;
    TBitBtn* btnPrint;
    TBitBtn* btnExit;
    TTable tblBCRDates;

    void FormShow(TObject* Sender);
    void btnPrintClick(TObject* Sender);
    void btnExitClick(TObject* Sender);

    /// True when page 1 of the model series of fuel 'P' or 'D' loads into imPrePrint; a page
    /// that does not load for any reason counts as missing.
    bool Form_Exists(char fuel);

    void Print_AnnProt();
    void Print_PDI();
    void Print_Model(char fuel);
    void Print_BodyPaint();
    void Print_BudgetCS();
    void Print_SeasonCheck(char season);

private:
    /// The print dialog, the hourglass while `pages` prints, then the default cursor, also when
    /// `pages` fails (its error is raised again).
    template <class Pages>
    void RunPrint(Pages pages);
    /// Shows the budget button when BCRDATES has the market and its release month has begun.
    void ShowBudgetWhenReleased();
};
