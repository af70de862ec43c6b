// The current local date and time, replaceable for tests.
#pragma once

#include <optional>

namespace tabdump {

// Now as a date-time (days since 1899-12-30, local time).
double CurrentDateTime();
// The calendar year of CurrentDateTime().
int CurrentYear();
// Fixes the clock at `now`; nullopt gives the real clock back.
void SetClockForTesting(std::optional<double> now);

}  // namespace tabdump
