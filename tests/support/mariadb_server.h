// A throwaway MariaDB server for tests that load the converter's SQL scripts
// into a real database.  It lives in a fresh folder under /tmp:
// mariadb-install-db makes the data folder there, and the server listens only
// on a Unix socket in that folder (--skip-networking, no TCP).  The install
// gives root@localhost an empty password, so the client logs in as root over
// the socket whoever runs the tests.  When the tests run as root, the folder
// belongs to `nobody` and the install and the server run as nobody (through
// setpriv, else runuser).  The destructor stops the server and removes the
// folder; a watchdog shell does the same if the test program dies first, and
// after 30 minutes at the latest.
//
//   TABDUMP_NEED_MARIADB(server);                     // in a TEST: skip (CI: fail) when not installed
//   const std::string db = server->NewDatabase();     // t1, t2, ...
//   server->Sql(script, db);                          // mariadb db < script
//   MariaDbRows rows = server->Query("SELECT ...", db);  // rows of values, NULL as nullopt
//
// Sql() runs the client the way a user runs `mariadb db < t.sql`: the script
// goes in through standard input, the client stops at the first error, and
// no option file is read, so the session starts in the client's own default
// character set, which under LC_ALL=C is latin1: a script that leaves out
// SET NAMES utf8mb4 stores other letters double-encoded.
//
// Query() reads results through the client's XML output, where NULL is
// marked apart from the text 'NULL' and tabs, line feeds and carriage
// returns in values stay as they are.  Its session starts in utf8mb4, so text
// comes back as UTF-8 bytes.  The client prints a zero byte in a value as a
// space: select HEX(value) where values may hold zero bytes.
#pragma once

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/server_folder.h"
#include "tests/support/shell_command.h"

namespace tabdump::testing {

using MariaDbRow = std::vector<std::optional<std::string>>;

struct MariaDbRows {
  bool ok = false;     // the client ended with status 0
  std::string errors;  // the client's standard error
  std::vector<MariaDbRow> rows;  // the rows of every result set, one after the other
};

// Whether the process runs (a zombie that nobody has reaped yet does not).
inline bool ProcessRuns(pid_t pid) {
  if (pid <= 0) return false;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  if (!in) return kill(pid, 0) == 0;
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t end_of_name = stat.rfind(") ");
  return end_of_name != std::string::npos && end_of_name + 2 < stat.size() && stat[end_of_name + 2] != 'Z';
}

// The text of the client's XML output with its four entities undone.
inline std::string DecodeClientXml(const std::string& text) {
  static const std::pair<const char*, char> kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}};
  std::string plain;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, c] : kEntities) {
        if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
          plain += c;
          i += std::char_traits<char>::length(entity);
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) plain += text[i++];
  }
  return plain;
}

// The rows of every <resultset> in the client's --xml output.  Values cannot
// hold '<' (the client writes &lt;), so the next "</field>" ends a value, and
// a name attribute cannot hold '"'.  A NULL is <field name="..." xsi:nil="true" />.
inline std::optional<std::vector<MariaDbRow>> ParseClientXml(const std::string& xml) {
  std::vector<MariaDbRow> rows;
  const std::string kRow = "<row>", kRowEnd = "</row>", kField = "<field name=\"", kFieldEnd = "</field>";
  const std::string kNil = "\" xsi:nil=\"true\" />";
  std::size_t at = 0;
  while ((at = xml.find(kRow, at)) != std::string::npos) {
    const std::size_t row_end = xml.find(kRowEnd, at);
    if (row_end == std::string::npos) return std::nullopt;
    MariaDbRow row;
    std::size_t field = at + kRow.size();
    while ((field = xml.find(kField, field)) != std::string::npos && field < row_end) {
      const std::size_t name_end = xml.find('"', field + kField.size());
      if (name_end == std::string::npos || name_end > row_end) return std::nullopt;
      if (xml.compare(name_end, kNil.size(), kNil) == 0) {
        row.push_back(std::nullopt);
        field = name_end + kNil.size();
      } else if (xml.compare(name_end, 2, "\">") == 0) {
        const std::size_t value_end = xml.find(kFieldEnd, name_end + 2);
        if (value_end == std::string::npos || value_end > row_end) return std::nullopt;
        row.push_back(DecodeClientXml(xml.substr(name_end + 2, value_end - name_end - 2)));
        field = value_end + kFieldEnd.size();
      } else {
        return std::nullopt;
      }
    }
    rows.push_back(row);
    at = row_end + kRowEnd.size();
  }
  return rows;
}

class MariaDbServer {
 public:
  struct Tools {
    std::string server;      // mariadbd (or mysqld)
    std::string install_db;  // mariadb-install-db (or mysql_install_db)
    std::string client;      // mariadb (or mysql)
    bool complete() const { return !server.empty() && !install_db.empty() && !client.empty(); }
  };

  // The programs; the fields of those that are missing stay "".
  static Tools FindTools() {
    auto first = [](std::initializer_list<const char*> names) {
      for (const char* name : names) {
        const std::string found = name[0] == '/' ? (access(name, X_OK) == 0 ? name : "") : FindProgram(name);
        if (!found.empty()) return found;
      }
      return std::string();
    };
    Tools tools;
    tools.server = first({"/usr/sbin/mariadbd", "mariadbd", "/usr/sbin/mysqld", "mysqld"});
    tools.install_db = first({"mariadb-install-db", "/usr/bin/mariadb-install-db", "mysql_install_db"});
    tools.client = first({"mariadb", "/usr/bin/mariadb", "mysql"});
    return tools;
  }

  // Makes a data folder and starts a server on it; nullptr with the reason
  // in *why when that fails (or when a program is missing).
  static std::unique_ptr<MariaDbServer> Start(std::string* why) {
    Tools tools = FindTools();
    if (!tools.complete()) {
      *why = "MariaDB is not installed here (mariadbd, mariadb-install-db and the mariadb client are needed)";
      return nullptr;
    }
    std::unique_ptr<MariaDbServer> server(new MariaDbServer(std::move(tools)));
    if (!server->Launch(why)) return nullptr;
    return server;
  }

  MariaDbServer(const MariaDbServer&) = delete;
  MariaDbServer& operator=(const MariaDbServer&) = delete;

  ~MariaDbServer() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);  // the watchdog sees it gone and ends
    std::filesystem::remove_all(client_dir_, ec);
  }

  // Runs the script as `mariadb --batch database < file` (no database when
  // `database` is ""): standard input, stops at the first error, exit
  // status 1 and "ERROR nnnn (sssss) at line n: ..." on standard error then.
  CommandResult Sql(const std::string& script, const std::string& database = "") const {
    return RunClient(script, "--batch", database);
  }

  // Runs a script and splits what its queries return into rows and values
  // (see the top of this file: utf8mb4 session, zero bytes come back as
  // spaces).
  MariaDbRows Query(const std::string& script, const std::string& database = "") const {
    const CommandResult r = RunClient(script, "--xml --default-character-set=utf8mb4", database);
    MariaDbRows result{r.status == 0, r.errors, {}};
    if (auto rows = ParseClientXml(r.output)) {
      result.rows = std::move(*rows);
    } else {
      result.ok = false;
      result.errors += "\ncannot read the client's XML output:\n" + r.output;
    }
    return result;
  }

  // Makes a new empty database, t1, t2, ... (utf8mb4, the server's default)
  // and returns its name.
  std::string NewDatabase() const {
    const std::string name = "t" + std::to_string(++databases_);
    const CommandResult r = Sql("CREATE DATABASE " + name + ";\n");
    if (r.status != 0) ADD_FAILURE() << "CREATE DATABASE " << name << " failed: " << r.errors;
    return name;
  }

  const std::string& dir() const { return dir_; }  // holds the socket, the log and data/
  std::string DataDir() const { return dir_ + "/data"; }
  std::string Socket() const { return dir_ + "/mysql.sock"; }
  const std::string& version() const { return version_; }  // SELECT VERSION()
  pid_t server_pid() const { return pid_; }  // 0 when it never started

 private:
  explicit MariaDbServer(Tools tools) : tools_(std::move(tools)) {}

  std::string AsServerUser() const { return folder_.AsServerUser(); }

  CommandResult RunClient(const std::string& script, const std::string& options, const std::string& database) const {
    const std::string path = client_dir_ + "/script-" + std::to_string(++scripts_) + ".sql";
    std::ofstream(path, std::ios::binary) << script;
    return RunCommand("LC_ALL=C " + QuoteForShell(tools_.client) + " --no-defaults --socket=" +
                      QuoteForShell(Socket()) + " -u root " + options +
                      (database.empty() ? "" : " " + QuoteForShell(database)) + " <" + QuoteForShell(path));
  }

  // The options of both the install and the server: small InnoDB files and
  // buffers, no binary log, no waiting for the disk, no native AIO (which
  // some containers refuse).
  std::string LightOptions() const {
    return " --datadir=" + QuoteForShell(DataDir()) + " --tmpdir=" + QuoteForShell(dir_) +
           " --innodb-buffer-pool-size=16M --innodb-log-file-size=4M --innodb-use-native-aio=0"
           " --innodb-doublewrite=0 --innodb-flush-log-at-trx-commit=0 --skip-log-bin --skip-name-resolve";
  }

  bool Launch(std::string* why) {
    char client_template[] = "/tmp/tabdump-mariac-XXXXXX";
    const bool made = folder_.Make("/tmp/tabdump-maria-XXXXXX", why);
    dir_ = folder_.path();  // removed at the end even when it is not ready
    if (!made) return false;
    if (mkdtemp(client_template) == nullptr) {
      *why = "cannot make a temporary folder";
      return false;
    }
    client_dir_ = client_template;
    StartWatchdog();

    const std::string in_dir = "cd " + QuoteForShell(dir_) + " && ";
    const CommandResult install =
        RunCommand(in_dir + AsServerUser() + QuoteForShell(tools_.install_db) +
                       " --no-defaults --auth-root-authentication-method=normal --skip-test-db" + LightOptions(),
                   120);
    if (install.status != 0) {
      *why = "mariadb-install-db failed (" + std::to_string(install.status) + "): " + install.output + install.errors;
      return false;
    }
    // In the background, its output in the log; the launched process id is
    // kept beside the scripts for the watchdog.
    const std::string options = " --no-defaults" + LightOptions() + " --skip-networking --socket=" +
                                QuoteForShell(Socket()) + " --pid-file=" + QuoteForShell(dir_ + "/server.pid") +
                                " --log-error=" + QuoteForShell(dir_ + "/server.log") +
                                " --default-time-zone=+00:00 --character-set-server=utf8mb4 --max-allowed-packet=64M";
    const CommandResult start = RunCommand(in_dir + "( exec " + AsServerUser() + QuoteForShell(tools_.server) +
                                           options + " ) </dev/null >/dev/null 2>&1 & echo $! >" +
                                           QuoteForShell(client_dir_ + "/launch.pid") + "; echo $!");
    pid_ = static_cast<pid_t>(std::atol(start.output.c_str()));
    if (start.status != 0 || pid_ <= 0) {
      *why = "cannot start mariadbd: " + start.output + start.errors;
      return false;
    }
    // Bounded wait until it answers a query.
    for (int attempt = 0; attempt < 300; ++attempt) {
      const MariaDbRows r = Query("SELECT VERSION();\n");
      if (r.ok && r.rows.size() == 1 && r.rows[0].size() == 1 && r.rows[0][0]) {
        version_ = *r.rows[0][0];
        // Through runuser the launched process is not the server itself.
        std::ifstream in(dir_ + "/server.pid");
        long pid = 0;
        if (in >> pid && pid > 0) pid_ = static_cast<pid_t>(pid);
        return true;
      }
      if (!ProcessRuns(pid_)) {
        *why = "mariadbd ended at once" + ReadLog();
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    *why = "the server does not answer: " + ReadLog();
    return false;
  }

  // Whether `pid` is still this folder's server (and not a process that got
  // its id later).
  bool OurServer(pid_t pid) const {
    if (!ProcessRuns(pid)) return false;
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    if (!in) return true;  // no /proc: trust the id
    const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return cmdline.find("--datadir=" + DataDir()) != std::string::npos;
  }

  // SIGTERM makes the server shut down cleanly; SIGKILL after 30 seconds.
  void Stop() {
    if (!OurServer(pid_)) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 300 && ProcessRuns(pid_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (OurServer(pid_)) {
      kill(pid_, SIGKILL);
      for (int i = 0; i < 50 && ProcessRuns(pid_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  // A shell that outlives nothing: once this process is gone (or after 30
  // minutes) it kills the server at once and removes the folders; it ends by
  // itself as soon as the server's folder is gone.
  void StartWatchdog() const {
    const std::string dir = QuoteForShell(dir_);
    const std::string mark = QuoteForShell("--datadir=" + DataDir());
    const std::string kill_server =
        "for f in " + QuoteForShell(dir_ + "/server.pid") + " " + QuoteForShell(client_dir_ + "/launch.pid") +
        "; do p=$(cat \"$f\" 2>/dev/null); if [ -n \"$p\" ] && grep -qaF -e " + mark +
        " /proc/$p/cmdline 2>/dev/null; then kill -KILL $p; j=0; while [ $j -lt 10 ] && kill -0 $p 2>/dev/null; "
        "do sleep 1; j=$((j+1)); done; fi; done; ";
    const std::string loop = "i=0; while [ $i -lt 1800 ] && [ -d " + dir + " ] && kill -0 " +
                             std::to_string(getpid()) + " 2>/dev/null; do sleep 1; i=$((i+1)); done; " +
                             "if [ -d " + dir + " ]; then " + kill_server + "rm -rf " + dir + " " +
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

  Tools tools_;
  ServerFolder folder_;
  std::string dir_;
  std::string client_dir_;
  pid_t pid_ = 0;
  std::string version_;
  mutable int scripts_ = 0;
  mutable int databases_ = 0;
};

using SharedMariaDbState = SharedServer<MariaDbServer>;

// The test program's one server, started on first use and stopped when the
// program ends.
inline const SharedMariaDbState& SharedMariaDb() {
  static std::unique_ptr<MariaDbServer> server;
  static const SharedMariaDbState state = [] {
    SharedMariaDbState s;
    if (!MariaDbServer::FindTools().complete()) {
      s.why = "no MariaDB here (mariadbd, mariadb-install-db and the mariadb client)";
      return s;
    }
    s.installed = true;
    server = MariaDbServer::Start(&s.why);
    s.server = server.get();
    return s;
  }();
  return state;
}

}  // namespace tabdump::testing

// Declares `server`, the shared MariaDbServer* (see TABDUMP_NEED_SERVER).
#define TABDUMP_NEED_MARIADB(server) \
  TABDUMP_NEED_SERVER(::tabdump::testing::MariaDbServer, ::tabdump::testing::SharedMariaDb, "MariaDB", server)
