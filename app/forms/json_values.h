// The pieces of JSON (RFC 8259) that the JSON Lines output and the JSON
// description of /info are made of: texts as JSON strings, bytes as base64
// (RFC 4648) strings.
#pragma once

#include <string>
#include <string_view>

namespace tabdump {

// A text that is valid UTF-8, between double quotes: the quote, the
// backslash and the controls below U+0020 escaped (\n, \r, \t, \b, \f, the
// others as \u00XX); every other character as it stands.
void AppendJsonString(std::string& out, std::string_view utf8);

// Bytes as a base64 string between double quotes, with padding.
void AppendBase64String(std::string& out, std::string_view bytes);

// Whether a number's text, as exact_values.h writes it, is a JSON number:
// an optional minus, digits without a leading zero before others, an
// optional fraction, an optional exponent.
bool IsJsonNumber(std::string_view text);

}  // namespace tabdump
