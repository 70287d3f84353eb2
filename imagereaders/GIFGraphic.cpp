// GIF pictures: the first image of the file with the global or its local colour table, LZW
// decoded and copied into 8-bit rows, interlaced images in their four passes.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace readers;

namespace {

/// Reads a colour table of 2 shl (flags and 7) entries, padded to 256 with black.
std::vector<TRGBQuad> ReadColourTable(TStream& stream, unsigned flags) {
    const size_t count = size_t(2) << (flags & 7);
    uint8_t table[768];
    stream.ReadBuffer(table, int64_t(3 * count));
    std::vector<TRGBQuad> palette(256);
    for (size_t i = 0; i < count; ++i) palette[i] = TRGBQuad{table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
    return palette;
}

uint8_t ReadByte(TStream& stream) {
    uint8_t b;
    stream.ReadBuffer(&b, 1);
    return b;
}

}  // namespace

void TGIFGraphic::LoadFromStream(TStream& stream) {
    Assign(TBitmap());
    SetPixelFormat(pf8bit);
    uint8_t h[7];
    stream.ReadBuffer(h, 6);
    if (std::toupper(h[0]) != 'G' || std::toupper(h[1]) != 'I' || std::toupper(h[2]) != 'F')
        throw Exception("Not a valid GIF file.");
    stream.ReadBuffer(h, 7);
    const int screenWidth = Le16(h), screenHeight = Le16(h + 2);
    std::vector<TRGBQuad> palette;
    if (h[4] & 0x80) {
        palette = ReadColourTable(stream, h[4]);
        SetPalette(palette);
    }

    for (;;) {
        const uint8_t b = ReadByte(stream);
        if (b == ';') return;  // no image: the empty picture
        if (b == ',') break;
        if (b == '!') {
            // An extension: its label, then sub-blocks up to the zero-length one.
            ReadByte(stream);
            for (uint8_t n; (n = ReadByte(stream)) != 0;) stream.Seek(n, soCurrent);
        }
    }

    uint8_t d[9];
    stream.ReadBuffer(d, sizeof d);
    int width = Le16(d + 4), height = Le16(d + 6);
    if (width == 0) width = screenWidth;
    if (height == 0) height = screenHeight;
    if (d[8] & 0x80) palette = ReadColourTable(stream, d[8]);
    const bool interlaced = d[8] & 0x40;
    const int codeSize = ReadByte(stream);
    PrepareBitmap(*this, pf8bit, width, height);
    if (!palette.empty()) SetPalette(palette);

    // The sub-blocks' data, to the zero-length block or the end of the file.
    std::vector<uint8_t> packed;
    {
        TByteSource source(stream);
        for (int n; (n = source.Get()) > 0;) {
            const size_t at = packed.size();
            packed.resize(at + size_t(n));
            packed.resize(at + source.Take(packed.data() + at, size_t(n)));
        }
        source.Release();
    }
    const size_t w = size_t(width), count = w * size_t(height);
    if (count == 0) return;
    std::vector<uint8_t> pixels(count);
    const uint8_t* s = packed.data();
    const size_t produced = TGIFLZW(codeSize).Decode(s, pixels.data(), packed.size(), count);
    std::fill(pixels.begin() + int64_t(produced), pixels.end(), 0);

    int y = 0;
    auto copy = [&](int row) { std::memcpy(Row(*this, row), pixels.data() + size_t(y++) * w, w); };
    if (!interlaced) {
        for (int row = 0; row < height; ++row) copy(row);
        return;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int row = kStart[pass]; row < height; row += kStep[pass]) copy(row);
}

TGraphicClass GIFGraphicClass() { return GraphicClassOf<TGIFGraphic>("TGIFGraphic"); }
