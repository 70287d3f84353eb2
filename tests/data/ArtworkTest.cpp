// Tests of the program's artwork: every picture the build paints exists with its stated
// format and size, the files are sound, and a few flags and logos show the right colours.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "PictureFiles.h"

namespace {

namespace fs = std::filesystem;

const std::string ArtworkDir = std::string(VETRA_BIN_DIR) + "artwork/";
const std::string Generator = std::string(VETRA_BIN_DIR) + "make_artwork";

struct Expected {
    const char* File;
    int Width, Height;
};

// The files and sizes that data/artwork/README.md states.
const Expected Files[] = {
    {"imSplash.bmp", 360, 240},     {"imTolmLogo.bmp", 300, 100},  {"imNormalLogo.bmp", 300, 100},
    {"imMakerLogo.bmp", 600, 200},  {"imInverseLogo.bmp", 600, 200}, {"imCTLogo.bmp", 360, 120},
    {"imTick.bmp", 64, 64},         {"btnChecksheet.bmp", 32, 32}, {"btnPrePrinted.bmp", 32, 32},
    {"btnTraining.bmp", 32, 32},    {"btnSetup.bmp", 32, 32},      {"btnExit.bmp", 32, 32},
    {"imBritain.bmp", 120, 80},    {"imBelgium.bmp", 120, 80},
    {"imGermany.bmp", 120, 80},     {"imAustria.bmp", 120, 80},    {"imFrance.bmp", 120, 80},
    {"imSpain.bmp", 120, 80},       {"imPortugal.bmp", 120, 80},   {"imItaly.bmp", 120, 80},
    {"imHolland.bmp", 120, 80},     {"imSwitz.bmp", 120, 80},      {"imNorway.jpg", 120, 80},
    {"imDenmark.bmp", 120, 80},     {"imFinland.bmp", 120, 80},    {"imSweden.bmp", 120, 80},
    {"imCroatia.bmp", 120, 80},     {"imBulgaria.bmp", 120, 80},   {"imRomania.bmp", 120, 80},
    {"imSlovenia.bmp", 120, 80},    {"imUkraine.bmp", 120, 80},    {"imCzech.bmp", 120, 80},
    {"imGreece.bmp", 120, 80},      {"imPoland.bmp", 120, 80},     {"imHungary.bmp", 120, 80},
    {"imTurkey.bmp", 120, 80},      {"imRussia.bmp", 120, 80},
};

struct Rgb {
    int r, g, b;
};

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<unsigned char>& d, std::size_t at) {
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<std::uint32_t>(d[at + 3]) << 24;
}
unsigned le16(const std::vector<unsigned char>& d, std::size_t at) { return d[at] | d[at + 1] << 8; }

// A decoded picture, rows top to bottom.
struct Picture {
    int Width = 0, Height = 0;
    std::vector<unsigned char> Rgb;  // 3 bytes per pixel
    ::Rgb at(int x, int y) const {
        std::size_t i = (static_cast<std::size_t>(y) * Width + x) * 3;
        return {Rgb[i], Rgb[i + 1], Rgb[i + 2]};
    }
};

// Checks a 24-bit uncompressed bottom-up BMP header against the file and decodes it.
::testing::AssertionResult readBmp(const std::string& path, Picture& out) {
    const std::vector<unsigned char> d = readFile(path);
    if (d.size() < 54) return ::testing::AssertionFailure() << path << ": shorter than the headers";
    if (d[0] != 'B' || d[1] != 'M') return ::testing::AssertionFailure() << path << ": no BM signature";
    if (le32(d, 2) != d.size()) return ::testing::AssertionFailure() << path << ": file size field " << le32(d, 2);
    if (le32(d, 14) != 40) return ::testing::AssertionFailure() << path << ": info header size " << le32(d, 14);
    const auto width = static_cast<std::int32_t>(le32(d, 18)), height = static_cast<std::int32_t>(le32(d, 22));
    if (width <= 0 || height <= 0) return ::testing::AssertionFailure() << path << ": not a bottom-up bitmap";
    if (le16(d, 26) != 1 || le16(d, 28) != 24 || le32(d, 30) != 0)
        return ::testing::AssertionFailure() << path << ": not 24-bit uncompressed";
    const std::uint32_t offset = le32(d, 10), stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    if (offset < 54 || le32(d, 34) != stride * height || offset + std::uint64_t(stride) * height != d.size())
        return ::testing::AssertionFailure() << path << ": pixel data does not match the header";
    out.Width = width;
    out.Height = height;
    out.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = &d[offset + static_cast<std::size_t>(height - 1 - y) * stride];
        for (int x = 0; x < width; ++x) {
            std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
            out.Rgb[i] = row[x * 3 + 2];
            out.Rgb[i + 1] = row[x * 3 + 1];
            out.Rgb[i + 2] = row[x * 3];
        }
    }
    return ::testing::AssertionSuccess();
}

struct JpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};
void onJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->Jump, 1); }

bool decodeJpeg(const std::vector<unsigned char>& data, Picture& out) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = onJpegError;
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.Width = static_cast<int>(info.output_width);
    out.Height = static_cast<int>(info.output_height);
    out.Rgb.assign(static_cast<std::size_t>(out.Width) * out.Height * 3, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &out.Rgb[static_cast<std::size_t>(info.output_scanline) * out.Width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

Picture load(const std::string& file) {
    Picture p;
    if (file.ends_with(".jpg")) {
        EXPECT_TRUE(decodeJpeg(readFile(ArtworkDir + file), p)) << file;
    } else {
        EXPECT_TRUE(readBmp(ArtworkDir + file, p));
    }
    return p;
}

::testing::AssertionResult colourNear(const Picture& p, int x, int y, Rgb want, int tolerance = 0) {
    if (x < 0 || y < 0 || x >= p.Width || y >= p.Height)
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") lies outside the picture";
    Rgb got = p.at(x, y);
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << x << "," << y << ") is " << got.r << "," << got.g << "," << got.b
                                         << ", expected " << want.r << "," << want.g << "," << want.b;
}

constexpr Rgb White{255, 255, 255};

// --- files and formats ------------------------------------------------------------------

TEST(ArtworkFiles, EveryPictureExistsWithItsStatedSize) {
    for (const Expected& e : Files) {
        SCOPED_TRACE(e.File);
        ASSERT_TRUE(fs::is_regular_file(ArtworkDir + e.File));
        Picture p = load(e.File);
        EXPECT_EQ(p.Width, e.Width);
        EXPECT_EQ(p.Height, e.Height);
    }
}

TEST(ArtworkFiles, NothingElseIsWritten) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(ArtworkDir)) {
        ++count;
        bool known = false;
        for (const Expected& e : Files) known = known || entry.path().filename() == e.File;
        EXPECT_TRUE(known) << entry.path();
    }
    EXPECT_EQ(count, std::size(Files));
}

TEST(ArtworkFiles, NorwayIsTheOnlyJpegAndIsComplete) {
    const std::vector<unsigned char> d = readFile(ArtworkDir + "imNorway.jpg");
    ASSERT_GE(d.size(), 4u);
    EXPECT_EQ(d[0], 0xFF);
    EXPECT_EQ(d[1], 0xD8);
    EXPECT_EQ(d[d.size() - 2], 0xFF);
    EXPECT_EQ(d[d.size() - 1], 0xD9);
    for (const Expected& e : Files) {
        const std::vector<unsigned char> head = readFile(ArtworkDir + e.File);
        ASSERT_GE(head.size(), 2u) << e.File;
        if (std::string(e.File) != "imNorway.jpg") {
            EXPECT_EQ(head[0], 'B') << e.File;
        }
    }
}

TEST(ArtworkFiles, RowsOfOddWidthArePaddedToFourBytes) {
    // Every picture of the set happens to have aligned rows; write one that does not.
    artwork::Image image{5, 3, std::vector<artwork::Rgb>(15, artwork::Rgb{10, 20, 30})};
    image.Pixels[0] = {255, 0, 0};   // top left
    image.Pixels[14] = {0, 0, 255};  // bottom right
    const std::string path = ::testing::TempDir() + "odd.bmp";
    artwork::writeBmp(image, path);
    const std::vector<unsigned char> d = readFile(path);
    ASSERT_EQ(d.size(), 54u + 16 * 3);  // 15 bytes a row padded to 16
    EXPECT_EQ(d[54 + 15], 0);           // padding byte of the bottom row, which comes first
    EXPECT_EQ(d[54 + 4 * 3], 255);      // bottom right, stored blue first
    EXPECT_EQ(d[54 + 32 + 2], 255);     // top left, in the last row, red last
    Picture p;
    ASSERT_TRUE(readBmp(path, p));
    EXPECT_TRUE(colourNear(p, 0, 0, {255, 0, 0}));
    EXPECT_TRUE(colourNear(p, 4, 2, {0, 0, 255}));
    EXPECT_TRUE(colourNear(p, 2, 1, {10, 20, 30}));
    fs::remove(path);
}

TEST(ArtworkFiles, WritersReplaceAnOlderFileWhole) {
    const std::string path = ::testing::TempDir() + "replace.bmp";
    std::ofstream(path) << std::string(100000, 'x');
    artwork::writeBmp(artwork::Image{2, 2, std::vector<artwork::Rgb>(4)}, path);
    EXPECT_EQ(fs::file_size(path), 54u + 2 * 8);
    fs::remove(path);
}

// --- colours ------------------------------------------------------------------------------

TEST(ArtworkFlags, BritainHasARedCentreAndCounterchangedSaltire) {
    Picture p = load("imBritain.bmp");
    const Rgb red{200, 16, 46}, blue{1, 33, 105};
    EXPECT_TRUE(colourNear(p, 60, 40, red));
    EXPECT_TRUE(colourNear(p, 59, 5, red));   // upright of the cross
    EXPECT_TRUE(colourNear(p, 5, 39, red));   // bar of the cross
    EXPECT_TRUE(colourNear(p, 30, 2, blue));  // upper hoist field
    // Upper hoist: red below the diagonal, broad white above; the lower fly is the same turned half round.
    EXPECT_TRUE(colourNear(p, 20, 16, red));
    EXPECT_TRUE(colourNear(p, 20, 10, White));
    EXPECT_TRUE(colourNear(p, 99, 63, red));
    EXPECT_TRUE(colourNear(p, 99, 69, White));
}

TEST(ArtworkFlags, HorizontalStripesTopToBottom) {
    Picture de = load("imGermany.bmp");
    EXPECT_TRUE(colourNear(de, 60, 13, {0, 0, 0}));
    EXPECT_TRUE(colourNear(de, 60, 40, {221, 0, 0}));
    EXPECT_TRUE(colourNear(de, 60, 66, {255, 206, 0}));
    Picture ua = load("imUkraine.bmp");
    EXPECT_TRUE(colourNear(ua, 10, 10, {0, 87, 183}));
    EXPECT_TRUE(colourNear(ua, 10, 70, {255, 215, 0}));
    Picture es = load("imSpain.bmp");  // the middle stripe is twice as high
    EXPECT_TRUE(colourNear(es, 100, 22, {241, 191, 0}));
    EXPECT_TRUE(colourNear(es, 100, 18, {170, 21, 27}));
}

TEST(ArtworkFlags, VerticalStripesHoistToFly) {
    Picture fr = load("imFrance.bmp");
    EXPECT_TRUE(colourNear(fr, 20, 40, {0, 35, 149}));
    EXPECT_TRUE(colourNear(fr, 60, 40, White));
    EXPECT_TRUE(colourNear(fr, 100, 40, {237, 41, 57}));
    Picture be = load("imBelgium.bmp");
    EXPECT_TRUE(colourNear(be, 20, 40, {0, 0, 0}));
    EXPECT_TRUE(colourNear(be, 100, 40, {239, 51, 64}));
}

TEST(ArtworkFlags, NordicCrossesStandTowardsTheHoist) {
    Picture se = load("imSweden.bmp");
    EXPECT_TRUE(colourNear(se, 45, 10, {254, 204, 0}));  // upright at 6 of 16
    EXPECT_TRUE(colourNear(se, 100, 40, {254, 204, 0}));
    EXPECT_TRUE(colourNear(se, 60, 10, {0, 106, 167}));
    Picture dk = load("imDenmark.bmp");
    EXPECT_TRUE(colourNear(dk, 45, 10, White));  // upright at 14 of 37
    EXPECT_TRUE(colourNear(dk, 60, 20, {200, 16, 46}));
}

TEST(ArtworkFlags, NorwayDecodesWithItsCrossColours) {
    Picture p = load("imNorway.jpg");
    ASSERT_EQ(p.Width, 120);
    ASSERT_EQ(p.Height, 80);
    EXPECT_TRUE(colourNear(p, 15, 15, {186, 12, 47}, 16));
    EXPECT_TRUE(colourNear(p, 43, 40, {0, 32, 91}, 16));   // inner cross crossing at 8 of 22
    EXPECT_TRUE(colourNear(p, 100, 33, White, 16));        // white edge of the bar, 3 of 16 wide
    EXPECT_TRUE(colourNear(p, 100, 40, {0, 32, 91}, 16));
}

TEST(ArtworkFlags, SwitzerlandAndCzechShapes) {
    Picture ch = load("imSwitz.bmp");
    EXPECT_TRUE(colourNear(ch, 60, 40, White));
    EXPECT_TRUE(colourNear(ch, 5, 5, {218, 41, 28}));
    EXPECT_TRUE(colourNear(ch, 115, 40, {218, 41, 28}));  // the cross stays in the square middle
    Picture cz = load("imCzech.bmp");
    EXPECT_TRUE(colourNear(cz, 10, 40, {17, 69, 126}));
    EXPECT_TRUE(colourNear(cz, 100, 10, White));
    EXPECT_TRUE(colourNear(cz, 100, 70, {215, 20, 26}));
}

// --- logos ------------------------------------------------------------------------------------

TEST(ArtworkLogos, InverseLogoSwapsGroundAndMarks) {
    Picture normal = load("imMakerLogo.bmp"), inverse = load("imInverseLogo.bmp");
    const Rgb blue{20, 40, 90};
    EXPECT_TRUE(colourNear(normal, 0, 0, White));
    EXPECT_TRUE(colourNear(inverse, 0, 0, blue));
    EXPECT_TRUE(colourNear(normal, 100, 100 - 86, blue));  // outer badge ring
    EXPECT_TRUE(colourNear(inverse, 100, 100 - 86, White));
}

TEST(ArtworkLogos, TransparentLogoHasAWhiteCorner) {
    // A transparent picture takes its bottom-left pixel as the see-through colour.
    for (const char* file : {"imNormalLogo.bmp", "imTolmLogo.bmp", "imMakerLogo.bmp"}) {
        Picture p = load(file);
        EXPECT_TRUE(colourNear(p, 0, p.Height - 1, White)) << file;
    }
}

TEST(ArtworkLogos, TickIsBlackOnWhite) {
    Picture p = load("imTick.bmp");
    EXPECT_TRUE(colourNear(p, 0, 0, White));
    EXPECT_TRUE(colourNear(p, 63, 63, White));
    EXPECT_TRUE(colourNear(p, 26, 49, {0, 0, 0}));
}

// --- generator ---------------------------------------------------------------------------------

int run(const std::string& arguments) {
    int status = std::system((Generator + " " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ArtworkGenerator, RepeatedRunsWriteTheSameBytes) {
    const fs::path folder = fs::path(::testing::TempDir()) / "artwork_again";
    fs::remove_all(folder);
    ASSERT_EQ(run(folder.string()), 0);
    for (const Expected& e : Files) EXPECT_EQ(readFile((folder / e.File).string()), readFile(ArtworkDir + e.File)) << e.File;
    fs::remove_all(folder);
}

TEST(ArtworkGenerator, RefusesAFolderItCannotCreate) {
    const fs::path blocker = fs::path(::testing::TempDir()) / "artwork_blocker";
    std::ofstream(blocker) << "a file, not a folder";
    EXPECT_EQ(run((blocker / "artwork").string()), 1);
    EXPECT_EQ(run(""), 2);
    fs::remove(blocker);
}

TEST(ArtworkGenerator, LeavesNoPartFileBehindOnFailure) {
    const fs::path folder = fs::path(::testing::TempDir()) / "artwork_readonly";
    fs::remove_all(folder);
    fs::create_directories(folder / "imSplash.bmp");  // a folder where the first picture should go
    EXPECT_EQ(run(folder.string()), 1);
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path();
    fs::remove_all(folder);
}

}  // namespace
