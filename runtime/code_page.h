// Code pages: the text of a table read as the bytes of a Windows code page and
// written as UTF-8, and the way back for the texts a user types (a filter).
//
// Every byte and pair of bytes means what Windows' MultiByteToWideChar (flags
// 0) makes of it: the tables in code_page_tables.h were read off Windows
// itself, so the program gives the same characters on every system, whatever
// the C library's own converters do.  That includes the bytes a single-byte
// page leaves undefined (1252's 0x81 is U+0081, 874's 0xDB is U+F8C1): they
// are characters too, never errors.  A single-byte page gives one character
// per byte; a letter followed by a combining mark (1255, 1258) stays two
// characters, as on Windows.
//
// What Windows cannot read as a character becomes U+FFFD, and is counted:
//  - double-byte pages: a lead byte at the end of the text; a lead byte with a
//    trail byte that makes no pair, where the two bytes give one U+FFFD (the
//    trail byte is taken with the lead byte, as Windows does, even when it is
//    an ASCII character); a lead byte before a NUL byte, where the NUL stays.
//  - UTF-8: a byte that starts no sequence (0x80-0xC1, 0xF5-0xFF), and a
//    sequence that turns out overlong, a surrogate or above U+10FFFF, or that
//    is cut short by a byte that does not continue it: one U+FFFD for the
//    bytes read up to the point where the sequence failed, then the scan goes
//    on.  A sequence whose length runs past the end of the text is one U+FFFD
//    for all the rest, as Windows has it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tabdump {

// The first character of a text that a code page cannot hold.
struct UnmappableCharacter {
  std::size_t offset = 0;  // where it starts in the UTF-8 text, in bytes
  char32_t character = 0;  // U+FFFD when the text is no valid UTF-8 there
  bool invalid_utf8 = false;
};

// A code page: a cheap handle to tables compiled into the program.
class CodePage {
 public:
  struct Tables;  // code_page.cc

  // 437, 850, 852, 866, 874, 1250 to 1258, 932, 936, 949, 950 and 65001 (UTF-8,
  // for tables that already hold UTF-8); nothing for any other number.
  static std::optional<CodePage> Find(int number);
  // The number in decimal, optionally after "cp" or "windows-", or "utf8" or
  // "utf-8"; letters in either case.
  static std::optional<CodePage> Find(std::string_view name);

  int number() const;
  bool is_utf8() const;

  // Appends the UTF-8 form of `bytes` to `out` and returns how many U+FFFD it
  // put in for bytes that are no character (none for a single-byte page).
  std::size_t AppendUtf8(std::string_view bytes, std::string& out) const;

  // Appends the bytes of this code page for the UTF-8 text `utf8` to `out`.
  // For a character that has several byte forms, it writes the one Windows
  // writes (WideCharToMultiByte without a best fit).  Stops at the first
  // character the page cannot hold, or where the text is no valid UTF-8, and
  // returns it; `out` then holds the bytes of the characters before it.
  std::optional<UnmappableCharacter> AppendEncoded(std::string_view utf8, std::string& out) const;

  explicit constexpr CodePage(const Tables* tables) : tables_(tables) {}

 private:
  const Tables* tables_;
};

// The characters of a UTF-8 text: every byte but the continuation bytes.
inline std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

}  // namespace tabdump
