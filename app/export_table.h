// The export driver: one pass over a table, one text line per record that the
// reader accepts and the filter keeps.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/run_settings.h"
#include "app/run_summary.h"
#include "app/text_format.h"
#include "cells/cell_model.h"
#include "dbisam/table_reader.h"
#include "runtime/file_names.h"

namespace tabdump {

class RowFilter;

// The event sink: ties the table reader, the row buffer and the filter
// together for one run.
class TA {
 public:
  TA();
  ~TA();

  TDBISAM* Reader = nullptr;             // created and freed by ExportTable
  TSpreadSheetRow* RowBuffer = nullptr;  // created and freed by ExportTable
  std::string FilterText;

  // Bound to the reader's OnCellValue: keeps the value in the row buffer.
  void StoreCell(TCustomSpreadSheetFile* sender, std::int32_t sheet_no, std::int32_t row,
                 std::int32_t column, std::int32_t format_index, const Variant& value,
                 TAlignment alignment, TZelCellType cell_type);
  // The value of field n of the current record: a Boolean as "1" or "0",
  // Null when the record has no such cell.
  Variant GetRowValue(std::int32_t n) const;
  // The text of a value in the text output: a Boolean as 1 or 0.
  static void AppendCellText(std::string& out, const Variant& value) {
    if (value.type() == VarType::kBoolean) {
      out += value.AsBoolean() ? '1' : '0';
    } else {
      AppendValueText(out, value);
    }
  }
  // The value of field n of the current record as the reader gave it (a
  // Boolean stays one); null when the record has no such cell.
  const Variant* RowValue(std::int32_t n) const {
    const TZelCell* cell = CellAt(RowBuffer->Cells, n);
    return cell == nullptr ? nullptr : &cell->Value;
  }

  // The filter's verdict for the current record (row_filter.cc).  When the
  // filter fails, FilterFailure tells where before the error goes on.
  bool FilterAccepts();
  // Compiles the filter, so that one that does not parse is refused before
  // the target is touched.
  void CompileFilter();

  // Where the filter failed: the record (counted from 1 in the table file)
  // and the name in it that is no field of the table, if any.
  struct FilterFailurePlace {
    std::int64_t record = 0;
    std::string text_name;
  };
  std::optional<FilterFailurePlace> FilterFailure;

 private:
  RowFilter& Filter();

  std::unique_ptr<RowFilter> filter_;
};

// What the user is told when the source table does not exist.
inline constexpr const char* kTableNotFound = "DBISAM file not found.";

// A file that a run reads, which none of its targets may be.
struct SourceFile {
  FileIdentity identity;
  std::string name;
};

// Converts SourceFile into TargetFile ("-": standard output).  False, with
// nothing touched, when there is no such source file (kTableNotFound says so);
// failures raise.  With a code page, the filter text and the field list are
// taken as UTF-8 and converted into it.  Whatever can refuse the run before
// the first record (the table's header, the field list, the filter, the
// script's names, a target that is a file the run reads: the table, its
// BLOB file, or one of `folder_files`) refuses it before the target is
// created or emptied.  `totals`, when given, gains the records read and
// written.
bool ExportTable(TA& sink, const RunSettings& settings, FolderTotals* totals = nullptr,
                 const std::vector<SourceFile>* folder_files = nullptr);

}  // namespace tabdump
