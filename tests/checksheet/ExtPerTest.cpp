// The extended-period dialog on copies of the sample database: which operations it offers, the
// keys and "0" entries it leaves in ExtPerOps, ticks kept or cleared between showings, Cancel,
// and the dialog that confirms itself when it has nothing to ask.
#include <memory>

#include "ChecksheetFixture.h"
#include "ExtPer.h"
#include "SysUtils.h"

namespace {

class ExtendedPeriod : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        frmTables->tblLangText->Open();
        Market = "GB";
        Language = "EN";
        ModelRange = 101;
        ResetExtPerChecks = false;
        ContinuePrint = true;
        frmExtPer = new TfrmExtPer(nullptr);
    }
    void TearDown() override {
        delete frmExtPer;
        frmExtPer = nullptr;
        ChecksheetFixture::TearDown();
    }
    /// Shows the dialog; `body` runs when it is shown (nothing: the dialog is left to itself).
    TModalResult Run(TfrmExtPer& dialog, const std::function<void(TfrmExtPer&)>& body) {
        if (body)
            FormsScript::OnForm("frmExtPer", [body](TForm& f) { body(static_cast<TfrmExtPer&>(f)); });
        return dialog.ShowModal();
    }
    static std::vector<std::string> Entries(int count) {
        return std::vector<std::string>(ExtPerOps.begin() + 1, ExtPerOps.begin() + 1 + count);
    }
};

}  // namespace

TEST_F(ExtendedPeriod, OffersTheOperationsDueAtEveryLaterInterval) {
    TModalResult result = Run(*frmExtPer, [](TfrmExtPer& d) {
        EXPECT_EQ(d.Caption(), "Extended Period Operations");
        EXPECT_EQ(d.lblCheckBox->Caption(), "Tick the extended period operations to be carried out at this service");
        EXPECT_EQ(d.ShownCount(), 8);
        EXPECT_EQ(d.Memos[1]->Lines.Count(), 2);
        EXPECT_EQ(d.Memos[1]->Lines[0], "Brakes");
        EXPECT_EQ(d.Memos[1]->Lines[1], "Renew brake fluid");
        EXPECT_EQ(d.Memos[3]->Lines[1],
                  "Renew timing belt and tensioner; record the mileage on the label in the engine compartment ____ km");
        // Layout: 16 pixels a line, 8 between operations.
        EXPECT_EQ(d.Memos[1]->Top(), 8);
        EXPECT_EQ(d.Memos[1]->Left(), 24);
        EXPECT_EQ(d.Memos[1]->Width(), 600);
        EXPECT_EQ(d.Memos[1]->Height(), 32);
        EXPECT_EQ(d.Memos[2]->Top(), 48);
        EXPECT_EQ(d.CheckBoxes[2]->Top(), 48);
        EXPECT_TRUE(d.CheckBoxes[8]->Visible());
        EXPECT_FALSE(d.CheckBoxes[9]->Visible());
        EXPECT_FALSE(d.Memos[9]->Visible());
        EXPECT_GE(d.sbExtPer->VertScrollBar.Range(), d.Memos[8]->Top() + d.Memos[8]->Height());
        EXPECT_EQ(d.sbExtPer->Controls(0), d.Memos[1]);
        EXPECT_EQ(d.sbExtPer->Controls(20), d.CheckBoxes[1]);
        FormsScript::Click(*d.CheckBoxes[1]);
        FormsScript::Click(*d.CheckBoxes[3]);
        FormsScript::Click(*d.btnOK);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_TRUE(ContinuePrint);
    EXPECT_EQ(Entries(9), (std::vector<std::string>{"12.601", "0", "27.603", "0", "0", "0", "0", "0", ""}));
    EXPECT_EQ(ExtPerOps[20], "");
}

TEST_F(ExtendedPeriod, TicksStayForTheSameVariantAndAreClearedAfterAnother) {
    Run(*frmExtPer, [](TfrmExtPer& d) {
        FormsScript::Click(*d.CheckBoxes[2]);
        FormsScript::PressEnter(d);
    });
    EXPECT_EQ(ExtPerOps[2], "8.602");
    Run(*frmExtPer, [](TfrmExtPer& d) {
        EXPECT_TRUE(d.CheckBoxes[2]->Checked());
        FormsScript::PressEnter(d);
    });
    EXPECT_EQ(ExtPerOps[2], "8.602");
    // A preview's own dialog starts unticked and leaves the request to clear for the print's.
    ResetExtPerChecks = true;
    {
        TfrmExtPer fresh(nullptr);
        Run(fresh, [](TfrmExtPer& d) {
            EXPECT_FALSE(d.CheckBoxes[2]->Checked());
            FormsScript::PressEnter(d);
        });
    }
    EXPECT_TRUE(ResetExtPerChecks);
    EXPECT_EQ(ExtPerOps[2], "0");
    Run(*frmExtPer, [](TfrmExtPer& d) {
        for (int n = 1; n <= kExtPerPlaces; ++n) EXPECT_FALSE(d.CheckBoxes[n]->Checked()) << n;
        FormsScript::PressEnter(d);
    });
    EXPECT_FALSE(ResetExtPerChecks);
    EXPECT_EQ(ExtPerOps[2], "0");
}

TEST_F(ExtendedPeriod, CancelStopsThePrint) {
    EXPECT_EQ(Run(*frmExtPer, [](TfrmExtPer& d) { FormsScript::PressEscape(d); }), mrCancel);
    EXPECT_FALSE(ContinuePrint);
}

TEST_F(ExtendedPeriod, NothingToAskConfirmsItselfAtOnce) {
    ModelRange = 999;
    ContinuePrint = true;
    EXPECT_EQ(Run(*frmExtPer, nullptr), mrOk);
    EXPECT_TRUE(ContinuePrint);
    EXPECT_EQ(Entries(20), std::vector<std::string>(20));
    EXPECT_FALSE(frmExtPer->Timer1->Enabled());
    // Without any extended-period heading the same happens.
    Exec("UPDATE MAINHEAD SET MH_EXTPER='N'");
    frmTables->tblMainHead->Close();
    ModelRange = 101;
    EXPECT_EQ(Run(*frmExtPer, nullptr), mrOk);
    EXPECT_EQ(ExtPerOps[1], "");
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(ExtendedPeriod, OnlyLinksWithYesAtEveryLaterIntervalCount) {
    Exec("UPDATE CSLINKS SET INTERVALS='NYYYYYYYYYYYYYYYYYYYN' WHERE MODEL_RANGE_CODE=101 AND CS_CODE=1190");
    Exec("UPDATE CSLINKS SET INTERVALS='YYYYYYYYYYYYYYYYYYYY' WHERE MODEL_RANGE_CODE=101 AND CS_CODE=1200");
    Exec("UPDATE CSLINKS SET INTERVALS='NYYYYYYYYYYYYYYYYYYYYNNN' WHERE MODEL_RANGE_CODE=101 AND CS_CODE=1210");
    // An operation without a text in the language is never offered.
    Exec("DELETE FROM SERVOPS WHERE LANG_CODE='EN' AND OP_CODE=605");
    Run(*frmExtPer, [](TfrmExtPer& d) {
        EXPECT_EQ(d.ShownCount(), 5);
        FormsScript::PressEnter(d);
    });
    EXPECT_EQ(Entries(6), (std::vector<std::string>{"0", "0", "0", "0", "0", ""}));
}

TEST_F(ExtendedPeriod, LevelTwoHeadingGivesTheKeyAndMarketRowsNeedTheirLanguage) {
    Exec("INSERT INTO CSLINKS VALUES (101, 1250, 'YYYYYYYYYYYYYYYYYYYYY')");  // L1 0, L2 24, op 607
    Exec("INSERT INTO Csstruct VALUES (1301, 'DX', 'DE', 0, 12, 0, 601, 'Y', 'Y', 'N')");
    Exec("INSERT INTO CSLINKS VALUES (101, 1301, 'YYYYYYYYYYYYYYYYYYYYY')");
    Exec("INSERT INTO Csstruct VALUES (1302, 'GB', 'DE', 0, 8, 0, 602, 'Y', 'Y', 'N')");
    Exec("INSERT INTO CSLINKS VALUES (101, 1302, 'YYYYYYYYYYYYYYYYYYYYY')");
    Run(*frmExtPer, [](TfrmExtPer& d) {
        EXPECT_EQ(d.ShownCount(), 10);  // the DX row is not for GB/EN; the GB row is, whatever its language
        FormsScript::Click(*d.CheckBoxes[6]);
        FormsScript::PressEnter(d);
    });
    EXPECT_EQ(ExtPerOps[6], "24.607");
    EXPECT_EQ(ExtPerOps[10], "0");
    // In the German market the DX/DE row is offered too, with the German texts.
    Market = "DX";
    Language = "DE";
    Run(*frmExtPer, [](TfrmExtPer& d) {
        EXPECT_EQ(d.ShownCount(), 11);
        FormsScript::PressEnter(d);
    });
}

TEST_F(ExtendedPeriod, DecimalSeparatorJoinsTheKey) {
    FormatSettings.DecimalSeparator = ',';
    Run(*frmExtPer, [](TfrmExtPer& d) {
        FormsScript::Click(*d.CheckBoxes[1]);
        FormsScript::PressEnter(d);
    });
    FormatSettings.DecimalSeparator = '.';
    EXPECT_EQ(ExtPerOps[1], "12,601");
}

TEST_F(ExtendedPeriod, AtMostTwentyOperationsAreOffered) {
    // Nineteen further rows under the heading: 27 candidates in all.
    AddExtendedPeriodOperations();
    Run(*frmExtPer, [](TfrmExtPer& d) {
        EXPECT_EQ(d.ShownCount(), kExtPerPlaces);
        for (int n = 1; n <= kExtPerPlaces; ++n) FormsScript::Click(*d.CheckBoxes[n]);
        FormsScript::PressEnter(d);
    });
    EXPECT_EQ(ExtPerCount, kExtPerPlaces);
    EXPECT_EQ(ExtPerOps[20], "12.601");
    EXPECT_EQ(ExtPerOps[21], "");
}

// An operation text continued in its second field keeps the blank that ends its first, as the
// sheet prints it.
TEST_F(ExtendedPeriod, ContinuedOperationTextKeepsTheBlankBetweenItsParts) {
    Exec("UPDATE SERVOPS SET OPERATION_TEXT1 = 'Renew brake ', OPERATION_TEXT2 = 'fluid' "
         "WHERE LANG_CODE = 'EN' AND OP_CODE = 601");
    Run(*frmExtPer, [](TfrmExtPer& d) {
        EXPECT_EQ(d.Memos[1]->Lines[1], "Renew brake fluid");
        FormsScript::PressEnter(d);
    });
}
