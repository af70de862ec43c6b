// The reader of one DBISAM table: header, field descriptors, records and the
// BLOB file, in every layout that the version byte selects.  It reads the
// blocks and plans each load; decoding a field's bytes is the work of
// dbisam/field_decoding.h, following a BLOB chain that of dbisam/blob_file.h.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cells/reader_base.h"
#include "dbisam/blob_file.h"
#include "dbisam/field_decoding.h"
#include "dbisam/table_format.h"
#include "runtime/stream.h"

namespace tabdump {

// The table header in its current 512-byte layout.
struct TDBISAMTableInfo {
  std::array<std::uint8_t, dbisam_layout::kHeaderSize> Raw{};

  std::uint8_t Version() const { return Raw[dbisam_layout::kVersionOffset]; }
  std::int32_t RecordCount() const;
  std::uint16_t RecordSize() const;
  std::uint16_t FieldCount() const;
  std::int32_t BlobBlockSize() const;
  std::string Description() const;
  bool Encrypted() const { return Raw[dbisam_layout::kEncryptedOffset] != 0; }
};

// One field descriptor in its current 768-byte layout.
struct TDBISAMFieldInfo {
  std::array<std::uint8_t, dbisam_layout::kDescriptorSize> Raw{};

  std::string Name() const;
  std::uint8_t FieldType() const { return Raw[dbisam_layout::kFieldTypeOffset]; }
  std::uint8_t SubType() const { return Raw[dbisam_layout::kSubTypeOffset]; }
  std::uint16_t Size() const;
  std::uint16_t PhysicalSize() const;
  std::uint16_t Offset() const;
};

// The sheet of a loaded table: its header and its field descriptors.
class TZeDBISAMTable : public TSpreadSheet {
 public:
  explicit TZeDBISAMTable(TComponent* owner = nullptr);
  TDBISAMTableInfo Info;
  std::vector<TDBISAMFieldInfo> Fields;  // kMaxFields entries
};

// Asked for a password: put one into `password`, or set `go_on` to false to
// give up.
using TZelOnPasswordEvent = std::function<void(TSpreadSheetFile* sender, std::string& password, bool& go_on)>;

// Optional procedures for encrypted tables.  This program installs none, so
// encrypted tables are refused; they exist so that a build able to decrypt can
// plug them in.
struct TDBISAMCryptoHooks {
  TZelOnPasswordEvent DefaultPasswordHandler;
  std::function<void(TSpreadSheetFile*, const std::string&, std::array<std::uint8_t, 16>&)> DigestProc;
  std::function<void(TSpreadSheetFile*, const std::array<std::uint8_t, 16>&)> KeySetupProc;
  std::function<void(TSpreadSheetFile*, std::uint8_t*, std::size_t, bool, bool, bool)> DecryptProc;
};
TDBISAMCryptoHooks& CryptoHooks();

// Sub-type codes; a sub-type's position in this table is its SubTypeIndex.
inline constexpr std::array<std::uint8_t, 21> SubTypeCodes = {
    0, 1, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 50, 100};

// Something the reader met more than once: how often, and the first record
// (counted from 1 in the table file) it met it in.
struct TDBISAMOccurrences {
  std::int64_t Count = 0;
  std::int64_t FirstRecord = 0;

  void Add(std::int64_t record, std::int64_t times = 1) {
    if (times <= 0) return;
    if (Count == 0) FirstRecord = record;
    Count += times;
  }
};

// What the records of one load held that the values cannot show: what was
// read of each status, and every value or record the format let the reader
// give only in part.  Kept up to date record by record.
struct TDBISAMLoadReport {
  std::int64_t Normal = 0;   // records read, by status
  std::int64_t Deleted = 0;
  std::int64_t Damaged = 0;
  TDBISAMOccurrences BlobMissing;  // BLOB values given empty: no BLOB file
  TDBISAMOccurrences BlobDamaged;  // BLOB values given in part: a damaged chain
  std::int64_t PartialRecord = 0;       // the record the file ends inside; 0 when none
  std::int64_t PartialRecordBytes = 0;  // how many of its bytes the file holds

  std::int64_t Read() const { return Normal + Deleted + Damaged; }
  bool AnyLoss() const { return BlobMissing.Count + BlobDamaged.Count != 0 || PartialRecord != 0; }
  // Joins the report of a load of later records of the same table.
  void Add(const TDBISAMLoadReport& later) {
    Normal += later.Normal;
    Deleted += later.Deleted;
    Damaged += later.Damaged;
    BlobMissing.Add(later.BlobMissing.FirstRecord, later.BlobMissing.Count);
    BlobDamaged.Add(later.BlobDamaged.FirstRecord, later.BlobDamaged.Count);
    if (later.PartialRecord != 0) {
      PartialRecord = later.PartialRecord;
      PartialRecordBytes = later.PartialRecordBytes;
    }
  }
};

class TDBISAM : public TSpreadSheetFile {
 public:
  explicit TDBISAM(TComponent* owner = nullptr);
  ~TDBISAM() override;

  TZelOnPasswordEvent OnPassword;
  std::string Password;
  std::string StoredPassword;
  Stream* DataStream = nullptr;  // borrowed: the caller owns the table stream
  std::array<std::uint8_t, dbisam_layout::kBlobFileHeaderSize> BlobHeader{};
  TDBISAMLoadReport LoadReport;

  void ResetLoad() override;
  void CloseLoad() override;
  void ParseStream(Stream& stream) override;
  void LoadFromFile(const std::string& name) override;
  bool IsEncrypted() override;
  bool ReadRecord(std::int32_t index, std::int32_t row) override;
  void GetBlobText(std::int32_t block_no, std::int32_t reserved, std::string& text) override;
  std::int32_t ColumnIndex(const std::string& name) override;
  void GetColumnNames(TStringList& list, const std::string& names) override;

  // The bytes of field `column`'s value in the record read last (empty for
  // a column that does not exist), for callers that format them themselves.
  FieldBytes ValueBytes(std::int32_t column) const;
  // The number of the record read last, counted from 1 in the table file.
  std::int64_t RecordNumber() const { return record_number_; }
  // Which fields ReadRecord decodes and reports through OnCellValue (empty:
  // all of them).  A caller that formats the others itself takes their
  // values from ColumnValue instead, after the record is read, and saves
  // the event and the copy into a cell.
  std::vector<bool> ReportedFields;
  // The value of field `column` in the record read last, decoded on the
  // first call for that record (for a BLOB: its chain read then, and its
  // losses counted once).
  const Variant& ColumnValue(std::int32_t column);

  // Field `column` of the record read last as the reader planned it: how it
  // decodes, its value bytes, and whether it has a value at all.
  struct FieldSlice {
    ValueKind kind;
    FieldBytes bytes;
    bool present;
  };
  FieldSlice FieldAt(std::int32_t column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= plans_.size()) return {ValueKind::kBytes, {}, false};
    const FieldPlan& plan = plans_[static_cast<std::size_t>(column)];
    return {plan.kind, FieldBytes(record_.data() + plan.start, plan.width),
            plan.always_present || record_[plan.presence] == dbisam_layout::kPresent};
  }

  // Where record n (counted from 0) starts in the table file.
  std::int64_t RecordPosition(std::int64_t n) const {
    return data_start_ + n * static_cast<std::int64_t>(record_.size());
  }

  // The records that the table file holds, a last partial one not counted.
  std::int64_t RecordsInFile() const;
  // Moves to record n (counted from 0), or to the end of the file when
  // there are fewer.
  void SeekRecord(std::int64_t n);
  // Whether a record follows in the table file.  With at most one byte left
  // none can: a last record that the file ends inside is then noted in the
  // load report.
  bool MoreRecords();

  void GetTableInfo(TDBISAMTableInfo& info);
  void GetFieldInfo(std::int32_t index, TDBISAMFieldInfo& field);
  // The descriptors of the table's fields, in their order (field i at i).
  std::span<const TDBISAMFieldInfo> FieldInfos();
  static std::string FieldTypeName(std::uint8_t field_type, std::uint8_t sub_type_index);
  static std::uint8_t SubTypeIndex(std::uint8_t sub_type);
  bool CheckPassword();

  // The BLOB file that belongs to a table file name: the same name with the
  // extension .blb.
  static std::string BlobFileName(const std::string& table_file_name);
  // The BLOB file of a table as it is on the disk, whose name's letter case
  // may differ from BlobFileName's (tables copied from Windows or DOS are
  // often CUSTOMERS.DAT and CUSTOMERS.BLB): BlobFileName when that file
  // exists; else the extension in the letter case of the table's own; else
  // the one file of the table's folder whose name equals BlobFileName
  // without regard to letter case.  Raises EZelFileException naming them
  // when several such files are there and none is named exactly; when none
  // is, BlobFileName.
  static std::string FindBlobFile(const std::string& table_file_name);
  // The BLOB file this load reads (FindBlobFile of FileName, looked for
  // when the table has BLOB fields); empty before a load or without them.
  const std::string& BlobFilePath() const { return blob_file_name_; }

 private:
  // How one field is decoded, worked out once per load.
  struct FieldPlan {
    ValueKind kind;
    std::uint16_t presence;   // offset of the presence byte
    std::uint16_t start;      // offset of the value
    std::uint16_t width;      // bytes of the value that are used
    bool always_present;      // auto-increment fields
  };

  TZeDBISAMTable& Table();
  void ReadHeader(Stream& stream);
  void ReadDescriptors(Stream& stream);
  void ValidateShape();
  void PlanFields();
  void Decrypt(std::uint8_t* data, std::size_t size, bool a = false, bool b = false, bool c = false);
  void DeliverField(std::int32_t row, std::int32_t column, const FieldPlan& plan);
  CellLook DecodeField(const FieldPlan& plan, Variant& value);
  CellLook DecodeValue(const FieldPlan& plan, Variant& out);
  CellLook DecodeBlobField(FieldBytes bytes, Variant& out);
  bool OpenBlobFile();
  void LocateBlobFile();

  std::vector<FieldPlan> plans_;
  std::vector<std::uint8_t> record_;
  std::vector<Variant> values_;  // one per field, reused from record to record
  // The record each value was decoded for: values_[i] holds field i of the
  // current record when decoded_[i] equals record_serial_.
  std::vector<std::uint64_t> decoded_;
  std::uint64_t record_serial_ = 0;
  std::int32_t record_count_ = 0;
  bool decrypt_records_ = false;
  std::int64_t data_start_ = 0;      // where the first record starts
  std::int64_t record_number_ = 0;   // of the record read last, from 1
  BlobFile blob_file_;
  std::string blob_file_name_;
};

}  // namespace tabdump
