// The single-byte character sets of the XML library (encoding indices 5 to 76): for each set a
// decoder (byte to UTF-16 unit) and an encoder (UTF-16 unit to byte) over compiled tables.
// The encoding registry (XmlEncodings.h) selects them; the input and output sources call them.
#pragma once

#include <cstdint>
#include <string_view>

#include "XmlSupport.h"

namespace xmldom {

/// Byte (0-255, passed as a 16-bit unit) to its unit. An undefined byte raises EConvertError
/// "Invalid <set> sequence of code point %d" with the byte value.
using TSingleByteDecoder = WideChar (*)(WideChar Byte);
/// Unit to its byte. A unit the set cannot hold raises EConvertError
/// "Invalid <set> sequence of Unicode code point %d" with the unit.
using TSingleByteEncoder = uint8_t (*)(WideChar Unit);

/// The tables behind one set's converter pair, for loops that convert whole texts.
struct TSingleByteCharset {
    uint8_t Index;                 ///< encoding index, 5-76
    const char* Name;              ///< the set's name in the encoder's messages
    const char* DecoderName;       ///< the set's name in the decoder's messages
    const char16_t* DecodeTable;   ///< 256 units; kUndefinedUnit where the byte is undefined
    const uint16_t* EncodePageMap; ///< page of each high byte of a unit
    TSingleByteDecoder Decoder;
    TSingleByteEncoder Encoder;

    static constexpr char16_t kUndefinedUnit = 0xFFFF;
    static constexpr uint16_t kUndefinedByte = 0xFFFF;

    /// The unit of Byte, or kUndefinedUnit.
    char16_t decode(uint8_t Byte) const { return DecodeTable[Byte]; }
    /// The byte of Unit, or kUndefinedByte.
    uint16_t encode(WideChar Unit) const;
};

/// The set of an encoding index (taken modulo 128); nullptr outside 5-76.
const TSingleByteCharset* singleByteCharsetOf(uint8_t Index);
/// The set whose decoder or encoder is the given function; nullptr for any other function.
const TSingleByteCharset* singleByteCharsetOf(TSingleByteDecoder Decoder);
const TSingleByteCharset* singleByteCharsetOf(TSingleByteEncoder Encoder);

/// The single-byte decoder and encoder of an encoding index (modulo 128); nullptr outside 5-76.
TSingleByteDecoder decoderOf(uint8_t Index);
TSingleByteEncoder encoderOf(uint8_t Index);

/// Raises the decoder's EConvertError of Set for Byte.
[[noreturn]] void raiseDecodeError(const TSingleByteCharset& Set, uint32_t Byte);
/// Raises the encoder's EConvertError of Set for Unit.
[[noreturn]] void raiseEncodeError(const TSingleByteCharset& Set, uint32_t Unit);

/// Bytes decoded with the ISO-8859-1 decoder (every byte gives itself).
WideString DecodeLatin1(std::string_view Bytes);
/// The US-ASCII encoder: U+0000-U+007F give themselves, others raise.
uint8_t EncodeUSASCII(WideChar Unit);

} // namespace xmldom
