// The glyph pass of layout: one walk over a page's glyphs in text order that
// turns each kept glyph into a Char and decides, from its offsets across and
// along the previous glyph's baseline, whether it continues the current line
// (with or without an inserted space), opens a new line, or opens a new block.
// It never reorders glyphs. It fills the open line in a buffer and hands each
// line, as it closes, to block building (layout_blocks.cpp), which joins
// vertical CJK columns, reorders right-to-left lines and measures the result.
// Most glyphs take a fast lane through the rules (see glyph_pass).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "layout_internal.hpp"
#include "uninitialised.hpp"
#include "unicode.hpp"
#include "unicode_tables.hpp"

namespace textloom {

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

}  // namespace textloom

namespace textloom::detail {

namespace {

constexpr std::uint32_t kSpace = 0x20;

// Box of the ink between a start and an end point on a baseline of direction
// (dx, dy), from ascender a to descender d of a font scaled by s, for
// anything but plain horizontal text (rotated, vertical, mirrored or NaN
// direction): the bounding box of the four corners. Plain horizontal text
// (dx > 0, dy = 0) takes (x, y - s * a, end x, y - s * d) as it stands, so a
// backward end yields x0 > x1; the pass builds that one itself.
Rect corner_box(double x, double y, double end_x, double end_y, double dx, double dy, double s,
                double a, double d) {
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
bool space_fits(std::uint32_t ch, std::uint32_t prev) {
  return ch != kSpace && prev != kSpace &&
         (prev < 0x700 || (prev >= 0x2000 && prev <= 0x20CF));
}

// Whether a space PDFium reported before `ch` stays although space_fits
// refuses it: after Hangul (Korean separates words with spaces) and Thai and
// Lao (which separate phrases with them), a reported space is the producer's.
bool reported_space_fits(std::uint32_t ch, std::uint32_t prev) {
  const bool spaced_script = (prev >= 0x1100 && prev <= 0x11FF) || (prev >= 0x3130 && prev <= 0x318F) ||
                             (prev >= 0xAC00 && prev <= 0xD7AF) || (prev >= 0x0E00 && prev <= 0x0EFF);
  return ch != kSpace && prev != kSpace && spaced_script;
}

// For a code point from U+0300 up: neither a combining mark nor
// right-to-left (is_nonspacing_mark and is_rtl, read from the same property
// table without a call, for the fast lane of the pass).
inline bool plain_ltr(std::uint32_t cp) {
  const std::uint8_t props = unicode_tables::properties(cp);
  if ((props & unicode_tables::kNonspacingMark) != 0) return false;
  if (cp < 0x590) return true;
  const auto bidi = static_cast<BidiClass>(props & unicode_tables::kBidiMask);
  return bidi != BidiClass::R && bidi != BidiClass::AL;
}

// Where a glyph goes. One small value rather than a record, so that it
// travels in a register.
enum class Place : std::uint8_t {
  drop,           // a duplicate
  append,         // to the current line, no space
  append_spaced,  // to the current line, after the space test
  new_line,
  new_block,
};

// Everything the pass remembers between glyphs.
struct PassState {
  bool line_open = false;
  std::uint32_t prev_ch = 0;   // last filed char, also set by repeats and marks
  const Glyph* last = nullptr;  // last glyph filed on the main path (origin, pen end)
  bool prev_rtl = false;
  double line_start_x = 0;
  bool line_marker = false;    // the current line opens with a list marker
  bool line_has_rtl = false;
};

// Whether a glyph this far from the previous one's origin (dx, dy) is that
// glyph painted again: hypot(dx, dy) / em < dup_tol. The hypotenuse is never
// shorter than either leg, so a leg that alone reaches dup_tol settles it
// without the call, which is kept off the hot path.
[[gnu::noinline]] bool near_origin(double dx, double dy, double em, double dup_tol) {
  return std::hypot(dx, dy) / em < dup_tol;
}

// A leg that alone reaches dup_tol: certainly no duplicate.
inline bool far_from(double dx, double dy, double em, const LayoutParams& p) {
  return std::fabs(dx) / em >= p.dup_tol || std::fabs(dy) / em >= p.dup_tol;
}

inline bool duplicate(double dx, double dy, double em, const LayoutParams& p) {
  return !far_from(dx, dy, em, p) && near_origin(dx, dy, em, p.dup_tol);
}

// Where a glyph on the main path goes, judged against the previous glyph.
// Inlined: it runs for nearly every glyph, and a call would spill the pass's
// state to memory.
[[gnu::always_inline]] inline Place decide(const Glyph& g, bool rtl, double em,
                                           const PassState& st, LineFacts& line,
                                           const LayoutParams& p) {
  const double dx = g.dir_x;
  const double dy = g.dir_y;
  // A NaN product is no change of direction.
  if (dx * line.dir_x + dy * line.dir_y < 0.999) return Place::new_block;

  if (g.ch == st.prev_ch &&
      duplicate(g.origin_x - st.last->origin_x, g.origin_y - st.last->origin_y, em, p)) {
    return Place::drop;  // the same character painted again (fake bold, shadow)
  }

  const double rx = g.origin_x - st.last->end_x;
  const double ry = g.origin_y - st.last->end_y;
  const double across = std::fabs((ry * dx - rx * dy) / em);
  if (!(across < p.baseline_tol)) {
    if (!(across <= p.line_gap_max)) return Place::new_block;
    if (g.origin_x - st.line_start_x > p.indent_max && !st.line_marker) {
      return Place::new_block;
    }
    return Place::new_line;
  }

  // Where the writing direction flips no gap is meaningful; a space the
  // producer wrote there still counts.
  if (rtl != st.prev_rtl) return g.space_before ? Place::append_spaced : Place::append;

  const double gap = (rx * dx + ry * dy) / em;
  const bool rtl_rules = rtl || (st.line_has_rtl && bidi_class(g.ch) != BidiClass::L);
  if (!rtl_rules) {
    if (g.space_before && p.space_before_min < gap && gap < p.space_max) {
      return Place::append_spaced;
    }
    if (std::fabs(gap) < p.space_tol) return Place::append;
    if (0 < gap && gap < p.space_max) return Place::append_spaced;
    if (-p.space_max < gap && gap < 0) return Place::append;
    return Place::new_line;
  }

  // Right-to-left progression: this glyph should end where the previous one began.
  const double adv = std::hypot(g.end_x - g.origin_x, g.end_y - g.origin_y) / em;
  const double back =
      ((g.origin_x - st.last->origin_x) * dx + (g.origin_y - st.last->origin_y) * dy) / em + adv;
  if (std::fabs(back) < p.space_tol) return Place::append;
  if (std::fabs(gap) < p.space_tol) {
    line.rtl_visual = true;  // drawn left to right
    return Place::append;
  }
  if (-p.space_max < back && back < 0) return Place::append_spaced;
  if (-p.space_max < gap && gap < 0) return Place::append;
  if (0 < gap && gap < p.space_max) {
    line.rtl_visual = true;
    return Place::append_spaced;
  }
  return Place::new_line;
}

// Fills a char in place, field by field: building it elsewhere and copying it
// would read back stores of mixed widths, which stalls the pipeline.
inline void fill(Char& c, const Glyph& g, const Rect& box, double x, double y, bool rtl) {
  c.bbox = box;
  c.origin_x = x;
  c.origin_y = y;
  c.size = g.size;
  c.font = g.font;
  c.color = g.color;
  c.idx = g.index;
  c.ch = g.ch;
  c.rtl = rtl;
  c.synthetic = false;
}

// The font metrics and size of the glyph at hand. Runs of glyphs share a font
// and a size, so each is looked up or worked out again only where it changes.
class Scale {
 public:
  Scale(const Glyph& first, const std::vector<FontInfo>& fonts) { load(first, fonts); }

  [[gnu::always_inline]] void update(const Glyph& g, const std::vector<FontInfo>& fonts) {
    // A NaN size never equals the one at hand, so it is worked out every time.
    if (g.font != font_ || !(g.size == size_)) load(g, fonts);
  }

  double em() const { return em_; }

  // The box of the ink between a start and an end point on g's baseline.
  // `plain` says the baseline is known to be plain horizontal, so that the
  // fast lane, which has checked, does not test it again for every box.
  [[gnu::always_inline]] Rect box(const Glyph& g, double x, double y, double end_x, double end_y,
                                  bool plain = false) const {
    return plain || (g.dir_x > 0 && g.dir_y == 0)
               ? Rect{x, y - s_ * a_, end_x, y - s_ * d_}
               : corner_box(x, y, end_x, end_y, g.dir_x, g.dir_y, s_, a_, d_);
  }

 private:
  [[gnu::always_inline]] void load(const Glyph& g, const std::vector<FontInfo>& fonts) {
    if (g.font >= fonts.size()) std::abort();  // extraction guarantees valid indices
    font_ = g.font;
    a_ = fonts[g.font].ascender;
    d_ = fonts[g.font].descender;
    size_ = g.size;
    s_ = std::fabs(size_);
    em_ = size_ == 0 ? 1.0 : s_;  // distances of a size-0 glyph are measured in units of 1
  }

  std::uint32_t font_;
  double a_;     // the font's ascender
  double d_;     // and descender, as fractions of the size
  double size_;
  double s_;     // |size|: a negative size mirrors the glyph, it does not shrink it
  double em_;    // what distances along and across the line are divided by
};

}  // namespace

bool glyph_pass(const PageGlyphs& page, const std::optional<Rect>& clip,
                const LayoutParams& params, BlockBuilder& blocks) {
  if (page.glyphs.empty()) return true;
  const bool stops_at_cjk = !blocks.joins_vertical();
  Scale scale(page.glyphs.front(), page.fonts);

  // The open line: its chars are [line_begin, end) of a buffer with room for
  // every line of the page (a synthetic space before every glyph), of which
  // only as much as block building keeps waiting is ever touched.
  const std::unique_ptr<Char[]> buffer = uninitialised<Char>(2 * page.glyphs.size());
  Char* line_begin = buffer.get();
  Char* end = line_begin;
  LineFacts line{1, 0, true};

  // Files a char into the open line.
  auto file = [&](const Glyph& g, const Rect& box, double x, double y, bool rtl) -> Char& {
    Char& c = *end++;
    fill(c, g, box, x, y, rtl);
    line.any_rtl = line.any_rtl || rtl;
    return c;
  };

  PassState st;
  // Closes the open line, if any, and opens one (in a new block if asked)
  // for `g`. False at a line that would open with CJK, when the pass stops
  // there.
  auto open_line = [&](const Glyph& g, Place place) -> bool {
    if (stops_at_cjk && is_cjk(g.ch)) return false;
    if (st.line_open) line_begin = end = blocks.close_line(line_begin, end, line);
    line = LineFacts{g.dir_x, g.dir_y, place == Place::new_block};
    st.line_start_x = g.origin_x;
    st.line_marker = is_list_marker(g.ch);
    st.line_has_rtl = false;
    return true;
  };

  // Files a glyph on the main path where `place` puts it: into a new line or
  // block, or appended to the open line, after an inserted space where one
  // fits. False where open_line is. Inlined: the fast lane runs it for
  // nearly every glyph, and a call would spill the pass's state to memory.
  auto settle = [&](const Glyph& g, Place place, bool rtl,
                    bool plain = false) __attribute__((always_inline)) -> bool {
    if (place == Place::new_line || place == Place::new_block) {
      if (!open_line(g, place)) return false;
    } else if (place == Place::append_spaced &&
               (space_fits(g.ch, st.prev_ch) ||
                (g.space_before && reported_space_fits(g.ch, st.prev_ch)))) {
      const double ex = st.last->end_x;
      const double ey = st.last->end_y;
      Char& space = file(g, scale.box(g, ex, ey, g.origin_x, g.origin_y, plain), ex, ey, rtl);
      space.idx = kSyntheticIdx;
      space.ch = kSpace;
      space.synthetic = true;
    }
    file(g, scale.box(g, g.origin_x, g.origin_y, g.end_x, g.end_y, plain), g.origin_x, g.origin_y,
         rtl);
    st.line_open = true;
    st.prev_ch = g.ch;
    st.last = &g;
    st.prev_rtl = rtl;
    st.line_has_rtl = st.line_has_rtl || rtl;
    return true;
  };

  // Any glyph, by the rules as they stand.
  auto take = [&](const Glyph& g) -> bool {
    scale.update(g, page.fonts);
    if (clip && outside(scale.box(g, g.origin_x, g.origin_y, g.end_x, g.end_y), *clip)) {
      return true;
    }
    const bool rtl = is_rtl(g.ch);
    if (!st.line_open) return settle(g, Place::new_block, rtl);
    if (g.repeat) {
      // Drawn over the previous glyph: keep it as a zero-width char at the pen end.
      const double ex = st.last->end_x;
      const double ey = st.last->end_y;
      file(g, scale.box(g, ex, ey, ex, ey), ex, ey, rtl);
      st.prev_ch = g.ch;
      return true;
    }
    if (g.ch >= 0x300 && is_nonspacing_mark(g.ch)) {
      // A combining mark sits on its base wherever it was drawn.
      file(g, scale.box(g, g.origin_x, g.origin_y, g.end_x, g.end_y), g.origin_x, g.origin_y,
           rtl);
      st.prev_ch = g.ch;
      return true;
    }
    const Place place = decide(g, rtl, scale.em(), st, line, params);
    return place == Place::drop || settle(g, place, rtl);
  };

  const Glyph* g = page.glyphs.data();
  const Glyph* const glyphs_end = g + page.glyphs.size();
  while (g != glyphs_end) {
    // The fast lane: most glyphs continue an open left-to-right line on a
    // plain horizontal baseline, on a page without clip. For them the rules
    // come down to decide() and settle(); none of the calls and cases take()
    // adds can apply (a code point below U+0300, or above it and neither a
    // mark nor right-to-left by the property table, is a plain left-to-right
    // char; a char that is not the previous one again, or is but stands a
    // leg's length away, is no duplicate). Any other glyph goes to take().
    // A glyph the lane judges to open a line is filed after its loop: the
    // call that hands over the closed line would otherwise sit in the loop
    // and push the registers it keeps to memory.
    if (!clip && st.line_open && !st.prev_rtl && !st.line_has_rtl) {
      std::optional<Place> line_break;
      for (; g != glyphs_end; ++g) {
        if (g->repeat || !(g->dir_x > 0 && g->dir_y == 0)) break;
        if (g->ch >= 0x300 && !plain_ltr(g->ch)) break;
        scale.update(*g, page.fonts);
        if (g->ch == st.prev_ch && !far_from(g->origin_x - st.last->origin_x,
                                             g->origin_y - st.last->origin_y, scale.em(),
                                             params)) {
          break;
        }
        const Place place = decide(*g, false, scale.em(), st, line, params);
        if (place != Place::append && place != Place::append_spaced) {
          line_break = place;
          break;
        }
        settle(*g, place, false, true);
      }
      if (g == glyphs_end) break;
      if (line_break) {
        if (!settle(*g, *line_break, false, true)) return false;
        ++g;
        continue;
      }
    }
    if (!take(*g)) return false;
    ++g;
  }
  if (st.line_open) blocks.close_line(line_begin, end, line);
  blocks.end_page();
  return true;
}

bool is_cjk(std::uint32_t cp) {
  return (cp >= 0x2E80 && cp < 0xA000) || (cp >= 0xAC00 && cp < 0xD7B0) ||
         (cp >= 0xF900 && cp < 0xFB00) || (cp >= 0xFE30 && cp < 0xFE50) ||
         (cp >= 0xFF00 && cp < 0xFFF0) || (cp >= 0x20000 && cp < 0x40000);
}

}  // namespace textloom::detail
