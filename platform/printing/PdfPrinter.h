// The built-in PDF printer: A4, 600 dots per inch, 4.23 mm unprintable border on every side.
// Each job becomes one PDF file named after the job title and a time stamp
// ("<title>_<YYYYMMDD-HHMMSS>.pdf", characters other than letters, digits, blank, "-", "_" and
// "." replaced by "_"; "-2", "-3" ... added when the name exists when the job ends, claimed
// without replacing anything, so that jobs at once keep a file each) in the folder named by the
// environment variable VETRA_PDF_FOLDER, or the current folder when it is not set. A job of
// several copies holds them all, collated (pages 1..n, then 1..n again). The file is written
// whole or not at all (see TWholeFileWriter): a job whose file cannot be written completely ends
// in EPrintFileNotWritten "Cannot write the PDF file ...", and nothing is left under its name.
#pragma once

#include "Printers.h"

#include <memory>

class TPdfPrinter : public TPrinterDevice {
public:
    /// folder: where jobs are written; empty means VETRA_PDF_FOLDER or the current folder.
    explicit TPdfPrinter(std::string folder = std::string());
    ~TPdfPrinter() override;

    std::string Name() const override { return "PDF"; }
    TDeviceCaps Caps(TPrinterOrientation orientation) const override;
    TCanvasBackend* BeginJob(const std::string& title, TPrinterOrientation orientation, int copies) override;
    void NewPage() override;
    void EndJob() override;
    void AbortJob() override;

    /// Path of the file of the last finished job ("" before the first).
    const std::string& LastFile() const { return FLastFile; }

    /// The caps of an A4 sheet at 600 dpi with the 4.23 mm border, for either orientation.
    static TDeviceCaps A4Caps(TPrinterOrientation orientation);

private:
    struct Job;
    std::string FFolder;
    std::unique_ptr<Job> FJob;
    std::string FLastFile;
};
