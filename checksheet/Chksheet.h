// The checksheet form: the vehicle, the model, variant and interval lists (items carrying hidden
// codes), the as-at date and the kinds of sheet. Its choices become the application state from
// which the report, the preview and the XML document are made.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "Buttons.h"
#include "Exceptions.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "PrintDialog.h"
#include "StdCtrls.h"
#include "Table.h"

/// Ends the program after a hand-off file failed a check; its message has been shown already.
class EHandOffHalt : public EAbort {
public:
    EHandOffHalt() : EAbort("Hand-off input refused") {}
};

/// Ends a hand-off run that has no display: the job needs a person, and its file stays.
class EHandOffWithoutDisplay : public EAbort {
public:
    EHandOffWithoutDisplay() : EAbort("The hand-off job needs a display, and none is named") {}
};

class TfrmChecksheet : public TForm {
public:
    explicit TfrmChecksheet(TComponent* AOwner);
    ~TfrmChecksheet() override;

    TImage* imNormalLogo;
    TLabel* lblAsAtDate;
    TComboBox* cmbAsAtDate;
    TLabel* lblRepNo;
    TEdit* edtRepairNo;

    TGroupBox* gbVehicle;
    TLabel* lblRegNo;
    TEdit* edtRegNo;
    TLabel* lblRegDate;
    TEdit* edtRegDate;
    TLabel* lblMMYY;
    TLabel* lblMileage;
    TEdit* edtMileage;
    TLabel* lblRadio;
    TEdit* edtRadioCode;
    TBitBtn* btnCustomer;
    TEdit* edtCustomerName;
    TPanel* pnlGerman;
    TLabel* lblGerman1;
    TLabel* lblGerman2;
    TLabel* lblGerman3;

    TGroupBox* gbService;
    TLabel* lblVinDate;
    TEdit* edtVinDate;
    TLabel* lblVineg1;
    TLabel* lblVINeg2;
    TLabel* lblVINeg3;
    TLabel* lblVINResult;
    TLabel* lblModel;
    TComboBox* cmbModels;
    TLabel* lblVariant;
    TComboBox* cmbVariants;
    TLabel* lblInterval;
    TComboBox* cmbInterval;
    TLabel* lblIntType;
    TRadioButton* rbmlkm;
    TRadioButton* rbYears;
    TLabel* lblGermanIntLegend;

    TGroupBox* gbOptions;
    TCheckBox* cbService;
    TCheckBox* cbPreTest;
    TCheckBox* cbEmissionTest;
    TCheckBox* cbBrakeTest;
    TCheckBox* cbVOREX;
    TLabel* lblVorexText2;
    TLabel* lblVorexText3;
    TCheckBox* cbPaintBodyWith;
    TCheckBox* cbPaintBodyWithout;

    TBitBtn* btnPrint;
    TBitBtn* btnView;
    TBitBtn* btnNew;
    TBitBtn* btnSpecInst;
    TBitBtn* btnExit;
    TPrintDialog PrintDialog1;
    /// The form's own MRANGES cursor in model-range order, for the hand-off input.
    TTable tblMRangesMR;
    /// A hand-off file that passed its checks ends the run with EHandOffWithoutDisplay when no
    /// display shows the form (set by the program body; scripted tests run the form headless).
    bool HandOffNeedsDisplay = false;

    // Published event handlers.
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void btnExitClick(TObject* Sender);
    void btnNewClick(TObject* Sender);
    void btnCustomerClick(TObject* Sender);
    void btnSpecInstClick(TObject* Sender);
    void btnPrintClick(TObject* Sender);
    void btnViewClick(TObject* Sender);
    void cmbModelsChange(TObject* Sender);
    void cmbVariantsChange(TObject* Sender);
    void cmbIntervalChange(TObject* Sender);
    void cbServiceClick(TObject* Sender);
    void cbPreTestClick(TObject* Sender);
    void cbPaintBodyWithClick(TObject* Sender);
    void cbPaintBodyWithoutClick(TObject* Sender);
    void rbmlkmClick(TObject* Sender);
    void rbYearsClick(TObject* Sender);
    void edtVinDateEnter(TObject* Sender);
    void edtVinDateExit(TObject* Sender);
    void edtRegDateExit(TObject* Sender);
    void edtMileageExit(TObject* Sender);
    void cmbAsAtDateDropDown(TObject* Sender);
    void cmbAsAtDateExit(TObject* Sender);

    // The form's own operations.
    void ResetChecksheetForm();
    void SetChecksheetCaptions();
    /// Opens the datasets the form reads; takes Market and Language from PARAMS.
    void OpenChecksheetData();
    void FillModelList();
    /// Mode 'U': the variants of the chosen model; mode 'M': the model ranges of the hand-off input.
    void FillVariantList(char mode);
    /// Adds the current MRANGES row to the variant list when it fits the VIN build date.
    void DescribeVariant();
    void FillIntervalList();
    void UpdateOptionState();
    void ShowVinDateError(int textNo);
    /// Reads the hand-off file when the form opens in hand-off mode (the hand-off input unit).
    void StartHandOffInput();

    // The print unit: printing, previewing and the XML requests.
    /// Copies the form's choices into the application state and sets the walk's start.
    void CollectChecksheetChoices();
    /// The form holds a model range (and, for a service sheet, an interval) to print: ModelRange
    /// and IntervalNo are set from it, and MRANGES and ENGINES stand on its rows, which the
    /// report reads. False when something is missing; nothing may be printed or previewed then.
    bool ChosenRangeReady();
    /// The interval chosen in the list is the first-interval item (no item chosen: false).
    bool FirstIntervalChosen();
    /// Prints the paint-protection page images after a checksheet, one print job a page.
    void PrintPaintProtectionPages();
    /// Prints frmTables->imPrePrint's bitmap over a whole portrait page as a job of its own.
    void PrintFullPage();
    /// Runs one XML request on this never-shown form: the model range code and interval position
    /// as decimal text, then the service, pre-test, emission and brake flags (set only by "Y").
    /// Writes the request's XML file through the preview in XML mode; false (after an error box)
    /// when the service data cannot serve the request, and then nothing is written.
    bool XMLGen(const std::string& modelRange, const std::string& interval, const std::string& service,
                const std::string& preTest, const std::string& emission, const std::string& brake);
    /// XMLGen's preparation: the request's choices become the application state, ready for the
    /// report (XMLMarket and XMLLanguage hold its ISO codes). False, after an error box, when the
    /// service data cannot serve it.
    bool PrepareRequest(const std::string& modelRange, const std::string& interval, const std::string& service,
                        const std::string& preTest, const std::string& emission, const std::string& brake);
    /// After PrepareRequest, for a sheet printed without the form shown: names the vehicle and
    /// interval as the shown form's lists would (ModelText, VariantText, IntervalText).
    static void NamePreparedRequest();

    // The hand-off input unit.
    /// Lines 1 to 3, the choice of model range and the state; the numbered error text, or "".
    std::string ReadHandOffInput(const std::vector<std::string>& lines);
    /// Lines 4 to 17 into the application state (values emptied first).
    void ReadHandOffRecord(const std::vector<std::string>& lines);
    int HandOffRangesByDriveType();
    int HandOffRangesByBuildDate();
    void AllHandOffRanges();
    /// The current tblMRangesMR row's build dates hold the hand-off build date.
    bool HandOffDateFits();
    std::string DescribeHandOffVariant();
    std::string DescribeHandOffInterval();
    void FillFormFromHandOff();

    /// Mapping rows of the hand-off request code: model range code and interval position, in
    /// index order; the drive-type and build-date filters of lines 17 and 16.
    std::vector<std::pair<int, int>> HandOffMapping;
    std::string HandOffDriveCode, HandOffBuildDate;

private:
    /// The market-dependent visibility of the German panel and legend and the distance caption.
    void ApplyMarketLayout();
    /// Enables the interval controls (with the German legend) or disables them.
    void EnableIntervalControls(bool enabled);
    /// Wraps LText(179) over the VOREX box and its two labels.
    void WrapVorexCaption(const std::string& text);
};

/// Separator between an item's visible text and its hidden code: 120 blanks and 0xB6.
extern std::string ItemSep;
/// Interval positions 1 to 21 (index 0 unused) at which some CSLINKS row of the chosen model
/// range has "Y".
extern std::array<bool, 22> IntervalFlags;
/// edtVinDate's text when the field was entered.
extern std::string VinDateOnEnter;
extern bool IsGermanMarket;
/// Model range codes the hand-off input allows, places 1 to 50 (0 = free; index 0 unused).
extern std::array<int, 51> HandOffRangeCodes;
/// The form was opened in hand-off mode (its file is deleted when the form closes).
extern bool HandOffOpen;
extern std::string HandOffFileName;

/// The hidden code of a list item: the number after its separator character (0xB6); 0 when the
/// item has none. The last separator counts, as a visible text may hold the same byte as a letter.
int ItemCode(const std::string& item);
/// The visible text of a list item (what stands before its separator run).
std::string ItemText(const std::string& item);

/// The first 17 lines of a hand-off file from a byte source (CR LF, LF and a lone CR end a line;
/// a line keeps at most its first 4,096 bytes).
std::vector<std::string> ReadHandOffLines(const std::function<std::size_t(char*, std::size_t)>& source);

