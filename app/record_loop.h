// The record loop: read a record, let the filter judge it, make its line (a
// text line or a row of a SQL script) and put the line out.  The same loop
// serves the single pass of one thread and the chunks that worker threads
// convert (app/chunked_export.h); only where the lines go differs.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "app/export_table.h"
#include "app/field_writer.h"
#include "app/run_settings.h"
#include "app/run_summary.h"
#include "app/sql_script.h"
#include "app/text_format.h"
#include "runtime/console.h"
#include "runtime/stream.h"

namespace tabdump {

// Where finished lines go: the target, a script, or a chunk's buffer.
class LineOut {
 public:
  virtual ~LineOut() = default;
  virtual void Put(std::string_view line) = 0;
  // Lines made elsewhere: `bytes` holds them one after the other, each ending
  // at the next of `ends`.
  virtual void PutAll(std::string_view bytes, const std::vector<std::size_t>& ends) {
    std::size_t start = 0;
    for (const std::size_t end : ends) {
      Put(bytes.substr(start, end - start));
      start = end;
    }
  }
};

// How a reader feeds the row that the filter and the field writer read.
inline void AttachReader(TA& sink, TDBISAM& reader, const std::string& table_file) {
  reader.ReadOnDemand = true;
  reader.FileName = table_file;
  reader.OnCellValue = [&sink](TCustomSpreadSheetFile* sender, std::int32_t sheet, std::int32_t row,
                               std::int32_t column, std::int32_t format, const Variant& value,
                               TAlignment alignment, TZelCellType type) {
    sink.StoreCell(sender, sheet, row, column, format, value, alignment, type);
  };
  reader.LoadRowStatutes = TZelRowStatuses{rsNormal};
}

// The lines of the text and CSV output.
struct TextRows {
  LineBuilder& builder;
  FieldWriter& writer;
  const std::vector<Column>& columns;
  const std::string& separator;
  LineOut& out;

  void Make() {
    builder.Begin();
    for (const Column& column : columns) {
      writer.AppendValue(builder.StartField(), column);
      builder.FinishField(column.width, column.right);
    }
    builder.Line() += separator;
  }
  void Put() { out.Put(builder.Line()); }
};

// The rows of a SQL script.
struct SqlRows {
  SqlDialect dialect;
  FieldWriter& writer;
  const std::vector<Column>& columns;
  LineOut& out;
  std::string row;

  void Make() {
    SqlScript::StartRow(dialect, row);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i != 0) SqlScript::Separate(dialect, row);
      writer.AppendValue(row, columns[i]);
    }
    SqlScript::EndRow(dialect, row);
  }
  void Put() { out.Put(row); }
};

// Why the loop stopped.
enum class LoopEnd : std::uint8_t {
  kLineCount,    // as many lines written as it was to write
  kRecordLimit,  // as many records read as it was to read
  kFileEnd,      // the table file holds no further record
};

inline constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

// Under /strict, the first loss ends the run.
void RefuseLoss(const TDBISAMLoadReport& report, const RunTally& tally, const std::string& table);

// Converts records from the source's position on, until `line_limit` more
// lines are written or `record_limit` records read or the file ends.  The
// tally gains the lines written and the records the filter rejected.
template <class Rows>
LoopEnd ConvertRecords(TA& sink, const RunSettings& settings, Stream& source, Rows& rows, FieldWriter& writer,
                       RunTally& tally, std::int64_t line_limit, std::int64_t record_limit = kNoLimit) {
  TDBISAM& reader = *sink.Reader;
  const std::string table = ExtractFileName(settings.SourceFile);
  std::int64_t lines = 0;
  for (std::int64_t records = 0;; ++records) {
    // Three ends: the lines asked for written (the header's count of
    // records, less what was written before; deleted and filtered records do
    // not count, so this end may never come), the records asked for read, or
    // the table file exhausted — with at most one byte left, no record can
    // follow.
    if (lines >= line_limit) return LoopEnd::kLineCount;
    if (records >= record_limit) return LoopEnd::kRecordLimit;
    if (source.Position() >= source.Size() - 1) {
      reader.NoteUnreadTail();
      if (settings.Strict) RefuseLoss(reader.LoadReport, tally, table);
      return LoopEnd::kFileEnd;
    }
    sink.RowBuffer->ClearValues();
    // The reader takes the next record at the stream's position; the index
    // and row it is given only label the cells it reports, and they count
    // the lines written, not the records read.
    const auto label = static_cast<std::int32_t>(tally.written);
    const bool accepted = reader.ReadRecord(label, label);
    if (settings.Strict) RefuseLoss(reader.LoadReport, tally, table);
    if (!accepted) continue;
    if (!settings.FilterText.empty() && !sink.FilterAccepts()) {
      ++tally.rejected;
      continue;
    }
    rows.Make();
    // Making the line reads the BLOBs of the fields formatted from the
    // record, and converts texts: either may lose something.
    if (settings.Strict) {
      tally.replaced = writer.Replaced();
      RefuseLoss(reader.LoadReport, tally, table);
    }
    rows.Put();
    ++lines;
    ++tally.written;
  }
}

}  // namespace tabdump
