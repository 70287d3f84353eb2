// The input source's plain runs (the reader's fast path) against getNextChar one character at a
// time: same characters, same stops, same locator and byte position, across buffer ends.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "XmlSources.h"

using namespace xmldom;

namespace {

struct Step {
    WideString text;
    int32_t line, column, offset;
    bool operator==(const Step&) const = default;
};

/// Reads all of bytes: with runs (stopping at stops) between single characters, or one
/// character at a time. Each entry is the state after one character or one run.
std::vector<Step> readAll(const std::string& bytes, int32_t bufferSize, bool withRuns, const TXmlRunStops& stops,
                          const std::string& prefix = "x") {
    // Both reads start with the declaration test; bytes it cannot decode are no test case.
    std::string start = prefix + bytes;
    TStringStream stream(start);
    TXmlInputSource source(&stream, bufferSize, 4, u"", u"");
    std::vector<Step> steps;
    WideString text;
    auto note = [&] {
        TdomInputSourceLocator* loc = source.getLocator();
        steps.push_back({text, loc->getEndLine(), loc->getEndColumn(), loc->getByteOffset()});
    };
    for (;;) {
        if (withRuns) source.readPlainRun(text, stops);
        int32_t c;
        try {
            if (!source.getNextChar(c)) break;
        } catch (const Exception&) {
            text += u"!";  // an undecodable sequence ends both reads alike
            break;
        }
        if (c > 0xFFFF) {
            text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(c));
        }
        note();
    }
    note();
    return steps;
}

/// The states seen by both reads: the run read skips the states inside its runs, so each of
/// its states must appear in the one-at-a-time list, and the last states must agree.
void expectSameRead(const std::string& bytes, int32_t bufferSize, const TXmlRunStops& stops,
                    const std::string& prefix = "x") {
    std::vector<Step> single = readAll(bytes, bufferSize, false, stops, prefix);
    std::vector<Step> runs = readAll(bytes, bufferSize, true, stops, prefix);
    ASSERT_EQ(runs.back(), single.back()) << "buffer " << bufferSize;
    size_t at = 0;
    for (const Step& s : runs) {
        while (at < single.size() && single[at].text.size() < s.text.size()) ++at;
        ASSERT_LT(at, single.size());
        ASSERT_EQ(single[at], s) << "buffer " << bufferSize;
    }
}

TEST(PlainRun, AgreesWithOneCharacterAtATime) {
    static constexpr TXmlRunStops kText("<&");
    static constexpr TXmlRunStops kTag(">'\"");
    const char* pieces[] = {"plain text ", "<", "&", ">", "'", "\"", "\n", "\t", "\r", "\r\n", "\x01", "\x7f",
                            "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBF\xBE", "\xEF\xBF\xBF",
                            "\xED\xA0\x80", "\xC0\xAF", "\xE0\x80\xAF", "\x80", "\xC3", "0123456789abcdefghij"};
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        const int count = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) bytes += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        for (int32_t bufferSize : {1, 7, 16, 33, 4096}) {
            expectSameRead(bytes, bufferSize, kText);
            expectSameRead(bytes, bufferSize, kTag);
        }
    }
}

TEST(PlainRun, SixteenBitFormsAgreeWithOneCharacterAtATime) {
    static constexpr TXmlRunStops kText("<&");
    static constexpr TXmlRunStops kTag(">'\"");
    const std::u16string pieces[] = {u"plain text ", u"<", u"&", u">", u"'", u"\"", u"\n", u"\t", u"\r", u"\r\n",
                                     u"\x01", u"\x7f", u"\u00E9", u"\u20AC", u"\U0001F600", u"\xD800", u"\xDC00",
                                     u"\xFFFE", u"\xFFFF", u"0123456789abcdefghij"};
    // Each byte order behind its mark; a last odd byte is cut off.
    for (bool bigEndian : {false, true}) {
        const auto bytesOf = [bigEndian](std::u16string_view text) {
            std::string bytes;
            for (char16_t unit : text) {
                const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
                bytes += bigEndian ? std::string{high, low} : std::string{low, high};
            }
            return bytes;
        };
        const std::string prefix = (bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) + bytesOf(u"x");
        std::mt19937 rng(13);
        for (int round = 0; round < 200; ++round) {
            std::u16string text;
            const int count = 1 + static_cast<int>(rng() % 40);
            for (int i = 0; i < count; ++i) text += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
            std::string bytes = bytesOf(text);
            if (round % 7 == 0) bytes += 'a';
            for (int32_t bufferSize : {1, 7, 16, 33, 4096}) {
                expectSameRead(bytes, bufferSize, kText, prefix);
                expectSameRead(bytes, bufferSize, kTag, prefix);
            }
        }
    }
}

TEST(PlainRun, StopsAtTheGivenCharactersAndLeavesThemToGetNextChar) {
    static constexpr TXmlRunStops kText("<&");
    TStringStream stream("Fish &amp; chips,\n\ttwice<b/>");
    TXmlInputSource source(&stream, 4096, 8, u"", u"");
    WideString text;
    int32_t c;
    ASSERT_TRUE(source.getNextChar(c));  // fills the buffer; runs take only buffered bytes
    EXPECT_EQ(source.readPlainRun(text, kText), 4u);
    EXPECT_EQ(text, u"ish ");
    ASSERT_TRUE(source.getNextChar(c));
    EXPECT_EQ(c, u'&');
    text.clear();
    source.readPlainRun(text, kText);
    EXPECT_EQ(text, u"amp; chips,\n\ttwice");
    EXPECT_EQ(source.getLocator()->getEndLine(), 2);
    EXPECT_EQ(source.getLocator()->getEndColumn(), 8 + 5);
    EXPECT_EQ(source.getLocator()->getByteOffset(), 24);
}

TEST(PlainRun, NothingForOtherEncodings) {
    static constexpr TXmlRunStops kText("<&");
    TStringStream stream(std::string("\xFF\xFE" "a\0b\0", 6));
    TXmlInputSource source(&stream, 4096, 4, u"", u"");
    WideString text;
    EXPECT_EQ(source.readPlainRun(text, kText), 0u);
    int32_t c;
    ASSERT_TRUE(source.getNextChar(c));
    EXPECT_EQ(c, u'a');
}

}  // namespace
