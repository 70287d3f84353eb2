// Picture bombs: small files that declare huge pictures are refused by the pixel budget before
// anything of their size is allocated; run-length data fill the bitmap itself. How fast they are
// refused, and the memory taken, is measured in bench/graphics.
#include "Bitmap.h"
#include "BmpFiles.h"
#include "Jpeg.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

/// Restores the process's pixel budget when a test ends.
struct BudgetGuard {
    int64_t Saved = PixelBudget();
    ~BudgetGuard() { SetPixelBudget(Saved); }
};

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

/// A 56-byte RLE8 BMP declaring width x height: headers, no colour table, then end of bitmap.
std::vector<uint8_t> RleBomb(uint32_t width, uint32_t height) {
    std::vector<uint8_t> b(56, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, 56);
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, width);
    Put32(b, 22, height);
    Put16(b, 26, 1);
    Put16(b, 28, 8);
    Put32(b, 30, 1);  // RLE8
    Put32(b, 34, 2);
    b[54] = 0;
    b[55] = 1;  // end of bitmap
    return b;
}

/// A small progressive colour JPEG whose frame header then declares width x height.
std::vector<uint8_t> ProgressiveBomb(unsigned width, unsigned height) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 16;
    info.image_height = 16;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(16 * 3, 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) {
            bytes[i + 5] = uint8_t(height >> 8);
            bytes[i + 6] = uint8_t(height);
            bytes[i + 7] = uint8_t(width >> 8);
            bytes[i + 8] = uint8_t(width);
            return bytes;
        }
    }
    ADD_FAILURE() << "no progressive frame header";
    return bytes;
}

template <class G>
void Load(G& graphic, const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    graphic.LoadFromStream(stream);
}

TEST(PictureBombs, RunLengthBitmapDeclaringGigapixelsIsRefusedAtOnce) {
    const std::vector<uint8_t> bomb = RleBomb(65535, 32767);
    ASSERT_EQ(bomb.size(), 56u);
    TBitmap bmp;
    try {
        Load(bmp, bomb);
        FAIL() << "a 65535 x 32767 picture was loaded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Image size exceeds the pixel budget");
    }
    EXPECT_TRUE(bmp.Empty());
}

TEST(PictureBombs, BitmapsAreJudgedByTheBudgetTheProgramSets) {
    BudgetGuard guard;
    SetPixelBudget(40 * 25);
    TBitmap fits;
    Load(fits, RleBomb(40, 25));
    EXPECT_EQ(fits.Width(), 40);
    EXPECT_EQ(fits.Height(), 25);
    EXPECT_EQ(fits.Pixel(39, 24), clBlack);  // skipped pixels keep index 0
    TBitmap over;
    EXPECT_THROW(Load(over, RleBomb(41, 25)), EInvalidGraphic);
    // Uncompressed files are judged the same way, before their rows are read.
    EXPECT_THROW(Load(over, MakeBmp(41, 25, 24, 0, {}, std::vector<uint8_t>(124 * 25))), EInvalidGraphic);
    TBitmap plain;
    Load(plain, MakeBmp(40, 25, 24, 0, {}, std::vector<uint8_t>(120 * 25)));
    EXPECT_EQ(plain.Width(), 40);
}

TEST(PictureBombs, RunLengthRowsLongerThanThePictureStayInside) {
    // Runs of 255 pixels into a 3-pixel row, a delta far beyond the picture, then a run on the
    // second row: only the pixels inside are written.
    const std::vector<uint32_t> pal = {0x000000, 0x0000FF, 0x00FF00};
    const std::vector<uint8_t> rle = {255, 1, 255, 1, 0, 2, 200, 0, 0, 0, 2, 2, 0, 1};
    TBitmap bmp;
    Load(bmp, MakeBmp(3, 2, 8, 1, pal, rle));
    EXPECT_EQ(bmp.Pixel(2, 1), clBlue);    // file row 0 is the bottom row
    EXPECT_EQ(bmp.Pixel(0, 0), RGB(0, 255, 0));  // second file row
    EXPECT_EQ(bmp.Pixel(2, 0), clBlack);
}

TEST(PictureBombs, ProgressiveJpegsDeclaringHugeSizesAreRefusedAfterTheHeader) {
    for (unsigned side : {20000u, 16383u}) {
        const std::vector<uint8_t> bomb = ProgressiveBomb(side, side);
        EXPECT_LT(bomb.size(), 1000u);
        TJPEGImage jpeg;
        try {
            Load(jpeg, bomb);
            ADD_FAILURE() << side << " x " << side << " was loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Image size exceeds the pixel budget");
        }
        EXPECT_TRUE(jpeg.Empty());
    }
}

TEST(PictureBombs, JpegsWithinTheBudgetStillLoad) {
    BudgetGuard guard;
    const std::vector<uint8_t> small = ProgressiveBomb(16, 16);
    SetPixelBudget(16 * 16);
    TJPEGImage jpeg;
    Load(jpeg, small);
    EXPECT_EQ(jpeg.Width(), 16);
    SetPixelBudget(16 * 16 - 1);
    TJPEGImage refused;
    EXPECT_THROW(Load(refused, small), EInvalidGraphic);
}

}  // namespace
