// Tests of the message formatter behind the library's exception texts.
#include "XmlSupport.h"

#include <gtest/gtest.h>

using namespace xmldom;

TEST(XmlFormat, Specifiers) {
    EXPECT_EQ(Format(u"%d is not valid", {-42}), u"-42 is not valid");
    EXPECT_EQ(Format(u"High surrogate %4.4X without", {0xD8}), u"High surrogate 00D8 without");
    EXPECT_EQ(Format(u"%4.4X", {0x1D800}), u"1D800");
    EXPECT_EQ(Format(u"%x|%5d|%S|%s", {255, 7, WideString(u"\x00E9t\x00E9"), u"b"}),
              u"ff|    7|\x00E9t\x00E9|b");
    EXPECT_EQ(Format(u"100%% of %d", {3}), u"100% of 3");
}

TEST(XmlFormat, MismatchesAreCopiedNotRead) {
    EXPECT_EQ(Format(u"%d and %d", {1}), u"1 and %d");
    EXPECT_EQ(Format(u"%d", {u"text"}), u"%d");
    EXPECT_EQ(Format(u"trailing %", {1}), u"trailing %");
    EXPECT_EQ(Format(u"%q", {1}), u"%q");
}

TEST(XmlExceptionText, WhatIsUtf8) {
    EConvertError e(u"caf\x00E9 \xD800");
    EXPECT_STREQ(e.what(), "caf\xC3\xA9 \xEF\xBF\xBD");
    EXPECT_EQ(e.Message, "caf\xC3\xA9 \xEF\xBF\xBD");
}
