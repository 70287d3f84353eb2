// The picture holder: choosing the class by extension in any letter case, registering and
// unregistering classes, the unknown-extension message, and failed loads keeping the old picture.
#include "BmpFiles.h"
#include "Jpeg.h"
#include "Picture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

class Folder : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = std::filesystem::temp_directory_path() / ("picture-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }
    std::string Path(const std::string& name) const { return (Dir / name).string(); }
    std::filesystem::path Dir;
};

/// A graphic class of a test format: accepts any file, 1 x 1.
class TTestGraphic : public TBitmap {
public:
    void LoadFromStream(TStream&) override { SetSize(1, 1); }
};

TEST_F(Folder, LoadsByExtensionInAnyLetterCase) {
    WriteFile(Path("Logo.BMP"), MakeBmp(3, 2, 24, 0, {}, std::vector<uint8_t>(24, 0)));
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&] { ++changes; };
    picture.LoadFromFile(Path("Logo.BMP"));
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_EQ(picture.Bitmap().Height(), 2);
    EXPECT_EQ(changes, 1);
    // The file name itself is found whatever its letter case on disk.
    TPicture again;
    again.LoadFromFile(Path("logo.bmp"));
    EXPECT_EQ(again.Width(), 3);
}

TEST_F(Folder, UnknownExtensionsAndMissingFilesRaiseTheirErrors) {
    TPicture picture;
    try {
        picture.LoadFromFile(Path("page1.xyz"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
    }
    try {
        picture.LoadFromFile(Path("noext"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.)");
    }
    EXPECT_THROW(picture.LoadFromFile(Path("missing.bmp")), EFOpenError);
}

TEST_F(Folder, AFailedLoadKeepsTheFormerGraphic) {
    WriteFile(Path("good.bmp"), MakeBmp(4, 4, 24, 0, {}, std::vector<uint8_t>(48, 0)));
    WriteFile(Path("bad.bmp"), {'B', 'M', 1, 2, 3});
    TPicture picture;
    picture.LoadFromFile(Path("good.bmp"));
    EXPECT_THROW(picture.LoadFromFile(Path("bad.bmp")), EReadError);
    EXPECT_EQ(picture.Width(), 4);
}

TEST_F(Folder, RegisteredClassesAreFoundNewestFirstAndCanBeRemoved) {
    const TGraphicClass cls = GraphicClassOf<TTestGraphic>("TTestGraphic");
    TPicture::RegisterFileFormat("TIF", "Test images", cls);
    TPicture::RegisterFileFormat("bmp", "Test images", cls);
    WriteFile(Path("page.tif"), {1, 2, 3});
    WriteFile(Path("plain.bmp"), {1, 2, 3});
    TPicture picture;
    picture.LoadFromFile(Path("page.TIF"));
    EXPECT_NE(dynamic_cast<TTestGraphic*>(picture.Graphic()), nullptr);
    picture.LoadFromFile(Path("plain.bmp"));  // the newer registration of bmp wins
    EXPECT_NE(dynamic_cast<TTestGraphic*>(picture.Graphic()), nullptr);
    TPicture::UnregisterGraphicClass(cls);
    EXPECT_THROW(picture.LoadFromFile(Path("page.tif")), EInvalidGraphic);
    EXPECT_THROW(picture.LoadFromFile(Path("plain.bmp")), EReadError);  // the built-in reader again
    for (const TFileFormat& f : TPicture::FileFormats()) EXPECT_NE(f.GraphicClass, cls);
}

TEST(Picture, BitmapOfAnotherKindOfGraphicIsANewEmptyBitmap) {
    TPicture picture;
    EXPECT_TRUE(picture.Bitmap().Empty());
    picture.SetGraphic(std::make_unique<TJPEGImage>());
    TBitmap& bmp = picture.Bitmap();
    EXPECT_TRUE(bmp.Empty());
    EXPECT_EQ(picture.Graphic(), &bmp);
}

}  // namespace

namespace {

TEST(ProgramArtwork, EveryPictureOfTheProgramFolderLoads) {
    const std::filesystem::path folder = std::filesystem::path(VETRA_BIN_DIR) / "artwork";
    if (!std::filesystem::exists(folder)) {
        if (std::getenv("CI")) FAIL() << "no artwork built";
        GTEST_SKIP() << "no artwork built";
    }
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        TPicture picture;
        ASSERT_NO_THROW(picture.LoadFromFile(entry.path().string())) << entry.path();
        EXPECT_GT(picture.Width(), 0) << entry.path();
        EXPECT_GT(picture.Height(), 0) << entry.path();
        ++loaded;
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
