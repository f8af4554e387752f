// The glyph pass of layout: one walk over a page's glyphs in text order that
// turns each kept glyph into a Char and decides, from its offsets across and
// along the previous glyph's baseline, whether it continues the current line
// (with or without an inserted space), opens a new line, or opens a new block.
// It never reorders glyphs; block building (layout_blocks.cpp) joins vertical
// CJK columns, reorders right-to-left lines and measures the result.
//
// The pass decides; where its chars go is up to a sink. The staging sink
// files them into one flat buffer reserved for the worst case (a synthetic
// space before every glyph), lines and blocks into index arrays reserved
// likewise, so it allocates nothing per glyph. The finishing sink, for pages
// where no line opens with CJK, fills one line at a time in a reused buffer
// and copies each line, finished, out into its block as soon as the next one
// opens. Most glyphs take a fast lane through the rules (see run_pass).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
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
bool space_fits(std::uint32_t ch, bool has_prev, std::uint32_t prev) {
  return ch != kSpace && has_prev && prev != kSpace &&
         (prev < 0x700 || (prev >= 0x2000 && prev <= 0x20CF));
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
  bool has_prev = false;
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
                                           const PassState& st, LineState& line,
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

// The pass files chars into a buffer the sink lends it and tells the sink
// where each line ends and where each block begins; the sink keeps the lines.
//
// StagingSink keeps all chars where the pass put them, in one flat buffer
// reserved for the worst case (a synthetic space before every glyph), lines
// and blocks in index arrays reserved likewise, so it allocates nothing per
// glyph; block building joins and copies them out.
class StagingSink {
 public:
  explicit StagingSink(std::size_t n_glyphs) {
    page_.chars = uninitialised<Char>(2 * n_glyphs);
    page_.lines.reserve(n_glyphs);
    page_.block_starts.reserve(n_glyphs);
  }

  static constexpr bool kStopsAtCjk = false;

  Char* buffer() { return page_.chars.get(); }

  void open_block() { page_.block_starts.push_back(page_.lines.size()); }

  // Keeps chars [begin, end) as a line; the next line starts at `end`.
  Char* close_line(Char* begin, Char* end, const LineState& line) {
    const Char* base = page_.chars.get();
    page_.lines.push_back(StagedLine{static_cast<std::size_t>(begin - base),
                                     static_cast<std::size_t>(end - base), line});
    summarize(page_.lines.back().state, begin, end);
    page_.any_rtl = page_.any_rtl || line.any_rtl;
    return end;
  }

  StagedPage finish() { return std::move(page_); }

 private:
  StagedPage page_;
};

// FinishingSink builds finished blocks line by line. The open line's chars
// and the open block's lines wait in buffers that are reused, so each final
// array is allocated once at its exact size and each char is copied once,
// from a buffer that stays in cache.
class FinishingSink {
 public:
  // Vertical joining runs only on pages where some line opens with CJK, and
  // may then join lines once they are built: the pass stops at the first
  // line that opens with CJK and the page is staged instead.
  static constexpr bool kStopsAtCjk = true;

  // Room for the longest possible line (a synthetic space before every
  // glyph). Only as much of it as the longest line is ever touched.
  explicit FinishingSink(std::size_t n_glyphs)
      : chars_(uninitialised<Char>(2 * n_glyphs)) {
    // Enough for most pages at once; more grow as usual.
    blocks_.reserve(n_glyphs < 64 ? n_glyphs : 64);
    block_lines_.reserve(16);
  }

  Char* buffer() { return chars_.get(); }

  void open_block() {
    if (!block_lines_.empty()) close_block();
  }

  // Copies chars [begin, end) out as a finished line; the next line reuses
  // the buffer from its start.
  Char* close_line(Char* begin, Char* end, LineState state) {
    summarize(state, begin, end);
    Line& line = block_lines_.emplace_back();
    line.chars.assign(begin, end);
    line.dir_x = state.dir_x;
    line.dir_y = state.dir_y;
    line.rtl_visual = state.rtl_visual;
    line.bbox = state.box;
    if (needs_reorder(state)) visual_to_logical(line);
    widen(block_box_, line.bbox);
    return chars_.get();
  }

  std::vector<Block> finish() {
    if (!block_lines_.empty()) close_block();
    return std::move(blocks_);
  }

 private:
  void close_block() {
    Block& block = blocks_.emplace_back();
    block.lines.reserve(block_lines_.size());
    for (Line& line : block_lines_) block.lines.push_back(std::move(line));
    block.bbox = block_box_;
    block_box_ = kEmptyRect;
    block_lines_.clear();
  }

  std::unique_ptr<Char[]> chars_;  // of the open line
  std::vector<Block> blocks_;
  std::vector<Line> block_lines_;  // of the open block
  Rect block_box_ = kEmptyRect;
};

// Returns false when it stopped at a line that opens with CJK (only for a
// sink that asks).
template <class Sink>
bool run_pass(const PageGlyphs& page, const std::optional<Rect>& clip,
              const LayoutParams& params, Sink& sink) {
  // Runs of glyphs share a font and a size: look the font's metrics up and
  // work out the size's magnitude and em once per run. No font has index
  // kSyntheticIdx (a page holds fewer fonts than glyphs); a NaN size is
  // never the size at hand, so it is worked out every time.
  std::uint32_t font_index = kSyntheticIdx;
  double a = 0;
  double d = 0;
  double size = std::numeric_limits<double>::quiet_NaN();
  double s = 0;   // |size|
  double em = 1;  // em_of(size)

  // The open line: its chars are [line_begin, end) of the sink's buffer,
  // which has room for two chars per glyph.
  Char* line_begin = sink.buffer();
  Char* end = line_begin;
  LineState line{1, 0};

  // Files a char into the open line.
  auto file = [&](const Glyph& g, const Rect& box, double x, double y, bool rtl) -> Char& {
    Char& c = *end++;
    fill(c, g, box, x, y, rtl);
    line.any_rtl = line.any_rtl || rtl;
    return c;
  };

  PassState st;
  // Closes the open line, if any, and opens one (in a new block if asked)
  // for `g`. False at a line that would open with CJK, for a sink that
  // stops there.
  auto open_line = [&](const Glyph& g, Place place) -> bool {
    if constexpr (Sink::kStopsAtCjk) {
      if (is_cjk(g.ch)) return false;
    }
    if (st.line_open) line_begin = end = sink.close_line(line_begin, end, line);
    if (place == Place::new_block) sink.open_block();
    line = LineState{g.dir_x, g.dir_y};
    st.line_start_x = g.origin_x;
    st.line_marker = is_list_marker(g.ch);
    st.line_has_rtl = false;
    return true;
  };

  // Any glyph, by the rules as they stand. False at a line that opens with
  // CJK (for a sink that stops there). A glyph the fast lane has judged to
  // open a line comes with that judgement (`judged`), which is not made again.
  auto take = [&](const Glyph& g, Place judged) -> bool {
    if (g.font != font_index) {
      if (g.font >= page.fonts.size()) std::abort();  // extraction guarantees valid indices
      font_index = g.font;
      a = page.fonts[g.font].ascender;
      d = page.fonts[g.font].descender;
    }
    if (!(g.size == size)) {
      size = g.size;
      s = std::fabs(size);
      em = em_of(size);
    }
    // Boxes on this glyph's baseline: its own, and those of a repeat or an
    // inserted space. Each is made only where it is filed, so that no box is
    // held across the judging of the glyph.
    auto box_to = [&](double x, double y, double end_x, double end_y) {
      return g.dir_x > 0 && g.dir_y == 0
                 ? Rect{x, y - s * a, end_x, y - s * d}
                 : corner_box(x, y, end_x, end_y, g.dir_x, g.dir_y, s, a, d);
    };
    if (judged != Place::drop) {
      // A plain left-to-right glyph, on a page without clip: see the fast lane.
      if (!open_line(g, judged)) return false;
      file(g, box_to(g.origin_x, g.origin_y, g.end_x, g.end_y), g.origin_x, g.origin_y, false);
      st.prev_ch = g.ch;
      st.last = &g;
      return true;
    }
    if (clip && outside(box_to(g.origin_x, g.origin_y, g.end_x, g.end_y), *clip)) return true;
    const bool rtl = is_rtl(g.ch);

    Place place = Place::new_block;
    if (st.line_open) {
      if (g.repeat) {
        // Drawn over the previous glyph: keep it as a zero-width char at the pen end.
        const double ex = st.last->end_x;
        const double ey = st.last->end_y;
        file(g, box_to(ex, ey, ex, ey), ex, ey, rtl);
        st.prev_ch = g.ch;
        return true;
      }
      if (g.ch >= 0x300 && is_nonspacing_mark(g.ch)) {
        // A combining mark sits on its base wherever it was drawn.
        file(g, box_to(g.origin_x, g.origin_y, g.end_x, g.end_y), g.origin_x, g.origin_y, rtl);
        st.prev_ch = g.ch;
        return true;
      }
      place = decide(g, rtl, em, st, line, params);
      if (place == Place::drop) return true;
    }

    if (place == Place::new_line || place == Place::new_block) {
      if (!open_line(g, place)) return false;
    } else if (place == Place::append_spaced && space_fits(g.ch, st.has_prev, st.prev_ch)) {
      const double ex = st.last->end_x;
      const double ey = st.last->end_y;
      Char& space = file(g, box_to(ex, ey, g.origin_x, g.origin_y), ex, ey, rtl);
      space.idx = kSyntheticIdx;
      space.ch = kSpace;
      space.synthetic = true;
    }
    file(g, box_to(g.origin_x, g.origin_y, g.end_x, g.end_y), g.origin_x, g.origin_y, rtl);

    st.line_open = true;
    st.has_prev = true;
    st.prev_ch = g.ch;
    st.last = &g;
    st.prev_rtl = rtl;
    st.line_has_rtl = st.line_has_rtl || rtl;
    return true;
  };

  const Glyph* g = page.glyphs.data();
  const Glyph* const glyphs_end = g + page.glyphs.size();
  while (g != glyphs_end) {
    Place judged = Place::drop;  // none yet
    // The fast lane: most glyphs continue an open left-to-right line on a
    // plain horizontal baseline. For them the rules above come down to the
    // judging along the line and filing; none of the calls and cases they
    // skip can apply (a code point below U+0300, or above it and neither a
    // mark nor right-to-left by the property table, is a plain left-to-right
    // char; a char that is not the previous one again, or is but stands a
    // leg's length away, is no duplicate; CJK only matters where it opens a
    // line). Any other glyph goes to take() untouched: a line break, a mark,
    // anything.
    if (!clip && st.line_open && !st.prev_rtl && !st.line_has_rtl) {
      for (; g != glyphs_end; ++g) {
        if (g->repeat || !(g->dir_x > 0 && g->dir_y == 0)) break;
        if (g->ch >= 0x300 && !plain_ltr(g->ch)) break;
        if (g->font != font_index) {
          if (g->font >= page.fonts.size()) std::abort();
          font_index = g->font;
          a = page.fonts[g->font].ascender;
          d = page.fonts[g->font].descender;
        }
        if (!(g->size == size)) {
          size = g->size;
          s = std::fabs(size);
          em = em_of(size);
        }
        if (g->ch == st.prev_ch && !far_from(g->origin_x - st.last->origin_x,
                                             g->origin_y - st.last->origin_y, em, params)) {
          break;
        }
        const Place place = decide(*g, false, em, st, line, params);
        if (place != Place::append && place != Place::append_spaced) {
          judged = place;  // a new line or block: a duplicate was ruled out above
          break;
        }
        if (place == Place::append_spaced && space_fits(g->ch, true, st.prev_ch)) {
          const double ex = st.last->end_x;
          const double ey = st.last->end_y;
          Char& space = file(*g, Rect{ex, ey - s * a, g->origin_x, ey - s * d}, ex, ey, false);
          space.idx = kSyntheticIdx;
          space.ch = kSpace;
          space.synthetic = true;
        }
        file(*g, Rect{g->origin_x, g->origin_y - s * a, g->end_x, g->origin_y - s * d},
             g->origin_x, g->origin_y, false);
        st.prev_ch = g->ch;
        st.last = g;
      }
      if (g == glyphs_end) break;
    }
    if (!take(*g, judged)) return false;
    ++g;
  }
  if (st.line_open) sink.close_line(line_begin, end, line);
  return true;
}

}  // namespace

bool is_cjk(std::uint32_t cp) {
  return (cp >= 0x2E80 && cp < 0xA000) || (cp >= 0xAC00 && cp < 0xD7B0) ||
         (cp >= 0xF900 && cp < 0xFB00) || (cp >= 0xFE30 && cp < 0xFE50) ||
         (cp >= 0xFF00 && cp < 0xFFF0) || (cp >= 0x20000 && cp < 0x40000);
}

StagedPage glyph_pass(const PageGlyphs& page, const std::optional<Rect>& clip,
                      const LayoutParams& params) {
  StagingSink sink(page.glyphs.size());
  run_pass(page, clip, params, sink);
  return sink.finish();
}

std::optional<std::vector<Block>> glyph_pass_finished(const PageGlyphs& page,
                                                      const std::optional<Rect>& clip,
                                                      const LayoutParams& params) {
  FinishingSink sink(page.glyphs.size());
  if (!run_pass(page, clip, params, sink)) return std::nullopt;
  return sink.finish();
}

}  // namespace textloom::detail
