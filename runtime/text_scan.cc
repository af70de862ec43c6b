#include "runtime/text_scan.h"

#include <charconv>
#include <cmath>
#include <string>

#include "runtime/ascii_case.h"
#include "runtime/ascii_digit.h"
#include "runtime/clock.h"
#include "runtime/datetime.h"
#include "runtime/exceptions.h"

namespace tabdump {

void ThrowNotValid(std::string_view text, std::string_view what) {
  std::string message = "'";
  message.append(text);
  message += "' is not a valid ";
  message.append(what);
  throw EConvertError(message);
}

namespace {

std::string_view Trim(std::string_view text, std::string_view blanks) {
  while (!text.empty() && blanks.find(text.front()) != std::string_view::npos) text.remove_prefix(1);
  while (!text.empty() && blanks.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
  return text;
}

bool IsSign(char c) { return c == '+' || c == '-'; }

// ---------------------------------------------------------------- integers

// The length of the hexadecimal prefix at `i`, 0 when there is none.
std::size_t HexPrefixLength(std::string_view text, std::size_t i, IntegerSyntax syntax) {
  if (i < text.size() && text[i] == '$') return 1;
  if (syntax.zero_x_prefix && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    return 2;
  }
  return 0;
}

// The digits from `i` to the end in base 10 or 16, or nullopt when there are
// none, another character follows, or the value exceeds `limit`.
std::optional<std::int64_t> DigitsToEnd(std::string_view text, std::size_t i, int base, std::int64_t limit) {
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = base == 16 ? HexDigitValue(text[i]) : (IsAsciiDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<std::int64_t> ScanInteger(std::string_view text, IntegerSyntax syntax) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  // Without signed hexadecimal, a sign commits the text to decimal digits.
  const bool signed_text = i < text.size() && IsSign(text[i]);
  if (signed_text) negative = text[i++] == '-';
  if (const std::size_t prefix = HexPrefixLength(text, i, syntax);
      prefix > 0 && (!signed_text || syntax.signed_hexadecimal)) {
    const auto value = DigitsToEnd(text, i + prefix, 16, 0xFFFFFFFFLL);
    if (!value) return std::nullopt;
    return negative ? -*value : *value;
  }
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  const auto value = DigitsToEnd(text, i, 10, limit);
  if (!value) return std::nullopt;
  return negative ? -*value : *value;
}

std::optional<std::int32_t> ScanInt32(std::string_view text, IntegerSyntax syntax) {
  const auto value = ScanInteger(text, syntax);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
}

// ---------------------------------------------------------------- decimal numbers

DecimalSyntax RegionalDecimalSyntax(const FormatSettings& fs, bool thousands_separators) {
  DecimalSyntax syntax;
  syntax.decimal_separator = fs.decimal_separator;
  if (thousands_separators && fs.thousands_separator != fs.decimal_separator) {
    syntax.thousands_separator = fs.thousands_separator;
  }
  return syntax;
}

namespace {

// The number rewritten into the neutral form that std::from_chars reads, and
// the decimal exponent of its first significant digit: from_chars says only
// that a value is out of range, and this tells too large from too small.
struct NeutralNumber {
  std::string text;
  std::int64_t magnitude = -1;
  std::int64_t exponent = 0;
};

bool IsGroupSeparatorAt(std::string_view text, std::size_t i, bool after_digit, const DecimalSyntax& syntax) {
  return syntax.thousands_separator != 0 && text[i] == syntax.thousands_separator && after_digit &&
         i + 1 < text.size() && IsAsciiDigit(text[i + 1]);
}

// Digits before the decimal separator; returns whether there were any.
bool ReadIntegerDigits(std::string_view text, std::size_t& i, const DecimalSyntax& syntax, NeutralNumber& n) {
  bool digits = false;
  std::int64_t significant = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsAsciiDigit(c)) {
      n.text += c;
      digits = true;
      if (significant > 0 || c != '0') ++significant;
    } else if (!IsGroupSeparatorAt(text, i, digits, syntax)) {
      break;
    }
  }
  n.magnitude = significant - 1;
  return digits;
}

// The decimal separator and the digits after it; returns whether there were
// any digits.
bool ReadFractionDigits(std::string_view text, std::size_t& i, const DecimalSyntax& syntax, NeutralNumber& n) {
  if (i >= text.size() || text[i] != syntax.decimal_separator) return false;
  n.text += '.';
  bool significant = n.magnitude >= 0;  // a significant digit came before the separator
  bool digits = false;
  std::int64_t position = 0;
  for (++i; i < text.size() && IsAsciiDigit(text[i]); ++i) {
    n.text += text[i];
    digits = true;
    --position;
    if (!significant && text[i] != '0') {
      significant = true;
      n.magnitude = position;
    }
  }
  return digits;
}

// An exponent with at least one digit; the text is left as it was otherwise.
void ReadExponent(std::string_view text, std::size_t& i, NeutralNumber& n) {
  if (i >= text.size() || (text[i] != 'e' && text[i] != 'E')) return;
  std::size_t j = i + 1;
  bool negative = false;
  if (j < text.size() && IsSign(text[j])) negative = text[j++] == '-';
  const std::size_t first = j;
  std::int64_t exponent = 0;
  for (; j < text.size() && IsAsciiDigit(text[j]); ++j) {
    if (exponent < 1'000'000) exponent = exponent * 10 + (text[j] - '0');  // far beyond any double
  }
  if (j == first) return;
  n.text += 'e';
  n.text.append(text.substr(i + 1, j - i - 1));
  n.exponent = negative ? -exponent : exponent;
  i = j;
}

}  // namespace

std::optional<DecimalPrefix> ScanDecimalPrefix(std::string_view text, const DecimalSyntax& syntax) {
  NeutralNumber n;
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && IsSign(text[i])) {
    negative = text[i++] == '-';
    if (negative) n.text += '-';
  }
  const bool integer_digits = ReadIntegerDigits(text, i, syntax, n);
  const bool fraction_digits = ReadFractionDigits(text, i, syntax, n);
  if (!integer_digits && !fraction_digits) return std::nullopt;
  if (syntax.exponent) ReadExponent(text, i, n);

  DecimalPrefix result;
  result.length = i;
  const auto [end, ec] = std::from_chars(n.text.data(), n.text.data() + n.text.size(), result.value);
  if (ec == std::errc::result_out_of_range) {
    const bool too_large = n.magnitude + n.exponent >= 0;
    result.range = too_large ? DecimalRange::kTooLarge : DecimalRange::kTooSmall;
    result.value = too_large ? HUGE_VAL : 0.0;
    if (negative) result.value = -result.value;
  } else if (ec != std::errc() || end != n.text.data() + n.text.size()) {
    return std::nullopt;
  }
  return result;
}

std::optional<double> ScanFloat(std::string_view text, const DecimalSyntax& syntax, Underflow underflow) {
  text = Trim(text, " \t");
  const auto number = ScanDecimalPrefix(text, syntax);
  if (!number || number->length != text.size()) return std::nullopt;
  switch (number->range) {
    case DecimalRange::kInRange: return number->value;
    case DecimalRange::kTooLarge: return std::nullopt;
    case DecimalRange::kTooSmall:
      if (underflow == Underflow::kGivesZero) return number->value;
      return std::nullopt;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------- dates and times

int WindowTwoDigitYear(int year) {
  const int window_start = CurrentYear() - 50;
  year += window_start / 100 * 100;
  if (year < window_start) year += 100;
  return year;
}

std::array<char, 3> DateFieldOrder(std::string_view pattern) {
  std::array<char, 3> order{};
  std::size_t found = 0;
  auto add = [&](char field) {
    for (std::size_t k = 0; k < found; ++k) {
      if (order[k] == field) return;
    }
    order[found++] = field;
  };
  for (std::size_t i = 0; i + 1 < pattern.size() && found < 3; ++i) {
    if (pattern[i] != '%') continue;
    ++i;
    // Flags and modifiers between the "%" and its conversion letter.
    while (i + 1 < pattern.size() && std::string_view("-_0^#EO").find(pattern[i]) != std::string_view::npos) ++i;
    switch (pattern[i]) {
      case 'Y': case 'y': add('Y'); break;
      case 'm': case 'b': case 'B': case 'h': add('m'); break;
      case 'd': case 'e': add('d'); break;
      default: break;
    }
  }
  if (found != 3) return {'Y', 'm', 'd'};
  return order;
}

namespace {

// A run of at most `max_digits` digits at `pos`: its value and length.
bool ReadField(std::string_view text, std::size_t& pos, int max_digits, int& value, int& count) {
  value = 0;
  count = 0;
  while (pos < text.size() && IsAsciiDigit(text[pos]) && count < max_digits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++count;
  }
  return count > 0;
}

bool IsDateSeparator(char c, const FormatSettings& fs, const DateSyntax& syntax) {
  return c == fs.date_separator || (syntax.common_separators && (c == '/' || c == '-' || c == '.'));
}

// Three numbers joined by date separators at `pos`, a date in the regional
// order; `pos` moves past them when they make a valid date.
std::optional<double> ScanDateAt(std::string_view text, std::size_t& pos, const FormatSettings& fs,
                                 const DateSyntax& syntax) {
  int numbers[3];
  int digit_counts[3];
  std::size_t i = pos;
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      if (i >= text.size() || !IsDateSeparator(text[i], fs, syntax)) return std::nullopt;
      ++i;
    }
    if (!ReadField(text, i, syntax.max_digits, numbers[k], digit_counts[k])) return std::nullopt;
  }
  const std::array<char, 3> order = DateFieldOrder(fs.short_date_format);
  int year = 0, month = 0, day = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    switch (order[k]) {
      case 'Y': year = digit_counts[k] <= 2 ? WindowTwoDigitYear(numbers[k]) : numbers[k]; break;
      case 'm': month = numbers[k]; break;
      default: day = numbers[k]; break;
    }
  }
  const auto date = EncodeDate(year, month, day);
  if (date) pos = i;
  return date;
}

bool MarkerAt(std::string_view rest, std::string_view marker) {
  return !marker.empty() && rest.size() >= marker.size() && EqualsIgnoreAsciiCase(rest.substr(0, marker.size()), marker);
}

// The marker at the start of `rest`: the regional one, else the English one.
// Returns its length, 0 when neither is there.
std::size_t MarkerLength(std::string_view rest, const std::string& regional, std::string_view english) {
  if (MarkerAt(rest, regional)) return regional.size();
  if (MarkerAt(rest, english)) return english.size();
  return 0;
}

// Hours and minutes, optional seconds with an optional fraction, and an
// optional morning or afternoon marker, at `pos`.
std::optional<double> ScanTimeAt(std::string_view text, std::size_t& pos, const FormatSettings& fs) {
  constexpr int kMaxDigits = kConvertedDate.max_digits;
  int parts[3] = {0, 0, 0};
  int count = 0, digits = 0, ms = 0;
  std::size_t i = pos;
  while (count < 3) {
    if (!ReadField(text, i, kMaxDigits, parts[count], digits)) return std::nullopt;
    ++count;
    if (i < text.size() && (text[i] == fs.time_separator || text[i] == ':') && count < 3) {
      ++i;
      continue;
    }
    break;
  }
  if (count < 2) return std::nullopt;
  if (count == 3 && i < text.size() && (text[i] == '.' || text[i] == fs.decimal_separator)) {
    ++i;
    int fraction = 0, n = 0;
    if (!ReadField(text, i, kMaxDigits, fraction, n)) return std::nullopt;
    for (; n > 3; --n) fraction /= 10;
    for (; n < 3; ++n) fraction *= 10;
    ms = fraction;
  }
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  int hour = parts[0];
  const std::string_view rest = text.substr(i);
  if (const std::size_t am = MarkerLength(rest, fs.time_am, "AM"); am > 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    if (hour == 12) hour = 0;
    i += am;
  } else if (const std::size_t pm = MarkerLength(rest, fs.time_pm, "PM"); pm > 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    if (hour != 12) hour += 12;
    i += pm;
  }
  pos = i;
  return EncodeTime(hour, parts[1], parts[2], ms);
}

}  // namespace

std::optional<double> ScanDate(std::string_view text, const FormatSettings& fs, const DateSyntax& syntax) {
  text = Trim(text, syntax.blanks);
  std::size_t pos = 0;
  const auto date = ScanDateAt(text, pos, fs, syntax);
  if (!date || pos != text.size()) return std::nullopt;
  return date;
}

std::optional<double> ScanDateTime(std::string_view text, const FormatSettings& fs) {
  text = Trim(text, kConvertedDate.blanks);
  if (text.empty()) return std::nullopt;
  std::size_t i = 0;
  const std::optional<double> date = ScanDateAt(text, i, fs, kConvertedDate);
  if (date) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == 'T')) ++i;
    if (i == text.size()) return date;
  }
  const std::optional<double> time = ScanTimeAt(text, i, fs);
  if (!time || !Trim(text.substr(i), kConvertedDate.blanks).empty()) return std::nullopt;
  return date ? CombineDateTime(*date, *time) : *time;
}

}  // namespace tabdump
