// Runs the converter on tables made by the table writer and compares the
// target file, the messages and the exit status.  The same cases run against
// TABDUMP.EXE under Wine (end_to_end_fixture.h).
#include "tests/app/end_to_end_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tabdump {
namespace {

using namespace tabdump::testing;
namespace fs = std::filesystem;

struct Case {
  std::vector<std::string> switches;
  std::string expected;
};

TEST_F(EndToEnd, SwitchesShapeTheOutput) {
  const Case cases[] = {
      {{}, "7\tBob\r\n"},
      {{"/h"}, "Id\tName\r\n7\tBob\r\n"},
      {{"/H", "/F"}, "Id\tName\r\nI\tS\r\n7\tBob\r\n"},
      {{"/delimiter=;", "/h"}, "Id;Name\r\n7;Bob\r\n"},
      {{"/delimiter=\\59"}, "7;Bob\r\n"},
      {{"/delimiter=\\0"}, "7Bob\r\n"},
      {{"/delimiter="}, "7Bob\r\n"},
      {{"/delimiter=||"}, "7||Bob\r\n"},
      {{"/qualifier=\\34", "/delimiter=,", "/h"}, "\"Id\",\"Name\"\r\n\"7\",\"Bob\"\r\n"},
      {{"/recordseparator=lf", "/h"}, "Id\tName\n7\tBob\n"},
      {{"/recordseparator=cr"}, "7\tBob\r"},
      {{"/recordseparator=cr", "/recordseparator=crlf"}, "7\tBob\r\n"},
      {{"/fixed", "/h"}, "Id              \tName      \r\n" + std::string(15, ' ') + "7\tBob       \r\n"},
      {{"/fixed", "/delimiter=\\0", "/qualifier=\\39"}, "'" + std::string(15, ' ') + "7''Bob       '\r\n"},
      {{"/fields=NAME"}, "Bob\r\n"},
      {{"/fields=name;id", "/h"}, "Id\tName\r\n7\tBob\r\n"},  // always in table order
      {{"/fields=id", "/fields="}, "7\tBob\r\n"},
      {{"/HEADER", "-h", "/FIXED=1", "/unknown"}, "7\tBob\r\n"},
  };
  for (const Case& c : cases) {
    const RunResult r = Convert(IdName(), c.switches);
    std::string label;
    for (const auto& s : c.switches) label += s + " ";
    EXPECT_EQ(r.status, 0) << label << r.output;
    EXPECT_EQ(r.output, "") << label;
    EXPECT_EQ(r.target, c.expected) << label;
  }
}

TEST_F(EndToEnd, ValuesOfEveryKind) {
  const RunResult r = Convert(Mixed(), {"/h", "/f", "/qualifier=\\39", "/delimiter=;", "/recordseparator=lf"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target,
            "'Id';'Name';'Amount';'Price';'Born';'Seen';'Active';'Notes';'Qty'\n"
            "'I';'S';'F';'C';'D';'T';'B';'B';'S'\n"
            "'1';'O''Hara';'12.5';'3';'2020-12-31';'2024-05-01 09:30:00';'1';'first line\r\nsecond';'-3'\n"
            "'2';;'-0.25';;;;'0';;'7'\n");
}

TEST_F(EndToEnd, FixedWidthJustifiesByType) {
  const RunResult r = Convert(Mixed(), {"/fixed", "/fields=id;amount;born;qty;name", "/delimiter=|"});
  EXPECT_EQ(r.status, 0) << r.output;
  // Id 16 right, Name 12 left, Amount 15 right, Born 4 (its name) left, Qty 8 right.
  EXPECT_EQ(r.target,
            "               1|O'Hara      |           12.5|2020-12-31|      -3\r\n"
            "               2|            |          -0.25|    |       7\r\n");
}

TEST_F(EndToEnd, RecordCountAndEndOfFile) {
  TableDef t = IdName();
  t.records = {{0, {Value::Int32(1), Value::Str("a")}},
               {1, {Value::Int32(2), Value::Str("deleted")}},
               {2, {Value::Int32(3), Value::Str("damaged")}},
               {0, {Value::Int32(4), Value::Str("b")}},
               {0, {Value::Int32(5), Value::Str("c")}}};
  t.record_count = 3;
  EXPECT_EQ(Convert(t, {}).target, "1\ta\r\n4\tb\r\n5\tc\r\n");
  t.record_count = 2;  // the header's count ends the loop
  EXPECT_EQ(Convert(t, {}).target, "1\ta\r\n4\tb\r\n");
  t.record_count = 50;  // the end of the file ends it
  EXPECT_EQ(Convert(t, {}).target, "1\ta\r\n4\tb\r\n5\tc\r\n");
  t.records.clear();
  t.record_count = 0;
  EXPECT_EQ(Convert(t, {"/h", "/f"}).target, "Id\tName\r\nI\tS\r\n");
  EXPECT_EQ(Convert(t, {}).target, "");
}

TEST_F(EndToEnd, LegacyTableWithAMemo) {
  TableDef t;
  t.version = 4;
  t.fields = {{"Code", kString, 0, 8}, {"Memo", kBlob, kSubMemo}};
  t.records = {{0, {Value::Str("A1"), Value::Blob(std::string(1000, 'm'))}}, {0, {Value::Str("B2"), Value::Null()}}};
  const RunResult r = Convert(t, {});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "A1\t" + std::string(1000, 'm') + "\r\nB2\t\r\n");
}

TEST_F(EndToEnd, EncryptedTableIsRefusedBeforeTheTargetIsMade) {
  TableDef t = IdName();
  t.encrypted = 1;
  const RunResult r = Convert(t, {"/h"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "<none>");
  EXPECT_TRUE(r.output.starts_with(ReportHead("EZelCryptException"))) << r.output;
  EXPECT_TRUE(r.output.ends_with("." + kLineEnd + "This file is encrypted but valid password is not specified." + kLineEnd))
      << r.output;
}

TEST_F(EndToEnd, MissingSourceLeavesNoTarget) {
  const RunResult r = Run({Arg("missing.dat"), Arg("out.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "DBISAM file not found." + kLineEnd);
  EXPECT_EQ(r.target, "<none>");
}

TEST_F(EndToEnd, UsageWithFewerThanTwoParameters) {
  const RunResult r = Run({Arg("a.dat")});
  EXPECT_EQ(r.status, 0);
  const std::string& end = kLineEnd;
  // The banner's wording is free; it names the program and its version.
  const std::size_t banner_end = r.output.find(end);
  ASSERT_NE(banner_end, std::string::npos) << r.output;
  const std::string banner = r.output.substr(0, banner_end);
  EXPECT_NE(banner.find("TABDUMP"), std::string::npos) << banner;
  EXPECT_NE(banner.find("2.6"), std::string::npos) << banner;
  EXPECT_EQ(r.output.substr(banner_end + end.size()),
            "convert DBISAM tables into text files" + end + end + end +
                "TABDUMP.EXE <source.dat> <target.txt> [/h] [/f] [/fixed] [/delimiter=<separator>] "
                "[/qualifier=<char>] [/recordseparator=<crlf|cr|lf|>] [/fields=<field1;field2;...>] [where=<filter>]" +
                end);
  EXPECT_EQ(r.target, "<none>");
}

TEST_F(EndToEnd, BadSwitchValueEndsBeforeAnyFileIsTouched) {
  const RunResult r = Convert(IdName(), {"/delimiter=\\"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with(ReportHead("EConvertError"))) << r.output;
  EXPECT_TRUE(r.output.ends_with(kLineEnd + "'' is not a valid integer value." + kLineEnd)) << r.output;
  EXPECT_EQ(r.target, "<none>");
}

TEST_F(EndToEnd, TargetThatCannotBeCreated) {
  Write(IdName());
  const RunResult r = Run({Arg("t.dat"), Arg("no/such/dir/out.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with(ReportHead("EFCreateError"))) << r.output;
  EXPECT_TRUE(r.output.ends_with(kLineEnd + "Cannot create file " + Arg("no/such/dir/out.txt") + "." + kLineEnd))
      << r.output;
}

TEST_F(EndToEnd, WriteErrorIsReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  Write(IdName());
  const RunResult r = Run({Arg("t.dat"), PathForProgram("/dev/full")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with(ReportHead("EWriteError"))) << r.output;
}

TEST_F(EndToEnd, ShippedExampleIsWhatTheWriterMakes) {
  // The example table in the repository must be reproducible by make_table.
  const std::string example = std::string(TABDUMP_SOURCE_DIR) + "/examples/customers.dat";
  const std::string fresh = Path("customers.dat");
  ASSERT_EQ(std::system((ShellQuote(MAKE_TABLE_EXE) + " example " + ShellQuote(fresh)).c_str()), 0);
  EXPECT_EQ(ReadFile(fresh), ReadFile(example));
  EXPECT_EQ(ReadFile(Path("customers.blb")), ReadFile(std::string(TABDUMP_SOURCE_DIR) + "/examples/customers.blb"));
}

}  // namespace
}  // namespace tabdump
