#include "search_fold.hpp"

#include <algorithm>
#include <array>

#include "unicode.hpp"
#include "utf8.hpp"

namespace textloom {

namespace {

constexpr bool is_ascii_space(std::uint32_t cp) {
  return cp == ' ' || cp - 0x09 <= 0x0D - 0x09 || cp - 0x1C <= 0x1F - 0x1C;
}

// What each ASCII character folds to: white space a space, and letters
// lowercased unless `case_sensitive`. One load a character, no branch.
constexpr std::array<char32_t, 128> ascii_folds(bool case_sensitive) {
  std::array<char32_t, 128> folds{};
  for (std::uint32_t cp = 0; cp < 128; ++cp) {
    const bool upper = cp - 'A' < 26;
    folds[cp] = is_ascii_space(cp) ? U' ' : upper && !case_sensitive ? cp + 32 : cp;
  }
  return folds;
}
constexpr std::array<std::array<char32_t, 128>, 2> kAsciiFolds{ascii_folds(false),
                                                               ascii_folds(true)};

}  // namespace

bool is_search_space(std::uint32_t cp) {
  if (cp < 0x80) return is_ascii_space(cp);
  switch (cp) {
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

FoldedText fold_for_search(std::u32string_view cps, bool case_sensitive,
                           const FoldOther& fold_other) {
  const std::size_t n = cps.size();
  FoldedText out;
  // Written in place, one character per input character but where a fold
  // gives several; trimmed to what was written at the end.
  out.text.resize(n);
  out.origin.resize(n);
  std::size_t w = 0;
  auto put = [&](std::uint32_t f, std::size_t at) {
    if (w == out.text.size()) {
      out.text.resize(2 * w + 8);
      out.origin.resize(2 * w + 8);
    }
    out.text[w] = f;
    out.origin[w++] = static_cast<std::int32_t>(at);
  };
  const std::array<char32_t, 128>& ascii = kAsciiFolds[case_sensitive];
  bool last_space = true;  // nothing written yet: leading white space is dropped
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t cp = cps[i];
    if (cp < 0x80 && cp != '-') {
      // Most of any text is a run of ASCII, at most one character out for
      // each in: written without a check per character once there is room.
      if (w + (n - i) > out.text.size()) {
        out.text.resize(w + n - i);
        out.origin.resize(w + n - i);
      }
      char32_t* text = out.text.data();
      std::int32_t* origin = out.origin.data();
      do {
        const char32_t f = ascii[cp];
        const bool space = f == U' ';
        // A space after a space is written and then overwritten by what
        // comes next: no branch on the text.
        text[w] = f;
        origin[w] = static_cast<std::int32_t>(i);
        w += !(space && last_space);
        last_space = space;
        cp = ++i < n ? cps[i] : U'-';
      } while (cp < 0x80 && cp != '-');
      if (i == n) break;
    }
    if (cp == '-' && i > 0 && i + 2 < n && cps[i + 1] == '\n' && is_alphabetic(cps[i - 1]) &&
        is_alphabetic(cps[i + 2])) {
      ++i;  // a word broken at the line end: joined
      continue;
    }
    if (is_search_space(cp)) {
      if (!last_space) put(' ', i);
      last_space = true;
      continue;
    }
    if (cp == '-') {
      put(cp, i);
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
      put(f, i);
      last_space = f == ' ';
      k += len;
    }
  }
  out.text.resize(out.missing.empty() ? w : 0);
  out.origin.resize(out.missing.empty() ? w : 0);
  return out;
}

}  // namespace textloom
