// The values of a SQL load script, in the three dialects it is written for:
// the column type each field gets, identifiers, and the literal of each kind
// of value in an INSERT (SQLite, MySQL) or a line of COPY text (PostgreSQL).
//
// The rule throughout: a value arrives in the database unchanged, or the run
// ends with an error that names the record and the field.  No dialect is
// trusted to round, clamp or reinterpret quietly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/settings/sql_dialect.h"
#include "dbisam/field_decoding.h"
#include "dbisam/field_kind.h"
#include "dbisam/table_reader.h"
#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace tabdump {


// Whether the dialect takes column names that differ only in letter case for
// one name: SQLite and MySQL do, PostgreSQL keeps quoted names apart.
bool SqlNamesIgnoreCase(SqlDialect dialect);
// The form of a name (UTF-8) under which the dialect compares it: SQLite
// folds the ASCII letters, MySQL other alphabets' letters too.
std::string SqlNameKey(SqlDialect dialect, std::string_view name);

// What a field becomes in a table of the database: it decides the column's
// type and how each value is written.
enum class SqlKind : std::uint8_t {
  kString,      // String: a text of at most the field's size
  kMemo,        // BLOB of text (memo, formatted memo)
  kBinary,      // Bytes, Var Bytes, other BLOBs and the raw types
  kInteger,     // Short Integer, Unsigned Short, Integer, AutoInc
  kUnsigned,    // Unsigned Integer
  kLarge,       // Large Integer
  kUnsignedLarge,
  kFloat,       // Float, Double
  kCurrency,    // Float holding money: at most 4 decimals
  kBcd,         // packed decimal, up to 64 digits
  kDate,
  kTime,
  kTimeStamp,
  kBoolean,
};

SqlKind SqlKindOf(FieldKind kind);

// The characters a String column must hold: its declared size, at least 1.
int SqlStringLength(const TDBISAMFieldInfo& field);

// The column type, such as VARCHAR(20) or NUMERIC(19,4).  `long_strings`
// (MySQL only) gives Strings LONGTEXT instead of VARCHAR, for tables whose
// Strings together pass MySQL's row size limit.
std::string SqlColumnType(SqlDialect dialect, SqlKind kind, int string_length, bool long_strings = false);

// The bytes of a MySQL row that a column of `kind` takes out of the 65,535
// that MySQL allows (BLOB and TEXT columns count only their reference).
int MysqlRowBytes(SqlKind kind, int string_length);
inline constexpr int kMysqlRowLimit = 65535;

// A name (UTF-8) as a quoted identifier: "name" with inner " doubled, or
// `name` with inner ` doubled for MySQL.  EConvertError for a name that
// PostgreSQL would cut short (more than 63 bytes) or MySQL would refuse
// (more than 64 characters).
void AppendSqlIdentifier(std::string& out, SqlDialect dialect, std::string_view name);

// Where a value came from, for the error that refuses it.
struct SqlPlace {
  std::int64_t record;     // counted from 1 in the table file
  std::string_view field;  // the field's name as stored
};

// Writes values of one dialect.  Each routine appends one complete literal
// (or COPY field), or raises EConvertError naming the place.
class SqlValueWriter {
 public:
  explicit SqlValueWriter(SqlDialect dialect) : dialect_(dialect) {}

  SqlDialect dialect() const { return dialect_; }

  void AppendNull(std::string& out) const;
  // A text already in UTF-8, of a String (checked against `string_length`
  // characters) or a memo.
  void AppendText(std::string& out, SqlKind kind, int string_length, std::string_view text,
                  const SqlPlace& place) const;
  void AppendBinary(std::string& out, std::string_view bytes) const;
  void AppendBoolean(std::string& out, bool value) const;
  // Every integer kind but the unsigned 64-bit one.
  void AppendInteger(std::string& out, std::int64_t value) const;
  void AppendUnsignedLarge(std::string& out, std::uint64_t value) const;
  void AppendFloat(std::string& out, double value, const SqlPlace& place) const;
  void AppendCurrency(std::string& out, double value, const SqlPlace& place) const;
  // A packed decimal from its bytes in the record.
  void AppendBcd(std::string& out, FieldBytes raw, const SqlPlace& place) const;
  // A Date, Time or Time Stamp (by `kind`) from its day and milliseconds.
  void AppendDayMs(std::string& out, SqlKind kind, const DayMs& parts, const SqlPlace& place) const;

 private:
  void AppendQuoted(std::string& out, std::string_view text) const;  // SQLite, MySQL
  void AppendCopyText(std::string& out, std::string_view text) const;
  void AppendDecimal(std::string& out, SqlKind kind, const std::string& digits, const SqlPlace& place) const;

  SqlDialect dialect_;
};

// The error for a value that the dialect cannot take unchanged.
[[noreturn]] void RefuseSqlValue(const SqlPlace& place, const std::string& why);

}  // namespace tabdump
