// Hostile filters given to the real tabdump: each ends the run with one error
// report, quickly and without taking memory in proportion to a number in the
// filter.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/child_process.h"

namespace tabdump::testing {
namespace {

std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

TEST_F(EndToEnd, HostileFiltersEndWithOneReportInBoundedMemory) {
  Write(IdName());
  auto run = [&](const std::string& filter) {
    return RunProgram({TABDUMP_EXE, Path("t.dat"), Path("out.txt"), "/where=" + filter}, 30, {"LC_ALL=C"});
  };
  const ChildResult sound = run("Id = 7");
  ASSERT_EQ(sound.exit_status, 0) << sound.output;
  ASSERT_EQ(ReadFile(Path("out.txt")), "7\tBob\r\n");

  const std::string too_much_text = "Calculate error: the expression makes more than 67108864 bytes of text.\n";
  const std::string too_deep = "Expression nested too deeply: more than 200 levels.\n";
  const std::pair<std::string, std::string> cases[] = {
      {"PADL(Name, 2000000000) = \"x\"", too_much_text},
      {"LENGTH(PADR(Name, 2147483647, \"*\")) > 0", too_much_text},
      {Repeat("F(PADL(Name, 10000000), ", 50) + "1" + Repeat(")", 50), too_much_text},
      {Repeat("ABS(", 3000) + "Id" + Repeat(")", 3000) + " = 7", too_deep},
      {"Id" + Repeat(" + 1", 3000) + " > 0", too_deep},
  };
  for (const auto& [filter, message] : cases) {
    const ChildResult r = run(filter);
    EXPECT_EQ(r.exit_status, 1) << filter.substr(0, 60);
    EXPECT_TRUE(r.output.starts_with(ReportHead("EZelParseException"))) << r.output;
    EXPECT_TRUE(r.output.ends_with(".\n" + message)) << r.output;
    // The 10 MB texts may be made until the limit is reached; no more.
    EXPECT_LT(r.peak_rss_kb, sound.peak_rss_kb + 160 * 1024) << filter.substr(0, 60);
    EXPECT_EQ(ReadFile(Path("out.txt")), "");
  }
}

}  // namespace
}  // namespace tabdump::testing
