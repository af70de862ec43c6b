#include "expr/tokenizer.h"

#include "runtime/ascii_case.h"
#include "runtime/ascii_digit.h"
#include "runtime/exceptions.h"
#include "runtime/format_settings.h"

namespace tabdump {
namespace {

bool IsQuote(char c) { return c == '"' || c == '\'' || c == '['; }
bool IsCloser(char c) { return c == '"' || c == '\'' || c == ']'; }
char CloserOf(char opener) { return opener == '[' ? ']' : opener; }

// Characters that SetText trims away.
bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

// The character as it appears in a message; NUL would cut the message short.
std::string Printable(char c) {
  if (static_cast<unsigned char>(c) < 32) return "#" + std::to_string(static_cast<int>(c));
  return std::string(1, c);
}

}  // namespace

int OperatorRank(std::string_view text) {
  for (std::size_t i = 0; i < OperatorTable.size(); ++i) {
    if (EqualsIgnoreAsciiCase(text, OperatorTable[i].Text)) return static_cast<int>(i) + 1;
  }
  return 0;
}

int OperatorArity(std::string_view text) {
  const int rank = OperatorRank(text);
  return rank > 0 ? OperatorTable[static_cast<std::size_t>(rank - 1)].Arity : 0;
}

bool IsNumberText(std::string_view text) {
  // The locale's separator is read as a full stop, but only its first
  // occurrence: "1,2,3" stays malformed under a comma locale.
  const char separator = Settings().decimal_separator;
  const std::size_t separator_at = separator == '.' ? std::string_view::npos : text.find(separator);
  auto at = [&](std::size_t i) { return i == separator_at ? '.' : text[i]; };

  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && at(i) == ' ') ++i;
  if (i < n && (at(i) == '+' || at(i) == '-')) ++i;
  const std::size_t body = i;
  while (i < n && IsAsciiDigit(at(i))) ++i;
  if (i < n && at(i) == '.') {
    ++i;
    while (i < n && IsAsciiDigit(at(i))) ++i;
  }
  if (i < n && (at(i) == 'E' || at(i) == 'e')) {
    std::size_t j = i + 1;
    if (j < n && (at(j) == '+' || at(j) == '-')) ++j;
    const std::size_t digits = j;
    while (j < n && IsAsciiDigit(at(j))) ++j;
    if (j > digits) i = j;
  }
  return i == n && i > body;
}

TExpTokenKind CharClass(char c) {
  if (c == '(' || c == ')') return TExpTokenKind::etkParen;
  if (c == ',') return TExpTokenKind::etkComma;
  const std::string_view one(&c, 1);
  if (OperatorRank(one) > 0) return TExpTokenKind::etkOperator;
  if (IsNumberText(one)) return TExpTokenKind::etkNumber;
  if (c == '\0') return TExpTokenKind::etkIllegal;
  return TExpTokenKind::etkWord;
}

void TExpParser::SetText(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  text_.assign(text);
}

const TExpToken* TExpParser::FirstToken() {
  ClearTokens();
  position_ = 0;
  return NextToken();
}

void TExpParser::ClearTokens() {
  while (!tokens_.empty()) tokens_.pop_back();
}

std::vector<const TExpToken*> TExpParser::TokenRefs() const {
  std::vector<const TExpToken*> refs;
  refs.reserve(tokens_.size());
  for (const auto& token : tokens_) refs.push_back(token.get());
  return refs;
}

void TExpParser::Tokenize(std::string_view text) {
  SetText(text);
  if (FirstToken() != nullptr) {
    while (NextToken() != nullptr) {
    }
  }
}

const TExpToken* TExpParser::Append(std::string text, TExpTokenKind kind) {
  tokens_.push_back(std::make_unique<TExpToken>(TExpToken{std::move(text), kind}));
  return tokens_.back().get();
}

const TExpToken* TExpParser::NextToken() {
  const std::size_t length = text_.size();
  if (position_ >= length) return nullptr;

  // Spaces between tokens; tabs are word characters and are not skipped.
  char c = 0;
  std::size_t start = 0;
  do {
    start = position_;
    c = text_[position_++];
  } while (c == ' ' && position_ < length);

  const TExpTokenKind kind = CharClass(c);
  if (kind == TExpTokenKind::etkIllegal) {
    throw EZelParseException("Parse error: illegal character \"" + Printable(c) + "\" at position " +
                             std::to_string(start + 1) + ".");
  }
  if (kind == TExpTokenKind::etkParen) return Append(std::string(1, c), kind);

  std::string collected(1, c);
  const bool started_quoted = IsQuote(c);
  bool quoted = started_quoted;
  const char closer = CloserOf(c);

  while (position_ < length) {
    const char d = text_[position_];
    if (!quoted) {
      const TExpTokenKind next = CharClass(d);
      // Digits and full stops may continue a word (abc12, Orders.Total), but
      // nothing else of another class continues a token.
      if (next != kind && !(kind == TExpTokenKind::etkWord && next == TExpTokenKind::etkNumber)) {
        const bool is_operator = !started_quoted && OperatorRank(collected) > 0;
        return Append(std::move(collected), is_operator ? TExpTokenKind::etkOperator : kind);
      }
    } else if (d == closer && (position_ + 1 == length || !IsCloser(text_[position_ + 1]))) {
      // A closer doubled with any quote character stays inside ('it''s').
      quoted = false;
      collected += d;
      ++position_;
      continue;
    }
    // A space inside a word vanishes: "Last Name" is the word LastName.
    if (d != ' ' || quoted) collected += d;
    ++position_;
  }
  // At the end of the text no operator lookup is made, so a trailing AND, OR
  // or NOT stays a word; a single character keeps its class.
  return Append(std::move(collected), kind);
}

}  // namespace tabdump
