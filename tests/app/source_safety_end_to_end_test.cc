// Safe on the files people really have: a run never writes what it reads,
// refuses what it can before it touches the target, finds a BLOB file named
// in another letter case, and tells where a filter failed.
#include <filesystem>
#include <fstream>

#include "tests/app/end_to_end_fixture.h"

namespace tabdump::testing {
namespace {

namespace fs = std::filesystem;

// Id, Name and a memo, two records; the memo lives in the BLOB file.
TableDef WithMemo() {
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}, {"Notes", kBlob, kSubMemo}};
  t.records = {{0, {Value::Int32(1), Value::Str("Ann"), Value::Blob("first memo")}},
               {0, {Value::Int32(2), Value::Str("Bob"), Value::Blob("second memo")}}};
  return t;
}

class SourceSafety : public EndToEnd {
 protected:
  // The table's files under names of our choosing, the BLOB file's letter
  // case among them.
  void WriteAs(const TableDef& def, const std::string& dat_name, const std::string& blb_name) {
    const TableFiles files = BuildTable(def);
    fs::create_directories(fs::path(Path(dat_name)).parent_path());
    std::ofstream(Path(dat_name), std::ios::binary)
        .write(reinterpret_cast<const char*>(files.dat.data()), static_cast<std::streamsize>(files.dat.size()));
    std::ofstream(Path(blb_name), std::ios::binary)
        .write(reinterpret_cast<const char*>(files.blb.data()), static_cast<std::streamsize>(files.blb.size()));
  }

  void Keep(const std::string& name, const std::string& contents) { std::ofstream(Path(name), std::ios::binary) << contents; }

  // The last line of the error report: the message.
  static bool EndsWithMessage(const std::string& output, const std::string& message) {
    return output.ends_with("." + kLineEnd + message + kLineEnd);
  }
};

// However the target names the table or its BLOB file, the run is refused
// and both files keep every byte.
TEST_F(SourceSafety, TargetThatIsTheSourceIsRefused) {
  Write(WithMemo());
  const std::string dat = ReadFile(Path("t.dat")), blb = ReadFile(Path("t.blb"));
  ASSERT_FALSE(blb.empty());
  fs::create_directories(Path("sub"));
  fs::create_hard_link(Path("t.dat"), Path("hard.txt"));
  fs::create_symlink(Path("t.dat"), Path("soft.txt"));
  fs::create_symlink(Path("t.blb"), Path("soft-blob.txt"));
  const std::string table = "The target is the source table itself.";
  const std::string blob = "The target is the BLOB file of the source table.";
  const std::pair<std::string, std::string> cases[] = {
      {Arg("t.dat"), table},     {Arg("sub/../t.dat"), table},      {Arg("hard.txt"), table},
      {Arg("soft.txt"), table},  {Arg("t.blb"), blob},              {Arg("soft-blob.txt"), blob},
  };
  for (const auto& [target, message] : cases) {
    for (const char* form : {"/csv", "/sql=sqlite", "/h"}) {
      const RunResult r = Run({Arg("t.dat"), target, form}, "none");
      EXPECT_EQ(r.status, 1) << target << " " << form;
      EXPECT_TRUE(r.output.starts_with(ReportHead("EFCreateError"))) << r.output;
      EXPECT_TRUE(EndsWithMessage(r.output, message)) << target << ": " << r.output;
      EXPECT_EQ(ReadFile(Path("t.dat")), dat) << target;
      EXPECT_EQ(ReadFile(Path("t.blb")), blb) << target;
    }
  }
  if (kUnderWine) {
    // Windows finds files whatever the letter case of their names.
    const RunResult r = Run({Arg("t.dat"), Arg("T.DAT"), "/csv"}, "none");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(EndsWithMessage(r.output, table)) << r.output;
    EXPECT_EQ(ReadFile(Path("t.dat")), dat);
  }
}

// In the folder mode every table and BLOB file of the source folder is safe,
// whichever table's target reaches it.
TEST_F(SourceSafety, FolderTargetsThatAreSourceFilesAreRefused) {
  fs::create_directories(Path("db"));
  Write(WithMemo(), "db/a.dat");
  Write(IdName(), "db/b.dat");
  const std::string a_dat = ReadFile(Path("db/a.dat")), a_blb = ReadFile(Path("db/a.blb"));
  fs::create_directories(Path("out"));
  fs::create_symlink(Path("db/a.blb"), Path("out/b.csv"));  // b's target is a's BLOB file
  const RunResult r = Run({Arg("db"), Arg("out"), "/csv"}, "out/a.csv");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "Id,Name,Notes\r\n1,Ann,first memo\r\n2,Bob,second memo\r\n");
  EXPECT_EQ(ReadFile(Path("db/a.dat")), a_dat);
  EXPECT_EQ(ReadFile(Path("db/a.blb")), a_blb);
  EXPECT_TRUE(r.errors.starts_with("b.dat:" + kLineEnd + ReportHead("EFCreateError"))) << r.errors;
  EXPECT_NE(r.errors.find("The target is a.blb of the source folder, which the run reads." + kLineEnd),
            std::string::npos)
      << r.errors;
}

// What can be known before the first record refuses the run before the
// target is created or emptied: an existing target keeps its bytes.
TEST_F(SourceSafety, EarlyFailuresLeaveTheTargetAsItWas) {
  TableDef encrypted = IdName();
  encrypted.encrypted = 1;
  TableDef short_file = IdName();
  short_file.dat_size = 600;
  struct Case {
    TableDef table;
    std::vector<std::string> switches;
    std::string message;
  };
  const Case cases[] = {
      {encrypted, {}, "This file is encrypted but valid password is not specified."},
      {short_file, {}, "Invalid table: the file holds 600 bytes, fewer than the 2048 that its header and 2 field descriptors need."},
      {IdName(), {"/where=(Id > 1"}, ""},
      {IdName(), {"/fields=Nmae;Adress"}, "None of the fields in /fields= is in the table."},
      {IdName(), {"/fields=Nmae;Id", "/strict"},
       "t.dat: /fields= names \"Nmae\", which the table does not have; /strict ends the run."},
      {IdName(), {"/threads=0"}, "The number of threads must be from 1 to 64: /threads=0."},
      {IdName(), {"/codepage=9999"}, "Unknown code page 9999."},
      {IdName(), {"/csv", "/delimiter=\\0"}, ""},
      {IdName(), {"/sql=oracle"}, ""},
  };
  for (const Case& c : cases) {
    Keep("out.txt", "keep me\n");
    const RunResult r = Convert(c.table, c.switches);
    const std::string label = c.switches.empty() ? c.message : c.switches.front();
    EXPECT_EQ(r.status, 1) << label;
    EXPECT_EQ(r.target, "keep me\n") << label;
    if (!c.message.empty()) {
      EXPECT_TRUE(EndsWithMessage(r.output, c.message)) << label << ": " << r.output;
    }
  }
  // A file that is no table at all.
  Keep("out.txt", "keep me\n");
  Keep("t.dat", std::string(3000, 'x'));
  const RunResult r = Run({Arg("t.dat"), Arg("out.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "keep me\n");
}

// Tables copied from Windows or DOS: the BLOB file whatever the letter case
// of its name; several candidates, none named exactly, are refused by name.
TEST_F(SourceSafety, BlobFileInAnyLetterCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"CUSTOMERS.DAT", "CUSTOMERS.BLB"},
      {"customers.dat", "customers.BLB"},
      {"a.Dat", "a.bLb"},
      {"Mixed.DAT", "mixed.blb"},
  };
  for (const auto& [dat, blb] : cases) {
    WriteAs(WithMemo(), "case/" + dat, "case/" + blb);
    const RunResult r = Run({Arg("case/" + dat), Arg("out.csv"), "/csv"}, "out.csv");
    EXPECT_EQ(r.status, 0) << dat << ": " << r.output;
    EXPECT_EQ(r.errors, "") << dat;
    EXPECT_EQ(r.target, "Id,Name,Notes\r\n1,Ann,first memo\r\n2,Bob,second memo\r\n") << dat;
    // The folder mode reads it the same way.
    const RunResult folder = Run({Arg("case"), Arg("folder-out"), "/csv"},
                                 "folder-out/" + dat.substr(0, dat.size() - 4) + ".csv");
    EXPECT_EQ(folder.status, 0) << dat << ": " << folder.errors;
    EXPECT_EQ(folder.target, r.target) << dat;
    fs::remove_all(Path("case"));
    fs::remove_all(Path("folder-out"));
  }
  if (kUnderWine) return;  // one Windows folder cannot hold two names that differ in case alone
  WriteAs(WithMemo(), "two/t.dat", "two/t.BLB");
  WriteAs(WithMemo(), "two/x.dat", "two/t.Blb");
  fs::remove(Path("two/x.dat"));
  Keep("out.csv", "keep me\n");
  const RunResult r = Run({Arg("two/t.dat"), Arg("out.csv"), "/csv"}, "out.csv");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(EndsWithMessage(r.output, "Several files could be the BLOB file of t.dat: t.BLB, t.Blb. Keep the right "
                                        "one as t.blb and move the others away."))
      << r.output;
  EXPECT_EQ(r.target, "keep me\n");
}

// Two tables whose targets would be one file where letter case is ignored
// are both refused by name; the others convert.  A folder without tables is
// refused, and no target folder is made.
TEST_F(SourceSafety, FolderNamesThatCollideAndEmptyFolders) {
  if (!kUnderWine) {
    fs::create_directories(Path("db"));
    Write(IdName(), "db/a.dat");
    Write(IdName(), "db/A.DAT");
    Write(IdName(), "db/b.dat");
    const RunResult r = Run({Arg("db"), Arg("out"), "/csv", "/summary"}, "out/b.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.target, "Id,Name\r\n7,Bob\r\n");
    EXPECT_FALSE(fs::exists(Path("out/a.csv")));
    EXPECT_FALSE(fs::exists(Path("out/A.csv")));
    const std::string refusal = "The tables A.DAT and a.dat would be written to the same file ";
    for (const std::string name : {"A.DAT", "a.dat"}) {
      const std::string heading = name + ":" + kLineEnd + ReportHead("EFCreateError");
      EXPECT_NE(r.errors.find(heading), std::string::npos) << r.errors;
    }
    EXPECT_NE(r.errors.find(refusal + "A.csv where letter case is ignored; neither is converted: rename one of them."),
              std::string::npos)
        << r.errors;
    EXPECT_TRUE(r.errors.ends_with("3 tables: 1 converted, 2 failed; 1 record read, 1 written" + kLineEnd))
        << r.errors;
  }
  fs::create_directories(Path("empty"));
  Keep("empty/readme.txt", "no tables here");
  const RunResult r = Run({Arg("empty"), Arg("empty-out")}, "none");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(EndsWithMessage(r.output, "No tables (.dat files) in folder " + Arg("empty") + ".")) << r.output;
  EXPECT_FALSE(fs::exists(Path("empty-out")));
}

// /fields=: a name the table lacks is named in a warning and left out.
TEST_F(SourceSafety, FieldListNamesTheFieldsTheTableLacks) {
  const RunResult r = Convert(IdName(), {"/fields=Nmae;ID;Adress", "/h"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "Id\r\n7\r\n");
  EXPECT_EQ(r.errors, "Warning: t.dat: /fields= names \"Nmae\", \"Adress\", which the table does not have; they are "
                      "left out." + kLineEnd);
}

// With /csv the delimiter must let a reader split the line.
TEST_F(SourceSafety, CsvDelimitersThatCannotBeSplitAreRefused) {
  for (const char* delimiter : {"/delimiter=", "/delimiter=\\0", "/delimiter=\\34", "/delimiter=\\13",
                                "/delimiter=\\10", "/delimiter=a\"b"}) {
    Keep("out.txt", "keep me\n");
    const RunResult r = Convert(IdName(), {"/csv", delimiter});
    EXPECT_EQ(r.status, 1) << delimiter;
    EXPECT_TRUE(EndsWithMessage(r.output, "With /csv the delimiter must be one or more characters other than a double "
                                          "quote, CR and LF, so that a reader can split the fields."))
        << delimiter << ": " << r.output;
    EXPECT_EQ(r.target, "keep me\n") << delimiter;
  }
  // Without /csv such delimiters stay the user's choice.
  EXPECT_EQ(Convert(IdName(), {"/delimiter=\\34"}).target, "7\"Bob\r\n");
}

// A filter that fails says on which record, and names the word in it that
// is no field; the report keeps its own text.
TEST_F(SourceSafety, FailingFilterSaysWhere) {
  TableDef t = IdName();
  t.records = {{1, {Value::Int32(5), Value::Str("gone")}},
               {0, {Value::Int32(7), Value::Str("Bob")}},
               {0, {Value::Int32(8), Value::Null()}}};
  const RunResult misspelt = Convert(t, {"/where=Idd > 1"});
  EXPECT_EQ(misspelt.status, 1);
  EXPECT_TRUE(EndsWithMessage(misspelt.output, "Invalid variant type conversion.")) << misspelt.output;
  EXPECT_EQ(misspelt.errors, "t.dat: the filter failed on record 2; it names \"Idd\", which is no field of the table "
                             "and so stands for its own text." + kLineEnd);
  // A failure of the record's own value names only the record.
  const RunResult null_name = Convert(t, {"/where=ISNULL(Name) OR (Name = \"Bob\")"});
  EXPECT_EQ(null_name.status, 0) << null_name.output;
  const RunResult no_boolean = Convert(t, {"/where=IIF(Id > 7, Name, \"1\")"});
  EXPECT_EQ(no_boolean.status, 1);
  EXPECT_EQ(no_boolean.target, "7\tBob\r\n");
  EXPECT_EQ(no_boolean.errors, "t.dat: the filter failed on record 3." + kLineEnd);
}

}  // namespace
}  // namespace tabdump::testing
