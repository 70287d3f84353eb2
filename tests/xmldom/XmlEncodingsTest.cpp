// Tests of the encoding names and indices, the character-set registry component, the
// whole-text conversions and the UTF-16 to UTF-8 conversion stream.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CharsetConv.h"
#include "XmlEncodings.h"

#include "CodePages.h"

#include "EncodingTestSupport.h"

using namespace xmldom;

namespace {

} // namespace

// --- encoding names ------------------------------------------------------------------------

TEST(EncodingIndexOf, NamesOfThePart) {
    EXPECT_EQ(encodingIndexOf("utf-8"), 1);
    EXPECT_EQ(encodingIndexOf("UTF-8"), 1);
    EXPECT_EQ(encodingIndexOf("uTf-8"), 1);
    EXPECT_EQ(encodingIndexOf("CP850_DOSLATIN1"), 36);
    EXPECT_EQ(encodingIndexOf("cp850_DOSLatin1"), 36);
    EXPECT_EQ(encodingIndexOf("latin1"), 6);
    EXPECT_EQ(encodingIndexOf("Shift_JIS"), 0);
    EXPECT_EQ(encodingIndexOf("UTF-16"), 2);
    EXPECT_EQ(encodingIndexOf("UTF-16BE"), 2);
    EXPECT_EQ(encodingIndexOf("UTF-16LE"), 3);
    EXPECT_EQ(encodingIndexOf("ISO-10646-UCS-2"), 4);
    EXPECT_EQ(encodingIndexOf(""), 0);
    EXPECT_EQ(encodingIndexOf("no-such-set"), 0);
    EXPECT_EQ(encodingIndexOf("UTF-8 "), 0);
}

TEST(EncodingIndexOf, EveryIndexHasANameAndAWorkingConverter) {
    const std::vector<std::pair<const char*, int>> names = {
        {"US-ASCII", 5},
        {"ascii", 5},
        {"ISO-8859-1", 6},
        {"ISO_8859-2", 7},
        {"latin3", 8},
        {"ISO-8859-4", 9},
        {"cyrillic", 10},
        {"arabic", 11},
        {"greek", 12},
        {"hebrew", 13},
        {"latin5", 14},
        {"ISO-8859-10", 15},
        {"ISO-8859-13", 16},
        {"ISO-8859-14", 17},
        {"ISO-8859-15", 18},
        {"KOI8-R", 19},
        {"JIS_X0201", 20},
        {"NextStep", 21},
        {"cp10000_MacRoman", 22},
        {"cp10006_MacGreek", 23},
        {"cp10007_MacCyrillic", 24},
        {"cp10029_MacLatin2", 25},
        {"cp10079_MacIcelandic", 26},
        {"cp10081_MacTurkish", 27},
        {"IBM037", 28},
        {"cp037", 28},
        {"IBM424", 29},
        {"IBM437", 30},
        {"cp437", 30},
        {"cp437_DOSLatinUS", 31},
        {"IBM500", 32},
        {"cp737_DOSGreek", 33},
        {"cp775_DOSBaltRim", 34},
        {"IBM850", 35},
        {"cp850", 35},
        {"cp850_DOSLatin1", 36},
        {"IBM852", 37},
        {"cp852_DOSLatin2", 38},
        {"IBM855", 39},
        {"cp855_DOSCyrillic", 40},
        {"cp856_Hebrew_PC", 41},
        {"IBM857", 42},
        {"cp857_DOSTurkish", 43},
        {"IBM860", 44},
        {"cp860_DOSPortuguese", 45},
        {"IBM861", 46},
        {"cp861_DOSIcelandic", 47},
        {"IBM862", 48},
        {"cp862_DOSHebrew", 49},
        {"IBM863", 50},
        {"cp863_DOSCanadaF", 51},
        {"IBM864", 52},
        {"cp864_DOSArabic", 53},
        {"IBM865", 54},
        {"cp865_DOSNordic", 55},
        {"IBM866", 56},
        {"cp866_DOSCyrillicRussian", 57},
        {"IBM869", 58},
        {"cp869_DOSGreek2", 59},
        {"cp874", 60},
        {"cp875_IBMGreek", 61},
        {"cp932", 62},
        {"cp936", 63},
        {"cp949", 64},
        {"cp950", 65},
        {"cp1006", 66},
        {"IBM1026", 67},
        {"windows-1250", 68},
        {"windows-1251", 69},
        {"windows-1252", 70},
        {"windows-1253", 71},
        {"windows-1254", 72},
        {"windows-1255", 73},
        {"windows-1256", 74},
        {"windows-1257", 75},
        {"windows-1258", 76},
    };
    std::vector<bool> seen(77, false);
    for (const auto& [name, index] : names) {
        EXPECT_EQ(encodingIndexOf(name), index) << name;
        ASSERT_NE(decoderOf(static_cast<uint8_t>(index)), nullptr) << name;
        const auto i = static_cast<uint8_t>(index);
        EXPECT_EQ(decoderOf(i)(encoderOf(i)(u'A')), u'A') << name;
        seen[index] = true;
    }
    for (int index = 5; index <= 76; ++index)
        EXPECT_TRUE(seen[index]) << index;
}

TEST(ActiveCodePage, NamesOfTheCodePages) {
    EXPECT_EQ(codePageName(1252), "windows-1252");
    EXPECT_EQ(codePageName(874), "cp874");
    EXPECT_EQ(codePageName(932), "cp932");
    EXPECT_EQ(codePageName(1200), "ISO-10646-UCS-2");
    EXPECT_EQ(messageOf<EConvertError>([] { codePageName(1258); }), "Invalid encoding.");
    EXPECT_EQ(messageOf<EConvertError>([] { codePageName(65001); }), "Invalid encoding.");
    for (unsigned cp :
         {874u, 932u, 936u, 949u, 950u, 1200u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u})
        EXPECT_NE(encodingIndexOf(codePageName(cp)), 0) << cp;
    EXPECT_NE(encodingIndexOf(activeCodePageName()), 0);
}

TEST(ActiveCodePage, FollowsTheProcessCodePage) {
    const unsigned saved = GetACP();
    ASSERT_TRUE(SetACP(1250));
    EXPECT_EQ(activeCodePageName(), "windows-1250");
    EXPECT_EQ(encodingIndexOf(activeCodePageName()), 68);
    if (SetACP(1258)) {
        EXPECT_EQ(messageOf<EConvertError>([] { activeCodePageName(); }), "Invalid encoding.");
    }
    SetACP(saved);
}

TEST(Surrogates, Helpers) {
    EXPECT_EQ(highSurrogateOf(0x10000), 0xD800u);
    EXPECT_EQ(lowSurrogateOf(0x10000), 0xDC00u);
    EXPECT_EQ(highSurrogateOf(0x10FFFF), 0xDBFFu);
    EXPECT_EQ(lowSurrogateOf(0x10FFFF), 0xDFFFu);
    EXPECT_EQ(codePointOf(0xD83D, 0xDE00), 0x1F600u);
    EXPECT_TRUE(isHighSurrogate(0xD800));
    EXPECT_FALSE(isHighSurrogate(0xDC00));
    EXPECT_TRUE(isLowSurrogate(0xDFFF));
    EXPECT_FALSE(isLowSurrogate(0xE000));
}

// --- whole-text conversions ----------------------------------------------------------------

TEST(WholeText, SingleByteBothWays) {
    EXPECT_EQ(wideToSingleByte(u"A\u20AC", encoderOf(70)), bytes({'A', 0x80}));
    EXPECT_EQ(wideToSingleByte(u"\uFEFFAB", encoderOf(6)), "AB");
    // A leading U+FFFE: the following units have their bytes exchanged.
    EXPECT_EQ(wideToSingleByte(u"\uFFFE\u4100\uE900", encoderOf(6)), bytes({'A', 0xE9}));
    EXPECT_EQ(messageOf<EConvertError>([] { wideToSingleByte(u"A\u0100", encoderOf(6)); }),
              "Invalid ISO-8859-1 sequence of Unicode code point 256");
    EXPECT_EQ(singleByteToWide(bytes({'A', 0x80}), decoderOf(70)), WideString(u"A\u20AC"));
    EXPECT_EQ(messageOf<EConvertError>([] {
                  singleByteToWide(bytes({'A', 0x81}), decoderOf(70));
              }),
              "Invalid Windows-1252 sequence of code point 129");
    // Functions outside the tables are called unit by unit.
    EXPECT_EQ(wideToSingleByte(u"AB", &EncodeUSASCII), "AB");
    EXPECT_EQ(messageOf<EConvertError>([] { wideToUSASCII(u"caf\u00E9"); }),
              "Invalid US-ASCII sequence of Unicode code point 233");
    EXPECT_EQ(wideToUSASCII(u"UTF-8"), "UTF-8");
}

TEST(WholeText, EverySetRoundTripsOverItsDefinedBytes) {
    for (uint8_t index = 5; index <= 76; ++index) {
        std::string all;
        for (int b = 0; b < 256; ++b) {
            try {
                decoderOf(index)(static_cast<WideChar>(b));
                all.push_back(static_cast<char>(b));
            } catch (const EConvertError&) {
            }
        }
        const WideString text = singleByteToWide(all, decoderOf(index));
        ASSERT_EQ(text.size(), all.size());
        const std::string back = wideToSingleByte(text, encoderOf(index));
        // Bytes that share a unit come back as the lowest of them.
        EXPECT_EQ(singleByteToWide(back, decoderOf(index)), text) << int(index);
    }
}

TEST(UTF8, EncodesTheEdgeValues) {
    EXPECT_EQ(utf16ToUTF8(u"\U0010FFFF"), bytes({0xF4, 0x8F, 0xBF, 0xBF}));
    EXPECT_EQ(utf16ToUTF8(u"\u0800"), bytes({0xE0, 0xA0, 0x80}));
    EXPECT_EQ(utf16ToUTF8(u"\u007F"), bytes({0x7F}));
    EXPECT_EQ(utf16ToUTF8(u"\u0080\u07FF"), bytes({0xC2, 0x80, 0xDF, 0xBF}));
    EXPECT_EQ(utf16ToUTF8(u"\uFFFF"), bytes({0xEF, 0xBF, 0xBF}));
    EXPECT_EQ(utf16ToUTF8(u"ab\U0001F600"), bytes({'a', 'b', 0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(utf16ToUTF8(u""), "");
    EXPECT_EQ(utf16ToUTF8(u"\uFEFFA\uFEFF"), bytes({'A', 0xEF, 0xBB, 0xBF}));
    // The fast ASCII path and its ends.
    EXPECT_EQ(utf16ToUTF8(u"abcdefgh\u00E9ijklmnop"), "abcdefgh\xC3\xA9ijklmnop");
}

TEST(UTF8, SurrogateFaults) {
    EXPECT_EQ(messageOf<EConvertError>([] { utf16ToUTF8(u"a\xD800"); }),
              "High surrogate D800 without low surrogate.");
    EXPECT_EQ(messageOf<EConvertError>([] {
                  utf16ToUTF8(u"\xD800"
                              u"b");
              }),
              "High surrogate D800 without low surrogate.");
    EXPECT_EQ(messageOf<EConvertError>([] { utf16ToUTF8(u"\xDBFF\xD800"); }),
              "High surrogate DBFF without low surrogate.");
    EXPECT_EQ(messageOf<EConvertError>([] { utf16ToUTF8(u"a\xDC00"); }),
              "Low surrogate DC00 without high surrogate.");
}

TEST(ConversionStreams, UTF16ToUTF8Stream) {
    TStringStream target;
    {
        TUTF16BEToUTF8Stream stream(&target);
        const WideString text = u"\uFEFFx\u00E9";
        EXPECT_EQ(stream.Write(text.data(), 6), 6);
        EXPECT_EQ(stream.Write(text.data(), 0), 0);
        EXPECT_EQ(messageOf<EConversionStream>([&] { stream.Write(text.data(), 3); }),
                  "Odd size not valid for WideString");
        const WideString bad = u"ok\xDC00";
        EXPECT_EQ(messageOf<EConvertError>([&] { stream.Write(bad.data(), 6); }),
                  "Low surrogate DC00 without high surrogate.");
        // A buffer that ends in a pair, written from an odd address.
        const WideString pair = u"\U0001F600";
        std::vector<uint8_t> unaligned(5);
        std::memcpy(unaligned.data() + 1, pair.data(), 4);
        EXPECT_EQ(stream.Write(unaligned.data() + 1, 4), 4);
        EXPECT_EQ(stream.Seek(10, soBeginning), 0);
    }
    // Nothing of the failed writes reached the target.
    EXPECT_EQ(target.DataString(), "x\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(messageOf<EConversionStream>([] { TUTF16BEToUTF8Stream s(nullptr); }),
              "Must have a target stream");
}

TEST(ConversionStreams, BaseClassConvertsNothing) {
    TStringStream target("abc");
    TConversionStream stream(&target);
    EXPECT_EQ(stream.Write("xyz", 3), 3);
    EXPECT_EQ(target.DataString(), "abc");
    char buffer[4] = {};
    EXPECT_EQ(stream.Read(buffer, 4), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

// --- the registry component ----------------------------------------------------------------

namespace {

std::vector<std::string> namesOf(TCSMIB& mib) {
    std::vector<std::string> names;
    for (int i = 0; i < mib.getAliasCount(); ++i) {
        WideString name;
        mib.getAlias(i, name);
        names.emplace_back(name.begin(), name.end());
    }
    return names;
}

std::string preferredOf(TCSMIB& mib) {
    WideString name;
    mib.getPreferredMIMEName(name);
    return std::string(name.begin(), name.end());
}

} // namespace

TEST(CSMIB, NewComponentIsUSASCII) {
    TCSMIB mib;
    EXPECT_EQ(mib.getEnum(), 3);
    // Made with an owner, it is the owner's to free (the sanitizer build sees a leak otherwise).
    TdomBaseComponent owner;
    auto* owned = new TCSMIB(&owner);
    ASSERT_EQ(owner.getComponentCount(), 1);
    EXPECT_EQ(owner.getComponent(0), owned);
    EXPECT_FALSE(mib.IgnoreInvalidEnum);
    EXPECT_EQ(preferredOf(mib), "US-ASCII");
    EXPECT_EQ(namesOf(mib), (std::vector<std::string>{"ANSI_X3.4-1968", "iso-ir-6", "ANSI_X3.4-1986",
                                                      "ISO_646.irv:1991", "ASCII", "ISO646-US", "US-ASCII",
                                                      "us", "IBM367", "cp367", "csASCII"}));
}

TEST(CSMIB, RowsOfTheRegistry) {
    TCSMIB mib;
    mib.SetEnum(4);
    EXPECT_EQ(namesOf(mib),
              (std::vector<std::string>{"ISO_8859-1:1987", "iso-ir-100", "ISO_8859-1", "ISO-8859-1", "latin1",
                                        "l1", "IBM819", "CP819", "csISOLatin1"}));
    EXPECT_EQ(preferredOf(mib), "ISO-8859-1");
    mib.SetEnum(2028);
    EXPECT_EQ(namesOf(mib), (std::vector<std::string>{"IBM037", "cp037", "ebcdic-cp-us", "ebcdic-cp-ca",
                                                      "ebcdic-cp-wt", "ebcdic-cp-nl", "csIBM037"}));
    EXPECT_EQ(preferredOf(mib), "");
    mib.SetEnum(106);
    EXPECT_EQ(namesOf(mib), std::vector<std::string>{"UTF-8"});
    for (int n = 0; n <= 8; ++n) {
        mib.SetEnum(2250 + n);
        EXPECT_EQ(namesOf(mib), std::vector<std::string>{"windows-125" + std::to_string(n)});
    }
    const std::pair<int, const char*> preferred[] = {
        {5, "ISO-8859-2"}, {12, "ISO-8859-9"}, {13, "ISO-8859-10"}, {17, "Shift_JIS"},
        {18, "EUC-JP"},    {38, "EUC-KR"},     {2025, "GB2312"},    {2026, "Big5"},
        {2084, "KOI8-R"},  {109, ""},          {2259, ""}};
    for (const auto& [number, name] : preferred) {
        mib.SetEnum(number);
        EXPECT_EQ(preferredOf(mib), name) << number;
    }
}

TEST(CSMIB, ValidRangesAndInvalidNumbers) {
    TCSMIB mib;
    for (int n : {3, 106, 109, 112, 1000, 1015, 2000, 2101, 2250, 2259})
        EXPECT_TRUE(mib.isValidEnum(n)) << n;
    for (int n : {-1, 0, 2, 107, 108, 113, 999, 1016, 1999, 2102, 2249, 2260})
        EXPECT_FALSE(mib.isValidEnum(n)) << n;
    EXPECT_EQ(messageOf<Exception>([&] { mib.SetEnum(107); }), "Invalid MIB number");
    EXPECT_EQ(mib.getEnum(), 3);
    int events = 0;
    mib.OnChange = [&](TObject*) { ++events; };
    mib.IgnoreInvalidEnum = true;
    mib.SetEnum(107);
    EXPECT_EQ(mib.getEnum(), 3);
    EXPECT_EQ(events, 0);
    WideString name;
    EXPECT_EQ(messageOf<Exception>([&] { mib.getAlias(11, name); }), "Invalid MIB number");
    EXPECT_EQ(messageOf<Exception>([&] { mib.getAlias(-1, name); }), "Invalid MIB number");
    for (int n = 3; n <= 2259; ++n) {
        if (!mib.isValidEnum(n)) continue;
        mib.SetEnum(n);
        EXPECT_GE(mib.getAliasCount(), 1) << n;
    }
}

TEST(CSMIB, EventsAndVeto) {
    TCSMIB mib;
    std::vector<std::string> log;
    mib.SetOnChanging([&](TObject* sender, int newEnum, bool& allow) {
        EXPECT_EQ(sender, &mib);
        EXPECT_TRUE(allow);
        log.push_back("changing " + std::to_string(newEnum));
        if (newEnum == 5) allow = false;
    });
    mib.SetOnChange([&](TObject*) { log.push_back("changed " + std::to_string(mib.getEnum())); });
    mib.SetEnum(3);
    EXPECT_TRUE(log.empty());
    mib.SetEnum(4);
    mib.SetEnum(5);
    EXPECT_EQ(mib.getEnum(), 4);
    EXPECT_EQ(log, (std::vector<std::string>{"changing 4", "changed 4", "changing 5"}));
}

TEST(CSMIB, SetToAlias) {
    TCSMIB mib;
    EXPECT_TRUE(mib.setToAlias("latin1"));
    EXPECT_EQ(mib.getEnum(), 4);
    EXPECT_TRUE(mib.setToAlias("CSibm037"));
    EXPECT_EQ(mib.getEnum(), 2028);
    mib.SetEnum(2009);
    int changes = 0;
    mib.OnChange = [&](TObject*) { ++changes; };
    EXPECT_FALSE(mib.setToAlias("no-such-name"));
    EXPECT_EQ(mib.getEnum(), 2009);
    EXPECT_GT(changes, 100); // every number tried went through SetEnum
    // A vetoed step compares the names of the number still current.
    TCSMIB vetoed;
    vetoed.OnChanging = [](TObject*, int, bool& allow) { allow = false; };
    EXPECT_TRUE(vetoed.setToAlias("us"));
    EXPECT_EQ(vetoed.getEnum(), 3);
    EXPECT_FALSE(vetoed.setToAlias("latin1"));
    EXPECT_EQ(vetoed.getEnum(), 3);
}
