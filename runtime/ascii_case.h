// Letter case of the ASCII letters only: switches, field names, operators,
// built-in functions and registry entries are matched this way whatever the
// locale, and no other byte changes.
#pragma once

#include <string>
#include <string_view>

namespace tabdump {

inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string UpperAscii(std::string text) {
  for (char& c : text) c = UpperAscii(c);
  return text;
}
inline std::string LowerAscii(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

inline bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace tabdump
