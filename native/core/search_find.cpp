#include "search_find.hpp"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textloom {

namespace {

// The first `c` in `text` from `at`, or text.size(). Most of a page holds
// no query's first letter for a while: with SSE2 (every x86-64), four
// characters are passed over with one compare.
std::size_t find_char(std::u32string_view text, char32_t c, std::size_t at) {
  const char32_t* data = text.data();
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi32(static_cast<int>(c));
  for (; at + 4 <= text.size(); at += 4) {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(four, wanted)) != 0) break;
  }
#endif
  while (at < text.size() && data[at] != c) ++at;
  return at;
}

}  // namespace

std::vector<TextSpan> find_all(std::u32string_view haystack, std::u32string_view needle) {
  std::vector<TextSpan> out;
  if (needle.empty() || needle.size() > haystack.size()) return out;
  const std::size_t last = haystack.size() - needle.size();  // the last place a match starts
  const std::u32string_view rest = needle.substr(1);
  for (std::size_t at = find_char(haystack, needle[0], 0); at <= last;) {
    if (haystack.compare(at + 1, rest.size(), rest) == 0) {
      out.emplace_back(at, at + needle.size());
      at = find_char(haystack, needle[0], at + needle.size());
    } else {
      at = find_char(haystack, needle[0], at + 1);
    }
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
