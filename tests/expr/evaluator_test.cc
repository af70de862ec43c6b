#include "expr/evaluator.h"

#include <gtest/gtest.h>

#include "tests/expr/expr_test_support.h"

namespace tabdump {
namespace {

using testing::Case;
using testing::Outcome;
using testing::Show;

// Names of the host (expr_test_support.h): I=4, K=12, L=10, IMAX=2^31-1
// (integers); W=5e9, WMAX=2^63-1, WMAX1=2^63-2 (64-bit); D=2.5; C=1.5
// (currency); T=2020-01-01 (43831); B=true, BF=false; S="abc", S2="2",
// SN="1,234.5"; N null; E empty.  "..." is a plain text.
using EvaluatorTest = testing::ExprHostTest;

TEST_F(EvaluatorTest, LiteralsAndGrouping) {
  Check({
      // Number literals are doubles whatever they look like.
      {"7", "Double 7"},
      {"007", "Double 7"},
      {".5", "Double 0.5"},
      {"1.2.3", "Double 1.2"},  // the longest well-formed prefix
      {".", "Double 0"},
      {"1+2*3", "Double 7"},
      {"10-2-3", "Double 11"},
      {"(10-2)-3", "Double 5"},
      {"", "Null"},
      {"()", "Null"},
      // A leading sign is an operator with an empty operand.
      {"-5", "Double -5"},
      {"+5", "Null"},
  });
}

TEST_F(EvaluatorTest, LiteralsBeyondTheRangeOfADouble) {
  // Too large fails each time it is evaluated, not while compiling; too
  // small is zero.
  parser.SetText("IIF(B, 0, 1" + std::string(400, '0') + ")");
  EXPECT_EQ(Outcome([&] { return parser.Calculate(); }), "Double 0");
  EXPECT_EQ(Eval("1" + std::string(400, '0')), "EOverflow: Floating point overflow");
  EXPECT_EQ(Eval("0." + std::string(400, '0') + "1"), "Double 0");
}

TEST_F(EvaluatorTest, PlusJoinsTextsAndAddsTheRest) {
  Check({
      {"I+K", "Integer 16"},
      {"I+1", "Double 5"},  // the literal is a double
      {"I+S2", "String 42"},  // exactly one text: texts joined
      {"\"a\"+1", "String a1"},
      {"S+S", "String abcabc"},
      {"I+B", "Integer 3"},  // true counts as -1
      {"B+B", "Double -2"},
      {"D+I", "Double 6.5"},
      {"N+1", "Null"},
      {"E+1", "EVariantError: Invalid variant operation"},
      {"1+E", "EVariantError: Invalid variant operation"},
      {"N+E", "EVariantError: Invalid variant operation"},
      // 32-bit sums that overflow start over in floating point.
      {"IMAX+I", "Double 2147483651"},
      // 64-bit operands compute in 64 bits, and fall back the same way.
      {"W+I", "Int64 5000000004"},
      {"W+W", "Int64 10000000000"},
      {"WMAX+WMAX", "Double 1.84467440737096E+19"},
      // Currency wins over numbers and texts; a date-time over everything.
      {"C+I", "Currency 5.5"},
      {"C+D", "Currency 4"},
      {"C+C", "Currency 3"},
      {"T+1", "DateTime 43832"},
      {"C+T", "DateTime 43832.5"},
  });
}

TEST_F(EvaluatorTest, ArithmeticGoesThroughNumericTexts) {
  Check({
      // Operands become numeric texts first, so integers give doubles.
      {"K-I", "Double 8"},
      {"K*I", "Double 48"},
      {"I-S2", "Double 2"},
      {"S*2", "Double 0"},  // not numeric: 0
      {"SN-0", "Double 1234.5"},  // thousands separators removed
      {"\"$1,234.50\"-0", "Double 1234.5"},
      {"N-1", "Double -1"},
      {"E-1", "Double -1"},
      {"B*2", "Double -2"},
      {"C*2", "Double 3"},
      {"7/2", "Double 3.5"},
      // A date-time that reads back stays one.
      {"T-1", "DateTime 43830"},
      {"T-T", "Double 0"},
      {"1/0", "EZeroDivide: Floating point division by zero"},
      {"0/0", "EInvalidOp: Invalid floating point operation"},
      {"(10^300)*(10^300)", "EOverflow: Floating point overflow"},
  });
}

TEST_F(EvaluatorTest, PowerAndFactorial) {
  Check({
      {"2^10", "Double 1024"},
      {"4^0.5", "Double 2"},
      {"0^0", "Double 1"},
      {"0^3", "Double 0"},
      {"2^(0-2)", "Double 0.25"},
      {"(0-2)^3", "Double -8"},
      {"(0-8)^(1/3)", "EInvalidOp: Invalid floating point operation"},
      {"0^(0-1)", "EZeroDivide: Floating point division by zero"},
      {"10^400", "EOverflow: Floating point overflow"},
      {"0.5^(0-2000)", "EOverflow: Floating point overflow"},
      // "^-" is one operator run, and not one in the table.
      {"2^-1", "EZelParseException: Calculate error: syntax tree fault."},
      {"5!", "Integer 120"},
      {"0!", "Integer 0"},
      {"1!", "Integer 1"},
      {"12!", "Integer 479001600"},
      {"13!", "Double 6227020800"},
      {"3.5!", "Integer 24"},  // 3.5 rounds to the even 4
      {"2.5!", "Integer 2"},
      {"(0-3)!", "Integer -3"},
      {"171!", "EOverflow: Floating point overflow"},
      {"3000000000!", "EInvalidOp: Invalid floating point operation"},
  });
}

TEST_F(EvaluatorTest, Comparisons) {
  Check({
      {"1<2", "Boolean true"},
      {"2<=2", "Boolean true"},
      {"2>=3", "Boolean false"},
      {"1<>2", "Boolean true"},
      {"1!=1", "Boolean false"},
      {"I=4", "Boolean true"},
      // Null equals null and is below everything else.
      {"N=0", "Boolean false"},
      {"N<0", "Boolean true"},
      {"0>N", "Boolean true"},
      {"N=N", "Boolean true"},
      {"N=\"\"", "Boolean false"},
      {"E=1", "EVariantError: Invalid variant operation"},
      // Texts compare byte by byte, unsigned, case included.
      {"S<\"abd\"", "Boolean true"},
      {"\"ABC\"<\"abc\"", "Boolean true"},
      {"\"ab\"<\"abc\"", "Boolean true"},
      {"\"\xE9\">\"z\"", "Boolean true"},
      {"S=1", "EVariantError: Invalid variant type conversion"},
      {"S2=2", "Boolean true"},
      // 64-bit integers compare exactly.
      {"WMAX=WMAX1", "Boolean false"},
      {"WMAX>WMAX1", "Boolean true"},
      {"W=5000000000", "Boolean true"},
      {"W>IMAX", "Boolean true"},
      {"C=1.5", "Boolean true"},
      {"C<D", "Boolean true"},
      {"B=BF", "Boolean false"},
      {"BF<B", "Boolean true"},
      {"B=\"true\"", "Boolean true"},
      {"B=I", "Boolean false"},  // -1 against 4
      {"T>1", "Boolean true"},
      {"T=43831", "Boolean true"},
      {"T=\"2020-01-01\"", "EVariantError: Invalid variant type conversion"},
  });
}

TEST_F(EvaluatorTest, LogicAndNot) {
  Check({
      {"(B)AND(BF)", "Boolean false"},
      {"(B)OR(BF)", "Boolean true"},
      {"(1=1) AND (2=2)", "Boolean true"},
      {"(K) AND (L)", "Integer 8"},  // bitwise on integers
      {"(K)OR(L)", "Integer 14"},
      {"(N)AND(B)", "Null"},
      {"(\"1\")AND(B)", "Boolean true"},
      {"(W)AND(I)", "Int64 0"},
      {"(D)AND(3)", "Integer 2"},  // 2.5 goes to 2
      {"(S)AND(1)", "EVariantError: Invalid variant type conversion"},
      {"(E)OR(B)", "EVariantError: Invalid variant operation"},
      {"NOT (1=1)", "Boolean false"},
      {"NOT(1)", "Integer -2"},
      {"NOT(N)", "Null"},
      {"NOT(W)", "Int64 -5000000001"},
      {"NOT(E)", "EVariantError: Invalid variant operation"},
      {"NOT(S)", "EVariantError: Invalid variant type conversion"},
      // Without a parenthesis NOT joins the word after it.
      {"NOT 1", "String NOT1"},
  });
}

TEST_F(EvaluatorTest, OperatorsNeedTheirOperands) {
  Check({
      {"x=-1", "EZelParseException: Calculate error: syntax tree fault."},
      {"5! 3", "EZelParseException: Calculate error: syntax tree fault."},
      {"+", "EZelParseException: Calculate error: syntax tree fault."},
      {"(1)NOT(2)", "EZelParseException: Calculate error: syntax tree fault."},
      {"NOT()", "Null"},  // an empty operand is null
      // A lone run outside the table has no operands to miss: its text.
      {"=-", "String =-"},
  });
}

TEST_F(EvaluatorTest, ErrorsInTheFirstOperandComeFirst) {
  // Both operands fail; the first one is evaluated, with its conversion, first.
  EXPECT_EQ(Eval("(1/0)-(0/0)"), "EZeroDivide: Floating point division by zero");
  EXPECT_EQ(Eval("(0/0)-(1/0)"), "EInvalidOp: Invalid floating point operation");
}

TEST_F(EvaluatorTest, NamesAndCalls) {
  Check({
      {"Unknown", "String Unknown"},
      {"[Order Date]", "String Order Date"},  // the preset value has no brackets
      {"'abc'", "String 'abc'"},
      {"FOO(1, 2)", "String FOO"},
      // A built-in name without parentheses is a name.
      {"LENGTH", "String LENGTH"},
      {"GETDATE", "DateTime 43831.5"},
      {"now", "DateTime 43831.5"},
      {"GETDATE(1/0)", "DateTime 43831.5"},  // arguments are not evaluated
      {"GETDATE+1", "DateTime 43832.5"},
      // With parentheses a built-in name is the built-in, in any letter case;
      // the host would have answered the text "length".
      {"length(S)", "Integer 3"},
  });
}

TEST_F(EvaluatorTest, ToNumericFollowsTheSettings) {
  FormatSettings fs = FormatSettings::Iso();
  fs.currency_symbol = "EUR";
  fs.thousands_separator = '\'';
  ScopedSettings scoped(fs);
  EXPECT_EQ(Show(ToNumeric(Variant("EUR1'234.5"))), "String 1234.5");
  EXPECT_EQ(Show(ToNumeric(Variant("$7"))), "String 7");  // "$" when the symbol is absent
  EXPECT_EQ(Show(ToNumeric(Variant("EUR$7"))), "Integer 0");  // only one symbol goes
  EXPECT_EQ(Show(ToNumeric(Variant(2.5))), "String 2.5");
  EXPECT_EQ(Show(ToNumeric(Variant::Null())), "Integer 0");
  EXPECT_EQ(Show(ToNumeric(Variant::DateTime(43831.25))), "DateTime 43831.25");
}

TEST_F(EvaluatorTest, ToNumericKeepsADecimalComma) {
  // Where the comma is the decimal separator, 2,5 stays two and a half.
  FormatSettings fs = FormatSettings::Iso();
  fs.decimal_separator = ',';
  fs.thousands_separator = '.';
  ScopedSettings scoped(fs);
  EXPECT_EQ(Show(ToNumeric(Variant(2.5))), "String 2,5");
  EXPECT_EQ(Show(ToNumeric(Variant("1.234,5"))), "String 1234,5");
}

TEST_F(EvaluatorTest, CombineTableCoversTheIntegerOperations) {
  // DIV and MOD reach these through the built-ins; the rules live here.
  auto combine = [](Variant l, Variant r, TArithOp op) {
    return Outcome([&] { return CombineValues(l, r, op); });
  };
  EXPECT_EQ(combine(Variant(7), Variant(2), TArithOp::kIntDivide), "Integer 3");
  EXPECT_EQ(combine(Variant(-7), Variant(2), TArithOp::kIntDivide), "Integer -3");
  EXPECT_EQ(combine(Variant(-7), Variant(2), TArithOp::kModulo), "Integer -1");
  EXPECT_EQ(combine(Variant(7.5), Variant(2), TArithOp::kIntDivide), "Integer 4");
  EXPECT_EQ(combine(Variant(7), Variant(0), TArithOp::kIntDivide), "EDivByZero: Division by zero");
  EXPECT_EQ(combine(Variant(7), Variant(0), TArithOp::kModulo), "EDivByZero: Division by zero");
  EXPECT_EQ(combine(Variant(INT32_MIN), Variant(-1), TArithOp::kIntDivide), "Int64 2147483648");
  EXPECT_EQ(combine(Variant::Int64(INT64_MIN), Variant(-1), TArithOp::kIntDivide),
            "Double 9.22337203685478E+18");
  EXPECT_EQ(combine(Variant::Int64(INT64_MIN), Variant(-1), TArithOp::kModulo), "Int64 0");
  EXPECT_EQ(combine(Variant(3e9), Variant(2), TArithOp::kIntDivide),
            "EInvalidOp: Invalid floating point operation");
  EXPECT_EQ(combine(Variant("7"), Variant("2"), TArithOp::kIntDivide), "Integer 3");
  EXPECT_EQ(combine(Variant::Null(), Variant(2), TArithOp::kIntDivide), "Null");
  EXPECT_EQ(combine(Variant(Currency{10'000}), Variant(Currency{20'000}), TArithOp::kMultiply), "Currency 2");
  EXPECT_EQ(combine(Variant(Currency{10'000}), Variant(4), TArithOp::kDivide), "Currency 0.25");
  EXPECT_EQ(combine(Variant(1), Variant(Currency{40'000}), TArithOp::kDivide), "Double 0.25");
  EXPECT_EQ(combine(Variant(Currency{INT64_MAX}), Variant(Currency{1}), TArithOp::kAdd),
            "EOverflow: Floating point overflow");
}

}  // namespace
}  // namespace tabdump
