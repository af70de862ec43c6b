// A progress line on standard error for long conversions: records done of the
// header's count, percent and rate.  Shown only when standard error is a
// terminal and the run has lasted more than a second, redrawn a few times a
// second, and erased at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tabdump {

class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine();
  // Whether standard error is a terminal at all.
  bool Enabled() const { return enabled_; }
  void Update(std::int64_t done, std::int64_t total);
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  bool shown_ = false;
  std::uint32_t calls_ = 0;
  Clock::time_point start_;
  Clock::time_point last_draw_;
  std::size_t last_width_ = 0;
};

}  // namespace tabdump
