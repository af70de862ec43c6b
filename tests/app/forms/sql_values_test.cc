// The literals of the SQL scripts, one value against its text in each
// dialect, and the exact errors for names and values a dialect cannot take.
#include "app/forms/sql_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "runtime/exceptions.h"

namespace tabdump {
namespace {

constexpr SqlDialect kSqlite = SqlDialect::kSqlite;
constexpr SqlDialect kPostgres = SqlDialect::kPostgres;
constexpr SqlDialect kMysql = SqlDialect::kMysql;
const SqlPlace kPlace{12, "Amount"};

// The literal of a value of `kind`, handed to the writer's routine for it.
std::string Literal(SqlDialect dialect, SqlKind kind, const Variant& value) {
  const SqlValueWriter sql(dialect);
  std::string out;
  switch (kind) {
    case SqlKind::kBinary: sql.AppendBinary(out, value.AsString()); break;
    case SqlKind::kBoolean: sql.AppendBoolean(out, value.AsBoolean()); break;
    case SqlKind::kFloat: sql.AppendFloat(out, value.AsDouble(), kPlace); break;
    case SqlKind::kCurrency: sql.AppendCurrency(out, value.AsDouble(), kPlace); break;
    case SqlKind::kUnsignedLarge: sql.AppendUnsignedLarge(out, static_cast<std::uint64_t>(value.AsInt64())); break;
    case SqlKind::kInteger: case SqlKind::kUnsigned: case SqlKind::kLarge:
      sql.AppendInteger(out, value.type() == VarType::kInteger ? value.AsInteger() : value.AsInt64());
      break;
    default: ADD_FAILURE() << "no literal of this kind in the table";
  }
  return out;
}

std::string Text(SqlDialect dialect, std::string_view text) {
  std::string out;
  SqlValueWriter(dialect).AppendText(out, SqlKind::kMemo, 0, text, kPlace);
  return out;
}

std::string Refusal(SqlDialect dialect, SqlKind kind, const Variant& value) {
  try {
    Literal(dialect, kind, value);
  } catch (const EConvertError& error) {
    return error.what();
  }
  return "<no error>";
}

TEST(SqlValues, LiteralsOfEachDialect) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    SqlDialect dialect;
    SqlKind kind;
    Variant value;
    std::string literal;
  };
  const std::vector<Case> cases = {
      // The unsigned 64-bit kind by its bit pattern: -1 is 2^64 - 1.
      {kSqlite, SqlKind::kUnsignedLarge, Variant::Int64(-1), "'18446744073709551615'"},
      {kPostgres, SqlKind::kUnsignedLarge, Variant::Int64(-1), "18446744073709551615"},
      {kMysql, SqlKind::kLarge, Variant::Int64(INT64_MIN), "-9223372036854775808"},
      {kSqlite, SqlKind::kFloat, Variant(8401000000.0), "8401000000"},
      {kSqlite, SqlKind::kFloat, Variant(inf), "9e999"},
      {kSqlite, SqlKind::kFloat, Variant(-inf), "-9e999"},
      {kPostgres, SqlKind::kFloat, Variant(std::nan("")), "NaN"},
      {kPostgres, SqlKind::kFloat, Variant(-inf), "-Infinity"},
      {kMysql, SqlKind::kFloat, Variant(1e-300), "1e-300"},
      {kMysql, SqlKind::kCurrency, Variant(-0.0001), "-0.0001"},
      {kPostgres, SqlKind::kCurrency, Variant(999999999999999.9), "999999999999999.875"},
      // A currency amount's exact four places, not the shortest double text
      // (900000000000000.1); SQLite too, whose NUMERIC then holds that double.
      {kPostgres, SqlKind::kCurrency, Variant(900000000000000.125), "900000000000000.125"},
      {kMysql, SqlKind::kCurrency, Variant(-123456789012345.671875), "-123456789012345.6719"},
      {kSqlite, SqlKind::kCurrency, Variant(900000000000000.125), "900000000000000.125"},
      {kSqlite, SqlKind::kCurrency, Variant(0.12345), "0.12345"},
      {kMysql, SqlKind::kCurrency, Variant(-0.0), "0"},
      {kSqlite, SqlKind::kBoolean, Variant(true), "1"},
      {kPostgres, SqlKind::kBoolean, Variant(false), "f"},
      {kMysql, SqlKind::kBoolean, Variant(true), "TRUE"},
      {kSqlite, SqlKind::kBinary, Variant(std::string("\x00\xff", 2)), "X'00ff'"},
      {kMysql, SqlKind::kBinary, Variant(""), "X''"},
      {kPostgres, SqlKind::kBinary, Variant(std::string("\x00\xff", 2)), "\\\\x00ff"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Literal(c.dialect, c.kind, c.value), c.literal) << c.literal;
  }
}

TEST(SqlValues, TextsEscapedForEachClient) {
  const std::string every = std::string("it's \\ a\tb\r\nc\x1a\0d", 16);
  EXPECT_EQ(Text(kSqlite, "it's"), "'it''s'");
  // sqlite3 would drop a CR before a line end and cannot take a zero byte.
  EXPECT_EQ(Text(kSqlite, "a\r\n"), "CAST(X'610d0a' AS TEXT)");
  EXPECT_EQ(Text(kMysql, every), "'it\\'s \\\\ a\tb\\r\\nc\\Z\\0d'");
  EXPECT_EQ(Text(kPostgres, "it's \\ a\tb\r\nc\\."), "it's \\\\ a\\tb\\r\\nc\\\\.");
  EXPECT_EQ(Text(kPostgres, ""), "");
  SqlValueWriter postgres(kPostgres);
  std::string null;
  postgres.AppendNull(null);
  EXPECT_EQ(null, "\\N");
}

TEST(SqlValues, StringsLongerThanTheirFieldAreRefused) {
  std::string out;
  // Six characters in seven bytes fit a field of six.
  SqlValueWriter(kMysql).AppendText(out, SqlKind::kString, 6, "M\xC3\xBCller", kPlace);
  EXPECT_EQ(out, "'M\xC3\xBCller'");
  try {
    SqlValueWriter(kPostgres).AppendText(out, SqlKind::kString, 5, "M\xC3\xBCller", kPlace);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "Record 12, field \"Amount\": the text has 6 characters, more than the field's size of 5.");
  }
}

TEST(SqlValues, ValuesTheDatabaseWouldChange) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Refusal(kMysql, SqlKind::kFloat, Variant(inf)),
            "Record 12, field \"Amount\": Infinity cannot be stored in MySQL.");
  EXPECT_EQ(Refusal(kMysql, SqlKind::kCurrency, Variant(1e16)),
            "Record 12, field \"Amount\": 10000000000000000 does not fit MySQL's DECIMAL(19,4).");
  EXPECT_EQ(Refusal(kMysql, SqlKind::kCurrency, Variant(-0.12345)),
            "Record 12, field \"Amount\": -0.12345 does not fit MySQL's DECIMAL(19,4).");
  EXPECT_EQ(Refusal(kPostgres, SqlKind::kCurrency, Variant(1e-9)),
            "Record 12, field \"Amount\": 1e-09 does not fit PostgreSQL's NUMERIC(19,4).");
  EXPECT_EQ(Refusal(kSqlite, SqlKind::kCurrency, Variant(std::nan(""))),
            "Record 12, field \"Amount\": a currency amount that is no number cannot be stored.");
}

TEST(SqlValues, IdentifiersQuotedAndBounded) {
  std::string out;
  AppendSqlIdentifier(out, kPostgres, "say \"hi\"");
  AppendSqlIdentifier(out, kMysql, "a`b");
  EXPECT_EQ(out, "\"say \"\"hi\"\"\"`a``b`");
  const std::string long_name(64, 'x');
  out.clear();
  AppendSqlIdentifier(out, kMysql, long_name);
  EXPECT_EQ(out.size(), 66u);
  EXPECT_THROW(AppendSqlIdentifier(out, kMysql, long_name + "y"), EConvertError);
  try {
    AppendSqlIdentifier(out, kPostgres, long_name);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& error) {
    EXPECT_EQ(std::string(error.what()),
              "The name \"" + long_name + "\" is longer than the 63 bytes that PostgreSQL keeps of a name.");
  }
}

}  // namespace
}  // namespace tabdump
