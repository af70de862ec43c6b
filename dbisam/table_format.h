// The on-disk layout of a DBISAM table file (.dat) and its BLOB file (.blb).
//
// Table file, chosen by the version byte at offset 8:
//   version 6+:  512-byte header, FieldCount descriptors of 768 bytes, records
//   version 3-5: 127-byte legacy header, legacy descriptors of 768 bytes
//   version 0-2: 127-byte legacy header, legacy descriptors of 265 bytes
// Legacy headers and descriptors are converted into the current layout when
// read, so the rest of the reader sees only the current one.
//
// A record is RecordSize bytes: a status byte (1 deleted, 2 damaged), then for
// each field a presence byte at its Offset (1 = has a value) followed by the
// value's PhysicalSize bytes.  All integers are little-endian.
//
// BLOB file: blocks of BlobBlockSize bytes, each an 18-byte block header and
// data.  From version 5, block k (k >= 1) starts at 512 + (k-1) * BlobBlockSize
// after a 512-byte file header; up to version 4 the number is a byte offset.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tabdump::dbisam_layout {

// ---- header (current layout), 512 bytes
inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kVersionOffset = 8;
inline constexpr std::size_t kSignatureOffset = 9;         // 16 bytes
inline constexpr std::size_t kRecordCountOffset = 41;      // int32
inline constexpr std::size_t kRecordSizeOffset = 45;       // uint16
inline constexpr std::size_t kFieldCountOffset = 47;       // uint16
inline constexpr std::size_t kBlobBlockSizeOffset = 51;    // int32
inline constexpr std::size_t kDescriptionOffset = 71;      // text, up to 100
inline constexpr std::size_t kEncryptedOffset = 172;       // byte
inline constexpr std::size_t kPasswordCheckOffset = 173;   // 16 bytes
inline constexpr std::size_t kDigestSize = 16;

// ---- field descriptor (current layout), 768 bytes
inline constexpr std::size_t kDescriptorSize = 768;
inline constexpr std::size_t kFieldNameOffset = 2;         // text, up to 60
inline constexpr std::size_t kFieldNameMax = 60;
inline constexpr std::size_t kFieldDescriptionOffset = 63; // text, up to 100
inline constexpr std::size_t kFieldTypeOffset = 164;
inline constexpr std::size_t kSubTypeOffset = 165;
inline constexpr std::size_t kSizeOffset = 166;            // uint16
inline constexpr std::size_t kPhysicalSizeOffset = 169;    // uint16
inline constexpr std::size_t kFieldOffsetOffset = 172;     // uint16

// ---- legacy header, 127 bytes (versions 0-5)
inline constexpr std::size_t kLegacyHeaderSize = 127;
inline constexpr std::size_t kLegacyStoredPasswordOffset = 87;  // text
inline constexpr std::size_t kLegacyEncryptedOffset = 86;

// ---- legacy field descriptors
inline constexpr std::size_t kLegacyDescriptorSize = 768;  // versions 3-5
inline constexpr std::size_t kOldDescriptorSize = 265;     // versions 0-2

// ---- limits of the reader
inline constexpr std::size_t kMaxFields = 1025;
inline constexpr std::size_t kMaxRecordSize = 32768;
inline constexpr std::size_t kBcdWidth = 34;

// ---- records
inline constexpr std::uint8_t kStatusDeleted = 1;
inline constexpr std::uint8_t kStatusDamaged = 2;
inline constexpr std::uint8_t kPresent = 1;

// ---- BLOB file
inline constexpr std::size_t kBlobFileHeaderSize = 512;
inline constexpr std::size_t kBlobBlockHeaderSize = 18;
inline constexpr std::size_t kBlobNextBlockOffset = 4;   // int32
inline constexpr std::size_t kBlobDataCountOffset = 8;   // uint16
inline constexpr std::size_t kBlobTotalLengthOffset = 14;  // int32
inline constexpr std::int32_t kMinBlobBlockSize = 18;
inline constexpr std::int32_t kMaxBlobBlockSize = 32768;
inline constexpr int kFirstNumberedBlobVersion = 5;

// ---- field types
enum FieldTypeCode : std::uint8_t {
  kString = 1, kDate = 2, kBlob = 3, kBoolean = 4, kShortInteger = 5, kInteger = 6,
  kFloat = 7, kBcd = 8, kBytes = 9, kTime = 10, kTimeStamp = 11, kUnsignedShortInteger = 12,
  kUnsignedInteger = 13, kDouble = 14, kVarBytes = 15, kLockInfo = 16, kCursor = 17,
  kLargeInteger = 18, kUnsignedLargeInteger = 19, kAdt = 20, kArray = 21, kReference = 22,
  kTable = 23,
};

// Positions in the sub-type table with a meaning of their own.
inline constexpr std::uint8_t kCurrencySubTypeIndex = 2;
inline constexpr std::uint8_t kAutoIncSubTypeIndex = 10;

}  // namespace tabdump::dbisam_layout
