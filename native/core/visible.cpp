// without_offpage_words: glyph boxes against the crop box, words as runs.

#include "visible.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#include "layout.hpp"
#include "num.hpp"

namespace textloom {

namespace {

// The glyph's box: its baseline from origin to end, widened across it by the
// font's ascender and descender, as layout builds a char's box.
Rect glyph_box(const Glyph& g, const FontInfo& font) {
  const double up_x = g.dir_y, up_y = -g.dir_x;  // across the baseline, towards the top
  const double above = g.size * font.ascender, below = g.size * font.descender;
  const double xs[4] = {g.origin_x + up_x * above, g.origin_x + up_x * below, g.end_x + up_x * above,
                        g.end_x + up_x * below};
  const double ys[4] = {g.origin_y + up_y * above, g.origin_y + up_y * below, g.end_y + up_y * above,
                        g.end_y + up_y * below};
  Rect box{xs[0], ys[0], xs[0], ys[0]};
  for (int i = 1; i < 4; ++i) {
    box.x0 = min_num(box.x0, xs[i]), box.x1 = max_num(box.x1, xs[i]);
    box.y0 = min_num(box.y0, ys[i]), box.y1 = max_num(box.y1, ys[i]);
  }
  return box;
}

// Wholly outside the page: a box that touches the edge is on it, and one of
// NaN geometry is not known to be outside.
bool outside(const Rect& b, double width, double height) {
  return b.x1 < 0 || b.y1 < 0 || b.x0 > width || b.y0 > height;
}

bool is_space(std::uint32_t ch) { return ch == ' ' || ch == 0xA0 || ch == 0x3000; }

// Whether `next` continues the word of `prev`.
bool same_word(const Glyph& prev, const Glyph& next) {
  if (next.space_before || is_space(prev.ch) || is_space(next.ch)) return false;
  if (prev.dir_x != next.dir_x || prev.dir_y != next.dir_y) return false;
  // The touching gap of layout: below it two glyphs are one word.
  const double tolerance = LayoutParams{}.space_tol * max_num(prev.size, next.size);
  return std::hypot(next.origin_x - prev.end_x, next.origin_y - prev.end_y) <= tolerance;
}

}  // namespace

WordCount count_words(const PageGlyphs& page) {
  const std::vector<Glyph>& glyphs = page.glyphs;
  WordCount count;
  for (std::size_t start = 0; start < glyphs.size();) {
    std::size_t end = start + 1;
    while (end < glyphs.size() && same_word(glyphs[end - 1], glyphs[end])) ++end;
    bool all_off = true, text = false;
    for (std::size_t i = start; i < end; ++i) {
      const Glyph& g = glyphs[i];
      text = text || !is_space(g.ch);
      all_off = all_off && outside(glyph_box(g, page.fonts[g.font]), page.width, page.height);
    }
    count.words += text;
    count.outside += text && all_off;
    start = end;
  }
  return count;
}

std::optional<PageGlyphs> without_offpage_words(const PageGlyphs& page) {
  const std::vector<Glyph>& glyphs = page.glyphs;
  const std::size_t n = glyphs.size();
  std::vector<bool> off;  // made only once a glyph lies outside
  for (std::size_t i = 0; i < n; ++i) {
    const Glyph& g = glyphs[i];
    if (!outside(glyph_box(g, page.fonts[g.font]), page.width, page.height)) continue;
    if (off.empty()) off.assign(n, false);
    off[i] = true;
  }
  if (off.empty()) return std::nullopt;
  // A run keeps its glyphs outside when any of its glyphs is not.
  std::vector<Glyph> kept;
  kept.reserve(n);
  for (std::size_t start = 0; start < n;) {
    std::size_t end = start + 1;
    while (end < n && same_word(glyphs[end - 1], glyphs[end])) ++end;
    bool all_off = true;
    for (std::size_t i = start; i < end && all_off; ++i) all_off = off[i];
    if (!all_off) kept.insert(kept.end(), glyphs.begin() + static_cast<std::ptrdiff_t>(start),
                              glyphs.begin() + static_cast<std::ptrdiff_t>(end));
    start = end;
  }
  if (kept.size() == n) return std::nullopt;
  PageGlyphs visible = page;
  visible.glyphs = std::move(kept);
  return visible;
}

}  // namespace textloom
