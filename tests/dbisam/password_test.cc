// Encrypted tables: refused unless a password handler supplies the password a
// legacy header stores.  No decryption procedures are installed here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/dbisam/reader_harness.h"

namespace tabdump::testing {
namespace {

constexpr const char* kRefusal = "This file is encrypted but valid password is not specified.";

TableDef EncryptedTable(std::uint8_t version, const std::string& stored_password = "") {
  TableDef def;
  def.version = version;
  def.encrypted = 1;
  def.stored_password = stored_password;
  def.fields = {{"Id", kInteger}};
  def.records = {{0, {Value::Int32(31)}}};
  return def;
}

// What each OnPassword call was handed.
struct PasswordCall {
  std::string offered;
  bool go_on;
};

TEST(Password, EncryptedTableWithoutHandlerIsRefused) {
  struct Case {
    std::uint8_t version;
    const char* stored;
  };
  for (const Case c : {Case{6, ""}, Case{4, ""}, Case{4, "pw"}, Case{1, ""}}) {
    SCOPED_TRACE("version " + std::to_string(c.version) + ", stored \"" + c.stored + "\"");
    LoadedTable t;
    int widths = 0;
    t.reader.OnColumnWidth = [&](TCustomSpreadSheetFile*, std::int32_t, std::int32_t, std::int32_t) { ++widths; };
    ExpectRaises<EZelCryptException>([&] { t.Load(EncryptedTable(c.version, c.stored)); }, kRefusal);
    EXPECT_TRUE(t.reader.IsEncrypted());
    EXPECT_EQ(widths, 0);  // refused before any descriptor was read
  }
}

TEST(Password, PlainTableNeverAsks) {
  TableDef def = EncryptedTable(4, "pw");
  def.encrypted = 0;
  LoadedTable t;
  int calls = 0;
  t.reader.OnPassword = [&](TSpreadSheetFile*, std::string&, bool&) { ++calls; };
  t.Load(def);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(t.reader.IsEncrypted());
}

// The handler is asked until it gives the stored password (exactly, case
// included) or gives up.
TEST(Password, LegacyStoredPasswordProtocol) {
  struct Case {
    const char* label;
    std::vector<std::string> answers;  // "" as an answer: give up
    bool accepted;
  };
  const Case cases[] = {
      {"right at once", {"Secret"}, true},
      {"wrong, then right", {"secret", "Secret"}, true},
      {"gives up", {""}, false},
      {"wrong, then gives up", {"Secret ", ""}, false},
  };
  for (const std::uint8_t version : std::initializer_list<std::uint8_t>{5, 2}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.label) + ", version " + std::to_string(version));
      LoadedTable t;
      std::vector<PasswordCall> calls;
      t.reader.OnPassword = [&](TSpreadSheetFile* sender, std::string& password, bool& go_on) {
        EXPECT_EQ(sender, &t.reader);
        calls.push_back({password, go_on});
        const std::string& answer = c.answers.at(calls.size() - 1);
        if (answer.empty()) {
          go_on = false;
        } else {
          password = answer;
        }
      };
      if (c.accepted) {
        t.Load(EncryptedTable(version, "Secret"));
        EXPECT_EQ(t.reader.Password, "Secret");
        ASSERT_TRUE(t.Read());
        EXPECT_TRUE(SameValue(t.Only().value, 31));
      } else {
        ExpectRaises<EZelCryptException>([&] { t.Load(EncryptedTable(version, "Secret")); }, kRefusal);
      }
      // Each call is handed the password of the call before; the first an
      // empty one.
      ASSERT_EQ(calls.size(), c.answers.size());
      for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].offered, i == 0 ? "" : c.answers[i - 1]) << i;
        EXPECT_TRUE(calls[i].go_on) << i;
      }
    }
  }
}

// Without a digest procedure a current-format table cannot accept any
// password; the handler's giving up ends the questions.
TEST(Password, CurrentFormatRefusesUntilTheHandlerGivesUp) {
  LoadedTable t;
  int calls = 0;
  t.reader.OnPassword = [&](TSpreadSheetFile*, std::string& password, bool& go_on) {
    ++calls;
    password = "anything";
    go_on = calls < 3;
  };
  ExpectRaises<EZelCryptException>([&] { t.Load(EncryptedTable(6)); }, kRefusal);
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace tabdump::testing
