// Fuzz target: arbitrary bytes as a table file and its BLOB file, read the
// way the converter reads them: ParseStream record by record, every record
// status delivered, BLOBs read, every value turned into its output text.
//
// The reader opens the BLOB file by name, so the BLOB part is written to a
// file in a private folder before each run; the table part is read from
// memory.  Errors of the reader's own classes are the expected outcome for
// damaged input; anything else escaping (a standard library exception, a
// sanitizer report, a broken invariant below) is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "runtime/convert.h"
#include "dbisam/table_reader.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/fuzz/fuzz_table_input.h"

namespace {

using namespace tabdump;

// A folder of this process's own, made once: parallel fuzzing jobs must not
// share the BLOB file.
const std::string& TableName() {
  static const std::string name = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tabdump-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    static const std::string folder = pattern;
    std::atexit([] { std::filesystem::remove_all(folder); });
    return pattern + "/t.dat";
  }();
  return name;
}

void PlaceBlobFile(const std::vector<std::uint8_t>& blb) {
  const std::string name = TDBISAM::BlobFileName(TableName());
  if (blb.empty()) {
    std::remove(name.c_str());
    return;
  }
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (std::fwrite(blb.data(), 1, blb.size(), file) != blb.size()) std::abort();
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::TableInput input = fuzzing::SplitTableInput(data, size);
  PlaceBlobFile(input.blb);
  const std::size_t blob_file_size = input.blb.size();

  MemoryStream stream(std::move(input.dat));
  TDBISAM reader;
  reader.FileName = TableName();
  reader.ReadOnDemand = true;
  reader.LoadRowStatutes = TZelRowStatuses{rsNormal, rsDeleted, rsError};
  std::string text;
  reader.OnCellValue = [&](TCustomSpreadSheetFile*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                           const Variant& value, TAlignment, TZelCellType cell_type) {
    // A BLOB never holds more bytes than its file, any other value no more
    // than a record.
    if (value.IsString()) {
      const std::size_t limit = cell_type == ictMemo ? blob_file_size : dbisam_layout::kMaxRecordSize;
      if (value.AsString().size() > limit) __builtin_trap();
    }
    text.clear();
    AppendVarText(text, value);
  };
  try {
    reader.ParseStream(stream);
    std::int32_t index = 0;
    while (stream.Position() < stream.Size()) {
      reader.ReadRecord(index, index);
      ++index;
    }
  } catch (const Exception&) {
    // A refusal with a message: what damaged input should get.
  }
  reader.CloseLoad();
  return 0;
}
