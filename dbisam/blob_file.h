// The BLOB file of a table (.blb beside the .dat) and the chains of blocks
// that hold the contents of BLOB fields.
//
// The file starts with a 512-byte header, kept but not interpreted; then come
// blocks of BlobBlockSize bytes, each an 18-byte block header and data.  A
// record's BLOB field names the first block of a chain; each block header
// names the next block, gives the data bytes the block holds, and the first
// one also the length of the whole BLOB.  How a number finds its block
// depends on the table's version (BlobBlockPosition).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dbisam/table_format.h"
#include "runtime/stream.h"

namespace tabdump {

class BlobFile {
 public:
  // Decrypts `size` bytes in place; called on the file header and on every
  // block read.
  using Decryptor = std::function<void(std::uint8_t* data, std::size_t size)>;

  bool IsOpen() const { return stream_ != nullptr; }

  // Opens the BLOB file `name` of a table of `version` whose blocks are
  // `block_size` bytes, and reads the file header into `header`.  False,
  // and nothing opened, when there is no such file; raises
  // EZelFileException when `block_size` is outside kMinBlobBlockSize to
  // kMaxBlobBlockSize.
  bool Open(const std::string& name, std::uint8_t version, std::int32_t block_size, Decryptor decrypt,
            std::span<std::uint8_t, dbisam_layout::kBlobFileHeaderSize> header);
  void Close();

  // The contents of the chain that starts at block `first_block`, into
  // `text`; empty when the file is not open or the block does not exist.
  // A chain that ends early or is damaged gives what it held up to there,
  // and false: it ends before the length its first block gives, revisits a
  // block, points beyond the file, or its first block is no block at all.
  bool ReadChain(std::int64_t first_block, std::string& text);

 private:
  // Where block `block` starts in the file.
  std::int64_t BlobBlockPosition(std::int64_t block) const;
  // Reads block `block` into block_; false when it starts at or past the end
  // of the file.
  bool ReadBlobBlock(std::int64_t block);

  std::unique_ptr<FileStream> stream_;
  Decryptor decrypt_;
  std::uint8_t version_ = 0;
  std::vector<std::uint8_t> block_;  // one block, BlobBlockSize bytes
  std::size_t block_read_ = 0;       // bytes of the current block present in the file
  std::int64_t file_size_ = 0;
};

}  // namespace tabdump
