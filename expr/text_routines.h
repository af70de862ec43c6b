// The routines of the built-in functions that walk long texts: finding a
// text in another, replacing it, and dropping the characters that do not line
// up.  Each must take time in proportion to its texts; each once took time in
// proportion to their product or to a length squared, minutes for a filter.
//
// They are written for any text type with the members of std::string that
// they use.  The program hands them std::string; the tests hand them a text
// that counts the characters every member call reads, copies or moves, and so
// bound their work by a count instead of a clock.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tabdump {

// Finds a text in another in time linear in their lengths (Knuth, Morris
// and Pratt).  std::string::find may compare the pattern afresh at every
// place, which for long texts of repeated characters takes time in
// proportion to the product of the lengths.  The pattern must outlive the
// search.
template <typename Text>
class TextSearch {
 public:
  explicit TextSearch(const Text& pattern) : pattern_(pattern), fallback_(pattern.size(), 0) {
    // fallback_[i]: the length of the longest proper prefix of pattern[0..i]
    // that is also a suffix of it.
    for (std::size_t i = 1, k = 0; i < pattern_.size(); ++i) {
      while (k > 0 && pattern_[i] != pattern_[k]) k = fallback_[k - 1];
      if (pattern_[i] == pattern_[k]) ++k;
      fallback_[i] = k;
    }
  }

  // The first place of the pattern in `text` at or after `from`; npos when
  // there is none or the pattern is empty.
  std::size_t Find(const Text& text, std::size_t from = 0) const {
    if (pattern_.empty()) return std::string::npos;
    for (std::size_t i = from, k = 0; i < text.size(); ++i) {
      while (k > 0 && text[i] != pattern_[k]) k = fallback_[k - 1];
      if (text[i] == pattern_[k] && ++k == pattern_.size()) return i + 1 - k;
    }
    return std::string::npos;
  }

 private:
  const Text& pattern_;
  std::vector<std::size_t> fallback_;
};

// REPLACESTR: `text` with the first place of `pattern` in `search`, or every
// place, replaced by `replacement`.  `search` is `text` or an upper-cased
// copy of the same length, so a place found in it is the same place in the
// text.  The part already searched is skipped by position rather than cut
// off, which would take time for every replacement in proportion to the
// text's length.  `check_room(size)` is asked before the result grows to
// `size`, since each replacement may add more than it removes.
template <typename Text, typename CheckRoom>
Text ReplaceText(const Text& text, const Text& search, const Text& pattern, const Text& replacement,
                 bool replace_all, CheckRoom check_room) {
  const TextSearch<Text> finder(pattern);
  Text result;
  std::size_t rest = 0;  // where the text not yet searched starts
  while (rest < search.size()) {
    const std::size_t p = finder.Find(search, rest);
    if (p == std::string::npos) break;
    check_room(result.size() + (p - rest) + replacement.size());
    result.append(text, rest, p - rest);
    result += replacement;
    rest = p + pattern.size();
    if (!replace_all) break;
  }
  result.append(text, rest < text.size() ? rest : text.size());
  return result;
}

// The loop "for each i below guide's length: when drop(guide[i], target[i])
// and i lies inside target, erase target[i]", in one pass.  Erasing moves the
// rest of target one place left, so the character that comes to i is kept
// without being examined; erasing in place would move the rest of target for
// every character dropped.
template <typename Text, typename Drop>
void DropAligned(const Text& guide, Text& target, Drop drop) {
  Text kept;
  kept.reserve(target.size());
  std::size_t next = 0;  // the first character of target not yet placed
  for (std::size_t i = 0; i < guide.size() && next < target.size(); ++i) {
    if (drop(guide[i], target[next])) ++next;
    if (next < target.size()) kept += target[next++];
  }
  kept.append(target, next);
  target = std::move(kept);
}

}  // namespace tabdump
