// The folder and the user of a throwaway database server for the tests.
// Servers refuse to run as root, so when the tests run as root the folder
// belongs to `nobody` and server commands run as nobody (through setpriv,
// which keeps the process id of what it starts, else runuser).
#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/support/shell_command.h"

namespace tabdump::testing {

class ServerFolder {
 public:
  // Makes a private folder from `name_template` (mkdtemp's XXXXXX at the
  // end) that the server user owns; false with the reason in *why.
  bool Make(const std::string& name_template, std::string* why) {
    std::string name = name_template;
    if (mkdtemp(name.data()) == nullptr) {
      *why = "cannot make a temporary folder";
      return false;
    }
    path_ = name;
    if (geteuid() == 0) {
      const passwd* pw = getpwnam(user_.c_str());
      if (pw == nullptr) {
        *why = "running as root, and there is no user '" + user_ + "' to run the server as";
        return false;
      }
      uid_ = pw->pw_uid;
      gid_ = pw->pw_gid;
      if (chown(path_.c_str(), uid_, gid_) != 0) {
        *why = "cannot give " + path_ + " to " + user_;
        return false;
      }
    }
    if (chmod(path_.c_str(), 0700) != 0) {
      *why = "cannot restrict " + path_;
      return false;
    }
    return true;
  }

  const std::string& path() const { return path_; }

  // The prefix that runs a command as the server user, in the C locale.
  std::string AsServerUser() const {
    if (geteuid() != 0) return "env LC_ALL=C ";
    static const std::string& setpriv = *new std::string(FindProgram("setpriv"));  // outlives static servers
    if (!setpriv.empty()) {
      return QuoteForShell(setpriv) + " --reuid=" + std::to_string(uid_) + " --regid=" + std::to_string(gid_) +
             " --clear-groups -- env LC_ALL=C ";
    }
    return "runuser -u " + QuoteForShell(user_) + " -- env LC_ALL=C ";
  }

 private:
  std::string user_ = "nobody";
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::string path_;
};

// The test program's one server of a kind, started on first use and stopped
// when the program ends.
template <class Server>
struct SharedServer {
  bool installed = false;
  Server* server = nullptr;  // nullptr: not installed, or it failed to start
  std::string why;
};

}  // namespace tabdump::testing

// Declares `server`, the shared server that `shared()` gives; skips the test
// (fails it in CI) when the server is not installed, and fails it when the
// server does not start.
#define TABDUMP_NEED_SERVER(Type, shared, title, server)                  \
  Type* server = nullptr;                                                 \
  do {                                                                    \
    const auto& shared_server = shared();                                 \
    if (!shared_server.installed) TABDUMP_MISSING_TOOL(shared_server.why); \
    ASSERT_NE(shared_server.server, nullptr) << title ": " << shared_server.why; \
    server = shared_server.server;                                        \
  } while (0)
