// The program body: creates the forms and the data module, reads the command line and runs one
// of the four ways of working (main menu, hand-off file, XML mode, unattended XML requests).
// It owns the request record of XML requests and its parser.
#pragma once

#include <string>
#include <vector>

/// The request being parsed (consumed field by field) and its checked fields.
extern std::string RequestLine;
extern std::string ReqModelRange, ReqInterval, ReqService, ReqPreTest, ReqEmission, ReqBrake;
extern int CommaPos, CommaCount, RecordNo;

/// Parses RequestLine: mode 'C' for a request on the command line, 'B' for a line of a request
/// file (messages then name RecordNo). Every fault of the record is listed in one error box and
/// the result is false; when valid, XMLMarket, XMLLanguage and the Req fields hold the request.
bool ParseXMLRequest(char mode);

/// The lines of a request file's text: CR LF ends a line as LF does, and a final line end makes
/// no extra empty record.
std::vector<std::string> SplitRequestLines(const std::string& text);

/// Exit codes of the program.
constexpr int kExitOk = 0;            ///< every request was written (or none was asked for)
constexpr int kExitRequestRefused = 1;  ///< a request was faulty
constexpr int kExitFileNotFound = 2;  ///< the request file could not be read
constexpr int kExitNotWritten = 3;    ///< an XML file could not be written
constexpr int kExitStartFailed = 4;   ///< the settings could not be read at start
constexpr int kExitFault = 5;         ///< a fault of the data or the system ended the run

/// Runs the program with parameters 1 to 4 (params[0] is parameter 1); returns the exit code.
int RunVetra(const std::vector<std::string>& params);
