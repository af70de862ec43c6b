// What only the Windows program has, tried on TABDUMP.EXE under Wine: the
// command line as one text that the program splits itself, Windows paths, the
// user's regional settings, tables held open by another program, and the code
// page tables against Windows' own conversion, names outside ASCII and long
// paths.
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
  // `hold` names a file that stays open in another process meanwhile.  A
  // command line that starts with the UTF-8 byte-order mark (kUnicode) is
  // UTF-8 and reaches the program as Unicode; others are in the ANSI code page.
  RunResult RunCommandLine(const std::string& command_line, const std::string& target_name,
                           const std::string& env = "", const std::string& hold = "") {
    std::ofstream(Path("command_line.txt"), std::ios::binary) << command_line;
    std::string command = "LC_ALL=C " + env + " " + ShellQuote(WineEnv("TABDUMP_WINE")) + " " +
                          ShellQuote(WineEnv("TABDUMP_WINE_HELPER")) + " " +
                          ShellQuote(PathForProgram(WineEnv("TABDUMP_WINE_EXE"))) + " " +
                          ShellQuote(Arg("command_line.txt"));
    if (!hold.empty()) command += " " + ShellQuote(hold);
    command += " 2>" + ShellQuote(Path("stderr.txt"));
    RunResult result = RunShell(command);
    result.target = ReadFile(Path(target_name));
    result.errors = ReadFile(Path("stderr.txt"));
    return result;
  }

  static constexpr const char* kUnicode = "\xEF\xBB\xBF";

  // German (Germany), whose ANSI code page is 1252, in the prefix without
  // regional overrides.  run_wine_tests.sh compiles the de_DE.UTF-8 locale
  // (LOCPATH), without which Wine would take file names on the Linux side as
  // ASCII.
  static std::string GermanSettings() {
    return "WINEPREFIX=" + ShellQuote(WineEnv("TABDUMP_WINE_PLAIN_PREFIX")) + " LC_ALL=de_DE.UTF-8";
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

TEST_F(WindowsEndToEnd, NamesOutsideAsciiUnderGermanSettings) {
  // Code page 1252 holds ü, ä, é and ß but not Ł or ź: only the Unicode
  // command line and file functions reach Łódź.dat.  Küche has a memo, so
  // that its BLOB file is found by its name too.
  TableDef memo;
  memo.fields = {{"Id", kInteger}, {"Memo", kBlob, kSubMemo}};
  memo.records = {{0, {Value::Int32(1), Value::Blob("aus der BLOB-Datei")}}};
  fs::create_directories(dir_ / "Daten ü");
  Write(memo, "Daten ü/Küche.dat");
  Write(IdName(), "Daten ü/Café.dat");
  Write(IdName(), "Daten ü/Łódź.dat");
  const std::string folders = " " + Quoted(Arg("Daten ü")) + " " + Quoted(Arg("Ausgabe ä"));

  RunResult r = RunCommandLine(kUnicode + ("TABDUMP.EXE" + folders + " /csv"), "Ausgabe ä/Küche.csv", GermanSettings());
  EXPECT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_EQ(r.output + r.errors, "");
  EXPECT_EQ(r.target, "Id,Memo\r\n1,aus der BLOB-Datei\r\n");
  EXPECT_EQ(ReadFile(Path("Ausgabe ä/Café.csv")), "Id,Name\r\n7,Bob\r\n");
  EXPECT_EQ(ReadFile(Path("Ausgabe ä/Łódź.csv")), "Id,Name\r\n7,Bob\r\n");

  // A script's table is named by its file, in UTF-8.
  r = RunCommandLine(kUnicode + ("TABDUMP.EXE" + folders + " /sql=postgres"), "Ausgabe ä/Küche.sql", GermanSettings());
  EXPECT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_NE(r.target.find("CREATE TABLE \"Küche\" (\n  \"Id\" INTEGER,\n  \"Memo\" TEXT\n);"), std::string::npos)
      << r.target;
  EXPECT_NE(r.target.find("aus der BLOB-Datei"), std::string::npos) << r.target;
  for (const char* table : {"Café", "Łódź"}) {
    const std::string script = ReadFile(Path(std::string("Ausgabe ä/") + table + ".sql"));
    EXPECT_NE(script.find(std::string("CREATE TABLE \"") + table + "\" ("), std::string::npos) << script;
  }

  // One table named alone, with a target outside the ANSI code page too.
  r = RunCommandLine(kUnicode + ("TABDUMP.EXE " + Quoted(Arg("Daten ü/Łódź.dat")) + " " + Quoted(Arg("Łódź.txt"))),
                     "Łódź.txt", GermanSettings());
  EXPECT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_EQ(r.target, "7\tBob\r\n");
}

TEST_F(WindowsEndToEnd, MessagesNameFilesOutsideAsciiInUtf8) {
  // The name in a message is UTF-8, as on Linux: a console in another code
  // page shows its bytes as that code page's characters, and a redirected
  // output holds the name whole.
  fs::create_directories(dir_ / "Schäden ß");
  Write(IdName(), "Schäden ß/Gut.dat");
  std::ofstream(Path("Schäden ß/Łódź.dat"), std::ios::binary) << "no table";
  RunResult r = RunCommandLine(kUnicode + ("TABDUMP.EXE " + Quoted(Arg("Schäden ß/Gut.dat")) + " " +
                                           Quoted(Arg("fehlt ö/Gut.txt"))),
                               "fehlt ö/Gut.txt", GermanSettings());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.ends_with("Cannot create file " + Arg("fehlt ö/Gut.txt") + "." + kLineEnd)) << r.output;

  // The folder mode heads a failing table's report with its name.
  r = RunCommandLine(kUnicode + ("TABDUMP.EXE " + Quoted(Arg("Schäden ß")) + " " + Quoted(Arg("Ausgabe"))),
                     "Ausgabe/Gut.txt", GermanSettings());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.target, "7\tBob\r\n");
  EXPECT_TRUE(r.errors.starts_with("Łódź.dat:" + kLineEnd + "Exception ")) << r.errors;
}

TEST_F(WindowsEndToEnd, SwitchTextsFollowTheCodePageSwitch) {
  // Without /codepage the tables hold the bytes of the ANSI code page (1252
  // here), and the texts typed into the switches are taken in it, so that
  // they compare with the stored bytes and sit among them in the output.
  // With /codepage the output is UTF-8, and so are the typed texts.
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}, {"Ma\xDF", kInteger}};
  t.records = {{0, {Value::Int32(7), Value::Str("Bob"), Value::Int32(1)}},
               {0, {Value::Int32(8), Value::Str("M\xFCller"), Value::Int32(2)}}};
  Write(t);
  const std::string switches = " /delimiter=§ \"/where=Name = \\\"Müller\\\"\" /fields=name;maß";
  const std::string files = "TABDUMP.EXE " + Quoted(Arg("t.dat")) + " " + Quoted(Arg("out.txt"));
  RunResult r = RunCommandLine(kUnicode + (files + switches), "out.txt", GermanSettings());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "M\xFCller\xA7" "2\r\n");
  r = RunCommandLine(kUnicode + (files + switches + " /codepage=1252"), "out.txt", GermanSettings());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.target, "Müller§2\r\n");
}

TEST_F(WindowsEndToEnd, LongPathsReachTheFileSystem) {
  // Past MAX_PATH (260): three folders of 100 characters below the test's.
  const std::string nested = std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c');
  fs::create_directories(dir_ / nested);
  TableDef t;
  t.fields = {{"Id", kInteger}, {"Memo", kBlob, kSubMemo}};
  t.records = {{0, {Value::Int32(1), Value::Blob("from the BLOB file")}}};
  Write(t, nested + "/t.dat");
  const std::string folder = Arg(nested);
  ASSERT_GT(folder.size(), 300u);
  for (const std::string prefix : {"", "\\\\?\\"}) {
    SCOPED_TRACE(prefix);
    fs::remove(dir_ / nested / "out.txt");
    RunResult r = Run({prefix + folder + "\\t.dat", prefix + folder + "\\out.txt"}, nested + "/out.txt");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output + r.errors, "");  // the BLOB file was found
    EXPECT_EQ(r.target, "1\tfrom the BLOB file\r\n");
    // The folder mode, into a folder that it makes.
    fs::remove_all(dir_ / nested / "out");
    r = Run({prefix + folder, prefix + folder + "\\out"}, nested + "/out/t.txt");
    EXPECT_EQ(r.status, 0) << r.output << r.errors;
    EXPECT_EQ(r.target, "1\tfrom the BLOB file\r\n");
  }
}

TEST_F(WindowsEndToEnd, QuotedFolderEndingInBackslashIsExplained) {
  // cmd.exe's Tab completion types a folder with a space as "C:\My Shop\":
  // the backslash escapes the closing quote, which joins the name, and the
  // rest of the line with it.
  fs::create_directories(dir_ / "My Shop");
  Write(IdName(), "My Shop/t.dat");
  const std::string shop = Arg("My Shop"), out = Arg("Out");
  struct Case {
    std::string command_line;
    std::string which;     // the parameter that holds the quote
    std::string received;  // that parameter
    std::string meant;     // the name before the quote
  };
  const Case cases[] = {
      // All one parameter: the usage text without the check.
      {"TABDUMP.EXE \"" + shop + "\\\" \"" + out + "\" /csv", "source", shop + "\" " + out + " /csv", shop},
      {"TABDUMP.EXE \"" + shop + "\\\"", "source", shop + "\"", shop},
      // The quoted part closed later: two parameters, the second /csv.
      {"TABDUMP.EXE \"" + shop + "\\\" " + out + "\" /csv", "source", shop + "\" " + out, shop},
      {"TABDUMP.EXE \"" + shop + "\" \"" + out + "\\\" /csv", "target", out + "\" /csv", out},
  };
  for (const Case& c : cases) {
    const RunResult r = RunCommandLine(c.command_line, "Out/t.csv");
    EXPECT_EQ(r.status, 1) << c.command_line;
    EXPECT_EQ(r.output, "The " + c.which + " holds a double quote, which no Windows file name can: " + c.received +
                            kLineEnd +
                            "A backslash right before a closing quote makes the quote part of the name: leave out "
                            "the last backslash or double it, as in \"" +
                            c.meant + "\" or \"" + c.meant + "\\\\\"." + kLineEnd)
        << c.command_line;
    EXPECT_FALSE(fs::exists(dir_ / "Out")) << c.command_line;
  }
  // Both ways that the message offers work.
  for (const std::string& source : {Quoted(shop), Quoted(shop + "\\\\")}) {
    fs::remove_all(dir_ / "Out");
    const RunResult r = RunCommandLine("TABDUMP.EXE " + source + " " + Quoted(out) + " /csv", "Out/t.csv");
    EXPECT_EQ(r.status, 0) << source << "\n" << r.output;
    EXPECT_EQ(r.target, "Id,Name\r\n7,Bob\r\n") << source;
  }
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
