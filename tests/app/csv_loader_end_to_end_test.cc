// The CSV target (/csv) loaded into real databases: PostgreSQL's COPY into
// typed columns and sqlite3's .import.  Each value is compared with what the
// table holds, written out here by hand: NULL stays NULL, an empty string
// stays empty, dates, times, numbers and bytes arrive exact.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/german_locale.h"
#include "tests/support/postgres_server.h"
#include "tests/support/sqlite_shell.h"

namespace tabdump {
namespace {

using namespace tabdump::testing;
namespace fs = std::filesystem;

constexpr std::uint8_t kSubFormattedMemo = 24;
constexpr std::int64_t kHour = 3'600'000;
constexpr std::int64_t kMinute = 60'000;

// A field of every kind that /csv writes in its own way.  Row n holds Float
// number n of 0.1, -2.5e-300, 1e308, 1/3, NaN, +inf, -inf and NULL; the
// other columns hold their edge cases in the first rows and NULL after them.
TableDef EveryKind() {
  const double inf = std::numeric_limits<double>::infinity();
  const auto null = Value::Null();
  TableDef t;
  t.fields = {{"n", kInteger},       {"whole", kInteger},   {"big", kLargeInt},         {"exact", kBcd},
              {"ratio", kFloat},     {"cash", kFloat, kSubCurrency}, {"day", kDate},    {"clock", kTime},
              {"seen", kTimeStamp},  {"ok", kBoolean},      {"label", kString, 0, 30},  {"notes", kBlob, kSubMemo},
              {"formatted", kBlob, kSubFormattedMemo},      {"bin", kBlob, 0},          {"pic", kBlob, kSubGraphic},
              {"raw", kBytes, 0, 3}};
  t.records = {
      {0, {Value::Int32(1), Value::Int32(INT32_MAX), Value::Int64(INT64_MAX), Value::Bcd("12.34567", 7, 5),
           Value::Float(0.1), Value::Float(123456789012.3456), Value::Date(DayNumber(1, 1, 1)),
           Value::Time(9 * kHour + 30 * kMinute), Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 9 * kHour + 30 * kMinute + 123)),
           Value::Bool(true), Value::Str("a,b"), Value::Blob("line one\r\nline two"), Value::Blob("{\\rtf1 bold}"),
           Value::Blob(std::string("\x00\x01\xfe\xff", 4)), Value::Blob("\x89PNG"), Value::Raw({0x41, 0x00, 0xFF})}},
      {0, {Value::Int32(2), Value::Int32(INT32_MIN), Value::Int64(INT64_MIN),
           Value::Bcd("-12345678901234567890.12345", 25, 5), Value::Float(-2.5e-300), Value::Float(-0.0001),
           Value::Date(DayNumber(9999, 12, 31)), Value::Time(23 * kHour + 59 * kMinute + 59'999),
           Value::TimeStamp(StampMs(DayNumber(1, 1, 1), 0)), Value::Bool(false), Value::Str("say \"hi\""),
           Value::Blob(""), null, Value::Blob(""), null, Value::Raw({0, 0, 0})}},
      {0, {Value::Int32(3), Value::Int32(0), Value::Int64(0), Value::Bcd(".00001", 5, 5), Value::Float(1e308),
           Value::Float(900000000000000.125),
           Value::Date(DayNumber(2024, 5, 1)), Value::Time(1),
           Value::TimeStamp(StampMs(DayNumber(9999, 12, 31), kMsPerDay - 1)), null, Value::Str("line1\r\nline2"),
           Value::Blob("semi;colon, \"quoted\""), null, Value::Blob("\"\\,\r\n"), null, null}},
      {0, {Value::Int32(4), null, null, null, Value::Float(1.0 / 3), null, null, null, null, null, Value::Str("\\."),
           null, null, null, null, null}},
      {0, {Value::Int32(5), null, null, null, Value::Float(std::nan("")), null, null, null, null, null, Value::Str(""),
           null, null, null, null, null}},
      {0, {Value::Int32(6), null, null, null, Value::Float(inf), null, null, null, null, null,
           Value::Str(" lead and trail "), null, null, null, null, null}},
      {0, {Value::Int32(7), null, null, null, Value::Float(-inf), null, null, null, null, null, null, null, null, null,
           null, null}},
      {0, {Value::Int32(8), null, null, null, null, null, null, null, null, null, null, null, null, null, null, null}},
  };
  return t;
}

const char* const kEveryKindColumns =
    "n integer, whole integer, big bigint, exact numeric, ratio double precision, cash numeric(19,4), day date,\n"
    "  clock time(3), seen timestamp(3), ok boolean, label text, notes text, formatted text, bin bytea, pic bytea,\n"
    "  raw bytea";

class CsvLoader : public EndToEnd {
 protected:
  // Writes the table and converts it to out.csv with /csv and these switches.
  RunResult ToCsv(const TableDef& def, std::vector<std::string> switches = {}, const std::string& env = "") {
    Write(def);
    std::vector<std::string> args{Arg("t.dat"), Arg("out.csv"), "/csv"};
    args.insert(args.end(), switches.begin(), switches.end());
    return Run(args, "out.csv", env);
  }

  // CREATE TABLE name (columns), then COPY out.csv into it, then the query.
  PgRows LoadAndQuery(PostgresServer* server, const std::string& name, const std::string& columns,
                      const std::string& query) {
    return server->Query("CREATE TABLE " + name + " (" + columns + ");\n\\copy " + name + " FROM '" +
                         Path("out.csv") + "' (FORMAT csv, " + server->HeaderOption() + ")\n" + query);
  }

  // .import of out.csv into a new table of text columns named by the header.
  SqliteRows ImportAndQuery(const std::string& query) {
    fs::remove(Path("t.db"));
    return RunSqlite(Path("t.db"), ".import --csv '" + Path("out.csv") + "' t\n" + query);
  }
};

TEST_F(CsvLoader, PostgresCopyKeepsEveryValueOfEveryKind) {
  TABDUMP_NEED_POSTGRES(server);
  const RunResult r = ToCsv(EveryKind());
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  // RFC 4180 line ends: every line feed in the file (the memos' and the
  // strings' too) follows a carriage return, and the last line has one.
  EXPECT_EQ(r.target.substr(0, r.target.find('\r')),
            "n,whole,big,exact,ratio,cash,day,clock,seen,ok,label,notes,formatted,bin,pic,raw");
  for (std::size_t i = r.target.find('\n'); i != std::string::npos; i = r.target.find('\n', i + 1)) {
    ASSERT_TRUE(i > 0 && r.target[i - 1] == '\r') << "a bare LF at byte " << i;
  }
  EXPECT_TRUE(r.target.size() >= 2 && r.target.substr(r.target.size() - 2) == "\r\n");

  const PgRows rows = LoadAndQuery(
      server, "every_kind", kEveryKindColumns,
      "SELECT n, whole::text, big::text, exact::text, ratio::text, cash::text, day::text, clock::text, seen::text,\n"
      "  ok::text, label, notes, formatted, encode(bin, 'hex'), encode(pic, 'hex'), encode(raw, 'hex')\n"
      "FROM every_kind ORDER BY n;");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  const auto null = std::nullopt;
  const std::vector<PgRow> expected = {
      {"1", "2147483647", "9223372036854775807", "12.34567", "0.1", "123456789012.3456", "0001-01-01", "09:30:00",
       "2024-05-01 09:30:00.123", "true", "a,b", "line one\r\nline two", "{\\rtf1 bold}", "0001feff", "89504e47",
       "4100ff"},
      {"2", "-2147483648", "-9223372036854775808", "-12345678901234567890.12345", "-2.5e-300", "-0.0001",
       "9999-12-31", "23:59:59.999", "0001-01-01 00:00:00", "false", "say \"hi\"", "", null, "", null, "000000"},
      {"3", "0", "0", "0.00001", "1e+308", "900000000000000.1250", "2024-05-01", "00:00:00.001", "9999-12-31 23:59:59.999", null,
       "line1\r\nline2", "semi;colon, \"quoted\"", null, "225c2c0d0a", null, null},
      {"4", null, null, null, "0.3333333333333333", null, null, null, null, null, "\\.", null, null, null, null, null},
      {"5", null, null, null, "NaN", null, null, null, null, null, "", null, null, null, null, null},
      {"6", null, null, null, "Infinity", null, null, null, null, null, " lead and trail ", null, null, null, null,
       null},
      {"7", null, null, null, "-Infinity", null, null, null, null, null, null, null, null, null, null, null},
      {"8", null, null, null, null, null, null, null, null, null, null, null, null, null, null, null},
  };
  ASSERT_EQ(rows.rows.size(), expected.size()) << r.target;
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(rows.rows[i], expected[i]) << "row " << i + 1;
}

TEST_F(CsvLoader, SqliteImportReadsTheSameTexts) {
  TABDUMP_NEED_SQLITE();
  const RunResult r = ToCsv(EveryKind());
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  // sqlite3 reads NULL and "" both as an empty text.
  const SqliteRows texts = ImportAndQuery(
      "SELECT n, whole, big, day, clock, seen, ok, label, notes, formatted, bin, pic, raw FROM t\n"
      "ORDER BY CAST(n AS INTEGER);");
  ASSERT_TRUE(texts.ok) << texts.errors << "\n" << r.target;
  const std::vector<std::vector<std::string>> expected = {
      {"1", "2147483647", "9223372036854775807", "0001-01-01", "09:30:00", "2024-05-01 09:30:00.123", "true", "a,b",
       "line one\r\nline two", "{\\rtf1 bold}", "\\x0001feff", "\\x89504e47", "\\x4100ff"},
      {"2", "-2147483648", "-9223372036854775808", "9999-12-31", "23:59:59.999", "0001-01-01 00:00:00", "false",
       "say \"hi\"", "", "", "\\x", "", "\\x000000"},
      {"3", "0", "0", "2024-05-01", "00:00:00.001", "9999-12-31 23:59:59.999", "", "line1\r\nline2",
       "semi;colon, \"quoted\"", "", "\\x225c2c0d0a", "", ""},
      {"4", "", "", "", "", "", "", "\\.", "", "", "", "", ""},
      {"5", "", "", "", "", "", "", "", "", "", "", "", ""},
      {"6", "", "", "", "", "", "", " lead and trail ", "", "", "", "", ""},
      {"7", "", "", "", "", "", "", "", "", "", "", "", ""},
      {"8", "", "", "", "", "", "", "", "", "", "", "", ""},
  };
  ASSERT_EQ(texts.rows.size(), expected.size()) << r.target;
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(texts.rows[i], expected[i]) << "row " << i + 1;

  // Every stored BCD digit, Currency exact to its four decimals (15
  // significant digits would lose the last one of 123456789012.3456).
  const SqliteRows numbers = ImportAndQuery("SELECT exact, cash FROM t WHERE n IN ('1', '2') ORDER BY n;");
  ASSERT_TRUE(numbers.ok) << numbers.errors;
  EXPECT_EQ(numbers.rows, (std::vector<std::vector<std::string>>{{"12.34567", "123456789012.3456"},
                                                                 {"-12345678901234567890.12345", "-0.0001"}}));

  // Float in its shortest form; how the exponent is spelt is free.
  const SqliteRows floats = ImportAndQuery("SELECT replace(lower(ratio), 'e+', 'e') FROM t ORDER BY CAST(n AS INTEGER);");
  ASSERT_TRUE(floats.ok) << floats.errors;
  EXPECT_EQ(floats.rows, (std::vector<std::vector<std::string>>{{"0.1"}, {"-2.5e-300"}, {"1e308"},
                                                                {"0.3333333333333333"}, {"nan"}, {"infinity"},
                                                                {"-infinity"}, {""}}));
}

// A line that is only \. ends COPY's data: a one-field table shows whether
// the value is quoted.
TEST_F(CsvLoader, EndOfDataMarkerLoadsAsAValue) {
  TABDUMP_NEED_POSTGRES(server);
  TableDef t;
  t.fields = {{"v", kString, 0, 10}};
  t.records = {{0, {Value::Str("\\.")}}, {0, {Value::Str("after")}}};
  const RunResult r = ToCsv(t);
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  const PgRows rows = LoadAndQuery(server, "marker", "v text", "SELECT v FROM marker;");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  EXPECT_EQ(rows.rows, (std::vector<PgRow>{{"\\."}, {"after"}})) << r.target;
}

// Windows-1252 texts and names arrive in a UTF8 database as UTF-8.
TEST_F(CsvLoader, CodePageTextsLoadAsUtf8) {
  TABDUMP_NEED_POSTGRES(server);
  TableDef t;
  t.fields = {{"Stra\xDF" "e", kString, 0, 20}, {"Gru\xDF", kBlob, kSubMemo}};
  t.records = {{0, {Value::Str("M\xFCnchen"), Value::Blob("Gr\xFC\xDF" "e\r\n\x80 5")}}};
  const RunResult r = ToCsv(t, {"/codepage=1252"});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  // HEADER MATCH checks the converted names against the columns.
  const PgRows rows = LoadAndQuery(server, "cities", "\"Straße\" text, \"Gruß\" text",
                                   "SELECT \"Straße\", encode(convert_to(\"Straße\", 'UTF8'), 'hex'), \"Gruß\"\n"
                                   "FROM cities;");
  ASSERT_TRUE(rows.ok) << rows.errors << "\n" << r.target;
  EXPECT_EQ(rows.rows, (std::vector<PgRow>{{"München", "4dc3bc6e6368656e", "Grüße\r\n€ 5"}}));
}

TEST_F(CsvLoader, RegionalSettingsLeaveTheCsvUnchanged) {
  std::string why;
  const std::string german = GermanLocaleEnv(std::string(TABDUMP_TEST_TMP) + "/locales", &why);
  if (german.empty()) GTEST_SKIP() << why;
  // The locale reaches the program: its plain text output follows it.
  const RunResult plain = Convert(Mixed(), {}, german);
  ASSERT_EQ(plain.status, 0) << plain.errors;
  ASSERT_NE(plain.target.find("12,5"), std::string::npos) << "the German locale did not take:\n" << plain.target;

  const RunResult c = ToCsv(EveryKind());
  const RunResult de = ToCsv(EveryKind(), {}, german);
  ASSERT_EQ(c.status, 0) << c.errors;
  ASSERT_EQ(de.status, 0) << de.errors;
  EXPECT_EQ(de.target, c.target);
  EXPECT_NE(c.target.find(",12.34567,0.1,123456789012.3456,0001-01-01,09:30:00,2024-05-01 09:30:00.123,true,"),
            std::string::npos)
      << c.target;
}

TEST_F(CsvLoader, ByteOrderMarkOnlyPrefixesTheFile) {
  TABDUMP_NEED_SQLITE();
  const RunResult plain = ToCsv(EveryKind());
  const RunResult bom = ToCsv(EveryKind(), {"/bom"});
  ASSERT_EQ(bom.status, 0) << bom.errors;
  EXPECT_EQ(bom.target, "\xEF\xBB\xBF" + plain.target);
  // sqlite3 reads past the mark: the first column is named n.
  const SqliteRows names = ImportAndQuery("SELECT name FROM pragma_table_info('t') LIMIT 2;");
  ASSERT_TRUE(names.ok) << names.errors;
  EXPECT_EQ(names.rows, (std::vector<std::vector<std::string>>{{"n"}, {"whole"}}));
}

}  // namespace
}  // namespace tabdump
