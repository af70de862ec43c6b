// Reading records one at a time must not keep memory per record: the heap in
// use after thousands of records is what it was after the first hundred.
//
// The heap is measured by replacing the global allocation functions of this
// test program with ones that keep a count of the bytes in use.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "tests/dbisam/reader_harness.h"

#if defined(__GLIBC__)
#include <malloc.h>

namespace {
std::atomic<long long> heap_in_use{0};
}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  heap_in_use += static_cast<long long>(malloc_usable_size(p));
  return p;
}

void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  heap_in_use -= static_cast<long long>(malloc_usable_size(p));
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
#endif

namespace tabdump::testing {
namespace {

TEST(SteadyMemory, ReadingRecordsKeepsNothingPerRecord) {
#if !defined(__GLIBC__)
  GTEST_SKIP() << "the heap count needs malloc_usable_size";
#else
  constexpr int kRecords = 3000;
  constexpr int kWarmUp = 100;
  TableDef def;
  def.fields = {{"Id", kInteger},   {"Name", kString, 0, 20}, {"Amount", kBcd},
                 {"Memo", kBlob},    {"When", kTimeStamp},     {"Big", kULargeInt, 0, 8}};
  for (int i = 0; i < kRecords; ++i) {
    // The first record stores a two-block chain; the others refer to it.
    def.records.push_back({static_cast<std::uint8_t>(i % 7 == 3 ? 1 : 0),
                            {Value::Int32(i), Value::Str("name " + std::to_string(i)),
                             Value::Bcd(std::to_string(i) + ".5", 8, 2),
                             i == 0 ? Value::Blob(std::string(700, 'm')) : Value::BlobRef(1),
                             Value::TimeStamp(StampMs(700000 + i, 1000)), Value::UInt64(UINT64_MAX - 1)}});
  }
  LoadedTable t;
  t.LoadWithFiles(def, "many.dat");

  // A handler that keeps nothing either.
  long long cells = 0, memo_bytes = 0, failures = 0;
  t.reader.OnCellValue = [&](TCustomSpreadSheetFile*, std::int32_t, std::int32_t, std::int32_t column,
                             std::int32_t, const Variant& value, TAlignment, TZelCellType) {
    ++cells;
    if (column == 3) memo_bytes += static_cast<long long>(value.AsString().size());
  };
  auto read = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      if (t.reader.ReadRecord(i, i) != (i % 7 != 3)) ++failures;
    }
  };
  read(0, kWarmUp);
  const long long before = heap_in_use.load();
  read(kWarmUp, kRecords);
  const long long after = heap_in_use.load();

  EXPECT_EQ(failures, 0);
  EXPECT_EQ(t.Position(), t.Size());
  const long long accepted = kRecords - (kRecords + 3) / 7;
  EXPECT_EQ(cells, 6 * accepted);
  EXPECT_EQ(memo_bytes, 700 * accepted);
  EXPECT_EQ(after, before) << "heap bytes in use grew while reading " << (kRecords - kWarmUp) << " records";
#endif
}

}  // namespace
}  // namespace tabdump::testing
