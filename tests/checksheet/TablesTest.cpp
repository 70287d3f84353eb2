// The data module on the sample service database: every component opens under its name, the
// English views show English rows only, the secondary index and the queries work.
#include "Tables.h"
#include "Database.h"
#include "TolmLib.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class DataModule : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(VETRA_BIN_DIR) + "klv3data.sqlite")) {
            if (std::getenv("CI")) FAIL() << "sample database not built";
            GTEST_SKIP() << "sample database not built";
        }
        db.DatabaseName = "KLV3Data";
        db.Params = {"PATH=" VETRA_BIN_DIR};
        tables = std::make_unique<TfrmTables>();
    }
    TDatabase db;
    std::unique_ptr<TfrmTables> tables;
};

TEST_F(DataModule, EveryTableOpensAndNoneIsEverWritten) {
    auto stamp = std::filesystem::last_write_time(std::string(VETRA_BIN_DIR) + "klv3data.sqlite");
    std::vector<TTable*> all = {
        tables->tblLanguage.get(),   tables->tblLanguage2.get(),   tables->tblMarket.get(),
        tables->tblMarket2.get(),    tables->tblModels.get(),      tables->tblModels2.get(),
        tables->tblEngines.get(),    tables->tblEngines2.get(),    tables->tblInterval.get(),
        tables->tblInterval2.get(),  tables->tblMRanges.get(),     tables->tblMRanges2.get(),
        tables->tblMainHead.get(),   tables->tblMainHead2.get(),   tables->tblGBMainHead.get(),
        tables->tblSubHead.get(),    tables->tblSubHead2.get(),    tables->tblGBSubHead.get(),
        tables->tblServOps.get(),    tables->tblServOps2.get(),    tables->tblGBServOps.get(),
        tables->tblLangText.get(),   tables->tblCodes.get(),       tables->tblStructure.get(),
        tables->tblStructure2.get(), tables->tblGBStructure.get(), tables->tblCSLinks.get(),
        tables->tblParams.get(),     tables->tblVINDates.get(),    tables->tblVersion.get(),
        tables->tblErrMess.get(),    tables->tblAltBDate.get(),    tables->tblPKXMap.get(),
        tables->tblPDIOps.get(),     tables->tblPDIOps2.get(),     tables->tblGBPDIOps.get(),
        tables->tblPDIStruct.get(),  tables->tblPDILinks.get(),    tables->tblSACOps.get(),
        tables->tblSACOps2.get(),    tables->tblGBSACOps.get(),    tables->tblSACStruct.get(),
        tables->tblSACLinks.get(),   tables->tblAVSCodes.get(),    tables->tblAVSCodes2.get(),
        tables->tblXMLConv.get()};
    ASSERT_EQ(all.size(), 46u);
    for (TTable* t : all) {
        EXPECT_FALSE(t->Active()) << t->Name(); // nothing opens at creation
        EXPECT_NO_THROW(t->Open()) << t->Name();
    }
    db.Close();
    EXPECT_EQ(std::filesystem::last_write_time(std::string(VETRA_BIN_DIR) + "klv3data.sqlite"), stamp);
}

TEST_F(DataModule, EnglishViewsShowOnlyEnglishRows) {
    for (TTable* t : {tables->tblGBMainHead.get(), tables->tblGBSubHead.get(), tables->tblGBServOps.get(),
                      tables->tblGBStructure.get(), tables->tblEngines.get()}) {
        t->Open();
        EXPECT_GT(t->RecordCount(), 0) << t->Name();
        for (t->First(); !t->Eof(); t->Next())
            EXPECT_EQ(t->FieldByName("LANG_CODE")->AsString(), "EN") << t->Name();
    }
    tables->tblMainHead->Open();
    EXPECT_GT(tables->tblMainHead->RecordCount(), tables->tblGBMainHead->RecordCount());
}

TEST_F(DataModule, EnginesFilterSwitchedOffShowsEveryLanguage) {
    TTable* e = tables->tblEngines.get();
    e->Open();
    int english = e->RecordCount();
    e->SetFiltered(false);
    e->Refresh();
    EXPECT_GT(e->RecordCount(), english);
    ASSERT_TRUE(e->FindKey({"DE"})); // searched by (LANG_CODE, ENGINE_CODE) from now on
    EXPECT_EQ(e->FieldByName("LANG_CODE")->AsString(), "DE");
}

TEST_F(DataModule, ModelRangeIndexByNameInAnyCase) {
    TTable* r = tables->tblMRanges.get();
    r->SetIndexName("MRange");
    r->Open();
    int last = -1;
    for (r->First(); !r->Eof(); r->Next()) {
        int code = r->FieldByName("MODEL_RANGE_CODE")->AsInteger();
        EXPECT_GE(code, last);
        last = code;
    }
}

TEST_F(DataModule, QueriesRunWithTheirParameters) {
    TQuery* q = tables->qryMRanges.get();
    q->ParamByName("Language")->SetAsString("EN");
    q->Open();
    EXPECT_GT(q->RecordCount(), 0);
    EXPECT_FALSE(q->FieldByName("Description_1")->AsString().empty());
    EXPECT_GT(q->FieldByName("kmDistance")->AsInteger(), 0);

    TQuery* m = tables->qryMarkets.get();
    m->ParamByName("InLang")->SetAsString("EN");
    m->Open();
    EXPECT_GT(m->RecordCount(), 0);
    m->Close();
    m->ParamByName("InLang")->SetAsString("XX");
    m->Open();
    EXPECT_TRUE(m->Eof());

    for (TQuery* d :
         {tables->qryDistinctOil.get(), tables->qryDistinctRPM.get(), tables->qryDistinctCO.get(),
          tables->qryDistinctHC.get(), tables->qryDistinctLambda.get(), tables->qryDistinctWeight.get(),
          tables->qryDistinct_FastRPM.get(), tables->qryDistinct_fastCO.get(),
          tables->qryDistinctNTSmoke.get(), tables->qryDistinctTSmoke.get()}) {
        EXPECT_NO_THROW(d->Open()) << d->Name();
        EXPECT_EQ(d->FieldCount(), 1) << d->Name();
    }
}

TEST_F(DataModule, ComponentSettings) {
    tables->tblModels->Open();
    EXPECT_TRUE(tables->tblModels->FieldByName("MODEL_CODE")->ReadOnly());
    tables->tblModels2->Open();
    EXPECT_TRUE(tables->tblModels2->FieldByName("DESCRIPTION")->Required());
    EXPECT_EQ(tables->tblLanguage->IndexFieldNames(), "LANG_CODE");
    EXPECT_FALSE(tables->tblGBMainHead->DefaultIndex());
    EXPECT_TRUE(tables->tblEngines->Filtered());
    EXPECT_TRUE(tables->qryMRanges->RequestLive);
}

TEST_F(DataModule, PicturesAreStretchedAsPrintedAndThePageHolderStartsEmpty) {
    EXPECT_TRUE(tables->imMakerLogo->Stretch());
    EXPECT_TRUE(tables->imCTLogo->Stretch());
    EXPECT_TRUE(tables->imInverseLogo->Stretch());
    EXPECT_FALSE(tables->imTick->Stretch());
    EXPECT_EQ(tables->imPrePrint->Picture().Graphic(), nullptr);
    EXPECT_EQ(tables->imMakerLogo->Name, "imMakerLogo");
}

TEST(Artwork, MissingPictureLeavesTheImageEmpty) {
    TImage image(nullptr);
    LoadArtwork(image, "no-such-picture.bmp");
    EXPECT_EQ(image.Picture().Graphic(), nullptr);
}

TEST_F(DataModule, LTextOnTheSampleTexts) {
    frmTables = tables.get();
    tables->tblLangText->Open();
    Language = "EN";
    for (int n : {9, 110, 134, 161})
        EXPECT_NE(LText(n), "*") << n;
    Language = "DE";
    EXPECT_NE(LText(9), "*");
    frmTables = nullptr;
}

} // namespace
