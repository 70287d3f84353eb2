// Print and view on the checksheet form, headless on the recording printer: the checks and
// questions before a print in their order with their focus, when the extended-period dialog is
// asked, the print dialog, the paint-protection pages and a printer that fails on a page.
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
#include <fstream>
#include <functional>
#include <memory>

#include "Chksheet.h"
#include "CsPrev.h"
#include "ExtPer.h"
#include "ImageReaders.h"
#include "PrintDialog.h"
#include "ReportFixture.h"
#include "SpecInst.h"
#include "imagereaders/TiffWriter.h"

namespace {

/// A recording printer whose next `failures` page ends fail, as a printer that runs out of paper.
class TFailingPrinter : public TRecordingPrinter {
public:
    int Failures = 0;
    void EndJob() override {
        if (Failures > 0) {
            --Failures;
            throw EPrinter("The printer stopped");
        }
        TRecordingPrinter::EndJob();
    }
};

class PrintFromForm : public ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        frmSpecInst = new TfrmSpecInst(nullptr);
        frmExtPer = new TfrmExtPer(nullptr);
        const auto former = frmExtPer->OnShow;
        frmExtPer->OnShow = [this, former](TObject* s) {
            ++extPerShown;
            if (former) former(s);
        };
        TPrintDialog::ClearScript();
        RegisterImageReaders();
        saved = std::filesystem::current_path();
        std::filesystem::current_path(folder);
    }
    void TearDown() override {
        std::filesystem::current_path(saved);
        delete frmExtPer;
        frmExtPer = nullptr;
        delete frmSpecInst;
        frmSpecInst = nullptr;
        TPrintDialog::ClearScript();
        UnregisterImageReaders();
        ReportFixture::TearDown();
    }

    /// Shows the checksheet form; `body` runs on it once it waits for the user, then it closes.
    void OnForm(const std::function<void(TfrmChecksheet&)>& body) {
        FormsScript::OnForm("frmChecksheet", [body](TForm& f) {
            body(static_cast<TfrmChecksheet&>(f));
            f.Close();
        });
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }

    /// Chooses ARDEN, model range 101 and the interval item at `intervalIndex`.
    static void ChooseSheet(TfrmChecksheet& c, int intervalIndex) {
        ASSERT_TRUE(FormsScript::Select(*c.cmbModels, c.cmbModels->Items.IndexOf("ARDEN")));
        for (int i = 0; i < c.cmbVariants->Items.Count(); ++i)
            if (ItemCode(c.cmbVariants->Items[i]) == 101) FormsScript::Select(*c.cmbVariants, i);
        ASSERT_TRUE(FormsScript::Select(*c.cmbInterval, intervalIndex));
        ASSERT_TRUE(c.btnPrint->Enabled());
    }
    static std::string LastMessage() {
        const auto texts = FormsScript::MessageTexts();
        return texts.empty() ? std::string("(none)") : texts.back();
    }
    /// Fills what the prompts ask for.
    static void FillVehicle(TfrmChecksheet& c) {
        c.edtCustomerName->SetText("A CUSTOMER");
        FormsScript::Type(*c.edtRegNo, "KM51 XYZ");
        c.edtRegDate->SetText("03/2001");
        FormsScript::Type(*c.edtMileage, "45000");
    }

    /// The dealer's market and language, as the settings would store them.
    void Dealer(const std::string& market, const std::string& language) {
        frmTables->tblParams->Close();
        Exec("UPDATE PARAMS SET MARKET_CODE='" + market + "', LANG_CODE='" + language + "'");
        frmTables->tblParams->Open();
    }

    std::size_t Jobs() const { return recorder->Jobs().size(); }

    /// A small page image written into the test's folder.
    void WritePage(const std::string& name) {
        tiffwriter::Image image;
        image.Width = image.Height = 8;
        image.Pixels.assign(64, 0x80);
        const std::vector<uint8_t> bytes = tiffwriter::Write(image);
        std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    int extPerShown = 0;
    std::filesystem::path saved;
};

}  // namespace

TEST_F(PrintFromForm, ChecksComeInTheirOrderWithTheirFocus) {
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 0);
        // Neither service nor pre-test.
        FormsScript::Click(*c.cbService);
        c.btnPrintClick(c.btnPrint);
        EXPECT_EQ(LastMessage(), LText(160));
        EXPECT_EQ(c.ActiveControl(), c.cbService);
        EXPECT_FALSE(c.btnNew->Enabled());
        FormsScript::Click(*c.cbService);
        // The dealer asks for customer details: a customer name first.
        c.btnPrintClick(c.btnPrint);
        EXPECT_EQ(LastMessage(), LText(43));
        EXPECT_EQ(c.ActiveControl(), c.btnCustomer);
        c.edtCustomerName->SetText("A CUSTOMER");
        // Retry on the empty registration number stops there.
        FormsScript::AnswerMessage(mrRetry);
        c.btnPrintClick(c.btnPrint);
        EXPECT_EQ(FormsScript::Messages().back().Text, LText(46));
        EXPECT_EQ(FormsScript::Messages().back().Caption, "");
        EXPECT_EQ(c.ActiveControl(), c.edtRegNo);
        // Ignore goes on to the registration date, Abort on to the mileage; Retry there stops.
        FormsScript::AnswerMessage(mrIgnore);
        FormsScript::AnswerMessage(mrAbort);
        FormsScript::AnswerMessage(mrRetry);
        c.btnPrintClick(c.btnPrint);
        const auto texts = FormsScript::MessageTexts();
        ASSERT_GE(texts.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(texts.end() - 3, texts.end()),
                  (std::vector<std::string>{LText(46), LText(47), LText(48)}));
        EXPECT_EQ(c.ActiveControl(), c.edtMileage);
        // A mileage that is not all digits.
        c.edtMileage->SetText("12A");
        FormsScript::AnswerMessage(mrIgnore);
        FormsScript::AnswerMessage(mrIgnore);
        c.btnPrintClick(c.btnPrint);
        EXPECT_EQ(LastMessage(), LText(39));
        EXPECT_EQ(c.ActiveControl(), c.edtMileage);
        EXPECT_FALSE(c.btnNew->Enabled());
    });
    EXPECT_EQ(Jobs(), 0u);
}

TEST_F(PrintFromForm, FirstIntervalPrintsWithoutTheExtendedPeriodDialog) {
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 0);
        ASSERT_NE(c.cmbInterval->Text().find(LText(61)), std::string::npos);
        FillVehicle(c);
        c.btnPrintClick(c.btnPrint);
        EXPECT_TRUE(c.btnNew->Enabled());
    });
    EXPECT_EQ(extPerShown, 0);
    ASSERT_EQ(Jobs(), 1u);
    EXPECT_TRUE(recorder->Jobs()[0].Ended);
    const std::string all = AllText(recorder->Jobs()[0].Pages);
    EXPECT_NE(all.find("KM51 XYZ"), std::string::npos);
    EXPECT_NE(all.find("45000"), std::string::npos);
    // The walk began at the first structure row and ran to its end.
    EXPECT_EQ(CurSeqNo, 0);
}

TEST_F(PrintFromForm, LaterIntervalAsksForExtendedPeriodOperationsAndCancelPrintsNothing) {
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 1);
        FillVehicle(c);
        FormsScript::OnForm("frmExtPer", [](TForm& f) { FormsScript::Click(*static_cast<TfrmExtPer&>(f).btnCancel); });
        c.btnPrintClick(c.btnPrint);
        // Stopped after the dialog: New is offered all the same.
        EXPECT_TRUE(c.btnNew->Enabled());
    });
    EXPECT_EQ(extPerShown, 1);
    EXPECT_FALSE(ContinuePrint);
    EXPECT_EQ(Jobs(), 0u);
}

TEST_F(PrintFromForm, CancelledPrintDialogPrintsNothing) {
    TPrintDialog::ScriptAnswer(false);
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 0);
        FillVehicle(c);
        c.btnPrintClick(c.btnPrint);
        EXPECT_TRUE(c.btnNew->Enabled());
    });
    EXPECT_EQ(Jobs(), 0u);
}

TEST_F(PrintFromForm, ChoicesReachTheApplicationState) {
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 0);
        FillVehicle(c);
        FormsScript::Type(*c.edtRadioCode, "R123");
        FormsScript::Type(*c.edtRepairNo, "RO-77");
        FormsScript::Click(*c.cbPreTest);
        FormsScript::Click(*c.cbBrakeTest);
        c.CollectChecksheetChoices();
        EXPECT_TRUE(DoService && DoPreTest && DoBrakeTest && BrakePending);
        EXPECT_FALSE(DoEmissionTest || EmissionPending || DoVOREX || DoPaintBodyWith || DoPaintBodyWithout);
        EXPECT_TRUE(SpecInstPending && EndBlockPending && NextServicePending && StructureLeft);
        EXPECT_EQ(PendingMHCode, 0);
        frmTables->tblStructure->First();
        EXPECT_EQ(CurSeqNo, frmTables->tblStructure->FieldByName("SEQUENCE_NO")->AsInteger());
        EXPECT_EQ(ModelText, "ARDEN");
        // The variant keeps its hidden part; the first-interval item has no bracket and keeps its.
        EXPECT_EQ(ItemCode(VariantText), 101);
        EXPECT_EQ(ItemCode(IntervalText), 1);
        EXPECT_EQ(RegNo, "KM51 XYZ");
        EXPECT_EQ(RadioCode, "R123");
        EXPECT_EQ(RepairNo, "RO-77");
        // A later interval is cut before its bracket.
        FormsScript::Select(*c.cmbInterval, 1);
        c.CollectChecksheetChoices();
        EXPECT_EQ(IntervalText.find('('), std::string::npos);
        EXPECT_EQ(IntervalText.find('\xB6'), std::string::npos);
    });
}

TEST_F(PrintFromForm, GermanPreTestPrintsTheBrakeTest) {
    Dealer("DX", "DE");
    OnForm([&](TfrmChecksheet& c) {
        ASSERT_TRUE(IsGermanMarket);
        ASSERT_TRUE(FormsScript::Select(*c.cmbModels, 0));
        FormsScript::Select(*c.cmbVariants, 0);
        FormsScript::Click(*c.cbService);
        FormsScript::Click(*c.cbPreTest);
        EXPECT_FALSE(c.cbBrakeTest->Checked());
        FillVehicle(c);
        FormsScript::AnswerMessage(mrIgnore);
        c.btnPrintClick(c.btnPrint);
    });
    EXPECT_TRUE(DoBrakeTest);
    ASSERT_EQ(Jobs(), 1u);
    // The brake test has been printed: nothing of it is pending.
    EXPECT_FALSE(BrakePending);
}

TEST_F(PrintFromForm, PaintPagesFollowTheSheetUpToTheFirstMissingOne) {
    WritePage("ENBP1.TIF");
    WritePage("enbp2.tif");  // found whatever its letter case
    WritePage("ENBP4.TIF");  // after a gap: never printed
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 0);
        FillVehicle(c);
        FormsScript::Click(*c.cbPaintBodyWith);
        c.btnPrintClick(c.btnPrint);
        EXPECT_TRUE(c.btnNew->Enabled());
    });
    ASSERT_EQ(Jobs(), 3u);
    for (std::size_t j = 1; j < 3; ++j) {
        EXPECT_EQ(recorder->Jobs()[j].Pages.size(), 1u);
        EXPECT_EQ(recorder->Jobs()[j].Orientation, poPortrait);
        EXPECT_TRUE(recorder->Jobs()[j].Ended);
    }
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(PrintFromForm, ALanguageWithoutPagesPrintsTheEnglishFirstPageOnly) {
    Dealer("PL", "PO");
    WritePage("ENBP1.TIF");
    WritePage("ENBP2.TIF");
    OnForm([&](TfrmChecksheet& c) {
        ASSERT_TRUE(FormsScript::Select(*c.cmbModels, 0));
        FormsScript::Select(*c.cmbVariants, 0);
        FormsScript::Select(*c.cmbInterval, 0);
        FillVehicle(c);
        FormsScript::Click(*c.cbPaintBodyWith);
        c.btnPrintClick(c.btnPrint);
    });
    ASSERT_EQ(Jobs(), 2u);
    EXPECT_EQ(recorder->Jobs()[1].Pages.size(), 1u);
}

TEST_F(PrintFromForm, GermanMarketPrintsItsOwnPageAndAMissingOneIsAnError) {
    Dealer("DX", "DE");
    auto printWithPaint = [&](bool& newEnabled) {
        OnForm([&](TfrmChecksheet& c) {
            FormsScript::Select(*c.cmbModels, 0);
            FormsScript::Select(*c.cmbVariants, 0);
            FormsScript::Select(*c.cmbInterval, 0);
            FillVehicle(c);
            FormsScript::Click(*c.cbPaintBodyWith);
            try {
                c.btnPrintClick(c.btnPrint);
                ADD_FAILURE() << "a missing page must be reported";
            } catch (const EFOpenError& e) {
                EXPECT_NE(std::string(e.what()).find("AnnProt.TIF"), std::string::npos) << e.what();
            }
            newEnabled = c.btnNew->Enabled();
        });
    };
    bool newEnabled = true;
    printWithPaint(newEnabled);
    EXPECT_FALSE(newEnabled);
    ASSERT_EQ(Jobs(), 1u);  // the checksheet itself was printed
    EXPECT_EQ(Screen->Cursor(), crDefault);
    WritePage("AnnProt.TIF");
    OnForm([&](TfrmChecksheet& c) {
        FormsScript::Select(*c.cmbModels, 0);
        FormsScript::Select(*c.cmbVariants, 0);
        FormsScript::Select(*c.cmbInterval, 0);
        FillVehicle(c);
        FormsScript::Click(*c.cbPaintBodyWith);
        c.btnPrintClick(c.btnPrint);
    });
    ASSERT_EQ(Jobs(), 3u);
    EXPECT_EQ(recorder->Jobs()[2].Pages.size(), 1u);
}

TEST_F(PrintFromForm, APageThatFailsEndsItsJobAndTheNextPrintStarts) {
    auto device = std::make_unique<TFailingPrinter>();
    TFailingPrinter* failing = device.get();
    UsePrinter(std::move(device));
    WritePage("ENBP1.TIF");
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 0);
        FillVehicle(c);
        FormsScript::Click(*c.cbPaintBodyWith);
        c.PrintPaintProtectionPages();  // fine
        failing->Failures = 1;
        EXPECT_THROW(c.PrintPaintProtectionPages(), EPrinter);
        EXPECT_FALSE(Printer()->Printing());
        EXPECT_EQ(Screen->Cursor(), crDefault);
        c.PrintPaintProtectionPages();  // starts again
    });
    ASSERT_EQ(failing->Jobs().size(), 3u);
    EXPECT_FALSE(failing->Jobs()[1].Ended);
    EXPECT_TRUE(failing->Jobs()[2].Ended);
}

TEST_F(PrintFromForm, ViewShowsAFreshExtendedPeriodDialogAndThePreview) {
    int previews = 0;
    OnForm([&](TfrmChecksheet& c) {
        ChooseSheet(c, 1);
        FormsScript::OnForm("frmExtPer", [](TForm& f) { FormsScript::Click(*static_cast<TfrmExtPer&>(f).btnOK); });
        FormsScript::OnForm("frmPrintPreview", [&previews](TForm& f) {
            ++previews;
            auto& p = static_cast<TfrmPrintPreview&>(f);
            EXPECT_GE(p.prvReport->PageNumber(), 1);
            f.Close();
        });
        // The view asks none of the print's questions.
        c.btnViewClick(c.btnView);
        EXPECT_TRUE(c.btnNew->Enabled());
    });
    EXPECT_EQ(previews, 1);
    // Its own dialog, not the start-up one.
    EXPECT_EQ(extPerShown, 0);
    EXPECT_EQ(FormsScript::Messages().size(), 0u);
    EXPECT_EQ(Jobs(), 0u);
}

TEST_F(PrintFromForm, HandOffJobPrintsWithoutThePromptsAndAsksForExtendedPeriodEveryTime) {
    // A decided job shows its interval as free text: no item is chosen, so the dialog is asked
    // whatever the interval, and the registration and mileage questions are skipped.
    const fs::path file = folder / "job.ho";
    std::ofstream(file) << "GB\nEN\nAR12-02\nRO-1\n\n03/2001\n\n\nJ SMITH\n";
    HandOffMode = true;
    HandOffFileName = file.string();
    OnForm([&](TfrmChecksheet& c) {
        EXPECT_EQ(c.cmbInterval->ItemIndex(), -1);
        FormsScript::OnForm("frmExtPer", [](TForm& f) { FormsScript::Click(*static_cast<TfrmExtPer&>(f).btnOK); });
        c.btnPrintClick(c.btnPrint);
        EXPECT_TRUE(c.btnNew->Enabled());
    });
    HandOffMode = false;
    EXPECT_EQ(extPerShown, 1);
    EXPECT_EQ(FormsScript::Messages().size(), 0u);
    ASSERT_EQ(Jobs(), 1u);
    const std::string all = AllText(recorder->Jobs()[0].Pages);
    EXPECT_NE(all.find("RO-1"), std::string::npos);
    EXPECT_NE(all.find("J SMITH"), std::string::npos);
    EXPECT_FALSE(fs::exists(file));
}

namespace {

/// The vehicle of the hand-off jobs below, as its file gives it and as a user types it.
constexpr const char* kJobVehicle = "RO-1\n\n03/2001\nKM51 XYZ\n45000\nJ SMITH\n";

class HandOffPrint : public PrintFromForm {
protected:
    static void ConfirmExtendedPeriod() {
        FormsScript::OnForm("frmExtPer", [](TForm& f) { FormsScript::Click(*static_cast<TfrmExtPer&>(f).btnOK); });
    }

    /// Every drawing call of the last print job: kind, place and text, a line each.
    std::string LastSheet() const {
        if (recorder->Jobs().empty()) return "(no print)";
        std::string drawn;
        for (const auto& page : recorder->Jobs().back().Pages) {
            for (const TCanvasRecord& r : page->Records()) {
                // The print job's canvas reset draws a blank at the corner in the size the last
                // job left: nothing of the sheet.
                if (r.Kind == TRecordKind::Text && r.Text == " " && r.Logical.Left == 0 && r.Logical.Top == 0)
                    continue;
                drawn += std::to_string(int(r.Kind)) + " " + std::to_string(r.Logical.Left) + "," +
                         std::to_string(r.Logical.Top) + "," + std::to_string(r.Logical.Right) + "," +
                         std::to_string(r.Logical.Bottom) + " " + r.Text + "\n";
            }
            drawn += "-- end of page\n";
        }
        return drawn;
    }

    /// Prints the hand-off job of `market`, `language` and `code` (lines 16 and 17 from `tail`);
    /// `choose` runs first on the form. The sheet printed.
    std::string PrintHandOff(const std::string& market, const std::string& language, const std::string& code,
                             const std::string& tail = "",
                             const std::function<void(TfrmChecksheet&)>& choose = nullptr) {
        const fs::path file = folder / "job.ho";
        std::ofstream(file) << market << "\n" << language << "\n" << code << "\n" << kJobVehicle << tail;
        HandOffMode = true;
        HandOffFileName = file.string();
        const int asked = extPerShown;
        OnForm([&](TfrmChecksheet& c) {
            if (choose) choose(c);
            ConfirmExtendedPeriod();
            c.btnPrintClick(c.btnPrint);
        });
        HandOffMode = false;
        EXPECT_EQ(extPerShown, asked + 1);  // a job with service always asks
        return LastSheet();
    }

    /// Chooses the variant of model range `range` and the interval item of position `interval`.
    static void ChooseVariantAndInterval(TfrmChecksheet& c, int range, int interval) {
        for (int i = 0; i < c.cmbVariants->Items.Count(); ++i)
            if (ItemCode(c.cmbVariants->Items[i]) == range) FormsScript::Select(*c.cmbVariants, i);
        for (int i = 0; i < c.cmbInterval->Items.Count(); ++i)
            if (ItemCode(c.cmbInterval->Items[i]) == interval) FormsScript::Select(*c.cmbInterval, i);
    }

    /// Prints the same vehicle with the model, model range and interval chosen by hand.
    std::string PrintByHand(const std::string& model, int range, int interval) {
        OnForm([&](TfrmChecksheet& c) {
            ASSERT_TRUE(FormsScript::Select(*c.cmbModels, c.cmbModels->Items.IndexOf(model)));
            ChooseVariantAndInterval(c, range, interval);
            ASSERT_TRUE(c.btnPrint->Enabled());
            c.edtRepairNo->SetText("RO-1");
            c.edtRegDate->SetText("03/2001");
            c.edtRegNo->SetText("KM51 XYZ");
            c.edtMileage->SetText("45000");
            c.edtCustomerName->SetText("J SMITH");
            CustName = "J SMITH";
            if (interval != 1) ConfirmExtendedPeriod();  // the first interval never asks
            c.btnPrintClick(c.btnPrint);
        });
        return LastSheet();
    }
};

}  // namespace

TEST_F(HandOffPrint, SheetIsTheSheetOfTheSameChoicesMadeByHand) {
    // AR12-02: model range 101 (no service interval indicator) at its second service.
    const std::string handedOff = PrintHandOff("GB", "EN", "AR12-02");
    EXPECT_EQ(handedOff.find(LText(176)), std::string::npos);
    // Without the main menu the footer still names the data version of the service data.
    EXPECT_NE(handedOff.find(" November 2026\n"), std::string::npos);
    EXPECT_EQ(handedOff, PrintByHand("ARDEN", 101, 3));

    Dealer("PL", "PO");
    // PL14-02 maps to 105 and 106; the drive type of line 17 decides 106.
    EXPECT_EQ(PrintHandOff("PL", "PO", "PL14-02", "\n\n\n\n\n\n\nPL16A\n"), PrintByHand("PELLOR", 106, 3));
    // Without it the user chooses among the two.
    EXPECT_EQ(PrintHandOff("PL", "PO", "PL14-02", "",
                           [](TfrmChecksheet& c) { ChooseVariantAndInterval(c, 105, 3); }),
              PrintByHand("PELLOR", 105, 3));
}

TEST_F(HandOffPrint, FirstIntervalJobAsksForExtendedPeriodOperationsAndPrintsItsSheet) {
    Exec("INSERT INTO PKXMap VALUES ('AR12-00', 101, 1)");
    // The interval shows as the free text of the first interval; no item of the list is chosen.
    const std::string handedOff = PrintHandOff("GB", "EN", "AR12-00");
    EXPECT_EQ(handedOff, PrintByHand("ARDEN", 101, 1));
}

TEST_F(HandOffPrint, JobOfSeveralRangesPrintsNothingBeforeItsVariantAndIntervalAreChosen) {
    const fs::path file = folder / "job.ho";
    std::ofstream(file) << "GB\nEN\nPL14-02\n" << kJobVehicle;
    HandOffMode = true;
    HandOffFileName = file.string();
    OnForm([&](TfrmChecksheet& c) {
        EXPECT_EQ(c.cmbModels->Text(), "PELLOR");
        ASSERT_TRUE(c.cmbVariants->Enabled());
        std::vector<int> offered;
        for (int i = 0; i < c.cmbVariants->Items.Count(); ++i) offered.push_back(ItemCode(c.cmbVariants->Items[i]));
        std::sort(offered.begin(), offered.end());
        EXPECT_EQ(offered, (std::vector<int>{105, 106}));
        EXPECT_FALSE(c.edtVinDate->Enabled());
        const auto nothingToPrint = [&c] {
            EXPECT_FALSE(c.btnPrint->Enabled());
            EXPECT_FALSE(c.btnView->Enabled());
            c.btnPrintClick(c.btnPrint);
            c.btnViewClick(c.btnView);
            EXPECT_FALSE(c.btnNew->Enabled());  // neither a print nor a view took place
        };
        nothingToPrint();
        ASSERT_TRUE(FormsScript::Select(*c.cmbVariants, 0));
        EXPECT_TRUE(c.cmbInterval->Enabled());
        EXPECT_GT(c.cmbInterval->Items.Count(), 0);
        nothingToPrint();
        ASSERT_TRUE(FormsScript::Select(*c.cmbInterval, 1));
        EXPECT_TRUE(c.btnPrint->Enabled());
        EXPECT_TRUE(c.btnView->Enabled());
    });
    HandOffMode = false;
    EXPECT_EQ(Jobs(), 0u);
    EXPECT_EQ(extPerShown, 0);
}

// Hand-off values longer than their fields: each field keeps the whole value (the user cannot
// lengthen it), and the sheet prints it whole.
TEST_F(HandOffPrint, ValuesLongerThanTheirFieldsAreKeptAndPrintedWhole) {
    const fs::path file = folder / "job.ho";
    std::ofstream(file) << "GB\nEN\nAR12-02\nRO-123456789012345678901234\n\n03/2001/EXTRA\nKM51 XYZ 1234\n"
                           "123456789012345\nJ SMITH\n";
    HandOffMode = true;
    HandOffFileName = file.string();
    OnForm([&](TfrmChecksheet& c) {
        EXPECT_EQ(c.edtRepairNo->Text(), "RO-123456789012345678901234");
        EXPECT_EQ(c.edtRegDate->Text(), "03/2001/EXTRA");
        EXPECT_EQ(c.edtRegNo->Text(), "KM51 XYZ 1234");
        EXPECT_EQ(c.edtMileage->Text(), "123456789012345");
        ConfirmExtendedPeriod();
        c.btnPrintClick(c.btnPrint);
    });
    HandOffMode = false;
    const std::string sheet = LastSheet();
    for (const char* value : {"RO-123456789012345678901234", "03/2001/EXTRA", "KM51 XYZ 1234", "123456789012345"})
        EXPECT_NE(sheet.find(" " + std::string(value) + "\n"), std::string::npos) << value;
}
