// Helpers the image readers share: byte-order reads, raising and plain stream reads, preparing an
// emptied bitmap of a checked size, grey palettes, and a buffered byte source over a stream.
#pragma once

#include "Bitmap.h"
#include "Streams.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace readers {

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

[[noreturn]] inline void ReadError() { throw EReadError("Stream read error"); }

/// Reads `count` bytes; fewer leave the rest of the buffer as it was. Returns the bytes read.
inline size_t ReadPlain(TStream& stream, void* buffer, size_t count) {
    const int64_t n = stream.Read(buffer, int64_t(count));
    return n > 0 ? size_t(n) : 0;
}

/// Bytes from the stream's position to its end (0 when positioned past it).
inline int64_t BytesLeft(TStream& stream) {
    const int64_t left = stream.Size() - stream.Position();
    return left > 0 ? left : 0;
}

/// Empties the bitmap and gives it the format and size: every row starts zeroed. The size is
/// checked against the int range ("Invalid bitmap size") and the pixel budget before anything
/// is allocated.
inline void PrepareBitmap(TBitmap& bitmap, TPixelFormat format, int64_t width, int64_t height) {
    if (width < 0 || height < 0 || width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max())
        throw EInvalidGraphic("Invalid bitmap size");
    CheckPixelBudget(width, height);
    bitmap.Assign(TBitmap());
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(int(width), int(height));
}

/// `count` grey entries, entry i with red = green = blue = i × step.
inline std::vector<TRGBQuad> GreyPalette(int count = 256, int step = 1) {
    std::vector<TRGBQuad> p(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const uint8_t v = uint8_t(i * step);
        p[size_t(i)] = TRGBQuad{v, v, v, 0};
    }
    return p;
}

inline uint8_t* Row(TBitmap& bitmap, int y) { return static_cast<uint8_t*>(bitmap.ScanLine(y)); }

/// Reads a stream forward through a buffer, byte by byte or in blocks. Reaching the end is
/// reported by Get (−1) and Take (fewer bytes); the position of the stream is left after the
/// bytes read ahead, and Consumed tells how many were used.
class TByteSource {
public:
    explicit TByteSource(TStream& stream, size_t bufferSize = 65536) : FStream(stream), FBuffer(bufferSize) {}
    int Get() {
        if (FPos == FEnd && !Fill()) return -1;
        return FBuffer[FPos++];
    }
    /// Copies up to `count` bytes into `dest`; returns the number copied.
    size_t Take(uint8_t* dest, size_t count) {
        size_t done = 0;
        while (done < count) {
            if (FPos == FEnd && !Fill()) break;
            const size_t n = std::min(count - done, FEnd - FPos);
            std::memcpy(dest + done, FBuffer.data() + FPos, n);
            FPos += n;
            done += n;
        }
        return done;
    }
    /// Skips up to `count` bytes; returns the number skipped.
    size_t Skip(size_t count) {
        size_t done = 0;
        while (done < count) {
            if (FPos == FEnd && !Fill()) break;
            const size_t n = std::min(count - done, FEnd - FPos);
            FPos += n;
            done += n;
        }
        return done;
    }
    /// Sets the stream back to just after the bytes used.
    void Release() {
        FStream.Seek(-int64_t(FEnd - FPos), soCurrent);
        FPos = FEnd = 0;
    }

private:
    bool Fill() {
        FPos = 0;
        FEnd = ReadPlain(FStream, FBuffer.data(), FBuffer.size());
        return FEnd > 0;
    }
    TStream& FStream;
    std::vector<uint8_t> FBuffer;
    size_t FPos = 0, FEnd = 0;
};

}  // namespace readers
