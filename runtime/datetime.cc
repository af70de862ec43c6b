#include "runtime/datetime.h"

#include <cmath>

namespace tabdump {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

// Civil-date arithmetic on eras of 400 years (146,097 days), counted from
// 0000-03-01 so that the leap day falls at the end of each year.
std::int32_t DayNumberFromDate(const Date& date) {
  int y = date.year - (date.month <= 2 ? 1 : 0);
  const int era = y / 400;  // y >= 0 for years 1..9999
  const int yoe = y - era * 400;
  const int mp = (date.month + 9) % 12;  // March = 0
  const int doy = (153 * mp + 2) / 5 + date.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // Days since 0000-03-01, shifted so that 0001-01-01 is day 1.
  return era * 146097 + doe - 305;
}

Date DateFromDayNumber(std::int32_t day_number) {
  // Unsigned 32-bit arithmetic is exact here (day numbers of 0001..9999 are
  // small and positive) and much cheaper to divide than 64-bit.
  const std::uint32_t z = static_cast<std::uint32_t>(day_number > 0 ? day_number : 1) + 305;
  const std::uint32_t era = z / 146097;
  const std::uint32_t doe = z - era * 146097;
  const std::uint32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::uint32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::uint32_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400) + (month <= 2 ? 1 : 0);
  return Date{year, month, day};
}

double DateTimeFromDayMs(std::int64_t day_number, std::int64_t ms) {
  const std::int64_t p = (day_number - kDateDelta) * kMsPerDay;
  const std::int64_t total = p >= 0 ? p + ms : p - ms;
  return static_cast<double>(total) / static_cast<double>(kMsPerDay);
}

std::optional<double> EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) return std::nullopt;
  return static_cast<double>(DayNumberFromDate(Date{year, month, day}) - kDateDelta);
}

std::optional<double> EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return std::nullopt;
  }
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

double CombineDateTime(double date, double time) {
  return date >= 0 ? date + time : date - time;
}

std::optional<DayMs> SplitDateTime(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double whole = std::trunc(value);
  const double min_day = kMinDayNumber - kDateDelta - 1.0;
  const double max_day = kMaxDayNumber - kDateDelta + 1.0;
  if (whole < min_day || whole > max_day) return std::nullopt;
  std::int64_t day = static_cast<std::int64_t>(whole);
  std::int64_t ms = std::llround(std::fabs(value - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {  // rounding reached the next midnight
    ms -= kMsPerDay;
    day += value >= 0 ? 1 : -1;
  }
  const std::int64_t day_number = day + kDateDelta;
  if (day_number < kMinDayNumber || day_number > kMaxDayNumber) return std::nullopt;
  return DayMs{static_cast<std::int32_t>(day_number), static_cast<std::int32_t>(ms)};
}

Date DecodeDate(const DayMs& parts) { return DateFromDayNumber(parts.day_number); }

TimeOfDay DecodeTime(const DayMs& parts) {
  TimeOfDay t;
  int ms = parts.ms;
  t.millisecond = ms % 1000;
  ms /= 1000;
  t.second = ms % 60;
  ms /= 60;
  t.minute = ms % 60;
  t.hour = ms / 60;
  return t;
}

}  // namespace tabdump
