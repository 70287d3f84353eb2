// Printing from the shown form onto a PDF folder whose disk is full: the checksheet form in XML
// mode and a hand-off job each say that the PDF file was not written, the run's exit code says
// so, and no file is left under its name.
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ChecksheetFixture.h"
#include "Chksheet.h"
#include "CsReport.h"
#include "ExtPer.h"
#include "PdfPrinter.h"
#include "Printers.h"
#include "SpecInst.h"
#include "vetrav3.h"

namespace fs = std::filesystem;

namespace {

class WrittenFiles : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        MakeSheetForms();
        frmTables->tblLangText->Open();
    }
    void TearDown() override {
        XMLMode = HandOffMode = false;
        HandOffOpen = false;
        OutputFolder.clear();
        FreeSheetForms();
        Application->OnException = nullptr;
        ChecksheetFixture::TearDown();
    }
};

/// No file of this process may grow past `bytes` while it lives (a full disk): a longer write
/// fails instead of raising SIGXFSZ.
struct FullDisk {
    explicit FullDisk(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &Saved);
        SavedSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, SavedSignal);
    }
    rlimit Saved{};
    void (*SavedSignal)(int) = nullptr;
};

}  // namespace

TEST_F(WrittenFiles, AFullPdfFolderFailsThePrintFromTheFormOnEveryRoad) {
    const fs::path out = folder / "pdf";
    for (const bool handOff : {false, true}) {
        SCOPED_TRACE(handOff ? "hand-off job" : "checksheet form in XML mode");
        FormsScript::Reset();
        fs::remove_all(out);
        fs::create_directories(out);
        auto printer = std::make_unique<TPrinter>();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        devices.push_back(std::make_unique<TPdfPrinter>(out.string()));
        printer->SetDevices(std::move(devices), 0);
        auto saved = SetPrinter(std::move(printer));
        XMLMode = !handOff;
        HandOffMode = handOff;
        // The sheet's XML file (about 15 KB) fits; its PDF file (about 150 KB) does not.
        fs::create_directories(folder / "xml");
        OutputFolder = (folder / "xml").string() + "/";
        if (handOff) {
            HandOffFileName = (folder / "job.ho").string();
            std::ofstream(HandOffFileName, std::ios::binary)
                << "GB\r\nEN\r\nAR12-02\r\nRO-1234\r\n\r\n03/2001\r\nKM51 XYZ\r\n45000\r\nJ SMITH\r\n";
        }
        WatchFileFaults();
        FormsScript::OnForm("frmChecksheet", [handOff](TForm& f) {
            auto& c = static_cast<TfrmChecksheet&>(f);
            if (!handOff) {
                FillSampleVehicle(c);
                if (::testing::Test::HasFatalFailure()) return;
            }
            // A decided hand-off job asks for extended-period operations before it prints.
            if (handOff) FormsScript::OnForm("frmExtPer", [](TForm& d) { FormsScript::PressEnter(d); });
            {
                FullDisk full(64 * 1024);
                // As the event loop runs a click: a fault goes to the application's handler.
                try {
                    c.btnPrintClick(c.btnPrint);
                } catch (const std::exception& e) {
                    Application->HandleException(e);
                }
            }
            f.Close();
        });
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
        form.reset();
        SetPrinter(std::move(saved));
        const std::vector<std::string> texts = FormsScript::MessageTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rfind("Cannot write the PDF file \"" + out.string() + "/Printout_", 0), 0u) << texts[0];
        EXPECT_EQ(WithFileFaults(kExitOk), kExitNotWritten);
        EXPECT_TRUE(fs::is_empty(out));
        // The hand-off file stays for its sender to try again.
        if (handOff) {
            EXPECT_TRUE(fs::exists(folder / "job.ho"));
        }
    }
}
