// TABDUMP: converts one DBISAM table into a text file.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/settings/command_line.h"
#include "app/driver/export_table.h"
#include "app/settings/run_settings.h"
#include "app/driver/table_folder.h"
#include "app/driver/table_info.h"
#include "runtime/ascii_case.h"
#include "runtime/exceptions.h"
#include "runtime/console.h"
#include "runtime/file_names.h"
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

#if defined(_WIN32)
// Whether the parameters name the tables' code page, as ParseSwitches reads
// them: the last /codepage= counts, and an empty one names none.
bool NamesCodePage(const std::vector<std::string>& params) {
  bool named = false;
  for (const std::string& param : params) {
    if (UpperAscii(param.substr(0, 10)) == "/CODEPAGE=") named = param.size() > 10;
  }
  return named;
}

// A typed text in the system's ANSI code page, as the ANSI command line
// would have it.
std::string InAnsiCodePage(const std::string& utf8) {
  const std::wstring wide = WideFromUtf8(utf8);
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), length, ansi.data(), size, nullptr, nullptr);
  return ansi;
}
#endif

// The parameters after the program's name.  Windows hands a program its
// command line as one text, which it splits itself; elsewhere the shell has
// split it already.
//
// On Windows the line is the Unicode one, as UTF-8, so that the file names
// (the first two parameters) reach the file system whole whatever the
// system's code page.  The texts of the switches (filter, field list,
// delimiter, qualifier) are compared with the table's bytes or written among
// them: without /codepage the tables hold the ANSI code page's bytes, so
// those texts are taken in that code page, as the ANSI command line has
// them; with /codepage they stay UTF-8, as the run converts the table's
// texts to UTF-8 and the typed ones into the table's code page.  Each
// parameter is converted on its own after the split: the ANSI line, split
// itself, could split elsewhere where a character's best fit is a quote.
std::vector<std::string> Parameters(int argc, char** argv) {
#if defined(_WIN32)
  (void)argc;
  (void)argv;
  std::vector<std::string> params = SplitCommandLine(Utf8FromWide(GetCommandLineW()), CommandLineText::kUtf8);
  if (!NamesCodePage(params)) {
    for (std::size_t i = 2; i < params.size(); ++i) params[i] = InAnsiCodePage(params[i]);
  }
  return params;
#else
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
}

bool IsFolder(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_directory(SystemPath(name), error);
}

int Run(int argc, char** argv) {
  SetSettings(PlatformSettings());
  const std::vector<std::string> params = Parameters(argc, argv);
#if defined(_WIN32)
  if (const std::optional<std::string> message = QuoteInFileNameMessage(params)) {
    WriteMessage(*message);
    return 1;
  }
#endif
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
  if (settings.Info) {
    if (const std::optional<int> status = DescribeTables(settings)) return *status;
    WriteMessage(std::string(kTableNotFound).append(kMessageLineEnd));
    return 1;
  }
  if (IsFolder(settings.SourceFile)) return ConvertFolder(settings);
  if (ExportTable(settings)) return 0;
  WriteMessage(std::string(kTableNotFound).append(kMessageLineEnd));
  return 1;
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
