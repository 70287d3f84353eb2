// Error records of the XML document library: TdomError describes one problem found in a
// document, a DTD, a tree or a schema model (kind, place, clue, language) and tells it as a
// message in one of seven languages; TdomLocator is the place, TdomInputSourceLocator the
// locator an input source moves along as it delivers characters.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>

#include "XmlErrorKinds.h"
#include "XmlSupport.h"

namespace xmldom {

class TdomNode;

/// A language: the ordinal of its ISO 639 two-letter code in alphabetical order (136 codes).
using TIso639Code = uint8_t;
inline constexpr TIso639Code iso639_de = 21; ///< German
inline constexpr TIso639Code iso639_en = 24; ///< English
inline constexpr TIso639Code iso639_es = 26; ///< Spanish
inline constexpr TIso639Code iso639_fr = 33; ///< French
inline constexpr TIso639Code iso639_it = 50; ///< Italian
inline constexpr TIso639Code iso639_nl = 81; ///< Dutch
inline constexpr TIso639Code iso639_pt = 89; ///< Portuguese
inline constexpr int kIso639CodeCount = 136;

enum TdomSeverity : uint8_t {
    DOM_SEVERITY_WARNING = 0,
    DOM_SEVERITY_ERROR = 1,
    DOM_SEVERITY_FATAL_ERROR = 2
};

/// Where a problem lies. Unknown positions and offsets are -1, unknown objects null, an
/// unknown URI empty. The related objects are not owned.
class TdomLocator : public TObject {
public:
    TdomLocator(int32_t StartLine, int32_t StartColumn, int32_t EndLine, int32_t EndColumn,
                int32_t ByteOffset, WideString Uri, TdomNode* RelatedNode, TObject* RelatedCMObject,
                TObject* RelatedASModel);

    virtual int32_t getEndColumn() const { return endColumn_; }
    virtual int32_t getEndLine() const { return endLine_; }
    virtual int32_t getByteOffset() const { return byteOffset_; }
    virtual TdomNode* getRelatedNode() const { return relatedNode_; }
    virtual TObject* getRelatedCMObject() const { return relatedCMObject_; }
    virtual TObject* getRelatedASModel() const { return relatedASModel_; }
    virtual int32_t getStartColumn() const { return startColumn_; }
    virtual int32_t getStartLine() const { return startLine_; }
    virtual WideString getUri() const { return uri_; }

protected:
    int32_t startLine_, startColumn_, endLine_, endColumn_, byteOffset_;
    WideString uri_;
    TdomNode* relatedNode_;
    TObject* relatedCMObject_;
    TObject* relatedASModel_;
};

/// What an input source tells the locator that moves along it.
class TdomLocatorSource {
public:
    virtual ~TdomLocatorSource() = default;
    /// Bytes read since reading began (stream position minus the start position).
    virtual int32_t getLocatorByteOffset() const = 0;
    /// The input's system identifier.
    virtual WideString getLocatorSystemId() const = 0;
};

/// The locator of an input source (not owned). The byte offset and the URI come from the
/// source (-1 and empty without one); advance moves the end of the span, markStart its start.
class TdomInputSourceLocator : public TdomLocator {
public:
    TdomInputSourceLocator(const TdomLocatorSource* InputSource, int32_t StartLine, int32_t StartColumn,
                           int32_t EndLine, int32_t EndColumn, int32_t TabWidth);

    int32_t getByteOffset() const override;
    WideString getUri() const override;

    /// A tab adds the tab width to the end column; a line feed starts the next line at column
    /// 0; any other character (carriage return included) adds 1.
    void advance(UCS4Char C) {
        if (C == 0x9) {
            endColumn_ += tabWidth_;
        } else if (C == 0xA) {
            ++endLine_;
            endColumn_ = 0;
        } else {
            ++endColumn_;
        }
    }
    /// As advance over a run of characters holding LineFeeds line feeds, Columns being the
    /// columns after the last of them (after the start when there is none).
    void advanceRun(int32_t LineFeeds, int32_t Columns) {
        if (LineFeeds > 0) {
            endLine_ += LineFeeds;
            endColumn_ = Columns;
        } else {
            endColumn_ += Columns;
        }
    }
    /// Start line and column take the end line and column.
    void markStart() {
        startLine_ = endLine_;
        startColumn_ = endColumn_;
    }
    /// Places start and end at a line and column: text read from a piece of a larger input
    /// (a section of a DTD) reports the places of that input.
    void moveTo(int32_t Line, int32_t Column);

    const TdomLocatorSource* getInputSource() const { return inputSource_; }
    int32_t getTabWidth() const { return tabWidth_; }

private:
    const TdomLocatorSource* inputSource_;
    int32_t tabWidth_;
};

/// One problem: kind, a snapshot of its place (owned), a clue text and the language of its
/// message (English after construction).
class TdomError : public TObject {
public:
    /// Create: stores kind and clue and makes the locator from the nine values.
    TdomError(TXmlErrorType Kind, int32_t StartLine, int32_t StartColumn, int32_t EndLine, int32_t EndColumn,
              int32_t ByteOffset, const WideString& Uri, TdomNode* RelatedNode, TObject* RelatedCMObject,
              TObject* RelatedASModel, const WideString& Clue);
    /// CreateFromLocator: the nine values read from Locator; without one the four positions
    /// are 0, the byte offset -1, the URI empty and there are no related objects.
    TdomError(TXmlErrorType Kind, const TdomLocator* Locator, const WideString& Clue);

    virtual WideString getDutchMessage() const;
    virtual WideString getEnglishMessage() const;
    virtual WideString getFrenchMessage() const;
    virtual WideString getGermanMessage() const;
    virtual WideString getItalianMessage() const;
    virtual WideString getPortugueseMessage() const;
    virtual WideString getSpanishMessage() const;
    /// A code outside the seven supported raises ENot_Supported_Err "Not supported error.".
    virtual void setLanguage(TIso639Code Code);
    /// The current language's text, then "." without a clue or ": " and the clue.
    virtual void getMessage(WideString& Text) const;
    virtual TdomSeverity getSeverity() const;

    TXmlErrorType getKind() const { return kind_; }
    const WideString& getClue() const { return clue_; }
    TIso639Code getLanguage() const { return language_; }
    const TdomLocator& getLocation() const { return *locator_; }
    bool isSupportedLanguage(TIso639Code Code) const {
        return Code < kIso639CodeCount && supported_.test(Code);
    }

private:
    WideString buildMessage(int languageRow) const;

    WideString clue_;
    TIso639Code language_ = iso639_en;
    std::unique_ptr<TdomLocator> locator_;
    TXmlErrorType kind_;
    std::bitset<kIso639CodeCount> supported_;
};

} // namespace xmldom
