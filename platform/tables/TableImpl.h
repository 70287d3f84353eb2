// Internals shared by the table (Dbf.cpp) and index (Cdx.cpp) halves of the table library: the
// open table's state, the in-memory tags and the index file's reader and writer.
#pragma once

#include "Expr.h"
#include "SysUtils.h"
#include "Tables.h"

#include <algorithm>
#include <memory_resource>
#include <set>

namespace tables {

/// Width of a tag name in the index's directory, where names are keys padded with blanks.
constexpr size_t kTagNameLen = 10;
/// Bytes a tag header keeps for its key expression and filter texts, each ended by a NUL.
constexpr size_t kExprRoom = 512;

/// A tag name as the directory gives it back: without the trailing blanks (or NULs) of its key.
inline std::string TagNameOf(std::string_view key) {
  while (!key.empty() && (key.back() == ' ' || key.back() == '\0')) key.remove_suffix(1);
  return std::string(key);
}
/// Text with its ASCII letters in upper case: look-ups by name ignore their case, and UPPER() folds them.
inline std::string UpperAscii(std::string_view name) { return UpperCase(name); }
/// Directory order of tag names: as their blank-padded keys compare, so that the order of the
/// tags is the same whether they were just created, read from a file or written to one.
inline bool TagNameLess(std::string_view a, std::string_view b) {
  size_t n = std::max({a.size(), b.size(), kTagNameLen});
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (ca != cb) return ca < cb;
  }
  return false;
}

/// One key of a tag, its bytes kept in the tag's memory pool.
struct Entry {
  std::pmr::string key;
  uint32_t rec = 0;
};
/// A key to look for, or the position of a walk.
struct KeyRef {
  std::string_view key;
  uint32_t rec = 0;
};
/// Keys order by their bytes, then by record number.
struct EntryLess {
  using is_transparent = void;
  template <class A, class B>
  bool operator()(const A& a, const B& b) const {
    int c = std::string_view(a.key).compare(std::string_view(b.key));
    return c != 0 ? c < 0 : a.rec < b.rec;
  }
};
using KeySet = std::set<Entry, EntryLess, std::pmr::polymorphic_allocator<Entry>>;

class TagImpl final : public Tag {
 public:
  std::string name_, expr_, filter_;
  int keyLen_ = 0;
  int unique_ = 0;
  bool desc_ = false;
  char fill_ = ' ';  ///< trailing byte dropped from stored keys: blank, or 0 for numeric keys
  std::unique_ptr<Expr> keyExpr_, filterExpr_;
  /// Nodes and key bytes come from one pool per tag: loading and dropping many keys is cheap.
  std::pmr::unsynchronized_pool_resource pool_;
  /// Keys in ascending byte order; a descending tag walks them backwards.
  KeySet keys_{&pool_};
  /// A unique tag holds one record of each key and leaves the others with that key out. When the
  /// record it holds leaves the key, another may still have it: the tag is then stale and built
  /// again from the records before it is next walked, checked or written. `mayHide` says whether
  /// records may have been left out (unknown for a tag read from a file until it is checked).
  bool stale_ = false;
  bool mayHide_ = true;

  KeySet::iterator add(std::string_view key, uint32_t rec, KeySet::const_iterator hint) {
    return keys_.insert(hint, Entry{std::pmr::string(key, &pool_), rec});
  }
  void add(std::string_view key, uint32_t rec) { keys_.insert(Entry{std::pmr::string(key, &pool_), rec}); }
  void remove(std::string_view key, uint32_t rec) {
    auto it = keys_.find(KeyRef{key, rec});
    if (it != keys_.end()) keys_.erase(it);
  }
  bool contains(std::string_view key, uint32_t rec) const { return keys_.find(KeyRef{key, rec}) != keys_.end(); }

  const std::string& name() const override { return name_; }
  const std::string& expression() const override { return expr_; }
  const std::string& filter() const override { return filter_; }
  int keyLength() const override { return keyLen_; }
  int unique() const override { return unique_; }
  bool descending() const override { return desc_; }
  bool evaluable() const override { return keyExpr_ && (filter_.empty() || filterExpr_); }
  size_t keyCount() const override { return keys_.size(); }
  std::vector<std::pair<std::string, uint32_t>> keys() const override;

  /// Parses the expressions against the layout; false when they cannot be evaluated.
  bool bind(const Layout& lay);
  /// Whether the record belongs in the tag, and its key.
  bool member(const char* rec) const { return !filterExpr_ || filterExpr_->test(rec); }
  std::string key(const char* rec) const { return keyExpr_->key(rec); }
  bool hasKey(const std::string& key) const {
    auto it = keys_.lower_bound(KeyRef{key, 0});
    return it != keys_.end() && std::string_view(it->key) == key;
  }
};

struct Index::Impl {
  std::string path;
  Table::Impl* table = nullptr;
  std::vector<std::unique_ptr<TagImpl>> tags;
  bool dirty = false;
};

struct Table::Impl {
  std::string path;
  int fd = -1;
  bool readOnly = false;
  int version = 0x03;
  Layout lay;
  int headerLen = 0;
  uint32_t count = 0;
  /// The header length agreed with the descriptors and the file size with the count when opened.
  bool whole = false;
  /// Records on disk; appended records past them (durable+1..count) wait in `tail` and are
  /// written in one go when it is full, on flush and on close.
  uint32_t durable = 0;
  std::vector<char> tail;
  /// Set once appended records could not be written (they were taken back): flush and close
  /// report it until the table is closed.
  int writeFailure = 0;
  /// Something was written into the file in place since it was opened or last synced; since it
  /// was opened.
  bool unsynced = false;
  bool written = false;
  void markWritten() { unsynced = written = true; }
  /// The file is a replacement not yet in place (OpenTable of a ReplacementFile): it is
  /// compacted within itself, and its commit puts it on the disk.
  bool building = false;

  std::vector<char> buf;   ///< the record buffer
  std::vector<char> orig;  ///< the record as on disk, for the keys it had
  uint32_t recno = 0;
  bool changed = false;
  bool appending = false;
  bool atEof = false;
  bool atBof = false;
  bool headerDirty = false;

  std::unique_ptr<Index> index;
  TagImpl* sel = nullptr;
  std::string posKey;  ///< the selected tag's key of the current record (valid when hasTagPos)
  uint32_t posRec = 0;
  bool hasTagPos = false;

  ~Impl();
  int readRecord(uint32_t rec);
  /// Copies record `rec` (on disk or waiting in the tail) into `out`.
  bool copyRecord(uint32_t rec, char* out) const;
  int writeRecord(uint32_t rec, const char* data);
  /// Writes the waiting appended records and the end mark. When that fails the records are
  /// taken back (count and tags as before them) and writeFailure is set.
  int writeTail();
  /// Cuts the file after the records the header counts and writes the end mark there.
  bool cutToCount();
  /// Writes the buffer back when changed (updating the tags first).
  int writeCurrent();
  /// Checks and applies the tag changes of record `rec` going from `before` (null: a new record)
  /// to `after`. Nothing changes when it fails.
  int updateTags(uint32_t rec, const char* before, const char* after);
  int writeHeader();
  void setEof();
  void positionOn(const Entry& e);
  /// Moves to the first (`first`) or last record in the selected tag's order, or in record
  /// order without a tag: kOk, kEof for an empty table or tag, or a negative error.
  int moveToEnd(bool first);
  void setPos(std::string_view key, uint32_t rec) {
    posKey.assign(key);
    posRec = rec;
    hasTagPos = true;
  }
  KeyRef pos() const { return KeyRef{posKey, posRec}; }
  /// Rebuilds every tag from the records (kErrTagExpr when one cannot be evaluated), or with
  /// `evaluableOnly` those that can be, leaving the others as they are.
  int rebuildTags(bool evaluableOnly = false);
  /// Builds the keys of the given (evaluable) tags from the records.
  int buildKeys(const std::vector<TagImpl*>& tags);
  /// Builds the stale unique tags again (all of them, or only `tag` when given): 0 or kErrRead.
  int freshen(TagImpl* tag = nullptr);
  bool tagsEvaluable() const;
  /// Whether the evaluable tags hold exactly the keys of the records (see Index::matchesRecords).
  bool tagsMatchRecords();
};

/// Reads an index file for the table; null and *err on failure (a damaged file is kErrData).
std::unique_ptr<Index::Impl> ReadIndexFile(const std::string& path, Table::Impl& table, int* err);
/// Writes the index whole to a new file that replaces `impl.path` (ReplacementFile).
int WriteIndexFile(const Index::Impl& impl);

}  // namespace tables
