#include "tests/support/allocation_count.h"

#include <cstdlib>
#include <new>

namespace tabdump::testing {
namespace {

thread_local bool counting = false;
thread_local Allocations counted;

void* Allocate(std::size_t size) {
  if (counting) {
    ++counted.count;
    counted.bytes += size;
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

Allocations CountAllocations(const std::function<void()>& work) {
  counted = {};
  counting = true;
  try {
    work();
  } catch (...) {
    counting = false;
    throw;
  }
  counting = false;
  return counted;
}

}  // namespace tabdump::testing

// The replaced operators; the aligned and the no-throw forms of the standard
// library reach these or keep to allocations of their own.
void* operator new(std::size_t size) { return tabdump::testing::Allocate(size); }
void* operator new[](std::size_t size) { return tabdump::testing::Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
