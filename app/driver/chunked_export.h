// The records converted by several threads.  The table is cut into chunks of
// consecutive records; each worker thread has a reading of its own (file
// handle, reader, BLOB file, row, filter, field writer) and converts whole
// chunks into buffers, as the single pass would, but without its stopping
// rules.  The calling thread puts the buffers out in the table's order.
//
// Whatever a user can see stays as with one thread, because the single pass
// takes over at the first chunk where its stopping rules could matter: the
// chunk that ends the table file, the one in which the header's count of
// lines is reached, one in which a record fails (a filter error, a value a
// SQL dialect refuses), and under /strict one that loses something.  The
// single pass converts from that chunk's first record on, with the report and
// the tally of the chunks before it, and so stops exactly where and how it
// would have stopped alone.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/driver/conversion.h"
#include "app/driver/record_loop.h"
#include "app/report/run_summary.h"

namespace tabdump {

// Where the threads stopped: the first record (counted from 0) that the single
// pass converts; `report` and `tally` hold what the chunks before it read and
// wrote, and their lines are out.
struct ChunkedResult {
  std::int64_t next_record = 0;
  TDBISAMLoadReport report;
  RunTally tally;
};

// The records of a chunk: about 256 KB of them, so that handing chunks over
// costs nothing and the chunks in flight stay a few MB.
std::int64_t RecordsPerChunk(std::size_t record_size);

// Converts chunks of `run`'s table with `threads` workers while fewer than
// `line_limit` lines are written, putting their lines out in order.
ChunkedResult ConvertChunks(Conversion& run, int threads, std::int64_t line_limit, LineOut& out);

// Lines of the target: the text output, or rows that a SQL script frames.
class BufferedLines : public LineOut {
 public:
  void Put(std::string_view line) override {
    bytes.append(line);
    ends.push_back(bytes.size());
  }
  void Clear() {
    bytes.clear();
    ends.clear();
  }
  std::string bytes;
  std::vector<std::size_t> ends;  // where each line ends in `bytes`
};

}  // namespace tabdump
