#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

#include "runtime/clock.h"
#include "runtime/datetime.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

// A German-style locale: decimal comma, day-month-year with full stops.
FormatSettings DecimalCommaSettings() {
  FormatSettings fs;
  fs.decimal_separator = ',';
  fs.thousands_separator = '.';
  fs.date_separator = '.';
  fs.short_date_format = "%d.%m.%y";
  fs.time_format = "%H:%M:%S";
  return fs;
}

// An American-style locale with a 12-hour clock.
FormatSettings UsSettings() {
  FormatSettings fs;
  fs.date_separator = '/';
  fs.short_date_format = "%m/%d/%Y";
  fs.time_format = "%I:%M:%S %p";
  return fs;
}

double Date(int y, int m, int d) { return *EncodeDate(y, m, d); }
double At(int y, int m, int d, int h, int n, int s) { return CombineDateTime(Date(y, m, d), *EncodeTime(h, n, s, 0)); }

struct TextCase {
  Variant value;
  const char* iso;
  const char* comma;
};

TEST(ValueText, FollowsTheLocale) {
  const TextCase cases[] = {
      {Variant(), "", ""},
      {Variant::Null(), "", ""},
      {Variant("a\tb"), "a\tb", "a\tb"},
      {Variant(42), "42", "42"},
      {Variant(-2147483647 - 1), "-2147483648", "-2147483648"},
      {Variant::Int64(9223372036854775807LL), "9223372036854775807", "9223372036854775807"},
      {Variant(1250.5), "1250.5", "1250,5"},
      {Variant(0.1 + 0.2), "0.3", "0,3"},
      {Variant(-0.0), "0", "0"},
      {Variant(1.0 / 3.0), "0.333333333333333", "0,333333333333333"},
      {Variant(123456789012345678.0), "1.23456789012346E+17", "1,23456789012346E+17"},
      {Variant(0.00001234), "1.234E-05", "1,234E-05"},
      {Variant(Currency{123400}), "12.34", "12,34"},
      {Variant(Currency{-5}), "-0.0005", "-0,0005"},
      {Variant(Currency{50000}), "5", "5"},
      {Variant(Currency{INT64_MIN}), "-922337203685477.5808", "-922337203685477,5808"},
      {Variant(true), "-1", "-1"},
      {Variant(false), "0", "0"},
      {Variant::DateTime(Date(2020, 12, 31)), "2020-12-31", "31.12.2020"},
      {Variant::DateTime(At(2020, 12, 31, 23, 59, 58)), "2020-12-31 23:59:58", "31.12.2020 23:59:58"},
      {Variant::DateTime(0.5), "12:00:00", "12:00:00"},
      {Variant::DateTime(0), "00:00:00", "00:00:00"},
      {Variant::DateTime(-1.25), "1899-12-29 06:00:00", "29.12.1899 06:00:00"},
      {Variant::DateTime(Date(1, 1, 1)), "0001-01-01", "01.01.0001"},
      {Variant::DateTime(At(9999, 12, 31, 23, 59, 59)), "9999-12-31 23:59:59", "31.12.9999 23:59:59"},
  };
  for (const auto& c : cases) {
    std::string iso, comma;
    AppendVarText(iso, c.value, FormatSettings::Iso());
    AppendVarText(comma, c.value, DecimalCommaSettings());
    EXPECT_EQ(iso, c.iso) << VarTypeName(c.value.type());
    EXPECT_EQ(comma, c.comma) << VarTypeName(c.value.type());
  }
}

TEST(ValueText, TwelveHourClockAndFourDigitYears) {
  std::string out;
  AppendVarText(out, Variant::DateTime(At(2024, 5, 1, 0, 30, 0)), UsSettings());
  EXPECT_EQ(out, "05/01/2024 12:30:00 AM");
  out.clear();
  AppendVarText(out, Variant::DateTime(At(1999, 3, 15, 13, 5, 0)), UsSettings());
  EXPECT_EQ(out, "03/15/1999 01:05:00 PM");
}

// Formatted days are kept for the next value of the same day: days that share
// a place in that store, and the same day under another pattern, each keep
// their own text.
TEST(ValueText, DatesFormattedAgainKeepTheirOwnText) {
  const std::int32_t first = DayNumberFromDate({2020, 1, 1});
  for (const bool german : {false, true}) {
    const FormatSettings fs = german ? DecimalCommaSettings() : FormatSettings::Iso();
    for (int round = 0; round < 2; ++round) {
      for (int k = 0; k < 4; ++k) {
        const std::int32_t day = first + k * 8192;
        const tabdump::Date date = DateFromDayNumber(day);
        char expected[32];
        if (german) {
          std::snprintf(expected, sizeof expected, "%02d.%02d.%04d 01:02:03", date.day, date.month, date.year);
        } else {
          std::snprintf(expected, sizeof expected, "%04d-%02d-%02d 01:02:03", date.year, date.month, date.day);
        }
        std::string out;
        AppendDateTime(out, DayMs{day, 3'723'000}, fs);
        EXPECT_EQ(out, expected) << "round " << round;
      }
    }
  }
}

TEST(ValueText, DateTimeOutsideTheCalendarIsAConversionError) {
  std::string out;
  EXPECT_THROW(AppendVarText(out, Variant::DateTime(3e6)), EVariantError);
  EXPECT_THROW(AppendVarText(out, Variant::DateTime(NAN)), EVariantError);
}

TEST(TextToValue, NumbersInTheLocalesFormat) {
  EXPECT_EQ(TextToDouble(" 12.5 ", FormatSettings::Iso()), 12.5);
  EXPECT_EQ(TextToDouble("-1,234.5", FormatSettings::Iso()), -1234.5);
  EXPECT_EQ(TextToDouble("1e3", FormatSettings::Iso()), 1000.0);
  EXPECT_EQ(TextToDouble("12,5", DecimalCommaSettings()), 12.5);
  EXPECT_EQ(TextToDouble("1.234,5", DecimalCommaSettings()), 1234.5);
  for (const char* bad : {"", " ", "abc", "1.2.3", "12a", "1e", "--1", ","}) {
    EXPECT_FALSE(TextToDouble(bad, FormatSettings::Iso())) << bad;
  }
}

TEST(TextToValue, Booleans) {
  EXPECT_EQ(TextToBool("TRUE"), true);
  EXPECT_EQ(TextToBool("false"), false);
  EXPECT_EQ(TextToBool("1"), true);
  EXPECT_EQ(TextToBool("0"), false);
  EXPECT_EQ(TextToBool("-2.5"), true);
  EXPECT_FALSE(TextToBool("abc"));
  EXPECT_FALSE(TextToBool(""));
}

TEST(TextToValue, DatesInTheOrderOfTheShortDateFormat) {
  SetClockForTesting(Date(2026, 12, 10));
  EXPECT_EQ(TextToDateTime("2020-12-31", FormatSettings::Iso()), Date(2020, 12, 31));
  EXPECT_EQ(TextToDateTime("31.12.2020", DecimalCommaSettings()), Date(2020, 12, 31));
  EXPECT_EQ(TextToDateTime("31.12.20", DecimalCommaSettings()), Date(2020, 12, 31));
  EXPECT_EQ(TextToDateTime("1.1.80", DecimalCommaSettings()), Date(1980, 1, 1));
  EXPECT_EQ(TextToDateTime("12/31/2020 01:05:00 PM", UsSettings()), At(2020, 12, 31, 13, 5, 0));
  EXPECT_EQ(TextToDateTime("23:59:58", FormatSettings::Iso()), *EncodeTime(23, 59, 58, 0));
  EXPECT_EQ(TextToDateTime("2020-12-31 23:59:58", FormatSettings::Iso()), At(2020, 12, 31, 23, 59, 58));
  for (const char* bad : {"", "2020-02-30", "2020-13-01", "25:00", "abc", "2020-12-31 x"}) {
    EXPECT_FALSE(TextToDateTime(bad, FormatSettings::Iso())) << bad;
  }
  SetClockForTesting(std::nullopt);
}

TEST(Conversions, IntegerOfRoundsHalvesToEven) {
  EXPECT_EQ(VarToInt(Variant(2.5)), 2);
  EXPECT_EQ(VarToInt(Variant(3.5)), 4);
  EXPECT_EQ(VarToInt(Variant(-2.5)), -2);
  EXPECT_EQ(VarToInt(Variant(Currency{25000})), 2);
  EXPECT_EQ(VarToInt(Variant(Currency{35000})), 4);
  EXPECT_EQ(VarToInt(Variant("7.5")), 8);
  EXPECT_EQ(VarToInt(Variant(true)), -1);
  EXPECT_EQ(VarToInt(Variant()), 0);
}

TEST(Conversions, Failures) {
  try {
    VarToInt(Variant(3e9));
    FAIL();
  } catch (const EInvalidOp& e) {
    EXPECT_STREQ(e.what(), "Invalid floating point operation");
  }
  EXPECT_THROW(VarToInt(Variant::Int64(1LL << 40)), EInvalidOp);
  try {
    VarToDouble(Variant::Null());
    FAIL();
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.what(), "Invalid variant type conversion");
  }
  EXPECT_THROW(VarToBool(Variant::Null()), EVariantError);
  EXPECT_THROW(VarToBool(Variant("abc")), EVariantError);
  EXPECT_THROW(VarToDateTime(Variant("31.12.2020")), EVariantError);
  EXPECT_THROW(VarToDouble(Variant("abc")), EVariantError);
}

// The amount a double stands for, in ten-thousandths, from its exact binary
// value.  The expected counts are worked out from the doubles' exact values:
// 0.00005 is stored as 0.0000500000000000000024..., a hair above half a
// ten-thousandth (a multiply in doubles would give 0.5 and round it to 0);
// 1/32 and 3/32 are true halves (312.5 and 937.5), which go to the even
// count; 123456789012345.671875 is 1234567890123456718.75 ten-thousandths.
TEST(Conversions, NearestCurrencyFromTheExactDouble) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    std::optional<std::int64_t> units;
  };
  const std::vector<Case> cases = {
      {0.1, 1000},
      {-3.0, -30000},
      {0.00005, 1},
      {0.03125, 312},
      {0.09375, 938},
      {-0.09375, -938},
      {123456789012345.671875, 1234567890123456719},
      {900000000000000.125, 9000000000000001250},
      {922337203685477.5, 9223372036854775000},      // the largest double below the 64-bit limit
      {-922337203685477.5, -9223372036854775000},
      {922337203685477.625, std::nullopt},          // 9223372036854776250 passes it
      {-922337203685477.625, std::nullopt},
      {1e300, std::nullopt},
      {5e-324, 0},
      {-0.0, 0},
      {inf, std::nullopt},
      {-inf, std::nullopt},
      {std::nan(""), std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<Currency> amount = NearestCurrency(c.value);
    EXPECT_EQ(amount.has_value(), c.units.has_value()) << c.value;
    EXPECT_EQ(amount.value_or(Currency{-1}).units, c.units.value_or(-1)) << c.value;
  }
}

TEST(Conversions, BooleanOf) {
  EXPECT_TRUE(VarToBool(Variant("True")));
  EXPECT_TRUE(VarToBool(Variant(2)));
  EXPECT_FALSE(VarToBool(Variant(0.0)));
  EXPECT_FALSE(VarToBool(Variant()));
  EXPECT_TRUE(VarToBool(Variant::Int64(1LL << 40)));
}

}  // namespace
}  // namespace tabdump

namespace tabdump {
namespace {

// The short-decimal path must agree with the general 15-digit algorithm.
std::string Reference(double v) {
  char buf[40];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  std::string s(buf, end);
  for (char& c : s) c = c == 'e' ? 'E' : c;
  return s == "-0" ? "0" : s;
}

TEST(ValueText, DoublesAgreeWithFifteenSignificantDigits) {
  std::uint64_t state = 42;
  auto next = [&] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state >> 11;
  };
  for (int i = 0; i < 300000; ++i) {
    double v;
    switch (i % 4) {
      case 0: v = static_cast<double>(static_cast<std::int64_t>(next() % 200000001) - 100000000) / 100.0; break;
      case 1: v = static_cast<double>(next() % 1000000007) / std::pow(10.0, static_cast<double>(next() % 12)); break;
      case 2: v = std::bit_cast<double>(next() << 11 | (next() & 0x7FF)); break;
      default: v = (static_cast<double>(next()) / 9007199254740992.0) * std::pow(10.0, static_cast<double>(next() % 40) - 20); break;
    }
    if (!std::isfinite(v)) continue;
    std::string out;
    AppendDouble(out, v, FormatSettings::Iso());
    ASSERT_EQ(out, Reference(v)) << std::hexfloat << v;
  }
}

}  // namespace
}  // namespace tabdump
