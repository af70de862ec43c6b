// /csv, /bom, /codepage, standard output as the target, and folders of
// tables, as the real program writes them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/code_page.h"
#include "tests/app/end_to_end_fixture.h"
#include "tests/support/table_writer.h"

namespace tabdump::testing {
namespace {

// One field of each kind and the CSV text of one value, written out from the
// rules: ISO dates and times with milliseconds when there are any, numbers
// with a full stop and every digit, true/false, \x and hex for bytes,
// quotes only where a loader needs them.
TEST_F(EndToEnd, CsvWritesEveryKindAsLoadersReadIt) {
  struct Case {
    FieldDef field;
    Value value;
    std::string csv;
  };
  const std::vector<Case> cases = {
      {{"I", kInteger}, Value::Int32(-2147483647 - 1), "-2147483648"},
      {{"S", kShortInt}, Value::Int16(-3), "-3"},
      {{"W", kUShortInt}, Value::UInt16(65535), "65535"},
      {{"U", kUInteger, 0, 4}, Value::UInt32(4294967295u), "4294967295"},
      {{"L", kLargeInt}, Value::Int64(INT64_MIN), "-9223372036854775808"},
      {{"UL", kULargeInt, 0, 8}, Value::UInt64(18446744073709551615ull), "18446744073709551615"},
      {{"F", kFloat}, Value::Float(0.1), "0.1"},
      {{"F", kFloat}, Value::Float(-2.5e-300), "-2.5e-300"},
      {{"F", kFloat}, Value::Float(8401000000.0), "8401000000"},
      {{"F", kFloat}, Value::Float(1.0 / 3), "0.3333333333333333"},
      {{"F", kFloat}, Value::Float(std::numeric_limits<double>::infinity()), "Infinity"},
      {{"F", kFloat}, Value::Float(-std::numeric_limits<double>::infinity()), "-Infinity"},
      {{"F", kFloat}, Value::Float(std::numeric_limits<double>::quiet_NaN()), "NaN"},
      {{"D", kDouble, 0, 8}, Value::Float(12.5), "12.5"},
      {{"C", kFloat, kSubCurrency}, Value::Float(1234.5678), "1234.5678"},
      // A currency amount's exact value; a plain Float its shortest text.
      {{"C", kFloat, kSubCurrency}, Value::Float(900000000000000.125), "900000000000000.125"},
      {{"C", kDouble, kSubCurrency, 8}, Value::Float(-123456789012345.671875), "-123456789012345.6719"},
      {{"C", kFloat, kSubCurrency}, Value::Float(0.12345), "0.12345"},
      {{"F", kFloat}, Value::Float(900000000000000.125), "900000000000000.1"},
      {{"B", kBcd, 0, 7}, Value::Bcd("12.34567", 7, 5), "12.34567"},
      {{"B", kBcd, 0, 4}, Value::Bcd("-123.45", 5, 2), "-123.45"},
      {{"B", kBcd, 0, 30}, Value::Bcd("123456789012345678901234.5", 25, 1), "123456789012345678901234.5"},
      {{"D", kDate}, Value::Date(DayNumber(2024, 5, 1)), "2024-05-01"},
      {{"D", kDate}, Value::Date(DayNumber(1, 1, 1)), "0001-01-01"},
      {{"D", kDate}, Value::Date(DayNumber(9999, 12, 31)), "9999-12-31"},
      {{"T", kTime}, Value::Time(9 * 3600000 + 30 * 60000), "09:30:00"},
      {{"T", kTime}, Value::Time(23 * 3600000 + 59 * 60000 + 59 * 1000 + 7), "23:59:59.007"},
      {{"TS", kTimeStamp}, Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 34200000)), "2024-05-01 09:30:00"},
      {{"TS", kTimeStamp}, Value::TimeStamp(StampMs(DayNumber(1899, 12, 29), 123)), "1899-12-29 00:00:00.123"},
      {{"O", kBoolean}, Value::Bool(true), "true"},
      {{"O", kBoolean}, Value::Bool(false), "false"},
      {{"S", kString, 0, 12}, Value::Str("plain"), "plain"},
      {{"S", kString, 0, 12}, Value::Str(""), "\"\""},
      {{"S", kString, 0, 12}, Value::Str("a,b"), "\"a,b\""},
      {{"S", kString, 0, 12}, Value::Str("say \"hi\""), "\"say \"\"hi\"\"\""},
      {{"S", kString, 0, 12}, Value::Str("\\."), "\"\\.\""},
      {{"S", kString, 0, 12}, Value::Str("\\.x"), "\\.x"},
      {{"S", kString, 0, 12}, Value::Str("'single'"), "'single'"},
      {{"M", kBlob, kSubMemo}, Value::Blob("line 1\r\nline 2"), "\"line 1\r\nline 2\""},
      {{"M", kBlob, kSubMemo}, Value::Blob(""), "\"\""},
      {{"M", kBlob, 24}, Value::Blob("formatted"), "formatted"},
      {{"X", kBlob, kSubBinary}, Value::Blob(std::string("\x00\x01\xAB\xFF", 4)), "\\x0001abff"},
      {{"X", kBlob, 0}, Value::Blob("AB"), "\\x4142"},
      {{"X", kBlob, kSubGraphic}, Value::Blob(""), "\\x"},
      {{"R", kBytes, 0, 3}, Value::Raw({0x41, 0x00, 0xFF}), "\\x4100ff"},
      {{"N", kString, 0, 4}, Value::Null(), ""},
      {{"N", kInteger}, Value::Null(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field.name + " " + c.csv);
    TableDef t;
    t.fields = {c.field, {"End", kInteger}};
    t.records = {{0, {c.value, Value::Int32(1)}}};
    const RunResult r = Convert(t, {"/csv"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.target, c.field.name + ",End\r\n" + c.csv + ",1\r\n");
  }
}

// A field the filter reads is written from its value, not from the record's
// bytes: a currency amount is exact on that way too, in CSV and in SQL.
TEST_F(EndToEnd, CurrencyExactWhenTheFilterReadsIt) {
  TableDef t;
  t.fields = {{"C", kFloat, kSubCurrency}};
  t.records = {{0, {Value::Float(900000000000000.125)}}, {0, {Value::Float(-1)}}};
  const RunResult csv = Convert(t, {"/csv", "/where=C > 0"});
  EXPECT_EQ(csv.status, 0) << csv.output;
  EXPECT_EQ(csv.target, "C\r\n900000000000000.125\r\n");
  const RunResult sql = ToSql(t, "sqlite", {"/where=C > 0"});
  EXPECT_EQ(sql.status, 0) << sql.output;
  EXPECT_NE(sql.target.find("(900000000000000.125)"), std::string::npos) << sql.target;
}

TableDef People() {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name, full", kString, 0, 12}, {"Born", kDate}, {"Paid", kFloat}};
  t.records = {{0, {Value::Int32(1), Value::Str("Ann"), Value::Date(DayNumber(2020, 12, 31)), Value::Float(2.5)}},
               {0, {Value::Int32(2), Value::Null(), Value::Null(), Value::Null()}}};
  return t;
}

TEST_F(EndToEnd, CsvSwitchesTogether) {
  const std::string plain = "Id,\"Name, full\",Born,Paid\r\n1,Ann,2020-12-31,2.5\r\n2,,,\r\n";
  struct Case {
    std::vector<std::string> switches;
    std::string target;
  };
  const std::vector<Case> cases = {
      {{"/csv"}, plain},
      {{"/CSV", "/h"}, plain},  // the header is implied; /h adds nothing
      {{"/csv", "/qualifier=\\39", "/fixed"}, plain},  // no effect with /csv
      {{"/qualifier=\\39", "/fixed", "/csv"}, plain},
      {{"/delimiter=;", "/csv"}, "Id;Name, full;Born;Paid\r\n1;Ann;2020-12-31;2.5\r\n2;;;\r\n"},
      {{"/csv", "/delimiter=;", "/recordseparator=lf"}, "Id;Name, full;Born;Paid\n1;Ann;2020-12-31;2.5\n2;;;\n"},
      {{"/csv", "/f"}, "Id,\"Name, full\",Born,Paid\r\nI,S,D,F\r\n1,Ann,2020-12-31,2.5\r\n2,,,\r\n"},
      {{"/csv", "/bom"}, "\xEF\xBB\xBF" + plain},
      {{"/bom", "/h"}, "\xEF\xBB\xBFId\tName, full\tBorn\tPaid\r\n1\tAnn\t2020-12-31\t2.5\r\n2\t\t\t\r\n"},
      {{"/csv", "/fields=id;born"}, "Id,Born\r\n1,2020-12-31\r\n2,\r\n"},
      {{"/csv", "/where=Id = 2"}, "Id,\"Name, full\",Born,Paid\r\n2,,,\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.switches.front() + (c.switches.size() > 1 ? " " + c.switches[1] : ""));
    const RunResult r = Convert(People(), c.switches);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.target, c.target);
  }
}

// German settings change the text output (decimal comma, d.m.y dates) but
// not /csv.  The locale is compiled into a folder of the test's own.
TEST_F(EndToEnd, CsvIgnoresTheRegionalSettings) {
  // Windows takes its settings from the user's locale, not from LOCPATH: the
  // Windows suite has German settings of its own.
  if (kUnderWine) GTEST_SKIP() << "the Windows suite runs /csv under German settings";
  const std::string locales = Path("locales");
  std::filesystem::create_directories(locales);
  const RunResult made = RunShell("localedef -i de_DE -f UTF-8 " + ShellQuote(locales + "/de_DE.UTF-8") + " 2>&1");
  if (made.status > 1) GTEST_SKIP() << "no German locale could be made here: " << made.output;
  const std::string german = "LOCPATH=" + ShellQuote(locales) + " LC_ALL=de_DE.UTF-8";
  const RunResult text = Convert(People(), {}, german);
  ASSERT_EQ(text.target, "1\tAnn\t31.12.2020\t2,5\r\n2\t\t\t\r\n") << "the German settings did not take";
  EXPECT_EQ(Convert(People(), {"/csv"}, german).target, Convert(People(), {"/csv"}).target);
}

// Every byte 0x80-0xFF of each single-byte code page, in a String and in a
// memo and in a field name, against the code page's own table (which the
// Windows suite holds against MultiByteToWideChar).
TEST_F(EndToEnd, CodePageTurnsStringsMemosAndNamesIntoUtf8) {
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b) high += static_cast<char>(b);
  for (int page : {437, 850, 852, 866, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
    SCOPED_TRACE("code page " + std::to_string(page));
    const std::optional<CodePage> code_page = CodePage::Find(page);
    ASSERT_TRUE(code_page);
    std::string utf8, name;
    EXPECT_EQ(code_page->AppendUtf8(high, utf8), 0u);
    code_page->AppendUtf8("N\xE9", name);
    TableDef t;
    t.fields = {{"N\xE9", kString, 0, 200}, {"Memo", kBlob, kSubMemo}, {"Raw", kBytes, 0, 2}};
    t.records = {{0, {Value::Str(high), Value::Blob(high), Value::Raw({0xE9, 0x80})}}};
    const RunResult r = Convert(t, {"/h", "/codepage=" + std::to_string(page)});
    EXPECT_EQ(r.status, 0) << r.output;
    // Bytes are binary: never converted.
    EXPECT_EQ(r.target, name + "\tMemo\tRaw\r\n" + utf8 + "\t" + utf8 + "\t\xE9\x80\r\n");
  }
}

TEST_F(EndToEnd, CodePageSpotChecksAndBrokenBytes) {
  struct Case {
    std::string page;
    std::string stored;
    std::string utf8;
    std::string errors;
  };
  const std::vector<Case> cases = {
      {"1252", "M\xFCller \x80 \x81", "M\xC3\xBCller \xE2\x82\xAC \xC2\x81", ""},
      {"cp1251", "\xC0\xE1\xE2", "\xD0\x90\xD0\xB1\xD0\xB2", ""},
      {"932", "\x82\xA0\x88\x9F\xB1", "\xE3\x81\x82\xE4\xBA\x9C\xEF\xBD\xB1", ""},
      {"936", "\xC4\xE3", "\xE4\xBD\xA0", ""},
      {"949", "\xB0\xA1", "\xEA\xB0\x80", ""},
      {"950", "\xA4\x40", "\xE4\xB8\x80", ""},
      {"utf8", "caf\xC3\xA9", "caf\xC3\xA9", ""},
      // A broken pair and bad UTF-8: U+FFFD, the next byte read anew, a warning.
      {"932", "a\x82 b", "a\xEF\xBF\xBD b",
       "Warning: t.dat: 1 byte sequence is not text in code page 932 (the first in record 1); each is written as "
       "U+FFFD." + kLineEnd},
      {"65001", "x\xE4" "a\xFF", "x\xEF\xBF\xBD" "a\xEF\xBF\xBD",
       "Warning: t.dat: 2 byte sequences are not text in code page 65001 (the first in record 1); each is written "
       "as U+FFFD." + kLineEnd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    TableDef t;
    t.fields = {{"S", kString, 0, 20}};
    t.records = {{0, {Value::Str(c.stored)}}};
    const RunResult r = Convert(t, {"/codepage=" + c.page});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.target, c.utf8 + "\r\n");
    EXPECT_EQ(r.errors, c.errors);
  }
}

TEST_F(EndToEnd, CodePageAppliesToTypedFiltersAndFieldNames) {
  TableDef t;
  t.fields = {{"Stra\xDF" "e", kString, 0, 20}, {"City", kString, 0, 20}};
  t.records = {{0, {Value::Str("Hauptstra\xDF" "e"), Value::Str("M\xFCnchen")}},
               {0, {Value::Str("Ring"), Value::Str("Berlin")}}};
  // The filter and the field list are typed in UTF-8 and found in 1252.
  // Under Wine the terminal's UTF-8 must reach the Unicode command line, as
  // a Windows console hands it over.
  const std::string typing = kUnderWine ? "LC_ALL=C.UTF-8" : "";
  RunResult r = Convert(t, {"/codepage=1252", "/where=City = \"M\xC3\xBCnchen\"", "/fields=stra\xC3\x9F" "e"},
                        typing);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "Hauptstra\xC3\x9F" "e\r\n");
  // Fixed-width columns count characters: "München" is 7 of its 8 bytes.
  r = Convert(t, {"/codepage=1252", "/fixed", "/fields=City"});
  EXPECT_EQ(r.target, "M\xC3\xBCnchen" + std::string(13, ' ') + "\r\nBerlin" + std::string(14, ' ') + "\r\n");
  // A character the code page cannot hold ends the run before the target is made.
  std::filesystem::remove(Path("out.txt"));
  r = Convert(t, {"/codepage=1252", "/where=City = \"\xE4\xB8\x80\""}, typing);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.ends_with("." + kLineEnd +
                                 "The filter holds the character U+4E00, which code page 1252 cannot hold." + kLineEnd))
      << r.output;
  EXPECT_EQ(r.target, "<none>");
  std::filesystem::remove(Path("out.txt"));
  r = Convert(t, {"/codepage=1234"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with(ReportHead("EConvertError"))) << r.output;
  EXPECT_TRUE(r.output.ends_with("." + kLineEnd + "Unknown code page 1234." + kLineEnd)) << r.output;
  EXPECT_EQ(r.target, "<none>");
}

// "-" sends the output to standard output, byte for byte as to a file, and
// the messages to standard error, so that a pipe carries data only.
TEST_F(EndToEnd, DashWritesToStandardOutput) {
  Write(People());
  RunResult r = Run({Arg("t.dat"), "-", "/csv"}, "none");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "Id,\"Name, full\",Born,Paid\r\n1,Ann,2020-12-31,2.5\r\n2,,,\r\n");
  EXPECT_EQ(r.errors, "");
  r = Run({Arg("missing.dat"), "-"}, "none");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.errors, "DBISAM file not found." + kLineEnd);
  TableDef locked = People();
  locked.encrypted = 1;
  Write(locked, "locked.dat");
  r = Run({Arg("locked.dat"), "-"}, "none");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "");
  EXPECT_TRUE(r.errors.starts_with(ReportHead("EZelCryptException"))) << r.errors;
}

// A reader that stops early (head) ends the run quietly, with a status that
// is not 0 and no report.
TEST_F(EndToEnd, ClosedPipeEndsTheRunQuietly) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Text", kString, 0, 200}};
  for (int i = 0; i < 20000; ++i) t.records.push_back({0, {Value::Int32(i), Value::Str(std::string(150, 'x'))}});
  Write(t);
  const RunResult status = RunShell("bash -c " + ShellQuote("set -o pipefail; LC_ALL=C " + ProgramCommand() + " " +
                                                           ShellQuote(Arg("t.dat")) + " - 2>" +
                                                           ShellQuote(Path("stderr.txt")) + " | head -c 10 >/dev/null"));
  EXPECT_NE(status.status, 0);
  EXPECT_EQ(ReadFile(Path("stderr.txt")), "");
}

// A folder: every .dat in it (any letter case), sorted by name, each into
// its own file; a table that fails is reported with its name and the others
// go on; the exit status says one failed.
TEST_F(EndToEnd, FolderOfTables) {
  namespace fs = std::filesystem;
  fs::create_directories(Path("db"));
  TableDef locked = IdName();
  locked.encrypted = 1;
  TableDef other = IdName();
  other.records = {{0, {Value::Int32(8), Value::Str("Eve")}}};
  Write(IdName(), "db/b.dat");
  Write(locked, "db/A.DAT");
  Write(other, "db/c.Dat");
  Write(IdName(), "db/notes.txt");
  const RunResult r = Run({Arg("db"), Arg("out"), "/csv", "/summary"}, "none");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(ReadFile(Path("out/b.csv")), "Id,Name\r\n7,Bob\r\n");
  EXPECT_EQ(ReadFile(Path("out/c.csv")), "Id,Name\r\n8,Eve\r\n");
  // The failed table is refused before its target is made, as alone.
  EXPECT_EQ(ReadFile(Path("out/A.csv")), "<none>");
  EXPECT_FALSE(fs::exists(Path("out/notes.csv")));
  const std::string report_start = "A.DAT:" + kLineEnd + ReportHead("EZelCryptException");
  EXPECT_TRUE(r.errors.starts_with(report_start)) << r.errors;
  const std::string rest = r.errors.substr(r.errors.find("specified." + kLineEnd) + 10 + kLineEnd.size());
  EXPECT_EQ(rest,
            "b.dat: 1 record read, 1 written, 0 deleted and 0 damaged skipped, 0 rejected by the filter" + kLineEnd +
                "c.Dat: 1 record read, 1 written, 0 deleted and 0 damaged skipped, 0 rejected by the filter" +
                kLineEnd + "3 tables: 2 converted, 1 failed; 2 records read, 2 written" + kLineEnd);
  // A folder cannot go to standard output.
  const RunResult piped = Run({Arg("db"), "-"}, "none");
  EXPECT_EQ(piped.status, 1);
  EXPECT_TRUE(piped.errors.ends_with(
      "." + kLineEnd + "A folder of tables cannot go to standard output: name a target folder." + kLineEnd))
      << piped.errors;
}

}  // namespace
}  // namespace tabdump::testing
