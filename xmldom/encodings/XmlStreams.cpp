// Byte streams of the XML document library: the in-memory byte-string stream and the UTF-16
// text stream with its growth rule.
#include "XmlStreams.h"

#include <algorithm>
#include <cstring>

#include "XmlMessages.h"

namespace xmldom {

// ---------------------------------------------------------------- TStringStream

int64_t TStringStream::Read(void* Buffer, int64_t Count) {
    int64_t available = static_cast<int64_t>(data_.size()) - position_;
    int64_t n = std::clamp<int64_t>(Count, 0, std::max<int64_t>(available, 0));
    if (n > 0) std::memcpy(Buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

int64_t TStringStream::Write(const void* Buffer, int64_t Count) {
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

int64_t TStringStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t size = static_cast<int64_t>(data_.size());
    int64_t base = Origin == soCurrent ? position_ : Origin == soEnd ? size : 0;
    position_ = std::clamp<int64_t>(base + Offset, 0, size);
    return position_;
}

void TStringStream::SetSize(int64_t NewSize) {
    data_.resize(static_cast<size_t>(std::max<int64_t>(NewSize, 0)));
    position_ = std::min<int64_t>(position_, static_cast<int64_t>(data_.size()));
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

int64_t TdomWideStringStream::Read(void* Buffer, int64_t Count) {
    int64_t n = std::clamp<int64_t>(Count, 0, size_ - position_);
    if (n > 0) std::memcpy(Buffer, buffer_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TdomWideStringStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    int64_t end = position_ + Count;
    if (end > size_) SetSize(end + (end & 1));
    std::memcpy(buffer_.data() + position_, Buffer, static_cast<size_t>(Count));
    position_ = end;
    return Count;
}

int64_t TdomWideStringStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t target = Origin == soCurrent ? position_ + Offset
                     : Origin == soEnd   ? size_ - Offset
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
