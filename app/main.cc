// TABDUMP: converts one DBISAM table into a text file.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/export_table.h"
#include "app/run_settings.h"
#include "runtime/console.h"
#include "runtime/format_settings.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tabdump {
namespace {

// The usage text, one line at a time; each line ends as messages do here.
std::string UsageText() {
  constexpr const char* kLines[] = {
      "TABDUMP version 2.6",
      "convert DBISAM tables into text files",
      "",
      "",
      "TABDUMP.EXE <source.dat> <target.txt> [/h] [/f] [/fixed] [/delimiter=<separator>] "
      "[/qualifier=<char>] [/recordseparator=<crlf|cr|lf|>] [/fields=<field1;field2;...>] "
      "[where=<filter>]",
  };
  std::string text;
  for (const char* line : kLines) {
    text += line;
    text += kMessageLineEnd;
  }
  return text;
}

// The parameters after the program's name.  Windows hands a program its
// command line as one text, which it splits itself; elsewhere the shell has
// split it already.
std::vector<std::string> Parameters(int argc, char** argv) {
#if defined(_WIN32)
  (void)argc;
  (void)argv;
  return SplitCommandLine(GetCommandLineA());
#else
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
}

int Run(int argc, char** argv) {
  SetSettings(PlatformSettings());
  const std::vector<std::string> params = Parameters(argc, argv);
  if (params.size() < 2) {
    WriteStdout(UsageText());
    return 0;
  }
  const RunSettings settings = ParseSwitches(params);
  TA sink;
  sink.FilterText = settings.FilterText;
  return ExportTable(sink, settings) ? 0 : 1;
}

}  // namespace
}  // namespace tabdump

int main(int argc, char** argv) {
  try {
    return tabdump::Run(argc, argv);
  } catch (const std::exception& error) {
    std::fflush(stdout);
    tabdump::WriteStdout(tabdump::FormatExceptionReport(error, tabdump::ExtractFileName(tabdump::ProgramPath())));
    return 1;
  }
}
