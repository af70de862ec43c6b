// The run summary, the warnings about values and records that the output
// carries only in part, and /strict, which makes each of them an error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/table_writer.h"

namespace tabdump::testing {
namespace {

// Id (Integer, presence and 4 bytes at offset 1) and Notes (memo, presence
// and 8 bytes at offset 6): records of 15 bytes after 2,048 bytes of header
// and descriptors.
TableDef Notes(std::vector<RecordDef> records) {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Notes", kBlob, kSubMemo}};
  t.records = std::move(records);
  return t;
}

RecordDef Note(std::int32_t id, Value notes, std::uint8_t status = 0) {
  return {status, {Value::Int32(id), std::move(notes)}};
}

// Records 1 and 5 sound, 2 deleted, 3 damaged, 4 with a chain that ends
// before the length its first block gives, 6 cut after 7 of its 15 bytes
// (its Id is whole, its BLOB reference reads as zeros: null).
TableDef Lossy() {
  TableDef t = Notes({Note(1, Value::Blob("a")), Note(2, Value::Blob("gone"), 1), Note(3, Value::Null(), 2),
                      Note(4, Value::Blob("abc", {{}, 100, false, {}})), Note(5, Value::Blob("e")),
                      Note(6, Value::Null())});
  t.dat_size = 2048 + 5 * 15 + 7;
  return t;
}

// Two sound records and a third cut after 7 of its 15 bytes.
TableDef CutShort() {
  TableDef t = Notes({Note(1, Value::Blob("a")), Note(2, Value::Null()), Note(3, Value::Null())});
  t.dat_size = 2048 + 2 * 15 + 7;
  return t;
}

const std::string kDamagedChain =
    "t.dat: 1 BLOB value is damaged (the first in record 4): the chain of blocks ends early, returns to a "
    "block or points beyond the BLOB file";
const std::string kPartial = "t.dat: the file ends inside its last record, record 6, of which it holds only 7 bytes";
const std::string kMissing = "t.dat: the table has BLOB fields but its BLOB file t.blb is missing (2 values, the first in record 1)";

TEST_F(EndToEnd, SummaryWarningsAndStrict) {
  TableDef missing = Notes({Note(1, Value::Blob("a")), Note(2, Value::Null()), Note(3, Value::Blob("c"))});
  missing.blob_file = false;
  const TableDef sound = Notes({Note(1, Value::Blob("a")), Note(2, Value::Null()), Note(3, Value::Blob("c"))});
  struct Case {
    const char* label;
    TableDef table;
    std::vector<std::string> switches;
    int status;
    std::string target;
    std::string errors;  // standard error
    std::string output;  // the end of standard output: the error report's message
  };
  const std::vector<Case> cases = {
      {"sound, no terminal: nothing on standard error", sound, {}, 0, "1\ta\r\n2\t\r\n3\tc\r\n", "", ""},
      {"sound, /summary", sound, {"/summary"}, 0, "1\ta\r\n2\t\r\n3\tc\r\n",
       "t.dat: 3 records read, 3 written, 0 deleted and 0 damaged skipped, 0 rejected by the filter" + kLineEnd,
       ""},
      {"filter rejections counted", sound, {"/SUMMARY", "/where=Id > 1"}, 0, "2\t\r\n3\tc\r\n",
       "t.dat: 3 records read, 2 written, 0 deleted and 0 damaged skipped, 1 rejected by the filter" + kLineEnd,
       ""},
      {"losses warned without /summary", Lossy(), {}, 0, "1\ta\r\n4\tabc\r\n5\te\r\n6\t\r\n",
       "Warning: " + kDamagedChain + "; what could be read is written." + kLineEnd + "Warning: " + kPartial +
           "." + kLineEnd,
       ""},
      {"losses in the summary", Lossy(), {"/summary"}, 0, "1\ta\r\n4\tabc\r\n5\te\r\n6\t\r\n",
       "Warning: " + kDamagedChain + "; what could be read is written." + kLineEnd + "Warning: " + kPartial +
           "." + kLineEnd +
           "t.dat: 6 records read, 4 written, 1 deleted and 1 damaged skipped, 0 rejected by the filter, 1 BLOB "
           "value damaged, a final partial record" +
           kLineEnd,
       ""},
      {"/strict stops at the damaged chain", Lossy(), {"/strict"}, 1, "1\ta\r\n", "",
       kDamagedChain + "; /strict ends the run." + kLineEnd},
      {"/strict stops at the partial record", CutShort(), {"/strict", "/fields=Id"}, 1, "1\r\n2\r\n", "",
       "t.dat: the file ends inside its last record, record 3, of which it holds only 7 bytes; /strict ends the "
       "run." + kLineEnd},
      {"missing BLOB file warned once", missing, {}, 0, "1\t\r\n2\t\r\n3\t\r\n",
       "Warning: " + kMissing + "; memo and BLOB fields are written empty." + kLineEnd, ""},
      {"missing BLOB file under /strict", missing, {"/strict"}, 1, "",
       "", "t.dat: the table has BLOB fields but its BLOB file t.blb is missing (1 value, the first in record 1); "
           "/strict ends the run." + kLineEnd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const RunResult r = Convert(c.table, c.switches);
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_EQ(r.target, c.target);
    EXPECT_EQ(r.errors, c.errors);
    if (c.output.empty()) {
      EXPECT_EQ(r.output, "");
    } else {
      EXPECT_TRUE(r.output.starts_with(ReportHead("EDataLoss"))) << r.output;
      EXPECT_TRUE(r.output.ends_with("." + kLineEnd + c.output)) << r.output;
    }
  }
}

// At a terminal the summary comes without /summary, in the progress line's
// place.  script(1) gives the program a terminal of its own.
TEST_F(EndToEnd, SummaryAtATerminal) {
  if (kUnderWine) GTEST_SKIP() << "a console window is not a Unix terminal";
  const TableDef sound = Notes({Note(1, Value::Blob("a")), Note(2, Value::Null())});
  Write(sound);
  const std::string command = "LC_ALL=C " + ProgramCommand() + " " + ShellQuote(Arg("t.dat")) + " " +
                              ShellQuote(Arg("out.txt"));
  const RunResult r = RunShell("script -qec " + ShellQuote(command) + " /dev/null");
  if (r.status == 127) GTEST_SKIP() << "script is not installed";
  EXPECT_EQ(r.status, 0) << r.output;
  // The terminal turns each LF into CR LF.
  EXPECT_EQ(r.output,
            "t.dat: 2 records read, 2 written, 0 deleted and 0 damaged skipped, 0 rejected by the filter\r\n");
  EXPECT_EQ(ReadFile(Path("out.txt")), "1\ta\r\n2\t\r\n");
}

// A last record cut after its first byte is never read, but it is still a
// record the file ends inside.
TEST_F(EndToEnd, OneByteOfALastRecordIsWarned) {
  TableDef t = Notes({Note(1, Value::Null()), Note(2, Value::Null())});
  t.dat_size = 2048 + 15 + 1;
  const RunResult r = Convert(t, {"/summary"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.target, "1\t\r\n");
  EXPECT_EQ(r.errors,
            "Warning: t.dat: the file ends inside its last record, record 2, of which it holds only 1 byte." +
                kLineEnd +
                "t.dat: 1 record read, 1 written, 0 deleted and 0 damaged skipped, 0 rejected by the filter, a "
                "final partial record" +
                kLineEnd);
}

// The refusal of a file too short for its header and descriptors, as the
// user sees it.
TEST_F(EndToEnd, ShortFileIsRefusedWithWhatItLacks) {
  TableDef t = Notes({Note(1, Value::Null())});
  t.dat_size = 600;
  const RunResult r = Convert(t, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.starts_with(ReportHead("EZelFileException"))) << r.output;
  EXPECT_TRUE(r.output.ends_with(
      "." + kLineEnd + "Invalid table: the file holds 600 bytes, fewer than the 2048 that its header and 2 field "
                       "descriptors need." + kLineEnd))
      << r.output;
  EXPECT_EQ(r.target, "<none>");
}

}  // namespace
}  // namespace tabdump::testing
