#include "expr/builtin_functions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "expr/evaluator.h"
#include "expr/expression_tree.h"
#include "expr/text_routines.h"
#include "runtime/ascii_case.h"
#include "runtime/ascii_digit.h"
#include "runtime/clock.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/exceptions.h"
#include "runtime/format_settings.h"
#include "runtime/text_padding.h"
#include "runtime/text_scan.h"

namespace tabdump {
namespace {

std::uint32_t random_state = 0;

// ---------------------------------------------------------------- arguments

// The arguments of one call.  Each is evaluated when it is read, so a
// function evaluates exactly what it reads, in the order it reads it; a
// position that was not written is an error naming that position.
class Args {
 public:
  explicit Args(const TExpNode& call) : call_(call) {}

  std::size_t Count() const { return call_.ChildCount(); }
  Variant Value(std::size_t i) const {
    if (i >= call_.ChildCount()) throw EListError("List index out of bounds (" + std::to_string(i) + ")");
    return call_.Child(i).Evaluate();
  }
  std::string Text(std::size_t i) const {
    Variant value = Value(i);
    if (value.IsString()) return std::move(value.MutableString());
    return VarToText(value);
  }
  std::int32_t Int(std::size_t i) const { return VarToInt(Value(i)); }
  double Float(std::size_t i) const { return VarToDouble(Value(i)); }
  bool Bool(std::size_t i) const { return VarToBool(Value(i)); }

 private:
  const TExpNode& call_;
};

using Implementation = Variant (*)(const Args&);

template <Implementation F>
Variant Call(const TExpNode& call) {
  return F(Args(call));
}

// ---------------------------------------------------------------- text helpers

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

// Letters of the Windows-1252 code page, the code page of the tables, beyond
// ASCII: upper case first, then the lower-case partner.
unsigned char Upper1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
  }
}

bool IsAlpha1252(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c >= 0xC0 && c != 0xD7 && c != 0xF7) return true;
  switch (c) {
    case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
    case 0xAA: case 0xB5: case 0xBA:
      return true;
    default:
      return false;
  }
}

std::string UpperText1252(std::string text) {
  for (char& c : text) c = static_cast<char>(Upper1252(static_cast<unsigned char>(c)));
  return text;
}

std::string_view TrimControl(std::string_view text, bool left, bool right) {
  while (left && !text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (right && !text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

// The part of `text` from 1-based `start`, `count` characters long.  A start
// below 1 counts as 1 without shortening the count.
std::string Part(const std::string& text, std::int64_t start, std::int64_t count) {
  const auto length = static_cast<std::int64_t>(text.size());
  if (text.empty() || count < 0 || start > length) return {};
  if (start < 1) start = 1;
  return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

// ---------------------------------------------------------------- reading texts

// STRTOINT's reading, which DATETIMEFROMSTRING also uses for its fields.
std::int32_t StrToInt(const std::string& text) {
  const auto value = ScanInt32(text);
  if (!value) ThrowNotValid(text, "integer value");
  return *value;
}

// A date typed in the user's short date format, without a time.
std::optional<double> ReadDateText(std::string_view text, const FormatSettings& fs) {
  return ScanDate(text, fs, kTypedDate);
}

// ---------------------------------------------------------------- writing texts

// Up to 15 significant digits, no trailing zeros; fixed notation from
// 0.00001 up to fifteen digits before the separator, else an exponent.
std::string FloatToText(double value, const FormatSettings& fs) {
  std::string out;
  if (!std::isfinite(value) || value == 0) {
    AppendDouble(out, value, fs);
    return out;
  }
  char buf[40];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  const std::string_view text(buf, static_cast<std::size_t>(end - buf));
  std::size_t i = 0;
  if (text[i] == '-') {
    out += '-';
    ++i;
  }
  const std::size_t e = text.find('e');
  std::string digits;
  for (; i < e; ++i) {
    if (text[i] != '.') digits += text[i];
  }
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  if (exponent >= -5 && exponent <= 14) {
    if (exponent < 0) {
      out += '0';
      out += fs.decimal_separator;
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const auto whole = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
      } else {
        out.append(digits, 0, whole);
        out += fs.decimal_separator;
        out.append(digits, whole);
      }
    }
    return out;
  }
  out += digits[0];
  if (digits.size() > 1) {
    out += fs.decimal_separator;
    out.append(digits, 1);
  }
  out += 'E';
  out += exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) out += '0';
  out += std::to_string(magnitude);
  return out;
}

// ---------------------------------------------------------------- string functions

Variant Now(const Args&) { return Variant::DateTime(CurrentDateTime()); }

Variant Substr(const Args& a) {
  const std::int32_t count = a.Int(2);
  const std::int32_t start = a.Int(1);
  return Variant(Part(a.Text(0), start, count));
}

Variant ReplaceStr(const Args& a) {
  const bool ignore_case = a.Bool(3);
  const bool replace_all = a.Bool(4);
  const std::string replacement = a.Text(2);
  const std::string old_text = a.Text(1);
  const std::string text = a.Text(0);
  const std::string search = ignore_case ? UpperText1252(text) : text;
  const std::string pattern = ignore_case ? UpperText1252(old_text) : old_text;
  return Variant(ReplaceText(text, search, pattern, replacement, replace_all,
                             [](std::size_t size) { CheckTextRoom(size); }));
}

char PadCharacter(const Args& a) {
  if (a.Count() < 3) return ' ';
  const std::string pad = a.Text(2);
  return pad.empty() ? ' ' : pad[0];
}

// The width is a number from the expression, not the length of a text that
// exists: it is checked before that many characters are made.
std::int32_t PadWidth(const Args& a) {
  const std::int32_t width = a.Int(1);
  if (width > 0) CheckTextRoom(static_cast<std::size_t>(width));
  return width;
}

Variant PadL(const Args& a) {
  const char pad = PadCharacter(a);
  const std::int32_t width = PadWidth(a);
  return Variant(PadLeftStr(a.Text(0), width, pad));
}

Variant PadR(const Args& a) {
  const char pad = PadCharacter(a);
  const std::int32_t width = PadWidth(a);
  return Variant(PadRightStr(a.Text(0), width, pad));
}

Variant Chr(const Args& a) {
  const auto code = static_cast<std::uint32_t>(a.Int(0)) & 0xFFu;
  return Variant(std::string(1, static_cast<char>(code)));
}

Variant Upper(const Args& a) {
  std::string text = a.Text(0);
  for (char& c : text) c = UpperAscii(c);
  return Variant(std::move(text));
}

Variant Lower(const Args& a) {
  std::string text = a.Text(0);
  for (char& c : text) c = LowerAscii(c);
  return Variant(std::move(text));
}

Variant Trim(const Args& a) { return Variant(std::string(TrimControl(a.Text(0), true, true))); }
Variant TrimLeft(const Args& a) { return Variant(std::string(TrimControl(a.Text(0), true, false))); }
Variant TrimRight(const Args& a) { return Variant(std::string(TrimControl(a.Text(0), false, true))); }

Variant Pos(const Args& a) {
  const std::string text = a.Text(1);
  const std::string part = a.Text(0);
  if (part.empty() || text.empty()) return Variant(0);
  const std::size_t p = TextSearch<std::string>(part).Find(text);
  return Variant::Integer(p == std::string::npos ? 0 : static_cast<std::int64_t>(p) + 1);
}

Variant Length(const Args& a) { return Variant::Integer(static_cast<std::int64_t>(a.Text(0).size())); }

Variant Ord(const Args& a) {
  const std::string text = a.Text(0);
  return Variant(text.empty() ? 0 : static_cast<std::int32_t>(static_cast<unsigned char>(text[0])));
}

// ---------------------------------------------------------------- conversions

Variant StrToFloatFn(const Args& a) {
  const std::string text = a.Text(0);
  const auto value = ScanFloat(text, RegionalDecimalSyntax(Settings(), false), Underflow::kGivesZero);
  if (!value) ThrowNotValid(text, "floating point value");
  return Variant(*value);
}

Variant StrToIntFn(const Args& a) { return Variant(StrToInt(a.Text(0))); }

Variant StrToDateFn(const Args& a) {
  const std::string text = a.Text(0);
  const auto value = ReadDateText(text, Settings());
  if (!value) ThrowNotValid(text, "date");
  return Variant::DateTime(*value);
}

Variant VarToStrFn(const Args& a) { return Variant(a.Text(0)); }

Variant IntToStr(const Args& a) {
  const Variant value = a.Value(0);
  std::string out;
  AppendInt64(out, value.type() == VarType::kInt64 ? value.AsInt64() : VarToInt(value));
  return Variant(std::move(out));
}

Variant FloatToStr(const Args& a) { return Variant(FloatToText(a.Float(0), Settings())); }

Variant DateToStr(const Args& a) {
  std::string out;
  AppendDate(out, a.Float(0));
  return Variant(std::move(out));
}

// DATETIMEFROMSTRING: a text read by a positional format, whose letters (D,
// M, Y, H, N, S, Z) name the field that the character under them belongs to.
// Separators in the text and the format pull the two into line first, so
// that "1/5/2020" still fits "DD/MM/YYYY".

constexpr std::array<std::string_view, 12> kEnglishShortMonths{"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::array<std::string_view, 12> kEnglishLongMonths{
    "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
    "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

int MonthNumber(const std::string& text, const FormatSettings& fs) {
  if (text.size() <= 2) return StrToInt(text);
  const std::string upper = UpperText1252(text);
  for (std::size_t k = 0; k < 12; ++k) {
    if (upper == kEnglishShortMonths[k] || upper == kEnglishLongMonths[k] ||
        upper == UpperText1252(fs.short_month_names[k]) || upper == UpperText1252(fs.long_month_names[k])) {
      return static_cast<int>(k) + 1;
    }
  }
  return 0;
}

char SeparatorArgument(const Variant& value) {
  return value.IsString() && !value.AsString().empty() ? value.AsString()[0] : ' ';
}

Variant DateTimeFromString(const Args& a) {
  const char second_separator = SeparatorArgument(a.Value(3));
  const char separator = SeparatorArgument(a.Value(2));
  std::string format = a.Text(1);
  std::string text = a.Text(0);
  const FormatSettings& fs = Settings();
  for (char& c : format) c = UpperAscii(c);

  // Without a date separator the text has no date: drop the date section.
  if (text.find(separator) == std::string::npos) {
    const std::size_t space = format.find(' ');
    if (space != std::string::npos && space >= 1) format.erase(0, space + 1);
  }
  const std::string upper_text = UpperText1252(text);
  const bool afternoon = fs.time_pm.empty()
                             ? text.find("PM") != std::string::npos || text.find("pm") != std::string::npos
                             : upper_text.find(UpperText1252(fs.time_pm)) != std::string::npos;
  const bool morning = fs.time_am.empty() ? upper_text.find("AM") != std::string::npos
                                          : upper_text.find(UpperText1252(fs.time_am)) != std::string::npos;

  auto is_separator = [&](char c) {
    return c == '/' || c == ':' || c == ' ' || c == '.' || c == separator || c == second_separator;
  };
  // Where the text has a separator and the format none, the format loses the
  // character at that place; then the other way round.
  auto drop = [&](char guide, char target) { return is_separator(guide) && !is_separator(target); };
  DropAligned(text, format, drop);
  DropAligned(format, text, drop);

  std::string day, month, year, hour, minute, second, millisecond;
  for (std::size_t i = 0; i < text.size() && i < format.size(); ++i) {
    if (is_separator(text[i])) continue;
    switch (format[i]) {
      case 'D': day += text[i]; break;
      case 'M': month += text[i]; break;
      case 'Y': year += text[i]; break;
      case 'H': hour += text[i]; break;
      case 'N': minute += text[i]; break;
      case 'S': second += text[i]; break;
      case 'Z': millisecond += text[i]; break;
      default: break;
    }
  }

  double date = 0;
  if (!day.empty() && !month.empty() && !year.empty()) {
    const int d = StrToInt(day);
    int y = StrToInt(year);
    const int m = MonthNumber(month, fs);
    if (d >= 1 && d <= 31 && m >= 1 && m <= 12) {
      if (y < 100) y = WindowTwoDigitYear(y);
      const auto encoded = EncodeDate(y, m, d);
      if (!encoded) throw EConvertError("Invalid argument to date encode");
      date = *encoded;
    }
  }
  double time = 0;
  if (!hour.empty() && !minute.empty()) {
    int h = StrToInt(hour);
    const int n = StrToInt(minute);
    const int s = second.empty() ? 0 : StrToInt(second);
    const int z = millisecond.empty() || millisecond == "Z" ? 0 : StrToInt(millisecond);
    if (afternoon && h < 12) {
      h += 12;
    } else if (morning && h == 12) {
      h = 0;
    }
    if (h >= 0 && h <= 24 && n >= 0 && n <= 59 && s >= 0 && s <= 59 && z >= 0 && z <= 999) {
      if (h == 24) throw EConvertError("Invalid argument to time encode");
      time = *EncodeTime(h, n, s, z);
    }
  }
  return Variant::DateTime(CombineDateTime(date, time));
}

// ---------------------------------------------------------------- aggregates

Variant Coalesce(const Args& a) {
  for (std::size_t i = 0; i < a.Count(); ++i) {
    Variant value = a.Value(i);
    // Only a string can have an empty text besides null and empty.
    const bool blank = value.IsString() ? value.AsString().empty() : value.IsEmptyOrNull();
    if (!blank) return value;
  }
  return Variant::Null();
}

Variant Max(const Args& a) {
  Variant best(0);
  for (std::size_t i = 0; i < a.Count(); ++i) {
    Variant value = a.Value(i);
    if (CompareValues(best, value) < 0) best = std::move(value);
  }
  return best;
}

Variant Min(const Args& a) {
  Variant best = Variant::Null();
  for (std::size_t i = 0; i < a.Count(); ++i) {
    Variant value = a.Value(i);
    if (best.IsNull() || CompareValues(best, value) > 0) best = std::move(value);
  }
  return best;
}

// By the combination rules, not by the text rule of "+": numeric texts add
// as numbers.
Variant Sum(const Args& a) {
  Variant sum(0);
  for (std::size_t i = 0; i < a.Count(); ++i) sum = CombineValues(sum, a.Value(i), TArithOp::kAdd);
  return sum;
}

Variant Avg(const Args& a) {
  const Variant sum = Sum(a);
  return CombineValues(sum, Variant::Integer(static_cast<std::int64_t>(a.Count())), TArithOp::kDivide);
}

Variant Count(const Args& a) { return Variant::Integer(static_cast<std::int64_t>(a.Count()) - 1); }

// ---------------------------------------------------------------- numbers

Variant Frac(const Args& a) {
  const double x = a.Float(0);
  return Variant(x - std::trunc(x));
}

Variant Int(const Args& a) { return Variant(std::trunc(a.Float(0))); }
Variant Round(const Args& a) { return Variant(RoundToInt32(a.Float(0))); }

Variant Div(const Args& a) {
  const Variant dividend = a.Value(0);
  const Variant divisor = a.Value(1);
  return CombineValues(dividend, divisor, TArithOp::kIntDivide);
}

Variant Mod(const Args& a) {
  const Variant dividend = a.Value(0);
  const Variant divisor = a.Value(1);
  return CombineValues(dividend, divisor, TArithOp::kModulo);
}

// A linear congruential generator; the draw is the upper half of the 64-bit
// product of the new state and the range.
Variant Random(const Args& a) {
  const auto range = static_cast<std::uint32_t>(a.Int(0));
  random_state = random_state * 134775813u + 1u;
  const std::uint64_t product = static_cast<std::uint64_t>(random_state) * range;
  return Variant::Integer(static_cast<std::int64_t>(product >> 32));
}

Variant Abs(const Args& a) { return Variant(std::fabs(a.Float(0))); }

Variant PowerFn(const Args& a) {
  const double base = a.Float(0);
  const double exponent = a.Float(1);
  return Variant(Power(base, exponent));
}

Variant Exp(const Args& a) { return Variant(CheckFloat(std::exp(a.Float(0)))); }

double NaturalLog(double x) {
  if (x == 0) throw EZeroDivide("Floating point division by zero");
  if (x < 0) throw EInvalidOp(kInvalidFloatingPointOperation);
  return CheckFloat(std::log(x));
}

Variant Ln(const Args& a) { return Variant(NaturalLog(a.Float(0))); }
Variant Log(const Args& a) { return Variant(NaturalLog(a.Float(0)) / NaturalLog(10)); }
Variant Sqr(const Args& a) {
  const double x = a.Float(0);
  return Variant(CheckFloat(x * x));
}

Variant Sqrt(const Args& a) {
  const double x = a.Float(0);
  if (x < 0) throw EInvalidOp(kInvalidFloatingPointOperation);
  return Variant(std::sqrt(x));
}

Variant Percent(const Args& a) {
  const Variant value = a.Value(0);
  const Variant percentage = a.Value(1);
  return CombineValues(CombineValues(value, percentage, TArithOp::kMultiply), Variant(100), TArithOp::kDivide);
}

// ---------------------------------------------------------------- condition and predicates

// Only the branch taken is evaluated, so the other need not be written.
Variant Iif(const Args& a) { return a.Bool(0) ? a.Value(1) : a.Value(2); }

Variant IsNull(const Args& a) {
  const Variant value = a.Value(0);
  return Variant(value.IsString() ? value.AsString().empty() : value.IsEmptyOrNull());
}

Variant IsNumeric(const Args& a) {
  const std::string text = a.Text(0);
  const std::string_view t = TrimControl(text, true, true);
  const char separator = Settings().decimal_separator;
  bool separator_seen = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (IsAsciiDigit(c) || (i == 0 && (c == '+' || c == '-'))) continue;
    if (c == separator && !separator_seen) {
      separator_seen = true;
      continue;
    }
    return Variant(false);
  }
  return Variant(true);
}

Variant IsAlpha(const Args& a) {
  const std::string text = a.Text(0);
  if (text.empty()) return Variant(false);
  for (char c : text) {
    if (!IsAlpha1252(static_cast<unsigned char>(c))) return Variant(false);
  }
  return Variant(true);
}

Variant IsContain(const Args& a) {
  const std::string text = a.Text(1);
  const std::string part = a.Text(0);
  return Variant(!part.empty() && TextSearch<std::string>(part).Find(text) != std::string::npos);
}

Variant IsStartsWith(const Args& a) {
  const std::string part = a.Text(0);
  const std::string text = a.Text(1);
  return Variant(std::string_view(text).starts_with(part));
}

Variant IsEndsWith(const Args& a) {
  const std::string part = a.Text(0);
  const std::string text = a.Text(1);
  return Variant(std::string_view(text).ends_with(part));
}

// ---------------------------------------------------------------- dates

Variant DatePart(const Args& a) { return Variant(std::trunc(a.Float(0))); }

Variant TimePart(const Args& a) {
  const double x = a.Float(0);
  return Variant(x - std::trunc(x));
}

// The date-time of the first argument, split into its day and time.  A text
// is read as a date only, so its time of day is midnight.
DayMs DateTimeParts(const Args& a) {
  const Variant value = a.Value(0);
  double when = 0;
  if (value.IsString()) {
    const auto date = ReadDateText(value.AsString(), Settings());
    if (!date) ThrowNotValid(value.AsString(), "date");
    when = *date;
  } else {
    when = VarToDouble(value);
  }
  const auto parts = SplitDateTime(when);
  if (!parts) ThrowInvalidConversion();
  return *parts;
}

Variant Year(const Args& a) { return Variant(DecodeDate(DateTimeParts(a)).year); }
Variant Month(const Args& a) { return Variant(DecodeDate(DateTimeParts(a)).month); }
Variant Day(const Args& a) { return Variant(DecodeDate(DateTimeParts(a)).day); }
Variant Hour(const Args& a) { return Variant(DecodeTime(DateTimeParts(a)).hour); }
Variant Minute(const Args& a) { return Variant(DecodeTime(DateTimeParts(a)).minute); }
Variant Second(const Args& a) { return Variant(DecodeTime(DateTimeParts(a)).second); }

// ---------------------------------------------------------------- the table

constexpr std::array kBuiltins{
    TBuiltinFunction{"GETDATE", Call<Now>, true},
    TBuiltinFunction{"NOW", Call<Now>, true},
    TBuiltinFunction{"SUBSTR", Call<Substr>, false},
    TBuiltinFunction{"SUBSTRING", Call<Substr>, false},
    TBuiltinFunction{"COPY", Call<Substr>, false},
    TBuiltinFunction{"REPLACESTR", Call<ReplaceStr>, false},
    TBuiltinFunction{"PADL", Call<PadL>, false},
    TBuiltinFunction{"PADR", Call<PadR>, false},
    TBuiltinFunction{"CHR", Call<Chr>, false},
    TBuiltinFunction{"UPPER", Call<Upper>, false},
    TBuiltinFunction{"LOWER", Call<Lower>, false},
    TBuiltinFunction{"TRIM", Call<Trim>, false},
    TBuiltinFunction{"TRIMLEFT", Call<TrimLeft>, false},
    TBuiltinFunction{"TRIMRIGHT", Call<TrimRight>, false},
    TBuiltinFunction{"POS", Call<Pos>, false},
    TBuiltinFunction{"LENGTH", Call<Length>, false},
    TBuiltinFunction{"ORD", Call<Ord>, false},
    TBuiltinFunction{"STRTOFLOAT", Call<StrToFloatFn>, false},
    TBuiltinFunction{"STRTOINT", Call<StrToIntFn>, false},
    TBuiltinFunction{"STRTODATE", Call<StrToDateFn>, false},
    TBuiltinFunction{"DATETIMEFROMSTRING", Call<DateTimeFromString>, false},
    TBuiltinFunction{"VARTOSTR", Call<VarToStrFn>, false},
    TBuiltinFunction{"INTTOSTR", Call<IntToStr>, false},
    TBuiltinFunction{"FLOATTOSTR", Call<FloatToStr>, false},
    TBuiltinFunction{"DATETOSTR", Call<DateToStr>, false},
    TBuiltinFunction{"COALESCE", Call<Coalesce>, false},
    TBuiltinFunction{"MAX", Call<Max>, false},
    TBuiltinFunction{"MIN", Call<Min>, false},
    TBuiltinFunction{"SUM", Call<Sum>, false},
    TBuiltinFunction{"AVG", Call<Avg>, false},
    TBuiltinFunction{"COUNT", Call<Count>, false},
    TBuiltinFunction{"FRAC", Call<Frac>, false},
    TBuiltinFunction{"INT", Call<Int>, false},
    TBuiltinFunction{"ROUND", Call<Round>, false},
    TBuiltinFunction{"DIV", Call<Div>, false},
    TBuiltinFunction{"MOD", Call<Mod>, false},
    TBuiltinFunction{"RANDOM", Call<Random>, false},
    TBuiltinFunction{"ABS", Call<Abs>, false},
    TBuiltinFunction{"POWER", Call<PowerFn>, false},
    TBuiltinFunction{"EXP", Call<Exp>, false},
    TBuiltinFunction{"LN", Call<Ln>, false},
    TBuiltinFunction{"LOG", Call<Log>, false},
    TBuiltinFunction{"SQR", Call<Sqr>, false},
    TBuiltinFunction{"SQRT", Call<Sqrt>, false},
    TBuiltinFunction{"PERCENT", Call<Percent>, false},
    TBuiltinFunction{"IIF", Call<Iif>, false},
    TBuiltinFunction{"ISNULL", Call<IsNull>, false},
    TBuiltinFunction{"ISNUMERIC", Call<IsNumeric>, false},
    TBuiltinFunction{"ISALPHA", Call<IsAlpha>, false},
    TBuiltinFunction{"ISCONTAIN", Call<IsContain>, false},
    TBuiltinFunction{"ISSTARTSWITH", Call<IsStartsWith>, false},
    TBuiltinFunction{"ISENDSWITH", Call<IsEndsWith>, false},
    TBuiltinFunction{"DATEPART", Call<DatePart>, false},
    TBuiltinFunction{"TIMEPART", Call<TimePart>, false},
    TBuiltinFunction{"YEAR", Call<Year>, false},
    TBuiltinFunction{"MONTH", Call<Month>, false},
    TBuiltinFunction{"DAY", Call<Day>, false},
    TBuiltinFunction{"HOUR", Call<Hour>, false},
    TBuiltinFunction{"MINUTE", Call<Minute>, false},
    TBuiltinFunction{"SECOND", Call<Second>, false},
};

}  // namespace

const TBuiltinFunction* FindBuiltin(std::string_view name) {
  for (const TBuiltinFunction& entry : kBuiltins) {
    if (EqualsIgnoreAsciiCase(name, entry.Name)) return &entry;
  }
  return nullptr;
}

std::span<const TBuiltinFunction> AllBuiltins() { return kBuiltins; }

std::uint32_t RandomState() { return random_state; }
void SetRandomState(std::uint32_t state) { random_state = state; }

}  // namespace tabdump
