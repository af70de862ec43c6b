#include "app/settings/command_line.h"

#include <gtest/gtest.h>

#include "app/settings/run_settings.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

using Params = std::vector<std::string>;

TEST(CmdLineSplit, QuotesAndBackslashes) {
  const std::pair<const char*, Params> cases[] = {
      {"prog \"a b\"", {"a b"}},
      {"prog a\\\"b", {"a\"b"}},
      {"prog a\\\\\"b c\"", {"a\\b c"}},
      {"prog a\\\\b", {"a\\\\b"}},
      {"prog \"\"", {""}},
      {"prog \"a\"\"b\"", {"ab"}},
      {"prog a\\\\\\\"b", {"a\\\"b"}},
      {"\"C:\\Program Files\\tabdump.exe\"  x.dat\t\ty.txt  ", {"x.dat", "y.txt"}},
      {"prog \"/where=Name = \\\"Brown\\\"\"", {"/where=Name = \"Brown\""}},
      {"prog /where=Name = \\\"Brown\\\"", {"/where=Name", "=", "\"Brown\""}},
      {"prog", {}},
      {"", {}},
      {std::string_view("prog a\0b", 8).data(), {"a"}},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(SplitCommandLine(line), expected) << line;
}

TEST(CmdLineSplit, CountAndParamStr) {
  const char* line = "prog one \"two three\" four";
  EXPECT_EQ(CmdLineParamCount(line), 3);
  EXPECT_EQ(CmdLineParamStr(line, 2), "two three");
  EXPECT_EQ(CmdLineParamStr(line, 4), "");
  EXPECT_EQ(CmdLineParamCount(""), 0);
  EXPECT_EQ(CmdLineParamCount("prog"), 0);
  EXPECT_FALSE(CmdLineParamStr("", 0).empty());  // the program's own path
  std::size_t cursor = 4, length = 99;
  EXPECT_TRUE(CmdLineNextParam(line, cursor, nullptr, &length));
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(cursor, 8u);  // on the separator that ended it
}

RunSettings Parse(Params params) {
  params.insert(params.begin(), {"in.dat", "out.txt"});
  return ParseSwitches(params);
}

TEST(Switches, Defaults) {
  const RunSettings s = Parse({});
  EXPECT_FALSE(s.HeaderLine || s.TypeLine || s.FixedWidth);
  EXPECT_EQ(s.Delimiter, "\t");
  EXPECT_EQ(s.Qualifier, NoneMark);
  EXPECT_EQ(s.RecordSeparator, "\r\n");
  EXPECT_EQ(s.SourceFile, "in.dat");
  EXPECT_EQ(s.TargetFile, "out.txt");
}

TEST(Switches, FlagsAndIgnoredLookAlikes) {
  EXPECT_TRUE(Parse({"/h"}).HeaderLine);
  EXPECT_TRUE(Parse({"/F"}).TypeLine);
  EXPECT_TRUE(Parse({"/fixed"}).FixedWidth);
  const RunSettings s = Parse({"/HEADER", "-h", "/FIXED=1", "where=x>1"});
  EXPECT_FALSE(s.HeaderLine || s.FixedWidth);
  EXPECT_TRUE(s.FilterText.empty());
  // Positions 1 and 2 are the files even when they look like switches.
  const RunSettings odd = ParseSwitches({"/h", "in.dat", "out.txt"});
  EXPECT_EQ(odd.SourceFile, "/h");
  EXPECT_EQ(odd.TargetFile, "in.dat");
  EXPECT_TRUE(odd.HeaderLine);
}

TEST(Switches, DelimiterAndQualifierValues) {
  const std::pair<const char*, std::string> cases[] = {
      {"/delimiter=;", ";"},   {"/delimiter=\\59", ";"}, {"/delimiter=\\$3B", ";"},
      {"/delimiter=\\0", NoneMark}, {"/delimiter=", ""}, {"/delimiter=||", "||"},
      {"/DELIMITER=\\9", "\t"}, {"/delimiter=\\ 44", ","}, {"/delimiter=\\300", ","},
  };
  for (const auto& [param, expected] : cases) EXPECT_EQ(Parse({param}).Delimiter, expected) << param;
  EXPECT_EQ(Parse({"/qualifier=\\34"}).Qualifier, "\"");
  EXPECT_EQ(Parse({"/qualifier=\""}).Qualifier, "\"");
  EXPECT_EQ(Parse({"/qualifier=\\39", "/qualifier=x"}).Qualifier, "x");  // the later one wins
}

TEST(Switches, BadIntegerValue) {
  for (const char* bad : {"/delimiter=\\", "/qualifier=\\x", "/delimiter=\\12a"}) {
    try {
      Parse({bad});
      FAIL() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(bad).substr(std::string(bad).find('\\') + 1) +
                                 "' is not a valid integer value");
    }
  }
}

TEST(Switches, RecordSeparator) {
  EXPECT_EQ(Parse({"/recordseparator=lf"}).RecordSeparator, "\n");
  EXPECT_EQ(Parse({"/recordseparator=CR"}).RecordSeparator, "\r");
  EXPECT_EQ(Parse({"/recordseparator="}).RecordSeparator, "\r\n");
  EXPECT_EQ(Parse({"/recordseparator=cr", "/recordseparator=crlf"}).RecordSeparator, "\r\n");
  EXPECT_EQ(Parse({"/recordseparator=cr", "/recordseparator="}).RecordSeparator, "\r");
  EXPECT_EQ(Parse({"/recordseparator=tab"}).RecordSeparator, "\r\n");
}

TEST(Switches, FieldsAndFilter) {
  EXPECT_EQ(Parse({"/fields=Name;City"}).FieldList, "Name;City;");
  EXPECT_EQ(Parse({"/fields=Name", "/fields="}).FieldList, "");
  EXPECT_EQ(Parse({"/where=Amount>100"}).FilterText, "Amount>100");
  EXPECT_EQ(Parse({"/FILTER=Amount>100"}).FilterText, "Amount>100");
}

}  // namespace
}  // namespace tabdump
