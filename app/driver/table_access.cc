#include "app/driver/table_access.h"

#include "app/filter/row_filter.h"

namespace tabdump {

TA::TA(const std::string& table_file, std::string filter_text)
    : TA(std::make_unique<FileStream>(table_file, FileStream::Mode::kOpenRead), table_file, std::move(filter_text)) {}

TA::TA(std::unique_ptr<Stream> stream, const std::string& table_file, std::string filter_text)
    : stream_(std::move(stream)), filter_text_(std::move(filter_text)) {
  // Records are read one at a time, on demand, and only the live ones are
  // converted.
  reader_.ReadOnDemand = true;
  reader_.FileName = table_file;
  reader_.LoadRowStatutes = TZelRowStatuses{rsNormal};
  stream_->SetPosition(0);
  reader_.ParseStream(*stream_);
}

TA::~TA() = default;

void TA::SetFilter(std::string filter_text) {
  filter_text_ = std::move(filter_text);
  filter_.reset();
  FilterFailure.reset();
}

RowFilter& TA::Filter() {
  if (!filter_) filter_ = std::make_unique<RowFilter>(filter_text_, Record());
  return *filter_;
}

void TA::CompileFilter() { Filter().Compile(); }

bool TA::FilterAccepts() {
  try {
    return Filter().Accepts();
  } catch (...) {
    FilterFailure = FilterFailurePlace{reader_.RecordNumber(), filter_->TextName()};
    throw;
  }
}

bool TA::ReadRecord(std::int32_t label) {
  if (!reader_.ReadRecord(label, label)) return false;
  for (const std::int32_t field : blobs_of_every_record_) reader_.ColumnValue(field);
  return true;
}

}  // namespace tabdump
