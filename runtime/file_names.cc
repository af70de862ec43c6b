#include "runtime/file_names.h"

#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tabdump {

#if defined(_WIN32)

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  // Bytes that are no UTF-8 become U+FFFD rather than ending the run.
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  // A lone surrogate, which Windows names may hold, becomes U+FFFD.
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

namespace {

// The longest full path that every file function takes as it is: MAX_PATH
// counts the terminating zero, and a folder must leave room for a name of
// 8.3 characters inside it.
constexpr std::size_t kLongestPlainPath = MAX_PATH - 12 - 1;

bool HasLongPathPrefix(std::wstring_view name) {
  return name.starts_with(L"\\\\?\\") || name.starts_with(L"\\\\.\\");
}

// A name too long for the plain file functions, made absolute and given the
// "\\?\" prefix, under which the system takes up to 32767 characters but no
// longer turns "/" into "\" or resolves "." and ".."; GetFullPathNameW does
// both first, as the system would have done.  Shorter names stay as they
// are.
std::wstring LongPathReady(std::wstring name) {
  if (name.empty() || HasLongPathPrefix(name)) return name;
  const DWORD needed = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return name;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return name;
  full.resize(length);
  if (full.size() <= kLongestPlainPath || HasLongPathPrefix(full)) return name;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
  return L"\\\\?\\" + full;
}

}  // namespace

#endif

std::filesystem::path SystemPath(const std::string& utf8_name) {
#if defined(_WIN32)
  return std::filesystem::path(LongPathReady(WideFromUtf8(utf8_name)));
#else
  return std::filesystem::path(utf8_name);
#endif
}

std::string Utf8Name(const std::filesystem::path& path) {
#if defined(_WIN32)
  return Utf8FromWide(path.native());
#else
  return path.string();
#endif
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
#if defined(_WIN32)
  constexpr std::string_view kEnds = "/\\:";
  constexpr char kSeparator = '\\';
#else
  constexpr std::string_view kEnds = "/";
  constexpr char kSeparator = '/';
#endif
  if (folder.empty()) return name;
  if (kEnds.find(folder.back()) != std::string_view::npos) return folder + name;
  return folder + kSeparator + name;
}

std::optional<std::vector<std::string>> FilesInFolder(const std::string& folder) {
  std::vector<std::string> names;
#if defined(_WIN32)
  std::wstring pattern = SystemPath(folder).native();
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':') {
    pattern += L'\\';
  }
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty folder still has "." and ".."; a drive's root may have
    // nothing at all.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;
    return std::nullopt;
  }
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(Utf8FromWide(found.cFileName));
  } while (FindNextFileW(search, &found));
  const DWORD stopped = GetLastError();
  FindClose(search);
  if (stopped != ERROR_NO_MORE_FILES) return std::nullopt;
#else
  std::error_code error;
  std::filesystem::directory_iterator entry(folder.empty() ? std::string(".") : folder, error);
  for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    std::error_code kind_error;
    if (entry->is_regular_file(kind_error)) names.push_back(entry->path().filename().string());
  }
  if (error) return std::nullopt;
#endif
  return names;
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
  for (std::string& found : FilesInFolder(folder).value_or(std::vector<std::string>())) {
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
