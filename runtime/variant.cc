#include "runtime/variant.h"

namespace tabdump {

bool operator==(const Variant& a, const Variant& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case VarType::Empty:
    case VarType::Null:
      return true;
    case VarType::Integer:
    case VarType::Int64:
    case VarType::Currency:
      return a.num_.i == b.num_.i;
    case VarType::Double:
    case VarType::DateTime:
      return a.num_.d == b.num_.d;
    case VarType::Boolean:
      return a.num_.b == b.num_.b;
    case VarType::String:
      return a.str_ == b.str_;
  }
  return false;
}

const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Integer: return "Integer";
    case VarType::Int64: return "Int64";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::DateTime: return "DateTime";
    case VarType::Boolean: return "Boolean";
    case VarType::String: return "String";
  }
  return "?";
}

}  // namespace tabdump
