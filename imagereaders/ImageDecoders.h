// Run-length and LZW decoders of the raster image readers, and the Targa packet coder.
// Every decoder stops at the end of its input and at the end of its output, whatever the data
// claims; the LZW decoders raise on codes that cannot occur in a well-formed stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// A decoder of packed picture data.
class TDecoder {
public:
    virtual ~TDecoder() = default;
    /// Decodes at most `packed` bytes from `source` into `dest` (room for `unpacked` bytes);
    /// advances `source` past the bytes used and returns the number of bytes produced. Bytes of
    /// `dest` after those produced (within `unpacked`) may be overwritten as scratch.
    virtual size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) = 0;
    /// Encoding is not offered by these decoders: does nothing.
    virtual void Encode(const uint8_t*& /*source*/, uint8_t* /*dest*/, size_t /*packed*/, size_t /*unpacked*/) {}
};

/// LZW decoding shared by the TIFF and GIF variants. Every string of the table has been written
/// to the output before: a code's entry is where (offset) and how long (length) it is there, so
/// a code is decoded by copying bytes already produced.
class TLZWDecoder : public TDecoder {
protected:
    static constexpr unsigned kTableSize = 4096;
    static constexpr unsigned kNoCode = 4096;
    struct TEntry {
        size_t Offset;
        size_t Length;
    };
    TLZWDecoder() : FTable(kTableSize) {}
    /// Decodes codes taken from `reader` until the end code, the end of the packed bytes or
    /// `unpacked` bytes. Codes below `clear` are literals, `clear` clears the table, the next
    /// one ends the data; codes start one bit wider than a literal. The reader gives the bit
    /// order (Need(width) makes a code available, Take(width) takes it), when the width grows
    /// (kEarlyChange) and the message of a code not yet defined (kInvalid).
    template <class TCodeReader>
    size_t DecodeCodes(TCodeReader& reader, uint8_t* dest, size_t unpacked, unsigned clear);
    std::vector<TEntry> FTable;
};

/// TIFF LZW: codes read most significant bit first, 256 clear, 257 end, early width change.
/// Raises Exception "TIF LZW: invalid opcode." on a code that is not yet defined.
class TTIFFLZW : public TLZWDecoder {
public:
    size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) override;
};

/// PackBits: a signed count byte, 0..127 copy n+1 bytes, -1..-127 repeat the next byte 1-n times.
class TPackbitsRLE : public TDecoder {
public:
    size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) override;
};

/// PCX lines: a byte with both top bits set is a run of (byte & 63) copies of the next byte.
/// A run cut at the end of the output goes on at the start of the next Decode, so lines decoded
/// one call at a time read the same as all lines decoded at once.
class TPCXRLE : public TDecoder {
public:
    size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) override;

private:
    size_t FRunLeft = 0;  ///< copies of FRunValue still owed by the last run
    uint8_t FRunValue = 0;
};

/// SGI rows of 1- or 2-byte samples (big-endian); output is 8 bits per sample (the high byte).
class TSGIRLE : public TDecoder {
public:
    explicit TSGIRLE(int sampleSize) : FSampleSize(sampleSize == 2 ? 2 : 1) {}
    size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) override;

private:
    int FSampleSize;
};

/// Dr. Halo CUT lines: a 2-byte length, then packets; 0 ends the line.
class TCUTRLE : public TDecoder {
public:
    size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) override;
};

/// RLA channels: a signed count byte, n >= 0 repeats the next byte n+1 times, n < 0 copies -n bytes.
class TRLADecoder : public TDecoder {
public:
    size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) override;
};

/// GIF LZW: codes read least significant bit first from an initial code size of 1 to 11.
/// Raises Exception "GIF LZW: invalid opcode." on a bad code or code size.
class TGIFLZW : public TLZWDecoder {
public:
    explicit TGIFLZW(int initialCodeSize) : FInitialCodeSize(initialCodeSize) {}
    size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) override;

private:
    int FInitialCodeSize;
};

/// Decodes Targa run-length packets of `bitsPerPixel` (8, 15, 16, 24 or 32) from at most `packed`
/// bytes of `source` until `unpacked` bytes are produced; returns the packed bytes used (0 for
/// other pixel sizes). A packet longer than the output left is cut.
size_t DecodeTargaRLE(const uint8_t* source, size_t packed, uint8_t* dest, size_t unpacked, int bitsPerPixel);

/// Encodes `count` pixels of `pixelSize` (1..4) bytes as Targa packets; `dest` needs room for
/// TargaPackedBound(count, pixelSize) bytes (twice the pixel bytes always suffice). Returns the
/// packed size.
size_t EncodeTargaRLE(const uint8_t* source, uint8_t* dest, size_t count, int pixelSize);
/// Most bytes EncodeTargaRLE writes for `count` pixels: a raw pixel between two runs of two costs
/// a header each, two header bytes per three pixels.
inline size_t TargaPackedBound(size_t count, int pixelSize) { return count * size_t(pixelSize) + (2 * count + 2) / 3; }
