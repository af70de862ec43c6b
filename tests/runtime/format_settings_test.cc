// Windows regional settings arrive as date and time pictures; these tests run
// the conversion of those pictures on every platform.
#include "runtime/format_settings.h"

#include <gtest/gtest.h>

#include "runtime/convert.h"
#include "runtime/datetime.h"

namespace tabdump {
namespace {

TEST(WindowsPicture, BecomesAPattern) {
  const std::pair<const char*, const char*> cases[] = {
      {"M/d/yyyy", "%-m/%-d/%Y"},            // English (United States)
      {"dd.MM.yy", "%d.%m.%Y"},              // a two-digit year still gets four
      {"yyyy-MM-dd", "%Y-%m-%d"},
      {"d-MMM-yyyy", "%-d-%b-%Y"},
      {"MMMM d y", "%B %-d %Y"},
      {"h:mm:ss tt", "%-I:%M:%S %p"},
      {"tt hh:mm:ss", "%p %I:%M:%S"},
      {"H:m:s t", "%-H:%-M:%-S %-p"},
      {"HH' h 'mm", "%H h %M"},             // quoted text is not read as fields
      {"'Day' d", "Day %-d"},
      {"h''mm", "%-I'%M"},                  // two quotes give one
      {"'it''s' d", "it's %-d"},
      {"'100%' yyyy", "100%% %Y"},          // a percent sign stays literal
      {"yyyy'unclosed", "%Yunclosed"},
      {"gg yyyy", " %Y"},                   // the era is left out
      {"ddd d", " %-d"},                    // so are weekday names
      {"", ""},
  };
  for (const auto& [picture, pattern] : cases) EXPECT_EQ(PatternFromWindowsPicture(picture), pattern) << picture;
}

FormatSettings FromPictures(const char* date, const char* time) {
  FormatSettings fs;
  fs.short_date_format = PatternFromWindowsPicture(date);
  fs.time_format = PatternFromWindowsPicture(time);
  return fs;
}

double At(int y, int m, int d, int h, int n, int s) {
  return CombineDateTime(*EncodeDate(y, m, d), *EncodeTime(h, n, s, 0));
}

TEST(WindowsPicture, FormatsDateTimes) {
  const double morning = At(2024, 5, 1, 9, 5, 7);
  const double night = At(2020, 12, 31, 23, 59, 58);
  const double past_midnight = At(2024, 2, 29, 0, 0, 1);
  struct Case {
    const char* date;
    const char* time;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {"M/d/yyyy", "h:mm:ss tt", morning, "5/1/2024 9:05:07 AM"},
      {"M/d/yyyy", "h:mm:ss tt", night, "12/31/2020 11:59:58 PM"},
      {"M/d/yyyy", "h:mm:ss tt", past_midnight, "2/29/2024 12:00:01 AM"},
      {"dd.MM.yy", "HH:mm:ss", morning, "01.05.2024 09:05:07"},
      {"d-MMM-yyyy", "H' h 'mm", morning, "1-May-2024 9 h 05"},
      {"MMMM d, yyyy", "H:m:s t", night, "December 31, 2020 23:59:58 P"},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendDateTime(out, c.value, FromPictures(c.date, c.time));
    EXPECT_EQ(out, c.text) << c.date << " " << c.time;
  }
}

TEST(WindowsPicture, DatesReadBackInThePicturesOrder) {
  EXPECT_EQ(TextToDateTime("3/15/1999", FromPictures("M/d/yyyy", "h:mm:ss tt")), *EncodeDate(1999, 3, 15));
  EXPECT_EQ(TextToDateTime("15.3.1999", FromPictures("d.M.yyyy", "HH:mm:ss")), *EncodeDate(1999, 3, 15));
  EXPECT_EQ(TextToDateTime("12/31/2020 11:59:58 PM", FromPictures("M/d/yyyy", "h:mm:ss tt")),
            At(2020, 12, 31, 23, 59, 58));
}

}  // namespace
}  // namespace tabdump
