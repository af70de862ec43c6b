#include "app/driver/export_table.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "app/driver/chunked_export.h"
#include "app/driver/conversion.h"
#include "app/driver/record_loop.h"
#include "app/driver/table_access.h"
#include "app/forms/sql_script.h"
#include "app/forms/text_format.h"
#include "app/report/run_summary.h"
#include "runtime/ascii_case.h"
#include "runtime/console.h"
#include "runtime/exceptions.h"
#include "runtime/file_names.h"
#include "runtime/stream.h"

namespace tabdump {
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
void ConvertAllRecords(Conversion& run, Rows& rows, LineOut& out) {
  TDBISAM& reader = run.table.Reader();
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  const std::int64_t line_limit = info.RecordCount();
  // The single pass converts the last chunk again, so a table of a few
  // chunks is not worth the threads.
  const int threads = reader.RecordsInFile() > 4 * RecordsPerChunk(info.RecordSize()) ? ThreadsFor(run.settings) : 1;
  if (threads > 1 && line_limit > 0) {
    const ChunkedResult done = ConvertChunks(run, threads, line_limit, out);
    reader.SeekRecord(done.next_record);
    reader.LoadReport.Add(done.report);
    run.tally.Add(done.tally);
  }
  ConvertRecords(LoopReading{run.table, run.tally, run.table_name, run.settings.Strict}, rows,
                 LoopLimits{line_limit - run.tally.written});
}

// The header and type lines, then a line per record.
void WriteTextLines(Conversion& run, Stream& target) {
  const RunSettings& settings = run.settings;
  // Converted texts are UTF-8, whose characters take one to four bytes:
  // fixed-width columns then count characters.
  LineBuilder builder(settings.Delimiter, settings.Qualifier, settings.FixedWidth, run.code_page.has_value());
  if (settings.Bom) target.Write(kUtf8ByteOrderMark, 3);
  if (settings.HeaderLine) {
    builder.Begin();
    for (const Column& column : run.columns) {
      run.writer.AppendName(builder.StartField(), column.name);
      builder.FinishField(column.width, false);
    }
    WriteLine(target, builder.Line(), settings.RecordSeparator);
  }
  if (settings.TypeLine) {
    builder.Begin();
    for (const Column& column : run.columns) {
      const std::string name = TDBISAM::FieldTypeName(column.info.FieldType(),
                                                      TDBISAM::SubTypeIndex(column.info.SubType()));
      builder.Add(std::string_view(name).substr(0, 1), column.width, false);
    }
    WriteLine(target, builder.Line(), settings.RecordSeparator);
  }
  StreamOut out(target);
  TextRows rows{builder, run.writer, run.columns, settings.RecordSeparator, out};
  ConvertAllRecords(run, rows, out);
}

// A JSON object a line, each ended by LF.
void WriteJsonLines(Conversion& run, Stream& target) {
  if (run.settings.Bom) target.Write(kUtf8ByteOrderMark, 3);
  StreamOut out(target);
  JsonRows rows{run.writer, run.columns, run.json_keys, out, {}};
  ConvertAllRecords(run, rows, out);
}

// The script that creates the table and loads a row per record.
void WriteSqlScript(Conversion& run, Stream& target) {
  SqlScript& script = *run.script;
  script.Begin(target);
  ScriptOut out(script);
  SqlRows rows{*run.settings.Sql, run.writer, run.columns, out, {}};
  ConvertAllRecords(run, rows, out);
  script.End();
}

// Each kind of loss once, with its count and first record, then the summary
// when it is asked for or standard error is a terminal (where it takes the
// place of the progress line).
void TellTheUser(const Conversion& run, bool finished) {
  const TDBISAMLoadReport& report = run.table.Reader().LoadReport;
  std::string text = WarningLines(Losses(run.table_name, report, run.tally));
  if (finished && (run.settings.Summary || StderrIsTerminal())) {
    text.append(SummaryLine(run.table_name, report, run.tally)).append(kMessageLineEnd);
  }
  if (!text.empty()) WriteStderr(text);
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

std::optional<CodePage> ChosenCodePage(const std::string& name) {
  if (name.empty()) return std::nullopt;
  std::optional<CodePage> code_page = CodePage::Find(name);
  if (!code_page) throw EConvertError("Unknown code page " + name + ".");
  return code_page;
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

bool ExportTable(const RunSettings& typed_settings, FolderTotals* totals, const std::vector<SourceFile>* folder_files) {
  if (!FileExists(typed_settings.SourceFile)) return false;
  const std::optional<CodePage> code_page = ChosenCodePage(typed_settings.CodePage);
  RunSettings settings = typed_settings;
  if (code_page) {
    settings.FilterText = InCodePage(*code_page, settings.FilterText, "filter");
    settings.FieldList = InCodePage(*code_page, settings.FieldList, "field list");
  }
  TA table(settings.SourceFile, settings.FilterText);
  Conversion run(settings, code_page, table);
  RefuseTargetThatIsRead(settings.TargetFile, settings.SourceFile, folder_files);

  const bool to_stdout = settings.TargetFile == kStandardOutputName;
  FileStream target(settings.TargetFile, to_stdout ? FileStream::Mode::kStandardOutput : FileStream::Mode::kCreate);
  if (!run.notes.empty()) WriteStderr(run.notes);
  try {
    if (run.script) {
      WriteSqlScript(run, target);
    } else if (settings.Json) {
      WriteJsonLines(run, target);
    } else {
      WriteTextLines(run, target);
    }
    run.progress.Finish();
    target.Flush();
  } catch (...) {
    // Keep the lines written so far, then let the error end the run; what was
    // lost before it is still told.
    try {
      target.Flush();
    } catch (...) {
    }
    table.Reader().CloseLoad();
    if (table.FilterFailure) TellWhereTheFilterFailed(run.table_name, *table.FilterFailure);
    if (!settings.Strict) TellTheUser(run, false);
    throw;
  }
  table.Reader().CloseLoad();
  TellTheUser(run, true);
  if (totals != nullptr) {
    totals->read += table.Reader().LoadReport.Read();
    totals->written += run.tally.written;
  }
  return true;
}

}  // namespace tabdump
