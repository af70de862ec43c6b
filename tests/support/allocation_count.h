// Counts the memory a piece of work allocates, through a replaced global
// operator new (allocation_count.cc, linked into the test programs that use
// this header).  Only allocations inside a CountAllocations call are counted,
// on its own thread, so that the test framework's own are left out.
#pragma once

#include <cstddef>
#include <functional>

namespace tabdump::testing {

struct Allocations {
  std::size_t count = 0;
  std::size_t bytes = 0;
};

Allocations CountAllocations(const std::function<void()>& work);

}  // namespace tabdump::testing
