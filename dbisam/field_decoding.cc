#include "dbisam/field_decoding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <string>

#include "dbisam/coding.h"
#include "dbisam/table_format.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"

namespace tabdump {

using namespace dbisam_layout;

namespace {

constexpr CellLook kLeftString{taLeftJustify, ictString};
constexpr CellLook kRightInteger{taRightJustify, ictInteger};
constexpr CellLook kRightDecimal{taRightJustify, ictDecimal};
constexpr CellLook kLeftDateTime{taLeftJustify, ictDateTime};

std::uint64_t Number(FieldBytes bytes) { return DecodeZeroExtended(bytes.data(), bytes.size()); }

}  // namespace

std::uint16_t UsedWidth(std::uint8_t field_type, std::uint16_t physical_size) {
  std::uint16_t limit = physical_size;
  switch (field_type) {
    case kBoolean: limit = 1; break;
    case kDate: case kTime: case kShortInteger: case kInteger: case kUnsignedShortInteger:
    case kUnsignedInteger: case kBlob: limit = 4; break;
    case kFloat: case kTimeStamp: case kLargeInteger: case kUnsignedLargeInteger: limit = 8; break;
    case kBcd: limit = static_cast<std::uint16_t>(kBcdSize); break;
    default: break;
  }
  return std::min(limit, physical_size);
}

ValueKind PlanValueKind(std::uint8_t field_type, std::uint16_t width) {
  switch (field_type) {
    case kString: return ValueKind::kString;
    case kDate: return ValueKind::kDate;
    case kBlob: return ValueKind::kBlob;
    case kBoolean: return ValueKind::kBoolean;
    case kShortInteger: return ValueKind::kShortInteger;
    case kInteger: return ValueKind::kInteger;
    case kUnsignedShortInteger: return ValueKind::kUnsignedShortInteger;
    case kUnsignedInteger: return ValueKind::kUnsignedInteger;
    case kLargeInteger: return ValueKind::kLargeInteger;
    case kUnsignedLargeInteger: return ValueKind::kUnsignedLargeInteger;
    case kFloat: return ValueKind::kFloat;
    case kDouble: return width == 8 ? ValueKind::kFloat : ValueKind::kBytes;
    case kBcd: return ValueKind::kBcd;
    case kTime: return ValueKind::kTime;
    case kTimeStamp: return ValueKind::kTimeStamp;
    default: return ValueKind::kBytes;
  }
}

CellLook SetNullValue(Variant& out) {
  out.SetNull();
  return {taLeftJustify, ictEmpty};
}

std::string_view StringBytes(FieldBytes bytes) {
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  const std::size_t n =
      zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes.data()) : bytes.size();
  return {reinterpret_cast<const char*>(bytes.data()), n};
}

CellLook DecodeString(FieldBytes bytes, Variant& out) {
  const std::string_view text = StringBytes(bytes);
  out.AssignString(text.data(), text.size());
  return kLeftString;
}

CellLook DecodeBytes(FieldBytes bytes, Variant& out) {
  out.AssignString(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return kLeftString;
}

CellLook DecodeBoolean(FieldBytes bytes, Variant& out) {
  if (bytes.empty()) return SetNullValue(out);
  out.SetBoolean(bytes[0] != 0);
  return {taLeftJustify, ictBoolean};
}

std::int64_t IntegerValue(ValueKind kind, FieldBytes bytes) {
  const std::uint64_t v = Number(bytes);
  switch (kind) {
    case ValueKind::kShortInteger: return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    case ValueKind::kInteger: return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    case ValueKind::kUnsignedShortInteger: return static_cast<std::uint16_t>(v);
    case ValueKind::kUnsignedInteger: return static_cast<std::uint32_t>(v);
    default: return static_cast<std::int64_t>(v);
  }
}

CellLook DecodeShortInteger(FieldBytes bytes, Variant& out) {
  out.SetInteger(static_cast<std::int32_t>(IntegerValue(ValueKind::kShortInteger, bytes)));
  return kRightInteger;
}

CellLook DecodeInteger(FieldBytes bytes, Variant& out) {
  out.SetInteger(static_cast<std::int32_t>(IntegerValue(ValueKind::kInteger, bytes)));
  return kRightInteger;
}

CellLook DecodeUnsignedShortInteger(FieldBytes bytes, Variant& out) {
  out.SetInteger(static_cast<std::int32_t>(IntegerValue(ValueKind::kUnsignedShortInteger, bytes)));
  return kRightInteger;
}

CellLook DecodeUnsignedInteger(FieldBytes bytes, Variant& out) {
  out.SetInteger64(IntegerValue(ValueKind::kUnsignedInteger, bytes));
  return kRightInteger;
}

CellLook DecodeLargeInteger(FieldBytes bytes, Variant& out) {
  out.SetInteger64(IntegerValue(ValueKind::kLargeInteger, bytes));
  return kRightInteger;
}

CellLook DecodeUnsignedLargeInteger(FieldBytes bytes, Variant& out) {
  const std::uint64_t v = Number(bytes);
  if (v > static_cast<std::uint64_t>(INT64_MAX)) {
    char digits[20];  // 2^64 - 1 has 20 digits
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, v);
    out.AssignString(digits, static_cast<std::size_t>(end.ptr - digits));
  } else {
    out.SetInteger64(static_cast<std::int64_t>(v));
  }
  return kRightInteger;
}

double FloatValue(FieldBytes bytes) { return std::bit_cast<double>(Number(bytes)); }

CellLook DecodeFloat(FieldBytes bytes, Variant& out) {
  out.SetDouble(FloatValue(bytes));
  return kRightDecimal;
}

CellLook DecodeBcd(FieldBytes bytes, Variant& out) {
  std::array<std::uint8_t, kBcdSize> bcd{};
  std::memcpy(bcd.data(), bytes.data(), std::min(bytes.size(), bcd.size()));
  Currency amount;
  if (BcdToCurrency(BcdBytes(bcd), amount)) {
    out.SetCurrency(amount);
  } else {
    const std::string text = BcdToText(BcdBytes(bcd), Settings().decimal_separator);
    out.AssignString(text.data(), text.size());
  }
  return {taLeftJustify, ictDecimal};
}

std::optional<DayMs> DateValue(FieldBytes bytes) {
  const std::uint64_t v = Number(bytes);
  const std::int64_t day = bytes.size() == 2 ? static_cast<std::int16_t>(static_cast<std::uint16_t>(v))
                                             : static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  // Zero means no date; a day outside 0001-01-01..9999-12-31 has no date-time.
  if (day < kMinDayNumber || day > kMaxDayNumber) return std::nullopt;
  return DayMs{static_cast<std::int32_t>(day), 0};
}

CellLook DecodeDate(FieldBytes bytes, Variant& out) {
  const std::optional<DayMs> date = DateValue(bytes);
  if (!date) return SetNullValue(out);
  out.SetDateTime(DateTimeFromDayMs(date->day_number, 0));
  return kLeftDateTime;
}

namespace {

double TimeFraction(FieldBytes bytes) {
  return static_cast<double>(static_cast<std::uint32_t>(Number(bytes))) / static_cast<double>(kMsPerDay);
}

}  // namespace

CellLook DecodeTime(FieldBytes bytes, Variant& out) {
  out.SetDateTime(TimeFraction(bytes));
  return kLeftDateTime;
}

std::optional<DayMs> TimeValue(FieldBytes bytes) { return SplitDateTime(TimeFraction(bytes)); }

std::optional<DayMs> TimeStampValue(FieldBytes bytes) {
  const double ms = RoundHalfEven(std::bit_cast<double>(Number(bytes)));
  // Checked as a double first, so that the conversion to an integer below
  // cannot overflow (nor meet a NaN).
  const double limit = static_cast<double>(kMaxDayNumber + 1LL) * static_cast<double>(kMsPerDay);
  if (!(ms >= 0 && ms < limit)) return std::nullopt;
  const auto total = static_cast<std::int64_t>(ms);
  const std::int64_t day = total / kMsPerDay;
  if (day < kMinDayNumber) return std::nullopt;
  return DayMs{static_cast<std::int32_t>(day), static_cast<std::int32_t>(total % kMsPerDay)};
}

CellLook DecodeTimeStamp(FieldBytes bytes, Variant& out) {
  const std::optional<DayMs> stamp = TimeStampValue(bytes);
  if (!stamp) return SetNullValue(out);
  out.SetDateTime(DateTimeFromDayMs(stamp->day_number, stamp->ms));
  return kLeftDateTime;
}

std::int64_t DecodeBlobReference(FieldBytes bytes) {
  if (bytes.empty()) return 0;
  // Widened before the sign is dropped: -2^31 turns into 2^31 without overflow.
  std::int64_t block = static_cast<std::int32_t>(static_cast<std::uint32_t>(Number(bytes)));
  // A negative number names the same block as its magnitude.
  if (block < 0) block = -block;
  return block;
}

CellLook DecodeFieldValue(ValueKind kind, FieldBytes bytes, Variant& out) {
  switch (kind) {
    case ValueKind::kString: return DecodeString(bytes, out);
    case ValueKind::kBoolean: return DecodeBoolean(bytes, out);
    case ValueKind::kShortInteger: return DecodeShortInteger(bytes, out);
    case ValueKind::kInteger: return DecodeInteger(bytes, out);
    case ValueKind::kUnsignedShortInteger: return DecodeUnsignedShortInteger(bytes, out);
    case ValueKind::kUnsignedInteger: return DecodeUnsignedInteger(bytes, out);
    case ValueKind::kLargeInteger: return DecodeLargeInteger(bytes, out);
    case ValueKind::kUnsignedLargeInteger: return DecodeUnsignedLargeInteger(bytes, out);
    case ValueKind::kFloat: return DecodeFloat(bytes, out);
    case ValueKind::kBcd: return DecodeBcd(bytes, out);
    case ValueKind::kDate: return DecodeDate(bytes, out);
    case ValueKind::kTime: return DecodeTime(bytes, out);
    case ValueKind::kTimeStamp: return DecodeTimeStamp(bytes, out);
    case ValueKind::kBytes: case ValueKind::kBlob: break;
  }
  return DecodeBytes(bytes, out);
}

}  // namespace tabdump
