// Fuzz target: arbitrary text as a row filter, evaluated through the real
// row filter against one record with a field of every kind.  The record is
// read once from a table made by the test writer; each input gets a fresh
// filter (compiled on its first use, as in a run) and is asked twice, so
// that the second evaluation reuses the compiled tree.
//
// An error of the program's own classes is the expected end of a bad
// filter; anything else escaping, or a sanitizer report, is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/driver/table_access.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/every_kind_table.h"

namespace {

using namespace tabdump;

// The table's one record, read once; the .dat is read from memory, the memo
// from the .blb beside the file name.
TA& TheRecord() {
  static TA* table = [] {
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tabdump-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    static const std::string made = folder;
    std::atexit([] { std::filesystem::remove_all(made); });
    const std::string name = folder + "/every.dat";
    const testing::TableFiles files = testing::BuildTable(fuzzing::EveryKindTable());
    testing::WriteFiles(files, name);
    auto* reading = new TA(std::make_unique<MemoryStream>(files.dat), name, "");
    if (!reading->ReadRecord(0)) std::abort();
    return reading;
  }();
  return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TA& table = TheRecord();
  table.SetFilter(std::string(reinterpret_cast<const char*>(data), size));
  for (int i = 0; i < 2; ++i) {
    try {
      table.FilterAccepts();
    } catch (const Exception&) {
      // One clear error: what a bad filter should get.
    }
  }
  return 0;
}
