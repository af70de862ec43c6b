// The layout of the text file: how one field becomes text, and how the texts
// of one line are justified, qualified and delimited.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/variant.h"

namespace tabdump {

struct TDBISAMFieldInfo;

// Column width in fixed-width output: by type, raised to the name's length.
int FieldWidth(const TDBISAMFieldInfo& field);
// The numeric types are right-justified in fixed-width record lines.
bool IsRightAligned(std::uint8_t field_type);

// A text between two qualifiers of several characters, `q` doubled inside
// it: scanning from the end, a copy of the qualifier goes before every place
// where the text from there on (copies already made included) starts with
// it.  The result is built back to front, so that no copy moves what comes
// after it, which would take time in proportion to the text's length for
// every copy.  Written for any text with std::string's indexing and +=, so
// that a test can count its steps.
template <typename Text>
void AppendDoubledQualifier(Text& out, const Text& text, const Text& q) {
  const std::size_t n = q.size();
  Text reversed;
  reversed.reserve(text.size() + n);
  for (std::size_t p = text.size(); p >= 1; --p) {
    reversed += text[p - 1];
    bool ends_with_q = reversed.size() >= n;
    for (std::size_t i = 0; ends_with_q && i < n; ++i) ends_with_q = reversed[reversed.size() - 1 - i] == q[i];
    if (ends_with_q) {
      for (std::size_t i = n; i-- > 0;) reversed += q[i];
    }
  }
  for (std::size_t i = reversed.size(); i-- > 0;) out += reversed[i];
}

// Builds one line from the texts of the selected fields.  A text in
// fixed-width output is padded with spaces to its column (never cut); a
// qualified text has every occurrence of the qualifier doubled and stands
// between two qualifiers; an empty text adds nothing but its delimiter.
class LineBuilder {
 public:
  // `utf8`: the texts are UTF-8, and fixed-width columns count characters
  // rather than bytes.
  LineBuilder(std::string delimiter, std::string qualifier, bool fixed_width, bool utf8 = false);
  void Begin();
  // Adds one field's text; `width` and `right` apply in fixed-width output.
  void Add(std::string_view text, int width, bool right);
  // The same in two steps, so that a value's text can be written straight
  // into the line: append the text to the buffer that StartField returns,
  // then call FinishField.
  std::string& StartField() {
    // The delimiter stands between the values taken for the line; most are
    // one character.
    if (!first_ && use_delimiter_) {
      if (delimiter_.size() == 1) {
        line_ += delimiter_[0];
      } else {
        line_.append(delimiter_);
      }
    }
    first_ = false;
    if (direct_) return line_;
    scratch_.clear();
    return scratch_;
  }
  void FinishField(int width, bool right) {
    if (!direct_) FinishQualifiedOrFixed(width, right);
  }
  // The line so far (without record separator).
  std::string& Line() { return line_; }

 private:
  void FinishQualifiedOrFixed(int width, bool right);

  std::string delimiter_;
  std::string qualifier_;
  bool use_delimiter_;
  bool use_qualifier_;
  bool fixed_width_;
  bool utf8_;
  bool direct_;  // texts go into the line as they are
  bool first_ = true;
  std::string line_;
  std::string scratch_;
  std::string aligned_;
};

}  // namespace tabdump
