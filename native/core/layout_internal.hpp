// What the two halves of layout_page share and nobody else needs: the glyph
// pass (layout_lines.cpp) stages its chars, lines and blocks in flat arrays,
// and block building (layout_blocks.cpp) joins vertical CJK lines on them
// before it copies each final line into exactly-sized storage, then finishes,
// orders and numbers the blocks. Staging keeps the pass free of allocations
// per glyph: a page of stacked CJK characters would otherwise allocate a line
// per character only to join it away.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "num.hpp"

namespace textloom::detail {

inline constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);

// One line of the pass: its chars are StagedPage::chars[begin, end).
struct StagedLine {
  std::size_t begin;
  std::size_t end;
  double dir_x;              // direction of the glyph that opened the line
  double dir_y;
  bool rtl_visual;           // RTL chars met in left-to-right progression
  bool joined = false;       // appended to an earlier line; gone from its block
  std::uint32_t wmode = 0;   // 1 once other lines were joined onto it
  std::size_t next = kNoLine;  // the next line joined onto this one's chain
};

// The glyph pass's result: blocks are runs of consecutive lines, lines runs of
// consecutive chars; block b holds lines [block_starts[b], block_starts[b+1]).
struct StagedPage {
  std::vector<Char> chars;
  std::vector<StagedLine> lines;
  std::vector<std::size_t> block_starts;
};

// One pass over the page's glyphs in text order: every kept glyph becomes a
// Char filed into a line of a block, with synthetic spaces at word gaps.
// Every staged line holds at least one char. A glyph whose font index is
// outside page.fonts aborts the process.
StagedPage glyph_pass(const PageGlyphs& page, const std::optional<Rect>& clip,
                      const LayoutParams& params);

// The scale that layout distances of a glyph are divided by: the magnitude of
// its size (a negative text size mirrors the glyph, it does not shrink it),
// or 1 for a size of exactly 0.
inline double em_of(double size) { return size == 0 ? 1.0 : std::fabs(size); }

}  // namespace textloom::detail
