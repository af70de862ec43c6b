// How the values of one run become text in the output line.  Every choice
// that depends only on the run and the field is made once, when the columns
// are chosen: the output form (text, CSV or SQL, with or without a code
// page), and for each column the routine of its kind, which reads the value
// from the record's bytes (or a BLOB's chain) and hands it to the form.  A
// record then costs one call per field.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/forms/sql_values.h"
#include "app/forms/value_forms.h"
#include "app/settings/run_settings.h"
#include "dbisam/field_kind.h"
#include "dbisam/record_view.h"
#include "dbisam/table_reader.h"
#include "runtime/code_page.h"

namespace tabdump {

struct Column;

// Reads a value of one kind from the record and writes it in the form.
using ValueWriter = void (*)(ValueForm& form, std::string& out, const Column& column, const RecordView& record);

// What the driver needs of one selected field, worked out once per run.
struct Column {
  std::int32_t index;     // the field's place in the table, from 0
  TDBISAMFieldInfo info;
  FieldKind kind;
  std::string name;       // as stored
  int width;              // in fixed-width output
  bool right;             // right-justified in fixed-width record lines
  int string_length;      // the characters a String holds, in a SQL column
  ValueWriter write;      // the routine of the column's kind
};

// The fields of `field_list` (names as typed, each followed by ';'; empty:
// all), in the table's order.
std::vector<Column> SelectColumns(TDBISAM& reader, const std::string& field_list);

class FieldWriter {
 public:
  // `record` is the reader's door onto the record being written.
  FieldWriter(const RunSettings& settings, std::optional<CodePage> code_page, RecordView record);

  // The field's value in the current record.
  void AppendValue(std::string& out, const Column& column) { column.write(*form_, out, column, record_); }
  // A field name for the header line.
  void AppendName(std::string& out, const std::string& name);
  // A field name (field `number`, counted from 1) as UTF-8, for a SQL script.
  std::string NameInUtf8(const std::string& name, std::int32_t number);

  // Where the bytes that the code page could not read, replaced by U+FFFD,
  // are counted from now on.
  void CountReplacedIn(LossCount& replaced) { texts_.CountIn(replaced); }
  // Where the numbers the form cannot hold (written as NULL) are counted.
  void CountUnwritableNumbersIn(LossCount& numbers) { form_->CountUnwritableNumbersIn(numbers); }
  // A field name (field `number`, counted from 1) as the key of a JSON
  // object: a JSON string in UTF-8 and a colon.
  std::string JsonKey(const std::string& name, std::int32_t number);

 private:
  RecordView record_;
  TextConverter texts_;
  std::unique_ptr<ValueForm> form_;
};

}  // namespace tabdump
