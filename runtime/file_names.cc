#include "runtime/file_names.h"

#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tabdump {

std::filesystem::path SystemPath(const std::string& utf8_name) {
#if defined(_WIN32)
  return std::filesystem::path(std::u8string(utf8_name.begin(), utf8_name.end()));
#else
  return std::filesystem::path(utf8_name);
#endif
}

std::string Utf8Name(const std::filesystem::path& path) {
#if defined(_WIN32)
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
#else
  return path.string();
#endif
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
  return Utf8Name(SystemPath(folder) / SystemPath(name));
}

namespace {

// The small letter of a capital one in the alphabets FoldedName covers.
char32_t SmallLetter(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F)) {
    return c + 0x20;
  }
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  // Latin Extended-A pairs its letters capital-small, on even code points
  // from U+0100 and on odd ones from U+0139 to U+0148 and U+0179 on.
  if ((c >= 0x100 && c <= 0x137 && c % 2 == 0) || (c >= 0x139 && c <= 0x148 && c % 2 == 1) ||
      (c >= 0x14A && c <= 0x177 && c % 2 == 0) || (c >= 0x179 && c <= 0x17E && c % 2 == 1)) {
    return c + 1;
  }
  if (c == 0x178) return 0xFF;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::string FoldedName(std::string_view utf8_name) {
  std::string folded;
  folded.reserve(utf8_name.size());
  for (std::size_t i = 0; i < utf8_name.size();) {
    const auto lead = static_cast<unsigned char>(utf8_name[i]);
    // Only the two-byte sequences hold letters that fold; every other byte
    // (longer sequences, stray bytes) is copied as it is.
    if (lead >= 0xC2 && lead <= 0xDF && i + 1 < utf8_name.size() &&
        IsContinuation(static_cast<unsigned char>(utf8_name[i + 1]))) {
      const char32_t c = (static_cast<char32_t>(lead & 0x1F) << 6) | (static_cast<unsigned char>(utf8_name[i + 1]) & 0x3F);
      AppendUtf8(folded, SmallLetter(c));
      i += 2;
      continue;
    }
    folded += lead < 0x80 ? static_cast<char>(SmallLetter(lead)) : static_cast<char>(lead);
    ++i;
  }
  return folded;
}

std::vector<std::string> FilesNamedIgnoringCase(const std::string& folder, std::string_view name) {
  std::vector<std::string> names;
  const std::string wanted = FoldedName(name);
  std::error_code error;
  std::filesystem::directory_iterator entry(SystemPath(folder.empty() ? std::string(".") : folder), error);
  for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    std::error_code kind_error;
    if (!entry->is_regular_file(kind_error)) continue;
    std::string found = Utf8Name(entry->path().filename());
    if (FoldedName(found) == wanted) names.push_back(std::move(found));
  }
  return names;
}

std::optional<FileIdentity> IdentityOf(const std::string& name) {
#if defined(_WIN32)
  // Asking needs a handle; no access rights are wanted, and backup
  // semantics let a folder be opened too.
  const HANDLE handle = CreateFileW(SystemPath(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const BOOL known = GetFileInformationByHandle(handle, &info);
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
  struct stat st;
  if (::stat(name.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
#endif
}

}  // namespace tabdump
