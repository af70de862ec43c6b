#include "dbisam/table_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "dbisam/coding.h"
#include "runtime/ascii_case.h"
#include "runtime/console.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/exceptions.h"

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

void CopyBytes(const std::uint8_t* source, std::size_t from, std::size_t count, std::uint8_t* dest) {
  std::memcpy(dest, source + from, count);
}

// Reads as many bytes as are there; the rest of `size` stays zero.  Returns
// the number of bytes read.
std::size_t ReadZeroFilled(Stream& stream, std::uint8_t* buffer, std::size_t size) {
  const std::size_t got = stream.Read(buffer, size);
  if (got < size) std::memset(buffer + got, 0, size - got);
  return got;
}

// The number of value bytes a type uses; a larger PhysicalSize is ignored.
std::uint16_t UsedWidth(std::uint8_t type, std::uint16_t physical_size) {
  std::uint16_t limit = physical_size;
  switch (type) {
    case kBoolean: limit = 1; break;
    case kDate: case kTime: case kShortInteger: case kInteger: case kUnsignedShortInteger:
    case kUnsignedInteger: case kBlob: limit = 4; break;
    case kFloat: case kTimeStamp: case kLargeInteger: case kUnsignedLargeInteger: limit = 8; break;
    case kBcd: limit = static_cast<std::uint16_t>(kBcdWidth); break;
    default: break;
  }
  return std::min(limit, physical_size);
}

std::uint16_t LegacyPhysicalSize(std::uint8_t type, std::uint16_t size) {
  switch (type) {
    case kString: return static_cast<std::uint16_t>(size + 1);
    case kDate: case kInteger: case kTime: return 4;
    case kBlob: case kFloat: case kTimeStamp: case kLargeInteger: return 8;
    case kBoolean: case kShortInteger: case kUnsignedShortInteger: return 2;
    case kBcd: return static_cast<std::uint16_t>(kBcdWidth);
    default: return size;
  }
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
  return ReadText(Raw.data(), Raw.size(), kDescriptionOffset, 100);
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
  blob_stream_.reset();
  TZeDBISAMTable& table = Table();
  table.Caption = ExtractFileName(FileName);
  table.Cells.TrackUsedExtent =
      !(LoadRowStatutes.Contains(rsNormal) && LoadRowStatutes.Contains(rsDeleted) &&
        LoadRowStatutes.Contains(rsError));
}

void TDBISAM::CloseLoad() {
  DataStream = nullptr;
  blob_stream_.reset();
}

bool TDBISAM::IsEncrypted() { return Table().Info.Encrypted(); }

void TDBISAM::GetTableInfo(TDBISAMTableInfo& info) { info = Table().Info; }

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
  const bool legacy = Table().Info.Version() < 6;
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
  if (version >= 6) {
    ReadZeroFilled(stream, info.Raw.data(), info.Raw.size());
    return;
  }
  // The legacy header, member by member into the current layout.
  std::uint8_t old[kLegacyHeaderSize];
  ReadZeroFilled(stream, old, sizeof old);
  std::uint8_t* raw = info.Raw.data();
  CopyBytes(old, 0, 4, raw + 0);
  raw[kVersionOffset] = old[8];
  CopyBytes(old, 9, 4, raw + 25);
  CopyBytes(old, 13, 4, raw + 29);
  CopyBytes(old, 17, 4, raw + 33);
  // Legacy headers count one record more than the table holds.
  EncodeFixed32(raw + kRecordCountOffset, DecodeFixed32(old + 13) - 1u);
  CopyBytes(old, 21, 2, raw + kRecordSizeOffset);
  CopyBytes(old, 23, 2, raw + kFieldCountOffset);
  CopyBytes(old, 25, 2, raw + 49);
  CopyBytes(old, 4, 4, raw + kBlobBlockSizeOffset);
  if (version < 4) {
    EncodeFixed32(raw + 55, DecodeFixed16(old + 25) - DecodeFixed32(old + 13) - 1u);
  } else {
    CopyBytes(old, 112, 4, raw + 55);
  }
  EncodeFixed32(raw + 59, 4096);
  CopyBytes(old, 27, 8, raw + 63);
  CopyText(old, sizeof old, 35, raw + kDescriptionOffset, 100);
  raw[kEncryptedOffset] = old[kLegacyEncryptedOffset];
  CopyBytes(old, 103, 4, raw + 189);
  CopyBytes(old, 107, 2, raw + 193);
  CopyBytes(old, 109, 2, raw + 195);
  raw[197] = old[111];
  StoredPassword = ReadText(old, sizeof old, kLegacyStoredPasswordOffset, 255);
  if (info.Encrypted() && CryptoHooks().DecryptProc && !StoredPassword.empty()) {
    Decrypt(reinterpret_cast<std::uint8_t*>(StoredPassword.data()), StoredPassword.size());
  }
}

void TDBISAM::ValidateShape() {
  const TDBISAMTableInfo& info = Table().Info;
  if (info.RecordSize() == 0 || info.RecordSize() > kMaxRecordSize) {
    throw EZelFileException(Format("Invalid table: the record size %lld is outside 1 to 32768.", info.RecordSize()));
  }
  if (info.FieldCount() > kMaxFields) {
    throw EZelFileException(Format("Invalid table: %lld fields exceed the limit of 1025.", info.FieldCount()));
  }
}

void TDBISAM::ReadDescriptors(Stream& stream) {
  TZeDBISAMTable& table = Table();
  const std::uint8_t version = table.Info.Version();
  const std::size_t count = table.Info.FieldCount();
  if (version >= 6) {
    std::vector<std::uint8_t> block(count * kDescriptorSize);
    ReadZeroFilled(stream, block.data(), block.size());
    Decrypt(block.data(), block.size());
    for (std::size_t i = 0; i < count; ++i) {
      std::memcpy(table.Fields[i].Raw.data(), block.data() + i * kDescriptorSize, kDescriptorSize);
    }
  }
  const bool old = version <= 2;
  const std::size_t legacy_size = old ? kOldDescriptorSize : kLegacyDescriptorSize;
  std::uint8_t legacy[kLegacyDescriptorSize];
  for (std::size_t i = 0; i < count; ++i) {
    TDBISAMFieldInfo& field = table.Fields[i];
    if (version < 6) {
      field.Raw.fill(0);
      ReadZeroFilled(stream, legacy, legacy_size);
      Decrypt(legacy, legacy_size);
      std::uint8_t* raw = field.Raw.data();
      CopyBytes(legacy, 0, 2, raw + 0);
      CopyText(legacy, legacy_size, 2, raw + kFieldNameOffset, kFieldNameMax);
      CopyText(legacy, legacy_size, 33, raw + kFieldDescriptionOffset, 100);
      raw[kFieldTypeOffset] = legacy[84];
      raw[kSubTypeOffset] = legacy[85];
      EncodeFixed16(raw + kSizeOffset, legacy[86]);
      raw[168] = legacy[87];
      raw[171] = raw[168];
      CopyBytes(legacy, old ? 88 : 90, 2, raw + kFieldOffsetOffset);
      raw[174] = legacy[old ? 90 : 92];
      raw[175] = (version == 4 || version == 5) ? legacy[93] : 0;
      CopyText(legacy, legacy_size, old ? 92 : 94, raw + 176, 100);
      CopyText(legacy, legacy_size, old ? 143 : 145, raw + 277, 100);
      CopyText(legacy, legacy_size, old ? 194 : 196, raw + 378, 100);
      // Legacy BLOB fields keep only the sub-types that still mean something.
      if (field.FieldType() == kBlob) {
        const std::uint8_t index = SubTypeIndex(field.SubType());
        if (index != 0 && index != 3 && index != 7) raw[kSubTypeOffset] = 0;
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
  const bool legacy = table.Info.Version() < 6;
  plans_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    const TDBISAMFieldInfo& field = table.Fields[i];
    FieldPlan plan{};
    plan.type = field.FieldType();
    plan.presence = field.Offset();
    plan.always_present = plan.type == kInteger && SubTypeIndex(field.SubType()) == kAutoIncSubTypeIndex;
    // Auto-increment values of legacy tables start at the presence byte itself.
    const std::size_t start = field.Offset() + (plan.always_present && legacy ? 0 : 1);
    plan.width = UsedWidth(plan.type, field.PhysicalSize());
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
  record_count_ = table.Info.RecordCount();
  decrypt_records_ = table.Info.Encrypted() && CryptoHooks().DecryptProc;
}

void TDBISAM::ParseStream(Stream& stream) {
  try {
    ResetLoad();
    Table();
    ReadHeader(stream);
    const TDBISAMTableInfo& info = Table().Info;
    if (OnDimensions) OnDimensions(this, 0, 0, info.RecordCount(), 0, info.FieldCount());
    if (info.Encrypted()) {
      if (info.Version() >= 6 && CryptoHooks().DigestProc) {
        std::array<std::uint8_t, 16> digest{};
        CryptoHooks().DigestProc(this, "DBISAM_SIG", digest);
        if (std::memcmp(digest.data(), &info.Raw[kSignatureOffset], digest.size()) != 0) {
          throw EZelInvalidSignatureException("File signature is not correct. Possible bad file.");
        }
      }
      if (!CheckPassword()) throw EZelCryptException("This file is encrypted but valid password is not specified.");
    }
    ValidateShape();
    ReadDescriptors(stream);
    PlanFields();
    DataStream = &stream;
    if (!ReadOnDemand) {
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
  FileStream stream(name, FileStream::Mode::OpenRead);
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
  ReadZeroFilled(*DataStream, record_.data(), record_.size());
  if (decrypt_records_) Decrypt(record_.data(), record_.size());
  const std::uint8_t status_byte = record_[0];
  const TZelRowStatus status = status_byte == kStatusDeleted   ? rsDeleted
                               : status_byte == kStatusDamaged ? rsError
                                                               : rsNormal;
  if (!LoadRowStatutes.Contains(status)) return false;
  if (!OnCellValue) return true;
  for (std::size_t i = 0; i < plans_.size(); ++i) DeliverField(row, static_cast<std::int32_t>(i), plans_[i]);
  SetRowStatus(0, row, status);
  return true;
}

void TDBISAM::DeliverField(std::int32_t row, std::int32_t column, const FieldPlan& plan) {
  Variant& value = values_[static_cast<std::size_t>(column)];
  TAlignment alignment = taLeftJustify;
  TZelCellType cell_type = ictEmpty;
  if (!plan.always_present && record_[plan.presence] != kPresent) {
    value.SetNull();
  } else {
    DecodeValue(plan, record_.data() + plan.start, value, alignment, cell_type);
  }
  OnCellValue(this, 0, row, column, 0, value, alignment, cell_type);
}

void TDBISAM::DecodeValue(const FieldPlan& plan, const std::uint8_t* p, Variant& out, TAlignment& alignment,
                          TZelCellType& cell_type) {
  auto set_null = [&] {
    out.SetNull();
    alignment = taLeftJustify;
    cell_type = ictEmpty;
  };
  const std::size_t width = plan.width;
  const std::uint64_t raw = DecodeZeroExtended(p, width);
  switch (plan.type) {
    case kString: {
      const void* zero = std::memchr(p, 0, width);
      const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - p) : width;
      out.AssignString(reinterpret_cast<const char*>(p), n);
      cell_type = ictString;
      return;
    }
    case kDate: {
      std::int64_t day = static_cast<std::int32_t>(static_cast<std::uint32_t>(raw));
      if (width == 2) day = static_cast<std::int16_t>(static_cast<std::uint16_t>(raw));
      // Zero means no date; a day outside 0001-01-01..9999-12-31 has no date-time.
      if (day < kMinDayNumber || day > kMaxDayNumber) return set_null();
      out.SetDateTime(DateTimeFromDayMs(day, 0));
      cell_type = ictDateTime;
      return;
    }
    case kBlob: {
      if (width == 0) return set_null();
      std::int64_t block = static_cast<std::int32_t>(static_cast<std::uint32_t>(raw));
      if (block < 0) block = -block;
      if (block < 1) return set_null();
      if (!ParseItems.Contains(ipiBLOB)) {
        out.SetInteger64(block);
        cell_type = ictInteger;
        return;
      }
      if (block > INT32_MAX) {  // no BLOB file can hold it
        out.AssignString("", 0);
      } else {
        if (!out.IsString()) out.AssignString("", 0);
        GetBlobText(static_cast<std::int32_t>(block), 0, out.MutableString());
      }
      cell_type = ictMemo;
      return;
    }
    case kBoolean:
      if (width == 0) return set_null();
      out.SetBoolean(p[0] != 0);
      cell_type = ictBoolean;
      return;
    case kShortInteger:
      out.SetInteger(static_cast<std::int16_t>(static_cast<std::uint16_t>(raw)));
      break;
    case kInteger:
      out.SetInteger(static_cast<std::int32_t>(static_cast<std::uint32_t>(raw)));
      break;
    case kUnsignedShortInteger:
      out.SetInteger(static_cast<std::uint16_t>(raw));
      break;
    case kUnsignedInteger:
      out.SetInteger64(static_cast<std::uint32_t>(raw));
      break;
    case kLargeInteger:
      out.SetInteger64(static_cast<std::int64_t>(raw));
      break;
    case kUnsignedLargeInteger:
      if (raw > static_cast<std::uint64_t>(INT64_MAX)) {
        std::string digits = std::to_string(raw);
        out.AssignString(digits.data(), digits.size());
      } else {
        out.SetInteger64(static_cast<std::int64_t>(raw));
      }
      break;
    case kFloat:
      out.SetDouble(std::bit_cast<double>(raw));
      alignment = taRightJustify;
      cell_type = ictDecimal;
      return;
    case kDouble:
      if (width != 8) goto raw_bytes;
      out.SetDouble(std::bit_cast<double>(raw));
      alignment = taRightJustify;
      cell_type = ictDecimal;
      return;
    case kBcd: {
      std::array<std::uint8_t, kBcdWidth> bcd{};
      std::memcpy(bcd.data(), p, width);
      Currency amount;
      if (BcdToCurrency(BcdBytes(bcd), amount)) {
        out.SetCurrency(amount);
      } else {
        std::string text = BcdToText(BcdBytes(bcd), Settings().decimal_separator);
        out.AssignString(text.data(), text.size());
      }
      cell_type = ictDecimal;
      return;
    }
    case kTime:
      out.SetDateTime(static_cast<double>(static_cast<std::uint32_t>(raw)) / static_cast<double>(kMsPerDay));
      cell_type = ictDateTime;
      return;
    case kTimeStamp: {
      const double ms = RoundHalfEven(std::bit_cast<double>(raw));
      const double limit = static_cast<double>(kMaxDayNumber + 1LL) * static_cast<double>(kMsPerDay);
      if (!(ms >= 0 && ms < limit)) return set_null();
      const auto total = static_cast<std::int64_t>(ms);
      const std::int64_t day = total / kMsPerDay;
      if (day < kMinDayNumber) return set_null();
      out.SetDateTime(DateTimeFromDayMs(day, total % kMsPerDay));
      cell_type = ictDateTime;
      return;
    }
    default:
    raw_bytes:
      out.AssignString(reinterpret_cast<const char*>(p), width);
      cell_type = ictString;
      return;
  }
  // The integer kinds.
  alignment = taRightJustify;
  cell_type = ictInteger;
}

// ------------------------------------------------------------ BLOB file

std::string TDBISAM::BlobFileName(const std::string& table_file_name) {
#if defined(_WIN32)
  const char* separators = "\\:";
#else
  const char* separators = "\\:/";
#endif
  const std::size_t dir_end = table_file_name.find_last_of(separators);
  const std::size_t dot = table_file_name.rfind('.');
  if (dot != std::string::npos && (dir_end == std::string::npos || dot > dir_end)) {
    return table_file_name.substr(0, dot) + ".blb";
  }
  return table_file_name + ".blb";
}

bool TDBISAM::OpenBlobFile() {
  if (blob_stream_) return true;
  const std::string name = BlobFileName(FileName);
  if (!FileExists(name)) return false;
  const std::int32_t block_size = Table().Info.BlobBlockSize();
  if (block_size < kMinBlobBlockSize || block_size > kMaxBlobBlockSize) {
    throw EZelFileException(Format("Invalid table: the BLOB block size %lld is outside 18 to 32768.", block_size));
  }
  blob_stream_ = std::make_unique<FileStream>(name, FileStream::Mode::OpenRead);
  ReadZeroFilled(*blob_stream_, BlobHeader.data(), BlobHeader.size());
  Decrypt(BlobHeader.data(), BlobHeader.size());
  blob_size_ = blob_stream_->Size();
  block_.assign(static_cast<std::size_t>(block_size), 0);
  return true;
}

std::int64_t TDBISAM::BlobBlockPosition(std::int64_t block) {
  if (Table().Info.Version() >= kFirstNumberedBlobVersion) {
    return static_cast<std::int64_t>(kBlobFileHeaderSize) + (block - 1) * static_cast<std::int64_t>(block_.size());
  }
  return block;
}

bool TDBISAM::ReadBlobBlock(std::int64_t block) {
  const std::int64_t position = BlobBlockPosition(block);
  if (position >= blob_size_) return false;
  blob_stream_->SetPosition(position);
  std::uint8_t* data = block_.data();
  block_read_ = ReadZeroFilled(*blob_stream_, data, block_.size());
  if (Table().Info.Version() >= 6) {
    Decrypt(data, block_.size());
  } else {  // older tables encrypt the block header and the data apart
    Decrypt(data, kBlobBlockHeaderSize);
    Decrypt(data + kBlobBlockHeaderSize, block_.size() - kBlobBlockHeaderSize);
  }
  return true;
}

void TDBISAM::GetBlobText(std::int32_t block_no, std::int32_t, std::string& text) {
  text.clear();
  if (block_no < 1 || !OpenBlobFile()) return;
  if (block_no >= blob_size_ || !ReadBlobBlock(block_no)) return;
  const std::int32_t total = DecodeSigned32(&block_[kBlobTotalLengthOffset]);
  if (total <= 0) return;
  const std::size_t wanted = static_cast<std::size_t>(total);
  // Never trust the total further than the file could supply.
  text.reserve(std::min<std::size_t>(wanted, static_cast<std::size_t>(blob_size_)));
  std::unordered_set<std::int64_t> visited{block_no};
  // Byte-offset block numbers (up to version 4) need not lie a block apart,
  // so a damaged chain can visit overlapping blocks and gather the same
  // bytes again and again.  The blocks of a sound chain never hold more than
  // the whole file, so reading stops once the chain has read that much.
  std::int64_t bytes_read = static_cast<std::int64_t>(block_read_);
  for (;;) {
    // Only data bytes that the file really holds: a block cut short by the
    // end of the file gives no zero padding.
    const std::size_t capacity =
        block_read_ > kBlobBlockHeaderSize ? block_read_ - kBlobBlockHeaderSize : 0;
    const std::size_t count = std::min<std::size_t>(DecodeFixed16(&block_[kBlobDataCountOffset]), capacity);
    if (count == 0) break;
    const std::size_t n = std::min(wanted - text.size(), count);
    text.append(reinterpret_cast<const char*>(block_.data() + kBlobBlockHeaderSize), n);
    if (text.size() >= wanted) break;
    const std::int64_t next = DecodeSigned32(&block_[kBlobNextBlockOffset]);
    if (next < 1 || !visited.insert(next).second || !ReadBlobBlock(next)) break;
    bytes_read += static_cast<std::int64_t>(block_read_);
    if (bytes_read > blob_size_) break;
  }
}

}  // namespace tabdump
