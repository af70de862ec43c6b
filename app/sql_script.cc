#include "app/sql_script.h"

namespace tabdump {
namespace {

// The names of the columns, quoted and between parentheses.
std::string ColumnList(SqlDialect dialect, const std::vector<SqlColumn>& columns) {
  std::string list = "(";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i != 0) list += ", ";
    AppendSqlIdentifier(list, dialect, columns[i].name);
  }
  return list + ")";
}

// MySQL limits what the columns of a row take together; Strings that would
// pass the limit as VARCHAR become LONGTEXT, which counts only its reference.
bool NeedsLongStrings(SqlDialect dialect, const std::vector<SqlColumn>& columns) {
  if (dialect != SqlDialect::kMysql) return false;
  std::size_t bytes = (columns.size() + 7) / 8;  // one bit a nullable column
  for (const SqlColumn& column : columns) bytes += MysqlRowBytes(column.kind, column.string_length);
  return bytes > kMysqlRowLimit;
}

std::string CreateTable(SqlDialect dialect, std::string_view table, const std::vector<SqlColumn>& columns) {
  const bool long_strings = NeedsLongStrings(dialect, columns);
  std::string text = "CREATE TABLE ";
  AppendSqlIdentifier(text, dialect, table);
  text += " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    text += i == 0 ? "\n  " : ",\n  ";
    AppendSqlIdentifier(text, dialect, columns[i].name);
    text += ' ';
    text += SqlColumnType(dialect, columns[i].kind, columns[i].string_length, long_strings);
  }
  text += "\n)";
  if (dialect == SqlDialect::kMysql) text += " ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
  return text + ";\n";
}

}  // namespace

SqlScript::SqlScript(SqlDialect dialect, std::string_view table, const std::vector<SqlColumn>& columns)
    : dialect_(dialect) {
  const std::string create = CreateTable(dialect_, table, columns);
  std::string quoted_table;
  AppendSqlIdentifier(quoted_table, dialect_, table);
  const std::string column_list = ColumnList(dialect_, columns);
  switch (dialect_) {
    case SqlDialect::kSqlite:
      head_ = "BEGIN TRANSACTION;\n" + create;
      break;
    case SqlDialect::kPostgres:
      head_ = "SET client_encoding = 'UTF8';\nBEGIN;\n" + create + "COPY " + quoted_table + " " + column_list +
              " FROM stdin;\n";
      break;
    case SqlDialect::kMysql:
      // Strict: a value the column cannot hold is an error, never cut or
      // clamped; and backslashes escape, whatever the server's default.
      head_ = "SET NAMES utf8mb4;\nSET SESSION sql_mode = 'STRICT_ALL_TABLES,NO_ENGINE_SUBSTITUTION';\n" + create +
              "START TRANSACTION;\n";
      break;
  }
  insert_head_ = "INSERT INTO " + quoted_table + " " + column_list + " VALUES\n";
}

void SqlScript::Begin(Stream& target) {
  target_ = &target;
  Write(head_);
}

void SqlScript::StartRow(SqlDialect dialect, std::string& row) {
  row.clear();
  if (dialect != SqlDialect::kPostgres) row += '(';
}

void SqlScript::EndRow(SqlDialect dialect, std::string& row) { row += dialect == SqlDialect::kPostgres ? '\n' : ')'; }

void SqlScript::WriteRow(std::string_view row) {
  if (dialect_ == SqlDialect::kPostgres) {
    Write(row);
    return;
  }
  Write(rows_in_statement_ == 0 ? std::string_view(insert_head_) : std::string_view(",\n"));
  Write(row);
  ++rows_in_statement_;
  bytes_in_statement_ += row.size();
  if (rows_in_statement_ >= kRowsPerInsert || bytes_in_statement_ >= kBytesPerInsert) {
    Write(";\n");
    rows_in_statement_ = 0;
    bytes_in_statement_ = 0;
  }
}

void SqlScript::End() {
  if (rows_in_statement_ != 0) Write(";\n");
  rows_in_statement_ = 0;
  bytes_in_statement_ = 0;
  if (dialect_ == SqlDialect::kPostgres) Write("\\.\n");
  Write("COMMIT;\n");
}

}  // namespace tabdump
