// The checksheet as an XML document: built while the report renders its pages (one element per
// heading, operation, statement and test section) and written, after its last page, to one file
// per request. Texts are widened for the document's language by the code-page table below.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "Streams.h"

namespace xmldom {
class TDomImplementation;
class TdomDocument;
class TdomElement;
class TdomText;
} // namespace xmldom

// ---- module state: one set for the program, replaced by each run ----
extern xmldom::TDomImplementation* XMLImpl; ///< implementation of the current document
extern xmldom::TdomDocument* XMLDoc;        ///< the current checksheet document
extern xmldom::TdomElement* XMLRoot;        ///< "checksheet"
extern xmldom::TdomElement* XMLMainBody;    ///< "main-body"
extern xmldom::TdomElement* XMLSection;     ///< current "section"
extern xmldom::TdomElement* XMLMainHeading; ///< its "main-heading"
extern xmldom::TdomElement* XMLOperation;   ///< current "operation"
extern xmldom::TdomElement* XMLEmission;    ///< current "emission-test"
extern xmldom::TdomText* XMLText;           ///< last text node created

/// Language code (upper case) to Windows code page. A language it does not name uses the
/// process's ANSI code page.
extern const std::map<std::string, unsigned, std::less<>> CodePageList;

/// Starts a run's document: a new implementation and document (the previous run's are freed),
/// the document type "checksheet" when DocTypeId is set, the root "checksheet" with "locale" and
/// its "main-body". Every current-element variable is cleared.
void CreateChecksheetDocument(const std::string& locale);

/// A new "section" under "main-body" with its "main-heading" text.
void AddSection(const std::string& mainHeading);

/// A new "operation" under the current section: "type" and "level" always, "parts", "labour" and
/// "optional" as "true" when not empty, then "id".
void AddOperation(const std::string& level, const std::string& type, const std::string& parts,
                  const std::string& labour, const std::string& optional, const std::string& id);

/// "sub-heading" with its text under the current operation.
void AddSubHeading(const std::string& text);

/// "statement" under the current operation; runs of two or more underscores in the text become
/// "answer" elements with their "length".
void AddStatement(bool continuation, bool alignRight, const std::string& text);

/// A new "emission-test" under the root; "catalyst" is set unless the fuel type is LText(120).
void AddEmissionTest(const std::string& oilTemp, const std::string& fuelType, const std::string& catalyst);
/// "fast-idle" with "rpm", "co", "hc", "lambda" under the current emission test.
void AddFastIdle(const std::string& rpm, const std::string& co, const std::string& hc, const std::string& lambda);
/// "idle" with "rpm", "co" and, when given, "hc" under the current emission test.
void AddIdle(const std::string& rpm, const std::string& co, const std::string& hc);
/// "non-turbo" with the smoke limit under the current emission test.
void AddNonTurbo(const std::string& limit);
/// "turbo" with the smoke limit under the current emission test.
void AddTurbo(const std::string& limit);

/// A new "brake-test" with its "weight" under the root.
void AddBrakeTest(const std::string& weight);

/// Writes the current document to its file in the output folder (the name from market, language,
/// model range, interval and the section flags, ".XML"). The file is replaced only when completely
/// written (every write, the close and the rename checked); a failure raises EFCreateError naming
/// the path and leaves no file behind.
void SaveChecksheetXml();

/// The stream an XML file is written through: it gathers the bytes in a buffer of its own
/// (positions and seeks as a memory stream has them), which is then written to the file in one go,
/// as the writer hands them over in small pieces.
class TXmlFileStream : public TStream {
public:
    /// `spare`: a former stream's buffer, whose memory is taken over (its bytes are dropped).
    explicit TXmlFileStream(std::string spare = std::string());
    int64_t Read(void*, int64_t) override { return 0; }
    /// Writes at the position, over what is there and beyond.
    int64_t Write(const void* Buffer, int64_t Count) override;
    /// Moves the position from the start, the position or the end; before the start is 0.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    /// The bytes gathered so far.
    const std::string& Bytes() const { return bytes_; }
    /// Hands the buffer over, for the next stream to reuse.
    std::string Release() { return std::move(bytes_); }

private:
    std::string bytes_;
    int64_t position_ = 0;
};

/// The path SaveChecksheetXml writes to, from the current run's state.
std::string ChecksheetXmlPath();

/// The Windows code page of a language: its CodePageList entry, else 1252.
unsigned CodePageForLanguage(const std::string& language);

/// 8-bit text widened by the code page of `language` (CodePageList), else by the ANSI code page.
std::u16string AnsiToWideForLanguage(const std::string& language, const std::string& text);

/// Frees the current document and implementation (also done by the next CreateChecksheetDocument
/// and at program end) and clears the module state.
void FreeChecksheetDocument();
