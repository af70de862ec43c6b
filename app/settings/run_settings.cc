#include "app/settings/run_settings.h"

#include <string_view>

#include "runtime/ascii_case.h"
#include "runtime/exceptions.h"
#include "runtime/text_scan.h"

namespace tabdump {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string DecodeCharSwitch(const std::string& value) {
  if (value.empty() || value[0] != '\\') return value;
  const std::string number = value.substr(1);
  // Codes come as they are written in batch files: decimal, "$3B" or "0x3B",
  // a sign allowed before either.
  const auto code = ScanInteger(number, IntegerSyntax{.zero_x_prefix = true, .signed_hexadecimal = true});
  if (!code) ThrowNotValid(number, "integer value");
  return std::string(1, static_cast<char>(static_cast<unsigned long long>(*code) & 0xFF));
}

RunSettings ParseSwitches(const std::vector<std::string>& params) {
  RunSettings s;
  bool delimiter_given = false;
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
    } else if (upper == "/CSV") {
      s.Csv = true;
    } else if (upper == "/JSON") {
      s.Json = true;
    } else if (upper == "/INFO") {
      s.Info = true;
    } else if (upper == "/BOM") {
      s.Bom = true;
    } else if (StartsWith(upper, "/CODEPAGE=")) {
      s.CodePage = value_after(10);
    } else if (StartsWith(upper, "/SQL=")) {
      s.Sql = SqlDialectNamed(value_after(5));
      if (!s.Sql) {
        throw EConvertError("Unknown SQL dialect \"" + value_after(5) +
                            "\": use /sql=sqlite, /sql=postgres or /sql=mysql.");
      }
    } else if (StartsWith(upper, "/THREADS=")) {
      const auto threads = ScanInteger(value_after(9), IntegerSyntax{});
      if (!threads || *threads < 1 || *threads > kMaxThreads) {
        throw EConvertError("The number of threads must be from 1 to " + std::to_string(kMaxThreads) + ": /threads=" +
                            value_after(9) + ".");
      }
      s.Threads = static_cast<int>(*threads);
    } else if (upper == "/SUMMARY") {
      s.Summary = true;
    } else if (upper == "/STRICT") {
      s.Strict = true;
    } else if (StartsWith(upper, "/DELIMITER=")) {
      s.Delimiter = DecodeCharSwitch(value_after(11));
      delimiter_given = true;
    } else if (StartsWith(upper, "/QUALIFIER=")) {
      s.Qualifier = DecodeCharSwitch(value_after(11));
    } else if (StartsWith(upper, "/RECORDSEPARATOR=")) {
      const std::string value = UpperAscii(value_after(17));
      if (value == "CR") s.RecordSeparator = "\r";
      if (value == "LF") s.RecordSeparator = "\n";
      if (value == "CRLF") s.RecordSeparator = "\r\n";
    } else if (StartsWith(upper, "/FIELDS=")) {
      const std::string value = value_after(8);
      s.FieldList = value.empty() ? std::string() : value + ";";
    } else if (StartsWith(upper, "/FILTER=")) {
      s.FilterText = value_after(8);
    } else if (StartsWith(upper, "/WHERE=")) {
      s.FilterText = value_after(7);
    }
  }
  if (s.Json && !s.Sql) {
    // JSON Lines have a shape of their own; a /csv beside /json is dropped.
    s.Csv = false;
    s.HeaderLine = false;
    s.TypeLine = false;
    s.FixedWidth = false;
    s.Qualifier = NoneMark;
    s.RecordSeparator = "\n";
  }
  if (s.Csv) {
    // A comma unless a delimiter was given, before /csv or after it; the
    // record separator keeps whatever was given.  Quoting is CSV's own.
    if (!delimiter_given) s.Delimiter = ",";
    s.HeaderLine = true;
    s.Qualifier = NoneMark;
    s.FixedWidth = false;
  }
  if (s.Csv && !s.Sql &&
      (s.Delimiter.empty() || s.Delimiter == NoneMark || s.Delimiter.find_first_of("\"\r\n") != std::string::npos)) {
    // A reader splits a CSV line at the delimiter outside quotes: without
    // one, or with one that holds a quote or a line end, it cannot.
    throw EConvertError(
        "With /csv the delimiter must be one or more characters other than a double quote, CR and LF, so that a "
        "reader can split the fields.");
  }
  if (s.Sql) {
    // A script has no lines of its own to shape.
    s.Csv = false;
    s.HeaderLine = false;
    s.TypeLine = false;
    s.FixedWidth = false;
    s.Bom = false;
  }
  return s;
}

}  // namespace tabdump
