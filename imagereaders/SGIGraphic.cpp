// SGI pictures: plain or run-length channel rows, stored bottom row first, combined into grey,
// 24-bit or 32-bit bitmap rows. Row tables and row data are checked against the file.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <algorithm>
#include <cstring>

using namespace readers;

namespace {
[[noreturn]] void NotSGI() { throw Exception("Not a valid sgi, bw or rgb(a) image."); }
[[noreturn]] void Damaged() { throw EInvalidGraphic("Not a valid sgi, bw or rgb(a) image."); }
}  // namespace

void TSGIGraphic::LoadFromStream(TStream& stream) {
    Assign(TBitmap());
    const int64_t base = stream.Position();
    const int64_t fileEnd = stream.Size();
    const uint64_t fileSize = fileEnd > base ? uint64_t(fileEnd - base) : 0;  // from the header on
    uint8_t h[512] = {};
    ReadPlain(stream, h, sizeof h);
    if (Be16(h) != 474) NotSGI();

    const bool runLength = h[2] == 1;
    const size_t sampleSize = h[3] == 1 ? 1 : 2;
    const int width = Be16(h + 6), height = Be16(h + 8), depth = Be16(h + 10);
    // A z size of 0 names no channel to read from.
    if (depth == 0) Damaged();
    const int channels = depth == 3 ? 3 : depth == 4 ? 4 : 1;
    PrepareBitmap(*this, depth == 3 ? pf24bit : depth == 4 ? pf32bit : pf8bit, width, height);
    if (channels == 1) SetPalette(GreyPalette());
    if (width == 0 || height == 0) return;

    const size_t entries = size_t(height) * size_t(depth);
    std::vector<uint32_t> starts, lengths;
    if (runLength) {
        if (base + 512 + int64_t(entries) * 8 > fileEnd) Damaged();
        std::vector<uint8_t> tables(entries * 8);
        stream.ReadBuffer(tables.data(), int64_t(tables.size()));
        starts.resize(entries);
        lengths.resize(entries);
        for (size_t i = 0; i < entries; ++i) {
            starts[i] = Be32(tables.data() + 4 * i);
            lengths[i] = Be32(tables.data() + 4 * (entries + i));
        }
    }

    const size_t packedRoom = 3 * size_t(width) * sampleSize;
    std::vector<uint8_t> packed(packedRoom);
    std::vector<uint8_t> rows(size_t(channels) * size_t(width));
    TSGIRLE decoder(static_cast<int>(sampleSize));
    const size_t plainRow = size_t(width) * sampleSize;

    auto readChannelRow = [&](int c, int y, uint8_t* dest) {
        const size_t index = size_t(c) * size_t(height) + size_t(y);
        if (runLength) {
            // Writers give a row's length in bytes, or in samples (times the sample size): the
            // larger reading is read, as far as the file and the packed-row room reach. The row's
            // end marker stops the decoder; a row whose bytes are missing stays zero.
            const uint64_t start = starts[index];
            const uint64_t inFile = start < fileSize ? fileSize - start : 0;
            const size_t length = size_t(std::min<uint64_t>({uint64_t(lengths[index]) * sampleSize, packedRoom, inFile}));
            size_t got = 0;
            if (length > 0) {
                stream.SetPosition(base + int64_t(start));
                got = ReadPlain(stream, packed.data(), length);
            }
            const uint8_t* s = packed.data();
            const size_t produced = decoder.Decode(s, dest, got, size_t(width));
            if (produced < size_t(width)) std::memset(dest + produced, 0, size_t(width) - produced);
            return;
        }
        stream.SetPosition(base + 512 + int64_t(index) * int64_t(plainRow));
        if (sampleSize == 1) {
            const size_t n = ReadPlain(stream, dest, plainRow);
            if (n < plainRow) std::memset(dest + n, 0, plainRow - n);
            return;
        }
        // Two-byte samples: the first (most significant) byte of each.
        std::fill(packed.begin(), packed.begin() + int64_t(plainRow), 0);
        ReadPlain(stream, packed.data(), plainRow);
        for (int x = 0; x < width; ++x) dest[x] = packed[2 * size_t(x)];
    };

    for (int y = 0; y < height; ++y) {
        uint8_t* target = Row(*this, height - 1 - y);
        if (channels == 1) {
            readChannelRow(0, y, target);
            continue;
        }
        for (int c = 0; c < channels; ++c) readChannelRow(c, y, rows.data() + size_t(c) * size_t(width));
        const uint8_t* r = rows.data();
        const uint8_t* g = r + width;
        const uint8_t* b = g + width;
        if (channels == 3) {
            for (int x = 0; x < width; ++x, target += 3) {
                target[0] = b[x];
                target[1] = g[x];
                target[2] = r[x];
            }
        } else {
            const uint8_t* a = b + width;
            for (int x = 0; x < width; ++x, target += 4) {
                target[0] = b[x];
                target[1] = g[x];
                target[2] = r[x];
                target[3] = a[x];
            }
        }
    }
}

TGraphicClass SGIGraphicClass() { return GraphicClassOf<TSGIGraphic>("TSGIGraphic"); }
