#include "app/forms/table_description.h"

#include <algorithm>
#include <array>

#include "app/forms/json_values.h"
#include "app/forms/sql_script.h"
#include "app/forms/sql_values.h"
#include "dbisam/field_kind.h"
#include "dbisam/table_format.h"
#include "runtime/convert.h"

namespace tabdump {
namespace {

// The columns a text takes: its bytes, or with UTF-8 its characters (every
// byte that does not continue a character).
std::size_t Width(std::string_view text, bool characters) {
  if (!characters) return text.size();
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The labels of the facts, padded to one column.
constexpr std::size_t kLabelWidth = 17;

void Fact(std::string& out, const char* label, const std::string& value) {
  out += label;
  if (!value.empty()) out.append(kLabelWidth - std::string_view(label).size(), ' ').append(value);
  out += '\n';
}

std::string Records(std::int64_t normal, std::int64_t deleted, std::int64_t damaged) {
  return GroupedCount(normal) + " normal, " + GroupedCount(deleted) + " deleted, " + GroupedCount(damaged) + " damaged";
}

// The fields as a table: a column each for the number, the name, the type,
// the two sizes and the three SQL types; numbers to the right.
void FieldTable(std::string& out, const std::vector<FieldDescription>& fields, bool characters) {
  constexpr std::size_t kColumns = 8;
  constexpr std::array<bool, kColumns> kRight = {true, false, false, true, true, false, false, false};
  std::vector<std::array<std::string, kColumns>> rows;
  rows.push_back({"#", "Name", "Type", "Size", "Bytes", "SQLite", "PostgreSQL", "MySQL"});
  for (const FieldDescription& f : fields) {
    rows.push_back({std::to_string(f.number), f.name, f.type, std::to_string(f.size), std::to_string(f.bytes),
                    f.sqlite, f.postgres, f.mysql});
  }
  std::array<std::size_t, kColumns> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], Width(row[c], characters));
  }
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < kColumns; ++c) {
      const std::size_t pad = widths[c] - Width(row[c], characters);
      if (c != 0) out += "  ";
      if (kRight[c]) out.append(pad, ' ');
      out += row[c];
      if (!kRight[c] && c + 1 < kColumns) out.append(pad, ' ');
    }
    out += '\n';
  }
}

void AppendTableText(std::string& out, const TableDescription& t, bool characters) {
  Fact(out, "Table", t.file);
  if (!t.error.empty()) {
    Fact(out, "Error", t.error);
    return;
  }
  Fact(out, "Layout version", std::to_string(t.version));
  Fact(out, "Record size", Counted(t.record_size, "byte", "bytes"));
  Fact(out, "Header count", Counted(t.header_record_count, "record", "records"));
  Fact(out, "Description", t.description);
  Fact(out, "Encrypted", t.encrypted ? "yes: its fields and records are encrypted too and are not described" : "no");
  Fact(out, "BLOB block size", Counted(t.blob_block_size, "byte", "bytes"));
  if (t.encrypted) return;
  Fact(out, "Records in file", Records(t.normal, t.deleted, t.damaged));
  Fact(out, "Partial record",
       t.partial_record == 0 ? "none"
                             : "record " + GroupedCount(t.partial_record) + ", " + GroupedCount(t.partial_record_bytes) + " of its " +
                                   Counted(t.record_size, "byte", "bytes"));
  const BlobFileDescription& blob = t.blob_file;
  if (!t.has_blob_fields) {
    Fact(out, "BLOB file", "none (no BLOB fields)");
  } else {
    Fact(out, "BLOB file",
         blob.name + ": " + (blob.present ? "present, " + Counted(blob.size, "byte", "bytes") : "missing") + "; " +
             Counted(blob.values, "BLOB value", "BLOB values") + ", " + GroupedCount(blob.damaged) + " damaged");
  }
  Fact(out, "Fields", GroupedCount(static_cast<std::int64_t>(t.fields.size())));
  if (t.fields.empty()) return;
  out += '\n';
  FieldTable(out, t.fields, characters);
}

// A small writer of compact JSON: a comma before every member but the first.
class Json {
 public:
  std::string out;

  void Open(char bracket) {
    Comma();
    out += bracket;
    first_ = true;
  }
  void Close(char bracket) {
    out += bracket;
    first_ = false;
  }
  Json& Key(const char* key) {
    Comma();
    AppendJsonString(out, key);
    out += ':';
    first_ = true;  // the value follows without a comma
    return *this;
  }
  void String(std::string_view text) {
    Comma();
    AppendJsonString(out, text);
  }
  void Number(std::int64_t value) {
    Comma();
    out += std::to_string(value);
  }
  void Boolean(bool value) {
    Comma();
    out += value ? "true" : "false";
  }
  void Null() {
    Comma();
    out += "null";
  }

 private:
  void Comma() {
    if (!first_) out += ',';
    first_ = false;
  }
  bool first_ = true;
};

void RecordCounts(Json& json, std::int64_t normal, std::int64_t deleted, std::int64_t damaged) {
  json.Open('{');
  json.Key("normal").Number(normal);
  json.Key("deleted").Number(deleted);
  json.Key("damaged").Number(damaged);
  json.Close('}');
}

void TableJson(Json& json, const TableDescription& t) {
  json.Open('{');
  json.Key("file").String(t.file);
  if (!t.error.empty()) {
    json.Key("error").String(t.error);
    json.Close('}');
    return;
  }
  json.Key("version").Number(t.version);
  json.Key("record_size").Number(t.record_size);
  json.Key("header_record_count").Number(t.header_record_count);
  json.Key("description").String(t.description);
  json.Key("encrypted").Boolean(t.encrypted);
  json.Key("blob_block_size").Number(t.blob_block_size);
  json.Key("records");
  if (t.encrypted) {
    json.Null();
  } else {
    RecordCounts(json, t.normal, t.deleted, t.damaged);
  }
  json.Key("partial_record");
  if (t.encrypted || t.partial_record == 0) {
    json.Null();
  } else {
    json.Open('{');
    json.Key("record").Number(t.partial_record);
    json.Key("bytes").Number(t.partial_record_bytes);
    json.Close('}');
  }
  json.Key("blob_file");
  if (t.encrypted || !t.has_blob_fields) {
    json.Null();
  } else {
    json.Open('{');
    json.Key("name").String(t.blob_file.name);
    json.Key("present").Boolean(t.blob_file.present);
    json.Key("size");
    if (t.blob_file.present) {
      json.Number(t.blob_file.size);
    } else {
      json.Null();
    }
    json.Key("values").Number(t.blob_file.values);
    json.Key("damaged").Number(t.blob_file.damaged);
    json.Close('}');
  }
  json.Key("fields");
  if (t.encrypted) {
    json.Null();
  } else {
    json.Open('[');
    for (const FieldDescription& f : t.fields) {
      json.Open('{');
      json.Key("number").Number(f.number);
      json.Key("name").String(f.name);
      json.Key("type").String(f.type);
      json.Key("type_code").Number(f.type_code);
      json.Key("sub_type_code").Number(f.sub_type_code);
      json.Key("size").Number(f.size);
      json.Key("bytes").Number(f.bytes);
      json.Key("sql").Open('{');
      json.Key("sqlite").String(f.sqlite);
      json.Key("postgres").String(f.postgres);
      json.Key("mysql").String(f.mysql);
      json.Close('}');
      json.Close('}');
    }
    json.Close(']');
  }
  json.Close('}');
}

// The sums of a folder's tables; an encrypted table adds no records.
struct Totals {
  std::int64_t tables = 0, failed = 0, normal = 0, deleted = 0, damaged = 0, blob_values = 0, blob_damaged = 0;
};

Totals Sum(const FolderDescription& folder) {
  Totals totals;
  for (const TableDescription& t : folder.tables) {
    ++totals.tables;
    if (!t.error.empty()) ++totals.failed;
    totals.normal += t.normal;
    totals.deleted += t.deleted;
    totals.damaged += t.damaged;
    totals.blob_values += t.blob_file.values;
    totals.blob_damaged += t.blob_file.damaged;
  }
  return totals;
}

}  // namespace

FieldDescription DescribeField(const TDBISAMFieldInfo& field, std::int32_t number, std::string name,
                               bool long_strings) {
  FieldDescription d;
  d.number = number;
  d.name = std::move(name);
  d.type_code = field.FieldType();
  d.sub_type_code = field.SubType();
  d.size = field.Size();
  d.bytes = field.PhysicalSize();
  const FieldKind kind = FieldKindOf(field);
  d.type = TDBISAM::FieldTypeName(d.type_code, TDBISAM::SubTypeIndex(d.sub_type_code));
  if (d.type_code == dbisam_layout::kBlob) {
    d.type += d.sub_type_code == 24 ? " (formatted memo)" : kind == FieldKind::kMemo ? " (memo)" : " (binary)";
  } else if (d.type == "Unknow") {
    d.type = "unknown type " + std::to_string(d.type_code);
  }
  const SqlKind sql = SqlKindOf(kind);
  const int length = SqlStringLength(field);
  d.sqlite = SqlColumnType(SqlDialect::kSqlite, sql, length);
  d.postgres = SqlColumnType(SqlDialect::kPostgres, sql, length);
  d.mysql = SqlColumnType(SqlDialect::kMysql, sql, length, long_strings);
  return d;
}

bool MysqlLongStrings(std::span<const TDBISAMFieldInfo> fields) {
  std::vector<SqlColumn> columns;
  for (const TDBISAMFieldInfo& field : fields) {
    columns.push_back({{}, SqlKindOf(FieldKindOf(field)), SqlStringLength(field)});
  }
  return NeedsLongStrings(SqlDialect::kMysql, columns);
}

std::string DescriptionText(const TableDescription& table, bool characters) {
  std::string out;
  AppendTableText(out, table, characters);
  return out;
}

std::string DescriptionText(const FolderDescription& folder, bool characters) {
  std::string out;
  for (const TableDescription& table : folder.tables) {
    AppendTableText(out, table, characters);
    out += '\n';
  }
  const Totals totals = Sum(folder);
  Fact(out, "Folder", folder.folder);
  Fact(out, "Tables",
       GroupedCount(totals.tables) + (totals.failed == 0 ? "" : ", " + GroupedCount(totals.failed) + " not described"));
  Fact(out, "Records in file", Records(totals.normal, totals.deleted, totals.damaged));
  Fact(out, "BLOB values", GroupedCount(totals.blob_values) + ", " + GroupedCount(totals.blob_damaged) + " damaged");
  return out;
}

std::string DescriptionJson(const TableDescription& table) {
  Json json;
  TableJson(json, table);
  return json.out + '\n';
}

std::string DescriptionJson(const FolderDescription& folder) {
  Json json;
  json.Open('{');
  json.Key("folder").String(folder.folder);
  json.Key("tables").Open('[');
  for (const TableDescription& table : folder.tables) TableJson(json, table);
  json.Close(']');
  const Totals totals = Sum(folder);
  json.Key("totals").Open('{');
  json.Key("tables").Number(totals.tables);
  json.Key("failed").Number(totals.failed);
  json.Key("records");
  RecordCounts(json, totals.normal, totals.deleted, totals.damaged);
  json.Key("blob_values").Number(totals.blob_values);
  json.Key("blob_damaged").Number(totals.blob_damaged);
  json.Close('}');
  json.Close('}');
  return json.out + '\n';
}

}  // namespace tabdump
