#include "app/report/progress_line.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define TABDUMP_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define TABDUMP_ISATTY(fd) isatty(fd)
#endif

namespace tabdump {

ProgressLine::ProgressLine()
    : enabled_(TABDUMP_ISATTY(2) != 0), start_(Clock::now()), last_draw_(start_) {}

ProgressLine::~ProgressLine() { Finish(); }

void ProgressLine::Update(std::int64_t done, std::int64_t total) {
  // Reading the clock for every record would cost more than it tells.
  if (!enabled_ || (++calls_ & 0x3FFF) != 0) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_draw_ < std::chrono::milliseconds(250)) return;
  last_draw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  char line[160];
  int n;
  if (total > 0) {
    n = std::snprintf(line, sizeof line, "\r%lld of %lld records (%.0f%%), %.0f records/s",
                      static_cast<long long>(done), static_cast<long long>(total),
                      100.0 * static_cast<double>(done) / static_cast<double>(total), rate);
  } else {
    n = std::snprintf(line, sizeof line, "\r%lld records, %.0f records/s", static_cast<long long>(done), rate);
  }
  if (n <= 0) return;
  std::string text(line, static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1);
  // Blank out what a longer earlier line left behind.
  if (text.size() < last_width_) text.append(last_width_ - text.size(), ' ');
  last_width_ = text.size();
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  shown_ = true;
}

void ProgressLine::Finish() {
  if (!shown_) return;
  std::string blank = "\r" + std::string(last_width_, ' ') + "\r";
  std::fputs(blank.c_str(), stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace tabdump
