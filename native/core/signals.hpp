// What a page's glyphs and objects say about its text before anyone reads it:
// how much there is, how much of it is damaged, hidden or off the page, how
// much of the page images cover, and whether the page needs OCR to be read.
#pragma once

#include <cstddef>
#include <string_view>

#include "glyphs.hpp"

namespace textloom {

struct TextSignals {
  std::size_t chars = 0;      // glyphs that are not white space
  std::size_t words = 0;      // runs of them, as layout joins glyphs into words
  double unmapped = 0;        // share of chars with no Unicode (U+FFFD) or in a private-use area
  double invisible = 0;       // share of chars drawn invisible (an OCR layer's text)
  double offpage = 0;         // share of words wholly outside the crop box
  double image_cover = 0;     // share of the page's area under image objects
  bool needs_ocr = false;
  std::string_view reason;    // why it needs OCR: "no text" or "garbled" (most chars without
                              // Unicode, or Latin letters far from any language's vowels)
};

// One pass over the glyphs and the image boxes of `page`.
TextSignals text_signals(const PageGlyphs& page);

}  // namespace textloom
