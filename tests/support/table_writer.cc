#include "tests/support/table_writer.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <numeric>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace tabdump::testing {
namespace {

constexpr std::size_t kHeaderSize = 512;        // version 6+
constexpr std::size_t kLegacyHeaderSize = 127;  // versions 0-5
constexpr std::size_t kDescriptorSize = 768;    // version 6+, and legacy 3-5
constexpr std::size_t kOldDescriptorSize = 265;  // legacy 0-2
constexpr std::size_t kBlobFileHeaderSize = 512;
constexpr std::size_t kBlockHeaderSize = 18;

bool IsLegacy(std::uint8_t version) { return version < 6; }

// Little-endian bytes of the low `width` bytes of v.
std::vector<std::uint8_t> LittleEndian(std::uint64_t v, std::size_t width) {
  std::vector<std::uint8_t> out(width);
  for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
  return out;
}

void Put(std::vector<std::uint8_t>& buf, std::size_t at, const std::vector<std::uint8_t>& bytes) {
  std::copy(bytes.begin(), bytes.end(), buf.begin() + static_cast<std::ptrdiff_t>(at));
}
void Put16(std::vector<std::uint8_t>& buf, std::size_t at, std::uint16_t v) {
  Put(buf, at, LittleEndian(v, 2));
}
void Put32(std::vector<std::uint8_t>& buf, std::size_t at, std::uint32_t v) {
  Put(buf, at, LittleEndian(v, 4));
}

// A length-prefixed text: one length byte, then the characters.
void PutText(std::vector<std::uint8_t>& buf, std::size_t at, const std::string& text,
             std::size_t max_chars, const char* what) {
  if (text.size() > max_chars) {
    throw std::invalid_argument(std::string(what) + " longer than " + std::to_string(max_chars) +
                                " characters: " + text);
  }
  buf[at] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), buf.begin() + static_cast<std::ptrdiff_t>(at + 1));
}

std::uint16_t CheckedU16(long v, const char* what) {
  if (v < 0 || v > std::numeric_limits<std::uint16_t>::max()) {
    throw std::invalid_argument(std::string(what) + " does not fit 16 bits");
  }
  return static_cast<std::uint16_t>(v);
}

std::uint16_t DefaultPhysicalSize(const FieldDef& f) {
  switch (f.type) {
    case kString: return CheckedU16(long{f.size} + 1, "String physical size");
    case kDate: return 4;
    case kBlob: return 8;
    case kBoolean: return 2;
    case kShortInt: return 2;
    case kInteger: return 4;
    case kFloat: return 8;
    case kBcd: return 34;
    case kTime: return 4;
    case kTimeStamp: return 8;
    case kUShortInt: return 2;
    case kLargeInt: return 8;
    default: return f.size;
  }
}

struct PlacedField {
  std::uint16_t offset;
  std::uint16_t physical_size;
  bool value_at_offset;  // legacy auto-increment: no presence byte
};

// Lays out one table and writes it to streams.  The .blb stream is asked for
// only when the first BLOB chain is stored (or at once when the table wants
// the file regardless).
class Core {
 public:
  using BlobOpener = std::function<std::ostream*()>;

  Core(const TableDef& def, std::ostream& dat, BlobOpener open_blb)
      : version_(def.version),
        fields_(def.fields),
        record_count_(def.record_count),
        field_count_(def.field_count.value_or(
            CheckedU16(static_cast<long>(def.fields.size()), "field count"))),
        blob_block_size_(def.blob_block_size),
        encrypted_(def.encrypted),
        stored_password_(def.stored_password),
        description_(def.description),
        trailing_bytes_(def.trailing_bytes),
        want_blob_file_(def.blob_file),
        dat_(dat),
        open_blb_(std::move(open_blb)) {
    if (!IsLegacy(version_) && !stored_password_.empty()) {
      throw std::invalid_argument("only legacy headers store a password");
    }
    long next = 1;
    long end = 1;
    for (const FieldDef& f : fields_) {
      const std::uint16_t phys = f.physical_size.value_or(DefaultPhysicalSize(f));
      const bool at_offset = IsLegacy(version_) && f.type == kInteger && f.sub_type == kSubAutoInc;
      const std::uint16_t offset = f.offset.value_or(CheckedU16(next, "field offset"));
      next = long{offset} + (at_offset ? 0 : 1) + phys;
      end = std::max(end, next);
      placed_.push_back({offset, phys, at_offset});
    }
    record_size_ = def.record_size.value_or(CheckedU16(end, "record size"));
    if (want_blob_file_.value_or(false)) Blb();
    Write(Header(record_count_.value_or(0)));
    Write(Descriptors());
  }

  void Add(const RecordDef& record) {
    if (record.values.size() != fields_.size()) {
      throw std::invalid_argument("a record needs one value per field");
    }
    if (record.status != 1 && record.status != 2) ++live_records_;
    std::vector<std::uint8_t> rec(record_size_, 0);
    if (!rec.empty()) rec[0] = record.status;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const PlacedField& f = placed_[i];
      const Value& v = record.values[i];
      std::vector<std::uint8_t> bytes = v.bytes;
      if (v.blob) bytes = LittleEndian(static_cast<std::uint32_t>(StoreBlob(*v.blob, v.blob_shape)), 4);
      if (bytes.size() > f.physical_size) {
        throw std::invalid_argument("value of field " + fields_[i].name + " is wider than the field");
      }
      bytes.resize(f.physical_size, 0);
      std::size_t at = f.offset;
      if (!f.value_at_offset) PutClipped(rec, at++, {v.presence});
      PutClipped(rec, at, bytes);
    }
    Write(rec);
  }

  // Appends the trailing bytes and settles the header's record count.
  void Finish() {
    Write(trailing_bytes_);
    if (!record_count_) {
      dat_.seekp(0);
      Write(Header(live_records_));
      dat_.seekp(0, std::ios::end);
    }
  }

 private:
  std::vector<std::uint8_t> Header(std::int32_t record_count) const {
    const auto block_size = static_cast<std::uint32_t>(blob_block_size_);
    if (!IsLegacy(version_)) {
      std::vector<std::uint8_t> h(kHeaderSize, 0);
      h[8] = version_;
      Put32(h, 41, static_cast<std::uint32_t>(record_count));
      Put16(h, 45, record_size_);
      Put16(h, 47, field_count_);
      Put32(h, 51, block_size);
      PutText(h, 71, description_, 100, "description");
      h[172] = encrypted_;
      return h;
    }
    // The legacy header stores the record count plus one; the description
    // slot runs up to the encrypted flag at 86, the password slot up to 103.
    std::vector<std::uint8_t> h(kLegacyHeaderSize, 0);
    Put32(h, 4, block_size);
    h[8] = version_;
    Put32(h, 13, static_cast<std::uint32_t>(record_count) + 1u);
    Put16(h, 21, record_size_);
    Put16(h, 23, field_count_);
    PutText(h, 35, description_, 50, "description");
    h[86] = encrypted_;
    PutText(h, 87, stored_password_, 15, "stored password");
    return h;
  }

  std::vector<std::uint8_t> Descriptors() const {
    const std::size_t size = version_ >= 3 ? kDescriptorSize : kOldDescriptorSize;
    std::vector<std::uint8_t> out;
    out.reserve(size * fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const FieldDef& f = fields_[i];
      std::vector<std::uint8_t> d(size, 0);
      Put16(d, 0, static_cast<std::uint16_t>(i + 1));  // field number
      if (!IsLegacy(version_)) {
        PutText(d, 2, f.name, 60, "field name");
        d[164] = f.type;
        d[165] = f.sub_type;
        Put16(d, 166, f.size);
        Put16(d, 169, placed_[i].physical_size);
        Put16(d, 172, placed_[i].offset);
      } else {
        // The name slot ends where the description text starts, at 33; the
        // size is a single byte; the offset sits two bytes later in the
        // 768-byte descriptor than in the 265-byte one.
        PutText(d, 2, f.name, 30, "field name");
        d[84] = f.type;
        d[85] = f.sub_type;
        if (f.size > 255) throw std::invalid_argument("legacy descriptors hold a size up to 255");
        d[86] = static_cast<std::uint8_t>(f.size);
        Put16(d, version_ >= 3 ? 90 : 88, placed_[i].offset);
      }
      out.insert(out.end(), d.begin(), d.end());
    }
    return out;
  }

  // What a record stores to point at the block with 0-based position
  // `index` in the .blb's block area.
  std::int32_t Reference(long index) const {
    const long long ref = version_ >= 5
                              ? index + 1LL
                              : static_cast<long long>(kBlobFileHeaderSize) + index * 1LL * blob_block_size_;
    if (ref > std::numeric_limits<std::int32_t>::max()) throw std::invalid_argument("BLOB file too large");
    return static_cast<std::int32_t>(ref);
  }

  // Writes one chain of blocks and returns its first block's reference.
  std::int32_t StoreBlob(const std::string& contents, const BlobShape& shape) {
    if (blob_block_size_ <= static_cast<std::int32_t>(kBlockHeaderSize)) {
      throw std::invalid_argument("BLOB block size leaves no room for data");
    }
    const std::size_t block_size = static_cast<std::size_t>(blob_block_size_);
    const std::size_t capacity = std::min<std::size_t>(block_size - kBlockHeaderSize, 0xFFFF);
    std::vector<std::uint16_t> pieces = shape.pieces;
    if (pieces.empty()) {
      std::size_t left = contents.size();
      do {
        const std::size_t n = std::min(left, capacity);
        pieces.push_back(static_cast<std::uint16_t>(n));
        left -= n;
      } while (left > 0);
    }
    if (std::accumulate(pieces.begin(), pieces.end(), std::size_t{0}) != contents.size()) {
      throw std::invalid_argument("BLOB pieces do not add up to the contents");
    }

    const long first = next_block_;
    std::ostream* out = Blb();
    std::size_t taken = 0;
    for (std::size_t j = 0; j < pieces.size(); ++j) {
      if (pieces[j] > capacity) throw std::invalid_argument("BLOB piece larger than a block");
      std::int32_t next = 0;
      if (j + 1 < pieces.size()) {
        next = Reference(first + static_cast<long>(j) + 1);
      } else if (shape.loop) {
        next = Reference(first);
      } else {
        next = shape.last_next.value_or(0);
      }
      std::vector<std::uint8_t> block(block_size, 0);
      Put32(block, 4, static_cast<std::uint32_t>(next));
      Put16(block, 8, pieces[j]);
      // Only the chain's first block carries the total; later blocks keep 0
      // there so a reader that looks anywhere else for it gets caught.
      if (j == 0) {
        Put32(block, 14, static_cast<std::uint32_t>(
                             shape.total_length.value_or(static_cast<std::int32_t>(contents.size()))));
      }
      std::copy_n(contents.begin() + static_cast<std::ptrdiff_t>(taken), pieces[j],
                  block.begin() + static_cast<std::ptrdiff_t>(kBlockHeaderSize));
      taken += pieces[j];
      if (out) out->write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    next_block_ += static_cast<long>(pieces.size());
    return Reference(first);
  }

  // The .blb stream, with its 512-byte file header written on first use;
  // null when the table is to have no .blb.
  std::ostream* Blb() {
    if (!blb_asked_) {
      blb_asked_ = true;
      if (want_blob_file_.value_or(true)) {
        blb_ = open_blb_();
        const std::vector<char> header(kBlobFileHeaderSize, 0);
        blb_->write(header.data(), static_cast<std::streamsize>(header.size()));
      }
    }
    return blb_;
  }

  void Write(const std::vector<std::uint8_t>& bytes) {
    dat_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Bytes that would fall beyond the record are dropped: that only happens
  // when a test declares a record size smaller than its fields need.
  static void PutClipped(std::vector<std::uint8_t>& rec, std::size_t at, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size() && at + i < rec.size(); ++i) rec[at + i] = bytes[i];
  }

  std::uint8_t version_;
  std::vector<FieldDef> fields_;
  std::optional<std::int32_t> record_count_;
  std::uint16_t field_count_;
  std::int32_t blob_block_size_;
  std::uint8_t encrypted_;
  std::string stored_password_;
  std::string description_;
  std::vector<std::uint8_t> trailing_bytes_;
  std::optional<bool> want_blob_file_;
  std::ostream& dat_;
  BlobOpener open_blb_;

  std::vector<PlacedField> placed_;
  std::uint16_t record_size_ = 0;
  std::int32_t live_records_ = 0;
  long next_block_ = 0;
  bool blb_asked_ = false;
  std::ostream* blb_ = nullptr;
};

std::vector<std::uint8_t> ToBytes(const std::string& s) { return {s.begin(), s.end()}; }

void WriteBytes(const std::vector<std::uint8_t>& bytes, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace

std::int32_t DayNumber(int year, unsigned month, unsigned day) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  if (!date.ok()) throw std::invalid_argument("no such date");
  const sys_days first_day{std::chrono::year{1} / January / 1};
  return static_cast<std::int32_t>((sys_days{date} - first_day).count() + 1);
}

double StampMs(std::int32_t day_number, std::int64_t ms_of_day) {
  return static_cast<double>(day_number * kMsPerDay + ms_of_day);
}

Value Value::Null() { return {}; }
Value Value::Absent(std::uint8_t presence) { return Value{}.WithPresence(presence); }
Value Value::Str(std::string_view text) { return Raw({text.begin(), text.end()}); }
Value Value::Int16(std::int16_t v) { return Raw(LittleEndian(static_cast<std::uint16_t>(v), 2)); }
Value Value::UInt16(std::uint16_t v) { return Raw(LittleEndian(v, 2)); }
Value Value::Int32(std::int32_t v) { return Raw(LittleEndian(static_cast<std::uint32_t>(v), 4)); }
Value Value::UInt32(std::uint32_t v) { return Raw(LittleEndian(v, 4)); }
Value Value::Int64(std::int64_t v) { return Raw(LittleEndian(static_cast<std::uint64_t>(v), 8)); }
Value Value::UInt64(std::uint64_t v) { return Raw(LittleEndian(v, 8)); }
Value Value::Float(double v) { return Raw(LittleEndian(std::bit_cast<std::uint64_t>(v), 8)); }
Value Value::Date(std::int32_t day_number) { return Int32(day_number); }
Value Value::Time(std::uint32_t ms_since_midnight) { return UInt32(ms_since_midnight); }
Value Value::TimeStamp(double ms) { return Float(ms); }
Value Value::Bool(bool v) { return Raw({static_cast<std::uint8_t>(v ? 1 : 0)}); }
Value Value::BlobRef(std::int32_t reference) { return Int32(reference); }
Value Value::Raw(std::vector<std::uint8_t> bytes) { return Value{1, std::move(bytes), std::nullopt, {}}; }

Value Value::Blob(std::string contents, BlobShape shape) {
  return Value{1, {}, std::move(contents), std::move(shape)};
}

Value Value::Bcd(std::string_view text, int digits, int scale) {
  if (digits < 0 || digits > 64 || scale < 0 || scale > digits || scale > 63) {
    throw std::invalid_argument("BCD digits/scale out of range");
  }
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  const std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  const auto all_digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (whole.empty() && fraction.empty()) throw std::invalid_argument("BCD text has no digits");
  if (!all_digits(whole) || !all_digits(fraction)) throw std::invalid_argument("BCD text is not a number");
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  const auto whole_width = static_cast<std::size_t>(digits - scale);
  if (whole.size() > whole_width || fraction.size() > static_cast<std::size_t>(scale)) {
    throw std::invalid_argument("BCD value does not fit its digits");
  }
  // Digit string of exactly `digits` characters: whole part right-aligned,
  // fraction left-aligned.
  std::string nibbles(whole_width - whole.size(), '0');
  nibbles += whole;
  nibbles += fraction;
  nibbles.append(static_cast<std::size_t>(digits) - nibbles.size(), '0');

  std::vector<std::uint8_t> bytes(2 + (nibbles.size() + 1) / 2, 0);
  bytes[0] = static_cast<std::uint8_t>(digits);
  bytes[1] = static_cast<std::uint8_t>((negative ? 0x80 : 0) | scale);
  for (std::size_t i = 0; i < nibbles.size(); ++i) {
    const auto d = static_cast<std::uint8_t>(nibbles[i] - '0');
    bytes[2 + i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? d << 4 : d);
  }
  return Raw(std::move(bytes));
}

Value Value::WithPresence(std::uint8_t p) const {
  Value copy = *this;
  copy.presence = p;
  return copy;
}

TableFiles BuildTable(const TableDef& def) {
  std::ostringstream dat(std::ios::binary);
  std::ostringstream blb(std::ios::binary);
  bool blb_used = false;
  {
    Core core(def, dat, [&]() -> std::ostream* {
      blb_used = true;
      return &blb;
    });
    for (const RecordDef& r : def.records) core.Add(r);
    core.Finish();
  }
  TableFiles files;
  files.dat = ToBytes(dat.str());
  if (def.dat_size) files.dat.resize(*def.dat_size, 0);
  if (blb_used) files.blb = ToBytes(blb.str());
  return files;
}

std::string BlobPathFor(const std::string& dat_path) {
  return std::filesystem::path(dat_path).replace_extension(".blb").string();
}

void WriteFiles(const TableFiles& files, const std::string& dat_path) {
  WriteBytes(files.dat, dat_path);
  if (!files.blb.empty()) {
    WriteBytes(files.blb, BlobPathFor(dat_path));
  } else {
    std::error_code ignored;
    std::filesystem::remove(BlobPathFor(dat_path), ignored);
  }
}

void WriteTable(const TableDef& def, const std::string& dat_path) {
  TableFileWriter writer(def, dat_path);
  writer.Close();
}

struct TableFileWriter::State {
  std::string dat_path;
  std::string blb_path;
  std::optional<std::size_t> dat_size;
  std::ofstream dat;
  std::ofstream blb;
  std::unique_ptr<Core> core;
  bool closed = false;
};

TableFileWriter::TableFileWriter(const TableDef& def, const std::string& dat_path)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.dat_path = dat_path;
  s.blb_path = BlobPathFor(dat_path);
  s.dat_size = def.dat_size;
  s.dat.open(dat_path, std::ios::binary | std::ios::trunc);
  if (!s.dat) throw std::runtime_error("cannot create " + dat_path);
  // A .blb left from an earlier table would otherwise pair with this one.
  std::error_code ignored;
  std::filesystem::remove(s.blb_path, ignored);
  s.core = std::make_unique<Core>(def, s.dat, [&s]() -> std::ostream* {
    s.blb.open(s.blb_path, std::ios::binary | std::ios::trunc);
    if (!s.blb) throw std::runtime_error("cannot create " + s.blb_path);
    return &s.blb;
  });
  for (const RecordDef& r : def.records) s.core->Add(r);
}

TableFileWriter::~TableFileWriter() {
  try {
    Close();
  } catch (...) {
  }
}

void TableFileWriter::Add(const RecordDef& record) { state_->core->Add(record); }

void TableFileWriter::Close() {
  State& s = *state_;
  if (s.closed) return;
  s.closed = true;
  s.core->Finish();
  s.dat.close();
  if (!s.dat) throw std::runtime_error("cannot write " + s.dat_path);
  if (s.blb.is_open()) {
    s.blb.close();
    if (!s.blb) throw std::runtime_error("cannot write " + s.blb_path);
  }
  if (s.dat_size) std::filesystem::resize_file(s.dat_path, *s.dat_size);
}

}  // namespace tabdump::testing
