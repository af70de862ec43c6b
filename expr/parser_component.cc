#include "expr/parser_component.h"

#include "expr/tokenizer.h"
#include "runtime/ascii_case.h"
#include "runtime/exceptions.h"

namespace tabdump {

struct TCompiledExpression {
  TExpParser tokenizer;         // owns the tokens ...
  std::unique_ptr<TExpNode> root;  // ... that the tree refers to, so it goes first
};

namespace {

std::shared_ptr<const TCompiledExpression> CompileExpression(std::string_view text, TExpOwner* owner) {
  auto compiled = std::make_shared<TCompiledExpression>();
  compiled->tokenizer.Tokenize(text);
  compiled->root = std::make_unique<TExpNode>(owner, compiled->tokenizer.TokenRefs(), nullptr);
  compiled->root->Compile();
  return compiled;
}

// Evaluates a compiled text.  The caller's reference keeps the tree alive
// even when a handler sets a new text in the middle of the evaluation.
Variant EvaluateCompiled(const std::shared_ptr<const TCompiledExpression>& compiled) {
  std::shared_ptr<const TCompiledExpression> keep = compiled;
  return keep->root->Evaluate();
}

}  // namespace

// ---------------------------------------------------------------- TZelParser

TZelParser::TZelParser(TComponent* owner) : TComponent(owner) {}

TZelParser::~TZelParser() = default;

void TZelParser::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  compiled_.reset();
}

void TZelParser::Check(bool evaluate) {
  if (!compiled_) compiled_ = CompileExpression(text_, this);
  if (evaluate) last_value_ = EvaluateCompiled(compiled_);
}

Variant TZelParser::Calculate() {
  Check(true);
  return last_value_;
}

void TZelParser::ResolveName(const std::string& eval, const TExpArgs& args, bool is_child,
                             Variant& value) {
  DoEvaluate(eval, args, is_child, value);
}

void TZelParser::DoEvaluate(const std::string& eval, const TExpArgs& args, bool is_child, Variant& value) {
  bool done = false;
  if (!ProcessBeforeEvent && OnEvaluate) {
    OnEvaluate(*this, eval, args, kArgSlots, is_child, value, done);
    // Without done, a registry entry of the same name still has the last word.
    if (done) return;
  } else {
    value = Variant(eval);
  }
  if (TZelParserFunction* entry = FunctionRegistry().Find(eval)) {
    entry->SetArgs(args);
    value = entry->Evaluate();
    return;
  }
  if (ProcessBeforeEvent && OnEvaluate) OnEvaluate(*this, eval, args, kArgSlots, is_child, value, done);
}

// ---------------------------------------------------------------- TZelParserFunction

TZelParserFunction::TZelParserFunction(TZelParser* owner_parser) : OwnerParser(owner_parser) {}

TZelParserFunction::~TZelParserFunction() = default;

void TZelParserFunction::SetDefinition(const std::string& text) {
  param_names_.clear();
  definition_ = text;
  name_.clear();
  body_.clear();
  compiled_.reset();

  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return;  // no name, no body, no error
  const std::string header = text.substr(0, equals);
  body_ = text.substr(equals + 1);

  TExpParser tokenizer;
  tokenizer.Tokenize(header);
  const auto& tokens = tokenizer.Tokens();
  if (tokens.empty() || tokens[0]->Kind != TExpTokenKind::etkWord) {
    throw EZelParseException("Function \"" + text + "\" is not valid.");
  }
  name_ = tokens[0]->Text;
  if (tokens.size() == 1) return;

  const std::string bad_header = "Function header \"" + header + "\" is not valid.";
  bool parenthesised = false;
  if (tokens[1]->Kind == TExpTokenKind::etkParen) {
    if (tokens[1]->Text != "(") throw EZelParseException(bad_header);
    parenthesised = true;
  }
  // Without parentheses the second token is passed over like the "(".
  bool expect_name = true;
  for (std::size_t i = 2; i < tokens.size(); ++i) {
    const TExpToken& token = *tokens[i];
    if (token.Kind == TExpTokenKind::etkParen) {
      if (token.Text == ")" && parenthesised) return;
      throw EZelParseException(bad_header);
    }
    if (!expect_name) {
      if (token.Kind != TExpTokenKind::etkComma) {
        throw EZelParseException("Function parse error: delimitor \",\" expected between arguments.");
      }
      expect_name = true;
    } else if (token.Kind == TExpTokenKind::etkWord) {
      param_names_.push_back(token.Text);
      expect_name = false;
    }
  }
  if (parenthesised) throw EZelParseException(bad_header);
}

void TZelParserFunction::SetArgs(const TExpArgs& args) { ArgValues = args; }

Variant TZelParserFunction::Evaluate() {
  if (!compiled_) compiled_ = CompileExpression(body_, this);
  return EvaluateCompiled(compiled_);
}

void TZelParserFunction::LookupName(const std::string& eval, const TExpArgs& args, Variant& value) {
  for (std::size_t i = 0; i < param_names_.size(); ++i) {
    if (EqualsIgnoreAsciiCase(eval, param_names_[i])) {
      // Parameters past the argument slots never receive a value.
      value = i < ArgValues.size() ? ArgValues[i] : Variant();
      return;
    }
  }
  if (OwnerParser != nullptr) OwnerParser->DoEvaluate(eval, args, false, value);
}

void TZelParserFunction::ResolveName(const std::string& eval, const TExpArgs& args, bool /*is_child*/,
                                     Variant& value) {
  LookupName(eval, args, value);
}

// ---------------------------------------------------------------- TZelParserFunctions

TZelParserFunctions::~TZelParserFunctions() {
  while (!items_.empty()) items_.pop_back();
}

TZelParserFunction* TZelParserFunctions::Add(const std::string& definition) {
  auto entry = std::make_unique<TZelParserFunction>(nullptr);
  entry->SetDefinition(definition);
  items_.push_back(std::move(entry));
  return items_.back().get();
}

TZelParserFunction* TZelParserFunctions::Find(std::string_view name) const {
  for (const auto& entry : items_) {
    if (EqualsIgnoreAsciiCase(entry->Name(), name)) return entry.get();
  }
  return nullptr;
}

TZelParserFunction* TZelParserFunctions::Items(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(i)].get();
}

void TZelParserFunctions::Remove(int i) {
  if (i < 0 || i >= Count()) throw EListError("List index out of bounds (" + std::to_string(i) + ")");
  items_.erase(items_.begin() + i);
}

TZelParserFunctions& FunctionRegistry() {
  static TZelParserFunctions registry;
  static const bool initialised = [] {
    TZelParserFunction* pi = registry.Add("PI=3.14");
    pi->Category = "Constants";
    pi->Group = "<All>";
    pi->Description = "PI value";
    return true;
  }();
  (void)initialised;
  return registry;
}

}  // namespace tabdump
