// The program's forms drawn by real widgets: an X server (Xvfb) is started for this test
// process when it is installed, else Qt's offscreen platform draws them. The main menu, the
// first installation, the settings, the checksheet form and its dialogs are driven by the script and pictured into PNG files
// beside the test program.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <cstdlib>
#include <thread>

#include "ChecksheetFixture.h"
#include "cal.h"
#include "charconv.h"
#include "CodePages.h"
#include "Chksheet.h"
#include "CsPrev.h"
#include "CustDet.h"
#include "DocPrint.h"
#include "ImageReaders.h"
#include "TRPrint.h"
#include "ExtPer.h"
#include "SpecInst.h"
#include "FirstIns.h"
#include "Preview.h"
#include "RecordingPrinter.h"
#include "ReportFixture.h"
#include "SetUp.h"
#include "vetrav3.h"
#include "../support/XvfbServer.h"

namespace {

/// An X server for this test process, started before any test runs and stopped at exit.
testsupport::XvfbServer gDisplay;

using Display = ChecksheetFixture;

/// The bytes of a file ("" when it cannot be read).
std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Writes a hand-off file of `lines` into `folder` and makes it the run's job; returns its path.
std::filesystem::path HandOffJob(const std::filesystem::path& folder, const char* lines) {
    const std::filesystem::path file = folder / "job.ho";
    std::ofstream(file) << lines;
    HandOffMode = true;
    XMLMode = false;
    HandOffFileName = file.string();
    return file;
}

}  // namespace

TEST_F(Display, MainMenuShowsItsCaptionsAndRunsTheSettings) {
    ASSERT_TRUE(FormsScript::HasWindows());
    bool settingsShown = false;
    FormsScript::OnForm("frmMain", [](TForm& f) {
        auto& m = static_cast<TfrmMain&>(f);
        EXPECT_EQ(m.lblChecksheet1->Caption(), "Service Checksheets");
        EXPECT_EQ(m.lblSetup->Caption(), "&Settings");
        EXPECT_TRUE(FormsScript::SaveImage(f, "mainmenu.png"));
        EXPECT_TRUE(FormsScript::Click(*m.btnSetup));
    });
    FormsScript::OnForm("frmSetup", [&](TForm& f) {
        settingsShown = true;
        EXPECT_EQ(f.Caption(), "Settings");
        EXPECT_TRUE(FormsScript::SaveImage(f, "settings.png"));
        FormsScript::Type(*static_cast<TfrmSetup&>(f).edtTopMargin, "3");
        EXPECT_TRUE(FormsScript::PressEnter(f));
    });
    FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnExit); });
    frmMain->ShowModal();
    EXPECT_TRUE(settingsShown);
    EXPECT_EQ(Value("SELECT PAGE_MARGIN FROM PARAMS"), "3");
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(Display, FirstInstallationWorksWithWidgets) {
    Exec("DROP TABLE PARAMS");
    FormsScript::OnForm("frmFirstInstall", [](TForm& f) {
        EXPECT_TRUE(FormsScript::SaveImage(f, "firstinstall.png"));
        auto& d = static_cast<TfrmFirstInstall&>(f);
        FormsScript::Click(*d.FlagOf("NX"));
        EXPECT_TRUE(FormsScript::SaveImage(f, "firstinstall-chosen.png"));
        FormsScript::Click(*d.btnOK);
    });
    FormsScript::OnForm("frmSetup", [](TForm& f) { FormsScript::PressEnter(f); });
    FormsScript::OnForm("frmMain", [](TForm& f) { f.Close(); });
    frmMain->ShowModal();
    EXPECT_EQ(Value("SELECT MARKET_CODE FROM PARAMS"), "NX");
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(Display, PrePrintedFormsDialogAndTrainingWindow) {
    ASSERT_TRUE(FormsScript::HasWindows());
    RegisterImageReaders();
    for (const char* page : {"GBENMP1.TIF", "GBENMD1.TIF"})
        std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + page, folder / page);
    frmTables->tblLangText->Open();
    Market = "GB";
    Language = "EN";
    {
        TfrmPrint form(nullptr);
        FormsScript::OnForm("frmPrint", [](TForm& f) {
            EXPECT_TRUE(static_cast<TfrmPrint&>(f).rbModelDiesel->Visible());
            EXPECT_TRUE(FormsScript::SaveImage(f, "preprinted.png"));
            f.Close();
        });
        form.ShowModal();
    }
    Market = "DX";
    Language = "DE";
    {
        TfrmPrint form(nullptr);
        FormsScript::OnForm("frmPrint", [](TForm& f) {
            EXPECT_TRUE(FormsScript::SaveImage(f, "preprinted-dx.png"));
            f.Close();
        });
        form.ShowModal();
    }
    TPrintDialog::SetExecuteHook([](TPrintDialog&) {
        EXPECT_TRUE(frmTrainingSheet && FormsScript::SaveImage(*frmTrainingSheet, "training.png"));
        return false;
    });
    frmMain->btnTrainingClick(frmMain);
    TPrintDialog::SetExecuteHook(nullptr);
    UnregisterImageReaders();
}

TEST_F(Display, StartUpFaultsEndTheMenuWithTheirExitCode) {
    for (const char* table : {"Version", "LANGTEXT"}) {
        SCOPED_TRACE(table);
        TearDown();
        SetUp();
        Exec(std::string("DROP TABLE ") + table);
        FormsScript::AnswerMessage(mrOk);
        EXPECT_EQ(frmMain->ShowModal(), mrCancel);
        EXPECT_EQ(frmMain->ExitCode(), kExitStartFailed);
        EXPECT_FALSE(frmMain->Visible());
        ASSERT_EQ(FormsScript::Messages().size(), 1u);
        EXPECT_EQ(FormsScript::Messages()[0].Kind, "Error");
    }
}

TEST(DisplayPreview, PreviewPaintsTheSheetInAScrollingWindow) {
    auto printer = std::make_unique<TPrinter>();
    std::vector<std::unique_ptr<TPrinterDevice>> devices;
    devices.push_back(std::make_unique<TRecordingPrinter>());
    printer->SetDevices(std::move(devices), 0);
    auto saved = SetPrinter(std::move(printer));
    {
        FormsScript::Reset();
        TForm form(nullptr);
        form.Name = "frmPreview";
        form.SetBounds(0, 0, 600, 420);
        auto* preview = new tPrintPreview(&form);
        preview->SetParent(&form);
        preview->SetBounds(0, 0, 600, 420);
        tPrintout job;
        job.OnPrintPage = [](TObject*, TCanvas& canvas, tPrintInformation, int page, bool& more) {
            canvas.Rectangle(100, -100, 2000, -2800);
            canvas.Font.SetSize(24);
            canvas.TextOut(200, -200, "Page " + std::to_string(page));
            more = page < 2;
        };
        preview->SetPrintout(&job);
        FormsScript::OnForm("frmPreview", [preview](TForm& f) {
            EXPECT_TRUE(FormsScript::SaveImage(f, "preview.png"));
            preview->SetPageNumber(200);
            EXPECT_EQ(preview->PageNumber(), 2);
            EXPECT_TRUE(FormsScript::SaveImage(f, "preview-last.png"));
            // At whole-page zoom the sheet fits: no scroll bar.
            preview->SetZoomState(zsFullPage);
            EXPECT_TRUE(FormsScript::SaveImage(f, "preview-whole-page.png"));
            EXPECT_FALSE(FormsScript::ShownScrollBar(*preview).Shown);
            f.SetModalResult(mrOk);
        });
        EXPECT_EQ(form.ShowModal(), mrOk);
        preview->SetPrintout(nullptr);
    }
    SetPrinter(std::move(saved));
}

/// The start-up instances of the special-instruction and extended-period dialogs, for the life
/// of a test.
struct StartUpDialogs {
    StartUpDialogs() {
        frmSpecInst = new TfrmSpecInst(nullptr);
        frmExtPer = new TfrmExtPer(nullptr);
    }
    ~StartUpDialogs() {
        delete frmExtPer;
        frmExtPer = nullptr;
        delete frmSpecInst;
        frmSpecInst = nullptr;
    }
};

TEST_F(Display, ChecksheetFormAndItsDialogs) {
    ASSERT_TRUE(FormsScript::HasWindows());
    HandOffMode = false;
    XMLMode = false;
    Exec("UPDATE PARAMS SET MARKET_CODE='DX', LANG_CODE='DE'");
    const StartUpDialogs dialogs;
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        FormsScript::Type(*c.edtRegNo, "KM-AB 123");
        FormsScript::Type(*c.edtVinDate, "WC");
        FormsScript::Focus(*c.cmbModels);
        FormsScript::Select(*c.cmbModels, c.cmbModels->Items.IndexOf("PELLOR"));
        FormsScript::Select(*c.cmbVariants, 0);
        FormsScript::Select(*c.cmbInterval, 2);
        EXPECT_EQ(IntervalNo, 3);
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet.png"));
        FormsScript::OnForm("frmCustDetails", [](TForm& d) {
            FormsScript::Type(*static_cast<TfrmCustDetails&>(d).edtCustName, "J. Schmidt");
            EXPECT_TRUE(FormsScript::SaveImage(d, "custdetails.png"));
            FormsScript::PressEnter(d);
        });
        FormsScript::Click(*c.btnCustomer);
        EXPECT_EQ(CustName, "J. Schmidt");
        FormsScript::OnForm("frmSpecInst", [](TForm& d) {
            FormsScript::TypeMemo(*static_cast<TfrmSpecInst&>(d).MemInst, "Reifen einlagern\nRadio-Code pr\xFC" "fen");
            EXPECT_TRUE(FormsScript::SaveImage(d, "specinst.png"));
            FormsScript::PressEscape(d);
        });
        FormsScript::Click(*c.btnSpecInst);
        EXPECT_EQ(SpecInstr[2], "Radio-Code pr\xFC" "fen");
        FormsScript::PressEscape(f);
    });
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    ModelRange = 115;
    FormsScript::OnForm("frmExtPer", [](TForm& d) {
        auto& e = static_cast<TfrmExtPer&>(d);
        EXPECT_GT(e.ShownCount(), 0);
        FormsScript::Click(*e.CheckBoxes[1]);
        EXPECT_TRUE(FormsScript::SaveImage(d, "extper.png"));
        FormsScript::PressEnter(d);
    });
    frmExtPer->ShowModal();
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

// Closing a dialog by its window (the title bar's close button, Alt+F4: the window manager's
// close request) is its Cancel: nothing is printed or previewed, no date or market is taken.
TEST_F(Display, DialogsClosedByTheirWindowChangeNothing) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    HandOffJob(folder, "GB\nEN\nAR12-02\nRO-1234\n\n03/2001\nKM51 XYZ\n45000\nJ SMITH\n");
    int printDialogs = 0, previews = 0;
    TPrintDialog::SetExecuteHook([&](TPrintDialog&) {
        ++printDialogs;
        return false;
    });
    FormsScript::OnForm("frmChecksheet", [&](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        const auto closeByWindow = [](TForm& d) {
            EXPECT_GT(static_cast<TfrmExtPer&>(d).ShownCount(), 0);
            FormsScript::RequestWindowClose(d);
        };
        FormsScript::OnForm("frmExtPer", closeByWindow);
        FormsScript::Click(*c.btnPrint);
        FormsScript::OnForm("frmExtPer", closeByWindow);
        FormsScript::OnForm("frmPrintPreview", [&](TForm& p) {
            ++previews;
            p.Close();
        });
        FormsScript::Click(*c.btnView);
        // The preview's action was never taken: no preview was shown.
        EXPECT_EQ(FormsScript::PendingActions(), 1);
        FormsScript::Reset();
        const std::string date = c.cmbAsAtDate->Text();
        FormsScript::OnForm("frmCalendar", [](TForm& d) {
            FormsScript::PickDate(*static_cast<TfrmCalendar&>(d).cal, std::chrono::year{2001} / 2 / 3);
            FormsScript::RequestWindowClose(d);
        });
        c.cmbAsAtDateDropDown(&c);
        EXPECT_EQ(c.cmbAsAtDate->Text(), date);
        FormsScript::RequestWindowClose(f);
    });
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    TPrintDialog::SetExecuteHook(nullptr);
    EXPECT_EQ(printDialogs, 0);
    EXPECT_EQ(previews, 0);
    HandOffMode = false;
    // A market picked on the first installation and the window closed: nothing is installed.
    FormsScript::Reset();
    frmFirstInstall = new TfrmFirstInstall(nullptr);
    FormsScript::OnForm("frmFirstInstall", [](TForm& d) {
        static_cast<TfrmFirstInstall&>(d).FlagClick(0);
        EXPECT_FALSE(Market.empty());
        FormsScript::RequestWindowClose(d);
    });
    EXPECT_NE(frmFirstInstall->ShowModal(), mrOk);
    EXPECT_TRUE(Market.empty());
    delete frmFirstInstall;
    frmFirstInstall = nullptr;
}

// An operation text longer than its memo is wide shows whole: the memo grows by its wrapped
// lines, and the rows below move down.
TEST_F(Display, ALongOperationTextShowsWhole) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = 'Check the condition of the drive belt and tension', "
         "OPERATION_TEXT2 = ' - renew it at the distance or time shown in the vehicle service booklet, "
         "whichever comes first, and record the renewal'");
    frmTables->tblLangText->Open();
    Market = "GB";
    Language = "EN";
    ModelRange = 101;
    FormsScript::OnForm("frmExtPer", [](TForm& d) {
        auto& e = static_cast<TfrmExtPer&>(d);
        ASSERT_GT(e.ShownCount(), 1);
        EXPECT_TRUE(FormsScript::SaveImage(d, "extper-long-text.png"));
        EXPECT_TRUE(FormsScript::ShowsAllContent(*e.Memos[1]));
        EXPECT_GE(e.Memos[2]->Top(), e.Memos[1]->Top() + e.Memos[1]->Height());
        FormsScript::PressEnter(d);
    });
    frmExtPer->ShowModal();
}

// Long captions show whole: the Greek build-date label of the checksheet form and the weekday
// heading of the calendar.
TEST_F(Display, GreekLabelsAndTheCalendarHeadingShowWhole) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    HandOffMode = false;
    XMLMode = false;
    Exec("UPDATE PARAMS SET MARKET_CODE='GR', LANG_CODE='GK'");
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet-greek.png"));
        EXPECT_EQ(FormsScript::ShownText(*c.lblVinDate).substr(0, 21),
                  u"\u039A\u03C9\u03B4\u03B9\u03BA\u03CC\u03C2 \u03B7\u03BC. \u03BA\u03B1\u03C4\u03B1\u03C3\u03BA\u03B5\u03C5\u03AE");
        EXPECT_TRUE(FormsScript::ShowsAllContent(*c.lblVinDate));
        // On two lines it still stands below its group box's frame line, as the fields under it do.
        for (TControl* control : {static_cast<TControl*>(c.lblVinDate), static_cast<TControl*>(c.edtVinDate),
                                  static_cast<TControl*>(c.lblModel)})
            EXPECT_TRUE(FormsScript::InsideParentFrame(*control)) << control->Name;
        FormsScript::OnForm("frmCalendar", [](TForm& d) {
            EXPECT_TRUE(FormsScript::SaveImage(d, "calendar.png"));
            EXPECT_TRUE(FormsScript::ShowsAllContent(*static_cast<TfrmCalendar&>(d).cal));
            FormsScript::PressEnter(d);
        });
        c.cmbAsAtDateDropDown(&c);
        FormsScript::PressEscape(f);
    });
    auto form = std::make_unique<TfrmChecksheet>(nullptr);
    form->ShowModal();
}

// The texts the toolkit supplies (message box buttons, the calendar's heading, the print
// dialog) follow the language in use, as far as the toolkit has translations: it has none for
// Greek, whose buttons stay English while the calendar names its month in Greek.
TEST_F(Display, ToolkitTextsFollowTheLanguageInUse) {
    ASSERT_TRUE(FormsScript::HasWindows());
    frmTables->tblLangText->Open();
    const struct {
        const char* Language;
        std::u16string Retry, Abort, Ignore, Cancel, Heading;
    } cases[] = {
        {"PO", u"Ponów", u"Przerwij", u"Zignoruj", u"Anuluj", u"marzec 2026"},
        {"DE", u"Wiederholen", u"Abbrechen", u"Ignorieren", u"Abbrechen", u"März 2026"},
        {"GK", u"Retry", u"Abort", u"Ignore", u"Cancel", u"Μάρτιος 2026"},
        {"EN", u"Retry", u"Abort", u"Ignore", u"Cancel", u"March 2026"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Language);
        UseLanguage(c.Language);
        EXPECT_EQ(FormsScript::StandardButtonText(mrRetry), c.Retry);
        EXPECT_EQ(FormsScript::StandardButtonText(mrAbort), c.Abort);
        EXPECT_EQ(FormsScript::StandardButtonText(mrIgnore), c.Ignore);
        EXPECT_EQ(FormsScript::StandardButtonText(mrCancel), c.Cancel);
        std::u16string heading;
        FormsScript::OnForm("frmCalendar", [&](TForm& d) {
            heading = FormsScript::ShownText(*static_cast<TfrmCalendar&>(d).cal);
            EXPECT_TRUE(FormsScript::ShowsAllContent(*static_cast<TfrmCalendar&>(d).cal));
            EXPECT_TRUE(FormsScript::SaveImage(d, std::string("calendar-") + c.Language + ".png"));
            FormsScript::PressEnter(d);
        });
        SelectDate("15/03/2026");
        EXPECT_EQ(heading, c.Heading);
    }
}

// Every text field of the checksheet form and of its dialogs takes, as it is typed, only the
// letters the language's code page holds, and shows what it holds: what is shown is what
// prints, in every code page.
TEST_F(Display, TextFieldsTakeOnlyTheLettersOfTheCodePage) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    HandOffMode = false;
    XMLMode = false;
    // Latin-2, Cyrillic, Greek and Latin-1 letters, each in some code pages only.
    const std::u16string typed = u"aąЖ Σé1";
    const auto expectHolds = [&typed](TControl& field, const std::string& held, int maxLength, bool upper) {
        std::string kept;
        for (char16_t unit : typed) {
            bool lost = false;
            const std::string byte = WideCharToMultiByte(CP_ACP, std::u16string_view(&unit, 1), '?', &lost);
            if (!lost) kept += byte;
        }
        if (upper) kept = AnsiUpperCase(kept);
        if (maxLength > 0 && static_cast<int>(kept.size()) > maxLength) kept.resize(static_cast<std::size_t>(maxLength));
        EXPECT_EQ(held, kept) << field.Name;
        EXPECT_EQ(FormsScript::ShownText(field), MultiByteToWideChar(CP_ACP, held)) << field.Name;
    };
    for (const char* language : {"PO", "BG", "EN", "GK"}) {
        SCOPED_TRACE(language);
        frmTables->tblParams->Close();
        Exec(std::string("UPDATE PARAMS SET MARKET_CODE='GB', CUSTOMER_DETAILS=1, LANG_CODE='") + language + "'");
        FormsScript::OnForm("frmChecksheet", [&](TForm& f) {
            auto& c = static_cast<TfrmChecksheet&>(f);
            for (TEdit* e : {c.edtRegNo, c.edtRegDate, c.edtMileage, c.edtRadioCode, c.edtVinDate, c.edtRepairNo}) {
                FormsScript::Type(*e, "");
                ASSERT_TRUE(FormsScript::TypeKeys(*e, typed)) << e->Name;
                expectHolds(*e, e->Text(), e->MaxLength(), e->CharCase() == TEditCharCase::ecUpperCase);
            }
            FormsScript::TypeCombo(*c.cmbAsAtDate, "");
            ASSERT_TRUE(FormsScript::TypeKeys(*c.cmbAsAtDate, typed));
            expectHolds(*c.cmbAsAtDate, c.cmbAsAtDate->Text(), c.cmbAsAtDate->MaxLength(), false);
            FormsScript::Type(*c.edtVinDate, "");
            FormsScript::OnForm("frmCustDetails", [&](TForm& d) {
                auto& cd = static_cast<TfrmCustDetails&>(d);
                for (TEdit* e : {cd.edtCustName, cd.edtCompanyName, cd.edtAddr1, cd.edtAddr2, cd.edtAddr3, cd.edtAddr4,
                                 cd.edtMainPhone}) {
                    ASSERT_TRUE(FormsScript::TypeKeys(*e, typed)) << e->Name;
                    expectHolds(*e, e->Text(), e->MaxLength(), false);
                }
                FormsScript::PressEnter(d);
            });
            FormsScript::Click(*c.btnCustomer);
            EXPECT_EQ(CustName, c.edtCustomerName->Text());
            expectHolds(*c.edtCustomerName, CustName, 0, false);
            FormsScript::OnForm("frmSpecInst", [&](TForm& d) {
                auto& memo = *static_cast<TfrmSpecInst&>(d).MemInst;
                FormsScript::TypeMemo(memo, "");
                ASSERT_TRUE(FormsScript::TypeKeys(memo, typed));
                ASSERT_EQ(memo.Lines.Count(), 1);
                expectHolds(memo, memo.Lines[0], 0, false);
                FormsScript::PressEscape(d);
            });
            FormsScript::Click(*c.btnSpecInst);
            EXPECT_EQ(SpecInstr[1], frmSpecInst->MemInst->Lines[0]);
            FormsScript::PressEscape(f);
        });
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
}

TEST_F(Display, HandOffFormFilledAndLocked) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    const std::filesystem::path file = HandOffJob(
        folder, "GB\nEN\nAR12-02\nRO-1234\n\n03/2001\nKM51 XYZ\n45000\nJ SMITH\n");
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        EXPECT_EQ(c.cmbModels->Text(), "ARDEN");
        EXPECT_TRUE(c.edtRegNo->ReadOnly());
        EXPECT_FALSE(FormsScript::Type(*c.edtRegNo, "X"));
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet-handoff.png"));
        FormsScript::PressEscape(f);
    });
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    HandOffMode = false;
    EXPECT_FALSE(std::filesystem::exists(file));
}

// Hand-off values longer than their fields: the locked widgets show them whole; a value that code
// sets longer than an open field's limit shows whole too, and typing does not lengthen it.
TEST_F(Display, ValuesSetInCodeLongerThanTheirFieldsShowWhole) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    HandOffJob(folder, "GB\nEN\nAR12-02\nRO-123456789012345678901234\n\n03/2001\nKM51 XYZ 1234\n123456789012345\n"
                       "J SMITH\n");
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        EXPECT_EQ(FormsScript::ShownText(*c.edtRepairNo), u"RO-123456789012345678901234");
        EXPECT_EQ(FormsScript::ShownText(*c.edtRegNo), u"KM51 XYZ 1234");
        EXPECT_EQ(FormsScript::ShownText(*c.edtMileage), u"123456789012345");
        FormsScript::PressEscape(f);
    });
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    HandOffMode = false;
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        c.edtMileage->SetText("123456789012345");
        EXPECT_EQ(FormsScript::ShownText(*c.edtMileage), u"123456789012345");
        EXPECT_TRUE(FormsScript::TypeKeys(*c.edtMileage, u"9"));
        EXPECT_EQ(c.edtMileage->Text(), "123456789012345");
        EXPECT_EQ(FormsScript::ShownText(*c.edtMileage), u"123456789012345");
        FormsScript::Type(*c.edtMileage, "");
        EXPECT_TRUE(FormsScript::TypeKeys(*c.edtMileage, u"123456789"));
        EXPECT_EQ(c.edtMileage->Text(), "1234567");
        FormsScript::PressEscape(f);
    });
    auto form = std::make_unique<TfrmChecksheet>(nullptr);
    form->ShowModal();
}

TEST_F(Display, HandOffJobOfSeveralRangesOffersTheirVariantsBeforeItPrints) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    // PL14-02 maps to model ranges 105 and 106; no drive type or build date decides between them.
    HandOffJob(folder, "GB\nEN\nPL14-02\nRO-1234\n\n03/2001\nKM51 XYZ\n45000\nJ SMITH\n");
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        EXPECT_EQ(c.cmbModels->Text(), "PELLOR");
        EXPECT_EQ(c.cmbVariants->Items.Count(), 2);
        EXPECT_FALSE(FormsScript::Click(*c.btnPrint));
        EXPECT_FALSE(FormsScript::Click(*c.btnView));
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet-handoff-candidates.png"));
        ASSERT_TRUE(FormsScript::Select(*c.cmbVariants, 1));
        EXPECT_FALSE(c.btnPrint->Enabled());
        ASSERT_TRUE(FormsScript::Select(*c.cmbInterval, 1));
        EXPECT_TRUE(c.btnPrint->Enabled());
        EXPECT_TRUE(c.btnView->Enabled());
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet-handoff-chosen.png"));
        FormsScript::PressEscape(f);
    });
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    HandOffMode = false;
}

using DisplayReport = ReportFixture;

TEST_F(DisplayReport, PreviewFormShowsTheChecksheetPageByPage) {
    ASSERT_TRUE(FormsScript::HasWindows());
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    TfrmPrintPreview form(nullptr);
    FormsScript::OnForm("frmPrintPreview", [&](TForm& f) {
        EXPECT_EQ(f.Caption(), LText(26));
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet-preview-1.png"));
        EXPECT_TRUE(FormsScript::Click(*form.btnNext));
        EXPECT_EQ(form.prvReport->PageNumber(), 2);
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet-preview-2.png"));
        EXPECT_TRUE(FormsScript::PressEscape(f));
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

// Maximised or dragged larger, the preview form's page view fills the window below the buttons
// and the sheet widens with it.
TEST_F(DisplayReport, PreviewFollowsItsWindow) {
    ASSERT_TRUE(FormsScript::HasWindows());
    TfrmPrintPreview form(nullptr);
    FormsScript::OnForm("frmPrintPreview", [&](TForm& f) {
        tPrintPreview& view = *form.prvReport;
        EXPECT_EQ(view.Top() + view.Height(), f.ClientHeight());
        const int zoom = view.Zoom();
        FormsScript::ResizeWindow(f, 1200, 900);
        EXPECT_EQ(f.ClientWidth(), 1200);
        EXPECT_EQ(form.pnlNavigation->Width(), 1200);
        EXPECT_EQ(view.Left(), 0);
        EXPECT_EQ(view.Top(), form.pnlNavigation->Height());
        EXPECT_EQ(view.Width(), 1200);
        EXPECT_EQ(view.Height(), 900 - form.pnlNavigation->Height());
        EXPECT_GT(view.Zoom(), zoom);
        EXPECT_TRUE(FormsScript::SaveImage(f, "checksheet-preview-enlarged.png"));
        FormsScript::ResizeWindow(f, 794, 552);
        EXPECT_EQ(view.Height(), 552 - form.pnlNavigation->Height());
        EXPECT_EQ(view.Zoom(), zoom);
        EXPECT_TRUE(FormsScript::PressEscape(f));
    });
    EXPECT_EQ(form.ShowModal(), mrCancel);
}

namespace {

/// The checksheet form shows its caption in the language's letters, and so do the customer and
/// extended-period dialogs opened from it (pictured as `tag`-*.png).
void CheckFormInItsLetters(const std::string& tag, const std::u16string& formCaption,
                           const std::u16string& customerCaption, const std::u16string& extPerCaption) {
    FormsScript::OnForm("frmChecksheet", [=](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        EXPECT_EQ(FormsScript::ShownText(f), formCaption);
        EXPECT_TRUE(FormsScript::SaveImage(f, tag + "-checksheet.png"));
        FormsScript::OnForm("frmCustDetails", [=](TForm& d) {
            EXPECT_EQ(FormsScript::ShownText(d), customerCaption);
            EXPECT_TRUE(FormsScript::SaveImage(d, tag + "-custdetails.png"));
            FormsScript::PressEscape(d);
        });
        EXPECT_TRUE(FormsScript::Click(*c.btnCustomer));
        ModelRange = 101;
        FormsScript::OnForm("frmExtPer", [=](TForm& d) {
            EXPECT_GT(static_cast<TfrmExtPer&>(d).ShownCount(), 0);
            EXPECT_EQ(FormsScript::ShownText(d), extPerCaption);
            EXPECT_TRUE(FormsScript::SaveImage(d, tag + "-extper.png"));
            FormsScript::PressEscape(d);
        });
        frmExtPer->ShowModal();
        FormsScript::PressEscape(f);
    });
    auto form = std::make_unique<TfrmChecksheet>(nullptr);
    form->ShowModal();
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

}  // namespace

TEST_F(Display, FormsWithoutTheMenuShowTheLettersOfTheirLanguage) {
    ASSERT_TRUE(FormsScript::HasWindows());
    const StartUpDialogs dialogs;
    // The form alone in XML mode with Greek settings, in a run that started in code page 1252.
    SetACP(1252);
    Exec("UPDATE PARAMS SET MARKET_CODE='GR', LANG_CODE='GK'");
    XMLMode = true;
    CheckFormInItsLetters("xml-gk", u"\u03A6\u03CD\u03BB\u03BB\u03BF \u03B5\u03BB\u03AD\u03B3\u03C7\u03BF\u03C5 \u03C3\u03AD\u03C1\u03B2\u03B9\u03C2",
                          u"\u03A3\u03C4\u03BF\u03B9\u03C7\u03B5\u03AF\u03B1 \u03C0\u03B5\u03BB\u03AC\u03C4\u03B7",
                          u"\u0395\u03C1\u03B3\u03B1\u03C3\u03AF\u03B5\u03C2 \u03B5\u03BA\u03C4\u03B5\u03C4\u03B1\u03BC\u03AD\u03BD\u03BF\u03C5 "
                          u"\u03B4\u03B9\u03B1\u03C3\u03C4\u03AE\u03BC\u03B1\u03C4\u03BF\u03C2");
    XMLMode = false;
    // A hand-off file in Polish, in a run that started in code page 1252.
    SetACP(1252);
    HandOffJob(folder, "PL\nPO\nPL19-05\nRO-77\n\n03/2004\nWX 4711\n61000\nJ KOWALSKI\n");
    CheckFormInItsLetters("handoff-po", u"Lista przegl\u0105dowa", u"Dane klienta", u"Czynno\u015Bci okresowe");
    HandOffMode = false;
    SetACP(1252);
}

TEST_F(Display, ChecksheetFormOpensOnTheRepairNumberWithSevenIntervalRows) {
    ASSERT_TRUE(FormsScript::HasWindows());
    HandOffMode = false;
    XMLMode = false;
    frmSpecInst = new TfrmSpecInst(nullptr);
    FormsScript::OnForm("frmChecksheet", [](TForm& f) {
        auto& c = static_cast<TfrmChecksheet&>(f);
        EXPECT_TRUE(FormsScript::HasFocus(*c.edtRepairNo));
        EXPECT_FALSE(FormsScript::HasFocus(*c.cmbAsAtDate));
        FormsScript::Select(*c.cmbModels, c.cmbModels->Items.IndexOf("PELLOR"));
        FormsScript::Select(*c.cmbVariants, 0);
        ASSERT_GT(c.cmbInterval->Items.Count(), 7);
        EXPECT_EQ(FormsScript::DroppedRows(*c.cmbInterval), 7);
        FormsScript::PressEscape(f);
    });
    {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->ShowModal();
    }
    EXPECT_EQ(FormsScript::PendingActions(), 0);
    delete frmSpecInst;
    frmSpecInst = nullptr;
}

TEST_F(Display, ExtendedPeriodListScrollsOnlyWhenItDoesNotFit) {
    ASSERT_TRUE(FormsScript::HasWindows());
    frmExtPer = new TfrmExtPer(nullptr);
    frmTables->tblLangText->Open();
    Market = "GB";
    Language = "EN";
    ModelRange = 101;
    // The sample's operations fit: no bar, and the wheel over a two-line memo moves nothing.
    FormsScript::OnForm("frmExtPer", [](TForm& d) {
        auto& e = static_cast<TfrmExtPer&>(d);
        ASSERT_GT(e.ShownCount(), 0);
        EXPECT_FALSE(FormsScript::ShownScrollBar(*e.sbExtPer).Shown);
        EXPECT_EQ(e.Memos[1]->Lines.Count(), 2);
        EXPECT_TRUE(FormsScript::SaveScreenImage(*e.Memos[1], "extper-memo-before.png"));
        FormsScript::Wheel(*e.Memos[1], -1);
        EXPECT_TRUE(FormsScript::SaveScreenImage(*e.Memos[1], "extper-memo-after.png"));
        EXPECT_TRUE(FormsScript::SaveImage(d, "extper-fits.png"));
        FormsScript::PressEnter(d);
    });
    frmExtPer->ShowModal();
    EXPECT_EQ(ReadFile("extper-memo-before.png"), ReadFile("extper-memo-after.png"));
    // Twenty operations do not fit: the wheel over a memo scrolls the list, and the bar's thumb
    // stands where the list does, down to the last operation.
    AddExtendedPeriodOperations();
    frmTables->tblStructure->Close();
    frmTables->tblCSLinks->Close();
    FormsScript::OnForm("frmExtPer", [](TForm& d) {
        auto& e = static_cast<TfrmExtPer&>(d);
        ASSERT_EQ(e.ShownCount(), kExtPerPlaces);
        TScrollBox& box = *e.sbExtPer;
        FormsScript::ShownBar bar = FormsScript::ShownScrollBar(box);
        EXPECT_TRUE(bar.Shown);
        EXPECT_EQ(bar.Maximum, box.VertScrollBar.Range() - box.ClientHeight());
        FormsScript::Wheel(*e.Memos[1], -1);
        bar = FormsScript::ShownScrollBar(box);
        EXPECT_GT(box.VertScrollBar.Position(), 0);
        EXPECT_EQ(bar.Position, box.VertScrollBar.Position());
        for (int i = 0; i < 40; ++i) FormsScript::Wheel(box, -1);
        bar = FormsScript::ShownScrollBar(box);
        EXPECT_EQ(bar.Position, bar.Maximum);
        EXPECT_EQ(box.VertScrollBar.Position(), bar.Maximum);
        // The last operation is in view at the bottom.
        const TMemo& last = *e.Memos[kExtPerPlaces];
        EXPECT_LE(last.Top() + last.Height() - box.VertScrollBar.Position(), box.ClientHeight());
        EXPECT_TRUE(FormsScript::SaveImage(d, "extper-twenty-bottom.png"));
        FormsScript::PressEnter(d);
    });
    frmExtPer->ShowModal();
    EXPECT_EQ(FormsScript::PendingActions(), 0);
    delete frmExtPer;
    frmExtPer = nullptr;
}

TEST_F(DisplayReport, PreviewNextButtonRepaintsTheSheet) {
    ASSERT_TRUE(FormsScript::HasWindows());
    RunChoices c;
    c.Emission = c.Brake = true;
    Choose(c);
    TfrmPrintPreview form(nullptr);
    FormsScript::OnForm("frmPrintPreview", [&](TForm&) {
        EXPECT_TRUE(FormsScript::SaveScreenImage(*form.prvReport, "preview-screen-1.png"));
        EXPECT_TRUE(FormsScript::Click(*form.btnNext));
        EXPECT_EQ(form.prvReport->PageNumber(), 2);
        EXPECT_TRUE(FormsScript::SaveScreenImage(*form.prvReport, "preview-screen-2.png"));
        form.Close();
    });
    form.ShowModal();
    const std::string first = ReadFile("preview-screen-1.png"), second = ReadFile("preview-screen-2.png");
    EXPECT_FALSE(first.empty());
    EXPECT_NE(first, second);
}
