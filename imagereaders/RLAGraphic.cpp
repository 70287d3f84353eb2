// Wavefront RLA pictures: a 740-byte header, a table of row offsets, and rows of run-length
// channel records (red, green, blue and the matte), combined into 24 or 32-bit rows.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <cstdlib>
#include <cstring>

using namespace readers;

void TRLAGraphic::LoadFromStream(TStream& stream) {
    Assign(TBitmap());
    const int64_t base = stream.Position();
    uint8_t h[740];
    stream.ReadBuffer(h, sizeof h);
    const int channelCount = Be16(h + 20), matteCount = Be16(h + 22);
    if (channelCount != 3 && channelCount != 4) throw Exception("RLA: image must be RGB(A).");
    const int left = int16_t(Be16(h + 8)), right = int16_t(Be16(h + 10));
    const int bottom = int16_t(Be16(h + 12)), top = int16_t(Be16(h + 14));
    const bool alpha = matteCount != 0;
    const int64_t width = int64_t(right) - left + 1, height = std::abs(bottom - top) + 1;
    if (width < 0) throw EInvalidGraphic("Invalid bitmap size");
    PrepareBitmap(*this, alpha ? pf32bit : pf24bit, width, height);
    const bool bottomUp = bottom < top;
    if (Empty()) return;

    if (height * 4 > BytesLeft(stream)) ReadError();
    std::vector<uint8_t> table(size_t(height) * 4);
    stream.ReadBuffer(table.data(), int64_t(table.size()));

    const size_t w = size_t(width);
    const int channels = alpha ? 4 : 3;
    std::vector<uint8_t> packed(2 * w);
    std::vector<uint8_t> rows(4 * w);
    TRLADecoder decoder;
    for (int y = 0; y < int(height); ++y) {
        stream.SetPosition(base + int64_t(Be32(table.data() + 4 * size_t(y))));
        for (int c = 0; c < channels; ++c) {
            uint8_t n[2];
            stream.ReadBuffer(n, 2);
            const size_t length = Be16(n);
            if (length > packed.size()) throw EInvalidGraphic("RLA: damaged row");
            stream.ReadBuffer(packed.data(), int64_t(length));
            uint8_t* dest = rows.data() + size_t(c) * w;
            const uint8_t* s = packed.data();
            const size_t produced = decoder.Decode(s, dest, length, w);
            if (produced < w) std::memset(dest + produced, 0, w - produced);
        }
        uint8_t* target = Row(*this, bottomUp ? int(height) - 1 - y : y);
        const uint8_t *r = rows.data(), *g = r + w, *b = g + w, *a = b + w;
        if (alpha) {
            for (size_t x = 0; x < w; ++x, target += 4) {
                target[0] = b[x];
                target[1] = g[x];
                target[2] = r[x];
                target[3] = a[x];
            }
        } else {
            for (size_t x = 0; x < w; ++x, target += 3) {
                target[0] = b[x];
                target[1] = g[x];
                target[2] = r[x];
            }
        }
    }
}

TGraphicClass RLAGraphicClass() { return GraphicClassOf<TRLAGraphic>("TRLAGraphic"); }
