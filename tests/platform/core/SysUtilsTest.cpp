// String-to-integer conversion, date conversion by the format settings, and the string helpers.
#include "SysUtils.h"
#include "Exceptions.h"

#include <gtest/gtest.h>

namespace {

int Converted(const char* text) {
    int v = -999;
    EXPECT_TRUE(TryStrToInt(text, v)) << text;
    return v;
}

bool Refused(const char* text) {
    int v = -999;
    bool ok = TryStrToInt(text, v);
    EXPECT_EQ(v, -999) << "value changed for " << text;
    return !ok;
}

TEST(StrToInt, DecimalWithSignsAndLeadingBlanks) {
    EXPECT_EQ(Converted("123"), 123);
    EXPECT_EQ(Converted("0123"), 123);
    EXPECT_EQ(Converted(" 0123"), 123);
    EXPECT_EQ(Converted("   -45"), -45);
    EXPECT_EQ(Converted("+7"), 7);
    EXPECT_EQ(Converted("0"), 0);
}

TEST(StrToInt, HexadecimalPrefixes) {
    EXPECT_EQ(Converted("$1F"), 31);
    EXPECT_EQ(Converted("x1f"), 31);
    EXPECT_EQ(Converted("X10"), 16);
    EXPECT_EQ(Converted("0x10"), 16);
    EXPECT_EQ(Converted("0X7fffffff"), 2147483647);
    EXPECT_EQ(Converted("-$10"), -16);
}

TEST(StrToInt, AnyOtherCharacterFails) {
    EXPECT_TRUE(Refused(""));
    EXPECT_TRUE(Refused("   "));
    EXPECT_TRUE(Refused("12 ")); // trailing blank
    EXPECT_TRUE(Refused("12a"));
    EXPECT_TRUE(Refused("1.5"));
    EXPECT_TRUE(Refused("+"));
    EXPECT_TRUE(Refused("-"));
    EXPECT_TRUE(Refused("$"));
    EXPECT_TRUE(Refused("0x"));
    EXPECT_TRUE(Refused("$G"));
    EXPECT_TRUE(Refused("+-1"));
    EXPECT_TRUE(Refused("1,000"));
}

TEST(StrToInt, RangeOfThirtyTwoBits) {
    EXPECT_EQ(Converted("2147483647"), 2147483647);
    EXPECT_EQ(Converted("-2147483648"), -2147483647 - 1);
    EXPECT_TRUE(Refused("2147483648"));
    EXPECT_TRUE(Refused("-2147483649"));
    EXPECT_TRUE(Refused("99999999999999999999999"));
    EXPECT_TRUE(Refused("$100000000"));
}

TEST(StrToInt, RaisesTheConversionErrorWithTheLibraryMessage) {
    try {
        StrToInt("12a");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'12a' is not a valid integer value");
    }
    EXPECT_EQ(StrToInt(" 42"), 42);
    EXPECT_EQ(StrToIntDef("zz", 5), 5);
    EXPECT_EQ(IntToStr(-12), "-12");
}

TEST(StringHelpers, CaseMappingLeavesEightBitBytesAlone) {
    EXPECT_EQ(UpperCase("ab\xE4z"), "AB\xE4Z");
    EXPECT_EQ(LowerCase("AB\xC4Z"), "ab\xC4z");
    EXPECT_TRUE(SameText("Lang_Code", "LANG_CODE"));
    EXPECT_FALSE(SameText("\xE4", "\xC4"));
    EXPECT_EQ(Trim("  a b \t"), "a b");
    EXPECT_EQ(TrimRight("  a  "), "  a");
    EXPECT_EQ(TrimLeft("  a  "), "a  ");
}

class DateFormat : public ::testing::Test {
protected:
    void TearDown() override { FormatSettings = TFormatSettings{}; }
};

TEST_F(DateFormat, DefaultsAreDayMonthYearWithSlash) {
    TFormatSettings defaults;
    EXPECT_EQ(defaults.DateSeparator, '/');
    EXPECT_EQ(defaults.DecimalSeparator, '.');
    EXPECT_EQ(defaults.ShortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(DateToStr(EncodeDate(2005, 1, 2)), "02/01/2005");
    EXPECT_EQ(StrToDate("02/01/2005"), EncodeDate(2005, 1, 2));
    EXPECT_EQ(StrToDate("2/1/05"), EncodeDate(2005, 1, 2));
}

TEST_F(DateFormat, FollowsTheProcessSettings) {
    FormatSettings.DateSeparator = '.';
    FormatSettings.ShortDateFormat = "yyyy/mm/dd";
    EXPECT_EQ(DateToStr(EncodeDate(2004, 2, 29)), "2004.02.29");
    EXPECT_EQ(StrToDate("2004.02.29"), EncodeDate(2004, 2, 29));
    EXPECT_THROW(StrToDate("29/02/2004"), EConvertError);
}

TEST_F(DateFormat, RefusesImpossibleDates) {
    EXPECT_THROW(StrToDate("29/02/2001"), EConvertError);
    EXPECT_THROW(StrToDate("31/04/2005"), EConvertError);
    EXPECT_THROW(StrToDate(""), EConvertError);
    EXPECT_THROW(StrToDate("01/01/2005x"), EConvertError);
    EXPECT_THROW(StrToDate("01/13/2005"), EConvertError);
    try {
        StrToDate("aa");
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'aa' is not a valid date");
    }
}

TEST_F(DateFormat, DayNumbersMatchTheCalendar) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 3, 1) - EncodeDate(1900, 2, 28), 1.0); // 1900 is no leap year
    EXPECT_EQ(EncodeDate(2001, 1, 1) - EncodeDate(2000, 1, 1), 366.0);
    for (double d = 30000; d < 50000; d += 97) {
        int y, m, day;
        DecodeDate(d, y, m, day);
        EXPECT_EQ(EncodeDate(y, m, day), d);
    }
    EXPECT_GT(Date(), EncodeDate(2020, 1, 1));
}

} // namespace
