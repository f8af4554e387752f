// Text that a page shows but whose characters PDFium's text page does not
// hold (the values of filled form fields, words an OCR engine read), placed
// into the glyph model so that layout, reading order, words and Markdown
// treat it as any other text.
#pragma once

#include <string>
#include <vector>

#include "glyphs.hpp"

namespace textloom {

// One line of text filling its box: UTF-8 text, box in page space.
struct PlacedRun {
  std::string text;
  double x0, y0, x1, y1;
};

// The page with each run's characters appended as glyphs of a new font named
// `font`: evenly spaced along the box, with the baseline and size that make
// their boxes fill the box's height, upright in the viewer's frame (the
// page's rotation undone). Runs with an empty text or a box that is empty,
// NaN or infinite are left out. Glyph indices continue after every index the
// page holds (its own glyphs' and what its fields show).
// With `replace`, the runs take the place of the page's own glyphs (an OCR
// reading of a page whose text is missing or garbled), and each run is a
// word: its first glyph counts as following a space (Glyph::space_before).
// `upright`, when 0, 90, 180 or 270, is the page rotation under which the
// runs read upright, in place of the page's own (text an OCR engine found
// turned on the page).
PageGlyphs with_placed_text(const PageGlyphs& page, const std::vector<PlacedRun>& runs,
                            std::string font, bool replace = false, std::int32_t upright = -1);

// The runs' glyphs as with_placed_text lays them on a page turned by
// `rotation`, each of font `font` (an index the caller gives the font of
// placed_font), indices counted from `first_index`; with `words`, each run
// is a word of its own, a space before it however close it stands.
std::vector<Glyph> placed_glyphs(const std::vector<PlacedRun>& runs, std::uint32_t rotation,
                                 std::uint32_t font, std::uint32_t first_index, bool words);

// The font placed runs are drawn in: Helvetica's metrics, the face viewers
// substitute for a field without one, under the name `name`.
FontInfo placed_font(std::string name);

// Where a page's shown text (PageGlyphs::shown) goes: the page with those
// glyphs after its own, in a font of their own ("Helvetica"), none left aside.
PageGlyphs with_shown_text(const PageGlyphs& page);

}  // namespace textloom
