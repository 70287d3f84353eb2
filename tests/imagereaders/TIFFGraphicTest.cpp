// Tests of the TIFF reader on files made by the test writer: byte orders, strip layouts,
// compressions, predictors, every sample layout it reads, its messages, and hostile files.
#include "ImageReaders.h"
#include "Streams.h"
#include "TiffWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using tiffwriter::Image;
using Bytes = std::vector<uint8_t>;

TTIFFGraphic Load(const Bytes& file) {
    TMemoryStream stream(file);
    TTIFFGraphic g;
    g.LoadFromStream(stream);
    return g;
}

std::string MessageOf(const Bytes& file) {
    try {
        Load(file);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

/// An 8-bit image whose sample s of pixel (x, y) is f(x, y, s).
Image Make8(uint32_t w, uint32_t h, uint16_t samples, uint16_t photometric, const std::function<uint8_t(int, int, int)>& f) {
    Image im;
    im.Width = w;
    im.Height = h;
    im.Samples = samples;
    im.Bits.assign(samples, 8);
    im.Photometric = photometric;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int s = 0; s < samples; ++s) im.Pixels.push_back(f(int(x), int(y), s));
    return im;
}

/// A 16-bit image; samples written in the image's byte order (set `big` before the pixels).
Image Make16(uint32_t w, uint32_t h, uint16_t samples, uint16_t photometric, bool big, const std::function<uint16_t(int, int, int)>& f) {
    Image im;
    im.BigEndian = big;
    im.Width = w;
    im.Height = h;
    im.Samples = samples;
    im.Bits.assign(samples, 16);
    im.Photometric = photometric;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int s = 0; s < samples; ++s) tiffwriter::Put16(im.Pixels, f(int(x), int(y), s), big);
    return im;
}

uint8_t Pattern(int x, int y, int s) { return uint8_t(x * 7 + y * 13 + s * 50); }

void ExpectGrey(const TBitmap& b, int x, int y, int grey) {
    EXPECT_EQ(b.Pixel(x, y), RGB(grey, grey, grey)) << x << "," << y;
}

TEST(TIFFReader, BilevelPhotometricZeroIsWhiteOnZero) {
    for (uint16_t ph : {0, 1}) {
        Image im;
        im.Width = 10;
        im.Height = 2;
        im.Bits = {1};
        im.Photometric = ph;
        im.Pixels = {0x80, 0x00, 0x00, 0x40};  // (0,0) and (9,1) set
        const TTIFFGraphic g = Load(tiffwriter::Write(im));
        ASSERT_EQ(g.PixelFormat(), pf1bit);
        const TColor set = ph == 0 ? clBlack : clWhite, clear = ph == 0 ? clWhite : clBlack;
        EXPECT_EQ(g.Pixel(0, 0), set);
        EXPECT_EQ(g.Pixel(1, 0), clear);
        EXPECT_EQ(g.Pixel(9, 1), set);
        EXPECT_EQ(g.Pixel(8, 1), clear);
    }
}

TEST(TIFFReader, GreyDepthsAndBothPhotometrics) {
    // 4 bits: sample 15 is grey 240, not 255.
    Image im4;
    im4.Width = 4;
    im4.Height = 1;
    im4.Bits = {4};
    im4.Photometric = 1;
    im4.Pixels = {0xF0, 0x18};
    TTIFFGraphic g = Load(tiffwriter::Write(im4));
    ASSERT_EQ(g.PixelFormat(), pf4bit);
    ExpectGrey(g, 0, 0, 240);
    ExpectGrey(g, 1, 0, 0);
    ExpectGrey(g, 2, 0, 16);
    ExpectGrey(g, 3, 0, 128);
    im4.Photometric = 0;
    g = Load(tiffwriter::Write(im4));
    ExpectGrey(g, 0, 0, 0);
    ExpectGrey(g, 1, 0, 240);

    for (uint16_t ph : {0, 1}) {
        const Image im8 = Make8(5, 3, 1, ph, Pattern);
        g = Load(tiffwriter::Write(im8));
        ASSERT_EQ(g.PixelFormat(), pf8bit);
        ExpectGrey(g, 4, 2, ph ? Pattern(4, 2, 0) : 255 - Pattern(4, 2, 0));
        for (bool big : {false, true}) {
            const Image im16 = Make16(5, 3, 1, ph, big, [](int x, int y, int) { return uint16_t(x * 4000 + y * 300 + 0x55); });
            g = Load(tiffwriter::Write(im16));
            ASSERT_EQ(g.PixelFormat(), pf8bit);
            const int high = (4 * 4000 + 2 * 300 + 0x55) >> 8;
            ExpectGrey(g, 4, 2, ph ? high : 255 - high);
        }
    }
}

TEST(TIFFReader, BothByteOrdersStripLayoutsAndCompressions) {
    for (bool big : {false, true})
        for (uint16_t comp : {tiffwriter::kNone, tiffwriter::kLZW, tiffwriter::kPackBits})
            for (std::optional<uint32_t> rps : {std::optional<uint32_t>(), std::optional<uint32_t>(1u), std::optional<uint32_t>(7u)})
                for (bool shortTables : {false, true}) {
                    Image im = Make8(37, 20, 1, 1, Pattern);
                    im.BigEndian = big;
                    im.Compression = comp;
                    im.RowsPerStrip = rps;
                    im.ShortStripTables = shortTables;
                    const TTIFFGraphic g = Load(tiffwriter::Write(im));
                    ASSERT_EQ(g.Width(), 37);
                    ASSERT_EQ(g.Height(), 20);
                    bool same = true;
                    for (int y = 0; y < 20; ++y)
                        for (int x = 0; x < 37; ++x) same = same && g.Pixel(x, y) == RGB(Pattern(x, y, 0), Pattern(x, y, 0), Pattern(x, y, 0));
                    EXPECT_TRUE(same) << big << " " << comp << " " << rps.value_or(0) << " " << shortTables;
                }
}

TEST(TIFFReader, RowsPerStripLargerThanTheImageIsClamped) {
    Image im = Make8(8, 5, 1, 1, Pattern);
    im.RowsPerStrip = 0xFFFFFFFFu;
    const TTIFFGraphic g = Load(tiffwriter::Write(im));
    ExpectGrey(g, 7, 4, Pattern(7, 4, 0));
}

TEST(TIFFReader, SeveralStripsWithoutRowsPerStripAreOneStrip) {
    Image im = Make8(8, 6, 1, 1, Pattern);
    im.RowsPerStrip = 2;
    im.WriteRowsPerStrip = false;
    // The first strip is the whole image, and its bytes end after two rows: refused, as any strip
    // that ends short of its rows.
    EXPECT_EQ(MessageOf(tiffwriter::Write(im)), "Invalid TIFF file.");
}

TEST(TIFFReader, PredictorAtEightAndSixteenBits) {
    for (uint16_t comp : {tiffwriter::kNone, tiffwriter::kLZW}) {
        Image grey = Make8(9, 4, 1, 1, Pattern);
        grey.Predictor = 2;
        grey.Compression = comp;
        TTIFFGraphic g = Load(tiffwriter::Write(grey));
        ExpectGrey(g, 8, 3, Pattern(8, 3, 0));
        for (bool big : {false, true}) {
            // 16-bit RGB: differences per 16-bit sample, carried from the low byte into the high one.
            Image rgb = Make16(9, 4, 3, 2, big, [](int x, int y, int s) { return uint16_t(x * 0x1F3 + y * 0x701 + s * 0x2222); });
            rgb.Predictor = 2;
            rgb.Compression = comp;
            g = Load(tiffwriter::Write(rgb));
            ASSERT_EQ(g.PixelFormat(), pf24bit);
            auto hi = [](int x, int y, int s) { return (x * 0x1F3 + y * 0x701 + s * 0x2222) >> 8 & 255; };
            EXPECT_EQ(g.Pixel(8, 3), RGB(hi(8, 3, 0), hi(8, 3, 1), hi(8, 3, 2))) << big;
            // Grey with alpha: the stride is two samples.
            Image ga = Make8(9, 4, 2, 1, Pattern);
            ga.ExtraSamples = {2};
            ga.Predictor = 2;
            ga.BigEndian = big;
            ga.Compression = comp;
            g = Load(tiffwriter::Write(ga));
            ExpectGrey(g, 8, 3, Pattern(8, 3, 0));
        }
    }
}

TEST(TIFFReader, PaletteImages) {
    for (uint16_t bits : {1, 4, 8}) {
        const unsigned n = 1u << bits;
        Image im;
        im.Width = 8;
        im.Height = 1;
        im.Bits = {bits};
        im.Photometric = 3;
        for (int c = 0; c < 3; ++c)
            for (unsigned i = 0; i < n; ++i) im.ColorMap.push_back(uint16_t(((i * 3 + unsigned(c) * 70) & 255) << 8 | 0x7F));
        im.Pixels.assign(tiffwriter::LineBytes(im), 0);
        im.Pixels[0] = bits == 8 ? 5 : bits == 4 ? 0x50 : 0x80;  // pixel 0 is index 5 (1 for one bit)
        const TTIFFGraphic g = Load(tiffwriter::Write(im));
        const unsigned i = bits == 1 ? 1 : 5;
        EXPECT_EQ(g.Pixel(0, 0), RGB((i * 3) & 255, (i * 3 + 70) & 255, (i * 3 + 140) & 255)) << bits;
        EXPECT_EQ(g.Pixel(1, 0), RGB(0, 70, 140)) << bits;
    }
}

TEST(TIFFReader, RgbAndRgbaWithExtraSamples) {
    for (bool big : {false, true}) {
        Image rgb = Make8(6, 3, 3, 2, Pattern);
        rgb.BigEndian = big;
        TTIFFGraphic g = Load(tiffwriter::Write(rgb));
        ASSERT_EQ(g.PixelFormat(), pf24bit);
        EXPECT_EQ(g.Pixel(5, 2), RGB(Pattern(5, 2, 0), Pattern(5, 2, 1), Pattern(5, 2, 2)));
        for (uint16_t kind : {0, 1, 2}) {
            Image rgba = Make8(6, 3, 4, 2, Pattern);
            rgba.ExtraSamples = {kind};
            g = Load(tiffwriter::Write(rgba));
            ASSERT_EQ(g.PixelFormat(), pf32bit) << kind;
            EXPECT_EQ(g.Pixel(5, 2), RGB(Pattern(5, 2, 0), Pattern(5, 2, 1), Pattern(5, 2, 2)));
            EXPECT_EQ(static_cast<const uint8_t*>(g.ScanLine(2))[5 * 4 + 3], Pattern(5, 2, 3));
        }
        // Four samples without ExtraSamples are RGBA too; two extra samples use the first.
        g = Load(tiffwriter::Write(Make8(6, 3, 4, 2, Pattern)));
        EXPECT_EQ(g.PixelFormat(), pf32bit);
        Image two = Make8(6, 3, 5, 2, Pattern);
        two.ExtraSamples = {2, 0};
        g = Load(tiffwriter::Write(two));
        ASSERT_EQ(g.PixelFormat(), pf32bit);
        EXPECT_EQ(g.Pixel(5, 2), RGB(Pattern(5, 2, 0), Pattern(5, 2, 1), Pattern(5, 2, 2)));
        EXPECT_EQ(static_cast<const uint8_t*>(g.ScanLine(2))[5 * 4 + 3], Pattern(5, 2, 3));
        Image rgba16 = Make16(6, 3, 4, 2, big, [](int x, int, int s) { return uint16_t(0x1234 * (s + 1) + x); });
        rgba16.ExtraSamples = {1};
        g = Load(tiffwriter::Write(rgba16));
        EXPECT_EQ(g.Pixel(0, 0), RGB(0x12, 0x24, 0x36));
        EXPECT_EQ(static_cast<const uint8_t*>(g.ScanLine(0))[3], 0x48);
    }
}

TEST(TIFFReader, GreyWithAlphaReadsTheColourSample) {
    for (bool big : {false, true}) {
        Image ga = Make8(7, 2, 2, 1, Pattern);  // BitsPerSample 8, 8 lies in the entry itself
        ga.BigEndian = big;
        ga.ExtraSamples = {2};
        const TTIFFGraphic g = Load(tiffwriter::Write(ga));
        ASSERT_EQ(g.PixelFormat(), pf8bit);
        for (int x = 0; x < 7; ++x) ExpectGrey(g, x, 1, Pattern(x, 1, 0));
        Image ga16 = Make16(7, 2, 2, 0, big, [](int x, int, int s) { return uint16_t(s ? 0xFFFF : x << 12); });
        ga16.ExtraSamples = {1};
        const TTIFFGraphic g16 = Load(tiffwriter::Write(ga16));
        ExpectGrey(g16, 3, 1, 255 - 0x30);
    }
}

TEST(TIFFReader, CmykAndCielab) {
    Image cmyk = Make8(2, 1, 4, 5, [](int x, int, int s) {
        static const uint8_t px[2][4] = {{0, 255, 255, 0}, {100, 50, 0, 128}};
        return px[x][s];
    });
    TTIFFGraphic g = Load(tiffwriter::Write(cmyk));
    ASSERT_EQ(g.PixelFormat(), pf24bit);
    EXPECT_EQ(g.Pixel(0, 0), RGB(255, 0, 0));
    // red = 255 - (C - C*K/255 + K) with the product rounded: 100*128/255 = 50.2 -> 50.
    EXPECT_EQ(g.Pixel(1, 0), RGB(255 - (100 - 50 + 128), 255 - (50 - 25 + 128), 255 - 128));
    Image cmyk16 = Make16(1, 1, 4, 5, true, [](int, int, int s) { return uint16_t(s == 3 ? 0 : s == 0 ? 0xFFFF : 0); });
    g = Load(tiffwriter::Write(cmyk16));
    EXPECT_EQ(g.Pixel(0, 0), RGB(0, 255, 255));

    Image lab = Make8(3, 1, 3, 8, [](int x, int, int s) {
        static const uint8_t px[3][3] = {{255, 0, 0}, {0, 0, 0}, {128, 80, 0}};
        return px[x][s];
    });
    g = Load(tiffwriter::Write(lab));
    ASSERT_EQ(g.PixelFormat(), pf24bit);
    const TColor white = g.Pixel(0, 0);
    EXPECT_GE(GetRValue(white), 250);
    EXPECT_GE(GetGValue(white), 250);
    EXPECT_GE(GetBValue(white), 250);
    EXPECT_EQ(g.Pixel(1, 0), RGB(0, 0, 0));
    const TColor reddish = g.Pixel(2, 0);
    EXPECT_GT(GetRValue(reddish), GetGValue(reddish) + 40);
}

TEST(TIFFReader, YCbCrWithoutSubsampling) {
    Image im = Make8(2, 1, 3, 6, [](int x, int, int s) {
        static const uint8_t px[2][3] = {{128, 128, 128}, {76, 85, 255}};  // grey, red
        return px[x][s];
    });
    TTIFFGraphic g;
    EXPECT_EQ(MessageOf(tiffwriter::Write(im)), "TIFF: unsupported image layout") << "2 x 2 is the default";
    im.Extra.push_back({530, 3, {1, 1}});
    g = Load(tiffwriter::Write(im));
    EXPECT_EQ(g.Pixel(0, 0), RGB(128, 128, 128));
    const TColor red = g.Pixel(1, 0);
    EXPECT_GE(GetRValue(red), 250);
    EXPECT_LE(GetGValue(red), 5);
    EXPECT_LE(GetBValue(red), 5);
}

TEST(TIFFReader, OnlyTheFirstDirectoryIsRead) {
    const Image first = Make8(4, 4, 1, 1, Pattern);
    const Image second = Make8(40, 40, 3, 2, Pattern);
    for (bool big : {false, true}) {
        Image a = first, b = second;
        a.BigEndian = b.BigEndian = big;
        const TTIFFGraphic g = Load(tiffwriter::Write(a, &b));
        EXPECT_EQ(g.Width(), 4);
        EXPECT_EQ(g.PixelFormat(), pf8bit);
    }
}

TEST(TIFFReader, BigEndianRationalTagsAreIgnored) {
    Image im = Make8(4, 4, 1, 1, Pattern);
    im.BigEndian = true;
    im.Extra.push_back({282, 5, {300, 1}});
    im.Extra.push_back({283, 5, {300, 1}});
    EXPECT_EQ(Load(tiffwriter::Write(im)).Pixel(3, 3), RGB(Pattern(3, 3, 0), Pattern(3, 3, 0), Pattern(3, 3, 0)));
}

TEST(TIFFReader, MissingCompressionMeansNone) {
    Image im = Make8(4, 4, 1, 1, Pattern);
    im.OmitCompression = true;
    ExpectGrey(Load(tiffwriter::Write(im)), 3, 3, Pattern(3, 3, 0));
}

TEST(TIFFReader, Messages) {
    const Image good = Make8(4, 4, 1, 1, Pattern);
    Bytes file = tiffwriter::Write(good);
    Bytes bad = file;
    bad[2] = 43;
    EXPECT_EQ(MessageOf(bad), "Invalid TIFF file.");
    bad = file;
    bad[0] = bad[1] = 'X';
    EXPECT_EQ(MessageOf(bad), "Invalid TIFF file.");
    Image zero = good;
    zero.Width = 0;
    zero.Pixels.clear();
    EXPECT_EQ(MessageOf(tiffwriter::Write(zero)), "Invalid TIFF file.");
    zero.Compression = 7;
    EXPECT_EQ(MessageOf(tiffwriter::Write(zero)), "Invalid TIFF file.") << "the size is checked before the compression";
    Image jpeg = good;
    jpeg.Compression = 7;
    EXPECT_EQ(MessageOf(tiffwriter::Write(jpeg)), "TIFF: Unknown compression scheme");
    try {
        Load(tiffwriter::Write(jpeg));
    } catch (const EInvalidGraphic&) {
        ADD_FAILURE() << "the general exception class";
    } catch (const Exception&) {
    }
    // An LZW strip whose first code is not a literal.
    Image lzw = good;
    lzw.Compression = tiffwriter::kLZW;
    bad = tiffwriter::Write(lzw);
    bad[8] = 0x81;  // the strip starts right after the header: code 258
    bad[9] = 0x00;
    EXPECT_EQ(MessageOf(bad), "TIF LZW: invalid opcode.");
}

TEST(TIFFReader, UnsupportedLayouts) {
    auto layout = [](uint16_t bits, uint16_t samples, uint16_t photometric) {
        Image im;
        im.Width = 4;
        im.Height = 2;
        im.Bits.assign(samples, bits);
        im.Samples = samples;
        im.Photometric = photometric;
        im.Pixels.assign(size_t(tiffwriter::LineBytes(im)) * 2, 0);
        return tiffwriter::Write(im);
    };
    const std::string msg = "TIFF: unsupported image layout";
    EXPECT_EQ(MessageOf(layout(2, 1, 1)), msg);
    EXPECT_EQ(MessageOf(layout(12, 1, 1)), msg);
    EXPECT_EQ(MessageOf(layout(8, 1, 4)), msg);
    EXPECT_EQ(MessageOf(layout(16, 1, 3)), msg) << "a colour map of more than 256 entries";
    EXPECT_EQ(MessageOf(layout(4, 3, 2)), msg);
    EXPECT_EQ(MessageOf(layout(8, 3, 5)), msg);
    EXPECT_EQ(MessageOf(layout(8, 2, 1)), msg) << "two samples, none extra";
    EXPECT_EQ(MessageOf(layout(8, 4, 8)), msg);
    Image planar = Make8(4, 2, 3, 2, Pattern);
    planar.Extra.push_back({284, 3, {2}});
    EXPECT_EQ(MessageOf(tiffwriter::Write(planar)), msg);
    Image extraOnly = Make8(4, 2, 1, 1, Pattern);
    extraOnly.ExtraSamples = {2};
    EXPECT_EQ(MessageOf(tiffwriter::Write(extraOnly)), msg);
    Image predictor = Make8(4, 2, 1, 1, Pattern);
    predictor.Bits = {4};
    predictor.Pixels.resize(4);
    predictor.Predictor = 2;
    EXPECT_EQ(MessageOf(tiffwriter::Write(predictor)), msg);
}

TEST(TIFFReader, TruncatedHeadersDirectoriesAndTables) {
    Image im = Make8(16, 16, 1, 1, Pattern);
    im.RowsPerStrip = 2;
    const Bytes file = tiffwriter::Write(im);
    EXPECT_EQ(MessageOf(Bytes(file.begin(), file.begin() + 5)), "Stream read error");
    // The directory is last in the file: every cut inside it is a read error.
    uint32_t dir = file[4] | file[5] << 8;
    for (size_t cut : {size_t(dir) + 1, size_t(dir) + 2 + 12 * 3}) EXPECT_EQ(MessageOf(Bytes(file.begin(), file.begin() + cut)), "Stream read error") << cut;
    // A strip table pointing past the end.
    Bytes bad = file;
    const size_t entries = bad[dir] | bad[dir + 1] << 8;
    for (size_t i = 0; i < entries; ++i) {
        uint8_t* e = bad.data() + dir + 2 + 12 * i;
        if ((e[0] | e[1] << 8) == 273) { e[8] = 0xF0; e[9] = 0xFF; e[10] = 0xFF; e[11] = 0x7F; }
    }
    EXPECT_EQ(MessageOf(bad), "Stream read error");
}

TEST(TIFFReader, HostileSizesAllocateNothingLarge) {
    Image im = Make8(4, 4, 1, 1, Pattern);
    im.RowsPerStrip = 4;
    Bytes file = tiffwriter::Write(im);
    const uint32_t dir = file[4] | file[5] << 8;
    const size_t entries = file[dir] | file[dir + 1] << 8;
    auto patch = [&](Bytes f, uint16_t tag, uint32_t count, uint32_t value) {
        for (size_t i = 0; i < entries; ++i) {
            uint8_t* e = f.data() + dir + 2 + 12 * i;
            if ((e[0] | e[1] << 8) != tag) continue;
            e[2] = 4; e[3] = 0;  // LONG
            std::memcpy(e + 4, &count, 4);
            std::memcpy(e + 8, &value, 4);
        }
        return f;
    };
    EXPECT_EQ(MessageOf(patch(file, 256, 1, 0x7FFFFFFF)), "Image size exceeds the pixel budget");
    EXPECT_EQ(MessageOf(patch(file, 256, 1, 0xFFFFFFFF)), "Invalid bitmap size");
    EXPECT_EQ(MessageOf(patch(file, 273, 0x40000000, 8)), "Stream read error") << "a strip table larger than the file";
    EXPECT_EQ(MessageOf(patch(file, 278, 0x40000000, 8)), "Stream read error");
    EXPECT_EQ(MessageOf(patch(file, 258, 0x40000000, 8)), "Stream read error");
    // A byte count far beyond the file is cut to it.
    TTIFFGraphic g = Load(patch(file, 279, 1, 0xFFFFFFF0));
    ExpectGrey(g, 3, 3, Pattern(3, 3, 0));
    const int64_t budget = PixelBudget();
    SetPixelBudget(1000);
    EXPECT_EQ(MessageOf(patch(file, 256, 1, 5000)), "Image size exceeds the pixel budget");
    SetPixelBudget(budget);
}

TEST(TIFFReader, DecodedStripsLargerThanTheBudgetAdmitsAreRefused) {
    // 32 samples of 16 bits a pixel: a line holds 64 bytes a pixel, where the bitmap holds one.
    // A few hundred bytes of LZW would fill a strip of 64 bytes x the pixel budget.
    const int64_t budget = PixelBudget();
    SetPixelBudget(1000);
    Image wide = Make16(1000, 1, 32, 1, false, [](int, int, int) { return uint16_t(0); });
    wide.ExtraSamples.assign(31, 0);
    wide.Compression = tiffwriter::kLZW;
    const std::string refused = MessageOf(tiffwriter::Write(wide));
    Image grey = Make8(1000, 1, 1, 1, [](int, int, int) { return uint8_t(0); });
    grey.Compression = tiffwriter::kLZW;
    const std::string loaded = MessageOf(tiffwriter::Write(grey));
    SetPixelBudget(budget);
    EXPECT_EQ(refused, "Image size exceeds the pixel budget");
    EXPECT_EQ(loaded, "");
}

/// `groups` x 8 LZW clear codes of 9 bits: groups x 9 bytes, after which a stream starts afresh.
Bytes ClearCodes(size_t groups) {
    Bytes out;
    uint32_t held = 0;
    int bits = 0;
    for (size_t i = 0; i < groups * 8; ++i) {
        held = held << 9 | 256;
        for (bits += 9; bits >= 8; bits -= 8) out.push_back(uint8_t(held >> (bits - 8)));
        held &= (1u << bits) - 1;
    }
    return out;
}

TEST(TIFFReader, OwnStripsAreReadToTheirEndAndStripsEndingShortOfTheirRowsAreRefused) {
    // 16 x 16 grey, 256 bytes: the bound of a strip of 8 rows whose bytes other strips share is
    // 383 packed bytes for PackBits and 387 for LZW, and of the whole image 639 and 771. Legal
    // padding of about 1,000 bytes (PackBits no-ops, LZW clear codes in a row) exceeds them all.
    Bytes plain(256);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 7 % 251);
    for (uint16_t comp : {tiffwriter::kNone, tiffwriter::kLZW, tiffwriter::kPackBits}) {
        Bytes packed;
        if (comp == tiffwriter::kPackBits) {
            packed.assign(1000, 0x80);
            const Bytes coded = tiffwriter::EncodePackBits(plain);
            packed.insert(packed.end(), coded.begin(), coded.end());
        } else if (comp == tiffwriter::kLZW) {
            packed = ClearCodes(112);
            const Bytes coded = tiffwriter::EncodeTIFFLZW(plain);
            packed.insert(packed.end(), coded.begin(), coded.end());
        } else {
            packed = plain;
        }
        Image im;
        im.Width = im.Height = 16;
        im.Compression = comp;
        im.SharedStrip = packed;
        // One strip, its bytes its own: read to the end of its byte count, every row decoded.
        const Bytes own = tiffwriter::Write(im);
        TTIFFGraphic g = Load(own);
        for (int y = 0; y < 16; y += 5)
            for (int x = 0; x < 16; x += 3) ExpectGrey(g, x, y, plain[size_t(y * 16 + x)]);
        // Its byte count cut before its rows end: the reader's error for packed data. The one
        // strip of an uncompressed image is read at the size of its rows, as the file holds them.
        const uint32_t dir = own[4] | own[5] << 8;
        const size_t entries = own[dir] | own[dir + 1] << 8;
        for (uint32_t cut : {uint32_t(packed.size() - plain.size() / 2), uint32_t(packed.size() - 1)}) {
            if (comp == tiffwriter::kLZW && cut == packed.size() - 1) continue;  // its last byte holds only the end code
            Bytes file = own;
            for (size_t i = 0; i < entries; ++i) {
                uint8_t* e = file.data() + dir + 2 + 12 * i;
                if ((e[0] | e[1] << 8) == 279) std::memcpy(e + 8, &cut, 4);
            }
            if (comp != tiffwriter::kNone) {
                EXPECT_EQ(MessageOf(file), "Invalid TIFF file.") << comp << " " << cut;
                continue;
            }
            const TTIFFGraphic whole = Load(file);
            ExpectGrey(whole, 15, 15, plain[255]);
            // Its rows' bytes not all in the file: a strip ending short.
            Bytes shortFile = file;
            const uint32_t near = uint32_t(file.size() - 100);
            for (size_t i = 0; i < entries; ++i) {
                uint8_t* e = shortFile.data() + dir + 2 + 12 * i;
                if ((e[0] | e[1] << 8) == 273) std::memcpy(e + 8, &near, 4);
            }
            EXPECT_EQ(MessageOf(shortFile), "Invalid TIFF file.") << cut;
        }
        Bytes beyond = own;
        for (size_t i = 0; i < entries; ++i) {
            uint8_t* e = beyond.data() + dir + 2 + 12 * i;
            const uint32_t far = 0xFFFFFFF0;
            if ((e[0] | e[1] << 8) == 273) std::memcpy(e + 8, &far, 4);
        }
        EXPECT_EQ(MessageOf(beyond), "Invalid TIFF file.") << comp << " a strip beyond the file";
        // Two strips of 8 rows that share the block keep the bound: padded data ends short of
        // the rows, which is refused too; plain strips have no bound.
        im.RowsPerStrip = 8;
        EXPECT_EQ(MessageOf(tiffwriter::Write(im)), comp == tiffwriter::kNone ? "" : "Invalid TIFF file.") << comp;
    }
}

TEST(TIFFReader, StripTablesEndingBeforeTheImageAndShortCountsOfSeveralStripsAreRefused) {
    // 16 x 16 grey in strips of 6 rows: three strips. A strip table of two leaves four rows
    // without data, whatever the compression and byte order; so does a count of one strip,
    // which stands alone with the rows of the strips it names. Byte counts too small for several
    // uncompressed strips stay an error (their bytes would run into the next strip's).
    Bytes plain(256);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 7 % 251);
    for (uint16_t comp : {tiffwriter::kNone, tiffwriter::kLZW, tiffwriter::kPackBits}) {
        for (bool big : {false, true}) {
            Image im;
            im.BigEndian = big;
            im.Width = im.Height = 16;
            im.RowsPerStrip = 6;
            im.Compression = comp;
            im.Pixels = plain;
            const Bytes good = tiffwriter::Write(im);
            EXPECT_EQ(MessageOf(good), "") << comp << " " << big;
            auto U16 = [big](const uint8_t* p) { return big ? p[0] << 8 | p[1] : p[1] << 8 | p[0]; };
            const uint32_t dir = big ? uint32_t(good[4] << 24 | good[5] << 16 | good[6] << 8 | good[7]) : uint32_t(good[4] | good[5] << 8 | good[6] << 16 | good[7] << 24);
            const int entries = U16(good.data() + dir);
            auto withCount = [&](uint8_t count) {
                Bytes f = good;
                for (int i = 0; i < entries; ++i) {
                    uint8_t* e = f.data() + dir + 2 + 12 * i;
                    if (U16(e) == 273 || U16(e) == 279) big ? (void)(e[7] = count) : (void)(e[4] = count);
                }
                return f;
            };
            EXPECT_EQ(MessageOf(withCount(2)), "Invalid TIFF file.") << comp << " " << big << " two of three strips";
        }
    }
    Image several;
    several.Width = several.Height = 16;
    several.RowsPerStrip = 8;
    several.Pixels = plain;
    Bytes file = tiffwriter::Write(several);
    const uint32_t dir = file[4] | file[5] << 8;
    for (int i = 0; i < (file[dir] | file[dir + 1] << 8); ++i) {
        uint8_t* e = file.data() + dir + 2 + 12 * i;
        if ((e[0] | e[1] << 8) != 279) continue;
        uint32_t at;
        std::memcpy(&at, e + 8, 4);
        const uint32_t small = 100;
        std::memcpy(file.data() + at, &small, 4);
    }
    EXPECT_EQ(MessageOf(file), "Invalid TIFF file.");
}

TEST(TIFFReader, SamplesTheReaderWouldMisreadAreRefused) {
    // Every tag whose value changes what the samples mean, beyond what the converters apply:
    // the reader's message, never an image of wrong pixels.
    const std::string msg = "TIFF: unsupported image layout";
    auto with = [](Image im, std::vector<tiffwriter::Tag> tags) {
        for (auto& t : tags) im.Extra.push_back(t);
        return MessageOf(tiffwriter::Write(im));
    };
    const Image grey8 = Make8(4, 2, 1, 1, Pattern);
    const Image grey16 = Make16(4, 2, 1, 1, false, [](int x, int, int) { return uint16_t(0x3C00 + x); });  // half floats
    const Image rgb = Make8(4, 2, 3, 2, Pattern);
    for (uint32_t format : {2u, 3u, 4u, 0u, 5u}) {
        EXPECT_EQ(with(grey8, {{339, 3, {format}}}), msg) << "SampleFormat " << format;
        EXPECT_EQ(with(grey16, {{339, 3, {format}}}), msg) << "SampleFormat " << format;
        EXPECT_EQ(with(rgb, {{339, 3, {1, 1, format}}}), msg) << "SampleFormat of the third sample " << format;
    }
    EXPECT_EQ(with(grey8, {{339, 5, {1, 1}}}), msg) << "SampleFormat of no integer type";
    EXPECT_EQ(with(grey8, {{339, 3, {1}}}), "");
    EXPECT_EQ(with(rgb, {{339, 3, {1, 1, 1}}}), "");
    for (uint32_t order : {2u, 0u, 3u}) EXPECT_EQ(with(grey8, {{266, 3, {order}}}), msg) << "FillOrder " << order;
    EXPECT_EQ(with(grey8, {{266, 3, {1}}}), "");
    Image mixed = rgb;
    mixed.Bits = {8, 8, 16};
    EXPECT_EQ(with(mixed, {}), msg) << "samples of different sizes";
    Image floatPredictor = grey8;
    floatPredictor.Extra.push_back({317, 3, {3}});
    EXPECT_EQ(with(floatPredictor, {}), msg) << "floating-point predictor";
    const Image cmyk = Make8(4, 2, 4, 5, Pattern);
    EXPECT_EQ(with(cmyk, {{332, 3, {2}}}), msg) << "inks other than CMYK";
    EXPECT_EQ(with(cmyk, {{332, 3, {1}}}), "");
    EXPECT_EQ(with(Make8(4, 2, 3, 8, Pattern), {{339, 3, {1, 2, 2}}}), "") << "CIELab's signed a and b";
    // YCbCr read with other coefficients or another range than the converter applies.
    for (bool big : {false, true}) {
        Image ycc = Make8(4, 2, 3, 6, Pattern);
        ycc.BigEndian = big;
        ycc.Extra.push_back({530, 3, {1, 1}});
        EXPECT_EQ(with(ycc, {{529, 5, {299, 1000, 587, 1000, 114, 1000}}, {532, 5, {0, 1, 255, 1, 128, 1, 255, 1, 128, 1, 255, 1}}}), "") << big;
        EXPECT_EQ(with(ycc, {{529, 5, {2126, 10000, 7152, 10000, 722, 10000}}}), msg) << big << " other coefficients";
        EXPECT_EQ(with(ycc, {{532, 5, {16, 1, 235, 1, 128, 1, 240, 1, 128, 1, 240, 1}}}), msg) << big << " studio range";
        EXPECT_EQ(with(ycc, {{532, 5, {0, 0, 255, 1, 128, 1, 255, 1, 128, 1, 255, 1}}}), msg) << big << " zero denominator";
    }
}

TEST(TIFFReader, StripsSharingTheirBytesReadOnlyWhatTheirRowsUse) {
    // One-row strips that all point at one 16 KB packed block: each strip reads no more than its
    // row can use, so all the strips together read less than the block, and twice the strips
    // read about twice the bytes.
    struct TCountingStream : TMemoryStream {
        using TMemoryStream::TMemoryStream;
        int64_t Bytes = 0;
        int64_t Read(void* buffer, int64_t count) override {
            const int64_t n = TMemoryStream::Read(buffer, count);
            Bytes += n;
            return n;
        }
    };
    Bytes plain(16 * 1024);
    uint32_t seed = 12345;
    for (uint8_t& b : plain) b = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
    for (uint16_t comp : {tiffwriter::kPackBits, tiffwriter::kLZW}) {
        int64_t read[2];
        for (uint32_t strips : {32u, 64u}) {
            Image im;
            im.Width = 8;
            im.Height = strips;
            im.RowsPerStrip = 1;
            im.Compression = comp;
            im.SharedStrip = comp == tiffwriter::kLZW ? tiffwriter::EncodeTIFFLZW(plain) : tiffwriter::EncodePackBits(plain);
            TCountingStream stream(tiffwriter::Write(im));
            TTIFFGraphic g;
            g.LoadFromStream(stream);
            for (uint32_t y = 0; y < strips; y += strips - 1)
                for (int x = 0; x < 8; ++x) ExpectGrey(g, x, int(y), plain[size_t(x)]);
            EXPECT_LT(stream.Bytes, int64_t(im.SharedStrip.size())) << comp << " " << strips;
            read[strips / 64] = stream.Bytes;
        }
        EXPECT_LT(read[1], read[0] * 22 / 10) << comp;
    }
}

TEST(TIFFReader, SaveWritesNothingAndLoadReplacesThePicture) {
    TTIFFGraphic g = Load(tiffwriter::Write(Make8(40, 30, 3, 2, Pattern)));
    TMemoryStream out;
    g.SaveToStream(out);
    EXPECT_EQ(out.Size(), 0);
    TMemoryStream small(tiffwriter::Write(Make8(3, 2, 1, 1, Pattern)));
    g.LoadFromStream(small);
    EXPECT_EQ(g.Width(), 3);
    EXPECT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(TTIFFGraphic().PixelFormat(), pf24bit);
}

TEST(TIFFReader, ReadsFromTheStreamsPosition) {
    Bytes file(100, 0xAB);
    const Bytes tiff = tiffwriter::Write(Make8(5, 5, 1, 1, Pattern));
    file.insert(file.end(), tiff.begin(), tiff.end());
    TMemoryStream stream(file);
    stream.SetPosition(100);
    TTIFFGraphic g;
    g.LoadFromStream(stream);
    ExpectGrey(g, 4, 4, Pattern(4, 4, 0));
}

}  // namespace
