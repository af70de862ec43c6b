// Byte streams: files with their own buffering, and memory for tests.
// A read that returns fewer bytes than asked for is not an error; a write
// that cannot be completed is (EWriteError).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabdump {

enum class SeekOrigin { kBegin, kCurrent, kEnd };

class Stream {
 public:
  virtual ~Stream() = default;
  // Reads up to `count` bytes; returns how many were read.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual void Write(const void* buffer, std::size_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
  virtual std::int64_t Size() = 0;
  std::int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::kBegin); }
  void WriteText(const std::string& text) { Write(text.data(), text.size()); }
};

class FileStream : public Stream {
 public:
  enum class Mode {
    kOpenRead,        // existing file, others may read and write it meanwhile
    kCreate,          // new or emptied file for writing
    kStandardOutput,  // the process's standard output, in binary mode; the name is a label
  };
  // Raises EFOpenError "Cannot open file %s" or EFCreateError "Cannot create file %s".
  FileStream(const std::string& name, Mode mode);
  ~FileStream() override;  // flushes; errors at this point are lost: call Flush() first
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  // The size as known; asked of the system again once the position reaches it,
  // so that a file growing meanwhile is seen without a system call per record.
  std::int64_t Size() override;
  // Writes out what is buffered; raises EWriteError when it cannot, and
  // EBrokenPipe when the reader of a pipe has closed it.
  void Flush();

  const std::string& Name() const { return name_; }

 private:
  std::int64_t QuerySize();
  std::size_t ReadFromFile(void* buffer, std::size_t count);

  std::string name_;
  int fd_ = -1;
  std::vector<char> buffer_;
  // Reading: buffer_[read_pos_, read_len_) holds bytes from file position
  // buffer_start_.  Writing: buffer_[0, write_len_) waits to be written at
  // buffer_start_.
  std::int64_t buffer_start_ = 0;
  std::size_t read_pos_ = 0;
  std::size_t read_len_ = 0;
  std::size_t write_len_ = 0;
  std::int64_t known_size_ = 0;
  bool writing_ = false;
  bool owns_fd_ = true;
};

class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
  const std::vector<std::uint8_t>& Data() const { return data_; }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t position_ = 0;
};

// Reads up to `size` bytes into `buffer` and zeroes the part that the stream
// could not fill; returns the number of bytes read.
std::size_t ReadZeroFilled(Stream& stream, void* buffer, std::size_t size);

// True when a file (not a directory) of that name exists.
bool FileExists(const std::string& name);

}  // namespace tabdump
