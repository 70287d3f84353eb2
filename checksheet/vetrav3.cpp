// The program body: creates the forms and the data module, reads the command line and runs the
// main menu, the checksheet form, or the XML requests of the command line or of a request file.
#include "vetrav3.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "Dialogs.h"
#include "FirstIns.h"
#include "Forms.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "vetramain.h"

std::string RequestLine;
std::string ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake;
int CommaPos = 0, CommaCount = 0, RecordNo = 0;

namespace {

// --- request parsing --------------------------------------------------------------------------

/// Messages of one Y/N indicator field.
struct IndicatorTexts {
    const char* Missing;
    const char* TooLong;
    const char* NotYN;
};

constexpr IndicatorTexts kIndicatorTexts[4] = {
    {"Missing Service indicator (Y/N) in ", "Service indicator (Y/N) too long in ",
     "Service indicator must be Y or N in "},
    {"Missing PreTest indicator (Y/N) in ", "PreTest indicator (Y/N) too long in ",
     "PreTest indicator must be Y or N in "},
    {"Missing Emission Test indicator (Y/N) in ", "Emission Test indicator (Y/N) too long in ",
     "Emission Test indicator must be Y or N in "},
    {"Missing Brake Test indicator (Y/N) in ", "Brake Test indicator (Y/N) too long in ",
     "Brake Test indicator must be Y or N in "},
};

/// Cuts the next comma-ended field off the front of RequestLine; CommaPos is the comma's
/// 1-based position (so a field is empty when CommaPos < 2).
std::string CutField() {
    const std::size_t at = RequestLine.find(',');
    CommaPos = static_cast<int>(at) + 1;
    std::string field = RequestLine.substr(0, at);
    RequestLine.erase(0, at + 1);
    return field;
}

/// Checks one indicator of `length` characters; stores it upper-cased when it is Y or N.
void CheckIndicator(const std::string& field, const IndicatorTexts& texts, const std::string& suffix,
                    std::string& errors, std::string& stored) {
    if (field.empty()) {
        errors += texts.Missing + suffix;
    } else if (field.size() > 1) {
        errors += texts.TooLong + suffix;
    } else {
        const std::string c = UpperCase(field);
        if (c == "Y" || c == "N") stored = c;
        else errors += texts.NotYN + suffix;
    }
}

void CheckModelRange(const std::string& field, const std::string& suffix, std::string& errors) {
    if (field.empty()) {
        errors += "Missing Model Range in " + suffix;
        return;
    }
    int value = 0;
    if (!TryStrToInt(field, value)) errors += "Model Range code not numeric in " + suffix;
    else ReqModelRange = IntToStr(value);
}

void CheckInterval(const std::string& field, const std::string& suffix, std::string& errors) {
    if (field.empty()) {
        errors += "Missing Interval number in " + suffix;
        return;
    }
    int value = 0;
    if (!TryStrToInt(field, value)) {
        errors += "Interval number not numeric in " + suffix;
        return;
    }
    if (value < 0 || value > 20) errors += "Interval number not in range 0-20 in " + suffix;
    else ReqInterval = IntToStr(value + 1);
}

// --- the ways of running ----------------------------------------------------------------------

/// The checksheet form's XML generation for one request. The checksheet form arrives with a
/// later unit; until then the request is reported on standard output and not written.
bool XMLGen(const std::string& modelRange, const std::string& interval, const std::string& service,
            const std::string& preTest, const std::string& emission, const std::string& brake) {
    std::cout << "XML request " << XMLMarket << " " << XMLLanguage << ": model range " << modelRange
              << ", interval " << interval << ", service " << service << ", pre-test " << preTest
              << ", emission test " << emission << ", brake test " << brake << ", output folder \""
              << OutputFolder << "\" (XML output is not built yet; nothing written)\n";
    return true;
}

bool RunRequest() {
    return XMLGen(ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake);
}

int RunCommandLineRequest(const std::string& request, const std::string& outputFolder) {
    RequestLine = request;
    if (!ParseXMLRequest('C')) return kExitRequestRefused;
    if (!outputFolder.empty()) {
        OutputFolder = outputFolder;
        if (OutputFolder.back() != '/') OutputFolder += '/';
    }
    return RunRequest() ? kExitOk : kExitNotWritten;
}

int RunRequestFile(const std::string& fileName) {
    OutputFolder = fileName;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        MessageDlg("XML Batch File " + fileName + " - not found", TMsgDlgType::mtError, {mrOk});
        return kExitFileNotFound;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int result = kExitOk;
    RecordNo = 0;
    for (const std::string& line : SplitRequestLines(text)) {
        RequestLine = line;
        ++RecordNo;
        if (!ParseXMLRequest('B')) {
            if (result == kExitOk) result = kExitRequestRefused;
            continue;
        }
        if (!RunRequest()) result = kExitNotWritten;
    }
    return result;
}

/// Parameter 1 given: the checksheet form works alone, modally or for the requests.
int RunChecksheet(const std::vector<std::string>& params) {
    const std::string mode = UpperCase(params[0]);
    HandOffMode = mode != "X";
    XMLMode = mode == "X";
    const std::string request = params.size() > 1 ? params[1] : std::string();
    if (request.empty()) {
        std::cerr << "The checksheet form is not part of this build yet.\n";
        return kExitOk;
    }
    BatchMode = true;
    if (request.find(',') != std::string::npos)
        return RunCommandLineRequest(request, params.size() > 2 ? params[2] : std::string());
    return RunRequestFile(request);
}

}  // namespace

bool ParseXMLRequest(char mode) {
    const std::string suffix =
        mode == 'C' ? std::string("Command Line parameter string\r\n") : "Input record " + IntToStr(RecordNo) + "\r\n";
    std::string errors;
    CommaCount = 0;
    for (char c : RequestLine)
        if (c == ',') ++CommaCount;
    if (CommaCount != 7) {
        errors = "Wrong number of comma delimiters (expected = 7) in " + suffix;
    } else {
        std::string field = CutField();
        if (field.empty()) errors += "Missing Market Code in " + suffix;
        else XMLMarket = field;
        field = CutField();
        if (field.empty()) errors += "Missing Language Code in " + suffix;
        else XMLLanguage = field;
        CheckModelRange(CutField(), suffix, errors);
        CheckInterval(CutField(), suffix, errors);
        std::string* stored[4] = {&ReqService, &ReqPreTest, &ReqEmission, &ReqBrake};
        for (int i = 0; i < 3; ++i) CheckIndicator(CutField(), kIndicatorTexts[i], suffix, errors, *stored[i]);
        CheckIndicator(RequestLine, kIndicatorTexts[3], suffix, errors, ReqBrake);
        if (errors.empty() && ReqService == "N" && ReqPreTest == "N" && ReqEmission == "N" && ReqBrake == "N")
            errors = "At least 1 checksheet request must be set to Y - see " + suffix;
    }
    if (errors.empty()) return true;
    MessageDlg(errors, TMsgDlgType::mtError, {mrOk});
    return false;
}

std::vector<std::string> SplitRequestLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

int RunVetra(const std::vector<std::string>& params) {
    // At the end of the run the data module goes first, then the forms (the main form holds the
    // database alias), while the layers below still exist.
    struct RunEnd {
        ~RunEnd() {
            delete frmTables;
            frmTables = nullptr;
            Application->FreeForms();
            frmMain = nullptr;
            frmFirstInstall = nullptr;
        }
    } runEnd;
    // Requests run unattended: they never need a display, whatever the environment names. The
    // menu and the forms need one when one is named, and a display that does not answer ends
    // the run with one line.
    const bool unattended = params.size() > 1 && !params[0].empty() && !params[1].empty();
    try {
        if (unattended) Application->InitializeHeadless();
        else Application->Initialize();
    } catch (const EDisplayUnavailable& e) {
        std::cerr << e.Message << "\n";
        return kExitStartFailed;
    }
    Application->CreateForm(frmMain);
    frmTables = new TfrmTables();
    Application->CreateForm(frmFirstInstall);
    BatchMode = false;
    OutputFolder.clear();
    DocTypeId.clear();
    if (params.size() > 3 && !params[3].empty()) DocTypeId = params[3];
    if (params.empty() || params[0].empty()) {
        Application->Run();
        return frmMain->ExitCode();
    }
    try {
        return RunChecksheet(params);
    } catch (const std::exception& e) {
        // Without a user to go on, a fault shows its message and ends the program.
        Application->HandleException(e);
        return kExitFault;
    }
}
