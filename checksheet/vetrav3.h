// The program body: creates the forms and the data module, reads the command line and runs one
// of the four ways of working (main menu, hand-off file, XML mode, unattended XML requests).
// It owns the request record of XML requests and its parser.
#pragma once

#include <cstddef>
#include <functional>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

/// The request being parsed (consumed field by field) and its checked fields.
extern std::string RequestLine;
extern std::string ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake;
extern int CommaPos, CommaCount, RecordNo;
/// Where the request last parsed came from, as messages name it: "Command Line parameter string"
/// or "Input record N".
extern std::string RequestPlace;

/// Parses RequestLine: mode 'C' for a request on the command line, 'B' for a line of a request
/// file (messages then name RecordNo). Every fault of the record is listed in one error box and
/// the result is false; when valid, XMLMarket, XMLLanguage and the Req fields hold the request.
bool ParseXMLRequest(char mode);

/// Reads the lines of a request file one at a time from a byte source, so that the file's size
/// never decides the memory used: CR LF, LF and a lone CR each end a line, a final line end makes
/// no extra empty record, and a UTF-8 byte-order mark at the very start is skipped. A line longer
/// than kMaxRequestLine keeps only its first kMaxRequestLine bytes (no valid record is that long,
/// and the part kept is refused as the whole would be).
class TRequestLineReader {
public:
    /// Fills up to `size` bytes of `buffer`; returns how many, 0 at the end of the data.
    using Source = std::function<std::size_t(char* buffer, std::size_t size)>;
    static constexpr std::size_t kMaxRequestLine = 64 * 1024;

    explicit TRequestLineReader(Source source);
    /// Reads the next line without its line end; false at the end of the data.
    bool ReadLine(std::string& line);

private:
    int Get();
    int Peek();

    Source FSource;
    std::vector<char> FBuffer;
    std::size_t FPos = 0, FEnd = 0;
    bool FStarted = false, FAtEnd = false;
};

/// Every line of a request file's text, read as the reader above reads them.
std::vector<std::string> SplitRequestLines(std::string_view text);

/// Opens a request file for reading. Only a regular file (or a link to one) is a request file: a
/// folder, a FIFO or a device gives -1 as a missing file does, and opening never waits.
int OpenRequestFile(const std::string& fileName);

/// Exit codes of the program.
constexpr int kExitOk = 0;            ///< every request was written (or none was asked for)
constexpr int kExitRequestRefused = 1;  ///< a request was faulty
constexpr int kExitFileNotFound = 2;  ///< the request file could not be read
constexpr int kExitNotWritten = 3;    ///< an XML file or a printed (PDF) file could not be written, or a print job was refused
constexpr int kExitStartFailed = 4;   ///< the settings or the database could not be read at start
constexpr int kExitFault = 5;         ///< a fault of the data or the system ended the run
constexpr int kExitHandOffRefused = 6;  ///< the hand-off file failed a check (and was kept)

/// Faults that reach the application's handler are shown as the default handler shows them; one
/// that is a file not written (an XML file, a printed file) is remembered, so that the run ends
/// with kExitNotWritten whatever the user did next. Starts a run's record afresh.
void WatchFileFaults();
/// True when the fault is a file that could not be written whole, or a print job the print
/// system did not take.
bool IsFileNotWritten(const std::exception& fault);
/// `result`, or kExitNotWritten when it is kExitOk and a file of this run was not written.
int WithFileFaults(int result);

/// Empty when the service data can be read (LANGTEXT, which every road reads first, opens);
/// otherwise the database's fault, with which every road ends (kExitStartFailed).
std::string ServiceDataFault();

/// Frees what a run made, in order: the last XML document, the data module, then the forms (the
/// main form holds the database alias), while the layers below still exist.
void FreeRunObjects();

/// Runs the program with parameters 1 to 4 (params[0] is parameter 1); returns the exit code.
int RunVetra(const std::vector<std::string>& params);
