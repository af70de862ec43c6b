// The databases a SQL load script is written for: the value of /sql=.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tabdump {

enum class SqlDialect : std::uint8_t { kSqlite, kPostgres, kMysql };

// "sqlite", "postgres" or "mysql", letters in either case.
std::optional<SqlDialect> SqlDialectNamed(std::string_view name);

// "SQLite", "PostgreSQL" or "MySQL", for messages.
const char* SqlDialectTitle(SqlDialect dialect);

}  // namespace tabdump
