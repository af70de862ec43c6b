// The CSV form of values, for the loaders of other tools (PostgreSQL's COPY,
// DuckDB, pandas): RFC 4180 quoting, NULL as an empty field and an empty text
// as "", ISO 8601 dates and times, numbers with a full stop that read back
// exactly, Booleans as true and false, binary values as \x and hex digits.
// None of it follows the regional settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbisam/field_decoding.h"
#include "dbisam/table_reader.h"
#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace tabdump {

// How a field's values are written, chosen once per run from its type.
enum class CsvKind : std::uint8_t {
  kNumber,     // integers of every width; currency held as an exact amount
  kFloat,      // floating point: the shortest text that reads back the same
  kCurrency,   // a Float or Double holding money: its amount of four places
  kBcd,        // packed decimal: every stored digit, from the record's bytes
  kDate,
  kTime,
  kTimeStamp,
  kBoolean,
  kText,       // strings and memos
  kBinary,     // bytes and BLOBs that are not memos
};

CsvKind CsvKindOf(const TDBISAMFieldInfo& field);

// Whether a BLOB field holds text (memo, formatted memo) rather than bytes.
bool IsMemo(const TDBISAMFieldInfo& field);

// Appends `text` as one CSV field: between double quotes, with inner quotes
// doubled, when it holds the delimiter, a double quote, CR or LF, when it is
// exactly \. (PostgreSQL's end of data), or when it is empty; as it stands
// otherwise.
void AppendCsvText(std::string& out, std::string_view text, std::string_view delimiter);

// Appends a value of any kind but kText (whose text the caller converts and
// quotes).  `raw` are the value's bytes in the record, used by kBcd.
void AppendCsvValue(std::string& out, CsvKind kind, const Variant& value, FieldBytes raw);

// The parts that SQL scripts write the same way.

// A date, time or time stamp (by `kind`) in ISO 8601: 2024-05-01,
// 09:30:00.123 (milliseconds only when not zero), 2024-05-01 09:30:00.  A
// value outside the calendar has no text and appends nothing, as the reader
// gives such stored values as null.
void AppendIsoDateTime(std::string& out, CsvKind kind, double value);
void AppendIsoDateTime(std::string& out, CsvKind kind, const DayMs& parts);

// Two lower-case hex digits per byte.
void AppendHexDigits(std::string& out, std::string_view bytes);

// Every stored digit of a packed decimal, with a full stop.
std::string BcdDigits(FieldBytes raw);

// A double in the shortest form that reads back as the same double; NaN,
// Infinity and -Infinity as the loaders spell them.
void AppendRoundTripDouble(std::string& out, double value);

// A currency amount, which the table holds as a double: the decimal of at
// most four places that the double stands for (900000000000000.125, 0.1,
// -3, zero as 0), trailing zeros of the fraction left out.  A double that no
// such amount is stored as — one with more decimals (0.12345), one beyond
// 64-bit ten-thousandths, NaN or an infinity — is written as
// AppendRoundTripDouble writes it.
void AppendCurrencyAmount(std::string& out, double value);

// A Float or Double from the record, by its column's kind.
void AppendCsvFloat(std::string& out, CsvKind kind, double value);

}  // namespace tabdump
