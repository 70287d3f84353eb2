// The single-byte converters: one decoder and one encoder function per set, instantiated from
// the generated tables of XmlCharsetTables.inc (tools/gen_charsets), and their error messages.
#include "XmlCharsets.h"

#include "XmlEncodingMessages.h"

#include <array>
#include <string>
#include <utility>

namespace xmldom {

namespace {
#include "XmlCharsetTables.inc"

static_assert(kUndefinedUnit == TSingleByteCharset::kUndefinedUnit);
static_assert(kUndefinedByte == TSingleByteCharset::kUndefinedByte);

WideString widen(const std::string& text) {
    return WideString(text.begin(), text.end());
}

template <int N> WideChar decodeSet(WideChar Byte);
template <int N> uint8_t encodeSet(WideChar Unit);

template <std::size_t... N>
constexpr std::array<TSingleByteCharset, kCharsetCount> makeCharsets(std::index_sequence<N...>) {
    return {TSingleByteCharset{static_cast<uint8_t>(kFirstCharsetIndex + N), kCharsetEncoderNames[N],
                               kCharsetDecoderNames[N], kCharsetDecodeTables[N], kCharsetEncodePageMaps[N],
                               &decodeSet<N>, &encodeSet<N>}...};
}

constexpr std::array<TSingleByteCharset, kCharsetCount> kCharsets =
    makeCharsets(std::make_index_sequence<kCharsetCount>());

template <int N> WideChar decodeSet(WideChar Byte) {
    if (Byte < 256) {
        const char16_t unit = kCharsetDecodeTables[N][Byte];
        if (unit != kUndefinedUnit) return unit;
    }
    raiseDecodeError(kCharsets[N], Byte);
}

template <int N> uint8_t encodeSet(WideChar Unit) {
    const uint16_t byte = kCharsetEncodePages[kCharsetEncodePageMaps[N][Unit >> 8]][Unit & 0xFF];
    if (byte != kUndefinedByte) return static_cast<uint8_t>(byte);
    raiseEncodeError(kCharsets[N], Unit);
}

} // namespace

uint16_t TSingleByteCharset::encode(WideChar Unit) const {
    return kCharsetEncodePages[EncodePageMap[Unit >> 8]][Unit & 0xFF];
}

const TSingleByteCharset* singleByteCharsetOf(uint8_t Index) {
    const int n = (Index % 128) - kFirstCharsetIndex;
    if (n < 0 || n >= kCharsetCount) return nullptr;
    return &kCharsets[n];
}

const TSingleByteCharset* singleByteCharsetOf(TSingleByteDecoder Decoder) {
    for (const TSingleByteCharset& set : kCharsets)
        if (set.Decoder == Decoder) return &set;
    return nullptr;
}

const TSingleByteCharset* singleByteCharsetOf(TSingleByteEncoder Encoder) {
    for (const TSingleByteCharset& set : kCharsets)
        if (set.Encoder == Encoder) return &set;
    return nullptr;
}

TSingleByteDecoder decoderOf(uint8_t Index) {
    const TSingleByteCharset* set = singleByteCharsetOf(Index);
    return set ? set->Decoder : nullptr;
}

TSingleByteEncoder encoderOf(uint8_t Index) {
    const TSingleByteCharset* set = singleByteCharsetOf(Index);
    return set ? set->Encoder : nullptr;
}

void raiseDecodeError(const TSingleByteCharset& Set, uint32_t Byte) {
    throw EConvertError(msg::kInvalidPrefix + widen(Set.DecoderName) + Format(msg::kDecodeSuffix, {Byte}));
}

void raiseEncodeError(const TSingleByteCharset& Set, uint32_t Unit) {
    throw EConvertError(msg::kInvalidPrefix + widen(Set.Name) + Format(msg::kEncodeSuffix, {Unit}));
}

WideString DecodeLatin1(std::string_view Bytes) {
    WideString text(Bytes.size(), u'\0');
    for (std::size_t i = 0; i < Bytes.size(); ++i)
        text[i] = static_cast<uint8_t>(Bytes[i]);
    return text;
}

uint8_t EncodeUSASCII(WideChar Unit) {
    return kCharsets[0].Encoder(Unit);
}

} // namespace xmldom
