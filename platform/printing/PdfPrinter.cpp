// The built-in PDF printer: one QPdfWriter per job, painted through the Qt canvas back end.
#include "PdfPrinter.h"

#include "internal/FontEngine.h"
#include "internal/QtCanvas.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kDpi = 600;
constexpr double kBorderMm = 4.23;

int MmToPixels(double mm) { return int(std::lround(mm * kDpi / 25.4)); }

std::string SafeName(const std::string& title) {
    std::string s;
    for (unsigned char c : title)
        s += (std::isalnum(c) || c == ' ' || c == '-' || c == '_' || c == '.') && c < 0x80 ? char(c) : '_';
    return s.empty() ? std::string("Printout") : s;
}

}  // namespace

struct TPdfPrinter::Job {
    std::string File;
    std::unique_ptr<QPdfWriter> Writer;
    QPainter Painter;
    std::unique_ptr<TCanvasBackend> Backend;
};

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

TCanvasBackend* TPdfPrinter::BeginJob(const std::string& title, TPrinterOrientation orientation, int) {
    if (FJob) throw EPrinter("Printing in progress");
    std::string folder = FFolder;
    if (folder.empty()) {
        const char* env = std::getenv("VETRA_PDF_FOLDER");
        folder = env && *env ? env : ".";
    }
    if (folder.back() != '/') folder += '/';
    const std::string stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
    const std::string base = folder + SafeName(title) + "_" + stamp;
    std::string file = base + ".pdf";
    for (int n = 2; QFileInfo::exists(QString::fromStdString(file)); ++n) file = base + "-" + std::to_string(n) + ".pdf";

    auto job = std::make_unique<Job>();
    job->File = file;
    job->Writer = std::make_unique<QPdfWriter>(QString::fromStdString(file));
    job->Writer->setResolution(kDpi);
    job->Writer->setTitle(AnsiText(title));
    job->Writer->setCreator("vetra");
    job->Writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                           orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                           QMarginsF(0, 0, 0, 0)));
    if (!job->Painter.begin(job->Writer.get()))
        throw EPrinter("Cannot write the PDF file \"" + file + "\"");
    job->Backend = CreatePainterBackend(&job->Painter);
    FJob = std::move(job);
    return FJob->Backend.get();
}

void TPdfPrinter::NewPage() {
    if (FJob) FJob->Writer->newPage();
}

void TPdfPrinter::EndJob() {
    if (!FJob) return;
    std::unique_ptr<Job> job = std::move(FJob);
    job->Backend.reset();
    const bool ok = job->Painter.end();
    job->Writer.reset();
    if (!ok) throw EPrinter("Cannot write the PDF file \"" + job->File + "\"");
    FLastFile = job->File;
}

void TPdfPrinter::AbortJob() {
    if (!FJob) return;
    std::unique_ptr<Job> job = std::move(FJob);
    job->Backend.reset();
    job->Painter.end();
    job->Writer.reset();
    QFile::remove(QString::fromStdString(job->File));
}
