// The SQL load scripts run by the real clients into real databases — sqlite3,
// a throwaway PostgreSQL server and a throwaway MariaDB server — and every
// value read back with its type.  The expected values are written out here
// from the table's contents and each database's documented types; a double
// is compared by its bits, read from the text the database prints.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/mariadb_server.h"
#include "tests/support/postgres_server.h"
#include "tests/support/sqlite_shell.h"

namespace tabdump {
namespace {

using namespace tabdump::testing;
namespace fs = std::filesystem;

constexpr std::uint8_t kSubFormattedMemo = 24;
constexpr std::int64_t kHour = 3'600'000;
constexpr std::int64_t kMinute = 60'000;

// Every field type, under names that need quoting (reserved words, a space,
// letter case); texts in Windows-1252 with every character a dialect escapes.
// An AutoInc field is never null: the engine numbers every record, and the
// reader gives 0 where the record holds none.  A packed decimal's text is its
// exact value, so a trailing zero of the fraction is not written.
TableDef EveryType() {
  const auto null = Value::Null();
  TableDef t;
  t.fields = {{"Id", kInteger},        {"Order", kShortInt},           {"User", kUShortInt},
              {"count of", kUInteger, 0, 4}, {"Big", kLargeInt},             {"Huge", kULargeInt, 0, 8},
              {"Serial", kInteger, kSubAutoInc}, {"Ratio", kFloat},    {"Price", kFloat, kSubCurrency},
              {"Exact", kBcd},         {"Date", kDate},                {"Clock", kTime},
              {"Seen", kTimeStamp},    {"Ok", kBoolean},               {"Name", kString, 0, 30},
              {"Notes", kBlob, kSubMemo}, {"Styled", kBlob, kSubFormattedMemo}, {"Data", kBlob, kSubBinary},
              {"Raw", kBytes, 0, 3}};
  t.records = {
      {0, {Value::Int32(1), Value::Int16(32767), Value::UInt16(65535), Value::UInt32(4294967295u),
           Value::Int64(INT64_MAX), Value::UInt64(UINT64_MAX), Value::Int32(1), Value::Float(0.1),
           Value::Float(123456789012.3456), Value::Bcd("-12345678901234567890.12345678901234567890", 40, 20),
           Value::Date(DayNumber(1, 1, 1)), Value::Time(1), Value::TimeStamp(StampMs(DayNumber(9999, 12, 31), kMsPerDay - 1)),
           Value::Bool(true), Value::Str("O'Hara \"Dee\" \\ 1"), Value::Blob("line1\r\nline2\ttab\\"),
           Value::Blob("{\\rtf1 M\xFCller \x80}"), Value::Blob(std::string("\x00\x01\xfe\xff", 4)),
           Value::Raw({0x41, 0x00, 0xFF})}},
      {0, {Value::Int32(2), Value::Int16(-32768), Value::UInt16(0), Value::UInt32(0), Value::Int64(INT64_MIN),
           Value::UInt64(0), Value::Int32(2), Value::Float(-2.5e-300), Value::Float(-0.0001), Value::Bcd("0.00001", 5, 5),
           Value::Date(DayNumber(9999, 12, 31)), Value::Time(23 * kHour + 59 * kMinute + 59'999),
           Value::TimeStamp(StampMs(DayNumber(1, 1, 1), 0)), Value::Bool(false), Value::Str(""), Value::Blob(""),
           Value::Blob("M\xFCnchen\r\n"), Value::Blob(""), Value::Raw({0, 0, 0})}},
      {0, {Value::Int32(3), null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,
           null, null, null}},
      {0, {Value::Int32(4), null, null, null, null, null, null, Value::Float(8401000000.0),
           Value::Float(922337203685477.5),
           Value::Bcd("12345678901234567890123456789012345.12345678901234567890123456789", 64, 29),
           Value::Date(DayNumber(999, 12, 31)), null, Value::TimeStamp(StampMs(DayNumber(999, 12, 31), 12 * kHour)),
           null, Value::Str("Stra\xDF" "e"), Value::Blob("apostrophe ' and \"quote\""), null, null, null}},
  };
  return t;
}

const char* const kColumns[] = {"Id",   "Order", "User", "count of", "Big",   "Huge",  "Serial",
                                "Ratio", "Price", "Exact", "Date", "Clock", "Seen", "Ok",
                                "Name", "Notes", "Styled", "Data", "Raw"};
constexpr std::size_t kColumnCount = std::size(kColumns);

// The texts of EveryType() in UTF-8.
const std::string kName1 = "O'Hara \"Dee\" \\ 1";
const std::string kNotes1 = "line1\r\nline2\ttab\\";
const std::string kStyled1 = "{\\rtf1 M\xC3\xBCller \xE2\x82\xAC}";
const std::string kStyled2 = "M\xC3\xBCnchen\r\n";
const std::string kName4 = "Stra\xC3\x9F" "e";
const std::string kNotes4 = "apostrophe ' and \"quote\"";

using Cells = std::vector<std::optional<std::string>>;

// A cell that holds a double, as "double:" and the value's shortest text;
// compared by the bits of the double the database's text reads as.
std::string Double(const char* text) { return std::string("double:") + text; }

void ExpectCells(const Cells& actual, const Cells& expected, const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::string where = what + ", column " + (i < kColumnCount ? kColumns[i] : std::to_string(i));
    if (expected[i] && expected[i]->rfind("double:", 0) == 0) {
      ASSERT_TRUE(actual[i].has_value()) << where;
      const double want = std::strtod(expected[i]->c_str() + 7, nullptr);
      const double got = std::strtod(actual[i]->c_str(), nullptr);
      EXPECT_EQ(std::memcmp(&want, &got, sizeof want), 0) << where << ": " << *actual[i] << " for " << *expected[i];
    } else {
      EXPECT_EQ(actual[i], expected[i]) << where;
    }
  }
}

class SqlLoader : public EndToEnd {
 protected:
  // Loads t.sql with sqlite3 into a new database, then runs the query.
  SqliteRows LoadIntoSqlite(const std::string& query) {
    fs::remove(Path("t.db"));
    const CommandResult load = RunCommand(QuoteForShell(SqliteProgram()) + " -bail " + QuoteForShell(Path("t.db")) +
                                          " <" + QuoteForShell(Path("t.sql")));
    if (load.status != 0 || !load.errors.empty()) return {false, "sqlite3 load: " + load.errors, {}};
    return RunSqlite(Path("t.db"), query);
  }

  // Loads t.sql with psql (ON_ERROR_STOP) after dropping the table t.
  PgRows LoadIntoPostgres(PostgresServer* server, const std::string& query) {
    const CommandResult drop = server->Sql("DROP TABLE IF EXISTS t;");
    if (drop.status != 0) return {false, drop.errors, {}};
    const CommandResult load = server->Sql("\\i " + Path("t.sql") + "\n");
    if (load.status != 0) return {false, "psql load: " + load.errors, {}};
    return server->Query(query);
  }

  // Loads t.sql with the mariadb client into a new database, then runs the
  // query there.
  MariaDbRows LoadIntoMariaDb(MariaDbServer* server, const std::string& query) {
    const std::string database = server->NewDatabase();
    const CommandResult load = server->Sql(ReadFile(Path("t.sql")), database);
    if (load.status != 0) return {false, "mariadb load: " + load.errors, {}};
    return server->Query(query, database);
  }
};

// In SQLite: typeof, then the value (a BLOB in hex, a REAL with 17 digits).
std::string SqliteSelect(const char* from) {
  std::string select = "SELECT ";
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    const std::string c = std::string("\"") + kColumns[i] + "\"";
    if (i != 0) select += ", ";
    select += "typeof(" + c + ") || ':' || CASE typeof(" + c + ") WHEN 'blob' THEN hex(" + c +
              ") WHEN 'real' THEN printf('%!.17g', " + c + ") WHEN 'null' THEN '' ELSE CAST(" + c + " AS TEXT) END";
  }
  return select + " FROM " + from + " ORDER BY \"Id\";";
}

// A SQLite cell "type:value"; a REAL's value goes through Double().
Cells SqliteCells(const std::vector<std::string>& row) {
  Cells cells;
  for (const std::string& cell : row) {
    if (cell.rfind("real:", 0) == 0) {
      cells.push_back(cell.substr(5));
    } else {
      cells.push_back(cell);
    }
  }
  return cells;
}

TEST_F(SqlLoader, SqliteKeepsEveryValueWithItsType) {
  TABDUMP_NEED_SQLITE();
  const RunResult r = ToSql(EveryType(), "sqlite", {"/codepage=1252"});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  const SqliteRows rows = LoadIntoSqlite(SqliteSelect("t"));
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  // Currency and BCD go into NUMERIC, which keeps what a double keeps.
  const std::vector<Cells> expected = {
      {"integer:1", "integer:32767", "integer:65535", "integer:4294967295", "integer:9223372036854775807",
       "text:18446744073709551615", "integer:1", Double("0.1"), Double("123456789012.3456"),
       Double("-12345678901234567890.12345678901234567890"), "text:0001-01-01", "text:00:00:00.001",
       "text:9999-12-31 23:59:59.999", "integer:1", "text:" + kName1, "text:" + kNotes1, "text:" + kStyled1,
       "blob:0001FEFF", "blob:4100FF"},
      {"integer:2", "integer:-32768", "integer:0", "integer:0", "integer:-9223372036854775808", "text:0",
       "integer:2", Double("-2.5e-300"), Double("-0.0001"), Double("0.00001"), "text:9999-12-31",
       "text:23:59:59.999", "text:0001-01-01 00:00:00", "integer:0", "text:", "text:", "text:" + kStyled2, "blob:",
       "blob:000000"},
      {"integer:3", "null:", "null:", "null:", "null:", "null:", "integer:0", "null:", "null:", "null:", "null:", "null:",
       "null:", "null:", "null:", "null:", "null:", "null:", "null:"},
      // 8401000000 and 922337203685477.5 are integral or REAL values of NUMERIC.
      {"integer:4", "null:", "null:", "null:", "null:", "null:", "integer:0", Double("8401000000"),
       Double("922337203685477.5"), Double("12345678901234567890123456789012345.12345678901234567890123456789"),
       "text:0999-12-31", "null:", "text:0999-12-31 12:00:00", "null:", "text:" + kName4, "text:" + kNotes4, "null:",
       "null:", "null:"},
  };
  ASSERT_EQ(rows.rows.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    Cells cells = SqliteCells(rows.rows[i]);
    Cells want = expected[i];
    for (std::size_t c = 0; c < want.size(); ++c) {
      // A REAL cell arrives as its 17 digits: compared as a double.
      if (want[c]->rfind("double:", 0) == 0 && rows.rows[i][c].rfind("real:", 0) != 0) {
        ADD_FAILURE() << "record " << i + 1 << ", column " << kColumns[c] << " is " << rows.rows[i][c]
                      << ", not a REAL";
      }
    }
    ExpectCells(cells, want, "record " + std::to_string(i + 1));
  }
}

TEST_F(SqlLoader, PostgresKeepsEveryValueWithItsType) {
  TABDUMP_NEED_POSTGRES(server);
  const RunResult r = ToSql(EveryType(), "postgres", {"/codepage=1252"});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  std::string select = "SELECT ";
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    const std::string c = std::string("\"") + kColumns[i] + "\"";
    if (i != 0) select += ", ";
    select += std::string(i >= kColumnCount - 2 ? "encode(" + c + ", 'hex')" : c + "::text");
  }
  const PgRows rows = LoadIntoPostgres(server, select + " FROM t ORDER BY \"Id\";");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  const auto null = std::nullopt;
  const std::vector<Cells> expected = {
      {"1", "32767", "65535", "4294967295", "9223372036854775807", "18446744073709551615", "1", "0.1",
       "123456789012.3456", "-12345678901234567890.1234567890123456789", "0001-01-01", "00:00:00.001",
       "9999-12-31 23:59:59.999", "true", kName1, kNotes1, kStyled1, "0001feff", "4100ff"},
      {"2", "-32768", "0", "0", "-9223372036854775808", "0", "2", "-2.5e-300", "-0.0001", "0.00001", "9999-12-31",
       "23:59:59.999", "0001-01-01 00:00:00", "false", "", "", kStyled2, "", "000000"},
      {"3", null, null, null, null, null, "0", null, null, null, null, null, null, null, null, null, null, null, null},
      {"4", null, null, null, null, null, "0", "8401000000", "922337203685477.5000",
       "12345678901234567890123456789012345.12345678901234567890123456789", "0999-12-31", null,
       "0999-12-31 12:00:00", null, kName4, kNotes4, null, null, null},
  };
  ASSERT_EQ(rows.rows.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ExpectCells(rows.rows[i], expected[i], "record " + std::to_string(i + 1));

  const PgRows types = server->Query(
      "SELECT string_agg(attname || ' ' || format_type(atttypid, atttypmod), ', ' ORDER BY attnum) FROM pg_attribute "
      "WHERE attrelid = 't'::regclass AND attnum > 0;");
  ASSERT_TRUE(types.ok) << types.errors;
  EXPECT_EQ(types.rows, (std::vector<PgRow>{{
                            "Id integer, Order integer, User integer, count of bigint, Big bigint, "
                            "Huge numeric(20,0), Serial integer, Ratio double precision, Price numeric(19,4), "
                            "Exact numeric, Date date, Clock time(3) without time zone, "
                            "Seen timestamp(3) without time zone, Ok boolean, Name character varying(30), "
                            "Notes text, Styled text, Data bytea, Raw bytea"}}));
}

TEST_F(SqlLoader, MariaDbKeepsEveryValueWithItsType) {
  TABDUMP_NEED_MARIADB(server);
  const RunResult r = ToSql(EveryType(), "mysql", {"/codepage=1252"});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  std::string select = "SELECT ";
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    const std::string c = std::string("`") + kColumns[i] + "`";
    if (i != 0) select += ", ";
    // Bytes in hex; a text with a zero byte would come back with a space.
    select += i >= kColumnCount - 2 ? "LOWER(HEX(" + c + "))" : c;
  }
  const MariaDbRows rows = LoadIntoMariaDb(server, select + " FROM t ORDER BY `Id`;");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  const auto null = std::nullopt;
  // DECIMAL(65,30) shows its 30 places and DATETIME(3) and TIME(3) their
  // three; Booleans are TINYINT(1).
  const std::vector<Cells> expected = {
      {"1", "32767", "65535", "4294967295", "9223372036854775807", "18446744073709551615", "1", Double("0.1"),
       "123456789012.3456", "-12345678901234567890.123456789012345678900000000000", "0001-01-01", "00:00:00.001",
       "9999-12-31 23:59:59.999", "1", kName1, kNotes1, kStyled1, "0001feff", "4100ff"},
      {"2", "-32768", "0", "0", "-9223372036854775808", "0", "2", Double("-2.5e-300"), "-0.0001",
       "0.000010000000000000000000000000", "9999-12-31", "23:59:59.999", "0001-01-01 00:00:00.000", "0", "", "",
       kStyled2, "", "000000"},
      {"3", null, null, null, null, null, "0", null, null, null, null, null, null, null, null, null, null, null, null},
      {"4", null, null, null, null, null, "0", Double("8401000000"), "922337203685477.5000",
       "12345678901234567890123456789012345.123456789012345678901234567890", "0999-12-31", null,
       "0999-12-31 12:00:00.000", null, kName4, kNotes4, null, null, null},
  };
  ASSERT_EQ(rows.rows.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ExpectCells(rows.rows[i], expected[i], "record " + std::to_string(i + 1));

  const MariaDbRows types = LoadIntoMariaDb(
      server,
      "SELECT GROUP_CONCAT(CONCAT(COLUMN_NAME, ' ', COLUMN_TYPE) ORDER BY ORDINAL_POSITION SEPARATOR ', '), "
      "MAX(CHARACTER_SET_NAME) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 't';");
  ASSERT_TRUE(types.ok) << types.errors;
  EXPECT_EQ(types.rows, (std::vector<MariaDbRow>{{"Id int(11), Order int(11), User int(11), count of int(10) unsigned, "
                                                  "Big bigint(20), Huge bigint(20) unsigned, Serial int(11), "
                                                  "Ratio double, Price decimal(19,4), Exact decimal(65,30), Date date, "
                                                  "Clock time(3), Seen datetime(3), Ok tinyint(1), Name varchar(30), "
                                                  "Notes longtext, Styled longtext, Data longblob, Raw longblob",
                                                  "utf8mb4"}}));
}

// Currency amounts whose shortest double text has fewer places than the
// amount (900000000000000.1 for .125) arrive with every place: NUMERIC(19,4)
// and DECIMAL(19,4) print four, worked out here from each stored double.
TableDef Amounts() {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Price", kFloat, kSubCurrency}};
  t.records = {{0, {Value::Int32(1), Value::Float(900000000000000.125)}},
               {0, {Value::Int32(2), Value::Float(-123456789012345.671875)}},
               {0, {Value::Int32(3), Value::Float(0.1)}},
               {0, {Value::Int32(4), Value::Float(-0.0)}}};
  return t;
}
const std::vector<std::vector<std::optional<std::string>>> kAmountsAsDecimal194 = {
    {"900000000000000.1250"}, {"-123456789012345.6719"}, {"0.1000"}, {"0.0000"}};

TEST_F(SqlLoader, PostgresKeepsCurrencyAmountsExact) {
  TABDUMP_NEED_POSTGRES(server);
  const RunResult r = ToSql(Amounts(), "postgres");
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  const PgRows rows = LoadIntoPostgres(server, "SELECT \"Price\"::text FROM t ORDER BY \"Id\";");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  EXPECT_EQ(rows.rows, kAmountsAsDecimal194);
}

TEST_F(SqlLoader, MariaDbKeepsCurrencyAmountsExact) {
  TABDUMP_NEED_MARIADB(server);
  const RunResult r = ToSql(Amounts(), "mysql");
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  const MariaDbRows rows = LoadIntoMariaDb(server, "SELECT `Price` FROM t ORDER BY `Id`;");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  EXPECT_EQ(rows.rows, kAmountsAsDecimal194);
}

// A memo with a zero byte and a control character that the mariadb client
// reads in its own ways: escaped, they arrive as they were.
TEST_F(SqlLoader, MariaDbTakesZeroBytesAndControlCharacters) {
  TABDUMP_NEED_MARIADB(server);
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Notes", kBlob, kSubMemo}};
  t.records = {{0, {Value::Int32(1), Value::Blob(std::string("a\0b\x1a\r\n'\\", 8))}}};
  const RunResult r = ToSql(t, "mysql");
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  const MariaDbRows rows = LoadIntoMariaDb(server, "SELECT HEX(`Notes`) FROM t;");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  EXPECT_EQ(rows.rows, (std::vector<MariaDbRow>{{"6100621A0D0A275C"}}));
}

// Fields named Name and NAME load into both databases that take them for one
// name, each value in its own column.
TEST_F(SqlLoader, NamesThatDifferOnlyInLetterCaseLoad) {
  TableDef t;
  t.fields = {{"Name", kString, 0, 10}, {"NAME", kString, 0, 10}};
  t.records = {{0, {Value::Str("first"), Value::Str("second")}}};
  TABDUMP_NEED_SQLITE();
  ASSERT_EQ(ToSql(t, "sqlite").status, 0);
  const SqliteRows loaded = LoadIntoSqlite("SELECT \"Name\", \"NAME_2\" FROM t;");
  ASSERT_TRUE(loaded.ok) << loaded.errors;
  EXPECT_EQ(loaded.rows, (std::vector<std::vector<std::string>>{{"first", "second"}}));
  TABDUMP_NEED_MARIADB(server);
  ASSERT_EQ(ToSql(t, "mysql").status, 0);
  const MariaDbRows rows = LoadIntoMariaDb(server, "SELECT `Name`, `NAME_2` FROM t;");
  ASSERT_TRUE(rows.ok) << rows.errors;
  EXPECT_EQ(rows.rows, (std::vector<MariaDbRow>{{"first", "second"}}));
}

// 70 Strings of 250 characters pass MySQL's row limit of 65,535 bytes as
// VARCHAR (4 bytes a character in utf8mb4); as LONGTEXT the table loads.
TEST_F(SqlLoader, MariaDbTakesATableOfManyLongStrings) {
  TABDUMP_NEED_MARIADB(server);
  TableDef t;
  RecordDef record;
  for (int i = 1; i <= 70; ++i) {
    t.fields.push_back({"s" + std::to_string(i), kString, 0, 250});
    record.values.push_back(Value::Str(std::string(250, static_cast<char>('a' + i % 26))));
  }
  t.records = {record};
  const RunResult r = ToSql(t, "mysql");
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_NE(r.target.find("`s70` LONGTEXT\n"), std::string::npos);
  const MariaDbRows rows = LoadIntoMariaDb(server, "SELECT LENGTH(`s1`), `s70` FROM t;");
  ASSERT_TRUE(rows.ok) << rows.errors;
  EXPECT_EQ(rows.rows, (std::vector<MariaDbRow>{{"250", std::string(250, 's')}}));
}

// 100,000 records, a filter and a field list: the rows loaded, and sums over
// their values, against the same worked out here from the records.
TableDef ManyRecords(std::int64_t* kept, std::int64_t* id_sum, double* amount_sum, std::int64_t* notes_length) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 12}, {"Amount", kFloat}, {"Active", kBoolean},
              {"Notes", kBlob, kSubMemo}};
  *kept = *id_sum = *notes_length = 0;
  *amount_sum = 0;
  for (int i = 1; i <= 100'000; ++i) {
    const double amount = (i % 7 - 3) * 0.25;  // exact in binary: sums are exact
    const bool active = i % 3 != 0;
    const bool null_notes = i % 5 == 0;
    const std::string notes = "note " + std::to_string(i) + (i % 11 == 0 ? "\r\n'x'\t\\" : "");
    t.records.push_back({0, {Value::Int32(i), Value::Str("n" + std::to_string(i)), Value::Float(amount),
                             Value::Bool(active), null_notes ? Value::Null() : Value::Blob(notes)}});
    if (amount > 0 && active) {
      ++*kept;
      *id_sum += i;
      *amount_sum += amount;
      if (!null_notes) *notes_length += static_cast<std::int64_t>(notes.size());
    }
  }
  return t;
}

const std::vector<std::string> kManySwitches = {"/fields=id;amount;notes", "/where=(Amount > 0) AND (Active = \"1\")"};

TEST_F(SqlLoader, ManyRecordsWithAFilterLoadCompletely) {
  std::int64_t kept, id_sum, notes_length;
  double amount_sum;
  const TableDef table = ManyRecords(&kept, &id_sum, &amount_sum, &notes_length);
  char amount_text[64];
  std::snprintf(amount_text, sizeof amount_text, "%.2f", amount_sum);
  const std::string expected = std::to_string(kept) + "|" + std::to_string(id_sum) + "|" + amount_text + "|" +
                               std::to_string(notes_length) + "|3";
  if (!SqliteProgram().empty()) {
    const RunResult r = ToSql(table, "sqlite", kManySwitches);
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    const SqliteRows rows = LoadIntoSqlite(
        "SELECT count(*) || '|' || sum(Id) || '|' || printf('%.2f', sum(Amount)) || '|' || sum(length(Notes)) "
        "|| '|' || (SELECT count(*) FROM pragma_table_info('t')) FROM t;");
    ASSERT_TRUE(rows.ok) << rows.errors;
    EXPECT_EQ(rows.rows, (std::vector<std::vector<std::string>>{{expected}})) << "sqlite";
  }
  const auto& postgres = SharedPostgres();
  if (postgres.server != nullptr) {
    const RunResult r = ToSql(table, "postgres", kManySwitches);
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    const PgRows rows = LoadIntoPostgres(
        postgres.server,
        "SELECT count(*) || '|' || sum(\"Id\") || '|' || to_char(sum(\"Amount\"), 'FM999999990.00') || '|' || "
        "sum(length(\"Notes\")) || '|' || (SELECT count(*) FROM information_schema.columns WHERE table_name = 't') "
        "FROM t;");
    ASSERT_TRUE(rows.ok) << rows.errors;
    EXPECT_EQ(rows.rows, (std::vector<PgRow>{{expected}})) << "postgres";
  }
  const auto& mariadb = SharedMariaDb();
  if (mariadb.server != nullptr) {
    const RunResult r = ToSql(table, "mysql", kManySwitches);
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    const MariaDbRows rows = LoadIntoMariaDb(
        mariadb.server,
        "SELECT CONCAT(COUNT(*), '|', SUM(`Id`), '|', CAST(SUM(`Amount`) AS DECIMAL(20,2)), '|', "
        "SUM(LENGTH(`Notes`)), '|', (SELECT COUNT(*) FROM information_schema.COLUMNS "
        "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 't')) FROM t;");
    ASSERT_TRUE(rows.ok) << rows.errors;
    EXPECT_EQ(rows.rows, (std::vector<MariaDbRow>{{expected}})) << "mariadb";
  }
  if (SqliteProgram().empty() || postgres.server == nullptr || mariadb.server == nullptr) {
    TABDUMP_MISSING_TOOL("a database is missing: " + postgres.why + " " + mariadb.why);
  }
}

}  // namespace
}  // namespace tabdump
