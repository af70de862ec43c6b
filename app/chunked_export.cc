#include "app/chunked_export.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/text_format.h"
#include "cells/cell_model.h"
#include "runtime/stream.h"

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
  ChunkWorker(const RunSettings& settings, const std::optional<CodePage>& code_page,
              const std::vector<Column>& columns)
      : settings_(WorkerSettings(settings)),
        strict_(settings.Strict),
        columns_(columns),
        source_(settings.SourceFile, FileStream::Mode::kOpenRead),
        writer_(settings_, code_page, sink_),
        builder_(settings_.Delimiter, settings_.Qualifier, settings_.FixedWidth, code_page.has_value()) {
    OpenReading();
  }

  void Convert(Chunk& chunk, std::int64_t first_record, std::int64_t records) {
    chunk.lines.Clear();
    chunk.tally = RunTally{};
    chunk.needs_single_pass = false;
    reader_.LoadReport = TDBISAMLoadReport{};
    writer_.SetReplaced(LossCount{});
    LoopEnd end = LoopEnd::kFileEnd;
    try {
      source_.SetPosition(std::min(reader_.RecordPosition(first_record), source_.Size()));
      if (settings_.Sql) {
        SqlRows rows{*settings_.Sql, writer_, columns_, chunk.lines, {}};
        end = ConvertRecords(sink_, settings_, source_, rows, writer_, chunk.tally, kNoLimit, records);
      } else {
        TextRows rows{builder_, writer_, columns_, settings_.RecordSeparator, chunk.lines};
        end = ConvertRecords(sink_, settings_, source_, rows, writer_, chunk.tally, kNoLimit, records);
      }
    } catch (...) {
      // The single pass meets the same failure at the same record, and
      // reports it after the lines before it.
      chunk.needs_single_pass = true;
    }
    chunk.report = reader_.LoadReport;
    chunk.tally.replaced = writer_.Replaced();
    if (end == LoopEnd::kFileEnd) chunk.needs_single_pass = true;
    if (strict_ && (chunk.report.AnyLoss() || chunk.tally.replaced.Count != 0)) chunk.needs_single_pass = true;
  }

 private:
  // Ties the reader to the row and reads the table's header.
  void OpenReading() {
    sink_.FilterText = settings_.FilterText;
    sink_.Reader = &reader_;
    sink_.RowBuffer = &row_;
    AttachReader(sink_, reader_, settings_.SourceFile);
    source_.SetPosition(0);
    reader_.ParseStream(source_);
    ReportOtherFields(reader_, columns_, settings_.FilterText);
  }

  // A worker never ends the run: what would end it sends the chunk to the
  // single pass.
  static RunSettings WorkerSettings(RunSettings settings) {
    settings.Strict = false;
    return settings;
  }

  RunSettings settings_;
  bool strict_;
  const std::vector<Column>& columns_;
  TA sink_;
  TSpreadSheetRow row_;
  TDBISAM reader_;
  FileStream source_;
  FieldWriter writer_;
  LineBuilder builder_;
};

void AddChunk(ChunkedResult& result, const Chunk& chunk) {
  TDBISAMLoadReport& report = result.report;
  report.Normal += chunk.report.Normal;
  report.Deleted += chunk.report.Deleted;
  report.Damaged += chunk.report.Damaged;
  report.BlobMissing.Add(chunk.report.BlobMissing.FirstRecord, chunk.report.BlobMissing.Count);
  report.BlobDamaged.Add(chunk.report.BlobDamaged.FirstRecord, chunk.report.BlobDamaged.Count);
  result.tally.written += chunk.tally.written;
  result.tally.rejected += chunk.tally.rejected;
  result.tally.replaced.Add(chunk.tally.replaced.FirstRecord, chunk.tally.replaced.Count);
}

}  // namespace

std::int64_t RecordsPerChunk(std::size_t record_size) {
  const std::int64_t records = static_cast<std::int64_t>((256u << 10) / std::max<std::size_t>(record_size, 1));
  return std::clamp<std::int64_t>(records, 16, 8192);
}

ChunkedResult ConvertChunks(const RunSettings& settings, const std::optional<CodePage>& code_page,
                            const std::vector<Column>& columns, int threads, std::int64_t line_limit,
                            std::size_t record_size, LineOut& out, ProgressLine& progress) {
  const std::int64_t per_chunk = RecordsPerChunk(record_size);
  const auto window = static_cast<std::int64_t>(2 * threads);  // chunks in flight
  std::vector<Chunk> slots(static_cast<std::size_t>(window));
  // Each worker opens its reading here, so that a table that cannot be read
  // fails before any thread starts.
  std::vector<std::unique_ptr<ChunkWorker>> workers;
  for (int i = 0; i < threads; ++i) workers.push_back(std::make_unique<ChunkWorker>(settings, code_page, columns));

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
    if (progress.Enabled()) progress.Update(result.tally.written, line_limit);
    {
      std::lock_guard lock(mutex);
      chunk.ready = false;
      put_out = number + 1;
    }
    changed.notify_all();
  }
}

}  // namespace tabdump
