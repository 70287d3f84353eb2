// The printer object and the CUPS printers reached through Qt's print support.
#include "Printers.h"

#include "CupsJobs.h"
#include "PdfPrinter.h"
#include "internal/FontEngine.h"
#include "internal/QtCanvas.h"

#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <optional>
#include <string>

namespace {

const char* const kNoPrinter = "There is no default printer currently selected";
const char* const kIndexError = "Printer index out of range";
const char* const kPrinting = "Printing in progress";
const char* const kNotPrinting = "Printer is not currently printing";

/// Whether the program's printer object lists the system's printers (see OfferSystemPrinters).
bool gSystemPrinters = true;

} // namespace

void OfferSystemPrinters(bool offered) { gSystemPrinters = offered; }

namespace {

/// The PDF writer's output: the job's document, held in memory until it is handed to the queue.
class StringDevice : public QIODevice {
public:
    explicit StringDevice(std::string& data) : FData(data) {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        FData.append(data, std::size_t(size));
        return size;
    }

private:
    std::string& FData;
};

/// A CUPS printer. Its metrics are the queue's (through QPrinter); a job is painted into a PDF
/// document of the queue's paper and resolution and handed to the queue when it ends, so that
/// what the print system answers (jobs refused, the queue stopped or gone, the server
/// unreachable) reaches the program.
class QtPrinterDevice : public TPrinterDevice {
public:
    explicit QtPrinterDevice(const QPrinterInfo& info) : FInfo(info) {}
    ~QtPrinterDevice() override { Finish(); }
    std::string Name() const override { return FInfo.printerName().toStdString(); }

    /// Asked once per orientation: every query of a CUPS printer is a round trip to the server.
    TDeviceCaps Caps(TPrinterOrientation orientation) const override {
        std::optional<TDeviceCaps>& cached = FCaps[orientation == poLandscape ? 1 : 0];
        if (!cached) {
            QPrinter printer(FInfo, QPrinter::HighResolution);
            printer.setFullPage(true);
            printer.setPageOrientation(orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
            cached = CapsOf(printer);
            FPageSize = printer.pageLayout().pageSize();
            FResolution = printer.resolution();
        }
        return *cached;
    }

    TCanvasBackend* BeginJob(const std::string& title, TPrinterOrientation orientation, int copies) override {
        Caps(orientation);
        // A paper of a standard size is named to the queue; another is left to the document.
        const std::string media = FPageSize.id() == QPageSize::Custom ? std::string() : FPageSize.key().toStdString();
        FJob = cupsjobs::TJob{Name(), AnsiText(title).toStdString(), media, copies, orientation == poLandscape};
        FData.clear();
        FDevice = std::make_unique<StringDevice>(FData);
        FDevice->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        FWriter = std::make_unique<QPdfWriter>(FDevice.get());
        FWriter->setResolution(FResolution);
        FWriter->setTitle(AnsiText(title));
        FWriter->setCreator("vetra");
        // The whole sheet is the paint area: the origin is the sheet's corner.
        FWriter->setPageLayout(QPageLayout(FPageSize, orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                           QMarginsF(0, 0, 0, 0)));
        FPainter = std::make_unique<QPainter>();
        if (!FPainter->begin(FWriter.get())) {
            Finish();
            throw EPrinter("Printer \"" + Name() + "\" cannot start the job");
        }
        FBackend = CreatePainterBackend(FPainter.get());
        return FBackend.get();
    }
    void NewPage() override {
        if (FWriter) FWriter->newPage();
    }
    void EndJob() override {
        if (!FWriter) return;
        const bool ended = FPainter->end();
        Finish();
        if (!ended) throw EPrintJobRefused("Printer \"" + Name() + "\" cannot finish the job");
        std::string document;
        document.swap(FData);
        const std::string answer = cupsjobs::Submit(FJob, document);
        if (!answer.empty()) throw EPrintJobRefused("Printer \"" + Name() + "\" did not take the job: " + answer);
    }
    void AbortJob() override {
        Finish();
        FData.clear();
    }

private:
    static TDeviceCaps CapsOf(QPrinter& printer) {
        TDeviceCaps caps;
        caps.LogPixelsX = caps.LogPixelsY = printer.resolution();
        const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
        const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
        caps.PhysicalWidth = int(paper.width() + 0.5);
        caps.PhysicalHeight = int(paper.height() + 0.5);
        caps.PhysicalOffsetX = int(page.left() + 0.5);
        caps.PhysicalOffsetY = int(page.top() + 0.5);
        caps.HorzRes = int(page.width() + 0.5);
        caps.VertRes = int(page.height() + 0.5);
        return caps;
    }
    void Finish() {
        FBackend.reset();
        if (FPainter && FPainter->isActive()) FPainter->end();
        FPainter.reset();
        FWriter.reset();
        FDevice.reset();
    }

    QPrinterInfo FInfo;
    mutable std::optional<TDeviceCaps> FCaps[2];
    mutable QPageSize FPageSize;
    mutable int FResolution = 1200;
    cupsjobs::TJob FJob;
    std::string FData;
    std::unique_ptr<StringDevice> FDevice;
    std::unique_ptr<QPdfWriter> FWriter;
    std::unique_ptr<QPainter> FPainter;
    std::unique_ptr<TCanvasBackend> FBackend;
};

std::unique_ptr<TPrinter>& Instance() {
    static std::unique_ptr<TPrinter> printer;
    return printer;
}

}  // namespace

TPrinter::~TPrinter() {
    if (FPrinting) Abort();
}

void TPrinter::SetDevices(std::vector<std::unique_ptr<TPrinterDevice>> devices, int defaultIndex) {
    if (FPrinting) throw EPrinter(kPrinting);
    FDevices = std::move(devices);
    FIndex = (defaultIndex >= 0 && defaultIndex < int(FDevices.size())) ? defaultIndex : -1;
    FOrientation = poPortrait;
    FCopies = 1;
    AttachIdleCanvas();
}

TPrinterDevice* TPrinter::Device(int index) const {
    return (index >= 0 && index < int(FDevices.size())) ? FDevices[size_t(index)].get() : nullptr;
}

std::vector<std::string> TPrinter::Printers() const {
    std::vector<std::string> names;
    for (const auto& d : FDevices) names.push_back(d->Name());
    return names;
}

int TPrinter::PrinterIndex() const {
    if (FIndex < 0) throw EPrinter(kNoPrinter);
    return FIndex;
}

void TPrinter::SetPrinterIndex(int index) {
    if (FPrinting) throw EPrinter(kPrinting);
    if (index == -1) {
        if (FDevices.empty()) throw EPrinter(kNoPrinter);
        index = FIndex >= 0 ? FIndex : 0;
    }
    if (index < 0 || index >= int(FDevices.size())) throw EPrinter(kIndexError);
    FIndex = index;
    FOrientation = poPortrait;
    FCopies = 1;
    AttachIdleCanvas();
}

void TPrinter::SetOrientation(TPrinterOrientation orientation) {
    if (orientation == FOrientation) return;
    if (FPrinting) throw EPrinter(kPrinting);
    FOrientation = orientation;
    AttachIdleCanvas();
}

TPrinterDevice& TPrinter::Selected() const {
    if (FIndex < 0) throw EPrinter(kNoPrinter);
    return *FDevices[size_t(FIndex)];
}

TDeviceCaps TPrinter::CurrentCaps() const { return Selected().Caps(FOrientation); }

TCanvas& TPrinter::Canvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TCanvas>();
        if (FIndex >= 0) AttachIdleCanvas();
    }
    return *FCanvas;
}

void TPrinter::AttachIdleCanvas() {
    if (!FCanvas) return;
    if (FIndex < 0) {
        FCanvas->Attach(nullptr, TDeviceCaps{});
        return;
    }
    const TDeviceCaps caps = CurrentCaps();
    FCanvas->Attach(nullptr, caps, TPoint{caps.PhysicalOffsetX, caps.PhysicalOffsetY});
    FCanvas->Font.PixelsPerInch = caps.LogPixelsY;
}

HDC TPrinter::Handle() {
    Selected();
    return Canvas().Handle();
}

std::unique_ptr<TCanvas> TPrinter::CreateIC() {
    const TDeviceCaps caps = CurrentCaps();
    auto ic = std::make_unique<TCanvas>(nullptr, caps);
    ic->Font.PixelsPerInch = caps.LogPixelsY;
    return ic;
}

int TPrinter::PageWidth() { return CurrentCaps().HorzRes; }
int TPrinter::PageHeight() { return CurrentCaps().VertRes; }

void TPrinter::BeginDoc() {
    if (FPrinting) throw EPrinter(kPrinting);
    TPrinterDevice& device = Selected();
    const TDeviceCaps caps = device.Caps(FOrientation);
    TCanvasBackend* backend = device.BeginJob(Title, FOrientation, FCopies);
    FPrinting = true;
    FAborted = false;
    FPageNumber = 1;
    Canvas().Attach(backend, caps, TPoint{caps.PhysicalOffsetX, caps.PhysicalOffsetY});
    FCanvas->Font.PixelsPerInch = caps.LogPixelsY;
}

void TPrinter::NewPage() {
    if (!FPrinting) throw EPrinter(kNotPrinting);
    Selected().NewPage();
    ++FPageNumber;
}

void TPrinter::EndDoc() {
    if (!FPrinting) throw EPrinter(kNotPrinting);
    FPrinting = false;
    FPageNumber = 0;
    try {
        Selected().EndJob();
    } catch (...) {
        AttachIdleCanvas();
        throw;
    }
    AttachIdleCanvas();
}

void TPrinter::Abort() {
    if (!FPrinting) return;
    FPrinting = false;
    FAborted = true;
    FPageNumber = 0;
    Selected().AbortJob();
    AttachIdleCanvas();
}

TPrinter* Printer() {
    auto& printer = Instance();
    if (!printer) {
        EnsureGuiApplication();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        int defaultIndex = -1;
        if (gSystemPrinters) {
            const QString defaultName = QPrinterInfo::defaultPrinterName();
            for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
                if (info.printerName() == defaultName) defaultIndex = int(devices.size());
                devices.push_back(std::make_unique<QtPrinterDevice>(info));
            }
        }
        if (defaultIndex < 0) defaultIndex = int(devices.size());
        devices.push_back(std::make_unique<TPdfPrinter>());
        printer = std::make_unique<TPrinter>();
        printer->SetDevices(std::move(devices), defaultIndex);
    }
    return printer.get();
}

std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer) {
    std::unique_ptr<TPrinter> old = std::move(Instance());
    Instance() = std::move(printer);
    return old;
}
