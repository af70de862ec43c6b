#include "app/driver/table_info.h"

#include <filesystem>
#include <system_error>

#include "app/driver/export_table.h"
#include "app/driver/table_access.h"
#include "app/driver/table_folder.h"
#include "app/forms/table_description.h"
#include "app/forms/value_forms.h"
#include "dbisam/field_kind.h"
#include "runtime/console.h"
#include "runtime/exceptions.h"
#include "runtime/file_names.h"
#include "runtime/stream.h"

namespace tabdump {
namespace {

// The texts of a description (field names, the table's description) as
// the output wants them: converted from the code page when there is one;
// in JSON, which must be UTF-8, refused when they are not UTF-8 and there
// is none.
class DescriptionTexts {
 public:
  DescriptionTexts(const std::optional<CodePage>& code_page, bool json) : texts_(code_page), json_(json) {}

  std::string Of(const std::string& stored, const std::string& what) {
    if (!json_) {
      std::string out;
      texts_.Append(out, stored, 0);
      return out;
    }
    const std::optional<std::string_view> text = texts_.Utf8(stored, 0);
    if (!text) throw EConvertError("The " + what + " " + kNotUtf8 + ".");
    return std::string(*text);
  }

 private:
  TextConverter texts_;
  bool json_;
};

void DescribeHeader(TableDescription& d, const TDBISAMTableInfo& info, DescriptionTexts& texts) {
  d.version = info.Version();
  d.record_size = info.RecordSize();
  d.header_record_count = info.RecordCount();
  d.description = texts.Of(info.Description(), "table's description");
  d.encrypted = info.Encrypted();
  d.blob_block_size = info.BlobBlockSize();
}

// An encrypted table's header is plain; the reader reads it before it
// refuses the table for want of a password.
void DescribeEncrypted(TableDescription& d, const std::string& path, DescriptionTexts& texts) {
  FileStream stream(path, FileStream::Mode::kOpenRead);
  TDBISAM reader;
  reader.ReadOnDemand = true;
  reader.FileName = path;
  try {
    reader.ParseStream(stream);
  } catch (const EZelCryptException&) {
  }
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  DescribeHeader(d, info, texts);
}

// Every record of the file is read, whatever its status, as a conversion
// reads them; the BLOB values of the normal ones are followed through their
// chains, so that the damaged ones are counted as a conversion's warnings
// count them.
void DescribeRecords(TableDescription& d, TA& table) {
  TDBISAM& reader = table.Reader();
  std::vector<std::int32_t> blobs;
  const std::span<const TDBISAMFieldInfo> fields = reader.FieldInfos();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldKind kind = FieldKindOf(fields[i]);
    if (kind == FieldKind::kMemo || kind == FieldKind::kBinaryBlob) blobs.push_back(static_cast<std::int32_t>(i));
  }
  while (reader.MoreRecords()) {
    if (!table.ReadRecord(0)) continue;
    for (const std::int32_t field : blobs) {
      if (reader.ColumnValue(field).IsString()) ++d.blob_file.values;
    }
  }
  reader.CloseLoad();
  const TDBISAMLoadReport& report = reader.LoadReport;
  d.normal = report.Normal;
  d.deleted = report.Deleted;
  d.damaged = report.Damaged;
  d.partial_record = report.PartialRecord;
  d.partial_record_bytes = report.PartialRecordBytes;
  d.blob_file.damaged = report.BlobDamaged.Count;
  d.has_blob_fields = !blobs.empty();
  if (!d.has_blob_fields) return;
  const std::string blob_path = reader.BlobFilePath();
  d.blob_file.name = ExtractFileName(blob_path);
  d.blob_file.present = FileExists(blob_path);
  if (d.blob_file.present) {
    std::error_code error;
    const auto size = std::filesystem::file_size(SystemPath(blob_path), error);
    d.blob_file.size = error ? 0 : static_cast<std::int64_t>(size);
  }
}

TableDescription DescribeTable(const std::string& path, const std::optional<CodePage>& code_page, bool json) {
  TableDescription d;
  d.file = ExtractFileName(path);
  DescriptionTexts texts(code_page, json);
  std::unique_ptr<TA> table;
  try {
    table = std::make_unique<TA>(path, std::string());
  } catch (const EZelCryptException&) {
    DescribeEncrypted(d, path, texts);
    return d;
  }
  TDBISAM& reader = table->Reader();
  TDBISAMTableInfo info;
  reader.GetTableInfo(info);
  DescribeHeader(d, info, texts);
  const std::span<const TDBISAMFieldInfo> fields = reader.FieldInfos();
  const bool long_strings = MysqlLongStrings(fields);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto number = static_cast<std::int32_t>(i + 1);
    d.fields.push_back(DescribeField(fields[i], number,
                                     texts.Of(fields[i].Name(), "name of field " + std::to_string(number)),
                                     long_strings));
  }
  DescribeRecords(d, *table);
  return d;
}

void Write(const RunSettings& settings, const std::string& text) {
  const bool to_stdout = settings.TargetFile == kStandardOutputName;
  FileStream target(settings.TargetFile, to_stdout ? FileStream::Mode::kStandardOutput : FileStream::Mode::kCreate);
  if (settings.Bom) target.Write(kUtf8ByteOrderMark, 3);
  target.Write(text.data(), text.size());
  target.Flush();
}

}  // namespace

std::optional<int> DescribeTables(const RunSettings& settings) {
  const std::optional<CodePage> code_page = ChosenCodePage(settings.CodePage);
  const bool characters = code_page.has_value();
  std::error_code error;
  if (!std::filesystem::is_directory(SystemPath(settings.SourceFile), error)) {
    if (!FileExists(settings.SourceFile)) return std::nullopt;
    const TableDescription table = DescribeTable(settings.SourceFile, code_page, settings.Json);
    RefuseTargetThatIsRead(settings.TargetFile, settings.SourceFile, nullptr);
    Write(settings, settings.Json ? DescriptionJson(table) : DescriptionText(table, characters));
    return 0;
  }
  const std::vector<std::string> tables = TablesInFolder(settings.SourceFile);
  if (tables.empty()) throw EFOpenError("No tables (.dat files) in folder " + settings.SourceFile + ".");
  const std::vector<SourceFile> read_files = FilesTheRunReads(settings.SourceFile);
  RefuseTargetThatIsRead(settings.TargetFile, PathInFolder(settings.SourceFile, tables.front()), &read_files);
  FolderDescription folder;
  folder.folder = settings.SourceFile;
  const std::string program = ExtractFileName(ProgramPath());
  int status = 0;
  for (const std::string& name : tables) {
    try {
      folder.tables.push_back(DescribeTable(PathInFolder(settings.SourceFile, name), code_page, settings.Json));
    } catch (const std::exception& failure) {
      // Told on standard error as a conversion's failure is, and in the
      // description as a table that could not be described.
      status = 1;
      WriteStderr(name + ":" + std::string(kMessageLineEnd) + FormatExceptionReport(failure, program));
      TableDescription failed;
      failed.file = name;
      failed.error = failure.what();
      folder.tables.push_back(std::move(failed));
    }
  }
  Write(settings, settings.Json ? DescriptionJson(folder) : DescriptionText(folder, characters));
  return status;
}

}  // namespace tabdump
