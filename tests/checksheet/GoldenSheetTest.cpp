// Golden sheets: the sample database's sheets as print_checksheet prints them, for every market
// with each of its languages and each of the fifteen combinations of the four ticks, and a
// hand-off job with values longer than their fields, printed from the form. For every page the
// text it prints and a hash of its pixels at 100 dots per inch are compared with the files under
// golden/. A change meant to alter a sheet rewrites them in the same commit:
//     VETRA_UPDATE_GOLDEN=1 ctest --test-dir build/default -R GoldenSheets
// writes the files of every sheet it prints (review the diff); any other change to what prints
// fails here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "ChecksheetFixture.h"
#include "CodePages.h"
#include "ImageReaders.h"
#include "PrintDialog.h"
#include "RecordingPrinter.h"
#include "SysUtils.h"
#include "vetrav3.h"

namespace fs = std::filesystem;

namespace {

// The sanitizer build prints every fifth sheet of the request sweep: the whole sweep there would
// take most of the suite's time, and what it adds (the sheets' content) the normal build checks.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSweepStep = 5;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSweepStep = 5;
#else
constexpr int kSweepStep = 1;
#endif
#else
constexpr int kSweepStep = 1;
#endif

bool Updating() {
    const char* update = std::getenv("VETRA_UPDATE_GOLDEN");
    return update && *update && std::string(update) != "0";
}

std::string Hex(std::uint64_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string s(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4) s[std::size_t(i)] = digits[v & 15];
    return s;
}

/// The job's pages: each page's texts (bytes as printed, one line each, in drawing order) and the
/// FNV-1a hash of its pixels drawn at 100 dots per inch.
std::string Describe(const TRecordedJob& job) {
    std::string out;
    int number = 0;
    for (const auto& page : job.Pages) {
        // The recording is at 600 dots per inch: a sixth of it in each direction.
        const std::vector<unsigned char> pixels = page->Rasterise(page->Width() / 6, page->Height() / 6);
        std::uint64_t hash = 1469598103934665603ull;
        for (unsigned char b : pixels) hash = (hash ^ b) * 1099511628211ull;
        out += "-- page " + std::to_string(++number) + " pixels " + Hex(hash) + "\n";
        for (const TCanvasRecord& r : page->Records()) {
            // The job's canvas reset draws a blank at the corner: nothing of the sheet; an empty
            // text draws nothing.
            if (r.Kind != TRecordKind::Text || r.Text.empty() ||
                (r.Text == " " && r.Logical.Left == 0 && r.Logical.Top == 0))
                continue;
            out += r.Text + "\n";
        }
    }
    return out;
}

class GoldenSheets : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        auto device = std::make_unique<TRecordingPrinter>("PDF");
        recorder = device.get();
        auto printer = std::make_unique<TPrinter>();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        devices.push_back(std::move(device));
        printer->SetDevices(std::move(devices), 0);
        saved = SetPrinter(std::move(printer));
        RegisterImageReaders();
        TPrintDialog::ClearScript();
        MakeSheetForms();
    }
    void TearDown() override {
        FreeSheetForms();
        SetPrinter(std::move(saved));
        TPrintDialog::ClearScript();
        UnregisterImageReaders();
        XMLMode = BatchMode = HandOffMode = false;
        HandOffOpen = false;
        SetACP(1252);
        ChecksheetFixture::TearDown();
    }

    /// The state a fresh process starts a run with.
    static void FreshRun() {
        CustName = CustCompany = CustAddr1 = CustAddr2 = CustAddr3 = CustAddr4 = CustPhone = "";
        RepairNo = RegNo = RegDate = Mileage = RadioCode = "";
        DoVOREX = DoPaintBodyWith = DoPaintBodyWithout = false;
        for (auto& e : ExtPerOps) e.clear();
        for (auto& s : SpecInstr) s.clear();
    }

    /// Prints `request` as print_checksheet does, with a fixed date; the job's description.
    std::string PrintRequest(const std::string& request) {
        FreshRun();
        BatchMode = true;
        XMLMode = HandOffMode = false;
        RequestLine = request;
        if (!ParseXMLRequest('C')) return "(refused)\n";
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        if (!form->PrepareRequest(ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake))
            return "(refused)\n";
        AsAtDate = "15/03/2026";
        DataVersion = ReadDataVersion();
        TfrmChecksheet::NamePreparedRequest();
        const std::size_t jobs = recorder->Jobs().size();
        modReporting->prnReport->Print();
        if (recorder->Jobs().size() != jobs + 1) return "(no print)\n";
        return Describe(recorder->Jobs().back());
    }

    /// Compares `actual` with the golden file `name`, or writes it when updating.
    static void Compare(const std::string& name, const std::string& actual) {
        const fs::path file = fs::path(VETRA_GOLDEN_DIR) / name;
        if (Updating()) {
            std::ofstream(file, std::ios::binary) << actual;
            return;
        }
        std::ifstream in(file, std::ios::binary);
        ASSERT_TRUE(in) << file << " is missing: VETRA_UPDATE_GOLDEN=1 writes it";
        std::stringstream expected;
        expected << in.rdbuf();
        if (expected.str() == actual) return;
        // The first line that differs, with its sheet and page.
        std::istringstream a(expected.str()), b(actual);
        std::string la, lb, sheet, page;
        int line = 0;
        while (true) {
            const bool ga = bool(std::getline(a, la)), gb = bool(std::getline(b, lb));
            ++line;
            if (!ga && !gb) break;
            if (ga && gb && la == lb) {
                if (la.rfind("== ", 0) == 0) sheet = la;
                if (la.rfind("-- page", 0) == 0) page = la.substr(0, la.find(" pixels"));
                continue;
            }
            ADD_FAILURE() << file.filename() << " line " << line << " (" << sheet << " " << page << "): expected \""
                          << (ga ? la : "(end)") << "\", printed \"" << (gb ? lb : "(end)") << "\"";
            break;
        }
    }

    TRecordingPrinter* recorder = nullptr;
    std::unique_ptr<TPrinter> saved;
};

// Every market of the sample database with each language it offers (by the request's codes),
// and the sheets that showed faults by name; each with the fifteen combinations of the ticks.
TEST_F(GoldenSheets, EveryMarketLanguageAndTickCombinationPrintsAsRecorded) {
    // The request codes of the internal market and language codes, where XMLConv has them.
    std::map<std::string, std::string> isoMarket, isoLanguage;
    {
        TTable& conv = *frmTables->tblXMLConv;
        conv.Open();
        for (conv.First(); !conv.Eof(); conv.Next()) {
            isoMarket[conv.FieldByName("VETRAMarket")->AsString()] = conv.FieldByName("ISOMarket")->AsString();
            isoLanguage[conv.FieldByName("VETRALanguage")->AsString()] = conv.FieldByName("ISOLanguage")->AsString();
        }
    }
    struct Pair {
        std::string Market, Language;
    };
    std::vector<Pair> pairs;
    TTable& markets = *frmTables->tblMarket;
    markets.Open();
    for (markets.First(); !markets.Eof(); markets.Next()) {
        const std::string code = markets.FieldByName("MARKET_CODE")->AsString();
        const std::string market = isoMarket.count(code) ? isoMarket[code] : code;
        for (int i = 1; i <= 6; ++i) {
            const std::string lang = markets.FieldByName("LANG" + std::to_string(i))->AsString();
            if (lang.empty()) continue;
            pairs.push_back({market, isoLanguage.count(lang) ? isoLanguage[lang] : LowerCase(lang)});
        }
    }
    ASSERT_GE(pairs.size(), 30u);
    // Model ranges and intervals spread over the pairs; the Polish and cross-language sheets of
    // the dealer's cut e-mail by their own requests.
    const int ranges[] = {101, 104, 105, 107, 109, 111};
    std::vector<std::pair<std::string, std::string>> sheets;  // file name, request without ticks
    for (std::size_t i = 0; i < pairs.size(); ++i)
        sheets.emplace_back(pairs[i].Market + "_" + pairs[i].Language,
                            pairs[i].Market + "," + pairs[i].Language + "," + std::to_string(ranges[i % 6]) + "," +
                                std::to_string(2 + int(i % 7)));
    sheets.emplace_back("PL_pl_107_8", "PL,pl,107,8");
    sheets.emplace_back("PL_pl_104_3", "PL,pl,104,3");
    sheets.emplace_back("GB_pl_109_2", "GB,pl,109,2");
    int n = 0;
    for (const auto& [name, request] : sheets) {
        std::string all;
        for (int ticks = 15; ticks >= 1; --ticks) {
            if (n++ % kSweepStep != 0 && !Updating()) continue;
            const std::string full = request + "," + (ticks & 8 ? "Y" : "N") + "," + (ticks & 4 ? "Y" : "N") + "," +
                                     (ticks & 2 ? "Y" : "N") + "," + (ticks & 1 ? "Y" : "N");
            all += "== " + full + "\n" + PrintRequest(full);
        }
        if (kSweepStep == 1 || Updating()) {
            Compare(name + ".txt", all);
        } else {
            // A subset: each printed sheet must stand in the file as it is.
            std::ifstream in(fs::path(VETRA_GOLDEN_DIR) / (name + ".txt"), std::ios::binary);
            std::stringstream expected;
            expected << in.rdbuf();
            std::size_t at = 0;
            while ((at = all.find("== ", at)) != std::string::npos) {
                const std::size_t end = all.find("\n== ", at + 1);
                const std::string one = all.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
                EXPECT_NE(expected.str().find(one), std::string::npos) << name << ": " << one.substr(0, one.find('\n'));
                at = end == std::string::npos ? all.size() : end + 1;
            }
        }
    }
}

// A hand-off job whose repair order, registration and mileage are longer than their fields,
// printed from the locked form.
TEST_F(GoldenSheets, HandOffJobWithLongValuesPrintsAsRecorded) {
    const fs::path file = folder / "job.ho";
    std::ofstream(file) << "GB\nEN\nAR12-02\nRO-123456789012345678901234\n\n03/2001\nKM51 XYZ 1234\n123456789012345\n"
                           "J SMITH\n";
    FreshRun();
    HandOffMode = true;
    HandOffFileName = file.string();
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        FormsScript::OnForm("frmExtPer", [](TForm& e) { FormsScript::Click(*static_cast<TfrmExtPer&>(e).btnOK); });
        AsAtDate = "15/03/2026";
        c.cmbAsAtDate->SetText(AsAtDate);
        c.btnPrintClick(c.btnPrint);
        f.Close();
    });
    const std::size_t jobs = recorder->Jobs().size();
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    HandOffMode = false;
    ASSERT_EQ(recorder->Jobs().size(), jobs + 1);
    Compare("handoff_long_values.txt", Describe(recorder->Jobs().back()));
}

}  // namespace
