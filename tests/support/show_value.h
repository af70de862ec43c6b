// The one printed form of a value in the tests: its kind and its text.
#pragma once

#include <string>

#include "runtime/convert.h"
#include "runtime/format_settings.h"
#include "runtime/variant.h"

namespace tabdump::testing {

// "Kind text": Double 7, Integer 120, String abc, Boolean true, Null.
inline std::string Show(const Variant& v) {
  std::string out = VarTypeName(v.type());
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull: return out;
    case VarType::kBoolean: return out + (v.AsBoolean() ? " true" : " false");
    case VarType::kDateTime: out += ' '; AppendDouble(out, v.AsDateTime(), FormatSettings::Iso()); return out;
    default: out += ' '; AppendVarText(out, v, FormatSettings::Iso()); return out;
  }
}

}  // namespace tabdump::testing
