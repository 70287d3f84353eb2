// Application state and the shared helpers of the checksheet program. The state is plain global
// data on the one user-interface thread; the helpers never raise on bad input.
#include "TolmLib.h"

#include "Buttons.h"
#include "DataSet.h"
#include "Exceptions.h"
#include "ExtCtrls.h"
#include "Files.h"
#include "SysUtils.h"
#include "Tables.h"

#include <algorithm>

std::string Market, Language, XMLMarket, XMLLanguage;
bool HandOffMode = false, XMLMode = false, BatchMode = false;
std::string OutputFolder, DocTypeId;
bool XMLEmissionFlag = false, NeedCreateParams = false;
std::string DataVersion, AsAtDate, ScratchText;

int SelModelCode = 0, ModelRange = 0, IntervalNo = 0, CurSeqNo = 0;
bool DoService = false, DoPreTest = false, DoEmissionTest = false, DoBrakeTest = false, DoVOREX = false,
     DoPaintBodyWith = false, DoPaintBodyWithout = false;
bool ContinuePrint = false;
std::array<std::string, 51> ExtPerOps;
int ExtPerCount = 0;
bool ResetExtPerChecks = false;
std::array<std::string, 6> SpecInstr;

std::string CustName, CustCompany, CustAddr1, CustAddr2, CustAddr3, CustAddr4, CustPhone, CustOtherPhone,
    CustContact;
std::string ModelText, VariantText, IntervalText;
std::string RepairNo, RegNo, RegDate, Mileage, RadioCode;

bool EmissionPending = false, BrakePending = false, SpecInstPending = false, EndBlockPending = false,
     NextServicePending = false, StructureLeft = false;
int PageBottom = 0, PendingMHCode = 0, LastMHCode = 0;

std::string LText(int number) {
    if (!frmTables) throw EDatabaseError("LANGTEXT.DB: the data module does not exist");
    TTable* texts = frmTables->tblLangText.get();
    if (!texts->FindKey({Language, number})) return "*";
    std::string text = texts->FieldByName("LTEXT")->AsString();
    return text.empty() ? "*" : text;
}

std::string ReadDataVersion() {
    TTable& version = *frmTables->tblVersion;
    if (!version.Active()) version.Open();
    version.First();
    const int month = version.IsEmpty() ? 0 : version.FieldByName("MonthNo")->AsInteger();
    std::string text = IntToStr(month);
    if (text.size() < 2) text.insert(0, 2 - text.size(), '0');
    if (month >= 1 && month <= 12) text = LText(160 + month);
    return text + " " + (version.IsEmpty() ? std::string() : IntToStr(version.FieldByName("YearNo")->AsInteger()));
}

std::string BuildDateKey(const std::string& monthYear) {
    std::string key = monthYear.size() > 3 ? monthYear.substr(3, 4) : "";
    return key + monthYear.substr(0, std::min<size_t>(2, monthYear.size()));
}

bool IsNumeric(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

// Two-digit year to its century by the pivot: below 71 the 2000s, otherwise the 1900s.
std::string CenturyOf(const std::string& yy) {
    return std::stoi(yy) < 71 ? "20" : "19";
}

int TwoDigits(const std::string& s, size_t pos) {
    return (s[pos] - '0') * 10 + (s[pos + 1] - '0');
}

bool IsLeap(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

} // namespace

bool ValidMonthYear(const std::string& input, std::string& result) {
    result = input;
    if (input.empty()) return true;
    const char sep = FormatSettings.DateSeparator;
    size_t at = result.find(sep);
    if (at != std::string::npos) result.erase(at, 1);
    if (result.size() != 4 && result.size() != 6) return false;
    if (result.size() == 6) result.erase(2, 2); // the typed century is never used
    if (!IsNumeric(result)) return false;
    result = result.substr(0, 2) + CenturyOf(result.substr(2, 2)) + result.substr(2, 2);
    ScratchText = result;
    int month = TwoDigits(result, 0);
    if (month < 1 || month > 12) return false;
    result = result.substr(0, 2) + sep + result.substr(2, 4);
    return true;
}

bool ValidDate(std::string& text) {
    if (text.empty()) {
        AsAtDate.clear();
        return true;
    }
    const char sep = FormatSettings.DateSeparator;
    if (!std::all_of(text.begin(), text.end(), [sep](char c) { return (c >= '0' && c <= '9') || c == sep; }))
        return false;
    std::string s = text;
    // Complete DD/MM/YY with the century of its two-digit year.
    const auto complete = [&](const std::string& ddmmyy) {
        std::string yy = ddmmyy.substr(6, 2);
        return ddmmyy.substr(0, 6) + (IsNumeric(yy) ? CenturyOf(yy) : "20") + yy;
    };
    if (s.size() == 6)
        s = complete(s.substr(0, 2) + sep + s.substr(2, 2) + sep + s.substr(4, 2));
    else if (s.size() == 8) {
        if (s.find(sep) != std::string::npos)
            s = complete(s);
        else
            s = s.substr(0, 2) + sep + s.substr(2, 2) + sep + s.substr(4, 4);
    }
    text = s;
    AsAtDate = s;
    if (s.size() != 10 || s[2] != sep || s[5] != sep) return false;
    const std::string digits = s.substr(0, 2) + s.substr(3, 2) + s.substr(6, 4);
    if (!IsNumeric(digits)) return false;
    const std::string century = s.substr(6, 2);
    if (century != "19" && century != "20") return false;
    const int day = TwoDigits(s, 0), month = TwoDigits(s, 3), year = std::stoi(s.substr(6, 4));
    if (month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDays[month - 1]) return false;
    if (month == 2 && day == 29 && !IsLeap(year)) return false;
    return true;
}

int NextCode(TDataSet* table, TField* codeField) {
    table->Refresh();
    table->First();
    int highest = 0;
    while (!table->Eof()) {
        int code = 0;
        if (TryStrToInt(codeField->AsString(), code)) highest = std::max(highest, code);
        table->Next();
    }
    return highest + 1;
}

bool ArtworkShown = true;

void LoadArtwork(TSpeedButton& button, const std::string& file) {
    if (!ArtworkShown) return;
    try {
        TPicture picture;
        picture.LoadFromFile(ProgramFolder() + "artwork/" + file);
        button.SetGlyph(picture.Bitmap());
    } catch (const Exception&) {
    }
}

void LoadArtwork(TImage& image, const std::string& file) {
    if (!ArtworkShown) return;
    try {
        image.Picture().LoadFromFile(ProgramFolder() + "artwork/" + file);
    } catch (const Exception&) {
    }
}

void OpenIfClosed(TTable& table) {
    if (!table.Active()) table.Open();
}

std::string StripTrailingDollars(std::string text) {
    while (!text.empty() && text.back() == '$') text.pop_back();
    return text;
}

std::string ContinuedText(const TField& first, const TField& second) {
    const std::string rest = second.AsString();
    return rest.empty() ? first.AsString() : first.AsStoredString() + rest;
}

std::string WithoutAccelerator(const std::string& caption) {
    std::string text = caption;
    if (const std::size_t amp = text.find('&'); amp != std::string::npos) text.erase(amp, 1);
    return text;
}

bool MarketWithoutTestOptions(const std::string& market) {
    static constexpr const char* kMarkets[] = {"GR", "TR", "HX", "PL", "RO", "CS", "RU", "BG", "SI", "HR", "UA"};
    return std::find(std::begin(kMarkets), std::end(kMarkets), market) != std::end(kMarkets);
}
