// Runs the built tabdump on tables made by the table writer and compares the
// target file, the messages and the exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "table_writer.h"

namespace tabdump {
namespace {

using namespace tabdump::testing;
namespace fs = std::filesystem;

struct RunResult {
  int status;
  std::string output;  // standard output
  std::string target;  // the target file, or "<none>"
};

std::string ShellQuote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<none>";
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(TABDUMP_TEST_TMP) / "e2e" / (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::string Write(const TableSpec& spec, const std::string& name = "t.dat") {
    WriteTable(spec, Path(name));
    return Path(name);
  }

  // Runs tabdump with the C locale; the target is out.txt in the test's folder.
  RunResult Run(const std::vector<std::string>& args, const std::string& target_name = "out.txt") {
    std::string command = "LC_ALL=C " + ShellQuote(TABDUMP_EXE);
    for (const auto& arg : args) command += " " + ShellQuote(arg);
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output, ReadFile(Path(target_name))};
  }

  RunResult Convert(const TableSpec& spec, std::vector<std::string> switches) {
    std::vector<std::string> args{Write(spec), Path("out.txt")};
    args.insert(args.end(), switches.begin(), switches.end());
    return Run(args);
  }

  fs::path dir_;
};

// Id (Integer) and Name (String) with the record 7, Bob.
TableSpec IdName() {
  TableSpec t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}};
  t.records = {{0, {Value::Int32(7), Value::Str("Bob")}}};
  return t;
}

// A table with several kinds of field, a null, a deleted record and a memo.
TableSpec Mixed() {
  TableSpec t;
  t.fields = {{"Id", kInteger},        {"Name", kString, 0, 12},    {"Amount", kFloat},
              {"Price", kFloat, kSubCurrency}, {"Born", kDate},      {"Seen", kTimeStamp},
              {"Active", kBoolean},    {"Notes", kBlob, kSubMemo},  {"Qty", kShortInt}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("O'Hara"), Value::Float(12.5), Value::Float(3), Value::Date(DayNumber(2020, 12, 31)),
           Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 9 * 3600000LL + 30 * 60000)), Value::Bool(true),
           Value::Blob("first line\r\nsecond"), Value::Int16(-3)}},
      {1, {Value::Int32(99), Value::Str("deleted"), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
           Value::Null(), Value::Null(), Value::Null()}},
      {0, {Value::Int32(2), Value::Null(), Value::Float(-0.25), Value::Null(), Value::Null(), Value::Null(),
           Value::Bool(false), Value::Null(), Value::Int16(7)}},
  };
  return t;
}

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
      {{"/fields=nosuch", "/h"}, "\r\n\r\n"},
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
  TableSpec t = IdName();
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
  TableSpec t;
  t.version = 4;
  t.fields = {{"Code", kString, 0, 8}, {"Memo", kBlob, kSubMemo}};
  t.records = {{0, {Value::Str("A1"), Value::Blob(std::string(1000, 'm'))}}, {0, {Value::Str("B2"), Value::Null()}}};
  const RunResult r = Convert(t, {});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "A1\t" + std::string(1000, 'm') + "\r\nB2\t\r\n");
}

TEST_F(EndToEnd, EncryptedTableLeavesAnEmptyTarget) {
  TableSpec t = IdName();
  t.encrypted = 1;
  const RunResult r = Convert(t, {"/h"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "");
  EXPECT_TRUE(r.output.starts_with("Exception EZelCryptException in module tabdump at ")) << r.output;
  EXPECT_TRUE(r.output.ends_with(".\nThis file is encrypted but valid password is not specified.\n")) << r.output;
}

TEST_F(EndToEnd, MissingSourceLeavesNoTarget) {
  const RunResult r = Run({Path("missing.dat"), Path("out.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "DBISAM file not found.\n");
  EXPECT_EQ(r.target, "<none>");
  // A directory is not a table either.
  EXPECT_EQ(Run({dir_.string(), Path("out.txt")}).output, "DBISAM file not found.\n");
}

TEST_F(EndToEnd, UsageWithFewerThanTwoParameters) {
  const RunResult r = Run({Path("a.dat")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("convert DBISAM tables into text files\n\n\nTABDUMP.EXE <source.dat> <target.txt> [/h] [/f] "
                          "[/fixed] [/delimiter=<separator>] [/qualifier=<char>] "
                          "[/recordseparator=<crlf|cr|lf|>] [/fields=<field1;field2;...>] [where=<filter>]\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("TABDUMP"), std::string::npos);
  EXPECT_EQ(r.target, "<none>");
}

TEST_F(EndToEnd, BadSwitchValueEndsBeforeAnyFileIsTouched) {
  const RunResult r = Convert(IdName(), {"/delimiter=\\"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with("Exception EConvertError in module tabdump at ")) << r.output;
  EXPECT_TRUE(r.output.ends_with("\n'' is not a valid integer value.\n")) << r.output;
  EXPECT_EQ(r.target, "<none>");
}

TEST_F(EndToEnd, TargetThatCannotBeCreated) {
  const RunResult r = Run({Write(IdName()), Path("no/such/dir/out.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with("Exception EFCreateError")) << r.output;
  EXPECT_TRUE(r.output.ends_with("\nCannot create file " + Path("no/such/dir/out.txt") + ".\n")) << r.output;
}

TEST_F(EndToEnd, WriteErrorIsReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const RunResult r = Run({Write(IdName()), "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with("Exception EWriteError")) << r.output;
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
