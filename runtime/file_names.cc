#include "runtime/file_names.h"

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
