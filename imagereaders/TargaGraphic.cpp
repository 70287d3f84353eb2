// Truevision Targa pictures: reading raw and run-length files of 8 to 32 bits per pixel, and
// writing run-length files, rows from the top. Run-length packets may cross row ends (older
// writers did so): a packet is cut at the row's end and its rest carried into the next row.
#include "ImageDecoders.h"
#include "ImageReaders.h"
#include "ReaderSupport.h"

#include <algorithm>
#include <cstring>

using namespace readers;

namespace {

[[noreturn]] void InvalidImage() { throw Exception("Targa: invalid image"); }

constexpr const char* kConvertQuestion = "Targa image: 1 or 4 bit color depth not allowed. Convert to 256 colors?";

/// Decodes run-length packets of `pixelSize` bytes row after row; a packet's pixels past the
/// end of a row go on into the next one.
class TTargaRowDecoder {
public:
    TTargaRowDecoder(TByteSource& source, size_t pixelSize) : FSource(source), FPixelSize(pixelSize) {}

    /// Fills `count` pixels of `row`; false when the data ends first.
    bool DecodeRow(uint8_t* row, size_t count) {
        size_t x = 0;
        while (x < count) {
            if (FLeft == 0) {
                const int header = FSource.Get();
                if (header < 0) return false;
                FRun = header & 0x80;
                FLeft = size_t(header & 0x7F) + 1;
                if (FRun && FSource.Take(FPixel, FPixelSize) != FPixelSize) return false;
            }
            const size_t n = std::min(FLeft, count - x);
            uint8_t* d = row + x * FPixelSize;
            if (FRun) {
                if (FPixelSize == 1) {
                    std::memset(d, FPixel[0], n);
                } else {
                    for (size_t i = 0; i < n; ++i, d += FPixelSize) std::memcpy(d, FPixel, FPixelSize);
                }
            } else if (FSource.Take(d, n * FPixelSize) != n * FPixelSize) {
                return false;
            }
            x += n;
            FLeft -= n;
        }
        return true;
    }

private:
    TByteSource& FSource;
    size_t FPixelSize;
    size_t FLeft = 0;
    bool FRun = false;
    uint8_t FPixel[4] = {0, 0, 0, 0};
};

}  // namespace

TTargaGraphic::TTargaGraphic() { SetPixelFormat(pf24bit); }

void TTargaGraphic::LoadFromStream(TStream& stream) {
    uint8_t h[18];
    stream.ReadBuffer(h, sizeof h);
    const bool topFirst = (h[17] & 0x20) != 0;
    FIdentifier.assign(h[0], '\0');
    if (h[0]) stream.ReadBuffer(FIdentifier.data(), h[0]);

    const int imageType = h[2];
    const bool raw = imageType >= 1 && imageType <= 3;
    const bool packed = imageType >= 9 && imageType <= 11;
    const bool grey = imageType == 3 || imageType == 11;
    const int bits = h[16];
    TPixelFormat format;
    size_t pixelSize;
    switch (bits) {
        case 8: format = pf8bit; pixelSize = 1; break;
        case 15:
        case 16: format = pf15bit; pixelSize = 2; break;
        case 24: format = pf24bit; pixelSize = 3; break;
        case 32: format = pf32bit; pixelSize = 4; break;
        default:
            // A file without pixel data may carry any pixel size; one with pixels may not.
            if (raw || packed) InvalidImage();
            format = PixelFormat();
            pixelSize = 0;
    }

    // The colour map is read (and so skipped) whenever the file has one.
    std::vector<TRGBQuad> palette;
    if (grey) {
        palette = GreyPalette();
    }
    if (h[1] == 1) {
        const size_t length = Le16(h + 5);
        const int entryBits = h[7];
        const size_t entrySize = entryBits == 24 ? 3 : entryBits == 32 ? 4 : 2;
        if (int64_t(length * entrySize) > BytesLeft(stream)) ReadError();
        std::vector<uint8_t> map(length * entrySize);
        stream.ReadBuffer(map.data(), int64_t(map.size()));
        if (!grey) {
            // Entries past 256 do not fit the bitmap's palette: they are read and dropped.
            palette.resize(std::min<size_t>(length, 256));
            for (size_t i = 0; i < palette.size(); ++i) {
                const uint8_t* e = map.data() + i * entrySize;
                if (entrySize >= 3) {
                    palette[i] = TRGBQuad{e[0], e[1], e[2], 0};
                } else {
                    const unsigned v = Le16(e);
                    palette[i] = TRGBQuad{uint8_t((v & 31) << 3), uint8_t(((v >> 5) & 31) << 3), uint8_t(((v >> 10) & 31) << 3), 0};
                }
            }
        }
    }

    const int width = Le16(h + 12), height = Le16(h + 14);
    PrepareBitmap(*this, format, width, height);
    if (format == pf8bit && (grey || h[1] == 1)) SetPalette(palette);
    if ((!raw && !packed) || Empty()) return;

    const size_t lineSize = pixelSize * size_t(width);
    auto rowFor = [&](int r) { return Row(*this, topFirst ? r : height - 1 - r); };
    if (raw) {
        for (int r = 0; r < height; ++r)
            if (ReadPlain(stream, rowFor(r), lineSize) != lineSize) InvalidImage();
        return;
    }
    TByteSource source(stream);
    TTargaRowDecoder decoder(source, pixelSize);
    for (int r = 0; r < height; ++r) {
        if (!decoder.DecodeRow(rowFor(r), size_t(width))) InvalidImage();
    }
    source.Release();
}

void TTargaGraphic::ConvertTo8Bits() {
    // Indices and palette are kept as they are, so every colour stays exact.
    const TBitmap source = *this;
    const int bits = BitsPerPixel(source.PixelFormat());
    std::vector<TRGBQuad> palette = source.Palette();
    Assign(TBitmap());
    SetPixelFormat(pf8bit);
    SetSize(source.Width(), source.Height());
    palette.resize(256);
    SetPalette(std::move(palette));
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* from = static_cast<const uint8_t*>(source.ScanLine(y));
        uint8_t* to = Row(*this, y);
        for (int x = 0; x < source.Width(); ++x)
            to[x] = bits == 1 ? uint8_t(from[x >> 3] >> (7 - (x & 7)) & 1) : uint8_t((x & 1) ? from[x >> 1] & 15 : from[x >> 1] >> 4);
    }
}

void TTargaGraphic::SaveToStream(TStream& stream) {
    TPixelFormat format = PixelFormat();
    if (format == pf1bit || format == pf4bit) {
        if (!AskGraphicQuestion(kConvertQuestion)) return;
        ConvertTo8Bits();
        format = pf8bit;
    }
    int pixelSize;
    switch (format) {
        case pf8bit: pixelSize = 1; break;
        case pf15bit:
        case pf16bit: pixelSize = 2; break;
        case pf24bit: pixelSize = 3; break;
        default: pixelSize = 4; break;  // 32 bits, and the device format (held as 32 bits)
    }
    const int width = Width(), height = Height();
    const std::string id = FIdentifier.substr(0, 255);

    std::vector<uint8_t> out;
    out.reserve(18 + id.size() + 768);
    const uint8_t header[18] = {
        uint8_t(id.size()), uint8_t(pixelSize == 1 ? 1 : 0), uint8_t(pixelSize == 1 ? 9 : 10), 0, 0,
        0, 1,  // colour map length 256
        24, 0, 0, 0, 0,
        uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8), uint8_t(8 * pixelSize),
        0x20,  // rows are written from the top
    };
    out.insert(out.end(), header, header + 18);
    out.insert(out.end(), id.begin(), id.end());
    if (pixelSize == 1) {
        const std::vector<TRGBQuad>& palette = Palette();
        for (size_t i = 0; i < 256; ++i) {
            const TRGBQuad q = i < palette.size() ? palette[i] : TRGBQuad{};
            out.push_back(q.rgbBlue);
            out.push_back(q.rgbGreen);
            out.push_back(q.rgbRed);
        }
    }
    auto write = [&](const uint8_t* data, size_t count) {
        if (stream.Write(data, int64_t(count)) != int64_t(count)) throw Exception("Targa: could not write image data");
    };
    write(out.data(), out.size());

    std::vector<uint8_t> packed(TargaPackedBound(size_t(width), pixelSize));
    std::vector<uint8_t> line(size_t(width) * 2);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(static_cast<const TBitmap&>(*this).ScanLine(y));
        if (format == pf16bit) {
            // 5-6-5 words become the 5-5-5 words the file holds.
            for (int x = 0; x < width; ++x) {
                const unsigned v = Le16(row + 2 * x);
                const unsigned w = (v >> 1 & 0x7FE0) | (v & 31);
                line[2 * size_t(x)] = uint8_t(w);
                line[2 * size_t(x) + 1] = uint8_t(w >> 8);
            }
            row = line.data();
        }
        write(packed.data(), EncodeTargaRLE(row, packed.data(), size_t(width), pixelSize));
    }
}

TGraphicClass TargaGraphicClass() { return GraphicClassOf<TTargaGraphic>("TTargaGraphic"); }
