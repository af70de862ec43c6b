#include "runtime/format_settings.h"

#include <clocale>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <langinfo.h>
#endif

namespace tabdump {
namespace {

FormatSettings& Current() {
  static FormatSettings settings;
  return settings;
}

// The first character of a separator text, or the fallback when it is empty.
char FirstChar(const char* text, char fallback) {
  return text != nullptr && text[0] != '\0' ? text[0] : fallback;
}

// The character between the fields of a strftime date pattern.
char SeparatorOf(const std::string& pattern, char fallback) {
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] == '%') {
      ++i;
      continue;
    }
    return pattern[i];
  }
  return fallback;
}

}  // namespace

FormatSettings FormatSettings::Iso() { return FormatSettings{}; }

const FormatSettings& Settings() { return Current(); }
void SetSettings(const FormatSettings& settings) { Current() = settings; }

ScopedSettings::ScopedSettings(const FormatSettings& settings) : saved_(Current()) {
  Current() = settings;
}
ScopedSettings::~ScopedSettings() { Current() = saved_; }

#if defined(_WIN32)

namespace {

std::string LocaleText(LCTYPE type, const std::string& fallback) {
  char buffer[128];
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  return n > 1 ? std::string(buffer, static_cast<std::size_t>(n - 1)) : fallback;
}

// Windows pictures such as "dd/MM/yyyy" or "h:mm:ss tt" in strftime notation.
std::string FromWindowsPicture(const std::string& picture) {
  std::string out;
  for (std::size_t i = 0; i < picture.size();) {
    char c = picture[i];
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    switch (c) {
      case 'y': out += "%Y"; break;
      case 'M': out += run >= 3 ? "%m" : "%m"; break;
      case 'd': out += run >= 3 ? "" : "%d"; break;
      case 'H': out += "%H"; break;
      case 'h': out += "%I"; break;
      case 'm': out += "%M"; break;
      case 's': out += "%S"; break;
      case 't': out += "%p"; break;
      case '\'': break;
      default: out.append(run, c); break;
    }
    i += run;
  }
  return out;
}

}  // namespace

FormatSettings PlatformSettings() {
  FormatSettings s;
  s.decimal_separator = FirstChar(LocaleText(LOCALE_SDECIMAL, ".").c_str(), '.');
  s.thousands_separator = FirstChar(LocaleText(LOCALE_STHOUSAND, ",").c_str(), ',');
  s.short_date_format = FromWindowsPicture(LocaleText(LOCALE_SSHORTDATE, "yyyy-MM-dd"));
  s.time_format = FromWindowsPicture(LocaleText(LOCALE_STIMEFORMAT, "HH:mm:ss"));
  s.date_separator = SeparatorOf(s.short_date_format, '-');
  s.time_separator = SeparatorOf(s.time_format, ':');
  s.time_am = LocaleText(LOCALE_S1159, "AM");
  s.time_pm = LocaleText(LOCALE_S2359, "PM");
  s.currency_symbol = LocaleText(LOCALE_SCURRENCY, "$");
  for (int m = 0; m < 12; ++m) {
    s.short_month_names[m] = LocaleText(LOCALE_SABBREVMONTHNAME1 + m, s.short_month_names[m]);
    s.long_month_names[m] = LocaleText(LOCALE_SMONTHNAME1 + m, s.long_month_names[m]);
  }
  return s;
}

#else

namespace {

// Expands the composite strftime conversions into their parts.
std::string ExpandPattern(const std::string& pattern) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      out += pattern[i];
      continue;
    }
    char c = pattern[++i];
    switch (c) {
      case 'D': out += "%m/%d/%Y"; break;
      case 'F': out += "%Y-%m-%d"; break;
      case 'T': out += "%H:%M:%S"; break;
      case 'R': out += "%H:%M"; break;
      case 'r': out += "%I:%M:%S %p"; break;
      case 'y': out += "%Y"; break;  // never lose the century
      case 'E': case 'O': break;      // modifiers: keep the conversion that follows
      default: out += '%'; out += c; break;
    }
  }
  return out;
}

}  // namespace

FormatSettings PlatformSettings() {
  FormatSettings s;
  const char* name = std::setlocale(LC_ALL, "");
  // C, POSIX and their UTF-8 variants (C.UTF-8) keep the ISO formats.
  if (name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
      std::strncmp(name, "C.", 2) == 0) {
    std::setlocale(LC_ALL, "C");
    return s;  // ISO formats
  }
  s.decimal_separator = FirstChar(nl_langinfo(RADIXCHAR), '.');
  s.thousands_separator = FirstChar(nl_langinfo(THOUSEP), ',');
  s.short_date_format = ExpandPattern(nl_langinfo(D_FMT));
  s.time_format = ExpandPattern(nl_langinfo(T_FMT));
  s.date_separator = SeparatorOf(s.short_date_format, '-');
  s.time_separator = SeparatorOf(s.time_format, ':');
  if (const char* am = nl_langinfo(AM_STR); am && *am) s.time_am = am;
  if (const char* pm = nl_langinfo(PM_STR); pm && *pm) s.time_pm = pm;
  for (int m = 0; m < 12; ++m) {
    if (const char* t = nl_langinfo(static_cast<nl_item>(ABMON_1 + m)); t && *t) s.short_month_names[m] = t;
    if (const char* t = nl_langinfo(static_cast<nl_item>(MON_1 + m)); t && *t) s.long_month_names[m] = t;
  }
  if (const char* cur = nl_langinfo(CRNCYSTR); cur && *cur) {
    // The first character only says where the symbol stands.
    s.currency_symbol = (cur[0] == '-' || cur[0] == '+' || cur[0] == '.') ? cur + 1 : cur;
  }
  // Numbers are converted by our own code; keep the C library neutral.
  std::setlocale(LC_NUMERIC, "C");
  return s;
}

#endif

}  // namespace tabdump
