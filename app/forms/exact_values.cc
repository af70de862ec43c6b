#include "app/forms/exact_values.h"

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

void AppendIsoDateTime(std::string& out, FieldKind kind, const DayMs& parts) {
  if (kind != FieldKind::kTime) AppendIsoDate(out, DecodeDate(parts));
  if (kind == FieldKind::kTimeStamp) out += ' ';
  if (kind != FieldKind::kDate) AppendIsoTime(out, DecodeTime(parts));
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

void AppendUnsigned64(std::string& out, std::uint64_t value) {
  char digits[20];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  (void)ec;
  out.append(digits, end);
}

}  // namespace tabdump
