// Tests of the readers' registration with the picture holder, and of loading a page image by
// its file name through TPicture.
#include "ImageReaders.h"
#include "Streams.h"
#include "TiffWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

TEST(ImageReaderRegistry, TheTwentyEightExtensionsInOrder) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"win", "Truevision images"}, {"vst", "Truevision images"}, {"vda", "Truevision images"},
        {"tiff", "TIFF images"}, {"tif", "TIFF images"}, {"tga", "Truevision images"},
        {"sgi", "SGI true color images"}, {"scr", "Word 5.x screen capture images"}, {"rpf", "SGI Wavefront images"},
        {"rle", "Windows bitmap"}, {"rla", "SGI Wavefront images"}, {"rgba", "SGI true color images"},
        {"rgb", "SGI true color images"}, {"psd", "Photoshop images"}, {"ppm", "Portable pixel map images"},
        {"pgm", "Portable grayscale images"}, {"pbm", "Portable b&w images"}, {"pic", "Autodesk images"},
        {"pcx", "ZSoft PCX images"}, {"pdd", "Photoshop images"}, {"pcd", "Kodak Photo-CD images"},
        {"pcc", "ZSoft PCC images"}, {"icb", "Truevision images"}, {"gif", "CompuServe images"},
        {"dib", "Windows bitmap"}, {"cut", "Dr. Halo images"}, {"cel", "Autodesk images"},
        {"bw", "SGI black/white images"}};
    const auto& formats = ImageReaderFormats();
    ASSERT_EQ(formats.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(formats[i].Extension, expected[i].first) << i;
        EXPECT_EQ(formats[i].Description, expected[i].second) << i;
    }
    EXPECT_EQ(formats[3].GraphicClass(), TIFFGraphicClass());
    EXPECT_EQ(formats[9].GraphicClass(), BitmapClass());
    EXPECT_EQ(formats[24].GraphicClass(), BitmapClass());
}

size_t Registered(const std::string& ext) {
    const auto formats = TPicture::FileFormats();
    return size_t(std::count_if(formats.begin(), formats.end(), [&](const TFileFormat& f) { return f.Extension == ext; }));
}

TEST(ImageReaderRegistry, RegistrationIsCountedAndUndone) {
    const size_t before = TPicture::FileFormats().size();
    RegisterImageReaders();
    RegisterImageReaders();
    EXPECT_EQ(Registered("tif"), 1u);
    EXPECT_EQ(Registered("tiff"), 1u);
    EXPECT_EQ(Registered("dib"), 1u);
    EXPECT_EQ(Registered("rle"), 1u);
    // In registration order, after the formats the holder had.
    const auto formats = TPicture::FileFormats();
    EXPECT_EQ(formats[before].Extension, "win");
    EXPECT_EQ(formats[before + 3].Extension, "tiff");
    EXPECT_EQ(formats[before + 4].Extension, "tif");
    EXPECT_EQ(formats[before + 3].Description, "TIFF images");
    EXPECT_EQ(formats.size(), before + 28);
    UnregisterImageReaders();
    EXPECT_EQ(Registered("tif"), 1u) << "still registered once more";
    UnregisterImageReaders();
    EXPECT_EQ(Registered("tif"), 0u);
    EXPECT_EQ(Registered("tiff"), 0u);
    EXPECT_EQ(Registered("bmp"), 1u) << "the holder's own formats stay";
    UnregisterImageReaders();  // one too many does nothing
    EXPECT_EQ(Registered("bmp"), 1u);
}

TEST(ImageReaderRegistry, PageImageLoadsThroughThePicture) {
    tiffwriter::Image im;
    im.Width = 200;
    im.Height = 100;
    im.Bits = {1};
    im.Photometric = 0;
    im.Compression = tiffwriter::kLZW;
    im.RowsPerStrip = 16;
    im.Pixels.assign(size_t(tiffwriter::LineBytes(im)) * im.Height, 0);
    im.Pixels[0] = 0x80;
    const std::string path = (std::filesystem::temp_directory_path() / "imagereaders_ENBP1.TIF").string();
    TMemoryStream(tiffwriter::Write(im)).SaveToFile(path);
    TPicture picture;
    EXPECT_THROW(picture.LoadFromFile(path), EInvalidGraphic);
    RegisterImageReaders();
    picture.LoadFromFile(path);
    UnregisterImageReaders();
    ASSERT_NE(dynamic_cast<TTIFFGraphic*>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 200);
    EXPECT_EQ(picture.Bitmap().Pixel(0, 0), clBlack);
    EXPECT_EQ(picture.Bitmap().Pixel(1, 0), clWhite);
    std::filesystem::remove(path);
}

}  // namespace
