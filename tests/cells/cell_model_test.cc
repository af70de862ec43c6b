#include "cells/cell_model.h"

#include <gtest/gtest.h>

#include <array>

#include "runtime/exceptions.h"

namespace tabdump {
namespace {

TEST(ColumnNames, LettersToIndexesAndBack) {
  EXPECT_EQ(ColumnNameToIndex("b", 10), 1);
  EXPECT_EQ(ColumnNameToIndex("K", 10), -1);  // 11 exceeds the limit
  EXPECT_EQ(ColumnNameToIndex("A1", 10), -1);
  EXPECT_EQ(ColumnNameToIndex("", 10), -1);
  EXPECT_EQ(ColumnNameToIndex("AZ", 100), 51);
  EXPECT_EQ(ColumnNameToIndex("BA", 100), 52);
  EXPECT_EQ(ColumnNameToIndex("FXSHRXW", INT32_MAX), 2147483646);  // the last that fits
  EXPECT_EQ(ColumnNameToIndex("FXSHRXX", INT32_MAX), -1);          // 2^31: beyond the range
  EXPECT_EQ(ColumnNameToIndex("ZZZZZZZZZZZZZZ", INT32_MAX), -1);
  const std::pair<int, const char*> names[] = {{0, ""}, {1, "A"}, {26, "Z"}, {27, "AA"}, {702, "ZZ"}, {703, "AAA"}};
  for (const auto& [n, name] : names) EXPECT_EQ(ColumnIndexToName(n), name) << n;
}

TEST(ColumnNames, FillColumnNames) {
  TStringList list;
  FillColumnNames(3, "", list);
  EXPECT_EQ(list, (TStringList{{"A", 1}, {"B", 2}, {"C", 3}}));
  FillColumnNames(3, "B;;Z", list);
  EXPECT_EQ(list, (TStringList{{"B", 1}, {"", -1}, {"Z", -1}}));
  FillColumnNames(3, "A;", list);
  EXPECT_EQ(list, (TStringList{{"A", 0}}));
}

// Packed decimal: digit count, sign bit and scale, then the digits.
std::array<std::uint8_t, kBcdSize> Bcd(int digits, int scale, bool negative, const std::string& numerals) {
  std::array<std::uint8_t, kBcdSize> b{};
  b[0] = static_cast<std::uint8_t>(digits);
  b[1] = static_cast<std::uint8_t>(scale | (negative ? 0x80 : 0));
  for (std::size_t i = 0; i < numerals.size(); ++i) {
    const auto d = static_cast<std::uint8_t>(numerals[i] - '0');
    b[2 + i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? d << 4 : d);
  }
  return b;
}

TEST(Bcd, ToCurrencyRoundsTheFifthDecimalOnTheMagnitude) {
  struct Case {
    std::array<std::uint8_t, kBcdSize> bcd;
    std::int64_t units;
  };
  const Case cases[] = {
      {Bcd(7, 5, false, "1234567"), 123457},    // 12.34567
      {Bcd(7, 5, false, "1234565"), 123456},    // 12.34565: an exact half is dropped
      {Bcd(8, 6, false, "12345651"), 123457},   // 12.345651
      {Bcd(5, 5, true, "00005"), 0},            // -0.00005
      {Bcd(5, 2, false, "12345"), 1234500},     // 123.45
      {Bcd(5, 2, true, "12345"), -1234500},     // -123.45
      {Bcd(6, 6, false, "123456"), 1235},       // 0.123456
      {Bcd(5, 5, false, "12345"), 1234},        // 0.12345
      {Bcd(19, 4, false, "9223372036854775807"), INT64_MAX},
      {Bcd(19, 4, true, "9223372036854775808"), INT64_MIN},
  };
  for (const auto& c : cases) {
    Currency result{-1};
    EXPECT_TRUE(BcdToCurrency(BcdBytes(c.bcd), result));
    EXPECT_EQ(result.units, c.units);
  }
}

TEST(Bcd, BeyondTheCurrencyRangeIsExactText) {
  Currency result{};
  const auto too_big = Bcd(19, 4, false, "9223372036854775808");
  EXPECT_FALSE(BcdToCurrency(BcdBytes(too_big), result));
  EXPECT_EQ(BcdToText(BcdBytes(too_big), '.'), "922337203685477.5808");
  const auto twenty_digits = Bcd(22, 2, true, "1234567890123456789012");
  EXPECT_FALSE(BcdToCurrency(BcdBytes(twenty_digits), result));
  EXPECT_EQ(BcdToText(BcdBytes(twenty_digits), ','), "-12345678901234567890,12");
  // A digit count above the 64 nibbles that exist is clamped.
  auto huge_count = Bcd(5, 2, false, "12345");
  huge_count[0] = 200;
  EXPECT_FALSE(BcdToCurrency(BcdBytes(huge_count), result));
  EXPECT_EQ(BcdToText(BcdBytes(huge_count), '.').substr(0, 5), "12345");
}

TEST(Cells, SetCellStoresValuesAndGrowsTheUsedExtent) {
  TSpreadSheetCells store;
  store.SetCell(0, 0, Variant::Null(), taLeftJustify, 0, ictEmpty);
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.UsedColCount, 0);
  store.SetCell(5, 0, Variant(7), taRightJustify, 3, ictInteger);
  ASSERT_EQ(store.Count(), 1);
  EXPECT_EQ(store.Row(0)->Cells.size(), 6u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(store.GetCell(i, 0), nullptr);
  EXPECT_EQ(store.UsedColCount, 6);
  EXPECT_EQ(store.UsedRowCount, 1);
  EXPECT_EQ(store.GetCellValue(5, 0), Variant(7));
  EXPECT_TRUE(store.GetCellValue(5, 1).IsNull());
  EXPECT_EQ(store.GetCell(5, 0)->CellType, ictInteger);
}

TEST(Cells, ClearValuesResetsPresentCellsOnly) {
  TSpreadSheetRow row;
  row.EnsureCell(0).Value = Variant("a");
  row.EnsureCell(2).Value = Variant(2);
  row.Cells[2]->CellType = ictInteger;
  row.Cells[2]->Alignment = taRightJustify;
  row.ClearValues();
  ASSERT_EQ(row.Cells.size(), 3u);
  EXPECT_EQ(row.Cells[1], nullptr);
  EXPECT_TRUE(row.Cells[0]->Value.IsNull());
  EXPECT_TRUE(row.Cells[2]->Value.IsNull());
  EXPECT_EQ(row.Cells[2]->FormatIndex, -1);
  EXPECT_EQ(row.Cells[2]->Alignment, taLeftJustify);
  EXPECT_EQ(row.Cells[2]->CellType, ictInteger);
}

TEST(Cells, AssignCopiesOrRefuses) {
  TZelCell a, b;
  a.Value = Variant("x");
  a.FormatIndex = 4;
  b.Assign(a);
  EXPECT_EQ(b.Value, Variant("x"));
  EXPECT_EQ(b.FormatIndex, 4);
  TZeRange range;
  try {
    b.Assign(range);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TZeRange to a TZelCell");
  }
}

TEST(Sheets, SheetAtCreatesTheMissingOnes) {
  TSpreadSheets sheets;
  TSpreadSheet& third = sheets.SheetAt(2);
  EXPECT_EQ(sheets.Count(), 3);
  EXPECT_EQ(third.Caption, "Sheet3");
  EXPECT_EQ(sheets.SheetAt(-4).Caption, "Sheet1");
  sheets.DeleteSheet(0);
  EXPECT_EQ(sheets.Count(), 2);
  EXPECT_EQ(sheets.SheetAt(0).Caption, "Sheet2");
}

}  // namespace
}  // namespace tabdump
