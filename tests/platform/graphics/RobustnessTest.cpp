// Damaged pictures never crash: every byte of small BMP and JPEG files is mutated in turn and the
// readers either load or raise one of the class library's errors. Device-independent bitmaps
// with impossible headers draw nothing.
#include "BmpFiles.h"
#include "Canvas.h"
#include "Jpeg.h"
#include "Metafile.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <cstring>

std::vector<uint8_t> EncodeForRobustness(int w, int h);  // JpegTest.cpp

namespace {

template <class Graphic>
void LoadMutations(const std::vector<uint8_t>& good) {
    uint32_t seed = 12345;
    auto next = [&] { seed = seed * 1103515245u + 12345u; return seed >> 16; };
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(next())}) {
            std::vector<uint8_t> bad = good;
            bad[i] = value;
            TMemoryStream stream(bad);
            Graphic g;
            try {
                g.LoadFromStream(stream);
            } catch (const Exception&) {
            }
        }
    }
}

TEST(Robustness, MutatedBitmapsLoadOrRaise) {
    std::vector<uint8_t> pixels(64);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7);
    LoadMutations<TBitmap>(MakeBmp(4, 4, 8, 0, {0, 0xFFFFFF, 0xFF0000}, std::vector<uint8_t>(16, 1)));
    LoadMutations<TBitmap>(MakeBmp(5, 3, 24, 0, {}, pixels));
    LoadMutations<TBitmap>(MakeBmp(4, 4, 8, 1, {0, 0xFFFFFF}, {4, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 2, 1, 1, 0, 1}));
    LoadMutations<TBitmap>(MakeBmp(2, 2, 16, 3, {}, std::vector<uint8_t>(8, 0x55), {0xF800, 0x07E0, 0x001F}));
}

TEST(Robustness, MutatedJpegsLoadOrRaise) {
    // A tiny valid baseline JPEG produced by the library itself.
    LoadMutations<TJPEGImage>(EncodeForRobustness(16, 8));
}

TEST(Robustness, ImpossibleDibHeadersDrawNothing) {
    TMetafile page;
    TMetafileCanvas canvas(page);
    std::vector<uint8_t> info(40 + 1024, 0), bits(64, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(info.data() + at, &v, 4); };
    put32(0, 40);
    put32(4, 4);
    put32(8, 4);
    info[12] = 1;
    for (uint16_t bitCount : {uint16_t(0), uint16_t(3), uint16_t(200)}) {
        std::memcpy(info.data() + 14, &bitCount, 2);
        EXPECT_EQ(StretchDIBits(canvas.Handle(), 0, 0, 10, 10, 0, 0, 4, 4, bits.data(), info.data(), DIB_RGB_COLORS, SRCCOPY), 0);
    }
    uint16_t bitCount = 32;
    std::memcpy(info.data() + 14, &bitCount, 2);
    put32(4, 65535);
    put32(8, 65535);
    EXPECT_EQ(StretchDIBits(canvas.Handle(), 0, 0, 10, 10, 0, 0, 4, 4, bits.data(), info.data(), DIB_RGB_COLORS, SRCCOPY), 0);
    put32(0, 12);
    EXPECT_EQ(StretchDIBits(canvas.Handle(), 0, 0, 10, 10, 0, 0, 4, 4, bits.data(), info.data(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_TRUE(page.Records().empty());
}

}  // namespace
