// The checksheet form driven through the test script on copies of the sample database: the
// lists with their hidden codes per market and language, the option rules, the VIN build-date
// code, the two date fields, the caption wrapping and the customer and instruction dialogs.
#include <memory>

#include "Chksheet.h"
#include "ChecksheetFixture.h"
#include "ComCtrls.h"
#include "CustDet.h"
#include "ExtPer.h"
#include "SpecInst.h"
#include "SysUtils.h"
#include "cal.h"

namespace {

const std::string kSep = std::string(120, ' ') + "\xB6";

class ChecksheetForm : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        HandOffMode = false;
        XMLMode = false;
        BatchMode = false;
        ModelRange = 0;
        IntervalNo = 0;
        ResetExtPerChecks = false;
        frmSpecInst = new TfrmSpecInst(nullptr);
        frmExtPer = new TfrmExtPer(nullptr);
    }
    void TearDown() override {
        delete frmExtPer;
        frmExtPer = nullptr;
        delete frmSpecInst;
        frmSpecInst = nullptr;
        HandOffMode = false;
        XMLMode = false;
        ChecksheetFixture::TearDown();
    }
    /// Shows the form; `body` runs once it is shown, then the form is closed.
    void Show(const std::function<void(TfrmChecksheet&)>& body) {
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        bool ran = false;
        FormsScript::OnForm("frmChecksheet", [&](TForm& f) {
            ran = true;
            body(static_cast<TfrmChecksheet&>(f));
            f.Close();
        });
        form->ShowModal();
        EXPECT_TRUE(ran);
    }
    static std::vector<std::string> Items(const TComboBox& c) {
        std::vector<std::string> items;
        for (int i = 0; i < c.Items.Count(); ++i) items.push_back(c.Items[i]);
        return items;
    }
    static int IndexOfVisible(const TComboBox& c, const std::string& visible) {
        for (int i = 0; i < c.Items.Count(); ++i)
            if (ItemText(c.Items[i]) == visible) return i;
        return -1;
    }
    /// Chooses the model of that name and the variant with that hidden code.
    static void Choose(TfrmChecksheet& f, const std::string& model, int rangeCode) {
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf(model)));
        for (int i = 0; i < f.cmbVariants->Items.Count(); ++i)
            if (ItemCode(f.cmbVariants->Items[i]) == rangeCode) {
                ASSERT_TRUE(FormsScript::Select(*f.cmbVariants, i));
                return;
            }
        FAIL() << "no variant " << rangeCode;
    }
    std::vector<std::string> Messages() const { return FormsScript::MessageTexts(); }
    /// Changes the database between two showings: the data module reads it afresh.
    void Change(const std::string& sql) {
        Exec(sql);
        delete frmTables;
        frmTables = new TfrmTables();
    }
};

}  // namespace

// --- hidden codes -------------------------------------------------------------------------------

TEST(ListItems, CodeIsReadAfterTheLastSeparator) {
    EXPECT_EQ(ItemCode("1.2 8V" + kSep + "101"), 101);
    EXPECT_EQ(ItemText("1.2 8V" + kSep + "101"), "1.2 8V");
    // In code page 1253 the separator byte is a letter of the visible text.
    EXPECT_EQ(ItemCode("\xB6\xCB\xC1 5" + kSep + "17"), 17);
    EXPECT_EQ(ItemText("\xB6\xCB\xC1 5" + kSep + "17"), "\xB6\xCB\xC1 5");
    EXPECT_EQ(ItemCode("no code at all"), 0);
    EXPECT_EQ(ItemCode("bad" + kSep + "1a"), 0);
    EXPECT_EQ(ItemCode("long" + kSep + "1234567"), 12345);  // at most five characters
}

// --- showing and the model list ----------------------------------------------------------------

TEST_F(ChecksheetForm, GreatBritainShowsMilesWithoutTheGermanPanel) {
    Show([](TfrmChecksheet& f) {
        EXPECT_EQ(f.Caption(), "Service Checksheet");
        EXPECT_EQ(f.rbmlkm->Caption(), "ml");
        EXPECT_FALSE(f.pnlGerman->Visible());
        EXPECT_FALSE(f.lblGermanIntLegend->Visible());
        EXPECT_EQ(f.lblRegDate->Caption(), "Registration date");
        EXPECT_EQ(f.lblMMYY->Caption(), "(MM/YY)");
        EXPECT_EQ(f.cbPaintBodyWith->Caption(), "Paint and body check");
        EXPECT_FALSE(f.cbPaintBodyWithout->Visible());
        EXPECT_TRUE(f.cbEmissionTest->Visible());
        EXPECT_TRUE(f.cbEmissionTest->Enabled());
        EXPECT_FALSE(f.cbBrakeTest->Enabled());
        EXPECT_TRUE(f.cbService->Checked());
        EXPECT_TRUE(f.rbYears->Checked());
        EXPECT_EQ(Items(*f.cmbModels), (std::vector<std::string>{"ARDEN", "CALLISTA", "MERIDIAN", "PELLOR", "Zeb"}));
        EXPECT_EQ(f.cmbModels->ItemIndex(), -1);
        EXPECT_TRUE(f.cmbModels->EffectivelyEnabled());
        EXPECT_TRUE(f.edtVinDate->EffectivelyEnabled());
        EXPECT_FALSE(f.cmbVariants->EffectivelyEnabled());
        EXPECT_FALSE(f.cmbInterval->EffectivelyEnabled());
        EXPECT_FALSE(f.rbmlkm->EffectivelyEnabled());
        for (TControl* c : std::initializer_list<TControl*>{f.btnPrint, f.btnView, f.btnNew}) EXPECT_FALSE(c->Enabled());
        EXPECT_TRUE(f.btnCustomer->Enabled());
        EXPECT_EQ(f.ActiveControl(), f.edtRepairNo);
        EXPECT_EQ(f.cmbAsAtDate->Text(), DateToStr(Date()));
        EXPECT_EQ(AsAtDate, DateToStr(Date()));
        EXPECT_EQ(f.cmbModels->DropDownCount, 10);
        EXPECT_EQ(f.cmbInterval->DropDownCount, 7);
    });
    EXPECT_EQ(Market, "GB");
    EXPECT_EQ(frmTables->tblMRanges->IndexName(), "");  // reset when the form closed
}

TEST_F(ChecksheetForm, VariantsCarryTheirRangeCodesAndOpenEndedOrNonCatTexts) {
    Show([this](TfrmChecksheet& f) {
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("ARDEN")));
        EXPECT_EQ(SelModelCode, 1);
        EXPECT_EQ(Items(*f.cmbVariants), (std::vector<std::string>{
                                             "1.2 8V 44KW : 01/1994 - 08/1999" + kSep + "101",
                                             "1.3 CARBURETTOR 40KW  ( Non Cat ) : 03/1988 - 12/1993" + kSep + "102",
                                             "1.4 16V 66KW : 09/1999 - " + kSep + "103",
                                             "1.8 DIESEL 44KW : 01/1994 - 08/1999" + kSep + "104"}));
        EXPECT_TRUE(f.cmbVariants->EffectivelyEnabled());
        EXPECT_FALSE(f.cmbInterval->EffectivelyEnabled());
        ASSERT_TRUE(FormsScript::Select(*f.cmbVariants, 3));
        EXPECT_EQ(ModelRange, 104);
        EXPECT_TRUE(ResetExtPerChecks);
        EXPECT_TRUE(f.cmbInterval->EffectivelyEnabled());
        EXPECT_FALSE(f.btnPrint->Enabled());
        // "ZEB" is offered as "Zeb" and found again by its stored name.
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("Zeb")));
        EXPECT_EQ(SelModelCode, 4);
        EXPECT_EQ(f.cmbVariants->Items.Count(), 2);
        EXPECT_EQ(f.cmbInterval->Items.Count(), 0);
    });
}

TEST_F(ChecksheetForm, TwoVariantsWithTheSameTextAreBothOfferedWithTheirOwnCodes) {
    Exec("INSERT INTO Mranges (MODEL_CODE, ENGINE_CODE, BUILD_DATE_FROM, MODEL_RANGE_CODE, INTERVAL_CODE, "
         "BUILD_DATE_TO) VALUES (1, 1, '01/1994', 199, 1, '08/1999')");
    Show([](TfrmChecksheet& f) {
        Choose(f, "ARDEN", 101);
        EXPECT_EQ(ModelRange, 101);
        int twins = 0;
        for (int i = 0; i < f.cmbVariants->Items.Count(); ++i)
            if (ItemText(f.cmbVariants->Items[i]) == "1.2 8V 44KW : 01/1994 - 08/1999") ++twins;
        EXPECT_EQ(twins, 2);
        Choose(f, "ARDEN", 199);
        EXPECT_EQ(ModelRange, 199);
    });
}

TEST_F(ChecksheetForm, MissingEngineOrModelRowsSkipTheRowWithoutAnError) {
    Exec("DELETE FROM ENGINES WHERE LANG_CODE='EN' AND ENGINE_CODE=3");
    Exec("INSERT INTO Mranges (MODEL_CODE, ENGINE_CODE, BUILD_DATE_FROM, MODEL_RANGE_CODE, INTERVAL_CODE, "
         "BUILD_DATE_TO) VALUES (9, 1, '01/1994', 198, 1, '')");
    Show([](TfrmChecksheet& f) {
        EXPECT_EQ(f.cmbModels->Items.Count(), 5);  // model 9 has no MODELS row
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("ARDEN")));
        EXPECT_EQ(f.cmbVariants->Items.Count(), 3);
    });
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ChecksheetForm, HandOffRangesBringTheirOwnModel) {
    Show([](TfrmChecksheet& f) {
        HandOffRangeCodes.fill(0);
        HandOffRangeCodes[1] = 115;
        HandOffRangeCodes[2] = 105;
        f.FillVariantList('M');
        EXPECT_EQ(Items(*f.cmbModels), std::vector<std::string>{"PELLOR"});
        EXPECT_EQ(f.cmbModels->ItemIndex(), 0);
        EXPECT_EQ(Items(*f.cmbVariants), (std::vector<std::string>{"1.4 16V 66KW : 03/1998 - " + kSep + "105",
                                                                   "1.4 16V 66KW : 03/1998 - " + kSep + "115"}));
        HandOffRangeCodes.fill(0);
        HandOffRangeCodes[50] = 112;
        f.FillVariantList('M');
        EXPECT_EQ(Items(*f.cmbModels), std::vector<std::string>{"Zeb"});
        EXPECT_EQ(f.cmbVariants->Items.Count(), 1);
        HandOffRangeCodes.fill(0);
        f.FillVariantList('M');
        EXPECT_EQ(f.cmbVariants->Items.Count(), 0);
    });
}

// --- intervals ---------------------------------------------------------------------------------

TEST_F(ChecksheetForm, IntervalsInBothWordingsKeepTheirPositionAsCode) {
    Show([](TfrmChecksheet& f) {
        Choose(f, "ARDEN", 101);
        const auto& items = f.cmbInterval->Items;
        ASSERT_EQ(items.Count(), 21);
        EXPECT_EQ(items[0], "First Service" + kSep + "1");
        EXPECT_EQ(items[1], "1 Service    (10000 ml)" + kSep + "2");
        EXPECT_EQ(items[2], "2 Service    (20000 ml)" + kSep + "3");
        EXPECT_EQ(items[20], "20 Service    (200000 ml)" + kSep + "21");
        ASSERT_TRUE(FormsScript::Select(*f.cmbInterval, 2));
        EXPECT_EQ(IntervalNo, 3);
        EXPECT_TRUE(f.btnPrint->Enabled());
        EXPECT_TRUE(f.btnView->Enabled());
        EXPECT_TRUE(f.btnSpecInst->Enabled());
        // The other wording keeps the interval chosen.
        ASSERT_TRUE(FormsScript::Click(*f.rbmlkm));
        EXPECT_EQ(items[2], "20000 ml    (2 Service)" + kSep + "3");
        EXPECT_EQ(f.cmbInterval->ItemIndex(), 2);
    });
}

TEST_F(ChecksheetForm, IntervalFlagsComeFromEveryLinkOfTheRangeAndShortTextsCountAsNo) {
    Exec("DELETE FROM CSLINKS WHERE MODEL_RANGE_CODE=101");
    Exec("INSERT INTO CSLINKS VALUES (101, 10, 'YN')");
    Exec("INSERT INTO CSLINKS VALUES (101, 20, 'NNNY')");
    Exec("DELETE FROM CSLINKS WHERE MODEL_RANGE_CODE=103");
    Exec("DELETE FROM CSLINKS WHERE MODEL_RANGE_CODE=104");
    Exec("INSERT INTO CSLINKS VALUES (104, 10, 'YNNNNNNNNNNNNNNNNNNNN')");
    Show([](TfrmChecksheet& f) {
        Choose(f, "ARDEN", 101);
        EXPECT_EQ(Items(*f.cmbInterval),
                  (std::vector<std::string>{"First Service" + kSep + "1", "3 Service    (30000 ml)" + kSep + "4"}));
        EXPECT_TRUE(IntervalFlags[1] && IntervalFlags[4]);
        EXPECT_FALSE(IntervalFlags[2] || IntervalFlags[21]);
        Choose(f, "ARDEN", 104);
        EXPECT_EQ(Items(*f.cmbInterval), std::vector<std::string>{"First Service" + kSep + "1"});
        Choose(f, "ARDEN", 103);
        EXPECT_EQ(f.cmbInterval->Items.Count(), 0);
    });
}

TEST_F(ChecksheetForm, MissingIntervalOrMarketRowLeavesTheIntervalListEmpty) {
    Exec("DELETE FROM INTERVAL WHERE INTERVAL_CODE=1");
    Show([](TfrmChecksheet& f) {
        Choose(f, "ARDEN", 101);
        EXPECT_EQ(f.cmbInterval->Items.Count(), 0);
        Choose(f, "ARDEN", 103);  // interval 3 exists
        EXPECT_EQ(f.cmbInterval->Items.Count(), 21);
    });
    Change("DELETE FROM MARKET WHERE MARKET_CODE='GB'");
    Show([](TfrmChecksheet& f) {
        Choose(f, "ARDEN", 103);
        EXPECT_EQ(f.cmbInterval->Items.Count(), 0);
    });
    EXPECT_TRUE(Messages().empty());
}

// --- markets -----------------------------------------------------------------------------------

TEST_F(ChecksheetForm, GermanMarketShowsItsPanelAlternativeDatesAndDottedNumbers) {
    Exec("UPDATE PARAMS SET MARKET_CODE='DX', LANG_CODE='DE'");
    Show([](TfrmChecksheet& f) {
        EXPECT_EQ(Market, "DX");
        EXPECT_EQ(Language, "DE");
        EXPECT_TRUE(f.pnlGerman->Visible());
        EXPECT_TRUE(f.lblGermanIntLegend->Visible());
        EXPECT_EQ(f.lblGerman2->Caption(), "nicht ma\xDF" "gebend");
        EXPECT_EQ(f.rbmlkm->Caption(), "km");
        EXPECT_EQ(f.lblRegDate->Caption(), "Erstzulassung *");
        EXPECT_EQ(f.lblMileage->Caption(), "Kilometerstand *");
        EXPECT_EQ(f.lblRegNo->Caption(), "Amtl. Kennzeichen");
        EXPECT_FALSE(f.cbEmissionTest->Visible());
        EXPECT_FALSE(f.cbBrakeTest->Visible());
        EXPECT_TRUE(f.cbPaintBodyWithout->Visible());
        EXPECT_EQ(f.cbPaintBodyWith->Caption(), "Lack- und Karosserie-Check mit Garantie");
        EXPECT_EQ(f.cbPaintBodyWithout->Caption(), "Lack- und Karosserie-Check ohne Garantie");
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("PELLOR")));
        // Range 105 has German build dates of its own; the window and the text follow them.
        const int i = IndexOfVisible(*f.cmbVariants, "1,4 16V 66KW : 05/1998 - ");
        ASSERT_GE(i, 0);
        EXPECT_EQ(ItemCode(f.cmbVariants->Items[i]), 105);
        ASSERT_TRUE(FormsScript::Select(*f.cmbVariants, i));
        EXPECT_EQ(f.cmbInterval->Items[0], "Erstinspektion" + kSep + "1");
        EXPECT_EQ(f.cmbInterval->Items[1], "1. Inspektion    (15000 km)" + kSep + "2");
        ASSERT_TRUE(FormsScript::Click(*f.rbmlkm));
        EXPECT_EQ(f.cmbInterval->Items[2], "30000 km    (2. Inspektion)" + kSep + "3");
        // The paint boxes exclude each other.
        ASSERT_TRUE(FormsScript::Click(*f.cbPaintBodyWith));
        ASSERT_TRUE(FormsScript::Click(*f.cbPaintBodyWithout));
        EXPECT_FALSE(f.cbPaintBodyWith->Checked());
        ASSERT_TRUE(FormsScript::Click(*f.cbPaintBodyWith));
        EXPECT_FALSE(f.cbPaintBodyWithout->Checked());
    });
}

TEST_F(ChecksheetForm, AlternativeDatesFilterTheVinWindow) {
    Exec("UPDATE PARAMS SET MARKET_CODE='DX', LANG_CODE='DE'");
    Show([](TfrmChecksheet& f) {
        // March 1998: inside the stored window of 105 (03/1998 on) but before its German one.
        ASSERT_TRUE(FormsScript::Type(*f.edtVinDate, "WC"));
        ASSERT_TRUE(FormsScript::Focus(*f.cmbModels));
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("PELLOR")));
        for (int i = 0; i < f.cmbVariants->Items.Count(); ++i)
            EXPECT_NE(ItemCode(f.cmbVariants->Items[i]), 105);
        EXPECT_GE(IndexOfVisible(*f.cmbVariants, "1,4 16V 66KW : 03/1998 - "), 0);  // range 115
    });
}

TEST_F(ChecksheetForm, PolandHidesTheTestBoxesAndUsesItsOwnTexts) {
    Exec("UPDATE PARAMS SET MARKET_CODE='PL', LANG_CODE='PO'");
    Show([](TfrmChecksheet& f) {
        EXPECT_FALSE(f.cbEmissionTest->Visible());
        EXPECT_FALSE(f.cbBrakeTest->Visible());
        EXPECT_FALSE(f.cbPaintBodyWithout->Visible());
        EXPECT_FALSE(f.pnlGerman->Visible());
        EXPECT_EQ(f.rbmlkm->Caption(), "km");
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("PELLOR")));
        const int i = IndexOfVisible(*f.cmbVariants, "1,9 TURBODIESEL 66KW : 09/1998 - ");
        ASSERT_GE(i, 0);
        EXPECT_EQ(ItemCode(f.cmbVariants->Items[i]), 107);
        ASSERT_TRUE(FormsScript::Select(*f.cmbVariants, i));
        EXPECT_EQ(ItemText(f.cmbInterval->Items[1]), "1 " + LText(174) + "    (20000 km)");
    });
}

TEST_F(ChecksheetForm, GreekTextHoldingTheSeparatorByteKeepsItsCode) {
    Exec("UPDATE PARAMS SET MARKET_CODE='GR', LANG_CODE='GK'");
    // "Ά" is 0xB6 in code page 1253.
    Exec("UPDATE ENGINES SET DESCRIPTION = CAST(X'312E3220B6CBC1' AS TEXT) WHERE LANG_CODE='GK' AND ENGINE_CODE=1");
    Show([](TfrmChecksheet& f) {
        EXPECT_FALSE(f.cbEmissionTest->Visible());
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("ARDEN")));
        const int i = IndexOfVisible(*f.cmbVariants, "1.2 \xB6\xCB\xC1 : 01/1994 - 08/1999");
        ASSERT_GE(i, 0);
        ASSERT_TRUE(FormsScript::Select(*f.cmbVariants, i));
        EXPECT_EQ(ModelRange, 101);
        EXPECT_EQ(f.cmbInterval->Items[0], LText(61) + kSep + "1");
    });
    EXPECT_TRUE(Messages().empty());
}

// --- options -----------------------------------------------------------------------------------

TEST_F(ChecksheetForm, EngineTypeDecidesTheEmissionBox) {
    Show([](TfrmChecksheet& f) {
        ASSERT_TRUE(FormsScript::Click(*f.cbEmissionTest));
        Choose(f, "PELLOR", 108);  // LPG
        EXPECT_FALSE(f.cbEmissionTest->Checked());
        EXPECT_FALSE(f.cbEmissionTest->Enabled());
        Choose(f, "ARDEN", 104);  // diesel
        EXPECT_TRUE(f.cbEmissionTest->Enabled());
    });
}

TEST_F(ChecksheetForm, PreTestWithoutServiceNeedsNoIntervalAndTheBrakeBoxFollowsTheSettings) {
    Show([](TfrmChecksheet& f) {
        Choose(f, "ARDEN", 101);
        EXPECT_FALSE(f.btnPrint->Enabled());
        ASSERT_TRUE(FormsScript::Click(*f.cbPreTest));
        EXPECT_TRUE(f.cbBrakeTest->Enabled());
        ASSERT_TRUE(FormsScript::Click(*f.cbService));
        EXPECT_TRUE(f.btnPrint->Enabled());
        EXPECT_FALSE(f.cmbInterval->Enabled());
        EXPECT_FALSE(f.rbYears->Enabled());
        ASSERT_TRUE(FormsScript::Click(*f.cbBrakeTest));
        ASSERT_TRUE(FormsScript::Click(*f.cbPreTest));  // neither service nor pre-test
        EXPECT_FALSE(f.cbBrakeTest->Checked());
        EXPECT_FALSE(f.cbBrakeTest->Enabled());
        EXPECT_FALSE(f.btnPrint->Enabled());
        ASSERT_TRUE(FormsScript::Click(*f.cbService));  // service again: the interval is asked
        EXPECT_TRUE(f.cmbInterval->Enabled());
        EXPECT_FALSE(f.btnPrint->Enabled());
        EXPECT_EQ(f.cmbInterval->Items.Count(), 21);
    });
    Change("UPDATE PARAMS SET BRTEST_EQUIP=0, EMTEST_EQUIP=0, CUSTOMER_DETAILS=0");
    Show([](TfrmChecksheet& f) {
        EXPECT_FALSE(f.cbEmissionTest->Enabled());
        EXPECT_FALSE(f.btnCustomer->Enabled());
        EXPECT_FALSE(f.edtCustomerName->Enabled());
        ASSERT_TRUE(FormsScript::Click(*f.cbPreTest));
        EXPECT_FALSE(f.cbBrakeTest->Enabled());
    });
}

TEST_F(ChecksheetForm, VariantWithoutServiceEnablesPrintAtOnce) {
    Show([](TfrmChecksheet& f) {
        ASSERT_TRUE(FormsScript::Click(*f.cbService));
        Choose(f, "ARDEN", 101);
        EXPECT_TRUE(f.btnPrint->Enabled());
        EXPECT_TRUE(f.btnView->Enabled());
        EXPECT_FALSE(f.lblInterval->Enabled());
        EXPECT_EQ(f.cmbInterval->ItemIndex(), -1);
    });
}

TEST_F(ChecksheetForm, NewStartsOver) {
    Show([](TfrmChecksheet& f) {
        FormsScript::Type(*f.edtRegNo, "ab12cde");
        EXPECT_EQ(f.edtRegNo->Text(), "AB12CDE");
        Choose(f, "ARDEN", 101);
        FormsScript::Select(*f.cmbInterval, 1);
        CustName = "Someone";
        f.btnNew->SetEnabled(true);  // as a print does
        ASSERT_TRUE(FormsScript::Click(*f.btnNew));
        EXPECT_EQ(f.edtRegNo->Text(), "");
        EXPECT_EQ(CustName, "");
        EXPECT_EQ(f.cmbVariants->Items.Count(), 0);
        EXPECT_EQ(f.cmbModels->ItemIndex(), -1);
        EXPECT_FALSE(f.cmbVariants->Enabled());
        EXPECT_FALSE(f.btnPrint->Enabled());
        EXPECT_FALSE(f.btnNew->Enabled());
    });
}

// --- VIN build-date code -----------------------------------------------------------------------

TEST_F(ChecksheetForm, VinCodeDecodesAndFiltersTheVariants) {
    Show([](TfrmChecksheet& f) {
        ASSERT_TRUE(FormsScript::Type(*f.edtVinDate, "rc"));
        ASSERT_TRUE(FormsScript::Focus(*f.cmbModels));
        EXPECT_EQ(f.lblVINResult->Caption(), "03/1994");
        EXPECT_TRUE(f.lblVINResult->Visible());
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("ARDEN")));
        std::vector<int> codes;
        for (int i = 0; i < f.cmbVariants->Items.Count(); ++i) codes.push_back(ItemCode(f.cmbVariants->Items[i]));
        EXPECT_EQ(codes, (std::vector<int>{101, 104}));
        // An open-ended variant is offered from its start on.
        ASSERT_TRUE(FormsScript::Type(*f.edtVinDate, "5N"));
        ASSERT_TRUE(FormsScript::Focus(*f.cmbModels));
        EXPECT_EQ(f.lblVINResult->Caption(), "01/2005");
        EXPECT_EQ(f.cmbVariants->Items.Count(), 0);  // the code changed: variants emptied
        EXPECT_FALSE(f.cmbVariants->Enabled());
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("ARDEN")));
        ASSERT_EQ(f.cmbVariants->Items.Count(), 1);
        EXPECT_EQ(ItemCode(f.cmbVariants->Items[0]), 103);
    });
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ChecksheetForm, BadVinCodesAreRefusedWithTheFocusBack) {
    struct Case {
        const char* Code;
        const char* Message;
    };
    for (const Case& c : {Case{"R", "The VIN build code must have 2 characters"},
                          Case{"RZ", "The VIN build code is not recognised"},
                          Case{"QA", "The VIN build code is not recognised"}}) {
        FormsScript::Reset();
        Show([&](TfrmChecksheet& f) {
            ASSERT_TRUE(FormsScript::Select(*f.cmbModels, 0));
            ASSERT_TRUE(FormsScript::Type(*f.edtVinDate, c.Code));
            ASSERT_TRUE(FormsScript::Focus(*f.cmbModels));
            EXPECT_EQ(f.ActiveControl(), f.edtVinDate) << c.Code;
            EXPECT_EQ(f.cmbModels->Items.Count(), 0);
            EXPECT_EQ(f.cmbVariants->Items.Count(), 0);
            EXPECT_EQ(f.edtVinDate->Text(), c.Code);
        });
        EXPECT_EQ(Messages(), std::vector<std::string>{c.Message}) << c.Code;
    }
    // No model at all.
    Change("DELETE FROM Mranges");
    FormsScript::Reset();
    Show([](TfrmChecksheet& f) {
        FormsScript::Type(*f.edtVinDate, "RC");
        FormsScript::Focus(*f.edtRegNo);
        EXPECT_EQ(f.ActiveControl(), f.edtVinDate);
    });
    EXPECT_EQ(Messages(), std::vector<std::string>{"No model was built at this VIN build date"});
}

TEST_F(ChecksheetForm, ClearingTheVinCodeOffersEveryModelAgain) {
    Show([](TfrmChecksheet& f) {
        FormsScript::Type(*f.edtVinDate, "RC");
        FormsScript::Focus(*f.cmbModels);
        FormsScript::Type(*f.edtVinDate, "");
        FormsScript::Focus(*f.cmbModels);
        EXPECT_EQ(f.cmbModels->Items.Count(), 5);
        ASSERT_TRUE(FormsScript::Select(*f.cmbModels, f.cmbModels->Items.IndexOf("ARDEN")));
        EXPECT_EQ(f.cmbVariants->Items.Count(), 4);
    });
}

// --- dates -------------------------------------------------------------------------------------

TEST_F(ChecksheetForm, RegistrationDateIsCheckedAgainstTheAsAtMonth) {
    Show([](TfrmChecksheet& f) {
        f.cmbAsAtDate->SetText("15/03/2004");
        FormsScript::Type(*f.edtRegDate, "0304");
        FormsScript::Focus(*f.edtMileage);
        EXPECT_EQ(f.edtRegDate->Text(), "03/2004");
        EXPECT_EQ(RegDate, "03/2004");
        EXPECT_EQ(f.ActiveControl(), f.edtMileage);
        // One month later than the as-at date: refused, RegDate kept, the focus back.
        FormsScript::Type(*f.edtRegDate, "0404");
        FormsScript::Focus(*f.edtMileage);
        EXPECT_EQ(f.ActiveControl(), f.edtRegDate);
        EXPECT_EQ(RegDate, "03/2004");
        FormsScript::Type(*f.edtRegDate, "1304");
        FormsScript::Focus(*f.edtMileage);
        EXPECT_EQ(f.edtRegDate->Text(), "1304");
        EXPECT_EQ(RegDate, "03/2004");
        FormsScript::Type(*f.edtRegDate, "");
        FormsScript::Focus(*f.edtMileage);
        EXPECT_EQ(RegDate, "");
        FormsScript::Type(*f.edtMileage, "12345");
        FormsScript::Focus(*f.edtRegNo);
        EXPECT_EQ(Mileage, "12345");
    });
    const std::string refused = "The registration date is invalid or later than the as at date";
    EXPECT_EQ(Messages(), (std::vector<std::string>{refused, refused}));
}

TEST_F(ChecksheetForm, AsAtDateIsCompletedOrRefused) {
    Show([](TfrmChecksheet& f) {
        ASSERT_TRUE(FormsScript::TypeCombo(*f.cmbAsAtDate, "150304"));
        FormsScript::Focus(*f.edtRepairNo);
        EXPECT_EQ(f.cmbAsAtDate->Text(), "15/03/2004");
        EXPECT_EQ(AsAtDate, "15/03/2004");
        ASSERT_TRUE(FormsScript::TypeCombo(*f.cmbAsAtDate, "31042004"));
        FormsScript::Focus(*f.edtRepairNo);
        EXPECT_EQ(f.ActiveControl(), f.cmbAsAtDate);
        ASSERT_TRUE(FormsScript::TypeCombo(*f.cmbAsAtDate, "01/02/2005 and more"));
        EXPECT_EQ(f.cmbAsAtDate->Text(), "01/02/2005");  // at most 10 characters
    });
    EXPECT_EQ(Messages(), std::vector<std::string>{"The as at date is not a valid date"});
}

TEST_F(ChecksheetForm, CalendarOpensOnTheFieldsDateOrTodayAndMovesTheFocusOn) {
    using namespace std::chrono;
    Show([](TfrmChecksheet& f) {
        f.cmbAsAtDate->SetText("15/03/2004");
        FormsScript::OnForm("frmCalendar", [](TForm& c) {
            auto& cal = static_cast<TfrmCalendar&>(c);
            EXPECT_EQ(cal.cal->Date(), 2004y / March / 15d);
            FormsScript::PickDate(*cal.cal, 2004y / April / 1d);
            FormsScript::PressEnter(c);
        });
        FormsScript::Focus(*f.cmbAsAtDate);
        f.cmbAsAtDate->UserDropDown();
        EXPECT_EQ(f.cmbAsAtDate->Text(), "01/04/2004");
        EXPECT_EQ(AsAtDate, "01/04/2004");
        EXPECT_EQ(f.ActiveControl(), f.edtRepairNo);
        // A field that holds no date opens the calendar on today.
        f.cmbAsAtDate->SetText("31/04/2004");
        FormsScript::OnForm("frmCalendar", [](TForm& c) {
            EXPECT_EQ(static_cast<TfrmCalendar&>(c).cal->Date(), TMonthCalendar::Today());
            FormsScript::PressEnter(c);
        });
        f.cmbAsAtDate->UserDropDown();
        EXPECT_EQ(f.cmbAsAtDate->Text(), DateToStr(Date()));
    });
    EXPECT_TRUE(Messages().empty());
}

// --- captions ----------------------------------------------------------------------------------

TEST_F(ChecksheetForm, VorexCaptionWrapsOverTheTwoLabels) {
    const std::string text =
        "Checksheet wording as issued by the dealer information system for this vehicle and every "
        "other vehicle of the same kind in the workshop";
    Exec("UPDATE LANGTEXT SET LTEXT='" + text + "' WHERE LANG_CODE='EN' AND TEXT_NO=179");
    Show([&](TfrmChecksheet& f) {
        const std::string a = f.cbVOREX->Caption(), b = f.lblVorexText2->Caption(), c = f.lblVorexText3->Caption();
        ASSERT_FALSE(b.empty());
        ASSERT_FALSE(c.empty());
        EXPECT_EQ(a.back(), ' ');  // cut at a blank
        EXPECT_EQ(b.front(), ' ');
        EXPECT_EQ(c.front(), ' ');
        EXPECT_LE(f.TextWidth(a), f.cbVOREX->Width());
        EXPECT_LE(f.TextWidth(b), f.lblVorexText2->Width());
        EXPECT_EQ(a + b.substr(1) + c.substr(1), text);
    });
    // A part without a blank is cut where it fits instead of being shortened forever.
    const std::string word(200, 'W');
    Change("UPDATE LANGTEXT SET LTEXT='" + word + "' WHERE LANG_CODE='EN' AND TEXT_NO=179");
    Show([&](TfrmChecksheet& f) {
        const std::string a = f.cbVOREX->Caption(), b = f.lblVorexText2->Caption(), c = f.lblVorexText3->Caption();
        EXPECT_FALSE(a.empty());
        EXPECT_LE(f.TextWidth(a), f.cbVOREX->Width());
        EXPECT_EQ(a + b.substr(1) + c.substr(1), word);
    });
    // A short text stays on the box.
    Change("UPDATE LANGTEXT SET LTEXT='Short' WHERE LANG_CODE='EN' AND TEXT_NO=179");
    Show([](TfrmChecksheet& f) {
        EXPECT_EQ(f.cbVOREX->Caption(), "Short");
        EXPECT_EQ(f.lblVorexText2->Caption(), "");
    });
}

// --- customer and special instructions ---------------------------------------------------------

TEST_F(ChecksheetForm, CustomerDetailsRoundTripWhateverCloses) {
    Show([](TfrmChecksheet& f) {
        CustContact = "kept contact";
        FormsScript::OnForm("frmCustDetails", [](TForm& d) {
            auto& c = static_cast<TfrmCustDetails&>(d);
            EXPECT_EQ(d.Caption(), "Customer details");
            EXPECT_EQ(c.lblName->Caption(), "Name");
            EXPECT_EQ(c.btnOK->Caption(), "OK");
            EXPECT_FALSE(c.edtOtherPhone->Visible());
            EXPECT_FALSE(c.BitBtn1->Visible());
            EXPECT_EQ(c.lblVIN->Caption(), "V.I.N.");
            EXPECT_EQ(c.edtContact->Text(), "kept contact");
            FormsScript::Type(*c.edtCompanyName, "Acme");
            FormsScript::Click(*c.btnOK);  // no name: refused, the dialog stays
            EXPECT_EQ(d.ActiveControl(), c.edtCustName);
            EXPECT_EQ(d.ModalResult(), mrNone);
            FormsScript::Type(*c.edtCustName, "J. Smith");
            FormsScript::Type(*c.edtAddr4, "KM4 2QT");
            FormsScript::Click(*c.btnOK);
        });
        ASSERT_TRUE(FormsScript::Click(*f.btnCustomer));
        EXPECT_EQ(CustName, "J. Smith");
        EXPECT_EQ(CustCompany, "Acme");
        EXPECT_EQ(CustAddr4, "KM4 2QT");
        EXPECT_EQ(CustContact, "kept contact");
        EXPECT_EQ(f.edtCustomerName->Text(), "J. Smith");
        // Cancel after typing still hands the values back.
        FormsScript::OnForm("frmCustDetails", [](TForm& d) {
            auto& c = static_cast<TfrmCustDetails&>(d);
            EXPECT_EQ(c.edtCustName->Text(), "J. Smith");
            FormsScript::Type(*c.edtCustName, "");
            FormsScript::Type(*c.edtMainPhone, "01632 960000");
            FormsScript::PressEscape(d);
        });
        ASSERT_TRUE(FormsScript::Click(*f.btnCustomer));
        EXPECT_EQ(CustName, "");
        EXPECT_EQ(CustPhone, "01632 960000");
        EXPECT_EQ(f.edtCustomerName->Text(), "");
    });
    EXPECT_EQ(Messages(), std::vector<std::string>{"The customer name must be entered"});
}

TEST_F(ChecksheetForm, HandOffCustomerDialogIsReadOnlyWithOkFocused) {
    frmTables->tblLangText->Open();
    Language = "EN";
    HandOffMode = true;
    auto dialog = std::make_unique<TfrmCustDetails>(nullptr);
    FormsScript::OnForm("frmCustDetails", [](TForm& d) {
        auto& c = static_cast<TfrmCustDetails&>(d);
        EXPECT_EQ(d.ActiveControl(), c.btnOK);
        EXPECT_TRUE(c.edtCustName->ReadOnly());
        EXPECT_TRUE(c.edtAddr1->ReadOnly());
        EXPECT_TRUE(c.Edit10->ReadOnly());
        EXPECT_FALSE(FormsScript::Type(*c.edtCustName, "typed"));
        FormsScript::PressEnter(d);  // the name is empty: refused
        FormsScript::PressEscape(d);
    });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(Messages(), std::vector<std::string>{"The customer name must be entered"});
}

TEST_F(ChecksheetForm, SpecialInstructionsAreCutToFourLines) {
    Show([](TfrmChecksheet& f) {
        Choose(f, "ARDEN", 101);
        FormsScript::Select(*f.cmbInterval, 1);
        FormsScript::OnForm("frmSpecInst", [](TForm& d) {
            auto& s = static_cast<TfrmSpecInst&>(d);
            EXPECT_EQ(d.Caption(), "Special instructions");
            EXPECT_EQ(s.btnExit->Caption(), "Exit");
            ASSERT_TRUE(FormsScript::TypeMemo(*s.MemInst, "one\r\ntwo\nthree\r\nfour\r\nfive\r\n"));
            FormsScript::Click(*s.btnExit);
        });
        ASSERT_TRUE(FormsScript::Click(*f.btnSpecInst));
        EXPECT_EQ(frmSpecInst->MemInst->Lines.Count(), 4);
        EXPECT_EQ(SpecInstr[1], "one");
        EXPECT_EQ(SpecInstr[4], "four");
        EXPECT_EQ(SpecInstr[5], "");
        // The memo keeps its lines for the next showing; fewer lines leave the rest empty.
        FormsScript::OnForm("frmSpecInst", [](TForm& d) {
            auto& s = static_cast<TfrmSpecInst&>(d);
            EXPECT_EQ(s.MemInst->Lines[3], "four");
            FormsScript::TypeMemo(*s.MemInst, "only one");
            FormsScript::PressEscape(d);
        });
        FormsScript::Click(*f.btnSpecInst);
        EXPECT_EQ(SpecInstr[1], "only one");
        EXPECT_EQ(SpecInstr[2], "");
        // New empties the memo and the instructions.
        f.btnNew->SetEnabled(true);
        FormsScript::Click(*f.btnNew);
        EXPECT_EQ(frmSpecInst->MemInst->Lines.Count(), 0);
        EXPECT_EQ(SpecInstr[1], "");
    });
    EXPECT_EQ(Messages(), std::vector<std::string>{"Special instructions may have at most 4 lines"});
}

// --- ways in -----------------------------------------------------------------------------------

TEST_F(ChecksheetForm, MainMenuOpensTheForm) {
    bool shown = false;
    FormsScript::OnForm("frmMain", [](TForm& f) { FormsScript::Click(*static_cast<TfrmMain&>(f).btnChecksheet); });
    FormsScript::OnForm("frmChecksheet", [&](TForm& f) {
        shown = true;
        EXPECT_FALSE(HandOffMode);
        FormsScript::PressEscape(f);
    });
    FormsScript::OnForm("frmMain", [](TForm& f) { f.Close(); });
    HandOffMode = true;
    frmMain->ShowModal();
    EXPECT_TRUE(shown);
    EXPECT_EQ(FormsScript::PendingActions(), 0);
}

TEST_F(ChecksheetForm, XmlModeMapsTheCodesToTheirIsoForms) {
    XMLMode = true;
    Exec("UPDATE PARAMS SET MARKET_CODE='DX', LANG_CODE='DE'");
    Exec("INSERT INTO XMLConv VALUES ('DE2', 'DX', 'ge', 'XX')");
    Show([](TfrmChecksheet& f) { EXPECT_TRUE(f.pnlGerman->Visible()); });
    EXPECT_EQ(XMLMarket, "DE2");  // the last matching row wins
    EXPECT_EQ(XMLLanguage, "de");
    Change("UPDATE PARAMS SET MARKET_CODE='ZZ', LANG_CODE='EN'");
    Show([](TfrmChecksheet&) {});
    EXPECT_EQ(XMLMarket, "ZZ");  // no row: the internal code stays
    EXPECT_EQ(XMLLanguage, "en");
}
