#include "app/field_writer.h"

#include "app/export_table.h"
#include "app/text_format.h"
#include "runtime/ascii_case.h"

namespace tabdump {
namespace {

bool IsSelected(const std::string& field_list, const std::string& name) {
  if (field_list.empty()) return true;
  return (";" + field_list).find(";" + LowerAscii(name) + ";") != std::string::npos;
}

}  // namespace

std::vector<Column> SelectColumns(TDBISAM& reader, const std::string& field_list) {
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  std::vector<Column> columns;
  for (std::int32_t i = 0; i < info.FieldCount(); ++i) {
    Column column{i, {}, 0, false, false, CsvKind::kText};
    reader.GetFieldInfo(i, column.info);
    if (!IsSelected(field_list, column.info.Name())) continue;
    column.width = FieldWidth(column.info);
    column.right = IsRightAligned(column.info.FieldType());
    column.csv_kind = CsvKindOf(column.info);
    column.text = column.csv_kind == CsvKind::kText;
    columns.push_back(column);
  }
  return columns;
}

FieldWriter::FieldWriter(const RunSettings& settings, std::optional<CodePage> code_page, TA& sink)
    : csv_(settings.Csv), delimiter_(settings.Delimiter), code_page_(code_page), sink_(sink) {
  // A delimiter of none (code 0) cannot occur in a value in a way that
  // matters to quoting.
  if (delimiter_ == NoneMark) delimiter_.clear();
}

void FieldWriter::AppendText(std::string& out, const std::string& stored, std::int64_t record) {
  if (!code_page_ && !csv_) {
    out += stored;
    return;
  }
  if (!code_page_) {
    AppendCsvText(out, stored, delimiter_);
    return;
  }
  // CSV quoting depends on the converted text, so it is made apart first.
  std::string& converted = csv_ ? scratch_ : out;
  if (csv_) scratch_.clear();
  replaced_.Add(record, static_cast<std::int64_t>(code_page_->AppendUtf8(stored, converted)));
  if (csv_) AppendCsvText(out, scratch_, delimiter_);
}

void FieldWriter::AppendValue(std::string& out, const Column& column) {
  const Variant* value = sink_.RowValue(column.index);
  if (value == nullptr || value->IsEmptyOrNull()) return;  // NULL: nothing at all
  if (!csv_ && !code_page_) {
    TA::AppendCellText(out, *value);  // the common case, texts as stored
  } else if (column.text && value->IsString()) {
    AppendText(out, value->AsString(), sink_.Reader->RecordNumber());
  } else if (csv_) {
    AppendCsvValue(out, column.csv_kind, *value, sink_.Reader->ValueBytes(column.index));
  } else {
    TA::AppendCellText(out, *value);
  }
}

void FieldWriter::AppendName(std::string& out, const std::string& name) {
  // A name belongs to no record: what cannot be read there counts as record 0.
  AppendText(out, name, 0);
}

}  // namespace tabdump
