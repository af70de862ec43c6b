#include "runtime/text_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/clock.h"
#include "runtime/datetime.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

// The regional settings of the cases, as the platform layer compiles them:
// ISO is the C locale; English (United States) is the Windows pictures
// M/d/yyyy and h:mm:ss tt; German is d.M.yyyy under Wine and dd.MM.yyyy
// (%d.%m.%Y) in glibc, with a decimal comma.
FormatSettings Iso() { return FormatSettings::Iso(); }

FormatSettings UnitedStates() {
  FormatSettings fs;
  fs.date_separator = '/';
  fs.short_date_format = "%-m/%-d/%Y";
  fs.time_format = "%-I:%M:%S %p";
  return fs;
}

FormatSettings German(const char* date_pattern) {
  FormatSettings fs;
  fs.decimal_separator = ',';
  fs.thousands_separator = '.';
  fs.date_separator = '.';
  fs.short_date_format = date_pattern;
  fs.time_format = "%H:%M:%S";
  return fs;
}
FormatSettings GermanWine() { return German("%-d.%-m.%Y"); }
FormatSettings GermanGlibc() { return German("%d.%m.%Y"); }

// A scanned date-time as "yyyy-mm-dd", with " hh:mm:ss[.zzz]" when it has a
// time of day, or "not read".
std::string Show(std::optional<double> value) {
  if (!value) return "not read";
  const auto parts = SplitDateTime(*value);
  if (!parts) return "out of range";
  const Date d = DecodeDate(*parts);
  const TimeOfDay t = DecodeTime(*parts);
  char buf[48];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  if (parts->ms != 0) n += std::snprintf(buf + n, sizeof buf - n, " %02d:%02d:%02d", t.hour, t.minute, t.second);
  if (t.millisecond != 0) std::snprintf(buf + n, sizeof buf - n, ".%03d", t.millisecond);
  return buf;
}

// The two-digit-year window moves with the clock: it stands still here, in
// 2026, so two-digit years land in 1976..2075.
class TextScanTest : public ::testing::Test {
 protected:
  void SetUp() override { SetClockForTesting(*EncodeDate(2026, 6, 15)); }
  void TearDown() override { SetClockForTesting(std::nullopt); }
};

struct DateCase {
  FormatSettings (*settings)();
  const char* text;
  const char* expected;
};

TEST_F(TextScanTest, TypedDatesFollowTheRegionalOrderAndSeparator) {
  const DateCase cases[] = {
      {Iso, "2005-01-01", "2005-01-01"},
      {Iso, " 2005-1-9 ", "2005-01-09"},
      {Iso, "1/1/2005", "not read"},
      {Iso, "2005-02-29", "not read"},
      {Iso, "2005-01-01 10:00", "not read"},
      {Iso, "\t2005-01-01", "not read"},  // spaces only around a typed date
      {Iso, "2005-01-", "not read"},
      {UnitedStates, "1/1/2005", "2005-01-01"},
      {UnitedStates, "01/01/2005", "2005-01-01"},
      {UnitedStates, "3/15/1999", "1999-03-15"},
      {UnitedStates, "15/3/1999", "not read"},  // month 15
      {UnitedStates, "1-1-2005", "not read"},   // only the regional separator
      {UnitedStates, "12/31/99", "1999-12-31"},
      {UnitedStates, "1/1/05", "2005-01-01"},
      {UnitedStates, "1/1/75", "2075-01-01"},
      {UnitedStates, "1/1/76", "1976-01-01"},
      {UnitedStates, "1/1/0005", "0005-01-01"},  // four digits are never windowed
      {GermanWine, "01.01.2005", "2005-01-01"},
      {GermanWine, "15.3.1999", "1999-03-15"},
      {GermanWine, "3.15.1999", "not read"},
      {GermanGlibc, "01.01.2005", "2005-01-01"},
      {GermanGlibc, "1.1.2005", "2005-01-01"},
      {GermanGlibc, "31.12.20", "2020-12-31"},
      {GermanGlibc, "01.01.02005", "not read"},  // at most four digits
      {GermanGlibc, "01.01.2005.", "not read"},
  };
  for (const DateCase& c : cases) {
    EXPECT_EQ(Show(ScanDate(c.text, c.settings(), kTypedDate)), c.expected) << '"' << c.text << '"';
  }
}

TEST_F(TextScanTest, ConvertedDateTimes) {
  const DateCase cases[] = {
      {Iso, "2020-12-31 23:59:58", "2020-12-31 23:59:58"},
      {Iso, "2020-12-31T23:59:58", "2020-12-31 23:59:58"},
      {Iso, "\t2020/12/31\t", "2020-12-31"},  // any of / - . and tabs when converting
      {Iso, "23:59:58.5", "1899-12-30 23:59:58.500"},
      {Iso, "10:30", "1899-12-30 10:30:00"},
      {Iso, "2020-12-31 x", "not read"},
      {Iso, "2020-12-31 10", "not read"},
      {UnitedStates, "3/15/1999 9:30:00 AM", "1999-03-15 09:30:00"},
      {UnitedStates, "12/31/2020 11:59:58 PM", "2020-12-31 23:59:58"},
      {UnitedStates, "12/31/2020 12:00:01 am", "2020-12-31 00:00:01"},
      {UnitedStates, "12:00:00 PM", "1899-12-30 12:00:00"},
      {UnitedStates, "13:00:00 PM", "not read"},
      {GermanWine, "1.5.2024 09:30:00", "2024-05-01 09:30:00"},
      {GermanWine, "1.5.24", "2024-05-01"},
  };
  for (const DateCase& c : cases) EXPECT_EQ(Show(ScanDateTime(c.text, c.settings())), c.expected) << c.text;
}

TEST_F(TextScanTest, TwoDigitYearsLandWithinFiftyYearsOfNow) {
  const int cases[][2] = {{0, 2000}, {26, 2026}, {75, 2075}, {76, 1976}, {99, 1999}};
  for (const auto& [year, expected] : cases) EXPECT_EQ(WindowTwoDigitYear(year), expected) << year;
  SetClockForTesting(*EncodeDate(2020, 1, 1));
  EXPECT_EQ(WindowTwoDigitYear(69), 2069);
  EXPECT_EQ(WindowTwoDigitYear(70), 1970);
}

TEST(DateFieldOrder, LooksThroughFlagsAndModifiers) {
  const std::pair<const char*, const char*> cases[] = {
      {"%Y-%m-%d", "Ymd"},   {"%-m/%-d/%Y", "mdY"}, {"%d.%m.%Y", "dmY"},   {"%-d.%-m.%Y", "dmY"},
      {"%e/%m/%y", "dmY"},   {"%_d.%_m.%Y", "dmY"}, {"%d-%b-%Y", "dmY"},   {"%B %-d, %Y", "mdY"},
      {"%Od.%Om.%Ey", "dmY"}, {"%m/%d/%Y %m", "mdY"}, {"%H:%M", "Ymd"}, {"%d/%m", "Ymd"},
  };
  for (const auto& [pattern, expected] : cases) {
    const auto order = DateFieldOrder(pattern);
    EXPECT_EQ(std::string(order.begin(), order.end()), expected) << pattern;
  }
}

TEST(ScanInteger, DecimalAndHexadecimal) {
  constexpr IntegerSyntax kStrToInt{};
  constexpr IntegerSyntax kSwitch{.zero_x_prefix = true, .signed_hexadecimal = true};
  struct Case {
    IntegerSyntax syntax;
    const char* text;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {kStrToInt, "  -17", -17},
      {kStrToInt, "+5", 5},
      {kStrToInt, "2147483647", 2147483647},
      {kStrToInt, "-2147483648", -2147483648LL},
      {kStrToInt, "2147483648", std::nullopt},
      {kStrToInt, "-2147483649", std::nullopt},
      {kStrToInt, "99999999999999999999", std::nullopt},
      {kStrToInt, "$ff", 255},
      {kStrToInt, "$FFFFFFFF", 4294967295LL},
      {kStrToInt, "$000000001", 1},  // leading zeros do not count
      {kStrToInt, "$100000000", std::nullopt},
      {kStrToInt, "-$1", std::nullopt},
      {kStrToInt, "0x10", std::nullopt},
      {kStrToInt, "$", std::nullopt},
      {kStrToInt, "$G", std::nullopt},
      {kStrToInt, "12 ", std::nullopt},
      {kStrToInt, "1.5", std::nullopt},
      {kStrToInt, "- 1", std::nullopt},
      {kStrToInt, "", std::nullopt},
      {kSwitch, "59", 59},
      {kSwitch, "$3B", 59},
      {kSwitch, "0x3B", 59},
      {kSwitch, "0X3b", 59},
      {kSwitch, " -$3B", -59},
      {kSwitch, "+0x10", 16},
      {kSwitch, "0xFFFFFFFF", 4294967295LL},
      {kSwitch, "0x100000000", std::nullopt},
      {kSwitch, "4294967295", std::nullopt},  // decimal stays within 32 bits signed
      {kSwitch, "0x", std::nullopt},
      {kSwitch, "0", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ScanInteger(c.text, c.syntax), c.expected) << c.text;
}

TEST(ScanInteger, Int32TakesHexadecimalAsABitPattern) {
  EXPECT_EQ(ScanInt32("$FFFFFFFF"), -1);
  EXPECT_EQ(ScanInt32("$80000000"), -2147483647 - 1);
  EXPECT_EQ(ScanInt32("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ScanInt32("2147483648"), std::nullopt);
}

TEST(ThrowNotValid, NamesTheTextAndTheKind) {
  try {
    ThrowNotValid("1/1/2005", "date");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1/1/2005' is not a valid date");
  }
}

struct FloatCase {
  FormatSettings (*settings)();
  bool thousands;
  Underflow underflow;
  const char* text;
  std::optional<double> expected;
};

TEST(ScanFloat, RegionalSeparators) {
  constexpr bool kGroups = true, kNoGroups = false;
  constexpr Underflow kZero = Underflow::kGivesZero, kFail = Underflow::kFails;
  const FloatCase cases[] = {
      {Iso, kNoGroups, kZero, " 1.5e3 ", 1500},
      {Iso, kNoGroups, kZero, "-2.5", -2.5},
      {Iso, kNoGroups, kZero, "5.", 5},
      {Iso, kNoGroups, kZero, ".5", 0.5},
      {Iso, kNoGroups, kZero, "1E-2", 0.01},
      {Iso, kNoGroups, kZero, "1,000", std::nullopt},
      {Iso, kNoGroups, kZero, "1e", std::nullopt},
      {Iso, kNoGroups, kZero, "1e+", std::nullopt},
      {Iso, kNoGroups, kZero, ".", std::nullopt},
      {Iso, kNoGroups, kZero, "-", std::nullopt},
      {Iso, kNoGroups, kZero, "", std::nullopt},
      {Iso, kNoGroups, kZero, "1e-400", 0},
      {Iso, kNoGroups, kZero, "0.0000001e-400", 0},
      {Iso, kNoGroups, kZero, "1e400", std::nullopt},
      {Iso, kNoGroups, kZero, "0.1e310", std::nullopt},
      {Iso, kNoGroups, kZero, "1000e-330", 0},  // the digits count with the exponent
      {Iso, kNoGroups, kFail, "1e-400", std::nullopt},
      {Iso, kGroups, kFail, "-1,234.5", -1234.5},
      {Iso, kGroups, kFail, "1,234,567", 1234567},
      {Iso, kGroups, kFail, "1,,234", std::nullopt},
      {Iso, kGroups, kFail, ",5", std::nullopt},
      {Iso, kGroups, kFail, "1,", std::nullopt},
      {GermanGlibc, kNoGroups, kZero, "2,5", 2.5},
      {GermanGlibc, kNoGroups, kZero, "-0,25", -0.25},
      {GermanGlibc, kNoGroups, kZero, "1,5E3", 1500},
      {GermanGlibc, kNoGroups, kZero, "2.5", std::nullopt},
      {GermanGlibc, kGroups, kFail, "1.234,5", 1234.5},
      {GermanGlibc, kGroups, kFail, "1.5", 15},  // a full stop groups digits here
      {GermanGlibc, kGroups, kFail, "1,5", 1.5},
  };
  for (const FloatCase& c : cases) {
    EXPECT_EQ(ScanFloat(c.text, RegionalDecimalSyntax(c.settings(), c.thousands), c.underflow), c.expected)
        << '"' << c.text << '"';
  }
}

TEST(ScanFloat, UnderflowKeepsTheSign) {
  const auto value = ScanFloat("-1e-400", DecimalSyntax{}, Underflow::kGivesZero);
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, 0);
  EXPECT_TRUE(std::signbit(*value));
}

TEST(ScanDecimalPrefix, ReadsTheLongestNumberAtTheStart) {
  DecimalSyntax literal;
  literal.exponent = false;
  struct Case {
    const char* text;
    double value;
    std::size_t length;
    DecimalRange range;
  };
  const std::string huge = "1" + std::string(400, '0');
  const std::string tiny = "0." + std::string(400, '0') + "1";
  const Case cases[] = {
      {"1.2.3", 1.2, 3, DecimalRange::kInRange},
      {"12abc", 12, 2, DecimalRange::kInRange},
      {"1e3", 1, 1, DecimalRange::kInRange},  // no exponent in this syntax
      {"-0.5x", -0.5, 4, DecimalRange::kInRange},
      {huge.c_str(), HUGE_VAL, huge.size(), DecimalRange::kTooLarge},
      {tiny.c_str(), 0, tiny.size(), DecimalRange::kTooSmall},
  };
  for (const Case& c : cases) {
    const auto number = ScanDecimalPrefix(c.text, literal);
    ASSERT_TRUE(number) << c.text;
    EXPECT_EQ(number->value, c.value) << c.text;
    EXPECT_EQ(number->length, c.length) << c.text;
    EXPECT_EQ(number->range, c.range) << c.text;
  }
  EXPECT_FALSE(ScanDecimalPrefix("x1", literal));
  EXPECT_FALSE(ScanDecimalPrefix("+.", literal));
  EXPECT_EQ(ScanDecimalPrefix("1e3", DecimalSyntax{})->length, 3u);
  EXPECT_EQ(ScanDecimalPrefix("1e+x", DecimalSyntax{})->length, 1u);
}

}  // namespace
}  // namespace tabdump
