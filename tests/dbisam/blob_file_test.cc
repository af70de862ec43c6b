// BLOB fields: chains of blocks in the .blb beside the table, in both block
// layouts, and chains that are damaged or lie about their length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/dbisam/reader_harness.h"

namespace tabdump::testing {
namespace {

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7) % 26);
  return s;
}

void WriteBytes(const std::vector<std::uint8_t>& bytes, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Builds the table and writes it with a BLOB file header of non-zero bytes:
// the header is not a block, and a reader that wanders into it (block 0, or
// offset 0 in the older layout) picks up those bytes.
void LoadWithBlobFile(LoadedTable& t, const TableDef& def, const std::string& file_name) {
  TableFiles files = BuildTable(def);
  ASSERT_GE(files.blb.size(), 512u);
  std::fill(files.blb.begin(), files.blb.begin() + 512, std::uint8_t{'H'});
  t.path = TempPath(file_name);
  WriteFiles(files, t.path);
  t.Load(files, t.path);
}

// Reads the next record and checks that its BLOB field (the last one) came
// out as `expected` text with ictMemo.
void ExpectBlob(LoadedTable& t, const std::string& expected) {
  ASSERT_TRUE(t.Read());
  ASSERT_FALSE(t.cells.empty());
  const CellCall& cell = t.cells.back();
  EXPECT_TRUE(SameValue(cell.value, Variant(expected)));
  EXPECT_EQ(cell.alignment, taLeftJustify);
  EXPECT_EQ(cell.cell_type, ictMemo);
}

// Versions 5 and up number the blocks after the 512-byte file header;
// versions up to 4 store byte offsets.  Several chains in a row show that
// each later chain is found where it starts.
TEST(BlobFile, ChainsInBothLayouts) {
  struct Case {
    std::uint8_t version;
    std::int32_t block_size;
  };
  const std::string long_text = Pattern(1000);
  for (const Case c : {Case{6, 512}, Case{6, 100}, Case{5, 512}, Case{4, 512}, Case{4, 100}, Case{2, 256}}) {
    SCOPED_TRACE("version " + std::to_string(c.version) + ", blocks of " + std::to_string(c.block_size));
    TableDef def;
    def.version = c.version;
    def.blob_block_size = c.block_size;
    def.fields = {{"Id", kInteger}, {"Memo", kBlob, kSubMemo}};
    def.records = {{0, {Value::Int32(1), Value::Blob(long_text)}},
                    {0, {Value::Int32(2), Value::Blob("hello")}},
                    {0, {Value::Int32(3), Value::Blob("")}},
                    {0, {Value::Int32(4), Value::Null()}},
                    {0, {Value::Int32(5), Value::Blob(Pattern(c.block_size - 18) + "!")}}};
    LoadedTable t;
    LoadWithBlobFile(t, def, "chains_v" + std::to_string(c.version) + "_" + std::to_string(c.block_size) + ".dat");
    ExpectBlob(t, long_text);
    ExpectBlob(t, "hello");
    ExpectBlob(t, "");
    ASSERT_TRUE(t.Read());
    EXPECT_TRUE(SameValue(t.cells.back().value, Variant::Null()));
    EXPECT_EQ(t.cells.back().cell_type, ictEmpty);
    ExpectBlob(t, Pattern(static_cast<std::size_t>(c.block_size - 18)) + "!");
  }
}

// A BLOB field holds a block number, taken positive when stored negative.
// Without ipiBLOB the number itself is delivered.
TEST(BlobFile, BlockNumbers) {
  for (const std::uint8_t version : std::initializer_list<std::uint8_t>{6, 4}) {
    SCOPED_TRACE("version " + std::to_string(version));
    const std::int32_t seventh = version >= 5 ? 7 : 512 + 6 * 512;  // where the 7th block starts
    TableDef def;
    def.version = version;
    def.fields = {{"B", kBlob}};
    for (int i = 1; i <= 6; ++i) def.records.push_back({0, {Value::Blob("filler " + std::to_string(i))}});
    def.records.push_back({0, {Value::Blob("seventh")}});
    def.records.push_back({0, {Value::BlobRef(-seventh)}});
    def.records.push_back({0, {Value::BlobRef(0)}});
    {
      LoadedTable t;
      LoadWithBlobFile(t, def, "numbers.dat");
      for (int i = 1; i <= 6; ++i) ExpectBlob(t, "filler " + std::to_string(i));
      ExpectBlob(t, "seventh");
      ExpectBlob(t, "seventh");
      ASSERT_TRUE(t.Read());
      EXPECT_TRUE(SameValue(t.Only().value, Variant::Null()));
      EXPECT_EQ(t.Only().cell_type, ictEmpty);
    }
    {
      LoadedTable t;
      t.reader.ParseItems.Exclude(ipiBLOB);
      t.Load(BuildTable(def));  // no file name: the .blb must not be needed
      for (int i = 0; i < 6; ++i) ASSERT_TRUE(t.Read());
      for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(t.Read());
        EXPECT_TRUE(SameValue(t.Only().value, seventh));
        EXPECT_EQ(t.Only().alignment, taLeftJustify);
        EXPECT_EQ(t.Only().cell_type, ictInteger);
      }
      ASSERT_TRUE(t.Read());
      EXPECT_TRUE(SameValue(t.Only().value, Variant::Null()));
    }
  }
}

// A missing .blb gives empty text (not null), and is looked for again at the
// next BLOB read.
TEST(BlobFile, MissingFileGivesEmptyTextUntilItAppears) {
  TableDef def;
  def.fields = {{"B", kBlob, kSubMemo}};
  def.records = {{0, {Value::Blob("first")}}, {0, {Value::Blob("second")}}};
  const TableFiles with_blb = BuildTable(def);
  def.blob_file = false;
  LoadedTable t;
  t.LoadWithFiles(def, "late.dat");
  ASSERT_FALSE(std::filesystem::exists(BlobPathFor(t.path)));
  ExpectBlob(t, "");
  WriteBytes(with_blb.blb, BlobPathFor(t.path));
  ExpectBlob(t, "second");
}

// Damaged chains end where the damage is, and the text holds only what the
// blocks really supplied.
TEST(BlobFile, DamagedChainsStop) {
  struct Case {
    const char* label;
    Value value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"loop back to the first block", Value::Blob("abcdef", {{3, 3}, 100, true, {}}), "abcdef"},
      {"next block past the file", Value::Blob("abc", {{}, 10, false, 99}), "abc"},
      {"next block number negative", Value::Blob("abc", {{}, 10, false, -2}), "abc"},
      {"first block without data", Value::Blob("abcdef", {{0, 6}, {}, false, {}}), ""},
      {"second block without data", Value::Blob("abcdef", {{6, 0}, 20, false, {}}), "abcdef"},
      {"total 0", Value::Blob("abc", {{}, 0, false, {}}), ""},
      {"negative total", Value::Blob("abc", {{}, -5, false, {}}), ""},
      {"total shorter than the data", Value::Blob("abcdefgh", {{3, 5}, 5, false, {}}), "abcde"},
      {"first block past the file", Value::BlobRef(1000), ""},
      {"total of 2 GB", Value::Blob("xyz", {{}, 0x7FFFFFFF, false, {}}), "xyz"},
  };
  TableDef def;
  def.fields = {{"B", kBlob}};
  for (const Case& c : cases) def.records.push_back({0, {c.value}});
  LoadedTable t;
  LoadWithBlobFile(t, def, "damaged.dat");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ExpectBlob(t, c.expected);
  }
  // The 2 GB total must not have been reserved.
  EXPECT_LT(t.cells.back().string_capacity, std::size_t{1} << 20);
}

// Data byte counts larger than a block, and a block cut short by the end of
// the file, give no bytes that are not in the file.
TEST(BlobFile, CountsBeyondTheBlockOrTheFileAreCut) {
  TableDef def;
  def.blob_block_size = 64;  // 46 data bytes a block
  def.fields = {{"B", kBlob}};
  def.records = {{0, {Value::Blob(Pattern(46))}}, {0, {Value::Blob("0123456789")}}};
  TableFiles files = BuildTable(def);
  ASSERT_EQ(files.blb.size(), 512u + 2 * 64);
  // Block 1: a count of 0xFFFF and a total of 1000.
  files.blb[512 + 8] = 0xFF;
  files.blb[512 + 9] = 0xFF;
  files.blb[512 + 14] = 0xE8;
  files.blb[512 + 15] = 0x03;
  // Block 2 loses all but 4 of its 10 data bytes.
  files.blb.resize(512 + 64 + 18 + 4);
  LoadedTable t;
  t.path = TempPath("cut.dat");
  WriteFiles(files, t.path);
  t.Load(files, t.path);
  ExpectBlob(t, Pattern(46));
  ExpectBlob(t, "0123");
}

// Byte-offset block numbers (version 4) let a damaged chain step through
// blocks that overlap: here every 18 bytes a block header claims a full
// block of data and leads to the next one.  Each block is new to the chain,
// yet together they would gather the same bytes thousands of times over;
// the chain stops once it has read as much as the file holds.
TEST(BlobFile, OverlappingBlocksGatherNoMoreThanTheFile) {
  constexpr std::size_t kBlockSize = 32768;
  constexpr std::size_t kHeaders = 2000;
  std::vector<std::uint8_t> blb(512 + kHeaders * 18 + kBlockSize, 'd');
  for (std::size_t k = 0; k < kHeaders; ++k) {
    std::uint8_t* block = &blb[512 + k * 18];
    std::fill(block, block + 18, std::uint8_t{0});
    const auto next = static_cast<std::uint32_t>(k + 1 < kHeaders ? 512 + (k + 1) * 18 : 0);
    for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<std::uint8_t>(next >> (8 * i));
    block[8] = block[9] = 0xFF;  // data count: the most a block can hold
    block[14] = block[15] = block[16] = 0xFF;  // total: 2 GB
    block[17] = 0x7F;
  }
  TableDef def;
  def.version = 4;
  def.blob_block_size = static_cast<std::int32_t>(kBlockSize);
  def.fields = {{"B", kBlob}};
  def.records = {{0, {Value::BlobRef(512)}}, {0, {Value::BlobRef(512)}}};
  def.blob_file = false;
  TableFiles files = BuildTable(def);
  files.blb = blb;
  LoadedTable t;
  t.path = TempPath("overlap.dat");
  WriteFiles(files, t.path);
  t.Load(files, t.path);
  for (int record = 0; record < 2; ++record) {
    ASSERT_TRUE(t.Read());
    const Variant& value = t.Only().value;
    ASSERT_TRUE(value.IsString());
    EXPECT_LE(value.AsString().size(), blb.size());
    // The first block's data, all of it, comes first.
    EXPECT_GE(value.AsString().size(), kBlockSize - 18);
  }
}

TEST(BlobFile, BlockSizeOutsideTheLimitsRaisesOnTheFirstBlobRead) {
  struct Case {
    std::int32_t block_size;
    const char* message;  // empty: accepted
  };
  const Case cases[] = {
      {17, "Invalid table: the BLOB block size 17 is outside 18 to 32768."},
      {-512, "Invalid table: the BLOB block size -512 is outside 18 to 32768."},
      {32769, "Invalid table: the BLOB block size 32769 is outside 18 to 32768."},
      {18, ""},
      {32768, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("block size " + std::to_string(c.block_size));
    TableDef def;
    def.blob_block_size = c.block_size;
    def.blob_file = true;  // a .blb holding its file header only
    def.fields = {{"B", kBlob}};
    def.records = {{0, {Value::Null()}}, {0, {Value::BlobRef(1)}}};
    LoadedTable t;
    t.LoadWithFiles(def, "limits.dat");
    ASSERT_TRUE(t.Read());  // no BLOB to read yet
    if (*c.message != '\0') {
      ExpectRaises<EZelFileException>([&] { t.Read(); }, c.message);
    } else {
      ExpectBlob(t, "");
    }
  }
  {
    SCOPED_TRACE("a chain in blocks of 32768");
    TableDef def;
    def.blob_block_size = 32768;
    def.fields = {{"B", kBlob}};
    def.records = {{0, {Value::Blob(Pattern(40000))}}};
    LoadedTable t;
    t.LoadWithFiles(def, "big.dat");
    ExpectBlob(t, Pattern(40000));
  }
}

// A reader loaded again with another table reads that table's BLOB file,
// with that table's layout and block size.
TEST(BlobFile, EachLoadUsesItsOwnBlobFile) {
  TableDef first;
  first.fields = {{"B", kBlob}};
  first.records = {{0, {Value::Blob("from the first table")}}};
  TableDef second = first;
  second.version = 4;
  second.blob_block_size = 256;
  second.records = {{0, {Value::Blob("from the second table")}}};

  LoadedTable t;
  t.LoadWithFiles(first, "first.dat");
  ExpectBlob(t, "from the first table");
  t.LoadWithFiles(second, "second.dat");
  ExpectBlob(t, "from the second table");
}

TEST(BlobFile, FileNameBesideTheTable) {
  const std::pair<const char*, const char*> cases[] = {
      {"cust.dat", "cust.blb"},
      {"cust", "cust.blb"},
      {"dir/t.old.dat", "dir/t.old.blb"},
      {"sub.d/t", "sub.d/t.blb"},
      {"sub.d\\t", "sub.d\\t.blb"},
      {"c:t", "c:t.blb"},
      {"", ".blb"},
  };
  for (const auto& [table, blob] : cases) EXPECT_EQ(TDBISAM::BlobFileName(table), blob) << table;

  // A table without extension in a folder whose name has a dot.
  TableDef def;
  def.fields = {{"B", kBlob}};
  def.records = {{0, {Value::Blob("found")}}};
  const std::string folder = TempPath("sub.d");
  std::filesystem::create_directories(folder);
  LoadedTable t;
  t.path = folder + "/t";
  const TableFiles files = BuildTable(def);
  WriteFiles(files, t.path);
  ASSERT_TRUE(std::filesystem::exists(folder + "/t.blb"));
  t.Load(files, t.path);
  EXPECT_EQ(t.reader.Sheets.SheetAt(0).Caption, "t");
  ExpectBlob(t, "found");
}

}  // namespace
}  // namespace tabdump::testing
