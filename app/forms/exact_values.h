// Values written exactly, as the loaders of other tools read them: what the
// CSV and SQL forms share.  ISO 8601 dates and times, hex bytes, every digit
// of a packed decimal, doubles that read back the same, currency amounts to
// four places.  None of it follows the regional settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbisam/field_decoding.h"
#include "dbisam/field_kind.h"
#include "runtime/datetime.h"

namespace tabdump {

// A Date, Time or Time Stamp (by `kind`) in ISO 8601: 2024-05-01,
// 09:30:00.123 (milliseconds only when not zero), 2024-05-01 09:30:00.  A
// Time shows its time of day alone.
void AppendIsoDateTime(std::string& out, FieldKind kind, const DayMs& parts);

// Two lower-case hex digits per byte.
void AppendHexDigits(std::string& out, std::string_view bytes);

// Every stored digit of a packed decimal, with a full stop.
std::string BcdDigits(FieldBytes raw);

// A double in the shortest form that reads back as the same double; NaN,
// Infinity and -Infinity as the loaders spell them.
void AppendRoundTripDouble(std::string& out, double value);

// A currency amount: the stored double's decimal of at most four places
// (900000000000000.125, not the shortest text 900000000000000.1) when it
// reads back as that double, else the shortest text, as for a Float.
void AppendCurrencyAmount(std::string& out, double value);

// An unsigned 64-bit value's decimal digits.
void AppendUnsigned64(std::string& out, std::uint64_t value);

}  // namespace tabdump
