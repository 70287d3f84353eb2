// Byte streams of the XML document library: the stream base, the in-memory byte-string
// stream, the file stream and the UTF-16 text stream with its growth rule.
#include "XmlStreams.h"

#include <algorithm>
#include <cstring>

#include "XmlMessages.h"

namespace xmldom {

void TStream::SetSize(int64_t) {}

int64_t TStream::getSize() {
    int64_t position = Seek(0, soFromCurrent);
    int64_t size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
    if (Count > 0 && Read(Buffer, Count) != Count) throw EReadError(msg::kStreamReadError);
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
    if (Count > 0 && Write(Buffer, Count) != Count) throw EWriteError(msg::kStreamWriteError);
}

// ---------------------------------------------------------------- TStringStream

int32_t TStringStream::Read(void* Buffer, int32_t Count) {
    int64_t available = static_cast<int64_t>(data_.size()) - position_;
    int32_t n = static_cast<int32_t>(std::clamp<int64_t>(Count, 0, std::max<int64_t>(available, 0)));
    if (n > 0) std::memcpy(Buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

int32_t TStringStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    const size_t at = static_cast<size_t>(position_);
    size_t end = at + static_cast<size_t>(Count);
    if (at == data_.size()) {
        // Writing at the end (the common case): append, so the new bytes are not zeroed first.
        data_.append(static_cast<const char*>(Buffer), static_cast<size_t>(Count));
    } else {
        if (end > data_.size()) data_.resize(end);
        std::memcpy(data_.data() + at, Buffer, Count);
    }
    position_ = static_cast<int64_t>(end);
    return Count;
}

int64_t TStringStream::Seek(int64_t Offset, uint16_t Origin) {
    int64_t size = static_cast<int64_t>(data_.size());
    int64_t base = Origin == soFromCurrent ? position_ : Origin == soFromEnd ? size : 0;
    position_ = std::clamp<int64_t>(base + Offset, 0, size);
    return position_;
}

void TStringStream::SetSize(int64_t NewSize) {
    data_.resize(static_cast<size_t>(std::max<int64_t>(NewSize, 0)));
    position_ = std::min<int64_t>(position_, static_cast<int64_t>(data_.size()));
}

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const WideString& FileName, uint16_t Mode) {
    std::string path = ToUtf8(FileName);
    if (Mode == fmCreate) {
        file_ = std::fopen(path.c_str(), "w+b");
        if (!file_) throw EFCreateError(Format(msg::kFileCreateError, {FileName}));
        return;
    }
    const char* how = (Mode & 3) == fmOpenRead ? "rb" : "r+b";
    file_ = std::fopen(path.c_str(), how);
    if (!file_) throw EFOpenError(Format(msg::kFileOpenError, {FileName}));
}

TFileStream::~TFileStream() {
    if (file_) std::fclose(file_);
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    return static_cast<int32_t>(std::fread(Buffer, 1, static_cast<size_t>(Count), file_));
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    return static_cast<int32_t>(std::fwrite(Buffer, 1, static_cast<size_t>(Count), file_));
}

int64_t TFileStream::Seek(int64_t Offset, uint16_t Origin) {
    int whence = Origin == soFromCurrent ? SEEK_CUR : Origin == soFromEnd ? SEEK_END : SEEK_SET;
    if (std::fseek(file_, static_cast<long>(Offset), whence) != 0) return std::ftell(file_);
    return std::ftell(file_);
}

// ---------------------------------------------------------------- TdomWideStringStream

TdomWideStringStream::TdomWideStringStream(const WideString& Text) {
    if (Text.empty()) return;
    int64_t bytes = static_cast<int64_t>(Text.size()) * 2;
    SetSize(bytes);
    std::memcpy(buffer_.data(), Text.data(), static_cast<size_t>(bytes));
}

void TdomWideStringStream::SetSize(int64_t NewSize) {
    if (NewSize % 2 != 0) throw EStreamError(msg::kOddWideStringSize);
    if (NewSize < 0) throw EStreamError(msg::kNegativeStreamSize);
    if (NewSize > getCapacity()) SetCapacity((NewSize + std::max<int64_t>(NewSize / 4, 8)) & ~int64_t{3});
    size_ = NewSize;
    position_ = std::min(position_, size_);
}

void TdomWideStringStream::SetCapacity(int64_t NewCapacity) {
    if (NewCapacity < size_) throw EStreamError(msg::kCapacityBelowSize);
    buffer_.resize(static_cast<size_t>(NewCapacity));
}

int32_t TdomWideStringStream::Read(void* Buffer, int32_t Count) {
    int32_t n = static_cast<int32_t>(std::clamp<int64_t>(Count, 0, size_ - position_));
    if (n > 0) std::memcpy(Buffer, buffer_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int32_t TdomWideStringStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    int64_t end = position_ + Count;
    if (end > size_) SetSize(end + (end & 1));
    std::memcpy(buffer_.data() + position_, Buffer, static_cast<size_t>(Count));
    position_ = end;
    return Count;
}

int64_t TdomWideStringStream::Seek(int64_t Offset, uint16_t Origin) {
    int64_t target = Origin == soFromCurrent ? position_ + Offset
                     : Origin == soFromEnd   ? size_ - Offset
                                             : Offset;
    position_ = std::clamp<int64_t>(target, 0, size_);
    return position_;
}

WideString TdomWideStringStream::DataString() const {
    WideString text(static_cast<size_t>(size_ / 2), u'\0');
    if (size_ > 0) std::memcpy(text.data(), buffer_.data(), static_cast<size_t>(size_ / 2) * 2);
    return text;
}

} // namespace xmldom
