// The on-disk layout of a DBISAM table file (.dat) and its BLOB file (.blb).
//
// Table file, chosen by the version byte at offset 8:
//   version 6+:  512-byte header, FieldCount descriptors of 768 bytes, records
//   version 3-5: 127-byte legacy header, legacy descriptors of 768 bytes
//   version 0-2: 127-byte legacy header, legacy descriptors of 265 bytes
// Legacy headers and descriptors are converted into the current layout when
// read (by the member tables below), so the rest of the reader sees only the
// current one.
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
inline constexpr std::size_t kDescriptionOffset = 71;      // text
inline constexpr std::size_t kDescriptionMax = 100;
inline constexpr std::size_t kEncryptedOffset = 172;       // byte
inline constexpr std::size_t kPasswordCheckOffset = 173;   // 16 bytes
inline constexpr std::size_t kDigestSize = 16;
// The first version with this layout; older ones are converted into it.
inline constexpr std::uint8_t kFirstCurrentVersion = 6;

// ---- field descriptor (current layout), 768 bytes
inline constexpr std::size_t kDescriptorSize = 768;
inline constexpr std::size_t kFieldNameOffset = 2;         // text
inline constexpr std::size_t kFieldNameMax = 60;
inline constexpr std::size_t kFieldDescriptionOffset = 63; // text
inline constexpr std::size_t kFieldDescriptionMax = 100;
inline constexpr std::size_t kFieldTypeOffset = 164;
inline constexpr std::size_t kSubTypeOffset = 165;
inline constexpr std::size_t kSizeOffset = 166;            // uint16
inline constexpr std::size_t kPhysicalSizeOffset = 169;    // uint16
inline constexpr std::size_t kFieldOffsetOffset = 172;     // uint16
inline constexpr std::size_t kDescriptorTextMax = 100;     // the three texts from 176

// ---- legacy layouts (versions 0-5)
//
// Converting a legacy header or descriptor starts from an all-zero block in
// the current layout; then every entry of its member table below moves one
// member across.  The few header members that are computed rather than
// copied are listed beside the header's table.  An entry takes `width` bytes
// at legacy offset `from` to current offset `to`; a text entry instead takes
// the length-prefixed text at `from`, cut to what a slot of `width` bytes at
// `to` holds (width - 1 characters) and to the bytes the legacy block has.
// An entry with `since_version` applies only from that version on.  Bare
// numbers are members that the reader keeps but does not interpret.
struct LegacyMember {
  enum Kind : std::uint8_t { kCopy, kText };
  std::size_t from;
  std::size_t width;
  std::size_t to;
  Kind kind = kCopy;
  std::uint8_t since_version = 0;
};

// Version 4 added a header member (current offset 55) and a descriptor
// member (current offset 175); version 3 lacks both.
inline constexpr std::uint8_t kLegacyLateMembersVersion = 4;

// Legacy header, 127 bytes.
inline constexpr std::size_t kLegacyHeaderSize = 127;
inline constexpr std::size_t kLegacyBlobBlockSizeOffset = 4;   // int32
inline constexpr std::size_t kLegacyRecordCountOffset = 13;    // int32, one more than the records held
inline constexpr std::size_t kLegacyRecordSizeOffset = 21;     // uint16
inline constexpr std::size_t kLegacyFieldCountOffset = 23;     // uint16
inline constexpr std::size_t kLegacyDescriptionOffset = 35;    // text
inline constexpr std::size_t kLegacyEncryptedOffset = 86;      // byte
inline constexpr std::size_t kLegacyStoredPasswordOffset = 87; // text
inline constexpr std::size_t kLegacyStoredPasswordMax = 255;

// The computed members of a converted header:
//   RecordCount = (int32 at legacy 13) - 1, since legacy headers count one
//                 record more than the table holds;
//   offset 55   = (uint16 at legacy 25) - (int32 at legacy 13) - 1, for the
//                 versions below kLegacyLateMembersVersion, which lack it;
//   offset 59   = kLegacyMember59Value, always.
// All of it in unsigned 32-bit arithmetic, which wraps instead of overflowing.
inline constexpr std::size_t kLegacyMember25Offset = 25;  // uint16
inline constexpr std::size_t kHeaderMember55Offset = 55;  // uint32
inline constexpr std::size_t kHeaderMember59Offset = 59;  // uint32
inline constexpr std::uint32_t kLegacyMember59Value = 4096;

inline constexpr LegacyMember kLegacyHeaderMembers[] = {
    {0, 4, 0},
    {kVersionOffset, 1, kVersionOffset},
    {9, 4, 25},
    {kLegacyRecordCountOffset, 4, 29},  // as stored; RecordCount is computed from it
    {17, 4, 33},
    {kLegacyRecordSizeOffset, 2, kRecordSizeOffset},
    {kLegacyFieldCountOffset, 2, kFieldCountOffset},
    {kLegacyMember25Offset, 2, 49},
    {kLegacyBlobBlockSizeOffset, 4, kBlobBlockSizeOffset},
    {112, 4, kHeaderMember55Offset, LegacyMember::kCopy, kLegacyLateMembersVersion},  // older ones compute it
    {27, 8, 63},  // a floating-point stamp
    {kLegacyDescriptionOffset, kDescriptionMax + 1, kDescriptionOffset, LegacyMember::kText},
    {kLegacyEncryptedOffset, 1, kEncryptedOffset},
    {103, 4, 189},
    {107, 2, 193},
    {109, 2, 195},
    {111, 1, 197},
};

// Legacy field descriptors: 768 bytes in versions 3-5, 265 bytes in versions
// 0-2 (kOldDescriptorSize), where the members from byte 88 on sit two bytes
// earlier.  Size is a single byte; the upper byte of the current Size stays
// zero.  PhysicalSize has no legacy member: the reader derives it from the
// type (and Size), and legacy BLOB fields keep only some sub-types.
inline constexpr std::size_t kLegacyDescriptorSize = 768;
inline constexpr std::size_t kOldDescriptorSize = 265;
inline constexpr std::uint8_t kFirstLegacyDescriptorVersion = 3;  // below: the old descriptors
inline constexpr std::size_t kLegacyFieldNameOffset = 2;          // text
inline constexpr std::size_t kLegacyFieldDescriptionOffset = 33;  // text
inline constexpr std::size_t kLegacyFieldTypeOffset = 84;
inline constexpr std::size_t kLegacySubTypeOffset = 85;
inline constexpr std::size_t kLegacySizeOffset = 86;              // byte

inline constexpr LegacyMember kLegacyDescriptorMembers[] = {  // versions 3-5
    {0, 2, 0},
    {kLegacyFieldNameOffset, kFieldNameMax + 1, kFieldNameOffset, LegacyMember::kText},
    {kLegacyFieldDescriptionOffset, kFieldDescriptionMax + 1, kFieldDescriptionOffset, LegacyMember::kText},
    {kLegacyFieldTypeOffset, 1, kFieldTypeOffset},
    {kLegacySubTypeOffset, 1, kSubTypeOffset},
    {kLegacySizeOffset, 1, kSizeOffset},
    {87, 1, 168},
    {87, 1, 171},  // the same byte once more
    {90, 2, kFieldOffsetOffset},
    {92, 1, 174},
    {93, 1, 175, LegacyMember::kCopy, kLegacyLateMembersVersion},
    {94, kDescriptorTextMax + 1, 176, LegacyMember::kText},
    {145, kDescriptorTextMax + 1, 277, LegacyMember::kText},
    {196, kDescriptorTextMax + 1, 378, LegacyMember::kText},
};

inline constexpr LegacyMember kOldDescriptorMembers[] = {  // versions 0-2
    {0, 2, 0},
    {kLegacyFieldNameOffset, kFieldNameMax + 1, kFieldNameOffset, LegacyMember::kText},
    {kLegacyFieldDescriptionOffset, kFieldDescriptionMax + 1, kFieldDescriptionOffset, LegacyMember::kText},
    {kLegacyFieldTypeOffset, 1, kFieldTypeOffset},
    {kLegacySubTypeOffset, 1, kSubTypeOffset},
    {kLegacySizeOffset, 1, kSizeOffset},
    {87, 1, 168},
    {87, 1, 171},
    {88, 2, kFieldOffsetOffset},
    {90, 1, 174},
    {92, kDescriptorTextMax + 1, 176, LegacyMember::kText},
    {143, kDescriptorTextMax + 1, 277, LegacyMember::kText},
    {194, kDescriptorTextMax + 1, 378, LegacyMember::kText},
};

// True when every member lies inside both blocks and no two members write
// the same byte of the current one.
template <std::size_t N>
constexpr bool MembersFit(const LegacyMember (&members)[N], std::size_t legacy_size, std::size_t current_size) {
  for (std::size_t i = 0; i < N; ++i) {
    const LegacyMember& m = members[i];
    const std::size_t read = m.kind == LegacyMember::kText ? 1 : m.width;  // a text needs its length byte
    if (m.width == 0 || m.from + read > legacy_size || m.to + m.width > current_size) return false;
    for (std::size_t j = 0; j < i; ++j) {
      const LegacyMember& o = members[j];
      if (m.to < o.to + o.width && o.to < m.to + m.width) return false;
    }
  }
  return true;
}
static_assert(MembersFit(kLegacyHeaderMembers, kLegacyHeaderSize, kHeaderSize));
static_assert(MembersFit(kLegacyDescriptorMembers, kLegacyDescriptorSize, kDescriptorSize));
static_assert(MembersFit(kOldDescriptorMembers, kOldDescriptorSize, kDescriptorSize));

// ---- limits of the reader
inline constexpr std::size_t kMaxFields = 1025;
inline constexpr std::size_t kMinRecordSize = 1;
inline constexpr std::size_t kMaxRecordSize = 32768;
// A BCD value is the packed decimal of cells/cell_model.h, kBcdSize bytes.

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
inline constexpr std::int32_t kMinBlobBlockSize =  // a block holds at least its header
    static_cast<std::int32_t>(kBlobBlockHeaderSize);
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
inline constexpr std::uint8_t kMemoSubTypeIndex = 3;     // a BLOB of text
inline constexpr std::uint8_t kGraphicSubTypeIndex = 7;  // a BLOB holding a picture

}  // namespace tabdump::dbisam_layout
