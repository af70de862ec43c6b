#include "app/row_filter.h"

#include "app/export_table.h"
#include "runtime/exceptions.h"

namespace tabdump {

RowFilter::RowFilter(TA& sink) : sink_(sink) {}
RowFilter::~RowFilter() = default;

bool RowFilter::Accepts() {
  (void)sink_;
  throw EZelParseException("Row filters are not available in this build.");
}

bool TA::FilterAccepts() {
  if (!filter_) filter_ = std::make_unique<RowFilter>(*this);
  return filter_->Accepts();
}

}  // namespace tabdump
