// Currency amounts: a signed 64-bit count of ten-thousandths.
#pragma once

#include <cstdint>

namespace tabdump {

struct Currency {
  std::int64_t units = 0;  // amount x 10000
  static constexpr std::int64_t kScale = 10000;
  friend bool operator==(Currency a, Currency b) { return a.units == b.units; }
  friend auto operator<=>(Currency a, Currency b) { return a.units <=> b.units; }
};

}  // namespace tabdump
