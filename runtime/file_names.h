// File names as the program holds them — UTF-8 texts on every system — and
// what it asks of the file system about them: the path to hand to the
// system's own calls, and a file's identity, which tells two names of one
// file apart from two files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tabdump {

// The path of a UTF-8 file name, for std::filesystem and the system's calls.
// On Windows the name becomes UTF-16, so that names outside the ANSI code
// page reach the file system whole.
std::filesystem::path SystemPath(const std::string& utf8_name);

// A path from the file system as a UTF-8 file name.
std::string Utf8Name(const std::filesystem::path& path);

// What tells one file from every other while it exists: the device and
// inode on POSIX systems, the volume serial number and file index on
// Windows.  Two names with the same identity are one file, whatever their
// spelling, links or letter case.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file (or folder) of that name; nullopt when there is
// none or it cannot be asked.
std::optional<FileIdentity> IdentityOf(const std::string& name);

}  // namespace tabdump
