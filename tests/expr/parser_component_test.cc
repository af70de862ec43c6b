#include "expr/parser_component.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/expr/expr_test_support.h"

namespace tabdump {
namespace {

using testing::Outcome;
using testing::Show;

struct EventCall {
  std::string eval;
  TExpArgs args;
  int arg_count;
  bool is_child;
  Variant value_in;
};

class ParserComponentTest : public ::testing::Test {
 protected:
  ParserComponentTest() : settings_(FormatSettings::Iso()) {}
  ~ParserComponentTest() override {
    // Leave the registry as the process started it: PI alone.
    while (FunctionRegistry().Count() > 1) FunctionRegistry().Remove(FunctionRegistry().Count() - 1);
  }

  std::string Eval(const std::string& text) {
    parser.SetText(text);
    return Outcome([&] { return parser.Calculate(); });
  }

  // A handler that records each call and answers with `answer`.
  void RecordCalls(Variant answer, bool set_done) {
    parser.OnEvaluate = [this, answer, set_done](TZelParser& sender, const std::string& eval,
                                                 const TExpArgs& args, int arg_count, bool is_child,
                                                 Variant& value, bool& done) {
      EXPECT_EQ(&sender, &parser);
      EXPECT_FALSE(done);
      calls.push_back({eval, args, arg_count, is_child, value});
      value = answer;
      done = set_done;
    };
  }

  ScopedSettings settings_;
  TZelParser parser;
  std::vector<EventCall> calls;
};

TEST_F(ParserComponentTest, RegistryHoldsPi) {
  EXPECT_EQ(Eval("PI"), "Double 3.14");
  EXPECT_EQ(Eval("PI*2"), "Double 6.28");
  EXPECT_EQ(Eval("pi"), "Double 3.14");
  // The registry is searched with the token as written.
  EXPECT_EQ(Eval("[PI]"), "String [PI]");
  EXPECT_EQ(Eval("Total"), "String Total");
  const TZelParserFunction* pi = FunctionRegistry().Find("Pi");
  ASSERT_NE(pi, nullptr);
  EXPECT_EQ(pi->Category, "Constants");
  EXPECT_EQ(pi->Group, "<All>");
  EXPECT_EQ(pi->Description, "PI value");
}

TEST_F(ParserComponentTest, HandlerThenRegistry) {
  RecordCalls(Variant(7), /*set_done=*/false);
  EXPECT_EQ(Eval("PI"), "Double 3.14");  // without Done the registry has the last word
  EXPECT_EQ(Eval("X"), "Integer 7");
  EXPECT_EQ(calls.size(), 2u);

  RecordCalls(Variant(7), /*set_done=*/true);
  EXPECT_EQ(Eval("PI"), "Integer 7");
}

TEST_F(ParserComponentTest, RegistryThenHandlerWhenProcessBeforeEvent) {
  parser.ProcessBeforeEvent = true;
  RecordCalls(Variant(7), /*set_done=*/true);
  EXPECT_EQ(Eval("PI+X"), "Double 10.14");
  ASSERT_EQ(calls.size(), 1u);  // only for the name the registry lacks
  EXPECT_EQ(calls[0].eval, "X");
  EXPECT_EQ(Show(calls[0].value_in), "String X");
}

TEST_F(ParserComponentTest, EventArguments) {
  RecordCalls(Variant(1), true);
  Eval("[Order Date]");
  Eval("'abc'+1");
  Eval("FOO(1, 2, ,3)");
  ASSERT_EQ(calls.size(), 3u);

  EXPECT_EQ(calls[0].eval, "[Order Date]");
  EXPECT_EQ(Show(calls[0].value_in), "String Order Date");
  EXPECT_FALSE(calls[0].is_child);
  EXPECT_EQ(calls[0].arg_count, 11);
  for (const Variant& arg : calls[0].args) EXPECT_TRUE(arg.IsEmpty());

  EXPECT_EQ(calls[1].eval, "'abc'");
  EXPECT_EQ(Show(calls[1].value_in), "String 'abc'");
  EXPECT_TRUE(calls[1].is_child);

  EXPECT_EQ(calls[2].eval, "FOO");
  EXPECT_EQ(calls[2].arg_count, 11);
  EXPECT_EQ(Show(calls[2].args[0]), "Double 1");
  EXPECT_EQ(Show(calls[2].args[1]), "Double 2");
  EXPECT_EQ(Show(calls[2].args[2]), "Null");  // an empty argument
  EXPECT_EQ(Show(calls[2].args[3]), "Double 3");
  for (std::size_t i = 4; i < calls[2].args.size(); ++i) EXPECT_TRUE(calls[2].args[i].IsEmpty()) << i;
}

TEST_F(ParserComponentTest, AtMostElevenArguments) {
  RecordCalls(Variant(1), true);
  EXPECT_EQ(Eval("F(1,2,3,4,5,6,7,8,9,10,11)"), "Integer 1");
  EXPECT_EQ(Show(calls.back().args[10]), "Double 11");
  EXPECT_EQ(Eval("F(1,2,3,4,5,6,7,8,9,10,11,12)"),
            "EZelParseException: Function \"F\" is called with 12 arguments; at most 11 are allowed.");
}

TEST_F(ParserComponentTest, UserFunctions) {
  TZelParserFunction* area = FunctionRegistry().Add("AREA(W, H)=W*H");
  EXPECT_EQ(area->Name(), "AREA");
  EXPECT_EQ(area->Body(), "W*H");
  EXPECT_EQ(area->ParamNames(), (std::vector<std::string>{"W", "H"}));
  EXPECT_EQ(area->ParamCount(), 2);

  RecordCalls(Variant(99), /*set_done=*/false);
  EXPECT_EQ(Eval("AREA(2, 3)"), "Double 6");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].eval, "AREA");
  EXPECT_EQ(Show(calls[0].args[0]), "Double 2");
  EXPECT_EQ(Show(calls[0].args[1]), "Double 3");
  EXPECT_TRUE(calls[0].args[2].IsEmpty());
  // Evaluated anew for each call, nested calls included.
  EXPECT_EQ(Eval("AREA(AREA(1, 2), 5) + area(1, 1)"), "Double 11");

  // A body is compiled when it is first called, and its errors reach the caller.
  FunctionRegistry().Add("BAD(X)=(X");
  EXPECT_EQ(Eval("BAD(1)"), "EZelParseException: Compile error: syntax fault.");

  // A body sees its parameters and the built-ins, not the registry or host.
  FunctionRegistry().Add("TWICE(R)=PI+R");
  EXPECT_EQ(Eval("TWICE(2)"), "String PI2");
}

TEST_F(ParserComponentTest, Definitions) {
  TZelParserFunction f;
  f.SetDefinition("X");
  EXPECT_EQ(f.Name(), "");
  EXPECT_EQ(f.Body(), "");
  // Without parentheses the token after the name is passed over.
  f.SetDefinition("F+A,B=A-B");
  EXPECT_EQ(f.Name(), "F");
  EXPECT_EQ(f.ParamNames(), (std::vector<std::string>{"A", "B"}));
  f.SetDefinition("F A, B=A-B");  // spaces vanish inside the word FA
  EXPECT_EQ(f.Name(), "FA");
  EXPECT_EQ(f.ParamNames(), (std::vector<std::string>{"B"}));
  f.SetDefinition("G(a, , b) junk=1");
  EXPECT_EQ(f.ParamNames(), (std::vector<std::string>{"a", "b"}));

  const testing::Case errors[] = {
      {"=1", "EZelParseException: Function \"=1\" is not valid."},
      {"1(a)=1", "EZelParseException: Function \"1(a)=1\" is not valid."},
      {"F)=1", "EZelParseException: Function header \"F)\" is not valid."},
      {"F(a=1", "EZelParseException: Function header \"F(a\" is not valid."},
      {"F(a(b))=1", "EZelParseException: Function header \"F(a(b))\" is not valid."},
      {"F(a+b)=1", "EZelParseException: Function parse error: delimitor \",\" expected between arguments."},
  };
  const int before = FunctionRegistry().Count();
  for (const testing::Case& c : errors) {
    EXPECT_EQ(Outcome([&] { return Variant(FunctionRegistry().Add(c.input)->Name()); }), c.expected) << c.input;
  }
  EXPECT_EQ(FunctionRegistry().Count(), before);  // nothing added on failure
}

TEST_F(ParserComponentTest, RegistryList) {
  TZelParserFunctions list;
  list.Add("A=1");
  list.Add("b=2");
  list.Add("B=3");
  EXPECT_EQ(list.Find("B")->Body(), "2");  // the first match, case aside
  EXPECT_EQ(list.Find("c"), nullptr);
  EXPECT_EQ(list.Items(-1), nullptr);
  EXPECT_EQ(list.Items(3), nullptr);
  list.Remove(1);
  EXPECT_EQ(list.Find("B")->Body(), "3");
  EXPECT_EQ(Outcome([&] { list.Remove(2); return Variant(); }), "EListError: List index out of bounds (2)");
}

TEST_F(ParserComponentTest, CompilesOnceAndEvaluatesPerCall) {
  int value = 0;
  int handler_calls = 0;
  parser.OnEvaluate = [&](TZelParser&, const std::string&, const TExpArgs&, int, bool, Variant& v, bool& done) {
    ++handler_calls;
    v = Variant(value);
    done = true;
  };
  parser.SetText("Amount > 2");
  for (value = 0; value < 5; ++value) EXPECT_EQ(Show(parser.Calculate()), value > 2 ? "Boolean true" : "Boolean false");
  EXPECT_EQ(handler_calls, 5);
  EXPECT_EQ(Show(parser.LastValue()), "Boolean true");

  parser.SetText("Amount * 2");
  value = 21;
  EXPECT_EQ(Show(parser.Calculate()), "Double 42");

  // A text that does not compile fails at every call, not just the first.
  parser.SetText("a)+(b");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Outcome([&] { return parser.Calculate(); }),
              "EZelParseException: Compile error: parenthesis mismatch.");
  }
  EXPECT_EQ(Show(parser.LastValue()), "Double 42");  // a failed call stores nothing
}

TEST_F(ParserComponentTest, HandlerMayChangeTheTextWhileEvaluating) {
  parser.OnEvaluate = [&](TZelParser& sender, const std::string&, const TExpArgs&, int, bool, Variant& v,
                          bool& done) {
    sender.SetText("2");
    v = Variant(1);
    done = true;
  };
  EXPECT_EQ(Eval("X + X"), "Integer 2");  // finishes on the tree it started with
  EXPECT_EQ(Show(parser.Calculate()), "Double 2");
}

TEST_F(ParserComponentTest, HandlerErrorsReachTheCaller) {
  parser.OnEvaluate = [](TZelParser&, const std::string&, const TExpArgs&, int, bool, Variant&, bool&) {
    throw EConvertError("from the host");
  };
  EXPECT_EQ(Eval("1 + X"), "EConvertError: from the host");
}

TEST_F(ParserComponentTest, NestedRegistryEvaluationIsBounded) {
  // An entry whose body reaches back into a parser that calls it again.
  TZelParser outer;
  TZelParserFunction loop(&outer);
  loop.SetDefinition("LOOP(X)=LOOP(X)");
  outer.OnEvaluate = [&](TZelParser&, const std::string& eval, const TExpArgs& args, int, bool, Variant& v,
                         bool& done) {
    if (eval != "LOOP") return;
    loop.SetArgs(args);
    v = loop.Evaluate();
    done = true;
  };
  outer.SetText("LOOP(1)");
  EXPECT_EQ(Outcome([&] { return outer.Calculate(); }),
            "EZelParseException: Expression nested too deeply: more than 200 levels.");
}

}  // namespace
}  // namespace tabdump
