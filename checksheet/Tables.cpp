// The service data module: components, their table names and index and filter settings, the
// query statements, and the binding of the maintenance rules to the dataset events.
#include "Tables.h"

#include "TolmLib.h"

TfrmTables* frmTables = nullptr;

namespace {

// Pictures of the data module: component, artwork file ("" = starts empty), stretched.
struct PictureSetting {
    std::unique_ptr<TImage> TfrmTables::*Component;
    const char* Name;
    const char* File;
    bool Stretch;
};

const PictureSetting kPictures[] = {
    {&TfrmTables::imMakerLogo, "imMakerLogo", "imMakerLogo.bmp", true},
    {&TfrmTables::imTick, "imTick", "imTick.bmp", false},
    {&TfrmTables::imCTLogo, "imCTLogo", "imCTLogo.bmp", true},
    {&TfrmTables::imInverseLogo, "imInverseLogo", "imInverseLogo.bmp", true},
    {&TfrmTables::imPrePrint, "imPrePrint", "", false},
};

}  // namespace

void TfrmTables::CreatePictures() {
    for (const PictureSetting& s : kPictures) {
        auto image = std::make_unique<TImage>(nullptr);
        image->Name = s.Name;
        image->SetStretch(s.Stretch);
        if (*s.File) LoadArtwork(*image, s.File);
        this->*s.Component = std::move(image);
    }
}

namespace {

// Table components with their file, and index and filter settings.
struct TableSetting {
    std::unique_ptr<TTable> TfrmTables::*Component;
    const char* Name;
    const char* TableName;
    const char* IndexFieldNames;
    const char* Filter; ///< filtered when not empty
    bool DefaultIndex;
};

const TableSetting kTables[] = {
    {&TfrmTables::tblLanguage, "tblLanguage", "LANGUAGE.DB", "LANG_CODE", "", true},
    {&TfrmTables::tblLanguage2, "tblLanguage2", "LANGUAGE.DB", "LANG_CODE", "", true},
    {&TfrmTables::tblMarket, "tblMarket", "MARKET.DB", "MARKET_CODE", "", true},
    {&TfrmTables::tblMarket2, "tblMarket2", "MARKET.DB", "MARKET_CODE", "", true},
    {&TfrmTables::tblModels, "tblModels", "MODELS.DB", "", "", true},
    {&TfrmTables::tblModels2, "tblModels2", "MODELS.DB", "", "", true},
    {&TfrmTables::tblEngines, "tblEngines", "ENGINES.DB", "", "Lang_Code = 'EN'", true},
    {&TfrmTables::tblEngines2, "tblEngines2", "ENGINES.DB", "", "", true},
    {&TfrmTables::tblInterval, "tblInterval", "INTERVAL.DB", "", "", true},
    {&TfrmTables::tblInterval2, "tblInterval2", "INTERVAL.DB", "", "", true},
    {&TfrmTables::tblMRanges, "tblMRanges", "Mranges.DB", "", "", true},
    {&TfrmTables::tblMRanges2, "tblMRanges2", "Mranges.DB", "", "", true},
    {&TfrmTables::tblMainHead, "tblMainHead", "MAINHEAD.DB", "", "", true},
    {&TfrmTables::tblMainHead2, "tblMainHead2", "MAINHEAD.DB", "", "", true},
    {&TfrmTables::tblGBMainHead, "tblGBMainHead", "MAINHEAD.DB", "", "Lang_Code = 'EN'", false},
    {&TfrmTables::tblSubHead, "tblSubHead", "SUBHEAD.DB", "", "", true},
    {&TfrmTables::tblSubHead2, "tblSubHead2", "SUBHEAD.DB", "", "", true},
    {&TfrmTables::tblGBSubHead, "tblGBSubHead", "SUBHEAD.DB", "", "Lang_Code = 'EN'", true},
    {&TfrmTables::tblServOps, "tblServOps", "SERVOPS.DB", "", "", true},
    {&TfrmTables::tblServOps2, "tblServOps2", "SERVOPS.DB", "", "", true},
    {&TfrmTables::tblGBServOps, "tblGBServOps", "SERVOPS.DB", "", "Lang_Code = 'EN'", true},
    {&TfrmTables::tblLangText, "tblLangText", "LANGTEXT.DB", "", "", true},
    {&TfrmTables::tblCodes, "tblCodes", "CODES.DB", "", "", true},
    {&TfrmTables::tblStructure, "tblStructure", "Csstruct.DB", "", "", true},
    {&TfrmTables::tblStructure2, "tblStructure2", "Csstruct.DB", "", "", true},
    {&TfrmTables::tblGBStructure, "tblGBStructure", "Csstruct.DB", "", "Lang_Code = 'EN'", true},
    {&TfrmTables::tblCSLinks, "tblCSLinks", "CSLINKS.DB", "", "", true},
    {&TfrmTables::tblParams, "tblParams", "PARAMS.DB", "", "", true},
    {&TfrmTables::tblVINDates, "tblVINDates", "VINDATES.DB", "", "", true},
    {&TfrmTables::tblVersion, "tblVersion", "Version.db", "", "", true},
    {&TfrmTables::tblErrMess, "tblErrMess", "ErrMess.db", "", "", true},
    {&TfrmTables::tblAltBDate, "tblAltBDate", "AltBDate.db", "", "", true},
    {&TfrmTables::tblPKXMap, "tblPKXMap", "PKXMap.DB", "", "", true},
    {&TfrmTables::tblPDIOps, "tblPDIOps", "PDIOps.db", "", "", true},
    {&TfrmTables::tblPDIOps2, "tblPDIOps2", "PDIOps.db", "", "", true},
    {&TfrmTables::tblGBPDIOps, "tblGBPDIOps", "PDIOps.db", "", "Lang_Code = 'EN'", true},
    {&TfrmTables::tblPDIStruct, "tblPDIStruct", "pdstruct.DB", "", "", true},
    {&TfrmTables::tblPDILinks, "tblPDILinks", "PDILinks.db", "", "", true},
    {&TfrmTables::tblSACOps, "tblSACOps", "SACOps.db", "", "", true},
    {&TfrmTables::tblSACOps2, "tblSACOps2", "SACOps.db", "", "", true},
    {&TfrmTables::tblGBSACOps, "tblGBSACOps", "SACOps.db", "", "Lang_Code = 'EN'", true},
    {&TfrmTables::tblSACStruct, "tblSACStruct", "SAStruct.db", "", "", true},
    {&TfrmTables::tblSACLinks, "tblSACLinks", "SACLinks.db", "", "", true},
    {&TfrmTables::tblAVSCodes, "tblAVSCodes", "AVSCODES.db", "", "", true},
    {&TfrmTables::tblAVSCodes2, "tblAVSCodes2", "AVSCODES.db", "", "", true},
    {&TfrmTables::tblXMLConv, "tblXMLConv", "XMLConv.db", "", "", true},
};

struct QuerySetting {
    std::unique_ptr<TQuery> TfrmTables::*Component;
    const char* Name;
    const char* SQL;
    bool RequestLive;
};

const QuerySetting kQueries[] = {
    {&TfrmTables::qryMRanges, "qryMRanges",
     "Select Model_Range_Code, M.Model_Code, R.Engine_Code, M.Description, E.Description, E.Catalyst, "
     "Build_Date_From, Build_Date_To, SIL_Flag, R.Interval_Code, Oil_Limit, Ex_LimitRPM, Ex_LimitCO, "
     "Ex_LimitHC, "
     "Ex_Lambda, Ex_Limit_FastRPM, Ex_Limit_FastCO, NTSmoke, TSmoke, WeightKG, I.kmDistance, I.mlDistance "
     "From MRanges R, Models M, Engines E, Interval I "
     "Where R.Model_Code = M.Model_Code And (R.Engine_Code = E.Engine_Code And E.Lang_Code = :Language) "
     "And R.Interval_Code = I.Interval_Code "
     "Order By M.Description, E.Description, R.Build_Date_From",
     true},
    {&TfrmTables::qryMarkets, "qryMarkets",
     "Select * From Market Where Lang1 = :InLang Or Lang2 = :InLang Or Lang3 = :InLang Or Lang4 = :InLang "
     "Or Lang5 = :InLang Or Lang6 = :InLang Order By Description",
     false},
    {&TfrmTables::qryDistinctOil, "qryDistinctOil", "Select Distinct OIL_LIMIT From MRANGES", false},
    {&TfrmTables::qryDistinctRPM, "qryDistinctRPM", "Select Distinct EX_LIMITRPM From MRANGES", false},
    {&TfrmTables::qryDistinctCO, "qryDistinctCO", "Select Distinct EX_LIMITCO From MRANGES", false},
    {&TfrmTables::qryDistinctHC, "qryDistinctHC", "Select Distinct EX_LIMITHC From MRANGES", false},
    {&TfrmTables::qryDistinctLambda, "qryDistinctLambda", "Select Distinct EX_LAMBDA From MRANGES", false},
    {&TfrmTables::qryDistinctWeight, "qryDistinctWeight", "Select Distinct WEIGHTKG From MRANGES", false},
    {&TfrmTables::qryDistinct_FastRPM, "qryDistinct_FastRPM", "Select Distinct EX_LIMIT_FASTRPM From MRANGES",
     false},
    {&TfrmTables::qryDistinct_fastCO, "qryDistinct_fastCO", "Select Distinct EX_LIMIT_FASTCO From MRANGES",
     false},
    {&TfrmTables::qryDistinctNTSmoke, "qryDistinctNTSmoke", "Select Distinct NTSmoke From MRANGES", false},
    {&TfrmTables::qryDistinctTSmoke, "qryDistinctTSmoke", "Select Distinct TSmoke From MRANGES", false},
};

// The settings table's fields, from which the first installation creates it when it is missing.
const TFieldDef kParamsFields[] = {
    {"NAME", ftString, 50},          {"ADD1", ftString, 40},         {"ADD2", ftString, 40},
    {"ADD3", ftString, 40},          {"ADD4", ftString, 40},         {"TELEPHONE", ftString, 20},
    {"FAX", ftString, 20},           {"VAT_REG", ftString, 12},      {"EMAIL", ftString, 40},
    {"PRINT_DETAILS", ftBoolean, 0}, {"PAGE_MARGIN", ftSmallint, 0}, {"CUSTOMER_DETAILS", ftBoolean, 0},
    {"MARKET_CODE", ftString, 3},    {"LANG_CODE", ftString, 2},     {"EMTEST_EQUIP", ftBoolean, 0},
    {"BRTEST_EQUIP", ftBoolean, 0},  {"WEB", ftString, 40},
};

} // namespace

TfrmTables::TfrmTables() {
    CreatePictures();
    for (const TableSetting& s : kTables) {
        auto table = std::make_unique<TTable>();
        table->SetName(s.Name);
        table->SetDatabaseName(kDatabaseAlias);
        table->SetTableName(s.TableName);
        if (*s.IndexFieldNames) table->SetIndexFieldNames(s.IndexFieldNames);
        table->SetDefaultIndex(s.DefaultIndex);
        if (*s.Filter) {
            table->SetFilter(s.Filter);
            table->SetFiltered(true);
        }
        this->*s.Component = std::move(table);
    }
    for (const QuerySetting& s : kQueries) {
        auto query = std::make_unique<TQuery>();
        query->SetName(s.Name);
        query->SetDatabaseName(kDatabaseAlias);
        query->SetSQL(s.SQL);
        query->RequestLive = s.RequestLive;
        this->*s.Component = std::move(query);
    }
    // Field settings of the components.
    for (const TFieldDef& d : kParamsFields)
        tblParams->FieldDefs.Add(d.Name, d.DataType, d.Size);
    tblModels->DefineField("MODEL_CODE")->SetReadOnly(true);
    tblModels2->DefineField("DESCRIPTION")->SetRequired(true);
    BindEvents();
}

TfrmTables::~TfrmTables() {
    if (frmTables == this) frmTables = nullptr;
}

void TfrmTables::BindEvents() {
    tblLanguage->BeforeEdit = [this](TDataSet* d) { tblLanguageBeforeEdit(d); };
    tblLanguage->BeforePost = [this](TDataSet* d) { tblLanguageBeforePost(d); };
    tblLanguage2->BeforePost = [this](TDataSet* d) { tblLanguageBeforePost(d); };
    tblLanguage->BeforeDelete = [this](TDataSet* d) { tblLanguageBeforeDelete(d); };
    tblMarket->BeforeEdit = [this](TDataSet* d) { tblMarketBeforeEdit(d); };
    tblMarket->BeforePost = [this](TDataSet* d) { tblMarketBeforePost(d); };
    tblMarket->BeforeDelete = [this](TDataSet* d) { tblMarketBeforeDelete(d); };
    tblModels->BeforeEdit = [this](TDataSet* d) { tblModelsBeforeEdit(d); };
    tblModels->BeforePost = [this](TDataSet* d) { tblModelsBeforePost(d); };
    tblEngines->BeforeEdit = [this](TDataSet* d) { tblEnginesBeforeEdit(d); };
    tblEngines->BeforePost = [this](TDataSet* d) { tblEnginesBeforePost(d); };
    tblEngines->AfterPost = [this](TDataSet* d) { tblEnginesAfterPost(d); };
    tblInterval->OnNewRecord = [this](TDataSet* d) { tblIntervalNewRecord(d); };
    tblInterval2->OnNewRecord = [this](TDataSet* d) { tblIntervalNewRecord(d); };
    tblInterval->BeforeEdit = [this](TDataSet* d) { tblIntervalBeforeEdit(d); };
    tblInterval->BeforePost = [this](TDataSet* d) { tblIntervalBeforePost(d); };
    tblMainHead->BeforeEdit = [this](TDataSet* d) { tblMainHeadBeforeEdit(d); };
    tblMainHead->BeforePost = [this](TDataSet* d) { tblMainHeadBeforePost(d); };
    tblMainHead->AfterPost = [this](TDataSet* d) { tblMainHeadAfterPost(d); };
    tblMainHead->BeforeDelete = [this](TDataSet* d) { tblMainHeadBeforeDelete(d); };
    tblMainHead->AfterDelete = [this](TDataSet* d) { tblMainHeadAfterDelete(d); };
    tblMainHead->AfterScroll = [this](TDataSet* d) { tblMainHeadAfterScroll(d); };
    tblSubHead->BeforeEdit = [this](TDataSet* d) { tblSubHeadBeforeEdit(d); };
    tblSubHead->BeforePost = [this](TDataSet* d) { tblSubHeadBeforePost(d); };
    tblSubHead->AfterPost = [this](TDataSet* d) { tblSubHeadAfterPost(d); };
    tblSubHead->BeforeDelete = [this](TDataSet* d) { tblSubHeadBeforeDelete(d); };
    tblSubHead->AfterDelete = [this](TDataSet* d) { tblSubHeadAfterDelete(d); };
    tblSubHead->AfterScroll = [this](TDataSet* d) { tblSubHeadAfterScroll(d); };
    tblAVSCodes->BeforeEdit = [this](TDataSet* d) { tblAVSCodesBeforeEdit(d); };
    tblAVSCodes->BeforePost = [this](TDataSet* d) { tblAVSCodesBeforePost(d); };
    tblAVSCodes2->BeforePost = [this](TDataSet* d) { tblAVSCodesBeforePost(d); };
}

// The maintenance rules themselves are added with the editing rules of the service data; until
// then the handlers accept every change.
void TfrmTables::tblLanguageBeforeEdit(TDataSet*) {}
void TfrmTables::tblLanguageBeforePost(TDataSet*) {}
void TfrmTables::tblLanguageBeforeDelete(TDataSet*) {}
void TfrmTables::tblMarketBeforeEdit(TDataSet*) {}
void TfrmTables::tblMarketBeforePost(TDataSet*) {}
void TfrmTables::tblMarketBeforeDelete(TDataSet*) {}
void TfrmTables::tblModelsBeforeEdit(TDataSet*) {}
void TfrmTables::tblModelsBeforePost(TDataSet*) {}
void TfrmTables::tblEnginesBeforeEdit(TDataSet*) {}
void TfrmTables::tblEnginesBeforePost(TDataSet*) {}
void TfrmTables::tblEnginesAfterPost(TDataSet*) {}
void TfrmTables::tblIntervalNewRecord(TDataSet*) {}
void TfrmTables::tblIntervalBeforeEdit(TDataSet*) {}
void TfrmTables::tblIntervalBeforePost(TDataSet*) {}
void TfrmTables::tblMainHeadBeforeEdit(TDataSet*) {}
void TfrmTables::tblMainHeadBeforePost(TDataSet*) {}
void TfrmTables::tblMainHeadAfterPost(TDataSet*) {}
void TfrmTables::tblMainHeadBeforeDelete(TDataSet*) {}
void TfrmTables::tblMainHeadAfterDelete(TDataSet*) {}
void TfrmTables::tblMainHeadAfterScroll(TDataSet*) {}
void TfrmTables::tblSubHeadBeforeEdit(TDataSet*) {}
void TfrmTables::tblSubHeadBeforePost(TDataSet*) {}
void TfrmTables::tblSubHeadAfterPost(TDataSet*) {}
void TfrmTables::tblSubHeadBeforeDelete(TDataSet*) {}
void TfrmTables::tblSubHeadAfterDelete(TDataSet*) {}
void TfrmTables::tblSubHeadAfterScroll(TDataSet*) {}
void TfrmTables::tblAVSCodesBeforeEdit(TDataSet*) {}
void TfrmTables::tblAVSCodesBeforePost(TDataSet*) {}
