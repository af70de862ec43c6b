#include "runtime/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "runtime/exceptions.h"
#include "runtime/file_names.h"

#if defined(_WIN32)
#include <io.h>
#include <share.h>
#include <windows.h>
#define TABDUMP_READ _read
#define TABDUMP_WRITE _write
#define TABDUMP_CLOSE _close
#define TABDUMP_LSEEK _lseeki64
#else
#include <unistd.h>
#define TABDUMP_READ ::read
#define TABDUMP_WRITE ::write
#define TABDUMP_CLOSE ::close
#define TABDUMP_LSEEK ::lseek
#endif

namespace tabdump {
namespace {

constexpr std::size_t kBufferSize = 1 << 18;
// One system call moves at most this much, which every platform accepts.
constexpr std::size_t kMaxIo = 1 << 30;

int OpenFile(const std::string& name, FileStream::Mode mode) {
  if (mode == FileStream::Mode::kStandardOutput) {
#if defined(_WIN32)
    _setmode(1, _O_BINARY);
#endif
    return 1;
  }
#if defined(_WIN32)
  // The UTF-16 name: the ANSI functions would lose what the system's code
  // page cannot hold, and take no long paths.
  const std::filesystem::path path = SystemPath(name);
  int fd = -1;
  if (mode == FileStream::Mode::kOpenRead) {
    _wsopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO, 0);
  } else {
    _wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  }
  return fd;
#else
  int fd;
  do {
    fd = mode == FileStream::Mode::kOpenRead
             ? ::open(name.c_str(), O_RDONLY | O_CLOEXEC)
             : ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
#endif
}

// A write that moved nothing: the pipe's reader is gone, or the file cannot
// take more.  On Windows the C library reports a closed pipe as EINVAL (Wine)
// or EPIPE, and a full disk as ENOSPC.
[[noreturn]] void ThrowWriteFailure(bool standard_output) {
#if defined(_WIN32)
  const bool broken_pipe = standard_output && (errno == EPIPE || errno == EINVAL);
#else
  const bool broken_pipe = standard_output && errno == EPIPE;
#endif
  if (broken_pipe) throw EBrokenPipe("The reader of the output has closed it");
  throw EWriteError("Stream write error");
}

}  // namespace

FileStream::FileStream(const std::string& name, Mode mode)
    : name_(name), buffer_(kBufferSize), writing_(mode != Mode::kOpenRead), owns_fd_(mode != Mode::kStandardOutput) {
  fd_ = OpenFile(name, mode);
  if (fd_ < 0) {
    if (mode == Mode::kOpenRead) throw EFOpenError("Cannot open file " + name);
    throw EFCreateError("Cannot create file " + name);
  }
  if (!writing_) known_size_ = QuerySize();
}

FileStream::~FileStream() {
  try {
    Flush();
  } catch (...) {
    // The owner flushes before closing when it cares; nothing to report here.
  }
  if (fd_ >= 0 && owns_fd_) TABDUMP_CLOSE(fd_);
}

std::int64_t FileStream::QuerySize() {
#if defined(_WIN32)
  struct _stat64 st;
  if (_fstat64(fd_, &st) != 0) return known_size_;
#else
  struct stat st;
  if (::fstat(fd_, &st) != 0) return known_size_;
#endif
  return static_cast<std::int64_t>(st.st_size);
}

std::size_t FileStream::ReadFromFile(void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t chunk = std::min(count - done, kMaxIo);
    auto n = TABDUMP_READ(fd_, static_cast<char*>(buffer) + done, static_cast<unsigned>(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Stream read error");
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
  char* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    if (read_pos_ == read_len_) {
      buffer_start_ += static_cast<std::int64_t>(read_len_);
      read_pos_ = read_len_ = 0;
      if (count - done >= buffer_.size()) {  // large reads bypass the buffer
        const std::size_t n = ReadFromFile(out + done, count - done);
        buffer_start_ += static_cast<std::int64_t>(n);
        return done + n;
      }
      read_len_ = ReadFromFile(buffer_.data(), buffer_.size());
      if (read_len_ == 0) break;
    }
    const std::size_t n = std::min(count - done, read_len_ - read_pos_);
    std::memcpy(out + done, buffer_.data() + read_pos_, n);
    read_pos_ += n;
    done += n;
  }
  return done;
}

void FileStream::Write(const void* buffer, std::size_t count) {
  const char* in = static_cast<const char*>(buffer);
  if (write_len_ + count > buffer_.size()) {
    Flush();
    if (count >= buffer_.size()) {
      std::size_t done = 0;
      while (done < count) {
        const std::size_t chunk = std::min(count - done, kMaxIo);
        auto n = TABDUMP_WRITE(fd_, in + done, static_cast<unsigned>(chunk));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ThrowWriteFailure(!owns_fd_);
        done += static_cast<std::size_t>(n);
      }
      buffer_start_ += static_cast<std::int64_t>(count);
      return;
    }
  }
  std::memcpy(buffer_.data() + write_len_, in, count);
  write_len_ += count;
}

void FileStream::Flush() {
  if (!writing_ || write_len_ == 0) return;
  std::size_t done = 0;
  while (done < write_len_) {
    auto n = TABDUMP_WRITE(fd_, buffer_.data() + done, static_cast<unsigned>(write_len_ - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Keep what was not written out of the way of the destructor's retry.
      write_len_ = 0;
      ThrowWriteFailure(!owns_fd_);
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_start_ += static_cast<std::int64_t>(write_len_);
  write_len_ = 0;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
  const std::int64_t current = buffer_start_ + static_cast<std::int64_t>(writing_ ? write_len_ : read_pos_);
  std::int64_t target = offset;
  if (origin == SeekOrigin::kCurrent) {
    if (offset == 0) return current;
    target = current + offset;
  } else if (origin == SeekOrigin::kEnd) {
    target = Size() + offset;
  }
  if (target < 0) target = 0;
  if (writing_) {
    Flush();
  } else if (target >= buffer_start_ && target <= buffer_start_ + static_cast<std::int64_t>(read_len_)) {
    read_pos_ = static_cast<std::size_t>(target - buffer_start_);  // inside the buffer
    return target;
  }
  if (TABDUMP_LSEEK(fd_, target, SEEK_SET) < 0) throw EReadError("Stream seek error");
  buffer_start_ = target;
  read_pos_ = read_len_ = 0;
  return target;
}

std::int64_t FileStream::Size() {
  if (writing_) {
    Flush();
    return QuerySize();
  }
  if (Position() >= known_size_) known_size_ = QuerySize();
  return known_size_;
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= data_.size()) return 0;
  const std::size_t n = std::min(count, data_.size() - position_);
  if (n != 0) std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

void MemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ += count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  std::int64_t base = origin == SeekOrigin::kBegin     ? 0
                      : origin == SeekOrigin::kCurrent ? static_cast<std::int64_t>(position_)
                                                      : static_cast<std::int64_t>(data_.size());
  std::int64_t target = base + offset;
  if (target < 0) target = 0;
  position_ = static_cast<std::size_t>(target);
  return target;
}

std::size_t ReadZeroFilled(Stream& stream, void* buffer, std::size_t size) {
  const std::size_t got = stream.Read(buffer, size);
  if (got < size) std::memset(static_cast<char*>(buffer) + got, 0, size - got);
  return got;
}

bool FileExists(const std::string& name) {
#if defined(_WIN32)
  // Not _wstat64, which refuses the "?" of a "\\?\" name as a wildcard.
  const DWORD attributes = GetFileAttributesW(SystemPath(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
#else
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}

}  // namespace tabdump
