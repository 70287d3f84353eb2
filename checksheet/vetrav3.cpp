// The program body: creates the forms and the data module, reads the command line and runs the
// main menu, the checksheet form, or the XML requests of the command line or of a request file.
#include "vetrav3.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>

#include "Canvas.h"
#include "Chksheet.h"
#include "CsReport.h"
#include "Dialogs.h"
#include "ExtPer.h"
#include "FirstIns.h"
#include "ImageReaders.h"
#include "Forms.h"
#include "Printers.h"
#include "SpecInst.h"
#include "SysUtils.h"
#include "Tables.h"
#include "TolmLib.h"
#include "vetramain.h"
#include "XMLGen.h"

std::string RequestLine;
std::string ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake;
int CommaPos = 0, CommaCount = 0, RecordNo = 0;
std::string RequestPlace;

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

/// The never-shown checksheet form that runs the requests of this run.
TfrmChecksheet* frmChecksheetBatch = nullptr;

/// Runs the parsed request; false when it was refused or its file could not be written (the
/// exit code is raised accordingly).
bool RunRequest(int& result) {
    try {
        if (frmChecksheetBatch->XMLGen(ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake))
            return true;
        if (result == kExitOk) result = kExitRequestRefused;
    } catch (const EFCreateError& e) {
        // The next request may well be written: the fault is reported and the run goes on.
        MessageDlg(e.Message, TMsgDlgType::mtError, {mrOk});
        result = kExitNotWritten;
    }
    return false;
}

int RunCommandLineRequest(const std::string& request, const std::string& outputFolder) {
    RequestLine = request;
    if (!ParseXMLRequest('C')) return kExitRequestRefused;
    if (!outputFolder.empty()) {
        OutputFolder = outputFolder;
        if (OutputFolder.back() != '/') OutputFolder += '/';
    }
    int result = kExitOk;
    RunRequest(result);
    return result;
}

int RunRequestFile(const std::string& fileName) {
    OutputFolder = fileName;
    const int fd = OpenRequestFile(fileName);
    if (fd < 0) {
        MessageDlg("XML Batch File " + fileName + " - not found", TMsgDlgType::mtError, {mrOk});
        return kExitFileNotFound;
    }
    struct Closer {
        int Fd;
        ~Closer() { ::close(Fd); }
    } closer{fd};
    TRequestLineReader reader([fd](char* buffer, std::size_t size) -> std::size_t {
        for (;;) {
            const ssize_t got = ::read(fd, buffer, size);
            if (got >= 0) return std::size_t(got);
            if (errno != EINTR) return 0;  // a read fault ends the file like its end
        }
    });
    int result = kExitOk;
    RecordNo = 0;
    std::string line;
    while (reader.ReadLine(line)) {
        RequestLine = line;
        ++RecordNo;
        if (!ParseXMLRequest('B')) {
            if (result == kExitOk) result = kExitRequestRefused;
            continue;
        }
        RunRequest(result);
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
        if (HandOffMode) HandOffFileName = params[0];
        auto form = std::make_unique<TfrmChecksheet>(nullptr);
        form->HandOffNeedsDisplay = HandOffMode;
        try {
            form->ShowModal();
        } catch (const EHandOffHalt&) {
            return kExitHandOffRefused;
        } catch (const EHandOffWithoutDisplay& e) {
            std::cerr << e.Message << " - " << HandOffFileName << " kept\n";
            return kExitStartFailed;
        }
        return WithFileFaults(kExitOk);
    }
    BatchMode = true;
    // One never-shown form serves every request of the run; it goes whatever ends the run.
    auto batchForm = std::make_unique<TfrmChecksheet>(nullptr);
    frmChecksheetBatch = batchForm.get();
    struct Forget {
        ~Forget() { frmChecksheetBatch = nullptr; }
    } forget;
    if (request.find(',') != std::string::npos)
        return RunCommandLineRequest(request, params.size() > 2 ? params[2] : std::string());
    return RunRequestFile(request);
}

}  // namespace

namespace {
/// A file of this run could not be written (see WatchFileFaults).
bool gFileNotWritten = false;
}  // namespace

bool IsFileNotWritten(const std::exception& fault) {
    return dynamic_cast<const EPrintFileNotWritten*>(&fault) || dynamic_cast<const EFCreateError*>(&fault) ||
           dynamic_cast<const EPrintJobRefused*>(&fault);
}

void WatchFileFaults() {
    gFileNotWritten = false;
    Application->OnException = [](const std::exception& fault) {
        if (IsFileNotWritten(fault)) gFileNotWritten = true;
        MessageDlg(fault.what(), TMsgDlgType::mtError, {mrOk});
    };
}

int WithFileFaults(int result) { return result == kExitOk && gFileNotWritten ? kExitNotWritten : result; }

std::string ServiceDataFault() {
    try {
        OpenIfClosed(*frmTables->tblLangText);
        return std::string();
    } catch (const EDatabaseError& e) {
        return e.Message;
    }
}

bool ParseXMLRequest(char mode) {
    RequestPlace = mode == 'C' ? std::string("Command Line parameter string") : "Input record " + IntToStr(RecordNo);
    const std::string suffix = RequestPlace + "\r\n";
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

TRequestLineReader::TRequestLineReader(Source source) : FSource(std::move(source)), FBuffer(64 * 1024) {}

int TRequestLineReader::Peek() {
    if (FPos == FEnd) {
        if (FAtEnd) return -1;
        FPos = 0;
        FEnd = FSource(FBuffer.data(), FBuffer.size());
        if (FEnd == 0) {
            FAtEnd = true;
            return -1;
        }
    }
    return static_cast<unsigned char>(FBuffer[FPos]);
}

int TRequestLineReader::Get() {
    const int c = Peek();
    if (c >= 0) ++FPos;
    return c;
}

bool TRequestLineReader::ReadLine(std::string& line) {
    line.clear();
    if (!FStarted) {
        FStarted = true;
        // A byte-order mark is skipped only when all three of its bytes are there.
        static const unsigned char kBom[3] = {0xEF, 0xBB, 0xBF};
        std::size_t matched = 0;
        while (matched < 3 && Peek() == kBom[matched]) {
            Get();
            ++matched;
        }
        if (matched < 3) line.assign(reinterpret_cast<const char*>(kBom), matched);
    }
    int c = Get();
    if (c < 0 && line.empty()) return false;
    while (c >= 0 && c != '\n' && c != '\r') {
        if (line.size() < kMaxRequestLine) line.push_back(char(c));
        c = Get();
    }
    if (c == '\r' && Peek() == '\n') Get();
    return true;
}

std::vector<std::string> SplitRequestLines(std::string_view text) {
    TRequestLineReader reader([&text](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, text.size());
        std::memcpy(buffer, text.data(), n);
        text.remove_prefix(n);
        return n;
    });
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line)) lines.push_back(line);
    return lines;
}

int OpenRequestFile(const std::string& fileName) {
    // Not blocking, so that a FIFO without a writer does not hold the run; the kind of file is
    // then judged on what was opened.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

void FreeRunObjects() {
    // The last request's XML document goes with the run, while the document library's own
    // statics still exist (freeing it at process exit would outlive them).
    FreeChecksheetDocument();
    delete modReporting;
    modReporting = nullptr;
    delete frmTables;
    frmTables = nullptr;
    Application->FreeForms();
    frmMain = nullptr;
    frmFirstInstall = nullptr;
    frmSpecInst = nullptr;
    frmExtPer = nullptr;
    ArtworkShown = true;
}

int RunVetra(const std::vector<std::string>& params) {
    // At the end of the run the data module goes first, then the forms (the main form holds the
    // database alias), while the layers below still exist.
    struct RunEnd {
        ~RunEnd() {
            FreeRunObjects();
            Application->OnException = nullptr;
        }
    } runEnd;
    WatchFileFaults();
    // The image readers join the picture formats before any page image is loaded; they stay
    // registered for the life of the process.
    RegisterImageReaders();
    // Requests run unattended: they never need a display, whatever the environment names. The
    // menu and the forms need one when one is named, and a display that does not answer ends
    // the run with one line.
    const bool unattended = params.size() > 1 && !params[0].empty() && !params[1].empty();
    try {
        if (unattended) {
            Application->InitializeHeadless();
            // Nothing but the report's own faces is measured: the system's font configuration
            // need not be read.
            LimitFontSearch({"Arial"});
            // Memory freed by one request serves the next: none goes back to the system to be
            // faulted in again, and no buffer is mapped and unmapped per request.
            mallopt(M_TRIM_THRESHOLD, 256 << 20);
            mallopt(M_MMAP_THRESHOLD, 32 << 20);
            // Pages are laid out but not drawn, and no form is seen.
            ArtworkShown = false;
            // Nothing is printed: the PDF printer alone gives the page metrics, and the toolkit's
            // print support is not loaded.
            OfferSystemPrinters(false);
        } else {
            Application->Initialize();
        }
    } catch (const EDisplayUnavailable& e) {
        std::cerr << e.Message << "\n";
        return kExitStartFailed;
    }
    Application->CreateForm(frmMain);
    frmTables = new TfrmTables();
    Application->CreateForm(frmFirstInstall);
    Application->CreateForm(frmSpecInst);
    Application->CreateForm(frmExtPer);
    modReporting = new TmodReporting(nullptr);
    BatchMode = false;
    OutputFolder.clear();
    DocTypeId.clear();
    if (params.size() > 3 && !params[3].empty()) DocTypeId = params[3];
    if (params.empty() || params[0].empty()) {
        Application->Run();
        return WithFileFaults(frmMain->ExitCode());
    }
    // A missing or unreadable database ends every road as it ends the menu's start-up.
    if (const std::string fault = ServiceDataFault(); !fault.empty()) {
        MessageDlg(fault, TMsgDlgType::mtError, {mrOk});
        return kExitStartFailed;
    }
    try {
        return WithFileFaults(RunChecksheet(params));
    } catch (const std::exception& e) {
        // Without a user to go on, a fault shows its message and ends the program.
        Application->HandleException(e);
        return IsFileNotWritten(e) ? kExitNotWritten : kExitFault;
    }
}
