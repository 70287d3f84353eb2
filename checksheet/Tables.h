// The service data module: every table, second copy, English view and query of the service
// database under its component name, bound to the alias "KLV3Data". Datasets are closed until
// a unit opens them; the maintenance rules of the master tables hang on their events.
#pragma once

#include "ExtCtrls.h"
#include "Query.h"
#include "Table.h"

#include <memory>

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
};

/// The one data module of the run (created at start-up, freed at exit).
extern TfrmTables* frmTables;
