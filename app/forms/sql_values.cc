#include "app/forms/sql_values.h"

#include <cmath>

#include "app/forms/exact_values.h"
#include "dbisam/table_format.h"
#include "runtime/ascii_case.h"
#include "runtime/code_page.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/exceptions.h"
#include "runtime/file_names.h"

namespace tabdump {
namespace {

using namespace dbisam_layout;

// The column types, by kind and dialect.  A String's length follows its
// type name.  SQLite's types only choose an affinity: TEXT keeps the digits
// of an unsigned 64-bit value exact, where INTEGER would turn the values
// above 2^63 into floating point.
struct SqlTypeNames {
  const char* sqlite;
  const char* postgres;
  const char* mysql;
};
constexpr SqlTypeNames kTypeNames[] = {
    /* kString        */ {"TEXT", "VARCHAR", "VARCHAR"},
    /* kMemo          */ {"TEXT", "TEXT", "LONGTEXT"},
    /* kBinary        */ {"BLOB", "BYTEA", "LONGBLOB"},
    /* kInteger       */ {"INTEGER", "INTEGER", "INT"},
    /* kUnsigned      */ {"INTEGER", "BIGINT", "INT UNSIGNED"},
    /* kLarge         */ {"INTEGER", "BIGINT", "BIGINT"},
    /* kUnsignedLarge */ {"TEXT", "NUMERIC(20)", "BIGINT UNSIGNED"},
    /* kFloat         */ {"REAL", "DOUBLE PRECISION", "DOUBLE"},
    /* kCurrency      */ {"NUMERIC", "NUMERIC(19,4)", "DECIMAL(19,4)"},
    /* kBcd           */ {"NUMERIC", "NUMERIC", "DECIMAL(65,30)"},
    /* kDate          */ {"TEXT", "DATE", "DATE"},
    /* kTime          */ {"TEXT", "TIME(3)", "TIME(3)"},
    /* kTimeStamp     */ {"TEXT", "TIMESTAMP(3)", "DATETIME(3)"},
    /* kBoolean       */ {"INTEGER", "BOOLEAN", "BOOLEAN"},
};
static_assert(std::size(kTypeNames) == static_cast<std::size_t>(SqlKind::kBoolean) + 1);

// The digits a fixed-point column holds on each side of the point.
struct DecimalShape {
  int integer_digits;
  int fraction_digits;
  const char* type;
};
constexpr DecimalShape kCurrencyShape = {15, 4, "(19,4)"};
constexpr DecimalShape kMysqlBcdShape = {35, 30, "DECIMAL(65,30)"};

// Whether the decimal text (digits, an optional sign and full stop) fits the
// shape once leading zeros of the whole part and trailing zeros of the
// fraction, which change nothing, are set aside.  A text with an exponent
// comes only from a double below 1e-7 or from 1e21 up: it fits no shape here.
bool FitsShape(std::string_view text, const DecimalShape& shape) {
  if (text.find_first_of("eE") != std::string_view::npos) return false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  const std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  return whole.size() <= static_cast<std::size_t>(shape.integer_digits) &&
         fraction.size() <= static_cast<std::size_t>(shape.fraction_digits);
}

}  // namespace

bool SqlNamesIgnoreCase(SqlDialect dialect) { return dialect != SqlDialect::kPostgres; }

std::string SqlNameKey(SqlDialect dialect, std::string_view name) {
  switch (dialect) {
    case SqlDialect::kSqlite: return LowerAscii(std::string(name));
    case SqlDialect::kPostgres: return std::string(name);
    case SqlDialect::kMysql: return FoldedName(name);
  }
  return std::string(name);
}

SqlKind SqlKindOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::kString: return SqlKind::kString;
    case FieldKind::kMemo: return SqlKind::kMemo;
    case FieldKind::kBinaryBlob: case FieldKind::kBytes: return SqlKind::kBinary;
    case FieldKind::kShortInteger: case FieldKind::kUnsignedShortInteger: case FieldKind::kInteger:
    case FieldKind::kAutoInc:
      return SqlKind::kInteger;
    case FieldKind::kUnsignedInteger: return SqlKind::kUnsigned;
    case FieldKind::kLargeInteger: return SqlKind::kLarge;
    case FieldKind::kUnsignedLargeInteger: return SqlKind::kUnsignedLarge;
    case FieldKind::kFloat: return SqlKind::kFloat;
    case FieldKind::kCurrency: return SqlKind::kCurrency;
    case FieldKind::kBcd: return SqlKind::kBcd;
    case FieldKind::kDate: return SqlKind::kDate;
    case FieldKind::kTime: return SqlKind::kTime;
    case FieldKind::kTimeStamp: return SqlKind::kTimeStamp;
    case FieldKind::kBoolean: return SqlKind::kBoolean;
  }
  return SqlKind::kBinary;
}

int SqlStringLength(const TDBISAMFieldInfo& field) { return std::max<int>(1, field.Size()); }

std::string SqlColumnType(SqlDialect dialect, SqlKind kind, int string_length, bool long_strings) {
  const SqlTypeNames& names = kTypeNames[static_cast<std::size_t>(kind)];
  switch (dialect) {
    case SqlDialect::kSqlite: return names.sqlite;
    case SqlDialect::kPostgres: break;
    case SqlDialect::kMysql:
      if (kind == SqlKind::kString && long_strings) return "LONGTEXT";
      break;
  }
  std::string type = dialect == SqlDialect::kPostgres ? names.postgres : names.mysql;
  if (kind == SqlKind::kString) type += "(" + std::to_string(string_length) + ")";
  return type;
}

int MysqlRowBytes(SqlKind kind, int string_length) {
  switch (kind) {
    case SqlKind::kString: {
      const int bytes = 4 * string_length;  // utf8mb4: up to 4 bytes a character
      return bytes + (bytes > 255 ? 2 : 1);
    }
    case SqlKind::kMemo: case SqlKind::kBinary: return 12;
    case SqlKind::kInteger: case SqlKind::kUnsigned: return 4;
    case SqlKind::kLarge: case SqlKind::kUnsignedLarge: case SqlKind::kFloat: return 8;
    case SqlKind::kCurrency: return 9;
    case SqlKind::kBcd: return 30;
    case SqlKind::kDate: return 3;
    case SqlKind::kTime: return 5;
    case SqlKind::kTimeStamp: return 7;
    case SqlKind::kBoolean: return 1;
  }
  return 8;
}

void AppendSqlIdentifier(std::string& out, SqlDialect dialect, std::string_view name) {
  if (dialect == SqlDialect::kPostgres && name.size() > 63) {
    throw EConvertError("The name \"" + std::string(name) +
                        "\" is longer than the 63 bytes that PostgreSQL keeps of a name.");
  }
  if (dialect == SqlDialect::kMysql && Utf8Length(name) > 64) {
    throw EConvertError("The name \"" + std::string(name) +
                        "\" is longer than the 64 characters that MySQL allows in a name.");
  }
  const char quote = dialect == SqlDialect::kMysql ? '`' : '"';
  out += quote;
  for (char c : name) {
    if (c == quote) out += quote;
    out += c;
  }
  out += quote;
}

void RefuseSqlValue(const SqlPlace& place, const std::string& why) {
  throw EConvertError("Record " + std::to_string(place.record) + ", field \"" + std::string(place.field) +
                      "\": " + why + ".");
}

void SqlValueWriter::AppendNull(std::string& out) const {
  out += dialect_ == SqlDialect::kPostgres ? "\\N" : "NULL";
}

void SqlValueWriter::AppendText(std::string& out, SqlKind kind, int string_length, std::string_view text,
                                const SqlPlace& place) const {
  if (kind == SqlKind::kString && dialect_ != SqlDialect::kSqlite &&
      text.size() > static_cast<std::size_t>(string_length)) {
    const std::size_t characters = Utf8Length(text);
    if (characters > static_cast<std::size_t>(string_length)) {
      RefuseSqlValue(place, "the text has " + std::to_string(characters) + " characters, more than the field's size of " +
                                std::to_string(string_length));
    }
  }
  const bool zero_byte = text.find('\0') != std::string_view::npos;
  switch (dialect_) {
    case SqlDialect::kPostgres:
      if (zero_byte) RefuseSqlValue(place, "the text holds a zero byte, which PostgreSQL cannot store in a text");
      AppendCopyText(out, text);
      return;
    case SqlDialect::kSqlite:
      // The sqlite3 shell drops a carriage return before a line end even
      // inside a literal, and a literal cannot hold a zero byte: such texts
      // go in as their bytes, made a text again.
      if (zero_byte || text.find('\r') != std::string_view::npos) {
        out += "CAST(";
        AppendBinary(out, text);
        out += " AS TEXT)";
        return;
      }
      AppendQuoted(out, text);
      return;
    case SqlDialect::kMysql:
      AppendQuoted(out, text);
      return;
  }
}

void SqlValueWriter::AppendQuoted(std::string& out, std::string_view text) const {
  out += '\'';
  if (dialect_ == SqlDialect::kSqlite) {
    for (char c : text) {
      if (c == '\'') out += '\'';
      out += c;
    }
  } else {
    // MySQL's escapes; the client would drop a raw carriage return before a
    // line end and refuse a raw zero byte, and on Windows it reads Ctrl-Z as
    // the end of the file.
    for (char c : text) {
      switch (c) {
        case '\0': out += "\\0"; break;
        case '\'': out += "\\'"; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\x1A': out += "\\Z"; break;
        default: out += c; break;
      }
    }
  }
  out += '\'';
}

void SqlValueWriter::AppendCopyText(std::string& out, std::string_view text) const {
  // COPY's text format: a backslash starts an escape, tab ends the field and
  // a line end ends the row.
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c; break;
    }
  }
}

void SqlValueWriter::AppendBinary(std::string& out, std::string_view bytes) const {
  if (dialect_ == SqlDialect::kPostgres) {
    out += "\\\\x";  // COPY reads \\ as the one backslash of bytea's hex form
    AppendHexDigits(out, bytes);
    return;
  }
  out += "X'";
  AppendHexDigits(out, bytes);
  out += '\'';
}

void SqlValueWriter::AppendInteger(std::string& out, std::int64_t value) const { AppendInt64(out, value); }

void SqlValueWriter::AppendUnsignedLarge(std::string& out, std::uint64_t value) const {
  // SQLite keeps the unsigned 64-bit digits in a TEXT column, as a text.
  const bool quoted = dialect_ == SqlDialect::kSqlite;
  if (quoted) out += '\'';
  AppendUnsigned64(out, value);
  if (quoted) out += '\'';
}

void SqlValueWriter::AppendFloat(std::string& out, double value, const SqlPlace& place) const {
  if (std::isfinite(value)) {
    AppendRoundTripDouble(out, value);
    return;
  }
  const bool nan = std::isnan(value);
  if (dialect_ == SqlDialect::kPostgres) {
    AppendRoundTripDouble(out, value);  // NaN, Infinity, -Infinity: float8's own words
  } else if (dialect_ == SqlDialect::kSqlite && !nan) {
    out += value < 0 ? "-9e999" : "9e999";  // SQLite reads a literal beyond range as infinity
  } else {
    RefuseSqlValue(place, std::string(nan ? "NaN (not a number)" : value < 0 ? "-Infinity" : "Infinity") +
                              " cannot be stored in " + SqlDialectTitle(dialect_));
  }
}

void SqlValueWriter::AppendDecimal(std::string& out, SqlKind kind, const std::string& digits,
                                   const SqlPlace& place) const {
  // SQLite has no exact decimal type: its NUMERIC keeps what a double
  // keeps, which the README tells; the other two must hold every digit.
  if (dialect_ != SqlDialect::kSqlite) {
    const DecimalShape* shape = kind == SqlKind::kCurrency ? &kCurrencyShape
                                : dialect_ == SqlDialect::kMysql ? &kMysqlBcdShape
                                                                 : nullptr;
    if (shape != nullptr && !FitsShape(digits, *shape)) {
      const std::string type = kind == SqlKind::kCurrency
                                   ? std::string(dialect_ == SqlDialect::kMysql ? "DECIMAL" : "NUMERIC") + shape->type
                                   : shape->type;
      RefuseSqlValue(place, digits + " does not fit " + SqlDialectTitle(dialect_) + "'s " + type);
    }
  }
  out += digits;
}

void SqlValueWriter::AppendCurrency(std::string& out, double value, const SqlPlace& place) const {
  if (!std::isfinite(value)) RefuseSqlValue(place, "a currency amount that is no number cannot be stored");
  std::string digits;
  AppendCurrencyAmount(digits, value);
  AppendDecimal(out, SqlKind::kCurrency, digits, place);
}

void SqlValueWriter::AppendBcd(std::string& out, FieldBytes raw, const SqlPlace& place) const {
  AppendDecimal(out, SqlKind::kBcd, BcdDigits(raw), place);
}

void SqlValueWriter::AppendDayMs(std::string& out, SqlKind kind, const DayMs& parts, const SqlPlace& place) const {
  if (kind == SqlKind::kTime && parts.day_number != kDateDelta) {
    const std::int64_t ms = (static_cast<std::int64_t>(parts.day_number) - kDateDelta) * kMsPerDay + parts.ms;
    RefuseSqlValue(place, "the time of " + std::to_string(ms) + " milliseconds after midnight lies beyond the day");
  }
  const FieldKind iso = kind == SqlKind::kDate   ? FieldKind::kDate
                        : kind == SqlKind::kTime ? FieldKind::kTime
                                                 : FieldKind::kTimeStamp;
  const bool quoted = dialect_ != SqlDialect::kPostgres;
  if (quoted) out += '\'';
  AppendIsoDateTime(out, iso, parts);
  if (quoted) out += '\'';
}

void SqlValueWriter::AppendBoolean(std::string& out, bool value) const {
  switch (dialect_) {
    case SqlDialect::kSqlite: out += value ? '1' : '0'; return;
    case SqlDialect::kPostgres: out += value ? 't' : 'f'; return;
    case SqlDialect::kMysql: out += value ? "TRUE" : "FALSE"; return;
  }
}

}  // namespace tabdump
