// Expressions: the operators and functions of keys and filters, their types and widths, and
// texts that must not parse.
#include "Expr.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tables;

namespace {

struct Rec {
  Layout lay;
  std::string bytes;
  Rec() {
    lay.add({"CODE", 'C', 8, 0});
    lay.add({"DATE", 'C', 6, 0});
    lay.add({"NUM", 'N', 5, 1});
    lay.add({"WHEN", 'D', 8, 0});
    lay.add({"FLAG", 'L', 1, 0});
    bytes = std::string(size_t(lay.recLen), ' ');
  }
  void set(int i, const std::string& v) { std::memcpy(&bytes[size_t(lay.offsets[size_t(i)])], v.data(), v.size()); }
  std::string eval(const std::string& text) {
    auto e = Expr::Parse(text, lay);
    return e ? e->text(bytes.data()) : "<error>";
  }
  std::string key(const std::string& text) {
    auto e = Expr::Parse(text, lay);
    return e ? e->key(bytes.data()) : "<error>";
  }
};

}  // namespace

TEST(Expr, ConcatenationAndTheMinusThatMovesBlanks) {
  Rec r;
  r.set(0, "AB1");
  r.set(1, "010203");
  EXPECT_EQ(r.key("CODE+DATE"), "AB1     010203");
  EXPECT_EQ(r.key("CODE-DATE"), "AB1010203     ");
  EXPECT_EQ(r.key("code - date"), "AB1010203     ");
  EXPECT_EQ(Expr::Parse("CODE-DATE", r.lay)->width(), 14);
}

TEST(Expr, StringFunctions) {
  Rec r;
  r.set(0, " ab12");
  EXPECT_EQ(r.eval("UPPER(CODE)"), " AB12   ");
  EXPECT_EQ(r.eval("TRIM(CODE)"), " ab12");
  EXPECT_EQ(r.eval("RTRIM(CODE)"), " ab12");
  EXPECT_EQ(r.eval("LTRIM(CODE)"), "ab12   ");
  EXPECT_EQ(r.eval("SUBSTR(CODE,2,3)"), "ab1");
  EXPECT_EQ(r.eval("SUBSTR(CODE,7)"), "  ");
  EXPECT_EQ(r.eval("SUBSTR(CODE,99,2)"), "");
  EXPECT_EQ(r.eval("LEFT(CODE,3)"), " ab");
  EXPECT_EQ(r.eval("RIGHT(CODE,2)"), "  ");
  EXPECT_EQ(r.key("TRIM(CODE)"), " ab12   ");  // keys keep the static width
  EXPECT_EQ(Expr::Parse("SUBSTR(CODE,2,3)", r.lay)->width(), 3);
}

TEST(Expr, NumbersDatesAndStr) {
  Rec r;
  r.set(2, " 12.5");
  r.set(3, "20010305");
  EXPECT_EQ(r.eval("STR(NUM,6,2)"), " 12.50");
  EXPECT_EQ(r.eval("STR(NUM)"), "        13");
  EXPECT_EQ(r.eval("STR(NUM*1000,3)"), "***");
  EXPECT_EQ(r.eval("DTOS(WHEN)"), "20010305");
  EXPECT_EQ(r.eval("NUM+1"), "13.5");
  EXPECT_EQ(r.key("NUM").size(), 8u);
  EXPECT_LT(NumericKey(-3), NumericKey(-2));
  EXPECT_LT(NumericKey(-2), NumericKey(0));
  EXPECT_LT(NumericKey(0), NumericKey(0.5));
  EXPECT_LT(NumericKey(0.5), NumericKey(1e10));
  EXPECT_EQ(NumericKey(0.0), NumericKey(-0.0));
  EXPECT_EQ(DateValue("20010305") - DateValue("20010304"), 1);
  EXPECT_EQ(DateValue("20010301") - DateValue("20010228"), 1);
  EXPECT_EQ(DateValue("        "), 0);
}

TEST(Expr, FunctionsOtherToolsPutInTags) {
  Rec r;
  r.set(0, " Ab12");
  r.set(3, "20010228");
  r.set(4, "T");
  EXPECT_EQ(r.key("ALLTRIM(CODE)"), "Ab12    ");
  EXPECT_EQ(r.key("LOWER(CODE)"), " ab12   ");
  EXPECT_EQ(r.key("UPPER(ALLTRIM(CODE))+DTOS(WHEN)"), "AB1220010228    ");
  EXPECT_EQ(r.key("IIF(FLAG, 'Y', 'NO')+LEFT(CODE,3)"), "Y  Ab");  // the wider branch's width
  EXPECT_EQ(r.key("IIF(.NOT. FLAG, 'Y', 'NO')+LEFT(CODE,3)"), "NO Ab");
  EXPECT_EQ(r.key("IIF(CODE = 'X', STR(NUM,3), SUBSTR(CODE,2,3))"), "Ab1");
  EXPECT_EQ(r.key("DTOS(WHEN+1)"), "20010301");
  EXPECT_EQ(r.key("DTOS(WHEN-59)"), "20001231");
  EXPECT_EQ(r.key("allt(code)+SUBS(CODE,2,2)"), "Ab12Ab    ");  // names cut to four letters
  EXPECT_EQ(DateText(DateValue("19991231")), "19991231");
  EXPECT_EQ(DateText(0), "        ");
}

TEST(Expr, ComparisonsOverTheRightOperandsLength) {
  Rec r;
  r.set(0, "AB12");
  EXPECT_EQ(r.eval("CODE = 'AB'"), ".T.");
  EXPECT_EQ(r.eval("CODE == 'AB'"), ".F.");
  EXPECT_EQ(r.eval("CODE == 'AB12    '"), ".T.");
  EXPECT_EQ(r.eval("CODE <> 'AC'"), ".T.");
  EXPECT_EQ(r.eval("CODE # 'AB'"), ".F.");
  EXPECT_EQ(r.eval("CODE != 'AB1'"), ".F.");
  EXPECT_EQ(r.eval("CODE > '!'"), ".T.");
  EXPECT_EQ(r.eval("CODE >= 'AB12'"), ".T.");
  EXPECT_EQ(r.eval("CODE < 'B'"), ".T.");
  EXPECT_EQ(r.eval("CODE <= 'AA'"), ".F.");
  EXPECT_EQ(r.eval("CODE = ''"), ".T.");
  Rec blank;
  EXPECT_EQ(blank.eval("CODE > '!'"), ".F.");  // blanked records fail the installer's filter
}

TEST(Expr, LogicalOperatorsAndDeleted) {
  Rec r;
  r.set(4, "T");
  EXPECT_EQ(r.eval("FLAG .AND. .NOT. DELETED()"), ".T.");
  EXPECT_EQ(r.eval(".NOT. FLAG .OR. (CODE = 'X')"), ".F.");
  r.bytes[0] = '*';
  EXPECT_EQ(r.eval("DELETED()"), ".T.");
  EXPECT_EQ(r.eval("flag .and. deleted()"), ".T.");
}

TEST(Expr, BadTextsDoNotParse) {
  Rec r;
  for (const char* bad : {"", "NOSUCH", "CODE+", "CODE+NUM", "UPPER(NUM)", "'open", "(CODE", "CODE)",
                          "FOO(CODE)", "CODE .AND. FLAG", "SUBSTR(CODE)", "1 2", "CODE = 1", "DTOS(CODE)",
                          "ALLTRIM(NUM)", "IIF(FLAG, CODE, NUM)", "IIF(CODE, 'A', 'B')", "IIF(FLAG, 'A')",
                          "SUB(CODE,1)", "STR(NUM, VAL(CODE))", "STR(NUM, 5, VAL(CODE))"}) {
    EXPECT_FALSE(Expr::Parse(bad, r.lay)) << bad;
  }
  EXPECT_FALSE(Expr::Parse(std::string(5000, '('), r.lay));
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "UPPER(";
  EXPECT_FALSE(Expr::Parse(deep, r.lay));
  EXPECT_FALSE(Expr::Parse(std::string(5000, '-') + "1", r.lay));
  EXPECT_FALSE(Expr::Parse(std::string(5000, '!') + "FLAG", r.lay));
  // A long chain of operators nests as deeply as brackets would.
  std::string chain = "1";
  for (int i = 0; i < 100000; ++i) chain += "/1";
  EXPECT_FALSE(Expr::Parse(chain, r.lay));
  // A chain that reaches the limit just before a comparison.
  std::string sum = "1";
  for (int i = 0; i < 256; ++i) sum += "+1";
  EXPECT_FALSE(Expr::Parse(sum + "=1", r.lay));
}
