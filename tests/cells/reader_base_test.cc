#include "cells/reader_base.h"

#include <gtest/gtest.h>

#include "runtime/exceptions.h"

namespace tabdump {
namespace {

TEST(ReaderBase, PrepareLoadBindsDefaultsOnlyToUnassignedEvents) {
  TSpreadSheetFile reader;
  int mine = 0;
  reader.OnCellValue = [&](TCustomSpreadSheetFile*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                           const Variant&, TAlignment, TZelCellType) { ++mine; };
  reader.PrepareLoad();
  EXPECT_TRUE(reader.OnDimensions && reader.OnGetCellValue && reader.OnSheet && reader.OnSheetName &&
              reader.OnColumnWidth && reader.OnRowHeight);
  reader.OnCellValue(&reader, 0, 0, 0, 0, Variant(1), taLeftJustify, ictInteger);
  EXPECT_EQ(mine, 1);
  EXPECT_EQ(reader.Sheets.SheetAt(0).Cells.Count(), 0);  // nothing stored by a default
}

TEST(ReaderBase, DefaultHandlersStoreIntoTheSheets) {
  TSpreadSheetFile reader;
  reader.PrepareLoad();
  reader.LoadRange.LastCol = 3;
  reader.OnCellValue(&reader, 0, 1, 2, 0, Variant("kept"), taLeftJustify, ictString);
  reader.OnCellValue(&reader, 0, 1, 4, 0, Variant("dropped"), taLeftJustify, ictString);
  EXPECT_EQ(reader.Sheets.SheetAt(0).Cells.GetCellValue(2, 1), Variant("kept"));
  EXPECT_EQ(reader.Sheets.SheetAt(0).Cells.GetCell(4, 1), nullptr);
  Variant v;
  reader.OnGetCellValue(&reader, 0, 1, 2, v);
  EXPECT_EQ(v, Variant("kept"));

  reader.OnDimensions(&reader, 0, 0, 10, 0, 7);
  EXPECT_EQ(reader.Sheets.SheetAt(0).Cells.RowCount, 10);
  EXPECT_EQ(reader.Sheets.SheetAt(0).Cells.ColCount, 3);  // limited by LoadRange

  reader.OnColumnWidth(&reader, 0, 3, 21);
  EXPECT_EQ(reader.Sheets.SheetAt(0).ColumnWidths, (std::vector<std::int32_t>{0, 0, 0, 21}));
  reader.OnRowHeight(&reader, 0, 4, 15);
  EXPECT_EQ(reader.Sheets.SheetAt(0).Cells.Row(4)->Height, 15);
}

TEST(ReaderBase, DefaultSheetSkipsAllButTheChosenSheet) {
  TSpreadSheetFile reader;
  reader.SheetIndex = 2;
  reader.PrepareLoad();
  std::vector<bool> skipped;
  for (int i = 0; i < 4; ++i) {
    bool skip = false;
    reader.OnSheet(&reader, "S" + std::to_string(i), i, skip);
    skipped.push_back(skip);
  }
  EXPECT_EQ(skipped, (std::vector<bool>{true, true, false, true}));
  EXPECT_EQ(reader.Sheets.Count(), 4);
  EXPECT_EQ(reader.Sheets.SheetAt(3).Caption, "S3");
}

TEST(ReaderBase, LoadFromFileValidatesTheName) {
  TSpreadSheetFile reader;
  try {
    reader.LoadFromFile("  ");
    FAIL();
  } catch (const EZelFileException& e) {
    EXPECT_STREQ(e.what(), "File is not defined.");
  }
  try {
    reader.LoadFromFile("no/such/table.dat");
    FAIL();
  } catch (const EZelFileException& e) {
    EXPECT_STREQ(e.what(), "File no/such/table.dat does not exist.");
  }
  EXPECT_TRUE(reader.FileName.empty());
}

TEST(ReaderBase, ColumnIndexByLettersLimitedByTheUsedColumns) {
  TSpreadSheetFile reader;
  reader.Sheets.SheetAt(0).Cells.SetCell(2, 0, Variant(1), taLeftJustify, 0, ictInteger);
  EXPECT_EQ(reader.ColumnIndex("c"), 2);
  EXPECT_EQ(reader.ColumnIndex("D"), -1);
  reader.NameKind = nkFieldName;
  EXPECT_EQ(reader.ColumnIndex("c"), -1);
}

TEST(ReaderBase, SetsOfStatusesAreOneByte) {
  EXPECT_EQ(TZelRowStatuses{rsNormal}.Bits(), 1);
  EXPECT_EQ((TZelParseItems{ipiText, ipiBLOB, ipiSummaryInformation}.Bits()), 0x13);
}

}  // namespace
}  // namespace tabdump
