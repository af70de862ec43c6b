// Tells work that grows in proportion to its input from work that grows with
// its square, without judging absolute speed: the same work is timed at size
// n and at 4n, in CPU time of the process, and the ratio is returned.
// Linear work grows about fourfold and quadratic work sixteenfold, on a fast
// machine or a slow one, with or without sanitizers, since both sizes slow
// down alike.
//
// Each size runs once to warm up and then three times, and the fastest run
// counts, so that a moment of interference does not.  Freed memory is kept by
// the allocator rather than handed back to the system: otherwise large inputs
// pay page faults on every run that small ones, served from recycled memory,
// do not, and linear work looks quadratic.
#pragma once

#include <ctime>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>

namespace tabdump::testing {

// CPU time of the process, which runs the tests on one thread.
inline double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// prepare(size) makes the input outside the measurement; work(input) is
// what is measured.
template <typename Prepare, typename Work>
double FourfoldGrowth(long n, Prepare prepare, Work work) {
#if defined(__GLIBC__)
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
#endif
  auto fastest = [&](long size) {
    auto input = prepare(size);
    work(input);
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
      const double start = CpuSeconds();
      work(input);
      best = std::min(best, CpuSeconds() - start);
    }
    return std::max(best, 1e-6);
  };
  const double small = fastest(n);
  return fastest(4 * n) / small;
}

// Linear work stays well below a quadratic sixteenfold growth; the room
// above fourfold is for caches, which serve the smaller input better.
constexpr double kLinearGrowthLimit = 8.0;

}  // namespace tabdump::testing
