// The converter run as a separate process, for end-to-end tests.  The same
// tests run against the native tabdump (under ctest) and, in the build made by
// tests/windows/run_wine_tests.sh, against TABDUMP.EXE under Wine: this header
// hides what differs between the two — how the program is started, how it
// spells paths, how its messages end their lines and what module name its
// error report gives.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "tests/support/shell_command.h"
#include "tests/support/table_writer.h"

namespace tabdump::testing {

struct RunResult {
  int status;
  std::string output;  // standard output
  std::string target;  // the target file, or "<none>"
  std::string errors;  // standard error (runs through EndToEnd::Run)
};

inline std::string ShellQuote(const std::string& arg) { return QuoteForShell(arg); }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<none>";
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// Runs a shell command and returns its exit status and standard output.
inline RunResult RunShell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "popen failed", "<none>", ""};
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output, "<none>", ""};
}

#if defined(TABDUMP_UNDER_WINE)

// Set by run_wine_tests.sh: the Wine loader, the Windows program, and the
// Windows helper that starts a program with a command line given as one text.
inline std::string WineEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set: run tests/windows/run_wine_tests.sh";
    return "/nonexistent";
  }
  return value;
}

inline constexpr bool kUnderWine = true;
// Windows console programs end message lines with CR LF.
inline const std::string kLineEnd = "\r\n";
inline const std::string kModule = "TABDUMP.EXE";

// A native absolute path as a Windows program under Wine names it: drive Z:
// is the root of the file system, and the separators are backslashes.
inline std::string PathForProgram(const std::filesystem::path& path) {
  std::string text = "Z:" + std::filesystem::absolute(path).string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

// The start of a command that runs the program.  Wine builds the Windows
// command line from the arguments after it, quoting where needed.
inline std::string ProgramCommand() {
  return ShellQuote(WineEnv("TABDUMP_WINE")) + " " + ShellQuote(WineEnv("TABDUMP_WINE_EXE"));
}

#else

inline constexpr bool kUnderWine = false;
inline const std::string kLineEnd = "\n";
inline const std::string kModule = "tabdump";

inline std::string PathForProgram(const std::filesystem::path& path) { return path.string(); }

inline std::string ProgramCommand() { return ShellQuote(TABDUMP_EXE); }

#endif

// Each test gets its own empty folder for its tables and target files.
class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(TABDUMP_TEST_TMP) / (kUnderWine ? "wine-e2e" : "e2e") /
           (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }

  // A file in the test's folder, as this process names it.
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // The same file as the program under test names it.
  std::string Arg(const std::string& name) const { return PathForProgram(dir_ / name); }

  std::string Write(const TableDef& def, const std::string& name = "t.dat") {
    WriteTable(def, Path(name));
    return Path(name);
  }

  // Runs the program with these parameters (paths already in the program's
  // form) in the C locale; `env` holds shell assignments that come after that
  // default.  The target read back is `target_name` in the test's folder;
  // standard error is kept apart from standard output.
  RunResult Run(const std::vector<std::string>& args, const std::string& target_name = "out.txt",
                const std::string& env = "") {
    std::string command = "LC_ALL=C " + (env.empty() ? "" : env + " ") + ProgramCommand();
    for (const auto& arg : args) command += " " + ShellQuote(arg);
    command += ThreadsSwitch(args);
    command += " 2>" + ShellQuote(Path("stderr.txt"));
    RunResult result = RunShell(command);
    result.target = ReadFile(Path(target_name));
    result.errors = ReadFile(Path("stderr.txt"));
    return result;
  }

  // The whole suite runs once more with TABDUMP_TEST_THREADS=N, every
  // conversion with /threads=N added (after the source and the target; not
  // where a test gives its own).
  static std::string ThreadsSwitch(const std::vector<std::string>& args) {
    const char* threads = std::getenv("TABDUMP_TEST_THREADS");
    if (threads == nullptr || *threads == '\0' || args.size() < 2) return "";
    for (const auto& arg : args) {
      if (arg.rfind("/threads=", 0) == 0) return "";
    }
    return " " + ShellQuote(std::string("/threads=") + threads);
  }

  // Converts the table into out.txt with these switches.
  RunResult Convert(const TableDef& def, std::vector<std::string> switches, const std::string& env = "") {
    Write(def);
    std::vector<std::string> args{Arg("t.dat"), Arg("out.txt")};
    args.insert(args.end(), switches.begin(), switches.end());
    return Run(args, "out.txt", env);
  }

  // Converts the table into t.sql with /sql=dialect and these switches.
  RunResult ToSql(const TableDef& def, const std::string& dialect, std::vector<std::string> switches = {}) {
    Write(def);
    std::vector<std::string> args{Arg("t.dat"), Arg("t.sql"), "/sql=" + dialect};
    args.insert(args.end(), switches.begin(), switches.end());
    return Run(args, "t.sql");
  }

  // Runs a shell command (a reader of the output: python3, jq) in the test's
  // folder: its status and what it printed, standard error included.
  RunResult InFolder(const std::string& command) {
    return RunShell("cd " + ShellQuote(dir_.string()) + " && " + command + " 2>&1");
  }

  // The first line of the error report, up to the address.
  static std::string ReportHead(const std::string& exception_class) {
    return "Exception " + exception_class + " in module " + kModule + " at ";
  }

  std::filesystem::path dir_;
};

// Id (Integer) and Name (String) with the record 7, Bob.
inline TableDef IdName() {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}};
  t.records = {{0, {Value::Int32(7), Value::Str("Bob")}}};
  return t;
}

// A table with several kinds of field, a null, a deleted record and a memo.
inline TableDef Mixed() {
  TableDef t;
  t.fields = {{"Id", kInteger},        {"Name", kString, 0, 12},    {"Amount", kFloat},
              {"Price", kFloat, kSubCurrency}, {"Born", kDate},      {"Seen", kTimeStamp},
              {"Active", kBoolean},    {"Notes", kBlob, kSubMemo},  {"Qty", kShortInt}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("O'Hara"), Value::Float(12.5), Value::Float(3), Value::Date(DayNumber(2020, 12, 31)),
           Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 9 * 3600000LL + 30 * 60000)), Value::Bool(true),
           Value::Blob("first line\r\nsecond"), Value::Int16(-3)}},
      {1, {Value::Int32(99), Value::Str("deleted"), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
           Value::Null(), Value::Null(), Value::Null()}},
      {0, {Value::Int32(2), Value::Null(), Value::Float(-0.25), Value::Null(), Value::Null(), Value::Null(),
           Value::Bool(false), Value::Null(), Value::Int16(7)}},
  };
  return t;
}

}  // namespace tabdump::testing
