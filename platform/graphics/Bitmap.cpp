// Bitmap storage, pixel-format conversion, the BMP file reader and writer, and the
// device-independent bitmap exchange used by PrintBitmap and StretchDIBits.
#include "Bitmap.h"

#include "Canvas.h"
#include "Streams.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kMaxPixelBytes = int64_t(1) << 30;

int StrideFor(int width, int bits) { return static_cast<int>(((int64_t(width) * bits + 31) / 32) * 4); }

std::vector<TRGBQuad> DefaultPalette(TPixelFormat f) {
    std::vector<TRGBQuad> p;
    if (f == pf1bit) {
        p = {TRGBQuad{0, 0, 0, 0}, TRGBQuad{255, 255, 255, 0}};
    } else if (f == pf4bit) {
        static const uint8_t vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                           {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                           {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                           {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (auto& c : vga) p.push_back(TRGBQuad{c[2], c[1], c[0], 0});
    } else if (f == pf8bit) {
        for (int i = 0; i < 256; ++i) p.push_back(TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
    }
    return p;
}

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void Put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void Put32(uint8_t* p, uint32_t v) { Put16(p, v); Put16(p + 2, v >> 16); }

}  // namespace

struct TBitmap::Data {
    int Width = 0, Height = 0;
    TPixelFormat Format = pfDevice;
    int Stride = 0;
    std::vector<uint8_t> Pixels;
    std::vector<TRGBQuad> Palette;
};

int BitsPerPixel(TPixelFormat f) {
    switch (f) {
        case pf1bit: return 1;
        case pf4bit: return 4;
        case pf8bit: return 8;
        case pf15bit:
        case pf16bit: return 16;
        case pf24bit: return 24;
        default: return 32;
    }
}

// Every empty bitmap shares one empty image (each drawing record holds a bitmap, most of them
// empty); the first change detaches it like any other shared image.
TBitmap::TBitmap()
    : FData([] {
          static const std::shared_ptr<Data> empty = std::make_shared<Data>();
          return empty;
      }()) {}

int TBitmap::Width() const { return FData->Width; }
int TBitmap::Height() const { return FData->Height; }
TPixelFormat TBitmap::PixelFormat() const { return FData->Format; }
int TBitmap::BytesPerScanLine() const { return FData->Stride; }
const std::vector<TRGBQuad>& TBitmap::Palette() const { return FData->Palette; }

void TBitmap::Detach() {
    if (FData.use_count() > 1) FData = std::make_shared<Data>(*FData);
}

void TBitmap::SetSize(int width, int height) {
    if (width < 0 || height < 0) throw EInvalidGraphic("Invalid bitmap size");
    const int stride = StrideFor(width, BitsPerPixel(FData->Format));
    if (int64_t(stride) * height > kMaxPixelBytes) throw EInvalidGraphic("Invalid bitmap size");
    if (width == FData->Width && height == FData->Height) return;
    Detach();
    Data& d = *FData;
    std::vector<uint8_t> pixels(size_t(stride) * height, 0);
    const int keepRows = std::min(height, d.Height);
    const int keepBytes = std::min(stride, d.Stride);
    for (int y = 0; y < keepRows; ++y)
        std::memcpy(pixels.data() + size_t(y) * stride, d.Pixels.data() + size_t(y) * d.Stride, keepBytes);
    d.Width = width;
    d.Height = height;
    d.Stride = stride;
    d.Pixels = std::move(pixels);
}

void* TBitmap::ScanLine(int row) {
    if (row < 0 || row >= FData->Height) throw EInvalidGraphic("Scan line index out of range");
    Detach();
    return FData->Pixels.data() + size_t(row) * FData->Stride;
}

const void* TBitmap::ScanLine(int row) const {
    if (row < 0 || row >= FData->Height) throw EInvalidGraphic("Scan line index out of range");
    return FData->Pixels.data() + size_t(row) * FData->Stride;
}

void TBitmap::SetPalette(std::vector<TRGBQuad> entries) {
    Detach();
    if (entries.size() > 256) entries.resize(256);
    FData->Palette = std::move(entries);
}

TColor TBitmap::Pixel(int x, int y) const {
    const Data& d = *FData;
    if (x < 0 || y < 0 || x >= d.Width || y >= d.Height) return clBlack;
    const uint8_t* row = d.Pixels.data() + size_t(y) * d.Stride;
    auto fromPalette = [&](unsigned i) {
        if (i >= d.Palette.size()) return clBlack;
        const TRGBQuad& q = d.Palette[i];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    };
    switch (d.Format) {
        case pf1bit: return fromPalette((row[x >> 3] >> (7 - (x & 7))) & 1);
        case pf4bit: return fromPalette((x & 1) ? (row[x >> 1] & 15) : (row[x >> 1] >> 4));
        case pf8bit: return fromPalette(row[x]);
        case pf15bit: {
            const unsigned v = Le16(row + 2 * x);
            return RGB(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
        }
        case pf16bit: {
            const unsigned v = Le16(row + 2 * x);
            return RGB(((v >> 11) & 31) * 255 / 31, ((v >> 5) & 63) * 255 / 63, (v & 31) * 255 / 31);
        }
        case pf24bit: return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        default: return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
}

namespace {

int NearestIndex(const std::vector<TRGBQuad>& pal, TColor c) {
    int best = 0;
    long bestDist = -1;
    for (size_t i = 0; i < pal.size(); ++i) {
        const long dr = pal[i].rgbRed - GetRValue(c), dg = pal[i].rgbGreen - GetGValue(c),
                   db = pal[i].rgbBlue - GetBValue(c);
        const long dist = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || dist < bestDist) { best = int(i); bestDist = dist; }
        if (dist == 0) break;
    }
    return best;
}

void StorePixel(uint8_t* row, TPixelFormat f, int x, TColor c, const std::vector<TRGBQuad>& pal) {
    const unsigned r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (f) {
        case pf1bit: {
            const uint8_t bit = uint8_t(0x80 >> (x & 7));
            if (NearestIndex(pal, c)) row[x >> 3] |= bit; else row[x >> 3] &= uint8_t(~bit);
            break;
        }
        case pf4bit: {
            const unsigned i = unsigned(NearestIndex(pal, c)) & 15;
            uint8_t& byte = row[x >> 1];
            byte = (x & 1) ? uint8_t((byte & 0xF0) | i) : uint8_t((byte & 0x0F) | (i << 4));
            break;
        }
        case pf8bit: row[x] = uint8_t(NearestIndex(pal, c)); break;
        case pf15bit: Put16(row + 2 * x, ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); break;
        case pf16bit: Put16(row + 2 * x, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); break;
        case pf24bit: row[3 * x] = uint8_t(b); row[3 * x + 1] = uint8_t(g); row[3 * x + 2] = uint8_t(r); break;
        default: row[4 * x] = uint8_t(b); row[4 * x + 1] = uint8_t(g); row[4 * x + 2] = uint8_t(r); row[4 * x + 3] = 0; break;
    }
}

}  // namespace

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == FData->Format) return;
    const int stride = StrideFor(FData->Width, BitsPerPixel(format));
    if (int64_t(stride) * FData->Height > kMaxPixelBytes) throw EInvalidGraphic("Invalid bitmap size");
    const TBitmap old = *this;
    auto data = std::make_shared<Data>();
    Data& d = *data;
    d.Width = FData->Width;
    d.Height = FData->Height;
    d.Format = format;
    d.Palette = DefaultPalette(format);
    d.Stride = stride;
    d.Pixels.assign(size_t(stride) * d.Height, 0);
    FData = data;
    for (int y = 0; y < d.Height; ++y) {
        uint8_t* row = d.Pixels.data() + size_t(y) * d.Stride;
        for (int x = 0; x < d.Width; ++x) StorePixel(row, format, x, old.Pixel(x, y), d.Palette);
    }
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const { canvas.StretchDrawBitmap(rect, *this); }

// ---- BMP files ----------------------------------------------------------------------------

namespace {

struct DibHeader {
    int Width = 0, Height = 0;
    bool TopDown = false;
    int Bits = 0;
    uint32_t Compression = 0;
    uint32_t Masks[3] = {0, 0, 0};
    std::vector<TRGBQuad> Palette;
};

[[noreturn]] void BadBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

int MaskShift(uint32_t m) { int s = 0; while (m && !(m & 1)) { m >>= 1; ++s; } return s; }
int MaskBits(uint32_t m) { m >>= MaskShift(m); int n = 0; while (m & 1) { m >>= 1; ++n; } return n; }
unsigned Channel(uint32_t v, uint32_t m) {
    if (!m) return 0;
    const int bits = MaskBits(m);
    const uint32_t raw = (v & m) >> MaskShift(m);
    return bits >= 8 ? raw >> (bits - 8) : (bits ? raw * 255 / ((1u << bits) - 1) : 0);
}

/// Parses the info header (`info` holds `size` bytes starting with its size field) and the colour
/// table that follows within `avail` bytes.
DibHeader ParseInfo(const uint8_t* info, uint32_t avail) {
    DibHeader h;
    if (avail < 12) BadBitmap();
    const uint32_t size = Le32(info);
    if (size < 12 || size > avail) BadBitmap();
    uint32_t colours = 0;
    int entryBytes = 4;
    if (size == 12) {
        h.Width = Le16(info + 4);
        h.Height = Le16(info + 6);
        h.Bits = Le16(info + 10);
        entryBytes = 3;
    } else {
        if (size < 40) BadBitmap();
        h.Width = int32_t(Le32(info + 4));
        const int32_t height = int32_t(Le32(info + 8));
        h.TopDown = height < 0;
        if (height == INT32_MIN) BadBitmap();
        h.Height = height < 0 ? -height : height;
        h.Bits = Le16(info + 14);
        h.Compression = Le32(info + 16);
        colours = Le32(info + 32);
        if (h.Compression == 3) {
            if (size >= 52) {
                for (int i = 0; i < 3; ++i) h.Masks[i] = Le32(info + 40 + 4 * i);
            } else {
                if (avail < size + 12) BadBitmap();
                for (int i = 0; i < 3; ++i) h.Masks[i] = Le32(info + size + 4 * i);
            }
        }
    }
    if (h.Width <= 0 || h.Height <= 0 || h.Width > 65535 || h.Height > 65535) BadBitmap();
    const int b = h.Bits;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) BadBitmap();
    if (h.Compression > 3 || (h.Compression == 1 && b != 8) || (h.Compression == 2 && b != 4) ||
        (h.Compression == 3 && b != 16 && b != 32))
        BadBitmap();
    if (b <= 8) {
        if (colours == 0 || colours > (1u << b)) colours = 1u << b;
        uint32_t tableAt = size + (h.Compression == 3 && size < 52 ? 12 : 0);
        if (uint64_t(tableAt) + uint64_t(colours) * entryBytes > avail) {
            // A colour table cut short: keep the entries that are present.
            colours = (avail > tableAt) ? (avail - tableAt) / entryBytes : 0;
        }
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t* e = info + tableAt + i * entryBytes;
            h.Palette.push_back(TRGBQuad{e[0], e[1], e[2], 0});
        }
    }
    if (h.Compression != 3 && b == 16) { h.Masks[0] = 0x7C00; h.Masks[1] = 0x03E0; h.Masks[2] = 0x001F; }
    return h;
}

TPixelFormat FormatFor(const DibHeader& h) {
    switch (h.Bits) {
        case 1: return pf1bit;
        case 4: return pf4bit;
        case 8: return pf8bit;
        case 16:
            if (h.Masks[0] == 0x7C00 && h.Masks[1] == 0x03E0 && h.Masks[2] == 0x001F) return pf15bit;
            if (h.Masks[0] == 0xF800 && h.Masks[1] == 0x07E0 && h.Masks[2] == 0x001F) return pf16bit;
            return pf24bit;
        case 24: return pf24bit;
        default: return pf32bit;
    }
}

/// Decodes RLE8/RLE4 data straight into the rows of `bmp` (8 or 4 bits per pixel); each pixel the
/// data names is written once, pixels it skips keep index 0. Bad codes end the decoding.
void DecodeRle(const uint8_t* src, size_t n, const DibHeader& h, TBitmap& bmp) {
    const bool four = h.Compression == 2;
    const int width = h.Width, height = h.Height;
    int x = 0, y = 0;
    uint8_t* row = nullptr;
    auto rowAt = [&]() {
        row = y < height ? static_cast<uint8_t*>(bmp.ScanLine(h.TopDown ? y : height - 1 - y)) : nullptr;
    };
    rowAt();
    auto put = [&](unsigned v) {
        if (x < width && row) {
            if (!four) row[x] = uint8_t(v);
            else row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (v & 15)) : uint8_t((row[x >> 1] & 0x0F) | (v << 4));
        }
        ++x;
    };
    size_t i = 0;
    while (i + 1 < n && y < height) {
        const unsigned count = src[i], value = src[i + 1];
        i += 2;
        if (count) {
            // A run beyond the row's end writes nothing more.
            const unsigned stored = x < width ? std::min<unsigned>(count, unsigned(width - x)) : 0;
            for (unsigned k = 0; k < stored; ++k) put(four ? ((k & 1) ? value & 15 : value >> 4) : value);
            x += int(count - stored);
        } else if (value == 0) {
            x = 0; ++y; rowAt();
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= n) break;
            x += src[i];
            if (src[i + 1]) { y += src[i + 1]; rowAt(); }
            i += 2;
        } else {
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > n) break;
            for (unsigned k = 0; k < value; ++k)
                put(four ? ((k & 1) ? src[i + k / 2] & 15 : src[i + k / 2] >> 4) : src[i + k]);
            i += (bytes + 1) & ~size_t(1);
        }
        if (x > width) x = width;  // keeps the column from growing without bound on long rows
    }
}

/// Fills `out` from DIB bits of `avail` bytes; raises "Stream read error" when too few.
void FillFromBits(const DibHeader& h, const uint8_t* bits, size_t avail, TBitmap& out) {
    CheckPixelBudget(h.Width, h.Height);
    const TPixelFormat f = FormatFor(h);
    TBitmap bmp;
    bmp.SetPixelFormat(f);
    bmp.SetSize(h.Width, h.Height);
    if (!h.Palette.empty()) bmp.SetPalette(h.Palette);
    auto destRow = [&](int fileRow) { return static_cast<uint8_t*>(bmp.ScanLine(h.TopDown ? fileRow : h.Height - 1 - fileRow)); };
    if (h.Compression == 1 || h.Compression == 2) {
        DecodeRle(bits, avail, h, bmp);
        out = bmp;
        return;
    }
    const int stride = StrideFor(h.Width, h.Bits);
    if (uint64_t(stride) * h.Height > avail) throw EReadError("Stream read error");
    const bool direct = (f != pf24bit || h.Bits == 24) && (f != pf32bit || h.Compression != 3 ||
                        (h.Masks[0] == 0xFF0000 && h.Masks[1] == 0xFF00 && h.Masks[2] == 0xFF));
    for (int r = 0; r < h.Height; ++r) {
        const uint8_t* src = bits + size_t(r) * stride;
        uint8_t* row = destRow(r);
        if (direct) {
            std::memcpy(row, src, size_t(bmp.BytesPerScanLine()));
            continue;
        }
        for (int x = 0; x < h.Width; ++x) {
            const uint32_t v = h.Bits == 16 ? Le16(src + 2 * x) : Le32(src + 4 * x);
            const unsigned rr = Channel(v, h.Masks[0]), gg = Channel(v, h.Masks[1]), bb = Channel(v, h.Masks[2]);
            uint8_t* p = row + x * (f == pf24bit ? 3 : 4);
            p[0] = uint8_t(bb); p[1] = uint8_t(gg); p[2] = uint8_t(rr);
        }
    }
    out = bmp;
}

}  // namespace

void TBitmap::LoadFromStream(TStream& stream) {
    uint8_t fileHeader[14];
    stream.ReadBuffer(fileHeader, 14);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') BadBitmap();
    const uint32_t bitsOffset = Le32(fileHeader + 10);
    const int64_t start = stream.Position();
    const int64_t avail = stream.Size() - start;
    uint8_t sizeField[4];
    stream.ReadBuffer(sizeField, 4);
    const uint32_t infoSize = Le32(sizeField);
    if (infoSize < 12 || infoSize > 4096) BadBitmap();
    // Header, masks and colour table lie between the file header and the pixel data.
    const int64_t tableEnd = bitsOffset >= 14 + infoSize ? int64_t(bitsOffset) - 14 : int64_t(infoSize) + 12 + 256 * 4;
    const int64_t infoBytes = std::min<int64_t>(std::min<int64_t>(tableEnd, avail), 4096 + 12 + 1024);
    if (infoBytes < infoSize) throw EReadError("Stream read error");
    std::vector<uint8_t> info(static_cast<size_t>(infoBytes));
    std::memcpy(info.data(), sizeField, 4);
    stream.ReadBuffer(info.data() + 4, infoBytes - 4);
    const DibHeader h = ParseInfo(info.data(), uint32_t(info.size()));
    const int64_t bitsAt = bitsOffset >= 14 + infoSize ? start + int64_t(bitsOffset) - 14 : start + infoBytes;
    const int64_t bitsAvail = stream.Size() - bitsAt;
    if (bitsAvail <= 0) throw EReadError("Stream read error");
    const int64_t wanted = (h.Compression == 1 || h.Compression == 2)
                               ? bitsAvail
                               : int64_t(StrideFor(h.Width, h.Bits)) * h.Height;
    if (wanted > bitsAvail) throw EReadError("Stream read error");
    CheckPixelBudget(h.Width, h.Height);
    if (wanted > kMaxPixelBytes) BadBitmap();
    std::vector<uint8_t> bits(static_cast<size_t>(wanted));
    stream.SetPosition(bitsAt);
    stream.ReadBuffer(bits.data(), wanted);
    FillFromBits(h, bits.data(), bits.size(), *this);
}

void GetDIBSizes(const TBitmap& bitmap, uint32_t& infoHeaderSize, uint32_t& imageSize) {
    const int bits = BitsPerPixel(bitmap.PixelFormat());
    const uint32_t colours = bits <= 8 ? uint32_t(1u << bits) : 0;
    infoHeaderSize = 40 + colours * 4 + (bitmap.PixelFormat() == pf16bit ? 12 : 0);
    imageSize = uint32_t(StrideFor(bitmap.Width(), bits)) * uint32_t(bitmap.Height());
}

bool GetDIB(const TBitmap& bitmap, void* infoBlock, void* bitsBlock) {
    uint32_t infoSize = 0, imageSize = 0;
    GetDIBSizes(bitmap, infoSize, imageSize);
    auto* info = static_cast<uint8_t*>(infoBlock);
    std::memset(info, 0, infoSize);
    const int bits = BitsPerPixel(bitmap.PixelFormat());
    Put32(info, 40);
    Put32(info + 4, uint32_t(bitmap.Width()));
    Put32(info + 8, uint32_t(bitmap.Height()));
    Put16(info + 12, 1);
    Put16(info + 14, uint32_t(bits));
    Put32(info + 16, bitmap.PixelFormat() == pf16bit ? 3 : 0);
    Put32(info + 20, imageSize);
    uint8_t* table = info + 40;
    if (bitmap.PixelFormat() == pf16bit) {
        Put32(table, 0xF800); Put32(table + 4, 0x07E0); Put32(table + 8, 0x001F);
    } else if (bits <= 8) {
        const auto& pal = bitmap.Palette();
        Put32(info + 32, 1u << bits);
        for (size_t i = 0; i < pal.size() && i < (1u << bits); ++i) {
            table[4 * i] = pal[i].rgbBlue; table[4 * i + 1] = pal[i].rgbGreen; table[4 * i + 2] = pal[i].rgbRed;
        }
    }
    auto* out = static_cast<uint8_t*>(bitsBlock);
    const int stride = bitmap.BytesPerScanLine();
    for (int y = 0; y < bitmap.Height(); ++y)
        std::memcpy(out + size_t(bitmap.Height() - 1 - y) * stride, bitmap.ScanLine(y), size_t(stride));
    return true;
}

bool BitmapFromDIB(const void* info, uint32_t infoSize, const void* bits, uint32_t bitsSize, TBitmap& out) {
    try {
        const DibHeader h = ParseInfo(static_cast<const uint8_t*>(info), infoSize);
        FillFromBits(h, static_cast<const uint8_t*>(bits), bitsSize, out);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void TBitmap::SaveToStream(TStream& stream) {
    uint32_t infoSize = 0, imageSize = 0;
    GetDIBSizes(*this, infoSize, imageSize);
    std::vector<uint8_t> info(infoSize), bits(imageSize);
    if (!Empty()) GetDIB(*this, info.data(), bits.data());
    else { Put32(info.data(), 40); }
    uint8_t fileHeader[14] = {'B', 'M'};
    Put32(fileHeader + 2, 14 + infoSize + imageSize);
    Put32(fileHeader + 10, 14 + infoSize);
    stream.WriteBuffer(fileHeader, 14);
    stream.WriteBuffer(info.data(), infoSize);
    stream.WriteBuffer(bits.data(), imageSize);
}
