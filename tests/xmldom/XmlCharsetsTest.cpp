// Tests of the single-byte character sets: the selector, the exact inverse between decoder and
// encoder, the sets' documented differences from their published tables, and the messages.
#include <gtest/gtest.h>

#include "SharedData.h"

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "XmlCharsets.h"

using namespace xmldom;

namespace {

std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EConvertError& e) {
        return e.what();
    }
    return "(no error)";
}

bool decodes(uint8_t index, uint8_t byte, char16_t& unit) {
    try {
        unit = decoderOf(index)(byte);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

char16_t decode(uint8_t index, uint8_t byte) {
    return decoderOf(index)(byte);
}
bool defined(uint8_t index, uint8_t byte) {
    char16_t unit;
    return decodes(index, byte, unit);
}
bool encodable(uint8_t index, char16_t unit) {
    try {
        encoderOf(index)(unit);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

} // namespace

TEST(SingleByteSelector, IndicesFiveToSeventySixHaveConvertersModulo128) {
    for (int index = 0; index < 256; ++index) {
        const int n = index % 128;
        const bool expected = n >= 5 && n <= 76;
        EXPECT_EQ(decoderOf(static_cast<uint8_t>(index)) != nullptr, expected) << index;
        EXPECT_EQ(encoderOf(static_cast<uint8_t>(index)) != nullptr, expected) << index;
    }
    EXPECT_EQ(decoderOf(133), decoderOf(5));
    EXPECT_NE(decoderOf(30), decoderOf(31));
}

TEST(SingleByteSelector, EveryEncoderIsTheExactInverseOfItsDecoder) {
    for (uint8_t index = 5; index <= 76; ++index) {
        std::map<char16_t, uint8_t> first; // unit -> lowest byte giving it
        for (int b = 0; b < 256; ++b) {
            char16_t unit;
            if (decodes(index, static_cast<uint8_t>(b), unit)) first.emplace(unit, static_cast<uint8_t>(b));
        }
        const TSingleByteCharset* set = singleByteCharsetOf(index);
        ASSERT_NE(set, nullptr);
        for (int u = 0; u < 0x10000; ++u) {
            const auto it = first.find(static_cast<char16_t>(u));
            if (it == first.end()) {
                ASSERT_EQ(set->encode(static_cast<char16_t>(u)), TSingleByteCharset::kUndefinedByte)
                    << int(index) << " U+" << std::hex << u;
            } else {
                ASSERT_EQ(encoderOf(index)(static_cast<char16_t>(u)), it->second)
                    << int(index) << " U+" << std::hex << u;
            }
        }
        for (char16_t u : {0x0100, 0x4E00, 0xD800, 0xFFFD, 0xFFFF}) {
            if (!first.count(u)) {
                EXPECT_FALSE(encodable(index, u)) << int(index) << " U+" << std::hex << int(u);
            }
        }
    }
}

TEST(SingleByteSelector, DecoderRefusesValuesAboveAByte) {
    EXPECT_EQ(messageOf([] { decoderOf(6)(256); }), "Invalid ISO-8859-1 sequence of code point 256");
}

TEST(SingleByteSets, USASCII) {
    EXPECT_EQ(messageOf([] { encoderOf(5)(0x80); }), "Invalid US-ASCII sequence of Unicode code point 128");
    EXPECT_EQ(messageOf([] { decoderOf(5)(128); }), "Invalid US-ASCII sequence of code point 128");
    EXPECT_EQ(EncodeUSASCII(u'A'), 'A');
    EXPECT_EQ(messageOf([] { EncodeUSASCII(0xE9); }), "Invalid US-ASCII sequence of Unicode code point 233");
    for (int b = 0; b < 128; ++b)
        EXPECT_EQ(decode(5, static_cast<uint8_t>(b)), b);
}

TEST(SingleByteSets, ISO8859EdgeCases) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(decode(6, static_cast<uint8_t>(b)), b);
    EXPECT_EQ(messageOf([] { encoderOf(6)(0x100); }),
              "Invalid ISO-8859-1 sequence of Unicode code point 256");
    EXPECT_EQ(messageOf([] { decoderOf(8)(0xA5); }), "Invalid ISO-8859-3 sequence of code point 165");
    EXPECT_EQ(decode(7, 0xA5), 0x013D);
    EXPECT_EQ(encoderOf(7)(0x00C1), 0xC1);
    // The control range 80-9F gives itself in every ISO 8859 set.
    for (uint8_t index = 6; index <= 18; ++index)
        for (int b = 0x80; b < 0xA0; ++b)
            EXPECT_EQ(decode(index, static_cast<uint8_t>(b)), b) << int(index);
    // ISO-8859-7 and -8 as the library has always read them.
    EXPECT_EQ(decode(12, 0xA4), 0x0374);
    EXPECT_EQ(decode(12, 0xA5), 0x0375);
    EXPECT_EQ(decode(12, 0xAE), 0x037E);
    EXPECT_FALSE(defined(12, 0xAA));
    EXPECT_FALSE(encodable(12, 0x20AC));
    EXPECT_EQ(decode(13, 0xAF), 0x203E);
    EXPECT_FALSE(defined(13, 0xFD));
    EXPECT_FALSE(defined(13, 0xFE));
    EXPECT_EQ(decode(18, 0xA4), 0x20AC); // ISO-8859-15
}

TEST(SingleByteSets, WindowsCodePages) {
    EXPECT_EQ(messageOf([] { decoderOf(70)(0x81); }), "Invalid Windows-1252 sequence of code point 129");
    EXPECT_EQ(messageOf([] { encoderOf(70)(0x0100); }),
              "Invalid Windows-1252 sequence of Unicode code point 256");
    EXPECT_EQ(decode(70, 0x80), 0x20AC);
    EXPECT_EQ(encoderOf(70)(0x20AC), 0x80);
    // The decoder of Windows-1251 names itself cp1251.
    EXPECT_EQ(messageOf([] { decoderOf(69)(0x98); }), "Invalid cp1251 sequence of code point 152");
    EXPECT_EQ(messageOf([] { encoderOf(69)(0xE9); }),
              "Invalid Windows-1251 sequence of Unicode code point 233");
    EXPECT_EQ(decode(69, 0xC0), 0x0410);
}

TEST(SingleByteSets, DoubleByteCodePagesUseTheThaiTableUnderTheirOwnNames) {
    const char* names[] = {"Windows-932", "Windows-936", "Windows-949", "Windows-950"};
    for (uint8_t index = 62; index <= 65; ++index) {
        for (int b = 0; b < 256; ++b) {
            char16_t a = 0, t = 0;
            EXPECT_EQ(decodes(index, static_cast<uint8_t>(b), a), decodes(60, static_cast<uint8_t>(b), t));
            EXPECT_EQ(a, t);
        }
        EXPECT_EQ(messageOf([index] { encoderOf(index)(0x4E00); }),
                  std::string("Invalid ") + names[index - 62] + " sequence of Unicode code point 19968");
    }
    EXPECT_EQ(decode(60, 0xA1), 0x0E01);
    EXPECT_EQ(messageOf([] { encoderOf(60)(0x4E00); }),
              "Invalid Windows-874 sequence of Unicode code point 19968");
}

TEST(SingleByteSets, IBMControlArrangementAgainstTheWindowsOne) {
    const int pairs[][2] = {{30, 31}, {35, 36}, {37, 38}, {39, 40}, {42, 43}, {44, 45}, {46, 47},
                            {48, 49}, {50, 51}, {52, 53}, {54, 55}, {56, 57}, {58, 59}};
    for (const auto& pair : pairs) {
        const auto ibm = static_cast<uint8_t>(pair[0]), windows = static_cast<uint8_t>(pair[1]);
        EXPECT_EQ(decode(ibm, 0x1A), 0x001C) << pair[0];
        EXPECT_EQ(decode(ibm, 0x1C), 0x007F) << pair[0];
        EXPECT_EQ(decode(ibm, 0x7F), 0x001A) << pair[0];
        EXPECT_EQ(encoderOf(ibm)(0x001A), 0x7F) << pair[0];
        EXPECT_EQ(decode(windows, 0x1A), 0x001A) << pair[1];
        EXPECT_EQ(decode(windows, 0x1C), 0x001C) << pair[1];
        EXPECT_EQ(decode(windows, 0x7F), 0x007F) << pair[1];
    }
}

TEST(SingleByteSets, FurtherIBMDifferences) {
    EXPECT_FALSE(defined(37, 0xAA));
    EXPECT_EQ(decode(38, 0xAA), 0x00AC);
    EXPECT_EQ(decode(52, 0x9F), 0x200C);
    EXPECT_EQ(decode(52, 0xD7), 0xFEC3);
    EXPECT_EQ(decode(52, 0xD8), 0xFEC7);
    EXPECT_EQ(decode(52, 0xF1), 0xFE7C);
    EXPECT_FALSE(encodable(52, 0x0651));
    EXPECT_FALSE(encodable(52, 0xFEC1));
    EXPECT_FALSE(encodable(52, 0xFEC5));
    EXPECT_EQ(decode(53, 0x9B), 0x009B);
    EXPECT_EQ(decode(53, 0x9C), 0x009C);
    EXPECT_EQ(decode(53, 0x9F), 0x009F);
    EXPECT_EQ(decode(53, 0xA6), 0xF8BE);
    EXPECT_EQ(decode(53, 0xA7), 0xF8BF);
    EXPECT_EQ(decode(53, 0xF1), 0x0651);
    EXPECT_EQ(decode(53, 0x25), 0x0025); // ASCII bytes give themselves
    EXPECT_EQ(decode(58, 0x88), 0x0387);
    EXPECT_EQ(decode(58, 0xEF), 0x00B4);
    EXPECT_EQ(decode(59, 0x88), 0x00B7);
}

TEST(SingleByteSets, AppleEditions) {
    for (uint8_t index : {22, 26}) {
        EXPECT_EQ(decode(index, 0xBD), 0x2126);
        EXPECT_EQ(decode(index, 0xDB), 0x00A4);
        EXPECT_FALSE(defined(index, 0xF0));
    }
    EXPECT_EQ(decode(27, 0xBD), 0x2126);
    EXPECT_FALSE(defined(27, 0xF0));
    EXPECT_FALSE(defined(27, 0xF5));
    EXPECT_EQ(decode(23, 0x9C), 0x00AD);
    EXPECT_EQ(decode(23, 0xAF), 0x0387);
    EXPECT_FALSE(defined(23, 0xFF));
    EXPECT_EQ(decode(24, 0xA2), 0x00A2);
    EXPECT_EQ(decode(24, 0xB6), 0x2202);
    EXPECT_EQ(decode(24, 0xFF), 0x00A4);
}

TEST(SingleByteSets, JISX0201AndNextStepAndEBCDIC) {
    EXPECT_FALSE(defined(20, 0x0A));
    EXPECT_FALSE(defined(20, 0x7F));
    EXPECT_FALSE(defined(20, 0xA0));
    EXPECT_FALSE(defined(20, 0xE0));
    EXPECT_EQ(decode(20, 0x41), 0x41);
    EXPECT_EQ(decode(20, 0x5C), 0x00A5);
    EXPECT_EQ(decode(20, 0x7E), 0x203E);
    EXPECT_EQ(decode(20, 0xA1), 0xFF61);
    EXPECT_EQ(decode(20, 0xDF), 0xFF9F);
    for (int b = 0; b < 256; ++b)
        EXPECT_TRUE(defined(21, static_cast<uint8_t>(b))) << b;
    EXPECT_EQ(decode(21, 0x41), 0x41);
    EXPECT_EQ(decode(21, 0x80), 0x00A0);
    EXPECT_EQ(messageOf([] { encoderOf(21)(0x4E00); }),
              "Invalid NextStep sequence of Unicode code point 19968");
    EXPECT_EQ(decode(28, 0xC1), u'A'); // cp037
    EXPECT_EQ(encoderOf(28)(u'a'), 0x81);
    EXPECT_EQ(decode(32, 0x4F), u'!');      // cp500
    EXPECT_EQ(decode(67, 0xC1), u'A');      // cp1026
    EXPECT_EQ(encoderOf(61)(0x001A), 0x3F); // cp875: the lowest of several bytes
}

TEST(SingleByteSets, Latin1Text) {
    EXPECT_EQ(DecodeLatin1("A\xE9\xFF"), WideString(u"A\u00E9\u00FF"));
    EXPECT_EQ(DecodeLatin1(""), WideString());
}

// The tables against the published mappings they were generated from, where the library
// takes a mapping over unchanged.
TEST(SingleByteSets, TablesMatchPublishedMappings) {
    const std::pair<int, const char*> sources[] = {
        {10, "iso8859_8859-5"},        {19, "misc_koi8-r"},           {31, "micsft_pc_cp437"},
        {36, "micsft_pc_cp850"},       {57, "micsft_pc_cp866"},       {60, "micsft_windows_cp874"},
        {28, "micsft_ebcdic_cp037"},   {68, "micsft_windows_cp1250"}, {70, "micsft_windows_cp1252"},
        {76, "micsft_windows_cp1258"}, {25, "micsft_mac_latin2"}};
    for (const auto& [index, name] : sources) {
        std::ifstream file(std::string(VETRA_SHARED_DIR) + "data/charsets/" + name + ".txt");
        if (!file) VETRA_SHARED_DATA_MISSING(std::string("published mapping ") + name);
        std::string line;
        int checked = 0;
        while (std::getline(file, line)) {
            std::istringstream fields(line.substr(0, line.find('#')));
            std::string byteText, unitText;
            if (!(fields >> byteText) || byteText.rfind("0x", 0) != 0) continue;
            const auto byte = static_cast<uint8_t>(std::stoul(byteText, nullptr, 16));
            if (fields >> unitText) {
                EXPECT_EQ(decode(static_cast<uint8_t>(index), byte), std::stoul(unitText, nullptr, 16))
                    << name;
            } else {
                EXPECT_FALSE(defined(static_cast<uint8_t>(index), byte)) << name;
            }
            ++checked;
        }
        EXPECT_GE(checked, 256) << name;
    }
}
