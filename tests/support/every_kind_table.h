// A table with a field of every kind, for the fuzz targets, their seeds and
// the corrupt-table corpus: each value kind of the language (integers of
// both widths, doubles, currency, BCD, date-times, Booleans, texts, a memo,
// raw bytes, null) and a name with a space in it.
#pragma once

#include "tests/support/table_writer.h"

namespace tabdump::fuzzing {

inline testing::TableDef EveryKindTable() {
  using namespace tabdump::testing;
  TableDef t;
  t.fields = {
      {"Id", kInteger, kSubAutoInc},  {"Name", kString, 0, 20},   {"Born", kDate},
      {"Notes", kBlob, kSubMemo},     {"Active", kBoolean},       {"Small", kShortInt},
      {"Qty", kInteger},              {"Amount", kFloat},         {"Price", kFloat, kSubCurrency},
      {"Exact", kBcd, 0, 4},          {"Raw", kBytes, 0, 4},      {"At", kTime},
      {"Seen", kTimeStamp},           {"Word", kUShortInt},       {"Count", kUInteger, 0, 4},
      {"Ratio", kDouble, 0, 8},       {"Big", kLargeInt},         {"Huge", kULargeInt, 0, 8},
      {"Order Date", kDate},          {"Missing", kString, 0, 8}, {"Flag", kString, 0, 2},
  };
  t.records = {{0,
                {Value::Int32(7), Value::Str("O'Hara, Paris"), Value::Date(DayNumber(2020, 2, 29)),
                 Value::Blob("first line\r\nsecond line"), Value::Bool(true), Value::Int16(-3), Value::Int32(150),
                 Value::Float(12.5), Value::Float(3.25), Value::Bcd("-123.45", 5, 2),
                 Value::Raw({0x41, 0x00, 0xFF, 0x42}), Value::Time(9 * 3600000), 
                 Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 34200000)), Value::UInt16(65535),
                 Value::UInt32(4294967295u), Value::Float(-0.5), Value::Int64(-5000000000LL),
                 Value::UInt64(18446744073709551615ull), Value::Date(DayNumber(1899, 12, 30)), Value::Null(),
                 Value::Str("1")}}};
  return t;
}

}  // namespace tabdump::fuzzing
