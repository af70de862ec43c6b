// Runs a shell command for the tests that drive outside programs (database
// servers and their clients): exit status, standard output and standard
// error, each command bounded in time.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tabdump::testing {

struct CommandResult {
  int status = -1;  // exit status; -1 when the command did not exit by itself
  std::string output;
  std::string errors;
};

// The text as one shell word.
inline std::string QuoteForShell(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The first of these names that is an executable file, or a program of that
// name on PATH; "" when there is none.
inline std::string FindProgram(const std::string& name) {
  const std::string found = [&] {
    FILE* pipe = popen(("command -v " + QuoteForShell(name) + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return std::string();
    std::string text;
    char buffer[512];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }();
  return (!found.empty() && access(found.c_str(), X_OK) == 0) ? found : std::string();
}

// Runs `command` through /bin/sh with at most `seconds` of time (through
// coreutils' timeout when there is one), standard input from /dev/null.
inline CommandResult RunCommand(const std::string& command, int seconds = 120) {
  // Never destroyed: destructors of static servers run commands at exit.
  static const std::string& timeout = *new std::string(FindProgram("timeout"));
  char errors_path[] = "/tmp/tabdump-stderr-XXXXXX";
  const int fd = mkstemp(errors_path);
  if (fd < 0) return {-1, "", "mkstemp failed"};
  close(fd);
  std::string full = "( " + command + " ) </dev/null 2>" + QuoteForShell(errors_path);
  if (!timeout.empty()) {
    full = QuoteForShell(timeout) + " -k 5 " + std::to_string(seconds) + " sh -c " + QuoteForShell(full);
  }
  CommandResult result;
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) {
    unlink(errors_path);
    return {-1, "", "popen failed"};
  }
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errors_path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  result.errors = text.str();
  unlink(errors_path);
  return result;
}

// Whether this is a CI run (CI=true), where a missing tool is an error.
inline bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

}  // namespace tabdump::testing

// A tool the test needs is not installed: the test is skipped with `why`, but
// fails in CI, which installs every tool (scripts/install_packages.sh test).
#define TABDUMP_MISSING_TOOL(why)                                                                    \
  do {                                                                                               \
    if (::tabdump::testing::InCi()) {                                                                \
      FAIL() << (why) << " — CI=true, so this is an error: scripts/install_packages.sh test installs it"; \
    }                                                                                                \
    GTEST_SKIP() << (why) << " (scripts/install_packages.sh test installs it)";                      \
  } while (0)
