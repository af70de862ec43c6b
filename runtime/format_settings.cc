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

// The first literal character of a pattern: the one between its fields.
char SeparatorOf(const std::string& pattern, char fallback) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) return pattern[i];
    ++i;
    if (pattern[i] == '%') return '%';
    if (pattern[i] == '-' && i + 1 < pattern.size()) ++i;
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

std::string PatternFromWindowsPicture(std::string_view picture) {
  std::string out;
  auto literal = [&out](char c) { out += c == '%' ? "%%" : std::string(1, c); };
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    if (c == '\'') {
      // Text between single quotes stands as it is; two quotes in a row, in
      // quoted text or not, stand for one quote.
      if (i + 1 < picture.size() && picture[i + 1] == '\'') {
        literal('\'');
        i += 2;
        continue;
      }
      for (++i; i < picture.size(); ++i) {
        if (picture[i] != '\'') {
          literal(picture[i]);
        } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
          literal('\'');
          ++i;
        } else {
          ++i;
          break;
        }
      }
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    i += run;
    const bool one = run == 1;
    switch (c) {
      case 'y': out += "%Y"; break;
      case 'M': out += one ? "%-m" : run == 2 ? "%m" : run == 3 ? "%b" : "%B"; break;
      case 'd': if (run <= 2) out += one ? "%-d" : "%d"; break;
      case 'H': out += one ? "%-H" : "%H"; break;
      case 'h': out += one ? "%-I" : "%I"; break;
      case 'm': out += one ? "%-M" : "%M"; break;
      case 's': out += one ? "%-S" : "%S"; break;
      case 't': out += one ? "%-p" : "%p"; break;
      case 'g': break;
      default:
        for (std::size_t k = 0; k < run; ++k) literal(c);
        break;
    }
  }
  return out;
}

#if defined(_WIN32)

namespace {

std::string LocaleText(LCTYPE type, const std::string& fallback) {
  char buffer[128];
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  return n > 1 ? std::string(buffer, static_cast<std::size_t>(n - 1)) : fallback;
}

}  // namespace

FormatSettings PlatformSettings() {
  FormatSettings s;
  s.decimal_separator = FirstChar(LocaleText(LOCALE_SDECIMAL, ".").c_str(), '.');
  s.thousands_separator = FirstChar(LocaleText(LOCALE_STHOUSAND, ",").c_str(), ',');
  s.short_date_format = PatternFromWindowsPicture(LocaleText(LOCALE_SSHORTDATE, "yyyy-MM-dd"));
  s.time_format = PatternFromWindowsPicture(LocaleText(LOCALE_STIMEFORMAT, "HH:mm:ss"));
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
      case 'E': case 'O': out += '%'; break;  // modifiers: keep the conversion that follows
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
