#include "runtime/exceptions.h"

namespace tabdump {
namespace {

// Anchor for relative addresses: any function of this program will do.
[[gnu::noinline]] void AddressAnchor() {}

constexpr std::uintptr_t kPreferredBase = 0x00400000;

}  // namespace

[[gnu::noinline]] Exception::Exception(const std::string& message)
    : std::runtime_error(message) {
#if defined(__GNUC__)
  auto here = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
  auto anchor = reinterpret_cast<std::uintptr_t>(&AddressAnchor);
  raise_address_ = kPreferredBase + (here - anchor);
#else
  raise_address_ = kPreferredBase;
#endif
}

}  // namespace tabdump
