// The TIFF reader: the first image file directory of a TIFF file, its strips decoded one at a
// time (none, LZW or PackBits) and converted line by line into the bitmap's scan lines.
// Every size, offset and count in the file is checked against the file before it is used.
#include "ImageDecoders.h"
#include "ImageReaders.h"

#include "Streams.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

enum : uint16_t {
    tagImageWidth = 256,
    tagImageLength = 257,
    tagBitsPerSample = 258,
    tagCompression = 259,
    tagPhotometric = 262,
    tagFillOrder = 266,
    tagStripOffsets = 273,
    tagSamplesPerPixel = 277,
    tagRowsPerStrip = 278,
    tagStripByteCounts = 279,
    tagPlanarConfiguration = 284,
    tagPredictor = 317,
    tagColorMap = 320,
    tagInkSet = 332,
    tagExtraSamples = 338,
    tagSampleFormat = 339,
    tagYCbCrCoefficients = 529,
    tagYCbCrSubSampling = 530,
    tagReferenceBlackWhite = 532,
};

enum : uint32_t { compNone = 1, compLZW = 5, compPackBits = 32773 };
enum : uint32_t { phWhiteIsZero = 0, phBlackIsZero = 1, phRGB = 2, phPalette = 3, phSeparated = 5, phYCbCr = 6, phCIELab = 8 };

/// How one line of file samples becomes one scan line.
enum class TLineKind { Copy, FirstSample8, Sample16To8, RGB, RGBA, CMYK, CIELab, YCbCr };

/// Most samples per pixel a file may declare (colour samples plus extra samples).
constexpr uint32_t kMaxSamples = 32;

[[noreturn]] void InvalidFile() { throw Exception("Invalid TIFF file."); }
[[noreturn]] void Unsupported() { throw EInvalidGraphic("TIFF: unsupported image layout"); }
[[noreturn]] void ReadError() { throw EReadError("Stream read error"); }

/// One strip of the image: its first row, its rows, and where its packed bytes lie in the file.
struct TStrip {
    uint32_t Row, Rows;
    uint64_t Offset, Available;
};

/// For each strip, whether another strip's bytes overlap its own (strips that point into one
/// block). Strips without bytes share nothing.
std::vector<bool> SharedStrips(const std::vector<TStrip>& strips) {
    std::vector<size_t> order;
    for (size_t s = 0; s < strips.size(); ++s)
        if (strips[s].Available) order.push_back(s);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return strips[a].Offset < strips[b].Offset; });
    std::vector<bool> shared(strips.size(), false);
    // In offset order a strip overlaps an earlier one exactly when the farthest end so far lies
    // beyond its start, and a later one exactly when the next start lies before its end.
    uint64_t farthest = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        const TStrip& strip = strips[order[k]];
        const uint64_t end = strip.Offset + strip.Available;
        shared[order[k]] = (k > 0 && farthest > strip.Offset) || (k + 1 < order.size() && strips[order[k + 1]].Offset < end);
        farthest = std::max(farthest, end);
    }
    return shared;
}

struct TIFDEntry {
    uint16_t Tag = 0;
    uint16_t Type = 0;
    uint32_t Count = 0;
    uint8_t Value[4] = {0, 0, 0, 0};  ///< as in the file, in the file's byte order
};

/// Bytes of one value of an integer field type; 0 for the types read as no value.
size_t IntegerSize(uint16_t type) {
    switch (type) {
        case 1:   // BYTE
        case 6:   // SBYTE
            return 1;
        case 3:   // SHORT
        case 8:   // SSHORT
            return 2;
        case 4:   // LONG
        case 9:   // SLONG
            return 4;
        default:
            return 0;
    }
}

class TTIFFLoader {
public:
    TTIFFLoader(TStream& stream, TBitmap& bitmap) : FStream(stream), FBitmap(bitmap) {}
    void Load();

private:
    uint16_t U16(const uint8_t* p) const { return FBigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]); }
    uint32_t U32(const uint8_t* p) const {
        return FBigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                          : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    /// Moves to `offset` (from the TIFF start) and reads `count` bytes that must lie in the file.
    void ReadAt(uint64_t offset, void* buffer, uint64_t count);
    const TIFDEntry* Find(uint16_t tag) const;
    /// All values of an integer tag (empty when missing or not of an integer type).
    std::vector<uint32_t> Values(uint16_t tag);
    /// The first value of an integer tag, or `def`.
    uint32_t Single(uint16_t tag, uint32_t def);
    /// The count of an integer tag, or `def`.
    uint32_t Count(uint16_t tag, uint32_t def) const;
    /// All values of a RATIONAL tag (empty when missing or of another type); a zero denominator
    /// gives a value that equals nothing.
    std::vector<double> Rationals(uint16_t tag);

    /// Refuses files whose samples mean something other than what the line converters read:
    /// tags the conversion does not apply that change the meaning of the samples.
    void CheckSampleMeaning();
    void ChooseLayout();
    void BuildPalette();
    void ApplyPredictor(uint8_t* line, size_t pixels) const;
    void EmitLine(int row, uint8_t* data, size_t bytes);

    TStream& FStream;
    TBitmap& FBitmap;
    int64_t FBase = 0;
    uint64_t FSize = 0;  ///< bytes from the TIFF start to the end of the stream
    bool FBigEndian = false;
    std::vector<TIFDEntry> FDirectory;

    uint32_t FWidth = 0, FHeight = 0;
    uint32_t FBits = 1, FSamples = 1, FPhotometric = 0;
    uint32_t FPredictor = 0;
    uint64_t FLineBytes = 0;
    uint64_t FBitsPerPixel = 0;
    TLineKind FKind = TLineKind::Copy;
    TPixelFormat FFormat = pf24bit;
};

void TTIFFLoader::ReadAt(uint64_t offset, void* buffer, uint64_t count) {
    if (offset > FSize || count > FSize - offset) ReadError();
    FStream.SetPosition(FBase + int64_t(offset));
    FStream.ReadBuffer(buffer, int64_t(count));
}

const TIFDEntry* TTIFFLoader::Find(uint16_t tag) const {
    // A short linear search: it finds the first entry with the tag even in a directory whose
    // entries are not in ascending order.
    for (const TIFDEntry& e : FDirectory)
        if (e.Tag == tag) return &e;
    return nullptr;
}

std::vector<uint32_t> TTIFFLoader::Values(uint16_t tag) {
    std::vector<uint32_t> values;
    const TIFDEntry* e = Find(tag);
    if (!e) return values;
    const size_t size = IntegerSize(e->Type);
    if (size == 0 || e->Count == 0) return values;
    const uint64_t bytes = uint64_t(e->Count) * size;
    std::vector<uint8_t> raw;
    const uint8_t* p = e->Value;
    if (bytes > 4) {
        // Checked against the file before anything of the claimed size is allocated.
        const uint32_t offset = U32(e->Value);
        if (offset > FSize || bytes > FSize - offset) ReadError();
        raw.resize(size_t(bytes));
        ReadAt(offset, raw.data(), bytes);
        p = raw.data();
    }
    values.resize(e->Count);
    for (uint32_t i = 0; i < e->Count; ++i, p += size)
        values[i] = size == 1 ? *p : size == 2 ? U16(p) : U32(p);
    return values;
}

uint32_t TTIFFLoader::Single(uint16_t tag, uint32_t def) {
    const TIFDEntry* e = Find(tag);
    if (!e) return def;
    const size_t size = IntegerSize(e->Type);
    if (size == 0 || e->Count == 0) return def;
    uint8_t bytes[4];
    const uint8_t* p = e->Value;
    if (uint64_t(e->Count) * size > 4) {
        ReadAt(U32(e->Value), bytes, size);
        p = bytes;
    }
    return size == 1 ? *p : size == 2 ? U16(p) : U32(p);
}

uint32_t TTIFFLoader::Count(uint16_t tag, uint32_t def) const {
    const TIFDEntry* e = Find(tag);
    return e && IntegerSize(e->Type) ? e->Count : def;
}

std::vector<double> TTIFFLoader::Rationals(uint16_t tag) {
    std::vector<double> values;
    const TIFDEntry* e = Find(tag);
    if (!e || e->Type != 5 || e->Count == 0) return values;
    const uint64_t bytes = uint64_t(e->Count) * 8;
    const uint32_t offset = U32(e->Value);
    if (offset > FSize || bytes > FSize - offset) ReadError();
    std::vector<uint8_t> raw(static_cast<size_t>(bytes));
    ReadAt(offset, raw.data(), bytes);
    values.resize(e->Count);
    for (uint32_t i = 0; i < e->Count; ++i) {
        const uint32_t numerator = U32(raw.data() + 8 * i), denominator = U32(raw.data() + 8 * i + 4);
        values[i] = denominator ? double(numerator) / double(denominator) : std::numeric_limits<double>::quiet_NaN();
    }
    return values;
}

void TTIFFLoader::CheckSampleMeaning() {
    // Every sample is read as an unsigned integer of the first BitsPerSample value, its bits
    // from the most significant down, without a transfer other than the photometric one.
    const std::vector<uint32_t> bits = Values(tagBitsPerSample);
    for (const uint32_t b : bits)
        if (b != FBits) Unsupported();
    // Unsigned integers only (no signed, floating-point or undefined samples); CIELab's a and b
    // are signed by definition, as its converter reads them, and may say so.
    const std::vector<uint32_t> formats = Values(tagSampleFormat);
    for (size_t i = 0; i < formats.size(); ++i)
        if (formats[i] != 1 && !(formats[i] == 2 && FPhotometric == phCIELab && (i == 1 || i == 2))) Unsupported();
    if (Find(tagSampleFormat) && formats.empty()) Unsupported();  // of a type that holds no integer
    if (Single(tagFillOrder, 1) != 1) Unsupported();
    // No predictor, or horizontal differencing of integers.
    if (FPredictor > 2) Unsupported();
    // Separated samples are cyan, magenta, yellow and black.
    if (FPhotometric == phSeparated && Single(tagInkSet, 1) != 1) Unsupported();
    if (FPhotometric == phYCbCr) {
        // The converter applies the default coefficients and the full range of every sample.
        auto differs = [](const std::vector<double>& given, std::initializer_list<double> wanted, double tolerance) {
            if (given.empty()) return false;
            if (given.size() != wanted.size()) return true;
            size_t i = 0;
            for (const double w : wanted)
                if (!(std::abs(given[i++] - w) <= tolerance)) return true;
            return false;
        };
        if (differs(Rationals(tagYCbCrCoefficients), {0.299, 0.587, 0.114}, 0.0005)) Unsupported();
        if (differs(Rationals(tagReferenceBlackWhite), {0, 255, 128, 255, 128, 255}, 0.5)) Unsupported();
    }
}

void TTIFFLoader::ChooseLayout() {
    const uint32_t extra = Count(tagExtraSamples, 0);
    if (FSamples == 0 || FSamples > kMaxSamples || extra >= FSamples) Unsupported();
    if (FSamples > 1 && Single(tagPlanarConfiguration, 1) != 1) Unsupported();
    const uint32_t colour = FSamples - extra;
    const bool wide = FBits == 8 || FBits == 16;
    switch (colour) {
        case 1:
            if (FPhotometric != phWhiteIsZero && FPhotometric != phBlackIsZero && FPhotometric != phPalette) Unsupported();
            if (FBits == 16) {
                if (FPhotometric == phPalette) Unsupported();  // a colour map holds at most 256 entries
                FFormat = pf8bit;
                FKind = TLineKind::Sample16To8;
            } else if (FBits == 8) {
                FFormat = pf8bit;
                FKind = FSamples == 1 ? TLineKind::Copy : TLineKind::FirstSample8;
            } else if ((FBits == 1 || FBits == 4) && FSamples == 1) {
                FFormat = FBits == 1 ? pf1bit : pf4bit;
                FKind = TLineKind::Copy;
            } else {
                Unsupported();
            }
            break;
        case 3:
            if (!wide) Unsupported();
            if (FPhotometric == phRGB) {
                FFormat = extra ? pf32bit : pf24bit;
                FKind = extra ? TLineKind::RGBA : TLineKind::RGB;
            } else if (FPhotometric == phCIELab) {
                FFormat = pf24bit;
                FKind = TLineKind::CIELab;
            } else if (FPhotometric == phYCbCr) {
                // Only samples without subsampling are read; the default is 2 x 2.
                const std::vector<uint32_t> sub = Values(tagYCbCrSubSampling);
                if (FBits != 8 || sub.size() < 2 || sub[0] != 1 || sub[1] != 1) Unsupported();
                FFormat = pf24bit;
                FKind = TLineKind::YCbCr;
            } else {
                Unsupported();
            }
            break;
        case 4:
            if (!wide) Unsupported();
            if (FPhotometric == phRGB) {
                FFormat = pf32bit;
                FKind = TLineKind::RGBA;
            } else if (FPhotometric == phSeparated) {
                FFormat = pf24bit;
                FKind = TLineKind::CMYK;
            } else {
                Unsupported();
            }
            break;
        default:
            Unsupported();
    }
    if (FPredictor == 2 && FBits < 8) Unsupported();
}

void TTIFFLoader::BuildPalette() {
    if (FFormat != pf1bit && FFormat != pf4bit && FFormat != pf8bit) return;
    const unsigned n = FFormat == pf1bit ? 2 : FFormat == pf4bit ? 16 : 256;
    std::vector<TRGBQuad> palette(n);
    if (FPhotometric == phPalette) {
        const std::vector<uint32_t> map = Values(tagColorMap);
        if (map.size() < 3 * size_t(n)) throw EInvalidGraphic("TIFF: colour map missing or too short");
        for (unsigned i = 0; i < n; ++i)
            palette[i] = TRGBQuad{uint8_t(map[2 * n + i] >> 8), uint8_t(map[n + i] >> 8), uint8_t(map[i] >> 8), 0};
    } else {
        const unsigned scale = n == 2 ? 255 : n == 16 ? 16 : 1;
        for (unsigned i = 0; i < n; ++i) {
            const uint8_t grey = uint8_t((FPhotometric == phWhiteIsZero ? n - 1 - i : i) * scale);
            palette[i] = TRGBQuad{grey, grey, grey, 0};
        }
    }
    FBitmap.SetPalette(std::move(palette));
}

void TTIFFLoader::ApplyPredictor(uint8_t* line, size_t pixels) const {
    // Horizontal differencing: each sample is stored as its difference from the same sample of
    // the pixel before it.
    const size_t stride = FSamples;
    if (FBits == 8) {
        const size_t n = pixels * stride;
        for (size_t i = stride; i < n; ++i) line[i] = uint8_t(line[i] + line[i - stride]);
    } else if (FBits == 16) {
        const size_t n = pixels * stride;
        for (size_t i = stride; i < n; ++i) {
            uint8_t* p = line + 2 * i;
            const uint8_t* q = line + 2 * (i - stride);
            const unsigned v = uint16_t(U16(p) + U16(q));
            if (FBigEndian) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
            else { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
        }
    }
}

void TTIFFLoader::EmitLine(int row, uint8_t* data, size_t bytes) {
    // A line cut short converts the whole pixels it holds; the rest of the row stays zero.
    const size_t pixels = size_t(std::min<uint64_t>(FWidth, uint64_t(bytes) * 8 / FBitsPerPixel));
    if (FPredictor == 2) ApplyPredictor(data, pixels);
    auto* scan = static_cast<uint8_t*>(FBitmap.ScanLine(row));
    switch (FKind) {
        case TLineKind::Copy:
            std::memcpy(scan, data, std::min<size_t>({bytes, size_t(FLineBytes), size_t(FBitmap.BytesPerScanLine())}));
            break;
        case TLineKind::FirstSample8:
            for (size_t x = 0; x < pixels; ++x) scan[x] = data[x * FSamples];
            break;
        case TLineKind::Sample16To8: Convert16To8(data, scan, pixels, FSamples, FBigEndian); break;
        case TLineKind::RGB: ConvertRGBToBGR(data, scan, pixels, FSamples, int(FBits), FBigEndian); break;
        case TLineKind::RGBA: ConvertRGBAToBGRA(data, scan, pixels, FSamples, int(FBits), FBigEndian); break;
        case TLineKind::CMYK: ConvertCMYKToBGR(data, scan, pixels, FSamples, int(FBits), FBigEndian); break;
        case TLineKind::CIELab: ConvertCIELabToBGR(data, scan, pixels, FSamples, int(FBits), FBigEndian); break;
        case TLineKind::YCbCr: ConvertYCbCrToBGR(data, scan, pixels, FSamples); break;
    }
}

void TTIFFLoader::Load() {
    FBase = FStream.Position();
    const int64_t end = FStream.Size();
    FSize = end > FBase ? uint64_t(end - FBase) : 0;

    uint8_t header[8];
    FStream.ReadBuffer(header, 8);
    if (header[0] == 'M' && header[1] == 'M') FBigEndian = true;
    else if (header[0] != 'I' || header[1] != 'I') InvalidFile();
    if (U16(header + 2) != 42) InvalidFile();

    // The first directory only; further images are not read.
    const uint32_t dirOffset = U32(header + 4);
    uint8_t countBytes[2];
    ReadAt(dirOffset, countBytes, 2);
    const uint32_t entries = U16(countBytes);
    std::vector<uint8_t> raw;
    if (uint64_t(dirOffset) + 2 + uint64_t(entries) * 12 > FSize) ReadError();
    raw.resize(size_t(entries) * 12);
    ReadAt(uint64_t(dirOffset) + 2, raw.data(), raw.size());
    FDirectory.resize(entries);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* p = raw.data() + 12 * i;
        TIFDEntry& e = FDirectory[i];
        e.Tag = U16(p);
        e.Type = U16(p + 2);
        e.Count = U32(p + 4);
        std::memcpy(e.Value, p + 8, 4);
    }

    FWidth = Single(tagImageWidth, 0);
    FHeight = Single(tagImageLength, 0);
    if (FWidth == 0 || FHeight == 0) InvalidFile();

    const uint32_t compression = Single(tagCompression, compNone);
    std::unique_ptr<TDecoder> decoder;
    uint64_t expansion = 1;  // most bytes one packed byte can produce
    // Most packed bytes a strip of n decoded bytes can use when its bytes are shared with other
    // strips: 2n + 127 for PackBits (a literal or a run gives at least one byte for every two it
    // takes, the last literal may give one byte of 129), 3n + 3 for LZW (each code of at most 12
    // bits gives a byte, with at most one clear code before it and one clear and the end code
    // after the last). Nothing beyond is read, so strips that share one block cost what their rows
    // hold, not what the block holds. A strip whose bytes are its own is read to the end of its
    // byte count, however much it spends on PackBits no-ops or clear codes in a row.
    uint64_t packedPerByte = 0, packedSlack = 0;
    switch (compression) {
        case compNone: break;
        case compLZW:
            decoder = std::make_unique<TTIFFLZW>();
            expansion = 4096;
            packedPerByte = 3;
            packedSlack = 3;
            break;
        case compPackBits:
            decoder = std::make_unique<TPackbitsRLE>();
            expansion = 128;
            packedPerByte = 2;
            packedSlack = 127;
            break;
        default: throw Exception("TIFF: Unknown compression scheme");
    }
    FPhotometric = Single(tagPhotometric, phWhiteIsZero);
    FSamples = Single(tagSamplesPerPixel, 1);
    // All BitsPerSample values are read (so a table cut short is found); the first one counts.
    const std::vector<uint32_t> bits = Values(tagBitsPerSample);
    FBits = bits.empty() ? 1 : bits[0];
    FPredictor = Single(tagPredictor, 1);
    CheckSampleMeaning();
    ChooseLayout();

    if (FWidth > uint32_t(std::numeric_limits<int>::max()) || FHeight > uint32_t(std::numeric_limits<int>::max()))
        throw EInvalidGraphic("Invalid bitmap size");
    CheckPixelBudget(FWidth, FHeight);
    FBitsPerPixel = uint64_t(FBits) * FSamples;
    FLineBytes = (uint64_t(FWidth) * FBitsPerPixel + 7) / 8;

    // Strip tables, of whatever integer type the file gives them.
    const std::vector<uint32_t> offsets = Values(tagStripOffsets);
    const std::vector<uint32_t> counts = Values(tagStripByteCounts);
    std::vector<uint32_t> rowsPerStrip = Values(tagRowsPerStrip);
    if (offsets.empty()) InvalidFile();
    if (offsets.size() == 1 || rowsPerStrip.empty()) rowsPerStrip.assign(1, FHeight);

    // The strips' rows and the bytes the file holds for each. A decoded strip is held whole, and
    // one packed byte can give thousands: no strip may need more bytes than the largest bitmap
    // the pixel budget admits, which is checked before anything is allocated.
    std::vector<TStrip> strips;
    const uint64_t stripBudget = uint64_t(std::min<int64_t>(PixelBudget(), std::numeric_limits<int64_t>::max() / 4)) * 4;
    for (uint32_t s = 0, row = 0; s < offsets.size() && row < FHeight; ++s) {
        const uint32_t wanted = rowsPerStrip[std::min<size_t>(s, rowsPerStrip.size() - 1)];
        const uint32_t rows = std::min(wanted ? wanted : FHeight, FHeight - row);
        const uint64_t offset = offsets[s];
        // A byte count beyond the file is cut to it. The one strip of an uncompressed image is
        // read at the size of its rows, whatever its byte count says, as far as the file holds it.
        const uint64_t inFile = offset < FSize ? FSize - offset : 0;
        const bool whole = !decoder && offsets.size() == 1;
        const uint64_t declared = !whole && s < counts.size() && counts[s] ? counts[s] : inFile;
        strips.push_back(TStrip{row, rows, offset, std::min(declared, inFile)});
        row += rows;
    }
    // A strip table that ends before the image does leaves rows without data: a strip ending
    // short.
    if (strips.empty() || strips.back().Row + strips.back().Rows < FHeight) InvalidFile();
    if (decoder) {
        const std::vector<bool> shared = SharedStrips(strips);
        for (size_t s = 0; s < strips.size(); ++s) {
            TStrip& strip = strips[s];
            if (shared[s])
                strip.Available = std::min(strip.Available, uint64_t(strip.Rows) * FLineBytes * packedPerByte + packedSlack);
            if (std::min(uint64_t(strip.Rows) * FLineBytes, strip.Available * expansion) > stripBudget)
                throw EInvalidGraphic("Image size exceeds the pixel budget");
        }
    }

    FBitmap.SetPixelFormat(FFormat);
    FBitmap.SetSize(int(FWidth), int(FHeight));
    BuildPalette();

    std::unique_ptr<uint8_t[]> packed, strip;
    size_t packedCapacity = 0, stripCapacity = 0;
    for (const auto& [row, rows, offset, available] : strips) {
        const uint64_t stripBytes = uint64_t(rows) * FLineBytes;
        // A strip whose bytes end before its rows do (cut by its byte count or the end of the
        // file, or packed data that stops early) is an error, never rows left black.
        if (available == 0) InvalidFile();
        // Lines stored exactly as the bitmap holds them are decoded straight into its scan lines.
        uint8_t* target = nullptr;
        if (FKind == TLineKind::Copy && FPredictor != 2 && uint64_t(FBitmap.BytesPerScanLine()) == FLineBytes) {
            auto* first = static_cast<uint8_t*>(FBitmap.ScanLine(int(row)));
            if (static_cast<uint8_t*>(FBitmap.ScanLine(int(row + rows - 1))) == first + (rows - 1) * FLineBytes) target = first;
        }
        uint64_t produced = 0;
        if (!decoder) {
            produced = std::min(stripBytes, available);
            if (!target && produced > stripCapacity) { strip.reset(new uint8_t[produced]); stripCapacity = size_t(produced); }
            ReadAt(offset, target ? target : strip.get(), produced);
        } else {
            if (available > packedCapacity) { packed.reset(new uint8_t[available]); packedCapacity = size_t(available); }
            ReadAt(offset, packed.get(), available);
            const uint64_t room = std::min(stripBytes, available * expansion);
            if (!target && room > stripCapacity) { strip.reset(new uint8_t[room]); stripCapacity = size_t(room); }
            const uint8_t* source = packed.get();
            uint8_t* into = target ? target : strip.get();
            produced = decoder->Decode(source, into, size_t(available), size_t(room));
        }
        if (produced < stripBytes) InvalidFile();
        if (!target) {
            for (uint32_t i = 0; i < rows; ++i) {
                const uint64_t at = uint64_t(i) * FLineBytes;
                if (at >= produced) break;
                EmitLine(int(row + i), strip.get() + at, size_t(std::min(FLineBytes, produced - at)));
            }
        }
    }
}

}  // namespace

TTIFFGraphic::TTIFFGraphic() { SetPixelFormat(pf24bit); }

void TTIFFGraphic::LoadFromStream(TStream& stream) {
    Assign(TBitmap());
    TTIFFLoader(stream, *this).Load();
}

void TTIFFGraphic::SaveToStream(TStream&) {}

TGraphicClass TIFFGraphicClass() { return GraphicClassOf<TTIFFGraphic>("TTIFFGraphic"); }
