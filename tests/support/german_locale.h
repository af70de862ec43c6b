// A German locale for the tests of regional settings, made when the system
// has none.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/shell_command.h"

namespace tabdump::testing {

// A German locale, made for the test when the system has none: localedef
// writes it into a folder that LOCPATH names, without touching the system.
// The environment assignments that select it, or "" when it cannot be had.
inline std::string GermanLocaleEnv(const std::string& folder, std::string* why) {
  const CommandResult installed = RunCommand("locale -a");
  for (const char* name : {"de_DE.utf8", "de_DE.UTF-8"}) {
    if (installed.output.find(std::string(name) + "\n") != std::string::npos) return "LC_ALL=de_DE.UTF-8";
  }
  if (FindProgram("localedef").empty() || !std::filesystem::exists("/usr/share/i18n/locales/de_DE")) {
    *why = "no German locale here, and no localedef with the de_DE source to make one";
    return "";
  }
  std::filesystem::create_directories(folder);
  const std::string env = "LOCPATH=" + QuoteForShell(folder) + " LC_ALL=de_DE.UTF-8";
  if (!std::filesystem::exists(folder + "/de_DE.UTF-8")) {
    const CommandResult made = RunCommand("localedef -i de_DE -f UTF-8 " + QuoteForShell(folder + "/de_DE.UTF-8"));
    if (made.status > 1) {  // 1: made, with warnings
      *why = "localedef failed: " + made.errors;
      return "";
    }
  }
  const CommandResult decimal = RunCommand(env + " locale decimal_point");
  if (decimal.output != ",\n") {
    *why = "the generated German locale has no comma decimal separator: " + decimal.output + decimal.errors;
    return "";
  }
  return env;
}

}  // namespace tabdump::testing
