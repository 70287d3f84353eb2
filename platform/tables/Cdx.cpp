// Compound index files: 512-byte pages holding a directory of tag names and, per tag, a header and
// a tree of interior and compressed leaf nodes. At open every key is loaded into memory; the file
// is written whole, bulk-built, to a new file that replaces the old one (ReplacementFile).
#include "TableImpl.h"

#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tables {

namespace {

constexpr size_t kPage = 512;
constexpr size_t kLeafHead = 24;
constexpr size_t kLeafArea = kPage - kLeafHead;  // 488 bytes of entries and key bytes
constexpr size_t kInteriorArea = kPage - 12;     // 500 bytes of key, record, child triples
constexpr int kDirKeyLen = int(kTagNameLen);
constexpr int kMaxDepth = 32;

enum Attr : uint16_t { kInterior = 0, kRoot = 1, kLeaf = 2 };
enum Options : uint8_t { kOptUnique = 1, kOptFilter = 8, kOptCompact = 32, kOptCompound = 64 };

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]); }
void PutLe32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i)); }
void PutLe16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void PutBe32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i)); }

int BitsFor(uint64_t v) {
  int b = 0;
  while (v > 0) {
    ++b;
    v >>= 1;
  }
  return b;
}

// ---- Reading ----

class Reader {
 public:
  explicit Reader(std::vector<uint8_t> data) : f_(std::move(data)) {}

  const std::vector<uint8_t>& data() const { return f_; }

  /// Hands the keys of the tree under `root` to `out` (key, record) in file order; false when
  /// the tree is damaged.
  template <class Sink>
  bool Walk(uint32_t off, int keyLen, char fill, int depth, Sink& out) {
    if (depth > kMaxDepth || f_.size() < kPage || off > f_.size() - kPage) return false;
    if (!visited_.insert(off).second) return false;  // a page reached twice: a cycle or a shared node
    const uint8_t* p = f_.data() + off;
    uint16_t attr = Le16(p);
    size_t n = Le16(p + 2);
    if (attr & kLeaf) return Leaf(p, n, keyLen, fill, out);
    size_t step = size_t(keyLen) + 8;
    if (n == 0 || n * step > kInteriorArea) return false;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* e = p + 12 + i * step + size_t(keyLen);
      if (!Walk(Be32(e + 4), keyLen, fill, depth + 1, out)) return false;
    }
    return true;
  }

 private:
  template <class Sink>
  bool Leaf(const uint8_t* p, size_t n, int keyLen, char fill, Sink& out) {
    int bytesPer = p[23], recBits = p[20], dupBits = p[21], trailBits = p[22];
    if (n == 0) return true;
    if (bytesPer < 1 || bytesPer > 8 || recBits > 32 || dupBits > 16 || trailBits > 16 ||
        recBits + dupBits + trailBits > bytesPer * 8 || n * size_t(bytesPer) > kLeafArea)
      return false;
    uint64_t recMask = recBits >= 32 ? 0xFFFFFFFFull : (1ull << recBits) - 1;
    uint64_t dupMask = (1ull << dupBits) - 1, trailMask = (1ull << trailBits) - 1;
    size_t infoEnd = kLeafHead + n * size_t(bytesPer);
    size_t pos = kPage;
    std::string key, prev;
    key.reserve(size_t(keyLen));
    for (size_t i = 0; i < n; ++i) {
      uint64_t v = 0;
      const uint8_t* e = p + kLeafHead + i * size_t(bytesPer);
      for (int b = bytesPer - 1; b >= 0; --b) v = v << 8 | e[b];
      uint32_t rec = uint32_t(v & recMask);
      size_t dup = size_t((v >> recBits) & dupMask);
      size_t trail = size_t((v >> (recBits + dupBits)) & trailMask);
      if (dup + trail > size_t(keyLen) || dup > prev.size()) return false;
      size_t stored = size_t(keyLen) - dup - trail;
      if (pos < infoEnd + stored) return false;
      pos -= stored;
      key.assign(prev, 0, dup);
      key.append(reinterpret_cast<const char*>(p + pos), stored);
      key.append(trail, fill);
      out(key, rec);
      std::swap(key, prev);
    }
    return true;
  }

  std::vector<uint8_t> f_;
  std::set<uint32_t> visited_;
};

struct TagHeader {
  uint32_t root = 0;
  int keyLen = 0;
  uint8_t options = 0;
  bool desc = false;
  std::string expr, filter;
};

bool ReadHeader(const std::vector<uint8_t>& f, uint32_t off, TagHeader& h) {
  if (f.size() < 2 * kPage || off > f.size() - 2 * kPage) return false;
  const uint8_t* p = f.data() + off;
  h.root = Le32(p);
  h.keyLen = Le16(p + 12);
  h.options = p[14];
  h.desc = Le16(p + 502) != 0;
  if (h.keyLen < 1 || h.keyLen > kMaxKeyLen) return false;
  // The key expression, then the filter, each ended by a NUL within the text area: the last byte
  // of the area always ends a text, as the writer keeps it.
  const char* pool = reinterpret_cast<const char*>(p + kPage);
  size_t n = strnlen(pool, kExprRoom - 1);
  h.expr.assign(pool, n);
  if (n + 2 < kExprRoom && (h.options & kOptFilter))
    h.filter.assign(pool + n + 1, strnlen(pool + n + 1, kExprRoom - 2 - n));
  return true;
}

// ---- Writing ----

struct Built {
  std::vector<uint8_t> pages;
  uint32_t root = 0;
};

/// Builds the tree of `entries` (in tag order) as pages starting at file offset `base`.
Built BuildTree(const std::vector<const Entry*>& entries, int keyLen, char fill, uint64_t maxRec, uint32_t base) {
  int countBits = BitsFor(uint64_t(keyLen));
  int bytesPer = (std::max(BitsFor(maxRec), 1) + 2 * countBits + 7) / 8;
  int recBits = bytesPer * 8 - 2 * countBits;
  if (recBits > 32) recBits = 32;
  struct Node {
    std::vector<uint8_t> page;
    const Entry* last = nullptr;
  };
  std::vector<Node> leaves;
  // Leaves, filled greedily.
  size_t i = 0;
  do {
    Node node;
    node.page.assign(kPage, 0);
    uint8_t* p = node.page.data();
    PutLe16(p, kLeaf);
    PutLe32(p + 14, recBits >= 32 ? 0xFFFFFFFFu : (1u << recBits) - 1);
    p[18] = uint8_t((1u << countBits) - 1);
    p[19] = uint8_t((1u << countBits) - 1);
    p[20] = uint8_t(recBits);
    p[21] = uint8_t(countBits);
    p[22] = uint8_t(countBits);
    p[23] = uint8_t(bytesPer);
    size_t n = 0, pos = kPage;
    std::string_view prev;
    bool hasPrev = false;
    while (i < entries.size()) {
      std::string_view k = entries[i]->key;
      size_t trail = 0;
      while (trail < size_t(keyLen) && k[size_t(keyLen) - 1 - trail] == fill) ++trail;
      size_t dup = 0;
      if (hasPrev)
        while (dup < size_t(keyLen) - trail && prev[dup] == k[dup]) ++dup;
      size_t stored = size_t(keyLen) - dup - trail;
      if (kLeafHead + (n + 1) * size_t(bytesPer) + stored > pos) break;
      pos -= stored;
      std::memcpy(p + pos, k.data() + dup, stored);
      uint64_t v = uint64_t(entries[i]->rec) | uint64_t(dup) << recBits | uint64_t(trail) << (recBits + countBits);
      for (int b = 0; b < bytesPer; ++b) p[kLeafHead + n * size_t(bytesPer) + size_t(b)] = uint8_t(v >> (8 * b));
      node.last = entries[i];
      prev = k;
      hasPrev = true;
      ++n;
      ++i;
    }
    PutLe16(p + 2, uint32_t(n));
    PutLe16(p + 12, uint32_t(pos - kLeafHead - n * size_t(bytesPer)));
    leaves.push_back(std::move(node));
  } while (i < entries.size());

  std::vector<std::vector<Node>> levels{std::move(leaves)};
  size_t perInterior = kInteriorArea / (size_t(keyLen) + 8);
  while (levels.back().size() > 1) {
    const std::vector<Node>& below = levels.back();
    size_t belowStart = 0;
    for (size_t l = 0; l + 1 < levels.size(); ++l) belowStart += levels[l].size();
    std::vector<Node> up;
    for (size_t c = 0; c < below.size(); c += perInterior) {
      Node node;
      node.page.assign(kPage, 0);
      uint8_t* p = node.page.data();
      size_t n = std::min(perInterior, below.size() - c);
      PutLe16(p, kInterior);
      PutLe16(p + 2, uint32_t(n));
      for (size_t j = 0; j < n; ++j) {
        uint8_t* e = p + 12 + j * (size_t(keyLen) + 8);
        const Entry* last = below[c + j].last;
        if (last) {
          std::memcpy(e, last->key.data(), size_t(keyLen));
          PutBe32(e + keyLen, last->rec);
        } else {
          std::memset(e, fill, size_t(keyLen));
        }
        PutBe32(e + keyLen + 4, base + uint32_t((belowStart + c + j) * kPage));
      }
      node.last = below[c + n - 1].last;
      up.push_back(std::move(node));
    }
    levels.push_back(std::move(up));
  }
  // Sibling links, the root flag, and the pages in order: leaves first, then each level up.
  Built out;
  size_t index = 0;
  for (auto& level : levels) {
    for (size_t j = 0; j < level.size(); ++j) {
      uint8_t* p = level[j].page.data();
      PutLe32(p + 4, j == 0 ? 0xFFFFFFFFu : base + uint32_t((index + j - 1) * kPage));
      PutLe32(p + 8, j + 1 == level.size() ? 0xFFFFFFFFu : base + uint32_t((index + j + 1) * kPage));
    }
    index += level.size();
  }
  uint8_t* rootPage = levels.back()[0].page.data();
  PutLe16(rootPage, Le16(rootPage) | kRoot);
  out.root = base + uint32_t((index - 1) * kPage);
  for (auto& level : levels)
    for (auto& node : level) out.pages.insert(out.pages.end(), node.page.begin(), node.page.end());
  return out;
}

std::vector<uint8_t> BuildHeader(uint32_t root, int keyLen, uint8_t options, bool desc, const std::string& expr,
                                 const std::string& filter) {
  std::vector<uint8_t> h(2 * kPage, 0);
  PutLe32(&h[0], root);
  PutLe32(&h[4], 0xFFFFFFFFu);
  PutLe16(&h[12], uint32_t(keyLen));
  h[14] = options;
  h[15] = 1;
  PutLe16(&h[502], desc ? 1 : 0);
  // Tags read from a file and tags created by the table always fit; the cut is only a guard.
  std::string e = expr.substr(0, kExprRoom - 1);
  std::string f = e.size() + 2 < kExprRoom ? filter.substr(0, kExprRoom - 2 - e.size()) : std::string();
  PutLe16(&h[506], uint32_t(f.size() + 1));
  PutLe16(&h[510], uint32_t(e.size() + 1));
  std::memcpy(&h[kPage], e.data(), e.size());
  std::memcpy(&h[kPage + e.size() + 1], f.data(), f.size());
  return h;
}

}  // namespace

// ---- Tags ----

bool TagImpl::bind(const Layout& lay) {
  keyExpr_ = Expr::Parse(expr_, lay);
  filterExpr_.reset();
  if (keyExpr_ && !filter_.empty()) {
    filterExpr_ = Expr::Parse(filter_, lay);
    if (filterExpr_ && filterExpr_->type() != Expr::kLog) filterExpr_.reset();
  }
  if (keyExpr_) fill_ = keyExpr_->type() == Expr::kNum || keyExpr_->type() == Expr::kDate ? '\0' : ' ';
  return evaluable();
}

std::vector<std::pair<std::string, uint32_t>> TagImpl::keys() const {
  std::vector<std::pair<std::string, uint32_t>> out;
  out.reserve(keys_.size());
  if (desc_)
    for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) out.emplace_back(std::string(it->key), it->rec);
  else
    for (const Entry& e : keys_) out.emplace_back(std::string(e.key), e.rec);
  return out;
}

// ---- Index file ----

std::unique_ptr<Index::Impl> ReadIndexFile(const std::string& path, Table::Impl& table, int* err) {
  auto fail = [&](int code) {
    if (err) *err = code;
    return std::unique_ptr<Index::Impl>();
  };
  // The file read must be the one the path names when the reading ends: an index replaced in
  // the meantime (by the program that held the table before) is read again.
  std::vector<uint8_t> data;
  for (int attempt = 0;; ++attempt) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(kErrOpen);
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (off_t(1) << 31)) {
      ::close(fd);
      return fail(kErrOpen);
    }
    data.assign(size_t(st.st_size), 0);
    size_t got = 0;
    while (got < data.size()) {
      ssize_t r = ::read(fd, data.data() + got, data.size() - got);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      got += size_t(r);
    }
    ::close(fd);
    if (got != data.size()) return fail(kErrRead);
    struct stat now{};
    if (::stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) break;
    if (attempt == 10) return fail(kErrOpen);
  }

  Reader reader(std::move(data));
  TagHeader dir;
  if (!ReadHeader(reader.data(), 0, dir)) return fail(kErrData);
  std::vector<std::pair<std::string, uint32_t>> names;
  auto collect = [&](const std::string& key, uint32_t rec) { names.emplace_back(TagNameOf(key), rec); };
  if (!reader.Walk(dir.root, dir.keyLen, ' ', 0, collect)) return fail(kErrData);
  // Every name must survive being written back: no empty names, none wider than the directory
  // keeps them, and no two that a look-up by name could not tell apart.
  std::set<std::string> seen;
  for (const auto& n : names) {
    if (n.first.empty() || n.first.size() > kTagNameLen) return fail(kErrData);
    if (!seen.insert(UpperAscii(n.first)).second) return fail(kErrData);
  }

  auto impl = std::make_unique<Index::Impl>();
  impl->path = path;
  impl->table = &table;
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return TagNameLess(a.first, b.first); });
  for (const auto& n : names) {
    TagHeader h;
    if (!ReadHeader(reader.data(), n.second, h)) return fail(kErrData);
    auto t = std::make_unique<TagImpl>();
    t->name_ = n.first;
    t->expr_ = h.expr;
    t->filter_ = h.filter;
    t->keyLen_ = h.keyLen;
    t->unique_ = (h.options & kOptUnique) ? kUniqueContinue : 0;
    t->desc_ = h.desc;
    // A key expression that gives keys of another length than stored cannot maintain the tag.
    if (t->bind(table.lay) && t->keyExpr_->width() != t->keyLen_) t->keyExpr_.reset();
    // Files keep their keys in tag order, so each insertion lands next to the previous one.
    TagImpl& tag = *t;
    KeySet::iterator hint = tag.keys_.end();
    uint32_t count = table.count;
    auto insert = [&](const std::string& key, uint32_t rec) {
      if (rec < 1 || rec > count) return;  // keys of records the table does not have
      hint = tag.add(key, rec, tag.desc_ ? KeySet::const_iterator(hint) : tag.keys_.cend());
    };
    if (!reader.Walk(h.root, h.keyLen, t->fill_, 0, insert)) return fail(kErrData);
    impl->tags.push_back(std::move(t));
  }
  return impl;
}

int WriteIndexFile(const Index::Impl& x) {
  // Tag trees first (their sizes do not depend on where they go), then the directory.
  std::vector<std::vector<const Entry*>> ordered(x.tags.size());
  for (size_t i = 0; i < x.tags.size(); ++i) {
    const TagImpl& t = *x.tags[i];
    auto& v = ordered[i];
    v.reserve(t.keys_.size());
    if (t.desc_)
      for (auto it = t.keys_.rbegin(); it != t.keys_.rend(); ++it) v.push_back(&*it);
    else
      for (const Entry& e : t.keys_) v.push_back(&e);
  }
  uint64_t maxRec = x.table ? x.table->count : 0;
  std::vector<size_t> treePages(x.tags.size());
  for (size_t i = 0; i < x.tags.size(); ++i)
    treePages[i] = BuildTree(ordered[i], x.tags[i]->keyLen_, x.tags[i]->fill_, maxRec, 0).pages.size() / kPage;
  uint64_t bound = 2 + x.tags.size();
  for (size_t n : treePages) bound += 2 + n;
  uint64_t maxOffset = bound * kPage;
  if (maxOffset > 0xFFFFFFFFull) return kErrWrite;

  std::vector<Entry> dirEntries(x.tags.size());
  std::vector<const Entry*> dirOrder;
  std::vector<size_t> byName(x.tags.size());
  for (size_t i = 0; i < x.tags.size(); ++i) byName[i] = i;
  std::sort(byName.begin(), byName.end(), [&](size_t a, size_t b) { return TagNameLess(x.tags[a]->name_, x.tags[b]->name_); });
  Built dirProbe;
  {
    std::vector<Entry> probe(x.tags.size());
    std::vector<const Entry*> po;
    for (size_t k = 0; k < byName.size(); ++k) {
      probe[k].key.assign(x.tags[byName[k]]->name_);
      probe[k].key.resize(kDirKeyLen, ' ');
      probe[k].rec = uint32_t(maxOffset);
      po.push_back(&probe[k]);
    }
    dirProbe = BuildTree(po, kDirKeyLen, ' ', maxOffset, 2 * kPage);
  }
  uint32_t offset = uint32_t(2 * kPage + dirProbe.pages.size());
  std::vector<uint32_t> headerAt(x.tags.size());
  for (size_t i = 0; i < x.tags.size(); ++i) {
    headerAt[i] = offset;
    offset += uint32_t(2 * kPage + treePages[i] * kPage);
  }
  for (size_t k = 0; k < byName.size(); ++k) {
    dirEntries[k].key.assign(x.tags[byName[k]]->name_);
    dirEntries[k].key.resize(kDirKeyLen, ' ');
    dirEntries[k].rec = headerAt[byName[k]];
    dirOrder.push_back(&dirEntries[k]);
  }
  Built dir = BuildTree(dirOrder, kDirKeyLen, ' ', maxOffset, 2 * kPage);

  std::vector<uint8_t> file = BuildHeader(dir.root, kDirKeyLen, kOptCompact | kOptCompound | 0x80, false, "", "");
  file.insert(file.end(), dir.pages.begin(), dir.pages.end());
  for (size_t i = 0; i < x.tags.size(); ++i) {
    const TagImpl& t = *x.tags[i];
    Built tree = BuildTree(ordered[i], t.keyLen_, t.fill_, maxRec, headerAt[i] + uint32_t(2 * kPage));
    uint8_t options = kOptCompact | (t.unique_ ? kOptUnique : 0) | (t.filter_.empty() ? 0 : kOptFilter);
    std::vector<uint8_t> h = BuildHeader(tree.root, t.keyLen_, options, t.desc_, t.expr_, t.filter_);
    file.insert(file.end(), h.begin(), h.end());
    file.insert(file.end(), tree.pages.begin(), tree.pages.end());
  }

  // The new file takes the old one's place in one rename, flushed before and after it.
  return ReplaceFileWith(x.path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size())) == 0
             ? kOk
             : kErrWrite;
}

// ---- Index ----

Index::Index(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Index::~Index() = default;

const std::string& Index::path() const { return d->path; }
int Index::tagCount() const { return int(d->tags.size()); }
Tag* Index::tag(int i) const { return i >= 0 && size_t(i) < d->tags.size() ? d->tags[size_t(i)].get() : nullptr; }

Tag* Index::tag(std::string_view name) const {
  std::string u = UpperAscii(name);
  for (auto& t : d->tags)
    if (UpperAscii(t->name_) == u) return t.get();
  return nullptr;
}

Tag* Index::defaultTag() const { return d->tags.empty() ? nullptr : d->tags.front().get(); }

int Index::reindex() {
  Table::Impl& t = *d->table;
  if (t.readOnly) return kErrReadOnly;
  int rc = t.writeCurrent();
  if (rc < 0) return rc;
  rc = t.rebuildTags();
  if (rc < 0) return rc;
  return write();
}

bool Index::matchesRecords() const { return d->table->tagsMatchRecords(); }

int Index::rebuildKeys() {
  int rc = d->table->writeCurrent();
  return rc < 0 ? rc : d->table->rebuildTags(true);
}

int Index::flush() {
  if (!d->dirty || d->table->readOnly) return kOk;
  // A unique tag that lost a key another record still has is built again before it is written.
  if (int rc = d->table->freshen(); rc < 0) return rc;
  return write();
}

int Index::write() {
  int rc = WriteIndexFile(*d);
  if (rc == kOk) {
    d->dirty = false;
    return kOk;
  }
  // The file on disk no longer matches the table: it goes, so that the next open builds the
  // index again from the records instead of trusting stale keys.
  ::unlink(d->path.c_str());
  return rc;
}

}  // namespace tables
