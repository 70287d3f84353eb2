// Printing from the shown form onto a PDF folder whose disk is full: the checksheet form in XML
// mode and a hand-off job each say that the PDF file was not written, the run's exit code says
// so, and no file is left under its name.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "ChecksheetFixture.h"
#include "Chksheet.h"
#include "CsReport.h"
#include "ExtPer.h"
#include "DocPrint.h"
#include "ImageReaders.h"
#include "PdfPrinter.h"
#include "Printers.h"
#include "SpecInst.h"
#include "vetrav3.h"
#include "vetramain.h"

namespace fs = std::filesystem;

namespace {

class WrittenFiles : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        MakeSheetForms();
        frmTables->tblLangText->Open();
        RegisterImageReaders();
        for (const auto& entry : fs::directory_iterator(VETRA_BIN_DIR))
            if (entry.path().extension() == ".TIF" || entry.path().extension() == ".tif")
                fs::copy_file(entry.path(), folder / entry.path().filename());
    }
    void TearDown() override {
        XMLMode = HandOffMode = false;
        HandOffOpen = false;
        OutputFolder.clear();
        FreeSheetForms();
        UnregisterImageReaders();
        Application->OnException = nullptr;
        ChecksheetFixture::TearDown();
    }
    static std::vector<std::string> RunRoad(const std::string& road, const fs::path& program, const fs::path& pdfs,
                                            const fs::path& xml, rlim_t limit);
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

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

/// A PDF file that is whole: it starts as one and the reader takes it.
bool WholePdf(const fs::path& file) {
    return ReadBytes(file).rfind("%PDF-", 0) == 0 &&
           std::system(("pdfinfo '" + file.string() + "' > /dev/null 2>&1").c_str()) == 0;
}

/// The roads of the shown program that write files: the checksheet form in XML mode printing
/// (its XML file, its PDF and the two paint-protection pages) and previewing (its XML file), a
/// hand-off job, the menu's pre-printed forms (the PDI series, three pages) and its training
/// sheets (three pages).
const char* const kRoads[] = {"form", "view", "handoff", "forms", "training"};

/// Runs one road, printing on the PDF printer into `pdfs` and writing XML into `xml`, with no
/// file of the process growing past `limit` bytes while it prints (0: no limit). Gives the
/// messages shown.
std::vector<std::string> WrittenFiles::RunRoad(const std::string& road, const fs::path& program,
                                               const fs::path& pdfs, const fs::path& xml, rlim_t limit) {
    FormsScript::Reset();
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TPdfPrinter>(pdfs.string()));
    printer->SetDevices(std::move(devices), 0);
    auto saved = SetPrinter(std::move(printer));
    const bool menu = road == "forms" || road == "training";
    XMLMode = road == "form" || road == "view";
    HandOffMode = road == "handoff";
    OutputFolder = xml.string() + "/";
    const auto act = [limit](const std::function<void()>& click) {
        std::optional<FullDisk> full;
        if (limit > 0) full.emplace(limit);
        ClickAsTheEventLoopDoes(click);
    };
    WatchFileFaults();
    if (menu) {
        Market = "GB";
        Language = "EN";
        FormsScript::OnForm("frmMain", [&](TForm& f) {
            auto& m = static_cast<TfrmMain&>(f);
            if (road == "forms")
                FormsScript::Click(*m.btnPrePrinted);
            else
                act([&] { FormsScript::Click(*m.btnTraining); });
        });
        if (road == "forms")
            FormsScript::OnForm("frmPrint", [&](TForm& f) {
                auto& d = static_cast<TfrmPrint&>(f);
                FormsScript::Click(*d.rbPDI);
                act([&] { FormsScript::Click(*d.btnPrint); });
                FormsScript::Click(*d.btnExit);
            });
        FormsScript::OnForm("frmMain", [](TForm& f) { f.Close(); });
        frmMain->ShowModal();
    } else {
        if (HandOffMode) {
            HandOffFileName = (program / "job.ho").string();
            std::ofstream(HandOffFileName, std::ios::binary)
                << "GB\r\nEN\r\nAR12-02\r\nRO-1234\r\n\r\n03/2001\r\nKM51 XYZ\r\n45000\r\nJ SMITH\r\n";
        }
        FormsScript::OnForm("frmChecksheet", [&](TForm& f) {
            auto& c = static_cast<TfrmChecksheet&>(f);
            if (!HandOffMode) {
                FillSampleVehicle(c);
                if (::testing::Test::HasFatalFailure()) return;
                FormsScript::Click(*c.cbPaintBodyWith);
            }
            // A decided hand-off job asks for extended-period operations before it prints.
            if (HandOffMode) FormsScript::OnForm("frmExtPer", [](TForm& d) { FormsScript::PressEnter(d); });
            if (road == "view") {
                FormsScript::OnForm("frmPrintPreview", [](TForm& p) { p.Close(); });
                act([&] { c.btnViewClick(c.btnView); });
            } else {
                act([&] { c.btnPrintClick(c.btnPrint); });
            }
            f.Close();
        });
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    SetPrinter(std::move(saved));
    return FormsScript::MessageTexts();
}

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
                ClickAsTheEventLoopDoes([&] { c.btnPrintClick(c.btnPrint); });
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

TEST_F(WrittenFiles, EveryFileOfTheShownRoadsTakesItsNameWholeOrNotAtAll) {
    // Each road with a disk that fills at every 4 KiB of its largest file: every name in the
    // folders holds a whole file (the same bytes as an unhindered run's; a PDF of the same size
    // and whole, its date aside), and a file that could not be written is reported.
    const fs::path pdfs = folder / "pdf", xml = folder / "xml";
    const auto clear = [&] {
        for (const fs::path& p : {pdfs, xml}) {
            fs::remove_all(p);
            fs::create_directories(p);
        }
    };
    for (const std::string road : kRoads) {
        SCOPED_TRACE(road);
        clear();
        ASSERT_TRUE(RunRoad(road, folder, pdfs, xml, 0).empty());
        ASSERT_EQ(WithFileFaults(kExitOk), kExitOk);
        // The whole files, by the job's name (a PDF's name less its time stamp) or the XML name.
        std::map<std::string, std::string> whole;
        std::size_t largest = 0;
        for (const fs::path& p : {pdfs, xml})
            for (const auto& entry : fs::directory_iterator(p)) {
                const std::string name = entry.path().filename().string();
                const std::string bytes = ReadBytes(entry.path());
                whole[p == pdfs ? name.substr(0, name.rfind('_')) : name] = bytes;
                largest = std::max(largest, bytes.size());
            }
        ASSERT_EQ(whole.size(), road == "form" ? 4u : road == "view" || road == "handoff" ? 1u : 3u);
        for (rlim_t kib = 4; kib <= largest / 1024 + 4; kib += 4) {
            SCOPED_TRACE(std::to_string(kib) + " KiB");
            clear();
            const std::vector<std::string> messages = RunRoad(road, folder, pdfs, xml, kib * 1024);
            std::size_t files = 0;
            for (const fs::path& p : {pdfs, xml})
                for (const auto& entry : fs::directory_iterator(p)) {
                    const std::string name = entry.path().filename().string();
                    SCOPED_TRACE(name);
                    const auto it = whole.find(p == pdfs ? name.substr(0, name.rfind('_')) : name);
                    ASSERT_NE(it, whole.end());
                    const std::string bytes = ReadBytes(entry.path());
                    EXPECT_EQ(bytes.size(), it->second.size());
                    if (p == pdfs)
                        EXPECT_TRUE(WholePdf(entry.path()));
                    else
                        EXPECT_EQ(bytes, it->second);
                    ++files;
                }
            EXPECT_EQ(WithFileFaults(kExitOk), files == whole.size() ? kExitOk : kExitNotWritten);
            EXPECT_EQ(messages.empty(), files == whole.size());
        }
    }
}

TEST_F(WrittenFiles, PrintsOfEightProgramsAtOnceKeepAPdfEach) {
    // The hand-off job's print, the menu's forms and its training sheets, each from eight
    // programs at once into one folder (this test program, run once for each with the road
    // below): as many PDF files as jobs, each whole.
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    for (const std::string road : {"handoff", "forms", "training"}) {
        SCOPED_TRACE(road);
        const fs::path pdfs = folder / ("pdf-" + road);
        fs::create_directories(pdfs);
        std::string command = "for i in 1 2 3 4 5 6 7 8; do (VETRA_TEST_ROAD=" + road + " VETRA_TEST_PDFS='" +
                              pdfs.string() + "' '" + self +
                              "' --gtest_filter=WrittenFiles.ARoadOfPrintsAtOnce > /dev/null 2>&1; echo $?) & done; wait";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string codes;
        char buffer[256];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) codes.append(buffer, got);
        ::pclose(pipe);
        EXPECT_EQ(codes, "0\n0\n0\n0\n0\n0\n0\n0\n");
        std::size_t pdfCount = 0;
        for (const auto& entry : fs::directory_iterator(pdfs)) {
            SCOPED_TRACE(entry.path().string());
            EXPECT_EQ(entry.path().extension(), ".pdf");
            EXPECT_TRUE(WholePdf(entry.path()));
            ++pdfCount;
        }
        EXPECT_EQ(pdfCount, road == "handoff" ? 8u : 24u);
    }
}

TEST_F(WrittenFiles, ARoadOfPrintsAtOnce) {
    // One of the programs of the test above; on its own it does nothing.
    const char* road = std::getenv("VETRA_TEST_ROAD");
    const char* pdfs = std::getenv("VETRA_TEST_PDFS");
    if (!road || !pdfs) GTEST_SKIP() << "run by PrintsOfEightProgramsAtOnceKeepAPdfEach";
    fs::create_directories(folder / "xml");
    EXPECT_TRUE(RunRoad(road, folder, pdfs, folder / "xml", 0).empty());
    EXPECT_EQ(WithFileFaults(kExitOk), kExitOk);
}
