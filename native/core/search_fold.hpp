// The text a search matches against: a page's reading-order text with white
// space made single spaces, words hyphenated at a line end joined, and every
// other character folded (case, compatibility forms, accents) as the caller's
// table says; each folded character remembers where it came from.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace textloom {

struct FoldedText {
  std::u32string text;
  std::vector<std::int32_t> origin;    // per code point of `text`: its code point index in the input
  std::vector<std::uint32_t> missing;  // characters the table lacks, each once; then nothing else is set
};

// The fold of a character that is neither ASCII nor white space (UTF-8, may
// be empty or several characters), or nullopt where the caller's table lacks it.
using FoldOther = std::function<std::optional<std::string_view>(std::uint32_t)>;

// Python's str.isspace: Bidi_Class WS, B or S, or General_Category Zs. White
// space in the text is what a query's spaces match.
bool is_search_space(std::uint32_t cp);

// `text` folded for matching. ASCII letters are lowercased unless
// `case_sensitive`; every other character that is neither white space nor
// ASCII becomes `fold_other(cp)`. A run of white space becomes one space,
// leading white space none; a "-" and the line feed after it are dropped
// between two letters ("exam-\nple" is "example"), kept elsewhere
// ("2008-\n02" is "2008- 02").
FoldedText fold_for_search(std::u32string_view text, bool case_sensitive,
                           const FoldOther& fold_other);

}  // namespace textloom
