#include "search_fold.hpp"

#include <algorithm>

#include "unicode.hpp"
#include "utf8.hpp"

namespace textloom {

bool is_search_space(std::uint32_t cp) {
  if (cp < 0x80) return cp == ' ' || (cp >= 0x09 && cp <= 0x0D) || (cp >= 0x1C && cp <= 0x1F);
  switch (cp) {
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

FoldedText fold_for_search(std::string_view text, bool case_sensitive, const FoldOther& fold_other) {
  const std::u32string cps = code_points(text);
  const std::size_t n = cps.size();
  FoldedText out;
  out.text.reserve(text.size());
  out.origin.reserve(n);
  bool last_space = true;  // nothing written yet: leading white space is dropped
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t cp = cps[i];
    if (cp == '-' && i > 0 && i + 2 < n && cps[i + 1] == '\n' && is_alphabetic(cps[i - 1]) &&
        is_alphabetic(cps[i + 2])) {
      ++i;  // a word broken at the line end: joined
      continue;
    }
    const auto at = static_cast<std::int32_t>(i);
    if (is_search_space(cp)) {
      if (!last_space) {
        out.text.push_back(' ');
        out.origin.push_back(at);
        last_space = true;
      }
      continue;
    }
    if (cp < 0x80) {
      const bool upper = cp >= 'A' && cp <= 'Z';
      out.text.push_back(static_cast<char>(upper && !case_sensitive ? cp + 32 : cp));
      out.origin.push_back(at);
      last_space = false;
      continue;
    }
    const std::optional<std::string_view> folded = fold_other(cp);
    if (!folded) {
      if (std::find(out.missing.begin(), out.missing.end(), cp) == out.missing.end())
        out.missing.push_back(cp);
      continue;
    }
    // A fold's own spaces are kept as they are: the character is not white
    // space, only drawn with one (U+00A8 folds to a space and a mark).
    for (std::size_t k = 0; k < folded->size();) {
      std::size_t len = 0;
      const std::uint32_t f = decode_utf8(folded->substr(k), len);
      append_utf8(out.text, f);
      out.origin.push_back(at);
      last_space = f == ' ';
      k += len;
    }
  }
  if (!out.missing.empty()) {
    out.text.clear();
    out.origin.clear();
  }
  return out;
}

}  // namespace textloom
