// Filters as a careless or hostile person may type them: very long, deeply
// nested, with NUL bytes, with every run of operator characters, with every
// built-in function given arguments of every wrong kind, and with texts that
// would grow without bound.  Each must end, quickly and in bounded memory,
// with a value or with one error of the language's own classes.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "expr/builtin_functions.h"
#include "expr/expression_tree.h"
#include "expr/text_routines.h"
#include "tests/expr/expr_test_support.h"
#include "tests/support/allocation_count.h"
#include "tests/support/child_process.h"
#include "tests/support/counting_text.h"

namespace tabdump {
namespace {

using namespace std::string_literals;
using testing::Case;
using testing::CountingText;
using testing::Letters;

std::string Repeat(const std::string& piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

// The classes that the language documents for its errors.  Anything else
// (a standard library exception such as std::length_error or bad_alloc)
// escaping an evaluation is a fault.
bool IsLanguageError(const std::string& outcome) {
  static const std::set<std::string> kClasses = {"EZelParseException", "EVariantError", "EConvertError",
                                                 "EDivByZero",         "EZeroDivide",   "EInvalidOp",
                                                 "EOverflow",          "EListError"};
  const std::size_t colon = outcome.find(':');
  return colon != std::string::npos && kClasses.contains(outcome.substr(0, colon));
}

bool IsValue(const std::string& outcome) {
  static const std::set<std::string> kKinds = {"Null",     "Integer", "Int64",  "Double", "Currency",
                                               "DateTime", "Boolean", "String", "Empty"};
  return kKinds.contains(outcome.substr(0, outcome.find(' ')));
}

const std::string kTooDeep = "EZelParseException: Expression nested too deeply: more than 200 levels.";
const std::string kTooMuchText =
    "EZelParseException: Calculate error: the expression makes more than 67108864 bytes of text.";

// An outcome short enough to print: a failing check must not print the
// gigabyte text that a fault produced.
std::string Brief(const std::string& outcome) {
  if (outcome.size() <= 200) return outcome;
  return outcome.substr(0, 200) + "... (" + std::to_string(outcome.size()) + " bytes)";
}

class HostileFilterTest : public testing::ExprHostTest {
 protected:
  std::string Run(const std::string& text) { return Brief(Eval(text)); }

  // Evaluates and checks that the outcome is a value or a language error.
  std::string Sound(const std::string& text) {
    const std::string outcome = Run(text);
    EXPECT_TRUE(IsValue(outcome) || IsLanguageError(outcome)) << text.substr(0, 200) << "\n-> " << outcome;
    return outcome;
  }

};

// A tree of `levels` levels of (...)+(...): 2^levels ones added up.
std::string BalancedSum(int levels) {
  std::string text = "1";
  for (int i = 0; i < levels; ++i) text = "(" + text + ")+(" + text + ")";
  return text;
}

TEST_F(HostileFilterTest, LongAndDeepFilters) {
  const std::string megabyte(1 << 20, 'a');
  // Wide but shallow: 65,536 leaves in a tree 16 levels deep.
  EXPECT_EQ(Run(BalancedSum(16)), "Double 65536");
  // A quoted text of a megabyte is one token.
  EXPECT_EQ(Run("LENGTH(\"" + megabyte + "\")"), "Integer 1048576");
  EXPECT_EQ(Run("S = \"" + megabyte + "\""), "Boolean false");
  // Nesting through operators, calls, NOT and unary minus is refused.
  EXPECT_EQ(Run(Repeat("1+(", 5000) + "1" + Repeat(")", 5000)), kTooDeep);
  EXPECT_EQ(Run(Repeat("ABS(", 5000) + "1" + Repeat(")", 5000)), kTooDeep);
  EXPECT_EQ(Run(Repeat("NOT(", 5000) + "1" + Repeat(")", 5000)), kTooDeep);
  EXPECT_EQ(Run(Repeat("-(", 5000) + "1" + Repeat(")", 5000)), kTooDeep);
  // Parentheses that never close, or close what was never opened.
  EXPECT_EQ(Run(Repeat("(", 100000)), "EZelParseException: Compile error: syntax fault.");
  EXPECT_EQ(Run("1+" + Repeat(")", 100000)), "EZelParseException: Compile error: parenthesis mismatch.");
  // Just under the limit still works: 190 levels of calls.
  EXPECT_EQ(Run(Repeat("ABS(", 190) + "-2" + Repeat(")", 190)), "Double 2");
}

// A megabyte of filter text must not cost memory in proportion to its length
// times its depth: building the tree once copied the remaining tokens at
// every level, 1.6 GB for a flat chain of half a million terms.
TEST_F(HostileFilterTest, MegabyteFiltersEndQuicklyInBoundedMemory) {
  const std::string chain = "1" + Repeat("+1", 1 << 19);
  const std::string calls = Repeat("F(", 1 << 18) + "1" + Repeat(")", 1 << 18);
  const std::string idle = testing::RunInChild([] { return std::string("idle"); }, 30).output;
  ASSERT_EQ(idle, "idle");
  const long base_kb = testing::RunInChild([] { return std::string(); }, 30).peak_rss_kb;
  for (const std::string* text : {&chain, &calls}) {
    const testing::ChildResult run = testing::RunInChild([&] { return Run(*text); }, 60);
    EXPECT_EQ(run.output, kTooDeep);
    // The tokens themselves take some 60 MB.
    EXPECT_LT(run.peak_rss_kb - base_kb, 300L * 1024) << "peak " << run.peak_rss_kb << " KB";
  }
}

TEST_F(HostileFilterTest, NulBytes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Inside quotes a NUL is an ordinary character.
      {"LENGTH(\"a\0b\")"s, "Integer 3"},
      {"\"a\0b\" = \"a\0b\""s, "Boolean true"},
      {"\"a\0b\" = \"a\""s, "Boolean false"},
      {"S = \"abc\0\""s, "Boolean false"},
      {"ORD(SUBSTR(\"a\0b\", 2, 1))"s, "Integer 0"},
      {"[x\0y] = \"x\0y\""s, "Boolean true"},  // an unknown bracketed name is its text
      // Outside quotes it is illegal, wherever it stands inside the text.
      {"1\0+1"s, "EZelParseException: Parse error: illegal character \"#0\" at position 2."},
      {"1+1\0 = 2"s, "EZelParseException: Parse error: illegal character \"#0\" at position 4."},
      {"F(1,\0)"s, "EZelParseException: Parse error: illegal character \"#0\" at position 5."},
      // At either end it is trimmed away with the blanks.
      {"\0 1+1 \0\0"s, "Double 2"},
      {std::string(3, '\0'), "Null"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Run(text), expected) << text;
}

// Every run of one to three operator characters between, before and after
// operands: each is an operator, a run that is no operator, or a syntax
// error, and every one of them ends in a value or a language error.
TEST_F(HostileFilterTest, EveryOperatorRun) {
  const std::string chars = "+-*/^!=<>";
  std::vector<std::string> runs;
  for (char a : chars) {
    runs.push_back(std::string(1, a));
    for (char b : chars) {
      runs.push_back(std::string{a, b});
      for (char c : chars) runs.push_back(std::string{a, b, c});
    }
  }
  for (const char* word : {"AND", "OR", "NOT", "and", "Or"}) runs.push_back(std::string(word) + " ");
  for (const std::string& run : runs) {
    Sound("2" + run + "3");
    Sound(run + "3");
    Sound("2" + run);
    Sound("(2)" + run + "(3)");
    Sound(run);
  }
  // A few whose meaning is fixed, to show the sweep reached the evaluator.
  EXPECT_EQ(Run("2<=3"), "Boolean true");
  EXPECT_EQ(Run("2=-3"), "EZelParseException: Calculate error: syntax tree fault.");
  EXPECT_EQ(Run("2!"), "Integer 2");
}

// The table's operators between values of every kind the host has.
TEST_F(HostileFilterTest, EveryOperatorBetweenEveryKind) {
  const std::vector<std::string> operands = {"I",  "W",  "WMAX", "D",  "C",   "T",    "B",        "BF",   "S",
                                             "S2", "SN", "N",    "E",  "IMAX", "1e308", "\"\"", "0", "-1"};
  const std::vector<std::string> operators = {"+", "-", "*", "/", "^", "=", "<", ">", "<=", ">=", "<>", "!=",
                                              " AND(", " OR("};
  for (const std::string& op : operators) {
    for (const std::string& left : operands) {
      for (const std::string& right : operands) {
        const bool call = op.back() == '(';
        Sound("(" + left + ")" + op + right + (call ? ")" : ""));
      }
    }
  }
  for (const std::string& operand : operands) {
    Sound(operand + "!");
    Sound("NOT(" + operand + ")");
  }
}

// Every built-in of the registry, with no arguments up to five, each argument of each kind
// in turn; the rest are a plain 1.
TEST_F(HostileFilterTest, EveryBuiltinWithEveryKindOfArgument) {
  const std::vector<std::string> kinds = {
      "I",     "W",      "WMAX",       "IMAX",       "D",           "C",  "T",  "B",  "BF",  "S",   "SN",
      "N",     "E",      "\"\"",       "\"x\"",      "\"1/2/3\"",   "-1", "0",  "1e308", "-1e308", "3000000000",
      "\"$FF\"", "\"12:30\"", "\"31/12/2020 12:00:00\"", "NOW"};
  ASSERT_FALSE(AllBuiltins().empty());
  for (const TBuiltinFunction& function : AllBuiltins()) {
    const std::string name(function.Name);
    Sound(name);
    Sound(name + "()");
    for (int count = 1; count <= 5; ++count) {
      for (int position = 0; position < count; ++position) {
        for (const std::string& kind : kinds) {
          std::string call = name + "(";
          for (int i = 0; i < count; ++i) call += (i > 0 ? ", " : "") + (i == position ? kind : std::string("1"));
          Sound(call + ")");
        }
      }
    }
  }
}

// Texts are bounded: a width or a repetition taken from the filter cannot
// make more than kMaxTextBytes of text in one evaluation, while texts below
// that work as before.
TEST_F(HostileFilterTest, TextsAreBounded) {
  static_assert(kMaxTextBytes == 67108864);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"LENGTH(PADL(\"x\", 1000000))", "Integer 1000000"},
      {"LENGTH(PADR(\"x\", 60000000, \"-\"))", "Integer 60000000"},
      {"PADL(\"x\", 2000000000)", kTooMuchText},
      {"PADR(\"x\", 2147483647, \"-\")", kTooMuchText},
      {"PADL(\"x\", 70000000)", kTooMuchText},
      // 10,000 x 10,000 characters.
      {"LENGTH(REPLACESTR(PADL(\"\", 10000, \"a\"), \"a\", PADL(\"\", 10000, \"b\"), 0, 1))", kTooMuchText},
      {"LENGTH(REPLACESTR(PADL(\"\", 1000, \"a\"), \"a\", PADL(\"\", 1000, \"b\"), 0, 1))", "Integer 1000000"},
      // Many levels each holding texts of 10 MB: each is allowed, together
      // they would take gigabytes.
      {Repeat("F(PADL(1, 10000000), PADL(1, 10000000), ", 60) + "1" + Repeat(")", 60), kTooMuchText},
      // Texts made and dropped again within one evaluation count as well.
      {"LENGTH(PADL(1, 40000000)) + LENGTH(PADL(1, 20000000))", "Integer 60000000"},
      {"LENGTH(PADL(1, 40000000)) + LENGTH(PADL(1, 40000000))", kTooMuchText},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Run(text), expected) << text.substr(0, 80);
  // Each evaluation has the whole allowance again.
  parser.SetText("LENGTH(PADL(1, 60000000))");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(testing::Outcome([&] { return parser.Calculate(); }), "Integer 60000000");
}

// Functions over long texts take work in proportion to the texts, not to
// their product: each case took from seconds to hours before (the work
// itself is counted in LongTextsTakeLinearWork below).  Each filter
// is written with N for the length of the long text and M for the short one.
TEST_F(HostileFilterTest, LongTextsTakeMemoryInProportion) {
  const std::vector<Case> cases = {
      {"LENGTH(REPLACESTR(PADL(\"\", N, \"a\"), \"a\", \"b\", 0, 1))", "Integer 1000000"},
      {"POS(PADL(\"b\", M, \"a\"), PADL(\"\", N, \"a\"))", "Integer 0"},
      {"POS(PADL(\"b\", M, \"a\"), PADL(\"b\", N, \"a\"))", "Integer 850001"},
      {"ISCONTAIN(PADL(\"b\", M, \"a\"), PADL(\"\", N, \"a\"))", "Boolean false"},
      // All separators against a format without any: the format loses every
      // other character, and no field is read.
      {"DATETIMEFROMSTRING(PADL(\"\", N, \"/\"), PADL(\"\", N, \"D\"), \"/\", \":\")", "DateTime 0"},
  };
  auto sized = [](std::string text, long n) {
    for (std::size_t at; (at = text.find(", N,")) != std::string::npos;) text.replace(at + 2, 1, std::to_string(n));
    for (std::size_t at; (at = text.find(", M,")) != std::string::npos;) {
      text.replace(at + 2, 1, std::to_string(n * 3 / 20));
    }
    return text;
  };
  for (const Case& c : cases) {
    // The texts that the call and its arguments make grow with N, not more.
    std::string outcome;
    const std::size_t small = testing::CountAllocations([&] { Run(sized(c.input, 250000)); }).bytes;
    const std::size_t large = testing::CountAllocations([&] { outcome = Run(sized(c.input, 1000000)); }).bytes;
    EXPECT_EQ(outcome, c.expected) << c.input;
    EXPECT_LE(large, 5 * small) << c.input;
  }
}

// The routines behind those functions, counted in characters read, copied,
// compared and moved at n and 4n: work in proportion to the texts grows
// about fourfold, work that grows with the square of a length sixteenfold:
// the part already searched cut off the text for every replacement, the
// pattern compared afresh at every place, a character erased in place for
// every one dropped.
TEST_F(HostileFilterTest, LongTextsTakeLinearWork) {
  struct Routine {
    const char* name;
    std::function<void(std::size_t n)> run;  // checks its result too
  };
  const Routine routines[] = {
      {"REPLACESTR of every a by b",
       [](std::size_t n) {
         const CountingText text = Letters(n, 'a');
         const CountingText replaced =
             ReplaceText(text, text, CountingText("a"), CountingText("b"), true, [](std::size_t) {});
         EXPECT_EQ(replaced.str(), std::string(n, 'b'));
       }},
      {"a long pattern that is nowhere",
       [](std::size_t n) {
         const CountingText pattern = Letters(n * 3 / 20, 'a', 'b');
         EXPECT_EQ(TextSearch<CountingText>(pattern).Find(Letters(n, 'a')), std::string::npos);
       }},
      {"a long pattern at the end",
       [](std::size_t n) {
         const CountingText pattern = Letters(n * 3 / 20, 'a', 'b');
         EXPECT_EQ(TextSearch<CountingText>(pattern).Find(Letters(n, 'a', 'b')), n - pattern.size());
       }},
      {"separators against a format without any",
       [](std::size_t n) {
         CountingText text = Letters(n, '/');
         CountingText format = Letters(n, 'D');
         auto drop = [](char guide, char target) { return guide == '/' && target != '/'; };
         DropAligned(text, format, drop);
         DropAligned(format, text, drop);
         EXPECT_EQ(format.str(), std::string(n / 2, 'D'));
         EXPECT_EQ(text.str(), std::string(n, '/'));
       }},
  };
  for (const Routine& r : routines) {
    auto work = [&](std::size_t n) {
      CountingText::steps = 0;
      r.run(n);
      return CountingText::steps;
    };
    const std::uint64_t small = work(250000);
    const std::uint64_t large = work(1000000);
    EXPECT_GE(small, 250000u) << r.name << ": every character is read";
    EXPECT_LE(large, 5 * small) << r.name;
  }
}

}  // namespace
}  // namespace tabdump
