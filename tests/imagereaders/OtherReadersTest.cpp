// Tests of the SGI, Autodesk, PCX, Photo-CD, portable map, CUT, GIF, RLA and Photoshop readers
// with files from the test writers: layouts, palettes, row orders, and damaged files.
#include "FormatWriters.h"
#include "ImageReaders.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <typeinfo>

namespace {

using namespace formatwriters;

template <class T>
void LoadInto(T& picture, const Bytes& file) {
    TMemoryStream stream(file);
    picture.LoadFromStream(stream);
}

template <class T>
T Load(const Bytes& file) {
    T picture;
    LoadInto(picture, file);
    return picture;
}

/// The message of what loading raises ("" when it loads).
template <class T>
std::string Failure(const Bytes& file) {
    try {
        Load<T>(file);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

template <class T, class E>
bool Raises(const Bytes& file) {
    try {
        Load<T>(file);
    } catch (const E&) {
        return true;
    } catch (...) {
    }
    return false;
}

// ---- SGI ----

Sgi RgbSample(bool runLength, int sampleSize = 1) {
    Sgi s;
    s.Width = 4;
    s.Height = 3;
    s.Depth = 3;
    s.RunLength = runLength;
    s.SampleSize = sampleSize;
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < 3; ++y) {
            Bytes row;
            for (int x = 0; x < 4; ++x) {
                row.push_back(uint8_t(c * 80 + y * 10 + (x == 3 ? 0 : x)));
                if (sampleSize == 2) row.push_back(0x77);
            }
            s.Rows.push_back(row);
        }
    return s;
}

TEST(SGIGraphic, RGBFilesShowTheirFirstStoredRowAtTheBottom) {
    for (bool runLength : {false, true})
        for (int sampleSize : {1, 2}) {
            const TSGIGraphic p = Load<TSGIGraphic>(Write(RgbSample(runLength, sampleSize)));
            EXPECT_EQ(p.PixelFormat(), pf24bit);
            EXPECT_EQ(p.Pixel(1, 2), RGB(1, 81, 161)) << runLength << sampleSize;
            EXPECT_EQ(p.Pixel(2, 0), RGB(22, 102, 182)) << runLength << sampleSize;
        }
}

TEST(SGIGraphic, RunLengthRowsCountFromTheHeaderNotTheStream) {
    Sgi s = RgbSample(true);
    s.Prefix = 100;
    const Bytes file = Write(s);
    TMemoryStream stream(file);
    stream.SetPosition(100);
    TSGIGraphic p;
    p.LoadFromStream(stream);
    EXPECT_EQ(p.Pixel(1, 2), RGB(1, 81, 161));
}

TEST(SGIGraphic, TwoByteRunLengthRowsWhoseLengthsCountBytes) {
    // As other writers store them: the length table counts bytes, and the last row ends the file.
    Sgi s;
    s.Width = 5;
    s.Height = 2;
    s.RunLength = true;
    s.SampleSize = 2;
    s.Rows = {{0x10, 0, 0x10, 0, 0x10, 0, 0x20, 1, 0x30, 2}, {0x40, 9, 0x50, 9, 0x60, 9, 0x60, 9, 0x60, 9}};
    const TSGIGraphic p = Load<TSGIGraphic>(Write(s));
    EXPECT_EQ(p.Pixel(0, 1), RGB(0x10, 0x10, 0x10));
    EXPECT_EQ(p.Pixel(4, 1), RGB(0x30, 0x30, 0x30));
    EXPECT_EQ(p.Pixel(1, 0), RGB(0x50, 0x50, 0x50));
    EXPECT_EQ(p.Pixel(4, 0), RGB(0x60, 0x60, 0x60));
}

TEST(SGIGraphic, GreyAndAlphaLoadsAsGreyFromChannelZero) {
    Sgi s;
    s.Width = 2;
    s.Height = 1;
    s.Depth = 2;
    s.Rows = {{10, 20}, {200, 200}};
    const TSGIGraphic p = Load<TSGIGraphic>(Write(s));
    EXPECT_EQ(p.PixelFormat(), pf8bit);
    EXPECT_EQ(p.Pixel(1, 0), RGB(20, 20, 20));
    s.Depth = 4;
    s.Rows = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    s.RunLength = true;
    const TSGIGraphic q = Load<TSGIGraphic>(Write(s));
    EXPECT_EQ(q.PixelFormat(), pf32bit);
    EXPECT_EQ(static_cast<const uint8_t*>(q.ScanLine(0))[7], 8);
    EXPECT_EQ(q.Pixel(1, 0), RGB(2, 4, 6));
}

TEST(SGIGraphic, BadFiles) {
    EXPECT_EQ(Failure<TSGIGraphic>(Bytes{1, 2, 3}), "Not a valid sgi, bw or rgb(a) image.");
    Sgi s = RgbSample(true);
    Bytes file = Write(s);
    // A row start pointing past the file: that row stays black.
    file[512] = 0x7F;
    EXPECT_EQ(Load<TSGIGraphic>(file).Pixel(0, 2), RGB(0, 80, 160));  // its red channel;
    // A row longer than the packed-row room is read as far as the room goes.
    file = Write(s);
    file[512 + 36 + 2] = 0x10;
    EXPECT_EQ(Load<TSGIGraphic>(file).Pixel(1, 2), RGB(1, 81, 161));
    // Tables longer than the file.
    file = Write(s);
    file.resize(530);
    EXPECT_TRUE((Raises<TSGIGraphic, EInvalidGraphic>(file)));
    // No channels at all.
    s.Depth = 0;
    s.Rows.clear();
    EXPECT_TRUE((Raises<TSGIGraphic, EInvalidGraphic>(Write(s))));
    // Plain rows cut short are left black.
    Sgi plain = RgbSample(false);
    file = Write(plain);
    file.resize(file.size() - 20);
    const TSGIGraphic p = Load<TSGIGraphic>(file);
    EXPECT_EQ(p.Pixel(0, 0), RGB(20, 0, 0));
    EXPECT_EQ(p.Pixel(0, 2), RGB(0, 80, 0));
}

// ---- Autodesk ----

TEST(AutodeskGraphic, SixBitPaletteAndRows) {
    Bytes palette(768, 0);
    palette[3] = 63;
    palette[4] = 1;
    palette[5] = 32;
    const TAutodeskGraphic p = Load<TAutodeskGraphic>(Autodesk(3, 2, palette, {0, 1, 0, 1, 1, 1}));
    EXPECT_EQ(p.PixelFormat(), pf8bit);
    EXPECT_EQ(p.Pixel(1, 0), RGB(252, 4, 128));
    EXPECT_EQ(p.Pixel(0, 1), RGB(252, 4, 128));
    EXPECT_EQ(p.Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(Failure<TAutodeskGraphic>(Bytes{0x91, 0x19, 1}), "Cannot load image. Only old style Autodesk images are supported.");
    // Pixels cut short stay zero.
    const TAutodeskGraphic q = Load<TAutodeskGraphic>(Autodesk(3, 2, palette, {1, 1}));
    EXPECT_EQ(q.Pixel(2, 0), RGB(0, 0, 0));
}

// ---- PCX ----

Pcx PcxOf(int bits, int planes, int w, int h, int bytesPerLine, Bytes lines) {
    Pcx p;
    p.BitsPerPixel = uint8_t(bits);
    p.Planes = uint8_t(planes);
    p.XMax = w - 1;
    p.YMax = h - 1;
    p.BytesPerLine = bytesPerLine;
    p.Lines = std::move(lines);
    return p;
}

TEST(PCXGraphic, OneBitRowsShowEveryPixel) {
    for (int encoding : {0, 1}) {
        Pcx p = PcxOf(1, 1, 10, 2, 2, {0xFF, 0xC0, 0x00, 0x40});
        p.Encoding = uint8_t(encoding);
        const TPCXGraphic g = Load<TPCXGraphic>(Write(p));
        EXPECT_EQ(g.PixelFormat(), pf1bit);
        EXPECT_EQ(g.Pixel(9, 0), clWhite);
        EXPECT_EQ(g.Pixel(8, 1), clBlack);
        EXPECT_EQ(g.Pixel(9, 1), clWhite);
    }
}

TEST(PCXGraphic, FourPlanesMakeFourBitPixels) {
    Pcx p = PcxOf(1, 4, 2, 1, 1, {0x80, 0x00, 0x00, 0x80});
    p.HeaderPalette.assign(48, 0);
    p.HeaderPalette[27] = 200;  // entry 9's red
    const TPCXGraphic g = Load<TPCXGraphic>(Write(p));
    EXPECT_EQ(g.PixelFormat(), pf4bit);
    EXPECT_EQ(static_cast<const uint8_t*>(g.ScanLine(0))[0] >> 4, 9);
    EXPECT_EQ(g.Pixel(0, 0), RGB(200, 0, 0));
    p.PaletteInfo = 2;
    EXPECT_EQ(Load<TPCXGraphic>(Write(p)).Pixel(0, 0), RGB(144, 144, 144));
}

TEST(PCXGraphic, EightBitPalettes) {
    Pcx p = PcxOf(8, 1, 3, 2, 4, {1, 2, 3, 0, 4, 5, 6, 0});
    p.TailPalette = true;
    p.Tail.assign(768, 0);
    p.Tail[3] = 10;
    p.Tail[4] = 20;
    p.Tail[5] = 30;
    const TPCXGraphic g = Load<TPCXGraphic>(Write(p));
    EXPECT_EQ(g.Pixel(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(g.Pixel(2, 1), RGB(0, 0, 0));
    p.TailPalette = false;
    const TPCXGraphic greys = Load<TPCXGraphic>(Write(p));
    EXPECT_EQ(greys.Pixel(2, 1), RGB(6, 6, 6));
}

TEST(PCXGraphic, TwentyFourBitPlanes) {
    const TPCXGraphic g = Load<TPCXGraphic>(Write(PcxOf(8, 3, 2, 1, 2, {1, 2, 3, 4, 5, 6})));
    EXPECT_EQ(g.PixelFormat(), pf24bit);
    EXPECT_EQ(g.Pixel(0, 0), RGB(1, 3, 5));
    EXPECT_EQ(g.Pixel(1, 0), RGB(2, 4, 6));
}

TEST(PCXGraphic, BadFiles) {
    Pcx p = PcxOf(8, 1, 3, 2, 4, {1, 2, 3, 0, 4, 5, 6, 0});
    p.Encoding = 0;
    Bytes file = Write(p);
    file.resize(file.size() - 1);
    EXPECT_TRUE((Raises<TPCXGraphic, EReadError>(file)));
    EXPECT_EQ(Failure<TPCXGraphic>(Bytes{11, 5, 1}), "Not a PCX or SCR file.");
    EXPECT_EQ(Failure<TPCXGraphic>(Write(PcxOf(2, 2, 3, 2, 4, {}))), "PCX: wrong pixel format");
    Pcx backwards = PcxOf(8, 1, 3, 2, 4, {});
    backwards.XMin = 5;
    EXPECT_EQ(Failure<TPCXGraphic>(Write(backwards)), "Invalid bitmap size");
    // A short 8-bit file: no room for the palette, rows from the little data there is.
    Pcx tiny = PcxOf(8, 1, 3, 2, 4, {7, 7, 7});
    const TPCXGraphic g = Load<TPCXGraphic>(Write(tiny));
    EXPECT_EQ(g.Width(), 3);
    // Bytes per line smaller than the row: the rest of each row stays zero.
    const TPCXGraphic narrow = Load<TPCXGraphic>(Write(PcxOf(8, 3, 4, 1, 1, {9, 8, 7})));
    EXPECT_EQ(narrow.Pixel(0, 0), RGB(9, 8, 7));
    EXPECT_EQ(narrow.Pixel(3, 0), RGB(0, 0, 0));
    // A screen capture may claim a huge size.
    Pcx huge = PcxOf(8, 1, 65535, 65535, 65535, {});
    EXPECT_EQ(Failure<TPCXGraphic>(Write(huge)), "Image size exceeds the pixel budget");
}

// ---- Photo-CD ----

uint8_t LumaByColumn(int x, int) { return uint8_t(x % 256); }

TEST(PCDGraphic, SizesByOrientationAndResolution) {
    const TPCDGraphic flat = Load<TPCDGraphic>(PhotoCD(0, LumaByColumn, 156, 137));
    EXPECT_EQ(flat.Width(), 768);
    EXPECT_EQ(flat.Height(), 512);
    EXPECT_EQ(flat.PixelFormat(), pf24bit);
    EXPECT_EQ(flat.Pixel(0, 5), RGB(0, 0, 0)) << "luma 0 with neutral chroma is black";
    EXPECT_EQ(flat.Pixel(100, 5), RGB(136, 136, 136));
    for (int o : {1, 3}) {
        const TPCDGraphic upright = Load<TPCDGraphic>(PhotoCD(o, LumaByColumn, 156, 137));
        EXPECT_EQ(upright.Width(), 512);
        EXPECT_EQ(upright.Height(), 768);
        // Stored column 100 becomes bitmap row 100 (o = 3) or 667 (o = 1).
        EXPECT_EQ(upright.Pixel(7, o == 3 ? 100 : 667), RGB(136, 136, 136)) << o;
    }
    const TPCDGraphic turned = Load<TPCDGraphic>(PhotoCD(2, LumaByColumn, 156, 137));
    EXPECT_EQ(turned.Width(), 768);
    EXPECT_EQ(turned.Pixel(667, 0), RGB(136, 136, 136));
    TPCDGraphic small;
    small.Resolution = 0;
    LoadInto(small, PhotoCD(0, LumaByColumn, 156, 137));
    EXPECT_EQ(small.Width(), 192);
    EXPECT_EQ(small.Height(), 128);
}

TEST(PCDGraphic, ChromaIsInterpolated) {
    const TPCDGraphic g = Load<TPCDGraphic>(PhotoCD(0, [](int, int) -> uint8_t { return 100; }, 200, 137));
    // blue = 1.3584 × 100 + 2.2179 × 44 = 233.43; green = 135.84 − 0.4302726 × 44 = 116.91
    EXPECT_EQ(g.Pixel(10, 10), RGB(136, 117, 233));
}

TEST(PCDGraphic, BadFiles) {
    Bytes file = PhotoCD(0, LumaByColumn, 156, 137);
    file[2050] = 'x';
    EXPECT_EQ(Failure<TPCDGraphic>(file), "PCD: wrong image format.");
    file = PhotoCD(0, LumaByColumn, 156, 137);
    TPCDGraphic g;
    g.Resolution = 3;
    try {
        LoadInto(g, file);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "PCD: image size currently not supported");
    }
    file.resize(300000);
    EXPECT_TRUE((Raises<TPCDGraphic, EReadError>(file)));
    EXPECT_TRUE((Raises<TPCDGraphic, EReadError>(Bytes(100, 0))));
}

// ---- Portable maps ----

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(PPMGraphic, TextMaps) {
    const TPPMGraphic bits = Load<TPPMGraphic>(Text("P1\n# comment\n4 2\n0110\n1 0 0 1"));
    EXPECT_EQ(bits.PixelFormat(), pf1bit);
    EXPECT_EQ(bits.Pixel(0, 0), clWhite);
    EXPECT_EQ(bits.Pixel(1, 0), clBlack);
    EXPECT_EQ(bits.Pixel(3, 1), clBlack);
    const TPPMGraphic greys = Load<TPPMGraphic>(Text("P2\r\n2 1 255\r\n17 # two\n250"));
    EXPECT_EQ(greys.Pixel(0, 0), RGB(17, 17, 17));
    EXPECT_EQ(greys.Pixel(1, 0), RGB(250, 250, 250));
    const TPPMGraphic colours = Load<TPPMGraphic>(Text("P3 1 1 255 10 20 30"));
    EXPECT_EQ(colours.Pixel(0, 0), RGB(10, 20, 30));
}

TEST(PPMGraphic, BinaryMaps) {
    Bytes p6 = Text("P6 2 1 255\n");
    p6.insert(p6.end(), {10, 20, 30, 32, 9, 13});  // samples that look like blanks
    const TPPMGraphic colours = Load<TPPMGraphic>(p6);
    EXPECT_EQ(colours.Pixel(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(colours.Pixel(1, 0), RGB(32, 9, 13));
    Bytes p5 = Text("P5\n#c\n2 2\n65535\n");
    p5.insert(p5.end(), {1, 0, 2, 0, 3, 0, 4, 0});
    EXPECT_EQ(Load<TPPMGraphic>(p5).Pixel(1, 1), RGB(4, 4, 4));
    Bytes p4 = Text("P4\n9 1\n");
    p4.insert(p4.end(), {0x80, 0x80});
    const TPPMGraphic bits = Load<TPPMGraphic>(p4);
    EXPECT_EQ(bits.Pixel(0, 0), clBlack);
    EXPECT_EQ(bits.Pixel(8, 0), clBlack);
    EXPECT_EQ(bits.Pixel(7, 0), clWhite);
}

TEST(PPMGraphic, BadFiles) {
    EXPECT_EQ(Failure<TPPMGraphic>(Text("Q6 1 1 255\n")), "Not a valid ppm file.");
    EXPECT_EQ(Failure<TPPMGraphic>(Text("P9 1 1 255\n")), "Not a valid ppm file.");
    EXPECT_EQ(Failure<TPPMGraphic>(Text("P6 2 2 255\n123")), "PPM: Stream read error.");
    EXPECT_EQ(Failure<TPPMGraphic>(Text("P2 2 2 255\n1 2 3")), "PPM: Stream read error.");
    EXPECT_EQ(Failure<TPPMGraphic>(Text("P6 2")), "PPM: Stream read error.");
    EXPECT_TRUE((Raises<TPPMGraphic, EInvalidGraphic>(Text("P5 99999999999 99999999999 255\n"))));
    EXPECT_EQ(Failure<TPPMGraphic>(Text("P5 65535 65535 255\n")), "Image size exceeds the pixel budget");
}

// ---- CUT ----

Cut CutSample() {
    Cut c;
    c.Width = 300;
    c.Height = 3;
    for (int i = 0; i < 900; ++i) c.Pixels.push_back(uint8_t(i < 400 ? 2 : i % 5));
    return c;
}

TEST(CUTGraphic, RowsWithTheGreyPaletteWithoutAPaletteFile) {
    const TCUTGraphic g = Load<TCUTGraphic>(Write(CutSample()));
    EXPECT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(g.Pixel(299, 0), RGB(2, 2, 2));
    EXPECT_EQ(g.Pixel(101, 2), RGB(1, 1, 1));
    // Data cut short leaves the rows it does not reach black.
    Bytes file = Write(CutSample());
    file.resize(20);
    const TCUTGraphic cut = Load<TCUTGraphic>(file);
    EXPECT_EQ(cut.Pixel(0, 2), RGB(0, 0, 0));
}

TEST(CUTGraphic, PaletteFiles) {
    Bytes rgb;
    for (int i = 0; i < 300; ++i) rgb.insert(rgb.end(), {uint8_t(i), uint8_t(255 - i), 7});
    const std::vector<TRGBQuad> colours = [&] {
        TMemoryStream s(CutPalette(rgb));
        return TCUTGraphic::ReadPalette(s);
    }();
    ASSERT_EQ(colours.size(), 256u);
    EXPECT_EQ(colours[77], (TRGBQuad{7, 178, 77, 0}));
    EXPECT_EQ(colours[78], (TRGBQuad{7, 177, 78, 0})) << "the first colour of the second block";
    EXPECT_EQ(colours[200], (TRGBQuad{7, 55, 200, 0}));
    Bytes damaged = CutPalette(rgb);
    damaged.resize(600);
    TMemoryStream s(damaged);
    EXPECT_TRUE(TCUTGraphic::ReadPalette(s).empty());
}

TEST(CUTGraphic, ThePaletteBesideThePictureInAnyLetterCase) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "cut_palette_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    TMemoryStream(Write(CutSample())).SaveToFile((dir / "Logo.cut").string());
    TMemoryStream(CutPalette({0, 0, 0, 9, 9, 9, 40, 50, 60})).SaveToFile((dir / "LOGO.PAL").string());
    RegisterImageReaders();
    TPicture picture;
    picture.LoadFromFile((dir / "Logo.cut").string());
    EXPECT_EQ(picture.Bitmap().Pixel(299, 0), RGB(40, 50, 60));
    fs::remove(dir / "LOGO.PAL");
    picture.LoadFromFile((dir / "Logo.cut").string());
    EXPECT_EQ(picture.Bitmap().Pixel(299, 0), RGB(2, 2, 2)) << "greys without the palette file";
    TMemoryStream(Bytes{1, 2, 3}).SaveToFile((dir / "logo.pal").string());
    picture.LoadFromFile((dir / "Logo.cut").string());
    EXPECT_EQ(picture.Bitmap().Pixel(299, 0), RGB(2, 2, 2)) << "greys for a damaged palette file";
    UnregisterImageReaders();
    fs::remove_all(dir);
}

// ---- GIF ----

Gif GifSample(int w, int h) {
    Gif g;
    g.ScreenWidth = w;
    g.ScreenHeight = h;
    g.Width = w;
    g.Height = h;
    g.Global = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    g.Global.resize(12);
    g.CodeSize = 2;
    for (int i = 0; i < w * h; ++i) g.Pixels.push_back(uint8_t(i / w % 4));
    return g;
}

TEST(GIFGraphic, RowsAndPalette) {
    Gif g = GifSample(7, 5);
    g.Global.resize(12);
    const TGIFGraphic p = Load<TGIFGraphic>(Write(g));
    EXPECT_EQ(p.PixelFormat(), pf8bit);
    EXPECT_EQ(p.Pixel(3, 1), RGB(255, 0, 0));
    EXPECT_EQ(p.Pixel(3, 3), RGB(0, 0, 255));
    EXPECT_EQ(p.Palette().size(), 256u) << "padded so no index reads past it";
    g.Lowercase = true;
    EXPECT_EQ(Load<TGIFGraphic>(Write(g)).Pixel(3, 1), RGB(255, 0, 0));
    g.Local = {9, 9, 9, 8, 8, 8, 7, 7, 7, 6, 6, 6};
    EXPECT_EQ(Load<TGIFGraphic>(Write(g)).Pixel(3, 1), RGB(8, 8, 8));
}

TEST(GIFGraphic, InterlacedRowsInTheirPasses) {
    Gif g = GifSample(3, 5);
    g.Interlaced = true;
    g.CodeSize = 3;
    g.Global.resize(24);
    g.Pixels.clear();
    for (int stored = 0; stored < 5; ++stored) g.Pixels.insert(g.Pixels.end(), 3, uint8_t(stored));
    const TGIFGraphic p = Load<TGIFGraphic>(Write(g));
    const int order[5] = {0, 4, 2, 1, 3};  // bitmap row of each stored row
    for (int stored = 0; stored < 5; ++stored)
        EXPECT_EQ(static_cast<const uint8_t*>(p.ScanLine(order[stored]))[1], stored);
}

TEST(GIFGraphic, ExtensionsAndSizes) {
    Gif g = GifSample(4, 2);
    g.Extensions = GifGraphicControl(44);  // a delay that reads as ","
    g.Width = 0;
    const TGIFGraphic p = Load<TGIFGraphic>(Write(g));
    EXPECT_EQ(p.Width(), 4) << "width 0 takes the screen's";
    EXPECT_EQ(p.Pixel(3, 1), RGB(255, 0, 0));
    const Bytes noImage = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0, 0, 0, ';'};
    const TGIFGraphic empty = Load<TGIFGraphic>(noImage);
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.PixelFormat(), pf8bit);
}

TEST(GIFGraphic, BadFiles) {
    EXPECT_EQ(Failure<TGIFGraphic>(Text("PNG89a1234567")), "Not a valid GIF file.");
    Bytes file = Write(GifSample(4, 2));
    file.resize(file.size() - 6);  // data cut short: what was decoded stays
    EXPECT_EQ(Load<TGIFGraphic>(file).Width(), 4);
    file.resize(20);
    EXPECT_TRUE((Raises<TGIFGraphic, EReadError>(file)));
    Bytes b = Write(GifSample(4, 2));
    ASSERT_EQ(b[35], 2);  // the minimum code size after a 4-entry table and the descriptor
    b[35] = 12;
    EXPECT_EQ(Failure<TGIFGraphic>(b), "GIF LZW: invalid opcode.");
}

// ---- RLA ----

Rla RlaSample(int bottom, int top, int matte) {
    Rla r;
    r.Right = 3;
    r.Bottom = bottom;
    r.Top = top;
    r.Matte = matte;
    const int rows = std::abs(bottom - top) + 1;
    for (int y = 0; y < rows; ++y) {
        Bytes row;
        for (int c = 0; c < (matte ? 4 : 3); ++c)
            for (int x = 0; x < 4; ++x) row.push_back(uint8_t(y + c * 50 + (x == 0 ? 1 : 0)));
        r.Rows.push_back(row);
    }
    return r;
}

TEST(RLAGraphic, WindowBottomBelowTopMeansBottomUpRows) {
    const TRLAGraphic p = Load<TRLAGraphic>(Write(RlaSample(0, 99, 0)));
    EXPECT_EQ(p.Height(), 100);
    EXPECT_EQ(p.PixelFormat(), pf24bit);
    EXPECT_EQ(p.Pixel(0, 99), RGB(1, 51, 101));
    EXPECT_EQ(p.Pixel(1, 0), RGB(99, 149, 199));
    const TRLAGraphic down = Load<TRLAGraphic>(Write(RlaSample(9, 0, 1)));
    EXPECT_EQ(down.PixelFormat(), pf32bit);
    EXPECT_EQ(down.Pixel(0, 0), RGB(1, 51, 101));
    EXPECT_EQ(static_cast<const uint8_t*>(down.ScanLine(0))[3], 151);
    Rla literal = RlaSample(0, 2, 0);
    literal.RunLength = false;
    EXPECT_EQ(Load<TRLAGraphic>(Write(literal)).Pixel(0, 2), RGB(1, 51, 101));
}

TEST(RLAGraphic, BadFiles) {
    Rla r = RlaSample(0, 3, 0);
    r.Channels = 1;
    EXPECT_EQ(Failure<TRLAGraphic>(Write(r)), "RLA: image must be RGB(A).");
    Bytes file = Write(RlaSample(0, 3, 0));
    file[740 + 16] = 0x20;  // the first stored row's first record: 8 KB long
    EXPECT_EQ(Failure<TRLAGraphic>(file), "RLA: damaged row");
    file = Write(RlaSample(0, 3, 0));
    file[740] = 0x7F;  // a row offset past the file
    EXPECT_TRUE((Raises<TRLAGraphic, EReadError>(file)));
    file = Write(RlaSample(0, 3, 0));
    file.resize(760);
    EXPECT_TRUE((Raises<TRLAGraphic, EReadError>(file)));
    Rla huge = RlaSample(0, 0, 0);
    huge.Left = -32768;
    huge.Right = 32767;
    huge.Bottom = -32768;
    huge.Top = 32767;
    huge.Rows.clear();
    EXPECT_EQ(Failure<TRLAGraphic>(Write(huge)), "Image size exceeds the pixel budget");
}

// ---- Photoshop ----

Psd PsdOf(int mode, int channels, uint32_t w, uint32_t h, int depth = 8) {
    Psd p;
    p.Mode = mode;
    p.Channels = channels;
    p.Width = w;
    p.Height = h;
    p.Depth = depth;
    return p;
}

TEST(PSDGraphic, RGBRawAndPackBits) {
    for (bool packBits : {false, true})
        for (int depth : {8, 16}) {
            Psd p = PsdOf(3, 4, 3, 2, depth);
            p.PackBits = packBits;
            p.ModeData = {1, 2, 3};
            p.Resources.assign(40, 9);
            for (int c = 0; c < 4; ++c) {
                Bytes plane;
                for (int i = 0; i < 6; ++i) {
                    plane.push_back(uint8_t(c * 60 + i));
                    if (depth == 16) plane.push_back(0xEE);
                }
                p.Planes.push_back(plane);
            }
            const TPSDGraphic g = Load<TPSDGraphic>(Write(p));
            EXPECT_EQ(g.PixelFormat(), pf24bit);
            EXPECT_EQ(g.Pixel(0, 0), RGB(0, 60, 120)) << packBits << depth;
            EXPECT_EQ(g.Pixel(2, 1), RGB(5, 65, 125)) << packBits << depth;
        }
}

TEST(PSDGraphic, CMYKWhiteAndLab) {
    Psd p = PsdOf(4, 4, 1, 1);
    p.Planes = {{255}, {255}, {255}, {255}};
    EXPECT_EQ(Load<TPSDGraphic>(Write(p)).Pixel(0, 0), RGB(255, 255, 255));
    p.Planes = {{255}, {0}, {0}, {255}};  // stored inverted: no cyan, full magenta and yellow
    EXPECT_EQ(Load<TPSDGraphic>(Write(p)).Pixel(0, 0), RGB(255, 0, 0));
    Psd lab = PsdOf(9, 3, 1, 1);
    lab.Planes = {{255}, {128}, {128}};
    EXPECT_EQ(Load<TPSDGraphic>(Write(lab)).Pixel(0, 0), RGB(255, 255, 255));
}

TEST(PSDGraphic, OnePlaneModes) {
    Psd bits = PsdOf(0, 1, 10, 2, 1);
    bits.Planes = {{0x80, 0x40, 0x00, 0x00}};
    for (bool packBits : {false, true}) {
        bits.PackBits = packBits;
        const TPSDGraphic g = Load<TPSDGraphic>(Write(bits));
        EXPECT_EQ(g.PixelFormat(), pf1bit);
        EXPECT_EQ(g.Pixel(0, 0), clBlack);
        EXPECT_EQ(g.Pixel(9, 0), clBlack);
        EXPECT_EQ(g.Pixel(8, 0), clWhite);
        EXPECT_EQ(g.Pixel(0, 1), clWhite);
    }
    Psd indexed = PsdOf(2, 1, 2, 1);
    indexed.ModeData.assign(800, 0);
    indexed.ModeData[1] = 10;
    indexed.ModeData[257] = 20;
    indexed.ModeData[513] = 30;
    indexed.Planes = {{0, 1}};
    EXPECT_EQ(Load<TPSDGraphic>(Write(indexed)).Pixel(1, 0), RGB(10, 20, 30));
    Psd duotone = PsdOf(8, 1, 2, 1, 16);
    duotone.ModeData.assign(50, 3);
    duotone.Planes = {{77, 1, 99, 2}};
    EXPECT_EQ(Load<TPSDGraphic>(Write(duotone)).Pixel(1, 0), RGB(99, 99, 99));
}

TEST(PSDGraphic, OtherModesLoadAtTheirSizeWithoutPixels) {
    Psd p = PsdOf(7, 5, 6, 4);
    const TPSDGraphic g = Load<TPSDGraphic>(Write(p));
    EXPECT_EQ(g.Width(), 6);
    EXPECT_EQ(g.Height(), 4);
}

TEST(PSDGraphic, BadFiles) {
    EXPECT_EQ(Failure<TPSDGraphic>(Text("8BPX0123456789012345678901234")), "Not a valid psd file.");
    Psd few = PsdOf(4, 3, 1, 1);
    few.Planes = {{1}, {2}, {3}};
    EXPECT_TRUE((Raises<TPSDGraphic, EInvalidGraphic>(Write(few))));
    Psd deep = PsdOf(3, 3, 1, 1, 32);
    EXPECT_TRUE((Raises<TPSDGraphic, EInvalidGraphic>(Write(deep))));
    Psd p = PsdOf(3, 3, 4, 4);
    p.Planes.assign(3, Bytes(16, 1));
    Bytes file = Write(p);
    file.resize(file.size() - 1);
    EXPECT_TRUE((Raises<TPSDGraphic, EReadError>(file)));
    p.PackBits = true;
    file = Write(p);
    file.resize(file.size() - 1);
    EXPECT_TRUE((Raises<TPSDGraphic, EReadError>(file)));
    p.Resources.assign(10, 0);
    file = Write(p);
    file[29] = 0x7F;  // resources longer than the file
    EXPECT_TRUE((Raises<TPSDGraphic, EReadError>(file)));
    Psd huge = PsdOf(3, 3, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(Failure<TPSDGraphic>(Write(huge)), "Invalid bitmap size");
}

// ---- Every extension through the picture holder ----

TEST(OtherImageReaders, EveryExtensionLoadsThroughThePictureInAnyLetterCase) {
    namespace fs = std::filesystem;
    Targa targa;
    targa.Width = 2;
    targa.Height = 1;
    targa.Pixels.assign(6, 50);
    Sgi sgi;
    sgi.Width = 2;
    sgi.Height = 1;
    sgi.Rows = {{50, 50}};
    Psd psd = PsdOf(1, 1, 2, 1);
    psd.Planes = {{50, 50}};
    Bytes palette(768, 0);
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(2, 1);
    TMemoryStream bmpFile;
    bmp.SaveToStream(bmpFile);
    const Bytes bmpBytes(bmpFile.Memory(), bmpFile.Memory() + bmpFile.Size());
    Rla rla = RlaSample(0, 0, 0);
    Cut cut;
    cut.Width = 2;
    cut.Height = 1;
    cut.Pixels = {1, 1};
    const struct {
        const char* Extension;
        Bytes File;
        TGraphicClass Class;
    } cases[] = {
        {"win", Write(targa), TargaGraphicClass()}, {"vst", Write(targa), TargaGraphicClass()},
        {"vda", Write(targa), TargaGraphicClass()}, {"tga", Write(targa), TargaGraphicClass()},
        {"icb", Write(targa), TargaGraphicClass()}, {"sgi", Write(sgi), SGIGraphicClass()},
        {"rgba", Write(sgi), SGIGraphicClass()}, {"rgb", Write(sgi), SGIGraphicClass()},
        {"bw", Write(sgi), SGIGraphicClass()}, {"scr", Write(PcxOf(8, 1, 2, 1, 2, {1, 2})), PCXGraphicClass()},
        {"pcx", Write(PcxOf(8, 1, 2, 1, 2, {1, 2})), PCXGraphicClass()},
        {"pcc", Write(PcxOf(8, 1, 2, 1, 2, {1, 2})), PCXGraphicClass()},
        {"rpf", Write(rla), RLAGraphicClass()}, {"rla", Write(rla), RLAGraphicClass()},
        {"psd", Write(psd), PSDGraphicClass()}, {"pdd", Write(psd), PSDGraphicClass()},
        {"ppm", Text("P3 2 1 255 1 2 3 4 5 6"), PPMGraphicClass()}, {"pgm", Text("P2 2 1 255 1 2"), PPMGraphicClass()},
        {"pbm", Text("P1 2 1 01"), PPMGraphicClass()}, {"pic", Autodesk(2, 1, palette, {1, 2}), AutodeskGraphicClass()},
        {"cel", Autodesk(2, 1, palette, {1, 2}), AutodeskGraphicClass()},
        {"pcd", PhotoCD(0, LumaByColumn, 156, 137), PCDGraphicClass()},
        {"gif", Write(GifSample(2, 1)), GIFGraphicClass()}, {"cut", Write(cut), CUTGraphicClass()},
        {"rle", bmpBytes, BitmapClass()}, {"dib", bmpBytes, BitmapClass()},
    };
    const fs::path dir = fs::temp_directory_path() / "other_readers_extensions";
    fs::create_directories(dir);
    RegisterImageReaders();
    for (const auto& c : cases) {
        for (bool upper : {false, true}) {
            std::string ext = c.Extension;
            if (upper) for (char& ch : ext) ch = char(std::toupper(static_cast<unsigned char>(ch)));
            const fs::path file = dir / ("picture." + ext);
            TMemoryStream(c.File).SaveToFile(file.string());
            TPicture picture;
            picture.LoadFromFile(file.string());
            ASSERT_NE(picture.Graphic(), nullptr) << ext;
            EXPECT_EQ(picture.Width(), c.Extension == std::string("pcd") ? 768 : c.Extension == std::string("rla") || c.Extension == std::string("rpf") ? 4 : 2) << ext;
            const TGraphic& g = *picture.Graphic();
            EXPECT_EQ(typeid(g), typeid(*c.Class->Create())) << ext;
            fs::remove(file);
        }
    }
    UnregisterImageReaders();
    fs::remove_all(dir);
    // The registry's rows name the classes.
    for (const TReaderFormat& f : ImageReaderFormats()) EXPECT_NE(f.GraphicClass, nullptr) << f.Extension;
}

}  // namespace
