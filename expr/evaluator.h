// The third stage of the filter language: the rules by which values of
// different kinds are combined, compared and prepared for arithmetic.  The
// node operations Evaluate and EvaluateName are defined with them
// (evaluator.cc); the built-in functions use the same rules.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/variant.h"

namespace tabdump {

// How a value takes part in an operation with another value.
enum class TValueClass : std::uint8_t {
  vcEmpty,     // E
  vcNull,      // N
  vcInteger,   // I: 32- and 64-bit integers
  vcFloat,     // F
  vcCurrency,  // C
  vcString,    // S
  vcBoolean,   // B
  vcDateTime,  // D
};

TValueClass ClassOf(const Variant& value);
// The class that the pair (left, right) selects for combining and comparing.
TValueClass PairClass(const Variant& left, const Variant& right);

enum class TArithOp : std::uint8_t { kAdd, kSubtract, kMultiply, kDivide, kIntDivide, kModulo, kAnd, kOr };

// left op right by the combination rules.  Raises EVariantError for an empty
// operand, EDivByZero for an integer division by zero, EZeroDivide,
// EInvalidOp and EOverflow for floating-point faults.
Variant CombineValues(const Variant& left, const Variant& right, TArithOp op);
// Negative, zero or positive as left is less than, equal to or greater than
// right, by the comparison rules.  Null is less than anything but Null.
int CompareValues(const Variant& left, const Variant& right);
// The operand preparation of "-", "*", "/", "^" and "!": a numeric text
// (commas, thousands separators and one currency symbol removed) as a
// string, a date-time that reads back as one unchanged, otherwise 0.
Variant ToNumeric(const Variant& value);
// base raised to exponent; an integral exponent by repeated squaring.
double Power(double base, double exponent);
// n! by the combination rules: an integer while it fits in 32 bits, then a
// double.  n itself for n <= 1.
Variant Factorial(std::int32_t n);
// NOT of one value: null stays null, a Boolean is negated, anything else gives
// the bitwise complement of its integer.
Variant NotValue(const Variant& value);

// The value of a number token, read whatever the locale says: digits with one
// full stop.  A malformed run such as 1.2.3 reads its longest well-formed
// prefix (1.2); a run without digits is 0.
double ReadNumberLiteral(std::string_view text);

// Raises EInvalidOp for NaN and EOverflow for an infinity; otherwise x.
double CheckFloat(double x);

}  // namespace tabdump
