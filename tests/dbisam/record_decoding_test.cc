// Records: every field type with its value, alignment and cell type, nulls,
// status bytes and the statuses the caller asks for.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "runtime/format_settings.h"
#include "tests/dbisam/reader_harness.h"

namespace tabdump::testing {
namespace {

struct DecodeCase {
  const char* label;
  FieldDef field;
  Value value;
  Variant expected;
  TAlignment alignment;
  TZelCellType cell_type;
};

FieldDef Sized(std::uint8_t type, std::uint16_t physical_size, std::uint16_t size = 0) {
  FieldDef f("F", type, 0, size);
  f.physical_size = physical_size;
  return f;
}

Variant Text(const std::string& bytes) { return Variant(bytes); }

// Each value in a one-field table of version 6.  Expected values follow from
// the byte layout by hand: a Date counts days from 0001-01-01 = 1 (1899-12-30
// is 693594 and the date-time 0), Time counts milliseconds of the day, Time
// Stamp milliseconds from day 0, currency ten-thousandths.
std::vector<DecodeCase> DecodeCases() {
  const Variant null = Variant::Null();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::int32_t leap_day = DayNumber(2024, 2, 29);  // date-time 45351
  return {
      // Strings: up to the first zero byte, nothing trimmed.
      {"string cut at zero", {"F", kString, 0, 5}, Value::Raw({'A', 'B', 0, 'C', 'D'}), "AB", taLeftJustify, ictString},
      {"string filling its width", {"F", kString, 0, 3}, Value::Str(" ab "), " ab ", taLeftJustify, ictString},
      {"empty string", {"F", kString, 0, 3}, Value::Str(""), "", taLeftJustify, ictString},

      // Dates: day numbers at midnight; 0 and days outside 0001..9999 are null.
      {"date 1899-12-30", {"F", kDate}, Value::Date(693594), Variant::DateTime(0), taLeftJustify, ictDateTime},
      {"date 0001-01-01", {"F", kDate}, Value::Date(1), Variant::DateTime(-693593), taLeftJustify, ictDateTime},
      {"date 2024-02-29", {"F", kDate}, Value::Date(leap_day), Variant::DateTime(45351), taLeftJustify, ictDateTime},
      {"date 9999-12-31", {"F", kDate}, Value::Date(3652059), Variant::DateTime(2958465), taLeftJustify,
       ictDateTime},
      {"date 0", {"F", kDate}, Value::Date(0), null, taLeftJustify, ictEmpty},
      {"date after 9999", {"F", kDate}, Value::Date(3652060), null, taLeftJustify, ictEmpty},
      {"negative date", {"F", kDate}, Value::Date(-5), null, taLeftJustify, ictEmpty},
      {"2-byte date", Sized(kDate, 2), Value::Int16(32767), Variant::DateTime(32767 - 693594), taLeftJustify,
       ictDateTime},
      {"2-byte date is signed", Sized(kDate, 2), Value::Int16(-2), null, taLeftJustify, ictEmpty},
      {"8-byte date uses 4", Sized(kDate, 8), Value::Raw({0x5B, 0x95, 0x0A, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}),
       Variant::DateTime(1), taLeftJustify, ictDateTime},

      // Time: unsigned milliseconds of the day.
      {"time noon", {"F", kTime}, Value::Time(43'200'000), Variant::DateTime(0.5), taLeftJustify, ictDateTime},
      {"time midnight", {"F", kTime}, Value::Time(0), Variant::DateTime(0), taLeftJustify, ictDateTime},
      {"time is unsigned", {"F", kTime}, Value::Time(0xFFFFFFFFu), Variant::DateTime(4294967295.0 / 86400000.0),
       taLeftJustify, ictDateTime},

      // Time Stamp: before 1899-12-30 the time of day keeps its magnitude.
      {"stamp 1899-12-29 06:00", {"F", kTimeStamp}, Value::TimeStamp(StampMs(693593, 21'600'000)),
       Variant::DateTime(-1.25), taLeftJustify, ictDateTime},
      {"stamp 2024-02-29 12:30", {"F", kTimeStamp}, Value::TimeStamp(StampMs(leap_day, 45'000'000)),
       Variant::DateTime(45351 + 12.5 / 24), taLeftJustify, ictDateTime},
      {"stamp half rounds to even, down", {"F", kTimeStamp}, Value::TimeStamp(StampMs(693594, 0) + 0.5),
       Variant::DateTime(0), taLeftJustify, ictDateTime},
      {"stamp half rounds to even, up", {"F", kTimeStamp}, Value::TimeStamp(StampMs(693594, 0) + 1.5),
       Variant::DateTime(2.0 / 86400000), taLeftJustify, ictDateTime},
      {"negative stamp", {"F", kTimeStamp}, Value::TimeStamp(-1), null, taLeftJustify, ictEmpty},
      {"stamp on day 0", {"F", kTimeStamp}, Value::TimeStamp(StampMs(0, 3'600'000)), null, taLeftJustify, ictEmpty},
      {"stamp after 9999", {"F", kTimeStamp}, Value::TimeStamp(StampMs(3652060, 0)), null, taLeftJustify, ictEmpty},
      {"stamp not a number", {"F", kTimeStamp}, Value::TimeStamp(nan), null, taLeftJustify, ictEmpty},

      // Boolean: the first byte.
      {"boolean 2", {"F", kBoolean}, Value::Raw({2, 0}), true, taLeftJustify, ictBoolean},
      {"boolean 0", {"F", kBoolean}, Value::Bool(false), false, taLeftJustify, ictBoolean},
      {"boolean without bytes", Sized(kBoolean, 0), Value::Raw({}), null, taLeftJustify, ictEmpty},

      // Integers: exact, 32-bit when they fit, else 64-bit; right-justified.
      {"short", {"F", kShortInt}, Value::Int16(-2), -2, taRightJustify, ictInteger},
      {"integer", {"F", kInteger}, Value::Int32(INT32_MIN), INT32_MIN, taRightJustify, ictInteger},
      {"2-byte integer is zero-extended", Sized(kInteger, 2), Value::UInt16(0xFFFF), 65535, taRightJustify,
       ictInteger},
      {"unsigned short", {"F", kUShortInt}, Value::UInt16(65535), 65535, taRightJustify, ictInteger},
      {"unsigned 2^31-1", {"F", kUInteger, 0, 4}, Value::UInt32(2147483647u), 2147483647, taRightJustify,
       ictInteger},
      {"unsigned 2^31", {"F", kUInteger, 0, 4}, Value::UInt32(2147483648u), Variant::Int64(2147483648LL),
       taRightJustify, ictInteger},
      {"unsigned 2^32-1", {"F", kUInteger, 0, 4}, Value::UInt32(4294967295u), Variant::Int64(4294967295LL),
       taRightJustify, ictInteger},
      {"large 2^32+5", {"F", kLargeInt}, Value::Int64(4294967301LL), Variant::Int64(4294967301LL), taRightJustify,
       ictInteger},
      {"large -5", {"F", kLargeInt}, Value::Int64(-5), -5, taRightJustify, ictInteger},
      {"large -2^31-1", {"F", kLargeInt}, Value::Int64(-2147483649LL), Variant::Int64(-2147483649LL),
       taRightJustify, ictInteger},
      {"large minimum", {"F", kLargeInt}, Value::Int64(INT64_MIN), Variant::Int64(INT64_MIN), taRightJustify,
       ictInteger},
      {"unsigned large 7", {"F", kULargeInt, 0, 8}, Value::UInt64(7), 7, taRightJustify, ictInteger},
      {"unsigned large 2^63-1", {"F", kULargeInt, 0, 8}, Value::UInt64(INT64_MAX), Variant::Int64(INT64_MAX),
       taRightJustify, ictInteger},
      {"unsigned large 2^63", {"F", kULargeInt, 0, 8}, Value::UInt64(9223372036854775808ULL),
       Text("9223372036854775808"), taRightJustify, ictInteger},
      {"unsigned large 2^64-1", {"F", kULargeInt, 0, 8}, Value::UInt64(UINT64_MAX), Text("18446744073709551615"),
       taRightJustify, ictInteger},

      // Floating point.
      {"float", {"F", kFloat}, Value::Float(-1.5), -1.5, taRightJustify, ictDecimal},
      {"currency float", {"F", kFloat, kSubCurrency}, Value::Float(12.34), 12.34, taRightJustify, ictDecimal},
      {"8-byte double", {"F", kDouble, 0, 8}, Value::Float(2.25), 2.25, taRightJustify, ictDecimal},
      {"4-byte double stays bytes", {"F", kDouble, 0, 4}, Value::Raw({1, 2, 3, 4}), Text("\x01\x02\x03\x04"),
       taLeftJustify, ictString},

      // Packed decimals: four decimals kept; the fifth rounds the magnitude
      // up when above 5, or 5 followed by more digits.
      {"bcd 123.45", {"F", kBcd}, Value::Bcd("123.45", 5, 2), Currency{1234500}, taLeftJustify, ictDecimal},
      {"bcd -123.45", {"F", kBcd}, Value::Bcd("-123.45", 5, 2), Currency{-1234500}, taLeftJustify, ictDecimal},
      {"bcd 0.123456", {"F", kBcd}, Value::Bcd(".123456", 6, 6), Currency{1235}, taLeftJustify, ictDecimal},
      {"bcd 0.12345", {"F", kBcd}, Value::Bcd(".12345", 5, 5), Currency{1234}, taLeftJustify, ictDecimal},
      {"bcd 12.34567", {"F", kBcd}, Value::Bcd("12.34567", 7, 5), Currency{123457}, taLeftJustify, ictDecimal},
      {"bcd -0.00005", {"F", kBcd}, Value::Bcd("-0.00005", 6, 5), Currency{0}, taLeftJustify, ictDecimal},
      {"bcd currency maximum", {"F", kBcd}, Value::Bcd("922337203685477.5807", 19, 4), Currency{INT64_MAX},
       taLeftJustify, ictDecimal},
      {"bcd currency minimum", {"F", kBcd}, Value::Bcd("-922337203685477.5808", 19, 4), Currency{INT64_MIN},
       taLeftJustify, ictDecimal},
      {"bcd just beyond currency", {"F", kBcd}, Value::Bcd("922337203685477.5808", 19, 4),
       Text("922337203685477.5808"), taLeftJustify, ictDecimal},
      {"bcd of 20 digits", {"F", kBcd}, Value::Bcd("-12345678901234567890", 20, 0), Text("-12345678901234567890"),
       taLeftJustify, ictDecimal},
      {"bcd in 5 bytes", Sized(kBcd, 5), Value::Bcd("123.45", 5, 2), Currency{1234500}, taLeftJustify, ictDecimal},

      // Everything else: the bytes as they are.
      {"bytes", {"F", kBytes, 0, 3}, Value::Raw({0, 'a', 0}), Text(std::string("\0a\0", 3)), taLeftJustify,
       ictString},
      {"var bytes", {"F", kVarBytes, 0, 2}, Value::Raw({0xFF, 0x01}), Text("\xFF\x01"), taLeftJustify, ictString},
      {"type 0", {"F", 0, 0, 1}, Value::Raw({7}), Text("\x07"), taLeftJustify, ictString},
      {"type 24", {"F", 24, 0, 2}, Value::Raw({'h', 'i'}), Text("hi"), taLeftJustify, ictString},

      // BLOB fields whose reference is absent.
      {"blob without bytes", Sized(kBlob, 0), Value::Raw({}), null, taLeftJustify, ictEmpty},
      {"blob 0", {"F", kBlob}, Value::BlobRef(0), null, taLeftJustify, ictEmpty},
  };
}

TEST(RecordDecoding, EachFieldType) {
  const ScopedSettings iso(FormatSettings::Iso());
  for (const DecodeCase& c : DecodeCases()) {
    SCOPED_TRACE(c.label);
    TableDef def;
    def.fields = {c.field};
    def.records = {{0, {c.value}}};
    LoadedTable t;
    t.Load(def);
    ASSERT_TRUE(t.Read(3, 8));
    ASSERT_EQ(t.cells.size(), 1u);
    const CellCall& cell = t.cells[0];
    EXPECT_TRUE(SameValue(cell.value, c.expected));
    EXPECT_EQ(cell.alignment, c.alignment);
    EXPECT_EQ(cell.cell_type, c.cell_type);
    EXPECT_EQ(cell.sheet_no, 0);
    EXPECT_EQ(cell.row, 8);
    EXPECT_EQ(cell.column, 0);
    EXPECT_EQ(cell.format_index, 0);
  }
}

// Out-of-range packed decimals become text with the regional decimal
// separator, as amounts in range do when they are written out.
TEST(RecordDecoding, BcdTextUsesTheDecimalSeparator) {
  FormatSettings comma = FormatSettings::Iso();
  comma.decimal_separator = ',';
  const ScopedSettings scoped(comma);
  TableDef def;
  def.fields = {{"F", kBcd}};
  def.records = {{0, {Value::Bcd("-12345678901234567.25", 22, 4)}}};
  LoadedTable t;
  t.Load(def);
  ASSERT_TRUE(t.Read());
  EXPECT_TRUE(SameValue(t.Only().value, Text("-12345678901234567,25")));
}

// The presence byte alone decides null, whatever the value bytes hold, except
// for auto-increment fields.
TEST(RecordDecoding, NullsAndTheAutoIncrementException) {
  TableDef def;
  def.fields = {{"Auto", kInteger, kSubAutoInc}, {"Int", kInteger}, {"Str", kString, 0, 3},
                 {"Flt", kFloat},                  {"Bool", kBoolean}, {"Date", kDate},
                 {"Blob", kBlob},                  {"Bcd", kBcd}};
  for (const std::uint8_t presence : std::initializer_list<std::uint8_t>{0, 2, 255}) {
    def.records.push_back({0,
                            {Value::Int32(5).WithPresence(presence), Value::Int32(5).WithPresence(presence),
                             Value::Str("abc").WithPresence(presence), Value::Float(1).WithPresence(presence),
                             Value::Bool(true).WithPresence(presence), Value::Date(693595).WithPresence(presence),
                             Value::BlobRef(3).WithPresence(presence),
                             Value::Bcd("1", 1, 0).WithPresence(presence)}});
  }
  LoadedTable t;
  t.Load(def);
  for (const int presence : {0, 2, 255}) {
    SCOPED_TRACE("presence byte " + std::to_string(presence));
    ASSERT_TRUE(t.Read());
    ASSERT_EQ(t.cells.size(), 8u);
    EXPECT_TRUE(SameValue(t.cells[0].value, 5));
    EXPECT_EQ(t.cells[0].alignment, taRightJustify);
    EXPECT_EQ(t.cells[0].cell_type, ictInteger);
    for (std::size_t i = 1; i < 8; ++i) {
      EXPECT_TRUE(SameValue(t.cells[i].value, Variant::Null())) << def.fields[i].name;
      EXPECT_EQ(t.cells[i].alignment, taLeftJustify) << def.fields[i].name;
      EXPECT_EQ(t.cells[i].cell_type, ictEmpty) << def.fields[i].name;
      EXPECT_EQ(t.cells[i].column, static_cast<std::int32_t>(i));
    }
  }
}

// Status 1 is deleted and 2 damaged; every other byte is a normal record.
// A skipped record is still consumed, so the next call reads the next one.
TEST(RecordDecoding, StatusBytes) {
  const std::uint8_t statuses[] = {0, 1, 2, 3, 255};
  TableDef def;
  def.fields = {{"N", kInteger}};
  for (std::size_t i = 0; i < std::size(statuses); ++i) {
    def.records.push_back({statuses[i], {Value::Int32(static_cast<std::int32_t>(100 + i))}});
  }

  struct Case {
    const char* label;
    TZelRowStatuses wanted;
    bool accepted[5];
  };
  const Case cases[] = {
      {"normal only", {rsNormal}, {true, false, false, true, true}},
      {"all", {rsNormal, rsDeleted, rsError}, {true, true, true, true, true}},
      {"deleted only", {rsDeleted}, {false, true, false, false, false}},
      {"none", {}, {false, false, false, false, false}},
  };
  const TZelRowStatus meaning[] = {rsNormal, rsDeleted, rsError, rsNormal, rsNormal};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    LoadedTable t;
    t.reader.LoadRowStatutes = c.wanted;
    std::vector<std::pair<std::int32_t, TZelRowStatus>> status_events;
    t.reader.OnRecordStatusChanged = [&](TCustomSpreadSheetFile*, std::int32_t sheet_no, std::int32_t row,
                                         TZelRowStatus status) {
      EXPECT_EQ(sheet_no, 0);
      status_events.emplace_back(row, status);
    };
    t.Load(def);
    const std::int64_t first_record = t.Position();
    std::vector<std::pair<std::int32_t, TZelRowStatus>> expected_events;
    for (std::int32_t i = 0; i < 5; ++i) {
      SCOPED_TRACE("record " + std::to_string(i));
      EXPECT_EQ(t.Read(i, 10 + i), c.accepted[i]);
      EXPECT_EQ(t.Position(), first_record + 6 * (i + 1));
      if (c.accepted[i]) {
        ASSERT_EQ(t.cells.size(), 1u);
        EXPECT_TRUE(SameValue(t.cells[0].value, 100 + i));
        EXPECT_EQ(t.cells[0].row, 10 + i);
        expected_events.emplace_back(10 + i, meaning[i]);
      } else {
        EXPECT_TRUE(t.cells.empty());
      }
      EXPECT_EQ(t.reader.CurrentRecord, i);
    }
    EXPECT_EQ(status_events, expected_events);
  }
}

TEST(RecordDecoding, NoTableStreamReadsNothing) {
  LoadedTable t;
  EXPECT_FALSE(t.Read(4, 0));
  EXPECT_TRUE(t.cells.empty());
  EXPECT_EQ(t.reader.CurrentRecord, 4);
}

// The file ends inside the last record: the missing bytes are zero, not what
// the previous record left behind.
TEST(RecordDecoding, FinalRecordCutShortReadsAsZeros) {
  TableDef def;
  def.fields = {{"N", kInteger}, {"S", kString, 0, 3}};  // records of 1 + 5 + 5 bytes
  def.records = {{0, {Value::Int32(-1), Value::Str("xyz")}}, {0, {Value::Int32(0x01020304), Value::Str("abc")}}};
  def.dat_size = 512 + 2 * 768 + 11 + 4;  // status, presence and two value bytes of N
  LoadedTable t;
  t.Load(def);
  ASSERT_TRUE(t.Read());
  ASSERT_TRUE(t.Read());
  ASSERT_EQ(t.cells.size(), 2u);
  EXPECT_TRUE(SameValue(t.cells[0].value, 0x0304));
  EXPECT_TRUE(SameValue(t.cells[1].value, Variant::Null()));
}

// Without ReadOnDemand, LoadFromFile reads every record into sheet 0 and
// skips the rows of records whose status is not wanted.
TEST(RecordDecoding, WholeLoadStoresCellsInTheSheet) {
  TableDef def;
  def.fields = {{"Id", kInteger}, {"Name", kString, 0, 4}};
  def.records = {{0, {Value::Int32(1), Value::Str("one")}},
                  {1, {Value::Int32(2), Value::Str("two")}},
                  {0, {Value::Int32(3), Value::Null()}}};
  const std::string path = TempPath("whole.dat");
  WriteFiles(BuildTable(def), path);

  TDBISAM reader;
  reader.ReadOnDemand = false;
  reader.LoadFromFile(path);
  EXPECT_EQ(reader.DataStream, nullptr);
  const TSpreadSheet& sheet = reader.Sheets.SheetAt(0);
  EXPECT_EQ(sheet.Caption, "whole.dat");
  EXPECT_EQ(sheet.Cells.Count(), 2);
  EXPECT_TRUE(SameValue(sheet.Cells.GetCellValue(0, 0), 1));
  EXPECT_TRUE(SameValue(sheet.Cells.GetCellValue(1, 0), "one"));
  EXPECT_TRUE(SameValue(sheet.Cells.GetCellValue(0, 1), 3));
  EXPECT_TRUE(SameValue(sheet.Cells.GetCellValue(1, 1), Variant::Null()));
  EXPECT_FALSE(reader.ReadRecord(0, 0));  // the file was closed after the load
}

}  // namespace
}  // namespace tabdump::testing
