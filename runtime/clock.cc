#include "runtime/clock.h"

#include <chrono>
#include <ctime>

#include "runtime/datetime.h"

namespace tabdump {
namespace {

std::optional<double>& FixedNow() {
  static std::optional<double> now;
  return now;
}

}  // namespace

double CurrentDateTime() {
  if (FixedNow()) return *FixedNow();
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  const double date = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).value_or(0);
  const double time =
      EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(ms))
          .value_or(0);
  return CombineDateTime(date, time);
}

int CurrentYear() {
  auto parts = SplitDateTime(CurrentDateTime());
  return parts ? DecodeDate(*parts).year : 2000;
}

void SetClockForTesting(std::optional<double> now) { FixedNow() = now; }

}  // namespace tabdump
