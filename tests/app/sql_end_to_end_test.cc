// The SQL load scripts (/sql=sqlite|postgres|mysql) as bytes: the whole
// script of a small table in each dialect, written out here by hand from the
// rules of each database's client; the switches that do not apply; and the
// errors that refuse a value rather than load it changed.  The same cases
// run against TABDUMP.EXE under Wine, which must write the same bytes.  The
// loads into the real databases are in sql_loader_end_to_end_test.cc.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"

namespace tabdump {
namespace {

using namespace tabdump::testing;

// Reserved words as names; an apostrophe, an empty string, and a memo with a
// tab, CR LF and a backslash.
TableDef Small() {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Order", kString, 0, 10}, {"Date", kDate}, {"Amount", kFloat, kSubCurrency},
              {"Memo", kBlob, kSubMemo}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("O'Hara"), Value::Date(DayNumber(2024, 5, 1)), Value::Float(12.5),
           Value::Blob("a\tb\r\nc\\d")}},
      {1, {Value::Int32(9), Value::Str("deleted"), Value::Null(), Value::Null(), Value::Null()}},
      {0, {Value::Int32(2), Value::Str(""), Value::Null(), Value::Null(), Value::Blob("x")}},
  };
  return t;
}

class SqlScripts : public EndToEnd {};

TEST_F(SqlScripts, EachDialectAsItsClientReadsIt) {
  struct Case {
    const char* dialect;
    std::string script;
  };
  const std::vector<Case> cases = {
      {"sqlite",
       "BEGIN TRANSACTION;\n"
       "CREATE TABLE \"t\" (\n"
       "  \"Id\" INTEGER,\n  \"Order\" TEXT,\n  \"Date\" TEXT,\n  \"Amount\" NUMERIC,\n  \"Memo\" TEXT\n);\n"
       "INSERT INTO \"t\" (\"Id\", \"Order\", \"Date\", \"Amount\", \"Memo\") VALUES\n"
       "(1,'O''Hara','2024-05-01',12.5,CAST(X'6109620d0a635c64' AS TEXT)),\n"
       "(2,'',NULL,NULL,'x');\n"
       "COMMIT;\n"},
      {"postgres",
       "SET client_encoding = 'UTF8';\nBEGIN;\n"
       "CREATE TABLE \"t\" (\n"
       "  \"Id\" INTEGER,\n  \"Order\" VARCHAR(10),\n  \"Date\" DATE,\n  \"Amount\" NUMERIC(19,4),\n"
       "  \"Memo\" TEXT\n);\n"
       "COPY \"t\" (\"Id\", \"Order\", \"Date\", \"Amount\", \"Memo\") FROM stdin;\n"
       "1\tO'Hara\t2024-05-01\t12.5\ta\\tb\\r\\nc\\\\d\n"
       "2\t\t\\N\t\\N\tx\n"
       "\\.\nCOMMIT;\n"},
      {"MySQL",
       "SET NAMES utf8mb4;\nSET SESSION sql_mode = 'STRICT_ALL_TABLES,NO_ENGINE_SUBSTITUTION';\n"
       "CREATE TABLE `t` (\n"
       "  `Id` INT,\n  `Order` VARCHAR(10),\n  `Date` DATE,\n  `Amount` DECIMAL(19,4),\n  `Memo` LONGTEXT\n"
       ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;\n"
       "START TRANSACTION;\n"
       "INSERT INTO `t` (`Id`, `Order`, `Date`, `Amount`, `Memo`) VALUES\n"
       "(1,'O\\'Hara','2024-05-01',12.5,'a\tb\\r\\nc\\\\d'),\n"
       "(2,'',NULL,NULL,'x');\n"
       "COMMIT;\n"},
  };
  for (const Case& c : cases) {
    const RunResult r = ToSql(Small(), c.dialect);
    EXPECT_EQ(r.status, 0) << c.dialect << r.output << r.errors;
    EXPECT_EQ(r.target, c.script) << c.dialect;
    // The layout switches change nothing in a script.
    const RunResult shaped = ToSql(Small(), c.dialect, {"/h", "/f", "/fixed", "/csv", "/bom", "/delimiter=;",
                                                        "/qualifier=\\34", "/recordseparator=CR"});
    EXPECT_EQ(shaped.target, c.script) << c.dialect;
  }
}

TEST_F(SqlScripts, InsertsAreBoundedAndFiltersAndFieldListsApply) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}};
  for (int i = 1; i <= 1201; ++i) t.records.push_back({0, {Value::Int32(i), Value::Str("n")}});
  const RunResult r = ToSql(t, "sqlite", {"/fields=id", "/where=Id > 1"});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  // 1,200 rows: statements of 500, 500 and 200.
  std::vector<std::size_t> statement_starts;
  for (std::size_t at = r.target.find("INSERT INTO"); at != std::string::npos; at = r.target.find("INSERT INTO", at + 1)) {
    statement_starts.push_back(at);
  }
  ASSERT_EQ(statement_starts.size(), 3u);
  const std::string head = "INSERT INTO \"t\" (\"Id\") VALUES\n";
  EXPECT_EQ(r.target.substr(statement_starts[0], head.size() + 4), head + "(2),");
  EXPECT_NE(r.target.find("(501);\n" + head + "(502),"), std::string::npos);
  EXPECT_NE(r.target.find("(1001);\n" + head + "(1002),"), std::string::npos);
  EXPECT_NE(r.target.find("(1201);\nCOMMIT;\n"), std::string::npos);
  EXPECT_EQ(r.target.find("(1),"), std::string::npos);
}

TEST_F(SqlScripts, ValuesThatWouldChangeEndTheRun) {
  struct Case {
    const char* name;
    const char* dialect;
    TableDef table;
    std::vector<std::string> switches;
    std::string message;
  };
  // Record 1 holds a value every dialect takes, record 2 the one refused.
  auto one = [](FieldDef field, Value value) {
    TableDef t;
    t.fields = {{"Id", kInteger}, field};
    t.records = {{0, {Value::Int32(1), field.type == kString ? Value::Str("fine") : Value::Null()}},
                 {0, {Value::Int32(2), value}}};
    return t;
  };
  const std::vector<Case> cases = {
      {"text that is not UTF-8", "sqlite", one({"Name", kString, 0, 10}, Value::Str("M\xFCller")), {},
       "Record 2, field \"Name\": the text is not valid UTF-8; name the table's code page with /codepage=, "
       "such as /codepage=1252."},
      {"zero byte in a PostgreSQL text", "postgres", one({"Notes", kBlob, kSubMemo}, Value::Blob(std::string("a\0b", 3))),
       {}, "Record 2, field \"Notes\": the text holds a zero byte, which PostgreSQL cannot store in a text."},
      {"NaN in MySQL", "mysql", one({"Ratio", kFloat}, Value::Float(std::nan(""))), {},
       "Record 2, field \"Ratio\": NaN (not a number) cannot be stored in MySQL."},
      {"infinity in MySQL", "mysql", one({"Ratio", kFloat}, Value::Float(-HUGE_VAL)), {},
       "Record 2, field \"Ratio\": -Infinity cannot be stored in MySQL."},
      {"NaN in SQLite", "sqlite", one({"Ratio", kFloat}, Value::Float(std::nan(""))), {},
       "Record 2, field \"Ratio\": NaN (not a number) cannot be stored in SQLite."},
      {"a fifth decimal of currency", "postgres", one({"Price", kFloat, kSubCurrency}, Value::Float(0.12345)), {},
       "Record 2, field \"Price\": 0.12345 does not fit PostgreSQL's NUMERIC(19,4)."},
      {"a BCD beyond DECIMAL(65,30)", "mysql",
       one({"Exact", kBcd}, Value::Bcd("0.0000000000000000000000000000001", 31, 31)), {},
       "Record 2, field \"Exact\": 0.0000000000000000000000000000001 does not fit MySQL's DECIMAL(65,30)."},
      {"a time past the day", "postgres", one({"Clock", kTime}, Value::Time(25 * 3'600'000)), {},
       "Record 2, field \"Clock\": the time of 90000000 milliseconds after midnight lies beyond the day."},
  };
  for (const Case& c : cases) {
    const RunResult r = ToSql(c.table, c.dialect, c.switches);
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.output.substr(0, ReportHead("EConvertError").size()), ReportHead("EConvertError")) << c.name << r.errors;
    EXPECT_NE(r.output.find(kLineEnd + c.message + kLineEnd), std::string::npos) << c.name << "\n" << r.output;
    // The rows before the failing record are written; the script has no
    // COMMIT, so loading it changes nothing.
    EXPECT_NE(r.target.find(std::string(c.dialect) == "postgres" ? "\n1\t" : "\n(1,"), std::string::npos)
        << c.name << "\n" << r.target;
    EXPECT_EQ(r.target.find("COMMIT"), std::string::npos) << c.name;
  }
}

TEST_F(SqlScripts, CodePageMakesTheTextsAndNamesUtf8) {
  TableDef t;
  t.fields = {{"Stra\xDF" "e", kString, 0, 10}};
  t.records = {{0, {Value::Str("M\xFCnchen \x80")}}};
  const RunResult r = ToSql(t, "postgres", {"/codepage=1252"});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_NE(r.target.find("\"Stra\xC3\x9F" "e\" VARCHAR(10)"), std::string::npos) << r.target;
  EXPECT_NE(r.target.find("FROM stdin;\nM\xC3\xBCnchen \xE2\x82\xAC\n\\.\n"), std::string::npos) << r.target;

  // Without the code page, the name is refused before any row.
  const RunResult bare = ToSql(t, "postgres");
  EXPECT_EQ(bare.status, 1);
  EXPECT_NE(bare.output.find(kLineEnd + "The name of field 1 is not valid UTF-8; name the table's code page with "
                             "/codepage=, such as /codepage=1252." + kLineEnd),
            std::string::npos)
      << bare.output;
}

TEST_F(SqlScripts, UnknownDialectIsRefusedBeforeTheTargetIsMade) {
  const RunResult r = ToSql(IdName(), "oracle");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "<none>");
  EXPECT_NE(r.output.find(kLineEnd + "Unknown SQL dialect \"oracle\": use /sql=sqlite, /sql=postgres or /sql=mysql." +
                          kLineEnd),
            std::string::npos)
      << r.output;
}

// Fields whose names differ only in letter case: SQLite and MySQL take them
// for one column, so the later one gets the first NAME_n that no field of the
// table has; PostgreSQL keeps quoted names apart and gets them as they are.
TableDef SameNameInTwoCases() {
  TableDef t;
  t.fields = {{"Name", kString, 0, 10}, {"NAME", kString, 0, 10}, {"name_2", kInteger}};
  t.records = {{0, {Value::Str("a"), Value::Str("b"), Value::Int32(3)}}};
  return t;
}

TEST_F(SqlScripts, NamesThatDifferOnlyInLetterCaseAreMadeDistinct) {
  const RunResult sqlite = ToSql(SameNameInTwoCases(), "sqlite");
  ASSERT_EQ(sqlite.status, 0) << sqlite.output;
  EXPECT_EQ(sqlite.target,
            "BEGIN TRANSACTION;\nCREATE TABLE \"t\" (\n  \"Name\" TEXT,\n  \"NAME_3\" TEXT,\n  \"name_2\" INTEGER\n);\n"
            "INSERT INTO \"t\" (\"Name\", \"NAME_3\", \"name_2\") VALUES\n('a','b',3);\nCOMMIT;\n");
  EXPECT_EQ(sqlite.errors, "t.dat: field 2 \"NAME\" becomes the column \"NAME_3\", since SQLite takes it for field 1 "
                           "\"Name\" (names that differ only in letter case are one name there)." + kLineEnd);
  const RunResult mysql = ToSql(SameNameInTwoCases(), "mysql");
  EXPECT_NE(mysql.target.find("INSERT INTO `t` (`Name`, `NAME_3`, `name_2`) VALUES"), std::string::npos)
      << mysql.target;
  const RunResult postgres = ToSql(SameNameInTwoCases(), "postgres");
  EXPECT_NE(postgres.target.find("COPY \"t\" (\"Name\", \"NAME\", \"name_2\") FROM stdin;"), std::string::npos)
      << postgres.target;
  EXPECT_EQ(postgres.errors, "");
}

TEST_F(SqlScripts, FolderOfTablesGivesAScriptEach) {
  std::filesystem::create_directories(Path("db"));
  Write(IdName(), "db/People.dat");
  Write(Small(), "db/Orders.DAT");
  const RunResult r = Run({Arg("db"), Arg("out"), "/sql=sqlite"}, "out/People.sql");
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.target,
            "BEGIN TRANSACTION;\nCREATE TABLE \"People\" (\n  \"Id\" INTEGER,\n  \"Name\" TEXT\n);\n"
            "INSERT INTO \"People\" (\"Id\", \"Name\") VALUES\n(7,'Bob');\nCOMMIT;\n");
  EXPECT_NE(ReadFile(Path("out/Orders.sql")).find("CREATE TABLE \"Orders\""), std::string::npos);
}

}  // namespace
}  // namespace tabdump
