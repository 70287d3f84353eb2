// Tests of the output and input sources: buffered writing, every encoding's byte form, line
// ends and character references; mark detection, declarations, decoding faults with their
// positions, line-end normalisation, the locator, and reads across buffer boundaries.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DomExceptions.h"
#include "XmlEncodings.h"
#include "XmlSources.h"

#include "EncodingTestSupport.h"

using namespace xmldom;

namespace {

/// The bytes an output source writes for Text.
std::string written(uint8_t encoding, std::u16string_view text, bool references,
                    TdomNewLineType newLine = nltCRLF) {
    TStringStream stream;
    {
        TXmlOutputSource out(&stream, 16);
        out.setEncoding(encoding);
        out.setNewLine(newLine);
        if (references)
            out.writeTextWithReferences(text);
        else
            out.writeText(text);
    }
    return stream.DataString();
}

/// Machine-order UTF-16 bytes of a text.
std::string machineOrder(std::u16string_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

/// UTF-16 bytes of a text with each unit's bytes exchanged.
std::string exchanged(std::u16string_view text) {
    std::string s;
    for (char16_t unit : text) {
        s.push_back(static_cast<char>(unit >> 8));
        s.push_back(static_cast<char>(unit & 0xFF));
    }
    return s;
}

struct TRead {
    WideString text;
    std::string error;
};

/// All characters of an input source (with line-end handling), or the error that ended them.
TRead readAll(TXmlInputSource& source) {
    TRead result;
    try {
        int32_t c;
        while (source.getNextChar(c)) {
            if (c > 0xFFFF) {
                result.text.push_back(static_cast<char16_t>(highSurrogateOf(c)));
                result.text.push_back(static_cast<char16_t>(lowSurrogateOf(c)));
            } else {
                result.text.push_back(static_cast<char16_t>(c));
            }
        }
    } catch (const EConvertError& e) {
        result.error = e.what();
    }
    return result;
}

struct TInput {
    explicit TInput(const std::string& data, int32_t bufferSize = 4096, int32_t tabWidth = 4)
        : stream(data), source(&stream, bufferSize, tabWidth, u"pub", u"sys") {}
    TStringStream stream;
    TXmlInputSource source;
};

std::string firstError(const std::string& data) {
    try {
        TInput input(data);
        return readAll(input.source).error;
    } catch (const EConvertError& e) {
        return e.what();
    }
}

} // namespace

// --- buffered writing ------------------------------------------------------------------------

TEST(CustomWriter, BufferAndStraightWrites) {
    TStringStream stream;
    TdomCustomWriter writer(&stream, 4);
    writer.writeBytes("abcd", 4); // exactly the buffer: kept
    EXPECT_EQ(stream.DataString(), "");
    writer.writeBytes("e", 1); // does not fit: flush first, then buffered
    EXPECT_EQ(stream.DataString(), "abcd");
    writer.writeBytes("fghij", 5); // larger than the buffer: flush, then straight through
    EXPECT_EQ(stream.DataString(), "abcdefghij");
    writer.writeBytes("k", 1);
    writer.flush();
    EXPECT_EQ(stream.DataString(), "abcdefghijk");
    EXPECT_EQ(messageOf<EStreamError>([] { TdomCustomWriter w(nullptr, 4); }), "Stream not specified.");
}

/// A stream that takes no bytes.
class TFullStream : public TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};

TEST(CustomWriter, AStreamThatRefusesBytesIsAWriteError) {
    TFullStream full;
    TXmlOutputSource out(&full, 8);
    out.writeText(u"abc");
    EXPECT_EQ(messageOf<EWriteError>([&] { out.flush(); }), "Stream write error");
    EXPECT_EQ(messageOf<EWriteError>([&] { out.writeText(std::u16string(20, u'x')); }), "Stream write error");
    out.writeText(u"abc"); // the destructor's flush fails quietly
}

TEST(CustomWriter, DestructorFlushes) {
    TStringStream stream;
    {
        TXmlOutputSource out(&stream, 4096);
        out.writeText(u"abc");
        EXPECT_EQ(stream.DataString(), "");
    }
    EXPECT_EQ(stream.DataString(), "abc");
}

// --- the output source -----------------------------------------------------------------------

TEST(OutputSource, DefaultsAndEncodingChoice) {
    TStringStream stream;
    TXmlOutputSource out(&stream, 8);
    EXPECT_EQ(out.getEncoding(), 1);
    EXPECT_EQ(out.getNewLine(), nltCRLF);
    EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { out.setEncoding(0); }), "Encoding not supported error.");
    // An index without any byte form would write nothing: refused the same way.
    EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { out.setEncoding(77); }), "Encoding not supported error.");
    EXPECT_EQ(messageOf<ENot_Supported_Err>([&] { out.setEncoding(128); }), "Encoding not supported error.");
    EXPECT_EQ(out.getEncoding(), 1);
    out.setEncoding(70 + 128);
    out.writeText(u"\u20AC");
    out.flush();
    EXPECT_EQ(stream.DataString(), bytes({0x80}));
}

TEST(OutputSource, NewLinesApplyToSingleByteSetsOnly) {
    const WideString text = u"a\nb";
    EXPECT_EQ(written(1, text, false, nltCRLF), "a\nb");
    EXPECT_EQ(written(1, text, false, ntlCR), "a\nb");
    EXPECT_EQ(written(1, text, true, ntlLF), "a\nb");
    EXPECT_EQ(written(6, text, false, nltCRLF), "a\r\nb");
    EXPECT_EQ(written(6, text, false, ntlCR), "a\rb");
    EXPECT_EQ(written(6, text, true, ntlLF), "a\nb");
    EXPECT_EQ(written(2, text, false, nltCRLF), machineOrder(text));
    EXPECT_EQ(written(28, u"\n", false, ntlLF), bytes({0x25})); // EBCDIC: the set's own line feed byte
}

TEST(OutputSource, SixteenBitForms) {
    EXPECT_EQ(written(3, u"AB", false), bytes({0x00, 0x41, 0x00, 0x42}));
    EXPECT_EQ(written(2, u"AB", false), bytes({0x41, 0x00, 0x42, 0x00}));
    EXPECT_EQ(written(2, u"\U0001F600", true), machineOrder(u"\U0001F600"));
    EXPECT_EQ(written(4, u"AB", false), bytes({0x41, 0x00, 0x42, 0x00}));
    // UCS-2 refuses surrogates before anything of the text is written.
    TStringStream stream;
    {
        TXmlOutputSource out(&stream, 16);
        out.setEncoding(4);
        EXPECT_EQ(messageOf<EWriteError>([&] { out.writeText(u"ab\U0001F600"); }), "Invalid Character");
    }
    EXPECT_EQ(stream.DataString(), "");
    EXPECT_EQ(written(4, u"a\U0001F600", true), machineOrder(u"a&#x1F600;"));
    EXPECT_EQ(messageOf<EWriteError>([] { written(4, u"a\xD800", true); }), "Invalid Character");
    EXPECT_EQ(messageOf<EWriteError>([] { written(4, u"\xDC00", true); }), "Invalid Character");
}

TEST(OutputSource, UTF8) {
    EXPECT_EQ(written(1, u"\u00E9\U0001F600", false), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(messageOf<EWriteError>([] { written(1, u"a\xD800", false); }), "Invalid Character");
    EXPECT_EQ(messageOf<EWriteError>([] { written(1, u"a\xDC00", true); }), "Invalid Character");
    // A text that begins with U+FEFF keeps it: it is document content here.
    EXPECT_EQ(written(1, u"\uFEFFx", true), "\xEF\xBB\xBFx");
    // Long texts pass the buffer.
    const WideString longText(10000, u'\u00E9');
    EXPECT_EQ(written(1, longText, false).size(), 20000u);
}

TEST(OutputSource, UTF8CharacterDataAtEveryPositionOfARun) {
    // A special or non-ASCII unit at each offset of a long ASCII run, through a small buffer
    // and a large one: the same bytes as one character at a time.
    const std::u16string odd[] = {u"&", u"<", u">", u"\r", u"\u00E9", u"\u20AC", u"\U0001F600"};
    for (int32_t bufferSize : {16, 4096})
        for (const std::u16string& special : odd)
            for (size_t at = 0; at < 40; ++at) {
                std::u16string text(48, u'a');
                text.insert(at, special);
                std::string expected;
                for (char16_t c : text.substr(0, at)) expected.push_back(static_cast<char>(c));
                expected += special == u"&"    ? "&amp;"
                            : special == u"<"  ? "&lt;"
                            : special == u">"  ? "&gt;"
                            : special == u"\r" ? "&#xD;"
                            : special == u"\u00E9" ? "\xC3\xA9"
                            : special == u"\u20AC" ? "\xE2\x82\xAC"
                                                   : "\xF0\x9F\x98\x80";
                expected += std::string(48 - at, 'a');
                TStringStream stream;
                {
                    TXmlOutputSource out(&stream, bufferSize);
                    out.writeCharData(text);
                }
                EXPECT_EQ(stream.DataString(), expected) << "buffer " << bufferSize << ", offset " << at;
            }
}

TEST(OutputSource, SingleByteReferences) {
    EXPECT_EQ(written(6, u"a\u20ACb", true), "a&#x20AC;b");
    EXPECT_EQ(written(6, u"\U0001F600", true), "&#x1F600;");
    EXPECT_EQ(written(5, u"\u00E9", true), "&#xE9;");
    // In an EBCDIC set the reference is written in that set's bytes.
    EXPECT_EQ(singleByteToWide(written(28, u"a\u20AC\n", true), decoderOf(28)), u"a&#x20AC;\r\n");
    EXPECT_EQ(messageOf<EWriteError>([] { written(6, u"a\xD800", true); }), "Invalid Character");
    EXPECT_EQ(messageOf<EWriteError>([] { written(6, u"a\xD800z", true); }), "Invalid Character");
    EXPECT_EQ(messageOf<EWriteError>([] { written(6, u"\xDC00", true); }), "Invalid Character");
}

TEST(OutputSource, SingleBytePlainWriteRefusesWhatTheSetLacks) {
    TStringStream stream;
    {
        TXmlOutputSource out(&stream, 4);
        out.setEncoding(6);
        EXPECT_EQ(messageOf<EWriteError>([&] { out.writeText(u"abcdef\u20ACg"); }), "Invalid Character");
        EXPECT_EQ(messageOf<EWriteError>([&] { out.writeText(u"\U0001F600"); }), "Invalid Character");
    }
    EXPECT_EQ(stream.DataString(), "abcdef"); // the bytes before the refused unit
    // Long texts go through in pieces.
    const WideString longText(10000, u'\u00E9');
    EXPECT_EQ(written(6, longText, false), std::string(10000, '\xE9'));
}

// --- buffered reading ------------------------------------------------------------------------

TEST(CustomReader, ReadsUnreadsAndPositions) {
    TStringStream stream("abcdefg");
    TdomCustomReader reader(&stream, 4);
    char b[8] = {};
    EXPECT_TRUE(reader.readBytes(b, 2));
    EXPECT_EQ(std::string(b, 2), "ab");
    EXPECT_EQ(reader.getPosition(), 2);
    EXPECT_EQ(stream.Position(), 4);
    EXPECT_TRUE(reader.readBytes(b, 3)); // more than buffered: unread, refill
    EXPECT_EQ(std::string(b, 3), "cde");
    EXPECT_EQ(reader.getPosition(), 5);
    EXPECT_TRUE(reader.readBytes(b, 6) == true); // larger than the buffer: straight from the stream
    EXPECT_EQ(std::string(b, 2), "fg");
    EXPECT_FALSE(reader.readBytes(b, 1));
    reader.seekTo(1);
    EXPECT_TRUE(reader.readBytes(b, 1));
    EXPECT_EQ(b[0], 'b');
    reader.unreadBuffer();
    EXPECT_EQ(stream.Position(), 2);
}

TEST(CustomReader, DataEndingInsideARequestHandsOutNothing) {
    TStringStream stream("abc");
    TdomCustomReader reader(&stream, 4);
    char b[4] = {'x', 'x', 'x', 'x'};
    EXPECT_TRUE(reader.readBytes(b, 2));
    EXPECT_FALSE(reader.readBytes(b, 2));
    EXPECT_EQ(b[0], 'a'); // untouched
    EXPECT_EQ(reader.getPosition(), 2);
    EXPECT_TRUE(reader.readBytes(b, 1));
    EXPECT_EQ(b[0], 'c');
    EXPECT_EQ(messageOf<EStreamError>([] { TdomCustomReader r(nullptr, 4); }), "Stream not specified.");
}

// --- the input source: marks and declarations ------------------------------------------------

TEST(InputSource, NoStream) {
    EXPECT_EQ(messageOf<EStreamError>([] { TXmlInputSource s(nullptr, 16, 1, u"", u""); }),
              "Stream not specified.");
}

TEST(InputSource, ByteOrderMarks) {
    {
        TInput in(bytes({0xFF, 0xFE, 0x3C, 0x00, 0x61, 0x00}));
        EXPECT_EQ(in.source.getEncoding(), 2);
        EXPECT_EQ(in.source.getDeclarationKind(), kDeclNone);
        EXPECT_EQ(readAll(in.source).text, u"<a");
    }
    {
        TInput in(bytes({0xFE, 0xFF, 0x00, 0x3C, 0x00, 0x61}));
        EXPECT_EQ(in.source.getEncoding(), 3);
        EXPECT_EQ(readAll(in.source).text, u"<a");
    }
    {
        TInput in("\xEF\xBB\xBF<a/>");
        EXPECT_EQ(in.source.getEncoding(), 1);
        EXPECT_EQ(in.source.getContentStart(), 3);
        EXPECT_EQ(readAll(in.source).text, u"<a/>");
    }
    {
        TInput in("\xEF\xBB");
        EXPECT_EQ(in.source.getEncoding(), 1);
        EXPECT_EQ(in.source.getDeclarationKind(), kDeclNone);
        EXPECT_FALSE(in.source.hasDeclarationFault());
        EXPECT_EQ(readAll(in.source).error, "Invalid UTF-8 sequence at position 2");
    }
    EXPECT_EQ(messageOf<EConvertError>([] {
                  TInput in("\xEF\xBB"
                            "A");
              }),
              "Encoding scheme not supported.");
    for (const std::string& data : {std::string(), std::string("<"), std::string("ab")}) {
        TInput in(data);
        EXPECT_EQ(in.source.getEncoding(), 1);
        EXPECT_EQ(in.source.getDeclarationKind(), kDeclNone);
        EXPECT_EQ(readAll(in.source).text, WideString(data.begin(), data.end()));
    }
}

TEST(InputSource, DeclarationKinds) {
    struct TCase {
        const char* data;
        uint8_t kind;
        bool fault;
    };
    const TCase cases[] = {
        {"<?xml version='1.0'?>", kDeclXml, false},
        {"<?xml version=\"1.0\" standalone='yes'?>", kDeclXml, false},
        {"<?xml version='1.0' encoding='UTF-8' standalone=\"no\" ?>", kDeclXml, false},
        {"<?xml encoding='UTF-8'?>", kDeclText, false},
        {"<?xml version='1.0' encoding='UTF-8'?>", kDeclXmlOrText, false},
        {"<a/>", kDeclNone, false},
        {"<?xml-stylesheet href='a'?>", kDeclNone, false},
        {"<?xml?>", kDeclText, true},
        {"<?xml standalone='yes'?>", kDeclText, true},
        {"<?xml encoding='UTF-8' standalone='yes'?>", kDeclText, true},
        {"<?xml version='1.0\"?>", kDeclXmlOrText, true},
        {"<?xml version=''?>", kDeclXmlOrText, true},
        {"<?xml version='1.0' encoding='8bit'?>", kDeclXmlOrText, true},
        {"<?xml version='1.0' standalone='maybe'?>", kDeclXml, true},
        {"<?xml version='1.0'", kDeclXml, true},
        {"<?xml version='1.0'?", kDeclXml, true},
        {"<?xml version='1.0' ?<", kDeclXml, true},
        {"<?xml version='1.0' foo='1'?>", kDeclXml, true},
    };
    for (const TCase& c : cases) {
        TInput in(c.data);
        EXPECT_EQ(in.source.getDeclarationKind(), c.kind) << c.data;
        EXPECT_EQ(in.source.hasDeclarationFault(), c.fault) << c.data;
    }
    TInput in("<?xml version = '1.0'\tencoding=\"ISO-8859-1\"\r\n standalone='no'?><r/>");
    EXPECT_EQ(in.source.getDeclaredVersion(), u"1.0");
    EXPECT_EQ(in.source.getDeclaredEncoding(), u"ISO-8859-1");
    EXPECT_EQ(in.source.getDeclaredStandalone(), STANDALONE_NO);
    EXPECT_EQ(in.source.getEncoding(), 6);
    EXPECT_FALSE(in.source.hasEncodingMismatch());
    EXPECT_EQ(readAll(in.source).text, u"<r/>");
    TInput none("<r/>");
    EXPECT_EQ(none.source.getDeclaredStandalone(), STANDALONE_UNSPECIFIED);
}

TEST(InputSource, DeclaredEncodingSwitchesTheDecoder) {
    TInput in("<?xml version='1.0' encoding='ISO-8859-1'?>\xE9\xFF");
    EXPECT_EQ(in.source.getEncoding(), 6);
    EXPECT_EQ(readAll(in.source).text, u"\u00E9\u00FF");
    TInput win("<?xml version='1.0' encoding='windows-1252'?>\x80\x81");
    const TRead r = readAll(win.source);
    EXPECT_EQ(r.text, u"\u20AC");
    EXPECT_EQ(r.error, "Invalid Windows-1252 sequence of code point 129");
}

TEST(InputSource, EncodingMismatch) {
    const auto mismatch = [](const std::string& data, uint8_t encoding) {
        TInput in(data);
        EXPECT_EQ(in.source.getEncoding(), encoding) << data;
        return in.source.hasEncodingMismatch();
    };
    EXPECT_FALSE(mismatch("\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>", 1));
    EXPECT_TRUE(mismatch("\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?>", 6));
    EXPECT_TRUE(mismatch("<?xml version='1.0' encoding='Shift_JIS'?>", 1));
    EXPECT_TRUE(mismatch("<?xml version='1.0' encoding='x-unknown'?>", 1));
    EXPECT_FALSE(mismatch("<?xml version='1.0' encoding='cp850_DOSLatin1'?>", 36));
    EXPECT_FALSE(mismatch(machineOrder(u"\uFEFF<?xml version='1.0' encoding='UTF-16'?>"), 2));
    EXPECT_FALSE(mismatch(machineOrder(u"\uFEFF<?xml version='1.0' encoding='ISO-10646-UCS-2'?>"), 4));
    EXPECT_TRUE(mismatch(machineOrder(u"\uFEFF<?xml version='1.0' encoding='UTF-16LE'?>"), 3));
    EXPECT_TRUE(mismatch(machineOrder(u"\uFEFF<?xml version='1.0' encoding='UTF-8'?>"), 1));
}

// --- decoding faults -------------------------------------------------------------------------

TEST(InputSource, UTF8Faults) {
    EXPECT_EQ(firstError("\xC0\x80"), "Invalid UTF-8 sequence at position 0");       // overlong
    EXPECT_EQ(firstError("ab\xE0\x80\xAF"), "Invalid UTF-8 sequence at position 2"); // overlong
    EXPECT_EQ(firstError("ab\xF0\x80\x80\xAF"), "Invalid UTF-8 sequence at position 2");
    EXPECT_EQ(firstError("a\xED\xA0\x80"), "Invalid UTF-8 sequence at position 1");     // surrogate
    EXPECT_EQ(firstError("a\xF4\x90\x80\x80"), "Invalid UTF-8 sequence at position 1"); // above 10FFFF
    EXPECT_EQ(firstError("a\xF8\x88\x80\x80\x80"), "Invalid UTF-8 sequence at position 1");
    EXPECT_EQ(firstError("a\xFC\x84\x80\x80\x80\x80"), "Invalid UTF-8 sequence at position 1");
    EXPECT_EQ(firstError("a\xFE"), "Invalid UTF-8 sequence at position 1");
    EXPECT_EQ(firstError("a\x80"), "Invalid UTF-8 sequence at position 1");
    EXPECT_EQ(firstError("ab\xC3"), "Invalid UTF-8 sequence at position 3"); // ends inside
    EXPECT_EQ(firstError("ab\xE2\x82"), "Invalid UTF-8 sequence at position 4");
    EXPECT_EQ(firstError("ab\xE2\x41\x41"), "Invalid UTF-8 sequence at position 3"); // bad continuation
    TInput in("\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBF\xC2\x80");
    EXPECT_EQ(readAll(in.source).text, u"\U0001F600\U0010FFFF\uFFFF\u0080");
}

TEST(InputSource, UTF16Faults) {
    const std::string bom = bytes({0xFF, 0xFE});
    EXPECT_EQ(firstError(bom + machineOrder(u"a") + "x"), "Invalid UTF-16BE sequence at position 5");
    EXPECT_EQ(firstError(bom + machineOrder(u"a\xDC00")), "Invalid UTF-16BE sequence at position 4");
    EXPECT_EQ(firstError(bom + machineOrder(u"a\xD800"
                                            u"b")),
              "Invalid UTF-16BE sequence at position 6");
    EXPECT_EQ(firstError(bom + machineOrder(u"a\xD800")), "Invalid UTF-16BE sequence at position 6");
    EXPECT_EQ(firstError(bytes({0xFE, 0xFF, 0xDC, 0x00})), "Invalid UTF-16LE sequence at position 2");
    TInput pair(bom + machineOrder(u"\U0001F600"));
    EXPECT_EQ(readAll(pair.source).text, u"\U0001F600");
    const std::string ucs2 = machineOrder(u"\uFEFF<?xml version='1.0' encoding='ISO-10646-UCS-2'?>");
    EXPECT_EQ(firstError(ucs2 + machineOrder(u"a\U0001F600")),
              "Invalid ISO-10646-UCS-2 encoding at position " + std::to_string(ucs2.size() + 2));
}

// A name of each single-byte index, 5 to 76.
const char* const kNameOfIndex[72] = {"US-ASCII",
                                      "ISO-8859-1",
                                      "ISO-8859-2",
                                      "ISO-8859-3",
                                      "ISO-8859-4",
                                      "ISO-8859-5",
                                      "ISO-8859-6",
                                      "ISO-8859-7",
                                      "ISO-8859-8",
                                      "ISO-8859-9",
                                      "ISO-8859-10",
                                      "ISO-8859-13",
                                      "ISO-8859-14",
                                      "ISO-8859-15",
                                      "KOI8-R",
                                      "JIS_X0201",
                                      "NextStep",
                                      "cp10000_MacRoman",
                                      "cp10006_MacGreek",
                                      "cp10007_MacCyrillic",
                                      "cp10029_MacLatin2",
                                      "cp10079_MacIcelandic",
                                      "cp10081_MacTurkish",
                                      "IBM037",
                                      "IBM424",
                                      "IBM437",
                                      "cp437_DOSLatinUS",
                                      "IBM500",
                                      "cp737_DOSGreek",
                                      "cp775_DOSBaltRim",
                                      "IBM850",
                                      "cp850_DOSLatin1",
                                      "IBM852",
                                      "cp852_DOSLatin2",
                                      "IBM855",
                                      "cp855_DOSCyrillic",
                                      "cp856_Hebrew_PC",
                                      "IBM857",
                                      "cp857_DOSTurkish",
                                      "IBM860",
                                      "cp860_DOSPortuguese",
                                      "IBM861",
                                      "cp861_DOSIcelandic",
                                      "IBM862",
                                      "cp862_DOSHebrew",
                                      "IBM863",
                                      "cp863_DOSCanadaF",
                                      "IBM864",
                                      "cp864_DOSArabic",
                                      "IBM865",
                                      "cp865_DOSNordic",
                                      "IBM866",
                                      "cp866_DOSCyrillicRussian",
                                      "IBM869",
                                      "cp869_DOSGreek2",
                                      "cp874",
                                      "cp875_IBMGreek",
                                      "cp932",
                                      "cp936",
                                      "cp949",
                                      "cp950",
                                      "cp1006",
                                      "IBM1026",
                                      "windows-1250",
                                      "windows-1251",
                                      "windows-1252",
                                      "windows-1253",
                                      "windows-1254",
                                      "windows-1255",
                                      "windows-1256",
                                      "windows-1257",
                                      "windows-1258"};

TEST(InputSource, AnyBytesInAnyEncodingGiveCharactersOrTheError) {
    std::mt19937 random(12345);
    for (int encoding = 1; encoding <= 76; ++encoding) {
        for (int round = 0; round < 20; ++round) {
            std::string data;
            if (encoding == 2 || encoding == 4) data = bytes({0xFF, 0xFE});
            if (encoding == 3) data = bytes({0xFE, 0xFF});
            if (encoding >= 5) {
                data = "<?xml version='1.0' encoding='";
                data += kNameOfIndex[encoding - 5];
                data += "'?>";
            } else if (encoding == 4) {
                data += machineOrder(u"<?xml version='1.0' encoding='ISO-10646-UCS-2'?>");
            }
            const std::size_t prefix = data.size();
            const int length = static_cast<int>(random() % 64);
            for (int i = 0; i < length; ++i)
                data.push_back(static_cast<char>(random() % 256));
            for (int32_t bufferSize : {0, 1, 3, 4096}) {
                try {
                    TStringStream stream(data);
                    TXmlInputSource source(&stream, bufferSize, 1, u"", u"");
                    ASSERT_EQ(source.getEncoding(), encoding) << data;
                    int32_t c;
                    int count = 0;
                    while (source.getNextChar(c)) {
                        ASSERT_GE(c, 0);
                        ASSERT_LE(c, 0x10FFFF);
                        ASSERT_LE(++count, length);
                    }
                    EXPECT_GE(source.getPosition(), static_cast<int64_t>(prefix));
                } catch (const EConvertError&) {
                }
            }
        }
    }
}

// --- characters, line ends and the locator ---------------------------------------------------

TEST(InputSource, LineEndsAreNormalised) {
    TInput in("a\r\nb\rc\r\rd\n\re\r");
    EXPECT_EQ(readAll(in.source).text, u"a\nb\nc\n\nd\n\ne\n");
    TInput sixteen(bytes({0xFF, 0xFE}) + machineOrder(u"x\r\ny"));
    EXPECT_EQ(readAll(sixteen.source).text, u"x\ny");
}

TEST(InputSource, LocatorCountsFromTheFirstCharacterAfterTheDeclaration) {
    TInput in("<?xml version='1.0'?>ab\tc\r\nd", 4096, 4);
    TdomInputSourceLocator* locator = in.source.getLocator();
    ASSERT_NE(locator, nullptr);
    EXPECT_EQ(locator->getEndLine(), 1);
    EXPECT_EQ(locator->getEndColumn(), 0);
    EXPECT_EQ(locator->getUri(), u"sys");
    EXPECT_EQ(in.source.getPublicId(), u"pub");
    int32_t c;
    ASSERT_TRUE(in.source.getNextChar(c));
    EXPECT_EQ(c, 'a');
    EXPECT_EQ(locator->getEndColumn(), 1);
    in.source.getNextChar(c);
    in.source.getNextChar(c);
    EXPECT_EQ(c, '\t');
    EXPECT_EQ(locator->getEndColumn(), 6);
    in.source.getNextChar(c);
    in.source.getNextChar(c);
    EXPECT_EQ(c, '\n');
    EXPECT_EQ(locator->getEndLine(), 2);
    EXPECT_EQ(locator->getEndColumn(), 0);
    EXPECT_EQ(locator->getByteOffset(), 27); // CR LF and the look-ahead consumed
    in.source.getNextChar(c);
    EXPECT_EQ(c, 'd');
    EXPECT_EQ(locator->getEndColumn(), 1);
    EXPECT_FALSE(in.source.getNextChar(c));
    EXPECT_EQ(c, -1);
}

TEST(InputSource, RemainingTextRestoresThePosition) {
    TInput in("<?xml version='1.0'?>ab\r\u00E9x\r\ny");
    int32_t c;
    in.source.getNextChar(c);
    in.source.getNextChar(c);
    in.source.getNextChar(c); // the CR: look-ahead holds the next character
    EXPECT_EQ(c, '\n');
    WideString rest;
    in.source.getRemainingText(rest);
    EXPECT_EQ(rest, u"\u00E9x\r\ny");
    EXPECT_EQ(readAll(in.source).text, u"\u00E9x\ny");
    in.source.getRemainingText(rest);
    EXPECT_EQ(rest, u"");
    // A decoding fault on the way restores the position too.
    TInput bad("ab\xFF");
    EXPECT_EQ(messageOf<EConvertError>([&] { bad.source.getRemainingText(rest); }),
              "Invalid UTF-8 sequence at position 2");
    EXPECT_EQ(readAll(bad.source).text, u"ab");
    TInput astral(bytes({0xFF, 0xFE}) + machineOrder(u"\U0001F600z"));
    astral.source.getRemainingText(rest);
    EXPECT_EQ(rest, u"\U0001F600z");
}

TEST(InputSource, DeclarationsAtEveryBufferBoundary) {
    const std::string documents[] = {
        "<?xml version='1.0' encoding='ISO-8859-1' standalone='yes'?>\r\n<r>\xE9\xE8</r>",
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><r>\xC3\xA9\xF0\x9F\x98\x80</r>",
        bytes({0xFF, 0xFE}) + machineOrder(u"<?xml version='1.0' encoding='UTF-16'?><r>\u00E9\U0001F600</r>"),
        exchanged(u"\uFEFF<?xml version='1.0' encoding='UTF-16LE'?><r>\u00E9\U0001F600</r>"),
    };
    for (const std::string& document : documents) {
        TInput reference(document);
        const TRead expected = readAll(reference.source);
        ASSERT_TRUE(expected.error.empty()) << expected.error;
        for (int32_t bufferSize = 0; bufferSize <= 70; ++bufferSize) {
            TInput in(document, bufferSize);
            EXPECT_EQ(in.source.getEncoding(), reference.source.getEncoding()) << bufferSize;
            EXPECT_EQ(in.source.getDeclarationKind(), reference.source.getDeclarationKind()) << bufferSize;
            EXPECT_EQ(in.source.getDeclaredVersion(), u"1.0") << bufferSize;
            EXPECT_FALSE(in.source.hasDeclarationFault()) << bufferSize;
            EXPECT_EQ(in.source.getContentStart(), reference.source.getContentStart()) << bufferSize;
            const TRead got = readAll(in.source);
            EXPECT_EQ(got.text, expected.text) << bufferSize;
            EXPECT_EQ(got.error, "") << bufferSize;
        }
    }
}
