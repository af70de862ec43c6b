#include "app/text_format.h"

#include <gtest/gtest.h>

#include <chrono>

#include "app/run_settings.h"
#include "dbisam/table_reader.h"

namespace tabdump {
namespace {

TEST(TextFormat, QuoteValueDoublesTheQualifier) {
  EXPECT_EQ(QuoteValue("O'Hara", "'"), "'O''Hara'");
  EXPECT_EQ(QuoteValue("", "\""), "\"\"");
  EXPECT_EQ(QuoteValue("abc", ""), "abc");
  EXPECT_EQ(QuoteValue("a<>b", "<>"), "<>a<><>b<>");
  // xx goes in before positions 2 and 1, then around the whole: 2 + 7 + 2.
  EXPECT_EQ(QuoteValue("xxx", "xx"), std::string(11, 'x'));
}

// A qualifier of several characters is copied in by position; each copy
// once moved the rest of the text, which took minutes for a long memo.
TEST(TextFormat, QuoteValueTakesLinearTime) {
  std::string text, doubled;
  for (int i = 0; i < 500000; ++i) {
    text += "ab";
    doubled += "abab";
  }
  const auto start = std::chrono::steady_clock::now();
  const std::string quoted = QuoteValue(text, "ab");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(quoted == "ab" + doubled + "ab") << quoted.size();
}

TEST(TextFormat, AlignNeverCuts) {
  EXPECT_EQ(AlignRight("42", 5), "   42");
  EXPECT_EQ(AlignLeft("42", 5), "42   ");
  EXPECT_EQ(AlignLeft("toolong", 3), "toolong");
}

TDBISAMFieldInfo Field(const std::string& name, std::uint8_t type, std::uint16_t size) {
  TDBISAMFieldInfo f;
  f.Raw[2] = static_cast<std::uint8_t>(name.size());
  std::copy(name.begin(), name.end(), f.Raw.begin() + 3);
  f.Raw[164] = type;
  f.Raw[166] = static_cast<std::uint8_t>(size);
  f.Raw[167] = static_cast<std::uint8_t>(size >> 8);
  return f;
}

TEST(TextFormat, FieldWidthByTypeRaisedToTheName) {
  EXPECT_EQ(FieldWidth(Field("Id", 6, 0)), 16);
  EXPECT_EQ(FieldWidth(Field("Qty", 5, 0)), 8);
  EXPECT_EQ(FieldWidth(Field("Amount", 7, 0)), 15);
  EXPECT_EQ(FieldWidth(Field("Big", 18, 0)), 18);
  EXPECT_EQ(FieldWidth(Field("Description", 1, 5)), 11);
  EXPECT_EQ(FieldWidth(Field("N", 1, 30)), 30);
  EXPECT_TRUE(IsRightAligned(13));
  EXPECT_FALSE(IsRightAligned(2));
  EXPECT_FALSE(IsRightAligned(1));
}

TEST(TextFormat, LineBuilderDelimitsQualifiesAndJustifies) {
  LineBuilder delimited(";", "'", false);
  delimited.Begin();
  delimited.Add("O'Hara", 0, false);
  delimited.Add("", 0, false);
  delimited.Add("x", 0, false);
  EXPECT_EQ(delimited.Line(), "'O''Hara';;'x'");

  LineBuilder fixed("\t", NoneMark, true);
  fixed.Begin();
  fixed.Add("42", 16, true);
  fixed.Add("Bob", 5, false);
  EXPECT_EQ(fixed.Line(), std::string(14, ' ') + "42\tBob  ");

  LineBuilder bare(NoneMark, "\"", true);
  bare.Begin();
  bare.Add("a", 3, false);
  bare.Add("", 2, true);
  EXPECT_EQ(bare.Line(), "\"a  \"\"  \"");
}

}  // namespace
}  // namespace tabdump
