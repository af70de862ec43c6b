// Currency amounts as CSV and SQL scripts write them: the stored double's
// decimal of at most four places, or, where the double is no such amount,
// the shortest text that reads back as it.
#include "app/forms/exact_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tabdump {
namespace {

// Each expected text is worked out by hand from the double's exact value:
// 900000000000000.125 and 123456789012345.671875 are exact doubles (steps of
// 1/8 and 1/64 there), the latter's nearest four places .6719 reads back as
// it; 922337203685477.5807 is stored as 922337203685477.625, three places,
// written whole although its ten-thousandths pass 2^63; 0.00005 rounds to 0.0001 and
// 1/32 = 0.03125 to 0.0312 (a half, to even), neither of which reads back.
TEST(ExactValues, CurrencyAmountsExactToFourPlaces) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    std::string text;
  };
  const std::vector<Case> cases = {
      {900000000000000.125, "900000000000000.125"},
      {123456789012345.671875, "123456789012345.6719"},
      {0.1, "0.1"},
      {12.5, "12.5"},
      {-3.0, "-3"},
      {-98765.4321, "-98765.4321"},
      {1234.5678, "1234.5678"},
      {0.0001, "0.0001"},
      {-0.0001, "-0.0001"},
      {0.0, "0"},
      {-0.0, "0"},  // an amount has no negative zero
      {922337203685477.5, "922337203685477.5"},
      {-922337203685477.5, "-922337203685477.5"},
      // Past the 64-bit count of ten-thousandths, below 2^52: still exact.
      {922337203685477.5807, "922337203685477.625"},
      {-922337203685477.5807, "-922337203685477.625"},
      {999999999999999.875, "999999999999999.875"},
      {1e16, "10000000000000000"},
      {0.00005, "0.00005"},
      {0.03125, "0.03125"},
      {0.12345, "0.12345"},
      {-0.12345, "-0.12345"},
      {5e-324, "5e-324"},
      {std::nan(""), "NaN"},
      {inf, "Infinity"},
      {-inf, "-Infinity"},
  };
  for (const Case& c : cases) {
    std::string out = "x,";
    AppendCurrencyAmount(out, c.value);
    EXPECT_EQ(out, "x," + c.text) << c.text;
  }
  // A Float that is not currency keeps the shortest text.
  std::string out;
  AppendRoundTripDouble(out, 900000000000000.125);
  out += ',';
  AppendCurrencyAmount(out, 900000000000000.125);
  EXPECT_EQ(out, "900000000000000.1,900000000000000.125");
}

}  // namespace
}  // namespace tabdump
