// TABDUMP: converts one DBISAM table into a text file.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/command_line.h"
#include "app/export_table.h"
#include "app/run_settings.h"
#include "app/table_folder.h"
#include "runtime/exceptions.h"
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

#if defined(_WIN32)
// With /codepage, the texts typed into the filter and the field list are
// taken from the Unicode command line, as UTF-8: the ANSI one has already
// lost what the system's code page cannot hold.
void TakeTypedTextsFromUnicodeCommandLine(RunSettings& settings) {
  const wchar_t* wide = GetCommandLineW();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return;
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(size - 1));
  const RunSettings typed = ParseSwitches(SplitCommandLine(utf8, CommandLineText::kUtf8));
  settings.FilterText = typed.FilterText;
  settings.FieldList = typed.FieldList;
}
#endif

bool IsFolder(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_directory(name, error);
}

int Run(int argc, char** argv) {
  SetSettings(PlatformSettings());
  const std::vector<std::string> params = Parameters(argc, argv);
  if (params.size() < 2) {
    WriteStdout(UsageText());
    return 0;
  }
  if (params[1] == kStandardOutputName) {
    // The data goes to standard output, so the messages go to standard error;
    // a reader that closes the pipe early is told apart from a failed write.
    SendMessagesToStderr(true);
#if !defined(_WIN32)
    std::signal(SIGPIPE, SIG_IGN);
#endif
  }
  RunSettings settings = ParseSwitches(params);
#if defined(_WIN32)
  if (!settings.CodePage.empty()) TakeTypedTextsFromUnicodeCommandLine(settings);
#endif
  if (IsFolder(settings.SourceFile)) return ConvertFolder(settings);
  TA sink;
  sink.FilterText = settings.FilterText;
  return ExportTable(sink, settings) ? 0 : 1;
}

}  // namespace
}  // namespace tabdump

int main(int argc, char** argv) {
  try {
    return tabdump::Run(argc, argv);
  } catch (const tabdump::EBrokenPipe&) {
    return 1;  // the reader of the output wanted no more: nothing to report
  } catch (const std::exception& error) {
    std::fflush(stdout);
    tabdump::WriteMessage(tabdump::FormatExceptionReport(error, tabdump::ExtractFileName(tabdump::ProgramPath())));
    return 1;
  }
}
