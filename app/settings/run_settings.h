// The settings of one conversion, decoded from the command-line switches.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/settings/sql_dialect.h"

namespace tabdump {

// The one-character text holding code 0: as delimiter or qualifier it means
// "none".  Distinct from the empty text, which is used as it is.
inline const std::string NoneMark(1, '\0');

struct RunSettings {
  bool HeaderLine = false;
  bool TypeLine = false;
  bool FixedWidth = false;
  std::string Delimiter = "\t";
  std::string Qualifier = NoneMark;
  std::string RecordSeparator = "\r\n";
  std::string FieldList;   // names as typed (any letter case), each followed by ';'
  std::string FilterText;
  std::string SourceFile;
  std::string TargetFile;
  bool Summary = false;  // the run summary on standard error, terminal or not
  bool Strict = false;   // a loss that would be a warning ends the run instead
  bool Csv = false;      // CSV for loaders: implies HeaderLine; no qualifier, no fixed width
  bool Bom = false;      // the target starts with a UTF-8 byte-order mark
  std::string CodePage;  // the tables' code page, as typed; empty: texts as stored
  // A SQL load script instead of lines of text: the layout switches (/h, /f,
  // /fixed, /delimiter, /qualifier, /recordseparator, /csv, /bom) do not apply.
  std::optional<SqlDialect> Sql;
  // JSON Lines instead of lines of text: one object a record, each line
  // ended by LF.  /h, /f, /fixed, /delimiter, /qualifier, /recordseparator
  // and /csv do not apply; /sql= goes before it.
  bool Json = false;
  // A description of the table (or of every table of a folder) instead of
  // its records: for people, or with /json as one JSON document.
  bool Info = false;
  int Threads = 0;  // threads converting records; 0: one a core
};

// The most threads a run may ask for.
inline constexpr int kMaxThreads = 64;

// The target that stands for standard output.
inline constexpr const char* kStandardOutputName = "-";

// Decodes the parameters after the program's name; the first two are the
// source and target files whatever they look like.  Raises EConvertError for
// a delimiter or qualifier of a backslash without a valid integer, and for
// an unknown SQL dialect.
RunSettings ParseSwitches(const std::vector<std::string>& params);

// "\59", "\$3B", "\0x3B": the character with that code's low 8 bits;
// anything else as it stands.  EConvertError "'%s' is not a valid integer
// value" when the backslash is not followed by an integer.
std::string DecodeCharSwitch(const std::string& value);

}  // namespace tabdump
