#include "app/field_writer.h"

#include "app/export_table.h"
#include "app/text_format.h"
#include "runtime/ascii_case.h"
#include "dbisam/table_format.h"
#include "runtime/convert.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

bool IsSelected(const std::string& field_list, const std::string& name) {
  if (field_list.empty()) return true;
  return (";" + LowerAscii(field_list)).find(";" + LowerAscii(name) + ";") != std::string::npos;
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

// What a SQL script says of a text that is not UTF-8 when no code page is
// given: the way out.
constexpr const char* kNotUtf8 =
    "is not valid UTF-8; name the table's code page with /codepage=, such as /codepage=1252";

}  // namespace

std::vector<Column> SelectColumns(TDBISAM& reader, const std::string& field_list) {
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  std::vector<Column> columns;
  for (std::int32_t i = 0; i < info.FieldCount(); ++i) {
    Column column{i, {}, 0, false, false, CsvKind::kText, SqlKind::kString, 1, {}};
    reader.GetFieldInfo(i, column.info);
    if (!IsSelected(field_list, column.info.Name())) continue;
    column.width = FieldWidth(column.info);
    column.right = IsRightAligned(column.info.FieldType());
    column.csv_kind = CsvKindOf(column.info);
    column.text = column.csv_kind == CsvKind::kText;
    column.sql_kind = SqlKindOf(column.info);
    column.string_length = SqlStringLength(column.info);
    column.name = column.info.Name();
    columns.push_back(column);
  }
  return columns;
}

namespace {

// A name anywhere in the filter's text counts as read, inside a longer word
// too: a field read from the row that need not be costs only time.
bool FilterNames(const std::string& upper_filter, const std::string& name) {
  return upper_filter.find(UpperAscii(name)) != std::string::npos;
}

}  // namespace

void PlanFromRecord(std::vector<Column>& columns, const std::string& filter_text) {
  const std::string filter = UpperAscii(filter_text);
  for (Column& column : columns) column.from_record = !FilterNames(filter, column.name);
}

void ReportOtherFields(TDBISAM& reader, const std::vector<Column>& columns, const std::string& filter_text) {
  const std::string filter = UpperAscii(filter_text);
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  std::vector<bool> reported(static_cast<std::size_t>(info.FieldCount()), false);
  for (std::int32_t i = 0; i < info.FieldCount(); ++i) {
    TDBISAMFieldInfo field;
    reader.GetFieldInfo(i, field);
    reported[static_cast<std::size_t>(i)] = field.FieldType() == dbisam_layout::kBlob || FilterNames(filter, field.Name());
  }
  for (const Column& column : columns) reported[static_cast<std::size_t>(column.index)] = !column.from_record;
  reader.ReportedFields = std::move(reported);
}

FieldWriter::FieldWriter(const RunSettings& settings, std::optional<CodePage> code_page, TA& sink)
    : csv_(settings.Csv),
      delimiter_(settings.Delimiter),
      code_page_(code_page),
      sink_(sink) {
  // A delimiter of none (code 0) cannot occur in a value in a way that
  // matters to quoting.
  if (delimiter_ == NoneMark) delimiter_.clear();
  if (settings.Sql) sql_.emplace(*settings.Sql);
}

std::optional<std::string_view> FieldWriter::Utf8Text(const std::string& stored, std::int64_t record) {
  scratch_.clear();
  if (code_page_) {
    replaced_.Add(record, static_cast<std::int64_t>(code_page_->AppendUtf8(stored, scratch_)));
    return scratch_;
  }
  if (IsAscii(stored)) return stored;
  static const CodePage utf8 = *CodePage::Find(65001);
  if (utf8.AppendUtf8(stored, scratch_) != 0) return std::nullopt;
  return stored;
}

void FieldWriter::AppendText(std::string& out, const std::string& stored, const Column& column) {
  if (sql_) {
    const SqlPlace place{sink_.Reader->RecordNumber(), column.name};
    const std::optional<std::string_view> text = Utf8Text(stored, place.record);
    if (!text) RefuseSqlValue(place, std::string("the text ") + kNotUtf8);
    sql_->AppendText(out, column.sql_kind, column.string_length, *text, place);
    return;
  }
  if (!code_page_ && !csv_) {
    out += stored;
    return;
  }
  if (!code_page_) {
    AppendCsvText(out, stored, delimiter_);
    return;
  }
  // CSV quoting depends on the converted text, so it is made apart first.
  const std::int64_t record = column.index < 0 ? 0 : sink_.Reader->RecordNumber();
  std::string& converted = csv_ ? scratch_ : out;
  if (csv_) scratch_.clear();
  replaced_.Add(record, static_cast<std::int64_t>(code_page_->AppendUtf8(stored, converted)));
  if (csv_) AppendCsvText(out, scratch_, delimiter_);
}

void FieldWriter::AppendSqlValue(std::string& out, const Column& column, const Variant* value) {
  if (value == nullptr || value->IsEmptyOrNull()) {
    sql_->AppendNull(out);
  } else if (column.text && value->IsString()) {
    AppendText(out, value->AsString(), column);
  } else {
    const SqlPlace place{sink_.Reader->RecordNumber(), column.name};
    sql_->AppendValue(out, column.sql_kind, *value, sink_.Reader->ValueBytes(column.index), place);
  }
}

namespace {

// A value of the kinds that need no Variant, read from the record's bytes.
struct RecordValue {
  enum class Kind : std::uint8_t { kNull, kText, kInteger, kFloat, kBoolean, kDateTime, kOther };
  Kind kind = Kind::kOther;
  std::string_view text;
  std::int64_t integer = 0;
  double number = 0;
  DayMs parts{};
};

RecordValue ReadRecordValue(const TDBISAM::FieldSlice& field) {
  using Kind = RecordValue::Kind;
  RecordValue value;
  if (!field.present) {
    value.kind = Kind::kNull;
    return value;
  }
  switch (field.kind) {
    case ValueKind::kString:
      value.kind = Kind::kText;
      value.text = StringBytes(field.bytes);
      break;
    case ValueKind::kShortInteger:
    case ValueKind::kInteger:
    case ValueKind::kUnsignedShortInteger:
    case ValueKind::kUnsignedInteger:
    case ValueKind::kLargeInteger:
      value.kind = Kind::kInteger;
      value.integer = IntegerValue(field.kind, field.bytes);
      break;
    case ValueKind::kFloat:
      value.kind = Kind::kFloat;
      value.number = FloatValue(field.bytes);
      break;
    case ValueKind::kBoolean:
      value.kind = field.bytes.empty() ? Kind::kNull : Kind::kBoolean;
      value.integer = !field.bytes.empty() && field.bytes[0] != 0;
      break;
    case ValueKind::kDate:
    case ValueKind::kTimeStamp: {
      const std::optional<DayMs> parts =
          field.kind == ValueKind::kDate ? DateValue(field.bytes) : TimeStampValue(field.bytes);
      value.kind = parts ? Kind::kDateTime : Kind::kNull;
      if (parts) value.parts = *parts;
      break;
    }
    default:
      break;  // BLOBs, BCD, times, bytes, the unsigned 64-bit kind: through the Variant
  }
  return value;
}

}  // namespace

bool FieldWriter::AppendFromRecord(std::string& out, const Column& column) {
  using Kind = RecordValue::Kind;
  const RecordValue value = ReadRecordValue(sink_.Reader->FieldAt(column.index));
  // Texts in a code page are converted through the Variant, and so is a
  // currency Float in SQL, whose column checks it.
  if (value.kind == Kind::kOther || (value.kind == Kind::kText && (code_page_ || sql_))) return false;
  if (sql_ && value.kind == Kind::kFloat && column.sql_kind != SqlKind::kFloat) return false;
  switch (value.kind) {
    case Kind::kNull:
      if (sql_) sql_->AppendNull(out);
      return true;
    case Kind::kText:
      if (csv_) {
        AppendCsvText(out, value.text, delimiter_);
      } else {
        out += value.text;
      }
      return true;
    case Kind::kInteger:
      AppendInt64(out, value.integer);
      return true;
    case Kind::kFloat:
      if (sql_) {
        sql_->AppendFloat(out, value.number, SqlPlace{sink_.Reader->RecordNumber(), column.name});
      } else if (csv_) {
        AppendCsvFloat(out, column.csv_kind, value.number);
      } else {
        AppendDouble(out, value.number);
      }
      return true;
    case Kind::kBoolean:
      if (sql_) {
        sql_->AppendBoolean(out, value.integer != 0);
      } else if (csv_) {
        out += value.integer != 0 ? "true" : "false";
      } else {
        out += value.integer != 0 ? '1' : '0';
      }
      return true;
    case Kind::kDateTime:
      if (sql_) {
        sql_->AppendDayMs(out, column.sql_kind, value.parts, SqlPlace{sink_.Reader->RecordNumber(), column.name});
      } else if (csv_) {
        AppendIsoDateTime(out, column.csv_kind, value.parts);
      } else {
        AppendDateTime(out, value.parts);
      }
      return true;
    case Kind::kOther:
      break;
  }
  return false;
}

void FieldWriter::AppendValue(std::string& out, const Column& column) {
  if (column.from_record && AppendFromRecord(out, column)) return;
  // The other kinds, and the fields the filter reads, through their Variant.
  const Variant* value = column.from_record ? &sink_.Reader->ColumnValue(column.index) : sink_.RowValue(column.index);
  if (sql_) {
    AppendSqlValue(out, column, value);
    return;
  }
  if (value == nullptr || value->IsEmptyOrNull()) return;  // NULL: nothing at all
  if (!csv_ && !code_page_) {
    TA::AppendCellText(out, *value);  // the common case, texts as stored
  } else if (column.text && value->IsString()) {
    AppendText(out, value->AsString(), column);
  } else if (csv_) {
    AppendCsvValue(out, column.csv_kind, *value, sink_.Reader->ValueBytes(column.index));
  } else {
    TA::AppendCellText(out, *value);
  }
}

void FieldWriter::AppendName(std::string& out, const std::string& name) {
  // A name belongs to no record: what cannot be read there counts as record 0.
  static const Column kNameColumn{-1, {}, 0, false, true, CsvKind::kText, SqlKind::kString, 1, {}};
  AppendText(out, name, kNameColumn);
}

std::string FieldWriter::NameInUtf8(const std::string& name, std::int32_t number) {
  const std::optional<std::string_view> text = Utf8Text(name, 0);
  if (!text) throw EConvertError("The name of field " + std::to_string(number) + " " + kNotUtf8 + ".");
  return std::string(*text);
}

}  // namespace tabdump
