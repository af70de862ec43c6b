#include "runtime/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tabdump {
namespace {

TEST(FileNames, FoldedNameMakesCapitalsSmall) {
  const std::pair<const char*, const char*> cases[] = {
      {"CUSTOMERS.DAT", "customers.dat"},
      {"K\xC3\x9C" "CHE.dat", "k\xC3\xBC" "che.dat"},           // Ü -> ü
      {"STRA\xC3\x9F" "E", "stra\xC3\x9F" "e"},                  // ß has no capital here
      {"\xC3\x97", "\xC3\x97"},                                  // the multiplication sign is no letter
      {"\xC5\x81\xC3\x93\xC5\xB9", "\xC5\x82\xC3\xB3\xC5\xBA"},  // ŁÓŹ -> łóź
      {"\xC5\xB8", "\xC3\xBF"},                                  // Ÿ -> ÿ
      {"\xCE\xA3\xD0\x96\xD0\x81", "\xCF\x83\xD0\xB6\xD1\x91"},  // ΣЖЁ -> σжё
      {"\xC3" "A\xFF", "\xC3" "a\xFF"},                          // not UTF-8: the stray bytes stay
  };
  for (const auto& [name, folded] : cases) EXPECT_EQ(FoldedName(name), folded) << name;
}

TEST(FileNames, IdentityTellsOneFileFromTwo) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(TABDUMP_TEST_TMP) / "file_names";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "a.dat") << "a";
  std::ofstream(dir / "b.dat") << "a";
  fs::create_hard_link(dir / "a.dat", dir / "hard");
  const std::string a = (dir / "a.dat").string();
  ASSERT_TRUE(IdentityOf(a).has_value());
  EXPECT_EQ(IdentityOf(a), IdentityOf((dir / "." / "a.dat").string()));
  EXPECT_EQ(IdentityOf(a), IdentityOf((dir / "hard").string()));
  EXPECT_NE(IdentityOf(a), IdentityOf((dir / "b.dat").string()));
  EXPECT_FALSE(IdentityOf((dir / "none").string()).has_value());
  EXPECT_EQ(FilesNamedIgnoringCase(dir.string(), "A.DAT"), std::vector<std::string>{"a.dat"});
}

}  // namespace
}  // namespace tabdump
