// The pre-printed forms dialog, the training print and the page-image routines, headless:
// page images are written into each test's own folder, pages go to a recording printer that
// notes the cursor and the wait window at the start of every job, message boxes are scripted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "ChecksheetFixture.h"
#include "DocPrint.h"
#include "ImageReaders.h"
#include "PageImages.h"
#include "PdfPrinter.h"
#include "RecordingPrinter.h"
#include "TRPrint.h"

namespace {

/// A recording printer that also notes, when each job starts, the screen cursor and whether
/// the training wait window is up.
class SpyPrinter : public TRecordingPrinter {
public:
    TCanvasBackend* BeginJob(const std::string& title, TPrinterOrientation orientation, int copies) override {
        Cursors.push_back(Screen->Cursor());
        WaitWindowShown.push_back(frmTrainingSheet != nullptr && frmTrainingSheet->Visible());
        return TRecordingPrinter::BeginJob(title, orientation, copies);
    }
    std::vector<TCursor> Cursors;
    std::vector<bool> WaitWindowShown;
};

/// Today's month as MM/YYYY, and a month later.
std::string MonthText(int monthsAhead) {
    int y = 0, m = 0, d = 0;
    DecodeDate(Date(), y, m, d);
    m += monthsAhead;
    while (m > 12) { m -= 12; ++y; }
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%04d", m, y);
    return text;
}

class DocPrint : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        RegisterImageReaders();
        auto printer = std::make_unique<TPrinter>();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        auto spy = std::make_unique<SpyPrinter>();
        Spy = spy.get();
        devices.push_back(std::move(spy));
        printer->SetDevices(std::move(devices), 0);
        Saved = SetPrinter(std::move(printer));
        frmTables->tblLangText->Open();
        Market = "GB";
        Language = "EN";
        Screen->SetCursor(crDefault);
    }

    void TearDown() override {
        SetPrinter(std::move(Saved));
        UnregisterImageReaders();
        ChecksheetFixture::TearDown();
    }

    /// Writes a small page image under `name`; its pixel width tells it apart when printed.
    void Page(const std::string& name, int bits = 1, artwork::TiffCoding coding = artwork::TiffCoding::LZW) {
        const int width = 40 + 4 * int(Widths.size());
        Widths[width] = name;
        artwork::writeTiff(artwork::paintFormPage("PAGE", "", width, 56), bits, coding, 150, (folder / name).string());
    }
    void Pages(std::initializer_list<const char*> names) {
        for (const char* n : names) Page(n);
    }
    void Damaged(const std::string& name) { std::ofstream(folder / name, std::ios::binary) << "II*\0garbage"; }

    /// The page files printed, one per job, in order; every job is checked to be one ended
    /// portrait page whose only drawing is the bitmap over the whole printer page.
    std::vector<std::string> Printed() {
        std::vector<std::string> names;
        TPrinter& printer = *Printer();
        for (const TRecordedJob& job : Spy->Jobs()) {
            EXPECT_TRUE(job.Ended);
            EXPECT_FALSE(job.Aborted);
            EXPECT_EQ(job.Orientation, poPortrait);
            EXPECT_EQ(job.Pages.size(), 1u);
            if (job.Pages.size() != 1) continue;
            const auto& records = job.Pages[0]->Records();
            EXPECT_EQ(records.size(), 1u);
            if (records.empty()) continue;
            const TCanvasRecord& r = records[0];
            EXPECT_EQ(r.Kind, TRecordKind::Bitmap);
            EXPECT_EQ(r.Logical, (TRect{0, 0, printer.PageWidth(), printer.PageHeight()}));
            auto it = Widths.find(r.Picture.Width());
            names.push_back(it == Widths.end() ? "?" : it->second);
            // The job is named after the page file as the program asks for it.
            std::string asked = names.back().substr(0, names.back().rfind('.'));
            for (char& c : asked) c = char(std::toupper(static_cast<unsigned char>(c)));
            std::string title = job.Title;
            for (char& c : title) c = char(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(title, asked);
        }
        return names;
    }

    /// Shows the dialog; `act` runs with it shown, then it is closed.
    void RunDialog(const std::function<void(TfrmPrint&)>& act) {
        auto form = std::make_unique<TfrmPrint>(nullptr);
        FormsScript::OnForm("frmPrint", [&](TForm& f) { act(static_cast<TfrmPrint&>(f)); });
        FormsScript::OnForm("frmPrint", [](TForm& f) { FormsScript::Click(*static_cast<TfrmPrint&>(f).btnExit); });
        EXPECT_EQ(form->ShowModal(), mrCancel);
        EXPECT_EQ(FormsScript::PendingActions(), 0);
    }

    /// Chooses a kind and prints it.
    std::vector<std::string> PrintKind(TRadioButton* TfrmPrint::*button) {
        RunDialog([&](TfrmPrint& f) {
            EXPECT_TRUE(FormsScript::Click(*(f.*button)));
            EXPECT_TRUE(FormsScript::Click(*f.btnPrint));
        });
        return Printed();
    }

    void ExpectCleanEnd() {
        EXPECT_EQ(Screen->Cursor(), crDefault);
        EXPECT_FALSE(Printer()->Printing());
        for (TCursor c : Spy->Cursors) EXPECT_EQ(c, crHourGlass);
    }

    using Names = std::vector<std::string>;
    SpyPrinter* Spy = nullptr;
    std::unique_ptr<TPrinter> Saved;
    std::map<int, std::string> Widths;
};

}  // namespace

// ---- series: file names, order, substitutes, end ----

TEST_F(DocPrint, PdiSeriesTakesEnglishStandInsForTheFirstTwoPagesOnly) {
    Market = "AX";
    Language = "DE";
    Pages({"ENPDI1.TIF", "ENPDI2.TIF", "DEPDI3.TIF", "ENPDI4.TIF", "DEPDI5.TIF"});
    // DEPDI4 is missing and from page 3 a missing page ends the series: no English page 4.
    EXPECT_EQ(PrintKind(&TfrmPrint::rbPDI), (Names{"ENPDI1.TIF", "ENPDI2.TIF", "DEPDI3.TIF"}));
    ExpectCleanEnd();
    EXPECT_TRUE(FormsScript::Messages().empty());
}

TEST_F(DocPrint, PdiSeriesPrintsUpToNinePagesInOrder) {
    for (int n = 1; n <= 9; ++n) Page("ENPDI" + std::to_string(n) + ".TIF", n % 2 ? 1 : 8,
                                      n % 3 ? artwork::TiffCoding::LZW : artwork::TiffCoding::PackBits);
    const Names printed = PrintKind(&TfrmPrint::rbPDI);
    ASSERT_EQ(printed.size(), 9u);
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(printed[n - 1], "ENPDI" + std::to_string(n) + ".TIF");
}

TEST_F(DocPrint, GermanPdiOfBelgiumAndSwitzerlandUsesTheBelgianPages) {
    Pages({"BXPDI1.TIF", "BXPDI2.TIF", "DEPDI1.TIF", "ENPDI1.TIF"});
    for (const char* market : {"CH", "BX"}) {
        SCOPED_TRACE(market);
        Market = market;
        Language = "DE";
        const std::size_t before = Spy->Jobs().size();
        PrintKind(&TfrmPrint::rbPDI);
        const Names all = Printed();
        EXPECT_EQ(Names(all.begin() + long(before), all.end()), (Names{"BXPDI1.TIF", "BXPDI2.TIF"}));
    }
    // English in Belgium and German elsewhere keep the language's pages.
    Market = "BX";
    Language = "EN";
    const std::size_t before = Spy->Jobs().size();
    PrintKind(&TfrmPrint::rbPDI);
    const Names all = Printed();
    EXPECT_EQ(Names(all.begin() + long(before), all.end()), (Names{"ENPDI1.TIF"}));
}

TEST_F(DocPrint, ModelButtonsFollowTheirFirstPageAndSeriesEndAtTheFirstGap) {
    Pages({"GBENMP1.TIF", "GBENMP2.TIF", "GBENMP4.TIF", "GBENMD2.TIF"});
    RunDialog([](TfrmPrint& f) {
        EXPECT_TRUE(f.rbModelPetrol->Visible());
        EXPECT_FALSE(f.rbModelDiesel->Visible());
        EXPECT_EQ(f.rbModelPetrol->Caption(), "Service Checksheet  -  Pellor Petrol - 03/1998");
        EXPECT_EQ(f.rbModelDiesel->Caption(), "Service Checksheet  -  Pellor Diesel - 03/1998");
        FormsScript::Click(*f.rbModelPetrol);
        FormsScript::Click(*f.btnPrint);
    });
    EXPECT_EQ(Printed(), (Names{"GBENMP1.TIF", "GBENMP2.TIF"}));
    ExpectCleanEnd();
}

TEST_F(DocPrint, DamagedModelPageOneHidesItsButtonAndTheDialogOpens) {
    Damaged("GBENMP1.TIF");
    Page("GBENMD1.TIF");
    RunDialog([](TfrmPrint& f) {
        EXPECT_FALSE(f.rbModelPetrol->Visible());
        EXPECT_TRUE(f.rbModelDiesel->Visible());
        EXPECT_TRUE(f.rbPDI->Checked());
    });
    EXPECT_TRUE(FormsScript::Messages().empty());
}

TEST_F(DocPrint, BodyPaintAndBudgetTakeTheEnglishFirstPageAndEndThere) {
    Language = "DE";
    Market = "AX";  // German language outside Germany: body and paint is offered
    Exec("INSERT OR REPLACE INTO BCRDATES VALUES ('AX', '" + MonthText(0) + "')");
    Pages({"ENBP1.TIF", "ENBP2.TIF", "ENBCS1.TIF", "ENBCS2.TIF"});
    EXPECT_EQ(PrintKind(&TfrmPrint::rbBodyPaint), (Names{"ENBP1.TIF"}));
    EXPECT_EQ(PrintKind(&TfrmPrint::rbBudgetCS), (Names{"ENBP1.TIF", "ENBCS1.TIF"}));
    ExpectCleanEnd();
    EXPECT_TRUE(FormsScript::Messages().empty());
}

TEST_F(DocPrint, BodyPaintAndBudgetOwnPagesEndAtTheFirstGap) {
    Exec("INSERT OR REPLACE INTO BCRDATES VALUES ('GB', '" + MonthText(0) + "')");
    Pages({"ENBP1.TIF", "ENBP2.TIF", "ENBP4.TIF", "ENBCS1.TIF", "ENBCS3.TIF"});
    EXPECT_EQ(PrintKind(&TfrmPrint::rbBodyPaint), (Names{"ENBP1.TIF", "ENBP2.TIF"}));
    EXPECT_EQ(PrintKind(&TfrmPrint::rbBudgetCS), (Names{"ENBP1.TIF", "ENBP2.TIF", "ENBCS1.TIF"}));
}

TEST_F(DocPrint, SeasonChecksPrintTheirSeriesAndAMissingFirstPagePrintsNothing) {
    Market = "DX";
    Language = "DE";
    Pages({"DXChkF1.TIF", "DXChkF2.TIF", "DXChkW1.TIF"});
    EXPECT_EQ(PrintKind(&TfrmPrint::rbFCheck), (Names{"DXChkF1.TIF", "DXChkF2.TIF"}));
    EXPECT_EQ(PrintKind(&TfrmPrint::rbUCheck), (Names{"DXChkF1.TIF", "DXChkF2.TIF"}));
    EXPECT_EQ(PrintKind(&TfrmPrint::rbWCheck), (Names{"DXChkF1.TIF", "DXChkF2.TIF", "DXChkW1.TIF"}));
    EXPECT_TRUE(FormsScript::Messages().empty());
    ExpectCleanEnd();
}

TEST_F(DocPrint, PageFilesAreFoundWhateverTheirLetterCase) {
    Market = "DX";
    Language = "DE";
    Pages({"AnnProt.tif", "dxchkf1.TIF", "DXCHKF2.tif"});
    RunDialog([](TfrmPrint& f) {
        EXPECT_TRUE(f.rbAnnProt->Checked());
        FormsScript::Click(*f.btnPrint);
        FormsScript::Click(*f.rbFCheck);
        FormsScript::Click(*f.btnPrint);
    });
    EXPECT_EQ(Printed(), (Names{"AnnProt.tif", "dxchkf1.TIF", "DXCHKF2.tif"}));
}

// ---- faults ----

TEST_F(DocPrint, MissingAnnualProtectionPageShowsItsMessageOnceAndLeavesNoJob) {
    Market = "DX";
    Language = "DE";
    RunDialog([](TfrmPrint& f) { FormsScript::Click(*f.btnPrint); });
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Kind, "Error");
    EXPECT_NE(FormsScript::Messages()[0].Text.find("Cannot open file"), std::string::npos);
    EXPECT_NE(FormsScript::Messages()[0].Text.find("ANNPROT.TIF"), std::string::npos);
    EXPECT_TRUE(Spy->Jobs().empty());
    ExpectCleanEnd();
}

TEST_F(DocPrint, MissingEnglishStandInIsReportedOnce) {
    Language = "DE";
    Market = "AX";
    RunDialog([](TfrmPrint& f) {
        FormsScript::Click(*f.rbBodyPaint);
        FormsScript::Click(*f.btnPrint);
    });
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_NE(FormsScript::Messages()[0].Text.find("ENBP1.TIF"), std::string::npos);
    EXPECT_TRUE(Spy->Jobs().empty());
    ExpectCleanEnd();
}

TEST_F(DocPrint, DamagedPageStopsThePrintWithTheReadersMessageAndTheNextPrintWorks) {
    Page("ENPDI1.TIF");
    Damaged("ENPDI2.TIF");
    Page("ENPDI3.TIF");
    auto form = std::make_unique<TfrmPrint>(nullptr);
    FormsScript::OnForm("frmPrint", [](TForm& f) { FormsScript::Click(*static_cast<TfrmPrint&>(f).btnPrint); });
    FormsScript::OnForm("frmPrint", [this](TForm& f) {
        EXPECT_EQ(Screen->Cursor(), crDefault);
        EXPECT_FALSE(Printer()->Printing());
        Page("ENPDI2.TIF");
        FormsScript::Click(*static_cast<TfrmPrint&>(f).btnPrint);
        f.Close();
    });
    form->ShowModal();
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Text, "Stream read error");
    EXPECT_EQ(Printed(), (Names{"ENPDI1.TIF", "ENPDI1.TIF", "ENPDI2.TIF", "ENPDI3.TIF"}));
}

TEST_F(DocPrint, AFailureWhilePrintingAbortsTheJob) {
    Page("ENPDI1.TIF");
    // A printer whose pages cannot be drawn: the job must be dropped, not left open.
    class FailingPrinter : public TRecordingPrinter {
    public:
        void EndJob() override { throw EPrinter("Printer went away"); }
    };
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<FailingPrinter>());
    printer->SetDevices(std::move(devices), 0);
    auto spy = SetPrinter(std::move(printer));
    ASSERT_TRUE(TryLoadPageImage("ENPDI1.TIF"));
    EXPECT_THROW(Print_Page(), EPrinter);
    EXPECT_FALSE(Printer()->Printing());
    EXPECT_NO_THROW(Printer()->BeginDoc());
    Printer()->Abort();
    SetPrinter(std::move(spy));
}

TEST_F(DocPrint, PageNamesNeverLeaveThePageFolder) {
    // A damaged settings row must not make the program print files from elsewhere.
    std::filesystem::create_directories(folder / "sub");
    Page("sub/ENMP1.TIF");
    Page("ENMP1.TIF");
    Market = "../";
    Language = "EN";
    EXPECT_FALSE(TryLoadPageImage("sub/ENMP1.TIF"));
    RunDialog([](TfrmPrint& f) { EXPECT_FALSE(f.rbModelPetrol->Visible()); });
    Market = "GB";
    EXPECT_THROW(LoadPageImage("../" + folder.filename().string() + "/ENMP1.TIF"), EFOpenError);
}

TEST_F(DocPrint, CancelledPrintDialogPrintsNothing) {
    Pages({"ENPDI1.TIF"});
    RunDialog([](TfrmPrint& f) {
        FormsScript::AnswerDialog(false);
        FormsScript::Click(*f.btnPrint);
    });
    EXPECT_TRUE(Spy->Jobs().empty());
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

// ---- dialog layout ----

TEST_F(DocPrint, CaptionsInEnglishAndGerman) {
    RunDialog([](TfrmPrint& f) {
        EXPECT_EQ(f.Caption(), "Pre-printed Forms");
        EXPECT_EQ(f.lblTitle->Caption(), "Pre-printed Forms");
        EXPECT_EQ(f.rbPDI->Caption(), "PDI Checksheet");
        EXPECT_EQ(f.rbBodyPaint->Caption(), "Paint and body check");
        EXPECT_EQ(f.rbBudgetCS->Caption(), "Budget Checksheet");
        EXPECT_EQ(f.rbAnnProt->Caption(), "Annual protection check");
        EXPECT_EQ(f.btnPrint->Caption(), "Print");
        EXPECT_EQ(f.btnExit->Caption(), "Exit");
        EXPECT_TRUE(f.rbPDI->Checked());
        EXPECT_FALSE(f.rbAnnProt->Visible());
        EXPECT_TRUE(f.rbBodyPaint->Visible());
        for (TControl* c : {(TControl*)f.lblSeasonCheck, (TControl*)f.rbFCheck, (TControl*)f.rbUCheck, (TControl*)f.rbWCheck})
            EXPECT_FALSE(c->Visible());
    });
    Market = "AX";
    Language = "DE";
    RunDialog([](TfrmPrint& f) {
        EXPECT_EQ(f.Caption(), "Vordruck-Formulare");
        EXPECT_EQ(f.rbPDI->Caption(), "Auslieferungsinspektion");
        EXPECT_EQ(f.rbModelDiesel->Caption(), "Wartungs-Checkliste  -  Pellor Diesel - 03/1998");
        EXPECT_EQ(f.btnPrint->Caption(), "Drucken");
        EXPECT_EQ(f.btnExit->Caption(), "Beenden");
    });
}

TEST_F(DocPrint, GermanMarketOffersAnnualProtectionAndTheSeasonChecks) {
    Market = "DX";
    Language = "DE";
    RunDialog([](TfrmPrint& f) {
        EXPECT_TRUE(f.rbAnnProt->Visible());
        EXPECT_TRUE(f.rbAnnProt->Checked());
        EXPECT_FALSE(f.rbPDI->Checked());
        EXPECT_FALSE(f.rbBodyPaint->Visible());
        EXPECT_TRUE(f.lblSeasonCheck->Visible());
        EXPECT_EQ(f.lblSeasonCheck->Caption(), "SaisonCheck - Pr\xFC" "fberichte");
        EXPECT_TRUE(f.rbFCheck->Visible());
        EXPECT_EQ(f.rbFCheck->Caption(), "Fr\xFC" "hjahrsCheck");
        EXPECT_TRUE(f.rbUCheck->Visible());
        EXPECT_TRUE(f.rbWCheck->Visible());
        EXPECT_EQ(f.rbAnnProt->Caption(), "J\xE4hrlicher Korrosionsschutz-Check");
    });
}

TEST_F(DocPrint, BudgetButtonFromTheFirstDayOfTheReleaseMonth) {
    const auto shown = [&](const std::string& row) {
        Exec("DELETE FROM BCRDATES WHERE Market_Code='GB'");
        if (!row.empty()) Exec("INSERT INTO BCRDATES VALUES ('GB', '" + row + "')");
        bool visible = false;
        RunDialog([&](TfrmPrint& f) { visible = f.rbBudgetCS->Visible(); });
        return visible;
    };
    EXPECT_TRUE(shown(MonthText(0)));
    EXPECT_TRUE(shown("04/2025"));
    EXPECT_FALSE(shown(MonthText(1)));
    EXPECT_FALSE(shown("13/2025"));
    EXPECT_FALSE(shown("4-2025"));
    EXPECT_FALSE(shown("garbage"));
    EXPECT_FALSE(shown(""));  // no row for the market
    Exec("DROP TABLE BCRDATES");
    bool visible = true;
    RunDialog([&](TfrmPrint& f) { visible = f.rbBudgetCS->Visible(); });
    EXPECT_FALSE(visible);
    EXPECT_TRUE(FormsScript::Messages().empty());
}

TEST(ReleaseMonth, IsReadAsMonthAndYearWhateverTheDateFormat) {
    TDateTime first = 0;
    ASSERT_TRUE(ReleaseMonthStart("09/2025", first));
    EXPECT_EQ(first, EncodeDate(2025, 9, 1));
    // The first day of the month counts as released, the day before does not.
    EXPECT_TRUE(EncodeDate(2025, 9, 1) >= first);
    EXPECT_FALSE(EncodeDate(2025, 8, 31) >= first);
    ASSERT_TRUE(ReleaseMonthStart("9/2025", first));
    EXPECT_EQ(first, EncodeDate(2025, 9, 1));
    for (const char* bad : {"", "/", "00/2025", "13/2025", "09/25", "09/20255", "09.2025", "0a/2025", "09/0000",
                            "092025", "/09/2025", "009/2025"})
        EXPECT_FALSE(ReleaseMonthStart(bad, first)) << bad;
}

TEST(Accelerator, OnlyTheFirstAmpersandGoes) {
    EXPECT_EQ(WithoutAccelerator("&Pre-printed Forms"), "Pre-printed Forms");
    EXPECT_EQ(WithoutAccelerator("Pre-&printed & more"), "Pre-printed & more");
    EXPECT_EQ(WithoutAccelerator("none"), "none");
}

// ---- training sheets and the main menu ----

TEST_F(DocPrint, TrainingSheetsPrintWithTheWaitWindowShown) {
    Pages({"ENTRAIN1.TIF", "entrain2.tif", "ENTRAIN4.TIF"});
    frmMain->btnTrainingClick(frmMain);
    EXPECT_EQ(Printed(), (Names{"ENTRAIN1.TIF", "entrain2.tif"}));
    EXPECT_EQ(Spy->WaitWindowShown, (std::vector<bool>{true, true}));
    EXPECT_EQ(frmTrainingSheet, nullptr);
    ExpectCleanEnd();
}

TEST_F(DocPrint, TrainingWaitWindowIsCaptionedAndFreedWhenTheDialogIsCancelled) {
    Language = "DE";
    Page("DETRAIN1.TIF");
    std::string caption;
    bool hidden = false;
    TPrintDialog::SetExecuteHook([&](TPrintDialog&) {
        EXPECT_NE(frmTrainingSheet, nullptr);
        if (frmTrainingSheet) {
            caption = frmTrainingSheet->Caption();
            EXPECT_EQ(frmTrainingSheet->lblTitle->Caption(), caption);
            hidden = !frmTrainingSheet->Label1->Visible();
        }
        return false;
    });
    frmMain->btnTrainingClick(frmMain);
    TPrintDialog::SetExecuteHook(nullptr);
    EXPECT_EQ(caption, "Schulungsbl\xE4tter");
    EXPECT_TRUE(hidden);
    EXPECT_EQ(frmTrainingSheet, nullptr);
    EXPECT_TRUE(Spy->Jobs().empty());
}

TEST_F(DocPrint, DamagedTrainingPageIsRaisedWithTheWindowFreedAndNoJobOpen) {
    Page("ENTRAIN1.TIF");
    Damaged("ENTRAIN2.TIF");
    EXPECT_THROW(frmMain->btnTrainingClick(frmMain), Exception);
    EXPECT_EQ(frmTrainingSheet, nullptr);
    EXPECT_EQ(Printed(), (Names{"ENTRAIN1.TIF"}));
    ExpectCleanEnd();
}

TEST_F(DocPrint, MainMenuOpensTheDialogAndFinlandHasNone) {
    Pages({"ENPDI1.TIF"});
    bool opened = false;
    FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnPrePrinted); });
    FormsScript::OnForm("frmPrint", [&](TForm& f) {
        opened = true;
        FormsScript::Click(*static_cast<TfrmPrint&>(f).btnPrint);
        FormsScript::Click(*static_cast<TfrmPrint&>(f).btnExit);
    });
    FormsScript::OnForm("frmMain", [](TForm& f) { f.Close(); });
    frmMain->ShowModal();
    EXPECT_TRUE(opened);
    EXPECT_EQ(Printed(), (Names{"ENPDI1.TIF"}));
    EXPECT_EQ(FormsScript::PendingActions(), 0);

    TearDown();
    SetUp();
    Exec("UPDATE PARAMS SET MARKET_CODE='SF'");
    FormsScript::OnForm("frmMain", [](TForm& f) {
        auto& m = static_cast<TfrmMain&>(f);
        EXPECT_FALSE(m.btnPrePrinted->Enabled());
        EXPECT_FALSE(FormsScript::Click(*m.btnPrePrinted));
        f.Close();
    });
    frmMain->ShowModal();
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

// ---- the sample pages and the page writer ----

TEST(PageWriter, PagesReadBackPixelForPixelInEveryDepthAndCoding) {
    RegisterImageReaders();
    // Noise defeats the LZW table, so the coder clears and starts over many times.
    artwork::GreyPage page{301, 203, {}};
    uint32_t seed = 12345;
    for (int i = 0; i < page.Width * page.Height; ++i) {
        seed = seed * 1103515245 + 12345;
        page.Pixels.push_back(i % 7 == 0 ? 255 : uint8_t(seed >> 16));
    }
    const std::string file = ::testing::TempDir() + "roundtrip.tif";
    for (int bits : {1, 8})
        for (auto coding : {artwork::TiffCoding::LZW, artwork::TiffCoding::PackBits}) {
            SCOPED_TRACE(bits * 10 + int(coding));
            artwork::writeTiff(page, bits, coding, 150, file);
            TPicture picture;
            picture.LoadFromFile(file);
            TBitmap& bitmap = picture.Bitmap();
            ASSERT_EQ(bitmap.Width(), page.Width);
            ASSERT_EQ(bitmap.Height(), page.Height);
            int wrong = 0;
            for (int y = 0; y < page.Height; ++y)
                for (int x = 0; x < page.Width; ++x) {
                    const uint8_t grey = page.Pixels[y * page.Width + x];
                    const uint8_t want = bits == 8 ? grey : (grey < 128 ? 0 : 255);
                    const TColor c = bitmap.Pixel(x, y);
                    wrong += (c & 0xFF) != want;
                }
            EXPECT_EQ(wrong, 0);
        }
    std::remove(file.c_str());
    UnregisterImageReaders();
}

TEST_F(DocPrint, SamplePagesPrintOnThePdfPrinter) {
    // The program folder's own pages: the German PDI series has the English page 2 in it.
    for (const artwork::PageFile& p : artwork::samplePageFiles())
        std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + p.File, folder / p.File);
    const std::filesystem::path pdfs = folder / "pdf";
    std::filesystem::create_directories(pdfs);
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TPdfPrinter>(pdfs.string()));
    printer->SetDevices(std::move(devices), 0);
    auto spy = SetPrinter(std::move(printer));
    Market = "DX";
    Language = "DE";
    RunDialog([](TfrmPrint& f) {
        FormsScript::Click(*f.rbPDI);
        FormsScript::Click(*f.btnPrint);
    });
    SetPrinter(std::move(spy));
    EXPECT_TRUE(FormsScript::Messages().empty());
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(pdfs)) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].substr(0, 7), "DEPDI1_");
    EXPECT_EQ(files[1].substr(0, 7), "DEPDI3_");
    EXPECT_EQ(files[2].substr(0, 7), "ENPDI2_");
    for (const std::string& f : files) {
        const std::string pdf = (pdfs / f).string();
        const std::string png = (pdfs / "page").string();
        ASSERT_EQ(std::system(("pdfinfo '" + pdf + "' > '" + png + ".txt'").c_str()), 0);
        std::ifstream info(png + ".txt");
        std::string all((std::istreambuf_iterator<char>(info)), {});
        EXPECT_NE(all.find("Pages:           1\n"), std::string::npos) << all;
        EXPECT_NE(all.find("595 x 842 pts (A4)"), std::string::npos) << all;
        // The page is a picture: no text, and a dark frame near the sheet's edge.
        ASSERT_EQ(std::system(("pdftotext '" + pdf + "' '" + png + ".txt'").c_str()), 0);
        std::ifstream text(png + ".txt");
        std::string words((std::istreambuf_iterator<char>(text)), {});
        EXPECT_EQ(words.find_first_not_of(" \n\f"), std::string::npos);
        ASSERT_EQ(std::system(("pdftoppm -r 75 -gray '" + pdf + "' '" + png + "'").c_str()), 0);
        std::ifstream pgm(png + "-1.pgm", std::ios::binary);
        std::string magic;
        int w = 0, h = 0, max = 0;
        pgm >> magic >> w >> h >> max;
        pgm.get();
        std::vector<unsigned char> pixels(std::size_t(w) * h);
        pgm.read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size()));
        ASSERT_EQ(magic, "P5");
        int dark = 0;
        for (unsigned char p : pixels) dark += p < 128;
        EXPECT_GT(dark, w * h / 100) << f;   // frame, rules and boxes
        EXPECT_LT(dark, w * h / 2) << f;     // but a blank form
        // The form's frame runs down the sheet 70/1240 of the picture in, the picture covering
        // the printable area inside the 4.23 mm border.
        const int frameX = int((4.23 + 70.0 / 1240 * (210 - 2 * 4.23)) / 210 * w);
        int best = 0;
        for (int x = frameX - 3; x <= frameX + 3; ++x) {
            int column = 0;
            for (int y = h / 4; y < 3 * h / 4; ++y) column += pixels[std::size_t(y) * w + x] < 200;
            best = std::max(best, column);
        }
        EXPECT_EQ(best, h / 2) << f;
        std::filesystem::remove(png + "-1.pgm");
    }
}

TEST_F(DocPrint, EveryKindOfTheSampleDataPrintsFromTheMainMenu) {
    struct Case {
        const char* Market;
        const char* Language;
        TRadioButton* TfrmPrint::*Kind;  // nullptr: the training sheets of the menu
        Names Files;                     // the jobs' names, sorted
    };
    const std::vector<Case> cases = {
        {"GB", "EN", &TfrmPrint::rbPDI, {"ENPDI1", "ENPDI2", "ENPDI3"}},
        {"GB", "EN", &TfrmPrint::rbModelPetrol, {"GBENMP1", "GBENMP2"}},
        {"GB", "EN", &TfrmPrint::rbModelDiesel, {"GBENMD1"}},
        {"GB", "EN", &TfrmPrint::rbBodyPaint, {"ENBP1", "ENBP2"}},
        {"GB", "EN", &TfrmPrint::rbBudgetCS, {"ENBCS1", "ENBCS2"}},
        {"GB", "EN", nullptr, {"ENTRAIN1", "ENTRAIN2", "ENTRAIN3"}},
        {"DX", "DE", &TfrmPrint::rbAnnProt, {"ANNPROT"}},
        {"DX", "DE", &TfrmPrint::rbPDI, {"DEPDI1", "DEPDI3", "ENPDI2"}},
        {"DX", "DE", &TfrmPrint::rbBudgetCS, {"DEBCS1"}},
        {"DX", "DE", &TfrmPrint::rbFCheck, {"DXChkF1", "DXChkF2"}},
        {"DX", "DE", &TfrmPrint::rbUCheck, {"DXChkU1"}},
        {"DX", "DE", &TfrmPrint::rbWCheck, {"DXChkW1"}},
        {"DX", "DE", nullptr, {"DETRAIN1", "DETRAIN2"}},
        {"CH", "DE", &TfrmPrint::rbPDI, {"BXPDI1", "BXPDI2"}},
        {"AX", "DE", &TfrmPrint::rbBodyPaint, {"ENBP1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Market) + " " + c.Language + " " + c.Files[0]);
        TearDown();
        SetUp();
        for (const artwork::PageFile& p : artwork::samplePageFiles())
            std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + p.File, folder / p.File);
        Exec(std::string("UPDATE PARAMS SET MARKET_CODE='") + c.Market + "', LANG_CODE='" + c.Language + "'");
        const std::filesystem::path pdfs = folder / "pdf";
        std::filesystem::create_directories(pdfs);
        auto printer = std::make_unique<TPrinter>();
        std::vector<std::unique_ptr<TPrinterDevice>> devices;
        devices.push_back(std::make_unique<TPdfPrinter>(pdfs.string()));
        printer->SetDevices(std::move(devices), 0);
        auto spy = SetPrinter(std::move(printer));
        FormsScript::OnForm("frmMain", [&c](TForm& f) {
            auto& m = static_cast<TfrmMain&>(f);
            FormsScript::Click(c.Kind ? *m.btnPrePrinted : *m.btnTraining);
        });
        if (c.Kind)
            FormsScript::OnForm("frmPrint", [&c](TForm& f) {
                auto& d = static_cast<TfrmPrint&>(f);
                EXPECT_TRUE(FormsScript::Click(*(d.*c.Kind)));
                FormsScript::Click(*d.btnPrint);
                FormsScript::Click(*d.btnExit);
            });
        FormsScript::OnForm("frmMain", [](TForm& f) { f.Close(); });
        frmMain->ShowModal();
        SetPrinter(std::move(spy));
        EXPECT_EQ(FormsScript::PendingActions(), 0);
        EXPECT_TRUE(FormsScript::Messages().empty());
        Names files;
        for (const auto& e : std::filesystem::directory_iterator(pdfs)) {
            const std::string name = e.path().filename().string();
            files.push_back(name.substr(0, name.rfind('_')));
        }
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, c.Files);
    }
}
