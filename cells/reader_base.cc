#include "cells/reader_base.h"

#include "runtime/exceptions.h"

namespace tabdump {

TSpreadSheetFile::TSpreadSheetFile(TComponent* owner) : TCustomSpreadSheetFile(owner) {}

void TSpreadSheetFile::PrepareLoad() {
  Sheets.ClearSheets();
  // Only events left unassigned get the default handlers, which store what
  // the load delivers in the sheets; a handler of the caller stays.
  if (!OnDimensions) {
    OnDimensions = [this](TCustomSpreadSheetFile*, std::int32_t sheet, std::int32_t, std::int32_t last_row,
                          std::int32_t, std::int32_t last_col) { DefaultDimensions(sheet, last_row, last_col); };
  }
  if (!OnCellValue) {
    OnCellValue = [this](TCustomSpreadSheetFile*, std::int32_t sheet, std::int32_t row, std::int32_t col,
                         std::int32_t format, const Variant& value, TAlignment alignment,
                         TZelCellType type) { DefaultCellValue(sheet, row, col, format, value, alignment, type); };
  }
  if (!OnGetCellValue) {
    OnGetCellValue = [this](TCustomSpreadSheetFile*, std::int32_t sheet, std::int32_t row, std::int32_t col,
                            Variant& value) { value = Sheets.SheetAt(sheet).Cells.GetCellValue(col, row); };
  }
  if (!OnSheet) {
    OnSheet = [this](TCustomSpreadSheetFile*, const std::string& caption, std::int32_t index, bool& skip) {
      DefaultSheet(caption, index, skip);
    };
  }
  if (!OnSheetName) {
    OnSheetName = [this](TCustomSpreadSheetFile*, const std::string& caption, std::int32_t index) {
      DefaultSheetName(caption, index);
    };
  }
  if (!OnColumnWidth) {
    OnColumnWidth = [this](TCustomSpreadSheetFile*, std::int32_t sheet, std::int32_t col, std::int32_t width) {
      DefaultColumnWidth(sheet, col, width);
    };
  }
  if (!OnRowHeight) {
    OnRowHeight = [this](TCustomSpreadSheetFile*, std::int32_t sheet, std::int32_t row, std::int32_t height) {
      DefaultRowHeight(sheet, row, height);
    };
  }
}

void TSpreadSheetFile::GetBlobText(std::int32_t, std::int32_t, std::string& text) { text.clear(); }

void TSpreadSheetFile::LoadFromStream(Stream& stream) { ParseStream(stream); }

namespace {
// A name of nothing but spaces and control characters names no file.
bool IsBlankName(const std::string& name) {
  for (unsigned char c : name) {
    if (c > 32) return false;
  }
  return true;
}
}  // namespace

void TSpreadSheetFile::LoadFromFile(const std::string& name) {
  if (ValidateFileName) {
    if (IsBlankName(name)) throw EZelFileException("File is not defined.");
    if (!FileExists(name)) throw EZelFileException("File " + name + " does not exist.");
  }
  FileName = name;
  PrepareLoad();
}

void TSpreadSheetFile::ParseStream(Stream&) { PrepareLoad(); }

void TSpreadSheetFile::ResetLoad() { CurrentRecord = -1; }

bool TSpreadSheetFile::ReadRecord(std::int32_t index, std::int32_t) {
  CurrentRecord = index;
  return true;
}

std::int32_t TSpreadSheetFile::UsedColCountOfIndexedSheet() {
  return Sheets.SheetAt(SheetIndex < 0 ? 0 : SheetIndex).Cells.UsedColCount;
}

std::int32_t TSpreadSheetFile::ColumnIndex(const std::string& name) {
  // Columns named by their fields have no letters: finding a field name is
  // the format reader's part, and the base finds none.
  if (NameKind == nkFieldName) return -1;
  return ColumnNameToIndex(name, UsedColCountOfIndexedSheet());
}

void TSpreadSheetFile::GetColumnNames(TStringList& list, const std::string& names) {
  list.clear();
  if (NameKind == nkAlphabet) FillColumnNames(UsedColCountOfIndexedSheet(), names, list);
}

void TSpreadSheetFile::DoLoadProgress(std::int64_t position, std::int64_t total_size) {
  if (OnLoadProgress) OnLoadProgress(this, position, total_size);
}

void TSpreadSheetFile::SetRowStatus(std::int32_t sheet_no, std::int32_t row, TZelRowStatus status) {
  if (TSpreadSheetRow* r = Sheets.SheetAt(sheet_no).Cells.Row(row)) r->Status = status;
  if (OnRecordStatusChanged) OnRecordStatusChanged(this, sheet_no, row, status);
}

void TSpreadSheetFile::DefaultDimensions(std::int32_t sheet_no, std::int32_t last_row,
                                         std::int32_t last_column) {
  TSpreadSheetCells& cells = Sheets.SheetAt(sheet_no).Cells;
  cells.RowCount = last_row;
  // No more columns than the load range takes.  A sheet that does not track
  // the extent of the cells it receives counts the whole declared extent as
  // used.
  cells.ColCount = last_column < LoadRange.LastCol ? last_column : LoadRange.LastCol;
  if (!cells.TrackUsedExtent) {
    cells.UsedRowCount = cells.RowCount;
    cells.UsedColCount = cells.ColCount;
  }
}

void TSpreadSheetFile::DefaultCellValue(std::int32_t sheet_no, std::int32_t row, std::int32_t column,
                                        std::int32_t format_index, const Variant& value,
                                        TAlignment alignment, TZelCellType cell_type) {
  if (column > LoadRange.LastCol || row > LoadRange.LastRow) return;  // outside the load range
  try {
    Sheets.SheetAt(sheet_no).Cells.SetCell(column, row, value, alignment, format_index, cell_type);
  } catch (const std::exception&) {
    // A cell that cannot be stored is dropped; the load goes on.
  }
}

void TSpreadSheetFile::DefaultSheet(const std::string& caption, std::int32_t index, bool& skip) {
  if (SheetIndex >= 0) skip = index != SheetIndex;
  Sheets.SheetAt(Sheets.AddSheet()).Caption = caption;
}

void TSpreadSheetFile::DefaultSheetName(const std::string& caption, std::int32_t index) {
  if (TSpreadSheet* sheet = Sheets.Find(index)) sheet->Caption = caption;
}

void TSpreadSheetFile::DefaultColumnWidth(std::int32_t sheet_no, std::int32_t column_no, std::int32_t width) {
  if (column_no < 0) return;
  auto& widths = Sheets.SheetAt(sheet_no).ColumnWidths;
  if (widths.size() <= static_cast<std::size_t>(column_no)) widths.resize(static_cast<std::size_t>(column_no) + 1);
  widths[static_cast<std::size_t>(column_no)] = width;
}

void TSpreadSheetFile::DefaultRowHeight(std::int32_t sheet_no, std::int32_t row_no, std::int32_t height) {
  TSpreadSheetCells& cells = Sheets.SheetAt(sheet_no).Cells;
  if (row_no < 0) return;
  cells.EnsureRow(row_no);
  cells.Row(row_no)->Height = height;
}

}  // namespace tabdump
