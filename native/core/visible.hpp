// What a reader sees of a page's text: the glyph model without the words that
// lie wholly outside the crop box, which no viewer shows (producers leave
// text there: slugs, print marks, templates slid off the page). A word that
// reaches into the box stays whole.
#pragma once

#include <optional>

#include "glyphs.hpp"

namespace textloom {

// The page without its words wholly outside the crop box, or nothing when it
// has none (the common case: no copy is made). A word here is a run of glyphs
// in text order that layout would join without a space: no space character
// and no dropped PDFium space between them, the same direction, and the next
// glyph starting within the touching gap of the previous one's end.
std::optional<PageGlyphs> without_offpage_words(const PageGlyphs& page);

// The page's words as without_offpage_words finds them (runs of glyphs that
// are not white space), and how many of them lie wholly outside the crop box.
struct WordCount {
  std::size_t words = 0;
  std::size_t outside = 0;
};
WordCount count_words(const PageGlyphs& page);

}  // namespace textloom
