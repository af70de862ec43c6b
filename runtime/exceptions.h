// Exception classes shared by every layer.  Each one carries only its message
// and can name its class, which the top-level error report prints.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tabdump {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message);
  virtual const char* ClassName() const { return "Exception"; }
  const std::string Message() const { return what(); }
  // A code address near the place that raised the exception, relative to the
  // program's load address so that it is the same from run to run.
  std::uintptr_t RaiseAddress() const { return raise_address_; }

 private:
  std::uintptr_t raise_address_;
};

#define TABDUMP_EXCEPTION_CLASS(Name)                                 \
  class Name : public Exception {                                     \
   public:                                                            \
    using Exception::Exception;                                       \
    const char* ClassName() const override { return #Name; }          \
  };

// Readers of table files.
TABDUMP_EXCEPTION_CLASS(EZelFileException)
TABDUMP_EXCEPTION_CLASS(EZelCryptException)
TABDUMP_EXCEPTION_CLASS(EZelInvalidSignatureException)
// A value or record that the output could carry only in part, under /strict.
TABDUMP_EXCEPTION_CLASS(EDataLoss)
// The expression language.
TABDUMP_EXCEPTION_CLASS(EZelParseException)
// Value conversions and arithmetic.
TABDUMP_EXCEPTION_CLASS(EVariantError)
TABDUMP_EXCEPTION_CLASS(EConvertError)
TABDUMP_EXCEPTION_CLASS(EDivByZero)
TABDUMP_EXCEPTION_CLASS(EZeroDivide)
TABDUMP_EXCEPTION_CLASS(EInvalidOp)
TABDUMP_EXCEPTION_CLASS(EOverflow)
TABDUMP_EXCEPTION_CLASS(EListError)
// File streams.
TABDUMP_EXCEPTION_CLASS(EFOpenError)
TABDUMP_EXCEPTION_CLASS(EFCreateError)
TABDUMP_EXCEPTION_CLASS(EWriteError)
TABDUMP_EXCEPTION_CLASS(EReadError)
// The reader of a pipe the output goes to has closed it: the run ends quietly.
TABDUMP_EXCEPTION_CLASS(EBrokenPipe)

#undef TABDUMP_EXCEPTION_CLASS

// Messages used in more than one place.
inline constexpr const char* kInvalidVariantTypeConversion = "Invalid variant type conversion";
inline constexpr const char* kInvalidVariantOperation = "Invalid variant operation";
inline constexpr const char* kInvalidFloatingPointOperation = "Invalid floating point operation";

}  // namespace tabdump
