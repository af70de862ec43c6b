// Date-times are doubles counting days since 1899-12-30; the fraction is the
// time of day.  Before 1899-12-30 the fraction is subtracted, so -1.25 is
// 1899-12-29 06:00: the time of day keeps its magnitude.
#pragma once

#include <cstdint>
#include <optional>

namespace tabdump {

inline constexpr std::int64_t kMsPerDay = 86'400'000;
// Day numbers count 0001-01-01 as day 1; this is 1899-12-30.
inline constexpr std::int32_t kDateDelta = 693'594;
inline constexpr std::int32_t kMinDayNumber = 1;          // 0001-01-01
inline constexpr std::int32_t kMaxDayNumber = 3'652'059;  // 9999-12-31

struct Date {
  int year = 0, month = 0, day = 0;
};
struct TimeOfDay {
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// Day number (0001-01-01 = 1) of a valid proleptic Gregorian date.
std::int32_t DayNumberFromDate(const Date& date);
// Day numbers below 1 count as 1.
Date DateFromDayNumber(std::int32_t day_number);

// The date-time of day number `day_number` and `ms` milliseconds after midnight
// (0 <= ms < 86,400,000), with the rule for days before 1899-12-30.
double DateTimeFromDayMs(std::int64_t day_number, std::int64_t ms);

// Encodes a calendar date (midnight) or a time of day; nullopt when invalid.
std::optional<double> EncodeDate(int year, int month, int day);
std::optional<double> EncodeTime(int hour, int minute, int second, int millisecond);
// Date part plus time part, honouring the negative-day rule.
double CombineDateTime(double date, double time);

// Splits a date-time into its day number and milliseconds after midnight,
// rounding to the nearest millisecond.  nullopt when outside 0001..9999.
struct DayMs {
  std::int32_t day_number;
  std::int32_t ms;
};
std::optional<DayMs> SplitDateTime(double value);

Date DecodeDate(const DayMs& parts);
TimeOfDay DecodeTime(const DayMs& parts);

}  // namespace tabdump
