// The hand-off input: another program names a small text file as parameter 1; its lines give the
// market, language, a request code (mapped to model ranges and an interval through PKXMap) and the
// job's customer and vehicle. The checksheet form reads it when shown, is filled and locked from
// it, and deletes it when it closes. A file that fails a check ends the program with its number.
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "Chksheet.h"
#include "Dialogs.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "vetrav3.h"
#include "charconv.h"

namespace {

/// Lines of the file that are read; later lines are ignored.
constexpr int kHandOffLines = 17;
/// No line of a hand-off file is near this long; a longer one keeps its head.
constexpr std::size_t kMaxHandOffLine = 4096;

/// Line `n` (1-based) of the file; "" for a line the file does not have.
std::string Line(const std::vector<std::string>& lines, int n) {
    return n <= int(lines.size()) ? lines[n - 1] : std::string();
}

/// A line's value: an empty line or a single "." holds none.
std::string Value(const std::vector<std::string>& lines, int n) {
    std::string v = Line(lines, n);
    return v == "." ? std::string() : v;
}

std::string Message(const std::string& number) { return LText(178) + " " + number; }

/// An MM/YYYY text as a month number (month + 12 x year); false when it is not one.
bool MonthNumber(const std::string& text, int& result) {
    if (text.size() != 7 || (text[2] != '/' && text[2] != FormatSettings.DateSeparator)) return false;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    int month = 0, year = 0;
    for (int i : {0, 1, 3, 4, 5, 6})
        if (!digit(text[i])) return false;
    month = (text[0] - '0') * 10 + (text[1] - '0');
    year = std::stoi(text.substr(3));
    result = month + 12 * year;
    return true;
}

}  // namespace

std::vector<std::string> ReadHandOffLines(const std::function<std::size_t(char*, std::size_t)>& source) {
    TRequestLineReader reader(source);
    std::vector<std::string> lines;
    std::string line;
    while (int(lines.size()) < kHandOffLines && reader.ReadLine(line)) {
        if (line.size() > kMaxHandOffLine) line.resize(kMaxHandOffLine);
        lines.push_back(line);
    }
    return lines;
}

void TfrmChecksheet::StartHandOffInput() {
    // HandOffFileName holds parameter 1. Only a regular file is read (never a folder or a device).
    const int fd = HandOffFileName.empty() ? -1 : OpenRequestFile(HandOffFileName);
    if (fd < 0) {
        MessageDlg(LText(178) + " 01 - " + HandOffFileName, TMsgDlgType::mtError, {mrOk});
        HandOffOpen = false;
        throw EHandOffHalt();
    }
    const std::vector<std::string> lines = ReadHandOffLines([fd](char* buffer, std::size_t size) -> std::size_t {
        for (;;) {
            const ssize_t got = ::read(fd, buffer, size);
            if (got >= 0) return std::size_t(got);
            if (errno != EINTR) throw EInOutError("I/O error " + IntToStr(errno));
        }
    });
    ::close(fd);
    OpenIfClosed(*frmTables->tblPKXMap);
    OpenIfClosed(*frmTables->tblAVSCodes);
    const std::string error = ReadHandOffInput(lines);
    if (!error.empty()) {
        MessageDlg(error, TMsgDlgType::mtError, {mrOk});
        HandOffOpen = false;  // the file stays
        throw EHandOffHalt();
    }
    FillFormFromHandOff();
}

std::string TfrmChecksheet::ReadHandOffInput(const std::vector<std::string>& lines) {
    TfrmTables& t = *frmTables;
    const std::string market = Value(lines, 1);
    if (market.empty()) return Message("02");
    OpenIfClosed(*t.tblMarket);
    if (!t.tblMarket->FindKey({market})) return Message("03");
    Market = market;
    IsGermanMarket = Market == "DX";

    const std::string language = Value(lines, 2);
    if (language.empty()) return Message("04");
    OpenIfClosed(*t.tblLanguage);
    if (!t.tblLanguage->FindKey({language})) return Message("05");
    UseLanguage(language);

    // A "." is a request code like any other here: only an empty line has none.
    const std::string code = Line(lines, 3);
    if (code.empty()) return Message("06");
    TTable& map = *t.tblPKXMap;
    OpenIfClosed(map);
    HandOffMapping.clear();
    if (map.FindKey({code})) {
        TField* pkx = map.FieldByName("PKX");
        TField* range = map.FieldByName("Model_Range_Code");
        TField* interval = map.FieldByName("Interval_No");
        for (; !map.Eof() && pkx->AsString() == code; map.Next())
            HandOffMapping.emplace_back(range->AsInteger(), interval->AsInteger());
    }
    if (HandOffMapping.empty()) return Message("07");

    ReadHandOffRecord(lines);
    OpenIfClosed(tblMRangesMR);
    // Candidates of an earlier file never carry over to this one.
    HandOffRangeCodes.fill(0);

    if (HandOffMapping.size() == 1) {
        if (!tblMRangesMR.FindKey({HandOffMapping[0].first})) return Message("08");
        ModelRange = HandOffMapping[0].first;
    } else {
        ModelRange = 0;
        if (HandOffRangesByDriveType() == 1) ModelRange = HandOffRangeCodes[1];
        else if (HandOffRangesByBuildDate() == 1) ModelRange = HandOffRangeCodes[1];
        else AllHandOffRanges();
    }
    // The interval of the chosen model range's row; with the choice left to the user, the code's
    // first row.
    IntervalNo = HandOffMapping[0].second;
    for (const auto& [range, interval] : HandOffMapping)
        if (range == ModelRange && ModelRange != 0) {
            IntervalNo = interval;
            break;
        }
    if (IntervalNo < 1 || IntervalNo > 21) return Message("09");

    cmbVariants->Items.Clear();
    lblModel->SetEnabled(false);
    OpenIfClosed(*t.tblModels);
    OpenIfClosed(*t.tblEngines);
    OpenIfClosed(*t.tblMRanges);
    if (ModelRange != 0) {
        tblMRangesMR.FindKey({ModelRange});
        // The report reads the decided model range's row (next-service distance, SIL note).
        t.tblMRanges->FindKey({ModelRange});
        ModelText = t.tblModels->FindKey({tblMRangesMR.FieldByName("MODEL_CODE")->AsInteger()})
                        ? t.tblModels->FieldByName("DESCRIPTION")->AsString()
                        : std::string();
        VariantText = DescribeHandOffVariant();
        IntervalText = DescribeHandOffInterval();
    } else {
        lblModel->SetEnabled(true);
        FillVariantList('M');
        IntervalText = DescribeHandOffInterval();
    }
    CustOtherPhone.clear();
    CustContact.clear();
    TTable& structure = *t.tblStructure;
    OpenIfClosed(structure);
    structure.First();
    CurSeqNo = structure.Eof() ? 0 : structure.FieldByName("SEQUENCE_NO")->AsInteger();

    // With the model range left to the user there is nothing to print before a variant and an
    // interval are chosen.
    btnPrint->SetEnabled(ModelRange != 0);
    btnView->SetEnabled(ModelRange != 0);
    EmissionPending = BrakePending = false;
    SpecInstPending = EndBlockPending = NextServicePending = StructureLeft = true;
    DoService = true;
    DoPreTest = DoEmissionTest = DoBrakeTest = false;
    if (IsGermanMarket) {
        cbEmissionTest->Hide();
        cbBrakeTest->Hide();
        cbPaintBodyWithout->Show();
    }
    return std::string();
}

void TfrmChecksheet::ReadHandOffRecord(const std::vector<std::string>& lines) {
    for (std::string* s : {&RepairNo, &RegDate, &RegNo, &Mileage, &RadioCode, &CustName, &CustCompany, &CustAddr1,
                           &CustAddr2, &CustAddr3, &CustAddr4, &CustPhone, &HandOffBuildDate, &HandOffDriveCode})
        s->clear();
    RepairNo = Value(lines, 4);
    // Line 5 is reserved.
    RegDate = Value(lines, 6);
    RegNo = Value(lines, 7);
    Mileage = Value(lines, 8);
    CustName = Value(lines, 9);
    CustCompany = Value(lines, 10);
    CustAddr1 = Value(lines, 11);
    CustAddr2 = Value(lines, 12);
    CustAddr3 = Value(lines, 13);
    CustAddr4 = Value(lines, 14);
    CustPhone = Value(lines, 15);
    // A build date is taken only when it is one (MM/YYYY); anything else is ignored.
    int month = 0;
    const std::string buildDate = Value(lines, 16);
    if (MonthNumber(buildDate, month)) HandOffBuildDate = buildDate;
    HandOffDriveCode = Value(lines, 17);
}

int TfrmChecksheet::HandOffRangesByDriveType() {
    if (HandOffDriveCode.empty()) return 0;
    TTable& avs = *frmTables->tblAVSCodes;
    OpenIfClosed(avs);
    if (!avs.FindKey({HandOffDriveCode})) return 0;
    const std::string driveType = avs.FieldByName("DRIVETYPE")->AsString();
    TTable& engines = *frmTables->tblEngines;
    OpenIfClosed(engines);
    HandOffRangeCodes.fill(0);
    int n = 0;
    for (const auto& entry : HandOffMapping) {
        if (n == 50) break;
        if (!tblMRangesMR.FindKey({entry.first})) continue;
        if (!engines.FindKey({Language, tblMRangesMR.FieldByName("ENGINE_CODE")->AsInteger()})) continue;
        if (engines.FieldByName("DRIVETYPE")->AsString() == driveType) HandOffRangeCodes[++n] = entry.first;
    }
    return n;
}

bool TfrmChecksheet::HandOffDateFits() {
    int built = 0;
    if (!MonthNumber(HandOffBuildDate, built)) return false;
    int from = 0, to = 99999;
    const std::string fromText = tblMRangesMR.FieldByName("BUILD_DATE_FROM")->AsString();
    const std::string toText = tblMRangesMR.FieldByName("BUILD_DATE_TO")->AsString();
    // A bound that is not a month and year counts as open.
    if (!fromText.empty() && !MonthNumber(fromText, from)) from = 0;
    if (!toText.empty() && !MonthNumber(toText, to)) to = 99999;
    return from <= built && built <= to;
}

int TfrmChecksheet::HandOffRangesByBuildDate() {
    if (HandOffBuildDate.empty()) return 0;
    if (HandOffRangeCodes[1] != 0) {
        std::array<int, 51> kept{};
        int n = 0;
        for (int i = 1; i <= 50 && HandOffRangeCodes[i] != 0; ++i)
            if (tblMRangesMR.FindKey({HandOffRangeCodes[i]}) && HandOffDateFits()) kept[++n] = HandOffRangeCodes[i];
        if (n > 0) HandOffRangeCodes = kept;
        return n;
    }
    int n = 0;
    for (const auto& entry : HandOffMapping) {
        if (n == 50) break;
        if (tblMRangesMR.FindKey({entry.first}) && HandOffDateFits()) HandOffRangeCodes[++n] = entry.first;
    }
    return n;
}

void TfrmChecksheet::AllHandOffRanges() {
    HandOffRangeCodes.fill(0);
    int n = 0;
    for (const auto& entry : HandOffMapping) {
        if (n == 50) break;
        if (tblMRangesMR.FindKey({entry.first})) HandOffRangeCodes[++n] = entry.first;
    }
}

std::string TfrmChecksheet::DescribeHandOffVariant() {
    TTable& engines = *frmTables->tblEngines;
    const int engine = tblMRangesMR.FieldByName("ENGINE_CODE")->AsInteger();
    std::string text;
    // An engine the language lacks gives no engine part: never the row the cursor stood on.
    if (engines.FindKey({Language, engine})) {
        text = StripTrailingDollars(engines.FieldByName("DESCRIPTION")->AsString());
        if (engines.FieldByName("CATALYST")->AsString() == "N") text += "  ( Non Cat )";
    }
    std::string from = tblMRangesMR.FieldByName("BUILD_DATE_FROM")->AsString();
    std::string to = tblMRangesMR.FieldByName("BUILD_DATE_TO")->AsString();
    TTable& alt = *frmTables->tblAltBDate;
    OpenIfClosed(alt);
    if (alt.FindKey({tblMRangesMR.FieldByName("MODEL_RANGE_CODE")->AsInteger(), Market})) {
        from = alt.FieldByName("DateFrom")->AsString();
        to = alt.FieldByName("DateTo")->AsString();
    }
    text += " : " + from + " - ";
    if (!to.empty()) text += to;
    return text;
}

std::string TfrmChecksheet::DescribeHandOffInterval() {
    if (IntervalNo == 1) return LText(61);
    TfrmTables& t = *frmTables;
    OpenIfClosed(*t.tblInterval);
    OpenIfClosed(*t.tblMarket);
    // With the model range still open the first candidate's interval family stands for all.
    const int range = ModelRange != 0 ? ModelRange : HandOffRangeCodes[1];
    int distance = 0;
    std::string unit;
    if (t.tblMarket->FindKey({Market})) unit = t.tblMarket->FieldByName("INTERVAL_TYPE")->AsString();
    if (tblMRangesMR.FindKey({range}) && t.tblInterval->FindKey({tblMRangesMR.FieldByName("INTERVAL_CODE")->AsInteger()}))
        distance = t.tblInterval->FieldByName(unit == "km" ? "KMDISTANCE" : "MLDISTANCE")->AsInteger();
    const int n = IntervalNo - 1;
    return IntToStr(n) + (IsGermanMarket ? ". " : " ") + LText(174) + "  (" + IntToStr(int64_t(n) * distance) + " " +
           unit + ")";
}

void TfrmChecksheet::FillFormFromHandOff() {
    edtRepairNo->SetText(RepairNo);
    edtCustomerName->SetText(CustName);
    edtRegNo->SetText(RegNo);
    edtRegDate->SetText(RegDate);
    edtMileage->SetText(Mileage);
    edtRadioCode->SetText(RadioCode);
    if (cmbVariants->Items.Count() == 0) {
        const std::pair<TComboBox*, const std::string*> lists[] = {
            {cmbModels, &ModelText}, {cmbVariants, &VariantText}, {cmbInterval, &IntervalText}};
        for (const auto& [combo, text] : lists) {
            combo->SetStyle(TComboBoxStyle::csDropDown);
            combo->SetItemIndex(-1);
            combo->SetText(*text);
        }
    }
    rbYears->SetChecked(true);
    for (TEdit* e : {edtRepairNo, edtCustomerName, edtRegNo, edtRegDate, edtMileage, edtRadioCode})
        e->SetReadOnly(true);
    lblVinDate->SetEnabled(false);
    gbService->SetEnabled(ModelRange == 0);
    if (ModelRange == 0) {
        // The user chooses among the candidates only: their variants, then an interval. A build
        // date code would replace them by every model of its date.
        edtVinDate->SetEnabled(false);
        lblVariant->SetEnabled(true);
        cmbVariants->SetEnabled(true);
    }
    gbOptions->SetEnabled(false);
    btnNew->SetEnabled(false);
}
