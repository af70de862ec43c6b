// The row filter: evaluates the /WHERE= expression for the current record.
// The language asks the host for every name it does not know itself; the
// host answers field names with the record's values, double-quoted texts with
// their text, and its own function SUBSTITUTE.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "dbisam/record_view.h"
#include "expr/parser_component.h"

namespace tabdump {

// When the non-empty text begins with `open` and ends with `close`, removes
// both and returns true (a one-character text that is both becomes empty).
bool StripQuotes(char open, char close, std::string& text);

// SUBSTITUTE(x, "A;B;C", "1;2;3"): the item of the second list at the place
// where the text of x stands in the first; Null when it stands nowhere.
Variant Substitute(const Variant& x, const Variant& from_list, const Variant& to_list);

// The next item of a ';'-separated list, from `at` on, without trailing
// blanks and control characters; `at` moves past the item and its ';'.  The
// list itself is left alone: cutting each item off its front would take time
// in proportion to the list's length for every item.  Written for any text
// with std::string's indexing and substr, so that a test can count its steps.
template <typename Text>
Text TakeItem(const Text& list, std::size_t& at) {
  std::size_t end = at;
  while (end < list.size() && list[end] != ';') ++end;
  std::size_t kept = end;
  while (kept > at && static_cast<unsigned char>(list[kept - 1]) <= 32) --kept;
  Text item = list.substr(at, kept - at);
  at = end == list.size() ? end : end + 1;
  return item;
}

// SUBSTITUTE's walk over its lists: the item of `to` at the place of
// `wanted` in `from`, or nothing.
template <typename Text>
std::optional<Text> SubstituteItem(const Text& wanted, const Text& from, const Text& to) {
  std::size_t from_at = 0, to_at = 0;
  while (from_at < from.size()) {
    const Text item = TakeItem(from, from_at);
    Text replacement = TakeItem(to, to_at);
    if (item == wanted) return replacement;
  }
  return std::nullopt;
}

class RowFilter {
 public:
  // The filter `text` over the records that `record` shows.
  RowFilter(std::string text, RecordView record);
  ~RowFilter();
  // Compiles the filter's text: a text that does not parse raises here,
  // before any record is read.
  void Compile();
  // That value as a Boolean; Null or a text that is no Boolean raises
  // "Invalid variant type conversion".
  bool Accepts();
  // The first name of the last evaluation that is no field, no quoted text
  // and no function, and so stood for its own text; empty when there was
  // none.  A misspelt field name is the usual cause of a filter that fails.
  const std::string& TextName() const { return text_name_; }

 private:
  // What a name stands for; worked out once per name, since the table's
  // fields do not change during a run.
  struct Meaning {
    enum Kind { kText, kField, kOther } kind;
    std::string text;  // kText: the value; kOther: the name as resolved so far
    std::int32_t field = -1;
    bool substitute = false;  // kOther named SUBSTITUTE, in any letter case
    bool own_text = false;    // kOther that is no function: it stands for its own text
  };

  void ResolveName(const TExpArgs& args, Variant& value, bool& done);
  const Meaning& MeaningOf(const std::string& name);
  // The value of field n of the current record as the language reads it: a
  // Boolean as the text "1" or "0".
  Variant GetRowValue(std::int32_t n) const;

  RecordView record_;
  TZelParser parser_;
  std::unordered_map<std::string, Meaning> meanings_;
  std::string text_name_;
};

}  // namespace tabdump
