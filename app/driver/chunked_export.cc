#include "app/driver/chunked_export.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/forms/text_format.h"

namespace tabdump {
namespace {

struct Chunk {
  std::int64_t number = -1;  // which chunk the slot holds
  bool ready = false;        // converted, not yet put out
  bool needs_single_pass = false;
  BufferedLines lines;
  TDBISAMLoadReport report;
  RunTally tally;
};

// One thread's reading of the table.
class ChunkWorker {
 public:
  explicit ChunkWorker(const Conversion& run)
      : settings_(run.settings),
        strict_(run.settings.Strict),
        table_name_(run.table_name),
        columns_(run.columns),
        json_keys_(run.json_keys),
        table_(settings_.SourceFile, settings_.FilterText),
        writer_(settings_, run.code_page, table_.Record()),
        builder_(settings_.Delimiter, settings_.Qualifier, settings_.FixedWidth, run.code_page.has_value()) {
    table_.ReadBlobsOfEveryRecord(BlobsOfEveryRecord(table_.Reader(), columns_, settings_.FilterText));
  }

  void Convert(Chunk& chunk, std::int64_t first_record, std::int64_t records) {
    TDBISAM& reader = table_.Reader();
    chunk.lines.Clear();
    chunk.tally = RunTally{};
    chunk.needs_single_pass = false;
    reader.LoadReport = TDBISAMLoadReport{};
    writer_.CountReplacedIn(chunk.tally.replaced);
    writer_.CountUnwritableNumbersIn(chunk.tally.unwritable_numbers);
    // A worker never ends the run: what would end it sends the chunk to the
    // single pass, which meets the same failure at the same record and
    // reports it after the lines before it.
    const LoopReading reading{table_, chunk.tally, table_name_, false};
    LoopEnd end = LoopEnd::kFileEnd;
    try {
      reader.SeekRecord(first_record);
      if (settings_.Sql) {
        SqlRows rows{*settings_.Sql, writer_, columns_, chunk.lines, {}};
        end = ConvertRecords(reading, rows, LoopLimits{kNoLimit, records});
      } else if (settings_.Json) {
        JsonRows rows{writer_, columns_, json_keys_, chunk.lines, {}};
        end = ConvertRecords(reading, rows, LoopLimits{kNoLimit, records});
      } else {
        TextRows rows{builder_, writer_, columns_, settings_.RecordSeparator, chunk.lines};
        end = ConvertRecords(reading, rows, LoopLimits{kNoLimit, records});
      }
    } catch (...) {
      chunk.needs_single_pass = true;
    }
    chunk.report = reader.LoadReport;
    if (end == LoopEnd::kFileEnd) chunk.needs_single_pass = true;
    if (strict_ && (chunk.report.AnyLoss() || chunk.tally.replaced.Count != 0 ||
                    chunk.tally.unwritable_numbers.Count != 0)) chunk.needs_single_pass = true;
  }

 private:
  const RunSettings& settings_;
  bool strict_;
  const std::string& table_name_;
  const std::vector<Column>& columns_;
  const std::vector<std::string>& json_keys_;
  TA table_;
  FieldWriter writer_;
  LineBuilder builder_;
};

void AddChunk(ChunkedResult& result, const Chunk& chunk) {
  result.report.Add(chunk.report);
  result.tally.Add(chunk.tally);
}

}  // namespace

std::int64_t RecordsPerChunk(std::size_t record_size) {
  const std::int64_t records = static_cast<std::int64_t>((256u << 10) / std::max<std::size_t>(record_size, 1));
  return std::clamp<std::int64_t>(records, 16, 8192);
}

ChunkedResult ConvertChunks(Conversion& run, int threads, std::int64_t line_limit, LineOut& out) {
  TDBISAMTableInfo info;
  run.table.Reader().GetTableInfo(info);
  const std::int64_t per_chunk = RecordsPerChunk(info.RecordSize());
  const auto window = static_cast<std::int64_t>(2 * threads);  // chunks in flight
  std::vector<Chunk> slots(static_cast<std::size_t>(window));
  // Each worker opens its reading here, so that a table that cannot be read
  // fails before any thread starts.
  std::vector<std::unique_ptr<ChunkWorker>> workers;
  for (int i = 0; i < threads; ++i) workers.push_back(std::make_unique<ChunkWorker>(run));

  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t next_chunk = 0;  // the next chunk a worker takes
  std::int64_t put_out = 0;     // chunks put out; their slots are free again
  bool stop = false;
  auto work = [&](ChunkWorker& worker) {
    for (;;) {
      std::int64_t number;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || next_chunk < put_out + window; });
        if (stop) return;
        number = next_chunk++;
      }
      Chunk& chunk = slots[static_cast<std::size_t>(number % window)];
      worker.Convert(chunk, number * per_chunk, per_chunk);
      {
        std::lock_guard lock(mutex);
        chunk.number = number;
        chunk.ready = true;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> pool;
  // However the writing below ends, the workers stop and are joined first.
  struct Joiner {
    std::mutex& mutex;
    std::condition_variable& changed;
    bool& stop;
    std::vector<std::thread>& pool;
    ~Joiner() {
      {
        std::lock_guard lock(mutex);
        stop = true;
      }
      changed.notify_all();
      for (std::thread& thread : pool) thread.join();
    }
  } joiner{mutex, changed, stop, pool};
  for (auto& worker : workers) pool.emplace_back(work, std::ref(*worker));

  ChunkedResult result;
  for (std::int64_t number = 0;; ++number) {
    Chunk& chunk = slots[static_cast<std::size_t>(number % window)];
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return chunk.ready && chunk.number == number; });
    }
    if (chunk.needs_single_pass || result.tally.written + chunk.tally.written >= line_limit) {
      result.next_record = number * per_chunk;
      return result;
    }
    out.PutAll(chunk.lines.bytes, chunk.lines.ends);
    AddChunk(result, chunk);
    if (run.progress.Enabled()) run.progress.Update(result.tally.written, line_limit);
    {
      std::lock_guard lock(mutex);
      chunk.ready = false;
      put_out = number + 1;
    }
    changed.notify_all();
  }
}

}  // namespace tabdump
