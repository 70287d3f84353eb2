// The printer object of the class library: the list of printers, the selected printer with its
// orientation and device capabilities, and the print job (BeginDoc, NewPage, EndDoc, Abort) drawn
// through the printer's canvas. Printers are the system's CUPS printers, the built-in PDF printer
// (PdfPrinter.h) and, in tests, recording printers (RecordingPrinter.h).
#pragma once

#include "Canvas.h"
#include "Exceptions.h"

#include <memory>
#include <string>
#include <vector>

enum TPrinterOrientation { poPortrait, poLandscape };

/// A job's output file could not be written completely (a missing folder, a full disk, a failed
/// write, flush, close or rename); nothing is left under its name.
class EPrintFileNotWritten : public EPrinter {
    using EPrinter::EPrinter;
};

/// The print system did not take a job (the queue refused it, was stopped or gone, or the server
/// could not be reached): nothing of it prints.
class EPrintJobRefused : public EPrinter {
    using EPrinter::EPrinter;
};

/// One printer. A job's back end draws in device pixels measured from the sheet's corner.
class TPrinterDevice {
public:
    virtual ~TPrinterDevice() = default;
    virtual std::string Name() const = 0;
    virtual TDeviceCaps Caps(TPrinterOrientation orientation) const = 0;
    /// Starts a job on page 1. Raises EPrinter when the job cannot be started.
    virtual TCanvasBackend* BeginJob(const std::string& title, TPrinterOrientation orientation, int copies) = 0;
    virtual void NewPage() = 0;
    /// Finishes the job (the PDF printer writes its file here; EPrintFileNotWritten when it
    /// cannot be written whole; a CUPS printer hands the job to its queue, EPrintJobRefused when
    /// the print system does not take it).
    virtual void EndJob() = 0;
    /// Drops the job.
    virtual void AbortJob() = 0;
};

/// The printer object.
class TPrinter {
public:
    TPrinter() = default;
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    /// Replaces the printer list; defaultIndex (-1: none) is selected.
    void SetDevices(std::vector<std::unique_ptr<TPrinterDevice>> devices, int defaultIndex);
    TPrinterDevice* Device(int index) const;
    std::vector<std::string> Printers() const;

    /// The selected printer. Raises EPrinter "There is no default printer currently selected"
    /// when there is none.
    int PrinterIndex() const;
    /// Selects a printer (-1: the default one) and loads its defaults (portrait, one copy), also
    /// when it is the selected one. Raises EPrinter "Printer index out of range" or, during a
    /// job, "Printing in progress".
    void SetPrinterIndex(int index);

    TPrinterOrientation Orientation() const { return FOrientation; }
    /// Raises EPrinter "Printing in progress" during a job when the value changes.
    void SetOrientation(TPrinterOrientation orientation);
    int Copies() const { return FCopies; }
    void SetCopies(int copies) { FCopies = copies < 1 ? 1 : copies; }

    /// The job title shown in the print queue (PDF printer: the file name).
    std::string Title;

    /// Starts a job on page 1. Raises EPrinter "Printing in progress" during a job and the
    /// no-printer error when none is selected.
    void BeginDoc();
    /// Raises EPrinter "Printer is not currently printing" outside a job.
    void NewPage();
    void EndDoc();
    /// Drops the running job (nothing when none runs).
    void Abort();
    bool Printing() const { return FPrinting; }
    bool Aborted() const { return FAborted; }
    int PageNumber() const { return FPageNumber; }

    /// The printer's canvas: during a job it draws on the page, otherwise it only measures.
    TCanvas& Canvas();
    /// The device context (the canvas). Raises the no-printer error when none is selected.
    HDC Handle();
    /// An information context of the selected printer: a canvas that measures and draws nothing.
    std::unique_ptr<TCanvas> CreateIC();
    int PageWidth();
    int PageHeight();

private:
    TPrinterDevice& Selected() const;
    TDeviceCaps CurrentCaps() const;
    void AttachIdleCanvas();

    std::vector<std::unique_ptr<TPrinterDevice>> FDevices;
    int FIndex = -1;
    TPrinterOrientation FOrientation = poPortrait;
    int FCopies = 1;
    bool FPrinting = false, FAborted = false;
    int FPageNumber = 0;
    std::unique_ptr<TCanvas> FCanvas;
};

/// The printer object of the program, created on first use with the CUPS printers and the PDF
/// printer (the CUPS default printer selected, else the PDF printer).
TPrinter* Printer();
/// Whether a printer object created from now on lists the system's printers (the default). A
/// run that never prints (an unattended XML request) turns it off before its start-up: the
/// object then holds the PDF printer alone, and the toolkit's CUPS plug-in is never loaded.
void OfferSystemPrinters(bool offered);
/// Replaces the program's printer object; returns the former one.
std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer);
