#include "runtime/text_padding.h"

#include <gtest/gtest.h>

namespace tabdump {
namespace {

TEST(TextFill, PadAndCut) {
  EXPECT_EQ(PadLeftStr("abc", 5, '*'), "**abc");
  EXPECT_EQ(PadRightStr("abcdef", 4, '*'), "abcd");
  EXPECT_EQ(PadLeftStr("abc", 0, '*'), "");
  EXPECT_EQ(PadRightStr("ab", 4, '*'), "ab**");
  EXPECT_EQ(FillStr('x', -1), "");
}

}  // namespace
}  // namespace tabdump
