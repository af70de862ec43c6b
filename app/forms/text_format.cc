#include "app/forms/text_format.h"

#include <algorithm>

#include "app/settings/run_settings.h"
#include "dbisam/table_reader.h"
#include "runtime/code_page.h"
#include "runtime/convert.h"

namespace tabdump {

int FieldWidth(const TDBISAMFieldInfo& field) {
  using enum dbisam_layout::FieldTypeCode;
  int width;
  switch (field.FieldType()) {
    case kShortInteger: case kUnsignedShortInteger: width = 8; break;
    case kInteger: case kUnsignedInteger: width = 16; break;
    case kFloat: case kBcd: case kDouble: width = 15; break;
    case kLargeInteger: case kUnsignedLargeInteger: width = 18; break;
    default: width = field.Size(); break;
  }
  return std::max(width, static_cast<int>(field.Name().size()));
}

bool IsRightAligned(std::uint8_t field_type) {
  using enum dbisam_layout::FieldTypeCode;
  switch (field_type) {
    case kShortInteger: case kInteger: case kFloat: case kBcd: case kUnsignedShortInteger:
    case kUnsignedInteger: case kDouble: case kLargeInteger: case kUnsignedLargeInteger: return true;
    default: return false;
  }
}

namespace {

void AppendAligned(std::string& out, std::string_view text, int width, bool right, bool utf8) {
  const std::size_t length = utf8 ? Utf8Length(text) : text.size();
  const std::size_t pad = width > 0 && static_cast<std::size_t>(width) > length
                              ? static_cast<std::size_t>(width) - length
                              : 0;
  if (right) out.append(pad, ' ');
  out.append(text);
  if (!right) out.append(pad, ' ');
}

void AppendQuoted(std::string& out, std::string_view text, std::string_view q) {
  out.append(q);
  if (q.size() == 1) {
    // The usual case: double every qualifier character, copying the runs
    // between them whole.
    std::size_t start = 0;
    for (std::size_t hit; (hit = text.find(q[0], start)) != std::string_view::npos; start = hit + 1) {
      out.append(text.data() + start, hit + 1 - start);
      out += q[0];
    }
    out.append(text.data() + start, text.size() - start);
  } else if (q.empty()) {
    out.append(text);
  } else {
    AppendDoubledQualifier(out, std::string(text), std::string(q));
  }
  out.append(q);
}

}  // namespace


LineBuilder::LineBuilder(std::string delimiter, std::string qualifier, bool fixed_width, bool utf8)
    : delimiter_(std::move(delimiter)),
      qualifier_(std::move(qualifier)),
      use_delimiter_(delimiter_ != NoneMark),
      use_qualifier_(qualifier_ != NoneMark),
      fixed_width_(fixed_width),
      utf8_(utf8),
      direct_(!fixed_width && !use_qualifier_) {}

void LineBuilder::Begin() {
  line_.clear();
  first_ = true;
}

void LineBuilder::FinishQualifiedOrFixed(int width, bool right) {
  std::string_view text = scratch_;
  if (fixed_width_) {
    aligned_.clear();
    AppendAligned(aligned_, text, width, right, utf8_);
    text = aligned_;
  }
  if (text.empty()) return;
  if (use_qualifier_) {
    AppendQuoted(line_, text, qualifier_);
  } else {
    line_.append(text);
  }
}

void LineBuilder::Add(std::string_view text, int width, bool right) {
  StartField().append(text);
  FinishField(width, right);
}

}  // namespace tabdump
