// End to end: a two-page printout on the built-in PDF printer, read back with pdftotext -bbox,
// must show its text upright where the page routine put it.
#include "PdfPrinter.h"
#include "Printout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct Word {
    std::string Text;
    double XMin, YMin, XMax, YMax;  // points from the page's top-left
    int Page;
};

/// Runs pdftotext -bbox and collects the words with their boxes and pages.
std::vector<Word> ReadWords(const std::string& pdf) {
    const std::string html = pdf + ".html";
    const std::string cmd = "pdftotext -bbox '" + pdf + "' '" + html + "'";
    if (std::system(cmd.c_str()) != 0) return {};
    std::ifstream in(html);
    std::stringstream all;
    all << in.rdbuf();
    std::vector<Word> words;
    const std::string s = all.str();
    const std::regex page("<page "), word(R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re");
    int pageNo = 0;
    size_t pos = 0;
    while (true) {
        const size_t nextPage = s.find("<page ", pos);
        const size_t nextWord = s.find("<word ", pos);
        if (nextWord == std::string::npos) break;
        if (nextPage != std::string::npos && nextPage < nextWord) {
            ++pageNo;
            pos = nextPage + 1;
            continue;
        }
        std::smatch m;
        const std::string rest = s.substr(nextWord, 400);
        if (std::regex_search(rest, m, word))
            words.push_back(Word{m[5], std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), pageNo});
        pos = nextWord + 1;
    }
    return words;
}

const Word* Find(const std::vector<Word>& words, const std::string& text) {
    for (const Word& w : words)
        if (w.Text == text) return &w;
    return nullptr;
}

TEST(PrintoutPdf, TwoPagesOfUprightTextWhereThePageRoutinePutIt) {
    const auto folder = std::filesystem::temp_directory_path() / ("printout-pdf-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto pdf = std::make_unique<TPdfPrinter>(folder.string());
    TPdfPrinter* device = pdf.get();
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::move(pdf));
    printer->SetDevices(std::move(devices), 0);
    auto saved = SetPrinter(std::move(printer));

    tPrintout p;
    p.Title = "Checksheet test";
    p.OnPrintPage = [](TObject*, TCanvas& c, tPrintInformation info, int page, bool& more) {
        c.Font.Height = -std::lround(12 * info.UnitsPerPoint);
        // 30 mm from the left edge, 40 mm from the top, in 0.1 mm with y growing upwards.
        c.TextOut(300, -400, page == 1 ? "Alpha" : "Omega");
        c.Font.Style = fsBold;
        c.TextOut(1000, -1500, "Page" + std::to_string(page));
        c.Rectangle(300, -1600, 1300, -1700);
        more = page < 2;
    };
    p.Print();
    auto used = SetPrinter(std::move(saved));  // keeps the PDF printer alive for LastFile

    ASSERT_FALSE(device->LastFile().empty());
    EXPECT_NE(device->LastFile().find("Checksheet test_"), std::string::npos);
    ASSERT_TRUE(std::filesystem::exists(device->LastFile()));
    const std::vector<Word> words = ReadWords(device->LastFile());
    ASSERT_FALSE(words.empty()) << "pdftotext found no text";

    const double mm = 72 / 25.4;
    const Word* alpha = Find(words, "Alpha");
    const Word* omega = Find(words, "Omega");
    const Word* page2 = Find(words, "Page2");
    ASSERT_TRUE(alpha && omega && page2);
    EXPECT_EQ(alpha->Page, 1);
    EXPECT_EQ(omega->Page, 2);
    EXPECT_EQ(page2->Page, 2);
    // Upright text: wider than tall, left to right, its top near 40 mm from the sheet's top.
    EXPECT_GT(alpha->XMax - alpha->XMin, alpha->YMax - alpha->YMin);
    EXPECT_NEAR(alpha->XMin, 30 * mm, 1.5);
    EXPECT_NEAR(alpha->YMin, 40 * mm, 2.5);
    EXPECT_NEAR(alpha->YMax - alpha->YMin, 12 * 1.15, 3);
    EXPECT_NEAR(page2->XMin, 100 * mm, 1.5);
    EXPECT_NEAR(page2->YMin, 150 * mm, 2.5);
    std::filesystem::remove_all(folder);
}

}  // namespace
