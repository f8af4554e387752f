// What the two halves of layout_page share and nobody else needs: the glyph
// pass (layout_lines.cpp) hands its blocks of lines to block building
// (layout_blocks.cpp), which finishes, orders and numbers them.
#pragma once

#include <cmath>
#include <optional>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "num.hpp"

namespace textloom::detail {

// One pass over the page's glyphs in text order: every kept glyph becomes a
// Char filed into a line of a block, with synthetic spaces at word gaps.
// Lines come back non-empty, with wmode 0 and no bbox; blocks unnumbered.
// A glyph whose font index is outside page.fonts aborts the process.
std::vector<Block> build_lines(const PageGlyphs& page, const std::optional<Rect>& clip,
                               const LayoutParams& params);

// The scale that layout distances of a glyph are divided by: the magnitude of
// its size (a negative text size mirrors the glyph, it does not shrink it),
// or 1 for a size of exactly 0.
inline double em_of(double size) { return size == 0 ? 1.0 : std::fabs(size); }

}  // namespace textloom::detail
