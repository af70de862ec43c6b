// The README's recipes, run exactly as written.  Every ```sh block of
// README.md that follows a line <!-- recipe --> is a shell script that works
// in a folder holding the example table (examples/customers.dat and its BLOB
// file), with `tabdump` on PATH.  Each runs under bash -e in a fresh folder,
// its databases reached through the clients' own environment: the throwaway
// PostgreSQL server as PGHOST and PGPORT, the MariaDB server through a
// ~/.my.cnf, both with an empty database `shop`.  Then the checks below, keyed
// by a text that only that block holds, look at what it made; the expected
// values are the example table's records (tests/tools/make_table.cc), worked
// out by hand.  A block the checks do not know, or a check whose block is
// gone, fails the test, so that a recipe cannot change unnoticed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/german_locale.h"
#include "tests/support/mariadb_server.h"
#include "tests/support/postgres_server.h"
#include "tests/support/sqlite_shell.h"

namespace tabdump {
namespace {

using namespace tabdump::testing;
namespace fs = std::filesystem;

struct Block {
  int line;  // of the opening ```sh in README.md
  std::string script;
  bool Uses(const std::string& text) const { return script.find(text) != std::string::npos; }
  // The first line that holds `text`.
  std::string LineWith(const std::string& text) const {
    const std::size_t at = script.find(text);
    const std::size_t start = at == std::string::npos ? 0 : script.rfind('\n', at) + 1;
    return script.substr(start, script.find('\n', start) - start);
  }
};

std::vector<Block> MarkedBlocks() {
  std::ifstream in(std::string(TABDUMP_SOURCE_DIR) + "/README.md");
  std::vector<Block> blocks;
  std::string line;
  int number = 0;
  bool marked = false;
  Block* open = nullptr;
  while (std::getline(in, line)) {
    ++number;
    if (open != nullptr) {
      if (line == "```") {
        open = nullptr;
      } else {
        open->script += line + "\n";
      }
    } else if (line == "<!-- recipe -->") {
      marked = true;
    } else {
      if (marked && line == "```sh") open = &blocks.emplace_back(Block{number, ""});
      marked = false;
    }
  }
  return blocks;
}

// The records of the example table, in its order (record 5 is deleted).
const char* const kNames = "Ada Lovelace|Bob O'Hara|Chen Wei|Dora \"Dee\" Banks, Ltd.|Frank Ito";

class ReadmeRecipes : public EndToEnd {
 protected:
  struct Ran {
    CommandResult result;
    std::string dir;
    std::string File(const std::string& name) const { return ReadFile(dir + "/" + name); }
  };

  // The databases' clients and what a check needs of them.
  PostgresServer* postgres_ = nullptr;
  MariaDbServer* mariadb_ = nullptr;

  struct Check {
    std::string key;  // a text only this block holds
    std::string postgres_setup;  // run in the empty database shop before the block
    bool pipe = false;  // a pipeline that must fail when tabdump does
    std::function<void(ReadmeRecipes&, const Ran&)> check;
  };

  std::vector<std::string> PostgresValues(const std::string& query) {
    const PgRows rows = postgres_->Query("\\c shop\n" + query);
    EXPECT_TRUE(rows.ok) << rows.errors;
    std::vector<std::string> values;
    if (rows.rows.size() == 1) {
      for (const auto& value : rows.rows[0]) values.push_back(value.value_or("NULL"));
    }
    return values;
  }

  std::vector<std::string> MariaDbValues(const std::string& query) {
    const MariaDbRows rows = mariadb_->Query(query, "shop");
    EXPECT_TRUE(rows.ok) << rows.errors;
    std::vector<std::string> values;
    if (rows.rows.size() == 1) {
      for (const auto& value : rows.rows[0]) values.push_back(value.value_or("NULL"));
    }
    return values;
  }

  static std::vector<std::string> SqliteValues(const std::string& db, const std::string& query) {
    const SqliteRows rows = RunSqlite(db, query);
    EXPECT_TRUE(rows.ok) << rows.errors;
    return rows.rows.size() == 1 ? rows.rows[0] : std::vector<std::string>{};
  }

  static std::vector<Check> Checks();

  // Runs one block in a fresh folder; the environment holds `env` too.
  // With `broken`, customers.dat is no table, so that tabdump fails.
  Ran RunBlock(const Block& block, const std::string& name, const std::string& env, const std::string& postgres_setup,
               bool broken = false) {
    const std::string dir = Path(name);
    fs::create_directories(dir + "/bin");
    for (const char* file : {"customers.dat", "customers.blb"}) {
      fs::copy_file(std::string(TABDUMP_SOURCE_DIR) + "/examples/" + file, dir + "/" + file);
    }
    if (broken) std::ofstream(dir + "/customers.dat", std::ios::binary | std::ios::trunc) << "no table";
    fs::create_symlink(TABDUMP_EXE, dir + "/bin/tabdump");
    std::ofstream(dir + "/recipe.sh", std::ios::binary) << block.script;
    std::string environment = "PATH=" + QuoteForShell(dir + "/bin") + ":\"$PATH\" HOME=" + QuoteForShell(dir) +
                              " LC_ALL=C.UTF-8";
    if (postgres_ != nullptr) {
      const CommandResult made = postgres_->Sql("DROP DATABASE IF EXISTS shop;\nCREATE DATABASE shop;\n");
      EXPECT_EQ(made.status, 0) << made.errors;
      if (!postgres_setup.empty()) {
        const CommandResult setup = postgres_->Sql("\\c shop\n" + postgres_setup);
        EXPECT_EQ(setup.status, 0) << setup.errors;
      }
      environment += " PGHOST=" + QuoteForShell(postgres_->dir()) + " PGPORT=" + std::to_string(postgres_->port()) +
                     " PGUSER=tabdump PGDATABASE=shop";
    }
    if (mariadb_ != nullptr) {
      const CommandResult made = mariadb_->Sql("DROP DATABASE IF EXISTS shop;\nCREATE DATABASE shop;\n");
      EXPECT_EQ(made.status, 0) << made.errors;
      std::ofstream(dir + "/.my.cnf") << "[client]\nsocket=" << mariadb_->Socket() << "\nuser=root\n";
    }
    const CommandResult result =
        RunCommand("cd " + QuoteForShell(dir) + " && " + environment + " " + env + " bash -e recipe.sh", 300);
    return {result, dir};
  }

  // Runs the blocks that `pick` chooses and checks each; gives the SKIP
  // lines of those that need a tool this machine lacks.
  void RunRecipes(const std::function<bool(const Block&)>& pick, std::vector<std::string>* skipped) {
    const std::vector<Block> blocks = MarkedBlocks();
    EXPECT_GE(blocks.size(), 5u) << "the README's recipe blocks are not found";
    const std::vector<Check> checks = Checks();
    for (const Check& check : checks) {
      int matches = 0;
      for (const Block& block : blocks) matches += block.Uses(check.key) ? 1 : 0;
      EXPECT_EQ(matches, 1) << "the README should have one recipe block holding \"" << check.key << "\"";
    }
    int index = 0;
    for (const Block& block : blocks) {
      ++index;
      if (!pick(block)) continue;
      SCOPED_TRACE("README.md line " + std::to_string(block.line) + ": " + block.LineWith("tabdump"));
      const Check* check = nullptr;
      for (const Check& c : checks) {
        if (block.Uses(c.key)) check = &c;
      }
      if (check == nullptr) {
        ADD_FAILURE() << "a recipe that this test has no check for:\n" << block.script;
        continue;
      }
      std::string why;
      std::string tool;
      if (block.Uses("duckdb") && FindProgram("duckdb").empty()) tool = "duckdb";
      if (block.Uses("pandas") && RunCommand("python3 -c 'import pandas'").status != 0) tool = "pandas";
      if (!tool.empty()) {
        skipped->push_back("SKIP: README.md line " + std::to_string(block.line) + ", " + block.LineWith(tool) + ": " +
                           tool + " is not installed here");
        std::cout << skipped->back() << "\n";
        continue;
      }
      std::string env;
      if (block.Uses("de_DE")) {
        env = GermanLocaleEnv(std::string(TABDUMP_TEST_TMP) + "/locales", &why);
        if (env.empty()) TABDUMP_MISSING_TOOL(why);
      }
      postgres_ = nullptr;
      mariadb_ = nullptr;
      if (block.Uses("psql")) {
        const auto& shared = SharedPostgres();
        if (shared.server == nullptr) TABDUMP_MISSING_TOOL("PostgreSQL: " + shared.why);
        postgres_ = shared.server;
      }
      if (block.Uses("mysql")) {
        const auto& shared = SharedMariaDb();
        if (shared.server == nullptr) TABDUMP_MISSING_TOOL("MariaDB: " + shared.why);
        mariadb_ = shared.server;
      }
      if (block.Uses("sqlite3") && SqliteProgram().empty()) TABDUMP_MISSING_TOOL("no sqlite3 here");
      const std::string name = "recipe-" + std::to_string(index);
      const Ran ran = RunBlock(block, name, env, check->postgres_setup);
      EXPECT_EQ(ran.result.status, 0) << ran.result.output << ran.result.errors;
      EXPECT_EQ(ran.result.errors, "");
      check->check(*this, ran);
      if (check->pipe) {
        const Ran failed = RunBlock(block, name + "-broken", env, check->postgres_setup, true);
        EXPECT_NE(failed.result.status, 0) << "the pipeline hides tabdump's failure:\n" << failed.result.output;
      }
    }
  }
};

const char* const kCustomersTable =
    "CREATE TABLE customers (id integer, name varchar(30), city varchar(20),\n"
    "  amount double precision, credit numeric(19,4), since date, lastseen timestamp(3), active boolean, notes text);\n";

std::vector<ReadmeRecipes::Check> ReadmeRecipes::Checks() {
  return {
      {"london.txt", "", false,
       [](ReadmeRecipes&, const Ran& ran) {
         const std::string text = ran.File("customers.txt");
         EXPECT_EQ(text.substr(0, text.find("\r\n")), "Id\tName\tCity\tAmount\tCredit\tSince\tLastSeen\tActive\tNotes");
         EXPECT_NE(text.find("\r\n2\tBob O'Hara\tDublin\t-75.25\t0\t2001-07-04\t2024-05-02 14:05:30\t0\tPrefers email.\r\n"),
                   std::string::npos) << text;
         const std::string csv = ran.File("customers.csv");
         EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
                   "\"Id\",\"Name\",\"City\",\"Amount\",\"Credit\",\"Since\",\"LastSeen\",\"Active\",\"Notes\"");
         EXPECT_NE(csv.find("\r\n\"4\",\"Dora \"\"Dee\"\" Banks, Ltd.\",\"Lagos\",\"98765.43\",\"1000\","),
                   std::string::npos) << csv;
         EXPECT_EQ(ran.File("london.txt"), "Ada Lovelace\tLondon\r\n");
         EXPECT_EQ(ran.File("big.txt"), "1||Ada Lovelace\r\n4||Dora \"Dee\" Banks, Ltd.\r\n");
       }},
      {"COPY customers FROM STDIN", "", true,
       [](ReadmeRecipes& t, const Ran&) {
         EXPECT_EQ(t.PostgresValues("SELECT count(*), count(city), sum(credit), string_agg(name, '|' ORDER BY id) FROM customers;"),
                   (std::vector<std::string>{"5", "4", "1332.3300", kNames}));
       }},
      {"customers_load", kCustomersTable, true,
       [](ReadmeRecipes& t, const Ran&) {
         EXPECT_EQ(t.PostgresValues("SELECT count(*), sum(credit), to_regclass('customers_load') IS NULL FROM customers;"),
                   (std::vector<std::string>{"5", "1332.3300", "t"}));
       }},
      {".import --csv", "", false,
       [](ReadmeRecipes&, const Ran& ran) {
         // Every column a text: the empty City of record 3 too.
         EXPECT_EQ(SqliteValues(ran.dir + "/shop.db",
                             "SELECT count(*), group_concat(Name, '|'), sum(City = ''), typeof(Credit) FROM customers;"),
                   (std::vector<std::string>{"5", kNames, "1", "text"}));
       }},
      {"duckdb shop.duckdb", "", false,
       [](ReadmeRecipes&, const Ran& ran) {
         const CommandResult r = RunCommand("cd " + QuoteForShell(ran.dir) +
                                            " && duckdb -csv -noheader shop.duckdb \"SELECT count(*), count(City) FROM customers\"");
         EXPECT_EQ(r.output, "5,4\n") << r.errors;
       }},
      {"read_json", "", false,
       [](ReadmeRecipes&, const Ran& ran) {
         const CommandResult r = RunCommand("cd " + QuoteForShell(ran.dir) +
                                            " && duckdb -csv -noheader events.duckdb \"SELECT count(*), count(City) FROM customers\"");
         EXPECT_EQ(r.output, "5,4\n") << r.errors;
       }},
      {"/info /json", "", false,
       [](ReadmeRecipes&, const Ran& ran) { EXPECT_EQ(ran.result.output, "\"Notes\"\n"); }},
      {"pandas", "", false,
       [](ReadmeRecipes&, const Ran& ran) {
         EXPECT_NE(ran.result.output.find("Frank Ito"), std::string::npos) << ran.result.output;
       }},
      {"de_DE.UTF-8 tabdump", "", false,
       [](ReadmeRecipes&, const Ran& ran) {
         // Decimal commas, German dates, quoted values, semicolons, a byte-order mark.
         const std::string csv = ran.File("customers.csv");
         EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
                   "\xEF\xBB\xBF\"Id\";\"Name\";\"City\";\"Amount\";\"Credit\";\"Since\";\"LastSeen\";\"Active\";\"Notes\"");
         EXPECT_NE(csv.find("\r\n\"2\";\"Bob O'Hara\";\"Dublin\";\"-75,25\";\"0\";\"04.07.2001\";\"02.05.2024 14:05:30\";"
                            "\"0\";\"Prefers email.\"\r\n"),
                   std::string::npos) << csv;
       }},
      {"/sql=sqlite", "", false,
       [](ReadmeRecipes& t, const Ran& ran) {
         EXPECT_EQ(SqliteValues(ran.dir + "/shop.db", "SELECT count(*), sum(Credit), group_concat(Name, '|') FROM customers;"),
                   (std::vector<std::string>{"5", "1332.33", kNames}));
         EXPECT_EQ(t.PostgresValues("SELECT count(*), sum(\"Credit\"), string_agg(\"Name\", '|' ORDER BY \"Id\") FROM customers;"),
                   (std::vector<std::string>{"5", "1332.3300", kNames}));
         EXPECT_EQ(t.MariaDbValues("SELECT COUNT(*), SUM(`Credit`), GROUP_CONCAT(`Name` ORDER BY `Id` SEPARATOR '|') "
                                "FROM customers;"),
                   (std::vector<std::string>{"5", "1332.3300", kNames}));
       }},
  };
}

// The manual page's examples that use the example table, with roff's
// escapes read as man shows them, run the same way.
TEST_F(ReadmeRecipes, ManualPageExamplesRunAsShown) {
  std::ifstream in(std::string(TABDUMP_SOURCE_DIR) + "/man/tabdump.1");
  Block block{0, ""};
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(".B tabdump customers.dat ", 0) != 0) continue;
    std::string shown;
    for (std::size_t i = 3; i < line.size(); ++i) {
      if (line.compare(i, 2, "\\e") == 0) {
        shown += '\\';
      } else if (line.compare(i, 4, "\\(dq") == 0) {
        shown += '"';
        i += 2;
      } else if (line.compare(i, 2, "\\-") == 0) {
        shown += '-';
      } else {
        shown += line[i];
        continue;
      }
      ++i;
    }
    block.script += shown + "\n";
  }
  ASSERT_NE(block.script.find("london.txt"), std::string::npos) << block.script;
  const Ran ran = RunBlock(block, "manual", "", "");
  EXPECT_EQ(ran.result.status, 0) << ran.result.output << ran.result.errors;
  EXPECT_EQ(ran.result.errors, "");
  const std::string csv = ran.File("customers.csv");
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "\"Id\",\"Name\",\"City\",\"Amount\",\"Credit\",\"Since\",\"LastSeen\",\"Active\",\"Notes\"");
  EXPECT_EQ(ran.File("london.txt"), "Ada Lovelace\tLondon\r\n");
}

bool NeedsOptionalTool(const Block& block) { return block.Uses("duckdb") || block.Uses("pandas"); }

TEST_F(ReadmeRecipes, RunAsWritten) {
  std::vector<std::string> skipped;
  RunRecipes([](const Block& block) { return !NeedsOptionalTool(block); }, &skipped);
}

// DuckDB and pandas are no part of the test machine: their recipes run where
// they are installed, and are named as skipped where not.
TEST_F(ReadmeRecipes, DuckDbAndPandasRecipesRunWhereInstalled) {
  std::vector<std::string> skipped;
  RunRecipes(NeedsOptionalTool, &skipped);
  if (!skipped.empty()) {
    std::string lines;
    for (const std::string& line : skipped) lines += line + "\n";
    GTEST_SKIP() << lines;
  }
}

}  // namespace
}  // namespace tabdump
