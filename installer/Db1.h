// The indexed table wrapper: a table together with its production index (the table's base name
// in upper case + ".CDX"), tag selection and seeks in tag order.
#pragma once

#include "DB.h"

class CDbIndexedTable : public CDbTable {
 public:
  CDbIndexedTable() = default;
  /// Closes as Close does (the base class's destructor closes only the table).
  ~CDbIndexedTable() override;
  /// Opens the table (no creation), refuses it when it lacks a needed field (see Require), and
  /// then opens its index (see OpenIndex). 0 when both are open.
  int Open(const std::string& name, const TagList* tags = nullptr, const std::string* indexName = nullptr,
           const FieldNeeds* needs = nullptr);
  /// Opens or creates the table, refuses it as Open does, then opens or creates the index.
  int OpenOrCreate(const std::string& name, const FieldList& fields, const TagList* tags,
                   const std::string* indexName = nullptr, const FieldNeeds* needs = nullptr);
  /// Opens the index of a table that is open: the index file exists (failure: CFileOpenError),
  /// or is created with the tags (failure: CFileCreateError) and built. Then selects the first
  /// listed tag when it exists, else the default tag. An index with a tag whose key or filter
  /// cannot be evaluated is not opened for writing (a CCodebaseError): no record could be
  /// written or changed through it. An index whose keys are not those of the records is built
  /// again (in memory only for a read-only table); so is, for writing with a tag list, one that
  /// is damaged or lacks a listed tag as defined there (its other tags are kept). IndexRebuilt()
  /// says so; a rebuild that fails leaves the index closed. The check is left out for an index
  /// this process closed in the same run, unchanged since (see ForgetChecks).
  int OpenIndex(const std::string& name, const TagList* tags);
  int Close() override;
  /// Open only when both the table and its index are.
  bool IsOpen() const override;

  /// Selects a tag by name (any letter case): 0, or 1 after a CObjectNotFoundError.
  virtual int SelectTag(std::string name);
  /// Moves in the order of the given tag (selected first) or of the selected one.
  virtual int Top(const std::string* tag = nullptr);
  virtual int Skip(long n = 1, const std::string* tag = nullptr);
  /// Seeks a key: 0 on a match, 2 when another key follows, 3 at the end, 100 after a
  /// CCodebaseError.
  virtual int Seek(const std::string& key, const std::string* tag = nullptr);
  virtual int SeekNumber(double number, const std::string* tag = nullptr);

  /// Rebuilds the index from the records: 0, or 100 after a CCodebaseError.
  int Reindex();
  const std::string& IndexName() const { return indexName_; }
  /// True when the last OpenIndex had to build the index again (see OpenIndex).
  bool IndexRebuilt() const { return indexRebuilt_; }
  /// Whether the index has every listed tag with the listed definition; when not and `all` is
  /// given, *all gets the listed tags followed by the index's other tags.
  static bool HasTags(const tables::Index& index, const TagList& tags, TagList* all);
  /// An index that this process wrote and closed is not checked against its table again when it
  /// is reopened unchanged (the table and index files as the close left them); this forgets
  /// those, so that each index is checked once per run at least.
  static void ForgetChecks();

 private:
  bool LeftAsChecked(const std::string& indexHost) const;
  bool indexRebuilt_ = false;
  bool indexOpen_ = false;
  std::string indexName_;
};
