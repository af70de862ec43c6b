#include "runtime/console.h"

#include <cstdio>
#include <new>

#include "runtime/exceptions.h"
#include "runtime/file_names.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tabdump {

namespace {

bool messages_to_stderr = false;

// Bytes unchanged: Windows would turn LF into CR LF on a stream in text mode.
void WriteUnchanged(std::FILE* stream, std::string_view text) {
#if defined(_WIN32)
  _setmode(_fileno(stream), _O_BINARY);
#endif
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void WriteStdout(std::string_view text) { WriteUnchanged(stdout, text); }
void WriteStderr(std::string_view text) { WriteUnchanged(stderr, text); }

void SendMessagesToStderr(bool to_stderr) { messages_to_stderr = to_stderr; }

void WriteMessage(std::string_view text) {
  if (messages_to_stderr) {
    WriteStderr(text);
  } else {
    WriteStdout(text);
  }
}

bool StderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string ProgramPath() {
#if defined(_WIN32)
  // As UTF-8, like every name; the buffer grows until the whole path fits
  // (a path may be longer than MAX_PATH).
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return "TABDUMP.EXE";
    if (n < buffer.size()) return Utf8FromWide(std::wstring_view(buffer.data(), n));
    if (buffer.size() >= 32768) return Utf8FromWide(buffer);
    buffer.resize(buffer.size() * 2);
  }
#else
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string("tabdump");
#endif
}

std::string ExtractFileName(const std::string& path) {
  const auto cut = path.find_last_of(kPathSeparators);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ChangeFileExtension(const std::string& path, const std::string& extension) {
  const std::size_t folder_end = path.find_last_of(kPathSeparators);
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos && (folder_end == std::string::npos || dot > folder_end)) {
    return path.substr(0, dot) + extension;
  }
  return path + extension;
}

std::string FormatExceptionReport(const std::exception& error, const std::string& module) {
  const char* class_name = "Exception";
  unsigned long address = 0x00400000;
  if (auto* own = dynamic_cast<const Exception*>(&error)) {
    class_name = own->ClassName();
    address = static_cast<unsigned long>(own->RaiseAddress() & 0xFFFFFFFFu);
  } else if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
    class_name = "EOutOfMemory";
  }
  std::string message = error.what();
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) message = "Out of memory";
  char head[64];
  std::snprintf(head, sizeof head, " at %08lX.", address);
  std::string report = "Exception ";
  report += class_name;
  report += " in module ";
  report += module;
  report += head;
  report += kMessageLineEnd;
  report += message;
  if (message.empty() || message.back() != '.') report += '.';
  report += kMessageLineEnd;
  return report;
}

}  // namespace tabdump
