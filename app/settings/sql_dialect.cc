#include "app/settings/sql_dialect.h"

#include <string>

#include "runtime/ascii_case.h"

namespace tabdump {

std::optional<SqlDialect> SqlDialectNamed(std::string_view name) {
  const std::string lower = LowerAscii(std::string(name));
  if (lower == "sqlite") return SqlDialect::kSqlite;
  if (lower == "postgres") return SqlDialect::kPostgres;
  if (lower == "mysql") return SqlDialect::kMysql;
  return std::nullopt;
}

const char* SqlDialectTitle(SqlDialect dialect) {
  switch (dialect) {
    case SqlDialect::kSqlite: return "SQLite";
    case SqlDialect::kPostgres: return "PostgreSQL";
    case SqlDialect::kMysql: return "MySQL";
  }
  return "";
}

}  // namespace tabdump
