#include "app/driver/conversion.h"

#include <unordered_map>
#include <unordered_set>

#include "runtime/ascii_case.h"
#include "runtime/console.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

// The names of /fields= (as typed, each followed by ';') that no field of
// the table has; empty items are no names.
std::vector<std::string> UnknownFieldNames(TDBISAM& reader, const std::string& field_list) {
  std::unordered_set<std::string> fields;
  for (const TDBISAMFieldInfo& field : reader.FieldInfos()) fields.insert(LowerAscii(field.Name()));
  std::vector<std::string> unknown;
  for (std::size_t at = 0; at < field_list.size();) {
    const std::size_t end = field_list.find(';', at);
    const std::string name = field_list.substr(at, end - at);
    at = end == std::string::npos ? field_list.size() : end + 1;
    if (!name.empty() && !fields.contains(LowerAscii(name))) unknown.push_back(name);
  }
  return unknown;
}

// The keys of the JSON objects, one per column.  A JSON object whose key
// occurs twice is read differently by different readers (most keep the last
// value), so a name that occurs twice once in UTF-8 is refused; names that
// differ in letter case are different keys.
std::vector<std::string> JsonKeys(const std::vector<Column>& columns, FieldWriter& writer) {
  std::vector<std::string> keys;
  std::unordered_map<std::string, std::int32_t> first_of;  // key -> the field (from 1) that has it
  for (const Column& column : columns) {
    keys.push_back(writer.JsonKey(column.name, column.index + 1));
    const auto [first, added] = first_of.emplace(keys.back(), column.index + 1);
    if (added) continue;
    const std::string name = keys.back().substr(0, keys.back().size() - 1);
    throw EConvertError("Fields " + std::to_string(first->second) + " and " + std::to_string(column.index + 1) +
                        " are both named " + name + ", which a JSON object cannot hold twice.");
  }
  return keys;
}

}  // namespace

std::vector<std::int32_t> BlobsOfEveryRecord(TDBISAM& reader, const std::vector<Column>& columns,
                                             const std::string& filter_text) {
  const std::string filter = UpperAscii(filter_text);
  std::vector<bool> written(columns.empty() ? 0 : static_cast<std::size_t>(columns.back().index) + 1, false);
  for (const Column& column : columns) written[static_cast<std::size_t>(column.index)] = true;
  const std::span<const TDBISAMFieldInfo> infos = reader.FieldInfos();
  std::vector<std::int32_t> fields;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(infos.size()); ++i) {
    const TDBISAMFieldInfo& field = infos[static_cast<std::size_t>(i)];
    const FieldKind kind = FieldKindOf(field);
    if (kind != FieldKind::kMemo && kind != FieldKind::kBinaryBlob) continue;
    const bool is_written = static_cast<std::size_t>(i) < written.size() && written[static_cast<std::size_t>(i)];
    if (!is_written || filter.find(UpperAscii(field.Name())) != std::string::npos) fields.push_back(i);
  }
  return fields;
}

Conversion::Conversion(const RunSettings& run_settings, const std::optional<CodePage>& texts_code_page,
                       TA& reading)
    : settings(run_settings),
      code_page(texts_code_page),
      table(reading),
      table_name(ExtractFileName(settings.SourceFile)),
      columns(SelectColumns(table.Reader(), settings.FieldList)),
      writer(settings, code_page, table.Record()) {
  TDBISAM& reader = table.Reader();
  writer.CountReplacedIn(tally.replaced);
  writer.CountUnwritableNumbersIn(tally.unwritable_numbers);
  if (code_page) tally.code_page = code_page->number();
  tally.unknown_fields = UnknownFieldNames(reader, settings.FieldList);
  if (columns.empty() && !settings.FieldList.empty()) {
    throw EConvertError("None of the fields in /fields= is in the table.");
  }
  if (settings.Strict) RefuseLoss(reader.LoadReport, tally, table_name);
  table.ReadBlobsOfEveryRecord(BlobsOfEveryRecord(reader, columns, settings.FilterText));
  if (table.HasFilter()) table.CompileFilter();
  if (settings.Sql) {
    script.emplace(*settings.Sql, SqlTableName(settings.SourceFile),
                   ScriptColumns(reader, *settings.Sql, columns, writer, table_name, notes));
  }
  if (settings.Json && !settings.Sql) json_keys = JsonKeys(columns, writer);
  if (progress.Enabled()) {
    reader.OnLoadProgress = [this](TCustomSpreadSheetFile*, std::int64_t position, std::int64_t total) {
      progress.Update(position, total);
    };
  }
}

}  // namespace tabdump
