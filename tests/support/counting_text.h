// A text for routines written for any text type with std::string's members
// (expr/text_routines.h): it counts the work of every member call, so that a
// test can bound a routine's work by a count instead of a clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace tabdump::testing {

// A text with the members of std::string that counts, in `steps`, every
// character its members read, copy, compare or move, as std::string's do:
// erasing or inserting moves everything after the place, and find compares
// the pattern afresh at every place.
class CountingText {
 public:
  static constexpr std::size_t npos = std::string::npos;
  static inline std::uint64_t steps = 0;

  CountingText() = default;
  explicit CountingText(std::string text) : text_(std::move(text)) {}
  CountingText(const CountingText& other) : text_(other.text_) { steps += other.size(); }
  CountingText& operator=(const CountingText& other) {
    steps += other.size();
    text_ = other.text_;
    return *this;
  }
  CountingText(CountingText&&) = default;
  CountingText& operator=(CountingText&&) = default;

  const std::string& str() const { return text_; }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  char operator[](std::size_t i) const {
    ++steps;
    return text_[i];
  }
  void reserve(std::size_t size) { text_.reserve(size); }
  CountingText& operator+=(char c) {
    ++steps;
    text_ += c;
    return *this;
  }
  CountingText& operator+=(const CountingText& other) { return append(other, 0); }
  CountingText& append(const CountingText& other, std::size_t from, std::size_t count = npos) {
    const std::size_t before = size();
    text_.append(other.text_, from, count);
    steps += size() - before;
    return *this;
  }
  CountingText substr(std::size_t from, std::size_t count = npos) const {
    CountingText part(text_.substr(from, count));
    steps += part.size();
    return part;
  }
  CountingText& erase(std::size_t from, std::size_t count = npos) {
    steps += size() - from;
    text_.erase(from, count);
    return *this;
  }
  CountingText& insert(std::size_t at, const CountingText& other) {
    steps += size() - at + other.size();
    text_.insert(at, other.text_);
    return *this;
  }
  // Compares as std::string does: character by character until they differ.
  friend bool operator==(const CountingText& a, const CountingText& b) {
    std::size_t same = 0;
    while (same < a.size() && same < b.size() && (++steps, a.text_[same] == b.text_[same])) ++same;
    return same == a.size() && same == b.size();
  }
  std::size_t find(const CountingText& pattern, std::size_t from = 0) const {
    for (std::size_t at = from; at + pattern.size() <= size(); ++at) {
      std::size_t same = 0;
      while (same < pattern.size() && (++steps, text_[at + same] == pattern.text_[same])) ++same;
      if (same == pattern.size()) return at;
    }
    return npos;
  }

 private:
  std::string text_;
};

inline CountingText Letters(std::size_t count, char letter, char last = 0) {
  std::string text(count, letter);
  if (last != 0 && count > 0) text.back() = last;
  return CountingText(std::move(text));
}

}  // namespace tabdump::testing
