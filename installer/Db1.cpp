// CDbIndexedTable: the production index of a table, its tags and seeks.
#include "Db1.h"

#include "ErrLog.h"
#include "Helpers.h"
#include "HostPath.h"

#include <sys/stat.h>

namespace {
const char* const kModule = "Db1";
}  // namespace

int CDbIndexedTable::Open(const std::string& name, const TagList* tags, const std::string* indexName) {
  Close();
  CDbTable::Open(name, nullptr);
  OpenIndex(indexName ? *indexName : name, tags);
  return IsOpen() ? 0 : 1;
}

int CDbIndexedTable::OpenOrCreate(const std::string& name, const FieldList& fields, const TagList* tags,
                                  const std::string* indexName) {
  Close();
  CDbTable::Open(name, &fields);
  OpenIndex(indexName ? *indexName : name, tags);
  return IsOpen() ? 0 : 1;
}

int CDbIndexedTable::OpenIndex(const std::string& name, const TagList* tags) {
  if (!table_) return 1;
  if (indexOpen_) {
    table_->closeIndex();
    indexOpen_ = false;
  }
  std::string drive, folder, base;
  SplitPath(name, &drive, &folder, &base, nullptr);
  indexName_ = drive + folder + UpperText(base) + ".CDX";
  std::string host = HostPath(indexName_);
  struct stat st{};
  bool created = false;
  if (!host.empty() && stat(host.c_str(), &st) == 0) {
    if (table_->openIndex(host) == tables::kOk)
      indexOpen_ = true;
    else
      CFileOpenError("NA", kModule, "", __LINE__, indexName_.c_str()).Write();
    if (indexOpen_ && !table_->readOnly()) {
      tables::Index* index = table_->index();
      for (int i = 0; i < index->tagCount(); ++i)
        if (!index->tag(i)->evaluable()) {
          Check(tables::kErrTagExpr, __LINE__);
          table_->closeIndex();
          indexOpen_ = false;
          return 1;
        }
    }
  } else if (tags) {
    TagList list = *tags;
    for (auto& t : list)
      if (t.descending) t.descending = 10;
    if (!host.empty() && table_->createIndex(host, list) == tables::kOk) {
      indexOpen_ = true;
      created = true;
    } else {
      CFileCreateError("NA", kModule, "", __LINE__, indexName_.c_str()).Write();
    }
  }
  if (!indexOpen_) return 1;
  tables::Index* index = table_->index();
  tables::Tag* tag = nullptr;
  if (tags && !tags->empty()) tag = index->tag((*tags)[0].name);
  if (!tag) tag = index->defaultTag();
  table_->selectTag(tag);
  if (created) {
    int rc = index->reindex();
    if (rc != tables::kOk) {
      CCodebaseError("NA", kModule, "", __LINE__, rc).Write();
      table_->closeIndex();
      indexOpen_ = false;
      return 1;
    }
  }
  return 0;
}

int CDbIndexedTable::Close() {
  if (table_ && indexOpen_) Check(table_->closeIndex(), __LINE__);
  indexOpen_ = false;
  return CDbTable::Close();
}

bool CDbIndexedTable::IsOpen() const { return table_ != nullptr && indexOpen_; }

int CDbIndexedTable::SelectTag(std::string name) {
  name = UpperText(name);
  if (!table_ || !indexOpen_) return 0;
  tables::Tag* tag = table_->index()->tag(name);
  if (!tag) {
    CObjectNotFoundError("NA", kModule, "", __LINE__, name.c_str()).Write();
    return 1;
  }
  table_->selectTag(tag);
  return 0;
}

int CDbIndexedTable::Top(const std::string* tag) {
  if (tag) SelectTag(*tag);
  return CDbTable::Top();
}

int CDbIndexedTable::Skip(long n, const std::string* tag) {
  if (tag) SelectTag(*tag);
  return CDbTable::Skip(n);
}

int CDbIndexedTable::Seek(const std::string& key, const std::string* tag) {
  if (tag) SelectTag(*tag);
  return CheckMove(table_ ? table_->seek(key) : tables::kErrArgs, __LINE__);
}

int CDbIndexedTable::SeekNumber(double number, const std::string* tag) {
  if (tag) SelectTag(*tag);
  return CheckMove(table_ ? table_->seekDouble(number) : tables::kErrArgs, __LINE__);
}

int CDbIndexedTable::Reindex() {
  if (!IsOpen()) return Check(tables::kErrArgs, __LINE__);
  return Check(table_->index()->reindex(), __LINE__);
}
