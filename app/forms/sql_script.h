// The shape of a SQL load script: one transaction that creates the table and
// loads its rows, for the database's own client to run:
//
//   sqlite3 new.db < t.sql
//   psql -v ON_ERROR_STOP=1 -f t.sql
//   mysql db < t.sql
//
// PostgreSQL gets its rows as COPY ... FROM stdin in COPY's text format, one
// line a row, ended by \. on a line of its own.  SQLite and MySQL get
// multi-row INSERT statements, each closed after kRowsPerInsert rows or once
// it passes kBytesPerInsert bytes, so that no statement grows without bound
// and none is needed per row.
//
// The script is UTF-8 and says so to the servers that ask.  MySQL commits
// a CREATE TABLE by itself, so there the transaction starts after it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/forms/field_writer.h"
#include "app/forms/sql_values.h"
#include "runtime/stream.h"

namespace tabdump {

inline constexpr std::size_t kRowsPerInsert = 500;
inline constexpr std::size_t kBytesPerInsert = 1 << 20;

// A column of the table the script creates.
struct SqlColumn {
  std::string name;  // UTF-8
  SqlKind kind;
  int string_length;
};

// Whether the dialect's table of these columns gives its Strings LONGTEXT
// (MySQL, when they would pass its row size limit as VARCHAR).
bool NeedsLongStrings(SqlDialect dialect, const std::vector<SqlColumn>& columns);

// The table's name in the script: its file name without the extension,
// which must be UTF-8 (it comes from the file system, not from the table's
// code page).
std::string SqlTableName(const std::string& source_file);

// The columns of the script for `columns`, named in UTF-8 by `writer`.
// SQLite and MySQL take names that differ only in letter case for one
// column; a later field of such a name becomes NAME_2 (or _3 ...: the first
// that no field of the table has), and `notes` gains a line that says so,
// naming `table`.
std::vector<SqlColumn> ScriptColumns(TDBISAM& reader, SqlDialect dialect, const std::vector<Column>& columns,
                                     FieldWriter& writer, const std::string& table, std::string& notes);

class SqlScript {
 public:
  // Makes everything up to the first row: the settings, CREATE TABLE `table`
  // (UTF-8) with the columns, the start of the transaction and of COPY.
  // Raises EConvertError for a name the dialect cannot take, before
  // anything is written.
  SqlScript(SqlDialect dialect, std::string_view table, const std::vector<SqlColumn>& columns);

  // Writes what the constructor made into `target`, where the rows follow.
  void Begin(Stream& target);

  // A row's text: started (emptied), values with Separate() between them,
  // ended.  Rows are made apart from the script, so that they can be made
  // anywhere and written in order.
  static void StartRow(SqlDialect dialect, std::string& row);
  static void Separate(SqlDialect dialect, std::string& row) {
    row += dialect == SqlDialect::kPostgres ? '\t' : ',';
  }
  static void EndRow(SqlDialect dialect, std::string& row);

  // Writes a row made so: a line of COPY data, or one more row of the
  // current INSERT statement (starting it, or closing it at its bound).
  void WriteRow(std::string_view row);

  // Closes the rows and commits.
  void End();

 private:
  void Write(std::string_view text) { target_->Write(text.data(), text.size()); }

  SqlDialect dialect_;
  Stream* target_ = nullptr;
  std::string head_;         // up to the first row
  std::string insert_head_;  // INSERT INTO "t" ("a","b") VALUES
  std::size_t rows_in_statement_ = 0;
  std::size_t bytes_in_statement_ = 0;
};

}  // namespace tabdump
