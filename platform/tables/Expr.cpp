// Key and filter expressions: a recursive-descent parser building a typed tree, and its
// evaluation over raw record bytes. Character widths are fixed at parse time, so every key of a
// tag has the same length whatever the record holds.
#include "Expr.h"
#include "SysUtils.h"
#include "TableImpl.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tables {

namespace {

std::string Lower(std::string_view s) { return LowerCase(s); }

std::string TrimRight(std::string s) {
  size_t end = s.find_last_not_of(' ');
  s.resize(end == std::string::npos ? 0 : end + 1);
  return s;
}

std::string TrimLeft(const std::string& s) {
  size_t start = s.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : s.substr(start);
}

int32_t ReadLe32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return int32_t(uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24);
}

double ParseNumber(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '+')) s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || !std::isfinite(v)) return 0;
  return v;
}

std::string FormatNumber(double v, int len, int dec) {
  if (len <= 0) return "";
  if (dec < 0) dec = 0;
  if (dec > 15) dec = 15;
  double scale = std::pow(10.0, dec);
  if (std::fabs(v) < 1e15) v = std::round(v * scale) / scale;  // halves away from zero, as dBASE rounds
  char buf[400];
  int n = std::isfinite(v) && std::fabs(v) < 1e300 ? std::snprintf(buf, sizeof buf, "%.*f", dec, v) : -1;
  if (n < 0 || n > len) return std::string(size_t(len), '*');
  return std::string(size_t(len - n), ' ') + std::string(buf, size_t(n));
}

}  // namespace

// ---- Layout ----

void Layout::add(const FieldDef& f) {
  fields.push_back(f);
  offsets.push_back(recLen);
  recLen += f.len;
}

int Layout::find(std::string_view name) const {
  std::string u = UpperAscii(name);
  for (size_t i = 0; i < fields.size(); ++i)
    if (UpperAscii(fields[i].name) == u) return int(i);
  return -1;
}

std::string Layout::text(const char* rec, int i) const {
  if (i < 0 || size_t(i) >= fields.size()) return "";
  const FieldDef& f = fields[size_t(i)];
  const char* p = rec + offsets[size_t(i)];
  switch (f.type) {
    case 'C': case 'N': case 'F': case 'D': case 'L':
      return std::string(p, size_t(f.len));
    case 'M':
      if (f.len == 4) {
        int32_t v = ReadLe32(p);
        return v == 0 ? std::string() : std::to_string(v);
      }
      return std::string(p, size_t(f.len));
    case 'I':
      return f.len == 4 ? std::to_string(ReadLe32(p)) : std::string();
    default:
      return "";
  }
}

// ---- Values and nodes ----

namespace {

struct Val {
  Expr::Type t = Expr::kChar;
  std::string s;   // character value; a date's YYYYMMDD text
  double n = 0;    // number; a date's day number
  bool b = false;  // logical
};

enum class Op { kField, kStr, kNum, kLog, kConcat, kConcatTrim, kAdd, kSub, kMul, kDiv, kNeg,
                kCmp, kAnd, kOr, kNot, kUpper, kLower, kTrim, kLtrim, kAlltrim, kSubstr, kLeft,
                kRight, kStr2, kDtos, kDeleted, kVal, kIif };

enum class Cmp { kEq, kExact, kNe, kLt, kLe, kGt, kGe };

}  // namespace

struct Expr::Node {
  Op op;
  Type type = kChar;
  int width = 0;
  int field = -1;
  Cmp cmp = Cmp::kEq;
  Val lit;
  std::vector<std::unique_ptr<Node>> args;
};

namespace {

using NodeP = std::unique_ptr<Expr::Node>;

NodeP MakeNode(Op op, Expr::Type t, int width) {
  auto n = std::make_unique<Expr::Node>();
  n->op = op;
  n->type = t;
  n->width = width;
  return n;
}

// Compares text a with b over b's length (b empty: equal), as dBASE does without exact matching.
int CompareOver(const std::string& a, const std::string& b) {
  size_t n = b.size();
  size_t m = std::min(a.size(), n);
  int c = std::memcmp(a.data(), b.data(), m);
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < n ? -1 : 0;
}

int CompareExact(const std::string& a, const std::string& b) {
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

Val Eval(const Expr::Node& n, const Layout& lay, const char* rec);

double Num(const Expr::Node& n, const Layout& lay, const char* rec) { return Eval(n, lay, rec).n; }
std::string Str(const Expr::Node& n, const Layout& lay, const char* rec) { return Eval(n, lay, rec).s; }

Val Chr(std::string s) {
  Val v;
  v.s = std::move(s);
  return v;
}
Val Number(double d) {
  Val v;
  v.t = Expr::kNum;
  v.n = d;
  return v;
}
Val Logical(bool b) {
  Val v;
  v.t = Expr::kLog;
  v.b = b;
  return v;
}

// A date of a day number: its YYYYMMDD text, blanks for 0.
Val DateOf(double day) {
  Val v;
  v.t = Expr::kDate;
  v.n = day;
  v.s = DateText(day);
  return v;
}

Val Eval(const Expr::Node& n, const Layout& lay, const char* rec) {
  const auto& a = n.args;
  switch (n.op) {
    case Op::kField: {
      std::string t = lay.text(rec, n.field);
      if (n.type == Expr::kNum) return Number(ParseNumber(t));
      if (n.type == Expr::kLog) return Logical(!t.empty() && std::strchr("TtYy", t[0]) && t[0]);
      if (n.type == Expr::kDate) {
        Val v;
        v.t = Expr::kDate;
        v.n = DateValue(t);
        v.s = std::move(t);
        return v;
      }
      return Chr(std::move(t));
    }
    case Op::kStr: case Op::kNum: case Op::kLog:
      return n.lit;
    case Op::kConcat:
      return Chr(Str(*a[0], lay, rec) + Str(*a[1], lay, rec));
    case Op::kConcatTrim: {
      std::string l = Str(*a[0], lay, rec);
      size_t end = l.find_last_not_of(' ');
      size_t blanks = l.size() - (end == std::string::npos ? 0 : end + 1);
      l.resize(l.size() - blanks);
      return Chr(l + Str(*a[1], lay, rec) + std::string(blanks, ' '));
    }
    case Op::kAdd: case Op::kSub: {
      Val l = Eval(*a[0], lay, rec);
      double r = Num(*a[1], lay, rec);
      double v = n.op == Op::kAdd ? l.n + r : l.n - r;
      if (n.type != Expr::kDate) return Number(v);
      return DateOf(l.n == 0 ? 0 : v);  // a blank date stays blank
    }
    case Op::kMul: return Number(Num(*a[0], lay, rec) * Num(*a[1], lay, rec));
    case Op::kDiv: {
      double d = Num(*a[1], lay, rec);
      return Number(d == 0 ? 0 : Num(*a[0], lay, rec) / d);
    }
    case Op::kNeg: return Number(-Num(*a[0], lay, rec));
    case Op::kCmp: {
      Val l = Eval(*a[0], lay, rec);
      Val r = Eval(*a[1], lay, rec);
      int c;
      if (l.t == Expr::kChar)
        c = n.cmp == Cmp::kExact ? CompareExact(l.s, r.s) : CompareOver(l.s, r.s);
      else if (l.t == Expr::kLog)
        c = int(l.b) - int(r.b);
      else
        c = l.n < r.n ? -1 : l.n > r.n ? 1 : 0;
      switch (n.cmp) {
        case Cmp::kEq: case Cmp::kExact: return Logical(c == 0);
        case Cmp::kNe: return Logical(c != 0);
        case Cmp::kLt: return Logical(c < 0);
        case Cmp::kLe: return Logical(c <= 0);
        case Cmp::kGt: return Logical(c > 0);
        case Cmp::kGe: return Logical(c >= 0);
      }
      return Logical(false);
    }
    case Op::kAnd: return Logical(Eval(*a[0], lay, rec).b && Eval(*a[1], lay, rec).b);
    case Op::kOr: return Logical(Eval(*a[0], lay, rec).b || Eval(*a[1], lay, rec).b);
    case Op::kNot: return Logical(!Eval(*a[0], lay, rec).b);
    case Op::kUpper: return Chr(UpperAscii(Str(*a[0], lay, rec)));
    case Op::kLower: return Chr(Lower(Str(*a[0], lay, rec)));
    case Op::kTrim: return Chr(TrimRight(Str(*a[0], lay, rec)));
    case Op::kLtrim: return Chr(TrimLeft(Str(*a[0], lay, rec)));
    case Op::kAlltrim: return Chr(TrimLeft(TrimRight(Str(*a[0], lay, rec))));
    case Op::kSubstr: {
      std::string s = Str(*a[0], lay, rec);
      double st = Num(*a[1], lay, rec);
      double len = a.size() > 2 ? Num(*a[2], lay, rec) : double(s.size());
      if (!(st >= 1)) st = 1;
      if (!(len >= 0)) len = 0;
      if (st > double(s.size())) return Chr("");
      size_t from = size_t(st) - 1;
      size_t count = len > double(s.size()) ? s.size() : size_t(len);
      return Chr(s.substr(from, count));
    }
    case Op::kLeft: case Op::kRight: {
      std::string s = Str(*a[0], lay, rec);
      double len = Num(*a[1], lay, rec);
      size_t k = !(len >= 0) ? 0 : len > double(s.size()) ? s.size() : size_t(len);
      return Chr(n.op == Op::kLeft ? s.substr(0, k) : s.substr(s.size() - k));
    }
    case Op::kStr2: {
      double v = Num(*a[0], lay, rec);
      int dec = a.size() > 2 ? int(std::clamp(Num(*a[2], lay, rec), 0.0, 15.0)) : 0;
      return Chr(FormatNumber(v, n.width, dec));
    }
    case Op::kDtos: {
      Val d = Eval(*a[0], lay, rec);
      std::string s = d.s;
      s.resize(8, ' ');
      return Chr(s);
    }
    case Op::kDeleted: return Logical(rec[0] == '*');
    case Op::kVal: return Number(ParseNumber(Str(*a[0], lay, rec)));
    case Op::kIif: {
      Val v = Eval(*a[Eval(*a[0], lay, rec).b ? 1 : 2], lay, rec);
      // A character result has the width of the wider branch, so that what follows it in a key
      // stays in place whichever branch was taken.
      if (n.type == Expr::kChar) v.s.resize(size_t(n.width), ' ');
      return v;
    }
  }
  return Val();
}

// ---- Parser ----

/// Longest character result an expression may have (keys are far shorter still).
constexpr int kMaxCharWidth = 1 << 20;

class Parser {
 public:
  Parser(std::string_view text, const Layout& lay) : s_(text), lay_(lay) {}

  NodeP Parse() {
    NodeP n = Or();
    Skip();
    if (!n || pos_ != s_.size()) return nullptr;
    return n;
  }

 private:
  static constexpr int kMaxDepth = 64;
  static constexpr int kMaxOperators = 256;

  void Skip() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool Eat(std::string_view tok) {
    Skip();
    if (s_.size() - pos_ < tok.size()) return false;
    for (size_t i = 0; i < tok.size(); ++i) {
      char c = s_[pos_ + i];
      if (c >= 'a' && c <= 'z') c = char(c - 32);
      if (c != tok[i]) return false;
    }
    pos_ += tok.size();
    return true;
  }
  bool Peek(char c) {
    Skip();
    return pos_ < s_.size() && s_[pos_] == c;
  }

  NodeP Binary(Op op, Expr::Type t, int width, NodeP l, NodeP r) {
    // A chain of operators builds a tree as deep as it is long: bound it, as nesting is bounded,
    // so that evaluating and freeing the tree never runs out of stack.
    if (!l || !r || ++operators_ > kMaxOperators) return nullptr;
    NodeP n = MakeNode(op, t, width);
    n->args.push_back(std::move(l));
    n->args.push_back(std::move(r));
    return n;
  }

  NodeP Or() {
    if (++depth_ > kMaxDepth) return nullptr;
    NodeP l = And();
    while (l && Eat(".OR.")) {
      NodeP r = And();
      if (!r || l->type != Expr::kLog || r->type != Expr::kLog) return nullptr;
      l = Binary(Op::kOr, Expr::kLog, 1, std::move(l), std::move(r));
    }
    --depth_;
    return l;
  }
  NodeP And() {
    NodeP l = Not();
    while (l && Eat(".AND.")) {
      NodeP r = Not();
      if (!r || l->type != Expr::kLog || r->type != Expr::kLog) return nullptr;
      l = Binary(Op::kAnd, Expr::kLog, 1, std::move(l), std::move(r));
    }
    return l;
  }
  NodeP Not() {
    if (Eat(".NOT.") || Eat("!")) {
      if (++depth_ > kMaxDepth) return nullptr;
      NodeP x = Not();
      --depth_;
      if (!x || x->type != Expr::kLog) return nullptr;
      NodeP n = MakeNode(Op::kNot, Expr::kLog, 1);
      n->args.push_back(std::move(x));
      return n;
    }
    return Compare();
  }
  NodeP Compare() {
    NodeP l = Additive();
    if (!l) return nullptr;
    static const std::pair<std::string_view, Cmp> ops[] = {
        {"==", Cmp::kExact}, {"<>", Cmp::kNe}, {"!=", Cmp::kNe}, {"<=", Cmp::kLe},
        {">=", Cmp::kGe},    {"#", Cmp::kNe},  {"=", Cmp::kEq},  {"<", Cmp::kLt}, {">", Cmp::kGt}};
    for (const auto& [tok, cmp] : ops) {
      if (!Eat(tok)) continue;
      NodeP r = Additive();
      if (!r) return nullptr;
      bool sameKind = l->type == r->type || (l->type == Expr::kDate && r->type == Expr::kNum) ||
                      (l->type == Expr::kNum && r->type == Expr::kDate);
      if (!sameKind) return nullptr;
      NodeP n = Binary(Op::kCmp, Expr::kLog, 1, std::move(l), std::move(r));
      if (!n) return nullptr;
      n->cmp = cmp;
      return n;
    }
    return l;
  }
  NodeP Additive() {
    NodeP l = Multiplicative();
    while (l) {
      bool plus = Eat("+");
      if (!plus && !Eat("-")) break;
      NodeP r = Multiplicative();
      if (!r) return nullptr;
      if (l->type == Expr::kChar && r->type == Expr::kChar) {
        int w = l->width + r->width;
        if (w > kMaxCharWidth) return nullptr;
        l = Binary(plus ? Op::kConcat : Op::kConcatTrim, Expr::kChar, w, std::move(l), std::move(r));
      } else if ((l->type == Expr::kNum || l->type == Expr::kDate) && r->type == Expr::kNum) {
        Expr::Type t = l->type == Expr::kDate ? Expr::kDate : Expr::kNum;
        l = Binary(plus ? Op::kAdd : Op::kSub, t, 8, std::move(l), std::move(r));
      } else if (!plus && l->type == Expr::kDate && r->type == Expr::kDate) {
        l = Binary(Op::kSub, Expr::kNum, 8, std::move(l), std::move(r));
      } else {
        return nullptr;
      }
    }
    return l;
  }
  NodeP Multiplicative() {
    NodeP l = Unary();
    while (l) {
      bool mul = Eat("*");
      if (!mul && !Eat("/")) break;
      NodeP r = Unary();
      if (!r || l->type != Expr::kNum || r->type != Expr::kNum) return nullptr;
      l = Binary(mul ? Op::kMul : Op::kDiv, Expr::kNum, 8, std::move(l), std::move(r));
    }
    return l;
  }
  NodeP Unary() {
    if (Eat("-")) {
      if (++depth_ > kMaxDepth) return nullptr;
      NodeP x = Unary();
      --depth_;
      if (!x || x->type != Expr::kNum) return nullptr;
      NodeP n = MakeNode(Op::kNeg, Expr::kNum, 8);
      n->args.push_back(std::move(x));
      return n;
    }
    return Primary();
  }

  static bool IsIdent(char c, bool first) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (!first && c >= '0' && c <= '9');
  }

  NodeP Primary() {
    Skip();
    if (pos_ >= s_.size()) return nullptr;
    char c = s_[pos_];
    if (c == '(') {
      ++pos_;
      NodeP n = Or();
      if (!n || !Eat(")")) return nullptr;
      return n;
    }
    if (c == '\'' || c == '"' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t end = s_.find(close, pos_ + 1);
      if (end == std::string_view::npos) return nullptr;
      std::string text(s_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      NodeP n = MakeNode(Op::kStr, Expr::kChar, int(text.size()));
      n->lit = Chr(std::move(text));
      return n;
    }
    if ((c >= '0' && c <= '9') || c == '.') {
      if (Eat(".T.") || Eat(".Y.")) return LogLit(true);
      if (Eat(".F.") || Eat(".N.")) return LogLit(false);
      size_t start = pos_;
      while (pos_ < s_.size() && ((s_[pos_] >= '0' && s_[pos_] <= '9') || s_[pos_] == '.')) ++pos_;
      double v = 0;
      auto r = std::from_chars(s_.data() + start, s_.data() + pos_, v);
      if (r.ec != std::errc() || r.ptr != s_.data() + pos_) return nullptr;
      NodeP n = MakeNode(Op::kNum, Expr::kNum, 8);
      n->lit = Number(v);
      return n;
    }
    if (!IsIdent(c, true)) return nullptr;
    size_t start = pos_;
    while (pos_ < s_.size() && IsIdent(s_[pos_], false)) ++pos_;
    std::string name = UpperAscii(s_.substr(start, pos_ - start));
    if (Peek('(')) return Function(name);
    // An alias prefix ("TABLE->FIELD") names this table.
    if (Eat("->")) {
      Skip();
      start = pos_;
      while (pos_ < s_.size() && IsIdent(s_[pos_], false)) ++pos_;
      name = UpperAscii(s_.substr(start, pos_ - start));
    }
    int f = lay_.find(name);
    if (f < 0) return nullptr;
    const FieldDef& fd = lay_.fields[size_t(f)];
    Expr::Type t = Expr::kChar;
    int w = fd.len;
    switch (fd.type) {
      case 'N': case 'F': case 'I': t = Expr::kNum; w = 8; break;
      case 'D': t = Expr::kDate; w = 8; break;
      case 'L': t = Expr::kLog; w = 1; break;
      case 'C': case 'M': break;
      default: w = 0; break;
    }
    NodeP n = MakeNode(Op::kField, t, w);
    n->field = f;
    return n;
  }

  NodeP LogLit(bool b) {
    NodeP n = MakeNode(Op::kLog, Expr::kLog, 1);
    n->lit = Logical(b);
    return n;
  }

  static int LiteralInt(const NodeP& n, int fallback) {
    if (n->op != Op::kNum || !(n->lit.n >= 0) || n->lit.n > 100000) return fallback;
    return int(n->lit.n);
  }

  /// The function a name calls: its full name, or a name of at least four letters that begins
  /// one, as other dBASE tools accept ("SUBS" for SUBSTR); "" when none.
  static std::string_view FunctionName(const std::string& name) {
    static constexpr std::string_view kNames[] = {"UPPER", "LOWER",  "TRIM", "RTRIM", "LTRIM", "ALLTRIM", "SUBSTR",
                                                  "LEFT",  "RIGHT",  "STR",  "DTOS",  "DELETED", "VAL", "IIF"};
    for (std::string_view f : kNames)
      if (f == name) return f;
    if (name.size() >= 4)
      for (std::string_view f : kNames)
        if (f.starts_with(name)) return f;
    return {};
  }

  NodeP Function(const std::string& called) {
    if (++depth_ > kMaxDepth) return nullptr;
    Eat("(");
    std::vector<NodeP> args;
    if (!Eat(")")) {
      do {
        NodeP a = Or();
        if (!a) return nullptr;
        args.push_back(std::move(a));
      } while (Eat(","));
      if (!Eat(")")) return nullptr;
    }
    --depth_;
    const std::string_view name = FunctionName(called);
    auto argc = args.size();
    auto is = [&](size_t i, Expr::Type t) { return i < argc && args[i]->type == t; };
    auto literal = [&](size_t i) { return i >= argc || args[i]->op == Op::kNum; };
    NodeP n;
    if ((name == "UPPER" || name == "LOWER" || name == "TRIM" || name == "RTRIM" || name == "LTRIM" ||
         name == "ALLTRIM") && argc == 1 && is(0, Expr::kChar)) {
      Op op = name == "UPPER" ? Op::kUpper : name == "LOWER" ? Op::kLower : name == "LTRIM" ? Op::kLtrim
              : name == "ALLTRIM" ? Op::kAlltrim : Op::kTrim;
      n = MakeNode(op, Expr::kChar, args[0]->width);
    } else if (name == "SUBSTR" && (argc == 2 || argc == 3) && is(0, Expr::kChar) && is(1, Expr::kNum) &&
               (argc == 2 || is(2, Expr::kNum))) {
      int w = args[0]->width;
      int start = LiteralInt(args[1], 1);
      int rest = std::max(0, w - std::max(start, 1) + 1);
      n = MakeNode(Op::kSubstr, Expr::kChar, argc == 3 ? std::min(LiteralInt(args[2], rest), rest) : rest);
    } else if ((name == "LEFT" || name == "RIGHT") && argc == 2 && is(0, Expr::kChar) && is(1, Expr::kNum)) {
      int w = args[0]->width;
      n = MakeNode(name == "LEFT" ? Op::kLeft : Op::kRight, Expr::kChar, std::min(LiteralInt(args[1], w), w));
    } else if (name == "STR" && argc >= 1 && argc <= 3 && is(0, Expr::kNum) && (argc < 2 || is(1, Expr::kNum)) &&
               (argc < 3 || is(2, Expr::kNum)) && literal(1) && literal(2)) {
      // The width is fixed by the text: a width computed per record could not make a key.
      int w = argc >= 2 ? LiteralInt(args[1], 10) : 10;
      n = MakeNode(Op::kStr2, Expr::kChar, std::min(w, 255));
    } else if (name == "DTOS" && argc == 1 && is(0, Expr::kDate)) {
      n = MakeNode(Op::kDtos, Expr::kChar, 8);
    } else if (name == "DELETED" && argc == 0) {
      n = MakeNode(Op::kDeleted, Expr::kLog, 1);
    } else if (name == "VAL" && argc == 1 && is(0, Expr::kChar)) {
      n = MakeNode(Op::kVal, Expr::kNum, 8);
    } else if (name == "IIF" && argc == 3 && is(0, Expr::kLog) && args[1]->type == args[2]->type) {
      Expr::Type t = args[1]->type;
      n = MakeNode(Op::kIif, t, std::max(args[1]->width, args[2]->width));
    } else {
      return nullptr;
    }
    n->args = std::move(args);
    return n;
  }

  std::string_view s_;
  const Layout& lay_;
  size_t pos_ = 0;
  int depth_ = 0;
  int operators_ = 0;
};

}  // namespace

// ---- Expr ----

Expr::~Expr() = default;

std::unique_ptr<Expr> Expr::Parse(std::string_view text, const Layout& layout, int* err) {
  NodeP root = Parser(text, layout).Parse();
  if (!root) {
    if (err) *err = kErrExpr;
    return nullptr;
  }
  std::unique_ptr<Expr> e(new Expr());
  e->root_ = std::move(root);
  e->layout_ = &layout;
  return e;
}

Expr::Type Expr::type() const { return root_->type; }

int Expr::width() const {
  switch (root_->type) {
    case kChar: return root_->width;
    case kLog: return 1;
    default: return 8;
  }
}

std::string Expr::key(const char* rec) const {
  Val v = Eval(*root_, *layout_, rec);
  switch (root_->type) {
    case kChar: v.s.resize(size_t(root_->width), ' '); return v.s;
    case kLog: return v.b ? "T" : "F";
    default: return NumericKey(v.n);
  }
}

bool Expr::test(const char* rec) const {
  return root_->type == kLog && Eval(*root_, *layout_, rec).b;
}

std::string Expr::text(const char* rec) const {
  Val v = Eval(*root_, *layout_, rec);
  switch (root_->type) {
    case kChar: return v.s;
    case kLog: return v.b ? ".T." : ".F.";
    case kDate: return v.s;
    default: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10g", v.n);
      return buf;
    }
  }
}

// ---- Keys of numbers and dates ----

std::string NumericKey(double value) {
  if (value == 0 || std::isnan(value)) value = 0;  // one key for +0, -0 and nonsense
  uint64_t u = std::bit_cast<uint64_t>(value);
  u = (u >> 63) ? ~u : (u | (uint64_t(1) << 63));
  std::string k(8, '\0');
  for (int i = 0; i < 8; ++i) k[size_t(i)] = char(u >> (56 - 8 * i));
  return k;
}

std::string DateText(double day) {
  if (!(day >= 1 && day < 1e8)) return std::string(8, ' ');
  // The inverse of DateValue's day count.
  long j = long(day) + 32044;
  long g = (4 * j + 3) / 146097;
  long b = j - 146097 * g / 4;
  long e = (4 * b + 3) / 1461;
  long f = b - 1461 * e / 4;
  long m = (5 * f + 2) / 153;
  long d = f - (153 * m + 2) / 5 + 1;
  long mon = m + 3 - 12 * (m / 10);
  long y = 100 * g + e - 4800 + m / 10;
  if (y < 0 || y > 9999) return std::string(8, ' ');
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04ld%02ld%02ld", y, mon, d);
  return buf;
}

double DateValue(std::string_view s) {
  if (s.size() < 8) return 0;
  int v[8];
  for (int i = 0; i < 8; ++i) {
    if (s[size_t(i)] < '0' || s[size_t(i)] > '9') return 0;
    v[i] = s[size_t(i)] - '0';
  }
  long y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
  long m = v[4] * 10 + v[5];
  long d = v[6] * 10 + v[7];
  if (m < 1 || m > 12 || d < 1 || d > 31) return 0;
  long a = (14 - m) / 12;
  long yy = y + 4800 - a;
  long mm = m + 12 * a - 3;
  return double(d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045);
}

}  // namespace tables
