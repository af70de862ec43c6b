// Two roads lead a value into the output: straight from the record's bytes,
// or decoded for a filter that reads the field.  Whichever road a value
// takes, every output form must write it alike.  So every form converts one
// table of every kind of field twice — once plainly, once with a filter that
// is always true and names every field — and the two outputs must be the same
// bytes.
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"

namespace tabdump::testing {
namespace {

TableDef EveryKindOfValue() {
  TableDef t;
  t.fields = {
      {"Id", kInteger, kSubAutoInc}, {"Name", kString, 0, 30},    {"Born", kDate},
      {"Notes", kBlob, kSubMemo},    {"Pic", kBlob, kSubBinary},  {"Active", kBoolean},
      {"Small", kShortInt},          {"Qty", kInteger},           {"Amount", kFloat},
      {"Price", kFloat, kSubCurrency}, {"Exact", kBcd, 0, 4},     {"Raw", kBytes, 0, 4},
      {"At", kTime},                 {"Seen", kTimeStamp},        {"Word", kUShortInt},
      {"Count", kUInteger, 0, 4},    {"Ratio", kDouble, 0, 8},    {"Big", kLargeInt},
      {"Huge", kULargeInt, 0, 8},    {"Order Date", kDate},       {"Formatted", kBlob, 24},
  };
  const std::string long_memo = [] {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "line \"" + std::to_string(i) + "\",\tcaf\xE9\\\r\n";
    return text;
  }();
  std::vector<Value> nulls(t.fields.size(), Value::Null());
  nulls[0] = Value::Int32(3);
  t.records = {
      {0,
       {Value::Int32(1), Value::Str("O'Hara, \"Caf\xE9\""), Value::Date(DayNumber(2020, 2, 29)),
        Value::Blob("first line\r\nsecond; line"), Value::Blob(std::string("\x89PNG\0\x01", 6)), Value::Bool(true),
        Value::Int16(-3), Value::Int32(150), Value::Float(12.5), Value::Float(3.25), Value::Bcd("-123.45", 5, 2),
        Value::Raw({0x41, 0x00, 0xFF, 0x42}), Value::Time(9 * 3600000 + 5),
        Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 34200123)), Value::UInt16(65535),
        Value::UInt32(4294967295u), Value::Float(-0.5), Value::Int64(-5000000000LL),
        Value::UInt64(18446744073709551615ull), Value::Date(DayNumber(1, 1, 1)), Value::Blob("fmt")}},
      {1, {Value::Int32(2), Value::Str("deleted"), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
           Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
           Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
           Value::Null()}},
      {0, nulls},
      {0,
       {Value::Int32(4), Value::Str(""), Value::Date(DayNumber(9999, 12, 31)), Value::Blob(long_memo),
        Value::Blob(""), Value::Bool(false), Value::Int16(-32768), Value::Int32(2147483647), Value::Float(1e300),
        Value::Float(-0.0001), Value::Bcd("99999999.9999", 12, 4), Value::Raw({0, 0, 0, 0}), Value::Time(0),
        Value::TimeStamp(StampMs(DayNumber(1, 1, 1), 0)), Value::UInt16(0), Value::UInt32(0),
        Value::Float(0.1), Value::Int64(INT64_MIN), Value::UInt64(0), Value::Date(DayNumber(1899, 12, 30)),
        Value::Blob("")}},
  };
  return t;
}

// True for every record, and names every field of the table.
std::string FilterNamingEveryField(const TableDef& t) {
  std::string filter;
  for (const FieldDef& field : t.fields) {
    if (!filter.empty()) filter += " AND ";
    filter += "(ISNULL([" + field.name + "]) OR (1 = 1))";
  }
  return filter;
}

// Where two outputs first differ, with a little of each around it; empty
// when they are the same.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  if (at == a.size() && at == b.size()) return "";
  const std::size_t from = at < 40 ? 0 : at - 40;
  return "at byte " + std::to_string(at) + ":\n  " + a.substr(from, 80) + "\n  " + b.substr(from, 80);
}

class OutputPaths : public EndToEnd {};

TEST_F(OutputPaths, EveryFormWritesAValueAlikeWhetherTheFilterReadsItOrNot) {
  const TableDef table = EveryKindOfValue();
  Write(table);
  const std::string filter = "/where=" + FilterNamingEveryField(table);
  const std::vector<std::vector<std::string>> forms = {
      {"/h", "/f"},
      {"/fixed", "/h"},
      {"/qualifier=\\34", "/delimiter=,"},
      {"/csv"},
      {"/csv", "/codepage=1252", "/delimiter=;"},
      {"/codepage=1252", "/h"},
      {"/codepage=1252", "/fixed"},
      {"/json", "/codepage=1252"},
      {"/sql=sqlite", "/codepage=1252"},
      {"/sql=postgres", "/codepage=1252"},
      {"/sql=mysql", "/codepage=1252"},
  };
  for (const std::vector<std::string>& form : forms) {
    std::string label;
    for (const std::string& s : form) label += s + " ";
    std::vector<std::string> plain_args{Arg("t.dat"), Arg("plain.out")};
    plain_args.insert(plain_args.end(), form.begin(), form.end());
    const RunResult plain = Run(plain_args, "plain.out");
    ASSERT_EQ(plain.status, 0) << label << plain.output << plain.errors;
    std::vector<std::string> filtered_args = plain_args;
    filtered_args[1] = Arg("filtered.out");
    filtered_args.push_back(filter);
    const RunResult filtered = Run(filtered_args, "filtered.out");
    ASSERT_EQ(filtered.status, 0) << label << filtered.output << filtered.errors;
    // Three records are written: a check that the table reached the output.
    EXPECT_NE(plain.target.find("18446744073709551615"), std::string::npos) << label;
    EXPECT_EQ(FirstDifference(filtered.target, plain.target), "") << label;
    EXPECT_EQ(filtered.errors, plain.errors) << label;
  }
}

}  // namespace
}  // namespace tabdump::testing
