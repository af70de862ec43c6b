// The console and the process: messages on standard output, the program's
// own file name, and the report of an error that ends the run.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace tabdump {

// Writes bytes to standard output unchanged (binary mode on every platform).
void WriteStdout(std::string_view text);

// The full path of the program's executable file, as the platform reports it.
std::string ProgramPath();
// The part of a path after its last directory separator (backslash, colon, and
// on POSIX also slash).
std::string ExtractFileName(const std::string& path);

// "Exception <class> in module <program> at <address>.\n<message>[.]" followed
// by a line end: the report of an error that ends the run.
std::string FormatExceptionReport(const std::exception& error, const std::string& module);

}  // namespace tabdump
