// Photoshop files: the merged image after the colour-mode, resource and layer sections, raw or
// PackBits, one plane (bitmap, grey, indexed, duotone) or one plane per channel (RGB, CMYK, Lab)
// converted row by row. Samples of 16 bits keep their most significant byte.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <cstring>

using namespace readers;

namespace {

[[noreturn]] void Unsupported() { throw EInvalidGraphic("PSD: unsupported image layout"); }

uint32_t ReadBe32(TStream& stream) {
    uint8_t b[4];
    stream.ReadBuffer(b, 4);
    return Be32(b);
}

void SkipSection(TStream& stream) {
    const uint32_t length = ReadBe32(stream);
    if (int64_t(length) > BytesLeft(stream)) ReadError();
    stream.Seek(length, soCurrent);
}

}  // namespace

void TPSDGraphic::LoadFromStream(TStream& stream) {
    uint8_t h[26];
    stream.ReadBuffer(h, sizeof h);
    if (std::memcmp(h, "8BPS", 4) != 0) throw Exception("Not a valid psd file.");
    const int channels = Be16(h + 12);
    const int64_t height = Be32(h + 14), width = Be32(h + 18);
    const int depth = Be16(h + 22), mode = Be16(h + 24);

    const bool singlePlane = mode == 0 || mode == 1 || mode == 2 || mode == 8;
    const bool planar = mode == 3 || mode == 4 || mode == 9;
    const int planesNeeded = mode == 4 ? 4 : planar ? 3 : 1;
    if (singlePlane || planar) {
        if (mode == 0 ? depth != 1 : depth != 8 && depth != 16) Unsupported();
        if (channels < planesNeeded) Unsupported();
    }
    const TPixelFormat format = mode == 0 ? pf1bit : singlePlane ? pf8bit : planar ? pf24bit : PixelFormat();
    PrepareBitmap(*this, format, width, height);

    // Colour-mode data: the indexed colour table (its first 768 bytes); skipped in every mode.
    const uint32_t modeDataLength = ReadBe32(stream);
    if (int64_t(modeDataLength) > BytesLeft(stream)) ReadError();
    std::vector<uint8_t> colourTable(768, 0);
    const size_t tableBytes = std::min<size_t>(modeDataLength, 768);
    if (mode == 2) stream.ReadBuffer(colourTable.data(), int64_t(tableBytes));
    else stream.Seek(int64_t(tableBytes), soCurrent);
    stream.Seek(int64_t(modeDataLength - tableBytes), soCurrent);
    if (mode == 0) {
        SetPalette({TRGBQuad{255, 255, 255, 0}, TRGBQuad{0, 0, 0, 0}});
    } else if (mode == 1 || mode == 8) {
        SetPalette(GreyPalette());
    } else if (mode == 2) {
        std::vector<TRGBQuad> palette(256);
        for (size_t i = 0; i < 256; ++i) palette[i] = TRGBQuad{colourTable[512 + i], colourTable[256 + i], colourTable[i], 0};
        SetPalette(std::move(palette));
    }
    SkipSection(stream);  // image resources
    SkipSection(stream);  // layer and mask information
    if (!singlePlane && !planar) return;
    if (Empty()) return;

    uint8_t c[2];
    stream.ReadBuffer(c, 2);
    const bool packBits = Be16(c) == 1;
    const size_t w = size_t(width);
    const int rows = int(height);
    const size_t sampleSize = depth == 16 ? 2 : 1;
    const size_t rowBytes = mode == 0 ? (w + 7) / 8 : w * sampleSize;
    const size_t outBytes = mode == 0 ? rowBytes : w;  // bytes a converted row of one plane holds

    // Where each needed row of each needed plane starts, and how many bytes it has.
    const size_t tableEntries = size_t(channels) * size_t(rows);
    std::vector<uint16_t> counts;
    int64_t dataStart;
    if (packBits) {
        if (int64_t(tableEntries) * 2 > BytesLeft(stream)) ReadError();
        std::vector<uint8_t> table(tableEntries * 2);
        stream.ReadBuffer(table.data(), int64_t(table.size()));
        counts.resize(tableEntries);
        for (size_t i = 0; i < tableEntries; ++i) counts[i] = Be16(table.data() + 2 * i);
    }
    dataStart = stream.Position();
    std::vector<int64_t> planeStart(static_cast<size_t>(planesNeeded));
    {
        int64_t at = dataStart;
        for (int p = 0; p < planesNeeded; ++p) {
            planeStart[size_t(p)] = at;
            if (packBits) {
                for (int y = 0; y < rows; ++y) at += counts[size_t(p) * size_t(rows) + size_t(y)];
            } else {
                at += int64_t(rowBytes) * rows;
            }
        }
    }
    std::vector<int64_t> next = planeStart;

    TPackbitsRLE decoder;
    std::vector<uint8_t> packed;
    std::vector<uint8_t> line(rowBytes);
    std::vector<uint8_t> planes(size_t(planesNeeded) * outBytes);
    // Reads row y of plane p into `dest` (outBytes bytes, most significant byte of each sample).
    auto readPlaneRow = [&](int p, int y, uint8_t* dest) {
        stream.SetPosition(next[size_t(p)]);
        uint8_t* raw = sampleSize == 1 ? dest : line.data();
        if (packBits) {
            const size_t n = counts[size_t(p) * size_t(rows) + size_t(y)];
            packed.resize(n);
            stream.ReadBuffer(packed.data(), int64_t(n));
            const uint8_t* s = packed.data();
            const size_t produced = decoder.Decode(s, raw, n, rowBytes);
            if (produced < rowBytes) std::memset(raw + produced, 0, rowBytes - produced);
            next[size_t(p)] += int64_t(n);
        } else {
            stream.ReadBuffer(raw, int64_t(rowBytes));
            next[size_t(p)] += int64_t(rowBytes);
        }
        if (sampleSize == 2)
            for (size_t x = 0; x < w; ++x) dest[x] = line[2 * x];
    };

    for (int y = 0; y < rows; ++y) {
        if (singlePlane) {
            readPlaneRow(0, y, Row(*this, y));
            continue;
        }
        for (int p = 0; p < planesNeeded; ++p) readPlaneRow(p, y, planes.data() + size_t(p) * w);
        uint8_t* p0 = planes.data();
        uint8_t *p1 = p0 + w, *p2 = p1 + w, *p3 = p2 + w;
        uint8_t* target = Row(*this, y);
        if (mode == 3) {
            ConvertPlanarRGBToBGR(p0, p1, p2, target, w, 8);
        } else if (mode == 4) {
            for (size_t i = 0; i < 4 * w; ++i) p0[i] = uint8_t(255 - p0[i]);
            ConvertPlanarCMYKToBGR(p0, p1, p2, p3, target, w, 8);
        } else {
            for (size_t i = 0; i < 2 * w; ++i) p1[i] = uint8_t(p1[i] + 128);
            ConvertPlanarCIELabToBGR(p0, p1, p2, target, w);
        }
    }
}

TGraphicClass PSDGraphicClass() { return GraphicClassOf<TPSDGraphic>("TPSDGraphic"); }
