// String helpers of the XML document library: growth rules of the character buffer, the
// string list's sorted insertion, duplicate modes and quicksort, and the name/value pairs.
#include "XmlStrings.h"

#include <algorithm>

#include "XmlChars.h"
#include "XmlMessages.h"

namespace xmldom {

// ---------------------------------------------------------------- TdomCustomStr

WideChar TdomCustomStr::getChar(int Index) const {
    if (Index < 1 || Index > length_) throw EListError(Format(msg::kListIndexError, {Index}));
    return buffer_[Index - 1];
}

void TdomCustomStr::setChar(int Index, WideChar C) {
    if (Index < 1 || Index > length_) throw EListError(Format(msg::kListIndexError, {Index}));
    buffer_[Index - 1] = C;
}

void TdomCustomStr::growTo(size_t needed) {
    size_t capacity = buffer_.size();
    while (capacity < needed)
        capacity += std::max<size_t>(capacity / 4, 1);
    buffer_.resize(capacity);
}

void TdomCustomStr::addUCS4Char(UCS4Char CodePoint) {
    if ((CodePoint >= 0xD800 && CodePoint <= 0xDFFF) || CodePoint > 0x10FFFF)
        throw EConvertError(Format(msg::kInvalidUcs4CodePoint, {static_cast<long long>(CodePoint)}));
    if (CodePoint <= 0xFFFF) {
        addWideChar(static_cast<WideChar>(CodePoint));
        return;
    }
    growTo(static_cast<size_t>(length_) + 2);
    buffer_[length_++] = static_cast<WideChar>((CodePoint >> 10) + 0xD7C0);
    buffer_[length_++] = static_cast<WideChar>((CodePoint & 0x3FF) | 0xDC00);
}

void TdomCustomStr::addWideChar(WideChar C) {
    if (static_cast<size_t>(length_) == buffer_.size()) growTo(buffer_.size() + 1);
    buffer_[length_++] = C;
}

void TdomCustomStr::addWideString(std::u16string_view Text) {
    growTo(static_cast<size_t>(length_) + Text.size());
    std::copy(Text.begin(), Text.end(), buffer_.begin() + length_);
    length_ += static_cast<int>(Text.size());
}

bool TdomCustomStr::endsWith(std::u16string_view Text) const {
    if (Text.empty() || Text.size() > static_cast<size_t>(length_)) return false;
    return std::u16string_view(buffer_.data(), length_).substr(length_ - Text.size()) == Text;
}

bool TdomCustomStr::equals(std::u16string_view Text) const {
    return std::u16string_view(buffer_.data(), length_) == Text;
}

void TdomCustomStr::reset() {
    buffer_.assign(64, u'\0');
    length_ = 0;
}

bool TdomCustomStr::startsWith(std::u16string_view Text) const {
    if (Text.empty() || Text.size() > static_cast<size_t>(length_)) return false;
    return std::u16string_view(buffer_.data(), Text.size()) == Text;
}

void TdomCustomStr::value(WideString& Text) const {
    Text.assign(buffer_.data(), length_);
}

// ---------------------------------------------------------------- TdomWideStringList

void TdomWideStringList::changing() {
    if (OnChanging) OnChanging(this);
}

void TdomWideStringList::changed() {
    if (OnChange) OnChange(this);
}

void TdomWideStringList::checkIndex(int Index, int Limit) const {
    if (Index < 0 || Index >= Limit) throw EListError(Format(msg::kListIndexError, {Index}));
}

int TdomWideStringList::Add(const WideString& S) {
    return AddObject(S, nullptr);
}

int TdomWideStringList::AddObject(const WideString& S, TObject* AObject) {
    int index = getCount();
    if (sorted_ && Find(S, index)) {
        if (duplicates_ == dupIgnore) return index;
        if (duplicates_ == dupError) throw EListError(msg::kDuplicateString);
    }
    insertItem(index, S, AObject);
    return index;
}

void TdomWideStringList::Insert(int Index, const WideString& S) {
    InsertObject(Index, S, nullptr);
}

void TdomWideStringList::InsertObject(int Index, const WideString& S, TObject* AObject) {
    if (sorted_) throw EListError(msg::kSortedListError);
    checkIndex(Index, getCount() + 1);
    insertItem(Index, S, AObject);
}

void TdomWideStringList::insertItem(int Index, const WideString& S, TObject* AObject) {
    changing();
    entries_.insert(entries_.begin() + Index, Entry{S, AObject});
    changed();
}

void TdomWideStringList::Delete(int Index) {
    checkIndex(Index, getCount());
    changing();
    entries_.erase(entries_.begin() + Index);
    changed();
}

void TdomWideStringList::Clear() {
    if (entries_.empty()) return;
    changing();
    entries_.clear();
    changed();
}

void TdomWideStringList::Exchange(int Index1, int Index2) {
    if (sorted_) throw EListError(msg::kSortedListError);
    checkIndex(Index1, getCount());
    checkIndex(Index2, getCount());
    changing();
    std::swap(entries_[Index1], entries_[Index2]);
    changed();
}

bool TdomWideStringList::Find(const WideString& S, int& Index) const {
    if (!sorted_) {
        Index = IndexOf(S);
        if (Index >= 0) return true;
        Index = getCount();
        return false;
    }
    int low = 0;
    int high = getCount() - 1;
    bool found = false;
    while (low <= high) {
        int mid = low + (high - low) / 2;
        int c = CompareWideStrOrdinal(entries_[mid].string, S);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0) {
                found = true;
                if (duplicates_ != dupAccept) low = mid;
            }
        }
    }
    Index = low;
    return found;
}

int TdomWideStringList::IndexOf(const WideString& S) const {
    if (sorted_) {
        int index = 0;
        return Find(S, index) ? index : -1;
    }
    for (int i = 0; i < getCount(); ++i)
        if (entries_[i].string == S) return i;
    return -1;
}

int TdomWideStringList::IndexOfObject(const TObject* AObject) const {
    for (int i = 0; i < getCount(); ++i)
        if (entries_[i].object == AObject) return i;
    return -1;
}

void TdomWideStringList::quickSort(int L, int R) {
    while (L < R) {
        int i = L;
        int j = R;
        WideString pivot = entries_[L + (R - L) / 2].string;
        while (i <= j) {
            while (CompareWideStrOrdinal(entries_[i].string, pivot) < 0)
                ++i;
            while (CompareWideStrOrdinal(entries_[j].string, pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(entries_[i], entries_[j]);
                ++i;
                --j;
            }
        }
        // Recurse into the smaller side, loop on the larger: the depth stays logarithmic.
        if (j - L < R - i) {
            quickSort(L, j);
            L = i;
        } else {
            quickSort(i, R);
            R = j;
        }
    }
}

void TdomWideStringList::Sort() {
    if (sorted_ || getCount() < 2) return;
    changing();
    quickSort(0, getCount() - 1);
    changed();
}

void TdomWideStringList::Put(int Index, const WideString& S) {
    if (sorted_) throw EListError(msg::kSortedListError);
    checkIndex(Index, getCount());
    changing();
    entries_[Index].string = S;
    changed();
}

void TdomWideStringList::Set(int Index, std::u16string_view S) {
    if (sorted_) throw EListError(msg::kSortedListError);
    checkIndex(Index, getCount() + 1);
    changing();
    if (Index == getCount()) entries_.push_back(Entry{WideString(S), nullptr});
    else entries_[static_cast<size_t>(Index)].string.assign(S);
    changed();
}

void TdomWideStringList::Truncate(int Count) {
    if (Count < 0 || Count >= getCount()) return;
    changing();
    entries_.erase(entries_.begin() + Count, entries_.end());
    changed();
}

TObject* TdomWideStringList::GetObject(int Index) const {
    checkIndex(Index, getCount());
    return entries_[Index].object;
}

void TdomWideStringList::PutObject(int Index, TObject* AObject) {
    checkIndex(Index, getCount());
    changing();
    entries_[Index].object = AObject;
    changed();
}

void TdomWideStringList::setSorted(bool Value) {
    if (Value == sorted_) return;
    if (Value) Sort();
    sorted_ = Value;
}

// ---------------------------------------------------------------- TdomNameValueList

int TdomNameValueList::Add(const WideString& Name, const WideString& Value) {
    int before = names_.getCount();
    int index = names_.Add(Name);
    if (names_.getCount() != before) values_.Insert(index, Value);
    return index;
}

void TdomNameValueList::Clear() {
    names_.Clear();
    values_.Clear();
}

void TdomNameValueList::Delete(int Index) {
    names_.Delete(Index);
    values_.Delete(Index);
}

WideString TdomNameValueList::getValueOfName(const WideString& Name) const {
    int index = names_.IndexOf(Name);
    return index < 0 ? WideString() : values_.Get(index);
}

void TdomNameValueList::setSorted(bool Value) {
    if (Value == names_.getSorted()) return;
    if (!Value) {
        names_.setSorted(false);
        return;
    }
    // Re-add the pairs into the sorted name list, so that every value stays with its name.
    TdomNameValueList pairs;
    pairs.AddNameValueList(*this);
    Clear();
    names_.setSorted(true);
    AddNameValueList(pairs);
}

void TdomNameValueList::AddNameValueList(const TdomNameValueList& Source) {
    if (&Source == this) {
        TdomNameValueList copy;
        copy.AddNameValueList(Source);
        AddNameValueList(copy);
        return;
    }
    for (int i = 0; i < Source.getCount(); ++i)
        Add(Source.getName(i), Source.getValue(i));
}

void TdomNameValueList::SetPair(int Index, std::u16string_view Name, std::u16string_view Value) {
    const bool appended = Index == getCount();
    names_.Set(Index, Name);
    try {
        values_.Set(Index, Value);
    } catch (...) {
        if (appended) names_.Truncate(Index); // the two lists stay in step
        throw;
    }
}

void TdomNameValueList::Truncate(int Count) {
    names_.Truncate(Count);
    values_.Truncate(Count);
}

bool TdomNameValueList::Equals(const TdomNameValueList& Other) const {
    if (getCount() != Other.getCount()) return false;
    for (int i = 0; i < getCount(); ++i)
        if (getName(i) != Other.getName(i) || getValue(i) != Other.getValue(i)) return false;
    return true;
}

} // namespace xmldom
