// Regional settings used by every conversion between values and text.  They
// are read once from the platform at start; tests replace them.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tabdump {

struct FormatSettings {
  char decimal_separator = '.';
  char thousands_separator = ',';
  char date_separator = '-';
  char time_separator = ':';
  // Patterns in strftime notation: %Y %y %m %d %e %b %B %H %k %I %l %M %S %p,
  // %% and literal characters.  A "-" after the "%" drops the padding of a
  // number (%-m is 1 to 12) and shortens %-p to the marker's first character.
  // A two-digit year is always written with four digits.
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

// A Windows date or time picture ("M/d/yyyy", "dd.MM.yyyy", "h:mm:ss tt",
// "H' h 'mm") in the pattern notation above.  Any run of y gives the
// four-digit year; ddd and dddd (weekday names) and g (era) are left out.
std::string PatternFromWindowsPicture(std::string_view picture);

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
