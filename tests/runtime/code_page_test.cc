#include "runtime/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <map>
#include <string>

namespace tabdump {
namespace {

constexpr int kSingleBytePages[] = {437, 850, 852, 866, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
constexpr int kDoubleBytePages[] = {932, 936, 949, 950};

CodePage Page(int number) {
  const std::optional<CodePage> page = CodePage::Find(number);
  if (!page) ADD_FAILURE() << "code page " << number << " missing";
  return page.value_or(*CodePage::Find(65001));
}

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

std::string Hex(std::string_view bytes) {
  std::string text;
  char part[4];
  for (unsigned char b : bytes) {
    std::snprintf(part, sizeof part, "%02X ", b);
    text += part;
  }
  return text;
}

struct Converted {
  std::string text;
  std::size_t replaced;
};
Converted ToUtf8(int page, std::string_view bytes) {
  Converted c{"", 0};
  c.replaced = Page(page).AppendUtf8(bytes, c.text);
  return c;
}

TEST(CodePage, FoundByNumberOrName) {
  for (int number : kSingleBytePages) EXPECT_EQ(Page(number).number(), number);
  for (int number : kDoubleBytePages) EXPECT_EQ(Page(number).number(), number);
  const std::pair<const char*, int> names[] = {{"1252", 1252},   {"cp1252", 1252}, {"CP850", 850},
                                               {"Windows-1251", 1251}, {"932", 932}, {"utf8", 65001},
                                               {"UTF-8", 65001}, {"65001", 65001}};
  for (const auto& [name, number] : names) {
    const std::optional<CodePage> page = CodePage::Find(name);
    ASSERT_TRUE(page) << name;
    EXPECT_EQ(page->number(), number) << name;
    EXPECT_EQ(page->is_utf8(), number == 65001) << name;
  }
  for (const char* unknown : {"", "1", "1234", "cp", "windows-", "12a52", "utf16", "-1252", "001252", "28591"}) {
    EXPECT_FALSE(CodePage::Find(unknown)) << unknown;
  }
  for (int unknown : {0, 1, 1200, 1259, 20127, 28591, 54936, -1252}) EXPECT_FALSE(CodePage::Find(unknown)) << unknown;
}

// Points checked by hand against the code charts of each page.
TEST(CodePage, SingleByteKnownPoints) {
  struct Case {
    int page;
    unsigned char byte;
    char32_t character;
  };
  const Case cases[] = {
      {1252, 0x80, 0x20AC}, {1252, 0x81, 0x0081}, {1252, 0x8A, 0x0160}, {1252, 0x9F, 0x0178},
      {1252, 0xE9, 0x00E9}, {1252, 0xFF, 0x00FF}, {437, 0x80, 0x00C7},  {437, 0xB0, 0x2591},
      {437, 0xE1, 0x00DF},  {437, 0xFF, 0x00A0},  {850, 0x9B, 0x00F8},  {850, 0xD5, 0x0131},
      {852, 0xA5, 0x0105},  {866, 0x80, 0x0410},  {866, 0xE0, 0x0440},  {866, 0xF0, 0x0401},
      {874, 0x80, 0x20AC},  {874, 0xA1, 0x0E01},  {1250, 0x8A, 0x0160}, {1250, 0xB9, 0x0105},
      {1251, 0xC0, 0x0410}, {1251, 0xFF, 0x044F}, {1251, 0x88, 0x20AC}, {1253, 0xC1, 0x0391},
      {1254, 0xD0, 0x011E}, {1254, 0xFD, 0x0131}, {1255, 0xE0, 0x05D0}, {1255, 0xC4, 0x05B4},
      {1256, 0x81, 0x067E}, {1256, 0xC7, 0x0627}, {1257, 0xC0, 0x0104}, {1258, 0xC3, 0x0102},
      {1258, 0xCC, 0x0300}, {1258, 0xEC, 0x0301},
  };
  for (const Case& c : cases) {
    const Converted got = ToUtf8(c.page, std::string(1, static_cast<char>(c.byte)));
    EXPECT_EQ(got.text, Utf8(c.character)) << c.page << " byte " << Hex({reinterpret_cast<const char*>(&c.byte), 1});
    EXPECT_EQ(got.replaced, 0u);
  }
}

// What Windows makes of the bytes a page leaves undefined: mostly the C1
// control of the same number, for some pages a character of the private use
// area.  1255's 0xCA is the point holam haser, which Windows has and glibc
// lacks.
const std::map<int, std::map<unsigned char, char32_t>> kWindowsOnly = {
    {874, {{0xDB, 0xF8C1}, {0xDC, 0xF8C2}, {0xDD, 0xF8C3}, {0xDE, 0xF8C4},
           {0xFC, 0xF8C5}, {0xFD, 0xF8C6}, {0xFE, 0xF8C7}, {0xFF, 0xF8C8}}},
    {1253, {{0xAA, 0xF8F9}, {0xD2, 0xF8FA}, {0xFF, 0xF8FB}}},
    {1255, {{0xCA, 0x05BA}, {0xD9, 0xF88D}, {0xDA, 0xF88E}, {0xDB, 0xF88F}, {0xDC, 0xF890}, {0xDD, 0xF891},
            {0xDE, 0xF892}, {0xDF, 0xF893}, {0xFB, 0xF894}, {0xFC, 0xF895}, {0xFF, 0xF896}}},
    {1257, {{0xA1, 0xF8FC}, {0xA5, 0xF8FD}}},
};

// Every byte 0x80-0xFF of every single-byte page against glibc's own tables
// (decoding one byte alone, so that nothing composes), and where glibc has
// no character, against what Windows has.
TEST(CodePage, SingleByteHighHalfAgreesWithGlibcAndWindows) {
  for (int number : kSingleBytePages) {
    iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(number)).c_str());
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << number;
    const auto windows = kWindowsOnly.find(number);
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      char in = static_cast<char>(b);
      char* in_at = &in;
      std::size_t in_left = 1;
      char glibc[8];
      char* out_at = glibc;
      std::size_t out_left = sizeof glibc;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      const bool defined = iconv(cd, &in_at, &in_left, &out_at, &out_left) != static_cast<std::size_t>(-1) &&
                           iconv(cd, nullptr, nullptr, &out_at, &out_left) != static_cast<std::size_t>(-1) &&
                           out_at != glibc;
      std::string expected;
      if (windows != kWindowsOnly.end() && windows->second.contains(static_cast<unsigned char>(b))) {
        expected = Utf8(windows->second.at(static_cast<unsigned char>(b)));
      } else if (defined) {
        expected.assign(glibc, out_at);
      } else {
        expected = Utf8(b);  // the C1 control
      }
      const Converted got = ToUtf8(number, std::string(1, in));
      EXPECT_EQ(got.text, expected) << number << " byte " << Hex(std::string(1, in));
      EXPECT_EQ(got.replaced, 0u);
    }
    iconv_close(cd);
  }
}

TEST(CodePage, SingleBytePagesNeverCompose) {
  // glibc's 1255 and 1258 join a letter and a following combining mark into
  // one precomposed character; Windows keeps both, and so does this.
  EXPECT_EQ(ToUtf8(1258, "a\xEC").text, "a\xCC\x81");                    // a, U+0301
  EXPECT_EQ(ToUtf8(1258, "\xC3\xCC").text, "\xC4\x82\xCC\x80");           // U+0102, U+0300
  EXPECT_EQ(ToUtf8(1255, "\xE0\xC4").text, "\xD7\x90\xD6\xB4");           // alef, hiriq
  EXPECT_EQ(ToUtf8(1255, "\xF9\xD1").text, "\xD7\xA9\xD7\x81");           // shin, shin dot
  EXPECT_EQ(ToUtf8(1252, "M\xFCnchen, 5\x80").text, "M\xC3\xBCnchen, 5\xE2\x82\xAC");
}

TEST(CodePage, AppendsAndKeepsLongAsciiRuns) {
  // Runs longer than a word, broken by a byte of the high half at each place
  // of the word, appended to what the caller already has.
  const std::string ascii = "The quick brown fox jumps over the lazy dog 0123456789";
  for (std::size_t at = 0; at <= 17; ++at) {
    std::string bytes = ascii;
    bytes.insert(at, "\xE4");
    std::string expected = ascii;
    expected.insert(at, "\xC3\xA4");
    std::string out = "kept|";
    EXPECT_EQ(Page(1252).AppendUtf8(bytes, out), 0u);
    EXPECT_EQ(out, "kept|" + expected) << at;
    bytes = ascii;
    bytes.insert(at, "\x82\xA0");
    expected = ascii;
    expected.insert(at, "\xE3\x81\x82");
    out = "kept|";
    EXPECT_EQ(Page(932).AppendUtf8(bytes, out), 0u);
    EXPECT_EQ(out, "kept|" + expected) << at;
  }
  // NUL bytes are characters like any other.
  EXPECT_EQ(ToUtf8(1252, std::string("a\0\xE9", 3)).text, std::string("a\0\xC3\xA9", 4));
}

TEST(CodePage, DoubleByteKnownCharacters) {
  struct Case {
    int page;
    const char* bytes;
    char32_t character;
  };
  const Case cases[] = {
      {932, "\x82\xA0", 0x3042},  // あ
      {932, "\x88\x9F", 0x4E9C},  // 亜
      {932, "\xB1", 0xFF71},      // halfwidth katakana a
      {932, "\x5C", 0x005C},      // a backslash, not a yen sign
      {932, "\x81\x60", 0xFF5E},  // Windows' fullwidth tilde, where JIS has a wave dash
      {932, "\x81\x5F", 0xFF3C},  // fullwidth reverse solidus
      {932, "\x87\x40", 0x2460},  // ① (NEC row 13)
      {932, "\xED\x40", 0x7E8A},  // 纊 (NEC-selected IBM extension)
      {932, "\xFA\x40", 0x2170},  // ⅰ (IBM extension)
      {932, "\x80", 0x0080},      // undefined single bytes
      {932, "\xA0", 0xF8F0},
      {932, "\xFD", 0xF8F1},
      {936, "\xC4\xE3", 0x4F60},  // 你
      {936, "\xB0\xA1", 0x554A},  // 啊
      {936, "\x81\x40", 0x4E02},  // 丂 (GBK extension)
      {936, "\x80", 0x20AC},      // the euro sign as one byte
      {936, "\xAA\xA1", 0xE000},  // user-defined area
      {949, "\xB0\xA1", 0xAC00},  // 가
      {949, "\x81\x41", 0xAC02},  // 갂 (Unified Hangul Code extension)
      {949, "\xA1\xA1", 0x3000},
      {949, "\xC9\xA1", 0xE000},  // user-defined area
      {950, "\xA4\x40", 0x4E00},  // 一
      {950, "\xA1\x40", 0x3000},
      {950, "\xA3\xE1", 0x20AC},
      {950, "\xF9\xF9", 0x2550},  // ═ (ETEN box drawing)
      {950, "\x81\x40", 0xEEB8},  // user-defined area
  };
  for (const Case& c : cases) {
    const Converted got = ToUtf8(c.page, c.bytes);
    EXPECT_EQ(got.text, Utf8(c.character)) << c.page << " " << Hex(c.bytes);
    EXPECT_EQ(got.replaced, 0u) << c.page << " " << Hex(c.bytes);
  }
}

struct BrokenCase {
  int page;
  std::string bytes;
  std::string utf8;
  std::size_t replaced;
};

const std::string kR = "\xEF\xBF\xBD";  // U+FFFD

TEST(CodePage, BrokenPairsBecomeReplacementCharacters) {
  const std::string a = "\xE3\x81\x82";  // あ, 82 A0 in 932
  const BrokenCase cases[] = {
      {932, "\x82", kR, 1},                                 // a lead byte at the end
      {932, "x\x82\xA0\x82", "x" + a + kR, 1},
      {932, "\x82\xA0\x82\xA0", a + a, 0},
      // A lead byte whose next byte makes no pair with it is replaced alone,
      // and the next byte is read as what it is: nothing after it is lost.
      {932, "\x82 b", kR + " b", 1},
      {932, "\x82\x7F" "b", kR + "\x7F" "b", 1},
      {932, "\x85\x40\x82\xA0", kR + "@" + a, 1},           // 85 leads no pair at all
      {932, "\x81\xFD\x81", kR + "\xEF\xA3\xB1" + kR, 2},    // FD alone is U+F8F1
      // A NUL is never a trail byte.
      {932, std::string("\x82\0b", 3), kR + std::string("\0b", 2), 1},
      {936, "\x81\x20\xC4\xE3", kR + " \xE4\xBD\xA0", 1},
      {936, "\xFF", "\xEF\xA3\xB5", 0},                     // FF: U+F8F5, a character of its own
      {949, "\xB0\xA1\xB0", "\xEA\xB0\x80" + kR, 1},
      {949, "\xC9\x41", kR + "A", 1},                       // user-defined rows have no extension
      {950, "\xA4\x7F\xA4\x40", kR + "\x7F\xE4\xB8\x80", 1},
  };
  for (const BrokenCase& c : cases) {
    const Converted got = ToUtf8(c.page, c.bytes);
    EXPECT_EQ(Hex(got.text), Hex(c.utf8)) << c.page << " " << Hex(c.bytes);
    EXPECT_EQ(got.replaced, c.replaced) << c.page << " " << Hex(c.bytes);
  }
}

TEST(CodePage, BrokenUtf8BecomesReplacementCharacters) {
  const BrokenCase cases[] = {
      {65001, "plain \xC3\xA9 \xE4\xB8\x80 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", "", 0},  // valid: as it is
      {65001, "\xED\x9F\xBF\xEE\x80\x80", "", 0},  // the last before the surrogates, the first after
      // A byte that starts nothing: each is one U+FFFD.
      {65001, "a\x80\xBF" "b", "a" + kR + kR + "b", 2},
      {65001, "\xC0\x80", kR + kR, 2},                    // C0 and C1 start only overlongs
      {65001, "\xC1\xBF", kR + kR, 2},
      {65001, "\xF5\x80\x80\x80", kR + kR + kR + kR, 4},  // beyond F4
      {65001, "\xFF" "a", kR + "a", 1},
      // Overlong, surrogate, too large: the bytes read until the sequence
      // cannot be a character any more make one U+FFFD.
      {65001, "\xE0\x80\x80", kR + kR, 2},
      {65001, "\xE0\x9F\xBF", kR + kR, 2},
      {65001, "\xF0\x8F\xBF\xBF", kR + kR + kR, 3},
      {65001, "\xED\xA0\x80", kR + kR, 2},
      {65001, "\xED\xBF\xBF", kR + kR, 2},
      {65001, "\xF4\x90\x80\x80", kR + kR + kR, 3},  // above U+10FFFF: F4 and 90 together
      // Cut short by a byte that does not continue it.
      {65001, "\xE4\xB8" "a", kR + "a", 1},
      {65001, "\xE4\xB8\xC3\xA9", kR + "\xC3\xA9", 1},
      {65001, "\xF0\x41\x42\x43", kR + "ABC", 1},
      {65001, "\xE4\xB8\xAD\x80", "\xE4\xB8\xAD" + kR, 1},
      // Cut short by the end: what there is gives one U+FFFD.
      {65001, "x\xE4", "x" + kR, 1},
      {65001, "x\xE4\xB8", "x" + kR, 1},
      {65001, "x\xF0\x9F\x98", "x" + kR, 1},
      {65001, "x\xE4" "a", "x" + kR + "a", 1},
      {65001, "x\xF0\x9F" "ab", "x" + kR + "ab", 1},
  };
  for (const BrokenCase& c : cases) {
    const Converted got = ToUtf8(c.page, c.bytes);
    const std::string& expected = c.replaced == 0 && c.utf8.empty() ? c.bytes : c.utf8;
    EXPECT_EQ(Hex(got.text), Hex(expected)) << Hex(c.bytes);
    EXPECT_EQ(got.replaced, c.replaced) << Hex(c.bytes);
  }
}

std::optional<UnmappableCharacter> Encode(int page, std::string_view utf8, std::string& out) {
  return Page(page).AppendEncoded(utf8, out);
}

TEST(CodePage, EncodesTypedText) {
  struct Case {
    int page;
    std::string utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {1252, "M\xC3\xBCnchen", "M\xFCnchen"},
      {1252, "Stra\xC3\x9F" "e 5\xE2\x82\xAC", "Stra\xDF" "e 5\x80"},
      {1252, "\xC2\x81", "\x81"},                   // the C1 controls that 1252 keeps
      {1251, "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "\xCC\xEE\xF1\xEA\xE2\xE0"},  // Москва
      {1253, "\xEF\xA3\xB9", "\xAA"},               // U+F8F9
      {1258, "a\xCC\x81", "a\xEC"},                 // a and a combining acute stay two
      {932, "\xE3\x81\x82\xEF\xBD\xB1" "a", "\x82\xA0\xB1" "a"},
      // Characters with two forms in 932: the one Windows writes.
      {932, "\xE2\x89\x92", "\x81\xE0"},            // ≒: 81 E0, not NEC's 87 90
      {932, "\xE2\x88\xB5", "\x81\xE6"},            // ∵: 81 E6, not 87 9A
      {932, "\xE7\xBA\x8A", "\xFA\x5C"},            // 纊: IBM's FA 5C, not ED 40
      {932, "\xEF\xBF\xA2", "\x81\xCA"},            // ¬
      {950, "\xE2\x95\x90", "\xF9\xF9"},            // ═: F9 F9, not A2 A4
      {936, "\xE4\xBD\xA0\xE2\x82\xAC", "\xC4\xE3\x80"},
      {949, "\xEA\xB0\x80", "\xB0\xA1"},
      {65001, "\xF0\x9F\x98\x80 ok", "\xF0\x9F\x98\x80 ok"},
  };
  for (const Case& c : cases) {
    std::string out = "|";
    EXPECT_EQ(Encode(c.page, c.utf8, out), std::nullopt) << c.page << " " << Hex(c.utf8);
    EXPECT_EQ(Hex(out), Hex("|" + c.bytes)) << c.page << " " << Hex(c.utf8);
  }
}

TEST(CodePage, ReportsTheFirstCharacterThePageCannotHold) {
  struct Case {
    int page;
    std::string utf8;
    std::size_t offset;
    char32_t character;
    bool invalid;
  };
  const Case cases[] = {
      {1252, "Omega \xCE\xA9 \xCE\xB1", 6, 0x03A9, false},
      {1252, "\xE2\x80\x8B", 0, 0x200B, false},
      {437, "abc\xE2\x82\xAC", 3, 0x20AC, false},
      {1251, "\xC3\xA9", 0, 0x00E9, false},
      {932, "\xC2\xA5", 0, 0x00A5, false},            // no yen sign: 5C is the backslash
      {932, "x\xF0\x9F\x98\x80", 1, 0x1F600, false},  // nothing beyond the Basic Multilingual Plane
      {936, "\xEF\xBF\xBD", 0, 0xFFFD, false},
      {1252, "a\xFF" "b", 1, 0xFFFD, true},
      {1252, "a\xC3", 1, 0xFFFD, true},
      {1252, "\xED\xA0\x80", 0, 0xFFFD, true},
      {1252, "\xC0\xAF", 0, 0xFFFD, true},
      {65001, "ok\xE4\xB8", 2, 0xFFFD, true},
      {65001, "\xF4\x90\x80\x80", 0, 0xFFFD, true},
  };
  for (const Case& c : cases) {
    std::string out;
    const std::optional<UnmappableCharacter> bad = Encode(c.page, c.utf8, out);
    ASSERT_TRUE(bad) << c.page << " " << Hex(c.utf8);
    EXPECT_EQ(bad->offset, c.offset) << Hex(c.utf8);
    EXPECT_EQ(static_cast<unsigned>(bad->character), static_cast<unsigned>(c.character)) << Hex(c.utf8);
    EXPECT_EQ(bad->invalid_utf8, c.invalid) << Hex(c.utf8);
    // What comes before it is converted.
    EXPECT_EQ(out.size(), c.offset) << Hex(c.utf8);
  }
}

TEST(CodePage, EveryCharacterOfASingleBytePageGoesBackToItsByte) {
  for (int number : kSingleBytePages) {
    for (unsigned b = 0; b < 256; ++b) {
      const std::string byte(1, static_cast<char>(b));
      const std::string text = ToUtf8(number, byte).text;
      std::string back;
      EXPECT_EQ(Encode(number, text, back), std::nullopt) << number << " " << Hex(byte);
      EXPECT_EQ(back, byte) << number << " " << Hex(byte);
    }
  }
}

TEST(CodePage, EveryPairOfADoubleBytePageGoesBackToAPairOfTheSameCharacter) {
  for (int number : kDoubleBytePages) {
    int pairs = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
        const Converted c = ToUtf8(number, pair);
        if (c.replaced != 0) continue;
        ++pairs;
        std::string back;
        ASSERT_EQ(Encode(number, c.text, back), std::nullopt) << number << " " << Hex(pair);
        if (back != pair) {
          EXPECT_EQ(ToUtf8(number, back).text, c.text) << number << " " << Hex(pair);
        }
      }
    }
    EXPECT_GT(pairs, 7000) << number;
  }
}

}  // namespace
}  // namespace tabdump
