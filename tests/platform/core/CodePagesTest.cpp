// Code page conversion against the published mapping tables, and the ANSI code page setting.
#include "CodePages.h"

#include <gtest/gtest.h>

#include "SharedData.h"

#include <fstream>
#include <sstream>

namespace {

// Reads a published table: byte -> unit, 0xFFFD where undefined.
bool ReadPublished(const std::string& file, char16_t (&table)[256]) {
    std::ifstream in(std::string(VETRA_SHARED_DIR) + "data/charsets/" + file);
    if (!in) return false;
    for (auto& u : table)
        u = 0xFFFD;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream cols(line);
        std::string b, u;
        if (cols >> b >> u) table[std::stoi(b, nullptr, 16)] = char16_t(std::stoi(u, nullptr, 16));
    }
    return true;
}

/// A code page and the file of its published table; tests are named by the code page alone.
struct PublishedFile {
    unsigned CodePage;
    const char* File;
};
void PrintTo(const PublishedFile& p, std::ostream* out) { *out << "cp" << p.CodePage; }

class PublishedTable : public ::testing::TestWithParam<PublishedFile> {};

TEST_P(PublishedTable, EveryByteMapsAsPublished) {
    const auto [cp, file] = GetParam();
    char16_t published[256];
    if (!ReadPublished(file, published)) VETRA_SHARED_DATA_MISSING(std::string("published table ") + file);
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    std::u16string wide = MultiByteToWideChar(cp, all);
    ASSERT_EQ(wide.size(), 256u);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(int(wide[b]), int(published[b])) << "cp" << cp << " byte " << b;
    // Every defined character narrows back to its byte.
    std::string back = WideCharToMultiByte(cp, wide, '?');
    for (int b = 0; b < 256; ++b) {
        if (published[b] != 0xFFFD) {
            EXPECT_EQ(static_cast<unsigned char>(back[b]), b) << "cp" << cp;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WindowsCodePages, PublishedTable,
                         ::testing::Values(PublishedFile{874, "micsft_pc_cp874.txt"},
                                           PublishedFile{1250, "micsft_windows_cp1250.txt"},
                                           PublishedFile{1251, "micsft_windows_cp1251.txt"},
                                           PublishedFile{1252, "micsft_windows_cp1252.txt"},
                                           PublishedFile{1253, "micsft_windows_cp1253.txt"},
                                           PublishedFile{1254, "micsft_windows_cp1254.txt"},
                                           PublishedFile{1255, "micsft_windows_cp1255.txt"},
                                           PublishedFile{1256, "micsft_windows_cp1256.txt"},
                                           PublishedFile{1257, "micsft_windows_cp1257.txt"},
                                           PublishedFile{1258, "micsft_windows_cp1258.txt"}),
                         [](const ::testing::TestParamInfo<PublishedFile>& info) {
                             return "cp" + std::to_string(info.param.CodePage);
                         });

// Sum of (byte + 1) * unit over all bytes: guards the committed tables where the sources are absent.
uint64_t Checksum(unsigned cp) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    std::u16string wide = MultiByteToWideChar(cp, all);
    uint64_t sum = 0;
    for (int b = 0; b < 256; ++b)
        sum += uint64_t(b + 1) * wide[b];
    return sum;
}

TEST(CodePages, KnownCharacters) {
    EXPECT_EQ(MultiByteToWideChar(1252, "\x80\xE9"), u"\u20AC\u00E9");
    EXPECT_EQ(MultiByteToWideChar(1253, "\xC1\xE1\xA2"), u"\u0391\u03B1\u0386");
    EXPECT_EQ(MultiByteToWideChar(1250, "\x8A\xB9"), u"\u0160\u0105");
    EXPECT_EQ(MultiByteToWideChar(1251, "\xC0\xFF"), u"\u0410\u044F");
    EXPECT_EQ(MultiByteToWideChar(874, "\xA1"), u"\u0E01");
    EXPECT_EQ(MultiByteToWideChar(1253, "\xAA\x81"), u"\uFFFD\uFFFD"); // undefined bytes
    EXPECT_EQ(MultiByteToWideChar(1252, "\x81"), u"\uFFFD");
    EXPECT_NE(Checksum(1253), Checksum(1252));
}

// Upper-casing 8-bit text by its code page: every letter whose capital the code page holds.
TEST(CodePages, UpperCasingFollowsTheCodePage) {
    const auto upper = [](unsigned cp, std::u16string_view text) {
        return MultiByteToWideChar(cp, AnsiUpperCase(WideCharToMultiByte(cp, text), cp));
    };
    EXPECT_EQ(upper(1253, u"\u03b9\u03ba\u03b1 1234 \u03ac\u03c2\u00b5"), u"\u0399\u039a\u0391 1234 \u0386\u03a3\u00b5");
    EXPECT_EQ(upper(1250, u"w\u0142 \u017c\u00f3\u0142\u0107 \u0161\u0165\u013e\u0148"), u"W\u0141 \u017b\u00d3\u0141\u0106 \u0160\u0164\u013d\u0147");
    EXPECT_EQ(upper(1251, u"\u0436\u0451\u0491"), u"\u0416\u0401\u0490");
    EXPECT_EQ(upper(1252, u"\u00e9\u00ff\u0153\u00df\u00f7"), u"\u00c9\u0178\u0152\u00df\u00f7");
    EXPECT_EQ(AnsiUpperCase("abc\xE9", 999), "ABC\xE9");
}

// Every UTF-16 to UTF-8 conversion writes the same bytes: one to four per character.
TEST(CodePages, Utf8OfEveryLength) {
    EXPECT_EQ(ToUtf8(u"A\u00e9\u20ac\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    uint8_t bytes[4];
    EXPECT_EQ(PutUtf8(0x10FFFF, bytes), 4);
    EXPECT_EQ(bytes[0], 0xF4);
}

TEST(CodePages, UnknownCodePageGivesNothing) {
    EXPECT_FALSE(IsValidCodePage(437));
    EXPECT_EQ(MultiByteToWideChar(437, "abc"), u"");
    EXPECT_EQ(WideCharToMultiByte(65001, u"abc"), "");
    char16_t out[4];
    EXPECT_EQ(MultiByteToWideChar(437, MB_PRECOMPOSED, "abc", 3, out, 4), 0);
}

TEST(CodePages, BufferFormRespectsItsLimits) {
    char16_t out[4] = {0, 0, 0, 0x1234};
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "abc", 3, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "abc", -1, nullptr, 0), 4); // with the zero
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "abcd", 4, out, 3), 0);     // too small
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "ab\x80", 3, out, 3), 3);
    EXPECT_EQ(std::u16string(out, 3), u"ab\u20AC");
    EXPECT_EQ(out[3], 0x1234);
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, nullptr, 3, out, 3), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "abc", -2, out, 3), 0);
}

TEST(CodePages, AnsiCodePageIsAProcessSetting) {
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, "\xC1"), u"\u00C1");
    EXPECT_TRUE(SetACP(1253));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, "\xC1"), u"\u0391");
    EXPECT_FALSE(SetACP(437));
    EXPECT_EQ(GetACP(), 1253u);
    EXPECT_TRUE(SetACP(1252));
}

TEST(CodePages, NarrowingReplacesWhatTheCodePageLacks) {
    EXPECT_EQ(WideCharToMultiByte(1252, u"a\u0391\u20AC"), "a?\x80");
    EXPECT_EQ(WideCharToMultiByte(1253, u"\u0391\uFFFD", '#'), "\xC1#");
}

TEST(CodePages, NarrowingTellsWhenACharacterWasLost) {
    bool lost = true;
    EXPECT_EQ(WideCharToMultiByte(1250, u"\u0141\u00F3d\u017A", '?', &lost), "\xA3\xF3" "d\x9F");
    EXPECT_FALSE(lost);
    // A "?" that was typed is no loss; a "?" put in place of a character is.
    EXPECT_EQ(WideCharToMultiByte(1252, u"a?", '?', &lost), "a?");
    EXPECT_FALSE(lost);
    EXPECT_EQ(WideCharToMultiByte(1252, u"\u0141a", '?', &lost), "?a");
    EXPECT_TRUE(lost);
    EXPECT_EQ(WideCharToMultiByte(1253, u"\uFFFD", '?', &lost), "?");
    EXPECT_TRUE(lost);
    EXPECT_EQ(WideCharToMultiByte(437, u"a", '?', &lost), "");
}

} // namespace
