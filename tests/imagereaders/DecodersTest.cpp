// Tests of the image decoders: the formats' own examples, round trips through the test encoders,
// LZW streams that grow to 12-bit codes and clear, bad codes, and packed data that claims more
// than the input or the output holds.
#include "ImageDecoders.h"
#include "Exceptions.h"
#include "TiffWriter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Decoded(TDecoder& d, const Bytes& in, size_t unpacked, size_t* used = nullptr) {
    Bytes out(unpacked + 16, 0xEE);  // guard bytes after the output
    const uint8_t* p = in.data();
    const size_t n = d.Decode(p, out.data(), in.size(), unpacked);
    for (size_t i = unpacked; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past the output at " << i;
    if (used) *used = size_t(p - in.data());
    out.resize(n);
    return out;
}

/// Text-like test data: runs, repeats and noise.
Bytes Sample(size_t n, unsigned seed = 1) {
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        const unsigned kind = rng() % 4;
        const size_t len = 1 + rng() % 40;
        const uint8_t v = uint8_t(rng());
        for (size_t i = 0; i < len && b.size() < n; ++i) b.push_back(kind == 0 ? uint8_t(rng()) : kind == 1 ? v : uint8_t(i));
    }
    return b;
}

std::string MessageOf(TDecoder& d, const Bytes& in, size_t unpacked) {
    Bytes out(unpacked);
    const uint8_t* p = in.data();
    try {
        d.Decode(p, out.data(), in.size(), unpacked);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TEST(RunLengthDecoders, FormatExamples) {
    TPCXRLE pcx;
    EXPECT_EQ(Decoded(pcx, {0xC3, 0x7F}, 3), (Bytes{0x7F, 0x7F, 0x7F}));
    TSGIRLE sgi(1);
    EXPECT_EQ(Decoded(sgi, {0x83, 1, 2, 3, 0x02, 9, 0x00}, 5), (Bytes{1, 2, 3, 9, 9}));
    TRLADecoder rla;
    EXPECT_EQ(Decoded(rla, {0xFE, 1, 2}, 2), (Bytes{1, 2}));
    EXPECT_EQ(Decoded(rla, {0x01, 7}, 2), (Bytes{7, 7}));
    TCUTRLE cut;
    EXPECT_EQ(Decoded(cut, {5, 0, 0x83, 4, 2, 8, 9, 0, 1}, 10), (Bytes{4, 4, 4, 8, 9}));
    TPackbitsRLE pb;
    EXPECT_EQ(Decoded(pb, {0x02, 1, 2, 3, 0xFE, 5, 0x80, 0x00, 6}, 10), (Bytes{1, 2, 3, 5, 5, 5, 6}));
}

TEST(RunLengthDecoders, SgiTwoByteSamplesGiveTheirHighByte) {
    TSGIRLE sgi(2);
    // Copy 2 values, then repeat one value 3 times, then end.
    EXPECT_EQ(Decoded(sgi, {0x00, 0x82, 0x12, 0x34, 0x56, 0x78, 0x00, 0x03, 0x9A, 0xBC, 0x00, 0x00}, 8),
              (Bytes{0x12, 0x56, 0x9A, 0x9A, 0x9A}));
}

TEST(RunLengthDecoders, StopAtTheEndOfOutput) {
    TPCXRLE pcx;
    EXPECT_EQ(Decoded(pcx, {0xFF, 1}, 5), Bytes(5, 1));
    TPackbitsRLE pb;
    EXPECT_EQ(Decoded(pb, {0x81, 3}, 4), Bytes(4, 3));
    EXPECT_EQ(Decoded(pb, {0x7F, 1, 2, 3, 4, 5, 6}, 3), (Bytes{1, 2, 3}));
    TSGIRLE sgi(1);
    EXPECT_EQ(Decoded(sgi, {0x7F, 4}, 6), Bytes(6, 4));
    TSGIRLE sgi2(2);
    EXPECT_EQ(Decoded(sgi2, {0x00, 0x7F, 4, 0}, 6), Bytes(6, 4));
    TRLADecoder rla;
    EXPECT_EQ(Decoded(rla, {0x7F, 4}, 6), Bytes(6, 4));
    TCUTRLE cut;
    EXPECT_EQ(Decoded(cut, {0, 0, 0xFF, 4}, 6), Bytes(6, 4));
}

TEST(RunLengthDecoders, PcxRunCutAtTheEndOfOutputGoesOnInTheNextCall) {
    // PCX lines are decoded one call each, and a run may cross a line's end.
    TPCXRLE pcx;
    size_t used = 0;
    EXPECT_EQ(Decoded(pcx, {0xC5, 7, 9}, 3, &used), (Bytes{7, 7, 7}));
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(Decoded(pcx, {9}, 3), (Bytes{7, 7, 9}));
}

TEST(RunLengthDecoders, StopAtTheEndOfInput) {
    // Every packet claims more bytes than the input holds; the guard checks reads past it.
    TPackbitsRLE pb;
    Bytes packed = {0x7F, 1, 2};
    EXPECT_EQ(Decoded(pb, packed, 200), (Bytes{1, 2}));
    EXPECT_TRUE(Decoded(pb, {0xF0}, 10).empty());
    TPCXRLE pcx;
    EXPECT_TRUE(Decoded(pcx, {0xC5}, 10).empty());
    TSGIRLE sgi(1);
    EXPECT_EQ(Decoded(sgi, {0xFF, 1}, 200), (Bytes{1}));
    TSGIRLE sgi2(2);
    EXPECT_EQ(Decoded(sgi2, {0x00, 0xFF, 1, 2, 3}, 200), (Bytes{1}));
    EXPECT_TRUE(Decoded(sgi2, {0x00}, 200).empty());
    TRLADecoder rla;
    EXPECT_EQ(Decoded(rla, {0x80, 1}, 200), (Bytes{1}));
    TCUTRLE cut;
    EXPECT_EQ(Decoded(cut, {0, 0, 0x7F, 1}, 200), (Bytes{1}));
    EXPECT_TRUE(Decoded(cut, {0}, 200).empty());
    size_t used = 0;
    Decoded(pb, {0x01, 1, 2, 0x01, 3, 4}, 2, &used);
    EXPECT_EQ(used, 3u) << "the source pointer moves past the bytes used";
}

TEST(RunLengthDecoders, EncodeDoesNothing) {
    TPackbitsRLE pb;
    Bytes in = {1, 2, 3}, out(3, 9);
    const uint8_t* p = in.data();
    pb.Encode(p, out.data(), 3, 3);
    EXPECT_EQ(p, in.data());
    EXPECT_EQ(out, Bytes(3, 9));
}

TEST(RunLengthDecoders, PackBitsRoundTrip) {
    const Bytes data = Sample(50000, 7);
    TPackbitsRLE pb;
    EXPECT_EQ(Decoded(pb, tiffwriter::EncodePackBits(data), data.size()), data);
}

TEST(TargaPackets, RunHeaderRepeatsOnePixel) {
    Bytes out(9, 0);
    const Bytes in = {0x82, 1, 2, 3};
    EXPECT_EQ(DecodeTargaRLE(in.data(), in.size(), out.data(), 9, 24), 4u);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3}));
}

TEST(TargaPackets, OtherPixelSizesDecodeNothing) {
    Bytes out(4, 0);
    const Bytes in = {0x80, 1};
    EXPECT_EQ(DecodeTargaRLE(in.data(), in.size(), out.data(), 4, 12), 0u);
}

TEST(TargaPackets, RoundTripsForOneToFourBytePixels) {
    const int bits[] = {8, 16, 24, 32};
    for (int p = 1; p <= 4; ++p) {
        const Bytes pixels = Sample(size_t(p) * 3001, unsigned(p));
        const size_t count = pixels.size() / size_t(p);
        Bytes packed(TargaPackedBound(count, p));
        const size_t n = EncodeTargaRLE(pixels.data(), packed.data(), count, p);
        ASSERT_LE(n, packed.size());
        Bytes out(pixels.size(), 0);
        EXPECT_EQ(DecodeTargaRLE(packed.data(), n, out.data(), out.size(), bits[p - 1]), n) << p;
        EXPECT_EQ(out, pixels) << p;
    }
}

TEST(TargaPackets, WorstCaseFitsTheBound) {
    // A raw pixel between runs of two: two headers for every three pixels.
    for (int p = 1; p <= 4; ++p)
        for (size_t count : {1u, 2u, 3u, 4u, 5u, 300u, 301u, 302u}) {
            Bytes pixels;
            for (size_t i = 0; i < count; ++i)
                for (int b = 0; b < p; ++b) pixels.push_back(uint8_t(i % 3 == 0 ? i : i - (i % 3 == 2)));
            Bytes packed(TargaPackedBound(count, p) + 64, 0xEE);
            const size_t n = EncodeTargaRLE(pixels.data(), packed.data(), count, p);
            EXPECT_LE(n, TargaPackedBound(count, p)) << p << " " << count;
            Bytes out(pixels.size());
            static const int bits[] = {8, 16, 24, 32};
            DecodeTargaRLE(packed.data(), n, out.data(), out.size(), bits[p - 1]);
            EXPECT_EQ(out, pixels) << p << " " << count;
        }
}

TEST(TargaPackets, EncoderUsesRunAndRawPackets) {
    const Bytes pixels = {5, 5, 5, 1, 2};
    Bytes packed(16);
    const size_t n = EncodeTargaRLE(pixels.data(), packed.data(), 5, 1);
    packed.resize(n);
    EXPECT_EQ(packed, (Bytes{0x82, 5, 0x01, 1, 2}));
}

TEST(TargaPackets, PacketLongerThanTheOutputIsCut) {
    Bytes out(5 + 4, 0xEE);
    const Bytes in = {0xFF, 1, 2};  // 128 copies of a 16-bit pixel
    DecodeTargaRLE(in.data(), in.size(), out.data(), 5, 16);
    EXPECT_EQ(out, (Bytes{1, 2, 1, 2, 1, 0xEE, 0xEE, 0xEE, 0xEE}));
    Bytes raw = {0x7F, 1, 2, 3};  // 128 raw pixels announced, 3 bytes present
    Bytes out2(8, 0xEE);
    EXPECT_EQ(DecodeTargaRLE(raw.data(), raw.size(), out2.data(), 8, 8), 4u);
}

TEST(TIFFLZW, RoundTripReachesTwelveBitCodesAndClears) {
    const Bytes data = Sample(300000, 3);
    const Bytes packed = tiffwriter::EncodeTIFFLZW(data);
    TTIFFLZW lzw;
    EXPECT_EQ(Decoded(lzw, packed, data.size()), data);
}

TEST(TIFFLZW, ShortAndUniformData) {
    TTIFFLZW lzw;
    for (size_t n : {1u, 2u, 3u, 255u, 256u, 511u, 512u, 5000u}) {
        const Bytes data(n, 0x41);
        EXPECT_EQ(Decoded(lzw, tiffwriter::EncodeTIFFLZW(data), n), data) << n;
    }
}

TEST(TIFFLZW, OutputIsCutAtTheUnpackedSize) {
    const Bytes data = Sample(10000, 4);
    TTIFFLZW lzw;
    const Bytes out = Decoded(lzw, tiffwriter::EncodeTIFFLZW(data), 777);
    EXPECT_EQ(out, Bytes(data.begin(), data.begin() + 777));
}

TEST(TIFFLZW, UndefinedCodesAreInvalidOpcodes) {
    TTIFFLZW lzw;
    // 9-bit codes MSB first: clear (256), then 300, beyond the next free code.
    EXPECT_EQ(MessageOf(lzw, {0x80, 0x4B, 0x00}, 10), "TIF LZW: invalid opcode.");
    // The first code of the stream is not a literal: 258 reads an empty entry.
    EXPECT_EQ(MessageOf(lzw, {0x81, 0x00}, 10), "TIF LZW: invalid opcode.");
    // Clear, literal 'A', clear, 258 (not a literal after a clear).
    EXPECT_EQ(MessageOf(lzw, {0x80, 0x10, 0x60, 0x10, 0x20}, 10), "TIF LZW: invalid opcode.");
}

TEST(GIFLZW, RoundTripsForCodeSizesTwoToEight) {
    for (int s = 2; s <= 8; ++s) {
        Bytes data = Sample(60000, unsigned(s));
        for (uint8_t& b : data) b = uint8_t(b & ((1u << s) - 1));
        TGIFLZW gif(s);
        EXPECT_EQ(Decoded(gif, tiffwriter::EncodeGIFLZW(data, s), data.size()), data) << s;
    }
}

TEST(GIFLZW, CodeSizeTwoStartsWithThreeBitCodes) {
    // Clear (4), literal 1, literal 2, end (5), three bits each, LSB first.
    const Bytes packed = {0x8C, 0x0A};
    TGIFLZW gif(2);
    EXPECT_EQ(Decoded(gif, packed, 10), (Bytes{1, 2}));
}

TEST(GIFLZW, FullTableTakesNoEntriesUntilAClear) {
    Bytes data = Sample(400000, 9);
    TGIFLZW gif(8);
    EXPECT_EQ(Decoded(gif, tiffwriter::EncodeGIFLZW(data, 8, true), data.size()), data);
}

TEST(GIFLZW, BadCodeSizesAndCodesAreInvalidOpcodes) {
    for (int s : {0, 12, 13, -1}) {
        TGIFLZW gif(s);
        EXPECT_EQ(MessageOf(gif, {0, 0, 0}, 4), "GIF LZW: invalid opcode.") << s;
    }
    TGIFLZW gif(2);
    // Clear (4), then code 6 as the first code: not a literal.
    EXPECT_EQ(MessageOf(gif, {0x34, 0x00}, 10), "GIF LZW: invalid opcode.");
    // Literal 1, then code 7 beyond the next free code (6).
    EXPECT_EQ(MessageOf(gif, {0x39, 0x00}, 10), "GIF LZW: invalid opcode.");
}

}  // namespace
