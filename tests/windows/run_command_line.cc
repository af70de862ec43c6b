// run_command_line: a Windows helper for the Wine test suite.
//
//   run_command_line.exe <program> <file> [<file to hold open>]
//
// Starts <program> with the bytes of <file> as its whole command line, exactly
// as a batch file or a scheduled job would hand it over (a shell or Wine's own
// loader would re-quote the parameters), waits for it and exits with its exit
// status; the program writes to this helper's standard output and error.  The
// bytes are in the ANSI code page; a file that starts with the UTF-8
// byte-order mark holds UTF-8 instead, and the command line then goes to the
// program as Unicode whole, as from a Unicode shell, whatever the ANSI code
// page can hold.  With a third
// parameter, that file is held open for reading and writing, with reading and
// writing shared, while the program runs, as a database engine holds its
// tables.  Exit status 120 to 123: the helper itself failed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

// A zero-terminated text in UTF-16; empty when it is not valid in `code_page`.
std::vector<wchar_t> Wide(UINT code_page, const char* text) {
  const DWORD flags = code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  const int size = MultiByteToWideChar(code_page, flags, text, -1, nullptr, 0);
  if (size <= 0) return {};
  std::vector<wchar_t> wide(static_cast<std::size_t>(size));
  MultiByteToWideChar(code_page, flags, text, -1, wide.data(), size);
  return wide;
}

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: run_command_line <program> <command line file> [<file to hold open>]\n");
    return 120;
  }
  std::FILE* in = std::fopen(argv[2], "rb");
  if (in == nullptr) return 121;
  std::vector<char> line;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) line.insert(line.end(), buffer, buffer + n);
  std::fclose(in);
  const bool utf8 = line.size() >= 3 && line[0] == '\xEF' && line[1] == '\xBB' && line[2] == '\xBF';
  if (utf8) line.erase(line.begin(), line.begin() + 3);
  line.push_back('\0');
  std::vector<wchar_t> wide_line = utf8 ? Wide(CP_UTF8, line.data()) : std::vector<wchar_t>();
  const std::vector<wchar_t> wide_program = Wide(CP_ACP, argv[1]);
  if (utf8 && (wide_line.empty() || wide_program.empty())) return 121;

  HANDLE held = INVALID_HANDLE_VALUE;
  if (argc == 4) {
    held = CreateFileA(argv[3], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 122;
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  STARTUPINFOW wide_startup{};
  wide_startup.cb = sizeof wide_startup;
  wide_startup.dwFlags = startup.dwFlags;
  wide_startup.hStdInput = startup.hStdInput;
  wide_startup.hStdOutput = startup.hStdOutput;
  wide_startup.hStdError = startup.hStdError;
  PROCESS_INFORMATION process{};
  const BOOL started = utf8 ? CreateProcessW(wide_program.data(), wide_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                             nullptr, &wide_startup, &process)
                            : CreateProcessA(argv[1], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                             &startup, &process);
  if (!started) {
    std::fprintf(stderr, "run_command_line: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 123;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 123;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  return static_cast<int>(status);
}
