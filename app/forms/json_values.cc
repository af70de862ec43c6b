#include "app/forms/json_values.h"

#include <cstdint>

namespace tabdump {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t start = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(utf8.data() + start, i - start);
    start = i + 1;
    out += '\\';
    switch (c) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '\n': out += 'n'; break;
      case '\r': out += 'r'; break;
      case '\t': out += 't'; break;
      case '\b': out += 'b'; break;
      case '\f': out += 'f'; break;
      default:
        out += "u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
  }
  out.append(utf8.data() + start, utf8.size() - start);
  out += '"';
}

void AppendBase64String(std::string& out, std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out += '"';
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                                static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                                static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[group >> 18];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += kAlphabet[(group >> 6) & 0x3F];
    out += kAlphabet[group & 0x3F];
  }
  // One or two bytes left: two or three characters, padded to four with '='.
  const std::size_t left = bytes.size() - i;
  if (left != 0) {
    std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (left == 2) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out += kAlphabet[group >> 18];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += left == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    out += '=';
  }
  out += '"';
}

bool IsJsonNumber(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  const std::size_t whole = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == whole || (text[whole] == '0' && i - whole > 1)) return false;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == fraction) return false;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == exponent) return false;
  }
  return i == text.size();
}

}  // namespace tabdump
