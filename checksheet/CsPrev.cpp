// The print preview form: navigation buttons over a preview bound to the report's print job, and
// the timer that closes it in unattended batch mode.
#include "CsPrev.h"

#include <limits>

#include "CsReport.h"
#include "TolmLib.h"

TfrmPrintPreview* frmPrintPreview = nullptr;

namespace {

/// Pages rendered at once while looking for the last one.
constexpr int kPagesPerStep = 200;

}  // namespace

TfrmPrintPreview::TfrmPrintPreview(TComponent* AOwner) : TForm(AOwner) {
    Name = "frmPrintPreview";
    SetCaption("Print Preview");
    SetBounds(0, 0, 794, 552);
    Position = TPosition::poScreenCenter;

    pnlNavigation = Place<TPanel>(this, this, "pnlNavigation", 0, 0, ClientWidth(), 33);
    pnlNavigation->SetAlign(TAlign::alTop);
    btnNext = Place<TButton>(this, pnlNavigation, "btnNext", 24, 8, 41, 20);
    btnPrev = Place<TButton>(this, pnlNavigation, "btnPrev", 80, 8, 41, 20);
    btnNext->SetCaption(">");
    btnPrev->SetCaption("<");
    for (TButton* b : {btnNext, btnPrev}) {
        b->Font.Height = -19;
        b->Font.Style = fsBold;
    }
    btnNext->OnClick = [this](TObject* s) { btnNextClick(s); };
    btnPrev->OnClick = [this](TObject* s) { btnPrevClick(s); };
    // The close button: a click or Escape ends the modal form with mrCancel.
    btnExit = Place<TBitBtn>(this, pnlNavigation, "btnExit", 138, 8, 41, 20);
    btnExit->SetCaption("X");
    btnExit->Cancel = true;
    btnExit->ModalResult = mrCancel;

    // The preview fills the rest of the form, however large the window grows.
    prvReport = Place<tPrintPreview>(this, this, "prvReport", 0, 33, ClientWidth(), ClientHeight() - 33);
    prvReport->SetAlign(TAlign::alClient);
    prvReport->SetMargin(16);
    // Every rendered page stays: going back never renders a page again, since the walk over the
    // checksheet moves forward only.
    prvReport->SetPageCache(std::numeric_limits<int>::max());
    prvReport->SetZoom(100);
    prvReport->SetZoomState(zsPageWidth);
    prvReport->AllowDrag = true;
    prvReport->AllowZoom = true;
    prvReport->DragCursor = crHandPoint;
    prvReport->SetColor(clGray);
    // An unattended run closes the form unseen: its pages are laid out (page breaks decide the
    // XML) but not drawn.
    prvReport->RecordPages = !BatchMode;

    XMLBatchTimer = new TTimer(this);
    XMLBatchTimer->Name = "XMLBatchTimer";
    XMLBatchTimer->SetEnabled(false);
    XMLBatchTimer->SetInterval(1);
    XMLBatchTimer->OnTimer = [this](TObject* s) { XMLBatchTimerTimer(s); };

    OnShow = [this](TObject* s) { FormShow(s); };
    // Binding the job prepares the run (and in XML mode starts the document).
    if (modReporting) prvReport->SetPrintout(modReporting->prnReport.get());
    DoCreate();
}

TfrmPrintPreview::~TfrmPrintPreview() {
    try {
        prvReport->SetPrintout(nullptr);
    } catch (...) {
        // The release of the run cannot keep the form from going.
    }
}

void TfrmPrintPreview::FormShow(TObject*) {
    SetCaption(LText(26));
    if (XMLMode) {
        // Every page up to the last, however many there are: each page saves the XML built so far,
        // so the file is complete only when the last page has been rendered.
        prvReport->SetPageNumber(kPagesPerStep);
        while (prvReport->Active() && prvReport->FinalPageNumber() == 0) {
            const int reached = prvReport->PageNumber();
            prvReport->SetPageNumber(reached + kPagesPerStep);
            if (prvReport->PageNumber() == reached) break;
        }
    }
    // An unattended run closes the form as soon as its pages are rendered: waiting for the
    // timer's tick would cost every request a round of the event loop, and nobody sees the form.
    if (BatchMode) Close();
}

void TfrmPrintPreview::btnNextClick(TObject*) { prvReport->SetPageNumber(prvReport->PageNumber() + 1); }

void TfrmPrintPreview::btnPrevClick(TObject*) { prvReport->SetPageNumber(prvReport->PageNumber() - 1); }

void TfrmPrintPreview::XMLBatchTimerTimer(TObject*) {
    XMLBatchTimer->SetEnabled(false);
    Close();
}
