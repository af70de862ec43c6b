// run_command_line: a Windows helper for the Wine test suite.
//
//   run_command_line.exe <program> <file> [<file to hold open>]
//
// Starts <program> with the bytes of <file> as its whole command line, exactly
// as a batch file or a scheduled job would hand it over (a shell or Wine's own
// loader would re-quote the parameters), waits for it and exits with its exit
// status; the program writes to this helper's standard output.  With a third
// parameter, that file is held open for reading and writing, with reading and
// writing shared, while the program runs, as a database engine holds its
// tables.  Exit status 120 to 123: the helper itself failed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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
  line.push_back('\0');

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
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(argv[1], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
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
