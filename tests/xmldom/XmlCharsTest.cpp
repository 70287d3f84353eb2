// Tests of the XML character classes, name and content tests, character-reference conversions
// and declaration splitters, including their behaviour on malformed UTF-16.
#include "XmlChars.h"

#include <gtest/gtest.h>

#include "SharedData.h"

#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "DomExceptions.h"

using namespace xmldom;

namespace {

template <class Pred> int countBmp(Pred pred) {
    int n = 0;
    for (uint32_t c = 0; c <= 0xFFFF; ++c)
        n += pred(static_cast<WideChar>(c)) ? 1 : 0;
    return n;
}

std::string convertMessage(std::u16string_view s) {
    try {
        ResolveCharRefs(s);
    } catch (const EConvertError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

// ------------------------------------------------------------------ classes

TEST(XmlCharClasses, CountsOfThePublishedTables) {
    EXPECT_EQ(countBmp([](WideChar c) { return IsXmlBaseChar(c); }), 13602);
    EXPECT_EQ(countBmp([](WideChar c) { return IsXmlCombiningChar(c); }), 437);
    EXPECT_EQ(countBmp([](WideChar c) { return IsXmlDigit(c); }), 149);
    EXPECT_EQ(countBmp([](WideChar c) { return IsXmlIdeographic(c); }), 20902 + 1 + 9);
    EXPECT_EQ(countBmp([](WideChar c) { return IsXmlExtender(c); }), 18);
    EXPECT_EQ(countBmp([](WideChar c) { return IsXmlLetter(c); }), 13602 + 20912);
}

TEST(XmlCharClasses, CodePointAndUnitFormsAgree) {
    for (uint32_t c = 0; c <= 0xFFFF; ++c) {
        WideChar u = static_cast<WideChar>(c);
        ASSERT_EQ(IsXmlBaseChar(UCS4Char(c)), IsXmlBaseChar(u)) << c;
        ASSERT_EQ(IsXmlNameChar(UCS4Char(c)), IsXmlNameChar(u)) << c;
        ASSERT_EQ(IsXmlLetter(UCS4Char(c)), IsXmlIdeographic(u) || IsXmlBaseChar(u)) << c;
        ASSERT_EQ(IsXmlNameChar(u), IsXmlLetter(u) || IsXmlDigit(u) || IsXmlCombiningChar(u) ||
                                        IsXmlExtender(u) || c == '.' || c == '-' || c == '_' || c == ':')
            << c;
        ASSERT_EQ(IsXmlNCNameChar(u), IsXmlNameChar(u) && c != ':') << c;
    }
}

// Every code point of the reference file, read independently of the generator.
TEST(XmlCharClasses, MatchTheReferenceData) {
    std::ifstream in(VETRA_SHARED_DIR "data/xml-char-classes.txt");
    if (!in) VETRA_SHARED_DATA_MISSING("data/xml-char-classes.txt");
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::map<std::string, std::set<uint32_t>> classes;
    std::regex production(R"(\[(\d+)\]\s+(\w+)\s*::=)");
    std::regex item(R"(\[#x([0-9A-Fa-f]+)-#x([0-9A-Fa-f]+)\]|#x([0-9A-Fa-f]+))");
    std::vector<std::pair<size_t, std::string>> starts;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), production); it != std::sregex_iterator();
         ++it)
        starts.emplace_back(it->position() + it->length(), (*it)[2]);
    for (size_t i = 0; i < starts.size(); ++i) {
        size_t end = i + 1 < starts.size() ? starts[i + 1].first : text.size();
        std::string body = text.substr(starts[i].first, end - starts[i].first);
        for (auto it = std::sregex_iterator(body.begin(), body.end(), item); it != std::sregex_iterator();
             ++it) {
            if ((*it)[3].matched) {
                classes[starts[i].second].insert(std::stoul((*it)[3], nullptr, 16));
            } else {
                for (uint32_t c = std::stoul((*it)[1], nullptr, 16); c <= std::stoul((*it)[2], nullptr, 16);
                     ++c)
                    classes[starts[i].second].insert(c);
            }
        }
    }
    for (uint32_t c = 0; c <= 0xFFFF; ++c) {
        WideChar u = static_cast<WideChar>(c);
        ASSERT_EQ(IsXmlBaseChar(u), classes["BaseChar"].count(c) == 1) << std::hex << c;
        ASSERT_EQ(IsXmlIdeographic(u), classes["Ideographic"].count(c) == 1) << std::hex << c;
        ASSERT_EQ(IsXmlCombiningChar(u), classes["CombiningChar"].count(c) == 1) << std::hex << c;
        ASSERT_EQ(IsXmlDigit(u), classes["Digit"].count(c) == 1) << std::hex << c;
        ASSERT_EQ(IsXmlExtender(u), classes["Extender"].count(c) == 1) << std::hex << c;
    }
}

TEST(XmlCharClasses, EdgesNamedByTheGrammar) {
    for (uint32_t c = 0xF8; c <= 0x131; ++c)
        EXPECT_TRUE(IsXmlBaseChar(UCS4Char(c))) << c;
    EXPECT_FALSE(IsXmlBaseChar(UCS4Char(0x132)));
    EXPECT_FALSE(IsXmlBaseChar(UCS4Char(0x133)));
    EXPECT_TRUE(IsXmlBaseChar(UCS4Char(0xD7A3)));
    EXPECT_FALSE(IsXmlBaseChar(UCS4Char(0xD7A4)));
    EXPECT_FALSE(IsXmlDigit(UCS4Char(0x0BE6)));
    EXPECT_TRUE(IsXmlDigit(UCS4Char(0x0BE7)));
    EXPECT_TRUE(IsXmlIdeographic(UCS4Char(0x3007)));
    EXPECT_TRUE(IsXmlExtender(UCS4Char(0xB7)));
}

TEST(XmlCharClasses, CharAndUnitsAboveTheBasicPlane) {
    EXPECT_TRUE(IsXmlChar(0x10000));
    EXPECT_TRUE(IsXmlChar(0x10FFFF));
    EXPECT_FALSE(IsXmlChar(0x110000));
    EXPECT_FALSE(IsXmlChar(0xFFFFFFFF));
    EXPECT_FALSE(IsXmlChar(0xD800));
    EXPECT_FALSE(IsXmlChar(0xFFFE));
    EXPECT_FALSE(IsXmlChar(0x1F));
    EXPECT_TRUE(IsXmlCharUnit(u'\xD800')); // pairing is the caller's test
    EXPECT_FALSE(IsXmlCharUnit(u'\xFFFE'));
    EXPECT_FALSE(IsXmlLetter(UCS4Char(0x10000 + 0x41))); // no wrap-around to 'A'
    EXPECT_FALSE(IsXmlNameChar(UCS4Char(0x1004E00)));
    EXPECT_FALSE(IsXmlBaseChar(UCS4Char(0xFFFFFFFF)));
}

TEST(XmlCharClasses, SmallAsciiClasses) {
    EXPECT_TRUE(IsXmlWhiteSpace(u'\t'));
    EXPECT_FALSE(IsXmlWhiteSpace(u'\0'));
    EXPECT_TRUE(IsXmlWhiteSpaceOrNull(u'\0'));
    EXPECT_TRUE(IsXmlPubidChar(u'%'));
    EXPECT_FALSE(IsXmlPubidChar(u'"'));
    EXPECT_FALSE(IsXmlPubidChar(u'\t'));
    EXPECT_FALSE(IsXmlPubidChar(u'\x00E9'));
    EXPECT_TRUE(IsXmlVersionNumChar(u':'));
    EXPECT_FALSE(IsXmlVersionNumChar(u' '));
    EXPECT_TRUE(IsXmlEncNameStartChar('Z'));
    EXPECT_FALSE(IsXmlEncNameStartChar('1'));
    EXPECT_TRUE(IsXmlEncNameChar('-'));
    EXPECT_FALSE(IsXmlEncNameChar(':'));
}

// ------------------------------------------------------------------ names

TEST(XmlNameTests, NamesAndTokens) {
    EXPECT_FALSE(IsXmlName(u""));
    EXPECT_TRUE(IsXmlName(u":"));
    EXPECT_TRUE(IsXmlName(u"_"));
    EXPECT_FALSE(IsXmlName(u"1abc"));
    EXPECT_TRUE(IsXmlNmtoken(u"1abc"));
    EXPECT_FALSE(IsXmlNmtoken(u""));
    EXPECT_TRUE(IsXmlName(u"\x0391\x03B2\x00B7-1")); // Greek letters, extender, mark, digit
    EXPECT_TRUE(IsXmlName(u"\x4E2D\x6587"));
    EXPECT_FALSE(IsXmlName(u"a b"));
    EXPECT_FALSE(IsXmlName(u"\x0300x")); // combining character first
}

TEST(XmlNameTests, NamespaceNames) {
    EXPECT_FALSE(IsXmlNCName(u""));
    EXPECT_FALSE(IsXmlNCName(u"a:b"));
    EXPECT_TRUE(IsXmlQName(u"a:b"));
    EXPECT_TRUE(IsXmlQName(u"ab"));
    EXPECT_FALSE(IsXmlQName(u"a:b:c"));
    EXPECT_FALSE(IsXmlQName(u":b"));
    EXPECT_FALSE(IsXmlQName(u"a:"));
    EXPECT_FALSE(IsXmlQName(u""));
    EXPECT_TRUE(IsXmlDefaultAttName(u"xmlns"));
    EXPECT_FALSE(IsXmlDefaultAttName(u"xmlns:a"));
    EXPECT_TRUE(IsXmlPrefixedAttName(u"xmlns:a"));
    EXPECT_FALSE(IsXmlPrefixedAttName(u"xmlns:"));
    EXPECT_FALSE(IsXmlPrefixedAttName(u"xmlns:a:b"));
}

TEST(XmlNameTests, ProcessingInstructionTargets) {
    for (const char16_t* reserved : {u"xml", u"XML", u"xMl", u"XmL"})
        EXPECT_FALSE(IsXmlPITarget(reserved));
    EXPECT_TRUE(IsXmlPITarget(u"xml-stylesheet"));
    EXPECT_TRUE(IsXmlPITarget(u"xmlx"));
    EXPECT_FALSE(IsXmlPITarget(u""));
}

TEST(XmlNameTests, NamesAndNmtokensLists) {
    EXPECT_TRUE(IsXmlNames(u"a b"));
    EXPECT_FALSE(IsXmlNames(u"a  b"));
    EXPECT_FALSE(IsXmlNames(u" a"));
    EXPECT_FALSE(IsXmlNames(u"a "));
    EXPECT_FALSE(IsXmlNames(u""));
    EXPECT_FALSE(IsXmlNames(u"a\tb"));
    EXPECT_TRUE(IsXmlNmtokens(u"1a\t2b"));
    EXPECT_TRUE(IsXmlNmtokens(u"a \r\n b"));
    EXPECT_FALSE(IsXmlNmtokens(u" a"));
    EXPECT_FALSE(IsXmlNmtokens(u"a\t"));
    EXPECT_FALSE(IsXmlNmtokens(u""));
}

TEST(XmlNameTests, KeywordTests) {
    EXPECT_TRUE(IsXmlPredefinedEntityName(u"apos"));
    EXPECT_FALSE(IsXmlPredefinedEntityName(u"AMP"));
    EXPECT_TRUE(IsXmlStringType(u"CDATA"));
    EXPECT_FALSE(IsXmlStringType(u"cdata"));
    EXPECT_TRUE(IsXmlTokenizedType(u"NMTOKENS"));
    EXPECT_FALSE(IsXmlTokenizedType(u"NOTATION"));
    EXPECT_TRUE(IsXmlVersionNum(u"1.0"));
    EXPECT_FALSE(IsXmlVersionNum(u""));
    EXPECT_FALSE(IsXmlVersionNum(u"1 0"));
    EXPECT_TRUE(IsXmlEncName(u"ISO-8859-1"));
    EXPECT_FALSE(IsXmlEncName(u"8859"));
    EXPECT_FALSE(IsXmlEncName(u""));
}

// The name classes hold no character above U+FFFF: a pair is no more a name character than a
// lone surrogate.
TEST(XmlNameTests, SurrogatesInNames) {
    const std::u16string pair = u"\xD800\xDC00";
    EXPECT_FALSE(IsXmlName(u"a" + pair));
    EXPECT_FALSE(IsXmlName(pair + u"a"));
    EXPECT_FALSE(IsXmlNCName(u"a" + pair));
    EXPECT_FALSE(IsXmlNmtoken(pair));
    EXPECT_FALSE(IsXmlName(u"a\xD800"));       // high surrogate last
    EXPECT_FALSE(IsXmlName(u"a\xDC00"));       // low surrogate alone
    EXPECT_FALSE(IsXmlName(u"a\xD800x"));      // high surrogate without its low half
    EXPECT_FALSE(IsXmlName(u"a\xDC00\xD800")); // halves in the wrong order
    EXPECT_FALSE(IsXmlNmtokens(pair + u" " + pair));
    EXPECT_TRUE(IsXmlNmtokens(u"a b"));
    EXPECT_FALSE(IsXmlNmtokens(u"a \xDC00"));
}

// ------------------------------------------------------------------ content

TEST(XmlContentTests, CharsAndCharData) {
    EXPECT_TRUE(IsXmlChars(u""));
    EXPECT_TRUE(IsXmlChars(u"a\tb\r\n\xD7FF\xE000\xFFFD\xDBFF\xDFFF"));
    EXPECT_FALSE(IsXmlChars(u"\xFFFE"));
    EXPECT_FALSE(IsXmlChars(std::u16string(1, u'\0')));
    EXPECT_FALSE(IsXmlChars(u"\xD800"));
    EXPECT_TRUE(IsXmlCharData(u"a > b"));
    EXPECT_FALSE(IsXmlCharData(u"a < b"));
    EXPECT_FALSE(IsXmlCharData(u"a & b"));
    EXPECT_TRUE(IsXmlCData(u"<&]]"));
    EXPECT_FALSE(IsXmlCData(u"a]]>b"));
    EXPECT_TRUE(IsXmlS(u" \t\r\n"));
    EXPECT_FALSE(IsXmlS(u""));
    EXPECT_TRUE(IsXmlPubidChars(u""));
    EXPECT_FALSE(IsXmlPubidChars(u"a\"b"));
}

TEST(XmlContentTests, Literals) {
    EXPECT_TRUE(IsXmlAttValue(u"'say \"hi\"'"));
    EXPECT_FALSE(IsXmlAttValue(u"'it's'"));
    EXPECT_FALSE(IsXmlAttValue(u"'a<b'"));
    EXPECT_TRUE(IsXmlAttValue(u"\"a &amp; &#38; &#x26;\""));
    EXPECT_FALSE(IsXmlAttValue(u"\"a & b\""));
    EXPECT_FALSE(IsXmlAttValue(u"\"a &amp\""));
    EXPECT_FALSE(IsXmlAttValue(u"'a\""));
    EXPECT_FALSE(IsXmlAttValue(u"'"));
    EXPECT_FALSE(IsXmlAttValue(u"'a\xD800'")); // high surrogate just before the closing quote
    EXPECT_TRUE(IsXmlAttValue(u"''"));
    EXPECT_TRUE(IsXmlSystemLiteral(u"\"http://x/y\""));
    EXPECT_FALSE(IsXmlSystemLiteral(u"\"a\"b\""));
    EXPECT_FALSE(IsXmlSystemChars(u"a'b\"c"));
    EXPECT_TRUE(IsXmlSystemChars(u"a'b"));
}

TEST(XmlContentTests, EntityValues) {
    EXPECT_TRUE(IsXmlEntityValue(u"<a>%pe; &ent; &#65;"));
    EXPECT_FALSE(IsXmlEntityValue(u"a & b"));
    EXPECT_FALSE(IsXmlEntityValue(u"a &b"));
    EXPECT_FALSE(IsXmlEntityValue(u"' and \""));
    EXPECT_FALSE(IsXmlEntityValue(u"&1;"));
}

TEST(XmlContentTests, References) {
    EXPECT_FALSE(IsXmlCharRef(u"&#x;"));
    EXPECT_TRUE(IsXmlCharRef(u"&#0;"));
    EXPECT_TRUE(IsXmlCharRef(u"&#xD800;"));
    EXPECT_FALSE(IsXmlCharRef(u"&#;"));
    EXPECT_FALSE(IsXmlCharRef(u"&#xG;"));
    EXPECT_FALSE(IsXmlCharRef(u"&#1a;"));
    EXPECT_TRUE(IsXmlEntityRef(u"&amp;"));
    EXPECT_FALSE(IsXmlEntityRef(u"&;"));
    EXPECT_FALSE(IsXmlEntityRef(u"&"));
    EXPECT_TRUE(IsXmlPEReference(u"%pe;"));
    EXPECT_FALSE(IsXmlPEReference(u"%;"));
    EXPECT_TRUE(IsXmlReference(u"&#10;"));
    EXPECT_TRUE(IsXmlReference(u"&lt;"));
}

// ------------------------------------------------------------------ conversions

TEST(XmlCharRefConversions, Values) {
    EXPECT_EQ(XmlCharRefToInt(u"&#x10000;"), 65536u);
    EXPECT_EQ(XmlCharRefToInt(u"&#65;"), 65u);
    EXPECT_EQ(XmlCharRefToInt(u"&#x10FFFF;"), 0x10FFFFu);
    EXPECT_EQ(XmlCharRefToStr(u"&#x10000;"), std::u16string(u"\xD800\xDC00"));
    EXPECT_EQ(XmlCharRefToStr(u"&#x10FFFF;"), std::u16string(u"\xDBFF\xDFFF"));
    EXPECT_EQ(XmlCharRefToStr(u"&#x41;"), u"A");
    EXPECT_EQ(XmlIntToCharRef(13), "&#xD;");
    EXPECT_EQ(XmlIntToCharRef(0), "&#x0;");
    EXPECT_EQ(XmlIntToCharRef(0x1F600), "&#x1F600;");
}

TEST(XmlCharRefConversions, BadValuesRaiseTheConversionMessage) {
    for (const char16_t* bad :
         {u"&#0;", u"&#xD800;", u"&#xDFFF;", u"&#xFFFE;", u"&#x110000;", u"&#1114112;", u"&#x;", u"&amp;",
          u"&#99999999999999999999999999;", u"&#xFFFFFFFFFFFFFFFF41;"}) {
        try {
            XmlCharRefToInt(bad);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, ToUtf8(std::u16string(bad) + u" is not a valid XmlCharRef value."));
        }
    }
}

TEST(XmlCharRefConversions, ResolveCharRefs) {
    EXPECT_EQ(ResolveCharRefs(u"&amp;&#65;"), u"&amp;A");
    EXPECT_EQ(ResolveCharRefs(u"\xFEFFx&#x10000;y"), std::u16string(u"\xFEFFx\xD800\xDC00y"));
    EXPECT_EQ(ResolveCharRefs(u""), u"");
    EXPECT_EQ(convertMessage(u"a & b"), "WideString contains an '&' without a ';'.");
    EXPECT_EQ(convertMessage(u"\xDC00"), "WideString must not start with a UTF-16 low surrogate.");
    EXPECT_EQ(convertMessage(u"ab\xD800"), "WideString must not end with a UTF-16 high surrogate.");
    EXPECT_EQ(convertMessage(u"\xD800x"),
              "WideString contains an UTF-16 high surrogate without its corresponding low surrogate.");
    EXPECT_EQ(convertMessage(u"a\xFFFF"), "WideString contains an invalid character.");
    EXPECT_EQ(convertMessage(u"x &a b; y"), "WideString contains an invalid reference &a b;.");
    EXPECT_EQ(convertMessage(u"&#0;"), "&#0; is not a valid XmlCharRef value.");
    // A long text grows the buffer past its first capacity.
    std::u16string longText(1000, u'z');
    EXPECT_EQ(ResolveCharRefs(longText + u"&#33;"), longText + u"!");
}

TEST(XmlCharRefConversions, QualifiedNameSplits) {
    EXPECT_EQ(XmlExtractLocalName(u"p:local"), u"local");
    EXPECT_EQ(XmlExtractLocalName(u"local"), u"local");
    EXPECT_THROW(XmlExtractLocalName(u"p:a:b"), EInvalid_Character_Err);
    EXPECT_THROW(XmlExtractLocalName(u"1p:a"), EInvalid_Character_Err);
    try {
        XmlExtractLocalName(u"");
        ADD_FAILURE();
    } catch (const EDomException& e) {
        EXPECT_STREQ(e.what(), "Invalid character error.");
    }
    WideString prefix = u"old", local = u"old";
    EXPECT_TRUE(XmlExtractPrefixAndLocalName(u"a:b", prefix, local));
    EXPECT_EQ(prefix, u"a");
    EXPECT_EQ(local, u"b");
    EXPECT_TRUE(XmlExtractPrefixAndLocalName(u"b", prefix, local));
    EXPECT_EQ(prefix, u"");
    EXPECT_FALSE(XmlExtractPrefixAndLocalName(u"a:1", prefix, local));
    EXPECT_EQ(prefix, u"");
    EXPECT_EQ(local, u"");
}

// ------------------------------------------------------------------ splitters

TEST(XmlSplitters, FirstTokenAndQuotedLiteral) {
    WideString head, rest;
    XmlSplitFirstToken(u"target  some data \t", head, rest);
    EXPECT_EQ(head, u"target");
    EXPECT_EQ(rest, u"some data");
    XmlSplitFirstToken(u"alone", head, rest);
    EXPECT_EQ(head, u"alone");
    EXPECT_EQ(rest, u"");

    WideString literal;
    bool error = true;
    WideChar quote = 0;
    XmlParseQuotedLiteral(u"  'a \"b\"'  tail ", literal, rest, error, quote);
    EXPECT_FALSE(error);
    EXPECT_EQ(literal, u"a \"b\"");
    EXPECT_EQ(rest, u"tail ");
    EXPECT_EQ(quote, u'\'');
    XmlParseQuotedLiteral(u"'a'b", literal, rest, error, quote);
    EXPECT_TRUE(error);
    EXPECT_EQ(quote, 0);
    XmlParseQuotedLiteral(u"'open", literal, rest, error, quote);
    EXPECT_TRUE(error);
    XmlParseQuotedLiteral(u"'", literal, rest, error, quote);
    EXPECT_TRUE(error);
    XmlParseQuotedLiteral(u"'\xDC00'", literal, rest, error, quote);
    EXPECT_TRUE(error);
}

TEST(XmlSplitters, EntityDefinitions) {
    WideString value, systemId, notation, publicId;
    bool error = true;
    XmlParseEntityDef(u" 'text &amp; more'", value, systemId, error, notation, publicId);
    EXPECT_FALSE(error);
    EXPECT_EQ(value, u"text &amp; more");
    XmlParseEntityDef(u"'a' extra", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error);
    XmlParseEntityDef(u"'a & b'", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error);
    XmlParseEntityDef(u"SYSTEM \"pic.gif\" NDATA gif ", value, systemId, error, notation, publicId);
    EXPECT_FALSE(error);
    EXPECT_EQ(systemId, u"pic.gif");
    EXPECT_EQ(notation, u"gif");
    XmlParseEntityDef(u"PUBLIC '-//X//EN' 'x.ent'", value, systemId, error, notation, publicId);
    EXPECT_FALSE(error);
    EXPECT_EQ(publicId, u"-//X//EN");
    EXPECT_EQ(systemId, u"x.ent");
    EXPECT_EQ(notation, u"");
    XmlParseEntityDef(u"PUBLIC '-//X//EN'", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error);
    XmlParseEntityDef(u"PUBLIC 'a\tb' 'x'", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error); // tab is no public-identifier character
    XmlParseEntityDef(u"SYSTEM'x'", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error);
    XmlParseEntityDef(u"SYSTEM 'x' NDATA", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error);
    XmlParseEntityDef(u"SYSTEM 'x' NDATA 1x", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error);
    XmlParseEntityDef(u"x", value, systemId, error, notation, publicId);
    EXPECT_TRUE(error);
}

TEST(XmlSplitters, NotationDefinitions) {
    WideString systemId, publicId;
    bool error = true;
    XmlParseNotationDef(u" SYSTEM 'viewer' ", systemId, publicId, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(systemId, u"viewer");
    XmlParseNotationDef(u"PUBLIC '-//A//N'", systemId, publicId, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(publicId, u"-//A//N");
    EXPECT_EQ(systemId, u"");
    XmlParseNotationDef(u"PUBLIC '-//A//N' \"v.exe\"", systemId, publicId, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(systemId, u"v.exe");
    XmlParseNotationDef(u"SYSTEM 'a' 'b'", systemId, publicId, error);
    EXPECT_TRUE(error);
    XmlParseNotationDef(u"PUBLIC '-//A//N' 'b' 'c'", systemId, publicId, error);
    EXPECT_TRUE(error);
    XmlParseNotationDef(u"SYSTEM", systemId, publicId, error);
    EXPECT_TRUE(error);
}

TEST(XmlSplitters, BracketsParenthesesAndTrims) {
    WideString inner;
    bool error = true;
    XmlStripBrackets(u" [ <!ENTITY x 'y'> ] ", inner, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(inner, u" <!ENTITY x 'y'> ");
    XmlStripParentheses(u"( a | b )", inner, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(inner, u"a | b");
    XmlStripParentheses(u"(", inner, error);
    EXPECT_TRUE(error);
    XmlStripBrackets(u"[a", inner, error);
    EXPECT_TRUE(error);
    EXPECT_EQ(TrimXmlWhiteSpace(u"\t a b \r\n"), u"a b");
    EXPECT_EQ(TrimXmlWhiteSpaceLeft(u"\t a b \n"), u"a b \n");
    EXPECT_EQ(TrimSpaces(u" \ta\t "), u"\ta\t");
    EXPECT_EQ(TrimSpaces(u"   "), u"");
    EXPECT_EQ(EscapeQuotesAsCharRefs(u"a\"b'c"), u"a&#34;b&#39;c");
}

TEST(XmlSplitters, OrdinalComparison) {
    EXPECT_EQ(CompareWideStrOrdinal(u"abc", u"abd"), 'c' - 'd');
    EXPECT_EQ(CompareWideStrOrdinal(u"ab", u"abcd"), -2);
    EXPECT_EQ(CompareWideStrOrdinal(u"B", u"a"), 'B' - 'a');
    EXPECT_EQ(CompareWideStrOrdinal(u"\xFFFF", u"a"), 0xFFFF - 'a');
    EXPECT_EQ(CompareWideStrOrdinal(u"", u""), 0);
}

// ------------------------------------------------------------------ bad input

// Random texts full of surrogates, references and quotes: nothing crashes, and the
// conversions fail only with their own exception classes.
TEST(XmlBadInput, RandomTextsNeverCrash) {
    const char16_t alphabet[] = u"a:_1 \t&#x;%'\"<>[]()\xD800\xDBFF\xDC00\xDFFF\xFFFE\xFFFF\x0300\x4E00";
    std::mt19937 random(12345);
    for (int round = 0; round < 20000; ++round) {
        std::u16string s;
        int length = random() % 12;
        for (int i = 0; i < length; ++i)
            s += alphabet[random() % (sizeof(alphabet) / 2 - 1)];
        IsXmlName(s), IsXmlNames(s), IsXmlNmtokens(s), IsXmlQName(s), IsXmlAttValue(s), IsXmlEntityValue(s);
        IsXmlSystemLiteral(s), IsXmlCharRef(s), IsXmlChars(s), IsXmlCData(s), IsXmlPITarget(s);
        WideString a, b, c, d;
        bool error;
        WideChar q;
        XmlParseEntityDef(s, a, b, error, c, d);
        XmlParseNotationDef(s, a, b, error);
        XmlParseQuotedLiteral(s, a, b, error, q);
        XmlSplitFirstToken(s, a, b);
        XmlStripBrackets(s, a, error);
        XmlStripParentheses(s, a, error);
        XmlExtractPrefixAndLocalName(s, a, b);
        try {
            ResolveCharRefs(s);
        } catch (const EConvertError&) {
        }
        try {
            XmlCharRefToStr(s);
        } catch (const EConvertError&) {
        }
        try {
            XmlExtractLocalName(s);
        } catch (const EInvalid_Character_Err&) {
        }
    }
}

// Long texts are checked eight units at a time: a fault or a pair at any place, also across
// the blocks, gives the answer a check unit by unit gives.
TEST(XmlCharsLong, EveryPlaceOfAFaultOrAPair) {
    for (size_t length : {7u, 8u, 9u, 16u, 17u, 40u}) {
        for (size_t at = 0; at < length; ++at) {
            std::u16string s(length, u'a');
            for (char16_t bad : {u'\x01', u'\xFFFE', u'\xFFFF', u'\xD800', u'\xDC00'}) {
                s[at] = bad;
                EXPECT_FALSE(IsXmlChars(s)) << length << " " << at;
            }
            for (char16_t good : {u'\t', u'\n', u'\r', u' ', u'\xD7FF', u'\xE000', u'\xFFFD'}) {
                s[at] = good;
                EXPECT_TRUE(IsXmlChars(s)) << length << " " << at;
            }
            if (at + 1 < length) {
                s[at] = u'\xD83D';
                s[at + 1] = u'\xDE00';
                EXPECT_TRUE(IsXmlChars(s)) << length << " " << at;
            }
        }
    }
}

TEST(XmlCharsLong, NamesWithAnAsciiStartAndAnyTail) {
    EXPECT_TRUE(IsXmlName(u"statement"));
    EXPECT_TRUE(IsXmlName(u"sub-heading.x_y:z9"));
    EXPECT_FALSE(IsXmlName(u"9lives"));
    EXPECT_FALSE(IsXmlName(u"a b"));
    EXPECT_TRUE(IsXmlName(u"caf\u00E9"));
    EXPECT_FALSE(IsXmlName(u"caf\u00D7"));          // the multiplication sign is no name character
    EXPECT_TRUE(IsXmlName(u"\u00E9t\u00E9"));
    EXPECT_FALSE(IsXmlName(u"a\xD800"));            // lone surrogate in the tail
    EXPECT_FALSE(IsXmlName(u""));
}
