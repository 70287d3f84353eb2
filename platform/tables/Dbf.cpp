// dBASE tables: the header and field descriptors, the record buffer, moves in record or tag
// order, appends, deletion, pack and zap. Every length and count in a header is checked against
// the file before it is believed; a file that does not add up is refused, never repaired.
#include "TableImpl.h"

#include "Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace tables {

namespace {

/// Appended records are written together once this many bytes of them wait.
constexpr size_t kTailBytes = 64 * 1024;

uint32_t Le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void PutLe16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

bool ReadAll(int fd, void* data, size_t n, off_t at) {
  auto* p = static_cast<char*>(data);
  while (n > 0) {
    ssize_t r = pread(fd, p, n, at);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= size_t(r);
    at += r;
  }
  return true;
}

bool WriteAll(int fd, const void* data, size_t n, off_t at) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t r = pwrite(fd, p, n, at);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= size_t(r);
    at += r;
  }
  return true;
}

bool KnownVersion(int v) {
  switch (v) {
    case 0x03: case 0x83: case 0x04: case 0x8B: case 0xF5: case 0x30: case 0x31: case 0x32:
      return true;
    default:
      return false;
  }
}

void Today(unsigned char* ymd) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  ymd[0] = static_cast<unsigned char>(tm.tm_year);  // years since 1900, as dBASE writes them
  ymd[1] = static_cast<unsigned char>(tm.tm_mon + 1);
  ymd[2] = static_cast<unsigned char>(tm.tm_mday);
}

bool NameChar(unsigned char c, bool first) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (!first && c >= '0' && c <= '9');
}

/// Whether a field descriptor is one a dBASE writer makes: a known type with a length and
/// decimals that type allows. A damaged descriptor is refused rather than read as another field.
bool SoundField(const FieldDef& f) {
  const int len = f.len, dec = f.dec;
  switch (f.type) {
    case 'C': return len >= 1 && len <= 65535;
    case 'N': case 'F': return len >= 1 && len <= 20 && dec >= 0 && dec < len;
    case 'D': return len == 8 && dec == 0;
    case 'L': return len == 1 && dec == 0;
    case 'M': case 'G': case 'P': return (len == 10 || len == 4) && dec == 0;
    case 'B': return len == 10 ? dec == 0 : len == 8 && dec <= 18;  // memo, or a double
    case 'I': case '+': return len == 4 && dec == 0;
    case 'Y': return len == 8 && dec <= 4;
    case 'T': case '@': case 'O': return len == 8 && dec == 0;
    case 'V': case 'Q': return len >= 1 && len <= 254;
    case '0': return len >= 1 && dec == 0;  // the null flags of a later format
    default: return false;
  }
}

/// Padding that ends a file at a block boundary: fewer bytes than the largest block (4096), the
/// file's size a multiple of the smallest (512).
constexpr uint64_t kLargestBlock = 4096, kSmallestBlock = 512;

/// Whether the bytes after the counted records are an end mark (or none) followed by NUL padding
/// to a block boundary, as writers that fill a file's last block leave. No record begins with a
/// NUL (its first byte is the deletion flag), so such padding hides no record; any other bytes of
/// a record's length or more may be records the header does not count.
bool BlockPadding(int fd, uint64_t records, uint64_t fileSize) {
  if (fileSize % kSmallestBlock != 0 || fileSize - records >= kLargestBlock) return false;
  std::vector<unsigned char> tail(size_t(fileSize - records));
  if (!ReadAll(fd, tail.data(), tail.size(), off_t(records))) return false;
  size_t i = !tail.empty() && tail[0] == 0x1A ? 1 : 0;
  while (i < tail.size() && tail[i] == 0) ++i;
  return i == tail.size();
}

/// Whether the header and the file size are those of a table written whole: the data begin where
/// the field descriptors end (`end`, just past their end mark), allowing one NUL there, and for
/// the FoxPro versions the 263-byte back-link area after it (always there in Visual FoxPro's);
/// and the file holds the counted records and, after them, fewer than one record's bytes (an end
/// mark, short padding) or an end mark and NUL padding to a block boundary.
bool WrittenWhole(const std::vector<unsigned char>& h, size_t end, int version, off_t fileSize, uint32_t declared,
                  int recLen, int fd) {
  const size_t headerLen = h.size();
  const bool visual = version == 0x30 || version == 0x31 || version == 0x32;
  const bool plain = headerLen == end || (headerLen == end + 1 && h[end] == 0);
  const bool headerAgrees = visual ? headerLen == end + 263 : plain || (version == 0xF5 && headerLen == end + 263);
  if (!headerAgrees) return false;
  const uint64_t records = uint64_t(headerLen) + uint64_t(declared) * uint64_t(recLen);
  if (uint64_t(fileSize) < records) return false;
  return uint64_t(fileSize) - records < uint64_t(recLen) || BlockPadding(fd, records, uint64_t(fileSize));
}

/// Parses the header block; false when it does not describe a table that fits the file.
bool ParseHeader(const std::vector<unsigned char>& h, off_t fileSize, Table::Impl& t) {
  t.version = h[0];
  if (!KnownVersion(t.version)) return false;
  t.headerLen = Le16(&h[8]);
  int recLen = Le16(&h[10]);
  if (t.headerLen < 33 || t.headerLen > fileSize || recLen < 2) return false;
  t.lay = Layout();
  size_t at = 32;
  bool ended = false;
  std::set<std::string> names;
  while (at < size_t(t.headerLen)) {
    if (h[at] == 0x0D) {
      ended = true;
      break;
    }
    if (at + 32 > size_t(t.headerLen)) return false;
    const unsigned char* d = &h[at];
    FieldDef f;
    size_t n = 0;
    while (n < 11 && d[n] != 0) ++n;
    f.name.assign(reinterpret_cast<const char*>(d), n);
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    if (f.name.empty()) return false;
    for (size_t i = 0; i < f.name.size(); ++i)
      if (!NameChar(static_cast<unsigned char>(f.name[i]), i == 0)) return false;
    if (!names.insert(UpperAscii(f.name)).second) return false;  // two fields of one name
    f.type = char(d[11]);
    f.len = d[16];
    f.dec = d[17];
    if (f.type == 'C') {  // character fields longer than 255 keep the high byte in the decimals
      f.len += f.dec * 256;
      f.dec = 0;
    }
    if (!SoundField(f)) return false;
    t.lay.add(f);
    if (t.lay.recLen > recLen) return false;
    at += 32;
  }
  if (!ended || t.lay.fields.empty() || t.lay.recLen != recLen) return false;
  uint32_t declared = Le32(&h[4]);
  uint64_t fit = uint64_t(fileSize - t.headerLen) / uint64_t(recLen);
  t.count = uint32_t(std::min<uint64_t>(declared, fit));  // records past the file's end do not count
  t.whole = WrittenWhole(h, at + 1, t.version, fileSize, declared, recLen, t.fd);
  return true;
}

}  // namespace

// ---- TableImpl ----

Table::Impl::~Impl() {
  if (fd >= 0) ::close(fd);
}

bool Table::Impl::copyRecord(uint32_t rec, char* out) const {
  const size_t len = size_t(lay.recLen);
  if (rec > durable) {
    std::memcpy(out, tail.data() + size_t(rec - durable - 1) * len, len);
    return true;
  }
  return ReadAll(fd, out, len, off_t(headerLen) + off_t(rec - 1) * off_t(lay.recLen));
}

int Table::Impl::readRecord(uint32_t rec) {
  if (rec < 1 || rec > count) return kErrNoRecord;
  if (!copyRecord(rec, buf.data())) return kErrRead;
  orig = buf;
  recno = rec;
  changed = false;
  appending = false;
  atEof = atBof = false;
  return kOk;
}

int Table::Impl::writeRecord(uint32_t rec, const char* data) {
  if (rec > durable) {  // still waiting in the tail
    std::memcpy(tail.data() + size_t(rec - durable - 1) * size_t(lay.recLen), data, size_t(lay.recLen));
    return kOk;
  }
  markWritten();  // a write that failed may have changed part of the record
  if (!WriteAll(fd, data, size_t(lay.recLen), off_t(headerLen) + off_t(rec - 1) * off_t(lay.recLen)))
    return kErrWrite;
  headerDirty = true;
  return kOk;
}

int Table::Impl::writeTail() {
  if (tail.empty()) return kOk;
  tail.push_back(0x1A);  // the end mark goes with the records
  markWritten();
  const bool ok = WriteAll(fd, tail.data(), tail.size(), off_t(headerLen) + off_t(durable) * off_t(lay.recLen));
  tail.pop_back();
  if (ok) {
    durable = count;
    tail.clear();
    headerDirty = true;
    // The header counts the records at once, so that other readers see what is on disk.
    return writeHeader();
  }
  // What part of the records reached the file is cut away and the end mark restored: the file
  // holds exactly the records its header counts.
  cutToCount();
  // The records past `durable` are not on disk: the table and its tags go back to without them,
  // so that what is written later (header, index) agrees with the file.
  if (index) {
    for (uint32_t r = durable + 1; r <= count; ++r) {
      const char* rec = tail.data() + size_t(r - durable - 1) * size_t(lay.recLen);
      for (auto& t : index->d->tags)
        if (t->evaluable() && t->member(rec)) {
          t->remove(t->key(rec), r);
          if (t->unique_ != 0 && t->mayHide_) t->stale_ = true;
        }
    }
    index->d->dirty = true;
  }
  tail.clear();
  count = durable;
  headerDirty = true;
  writeFailure = kErrWrite;
  if (recno > count && !appending) setEof();
  return kErrWrite;
}

bool Table::Impl::cutToCount() {
  const off_t end = off_t(headerLen) + off_t(durable) * off_t(lay.recLen);
  const char eofMark = 0x1A;
  markWritten();
  return ftruncate(fd, end) == 0 && WriteAll(fd, &eofMark, 1, end);
}

int Table::Impl::writeCurrent() {
  if (!changed || appending || recno < 1 || recno > count) {
    changed = false;
    return kOk;
  }
  if (readOnly) return kErrReadOnly;
  int rc = updateTags(recno, orig.data(), buf.data());
  if (rc < 0) return rc;
  rc = writeRecord(recno, buf.data());
  if (rc < 0) return rc;
  orig = buf;
  changed = false;
  return kOk;
}

int Table::Impl::updateTags(uint32_t rec, const char* before, const char* after) {
  if (!index) return kOk;
  auto& tags = index->d->tags;
  for (auto& t : tags)
    if (!t->evaluable()) return kErrTagExpr;
  struct Change {
    TagImpl* tag;
    bool had, has;
    std::string oldKey, newKey;
  };
  std::vector<Change> changes;
  for (auto& t : tags) {
    Change c{t.get(), before && t->member(before), t->member(after), {}, {}};
    if (c.had) c.oldKey = t->key(before);
    if (c.has) c.newKey = t->key(after);
    if (c.had == c.has && c.oldKey == c.newKey) continue;
    if (c.has && t->unique_ != 0 && t->unique_ != kUniqueContinue && !before) {
      if (int rc = freshen(t.get()); rc < 0) return rc;  // the refusal asks the tag as built from the records
      if (t->hasKey(c.newKey)) return kErrUnique;
    }
    changes.push_back(std::move(c));
  }
  for (auto& c : changes) {
    TagImpl& t = *c.tag;
    if (c.had) {
      t.remove(c.oldKey, rec);
      // Another record left out with the same key would now be missing from the tag.
      if (t.unique_ != 0 && t.mayHide_) t.stale_ = true;
    }
    if (!c.has) continue;
    if (t.unique_ != 0 && t.hasKey(c.newKey))
      t.mayHide_ = true;  // left out: held by another record
    else
      t.add(c.newKey, rec);
  }
  if (!changes.empty()) index->d->dirty = true;
  return kOk;
}

int Table::Impl::writeHeader() {
  if (!headerDirty || readOnly) return kOk;
  unsigned char h[8];
  if (!ReadAll(fd, h, 8, 0)) return kErrRead;
  Today(h + 1);
  PutLe32(h + 4, durable);  // only records on disk count
  markWritten();
  if (!WriteAll(fd, h, 8, 0)) return kErrWrite;
  headerDirty = false;
  return kOk;
}

void Table::Impl::setEof() {
  recno = count + 1;
  std::fill(buf.begin(), buf.end(), ' ');
  orig = buf;
  changed = appending = false;
  atEof = true;
  atBof = false;
  hasTagPos = false;
}

void Table::Impl::positionOn(const Entry& e) {
  if (readRecord(e.rec) < 0) {
    setEof();
    return;
  }
  setPos(e.key, e.rec);
}

int Table::Impl::rebuildTags(bool evaluableOnly) {
  if (!index) return kOk;
  if (!evaluableOnly)
    for (auto& t : index->d->tags)
      if (!t->evaluable()) return kErrTagExpr;
  std::vector<TagImpl*> tags;
  for (auto& t : index->d->tags)
    if (t->evaluable()) tags.push_back(t.get());
  hasTagPos = false;
  return buildKeys(tags);
}

int Table::Impl::buildKeys(const std::vector<TagImpl*>& tags) {
  if (tags.empty()) return kOk;
  for (TagImpl* t : tags) {
    t->keys_.clear();
    t->stale_ = t->mayHide_ = false;
  }
  std::vector<char> rec(size_t(lay.recLen));
  for (uint32_t r = 1; r <= count; ++r) {
    if (!copyRecord(r, rec.data())) return kErrRead;
    for (TagImpl* t : tags) {
      if (!t->member(rec.data())) continue;
      std::string k = t->key(rec.data());
      if (t->unique_ != 0 && t->hasKey(k)) {
        t->mayHide_ = true;
        continue;
      }
      t->add(k, r, t->keys_.end());
    }
  }
  index->d->dirty = true;
  return kOk;
}

int Table::Impl::freshen(TagImpl* tag) {
  if (!index) return kOk;
  std::vector<TagImpl*> tags;
  for (auto& t : index->d->tags)
    if (t->stale_ && t->evaluable() && (!tag || t.get() == tag)) tags.push_back(t.get());
  // A walk's position is a place among the keys, which stays meaningful in the rebuilt tag.
  return buildKeys(tags);
}

bool Table::Impl::tagsMatchRecords() {
  if (!index) return true;
  if (writeCurrent() < 0 || freshen() < 0) return false;
  std::vector<TagImpl*> tags;
  for (auto& t : index->d->tags)
    if (t->evaluable()) tags.push_back(t.get());
  // Each record's key in each tag ("" with member false when the filter leaves it out).
  struct Want {
    std::vector<std::string> key;
    std::vector<bool> member;
    size_t members = 0;
  };
  std::vector<Want> want(tags.size());
  for (Want& w : want) {
    w.key.resize(count);
    w.member.resize(count);
  }
  // Records on disk are read many at a time.
  const size_t len = size_t(lay.recLen);
  const uint32_t perChunk = uint32_t(std::max<size_t>(1, 256 * 1024 / len));
  std::vector<char> chunk(size_t(perChunk) * len);
  for (uint32_t first = 1; first <= count; first += perChunk) {
    const uint32_t n = std::min(perChunk, count - first + 1);
    const uint32_t onDisk = first > durable ? 0 : std::min(n, durable - first + 1);
    if (onDisk > 0 && !ReadAll(fd, chunk.data(), size_t(onDisk) * len, off_t(headerLen) + off_t(first - 1) * off_t(len)))
      return false;
    for (uint32_t k = onDisk; k < n; ++k) copyRecord(first + k, chunk.data() + size_t(k) * len);
    for (uint32_t k = 0; k < n; ++k) {
      const char* rec = chunk.data() + size_t(k) * len;
      const uint32_t r = first + k;
      for (size_t i = 0; i < tags.size(); ++i) {
        if (!tags[i]->member(rec)) continue;
        want[i].key[r - 1] = tags[i]->key(rec);
        want[i].member[r - 1] = true;
        ++want[i].members;
      }
    }
  }
  for (size_t i = 0; i < tags.size(); ++i) {
    const TagImpl& t = *tags[i];
    const Want& w = want[i];
    // Every stored key is the key of its record.
    const Entry* prev = nullptr;
    for (const Entry& e : t.keys_) {
      if (e.rec < 1 || e.rec > count || !w.member[e.rec - 1] || w.key[e.rec - 1] != std::string_view(e.key)) return false;
      if (t.unique_ != 0 && prev && prev->key == e.key) return false;
      prev = &e;
    }
    // And every record's key is stored: all of them, or each distinct one of a unique tag.
    size_t expected = w.members;
    if (t.unique_ != 0) {
      std::set<std::string_view> distinct;
      for (uint32_t r = 0; r < count; ++r)
        if (w.member[r]) distinct.insert(w.key[r]);
      expected = distinct.size();
    }
    if (t.keys_.size() != expected) return false;
    tags[i]->mayHide_ = expected != w.members;
  }
  return true;
}

bool Table::Impl::tagsEvaluable() const {
  if (index)
    for (auto& t : index->d->tags)
      if (!t->evaluable()) return false;
  return true;
}

// ---- Opening and creating ----

namespace {

// Reads the header of a table file of `size` bytes open on t.fd and readies the table: kOk, or
// the failure. A table open for writing drops the records past those its header counts.
int LoadTable(Table::Impl& t, off_t size) {
  if (size < 33) return kErrData;
  unsigned char fixed[32];
  if (!ReadAll(t.fd, fixed, 32, 0)) return kErrRead;
  size_t headerLen = std::min<size_t>(Le16(fixed + 8), size_t(size));
  std::vector<unsigned char> h(std::max<size_t>(headerLen, 32));
  if (!ReadAll(t.fd, h.data(), h.size(), 0)) return kErrRead;
  if (!ParseHeader(h, size, t)) return kErrData;
  t.durable = t.count;
  // Records past those the header counts are what a write cut short (or a run ended in the
  // middle) left: a table opened for writing drops them, so other readers see only counted ones.
  if (!t.readOnly && size > off_t(t.headerLen) + off_t(t.count) * off_t(t.lay.recLen) + 1 && !t.cutToCount())
    return kErrWrite;
  t.buf.assign(size_t(t.lay.recLen), ' ');
  t.orig = t.buf;
  return kOk;
}

}  // namespace

Table::Table(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Table::~Table() {
  // Destroyed on the way out of an exception, a table whose pending writes fail (no memory)
  // leaves them unwritten: the file keeps the records its header counts.
  try {
    close();
  } catch (...) {
  }
}

std::unique_ptr<Table> OpenTable(const std::string& path, bool readOnly, int* err) {
  auto fail = [&](int code) {
    if (err) *err = code;
    return std::unique_ptr<Table>();
  };
  auto t = std::make_unique<Table::Impl>();
  t->path = path;
  t->readOnly = readOnly;
  struct stat st{};
  for (int attempt = 0;; ++attempt) {
    t->fd = ::open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (t->fd < 0) return fail(kErrOpen);
    if (fstat(t->fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(kErrOpen);
    if (readOnly) break;
    if (flock(t->fd, LOCK_EX | LOCK_NB) != 0) return fail(kErrLocked);
    // The lock holds only if the path still names the locked file: a program that packed the
    // table while we opened it has put a new file in its place, which is opened and locked anew.
    struct stat now{};
    if (::stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
      if (fstat(t->fd, &st) != 0) return fail(kErrOpen);  // its size as the lock found it
      break;
    }
    ::close(t->fd);
    t->fd = -1;
    if (attempt == 10) return fail(kErrLocked);
  }
  // What a replacement of this table ended half-way left beside it goes (replacements hold the lock).
  if (!readOnly) RemoveUnfinishedReplacements(path);
  if (int rc = LoadTable(*t, st.st_size); rc != kOk) return fail(rc);
  std::unique_ptr<Table> table(new Table(std::move(t)));
  table->top();
  return table;
}

std::unique_ptr<Table> OpenTable(ReplacementFile& file, int* err) {
  auto fail = [&](int code) {
    if (err) *err = code;
    return std::unique_ptr<Table>();
  };
  auto t = std::make_unique<Table::Impl>();
  t->path = file.path();
  t->building = true;
  // The table's own descriptor of the file; the replacement keeps its own for the commit.
  t->fd = file.ok() ? ::fcntl(file.fd(), F_DUPFD_CLOEXEC, 0) : -1;
  struct stat st{};
  if (t->fd < 0 || fstat(t->fd, &st) != 0) return fail(kErrOpen);
  if (int rc = LoadTable(*t, st.st_size); rc != kOk) return fail(rc);
  std::unique_ptr<Table> table(new Table(std::move(t)));
  table->top();
  return table;
}

std::unique_ptr<Table> CreateTable(const std::string& path, const std::vector<FieldDef>& fields, int* err,
                                   bool keepRecords) {
  auto fail = [&](int code) {
    if (err) *err = code;
    return std::unique_ptr<Table>();
  };
  if (fields.empty() || fields.size() > 1000) return fail(kErrArgs);
  Layout lay;
  for (const FieldDef& f0 : fields) {
    FieldDef f = f0;
    f.name = UpperAscii(f.name);
    if (f.name.empty() || f.name.size() > 10) return fail(kErrArgs);
    switch (f.type) {
      case 'C': if (f.len < 1 || f.len > 65535) return fail(kErrArgs); f.dec = 0; break;
      case 'N': case 'F':
        if (f.len < 1 || f.len > 20 || f.dec < 0 || (f.dec > 0 && f.dec > f.len - 2)) return fail(kErrArgs);
        break;
      case 'D': f.len = 8; f.dec = 0; break;
      case 'L': f.len = 1; f.dec = 0; break;
      case 'M': f.len = 10; f.dec = 0; break;
      case 'I': f.len = 4; f.dec = 0; break;
      default: return fail(kErrArgs);
    }
    lay.add(f);
    if (lay.recLen > 65535) return fail(kErrArgs);
  }
  size_t headerLen = 32 + 32 * fields.size() + 1;
  std::vector<unsigned char> h(headerLen + 1, 0);
  h[0] = 0x03;
  Today(&h[1]);
  PutLe16(&h[8], uint32_t(headerLen));
  PutLe16(&h[10], uint32_t(lay.recLen));
  for (size_t i = 0; i < lay.fields.size(); ++i) {
    unsigned char* d = &h[32 + 32 * i];
    const FieldDef& f = lay.fields[i];
    std::memcpy(d, f.name.data(), f.name.size());
    d[11] = static_cast<unsigned char>(f.type);
    d[16] = static_cast<unsigned char>(f.len & 0xFF);
    d[17] = static_cast<unsigned char>(f.type == 'C' ? f.len >> 8 : f.dec);
  }
  h[headerLen - 1] = 0x0D;
  h[headerLen] = 0x1A;

  auto t = std::make_unique<Table::Impl>();
  t->path = path;
  // A table another program holds open for writing is not replaced: its lock is taken first and
  // kept until the new file is in place (a link or folder there is never opened through). With
  // `keepRecords` a table that holds records (another program made it meanwhile) stays as well.
  int old = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  const bool existed = old >= 0 || errno != ENOENT;
  if (old >= 0) {
    struct stat was{}, now{};
    if (flock(old, LOCK_EX | LOCK_NB) != 0 || fstat(old, &was) != 0 || ::stat(path.c_str(), &now) != 0 ||
        was.st_ino != now.st_ino || was.st_dev != now.st_dev || (keepRecords && was.st_size > 0)) {
      ::close(old);
      return fail(kErrLocked);
    }
  }
  // The new table is written whole under a fresh name and locked before it takes the path: no
  // table is ever left half made (a short file would be refused by every later open). Where there
  // was none, it takes the path only while nothing else has (two programs making it at once).
  ReplacementFile out(path, 0644);
  const bool written = out.ok() && out.Write(h.data(), h.size()) && flock(out.fd(), LOCK_EX | LOCK_NB) == 0;
  const int committed = written ? out.Commit(existed) : -1;
  if (old >= 0) ::close(old);
  // Where there was no file, another program that made the table first has it (EEXIST), and may
  // already have removed this unfinished new file as its leftover (ENOENT, the path taken).
  struct stat taken{};
  if (!out.renamed() && (committed == EEXIST || (committed == ENOENT && !existed && ::lstat(path.c_str(), &taken) == 0)))
    return fail(kErrLocked);
  if (committed != 0) {
    if (out.renamed()) ::unlink(path.c_str());  // in place, but not known to be on the disk
    return fail(kErrCreate);
  }
  // The new table holds the lock every replacement of it holds: what earlier replacements ended
  // half-way left beside it (a first making of it included) goes, as an open for writing does.
  RemoveUnfinishedReplacements(path);
  t->fd = out.Release();
  t->version = 0x03;
  t->lay = std::move(lay);
  t->headerLen = int(headerLen);
  t->buf.assign(size_t(t->lay.recLen), ' ');
  t->orig = t->buf;
  std::unique_ptr<Table> table(new Table(std::move(t)));
  table->d->setEof();
  return table;
}

int Table::sync() {
  int rc = flush();
  if (rc < 0 || d->fd < 0 || d->readOnly || d->building || !d->unsynced) return rc;
  if (::fsync(d->fd) != 0) return kErrWrite;
  d->unsynced = false;
  return kOk;
}

int Table::close() {
  if (!d || d->fd < 0) return kOk;
  int rc = flush();
  d->index.reset();
  d->sel = nullptr;
  // A close that fails may report a write that never landed: a table written is then not whole.
  const bool closed = ::close(d->fd) == 0 || !d->written;
  d->fd = -1;
  return rc < 0 ? rc : closed ? kOk : kErrWrite;
}

const std::string& Table::path() const { return d->path; }
bool Table::readOnly() const { return d->readOnly; }
int Table::version() const { return d->version; }
bool Table::whole() const { return d->whole; }
int Table::fieldCount() const { return int(d->lay.fields.size()); }
const FieldDef& Table::field(int i) const { return d->lay.fields[size_t(i)]; }
int Table::fieldIndex(std::string_view name) const { return d->lay.find(name); }
std::string Table::fieldText(int i) const { return d->lay.text(d->buf.data(), i); }

// ---- Assignment ----

int Table::assignText(int i, std::string_view text) {
  if (i < 0 || i >= fieldCount()) return kErrField;
  if (d->readOnly) return kErrReadOnly;
  const FieldDef& f = d->lay.fields[size_t(i)];
  char* p = d->buf.data() + d->lay.offsets[size_t(i)];
  size_t len = size_t(f.len);
  switch (f.type) {
    case 'C': case 'M': case 'D': {
      std::string v(text.substr(0, len));
      v.resize(len, ' ');
      std::memcpy(p, v.data(), len);
      break;
    }
    case 'N': case 'F': {
      std::string_view s = text;
      while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
      while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
      std::string v = s.size() > len ? std::string(len, '*') : std::string(len - s.size(), ' ') + std::string(s);
      std::memcpy(p, v.data(), len);
      break;
    }
    case 'L': {
      char c = text.empty() ? ' ' : text[0];
      *p = std::strchr("TtYy1", c) && c ? 'T' : c == ' ' ? ' ' : 'F';
      break;
    }
    case 'I': {
      if (len != 4) return kErrFieldType;
      long v = std::strtol(std::string(text).c_str(), nullptr, 10);
      auto u = static_cast<uint32_t>(static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX)));
      PutLe32(reinterpret_cast<unsigned char*>(p), u);
      break;
    }
    default:
      return kErrFieldType;
  }
  d->changed = true;
  return kOk;
}

int Table::assignLong(int i, long value) {
  if (i < 0 || i >= fieldCount()) return kErrField;
  const FieldDef& f = d->lay.fields[size_t(i)];
  if (f.type == 'C' || f.type == 'N' || f.type == 'F') {
    if (d->readOnly) return kErrReadOnly;
    std::string s = std::to_string(value);
    size_t len = size_t(f.len);
    std::string v = s.size() > len ? std::string(len, '*') : std::string(len - s.size(), ' ') + s;
    std::memcpy(d->buf.data() + d->lay.offsets[size_t(i)], v.data(), len);
    d->changed = true;
    return kOk;
  }
  return assignText(i, std::to_string(value));
}

// ---- Position ----

int Table::recCount() const { return int(d->count); }
int Table::recNo() const { return int(d->recno); }
bool Table::eof() const { return d->atEof; }
bool Table::bof() const { return d->atBof; }
bool Table::deleted() const { return !d->buf.empty() && d->buf[0] == '*'; }

int Table::Impl::moveToEnd(bool first) {
  int rc = writeCurrent();
  if (rc < 0) return rc;
  appending = false;
  if (TagImpl* t = sel) {
    if (rc = freshen(t); rc < 0) return rc;
    if (t->keys_.empty()) {
      setEof();
      return kEof;
    }
    // A descending tag reads its keys from the back.
    positionOn(first != t->desc_ ? *t->keys_.begin() : *t->keys_.rbegin());
    return atEof ? kEof : kOk;
  }
  if (count == 0) {
    setEof();
    return kEof;
  }
  rc = readRecord(first ? 1 : count);
  return rc < 0 ? rc : kOk;
}

int Table::top() { return d->moveToEnd(true); }

int Table::bottom() { return d->moveToEnd(false); }

int Table::skip(long n) {
  int rc = d->writeCurrent();
  if (rc < 0) return rc;
  d->appending = false;
  TagImpl* t = d->sel;
  if (!t) {
    if (d->count == 0) {
      d->setEof();
      return kEof;
    }
    long target = long(d->recno) + n;
    if (target > long(d->count)) {
      d->setEof();
      return kEof;
    }
    if (target < 1) {
      rc = d->readRecord(1);
      d->atBof = true;
      return rc < 0 ? rc : kBof;
    }
    rc = d->readRecord(uint32_t(target));
    return rc < 0 ? rc : kOk;
  }
  // Tag order. The walk starts from the current record's entry; when that entry has left the
  // tag (its key changed or it was filtered out) the walk goes on from where it stood.
  if (rc = d->freshen(t); rc < 0) return rc;
  if (t->keys_.empty()) {
    d->setEof();
    return kEof;
  }
  if (d->atEof || !d->hasTagPos) {
    if (n >= 0) {
      d->setEof();
      return kEof;
    }
    d->positionOn(t->desc_ ? *t->keys_.begin() : *t->keys_.rbegin());
    ++n;
    if (n == 0) return kOk;
  }
  auto it = t->keys_.lower_bound(d->pos());
  bool exact = it != t->keys_.end() && !EntryLess()(d->pos(), *it);
  bool forward = (n > 0) != t->desc_;  // direction in the ascending set
  long steps = n < 0 ? -n : n;
  if (forward) {
    if (!exact && steps > 0) --steps;  // lower_bound already stands on the next entry
    while (steps > 0 && it != t->keys_.end()) {
      ++it;
      --steps;
    }
    if (it == t->keys_.end()) {
      if (n > 0) {
        d->setEof();
        return kEof;
      }
      d->positionOn(*t->keys_.rbegin());  // descending walk back past the first key
      d->atBof = true;
      return kBof;
    }
  } else {
    while (steps > 0) {
      if (it == t->keys_.begin()) break;
      --it;
      --steps;
    }
    if (steps > 0) {
      if (n < 0) {
        d->positionOn(*t->keys_.begin());
        d->atBof = true;
        return kBof;
      }
      d->setEof();  // descending walk past the last key
      return kEof;
    }
  }
  d->positionOn(*it);
  return d->atEof ? kEof : kOk;
}

int Table::go(int rec) {
  int rc = d->writeCurrent();
  if (rc < 0) return rc;
  if (rec < 1 || uint32_t(rec) > d->count) {
    d->setEof();
    return kEof;
  }
  rc = d->readRecord(uint32_t(rec));
  if (rc < 0) return rc;
  d->hasTagPos = false;
  if (TagImpl* t = d->sel; t && t->evaluable() && t->member(d->buf.data())) {
    if (rc = d->freshen(t); rc < 0) return rc;
    std::string k = t->key(d->buf.data());
    if (t->contains(k, uint32_t(rec))) d->setPos(k, uint32_t(rec));
  }
  return kOk;
}

// ---- Changes ----

int Table::appendStart(bool blankIt) {
  if (d->readOnly) return kErrReadOnly;
  int rc = d->writeCurrent();
  if (rc < 0) return rc;
  if (blankIt) std::fill(d->buf.begin(), d->buf.end(), ' ');
  d->buf[0] = ' ';
  d->appending = true;
  d->changed = true;
  return kOk;
}

int Table::append() {
  if (d->readOnly) return kErrReadOnly;
  if (!d->appending) return kErrNoRecord;
  if (d->count == UINT32_MAX - 1) return kErrWrite;
  uint32_t rec = d->count + 1;
  int rc = d->updateTags(rec, nullptr, d->buf.data());
  if (rc < 0) return rc;
  // The record waits in the tail with those appended before it; a full tail is written at once.
  d->tail.insert(d->tail.end(), d->buf.begin(), d->buf.end());
  d->count = rec;
  d->headerDirty = true;
  if (d->tail.size() >= kTailBytes) {
    d->appending = false;
    rc = d->writeTail();
    if (rc < 0) {
      d->setEof();  // the record went back with the others: nothing of it stays in the buffer
      return rc;
    }
  }
  d->recno = rec;
  d->orig = d->buf;
  d->changed = d->appending = d->atEof = d->atBof = false;
  d->hasTagPos = false;
  if (TagImpl* t = d->sel; t && t->member(d->buf.data())) {
    std::string k = t->key(d->buf.data());
    if (t->contains(k, rec)) d->setPos(k, rec);
  }
  return kOk;
}

void Table::blank() {
  std::fill(d->buf.begin(), d->buf.end(), ' ');
  d->changed = true;
}

int Table::markDeleted() {
  if (d->readOnly) return kErrReadOnly;
  if (!d->appending && (d->recno < 1 || d->recno > d->count)) return kErrNoRecord;
  d->buf[0] = '*';
  d->changed = true;
  return kOk;
}

int Table::recall() {
  if (d->readOnly) return kErrReadOnly;
  if (!d->appending && (d->recno < 1 || d->recno > d->count)) return kErrNoRecord;
  d->buf[0] = ' ';
  d->changed = true;
  return kOk;
}

namespace {

// Writes the kept records (keep(r) says whether record r stays) to a new file that replaces the
// table's in one rename (ReplacementFile: flushed before and after it): a program ended at any
// moment, or a power cut, leaves either the old table or the new one, never records moved
// half-way (which would hold some of them twice). The new file is locked before it takes the
// table's place, so that no other program can take it in between.
template <class Keep>
int Compact(Table::Impl& t, Keep keep);

// The same for a table built in a replacement that is not in place yet: nothing else sees the
// file, so the kept records move up within it and it is cut after them.
template <class Keep>
int CompactInPlace(Table::Impl& t, Keep keep) {
  const size_t len = size_t(t.lay.recLen);
  std::vector<char> rec(len);
  uint32_t kept = 0;
  t.markWritten();
  for (uint32_t r = 1; r <= t.count; ++r) {
    if (!ReadAll(t.fd, rec.data(), len, off_t(t.headerLen) + off_t(r - 1) * off_t(len))) return kErrRead;
    if (!keep(r, rec.data())) continue;
    ++kept;
    if (kept != r && !WriteAll(t.fd, rec.data(), len, off_t(t.headerLen) + off_t(kept - 1) * off_t(len)))
      return kErrWrite;
  }
  t.count = t.durable = kept;
  if (!t.cutToCount()) return kErrWrite;
  t.headerDirty = true;
  int rc = t.writeHeader();
  if (rc == kOk) rc = t.rebuildTags();
  if (rc == kOk && t.index) rc = t.index->flush();
  return rc;
}

template <class Keep>
int Compact(Table::Impl& t, Keep keep) {
  if (t.readOnly) return kErrReadOnly;
  if (!t.tagsEvaluable()) return kErrTagExpr;
  if (int rc = t.writeTail(); rc < 0) return rc;
  if (t.building) return CompactInPlace(t, keep);
  struct stat st{};
  if (fstat(t.fd, &st) != 0) return kErrRead;
  ReplacementFile out(t.path, st.st_mode & 07777);
  if (!out.ok()) return kErrWrite;
  const int fd = out.fd();
  const size_t len = size_t(t.lay.recLen);
  std::vector<char> head(size_t(t.headerLen));
  if (!ReadAll(t.fd, head.data(), head.size(), 0)) return kErrRead;
  std::vector<char> rec(len), buffer;
  buffer.reserve(64 * 1024 + len);
  uint32_t kept = 0;
  off_t at = t.headerLen;
  for (uint32_t r = 1; r <= t.count; ++r) {
    if (!ReadAll(t.fd, rec.data(), len, off_t(t.headerLen) + off_t(r - 1) * off_t(len))) return kErrRead;
    if (!keep(r, rec.data())) continue;
    ++kept;
    buffer.insert(buffer.end(), rec.begin(), rec.end());
    if (buffer.size() >= 64 * 1024) {
      if (!WriteAll(fd, buffer.data(), buffer.size(), at)) return kErrWrite;
      at += off_t(buffer.size());
      buffer.clear();
    }
  }
  buffer.push_back(0x1A);
  auto* h = reinterpret_cast<unsigned char*>(head.data());
  Today(h + 1);
  PutLe32(h + 4, kept);
  if (!WriteAll(fd, buffer.data(), buffer.size(), at) || !WriteAll(fd, head.data(), head.size(), 0)) return kErrWrite;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return kErrWrite;
  const int committed = out.Commit();
  if (!out.renamed()) return kErrWrite;  // the old table stays, whole
  ::close(t.fd);
  t.fd = out.Release();
  t.count = t.durable = kept;
  t.headerDirty = false;
  t.unsynced = false;  // the new file went to the disk before it took the table's place
  int rc = t.rebuildTags();
  // The index on disk follows the packed table at once, as a reindex writes it.
  if (rc == kOk && t.index) rc = t.index->flush();
  // The new table is in place, but its rename may not have reached the disk.
  if (rc == kOk && committed != 0) rc = kErrWrite;
  return rc;
}

}  // namespace

int Table::pack() {
  int rc = d->writeCurrent();
  if (rc < 0) return rc;
  rc = Compact(*d, [](uint32_t, const char* rec) { return rec[0] != '*'; });
  if (rc < 0) return rc;
  top();
  return kOk;
}

int Table::zap(int from, int to) {
  int rc = d->writeCurrent();
  if (rc < 0) return rc;
  if (from < 1) from = 1;
  if (to > int(d->count)) to = int(d->count);
  if (from > to) return kOk;
  rc = Compact(*d, [&](uint32_t r, const char*) { return int(r) < from || int(r) > to; });
  if (rc < 0) return rc;
  top();
  return kOk;
}

int Table::flush() {
  if (d->fd < 0) return kOk;
  int rc = d->writeCurrent();
  int tr = d->writeTail();
  int hr = d->writeHeader();
  int ir = d->index ? d->index->flush() : kOk;
  for (int r : {rc, tr, hr, ir, d->writeFailure})
    if (r < 0) return r;
  return kOk;
}

// ---- Index ----

int Table::openIndex(const std::string& path) {
  closeIndex();
  // The index is replaced only by the holder of the table's lock, which a table open for writing is.
  if (!d->readOnly) RemoveUnfinishedReplacements(path);
  int err = kOk;
  auto impl = ReadIndexFile(path, *d, &err);
  if (!impl) return err;
  d->index.reset(new Index(std::move(impl)));
  return kOk;
}

int Table::createIndex(const std::string& path, const std::vector<TagDef>& tags) {
  if (d->readOnly) return kErrReadOnly;
  if (tags.empty()) return kErrArgs;
  closeIndex();
  RemoveUnfinishedReplacements(path);
  auto impl = std::make_unique<Index::Impl>();
  impl->path = path;
  impl->table = d.get();
  for (const TagDef& def : tags) {
    auto t = std::make_unique<TagImpl>();
    // The name as the directory will give it back.
    t->name_ = UpperAscii(TagNameOf(def.name));
    if (t->name_.empty() || t->name_.size() > kTagNameLen) return kErrArgs;
    for (auto& other : impl->tags)
      if (other->name_ == t->name_) return kErrArgs;
    // Both texts, each with its ending NUL, must fit the tag header to be written whole.
    if (def.expr.size() + def.filter.size() + 2 > kExprRoom) return kErrExpr;
    t->expr_ = def.expr;
    t->filter_ = def.filter;
    t->unique_ = def.unique;
    t->desc_ = def.descending != 0;
    if (!t->bind(d->lay)) return kErrExpr;
    t->keyLen_ = t->keyExpr_->width();
    if (t->keyLen_ < 1 || t->keyLen_ > kMaxKeyLen) return kErrKeyLen;
    impl->tags.push_back(std::move(t));
  }
  // Tags stand in name order, as the file's directory keeps them, so the first is the same tag
  // whether the index was just created or read back.
  std::sort(impl->tags.begin(), impl->tags.end(), [](const auto& a, const auto& b) { return TagNameLess(a->name_, b->name_); });
  d->index.reset(new Index(std::move(impl)));
  int rc = d->writeCurrent();
  if (rc == kOk) rc = d->rebuildTags();
  if (rc == kOk) rc = WriteIndexFile(*d->index->d);
  if (rc < 0) {
    d->index.reset();
    return rc == kErrWrite ? kErrCreate : rc;
  }
  d->index->d->dirty = false;
  return kOk;
}

int Table::closeIndex() {
  if (!d->index) return kOk;
  int rc = d->writeCurrent();
  int fr = d->index->flush();
  d->index.reset();
  d->sel = nullptr;
  d->hasTagPos = false;
  return rc < 0 ? rc : fr;
}

Index* Table::index() const { return d->index.get(); }

void Table::selectTag(Tag* tag) {
  d->sel = static_cast<TagImpl*>(tag);
  d->hasTagPos = false;
  if (d->sel) d->freshen(d->sel);  // a failed read shows at the next move
  if (d->sel && d->recno >= 1 && d->recno <= d->count && d->sel->evaluable() && d->sel->member(d->orig.data())) {
    std::string k = d->sel->key(d->orig.data());
    if (d->sel->contains(k, d->recno)) d->setPos(k, d->recno);
  }
}

Tag* Table::selectedTag() const { return d->sel; }

int Table::seek(std::string_view key) {
  TagImpl* t = d->sel;
  if (!t) return kErrTagName;
  if (t->fill_ == '\0' && t->keyLen_ == 8) {  // numeric or date tag: the text is a number or a date
    std::string s(key);
    double v = s.size() == 8 && s.find_first_not_of("0123456789") == std::string::npos ? DateValue(s)
                                                                                      : std::strtod(s.c_str(), nullptr);
    return seekDouble(v);
  }
  int rc = d->writeCurrent();
  if (rc == kOk) rc = d->freshen(t);
  if (rc < 0) return rc;
  std::string k(key.substr(0, size_t(t->keyLen_)));
  const KeySet& keys = t->keys_;
  KeySet::const_iterator it;
  if (!t->desc_) {
    it = keys.lower_bound(KeyRef{k, 0});
  } else {
    std::string probe = k + std::string(size_t(t->keyLen_), '\xff');
    auto up = keys.lower_bound(KeyRef{probe, 0});
    it = up == keys.begin() ? keys.end() : std::prev(up);
  }
  if (it == keys.end()) {
    d->setEof();
    return kEof;
  }
  d->positionOn(*it);
  if (d->atEof) return kEof;
  return it->key.compare(0, k.size(), k) == 0 ? kOk : kAfter;
}

int Table::seekDouble(double value) {
  TagImpl* t = d->sel;
  if (!t) return kErrTagName;
  if (t->keyLen_ != 8 || t->fill_ != '\0') return kErrExpr;
  int rc = d->writeCurrent();
  if (rc == kOk) rc = d->freshen(t);
  if (rc < 0) return rc;
  std::string k = NumericKey(value);
  const KeySet& keys = t->keys_;
  KeySet::const_iterator it;
  if (!t->desc_) {
    it = keys.lower_bound(KeyRef{k, 0});
  } else {
    auto up = keys.upper_bound(KeyRef{k, UINT32_MAX});
    it = up == keys.begin() ? keys.end() : std::prev(up);
  }
  if (it == keys.end()) {
    d->setEof();
    return kEof;
  }
  d->positionOn(*it);
  if (d->atEof) return kEof;
  return std::string_view(it->key) == k ? kOk : kAfter;
}

}  // namespace tables
