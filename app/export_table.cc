#include "app/export_table.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <optional>
#include <unordered_map>
#include <unordered_set>
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
#include "runtime/file_names.h"
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

// The columns of the script, named in UTF-8.  SQLite and MySQL take names
// that differ only in letter case for one column; a later field of such a
// name becomes NAME_2 (or _3 ...: the first that no field of the table has),
// and `notes` says so.
std::vector<SqlColumn> SqlColumns(TDBISAM& reader, SqlDialect dialect, const std::vector<Column>& columns,
                                  FieldWriter& writer, const std::string& table, std::string& notes) {
  std::vector<SqlColumn> sql_columns;
  for (const Column& column : columns) {
    sql_columns.push_back({writer.NameInUtf8(column.name, column.index + 1), column.sql_kind, column.string_length});
  }
  if (!SqlNamesIgnoreCase(dialect)) return sql_columns;
  // Every field's name is taken, selected or not, so that a new name clashes
  // with none of them.
  std::unordered_set<std::string> taken;
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  for (std::int32_t i = 0; i < info.FieldCount(); ++i) {
    TDBISAMFieldInfo field;
    reader.GetFieldInfo(i, field);
    taken.insert(SqlNameKey(dialect, field.Name()));
  }
  std::unordered_map<std::string, std::size_t> first_of;  // key -> the column that has it
  for (std::size_t i = 0; i < sql_columns.size(); ++i) {
    SqlColumn& column = sql_columns[i];
    const auto [first, added] = first_of.emplace(SqlNameKey(dialect, column.name), i);
    if (added) continue;
    std::string name;
    for (int n = 2;; ++n) {
      name = column.name + "_" + std::to_string(n);
      if (taken.insert(SqlNameKey(dialect, name)).second) break;
    }
    notes += table + ": field " + std::to_string(columns[i].index + 1) + " \"" + column.name +
             "\" becomes the column \"" + name + "\", since " + SqlDialectTitle(dialect) +
             " takes it for field " + std::to_string(columns[first->second].index + 1) + " \"" +
             sql_columns[first->second].name + "\" (names that differ only in letter case are one name there).";
    notes += kMessageLineEnd;
    column.name = name;
    first_of.emplace(SqlNameKey(dialect, name), i);
  }
  return sql_columns;
}

// The script that creates the table and loads a row per record.
void WriteSqlScript(TA& sink, const RunSettings& settings, const std::optional<CodePage>& code_page,
                    const std::vector<Column>& columns, SqlScript& script, FieldWriter& writer, Stream& source,
                    Stream& target, ProgressLine& progress, RunTally& tally) {
  script.Begin(target);
  ScriptOut out(script);
  SqlRows rows{*settings.Sql, writer, columns, out, {}};
  ConvertAllRecords(sink, settings, code_page, columns, source, rows, out, writer, progress, tally);
  script.End();
}

// The names of /fields= (as typed, each followed by ';') that no field of
// the table has; empty items are no names.
std::vector<std::string> UnknownFieldNames(TDBISAM& reader, const std::string& field_list) {
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  std::unordered_set<std::string> fields;
  for (std::int32_t i = 0; i < info.FieldCount(); ++i) {
    TDBISAMFieldInfo field;
    reader.GetFieldInfo(i, field);
    fields.insert(LowerAscii(field.Name()));
  }
  std::vector<std::string> unknown;
  for (std::size_t at = 0; at < field_list.size();) {
    const std::size_t end = field_list.find(';', at);
    const std::string name = field_list.substr(at, end - at);
    at = end == std::string::npos ? field_list.size() : end + 1;
    if (!name.empty() && !fields.contains(LowerAscii(name))) unknown.push_back(name);
  }
  return unknown;
}

// Everything about a run that can be known before the first record: what
// the table is, the columns, the filter compiled, the script's head.  It
// raises what would refuse the run, before the target is touched.
struct PreparedRun {
  std::vector<Column> columns;
  std::optional<SqlScript> script;
  std::string notes;  // said on standard error once the run starts
};

PreparedRun Prepare(TA& sink, const RunSettings& settings, Stream& source, FieldWriter& writer, RunTally& tally) {
  TDBISAM& reader = *sink.Reader;
  source.SetPosition(0);
  reader.ParseStream(source);
  PreparedRun run;
  run.columns = SelectColumns(reader, settings.FieldList);
  tally.unknown_fields = UnknownFieldNames(reader, settings.FieldList);
  if (run.columns.empty() && !settings.FieldList.empty()) {
    throw EConvertError("None of the fields in /fields= is in the table.");
  }
  const std::string table = ExtractFileName(settings.SourceFile);
  if (settings.Strict) RefuseLoss(reader.LoadReport, tally, table);
  PlanFromRecord(run.columns, settings.FilterText);
  ReportOtherFields(reader, run.columns, settings.FilterText);
  if (!settings.FilterText.empty()) sink.CompileFilter();
  if (settings.Sql) {
    const std::vector<SqlColumn> sql_columns =
        SqlColumns(reader, *settings.Sql, run.columns, writer, table, run.notes);
    run.script.emplace(*settings.Sql, SqlTableName(settings.SourceFile), sql_columns);
  }
  return run;
}

void Convert(TA& sink, const RunSettings& settings, const std::optional<CodePage>& code_page, PreparedRun& run,
             FieldWriter& writer, FileStream& source, FileStream& target, ProgressLine& progress, RunTally& tally) {
  if (code_page) tally.code_page = code_page->number();
  if (run.script) {
    WriteSqlScript(sink, settings, code_page, run.columns, *run.script, writer, source, target, progress, tally);
  } else {
    WriteTextLines(sink, settings, code_page, run.columns, writer, source, target, progress, tally);
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

namespace {

// The files beside a table that are its BLOB file in some letter case.
std::vector<std::string> BlobFilesOf(const std::string& table_file) {
  const std::string derived = TDBISAM::BlobFileName(table_file);
  const std::size_t name_start = table_file.find_last_of(kPathSeparators);
  const std::string folder = name_start == std::string::npos ? std::string() : table_file.substr(0, name_start + 1);
  std::vector<std::string> names{derived};
  for (const std::string& name : FilesNamedIgnoringCase(folder, ExtractFileName(derived))) {
    names.push_back(folder + name);
  }
  return names;
}

// A target that is a file the run reads would be emptied before it is read:
// the table, its BLOB file (in any letter case), or in the folder mode any
// table or BLOB file of the source folder.  The comparison is by identity,
// so that another spelling, a link or another letter case is caught.
void RefuseTargetThatIsRead(const std::string& target, const std::string& table,
                            const std::vector<SourceFile>* folder_files) {
  if (target == kStandardOutputName) return;
  const std::optional<FileIdentity> identity = IdentityOf(target);
  if (!identity) return;
  if (identity == IdentityOf(table)) throw EFCreateError("The target is the source table itself.");
  for (const std::string& blob_file : BlobFilesOf(table)) {
    if (identity == IdentityOf(blob_file)) throw EFCreateError("The target is the BLOB file of the source table.");
  }
  if (folder_files == nullptr) return;
  for (const SourceFile& file : *folder_files) {
    if (file.identity == *identity) {
      throw EFCreateError("The target is " + ExtractFileName(file.name) + " of the source folder, which the run reads.");
    }
  }
}

// The line on standard error that says where a filter failed, before the
// report of the error itself.
void TellWhereTheFilterFailed(const std::string& table, const TA::FilterFailurePlace& place) {
  std::string line = table + ": the filter failed on record " + GroupedCount(place.record);
  if (!place.text_name.empty()) {
    line += "; it names \"" + place.text_name + "\", which is no field of the table and so stands for its own text";
  }
  WriteStderr(line.append(".").append(kMessageLineEnd));
}

}  // namespace

bool ExportTable(TA& sink, const RunSettings& typed_settings, FolderTotals* totals,
                 const std::vector<SourceFile>* folder_files) {
  if (!FileExists(typed_settings.SourceFile)) return false;
  const std::optional<CodePage> code_page = ChosenCodePage(typed_settings.CodePage);
  RunSettings settings = typed_settings;
  if (code_page) {
    settings.FilterText = InCodePage(*code_page, settings.FilterText, "filter");
    settings.FieldList = InCodePage(*code_page, settings.FieldList, "field list");
  }
  sink.FilterText = settings.FilterText;
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
  AttachReader(sink, reader, settings.SourceFile);
  ProgressLine progress;
  if (progress.Enabled()) {
    reader.OnLoadProgress = [&progress](TCustomSpreadSheetFile*, std::int64_t position, std::int64_t total) {
      progress.Update(position, total);
    };
  }
  RunTally tally;
  FieldWriter writer(settings, code_page, sink);
  PreparedRun run = Prepare(sink, settings, source, writer, tally);
  RefuseTargetThatIsRead(settings.TargetFile, settings.SourceFile, folder_files);

  const bool to_stdout = settings.TargetFile == kStandardOutputName;
  FileStream target(settings.TargetFile, to_stdout ? FileStream::Mode::kStandardOutput : FileStream::Mode::kCreate);
  if (!run.notes.empty()) WriteStderr(run.notes);
  try {
    Convert(sink, settings, code_page, run, writer, source, target, progress, tally);
    target.Flush();
  } catch (...) {
    // Keep the lines written so far, then let the error end the run; what was
    // lost before it is still told.
    try {
      target.Flush();
    } catch (...) {
    }
    reader.CloseLoad();
    if (sink.FilterFailure) TellWhereTheFilterFailed(ExtractFileName(settings.SourceFile), *sink.FilterFailure);
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
