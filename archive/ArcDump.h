// Public interface of libPAKRIN32.so: the reader of "POD BAY" archives. An archive holds a sorted
// directory of 15-byte records naming its members in packed 8.3 form, followed by the members,
// each stored plain or coded. ArcDump walks and searches the directory and extracts members.
#pragma once

#include <cstdint>
#include <memory>

#define PAKRIN32_API __attribute__((visibility("default")))

/// Reader of one archive. Flag results are 1 or 0; nothing throws. An object is used by one
/// thread at a time; separate objects may extract at the same time.
class PAKRIN32_API ArcDump {
public:
    /// Opens the archive read-only and makes record 0 current. Never fails loudly: test IsValid.
    /// A count in the header larger than the file can hold is cut to the records that fit.
    explicit ArcDump(char* path);
    ~ArcDump();
    ArcDump(const ArcDump&) = delete;
    ArcDump& operator=(const ArcDump&) = delete;

    /// 1 when the archive file is open (whatever its magic), else 0.
    unsigned short IsValid();
    /// Makes record 0 current. Always 1; does nothing when there is no directory.
    unsigned short Top();
    /// Makes the next record current. Always 1; past the last record the record reads as zeros.
    unsigned short Next();
    /// 1 when the current record lies past the last one (at once for an empty or foreign file).
    unsigned short eof();
    /// Upper-cases `name` in place, then searches the directory for it: 1 with that record
    /// current, else 0 with the last record probed current.
    unsigned short Seek(char* name);
    /// Writes the current record's name ("BASE.EXT", or "BASE." without extension) into
    /// `buffer`, which must hold 13 bytes; an empty text when there is no directory.
    unsigned char* FileName(char* buffer);
    /// Offset of the current member from the start of the archive (0 without a directory).
    unsigned long Offset();
    /// Stored length of the current member (0 without a directory).
    unsigned long Length();
    /// Number of directory records.
    unsigned long NumberOfRecords();
    /// Extracts the current member to a new file at `path`, decoding a coded member and copying a
    /// plain one. Returns 0 done, -2 the output cannot be created or written, -3 the member ends
    /// early or is damaged (partial output stays; also when there is no current member), -4 no
    /// memory for the work buffers, -5 a plain member's output cannot be created. The archive's
    /// position is restored in every case.
    int ExtractFile(char* path);

private:
    static constexpr int kHeaderSize = 13;
    static constexpr int kRecordSize = 15;
    static constexpr int kKeySize = 8;

    void ReadRecord();
    void GotoRecord(std::uint32_t i);
    int CompareKey(const unsigned char* key);
    static void PackName(const char* name, unsigned char* key);
    static void UnpackName(const unsigned char* record, char* text);
    long long RecordPosition() const;
    int CopyPlain(char* path);

    int file;              ///< the archive, read-only; -1 when it could not be opened
    std::uint32_t index;   ///< number of the current record, 0-based
    std::uint32_t count;   ///< records in the directory; 0 when the magic did not match
    /// The current record; present only when the magic matched. Invariant between calls: the
    /// file position is at the start of the current record, 13 + 15 x index.
    std::unique_ptr<unsigned char[]> record;
};
