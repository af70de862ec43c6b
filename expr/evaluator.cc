#include "expr/evaluator.h"

#include <cmath>
#include <string>

#include "expr/builtin_functions.h"
#include "expr/expression_tree.h"
#include "expr/tokenizer.h"
#include "runtime/convert.h"
#include "runtime/exceptions.h"
#include "runtime/format_settings.h"
#include "runtime/text_scan.h"

namespace tabdump {
namespace {

constexpr const char* kDivisionByZero = "Division by zero";
constexpr const char* kFloatDivisionByZero = "Floating point division by zero";
constexpr const char* kFloatOverflow = "Floating point overflow";

using enum TValueClass;

// The class that a pair of operand classes selects, left operand first.  An
// empty operand is always an error; null wins over everything else; a
// date-time wins over the rest; then currency; strings and Booleans meet
// numbers as floating point, except that a string meets a Boolean as one.
constexpr TValueClass kPairTable[8][8] = {
    //           E        N       I          F          C           S           B           D
    /* E */ {vcEmpty, vcEmpty, vcEmpty,   vcEmpty,    vcEmpty,    vcEmpty,    vcEmpty,    vcEmpty},
    /* N */ {vcEmpty, vcNull,  vcNull,    vcNull,     vcNull,     vcNull,     vcNull,     vcNull},
    /* I */ {vcEmpty, vcNull,  vcInteger, vcFloat,    vcCurrency, vcFloat,    vcInteger,  vcDateTime},
    /* F */ {vcEmpty, vcNull,  vcFloat,   vcFloat,    vcCurrency, vcFloat,    vcFloat,    vcDateTime},
    /* C */ {vcEmpty, vcNull,  vcCurrency, vcCurrency, vcCurrency, vcCurrency, vcCurrency, vcDateTime},
    /* S */ {vcEmpty, vcNull,  vcFloat,   vcFloat,    vcCurrency, vcString,   vcBoolean,  vcDateTime},
    /* B */ {vcEmpty, vcNull,  vcInteger, vcFloat,    vcCurrency, vcBoolean,  vcBoolean,  vcDateTime},
    /* D */ {vcEmpty, vcNull,  vcDateTime, vcDateTime, vcDateTime, vcDateTime, vcDateTime, vcDateTime},
};

[[noreturn]] void ThrowInvalidOperation() { throw EVariantError(kInvalidVariantOperation); }

// Integer division, remainder, AND and OR work on integers in every class
// except where Booleans meet for AND and OR.
bool IsIntegerOp(TArithOp op) {
  return op == TArithOp::kIntDivide || op == TArithOp::kModulo || op == TArithOp::kAnd ||
         op == TArithOp::kOr;
}

[[noreturn]] void ThrowFloatDivision(long double dividend) {
  if (dividend == 0 || std::isnan(dividend)) throw EInvalidOp(kInvalidFloatingPointOperation);
  throw EZeroDivide(kFloatDivisionByZero);
}

// The float of a value, with 64-bit integers kept exact (an extended double
// holds every one of them).
long double FloatOf(const Variant& value) {
  if (value.type() == VarType::kInt64) return static_cast<long double>(value.AsInt64());
  return VarToDouble(value);
}

bool AddOverflows(std::int64_t a, std::int64_t b, std::int64_t& out) {
  if ((b > 0 && a > INT64_MAX - b) || (b < 0 && a < INT64_MIN - b)) return true;
  out = a + b;
  return false;
}

bool SubtractOverflows(std::int64_t a, std::int64_t b, std::int64_t& out) {
  if ((b < 0 && a > INT64_MAX + b) || (b > 0 && a < INT64_MIN + b)) return true;
  out = a - b;
  return false;
}

bool MultiplyOverflows(std::int64_t a, std::int64_t b, std::int64_t& out) {
  bool overflow = false;
  if (a > 0) {
    overflow = b > 0 ? a > INT64_MAX / b : b < INT64_MIN / a;
  } else if (a < 0) {
    overflow = b > 0 ? a < INT64_MIN / b : (b != 0 && b < INT64_MAX / a);
  }
  if (!overflow) out = a * b;
  return overflow;
}

Variant CombineAsInteger(const Variant& left, const Variant& right, TArithOp op);

Variant CombineAsFloat(const Variant& left, const Variant& right, TArithOp op) {
  if (IsIntegerOp(op)) return CombineAsInteger(left, right, op);
  const long double a = FloatOf(left);
  const long double b = FloatOf(right);
  long double result = 0;
  switch (op) {
    case TArithOp::kAdd: result = a + b; break;
    case TArithOp::kSubtract: result = a - b; break;
    case TArithOp::kMultiply: result = a * b; break;
    default:
      if (b == 0) ThrowFloatDivision(a);
      result = a / b;
      break;
  }
  return Variant(CheckFloat(static_cast<double>(result)));
}

// 32-bit operands compute in 32 bits; a 64-bit operand makes it 64 bits.
// "+", "-" and "*" start over in floating point when the result overflows.
Variant CombineAsInteger(const Variant& left, const Variant& right, TArithOp op) {
  const bool wide = left.type() == VarType::kInt64 || right.type() == VarType::kInt64;
  const std::int64_t a = wide ? VarToInt64(left) : VarToInt(left);
  const std::int64_t b = wide ? VarToInt64(right) : VarToInt(right);
  auto make = [wide](std::int64_t v) { return wide ? Variant::Int64(v) : Variant::Integer(v); };
  std::int64_t v = 0;
  switch (op) {
    case TArithOp::kAdd:
    case TArithOp::kSubtract:
    case TArithOp::kMultiply: {
      bool overflow = op == TArithOp::kAdd        ? AddOverflows(a, b, v)
                      : op == TArithOp::kSubtract ? SubtractOverflows(a, b, v)
                                                 : MultiplyOverflows(a, b, v);
      if (!wide && (v < INT32_MIN || v > INT32_MAX)) overflow = true;
      if (overflow) return CombineAsFloat(left, right, op);
      return make(v);
    }
    case TArithOp::kDivide:
      return CombineAsFloat(left, right, op);
    case TArithOp::kIntDivide:
      if (b == 0) throw EDivByZero(kDivisionByZero);
      // The one quotient that leaves the 64-bit range.
      if (a == INT64_MIN && b == -1) return Variant(-static_cast<double>(a));
      return make(a / b);
    case TArithOp::kModulo:
      if (b == 0) throw EDivByZero(kDivisionByZero);
      return make(b == -1 ? 0 : a % b);
    case TArithOp::kAnd:
      return make(a & b);
    case TArithOp::kOr:
      return make(a | b);
  }
  ThrowInvalidOperation();
}

Variant CurrencyFromUnits(long double units) {
  const long double rounded = std::nearbyint(units);
  if (!(rounded >= -9223372036854775808.0L && rounded < 9223372036854775808.0L)) {
    throw EOverflow(kFloatOverflow);
  }
  return Variant(Currency{static_cast<std::int64_t>(rounded)});
}

Variant CombineAsCurrency(const Variant& left, const Variant& right, TArithOp op) {
  const bool left_currency = left.type() == VarType::kCurrency;
  const bool right_currency = right.type() == VarType::kCurrency;
  switch (op) {
    case TArithOp::kAdd:
    case TArithOp::kSubtract: {
      const Currency a = VarToCurrency(left);
      const Currency b = VarToCurrency(right);
      std::int64_t units = 0;
      const bool overflow = op == TArithOp::kAdd ? AddOverflows(a.units, b.units, units)
                                                : SubtractOverflows(a.units, b.units, units);
      if (overflow) throw EOverflow(kFloatOverflow);
      return Variant(Currency{units});
    }
    case TArithOp::kMultiply: {
      // In units: an amount times a plain number, or two amounts rescaled.
      const long double a = left_currency ? static_cast<long double>(left.AsCurrency().units) : FloatOf(left);
      const long double b = right_currency ? static_cast<long double>(right.AsCurrency().units) : FloatOf(right);
      long double units = a * b;
      if (left_currency && right_currency) units /= Currency::kScale;
      return CurrencyFromUnits(units);
    }
    case TArithOp::kDivide: {
      // Anything divided by an amount is a plain ratio.
      if (right_currency) return CombineAsFloat(left, right, op);
      const long double a = static_cast<long double>(left.AsCurrency().units);
      const long double b = FloatOf(right);
      if (b == 0) ThrowFloatDivision(a);
      return CurrencyFromUnits(a / b);
    }
    default:
      return CombineAsInteger(left, right, op);
  }
}

Variant CombineAsDateTime(const Variant& left, const Variant& right, TArithOp op) {
  if (op != TArithOp::kAdd && op != TArithOp::kSubtract) return CombineAsFloat(left, right, op);
  const long double a = FloatOf(left);
  const long double b = FloatOf(right);
  if (op == TArithOp::kAdd) return Variant::DateTime(CheckFloat(static_cast<double>(a + b)));
  const double difference = CheckFloat(static_cast<double>(a - b));
  // Two date-times are apart by a number of days; one date-time moves.
  const bool both = left.type() == VarType::kDateTime && right.type() == VarType::kDateTime;
  return both ? Variant(difference) : Variant::DateTime(difference);
}

template <typename T>
int Sign(T a, T b) {
  return (a > b) - (a < b);
}

const char* kSyntaxTreeFault = "Calculate error: syntax tree fault.";

thread_local std::size_t text_bytes = 0;  // made by the running evaluation

}  // namespace

void CheckTextRoom(std::size_t size) {
  if (size > kMaxTextBytes - text_bytes) {
    throw EZelParseException("Calculate error: the expression makes more than " + std::to_string(kMaxTextBytes) +
                             " bytes of text.");
  }
}

TValueClass ClassOf(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty: return vcEmpty;
    case VarType::kNull: return vcNull;
    case VarType::kInteger:
    case VarType::kInt64: return vcInteger;
    case VarType::kDouble: return vcFloat;
    case VarType::kCurrency: return vcCurrency;
    case VarType::kString: return vcString;
    case VarType::kBoolean: return vcBoolean;
    case VarType::kDateTime: return vcDateTime;
  }
  return vcEmpty;
}

TValueClass PairClass(const Variant& left, const Variant& right) {
  return kPairTable[static_cast<int>(ClassOf(left))][static_cast<int>(ClassOf(right))];
}

double CheckFloat(double x) {
  if (std::isnan(x)) throw EInvalidOp(kInvalidFloatingPointOperation);
  if (std::isinf(x)) throw EOverflow(kFloatOverflow);
  return x;
}

Variant CombineValues(const Variant& left, const Variant& right, TArithOp op) {
  switch (PairClass(left, right)) {
    case vcEmpty:
      ThrowInvalidOperation();
    case vcNull:
      return Variant::Null();
    case vcInteger:
      return CombineAsInteger(left, right, op);
    case vcFloat:
      return CombineAsFloat(left, right, op);
    case vcCurrency:
      return CombineAsCurrency(left, right, op);
    case vcString:
      if (op == TArithOp::kAdd) return Variant(left.AsString() + right.AsString());
      return CombineAsFloat(left, right, op);
    case vcBoolean:
      if (op == TArithOp::kAnd || op == TArithOp::kOr) {
        const bool a = VarToBool(left);
        const bool b = VarToBool(right);
        return Variant(op == TArithOp::kAnd ? a && b : a || b);
      }
      return CombineAsFloat(left, right, op);
    case vcDateTime:
      return CombineAsDateTime(left, right, op);
  }
  ThrowInvalidOperation();
}

int CompareValues(const Variant& left, const Variant& right) {
  switch (PairClass(left, right)) {
    case vcEmpty:
      ThrowInvalidOperation();
    case vcNull:
      if (left.IsNull()) return right.IsNull() ? 0 : -1;
      return 1;
    case vcInteger: {
      const std::int64_t a = VarToInt64(left);
      const std::int64_t b = VarToInt64(right);
      return Sign(a, b);
    }
    case vcFloat:
    case vcDateTime: {
      const long double a = FloatOf(left);
      const long double b = FloatOf(right);
      return Sign(a, b);
    }
    case vcCurrency: {
      const Currency a = VarToCurrency(left);
      const Currency b = VarToCurrency(right);
      return Sign(a.units, b.units);
    }
    case vcString: {
      // Byte by byte, unsigned, the shorter prefix first.
      const int c = left.AsString().compare(right.AsString());
      return Sign(c, 0);
    }
    case vcBoolean: {
      const bool a = VarToBool(left);
      const bool b = VarToBool(right);
      return Sign(static_cast<int>(a), static_cast<int>(b));
    }
  }
  ThrowInvalidOperation();
}

Variant ToNumeric(const Variant& value) {
  if (value.IsEmptyOrNull()) return Variant(0);
  const FormatSettings& fs = Settings();
  std::string text = VarToText(value);
  if (value.type() == VarType::kDateTime &&
      (text.find(fs.date_separator) != std::string::npos || text.find(fs.time_separator) != std::string::npos) &&
      TextToDateTime(text, fs)) {
    return value;
  }
  // Commas are taken for thousands separators, except where the comma is the
  // decimal separator: there removing it would multiply every fraction.
  const bool comma_is_decimal = fs.decimal_separator == ',';
  std::erase_if(text, [&](char c) {
    return (c == ',' && !comma_is_decimal) || (c == fs.thousands_separator && c != fs.decimal_separator);
  });
  const std::size_t symbol = fs.currency_symbol.empty() ? std::string::npos : text.find(fs.currency_symbol);
  if (symbol != std::string::npos) {
    text.erase(symbol, fs.currency_symbol.size());
  } else if (const std::size_t dollar = text.find('$'); dollar != std::string::npos) {
    text.erase(dollar, 1);
  }
  if (IsNumberText(text)) return Variant(std::move(text));
  return Variant(0);
}

double Power(double base, double exponent) {
  if (exponent == 0) return 1;
  if (base == 0 && exponent > 0) return 0;
  if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0) {
    auto n = static_cast<std::uint32_t>(std::fabs(exponent));
    long double product = 1;
    long double factor = base;
    while (n != 0) {
      if ((n & 1u) != 0) product *= factor;
      n >>= 1;
      if (n != 0) factor *= factor;
    }
    if (exponent < 0) {
      if (base == 0) throw EZeroDivide(kFloatDivisionByZero);
      // A product that vanished stands for a quotient beyond any range.
      if (product == 0) throw EOverflow(kFloatOverflow);
      product = 1 / product;
    }
    return CheckFloat(static_cast<double>(product));
  }
  // exp(exponent * ln(base)), with the faults of the logarithm.
  if (base < 0) throw EInvalidOp(kInvalidFloatingPointOperation);
  if (base == 0) throw EZeroDivide(kFloatDivisionByZero);
  const long double result =
      std::exp(static_cast<long double>(exponent) * std::log(static_cast<long double>(base)));
  return CheckFloat(static_cast<double>(result));
}

Variant Factorial(std::int32_t n) {
  if (n <= 1) return Variant(n);
  // k * (k-1)! from the inside out; the double overflows long before k gets
  // large, so the loop is short whatever n is.
  Variant product(1);
  for (std::int32_t k = 2; k <= n; ++k) {
    product = CombineValues(Variant(k), product, TArithOp::kMultiply);
    if (k == INT32_MAX) break;
  }
  return product;
}

Variant NotValue(const Variant& value) {
  switch (value.type()) {
    case VarType::kNull: return Variant::Null();
    case VarType::kEmpty: ThrowInvalidOperation();
    case VarType::kBoolean: return Variant(!value.AsBoolean());
    case VarType::kInt64: return Variant::Int64(~value.AsInt64());
    default: return Variant(static_cast<std::int32_t>(~VarToInt(value)));
  }
}

double ReadNumberLiteral(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  DecimalSyntax literal;  // a full stop whatever the locale, and no exponent
  literal.exponent = false;
  const auto number = ScanDecimalPrefix(text, literal);
  if (!number) return 0;
  // Too small to tell from zero is no error; too large is.
  if (number->range == DecimalRange::kTooLarge) throw EOverflow(kFloatOverflow);
  return number->value;
}

Variant TExpNode::Evaluate() const {
  NestingGuard guard;
  if (guard.Outermost()) text_bytes = 0;
  Variant value = EvaluateRole();
  if (value.IsString()) {
    CheckTextRoom(value.AsString().size());
    text_bytes += value.AsString().size();
  }
  return value;
}

Variant TExpNode::EvaluateRole() const {
  switch (role_) {
    case Role::kNull: return Variant::Null();
    case Role::kText: return Variant(token_->Text);
    case Role::kNumber: return Variant(number_ready_ ? number_ : ReadNumberLiteral(token_->Text));
    case Role::kBuiltin: return builtin_->Compute(*this);
    case Role::kName: return EvaluateName();
    case Role::kOperator: return EvaluateOperator();
  }
  return Variant::Null();
}

Variant TExpNode::EvaluateOperator() const {
  const int arity =
      operator_rank_ > 0 ? OperatorTable[static_cast<std::size_t>(operator_rank_ - 1)].Arity : 0;
  if (static_cast<std::size_t>(arity) != children_.size()) throw EZelParseException(kSyntaxTreeFault);

  // Operands in text order, the first one complete with its conversion
  // before the second is touched; no short cuts, not even for AND and OR.
  auto numeric = [this](std::size_t i) { return ToNumeric(children_[i]->Evaluate()); };
  switch (operator_rank_) {
    case oprAdd: {
      const Variant left = children_[0]->Evaluate();
      const Variant right = children_[1]->Evaluate();
      if (left.IsString() != right.IsString()) {
        std::string text = VarToText(left);
        AppendVarText(text, right);
        return Variant(std::move(text));
      }
      return CombineValues(left, right, TArithOp::kAdd);
    }
    case oprSubtract:
    case oprMultiply:
    case oprDivide: {
      const Variant left = numeric(0);
      const Variant right = numeric(1);
      const TArithOp op = operator_rank_ == oprSubtract   ? TArithOp::kSubtract
                          : operator_rank_ == oprMultiply ? TArithOp::kMultiply
                                                          : TArithOp::kDivide;
      return CombineValues(left, right, op);
    }
    case oprPower: {
      const double base = VarToDouble(numeric(0));
      const double exponent = VarToDouble(numeric(1));
      return Variant(Power(base, exponent));
    }
    case oprFactorial:
      return Factorial(RoundToInt32(VarToDouble(numeric(0))));
    case oprEqual:
    case oprLess:
    case oprGreater:
    case oprLessEqual:
    case oprGreaterEqual:
    case oprNotEqual:
    case oprNotEqual2: {
      const Variant left = children_[0]->Evaluate();
      const Variant right = children_[1]->Evaluate();
      const int c = CompareValues(left, right);
      switch (operator_rank_) {
        case oprEqual: return Variant(c == 0);
        case oprLess: return Variant(c < 0);
        case oprGreater: return Variant(c > 0);
        case oprLessEqual: return Variant(c <= 0);
        case oprGreaterEqual: return Variant(c >= 0);
        default: return Variant(c != 0);
      }
    }
    case oprAnd:
    case oprOr: {
      const Variant left = children_[0]->Evaluate();
      const Variant right = children_[1]->Evaluate();
      return CombineValues(left, right, operator_rank_ == oprAnd ? TArithOp::kAnd : TArithOp::kOr);
    }
    case oprNot:
      return NotValue(children_[0]->Evaluate());
    default:
      // A lone run that is not in the table: its text, like any token.
      return Variant(token_->Text);
  }
}

Variant TExpNode::EvaluateName() const {
  std::string_view name = token_->Text;
  if (!name.empty() && name.front() == '[') name.remove_prefix(1);
  if (!name.empty() && name.back() == ']') name.remove_suffix(1);
  Variant value{std::string(name)};
  if (children_.size() > static_cast<std::size_t>(kArgSlots)) {
    throw EZelParseException("Function \"" + token_->Text + "\" is called with " +
                             std::to_string(children_.size()) + " arguments; at most " +
                             std::to_string(kArgSlots) + " are allowed.");
  }
  if (owner_ == nullptr) return value;
  // Plain names (field names, once per record) share one set of empty slots.
  static const TExpArgs kNoArguments;
  if (children_.empty()) {
    owner_->ResolveName(token_->Text, kNoArguments, parent_ != nullptr, value);
    return value;
  }
  TExpArgs args;
  for (std::size_t i = 0; i < children_.size(); ++i) args[i] = children_[i]->Evaluate();
  owner_->ResolveName(token_->Text, args, parent_ != nullptr, value);
  return value;
}

}  // namespace tabdump
