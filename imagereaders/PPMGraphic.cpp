// Portable bit, grey and pixel maps: a "P" header with the kind, the size and (for grey and
// pixel maps) the maximum value, then text numbers or binary samples, read through a buffer.
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <cstring>

using namespace readers;

namespace {

[[noreturn]] void ShortData() { throw Exception("PPM: Stream read error."); }

class TPPMReader {
public:
    explicit TPPMReader(TStream& stream) : FSource(stream, 4096) {}

    int Get() { return FSource.Get(); }
    int Must() {
        const int c = FSource.Get();
        if (c < 0) ShortData();
        return c;
    }
    /// The next character that is a digit, skipping others and "#" comments to their line end.
    int NextDigit() {
        for (;;) {
            int c = Must();
            if (c >= '0' && c <= '9') return c;
            if (c == '#')
                while (c != '\n' && c != '\r') c = Must();
        }
    }
    /// A decimal number (large values are held at a billion); the character after it is used.
    uint32_t Number() {
        uint32_t v = uint32_t(NextDigit() - '0');
        for (;;) {
            const int c = Get();
            if (c < '0' || c > '9') return v;
            v = v > 100000000u ? 1000000000u : v * 10 + uint32_t(c - '0');
        }
    }
    void Take(uint8_t* dest, size_t count) {
        if (FSource.Take(dest, count) != count) ShortData();
    }

private:
    TByteSource FSource;
};

}  // namespace

void TPPMGraphic::LoadFromStream(TStream& stream) {
    TPPMReader in(stream);
    if (in.Get() != 'P') throw Exception("Not a valid ppm file.");
    const int kind = in.Get() - '0';
    if (kind < 1 || kind > 6) throw Exception("Not a valid ppm file.");
    const bool bitmap = kind == 1 || kind == 4, grey = kind == 2 || kind == 5;
    const int64_t width = in.Number();
    const int64_t height = in.Number();
    uint32_t maxValue = 1;
    if (!bitmap) maxValue = in.Number();
    // The one character after the last header number ends the header (Number used it).

    PrepareBitmap(*this, bitmap ? pf1bit : grey ? pf8bit : pf24bit, width, height);
    if (bitmap) SetPalette({TRGBQuad{255, 255, 255, 0}, TRGBQuad{0, 0, 0, 0}});
    else if (grey) SetPalette(GreyPalette());
    if (Empty()) return;

    const size_t w = size_t(width);
    const size_t samples = w * (kind == 3 || kind == 6 ? 3 : 1);
    const size_t sampleSize = maxValue > 255 ? 2 : 1;
    std::vector<uint8_t> line(kind == 4 ? (w + 7) / 8 : samples * sampleSize);
    for (int y = 0; y < int(height); ++y) {
        uint8_t* row = Row(*this, y);
        switch (kind) {
            case 1:  // one digit a pixel, blanks optional
                for (size_t x = 0; x < w; ++x)
                    if (in.NextDigit() & 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
                break;
            case 2:
            case 3:
                for (size_t i = 0; i < samples; ++i) line[i] = uint8_t(in.Number());
                break;
            case 4:
                in.Take(row, line.size());
                break;
            default:
                in.Take(line.data(), line.size());
                if (sampleSize == 2)
                    for (size_t i = 0; i < samples; ++i) line[i] = line[2 * i];
        }
        if (kind == 2 || kind == 5) {
            std::memcpy(row, line.data(), w);
        } else if (kind == 3 || kind == 6) {
            const uint8_t* s = line.data();
            for (size_t x = 0; x < w; ++x, s += 3, row += 3) {
                row[0] = s[2];
                row[1] = s[1];
                row[2] = s[0];
            }
        }
    }
}

TGraphicClass PPMGraphicClass() { return GraphicClassOf<TPPMGraphic>("TPPMGraphic"); }
