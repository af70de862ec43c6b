// File names as the program holds them — UTF-8 texts on every system — and
// what it asks of the file system about them: the path to hand to the
// system's own calls, and a file's identity, which tells two names of one
// file apart from two files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabdump {

// The path of a UTF-8 file name, for std::filesystem and the system's calls.
// On Windows the name becomes UTF-16, so that names outside the ANSI code
// page reach the file system whole, and a name whose full path is too long
// for the plain file functions becomes an absolute "\\?\" path (a name
// that has that prefix already stays as it is).
std::filesystem::path SystemPath(const std::string& utf8_name);

// A path from the file system as a UTF-8 file name.
std::string Utf8Name(const std::filesystem::path& path);

// The names (UTF-8, without the folder) of the files in a folder, those of
// folders left out, in the order the system gives them; nullopt when the
// folder cannot be read.  On Windows the system's own listing, since the C
// library's reads no folder whose path is longer than MAX_PATH.
std::optional<std::vector<std::string>> FilesInFolder(const std::string& folder);

#if defined(_WIN32)
// UTF-8 to UTF-16 and back, for the system's calls and what they return.
// Bytes that are no UTF-8, and lone surrogates, become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
#endif

// What tells one file from every other while it exists: the device and
// inode on POSIX systems, the volume serial number and file index on
// Windows.  Two names with the same identity are one file, whatever their
// spelling, links or letter case.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// `name` in `folder`, both UTF-8, joined as the system joins them: with the
// system's separator between them unless the folder ends in one already
// (or is empty).  A text join, so that the name stays as it was typed
// rather than as SystemPath hands it to the system.
std::string PathInFolder(const std::string& folder, const std::string& name);

// A UTF-8 name with its capital letters made small, for comparing names as
// the file systems that ignore letter case do (Windows, a USB stick, a
// network share) and as databases compare column names: ASCII, the Latin-1
// and Latin Extended-A letters, Greek and Cyrillic.  Bytes that are not
// UTF-8 stay as they are.
std::string FoldedName(std::string_view utf8_name);

// The names of the files (not folders) in `folder` that equal `name` when
// both are folded; empty when the folder cannot be read.
std::vector<std::string> FilesNamedIgnoringCase(const std::string& folder, std::string_view name);

// The identity of the file (or folder) of that name; nullopt when there is
// none or it cannot be asked.
std::optional<FileIdentity> IdentityOf(const std::string& name);

}  // namespace tabdump
