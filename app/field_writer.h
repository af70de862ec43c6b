// How the values of one run become text in the output line: the text output
// (regional settings, texts as stored), CSV, or the literals of a SQL script,
// with the tables' texts turned into UTF-8 from their code page when
// /codepage is given (a SQL script checks that texts are UTF-8 without it).  Every choice that
// depends only on the run and the field is made once, when the columns are
// chosen; a record costs one switch per field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/csv_format.h"
#include "app/run_settings.h"
#include "app/run_summary.h"
#include "app/sql_values.h"
#include "dbisam/table_reader.h"
#include "runtime/code_page.h"

namespace tabdump {

class TA;

// What the driver needs of one selected field, worked out once per run.
struct Column {
  std::int32_t index;
  TDBISAMFieldInfo info;
  int width;       // in fixed-width output
  bool right;      // right-justified in fixed-width record lines
  bool text;       // a String or a memo: converted from the code page
  CsvKind csv_kind;
  SqlKind sql_kind;
  int string_length;  // the characters a String holds, in a SQL column
  std::string name;   // as stored
  bool from_record = false;  // formatted from the reader's record, not the row
};

std::vector<Column> SelectColumns(TDBISAM& reader, const std::string& field_list);

// Decides once per run which columns are formatted straight from the
// reader's record (no event, no copy into the row): all those whose names the
// filter does not mention.  The filter reads the others from the row.
void PlanFromRecord(std::vector<Column>& columns, const std::string& filter_text);

// Sets the reader to report through the row every field but the columns
// formatted from the record: the fields the filter names, and the BLOB
// fields not written, whose chains it reads so that their losses are told as
// ever.
void ReportOtherFields(TDBISAM& reader, const std::vector<Column>& columns, const std::string& filter_text);

class FieldWriter {
 public:
  FieldWriter(const RunSettings& settings, std::optional<CodePage> code_page, TA& sink);

  // The field's value in the current record.
  void AppendValue(std::string& out, const Column& column);
  // A field name for the header line.
  void AppendName(std::string& out, const std::string& name);
  // A field name (field `number`, counted from 1) as UTF-8, for a SQL script.
  std::string NameInUtf8(const std::string& name, std::int32_t number);

  // Bytes that the code page could not read, replaced by U+FFFD.
  const LossCount& Replaced() const { return replaced_; }
  // Starts the count anew, or from what other writers of the run counted.
  void SetReplaced(const LossCount& replaced) { replaced_ = replaced; }

 private:
  // A stored text: converted from the code page, quoted in CSV, a literal
  // in SQL.
  void AppendText(std::string& out, const std::string& stored, const Column& column);
  // A stored text in UTF-8: converted from the code page (into scratch_),
  // or the stored text itself, checked, when there is none; nullopt when it
  // is not valid UTF-8 then.
  std::optional<std::string_view> Utf8Text(const std::string& stored, std::int64_t record);
  void AppendSqlValue(std::string& out, const Column& column, const Variant* value);
  // A value taken from the record's bytes in the run's output form, for the
  // kinds that need no Variant; false for the others.
  bool AppendFromRecord(std::string& out, const Column& column);

  bool csv_;
  std::optional<SqlValueWriter> sql_;
  std::string delimiter_;
  std::optional<CodePage> code_page_;
  TA& sink_;
  std::string scratch_;
  LossCount replaced_;
};

// The bytes of the UTF-8 byte-order mark.
inline constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace tabdump
