// The print job component: metrics in every mapping mode, the page loop, and the order of its
// events on success, refusal and exceptions, on a recording printer.
#include "Printout.h"
#include "RecordingPrinter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

/// Installs a printer object holding one recording printer for the test's lifetime.
class PrintoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto printer = std::make_unique<TPrinter>();
        auto device = std::make_unique<TRecordingPrinter>();
        Recorder = device.get();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        devices.push_back(std::move(device));
        printer->SetDevices(std::move(devices), 0);
        Saved = SetPrinter(std::move(printer));
    }
    void TearDown() override { SetPrinter(std::move(Saved)); }

    /// Binds every event of the printout to a log line.
    void Log(tPrintout& p, int pages) {
        p.OnPrepare = [this](TObject*, bool&) { Events.push_back("prepare"); };
        p.OnHasData = [this](TObject*, bool&) { Events.push_back("hasdata"); };
        p.OnRelease = [this](TObject*) { Events.push_back("release"); };
        p.OnPrintPage = [this, pages](TObject*, TCanvas&, tPrintInformation, int page, bool& more) {
            Events.push_back("page " + std::to_string(page));
            more = page < pages;
        };
    }

    TRecordingPrinter* Recorder = nullptr;
    std::unique_ptr<TPrinter> Saved;
    std::vector<std::string> Events;
};

TEST_F(PrintoutTest, CreateSetsTheDefaults) {
    tPrintout p;
    EXPECT_EQ(p.Title, "Printout");
    EXPECT_EQ(p.MapMode, mmLoMetric);
    EXPECT_EQ(p.Orientation(), poPortrait);
    EXPECT_EQ(p.MapModeValue(), MM_LOMETRIC);
}

TEST_F(PrintoutTest, EventsNameThePrintoutAsSenderAndAnOwnerFreesIt) {
    TComponent owner(nullptr);
    auto* p = new tPrintout(&owner);
    std::vector<TObject*> senders;
    p->OnPrepare = [&](TObject* s, bool&) { senders.push_back(s); };
    p->OnPrintPage = [&](TObject* s, TCanvas&, tPrintInformation, int, bool&) { senders.push_back(s); };
    p->OnRelease = [&](TObject* s) { senders.push_back(s); };
    p->Print();
    EXPECT_EQ(senders, (std::vector<TObject*>{p, p, p}));
    EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST_F(PrintoutTest, LoMetricOnA4GivesTheSheetInTenthsOfAMillimetre) {
    tPrintout p;
    tPrintInformation info;
    p.ComputePrintInformation(info);
    EXPECT_EQ(info.PixelsPerInch, (TPoint{600, 600}));
    EXPECT_EQ(info.PhysicalPageSize, (TPoint{4961, 7016}));
    EXPECT_EQ(info.PhysicalOffset, (TPoint{100, 100}));
    EXPECT_NEAR(info.PageSize.x, 2100, 1);
    EXPECT_NEAR(info.PageSize.y, 2970, 1);
    EXPECT_DOUBLE_EQ(info.UnitsPerPoint, 254 / 72.0);
    // The printable area keeps the signs of a y-up mode.
    EXPECT_EQ(info.PrintableArea.Left, 42);
    EXPECT_EQ(info.PrintableArea.Top, -42);
    EXPECT_EQ(info.PrintableArea.Right, std::lround(4861 * 254 / 600.0));
    EXPECT_EQ(info.PrintableArea.Bottom, -std::lround(6916 * 254 / 600.0));
    EXPECT_EQ(info.Pixels1000, (TPoint{423, -423}));
}

TEST_F(PrintoutTest, TextModeKeepsDeviceValues) {
    tPrintout p;
    p.MapMode = mmText;
    tPrintInformation info;
    p.ComputePrintInformation(info);
    EXPECT_EQ(info.PageSize, info.PhysicalPageSize);
    EXPECT_EQ(info.PrintableArea, (TRect{100, 100, 4861, 6916}));
    EXPECT_EQ(info.Pixels1000, (TPoint{1000, 1000}));
    EXPECT_DOUBLE_EQ(info.UnitsPerPoint, 600 / 72.0);
    EXPECT_EQ(p.LogicalUnitsPerInch(), (TPoint{0, 0}));
}

TEST_F(PrintoutTest, EveryModeMapsOneInchToItsUnits) {
    struct Mode { tMapMode mode; int value; int units; };
    const Mode modes[] = {{mmHiEnglish, MM_HIENGLISH, 1000}, {mmHiMetric, MM_HIMETRIC, 2540},
                          {mmLoEnglish, MM_LOENGLISH, 100},  {mmLoMetric, MM_LOMETRIC, 254},
                          {mmTwips, MM_TWIPS, 1440}};
    for (const Mode& m : modes) {
        tPrintout p;
        p.MapMode = m.mode;
        EXPECT_EQ(p.MapModeValue(), m.value);
        EXPECT_EQ(p.LogicalUnitsPerInch(), (TPoint{m.units, -m.units}));
        tPrintInformation info;
        p.ComputePrintInformation(info);
        EXPECT_DOUBLE_EQ(info.UnitsPerPoint, m.units / 72.0) << m.value;
        EXPECT_EQ(info.PageSize.x, std::lround(4961.0 * m.units / 600)) << m.value;
        EXPECT_LT(info.PrintableArea.Top, 0) << m.value;
    }
}

TEST_F(PrintoutTest, LandscapeIsAppliedToThePrinterBeforeMeasuring) {
    tPrintout p;
    p.SetOrientation(poLandscape);
    tPrintInformation info;
    p.ComputePrintInformation(info);
    EXPECT_EQ(Printer()->Orientation(), poLandscape);
    EXPECT_EQ(info.PhysicalPageSize, (TPoint{7016, 4961}));
}

TEST_F(PrintoutTest, OrientationNotifiesOnlyOnChange) {
    tPrintout p;
    int calls = 0;
    p.SetChangeNotification([&] { ++calls; });
    p.SetOrientation(poPortrait);
    EXPECT_EQ(calls, 0);
    p.SetOrientation(poLandscape);
    p.SetOrientation(poLandscape);
    EXPECT_EQ(calls, 1);
}

TEST_F(PrintoutTest, AHandlerThatNeverSetsMoreDataPrintsOnePage) {
    tPrintout p;
    p.OnPrintPage = [](TObject*, TCanvas&, tPrintInformation, int, bool&) {};
    p.Print();
    ASSERT_EQ(Recorder->Jobs().size(), 1u);
    EXPECT_EQ(Recorder->Jobs()[0].Pages.size(), 1u);
    EXPECT_TRUE(Recorder->Jobs()[0].Ended);
    EXPECT_EQ(Recorder->Jobs()[0].Title, "Printout");
}

TEST_F(PrintoutTest, SuccessRunsEventsInOrderWithPageNumbersFromThePrinter) {
    tPrintout p;
    Log(p, 3);
    p.Print();
    EXPECT_EQ(Events, (std::vector<std::string>{"prepare", "hasdata", "page 1", "page 2", "page 3", "release"}));
    EXPECT_EQ(Recorder->Jobs()[0].Pages.size(), 3u);
    EXPECT_FALSE(Printer()->Printing());
}

TEST_F(PrintoutTest, RefusedPreparationStartsNoJobButReleases) {
    tPrintout p;
    Log(p, 1);
    p.OnPrepare = [this](TObject*, bool& ok) { Events.push_back("prepare"); ok = false; };
    p.Print();
    EXPECT_EQ(Events, (std::vector<std::string>{"prepare", "release"}));
    EXPECT_TRUE(Recorder->Jobs().empty());
}

TEST_F(PrintoutTest, NoDataStartsNoJobButReleases) {
    tPrintout p;
    Log(p, 1);
    p.OnHasData = [this](TObject*, bool& has) { Events.push_back("hasdata"); has = false; };
    p.Print();
    EXPECT_EQ(Events, (std::vector<std::string>{"prepare", "hasdata", "release"}));
    EXPECT_TRUE(Recorder->Jobs().empty());
}

TEST_F(PrintoutTest, AnExceptionInAPageEndsTheJobReleasesAndPassesOn) {
    tPrintout p;
    Log(p, 5);
    p.OnPrintPage = [this](TObject*, TCanvas&, tPrintInformation, int page, bool& more) {
        Events.push_back("page " + std::to_string(page));
        if (page == 2) throw std::runtime_error("page failed");
        more = true;
    };
    EXPECT_THROW(p.Print(), std::runtime_error);
    EXPECT_EQ(Events, (std::vector<std::string>{"prepare", "hasdata", "page 1", "page 2", "release"}));
    EXPECT_TRUE(Recorder->Jobs()[0].Ended);
    EXPECT_FALSE(Printer()->Printing());
    // The flags are cleared: metrics are computed afresh.
    p.SetOrientation(poLandscape);
    tPrintInformation info;
    p.ComputePrintInformation(info);
    EXPECT_EQ(info.PhysicalPageSize.x, 7016);
}

TEST_F(PrintoutTest, AnExceptionInPrepareStillReleases) {
    tPrintout p;
    Log(p, 1);
    p.OnPrepare = [this](TObject*, bool&) { Events.push_back("prepare"); throw std::runtime_error("no"); };
    EXPECT_THROW(p.Print(), std::runtime_error);
    EXPECT_EQ(Events, (std::vector<std::string>{"prepare", "release"}));
}

TEST_F(PrintoutTest, NoPrinterRaisesTheMessageAndFiresNothing) {
    Printer()->SetDevices({}, -1);
    tPrintout p;
    Log(p, 1);
    try {
        p.Print();
        FAIL() << "printed without a printer";
    } catch (const EPrinter& e) {
        EXPECT_EQ(e.Message, "Unable to print - Please ensure that your printer is correctly configured");
    }
    EXPECT_TRUE(Events.empty());
}

TEST_F(PrintoutTest, WithoutAPageHandlerOnlyThePrinterIsReset) {
    tPrintout p;
    p.OnPrepare = [this](TObject*, bool&) { Events.push_back("prepare"); };
    Printer()->SetOrientation(poLandscape);
    p.Print();
    EXPECT_TRUE(Events.empty());
    EXPECT_TRUE(Recorder->Jobs().empty());
    EXPECT_EQ(Printer()->Orientation(), poPortrait);
}

TEST_F(PrintoutTest, TheJobKeepsItsMetricsAndPrinterDefaultsReturnAfterwards) {
    tPrintout p;
    p.SetOrientation(poLandscape);
    std::vector<tPrintInformation> seen;
    p.OnPrintPage = [&](TObject*, TCanvas&, tPrintInformation info, int page, bool& more) {
        tPrintInformation again;
        p.SetOrientation(poPortrait);  // a handler changing its mind mid-job changes nothing
        p.ComputePrintInformation(again);
        seen.push_back(again);
        EXPECT_EQ(again.PhysicalPageSize, info.PhysicalPageSize);
        more = page < 2;
    };
    p.Print();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].PhysicalPageSize, (TPoint{7016, 4961}));
    EXPECT_EQ(Recorder->Jobs()[0].Orientation, poLandscape);
    EXPECT_EQ(Printer()->Orientation(), poPortrait);
}

TEST_F(PrintoutTest, PagesPutTheLogicalOriginOnTheSheetCorner) {
    tPrintout p;
    p.Title = "Geometry";
    p.OnPrintPage = [](TObject*, TCanvas& c, tPrintInformation info, int, bool&) {
        c.Font.Height = -std::lround(10 * info.UnitsPerPoint);
        c.TextOut(1000, -500, "Here");
        c.Rectangle(100, -100, 300, -300);
    };
    p.Print();
    const auto& page = *Recorder->Jobs()[0].Pages[0];
    ASSERT_GE(page.Records().size(), 3u);
    const TCanvasRecord& blank = page.Records()[0];
    EXPECT_EQ(blank.Text, " ");
    EXPECT_FALSE(blank.Opaque);
    EXPECT_EQ(blank.Device.Left, 0);
    EXPECT_EQ(blank.Font.Name, "Arial");
    const TCanvasRecord& text = page.Records()[1];
    EXPECT_EQ(text.Text, "Here");
    EXPECT_EQ(text.Device.Left, std::lround(1000 * 600 / 254.0));  // measured from the sheet's corner
    EXPECT_EQ(text.Device.Top, std::lround(500 * 600 / 254.0));
    EXPECT_EQ(text.Font.Family, "Liberation Sans");
    EXPECT_EQ(text.Font.PixelSize, std::lround(std::lround(10 * 254 / 72.0) * 600 / 254.0));
    EXPECT_EQ(page.Records()[2].Device, (TRect{236, 236, 709, 709}));
}

TEST_F(PrintoutTest, PrintBitmapStretchesUprightIntoTheRectangle) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(2, 2);
    auto* top = static_cast<uint8_t*>(bmp.ScanLine(0));
    top[2] = 255;  // top-left red
    tPrintout p;
    p.OnPrintPage = [&](TObject*, TCanvas& c, tPrintInformation, int, bool&) {
        PrintBitmap(c, TRect{100, -100, 350, -350}, bmp);
    };
    p.Print();
    const auto& records = Recorder->Jobs()[0].Pages[0]->Records();
    ASSERT_EQ(records.size(), 2u);
    const TCanvasRecord& r = records[1];
    ASSERT_EQ(r.Kind, TRecordKind::Bitmap);
    EXPECT_LT(r.Device.Top, r.Device.Bottom);  // not mirrored
    EXPECT_LT(r.Device.Left, r.Device.Right);
    EXPECT_EQ(r.Picture.Pixel(0, 0), clRed);
    EXPECT_EQ(r.Picture.Pixel(1, 1), clBlack);
}

TEST_F(PrintoutTest, PrintBitmapOfAnEmptyBitmapDrawsNothing) {
    TBitmap empty;
    tPrintout p;
    p.OnPrintPage = [&](TObject*, TCanvas& c, tPrintInformation, int, bool&) {
        PrintBitmap(c, TRect{100, -100, 350, -350}, empty);
    };
    p.Print();
    const auto& records = Recorder->Jobs()[0].Pages[0]->Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Text, " ") << "only the blank every page begins with";
}

}  // namespace
