#include "app/settings/command_line.h"

#include <algorithm>

#include "runtime/console.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tabdump {
namespace {

bool IsSeparator(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

bool AtEnd(std::string_view text, std::size_t i) { return i >= text.size() || text[i] == '\0'; }

// The length in bytes of the character at `i`: in a multi-byte code page
// (Shift-JIS, GBK...) a trail byte may look like a backslash or a double
// quote, so the text is stepped over by whole characters as the system's
// ANSI code page sees them.
std::size_t CharLength(std::string_view text, std::size_t i, CommandLineText kind) {
  if (kind == CommandLineText::kUtf8) return 1;
#if defined(_WIN32)
  // CharNextA reads up to the text's terminating zero, which the command line
  // has; a view that ends earlier is not read past its end.
  if (i + 1 >= text.size()) return 1;
  const char* here = text.data() + i;
  const std::size_t step = static_cast<std::size_t>(CharNextA(here) - here);
  return step == 0 ? 1 : std::min(step, text.size() - i);
#else
  // The shell has split the parameters already; a text given to the splitter
  // is read byte by byte.
  (void)text;
  (void)i;
  return 1;
#endif
}

}  // namespace

bool CmdLineNextParam(std::string_view text, std::size_t& cursor, std::string* buffer, std::size_t* length,
                      CommandLineText kind) {
  if (length != nullptr) *length = 0;
  while (!AtEnd(text, cursor) && IsSeparator(text[cursor])) ++cursor;
  if (AtEnd(text, cursor)) return false;
  std::size_t emitted = 0;
  auto emit = [&](std::string_view chars) {
    if (buffer != nullptr) buffer->append(chars);
    emitted += chars.size();
  };
  bool quoted = false;
  while (!AtEnd(text, cursor)) {
    const char c = text[cursor];
    if (c == '\\') {
      std::size_t run = 0;
      while (!AtEnd(text, cursor + run) && text[cursor + run] == '\\') ++run;
      cursor += run;
      if (!AtEnd(text, cursor) && text[cursor] == '"') {
        emit(std::string(run / 2, '\\'));
        if (run % 2 == 1) {
          emit("\"");
          ++cursor;
        }
      } else {
        emit(std::string(run, '\\'));
      }
    } else if (c == '"') {
      quoted = !quoted;
      ++cursor;
    } else if (IsSeparator(c) && !quoted) {
      break;
    } else {
      const std::size_t n = CharLength(text, cursor, kind);
      emit(text.substr(cursor, n));
      cursor += n;
    }
  }
  if (length != nullptr) *length = emitted;
  return true;
}

int CmdLineParamCount(std::string_view text) {
  std::size_t cursor = 0;
  if (!CmdLineNextParam(text, cursor)) return 0;
  int count = 0;
  while (CmdLineNextParam(text, cursor)) ++count;
  return count;
}

std::string CmdLineParamStr(std::string_view text, int n) {
  if (n <= 0) return ProgramPath();
  std::size_t cursor = 0;
  for (int i = 0; i < n; ++i) {
    if (!CmdLineNextParam(text, cursor)) return {};
  }
  std::size_t length = 0;
  std::size_t measure = cursor;
  if (!CmdLineNextParam(text, measure, nullptr, &length)) return {};
  std::string param;
  param.reserve(length);
  CmdLineNextParam(text, cursor, &param);
  return param;
}

std::vector<std::string> SplitCommandLine(std::string_view text, CommandLineText kind) {
  std::vector<std::string> params;
  std::size_t cursor = 0;
  if (!CmdLineNextParam(text, cursor, nullptr, nullptr, kind)) return params;
  std::string param;
  while (CmdLineNextParam(text, cursor, &(param = std::string()), nullptr, kind)) params.push_back(param);
  return params;
}

std::optional<std::string> QuoteInFileNameMessage(const std::vector<std::string>& params) {
  for (std::size_t i = 0; i < params.size() && i < 2; ++i) {
    const std::size_t quote = params[i].find('"');
    if (quote == std::string::npos) continue;
    // What was meant ends where the escaped quote stands.
    const std::string meant = params[i].substr(0, quote);
    std::string message = std::string(i == 0 ? "The source" : "The target") +
                          " holds a double quote, which no Windows file name can: " + params[i];
    message += kMessageLineEnd;
    message += "A backslash right before a closing quote makes the quote part of the name: leave out the last "
               "backslash or double it, as in \"" + meant + "\" or \"" + meant + "\\\\\".";
    message += kMessageLineEnd;
    return message;
  }
  return std::nullopt;
}

}  // namespace tabdump
