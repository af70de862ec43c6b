// The output forms, one class each: how a value of every kind is written in
// the text output (regional settings, texts as stored), in CSV, and as a
// literal of a SQL script.  The form is chosen once per run; a value reaches
// it through one routine per kind (field_writer.cc), which reads the value
// from the record, so that a value is written alike whichever way it came.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/forms/sql_values.h"
#include "app/settings/run_settings.h"
#include "dbisam/field_decoding.h"
#include "dbisam/field_kind.h"
#include "dbisam/record_view.h"
#include "runtime/code_page.h"
#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace tabdump {

struct Column;

// Counts what a code page could not read: how often, and the first record.
using LossCount = TDBISAMOccurrences;

// The tables' texts as the output wants them: converted from their code page
// into UTF-8 when there is one, else as stored.  The bytes a code page cannot
// read become U+FFFD and are counted where CountIn points.
class TextConverter {
 public:
  explicit TextConverter(std::optional<CodePage> code_page) : code_page_(std::move(code_page)) {}

  bool Converts() const { return code_page_.has_value(); }
  void CountIn(LossCount& replaced) { replaced_ = &replaced; }

  // The text, converted when there is a code page, appended to `out`.
  void Append(std::string& out, std::string_view stored, std::int64_t record);
  // The text in UTF-8: converted, or the stored text itself when it is
  // UTF-8 already; nullopt when it is not and there is no code page.  The
  // view lasts until the next call.
  std::optional<std::string_view> Utf8(std::string_view stored, std::int64_t record);

 private:
  std::optional<CodePage> code_page_;
  LossCount* replaced_ = nullptr;
  std::string scratch_;
};

class ValueForm {
 public:
  virtual ~ValueForm() = default;

  virtual void Null(std::string& out) = 0;
  // A text as stored (a String, a memo, a field name): converted from the
  // code page where there is one.
  virtual void Text(std::string& out, std::string_view stored, const Column& column) = 0;
  // Bytes that are no text: Bytes, binary BLOBs; never converted.
  virtual void Binary(std::string& out, std::string_view bytes) = 0;
  virtual void Boolean(std::string& out, bool value) = 0;
  // Every integer kind but the unsigned 64-bit one.
  virtual void Integer(std::string& out, std::int64_t value) = 0;
  virtual void UnsignedLarge(std::string& out, std::uint64_t value) = 0;
  virtual void Float(std::string& out, double value, const Column& column) = 0;
  virtual void Currency(std::string& out, double value, const Column& column) = 0;
  // A packed decimal from its bytes in the record.
  virtual void Bcd(std::string& out, FieldBytes raw, const Column& column) = 0;
  // A Date, Time or Time Stamp (by the column's kind).
  virtual void DateTime(std::string& out, const DayMs& parts, const Column& column) = 0;

  // Where the numbers that the form cannot hold, and so writes as NULL, are
  // counted from now on (JSON's NaN and infinities); other forms hold them all.
  virtual void CountUnwritableNumbersIn(LossCount&) {}
};

// The form of the run's settings (/sql=, /json, /csv, else the text output); the
// record tells where a value came from, the converter turns its texts.
std::unique_ptr<ValueForm> MakeValueForm(const RunSettings& settings, RecordView record, TextConverter& texts);

// What a SQL script says of a text that is not UTF-8 when no code page is
// given: the way out.
inline constexpr const char* kNotUtf8 =
    "is not valid UTF-8; name the table's code page with /codepage=, such as /codepage=1252";

// The bytes of the UTF-8 byte-order mark.
inline constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace tabdump
