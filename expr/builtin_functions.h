// The library of built-in functions, found by name through one table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/variant.h"

namespace tabdump {

class TExpNode;

struct TBuiltinFunction {
  std::string_view Name;
  // Computes the value of a call node from its children, which are the
  // arguments; each implementation evaluates only what it reads.
  Variant (*Compute)(const TExpNode& call);
  // Also taken without parentheses (GETDATE, NOW); every other built-in
  // needs at least one written argument, or the name goes to the owner.
  bool WorksBare;
};

// The entry for `name`, letters a-z compared without case; null when none.
const TBuiltinFunction* FindBuiltin(std::string_view name);
// Every entry, for the tests that try each built-in with hostile arguments.
std::span<const TBuiltinFunction> AllBuiltins();

// The state of RANDOM, shared by the whole process.  It starts at 0 and is
// never seeded from the clock, so every run draws the same sequence; tests
// set it to start a sequence over.
std::uint32_t RandomState();
void SetRandomState(std::uint32_t state);

}  // namespace tabdump
