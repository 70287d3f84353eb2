// The printer object: selection and its errors, orientation and defaults, jobs and page numbers on
// the recording printer, PDF files and their names, and the print dialog's headless answers.
#include "PdfPrinter.h"
#include "PrintDialog.h"
#include "Printers.h"
#include "RecordingPrinter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::unique_ptr<TPrinter> WithDevices(std::vector<std::unique_ptr<TPrinterDevice>> devices, int def) {
    auto printer = std::make_unique<TPrinter>();
    printer->SetDevices(std::move(devices), def);
    return printer;
}

std::unique_ptr<TPrinter> WithRecorders(std::vector<TRecordingPrinter*>& out, int count) {
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    for (int i = 0; i < count; ++i) {
        auto d = std::make_unique<TRecordingPrinter>("Recorder " + std::to_string(i));
        out.push_back(d.get());
        devices.push_back(std::move(d));
    }
    return WithDevices(std::move(devices), 0);
}

void ExpectPrinterError(const std::function<void()>& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const EPrinter& e) {
        EXPECT_EQ(e.Message, message);
    }
}

TEST(Printer, WithoutPrintersEveryUseRaises) {
    TPrinter printer;
    const std::string none = "There is no default printer currently selected";
    ExpectPrinterError([&] { printer.PrinterIndex(); }, none);
    ExpectPrinterError([&] { printer.Handle(); }, none);
    ExpectPrinterError([&] { printer.BeginDoc(); }, none);
    ExpectPrinterError([&] { printer.SetPrinterIndex(-1); }, none);
    EXPECT_TRUE(printer.Printers().empty());
    printer.Canvas().TextWidth("measures without a printer");
}

/// Whether the toolkit's CUPS plug-in is loaded into this process.
bool CupsPlugInLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("cupsprintersupport") != std::string::npos) return true;
    return false;
}

// A run that never prints leaves the toolkit's printers alone; every other road asks it, however
// the machine looks (no scheduler socket, no client.conf, no server named in the environment).
TEST(Printer, OnlyARunThatNeverPrintsSkipsTheSystemPrinters) {
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    const char* server = std::getenv("CUPS_SERVER");
    const std::string savedServer = server ? server : "";
    setenv("HOME", "/nonexistent", 1);
    unsetenv("CUPS_SERVER");
    auto saved = SetPrinter(nullptr);
    OfferSystemPrinters(false);
    EXPECT_EQ(Printer()->Printers(), std::vector<std::string>{"PDF"});
    EXPECT_FALSE(CupsPlugInLoaded());
    SetPrinter(nullptr);
    OfferSystemPrinters(true);
    EXPECT_EQ(Printer()->Printers().back(), "PDF");
    EXPECT_TRUE(CupsPlugInLoaded());
    SetPrinter(std::move(saved));
    if (server) setenv("CUPS_SERVER", savedServer.c_str(), 1);
    if (home) setenv("HOME", savedHome.c_str(), 1); else unsetenv("HOME");
}

TEST(Printer, SelectingAPrinterLoadsItsDefaults) {
    std::vector<TRecordingPrinter*> rec;
    auto printer = WithRecorders(rec, 2);
    EXPECT_EQ(printer->Printers(), (std::vector<std::string>{"Recorder 0", "Recorder 1"}));
    printer->SetOrientation(poLandscape);
    printer->SetCopies(3);
    printer->SetPrinterIndex(printer->PrinterIndex());
    EXPECT_EQ(printer->Orientation(), poPortrait);
    EXPECT_EQ(printer->Copies(), 1);
    printer->SetPrinterIndex(1);
    EXPECT_EQ(printer->PrinterIndex(), 1);
    printer->SetPrinterIndex(-1);
    EXPECT_EQ(printer->PrinterIndex(), 1);
    ExpectPrinterError([&] { printer->SetPrinterIndex(2); }, "Printer index out of range");
}

TEST(Printer, CapabilitiesFollowTheOrientation) {
    std::vector<TRecordingPrinter*> rec;
    auto printer = WithRecorders(rec, 1);
    HDC dc = printer->Handle();
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 600);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 4961);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETX), 100);
    EXPECT_EQ(printer->PageWidth(), GetDeviceCaps(dc, HORZRES));
    printer->SetOrientation(poLandscape);
    EXPECT_EQ(GetDeviceCaps(printer->Handle(), PHYSICALWIDTH), 7016);
    EXPECT_EQ(printer->PageHeight(), 4961 - 200);
    auto ic = printer->CreateIC();
    EXPECT_EQ(GetDeviceCaps(ic->Handle(), PHYSICALHEIGHT), 4961);
}

TEST(Printer, AJobCountsPagesAndRefusesChangesWhileItRuns) {
    std::vector<TRecordingPrinter*> rec;
    auto printer = WithRecorders(rec, 1);
    ExpectPrinterError([&] { printer->NewPage(); }, "Printer is not currently printing");
    ExpectPrinterError([&] { printer->EndDoc(); }, "Printer is not currently printing");
    printer->Title = "Job one";
    printer->BeginDoc();
    EXPECT_TRUE(printer->Printing());
    EXPECT_EQ(printer->PageNumber(), 1);
    ExpectPrinterError([&] { printer->BeginDoc(); }, "Printing in progress");
    ExpectPrinterError([&] { printer->SetOrientation(poLandscape); }, "Printing in progress");
    ExpectPrinterError([&] { printer->SetPrinterIndex(0); }, "Printing in progress");
    printer->Canvas().TextOut(10, 10, "one");
    printer->NewPage();
    EXPECT_EQ(printer->PageNumber(), 2);
    printer->Canvas().TextOut(10, 10, "two");
    printer->EndDoc();
    EXPECT_FALSE(printer->Printing());
    const TRecordedJob& job = rec[0]->Jobs().at(0);
    EXPECT_EQ(job.Title, "Job one");
    ASSERT_EQ(job.Pages.size(), 2u);
    EXPECT_EQ(job.Pages[0]->TextDump(), "one\n");
    EXPECT_EQ(job.Pages[1]->TextDump(), "two\n");
    EXPECT_EQ(job.Pages[0]->Width(), 4961);
    // Device pixels of the printer's canvas start at the printable area.
    EXPECT_EQ(job.Pages[0]->Records()[0].Device.Left, 110);
}

TEST(Printer, EachJobStartsWithAFreshDeviceContext) {
    std::vector<TRecordingPrinter*> rec;
    auto printer = WithRecorders(rec, 1);
    printer->BeginDoc();
    printer->Canvas().SetMapMode(MM_LOMETRIC);
    printer->Canvas().SetViewportOrg(-100, -100);
    printer->EndDoc();
    EXPECT_EQ(printer->Canvas().GetMapMode(), MM_TEXT);
    EXPECT_EQ(printer->Canvas().ViewportOrg(), (TPoint{0, 0}));
    printer->BeginDoc();
    printer->Abort();
    EXPECT_TRUE(printer->Aborted());
    EXPECT_TRUE(rec[0]->Jobs().at(1).Aborted);
    EXPECT_FALSE(printer->Printing());
}

class PdfFolder : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = std::filesystem::temp_directory_path() / ("pdf-printer-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    std::filesystem::path Dir;
};

TEST_F(PdfFolder, EachJobIsOnePdfFileNamedAfterItsTitle) {
    ::setenv("VETRA_PDF_FOLDER", Dir.c_str(), 1);
    auto device = std::make_unique<TPdfPrinter>();
    TPdfPrinter* pdf = device.get();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::move(device));
    auto printer = WithDevices(std::move(devices), 0);
    std::vector<std::string> files;
    for (int i = 0; i < 2; ++i) {
        printer->Title = "Service/Check: 1";
        printer->BeginDoc();
        printer->Canvas().TextOut(100, 100, "Page");
        printer->EndDoc();
        files.push_back(pdf->LastFile());
    }
    ::unsetenv("VETRA_PDF_FOLDER");
    EXPECT_NE(files[0], files[1]);
    for (const std::string& f : files) {
        EXPECT_EQ(std::filesystem::path(f).parent_path(), Dir);
        EXPECT_EQ(std::filesystem::path(f).filename().string().rfind("Service_Check_ 1_", 0), 0u) << f;
        std::ifstream in(f, std::ios::binary);
        char magic[5] = {};
        in.read(magic, 4);
        EXPECT_STREQ(magic, "%PDF");
    }
    // An aborted job leaves no file.
    printer->Title = "Dropped";
    printer->BeginDoc();
    printer->Abort();
    for (const auto& e : std::filesystem::directory_iterator(Dir))
        EXPECT_EQ(e.path().filename().string().find("Dropped"), std::string::npos);
    ::unsetenv("VETRA_PDF_FOLDER");
}

TEST_F(PdfFolder, ACopyCountWritesTheDocumentThatManyTimes) {
    auto device = std::make_unique<TPdfPrinter>(Dir.string());
    TPdfPrinter* pdf = device.get();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::move(device));
    auto printer = WithDevices(std::move(devices), 0);
    printer->SetCopies(3);
    printer->BeginDoc();
    printer->Canvas().TextOut(100, 100, "one");
    printer->NewPage();
    printer->Canvas().TextOut(100, 100, "two");
    printer->EndDoc();
    std::ifstream in(pdf->LastFile(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int pages = 0;
    for (std::size_t at = bytes.find("/Type /Page"); at != std::string::npos; at = bytes.find("/Type /Page", at + 1))
        if (bytes.compare(at, 12, "/Type /Pages") != 0) ++pages;
    EXPECT_EQ(pages, 6);
}

TEST_F(PdfFolder, AnUnwritableFolderFailsTheJobCleanly) {
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TPdfPrinter>((Dir / "missing" / "deeper").string()));
    auto printer = WithDevices(std::move(devices), 0);
    EXPECT_THROW(printer->BeginDoc(), EPrinter);
    EXPECT_FALSE(printer->Printing());
}

TEST(ProgramPrinter, OffersThePdfPrinterAndSelectsAPrinter) {
    TPrinter* printer = Printer();
    const auto names = printer->Printers();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "PDF");
    EXPECT_NO_THROW(printer->PrinterIndex());
}

TEST(PrintDialog, AnswersFromTheScriptOrTakesOk) {
    std::vector<TRecordingPrinter*> rec;
    auto saved = SetPrinter(WithRecorders(rec, 1));
    TPrintDialog dialog;
    dialog.Copies = 2;
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(Printer()->Copies(), 2);
    TPrintDialog::ScriptAnswer(false);
    TPrintDialog::ScriptAnswer(true);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(dialog.Execute());
    TPrintDialog::SetExecuteHook([](TPrintDialog& d) { d.Copies = 4; return true; });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(Printer()->Copies(), 4);
    TPrintDialog::SetExecuteHook(nullptr);
    SetPrinter(std::move(saved));
}

}  // namespace
