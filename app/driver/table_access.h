// TA, the table access of one reading: the one thing that ties a table
// file's stream, the reader standing on its records and the filter that
// judges them together.  The single pass, every worker thread and the fuzz
// target wire a reading this one way; the output forms and the filter see
// the record only through the reader's RecordView.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbisam/record_view.h"
#include "dbisam/table_reader.h"
#include "runtime/stream.h"

namespace tabdump {

class RowFilter;

class TA {
 public:
  // Opens the table file and reads its header and field descriptors; raises
  // what the reader raises for a file it cannot take.
  TA(const std::string& table_file, std::string filter_text);
  // The same over a stream the table is already in (the fuzz target's, in
  // memory); `table_file` still tells where its BLOB file lies.
  TA(std::unique_ptr<Stream> stream, const std::string& table_file, std::string filter_text);
  ~TA();
  TA(const TA&) = delete;
  TA& operator=(const TA&) = delete;

  TDBISAM& Reader() { return reader_; }
  RecordView Record() { return RecordView(reader_); }

  bool HasFilter() const { return !filter_text_.empty(); }
  // A new filter for the records from now on.
  void SetFilter(std::string filter_text);
  // Compiles the filter, so that one that does not parse is refused before
  // the target is touched.
  void CompileFilter();
  // The filter's verdict for the current record.  When the filter fails,
  // FilterFailure tells where before the error goes on.
  bool FilterAccepts();

  // Where the filter failed: the record (counted from 1 in the table file)
  // and the name in it that is no field of the table, if any.
  struct FilterFailurePlace {
    std::int64_t record = 0;
    std::string text_name;
  };
  std::optional<FilterFailurePlace> FilterFailure;

  // The BLOB fields whose chains are read for every record the reader
  // accepts, whether it is written or not: those no column writes and those
  // the filter may read, so that their losses are told alike for every
  // record.  The others are read when their column writes them.
  void ReadBlobsOfEveryRecord(std::vector<std::int32_t> fields) { blobs_of_every_record_ = std::move(fields); }
  // Reads the next record at the stream's position; false for one that is
  // not converted (deleted, damaged).  `label` is what the progress line
  // counts.
  bool ReadRecord(std::int32_t label);

 private:
  RowFilter& Filter();

  std::unique_ptr<Stream> stream_;
  TDBISAM reader_;
  std::string filter_text_;
  std::unique_ptr<RowFilter> filter_;
  std::vector<std::int32_t> blobs_of_every_record_;
};

}  // namespace tabdump
