// Regular expressions over page text: PCRE2 in UTF and Unicode-property mode,
// compiled once per search, with bounded work on any pattern.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "result.hpp"

namespace textloom {

// Where `pattern` matches `text` (both UTF-8), left to right and apart, as
// code-point offsets [start, end); empty matches are left out. An invalid
// pattern, or one past PCRE2's match and heap limits on this text, is an Error
// with PCRE2's reason.
Result<std::vector<std::pair<std::size_t, std::size_t>>> find_pattern(std::string_view pattern,
                                                                     std::string_view text,
                                                                     bool caseless);

}  // namespace textloom
