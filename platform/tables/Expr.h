// Key and filter expressions of the table library: a small dBASE expression language parsed once
// against a table's fields and then evaluated on raw record buffers (keys and filter results).
#pragma once

#include "Tables.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tables {

/// Where each field sits in a record: byte 0 is the deleted flag, fields follow in order.
struct Layout {
  std::vector<FieldDef> fields;
  std::vector<int> offsets;
  int recLen = 1;

  void add(const FieldDef& f);
  int find(std::string_view name) const;
  /// Field i's value as text (see Table::fieldText).
  std::string text(const char* rec, int i) const;
};

/// One parsed expression. Evaluation never fails: values that make no sense give blanks or 0.
class Expr {
 public:
  enum Type { kChar, kNum, kDate, kLog };
  struct Node;

  ~Expr();
  /// Parses `text` against `layout` (which must outlive the expression). Null on a syntax error,
  /// an unknown field or function, or mismatched operand types; *err gets kErrExpr.
  static std::unique_ptr<Expr> Parse(std::string_view text, const Layout& layout, int* err = nullptr);

  Type type() const;
  /// Width of a character result (the key length of a character key); 8 for numbers and dates.
  int width() const;
  /// The key bytes of a record: character results padded or cut to width(), numbers and dates
  /// as NumericKey, logicals as "T"/"F".
  std::string key(const char* rec) const;
  /// The logical result for a record (false when the expression is not logical).
  bool test(const char* rec) const;
  /// The result as text (numbers in plain decimal), for tests and diagnostics.
  std::string text(const char* rec) const;

 private:
  Expr() = default;
  std::unique_ptr<Node> root_;
  const Layout* layout_ = nullptr;
};

}  // namespace tables
