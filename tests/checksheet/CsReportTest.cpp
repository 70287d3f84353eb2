// The checksheet report on the recording printer with the sample database: header and footer
// geometry, the structure walk and its inclusion rule, operation lines and their text markers, the
// closing sections, the XML calls of a run, and hostile data that must still give a finished job.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Chksheet.h"
#include "ExtPer.h"
#include "FormsScript.h"
#include "Metafile.h"
#include "SpecInst.h"
#include "PdfPrinter.h"
#include "charconv.h"
#include "ReportFixture.h"

namespace {

using Report = ReportFixture;

constexpr TColor kGrey = RGB(192, 192, 192);
constexpr TColor kShadow = RGB(128, 128, 128);

/// A canvas measuring as the recording printer does, in the report's mapping mode.
struct MeasuringCanvas {
    MeasuringCanvas() : caps(TPdfPrinter::A4Caps(poPortrait)), canvas(page, &caps) {
        canvas.SetMapMode(MM_LOMETRIC);
        canvas.Font.Name = "Arial";
    }
    int LineHeight(int points) {
        canvas.Font.Height = -static_cast<int>(std::lround(points * 254 / 72.0));
        return canvas.TextHeight("M");
    }
    TMetafile page;
    TDeviceCaps caps;
    TMetafileCanvas canvas;
};

/// Every page carries its footer once; the last one the closing text.
void ExpectFinishedJob(const std::vector<std::unique_ptr<TMetafile>>& pages, const std::string& closing) {
    ASSERT_FALSE(pages.empty());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(ReportFixture::CountText(*pages[i], LText(53) + "  " + std::to_string(i + 1)), 1) << "page " << i + 1;
        EXPECT_EQ(ReportFixture::CountText(*pages[i], closing), i + 1 == pages.size() ? 1 : 0) << "page " << i + 1;
    }
}

const TCanvasRecord* FindRect(const TMetafile& page, int left, int top) {
    for (const TCanvasRecord& r : page.Records())
        if (r.Kind == TRecordKind::Rectangle && r.Logical.Left == left && r.Logical.Top == top) return &r;
    return nullptr;
}

}  // namespace

// ---- text helpers ------------------------------------------------------------------------------------

TEST(ReportText, WrapBreaksAtBlanksAndKeepsEveryWord) {
    MeasuringCanvas m;
    m.canvas.Font.Height = -25;
    const std::string text = "Check operation of all warning lamps, gauges and the instrument illumination in every mode";
    const auto lines = WrapColumnText(m.canvas, text, 600);
    ASSERT_GT(lines.size(), 1u);
    std::string joined;
    for (const std::string& line : lines) {
        EXPECT_LE(m.canvas.TextWidth(TrimRight(line)), 600) << line;
        joined += line;
    }
    EXPECT_EQ(joined, text);
}

TEST(ReportText, CaretForcesABreakAndLeadingCaretsAreSkipped) {
    MeasuringCanvas m;
    m.canvas.Font.Height = -25;
    EXPECT_EQ(WrapColumnText(m.canvas, "FIRST PART^SECOND PART", 2000), (std::vector<std::string>{"FIRST PART ", "SECOND PART"}));
    EXPECT_EQ(WrapColumnText(m.canvas, "^^LEADING", 2000), (std::vector<std::string>{"LEADING"}));
    EXPECT_TRUE(WrapColumnText(m.canvas, std::string(50, '^'), 2000).empty());
    EXPECT_TRUE(WrapColumnText(m.canvas, "", 2000).empty());
    EXPECT_EQ(WrapColumnText(m.canvas, "A^^^B", 2000), (std::vector<std::string>{"A ", "B"}));
}

TEST(ReportText, WordWiderThanTheColumnIsBrokenAtTheColumnWidth) {
    MeasuringCanvas m;
    m.canvas.Font.Height = -25;
    const std::string word(300, 'W');
    const auto lines = WrapColumnText(m.canvas, word, 400);
    ASSERT_GT(lines.size(), 5u);
    std::string joined;
    for (const std::string& line : lines) {
        EXPECT_LT(m.canvas.TextWidth(line), 400);
        joined += line;
    }
    EXPECT_EQ(joined, word);
    // A column narrower than one character still ends, one character a line.
    EXPECT_EQ(WrapColumnText(m.canvas, "WWW", 1).size(), 3u);
}

TEST(ReportText, StatementsSplitAtCaretsAndTildes) {
    using P = StatementPiece;
    EXPECT_EQ(SplitStatements("one^two"), (std::vector<P>{{false, false, "one"}, {false, false, "two"}}));
    EXPECT_EQ(SplitStatements("left~right"), (std::vector<P>{{false, false, "left"}, {true, true, "right"}}));
    EXPECT_EQ(SplitStatements("~ right"), (std::vector<P>{{false, true, "right"}}));
    EXPECT_EQ(SplitStatements("a ~ b ~ c"), (std::vector<P>{{false, false, "a "}, {true, true, "b "}, {true, true, "c"}}));
    EXPECT_TRUE(SplitStatements("^~^~~^").empty());
    EXPECT_TRUE(SplitStatements("").empty());
}

TEST(ReportText, SmokeLimitsLoseOnlyAZeroFraction) {
    EXPECT_EQ(TrimSmokeLimit("3.0"), "3");
    EXPECT_EQ(TrimSmokeLimit("3.00"), "3");
    EXPECT_EQ(TrimSmokeLimit("2.5"), "2.5");
    EXPECT_EQ(TrimSmokeLimit("1.05"), "1.05");
    EXPECT_EQ(TrimSmokeLimit("12"), "12");
    EXPECT_EQ(TrimSmokeLimit(""), "");
}

TEST(ReportText, DistancesGetOneThousandsSeparator) {
    EXPECT_EQ(FormatDistance(12000, ','), "12,000");
    EXPECT_EQ(FormatDistance(12000, '.'), "12.000");
    EXPECT_EQ(FormatDistance(1000, ','), "1,000");
    EXPECT_EQ(FormatDistance(999, ','), "999");
    EXPECT_EQ(FormatDistance(0, ','), "0");
    EXPECT_EQ(StripTrailingDollars("COST $5$$"), "COST $5");
}

// ---- header and footer ---------------------------------------------------------------------------

TEST_F(Report, FirstPageWithDealerAndCustomerBlocks) {
    CustName = "J SMITH";
    CustAddr1 = "1 HIGH STREET";
    CustPhone = "0123";
    RepairNo = "RO-77";
    const auto& pages = Print();
    const Geometry g = Page();
    const TMetafile& p1 = *pages[0];

    const TCanvasRecord* dealer = FindText(p1, "HARBOURSIDE MOTORS LTD");
    ASSERT_NE(dealer, nullptr);
    EXPECT_EQ(dealer->Logical.Left, 900);
    EXPECT_EQ(dealer->Logical.Top, g.Top - 150);
    EXPECT_EQ(FindTextStarting(p1, "GB 496"), nullptr) << "VAT number is not printed";
    const TCanvasRecord* customer = FindText(p1, LText(15));
    ASSERT_NE(customer, nullptr);
    EXPECT_EQ(customer->Logical.Left, g.Left);
    EXPECT_EQ(customer->Logical.Top, g.Top - 150);
    EXPECT_EQ(FindText(p1, "J SMITH")->Logical.Top, g.Top - 192);
    EXPECT_EQ(FindText(p1, "1 HIGH STREET")->Logical.Top, g.Top - 234);
    EXPECT_EQ(FindText(p1, LText(14) + ":  0123")->Logical.Top, g.Top - 318);

    // Nine dealer lines end at Top - 528; the option line stands at the block bottom below them.
    const int optionY = g.Top - 150 - 9 * 42 - 50;
    const TCanvasRecord* vorex = FindText(p1, LText(179));
    ASSERT_NE(vorex, nullptr);
    EXPECT_EQ(vorex->Logical.Top, optionY);
    EXPECT_EQ(vorex->Logical.Right, g.Right - 60);
    // The vehicle block starts 100 below the option line, its boxes 20 above that.
    EXPECT_NE(FindRect(p1, g.Left + 970, optionY - 100 + 20), nullptr);
    EXPECT_NE(FindRect(p1, g.Left, optionY - 100 + 20), nullptr);
    EXPECT_EQ(FindText(p1, LText(10))->Logical.Top, optionY - 100);
    EXPECT_EQ(FindText(p1, "RO-77")->Logical.Left, g.Left + 1500);
    // Shadows outside the German layout.
    EXPECT_NE(FindRect(p1, g.Left + 975, optionY - 100 + 25), nullptr);
}

// Texts as long as their fields allow, in the widest letters, stay in their columns: no header
// text overprints another or leaves the printable width, with the dealer's details or without,
// on the first page and on a continuation page.
TEST_F(Report, LongHeaderTextsStayInTheirColumns) {
    const std::string wide(60, 'W');
    Exec("UPDATE PARAMS SET NAME = '" + wide.substr(0, 50) + "', ADD1 = '" + wide.substr(0, 40) + "', ADD2 = '" +
         wide.substr(0, 40) + "', ADD3 = '" + wide.substr(0, 40) + "', ADD4 = '" + wide.substr(0, 40) +
         "', TELEPHONE = '" + wide.substr(0, 20) + "', FAX = '" + wide.substr(0, 20) + "', EMAIL = '" +
         wide.substr(0, 40) + "', WEB = '" + wide.substr(0, 40) + "'");
    RunChoices choices;
    choices.PreTest = choices.Emission = choices.Brake = true;
    for (bool dealer : {true, false}) {
        SCOPED_TRACE(dealer ? "with the dealer's details" : "without them");
        Exec(std::string("UPDATE PARAMS SET PRINT_DETAILS = ") + (dealer ? "1" : "0"));
        frmTables->tblParams->Refresh();
        Choose(choices);
        DoPaintBodyWith = true;
        CustName = CustCompany = CustAddr1 = CustAddr2 = CustAddr3 = CustAddr4 = CustPhone = wide;
        RepairNo = RadioCode = wide.substr(0, 16);
        RegNo = wide.substr(0, 10);
        RegDate = wide.substr(0, 7);
        Mileage = "9999999";
        ModelText = wide;
        VariantText = wide + " : " + wide;
        IntervalText = wide;
        const auto& pages = Print();
        ASSERT_GE(pages.size(), 2u);
        const Geometry g = Page();
        for (std::size_t p = 0; p < 2; ++p) {
            SCOPED_TRACE("page " + std::to_string(p + 1));
            std::vector<const TCanvasRecord*> texts;
            for (const TCanvasRecord& r : pages[p]->Records())
                if (r.Kind == TRecordKind::Text && !r.Text.empty() && r.Text != " " && r.Logical.Top > g.Top - 1000)
                    texts.push_back(&r);
            for (const TCanvasRecord* a : texts) {
                EXPECT_GE(a->Logical.Left, g.Left) << a->Text;
                EXPECT_LE(a->Logical.Right, g.Right) << a->Text;
                // A text stands 30 units (the height of 9-point capitals) below its top.
                for (const TCanvasRecord* b : texts)
                    if (a < b && a->Logical.Left < b->Logical.Right && b->Logical.Left < a->Logical.Right &&
                        a->Logical.Top - 30 < b->Logical.Top && b->Logical.Top - 30 < a->Logical.Top)
                        ADD_FAILURE() << "\"" << a->Text << "\" overprints \"" << b->Text << "\"";
            }
        }
    }
}

// Every header field (dealer, customer, vehicle block, repair order) at realistic and at limit
// lengths, for every market and language of the sample database with each of the fifteen tick
// combinations, on the first page and a continuation page: no header text overprints another or
// crosses a box edge or the margin; realistic texts print whole in their own size; a text too long
// for its room prints whole in a smaller size, or at the smallest (70 %) cut with a mark after as
// many characters as have room. A text gives way only to what stands on its own line.
TEST_F(Report, HeaderTextsGiveWayOnlyToWhatStandsBesideThem) {
    std::vector<std::pair<std::string, std::string>> pairs;  // market, language
    TTable& markets = *frmTables->tblMarket;
    for (markets.First(); !markets.Eof(); markets.Next())
        for (int i = 1; i <= 6; ++i)
            if (const std::string l = markets.FieldByName("LANG" + std::to_string(i))->AsString(); !l.empty())
                pairs.emplace_back(markets.FieldByName("MARKET_CODE")->AsString(), l);
    ASSERT_GE(pairs.size(), 30u);
    const std::string w(200, 'W');
    for (bool limit : {false, true}) {
        if (limit)
            Exec("UPDATE PARAMS SET NAME = '" + w.substr(0, 50) + "', ADD1 = '" + w.substr(0, 40) + "', ADD2 = '" +
                 w.substr(0, 40) + "', ADD3 = '" + w.substr(0, 40) + "', ADD4 = '" + w.substr(0, 40) +
                 "', TELEPHONE = '" + w.substr(0, 20) + "', FAX = '" + w.substr(0, 20) + "', EMAIL = '" +
                 w.substr(0, 40) + "', WEB = '" + w.substr(0, 40) + "'");
        frmTables->tblParams->Refresh();
        const std::string dealerEmail = frmTables->tblParams->FieldByName("EMAIL")->AsString();
        for (const auto& [market, language] : pairs) {
            for (int ticks = 1; ticks <= 15; ++ticks) {
                const std::string trace = market + "," + language + " ticks " + std::to_string(ticks) +
                                          (limit ? " at limit lengths" : " at realistic lengths");
                SCOPED_TRACE(trace);
                RunChoices choices;
                choices.Market = market;
                choices.Language = language;
                choices.Service = ticks & 8;
                choices.PreTest = ticks & 4;
                choices.Emission = ticks & 2;
                choices.Brake = ticks & 1;
                Choose(choices);
                SetACP(CodePageOfLanguage(language));
                DoPaintBodyWith = ticks == 15;
                // Hand-off values are not limited; the typed ones by their fields.
                CustName = limit ? w.substr(0, 40) : "JANE SMITH";
                CustCompany = limit ? w.substr(0, 40) : "KELMOUTH FLEET SERVICES";
                CustAddr1 = limit ? w : "12 HARBOUR ROAD";
                CustAddr2 = limit ? w.substr(0, 40) : "";
                CustPhone = limit ? w.substr(0, 20) : "01632 960555";
                RepairNo = limit ? w : "RO-123456789012345678901234";
                RegNo = limit ? w.substr(0, 40) : "KM51 XYZ 1234";
                RegDate = limit ? w.substr(0, 7) : "03/2001";
                Mileage = limit ? w.substr(0, 20) : "123456789012345";
                RadioCode = limit ? w.substr(0, 16) : "4711";
                AsAtDate = limit ? w.substr(0, 10) : "15/03/2026";
                const auto& pages = Print();
                ASSERT_GE(pages.size(), 1u);
                const Geometry g = Page();
                // The size of a nine-point text: the customer block's heading.
                const TCanvasRecord* heading = FindText(*pages[0], LText(15));
                ASSERT_NE(heading, nullptr);
                const int nine = heading->Font.PixelSize;
                for (std::size_t p = 0; p < std::min<std::size_t>(2, pages.size()); ++p) {
                    SCOPED_TRACE("page " + std::to_string(p + 1));
                    std::vector<const TCanvasRecord*> texts, boxes;
                    for (const TCanvasRecord& r : pages[p]->Records()) {
                        if (r.Logical.Top < g.Top - 1000) continue;
                        if (r.Kind == TRecordKind::Text && !r.Text.empty() && r.Text != " ") texts.push_back(&r);
                        if (r.Kind == TRecordKind::Rectangle) boxes.push_back(&r);
                    }
                    for (const TCanvasRecord* a : texts) {
                        EXPECT_GE(a->Logical.Left, g.Left) << a->Text;
                        EXPECT_LE(a->Logical.Right, g.Right) << a->Text;
                        const bool cut = a->Text.back() == '\x85';
                        if (!limit) {
                            EXPECT_FALSE(cut) << a->Text;
                        }
                        // A cut text is at the smallest size and ends where its room ends: at most
                        // two letters short of the next thing on its line, a box edge or the margin.
                        int room = g.Right;
                        for (const TCanvasRecord* b : texts)
                            if (b != a && b->Logical.Left >= a->Logical.Right && a->Logical.Top - 36 < b->Logical.Top &&
                                b->Logical.Top - 40 < a->Logical.Top + 10)  // rows are 40 high; a smaller text
                                room = std::min(room, b->Logical.Left);   // stands up to 10 lower
                        for (const TCanvasRecord* b : boxes)
                            if (b->Logical.Left >= a->Logical.Right && a->Logical.Top - 36 < b->Logical.Top &&
                                b->Logical.Bottom < a->Logical.Top + 10)
                                room = std::min(room, b->Logical.Left);
                        for (const TCanvasRecord* b : boxes) {
                            if (b->Logical.Top < a->Logical.Top || b->Logical.Bottom > a->Logical.Top) continue;
                            for (int edge : {b->Logical.Left, b->Logical.Right}) {
                                // Nothing crosses a box edge.
                                EXPECT_FALSE(a->Logical.Left < edge && edge < a->Logical.Right)
                                    << "\"" << a->Text << "\" crosses a box edge at " << edge;
                                if (edge >= a->Logical.Right) room = std::min(room, edge);
                            }
                        }
                        if (cut) {
                            EXPECT_LE(a->Font.PixelSize * 10, nine * 12 * 7 / 10 + 10) << a->Text;
                            EXPECT_LE(room - a->Logical.Right, 90) << a->Text << " ends at " << a->Logical.Right << ", its room at " << room;
                        }
                        // A text stands 30 units (the height of 9-point capitals) below its top.
                        for (const TCanvasRecord* b : texts)
                            if (a < b && a->Logical.Left < b->Logical.Right && b->Logical.Left < a->Logical.Right &&
                                a->Logical.Top - 30 < b->Logical.Top && b->Logical.Top - 30 < a->Logical.Top)
                                ADD_FAILURE() << "\"" << a->Text << "\" overprints \"" << b->Text << "\"";
                    }
                }
                if (!limit) {
                    // Every realistic value prints whole: in its own size, or, the hand-off values
                    // longer than their fields, in a smaller one.
                    const std::pair<const std::string*, bool> values[] = {
                        {&CustName, true}, {&CustCompany, true}, {&CustAddr1, true}, {&CustPhone, true},
                        {&RepairNo, false}, {&RegNo, false}, {&RegDate, true}, {&Mileage, false},
                        {&RadioCode, true}, {&AsAtDate, true}, {&dealerEmail, true}};
                    for (const auto& [v, own] : values) {
                        const TCanvasRecord* shown = nullptr;
                        for (const TCanvasRecord& r : pages[0]->Records())
                            if (r.Kind == TRecordKind::Text && r.Text.find(*v) != std::string::npos) shown = &r;
                        ASSERT_NE(shown, nullptr) << *v;
                        EXPECT_GE(shown->Font.PixelSize * 10, own ? nine * 10 : nine * 7) << *v;
                    }
                }
                if (HasFatalFailure() || testing::Test::HasFailure()) return;
            }
        }
    }
}

TEST_F(Report, FirstPageWithoutDealerOrCustomerBlock) {
    Exec("UPDATE PARAMS SET PRINT_DETAILS = 0, CUSTOMER_DETAILS = 0");
    frmTables->tblParams->Refresh();
    CustName = "NOT SHOWN";
    const auto& pages = Print();
    const Geometry g = Page();
    const TMetafile& p1 = *pages[0];
    EXPECT_EQ(FindText(p1, "HARBOURSIDE MOTORS LTD"), nullptr);
    EXPECT_EQ(FindText(p1, LText(15)), nullptr);
    // Only "Service" is ticked: one strip row at Top - 150, the option line where the next would go.
    const TCanvasRecord* service = FindText(p1, LText(31));
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->Logical.Top, g.Top - 150);
    EXPECT_EQ(service->Logical.Right, g.Right - 60);
    EXPECT_EQ(FindText(p1, LText(36)), nullptr);
    EXPECT_EQ(FindText(p1, LText(179))->Logical.Top, g.Top - 200);
    EXPECT_EQ(FindText(p1, LText(20) + " :    ")->Logical.Top, g.Top - 300);
    // Title: LText(52) without tests, centred; the as-at line.
    const TCanvasRecord* title = FindText(p1, LText(52));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->Logical.Left, g.Left + (g.Right - g.Left - (title->Logical.Right - title->Logical.Left)) / 2);
    EXPECT_EQ(title->Logical.Top, g.Top - 25);
    EXPECT_EQ(FindText(p1, "15/03/2026")->Logical.Left, g.Left + 1700);
    // The variant prints cut at ":" on its first line and at the hidden mark on its second.
    EXPECT_NE(FindText(p1, "1.2 8V 44KW"), nullptr);
    EXPECT_NE(FindText(p1, "01/1994 -"), nullptr);
    EXPECT_NE(FindText(p1, "2. service"), nullptr);
}

TEST_F(Report, ContinuationPagesShowTheIdentificationLines) {
    const auto& pages = Print();
    const Geometry g = Page();
    ASSERT_GE(pages.size(), 2u);
    const TMetafile& p2 = *pages[1];
    EXPECT_EQ(FindText(p2, LText(10)), nullptr);
    EXPECT_EQ(FindText(p2, "HARBOURSIDE MOTORS LTD"), nullptr);
    const TCanvasRecord* model = FindText(p2, "ARDEN - 1.2 8V 44KW:01/1994 -");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->Logical.Left, g.Left);
    EXPECT_EQ(model->Logical.Top, g.Top - 200 + 50);
    EXPECT_EQ(FindTextStarting(p2, LText(17)), nullptr);

    CustName = "J SMITH";
    RegNo = "KM04 ABC";
    Restart();
    const auto& again = Print();
    EXPECT_NE(FindText(*again[1], LText(85) + "  :  J SMITH"), nullptr);
    const TCanvasRecord* reg = FindText(*again[1], LText(17) + "  :  KM04 ABC");
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg->Logical.Top, g.Top - 150 - 84);
}

TEST_F(Report, GermanLayoutHasNoShadowsTestRowsOrGreyBands) {
    RunChoices c;
    c.Market = "DX";
    c.Language = "DE";
    c.Emission = c.Brake = true;
    Choose(c);
    const auto& pages = Print();
    const Geometry g = Page();
    for (const auto& page : pages) {
        for (const TCanvasRecord& r : page->Records()) {
            if (r.Kind != TRecordKind::Rectangle || !r.BrushSolid) continue;
            EXPECT_NE(r.BrushColor, kShadow) << "shadow at " << r.Logical.Left << "," << r.Logical.Top;
            // Only the emission test and smoke table bands stay grey.
            if (r.BrushColor == kGrey) {
                EXPECT_LT(r.Logical.Right - r.Logical.Left, g.Right - g.Left);
            }
        }
    }
    EXPECT_EQ(FindText(*pages[0], LText(66)), nullptr);
    EXPECT_EQ(FindText(*pages[0], LText(74)), nullptr);
    EXPECT_NE(FindText(*pages[0], LText(31)), nullptr);
    // The inverse logo, 25 mm wide, at the top left.
    const TBitmap& inverse = frmTables->imInverseLogo->Picture().Bitmap();
    const TCanvasRecord* logo = nullptr;
    for (const TCanvasRecord& r : pages[0]->Records())
        if (r.Kind == TRecordKind::Bitmap && r.Logical.Left == g.Left && r.Logical.Top == g.Top) logo = &r;
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->Logical.Right, g.Left + 250);
    EXPECT_EQ(logo->Logical.Bottom, g.Top - 250 * inverse.Height() / inverse.Width());
    EXPECT_EQ(logo->Picture.Pixel(0, 0), inverse.Pixel(0, 0));
    // The German date form on the next-service line.
    EXPECT_NE(AllText(pages).find("03/2027"), std::string::npos);
}

TEST_F(Report, FooterOnEveryPageAtItsPlaces) {
    const auto& pages = Print();
    const Geometry g = Page();
    ExpectFinishedJob(pages, LText(134));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const TCanvasRecord* label = FindText(*pages[i], LText(53) + "  " + std::to_string(i + 1));
        EXPECT_EQ(label->Logical.Left, g.Left);
        EXPECT_EQ(label->Logical.Top, g.Bottom);
        const TCanvasRecord* version = FindText(*pages[i], "11/2026");
        ASSERT_NE(version, nullptr);
        EXPECT_EQ(version->Logical.Right, g.Right);
        EXPECT_EQ(version->Logical.Top, g.Bottom);
        // Nothing but the footer reaches the bottom margin.
        for (const TCanvasRecord& r : pages[i]->Records())
            if (r.Kind == TRecordKind::Text) {
                EXPECT_GE(r.Logical.Top, g.Bottom) << r.Text;
            }
    }
    const TCanvasRecord* closing = FindText(*pages.back(), LText(134));
    const int width = closing->Logical.Right - closing->Logical.Left;
    EXPECT_EQ(closing->Logical.Left, (g.Right - g.Left - width) / 2);
}

TEST_F(Report, ColumnsFollowTheKindsChosen) {
    const Geometry g = Page();
    struct Case {
        bool service, preTest;
        int tickX;
        bool marks;
    } cases[] = {{true, false, g.Right - 270, false}, {false, true, g.Right - 150, false}, {true, true, g.Right - 270, true}};
    for (const Case& k : cases) {
        RunChoices c;
        c.Service = k.service;
        c.PreTest = k.preTest;
        Choose(c);
        const auto& pages = Print();
        const TMetafile& p1 = *pages[0];
        bool tickLine = false, markColumn = false, textColumn = false;
        int marks = 0;
        for (const TCanvasRecord& r : p1.Records()) {
            if (r.Kind == TRecordKind::Line && r.Logical.Left == k.tickX && r.Logical.Right == k.tickX) tickLine = true;
            if (r.Kind == TRecordKind::Line && r.Logical.Left == g.Left + 50 && r.Logical.Right == g.Left + 50) markColumn = true;
            if (r.Kind == TRecordKind::Line && r.Logical.Left == 790 && r.Logical.Right == 790) textColumn = true;
            if (r.Kind == TRecordKind::Text && r.Font.Name == "Wingdings") ++marks;
        }
        EXPECT_TRUE(tickLine) << k.service << k.preTest;
        EXPECT_TRUE(textColumn);
        EXPECT_EQ(markColumn, k.marks);
        EXPECT_EQ(marks > 0, k.marks);
        // Operation texts start at OpTextX.
        EXPECT_EQ(FindTextStarting(p1, "Check horn operation")->Logical.Left, 800);
        // Parts and labour boxes only on service sheets.
        EXPECT_EQ(FindText(p1, "L") != nullptr, k.service);
    }
}

TEST_F(Report, PartsAndLabourBoxesAndMarksOfAnOperation) {
    RunChoices c;
    c.PreTest = true;
    Choose(c);
    const auto& pages = Print();
    const Geometry g = Page();
    const int tickX = g.Right - 270;
    // Row 130 (pollen filter, op 106, type S) carries parts and labour.
    const TCanvasRecord* op = FindText(*pages[0], "Renew pollen filter");
    ASSERT_NE(op, nullptr);
    const int y = op->Logical.Top + 6;
    const TCanvasRecord* parts = FindRect(*pages[0], tickX + 20, y);
    ASSERT_NE(parts, nullptr);
    EXPECT_EQ(parts->Logical.Bottom, y - 42);
    const TCanvasRecord* labour = FindRect(*pages[0], tickX + 80, y);
    ASSERT_NE(labour, nullptr);
    EXPECT_EQ(labour->Logical.Bottom, y - 40);
    EXPECT_EQ(FindText(*pages[0], "P")->Logical.Left, tickX + 30);
    // Type "B" gets "p", type "P" gets "n", in the mark column.
    const TCanvasRecord* horn = FindText(*pages[0], "Check horn operation");
    bool bothMark = false;
    for (const TCanvasRecord& r : pages[0]->Records())
        if (r.Font.Name == "Wingdings" && r.Text == "p" && r.Logical.Top == horn->Logical.Top + 6 - 10 &&
            r.Logical.Left == g.Left + 15)
            bothMark = true;
    EXPECT_TRUE(bothMark);
}

// ---- the walk ----------------------------------------------------------------------------------------

class Inclusion : public ReportFixture {
protected:
    bool Included(int seq) {
        EXPECT_TRUE(frmTables->tblStructure->FindKey({seq}));
        CurSeqNo = seq;
        return modReporting->IsOperationIncluded();
    }
};

TEST_F(Inclusion, ByKindOfSheet) {
    // 20: op 101 type B; 50: op 107 type S; 190: op 110 type P.
    DoService = true, DoPreTest = false;
    EXPECT_TRUE(Included(20));
    EXPECT_TRUE(Included(50));
    EXPECT_FALSE(Included(190));
    DoService = false, DoPreTest = true;
    EXPECT_TRUE(Included(20));
    EXPECT_FALSE(Included(50));
    EXPECT_TRUE(Included(190));
    DoService = true, DoPreTest = true;
    EXPECT_TRUE(Included(20));
    EXPECT_TRUE(Included(50));
    EXPECT_TRUE(Included(190));
    DoService = false, DoPreTest = false;
    EXPECT_FALSE(Included(20));
}

TEST_F(Inclusion, ByIntervalAndModelRange) {
    // 100: op 119 (S), intervals NNNY...: only every third service from the fourth position.
    IntervalNo = 3;
    EXPECT_FALSE(Included(100));
    IntervalNo = 4;
    EXPECT_TRUE(Included(100));
    IntervalNo = 40;
    EXPECT_FALSE(Included(100)) << "beyond the intervals";
    // Pre-test only never looks at the intervals.
    DoService = false, DoPreTest = true;
    Exec("UPDATE SERVOPS SET OP_TYPE = 'X' WHERE OP_CODE = 119");
    frmTables->tblServOps->Refresh();
    EXPECT_TRUE(Included(100));
    DoService = true, DoPreTest = false;
    IntervalNo = 4;
    ModelRange = 999;
    EXPECT_FALSE(Included(100)) << "no link for the model range";
}

TEST_F(Inclusion, ExtendedPeriodOperations) {
    // 1190: op 601, extended period, L1 sub-heading 12, intervals NY...
    IntervalNo = 3;
    EXPECT_FALSE(Included(1190));
    ExtPerOps[1] = "0";
    ExtPerOps[2] = "12.601";
    EXPECT_TRUE(Included(1190));
    ExtPerOps[2] = "12.602";
    EXPECT_FALSE(Included(1190));
    ExtPerOps[2] = "12,601";
    EXPECT_FALSE(Included(1190)) << "no decimal separator";
    ExtPerOps[2] = "x.601";
    EXPECT_FALSE(Included(1190));
    BatchMode = true;
    EXPECT_TRUE(Included(1190));
    IntervalNo = 1;
    EXPECT_FALSE(Included(1190)) << "batch mode still honours the interval";
}

TEST_F(Report, MarketAndLanguageRowsJoinTheCommonRows) {
    const std::string german = Value("SELECT OPERATION_TEXT1 FROM SERVOPS WHERE LANG_CODE = 'DE' AND OP_CODE = 901");
    const std::string polish = Value("SELECT OPERATION_TEXT1 FROM SERVOPS WHERE LANG_CODE = 'PO' AND OP_CODE = 911");
    ASSERT_FALSE(german.empty());
    const std::string gb = AllText(Print());
    RunChoices c;
    c.Market = "DX";
    c.Language = "DE";
    Choose(c);
    const std::string dx = AllText(Print());
    EXPECT_NE(dx.find(german.substr(0, 12)), std::string::npos);
    EXPECT_EQ(gb.find(german.substr(0, 12)), std::string::npos);
    // A German heading of the common rows.
    EXPECT_NE(dx.find("FAHRZEUG INNEN"), std::string::npos);
    EXPECT_EQ(dx.find("VEHICLE INTERIOR"), std::string::npos);
}

TEST_F(Report, CurrentHeadingRepeatsOnTheNextPage) {
    XMLMode = true;
    const auto& pages = Print();
    ASSERT_GE(pages.size(), 2u);
    const std::string continued = "    " + LText(58);
    const TCanvasRecord* repeat = nullptr;
    for (const TCanvasRecord& r : pages[1]->Records())
        if (r.Kind == TRecordKind::Text && r.Text.size() > continued.size() &&
            r.Text.compare(r.Text.size() - continued.size(), continued.size(), continued) == 0)
            repeat = &r;
    ASSERT_NE(repeat, nullptr);
    const std::string heading = repeat->Text.substr(0, repeat->Text.size() - continued.size());
    // The repeat opens no second section.
    int sections = 0;
    for (const std::string& call : XmlGenRecorder::CallsStartingWith("AddSection("))
        sections += call == "AddSection(" + heading + ")" || call == "AddSection(" + heading + "$)";
    EXPECT_EQ(sections, 1);
}

TEST_F(Report, HeadingOfTheLastRunIsNoRepeat) {
    XMLMode = true;
    LastMHCode = 1;
    Print();
    const auto calls = XmlGenRecorder::Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "CreateChecksheetDocument(en_GB)");
    EXPECT_EQ(calls[1], "AddSection(VEHICLE INTERIOR)");
}

// ---- operation lines ---------------------------------------------------------------------------------

TEST_F(Report, TextMarkersOfOperationLines) {
    Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = 'FIRST PART^SECOND PART$$', OPERATION_TEXT2 = '' "
         "WHERE LANG_CODE = 'EN' AND OP_CODE = 102");
    Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = 'LEFT SIDE~RIGHT SIDE', OPERATION_TEXT2 = '' "
         "WHERE LANG_CODE = 'EN' AND OP_CODE = 113");
    Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = 'COST $5 EACH$', OPERATION_TEXT2 = '' "
         "WHERE LANG_CODE = 'EN' AND OP_CODE = 112");
    frmTables->tblServOps->Refresh();
    XMLMode = true;
    const auto& pages = Print();
    const Geometry g = Page();
    const TMetafile& p1 = *pages[0];
    const TCanvasRecord* first = FindText(p1, "FIRST PART ");
    const TCanvasRecord* second = FindText(p1, "SECOND PART");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Logical.Top, first->Logical.Top - 35);
    EXPECT_NE(FindText(p1, "COST $5 EACH"), nullptr);
    const TCanvasRecord* aligned = FindTextStarting(p1, "LEFT SIDE ");
    ASSERT_NE(aligned, nullptr);
    EXPECT_EQ(aligned->Text.substr(aligned->Text.size() - 10), "RIGHT SIDE");
    const int edge = g.Right - 270 - 10;
    EXPECT_GE(aligned->Logical.Right, edge);
    MeasuringCanvas m;
    m.canvas.Font.Height = -25;
    EXPECT_LT(aligned->Logical.Right - m.canvas.TextWidth(" "), edge);
    // In the XML: two statements, and a right-aligned continuation.
    const auto& calls = XmlGenRecorder::Calls();
    const auto at = std::find(calls.begin(), calls.end(), "AddStatement(false|false|FIRST PART)");
    ASSERT_NE(at, calls.end());
    EXPECT_EQ(*(at + 1), "AddStatement(false|false|SECOND PART$$)");
    const auto tilde = std::find(calls.begin(), calls.end(), "AddStatement(false|false|LEFT SIDE)");
    ASSERT_NE(tilde, calls.end());
    EXPECT_EQ(*(tilde + 1), "AddStatement(true|true|RIGHT SIDE)");
}

// A text continued in its second field: a blank that ends the first field separates the two
// parts, in each kind's pair of fields, on the sheet and in the XML.
TEST_F(Report, FirstFieldOfAContinuedTextKeepsItsEndingBlank) {
    Exec("UPDATE SERVOPS SET OP_TYPE = 'B', OPERATION_TEXT1 = 'LAMBDA SENSOR ', OPERATION_TEXT2 = 'WIRING', "
         "PRETEST_TEXT1 = 'PRE SENSOR ', PRETEST_TEXT2 = 'WIRING', COMBINED_TEXT1 = 'BOTH SENSOR ', "
         "COMBINED_TEXT2 = 'WIRING' WHERE LANG_CODE = 'EN' AND OP_CODE = 102");
    frmTables->tblServOps->Refresh();
    XMLMode = true;
    const struct {
        bool Service, PreTest;
        const char* Text;
    } kinds[] = {{true, false, "LAMBDA SENSOR WIRING"}, {false, true, "PRE SENSOR WIRING"},
                 {true, true, "BOTH SENSOR WIRING"}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.Text);
        RunChoices c;
        c.Service = k.Service;
        c.PreTest = k.PreTest;
        Choose(c);
        XmlGenRecorder::Reset();
        const auto& pages = Print();
        EXPECT_NE(FindText(*pages[0], k.Text), nullptr);
        const auto& calls = XmlGenRecorder::Calls();
        EXPECT_NE(std::find(calls.begin(), calls.end(), std::string("AddStatement(false|false|") + k.Text + ")"),
                  calls.end());
    }
}

TEST_F(Report, ResultCellsAreOneLineHighOrTenPointLinesForSeveral) {
    Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = 'ONE^TWO^THREE', OPERATION_TEXT2 = '' "
         "WHERE LANG_CODE = 'EN' AND OP_CODE = 102");
    frmTables->tblServOps->Refresh();
    const auto& pages = Print();
    const Geometry g = Page();
    MeasuringCanvas m;
    const int lh12 = m.LineHeight(12), lh10 = m.LineHeight(10);
    const auto cellHeight = [&](const std::string& text) {
        const TCanvasRecord* t = FindTextStarting(*pages[0], text);
        const TCanvasRecord* cell = FindRect(*pages[0], g.Right - 120, t->Logical.Top + 6);
        return cell ? cell->Logical.Top - cell->Logical.Bottom : -1;
    };
    EXPECT_EQ(cellHeight("ONE"), 3 * lh10);
    EXPECT_EQ(cellHeight("Check interior lights"), lh12);
}

TEST_F(Report, MissingSubHeadingPrintsNothingAndHasNoXmlText) {
    Exec("DELETE FROM SUBHEAD WHERE LANG_CODE = 'EN' AND SH_CODE = 2");
    frmTables->tblSubHead->Refresh();
    XMLMode = true;
    const auto& pages = Print();
    // Row 90 (op 103) has sub-heading 2; the row before it printed sub-heading 1.
    EXPECT_EQ(CountText(*pages[0], "Instruments and controls"), 1);
    const auto& calls = XmlGenRecorder::Calls();
    const auto op = std::find(calls.begin(), calls.end(), "AddOperation(1|both||||90)");
    ASSERT_NE(op, calls.end());
    EXPECT_EQ(*(op + 1), "AddSubHeading()");
    // Level-2 rows carry their own sub-heading; rows with neither an empty one.
    EXPECT_NE(std::find(calls.begin(), calls.end(), "AddOperation(2|service||true||120)"), calls.end());
    const auto plain = std::find(calls.begin(), calls.end(), "AddOperation(|both||||30)");
    ASSERT_NE(plain, calls.end());
    EXPECT_EQ(*(plain + 1), "AddSubHeading()");
}

// ---- closing sections ----------------------------------------------------------------------------

TEST_F(Report, PetrolEmissionTestWithCatalyst) {
    RunChoices c;
    c.Emission = true;
    Choose(c);
    XMLMode = true;
    const std::string text = AllText(Print());
    EXPECT_NE(text.find(LText(90) + " - " + UpperCase(LText(119))), std::string::npos);
    for (const char* block : {"FAST IDLE TEST 1", "FAST IDLE TEST 2", "FAST IDLE TEST 3", "IDLE TEST"})
        EXPECT_NE(text.find(block), std::string::npos) << block;
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddEmissionTest"), std::vector<std::string>{"AddEmissionTest(60|petrol|true)"});
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddFastIdle"), std::vector<std::string>{"AddFastIdle(2500-3000|0.3|200|0.97-1.03)"});
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddIdle"), std::vector<std::string>{"AddIdle(750-850|0.5|200)"});
}

TEST_F(Report, PetrolEmissionTestWithoutCatalyst) {
    RunChoices c;
    c.ModelRange = 102;
    c.Emission = true;
    Choose(c);
    XMLMode = true;
    const auto& pages = Print();
    const std::string text = AllText(pages);
    EXPECT_EQ(text.find("FAST IDLE"), std::string::npos);
    EXPECT_NE(text.find("IDLE TEST"), std::string::npos);
    EXPECT_NE(text.find("800-900 RPM"), std::string::npos);
    EXPECT_EQ(text.find("HC 1200 PPM"), std::string::npos) << "a left idle block has no HC row";
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddEmissionTest"), std::vector<std::string>{"AddEmissionTest(60|petrol|false)"});
    EXPECT_TRUE(XmlGenRecorder::CallsStartingWith("AddFastIdle").empty());
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddIdle"), std::vector<std::string>{"AddIdle(800-900|3.5|)"});
}

TEST_F(Report, DieselEmissionTestAndItsSpecialInstructions) {
    RunChoices c;
    c.ModelRange = 104;
    c.Emission = true;
    Choose(c);
    SpecInstr[1] = "CHECK THE TOWBAR";
    XMLMode = true;
    const auto& pages = Print();
    const std::string text = AllText(pages);
    EXPECT_NE(text.find(UpperCase(LText(82))), std::string::npos);
    EXPECT_NE(text.find(LText(117) + " -  2.5"), std::string::npos);
    EXPECT_NE(text.find(LText(89)), std::string::npos);
    EXPECT_NE(text.find("CHECK THE TOWBAR"), std::string::npos);
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddEmissionTest"), std::vector<std::string>{"AddEmissionTest(80|diesel|false)"});
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddNonTurbo"), std::vector<std::string>{"AddNonTurbo(2.5)"});
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddTurbo"), std::vector<std::string>{"AddTurbo(3)"});
    ExpectFinishedJob(pages, LText(134));
}

TEST_F(Report, BrakeTestPrintsWhereTheEmissionTestDoesNotFit) {
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    XMLMode = true;
    modReporting->GermanLayout = false;
    TMetafile page;
    const TDeviceCaps caps = TPdfPrinter::A4Caps(poPortrait);
    TMetafileCanvas canvas(page, &caps);
    canvas.SetMapMode(MM_LOMETRIC);
    tPrintInformation info;
    modReporting->prnReport->ComputePrintInformation(info);
    PageLayout L;
    modReporting->InitPageLayout(L, canvas, info);
    L.Y = PageBottom + 200 + 400;  // room for 400: not the emission test's 600, but the brake test's 200
    L.BodyPrinted = true;
    EXPECT_FALSE(modReporting->PrintClosingSections(L));
    EXPECT_TRUE(EmissionPending);
    EXPECT_FALSE(BrakePending);
    EXPECT_NE(FindText(page, LText(121)), nullptr);
    EXPECT_EQ(FindTextStarting(page, LText(90)), nullptr);
    // The next page takes the emission test; the XML has the brake test first.
    PageLayout next;
    modReporting->InitPageLayout(next, canvas, info);
    next.Y = next.Top - 400;
    EXPECT_TRUE(modReporting->PrintClosingSections(next));
    const auto calls = XmlGenRecorder::Calls();
    const auto brake = std::find_if(calls.begin(), calls.end(), [](const std::string& s) { return s.rfind("AddBrakeTest", 0) == 0; });
    const auto emission = std::find_if(calls.begin(), calls.end(), [](const std::string& s) { return s.rfind("AddEmissionTest", 0) == 0; });
    ASSERT_NE(brake, calls.end());
    ASSERT_NE(emission, calls.end());
    EXPECT_LT(brake, emission);
    EXPECT_EQ(*brake, "AddBrakeTest(1150)");
}

TEST_F(Report, NextServiceLineForGreatBritainAndWithIndicator) {
    const std::string text = AllText(Print());
    EXPECT_NE(text.find(LText(69) + " 15/03/2027 " + LText(70) + " 10,000 ml " + LText(71)), std::string::npos);
    RunChoices c;
    c.ModelRange = 103;  // service interval indicator fitted, interval family 3
    Choose(c);
    const auto& pages = Print();
    const std::string sil = AllText(pages);
    EXPECT_NE(sil.find(LText(177) + " 15/03/2027 " + LText(70) + " 18,000 ml " + LText(176)), std::string::npos);
    EXPECT_NE(sil.find("* " + LText(176)), std::string::npos);
}

TEST_F(Report, NextServiceLineForOtherMarketsUsesAPoint) {
    Exec("UPDATE PARAMS SET MARKET_CODE = 'AX'");
    frmTables->tblParams->Refresh();
    RunChoices c;
    c.Market = "AX";
    c.Language = "EN";
    Choose(c);
    const std::string text = AllText(Print());
    EXPECT_NE(text.find(" 15/03/2027 " + LText(70) + " 15.000 km "), std::string::npos);
}

// ---- XML calls of a whole checksheet ------------------------------------------------------------------

TEST_F(Report, XmlCallsOfAWholeChecksheet) {
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    XMLMode = true;
    BatchMode = true;
    const auto& pages = Print();
    const auto& calls = XmlGenRecorder::Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "CreateChecksheetDocument(en_GB)");
    EXPECT_EQ(calls.back(), "SaveChecksheetXml()");
    // Unattended: the file is written once, after the last page.
    EXPECT_GT(pages.size(), 1u);
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("SaveChecksheetXml").size(), 1u);
    EXPECT_EQ(calls[1], "AddSection(VEHICLE INTERIOR)");
    EXPECT_EQ(calls[2], "AddOperation(1|both||||20)");
    EXPECT_EQ(calls[3], "AddSubHeading(Instruments and controls)");
    EXPECT_EQ(calls[4], "AddStatement(false|false|Check operation of all warning lamps, gauges and the instrument "
                        "illumination$)");
    // Eight headings in the order of the structure, each opened once.
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddSection"),
              (std::vector<std::string>{"AddSection(VEHICLE INTERIOR)", "AddSection(VEHICLE EXTERIOR)",
                                        "AddSection(ENGINE COMPARTMENT)", "AddSection(VEHICLE RAISED - UNDERSIDE$)",
                                        "AddSection(WHEELS AND TYRES)", "AddSection(EXTENDED PERIOD OPERATIONS)",
                                        "AddSection(ROAD TEST)", "AddSection(FINAL CHECKS)"}));
    // Operations under the extended-period heading are optional, the others not.
    const auto ext = std::find(calls.begin(), calls.end(), "AddSection(EXTENDED PERIOD OPERATIONS)");
    const auto road = std::find(calls.begin(), calls.end(), "AddSection(ROAD TEST)");
    int optional = 0;
    for (auto it = ext; it != road; ++it)
        if (it->rfind("AddOperation(", 0) == 0) {
            EXPECT_NE(it->find("|true|"), std::string::npos) << *it;
            ++optional;
        }
    EXPECT_GT(optional, 0);
    for (auto it = calls.begin(); it != ext; ++it)
        if (it->rfind("AddOperation(", 0) == 0) {
            EXPECT_EQ(it->find("|true|1"), std::string::npos);
        }
    // The tests follow the operations, emission test first.
    const auto lastOp = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& s) { return s.rfind("AddOperation", 0) == 0; });
    const auto emission = std::find(calls.begin(), calls.end(), "AddEmissionTest(60|petrol|true)");
    ASSERT_NE(emission, calls.end());
    EXPECT_GT(emission, lastOp.base());
    const std::vector<std::string> tail(emission, calls.end());
    std::vector<std::string> expected = {"AddEmissionTest(60|petrol|true)", "AddFastIdle(2500-3000|0.3|200|0.97-1.03)",
                                         "AddIdle(750-850|0.5|200)", "AddBrakeTest(1150)", "SaveChecksheetXml()"};
    std::vector<std::string> tailWithoutSaves;
    for (const std::string& s : tail)
        if (s != "SaveChecksheetXml()") tailWithoutSaves.push_back(s);
    tailWithoutSaves.push_back("SaveChecksheetXml()");
    EXPECT_EQ(tailWithoutSaves, expected);
}

// ---- hostile data --------------------------------------------------------------------------------

TEST_F(Report, MissingArtworkAndTextsStillFinish) {
    frmTables->imMakerLogo->Picture().SetGraphic(std::make_unique<TBitmap>());
    frmTables->imTick->Picture().SetGraphic(nullptr);
    Exec("DELETE FROM LANGTEXT WHERE TEXT_NO NOT IN (53, 134)");
    frmTables->tblLangText->Refresh();
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    const auto& pages = Print();
    ExpectFinishedJob(pages, LText(134));
    EXPECT_NE(FindText(*pages[0], "*"), nullptr);
    for (const TCanvasRecord& r : pages[0]->Records()) EXPECT_NE(r.Kind, TRecordKind::Bitmap);
}

TEST_F(Report, MissingRowsStillFinish) {
    Exec("DELETE FROM MAINHEAD WHERE MH_CODE = 1");
    Exec("DELETE FROM SUBHEAD WHERE SH_CODE = 1");
    Exec("DELETE FROM ENGINES");
    Exec("DELETE FROM INTERVAL");
    Exec("UPDATE PARAMS SET MARKET_CODE = 'ZZ'");
    for (TTable* t : {frmTables->tblMainHead.get(), frmTables->tblSubHead.get(), frmTables->tblEngines.get(),
                      frmTables->tblInterval.get(), frmTables->tblParams.get()})
        t->Refresh();
    RunChoices c;
    c.Emission = c.Brake = true;
    c.Market = "ZZ";
    Choose(c);
    XMLMode = true;
    const auto& pages = Print();
    ExpectFinishedJob(pages, LText(134));
    // The first heading is missing: its operations print without a band, and open no section.
    EXPECT_EQ(FindText(*pages[0], "VEHICLE INTERIOR"), nullptr);
    EXPECT_NE(FindTextStarting(*pages[0], "Check horn operation"), nullptr);
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("AddSection").front(), "AddSection(VEHICLE EXTERIOR)");
}

TEST_F(Report, HostileOperationTextsStillFinish) {
    const std::pair<int, std::string> texts[] = {
        {101, "$"},  {102, "^"},  {103, "~"},           {104, "__"},  {105, "^STARTS WITH A BREAK"},
        {106, std::string(300, 'X')}, {107, std::string(50, '^')}, {108, ""}, {109, "~~~^^^$$$___"},
        {110, "A~B~C~D"},
    };
    for (const auto& [op, text] : texts)
        Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = '" + text + "', OPERATION_TEXT2 = '', PRETEST_TEXT1 = '', "
             "PRETEST_TEXT2 = '', COMBINED_TEXT1 = '', COMBINED_TEXT2 = '' WHERE OP_CODE = " + std::to_string(op));
    Exec("UPDATE SUBHEAD SET SH_TEXT = '" + std::string(250, 'Y') + "' WHERE SH_CODE = 1");
    frmTables->tblServOps->Refresh();
    frmTables->tblSubHead->Refresh();
    RunChoices c;
    c.PreTest = true;
    Choose(c);
    XMLMode = true;
    const auto& pages = Print();
    ExpectFinishedJob(pages, LText(134));
    const Geometry g = Page();
    for (const auto& page : pages)
        for (const TCanvasRecord& r : page->Records())
            if (r.Kind == TRecordKind::Text && r.Font.Name == "Arial" && r.Logical.Left == 800) {
                EXPECT_LE(r.Logical.Right, g.Right - 270 - 10 + 30) << r.Text;
            }
}

TEST_F(Report, StructureStartingWithAnOperationStillFinishes) {
    Exec("DELETE FROM Csstruct WHERE SEQUENCE_NO = 10");
    frmTables->tblStructure->Refresh();
    Restart();
    XMLMode = true;
    const auto& pages = Print();
    ExpectFinishedJob(pages, LText(134));
    EXPECT_EQ(XmlGenRecorder::Calls()[1], "AddOperation(1|both||||20)");
}

TEST_F(Report, PrinterTooSmallForASectionStillFinishes) {
    TDeviceCaps tiny = TPdfPrinter::A4Caps(poPortrait);
    tiny.PhysicalHeight = 1200;  // 2 inches: the header alone fills the printable area
    tiny.VertRes = 1200 - 2 * tiny.PhysicalOffsetY;
    UsePrinter(std::make_unique<TRecordingPrinter>("Tiny", tiny));
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    const auto& pages = Print();
    ExpectFinishedJob(pages, LText(134));
    // One operation or section a page at least.
    EXPECT_LT(pages.size(), 250u);
}

// ---- code pages ----------------------------------------------------------------------------------

TEST_F(Report, SheetsPrintInTheirLanguagesCodePage) {
    RunChoices c;
    c.Market = "GR";
    c.Language = "GK";
    c.Emission = true;
    c.ModelRange = 104;
    Choose(c);
    const auto& pages = Print();
    EXPECT_EQ(GetACP(), 1253u);
    bool greek = false, degree = false, perMetre = false;
    for (const auto& page : pages)
        for (const TCanvasRecord& r : page->Records()) {
            if (r.Glyphs.find(u"\u0395\u03A3\u03A9\u03A4\u0395\u03A1\u0399\u039A\u039F") != std::u16string::npos) greek = true;
            if (r.Glyphs.find(u"\u00BAC") != std::u16string::npos) degree = true;
            if (r.Glyphs.find(u"m\u00AF\u00B9") != std::u16string::npos) perMetre = true;
        }
    EXPECT_TRUE(greek);
    EXPECT_TRUE(degree);
    EXPECT_TRUE(perMetre);
}

// ---- end to end ------------------------------------------------------------------------------------

TEST_F(Report, PrintsToThePdfPrinterWithItsTexts) {
    const auto pdfFolder = folder / "pdf";
    std::filesystem::create_directories(pdfFolder);
    auto pdf = std::make_unique<TPdfPrinter>(pdfFolder.string());
    TPdfPrinter* device = pdf.get();
    UsePrinter(std::move(pdf));
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    modReporting->prnReport->Print();
    ASSERT_FALSE(device->LastFile().empty());
    const std::string out = (pdfFolder / "text.txt").string();
    const std::string command = "pdftotext -layout '" + device->LastFile() + "' '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    for (const std::string& wanted : {LText(62), std::string("HARBOURSIDE MOTORS LTD"), std::string("VEHICLE INTERIOR"),
                                      std::string("Check horn operation"), std::string("FAST IDLE TEST 1"), LText(121),
                                      LText(134), std::string("10,000 ml")})
        EXPECT_NE(text.str().find(wanted), std::string::npos) << wanted;
}

TEST_F(Report, CustomerBlockFollowsTheHandOffRule) {
    Exec("UPDATE PARAMS SET CUSTOMER_DETAILS = 0");
    frmTables->tblParams->Refresh();
    HandOffMode = true;
    CustCompany = "ACME HAULAGE";
    EXPECT_NE(FindText(*Print()[0], LText(15)), nullptr) << "hand-off with customer details";
    CustCompany.clear();
    CustAddr1 = "ONLY AN ADDRESS";
    Restart();
    EXPECT_EQ(FindText(*Print()[0], LText(15)), nullptr) << "hand-off without name or company";
    HandOffMode = false;
    CustName = "J SMITH";
    Restart();
    EXPECT_EQ(FindText(*Print()[0], LText(15)), nullptr) << "settings say no";
}

TEST_F(Report, BrakeTestMarkOnlyWithBothKinds) {
    RunChoices c;
    c.Brake = true;
    Choose(c);
    const auto& pages = Print();
    for (const TCanvasRecord& r : pages.back()->Records()) EXPECT_NE(r.Font.Name, "Wingdings");
}

TEST_F(Report, NothingRunsIntoTheFooterForAnyMarketLanguageOrKinds) {
    const std::pair<const char*, const char*> runs[] = {{"GB", "EN"}, {"DX", "DE"}, {"PL", "PO"}, {"GR", "GK"}};
    const int ranges[] = {101, 102, 104, 103};
    for (const auto& [market, language] : runs)
        for (int kinds = 1; kinds < 16; ++kinds) {
            RunChoices c;
            c.Market = market;
            c.Language = language;
            c.ModelRange = ranges[kinds % 4];
            c.Service = kinds & 1;
            c.PreTest = kinds & 2;
            c.Emission = kinds & 4;
            c.Brake = kinds & 8;
            if (!c.Service && !c.PreTest) continue;
            Choose(c);
            SpecInstr[1] = SpecInstr[2] = SpecInstr[3] = SpecInstr[4] = "A SPECIAL INSTRUCTION";
            const auto& pages = Print();
            ExpectFinishedJob(pages, LText(134));
            const Geometry g = Page();
            for (std::size_t i = 0; i < pages.size(); ++i)
                for (const TCanvasRecord& r : pages[i]->Records()) {
                    if (r.Logical.Top == g.Bottom && r.Kind == TRecordKind::Text) continue;  // the footer
                    const int lowest = std::min(r.Logical.Top, r.Kind == TRecordKind::Text ? r.Logical.Top : r.Logical.Bottom);
                    EXPECT_GT(lowest, g.Bottom + 40) << market << language << " kinds " << kinds << " page " << i + 1
                                                    << " " << r.Text;
                }
        }
}

TEST_F(Report, OperationTallerThanAPageIsPrintedOnAPageOfItsOwn) {
    // Two fields of 250 characters: 100 forced lines.
    std::string first, second;
    for (int i = 0; i < 100; ++i) (i < 50 ? first : second) += "L" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "^";
    Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = '" + first + "', OPERATION_TEXT2 = '" + second + "' WHERE OP_CODE = 102");
    frmTables->tblServOps->Refresh();
    const auto& pages = Print();
    ExpectFinishedJob(pages, LText(134));
    // It does not fit below the rows before it, so it opens the next page and is printed there whole.
    int page = -1;
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (FindText(*pages[i], "L00 ")) page = static_cast<int>(i);
    ASSERT_GE(page, 1);
    EXPECT_NE(FindText(*pages[page], "L99 "), nullptr);
    EXPECT_EQ(FindTextStarting(*pages[page - 1], "L0"), nullptr);
    EXPECT_EQ(FindTextStarting(*pages[page + 1], "L9"), nullptr);
}

// ---- driven by the checksheet form ----------------------------------------------------------

TEST_F(Report, TheChecksheetFormsChoicesDriveTheRun) {
    frmSpecInst = new TfrmSpecInst(nullptr);
    frmExtPer = new TfrmExtPer(nullptr);
    ModelRange = IntervalNo = 0;
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        ASSERT_TRUE(FormsScript::Select(*c.cmbModels, c.cmbModels->Items.IndexOf("PELLOR")));
        for (int i = 0; i < c.cmbVariants->Items.Count(); ++i)
            if (ItemCode(c.cmbVariants->Items[i]) == 106) FormsScript::Select(*c.cmbVariants, i);
        ASSERT_TRUE(FormsScript::Select(*c.cmbInterval, 2));
        FormsScript::Click(*c.cbPreTest);
        FormsScript::Click(*c.cbEmissionTest);
        // What the print and view buttons take from the form before a run.
        ModelText = c.cmbModels->Text();
        VariantText = c.cmbVariants->Text();
        IntervalText = c.cmbInterval->Text();
        DoService = c.cbService->Checked();
        DoPreTest = c.cbPreTest->Checked();
        DoEmissionTest = c.cbEmissionTest->Checked();
        DoBrakeTest = c.cbBrakeTest->Checked();
        f.Close();
    });
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    delete frmExtPer;
    frmExtPer = nullptr;
    delete frmSpecInst;
    frmSpecInst = nullptr;
    ASSERT_EQ(ModelRange, 106);
    ASSERT_TRUE(DoService && DoPreTest && DoEmissionTest);
    Restart();
    XMLMode = true;
    const auto& pages = Print();
    ExpectFinishedJob(pages, LText(134));
    // The form positioned the model range and engine rows the sections read: petrol, with catalyst.
    EXPECT_NE(XmlGenRecorder::CallsStartingWith("AddEmissionTest(60|petrol|true)").size(), 0u);
    // The hidden parts of the list items never print.
    for (const auto& page : pages)
        for (const std::string& text : Texts(*page)) EXPECT_EQ(text.find('\xB6'), std::string::npos) << text;
    EXPECT_NE(FindText(*pages[0], "PELLOR"), nullptr);
    EXPECT_NE(FindTextStarting(*pages[0], ItemText(VariantText).substr(0, 8)), nullptr);
    EXPECT_NE(FindText(*pages[0], TrimRight(ItemText(IntervalText))), nullptr);
}
