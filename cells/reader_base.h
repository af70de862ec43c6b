// The reader base: published settings, events and the virtual load protocol
// that a concrete format reader (the DBISAM table reader) overrides.
//
// Two ways of use: a whole load delivers every cell through the events, which
// the default handlers store in the sheets; with ReadOnDemand the load parses
// only the header and the caller asks for one record after another.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cells/cell_model.h"
#include "runtime/stream.h"

namespace tabdump {

class TCustomSpreadSheetFile;

enum TZelColumnNameKind : std::uint8_t { nkAlphabet, nkFieldName };
enum TZelParseItem : std::uint8_t {
  ipiText, ipiBLOB, ipiVBA, ipiPictures, ipiSummaryInformation, ipiComments,
};
using TZelParseItems = ByteSet<TZelParseItem>;

// Events: bound handlers; "assigned" means one is bound.  Each passes the
// reader first, as Sender.
using TOnColumnWidth = std::function<void(TCustomSpreadSheetFile* sender, std::int32_t sheet_no,
                                          std::int32_t column_no, std::int32_t width)>;
using TOnRowHeight = std::function<void(TCustomSpreadSheetFile* sender, std::int32_t sheet_no,
                                        std::int32_t row_no, std::int32_t height)>;
using TOnDimensions = std::function<void(TCustomSpreadSheetFile* sender, std::int32_t sheet_no,
                                         std::int32_t first_row, std::int32_t last_row,
                                         std::int32_t first_column, std::int32_t last_column)>;
using TOnCellValue = std::function<void(TCustomSpreadSheetFile* sender, std::int32_t sheet_no,
                                        std::int32_t row, std::int32_t column,
                                        std::int32_t format_index, const Variant& value,
                                        TAlignment alignment, TZelCellType cell_type)>;
using TOnGetCellValue = std::function<void(TCustomSpreadSheetFile* sender, std::int32_t sheet_no,
                                           std::int32_t row, std::int32_t column, Variant& value)>;
using TOnSheet = std::function<void(TCustomSpreadSheetFile* sender, const std::string& caption,
                                    std::int32_t index, bool& skip)>;
using TOnSheetName = std::function<void(TCustomSpreadSheetFile* sender, const std::string& caption,
                                        std::int32_t index)>;
using TOnRecordStatusChanged = std::function<void(TCustomSpreadSheetFile* sender, std::int32_t sheet_no,
                                                  std::int32_t row, TZelRowStatus status)>;
using TOnLoadProgress = std::function<void(TCustomSpreadSheetFile* sender, std::int64_t position,
                                           std::int64_t total_size)>;

class TCustomSpreadSheetFile : public TComponent {
 public:
  explicit TCustomSpreadSheetFile(TComponent* owner = nullptr) : TComponent(owner) {}

  std::string FileName;
  bool LoadNULLs = false;
  TOnColumnWidth OnColumnWidth;
  TOnRowHeight OnRowHeight;
  TOnDimensions OnDimensions;
  TOnCellValue OnCellValue;
  TOnGetCellValue OnGetCellValue;
  TOnSheet OnSheet;
  TOnSheetName OnSheetName;
  TOnRecordStatusChanged OnRecordStatusChanged;

  bool ReadOnDemand = false;

  virtual bool IsEncrypted() { return false; }
};

class TSpreadSheetFile : public TCustomSpreadSheetFile {
 public:
  explicit TSpreadSheetFile(TComponent* owner = nullptr);

  TZelColumnNameKind NameKind = nkAlphabet;
  TZelRowStatuses LoadRowStatutes{rsNormal};
  TOnLoadProgress OnLoadProgress;
  TZelParseItems ParseItems{ipiText, ipiBLOB, ipiSummaryInformation};

  std::int32_t SheetIndex = -1;
  TZeRange LoadRange;
  bool ValidateFileName = true;
  TSpreadSheets Sheets;
  std::int32_t CurrentRecord = -1;

  // The virtual load protocol.
  virtual void PrepareLoad();
  virtual void GetBlobText(std::int32_t block_no, std::int32_t reserved, std::string& text);
  virtual void LoadFromStream(Stream& stream);
  virtual void LoadFromFile(const std::string& name);
  virtual void ParseStream(Stream& stream);
  virtual void ResetLoad();
  virtual void CloseLoad() {}
  virtual bool CanLoad() { return true; }
  virtual bool ReadRecord(std::int32_t index, std::int32_t row);
  virtual std::int32_t ColumnIndex(const std::string& name);
  virtual void GetColumnNames(TStringList& list, const std::string& names);

  void DoLoadProgress(std::int64_t position, std::int64_t total_size);
  void SetRowStatus(std::int32_t sheet_no, std::int32_t row, TZelRowStatus status);

 private:
  // The default handlers that PrepareLoad binds to unassigned events.
  void DefaultDimensions(std::int32_t sheet_no, std::int32_t last_row, std::int32_t last_column);
  void DefaultCellValue(std::int32_t sheet_no, std::int32_t row, std::int32_t column,
                        std::int32_t format_index, const Variant& value, TAlignment alignment,
                        TZelCellType cell_type);
  void DefaultSheet(const std::string& caption, std::int32_t index, bool& skip);
  void DefaultSheetName(const std::string& caption, std::int32_t index);
  void DefaultColumnWidth(std::int32_t sheet_no, std::int32_t column_no, std::int32_t width);
  void DefaultRowHeight(std::int32_t sheet_no, std::int32_t row_no, std::int32_t height);
  std::int32_t UsedColCountOfIndexedSheet();
};

}  // namespace tabdump
