// A small writer of compound index files for the tests, built byte by byte from the file layout
// and independent of the table library's own writer: 3-byte leaf entries (16-bit record numbers,
// 4-bit duplicate and trailing counts, no duplicate compression), at most `perLeaf` keys a leaf,
// one interior root above several leaves. The directory's key width can be chosen (10 as usual).
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tabletest {

struct FixtureTag {
  std::string name, expr, filter;
  int keyLen = 10;
  bool unique = false, descending = false;
  char fill = ' ';
  std::vector<std::pair<std::string, uint16_t>> keys;  // in tag order, each keyLen bytes
};

class CdxFixture {
 public:
  explicit CdxFixture(size_t perLeaf = 40, int dirKeyLen = 10) : perLeaf_(perLeaf), dirKeyLen_(dirKeyLen) {}

  std::vector<unsigned char> Build(std::vector<FixtureTag> tags) {
    file_.assign(1024, 0);
    // Directory: header at 0, one leaf of tag names; tag headers and trees follow.
    std::vector<std::pair<std::string, uint16_t>> names;
    uint32_t dirLeaf = Page();
    std::vector<uint32_t> headers;
    for (FixtureTag& t : tags) {
      uint32_t h = Page();
      Page();
      headers.push_back(h);
      uint32_t root = Tree(t.keys, t.keyLen, t.fill);
      Header(h, root, t.keyLen, uint8_t(32 | (t.unique ? 1 : 0) | (t.filter.empty() ? 0 : 8)), t.descending,
             t.expr, t.filter);
      std::string n = t.name;
      n.resize(size_t(dirKeyLen_), ' ');
      names.emplace_back(n, uint16_t(h));  // offsets stay below 64 KiB in these fixtures
    }
    Header(0, dirLeaf, dirKeyLen_, 0xE0, false, "", "");
    Leaf(dirLeaf, names, dirKeyLen_, ' ', true);
    return file_;
  }

  static void Put16(unsigned char* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
  static void Put32(unsigned char* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i)); }
  static void PutBe32(unsigned char* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i)); }

 private:
  uint32_t Page() {
    uint32_t at = uint32_t(file_.size());
    file_.resize(file_.size() + 512, 0);
    return at;
  }

  void Header(uint32_t at, uint32_t root, int keyLen, uint8_t options, bool desc, const std::string& expr,
              const std::string& filter) {
    unsigned char* h = &file_[at];
    Put32(h, root);
    Put32(h + 4, 0xFFFFFFFF);
    Put16(h + 12, uint32_t(keyLen));
    h[14] = options;
    h[15] = 1;
    Put16(h + 502, desc ? 1 : 0);
    Put16(h + 506, uint32_t(filter.size() + 1));
    Put16(h + 510, uint32_t(expr.size() + 1));
    // Texts that fill the whole area are written without their ending NUL.
    std::memcpy(h + 512, expr.data(), std::min<size_t>(expr.size(), 512));
    if (expr.size() + 1 < 512) std::memcpy(h + 512 + expr.size() + 1, filter.data(), std::min(filter.size(), 511 - expr.size()));
  }

  void Leaf(uint32_t at, const std::vector<std::pair<std::string, uint16_t>>& keys, int keyLen, char fill, bool root) {
    unsigned char* p = &file_[at];
    Put16(p, 2 | (root ? 1 : 0));
    Put16(p + 2, uint32_t(keys.size()));
    Put32(p + 4, 0xFFFFFFFF);
    Put32(p + 8, 0xFFFFFFFF);
    Put32(p + 14, 0xFFFF);
    p[18] = 0x0F, p[19] = 0x0F, p[20] = 16, p[21] = 4, p[22] = 4, p[23] = 3;
    size_t pos = 512;
    for (size_t i = 0; i < keys.size(); ++i) {
      const std::string& k = keys[i].first;
      size_t trail = 0;
      while (trail < size_t(keyLen) && k[size_t(keyLen) - 1 - trail] == fill) ++trail;
      size_t stored = size_t(keyLen) - trail;
      pos -= stored;
      std::memcpy(p + pos, k.data(), stored);
      uint32_t v = keys[i].second | uint32_t(trail) << 20;
      p[24 + 3 * i] = uint8_t(v), p[25 + 3 * i] = uint8_t(v >> 8), p[26 + 3 * i] = uint8_t(v >> 16);
    }
    Put16(p + 12, uint32_t(pos - 24 - 3 * keys.size()));
  }

  uint32_t Tree(const std::vector<std::pair<std::string, uint16_t>>& keys, int keyLen, char fill) {
    if (keys.size() <= perLeaf_) {
      uint32_t at = Page();
      Leaf(at, keys, keyLen, fill, true);
      return at;
    }
    std::vector<std::pair<uint32_t, size_t>> leaves;  // page, index of its last key
    for (size_t i = 0; i < keys.size(); i += perLeaf_) {
      size_t end = std::min(keys.size(), i + perLeaf_);
      uint32_t at = Page();
      Leaf(at, {keys.begin() + long(i), keys.begin() + long(end)}, keyLen, fill, false);
      leaves.emplace_back(at, end - 1);
    }
    uint32_t root = Page();
    unsigned char* p = &file_[root];
    Put16(p, 1);
    Put16(p + 2, uint32_t(leaves.size()));
    Put32(p + 4, 0xFFFFFFFF);
    Put32(p + 8, 0xFFFFFFFF);
    for (size_t j = 0; j < leaves.size(); ++j) {
      unsigned char* e = p + 12 + j * size_t(keyLen + 8);
      std::memcpy(e, keys[leaves[j].second].first.data(), size_t(keyLen));
      PutBe32(e + keyLen, keys[leaves[j].second].second);
      PutBe32(e + keyLen + 4, leaves[j].first);
    }
    return root;
  }

  size_t perLeaf_;
  int dirKeyLen_;
  std::vector<unsigned char> file_;
};

}  // namespace tabletest
