// The first stage of the filter language: splitting an expression text into
// tokens, and the operator table that the later stages rank and count by.
//
// A token is only a text and a kind; nothing is interpreted here.  Quoted
// texts and bracketed names keep their quotes and brackets, so the host can
// tell a literal from a field name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabdump {

// The kind of a token, and also the class of a single character.
enum class TExpTokenKind : std::uint8_t {
  etkIllegal,   // the NUL character; no token ever has this kind
  etkWord,      // names, quoted texts, bracketed names
  etkNumber,    // a run of digits and full stops
  etkParen,     // a single "(" or ")"
  etkOperator,  // a run of operator characters, and AND, OR, NOT
  etkComma,     // a run of commas
};

struct TExpToken {
  std::string Text;  // as written, quotes and brackets included
  TExpTokenKind Kind = TExpTokenKind::etkWord;
};

struct TExpOperator {
  std::string_view Text;
  int Arity;  // number of operands
};

// Position in this table (1-based) is the operator's rank: the tree builder
// splits at the lowest rank first, so earlier entries bind more loosely.
inline constexpr std::array<TExpOperator, 16> OperatorTable{{
    {"+", 2}, {"-", 2}, {"*", 2}, {"/", 2}, {"^", 2}, {"!", 1}, {"=", 2}, {"<", 2},
    {">", 2}, {"<=", 2}, {">=", 2}, {"<>", 2}, {"!=", 2}, {"AND", 2}, {"OR", 2}, {"NOT", 1},
}};

// Ranks of the entries, for code that dispatches on an operator.
enum TExpOperatorRank : int {
  oprNone = 0,
  oprAdd, oprSubtract, oprMultiply, oprDivide, oprPower, oprFactorial,
  oprEqual, oprLess, oprGreater, oprLessEqual, oprGreaterEqual, oprNotEqual, oprNotEqual2,
  oprAnd, oprOr, oprNot,
};

// 1-based rank of `text` (letters a-z compared upper-cased), 0 when absent.
int OperatorRank(std::string_view text);
// Operand count of the operator `text`, 0 when it is not in the table.
int OperatorArity(std::string_view text);
// Class of one character.
TExpTokenKind CharClass(char c);
// Whether `text` is a well-formed decimal number: leading spaces, a sign,
// digits with at most one decimal separator, an exponent.  The locale's
// decimal separator (its first occurrence) counts as a full stop.
bool IsNumberText(std::string_view text);

// Reads one expression text token by token and owns every token it made;
// tree nodes refer to these tokens, so the tokenizer must outlive them.
class TExpParser {
 public:
  TExpParser() = default;
  TExpParser(const TExpParser&) = delete;
  TExpParser& operator=(const TExpParser&) = delete;

  // Stores `text` without leading and trailing characters of code 32 or less.
  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }
  // 1-based index of the next character to read.
  std::size_t Position() const { return position_ + 1; }

  // Starts over from the first character; null when the text is empty.
  const TExpToken* FirstToken();
  // The next token, appended to Tokens(); null at the end of the text.
  // Raises EZelParseException on an illegal character.
  const TExpToken* NextToken();
  void ClearTokens();

  const std::vector<std::unique_ptr<TExpToken>>& Tokens() const { return tokens_; }
  // The tokens as plain references, in text order, for building a tree.
  std::vector<const TExpToken*> TokenRefs() const;

  // SetText, then every token: the sequence that every client runs.
  void Tokenize(std::string_view text);

 private:
  const TExpToken* Append(std::string text, TExpTokenKind kind);

  std::string text_;
  std::size_t position_ = 0;  // 0-based
  std::vector<std::unique_ptr<TExpToken>> tokens_;
};

}  // namespace tabdump
