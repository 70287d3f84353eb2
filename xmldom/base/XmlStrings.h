// String helpers of the XML document library: the growing character buffer TdomCustomStr,
// the string list with attached objects TdomWideStringList (the ID map and the owning named
// maps keep their entries in it) and the parallel name/value lists TdomNameValueList.
#pragma once

#include <cstring>
#include <string_view>
#include <vector>

#include "XmlSupport.h"

namespace xmldom {

/// Equality of two UTF-16 texts unit by unit, compared as memory (the hot paths of reading
/// compare names at every tag).
inline bool SameUnits(std::u16string_view A, std::u16string_view B) {
    return A.size() == B.size() && (A.empty() || std::memcmp(A.data(), B.data(), A.size() * sizeof(char16_t)) == 0);
}

/// Appends one code point: a single unit up to #xFFFF, a surrogate pair above.
inline void AppendCodePoint(WideString& S, int32_t C) {
    if (C > 0xFFFF) {
        C -= 0x10000;
        S.push_back(static_cast<char16_t>(0xD800 + (C >> 10)));
        S.push_back(static_cast<char16_t>(0xDC00 + (C & 0x3FF)));
    } else {
        S.push_back(static_cast<char16_t>(C));
    }
}

/// A growable UTF-16 buffer for building text. Invariant: 0 <= length <= capacity, and the
/// capacity only grows (by quarters of itself) until the next reset.
class TdomCustomStr : public TObject {
public:
    TdomCustomStr() { reset(); }

    /// The unit at Index (from 1); EListError "List index out of bounds (%d)" outside 1..length.
    virtual WideChar getChar(int Index) const;
    /// Replaces the unit at Index (from 1); raises as getChar.
    virtual void setChar(int Index, WideChar C);
    /// One unit below #xD800 and in #xE000-#xFFFF, a surrogate pair above #xFFFF; a surrogate
    /// code point or one above #x10FFFF raises EConvertError "%d is not a valid ISO-10646-UCS4
    /// code point." and appends nothing.
    virtual void addUCS4Char(UCS4Char CodePoint);
    virtual void addWideChar(WideChar C);
    virtual void addWideString(std::u16string_view Text);
    /// False for an empty text and for a text longer than the content.
    virtual bool endsWith(std::u16string_view Text) const;
    virtual bool equals(std::u16string_view Text) const;
    /// Capacity 64, length 0.
    virtual void reset();
    /// False for an empty text and for a text longer than the content.
    virtual bool startsWith(std::u16string_view Text) const;
    /// A copy of the used units.
    virtual void value(WideString& Text) const;

    int getLength() const { return length_; }
    int getCapacity() const { return static_cast<int>(buffer_.size()); }

private:
    void growTo(size_t needed);

    int length_ = 0;
    WideString buffer_; ///< capacity units; the first length_ are the content
};

/// How a sorted string list treats a string it already holds.
enum TDuplicates : uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

/// A list of UTF-16 strings with an object reference (not owned) attached to each entry.
/// Comparison is ordinal by code unit (CompareWideStrOrdinal), without case folding. Refusals
/// raise EListError before anything changes.
class TdomWideStringList : public TPersistent {
public:
    /// Appends (unsorted) or inserts in sorted position; returns the entry's index. On a sorted
    /// list an existing string is ignored (dupIgnore: the existing index is returned), accepted
    /// (dupAccept) or refused (dupError: "String list does not allow duplicates").
    virtual int Add(const WideString& S);
    virtual int AddObject(const WideString& S, TObject* AObject);
    /// Index 0..count; a sorted list refuses: "Operation not allowed on sorted string list".
    virtual void Insert(int Index, const WideString& S);
    virtual void InsertObject(int Index, const WideString& S, TObject* AObject);
    virtual void Delete(int Index);
    virtual void Clear();
    /// Swaps two entries; refused on a sorted list.
    virtual void Exchange(int Index1, int Index2);
    /// Binary search on a sorted list (the first of equal entries), linear otherwise. Index
    /// receives where S is or would be inserted (count on an unsorted list without S).
    virtual bool Find(const WideString& S, int& Index) const;
    /// Index of S, -1 when absent.
    virtual int IndexOf(const WideString& S) const;
    virtual int IndexOfObject(const TObject* AObject) const;
    /// Quicksort with the middle entry as pivot, when unsorted and holding two or more entries.
    virtual void Sort();

    /// The string at Index; an index outside the list raises (checkIndex).
    const WideString& Get(int Index) const {
        if (static_cast<size_t>(Index) >= entries_.size()) checkIndex(Index, getCount());
        return entries_[Index].string;
    }
    /// Replaces the string at Index; refused on a sorted list.
    void Put(int Index, const WideString& S);
    /// For producers that refill one list: the string at Index (0..count, count appends with no
    /// object) becomes S in the storage the entry has; refused on a sorted list.
    void Set(int Index, std::u16string_view S);
    /// Drops the entries from Count on; nothing when there are no more than Count.
    void Truncate(int Count);
    TObject* GetObject(int Index) const;
    void PutObject(int Index, TObject* AObject);
    int getCount() const { return static_cast<int>(entries_.size()); }
    int getCapacity() const { return static_cast<int>(entries_.capacity()); }
    bool getSorted() const { return sorted_; }
    /// Turning sorting on sorts the list.
    void setSorted(bool Value);
    TDuplicates getDuplicates() const { return duplicates_; }
    void setDuplicates(TDuplicates Value) { duplicates_ = Value; }

    TNotifyEvent OnChange;   ///< after each change
    TNotifyEvent OnChanging; ///< before each change

private:
    struct Entry {
        WideString string;
        TObject* object;
    };

    void checkIndex(int Index, int Limit) const;
    void insertItem(int Index, const WideString& S, TObject* AObject);
    void quickSort(int L, int R);
    void changing();
    void changed();

    std::vector<Entry> entries_;
    TDuplicates duplicates_ = dupIgnore;
    bool sorted_ = false;
};

/// Two lists kept at the same indexes: names and their values (attributes of an element
/// event, prefix mappings). Both lists are owned.
class TdomNameValueList : public TPersistent {
public:
    /// Adds the pair at the index the name list gives; a name ignored by a sorted name list
    /// adds nothing. Returns the index.
    int Add(const WideString& Name, const WideString& Value);
    void Clear();
    void Delete(int Index);
    int getCount() const { return names_.getCount(); }
    const WideString& getName(int Index) const { return names_.Get(Index); }
    const WideString& getValue(int Index) const { return values_.Get(Index); }
    /// Index of the name, -1 when absent.
    int IndexOfName(const WideString& Name) const { return names_.IndexOf(Name); }
    /// The value of the name (through its index); empty when absent.
    WideString getValueOfName(const WideString& Name) const;
    bool getSorted() const { return names_.getSorted(); }
    /// Sorting reorders the pairs together, by name.
    void setSorted(bool Value);
    TDuplicates getDuplicates() const { return names_.getDuplicates(); }
    void setDuplicates(TDuplicates Value) { names_.setDuplicates(Value); }
    /// Appends every pair of Source, in order.
    void AddNameValueList(const TdomNameValueList& Source);
    /// For producers that refill one list event after event: the pair at Index (0..count,
    /// count appends) becomes Name and Value in the storage it has; refused on a sorted list.
    void SetPair(int Index, std::u16string_view Name, std::u16string_view Value);
    /// Drops the pairs from Count on.
    void Truncate(int Count);
    /// Same count and, index by index, the same names and values.
    bool Equals(const TdomNameValueList& Other) const;

private:
    TdomWideStringList names_;
    TdomWideStringList values_;
};

} // namespace xmldom
