// A throwaway PostgreSQL server for tests that load the converter's output
// into a real database.  It lives in a fresh folder under /tmp: initdb makes
// a cluster there, and the server listens only on a Unix socket in that
// folder (no TCP).  The server refuses to run as root, so when the tests run
// as root the folder belongs to `nobody` and the server commands run through
// runuser (or setpriv).  The destructor stops the server and removes the
// folder; a watchdog shell does the same if the test program dies first, and
// after 30 minutes at the latest.
//
//   TABDUMP_NEED_POSTGRES(server);              // in a TEST: skip (CI: fail) when not installed
//   server->Sql("CREATE TABLE t (n integer)");  // psql -f, ON_ERROR_STOP
//   PgRows rows = server->Query("SELECT ...");  // rows of values, NULL as nullopt
#pragma once

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/server_folder.h"
#include "tests/support/shell_command.h"

namespace tabdump::testing {

using PgRow = std::vector<std::optional<std::string>>;

struct PgRows {
  bool ok = false;     // psql ended with status 0
  std::string errors;  // psql's standard error
  std::vector<PgRow> rows;
};

class PostgresServer {
 public:
  // The folder with initdb, pg_ctl, postgres and psql: the newest of Debian's
  // /usr/lib/postgresql/*/bin, else the folder of an initdb on PATH; "" when
  // there is none.
  static std::string FindBinDir() {
    namespace fs = std::filesystem;
    auto complete = [](const fs::path& dir) {
      for (const char* tool : {"initdb", "pg_ctl", "postgres", "psql"}) {
        if (access((dir / tool).c_str(), X_OK) != 0) return false;
      }
      return true;
    };
    std::error_code ec;
    fs::path best;
    int best_version = -1;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
      const std::string name = entry.path().filename().string();
      const int version = std::atoi(name.c_str());
      if (version > best_version && complete(entry.path() / "bin")) {
        best_version = version;
        best = entry.path() / "bin";
      }
    }
    if (!best.empty()) return best.string();
    const std::string initdb = FindProgram("initdb");
    if (!initdb.empty() && complete(fs::path(initdb).parent_path())) return fs::path(initdb).parent_path().string();
    return "";
  }

  // Makes a cluster and starts a server on it; nullptr with the reason in
  // *why when that fails.
  static std::unique_ptr<PostgresServer> Start(const std::string& bin_dir, std::string* why) {
    std::unique_ptr<PostgresServer> server(new PostgresServer(bin_dir));
    if (!server->Launch(why)) return nullptr;
    return server;
  }

  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  ~PostgresServer() {
    if (started_) {
      RunCommand(AsServerUser() + Tool("pg_ctl") + " -D " + QuoteForShell(DataDir()) + " -m fast -w -t 30 stop", 60);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);  // the watchdog sees it gone and ends
    std::filesystem::remove_all(client_dir_, ec);
  }

  // Runs SQL (psql meta-commands such as \copy too) through psql -f: stops at
  // the first error.  Output unaligned, fields split by 0x1F, rows by 0x1E,
  // NULL shown as 0x01.
  CommandResult Sql(const std::string& script) const {
    const std::string path = client_dir_ + "/script-" + std::to_string(++scripts_) + ".sql";
    std::ofstream(path, std::ios::binary) << script;
    return RunCommand("PGCLIENTENCODING=UTF8 PGTZ=UTC PGDATESTYLE='ISO, YMD' " + Tool("psql") +
                      " -X -q -h " + QuoteForShell(dir_) + " -p " + std::to_string(port_) +
                      " -U tabdump -d postgres -v ON_ERROR_STOP=1 -A -t -F " + QuoteForShell("\x1f") + " -R " +
                      QuoteForShell("\x1e") + " -P " + QuoteForShell("null=\x01") + " -f " + QuoteForShell(path));
  }

  // Runs a script whose last statement is a query, and splits what that
  // query returns into rows and values.
  PgRows Query(const std::string& script) const {
    const CommandResult r = Sql(script);
    PgRows result{r.status == 0, r.errors, {}};
    std::string text = r.output;
    if (text.empty()) return result;  // no rows: psql prints nothing
    if (text.back() == '\n') text.pop_back();  // psql ends the last row with a line feed
    std::size_t row_start = 0;
    for (;;) {
      const std::size_t row_end = std::min(text.find('\x1e', row_start), text.size());
      const std::string row = text.substr(row_start, row_end - row_start);
      PgRow values;
      std::size_t start = 0;
      for (;;) {
        const std::size_t end = std::min(row.find('\x1f', start), row.size());
        const std::string value = row.substr(start, end - start);
        if (value == "\x01") {
          values.push_back(std::nullopt);
        } else {
          values.push_back(value);
        }
        if (end == row.size()) break;
        start = end + 1;
      }
      result.rows.push_back(values);
      if (row_end == text.size()) break;
      row_start = row_end + 1;
    }
    return result;
  }

  // COPY's header option: 15 and later check the names against the columns.
  std::string HeaderOption() const { return version_num_ >= 150000 ? "HEADER MATCH" : "HEADER"; }

  const std::string& dir() const { return dir_; }  // holds the socket and data/
  std::string DataDir() const { return dir_ + "/data"; }
  int port() const { return port_; }
  int version_num() const { return version_num_; }
  // The server's process id, from data/postmaster.pid; 0 when not running.
  pid_t postmaster_pid() const {
    std::ifstream in(DataDir() + "/postmaster.pid");
    long pid = 0;
    in >> pid;
    return static_cast<pid_t>(pid);
  }

 private:
  explicit PostgresServer(std::string bin_dir) : bin_dir_(std::move(bin_dir)) {}

  std::string Tool(const std::string& name) const { return QuoteForShell(bin_dir_ + "/" + name); }

  std::string AsServerUser() const { return folder_.AsServerUser(); }

  bool Launch(std::string* why) {
    char client_template[] = "/tmp/tabdump-psql-XXXXXX";
    const bool made = folder_.Make("/tmp/tabdump-pg-XXXXXX", why);
    dir_ = folder_.path();  // removed at the end even when it is not ready
    if (!made) return false;
    if (mkdtemp(client_template) == nullptr) {
      *why = "cannot make a temporary folder";
      return false;
    }
    client_dir_ = client_template;
    port_ = 20000 + static_cast<int>(getpid() % 20000);
    StartWatchdog();

    const std::string in_dir = "cd " + QuoteForShell(dir_) + " && ";
    const CommandResult init =
        RunCommand(in_dir + AsServerUser() + Tool("initdb") + " -D " + QuoteForShell(DataDir()) +
                       " -U tabdump --auth=trust -E UTF8 --no-locale --no-sync --no-instructions",
                   120);
    if (init.status != 0) {
      *why = "initdb failed (" + std::to_string(init.status) + "): " + init.output + init.errors;
      return false;
    }
    const std::string options = "-c listen_addresses='' -k " + dir_ + " -p " + std::to_string(port_) +
                                " -c fsync=off -c full_page_writes=off -c synchronous_commit=off";
    const CommandResult start =
        RunCommand(in_dir + AsServerUser() + Tool("pg_ctl") + " -D " + QuoteForShell(DataDir()) + " -l " +
                       QuoteForShell(dir_ + "/server.log") + " -w -t 30 -o " + QuoteForShell(options) + " start",
                   60);
    started_ = true;  // even a failed start may have left a server to stop
    if (start.status != 0) {
      *why = "pg_ctl start failed: " + start.output + start.errors + ReadLog();
      return false;
    }
    // Bounded wait until it answers a query.
    for (int attempt = 0; attempt < 50; ++attempt) {
      const PgRows r = Query("SELECT current_setting('server_version_num')");
      if (r.ok && r.rows.size() == 1 && r.rows[0].size() == 1 && r.rows[0][0]) {
        version_num_ = std::atoi(r.rows[0][0]->c_str());
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    *why = "the server does not answer: " + ReadLog();
    return false;
  }

  // A shell that outlives nothing: once this process is gone (or after 30
  // minutes) it stops the server at once and removes the folder; it ends by
  // itself as soon as the folder is gone.
  void StartWatchdog() const {
    const std::string dir = QuoteForShell(dir_);
    const std::string stop =
        AsServerUser() + Tool("pg_ctl") + " -D " + QuoteForShell(DataDir()) + " -m immediate -w -t 20 stop";
    const std::string loop = "i=0; while [ $i -lt 1800 ] && [ -d " + dir + " ] && kill -0 " +
                             std::to_string(getpid()) + " 2>/dev/null; do sleep 1; i=$((i+1)); done; " +
                             "if [ -d " + dir + " ]; then " + stop + "; rm -rf " + dir + " " +
                             QuoteForShell(client_dir_) + "; fi";
    if (std::system(("sh -c " + QuoteForShell(loop) + " </dev/null >/dev/null 2>&1 &").c_str()) != 0) {
      // Without a watchdog the destructor still cleans up after a normal end.
    }
  }

  std::string ReadLog() const {
    std::ifstream in(dir_ + "/server.log");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.empty() ? "" : "\nserver log:\n" + text;
  }

  std::string bin_dir_;
  ServerFolder folder_;
  std::string dir_;
  std::string client_dir_;
  int port_ = 0;
  int version_num_ = 0;
  bool started_ = false;
  mutable int scripts_ = 0;
};

using SharedPostgresState = SharedServer<PostgresServer>;

// The test program's one server, started on first use and stopped when the
// program ends.
inline const SharedPostgresState& SharedPostgres() {
  static std::unique_ptr<PostgresServer> server;
  static const SharedPostgresState state = [] {
    SharedPostgresState s;
    const std::string bin_dir = PostgresServer::FindBinDir();
    if (bin_dir.empty()) {
      s.why = "no PostgreSQL server here (no /usr/lib/postgresql/*/bin/postgres nor initdb on PATH)";
      return s;
    }
    s.installed = true;
    server = PostgresServer::Start(bin_dir, &s.why);
    s.server = server.get();
    return s;
  }();
  return state;
}

}  // namespace tabdump::testing

// Declares `server`, the shared PostgresServer* (see TABDUMP_NEED_SERVER).
#define TABDUMP_NEED_POSTGRES(server) \
  TABDUMP_NEED_SERVER(::tabdump::testing::PostgresServer, ::tabdump::testing::SharedPostgres, "PostgreSQL", server)
