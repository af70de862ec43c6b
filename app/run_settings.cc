#include "app/run_settings.h"

#include <string_view>

#include "runtime/ascii_case.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

long long StrToInt(const std::string& text) {
  auto fail = [&]() -> long long { throw EConvertError("'" + text + "' is not a valid integer value"); };
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return fail();
  long long value = 0;
  for (; i < text.size(); ++i) {
    const int digit = base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return fail();
    value = value * base + digit;
    if (value > 0xFFFFFFFFLL) return fail();  // beyond any integer of 32 bits
  }
  if (base == 10 && value > (negative ? 2147483648LL : 2147483647LL)) return fail();
  return negative ? -value : value;
}

std::string DecodeCharSwitch(const std::string& value) {
  if (value.empty() || value[0] != '\\') return value;
  const long long code = StrToInt(value.substr(1));
  return std::string(1, static_cast<char>(static_cast<unsigned long long>(code) & 0xFF));
}

RunSettings ParseSwitches(const std::vector<std::string>& params) {
  RunSettings s;
  if (params.size() >= 1) s.SourceFile = params[0];
  if (params.size() >= 2) s.TargetFile = params[1];
  for (const std::string& param : params) {
    const std::string upper = UpperAscii(param);
    auto value_after = [&](std::size_t prefix_length) { return param.substr(prefix_length); };
    if (upper == "/H") {
      s.HeaderLine = true;
    } else if (upper == "/F") {
      s.TypeLine = true;
    } else if (upper == "/FIXED") {
      s.FixedWidth = true;
    } else if (StartsWith(upper, "/DELIMITER=")) {
      s.Delimiter = DecodeCharSwitch(value_after(11));
    } else if (StartsWith(upper, "/QUALIFIER=")) {
      s.Qualifier = DecodeCharSwitch(value_after(11));
    } else if (StartsWith(upper, "/RECORDSEPARATOR=")) {
      const std::string value = UpperAscii(value_after(17));
      if (value == "CR") s.RecordSeparator = "\r";
      if (value == "LF") s.RecordSeparator = "\n";
      if (value == "CRLF") s.RecordSeparator = "\r\n";
    } else if (StartsWith(upper, "/FIELDS=")) {
      const std::string value = value_after(8);
      s.FieldList = value.empty() ? std::string() : LowerAscii(value) + ";";
    } else if (StartsWith(upper, "/FILTER=")) {
      s.FilterText = value_after(8);
    } else if (StartsWith(upper, "/WHERE=")) {
      s.FilterText = value_after(7);
    }
  }
  return s;
}

}  // namespace tabdump
