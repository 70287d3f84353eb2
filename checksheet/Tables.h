// The service data module: every table, second copy, English view and query of the service
// database under its component name, bound to the alias "KLV3Data". Datasets are closed until
// a unit opens them; the maintenance rules of the master tables hang on their events.
#pragma once

#include "ExtCtrls.h"
#include "Query.h"
#include "Table.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// The alias every dataset of the program names.
inline constexpr const char* kDatabaseAlias = "KLV3Data";

class TfrmTables {
public:
    TfrmTables();
    ~TfrmTables();
    TfrmTables(const TfrmTables&) = delete;
    TfrmTables& operator=(const TfrmTables&) = delete;

    // Tables (main cursor, second copy "2", English view "GB").
    std::unique_ptr<TTable> tblLanguage;    ///< LANGUAGE.DB
    std::unique_ptr<TTable> tblLanguage2;   ///< LANGUAGE.DB
    std::unique_ptr<TTable> tblMarket;      ///< MARKET.DB
    std::unique_ptr<TTable> tblMarket2;     ///< MARKET.DB
    std::unique_ptr<TTable> tblModels;      ///< MODELS.DB
    std::unique_ptr<TTable> tblModels2;     ///< MODELS.DB
    std::unique_ptr<TTable> tblEngines;     ///< ENGINES.DB
    std::unique_ptr<TTable> tblEngines2;    ///< ENGINES.DB
    std::unique_ptr<TTable> tblInterval;    ///< INTERVAL.DB
    std::unique_ptr<TTable> tblInterval2;   ///< INTERVAL.DB
    std::unique_ptr<TTable> tblMRanges;     ///< Mranges.DB
    std::unique_ptr<TTable> tblMRanges2;    ///< Mranges.DB
    std::unique_ptr<TTable> tblMainHead;    ///< MAINHEAD.DB
    std::unique_ptr<TTable> tblMainHead2;   ///< MAINHEAD.DB
    std::unique_ptr<TTable> tblGBMainHead;  ///< MAINHEAD.DB
    std::unique_ptr<TTable> tblSubHead;     ///< SUBHEAD.DB
    std::unique_ptr<TTable> tblSubHead2;    ///< SUBHEAD.DB
    std::unique_ptr<TTable> tblGBSubHead;   ///< SUBHEAD.DB
    std::unique_ptr<TTable> tblServOps;     ///< SERVOPS.DB
    std::unique_ptr<TTable> tblServOps2;    ///< SERVOPS.DB
    std::unique_ptr<TTable> tblGBServOps;   ///< SERVOPS.DB
    std::unique_ptr<TTable> tblLangText;    ///< LANGTEXT.DB
    std::unique_ptr<TTable> tblCodes;       ///< CODES.DB
    std::unique_ptr<TTable> tblStructure;   ///< Csstruct.DB
    std::unique_ptr<TTable> tblStructure2;  ///< Csstruct.DB
    std::unique_ptr<TTable> tblGBStructure; ///< Csstruct.DB
    std::unique_ptr<TTable> tblCSLinks;     ///< CSLINKS.DB
    std::unique_ptr<TTable> tblParams;      ///< PARAMS.DB
    std::unique_ptr<TTable> tblVINDates;    ///< VINDATES.DB
    std::unique_ptr<TTable> tblVersion;     ///< Version.db
    std::unique_ptr<TTable> tblErrMess;     ///< ErrMess.db
    std::unique_ptr<TTable> tblAltBDate;    ///< AltBDate.db
    std::unique_ptr<TTable> tblPKXMap;      ///< PKXMap.DB
    std::unique_ptr<TTable> tblPDIOps;      ///< PDIOps.db
    std::unique_ptr<TTable> tblPDIOps2;     ///< PDIOps.db
    std::unique_ptr<TTable> tblGBPDIOps;    ///< PDIOps.db
    std::unique_ptr<TTable> tblPDIStruct;   ///< pdstruct.DB
    std::unique_ptr<TTable> tblPDILinks;    ///< PDILinks.db
    std::unique_ptr<TTable> tblSACOps;      ///< SACOps.db
    std::unique_ptr<TTable> tblSACOps2;     ///< SACOps.db
    std::unique_ptr<TTable> tblGBSACOps;    ///< SACOps.db
    std::unique_ptr<TTable> tblSACStruct;   ///< SAStruct.db
    std::unique_ptr<TTable> tblSACLinks;    ///< SACLinks.db
    std::unique_ptr<TTable> tblAVSCodes;    ///< AVSCODES.db
    std::unique_ptr<TTable> tblAVSCodes2;   ///< AVSCODES.db
    std::unique_ptr<TTable> tblXMLConv;     ///< XMLConv.db

    // Queries.
    std::unique_ptr<TQuery> qryMRanges;
    std::unique_ptr<TQuery> qryMarkets;
    std::unique_ptr<TQuery> qryDistinctOil;
    std::unique_ptr<TQuery> qryDistinctRPM;
    std::unique_ptr<TQuery> qryDistinctCO;
    std::unique_ptr<TQuery> qryDistinctHC;
    std::unique_ptr<TQuery> qryDistinctLambda;
    std::unique_ptr<TQuery> qryDistinctWeight;
    std::unique_ptr<TQuery> qryDistinct_FastRPM;
    std::unique_ptr<TQuery> qryDistinct_fastCO;
    std::unique_ptr<TQuery> qryDistinctNTSmoke;
    std::unique_ptr<TQuery> qryDistinctTSmoke;

    // Pictures printed on the sheets, painted into the program's artwork folder by the build.
    // imPrePrint starts empty: page images are loaded into it before they are printed.
    std::unique_ptr<TImage> imMakerLogo;   ///< the maker's logo (stretched)
    std::unique_ptr<TImage> imTick;        ///< a tick mark
    std::unique_ptr<TImage> imCTLogo;      ///< the second logo (stretched)
    std::unique_ptr<TImage> imInverseLogo; ///< the logo in inverse colours (stretched)
    std::unique_ptr<TImage> imPrePrint;    ///< pre-printed and training pages

    // Maintenance rules of the master tables, bound to the dataset events.
    void tblLanguageBeforeEdit(TDataSet* DataSet);
    void tblLanguageBeforePost(TDataSet* DataSet);
    void tblLanguageBeforeDelete(TDataSet* DataSet);
    void tblMarketBeforeEdit(TDataSet* DataSet);
    void tblMarketBeforePost(TDataSet* DataSet);
    void tblMarketBeforeDelete(TDataSet* DataSet);
    void tblModelsBeforeEdit(TDataSet* DataSet);
    void tblModelsBeforePost(TDataSet* DataSet);
    void tblEnginesBeforeEdit(TDataSet* DataSet);
    void tblEnginesBeforePost(TDataSet* DataSet);
    void tblEnginesAfterPost(TDataSet* DataSet);
    void tblIntervalNewRecord(TDataSet* DataSet);
    void tblIntervalBeforeEdit(TDataSet* DataSet);
    void tblIntervalBeforePost(TDataSet* DataSet);
    void tblMainHeadBeforeEdit(TDataSet* DataSet);
    void tblMainHeadBeforePost(TDataSet* DataSet);
    void tblMainHeadAfterPost(TDataSet* DataSet);
    void tblMainHeadBeforeDelete(TDataSet* DataSet);
    void tblMainHeadAfterDelete(TDataSet* DataSet);
    void tblMainHeadAfterScroll(TDataSet* DataSet);
    void tblSubHeadBeforeEdit(TDataSet* DataSet);
    void tblSubHeadBeforePost(TDataSet* DataSet);
    void tblSubHeadAfterPost(TDataSet* DataSet);
    void tblSubHeadBeforeDelete(TDataSet* DataSet);
    void tblSubHeadAfterDelete(TDataSet* DataSet);
    void tblSubHeadAfterScroll(TDataSet* DataSet);
    void tblAVSCodesBeforeEdit(TDataSet* DataSet);
    void tblAVSCodesBeforePost(TDataSet* DataSet);

private:
    void BindEvents();
    void CreatePictures();

    /// What a cursor's BeforeEdit handler remembered of its row: the key or text as it was
    /// before editing (the interval's km in Key, its ml in Key2).
    struct TEditMemory {
        std::string Key;
        std::string Key2;
    };
    /// A posted row's values for the after-post copies; IsNew is set only by a BeforePost that
    /// let a new row through, and cleared by every BeforePost and by the after-post handler.
    struct TPostMemory {
        bool IsNew = false;
        int Code = 0;
        std::string Lang;
        std::string Text;     ///< engine description, heading text
        std::string ExtPer;   ///< main heading's extended-period flag
        std::string FuelType, Catalyst, DriveType; ///< engine columns shared by every language
    };
    /// One heading table with its cursors and field names: main headings and sub-headings follow
    /// the same rules.
    struct THeadingRules {
        TTable* Main = nullptr;
        TTable* Copy = nullptr; ///< carries no rules: the duplicate walk, the copies and the deletes use it
        TTable* View = nullptr; ///< English view beside a translation
        const char* CodeField = "";
        const char* TextField = "";
        const char* Counter = ""; ///< CODES field of the next free code
        bool HasExtPer = false;   ///< main headings only: the extended-period flag and the empty-text check
        TPostMemory Posted;
        std::optional<int> DeletedCode; ///< code of the row being deleted, for the delete in every language
        // The English view's row number of each code (0: none), valid while the view's rows
        // keep ViewGeneration; and the code fields, found once.
        std::vector<int> ViewRowOfCode;
        uint64_t ViewGeneration = 0;
        TField* MainCode = nullptr;
        TField* ViewCode = nullptr;
    };

    static void SetHeadingRules(THeadingRules& h, TTable* main, TTable* copy, TTable* view, const char* codeField,
                                const char* textField, const char* counter, bool hasExtPer);
    void HeadingBeforeEdit(TDataSet* DataSet, const THeadingRules& h);
    void HeadingBeforePost(THeadingRules& h, TDataSet* DataSet);
    void HeadingAfterPost(THeadingRules& h);
    void HeadingBeforeDelete(THeadingRules& h, TDataSet* DataSet);
    void HeadingAfterDelete(THeadingRules& h);
    void FollowEnglishView(THeadingRules& h);
    void IndexEnglishView(THeadingRules& h);

    /// True when the duplicate check of `value` is due: the row is new, or its value differs
    /// from what the cursor's BeforeEdit remembered.
    bool DuplicateCheckDue(TDataSet* DataSet, const std::string& value, const std::string& value2 = "");
    /// The check of a new row's code, run as the last check: ScratchText gets a message when
    /// CODES has no row, the counter is empty or at its limit, or `table` already uses the
    /// counter's code in `codeField` (in any language).
    void CheckNextCode(const char* counter, TTable& table, const char* codeField);
    /// The counter's value, with the counter + 1 posted at once.
    int TakeNextCode(const char* counter);
    /// Cursor on LANGUAGE, INTERVAL or AVSCODES that carries no rules (their second copies do),
    /// opened and read afresh.
    TTable& Lookup(std::unique_ptr<TTable>& cursor, const char* tableName);
    /// The codes of every language on file but "EN", in code order.
    std::vector<std::string> OtherLanguages();

    std::map<const TDataSet*, TEditMemory> editMemory_; ///< per cursor
    TPostMemory enginePosted_;
    THeadingRules mainHeadRules_;
    THeadingRules subHeadRules_;
    std::unique_ptr<TTable> lookupLanguage_, lookupInterval_, lookupAVSCodes_;
};

/// The one data module of the run (created at start-up, freed at exit).
extern TfrmTables* frmTables;
