// Reading values out of text: integers, decimal numbers, dates, times and
// date-times in the regional format (format_settings.h), and the window that
// places two-digit years.  Every part of the program that reads such a value
// from text comes here.  Where callers must read differently (a command-line
// switch accepts "0x", a value coercion accepts thousands separators), the
// difference is an explicit option rather than another copy of the reader.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/format_settings.h"

namespace tabdump {

// Raises EConvertError "'<text>' is not a valid <what>", the message of a
// text that does not hold the value asked for ("integer value", "floating
// point value", "date").
[[noreturn]] void ThrowNotValid(std::string_view text, std::string_view what);

// ---------------------------------------------------------------- integers

struct IntegerSyntax {
  // "0x3B" (or "0X3B") as well as "$3B" introduces hexadecimal digits.
  bool zero_x_prefix = false;
  // A sign may stand before a hexadecimal prefix: "-$3B".
  bool signed_hexadecimal = false;
};

// Leading spaces, then either an optional sign and decimal digits, or a
// hexadecimal prefix and hexadecimal digits; nothing may follow.  A decimal
// value must fit a signed 32-bit integer, a hexadecimal one 32 bits unsigned
// (leading zeros do not count); a sign before hexadecimal digits negates
// their value.  nullopt for any other text.
std::optional<std::int64_t> ScanInteger(std::string_view text, IntegerSyntax syntax = {});

// ScanInteger, with the hexadecimal digits taken as the bit pattern of a
// 32-bit integer: "$FFFFFFFF" is -1.
std::optional<std::int32_t> ScanInt32(std::string_view text, IntegerSyntax syntax = {});

// ---------------------------------------------------------------- decimal numbers

struct DecimalSyntax {
  char decimal_separator = '.';
  // Groups digits before the decimal separator; it may stand only between
  // two digits.  0 allows none.
  char thousands_separator = 0;
  // An exponent ("e" or "E", a sign, digits) may end the number.
  bool exponent = true;
};

// The regional decimal separator, with or without its thousands separator
// (never when the two are the same character).
DecimalSyntax RegionalDecimalSyntax(const FormatSettings& fs, bool thousands_separators);

enum class DecimalRange { kInRange, kTooLarge, kTooSmall };

struct DecimalPrefix {
  double value = 0;  // infinite when too large, zero when too small; signed
  std::size_t length = 0;  // characters read from the start of the text
  DecimalRange range = DecimalRange::kInRange;
};

// The longest decimal number at the very start of `text` (no blanks are
// skipped): an optional sign, digits, the decimal separator and digits (at
// least one digit in all), and the exponent when allowed.  An exponent marker
// without digits is not part of the number.  nullopt when no digit is there.
std::optional<DecimalPrefix> ScanDecimalPrefix(std::string_view text, const DecimalSyntax& syntax);

// What a number too small for a double gives; one too large always fails.
enum class Underflow { kFails, kGivesZero };

// A whole text, spaces and tabs around it allowed, read as one decimal
// number.  nullopt when anything else is there or the value is out of range.
std::optional<double> ScanFloat(std::string_view text, const DecimalSyntax& syntax, Underflow underflow);

// ---------------------------------------------------------------- dates and times

// A year of one or two digits placed in the hundred years that start fifty
// years before the current year (clock.h): in 2026, 76 is 1976 and 75 is
// 2075.  A year outside 0..99 moves by at most one century.
int WindowTwoDigitYear(int year);

// The order in which a date pattern names its fields, as 'Y' (year), 'm'
// (month) and 'd' (day): "dmY" for "%-d.%-m.%Y".  Padding flags ("%-m",
// "%_d") and the E and O modifiers are looked through, "%e" is a day and
// month names are months; each field counts where it first appears.  "Ymd"
// when the pattern does not name all three.
std::array<char, 3> DateFieldOrder(std::string_view pattern);

struct DateSyntax {
  // '/', '-' and '.' also separate the numbers, besides the regional date
  // separator.
  bool common_separators = false;
  // The digits read for one number; a digit after them ends the number.
  int max_digits = 4;
  // The characters trimmed from both ends of the text.
  std::string_view blanks = " ";
};

// A date typed by the user, as STRTODATE reads it: the regional separator
// only, numbers of up to four digits, spaces around the text.
inline constexpr DateSyntax kTypedDate{};
// The lenient reading of a value converted to a date-time.
inline constexpr DateSyntax kConvertedDate{true, 9, " \t"};

// A date alone, the whole text: three numbers in the order of the regional
// short date pattern.  A year of one or two digits goes through
// WindowTwoDigitYear.  nullopt when the text is no valid date.
std::optional<double> ScanDate(std::string_view text, const FormatSettings& fs, const DateSyntax& syntax);

// A date, a time, or a date and a time (blanks or a "T" between them), as a
// value converted to a date-time reads (kConvertedDate).  A time has two or
// three numbers joined by ':' or the regional time separator, an optional
// fraction of a second after the seconds and an optional morning or
// afternoon marker.
std::optional<double> ScanDateTime(std::string_view text, const FormatSettings& fs);

}  // namespace tabdump
