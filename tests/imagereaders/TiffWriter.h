// Test writer of TIFF files and of the packed streams the image decoders read (TIFF LZW,
// PackBits, GIF LZW). Shared by the tests, the benchmark and the fuzz seeds.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tiffwriter {

enum Compression : uint16_t { kNone = 1, kLZW = 5, kPackBits = 32773 };

/// An extra directory entry written as given (value or offset computed by the writer).
struct Tag {
    uint16_t Number;
    uint16_t Type;                 ///< 1 BYTE, 3 SHORT, 4 LONG, 5 RATIONAL ...
    std::vector<uint32_t> Values;  ///< for RATIONAL: numerator, denominator pairs
};

struct Image {
    bool BigEndian = false;
    uint32_t Width = 0, Height = 0;
    std::vector<uint16_t> Bits{8};  ///< BitsPerSample values (one per sample, or one)
    uint16_t Samples = 1;
    uint16_t Photometric = 1;
    uint16_t Compression = kNone;
    uint16_t Predictor = 1;                  ///< 2: horizontal differencing applied by the writer
    std::optional<uint32_t> RowsPerStrip;    ///< rows per strip; missing: one strip
    bool WriteRowsPerStrip = true;           ///< false: the tag is left out even with several strips
    bool ShortStripTables = false;           ///< StripOffsets/StripByteCounts as SHORT
    bool OmitCompression = false;
    std::vector<uint16_t> ExtraSamples;
    std::vector<uint16_t> ColorMap;          ///< 3 x 2^bits values
    std::vector<Tag> Extra;
    /// Packed rows as stored (MSB first for bits below 8; 16-bit samples in the file's byte order),
    /// (Width * bits * samples + 7) / 8 bytes each, before the predictor.
    std::vector<uint8_t> Pixels;
    /// When not empty: written once in place of the pixels, and every strip's offset points at it
    /// with its whole size as byte count (strips that share their bytes).
    std::vector<uint8_t> SharedStrip;
};

/// Writes a TIFF file with one directory (and `second` as a second directory when given).
std::vector<uint8_t> Write(const Image& image, const Image* second = nullptr);

/// Bytes of one packed row.
uint32_t LineBytes(const Image& image);

/// Appends a 16-bit sample in the given byte order.
void Put16(std::vector<uint8_t>& out, uint16_t value, bool bigEndian);

/// TIFF LZW (MSB first, early change, a clear code whenever the table fills).
std::vector<uint8_t> EncodeTIFFLZW(const std::vector<uint8_t>& data);
/// PackBits.
std::vector<uint8_t> EncodePackBits(const std::vector<uint8_t>& data);
/// GIF LZW with the given minimum code size (LSB first); `deferClear`: no clear code when the
/// table is full, codes go on at 12 bits.
std::vector<uint8_t> EncodeGIFLZW(const std::vector<uint8_t>& data, int codeSize, bool deferClear = false);

}  // namespace tiffwriter
