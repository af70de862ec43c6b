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

// The full path of the program's executable file, as the platform reports it.
std::string ProgramPath();
// The part of a path after its last directory separator (backslash, colon, and
// on POSIX also slash).
std::string ExtractFileName(const std::string& path);

// "Exception <class> in module <program> at <address>." and "<message>[.]",
// each followed by kMessageLineEnd: the report of an error that ends the run.
std::string FormatExceptionReport(const std::exception& error, const std::string& module);

}  // namespace tabdump
