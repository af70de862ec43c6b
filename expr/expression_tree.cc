#include "expr/expression_tree.h"

#include <algorithm>
#include <cstdint>

#include "expr/builtin_functions.h"
#include "expr/evaluator.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

thread_local int nesting_depth = 0;
thread_local std::uint64_t tokens_examined = 0;

// Every walk over a node's tokens looks at them through these two or counts
// them itself.
bool IsParen(const TExpToken* token, char which) {
  ++tokens_examined;
  return token->Kind == TExpTokenKind::etkParen && token->Text.size() == 1 && token->Text[0] == which;
}

// +1 for "(", -1 for ")", 0 for any other token.
int ParenStep(const TExpToken* token) {
  ++tokens_examined;
  if (token->Kind != TExpTokenKind::etkParen) return 0;
  return IsParen(token, '(') ? 1 : IsParen(token, ')') ? -1 : 0;
}

}  // namespace

NestingGuard::NestingGuard() {
  if (nesting_depth >= kMaxNestingDepth) {
    throw EZelParseException("Expression nested too deeply: more than " +
                             std::to_string(kMaxNestingDepth) + " levels.");
  }
  ++nesting_depth;
}

NestingGuard::~NestingGuard() { --nesting_depth; }

bool NestingGuard::Outermost() const { return nesting_depth == 1; }

std::uint64_t TokensExamined() { return tokens_examined; }

TExpNode::TExpNode(TExpOwner* owner, std::vector<const TExpToken*> tokens, TExpNode* parent)
    : owner_(owner), parent_(parent), own_tokens_(std::move(tokens)), tokens_(own_tokens_) {
  if (tokens_.size() == 1) token_ = tokens_[0];
  Classify();
}

TExpNode::TExpNode(TExpOwner* owner, TokenSpan tokens, TExpNode* parent)
    : owner_(owner), parent_(parent), tokens_(tokens) {
  if (tokens_.size() == 1) token_ = tokens_[0];
  Classify();
}

TExpNode::~TExpNode() {
  while (!children_.empty()) children_.pop_back();
}

void TExpNode::Compile() {
  NestingGuard guard;
  if (tokens_.size() >= 2) {
    StripParentheses();
    if (tokens_.size() == 1) {
      token_ = tokens_[0];
    } else if (tokens_.size() >= 2) {
      const std::ptrdiff_t split = FindSplitOperator();
      if (split >= 0) {
        SplitAt(static_cast<std::size_t>(split));
      } else if (!ParseCall()) {
        throw EZelParseException("Compile error: syntax fault.");
      }
    }
  }
  Classify();
}

// Removes enclosing pairs of parentheses.  The outer pair of the run (lo..hi)
// encloses it when the running count of parentheses from lo stays above zero
// up to the token before hi.  Rather than walking the run once per layer,
// which is quadratic on deeply parenthesised input, the running counts are
// computed once: with P[i] the count from the start through token i, layer j
// (the first j tokens already gone, all of them "(") encloses its run when
// every P[i] from j to n-2-j is above j.  Those minima are taken inside-out.
void TExpNode::StripParentheses() {
  const std::size_t n = tokens_.size();
  std::size_t candidates = 0;  // layers that are "(" ... ")" at both ends
  while (n - 2 * candidates >= 2 && IsParen(tokens_[candidates], '(') &&
         IsParen(tokens_[n - 1 - candidates], ')')) {
    ++candidates;
  }
  if (candidates == 0) return;

  std::vector<std::int64_t> count(n);
  std::int64_t running = 0;
  for (std::size_t i = 0; i < n; ++i) {
    running += ParenStep(tokens_[i]);
    count[i] = running;
  }
  // window_min[j] = min of count[j .. n-2-j]; the windows shrink as j grows.
  std::vector<std::int64_t> window_min(candidates);
  for (std::size_t j = candidates; j-- > 0;) {
    std::int64_t m = std::min(count[j], count[n - 2 - j]);
    if (j + 1 < candidates) {
      m = std::min(m, window_min[j + 1]);
    } else {
      for (std::size_t i = j; i <= n - 2 - j; ++i) m = std::min(m, count[i]);
    }
    window_min[j] = m;
  }
  std::size_t layers = 0;
  while (layers < candidates && window_min[layers] > static_cast<std::int64_t>(layers)) ++layers;
  if (layers == 0) return;
  tokens_ = tokens_.subspan(layers, n - 2 * layers);
}

std::ptrdiff_t TExpNode::FindSplitOperator() const {
  std::int64_t depth = 0;
  std::ptrdiff_t best = -1;
  int best_rank = 0;
  for (std::size_t i = 0; i < tokens_.size(); ++i) {
    const TExpToken* token = tokens_[i];
    ++tokens_examined;
    if (token->Kind == TExpTokenKind::etkParen) {
      depth += ParenStep(token);
      if (depth < 0) throw EZelParseException("Compile error: parenthesis mismatch.");
    } else if (token->Kind == TExpTokenKind::etkOperator && depth == 0) {
      // Runs that are not in the table rank 0 and so head the node; the
      // evaluator rejects them.  Among equals the leftmost wins, which makes
      // chains of one operator group to the right.
      const int rank = OperatorRank(token->Text);
      if (best < 0 || rank < best_rank) {
        best = static_cast<std::ptrdiff_t>(i);
        best_rank = rank;
      }
    }
  }
  return best;
}

std::unique_ptr<TExpNode> TExpNode::MakeChild(TokenSpan tokens) {
  std::unique_ptr<TExpNode> child(new TExpNode(owner_, tokens, this));
  child->Compile();
  return child;
}

void TExpNode::SplitAt(std::size_t index) {
  const TExpToken* op = tokens_[index];
  // "!" and NOT take one operand: a side without tokens gives no child.
  // Every other operator gets both children, an empty side an empty node.
  const bool unary = OperatorArity(op->Text) == 1;
  std::unique_ptr<TExpNode> right, left;
  // The right operand is compiled first, so its error is the one reported.
  if (index + 1 < tokens_.size() || !unary) right = MakeChild(tokens_.subspan(index + 1));
  if (index > 0 || !unary) left = MakeChild(tokens_.first(index));
  tokens_ = tokens_.subspan(index, 1);
  token_ = op;
  if (left) children_.push_back(std::move(left));
  if (right) children_.push_back(std::move(right));
}

bool TExpNode::ParseCall() {
  const std::size_t n = tokens_.size();
  if (n < 4 || tokens_[0]->Kind != TExpTokenKind::etkWord ||
      tokens_[1]->Kind != TExpTokenKind::etkParen || tokens_[n - 1]->Kind != TExpTokenKind::etkParen) {
    return false;
  }
  token_ = tokens_[0];
  // The arguments lie between the second token and the last one.
  const std::size_t end = n - 1;
  std::size_t pos = 2;
  while (pos < end) {
    std::int64_t depth = 0;
    std::size_t stop = end;
    for (std::size_t i = pos; i < end; ++i) {
      const TExpToken* token = tokens_[i];
      ++tokens_examined;
      if (token->Kind == TExpTokenKind::etkParen) {
        depth += ParenStep(token);
        if (depth < 0) throw EZelParseException("Function parse error.");
      } else if (token->Kind == TExpTokenKind::etkComma && depth == 0) {
        stop = i;
        break;
      }
    }
    children_.push_back(MakeChild(tokens_.subspan(pos, stop - pos)));
    // A comma right before the closing parenthesis adds no argument.
    pos = stop == end ? end : stop + 1;
  }
  tokens_ = tokens_.first(1);
  return true;
}

void TExpNode::Classify() {
  role_ = Role::kNull;
  builtin_ = nullptr;
  operator_rank_ = 0;
  number_ready_ = false;
  if (token_ == nullptr || tokens_.empty()) return;
  switch (token_->Kind) {
    case TExpTokenKind::etkNumber:
      role_ = Role::kNumber;
      try {
        number_ = ReadNumberLiteral(token_->Text);
        number_ready_ = true;
      } catch (const EOverflow&) {
        number_ready_ = false;
      }
      return;
    case TExpTokenKind::etkOperator:
      role_ = Role::kOperator;
      operator_rank_ = OperatorRank(token_->Text);
      return;
    case TExpTokenKind::etkWord: {
      // A bare name always goes to the owner, even when it spells a built-in
      // function; only the clock functions also work without parentheses.
      const TBuiltinFunction* builtin = FindBuiltin(token_->Text);
      if (builtin != nullptr && (!children_.empty() || builtin->WorksBare)) {
        role_ = Role::kBuiltin;
        builtin_ = builtin;
      } else {
        role_ = Role::kName;
      }
      return;
    }
    case TExpTokenKind::etkParen:
    case TExpTokenKind::etkComma:
    case TExpTokenKind::etkIllegal:
      role_ = Role::kText;
      return;
  }
}

std::string DumpTree(const TExpNode& node) {
  if (node.Token() == nullptr) return "_";
  if (node.ChildCount() == 0) return node.Token()->Text;
  const bool is_operator = node.Token()->Kind == TExpTokenKind::etkOperator;
  std::string out = is_operator ? "(" + node.Token()->Text : node.Token()->Text + "(";
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    if (is_operator) {
      out += ' ';
    } else if (i > 0) {
      out += ", ";
    }
    out += DumpTree(node.Child(i));
  }
  out += ')';
  return out;
}

}  // namespace tabdump
