#include "dbisam/table_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "dbisam/coding.h"
#include "runtime/ascii_case.h"
#include "runtime/console.h"
#include "runtime/exceptions.h"
#include "runtime/file_names.h"

namespace tabdump {

using namespace dbisam_layout;

namespace {

// A length-prefixed text at `offset` of a block of `size` bytes, cut to
// `max_length` characters and to the bytes present.
std::string ReadText(const std::uint8_t* block, std::size_t size, std::size_t offset, std::size_t max_length) {
  if (offset >= size) return {};
  std::size_t length = std::min<std::size_t>(block[offset], max_length);
  length = std::min(length, size - offset - 1);
  return std::string(reinterpret_cast<const char*>(block + offset + 1), length);
}

// Copies a length-prefixed text, cut to `max_length`, into a destination slot
// of max_length + 1 bytes.
void CopyText(const std::uint8_t* source, std::size_t source_size, std::size_t source_offset,
              std::uint8_t* dest, std::size_t max_length) {
  std::string text = ReadText(source, source_size, source_offset, max_length);
  dest[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(dest + 1, text.data(), text.size());
}

// Moves the members of a legacy block (`legacy_size` bytes) into the
// all-zero block `current` of the current layout, by a member table of
// table_format.h.  The tables are checked at compile time to lie inside both
// blocks; texts are also cut to the bytes the legacy block holds.
void ConvertLegacy(std::span<const LegacyMember> members, std::uint8_t version, const std::uint8_t* legacy,
                   std::size_t legacy_size, std::uint8_t* current) {
  for (const LegacyMember& m : members) {
    if (version < m.since_version) continue;
    if (m.kind == LegacyMember::kText) {
      CopyText(legacy, legacy_size, m.from, current + m.to, m.width - 1);
    } else {
      std::memcpy(current + m.to, legacy + m.from, m.width);
    }
  }
}

std::uint16_t LegacyPhysicalSize(std::uint8_t type, std::uint16_t size) {
  switch (type) {
    case kString: return static_cast<std::uint16_t>(size + 1);
    case kDate: case kInteger: case kTime: return 4;
    case kBlob: case kFloat: case kTimeStamp: case kLargeInteger: return 8;
    case kBoolean: case kShortInteger: case kUnsignedShortInteger: return 2;
    case kBcd: return static_cast<std::uint16_t>(kBcdSize);
    default: return size;
  }
}

// The bytes of the header, and of one field descriptor, in the layout that
// the version byte selects.
std::int64_t HeaderSize(std::uint8_t version) {
  return static_cast<std::int64_t>(version >= kFirstCurrentVersion ? kHeaderSize : kLegacyHeaderSize);
}
std::int64_t DescriptorSize(std::uint8_t version) {
  if (version >= kFirstCurrentVersion) return static_cast<std::int64_t>(kDescriptorSize);
  return static_cast<std::int64_t>(version < kFirstLegacyDescriptorVersion ? kOldDescriptorSize
                                                                           : kLegacyDescriptorSize);
}

// A file cut inside its header or its field descriptors describes no table:
// the bytes it lacks would be read as zeros and taken for a table shape.
void CheckFileHolds(Stream& stream, std::int64_t needed, const std::string& what_needs) {
  const std::int64_t size = stream.Size();
  if (size >= needed) return;
  throw EZelFileException("Invalid table: the file holds " + std::to_string(size) + " bytes, fewer than the " +
                          std::to_string(needed) + " that " + what_needs + ".");
}

std::string Format(const char* pattern, long long a, long long b = 0, long long c = 0, long long d = 0) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, a, b, c, d);
  return buffer;
}

}  // namespace

// ------------------------------------------------------------ header records

std::int32_t TDBISAMTableInfo::RecordCount() const { return DecodeSigned32(&Raw[kRecordCountOffset]); }
std::uint16_t TDBISAMTableInfo::RecordSize() const { return DecodeFixed16(&Raw[kRecordSizeOffset]); }
std::uint16_t TDBISAMTableInfo::FieldCount() const { return DecodeFixed16(&Raw[kFieldCountOffset]); }
std::int32_t TDBISAMTableInfo::BlobBlockSize() const { return DecodeSigned32(&Raw[kBlobBlockSizeOffset]); }
std::string TDBISAMTableInfo::Description() const {
  return ReadText(Raw.data(), Raw.size(), kDescriptionOffset, kDescriptionMax);
}

std::string TDBISAMFieldInfo::Name() const { return ReadText(Raw.data(), Raw.size(), kFieldNameOffset, kFieldNameMax); }
std::uint16_t TDBISAMFieldInfo::Size() const { return DecodeFixed16(&Raw[kSizeOffset]); }
std::uint16_t TDBISAMFieldInfo::PhysicalSize() const { return DecodeFixed16(&Raw[kPhysicalSizeOffset]); }
std::uint16_t TDBISAMFieldInfo::Offset() const { return DecodeFixed16(&Raw[kFieldOffsetOffset]); }

TZeDBISAMTable::TZeDBISAMTable(TComponent* owner) : TSpreadSheet(owner), Fields(kMaxFields) {}

TDBISAMCryptoHooks& CryptoHooks() {
  static TDBISAMCryptoHooks hooks;
  return hooks;
}

// ------------------------------------------------------------ the reader

TDBISAM::TDBISAM(TComponent* owner) : TSpreadSheetFile(owner) {
  Sheets.SheetClass = [] { return std::make_unique<TZeDBISAMTable>(); };
  ReadOnDemand = true;
  NameKind = nkFieldName;
}

TDBISAM::~TDBISAM() {
  if (ReadOnDemand) CloseLoad();
}

TZeDBISAMTable& TDBISAM::Table() { return static_cast<TZeDBISAMTable&>(Sheets.SheetAt(0)); }

void TDBISAM::ResetLoad() {
  TSpreadSheetFile::ResetLoad();
  Password.clear();
  StoredPassword.clear();
  // The BLOB file belongs to the table loaded before; the new table opens its
  // own when it first needs it.
  blob_file_.Close();
  LoadReport = TDBISAMLoadReport{};
  TZeDBISAMTable& table = Table();
  table.Caption = ExtractFileName(FileName);
  // When records of every status are loaded, each record becomes a row and
  // the header's counts are the sheet's extent; otherwise the sheet tracks
  // the extent of the rows that it really receives.
  table.Cells.TrackUsedExtent =
      !(LoadRowStatutes.Contains(rsNormal) && LoadRowStatutes.Contains(rsDeleted) &&
        LoadRowStatutes.Contains(rsError));
}

void TDBISAM::CloseLoad() {
  DataStream = nullptr;
  blob_file_.Close();
}

bool TDBISAM::IsEncrypted() { return Table().Info.Encrypted(); }

void TDBISAM::GetTableInfo(TDBISAMTableInfo& info) { info = Table().Info; }

std::span<const TDBISAMFieldInfo> TDBISAM::FieldInfos() {
  TZeDBISAMTable& table = Table();
  return std::span<const TDBISAMFieldInfo>(table.Fields).first(
      std::min<std::size_t>(table.Info.FieldCount(), table.Fields.size()));
}

void TDBISAM::GetFieldInfo(std::int32_t index, TDBISAMFieldInfo& field) {
  TZeDBISAMTable& table = Table();
  if (index < 0 || static_cast<std::size_t>(index) >= table.Fields.size()) {
    field = TDBISAMFieldInfo{};
    return;
  }
  field = table.Fields[static_cast<std::size_t>(index)];
}

std::string TDBISAM::FieldTypeName(std::uint8_t field_type, std::uint8_t sub_type_index) {
  static constexpr const char* kNames[] = {
      "Unknow", "String", "Date", "BLOB", "Boolean", "Short Integer", "Integer", "Float", "BCD",
      "Bytes", "Time", "Time Stamp", "Unsigned Short Integer", "Unsigned Integer", "Double",
      "Var Bytes", "Lock Info", "Cursor", "Large Integer", "Unsigned Large Integer", "ADT", "Array",
      "Reference", "Table"};
  if (field_type == kInteger && sub_type_index == kAutoIncSubTypeIndex) return "AutoInc";
  if (field_type == kFloat && sub_type_index == kCurrencySubTypeIndex) return "Currency";
  if (field_type >= std::size(kNames)) return "Unknow";
  return kNames[field_type];
}

std::uint8_t TDBISAM::SubTypeIndex(std::uint8_t sub_type) {
  for (std::size_t i = 0; i < SubTypeCodes.size(); ++i) {
    if (SubTypeCodes[i] == sub_type) return static_cast<std::uint8_t>(i);
  }
  return 0;
}

std::int32_t TDBISAM::ColumnIndex(const std::string& name) {
  TZeDBISAMTable& table = Table();
  const std::size_t count = std::min<std::size_t>(table.Info.FieldCount(), table.Fields.size());
  for (std::size_t i = 0; i < count; ++i) {
    if (EqualsIgnoreAsciiCase(table.Fields[i].Name(), name)) return static_cast<std::int32_t>(i);
  }
  return TSpreadSheetFile::ColumnIndex(name);
}

void TDBISAM::GetColumnNames(TStringList& list, const std::string& names) {
  TSpreadSheetFile::GetColumnNames(list, names);
  TZeDBISAMTable& table = Table();
  const std::size_t count = std::min<std::size_t>(table.Info.FieldCount(), table.Fields.size());
  for (std::size_t i = 0; i < count; ++i) list.emplace_back(table.Fields[i].Name(), static_cast<std::int32_t>(i));
}

void TDBISAM::Decrypt(std::uint8_t* data, std::size_t size, bool a, bool b, bool c) {
  if (Table().Info.Encrypted() && CryptoHooks().DecryptProc) CryptoHooks().DecryptProc(this, data, size, a, b, c);
}

bool TDBISAM::CheckPassword() {
  TDBISAMCryptoHooks& hooks = CryptoHooks();
  const bool legacy = Table().Info.Version() < kFirstCurrentVersion;
  bool go_on = true;
  bool accepted = false;
  while (!accepted && go_on) {
    if (OnPassword) {
      OnPassword(this, Password, go_on);
    } else if (hooks.DefaultPasswordHandler) {
      hooks.DefaultPasswordHandler(this, Password, go_on);
    } else {
      go_on = false;
    }
    if (go_on && legacy && Password == StoredPassword) {
      accepted = true;
    } else if (go_on && hooks.DigestProc) {
      std::array<std::uint8_t, 16> digest{};
      hooks.DigestProc(this, Password, digest);
      if (hooks.KeySetupProc) hooks.KeySetupProc(this, digest);
      std::array<std::uint8_t, 16> check{};
      std::memcpy(check.data(), &Table().Info.Raw[kPasswordCheckOffset], check.size());
      if (hooks.DecryptProc) hooks.DecryptProc(this, check.data(), check.size(), false, false, false);
      accepted = check == digest;
    }
  }
  return accepted;
}

void TDBISAM::ReadHeader(Stream& stream) {
  TDBISAMTableInfo& info = Table().Info;
  std::uint8_t probe[kVersionOffset + 1] = {};
  ReadZeroFilled(stream, probe, sizeof probe);
  stream.SetPosition(0);
  info.Raw.fill(0);
  const std::uint8_t version = probe[kVersionOffset];
  if (version >= kFirstCurrentVersion) {
    ReadZeroFilled(stream, info.Raw.data(), info.Raw.size());
    return;
  }
  std::uint8_t old[kLegacyHeaderSize];
  ReadZeroFilled(stream, old, sizeof old);
  std::uint8_t* raw = info.Raw.data();
  ConvertLegacy(kLegacyHeaderMembers, version, old, sizeof old, raw);
  // The computed members (see table_format.h).
  const std::uint32_t legacy_count = DecodeFixed32(old + kLegacyRecordCountOffset);
  EncodeFixed32(raw + kRecordCountOffset, legacy_count - 1u);
  if (version < kLegacyLateMembersVersion) {
    EncodeFixed32(raw + kHeaderMember55Offset, DecodeFixed16(old + kLegacyMember25Offset) - legacy_count - 1u);
  }
  EncodeFixed32(raw + kHeaderMember59Offset, kLegacyMember59Value);
  StoredPassword = ReadText(old, sizeof old, kLegacyStoredPasswordOffset, kLegacyStoredPasswordMax);
  if (info.Encrypted() && CryptoHooks().DecryptProc && !StoredPassword.empty()) {
    Decrypt(reinterpret_cast<std::uint8_t*>(StoredPassword.data()), StoredPassword.size());
  }
}

void TDBISAM::ValidateShape() {
  const TDBISAMTableInfo& info = Table().Info;
  if (info.RecordSize() < kMinRecordSize || info.RecordSize() > kMaxRecordSize) {
    throw EZelFileException(Format("Invalid table: the record size %lld is outside %lld to %lld.", info.RecordSize(),
                                   kMinRecordSize, kMaxRecordSize));
  }
  if (info.FieldCount() > kMaxFields) {
    throw EZelFileException(
        Format("Invalid table: %lld fields exceed the limit of %lld.", info.FieldCount(), kMaxFields));
  }
}

void TDBISAM::ReadDescriptors(Stream& stream) {
  TZeDBISAMTable& table = Table();
  const std::uint8_t version = table.Info.Version();
  const std::size_t count = table.Info.FieldCount();
  if (version >= kFirstCurrentVersion) {
    std::vector<std::uint8_t> block(count * kDescriptorSize);
    ReadZeroFilled(stream, block.data(), block.size());
    Decrypt(block.data(), block.size());
    for (std::size_t i = 0; i < count; ++i) {
      std::memcpy(table.Fields[i].Raw.data(), block.data() + i * kDescriptorSize, kDescriptorSize);
    }
  }
  const bool old = version < kFirstLegacyDescriptorVersion;
  const std::size_t legacy_size = old ? kOldDescriptorSize : kLegacyDescriptorSize;
  const std::span<const LegacyMember> members = old ? std::span<const LegacyMember>(kOldDescriptorMembers)
                                                    : std::span<const LegacyMember>(kLegacyDescriptorMembers);
  std::uint8_t legacy[kLegacyDescriptorSize];
  for (std::size_t i = 0; i < count; ++i) {
    TDBISAMFieldInfo& field = table.Fields[i];
    if (version < kFirstCurrentVersion) {
      field.Raw.fill(0);
      ReadZeroFilled(stream, legacy, legacy_size);
      Decrypt(legacy, legacy_size);
      std::uint8_t* raw = field.Raw.data();
      ConvertLegacy(members, version, legacy, legacy_size, raw);
      // Legacy BLOB fields keep only the sub-types that still mean something
      // for them: memo and graphic, and codes outside the sub-type table
      // (index 0).  Any other sub-type is dropped.
      if (field.FieldType() == kBlob) {
        const std::uint8_t index = SubTypeIndex(field.SubType());
        if (index != 0 && index != kMemoSubTypeIndex && index != kGraphicSubTypeIndex) raw[kSubTypeOffset] = 0;
      }
      EncodeFixed16(raw + kPhysicalSizeOffset, LegacyPhysicalSize(field.FieldType(), field.Size()));
    }
    if (OnColumnWidth) OnColumnWidth(this, 0, static_cast<std::int32_t>(i), field.PhysicalSize());
  }
}

void TDBISAM::PlanFields() {
  TZeDBISAMTable& table = Table();
  const std::size_t count = table.Info.FieldCount();
  const std::size_t record_size = table.Info.RecordSize();
  const bool legacy = table.Info.Version() < kFirstCurrentVersion;
  plans_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    const TDBISAMFieldInfo& field = table.Fields[i];
    FieldPlan plan{};
    const std::uint8_t type = field.FieldType();
    plan.presence = field.Offset();
    plan.always_present = type == kInteger && SubTypeIndex(field.SubType()) == kAutoIncSubTypeIndex;
    // Auto-increment values of legacy tables start at the presence byte itself.
    const std::size_t start = field.Offset() + (plan.always_present && legacy ? 0 : 1);
    plan.width = UsedWidth(type, field.PhysicalSize());
    plan.kind = PlanValueKind(type, plan.width);
    // The one check that makes every later read of the field's bytes safe.
    if (start + plan.width > record_size || plan.presence >= record_size) {
      throw EZelFileException(Format(
          "Invalid table: field %lld at offset %lld with %lld bytes reaches beyond the record size %lld.",
          static_cast<long long>(i + 1), field.Offset(), field.PhysicalSize(), static_cast<long long>(record_size)));
    }
    plan.start = static_cast<std::uint16_t>(start);
    plans_.push_back(plan);
  }
  record_.assign(record_size, 0);
  values_.assign(count, Variant());
  decoded_.assign(count, 0);
  record_count_ = table.Info.RecordCount();
  decrypt_records_ = table.Info.Encrypted() && CryptoHooks().DecryptProc;
}

void TDBISAM::ParseStream(Stream& stream) {
  try {
    ResetLoad();
    Table();
    ReadHeader(stream);
    const TDBISAMTableInfo& info = Table().Info;
    CheckFileHolds(stream, HeaderSize(info.Version()), "its header needs");
    if (OnDimensions) OnDimensions(this, 0, 0, info.RecordCount(), 0, info.FieldCount());
    if (info.Encrypted()) {
      if (info.Version() >= kFirstCurrentVersion && CryptoHooks().DigestProc) {
        std::array<std::uint8_t, 16> digest{};
        CryptoHooks().DigestProc(this, "DBISAM_SIG", digest);
        if (std::memcmp(digest.data(), &info.Raw[kSignatureOffset], digest.size()) != 0) {
          throw EZelInvalidSignatureException("File signature is not correct. Possible bad file.");
        }
      }
      if (!CheckPassword()) throw EZelCryptException("This file is encrypted but valid password is not specified.");
    }
    ValidateShape();
    CheckFileHolds(stream, HeaderSize(info.Version()) + info.FieldCount() * DescriptorSize(info.Version()),
                   "its header and " + std::to_string(info.FieldCount()) + " field descriptors need");
    ReadDescriptors(stream);
    PlanFields();
    LocateBlobFile();
    DataStream = &stream;
    data_start_ = stream.Position();
    if (!ReadOnDemand) {
      // A whole load reads records while the stream has bytes left, so a
      // last record cut short is still read (its missing bytes as zeros).
      // The test for the end of the range comes after the read: the record
      // numbered LastRow + 1 is read too, and then the loop stops.
      std::int32_t row = 0, index = 0;
      while (stream.Position() < stream.Size()) {
        if (ReadRecord(index, row)) ++row;
        if (index > LoadRange.LastRow) break;
        ++index;
      }
      CloseLoad();
    }
  } catch (...) {
    if (!ReadOnDemand) CloseLoad();
    throw;
  }
}

void TDBISAM::LoadFromFile(const std::string& name) {
  TSpreadSheetFile::LoadFromFile(name);
  FileStream stream(name, FileStream::Mode::kOpenRead);
  stream.SetPosition(0);
  try {
    ParseStream(stream);
  } catch (...) {
    DataStream = nullptr;
    throw;
  }
  DataStream = nullptr;
}

// ------------------------------------------------------------ records

bool TDBISAM::ReadRecord(std::int32_t index, std::int32_t row) {
  CurrentRecord = index;
  if (DataStream == nullptr || record_.empty()) return false;
  if (OnLoadProgress) DoLoadProgress(index, record_count_);
  const std::int64_t size = static_cast<std::int64_t>(record_.size());
  record_number_ = (DataStream->Position() - data_start_) / size + 1;
  const std::size_t got = ReadZeroFilled(*DataStream, record_.data(), record_.size());
  ++record_serial_;
  if (got < record_.size() && got > 0) {
    LoadReport.PartialRecord = record_number_;
    LoadReport.PartialRecordBytes = static_cast<std::int64_t>(got);
  }
  if (decrypt_records_) Decrypt(record_.data(), record_.size());
  const std::uint8_t status_byte = record_[0];
  const TZelRowStatus status = status_byte == kStatusDeleted   ? rsDeleted
                               : status_byte == kStatusDamaged ? rsError
                                                               : rsNormal;
  ++(status == rsDeleted ? LoadReport.Deleted : status == rsError ? LoadReport.Damaged : LoadReport.Normal);
  if (!LoadRowStatutes.Contains(status)) return false;
  if (!OnCellValue) return true;
  for (std::size_t i = 0; i < plans_.size(); ++i) {
    if (i < ReportedFields.size() && !ReportedFields[i]) continue;
    DeliverField(row, static_cast<std::int32_t>(i), plans_[i]);
  }
  SetRowStatus(0, row, status);
  return true;
}

void TDBISAM::DeliverField(std::int32_t row, std::int32_t column, const FieldPlan& plan) {
  Variant& value = values_[static_cast<std::size_t>(column)];
  const CellLook look = DecodeField(plan, value);
  OnCellValue(this, 0, row, column, 0, value, look.alignment, look.cell_type);
}

CellLook TDBISAM::DecodeField(const FieldPlan& plan, Variant& value) {
  // Any presence byte but 1 means no value, except for auto-increment
  // fields, which always have one.
  return !plan.always_present && record_[plan.presence] != kPresent ? SetNullValue(value) : DecodeValue(plan, value);
}

const Variant& TDBISAM::ColumnValue(std::int32_t column) {
  static const Variant kNoValue = Variant::Null();
  if (column < 0 || static_cast<std::size_t>(column) >= plans_.size()) return kNoValue;
  const auto i = static_cast<std::size_t>(column);
  Variant& value = values_[i];
  if (decoded_[i] != record_serial_) {
    DecodeField(plans_[i], value);
    decoded_[i] = record_serial_;
  }
  return value;
}

CellLook TDBISAM::DecodeValue(const FieldPlan& plan, Variant& out) {
  // PlanFields made sure that these bytes lie inside the record.
  const FieldBytes bytes(record_.data() + plan.start, plan.width);
  if (plan.kind == ValueKind::kBlob) return DecodeBlobField(bytes, out);
  return DecodeFieldValue(plan.kind, bytes, out);
}

CellLook TDBISAM::DecodeBlobField(FieldBytes bytes, Variant& out) {
  const std::int64_t block = DecodeBlobReference(bytes);
  if (block < 1) return SetNullValue(out);
  if (!ParseItems.Contains(ipiBLOB)) {  // the block number stands for the contents
    out.SetInteger64(block);
    return {taLeftJustify, ictInteger};
  }
  if (block > INT32_MAX) {  // no BLOB file can hold it
    out.AssignString("", 0);
    LoadReport.BlobDamaged.Add(record_number_);
  } else {
    // The contents go straight into the value's own string, whose capacity
    // is reused from record to record.
    if (!out.IsString()) out.AssignString("", 0);
    GetBlobText(static_cast<std::int32_t>(block), 0, out.MutableString());
  }
  return {taLeftJustify, ictMemo};
}

// ------------------------------------------------------------ BLOB file

std::string TDBISAM::BlobFileName(const std::string& table_file_name) {
  return ChangeFileExtension(table_file_name, ".blb");
}

namespace {

// ".blb" in the letter case of a three-letter extension: ".DAT" gives ".BLB",
// ".Dat" ".Blb"; empty for any other extension.
std::string BlobExtensionLike(const std::string& table_file_name) {
  const std::string extension = ExtractFileName(table_file_name);
  const std::size_t dot = extension.rfind('.');
  if (dot == std::string::npos || extension.size() - dot != 4) return {};
  std::string cased = ".blb";
  for (std::size_t i = 1; i < 4; ++i) {
    const char c = extension[dot + i];
    if (c >= 'A' && c <= 'Z') cased[i] = UpperAscii(cased[i]);
  }
  return cased;
}

}  // namespace

std::string TDBISAM::FindBlobFile(const std::string& table_file_name) {
  const std::string derived = BlobFileName(table_file_name);
  if (FileExists(derived)) return derived;
  const std::string cased = BlobExtensionLike(table_file_name);
  if (!cased.empty() && FileExists(ChangeFileExtension(table_file_name, cased))) {
    return ChangeFileExtension(table_file_name, cased);
  }
  const std::size_t name_start = table_file_name.find_last_of(kPathSeparators);
  const std::string folder = name_start == std::string::npos ? std::string() : table_file_name.substr(0, name_start + 1);
  std::vector<std::string> found = FilesNamedIgnoringCase(folder, ExtractFileName(derived));
  if (found.size() == 1) return folder + found.front();
  if (found.empty()) return derived;
  std::sort(found.begin(), found.end());
  std::string names;
  for (const std::string& name : found) names += (names.empty() ? "" : ", ") + name;
  throw EZelFileException("Several files could be the BLOB file of " + ExtractFileName(table_file_name) + ": " + names +
                          ". Keep the right one as " + ExtractFileName(derived) + " and move the others away.");
}

void TDBISAM::LocateBlobFile() {
  blob_file_name_.clear();
  const bool has_blobs = std::any_of(plans_.begin(), plans_.end(),
                                     [](const FieldPlan& plan) { return plan.kind == ValueKind::kBlob; });
  if (has_blobs && !FileName.empty()) blob_file_name_ = FindBlobFile(FileName);
}

bool TDBISAM::OpenBlobFile() {
  // While the file is missing, every BLOB read looks for it again.
  if (blob_file_.IsOpen()) return true;
  const TDBISAMTableInfo& info = Table().Info;
  return blob_file_.Open(
      blob_file_name_.empty() ? BlobFileName(FileName) : blob_file_name_, info.Version(), info.BlobBlockSize(),
      [this](std::uint8_t* data, std::size_t size) { Decrypt(data, size); }, BlobHeader);
}

void TDBISAM::GetBlobText(std::int32_t block_no, std::int32_t, std::string& text) {
  text.clear();
  if (block_no < 1) return;
  if (!OpenBlobFile()) {
    LoadReport.BlobMissing.Add(record_number_);
    return;
  }
  if (!blob_file_.ReadChain(block_no, text)) LoadReport.BlobDamaged.Add(record_number_);
}

FieldBytes TDBISAM::ValueBytes(std::int32_t column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= plans_.size()) return {};
  const FieldPlan& plan = plans_[static_cast<std::size_t>(column)];
  return FieldBytes(record_.data() + plan.start, plan.width);
}

std::int64_t TDBISAM::RecordsInFile() const {
  if (DataStream == nullptr || record_.empty()) return 0;
  return std::max<std::int64_t>(0, DataStream->Size() - data_start_) / static_cast<std::int64_t>(record_.size());
}

void TDBISAM::SeekRecord(std::int64_t n) {
  if (DataStream == nullptr) return;
  DataStream->SetPosition(std::min(RecordPosition(n), DataStream->Size()));
}

bool TDBISAM::MoreRecords() {
  if (DataStream == nullptr || record_.empty()) return false;
  const std::int64_t left = DataStream->Size() - DataStream->Position();
  if (left > 1) return true;
  // A single byte is a record cut short too, though not worth reading.
  if (left == 1 && record_.size() > 1) {
    LoadReport.PartialRecord = (DataStream->Position() - data_start_) / static_cast<std::int64_t>(record_.size()) + 1;
    LoadReport.PartialRecordBytes = left;
  }
  return false;
}

}  // namespace tabdump
