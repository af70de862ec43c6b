#include "runtime/variant.h"

namespace tabdump {

bool operator==(const Variant& a, const Variant& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case VarType::kEmpty:
    case VarType::kNull:
      return true;
    case VarType::kInteger:
    case VarType::kInt64:
    case VarType::kCurrency:
      return a.num_.i == b.num_.i;
    case VarType::kDouble:
    case VarType::kDateTime:
      return a.num_.d == b.num_.d;
    case VarType::kBoolean:
      return a.num_.b == b.num_.b;
    case VarType::kString:
      return a.str_ == b.str_;
  }
  return false;
}

const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kInteger: return "Integer";
    case VarType::kInt64: return "Int64";
    case VarType::kDouble: return "Double";
    case VarType::kCurrency: return "Currency";
    case VarType::kDateTime: return "DateTime";
    case VarType::kBoolean: return "Boolean";
    case VarType::kString: return "String";
  }
  return "?";
}

}  // namespace tabdump
