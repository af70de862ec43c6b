// The corrupt-table corpus: from a few sound tables made by the test writer,
// every damage of one member that matters (each header and descriptor
// member set to 0, 1, its largest value and a negative one; the files cut at
// every descriptor and record boundary and a byte either side; BLOB chains
// that loop, lead past the file or claim 2 GB), each converted by the real
// tabdump.  Every run must end by itself (one still running after 30 s is
// taken for a hang), in a few tens of MB, with exit status 0 and a complete
// output or exit status 1 and the two-line error report of a reader's
// refusal.  A sanitizer report, a crash, a hang or a standard library
// exception fails the case.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/every_kind_table.h"
#include "tests/support/table_writer.h"

namespace tabdump::testing {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- the sound tables

std::string Text(std::size_t size, char first) {
  std::string s(size, ' ');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(first + i % 23);
  return s;
}

// Every field kind, in the current layout: a normal record with a memo of
// four blocks, a deleted and a damaged record, and a normal one of nulls.
TableDef CurrentLayout() {
  TableDef t = fuzzing::EveryKindTable();
  t.blob_block_size = 64;  // 46 data bytes a block
  RecordDef full = t.records[0];
  full.values[3] = Value::Blob(Text(150, 'a'));
  RecordDef deleted = full;
  deleted.status = 1;
  deleted.values[3] = Value::Blob("deleted");
  RecordDef damaged = full;
  damaged.status = 2;
  damaged.values[3] = Value::Null();
  RecordDef nulls{0, std::vector<Value>(t.fields.size(), Value::Null())};
  nulls.values[0] = Value::Int32(9);
  t.records = {full, deleted, damaged, nulls};
  return t;
}

// A legacy layout, where BLOB references are byte offsets.
TableDef LegacyLayout(std::uint8_t version) {
  TableDef t;
  t.version = version;
  t.blob_block_size = 64;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}, {"Notes", kBlob, kSubMemo},
              {"Amount", kFloat}, {"Born", kDate},         {"Active", kBoolean}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("Ada"), Value::Blob(Text(120, 'A')), Value::Float(2.5),
           Value::Date(DayNumber(1999, 12, 31)), Value::Bool(true)}},
      {1, {Value::Int32(2), Value::Str("gone"), Value::Blob("x"), Value::Null(), Value::Null(), Value::Null()}},
      {0, {Value::Int32(3), Value::Null(), Value::Blob(Text(50, 'k')), Value::Float(-1), Value::Null(),
           Value::Bool(false)}},
  };
  return t;
}

// Where things lie in a table's files, worked out from the byte layouts.
struct Layout {
  std::uint8_t version;
  std::size_t header_size;
  std::size_t descriptor_size;
  std::size_t field_count;
  std::size_t data_start;
  std::size_t record_size;
  std::size_t record_count;  // records in the file, deleted ones included
  std::size_t block_size;
  std::size_t first_chain_blocks;  // blocks of the first record's memo

  std::size_t Descriptor(std::size_t i) const { return header_size + i * descriptor_size; }
  std::size_t Record(std::size_t r) const { return data_start + r * record_size; }
  std::size_t Block(std::size_t k) const { return 512 + k * block_size; }  // k from 0
  // What a record holds to refer to block k.
  std::int64_t Reference(std::size_t k) const {
    return version >= 5 ? static_cast<std::int64_t>(k + 1) : static_cast<std::int64_t>(Block(k));
  }
  std::size_t FieldOffsetMember() const { return version >= 6 ? 172 : version >= 3 ? 90 : 88; }
};

struct Base {
  std::string name;
  TableDef def;
  TableFiles files;
  Layout layout;
  std::size_t memo_field;  // index of the memo field
};

std::uint64_t ReadLittle(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= static_cast<std::uint64_t>(bytes[at + i]) << (8 * i);
  return v;
}

void WriteLittle(std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t width, std::uint64_t v) {
  for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Base MakeBase(const std::string& name, const TableDef& def, std::size_t memo_field, std::size_t memo_size) {
  Base b{name, def, BuildTable(def), {}, memo_field};
  Layout& l = b.layout;
  l.version = def.version;
  l.header_size = def.version >= 6 ? 512 : 127;
  l.descriptor_size = def.version >= 3 ? 768 : 265;
  l.field_count = def.fields.size();
  l.data_start = l.header_size + l.field_count * l.descriptor_size;
  l.record_count = def.records.size();
  l.record_size = (b.files.dat.size() - l.data_start) / l.record_count;
  l.block_size = static_cast<std::size_t>(def.blob_block_size);
  l.first_chain_blocks = (memo_size + l.block_size - 19) / (l.block_size - 18);
  return b;
}

const std::vector<Base>& Bases() {
  static const std::vector<Base> bases = {
      MakeBase("current", CurrentLayout(), 3, 150),
      MakeBase("v4", LegacyLayout(4), 2, 120),
      MakeBase("v2", LegacyLayout(2), 2, 120),
  };
  return bases;
}

// ---------------------------------------------------------------- the damaged tables

struct Damaged {
  std::string label;
  TableFiles files;
  // For cuts through the records: the lines that must come out whole (the
  // header and type lines and the records before the cut), and the number
  // of lines in all.  Unset: any complete output will do.
  std::size_t exact_lines = 0;
  std::size_t total_lines = 0;
  bool known_lines = false;
};

struct Member {
  const char* name;
  std::size_t offset;
  std::size_t width;
};

// 0, 1, the largest value, the most negative value, and the sound value one
// up and one down where that is an edge of its own.
std::vector<std::uint64_t> Values(std::size_t width, std::uint64_t sound, bool near_sound) {
  const std::uint64_t max = width >= 8 ? ~0ULL : (1ULL << (8 * width)) - 1;
  std::vector<std::uint64_t> values = {0, 1, max, 1ULL << (8 * width - 1)};
  if (near_sound) {
    values.push_back(sound + 1);
    if (sound > 0) values.push_back(sound - 1);
  }
  return values;
}

std::string Hex(std::uint64_t v) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(v));
  return buffer;
}

std::vector<Damaged> HeaderDamage(const Base& b) {
  const bool current = b.layout.version >= 6;
  const std::vector<Member> members =
      current ? std::vector<Member>{{"version", 8, 1},          {"record count", 41, 4}, {"record size", 45, 2},
                                    {"field count", 47, 2},     {"BLOB block size", 51, 4},
                                    {"description length", 71, 1}, {"encrypted flag", 172, 1}}
              : std::vector<Member>{{"BLOB block size", 4, 4},  {"version", 8, 1},        {"record count", 13, 4},
                                    {"record size", 21, 2},     {"field count", 23, 2},
                                    {"description length", 35, 1}, {"encrypted flag", 86, 1},
                                    {"password length", 87, 1}};
  std::vector<Damaged> out;
  for (const Member& m : members) {
    const std::uint64_t sound = ReadLittle(b.files.dat, m.offset, m.width);
    const std::string name = m.name;
    std::vector<std::uint64_t> values =
        Values(m.width, sound, name == "record size" || name == "field count" || name == "BLOB block size");
    if (name == "version") values = {0, 1, 2, 3, 4, 5, 6, 7, 128, 255};
    for (std::uint64_t v : values) {
      Damaged d{name + " = " + Hex(v), b.files};
      WriteLittle(d.files.dat, m.offset, m.width, v);
      out.push_back(std::move(d));
    }
  }
  return out;
}

std::vector<Damaged> DescriptorDamage(const Base& b) {
  const Layout& l = b.layout;
  const bool current = l.version >= 6;
  const std::vector<Member> members =
      current ? std::vector<Member>{{"name length", 2, 1}, {"type", 164, 1},          {"sub-type", 165, 1},
                                    {"size", 166, 2},      {"physical size", 169, 2}, {"offset", 172, 2}}
              : std::vector<Member>{{"name length", 2, 1}, {"type", 84, 1},  {"sub-type", 85, 1},
                                    {"size", 86, 1},       {"offset", l.FieldOffsetMember(), 2}};
  std::vector<Damaged> out;
  for (std::size_t field = 0; field < l.field_count; ++field) {
    for (const Member& m : members) {
      const std::size_t at = l.Descriptor(field) + m.offset;
      std::vector<std::uint64_t> values = Values(m.width, ReadLittle(b.files.dat, at, m.width), false);
      // A field of another type reads the same bytes another way.
      if (std::string(m.name) == "type" && field < 2) {
        for (std::uint64_t type = 2; type <= 24; ++type) values.push_back(type);
      }
      for (std::uint64_t v : values) {
        Damaged d{"field " + std::to_string(field + 1) + " " + m.name + " = " + Hex(v), b.files};
        WriteLittle(d.files.dat, at, m.width, v);
        out.push_back(std::move(d));
      }
    }
  }
  return out;
}

std::vector<Damaged> Cuts(const Base& b) {
  const Layout& l = b.layout;
  // Normal records among the first k.
  auto normal_before = [&](std::size_t k) {
    std::size_t n = 0;
    for (std::size_t r = 0; r < k; ++r) n += b.def.records[r].status != 1 && b.def.records[r].status != 2;
    return n;
  };
  std::vector<Damaged> out;
  auto cut_dat = [&](std::size_t size, const std::string& label) {
    Damaged d{"table cut at " + std::to_string(size) + " (" + label + ")", b.files};
    d.files.dat.resize(size);
    out.push_back(std::move(d));
    return &out.back();
  };
  for (std::size_t field = 0; field <= l.field_count; ++field) {
    const std::size_t at = l.Descriptor(field);
    for (std::size_t size : {at - 1, at, at + 1}) cut_dat(size, "descriptor " + std::to_string(field));
  }
  for (std::size_t record = 1; record <= l.record_count; ++record) {
    const std::size_t at = l.Record(record);
    // At the boundary, and a byte after it (one byte is no record): the
    // records before the cut, exactly.
    for (std::size_t size : {at, at + 1}) {
      Damaged* d = cut_dat(size, "record " + std::to_string(record));
      d->known_lines = true;
      d->exact_lines = d->total_lines = 2 + normal_before(record);
    }
    // A byte short: the last record is read with a zero in place of its
    // last byte, so only the lines before it are known exactly.
    Damaged* d = cut_dat(at - 1, "record " + std::to_string(record));
    d->known_lines = true;
    d->exact_lines = 2 + normal_before(record - 1);
    d->total_lines = 2 + normal_before(record);
  }
  cut_dat(0, "empty");
  // The BLOB file, at every block boundary of the first chain and a byte
  // either side.
  for (std::size_t k = 0; k <= l.first_chain_blocks; ++k) {
    for (std::size_t size : {l.Block(k) - 1, l.Block(k), l.Block(k) + 1, l.Block(k) + 18}) {
      Damaged d{"BLOB file cut at " + std::to_string(size), b.files};
      d.files.blb.resize(size);
      out.push_back(std::move(d));
    }
  }
  Damaged missing{"no BLOB file", b.files};
  missing.files.blb.clear();
  out.push_back(std::move(missing));
  return out;
}

std::vector<Damaged> ChainDamage(const Base& b) {
  const Layout& l = b.layout;
  const std::size_t blocks_in_file = (b.files.blb.size() - 512) / l.block_size;
  std::vector<Damaged> out;
  auto patch_blb = [&](const std::string& label, std::size_t at, std::size_t width, std::uint64_t v) {
    Damaged d{label + " = " + Hex(v), b.files};
    WriteLittle(d.files.blb, at, width, v);
    out.push_back(std::move(d));
  };
  const std::vector<std::pair<std::string, std::int64_t>> nexts = {
      {"end", 0},
      {"first block", l.Reference(0)},
      {"header", 1},
      {"past the file", l.Reference(blocks_in_file + 5)},
      {"far past the file", 0x7FFFFFFF},
      {"negative", -1},
      {"most negative", INT32_MIN},
      {"between blocks", l.Reference(1) + 7},
  };
  for (std::size_t k = 0; k < l.first_chain_blocks; ++k) {
    const std::size_t block = l.Block(k);
    const std::string name = "block " + std::to_string(k + 1);
    for (const auto& [what, next] : nexts) {
      patch_blb(name + " next (" + what + ")", block + 4, 4, static_cast<std::uint32_t>(next));
    }
    patch_blb(name + " next (itself)", block + 4, 4, static_cast<std::uint32_t>(l.Reference(k)));
    for (std::uint64_t count : {0ULL, 1ULL, 0xFFFFULL, 0x8000ULL}) patch_blb(name + " data count", block + 8, 2, count);
  }
  for (std::uint64_t total : {0ULL, 1ULL, 0x7FFFFFFFULL, 0xFFFFFFFFULL, 0x80000000ULL}) {
    patch_blb("total length", l.Block(0) + 14, 4, total);
  }
  // The record's reference to its first block.
  const std::size_t field_offset =
      ReadLittle(b.files.dat, l.Descriptor(b.memo_field) + l.FieldOffsetMember(), 2);
  const std::size_t reference_at = l.Record(0) + field_offset + 1;
  for (std::int64_t reference : {std::int64_t{0}, std::int64_t{1}, std::int64_t{0x7FFFFFFF}, std::int64_t{-1},
                                 std::int64_t{INT32_MIN}, l.Reference(1), l.Reference(blocks_in_file),
                                 l.Reference(0) + 3}) {
    Damaged d{"reference = " + Hex(static_cast<std::uint32_t>(reference)), b.files};
    WriteLittle(d.files.dat, reference_at, 4, static_cast<std::uint32_t>(reference));
    out.push_back(std::move(d));
  }
  // A BLOB file of nothing but its header, and one of nothing at all.
  Damaged header_only{"BLOB file of its header only", b.files};
  header_only.files.blb.resize(512);
  out.push_back(std::move(header_only));
  return out;
}

// ---------------------------------------------------------------- running tabdump

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start + 2));
  }
  return lines;
}

// "Exception E in module tabdump at 0040ABCD." and the message, one line
// each, E being one of the reader's classes.
bool IsRefusalReport(const std::string& output) {
  const std::size_t first_end = output.find('\n');
  if (first_end == std::string::npos || first_end + 1 >= output.size()) return false;
  const std::string first = output.substr(0, first_end);
  const std::string message = output.substr(first_end + 1);
  bool known_class = false;
  for (const char* name : {"EZelFileException", "EZelCryptException", "EZelInvalidSignatureException"}) {
    known_class = known_class || first.starts_with("Exception " + std::string(name) + " in module tabdump at ");
  }
  const std::size_t at = first.rfind(" at ");
  const std::string address = first.substr(at + 4);
  const bool address_ok = address.size() == 9 && address.back() == '.' &&
                          address.find_first_not_of("0123456789ABCDEF") == 8;
  return known_class && address_ok && message.size() >= 3 && message.find('\n') == message.size() - 1 &&
         message[message.size() - 2] == '.';
}

bool SanitizedBuild() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#else
  return false;
#endif
}

class CorruptTableCorpus : public EndToEnd, public ::testing::WithParamInterface<std::size_t> {
 protected:
  struct Outcome {
    testing::ChildResult run;
    std::string target;
  };

  Outcome Convert(const TableFiles& files) {
    WriteFiles(files, Path("t.dat"));
    fs::remove(Path("out.txt"));
    // A sanitizer's findings must not pass for the program's own exit
    // status 1, and freed memory it holds back must not count as use.
    const std::vector<std::string> environment = {
        "ASAN_OPTIONS=exitcode=86:quarantine_size_mb=8:detect_leaks=1",
        "UBSAN_OPTIONS=exitcode=87:print_stacktrace=1", "LC_ALL=C"};
    Outcome outcome;
    outcome.run = RunProgram({TABDUMP_EXE, Path("t.dat"), Path("out.txt"), "/h", "/f"}, 30, environment,
                             Path("stderr.txt"));
    outcome.target = ReadFile(Path("out.txt"));
    return outcome;
  }

  void Check(const Damaged& d, const std::string& sound_output, long limit_kb) {
    SCOPED_TRACE(d.label);
    const Outcome o = Convert(d.files);
    const testing::ChildResult& run = o.run;
    ASSERT_FALSE(run.timed_out) << "still running after 30 s";
    EXPECT_LE(run.peak_rss_kb, limit_kb);
    ASSERT_TRUE(run.exit_status == 0 || run.exit_status == 1)
        << "exit status " << run.exit_status << ", signal " << run.signal << "\n"
        << ReadFile(Path("stderr.txt")).substr(0, 3000);
    if (run.exit_status == 0) {
      EXPECT_EQ(run.output, "");
      EXPECT_TRUE(o.target.empty() || o.target.ends_with("\r\n")) << o.target.substr(0, 200);
      if (d.known_lines) {
        const std::vector<std::string> got = Lines(o.target);
        const std::vector<std::string> sound = Lines(sound_output);
        ASSERT_EQ(got.size(), d.total_lines);
        for (std::size_t i = 0; i < d.exact_lines; ++i) EXPECT_EQ(got[i], sound[i]) << "line " << i;
      }
      return;
    }
    EXPECT_TRUE(IsRefusalReport(run.output)) << run.output;
    EXPECT_FALSE(d.known_lines) << "a cut through the records is no error";
  }

  void CheckAll(const std::function<std::vector<Damaged>(const Base&)>& damage) {
    const Base& b = Bases()[GetParam()];
    const Outcome sound = Convert(b.files);
    ASSERT_EQ(sound.run.exit_status, 0) << sound.run.output;
    ASSERT_EQ(Lines(sound.target).size(), 4u);  // header, types and two records
    // The memory of a sound run, and a margin well short of what a
    // length read from a damaged file could make the program take.
    const long limit_kb = sound.run.peak_rss_kb + (SanitizedBuild() ? 48 : 24) * 1024;
    EXPECT_LT(sound.run.peak_rss_kb, (SanitizedBuild() ? 96 : 16) * 1024);
    const std::vector<Damaged> all = damage(b);
    ASSERT_FALSE(all.empty());
    for (const Damaged& d : all) Check(d, sound.target, limit_kb);
  }
};

TEST_P(CorruptTableCorpus, HeaderMembers) { CheckAll(HeaderDamage); }
TEST_P(CorruptTableCorpus, DescriptorMembers) { CheckAll(DescriptorDamage); }
TEST_P(CorruptTableCorpus, Cuts) { CheckAll(Cuts); }
TEST_P(CorruptTableCorpus, BlobChains) { CheckAll(ChainDamage); }

INSTANTIATE_TEST_SUITE_P(Layouts, CorruptTableCorpus, ::testing::Values(0u, 1u, 2u),
                         [](const ::testing::TestParamInfo<std::size_t>& param) {
                           return Bases()[param.param].name;
                         });

}  // namespace
}  // namespace tabdump::testing
