// What a viewer shows of a filled form field or a free-text annotation, as
// runs of text in its box (placed_text lays them as glyphs): a text field's
// lines from the top of a multi-line box, wrapped to its width, a single line
// centred in it; a checked box's mark; a free text's lines. Reading the values
// from PDFium is extract_shown's; this holds the rules, on plain values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "num.hpp"
#include "placed_text.hpp"

namespace textloom {

// Points between a field's border and its text: viewers inset the text by the
// border width (1 by default) and as much again.
inline constexpr double kShownPadding = 2.0;
// A field whose size is 0 ("fit the box") is drawn at most this large, the
// size viewers cap automatic text at.
inline constexpr double kShownAutoSize = 12.0;
// Width of a character in ems, Helvetica's average: the value is not drawn
// by PDFium's text page, so its characters have no measured widths.
inline constexpr double kShownAdvance = 0.5;
// Baseline to baseline in ems for multi-line fields, as viewers set them.
inline constexpr double kShownLineHeight = 1.15;
// A free-text annotation whose appearance string names no size is drawn at
// this size, PDF's customary default.
inline constexpr double kShownFreeTextSize = 12.0;
// Helvetica's ascender to descender, in ems: a run's box height per point.
inline constexpr double kShownDepth = 0.925;
// The mark of a checked box or a chosen radio button.
inline constexpr char32_t kShownChecked = U'\u2612';

// A field's type size: `named` (its appearance string's) where positive, else
// what fits the box's `height` (at least 1, at most kShownAutoSize).
double field_size(double named, double height);

// The size of an appearance string's font (the operand before its first Tf,
// as PDFium reads it), 0 where it names none or one not a positive finite
// number (0 asks to fit the box).
double appearance_size(std::u32string_view appearance);

// `text` in `box` (page space) at `size`: with `multiline`, each paragraph
// wrapped to the characters a line holds (Python's textwrap rules: words,
// hyphenated words broken after their hyphen, over-long words cut) and set
// from the top; else one line, its paragraphs joined by a space, centred
// across the box. Blank lines take their place and give no run. On a page
// that is not `upright` (turned), the whole text, its white space collapsed,
// fills the box as one run. Runs come in line order.
std::vector<PlacedRun> shown_lines(std::u32string_view text, const Rect& box, double size,
                                   bool multiline, bool upright);

// The checked mark at type `size`, a square centred in `box` and no larger.
PlacedRun checked_mark(const Rect& box, double size);

}  // namespace textloom
