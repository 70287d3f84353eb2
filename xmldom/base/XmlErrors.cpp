// Error records of the XML document library: severity by kind, message assembly from the
// generated seven-language table (XmlErrorTexts.inc), and the input-source locator.
#include "XmlErrors.h"

#include "DomExceptions.h"

namespace xmldom {

namespace {

constexpr int kKindCount = 79; // 0 (unknown) to 78

struct ErrorLanguageTexts {
    const char16_t* warning;
    const char16_t* error;
    const char16_t* fatal;
    const char16_t* document;
    const char16_t* singlePosition;
    const char16_t* sameLineRange;
    const char16_t* twoLines;
    const char16_t* messages[kKindCount];
};

#include "XmlErrorTexts.inc"

// Rows of kErrorTexts.
enum LanguageRow { rowEnglish, rowDutch, rowFrench, rowGerman, rowItalian, rowPortuguese, rowSpanish };

} // namespace

// ---------------------------------------------------------------- TdomLocator

TdomLocator::TdomLocator(int32_t StartLine, int32_t StartColumn, int32_t EndLine, int32_t EndColumn,
                         int32_t ByteOffset, WideString Uri, TdomNode* RelatedNode, TObject* RelatedCMObject,
                         TObject* RelatedASModel)
    : startLine_(StartLine), startColumn_(StartColumn), endLine_(EndLine), endColumn_(EndColumn),
      byteOffset_(ByteOffset), uri_(std::move(Uri)), relatedNode_(RelatedNode),
      relatedCMObject_(RelatedCMObject), relatedASModel_(RelatedASModel) {}

// ---------------------------------------------------------------- TdomInputSourceLocator

TdomInputSourceLocator::TdomInputSourceLocator(const TdomLocatorSource* InputSource, int32_t StartLine,
                                               int32_t StartColumn, int32_t EndLine, int32_t EndColumn,
                                               int32_t TabWidth)
    : TdomLocator(StartLine, StartColumn, EndLine, EndColumn, -1, WideString(), nullptr, nullptr, nullptr),
      inputSource_(InputSource), tabWidth_(TabWidth) {}

int32_t TdomInputSourceLocator::getByteOffset() const {
    return inputSource_ ? inputSource_->getLocatorByteOffset() : -1;
}

WideString TdomInputSourceLocator::getUri() const {
    return inputSource_ ? inputSource_->getLocatorSystemId() : WideString();
}

void TdomInputSourceLocator::moveTo(int32_t Line, int32_t Column) {
    startLine_ = endLine_ = Line;
    startColumn_ = endColumn_ = Column;
}

// ---------------------------------------------------------------- TdomError

TdomError::TdomError(TXmlErrorType Kind, int32_t StartLine, int32_t StartColumn, int32_t EndLine,
                     int32_t EndColumn, int32_t ByteOffset, const WideString& Uri, TdomNode* RelatedNode,
                     TObject* RelatedCMObject, TObject* RelatedASModel, const WideString& Clue)
    : clue_(Clue),
      locator_(std::make_unique<TdomLocator>(StartLine, StartColumn, EndLine, EndColumn, ByteOffset, Uri,
                                             RelatedNode, RelatedCMObject, RelatedASModel)),
      kind_(Kind) {
    for (TIso639Code code : {iso639_de, iso639_en, iso639_es, iso639_fr, iso639_it, iso639_nl, iso639_pt})
        supported_.set(code);
}

TdomError::TdomError(TXmlErrorType Kind, const TdomLocator* Locator, const WideString& Clue)
    : TdomError(Kind, Locator ? Locator->getStartLine() : 0, Locator ? Locator->getStartColumn() : 0,
                Locator ? Locator->getEndLine() : 0, Locator ? Locator->getEndColumn() : 0,
                Locator ? Locator->getByteOffset() : -1, Locator ? Locator->getUri() : WideString(),
                Locator ? Locator->getRelatedNode() : nullptr,
                Locator ? Locator->getRelatedCMObject() : nullptr,
                Locator ? Locator->getRelatedASModel() : nullptr, Clue) {}

TdomSeverity TdomError::getSeverity() const {
    if (kind_ >= ET_FIRST_FATAL && kind_ <= ET_LAST_FATAL) return DOM_SEVERITY_FATAL_ERROR;
    if (kind_ >= 5 && kind_ <= 35) return DOM_SEVERITY_ERROR;
    return DOM_SEVERITY_WARNING;
}

void TdomError::setLanguage(TIso639Code Code) {
    if (!isSupportedLanguage(Code)) throw ENot_Supported_Err(msg::kNotSupportedErr);
    language_ = Code;
}

WideString TdomError::buildMessage(int languageRow) const {
    const ErrorLanguageTexts& t = kErrorTexts[languageRow];
    const TdomLocator& at = *locator_;
    WideString text;
    switch (getSeverity()) {
    case DOM_SEVERITY_FATAL_ERROR:
        text = t.fatal;
        break;
    case DOM_SEVERITY_ERROR:
        text = t.error;
        break;
    default:
        text = t.warning;
        break;
    }
    text += t.document;
    text += at.getUri();
    text += u' ';
    if (at.getEndLine() != -1) {
        if (at.getStartLine() != at.getEndLine())
            text += Format(t.twoLines,
                           {at.getStartLine(), at.getStartColumn(), at.getEndLine(), at.getEndColumn()});
        else if (at.getStartColumn() == at.getEndColumn())
            text += Format(t.singlePosition, {at.getEndLine(), at.getEndColumn()});
        else
            text += Format(t.sameLineRange, {at.getEndLine(), at.getStartColumn(), at.getEndColumn()});
    }
    text += u" -- ";
    text += t.messages[kind_ < kKindCount ? kind_ : 0];
    return text;
}

WideString TdomError::getDutchMessage() const {
    return buildMessage(rowDutch);
}
WideString TdomError::getEnglishMessage() const {
    return buildMessage(rowEnglish);
}
WideString TdomError::getFrenchMessage() const {
    return buildMessage(rowFrench);
}
WideString TdomError::getGermanMessage() const {
    return buildMessage(rowGerman);
}
WideString TdomError::getItalianMessage() const {
    return buildMessage(rowItalian);
}
WideString TdomError::getPortugueseMessage() const {
    return buildMessage(rowPortuguese);
}
WideString TdomError::getSpanishMessage() const {
    return buildMessage(rowSpanish);
}

void TdomError::getMessage(WideString& Text) const {
    switch (language_) {
    case iso639_nl:
        Text = getDutchMessage();
        break;
    case iso639_fr:
        Text = getFrenchMessage();
        break;
    case iso639_de:
        Text = getGermanMessage();
        break;
    case iso639_it:
        Text = getItalianMessage();
        break;
    case iso639_pt:
        Text = getPortugueseMessage();
        break;
    case iso639_es:
        Text = getSpanishMessage();
        break;
    default:
        Text = getEnglishMessage();
        break;
    }
    if (clue_.empty())
        Text += u'.';
    else
        Text += u": " + clue_;
}

} // namespace xmldom
