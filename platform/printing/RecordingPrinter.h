// A printer for tests that keeps every job's pages as metafiles, with the job's title,
// orientation and copies, so that tests can read back what was printed and where.
#pragma once

#include "Metafile.h"
#include "PdfPrinter.h"
#include "Printers.h"

#include <memory>
#include <vector>

struct TRecordedJob {
    std::string Title;
    TPrinterOrientation Orientation = poPortrait;
    int Copies = 1;
    std::vector<std::unique_ptr<TMetafile>> Pages;
    bool Ended = false, Aborted = false;
};

class TRecordingPrinter : public TPrinterDevice {
public:
    /// A printer of that name with the capabilities of `portrait` (landscape swaps them).
    explicit TRecordingPrinter(std::string name = "Recorder", TDeviceCaps portrait = TPdfPrinter::A4Caps(poPortrait));

    std::string Name() const override { return FName; }
    TDeviceCaps Caps(TPrinterOrientation orientation) const override;
    TCanvasBackend* BeginJob(const std::string& title, TPrinterOrientation orientation, int copies) override;
    void NewPage() override;
    void EndJob() override;
    void AbortJob() override;

    const std::vector<TRecordedJob>& Jobs() const { return FJobs; }

private:
    class PageRecorder : public TCanvasBackend {
    public:
        explicit PageRecorder(TRecordingPrinter& owner) : FOwner(owner) {}
        void Play(const TCanvasRecord& r) override;

    private:
        TRecordingPrinter& FOwner;
    };
    void AddPage();

    std::string FName;
    TDeviceCaps FPortrait;
    std::vector<TRecordedJob> FJobs;
    PageRecorder FRecorder{*this};
};
