// Shared helpers of the table reader tests: load a table built by the test
// writer and collect what each ReadRecord reports.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dbisam/table_reader.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/variant.h"
#include "tests/support/show_value.h"
#include "tests/support/table_writer.h"

namespace tabdump::testing {

// One OnCellValue call.
struct CellCall {
  std::int32_t sheet_no;
  std::int32_t row;
  std::int32_t column;
  std::int32_t format_index;
  Variant value;
  TAlignment alignment;
  TZelCellType cell_type;
  // The capacity of the string as the reader handed it over (a copy would
  // not show what the reader allocated).
  std::size_t string_capacity;
};

// Same kind and payload; doubles and date-times may differ in the last few
// bits, since the expected values are written as decimal literals.
inline ::testing::AssertionResult SameValue(const Variant& actual, const Variant& expected) {
  bool same = actual == expected;
  if (!same && actual.type() == expected.type() &&
      (actual.type() == VarType::kDouble || actual.type() == VarType::kDateTime)) {
    const double a = actual.AsDouble(), e = expected.AsDouble();
    same = std::fabs(a - e) <= 1e-12 * std::fmax(1.0, std::fabs(e));
  }
  if (same) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure() << "got " << Show(actual) << ", expected " << Show(expected);
  if (actual.type() == expected.type() && actual.type() == VarType::kDouble) {
    failure << " (" << std::setprecision(17) << actual.AsDouble() << " against " << expected.AsDouble() << ")";
  }
  return failure;
}

// A scratch folder for files the reader opens by name, one per test so that
// tests running in parallel do not share files.
inline std::string TempPath(const std::string& file_name) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string folder = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : folder) {
    if (c == '/') c = '_';
  }
  const std::filesystem::path dir = std::filesystem::path(TABDUMP_TEST_TMP) / "dbisam" / folder;
  std::filesystem::create_directories(dir);
  return (dir / file_name).string();
}

// A reader and the table stream it reads, with every OnCellValue recorded.
// The stream is declared first so that it outlives the reader.
class LoadedTable {
 public:
  LoadedTable() {
    reader.OnCellValue = [this](TCustomSpreadSheetFile* sender, std::int32_t sheet_no, std::int32_t row,
                                std::int32_t column, std::int32_t format_index, const Variant& value,
                                TAlignment alignment, TZelCellType cell_type) {
      EXPECT_EQ(sender, &reader);
      cells.push_back({sheet_no, row, column, format_index, value, alignment, cell_type,
                       value.IsString() ? value.AsString().capacity() : 0});
    };
  }

  // Parses the table from memory; `file_name` is where the reader looks for
  // the BLOB file.
  void Load(const TableFiles& files, const std::string& file_name = {}) {
    stream_ = std::make_unique<MemoryStream>(files.dat);
    reader.FileName = file_name;
    reader.ParseStream(*stream_);
  }
  void Load(const TableDef& def) { Load(BuildTable(def)); }

  // Writes the .dat and .blb to a scratch folder and parses the .dat from
  // memory with FileName pointing at it.
  void LoadWithFiles(const TableDef& def, const std::string& file_name = "table.dat") {
    const TableFiles files = BuildTable(def);
    path = TempPath(file_name);
    WriteFiles(files, path);
    Load(files, path);
  }

  // One ReadRecord; `cells` then holds what it reported.
  bool Read(std::int32_t index = 0, std::int32_t row = 0) {
    cells.clear();
    return reader.ReadRecord(index, row);
  }

  // The single value of a one-field record.
  const CellCall& Only() const {
    EXPECT_EQ(cells.size(), 1u);
    return cells.at(0);
  }

  TDBISAMTableInfo Info() {
    TDBISAMTableInfo info;
    reader.GetTableInfo(info);
    return info;
  }
  TDBISAMFieldInfo Field(std::int32_t index) {
    TDBISAMFieldInfo field;
    reader.GetFieldInfo(index, field);
    return field;
  }

  std::int64_t Position() { return stream_->Position(); }
  std::int64_t Size() { return stream_->Size(); }

 private:
  std::unique_ptr<MemoryStream> stream_;

 public:
  TDBISAM reader;
  std::vector<CellCall> cells;
  std::string path;  // set by LoadWithFiles
};

// Runs `action` and checks that it raises exactly the exception class E with
// the given message.
template <typename E, typename Action>
void ExpectRaises(Action&& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "nothing raised; expected: " << message;
  } catch (const E& e) {
    EXPECT_EQ(std::string(e.what()), message);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "unexpected exception: " << e.what();
  }
}

}  // namespace tabdump::testing
