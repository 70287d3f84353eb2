// Member codec: block decoder and member extraction used by ArcDump, and the matching encoder and
// whole-file routines. Every read of coded data is checked against the coded length and every
// write against the 16,384-byte block, so a damaged member is refused instead of overrunning.
#include "MemberCodec.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const unsigned char MemberSignature[kSignatureSize] = {0x01, 'O', 'r', 'u', 'C', 'O', 'M', 'P', 0x01};

namespace {

// Longest run and reference items, and the farthest a reference reaches back.
constexpr int kMaxRun = 4114;
constexpr int kMaxMatch = 271;
constexpr int kMaxDistance = 4098;
// Inputs this short are always stored.
constexpr int kStoredBelow = 19;
// A block whose coded form comes this close to its input length is stored instead.
constexpr int kStoreMargin = 48;

// Reads until `size` bytes came or the file ended; returns the count, or -1 on a read error.
long ReadFull(int file, unsigned char* buffer, long size) {
    long done = 0;
    while (done < size) {
        ssize_t n = ::read(file, buffer + done, size_t(size - done));
        if (n < 0) return -1;
        if (n == 0) break;
        done += n;
    }
    return done;
}

bool WriteFull(int file, const unsigned char* buffer, long size) {
    while (size > 0) {
        ssize_t n = ::write(file, buffer, size_t(size));
        if (n <= 0) return false;
        buffer += n;
        size -= n;
    }
    return true;
}

int CreateOutput(const char* path) {
    if (path == nullptr) return -1;
    return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

// Copies `count` bytes from `distance` back. With room to spare and a source at least 16 bytes
// back, the copy goes in whole 16-byte pieces (bytes past the count are overwritten later);
// a reference longer than its distance goes byte by byte so that it repeats the pattern.
inline void CopyBack(unsigned char* out, const unsigned char* outEnd, int distance, int count) {
    const unsigned char* from = out - distance;
    if (distance >= 16 && outEnd - out >= count + 15) {
        for (int i = 0; i < count; i += 16) std::memcpy(out + i, from + i, 16);
    } else if (count <= distance) {
        std::memcpy(out, from, size_t(count));
    } else {
        for (int i = 0; i < count; ++i) out[i] = from[i];
    }
}

}  // namespace

int DecompressBlock(const unsigned char* input, int length, unsigned char* output) {
    const unsigned char* in = input;
    const unsigned char* const inEnd = input + (length > 0 ? length : 0);
    unsigned char* out = output;
    unsigned char* const outEnd = output + kBlockSize;

    while (in < inEnd) {
        if (inEnd - in < 2) return -1;
        // The control word's bits, first item in the top bit of 16.
        std::uint32_t control = std::uint32_t(in[0]) | std::uint32_t(in[1]) << 8;
        in += 2;
        int items = 16;
        while (items > 0 && in < inEnd) {
            if ((control & 0x8000) == 0) {
                // A stretch of literals is one move.
                int literals = control == 0 ? items : std::countl_zero(std::uint16_t(control));
                if (literals > items) literals = items;
                if (literals > inEnd - in) literals = int(inEnd - in);
                if (literals > outEnd - out) return -1;
                if (inEnd - in >= 16 && outEnd - out >= 16) {
                    std::memcpy(out, in, 16);
                } else {
                    std::memcpy(out, in, size_t(literals));
                }
                in += literals;
                out += literals;
                items -= literals;
                control <<= literals;
                continue;
            }
            control <<= 1;
            --items;
            const unsigned head = *in++;
            const int kind = int(head >> 4);
            const int low = int(head & 15);
            const long left = inEnd - in;
            if (kind <= 1) {
                int count;
                unsigned char value;
                if (kind == 0) {
                    if (left < 1) return -1;
                    count = low + 3;
                    value = in[0];
                    in += 1;
                } else {
                    if (left < 2) return -1;
                    count = low + 16 * int(in[0]) + 19;
                    value = in[1];
                    in += 2;
                }
                if (outEnd - out < count) return -1;
                if (count <= 18 && outEnd - out >= 18) {
                    std::memset(out, value, 18);
                } else {
                    std::memset(out, value, size_t(count));
                }
                out += count;
                continue;
            }
            int count;
            if (kind == 2) {
                if (left < 2) return -1;
                count = int(in[1]) + 16;
            } else {
                if (left < 1) return -1;
                count = kind;
            }
            const int distance = low + 3 + 16 * int(in[0]);
            in += kind == 2 ? 2 : 1;
            if (distance > out - output || outEnd - out < count) return -1;
            CopyBack(out, outEnd, distance, count);
            out += count;
        }
    }
    return int(out - output);
}

int ReadBlock(int file, unsigned char* coded, unsigned char* output, std::int64_t& remaining) {
    if (remaining <= 0) return 0;
    if (remaining < 2) return -1;  // a header cannot fit in what is left of the member
    unsigned char header[2];
    const long got = ReadFull(file, header, 2);
    remaining -= 2;
    if (got != 2) return -1;
    const int h = std::int16_t(std::uint16_t(header[0] | header[1] << 8));
    if (h == 0) return 0;
    const int size = h < 0 ? -h : h;
    if (size > kBlockSize || size > remaining) return -1;
    unsigned char* target = h < 0 ? output : coded;
    if (ReadFull(file, target, size) != size) return -1;
    remaining -= size;
    if (h < 0) return size;
    const int produced = DecompressBlock(coded, size, output);
    return produced > 0 ? produced : -1;  // a coded block that yields nothing is not one the format has
}

int CheckSignature(int file, std::uint64_t length, std::int64_t& remaining) {
    if (length < std::uint64_t(kSignatureSize)) return 0;
    unsigned char bytes[kSignatureSize];
    const long got = ReadFull(file, bytes, kSignatureSize);
    remaining -= kSignatureSize;
    return got == kSignatureSize && std::memcmp(bytes, MemberSignature, kSignatureSize) == 0 ? 1 : 0;
}

int ExtractMember(int file, std::uint64_t length, const char* path) {
    std::unique_ptr<unsigned char[]> coded(new (std::nothrow) unsigned char[kBlockSize]);
    std::unique_ptr<unsigned char[]> output(new (std::nothrow) unsigned char[kBlockSize]);
    if (!coded || !output) return -4;

    const int out = CreateOutput(path);
    if (out < 0) return -2;

    std::int64_t remaining = length > std::uint64_t(INT64_MAX) ? INT64_MAX : std::int64_t(length);
    int result = CheckSignature(file, length, remaining) ? 0 : -5;
    while (result == 0) {
        const int n = ReadBlock(file, coded.get(), output.get(), remaining);
        if (n < 0) {
            result = -3;
        } else if (n == 0) {
            break;
        } else if (!WriteFull(out, output.get(), n)) {
            result = -2;
        }
    }
    if (::close(out) != 0 && result == 0) result = -2;
    if (result == -5) ::unlink(path);
    return result;
}

namespace {

inline int Hash3(const unsigned char* p) {
    return ((unsigned(p[0]) << 8 | p[1]) ^ (unsigned(p[2]) << 4 | p[0] >> 4)) & (kHashSlots - 1);
}

int StoreBlock(const unsigned char* input, int length, unsigned char* output) {
    std::memcpy(output, input, size_t(length));
    return -length;
}

}  // namespace

int CompressBlock(const unsigned char* input, int length, unsigned char* output, std::int32_t* hash) {
    if (length < kStoredBelow) return StoreBlock(input, length, output);

    int in = 0;
    int out = 2;           // room for the first control word
    int controlAt = 0;     // where the current control word goes
    unsigned control = 0;  // bits of the current group, shifted in from the right
    int items = 0;

    while (in < length) {
        if (items == 16) {  // the next group's control word
            controlAt = out;
            out += 2;
            control = 0;
            items = 0;
        }
        // Every item takes at most 3 bytes; the coded form never grows past the input.
        if (out + 3 > length) return StoreBlock(input, length, output);

        const unsigned char value = input[in];
        int run = 1;
        while (in + run < length && run < kMaxRun && input[in + run] == value) ++run;

        bool isCommand = true;
        if (run >= 3) {
            if (run <= 18) {
                output[out++] = std::uint8_t(run - 3);
            } else {
                const int c = run - 19;
                output[out++] = std::uint8_t(0x10 | (c & 15));
                output[out++] = std::uint8_t(c >> 4);
            }
            output[out++] = value;
            in += run;
        } else {
            int match = 0;
            int distance = 0;
            if (length - in >= 3) {
                std::int32_t& slot = hash[Hash3(input + in)];
                const std::int32_t previous = slot;
                slot = in;
                distance = in - previous;
                if (previous >= 0 && previous < in && distance >= 3 && distance <= kMaxDistance) {
                    int limit = length - in;
                    if (limit > kMaxMatch) limit = kMaxMatch;
                    if (limit > distance) limit = distance;
                    const unsigned char* a = input + previous;
                    const unsigned char* b = input + in;
                    while (match < limit && a[match] == b[match]) ++match;
                }
            }
            if (match >= 3) {
                const int d = distance - 3;
                if (match <= 15) {
                    output[out++] = std::uint8_t(match << 4 | (d & 15));
                    output[out++] = std::uint8_t(d >> 4);
                } else {
                    output[out++] = std::uint8_t(0x20 | (d & 15));
                    output[out++] = std::uint8_t(d >> 4);
                    output[out++] = std::uint8_t(match - 16);
                }
                in += match;
            } else {
                output[out++] = value;
                ++in;
                isCommand = false;
            }
        }
        control = control << 1 | (isCommand ? 1u : 0u);
        if (++items == 16) {
            output[controlAt] = std::uint8_t(control);
            output[controlAt + 1] = std::uint8_t(control >> 8);
            if (out > length - kStoreMargin) return StoreBlock(input, length, output);
        }
    }
    if (items < 16) {
        control <<= 16 - items;
        output[controlAt] = std::uint8_t(control);
        output[controlAt + 1] = std::uint8_t(control >> 8);
    }
    if (out >= length) return StoreBlock(input, length, output);
    return out;
}

bool WriteBlock(int file, int result, const unsigned char* data) {
    const std::uint16_t header = std::uint16_t(std::int16_t(result));
    const unsigned char bytes[2] = {std::uint8_t(header), std::uint8_t(header >> 8)};
    if (!WriteFull(file, bytes, 2)) return false;
    return WriteFull(file, data, result < 0 ? -long(result) : long(result));
}

bool WriteSignature(int file) { return WriteFull(file, MemberSignature, kSignatureSize); }

int CompressFile(const char* input, const char* output) {
    const int in = input ? ::open(input, O_RDONLY | O_CLOEXEC) : -1;
    if (in < 0) return -1;
    const int out = CreateOutput(output);
    if (out < 0) {
        ::close(in);
        return -2;
    }
    auto plain = std::make_unique<unsigned char[]>(kBlockSize);
    auto coded = std::make_unique<unsigned char[]>(kBlockSize);
    auto hash = std::make_unique<std::int32_t[]>(kHashSlots);
    std::fill_n(hash.get(), kHashSlots, -1);

    int result = WriteSignature(out) ? 0 : -2;
    while (result == 0) {
        const long n = ReadFull(in, plain.get(), kBlockSize);
        if (n < 0) {
            result = -1;
        } else if (n == 0) {
            if (!WriteBlock(out, 0, coded.get())) result = -2;
            break;
        } else {
            const int size = CompressBlock(plain.get(), int(n), coded.get(), hash.get());
            if (!WriteBlock(out, size, coded.get())) result = -2;
        }
    }
    ::close(in);
    if (::close(out) != 0 && result == 0) result = -2;
    return result;
}

int DecompressFile(const char* input, const char* output) {
    const int in = input ? ::open(input, O_RDONLY | O_CLOEXEC) : -1;
    if (in < 0) return -1;
    struct stat info {};
    int result = -1;
    if (::fstat(in, &info) == 0) result = ExtractMember(in, std::uint64_t(info.st_size), output);
    ::close(in);
    return result;
}
