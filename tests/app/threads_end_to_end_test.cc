// /threads=N changes nothing that a user can see: a table of 200,000 records
// with memos, deleted and damaged records and a header that counts fewer
// records than the file holds, converted with 1, 2 and 7 threads, gives the
// same target, the same standard output and error and the same exit status
// — with a filter that fails at a late record, with the header's count
// reached in the middle of the file, with /strict meeting a damaged BLOB late,
// and with a SQL script whose INSERT statements run across the chunks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"

namespace tabdump {
namespace {

using namespace tabdump::testing;

constexpr int kRecords = 200'000;

// Record i (from 1): Amount is positive for two in three; every 97th record
// is deleted and every 101st damaged; one in 50 has a memo, and record
// 180,001 one whose BLOB chain ends before its total length.
bool IsNormal(int i) { return i % 97 != 0 && i % 101 != 0; }

TableDef Big() {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 12}, {"Amount", kFloat}, {"Notes", kBlob, kSubMemo}};
  t.records.reserve(kRecords);
  for (int i = 1; i <= kRecords; ++i) {
    const std::uint8_t status = i % 97 == 0 ? 1 : i % 101 == 0 ? 2 : 0;
    Value notes = i % 50 != 1 ? Value::Null() : Value::Blob("memo " + std::to_string(i) + (i % 7 == 0 ? "\r\nline" : ""));
    if (i == 180'001) {
      notes = Value::Blob(std::string(1200, 'm'));
      notes.blob_shape.total_length = 5000;  // the chain ends before its total
    }
    t.records.push_back({status, {Value::Int32(i), Value::Str("n" + std::to_string(i)),
                                  Value::Float(i % 3 == 0 ? -0.5 * i : 0.25 * i), notes}});
  }
  t.record_count = 190'000;  // fewer than the normal records the file holds
  return t;
}

class Threads : public EndToEnd {};

TEST_F(Threads, EveryThreadCountGivesTheSameRun) {
  Write(Big());
  struct Case {
    const char* name;
    std::vector<std::string> switches;
    int status;  // expected with one thread: a sanity check of the case
  };
  const std::vector<Case> cases = {
      // A text that is no Boolean ends the run at record 170,000.
      {"late filter error", {"/where=IIF(Id < 170000, Amount > 0, Name)", "/summary"}, 1},
      // 190,000 lines are more than the records left after deleting, damaging
      // and filtering, so the file ends first here; 20,000 are reached early.
      {"header count", {"/h", "/where=Amount > 0", "/summary"}, 0},
      {"no filter", {"/csv", "/summary"}, 0},
      {"strict", {"/strict", "/fields=Id;Notes"}, 1},
      {"sql", {"/sql=mysql", "/fields=id;name;amount", "/summary"}, 0},
      {"random on one thread", {"/where=RANDOM(10) > 4", "/fields=Id"}, 0},
  };
  for (const Case& c : cases) {
    RunResult first;
    for (const int threads : {1, 2, 7}) {
      std::vector<std::string> args{Arg("t.dat"), Arg("out.txt"), "/threads=" + std::to_string(threads)};
      args.insert(args.end(), c.switches.begin(), c.switches.end());
      const RunResult r = Run(args, "out.txt");
      if (threads == 1) {
        first = r;
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.output << r.errors;
        EXPECT_GT(r.target.size(), 100'000u) << c.name;
        continue;
      }
      EXPECT_EQ(r.status, first.status) << c.name << ", " << threads << " threads";
      EXPECT_EQ(r.output, first.output) << c.name << ", " << threads << " threads";
      EXPECT_EQ(r.errors, first.errors) << c.name << ", " << threads << " threads";
      EXPECT_TRUE(r.target == first.target) << c.name << ", " << threads << " threads: the targets differ ("
                                            << r.target.size() << " and " << first.target.size() << " bytes)";
    }
  }
}

TEST_F(Threads, HeaderCountReachedInTheMiddle) {
  TableDef t = Big();
  t.record_count = 20'000;
  Write(t);
  // The 20,000th normal record is the last one read and written.
  int last = 0;
  for (int normal = 0; normal < 20'000;) normal += IsNormal(++last);
  ASSERT_EQ(last, 20'410);  // 210 multiples of 97, 202 of 101, 2 of both
  std::string first;
  for (const int threads : {1, 2, 7}) {
    const RunResult r = Run({Arg("t.dat"), Arg("out.txt"), "/threads=" + std::to_string(threads), "/summary"});
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    EXPECT_EQ(r.errors.substr(0, r.errors.find(" deleted")), "t.dat: 20,410 records read, 20,000 written, 210")
        << threads << " threads";
    const std::size_t last_line = r.target.rfind("\r\n", r.target.size() - 3);
    EXPECT_EQ(r.target.substr(last_line + 2, 6), "20410\t") << threads << " threads";
    if (threads == 1) first = r.target;
    EXPECT_TRUE(r.target == first) << threads << " threads";
  }
}

// Bytes that the code page cannot read, in a field name (the header line,
// written before any chunk) and in the records, are counted once each
// however many threads convert them.
TEST_F(Threads, ReplacedBytesAreCountedAcrossChunks) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name\x81", kString, 0, 8}};
  for (int i = 1; i <= 40'000; ++i) {
    t.records.push_back({0, {Value::Int32(i), Value::Str(i % 1000 == 0 ? "bad\x81" : "ok")}});
  }
  Write(t);
  for (const int threads : {1, 2, 7}) {
    const RunResult r = Run({Arg("t.dat"), Arg("out.txt"), "/threads=" + std::to_string(threads), "/h",
                             "/codepage=932", "/summary"});
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    // The name's lead byte and 40 values' lead bytes, each at the end of its text.
    EXPECT_NE(r.errors.find(", 41 characters replaced"), std::string::npos) << threads << " threads\n" << r.errors;
    EXPECT_NE(r.errors.find("the first in record 0"), std::string::npos) << threads << " threads\n" << r.errors;
  }
}

TEST_F(Threads, CountOutsideItsRangeIsRefusedBeforeTheTarget) {
  for (const char* count : {"0", "65", "two", ""}) {
    const RunResult r = Convert(IdName(), {std::string("/threads=") + count});
    EXPECT_EQ(r.status, 1) << count;
    EXPECT_EQ(r.target, "<none>") << count;
    EXPECT_NE(r.output.find(kLineEnd + "The number of threads must be from 1 to 64: /threads=" + count + "." + kLineEnd),
              std::string::npos)
        << r.output;
  }
}

}  // namespace
}  // namespace tabdump
