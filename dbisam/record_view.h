// The record a table reader stands on, as the output forms and the filter
// read it: each field's bytes as the reader planned them, its decoded value,
// and where the record lies in the file.  A narrow door onto the reader, so
// that what writes or judges a record needs nothing of how the records are
// read.
#pragma once

#include <cstdint>
#include <string_view>

#include "dbisam/table_reader.h"
#include "runtime/ascii_case.h"

namespace tabdump {

class RecordView {
 public:
  explicit RecordView(TDBISAM& reader) : reader_(&reader) {}

  // Counted from 1 in the table file.
  std::int64_t Number() const { return reader_->RecordNumber(); }
  // The field's value bytes, how they decode and whether there is a value.
  TDBISAM::FieldSlice Field(std::int32_t field) const { return reader_->FieldAt(field); }
  // The field's value decoded: once per record, a BLOB's chain read then.
  const Variant& Value(std::int32_t field) const { return reader_->ColumnValue(field); }

  // The field of that name, letters a-z in any case; -1 when none.
  std::int32_t FieldNamed(std::string_view name) const {
    const std::span<const TDBISAMFieldInfo> fields = reader_->FieldInfos();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (EqualsIgnoreAsciiCase(fields[i].Name(), name)) return static_cast<std::int32_t>(i);
    }
    return -1;
  }

 private:
  TDBISAM* reader_;
};

}  // namespace tabdump
