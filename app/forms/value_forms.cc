#include "app/forms/value_forms.h"

#include <cmath>

#include "app/forms/exact_values.h"
#include "app/forms/field_writer.h"
#include "app/forms/json_values.h"
#include "runtime/convert.h"

namespace tabdump {

void TextConverter::Append(std::string& out, std::string_view stored, std::int64_t record) {
  if (!code_page_) {
    out.append(stored);
    return;
  }
  const auto replaced = static_cast<std::int64_t>(code_page_->AppendUtf8(stored, out));
  if (replaced_ != nullptr) replaced_->Add(record, replaced);
}

std::optional<std::string_view> TextConverter::Utf8(std::string_view stored, std::int64_t record) {
  scratch_.clear();
  if (code_page_) {
    Append(scratch_, stored, record);
    return scratch_;
  }
  bool ascii = true;
  for (const unsigned char c : stored) ascii = ascii && c < 0x80;
  if (ascii) return stored;
  static const CodePage utf8 = *CodePage::Find(65001);
  if (utf8.AppendUtf8(stored, scratch_) != 0) return std::nullopt;
  return stored;
}

namespace {

// The record a value of `column` belongs to; a field name belongs to none.
std::int64_t RecordOf(const RecordView& record, const Column& column) {
  return column.index < 0 ? 0 : record.Number();
}

// The text output: texts as stored (or converted), numbers, dates and
// times in the regional settings, Booleans as 1 and 0, NULL as nothing.
class TextForm final : public ValueForm {
 public:
  TextForm(RecordView record, TextConverter& texts) : record_(record), texts_(texts) {}

  void Null(std::string&) override {}
  void Text(std::string& out, std::string_view stored, const Column& column) override {
    texts_.Append(out, stored, RecordOf(record_, column));
  }
  void Binary(std::string& out, std::string_view bytes) override { out.append(bytes); }
  void Boolean(std::string& out, bool value) override { out += value ? '1' : '0'; }
  void Integer(std::string& out, std::int64_t value) override { AppendInt64(out, value); }
  void UnsignedLarge(std::string& out, std::uint64_t value) override { AppendUnsigned64(out, value); }
  void Float(std::string& out, double value, const Column&) override { AppendDouble(out, value); }
  void Currency(std::string& out, double value, const Column&) override { AppendDouble(out, value); }
  void Bcd(std::string& out, FieldBytes raw, const Column&) override {
    // An amount of four places in the regional form, or the exact digits of
    // one too large for that.
    DecodeBcd(raw, scratch_);
    AppendVarText(out, scratch_);
  }
  void DateTime(std::string& out, const DayMs& parts, const Column&) override { AppendDateTime(out, parts); }

 private:
  RecordView record_;
  TextConverter& texts_;
  Variant scratch_;
};

// CSV for loaders: RFC 4180 quoting, NULL as an empty field and an empty
// text as "", ISO dates and times, exact numbers with a full stop,
// true/false, bytes as \x and hex digits.
class CsvForm final : public ValueForm {
 public:
  CsvForm(RecordView record, TextConverter& texts, std::string delimiter)
      : record_(record), texts_(texts), delimiter_(std::move(delimiter)) {
    // A delimiter of none (code 0) cannot occur in a value in a way that
    // matters to quoting.
    if (delimiter_ == NoneMark) delimiter_.clear();
  }

  void Null(std::string&) override {}
  void Text(std::string& out, std::string_view stored, const Column& column) override {
    if (!texts_.Converts()) {
      AppendQuoted(out, stored);
      return;
    }
    // Quoting depends on the converted text, so it is made apart first.
    converted_.clear();
    texts_.Append(converted_, stored, RecordOf(record_, column));
    AppendQuoted(out, converted_);
  }
  void Binary(std::string& out, std::string_view bytes) override {
    out += "\\x";
    AppendHexDigits(out, bytes);
  }
  void Boolean(std::string& out, bool value) override { out += value ? "true" : "false"; }
  void Integer(std::string& out, std::int64_t value) override { AppendInt64(out, value); }
  void UnsignedLarge(std::string& out, std::uint64_t value) override { AppendUnsigned64(out, value); }
  void Float(std::string& out, double value, const Column&) override { AppendRoundTripDouble(out, value); }
  void Currency(std::string& out, double value, const Column&) override { AppendCurrencyAmount(out, value); }
  void Bcd(std::string& out, FieldBytes raw, const Column&) override { out += BcdDigits(raw); }
  void DateTime(std::string& out, const DayMs& parts, const Column& column) override {
    AppendIsoDateTime(out, column.kind, parts);
  }

 private:
  // Between double quotes, with inner quotes doubled, when the text holds
  // the delimiter, a double quote, CR or LF, when it is exactly \.
  // (PostgreSQL's end of data), or when it is empty; as it stands otherwise.
  void AppendQuoted(std::string& out, std::string_view text) const;

  RecordView record_;
  TextConverter& texts_;
  std::string delimiter_;
  std::string converted_;
};

void CsvForm::AppendQuoted(std::string& out, std::string_view text) const {
  const bool quoted = text.empty() || text == "\\." || text.find_first_of("\"\r\n") != std::string_view::npos ||
                      (!delimiter_.empty() && text.find(delimiter_) != std::string_view::npos);
  if (!quoted) {
    out.append(text);
    return;
  }
  out += '"';
  std::size_t start = 0;
  for (std::size_t hit; (hit = text.find('"', start)) != std::string_view::npos; start = hit + 1) {
    out.append(text.data() + start, hit + 1 - start);
    out += '"';
  }
  out.append(text.data() + start, text.size() - start);
  out += '"';
}

// The literals of a SQL script: texts in UTF-8, checked against what the
// dialect's column takes; a value the database would change is refused with
// the record and the field named.
class SqlForm final : public ValueForm {
 public:
  SqlForm(RecordView record, TextConverter& texts, SqlDialect dialect)
      : record_(record), texts_(texts), sql_(dialect) {}

  void Null(std::string& out) override { sql_.AppendNull(out); }
  void Text(std::string& out, std::string_view stored, const Column& column) override {
    const SqlPlace place = Place(column);
    const std::optional<std::string_view> text = texts_.Utf8(stored, place.record);
    if (!text) RefuseSqlValue(place, std::string("the text ") + kNotUtf8);
    sql_.AppendText(out, SqlKindOf(column.kind), column.string_length, *text, place);
  }
  void Binary(std::string& out, std::string_view bytes) override { sql_.AppendBinary(out, bytes); }
  void Boolean(std::string& out, bool value) override { sql_.AppendBoolean(out, value); }
  void Integer(std::string& out, std::int64_t value) override { sql_.AppendInteger(out, value); }
  void UnsignedLarge(std::string& out, std::uint64_t value) override { sql_.AppendUnsignedLarge(out, value); }
  void Float(std::string& out, double value, const Column& column) override {
    sql_.AppendFloat(out, value, Place(column));
  }
  void Currency(std::string& out, double value, const Column& column) override {
    sql_.AppendCurrency(out, value, Place(column));
  }
  void Bcd(std::string& out, FieldBytes raw, const Column& column) override { sql_.AppendBcd(out, raw, Place(column)); }
  void DateTime(std::string& out, const DayMs& parts, const Column& column) override {
    sql_.AppendDayMs(out, SqlKindOf(column.kind), parts, Place(column));
  }

 private:
  SqlPlace Place(const Column& column) const { return {RecordOf(record_, column), column.name}; }

  RecordView record_;
  TextConverter& texts_;
  SqlValueWriter sql_;
};

// JSON Lines values: NULL as null, texts as JSON strings (UTF-8, so a text
// that is not UTF-8 without a code page ends the run, as in a SQL script),
// every number with all its digits, Booleans as true and false, dates and
// times as strings in CSV's ISO form, bytes as base64 strings.
class JsonForm final : public ValueForm {
 public:
  JsonForm(RecordView record, TextConverter& texts) : record_(record), texts_(texts) {}

  void Null(std::string& out) override { out += "null"; }
  void Text(std::string& out, std::string_view stored, const Column& column) override {
    // Refused with the words of a SQL script's refusal, naming the record
    // and the field.
    const std::optional<std::string_view> text = texts_.Utf8(stored, RecordOf(record_, column));
    if (!text) RefuseSqlValue({RecordOf(record_, column), column.name}, std::string("the text ") + kNotUtf8);
    AppendJsonString(out, *text);
  }
  void Binary(std::string& out, std::string_view bytes) override { AppendBase64String(out, bytes); }
  void Boolean(std::string& out, bool value) override { out += value ? "true" : "false"; }
  void Integer(std::string& out, std::int64_t value) override { AppendInt64(out, value); }
  void UnsignedLarge(std::string& out, std::uint64_t value) override { AppendUnsigned64(out, value); }
  void Float(std::string& out, double value, const Column&) override {
    if (!Finite(out, value)) return;
    AppendRoundTripDouble(out, value);
  }
  void Currency(std::string& out, double value, const Column&) override {
    if (!Finite(out, value)) return;
    AppendCurrencyAmount(out, value);
  }
  void Bcd(std::string& out, FieldBytes raw, const Column&) override {
    // A damaged packed decimal may hold a half-byte above 9, which makes no
    // digit: no number either.
    const std::string digits = BcdDigits(raw);
    if (!IsJsonNumber(digits)) return Unwritable(out);
    out += digits;
  }
  void DateTime(std::string& out, const DayMs& parts, const Column& column) override {
    out += '"';
    AppendIsoDateTime(out, column.kind, parts);
    out += '"';
  }
  void CountUnwritableNumbersIn(LossCount& count) override { unwritable_ = &count; }

 private:
  // NaN and the infinities have no JSON number: null, counted.
  bool Finite(std::string& out, double value) {
    if (std::isfinite(value)) return true;
    Unwritable(out);
    return false;
  }
  void Unwritable(std::string& out) {
    out += "null";
    if (unwritable_ != nullptr) unwritable_->Add(record_.Number());
  }

  RecordView record_;
  TextConverter& texts_;
  LossCount* unwritable_ = nullptr;
};

}  // namespace

std::unique_ptr<ValueForm> MakeValueForm(const RunSettings& settings, RecordView record, TextConverter& texts) {
  if (settings.Sql) return std::make_unique<SqlForm>(record, texts, *settings.Sql);
  if (settings.Json) return std::make_unique<JsonForm>(record, texts);
  if (settings.Csv) return std::make_unique<CsvForm>(record, texts, settings.Delimiter);
  return std::make_unique<TextForm>(record, texts);
}

}  // namespace tabdump
