#include "app/export_table.h"

#include <vector>

#include "app/progress_line.h"
#include "app/row_filter.h"
#include "app/run_summary.h"
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
  const TZelCell* cell = CellAt(RowBuffer->Cells, n);
  if (cell == nullptr) return Variant::Null();
  if (cell->Value.type() == VarType::kBoolean) return Variant(cell->Value.AsBoolean() ? "1" : "0");
  return cell->Value;
}

void TA::AppendRowText(std::string& out, std::int32_t n) const {
  const TZelCell* cell = CellAt(RowBuffer->Cells, n);
  if (cell == nullptr) return;
  if (cell->Value.type() == VarType::kBoolean) {
    out += cell->Value.AsBoolean() ? '1' : '0';
    return;
  }
  AppendValueText(out, cell->Value);
}

namespace {

// What the driver needs of one selected field, worked out once per run.
struct Column {
  std::int32_t index;
  TDBISAMFieldInfo info;
  int width;
  bool right;
};

bool IsSelected(const std::string& field_list, const std::string& name) {
  if (field_list.empty()) return true;
  return (";" + field_list).find(";" + LowerAscii(name) + ";") != std::string::npos;
}

std::vector<Column> SelectColumns(TDBISAM& reader, const std::string& field_list) {
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  std::vector<Column> columns;
  for (std::int32_t i = 0; i < info.FieldCount(); ++i) {
    Column column{i, {}, 0, false};
    reader.GetFieldInfo(i, column.info);
    if (!IsSelected(field_list, column.info.Name())) continue;
    column.width = FieldWidth(column.info);
    column.right = IsRightAligned(column.info.FieldType());
    columns.push_back(column);
  }
  return columns;
}

void WriteLine(Stream& target, std::string& line, const std::string& separator) {
  line += separator;
  target.Write(line.data(), line.size());
}

// Under /strict, the first loss the reader reports ends the run.
void RefuseLoss(const TDBISAMLoadReport& report, const std::string& table) {
  if (!report.AnyLoss()) return;
  throw EDataLoss(StrictMessage(Losses(table, report).front()));
}

void ConvertRecords(TA& sink, const RunSettings& settings, const std::vector<Column>& columns,
                    Stream& source, Stream& target, LineBuilder& builder, RunTally& tally) {
  TDBISAM& reader = *sink.Reader;
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  const std::int64_t record_count = info.RecordCount();
  const std::string table = ExtractFileName(settings.SourceFile);
  // Two ends: as many lines written as the header counts records (deleted and
  // filtered records do not count, so this end may never come), or the table
  // file exhausted — with at most one byte left, no record can follow.
  std::int32_t written = 0;
  while (written < record_count) {
    if (source.Position() >= source.Size() - 1) {
      reader.NoteUnreadTail();
      if (settings.Strict) RefuseLoss(reader.LoadReport, table);
      break;
    }
    sink.RowBuffer->ClearValues();
    // The reader takes the next record at the stream's position; the index
    // and row it is given only label the cells it reports, and they count
    // the lines written, not the records read.
    const bool accepted = reader.ReadRecord(written, written);
    if (settings.Strict) RefuseLoss(reader.LoadReport, table);
    if (!accepted) continue;
    if (!settings.FilterText.empty() && !sink.FilterAccepts()) {
      ++tally.rejected;
      continue;
    }
    builder.Begin();
    for (const Column& column : columns) {
      sink.AppendRowText(builder.StartField(), column.index);
      builder.FinishField(column.width, column.right);
    }
    WriteLine(target, builder.Line(), settings.RecordSeparator);
    ++written;
    tally.written = written;
  }
}

void Convert(TA& sink, const RunSettings& settings, FileStream& source, FileStream& target, RunTally& tally) {
  TDBISAM& reader = *sink.Reader;
  source.SetPosition(0);
  reader.ReadOnDemand = true;
  reader.FileName = settings.SourceFile;
  reader.OnCellValue = [&sink](TCustomSpreadSheetFile* sender, std::int32_t sheet, std::int32_t row,
                               std::int32_t column, std::int32_t format, const Variant& value,
                               TAlignment alignment, TZelCellType type) {
    sink.StoreCell(sender, sheet, row, column, format, value, alignment, type);
  };
  reader.LoadRowStatutes = TZelRowStatuses{rsNormal};
  ProgressLine progress;
  if (progress.Enabled()) {
    reader.OnLoadProgress = [&progress](TCustomSpreadSheetFile*, std::int64_t position, std::int64_t total) {
      progress.Update(position, total);
    };
  }
  reader.ParseStream(source);

  const std::vector<Column> columns = SelectColumns(reader, settings.FieldList);
  LineBuilder builder(settings.Delimiter, settings.Qualifier, settings.FixedWidth);
  if (settings.HeaderLine) {
    builder.Begin();
    for (const Column& column : columns) builder.Add(column.info.Name(), column.width, false);
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
  ConvertRecords(sink, settings, columns, source, target, builder, tally);
  progress.Finish();
}

// Each kind of loss once, with its count and first record, then the summary
// when it is asked for or standard error is a terminal (where it takes the
// place of the progress line).
void TellTheUser(const RunSettings& settings, const TDBISAMLoadReport& report, const RunTally& tally,
                 bool finished) {
  const std::string table = ExtractFileName(settings.SourceFile);
  std::string text = WarningLines(Losses(table, report));
  if (finished && (settings.Summary || StderrIsTerminal())) {
    text.append(SummaryLine(table, report, tally)).append(kMessageLineEnd);
  }
  if (!text.empty()) WriteStderr(text);
}

}  // namespace

bool ExportTable(TA& sink, const RunSettings& settings) {
  if (!FileExists(settings.SourceFile)) {
    WriteStdout(std::string("DBISAM file not found.").append(kMessageLineEnd));
    return false;
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
  FileStream target(settings.TargetFile, FileStream::Mode::kCreate);
  RunTally tally;
  try {
    Convert(sink, settings, source, target, tally);
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
  return true;
}

}  // namespace tabdump
