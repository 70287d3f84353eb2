// The preview form headless: its buttons, Escape, XML mode opening on the last page, batch mode
// closing itself, and the same pages as the print job for every market and language.
#include "CsPrev.h"
#include "FormsScript.h"
#include "ReportFixture.h"

namespace {

using Preview = ReportFixture;

/// Renders every page of the form's preview; the pages in order.
std::vector<const TMetafile*> RenderAll(TfrmPrintPreview& form) {
    form.prvReport->SetPageNumber(100000);
    std::vector<const TMetafile*> pages;
    for (int n = 1; n <= form.prvReport->FinalPageNumber(); ++n) pages.push_back(form.prvReport->CachedPage(n));
    return pages;
}

}  // namespace

TEST_F(Preview, ButtonsStopAtTheFirstAndLastPage) {
    TfrmPrintPreview form(nullptr);
    ASSERT_TRUE(form.prvReport->Active());
    ASSERT_NE(form.prvReport->WantedPage(), nullptr);
    FormsScript::OnForm("frmPrintPreview", [&](TForm& f) {
        EXPECT_EQ(f.Caption(), LText(26));
        EXPECT_TRUE(FormsScript::Click(*form.btnPrev));
        EXPECT_EQ(form.prvReport->PageNumber(), 1);
        EXPECT_TRUE(FormsScript::Click(*form.btnNext));
        EXPECT_EQ(form.prvReport->PageNumber(), 2);
        form.prvReport->SetPageNumber(1000);
        const int last = form.prvReport->FinalPageNumber();
        EXPECT_GT(last, 2);
        EXPECT_EQ(form.prvReport->PageNumber(), last);
        EXPECT_TRUE(FormsScript::Click(*form.btnNext));
        EXPECT_EQ(form.prvReport->PageNumber(), last);
        // Going back shows kept pages: nothing is rendered again.
        const TMetafile* first = form.prvReport->CachedPage(1);
        for (int n = last; n > 1; --n) FormsScript::Click(*form.btnPrev);
        EXPECT_EQ(form.prvReport->PageNumber(), 1);
        EXPECT_EQ(form.prvReport->CachedPage(1), first);
        EXPECT_TRUE(FormsScript::PressEscape(f));
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(FormsScript::PendingActions(), 0);
    EXPECT_EQ(frmPrintPreview, nullptr);
}

TEST_F(Preview, XmlModeOpensOnTheLastPageWithTheFileWritten) {
    XMLMode = true;
    TfrmPrintPreview form(nullptr);
    FormsScript::OnForm("frmPrintPreview", [&](TForm& f) {
        const int last = form.prvReport->FinalPageNumber();
        EXPECT_GT(last, 1);
        EXPECT_EQ(form.prvReport->PageNumber(), last);
        // Written once, when the last page is done: never an unfinished document under its name.
        EXPECT_EQ(XmlGenRecorder::CallsStartingWith("SaveChecksheetXml").size(), 1u);
        EXPECT_EQ(XmlGenRecorder::Calls().back(), "SaveChecksheetXml()");
        f.Close();
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("CreateChecksheetDocument").size(), 1u);
}

TEST_F(Preview, BatchModeClosesItself) {
    XMLMode = BatchMode = true;
    TfrmPrintPreview form(nullptr);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_GT(form.prvReport->FinalPageNumber(), 0);
    EXPECT_FALSE(form.XMLBatchTimer->Enabled());
}

TEST_F(Preview, XmlModeRendersBeyondTwoHundredPages) {
    TDeviceCaps tiny = TPdfPrinter::A4Caps(poPortrait);
    tiny.PhysicalHeight = 1100;
    tiny.VertRes = 1100 - 2 * tiny.PhysicalOffsetY;
    UsePrinter(std::make_unique<TRecordingPrinter>("Tiny", tiny));
    // The structure twice over, so that the sheet needs more than 200 of these small pages.
    Exec("INSERT INTO Csstruct SELECT SEQUENCE_NO + 5000, MARKET_CODE, LANG_CODE, MH_CODE, L1_SHCODE, L2_SHCODE, "
         "OP_CODE, PARTS_FLAG, LABOUR_FLAG, SAFETY FROM Csstruct");
    Exec("INSERT INTO CSLINKS SELECT MODEL_RANGE_CODE, CS_CODE + 5000, INTERVALS FROM CSLINKS");
    frmTables->tblStructure->Refresh();
    frmTables->tblCSLinks->Refresh();
    RunChoices c;
    c.PreTest = true;
    Choose(c);
    XMLMode = BatchMode = true;
    TfrmPrintPreview form(nullptr);
    form.ShowModal();
    EXPECT_GT(form.prvReport->FinalPageNumber(), 200);
    EXPECT_EQ(form.prvReport->PageNumber(), form.prvReport->FinalPageNumber());
    // Unattended: one write, after the last page.
    EXPECT_EQ(XmlGenRecorder::CallsStartingWith("SaveChecksheetXml").size(), 1u);
    EXPECT_EQ(XmlGenRecorder::Calls().back(), "SaveChecksheetXml()");
}

TEST_F(Preview, SamePagesAsThePrintJobForEveryMarketAndLanguage) {
    const std::pair<const char*, const char*> runs[] = {{"GB", "EN"}, {"IR", "EN"}, {"DX", "DE"}, {"DX", "EN"},
                                                        {"AX", "DE"}, {"PL", "PO"}, {"GR", "GK"}};
    for (const auto& [market, language] : runs) {
        RunChoices c;
        c.Market = market;
        c.Language = language;
        c.PreTest = c.Emission = c.Brake = true;
        Choose(c);
        const auto& printed = Print();
        Restart();
        TfrmPrintPreview form(nullptr);
        const auto previewed = RenderAll(form);
        ASSERT_EQ(previewed.size(), printed.size()) << market << language;
        for (std::size_t i = 0; i < printed.size(); ++i) {
            const auto a = Texts(*printed[i]);
            const auto b = Texts(*previewed[i]);
            EXPECT_EQ(a, b) << market << language << " page " << i + 1;
            std::vector<int> ya, yb;
            for (const TCanvasRecord& r : printed[i]->Records()) ya.push_back(r.Logical.Top);
            for (const TCanvasRecord& r : previewed[i]->Records()) yb.push_back(r.Logical.Top);
            EXPECT_EQ(ya, yb) << market << language << " page " << i + 1;
        }
    }
}

TEST_F(Preview, UnattendedRunLaysOutTheSamePagesAndXmlWithoutDrawingThem) {
    RunChoices c;
    c.PreTest = c.Emission = c.Brake = true;
    Choose(c);
    XMLMode = BatchMode = true;
    std::vector<std::string> shownCalls;
    int shownPages = 0;
    {
        // The same run drawn, as a shown preview would draw it.
        TfrmPrintPreview form(nullptr);
        form.prvReport->RecordPages = true;
        shownPages = static_cast<int>(RenderAll(form).size());
        ASSERT_GT(shownPages, 1);
        EXPECT_FALSE(form.prvReport->CachedPage(1)->Records().empty());
        for (const std::string& call : XmlGenRecorder::Calls())
            if (call.rfind("SaveChecksheetXml", 0) != 0) shownCalls.push_back(call);
    }
    Restart();
    XmlGenRecorder::Reset();
    TfrmPrintPreview form(nullptr);
    form.ShowModal();
    // Every page is laid out, so the pages break where they do on the screen, but none is drawn.
    ASSERT_EQ(form.prvReport->FinalPageNumber(), shownPages);
    for (int n = 1; n <= shownPages; ++n) EXPECT_TRUE(form.prvReport->CachedPage(n)->Records().empty()) << n;
    std::vector<std::string> calls = XmlGenRecorder::Calls();
    ASSERT_EQ(calls.back(), "SaveChecksheetXml()");
    calls.pop_back();
    EXPECT_EQ(calls, shownCalls);
}
