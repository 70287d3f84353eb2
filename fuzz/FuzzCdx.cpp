// Fuzz target of the compound index reader: the input is a .CDX file beside a small table. An
// index that opens is walked and sought in every tag, checked against the records (and agrees with
// them once rebuilt), changed by an append and written back, and must then read back with the same keys.
#include "Tables.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_cdx.XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  std::string table = dir + "/F.DBF", index = dir + "/F.CDX";
  {
    auto t = tables::CreateTable(table, {{"UNITCODE", 'C', 8, 0}, {"PRODDATE", 'C', 16, 0}, {"QTY", 'N', 6, 0}});
    if (!t) return 0;
    for (int i = 0; i < 6; ++i) {
      t->appendStart(true);
      t->assignText(0, "U" + std::to_string(i * 7 % 5));
      t->assignText(1, "2001");
      t->assignLong(2, i);
      t->append();
    }
  }
  if (FILE* f = std::fopen(index.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  auto t = tables::OpenTable(table, false);
  if (t && t->openIndex(index) == tables::kOk) {
    tables::Index* x = t->index();
    for (int i = 0; i < x->tagCount(); ++i) {
      t->selectTag(x->tag(i));
      int n = 0;
      for (t->top(); !t->eof() && n < 64; t->skip(1), ++n) t->fieldText(0);
      t->bottom();
      t->skip(-2);
      t->seek("U1");
      t->seek("");
      t->seekDouble(3);
    }
    // Keys that disagree with the records are built again; then they agree.
    if (!x->matchesRecords() && x->rebuildKeys() == tables::kOk && !x->matchesRecords()) std::abort();
    t->appendStart(true);
    t->assignText(0, "NEW");
    bool appended = t->append() == tables::kOk;
    std::vector<std::vector<std::pair<std::string, uint32_t>>> keys;
    for (int i = 0; i < x->tagCount(); ++i) keys.push_back(x->tag(i)->keys());
    if (appended && t->flush() == tables::kOk) {
      t->closeIndex();
      if (t->openIndex(index) != tables::kOk) std::abort();  // what the layer writes must read back
      for (int i = 0; i < t->index()->tagCount(); ++i)
        if (t->index()->tag(i)->keys() != keys[size_t(i)]) std::abort();
    }
  }
  t.reset();
  unlink(index.c_str());
  unlink(table.c_str());
  return 0;
}
