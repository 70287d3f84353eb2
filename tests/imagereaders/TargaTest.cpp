// Tests of the Targa reader and writer: every pixel size saved and read back, stored row order,
// colour maps, packets over row ends, the identifier, the 1/4-bit question and bad files.
#include "FormatWriters.h"
#include "ImageReaders.h"
#include "Streams.h"

#include "Dialogs.h"
#include "Forms.h"
#include "FormsScript.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace formatwriters;

Bytes Pattern(size_t n, unsigned seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t((i / 7 % 3 == 0) ? seed : i * 31 + seed);
    return b;
}

template <class T>
void FillBitmap(T& bitmap, TPixelFormat format, int w, int h) {
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(w, h);
    const size_t bytes = size_t(w) * size_t(BitsPerPixel(format)) / 8;
    for (int y = 0; y < h; ++y) {
        const Bytes row = Pattern(bytes, unsigned(y));
        std::memcpy(bitmap.ScanLine(y), row.data(), bytes);
    }
}

void ExpectSameRows(const TBitmap& a, const TBitmap& b, size_t bytes) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int y = 0; y < a.Height(); ++y)
        ASSERT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), bytes), 0) << "row " << y;
}

TTargaGraphic Reload(TTargaGraphic& saved) {
    TMemoryStream stream;
    saved.SaveToStream(stream);
    stream.SetPosition(0);
    TTargaGraphic loaded;
    loaded.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), stream.Size()) << "the whole file is used";
    return loaded;
}

TEST(TargaGraphic, SavedPicturesReloadToTheSamePixels) {
    for (TPixelFormat format : {pf8bit, pf15bit, pf24bit, pf32bit}) {
        TTargaGraphic picture;
        FillBitmap(picture, format, 301, 7);
        if (format == pf8bit) {
            std::vector<TRGBQuad> palette(256);
            for (int i = 0; i < 256; ++i) palette[size_t(i)] = TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
            picture.SetPalette(palette);
        }
        picture.SetImageIdentifier("checksheet logo");
        TTargaGraphic loaded = Reload(picture);
        EXPECT_EQ(loaded.PixelFormat(), format);
        EXPECT_EQ(loaded.ImageIdentifier(), "checksheet logo");
        ExpectSameRows(picture, loaded, size_t(301) * size_t(BitsPerPixel(format)) / 8);
        if (format == pf8bit) {
            EXPECT_EQ(loaded.Palette(), picture.Palette());
        }
    }
}

TEST(TargaGraphic, SixteenBitPicturesAreWrittenAsFifteenBitColours) {
    TTargaGraphic picture;
    picture.SetPixelFormat(pf16bit);
    picture.SetSize(3, 1);
    const uint16_t words[3] = {0xF800, 0x07E0, 0x001F};  // red, green, blue in 5-6-5
    std::memcpy(picture.ScanLine(0), words, 6);
    TTargaGraphic loaded = Reload(picture);
    EXPECT_EQ(loaded.PixelFormat(), pf15bit);
    EXPECT_EQ(loaded.Pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(loaded.Pixel(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(loaded.Pixel(2, 0), RGB(0, 0, 255));
}

TEST(TargaGraphic, DescriptorZeroShowsTheFirstStoredRowAtTheBottom) {
    for (int type : {2, 10}) {
        Targa t;
        t.Type = type;
        t.Width = 2;
        t.Height = 3;
        t.Pixels = {1, 2, 3, 1, 2, 3, /**/ 4, 5, 6, 4, 5, 6, /**/ 7, 8, 9, 7, 8, 9};
        TTargaGraphic bottomUp;
        TMemoryStream a(Write(t));
        bottomUp.LoadFromStream(a);
        EXPECT_EQ(bottomUp.Pixel(0, 2), RGB(3, 2, 1)) << type;
        EXPECT_EQ(bottomUp.Pixel(1, 0), RGB(9, 8, 7)) << type;
        t.Descriptor = 0x20;
        TTargaGraphic topFirst;
        TMemoryStream b(Write(t));
        topFirst.LoadFromStream(b);
        EXPECT_EQ(topFirst.Pixel(0, 0), RGB(3, 2, 1)) << type;
        EXPECT_EQ(topFirst.Pixel(1, 2), RGB(9, 8, 7)) << type;
    }
}

TEST(TargaGraphic, PacketsRunningOverRowEndsAreCarriedIntoTheNextRow) {
    Targa t;
    t.Type = 10;
    t.Descriptor = 0x20;
    t.Width = 5;
    t.Height = 4;
    t.Pixels.assign(5 * 4 * 3, 0x40);  // one run of 20 pixels over four rows
    for (size_t i = 42; i < 60; ++i) t.Pixels[i] = uint8_t(i);
    t.PacketsCrossRows = true;
    TTargaGraphic picture;
    TMemoryStream s(Write(t));
    picture.LoadFromStream(s);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(std::memcmp(picture.ScanLine(y), t.Pixels.data() + 15 * y, 15), 0) << y;
}

TEST(TargaGraphic, ColourMapsOfEveryEntrySize) {
    // Entries 0 and 1 of each map: pure blue, then a grey-green.
    struct Case {
        int Bits;
        Bytes Map;
        TColor Second;
    } cases[] = {
        {24, {255, 0, 0, 10, 20, 30}, RGB(30, 20, 10)},
        {32, {255, 0, 0, 99, 10, 20, 30, 99}, RGB(30, 20, 10)},
        {16, {0x1F, 0x00, 0x42, 0x08}, RGB(16, 16, 16)},
    };
    for (const Case& c : cases) {
        Targa t;
        t.Type = 1;
        t.Bits = 8;
        t.Width = 2;
        t.Height = 1;
        t.MapType = 1;
        t.MapEntryBits = c.Bits;
        t.Map = c.Map;
        t.Pixels = {0, 1};
        TTargaGraphic picture;
        TMemoryStream s(Write(t));
        picture.LoadFromStream(s);
        EXPECT_EQ(picture.PixelFormat(), pf8bit);
        EXPECT_EQ(picture.Pixel(0, 0), c.Bits == 16 ? RGB(0, 0, 248) : RGB(0, 0, 255)) << c.Bits;
        EXPECT_EQ(picture.Pixel(1, 0), c.Second) << c.Bits;
    }
}

TEST(TargaGraphic, ColourMapsOfMoreThan256EntriesKeepTheFirst256) {
    Targa t;
    t.Type = 9;
    t.Bits = 8;
    t.Width = 3;
    t.Height = 1;
    t.MapType = 1;
    for (int i = 0; i < 300; ++i) t.Map.insert(t.Map.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    t.Pixels = {5, 255, 7};
    TTargaGraphic picture;
    TMemoryStream s(Write(t));
    picture.LoadFromStream(s);
    EXPECT_EQ(picture.Palette().size(), 256u);
    EXPECT_EQ(picture.Pixel(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(picture.Pixel(2, 0), RGB(7, 7, 7));
}

TEST(TargaGraphic, GreyImagesGetGreyPalettes) {
    Targa t;
    t.Type = 11;
    t.Bits = 8;
    t.Width = 3;
    t.Height = 1;
    t.Pixels = {0, 128, 255};
    TTargaGraphic picture;
    TMemoryStream s(Write(t));
    picture.LoadFromStream(s);
    EXPECT_EQ(picture.Pixel(1, 0), RGB(128, 128, 128));
}

TEST(TargaGraphic, BadFiles) {
    Targa t;
    t.Type = 2;
    t.Bits = 12;
    t.Width = 2;
    t.Height = 2;
    t.Pixels.assign(8, 1);
    TTargaGraphic picture;
    TMemoryStream odd(Write(t));
    try {
        picture.LoadFromStream(odd);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Targa: invalid image");
    }
    for (int type : {2, 10}) {
        t.Type = type;
        t.Bits = 24;
        t.Pixels = Pattern(12, 3);
        Bytes file = Write(t);
        file.resize(file.size() - 2);
        TMemoryStream cut(file);
        try {
            picture.LoadFromStream(cut);
            FAIL() << type;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Targa: invalid image");
        }
    }
    TMemoryStream header(Bytes{0, 0, 2});
    EXPECT_THROW(picture.LoadFromStream(header), EReadError);
    t.Type = 2;
    t.Width = t.Height = 65535;
    TMemoryStream huge(Write(t));
    EXPECT_THROW(picture.LoadFromStream(huge), EInvalidGraphic);
    t.Width = t.Height = 0;
    t.Pixels.clear();
    TMemoryStream empty(Write(t));
    picture.LoadFromStream(empty);
    EXPECT_TRUE(picture.Empty());
}

/// A stream that takes only so many bytes.
class TFullStream : public TMemoryStream {
public:
    explicit TFullStream(int64_t room) : FRoom(room) {}
    int64_t Write(const void* buffer, int64_t count) override {
        const int64_t n = std::min(count, FRoom);
        FRoom -= n;
        return TMemoryStream::Write(buffer, n);
    }

private:
    int64_t FRoom;
};

TEST(TargaGraphic, AShortWriteFails) {
    TTargaGraphic picture;
    FillBitmap(picture, pf24bit, 50, 5);
    TFullStream stream(60);
    try {
        picture.SaveToStream(stream);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Targa: could not write image data");
    }
}

TEST(TargaGraphic, FourBitPicturesAreConvertedWhenTheUserAgrees) {
    ASSERT_NE(Application, nullptr);  // the forms layer, which installs the question box
    FormsScript::Reset();
    TTargaGraphic picture;
    picture.SetPixelFormat(pf4bit);
    picture.SetSize(4, 2);
    static_cast<uint8_t*>(picture.ScanLine(0))[0] = 0x1F;

    FormsScript::AnswerMessage(mrCancel);
    TMemoryStream cancelled;
    picture.SaveToStream(cancelled);
    EXPECT_EQ(cancelled.Size(), 0) << "Cancel writes nothing";
    EXPECT_EQ(picture.PixelFormat(), pf4bit);
    ASSERT_EQ(FormsScript::Messages().size(), 1u);
    EXPECT_EQ(FormsScript::Messages()[0].Text, "Targa image: 1 or 4 bit color depth not allowed. Convert to 256 colors?");

    const TColor first = picture.Pixel(0, 0), second = picture.Pixel(1, 0);
    TTargaGraphic loaded = Reload(picture);  // no answer queued: OK
    EXPECT_EQ(FormsScript::Messages().size(), 2u);
    EXPECT_EQ(picture.PixelFormat(), pf8bit) << "converted before it was written";
    EXPECT_EQ(loaded.PixelFormat(), pf8bit);
    EXPECT_EQ(loaded.Pixel(0, 0), picture.Pixel(0, 0));
    EXPECT_EQ(loaded.Pixel(1, 0), picture.Pixel(1, 0));
    EXPECT_EQ(loaded.Pixel(0, 0), first) << "colours kept exactly";
    EXPECT_EQ(loaded.Pixel(1, 0), second);
    EXPECT_EQ(loaded.Palette(), picture.Palette());
    FormsScript::Reset();
}

TEST(TargaGraphic, OneBitPicturesKeepTheirTwoColours) {
    FormsScript::Reset();
    TTargaGraphic picture;
    picture.SetPixelFormat(pf1bit);
    picture.SetSize(10, 2);
    picture.SetPalette({TRGBQuad{0, 0, 200, 0}, TRGBQuad{10, 220, 0, 0}});
    static_cast<uint8_t*>(picture.ScanLine(1))[1] = 0x40;  // pixel 9 of row 1
    TTargaGraphic loaded = Reload(picture);
    EXPECT_EQ(loaded.Pixel(9, 1), RGB(0, 220, 10));
    EXPECT_EQ(loaded.Pixel(8, 1), RGB(200, 0, 0));
    FormsScript::Reset();
}

}  // namespace
