// Encoding indices of the XML library: the index table, the lookup from an encoding name to
// an index, the name of the active code page, the surrogate helpers and the conversions of
// whole texts to and from single-byte sets, US-ASCII and UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "XmlCharsets.h"
#include "XmlSupport.h"

namespace xmldom {

/// Encoding indices with a form of their own; 5-76 are the single-byte sets of XmlCharsets.h.
inline constexpr uint8_t kEncodingNone = 0; ///< not a usable encoding
inline constexpr uint8_t kEncodingUTF8 = 1;
inline constexpr uint8_t kEncodingUTF16BE = 2; ///< "UTF-16BE" and "UTF-16": machine order
inline constexpr uint8_t kEncodingUTF16LE = 3; ///< "UTF-16LE": bytes exchanged
inline constexpr uint8_t kEncodingUCS2 = 4;    ///< "ISO-10646-UCS-2": as 2, no surrogates
inline constexpr uint8_t kEncodingUSASCII = 5;
inline constexpr uint8_t kEncodingISO8859_1 = 6;

/// The index of an encoding name: the private names first (ignoring letter case), then the
/// registered names and aliases; 0 when the name has no index.
uint8_t encodingIndexOf(std::string_view Name);

/// The name of the system's active (ANSI) code page, as encodingIndexOf knows it; a code page
/// without a name raises EConvertError "Invalid encoding.".
std::string activeCodePageName();
/// The same for a given code page number.
std::string codePageName(unsigned CodePage);

inline uint32_t highSurrogateOf(uint32_t CodePoint) {
    return (CodePoint >> 10) + 0xD7C0;
}
inline uint32_t lowSurrogateOf(uint32_t CodePoint) {
    return (CodePoint & 0x3FF) ^ 0xDC00;
}
inline uint32_t codePointOf(uint32_t High, uint32_t Low) {
    return ((High - 0xD7C0) << 10) + (Low ^ 0xDC00);
}
inline bool isHighSurrogate(uint32_t Unit) {
    return Unit >= 0xD800 && Unit <= 0xDBFF;
}
inline bool isLowSurrogate(uint32_t Unit) {
    return Unit >= 0xDC00 && Unit <= 0xDFFF;
}

/// Text encoded unit by unit with Encoder. A leading U+FEFF is dropped; a leading U+FFFE is
/// dropped too and every following unit has its two bytes exchanged before it is encoded.
/// The encoder's EConvertError passes to the caller.
std::string wideToSingleByte(std::u16string_view Text, TSingleByteEncoder Encoder);
/// Bytes decoded one by one with Decoder; its EConvertError passes to the caller.
WideString singleByteToWide(std::string_view Bytes, TSingleByteDecoder Decoder);
/// wideToSingleByte with the US-ASCII encoder: EConvertError "Invalid US-ASCII sequence of
/// Unicode code point %d" for a unit of 128 or more.
std::string wideToUSASCII(std::u16string_view Text);
/// UTF-16 to UTF-8 as TUTF16BEToUTF8Stream converts it (a leading U+FEFF is dropped; surrogate
/// faults raise EConvertError). An empty text gives an empty string.
std::string utf16ToUTF8(std::u16string_view Text);

} // namespace xmldom
