// Writes runtime/code_page_tables.h: what Windows makes of every byte and
// every pair of bytes of the code pages that TABDUMP converts.  It is a Windows
// program on purpose: the tables are Windows' own conversion, read off
// MultiByteToWideChar and WideCharToMultiByte, so that the program gives the
// same characters on Linux as on Windows.  regenerate.sh builds it with
// mingw-w64 and runs it under Wine; the output is C++ source on standard
// output.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const unsigned kSingleBytePages[] = {437, 850, 852, 866, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
const unsigned kDoubleBytePages[] = {932, 936, 949, 950};
const unsigned kNoCharacter = 0xFFFF;  // never the character of a byte or pair of these pages

[[noreturn]] void Fail(const char* what, unsigned page, unsigned bytes) {
  std::fprintf(stderr, "code page %u, bytes %04X: %s\n", page, bytes, what);
  std::exit(1);
}

// The one UTF-16 unit that Windows makes of `bytes`, or kNoCharacter when they
// are no character of the page (MB_ERR_INVALID_CHARS refuses them).  With
// `strict` false, the flags are 0 and every byte has a character.
unsigned Decode(unsigned page, const std::string& bytes, bool strict) {
  WCHAR out[4];
  const int n = MultiByteToWideChar(page, strict ? MB_ERR_INVALID_CHARS : 0, bytes.data(),
                                    static_cast<int>(bytes.size()), out, 4);
  if (n == 0 && strict) return kNoCharacter;
  if (n != 1) Fail("not one UTF-16 unit", page, static_cast<unsigned char>(bytes[0]));
  if (out[0] == kNoCharacter || (out[0] >= 0xD800 && out[0] < 0xE000)) Fail("unexpected unit", page, out[0]);
  return out[0];
}

// What Windows writes for the character c without a best fit; empty when the
// page cannot hold it.
std::string Encode(unsigned page, unsigned c) {
  const WCHAR in = static_cast<WCHAR>(c);
  char out[8];
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, &in, 1, out, sizeof out, nullptr, &used_default);
  if (n <= 0 || used_default) return {};
  return std::string(out, static_cast<std::size_t>(n));
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// A character inside a u"" literal: CJK, kana and Hangul as themselves in
// UTF-8, so that a row reads like the code chart; the rest (punctuation, Latin,
// private use, the no-character mark) as \uXXXX.
std::string LiteralCharacter(unsigned c) {
  if (c >= 0x3000 && c < 0xE000) {
    std::string utf8;
    utf8 += static_cast<char>(0xE0 | (c >> 12));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
    return utf8;
  }
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04X", c);
  return text;
}

void EmitSingleTable(const char* name, const unsigned (&table)[256]) {
  std::printf("inline constexpr char16_t %s[256] = {\n", name);
  for (int row = 0; row < 32; ++row) {
    std::printf("   ");
    for (int i = 0; i < 8; ++i) std::printf(" %s,", Hex(table[row * 8 + i], 4).c_str());
    std::printf("  // %02X\n", row * 8);
  }
  std::printf("};\n");
}

// The sequences (a byte, or lead << 8 | trail) that Windows does not write back
// for their own character, in ascending order: another sequence of the page
// has the same character and is the one Windows writes, or Windows writes none.
void EmitAliases(const char* name, std::vector<unsigned> aliases) {
  std::sort(aliases.begin(), aliases.end());
  std::printf("inline constexpr std::array<std::uint16_t, %zu> %s = {", aliases.size(), name);
  for (std::size_t i = 0; i < aliases.size(); ++i) {
    std::printf("%s%s,", i % 12 == 0 ? "\n   " : "", (" " + Hex(aliases[i], 4)).c_str());
  }
  std::printf("%s};\n", aliases.empty() ? "" : "\n");
}

void SinglePage(unsigned page) {
  unsigned table[256];
  std::vector<unsigned> aliases;
  for (unsigned b = 0; b < 256; ++b) {
    const std::string bytes(1, static_cast<char>(b));
    table[b] = Decode(page, bytes, false);
    if (Encode(page, table[b]) != bytes) aliases.push_back(b);
  }
  const std::string name = "kCp" + std::to_string(page);
  std::printf("\n// Code page %u.\n", page);
  EmitSingleTable(name.c_str(), table);
  EmitAliases((name + "Aliases").c_str(), aliases);
}

void DoublePage(unsigned page) {
  unsigned single[256];
  std::vector<unsigned> aliases;
  std::vector<std::string> rows(256);
  for (unsigned lead = 0; lead < 256; ++lead) {
    if (!IsDBCSLeadByteEx(page, static_cast<BYTE>(lead))) {
      const std::string bytes(1, static_cast<char>(lead));
      single[lead] = Decode(page, bytes, false);
      if (Encode(page, single[lead]) != bytes) aliases.push_back(lead);
      continue;
    }
    single[lead] = kNoCharacter;
    unsigned trails[256];
    int first = -1, last = -1;
    for (unsigned trail = 0; trail < 256; ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      trails[trail] = Decode(page, bytes, true);
      if (trails[trail] == kNoCharacter) continue;
      if (first < 0) first = static_cast<int>(trail);
      last = static_cast<int>(trail);
      if (Encode(page, trails[trail]) != bytes) aliases.push_back(lead << 8 | trail);
    }
    if (first < 0) {
      // A lead byte of no pair (932 has some): an empty range.
      rows[lead] = "{0x01, 0x00, u\"\"}";
      continue;
    }
    std::string row = "{" + Hex(static_cast<unsigned>(first), 2) + ", " + Hex(static_cast<unsigned>(last), 2) + ", u\"";
    for (int trail = first; trail <= last; ++trail) row += LiteralCharacter(trails[trail]);
    rows[lead] = row + "\"}";
  }
  const std::string name = "kCp" + std::to_string(page);
  std::printf("\n// Code page %u: the single bytes (kNoCharacter for a lead byte) and the\n"
              "// pairs of each lead byte.\n", page);
  EmitSingleTable((name + "Single").c_str(), single);
  std::printf("inline constexpr DoubleByteRow %sRows[256] = {\n", name.c_str());
  for (unsigned lead = 0; lead < 256; ++lead) {
    if (rows[lead].empty()) {
      // Runs of bytes that lead no pair, on one line.
      unsigned end = lead;
      while (end < 256 && rows[end].empty()) ++end;
      std::printf("    // %02X-%02X: no lead bytes\n   ", lead, end - 1);
      for (unsigned i = lead; i < end; ++i) std::printf(" {},");
      std::printf("\n");
      lead = end - 1;
      continue;
    }
    std::printf("    %s,  // %02X\n", rows[lead].c_str(), lead);
  }
  std::printf("};\n");
  EmitAliases((name + "Aliases").c_str(), aliases);
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  std::printf(
      "// Generated by tools/code_page_tables/regenerate.sh from Windows' own\n"
      "// conversion (MultiByteToWideChar with flags 0, WideCharToMultiByte without a\n"
      "// best fit, as Wine has them); do not edit.  runtime/code_page.cc reads it.\n"
      "#pragma once\n\n"
      "#include <array>\n#include <cstdint>\n\n"
      "namespace tabdump::code_page_tables {\n\n"
      "// Marks a byte or pair that is no character: a lead byte read alone, a pair\n"
      "// Windows refuses (MB_ERR_INVALID_CHARS).  No page has U+FFFF.\n"
      "inline constexpr char16_t kNoCharacter = 0xFFFF;\n\n"
      "// The pairs of one lead byte: characters[trail - first_trail] for the trail\n"
      "// bytes first_trail to last_trail.  A lead byte of no pair has first_trail >\n"
      "// last_trail; the rows of the bytes that are not lead bytes are empty.\n"
      "struct DoubleByteRow {\n"
      "  unsigned char first_trail;\n"
      "  unsigned char last_trail;\n"
      "  const char16_t* characters;\n"
      "};\n");
  for (unsigned page : kSingleBytePages) SinglePage(page);
  for (unsigned page : kDoubleBytePages) DoublePage(page);
  std::printf("\n}  // namespace tabdump::code_page_tables\n");
  return 0;
}
