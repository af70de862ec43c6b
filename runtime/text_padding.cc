#include "runtime/text_padding.h"

namespace tabdump {

std::string FillStr(char ch, int count) {
  return count <= 0 ? std::string() : std::string(static_cast<std::size_t>(count), ch);
}

namespace {
std::string Head(const std::string& text, int width) {
  return width <= 0 ? std::string() : text.substr(0, static_cast<std::size_t>(width));
}
}  // namespace

std::string PadLeftStr(const std::string& text, int width, char ch) {
  std::string head = Head(text, width);
  return FillStr(ch, width - static_cast<int>(head.size())) + head;
}

std::string PadRightStr(const std::string& text, int width, char ch) {
  std::string head = Head(text, width);
  return head + FillStr(ch, width - static_cast<int>(head.size()));
}

}  // namespace tabdump
