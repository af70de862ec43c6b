// What only the Windows program has, tried on TABDUMP.EXE under Wine: the
// command line as one text that the program splits itself, Windows paths, the
// user's regional settings, tables held open by another program, and the code
// page tables against Windows' own conversion.
// tests/windows/run_wine_tests.sh sets up Wine and runs these.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/app/end_to_end_fixture.h"

namespace tabdump {
namespace {

using namespace tabdump::testing;
namespace fs = std::filesystem;

class WindowsEndToEnd : public EndToEnd {
 protected:
  // Starts TABDUMP.EXE with exactly `command_line` as its command line (the
  // program's own name included) through the helper run_command_line.exe.
  // `hold` names a file that stays open in another process meanwhile.
  RunResult RunCommandLine(const std::string& command_line, const std::string& target_name,
                           const std::string& env = "", const std::string& hold = "") {
    std::ofstream(Path("command_line.txt"), std::ios::binary) << command_line;
    std::string command = "LC_ALL=C " + env + " " + ShellQuote(WineEnv("TABDUMP_WINE")) + " " +
                          ShellQuote(WineEnv("TABDUMP_WINE_HELPER")) + " " +
                          ShellQuote(PathForProgram(WineEnv("TABDUMP_WINE_EXE"))) + " " +
                          ShellQuote(Arg("command_line.txt"));
    if (!hold.empty()) command += " " + ShellQuote(hold);
    RunResult result = RunShell(command);
    result.target = ReadFile(Path(target_name));
    return result;
  }

  // The folder of drive C: in the Wine prefix that the tests run in.
  static fs::path DriveC() { return fs::path(WineEnv("WINEPREFIX")) / "drive_c"; }
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

TEST_F(WindowsEndToEnd, CommandLineIsSplitByTheProgram) {
  // Paths with a space, so that they must be quoted.
  fs::create_directories(dir_ / "my tables");
  Write(IdName(), "my tables/t.dat");
  const std::string files = Quoted(Arg("my tables/t.dat")) + " " + Quoted(Arg("my tables/out.txt"));
  const std::string header = "Id\tName\r\n7\tBob\r\n";
  struct Case {
    std::string command_line;
    std::string target;
  };
  const Case cases[] = {
      {"TABDUMP.EXE " + files + " /h", header},
      // Parameter 0 is read by the same rules: a quoted name with spaces.
      {"\"C:\\Program Files\\Tab Dump\\TABDUMP.EXE\" " + files + " /h", header},
      {"TABDUMP.EXE\t" + Quoted(Arg("my tables/t.dat")) + "\t\t" + Quoted(Arg("my tables/out.txt")) + " /h  ", header},
      // Quoted as a whole, with escaped quotes inside: one parameter.
      {"TABDUMP.EXE " + files + " \"/delimiter= = \\\"x\\\" \"", "7 = \"x\" Bob\r\n"},
      // The same without the outer quotes: three, of which the first sets an
      // empty delimiter and the others are ignored.
      {"TABDUMP.EXE " + files + " /delimiter= = \\\"x\\\"", "7Bob\r\n"},
      // a\"b gives a"b.
      {"TABDUMP.EXE " + files + " /qualifier=\\\" /h", "\"Id\"\t\"Name\"\r\n\"7\"\t\"Bob\"\r\n"},
      // a\\"b c" gives a\b c.
      {"TABDUMP.EXE " + files + " /delimiter=x\\\\\"; ;\"", "7x\\; ;Bob\r\n"},
      // a\\b gives a\\b: backslashes not before a quote stay as they are.
      {"TABDUMP.EXE " + files + " /delimiter=a\\\\b", "7a\\\\bBob\r\n"},
      // Three backslashes and a quote: one backslash and a quote.
      {"TABDUMP.EXE " + files + " /delimiter=a\\\\\\\"b", "7a\\\"bBob\r\n"},
      // Two quotes in a row inside quotes give nothing.
      {"TABDUMP.EXE " + files + " \"/delimiter=;\"\"|\"", "7;|Bob\r\n"},
  };
  for (const Case& c : cases) {
    fs::remove(dir_ / "my tables" / "out.txt");
    const RunResult r = RunCommandLine(c.command_line, "my tables/out.txt");
    EXPECT_EQ(r.status, 0) << c.command_line << "\n" << r.output;
    EXPECT_EQ(r.output, "") << c.command_line;
    EXPECT_EQ(r.target, c.target) << c.command_line;
  }

  // An empty quoted parameter is a parameter: it is the source here.
  fs::remove(dir_ / "my tables" / "out.txt");
  RunResult r = RunCommandLine("TABDUMP.EXE \"\" " + files, "my tables/out.txt");
  EXPECT_EQ(r.output, "DBISAM file not found.\r\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "<none>");

  // One parameter: the usage text, its lines ended by CR LF.
  r = RunCommandLine("TABDUMP.EXE " + Quoted(Arg("my tables/t.dat")), "my tables/out.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("\r\nconvert DBISAM tables into text files\r\n\r\n\r\nTABDUMP.EXE <source.dat>"),
            std::string::npos)
      << r.output;
  EXPECT_TRUE(r.output.ends_with("[where=<filter>]\r\n")) << r.output;
  EXPECT_EQ(r.target, "<none>");
}

TEST_F(WindowsEndToEnd, QuotedFilterIsOneParameter) {
  TableDef t = IdName();
  t.records.push_back({0, {Value::Int32(8), Value::Str("Brown")}});
  Write(t);
  const RunResult r = RunCommandLine(
      "TABDUMP.EXE " + Quoted(Arg("t.dat")) + " " + Quoted(Arg("out.txt")) + " \"/where=Name = \\\"Brown\\\"\"",
      "out.txt");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "8\tBrown\r\n");
}

TEST_F(WindowsEndToEnd, MultiByteCodePageIsSteppedByCharacters) {
  // In Shift-JIS (code page 932, the ANSI code page of a Japanese locale) the
  // character U+8868 is the bytes 95 5C: its second byte is a backslash.  Read
  // byte by byte, that backslash would escape the closing quote, and the
  // delimiter would run on into " /h".
  Write(IdName());
  const std::string kanji = "\x95\x5C";
  const std::string command_line =
      "TABDUMP.EXE " + Quoted(Arg("t.dat")) + " " + Quoted(Arg("out.txt")) + " \"/delimiter=" + kanji + "\" /h";
  // A locale change makes Wine drop the prefix's regional overrides: this
  // runs in the prefix that has none.
  const RunResult r = RunCommandLine(
      command_line, "out.txt", "WINEPREFIX=" + ShellQuote(WineEnv("TABDUMP_WINE_PLAIN_PREFIX")) + " LC_ALL=ja_JP.UTF-8");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "Id" + kanji + "Name\r\n7" + kanji + "Bob\r\n");
}

TEST_F(WindowsEndToEnd, BlobFileBesideATableOnDriveC) {
  TableDef t;
  t.fields = {{"Code", kString, 0, 8}, {"Memo", kBlob, kSubMemo}};
  t.records = {{0, {Value::Str("A1"), Value::Blob("kept in the BLOB file")}}};
  struct Case {
    const char* table;  // as the program is given it
    const char* native;
  };
  // A folder name with a dot does not give the table an extension, whether
  // a backslash or a slash ends it: Windows takes both.
  const Case cases[] = {{"C:\\data\\cust.dat", "data/cust.dat"},
                        {"C:\\data.v2\\cust", "data.v2/cust"},
                        {"C:\\data\\sub.d\\t.dat", "data/sub.d/t.dat"},
                        {"C:\\data\\sub.d/t.dat", "data/sub.d/t.dat"},
                        {"C:/data/sub.d/t", "data/sub.d/t"}};
  for (const Case& c : cases) {
    const fs::path table = DriveC() / c.native;
    fs::remove_all(table.parent_path());
    fs::create_directories(table.parent_path());
    WriteTable(t, table.string());
    const RunResult r = Run({c.table, Arg("out.txt")});
    EXPECT_EQ(r.status, 0) << c.table << "\n" << r.output;
    EXPECT_EQ(r.target, "A1\tkept in the BLOB file\r\n") << c.table;
    EXPECT_EQ(r.errors, "") << c.table;  // no warning of a missing BLOB file
    fs::remove_all(table.parent_path());
  }
}

TEST_F(WindowsEndToEnd, TableHeldOpenByAnotherProgramIsRead) {
  // A database engine keeps its tables open for writing; the conversion must
  // still be able to open the table, by sharing reading and writing.
  Write(IdName());
  const RunResult r = RunCommandLine("TABDUMP.EXE " + Quoted(Arg("t.dat")) + " " + Quoted(Arg("out.txt")), "out.txt",
                                     "", Arg("t.dat"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "7\tBob\r\n");
}

TEST_F(WindowsEndToEnd, ExampleTableAsOnLinux) {
  // The tests' Wine prefix sets the short date to yyyy-MM-dd and the time to
  // HH:mm:ss, the formats of the C locale on Linux, so the bytes must agree.
  const std::string example = std::string(TABDUMP_SOURCE_DIR) + "/examples/customers.dat";
  const std::vector<std::string> switch_sets[] = {
      {},
      {"/h", "/f"},
      {"/fixed", "/h"},
      {"/qualifier=\\34", "/delimiter=,", "/recordseparator=lf", "/fields=Name;Notes;Since;LastSeen"},
  };
  for (const auto& switches : switch_sets) {
    std::string native = "LC_ALL=C " + ShellQuote(TABDUMP_EXE) + " " + ShellQuote(example) + " " +
                         ShellQuote(Path("linux.txt"));
    std::vector<std::string> args{PathForProgram(example), Arg("out.txt")};
    for (const auto& s : switches) {
      native += " " + ShellQuote(s);
      args.push_back(s);
    }
    const RunResult native_run = RunShell(native);
    ASSERT_EQ(native_run.status, 0) << native_run.output;
    const RunResult windows = Run(args);
    EXPECT_EQ(windows.status, 0) << windows.output;
    EXPECT_EQ(windows.output, "");
    EXPECT_EQ(windows.target, ReadFile(Path("linux.txt"))) << switches.size() << " switches";
  }
}

TEST_F(WindowsEndToEnd, DatesAndNumbersFollowTheUsersLocale) {
  // A Wine prefix without regional overrides: the locale comes from LC_ALL.
  const std::string prefix = "WINEPREFIX=" + ShellQuote(WineEnv("TABDUMP_WINE_PLAIN_PREFIX"));
  const std::vector<std::string> switches{"/fields=amount;price;born;seen"};
  // English (United States): M/d/yyyy and h:mm:ss tt.
  RunResult r = Convert(Mixed(), switches, prefix + " LC_ALL=C");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "12.5\t3\t12/31/2020\t5/1/2024 9:30:00 AM\r\n-0.25\t\t\t\r\n");
  // German (Germany) as Wine 8 has it: d.M.yyyy, HH:mm:ss and a decimal comma.
  r = Convert(Mixed(), switches, prefix + " LC_ALL=de_DE.UTF-8");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "12,5\t3\t31.12.2020\t1.5.2024 09:30:00\r\n-0,25\t\t\t\r\n");
  // /csv follows no regional settings: the same bytes in German and English.
  const std::string csv = "Amount,Price,Born,Seen\r\n12.5,3,2020-12-31,2024-05-01 09:30:00\r\n-0.25,,,\r\n";
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
    r = Convert(Mixed(), {"/fields=amount;price;born;seen", "/csv"}, prefix + " LC_ALL=" + locale);
    EXPECT_EQ(r.target, csv) << locale;
  }
}

TEST_F(WindowsEndToEnd, FiltersReadDatesTypedInTheUsersFormat) {
  // The short date as the program writes it is also the form a user types
  // in a filter: M/d/yyyy in English (United States), d.M.yyyy in German,
  // leading zeros or not.
  const std::string prefix = "WINEPREFIX=" + ShellQuote(WineEnv("TABDUMP_WINE_PLAIN_PREFIX"));
  const std::string english = prefix + " LC_ALL=C";
  const std::string german = prefix + " LC_ALL=de_DE.UTF-8";
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Since", kDate}};
  t.records = {{0, {Value::Int32(1), Value::Date(DayNumber(1999, 3, 15))}},
               {0, {Value::Int32(2), Value::Date(DayNumber(2005, 1, 1))}},
               {0, {Value::Int32(3), Value::Date(DayNumber(2010, 6, 30))}}};
  struct Case {
    const std::string& env;
    const char* filter;
    const char* target;
  };
  const Case cases[] = {
      {english, "Since > STRTODATE(\"1/1/2005\")", "3\t6/30/2010\r\n"},
      {english, "Since = STRTODATE(\"01/01/2005\")", "2\t1/1/2005\r\n"},
      {english, "Since < STRTODATE(\"3/16/99\")", "1\t3/15/1999\r\n"},
      {english, "YEAR(Since) = YEAR(STRTODATE(\"12/31/2010\"))", "3\t6/30/2010\r\n"},
      {german, "Since > STRTODATE(\"01.01.2005\")", "3\t30.6.2010\r\n"},
      {german, "Since = STRTODATE(\"1.1.2005\")", "2\t1.1.2005\r\n"},
      {german, "YEAR(STRTODATE(\"15.03.1999\")) = YEAR(Since)", "1\t15.3.1999\r\n"},
  };
  for (const Case& c : cases) {
    const RunResult r = Convert(t, {"/fields=id;since", std::string("/where=") + c.filter}, c.env);
    EXPECT_EQ(r.status, 0) << c.filter << "\n" << r.output;
    EXPECT_EQ(r.target, c.target) << c.filter;
  }

  // A date in another country's order is still refused.
  const RunResult r = Convert(t, {"/where=Since > STRTODATE(\"31.12.2004\")"}, english);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "");
  EXPECT_TRUE(r.output.starts_with(ReportHead("EConvertError"))) << r.output;
  EXPECT_TRUE(r.output.ends_with("'31.12.2004' is not a valid date." + kLineEnd)) << r.output;
}

TEST_F(WindowsEndToEnd, CodePageTablesAgreeWithWindows) {
  // code_page_check.exe converts every byte, pair and character of every code
  // page both with the tables compiled into the program and with
  // MultiByteToWideChar and WideCharToMultiByte.
  const RunResult r = RunShell("LC_ALL=C " + ShellQuote(WineEnv("TABDUMP_WINE")) + " " +
                               ShellQuote(WineEnv("TABDUMP_WINE_CODE_PAGE_CHECK")));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "19 code pages agree with Windows\r\n") << r.output;
}

}  // namespace
}  // namespace tabdump
