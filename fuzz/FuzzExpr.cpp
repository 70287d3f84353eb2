// Fuzz target of the key and filter expression parser: the input is an expression text, parsed
// against a fixed set of fields and evaluated on a blank and a filled record.
#include "Expr.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tables::Layout layout = [] {
    tables::Layout l;
    l.add({"UNITCODE", 'C', 8, 0});
    l.add({"PRODDATE", 'C', 16, 0});
    l.add({"QTY", 'N', 6, 2});
    l.add({"WHEN", 'D', 8, 0});
    l.add({"OK", 'L', 1, 0});
    l.add({"CNT", 'I', 4, 0});
    return l;
  }();
  std::string text(reinterpret_cast<const char*>(data), size);
  auto e = tables::Expr::Parse(text, layout);
  if (!e) return 0;
  std::string blank(size_t(layout.recLen), ' ');
  std::string filled = blank;
  const char sample[] = "*AB12    2001030512345678  -3.50200103 05T\x01\x02\x03\x04";
  std::memcpy(filled.data(), sample, std::min(filled.size(), sizeof sample - 1));
  for (const std::string* rec : {&blank, &filled}) {
    std::string k = e->key(rec->data());
    if (e->type() == tables::Expr::kChar && k.size() != size_t(e->width())) __builtin_trap();
    e->test(rec->data());
    e->text(rec->data());
  }
  return 0;
}
