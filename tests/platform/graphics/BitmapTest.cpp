// Bitmaps: storage of every pixel format, conversions, shared pixels, and the BMP reader on good,
// cut-short and malformed files.
#include "Bitmap.h"
#include "BmpFiles.h"
#include "Streams.h"

#include <gtest/gtest.h>

namespace {

TBitmap Load(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    TBitmap bmp;
    bmp.LoadFromStream(stream);
    return bmp;
}

TEST(Bitmap, NewBitmapIsEmptyAndScanLinesAreDwordAligned) {
    TBitmap bmp;
    EXPECT_TRUE(bmp.Empty());
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(5, 3);
    EXPECT_FALSE(bmp.Empty());
    EXPECT_EQ(bmp.BytesPerScanLine(), 16);
    bmp.SetPixelFormat(pf1bit);
    EXPECT_EQ(bmp.BytesPerScanLine(), 4);
    EXPECT_EQ(bmp.Palette().size(), 2u);
    bmp.SetPixelFormat(pf4bit);
    EXPECT_EQ(bmp.Palette().size(), 16u);
    bmp.SetPixelFormat(pf8bit);
    EXPECT_EQ(bmp.Palette().size(), 256u);
    EXPECT_THROW(bmp.ScanLine(3), EInvalidGraphic);
    EXPECT_THROW(bmp.ScanLine(-1), EInvalidGraphic);
    EXPECT_THROW(bmp.SetSize(-1, 2), EInvalidGraphic);
    EXPECT_THROW(bmp.SetSize(1 << 20, 1 << 20), EInvalidGraphic);
}

TEST(Bitmap, FormatChangesKeepTheColours) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(2, 1);
    auto* row = static_cast<uint8_t*>(bmp.ScanLine(0));
    row[2] = 255;                          // red
    row[3] = row[4] = row[5] = 255;        // white
    for (TPixelFormat f : {pf32bit, pf16bit, pf15bit, pf8bit, pf4bit, pf24bit}) {
        TBitmap copy = bmp;
        copy.SetPixelFormat(f);
        EXPECT_EQ(copy.Pixel(1, 0), clWhite) << f;
        if (f != pf8bit) {
            EXPECT_EQ(copy.Pixel(0, 0), clRed) << f;  // the grey default palette has no red
        }
    }
    TBitmap mono = bmp;
    mono.SetPixelFormat(pf1bit);
    EXPECT_EQ(mono.Pixel(1, 0), clWhite);
}

TEST(Bitmap, CopiesSharePixelsUntilWritten) {
    TBitmap a;
    a.SetPixelFormat(pf8bit);
    a.SetSize(4, 4);
    TBitmap b = a;
    EXPECT_EQ(a.DataIdentity(), b.DataIdentity());
    static_cast<uint8_t*>(b.ScanLine(0))[0] = 200;
    EXPECT_NE(a.DataIdentity(), b.DataIdentity());
    EXPECT_EQ(static_cast<const uint8_t*>(std::as_const(a).ScanLine(0))[0], 0);
}

TEST(BmpReader, ReadsBottomUp24BitRows) {
    // 2 x 2: bottom row blue, green; top row red, white. Rows padded to 8 bytes.
    const std::vector<uint8_t> px = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0};
    TBitmap bmp = Load(MakeBmp(2, 2, 24, 0, {}, px));
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    EXPECT_EQ(bmp.Pixel(0, 0), clRed);
    EXPECT_EQ(bmp.Pixel(1, 0), clWhite);
    EXPECT_EQ(bmp.Pixel(0, 1), clBlue);
    EXPECT_EQ(bmp.Pixel(1, 1), RGB(0, 255, 0));
}

TEST(BmpReader, ReadsTopDownAndPalettedFiles) {
    const std::vector<uint32_t> pal = {0x000000, 0xFF0000 /* red as 0x00RRGGBB */};
    // 8 bits, height -2 (top-down): first row index 1 then 0.
    const std::vector<uint8_t> px = {1, 0, 0, 0, 0, 1, 0, 0};
    TBitmap bmp = Load(MakeBmp(2, -2, 8, 0, pal, px));
    EXPECT_EQ(bmp.PixelFormat(), pf8bit);
    EXPECT_EQ(bmp.Pixel(0, 0), clRed);
    EXPECT_EQ(bmp.Pixel(1, 1), clRed);
    EXPECT_EQ(bmp.Pixel(1, 0), clBlack);
    // 1 bit with a core header: 3-byte palette entries.
    TBitmap mono = Load(MakeBmp(3, 1, 1, 0, {0x000000, 0xFFFFFF}, {0xA0, 0, 0, 0}, {}, true));
    EXPECT_EQ(mono.PixelFormat(), pf1bit);
    EXPECT_EQ(mono.Pixel(0, 0), clWhite);
    EXPECT_EQ(mono.Pixel(1, 0), clBlack);
    EXPECT_EQ(mono.Pixel(2, 0), clWhite);
}

TEST(BmpReader, ReadsRunLengthAndBitfieldFiles) {
    const std::vector<uint32_t> pal = {0x000000, 0x0000FF, 0x00FF00};
    // RLE8: row 0: 3 x index 2; end of line; row 1: absolute run 1,2,1; end of bitmap.
    const std::vector<uint8_t> rle8 = {3, 2, 0, 0, 0, 3, 1, 2, 1, 0, 0, 1};
    TBitmap r8 = Load(MakeBmp(3, 2, 8, 1, pal, rle8));
    EXPECT_EQ(r8.Pixel(0, 1), RGB(0, 255, 0));  // bottom row (file row 0)
    EXPECT_EQ(r8.Pixel(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(r8.Pixel(0, 0), clBlue);
    // RLE4: 4 pixels alternating 1,2.
    TBitmap r4 = Load(MakeBmp(4, 1, 4, 2, pal, {4, 0x12, 0, 1}));
    EXPECT_EQ(r4.PixelFormat(), pf4bit);
    EXPECT_EQ(r4.Pixel(0, 0), clBlue);
    EXPECT_EQ(r4.Pixel(3, 0), RGB(0, 255, 0));
    // 16 bits 5-6-5 through bit fields.
    TBitmap b16 = Load(MakeBmp(1, 1, 16, 3, {}, {0x00, 0xF8, 0, 0}, {0xF800, 0x07E0, 0x001F}));
    EXPECT_EQ(b16.PixelFormat(), pf16bit);
    EXPECT_EQ(b16.Pixel(0, 0), clRed);
    // 32 bits with the red and blue masks swapped converts.
    TBitmap b32 = Load(MakeBmp(1, 1, 32, 3, {}, {0xFF, 0, 0, 0}, {0x0000FF, 0x00FF00, 0xFF0000}));
    EXPECT_EQ(b32.Pixel(0, 0), clRed);
}

TEST(BmpReader, RoundTripsEveryFormat) {
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        TBitmap bmp;
        bmp.SetPixelFormat(f);
        bmp.SetSize(7, 3);
        static_cast<uint8_t*>(bmp.ScanLine(1))[0] = 0xFF;
        TMemoryStream stream;
        bmp.SaveToStream(stream);
        stream.SetPosition(0);
        TBitmap back;
        back.LoadFromStream(stream);
        EXPECT_EQ(back.PixelFormat(), f);
        EXPECT_EQ(back.Width(), 7);
        EXPECT_EQ(back.Height(), 3);
        for (int x = 0; x < 7; ++x) EXPECT_EQ(back.Pixel(x, 1), bmp.Pixel(x, 1)) << f << " x " << x;
    }
}

TEST(BmpReader, RejectsMalformedFiles) {
    std::vector<uint8_t> good = MakeBmp(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 0));
    auto bad = good;
    bad[0] = 'X';
    EXPECT_THROW(Load(bad), EInvalidGraphic);
    try {
        Load(bad);
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Bitmap image is not valid");
    }
    for (int bits : {0, 2, 7, 64}) EXPECT_THROW(Load(MakeBmp(2, 2, bits, 0, {}, std::vector<uint8_t>(64))), EInvalidGraphic);
    EXPECT_THROW(Load(MakeBmp(0, 2, 24, 0, {}, {})), EInvalidGraphic);
    EXPECT_THROW(Load(MakeBmp(2, 2, 24, 1, {}, std::vector<uint8_t>(16))), EInvalidGraphic);  // RLE8 needs 8 bits
    EXPECT_THROW(Load(MakeBmp(2, 2, 24, 9, {}, std::vector<uint8_t>(16))), EInvalidGraphic);
}

TEST(BmpReader, CutShortFilesRaiseTheStreamReadError) {
    const std::vector<uint8_t> good = MakeBmp(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 0));
    for (size_t n : {size_t(0), size_t(10), size_t(20), good.size() - 1}) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
        try {
            Load(cut);
            ADD_FAILURE() << "loaded " << n << " bytes";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message, "Stream read error");
        } catch (const EInvalidGraphic&) {
        }
    }
    // Huge dimensions in a tiny file are refused before any allocation.
    EXPECT_THROW(Load(MakeBmp(60000, 60000, 32, 0, {}, std::vector<uint8_t>(16))), EReadError);
}

TEST(BmpReader, RunLengthCodesPointingOutsideTheImageAreHarmless) {
    // Delta far beyond the image, a run past the row end, and an absolute run cut short.
    const std::vector<uint8_t> rle = {0, 2, 200, 200, 255, 1, 0, 0, 0, 40, 1};
    TBitmap bmp = Load(MakeBmp(3, 3, 8, 1, {0, 0xFFFFFF}, rle));
    EXPECT_EQ(bmp.Width(), 3);
    TBitmap run = Load(MakeBmp(2, 1, 8, 1, {0, 0xFFFFFF}, {255, 1, 0, 1}));
    EXPECT_EQ(run.Pixel(1, 0), clWhite);
}

TEST(Dib, GetDIBWritesAHeaderThatReadsBack) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf8bit);
    bmp.SetSize(3, 2);
    bmp.SetPalette({TRGBQuad{0, 0, 0, 0}, TRGBQuad{0, 0, 255, 0}});
    static_cast<uint8_t*>(bmp.ScanLine(0))[2] = 1;
    uint32_t infoSize = 0, imageSize = 0;
    GetDIBSizes(bmp, infoSize, imageSize);
    EXPECT_EQ(infoSize, 40u + 256 * 4);
    EXPECT_EQ(imageSize, 8u);
    std::vector<uint8_t> info(infoSize), bits(imageSize);
    ASSERT_TRUE(GetDIB(bmp, info.data(), bits.data()));
    EXPECT_EQ(bits[4 + 2], 1);  // top row stored last
    TBitmap back;
    ASSERT_TRUE(BitmapFromDIB(info.data(), infoSize, bits.data(), imageSize, back));
    EXPECT_EQ(back.Pixel(2, 0), clRed);
    EXPECT_FALSE(BitmapFromDIB(info.data(), 8, bits.data(), imageSize, back));
    EXPECT_FALSE(BitmapFromDIB(info.data(), infoSize, bits.data(), 4, back));
}

}  // namespace
