// The service data module: components, their table names and index and filter settings, the
// query statements, and the maintenance rules of the master tables bound to the dataset events
// (checks before posting and deleting, codes from CODES, copies and deletes in every language).
#include "Tables.h"

#include "Dialogs.h"
#include "Exceptions.h"
#include "Forms.h"
#include "SysUtils.h"
#include "TolmLib.h"

#include <algorithm>

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

void TfrmTables::SetHeadingRules(THeadingRules& h, TTable* main, TTable* copy, TTable* view, const char* codeField,
                                 const char* textField, const char* counter, bool hasExtPer) {
    h.Main = main;
    h.Copy = copy;
    h.View = view;
    h.CodeField = codeField;
    h.TextField = textField;
    h.Counter = counter;
    h.HasExtPer = hasExtPer;
}

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
    // Codes the rules give: read-only to the user, opened only for the rules' assignments.
    tblEngines->DefineField("LANG_CODE")->SetReadOnly(true);
    tblEngines->DefineField("ENGINE_CODE")->SetReadOnly(true);
    tblInterval->DefineField("INTERVAL_CODE")->SetReadOnly(true);
    tblInterval2->DefineField("INTERVAL_CODE")->SetReadOnly(true);
    SetHeadingRules(mainHeadRules_, tblMainHead.get(), tblMainHead2.get(), tblGBMainHead.get(), "MH_CODE", "MH_TEXT",
                    "NEXT_MAIN_HEADING", true);
    SetHeadingRules(subHeadRules_, tblSubHead.get(), tblSubHead2.get(), tblGBSubHead.get(), "SH_CODE", "SH_TEXT",
                    "NEXT_SUB_HEADING", false);
    BindEvents();
}

TfrmTables::~TfrmTables() {
    if (frmTables == this) frmTables = nullptr;
}

void TfrmTables::BindEvents() {
    tblLanguage->BeforeEdit = [this](TDataSet* d) { tblLanguageBeforeEdit(d); };
    tblLanguage->BeforePost = [this](TDataSet* d) { tblLanguageBeforePost(d); };
    tblLanguage2->BeforePost = [this](TDataSet* d) { tblLanguageBeforePost(d); };
    // The second copies remember their own edits too, so that an unchanged key passes there.
    tblLanguage2->BeforeEdit = [this](TDataSet* d) { tblLanguageBeforeEdit(d); };
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
    tblAVSCodes2->BeforeEdit = [this](TDataSet* d) { tblAVSCodesBeforeEdit(d); };
}

// ---- maintenance rules ----
//
// Every rule reports through ScratchText: emptied when the rule starts, set by the first check
// that fails (later checks are skipped), then shown in an error box with OK, after which the
// post or delete is cancelled by the silent abort and the row stays in edit. A rule never
// searches or walks the cursor it is posting (a key search would post its pending edit again):
// look-ups, copies and deletes in other languages go through cursors that carry no rules.

namespace {

// The messages of the rules.
namespace Msg {
constexpr const char* CodeMustBeEntered = "Code must be entered";
constexpr const char* DescriptionMustBeEntered = "Description must be entered";
constexpr const char* LanguageAssigned = "Language Code already assigned";
constexpr const char* LanguageOfMarket = "This Language Code is assigned to a Market - deletion ignored";
constexpr const char* MarketCodeMustBeEntered = "Market Code must be entered";
constexpr const char* MarketCodeAssigned = "Market Code already assigned";
constexpr const char* MarketDescriptionMustBeEntered = "Market Description must be entered";
constexpr const char* FirstLanguageMustBeEntered = "First Language Code must be entered";
constexpr const char* IntervalTypeKmOrMl = "Interval Type must be km or ml";
constexpr const char* LanguageNotOnFile[] = {"Language Code 1 not on file", "Language Code 2 not on file",
                                             "Language Code 3 not on file", "Language Code 4 not on file"};
constexpr const char* DuplicateLanguages = "Duplicate Language Codes not allowed";
constexpr const char* DeleteMarket = "Are you sure you wish to delete this market and all schedules";
constexpr const char* ModelAssigned = "Model Description already assigned";
constexpr const char* EngineDescriptionMustBeEntered = "Engine Description must be entered";
constexpr const char* EngineAssigned = "Engine Description already assigned";
constexpr const char* FuelTypeMustBeEntered = "Fuel Type must be entered";
constexpr const char* FuelTypePDCL = "Fuel Type must be P,D,C or L";
constexpr const char* CatalystBlankOrN = "Catalyst Flag must be blank or N";
constexpr const char* EngineDriveMOrA = "Drive Type must be M or A";
constexpr const char* KmMustBeEntered = "km interval must be entered";
constexpr const char* MlMustBeEntered = "ml interval must be entered";
constexpr const char* KmHigherThanMl = "km interval must be higher than ml";
constexpr const char* DuplicateInterval = "Cannot allow duplicate interval";
constexpr const char* HeadingTextMustBeEntered = "Operation Text must be entered";
constexpr const char* DuplicateHeading = "Cannot allow a duplicate Heading";
constexpr const char* ExtPerYNBlank = "Extended Period Indicator must be Y, N or blank";
constexpr const char* ForeignInsertNeedsMarket = "A Market must be selected for this foreign insertion";
constexpr const char* NonBespokeForeignDelete = "Cannot delete a non Bespoke Heading for foreign language";
constexpr const char* DriveTypeMustBeEntered = "Drive Type must be entered";
constexpr const char* AVSDriveAOrM = "Drive Type must be A or M";
constexpr const char* AVSCodeAssigned = "AVS Code already assigned";
// The engine copy error: code, language.
std::string EngineRowMissing(int code, const std::string& language) {
    return "File Error on Engine Table - Code " + IntToStr(code) + " not in " + language + " Table\r\n please call support";
}
// A new row's code cannot be taken from CODES.
constexpr const char* NoCodesRow = "The CODES table has no row - no new code can be given";
std::string CounterUnusable(const char* counter) {
    return std::string(counter) + " of the CODES table is empty or out of range - no new code can be given";
}
std::string CodeInUse(int code, const char* counter, const std::string& table) {
    return "Code " + IntToStr(code) + " of " + counter + " is already used in " + table +
           " - no new code can be given";
}
} // namespace Msg

bool Passing() {
    return ScratchText.empty();
}

/// Shows the first failed check's message and cancels the operation silently.
void ReportFailure() {
    if (ScratchText.empty()) return;
    MessageDlg(ScratchText, TMsgDlgType::mtError, {mrOk});
    Abort();
}

/// Opens a cursor that a rule walks or searches, or reads its rows afresh when it is open, so
/// that it sees what other cursors have posted.
TTable& Fresh(TTable& table) {
    if (table.Active())
        table.Refresh();
    else
        table.Open();
    return table;
}

std::string Str(TDataSet* dataSet, const char* field) {
    return dataSet->FieldByName(field)->AsString();
}

void SetUpper(TDataSet* dataSet, const char* fieldName) {
    TField* field = dataSet->FieldByName(fieldName);
    const std::string value = field->AsString();
    const std::string upper = UpperCase(value);
    if (upper != value) field->SetAsString(upper);
}

/// Assigns a field that is read-only to the user, opening it for this assignment only.
template <class Assign>
void AssignProtected(TField* field, Assign assign) {
    const bool readOnly = field->ReadOnly();
    field->SetReadOnly(false);
    try {
        assign(field);
    } catch (...) {
        field->SetReadOnly(readOnly);
        throw;
    }
    field->SetReadOnly(readOnly);
}

/// The hourglass cursor while a long rule runs.
class THourglass {
public:
    THourglass() : old_(Screen->Cursor()) { Screen->SetCursor(crHourGlass); }
    ~THourglass() { Screen->SetCursor(old_); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    TCursor old_;
};

constexpr const char* kMarketLanguages[] = {"LANG1", "LANG2", "LANG3", "LANG4"};

} // namespace

TTable& TfrmTables::Lookup(std::unique_ptr<TTable>& cursor, const char* tableName) {
    if (!cursor) {
        cursor = std::make_unique<TTable>();
        cursor->SetName(std::string("lookup ") + tableName);
        cursor->SetDatabaseName(kDatabaseAlias);
        cursor->SetTableName(tableName);
    }
    return Fresh(*cursor);
}

std::vector<std::string> TfrmTables::OtherLanguages() {
    TTable& languages = Lookup(lookupLanguage_, "LANGUAGE.DB");
    std::vector<std::string> codes;
    for (languages.First(); !languages.Eof(); languages.Next()) {
        std::string code = Str(&languages, "LANG_CODE");
        if (!code.empty() && code != "EN") codes.push_back(std::move(code));
    }
    return codes;
}

bool TfrmTables::DuplicateCheckDue(TDataSet* DataSet, const std::string& value, const std::string& value2) {
    if (DataSet->State() == dsInsert) return true;
    auto it = editMemory_.find(DataSet);
    return it == editMemory_.end() || it->second.Key != value || it->second.Key2 != value2;
}

void TfrmTables::CheckNextCode(const char* counter, TTable& table, const char* codeField) {
    if (!Passing()) return;
    TTable& codes = Fresh(*tblCodes);
    if (codes.IsEmpty()) {
        ScratchText = Msg::NoCodesRow;
        return;
    }
    TField* field = codes.FieldByName(counter);
    const int code = field->IsNull() ? 0 : field->AsInteger();
    if (code < 1 || code >= 32767) { // the counter + 1 must fit a small integer too
        ScratchText = Msg::CounterUnusable(counter);
        return;
    }
    if (Fresh(table).Locate(codeField, {code})) ScratchText = Msg::CodeInUse(code, counter, table.TableName());
}

int TfrmTables::TakeNextCode(const char* counter) {
    TTable& codes = Fresh(*tblCodes);
    codes.First();
    TField* field = codes.FieldByName(counter);
    const int code = field->AsInteger();
    codes.Edit();
    try {
        field->SetAsInteger(code + 1);
        codes.Post();
    } catch (...) {
        codes.Cancel();
        throw;
    }
    return code;
}

// ---- LANGUAGE ----

void TfrmTables::tblLanguageBeforeEdit(TDataSet* DataSet) {
    editMemory_[DataSet].Key = Str(DataSet, "LANG_CODE");
}

void TfrmTables::tblLanguageBeforePost(TDataSet* DataSet) {
    ScratchText.clear();
    SetUpper(DataSet, "LANG_CODE");
    SetUpper(DataSet, "DESCRIPTION");
    const std::string code = Str(DataSet, "LANG_CODE");
    if (code.empty()) ScratchText = Msg::CodeMustBeEntered;
    if (Passing() && Str(DataSet, "DESCRIPTION").empty()) ScratchText = Msg::DescriptionMustBeEntered;
    if (Passing() && DuplicateCheckDue(DataSet, code) && Lookup(lookupLanguage_, "LANGUAGE.DB").FindKey({code}))
        ScratchText = Msg::LanguageAssigned;
    ReportFailure();
}

void TfrmTables::tblLanguageBeforeDelete(TDataSet* DataSet) {
    ScratchText.clear();
    const std::string code = Str(DataSet, "LANG_CODE");
    TTable& markets = Fresh(*tblMarket2);
    // A language named only in LANG5 or LANG6 may go.
    for (markets.First(); !code.empty() && Passing() && !markets.Eof(); markets.Next())
        for (const char* field : kMarketLanguages)
            if (Passing() && Str(&markets, field) == code) ScratchText = Msg::LanguageOfMarket;
    ReportFailure();
}

// ---- MARKET ----

void TfrmTables::tblMarketBeforeEdit(TDataSet* DataSet) {
    editMemory_[DataSet].Key = Str(DataSet, "MARKET_CODE");
}

void TfrmTables::tblMarketBeforePost(TDataSet* DataSet) {
    ScratchText.clear();
    for (const char* field : {"MARKET_CODE", "DESCRIPTION", "LANG1", "LANG2", "LANG3", "LANG4"})
        SetUpper(DataSet, field);
    TField* intervalType = DataSet->FieldByName("INTERVAL_TYPE");
    if (const std::string type = intervalType->AsString(); LowerCase(type) != type)
        intervalType->SetAsString(LowerCase(type));

    const std::string code = Str(DataSet, "MARKET_CODE");
    if (code.empty()) ScratchText = Msg::MarketCodeMustBeEntered;
    if (Passing() && DuplicateCheckDue(DataSet, code) && Fresh(*tblMarket2).FindKey({code}))
        ScratchText = Msg::MarketCodeAssigned;
    if (Passing() && Str(DataSet, "DESCRIPTION").empty()) ScratchText = Msg::MarketDescriptionMustBeEntered;
    std::string langs[4];
    for (int i = 0; i < 4; ++i)
        langs[i] = Str(DataSet, kMarketLanguages[i]);
    if (Passing() && langs[0].empty()) ScratchText = Msg::FirstLanguageMustBeEntered;
    if (Passing() && intervalType->AsString() != "km" && intervalType->AsString() != "ml")
        ScratchText = Msg::IntervalTypeKmOrMl;
    for (int i = 0; i < 4 && Passing(); ++i)
        if (!langs[i].empty() && !Lookup(lookupLanguage_, "LANGUAGE.DB").FindKey({langs[i]}))
            ScratchText = Msg::LanguageNotOnFile[i];
    for (int i = 1; i < 4 && Passing(); ++i)
        for (int j = 0; j < 4; ++j)
            if (j != i && !langs[i].empty() && langs[i] == langs[j]) ScratchText = Msg::DuplicateLanguages;
    // LANG5 and LANG6 are stored as they are.
    ReportFailure();
}

void TfrmTables::tblMarketBeforeDelete(TDataSet*) {
    if (MessageDlg(Msg::DeleteMarket, TMsgDlgType::mtConfirmation, {mrYes, mrNo}) != mrYes) Abort();
}

// ---- MODELS ----

void TfrmTables::tblModelsBeforeEdit(TDataSet* DataSet) {
    editMemory_[DataSet].Key = Str(DataSet, "DESCRIPTION");
}

void TfrmTables::tblModelsBeforePost(TDataSet* DataSet) {
    ScratchText.clear();
    const bool inserting = DataSet->State() == dsInsert;
    SetUpper(DataSet, "DESCRIPTION");
    const std::string description = Str(DataSet, "DESCRIPTION");
    if (description.empty()) ScratchText = Msg::DescriptionMustBeEntered;
    if (Passing() && DuplicateCheckDue(DataSet, description) &&
        Fresh(*tblModels2).Locate("DESCRIPTION", {description}))
        ScratchText = Msg::ModelAssigned;
    if (inserting) CheckNextCode("NEXT_MODEL", *tblModels2, "MODEL_CODE");
    ReportFailure();
    if (inserting) {
        const int code = TakeNextCode("NEXT_MODEL");
        AssignProtected(DataSet->FieldByName("MODEL_CODE"), [code](TField* f) { f->SetAsInteger(code); });
    }
}

// ---- ENGINES ----

void TfrmTables::tblEnginesBeforeEdit(TDataSet* DataSet) {
    editMemory_[DataSet].Key = Str(DataSet, "DESCRIPTION");
}

void TfrmTables::tblEnginesBeforePost(TDataSet* DataSet) {
    ScratchText.clear();
    enginePosted_.IsNew = false;
    const bool inserting = DataSet->State() == dsInsert;
    SetUpper(DataSet, "DESCRIPTION");
    if (Language == "EN")
        for (const char* field : {"ENGINE_TYPE", "CATALYST", "DRIVETYPE"})
            SetUpper(DataSet, field);
    const std::string description = Str(DataSet, "DESCRIPTION");
    // A new engine receives the current language below.
    const std::string language = inserting ? Language : Str(DataSet, "LANG_CODE");
    if (description.empty()) ScratchText = Msg::EngineDescriptionMustBeEntered;
    if (Passing() && DuplicateCheckDue(DataSet, description)) {
        // The stored row being edited still holds its old description: it never matches itself.
        TTable& all = Fresh(*tblEngines2);
        TField* allDescription = all.FieldByName("DESCRIPTION");
        TField* allLanguage = all.FieldByName("LANG_CODE");
        for (all.First(); !all.Eof(); all.Next())
            if (allDescription->AsString() == description && allLanguage->AsString() == language) {
                ScratchText = Msg::EngineAssigned;
                break;
            }
    }
    const std::string fuelType = Str(DataSet, "ENGINE_TYPE");
    if (Passing() && fuelType.empty()) ScratchText = Msg::FuelTypeMustBeEntered;
    if (Passing() && fuelType != "P" && fuelType != "D" && fuelType != "C" && fuelType != "L")
        ScratchText = Msg::FuelTypePDCL;
    const std::string catalyst = Str(DataSet, "CATALYST");
    if (Passing() && catalyst.empty()) DataSet->FieldByName("CATALYST")->SetAsString("");
    if (Passing() && !catalyst.empty() && catalyst != "N") ScratchText = Msg::CatalystBlankOrN;
    const std::string driveType = Str(DataSet, "DRIVETYPE");
    if (Passing() && driveType != "A" && driveType != "M") ScratchText = Msg::EngineDriveMOrA;
    if (inserting) CheckNextCode("NEXT_ENGINE", *tblEngines2, "ENGINE_CODE");
    ReportFailure();

    int code = 0;
    if (inserting) {
        AssignProtected(DataSet->FieldByName("LANG_CODE"), [](TField* f) { f->SetAsString(Language); });
        code = TakeNextCode("NEXT_ENGINE");
        AssignProtected(DataSet->FieldByName("ENGINE_CODE"), [code](TField* f) { f->SetAsInteger(code); });
    } else {
        code = DataSet->FieldByName("ENGINE_CODE")->AsInteger();
    }
    enginePosted_ = TPostMemory{inserting, code, language, description, "", fuelType, catalyst, driveType};
}

void TfrmTables::tblEnginesAfterPost(TDataSet*) {
    const TPostMemory posted = enginePosted_;
    enginePosted_.IsNew = false;
    if (Language != "EN") return;
    THourglass wait;
    const std::vector<std::string> languages = OtherLanguages();
    TTable& copies = Fresh(*tblEngines2);
    const auto setShared = [&copies, &posted] {
        copies.FieldByName("ENGINE_TYPE")->SetAsString(posted.FuelType);
        copies.FieldByName("CATALYST")->SetAsString(posted.Catalyst);
        copies.FieldByName("DRIVETYPE")->SetAsString(posted.DriveType);
    };
    if (posted.IsNew) {
        for (const std::string& language : languages) {
            copies.Append();
            copies.FieldByName("LANG_CODE")->SetAsString(language);
            copies.FieldByName("ENGINE_CODE")->SetAsInteger(posted.Code);
            copies.FieldByName("DESCRIPTION")->SetAsString("*" + posted.Text);
            setShared();
            copies.Post();
            Application->ProcessMessages();
        }
    } else {
        // Every language's row is found before any is changed, so a missing one changes nothing.
        for (const std::string& language : languages)
            if (!copies.FindKey({language, posted.Code}))
                throw EDatabaseError(Msg::EngineRowMissing(posted.Code, language));
        for (const std::string& language : languages) {
            copies.FindKey({language, posted.Code});
            copies.Edit();
            setShared();
            copies.Post();
            Application->ProcessMessages();
        }
    }
    tblEngines->Close();
    tblEngines->Open();
    tblEngines2->Close();
    tblEngines2->Open();
}

// ---- INTERVAL ----

void TfrmTables::tblIntervalNewRecord(TDataSet* DataSet) {
    // The largest code is found on a cursor of its own: walking the inserting cursor would drop
    // the new row.
    if (!lookupInterval_) Lookup(lookupInterval_, "INTERVAL.DB");
    else if (!lookupInterval_->Active()) lookupInterval_->Open();
    const int code = NextCode(lookupInterval_.get(), lookupInterval_->FieldByName("INTERVAL_CODE"));
    AssignProtected(DataSet->FieldByName("INTERVAL_CODE"), [code](TField* f) { f->SetAsInteger(code); });
}

void TfrmTables::tblIntervalBeforeEdit(TDataSet* DataSet) {
    editMemory_[DataSet] = {Str(DataSet, "KMDISTANCE"), Str(DataSet, "MLDISTANCE")};
}

void TfrmTables::tblIntervalBeforePost(TDataSet* DataSet) {
    ScratchText.clear();
    const int km = DataSet->FieldByName("KMDISTANCE")->AsInteger();
    const int ml = DataSet->FieldByName("MLDISTANCE")->AsInteger();
    if (km == 0) ScratchText = Msg::KmMustBeEntered;
    if (Passing() && ml == 0) ScratchText = Msg::MlMustBeEntered;
    if (Passing() && km <= ml) ScratchText = Msg::KmHigherThanMl;
    if (Passing() && DuplicateCheckDue(DataSet, Str(DataSet, "KMDISTANCE"), Str(DataSet, "MLDISTANCE"))) {
        const int code = DataSet->FieldByName("INTERVAL_CODE")->AsInteger();
        TTable& all = Lookup(lookupInterval_, "INTERVAL.DB");
        for (all.First(); !all.Eof() && Passing(); all.Next())
            if (all.FieldByName("KMDISTANCE")->AsInteger() == km && all.FieldByName("MLDISTANCE")->AsInteger() == ml &&
                all.FieldByName("INTERVAL_CODE")->AsInteger() != code)
                ScratchText = Msg::DuplicateInterval;
    }
    ReportFailure();
}

// ---- MAINHEAD and SUBHEAD ----

void TfrmTables::HeadingBeforeEdit(TDataSet* DataSet, const THeadingRules& h) {
    editMemory_[DataSet].Key = Str(DataSet, h.TextField);
}

void TfrmTables::HeadingBeforePost(THeadingRules& h, TDataSet* DataSet) {
    ScratchText.clear();
    h.Posted.IsNew = false;
    const bool inserting = DataSet->State() == dsInsert;
    const std::string text = Str(DataSet, h.TextField);
    if (h.HasExtPer && text.empty()) ScratchText = Msg::HeadingTextMustBeEntered;
    if (Passing() && DuplicateCheckDue(DataSet, text)) {
        TTable& all = Fresh(*h.Copy);
        TField* allLanguage = all.FieldByName("LANG_CODE");
        TField* allText = all.FieldByName(h.TextField);
        for (all.First(); !all.Eof(); all.Next())
            if (allLanguage->AsString() == Language && allText->AsString() == text) {
                ScratchText = Msg::DuplicateHeading;
                break;
            }
    }
    std::string extPer;
    if (h.HasExtPer) {
        SetUpper(DataSet, "MH_EXTPER");
        extPer = Str(DataSet, "MH_EXTPER");
        if (Passing() && extPer != "Y" && extPer != "N" && !extPer.empty()) ScratchText = Msg::ExtPerYNBlank;
    }
    if (Passing() && inserting && Language != "EN" && Market.empty()) ScratchText = Msg::ForeignInsertNeedsMarket;
    if (inserting) CheckNextCode(h.Counter, *h.Copy, h.CodeField);
    ReportFailure();
    if (!inserting) return;

    AssignProtected(DataSet->FieldByName("LANG_CODE"), [](TField* f) { f->SetAsString(Language); });
    const int code = TakeNextCode(h.Counter);
    AssignProtected(DataSet->FieldByName(h.CodeField), [code](TField* f) { f->SetAsInteger(code); });
    if (Language != "EN") DataSet->FieldByName("BESPOKE")->SetAsString("Y");
    if (h.HasExtPer && extPer.empty()) {
        extPer = "N";
        DataSet->FieldByName("MH_EXTPER")->SetAsString(extPer);
    }
    h.Posted = TPostMemory{true, code, Language, text, extPer, "", "", ""};
}

void TfrmTables::HeadingAfterPost(THeadingRules& h) {
    const TPostMemory posted = h.Posted;
    h.Posted.IsNew = false;
    if (!posted.IsNew) return;
    // An English heading goes to every other language; a foreign one to the other languages
    // (LANG1-LANG4) of the current market.
    std::vector<std::string> targets = OtherLanguages();
    if (posted.Lang != "EN") {
        std::vector<std::string> marketLanguages;
        TTable& markets = Fresh(*tblMarket2);
        if (markets.FindKey({Market}))
            for (const char* field : kMarketLanguages)
                marketLanguages.push_back(Str(&markets, field));
        std::vector<std::string> chosen;
        if (Lookup(lookupLanguage_, "LANGUAGE.DB").FindKey({"EN"})) targets.insert(targets.begin(), "EN");
        for (const std::string& language : targets)
            if (language != posted.Lang &&
                std::find(marketLanguages.begin(), marketLanguages.end(), language) != marketLanguages.end())
                chosen.push_back(language);
        targets = std::move(chosen);
    }
    TTable& copies = Fresh(*h.Copy);
    for (const std::string& language : targets) {
        copies.Append();
        copies.FieldByName("LANG_CODE")->SetAsString(language);
        copies.FieldByName(h.CodeField)->SetAsInteger(posted.Code);
        if (h.HasExtPer) copies.FieldByName("MH_EXTPER")->SetAsString(posted.ExtPer);
        if (posted.Lang != "EN") copies.FieldByName("BESPOKE")->SetAsString("Y");
        copies.FieldByName(h.TextField)->SetAsString("*" + posted.Text);
        copies.Post();
    }
    h.Main->Refresh();
    if (h.View->Active()) h.View->Refresh();
}

void TfrmTables::HeadingBeforeDelete(THeadingRules& h, TDataSet* DataSet) {
    ScratchText.clear();
    h.DeletedCode.reset();
    if (Language != "EN" && Str(DataSet, "BESPOKE") != "Y") ScratchText = Msg::NonBespokeForeignDelete;
    ReportFailure();
    TField* code = DataSet->FieldByName(h.CodeField);
    if (!code->IsNull()) h.DeletedCode = code->AsInteger();
}

void TfrmTables::HeadingAfterDelete(THeadingRules& h) {
    if (!h.DeletedCode) return;
    const int code = *h.DeletedCode;
    h.DeletedCode.reset();
    TTable& copies = Fresh(*h.Copy);
    while (copies.Locate(h.CodeField, {code}))
        copies.Delete();
    // No deleted row stays on show to be edited.
    h.Main->Refresh();
    if (h.View->Active()) h.View->Refresh();
}

void TfrmTables::IndexEnglishView(THeadingRules& h) {
    TTable& view = *h.View;
    const int current = view.RecNo();
    h.ViewRowOfCode.clear();
    for (view.First(); !view.Eof(); view.Next()) {
        const int code = h.ViewCode->AsInteger();
        if (code <= 0 || code > 32767) continue;
        if (size_t(code) >= h.ViewRowOfCode.size()) h.ViewRowOfCode.resize(code + 1, 0);
        if (h.ViewRowOfCode[code] == 0) h.ViewRowOfCode[code] = view.RecNo();
    }
    if (current > 0) view.SetRecNo(current);
    h.ViewGeneration = view.RowsGeneration();
}

void TfrmTables::FollowEnglishView(THeadingRules& h) {
    // Runs on every move of the main cursor, the report's key searches included: it must cost
    // little and never raise. The view's row of each code is kept until the view's rows change.
    TTable& view = *h.View;
    if (Language == "EN" || !view.Active() || view.State() != dsBrowse || h.Main->State() == dsInsert) return;
    if (!h.MainCode && !(h.MainCode = h.Main->FindField(h.CodeField))) return;
    if (!h.ViewCode && !(h.ViewCode = view.FindField(h.CodeField))) return;
    const int code = h.MainCode->AsInteger(); // an empty code reads 0, which no heading has
    if (code <= 0) return;
    if (view.RowsGeneration() != h.ViewGeneration) IndexEnglishView(h);
    if (size_t(code) >= h.ViewRowOfCode.size() || h.ViewRowOfCode[code] == 0) return;
    const int row = h.ViewRowOfCode[code];
    if (view.RecNo() != row || view.Eof()) view.SetRecNo(row);
}

void TfrmTables::tblMainHeadBeforeEdit(TDataSet* DataSet) { HeadingBeforeEdit(DataSet, mainHeadRules_); }
void TfrmTables::tblMainHeadBeforePost(TDataSet* DataSet) { HeadingBeforePost(mainHeadRules_, DataSet); }
void TfrmTables::tblMainHeadAfterPost(TDataSet*) { HeadingAfterPost(mainHeadRules_); }
void TfrmTables::tblMainHeadBeforeDelete(TDataSet* DataSet) { HeadingBeforeDelete(mainHeadRules_, DataSet); }
void TfrmTables::tblMainHeadAfterDelete(TDataSet*) { HeadingAfterDelete(mainHeadRules_); }
void TfrmTables::tblMainHeadAfterScroll(TDataSet*) { FollowEnglishView(mainHeadRules_); }
void TfrmTables::tblSubHeadBeforeEdit(TDataSet* DataSet) { HeadingBeforeEdit(DataSet, subHeadRules_); }
void TfrmTables::tblSubHeadBeforePost(TDataSet* DataSet) { HeadingBeforePost(subHeadRules_, DataSet); }
void TfrmTables::tblSubHeadAfterPost(TDataSet*) { HeadingAfterPost(subHeadRules_); }
void TfrmTables::tblSubHeadBeforeDelete(TDataSet* DataSet) { HeadingBeforeDelete(subHeadRules_, DataSet); }
void TfrmTables::tblSubHeadAfterDelete(TDataSet*) { HeadingAfterDelete(subHeadRules_); }
void TfrmTables::tblSubHeadAfterScroll(TDataSet*) { FollowEnglishView(subHeadRules_); }

// ---- AVSCODES ----

void TfrmTables::tblAVSCodesBeforeEdit(TDataSet* DataSet) {
    editMemory_[DataSet].Key = Str(DataSet, "AVSCODE");
}

void TfrmTables::tblAVSCodesBeforePost(TDataSet* DataSet) {
    ScratchText.clear();
    SetUpper(DataSet, "AVSCODE");
    SetUpper(DataSet, "DRIVETYPE");
    const std::string code = Str(DataSet, "AVSCODE");
    const std::string driveType = Str(DataSet, "DRIVETYPE");
    if (code.empty()) ScratchText = Msg::CodeMustBeEntered;
    if (Passing() && driveType.empty()) ScratchText = Msg::DriveTypeMustBeEntered;
    if (Passing() && driveType[0] != 'A' && driveType[0] != 'M') ScratchText = Msg::AVSDriveAOrM;
    if (Passing() && DuplicateCheckDue(DataSet, code) && Lookup(lookupAVSCodes_, "AVSCODES.db").FindKey({code}))
        ScratchText = Msg::AVSCodeAssigned;
    ReportFailure();
}
