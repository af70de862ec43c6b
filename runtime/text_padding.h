// Text filling and cutting to a width, for the expression functions PADL and
// PADR.
#pragma once

#include <string>

namespace tabdump {

// Count copies of ch; empty when count <= 0.
std::string FillStr(char ch, int count);
// The first `width` characters of text (none when width <= 0), filled on the
// left with ch up to `width`.
std::string PadLeftStr(const std::string& text, int width, char ch);
// The same, filled on the right.
std::string PadRightStr(const std::string& text, int width, char ch);

}  // namespace tabdump
