// Member codec: the decoder's vectors and refusals, the encoder's round trips over many kinds and
// sizes of data, and every result code of member extraction and the whole-file routines.
#include "ArchiveWriter.h"
#include "MemberCodec.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <vector>

using namespace archive_test;

namespace {

using Bytes = std::vector<unsigned char>;

// Decodes one block; the result is the output, or nullopt-like empty vector with ok=false.
struct Decoded {
    int result;
    std::string out;
};

Decoded Decode(const Bytes& coded) {
    std::vector<unsigned char> out(kBlockSize, 0xEE);
    const int n = DecompressBlock(coded.data(), int(coded.size()), out.data());
    return {n, n > 0 ? std::string(out.begin(), out.begin() + n) : std::string()};
}

std::string Sig() { return std::string(reinterpret_cast<const char*>(MemberSignature), kSignatureSize); }

std::string Header(int h) {
    const auto v = std::uint16_t(std::int16_t(h));
    return {char(v & 0xFF), char(v >> 8)};
}

// Extracts the member of `length` bytes at `position` of the file holding `bytes`.
struct Extracted {
    int result;
    bool exists;
    std::string out;
};

Extracted Extract(const ScratchDir& dir, const std::string& bytes, std::uint64_t length, off_t position = 0) {
    WriteFile(dir / "in.bin", bytes);
    const int fd = ::open((dir / "in.bin").c_str(), O_RDONLY);
    ::lseek(fd, position, SEEK_SET);
    const auto out = dir / "out.bin";
    std::filesystem::remove(out);
    const int r = ExtractMember(fd, length, out.c_str());
    ::close(fd);
    return {r, std::filesystem::exists(out), ReadFile(out)};
}

}  // namespace

// --- Decoder vectors ---------------------------------------------------------------------------

TEST(DecompressBlock, ControlWordOfLiteralsCopiesSixteenBytes) {
    Bytes coded = {0x00, 0x00};
    for (int i = 0; i < 16; ++i) coded.push_back(static_cast<unsigned char>('a' + i));
    EXPECT_EQ(Decode(coded).out, "abcdefghijklmnop");
}

TEST(DecompressBlock, ShortRunRepeatsValue) {
    const Decoded d = Decode({0x00, 0x80, 0x05, 0x41});
    EXPECT_EQ(d.result, 8);
    EXPECT_EQ(d.out, std::string(8, 'A'));
}

TEST(DecompressBlock, LongRunAddsSixteenPerStepAndNineteen) {
    // c = 2, n = 1: 2 + 16 + 19 copies.
    EXPECT_EQ(Decode({0x00, 0x80, 0x12, 0x01, 'z'}).out, std::string(37, 'z'));
    // Largest long run.
    EXPECT_EQ(Decode({0x00, 0x80, 0x1F, 0xFF, 'q'}).result, 4114);
}

TEST(DecompressBlock, ShortReferenceRepeatsLastThreeBytes) {
    // Three literals, then command 3 with distance 3.
    EXPECT_EQ(Decode({0x00, 0x10, 'a', 'b', 'c', 0x30, 0x00}).out, "abcabc");
}

TEST(DecompressBlock, ReferenceDistanceUsesBothFields) {
    // 40 literals (bits clear in three groups), then a 5-byte reference from 3 + 5 + 16 x 2 = 40 back.
    Bytes coded;
    std::string expect;
    for (int g = 0; g < 2; ++g) {
        coded.push_back(0);
        coded.push_back(0);
        for (int i = 0; i < 16; ++i) {
            coded.push_back(static_cast<unsigned char>('A' + (g * 16 + i) % 26));
            expect += char('A' + (g * 16 + i) % 26);
        }
    }
    coded.push_back(0x80);  // the ninth item is a command
    coded.push_back(0x00);
    for (int i = 0; i < 8; ++i) {
        coded.push_back(static_cast<unsigned char>('0' + i));
        expect += char('0' + i);
    }
    coded.push_back(0x55);
    coded.push_back(0x02);
    expect += expect.substr(expect.size() - 40, 5);
    EXPECT_EQ(Decode(coded).out, expect);
}

TEST(DecompressBlock, LongReferenceCountsFromSixteen) {
    Bytes coded = {0x00, 0x00};
    for (int i = 0; i < 16; ++i) coded.push_back(static_cast<unsigned char>('a' + i));
    coded.insert(coded.end(), {0x00, 0x80, 0x2D, 0x00, 0x00});  // distance 16, count 16
    EXPECT_EQ(Decode(coded).out, "abcdefghijklmnopabcdefghijklmnop");
}

TEST(DecompressBlock, ReferenceLongerThanDistanceRepeatsPattern) {
    // Distance 3, count 9: the copy reads bytes it has just written.
    EXPECT_EQ(Decode({0x00, 0x10, 'x', 'y', 'z', 0x90, 0x00}).out, "xyzxyzxyzxyz");
    // Long form: distance 3, count 20.
    EXPECT_EQ(Decode({0x00, 0x10, 'x', 'y', 'z', 0x20, 0x00, 0x04}).out, std::string("xyz") + "xyzxyzxyzxyzxyzxyzxy");
}

TEST(DecompressBlock, LastGroupMayHaveFewerItemsThanBits) {
    EXPECT_EQ(Decode({0x00, 0x00, 'h', 'i'}).out, "hi");
    // A control word with no items after it ends the block.
    EXPECT_EQ(Decode({0x00, 0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p',
                      0x00, 0x00})
                  .result,
              16);
}

// --- Decoder refusals --------------------------------------------------------------------------

TEST(DecompressBlockRefuses, ReferenceBeforeStartOfOutput) {
    EXPECT_EQ(Decode({0x00, 0x40, 'a', 'b', 0x30, 0x00}).result, -1);  // distance 3 after two bytes
    EXPECT_EQ(Decode({0x00, 0x80, 0x3F, 0xFF}).result, -1);            // distance 4,098 at the start
}

TEST(DecompressBlockRefuses, OperandsPastCodedBytes) {
    EXPECT_EQ(Decode({0x00, 0x80, 0x05}).result, -1);        // short run without value
    EXPECT_EQ(Decode({0x00, 0x80, 0x12, 0x01}).result, -1);  // long run without value
    EXPECT_EQ(Decode({0x00, 0x90, 'a', 'b', 'c', 0x20, 0x00}).result, -1);  // long reference without count
    EXPECT_EQ(Decode({0x00, 0x10, 'a', 'b', 'c', 0x30}).result, -1);        // short reference without n
    EXPECT_EQ(Decode({0x00}).result, -1);                                    // half a control word
}

TEST(DecompressBlockRefuses, OutputBeyondBlock) {
    // Four longest runs make 16,456 bytes.
    Bytes runs = {0x00, 0xF0};
    for (int i = 0; i < 4; ++i) runs.insert(runs.end(), {0x1F, 0xFF, 'r'});
    EXPECT_EQ(Decode(runs).result, -1);
    // Three longest runs and a fourth that just fits: exactly 16,384.
    Bytes fits = {0x00, 0xF0};
    for (int i = 0; i < 3; ++i) fits.insert(fits.end(), {0x1F, 0xFF, 'r'});
    const int last = kBlockSize - 3 * 4114 - 19;
    fits.insert(fits.end(), {static_cast<unsigned char>(0x10 | (last & 15)), static_cast<unsigned char>(last >> 4), 'r'});
    EXPECT_EQ(Decode(fits).result, kBlockSize);
    // Literals past the block.
    Bytes literals;
    for (int g = 0; g < kBlockSize / 16 + 1; ++g) {
        literals.push_back(0);
        literals.push_back(0);
        literals.insert(literals.end(), 16, 'l');
    }
    EXPECT_EQ(Decode(literals).result, -1);
}

// --- Encoder -----------------------------------------------------------------------------------

namespace {

int Compress(const std::string& in, std::vector<unsigned char>& out) {
    std::vector<std::int32_t> hash(kHashSlots, -1);
    out.assign(kBlockSize, 0);
    return CompressBlock(reinterpret_cast<const unsigned char*>(in.data()), int(in.size()), out.data(), hash.data());
}

}  // namespace

TEST(CompressBlock, ShortInputIsStored) {
    std::vector<unsigned char> out;
    const std::string eighteen(18, 'a');
    EXPECT_EQ(Compress(eighteen, out), -18);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 18), eighteen);
    EXPECT_GT(Compress(std::string(19, 'a'), out), 0);
}

TEST(CompressBlock, IncompressibleInputIsStored) {
    std::vector<unsigned char> out;
    const std::string noise = RandomBytes(kBlockSize, 7);
    EXPECT_EQ(Compress(noise, out), -kBlockSize);
    EXPECT_EQ(std::string(out.begin(), out.end()), noise);
}

TEST(CompressBlock, RunsAndRepeatsShrink) {
    std::vector<unsigned char> out;
    EXPECT_LE(Compress(std::string(kBlockSize, '\0'), out), 20);
    std::string pattern;
    while (pattern.size() < kBlockSize) pattern += "CHECK OIL LEVEL ";
    pattern.resize(kBlockSize);
    // A reference never reaches past where it starts, so each covers one 16-byte period.
    EXPECT_LT(Compress(pattern, out), kBlockSize / 5);
}

TEST(CompressBlock, RoundTripsEveryKindAndSize) {
    const std::size_t sizes[] = {1, 2, 3, 17, 18, 19, 20, 47, 64, 271, 272, 1000, 4098, 4099, 8191, 16383, 16384};
    for (int kind = 0; kind < 3; ++kind) {
        for (std::size_t size : sizes) {
            for (unsigned seed = 1; seed <= 4; ++seed) {
                const std::string in = kind == 0   ? RandomBytes(size, seed)
                                       : kind == 1 ? RepetitiveBytes(size, seed)
                                                   : TextBytes(size, seed);
                std::vector<unsigned char> out;
                const int r = Compress(in, out);
                ASSERT_LE(r < 0 ? -r : r, int(size));
                std::string back;
                if (r < 0) {
                    back.assign(out.begin(), out.begin() - r);
                } else {
                    out.resize(std::size_t(r));
                    back = Decode(out).out;
                }
                ASSERT_EQ(back, in) << "kind " << kind << " size " << size << " seed " << seed;
            }
        }
    }
}

TEST(CompressBlock, WorstCaseMixStaysWithinInputLength) {
    // Incompressible stretches followed by highly compressible ones push the coded length towards
    // the input length at a group boundary; the result must never exceed it.
    for (int noise = 1500; noise <= 2200; noise += 7) {
        std::string in = RandomBytes(std::size_t(noise), unsigned(noise));
        while (in.size() < 2600) in += in.substr(in.size() - 271, 271);
        std::vector<unsigned char> out;
        const int r = Compress(in, out);
        ASSERT_LE(r < 0 ? -r : r, int(in.size()));
        if (r > 0) {
            out.resize(std::size_t(r));
            ASSERT_EQ(Decode(out).out, in);
        }
    }
}

// --- Whole files -------------------------------------------------------------------------------

TEST(WholeFile, RoundTripsManySizes) {
    ScratchDir dir;
    const std::size_t sizes[] = {0, 1, 18, 19, 100, 16383, 16384, 16385, 3 * 16384 + 7, 200000};
    for (int kind = 0; kind < 3; ++kind) {
        for (std::size_t size : sizes) {
            const std::string in = kind == 0   ? RandomBytes(size, unsigned(size))
                                   : kind == 1 ? RepetitiveBytes(size, unsigned(size))
                                               : TextBytes(size, unsigned(size));
            WriteFile(dir / "plain", in);
            ASSERT_EQ(CompressFile((dir / "plain").c_str(), (dir / "coded").c_str()), 0);
            const std::string coded = ReadFile(dir / "coded");
            ASSERT_EQ(coded.substr(0, 9), Sig());
            ASSERT_EQ(coded.substr(coded.size() - 2), std::string(2, '\0'));
            ASSERT_EQ(DecompressFile((dir / "coded").c_str(), (dir / "back").c_str()), 0);
            ASSERT_EQ(ReadFile(dir / "back"), in) << "kind " << kind << " size " << size;
            ASSERT_EQ(CodeMember(in), coded);
        }
    }
}

TEST(WholeFile, ResultCodes) {
    ScratchDir dir;
    WriteFile(dir / "plain", "some plain text that is not coded");
    EXPECT_EQ(CompressFile((dir / "missing").c_str(), (dir / "x").c_str()), -1);
    EXPECT_EQ(CompressFile((dir / "plain").c_str(), (dir / "no/such/dir").c_str()), -2);
    EXPECT_EQ(DecompressFile((dir / "missing").c_str(), (dir / "x").c_str()), -1);
    ASSERT_EQ(CompressFile((dir / "plain").c_str(), (dir / "coded").c_str()), 0);
    EXPECT_EQ(DecompressFile((dir / "coded").c_str(), (dir / "no/such/dir").c_str()), -2);
    EXPECT_EQ(DecompressFile((dir / "plain").c_str(), (dir / "back").c_str()), -5);
    EXPECT_FALSE(std::filesystem::exists(dir / "back"));
    WriteFile(dir / "cut", Sig() + Header(-5) + "abc");
    EXPECT_EQ(DecompressFile((dir / "cut").c_str(), (dir / "back").c_str()), -3);
}

TEST(WholeFile, WriteBlockWritesHeaderThenData) {
    ScratchDir dir;
    const int fd = ::open((dir / "blocks").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const unsigned char data[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(WriteSignature(fd));
    ASSERT_TRUE(WriteBlock(fd, -5, data));
    ASSERT_TRUE(WriteBlock(fd, 3, data));
    ASSERT_TRUE(WriteBlock(fd, 0, data));
    ::close(fd);
    EXPECT_EQ(ReadFile(dir / "blocks"),
              Sig() + std::string("\xFB\xFF\x01\x02\x03\x04\x05\x03\x00\x01\x02\x03\x00\x00", 14));
}

// --- Member extraction -------------------------------------------------------------------------

TEST(ExtractMember, StoredBlockYieldsItsBytes) {
    ScratchDir dir;
    const std::string member = Sig() + Header(-5) + "HELLO" + Header(0);
    const Extracted e = Extract(dir, member, member.size());
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.out, "HELLO");
}

TEST(ExtractMember, ReadsFromCurrentPositionUpToStoredLength) {
    ScratchDir dir;
    const std::string member = CodeMember(TextBytes(40000, 3));
    // The member lies between other bytes; it ends at its end mark, not at the file's end.
    const Extracted e = Extract(dir, "prefix" + member + "trailing junk", member.size(), 6);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.out, TextBytes(40000, 3));
}

TEST(ExtractMember, MemberUsedUpWithoutEndMarkEndsThere) {
    ScratchDir dir;
    const std::string member = Sig() + Header(-3) + "abc";
    const Extracted e = Extract(dir, member + Header(-3) + "def", member.size());
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.out, "abc");
}

TEST(ExtractMember, NoSignatureIsMinusFiveAndLeavesNoFile) {
    ScratchDir dir;
    Extracted e = Extract(dir, "\x01OruCOMQ\x01" + Header(0), 11);
    EXPECT_EQ(e.result, -5);
    EXPECT_FALSE(e.exists);
    // Shorter than the signature, even when the file goes on with one.
    e = Extract(dir, Sig() + Header(0), 8);
    EXPECT_EQ(e.result, -5);
    EXPECT_FALSE(e.exists);
}

TEST(ExtractMember, OutputThatCannotBeCreatedIsMinusTwo) {
    ScratchDir dir;
    WriteFile(dir / "in.bin", Sig() + Header(0));
    const int fd = ::open((dir / "in.bin").c_str(), O_RDONLY);
    EXPECT_EQ(ExtractMember(fd, 11, (dir / "none/out").c_str()), -2);
    EXPECT_EQ(ExtractMember(fd, 11, nullptr), -2);
    ::close(fd);
}

TEST(ExtractMember, ArchiveEndingBeforeEndMarkIsMinusThreeKeepingOutput) {
    ScratchDir dir;
    const std::string member = Sig() + Header(-3) + "abc";
    const Extracted e = Extract(dir, member, member.size() + 100);
    EXPECT_EQ(e.result, -3);
    EXPECT_EQ(e.out, "abc");
}

TEST(ExtractMember, BadBlocksAreMinusThree) {
    ScratchDir dir;
    const std::string body(20000, 'b');
    const std::string cases[] = {
        Sig() + Header(16385) + body,                     // coded block beyond the block size
        Sig() + Header(-16385) + body,                    // stored block beyond the block size
        Sig() + Header(-32768) + body,                    // most negative header
        Sig() + Header(-10) + "short",                    // data cut short
        Sig() + Header(4) + std::string("\x00\x80\x3F\x00", 4) + Header(0),  // reference before start
        Sig() + Header(3) + std::string("\x00\x80\x05", 3) + Header(0),      // run without value
        Sig() + Header(2) + std::string("\x00\x00", 2) + Header(0),          // coded block yielding nothing
        Sig() + "\x05",                                   // half a header
    };
    for (const std::string& member : cases) {
        const Extracted e = Extract(dir, member, member.size());
        EXPECT_EQ(e.result, -3) << testing::PrintToString(member.substr(9, 8));
    }
}

TEST(ExtractMember, BlockCrossingStoredLengthIsMinusThree) {
    ScratchDir dir;
    const std::string member = Sig() + Header(-10) + "0123456789" + Header(0);
    EXPECT_EQ(Extract(dir, member, 9 + 2 + 5).result, -3);
    EXPECT_EQ(Extract(dir, member, 9 + 1).result, -3);  // not even a header fits
}

TEST(ExtractMember, SixteenKilobyteStoredAndCodedBlocks) {
    ScratchDir dir;
    const std::string stored = Sig() + Header(-kBlockSize) + RandomBytes(kBlockSize, 1) + Header(0);
    Extracted e = Extract(dir, stored, stored.size());
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.out, RandomBytes(kBlockSize, 1));
    const std::string coded = CodeMember(std::string(5 * kBlockSize, 'x'));
    e = Extract(dir, coded, coded.size());
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.out, std::string(5 * kBlockSize, 'x'));
}

// --- Hostile coded data ------------------------------------------------------------------------

TEST(DecompressBlockRefuses, GarbageNeverWritesPastBlock) {
    std::mt19937 random(99);
    // The output buffer is exactly one block so that the sanitizer sees any overrun.
    auto out = std::make_unique<unsigned char[]>(kBlockSize);
    std::vector<unsigned char> valid;
    std::vector<std::int32_t> hash(kHashSlots, -1);
    const std::string text = TextBytes(kBlockSize, 4);
    valid.resize(kBlockSize);
    valid.resize(std::size_t(CompressBlock(reinterpret_cast<const unsigned char*>(text.data()), kBlockSize,
                                           valid.data(), hash.data())));
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> coded;
        if (round % 2) {
            coded.resize(random() % kBlockSize + 1);
            for (auto& b : coded) b = static_cast<unsigned char>(random());
        } else {
            coded = valid;
            for (int i = int(random() % 6); i >= 0; --i) coded[random() % coded.size()] = static_cast<unsigned char>(random());
            coded.resize(random() % coded.size() + 1);
        }
        const int n = DecompressBlock(coded.data(), int(coded.size()), out.get());
        ASSERT_LE(n, kBlockSize);
        ASSERT_GE(n, -1);
    }
}
