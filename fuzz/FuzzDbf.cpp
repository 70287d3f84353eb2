// Fuzz target of the table reader: the input is a .DBF file. It is opened read-only and every
// field of every record read, then opened read-write and changed: an append, a deletion, a
// pack and an index over its first field.
#include "Tables.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_dbf.XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  std::string path = dir + "/in.dbf", index = dir + "/in.cdx";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  if (auto t = tables::OpenTable(path, true)) {
    int n = 0;
    for (t->top(); !t->eof() && n < 256; t->skip(1), ++n)
      for (int i = 0; i < t->fieldCount(); ++i) t->fieldText(i);
    t->skip(-1000);
    t->go(t->recCount());
  }
  if (auto t = tables::OpenTable(path, false)) {
    t->appendStart(true);
    for (int i = 0; i < t->fieldCount(); ++i) {
      t->assignText(i, "12345678901234567890");
      t->assignLong(i, -42);
    }
    t->append();
    t->go(1);
    t->markDeleted();
    t->pack();
    if (t->fieldCount() > 0 && t->recCount() < 5000) {
      const tables::FieldDef& f = t->field(0);
      if (t->createIndex(index, {{"FIRST", f.name, "", 0, 0}, {"DESC", f.name, "", 25, 1}}) == tables::kOk) {
        t->selectTag(t->index()->tag("FIRST"));
        t->seek("1");
        t->skip(1);
        t->close();
      }
    }
  }
  unlink(index.c_str());
  unlink(path.c_str());
  return 0;
}
