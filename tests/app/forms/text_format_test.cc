#include "app/forms/text_format.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "app/settings/run_settings.h"
#include "dbisam/table_reader.h"
#include "tests/support/counting_text.h"

namespace tabdump {
namespace {

// One field's text through a line builder: delimited (TAB), qualified with
// `qualifier`, or justified to `width` when it is above 0.
std::string OneField(std::string_view text, const std::string& qualifier, int width = 0, bool right = false) {
  LineBuilder line("\t", qualifier, width > 0);
  line.Begin();
  line.Add(text, width, right);
  return line.Line();
}

TEST(TextFormat, QualifierIsDoubledInsideTheValue) {
  EXPECT_EQ(OneField("O'Hara", "'"), "'O''Hara'");
  EXPECT_EQ(OneField("\"", "\""), "\"\"\"\"");
  EXPECT_EQ(OneField("abc", NoneMark), "abc");
  EXPECT_EQ(OneField("", "\""), "");  // an empty value, not even the qualifiers
  EXPECT_EQ(OneField("a<>b", "<>"), "<>a<><>b<>");
  // xx goes in before positions 2 and 1, then around the whole: 2 + 7 + 2.
  EXPECT_EQ(OneField("xxx", "xx"), std::string(11, 'x'));
}

TEST(TextFormat, JustifiedTextsAreNeverCut) {
  EXPECT_EQ(OneField("42", NoneMark, 5, true), "   42");
  EXPECT_EQ(OneField("42", NoneMark, 5, false), "42   ");
  EXPECT_EQ(OneField("toolong", NoneMark, 3, false), "toolong");
  EXPECT_EQ(OneField("", "'", 2, true), "'  '");  // a padded empty value is qualified
}

// A qualifier of several characters is copied in by position; each copy
// once moved the rest of the text, which took minutes for a long memo.  The
// routine's steps (characters read, compared and placed, as a counting text
// tallies them) grow with the text, fourfold for four times the text, where
// moving the rest for every copy would make them sixteenfold.
TEST(TextFormat, QualifyingTakesLinearWork) {
  using testing::CountingText;
  auto steps_for = [](long pairs) {
    std::string text;
    for (long i = 0; i < pairs; ++i) text += "ab";
    CountingText out;
    CountingText::steps = 0;
    AppendDoubledQualifier(out, CountingText(text), CountingText("ab"));
    // Every "ab" doubled.
    EXPECT_EQ(out.str().size(), static_cast<std::size_t>(pairs) * 4);
    return CountingText::steps;
  };
  const std::uint64_t small = steps_for(25000);
  const std::uint64_t large = steps_for(100000);
  EXPECT_GE(small, 25000u * 4);
  EXPECT_LE(large, 5 * small);
  // The line builder takes that road for such a qualifier.
  const std::string line = OneField("abab", "ab");
  EXPECT_EQ(line, "ab" + std::string("abababab") + "ab");
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

// Every field type's column in fixed-width output: the numeric types have a
// width of their own and stand right-justified; the others take the field's
// Size (here 3) and stand left-justified.
TEST(TextFormat, ColumnOfEveryFieldType) {
  struct Column {
    std::uint8_t type;
    int width;
    bool right;
  };
  const Column columns[] = {
      {1, 3, false},   {2, 3, false},   {3, 3, false},  {4, 3, false},   {5, 8, true},    {6, 16, true},
      {7, 15, true},   {8, 15, true},   {9, 3, false},  {10, 3, false},  {11, 3, false},  {12, 8, true},
      {13, 16, true},  {14, 15, true},  {15, 3, false}, {16, 3, false},  {17, 3, false},  {18, 18, true},
      {19, 18, true},  {20, 3, false},  {21, 3, false}, {22, 3, false},  {23, 3, false},  {0, 3, false},
      {99, 3, false},
  };
  for (const Column& c : columns) {
    EXPECT_EQ(FieldWidth(Field("X", c.type, 3)), c.width) << "type " << int{c.type};
    EXPECT_EQ(IsRightAligned(c.type), c.right) << "type " << int{c.type};
  }
}

TEST(TextFormat, ColumnIsWidenedToTheName) {
  EXPECT_EQ(FieldWidth(Field("Description", 1, 5)), 11);
  EXPECT_EQ(FieldWidth(Field("AVeryLongFieldName", 6, 0)), 18);
  EXPECT_EQ(FieldWidth(Field("N", 1, 30)), 30);
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
