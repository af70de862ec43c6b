// The database harness itself: a throwaway PostgreSQL server and the sqlite3
// shell load a CSV file written here by hand, and every value comes back as
// written, NULL apart from the empty string.  The loader tests of the
// converter's CSV output (tests/app/csv_loader_end_to_end_test.cc) rely on it.
// A throwaway MariaDB server runs a hand-written SQL script through the
// client's standard input, for the tests of the converter's SQL scripts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/mariadb_server.h"
#include "tests/support/postgres_server.h"
#include "tests/support/sqlite_shell.h"

namespace tabdump::testing {
namespace {

namespace fs = std::filesystem;

// Header, then: a quoted comma, doubled quotes, a quoted CR LF, a quoted \.,
// an empty string; an unquoted empty field is NULL.
const std::string kHandWritten =
    "n,whole,amount,ratio,day,clock,seen,ok,label,raw\r\n"
    "1,-2147483648,12.34567,0.1,0001-01-01,09:30:00,2024-05-01 09:30:00.123,true,\"a,b\",\\x00ff\r\n"
    "2,,,,,,,,,\r\n"
    "3,0,-0.0001,-Infinity,9999-12-31,23:59:59.999,9999-12-31 23:59:59.999,false,\"say \"\"hi\"\"\",\\x\r\n"
    "4,,,,,,,,\"line1\r\nline2\",\r\n"
    "5,,,,,,,,\"\\.\",\r\n"
    "6,,,,,,,,\"\",\r\n";

std::string WriteCsv(const std::string& name) {
  const fs::path dir = fs::path(TABDUMP_TEST_TMP) / "database-harness";
  fs::create_directories(dir);
  const std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary) << kHandWritten;
  return path;
}

TEST(PostgresHarness, LoadsAHandWrittenCsvWithTypedColumns) {
  TABDUMP_NEED_POSTGRES(server);
  const std::string csv = WriteCsv("hand.csv");
  const PgRows r = server->Query(
      "CREATE TABLE hand (n integer, whole integer, amount numeric, ratio double precision, day date,\n"
      "  clock time(3), seen timestamp(3), ok boolean, label text, raw bytea);\n"
      "\\copy hand FROM '" + csv + "' (FORMAT csv, " + server->HeaderOption() + ")\n"
      "SELECT n, whole::text, amount::text, ratio::text, day::text, clock::text, seen::text, ok::text, label,\n"
      "  encode(raw, 'hex') FROM hand ORDER BY n;");
  ASSERT_TRUE(r.ok) << r.errors;
  const auto null = std::nullopt;
  const std::vector<PgRow> expected = {
      {"1", "-2147483648", "12.34567", "0.1", "0001-01-01", "09:30:00", "2024-05-01 09:30:00.123", "true", "a,b", "00ff"},
      {"2", null, null, null, null, null, null, null, null, null},
      {"3", "0", "-0.0001", "-Infinity", "9999-12-31", "23:59:59.999", "9999-12-31 23:59:59.999", "false",
       "say \"hi\"", ""},
      {"4", null, null, null, null, null, null, null, "line1\r\nline2", null},
      {"5", null, null, null, null, null, null, null, "\\.", null},
      {"6", null, null, null, null, null, null, null, "", null},
  };
  EXPECT_EQ(r.rows, expected);

  // The same file with a header that names another column is refused.
  if (server->HeaderOption() == "HEADER MATCH") {
    const CommandResult wrong = server->Sql(
        "CREATE TABLE wrong (n integer, whole integer, amount numeric, ratio double precision, day date,\n"
        "  clock time(3), seen timestamp(3), ok boolean, other text, raw bytea);\n"
        "\\copy wrong FROM '" + csv + "' (FORMAT csv, HEADER MATCH)\n");
    EXPECT_NE(wrong.status, 0);
    EXPECT_NE(wrong.errors.find("other"), std::string::npos) << wrong.errors;
  }
}

TEST(PostgresHarness, QueryResultsAndErrors) {
  TABDUMP_NEED_POSTGRES(server);
  EXPECT_EQ(server->Query("SELECT 1 WHERE false").rows, std::vector<PgRow>{});
  EXPECT_EQ(server->Query("SELECT ''").rows, (std::vector<PgRow>{{""}}));
  EXPECT_EQ(server->Query("SELECT NULL::text, 'a|b', E'x\\ny'").rows, (std::vector<PgRow>{{std::nullopt, "a|b", "x\ny"}}));
  EXPECT_EQ(server->Query("SELECT n FROM generate_series(1, 3) n").rows, (std::vector<PgRow>{{"1"}, {"2"}, {"3"}}));
  const PgRows bad = server->Query("SELECT 1;\nSELECT nosuchcolumn;\nSELECT 2;");
  EXPECT_FALSE(bad.ok);
  EXPECT_NE(bad.errors.find("nosuchcolumn"), std::string::npos) << bad.errors;
  // Only the Unix socket in the server's folder; never TCP.
  EXPECT_EQ(server->Query("SHOW listen_addresses").rows, (std::vector<PgRow>{{""}}));
  EXPECT_EQ(server->Query("SHOW unix_socket_directories").rows, (std::vector<PgRow>{{server->dir()}}));
  EXPECT_EQ(server->Query("SHOW server_encoding").rows, (std::vector<PgRow>{{"UTF8"}}));
}

// Whether the process runs (a zombie that nobody has reaped yet does not).
bool Running(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t end_of_name = stat.rfind(") ");
  return end_of_name != std::string::npos && end_of_name + 2 < stat.size() && stat[end_of_name + 2] != 'Z';
}

TEST(PostgresHarness, RunsUnprivilegedAndCleansUpAfterItself) {
  const std::string bin_dir = PostgresServer::FindBinDir();
  if (bin_dir.empty()) TABDUMP_MISSING_TOOL("no PostgreSQL server here");
  std::string why;
  auto server = PostgresServer::Start(bin_dir, &why);
  ASSERT_NE(server, nullptr) << why;
  const std::string dir = server->dir();
  const pid_t pid = server->postmaster_pid();
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(Running(pid));
  struct stat info {};
  ASSERT_EQ(stat(server->DataDir().c_str(), &info), 0);
  EXPECT_NE(info.st_uid, 0u) << "the cluster belongs to root";
  // The server process too.
  struct stat process {};
  ASSERT_EQ(stat(("/proc/" + std::to_string(pid)).c_str(), &process), 0);
  EXPECT_NE(process.st_uid, 0u) << "the server runs as root";
  server.reset();
  EXPECT_FALSE(fs::exists(dir));
  EXPECT_FALSE(Running(pid)) << "the server still runs";
}

// Every column type the SQL scripts use, one row of extremes, one of NULLs
// and one of awkward text, loaded as `mariadb db < script` does.
TEST(MariaDbHarness, LoadsAHandWrittenScriptThroughStandardInput) {
  TABDUMP_NEED_MARIADB(server);
  const std::string db = server->NewDatabase();
  // The client drops the CR of the raw CR LF in row 4 (so scripts must write
  // \r); the escaped one in row 3 survives.
  const std::string script =
      "SET NAMES utf8mb4;\n"
      "SET SESSION sql_mode = 'STRICT_ALL_TABLES';\n"
      "CREATE TABLE hand (n INT, whole INT, big BIGINT UNSIGNED, amount DECIMAL(19,4), ratio DOUBLE, day DATE,\n"
      "  clock TIME(3), seen DATETIME(3), ok BOOLEAN, label VARCHAR(40), note LONGTEXT, raw LONGBLOB)\n"
      "  DEFAULT CHARSET=utf8mb4;\n"
      "INSERT INTO hand VALUES\n"
      "(1, -2147483648, 18446744073709551615, 123456789012345.6789, 1.7976931348623157e308, '0001-01-01',\n"
      "  '23:59:59.999', '9999-12-31 23:59:59.999', TRUE, 'M\xC3\xBCller \xF0\x9F\x98\x80', 'NULL', X'00FF0D0A'),\n"
      "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),\n"
      "(3, 0, 0, -0.0001, 5e-324, '0999-12-31', '00:00:00.000', '0001-01-01 00:00:00.000', FALSE,\n"
      "  'say ''hi'' & \\'bye\\'', 'C:\\\\dir\\tx\\r\\ny <a>', X''),\n"
      "(4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '', 'a\r\n b', NULL);\n";
  const CommandResult load = server->Sql(script, db);
  ASSERT_EQ(load.status, 0) << load.errors;
  const MariaDbRows r = server->Query(
      "SELECT n, whole, big, amount, ratio, ratio = 5e-324, day, clock, seen, ok, label, HEX(label), note,\n"
      "  HEX(raw) FROM hand ORDER BY n;\n",
      db);
  ASSERT_TRUE(r.ok) << r.errors;
  const auto null = std::nullopt;
  const std::vector<MariaDbRow> expected = {
      {"1", "-2147483648", "18446744073709551615", "123456789012345.6789", "1.7976931348623157e308", "0",
       "0001-01-01", "23:59:59.999", "9999-12-31 23:59:59.999", "1", "M\xC3\xBCller \xF0\x9F\x98\x80",
       "4DC3BC6C6C657220F09F9880", "NULL", "00FF0D0A"},
      {"2", null, null, null, null, null, null, null, null, null, null, null, null, null},
      {"3", "0", "0", "-0.0001", "5e-324", "1", "0999-12-31", "00:00:00.000", "0001-01-01 00:00:00.000", "0",
       "say 'hi' & 'bye'", "73617920276869272026202762796527", "C:\\dir\tx\r\ny <a>", ""},
      {"4", null, null, null, null, null, null, null, null, null, "", "", "a\n b", null},
  };
  EXPECT_EQ(r.rows, expected);
}

TEST(MariaDbHarness, QueryResultsAndErrors) {
  TABDUMP_NEED_MARIADB(server);
  const std::string db = server->NewDatabase();
  EXPECT_EQ(server->Query("SELECT 1 FROM DUAL WHERE FALSE;", db).rows, std::vector<MariaDbRow>{});
  EXPECT_EQ(server->Query("SELECT '', NULL, 'NULL', 'a\\tb\\nc\\rd', '</field>&amp;\"';", db).rows,
            (std::vector<MariaDbRow>{{"", std::nullopt, "NULL", "a\tb\nc\rd", "</field>&amp;\""}}));
  // The rows of two queries, one after the other.
  EXPECT_EQ(server->Query("SELECT 1 UNION ALL SELECT 2;\nSELECT 'x';", db).rows,
            (std::vector<MariaDbRow>{{"1"}, {"2"}, {"x"}}));

  // The client stops at the first error, with the line and the message.
  const CommandResult bad = server->Sql(
      "CREATE TABLE t (n INT);\nINSERT INTO t VALUES (1);\nSELECT nosuchcolumn FROM t;\nINSERT INTO t VALUES (2);\n",
      db);
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.errors.find("at line 3"), std::string::npos) << bad.errors;
  EXPECT_NE(bad.errors.find("nosuchcolumn"), std::string::npos) << bad.errors;
  EXPECT_EQ(server->Query("SELECT n FROM t;", db).rows, (std::vector<MariaDbRow>{{"1"}}));
  const MariaDbRows failed = server->Query("SELECT 1;\nSELECT * FROM nosuchtable;\n", db);
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.errors.find("nosuchtable"), std::string::npos) << failed.errors;

  // Sql() starts from the client's own defaults, as a user without an option
  // file does; Query() reads in utf8mb4.
  const CommandResult session = server->Sql("SELECT @@character_set_client;", db);
  EXPECT_EQ(session.output, "@@character_set_client\nlatin1\n") << session.errors;
  EXPECT_EQ(server->Query("SELECT @@character_set_results, @@time_zone, @@character_set_server;", db).rows,
            (std::vector<MariaDbRow>{{"utf8mb4", "+00:00", "utf8mb4"}}));
  // Only the Unix socket in the server's folder; never TCP.
  EXPECT_EQ(server->Query("SELECT @@skip_networking, @@socket;", db).rows,
            (std::vector<MariaDbRow>{{"1", server->Socket()}}));
}

// The user id of a process, from /proc; -1 when it cannot be read.
long ProcessUid(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Uid:", 0) == 0) return std::atol(line.c_str() + 4);
  }
  return -1;
}

TEST(MariaDbHarness, RunsUnprivilegedAndCleansUpAfterItself) {
  if (!MariaDbServer::FindTools().complete()) TABDUMP_MISSING_TOOL("no MariaDB here");
  std::string why;
  auto server = MariaDbServer::Start(&why);
  ASSERT_NE(server, nullptr) << why;
  const std::string dir = server->dir();
  const pid_t pid = server->server_pid();
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(Running(pid));
  struct stat info {};
  ASSERT_EQ(stat((server->DataDir() + "/mysql").c_str(), &info), 0);
  EXPECT_NE(info.st_uid, 0u) << "the data belongs to root";
  EXPECT_EQ(ProcessUid(pid), static_cast<long>(info.st_uid)) << "the server runs as another user than owns the data";
  EXPECT_NE(ProcessUid(pid), 0) << "the server runs as root";
  if (geteuid() != 0) {
    EXPECT_EQ(info.st_uid, geteuid());
  }
  server.reset();
  EXPECT_FALSE(fs::exists(dir));
  EXPECT_FALSE(Running(pid)) << "the server still runs";
}

TEST(SqliteHarness, ImportsAHandWrittenCsv) {
  TABDUMP_NEED_SQLITE();
  const std::string csv = WriteCsv("hand-sqlite.csv");
  const std::string db = fs::path(csv).replace_extension(".db").string();
  fs::remove(db);
  const SqliteRows r = RunSqlite(db, ".import --csv '" + csv + "' hand\n"
                                 "SELECT name FROM pragma_table_info('hand');\n"
                                 "SELECT n, whole, amount, seen, ok, label, raw, typeof(label) FROM hand;");
  ASSERT_TRUE(r.ok) << r.errors;
  const std::vector<std::vector<std::string>> expected = {
      {"n"}, {"whole"}, {"amount"}, {"ratio"}, {"day"}, {"clock"}, {"seen"}, {"ok"}, {"label"}, {"raw"},
      {"1", "-2147483648", "12.34567", "2024-05-01 09:30:00.123", "true", "a,b", "\\x00ff", "text"},
      {"2", "", "", "", "", "", "", "text"},
      {"3", "0", "-0.0001", "9999-12-31 23:59:59.999", "false", "say \"hi\"", "\\x", "text"},
      {"4", "", "", "", "", "line1\r\nline2", "", "text"},
      {"5", "", "", "", "", "\\.", "", "text"},
      {"6", "", "", "", "", "", "", "text"},
  };
  EXPECT_EQ(r.rows, expected);
  EXPECT_FALSE(RunSqlite(db, "SELECT nosuchcolumn FROM hand;").ok);
}

}  // namespace
}  // namespace tabdump::testing
