#include "app/filter/row_filter.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/growth.h"

namespace tabdump {
namespace {

// SUBSTITUTE walks its lists item by item; cutting each item off the front
// of the list once made a long list take time in proportion to its length
// squared.
//
// STILL BOUNDED BY CPU TIME, and so able to flake on a busy machine: cutting
// the front off moves bytes without allocating, so no count taken from
// outside TakeItem sees it.  It is to be counted as the text routines of the
// filter language are (tests/support/counting_text.h) once SUBSTITUTE's walk
// over its lists can be handed a counting text.
TEST(RowFilter, SubstituteTakesLinearTime) {
  struct Lists {
    std::string from, to;
    long last;
  };
  std::string found;
  const double growth = testing::FourfoldGrowth(
      50000,
      [](long items) {
        Lists lists{{}, {}, items - 1};
        for (long i = 0; i < items; ++i) {
          lists.from += std::to_string(i) + ";";
          lists.to += "x" + std::to_string(i) + " ;";
        }
        return lists;
      },
      [&](const Lists& lists) {
        found = Substitute(Variant(std::to_string(lists.last)), Variant(lists.from), Variant(lists.to)).AsString();
        EXPECT_TRUE(Substitute(Variant("none"), Variant(lists.from), Variant(lists.to)).IsNull());
      });
  EXPECT_LT(growth, testing::kLinearGrowthLimit);
  EXPECT_EQ(found, "x199999");  // the last item of the longer lists, its blank trimmed
}

}  // namespace
}  // namespace tabdump
