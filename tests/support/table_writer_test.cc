// Checks the writer against offsets worked out by hand from the file layouts,
// so that reader tests built on it rest on known bytes.
#include "tests/support/table_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tabdump::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
  if (at + n > b.size()) return {};
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::filesystem::path TempDir() {
#ifdef TABDUMP_TEST_TMP
  std::filesystem::path dir = TABDUMP_TEST_TMP;
#else
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tabdump_writer_test";
#endif
  std::filesystem::create_directories(dir);
  return dir;
}

Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(TableWriter, Version6HeaderDescriptorsAndRecords) {
  TableDef def;
  def.fields = {{"Id", kInteger, kSubAutoInc, 4}, {"Name", kString, 0, 5}};
  def.records = {{0, {Value::Int32(0x01020304), Value::Str("Bob")}}, {1, {Value::Null(), Value::Null()}}};
  def.blob_block_size = 1024;
  def.encrypted = 1;
  def.description = "d";
  const Bytes dat = BuildTable(def).dat;

  // Header 512 + 2 descriptors of 768; records of 1 + (1+4) + (1+6) = 13 bytes.
  ASSERT_EQ(dat.size(), 2048u + 2 * 13);
  EXPECT_EQ(dat[8], 6);
  EXPECT_EQ(Slice(dat, 41, 4), (Bytes{1, 0, 0, 0}));  // the deleted record is not counted
  EXPECT_EQ(Slice(dat, 45, 2), (Bytes{13, 0}));
  EXPECT_EQ(Slice(dat, 47, 2), (Bytes{2, 0}));
  EXPECT_EQ(Slice(dat, 51, 4), (Bytes{0, 4, 0, 0}));
  EXPECT_EQ(Slice(dat, 71, 2), (Bytes{1, 'd'}));
  EXPECT_EQ(dat[172], 1);

  // Descriptor 0 at 512: name at +2, type +164, sub-type +165, size +166,
  // physical size +169, offset +172.
  EXPECT_EQ(Slice(dat, 514, 3), (Bytes{2, 'I', 'd'}));
  EXPECT_EQ(Slice(dat, 676, 4), (Bytes{6, 29, 4, 0}));
  EXPECT_EQ(Slice(dat, 681, 2), (Bytes{4, 0}));
  EXPECT_EQ(Slice(dat, 684, 2), (Bytes{1, 0}));
  // Descriptor 1 at 1280.
  EXPECT_EQ(Slice(dat, 1282, 5), Text("\x04Name"));
  EXPECT_EQ(Slice(dat, 1444, 4), (Bytes{1, 0, 5, 0}));
  EXPECT_EQ(Slice(dat, 1449, 2), (Bytes{6, 0}));
  EXPECT_EQ(Slice(dat, 1452, 2), (Bytes{6, 0}));

  // Records from 2048; in version 6 an auto-increment keeps its presence byte.
  EXPECT_EQ(Slice(dat, 2048, 13), (Bytes{0, 1, 4, 3, 2, 1, 1, 'B', 'o', 'b', 0, 0, 0}));
  EXPECT_EQ(Slice(dat, 2061, 13), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(TableWriter, LegacyHeaderDescriptorsAndRecords) {
  struct Case {
    std::uint8_t version;
    std::size_t descriptor_size;
    std::size_t offset_slot;  // where the descriptor keeps the field's offset
  };
  for (const Case c : {Case{4, 768, 90}, Case{2, 265, 88}}) {
    SCOPED_TRACE(static_cast<int>(c.version));
    TableDef def;
    def.version = c.version;
    def.fields = {{"Id", kInteger, kSubAutoInc, 4}, {"Name", kString, 0, 5}};
    def.records = {{0, {Value::Int32(7), Value::Str("Al")}},
                    {2, {Value::Int32(8), Value::Null()}},
                    {0, {Value::Int32(9), Value::Str("Bo")}}};
    def.blob_block_size = 256;
    def.encrypted = 1;
    def.stored_password = "pw";
    const Bytes dat = BuildTable(def).dat;

    // The legacy auto-increment value starts at its offset (1..4) with no
    // presence byte; Name's presence byte follows at 5: records of 12 bytes.
    const std::size_t d = c.descriptor_size;
    const std::size_t records = 127 + 2 * d;
    ASSERT_EQ(dat.size(), records + 3 * 12);
    EXPECT_EQ(Slice(dat, 4, 4), (Bytes{0, 1, 0, 0}));
    EXPECT_EQ(dat[8], c.version);
    EXPECT_EQ(Slice(dat, 13, 4), (Bytes{3, 0, 0, 0}));  // two live records, stored plus one
    EXPECT_EQ(Slice(dat, 21, 4), (Bytes{12, 0, 2, 0}));
    EXPECT_EQ(dat[86], 1);
    EXPECT_EQ(Slice(dat, 87, 3), Text("\x02pw"));

    EXPECT_EQ(Slice(dat, 129, 3), Text("\x02Id"));
    EXPECT_EQ(Slice(dat, 127 + 84, 3), (Bytes{6, 29, 4}));
    EXPECT_EQ(Slice(dat, 127 + c.offset_slot, 2), (Bytes{1, 0}));
    EXPECT_EQ(Slice(dat, 127 + d + 2, 5), Text("\x04Name"));
    EXPECT_EQ(Slice(dat, 127 + d + 84, 3), (Bytes{1, 0, 5}));
    EXPECT_EQ(Slice(dat, 127 + d + c.offset_slot, 2), (Bytes{5, 0}));

    EXPECT_EQ(Slice(dat, records, 12), (Bytes{0, 7, 0, 0, 0, 1, 'A', 'l', 0, 0, 0, 0}));
    EXPECT_EQ(Slice(dat, records + 12, 12), (Bytes{2, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(dat, records + 24, 12), (Bytes{0, 9, 0, 0, 0, 1, 'B', 'o', 0, 0, 0, 0}));

    def.record_count = 0;
    EXPECT_EQ(Slice(BuildTable(def).dat, 13, 4), (Bytes{1, 0, 0, 0}));
    def.record_count = -1;
    EXPECT_EQ(Slice(BuildTable(def).dat, 13, 4), (Bytes{0, 0, 0, 0}));
  }
}

TEST(TableWriter, BlobChainOfThreeBlocksInBothLayouts) {
  struct Case {
    std::uint8_t version;
    std::size_t record_start;  // header + one descriptor
    std::int32_t refs[3];      // block numbers from version 5, byte offsets before
  };
  std::string contents(1000, '\0');
  for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>('a' + i % 26);

  for (const Case& c : {Case{6, 512 + 768, {1, 2, 3}}, Case{4, 127 + 768, {512, 1024, 1536}}}) {
    SCOPED_TRACE(static_cast<int>(c.version));
    TableDef def;
    def.version = c.version;
    def.fields = {{"Notes", kBlob, kSubMemo}};
    def.records = {{0, {Value::Blob(contents)}}};
    const TableFiles files = BuildTable(def);

    EXPECT_EQ(Slice(files.dat, c.record_start, 6),
              (Bytes{0, 1, static_cast<std::uint8_t>(c.refs[0] & 0xFF), static_cast<std::uint8_t>(c.refs[0] >> 8), 0, 0}));
    // 512-byte file header, then blocks of 512: 494 + 494 + 12 data bytes.
    ASSERT_EQ(files.blb.size(), 512u + 3 * 512);
    const std::uint16_t counts[3] = {494, 494, 12};
    const std::int32_t next[3] = {c.refs[1], c.refs[2], 0};
    std::size_t taken = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      const std::size_t block = 512 + 512 * j;
      EXPECT_EQ(Slice(files.blb, block + 4, 4),
                (Bytes{static_cast<std::uint8_t>(next[j] & 0xFF), static_cast<std::uint8_t>(next[j] >> 8), 0, 0}));
      EXPECT_EQ(Slice(files.blb, block + 8, 2),
                (Bytes{static_cast<std::uint8_t>(counts[j] & 0xFF), static_cast<std::uint8_t>(counts[j] >> 8)}));
      EXPECT_EQ(Slice(files.blb, block + 14, 4), j == 0 ? (Bytes{0xE8, 0x03, 0, 0}) : (Bytes{0, 0, 0, 0}));
      EXPECT_EQ(Slice(files.blb, block + 18, counts[j]), Text(contents.substr(taken, counts[j])));
      taken += counts[j];
    }
  }
}

TEST(TableWriter, DamagedBlobChains) {
  TableDef def;
  def.fields = {{"B", kBlob}};
  BlobShape looping{{0, 6}, 0x7FFFFFFF, true, {}};
  BlobShape dangling{{}, {}, false, 99};
  def.records = {{0, {Value::Blob("x")}},
                  {0, {Value::Blob("abcdef", looping)}},
                  {0, {Value::Blob("z", dangling)}},
                  {0, {Value::BlobRef(-7)}}};
  const TableFiles files = BuildTable(def);

  const std::size_t records = 512 + 768;  // records of 1 + 1 + 8 bytes
  EXPECT_EQ(Slice(files.dat, records + 10 + 2, 4), (Bytes{2, 0, 0, 0}));
  EXPECT_EQ(Slice(files.dat, records + 20 + 2, 4), (Bytes{4, 0, 0, 0}));
  EXPECT_EQ(Slice(files.dat, records + 30 + 2, 4), (Bytes{0xF9, 0xFF, 0xFF, 0xFF}));
  ASSERT_EQ(files.blb.size(), 512u + 4 * 512);
  // Block 2 at 1024: on to block 3, no data, a 2 GB total.
  EXPECT_EQ(Slice(files.blb, 1024 + 4, 14), (Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}));
  // Block 3 at 1536 leads back to block 2.
  EXPECT_EQ(Slice(files.blb, 1536 + 4, 6), (Bytes{2, 0, 0, 0, 6, 0}));
  EXPECT_EQ(Slice(files.blb, 1536 + 18, 6), Text("abcdef"));
  // Block 4 at 2048 points past the end of the file.
  EXPECT_EQ(Slice(files.blb, 2048 + 4, 4), (Bytes{99, 0, 0, 0}));

  // Without a .blb the references stay.
  def.blob_file = false;
  const TableFiles no_blb = BuildTable(def);
  EXPECT_TRUE(no_blb.blb.empty());
  EXPECT_EQ(no_blb.dat, files.dat);
}

TEST(TableWriter, PackedDecimal) {
  struct Case {
    const char* text;
    int digits, scale;
    Bytes expected;
  };
  const Case cases[] = {
      {"123.45", 5, 2, {5, 0x02, 0x12, 0x34, 0x50}},
      {"-123.45", 5, 2, {5, 0x82, 0x12, 0x34, 0x50}},
      {".123456", 6, 6, {6, 0x06, 0x12, 0x34, 0x56}},
      {"7", 3, 1, {3, 0x01, 0x07, 0x00}},
      {"0012.3", 6, 2, {6, 0x02, 0x00, 0x12, 0x30}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Value::Bcd(c.text, c.digits, c.scale).bytes, c.expected) << c.text;
  }
  EXPECT_THROW(Value::Bcd("123.4", 4, 2), std::invalid_argument);
  EXPECT_THROW(Value::Bcd("1.234", 5, 2), std::invalid_argument);
}

TEST(TableWriter, DayNumbers) {
  EXPECT_EQ(DayNumber(1, 1, 1), 1);
  EXPECT_EQ(DayNumber(1899, 12, 30), 693594);
  EXPECT_EQ(DayNumber(1970, 1, 1), 693594 + 25569);
  EXPECT_EQ(DayNumber(2000, 3, 1), 693594 + 36586);
  EXPECT_THROW(DayNumber(2001, 2, 29), std::invalid_argument);
}

TEST(TableWriter, HeaderLiesAndFileDamage) {
  TableDef def;
  def.fields = {{"N", kInteger}};
  def.records = {{0, {Value::Int32(0x11223344)}}};
  def.record_count = 9;
  def.field_count = 3;
  def.record_size = 4;  // the value's last two bytes fall outside
  def.trailing_bytes = {0xAA, 0xBB};
  Bytes dat = BuildTable(def).dat;
  ASSERT_EQ(dat.size(), 1280u + 4 + 2);
  EXPECT_EQ(Slice(dat, 41, 8), (Bytes{9, 0, 0, 0, 4, 0, 3, 0}));
  EXPECT_EQ(Slice(dat, 1280, 6), (Bytes{0, 1, 0x44, 0x33, 0xAA, 0xBB}));

  def.dat_size = 1283;
  EXPECT_EQ(BuildTable(def).dat, Slice(dat, 0, 1283));

  def.records[0].values[0] = Value::Int64(1);  // 8 bytes into a 4-byte field
  EXPECT_THROW(BuildTable(def), std::invalid_argument);
}

TEST(TableWriter, StreamedFilesMatchBuiltBytes) {
  TableDef def;
  def.version = 5;
  def.fields = {{"Id", kInteger}, {"Memo", kBlob, kSubMemo}};
  const RecordDef first{0, {Value::Int32(1), Value::Blob(std::string(600, 'm'))}};
  const RecordDef second{1, {Value::Int32(2), Value::Null()}};
  const RecordDef third{0, {Value::Int32(3), Value::Blob("short")}};
  def.records = {first};
  const auto dat_path = (TempDir() / "streamed.dat").string();
  {
    TableFileWriter writer(def, dat_path);
    writer.Add(second);
    writer.Add(third);
    writer.Close();
  }
  def.records = {first, second, third};
  const TableFiles built = BuildTable(def);
  EXPECT_EQ(Slice(built.dat, 13, 4), (Bytes{3, 0, 0, 0}));
  EXPECT_EQ(ReadFile(dat_path), built.dat);
  EXPECT_EQ(ReadFile(TempDir() / "streamed.blb"), built.blb);

  // Rewriting the table without BLOB data drops the old .blb.
  def.records = {second};
  WriteTable(def, dat_path);
  EXPECT_EQ(ReadFile(dat_path), BuildTable(def).dat);
  EXPECT_FALSE(std::filesystem::exists(TempDir() / "streamed.blb"));
}

}  // namespace
}  // namespace tabdump::testing
