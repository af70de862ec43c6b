// Decoding the value bytes of one field into a cell value.
//
// Each kind of value has a small function of its own.  The table reader
// works out once per load which one a field needs (PlanValueKind) and how
// many value bytes it uses (UsedWidth), checks then that those bytes lie
// inside the record, and from there on hands each function exactly the
// field's value bytes.  A function reads nothing outside the bytes it is
// given: multi-byte numbers go through DecodeZeroExtended (dbisam/coding.h),
// so a field narrower than its type reads as if zero-extended.
//
// BLOB fields hold only the number of the first block of a chain in the BLOB
// file; DecodeBlobReference gives that number, and the BLOB file reader
// (dbisam/blob_file.h) fetches the contents.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "cells/cell_model.h"
#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace tabdump {

using FieldBytes = std::span<const std::uint8_t>;

// How a decoded value shows as a cell.
struct CellLook {
  TAlignment alignment;
  TZelCellType cell_type;
};

// The ways of decoding a field, one per function below.
enum class ValueKind : std::uint8_t {
  kString, kBytes, kBoolean, kShortInteger, kInteger, kUnsignedShortInteger, kUnsignedInteger,
  kLargeInteger, kUnsignedLargeInteger, kFloat, kBcd, kDate, kTime, kTimeStamp, kBlob,
};

// The number of value bytes a field type uses; the rest of a larger
// PhysicalSize is ignored.
std::uint16_t UsedWidth(std::uint8_t field_type, std::uint16_t physical_size);

// How a field of `field_type` with `width` used value bytes is decoded.
// Types without a decoding of their own give their bytes unchanged, and so
// does a Double that is not 8 bytes wide.
ValueKind PlanValueKind(std::uint8_t field_type, std::uint16_t width);

// The null value, shown as an empty cell.
CellLook SetNullValue(Variant& out);

// The bytes before the first zero byte (all of them when there is none).
CellLook DecodeString(FieldBytes bytes, Variant& out);
// All the bytes, unchanged.
CellLook DecodeBytes(FieldBytes bytes, Variant& out);
// True when the first byte is not zero; null without bytes.
CellLook DecodeBoolean(FieldBytes bytes, Variant& out);

// The integer types, each by its width and signedness.  An unsigned large
// integer above the range of a signed one comes out as its decimal digits.
CellLook DecodeShortInteger(FieldBytes bytes, Variant& out);
CellLook DecodeInteger(FieldBytes bytes, Variant& out);
CellLook DecodeUnsignedShortInteger(FieldBytes bytes, Variant& out);
CellLook DecodeUnsignedInteger(FieldBytes bytes, Variant& out);
CellLook DecodeLargeInteger(FieldBytes bytes, Variant& out);
CellLook DecodeUnsignedLargeInteger(FieldBytes bytes, Variant& out);

// An IEEE 754 double (Float, currency Float, and an 8-byte Double).
CellLook DecodeFloat(FieldBytes bytes, Variant& out);

// A packed decimal (at most kBcdSize bytes; missing ones count as zero): a
// currency value when it fits one, else its exact decimal text written with
// the decimal separator of the settings.
CellLook DecodeBcd(FieldBytes bytes, Variant& out);

// A day number (0001-01-01 is day 1), 16-bit signed in a 2-byte field; null
// for 0 and for any day outside 0001-01-01 to 9999-12-31.
CellLook DecodeDate(FieldBytes bytes, Variant& out);
// Unsigned milliseconds since midnight, as a fraction of a day.
CellLook DecodeTime(FieldBytes bytes, Variant& out);
// A double count of milliseconds since the start of day 0, rounded half to
// even; null unless its day lies between 0001-01-01 and 9999-12-31.
CellLook DecodeTimeStamp(FieldBytes bytes, Variant& out);

// The same values without a Variant, for callers that format them from the
// record themselves; the decoders above are made of these.
//
// A String's bytes: those before the first zero byte.
std::string_view StringBytes(FieldBytes bytes);
// The value of a Short Integer, Integer, Unsigned Short, Unsigned Integer or
// Large Integer field (`kind`); an Unsigned Large Integer gives its bit
// pattern.
std::int64_t IntegerValue(ValueKind kind, FieldBytes bytes);
double FloatValue(FieldBytes bytes);
// A Date's or a Time Stamp's day and milliseconds; nullopt where the decoders
// above give null.
std::optional<DayMs> DateValue(FieldBytes bytes);
std::optional<DayMs> TimeStampValue(FieldBytes bytes);
// A Time's milliseconds as the day and milliseconds of the date-time the
// decoder above gives (1899-12-30 plus the time; a value of 24 hours or more
// reaches into the days after).
std::optional<DayMs> TimeValue(FieldBytes bytes);

// The first block of a BLOB chain: the signed block number made positive, so
// at most 2^31; 0 when the field has no bytes or the number is 0.
std::int64_t DecodeBlobReference(FieldBytes bytes);

// Decodes by `kind`, which must not be kBlob: the contents of a BLOB come
// from the BLOB file, which only the table reader holds.
CellLook DecodeFieldValue(ValueKind kind, FieldBytes bytes, Variant& out);

}  // namespace tabdump
