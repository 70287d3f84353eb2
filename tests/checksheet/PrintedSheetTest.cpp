// The checksheet printed from the form onto real output: the built-in PDF printer and a queue of
// a private CUPS print server chosen by its name; the sheet's texts are read back with pdftotext.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ChecksheetFixture.h"
#include "CodePages.h"
#include "Chksheet.h"
#include "DocPrint.h"
#include "ImageReaders.h"
#include "CsReport.h"
#include "ExtPer.h"
#include "PdfPrinter.h"
#include "PrintServer.h"
#include "Printers.h"
#include "SpecInst.h"
#include "Tables.h"
#include "vetrav3.h"

namespace fs = std::filesystem;

namespace {

class PrintedSheet : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        MakeSheetForms();
    }
    void TearDown() override {
        FreeSheetForms();
        SetACP(1252);
        ChecksheetFixture::TearDown();
    }

    /// Shows the form, chooses ARDEN 101 at the first interval with a registration and mileage,
    /// and prints on the printer named `printerName`.
    static void PrintSheet(const std::string& printerName, bool paintPages = false) {
        FormsScript::OnForm("frmChecksheet", [printerName, paintPages](TForm& f) {
            auto& c = static_cast<TfrmChecksheet&>(f);
            FillSampleVehicle(c);
            if (::testing::Test::HasFatalFailure()) return;
            const std::vector<std::string> names = Printer()->Printers();
            const auto at = std::find(names.begin(), names.end(), printerName);
            ASSERT_NE(at, names.end()) << printerName;
            Printer()->SetPrinterIndex(int(at - names.begin()));
            if (paintPages) FormsScript::Click(*c.cbPaintBodyWith);
            c.btnPrintClick(c.btnPrint);
            f.Close();
        });
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }

    static void ExpectSheetText(const std::string& text) {
        for (const char* part : {"ARDEN", "KM51 XYZ", "45000", "HARBOURSIDE MOTORS LTD"})
            EXPECT_NE(text.find(part), std::string::npos) << part << " in:\n" << text.substr(0, 2000);
        // The hidden part of the variant item (its code after the separator) never prints.
        EXPECT_EQ(text.find("\xC2\xB6" "101"), std::string::npos);
    }
};

}  // namespace

TEST_F(PrintedSheet, OnThePdfPrinter) {
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    auto pdf = std::make_unique<TPdfPrinter>(folder.string());
    TPdfPrinter* device = pdf.get();
    devices.push_back(std::move(pdf));
    printer->SetDevices(std::move(devices), 0);
    auto saved = SetPrinter(std::move(printer));
    PrintSheet("PDF");
    ASSERT_FALSE(device->LastFile().empty());
    std::string text;
    EXPECT_EQ(printserver::Command("pdftotext -layout '" + device->LastFile() + "' -", &text), 0) << text;
    ExpectSheetText(text);
    SetPrinter(std::move(saved));
}

/// The private print server of this test process, started once: the print system's client
/// library keeps the first server it reached for the life of the process.
struct SharedPrintServer {
    SharedPrintServer() { Why = Server.Start(); }
    ~SharedPrintServer() { Server.Stop(); }
    printserver::PrintServer Server;
    std::string Why;
};

SharedPrintServer& PrintServerOfTheProcess() {
    static SharedPrintServer shared;
    return shared;
}

#define REQUIRE_PRINT_SERVER(server)                                                    \
    printserver::PrintServer& server = PrintServerOfTheProcess().Server;                \
    if (const std::string why = PrintServerOfTheProcess().Why; !why.empty()) {          \
        if (std::getenv("CI")) FAIL() << "no private print server: " << why;            \
        GTEST_SKIP() << why;                                                            \
    }

TEST_F(PrintedSheet, ThroughACupsQueueChosenByName) {
    REQUIRE_PRINT_SERVER(server);
    // A printer object made afresh sees the server's queues.
    auto saved = SetPrinter(nullptr);
    PrintSheet(printserver::kQueue);
    const fs::path job = printserver::WaitForJob(server.Jobs(), std::chrono::seconds(30));
    ASSERT_FALSE(job.empty()) << server.Log();
    std::string text;
    EXPECT_EQ(printserver::Command("pdftotext -layout '" + job.string() + "' -", &text), 0) << text;
    ExpectSheetText(text);
    fs::remove(job);
    SetPrinter(nullptr);
    SetPrinter(std::move(saved));
}

TEST_F(PrintedSheet, PaintPagesOfTheSampleFollowTheSheetOnThePdfPrinter) {
    // The sample's page images, beside the database as in the program folder.
    for (const char* page : {"ENBP1.TIF", "enbp2.tif"})
        fs::copy_file(fs::path(VETRA_BIN_DIR) / page, folder / page);
    RegisterImageReaders();
    const fs::path out = folder / "pdf";
    fs::create_directories(out);
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TPdfPrinter>(out.string()));
    printer->SetDevices(std::move(devices), 0);
    auto saved = SetPrinter(std::move(printer));
    PrintSheet("PDF", true);
    SetPrinter(std::move(saved));
    UnregisterImageReaders();
    // The checksheet and one job per page image, each a portrait page of its own.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        ++files;
        std::string info;
        EXPECT_EQ(printserver::Command("pdfinfo '" + entry.path().string() + "'", &info), 0) << info;
        if (entry.path().filename().string().rfind("Printout", 0) != 0) {
            EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
        }
    }
    EXPECT_EQ(files, 3);
}

TEST_F(PrintedSheet, AQueueThatRefusesTheJobFailsThePrintOnEveryRoad) {
    // The checksheet form, a hand-off job (whose file then stays for its sender to retry) and a
    // pre-printed page of the menu, each printed on a queue that refuses jobs: the print
    // system's answer is shown, the run's code is the one of a file not written, nothing prints.
    REQUIRE_PRINT_SERVER(server);
    const std::string refusing = "vetra-refusing";
    std::string output;
    ASSERT_EQ(printserver::Command("lpadmin -p " + refusing + " -E -v capture:" + server.Jobs().string() + " -m raw", &output), 0)
        << output;
    ASSERT_EQ(printserver::Command("cupsreject " + refusing, &output), 0) << output;
    auto saved = SetPrinter(nullptr);
    const std::vector<std::string> names = Printer()->Printers();
    const auto at = std::find(names.begin(), names.end(), refusing);
    ASSERT_NE(at, names.end());
    const int queue = int(at - names.begin());
    const std::string answer = "Printer \"" + refusing + "\" did not take the job: ";
    for (const bool handOff : {false, true}) {
        SCOPED_TRACE(handOff ? "hand-off job" : "checksheet form");
        FormsScript::Reset();
        HandOffMode = handOff;
        if (handOff) {
            HandOffFileName = (folder / "job.ho").string();
            std::ofstream(HandOffFileName, std::ios::binary)
                << "GB\r\nEN\r\nAR12-02\r\nRO-1234\r\n\r\n03/2001\r\nKM51 XYZ\r\n45000\r\nJ SMITH\r\n";
        }
        WatchFileFaults();
        FormsScript::OnForm("frmChecksheet", [handOff, queue](TForm& f) {
            auto& c = static_cast<TfrmChecksheet&>(f);
            if (!handOff) {
                FillSampleVehicle(c);
                if (::testing::Test::HasFatalFailure()) return;
            }
            if (handOff) FormsScript::OnForm("frmExtPer", [](TForm& d) { FormsScript::PressEnter(d); });
            Printer()->SetPrinterIndex(queue);
            ClickAsTheEventLoopDoes([&] { c.btnPrintClick(c.btnPrint); });
            f.Close();
        });
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
        form.reset();
        HandOffMode = false;
        HandOffOpen = false;
        const std::vector<std::string> texts = FormsScript::MessageTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rfind(answer, 0), 0u) << texts[0];
        EXPECT_EQ(WithFileFaults(kExitOk), kExitNotWritten);
        if (handOff) {
            EXPECT_TRUE(fs::exists(folder / "job.ho"));
        }
    }
    // A page of the pre-printed forms and training sheets, one job of its own.
    fs::copy_file(fs::path(VETRA_BIN_DIR) / "ENBP1.TIF", folder / "ENBP1.TIF");
    RegisterImageReaders();
    LoadPageImage("ENBP1.TIF");
    Printer()->SetPrinterIndex(queue);
    try {
        Print_Page();
        ADD_FAILURE() << "the page printed";
    } catch (const EPrintJobRefused& e) {
        EXPECT_EQ(e.Message.rfind(answer, 0), 0u) << e.Message;
    }
    EXPECT_FALSE(Printer()->Printing());
    UnregisterImageReaders();
    Application->OnException = nullptr;
    EXPECT_TRUE(fs::is_empty(server.Jobs()));
    SetPrinter(nullptr);
    SetPrinter(std::move(saved));
}
