// The table header and field descriptors in every layout, the queries on the
// table's shape, the load events and the refusal of malformed tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/dbisam/reader_harness.h"

namespace tabdump::testing {
namespace {

// The same four-field table in every layout family must come out the same:
// the legacy header and descriptors sit at other offsets and the legacy
// auto-increment value has no presence byte.
TEST(TableLayout, EveryVersionFamilyGivesTheSameTable) {
  for (const std::uint8_t version : std::initializer_list<std::uint8_t>{9, 6, 5, 4, 3, 2, 1, 0}) {
    SCOPED_TRACE("version " + std::to_string(version));
    const bool legacy = version < 6;
    TableDef def;
    def.version = version;
    def.fields = {{"Id", kInteger, kSubAutoInc, 4},
                   {"Name", kString, 0, 8},
                   {"Amount", kFloat, kSubCurrency},
                   {"When", kDate}};
    def.records = {{0, {Value::Int32(41), Value::Str("Ann"), Value::Float(2.5), Value::Date(693595)}},
                    {1, {Value::Int32(99), Value::Str("Gone"), Value::Float(1), Value::Date(693595)}},
                    {0, {Value::Int32(42).WithPresence(0), Value::Null(), Value::Null(), Value::Null()}}};
    def.blob_block_size = 1024;
    def.description = "Clients";
    LoadedTable t;
    t.Load(def);

    // Record: status, Id (presence byte only from version 6), Name 1 + 9,
    // Amount 1 + 8, When 1 + 4.
    const std::uint16_t record_size = legacy ? 29 : 30;
    const TDBISAMTableInfo info = t.Info();
    EXPECT_EQ(info.Version(), version);
    EXPECT_EQ(info.RecordCount(), 2);  // the deleted record is not counted
    EXPECT_EQ(info.RecordSize(), record_size);
    EXPECT_EQ(info.FieldCount(), 4);
    EXPECT_EQ(info.BlobBlockSize(), 1024);
    EXPECT_EQ(info.Description(), "Clients");
    EXPECT_FALSE(t.reader.IsEncrypted());

    struct Expected {
      const char* name;
      std::uint8_t type, sub_type;
      std::uint16_t size, physical_size, offset;
    };
    const std::uint16_t shift = legacy ? 1 : 0;
    const Expected fields[] = {
        {"Id", kInteger, kSubAutoInc, 4, 4, 1},
        {"Name", kString, 0, 8, 9, static_cast<std::uint16_t>(6 - shift)},
        {"Amount", kFloat, kSubCurrency, 0, 8, static_cast<std::uint16_t>(16 - shift)},
        {"When", kDate, 0, 0, 4, static_cast<std::uint16_t>(25 - shift)},
    };
    for (std::int32_t i = 0; i < 4; ++i) {
      const TDBISAMFieldInfo f = t.Field(i);
      const Expected& e = fields[i];
      EXPECT_EQ(f.Name(), e.name);
      EXPECT_EQ(f.FieldType(), e.type) << e.name;
      EXPECT_EQ(f.SubType(), e.sub_type) << e.name;
      EXPECT_EQ(f.Size(), e.size) << e.name;
      EXPECT_EQ(f.PhysicalSize(), e.physical_size) << e.name;
      EXPECT_EQ(f.Offset(), e.offset) << e.name;
    }

    ASSERT_TRUE(t.Read(0, 0));
    ASSERT_EQ(t.cells.size(), 4u);
    EXPECT_TRUE(SameValue(t.cells[0].value, 41));
    EXPECT_TRUE(SameValue(t.cells[1].value, "Ann"));
    EXPECT_TRUE(SameValue(t.cells[2].value, 2.5));
    EXPECT_TRUE(SameValue(t.cells[3].value, Variant::DateTime(1.0)));

    EXPECT_FALSE(t.Read(1, 1));
    EXPECT_TRUE(t.cells.empty());

    ASSERT_TRUE(t.Read(2, 1));
    ASSERT_EQ(t.cells.size(), 4u);
    EXPECT_TRUE(SameValue(t.cells[0].value, 42));  // auto-increment: never null
    for (std::size_t i = 1; i < 4; ++i) EXPECT_TRUE(SameValue(t.cells[i].value, Variant::Null())) << i;

    // The records started right after the descriptors and were read whole.
    EXPECT_EQ(t.Position(), t.Size());
    EXPECT_EQ(t.Size(), (legacy ? 127 : 512) + 4 * (version >= 3 ? 768 : 265) + 3 * record_size);
  }
}

// Every member of a legacy header and descriptor lands at its place in the
// current layout, and every other byte of the converted blocks stays zero.
// The legacy blocks are filled with a distinct byte at each position (apart
// from the members that keep the table loadable), so a member that is lost,
// misplaced or copied too short or too long shows as a wrong byte.
std::string Differences(const std::uint8_t* got, const std::vector<std::uint8_t>& want) {
  std::string out;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (got[i] != want[i]) {
      out += "byte " + std::to_string(i) + ": " + std::to_string(got[i]) + " instead of " +
             std::to_string(want[i]) + "\n";
    }
  }
  return out;
}

TEST(TableLayout, LegacyMembersLandInTheCurrentLayout) {
  auto pattern = [](std::size_t i) { return static_cast<std::uint8_t>(i + 100); };
  for (const std::uint8_t version : std::initializer_list<std::uint8_t>{5, 4, 3, 2, 0}) {
    SCOPED_TRACE("version " + std::to_string(version));
    const bool old_descriptor = version < 3;
    TableDef def;
    def.version = version;
    def.fields = {{"Id", kInteger, 0, 4}};
    TableFiles files = BuildTable(def);
    std::vector<std::uint8_t>& dat = files.dat;

    // Header: kept are the version (8), RecordSize and FieldCount (21-24)
    // and the encrypted flag (86, zero); the description is 50 characters.
    for (std::size_t i = 0; i < 127; ++i) {
      if (i != 8 && (i < 21 || i > 24) && i != 86) dat[i] = pattern(i);
    }
    dat[35] = 50;
    // Descriptor: kept are type, sub-type and size (84-86) and the offset;
    // the name is 20 characters and the four other texts 50 each.
    const std::size_t d = 127;
    const std::size_t d_size = old_descriptor ? 265 : 768;
    const std::size_t offset_at = old_descriptor ? 88 : 90;
    for (std::size_t i = 0; i < d_size; ++i) {
      if ((i < 84 || i > 86) && i != offset_at && i != offset_at + 1) dat[d + i] = pattern(i);
    }
    const std::size_t texts = old_descriptor ? 92 : 94;  // then 51 and 102 bytes on
    dat[d + 2] = 20;
    dat[d + 33] = 50;
    for (std::size_t k = 0; k < 3; ++k) dat[d + texts + 51 * k] = 50;

    LoadedTable t;
    t.Load(files);

    auto le32 = [](std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
      for (std::size_t k = 0; k < 4; ++k) v[at + k] = static_cast<std::uint8_t>(x >> (8 * k));
    };
    auto copy = [&](std::vector<std::uint8_t>& v, std::size_t to, std::size_t from, std::size_t n) {
      for (std::size_t k = 0; k < n; ++k) v[to + k] = dat[from + k];
    };
    std::vector<std::uint8_t> header(512, 0);
    copy(header, 0, 0, 4);
    header[8] = version;
    copy(header, 25, 9, 4);
    copy(header, 29, 13, 4);
    copy(header, 33, 17, 4);
    const std::uint32_t stored_count = 113u | 114u << 8 | 115u << 16 | 116u << 24;
    le32(header, 41, stored_count - 1);
    copy(header, 45, 21, 4);  // RecordSize, FieldCount
    copy(header, 49, 25, 2);
    copy(header, 51, 4, 4);
    if (version >= 4) {
      copy(header, 55, 112, 4);
    } else {
      le32(header, 55, (125u | 126u << 8) - stored_count - 1);
    }
    le32(header, 59, 4096);
    copy(header, 63, 27, 8);
    copy(header, 71, 35, 51);  // the length byte and 50 characters
    copy(header, 189, 103, 9);
    EXPECT_EQ(Differences(t.Info().Raw.data(), header), "");

    std::vector<std::uint8_t> field(768, 0);
    copy(field, 0, d, 2);
    copy(field, 2, d + 2, 21);
    copy(field, 63, d + 33, 51);
    field[164] = kInteger;
    field[166] = 4;   // Size
    field[169] = 4;   // PhysicalSize, from the type
    field[168] = field[171] = pattern(87);
    field[172] = 1;   // Offset
    field[174] = pattern(old_descriptor ? 90 : 92);
    if (version >= 4) field[175] = pattern(93);
    for (std::size_t k = 0; k < 3; ++k) copy(field, 176 + 101 * k, d + texts + 51 * k, 51);
    EXPECT_EQ(Differences(t.Field(0).Raw.data(), field), "");
  }
}

// Legacy descriptors hold no PhysicalSize: it follows from the type (and
// from Size for the types without a fixed width).  Fixed-width types get a
// Size of 9 here to show that it is not used for them.  Version 6 stores the
// same sizes, and OnColumnWidth reports them in every layout.
TEST(TableLayout, PhysicalSizeAndColumnWidths) {
  struct Case {
    std::uint8_t type;
    std::uint16_t size;
    std::uint16_t physical_size;
  };
  const Case cases[] = {
      {kString, 20, 21}, {kDate, 9, 4},      {kBlob, 9, 8},       {kBoolean, 9, 2},    {kShortInt, 9, 2},
      {kInteger, 9, 4},  {kFloat, 9, 8},     {kBcd, 9, 34},       {kBytes, 7, 7},      {kTime, 9, 4},
      {kTimeStamp, 9, 8}, {kUShortInt, 9, 2}, {kUInteger, 4, 4},   {kDouble, 8, 8},     {kVarBytes, 6, 6},
      {16, 5, 5},        {17, 3, 3},        {kLargeInt, 9, 8},   {kULargeInt, 8, 8},  {20, 11, 11},
      {23, 2, 2},        {0, 3, 3},         {30, 12, 12},
  };
  for (const std::uint8_t version : std::initializer_list<std::uint8_t>{6, 5, 2}) {
    SCOPED_TRACE("version " + std::to_string(version));
    TableDef def;
    def.version = version;
    for (const Case& c : cases) {
      FieldDef f("F" + std::to_string(c.type), c.type, 0, c.size);
      f.physical_size = c.physical_size;  // lay the record out the same way
      def.fields.push_back(f);
    }
    LoadedTable t;
    std::vector<std::int32_t> widths;
    t.reader.OnColumnWidth = [&](TCustomSpreadSheetFile*, std::int32_t sheet_no, std::int32_t column_no,
                                 std::int32_t width) {
      EXPECT_EQ(sheet_no, 0);
      EXPECT_EQ(column_no, static_cast<std::int32_t>(widths.size()));
      widths.push_back(width);
    };
    t.Load(def);
    ASSERT_EQ(widths.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      EXPECT_EQ(t.Field(static_cast<std::int32_t>(i)).PhysicalSize(), cases[i].physical_size)
          << "type " << static_cast<int>(cases[i].type);
      EXPECT_EQ(widths[i], cases[i].physical_size) << "type " << static_cast<int>(cases[i].type);
    }
  }
}

// Legacy BLOB fields keep only the sub-types at positions 0, 3 and 7 of the
// sub-type table, or codes that are not in it; current tables keep them all.
TEST(TableLayout, LegacyBlobSubTypes) {
  const std::vector<FieldDef> fields = {{"Binary", kBlob, kSubBinary}, {"Memo", kBlob, kSubMemo},
                                         {"Graphic", kBlob, kSubGraphic}, {"Odd", kBlob, 200},
                                         {"Money", kBlob, kSubCurrency},  {"Plain", kBlob, 0},
                                         {"Text", kString, kSubBinary, 4}};
  const std::uint8_t legacy_expected[] = {0, kSubMemo, kSubGraphic, 200, 0, 0, kSubBinary};
  const std::uint8_t current_expected[] = {kSubBinary, kSubMemo, kSubGraphic, 200, kSubCurrency, 0, kSubBinary};
  for (const std::uint8_t version : std::initializer_list<std::uint8_t>{6, 4, 1}) {
    SCOPED_TRACE("version " + std::to_string(version));
    TableDef def;
    def.version = version;
    def.fields = fields;
    LoadedTable t;
    t.Load(def);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(t.Field(static_cast<std::int32_t>(i)).SubType(),
                version < 6 ? legacy_expected[i] : current_expected[i])
          << fields[i].name;
    }
  }
}

// Legacy headers count one record more than they hold; the header count
// (not the records present) reaches OnDimensions and the load progress.
TEST(TableLayout, RecordCountReachesDimensionsAndProgress) {
  struct Case {
    std::uint8_t version;
    std::int32_t declared;  // the table's record count, as the writer is told
  };
  for (const Case c : {Case{6, 7}, Case{6, 0}, Case{4, 0}, Case{4, -1}, Case{1, 7}}) {
    SCOPED_TRACE("version " + std::to_string(c.version) + " count " + std::to_string(c.declared));
    TableDef def;
    def.version = c.version;
    def.fields = {{"A", kInteger}, {"B", kShortInt}};
    def.records = {{0, {Value::Int32(1), Value::Int16(2)}}};
    def.record_count = c.declared;
    LoadedTable t;
    int dimension_calls = 0;
    t.reader.OnDimensions = [&](TCustomSpreadSheetFile*, std::int32_t sheet_no, std::int32_t first_row,
                                std::int32_t last_row, std::int32_t first_column, std::int32_t last_column) {
      ++dimension_calls;
      EXPECT_EQ(sheet_no, 0);
      EXPECT_EQ(first_row, 0);
      EXPECT_EQ(last_row, c.declared);  // not minus one
      EXPECT_EQ(first_column, 0);
      EXPECT_EQ(last_column, 2);
    };
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    t.reader.OnLoadProgress = [&](TCustomSpreadSheetFile*, std::int64_t position, std::int64_t total) {
      progress.emplace_back(position, total);
    };
    t.Load(def);
    EXPECT_EQ(dimension_calls, 1);
    EXPECT_EQ(t.Info().RecordCount(), c.declared);
    ASSERT_TRUE(t.Read(5, 0));
    EXPECT_EQ(progress, (std::vector<std::pair<std::int64_t, std::int64_t>>{{5, c.declared}}));
  }
}

TEST(TableLayout, FieldTypeNames) {
  struct Case {
    std::uint8_t type, sub_type_index;
    const char* name;
  };
  const Case cases[] = {
      {1, 0, "String"},         {2, 0, "Date"},           {3, 3, "BLOB"},
      {4, 0, "Boolean"},        {5, 0, "Short Integer"},  {6, 0, "Integer"},
      {6, 10, "AutoInc"},       {6, 2, "Integer"},        {7, 0, "Float"},
      {7, 2, "Currency"},       {7, 10, "Float"},         {8, 0, "BCD"},
      {8, 2, "BCD"},            {9, 0, "Bytes"},          {10, 0, "Time"},
      {11, 0, "Time Stamp"},    {12, 0, "Unsigned Short Integer"},
      {13, 0, "Unsigned Integer"}, {14, 0, "Double"},     {15, 0, "Var Bytes"},
      {16, 0, "Lock Info"},     {17, 0, "Cursor"},        {18, 0, "Large Integer"},
      {19, 0, "Unsigned Large Integer"}, {20, 0, "ADT"},  {21, 0, "Array"},
      {22, 0, "Reference"},     {23, 0, "Table"},         {0, 0, "Unknow"},
      {24, 0, "Unknow"},        {255, 10, "Unknow"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TDBISAM::FieldTypeName(c.type, c.sub_type_index), c.name)
        << static_cast<int>(c.type) << ", " << static_cast<int>(c.sub_type_index);
  }
}

TEST(TableLayout, SubTypeIndex) {
  const std::pair<std::uint8_t, std::uint8_t> cases[] = {
      {0, 0}, {1, 1}, {2, 0}, {21, 2}, {22, 3}, {26, 7}, {29, 10}, {37, 18}, {50, 19}, {100, 20}, {99, 0}, {255, 0}};
  for (const auto& [code, index] : cases) {
    EXPECT_EQ(TDBISAM::SubTypeIndex(code), index) << static_cast<int>(code);
  }
}

TEST(TableLayout, ColumnIndexAndColumnNames) {
  TableDef def;
  def.fields = {{"Id", kInteger}, {"Name", kString, 0, 4}, {"\xC9t\xE9", kInteger}, {"name", kInteger}};
  LoadedTable t;
  t.Load(def);

  EXPECT_EQ(t.reader.ColumnIndex("Id"), 0);
  EXPECT_EQ(t.reader.ColumnIndex("NAME"), 1);  // the first match wins
  EXPECT_EQ(t.reader.ColumnIndex("iD"), 0);
  EXPECT_EQ(t.reader.ColumnIndex("\xC9t\xE9"), 2);
  EXPECT_EQ(t.reader.ColumnIndex("\xC9T\xE9"), 2);   // ASCII letters fold
  EXPECT_EQ(t.reader.ColumnIndex("\xE9t\xE9"), -1);  // other bytes do not
  EXPECT_EQ(t.reader.ColumnIndex("B"), -1);          // no column letters with field names
  EXPECT_EQ(t.reader.ColumnIndex(""), -1);

  TStringList names = {{"left over", 7}};
  t.reader.GetColumnNames(names, "A;B");
  EXPECT_EQ(names, (TStringList{{"Id", 0}, {"Name", 1}, {"\xC9t\xE9", 2}, {"name", 3}}));
}

// A file that ends inside its header or its field descriptors is refused:
// the missing bytes would read as zeros and make up a table shape.
TEST(TableLayout, FileCutInsideItsHeaderOrDescriptorsIsRefused) {
  struct Case {
    std::uint8_t version;
    std::size_t dat_size;
    const char* message;
  };
  const Case cases[] = {
      {6, 100, "Invalid table: the file holds 100 bytes, fewer than the 512 that its header needs."},
      {6, 512 + 768 + 40,
       "Invalid table: the file holds 1320 bytes, fewer than the 2048 that its header and 2 field descriptors need."},
      {3, 127 + 768 + 40,
       "Invalid table: the file holds 935 bytes, fewer than the 1663 that its header and 2 field descriptors need."},
      {2, 127 + 265 + 40,
       "Invalid table: the file holds 432 bytes, fewer than the 657 that its header and 2 field descriptors need."},
      {2, 126, "Invalid table: the file holds 126 bytes, fewer than the 127 that its header needs."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("version " + std::to_string(c.version) + ", " + std::to_string(c.dat_size) + " bytes");
    TableDef def;
    def.version = c.version;
    def.fields = {{"First", kInteger}, {"Second", kDate}};
    def.dat_size = c.dat_size;
    LoadedTable t;
    ExpectRaises<EZelFileException>([&] { t.Load(def); }, c.message);
  }
  // Exactly the header and the descriptors: a table without records.
  TableDef whole;
  whole.fields = {{"First", kInteger}, {"Second", kDate}};
  whole.dat_size = 512 + 2 * 768;
  LoadedTable t;
  t.Load(whole);
  EXPECT_EQ(t.Field(1).FieldType(), kDate);
}

TEST(TableLayout, MalformedTablesAreRefusedWithTheReason) {
  struct Case {
    const char* label;
    TableDef def;
    const char* message;
  };
  std::vector<Case> cases;
  auto base = [](std::uint8_t version) {
    TableDef def;
    def.version = version;
    def.fields = {{"A", kInteger}, {"B", kInteger}};  // offsets 1 and 6, 11 bytes
    return def;
  };
  {
    TableDef s = base(6);
    s.record_size = 0;
    cases.push_back({"record size 0", s, "Invalid table: the record size 0 is outside 1 to 32768."});
  }
  {
    TableDef s = base(4);
    s.record_size = 32769;
    cases.push_back({"record size 32769", s, "Invalid table: the record size 32769 is outside 1 to 32768."});
  }
  {
    TableDef s = base(6);
    s.record_size = 65535;
    cases.push_back({"record size 65535", s, "Invalid table: the record size 65535 is outside 1 to 32768."});
  }
  {
    TableDef s = base(6);
    s.field_count = 1026;
    cases.push_back({"1026 fields", s, "Invalid table: 1026 fields exceed the limit of 1025."});
  }
  {
    TableDef s = base(2);
    s.field_count = 65535;
    cases.push_back({"65535 legacy fields", s, "Invalid table: 65535 fields exceed the limit of 1025."});
  }
  {
    TableDef s = base(6);
    s.record_size = 10;
    cases.push_back({"value one byte past the record", s,
                     "Invalid table: field 2 at offset 6 with 4 bytes reaches beyond the record size 10."});
  }
  {
    TableDef s = base(6);
    s.fields.emplace_back("C", kBytes);  // no value bytes: only its presence byte
    s.fields[2].offset = 11;
    s.record_size = 11;
    cases.push_back({"presence byte past the record", s,
                     "Invalid table: field 3 at offset 11 with 0 bytes reaches beyond the record size 11."});
  }
  {
    TableDef s = base(6);
    s.fields[1] = FieldDef("B", kString, 0, 20);  // 21 bytes from offset 6
    s.record_size = 27;
    cases.push_back({"string past the record", s,
                     "Invalid table: field 2 at offset 6 with 21 bytes reaches beyond the record size 27."});
  }
  {
    TableDef s = base(5);
    s.fields[1] = FieldDef("B", kInteger, kSubAutoInc);  // legacy: the value starts at the offset
    s.fields[1].offset = 7;
    s.record_size = 10;
    cases.push_back({"legacy auto-increment past the record", s,
                     "Invalid table: field 2 at offset 7 with 4 bytes reaches beyond the record size 10."});
  }
  {
    TableDef s;  // an empty file reads as an all-zero legacy header
    s.version = 0;
    s.dat_size = 0;
    cases.push_back({"empty file", s, "Invalid table: the file holds 0 bytes, fewer than the 127 that its header needs."});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    LoadedTable t;
    ExpectRaises<EZelFileException>([&] { t.Load(c.def); }, c.message);
  }
}

// The limits themselves are accepted, and a PhysicalSize wider than its type
// uses is cut to that width rather than refused.
TEST(TableLayout, LimitsAreAccepted) {
  {
    SCOPED_TRACE("a value ending on the last byte of a 32768-byte record");
    TableDef def;
    def.fields = {{"Last", kInteger}};
    def.fields[0].offset = 32763;
    def.records = {{0, {Value::Int32(12345)}}, {0, {Value::Int32(-6)}}};
    LoadedTable t;
    t.Load(def);
    EXPECT_EQ(t.Info().RecordSize(), 32768);
    ASSERT_TRUE(t.Read());
    EXPECT_TRUE(SameValue(t.Only().value, 12345));
    ASSERT_TRUE(t.Read());
    EXPECT_TRUE(SameValue(t.Only().value, -6));
  }
  {
    SCOPED_TRACE("1025 fields");
    TableDef def;
    for (int i = 0; i < 1025; ++i) {
      FieldDef f("F" + std::to_string(i), kBoolean);
      f.physical_size = 1;
      def.fields.push_back(f);
    }
    RecordDef record;
    for (int i = 0; i < 1025; ++i) record.values.push_back(i == 1024 ? Value::Bool(true) : Value::Null());
    def.records = {record};
    LoadedTable t;
    t.Load(def);
    ASSERT_TRUE(t.Read());
    ASSERT_EQ(t.cells.size(), 1025u);
    EXPECT_TRUE(SameValue(t.cells[1024].value, true));
    EXPECT_TRUE(SameValue(t.cells[1023].value, Variant::Null()));
  }
  {
    SCOPED_TRACE("a legacy auto-increment value ending on the last byte");
    TableDef def;
    def.version = 5;
    def.fields = {{"A", kInteger}, {"B", kInteger, kSubAutoInc}};  // B at 6..9 of 10 bytes
    def.records = {{0, {Value::Int32(3), Value::Int32(-4)}}};
    LoadedTable t;
    t.Load(def);
    EXPECT_EQ(t.Info().RecordSize(), 10);
    ASSERT_TRUE(t.Read());
    ASSERT_EQ(t.cells.size(), 2u);
    EXPECT_TRUE(SameValue(t.cells[1].value, -4));
  }
  {
    SCOPED_TRACE("PhysicalSize wider than the type");
    TableDef def;
    def.fields = {{"N", kInteger, 0, 0, 100}, {"T", kTimeStamp, 0, 0, 300}};
    def.fields[1].offset = 6;
    def.record_size = 15;  // room for 4 and 8 value bytes only
    def.records = {{0, {Value::Int32(77), Value::TimeStamp(StampMs(693595, 0))}}};
    LoadedTable t;
    t.Load(def);
    ASSERT_TRUE(t.Read());
    ASSERT_EQ(t.cells.size(), 2u);
    EXPECT_TRUE(SameValue(t.cells[0].value, 77));
    EXPECT_TRUE(SameValue(t.cells[1].value, Variant::DateTime(1.0)));
  }
}

}  // namespace
}  // namespace tabdump::testing
