// Recording printer: each page of each job becomes a metafile of the sheet's size.
#include "RecordingPrinter.h"

TRecordingPrinter::TRecordingPrinter(std::string name, TDeviceCaps portrait)
    : FName(std::move(name)), FPortrait(portrait) {}

TDeviceCaps TRecordingPrinter::Caps(TPrinterOrientation orientation) const {
    TDeviceCaps caps = FPortrait;
    if (orientation == poLandscape) {
        std::swap(caps.LogPixelsX, caps.LogPixelsY);
        std::swap(caps.PhysicalWidth, caps.PhysicalHeight);
        std::swap(caps.PhysicalOffsetX, caps.PhysicalOffsetY);
        std::swap(caps.HorzRes, caps.VertRes);
    }
    return caps;
}

void TRecordingPrinter::AddPage() {
    const TDeviceCaps caps = Caps(FJobs.back().Orientation);
    auto page = std::make_unique<TMetafile>();
    page->SetWidth(caps.PhysicalWidth);
    page->SetHeight(caps.PhysicalHeight);
    FJobs.back().Pages.push_back(std::move(page));
}

TCanvasBackend* TRecordingPrinter::BeginJob(const std::string& title, TPrinterOrientation orientation, int copies) {
    TRecordedJob job;
    job.Title = title;
    job.Orientation = orientation;
    job.Copies = copies;
    FJobs.push_back(std::move(job));
    AddPage();
    return &FRecorder;
}

void TRecordingPrinter::NewPage() { AddPage(); }
void TRecordingPrinter::EndJob() { FJobs.back().Ended = true; }
void TRecordingPrinter::AbortJob() { FJobs.back().Aborted = true; }

void TRecordingPrinter::PageRecorder::Play(const TCanvasRecord& r) { FOwner.FJobs.back().Pages.back()->Add(r); }
