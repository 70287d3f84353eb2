// ArcDump: opens an archive, walks and binary-searches its sorted directory of packed 8.3 names,
// and extracts members through the member codec, copying members without the codec signature
// as they are. Every directory read is made at 13 + 15 x index and checked against the file.
#include "ArcDump.h"

#include "MemberCodec.h"

#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[7] = {'P', 'O', 'D', ' ', 'B', 'A', 'Y'};
// Name characters by code; code 0 is padding and ends a name.
constexpr char kNameChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
constexpr int kLastCode = 37;
constexpr int kExtensionBase = 38;
// Plain members are copied in pieces of this size: large enough for the copy to run at the
// speed of the file system rather than of the system calls.
constexpr std::size_t kCopyPiece = 128 * 1024;

int CharCode(char c) {
    if (c >= '0' && c <= '9') return c - '0' + 1;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 11;
    if (c == '_') return kLastCode;
    return 0;
}

// Four codes into three bytes, most significant bit first.
void PackFour(const int* k, unsigned char* out) {
    out[0] = static_cast<unsigned char>(k[0] << 2 | k[1] >> 4);
    out[1] = static_cast<unsigned char>((k[1] & 15) << 4 | k[2] >> 2);
    out[2] = static_cast<unsigned char>((k[2] & 3) << 6 | k[3]);
}

void UnpackFour(const unsigned char* in, int* k) {
    k[0] = in[0] >> 2;
    k[1] = (in[0] & 3) << 4 | in[1] >> 4;
    k[2] = (in[1] & 15) << 2 | in[2] >> 6;
    k[3] = in[2] & 63;
}

std::uint32_t Little32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

long ReadAt(int file, long long position, unsigned char* buffer, long size) {
    long done = 0;
    while (done < size) {
        ssize_t n = ::pread(file, buffer + done, size_t(size - done), off_t(position + done));
        if (n <= 0) break;
        done += n;
    }
    return done;
}

}  // namespace

ArcDump::ArcDump(char* path) : file(-1), index(0), count(0) {
    if (path == nullptr) return;
    file = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        file = -1;
        return;
    }
    unsigned char header[kHeaderSize];
    if (ReadAt(file, 0, header, kHeaderSize) != kHeaderSize || std::memcmp(header, kMagic, sizeof kMagic) != 0) {
        return;
    }
    count = Little32(header + 9);
    struct stat info {};
    if (::fstat(file, &info) == 0) {
        const long long fits = (static_cast<long long>(info.st_size) - kHeaderSize) / kRecordSize;
        if (fits < static_cast<long long>(count)) count = static_cast<std::uint32_t>(fits < 0 ? 0 : fits);
    }
    record = std::make_unique<unsigned char[]>(kRecordSize);
    ReadRecord();
}

ArcDump::~ArcDump() {
    if (file != -1) ::close(file);
}

unsigned short ArcDump::IsValid() { return file != -1 ? 1 : 0; }

long long ArcDump::RecordPosition() const { return kHeaderSize + static_cast<long long>(kRecordSize) * index; }

void ArcDump::ReadRecord() {
    if (!record) return;
    const long long position = RecordPosition();
    const long got = ReadAt(file, position, record.get(), kRecordSize);
    // Past the end of the file the record reads as zeros rather than as stale bytes.
    std::memset(record.get() + (got > 0 ? got : 0), 0, size_t(kRecordSize - (got > 0 ? got : 0)));
    ::lseek(file, off_t(position), SEEK_SET);
}

unsigned short ArcDump::Top() {
    if (!record) return 1;
    index = 0;
    ReadRecord();
    return 1;
}

unsigned short ArcDump::Next() {
    if (!record) return 1;
    if (index != UINT32_MAX) ++index;
    ReadRecord();
    return 1;
}

unsigned short ArcDump::eof() { return index >= count ? 1 : 0; }

void ArcDump::GotoRecord(std::uint32_t i) {
    index = i;
    ReadRecord();
}

int ArcDump::CompareKey(const unsigned char* key) {
    for (int i = 0; i < kKeySize; ++i) {
        if (key[i] != record[i]) return key[i] < record[i] ? -1 : 1;
    }
    return 0;
}

void ArcDump::PackName(const char* name, unsigned char* key) {
    char text[13] = {};
    std::strncpy(text, name, 12);
    char* dot = std::strchr(text, '.');
    const char* extension = "";
    if (dot != nullptr) {
        *dot = '\0';
        extension = dot + 1;
    }
    int codes[8] = {};
    for (int i = 0; i < 8 && text[i] != '\0'; ++i) codes[i] = CharCode(text[i]);
    PackFour(codes, key);
    PackFour(codes + 4, key + 3);

    unsigned number = 0;
    for (int i = 0, left = 1; i < 3; ++i) {
        if (left && extension[i] == '\0') left = 0;
        number = number * kExtensionBase + (left ? unsigned(CharCode(extension[i])) : 0u);
    }
    key[6] = static_cast<unsigned char>(number >> 8);
    key[7] = static_cast<unsigned char>(number);
}

void ArcDump::UnpackName(const unsigned char* rec, char* text) {
    int codes[8];
    UnpackFour(rec, codes);
    UnpackFour(rec + 3, codes + 4);
    int length = 0;
    // Codes past the table are no character: they end the name like padding.
    for (int i = 0; i < 8 && codes[i] != 0 && codes[i] <= kLastCode; ++i) text[length++] = kNameChars[codes[i] - 1];
    text[length++] = '.';
    const unsigned number = unsigned(rec[6]) << 8 | rec[7];
    if (number != 0) {
        const unsigned digits[3] = {number / (kExtensionBase * kExtensionBase), number / kExtensionBase % kExtensionBase,
                                    number % kExtensionBase};
        for (unsigned digit : digits) {
            if (digit == 0 || digit > unsigned(kLastCode)) break;
            text[length++] = kNameChars[digit - 1];
        }
    }
    text[length] = '\0';
}

unsigned short ArcDump::Seek(char* name) {
    if (name == nullptr) return 0;
    for (char* p = name; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
    if (!record) return 0;
    unsigned char key[kKeySize];
    PackName(name, key);
    long long lo = 0;
    long long hi = static_cast<long long>(count) - 1;
    while (lo <= hi) {
        const long long mid = (lo + hi) / 2;
        GotoRecord(static_cast<std::uint32_t>(mid));
        const int order = CompareKey(key);
        if (order < 0) {
            hi = mid - 1;
        } else if (order > 0) {
            lo = mid + 1;
        } else {
            return 1;
        }
    }
    return 0;
}

unsigned char* ArcDump::FileName(char* buffer) {
    if (buffer == nullptr) return nullptr;
    if (record) {
        UnpackName(record.get(), buffer);
    } else {
        buffer[0] = '\0';
    }
    return reinterpret_cast<unsigned char*>(buffer);
}

unsigned long ArcDump::Offset() { return record ? Little32(record.get() + 8) : 0; }

unsigned long ArcDump::Length() {
    if (!record) return 0;
    return static_cast<unsigned long>(record[12]) | static_cast<unsigned long>(record[13]) << 8 |
           static_cast<unsigned long>(record[14]) << 16;
}

unsigned long ArcDump::NumberOfRecords() { return count; }

int ArcDump::CopyPlain(char* path) {
    if (::lseek(file, off_t(Offset()), SEEK_SET) < 0) return -5;
    std::unique_ptr<unsigned char[]> piece(new (std::nothrow) unsigned char[kCopyPiece]);
    if (!piece) return -4;
    const int out = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) return -5;
    unsigned long left = Length();
    int result = 0;
    while (left > 0 && result == 0) {
        const size_t want = left < kCopyPiece ? size_t(left) : kCopyPiece;
        const ssize_t got = ::read(file, piece.get(), want);
        if (got <= 0) {
            result = -3;  // the archive ends inside the member
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t n = ::write(out, piece.get() + done, size_t(got - done));
            if (n <= 0) {
                result = -2;
                break;
            }
            done += n;
        }
        left -= static_cast<unsigned long>(got);
    }
    if (::close(out) != 0 && result == 0) result = -2;
    return result;
}

int ArcDump::ExtractFile(char* path) {
    if (!record || eof()) return -3;
    const long long position = RecordPosition();
    int result = -3;
    if (::lseek(file, off_t(Offset()), SEEK_SET) >= 0) result = ExtractMember(file, Length(), path);
    if (result == -5) result = CopyPlain(path);
    ::lseek(file, off_t(position), SEEK_SET);
    return result;
}
