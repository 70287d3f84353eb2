// Byte streams of the XML document library: the class library's streams of the platform layer
// (the abstract stream the readers and writers work on, the file stream), an in-memory
// byte-string stream, and TdomWideStringStream, a byte stream whose content is read as UTF-16
// text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Streams.h"
#include "XmlSupport.h"

namespace xmldom {

using ::fmCreate;
using ::fmOpenRead;
using ::fmOpenReadWrite;
using ::fmOpenWrite;
using ::soBeginning;
using ::soCurrent;
using ::soEnd;
using ::TFileStream;
using ::TSeekOrigin;
using ::TStream;

/// An in-memory stream over a byte string (the "string stream" of the writer and parsers).
class TStringStream : public TStream {
public:
    explicit TStringStream(std::string data = {}) : data_(std::move(data)) {}

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
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
    int64_t Read(void* Buffer, int64_t Count) override;
    /// Grows the size to position + Count rounded up to even when needed; returns Count.
    int64_t Write(const void* Buffer, int64_t Count) override;
    /// Origin 0: Offset; 1: position + Offset; 2: size - Offset; clipped to 0..size.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
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
