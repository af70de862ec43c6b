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

#include "app/export_table.h"
#include "cells/cell_model.h"
#include "dbisam/table_reader.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/every_kind_table.h"

namespace {

using namespace tabdump;

struct Record {
  std::unique_ptr<MemoryStream> stream;
  TDBISAM reader;
  TSpreadSheetRow row;
  TA sink;

  Record() {
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tabdump-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    static const std::string made = folder;
    std::atexit([] { std::filesystem::remove_all(made); });
    const std::string name = folder + "/every.dat";
    const testing::TableFiles files = testing::BuildTable(fuzzing::EveryKindTable());
    testing::WriteFiles(files, name);  // the memo is read from the .blb

    stream = std::make_unique<MemoryStream>(files.dat);
    reader.FileName = name;
    reader.ReadOnDemand = true;
    sink.Reader = &reader;
    sink.RowBuffer = &row;
    reader.OnCellValue = [this](TCustomSpreadSheetFile* sender, std::int32_t sheet, std::int32_t r,
                                std::int32_t column, std::int32_t format, const Variant& value,
                                TAlignment alignment, TZelCellType type) {
      sink.StoreCell(sender, sheet, r, column, format, value, alignment, type);
    };
    reader.ParseStream(*stream);
    if (!reader.ReadRecord(0, 0)) std::abort();
  }
};

Record& TheRecord() {
  static Record record;
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Record& record = TheRecord();
  TA sink;
  sink.Reader = &record.reader;
  sink.RowBuffer = &record.row;
  sink.FilterText.assign(reinterpret_cast<const char*>(data), size);
  for (int i = 0; i < 2; ++i) {
    try {
      sink.FilterAccepts();
    } catch (const Exception&) {
      // One clear error: what a bad filter should get.
    }
  }
  sink.Reader = nullptr;
  sink.RowBuffer = nullptr;
  return 0;
}
