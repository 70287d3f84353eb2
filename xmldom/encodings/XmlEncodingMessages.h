// The fixed message texts of the encoding layer (single-byte sets, encoding names, the
// character-set registry, conversion streams and byte sources), in one table. Patterns are
// filled by Format (XmlSupport.h).
#pragma once

namespace xmldom::msg {

// Single-byte sets: "Invalid " + the set's name + one of these.
inline constexpr char16_t kInvalidPrefix[] = u"Invalid ";
inline constexpr char16_t kDecodeSuffix[] = u" sequence of code point %d";
inline constexpr char16_t kEncodeSuffix[] = u" sequence of Unicode code point %d";

// Encoding names and the registry.
inline constexpr char16_t kInvalidEncoding[] = u"Invalid encoding.";
inline constexpr char16_t kInvalidMIBNumber[] = u"Invalid MIB number";

// Conversion streams.
inline constexpr char16_t kNoTargetStream[] = u"Must have a target stream";
inline constexpr char16_t kHighSurrogateWithoutLowUnit[] = u"High surrogate %4.4X without low surrogate.";
inline constexpr char16_t kLowSurrogateWithoutHighUnit[] = u"Low surrogate %4.4X without high surrogate.";

// Output and input sources.
inline constexpr char16_t kStreamNotSpecified[] = u"Stream not specified.";
inline constexpr char16_t kInvalidCharacterWrite[] = u"Invalid Character";
inline constexpr char16_t kEncodingSchemeNotSupported[] = u"Encoding scheme not supported.";
inline constexpr char16_t kInvalidUTF8[] = u"Invalid UTF-8 sequence at position %d";
inline constexpr char16_t kInvalidUTF16BE[] = u"Invalid UTF-16BE sequence at position %d";
inline constexpr char16_t kInvalidUTF16LE[] = u"Invalid UTF-16LE sequence at position %d";
inline constexpr char16_t kInvalidUCS2[] = u"Invalid ISO-10646-UCS-2 encoding at position %d";

} // namespace xmldom::msg
