#include "app/filter/row_filter.h"

#include <algorithm>
#include <optional>

#include "runtime/ascii_case.h"
#include "runtime/convert.h"

namespace tabdump {
bool StripQuotes(char open, char close, std::string& text) {
  if (text.empty() || text.front() != open || text.back() != close) return false;
  if (text.size() == 1) {
    text.clear();
  } else {
    text = text.substr(1, text.size() - 2);
  }
  return true;
}

Variant Substitute(const Variant& x, const Variant& from_list, const Variant& to_list) {
  const std::string from = VarToText(from_list);
  const std::string to = VarToText(to_list);
  std::optional<std::string> replacement = SubstituteItem(VarToText(x), from, to);
  return replacement ? Variant(std::move(*replacement)) : Variant::Null();
}

RowFilter::RowFilter(std::string text, RecordView record) : record_(record) {
  parser_.OnEvaluate = [this](TZelParser&, const std::string&, const TExpArgs& args, int, bool, Variant& value,
                              bool& done) { ResolveName(args, value, done); };
  parser_.SetText(std::move(text));
}

RowFilter::~RowFilter() = default;

void RowFilter::Compile() { parser_.Check(false); }

bool RowFilter::Accepts() {
  text_name_.clear();
  parser_.Check(true);
  return VarToBool(parser_.LastValue());
}

const RowFilter::Meaning& RowFilter::MeaningOf(const std::string& name) {
  auto found = meanings_.find(name);
  if (found != meanings_.end()) return found->second;
  Meaning meaning{Meaning::kOther, name, -1};
  if (!meaning.text.empty()) {
    StripQuotes('[', ']', meaning.text);
    if (!meaning.text.empty() && StripQuotes('"', '"', meaning.text)) meaning.kind = Meaning::kText;
  }
  if (meaning.kind != Meaning::kText) {
    meaning.field = record_.FieldNamed(meaning.text);
    if (meaning.field >= 0) meaning.kind = Meaning::kField;
  }
  meaning.substitute = meaning.kind == Meaning::kOther && UpperAscii(meaning.text) == "SUBSTITUTE";
  meaning.own_text = meaning.kind == Meaning::kOther && !meaning.substitute && !meaning.text.empty() &&
                     FunctionRegistry().Find(meaning.text) == nullptr;
  return meanings_.emplace(name, std::move(meaning)).first->second;
}

void RowFilter::ResolveName(const TExpArgs& args, Variant& value, bool& done) {
  // The answer is never final: the function registry is asked after the host,
  // so that its entries (PI) win over fields of the same name.
  done = false;
  const Meaning& meaning = MeaningOf(value.IsString() ? value.AsString() : VarToText(value));
  switch (meaning.kind) {
    case Meaning::kText:
      value = Variant(meaning.text);
      return;
    case Meaning::kField:
      value = GetRowValue(meaning.field);
      break;
    case Meaning::kOther:
      if (meaning.own_text && text_name_.empty()) text_name_ = meaning.text;
      value = Variant(meaning.text);
      // The language hands over every argument slot, written or not; the
      // unwritten ones are empty.
      if (meaning.substitute) value = Substitute(args[0], args[1], args[2]);
      break;
  }
  if (value.IsString() ? value.AsString().empty() : value.IsEmptyOrNull()) value = Variant::Null();
}

Variant RowFilter::GetRowValue(std::int32_t n) const {
  const Variant& value = record_.Value(n);
  if (value.type() == VarType::kBoolean) return Variant(value.AsBoolean() ? "1" : "0");
  return value;
}

}  // namespace tabdump
