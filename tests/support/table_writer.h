// Builds DBISAM table files (.dat and .blb) for tests, byte by byte from the
// file layouts, without sharing any code with the reader under test.
//
// Three layout families, chosen by the version byte at offset 8:
//   version 6 and up  512-byte header, 768-byte field descriptors
//   versions 3 to 5   127-byte legacy header, 768-byte legacy descriptors
//   versions 0 to 2   127-byte legacy header, 265-byte legacy descriptors
// The records follow the descriptors directly; each is RecordSize bytes: a
// status byte at 0, then per field a presence byte at Offset and the value
// from Offset + 1 (except a legacy auto-increment field, whose value starts at
// Offset itself and which has no presence byte).
//
// The writer is deliberately permissive about *what* it is told to write
// (wrong counts, overlapping offsets, absurd BLOB lengths) so tests can build
// damaged tables, but strict about what it cannot represent: a value wider
// than its field, a name or text longer than its slot, a legacy Size above
// 255.  Those throw std::invalid_argument, since they are mistakes in a test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabdump::testing {

// Field type codes.
inline constexpr std::uint8_t kString = 1;
inline constexpr std::uint8_t kDate = 2;
inline constexpr std::uint8_t kBlob = 3;
inline constexpr std::uint8_t kBoolean = 4;
inline constexpr std::uint8_t kShortInt = 5;
inline constexpr std::uint8_t kInteger = 6;
inline constexpr std::uint8_t kFloat = 7;
inline constexpr std::uint8_t kBcd = 8;
inline constexpr std::uint8_t kBytes = 9;
inline constexpr std::uint8_t kTime = 10;
inline constexpr std::uint8_t kTimeStamp = 11;
inline constexpr std::uint8_t kUShortInt = 12;
inline constexpr std::uint8_t kUInteger = 13;
inline constexpr std::uint8_t kDouble = 14;
inline constexpr std::uint8_t kVarBytes = 15;
inline constexpr std::uint8_t kLargeInt = 18;
inline constexpr std::uint8_t kULargeInt = 19;

// Sub-type codes.
inline constexpr std::uint8_t kSubCurrency = 21;  // Float holding money
inline constexpr std::uint8_t kSubMemo = 22;      // BLOB holding text
inline constexpr std::uint8_t kSubBinary = 23;    // BLOB holding bytes
inline constexpr std::uint8_t kSubGraphic = 26;   // BLOB holding a picture
inline constexpr std::uint8_t kSubAutoInc = 29;   // Integer numbered by the engine

inline constexpr std::int64_t kMsPerDay = 86'400'000;

// Day number of a proleptic Gregorian date: 0001-01-01 is 1, 1899-12-30 is
// 693594.  Throws std::invalid_argument for an impossible date.
std::int32_t DayNumber(int year, unsigned month, unsigned day);
// Milliseconds value of a Time Stamp: day_number x 86,400,000 + ms_of_day.
double StampMs(std::int32_t day_number, std::int64_t ms_of_day);

struct FieldDef {
  FieldDef() = default;
  // Positional, so {"Id", kInteger} works without naming every member.
  FieldDef(std::string name_, std::uint8_t type_, std::uint8_t sub_type_ = 0, std::uint16_t size_ = 0,
            std::optional<std::uint16_t> physical_size_ = {}, std::optional<std::uint16_t> offset_ = {})
      : name(std::move(name_)),
        type(type_),
        sub_type(sub_type_),
        size(size_),
        physical_size(physical_size_),
        offset(offset_) {}

  std::string name;  // up to 60 characters; 30 in legacy descriptors
  std::uint8_t type = kString;
  std::uint8_t sub_type = 0;
  std::uint16_t size = 0;  // declared size, characters for strings; legacy descriptors hold up to 255
  // Width of the value in the record.  Default: String size+1, Date 4,
  // BLOB 8, Boolean 2, Short Integer 2, Integer 4, Float 8, BCD 34, Time 4,
  // Time Stamp 8, Unsigned Short 2, Large Integer 8, every other type `size`.
  // Version 6+ stores it in the descriptor; legacy descriptors have no such
  // slot (the reader derives it from the type), so there it only sets how
  // many value bytes the writer lays out.
  std::optional<std::uint16_t> physical_size;
  // Position of the presence byte in the record.  Default: right after the
  // previous field (the first field at 1, after the status byte).
  std::optional<std::uint16_t> offset;
};

// Shape of one BLOB chain; the defaults give a well-formed chain.
struct BlobShape {
  // Data bytes per block, one entry per block; they must add up to the
  // contents' size.  Default: every block full (BlobBlockSize - 18 bytes),
  // the last one holding the rest; an empty BLOB is one block with 0 bytes.
  std::vector<std::uint16_t> pieces;
  // Total length written into the first block.  Default: the contents' size.
  std::optional<std::int32_t> total_length;
  // When set, the last block's next pointer leads back to the first block.
  bool loop = false;
  // Next pointer written into the last block (when not looping).  Default 0,
  // the end of the chain.  Same units as references: see Value::Blob.
  std::optional<std::int32_t> last_next;
};

// One field's content in a record: the presence byte and the value bytes
// that follow it (little-endian; zero-padded up to the field's width).
struct Value {
  std::uint8_t presence = 0;
  std::vector<std::uint8_t> bytes;
  // BLOB contents to place in the .blb; at build time `bytes` becomes the
  // chain's first reference.
  std::optional<std::string> blob;
  BlobShape blob_shape;

  static Value Null();                        // presence 0, value bytes zero
  static Value Absent(std::uint8_t presence);  // null with another presence byte
  static Value Str(std::string_view text);     // the bytes; zero padding ends it
  static Value Int16(std::int16_t v);
  static Value UInt16(std::uint16_t v);
  static Value Int32(std::int32_t v);
  static Value UInt32(std::uint32_t v);
  static Value Int64(std::int64_t v);
  static Value UInt64(std::uint64_t v);
  static Value Float(double v);                     // IEEE 754 double
  static Value Date(std::int32_t day_number);       // see DayNumber
  static Value Time(std::uint32_t ms_since_midnight);
  static Value TimeStamp(double ms);                // see StampMs
  static Value Bool(bool v);
  // Packed decimal: digit count, sign bit 7 + digits after the point, then
  // two digits per byte, high half first.  `text` is like "-123.45"; it must
  // fit `digits` digits with `scale` of them after the point.
  static Value Bcd(std::string_view text, int digits, int scale);
  // Contents stored as a chain in the .blb.  Blocks are handed out in the
  // order the writer meets BLOB values (record by record, field by field),
  // so the first chain starts at the first block.  The record gets the
  // first block's reference: from version 5 on the block number k (block k
  // lies at 512 + (k - 1) x BlobBlockSize), before that the block's byte
  // offset in the file (the first block lies at 512).
  static Value Blob(std::string contents, BlobShape shape = {});
  static Value BlobRef(std::int32_t reference);  // a raw reference, no chain
  static Value Raw(std::vector<std::uint8_t> bytes);

  // The same value with another presence byte (e.g. an auto-increment value
  // whose presence byte is 0).
  Value WithPresence(std::uint8_t p) const;
};

struct RecordDef {
  std::uint8_t status = 0;  // 1 deleted, 2 damaged, anything else normal
  std::vector<Value> values;  // one per field, in field order
};

struct TableDef {
  std::uint8_t version = 6;
  std::vector<FieldDef> fields;
  std::vector<RecordDef> records;
  // Header values; each defaults to the truth.  The record count defaults to
  // the number of records whose status is neither 1 nor 2.  Legacy headers
  // store it plus one.
  std::optional<std::int32_t> record_count;
  std::optional<std::uint16_t> record_size;  // smaller than the fields need: values are clipped
  std::optional<std::uint16_t> field_count;  // descriptors written: always fields.size()
  std::int32_t blob_block_size = 512;
  std::uint8_t encrypted = 0;   // the header's encrypted flag
  std::string stored_password;  // legacy headers only (text at byte 87, up to 15 characters)
  std::string description;      // header text, not interpreted (up to 100 characters, 50 in legacy headers)
  // Damage knobs.
  std::vector<std::uint8_t> trailing_bytes;  // appended after the last record
  std::optional<std::size_t> dat_size;       // cut (or zero-extend) the .dat to this size
  // Whether a .blb exists.  Default: when some record holds a Value::Blob.
  // false keeps the references in the records but writes no .blb.
  std::optional<bool> blob_file;
};

struct TableFiles {
  std::vector<std::uint8_t> dat;
  std::vector<std::uint8_t> blb;  // empty: no .blb
};

TableFiles BuildTable(const TableDef& def);

// The .blb path that goes with a .dat path: the extension replaced by .blb.
std::string BlobPathFor(const std::string& dat_path);

// Writes files.dat to dat_path and files.blb beside it; an empty files.blb
// removes any .blb left there, so the pair on disk is exactly `files`.
void WriteFiles(const TableFiles& files, const std::string& dat_path);

// BuildTable + WriteFiles, but streamed: records go to disk one at a time.
void WriteTable(const TableDef& def, const std::string& dat_path);

// Streams a table to disk in constant memory: writes the header, the
// descriptors and def.records at construction, then each Add()ed record.
// Close() settles the header's record count (unless def.record_count was
// given), appends the trailing bytes and applies dat_size.  Throws
// std::runtime_error on I/O failure.
class TableFileWriter {
 public:
  TableFileWriter(const TableDef& def, const std::string& dat_path);
  ~TableFileWriter();  // closes if Close() was not called, ignoring errors
  TableFileWriter(const TableFileWriter&) = delete;
  TableFileWriter& operator=(const TableFileWriter&) = delete;

  void Add(const RecordDef& record);
  void Close();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tabdump::testing
