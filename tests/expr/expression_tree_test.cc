#include "expr/expression_tree.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/expr/expr_test_support.h"
#include "tests/support/allocation_count.h"

namespace tabdump {
namespace {

using testing::Case;

// The compiled tree in its printed form, or the compile error.
std::string Tree(const std::string& text) {
  TExpParser tokens;
  tokens.Tokenize(text);
  TExpNode root(nullptr, tokens.TokenRefs(), nullptr);
  try {
    root.Compile();
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.what();
  }
  return DumpTree(root);
}

TEST(ExpressionTreeTest, GroupsByRankAndParentheses) {
  const Case cases[] = {
      {"1+2*3", "(+ 1 (* 2 3))"},
      {"2*3+1", "(+ (* 2 3) 1)"},
      // Equal operators group to the right.
      {"10-2-3", "(- 10 (- 2 3))"},
      {"8/4/2", "(/ 8 (/ 4 2))"},
      {"10-2+3", "(+ (- 10 2) 3)"},
      // Comparisons and word operators bind more tightly than arithmetic.
      {"a+1=3", "(+ a (= 1 3))"},
      {"A=1 AND (B=2)", "(= A (AND 1 (= B 2)))"},
      {"(A=1) AND (B=2)", "(AND (= A 1) (= B 2))"},
      {"(A=1) AND (B=2) OR (C=3)", "(AND (= A 1) (OR (= B 2) (= C 3)))"},
      {"NOT (A=1)", "(NOT (= A 1))"},
      {"NOT(A)=1", "(= (NOT A) 1)"},
      {"(a)+(b)", "(+ a b)"},
      {"((a+b))", "(+ a b)"},
      {"(5)", "5"},
      {"a", "a"},
      {"", "_"},
      {"()", "_"},
      // Operand sides without tokens.
      {"-5", "(- _ 5)"},
      {"-x+3", "(+ (- _ x) 3)"},
      {"5!", "(! 5)"},
      {"NOT(x)", "(NOT x)"},
      {"5! 3", "(! 5 3)"},
      // A run that is not in the table ranks 0 and heads the node.
      {"x=-1", "(=- x 1)"},
      {"a*b=-c+d", "(=- (* a b) (+ c d))"},
  };
  for (const Case& c : cases) EXPECT_EQ(Tree(c.input), c.expected) << c.input;
}

TEST(ExpressionTreeTest, ReadsCalls) {
  const Case cases[] = {
      {"F(a, b+1, G(c))", "F(a, (+ b 1), G(c))"},
      {"F((a),(b))", "F(a, b)"},
      {"F(,a)", "F(_, a)"},
      {"F(a,)", "F(a)"},
      {"F(a,,b)", "F(a, b)"},
      {"F(G(a, b), c)", "F(G(a, b), c)"},
      {"F(a)+G(b)", "(+ F(a) G(b))"},
      {"[My Func](1)", "[My Func](1)"},
      // Only the kinds of the parentheses are checked, not which way they face.
      {"F(a(", "F(a)"},
  };
  for (const Case& c : cases) EXPECT_EQ(Tree(c.input), c.expected) << c.input;
}

TEST(ExpressionTreeTest, SyntaxErrors) {
  const Case cases[] = {
      {"F()", "EZelParseException: Compile error: syntax fault."},
      {"1 2", "EZelParseException: Compile error: syntax fault."},
      {"(a", "EZelParseException: Compile error: syntax fault."},
      // An unclosed parenthesis is no error while the operator is chosen...
      {"a+(b", "EZelParseException: Compile error: syntax fault."},
      // ... but one that closes more than was opened is.
      {"a)+(b", "EZelParseException: Compile error: parenthesis mismatch."},
      {"F(a),(b)", "EZelParseException: Function parse error."},
      // The right operand is compiled first, so its error is reported.
      {"1 2+F(a),(b)", "EZelParseException: Function parse error."},
      {"F(a),(b)+1 2", "EZelParseException: Compile error: syntax fault."},
  };
  for (const Case& c : cases) EXPECT_EQ(Tree(c.input), c.expected) << c.input;
}

TEST(ExpressionTreeTest, NodesKnowTheirShape) {
  TExpParser tokens;
  tokens.Tokenize("F(a, b+1)");
  TExpNode root(nullptr, tokens.TokenRefs(), nullptr);
  root.Compile();
  ASSERT_EQ(root.ChildCount(), 2u);
  EXPECT_EQ(root.TokenCount(), 1u);
  EXPECT_EQ(root.Token()->Text, "F");
  EXPECT_EQ(root.Parent(), nullptr);
  const TExpNode& plus = root.Child(1);
  EXPECT_EQ(plus.Parent(), &root);
  EXPECT_EQ(plus.Token()->Text, "+");
  EXPECT_EQ(plus.TokenAt(0), plus.Token());
  EXPECT_EQ(plus.Child(0).Parent(), &plus);
}

std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

TEST(ExpressionTreeTest, NestingIsBounded) {
  const std::string too_deep = "EZelParseException: Expression nested too deeply: more than 200 levels.";
  EXPECT_EQ(Tree(Repeat("F(", 100) + "1" + Repeat(")", 100)), Repeat("F(", 100) + "1" + Repeat(")", 100));
  EXPECT_EQ(Tree(Repeat("F(", 300) + "1" + Repeat(")", 300)), too_deep);

  // A flat chain nests one level per operator, and parentheses alone do not
  // nest the tree, however many there are; either is read with work in
  // proportion to its length, counted in tokens looked at and bytes
  // allocated at n and at 4n.  Work that grows with the square of the length
  // (the run walked once for every layer of parentheses, or copied once for
  // every layer) grows sixteenfold.
  struct Work {
    std::uint64_t tokens;
    std::size_t bytes;
  };
  auto work_of = [](const std::string& text, const std::string& expected) {
    const std::uint64_t before = TokensExamined();
    std::string tree;
    const std::size_t bytes = testing::CountAllocations([&] { tree = Tree(text); }).bytes;
    EXPECT_EQ(tree, expected) << text.substr(0, 40);
    return Work{TokensExamined() - before, bytes};
  };
  auto expect_linear = [](long n, const Work& small, const Work& large, const char* what) {
    EXPECT_GE(small.tokens, static_cast<std::uint64_t>(n)) << what << ": every token is looked at";
    EXPECT_LE(large.tokens, 5 * small.tokens) << what;
    EXPECT_LE(large.bytes, 5 * small.bytes) << what;
  };
  auto chain = [](long n) { return "1" + Repeat("+1", static_cast<int>(n)); };
  expect_linear(20000, work_of(chain(20000), too_deep), work_of(chain(80000), too_deep), "chain");
  auto parentheses = [](long n) {
    return Repeat("(", static_cast<int>(n)) + "a+b" + Repeat(")", static_cast<int>(n));
  };
  expect_linear(50000, work_of(parentheses(50000), "(+ a b)"), work_of(parentheses(200000), "(+ a b)"),
                "parentheses");
}

}  // namespace
}  // namespace tabdump
