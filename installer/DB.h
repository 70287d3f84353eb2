// The table wrapper: plain table access for the installer over the table library, with every
// library failure written to the error log and turned into a result. Table names are Windows
// paths; a name whose last component has no "." gets ".DBF".
#pragma once

#include "Tables.h"

#include <memory>
#include <string>
#include <vector>

/// The table library's session, one for the process. Opens made while `ReadOnly` is set open
/// read-only (the installer sets it around opening a source volume's tables).
struct DbSession {
  bool ReadOnly = false;
  /// Unique code given to tags that do not name one.
  int DefaultUnique = tables::kUniqueContinue;
};
DbSession& Session();
/// Opens a table (plain or indexed) read-only: the session's read-only flag is on for the open.
template <class Table>
void OpenReadOnly(Table& table, const std::string& path) {
  Session().ReadOnly = true;
  table.Open(path);
  Session().ReadOnly = false;
}

using FieldList = std::vector<tables::FieldDef>;
using TagList = std::vector<tables::TagDef>;

/// A field a caller reads: its name, the type letters it reads it as (text: "C"), the shortest
/// length it can use, and whether a table may lack it.
struct FieldNeed {
  FieldNeed(const char* n) : name(n) {}
  FieldNeed(std::string n, std::string t = "C", int min = 1, bool opt = false)
      : name(std::move(n)), types(std::move(t)), minLen(min), optional(opt) {}
  std::string name;
  std::string types = "C";
  int minLen = 1;
  bool optional = false;
};
using FieldNeeds = std::vector<FieldNeed>;

class CDbTable {
 public:
  CDbTable() = default;
  virtual ~CDbTable();
  CDbTable(const CDbTable&) = delete;
  CDbTable& operator=(const CDbTable&) = delete;

  /// Opens the table when its file exists (failure: CFileOpenError); otherwise creates it when
  /// fields are given (failure: CFileCreateError); an empty file left by a creation that never
  /// finished counts as absent then, and a table another program made in the meantime is kept
  /// (the open fails). Returns 0 when open, else 1.
  int Open(const std::string& name, const FieldList* fields = nullptr);
  /// Opens for writing the table written so far into a new file that is not yet in place (see
  /// tables::OpenTable): the table is built there, and the caller puts the file in place once
  /// the table is closed. Failure: CFileOpenError. Returns 0 when open, else 1.
  int OpenIn(ReplacementFile& file);
  /// Closes the table, writing what is pending and putting on the disk what it wrote in place (a
  /// run reports nothing recorded that a power cut could take back): 0, or the first library
  /// failure of this table since it was opened (its own writes and that flush included).
  virtual int Close();
  virtual bool IsOpen() const { return table_ != nullptr; }
  /// Refuses an open table as a damaged one when a needed field is missing (and not optional)
  /// or has another type or a shorter length than it is read as: the table is closed and
  /// OpenError() gives tables::kErrData. Returns 0 when the table is open with them all (its
  /// index, of an indexed table, need not be open yet).
  int Require(const FieldNeeds& needs);
  /// Refuses, likewise, an open table that is not as written whole (tables::Table::whole): a
  /// table that is only ever written whole (a volume's) and whose header length or record count
  /// disagrees with the file is damaged. Returns 0 when the table is open and whole.
  int RequireWhole();
  /// The library's code of the last open that failed (tables::kErrData for a damaged file), 0
  /// after one that succeeded.
  int OpenError() const { return openError_; }
  /// The first library failure (a negative code) since the table was opened, 0 when none: a
  /// write, move or seek that failed. A caller that must not lose anything tests it.
  int Failure() const { return failure_; }

  /// A field's text; with trim, trailing blanks removed; with a base other than 0 and 10 the
  /// text is read as a number in that base and given back in decimal. A missing field is a
  /// CObjectNotFoundError and gives "" (and *err = 1 when asked).
  std::string FieldByName(const std::string& name, int base = 0, int* err = nullptr, bool trim = true);
  std::string FieldByNumber(int number, int base = 0, int* err = nullptr, bool trim = true);
  /// Name, length and decimals of field `number` (from 1): 0, or 1 after a CRangeError.
  int FieldInfo(int number, std::string* name, int* length, int* decimals);
  /// 0, or 1 after a CObjectNotFoundError (missing field) or a refused assignment.
  int AssignString(const std::string& name, const std::string& text);
  int AssignLong(const std::string& name, long value);

  /// Moves: 0, 1 (before the first), 3 (at the end), or 100 after a CCodebaseError.
  int Skip(long n = 1);
  int Top();
  /// Goes to a record by number: 0, 3 past the records, or 100 after a CCodebaseError.
  int Go(int record);
  /// At the end; also after a move that failed, so that no walk turns on one place for ever
  /// (a successful Top, Go or seek places the table again).
  bool Eof() const;
  int FieldCount() const;
  int RecordCount() const;

  /// Begins a new record (blank when asked): 0, or 100 after a CCodebaseError.
  int AppendStart(bool blank = true);
  /// Appends it: 0; 126 when a unique key would be duplicated (not logged); 100 after a
  /// CCodebaseError. Flushes afterwards when asked.
  int Append(bool flush = false);
  /// Blanks the current record.
  void Blank();
  int Delete(bool pack = false);
  int Pack();
  /// Removes every record.
  int ZapAll();
  int Flush();

  const std::string& FileName() const { return fileName_; }
  /// The underlying table (null when not open).
  tables::Table* Table() const { return table_.get(); }

 protected:
  std::string ReadField(int index, const std::string& label, int base, int* err, bool trim);
  /// Logs a negative library result and gives its normalised value; other results unchanged.
  int Check(int rc, int line);

  /// Check for a move: a failure also ends the walk (see Eof).
  int CheckMove(int rc, int line);

  std::unique_ptr<tables::Table> table_;
  std::string fileName_;  ///< the Windows name of the open table (".DBF" added when needed)
  int openError_ = 0;
  int failure_ = 0;
  bool moveFailed_ = false;
};
