// Regional settings used by every conversion between values and text.  They
// are read once from the platform at start; tests replace them.
#pragma once

#include <array>
#include <string>

namespace tabdump {

struct FormatSettings {
  char decimal_separator = '.';
  char thousands_separator = ',';
  char date_separator = '-';
  char time_separator = ':';
  // Patterns in strftime notation: %Y %y %m %d %e %H %I %M %S %p and literal
  // characters.  A two-digit year is always written with four digits.
  std::string short_date_format = "%Y-%m-%d";
  std::string time_format = "%H:%M:%S";
  std::string time_am = "AM";
  std::string time_pm = "PM";
  std::array<std::string, 12> short_month_names{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> long_month_names{
      "January", "February", "March",     "April",   "May",      "June",
      "July",    "August",   "September", "October", "November", "December"};
  std::string currency_symbol = "$";

  // The settings of the C/POSIX locale: ISO 8601 dates and times.
  static FormatSettings Iso();
};

// The settings in force.
const FormatSettings& Settings();
// Replaces the settings in force (tests, and the platform layer at start).
void SetSettings(const FormatSettings& settings);
// Reads the user's regional settings from the platform.
FormatSettings PlatformSettings();

// Restores the previous settings when it goes out of scope.
class ScopedSettings {
 public:
  explicit ScopedSettings(const FormatSettings& settings);
  ~ScopedSettings();
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

 private:
  FormatSettings saved_;
};

}  // namespace tabdump
