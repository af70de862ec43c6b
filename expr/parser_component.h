// The entry point of the filter language.  A host sets an expression text,
// answers the names the language does not know through OnEvaluate, and asks
// for the value with Calculate.  Beside the host, a process-wide registry of
// user functions and constants ("PI=3.14", "AREA(W, H)=W*H") answers names.
//
// The text is tokenized and compiled once, on the first Calculate after it
// was set, and the same tree is evaluated on every later call; each
// evaluation still asks the host for every name, so a host can call
// Calculate once per record with the record's values.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/expression_tree.h"
#include "runtime/component.h"
#include "runtime/variant.h"

namespace tabdump {

class TZelParser;

// Raised for every name or call that no built-in function takes.
//   sender     the component raising the event
//   eval       the token as written, quotes and brackets included
//   args       the call's argument values in order, the other slots empty
//   arg_count  always kArgSlots (11), whatever was written
//   is_child   false when the name is the whole expression
//   value      arrives holding the name without enclosing brackets; the
//              handler stores its answer here
//   done       arrives false; true stops the registry from replacing value
using TOnEvaluate = std::function<void(TZelParser& sender, const std::string& eval, const TExpArgs& args,
                                       int arg_count, bool is_child, Variant& value, bool& done)>;

// A tokenized and compiled text; the tree refers to the tokenizer's tokens.
struct TCompiledExpression;

class TZelParser : public TComponent, private TExpOwner {
 public:
  explicit TZelParser(TComponent* owner = nullptr);
  ~TZelParser() override;
  TZelParser(const TZelParser&) = delete;
  TZelParser& operator=(const TZelParser&) = delete;

  // When true the registry is asked before the handler.
  bool ProcessBeforeEvent = false;
  TOnEvaluate OnEvaluate;

  const std::string& Text() const { return text_; }
  // A different text drops the compiled tree.
  void SetText(std::string text);

  // Compiles the text when needed and, if `evaluate`, evaluates it into
  // LastValue().  Every error of the language reaches the caller.
  void Check(bool evaluate);
  // Check(true), and a copy of the value.
  Variant Calculate();
  const Variant& LastValue() const { return last_value_; }

  // Answers one name or call: the handler, then the registry (or the other
  // way round with ProcessBeforeEvent).
  void DoEvaluate(const std::string& eval, const TExpArgs& args, bool is_child, Variant& value);

 private:
  void ResolveName(const std::string& eval, const TExpArgs& args, bool is_child, Variant& value) override;

  std::string text_;
  std::shared_ptr<const TCompiledExpression> compiled_;
  Variant last_value_;
};

// One registry entry: a constant or a function with named parameters, whose
// body is an expression over its parameters and the built-in functions.
class TZelParserFunction : private TExpOwner {
 public:
  explicit TZelParserFunction(TZelParser* owner_parser = nullptr);
  virtual ~TZelParserFunction();
  TZelParserFunction(const TZelParserFunction&) = delete;
  TZelParserFunction& operator=(const TZelParserFunction&) = delete;

  // Parses "NAME=BODY", "NAME(P1, P2)=BODY" or "NAME P1, P2=BODY".  Raises
  // EZelParseException for a header that is not a name with a parameter list.
  void SetDefinition(const std::string& text);
  const std::string& Definition() const { return definition_; }
  const std::string& Name() const { return name_; }
  const std::string& Body() const { return body_; }
  const std::vector<std::string>& ParamNames() const { return param_names_; }
  int ParamCount() const { return static_cast<int>(param_names_.size()); }

  // Descriptive texts, not read by the language.
  std::string Description;
  std::string Category;
  std::string Group;

  // Answers the body's names that are not parameters; null for registry
  // entries, whose bodies see only their parameters and the built-ins.
  TZelParser* OwnerParser;
  // The arguments of the current call, slot i for parameter i.
  TExpArgs ArgValues;

  void SetArgs(const TExpArgs& args);
  // The body's value for the current ArgValues.
  virtual Variant Evaluate();
  // A name inside the body: a parameter, else the OwnerParser's answer.
  void LookupName(const std::string& eval, const TExpArgs& args, Variant& value);

 private:
  void ResolveName(const std::string& eval, const TExpArgs& args, bool is_child, Variant& value) override;

  std::string definition_;
  std::string name_;
  std::string body_;
  std::vector<std::string> param_names_;
  std::shared_ptr<const TCompiledExpression> compiled_;
};

// The registry: an ordered list of entries that it owns.
class TZelParserFunctions {
 public:
  TZelParserFunctions() = default;
  ~TZelParserFunctions();
  TZelParserFunctions(const TZelParserFunctions&) = delete;
  TZelParserFunctions& operator=(const TZelParserFunctions&) = delete;

  // A new entry defined by `definition`; nothing is added when the
  // definition raises.
  TZelParserFunction* Add(const std::string& definition);
  // The first entry whose name equals `name`, letters a-z without case.
  TZelParserFunction* Find(std::string_view name) const;
  // Entry i, or null outside 0..Count()-1.
  TZelParserFunction* Items(int i) const;
  // Frees entry i; EListError for an index outside the list.
  void Remove(int i);
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  std::vector<std::unique_ptr<TZelParserFunction>> items_;
};

// The process-wide registry, holding the constant PI from the start.
TZelParserFunctions& FunctionRegistry();

}  // namespace tabdump
