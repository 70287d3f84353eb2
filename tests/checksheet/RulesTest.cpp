// The maintenance rules of the data module on a copy of the sample database, driven through its
// components as an editing front end would, with the error boxes answered and read back: each
// check's message and order, codes from CODES, copies and deletes in every language, the English
// view beside a translation, and the program's own key searches with the rules bound.
#include "ChecksheetFixture.h"
#include "Exceptions.h"
#include "Forms.h"

namespace {

class Rules : public ChecksheetFixture {
protected:
    void SetUp() override {
        ChecksheetFixture::SetUp();
        Language = "EN";
        Market = "GB";
    }

    /// Posts the table's edit. Returns the messages shown; `aborted` tells whether the post was
    /// cancelled (silently, after the message).
    std::vector<std::string> Post(TDataSet& table, bool* aborted = nullptr) {
        FormsScript::Reset();
        bool wasAborted = false;
        try {
            table.Post();
        } catch (const EAbort&) {
            wasAborted = true;
        }
        if (aborted) *aborted = wasAborted;
        return FormsScript::MessageTexts();
    }
    /// Posts and expects exactly one message, the post cancelled and the row still in edit.
    void ExpectRefused(TDataSet& table, const std::string& message) {
        bool aborted = false;
        const TDataSetState state = table.State();
        EXPECT_EQ(Post(table, &aborted), std::vector<std::string>{message});
        EXPECT_TRUE(aborted) << message;
        EXPECT_EQ(table.State(), state) << message;
    }
    void ExpectPosted(TDataSet& table) {
        bool aborted = false;
        EXPECT_EQ(Post(table, &aborted), std::vector<std::string>{});
        EXPECT_FALSE(aborted);
        EXPECT_EQ(table.State(), dsBrowse);
    }
    /// Deletes the current row; returns the messages shown.
    std::vector<std::string> Delete(TDataSet& table, bool* aborted = nullptr) {
        FormsScript::Reset();
        bool wasAborted = false;
        try {
            table.Delete();
        } catch (const EAbort&) {
            wasAborted = true;
        }
        if (aborted) *aborted = wasAborted;
        return FormsScript::MessageTexts();
    }
    static void Set(TDataSet& t, const char* field, const std::string& value) {
        t.FieldByName(field)->SetAsString(value);
    }
    static std::string Get(TDataSet& t, const char* field) { return t.FieldByName(field)->AsString(); }
    std::string Count(const std::string& table, const std::string& where) {
        return Value("SELECT COUNT(*) FROM " + table + " WHERE " + where);
    }
    TfrmTables& T() { return *frmTables; }
};

// ---- LANGUAGE ----

TEST_F(Rules, LanguageMessagesInOrderAndOnlyTheFirst) {
    TTable& t = *T().tblLanguage;
    t.Open();
    t.Insert();
    ExpectRefused(t, "Code must be entered");  // description empty too: only the first shows
    Set(t, "LANG_CODE", "fr");
    ExpectRefused(t, "Description must be entered");
    Set(t, "LANG_CODE", "de");
    Set(t, "DESCRIPTION", "deutsch");
    ExpectRefused(t, "Language Code already assigned");  // upper-cased before the search
    EXPECT_EQ(Count("LANGUAGE", "1"), "4");
    Set(t, "LANG_CODE", "fr");
    ExpectPosted(t);
    EXPECT_EQ(Value("SELECT DESCRIPTION FROM LANGUAGE WHERE LANG_CODE='FR'"), "DEUTSCH");
}

TEST_F(Rules, LanguageSecondCopyHasTheSameChecksAndAnUnchangedKeyPasses) {
    TTable& t2 = *T().tblLanguage2;
    t2.Open();
    t2.Insert();
    Set(t2, "LANG_CODE", "po");
    Set(t2, "DESCRIPTION", "x");
    ExpectRefused(t2, "Language Code already assigned");
    t2.Cancel();
    // An edit through the second copy that keeps its key is no duplicate of itself.
    ASSERT_TRUE(t2.FindKey({"PO"}));
    t2.Edit();
    Set(t2, "DESCRIPTION", "polski");
    ExpectPosted(t2);
    EXPECT_EQ(Value("SELECT DESCRIPTION FROM LANGUAGE WHERE LANG_CODE='PO'"), "POLSKI");
    // The main cursor's memory is its own: an edit there after one on the copy still passes.
    TTable& t = *T().tblLanguage;
    t.Open();
    ASSERT_TRUE(t.FindKey({"GK"}));
    t.Edit();
    ASSERT_TRUE(t2.FindKey({"DE"}));
    t2.Edit();
    Set(t, "DESCRIPTION", "ELLINIKA");
    ExpectPosted(t);
    Set(t2, "LANG_CODE", "GK");  // changed to a code on file
    ExpectRefused(t2, "Language Code already assigned");
}

TEST_F(Rules, LanguageOfAMarketIsNotDeletedButOneInLang5OnlyIs) {
    TTable& t = *T().tblLanguage;
    t.Open();
    ASSERT_TRUE(t.FindKey({"DE"}));
    bool aborted = false;
    EXPECT_EQ(Delete(t, &aborted),
              std::vector<std::string>{"This Language Code is assigned to a Market - deletion ignored"});
    EXPECT_TRUE(aborted);
    EXPECT_EQ(Count("LANGUAGE", "LANG_CODE='DE'"), "1");
    // LANG4 counts; LANG5 and LANG6 do not.
    Exec("UPDATE MARKET SET LANG2=NULL, LANG4='EN' WHERE MARKET_CODE='PL'");
    Exec("UPDATE MARKET SET LANG5='PO' WHERE MARKET_CODE='GB'");
    Exec("UPDATE MARKET SET LANG1='GK', LANG6='PO' WHERE MARKET_CODE='PL'");
    t.Refresh();
    ASSERT_TRUE(t.FindKey({"PO"}));
    EXPECT_EQ(Delete(t, &aborted), std::vector<std::string>{});
    EXPECT_FALSE(aborted);
    EXPECT_EQ(Count("LANGUAGE", "LANG_CODE='PO'"), "0");
}

// ---- MARKET ----

TEST_F(Rules, MarketChecksRunInOrder) {
    TTable& t = *T().tblMarket;
    t.Open();
    t.Insert();
    ExpectRefused(t, "Market Code must be entered");
    Set(t, "MARKET_CODE", "dx");
    ExpectRefused(t, "Market Code already assigned");
    Set(t, "MARKET_CODE", "qz");
    ExpectRefused(t, "Market Description must be entered");
    Set(t, "DESCRIPTION", "france");
    ExpectRefused(t, "First Language Code must be entered");
    Set(t, "LANG1", "fr");
    ExpectRefused(t, "Interval Type must be km or ml");
    Set(t, "INTERVAL_TYPE", "mi");
    ExpectRefused(t, "Interval Type must be km or ml");
    Set(t, "INTERVAL_TYPE", "KM");  // lower-cased before the check
    ExpectRefused(t, "Language Code 1 not on file");
    Set(t, "LANG1", "de");
    Set(t, "LANG3", "xx");
    ExpectRefused(t, "Language Code 3 not on file");
    Set(t, "LANG2", "yy");
    ExpectRefused(t, "Language Code 2 not on file");
    Set(t, "LANG2", "");
    Set(t, "LANG3", "");
    Set(t, "LANG4", "zz");
    ExpectRefused(t, "Language Code 4 not on file");
    Set(t, "LANG4", "de");
    ExpectRefused(t, "Duplicate Language Codes not allowed");
    EXPECT_EQ(Count("MARKET", "MARKET_CODE='QZ'"), "0");
    Set(t, "LANG4", "po");
    Set(t, "LANG5", "qq");  // LANG5 and LANG6 are stored unchecked
    Set(t, "LANG6", "DE");
    ExpectPosted(t);
    EXPECT_EQ(Value("SELECT DESCRIPTION||LANG1||LANG4||LANG5||INTERVAL_TYPE FROM MARKET WHERE MARKET_CODE='QZ'"),
              "FRANCEDEPOqqkm");
}

TEST_F(Rules, MarketWithLang1AndLang3EnglishIsRefused) {
    TTable& t = *T().tblMarket;
    t.Open();
    ASSERT_TRUE(t.FindKey({"GB"}));
    t.Edit();
    Set(t, "LANG3", "EN");
    ExpectRefused(t, "Duplicate Language Codes not allowed");
    t.Cancel();
    // An edit that keeps the market code is no duplicate of itself.
    t.Edit();
    Set(t, "DESCRIPTION", "united kingdom");
    ExpectPosted(t);
    EXPECT_EQ(Value("SELECT DESCRIPTION FROM MARKET WHERE MARKET_CODE='GB'"), "UNITED KINGDOM");
    // Changed to another market's code: refused.
    t.Edit();
    Set(t, "MARKET_CODE", "IR");
    ExpectRefused(t, "Market Code already assigned");
}

TEST_F(Rules, MarketDeleteAsksAndNoKeepsIt) {
    TTable& t = *T().tblMarket;
    t.Open();
    ASSERT_TRUE(t.FindKey({"AX"}));
    FormsScript::Reset();
    FormsScript::AnswerMessage(mrNo);
    bool aborted = false;
    try {
        t.Delete();
    } catch (const EAbort&) {
        aborted = true;
    }
    EXPECT_TRUE(aborted);
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Kind, "Confirmation");
    EXPECT_EQ(FormsScript::Messages()[0].Text, "Are you sure you wish to delete this market and all schedules");
    EXPECT_EQ(Count("MARKET", "MARKET_CODE='AX'"), "1");
    FormsScript::Reset();
    FormsScript::AnswerMessage(mrYes);
    t.Delete();
    EXPECT_EQ(Count("MARKET", "MARKET_CODE='AX'"), "0");
}

// ---- MODELS ----

TEST_F(Rules, ModelTakesItsCodeFromCodesAndRefusesDuplicates) {
    TTable& t = *T().tblModels;
    t.Open();
    t.Insert();
    ExpectRefused(t, "Description must be entered");
    Set(t, "DESCRIPTION", "arden");
    ExpectRefused(t, "Model Description already assigned");
    EXPECT_EQ(Value("SELECT NEXT_MODEL FROM CODES"), "6");  // nothing taken by a refused post
    Set(t, "DESCRIPTION", "orbis");
    ExpectPosted(t);
    EXPECT_EQ(Value("SELECT MODEL_CODE FROM MODELS WHERE DESCRIPTION='ORBIS'"), "6");
    EXPECT_EQ(Value("SELECT NEXT_MODEL FROM CODES"), "7");
    EXPECT_TRUE(t.FieldByName("MODEL_CODE")->ReadOnly());  // opened only for the assignment
    // Unchanged description on edit passes; a changed one to another model's is refused.
    t.Edit();
    ExpectPosted(t);
    t.Edit();
    Set(t, "DESCRIPTION", "Pellor");
    ExpectRefused(t, "Model Description already assigned");
}

// ---- CODES ----

TEST_F(Rules, MissingCodesRowOrCodeInUseIsRefusedBeforeAnythingIsPosted) {
    TTable& m = *T().tblMainHead;
    m.Open();
    Exec("UPDATE CODES SET NEXT_MAIN_HEADING = 8");  // code 8 exists
    m.Insert();
    Set(m, "MH_TEXT", "CHECK OIL");
    ExpectRefused(m, "Code 8 of NEXT_MAIN_HEADING is already used in MAINHEAD.DB - no new code can be given");
    Exec("UPDATE CODES SET NEXT_MAIN_HEADING = 9");  // used only in German: still refused
    ExpectRefused(m, "Code 9 of NEXT_MAIN_HEADING is already used in MAINHEAD.DB - no new code can be given");
    Exec("UPDATE CODES SET NEXT_MAIN_HEADING = NULL");
    ExpectRefused(m, "NEXT_MAIN_HEADING of the CODES table is empty or out of range - no new code can be given");
    Exec("UPDATE CODES SET NEXT_MAIN_HEADING = 32767");
    ExpectRefused(m, "NEXT_MAIN_HEADING of the CODES table is empty or out of range - no new code can be given");
    Exec("DELETE FROM CODES");
    ExpectRefused(m, "The CODES table has no row - no new code can be given");
    EXPECT_EQ(Count("MAINHEAD", "MH_TEXT LIKE '%CHECK OIL'"), "0");
    Exec("INSERT INTO CODES (NEXT_MAIN_HEADING) VALUES (40)");
    ExpectPosted(m);
    EXPECT_EQ(Count("MAINHEAD", "MH_CODE=40"), "4");
    EXPECT_EQ(Value("SELECT NEXT_MAIN_HEADING FROM CODES"), "41");
}

// ---- ENGINES ----

class EngineRules : public Rules {
protected:
    TTable& NewEngine(const std::string& description) {
        TTable& e = *T().tblEngines;
        if (!e.Active()) e.Open();
        e.Insert();
        Set(e, "DESCRIPTION", description);
        Set(e, "ENGINE_TYPE", "p");
        Set(e, "DRIVETYPE", "m");
        return e;
    }
};

TEST_F(EngineRules, ChecksInOrder) {
    TTable& e = NewEngine("");
    Set(e, "ENGINE_TYPE", "");
    Set(e, "CATALYST", "Y");
    Set(e, "DRIVETYPE", "");
    ExpectRefused(e, "Engine Description must be entered");
    Set(e, "DESCRIPTION", "2.0 16V 100KW");
    ExpectRefused(e, "Fuel Type must be entered");
    Set(e, "ENGINE_TYPE", "x");
    ExpectRefused(e, "Fuel Type must be P,D,C or L");
    Set(e, "ENGINE_TYPE", "l");  // upper-cased in English
    ExpectRefused(e, "Catalyst Flag must be blank or N");
    Set(e, "CATALYST", "n");
    ExpectRefused(e, "Drive Type must be M or A");
    Set(e, "DRIVETYPE", "a");
    ExpectPosted(e);
    EXPECT_EQ(Value("SELECT ENGINE_TYPE||CATALYST||DRIVETYPE FROM ENGINES WHERE LANG_CODE='EN' AND ENGINE_CODE=10"),
              "LNA");
}

TEST_F(EngineRules, LowerCaseEnglishDuplicateIsRefusedOtherLanguageOnlyPasses) {
    TTable& e = NewEngine("1.2 8v 44kw");
    ExpectRefused(e, "Engine Description already assigned");
    // A description that only a German engine has passes in English.
    Exec("UPDATE ENGINES SET DESCRIPTION='1.2 8V 44KW BENZIN' WHERE LANG_CODE='DE' AND ENGINE_CODE=1");
    Set(e, "DESCRIPTION", "1.2 8v 44kw benzin");
    ExpectPosted(e);
    EXPECT_EQ(Count("ENGINES", "DESCRIPTION='1.2 8V 44KW BENZIN'"), "2");
}

TEST_F(EngineRules, EmptyCatalystIsStoredYIsRefused) {
    TTable& e = NewEngine("1.0 12V 50KW");
    Set(e, "CATALYST", "y");
    ExpectRefused(e, "Catalyst Flag must be blank or N");
    Set(e, "CATALYST", "");
    ExpectPosted(e);
    EXPECT_EQ(Value("SELECT COALESCE(CATALYST,'-') FROM ENGINES WHERE LANG_CODE='EN' AND ENGINE_CODE=10"), "-");
}

TEST_F(EngineRules, NewEnglishEngineIsCopiedIntoEveryLanguage) {
    TTable& e = NewEngine("2.2 diesel 110kw");
    Set(e, "ENGINE_TYPE", "d");
    Set(e, "CATALYST", "N");
    std::vector<TCursor> cursors;  // the screen cursor while each copy is written
    T().tblEngines2->AfterPost = [&cursors](TDataSet*) { cursors.push_back(Screen->Cursor()); };
    ExpectPosted(e);
    EXPECT_EQ(cursors, std::vector<TCursor>(3, crHourGlass));
    EXPECT_EQ(Value("SELECT NEXT_ENGINE FROM CODES"), "11");
    EXPECT_EQ(Count("ENGINES", "ENGINE_CODE=10"), "4");
    EXPECT_EQ(Count("ENGINES", "ENGINE_CODE=10 AND LANG_CODE<>'EN' AND DESCRIPTION='*2.2 DIESEL 110KW' AND "
                               "ENGINE_TYPE='D' AND CATALYST='N' AND DRIVETYPE='M'"),
              "3");
    EXPECT_EQ(Screen->Cursor(), crDefault);  // hourglass only meanwhile
    EXPECT_TRUE(e.Active());                 // both tables reopened
    EXPECT_TRUE(T().tblEngines2->Active());
    EXPECT_TRUE(e.FieldByName("ENGINE_CODE")->ReadOnly());
}

TEST_F(EngineRules, ChangedEnglishEngineSetsTheSharedColumnsEverywhere) {
    const std::string german = Value("SELECT DESCRIPTION FROM ENGINES WHERE LANG_CODE='DE' AND ENGINE_CODE=5");
    TTable& e = *T().tblEngines;
    e.Open();
    ASSERT_TRUE(e.Locate("ENGINE_CODE", {5}));
    e.Edit();
    Set(e, "DRIVETYPE", "a");
    Set(e, "CATALYST", "n");
    ExpectPosted(e);
    EXPECT_EQ(Count("ENGINES", "ENGINE_CODE=5 AND DRIVETYPE='A' AND CATALYST='N'"), "4");
    // The translations keep their own descriptions.
    EXPECT_EQ(Value("SELECT DESCRIPTION FROM ENGINES WHERE LANG_CODE='DE' AND ENGINE_CODE=5"), german);
    EXPECT_EQ(Count("ENGINES", "DESCRIPTION LIKE '*%'"), "0");  // no copies for a change
}

TEST_F(EngineRules, MissingLanguageRowRaisesAndChangesNoCopy) {
    Exec("DELETE FROM ENGINES WHERE LANG_CODE='PO' AND ENGINE_CODE=5");
    TTable& e = *T().tblEngines;
    e.Open();
    ASSERT_TRUE(e.Locate("ENGINE_CODE", {5}));
    e.Edit();
    Set(e, "DRIVETYPE", "A");
    try {
        e.Post();
        ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.Message, "File Error on Engine Table - Code 5 not in PO Table\r\n please call support");
    }
    EXPECT_EQ(Count("ENGINES", "ENGINE_CODE=5 AND DRIVETYPE='A'"), "1");  // the English row only
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(EngineRules, ForeignEngineIsNotCopiedAndTakesItsLanguage) {
    Language = "DE";
    TTable& e = NewEngine("1.2 8V 44KW");  // an English engine's description: no German duplicate
    Set(e, "ENGINE_TYPE", "P");
    Set(e, "DRIVETYPE", "M");
    ExpectPosted(e);
    EXPECT_EQ(Count("ENGINES", "ENGINE_CODE=10"), "1");
    EXPECT_EQ(Value("SELECT LANG_CODE FROM ENGINES WHERE ENGINE_CODE=10"), "DE");
    // Lower case is not upper-cased outside English.
    e.Insert();
    Set(e, "DESCRIPTION", "1.4 X");
    Set(e, "ENGINE_TYPE", "p");
    Set(e, "DRIVETYPE", "M");
    ExpectRefused(e, "Fuel Type must be P,D,C or L");
}

// ---- INTERVAL ----

TEST_F(Rules, NewIntervalTakesTheNextCodeOnBothCopies) {
    TTable& i = *T().tblInterval;
    i.Open();
    i.Insert();
    EXPECT_EQ(Get(i, "INTERVAL_CODE"), "5");
    EXPECT_EQ(i.State(), dsInsert);  // the new row survives the search for the code
    EXPECT_TRUE(i.FieldByName("INTERVAL_CODE")->ReadOnly());
    Set(i, "KMDISTANCE", "25000");
    Set(i, "MLDISTANCE", "16000");
    ExpectPosted(i);
    TTable& i2 = *T().tblInterval2;
    i2.Open();
    i2.Insert();
    EXPECT_EQ(Get(i2, "INTERVAL_CODE"), "6");
    EXPECT_EQ(i2.State(), dsInsert);
}

TEST_F(Rules, IntervalChecksInOrder) {
    TTable& i = *T().tblInterval;
    i.Open();
    i.Insert();
    ExpectRefused(i, "km interval must be entered");
    Set(i, "KMDISTANCE", "10000");
    Set(i, "MLDISTANCE", "0");
    ExpectRefused(i, "ml interval must be entered");
    Set(i, "MLDISTANCE", "10000");
    ExpectRefused(i, "km interval must be higher than ml");
    Set(i, "MLDISTANCE", "6000");
    ExpectRefused(i, "Cannot allow duplicate interval");
    EXPECT_EQ(Count("INTERVAL", "1"), "4");
    // An unchanged interval passes on edit.
    i.Cancel();
    ASSERT_TRUE(i.FindKey({4}));
    i.Edit();
    ExpectPosted(i);
    i.Edit();
    Set(i, "KMDISTANCE", "15000");
    Set(i, "MLDISTANCE", "10000");
    ExpectRefused(i, "Cannot allow duplicate interval");
}

// ---- MAINHEAD and SUBHEAD ----

TEST_F(Rules, NewEnglishHeadingIsCopiedIntoEveryLanguage) {
    TTable& m = *T().tblMainHead;
    TTable& gb = *T().tblGBMainHead;
    m.Open();
    gb.Open();
    m.Insert();
    Set(m, "MH_TEXT", "CHECK OIL");
    ExpectPosted(m);
    EXPECT_EQ(Value("SELECT NEXT_MAIN_HEADING FROM CODES"), "11");
    EXPECT_EQ(Value("SELECT LANG_CODE||MH_EXTPER||COALESCE(BESPOKE,'-') FROM MAINHEAD WHERE MH_TEXT='CHECK OIL'"),
              "ENN-");
    for (const char* language : {"DE", "PO", "GK"})
        EXPECT_EQ(Value(std::string("SELECT MH_TEXT||MH_EXTPER FROM MAINHEAD WHERE MH_CODE=10 AND LANG_CODE='") +
                        language + "'"),
                  "*CHECK OILN")
            << language;
    EXPECT_EQ(Count("MAINHEAD", "MH_CODE=10"), "4");
    // The main cursor and the English view see the new rows.
    Language = "GK";
    ASSERT_TRUE(m.FindKey({"GK", 3}));
    EXPECT_EQ(Get(gb, "MH_CODE"), "3");
    EXPECT_TRUE(m.FindKey({"GK", 10}));
    EXPECT_EQ(Get(gb, "MH_TEXT"), "CHECK OIL");
}

TEST_F(Rules, MainHeadingChecksInOrder) {
    TTable& m = *T().tblMainHead;
    m.Open();
    m.Insert();
    Set(m, "MH_EXTPER", "x");
    ExpectRefused(m, "Operation Text must be entered");
    Set(m, "MH_TEXT", "ROAD TEST");
    ExpectRefused(m, "Cannot allow a duplicate Heading");
    Set(m, "MH_TEXT", "FAHRZEUG INNEN");  // German only: no duplicate in English
    ExpectRefused(m, "Extended Period Indicator must be Y, N or blank");
    Set(m, "MH_EXTPER", "y");
    Language = "DE";
    Market = "";
    Set(m, "MH_TEXT", "NEU");
    ExpectRefused(m, "A Market must be selected for this foreign insertion");
    EXPECT_EQ(Value("SELECT NEXT_MAIN_HEADING FROM CODES"), "10");
    // An edit that keeps the text passes; one that takes another heading's text does not.
    m.Cancel();
    Language = "EN";
    ASSERT_TRUE(m.FindKey({"EN", 7}));
    m.Edit();
    ExpectPosted(m);
    m.Edit();
    Set(m, "MH_TEXT", "FINAL CHECKS");
    ExpectRefused(m, "Cannot allow a duplicate Heading");
}

TEST_F(Rules, ForeignHeadingIsCopiedToTheMarketsLanguagesAsBespoke) {
    Language = "DE";
    Market = "DX";  // DE, EN
    Exec("UPDATE MARKET SET LANG3='GK', LANG5='PO' WHERE MARKET_CODE='DX'");
    TTable& m = *T().tblMainHead;
    m.Open();
    m.Insert();
    Set(m, "MH_TEXT", "ABGASUNTERSUCHUNG");
    ExpectPosted(m);
    EXPECT_EQ(Value("SELECT LANG_CODE||BESPOKE||MH_EXTPER FROM MAINHEAD WHERE MH_TEXT='ABGASUNTERSUCHUNG'"), "DEYN");
    EXPECT_EQ(Count("MAINHEAD", "MH_CODE=10"), "3");  // DE, EN and GK; PO is only LANG5
    EXPECT_EQ(Count("MAINHEAD", "MH_CODE=10 AND LANG_CODE IN ('EN','GK') AND BESPOKE='Y' AND "
                                "MH_TEXT='*ABGASUNTERSUCHUNG'"),
              "2");
}

TEST_F(Rules, ForeignDeleteOnlyOfABespokeHeadingAndDeleteInEveryLanguage) {
    Language = "DE";
    TTable& m = *T().tblMainHead;
    m.Open();
    ASSERT_TRUE(m.FindKey({"DE", 7}));
    bool aborted = false;
    EXPECT_EQ(Delete(m, &aborted),
              std::vector<std::string>{"Cannot delete a non Bespoke Heading for foreign language"});
    EXPECT_TRUE(aborted);
    EXPECT_EQ(Count("MAINHEAD", "MH_CODE=7"), "4");
    ASSERT_TRUE(m.FindKey({"DE", 9}));  // bespoke
    EXPECT_EQ(Delete(m, &aborted), std::vector<std::string>{});
    EXPECT_EQ(Count("MAINHEAD", "MH_CODE=9"), "0");
    // English: deleted in every language, and no deleted row stays on show.
    Language = "EN";
    ASSERT_TRUE(m.FindKey({"EN", 7}));
    EXPECT_EQ(Delete(m, &aborted), std::vector<std::string>{});
    EXPECT_EQ(Count("MAINHEAD", "MH_CODE=7"), "0");
    EXPECT_FALSE(m.FindKey({"DE", 7}));
    EXPECT_FALSE(m.FindKey({"GK", 7}));
}

TEST_F(Rules, EnglishViewFollowsTheTranslation) {
    Language = "DE";
    TTable& m = *T().tblMainHead;
    TTable& gb = *T().tblGBMainHead;
    m.Open();  // the view closed: nothing happens
    gb.Open();
    ASSERT_TRUE(m.FindKey({"DE", 5}));
    EXPECT_EQ(Get(gb, "MH_TEXT"), "WHEELS AND TYRES");
    m.Next();
    EXPECT_EQ(Get(gb, "MH_CODE"), "6");
    m.Insert();  // a new row has no code: the view stays
    EXPECT_EQ(Get(gb, "MH_CODE"), "6");
    m.Cancel();
    ASSERT_TRUE(m.FindKey({"DE", 9}));  // no English row: the view stays
    EXPECT_EQ(Get(gb, "MH_CODE"), "6");
    // A view in edit is left alone: its pending edit is neither posted nor lost.
    gb.Edit();
    Set(gb, "MH_TEXT", "EXTENDED");
    EXPECT_NO_THROW(m.FindKey({"DE", 1}));
    EXPECT_EQ(gb.State(), dsEdit);
    gb.Cancel();
    EXPECT_EQ(Count("MAINHEAD", "MH_TEXT='EXTENDED'"), "0");
    m.Next();
    EXPECT_EQ(Get(gb, "MH_CODE"), "2");

    TTable& s = *T().tblSubHead;
    TTable& gbs = *T().tblGBSubHead;
    s.Open();
    gbs.Open();
    ASSERT_TRUE(s.FindKey({"PO", 3}));
    EXPECT_EQ(Get(gbs, "SH_TEXT"), "Heating and ventilation");
    // In English the view is left alone.
    Language = "EN";
    ASSERT_TRUE(s.FindKey({"PO", 4}));
    EXPECT_EQ(Get(gbs, "SH_CODE"), "3");
}

TEST_F(Rules, SubHeadingRulesUseTheirOwnFieldsAndCounter) {
    TTable& s = *T().tblSubHead;
    s.Open();
    s.Insert();
    Set(s, "SH_TEXT", "Seats and seat belts");
    ExpectRefused(s, "Cannot allow a duplicate Heading");
    Set(s, "SH_TEXT", "Brake fluid");
    ExpectPosted(s);
    EXPECT_EQ(Value("SELECT NEXT_SUB_HEADING FROM CODES"), "34");
    EXPECT_EQ(Count("SUBHEAD", "SH_CODE=33 AND LANG_CODE<>'EN' AND SH_TEXT='*Brake fluid'"), "3");
    // No empty-text message: an empty sub-heading passes once.
    s.Insert();
    ExpectPosted(s);
    EXPECT_EQ(Count("SUBHEAD", "SH_CODE=34 AND LANG_CODE<>'EN' AND SH_TEXT='*'"), "3");
    // Delete in every language.
    ASSERT_TRUE(s.FindKey({"EN", 33}));
    EXPECT_EQ(Delete(s), std::vector<std::string>{});
    EXPECT_EQ(Count("SUBHEAD", "SH_CODE=33"), "0");
}

// ---- AVSCODES ----

TEST_F(Rules, AVSCodeChecksInOrderOnBothCopies) {
    for (TTable* t : {T().tblAVSCodes.get(), T().tblAVSCodes2.get()}) {
        t->Open();
        t->Insert();
        ExpectRefused(*t, "Code must be entered");
        Set(*t, "AVSCODE", "xy12m");
        ExpectRefused(*t, "Drive Type must be entered");
        Set(*t, "DRIVETYPE", "c");
        ExpectRefused(*t, "Drive Type must be A or M");
        Set(*t, "AVSCODE", "ar12m");
        Set(*t, "DRIVETYPE", "m");
        ExpectRefused(*t, "AVS Code already assigned");
        t->Cancel();
        // Unchanged code on edit passes, through either copy.
        ASSERT_TRUE(t->FindKey({"PL16A"}));
        t->Edit();
        Set(*t, "DRIVETYPE", "a");
        ExpectPosted(*t);
    }
    TTable& t = *T().tblAVSCodes;
    t.Insert();
    Set(t, "AVSCODE", "xy12m");
    Set(t, "DRIVETYPE", "automatic");
    ExpectPosted(t);  // the first character decides
    EXPECT_EQ(Value("SELECT DRIVETYPE FROM AVSCODES WHERE AVSCODE='XY12M'"), "A");
}

// ---- the program's own look-ups ----

TEST_F(Rules, GermanLookupsReadTheSameWithTheRulesBound) {
    // The report's key searches over a German structure, once with the rules bound and once
    // on a data module whose scroll handlers are unbound.
    Language = "DE";
    auto walk = [this](TfrmTables& tables) {
        std::vector<std::string> texts;
        tables.tblStructure->Open();
        tables.tblMainHead->Open();
        tables.tblSubHead->Open();
        tables.tblGBMainHead->Open();
        tables.tblGBSubHead->Open();
        TTable& st = *tables.tblStructure;
        for (st.First(); !st.Eof(); st.Next()) {
            if (Get(st, "LANG_CODE") != "DE" && Get(st, "LANG_CODE") != "EN") continue;
            if (tables.tblMainHead->FindKey({Language, st.FieldByName("MH_CODE")->AsInteger()}))
                texts.push_back(Get(*tables.tblMainHead, "MH_TEXT"));
            for (const char* level : {"L1_SHCODE", "L2_SHCODE"})
                if (tables.tblSubHead->FindKey({Language, st.FieldByName(level)->AsInteger()}))
                    texts.push_back(Get(*tables.tblSubHead, "SH_TEXT"));
        }
        return texts;
    };
    const std::vector<std::string> bound = walk(T());
    EXPECT_GT(bound.size(), 20u);
    EXPECT_EQ(T().tblGBMainHead->FieldByName("MH_CODE")->AsInteger(),
              T().tblMainHead->FieldByName("MH_CODE")->AsInteger());
    delete frmTables;
    frmTables = new TfrmTables();
    frmTables->tblMainHead->AfterScroll = nullptr;
    frmTables->tblSubHead->AfterScroll = nullptr;
    EXPECT_EQ(walk(T()), bound);
    EXPECT_TRUE(FormsScript::MessageTexts().empty());
}

}  // namespace
