// The sqlite3 command-line shell, for tests that load the converter's output
// into a real database: Run() feeds it a script (dot-commands and SQL) in
// .mode ascii, and splits what it prints into rows of values (fields end at
// 0x1F, rows at 0x1E).
//
//   TABDUMP_NEED_SQLITE();   // in a TEST: skip (CI: fail) when sqlite3 is missing
//   SqliteRows r = RunSqlite(db_path, ".import --csv out.csv t\nSELECT ...;");
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/shell_command.h"

namespace tabdump::testing {

inline const std::string& SqliteProgram() {
  static const std::string& program = *new std::string(FindProgram("sqlite3"));
  return program;
}

struct SqliteRows {
  bool ok = false;
  std::string errors;
  std::vector<std::vector<std::string>> rows;
};

// Runs the script on the database file (made when missing); stops at the
// first error.  The script is written beside the database.
inline SqliteRows RunSqlite(const std::string& db_path, const std::string& script) {
  const std::string script_path = db_path + ".script";
  std::ofstream(script_path, std::ios::binary) << ".bail on\n.mode ascii\n" << script << "\n";
  const CommandResult r = RunCommand(QuoteForShell(SqliteProgram()) + " -batch -bail " + QuoteForShell(db_path) +
                                     " <" + QuoteForShell(script_path));
  // sqlite3 may report an error without a failing exit status in batch mode.
  SqliteRows result{r.status == 0 && r.errors.empty(), r.errors, {}};
  std::size_t row_start = 0;
  while (row_start < r.output.size()) {
    const std::size_t row_end = std::min(r.output.find('\x1e', row_start), r.output.size());
    const std::string row = r.output.substr(row_start, row_end - row_start);
    std::vector<std::string> values;
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = std::min(row.find('\x1f', start), row.size());
      values.push_back(row.substr(start, end - start));
      if (end == row.size()) break;
      start = end + 1;
    }
    result.rows.push_back(values);
    row_start = row_end + 1;
  }
  return result;
}

}  // namespace tabdump::testing

// Skips the test (fails it in CI) when there is no sqlite3.
#define TABDUMP_NEED_SQLITE()                                                            \
  do {                                                                                   \
    if (::tabdump::testing::SqliteProgram().empty()) TABDUMP_MISSING_TOOL("no sqlite3 here"); \
  } while (0)
