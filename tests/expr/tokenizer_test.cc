#include "expr/tokenizer.h"

#include <gtest/gtest.h>

#include "tests/expr/expr_test_support.h"

namespace tabdump {
namespace {

using testing::Case;

char KindLetter(TExpTokenKind kind) {
  switch (kind) {
    case TExpTokenKind::etkWord: return 'w';
    case TExpTokenKind::etkNumber: return 'n';
    case TExpTokenKind::etkParen: return 'p';
    case TExpTokenKind::etkOperator: return 'o';
    case TExpTokenKind::etkComma: return 'c';
    case TExpTokenKind::etkIllegal: return '?';
  }
  return '?';
}

// Each token as text:kind, separated by single spaces.
std::string Tokens(const std::string& text) {
  TExpParser parser;
  parser.Tokenize(text);
  std::string out;
  for (const auto& token : parser.Tokens()) {
    if (!out.empty()) out += ' ';
    out += token->Text + ':' + KindLetter(token->Kind);
  }
  return out;
}

TEST(TokenizerTest, SplitsTexts) {
  const Case cases[] = {
      {"", ""},
      {"   ", ""},
      {"a+b", "a:w +:o b:w"},
      {"x<=10", "x:w <=:o 10:n"},
      // The space after a is dropped inside the word; the one after <> ends it.
      {"a <> b", "a:w <>:o b:w"},
      {"[Order Date]>3", "[Order Date]:w >:o 3:n"},
      {"F(a, 2)", "F:w (:p a:w ,:c 2:n ):p"},
      {"not(x)", "not:o (:p x:w ):p"},
      {"x=not", "x:w =:o not:w"},
      {"1.2.3", "1.2.3:n"},
      {".5", ".5:n"},
      {"x=-1", "x:w =-:o 1:n"},
      {"=<", "=<:o"},
      {"1\t+2", "1:n \t:w +:o 2:n"},
      {"'abc", "'abc:w"},
      {"5!", "5:n !:o"},
      // Digits continue a word, letters do not continue a number.
      {"abc12", "abc12:w"},
      {"Orders.Total", "Orders.Total:w"},
      {"12abc", "12:n abc:w"},
      {"1e3", "1:n e3:w"},
      // Spaces vanish inside words, so word operators need a parenthesis,
      // an operator or a comma after them.
      {"Last Name", "LastName:w"},
      {"A AND B", "AANDB:w"},
      {"(A=1) AND (B=2)", "(:p A:w =:o 1:n ):p AND:o (:p B:w =:o 2:n ):p"},
      {"A=1 AND B=2", "A:w =:o 1:n ANDB:w =:o 2:n"},
      {"(a)or(b)", "(:p a:w ):p or:o (:p b:w ):p"},
      {"a,,b", "a:w ,,:c b:w"},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(c.input), c.expected) << '[' << c.input << ']';
}

TEST(TokenizerTest, QuotedTokensKeepTheirTextUntilTheirOwnCloser) {
  const Case cases[] = {
      {"'it''s'", "'it''s':w"},
      {"'abc' x", "'abc'x:w"},
      {"'a(b, c)+1'", "'a(b, c)+1':w"},
      // An apostrophe does not close a double-quoted text, nor does it close
      // a bracketed name.
      {"\"O'Brien Ltd\"", "\"O'Brien Ltd\":w"},
      {"[Cust's Name]=1", "[Cust's Name]:w =:o 1:n"},
      {"'a]b c'", "'a]b c':w"},
      {"City = \"Paris\"", "City:w =:o \"Paris\":w"},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(c.input), c.expected) << '[' << c.input << ']';
}

TEST(TokenizerTest, NulIsIllegalOutsideQuotes) {
  EXPECT_EQ(testing::Outcome([] { return Variant(Tokens(std::string("ab+\0c", 5))); }),
            "EZelParseException: Parse error: illegal character \"#0\" at position 4.");
  // Trimmed away at either end, and an ordinary character inside quotes.
  EXPECT_EQ(Tokens(std::string("\0a+b\0", 5)), "a:w +:o b:w");
  EXPECT_EQ(Tokens(std::string("'a\0b'", 5)), std::string("'a\0b':w", 7));
}

TEST(TokenizerTest, TokensMadeBeforeAnErrorStayUntilCleared) {
  TExpParser parser;
  parser.SetText(std::string("a+\0", 3) + "b");
  ASSERT_NE(parser.FirstToken(), nullptr);
  ASSERT_NE(parser.NextToken(), nullptr);
  EXPECT_THROW(parser.NextToken(), EZelParseException);
  EXPECT_EQ(parser.Tokens().size(), 2u);
  EXPECT_EQ(parser.FirstToken()->Text, "a");  // starts over
  EXPECT_EQ(parser.Tokens().size(), 1u);
}

TEST(TokenizerTest, OperatorTable) {
  EXPECT_EQ(OperatorRank("+"), 1);
  EXPECT_EQ(OperatorRank("!"), 6);
  EXPECT_EQ(OperatorRank("<>"), 12);
  EXPECT_EQ(OperatorRank("!="), 13);
  EXPECT_EQ(OperatorRank("and"), 14);
  EXPECT_EQ(OperatorRank("And"), 14);
  EXPECT_EQ(OperatorRank("oR"), 15);
  EXPECT_EQ(OperatorRank("NOT"), 16);
  EXPECT_EQ(OperatorRank("=<"), 0);
  EXPECT_EQ(OperatorRank("ANDX"), 0);
  EXPECT_EQ(OperatorArity("!"), 1);
  EXPECT_EQ(OperatorArity("not"), 1);
  EXPECT_EQ(OperatorArity(">="), 2);
  EXPECT_EQ(OperatorArity("=-"), 0);
}

TEST(TokenizerTest, CharClass) {
  EXPECT_EQ(CharClass('('), TExpTokenKind::etkParen);
  EXPECT_EQ(CharClass(')'), TExpTokenKind::etkParen);
  EXPECT_EQ(CharClass(','), TExpTokenKind::etkComma);
  for (char c : std::string("+-*/^!=<>")) EXPECT_EQ(CharClass(c), TExpTokenKind::etkOperator) << c;
  EXPECT_EQ(CharClass('7'), TExpTokenKind::etkNumber);
  EXPECT_EQ(CharClass('.'), TExpTokenKind::etkNumber);
  EXPECT_EQ(CharClass('\0'), TExpTokenKind::etkIllegal);
  for (char c : std::string("aZ_\"'[] \t;&\xE9")) EXPECT_EQ(CharClass(c), TExpTokenKind::etkWord) << int(c);
}

TEST(TokenizerTest, NumberTest) {
  for (const char* text : {"12", "-3.5", ".", "5.", "1e3", "  7", "+.5e-2", "0.25E+10"}) {
    EXPECT_TRUE(IsNumberText(text)) << '[' << text << ']';
  }
  for (const char* text : {"", "+", " ", "1,5", "E", "12 ", "1.2.3", "1e", "1e+", "--1", "1 2", "$1"}) {
    EXPECT_FALSE(IsNumberText(text)) << '[' << text << ']';
  }
}

TEST(TokenizerTest, DecimalSeparatorComesFromTheSettings) {
  FormatSettings comma = FormatSettings::Iso();
  comma.decimal_separator = ',';
  {
    ScopedSettings scoped(comma);
    EXPECT_TRUE(IsNumberText("1,5"));
    EXPECT_TRUE(IsNumberText("1.5"));
    EXPECT_FALSE(IsNumberText("1,5,3"));  // only the first one stands for a full stop
    EXPECT_EQ(Tokens("1,5"), "1:n ,:c 5:n");  // the comma still separates
  }
  FormatSettings hash = FormatSettings::Iso();
  hash.decimal_separator = '#';
  ScopedSettings scoped(hash);
  EXPECT_EQ(CharClass('#'), TExpTokenKind::etkNumber);
  EXPECT_EQ(Tokens("a=1#5"), "a:w =:o 1#5:n");
}

}  // namespace
}  // namespace tabdump
