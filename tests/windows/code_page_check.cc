// code_page_check: a Windows program of the Wine test suite that holds the code
// page tables compiled into TABDUMP against Windows' own conversion at run
// time, so that they can never drift apart from it:
//  - every single byte, every lead byte alone, before a NUL and before every
//    trail byte, converted by CodePage::AppendUtf8 and by MultiByteToWideChar
//    (flags 0).  Broken sequences, which Windows refuses with
//    MB_ERR_INVALID_CHARS, are read by a rule of our own, which keeps every
//    character after them (Windows may swallow one); for them it is enough
//    that CodePage counts a replacement;
//  - UTF-8: every sequence of one and two bytes, and longer ones made of the
//    bytes where the rules change;
//  - every character of the Basic Multilingual Plane, converted back by
//    CodePage::AppendEncoded and by WideCharToMultiByte without a best fit.
// Prints the first mismatches, then "N code pages agree with Windows" or
// "N mismatches"; the exit status is 0 when all agree.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/code_page.h"

namespace {

int mismatches = 0;

std::string Hex(const std::string& bytes) {
  std::string text;
  char part[4];
  for (unsigned char b : bytes) {
    std::snprintf(part, sizeof part, "%02X ", b);
    text += part;
  }
  return text;
}

void Mismatch(unsigned page, const std::string& what, const std::string& bytes, const std::string& ours,
              const std::string& windows) {
  if (++mismatches <= 20) {
    std::printf("code page %u, %s [%s]: ours [%s], Windows [%s]\n", page, what.c_str(), Hex(bytes).c_str(),
                Hex(ours).c_str(), Hex(windows).c_str());
  }
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::wstring Decode(unsigned page, const std::string& bytes, DWORD flags) {
  WCHAR out[16];
  const int n = MultiByteToWideChar(page, flags, bytes.data(), static_cast<int>(bytes.size()), out, 16);
  return std::wstring(out, static_cast<std::size_t>(n > 0 ? n : 0));
}

// One conversion of `bytes`: Windows' characters against ours where Windows
// takes the bytes; a counted replacement where it refuses them.
void CheckForward(const tabdump::CodePage& code_page, unsigned page, const std::string& bytes) {
  const std::wstring windows = Decode(page, bytes, 0);
  const bool refused = Decode(page, bytes, MB_ERR_INVALID_CHARS).empty() && !bytes.empty();
  std::string ours;
  const std::size_t replaced = code_page.AppendUtf8(bytes, ours);
  if (refused) {
    // Some bytes that Windows calls invalid still give a character of their
    // own without the flag (874 DB, 1253 AA: private-use characters); those
    // must be the same.  Any other refused bytes need a counted replacement.
    const bool same_character = ours == ToUtf8(windows) && replaced == 0;
    if (!same_character && replaced == 0) {
      Mismatch(page, "broken bytes without a replacement", bytes, ours, ToUtf8(windows));
    }
    return;
  }
  const std::size_t expected_replaced = 0;
  const std::string expected = ToUtf8(windows);
  if (ours != expected || replaced != expected_replaced) {
    Mismatch(page, "bytes (replaced " + std::to_string(replaced) + ", Windows " +
                       std::to_string(expected_replaced) + ")",
             bytes, ours, expected);
  }
}

void CheckReverse(const tabdump::CodePage& code_page, unsigned page) {
  for (unsigned c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    const WCHAR wide = static_cast<WCHAR>(c);
    char bytes[8];
    BOOL used_default = FALSE;
    const int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr,
                                      &used_default);
    const std::string windows = n > 0 && !used_default ? std::string(bytes, static_cast<std::size_t>(n)) : "";
    std::string ours;
    const std::string utf8 = ToUtf8(std::wstring(1, wide));
    if (code_page.AppendEncoded(utf8, ours)) ours.clear();
    if (ours != windows) Mismatch(page, "character", utf8, ours, windows);
  }
}

void CheckPage(unsigned page) {
  const std::optional<tabdump::CodePage> code_page = tabdump::CodePage::Find(static_cast<int>(page));
  if (!code_page) {
    Mismatch(page, "not found", "", "", "");
    return;
  }
  for (unsigned b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    CheckForward(*code_page, page, one);
    if (!IsDBCSLeadByteEx(page, static_cast<BYTE>(b))) continue;
    for (unsigned trail = 0; trail < 256; ++trail) {
      CheckForward(*code_page, page, one + static_cast<char>(trail));
    }
    CheckForward(*code_page, page, one + "a");
    CheckForward(*code_page, page, one + std::string("\0a", 2));
  }
  CheckReverse(*code_page, page);
}

void CheckUtf8() {
  const std::optional<tabdump::CodePage> code_page = tabdump::CodePage::Find(65001);
  if (!code_page) {
    Mismatch(65001, "not found", "", "", "");
    return;
  }
  for (unsigned a = 0; a < 256; ++a) {
    CheckForward(*code_page, 65001, std::string(1, static_cast<char>(a)));
    for (unsigned b = 0; b < 256; ++b) {
      CheckForward(*code_page, 65001, {static_cast<char>(a), static_cast<char>(b)});
    }
  }
  // The bytes where the rules change, as second to fourth bytes of every
  // first byte that starts a longer sequence.
  const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0,
                                 0xBE, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xED, 0xF0, 0xF4, 0xF5, 0xFF};
  for (unsigned first = 0xC0; first < 256; ++first) {
    for (unsigned second = 0x80; second < 0xC0; ++second) {
      for (unsigned char third : edges) {
        const std::string three{static_cast<char>(first), static_cast<char>(second), static_cast<char>(third)};
        CheckForward(*code_page, 65001, three);
        for (unsigned char fourth : edges) CheckForward(*code_page, 65001, three + static_cast<char>(fourth));
      }
    }
  }
}

}  // namespace

int main() {
  const unsigned pages[] = {437,  850,  852,  866,  874,  1250, 1251, 1252, 1253,
                            1254, 1255, 1256, 1257, 1258, 932,  936,  949,  950};
  for (unsigned page : pages) CheckPage(page);
  CheckUtf8();
  if (mismatches != 0) {
    std::printf("%d mismatches\n", mismatches);
    return 1;
  }
  std::printf("%zu code pages agree with Windows\n", std::size(pages) + 1);
  return 0;
}
