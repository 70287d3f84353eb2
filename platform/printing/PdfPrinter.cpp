// The built-in PDF printer: one QPdfWriter per job, painted through the Qt canvas back end. The
// writer's bytes go through a file written whole: a job whose file cannot be written completely
// (a full disk, a failed write, flush, close or rename) fails and leaves nothing under its name.
#include "PdfPrinter.h"

#include "Files.h"

#include "internal/FontEngine.h"
#include "internal/QtCanvas.h"

#include <QDateTime>
#include <QIODevice>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <vector>
#include <cstdlib>

namespace {

constexpr int kDpi = 600;
constexpr double kBorderMm = 4.23;

int MmToPixels(double mm) { return int(std::lround(mm * kDpi / 25.4)); }

std::string CannotWrite(const std::string& file) { return "Cannot write the PDF file \"" + file + "\""; }

std::string SafeName(const std::string& title) {
    std::string s;
    for (unsigned char c : title)
        s += (std::isalnum(c) || c == ' ' || c == '-' || c == '_' || c == '.') && c < 0x80 ? char(c) : '_';
    return s.empty() ? std::string("Printout") : s;
}

/// The PDF writer's output device: every byte goes to the job's file, written whole.
class WholeFileDevice : public QIODevice {
public:
    explicit WholeFileDevice(TWholeFileWriter& file) : FFile(file) {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        return FFile.Write(data, std::size_t(size)) ? size : -1;
    }

private:
    TWholeFileWriter& FFile;
};

}  // namespace

struct TPdfPrinter::Job {
    std::string File;
    std::unique_ptr<TWholeFileWriter> Output;
    std::unique_ptr<WholeFileDevice> Device;
    std::unique_ptr<QPdfWriter> Writer;
    QPainter Painter;
    std::unique_ptr<TCanvasBackend> Backend;
    /// Copies asked for; from the second on, the pages are written again at the end, in order.
    int Copies = 1;
    /// With more than one copy: every page's drawing calls, kept to be played again.
    std::vector<std::vector<TCanvasRecord>> Pages;
    std::unique_ptr<TCanvasBackend> Keeper;
};

namespace {

/// Draws on the page and keeps each call for the copies that follow.
class PageKeeper : public TCanvasBackend {
public:
    PageKeeper(TCanvasBackend& page, std::vector<std::vector<TCanvasRecord>>& pages) : FPage(page), FPages(pages) {}
    void Play(const TCanvasRecord& record) override {
        FPages.back().push_back(record);
        FPage.Play(record);
    }

private:
    TCanvasBackend& FPage;
    std::vector<std::vector<TCanvasRecord>>& FPages;
};

}  // namespace

TPdfPrinter::TPdfPrinter(std::string folder) : FFolder(std::move(folder)) {}
TPdfPrinter::~TPdfPrinter() {
    if (FJob) AbortJob();
}

TDeviceCaps TPdfPrinter::A4Caps(TPrinterOrientation orientation) {
    TDeviceCaps caps;
    caps.LogPixelsX = caps.LogPixelsY = kDpi;
    caps.PhysicalWidth = MmToPixels(210);
    caps.PhysicalHeight = MmToPixels(297);
    if (orientation == poLandscape) std::swap(caps.PhysicalWidth, caps.PhysicalHeight);
    caps.PhysicalOffsetX = caps.PhysicalOffsetY = MmToPixels(kBorderMm);
    caps.HorzRes = caps.PhysicalWidth - 2 * caps.PhysicalOffsetX;
    caps.VertRes = caps.PhysicalHeight - 2 * caps.PhysicalOffsetY;
    return caps;
}

TDeviceCaps TPdfPrinter::Caps(TPrinterOrientation orientation) const { return A4Caps(orientation); }

TCanvasBackend* TPdfPrinter::BeginJob(const std::string& title, TPrinterOrientation orientation, int copies) {
    if (FJob) throw EPrinter("Printing in progress");
    std::string folder = FFolder;
    if (folder.empty()) {
        const char* env = std::getenv("VETRA_PDF_FOLDER");
        folder = env && *env ? env : ".";
    }
    if (folder.back() != '/') folder += '/';
    const std::string stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
    const std::string base = folder + SafeName(title) + "_" + stamp;

    auto job = std::make_unique<Job>();
    // The file takes the first of these names that nothing has when it is complete, claimed in
    // one step: jobs printing into one folder at once never take each other's name.
    job->Output = std::make_unique<TWholeFileWriter>(
        [base](int n) { return n <= 1 ? base + ".pdf" : base + "-" + std::to_string(n) + ".pdf"; });
    job->Device = std::make_unique<WholeFileDevice>(*job->Output);
    const bool opened = job->Output->Open();
    const std::string file = job->File = job->Output->Path();
    if (!opened || !job->Device->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EPrintFileNotWritten(CannotWrite(file));
    job->Writer = std::make_unique<QPdfWriter>(job->Device.get());
    job->Writer->setResolution(kDpi);
    job->Writer->setTitle(AnsiText(title));
    job->Writer->setCreator("vetra");
    job->Writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                           orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                           QMarginsF(0, 0, 0, 0)));
    if (!job->Painter.begin(job->Writer.get())) throw EPrintFileNotWritten(CannotWrite(file));
    job->Backend = CreatePainterBackend(&job->Painter);
    job->Copies = std::max(1, copies);
    if (job->Copies > 1) {
        job->Pages.emplace_back();
        job->Keeper = std::make_unique<PageKeeper>(*job->Backend, job->Pages);
    }
    FJob = std::move(job);
    return FJob->Keeper ? FJob->Keeper.get() : FJob->Backend.get();
}

void TPdfPrinter::NewPage() {
    if (!FJob) return;
    FJob->Writer->newPage();
    if (FJob->Keeper) FJob->Pages.emplace_back();
}

void TPdfPrinter::EndJob() {
    if (!FJob) return;
    std::unique_ptr<Job> job = std::move(FJob);
    // The further copies, collated: the whole document again after the first.
    for (int copy = 2; copy <= job->Copies; ++copy)
        for (const std::vector<TCanvasRecord>& page : job->Pages) {
            job->Writer->newPage();
            for (const TCanvasRecord& record : page) job->Backend->Play(record);
        }
    job->Keeper.reset();
    job->Backend.reset();
    const bool ended = job->Painter.end();
    job->Writer.reset();
    job->Device->close();
    // The file takes its name only when all of it is on the disk.
    if (!ended || !job->Output->Commit(true)) throw EPrintFileNotWritten(CannotWrite(job->File));
    FLastFile = job->File = job->Output->Path();
}

void TPdfPrinter::AbortJob() {
    if (!FJob) return;
    std::unique_ptr<Job> job = std::move(FJob);
    job->Keeper.reset();
    job->Backend.reset();
    job->Painter.end();
    job->Writer.reset();
    job->Device->close();
    job->Output->Discard();
}
