// What the two halves of layout_page share and nobody else needs. The glyph
// pass (layout_lines.cpp) runs in one of two ways:
// - On a page where some line opens with a CJK character, and only there,
//   stacked characters may be joined into vertical lines: the pass stages
//   its chars, lines and blocks in flat
//   arrays, and block building (layout_blocks.cpp) joins vertical lines on
//   them before it copies each final line into exactly-sized storage. Staging
//   keeps the pass free of allocations per glyph: a page of stacked CJK
//   characters would otherwise allocate a line per character only to join it
//   away.
// - On any other page no line can change once the next one opens, so the
//   pass fills one line at a time in a small buffer that stays in cache and
//   copies it once into its final storage, finished: reordered if it is
//   right-to-left, with its box. Writing every char once instead of twice
//   is most of what layout costs on such pages.
// Block building then orders and numbers the blocks.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "num.hpp"

namespace textloom::detail {

inline constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);

// What the pass knows of a line beyond its chars: its direction and whether
// it was drawn right to left in left-to-right progression while it is open;
// once it is closed (summarize), also what block building would otherwise
// rescan every char for: the union of the boxes and where the right-to-left
// chars begin and end.
struct LineState {
  double dir_x;              // direction of the glyph that opened the line
  double dir_y;
  bool rtl_visual = false;   // RTL chars met in left-to-right progression
  bool any_rtl = false;      // some char has rtl set
  Rect box = kEmptyRect;     // union of the chars' boxes
  std::size_t n_rtl = 0;     // chars with rtl set
  double first_rtl_x = 0;    // origin x of the first of them
  double last_rtl_x = 0;     // origin x of the last of them
};

// One line of a staged pass: its chars are StagedPage::chars[begin, end).
struct StagedLine {
  std::size_t begin;
  std::size_t end;
  LineState state;
  bool joined = false;         // appended to an earlier line; gone from its block
  std::uint32_t wmode = 0;     // 1 once other lines were joined onto it
  std::size_t next = kNoLine;  // the next line joined onto this one's chain
};

// The glyph pass's result: blocks are runs of consecutive lines, lines runs of
// consecutive chars; block b holds lines [block_starts[b], block_starts[b+1]).
struct StagedPage {
  std::unique_ptr<Char[]> chars;  // filled up to the last line's end
  std::vector<StagedLine> lines;
  std::vector<std::size_t> block_starts;
  bool any_rtl = false;           // some char has rtl set
};

// The CJK test of vertical joining.
bool is_cjk(std::uint32_t cp);

// One pass over the page's glyphs in text order: every kept glyph becomes a
// Char filed into a line of a block, with synthetic spaces at word gaps.
// Every staged line holds at least one char. A glyph whose font index is
// outside page.fonts aborts the process.
StagedPage glyph_pass(const PageGlyphs& page, const std::optional<Rect>& clip,
                      const LayoutParams& params);

// The same pass straight into finished blocks (right-to-left lines in
// logical order, line and block boxes set, numbers not yet), for a page
// where no line opens with a CJK character, so that no line can be joined
// into a vertical one; nullopt for a page where one does.
std::optional<std::vector<Block>> glyph_pass_finished(const PageGlyphs& page,
                                                      const std::optional<Rect>& clip,
                                                      const LayoutParams& params);

// A line with right-to-left chars drawn left to right: the pass saw them so,
// or the first right-to-left char stands left of the last one.
inline bool needs_reorder(const LineState& line) {
  return line.rtl_visual || (line.n_rtl >= 2 && line.first_rtl_x < line.last_rtl_x);
}

// min_num(acc, v) and max_num(acc, v) for an accumulator that never holds
// NaN (it starts at an infinity and only ever takes numbers), without the
// branches min_num spends on a NaN accumulator. -0.0 still counts as below
// +0.0, so the result is min_num's bit for bit.
inline double take_min(double acc, double v) {
  return (v < acc || (v == acc && std::signbit(v))) ? v : acc;
}
inline double take_max(double acc, double v) {
  return (v > acc || (v == acc && !std::signbit(v))) ? v : acc;
}

// Line boxes are folded with plain comparisons (one instruction a
// coordinate), which find the same numbers as min_num and max_num and ignore
// a NaN the same way, but may keep +0.0 where min_num would have -0.0 (or the
// reverse for max_num). A zero coordinate is rare, so a line whose fold
// holds one is folded again exactly (settled_box).
inline void fold_box(Rect& acc, double x0, double y0, double x1, double y1) {
  acc.x0 = x0 < acc.x0 ? x0 : acc.x0;
  acc.y0 = y0 < acc.y0 ? y0 : acc.y0;
  acc.x1 = x1 > acc.x1 ? x1 : acc.x1;
  acc.y1 = y1 > acc.y1 ? y1 : acc.y1;
}

// The exact union of the boxes of chars [begin, end), given their fold_box.
inline Rect settled_box(const Rect& folded, const Char* begin, const Char* end) {
  if (folded.x0 != 0 && folded.y0 != 0 && folded.x1 != 0 && folded.y1 != 0) return folded;
  Rect box = kEmptyRect;
  for (const Char* c = begin; c != end; ++c) box = rect_union(box, c->bbox);
  return box;
}

// Fills in a closed line's box and right-to-left span from its chars, while
// they are still in cache; the span only on a line that has such chars.
inline void summarize(LineState& line, const Char* begin, const Char* end) {
  Rect box = kEmptyRect;
  for (const Char* c = begin; c != end; ++c) {
    fold_box(box, c->bbox.x0, c->bbox.y0, c->bbox.x1, c->bbox.y1);
  }
  line.box = settled_box(box, begin, end);
  std::size_t n_rtl = 0;
  double first_rtl_x = 0;
  double last_rtl_x = 0;
  if (line.any_rtl) {
    for (const Char* c = begin; c != end; ++c) {
      if (!c->rtl) continue;
      if (n_rtl == 0) first_rtl_x = c->origin_x;
      last_rtl_x = c->origin_x;
      ++n_rtl;
    }
  }
  line.n_rtl = n_rtl;
  line.first_rtl_x = first_rtl_x;
  line.last_rtl_x = last_rtl_x;
}

// rect_union(acc, box) for an accumulator that started as kEmptyRect.
inline void widen(Rect& acc, const Rect& box) {
  acc.x0 = take_min(acc.x0, box.x0);
  acc.y0 = take_min(acc.y0, box.y0);
  acc.x1 = take_max(acc.x1, box.x1);
  acc.y1 = take_max(acc.y1, box.y1);
}

// The scale that layout distances of a glyph are divided by: the magnitude of
// its size (a negative text size mirrors the glyph, it does not shrink it),
// or 1 for a size of exactly 0.
inline double em_of(double size) { return size == 0 ? 1.0 : std::fabs(size); }

}  // namespace textloom::detail
