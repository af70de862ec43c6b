// Shared pieces of the expression-language tests: a printed form of
// outcomes (values and errors), and a host that answers names with values of every kind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "expr/parser_component.h"
#include "runtime/clock.h"
#include "runtime/convert.h"
#include "runtime/exceptions.h"
#include "runtime/format_settings.h"
#include "tests/support/show_value.h"

namespace tabdump::testing {

// One line of filter text and the outcome it must have.
struct Case {
  const char* input;
  const char* expected;
};

// The printed value, or "EClass: message" for an exception of the program.
template <typename F>
std::string Outcome(F&& compute) {
  try {
    return Show(compute());
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.what();
  }
}

// A host in the manner of the row filter: double-quoted texts become plain
// texts, field names are answered from `fields`, anything else is left alone.
class ExprHostTest : public ::testing::Test {
 protected:
  ExprHostTest() : settings_(FormatSettings::Iso()) {
    SetClockForTesting(43831.5);  // 2020-01-01 12:00
    fields = {
        {"I", Variant(4)},
        {"K", Variant(12)},
        {"L", Variant(10)},
        {"IMAX", Variant(INT32_MAX)},
        {"W", Variant::Int64(5'000'000'000)},
        {"WMAX", Variant::Int64(INT64_MAX)},
        {"WMAX1", Variant::Int64(INT64_MAX - 1)},
        {"D", Variant(2.5)},
        {"C", Variant(Currency{15'000})},  // 1.5
        {"T", Variant::DateTime(43831)},   // 2020-01-01
        {"B", Variant(true)},
        {"BF", Variant(false)},
        {"S", Variant("abc")},
        {"S2", Variant("2")},
        {"SN", Variant("1,234.5")},
        {"N", Variant::Null()},
        {"E", Variant()},
    };
    parser.OnEvaluate = [this](TZelParser&, const std::string& eval, const TExpArgs&, int, bool,
                               Variant& value, bool& done) {
      if (eval.size() >= 2 && eval.front() == '"' && eval.back() == '"') {
        value = Variant(eval.substr(1, eval.size() - 2));
        done = true;
        return;
      }
      if (auto it = fields.find(eval); it != fields.end()) {
        value = it->second;
        done = true;
      }
    };
  }
  ~ExprHostTest() override { SetClockForTesting(std::nullopt); }

  std::string Eval(const std::string& text) {
    parser.SetText(text);
    return Outcome([&] { return parser.Calculate(); });
  }

  template <std::size_t N>
  void Check(const Case (&cases)[N]) {
    for (const Case& c : cases) EXPECT_EQ(Eval(c.input), c.expected) << c.input;
  }

  ScopedSettings settings_;
  std::map<std::string, Variant> fields;
  TZelParser parser;
};

}  // namespace tabdump::testing
