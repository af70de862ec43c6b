#include "app/forms/sql_script.h"

#include <unordered_map>
#include <unordered_set>

#include "runtime/code_page.h"
#include "runtime/console.h"
#include "runtime/exceptions.h"

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

// MySQL limits what the columns of a row take together; Strings that would
// pass the limit as VARCHAR become LONGTEXT, which counts only its reference.
bool NeedsLongStrings(SqlDialect dialect, const std::vector<SqlColumn>& columns) {
  if (dialect != SqlDialect::kMysql) return false;
  std::size_t bytes = (columns.size() + 7) / 8;  // one bit a nullable column
  for (const SqlColumn& column : columns) bytes += MysqlRowBytes(column.kind, column.string_length);
  return bytes > kMysqlRowLimit;
}

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

std::string SqlTableName(const std::string& source_file) {
  const std::string name = ChangeFileExtension(ExtractFileName(source_file), "");
  std::string checked;
  static const CodePage utf8 = *CodePage::Find(65001);
  if (utf8.AppendUtf8(name, checked) != 0) {
    throw EConvertError("The table's file name is not valid UTF-8, which a SQL script needs: rename the file.");
  }
  return name;
}

std::vector<SqlColumn> ScriptColumns(TDBISAM& reader, SqlDialect dialect, const std::vector<Column>& columns,
                                  FieldWriter& writer, const std::string& table, std::string& notes) {
  std::vector<SqlColumn> sql_columns;
  for (const Column& column : columns) {
    sql_columns.push_back({writer.NameInUtf8(column.name, column.index + 1), SqlKindOf(column.kind), column.string_length});
  }
  if (!SqlNamesIgnoreCase(dialect)) return sql_columns;
  // Every field's name is taken, selected or not, so that a new name clashes
  // with none of them.
  std::unordered_set<std::string> taken;
  for (const TDBISAMFieldInfo& field : reader.FieldInfos()) taken.insert(SqlNameKey(dialect, field.Name()));
  std::unordered_map<std::string, std::size_t> first_of;  // key -> the column that has it
  for (std::size_t i = 0; i < sql_columns.size(); ++i) {
    SqlColumn& column = sql_columns[i];
    const auto [first, added] = first_of.emplace(SqlNameKey(dialect, column.name), i);
    if (added) continue;
    std::string name;
    for (int n = 2;; ++n) {
      name = column.name + "_" + std::to_string(n);
      if (taken.insert(SqlNameKey(dialect, name)).second) break;
    }
    notes += table + ": field " + std::to_string(columns[i].index + 1) + " \"" + column.name +
             "\" becomes the column \"" + name + "\", since " + SqlDialectTitle(dialect) +
             " takes it for field " + std::to_string(columns[first->second].index + 1) + " \"" +
             sql_columns[first->second].name + "\" (names that differ only in letter case are one name there).";
    notes += kMessageLineEnd;
    column.name = name;
    first_of.emplace(SqlNameKey(dialect, name), i);
  }
  return sql_columns;
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
