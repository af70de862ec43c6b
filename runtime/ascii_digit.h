// Digits of the ASCII range only: numbers in filters, switches, dates and
// tables are written with these whatever the locale, and no other byte (no
// superscript or full-width digit) counts as one.
#pragma once

namespace tabdump {

inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a hexadecimal digit in either letter case; -1 for any other
// character.
inline int HexDigitValue(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace tabdump
