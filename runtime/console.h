// The console and the process: messages on standard output, the program's
// own file name, and the report of an error that ends the run.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace tabdump {

// The end of every line of a message on standard output (the usage text, the
// notices, the error report): Windows console programs end their lines with
// CR LF, programs elsewhere with LF.  Standard output is binary, so this is
// exactly what reaches the console or a redirected file.
#if defined(_WIN32)
inline constexpr std::string_view kMessageLineEnd = "\r\n";
#else
inline constexpr std::string_view kMessageLineEnd = "\n";
#endif

// Writes bytes to standard output unchanged (binary mode on every platform).
void WriteStdout(std::string_view text);
// The program's messages (a missing table, the error report) go to standard
// output, or to standard error while the data goes to standard output, so
// that a pipe carries data only.
void SendMessagesToStderr(bool to_stderr);
void WriteMessage(std::string_view text);
// The same for standard error: warnings and the run summary.
void WriteStderr(std::string_view text);
// Whether standard error goes to a terminal (a console window on Windows).
bool StderrIsTerminal();

// The full path of the program's executable file, as the platform reports it.
std::string ProgramPath();
// The characters that end a folder in a path: slash, backslash and the colon
// of a drive, on every platform (Windows takes a slash as well as a
// backslash).
inline constexpr const char* kPathSeparators = "/\\:";
// The part of a path after its last directory separator.
std::string ExtractFileName(const std::string& path);
// The path with its extension (from the last dot of the file name on)
// replaced by `extension`, or `extension` appended when it has none.
std::string ChangeFileExtension(const std::string& path, const std::string& extension);

// "Exception <class> in module <program> at <address>." and "<message>[.]",
// each followed by kMessageLineEnd: the report of an error that ends the run.
std::string FormatExceptionReport(const std::exception& error, const std::string& module);

}  // namespace tabdump
