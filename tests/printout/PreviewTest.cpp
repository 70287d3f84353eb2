// The print preview: activation through the job's events, rendering in order, the page limits,
// the cache, zoom states, click zoom, drag scrolling and painting, on a recording printer.
#include "Preview.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FormsScript.h"
#include "RecordingPrinter.h"

namespace {

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        FormsScript::Reset();
        auto printer = std::make_unique<TPrinter>();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        devices.push_back(std::make_unique<TRecordingPrinter>());
        printer->SetDevices(std::move(devices), 0);
        Saved = SetPrinter(std::move(printer));
        Form = std::make_unique<TForm>(nullptr);
        Preview = new tPrintPreview(Form.get());
        Preview->SetParent(Form.get());
        Preview->SetBounds(0, 0, 600, 400);
        Job.OnPrepare = [this](TObject*, bool& ok) {
            Events.push_back("prepare");
            ok = PrepareAnswer;
        };
        Job.OnHasData = [this](TObject*, bool&) { Events.push_back("hasdata"); };
        Job.OnRelease = [this](TObject*) { Events.push_back("release"); };
        Job.OnPrintPage = [this](TObject* sender, TCanvas& canvas, tPrintInformation, int page, bool& more) {
            EXPECT_EQ(sender, Preview);
            Rendered.push_back(page);
            canvas.TextOut(200, -200, "Page " + std::to_string(page));
            more = page < Pages;
        };
    }
    void TearDown() override {
        Form.reset();
        SetPrinter(std::move(Saved));
    }

    std::unique_ptr<TPrinter> Saved;
    std::unique_ptr<TForm> Form;
    tPrintPreview* Preview = nullptr;
    tPrintout Job;
    int Pages = 4;
    bool PrepareAnswer = true;
    std::vector<std::string> Events;
    std::vector<int> Rendered;
};

}  // namespace

TEST_F(PreviewTest, DefaultsAndBindingRunTheJobsPreparation) {
    EXPECT_FALSE(Preview->Active());
    EXPECT_EQ(Preview->Margin(), 16);
    EXPECT_EQ(Preview->PageCache(), 8);
    EXPECT_EQ(Preview->ZoomState(), zsPageWidth);
    EXPECT_EQ(Preview->Color(), clGray);
    Preview->SetPrintout(&Job);
    EXPECT_TRUE(Preview->Active());
    EXPECT_EQ(Events, (std::vector<std::string>{"prepare", "hasdata"}));
    EXPECT_EQ(Preview->PrintInformation().PixelsPerInch, (TPoint{600, 600}));
    Preview->SetPrintout(nullptr);
    EXPECT_FALSE(Preview->Active());
    EXPECT_EQ(Events.back(), "release");
}

TEST_F(PreviewTest, RefusedPreparationReleasesAndAbortsSilently) {
    PrepareAnswer = false;
    EXPECT_THROW(Preview->SetPrintout(&Job), EAbort);
    EXPECT_FALSE(Preview->Active());
    EXPECT_EQ(Events, (std::vector<std::string>{"prepare", "release"}));
    EXPECT_EQ(Preview->WantedPage(), nullptr);
}

TEST_F(PreviewTest, JobWithoutPageEventOrPrinterLeavesThePreviewInactive) {
    Job.OnPrintPage = nullptr;
    Preview->SetPrintout(&Job);
    EXPECT_FALSE(Preview->Active());
    EXPECT_TRUE(Events.empty());
    EXPECT_EQ(Preview->SheetRect(), TRect{});
}

TEST_F(PreviewTest, FarPageRendersEveryPageInOrderAndStopsOnTheLast) {
    Preview->SetPrintout(&Job);
    int changes = 0;
    Preview->OnChange = [&](TObject*) { ++changes; };
    Preview->SetPageNumber(200);
    EXPECT_EQ(Rendered, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Preview->PageNumber(), 4);
    EXPECT_EQ(Preview->FinalPageNumber(), 4);
    EXPECT_GE(changes, 2);
    ASSERT_NE(Preview->CachedPage(4), nullptr);
    EXPECT_NE(Preview->CachedPage(4)->TextDump().find("Page 4"), std::string::npos);
    // Painting replays what was rendered.
    Preview->WantedPage();
    EXPECT_EQ(Rendered.size(), 4u);
}

TEST_F(PreviewTest, PageNumberIsClampedToTheLastAndBelowOneIgnored) {
    Preview->SetPrintout(&Job);
    Preview->SetPageNumber(200);
    Preview->SetPageNumber(9);
    EXPECT_EQ(Preview->PageNumber(), 4);
    Preview->SetPageNumber(0);
    EXPECT_EQ(Preview->PageNumber(), 4);
    Preview->SetPageNumber(2);
    EXPECT_EQ(Preview->PageNumber(), 2);
    Preview->SetFinalPageNumber(-3);
    EXPECT_EQ(Preview->FinalPageNumber(), 4);
    Preview->SetFinalPageNumber(1);
    EXPECT_EQ(Preview->PageNumber(), 1);
}

TEST_F(PreviewTest, CacheKeepsTheNewestRenderedPages) {
    Pages = 10;
    Preview->SetPageCache(2);
    Preview->SetPrintout(&Job);
    Preview->SetPageNumber(3);
    EXPECT_EQ(Preview->CachedPage(1), nullptr);
    EXPECT_NE(Preview->CachedPage(2), nullptr);
    EXPECT_NE(Preview->CachedPage(3), nullptr);
    // A page that left the cache is rendered again on its own.
    Rendered.clear();
    Preview->SetPageNumber(1);
    EXPECT_EQ(Rendered, std::vector<int>{1});
    EXPECT_EQ(Preview->CachedPage(2), nullptr);

    Preview->SetPageCache(8);
    Preview->SetPageNumber(8);  // renders 4 to 8 after 3 and 1
    EXPECT_EQ(Preview->CachedPageCount(), 7);
    Preview->SetPageCache(2);
    EXPECT_EQ(Preview->CachedPageCount(), 2);
    EXPECT_NE(Preview->CachedPage(7), nullptr);
    EXPECT_NE(Preview->CachedPage(8), nullptr);
    Preview->SetPageCache(0);
    EXPECT_EQ(Preview->PageCache(), 2);
}

TEST_F(PreviewTest, ZoomOutsideItsRangeIsIgnoredAndACustomZoomSwitchesState) {
    Preview->SetPrintout(&Job);
    // A4 at 600 dpi is 793 pixels wide on the screen: the page width fits 568 - 17 pixels.
    EXPECT_EQ(Preview->Zoom(), 69);
    EXPECT_EQ(Preview->SheetRect(), (TRect{16, 16, 16 + 547, 16 + 774}));
    Preview->SetZoom(5);
    Preview->SetZoom(600);
    EXPECT_EQ(Preview->ZoomState(), zsPageWidth);
    Preview->SetZoom(250);
    EXPECT_EQ(Preview->ZoomState(), zsCustom);
    EXPECT_EQ(Preview->Zoom(), 250);
    EXPECT_EQ(Preview->VertScrollBar.Range(), 16 + 1122 * 250 / 100 + 16);
    Preview->SetZoomState(zsFullPage);
    EXPECT_EQ(Preview->Zoom(), std::min(568 * 100 / 793, 368 * 100 / 1122));
    Preview->SetMargin(300);
    EXPECT_EQ(Preview->Margin(), 16);
}

TEST_F(PreviewTest, ClickZoomsToFullSizeAroundTheSpotAndASecondClickShowsTheWholePage) {
    Preview->SetPrintout(&Job);
    Preview->MouseDown(TMouseButton::mbLeft, 290, 300);
    EXPECT_EQ(Preview->ZoomState(), zsCustom);
    EXPECT_EQ(Preview->Zoom(), 100);
    const int fx = (290 - 16) * 1000 / 547, fy = (300 - 16) * 1000 / 774;
    EXPECT_EQ(Preview->HorzScrollBar.Position(), 16 + 793 * fx / 1000 - 300);
    EXPECT_EQ(Preview->VertScrollBar.Position(), 16 + 1122 * fy / 1000 - 200);
    Preview->MouseDown(TMouseButton::mbLeft, 10, 10);
    EXPECT_EQ(Preview->ZoomState(), zsFullPage);

    // Near the right edge the scroll bar stops at its end.
    Preview->SetZoomState(zsPageWidth);
    Preview->MouseDown(TMouseButton::mbLeft, 560, 100);
    EXPECT_EQ(Preview->HorzScrollBar.Position(), 16 + 793 + 16 - 600);
}

TEST_F(PreviewTest, RightDragScrollsAndRestoresTheCursor) {
    Preview->SetPrintout(&Job);
    Preview->SetZoom(200);
    Preview->MouseDown(TMouseButton::mbRight, 300, 300);
    EXPECT_EQ(Screen->Cursor(), crHandPoint);
    Preview->MouseMove(250, 280);
    Preview->MouseMove(200, 260);
    EXPECT_EQ(Preview->HorzScrollBar.Position(), 100);
    EXPECT_EQ(Preview->VertScrollBar.Position(), 40);
    Preview->MouseUp(TMouseButton::mbRight, 200, 260);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    Preview->MouseMove(0, 0);
    EXPECT_EQ(Preview->HorzScrollBar.Position(), 100);
}

TEST_F(PreviewTest, OrientationChangeDropsTheRenderedPages) {
    Preview->SetPrintout(&Job);
    Preview->SetPageNumber(200);
    Job.SetOrientation(poLandscape);
    EXPECT_EQ(Preview->CachedPageCount(), 0);
    EXPECT_EQ(Preview->FinalPageNumber(), 0);
    EXPECT_EQ(Preview->PrintInformation().PhysicalPageSize, (TPoint{7016, 4961}));
}

TEST_F(PreviewTest, PaintDrawsFrameShadowAndThePage) {
    Preview->SetPrintout(&Job);
    TMetafile screen;
    screen.SetWidth(600);
    screen.SetHeight(400);
    {
        TMetafileCanvas canvas(screen);
        Preview->Paint(canvas);
    }
    const auto& records = screen.Records();
    ASSERT_GE(records.size(), 4u);
    EXPECT_EQ(records[0].Kind, TRecordKind::Rectangle);
    EXPECT_EQ(records[0].Device, (TRect{15, 15, 16 + 547 + 1, 16 + 774 + 1}));
    EXPECT_EQ(records[1].Kind, TRecordKind::FillRect);
    EXPECT_EQ(records[1].BrushColor, clBlack);
    EXPECT_NE(screen.TextDump().find("Page 1"), std::string::npos);
}

TEST_F(PreviewTest, PageEventThatRaisesCachesNothing) {
    Preview->SetPrintout(&Job);
    Job.OnPrintPage = [](TObject*, TCanvas&, tPrintInformation, int page, bool& more) {
        if (page == 2) throw Exception("page fault");
        more = true;
    };
    EXPECT_THROW(Preview->SetPageNumber(3), Exception);
    EXPECT_EQ(Preview->CachedPage(2), nullptr);
    EXPECT_EQ(Preview->FinalPageNumber(), 0);
}

TEST_F(PreviewTest, PagesThatAreNotRecordedAreStillLaidOutOnTheirDevice) {
    Preview->RecordPages = false;
    int measured = 0;
    Job.OnPrintPage = [&](TObject*, TCanvas& canvas, tPrintInformation, int page, bool& more) {
        Rendered.push_back(page);
        EXPECT_FALSE(canvas.Draws());
        // Text measures as on the printer (600 dots per inch) in the job's mapping mode.
        canvas.Font.Height = -35;
        measured = canvas.TextHeight("M");
        canvas.TextOut(200, -200, "Page " + std::to_string(page));
        more = page < Pages;
    };
    Preview->SetPrintout(&Job);
    Preview->SetPageNumber(200);
    EXPECT_EQ(Rendered, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Preview->FinalPageNumber(), 4);
    ASSERT_NE(Preview->CachedPage(4), nullptr);
    EXPECT_TRUE(Preview->CachedPage(4)->Records().empty());
    EXPECT_GT(measured, 35);
}
