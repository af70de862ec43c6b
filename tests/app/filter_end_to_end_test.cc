// Filters on real tables: which records the /WHERE= expression keeps.
#include "tests/app/end_to_end_fixture.h"

namespace tabdump::testing {
namespace {

TableDef Orders() {
  TableDef t;
  t.fields = {{"Id", kInteger},   {"City", kString, 0, 10}, {"Amount", kFloat}, {"Order Date", kDate},
              {"Active", kBoolean}, {"PI", kInteger},       {"Code", kString, 0, 2}, {"Qty", kInteger},
              {"Flag", kString, 0, 2}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("Paris"), Value::Float(150), Value::Date(DayNumber(2020, 1, 2)), Value::Bool(true),
           Value::Int32(7), Value::Str("A"), Value::Int32(0), Value::Str("1")}},
      {0, {Value::Int32(2), Value::Str("London"), Value::Float(50), Value::Date(DayNumber(2021, 5, 6)), Value::Bool(false),
           Value::Int32(8), Value::Str("B"), Value::Int32(3), Value::Str("0")}},
      {1, {Value::Int32(99), Value::Str("Paris"), Value::Float(999), Value::Null(), Value::Bool(true), Value::Int32(0),
           Value::Str("A"), Value::Int32(1), Value::Str("1")}},
      {0, {Value::Int32(3), Value::Str("Paris"), Value::Float(80), Value::Null(), Value::Bool(true), Value::Int32(9),
           Value::Str("D"), Value::Int32(5), Value::Null()}},
  };
  return t;
}

TEST_F(EndToEnd, FiltersSelectRecords) {
  const std::pair<const char*, const char*> cases[] = {
      {"City = \"Paris\"", "1\r\n3\r\n"},
      {"City = 'Paris'", ""},  // a single-quoted text keeps its quotes
      {"city = \"London\"", "2\r\n"},
      {"[order date] > 40000", "1\r\n2\r\n"},  // a null date is less than any number
      {"[ORDER DATE] = [Order Date]", "1\r\n2\r\n3\r\n"},  // null equals null
      {"PI > 5", ""},  // the registry's 3.14, not the field
      {"Active = \"1\"", "1\r\n3\r\n"},
      {"Qty", "2\r\n3\r\n"},  // a number is true when it is not zero
      {"(City = \"Paris\") AND (Amount > 100)", "1\r\n"},
      {"(City=\"Paris\")OR(Amount<60)", "1\r\n2\r\n3\r\n"},
      {"SUBSTITUTE(Code, \"A;B;C\", \"1;2;3\") = \"2\"", "2\r\n"},
      {"SUBSTITUTE(Code, \"A;B\", \"x\") = \"x\"", "1\r\n"},
      {"Nosuchfield = \"Nosuchfield\"", "1\r\n2\r\n3\r\n"},
      {"(Amount * 2) > 150", "1\r\n3\r\n"},
      {"Amount * 2 > 150", ""},  // comparisons bind more tightly: Amount * (2 > 150)
  };
  for (const auto& [filter, expected] : cases) {
    const RunResult r = Convert(Orders(), {"/fields=id", std::string("/where=") + filter});
    EXPECT_EQ(r.status, 0) << filter << "\n" << r.output;
    EXPECT_EQ(r.target, expected) << filter;
  }
  EXPECT_EQ(Convert(Orders(), {"/fields=id", "/FILTER=Id = 2"}).target, "2\r\n");
}

TEST_F(EndToEnd, BuiltInFunctionsInFilters) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 12}, {"Born", kDate}, {"Notes", kBlob, kSubMemo}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("Brownlow"), Value::Date(DayNumber(1999, 3, 15)), Value::Blob("text")}},
      {0, {Value::Int32(2), Value::Str("Smith"), Value::Date(DayNumber(2001, 7, 4)), Value::Null()}},
      {0, {Value::Int32(3), Value::Str("Brown"), Value::Date(DayNumber(1980, 3, 1)), Value::Blob("")}},
  };
  const std::pair<const char*, const char*> cases[] = {
      {"YEAR(Born) = 2001", "2\r\n"},
      {"(YEAR(Born) > 1990) AND (MONTH(Born) = 3)", "1\r\n"},
      {"SUBSTR(Name, 1, 5) = \"Brown\"", "1\r\n3\r\n"},
      {"ISNULL(Notes)", "2\r\n3\r\n"},  // an empty memo counts as null
      {"LENGTH(Name) > 5", "1\r\n"},
      {"UPPER(Name) = \"SMITH\"", "2\r\n"},
      {"IIF(ISNULL(Notes), 0, 1)", "1\r\n"},
  };
  for (const auto& [filter, expected] : cases) {
    const RunResult r = Convert(t, {"/fields=id", std::string("/where=") + filter});
    EXPECT_EQ(r.status, 0) << filter << "\n" << r.output;
    EXPECT_EQ(r.target, expected) << filter;
  }
}

TEST_F(EndToEnd, LoneNullFieldEndsTheRunAfterTheLinesBefore) {
  const RunResult r = Convert(Orders(), {"/fields=id", "/where=Flag"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "1\r\n");
  EXPECT_TRUE(r.output.starts_with(ReportHead("EVariantError"))) << r.output;
  EXPECT_TRUE(r.output.ends_with(".\nInvalid variant type conversion." + kLineEnd) ||
              r.output.ends_with("." + kLineEnd + "Invalid variant type conversion." + kLineEnd))
      << r.output;
}

TEST_F(EndToEnd, FilterThatDoesNotParseEndsTheRun) {
  const RunResult r = Convert(Orders(), {"/where=Id =- 1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "");
  EXPECT_TRUE(r.output.starts_with(ReportHead("EZelParseException"))) << r.output;
  EXPECT_NE(r.output.find("Calculate error: syntax tree fault."), std::string::npos) << r.output;
}

}  // namespace
}  // namespace tabdump::testing
