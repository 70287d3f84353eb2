// Byte streams of the XML document library: the abstract stream the readers and writers work
// on, an in-memory byte-string stream, a file stream, and TdomWideStringStream, a byte stream
// whose content is read as UTF-16 text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "XmlSupport.h"

namespace xmldom {

/// Seek origins.
inline constexpr uint16_t soFromBeginning = 0;
inline constexpr uint16_t soFromCurrent = 1;
inline constexpr uint16_t soFromEnd = 2;

/// A stream of bytes with a position. Counts below 0 are treated as 0.
class TStream : public TObject {
public:
    /// Copies up to Count bytes from the position into Buffer; returns the number copied.
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    /// Writes Count bytes at the position; returns the number written.
    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
    /// Moves the position; returns the new position.
    virtual int64_t Seek(int64_t Offset, uint16_t Origin) = 0;
    /// Sets the size; streams that cannot change their size ignore it.
    virtual void SetSize(int64_t NewSize);

    int64_t getPosition() { return Seek(0, soFromCurrent); }
    void setPosition(int64_t Position) { Seek(Position, soFromBeginning); }
    int64_t getSize();

    /// Read of exactly Count bytes; EReadError "Stream read error" when fewer arrive.
    void ReadBuffer(void* Buffer, int32_t Count);
    /// Write of exactly Count bytes; EWriteError "Stream write error" when fewer are taken.
    void WriteBuffer(const void* Buffer, int32_t Count);
};

/// An in-memory stream over a byte string (the "string stream" of the writer and parsers).
class TStringStream : public TStream {
public:
    explicit TStringStream(std::string data = {}) : data_(std::move(data)) {}

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, uint16_t Origin) override;
    void SetSize(int64_t NewSize) override;

    const std::string& DataString() const { return data_; }
    /// Moves the bytes out (no copy) and leaves the stream empty at position 0.
    std::string ReleaseDataString() {
        position_ = 0;
        return std::move(data_);
    }

private:
    std::string data_;
    int64_t position_ = 0; ///< 0..size
};

/// File open modes.
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmCreate = 0xFF00;

/// A stream on a file. fmCreate creates or empties the file (EFCreateError when it cannot);
/// the open modes open an existing file (EFOpenError when it cannot).
class TFileStream : public TStream {
public:
    TFileStream(const WideString& FileName, uint16_t Mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, uint16_t Origin) override;

private:
    std::FILE* file_ = nullptr;
};

/// A byte stream holding UTF-16 text: the text is the buffer read as size / 2 code units in
/// machine order. Its size is always even.
class TdomWideStringStream : public TStream {
public:
    /// A stream holding the code units of Text, positioned at 0.
    explicit TdomWideStringStream(const WideString& Text = {});

    /// Odd size: EStreamError "Odd size not valid for WideString"; negative: "Negative stream
    /// size invalid". Growing past the capacity sets it to n + max(n div 4, 8), rounded down to
    /// a multiple of 4. The position is cut to the new size.
    void SetSize(int64_t NewSize) override;
    int32_t Read(void* Buffer, int32_t Count) override;
    /// Grows the size to position + Count rounded up to even when needed; returns Count.
    int32_t Write(const void* Buffer, int32_t Count) override;
    /// Origin 0: Offset; 1: position + Offset; 2: size - Offset; clipped to 0..size.
    int64_t Seek(int64_t Offset, uint16_t Origin) override;
    /// Below the size: EStreamError "Capacity cannot be less than size".
    virtual void SetCapacity(int64_t NewCapacity);

    int64_t getCapacity() const { return static_cast<int64_t>(buffer_.size()); }
    /// The text held: size / 2 code units.
    WideString DataString() const;

private:
    std::vector<uint8_t> buffer_; ///< capacity bytes; the first size_ are the content
    int64_t size_ = 0;            ///< even, 0..capacity
    int64_t position_ = 0;        ///< 0..size
};

} // namespace xmldom
