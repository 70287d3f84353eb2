// Photo-CD pictures: one of the three base resolutions, luma rows in pairs sharing subsampled
// chroma, converted to 24-bit colour and placed as the file's orientation turns the picture.
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <cmath>
#include <cstring>

using namespace readers;

namespace {

struct TPCDResolution {
    int64_t Offset;
    int Width, Height;  // stored width (the longer side) and height
};
constexpr TPCDResolution kResolutions[] = {{8192, 192, 128}, {47104, 384, 256}, {196608, 768, 512}};

inline uint8_t Channel(double v) {
    const double r = std::nearbyint(v);  // halves to even
    return uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
}

}  // namespace

void TPCDGraphic::LoadFromStream(TStream& stream) {
    Assign(TBitmap());
    const int64_t base = stream.Position();
    char signature[7];
    stream.SetPosition(base + 2048);
    stream.ReadBuffer(signature, sizeof signature);
    if (std::memcmp(signature, "PCD_IPI", 7) != 0) throw Exception("PCD: wrong image format.");
    uint8_t attribute;
    stream.SetPosition(base + 194635);
    stream.ReadBuffer(&attribute, 1);
    const int orientation = attribute & 3;
    if (Resolution > 2) throw Exception("PCD: image size currently not supported");
    const TPCDResolution res = kResolutions[Resolution];
    const int w = res.Width, h = res.Height;
    const bool portrait = orientation == 1 || orientation == 3;
    PrepareBitmap(*this, pf24bit, portrait ? h : w, portrait ? w : h);

    const size_t half = size_t(w) / 2;
    std::vector<uint8_t> group(3 * size_t(w));
    std::vector<uint8_t> next(static_cast<size_t>(w));
    // Chroma lines with one extra sample each (a copy of the last).
    std::vector<uint8_t> c1a(half + 1), c2a(half + 1), c1b(half + 1), c2b(half + 1);
    std::vector<uint8_t> c1(static_cast<size_t>(w)), c2(static_cast<size_t>(w));
    std::vector<uint8_t> pixels(3 * size_t(w));

    auto convertRow = [&](const uint8_t* luma) {
        for (int x = 0; x < w; ++x) {
            const double l = 1.3584 * luma[x];
            const double d1 = double(c1[size_t(x)]) - 156.0, d2 = double(c2[size_t(x)]) - 137.0;
            uint8_t* p = pixels.data() + 3 * size_t(x);
            p[0] = Channel(l + 2.2179 * d1);
            p[1] = Channel(l - 0.9271435 * d2 - 0.4302726 * d1);
            p[2] = Channel(l + 1.8215 * d2);
        }
    };
    auto place = [&](int y) {  // the converted stored row y into the bitmap
        const uint8_t* p = pixels.data();
        switch (orientation) {
            case 0:
                std::memcpy(Row(*this, y), p, 3 * size_t(w));
                break;
            case 2: {  // turned half round: rows from the bottom, pixels reversed
                uint8_t* row = Row(*this, h - 1 - y);
                for (int x = 0; x < w; ++x) std::memcpy(row + 3 * size_t(w - 1 - x), p + 3 * size_t(x), 3);
                break;
            }
            default:
                for (int x = 0; x < w; ++x)
                    std::memcpy(Row(*this, orientation == 1 ? w - 1 - x : x) + 3 * size_t(y), p + 3 * size_t(x), 3);
        }
    };

    for (int y = 0; y < h; y += 2) {
        stream.SetPosition(base + res.Offset + int64_t(y / 2) * 3 * w);
        stream.ReadBuffer(group.data(), int64_t(group.size()));
        std::memcpy(c1a.data(), group.data() + 2 * w, half);
        std::memcpy(c2a.data(), group.data() + 2 * w + half, half);
        if (y < h - 2) {
            stream.SetPosition(base + res.Offset + int64_t((y + 2) / 2) * 3 * w + 2 * w);
            stream.ReadBuffer(next.data(), int64_t(next.size()));
            std::memcpy(c1b.data(), next.data(), half);
            std::memcpy(c2b.data(), next.data() + half, half);
        } else {
            std::memcpy(c1b.data(), c1a.data(), half);
            std::memcpy(c2b.data(), c2a.data(), half);
        }
        for (auto* c : {&c1a, &c2a, &c1b, &c2b}) (*c)[half] = (*c)[half - 1];

        for (size_t i = 0; i < half; ++i) {
            c1[2 * i] = c1a[i];
            c1[2 * i + 1] = uint8_t((c1a[i] + c1a[i + 1]) / 2);
            c2[2 * i] = c2a[i];
            c2[2 * i + 1] = uint8_t((c2a[i] + c2a[i + 1]) / 2);
        }
        convertRow(group.data());
        place(y);
        for (size_t i = 0; i < half; ++i) {
            c1[2 * i] = uint8_t((c1a[i] + c1b[i]) / 2);
            c1[2 * i + 1] = uint8_t((c1a[i] + c1a[i + 1] + c1b[i] + c1b[i + 1]) / 4);
            c2[2 * i] = uint8_t((c2a[i] + c2b[i]) / 2);
            c2[2 * i + 1] = uint8_t((c2a[i] + c2a[i + 1] + c2b[i] + c2b[i + 1]) / 4);
        }
        convertRow(group.data() + w);
        place(y + 1);
    }
}

TGraphicClass PCDGraphicClass() { return GraphicClassOf<TPCDGraphic>("TPCDGraphic"); }
