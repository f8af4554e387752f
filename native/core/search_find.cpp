#include "search_find.hpp"

#include <algorithm>

namespace textloom {

std::vector<TextSpan> find_all(std::u32string_view haystack, std::u32string_view needle) {
  std::vector<TextSpan> out;
  if (needle.empty()) return out;
  for (std::size_t at = haystack.find(needle); at != std::u32string_view::npos;
       at = haystack.find(needle, at + needle.size())) {
    out.emplace_back(at, at + needle.size());
  }
  return out;
}

void keep_whole_words(std::vector<TextSpan>& spans, std::u32string_view haystack,
                      const IsWordOther& is_word_other) {
  auto word = [&](std::uint32_t cp) {
    if (cp >= 0x80) return is_word_other(cp);
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
           cp == '_';
  };
  // An edge at `at` cuts a word when the characters on both of its sides are word characters.
  auto cuts = [&](std::size_t at) {
    return at > 0 && at < haystack.size() && word(haystack[at - 1]) && word(haystack[at]);
  };
  std::erase_if(spans, [&](const TextSpan& s) { return cuts(s.first) || cuts(s.second); });
}

}  // namespace textloom
