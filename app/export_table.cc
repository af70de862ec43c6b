#include "app/export_table.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <optional>
#include <vector>

#include "app/chunked_export.h"
#include "app/field_writer.h"
#include "app/progress_line.h"
#include "app/record_loop.h"
#include "app/row_filter.h"
#include "app/run_summary.h"
#include "app/sql_script.h"
#include "app/text_format.h"
#include "runtime/ascii_case.h"
#include "runtime/console.h"
#include "runtime/convert.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace tabdump {

TA::TA() = default;
TA::~TA() = default;

void TA::StoreCell(TCustomSpreadSheetFile*, std::int32_t, std::int32_t, std::int32_t column,
                   std::int32_t format_index, const Variant& value, TAlignment alignment, TZelCellType) {
  if (column < 0) return;
  TZelCell& cell = RowBuffer->EnsureCell(column);
  cell.Value = value;
  cell.Alignment = alignment;
  cell.FormatIndex = format_index;
}

Variant TA::GetRowValue(std::int32_t n) const {
  const Variant* value = RowValue(n);
  if (value == nullptr) return Variant::Null();
  if (value->type() == VarType::kBoolean) return Variant(value->AsBoolean() ? "1" : "0");
  return *value;
}

void RefuseLoss(const TDBISAMLoadReport& report, const RunTally& tally, const std::string& table) {
  const std::vector<Loss> losses = Losses(table, report, tally);
  if (!losses.empty()) throw EDataLoss(StrictMessage(losses.front()));
}

namespace {

void WriteLine(Stream& target, std::string& line, const std::string& separator) {
  line += separator;
  target.Write(line.data(), line.size());
}

// Lines straight into the target.
class StreamOut : public LineOut {
 public:
  explicit StreamOut(Stream& target) : target_(target) {}
  void Put(std::string_view line) override { target_.Write(line.data(), line.size()); }
  void PutAll(std::string_view bytes, const std::vector<std::size_t>&) override {
    target_.Write(bytes.data(), bytes.size());
  }

 private:
  Stream& target_;
};

// Rows into a SQL script, which frames them.
class ScriptOut : public LineOut {
 public:
  explicit ScriptOut(SqlScript& script) : script_(script) {}
  void Put(std::string_view row) override { script_.WriteRow(row); }

 private:
  SqlScript& script_;
};

// The threads a run uses: as asked, else one a core.  A filter that calls
// RANDOM runs on one thread, since its sequence belongs to the process and
// follows the order of the records.
int ThreadsFor(const RunSettings& settings) {
  if (UpperAscii(settings.FilterText).find("RANDOM") != std::string::npos) return 1;
  if (settings.Threads > 0) return settings.Threads;
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, static_cast<unsigned>(kMaxThreads)));
}

// The records after the header: in chunks by worker threads first, when
// there are several, then in the single pass from where they stopped.
template <class Rows>
void ConvertAllRecords(TA& sink, const RunSettings& settings, const std::optional<CodePage>& code_page,
                       const std::vector<Column>& columns, Stream& source, Rows& rows, LineOut& out,
                       FieldWriter& writer, ProgressLine& progress, RunTally& tally) {
  TDBISAM& reader = *sink.Reader;
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  const std::int64_t line_limit = info.RecordCount();
  // The single pass converts the last chunk again, so a table of a few
  // chunks is not worth the threads.
  const std::int64_t records_in_file = (source.Size() - reader.RecordPosition(0)) / info.RecordSize();
  const int threads = records_in_file > 4 * RecordsPerChunk(info.RecordSize()) ? ThreadsFor(settings) : 1;
  if (threads > 1 && line_limit > 0) {
    ChunkedResult done =
        ConvertChunks(settings, code_page, columns, threads, line_limit, info.RecordSize(), out, progress);
    source.SetPosition(std::min(reader.RecordPosition(done.next_record), source.Size()));
    reader.LoadReport = done.report;
    // The header line's names may have had bytes replaced already.
    LossCount replaced = writer.Replaced();
    replaced.Add(done.tally.replaced.FirstRecord, done.tally.replaced.Count);
    writer.SetReplaced(replaced);
    tally.written = done.tally.written;
    tally.rejected = done.tally.rejected;
  }
  ConvertRecords(sink, settings, source, rows, writer, tally, line_limit - tally.written);
}

// The header and type lines, then a line per record.
void WriteTextLines(TA& sink, const RunSettings& settings, const std::optional<CodePage>& code_page,
                    const std::vector<Column>& columns, FieldWriter& writer, Stream& source, Stream& target,
                    ProgressLine& progress, RunTally& tally) {
  // Converted texts are UTF-8, whose characters take one to four bytes:
  // fixed-width columns then count characters.
  LineBuilder builder(settings.Delimiter, settings.Qualifier, settings.FixedWidth, code_page.has_value());
  if (settings.Bom) target.Write(kUtf8ByteOrderMark, 3);
  if (settings.HeaderLine) {
    builder.Begin();
    for (const Column& column : columns) {
      writer.AppendName(builder.StartField(), column.name);
      builder.FinishField(column.width, false);
    }
    WriteLine(target, builder.Line(), settings.RecordSeparator);
  }
  if (settings.TypeLine) {
    builder.Begin();
    for (const Column& column : columns) {
      const std::string name = TDBISAM::FieldTypeName(column.info.FieldType(),
                                                      TDBISAM::SubTypeIndex(column.info.SubType()));
      builder.Add(std::string_view(name).substr(0, 1), column.width, false);
    }
    WriteLine(target, builder.Line(), settings.RecordSeparator);
  }
  StreamOut out(target);
  TextRows rows{builder, writer, columns, settings.RecordSeparator, out};
  ConvertAllRecords(sink, settings, code_page, columns, source, rows, out, writer, progress, tally);
}

// The table's name in the script: its file name without the extension, which
// must be UTF-8 (it comes from the file system, not from the table's code
// page).
std::string SqlTableName(const std::string& source_file) {
  const std::string name = ChangeFileExtension(ExtractFileName(source_file), "");
  std::string checked;
  static const CodePage utf8 = *CodePage::Find(65001);
  if (utf8.AppendUtf8(name, checked) != 0) {
    throw EConvertError("The table's file name is not valid UTF-8, which a SQL script needs: rename the file.");
  }
  return name;
}

// The script that creates the table and loads a row per record.
void WriteSqlScript(TA& sink, const RunSettings& settings, const std::optional<CodePage>& code_page,
                    const std::vector<Column>& columns, FieldWriter& writer, Stream& source, Stream& target,
                    ProgressLine& progress, RunTally& tally) {
  std::vector<SqlColumn> sql_columns;
  for (const Column& column : columns) {
    sql_columns.push_back({writer.NameInUtf8(column.name, column.index + 1), column.sql_kind, column.string_length});
  }
  SqlScript script(*settings.Sql, target);
  script.Begin(SqlTableName(settings.SourceFile), sql_columns);
  ScriptOut out(script);
  SqlRows rows{*settings.Sql, writer, columns, out, {}};
  ConvertAllRecords(sink, settings, code_page, columns, source, rows, out, writer, progress, tally);
  script.End();
}

void Convert(TA& sink, const RunSettings& settings, const std::optional<CodePage>& code_page, FileStream& source,
             FileStream& target, RunTally& tally) {
  TDBISAM& reader = *sink.Reader;
  source.SetPosition(0);
  AttachReader(sink, reader, settings.SourceFile);
  ProgressLine progress;
  if (progress.Enabled()) {
    reader.OnLoadProgress = [&progress](TCustomSpreadSheetFile*, std::int64_t position, std::int64_t total) {
      progress.Update(position, total);
    };
  }
  reader.ParseStream(source);

  std::vector<Column> columns = SelectColumns(reader, settings.FieldList);
  PlanFromRecord(columns, settings.FilterText);
  ReportOtherFields(reader, columns, settings.FilterText);
  FieldWriter writer(settings, code_page, sink);
  if (code_page) tally.code_page = code_page->number();
  if (settings.Sql) {
    WriteSqlScript(sink, settings, code_page, columns, writer, source, target, progress, tally);
  } else {
    WriteTextLines(sink, settings, code_page, columns, writer, source, target, progress, tally);
  }
  tally.replaced = writer.Replaced();
  progress.Finish();
}

// Each kind of loss once, with its count and first record, then the summary
// when it is asked for or standard error is a terminal (where it takes the
// place of the progress line).
void TellTheUser(const RunSettings& settings, const TDBISAMLoadReport& report, const RunTally& tally,
                 bool finished) {
  const std::string table = ExtractFileName(settings.SourceFile);
  std::string text = WarningLines(Losses(table, report, tally));
  if (finished && (settings.Summary || StderrIsTerminal())) {
    text.append(SummaryLine(table, report, tally)).append(kMessageLineEnd);
  }
  if (!text.empty()) WriteStderr(text);
}

}  // namespace

namespace {

std::optional<CodePage> ChosenCodePage(const std::string& name) {
  if (name.empty()) return std::nullopt;
  std::optional<CodePage> code_page = CodePage::Find(name);
  if (!code_page) throw EConvertError("Unknown code page " + name + ".");
  return code_page;
}

// A text the user typed (UTF-8) in the tables' code page, so that it compares
// with the stored bytes; `what` names it in the error.
std::string InCodePage(const CodePage& code_page, const std::string& typed, const char* what) {
  std::string bytes;
  const std::optional<UnmappableCharacter> bad = code_page.AppendEncoded(typed, bytes);
  if (!bad) return bytes;
  if (bad->invalid_utf8) {
    throw EConvertError(std::string("The ") + what + " is not valid UTF-8 at byte " +
                        std::to_string(bad->offset + 1) + ".");
  }
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(bad->character));
  throw EConvertError(std::string("The ") + what + " holds the character " + code + ", which code page " +
                      std::to_string(code_page.number()) + " cannot hold.");
}

}  // namespace

bool ExportTable(TA& sink, const RunSettings& typed_settings, FolderTotals* totals) {
  if (!FileExists(typed_settings.SourceFile)) {
    WriteMessage(std::string("DBISAM file not found.").append(kMessageLineEnd));
    return false;
  }
  const std::optional<CodePage> code_page = ChosenCodePage(typed_settings.CodePage);
  RunSettings settings = typed_settings;
  if (code_page) {
    settings.FilterText = InCodePage(*code_page, settings.FilterText, "filter");
    settings.FieldList = InCodePage(*code_page, settings.FieldList, "field list");
    sink.FilterText = settings.FilterText;
  }
  TSpreadSheetRow row_buffer;
  TDBISAM reader;
  sink.RowBuffer = &row_buffer;
  sink.Reader = &reader;
  struct Detach {
    TA& sink;
    ~Detach() {
      sink.Reader = nullptr;
      sink.RowBuffer = nullptr;
    }
  } detach{sink};

  FileStream source(settings.SourceFile, FileStream::Mode::kOpenRead);
  const bool to_stdout = settings.TargetFile == kStandardOutputName;
  FileStream target(settings.TargetFile, to_stdout ? FileStream::Mode::kStandardOutput : FileStream::Mode::kCreate);
  RunTally tally;
  try {
    Convert(sink, settings, code_page, source, target, tally);
    target.Flush();
  } catch (...) {
    // Keep the lines written so far, then let the error end the run; what was
    // lost before it is still told.
    try {
      target.Flush();
    } catch (...) {
    }
    reader.CloseLoad();
    if (!settings.Strict) TellTheUser(settings, reader.LoadReport, tally, false);
    throw;
  }
  reader.CloseLoad();
  TellTheUser(settings, reader.LoadReport, tally, true);
  if (totals != nullptr) {
    totals->read += reader.LoadReport.Read();
    totals->written += tally.written;
  }
  return true;
}

}  // namespace tabdump
