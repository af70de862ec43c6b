// Splits a command line given as one text into parameters, by the rules that
// Windows programs follow: blanks and control characters separate, double
// quotes group, and backslashes escape a double quote only when they stand
// right before one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabdump {

// How the characters of a command line are stepped over: by the system's
// ANSI code page (whose trail bytes may look like a quote), or as UTF-8
// (whose bytes above 127 are never a quote, a backslash or a separator).
enum class CommandLineText : std::uint8_t { kAnsi, kUtf8 };

// Reads one parameter starting at `cursor` (an index into `text`), skipping
// the separators before it, and leaves the cursor on the character that ended
// it.  Appends the parameter's characters to `buffer` and sets `length` to
// their number when those are given.  False, with nothing read, when only
// separators remain.
bool CmdLineNextParam(std::string_view text, std::size_t& cursor, std::string* buffer = nullptr,
                      std::size_t* length = nullptr, CommandLineText kind = CommandLineText::kAnsi);
// The number of parameters after parameter 0 (the program's name).
int CmdLineParamCount(std::string_view text);
// Parameter n (n >= 1); empty when there are fewer.  For n <= 0 the full path
// of the program's executable file.
std::string CmdLineParamStr(std::string_view text, int n);

// All parameters after the program's name.
std::vector<std::string> SplitCommandLine(std::string_view text, CommandLineText kind = CommandLineText::kAnsi);

// No Windows file name holds a double quote: one in the source or the target
// (the first two parameters) came from a backslash right before a closing
// quote, which escapes it.  cmd.exe's Tab completion types a folder with a
// space that way ("C:\My Data\"), and the rest of the line then joins the
// name.  The message that says so, shows what was received and how to type
// it; nullopt when neither parameter holds a quote.
std::optional<std::string> QuoteInFileNameMessage(const std::vector<std::string>& params);

}  // namespace tabdump
