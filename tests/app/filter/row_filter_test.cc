#include "app/filter/row_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tests/support/counting_text.h"

namespace tabdump {
namespace {

// SUBSTITUTE walks its lists item by item; cutting each item off the front
// of the list once made a long list take time in proportion to its length
// squared.  The walk's steps (characters read, copied and compared, as a
// counting text tallies them) grow fourfold for four times the items, where
// cutting the front off would make them sixteenfold.
TEST(RowFilter, SubstituteTakesLinearWork) {
  using testing::CountingText;
  auto steps_for = [](long items) {
    std::string from, to;
    for (long i = 0; i < items; ++i) {
      from += std::to_string(100000 + i) + ";";
      to += "x" + std::to_string(i) + " ;";
    }
    CountingText::steps = 0;
    const std::optional<CountingText> last =
        SubstituteItem(CountingText(std::to_string(100000 + items - 1)), CountingText(from), CountingText(to));
    // The last item of the lists, its blank trimmed.
    EXPECT_EQ(last ? last->str() : "<none>", "x" + std::to_string(items - 1));
    EXPECT_FALSE(SubstituteItem(CountingText("none"), CountingText(from), CountingText(to)).has_value());
    return CountingText::steps;
  };
  const std::uint64_t small = steps_for(10000);
  const std::uint64_t large = steps_for(40000);
  EXPECT_GE(small, 10000u * 7);
  EXPECT_LE(large, 5 * small);
  // SUBSTITUTE itself takes that walk.
  EXPECT_EQ(Substitute(Variant("B"), Variant("A;B;C"), Variant("1;2 ;3")).AsString(), "2");
  EXPECT_TRUE(Substitute(Variant("D"), Variant("A;B;C"), Variant("1;2;3")).IsNull());
}

}  // namespace
}  // namespace tabdump
