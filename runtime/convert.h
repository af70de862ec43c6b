// Conversions between values and text, and between value kinds.  They follow
// the regional settings in force (format_settings.h).  A conversion that
// cannot be made raises EVariantError "Invalid variant type conversion".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/currency.h"
#include "runtime/datetime.h"
#include "runtime/format_settings.h"
#include "runtime/variant.h"

namespace tabdump {

// --- Values to text.  The Append forms write into a caller's buffer so that a
// line can be built without allocating per value.
void AppendInt64(std::string& out, std::int64_t value);
// A count for people: 1204 as "1,204".
std::string GroupedCount(std::int64_t value);
// "1 BLOB value" / "1,204 BLOB values".
std::string Counted(std::int64_t count, std::string_view one, std::string_view many);
// Up to 15 significant digits; no trailing zeros; the locale's decimal
// separator; exponent form only for very large or very small magnitudes.
void AppendDouble(std::string& out, double value, const FormatSettings& fs = Settings());
// Up to four decimals, trailing zeros dropped.
void AppendCurrency(std::string& out, Currency value, const FormatSettings& fs = Settings());
// The locale's short date, a space and its time format; the date alone at
// midnight, the time alone on 1899-12-30.  Years always have four digits.
// Raises EVariantError when the value lies outside 0001-01-01..9999-12-31.
void AppendDateTime(std::string& out, double value, const FormatSettings& fs = Settings());
// The same from a day and its milliseconds, for values that are stored so.
void AppendDateTime(std::string& out, const DayMs& parts, const FormatSettings& fs = Settings());
void AppendDate(std::string& out, double value, const FormatSettings& fs = Settings());
void AppendTime(std::string& out, double value, const FormatSettings& fs = Settings());
// Text of any value: empty and Null give the empty text, a string itself,
// a Boolean -1 or 0.
void AppendVarText(std::string& out, const Variant& value, const FormatSettings& fs = Settings());

std::string VarToText(const Variant& value);

// --- Text to values, in the locale's format, as values are converted
// (text_scan.h reads them).  nullopt when the text does not read as the
// wanted kind.
// Optional blanks, sign, digits (thousands separators between them allowed),
// decimal separator, exponent.
std::optional<double> TextToDouble(std::string_view text, const FormatSettings& fs = Settings());
// "True"/"False" in any letter case, or a number (true when not zero).
std::optional<bool> TextToBool(std::string_view text, const FormatSettings& fs = Settings());
// A date in the order of the short date format, a time, or a date and a time.
std::optional<double> TextToDateTime(std::string_view text, const FormatSettings& fs = Settings());

// --- Value to value.
// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double value);
// Rounded as above; EInvalidOp "Invalid floating point operation" outside the
// 32-bit range.
std::int32_t RoundToInt32(double value);

std::int32_t VarToInt(const Variant& value);
// Like VarToInt, but keeps 64-bit integers whole.
std::int64_t VarToInt64(const Variant& value);
double VarToDouble(const Variant& value);
bool VarToBool(const Variant& value);
double VarToDateTime(const Variant& value);
Currency VarToCurrency(const Variant& value);
double CurrencyToDouble(Currency value);
// The count of ten-thousandths nearest to the double's exact binary value,
// halves to the even neighbour, worked out in integers so that nothing
// rounds on the way; nullopt for NaN, the infinities and values whose count
// does not fit a signed 64-bit integer.  Currency fields hold their amounts
// as doubles: this is the amount a stored double stands for, when it is one.
std::optional<Currency> NearestCurrency(double value);
// The same amount as text, without the 64-bit limit: the digits with a full
// stop, no trailing zeros of the fraction, no point for a whole amount and no
// sign for zero (900000000000000.125, 0.1, -3, 0).  False, with nothing
// appended, for NaN, the infinities and from 2^52 on.
bool AppendNearestFourPlaces(std::string& out, double value);

[[noreturn]] void ThrowInvalidConversion();

}  // namespace tabdump
