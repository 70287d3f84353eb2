// The decoders of the raster image readers: TIFF and GIF LZW on one string table, the run-length
// formats of TIFF (PackBits), PCX, SGI, CUT and RLA, and the Targa packet coder.
#include "ImageDecoders.h"

#include "Exceptions.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

inline size_t Fill(uint8_t* dest, size_t out, size_t unpacked, uint8_t value, size_t count) {
    const size_t n = std::min(count, unpacked - out);
    std::memset(dest + out, value, n);
    return n;
}

inline size_t Copy(uint8_t* dest, size_t out, size_t unpacked, const uint8_t* from, size_t count) {
    const size_t n = std::min(count, unpacked - out);
    std::memcpy(dest + out, from, n);
    return n;
}

}  // namespace

// ---- LZW ------------------------------------------------------------------------------------

namespace {

/// Copies `length` bytes from `dest + from` to `dest + to` (from < to), as far as `limit`; the
/// regions may overlap, in which case bytes are repeated as they are produced.
inline void CopyString(uint8_t* dest, size_t from, size_t to, size_t length, size_t limit) {
    uint8_t* d = dest + to;
    const uint8_t* s = dest + from;
    if (to - from >= 8 && to + length + 8 <= limit) {
        // Eight bytes at a time: each block reads only bytes already final, also when the string
        // overlaps its own copy (a distance of at least eight); the few bytes written beyond the
        // string are overwritten later.
        for (size_t i = 0; i < length; i += 8) std::memcpy(d + i, s + i, 8);
        return;
    }
    const size_t n = std::min(length, limit - to);
    for (size_t i = 0; i < n; ++i) d[i] = s[i];
}

}  // namespace

namespace {

/// Eight bytes as one value, the first byte the least (Le) or the most (Be) significant.
inline uint64_t Load64Le(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return std::endian::native == std::endian::little ? v : __builtin_bswap64(v);
}
inline uint64_t Load64Be(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return std::endian::native == std::endian::big ? v : __builtin_bswap64(v);
}

/// TIFF codes: read most significant bit first (the bits not yet used are the top `FHeld` bits of
/// `FBuffer`); the width grows one code early.
class TTIFFCodes {
public:
    static constexpr unsigned kEarlyChange = 1;
    static constexpr const char* kInvalid = "TIF LZW: invalid opcode.";
    TTIFFCodes(const uint8_t* p, const uint8_t* end) : FP(p), FEnd(end) {}
    /// Makes at least `width` bits available; false when the packed bytes run out first.
    bool Need(int width) {
        if (FHeld >= width) return true;
        if (FEnd - FP >= 8) {
            // Eight bytes at once; as many whole bytes are kept as fit beside the held bits.
            FBuffer |= Load64Be(FP) >> FHeld;
            FP += (63 - FHeld) >> 3;
            FHeld |= 56;
            return true;
        }
        while (FHeld <= 56 && FP != FEnd) {
            FBuffer |= uint64_t(*FP++) << (56 - FHeld);
            FHeld += 8;
        }
        return FHeld >= width;
    }
    unsigned Take(int width) {
        const unsigned code = unsigned(FBuffer >> (64 - width));
        FBuffer <<= width;
        FHeld -= width;
        return code;
    }
    /// Just after the last byte whose bits were used: whole bytes held are given back.
    const uint8_t* Position() const { return FP - FHeld / 8; }

private:
    const uint8_t* FP;
    const uint8_t* FEnd;
    uint64_t FBuffer = 0;
    int FHeld = 0;
};

/// GIF codes: read least significant bit first (the bits not yet used are the low `FHeld` bits);
/// the width grows when the table needs it.
class TGIFCodes {
public:
    static constexpr unsigned kEarlyChange = 0;
    static constexpr const char* kInvalid = "GIF LZW: invalid opcode.";
    TGIFCodes(const uint8_t* p, const uint8_t* end) : FP(p), FEnd(end) {}
    bool Need(int width) {
        if (FHeld >= width) return true;
        if (FEnd - FP >= 8) {
            // As the TIFF reader does; the bits of a byte only partly kept are put again, at the
            // same place, when that byte is read.
            FBuffer |= Load64Le(FP) << FHeld;
            FP += (63 - FHeld) >> 3;
            FHeld |= 56;
            return true;
        }
        while (FHeld <= 56 && FP != FEnd) {
            FBuffer |= uint64_t(*FP++) << FHeld;
            FHeld += 8;
        }
        return FHeld >= width;
    }
    unsigned Take(int width) {
        const unsigned code = unsigned(FBuffer) & ((1u << width) - 1);
        FBuffer >>= width;
        FHeld -= width;
        return code;
    }
    const uint8_t* Position() const { return FP - FHeld / 8; }

private:
    const uint8_t* FP;
    const uint8_t* FEnd;
    uint64_t FBuffer = 0;
    int FHeld = 0;
};

}  // namespace

// Inlined into each variant, so that the TIFF codes are constants there.
template <class TCodeReader>
[[gnu::always_inline]] inline size_t TLZWDecoder::DecodeCodes(TCodeReader& reader, uint8_t* dest, size_t unpacked, unsigned clear) {
    // Held in locals: stores into the output could otherwise alias them.
    TCodeReader bits = reader;
    const unsigned endCode = clear + 1, firstFree = clear + 2;
    const int initialWidth = std::bit_width(clear);
    TEntry* const table = FTable.data();
    int width = initialWidth;
    unsigned next = firstFree, prev = kNoCode;
    size_t prevAt = 0, prevLength = 0;  // where the previous code's string lies in the output
    size_t out = 0;
    while (out < unpacked) {
        if (!bits.Need(width)) break;
        const unsigned code = bits.Take(width);
        if (code == clear) {
            width = initialWidth;
            next = firstFree;
            prev = kNoCode;
            continue;
        }
        if (code == endCode) break;  // end of information
        if (prev == kNoCode) {
            if (code >= clear) throw Exception(TCodeReader::kInvalid);
        } else {
            if (code > next) throw Exception(TCodeReader::kInvalid);
            // The new entry is the previous string and the first byte of this one, which follows
            // it in the output. A full table takes no new entries until the next clear code.
            if (next < kTableSize) {
                table[next] = TEntry{prevAt, prevLength + 1};
                ++next;
                if (next + TCodeReader::kEarlyChange == (1u << width) && width < 12) ++width;
            }
        }
        prevAt = out;
        if (code < clear) {
            dest[out++] = uint8_t(code);
            prevLength = 1;
        } else {
            const TEntry e = table[code];
            CopyString(dest, e.Offset, out, e.Length, unpacked);
            prevLength = e.Length;
            out = std::min(out + e.Length, unpacked);
        }
        prev = code;
    }
    reader = bits;
    return out;
}

size_t TTIFFLZW::Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) {
    TTIFFCodes codes(source, source + packed);
    const size_t out = DecodeCodes(codes, dest, unpacked, 256);
    source = codes.Position();
    return out;
}

size_t TGIFLZW::Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) {
    if (FInitialCodeSize < 1 || FInitialCodeSize > 11) throw Exception(TGIFCodes::kInvalid);
    TGIFCodes codes(source, source + packed);
    const size_t out = DecodeCodes(codes, dest, unpacked, 1u << FInitialCodeSize);
    source = codes.Position();
    return out;
}

// ---- Run-length decoders --------------------------------------------------------------------

size_t TPackbitsRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) {
    const uint8_t* s = source;
    size_t in = 0, out = 0;
    while (in < packed && out < unpacked) {
        const int n = int8_t(s[in++]);
        if (n >= 0) {
            const size_t count = size_t(n) + 1;
            if (count <= 16 && in + 16 <= packed && out + 16 <= unpacked) {
                // Short literals, the common case, move as one 16-byte block.
                std::memcpy(dest + out, s + in, 16);
                in += count;
                out += count;
                continue;
            }
            const size_t available = std::min(count, packed - in);
            out += Copy(dest, out, unpacked, s + in, available);
            in += available;
        } else if (n != -128) {
            if (in >= packed) break;
            const size_t count = size_t(1 - n);
            if (count <= 16 && out + 16 <= unpacked) {
                std::memset(dest + out, s[in++], 16);
                out += count;
                continue;
            }
            out += Fill(dest, out, unpacked, s[in++], count);
        }
    }
    source += in;
    return out;
}

size_t TPCXRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) {
    const uint8_t* s = source;
    size_t in = 0;
    size_t out = Fill(dest, 0, unpacked, FRunValue, FRunLeft);
    FRunLeft -= out;
    // While a whole packet and the longest run fit, nothing needs cutting, and a run is filled as
    // one 64-byte block (the bytes beyond it are written again later).
    const size_t fastIn = packed > 1 ? packed - 1 : 0, fastOut = unpacked > 63 ? unpacked - 63 : 0;
    while (in < fastIn && out < fastOut) {
        const uint8_t b = s[in];
        if (b >= 192) {
            std::memset(dest + out, s[in + 1], 64);
            out += b & 63;
            in += 2;
        } else {
            dest[out++] = b;
            ++in;
        }
    }
    size_t runEnd = 0;  // where the last run would end; beyond the output only when it was cut
    uint8_t value = 0;
    while (in < packed && out < unpacked) {
        const uint8_t b = s[in++];
        if (b >= 192) {
            if (in >= packed) break;
            value = s[in++];
            runEnd = out + (b & 63);
            out += Fill(dest, out, unpacked, value, b & 63);
        } else {
            dest[out++] = b;
        }
    }
    if (runEnd > unpacked) {
        FRunValue = value;
        FRunLeft = runEnd - unpacked;
    }
    source += in;
    return out;
}

size_t TSGIRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) {
    const uint8_t* s = source;
    size_t in = 0, out = 0;
    if (FSampleSize == 1) {
        while (in < packed && out < unpacked) {
            const uint8_t h = s[in++];
            const size_t count = h & 127;
            if (count == 0) break;
            if (h & 128) {
                const size_t n = std::min(count, packed - in);
                out += Copy(dest, out, unpacked, s + in, n);
                in += n;
            } else {
                if (in >= packed) break;
                out += Fill(dest, out, unpacked, s[in++], count);
            }
        }
    } else {
        while (in + 2 <= packed && out < unpacked) {
            const uint8_t low = s[in + 1];
            in += 2;
            const size_t count = low & 127;
            if (count == 0) break;
            if (low & 128) {
                const size_t n = std::min(count, (packed - in) / 2);
                for (size_t i = 0; i < n && out < unpacked; ++i) dest[out++] = s[in + 2 * i];
                in += 2 * n;
            } else {
                if (in + 2 > packed) break;
                out += Fill(dest, out, unpacked, s[in], count);
                in += 2;
            }
        }
    }
    source += in;
    return out;
}

size_t TCUTRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) {
    const uint8_t* s = source;
    size_t in = std::min<size_t>(2, packed), out = 0;  // the line's length field
    while (in < packed && out < unpacked) {
        const uint8_t b = s[in++];
        if (b == 0) break;
        if (b >= 128) {
            if (in >= packed) break;
            out += Fill(dest, out, unpacked, s[in++], b & 127);
        } else {
            const size_t n = std::min<size_t>(b, packed - in);
            out += Copy(dest, out, unpacked, s + in, n);
            in += n;
        }
    }
    source += in;
    return out;
}

size_t TRLADecoder::Decode(const uint8_t*& source, uint8_t* dest, size_t packed, size_t unpacked) {
    const uint8_t* s = source;
    size_t in = 0, out = 0;
    while (in < packed && out < unpacked) {
        const int n = int8_t(s[in++]);
        if (n >= 0) {
            if (in >= packed) break;
            out += Fill(dest, out, unpacked, s[in++], size_t(n) + 1);
        } else {
            const size_t count = std::min<size_t>(size_t(-n), packed - in);
            out += Copy(dest, out, unpacked, s + in, count);
            in += count;
        }
    }
    source += in;
    return out;
}

// ---- Targa packets --------------------------------------------------------------------------

size_t DecodeTargaRLE(const uint8_t* source, size_t packed, uint8_t* dest, size_t unpacked, int bitsPerPixel) {
    size_t p;
    switch (bitsPerPixel) {
        case 8: p = 1; break;
        case 15:
        case 16: p = 2; break;
        case 24: p = 3; break;
        case 32: p = 4; break;
        default: return 0;
    }
    size_t in = 0, out = 0;
    while (out < unpacked && in < packed) {
        const uint8_t h = source[in++];
        const size_t count = size_t(h & 127) + 1;
        if (h & 128) {
            if (in + p > packed) break;
            const uint8_t* pixel = source + in;
            in += p;
            const size_t bytes = std::min(count * p, unpacked - out);
            if (p == 1) {
                std::memset(dest + out, *pixel, bytes);
            } else {
                for (size_t i = 0; i < bytes; ++i) dest[out + i] = pixel[i % p];
            }
            out += bytes;
        } else {
            const size_t bytes = std::min(count * p, packed - in);
            out += Copy(dest, out, unpacked, source + in, bytes);
            in += bytes;
        }
    }
    return in;
}

size_t EncodeTargaRLE(const uint8_t* source, uint8_t* dest, size_t count, int pixelSize) {
    const size_t p = size_t(std::clamp(pixelSize, 1, 4));
    auto same = [&](size_t a, size_t b) { return std::memcmp(source + a * p, source + b * p, p) == 0; };
    size_t i = 0, out = 0;
    while (i < count) {
        // Raw stretch: pixels that differ from their successor (the last pixel has none).
        size_t raw = 0;
        while (raw < 128 && i + raw < count && (i + raw + 1 == count || !same(i + raw, i + raw + 1))) ++raw;
        if (raw > 0) {
            dest[out++] = uint8_t(raw - 1);
            std::memcpy(dest + out, source + i * p, raw * p);
            out += raw * p;
            i += raw;
            continue;
        }
        size_t run = 1;
        while (run < 128 && i + run < count && same(i, i + run)) ++run;
        dest[out++] = uint8_t((run - 1) | 128);
        std::memcpy(dest + out, source + i * p, p);
        out += p;
        i += run;
    }
    return out;
}
