#include "runtime/datetime.h"

#include <gtest/gtest.h>

namespace tabdump {
namespace {

TEST(DateTime, DayNumbersOfKnownDates) {
  EXPECT_EQ(DayNumberFromDate({1, 1, 1}), 1);
  EXPECT_EQ(DayNumberFromDate({1899, 12, 30}), 693594);
  EXPECT_EQ(DayNumberFromDate({1900, 3, 1}), 693594 + 61);  // 1900 is no leap year
  EXPECT_EQ(DayNumberFromDate({2000, 3, 1}), 693594 + 36586);  // 2000 is one
  EXPECT_EQ(DayNumberFromDate({9999, 12, 31}), kMaxDayNumber);
}

TEST(DateTime, EveryDayRoundTrips) {
  int year = 1, month = 1, day = 1;
  for (std::int32_t n = 1; n <= kMaxDayNumber; ++n) {
    const Date d = DateFromDayNumber(n);
    ASSERT_EQ(d.year, year);
    ASSERT_EQ(d.month, month);
    ASSERT_EQ(d.day, day);
    ASSERT_EQ(DayNumberFromDate(d), n);
    if (++day > DaysInMonth(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
}

TEST(DateTime, TimeOfDayKeepsItsMagnitudeBefore1899) {
  // 1899-12-29 06:00 is -1.25, not -0.75.
  EXPECT_DOUBLE_EQ(DateTimeFromDayMs(693593, 21'600'000), -1.25);
  EXPECT_DOUBLE_EQ(DateTimeFromDayMs(693594, 43'200'000), 0.5);
  EXPECT_DOUBLE_EQ(DateTimeFromDayMs(693595, 21'600'000), 1.25);
  const auto parts = SplitDateTime(-1.25);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->day_number, 693593);
  EXPECT_EQ(parts->ms, 21'600'000);
  EXPECT_DOUBLE_EQ(CombineDateTime(*EncodeDate(1899, 12, 29), *EncodeTime(6, 0, 0, 0)), -1.25);
}

TEST(DateTime, SplitRoundsToTheMillisecondAndRejectsTheOutside) {
  const auto almost_midnight = SplitDateTime(1.0 - 1e-10);
  ASSERT_TRUE(almost_midnight);
  EXPECT_EQ(almost_midnight->day_number, 693595);
  EXPECT_EQ(almost_midnight->ms, 0);
  EXPECT_FALSE(SplitDateTime(-693594.0));  // day 0
  EXPECT_FALSE(SplitDateTime(2958466.0));   // 10000-01-01
  EXPECT_FALSE(EncodeDate(2023, 2, 29));
  EXPECT_FALSE(EncodeTime(24, 0, 0, 0));
}

}  // namespace
}  // namespace tabdump
