// Output and input sources: buffered byte writing and reading, the encoders of the output
// side (single-byte sets with line-end conversion and character references, UTF-8, the 16-bit
// forms) and the input side's mark detection, declaration reader and decoders.
#include "XmlSources.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "CharsetConv.h"
#include "CodePages.h"
#include "DomExceptions.h"
#include "XmlChars.h"
#include "XmlEncodingMessages.h"
#include "XmlEncodings.h"
#include "XmlMessages.h"
#include "XmlStrings.h"

namespace xmldom {

namespace {

/// The registry's number of "UTF-16", the name without a byte order.
constexpr int kMIBUTF16 = 1015;

TStream* requireStream(TStream* stream) {
    if (!stream) throw EStreamError(msg::kStreamNotSpecified);
    return stream;
}

[[noreturn]] void raiseInvalidCharacter() {
    throw EWriteError(msg::kInvalidCharacterWrite);
}

/// Bytes gathered before they are handed to writeBytes in one piece.
class TByteChunk {
public:
    explicit TByteChunk(TdomCustomWriter& writer) : writer_(writer) {}
    ~TByteChunk() = default;

    void put(uint8_t byte) {
        if (used_ == sizeof(bytes_)) emit();
        bytes_[used_++] = byte;
    }
    /// Writes what is gathered; called at the end and before an error is raised.
    void emit() {
        if (used_ > 0) writer_.writeBytes(bytes_, used_);
        used_ = 0;
    }

private:
    TdomCustomWriter& writer_;
    uint8_t bytes_[4096];
    int32_t used_ = 0;
};

bool isVersionNumChar(int32_t c) {
    return c >= 0 && IsXmlVersionNumChar(static_cast<UCS4Char>(c));
}
bool isEncNameStartChar(int32_t c) {
    return c >= 0 && IsXmlEncNameStartChar(static_cast<UCS4Char>(c));
}
bool isEncNameChar(int32_t c) {
    return c >= 0 && IsXmlEncNameChar(static_cast<UCS4Char>(c));
}
bool isStandaloneChar(int32_t c) {
    return c == 'y' || c == 'e' || c == 's' || c == 'n' || c == 'o';
}


} // namespace

// --- buffered writing -------------------------------------------------------------------------

TdomCustomWriter::TdomCustomWriter(TStream* Stream, int32_t BufferSize)
    : FStream(requireStream(Stream)), FBuffer(new uint8_t[BufferSize > 0 ? BufferSize : 0]),
      FBufferSize(BufferSize > 0 ? BufferSize : 0) {}

TdomCustomWriter::~TdomCustomWriter() {
    try {
        flush();
    } catch (...) {
        // A destructor cannot report; callers that need to know flush first.
    }
}

void TdomCustomWriter::flush() {
    const int32_t used = FUsed;
    FUsed = 0;
    if (used > 0) FStream->WriteBuffer(FBuffer.get(), used);
}

void TdomCustomWriter::writeBytes(const void* Buffer, int32_t Count) {
    if (Count <= 0) return;
    if (static_cast<int64_t>(FUsed) + Count > FBufferSize) flush();
    if (Count > FBufferSize) {
        FStream->WriteBuffer(Buffer, Count);
        return;
    }
    std::memcpy(FBuffer.get() + FUsed, Buffer, static_cast<std::size_t>(Count));
    FUsed += Count;
}

// --- the output source ------------------------------------------------------------------------

TXmlOutputSource::TXmlOutputSource(TStream* Stream, int32_t BufferSize)
    : TdomCustomWriter(Stream, BufferSize) {}

void TXmlOutputSource::setEncoding(uint8_t Index) {
    const TSingleByteEncoder converter = encoderOf(Index);
    // An index without a byte form would write nothing at all; it is refused like index 0.
    if (Index == kEncodingNone || (Index > kEncodingUCS2 && !converter))
        throw ENot_Supported_Err(msg::kEncodingNotSupportedErr);
    FEncoding = Index;
    FConverter = converter;
    FCharset = singleByteCharsetOf(Index);
}

void TXmlOutputSource::setNewLine(TdomNewLineType Value) {
    FNewLine = Value;
}

void TXmlOutputSource::writeText(std::u16string_view Text) {
    if (FConverter) return writeSingleByte(Text, false);
    switch (FEncoding) {
    case kEncodingUTF8:
        return writeUTF8(Text, false);
    case kEncodingUTF16BE:
        return writeUTF16(Text, false);
    case kEncodingUTF16LE:
        return writeUTF16(Text, true);
    case kEncodingUCS2:
        for (char16_t unit : Text)
            if (isHighSurrogate(unit) || isLowSurrogate(unit)) raiseInvalidCharacter();
        return writeUTF16(Text, false);
    default:
        return;
    }
}

void TXmlOutputSource::writeTextWithReferences(std::u16string_view Text) {
    if (FConverter) return writeSingleByte(Text, true);
    if (FEncoding == kEncodingUCS2) return writeUCS2WithReferences(Text);
    writeText(Text);
}

void TXmlOutputSource::writeSingleByte(std::u16string_view Text, bool WithReferences) {
    TByteChunk out(*this);
    // A character reference in the set's own bytes (the same as ASCII in all but the EBCDIC sets).
    const auto putReference = [this, &out](uint32_t codePoint) {
        for (char c : XmlIntToCharRef(codePoint)) {
            const uint16_t byte = FCharset->encode(static_cast<unsigned char>(c));
            out.put(static_cast<uint8_t>(byte == TSingleByteCharset::kUndefinedByte ? c : byte));
        }
    };
    // Line ends in the set's own bytes (EBCDIC sets have their own); 0D and 0A where it has none.
    const uint16_t cr = FCharset->encode(0x0D), lf = FCharset->encode(0x0A);
    const auto crByte = static_cast<uint8_t>(cr == TSingleByteCharset::kUndefinedByte ? 0x0D : cr);
    const auto lfByte = static_cast<uint8_t>(lf == TSingleByteCharset::kUndefinedByte ? 0x0A : lf);
    const std::size_t n = Text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = Text[i];
        if (unit == 0x0A) {
            if (FNewLine != ntlLF) out.put(crByte);
            if (FNewLine != ntlCR) out.put(lfByte);
            continue;
        }
        if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            const bool pair = isHighSurrogate(unit) && i + 1 < n && isLowSurrogate(Text[i + 1]);
            if (!WithReferences || !pair) {
                out.emit();
                raiseInvalidCharacter();
            }
            putReference(codePointOf(unit, Text[i + 1]));
            ++i;
            continue;
        }
        // The converter's table directly: a refusal costs no exception.
        const uint16_t byte = FCharset->encode(unit);
        if (byte != TSingleByteCharset::kUndefinedByte) {
            out.put(static_cast<uint8_t>(byte));
        } else if (WithReferences) {
            putReference(unit);
        } else {
            out.emit();
            raiseInvalidCharacter();
        }
    }
    out.emit();
}

namespace {

/// The characters that character data writes as references: CR, "&", "<", ">".
constexpr auto kCharDataSpecial = [] {
    std::array<bool, 0x3F> table{};
    table[0x0D] = table[u'&'] = table[u'<'] = table[u'>'] = true;
    return table;
}();

inline bool isCharDataSpecial(char16_t c) {
    return c < 0x3F && kCharDataSpecial[c];
}

/// Whether one of four 16-bit units, all below 0x80, is a character of isCharDataSpecial.
/// A unit equal to the pattern's gives a zero lane; with every lane below 0x8000 the zero-lane
/// test answers exactly whether any lane is zero.
inline bool hasCharDataSpecialUnit(uint64_t word) {
    constexpr uint64_t kOnes = 0x0001000100010001ull;
    constexpr uint64_t kHighs = 0x8000800080008000ull;
    const auto zeroLane = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    return (zeroLane(word ^ (kOnes * 0x0D)) | zeroLane(word ^ (kOnes * u'&')) | zeroLane(word ^ (kOnes * u'<')) |
            zeroLane(word ^ (kOnes * u'>'))) != 0;
}

std::string_view charDataReference(char16_t c) {
    switch (c) {
    case 0x0D: return "&#xD;";
    case u'&': return "&amp;";
    case u'<': return "&lt;";
    default: return "&gt;";
    }
}

} // namespace

void TXmlOutputSource::writeCharData(std::u16string_view Text) {
    // UTF-8 escapes and encodes in one pass; the other encodings take the text piece by piece
    // (references in a single-byte set must be in the set's own bytes).
    if (!FConverter && FEncoding == kEncodingUTF8) return writeUTF8(Text, true);
    std::size_t start = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (!isCharDataSpecial(Text[i])) continue;
        if (i > start) writeTextWithReferences(Text.substr(start, i - start));
        const std::string_view ref = charDataReference(Text[i]);
        writeTextWithReferences(std::u16string(ref.begin(), ref.end()));
        start = i + 1;
    }
    if (start < Text.size()) writeTextWithReferences(Text.substr(start));
}

TXmlOutputSource::TCheckedWrite TXmlOutputSource::putCheckedCharData(std::u16string_view Text) {
    // A unit becomes at most five bytes ("&amp;", "&#xD;"); with that room assured the text is
    // encoded straight into the buffer and, should a unit be no XML character, taken back.
    const std::size_t n = Text.size();
    if (n > static_cast<std::size_t>(FBufferSize) / 5) return TCheckedWrite::NoRoom;
    if (static_cast<std::size_t>(FBufferSize - FUsed) < 5 * n) flush();
    uint8_t* out = FBuffer.get() + FUsed;
    const char16_t* in = Text.data();
    const char16_t* const end = in + n;
    const auto notXmlChar = [](char16_t c) { return c < 0x20 ? (c != 0x9 && c != 0xA && c != 0xD) : c >= 0xFFFE; };
#ifdef __SSE2__
    const __m128i space = _mm_set1_epi8(0x1F), amp = _mm_set1_epi8('&'), two = _mm_set1_epi8(2),
                  gt = _mm_set1_epi8('>');
    // The lanes of packed units that are not printable ASCII needing no reference: the
    // saturating pack keeps a unit's byte in 20-7F only for a unit in 20-7F, and "<" and ">"
    // differ only in the bit of 2.
    const auto odd = [&](__m128i b) {
        const __m128i special = _mm_or_si128(_mm_cmpeq_epi8(b, amp), _mm_cmpeq_epi8(_mm_or_si128(b, two), gt));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(special, _mm_cmpgt_epi8(b, space)))) ^ 0xFFFFu;
    };
#endif
    while (in < end) {
#ifdef __SSE2__
        // Sixteen (or eight) units at a time: their bytes are stored whole, the room being
        // assured, and the pointers moved up to the first unit that needs more.
        if (end - in >= 16) {
            const __m128i b = _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), b);
            const unsigned mask = odd(b);
            const unsigned plain = mask == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(mask));
            in += plain;
            out += plain;
            if (mask == 0) continue;
        } else if (end - in >= 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            const __m128i b = _mm_packus_epi16(v, v);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), b);
            const unsigned mask = odd(b) & 0xFFu;
            const unsigned plain = mask == 0 ? 8 : static_cast<unsigned>(__builtin_ctz(mask));
            in += plain;
            out += plain;
            if (mask == 0) continue;
        }
#endif
        const char16_t unit = *in;
        if (unit < 0x80) {
            if (isCharDataSpecial(unit)) {
                const std::string_view ref = charDataReference(unit);
                std::memcpy(out, ref.data(), ref.size());
                out += ref.size();
            } else if (notXmlChar(unit)) {
                return TCheckedWrite::NotXmlChars;
            } else {
                *out++ = static_cast<uint8_t>(unit);
            }
            ++in;
            continue;
        }
        uint32_t codePoint = unit;
        if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            if (!isHighSurrogate(unit) || end - in < 2 || !isLowSurrogate(in[1])) {
                // The check of the whole text comes first: a later unit that is no XML
                // character refuses the text before the lone surrogate raises.
                for (const char16_t* rest = in + 1; rest < end; ++rest)
                    if (notXmlChar(*rest)) return TCheckedWrite::NotXmlChars;
                FUsed = static_cast<int32_t>(out - FBuffer.get());
                raiseInvalidCharacter();
            }
            codePoint = codePointOf(unit, in[1]);
            ++in;
        } else if (unit >= 0xFFFE) {
            return TCheckedWrite::NotXmlChars;
        }
        ++in;
        out += PutUtf8(codePoint, out);
    }
    FUsed = static_cast<int32_t>(out - FBuffer.get());
    return TCheckedWrite::Written;
}

void TXmlOutputSource::writeUTF8(std::u16string_view Text, bool CharData) {
    // Encoded straight into the buffer; a buffer too small for one character takes the bytes
    // through writeBytes instead.
    const std::size_t n = Text.size();
    uint8_t scratch[4];
    const bool direct = FBufferSize >= 8;
    for (std::size_t i = 0; i < n; ++i) {
        if (CharData && isCharDataSpecial(Text[i])) {
            const std::string_view ref = charDataReference(Text[i]);
            if (!direct) {
                writeBytes(ref.data(), static_cast<int32_t>(ref.size()));
                continue;
            }
            if (FUsed > FBufferSize - 5) flush();
            std::memcpy(FBuffer.get() + FUsed, ref.data(), ref.size());
            FUsed += static_cast<int32_t>(ref.size());
            continue;
        }
        if (direct && Text[i] < 0x80) {
            // A run of ASCII units is copied in one tight loop.
            if (FUsed == FBufferSize) flush();
            uint8_t* out = FBuffer.get() + FUsed;
            const std::size_t room = static_cast<std::size_t>(FBufferSize - FUsed);
            const std::size_t limit = std::min(room, n - i);
            const char16_t* in = Text.data() + i;
            std::size_t k = 0;
#ifdef __SSE2__
            // Eight units at a time while all eight are ASCII (and, in character data, none
            // needs a reference): packed to their bytes in one store.
            {
                const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
                const __m128i zero = _mm_setzero_si128();
                const __m128i cr = _mm_set1_epi16(0x0D), amp = _mm_set1_epi16(u'&'), lt = _mm_set1_epi16(u'<'),
                              gt = _mm_set1_epi16(u'>');
                for (; k + 8 <= limit; k += 8) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
                    __m128i odd = _mm_xor_si128(_mm_cmpeq_epi16(_mm_and_si128(v, high), zero), _mm_set1_epi16(-1));
                    if (CharData)
                        odd = _mm_or_si128(odd, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, amp)),
                                                             _mm_or_si128(_mm_cmpeq_epi16(v, lt), _mm_cmpeq_epi16(v, gt))));
                    if (_mm_movemask_epi8(odd) != 0) break;
                    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(v, v));
                }
            }
#endif
            if (CharData) {
                // Four units at a time while all four are ASCII and none needs a reference.
                for (uint64_t word; k + 4 <= limit; k += 4) {
                    std::memcpy(&word, in + k, 8);
                    if ((word & 0xFF80FF80FF80FF80ull) || hasCharDataSpecialUnit(word)) break;
                    out[k] = static_cast<uint8_t>(in[k]);
                    out[k + 1] = static_cast<uint8_t>(in[k + 1]);
                    out[k + 2] = static_cast<uint8_t>(in[k + 2]);
                    out[k + 3] = static_cast<uint8_t>(in[k + 3]);
                }
                for (char16_t c; k < limit && (c = in[k]) < 0x80 && !isCharDataSpecial(c); ++k)
                    out[k] = static_cast<uint8_t>(c);
                FUsed += static_cast<int32_t>(k);
                i += k - 1;
                continue;
            }
            // Four units at a time while all four are ASCII, then unit by unit.
            for (uint64_t word; k + 4 <= limit; k += 4) {
                std::memcpy(&word, in + k, 8);
                if (word & 0xFF80FF80FF80FF80ull) break;
                out[k] = static_cast<uint8_t>(in[k]);
                out[k + 1] = static_cast<uint8_t>(in[k + 1]);
                out[k + 2] = static_cast<uint8_t>(in[k + 2]);
                out[k + 3] = static_cast<uint8_t>(in[k + 3]);
            }
            while (k < limit && in[k] < 0x80) {
                out[k] = static_cast<uint8_t>(in[k]);
                ++k;
            }
            i += k;
            FUsed += static_cast<int32_t>(k);
            --i;
            continue;
        }
        const char16_t unit = Text[i];
        uint32_t codePoint = unit;
        if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            // Text that begins with U+FEFF keeps it: it is a character of the document here.
            if (!isHighSurrogate(unit) || i + 1 >= n || !isLowSurrogate(Text[i + 1])) raiseInvalidCharacter();
            codePoint = codePointOf(unit, Text[++i]);
        }
        if (direct && FUsed > FBufferSize - 4) flush();
        uint8_t* out = direct ? FBuffer.get() + FUsed : scratch;
        const int32_t count = PutUtf8(codePoint, out);
        if (direct) FUsed += count;
        else writeBytes(scratch, count);
    }
}

void TXmlOutputSource::writeUTF16(std::u16string_view Text, bool Exchanged) {
    TByteChunk out(*this);
    for (char16_t unit : Text) {
        if (Exchanged) unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
        uint8_t two[2];
        std::memcpy(two, &unit, 2);
        out.put(two[0]);
        out.put(two[1]);
    }
    out.emit();
}

void TXmlOutputSource::writeUCS2WithReferences(std::u16string_view Text) {
    TByteChunk out(*this);
    const auto putUnit = [&out](char16_t unit) {
        uint8_t two[2];
        std::memcpy(two, &unit, 2);
        out.put(two[0]);
        out.put(two[1]);
    };
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char16_t unit = Text[i];
        if (isHighSurrogate(unit) && i + 1 < Text.size() && isLowSurrogate(Text[i + 1])) {
            for (char c : XmlIntToCharRef(codePointOf(unit, Text[i + 1])))
                putUnit(static_cast<uint8_t>(c));
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            out.emit();
            raiseInvalidCharacter();
        } else {
            putUnit(unit);
        }
    }
    out.emit();
}

// --- buffered reading -------------------------------------------------------------------------

TdomCustomReader::TdomCustomReader(TStream* Stream, int32_t BufferSize)
    : FStream(requireStream(Stream)), FBuffer(new uint8_t[BufferSize > 0 ? BufferSize : 0]),
      FBufferSize(BufferSize > 0 ? BufferSize : 0) {}

void TdomCustomReader::unreadBuffer() {
    const int32_t unread = FAvailable - FReadPos;
    FReadPos = 0;
    FAvailable = 0;
    if (unread > 0) FStream->Seek(-static_cast<int64_t>(unread), soCurrent);
}

bool TdomCustomReader::readBytes(void* Buffer, int32_t Count) {
    if (Count <= 0) return true;
    if (FAvailable - FReadPos < Count) {
        unreadBuffer();
        if (Count > FBufferSize) return FStream->Read(Buffer, Count) > 0;
        const int32_t got = FStream->Read(FBuffer.get(), FBufferSize);
        FAvailable = got > 0 ? got : 0;
        // The data ends inside the Count bytes: nothing is handed out, the bytes stay buffered.
        if (FAvailable < Count) return false;
    }
    std::memcpy(Buffer, FBuffer.get() + FReadPos, static_cast<std::size_t>(Count));
    FReadPos += Count;
    return true;
}

int64_t TdomCustomReader::getPosition() const {
    return FStream->Position() - (FAvailable - FReadPos);
}

void TdomCustomReader::seekTo(int64_t Position) {
    FStream->Seek(Position, soBeginning);
    FReadPos = 0;
    FAvailable = 0;
}

// --- the input source -------------------------------------------------------------------------

TXmlInputSource::TXmlInputSource(TStream* Stream, int32_t BufferSize, int32_t TabWidth,
                                 const WideString& PublicId, const WideString& SystemId)
    : TdomCustomReader(Stream, BufferSize), FPublicId(PublicId), FSystemId(SystemId) {
    FStartPosition = FStream->Position();
    readDeclaration();
    // The first character after the mark and the declaration is at line 1, column 1.
    FLocator = std::make_unique<TdomInputSourceLocator>(this, 1, 0, 1, 0, TabWidth);
}

TXmlInputSource::~TXmlInputSource() = default;

int32_t TXmlInputSource::getLocatorByteOffset() const {
    return static_cast<int32_t>(getPosition() - FStartPosition);
}

TXmlInputSource::TMark TXmlInputSource::detectMark(bool& CutShort) {
    uint8_t first[3] = {0, 0, 0};
    int got = 0;
    while (got < 3 && nextByte(first[got]))
        ++got;
    CutShort = false;
    FEncoding = kEncodingUTF8;
    if (got >= 2 && first[0] == 0xFF && first[1] == 0xFE) {
        FEncoding = kEncodingUTF16BE;
        seekTo(FStartPosition + 2);
        return TMark::MachineOrder;
    }
    if (got >= 2 && first[0] == 0xFE && first[1] == 0xFF) {
        FEncoding = kEncodingUTF16LE;
        seekTo(FStartPosition + 2);
        return TMark::Exchanged;
    }
    if (got >= 2 && first[0] == 0xEF && first[1] == 0xBB) {
        if (got == 3 && first[2] == 0xBF) {
            seekTo(FStartPosition + 3);
            return TMark::UTF8;
        }
        // EF BB followed by another continuation byte is U+FEC0 to U+FEFE in UTF-8: text, read
        // as such; any other third byte cannot start a document.
        if (got == 3 && (first[2] < 0x80 || first[2] > 0xBF))
            FEncoding = kEncodingNone; // reading the first character raises
        else
            CutShort = true;
    }
    seekTo(FStartPosition);
    return TMark::None;
}

void TXmlInputSource::readDeclaration() {
    bool cutShort;
    const TMark mark = detectMark(cutShort);
    const int64_t afterMark = getPosition();
    FContentStart = afterMark;
    FDeclarationKind = kDeclNone;
    if (cutShort) return; // EF BB and nothing more: no declaration
    static const char16_t kOpen[] = u"<?xml";
    int32_t c = -1;
    for (int i = 0; i < 5; ++i) {
        if (!getNextCodePoint(c) || c != kOpen[i]) {
            seekTo(afterMark);
            FDeclarationKind = kDeclNone;
            return;
        }
    }
    getNextCodePoint(c);
    // "<?xml" that goes on with a name character opens a processing instruction such as
    // "<?xml-stylesheet", not a declaration.
    if (c >= 0 && IsXmlNameChar(static_cast<UCS4Char>(c))) {
        seekTo(afterMark);
        FDeclarationKind = kDeclNone;
        return;
    }
    FDeclarationKind = kDeclXmlOrText;
    if (!readDeclarationBody(c)) {
        FDeclarationFault = true;
        FContentStart = getPosition();
        return;
    }
    FContentStart = getPosition();
    if (!FDeclaredEncoding.empty()) applyDeclaredEncoding(mark);
}

bool TXmlInputSource::readDeclarationBody(int32_t& C) {
    skipWhiteSpace(C);
    if (C == 'v') {
        if (!readPseudoAttribute(C, "version", FDeclaredVersion, &isVersionNumChar, &isVersionNumChar))
            return false;
    } else {
        FDeclarationKind = kDeclText;
    }
    if (C == 'e') {
        if (!readPseudoAttribute(C, "encoding", FDeclaredEncoding, &isEncNameStartChar, &isEncNameChar))
            return false;
    } else {
        if (FDeclarationKind == kDeclText) return false;
        FDeclarationKind = kDeclXml;
    }
    if (C == 's') {
        if (FDeclarationKind == kDeclText) return false;
        FDeclarationKind = kDeclXml;
        WideString value;
        if (!readPseudoAttribute(C, "standalone", value, &isStandaloneChar, &isStandaloneChar)) return false;
        if (value == u"yes")
            FDeclaredStandalone = STANDALONE_YES;
        else if (value == u"no")
            FDeclaredStandalone = STANDALONE_NO;
        else
            return false;
    }
    if (C != '?') return false;
    getNextCodePoint(C);
    return C == '>';
}

bool TXmlInputSource::readPseudoAttribute(int32_t& C, const char* Name, WideString& Value,
                                          bool (*First)(int32_t), bool (*Rest)(int32_t)) {
    if (!matchRest(C, Name)) return false;
    skipWhiteSpace(C);
    if (C != '=') return false;
    getNextCodePoint(C);
    skipWhiteSpace(C);
    if (C != '\'' && C != '"') return false;
    const int32_t quote = C;
    WideString value;
    getNextCodePoint(C);
    if (!First(C)) return false;
    while (Rest(C)) {
        value.push_back(static_cast<char16_t>(C));
        getNextCodePoint(C);
    }
    if (C != quote) return false;
    Value = value;
    getNextCodePoint(C);
    skipWhiteSpace(C);
    return true;
}

bool TXmlInputSource::matchRest(int32_t& C, const char* Word) {
    for (const char* p = Word; *p; ++p) {
        if (C != static_cast<unsigned char>(*p)) return false;
        getNextCodePoint(C);
    }
    return true;
}

void TXmlInputSource::skipWhiteSpace(int32_t& C) {
    while (C >= 0 && IsXmlWhiteSpace(static_cast<UCS4Char>(C)))
        getNextCodePoint(C);
}

void TXmlInputSource::applyDeclaredEncoding(TMark Mark) {
    const std::string name = wideToUSASCII(FDeclaredEncoding);
    uint8_t index = encodingIndexOf(name);
    if (Mark == TMark::Exchanged && index == kEncodingUTF16BE) {
        // "UTF-16" names both byte orders, and the mark says which one the bytes have.
        TCSMIB registry;
        if (registry.setToAlias(name) && registry.getEnum() == kMIBUTF16) index = kEncodingUTF16LE;
    }
    if (index == kEncodingNone) {
        FEncodingMismatch = true;
        return;
    }
    bool agrees = true;
    switch (Mark) {
    case TMark::MachineOrder:
        agrees = index == kEncodingUTF16BE || index == kEncodingUCS2;
        break;
    case TMark::Exchanged:
        agrees = index == kEncodingUTF16LE;
        break;
    case TMark::UTF8:
        agrees = index == kEncodingUTF8;
        break;
    case TMark::None:
        break;
    }
    FEncodingMismatch = !agrees;
    FEncoding = index;
    FDecoder = decoderOf(index);
    FCharset = singleByteCharsetOf(index);
}

void TXmlInputSource::raiseSequenceError(const char16_t* Pattern, int64_t Position) {
    throw EConvertError(Format(Pattern, {static_cast<long long>(Position)}));
}

bool TXmlInputSource::getNextCodePoint(int32_t& CodePoint) {
    uint8_t byte;
    if (FEncoding == kEncodingUTF8) {
        if (!nextByte(byte)) {
            CodePoint = -1;
            return false;
        }
        if (byte < 0x80) {
            CodePoint = byte;
            return true;
        }
        return readUTF8(CodePoint, byte);
    }
    if (FEncoding >= kEncodingUTF16BE && FEncoding <= kEncodingUCS2)
        return readUTF16(CodePoint, FEncoding == kEncodingUTF16LE);
    if (!FDecoder) throw EConvertError(msg::kEncodingSchemeNotSupported);
    if (!nextByte(byte)) {
        CodePoint = -1;
        return false;
    }
    const char16_t unit = FCharset->decode(byte);
    if (unit == TSingleByteCharset::kUndefinedUnit) raiseDecodeError(*FCharset, byte);
    CodePoint = unit;
    return true;
}

bool TXmlInputSource::readUTF8(int32_t& CodePoint, uint8_t Lead) {
    // Positions are asked of the stream only on a fault: consumed counts the bytes since the lead.
    int consumed = 1;
    if ((Lead & 0xC0) != 0xC0 || Lead >= 0xFE) raiseSequenceError(msg::kInvalidUTF8, getPosition() - 1);
    int continuation = 1;
    for (uint8_t mask = 0x20; Lead & mask; mask >>= 1)
        ++continuation;
    uint32_t value = Lead & (0x3F >> continuation);
    for (int i = 0; i < continuation; ++i) {
        uint8_t next;
        if (!nextByte(next)) raiseSequenceError(msg::kInvalidUTF8, getPosition());
        ++consumed;
        if ((next & 0xC0) != 0x80) raiseSequenceError(msg::kInvalidUTF8, getPosition() - 1);
        value = (value << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kShorterMax[] = {0, 0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF};
    // Overlong forms, surrogates and values beyond U+10FFFF are no characters.
    if (value <= kShorterMax[continuation] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        raiseSequenceError(msg::kInvalidUTF8, getPosition() - consumed);
    CodePoint = static_cast<int32_t>(value);
    return true;
}

bool TXmlInputSource::readUTF16(int32_t& CodePoint, bool Exchanged) {
    const char16_t* pattern = FEncoding == kEncodingUCS2 ? msg::kInvalidUCS2
                              : Exchanged                ? msg::kInvalidUTF16LE
                                                         : msg::kInvalidUTF16BE;
    const auto readUnit = [&](char16_t& unit, bool atStart) {
        uint8_t two[2];
        if (!nextByte(two[0])) {
            if (atStart) return false;
            raiseSequenceError(pattern, getPosition());
        }
        if (!nextByte(two[1])) raiseSequenceError(pattern, getPosition());
        if (Exchanged) std::swap(two[0], two[1]);
        std::memcpy(&unit, two, 2);
        return true;
    };
    char16_t unit;
    if (!readUnit(unit, true)) {
        CodePoint = -1;
        return false;
    }
    if (FEncoding == kEncodingUCS2) {
        if (isHighSurrogate(unit) || isLowSurrogate(unit)) raiseSequenceError(pattern, getPosition() - 2);
        CodePoint = unit;
        return true;
    }
    if (isLowSurrogate(unit)) raiseSequenceError(pattern, getPosition() - 2);
    if (isHighSurrogate(unit)) {
        char16_t low;
        if (!readUnit(low, false)) raiseSequenceError(pattern, getPosition());
        if (!isLowSurrogate(low)) raiseSequenceError(pattern, getPosition() - 2);
        CodePoint = static_cast<int32_t>(codePointOf(unit, low));
        return true;
    }
    CodePoint = unit;
    return true;
}

bool TXmlInputSource::getNextChar(int32_t& CodePoint) {
    int32_t c;
    if (FLookAhead == -1 && FEncoding == kEncodingUTF8 && FReadPos < FAvailable && FBuffer[FReadPos] < 0x80 &&
        FBuffer[FReadPos] != 0x0D) {
        // Plain ASCII from the buffer: the common case, without the decoder.
        c = FBuffer[FReadPos++];
    } else if (FLookAhead != -1) {
        c = FLookAhead;
        FLookAhead = -1;
    } else if (!getNextCodePoint(c)) {
        CodePoint = -1;
        return false;
    }
    if (c == 0x0D && !FKeepCarriageReturns) {
        c = 0x0A;
        int32_t next;
        if (getNextCodePoint(next) && next != 0x0A) FLookAhead = next;
    }
    FLocator->advance(static_cast<UCS4Char>(c));
    CodePoint = c;
    return true;
}

std::size_t TXmlInputSource::readPlainRunUTF16(WideString& Text, const TXmlRunStops& Stops) {
    // Whole units lying in the buffer, read as readUTF16 reads them; surrogates, U+FFFE, U+FFFF
    // and the stops are left to getNextChar.
    const bool exchanged = FEncoding == kEncodingUTF16LE;
    const uint8_t* const begin = FBuffer.get() + FReadPos;
    const std::size_t room = static_cast<std::size_t>(FAvailable - FReadPos) / 2;
    const int32_t tab = FLocator->getTabWidth();
    int32_t lineFeeds = 0, columns = 0;
    const auto unitAt = [&](std::size_t i) {
        char16_t unit;
        std::memcpy(&unit, begin + 2 * i, 2);
        return exchanged ? static_cast<char16_t>((unit >> 8) | (unit << 8)) : unit;
    };
    // First the extent of the run (and the locator's move), then its units in one piece.
    std::size_t units = 0;
    for (; units < room; ++units) {
        const char16_t unit = unitAt(units);
        if (unit < 0x80) {
            if (Stops.Stop[unit]) break;
            if (unit == 0x0A) {
                ++lineFeeds;
                columns = 0;
            } else {
                columns += unit == 0x09 ? tab : 1;
            }
        } else if ((unit >= 0xD800 && unit <= 0xDFFF) || unit >= 0xFFFE) {
            break;
        } else {
            ++columns;
        }
    }
    if (units == 0) return 0;
    const std::size_t oldSize = Text.size();
    Text.resize(oldSize + units);
    if (exchanged) {
        for (std::size_t i = 0; i < units; ++i) Text[oldSize + i] = unitAt(i);
    } else {
        std::memcpy(Text.data() + oldSize, begin, 2 * units);
    }
    FReadPos += static_cast<int32_t>(2 * units);
    FLocator->advanceRun(lineFeeds, columns);
    return units;
}

std::size_t TXmlInputSource::readPlainRun(WideString& Text, const TXmlRunStops& Stops) {
    if (FEncoding != kEncodingUTF8 || FLookAhead != -1) {
        const bool sixteenBit = FEncoding >= kEncodingUTF16BE && FEncoding <= kEncodingUCS2;
        return sixteenBit && FLookAhead == -1 ? readPlainRunUTF16(Text, Stops) : 0;
    }
    const uint8_t* const begin = FBuffer.get() + FReadPos;
    const uint8_t* const end = FBuffer.get() + FAvailable;
    const int32_t tab = FLocator->getTabWidth();
    int32_t lineFeeds = 0, columns = 0;
    std::size_t units = 0;
    // First the extent of the run (and the locator's move), then its characters in one piece.
    const uint8_t* p = begin;
    while (p < end) {
#ifdef __SSE2__
        // Sixteen plain ASCII characters at a time: none below 0x20 (line feeds and tabs
        // included), none from 0x80, none of the stops.
        if (end - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            __m128i odd = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)); // bytes from 0x80 are negative
            const auto* splat = reinterpret_cast<const __m128i*>(Stops.Splat);
            odd = _mm_or_si128(odd, _mm_cmpeq_epi8(v, _mm_load_si128(splat)));
            odd = _mm_or_si128(odd, _mm_cmpeq_epi8(v, _mm_load_si128(splat + 1)));
            odd = _mm_or_si128(odd, _mm_cmpeq_epi8(v, _mm_load_si128(splat + 2)));
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(odd));
            const unsigned plain = mask ? static_cast<unsigned>(__builtin_ctz(mask)) : 16u;
            p += plain;
            units += plain;
            columns += static_cast<int32_t>(plain);
            if (plain == 16) continue;
        }
#endif
        const uint8_t b = *p;
        if (b < 0x80) {
            if (Stops.Stop[b]) break;
            if (b == 0x0A) {
                ++lineFeeds;
                columns = 0;
            } else {
                columns += b == 0x09 ? tab : 1;
            }
            ++p;
        } else if (b >= 0xC2 && b < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            p += 2;
            ++columns;
        } else if ((b & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            const uint32_t c = ((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE) break;
            p += 3;
            ++columns;
        } else {
            break;
        }
        ++units;
    }
    if (units == 0) return 0;
    const std::size_t oldSize = Text.size();
    Text.resize(oldSize + units);
    char16_t* o = Text.data() + oldSize;
    if (units == static_cast<std::size_t>(p - begin)) {
        // All ASCII (the common case): each byte is its unit.
        const uint8_t* q = begin;
#ifdef __SSE2__
        const __m128i zero = _mm_setzero_si128();
        for (; p - q >= 16; q += 16, o += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
        }
#endif
        for (; q < p; ++q) *o++ = *q;
        FReadPos = static_cast<int32_t>(p - FBuffer.get());
        FLocator->advanceRun(lineFeeds, columns);
        return units;
    }
    for (const uint8_t* q = begin; q < p;) {
#ifdef __SSE2__
        if (p - q >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            if (_mm_movemask_epi8(v) == 0) {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
                o += 16;
                q += 16;
                continue;
            }
        }
#endif
        const uint8_t b = *q;
        if (b < 0x80) {
            *o++ = b;
            ++q;
        } else if (b < 0xE0) {
            *o++ = static_cast<char16_t>(((b & 0x1F) << 6) | (q[1] & 0x3F));
            q += 2;
        } else {
            *o++ = static_cast<char16_t>(((b & 0x0F) << 12) | ((q[1] & 0x3F) << 6) | (q[2] & 0x3F));
            q += 3;
        }
    }
    FReadPos = static_cast<int32_t>(p - FBuffer.get());
    FLocator->advanceRun(lineFeeds, columns);
    return units;
}

std::size_t TXmlInputSource::decodeBufferedUTF8(char16_t* Out, std::size_t Room) {
    // Well-formed one- to three-byte forms that lie wholly in the buffer; anything else (a
    // four-byte form, a fault, the buffer's end) is left to getNextCodePoint.
    const uint8_t* p = FBuffer.get() + FReadPos;
    const uint8_t* const end = FBuffer.get() + FAvailable;
    char16_t* o = Out;
    char16_t* const oEnd = Out + Room;
    while (p < end && o < oEnd) {
        const uint8_t b = *p;
        if (b < 0x80) {
            *o++ = b;
            ++p;
        } else if (b >= 0xC2 && b < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            *o++ = static_cast<char16_t>(((b & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if ((b & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            const uint32_t c = ((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) break;
            *o++ = static_cast<char16_t>(c);
            p += 3;
        } else {
            break;
        }
    }
    FReadPos = static_cast<int32_t>(p - FBuffer.get());
    return static_cast<std::size_t>(o - Out);
}

void XmlNormalizeLineEnds(WideString& Text) {
    std::size_t at = Text.find(u'\r');
    if (at == WideString::npos) return;
    std::size_t out = at;
    for (std::size_t i = at; i < Text.size(); ++i) {
        if (Text[i] != u'\r') {
            Text[out++] = Text[i];
            continue;
        }
        Text[out++] = u'\n';
        if (i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
    }
    Text.resize(out);
}

void TXmlInputSource::getRemainingText(WideString& Text) {
    const int64_t position = getPosition();
    const int32_t lookAhead = FLookAhead;
    WideString text;
    try {
        if (lookAhead != -1) AppendCodePoint(text, lookAhead);
        // Each remaining byte gives at most one unit (a four-byte form gives two).
        const int64_t remaining = FStream->Size() - position;
        std::size_t used = text.size();
        text.resize(used + static_cast<std::size_t>(remaining > 0 ? remaining : 0) + 2);
        int32_t c;
        for (;;) {
            if (text.size() - used < 16) text.resize(text.size() * 2 + 16);
            if (FEncoding == kEncodingUTF8)
                used += decodeBufferedUTF8(text.data() + used, text.size() - used - 2);
            if (!getNextCodePoint(c)) break;
            if (c > 0xFFFF) {
                text[used++] = static_cast<char16_t>(highSurrogateOf(static_cast<uint32_t>(c)));
                text[used++] = static_cast<char16_t>(lowSurrogateOf(static_cast<uint32_t>(c)));
            } else {
                text[used++] = static_cast<char16_t>(c);
            }
        }
        text.resize(used);
    } catch (...) {
        seekTo(position);
        FLookAhead = lookAhead;
        throw;
    }
    seekTo(position);
    FLookAhead = lookAhead;
    Text = std::move(text);
}

} // namespace xmldom
