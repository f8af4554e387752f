// The glyph pass of layout: one walk over a page's glyphs in text order that
// turns each kept glyph into a Char and decides, from its offsets across and
// along the previous glyph's baseline, whether it continues the current line
// (with or without an inserted space), opens a new line, or opens a new block.
// It never reorders glyphs; block building (layout_blocks.cpp) joins vertical
// CJK columns, reorders right-to-left lines and measures the result.
//
// Chars go into one flat buffer reserved for the worst case (a synthetic
// space before every glyph), lines and blocks into index arrays reserved
// likewise, so the pass allocates nothing per glyph.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "layout_internal.hpp"
#include "unicode.hpp"

namespace textloom::detail {

namespace {

constexpr std::uint32_t kSpace = 0x20;

// Bullets and dashes that may open an indented list item without starting a
// new block.
bool is_list_marker(std::uint32_t cp) {
  switch (cp) {
    case 0x002A: case 0x002D: case 0x00B7: case 0x2013: case 0x2014: case 0x2022:
    case 0x2023: case 0x2043: case 0x204C: case 0x204D: case 0x2219: case 0x25A0:
    case 0x25A1: case 0x25AA: case 0x25AB: case 0x25C9: case 0x25CB: case 0x25CF:
    case 0x25D8: case 0x25E6: case 0x2619: case 0x261A: case 0x261B: case 0x261C:
    case 0x261D: case 0x261E: case 0x261F: case 0x2765: case 0x2767: case 0x29BE:
    case 0x29BF:
      return true;
    default:
      return false;
  }
}

// Box of the ink between a start and an end point on a baseline of direction
// (dx, dy), from ascender a to descender d of a font scaled by s. Plain
// horizontal text keeps its orientation as given (a backward end yields
// x0 > x1); anything else is the bounding box of the four corners.
Rect baseline_box(double x, double y, double end_x, double end_y, double dx, double dy, double s,
                  double a, double d) {
  if (dx > 0 && dy == 0) return {x, y - s * a, end_x, y - s * d};
  // Up is the baseline direction turned a quarter towards the top of the page.
  const double ux = dy;
  const double uy = -dx;
  const double px[4] = {x + ux * a * s, x + ux * d * s, end_x + ux * a * s, end_x + ux * d * s};
  const double py[4] = {y + uy * a * s, y + uy * d * s, end_y + uy * a * s, end_y + uy * d * s};
  Rect box = kEmptyRect;
  for (int k = 0; k < 4; ++k) {
    box.x0 = min_num(box.x0, px[k]);
    box.y0 = min_num(box.y0, py[k]);
    box.x1 = max_num(box.x1, px[k]);
    box.y1 = max_num(box.y1, py[k]);
  }
  return box;
}

// Entirely outside the clip; touching survives, and NaN never drops.
bool outside(const Rect& box, const Rect& clip) {
  return box.x1 < clip.x0 || box.x0 > clip.x1 || box.y1 < clip.y0 || box.y0 > clip.y1;
}

// Whether a word gap before `ch` becomes a space: never around an existing
// space, and never after scripts that do not separate words with spaces
// (everything from U+0700 upward except general punctuation and currency).
bool space_fits(std::uint32_t ch, bool has_prev, std::uint32_t prev) {
  return ch != kSpace && has_prev && prev != kSpace &&
         (prev < 0x700 || (prev >= 0x2000 && prev <= 0x20CF));
}

enum class Place { append, new_line, new_block };

struct Decision {
  Place place;
  bool space;  // append with the space test
};

// Everything the pass remembers between glyphs.
struct PassState {
  bool line_open = false;
  bool has_prev = false;
  std::uint32_t prev_ch = 0;   // last filed char, also set by repeats and marks
  double prev_x = 0;           // origin of the last glyph filed on the main path
  double prev_y = 0;
  double end_x = 0;            // its pen end
  double end_y = 0;
  bool prev_rtl = false;
  double line_start_x = 0;
  bool line_marker = false;    // the current line opens with a list marker
  bool line_has_rtl = false;
};

// Where a glyph on the main path goes, judged against the previous glyph.
// Returns nullopt for a duplicate, which is dropped.
std::optional<Decision> decide(const Glyph& g, bool rtl, double em, const PassState& st,
                               StagedLine& line, const LayoutParams& p) {
  const double dx = g.dir_x;
  const double dy = g.dir_y;
  // A NaN product is no change of direction.
  if (dx * line.dir_x + dy * line.dir_y < 0.999) return Decision{Place::new_block, false};

  if (g.ch == st.prev_ch &&
      std::hypot(g.origin_x - st.prev_x, g.origin_y - st.prev_y) / em < p.dup_tol) {
    return std::nullopt;  // the same character painted again (fake bold, shadow)
  }

  const double rx = g.origin_x - st.end_x;
  const double ry = g.origin_y - st.end_y;
  const double across = std::fabs((ry * dx - rx * dy) / em);
  if (!(across < p.baseline_tol)) {
    if (!(across <= p.line_gap_max)) return Decision{Place::new_block, false};
    if (g.origin_x - st.line_start_x > p.indent_max && !st.line_marker) {
      return Decision{Place::new_block, false};
    }
    return Decision{Place::new_line, false};
  }

  // Where the writing direction flips no gap is meaningful; a space the
  // producer wrote there still counts.
  if (rtl != st.prev_rtl) return Decision{Place::append, g.space_before};

  const double gap = (rx * dx + ry * dy) / em;
  const bool rtl_rules = rtl || (st.line_has_rtl && bidi_class(g.ch) != BidiClass::L);
  if (!rtl_rules) {
    if (g.space_before && p.space_before_min < gap && gap < p.space_max) {
      return Decision{Place::append, true};
    }
    if (std::fabs(gap) < p.space_tol) return Decision{Place::append, false};
    if (0 < gap && gap < p.space_max) return Decision{Place::append, true};
    if (-p.space_max < gap && gap < 0) return Decision{Place::append, false};
    return Decision{Place::new_line, false};
  }

  // Right-to-left progression: this glyph should end where the previous one began.
  const double adv = std::hypot(g.end_x - g.origin_x, g.end_y - g.origin_y) / em;
  const double back =
      ((g.origin_x - st.prev_x) * dx + (g.origin_y - st.prev_y) * dy) / em + adv;
  if (std::fabs(back) < p.space_tol) return Decision{Place::append, false};
  if (std::fabs(gap) < p.space_tol) {
    line.rtl_visual = true;  // drawn left to right
    return Decision{Place::append, false};
  }
  if (-p.space_max < back && back < 0) return Decision{Place::append, true};
  if (-p.space_max < gap && gap < 0) return Decision{Place::append, false};
  if (0 < gap && gap < p.space_max) {
    line.rtl_visual = true;
    return Decision{Place::append, true};
  }
  return Decision{Place::new_line, false};
}

Char make_char(const Glyph& g, const Rect& box, double x, double y, bool rtl) {
  return Char{box, x, y, g.size, g.font, g.color, g.index, g.ch, rtl, false};
}

}  // namespace

StagedPage glyph_pass(const PageGlyphs& page, const std::optional<Rect>& clip,
                      const LayoutParams& params) {
  const std::size_t n = page.glyphs.size();
  StagedPage out;
  std::vector<Char>& chars = out.chars;
  std::vector<StagedLine>& lines = out.lines;
  chars.reserve(2 * n);
  lines.reserve(n);
  out.block_starts.reserve(n);

  PassState st;
  for (const Glyph& g : page.glyphs) {
    if (g.font >= page.fonts.size()) std::abort();  // extraction guarantees valid indices
    const FontInfo& font = page.fonts[g.font];
    const double a = font.ascender;
    const double d = font.descender;
    const double s = std::fabs(g.size);
    const double em = em_of(g.size);
    const Rect box =
        baseline_box(g.origin_x, g.origin_y, g.end_x, g.end_y, g.dir_x, g.dir_y, s, a, d);
    if (clip && outside(box, *clip)) continue;
    const bool rtl = is_rtl(g.ch);

    Decision decision{Place::new_block, false};
    if (st.line_open) {
      if (g.repeat) {
        // Drawn over the previous glyph: keep it as a zero-width char at the pen end.
        const Rect at_pen = baseline_box(st.end_x, st.end_y, st.end_x, st.end_y, g.dir_x,
                                         g.dir_y, s, a, d);
        chars.push_back(make_char(g, at_pen, st.end_x, st.end_y, rtl));
        st.prev_ch = g.ch;
        continue;
      }
      if (g.ch >= 0x300 && is_nonspacing_mark(g.ch)) {
        // A combining mark sits on its base wherever it was drawn.
        chars.push_back(make_char(g, box, g.origin_x, g.origin_y, rtl));
        st.prev_ch = g.ch;
        continue;
      }
      const std::optional<Decision> judged = decide(g, rtl, em, st, lines.back(), params);
      if (!judged) continue;
      decision = *judged;
    }

    if (decision.place != Place::append) {
      if (decision.place == Place::new_block) out.block_starts.push_back(lines.size());
      if (!lines.empty()) lines.back().end = chars.size();
      lines.push_back(StagedLine{chars.size(), chars.size(), g.dir_x, g.dir_y, false});
      st.line_start_x = g.origin_x;
      st.line_marker = is_list_marker(g.ch);
      st.line_has_rtl = false;
    } else if (decision.space && space_fits(g.ch, st.has_prev, st.prev_ch)) {
      const Rect gap_box = baseline_box(st.end_x, st.end_y, g.origin_x, g.origin_y, g.dir_x,
                                        g.dir_y, s, a, d);
      chars.push_back(Char{gap_box, st.end_x, st.end_y, g.size, g.font, g.color, kSyntheticIdx,
                           kSpace, rtl, true});
    }
    chars.push_back(make_char(g, box, g.origin_x, g.origin_y, rtl));

    st.line_open = true;
    st.has_prev = true;
    st.prev_ch = g.ch;
    st.prev_x = g.origin_x;
    st.prev_y = g.origin_y;
    st.end_x = g.end_x;
    st.end_y = g.end_y;
    st.prev_rtl = rtl;
    st.line_has_rtl = st.line_has_rtl || rtl;
  }
  if (!lines.empty()) lines.back().end = chars.size();
  return out;
}

}  // namespace textloom::detail
