// CDbIndexedTable: the production index of a table, its tags and seeks.
#include "Db1.h"

#include "ErrLog.h"
#include "Helpers.h"
#include "HostPath.h"
#include "SysUtils.h"

#include <sys/stat.h>

#include <map>

namespace {
const char* const kModule = "Db1";

// Where a file stood and when it last changed.
struct FileMark {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{}, ctime{};
  bool operator==(const FileMark& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};
FileMark MarkOf(const std::string& host) {
  FileMark m;
  struct stat st{};
  if (host.empty() || stat(host.c_str(), &st) != 0) return m;
  m.dev = st.st_dev, m.ino = st.st_ino, m.size = st.st_size, m.mtime = st.st_mtim, m.ctime = st.st_ctim;
  return m;
}
// Indexes this process closed, written whole and agreeing with their tables, by the host path
// of the index: the marks of the table and of the index just after the close.
struct Checked {
  std::string table;
  FileMark tableMark, indexMark;
};
// Made on first use (during a run) and never destroyed: a program ended by exit() in the middle
// of a run closes the installed list from its exit handler, which runs after the destructors of
// everything made since the handler was registered.
std::map<std::string, Checked>& CheckedIndexes() {
  static auto* checked = new std::map<std::string, Checked>;
  return *checked;
}
}  // namespace

void CDbIndexedTable::ForgetChecks() { CheckedIndexes().clear(); }

bool CDbIndexedTable::LeftAsChecked(const std::string& indexHost) const {
  auto it = CheckedIndexes().find(indexHost);
  if (it == CheckedIndexes().end()) return false;
  const Checked& c = it->second;
  return c.table == table_->path() && MarkOf(c.table) == c.tableMark && MarkOf(indexHost) == c.indexMark &&
         c.indexMark.size >= 0;
}

int CDbIndexedTable::Open(const std::string& name, const TagList* tags, const std::string* indexName,
                          const FieldNeeds* needs) {
  Close();
  CDbTable::Open(name, nullptr);
  // A table refused here leaves its index untouched (not built again for fields it lacks).
  if (needs) Require(*needs);
  OpenIndex(indexName ? *indexName : name, tags);
  return IsOpen() ? 0 : 1;
}

int CDbIndexedTable::OpenOrCreate(const std::string& name, const FieldList& fields, const TagList* tags,
                                  const std::string* indexName, const FieldNeeds* needs) {
  Close();
  CDbTable::Open(name, &fields);
  if (needs) Require(*needs);
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
  indexRebuilt_ = false;
  TagList create = tags ? *tags : TagList();
  bool mustCreate = tags != nullptr;
  if (!host.empty() && stat(host.c_str(), &st) == 0) {
    mustCreate = false;
    int rc = table_->openIndex(host);
    if (rc == tables::kOk) {
      indexOpen_ = true;
    } else if (rc == tables::kErrData && tags && !table_->readOnly()) {
      // A damaged index of a table we write holds nothing the records do not: it is made again.
      mustCreate = indexRebuilt_ = true;
    } else {
      CFileOpenError("NA", kModule, "", __LINE__, indexName_.c_str()).Write();
    }
    if (indexOpen_ && !table_->readOnly()) {
      tables::Index* index = table_->index();
      // A tag of the list that is missing or defined otherwise (its key or filter text damaged
      // included): the index is made again with the listed tags, as the list defines them, and
      // the others it has. One of those others that cannot be evaluated then fails the creation.
      if (tags && !HasTags(*index, *tags, &create)) {
        table_->closeIndex();
        indexOpen_ = false;
        mustCreate = indexRebuilt_ = true;
      } else {
        for (int i = 0; i < index->tagCount(); ++i)
          if (!index->tag(i)->evaluable()) {
            Check(tables::kErrTagExpr, __LINE__);
            table_->closeIndex();
            indexOpen_ = false;
            return 1;
          }
      }
    }
  }
  if (mustCreate) {
    for (auto& t : create)
      if (t.descending) t.descending = 10;
    if (!host.empty() && table_->createIndex(host, create) == tables::kOk) {
      indexOpen_ = true;
      created = true;
    } else {
      CFileCreateError("NA", kModule, "", __LINE__, indexName_.c_str()).Write();
    }
  }
  if (!indexOpen_) return 1;
  if (!created && !LeftAsChecked(host) && !table_->index()->matchesRecords()) {
    // Keys that are not those of the records (an interrupted or failed write, or damage) would
    // find workunits that are not there and miss those that are: the tags are built again.
    indexRebuilt_ = true;
    int rc = table_->readOnly() ? table_->index()->rebuildKeys() : table_->index()->reindex();
    if (rc != tables::kOk) {
      CCodebaseError("NA", kModule, "", __LINE__, rc).Write();
      Check(rc, __LINE__);
      table_->closeIndex();
      indexOpen_ = false;
      return 1;
    }
  }
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

namespace {

// An expression as written, without blanks and in upper case, for comparing definitions.
std::string Normal(const std::string& expr) {
  std::string out;
  for (char c : expr)
    if (c != ' ') out += c;
  return UpperText(out);
}

}  // namespace

bool CDbIndexedTable::HasTags(const tables::Index& index, const TagList& tags, TagList* all) {
  bool same = true;
  for (const auto& def : tags) {
    const tables::Tag* t = index.tag(def.name);
    same = same && t && Normal(t->expression()) == Normal(def.expr) && Normal(t->filter()) == Normal(def.filter) &&
           (t->unique() != 0) == (def.unique != 0) && t->descending() == (def.descending != 0);
  }
  if (!same && all) {
    *all = tags;
    for (int i = 0; i < index.tagCount(); ++i) {
      const tables::Tag* t = index.tag(i);
      bool listed = false;
      for (const auto& def : tags) listed = listed || SameText(def.name, t->name());
      if (!listed)
        all->push_back({t->name(), t->expression(), t->filter(), t->unique(), t->descending() ? 1 : 0});
    }
  }
  return same;
}

CDbIndexedTable::~CDbIndexedTable() {
  try {
    CDbIndexedTable::Close();
  } catch (...) {  // as for a plain table: what could not be written stays unwritten
  }
}

int CDbIndexedTable::Close() {
  std::string tableHost, indexHost;
  const bool wrote = table_ && indexOpen_ && !table_->readOnly();
  if (wrote) {
    tableHost = table_->path();
    indexHost = table_->index()->path();
    CheckedIndexes().erase(indexHost);
  }
  if (table_ && indexOpen_) Check(table_->closeIndex(), __LINE__);
  indexOpen_ = false;
  const int rc = CDbTable::Close();
  // Written without a failure, the index agrees with its table as they now lie on disk: opened
  // again in this run, and unchanged since, it need not be checked a second time.
  if (wrote && rc == 0) CheckedIndexes()[indexHost] = {tableHost, MarkOf(tableHost), MarkOf(indexHost)};
  return rc;
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
