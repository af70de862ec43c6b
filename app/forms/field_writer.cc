#include "app/forms/field_writer.h"

#include "app/forms/json_values.h"
#include "app/forms/text_format.h"
#include "runtime/ascii_case.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

bool IsSelected(const std::string& field_list, const std::string& name) {
  if (field_list.empty()) return true;
  return (";" + LowerAscii(field_list)).find(";" + LowerAscii(name) + ";") != std::string::npos;
}

// The routines of each kind: the value read from the record, NULL where the
// field has none.

void WriteString(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present) return form.Null(out);
  form.Text(out, StringBytes(field.bytes), column);
}

// A BLOB's value comes from its chain in the BLOB file: NULL without one,
// empty when the file is missing.
void WriteMemo(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const Variant& value = record.Value(column.index);
  if (!value.IsString()) return form.Null(out);
  form.Text(out, value.AsString(), column);
}

void WriteBinaryBlob(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const Variant& value = record.Value(column.index);
  if (!value.IsString()) return form.Null(out);
  form.Binary(out, value.AsString());
}

void WriteBytes(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present) return form.Null(out);
  form.Binary(out, std::string_view(reinterpret_cast<const char*>(field.bytes.data()), field.bytes.size()));
}

void WriteBoolean(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present || field.bytes.empty()) return form.Null(out);
  form.Boolean(out, field.bytes[0] != 0);
}

void WriteInteger(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present) return form.Null(out);
  form.Integer(out, IntegerValue(field.kind, field.bytes));
}

void WriteUnsignedLarge(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present) return form.Null(out);
  form.UnsignedLarge(out, static_cast<std::uint64_t>(IntegerValue(field.kind, field.bytes)));
}

void WriteFloat(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present) return form.Null(out);
  form.Float(out, FloatValue(field.bytes), column);
}

void WriteCurrency(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present) return form.Null(out);
  form.Currency(out, FloatValue(field.bytes), column);
}

void WriteBcd(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  if (!field.present) return form.Null(out);
  form.Bcd(out, field.bytes, column);
}

// Dates, times and time stamps outside the calendar have no value.
template <std::optional<DayMs> (*Parts)(FieldBytes)>
void WriteDateTime(ValueForm& form, std::string& out, const Column& column, const RecordView& record) {
  const TDBISAM::FieldSlice field = record.Field(column.index);
  const std::optional<DayMs> parts = field.present ? Parts(field.bytes) : std::nullopt;
  if (!parts) return form.Null(out);
  form.DateTime(out, *parts, column);
}

ValueWriter WriterOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::kString: return WriteString;
    case FieldKind::kMemo: return WriteMemo;
    case FieldKind::kBinaryBlob: return WriteBinaryBlob;
    case FieldKind::kBytes: return WriteBytes;
    case FieldKind::kBoolean: return WriteBoolean;
    case FieldKind::kShortInteger: case FieldKind::kInteger: case FieldKind::kAutoInc:
    case FieldKind::kUnsignedShortInteger: case FieldKind::kUnsignedInteger: case FieldKind::kLargeInteger:
      return WriteInteger;
    case FieldKind::kUnsignedLargeInteger: return WriteUnsignedLarge;
    case FieldKind::kFloat: return WriteFloat;
    case FieldKind::kCurrency: return WriteCurrency;
    case FieldKind::kBcd: return WriteBcd;
    case FieldKind::kDate: return WriteDateTime<DateValue>;
    case FieldKind::kTime: return WriteDateTime<TimeValue>;
    case FieldKind::kTimeStamp: return WriteDateTime<TimeStampValue>;
  }
  return WriteBytes;
}

}  // namespace

std::vector<Column> SelectColumns(TDBISAM& reader, const std::string& field_list) {
  const std::span<const TDBISAMFieldInfo> fields = reader.FieldInfos();
  std::vector<Column> columns;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!IsSelected(field_list, fields[i].Name())) continue;
    Column column{static_cast<std::int32_t>(i), fields[i], FieldKind::kBytes, {}, 0, false, 1, nullptr};
    column.kind = FieldKindOf(column.info);
    column.name = column.info.Name();
    column.width = FieldWidth(column.info);
    column.right = IsRightAligned(column.info.FieldType());
    column.string_length = SqlStringLength(column.info);
    column.write = WriterOf(column.kind);
    columns.push_back(std::move(column));
  }
  return columns;
}

FieldWriter::FieldWriter(const RunSettings& settings, std::optional<CodePage> code_page, RecordView record)
    : record_(record), texts_(std::move(code_page)), form_(MakeValueForm(settings, record, texts_)) {}

void FieldWriter::AppendName(std::string& out, const std::string& name) {
  // A name belongs to no record: what cannot be read there counts as record 0.
  static const Column kNameColumn{-1, {}, FieldKind::kString, {}, 0, false, 1, WriteString};
  form_->Text(out, name, kNameColumn);
}

std::string FieldWriter::NameInUtf8(const std::string& name, std::int32_t number) {
  const std::optional<std::string_view> text = texts_.Utf8(name, 0);
  if (!text) throw EConvertError("The name of field " + std::to_string(number) + " " + kNotUtf8 + ".");
  return std::string(*text);
}

}  // namespace tabdump

namespace tabdump {

std::string FieldWriter::JsonKey(const std::string& name, std::int32_t number) {
  std::string key;
  AppendJsonString(key, NameInUtf8(name, number));
  return key += ':';
}

}  // namespace tabdump
