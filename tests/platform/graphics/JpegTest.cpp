// JPEG pictures: colour and grey files decode into bitmaps; damaged data raises "JPEG error #n".
#include "Jpeg.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace {

/// Encodes a w x h picture: left half red, right half blue (or a grey ramp).
std::vector<uint8_t> Encode(int w, int h, bool grey) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(w) * (grey ? 1 : 3));
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < w; ++x) {
            if (grey) {
                row[size_t(x)] = uint8_t(x * 255 / (w - 1));
            } else {
                const bool left = x < w / 2;
                row[size_t(3 * x)] = left ? 255 : 0;
                row[size_t(3 * x + 1)] = 0;
                row[size_t(3 * x + 2)] = left ? 0 : 255;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

}  // namespace

std::vector<uint8_t> EncodeForRobustness(int w, int h) { return Encode(w, h, false); }

namespace {

TJPEGImage Load(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    TJPEGImage jpeg;
    jpeg.LoadFromStream(stream);
    return jpeg;
}

TEST(Jpeg, DecodesColourIntoA24BitBitmap) {
    const TJPEGImage jpeg = Load(Encode(32, 16, false));
    EXPECT_EQ(jpeg.Width(), 32);
    EXPECT_EQ(jpeg.Height(), 16);
    EXPECT_EQ(jpeg.Bitmap().PixelFormat(), pf24bit);
    const TColor left = jpeg.Bitmap().Pixel(4, 8), right = jpeg.Bitmap().Pixel(28, 8);
    EXPECT_GT(GetRValue(left), 200);
    EXPECT_LT(GetBValue(left), 60);
    EXPECT_GT(GetBValue(right), 200);
    EXPECT_LT(GetRValue(right), 60);
}

TEST(Jpeg, DecodesGreyIntoAn8BitBitmapWithAGreyPalette) {
    const TJPEGImage jpeg = Load(Encode(64, 4, true));
    EXPECT_TRUE(jpeg.Grayscale());
    EXPECT_LT(GetRValue(jpeg.Bitmap().Pixel(0, 0)), 20);
    EXPECT_GT(GetRValue(jpeg.Bitmap().Pixel(63, 0)), 235);
}

TEST(Jpeg, DamagedDataRaisesTheJpegError) {
    const std::vector<uint8_t> good = Encode(128, 128, false);
    for (const std::vector<uint8_t>& bad :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{0xFF, 0xD8}, std::vector<uint8_t>(100, 0x41),
          std::vector<uint8_t>(good.begin(), good.begin() + 20)}) {
        try {
            Load(bad);
            ADD_FAILURE() << "decoded " << bad.size() << " bytes";
        } catch (const EJPEG& e) {
            EXPECT_EQ(e.Message.rfind("JPEG error #", 0), 0u) << e.Message;
            EXPECT_GT(e.Message.size(), 12u);
        }
    }
    // Data cut inside the scan decodes what is there (the decoder fills the rest).
    const TJPEGImage partial = Load(std::vector<uint8_t>(good.begin(), good.begin() + long(good.size()) * 3 / 4));
    EXPECT_EQ(partial.Width(), 128);
}

TEST(Jpeg, AFailedLoadKeepsThePicture) {
    TJPEGImage jpeg;
    TMemoryStream good(Encode(8, 8, false));
    jpeg.LoadFromStream(good);
    TMemoryStream bad(std::vector<uint8_t>(10, 0));
    EXPECT_THROW(jpeg.LoadFromStream(bad), EJPEG);
    EXPECT_EQ(jpeg.Width(), 8);
}

}  // namespace
