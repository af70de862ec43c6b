#include "runtime/convert.h"

#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "runtime/ascii_case.h"
#include "runtime/datetime.h"
#include "runtime/exceptions.h"
#include "runtime/text_scan.h"

namespace tabdump {

void ThrowInvalidConversion() { throw EVariantError(kInvalidVariantTypeConversion); }

// ---------------------------------------------------------------- to text

std::string GroupedCount(std::int64_t value) {
  const bool negative = value < 0;
  std::string digits = std::to_string(value);
  if (negative) digits.erase(0, 1);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return negative ? "-" + out : out;
}

std::string Counted(std::int64_t count, std::string_view one, std::string_view many) {
  return GroupedCount(count).append(" ").append(count == 1 ? one : many);
}

void AppendInt64(std::string& out, std::int64_t value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, static_cast<std::size_t>(end - buf));
}

namespace {

constexpr double kExactPowersOf10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};

// Values with a few decimals, the usual content of tables, written without
// the general algorithm: the digits N and the scale k are right when N / 10^k
// gives back exactly the same double, since a decimal of at most 15 digits
// that rounds to the value is what 15 significant digits show.
bool AppendShortDecimal(std::string& out, double value, char point) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-4 && magnitude < 1e15)) return false;
  for (int k = 0; k <= 6; ++k) {
    const double scaled = magnitude * kExactPowersOf10[k];
    if (scaled >= 1e15) return false;
    const double n = std::nearbyint(scaled);
    if (n / kExactPowersOf10[k] != magnitude) continue;
    auto digits = static_cast<std::uint64_t>(n);
    char buf[24];
    char* end = buf + sizeof buf;
    char* p = end;
    for (int i = 0; i < k; ++i) {
      *--p = static_cast<char>('0' + digits % 10);
      digits /= 10;
    }
    if (k > 0) *--p = point;
    do {
      *--p = static_cast<char>('0' + digits % 10);
      digits /= 10;
    } while (digits != 0);
    if (value < 0) *--p = '-';
    out.append(p, static_cast<std::size_t>(end - p));
    return true;
  }
  return false;
}

}  // namespace

void AppendDouble(std::string& out, double value, const FormatSettings& fs) {
  if (value == 0) {
    out += '0';  // no "-0"
    return;
  }
  if (AppendShortDecimal(out, value, fs.decimal_separator)) return;
  if (std::isnan(value)) {
    out += "NAN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
    return;
  }
  char buf[40];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  for (char* p = buf; p != end; ++p) {
    if (*p == '.') *p = fs.decimal_separator;
    if (*p == 'e') *p = 'E';
  }
  out.append(buf, static_cast<std::size_t>(end - buf));
}

void AppendCurrency(std::string& out, Currency value, const FormatSettings& fs) {
  // The magnitude as unsigned, so that the most negative amount works too.
  std::uint64_t magnitude = value.units < 0 ? 0 - static_cast<std::uint64_t>(value.units)
                                            : static_cast<std::uint64_t>(value.units);
  if (value.units < 0) out += '-';
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude / 10000);
  out.append(buf, static_cast<std::size_t>(end - buf));
  unsigned fraction = static_cast<unsigned>(magnitude % 10000);
  if (fraction == 0) return;
  char digits[4];
  for (int i = 3; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  int count = 4;
  while (digits[count - 1] == '0') --count;
  out += fs.decimal_separator;
  out.append(digits, static_cast<std::size_t>(count));
}

namespace {

// "00" to "99", so that two digits cost one copy.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* PutTwo(char* p, int value) {
  std::memcpy(p, kDigitPairs + 2 * value, 2);
  return p + 2;
}

// At least `width` digits (1, 2 or 4) of a value from 0 to 9999.
char* PutPadded(char* p, int value, int width) {
  if (width == 4 || value >= 100) {
    p = PutTwo(p, value / 100);
    return PutTwo(p, value % 100);
  }
  if (width == 1 && value < 10) {
    *p = static_cast<char>('0' + value);
    return p + 1;
  }
  return PutTwo(p, value);
}

// Dates formatted before, by day number, for a pattern whose text depends on
// the date alone.  Direct-mapped: a day takes the slot of its number modulo
// the size, so dates that cluster (a table's years) mostly find their text.
class DayTextCache {
 public:
  std::string_view Find(std::int32_t day) const {
    if (!slots_) return {};
    const Slot& slot = slots_[static_cast<std::size_t>(day) % kSlots];
    return slot.day == day ? std::string_view(slot.text, slot.size) : std::string_view();
  }
  void Store(std::int32_t day, std::string_view text) {
    if (text.empty() || text.size() > sizeof(Slot::text)) return;
    if (!slots_) slots_ = std::make_unique<Slot[]>(kSlots);
    Slot& slot = slots_[static_cast<std::size_t>(day) % kSlots];
    slot.day = day;
    slot.size = static_cast<std::uint8_t>(text.size());
    std::memcpy(slot.text, text.data(), text.size());
  }
  void Clear() { slots_.reset(); }

 private:
  static constexpr std::size_t kSlots = 8192;
  struct Slot {
    std::int32_t day = 0;  // no day number is 0
    std::uint8_t size = 0;
    char text[19];
  };
  std::unique_ptr<Slot[]> slots_;  // made on first use
};

// A strftime-style pattern taken apart once, so that formatting a value is a
// walk over its parts.
struct CompiledPattern {
  struct Part {
    char conversion;      // 0 for literal text
    std::string literal;
    bool shortest = false;  // "%-x": no padding; "%-p" the marker's first character
  };
  std::string source;
  std::vector<Part> parts;
  bool numbers_of_the_date = false;  // only year, month, day and literals
  DayTextCache days;                 // when numbers_of_the_date
};

void Compile(CompiledPattern& compiled, const std::string& pattern) {
  compiled.source = pattern;
  compiled.parts.clear();
  std::string literal;
  auto flush = [&] {
    if (!literal.empty()) compiled.parts.push_back({0, literal});
    literal.clear();
  };
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      literal += pattern[i];
      continue;
    }
    char c = pattern[++i];
    if (c == '%') {
      literal += '%';
      continue;
    }
    const bool shortest = c == '-' && i + 1 < pattern.size();
    if (shortest) c = pattern[++i];
    flush();
    compiled.parts.push_back({c, {}, shortest});
  }
  flush();
  compiled.numbers_of_the_date = true;
  for (const auto& part : compiled.parts) {
    if (part.conversion != 0 && std::string_view("Yymde").find(part.conversion) == std::string_view::npos) {
      compiled.numbers_of_the_date = false;
    }
  }
  compiled.days.Clear();
}

CompiledPattern& CompiledFor(const std::string& pattern, CompiledPattern& cache) {
  if (cache.source != pattern || (cache.parts.empty() && !pattern.empty())) Compile(cache, pattern);
  return cache;
}

// Formats into a buffer on the stack and appends once; a text that would not
// fit (very long month names or markers) goes straight into `out` instead.
class PatternWriter {
 public:
  explicit PatternWriter(std::string& out) : out_(out) {}
  ~PatternWriter() { Flush(); }
  char* Reserve(std::size_t n) {
    if (used_ + n > sizeof buf_) Flush();
    return buf_ + used_;
  }
  void Commit(char* end) { used_ = static_cast<std::size_t>(end - buf_); }
  void Text(std::string_view text) {
    if (text.size() > sizeof buf_ / 2) {
      Flush();
      out_ += text;
      return;
    }
    char* p = Reserve(text.size());
    std::memcpy(p, text.data(), text.size());
    Commit(p + text.size());
  }
  void Flush() {
    out_.append(buf_, used_);
    used_ = 0;
  }

 private:
  std::string& out_;
  char buf_[96];
  std::size_t used_ = 0;
};

void AppendPattern(PatternWriter& w, const CompiledPattern& pattern, const Date& d, const TimeOfDay& t,
                   const FormatSettings& fs) {
  for (const auto& part : pattern.parts) {
    if (part.conversion == 0) {
      w.Text(part.literal);
      continue;
    }
    char* p = w.Reserve(4);
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    const int width = part.shortest ? 1 : 2;
    switch (part.conversion) {
      case 'Y': case 'y': p = PutPadded(p, d.year, 4); break;
      case 'm': p = PutPadded(p, d.month, width); break;
      case 'd': p = PutPadded(p, d.day, width); break;
      case 'e': p = PutPadded(p, d.day, 1); break;
      case 'H': p = PutPadded(p, t.hour, width); break;
      case 'k': p = PutPadded(p, t.hour, 1); break;
      case 'I': p = PutPadded(p, hour12, width); break;
      case 'l': p = PutPadded(p, hour12, 1); break;
      case 'M': p = PutPadded(p, t.minute, width); break;
      case 'S': p = PutPadded(p, t.second, width); break;
      case 'b': case 'h': w.Text(fs.short_month_names[static_cast<std::size_t>(d.month - 1)]); continue;
      case 'B': w.Text(fs.long_month_names[static_cast<std::size_t>(d.month - 1)]); continue;
      case 'p': case 'P': {
        const std::string& marker = t.hour < 12 ? fs.time_am : fs.time_pm;
        w.Text(part.shortest ? marker.substr(0, 1) : marker);
        continue;
      }
      default: continue;  // conversions that carry no part of a date-time
    }
    w.Commit(p);
  }
}

CompiledPattern& ShortDatePattern(const FormatSettings& fs) {
  thread_local CompiledPattern cache;
  return CompiledFor(fs.short_date_format, cache);
}

void AppendDatePattern(PatternWriter& w, const Date& d, const TimeOfDay& t, const FormatSettings& fs) {
  AppendPattern(w, ShortDatePattern(fs), d, t, fs);
}

// The date of a date-time in the short date format, from the cache of days
// where the format allows.
void AppendDateOfDay(PatternWriter& w, const DayMs& parts, const FormatSettings& fs) {
  CompiledPattern& pattern = ShortDatePattern(fs);
  if (!pattern.numbers_of_the_date) {
    AppendPattern(w, pattern, DecodeDate(parts), DecodeTime(parts), fs);
    return;
  }
  const std::string_view known = pattern.days.Find(parts.day_number);
  if (!known.empty()) {
    w.Text(known);
    return;
  }
  std::string text;
  {
    PatternWriter fresh(text);
    AppendPattern(fresh, pattern, DecodeDate(parts), TimeOfDay{}, fs);
  }
  pattern.days.Store(parts.day_number, text);
  w.Text(text);
}

void AppendTimePattern(PatternWriter& w, const Date& d, const TimeOfDay& t, const FormatSettings& fs) {
  thread_local CompiledPattern cache;
  AppendPattern(w, CompiledFor(fs.time_format, cache), d, t, fs);
}

DayMs SplitOrThrow(double value) {
  auto parts = SplitDateTime(value);
  if (!parts) ThrowInvalidConversion();
  return *parts;
}

}  // namespace

void AppendDate(std::string& out, double value, const FormatSettings& fs) {
  DayMs parts = SplitOrThrow(value);
  PatternWriter w(out);
  AppendDatePattern(w, DecodeDate(parts), TimeOfDay{}, fs);
}

void AppendTime(std::string& out, double value, const FormatSettings& fs) {
  DayMs parts = SplitOrThrow(value);
  PatternWriter w(out);
  AppendTimePattern(w, Date{}, DecodeTime(parts), fs);
}

void AppendDateTime(std::string& out, double value, const FormatSettings& fs) {
  AppendDateTime(out, SplitOrThrow(value), fs);
}

void AppendDateTime(std::string& out, const DayMs& parts, const FormatSettings& fs) {
  const bool has_date = parts.day_number != kDateDelta;
  const bool has_time = parts.ms != 0;
  PatternWriter w(out);
  if (has_date) AppendDateOfDay(w, parts, fs);
  if (has_date && has_time) {
    char* p = w.Reserve(1);
    *p = ' ';
    w.Commit(p + 1);
  }
  // Midnight of 1899-12-30 is the time-of-day value zero: write it as a time.
  if (has_time || !has_date) AppendTimePattern(w, DecodeDate(parts), DecodeTime(parts), fs);
}

void AppendVarText(std::string& out, const Variant& value, const FormatSettings& fs) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull: return;
    case VarType::kString: out += value.AsString(); return;
    case VarType::kInteger: AppendInt64(out, value.AsInteger()); return;
    case VarType::kInt64: AppendInt64(out, value.AsInt64()); return;
    case VarType::kDouble: AppendDouble(out, value.AsDouble(), fs); return;
    case VarType::kCurrency: AppendCurrency(out, value.AsCurrency(), fs); return;
    case VarType::kDateTime: AppendDateTime(out, value.AsDateTime(), fs); return;
    case VarType::kBoolean: out += value.AsBoolean() ? "-1" : "0"; return;
  }
}

std::string VarToText(const Variant& value) {
  if (value.IsString()) return value.AsString();
  std::string out;
  AppendVarText(out, value);
  return out;
}

// ---------------------------------------------------------------- from text

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<double> TextToDouble(std::string_view text, const FormatSettings& fs) {
  return ScanFloat(text, RegionalDecimalSyntax(fs, true), Underflow::kFails);
}

std::optional<bool> TextToBool(std::string_view text, const FormatSettings& fs) {
  std::string_view t = TrimBlanks(text);
  if (EqualsIgnoreAsciiCase(t, "true")) return true;
  if (EqualsIgnoreAsciiCase(t, "false")) return false;
  if (auto number = TextToDouble(t, fs)) return *number != 0;
  return std::nullopt;
}

std::optional<double> TextToDateTime(std::string_view text, const FormatSettings& fs) {
  return ScanDateTime(text, fs);
}

// ---------------------------------------------------------------- between kinds

double RoundHalfEven(double value) { return std::nearbyint(value); }

std::int32_t RoundToInt32(double value) {
  const double r = RoundHalfEven(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw EInvalidOp(kInvalidFloatingPointOperation);
  return static_cast<std::int32_t>(r);
}

double CurrencyToDouble(Currency value) {
  return static_cast<double>(value.units) / static_cast<double>(Currency::kScale);
}

namespace {

__extension__ typedef unsigned __int128 WideUnsigned;

// The count of ten-thousandths nearest to |value|'s exact binary value,
// halves to the even neighbour; nullopt for NaN, the infinities and from
// 2^52 on, where a double holds whole numbers only and the count would need
// more than 128 bits.
std::optional<WideUnsigned> NearestTenThousandths(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  // |value| = mantissa * 2^exponent, the mantissa below 2^53 (frexp gives a
  // fraction in [0.5, 1), which 2^53 makes whole without rounding).
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(value), &exponent);
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  exponent -= 53;
  if (exponent >= 0) return std::nullopt;
  // mantissa * 10^4 < 2^67: exact in 128 bits.
  const WideUnsigned scaled = static_cast<WideUnsigned>(mantissa) * static_cast<WideUnsigned>(Currency::kScale);
  WideUnsigned units = 0;
  if (exponent > -100) {
    const int shift = -exponent;
    units = scaled >> shift;
    const WideUnsigned rest = scaled - (units << shift);
    const WideUnsigned half = static_cast<WideUnsigned>(1) << (shift - 1);
    if (rest > half || (rest == half && (units & 1) != 0)) ++units;
  }
  // Below 2^-99 the value is far below half a ten-thousandth: zero.
  return units;
}

}  // namespace

std::optional<Currency> NearestCurrency(double value) {
  const std::optional<WideUnsigned> units = NearestTenThousandths(value);
  if (!units || *units > static_cast<WideUnsigned>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
  const auto magnitude = static_cast<std::int64_t>(*units);
  return Currency{std::signbit(value) ? -magnitude : magnitude};
}

bool AppendNearestFourPlaces(std::string& out, double value) {
  std::optional<WideUnsigned> units = NearestTenThousandths(value);
  if (!units) return false;
  char digits[48];  // 2^66 has 20 digits
  int count = 0;
  for (WideUnsigned rest = *units; rest != 0 || count < 5; rest /= 10) digits[count++] = static_cast<char>('0' + static_cast<int>(rest % 10));
  // digits[] holds the count from its last digit on; the last four are the
  // fraction, whose trailing zeros are dropped.
  int fraction_end = 0;
  while (fraction_end < 4 && digits[fraction_end] == '0') ++fraction_end;
  if (std::signbit(value) && *units != 0) out += '-';
  for (int i = count - 1; i >= 4; --i) out += digits[i];
  if (fraction_end < 4) {
    out += '.';
    for (int i = 3; i >= fraction_end; --i) out += digits[i];
  }
  return true;
}

double VarToDouble(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty: return 0;
    case VarType::kNull: ThrowInvalidConversion();
    case VarType::kInteger: return value.AsInteger();
    case VarType::kInt64: return static_cast<double>(value.AsInt64());
    case VarType::kDouble: return value.AsDouble();
    case VarType::kDateTime: return value.AsDateTime();
    case VarType::kCurrency: return CurrencyToDouble(value.AsCurrency());
    case VarType::kBoolean: return value.AsBoolean() ? -1 : 0;
    case VarType::kString: {
      auto number = TextToDouble(value.AsString());
      if (!number) ThrowInvalidConversion();
      return *number;
    }
  }
  ThrowInvalidConversion();
}

std::int64_t VarToInt64(const Variant& value) {
  switch (value.type()) {
    case VarType::kInteger: return value.AsInteger();
    case VarType::kInt64: return value.AsInt64();
    case VarType::kCurrency: {
      // Rounded to the nearest whole amount, halves to even.
      const std::int64_t units = value.AsCurrency().units;
      std::int64_t whole = units / 10000, rest = units % 10000;
      if (rest > 5000 || (rest == 5000 && whole % 2 != 0)) ++whole;
      if (rest < -5000 || (rest == -5000 && whole % 2 != 0)) --whole;
      return whole;
    }
    default: {
      const double r = RoundHalfEven(VarToDouble(value));
      if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) {
        throw EInvalidOp(kInvalidFloatingPointOperation);
      }
      return static_cast<std::int64_t>(r);
    }
  }
}

std::int32_t VarToInt(const Variant& value) {
  if (value.type() == VarType::kInteger) return value.AsInteger();
  if (value.type() == VarType::kInt64 || value.type() == VarType::kCurrency) {
    const std::int64_t v = VarToInt64(value);
    if (v < INT32_MIN || v > INT32_MAX) throw EInvalidOp(kInvalidFloatingPointOperation);
    return static_cast<std::int32_t>(v);
  }
  return RoundToInt32(VarToDouble(value));
}

bool VarToBool(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty: return false;
    case VarType::kNull: ThrowInvalidConversion();
    case VarType::kBoolean: return value.AsBoolean();
    case VarType::kInteger: return value.AsInteger() != 0;
    case VarType::kInt64: return value.AsInt64() != 0;
    case VarType::kCurrency: return value.AsCurrency().units != 0;
    case VarType::kDouble: return value.AsDouble() != 0;
    case VarType::kDateTime: return value.AsDateTime() != 0;
    case VarType::kString: {
      auto b = TextToBool(value.AsString());
      if (!b) ThrowInvalidConversion();
      return *b;
    }
  }
  ThrowInvalidConversion();
}

double VarToDateTime(const Variant& value) {
  switch (value.type()) {
    case VarType::kDateTime: return value.AsDateTime();
    case VarType::kString: {
      auto dt = TextToDateTime(value.AsString());
      if (!dt) ThrowInvalidConversion();
      return *dt;
    }
    default: return VarToDouble(value);
  }
}

Currency VarToCurrency(const Variant& value) {
  if (value.type() == VarType::kCurrency) return value.AsCurrency();
  if (value.IsIntegerKind()) {
    const std::int64_t v = VarToInt64(value);
    if (v > INT64_MAX / 10000 || v < INT64_MIN / 10000) ThrowInvalidConversion();
    return Currency{v * 10000};
  }
  const double scaled = RoundHalfEven(VarToDouble(value) * 10000.0);
  if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) ThrowInvalidConversion();
  return Currency{static_cast<std::int64_t>(scaled)};
}

}  // namespace tabdump
