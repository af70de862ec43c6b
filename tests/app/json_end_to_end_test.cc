// /json, JSON Lines: the value of every kind written out here by hand from
// the rules (RFC 8259 strings, numbers with all their digits, base64 bytes,
// CSV's dates), the lines read back by strict JSON readers (Python's json
// keeping decimals, jq), the errors and warnings, the folder mode and
// threads.  The same cases run against TABDUMP.EXE under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/table_writer.h"

namespace tabdump::testing {
namespace {

class JsonLines : public EndToEnd {};

TEST_F(JsonLines, EveryKindOfValue) {
  struct Case {
    FieldDef field;
    Value value;
    std::string json;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {{"I", kInteger}, Value::Int32(-2147483647 - 1), "-2147483648"},
      {{"I", kInteger, kSubAutoInc}, Value::Int32(7), "7"},
      {{"S", kShortInt}, Value::Int16(-3), "-3"},
      {{"W", kUShortInt}, Value::UInt16(65535), "65535"},
      {{"U", kUInteger, 0, 4}, Value::UInt32(4294967295u), "4294967295"},
      {{"L", kLargeInt}, Value::Int64(INT64_MIN), "-9223372036854775808"},
      {{"UL", kULargeInt, 0, 8}, Value::UInt64(18446744073709551615ull), "18446744073709551615"},
      {{"F", kFloat}, Value::Float(0.1), "0.1"},
      {{"F", kFloat}, Value::Float(1e300), "1e+300"},
      {{"F", kFloat}, Value::Float(-2.5e-300), "-2.5e-300"},
      {{"F", kFloat}, Value::Float(1.0 / 3), "0.3333333333333333"},
      {{"D", kDouble, 0, 8}, Value::Float(12.5), "12.5"},
      {{"C", kFloat, kSubCurrency}, Value::Float(900000000000000.125), "900000000000000.125"},
      {{"C", kFloat, kSubCurrency}, Value::Float(0.12345), "0.12345"},
      {{"B", kBcd, 0, 7}, Value::Bcd("12.34567", 7, 5), "12.34567"},
      {{"B", kBcd, 0, 4}, Value::Bcd("-123.45", 5, 2), "-123.45"},
      {{"B", kBcd, 0, 30}, Value::Bcd("123456789012345678901234.5", 25, 1), "123456789012345678901234.5"},
      {{"B", kBcd, 0, 4}, Value::Bcd("0.5", 2, 1), "0.5"},
      {{"O", kBoolean}, Value::Bool(true), "true"},
      {{"O", kBoolean}, Value::Bool(false), "false"},
      {{"D", kDate}, Value::Date(DayNumber(1, 1, 1)), "\"0001-01-01\""},
      {{"T", kTime}, Value::Time(23 * 3600000 + 59 * 60000 + 59 * 1000 + 7), "\"23:59:59.007\""},
      {{"TS", kTimeStamp}, Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 34200000)), "\"2024-05-01 09:30:00\""},
      {{"S", kString, 0, 12}, Value::Str("plain"), "\"plain\""},
      {{"S", kString, 0, 12}, Value::Str(""), "\"\""},
      {{"S", kString, 0, 12}, Value::Str("say \"hi\""), "\"say \\\"hi\\\"\""},
      {{"S", kString, 0, 12}, Value::Str("a\\b/c"), "\"a\\\\b/c\""},
      {{"S", kString, 0, 12}, Value::Str("\x01\x1F\t\b\f\x7F"), "\"\\u0001\\u001f\\t\\b\\f\x7F\""},
      {{"S", kString, 0, 12}, Value::Str("caf\xC3\xA9"), "\"caf\xC3\xA9\""},  // UTF-8 already
      {{"M", kBlob, kSubMemo}, Value::Blob("line 1\r\nline 2"), "\"line 1\\r\\nline 2\""},
      {{"M", kBlob, 24}, Value::Blob(""), "\"\""},
      // base64: 00 01 AB | FF -> AAGr /w==; 41 42 -> QUI=; 41 00 FF -> QQD/
      {{"X", kBlob, kSubBinary}, Value::Blob(std::string("\x00\x01\xAB\xFF", 4)), "\"AAGr/w==\""},
      {{"X", kBlob, kSubGraphic}, Value::Blob("AB"), "\"QUI=\""},
      {{"X", kBlob, kSubBinary}, Value::Blob(""), "\"\""},
      {{"R", kBytes, 0, 3}, Value::Raw({0x41, 0x00, 0xFF}), "\"QQD/\""},
      {{"V", kVarBytes, 0, 3}, Value::Raw({0x41, 0x42, 0x43}), "\"QUJD\""},
      {{"N", kString, 0, 4}, Value::Null(), "null"},
      {{"N", kInteger}, Value::Null(), "null"},
      {{"N", kBlob, kSubMemo}, Value::Null(), "null"},
      // What JSON has no number for: null, and a warning of its own.
      {{"F", kFloat}, Value::Float(nan), "null"},
      {{"F", kFloat}, Value::Float(-inf), "null"},
      {{"C", kFloat, kSubCurrency}, Value::Float(inf), "null"},
      {{"B", kBcd, 0, 2}, Value::Raw({2, 0, 0xA1}), "null"},  // a half-byte above 9: no digit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field.name + " " + c.json);
    TableDef t;
    t.fields = {c.field, {"End", kInteger}};
    t.records = {{0, {c.value, Value::Int32(1)}}};
    const RunResult r = Convert(t, {"/json"});
    EXPECT_EQ(r.status, 0) << r.output << r.errors;
    EXPECT_EQ(r.target, "{\"" + c.field.name + "\":" + c.json + ",\"End\":1}\n");
    const bool unwritable = c.json == "null" && c.field.name != "N";
    EXPECT_EQ(r.errors.find("which JSON cannot hold (the first in record 1); each is written as null.") !=
                  std::string::npos,
              unwritable)
        << r.errors;
  }
}

// A table of several kinds and records, every line read by Python's json
// (decimals kept, NaN and Infinity refused) and compared with what the table
// holds; and by jq.
TEST_F(JsonLines, StrictReadersReadEveryLine) {
  TableDef t;
  t.fields = {{"Id", kInteger, kSubAutoInc}, {"Name", kString, 0, 20}, {"name", kString, 0, 20},
              {"Price", kFloat, kSubCurrency}, {"Exact", kBcd, 0, 30}, {"Big", kULargeInt, 0, 8},
              {"Seen", kTimeStamp}, {"Ok", kBoolean}, {"Notes", kBlob, kSubMemo}, {"Pic", kBlob, kSubBinary}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("Tab\there \"q\""), Value::Str(""), Value::Float(900000000000000.125),
           Value::Bcd("-123456789012345678901234.56789", 29, 5), Value::UInt64(18446744073709551615ull),
           Value::TimeStamp(StampMs(DayNumber(2024, 5, 1), 34200123)), Value::Bool(true),
           Value::Blob("a\r\nb\\c\x01"), Value::Blob(std::string("\x00\xFF\x10", 3))}},
      {1, {Value::Int32(9), Value::Str("deleted"), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
           Value::Null(), Value::Null(), Value::Null(), Value::Null()}},
      {0, {Value::Int32(2), Value::Null(), Value::Str("x"), Value::Null(), Value::Null(), Value::Null(),
           Value::Null(), Value::Bool(false), Value::Null(), Value::Blob("")}},
  };
  const RunResult r = Convert(t, {"/json"});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  std::ofstream(Path("check.py")) << R"(import base64, json, sys
from decimal import Decimal
def refuse(name): raise ValueError(name)
lines = open(sys.argv[1], 'rb').read().decode('utf-8').split('\n')
assert lines[-1] == '', 'the last line ends with LF'
rows = [json.loads(l, parse_float=Decimal, parse_constant=refuse) for l in lines[:-1]]
assert len(rows) == 2, rows
a, b = rows
assert list(a) == ['Id', 'Name', 'name', 'Price', 'Exact', 'Big', 'Seen', 'Ok', 'Notes', 'Pic'], list(a)
assert a == {'Id': 1, 'Name': 'Tab\there "q"', 'name': '', 'Price': Decimal('900000000000000.125'),
             'Exact': Decimal('-123456789012345678901234.56789'), 'Big': 18446744073709551615,
             'Seen': '2024-05-01 09:30:00.123', 'Ok': True, 'Notes': 'a\r\nb\\c\x01',
             'Pic': base64.b64encode(b'\x00\xff\x10').decode()}, a
assert b == {'Id': 2, 'Name': None, 'name': 'x', 'Price': None, 'Exact': None, 'Big': None, 'Seen': None,
             'Ok': False, 'Notes': None, 'Pic': ''}, b
print('ok')
)";
  const RunResult python = InFolder("python3 check.py out.txt");
  EXPECT_EQ(python.status, 0) << python.output;
  EXPECT_EQ(python.output, "ok\n");
  const RunResult jq = InFolder("jq -c '[.Id, .name, .Ok]' out.txt");
  EXPECT_EQ(jq.status, 0) << jq.output;
  EXPECT_EQ(jq.output, "[1,\"\",true]\n[2,\"x\",false]\n");
}

// Without /codepage the texts must be UTF-8 already; with it, texts and
// names are converted; bytes never are.
TEST_F(JsonLines, CodePageAndTextsThatAreNotUtf8) {
  TableDef t;
  t.fields = {{"Caf\xE9", kString, 0, 12}, {"Raw", kBytes, 0, 1}};
  t.records = {{0, {Value::Str("M\xFCnchen"), Value::Raw({0xE9})}}};
  const RunResult converted = Convert(t, {"/json", "/codepage=1252"});
  EXPECT_EQ(converted.status, 0) << converted.output << converted.errors;
  EXPECT_EQ(converted.target, "{\"Caf\xC3\xA9\":\"M\xC3\xBCnchen\",\"Raw\":\"6Q==\"}\n");

  std::ofstream(Path("out.txt")) << "kept";
  const RunResult name = Convert(t, {"/json"});
  EXPECT_EQ(name.status, 1);
  EXPECT_EQ(name.output.substr(0, ReportHead("EConvertError").size()), ReportHead("EConvertError"));
  EXPECT_NE(name.output.find("The name of field 1 is not valid UTF-8; name the table's code page with /codepage="),
            std::string::npos)
      << name.output;
  EXPECT_EQ(name.target, "kept");  // refused before the target is touched

  t.fields[0].name = "City";
  t.records.insert(t.records.begin(), {0, {Value::Str("Paris"), Value::Raw({1})}});
  const RunResult text = Convert(t, {"/json"});
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.output.find("Record 2, field \"City\": the text is not valid UTF-8; name the table's code page"),
            std::string::npos)
      << text.output;
  EXPECT_EQ(text.target, "{\"City\":\"Paris\",\"Raw\":\"AQ==\"}\n");  // the lines before it stay
}

// A key twice would be read differently by different readers: refused
// before the target is touched.  Names that differ in letter case are other
// keys.
TEST_F(JsonLines, NameTwiceIsRefusedLetterCaseIsNot) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"id", kInteger}, {"Id", kInteger}};
  t.records = {{0, {Value::Int32(1), Value::Int32(2), Value::Int32(3)}}};
  std::ofstream(Path("out.txt")) << "kept";
  const RunResult twice = Convert(t, {"/json"});
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.output.find("Fields 1 and 3 are both named \"Id\", which a JSON object cannot hold twice."),
            std::string::npos)
      << twice.output;
  EXPECT_EQ(twice.target, "kept");

  t.fields.pop_back();
  t.records[0].values.pop_back();
  const RunResult cased = Convert(t, {"/json"});
  EXPECT_EQ(cased.status, 0) << cased.output;
  EXPECT_EQ(cased.target, "{\"Id\":1,\"id\":2}\n");

  // Two bytes that are no UTF-8 both become U+FFFD.
  t.fields = {{"A\xFE", kInteger}, {"A\xFF", kInteger}};
  const RunResult converted = Convert(t, {"/json", "/codepage=utf8"});
  EXPECT_EQ(converted.status, 1);
  EXPECT_NE(converted.output.find("Fields 1 and 2 are both named \"A\xEF\xBF\xBD\""), std::string::npos)
      << converted.output;
}

// The switches of the line layout have no effect; /fields=, /where= and
// /bom do; NaN is a loss that /strict refuses.
TEST_F(JsonLines, SwitchesAndStrict) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}, {"F", kFloat}};
  t.records = {{0, {Value::Int32(1), Value::Str("a"), Value::Float(1.5)}},
               {0, {Value::Int32(2), Value::Str("b"), Value::Float(std::numeric_limits<double>::quiet_NaN())}}};
  const std::string both = "{\"Id\":1,\"Name\":\"a\",\"F\":1.5}\n{\"Id\":2,\"Name\":\"b\",\"F\":null}\n";
  struct Case {
    std::vector<std::string> switches;
    std::string target;
  };
  const std::vector<Case> cases = {
      {{"/json", "/h", "/f", "/fixed", "/delimiter=;", "/qualifier=\\34", "/recordseparator=crlf"}, both},
      {{"/csv", "/JSON"}, both},
      {{"/json", "/csv", "/delimiter=\\0"}, both},
      {{"/json", "/bom"}, "\xEF\xBB\xBF" + both},
      {{"/json", "/fields=name;id", "/where=Id > 1"}, "{\"Id\":2,\"Name\":\"b\"}\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.switches[1]);
    const RunResult r = Convert(t, c.switches);
    EXPECT_EQ(r.status, 0) << r.output << r.errors;
    EXPECT_EQ(r.target, c.target);
  }
  const RunResult warned = Convert(t, {"/json", "/summary"});
  EXPECT_EQ(warned.errors,
            "Warning: t.dat: 1 number is NaN, infinite or no number at all, which JSON cannot hold (the first in "
            "record 2); each is written as null." + kLineEnd +
            "t.dat: 2 records read, 2 written, 0 deleted and 0 damaged skipped, 0 rejected by the filter" + kLineEnd);
  const RunResult strict = Convert(t, {"/json", "/strict"});
  EXPECT_EQ(strict.status, 1);
  EXPECT_EQ(strict.output.substr(0, ReportHead("EDataLoss").size()), ReportHead("EDataLoss")) << strict.output;
  EXPECT_EQ(strict.target, "{\"Id\":1,\"Name\":\"a\",\"F\":1.5}\n");
}

// Each table of a folder goes to NAME.jsonl.
TEST_F(JsonLines, FolderMode) {
  std::filesystem::create_directories(Path("db"));
  Write(IdName(), "db/people.dat");
  TableDef other;
  other.fields = {{"X", kBoolean}};
  other.records = {{0, {Value::Bool(true)}}};
  Write(other, "db/flags.DAT");
  const RunResult r = Run({Arg("db"), Arg("out"), "/json"});
  EXPECT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_EQ(ReadFile(Path("out/people.jsonl")), "{\"Id\":7,\"Name\":\"Bob\"}\n");
  EXPECT_EQ(ReadFile(Path("out/flags.jsonl")), "{\"X\":true}\n");
}

// Enough records for the worker threads to convert most of them: the bytes,
// the warnings and the summary are those of one thread.
TEST_F(JsonLines, ThreadsGiveTheSameBytes) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Text", kString, 0, 2000}, {"F", kFloat}};
  {
    TableFileWriter writer(t, Path("t.dat"));
    for (int i = 0; i < 1500; ++i) {
      const double value = i % 97 == 5 ? std::numeric_limits<double>::infinity() : i / 4.0;
      writer.Add({static_cast<std::uint8_t>(i % 50 == 3 ? 1 : 0),
                  {Value::Int32(i), Value::Str("r\"" + std::to_string(i)), Value::Float(value)}});
    }
    writer.Close();
  }
  const RunResult one = Run({Arg("t.dat"), Arg("one.jsonl"), "/json", "/threads=1", "/summary"}, "one.jsonl");
  const RunResult four = Run({Arg("t.dat"), Arg("four.jsonl"), "/json", "/threads=4", "/summary"}, "four.jsonl");
  ASSERT_EQ(one.status, 0) << one.output << one.errors;
  EXPECT_EQ(four.status, 0);
  EXPECT_EQ(one.target.size(), four.target.size());
  EXPECT_TRUE(one.target == four.target);
  EXPECT_EQ(one.errors, four.errors);
  // 1500 records, 30 deleted (3, 53, ...); infinities at 5, 102, ..., 1460:
  // 16 of them, none in a deleted record (i % 97 == 5 and i % 50 == 3 first
  // meet beyond 1500).
  EXPECT_NE(one.errors.find("16 numbers are NaN"), std::string::npos) << one.errors;
  EXPECT_NE(one.errors.find("1,500 records read, 1,470 written, 30 deleted"), std::string::npos) << one.errors;
}

}  // namespace
}  // namespace tabdump::testing
