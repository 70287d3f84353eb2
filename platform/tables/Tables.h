// The installer's table library: dBASE tables (.DBF) with one production compound index (.CDX)
// each, key and filter expressions, tag order walks and seeks. The installer's table wrapper is its
// only client; nothing here knows about the installer. Text bytes are never converted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ReplacementFile;

namespace tables {

/// Results. Moves and seeks give 0 or one of the positive codes; failures are negative.
enum Result : int {
  kOk = 0,
  kBof = 1,    ///< a skip went before the first record: positioned on the first one
  kAfter = 2,  ///< a seek found no matching key: positioned on the next key
  kEof = 3,    ///< positioned past the last record (or key)

  kErrCreate = -20,     ///< a file could not be created
  kErrLocked = -50,     ///< a read-write open found the table locked by another process
  kErrOpen = -60,       ///< a file could not be opened (missing, unreadable)
  kErrRead = -70,       ///< a read failed
  kErrWrite = -80,      ///< a write failed
  kErrData = -90,       ///< the file's structure is damaged or not of a known kind
  kErrReadOnly = -100,  ///< a write on a table opened read-only
  kErrField = -210,     ///< no such field, or a field number out of range
  kErrFieldType = -220, ///< the field's type takes no assignment
  kErrNoRecord = -230,  ///< no current record (empty table, or positioned at the end)
  kErrTagName = -330,   ///< no tag of that name
  kErrTagExpr = -335,   ///< a tag's key or filter cannot be evaluated: its table takes no writes
  kErrUnique = -340,    ///< an append would duplicate the key of a unique tag (not code 25)
  kErrExpr = -400,      ///< an expression does not parse or has the wrong type
  kErrKeyLen = -410,    ///< a key expression gives keys longer than 240 bytes (or none)
  kErrArgs = -500,      ///< a call's arguments make no sense (bad field list, no index, ...)
};

/// Unique code of a tag that silently leaves duplicate keys out; any other non-zero code refuses
/// the append with kErrUnique. Tags of an index read from disk carry this code when unique.
constexpr int kUniqueContinue = 25;

/// Longest character key.
constexpr int kMaxKeyLen = 240;

/// One field of a table: name (up to 10 characters, upper case), type letter, length, decimals.
struct FieldDef {
  std::string name;
  char type = 'C';
  int len = 0;
  int dec = 0;
};

/// One tag of an index: name (up to 10 characters), key expression, filter ("" for none), unique
/// code (0 none), descending when non-zero.
struct TagDef {
  std::string name;
  std::string expr;
  std::string filter;
  int unique = 0;
  int descending = 0;
};

class Table;
class Index;
class Tag;

/// Opens `path` (a host path). Read-write opens take an exclusive lock on the file, and hold it
/// only on the file the path names once the lock is taken (a table replaced meanwhile is opened
/// again), removing what replacements of it ended half-way left beside it. On failure returns
/// null and stores the code in *err when given; a damaged file is never rewritten.
std::unique_ptr<Table> OpenTable(const std::string& path, bool readOnly, int* err = nullptr);

/// Opens for writing the table written so far into `file`, a new file that is not yet in place:
/// the table is built there (its writes, packs and zaps all go into that one file, never into
/// another replacement), and the caller puts the file in place (ReplacementFile::Finish or
/// Commit) once the table is closed. No lock is taken: nothing else can reach the file.
std::unique_ptr<Table> OpenTable(ReplacementFile& file, int* err = nullptr);

/// Creates a version 0x03 table at `path` (replacing a file there, unless another program holds
/// it open for writing, or, with `keepRecords`, it is not empty: kErrLocked) with the given
/// fields. The table is written under a fresh name and renamed into place (ReplacementFile): one
/// that cannot be written whole never appears, and where no file was, a file another program
/// put there meanwhile is not replaced (kErrLocked). Once the new table is in place (and locked),
/// what replacements of it ended half-way left beside it goes, as with OpenTable.
std::unique_ptr<Table> CreateTable(const std::string& path, const std::vector<FieldDef>& fields,
                                   int* err = nullptr, bool keepRecords = false);

/// An open table with one record buffer. Record numbers run from 1; the count includes deleted
/// records. Without a selected tag the walks are in record order, with one in tag order.
/// Invariant: the buffer holds record `recNo()` (or the record being appended) and is written
/// back before any move, on flush and on close when it was changed.
class Table {
 public:
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  /// Writes pending changes and closes the index and the file. Returns 0 or the first failure
  /// (also that of appended records lost at an earlier write).
  int close();
  /// Writes pending changes (flush) and puts on the disk what this table wrote into its file in
  /// place since it was opened or last synced (fsync): 0, or the first failure (kErrWrite when the
  /// flush to the disk failed). A table built in a replacement is put on the disk by its commit.
  int sync();

  const std::string& path() const;
  bool readOnly() const;
  int version() const;
  /// Whether, when opened, the file was exactly what a writer of whole tables leaves: the header
  /// length where the field descriptors end (one NUL after them, or FoxPro's 263-byte back-link
  /// area, allowed), and the counted records followed by fewer than one record's bytes (an end
  /// mark, short padding) or by an end mark (or none) and NUL bytes that pad the file to a block
  /// boundary (a multiple of 512 bytes, less than 4096 of them). A table written record by record
  /// may legitimately hold more or fewer.
  bool whole() const;

  int fieldCount() const;
  /// Field i (0-based); i must be in range.
  const FieldDef& field(int i) const;
  /// The 0-based number of the named field (any letter case), -1 when there is none.
  int fieldIndex(std::string_view name) const;
  /// Field i's value as text of the field's full width (I fields and 4-byte memo numbers as
  /// decimal text, types without a text form as ""). "" when i is out of range.
  std::string fieldText(int i) const;
  /// Assigns text: C padded with blanks or cut; N and F right-aligned ("*" filling a number too
  /// wide); D as YYYYMMDD; L as T or F; I as a 32-bit number. Other types: kErrFieldType.
  int assignText(int i, std::string_view text);
  /// Assigns a number: right-aligned decimal in N, F and C fields (C blank-padded on the left).
  int assignLong(int i, long value);

  int recCount() const;
  /// Current record number: 0 before the first move on an empty table, recCount()+1 at the end.
  int recNo() const;
  bool eof() const;
  bool bof() const;
  bool deleted() const;

  /// First record (in tag order when a tag is selected). 0, or kEof when there is none.
  int top();
  int bottom();
  /// Moves n records (tag order when a tag is selected). 0, kEof past the end, kBof before the
  /// start (then on the first record).
  int skip(long n);
  /// Goes to record `rec` in record order.
  int go(int rec);

  /// Starts a new record in the buffer, blank when asked (else a copy of the current one).
  int appendStart(bool blank);
  /// Appends the started record: 0; kErrUnique when a unique tag (not code 25) already has its
  /// key, nothing written; kErrTagExpr when a tag cannot be evaluated. Appended records are
  /// written together (when 64 KiB of them wait, on flush, close and pack); when that write fails
  /// they are taken back, and this call, flush and close report kErrWrite.
  int append();
  /// Blanks the buffer (every byte a blank, the deleted flag cleared).
  void blank();
  int markDeleted();
  int recall();
  /// Removes the deleted records and rebuilds the index. The kept records go to a new file that
  /// replaces the table's (ReplacementFile): a failure leaves the table as it was, kErrWrite. A
  /// table built in a replacement (OpenTable of a ReplacementFile) is compacted within its file.
  int pack();
  /// Removes records from..to (record numbers, inclusive) and rebuilds the index, as pack does.
  int zap(int from, int to);
  /// Writes the buffer, the appended records, the header (count, date) and the index when
  /// changed: 0, or the first failure.
  int flush();

  // Production index.
  /// Opens the index file at `path` for this table (replacing one open before); for a table open
  /// for writing, what replacements of the index ended half-way left beside it goes.
  int openIndex(const std::string& path);
  /// Creates the index file at `path` with the tags and builds it from the records.
  int createIndex(const std::string& path, const std::vector<TagDef>& tags);
  int closeIndex();
  Index* index() const;
  /// Selects a tag of the index (null: record order).
  void selectTag(Tag* tag);
  Tag* selectedTag() const;
  /// Seeks a key in the selected tag: 0 when the first key not below `key` (compared over the
  /// key's length) begins with it, kAfter when another key follows, kEof at the end.
  int seek(std::string_view key);
  int seekDouble(double value);

  struct Impl;
 private:
  explicit Table(std::unique_ptr<Impl> impl);
  friend std::unique_ptr<Table> OpenTable(const std::string&, bool, int*);
  friend std::unique_ptr<Table> OpenTable(ReplacementFile&, int*);
  friend std::unique_ptr<Table> CreateTable(const std::string&, const std::vector<FieldDef>&, int*, bool);
  friend class Index;
  std::unique_ptr<Impl> d;
};

/// A compound index: its tags. Owned by its table.
class Index {
 public:
  ~Index();
  const std::string& path() const;
  int tagCount() const;
  Tag* tag(int i) const;
  /// The tag of that name (any letter case), null when none.
  Tag* tag(std::string_view name) const;
  /// The first tag in file order, null when the index has none.
  Tag* defaultTag() const;
  /// Rebuilds every tag from the records and writes the file.
  int reindex();
  /// Whether every tag whose expressions can be evaluated holds exactly the keys of the table's
  /// records (a unique tag: one record for each distinct key). False also when a record cannot
  /// be read. An index left behind by an interrupted or failed write, or damaged, disagrees.
  bool matchesRecords() const;
  /// Rebuilds, in memory only, every tag whose expressions can be evaluated (the others keep
  /// their keys; the file is written by a later flush of a table open for writing): 0, or the
  /// failure.
  int rebuildKeys();
  /// Writes the file when changed, whole, to a new file that replaces the old (ReplacementFile).
  /// A file that cannot be written is removed, since it no longer matches the table: the next
  /// open without it builds the index afresh.
  int flush();

  struct Impl;
 private:
  explicit Index(std::unique_ptr<Impl> impl);
  int write();
  friend class Table;
  friend struct Table::Impl;
  std::unique_ptr<Impl> d;
};

/// One tag: its keys in order, with the definitions read from or written to the file.
class Tag {
 public:
  virtual ~Tag() = default;
  virtual const std::string& name() const = 0;
  virtual const std::string& expression() const = 0;
  virtual const std::string& filter() const = 0;
  virtual int keyLength() const = 0;
  virtual int unique() const = 0;
  virtual bool descending() const = 0;
  /// False when the key or filter expression could not be parsed against the table.
  virtual bool evaluable() const = 0;
  virtual size_t keyCount() const = 0;
  /// The keys in tag order (as stored: padded to the key length), with their record numbers.
  virtual std::vector<std::pair<std::string, uint32_t>> keys() const = 0;
};

/// Key bytes of a number or date in a numeric tag: 8 bytes that sort as the values do.
std::string NumericKey(double value);
/// Day number of a YYYYMMDD date text (0 for blank or invalid).
double DateValue(std::string_view yyyymmdd);
/// The YYYYMMDD text of a day number (blanks for 0 or a day outside the years 0 to 9999).
std::string DateText(double day);

}  // namespace tables
