// The application state shared by every unit of the checksheet program, and the routines they
// all call: texts by number in the current language, the validators and normalisers of typed
// dates, the key of a build date and the next free code of a table.
#pragma once

#include <array>
#include <string>

class TDataSet;
class TField;

// ---- run and mode ----
extern std::string Market;      ///< internal two-letter market code of the run
extern std::string Language;    ///< two-letter language code of the run (key of every multilingual table)
extern std::string XMLMarket;   ///< market code in its external (ISO) form
extern std::string XMLLanguage; ///< language code in its external (ISO) form
extern bool HandOffMode;
extern bool XMLMode;
extern bool BatchMode;
extern std::string OutputFolder;
extern std::string DocTypeId;
extern bool XMLEmissionFlag;
extern bool NeedCreateParams;
extern std::string DataVersion;
extern std::string AsAtDate;    ///< DD/MM/YYYY with the system date separator
extern std::string ScratchText; ///< shared scratch text; first validation message of the data rules

// ---- choices of the checksheet ----
extern int SelModelCode;
extern int ModelRange;
extern int IntervalNo; ///< 1-based position in CSLINKS.INTERVALS
extern int CurSeqNo;
extern bool DoService, DoPreTest, DoEmissionTest, DoBrakeTest, DoVOREX, DoPaintBodyWith, DoPaintBodyWithout;
extern bool ContinuePrint;
/// Extended-period choices, entries 1 to 20 used (index 0 unused, as the arrays are 1-based).
extern std::array<std::string, 51> ExtPerOps;
extern int ExtPerCount;
extern bool ResetExtPerChecks;
/// Special instructions, lines 1 to 4 used (index 0 unused).
extern std::array<std::string, 6> SpecInstr;

// ---- customer and vehicle ----
extern std::string CustName, CustCompany, CustAddr1, CustAddr2, CustAddr3, CustAddr4, CustPhone,
    CustOtherPhone, CustContact;
extern std::string ModelText, VariantText, IntervalText;
extern std::string RepairNo, RegNo, RegDate, Mileage, RadioCode;

// ---- page walk of the report ----
extern bool EmissionPending, BrakePending, SpecInstPending, EndBlockPending, NextServicePending,
    StructureLeft;
extern int PageBottom, PendingMHCode, LastMHCode;

/// Text number `number` of the current Language from LANGTEXT; "*" when the row is missing or
/// its text empty. LANGTEXT must be open: a closed table raises EDatabaseError.
std::string LText(int number);

/// The data version of the Version table as the sheets' footers print it: the month's name in
/// the current Language (month 1-12; otherwise its number, two digits) and the year. Opens the
/// Version table when it is closed; LANGTEXT must be open.
std::string ReadDataVersion();

/// MM/YYYY to the sortable key YYYYMM: characters 4-7, then 1-2 (the third is ignored).
/// A shorter text gives what of those characters it has.
std::string BuildDateKey(const std::string& monthYear);

/// True when the text is not empty and every character is a decimal digit.
bool IsNumeric(const std::string& text);

/// Checks a typed month and year (MMYY, MMYYYY, with or without one date separator); two-digit
/// years below 71 are 20YY, others 19YY, and a typed century is ignored. On success `result` is
/// MM/YYYY (system separator); on failure it holds the text as far as it was transformed.
/// The century-completed MMYYYY text is left in ScratchText.
bool ValidMonthYear(const std::string& input, std::string& result);

/// Checks and normalises an as-at date (DDMMYY, DD/MM/YY, DDMMYYYY or DD/MM/YYYY) to DD/MM/YYYY.
/// `text` and AsAtDate receive the normalised text whether it passed or not, except when the
/// text holds a character other than digits and the separator (then both stay as they were).
bool ValidDate(std::string& text);

/// Largest integer value of `codeField` over every row of `table` (refreshed, walked from its
/// first row), plus 1; 1 for an empty table.
int NextCode(TDataSet* table, TField* codeField);

/// False in unattended runs: nothing is shown or drawn there, so the artwork is not loaded
/// (pictures stay empty). Set before the forms are made.
extern bool ArtworkShown;

class TTable;
/// Opens the table unless it is open already.
void OpenIfClosed(TTable& table);

/// `text` without its trailing "$" characters (the service data's end-of-text marker).
std::string StripTrailingDollars(std::string text);

/// The text of a field continued in a second field: the first is taken at its full width (a
/// blank that ends it separates it from the continuation); without a continuation, trimmed.
std::string ContinuedText(const TField& first, const TField& second);

/// The text without its first "&" (the accelerator mark of a caption), wherever it stands.
std::string WithoutAccelerator(const std::string& caption);

/// The eleven markets whose dealers have no emission and brake tests: the settings offer no
/// such equipment and the checksheet form shows no such boxes for them.
bool MarketWithoutTestOptions(const std::string& market);

class TComponent;
class TWinControl;
/// A new control of type T owned by `owner` (a form), named, placed on `parent` at the given
/// bounds: how the forms build their controls.
template <class T>
T* Place(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h) {
    T* c = new T(owner);
    c->Name = name;
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    return c;
}

class TImage;
/// Loads a picture of the program's artwork folder (ProgramFolder() + "artwork/") into `image`;
/// a missing or unreadable picture leaves the image empty.
void LoadArtwork(TImage& image, const std::string& file);
class TSpeedButton;
/// Loads a glyph of the artwork folder onto a speed button; a missing or unreadable glyph
/// leaves the button without one.
void LoadArtwork(TSpeedButton& button, const std::string& file);
