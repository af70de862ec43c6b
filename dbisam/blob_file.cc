#include "dbisam/blob_file.h"

#include <algorithm>
#include <unordered_set>

#include "dbisam/coding.h"
#include "runtime/exceptions.h"

namespace tabdump {

using namespace dbisam_layout;

bool BlobFile::Open(const std::string& name, std::uint8_t version, std::int32_t block_size, Decryptor decrypt,
                    std::span<std::uint8_t, kBlobFileHeaderSize> header) {
  Close();
  if (!FileExists(name)) return false;
  if (block_size < kMinBlobBlockSize || block_size > kMaxBlobBlockSize) {
    throw EZelFileException("Invalid table: the BLOB block size " + std::to_string(block_size) + " is outside " +
                            std::to_string(kMinBlobBlockSize) + " to " + std::to_string(kMaxBlobBlockSize) + ".");
  }
  stream_ = std::make_unique<FileStream>(name, FileStream::Mode::kOpenRead);
  decrypt_ = std::move(decrypt);
  version_ = version;
  ReadZeroFilled(*stream_, header.data(), header.size());
  if (decrypt_) decrypt_(header.data(), header.size());
  file_size_ = stream_->Size();
  block_.assign(static_cast<std::size_t>(block_size), 0);
  return true;
}

void BlobFile::Close() { stream_.reset(); }

std::int64_t BlobFile::BlobBlockPosition(std::int64_t block) const {
  // Numbered blocks follow the file header; before that the number is the
  // block's byte offset.  A number below 2^31 and blocks of at most 32768
  // bytes keep the product far inside 64 bits.
  if (version_ >= kFirstNumberedBlobVersion) {
    return static_cast<std::int64_t>(kBlobFileHeaderSize) + (block - 1) * static_cast<std::int64_t>(block_.size());
  }
  return block;
}

bool BlobFile::ReadBlobBlock(std::int64_t block) {
  const std::int64_t position = BlobBlockPosition(block);
  if (position >= file_size_) return false;
  stream_->SetPosition(position);
  std::uint8_t* data = block_.data();
  // A block cut short by the end of the file reads as zeros past it.
  block_read_ = ReadZeroFilled(*stream_, data, block_.size());
  if (decrypt_) {
    if (version_ >= kFirstCurrentVersion) {
      decrypt_(data, block_.size());
    } else {  // older tables encrypt the block header and the data apart
      decrypt_(data, kBlobBlockHeaderSize);
      decrypt_(data + kBlobBlockHeaderSize, block_.size() - kBlobBlockHeaderSize);
    }
  }
  return true;
}

bool BlobFile::ReadChain(std::int64_t first_block, std::string& text) {
  text.clear();
  if (!IsOpen() || first_block < 1) return false;
  // A number at or past the file's size in bytes names no block in either
  // layout, so it is refused before any arithmetic on it.
  if (first_block >= file_size_ || !ReadBlobBlock(first_block)) return false;
  const std::int32_t total = DecodeSigned32(&block_[kBlobTotalLengthOffset]);
  if (total <= 0) return total == 0;
  const std::size_t wanted = static_cast<std::size_t>(total);
  // Never trust the total further than the file could supply.
  text.reserve(std::min<std::size_t>(wanted, static_cast<std::size_t>(file_size_)));
  std::unordered_set<std::int64_t> visited{first_block};
  // Byte-offset block numbers (up to version 4) need not lie a block apart,
  // so a damaged chain can visit overlapping blocks and gather the same
  // bytes again and again.  The blocks of a sound chain never hold more than
  // the whole file, so reading stops once the chain has read that much.
  std::int64_t bytes_read = static_cast<std::int64_t>(block_read_);
  for (;;) {
    // Only data bytes that the file really holds: a block cut short by the
    // end of the file gives no zero padding.
    const std::size_t capacity = block_read_ > kBlobBlockHeaderSize ? block_read_ - kBlobBlockHeaderSize : 0;
    const std::size_t count = std::min<std::size_t>(DecodeFixed16(&block_[kBlobDataCountOffset]), capacity);
    if (count == 0) break;  // a block without data would never end the chain
    const std::size_t n = std::min(wanted - text.size(), count);
    text.append(reinterpret_cast<const char*>(block_.data() + kBlobBlockHeaderSize), n);
    if (text.size() >= wanted) break;
    const std::int64_t next = DecodeSigned32(&block_[kBlobNextBlockOffset]);
    if (next < 1 || !visited.insert(next).second || !ReadBlobBlock(next)) break;
    bytes_read += static_cast<std::int64_t>(block_read_);
    if (bytes_read > file_size_) break;
  }
  return text.size() == wanted;
}

}  // namespace tabdump
