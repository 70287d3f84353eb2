// XML character classes and name tests. Classes are binary searches over the generated range
// tables of XmlCharClasses.inc (each step halves the set of range bounds), entered through a
// per-block jump table, with a bit-mask fast path for ASCII; string tests walk the text once
// and allocate nothing.
#include "XmlChars.h"

#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "DomExceptions.h"
#include "XmlMessages.h"
#include "XmlStrings.h"

namespace xmldom {

namespace {

struct XmlCharRange {
    uint16_t first;
    uint16_t last;
};

#include "XmlCharClasses.inc"

// Per block of 64 code points, the ranges of a class that meet the block: a jump table in
// front of the range table, so that a lookup compares against a few bounds only.
constexpr int kBlockShift = 6;
constexpr uint32_t kBlockCount = 0x10000 >> kBlockShift;

struct BlockIndex {
    uint16_t begin[kBlockCount]; ///< first range whose last point lies in or after the block
    uint16_t end[kBlockCount];   ///< one past the last range whose first point lies in or before it
};

template <size_t N> constexpr BlockIndex indexOf(const XmlCharRange (&r)[N]) {
    BlockIndex index{};
    size_t lo = 0, hi = 0;
    for (uint32_t block = 0; block < kBlockCount; ++block) {
        uint32_t blockFirst = block << kBlockShift, blockLast = blockFirst | ((1u << kBlockShift) - 1);
        while (lo < N && r[lo].last < blockFirst)
            ++lo;
        while (hi < N && r[hi].first <= blockLast)
            ++hi;
        index.begin[block] = static_cast<uint16_t>(lo);
        index.end[block] = static_cast<uint16_t>(hi);
    }
    return index;
}

// Membership of a BMP code point: halve the block's ranges down to one, then one test.
inline bool inRanges(const XmlCharRange* r, const BlockIndex& index, uint32_t c) {
    size_t base = index.begin[c >> kBlockShift];
    size_t n = index.end[c >> kBlockShift] - base;
    if (n == 0) return false;
    while (n > 1) {
        size_t half = n / 2;
        base = r[base + half].first <= c ? base + half : base;
        n -= half;
    }
    return c >= r[base].first && c <= r[base].last;
}

constexpr BlockIndex kXmlBaseCharIndex = indexOf(kXmlBaseCharRanges);
constexpr BlockIndex kXmlIdeographicIndex = indexOf(kXmlIdeographicRanges);
constexpr BlockIndex kXmlCombiningCharIndex = indexOf(kXmlCombiningCharRanges);
constexpr BlockIndex kXmlDigitIndex = indexOf(kXmlDigitRanges);
constexpr BlockIndex kXmlExtenderIndex = indexOf(kXmlExtenderRanges);
constexpr BlockIndex kXmlLetterIndex = indexOf(kXmlLetterRanges);
constexpr BlockIndex kXmlNameStartCharIndex = indexOf(kXmlNameStartCharRanges);
constexpr BlockIndex kXmlNameCharIndex = indexOf(kXmlNameCharRanges);

// Bit masks of the ASCII members of a class, built from its ranges at compile time.
struct AsciiMask {
    unsigned __int128 bits = 0;
    constexpr bool has(uint32_t c) const { return ((bits >> c) & 1) != 0; } // c < 128
};

template <size_t N> constexpr AsciiMask maskOf(const XmlCharRange (&r)[N]) {
    AsciiMask m;
    for (const XmlCharRange& range : r)
        for (uint32_t c = range.first; c <= range.last && c < 128; ++c)
            m.bits |= static_cast<unsigned __int128>(1) << c;
    return m;
}

constexpr AsciiMask kNameStartAscii = maskOf(kXmlNameStartCharRanges);
constexpr AsciiMask kNameCharAscii = maskOf(kXmlNameCharRanges);

inline bool isHigh(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
inline bool isLow(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}
inline bool isSurrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}
inline bool isWhite(uint32_t c) {
    return c == 0x20 || c == 0x9 || c == 0xD || c == 0xA;
}
inline bool isAsciiAlpha(uint32_t c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
inline bool isAsciiDigit(uint32_t c) {
    return c >= '0' && c <= '9';
}
inline bool isAsciiHex(uint32_t c) {
    return isAsciiDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

inline bool nameStart(uint32_t c) {
    return c < 128 ? kNameStartAscii.has(c)
                   : c <= 0xFFFF && inRanges(kXmlNameStartCharRanges, kXmlNameStartCharIndex, c);
}
inline bool nameChar(uint32_t c) {
    return c < 128 ? kNameCharAscii.has(c)
                   : c <= 0xFFFF && inRanges(kXmlNameCharRanges, kXmlNameCharIndex, c);
}
inline bool charUnit(uint32_t c) {
    return c >= 0x20 ? c <= 0xFFFD : (c == 0x9 || c == 0xA || c == 0xD);
}

// True when every character of s passes: pairs are accepted, other units go to unitOk.
template <class UnitOk> bool everyChar(std::u16string_view s, UnitOk unitOk) {
    const char16_t* p = s.data();
    const char16_t* end = p + s.size();
    while (p != end) {
        uint32_t u = *p++;
        if (u - 0xD800u >= 0x800u) { // no surrogate: the common case first
            if (!unitOk(u)) return false;
            continue;
        }
        if (u >= 0xDC00 || p == end || static_cast<uint32_t>(*p) - 0xDC00u >= 0x400u) return false;
        ++p; // the low half of the pair
    }
    return true;
}

// True when every unit of s passes: for the name classes, which hold no character above
// U+FFFF, so a surrogate (paired or not) never passes.
template <class UnitOk> bool everyUnit(std::u16string_view s, UnitOk unitOk) {
    for (char16_t u : s)
        if (!unitOk(u)) return false;
    return true;
}

// A name whose first character passes first and every further one passes rest.
template <class First, class Rest> bool nameLike(std::u16string_view s, First first, Rest rest) {
    return !s.empty() && first(s[0]) && everyUnit(s.substr(1), rest);
}

inline bool ncNameStart(uint32_t c) {
    return c != ':' && nameStart(c);
}
inline bool ncNameChar(uint32_t c) {
    return c != ':' && nameChar(c);
}

// The text from s[at] ("&") to the first ";" after it, inclusive; empty when there is none.
std::u16string_view referenceAt(std::u16string_view s, size_t at) {
    size_t end = s.find(u';', at + 1);
    return end == std::u16string_view::npos ? std::u16string_view{} : s.substr(at, end - at + 1);
}

bool holdsBothQuotes(std::u16string_view s) {
    return s.find(u'\'') != std::u16string_view::npos && s.find(u'"') != std::u16string_view::npos;
}

inline bool isQuote(WideChar c) {
    return c == u'\'' || c == u'"';
}

size_t skipWhite(std::u16string_view s, size_t i) {
    while (i < s.size() && isWhite(s[i]))
        ++i;
    return i;
}

std::u16string_view trimWhite(std::u16string_view s) {
    size_t b = skipWhite(s, 0);
    size_t e = s.size();
    while (e > b && isWhite(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool equalsAscii(std::u16string_view s, std::string_view ascii) {
    if (s.size() != ascii.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] != static_cast<unsigned char>(ascii[i])) return false;
    return true;
}

bool startsWithAscii(std::u16string_view s, std::string_view ascii) {
    return s.size() >= ascii.size() && equalsAscii(s.substr(0, ascii.size()), ascii);
}

[[noreturn]] void raiseInvalidCharRef(std::u16string_view ref) {
    throw EConvertError(Format(msg::kInvalidCharRef, {ref}));
}

} // namespace

// ------------------------------------------------------------------ character classes

bool IsXmlChar(UCS4Char c) {
    return c >= 0x20 ? (c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF))
                     : (c == 0x9 || c == 0xA || c == 0xD);
}
bool IsXmlCharUnit(WideChar c) {
    return charUnit(c);
}
bool IsXmlWhiteSpace(UCS4Char c) {
    return isWhite(c);
}
bool IsXmlWhiteSpace(WideChar c) {
    return isWhite(c);
}
bool IsXmlWhiteSpaceOrNull(UCS4Char c) {
    return c == 0 || isWhite(c);
}
bool IsXmlWhiteSpaceOrNull(WideChar c) {
    return c == 0 || isWhite(c);
}
bool IsXmlBaseChar(UCS4Char c) {
    return c <= 0xFFFF && inRanges(kXmlBaseCharRanges, kXmlBaseCharIndex, c);
}
bool IsXmlBaseChar(WideChar c) {
    return inRanges(kXmlBaseCharRanges, kXmlBaseCharIndex, c);
}
bool IsXmlIdeographic(UCS4Char c) {
    return c <= 0xFFFF && inRanges(kXmlIdeographicRanges, kXmlIdeographicIndex, c);
}
bool IsXmlIdeographic(WideChar c) {
    return inRanges(kXmlIdeographicRanges, kXmlIdeographicIndex, c);
}
bool IsXmlLetter(UCS4Char c) {
    return c <= 0xFFFF && inRanges(kXmlLetterRanges, kXmlLetterIndex, c);
}
bool IsXmlLetter(WideChar c) {
    return inRanges(kXmlLetterRanges, kXmlLetterIndex, c);
}
bool IsXmlCombiningChar(UCS4Char c) {
    return c <= 0xFFFF && inRanges(kXmlCombiningCharRanges, kXmlCombiningCharIndex, c);
}
bool IsXmlCombiningChar(WideChar c) {
    return inRanges(kXmlCombiningCharRanges, kXmlCombiningCharIndex, c);
}
bool IsXmlDigit(UCS4Char c) {
    return c <= 0xFFFF && inRanges(kXmlDigitRanges, kXmlDigitIndex, c);
}
bool IsXmlDigit(WideChar c) {
    return inRanges(kXmlDigitRanges, kXmlDigitIndex, c);
}
bool IsXmlExtender(UCS4Char c) {
    return c <= 0xFFFF && inRanges(kXmlExtenderRanges, kXmlExtenderIndex, c);
}
bool IsXmlExtender(WideChar c) {
    return inRanges(kXmlExtenderRanges, kXmlExtenderIndex, c);
}
bool IsXmlNameChar(UCS4Char c) {
    return nameChar(c);
}
bool IsXmlNameChar(WideChar c) {
    return nameChar(c);
}
bool IsXmlNCNameChar(WideChar c) {
    return ncNameChar(c);
}

bool IsXmlPubidChar(WideChar c) {
    static constexpr std::u16string_view kMarks = u" \r\n-'()+,./:=?;!*#@$_%";
    return isAsciiAlpha(c) || isAsciiDigit(c) || kMarks.find(c) != kMarks.npos;
}

bool IsXmlVersionNumChar(UCS4Char c) {
    return c < 128 && (isAsciiAlpha(c) || isAsciiDigit(c) || c == '_' || c == '.' || c == ':' || c == '-');
}
bool IsXmlVersionNumChar(WideChar c) {
    return IsXmlVersionNumChar(static_cast<UCS4Char>(c));
}
bool IsXmlEncNameStartChar(UCS4Char c) {
    return c < 128 && isAsciiAlpha(c);
}
bool IsXmlEncNameChar(UCS4Char c) {
    return c < 128 && (isAsciiAlpha(c) || isAsciiDigit(c) || c == '.' || c == '_' || c == '-');
}

// ------------------------------------------------------------------ name tests

bool IsXmlName(std::u16string_view s) {
    // ASCII names (nearly all) by the masks alone; the rest from the first other unit on.
    const size_t n = s.size();
    if (n > 0 && s[0] < 128) {
        if (!kNameStartAscii.has(s[0])) return false;
        size_t i = 1;
        for (; i < n && s[i] < 128; ++i)
            if (!kNameCharAscii.has(s[i])) return false;
        return i == n || everyUnit(s.substr(i), [](uint32_t c) { return nameChar(c); });
    }
    return nameLike(
        s, [](uint32_t c) { return nameStart(c); }, [](uint32_t c) { return nameChar(c); });
}

bool IsXmlNames(std::u16string_view s) {
    if (s.empty()) return false;
    size_t start = 0;
    while (true) {
        size_t blank = s.find(u' ', start);
        if (!IsXmlName(s.substr(start, blank == std::u16string_view::npos ? s.npos : blank - start)))
            return false;
        if (blank == std::u16string_view::npos) return true;
        start = blank + 1;
    }
}

bool IsXmlNmtoken(std::u16string_view s) {
    return !s.empty() && everyUnit(s, [](uint32_t c) { return nameChar(c); });
}

bool IsXmlNmtokens(std::u16string_view s) {
    if (s.empty() || !nameChar(s.back())) return false;
    return nameLike(
        s, [](uint32_t c) { return nameChar(c); }, [](uint32_t c) { return nameChar(c) || isWhite(c); });
}

bool IsXmlNCName(std::u16string_view s) {
    return nameLike(
        s, [](uint32_t c) { return ncNameStart(c); }, [](uint32_t c) { return ncNameChar(c); });
}
bool IsXmlPrefix(std::u16string_view s) {
    return IsXmlNCName(s);
}
bool IsXmlLocalPart(std::u16string_view s) {
    return IsXmlNCName(s);
}

bool IsXmlQName(std::u16string_view s) {
    size_t colon = s.find(u':');
    if (colon == std::u16string_view::npos) return IsXmlNCName(s);
    return IsXmlPrefix(s.substr(0, colon)) && IsXmlLocalPart(s.substr(colon + 1));
}

bool IsXmlDefaultAttName(std::u16string_view s) {
    return equalsAscii(s, "xmlns");
}

bool IsXmlPrefixedAttName(std::u16string_view s) {
    return startsWithAscii(s, "xmlns:") && IsXmlNCName(s.substr(6));
}

bool IsXmlPITarget(std::u16string_view s) {
    if (!IsXmlName(s)) return false;
    return !(s.size() == 3 && (s[0] | 0x20) == 'x' && (s[1] | 0x20) == 'm' && (s[2] | 0x20) == 'l');
}

bool IsXmlPredefinedEntityName(std::u16string_view s) {
    return equalsAscii(s, "lt") || equalsAscii(s, "gt") || equalsAscii(s, "amp") || equalsAscii(s, "apos") ||
           equalsAscii(s, "quot");
}

bool IsXmlStringType(std::u16string_view s) {
    return equalsAscii(s, "CDATA");
}

bool IsXmlTokenizedType(std::u16string_view s) {
    for (std::string_view t : {"ID", "IDREF", "IDREFS", "ENTITY", "ENTITIES", "NMTOKEN", "NMTOKENS"})
        if (equalsAscii(s, t)) return true;
    return false;
}

bool IsXmlVersionNum(std::u16string_view s) {
    if (s.empty()) return false;
    for (WideChar c : s)
        if (!IsXmlVersionNumChar(c)) return false;
    return true;
}

bool IsXmlEncName(std::u16string_view s) {
    if (s.empty() || !IsXmlEncNameStartChar(s[0])) return false;
    for (size_t i = 1; i < s.size(); ++i)
        if (!IsXmlEncNameChar(s[i])) return false;
    return true;
}

// ------------------------------------------------------------------ content tests

bool IsXmlChars(std::u16string_view s) {
#ifdef __SSE2__
    // Eight units at a time while all lie in [#x20-#xD7FF] (no control, no surrogate): as
    // unsigned u - 0x20 < 0xD7E0, done with signed compares after flipping the sign bits.
    size_t i = 0;
    const __m128i low = _mm_set1_epi16(0x20);
    const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
    const __m128i limit = _mm_set1_epi16(static_cast<short>(0xD7E0 ^ 0x8000));
    for (; i + 8 <= s.size(); i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
        const __m128i t = _mm_xor_si128(_mm_sub_epi16(v, low), flip);
        if (_mm_movemask_epi8(_mm_cmplt_epi16(t, limit)) != 0xFFFF) break;
    }
    s.remove_prefix(i);
#endif
    return everyChar(s, [](uint32_t c) { return charUnit(c); });
}

bool IsXmlS(std::u16string_view s) {
    if (s.empty()) return false;
    for (WideChar c : s)
        if (!isWhite(c)) return false;
    return true;
}

bool IsXmlCharData(std::u16string_view s) {
    return IsXmlChars(s) && s.find(u'<') == s.npos && s.find(u'&') == s.npos;
}

bool IsXmlCData(std::u16string_view s) {
    return s.find(u"]]>") == s.npos && IsXmlChars(s);
}

bool IsXmlPubidChars(std::u16string_view s) {
    for (WideChar c : s)
        if (!IsXmlPubidChar(c)) return false;
    return true;
}

bool IsXmlSystemChars(std::u16string_view s) {
    return IsXmlChars(s) && !holdsBothQuotes(s);
}

bool IsXmlEntityValue(std::u16string_view s) {
    if (!IsXmlChars(s) || holdsBothQuotes(s)) return false;
    for (size_t i = s.find(u'&'); i != s.npos; i = s.find(u'&', i)) {
        std::u16string_view ref = referenceAt(s, i);
        if (ref.empty() || !IsXmlReference(ref)) return false;
        i += ref.size();
    }
    return true;
}

bool IsXmlAttValue(std::u16string_view s) {
    if (s.size() < 2 || !isQuote(s[0]) || s.back() != s[0]) return false;
    WideChar quote = s[0];
    std::u16string_view inner = s.substr(1, s.size() - 2);
    if (!everyChar(inner, [quote](uint32_t c) { return charUnit(c) && c != quote && c != '<'; }))
        return false;
    for (size_t i = inner.find(u'&'); i != inner.npos; i = inner.find(u'&', i)) {
        std::u16string_view ref = referenceAt(inner, i);
        if (ref.empty() || !IsXmlReference(ref)) return false;
        i += ref.size();
    }
    return true;
}

bool IsXmlSystemLiteral(std::u16string_view s) {
    if (s.size() < 2 || !isQuote(s[0]) || s.back() != s[0]) return false;
    WideChar quote = s[0];
    return everyChar(s.substr(1, s.size() - 2), [quote](uint32_t c) { return charUnit(c) && c != quote; });
}

bool IsXmlCharRef(std::u16string_view s) {
    if (s.empty() || s.back() != u';') return false;
    auto all = [&](size_t from, bool (*ok)(uint32_t)) {
        for (size_t i = from; i + 1 < s.size(); ++i)
            if (!ok(s[i])) return false;
        return true;
    };
    if (startsWithAscii(s, "&#x") && s.size() >= 5) return all(3, isAsciiHex);
    if (startsWithAscii(s, "&#") && s.size() >= 4) return all(2, isAsciiDigit);
    return false;
}

bool IsXmlEntityRef(std::u16string_view s) {
    return s.size() >= 2 && s.front() == u'&' && s.back() == u';' && IsXmlName(s.substr(1, s.size() - 2));
}

bool IsXmlPEReference(std::u16string_view s) {
    return s.size() >= 2 && s.front() == u'%' && s.back() == u';' && IsXmlName(s.substr(1, s.size() - 2));
}

bool IsXmlReference(std::u16string_view s) {
    return IsXmlEntityRef(s) || IsXmlCharRef(s);
}

// ------------------------------------------------------------------ conversions

UCS4Char XmlCharRefToInt(std::u16string_view ref) {
    if (!IsXmlCharRef(ref)) raiseInvalidCharRef(ref);
    bool hex = ref[2] == u'x';
    uint32_t value = 0;
    for (size_t i = hex ? 3 : 2; i + 1 < ref.size(); ++i) {
        uint32_t c = ref[i];
        uint32_t digit = isAsciiDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
        value = value * (hex ? 16 : 10) + digit;
        if (value >= 0x110000) raiseInvalidCharRef(ref); // stops before the value can overflow
    }
    if (value < 0x10000 && (!charUnit(value) || isSurrogate(value))) raiseInvalidCharRef(ref);
    return value;
}

WideString XmlCharRefToStr(std::u16string_view ref) {
    UCS4Char v = XmlCharRefToInt(ref);
    if (v < 0x10000) return WideString(1, static_cast<WideChar>(v));
    WideString pair(2, u'\0');
    pair[0] = static_cast<WideChar>(0xD800 + ((v - 0x10000) >> 10));
    pair[1] = static_cast<WideChar>(0xDC00 + ((v - 0x10000) & 0x3FF));
    return pair;
}

std::string XmlIntToCharRef(UCS4Char value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), kHex[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "&#x" + digits + ";";
}

WideString ResolveCharRefs(std::u16string_view s) {
    TdomCustomStr out;
    size_t i = 0;
    if (!s.empty() && s[0] == 0xFEFF) {
        out.addWideChar(s[0]);
        i = 1;
    }
    while (i < s.size()) {
        WideChar c = s[i];
        if (isLow(c)) throw EConvertError(msg::kStartsWithLowSurrogate);
        if (isHigh(c)) {
            if (i + 1 == s.size()) throw EConvertError(msg::kEndsWithHighSurrogate);
            if (!isLow(s[i + 1])) throw EConvertError(msg::kHighSurrogateWithoutLow);
            out.addWideChar(c);
            out.addWideChar(s[i + 1]);
            i += 2;
            continue;
        }
        if (!charUnit(c)) throw EConvertError(msg::kInvalidCharacter);
        if (c != u'&') {
            out.addWideChar(c);
            ++i;
            continue;
        }
        std::u16string_view ref = referenceAt(s, i);
        if (ref.empty()) throw EConvertError(msg::kAmpersandWithoutSemicolon);
        if (IsXmlEntityRef(ref))
            out.addWideString(ref);
        else if (IsXmlCharRef(ref))
            out.addWideString(XmlCharRefToStr(ref));
        else
            throw EConvertError(Format(msg::kInvalidReference, {ref}));
        i += ref.size();
    }
    WideString result;
    out.value(result);
    return result;
}

WideString XmlExtractLocalName(std::u16string_view qname) {
    WideString prefix, localName;
    if (!XmlExtractPrefixAndLocalName(qname, prefix, localName))
        throw EInvalid_Character_Err(msg::kInvalidCharacterErr);
    return localName;
}

bool XmlExtractPrefixAndLocalName(std::u16string_view qname, WideString& prefix, WideString& localName) {
    size_t colon = qname.find(u':');
    std::u16string_view p = colon == qname.npos ? std::u16string_view{} : qname.substr(0, colon);
    std::u16string_view l = colon == qname.npos ? qname : qname.substr(colon + 1);
    if ((colon != qname.npos && !IsXmlNCName(p)) || !IsXmlNCName(l)) {
        prefix.clear();
        localName.clear();
        return false;
    }
    prefix = WideString(p);
    localName = WideString(l);
    return true;
}

// ------------------------------------------------------------------ splitters

void XmlSplitFirstToken(std::u16string_view s, WideString& head, WideString& rest) {
    size_t end = 0;
    while (end < s.size() && !isWhite(s[end]))
        ++end;
    head = WideString(s.substr(0, end));
    std::u16string_view tail = s.substr(skipWhite(s, end));
    while (!tail.empty() && isWhite(tail.back()))
        tail.remove_suffix(1);
    rest = WideString(tail);
}

void XmlParseQuotedLiteral(std::u16string_view s, WideString& literal, WideString& rest, bool& error,
                           WideChar& quote) {
    literal.clear();
    rest.clear();
    quote = 0;
    error = true;
    s = s.substr(skipWhite(s, 0));
    if (s.size() < 2 || !isQuote(s[0])) return;
    size_t close = s.find(s[0], 1);
    if (close == s.npos) return;
    if (close + 1 < s.size() && !isWhite(s[close + 1])) return;
    std::u16string_view lit = s.substr(1, close - 1);
    if (!IsXmlChars(lit)) return;
    quote = s[0];
    literal = WideString(lit);
    rest = WideString(s.substr(skipWhite(s, close + 1)));
    error = false;
}

namespace {

// "SYSTEM" or "PUBLIC" followed by at least one unit, the first of them white space.
bool takeKeyword(std::u16string_view s, std::string_view keyword, std::u16string_view& after) {
    if (!startsWithAscii(s, keyword) || s.size() <= keyword.size() || !isWhite(s[keyword.size()]))
        return false;
    after = s.substr(keyword.size());
    return true;
}

// The external identifier of an entity (both literals required after PUBLIC) or of a
// notation (the system literal optional after PUBLIC). rest receives what follows.
bool parseExternalId(std::u16string_view s, bool systemOptional, WideString& systemId, WideString& publicId,
                     WideString& rest) {
    std::u16string_view after;
    bool error = false;
    WideChar quote = 0;
    if (takeKeyword(s, "SYSTEM", after)) {
        XmlParseQuotedLiteral(after, systemId, rest, error, quote);
        return !error;
    }
    if (!takeKeyword(s, "PUBLIC", after)) return false;
    WideString afterPublic;
    XmlParseQuotedLiteral(after, publicId, afterPublic, error, quote);
    if (error || !IsXmlPubidChars(publicId)) return false;
    if (systemOptional && afterPublic.empty()) return true;
    if (systemOptional) {
        std::u16string_view literal = trimWhite(afterPublic);
        if (!IsXmlSystemLiteral(literal)) return false;
        systemId = WideString(literal.substr(1, literal.size() - 2));
        return true;
    }
    XmlParseQuotedLiteral(afterPublic, systemId, rest, error, quote);
    return !error;
}

} // namespace

void XmlParseEntityDef(std::u16string_view s, WideString& value, WideString& systemId, bool& error,
                       WideString& notationName, WideString& publicId) {
    value.clear();
    systemId.clear();
    notationName.clear();
    publicId.clear();
    error = true;
    if (s.size() < 2) return;
    s = s.substr(skipWhite(s, 0));
    WideString rest;
    if (!s.empty() && isQuote(s[0])) {
        bool literalError = false;
        WideChar quote = 0;
        XmlParseQuotedLiteral(s, value, rest, literalError, quote);
        error = literalError || !rest.empty() || !IsXmlEntityValue(value);
        if (error) value.clear();
        return;
    }
    if (!parseExternalId(s, false, systemId, publicId, rest)) {
        systemId.clear();
        publicId.clear();
        return;
    }
    if (!rest.empty()) {
        std::u16string_view r = rest;
        std::u16string_view name = r.size() >= 7 ? trimWhite(r.substr(6)) : std::u16string_view{};
        if (r.size() < 7 || !startsWithAscii(r, "NDATA") || !isWhite(r[5]) || !IsXmlName(name)) {
            systemId.clear();
            publicId.clear();
            return;
        }
        notationName = WideString(name);
    }
    error = false;
}

void XmlParseNotationDef(std::u16string_view s, WideString& systemId, WideString& publicId, bool& error) {
    systemId.clear();
    publicId.clear();
    WideString rest;
    error = !parseExternalId(trimWhite(s), true, systemId, publicId, rest) || !rest.empty();
    if (error) {
        systemId.clear();
        publicId.clear();
    }
}

void XmlStripBrackets(std::u16string_view s, WideString& inner, bool& error) {
    std::u16string_view t = trimWhite(s);
    error = t.size() < 2 || t.front() != u'[' || t.back() != u']';
    inner = error ? WideString() : WideString(t.substr(1, t.size() - 2));
}

void XmlStripParentheses(std::u16string_view s, WideString& inner, bool& error) {
    std::u16string_view t = trimWhite(s);
    error = t.size() < 2 || t.front() != u'(' || t.back() != u')';
    inner = error ? WideString() : WideString(trimWhite(t.substr(1, t.size() - 2)));
}

// ------------------------------------------------------------------ string helpers

WideString TrimXmlWhiteSpace(std::u16string_view s) {
    return WideString(trimWhite(s));
}

WideString TrimXmlWhiteSpaceLeft(std::u16string_view s) {
    return WideString(s.substr(skipWhite(s, 0)));
}

WideString TrimSpaces(std::u16string_view s) {
    size_t b = s.find_first_not_of(u' ');
    if (b == s.npos) return {};
    return WideString(s.substr(b, s.find_last_not_of(u' ') - b + 1));
}

int CompareWideStrOrdinal(std::u16string_view a, std::u16string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

WideString EscapeQuotesAsCharRefs(std::u16string_view s) {
    WideString out;
    out.reserve(s.size());
    for (WideChar c : s) {
        if (c == u'"')
            out += u"&#34;";
        else if (c == u'\'')
            out += u"&#39;";
        else
            out += c;
    }
    return out;
}

} // namespace xmldom
