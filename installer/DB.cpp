// CDbTable: opening and creating tables by Windows name, field reads and assignments by name or
// number, moves, appends, deletion and packing, each library failure logged as an error object.
#include "DB.h"

#include "ErrLog.h"
#include "Files.h"
#include "Helpers.h"
#include "HostPath.h"

#include <sys/stat.h>

namespace {
const char* const kModule = "DB";

bool EmptyFile(const std::string& host) {
  struct stat st{};
  return stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}
}  // namespace

DbSession& Session() {
  static auto& session = *new DbSession;  // never destroyed: see PrepareRunState
  return session;
}

CDbTable::~CDbTable() {
  // A table closed on the way out of an exception (no memory) may fail to write what waits: it
  // stays unwritten, the file holding the records its header counts, and nothing escapes.
  try {
    CDbTable::Close();
  } catch (...) {
  }
}

int CDbTable::Open(const std::string& name, const FieldList* fields) {
  Close();
  Session();
  fileName_ = name;
  // ".DBF" is added when the file name itself has no extension; dots in folders do not count.
  size_t sep = fileName_.find_last_of("\\/:");
  if (fileName_.find('.', sep == std::string::npos ? 0 : sep + 1) == std::string::npos) fileName_ += ".DBF";
  std::string host = HostPath(fileName_);
  openError_ = tables::kErrOpen;
  if (FileExists(host) && !(fields && EmptyFile(host))) {
    table_ = tables::OpenTable(host, Session().ReadOnly, &openError_);
    if (!table_) CFileOpenError("NA", kModule, "", __LINE__, fileName_.c_str()).Write();
  } else if (fields) {
    // A table another installer made since the test above keeps its records.
    if (!host.empty()) table_ = tables::CreateTable(host, *fields, &openError_, true);
    if (!table_) CFileCreateError("NA", kModule, "", __LINE__, fileName_.c_str()).Write();
  }
  if (table_) openError_ = 0;
  return table_ ? 0 : 1;
}

int CDbTable::OpenIn(ReplacementFile& file) {
  Close();
  Session();
  fileName_ = file.path();
  openError_ = tables::kErrOpen;
  table_ = tables::OpenTable(file, &openError_);
  if (!table_) CFileOpenError("NA", kModule, "", __LINE__, fileName_.c_str()).Write();
  if (table_) openError_ = 0;
  return table_ ? 0 : 1;
}

int CDbTable::Require(const FieldNeeds& needs) {
  if (!table_) return 1;
  for (const FieldNeed& need : needs) {
    const int i = table_->fieldIndex(need.name);
    if (i < 0 && need.optional) continue;
    if (i < 0) {
      CObjectNotFoundError("NA", kModule, "", __LINE__, need.name.c_str()).Write();
    } else {
      const tables::FieldDef& f = table_->field(i);
      if (need.types.find(f.type) != std::string::npos && f.len >= need.minLen) continue;
      // A field of another type reads as another text (or none): the table is not what it claims.
      CObjectError("NA", kModule, "", __LINE__, need.name.c_str()).Write();
    }
    Close();
    openError_ = tables::kErrData;
    return 1;
  }
  return 0;
}

int CDbTable::RequireWhole() {
  if (!table_) return 1;
  if (table_->whole()) return 0;
  CFileOpenError("NA", kModule, "", __LINE__, fileName_.c_str()).Write();
  Close();
  openError_ = tables::kErrData;
  return 1;
}

int CDbTable::Close() {
  if (table_) {
    if (!table_->readOnly()) Check(table_->sync(), __LINE__);
    Check(table_->close(), __LINE__);
    table_.reset();
  }
  int rc = failure_;
  failure_ = 0;
  moveFailed_ = false;
  return rc;
}

int CDbTable::Check(int rc, int line) {
  if (rc >= 0) return rc;
  if (failure_ == 0) failure_ = rc;
  CCodebaseError("NA", kModule, "", line, rc).Write();
  return NormaliseCode(rc);
}

int CDbTable::CheckMove(int rc, int line) {
  moveFailed_ = rc < 0;
  return Check(rc, line);
}

std::string CDbTable::ReadField(int index, const std::string& label, int base, int* err, bool trim) {
  if (!table_ || index < 0 || index >= table_->fieldCount()) {
    CObjectNotFoundError("NA", kModule, "", __LINE__, label.c_str()).Write();
    if (err) *err = 1;
    return "";
  }
  if (err) *err = 0;
  std::string text = table_->fieldText(index);
  if (trim) TrimRight(text);
  if (base != 0 && base != 10) return std::to_string(ParseInBase(text, base));
  return text;
}

std::string CDbTable::FieldByName(const std::string& name, int base, int* err, bool trim) {
  int index = table_ ? table_->fieldIndex(name) : -1;
  return ReadField(index, name, base, err, trim);
}

std::string CDbTable::FieldByNumber(int number, int base, int* err, bool trim) {
  return ReadField(number - 1, std::to_string(number), base, err, trim);
}

int CDbTable::FieldInfo(int number, std::string* name, int* length, int* decimals) {
  if (!table_ || number < 1 || number > table_->fieldCount()) {
    CRangeError("NA", kModule, "", __LINE__, "field_num", number).Write();
    return 1;
  }
  const tables::FieldDef& f = table_->field(number - 1);
  if (name) *name = f.name;
  if (length) *length = f.len;
  if (decimals) *decimals = f.dec;
  return 0;
}

int CDbTable::AssignString(const std::string& name, const std::string& text) {
  int index = table_ ? table_->fieldIndex(name) : -1;
  if (index < 0) {
    CObjectNotFoundError("NA", kModule, "", __LINE__, name.c_str()).Write();
    return 1;
  }
  return Check(table_->assignText(index, text), __LINE__) == 0 ? 0 : 1;
}

int CDbTable::AssignLong(const std::string& name, long value) {
  int index = table_ ? table_->fieldIndex(name) : -1;
  if (index < 0) {
    CObjectNotFoundError("NA", kModule, "", __LINE__, name.c_str()).Write();
    return 1;
  }
  return Check(table_->assignLong(index, value), __LINE__) == 0 ? 0 : 1;
}

int CDbTable::Skip(long n) {
  return CheckMove(table_ ? table_->skip(n) : tables::kErrArgs, __LINE__);
}
int CDbTable::Top() { return CheckMove(table_ ? table_->top() : tables::kErrArgs, __LINE__); }
int CDbTable::Go(int record) { return CheckMove(table_ ? table_->go(record) : tables::kErrArgs, __LINE__); }
bool CDbTable::Eof() const { return !table_ || moveFailed_ || table_->eof(); }
int CDbTable::FieldCount() const { return table_ ? table_->fieldCount() : 0; }
int CDbTable::RecordCount() const { return table_ ? table_->recCount() : 0; }

int CDbTable::AppendStart(bool blank) {
  if (!table_) return Check(tables::kErrArgs, __LINE__);
  return Check(table_->appendStart(blank), __LINE__);
}

int CDbTable::Append(bool flush) {
  if (!table_) return Check(tables::kErrArgs, __LINE__);
  int rc = table_->append();
  if (rc == tables::kErrUnique) return 126;
  if (rc < 0) return Check(rc, __LINE__);
  if (flush) return Check(table_->flush(), __LINE__);
  return 0;
}

void CDbTable::Blank() {
  if (table_) table_->blank();
}

int CDbTable::Delete(bool pack) {
  if (!table_) return Check(tables::kErrArgs, __LINE__);
  int rc = Check(table_->markDeleted(), __LINE__);
  if (rc == 0 && pack) rc = Pack();
  return rc;
}

int CDbTable::Pack() {
  if (!table_) return Check(tables::kErrArgs, __LINE__);
  return Check(table_->pack(), __LINE__);
}

int CDbTable::ZapAll() {
  if (!table_) return Check(tables::kErrArgs, __LINE__);
  int rc = Check(table_->zap(1, table_->recCount()), __LINE__);
  return rc == 0 ? Pack() : rc;
}

int CDbTable::Flush() {
  if (!table_) return 0;
  return Check(table_->flush(), __LINE__);
}
