// What a field holds, in the terms every output form needs: one
// classification, from the field's type, sub-type and width, from which the
// CSV kind, the SQL column type and the routine that writes each value are
// derived.  (The fixed-width column's size goes by the type code itself: see
// FieldWidth.)
#pragma once

#include <cstdint>

namespace tabdump {

struct TDBISAMFieldInfo;

enum class FieldKind : std::uint8_t {
  kString,                // text of at most the field's size
  kMemo,                  // BLOB of text: memo or formatted memo
  kBinaryBlob,            // BLOB of bytes: every other sub-type
  kBytes,                 // Bytes, Var Bytes, a Double not 8 bytes wide, types of no known kind
  kBoolean,
  kShortInteger,          // 16-bit signed
  kInteger,               // 32-bit signed
  kAutoInc,               // 32-bit signed, numbered by the engine, never null
  kUnsignedShortInteger,  // 16-bit unsigned
  kUnsignedInteger,       // 32-bit unsigned
  kLargeInteger,          // 64-bit signed
  kUnsignedLargeInteger,  // 64-bit unsigned
  kFloat,                 // Float and 8-byte Double
  kCurrency,              // a Float or Double of the currency sub-type: an amount of four places
  kBcd,                   // packed decimal of up to 64 digits
  kDate,
  kTime,
  kTimeStamp,
};

FieldKind FieldKindOf(const TDBISAMFieldInfo& field);

// Whether a BLOB sub-type holds text (memo 22, formatted memo 24).
bool IsMemoSubType(std::uint8_t sub_type);

}  // namespace tabdump
