// The second stage of the filter language: the tree built from a token
// sequence.  There is no grammar: a run of tokens is stripped of enclosing
// parentheses, split at the loosest operator outside parentheses, or read as
// a call, and each part is built the same way.
//
// A compiled tree is never changed by evaluation, so it can be evaluated any
// number of times, also re-entrantly, with different values for its names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "expr/tokenizer.h"
#include "runtime/variant.h"

namespace tabdump {

// Calls that reach a host or a registered function carry this many argument
// slots, filled in order; the rest stay empty.
inline constexpr int kArgSlots = 11;
using TExpArgs = std::array<Variant, kArgSlots>;

// How deeply trees may nest, in compiling and in evaluating (registered
// functions evaluated from inside a tree count on top of it).  Deeper
// expressions are refused rather than risking the stack.
inline constexpr int kMaxNestingDepth = 200;

// The object that answers the names of a tree: the parser component, or a
// registered function whose body is being evaluated.
class TExpOwner {
 public:
  // `eval` is the token text as written; `value` arrives preset to the name
  // without enclosing brackets and leaves holding the answer.
  virtual void ResolveName(const std::string& eval, const TExpArgs& args, bool is_child,
                           Variant& value) = 0;

 protected:
  ~TExpOwner() = default;
};

struct TBuiltinFunction;

class TExpNode {
 public:
  // Copies the token references; the caller's list is not kept.  The nodes
  // that Compile makes below this one refer to parts of that copy, so that
  // building a tree for n tokens holds n references however deep it nests.
  TExpNode(TExpOwner* owner, std::vector<const TExpToken*> tokens, TExpNode* parent);
  ~TExpNode();
  TExpNode(const TExpNode&) = delete;
  TExpNode& operator=(const TExpNode&) = delete;

  // Builds the subtree from the node's tokens; EZelParseException on a
  // syntax error.
  void Compile();
  void StripParentheses();
  // Index of the operator that heads the node, or -1.
  std::ptrdiff_t FindSplitOperator() const;
  void SplitAt(std::size_t index);
  bool ParseCall();

  // The node's value (evaluator.cc).
  Variant Evaluate() const;
  // The value of a name, or of a call that no built-in function takes: asked
  // of the owner.
  Variant EvaluateName() const;

  TExpOwner* Owner() const { return owner_; }
  const TExpNode* Parent() const { return parent_; }
  const TExpToken* Token() const { return token_; }
  std::size_t ChildCount() const { return children_.size(); }
  const TExpNode& Child(std::size_t i) const { return *children_[i]; }
  std::size_t TokenCount() const { return tokens_.size(); }
  const TExpToken* TokenAt(std::size_t i) const { return tokens_[i]; }

 private:
  // What Evaluate does with the node, settled once after compiling.
  enum class Role : std::uint8_t { kNull, kText, kNumber, kBuiltin, kName, kOperator };
  using TokenSpan = std::span<const TExpToken* const>;

  TExpNode(TExpOwner* owner, TokenSpan tokens, TExpNode* parent);
  void Classify();
  std::unique_ptr<TExpNode> MakeChild(TokenSpan tokens);
  Variant EvaluateOperator() const;
  Variant EvaluateRole() const;

  TExpOwner* owner_;
  TExpNode* parent_;
  std::vector<std::unique_ptr<TExpNode>> children_;
  // The token list of a node made by the public constructor; the nodes below
  // it refer into it.
  std::vector<const TExpToken*> own_tokens_;
  TokenSpan tokens_;
  const TExpToken* token_ = nullptr;
  Role role_ = Role::kNull;
  int operator_rank_ = 0;
  const TBuiltinFunction* builtin_ = nullptr;
  // A number literal read once; a literal beyond the range of a double is
  // read again, and fails, each time it is evaluated.
  double number_ = 0;
  bool number_ready_ = false;
};

// How many bytes of text one evaluation may make, added up over every text
// value that its nodes produce (the outermost Evaluate starts the count, so
// registered functions evaluated from inside a tree count towards it).  Past
// it the evaluation raises EZelParseException: without a bound, a filter such
// as PADL(x, 2000000000), nested REPLACESTR calls or texts held by many
// levels of calls would take whatever memory the machine has.
inline constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20;
// Raises that error when `size` more bytes would take the running evaluation
// past kMaxTextBytes; functions that build a text from a number or by
// repetition ask before they build it.
void CheckTextRoom(std::size_t size);

// Counts nesting in the style of an interpreter's call-level counter: one
// guard per level of compiling or evaluating, raising EZelParseException past
// kMaxNestingDepth.
class NestingGuard {
 public:
  NestingGuard();
  ~NestingGuard();
  // Whether this guard stands for the outermost level.
  bool Outermost() const;
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

// How many times this thread has looked at a token while compiling trees.
// Compiling takes time in proportion to this count, so a test can bound the
// work by it instead of by a clock: walking a node's tokens once for every
// layer of parentheses, for example, makes it grow with the square of their
// number.
std::uint64_t TokensExamined();

// A compact printed form of a tree: leaves as their token text, "_" for an
// empty node, operators as (op operands...), calls as NAME(arg, arg).
std::string DumpTree(const TExpNode& node);

}  // namespace tabdump
