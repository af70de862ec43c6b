// Fuzz target: arbitrary text as a command line, split the way Windows
// programs split theirs and then decoded into the run's settings.  Besides
// the sanitizers it checks that the three ways of reading parameters agree:
// the list, the count and parameter n read one at a time.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings/command_line.h"
#include "app/settings/run_settings.h"
#include "runtime/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tabdump;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> params = SplitCommandLine(text);
  if (CmdLineParamCount(text) != static_cast<int>(params.size())) __builtin_trap();
  for (std::size_t i = 0; i < params.size() && i < 8; ++i) {
    if (CmdLineParamStr(text, static_cast<int>(i) + 1) != params[i]) __builtin_trap();
  }
  if (!CmdLineParamStr(text, static_cast<int>(params.size()) + 1).empty()) __builtin_trap();
  // No parameter can be longer than the text it came from.
  for (const std::string& param : params) {
    if (param.size() > size) __builtin_trap();
  }
  try {
    ParseSwitches(params);
  } catch (const Exception&) {
    // "'x' is not a valid integer value" for a bad delimiter or qualifier.
  }
  return 0;
}
