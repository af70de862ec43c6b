#include "cells/cell_model.h"

#include <limits>

#include "runtime/ascii_case.h"
#include "runtime/exceptions.h"

namespace tabdump {

void TPersistent::Assign(const TPersistent& source) {
  throw EConvertError(std::string("Cannot assign a ") + source.ClassName() + " to a " + ClassName());
}

void TZelCell::Assign(const TPersistent& source) {
  auto* cell = dynamic_cast<const TZelCell*>(&source);
  if (cell == nullptr) return TPersistent::Assign(source);
  Value = cell->Value;
  Alignment = cell->Alignment;
  FormatIndex = cell->FormatIndex;
  CellType = cell->CellType;
}

void TZeRange::Assign(const TPersistent& source) {
  auto* range = dynamic_cast<const TZeRange*>(&source);
  if (range == nullptr) return TPersistent::Assign(source);
  FirstRow = range->FirstRow;
  LastRow = range->LastRow;
  FirstCol = range->FirstCol;
  LastCol = range->LastCol;
}

TZelCell* CellAt(const TSpreadSheetCols& list, std::int64_t n) {
  if (n < 0 || n >= static_cast<std::int64_t>(list.size())) return nullptr;
  return list[static_cast<std::size_t>(n)].get();
}

void TSpreadSheetRow::ClearValues() {
  for (auto& cell : Cells) {
    if (!cell) continue;
    cell->Value.SetNull();
    cell->Alignment = taLeftJustify;
    cell->FormatIndex = -1;
  }
}

TZelCell& TSpreadSheetRow::EnsureCell(std::int32_t column) {
  const auto slot = static_cast<std::size_t>(column);
  if (Cells.size() <= slot) Cells.resize(slot + 1);
  if (!Cells[slot]) Cells[slot] = std::make_unique<TZelCell>();
  return *Cells[slot];
}

TSpreadSheetRow* TSpreadSheetCells::Row(std::int32_t n) const {
  if (n < 0 || n >= Count()) return nullptr;
  return rows_[static_cast<std::size_t>(n)].get();
}

std::int32_t TSpreadSheetCells::EnsureRow(std::int32_t n) {
  while (Count() < n + 1) {
    auto row = std::make_unique<TSpreadSheetRow>();
    row->Index = row->RowNo = Count();
    rows_.push_back(std::move(row));
  }
  return n;
}

void TSpreadSheetCells::DeleteRow(std::int32_t n) {
  if (n < 0 || n >= Count()) return;
  rows_.erase(rows_.begin() + n);
}

void TSpreadSheetCells::ClearRows() {
  while (!rows_.empty()) rows_.pop_back();
  ColCount = RowCount = UsedColCount = UsedRowCount = 0;
}

TZelCell* TSpreadSheetCells::GetCell(std::int32_t col, std::int32_t row) const {
  TSpreadSheetRow* r = Row(row);
  return r == nullptr ? nullptr : CellAt(r->Cells, col);
}

Variant TSpreadSheetCells::GetCellValue(std::int32_t col, std::int32_t row) const {
  TZelCell* cell = GetCell(col, row);
  return cell == nullptr ? Variant::Null() : cell->Value;
}

void TSpreadSheetCells::SetCell(std::int32_t col, std::int32_t row, const Variant& value,
                                TAlignment alignment, std::int32_t format_index,
                                TZelCellType cell_type) {
  if (col < 0 || row < 0 || value.IsEmptyOrNull()) return;
  EnsureRow(row);
  TZelCell& cell = Row(row)->EnsureCell(col);
  cell.Value = value;
  cell.Alignment = alignment;
  cell.FormatIndex = format_index;
  cell.CellType = cell_type;
  if (TrackUsedExtent) {
    if (col >= UsedColCount) UsedColCount = col + 1;
    if (row >= UsedRowCount) UsedRowCount = row + 1;
  }
}

std::int32_t TSpreadSheets::AddSheet() {
  auto sheet = SheetClass ? SheetClass() : std::make_unique<TSpreadSheet>();
  if (!SheetClass) SheetClass = [] { return std::make_unique<TSpreadSheet>(); };
  sheet->Caption = "Sheet" + std::to_string(Count() + 1);
  sheets_.push_back(std::move(sheet));
  return Count() - 1;
}

void TSpreadSheets::DeleteSheet(std::int32_t n) {
  SheetAt(n);
  if (n < 0) n = 0;
  sheets_.erase(sheets_.begin() + n);
}

void TSpreadSheets::ClearSheets() {
  while (!sheets_.empty()) sheets_.pop_back();
}

TSpreadSheet& TSpreadSheets::SheetAt(std::int32_t n) {
  if (n < 0) n = 0;
  while (Count() < n + 1) AddSheet();
  return *sheets_[static_cast<std::size_t>(n)];
}

TSpreadSheet* TSpreadSheets::Find(std::int32_t n) const {
  if (n < 0 || n >= Count()) return nullptr;
  return sheets_[static_cast<std::size_t>(n)].get();
}

std::int32_t ColumnNameToIndex(const std::string& name, std::int32_t limit) {
  if (name.empty()) return -1;
  std::int64_t number = 0;
  for (char letter : name) {
    const char c = UpperAscii(letter);
    if (c < 'A' || c > 'Z') return -1;
    number = number * 26 + (c - 'A' + 1);
    if (number > INT32_MAX) return -1;  // beyond any column
  }
  if (number > limit) return -1;
  return static_cast<std::int32_t>(number - 1);
}

std::string ColumnIndexToName(std::int32_t n) {
  std::string name;
  while (n > 0) {
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return name;
}

void FillColumnNames(std::int32_t count, const std::string& names, TStringList& list) {
  list.clear();
  if (names.empty()) {
    for (std::int32_t i = 1; i <= count; ++i) list.emplace_back(ColumnIndexToName(i), i);
    return;
  }
  std::size_t start = 0;
  while (start < names.size()) {
    std::size_t end = names.find(';', start);
    if (end == std::string::npos) end = names.size();
    std::string token = names.substr(start, end - start);
    list.emplace_back(token, ColumnNameToIndex(token, count));
    start = end + 1;
  }
}

int BcdNibble(BcdBytes data, int n) {
  const std::uint8_t byte = data[2 + static_cast<std::size_t>(n / 2)];
  return n % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

namespace {

// At most 64 digits fit the 32 digit bytes.
int BcdDigitCount(BcdBytes data) { return data[0] > 64 ? 64 : data[0]; }
int BcdScale(BcdBytes data) { return data[1] & 0x3F; }
bool BcdNegative(BcdBytes data) { return (data[1] & 0x80) != 0; }

}  // namespace

bool BcdToCurrency(BcdBytes data, Currency& result) {
  const int p = BcdDigitCount(data);
  const int s = BcdScale(data);
  // Digit i stands at position k = p - s - i: 1 is the units, -3 the fourth
  // decimal.  The magnitude is gathered unsigned; at most 19 digits (k <= 15)
  // fit, a non-zero digit further left does not.
  static constexpr std::uint64_t kPow10[19] = {
      1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL, 10000000ULL,
      100000000ULL, 1000000000ULL, 10000000000ULL, 100000000000ULL, 1000000000000ULL,
      10000000000000ULL, 100000000000000ULL, 1000000000000000ULL, 10000000000000000ULL,
      100000000000000000ULL, 1000000000000000000ULL};
  std::uint64_t magnitude = 0;
  bool fits = true;
  for (int i = 0; i < p; ++i) {
    const int digit = BcdNibble(data, i);
    const int k = p - s - i;
    if (digit == 0 || k < -3) continue;
    if (k > 15) {
      fits = false;
      continue;
    }
    magnitude += static_cast<std::uint64_t>(digit) * kPow10[k + 3];
  }
  if (s > 4) {
    const int fifth = p - s + 4;  // index of the digit at k = -4
    if (fifth >= 0 && fifth < p) {
      const int d = BcdNibble(data, fifth);
      bool round_up = d > 5;
      if (d == 5) {
        for (int i = fifth + 1; i < p && !round_up; ++i) round_up = BcdNibble(data, i) != 0;
      }
      if (round_up) ++magnitude;
    }
  }
  const bool negative = BcdNegative(data);
  const std::uint64_t limit = negative ? (1ULL << 63) : static_cast<std::uint64_t>(INT64_MAX);
  if (!fits || magnitude > limit) return false;
  result.units = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

std::string BcdToText(BcdBytes data, char point) {
  const int p = BcdDigitCount(data);
  const int s = BcdScale(data) > p ? p : BcdScale(data);
  std::string whole, fraction;
  for (int i = 0; i < p; ++i) {
    const char digit = static_cast<char>('0' + BcdNibble(data, i));
    if (i < p - s) {
      if (!(whole.empty() && digit == '0')) whole += digit;
    } else {
      fraction += digit;
    }
  }
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (whole.empty()) whole = "0";
  std::string text = BcdNegative(data) && (whole != "0" || !fraction.empty()) ? "-" : "";
  text += whole;
  if (!fraction.empty()) text += point + fraction;
  return text;
}

}  // namespace tabdump
