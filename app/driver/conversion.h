// One conversion of a table: its settings, its reading, the columns it
// writes and how, and what it has counted so far.  Made once the table's
// header is read, before the target is touched; the output's shape, the
// record loop and the threads all work from it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/driver/table_access.h"
#include "app/forms/field_writer.h"
#include "app/forms/sql_script.h"
#include "app/report/progress_line.h"
#include "app/report/run_summary.h"
#include "app/settings/run_settings.h"
#include "runtime/code_page.h"

namespace tabdump {

struct Conversion {
  // Works out everything that can be known before the first record: the
  // columns, the fields /fields= names that the table lacks, the filter
  // compiled, a script's head.  Raises what refuses the run: /fields=
  // naming no field, under /strict one naming a field the table lacks, a
  // filter that does not parse, a name a script cannot hold, a name that
  // JSON Lines would hold twice.
  Conversion(const RunSettings& settings, const std::optional<CodePage>& code_page, TA& table);
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  const RunSettings& settings;
  const std::optional<CodePage>& code_page;
  TA& table;
  std::string table_name;  // the table file's name, in messages
  std::vector<Column> columns;
  FieldWriter writer;
  RunTally tally;
  ProgressLine progress;
  std::optional<SqlScript> script;  // with /sql
  std::vector<std::string> json_keys;  // with /json: each column's key, a JSON string and a colon
  std::string notes;                // said on standard error once the run starts
};

// The BLOB fields whose chains every record the reader accepts has read,
// written or not, so that their losses are told alike: those no column
// writes, and those the filter names (a name anywhere in its text counts).
std::vector<std::int32_t> BlobsOfEveryRecord(TDBISAM& reader, const std::vector<Column>& columns,
                                             const std::string& filter_text);

}  // namespace tabdump
