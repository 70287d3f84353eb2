// Encoding names to indices (private names, then the character-set registry), the active code
// page's name, and the whole-text conversions built on the single-byte converters and UTF-8.
#include "XmlEncodings.h"

#include <iterator>

#include "CharsetConv.h"
#include "XmlEncodingMessages.h"

#include "CodePages.h"

namespace xmldom {

namespace {

struct TPrivateName {
    const char* Name;
    uint8_t Index;
};

// Matched first, in this order.
constexpr TPrivateName kPrivateNames[] = {
    {"NextStep", 21},
    {"cp10000_MacRoman", 22},
    {"cp10006_MacGreek", 23},
    {"cp10007_MacCyrillic", 24},
    {"cp10029_MacLatin2", 25},
    {"cp10079_MacIcelandic", 26},
    {"cp10081_MacTurkish", 27},
    {"cp437_DOSLatinUS", 31},
    {"cp737_DOSGreek", 33},
    {"cp775_DOSBaltRim", 34},
    {"cp850_DOSLatin1", 36},
    {"cp852_DOSLatin2", 38},
    {"cp855_DOSCyrillic", 40},
    {"cp856_Hebrew_PC", 41},
    {"cp857_DOSTurkish", 43},
    {"cp860_DOSPortuguese", 45},
    {"cp861_DOSIcelandic", 47},
    {"cp862_DOSHebrew", 49},
    {"cp863_DOSCanadaF", 51},
    {"cp864_DOSArabic", 53},
    {"cp865_DOSNordic", 55},
    {"cp866_DOSCyrillicRussian", 57},
    {"cp869_DOSGreek2", 59},
    {"cp874", 60},
    {"cp875_IBMGreek", 61},
    {"cp932", 62},
    {"cp936", 63},
    {"cp949", 64},
    {"cp950", 65},
    {"cp1006", 66},
};

struct TMIBIndex {
    int MIB;
    uint8_t Index;
};

constexpr TMIBIndex kMIBIndices[] = {
    {106, 1},   {1013, 2},  {1014, 3},  {1015, 2},  {1000, 4},  {3, 5},     {4, 6},     {5, 7},
    {6, 8},     {7, 9},     {8, 10},    {9, 11},    {10, 12},   {11, 13},   {12, 14},   {13, 15},
    {109, 16},  {110, 17},  {111, 18},  {2084, 19}, {15, 20},   {2028, 28}, {2043, 29}, {2011, 30},
    {2044, 32}, {2009, 35}, {2010, 37}, {2046, 39}, {2047, 42}, {2048, 44}, {2049, 46}, {2013, 48},
    {2050, 50}, {2051, 52}, {2052, 54}, {2086, 56}, {2054, 58}, {2063, 67}, {2250, 68}, {2251, 69},
    {2252, 70}, {2253, 71}, {2254, 72}, {2255, 73}, {2256, 74}, {2257, 75}, {2258, 76},
};

struct TCodePageName {
    unsigned CodePage;
    const char* Name;
};

constexpr TCodePageName kCodePageNames[] = {
    {874, "cp874"},         {932, "cp932"},         {936, "cp936"},
    {949, "cp949"},         {950, "cp950"},         {1200, "ISO-10646-UCS-2"},
    {1250, "windows-1250"}, {1251, "windows-1251"}, {1252, "windows-1252"},
    {1253, "windows-1253"}, {1254, "windows-1254"}, {1255, "windows-1255"},
    {1256, "windows-1256"}, {1257, "windows-1257"},
};

unsigned ansiCodePage() { return GetACP(); }

} // namespace

uint8_t encodingIndexOf(std::string_view Name) {
    for (const TPrivateName& entry : kPrivateNames)
        if (sameCharsetName(entry.Name, Name)) return entry.Index;
    TCSMIB registry;
    if (!registry.setToAlias(Name)) return kEncodingNone;
    for (const TMIBIndex& entry : kMIBIndices)
        if (entry.MIB == registry.getEnum()) return entry.Index;
    return kEncodingNone;
}

std::string codePageName(unsigned CodePage) {
    for (const TCodePageName& entry : kCodePageNames)
        if (entry.CodePage == CodePage) return entry.Name;
    throw EConvertError(msg::kInvalidEncoding);
}

std::string activeCodePageName() {
    return codePageName(ansiCodePage());
}

std::string wideToSingleByte(std::u16string_view Text, TSingleByteEncoder Encoder) {
    bool exchange = false;
    if (!Text.empty() && (Text[0] == 0xFEFF || Text[0] == 0xFFFE)) {
        exchange = Text[0] == 0xFFFE;
        Text.remove_prefix(1);
    }
    std::string result(Text.size(), '\0');
    const TSingleByteCharset* set = singleByteCharsetOf(Encoder);
    for (std::size_t i = 0; i < Text.size(); ++i) {
        WideChar unit = Text[i];
        if (exchange) unit = static_cast<WideChar>((unit >> 8) | (unit << 8));
        if (set) {
            const uint16_t byte = set->encode(unit);
            if (byte == TSingleByteCharset::kUndefinedByte) raiseEncodeError(*set, unit);
            result[i] = static_cast<char>(byte);
        } else {
            result[i] = static_cast<char>(Encoder(unit));
        }
    }
    return result;
}

WideString singleByteToWide(std::string_view Bytes, TSingleByteDecoder Decoder) {
    WideString result(Bytes.size(), u'\0');
    const TSingleByteCharset* set = singleByteCharsetOf(Decoder);
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
        const uint8_t byte = static_cast<uint8_t>(Bytes[i]);
        if (set) {
            const char16_t unit = set->decode(byte);
            if (unit == TSingleByteCharset::kUndefinedUnit) raiseDecodeError(*set, byte);
            result[i] = unit;
        } else {
            result[i] = Decoder(byte);
        }
    }
    return result;
}

std::string wideToUSASCII(std::u16string_view Text) {
    return wideToSingleByte(Text, &EncodeUSASCII);
}

std::string utf16ToUTF8(std::u16string_view Text) {
    std::string result;
    appendUTF16AsUTF8(Text.data(), Text.size(), result);
    return result;
}

} // namespace xmldom
