// What a tabular reader delivers: cells with a typed value, rows of cells, a
// sheet's store of rows, named sheets and a rectangular range; plus column
// letters and packed decimals.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "runtime/component.h"
#include "runtime/currency.h"
#include "runtime/variant.h"

namespace tabdump {

enum TZelCellType : std::uint8_t {
  ictUnknown, ictEmpty, ictString, ictInteger, ictDecimal,
  ictDateTime, ictBoolean, ictMemo, ictDate, ictTime,
};
enum TZelRowStatus : std::uint8_t { rsNormal, rsDeleted, rsError };
enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

// A set of enumeration values in one byte, bit n standing for ordinal n.
template <typename Enum>
class ByteSet {
 public:
  constexpr ByteSet() = default;
  constexpr ByteSet(std::initializer_list<Enum> values) {
    for (Enum v : values) bits_ |= Bit(v);
  }
  constexpr bool Contains(Enum v) const { return (bits_ & Bit(v)) != 0; }
  constexpr void Include(Enum v) { bits_ |= Bit(v); }
  constexpr void Exclude(Enum v) { bits_ &= static_cast<std::uint8_t>(~Bit(v)); }
  constexpr std::uint8_t Bits() const { return bits_; }
  friend constexpr bool operator==(ByteSet a, ByteSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr std::uint8_t Bit(Enum v) { return static_cast<std::uint8_t>(1u << static_cast<unsigned>(v)); }
  std::uint8_t bits_ = 0;
};
using TZelRowStatuses = ByteSet<TZelRowStatus>;

// An object that can copy another of its class.
class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual const char* ClassName() const = 0;
  // Raises EConvertError "Cannot assign a <source class> to a <this class>"
  // unless a subclass knows how to copy the source.
  virtual void Assign(const TPersistent& source);
};

class TZelCell : public TPersistent {
 public:
  Variant Value;
  TAlignment Alignment = taLeftJustify;
  std::int32_t FormatIndex = 0;
  TZelCellType CellType = ictUnknown;

  const char* ClassName() const override { return "TZelCell"; }
  void Assign(const TPersistent& source) override;
};

// A row's cells by column index; a slot may be empty.
using TSpreadSheetCols = std::vector<std::unique_ptr<TZelCell>>;

// Entry n of a cell list, or nullptr when n is outside it.
TZelCell* CellAt(const TSpreadSheetCols& list, std::int64_t n);

class TSpreadSheetRow : public TPersistent {
 public:
  std::int32_t Index = 0;
  TZelRowStatus Status = rsNormal;
  bool Flag = true;  // kept for layout compatibility; nothing reads it
  std::int32_t Height = 0;
  std::int32_t RowNo = 0;
  TSpreadSheetCols Cells;

  const char* ClassName() const override { return "TSpreadSheetRow"; }
  // Every present cell: Value Null, Alignment left, FormatIndex -1.  The list
  // keeps its length, empty slots stay empty, CellType stays.
  void ClearValues();
  // The cell in slot `column`, created (with empty slots before it) when missing.
  TZelCell& EnsureCell(std::int32_t column);
};

class TSpreadSheetCells {
 public:
  std::int32_t ColCount = 0;
  std::int32_t RowCount = 0;
  std::int32_t UsedColCount = 0;
  std::int32_t UsedRowCount = 0;
  bool TrackUsedExtent = true;

  std::int32_t Count() const { return static_cast<std::int32_t>(rows_.size()); }
  TSpreadSheetRow* Row(std::int32_t n) const;
  // Creates rows until row n exists; returns n.  A negative n adds nothing.
  std::int32_t EnsureRow(std::int32_t n);
  void DeleteRow(std::int32_t n);
  void ClearRows();
  TZelCell* GetCell(std::int32_t col, std::int32_t row) const;
  Variant GetCellValue(std::int32_t col, std::int32_t row) const;
  // Stores a copy of a value that is neither Null nor empty, growing the used
  // extents when they are tracked.
  void SetCell(std::int32_t col, std::int32_t row, const Variant& value, TAlignment alignment,
               std::int32_t format_index, TZelCellType cell_type);

 private:
  std::vector<std::unique_ptr<TSpreadSheetRow>> rows_;
};

class TSpreadSheet : public TComponent {
 public:
  explicit TSpreadSheet(TComponent* owner = nullptr) : TComponent(owner) {}
  TSpreadSheetCells Cells;
  std::string Caption;
  std::vector<std::int32_t> ColumnWidths;  // 0 in entries never given a width
};

class TSpreadSheets {
 public:
  using SheetFactory = std::function<std::unique_ptr<TSpreadSheet>()>;
  SheetFactory SheetClass;  // TSpreadSheet when left unset

  std::int32_t Count() const { return static_cast<std::int32_t>(sheets_.size()); }
  // Appends a sheet named "Sheet<index+1>"; returns its index.
  std::int32_t AddSheet();
  void DeleteSheet(std::int32_t n);
  void ClearSheets();
  // Sheet n, created (with every sheet before it) when missing.  A negative n
  // counts as 0.
  TSpreadSheet& SheetAt(std::int32_t n);
  TSpreadSheet* Find(std::int32_t n) const;

 private:
  std::vector<std::unique_ptr<TSpreadSheet>> sheets_;
};

class TZeRange : public TPersistent {
 public:
  std::int32_t FirstRow = 1;
  std::int32_t LastRow = 2147483647;
  std::int32_t FirstCol = 1;
  std::int32_t LastCol = 2147483647;

  const char* ClassName() const override { return "TZeRange"; }
  void Assign(const TPersistent& source) override;
};

// A list of texts, each with an integer attached.
using TStringList = std::vector<std::pair<std::string, std::int32_t>>;

// Column letters A=0, B=1, ... AA=26; -1 for anything but letters, for an
// empty name, and for a column number above `limit`.
std::int32_t ColumnNameToIndex(const std::string& name, std::int32_t limit);
// 1 gives A, 26 Z, 27 AA; empty for n <= 0.
std::string ColumnIndexToName(std::int32_t n);
void FillColumnNames(std::int32_t count, const std::string& names, TStringList& list);

// A packed decimal value: digit count, sign and scale, then two digits a byte.
inline constexpr std::size_t kBcdSize = 34;
using BcdBytes = std::span<const std::uint8_t, kBcdSize>;
int BcdNibble(BcdBytes data, int n);
// The amount with four decimals.  The fifth decimal rounds the magnitude up
// when it is above 5, or 5 followed by any non-zero digit; an exact half is
// dropped.  False when the magnitude does not fit the currency range:
// BcdToText then gives the exact value.
bool BcdToCurrency(BcdBytes data, Currency& result);
// The exact decimal text of a packed decimal value, '.' replaced by `point`.
std::string BcdToText(BcdBytes data, char point);

}  // namespace tabdump
