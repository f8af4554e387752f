// Finding a folded query in folded page text: where it stands, left to right
// and apart (as grep finds), and which of those places are whole words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace textloom {

using TextSpan = std::pair<std::size_t, std::size_t>;  // [start, end) in code points

// Where `needle` (not empty) stands in `haystack`, left to right, a match
// starting after the one before it ends.
std::vector<TextSpan> find_all(std::u32string_view haystack, std::u32string_view needle);

// Whether a character beyond ASCII is a word character (the caller's rule).
using IsWordOther = std::function<bool(std::uint32_t)>;

// Drops the spans that begin or end inside a word: a word character on both
// sides of either end. Word characters: ASCII letters, digits and "_", and
// beyond ASCII what `is_word_other` says.
void keep_whole_words(std::vector<TextSpan>& spans, std::u32string_view haystack,
                      const IsWordOther& is_word_other);

}  // namespace textloom
