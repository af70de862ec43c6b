// The tagged value that every cell and every expression value is.  Strings
// are 8-bit byte strings, never re-encoded.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "runtime/currency.h"

namespace tabdump {

enum class VarType : std::uint8_t {
  kEmpty,     // no value assigned
  kNull,
  kInteger,   // 32-bit signed
  kInt64,     // 64-bit signed; behaves as an integer everywhere
  kDouble,
  kCurrency,
  kDateTime,  // days since 1899-12-30
  kBoolean,
  kString,
};

class Variant {
 public:
  Variant() = default;  // empty
  Variant(std::int32_t v) : type_(VarType::kInteger) { num_.i = v; }  // NOLINT
  Variant(bool v) : type_(VarType::kBoolean) { num_.b = v; }            // NOLINT
  Variant(double v) : type_(VarType::kDouble) { num_.d = v; }           // NOLINT
  Variant(Currency v) : type_(VarType::kCurrency) { num_.i = v.units; }  // NOLINT
  Variant(std::string v) : type_(VarType::kString), str_(std::move(v)) {}  // NOLINT
  Variant(const char* v) : type_(VarType::kString), str_(v) {}             // NOLINT

  static Variant Null() { return Variant(VarType::kNull); }
  static Variant DateTime(double v) {
    Variant r(VarType::kDateTime);
    r.num_.d = v;
    return r;
  }
  // Always the 64-bit kind.
  static Variant Int64(std::int64_t v) {
    Variant r(VarType::kInt64);
    r.num_.i = v;
    return r;
  }
  // A 32-bit integer when the value fits, else the 64-bit kind.
  static Variant Integer(std::int64_t v) {
    if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<std::int32_t>(v));
    return Int64(v);
  }

  // Copying a non-string value leaves the string's storage alone, and the
  // setters below keep it too, so that a value reassigned record after record
  // does not allocate.
  Variant(const Variant&) = default;
  Variant(Variant&&) noexcept = default;
  Variant& operator=(Variant&& other) noexcept = default;
  Variant& operator=(const Variant& other) {
    if (this == &other) return *this;
    type_ = other.type_;
    num_ = other.num_;
    if (other.type_ == VarType::kString) str_ = other.str_;
    return *this;
  }

  void SetInteger(std::int32_t v) { type_ = VarType::kInteger; num_.i = v; }
  // A 32-bit integer when the value fits, else the 64-bit kind.
  void SetInteger64(std::int64_t v) {
    type_ = v >= INT32_MIN && v <= INT32_MAX ? VarType::kInteger : VarType::kInt64;
    num_.i = v;
  }
  void SetDouble(double v) { type_ = VarType::kDouble; num_.d = v; }
  void SetDateTime(double v) { type_ = VarType::kDateTime; num_.d = v; }
  void SetBoolean(bool v) { type_ = VarType::kBoolean; num_.b = v; }
  void SetCurrency(Currency v) { type_ = VarType::kCurrency; num_.i = v.units; }

  VarType type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::kEmpty; }
  bool IsNull() const { return type_ == VarType::kNull; }
  bool IsString() const { return type_ == VarType::kString; }
  // Empty or Null.
  bool IsEmptyOrNull() const { return type_ == VarType::kEmpty || type_ == VarType::kNull; }
  bool IsIntegerKind() const { return type_ == VarType::kInteger || type_ == VarType::kInt64; }

  // Raw payloads; the caller has checked type().
  std::int32_t AsInteger() const { return static_cast<std::int32_t>(num_.i); }
  std::int64_t AsInt64() const { return num_.i; }
  double AsDouble() const { return num_.d; }
  Currency AsCurrency() const { return Currency{num_.i}; }
  double AsDateTime() const { return num_.d; }
  bool AsBoolean() const { return num_.b; }
  const std::string& AsString() const { return str_; }
  std::string& MutableString() { return str_; }

  void Clear() { type_ = VarType::kEmpty; }
  void SetNull() { type_ = VarType::kNull; }
  // Reuses the string's storage: cheap when values are reassigned per record.
  void AssignString(const char* data, std::size_t size) {
    type_ = VarType::kString;
    str_.assign(data, size);
  }

  // Same kind and same payload.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  explicit Variant(VarType t) : type_(t) {}

  VarType type_ = VarType::kEmpty;
  union {
    std::int64_t i;
    double d;
    bool b;
  } num_{0};
  std::string str_;
};

const char* VarTypeName(VarType type);

}  // namespace tabdump
