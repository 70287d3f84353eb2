// ZSoft PCX pictures (and screen captures of the same layout): plain or run-length lines of one
// to four planes, turned into 1, 4, 8 or 24-bit rows, with the palettes the file carries.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <algorithm>
#include <cstring>

using namespace readers;

void TPCXGraphic::LoadFromStream(TStream& stream) {
    Assign(TBitmap());
    uint8_t h[128] = {};
    ReadPlain(stream, h, sizeof h);
    const int64_t dataStart = stream.Position();
    int64_t dataSize = BytesLeft(stream);
    if (h[0] != 10 && h[0] != 205) throw Exception("Not a PCX or SCR file.");

    const int bitsPerPixel = h[3], planes = h[65];
    TPixelFormat format;
    if (bitsPerPixel == 1 && planes == 1) format = pf1bit;
    else if (bitsPerPixel == 1 && planes == 4) format = pf4bit;
    else if (bitsPerPixel == 8 && planes == 1) format = pf8bit;
    else if (bitsPerPixel == 8 && planes == 3) format = pf24bit;
    else throw Exception("PCX: wrong pixel format");

    const int xmin = Le16(h + 4), ymin = Le16(h + 6), xmax = Le16(h + 8), ymax = Le16(h + 10);
    if (xmax < xmin || ymax < ymin) throw EInvalidGraphic("Invalid bitmap size");
    const int width = xmax - xmin + 1, height = ymax - ymin + 1;
    const size_t bytesPerLine = Le16(h + 66);
    const size_t lineSize = size_t(planes) * bytesPerLine;
    PrepareBitmap(*this, format, width, height);

    const bool greys = Le16(h + 68) == 2;
    std::vector<TRGBQuad> palette;
    if (format == pf8bit) {
        // The palette follows the image data: a marker byte 12 and 768 colour bytes. Without
        // the marker the file has no palette there, and those bytes are image data.
        palette = GreyPalette();
        uint8_t tail[769];
        if (dataSize >= 769) {
            stream.Seek(-769, soEnd);
            if (ReadPlain(stream, tail, sizeof tail) == sizeof tail && tail[0] == 12) {
                for (size_t i = 0; i < 256; ++i) palette[i] = TRGBQuad{tail[3 * i + 3], tail[3 * i + 2], tail[3 * i + 1], 0};
                dataSize -= 769;
            }
            stream.SetPosition(dataStart);
        }
    } else if (format == pf4bit) {
        if (greys) {
            palette = GreyPalette(16, 16);
        } else {
            palette.resize(16);
            for (size_t i = 0; i < 16; ++i) palette[i] = TRGBQuad{h[16 + 3 * i + 2], h[16 + 3 * i + 1], h[16 + 3 * i], 0};
        }
    } else if (format == pf1bit) {
        palette = {TRGBQuad{0, 0, 0, 0}, TRGBQuad{255, 255, 255, 0}};
    }
    // Version 3 files carry no palette: the format's default stays (two-colour files keep theirs).
    if (format != pf24bit && !(h[1] == 3 && format != pf1bit)) SetPalette(std::move(palette));
    if (width == 0 || height == 0 || lineSize == 0) return;

    // Bytes of one plane that a row's pixels need; a shorter plane leaves the rest zero.
    const size_t need = format == pf1bit || format == pf4bit ? (size_t(width) + 7) / 8 : size_t(width);
    const size_t have = std::min(need, bytesPerLine);
    auto putRow = [&](const uint8_t* line, int y) {
        uint8_t* row = Row(*this, y);
        switch (format) {
            case pf1bit:
            case pf8bit:
                std::memcpy(row, line, have);
                break;
            case pf4bit:
                for (int x = 0; x < width; ++x) {
                    const size_t byte = size_t(x) >> 3;
                    if (byte >= have) break;
                    const int bit = 7 - (x & 7);
                    unsigned v = 0;
                    for (int p = 3; p >= 0; --p) v = v << 1 | ((line[size_t(p) * bytesPerLine + byte] >> bit) & 1);
                    row[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
                }
                break;
            default: {
                const uint8_t* r = line;
                const uint8_t* g = r + bytesPerLine;
                const uint8_t* b = g + bytesPerLine;
                for (size_t x = 0; x < have; ++x, row += 3) {
                    row[0] = b[x];
                    row[1] = g[x];
                    row[2] = r[x];
                }
            }
        }
    };

    if (h[2] == 1) {
        // Run-length lines are decoded one at a time; a run may go on over a line's end.
        std::vector<uint8_t> packed(static_cast<size_t>(dataSize));
        stream.ReadBuffer(packed.data(), dataSize);
        const uint8_t* s = packed.data();
        const uint8_t* const end = s + packed.size();
        std::vector<uint8_t> line(lineSize);
        TPCXRLE decoder;
        for (int y = 0; y < height; ++y) {
            const size_t out = decoder.Decode(s, line.data(), size_t(end - s), lineSize);
            if (out < lineSize) std::memset(line.data() + out, 0, lineSize - out);
            putRow(line.data(), y);
            if (out < lineSize) break;  // the data has run out: the rows below stay zero
        }
        return;
    }
    if (uint64_t(dataSize) < uint64_t(height) * lineSize) ReadError();
    std::vector<uint8_t> line(lineSize);
    for (int y = 0; y < height; ++y) {
        stream.ReadBuffer(line.data(), int64_t(lineSize));
        putRow(line.data(), y);
    }
}

TGraphicClass PCXGraphicClass() { return GraphicClassOf<TPCXGraphic>("TPCXGraphic"); }
