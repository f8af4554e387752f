// Glyphs drawn with a negative font size: the size flips the glyph's x axis,
// so it advances against its text matrix's direction. Producers draw text
// upright that way through a mirrored matrix ((-1, 0, 0, -1) and a size of
// -12); read by the matrix alone, each glyph would step backwards and open a
// line of its own ("P a c lita x e l"). Layout takes a run of such glyphs
// that steps against its direction as drawn: the direction turned round and
// the size by its magnitude while it is laid out, the size as extracted in
// what it gives.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "layout_internal.hpp"
#include "sort.hpp"

namespace textloom::detail {

namespace {

// Runs of glyphs of negative size and one direction, each [begin, end).
template <class Visit>
void each_negative_run(const std::vector<Glyph>& glyphs, Visit visit) {
  for (std::size_t begin = 0; begin < glyphs.size();) {
    if (!(glyphs[begin].size < 0)) {
      ++begin;
      continue;
    }
    std::size_t end = begin + 1;
    while (end < glyphs.size() && glyphs[end].size < 0 && glyphs[end].dir_x == glyphs[begin].dir_x &&
           glyphs[end].dir_y == glyphs[begin].dir_y) {
      ++end;
    }
    visit(begin, end);
    begin = end;
  }
}

// A run steps against its glyphs' advance: most of its glyphs stand behind
// the one before, against the way that glyph's own advance (origin to end)
// points.
bool steps_back(const std::vector<Glyph>& glyphs, std::size_t begin, std::size_t end) {
  std::size_t back = 0, forward = 0;
  for (std::size_t i = begin + 1; i < end; ++i) {
    const Glyph& a = glyphs[i - 1];
    const Glyph& b = glyphs[i];
    const double along = (b.origin_x - a.origin_x) * (a.end_x - a.origin_x) +
                         (b.origin_y - a.origin_y) * (a.end_y - a.origin_y);
    back += along < 0;
    forward += along > 0;
  }
  return back > forward;
}

}  // namespace

std::optional<PageGlyphs> mirrored_upright(const PageGlyphs& page) {
  std::optional<PageGlyphs> upright;  // made only when a run steps back
  each_negative_run(page.glyphs, [&](std::size_t begin, std::size_t end) {
    if (!steps_back(page.glyphs, begin, end)) return;
    if (!upright) upright = page;
    for (std::size_t i = begin; i < end; ++i) {
      Glyph& g = upright->glyphs[i];
      g.dir_x = -g.dir_x, g.dir_y = -g.dir_y;
      g.end_x = 2 * g.origin_x - g.end_x, g.end_y = 2 * g.origin_y - g.end_y;
      g.size = -g.size;
    }
  });
  return upright;
}

void restore_mirrored_sizes(const PageGlyphs& page, std::vector<Block>& blocks) {
  std::vector<std::uint32_t> turned;  // PDFium indices of the glyphs mirrored_upright turned
  each_negative_run(page.glyphs, [&](std::size_t begin, std::size_t end) {
    if (!steps_back(page.glyphs, begin, end)) return;
    for (std::size_t i = begin; i < end; ++i) turned.push_back(page.glyphs[i].index);
  });
  merge_sort(turned, [](std::uint32_t a, std::uint32_t b) { return a < b; });
  for (Block& block : blocks) {
    for (Line& line : block.lines) {
      for (Char& c : line.chars) {
        if (!c.synthetic && c.size > 0 && std::binary_search(turned.begin(), turned.end(), c.idx)) {
          c.size = -c.size;
        }
      }
    }
  }
}

}  // namespace textloom::detail
