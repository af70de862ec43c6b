#include "app/csv_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "cells/cell_model.h"
#include "dbisam/table_format.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"

namespace tabdump {
namespace {

using namespace dbisam_layout;

// Sub-type codes of BLOB fields that hold text.
constexpr std::uint8_t kMemoSubType = 22;
constexpr std::uint8_t kFormattedMemoSubType = 24;

void AppendDigits(std::string& out, int value, int width) {
  char digits[12];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  (void)ec;
  for (auto n = static_cast<int>(end - digits); n < width; ++n) out += '0';
  out.append(digits, end);
}

void AppendIsoDate(std::string& out, const Date& date) {
  AppendDigits(out, date.year, 4);
  out += '-';
  AppendDigits(out, date.month, 2);
  out += '-';
  AppendDigits(out, date.day, 2);
}

void AppendIsoTime(std::string& out, const TimeOfDay& time) {
  AppendDigits(out, time.hour, 2);
  out += ':';
  AppendDigits(out, time.minute, 2);
  out += ':';
  AppendDigits(out, time.second, 2);
  if (time.millisecond != 0) {
    out += '.';
    AppendDigits(out, time.millisecond, 3);
  }
}

}  // namespace

void AppendIsoDateTime(std::string& out, CsvKind kind, double value) {
  const std::optional<DayMs> parts = SplitDateTime(value);
  if (parts) AppendIsoDateTime(out, kind, *parts);
}

void AppendIsoDateTime(std::string& out, CsvKind kind, const DayMs& parts) {
  if (kind != CsvKind::kTime) AppendIsoDate(out, DecodeDate(parts));
  if (kind == CsvKind::kTimeStamp) out += ' ';
  if (kind != CsvKind::kDate) AppendIsoTime(out, DecodeTime(parts));
}

void AppendHexDigits(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (unsigned char b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
}

std::string BcdDigits(FieldBytes raw) {
  std::array<std::uint8_t, kBcdSize> bcd{};
  std::memcpy(bcd.data(), raw.data(), std::min(raw.size(), bcd.size()));
  return BcdToText(BcdBytes(bcd), '.');
}

bool IsMemo(const TDBISAMFieldInfo& field) {
  return field.FieldType() == kBlob && (field.SubType() == kMemoSubType || field.SubType() == kFormattedMemoSubType);
}

CsvKind CsvKindOf(const TDBISAMFieldInfo& field) {
  switch (field.FieldType()) {
    case kString: return CsvKind::kText;
    case kBlob: return IsMemo(field) ? CsvKind::kText : CsvKind::kBinary;
    case kShortInteger: case kInteger: case kUnsignedShortInteger: case kUnsignedInteger:
    case kLargeInteger: case kUnsignedLargeInteger:
      return CsvKind::kNumber;
    case kFloat: case kDouble:
      // A Double that is not 8 bytes wide is read as plain bytes.
      if (field.FieldType() == kDouble && field.PhysicalSize() != 8) return CsvKind::kBinary;
      return TDBISAM::SubTypeIndex(field.SubType()) == kCurrencySubTypeIndex ? CsvKind::kCurrency : CsvKind::kFloat;
    case kBcd: return CsvKind::kBcd;
    case kDate: return CsvKind::kDate;
    case kTime: return CsvKind::kTime;
    case kTimeStamp: return CsvKind::kTimeStamp;
    case kBoolean: return CsvKind::kBoolean;
    default: return CsvKind::kBinary;
  }
}

void AppendCsvText(std::string& out, std::string_view text, std::string_view delimiter) {
  const bool quoted = text.empty() || text == "\\." || text.find_first_of("\"\r\n") != std::string_view::npos ||
                      (!delimiter.empty() && text.find(delimiter) != std::string_view::npos);
  if (!quoted) {
    out.append(text);
    return;
  }
  out += '"';
  std::size_t start = 0;
  for (std::size_t hit; (hit = text.find('"', start)) != std::string_view::npos; start = hit + 1) {
    out.append(text.data() + start, hit + 1 - start);
    out += '"';
  }
  out.append(text.data() + start, text.size() - start);
  out += '"';
}

void AppendRoundTripDouble(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-Infinity" : "Infinity";
    return;
  }
  // Plain digits where they are few enough to read (8401000000, not
  // 8.401e+09), an exponent only for the very large and the very small;
  // either way the shortest digits that read back as the same double.
  const double magnitude = std::fabs(value);
  const bool plain = magnitude == 0 || (magnitude >= 1e-7 && magnitude < 1e21);
  char digits[400];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value,
                                       plain ? std::chars_format::fixed : std::chars_format::general);
  (void)ec;
  out.append(digits, end);
}

void AppendCurrencyAmount(std::string& out, double value) {
  // The nearest amount of four places is the stored one only when it reads
  // back as the same double; -0 is the amount 0.
  const std::size_t start = out.size();
  if (AppendNearestFourPlaces(out, value)) {
    double back = 0;
    const auto [end, ec] = std::from_chars(out.data() + start, out.data() + out.size(), back);
    if (ec == std::errc() && end == out.data() + out.size() && back == value) return;
    out.resize(start);
  }
  AppendRoundTripDouble(out, value);
}

void AppendCsvFloat(std::string& out, CsvKind kind, double value) {
  if (kind == CsvKind::kCurrency) {
    AppendCurrencyAmount(out, value);
  } else {
    AppendRoundTripDouble(out, value);
  }
}

void AppendCsvValue(std::string& out, CsvKind kind, const Variant& value, FieldBytes raw) {
  if (value.IsEmptyOrNull()) return;
  switch (kind) {
    case CsvKind::kBcd:
      out += BcdDigits(raw);
      return;
    case CsvKind::kDate:
    case CsvKind::kTime:
    case CsvKind::kTimeStamp:
      AppendIsoDateTime(out, kind, value.AsDateTime());
      return;
    case CsvKind::kBoolean:
      out += value.AsBoolean() ? "true" : "false";
      return;
    case CsvKind::kBinary:
      out += "\\x";
      AppendHexDigits(out, value.IsString() ? std::string_view(value.AsString()) : std::string_view());
      return;
    case CsvKind::kFloat:
    case CsvKind::kCurrency:
      if (value.type() == VarType::kDouble) {
        AppendCsvFloat(out, kind, value.AsDouble());
        return;
      }
      break;
    case CsvKind::kNumber:
    case CsvKind::kText:
      break;
  }
  // Integers (and the digits of an unsigned 64-bit value, which arrive as a
  // text) and currency amounts: their exact text with a full stop.
  AppendVarText(out, value, FormatSettings::Iso());
}

}  // namespace tabdump
