// The record loop: read a record, let the filter judge it, make its line (a
// text line, a JSON line or a row of a SQL script) and put the line out.  The same loop
// serves the single pass and the chunks that worker threads convert
// (app/driver/chunked_export.h); only where the lines go differs.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "app/driver/table_access.h"
#include "app/forms/field_writer.h"
#include "app/forms/sql_script.h"
#include "app/forms/text_format.h"
#include "app/report/run_summary.h"

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

// The lines of JSON Lines: an object a record, its keys the fields' names
// (made once, each a JSON string and a colon), each line ended by LF.
struct JsonRows {
  FieldWriter& writer;
  const std::vector<Column>& columns;
  const std::vector<std::string>& keys;  // one per column
  LineOut& out;
  std::string line;

  void Make() {
    line.assign(1, '{');
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i != 0) line += ',';
      line += keys[i];
      writer.AppendValue(line, columns[i]);
    }
    line += "}\n";
  }
  void Put() { out.Put(line); }
};

// Why the loop stopped.
enum class LoopEnd : std::uint8_t {
  kLineCount,    // as many lines written as it was to write
  kRecordLimit,  // as many records read as it was to read
  kFileEnd,      // the table file holds no further record
};

inline constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

// How far one run of the loop goes: until `lines` more lines are written or
// `records` records read, or the file ends.
struct LoopLimits {
  std::int64_t lines = kNoLimit;
  std::int64_t records = kNoLimit;
};

// What one run of the loop works with: a reading of the table, where it
// counts, and whether a loss ends the run (/strict).
struct LoopReading {
  TA& table;
  RunTally& tally;
  const std::string& table_name;  // in the messages of /strict
  bool strict;
};

// Converts records from the reader's position on.  The tally gains the
// lines written and the records the filter rejected.
template <class Rows>
LoopEnd ConvertRecords(LoopReading reading, Rows& rows, LoopLimits limits) {
  TA& table = reading.table;
  TDBISAM& reader = table.Reader();
  RunTally& tally = reading.tally;
  auto refuse_loss = [&] {
    if (reading.strict) RefuseLoss(reader.LoadReport, tally, reading.table_name);
  };
  std::int64_t lines = 0;
  for (std::int64_t records = 0;; ++records) {
    // Three ends: the lines asked for written (the header's count of
    // records, less what was written before; deleted and filtered records do
    // not count, so this end may never come), the records asked for read, or
    // the table file exhausted.
    if (lines >= limits.lines) return LoopEnd::kLineCount;
    if (records >= limits.records) return LoopEnd::kRecordLimit;
    if (!reader.MoreRecords()) {
      refuse_loss();
      return LoopEnd::kFileEnd;
    }
    // The progress line counts the lines written.
    const bool accepted = table.ReadRecord(static_cast<std::int32_t>(tally.written));
    refuse_loss();
    if (!accepted) continue;
    if (table.HasFilter() && !table.FilterAccepts()) {
      ++tally.rejected;
      continue;
    }
    rows.Make();
    // Making the line reads the BLOBs it writes, and converts texts: either
    // may lose something.
    refuse_loss();
    rows.Put();
    ++lines;
    ++tally.written;
  }
}

}  // namespace tabdump
