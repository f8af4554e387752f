// What the table-finding files share: joined rule segments, the grid a table
// is cut by, and the word boxes of the text strategy, all in the viewer's
// frame (points, y down).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "layout.hpp"
#include "num.hpp"
#include "output.hpp"
#include "sort.hpp"
#include "tables.hpp"

namespace textloom {

// A joined horizontal (y fixed, x0..x1) or vertical (x fixed, y0..y1) rule.
struct Segment {
  double at;    // y of a horizontal rule, x of a vertical one
  double from;  // start along the rule
  double to;    // end along the rule
};

// The page's rules after snapping and joining.
struct RuleSet {
  std::vector<Segment> horizontal;  // sorted by at, then from
  std::vector<Segment> vertical;
};

// A table's geometry before its text: boundaries and cells.
struct Grid {
  std::vector<double> xs;  // column boundaries, ascending, cols + 1 of them
  std::vector<double> ys;  // row boundaries, ascending, rows + 1 of them
  std::vector<TableCell> cells;  // text empty, bbox in the viewer's frame
  std::uint32_t header = 0;      // rows known to be the header (0: found from the text)
  bool ruled = false;            // from rules: a grid of them, or a header and bottom rule
  std::vector<bool> bold;        // per cell: every char of its text is bold (fill_cells)
  std::vector<std::uint32_t> chars;  // PDFium indices of the chars its cells hold (fill_cells)
};

// A word in the viewer's frame: only its box counts for alignment.
struct WordBox {
  Rect box;
};

// The rotation that turns the page into the frame its text reads in: the
// one that shows the way most glyphs run as rightwards (a table set sideways
// on an upright page), else the page's own (tables_page.cpp).
std::uint32_t frame_rotation(const PageGlyphs& page);

// The page's median type size (of glyphs with a finite size above 0), or a
// common body size on a page without text (tables_page.cpp).
double median_size(const PageGlyphs& page);

// The page's rules (mapped into the viewer's frame already) snapped across
// within `snap` points and joined along within `join` points; what stays
// shorter than `min_length` dropped. A dot (a rule no longer than it is
// thick) can be part of a run either way.
RuleSet join_rules(const std::vector<PageRule>& rules, double snap, double join,
                   double min_length);

// Ruled tables: the connected groups of crossing rules with at least two
// rows and two columns, cut into cells, a missing inner rule making a span.
std::vector<Grid> ruled_grids(const RuleSet& rules, double tolerance);

// Horizontal rules not inside `taken` that stack into the top, header and
// bottom lines of a table without verticals: the regions between the top
// and bottom rule of each stack, and the y of its second rule (the header's).
struct RuledBand {
  Rect region;
  double header_rule;  // y of the rule under the header, or the region's bottom
};
std::vector<RuledBand> rule_bands(const RuleSet& rules, const std::vector<Rect>& taken,
                                  double tolerance);

// A char of the laid-out page in the viewer's frame, for filing into cells.
struct PlacedChar {
  Rect box;            // viewer's frame
  double cx;           // centre
  double cy;
  double wx;           // centre of the first char of its word: a word is filed whole
  double wy;
  std::uint32_t idx;   // PDFium text-page index; kSyntheticIdx for an inserted space
  std::size_t line;    // serial number of its layout line, from 1
  std::uint32_t ch;    // Unicode scalar
  std::uint32_t font;  // index into PageGlyphs::fonts
};

// The chars of `blocks` in their order, mapped by `xf`, each with the place
// of its word's first char; chars at no place (a NaN or infinite centre)
// left out (tables_cells.cpp).
std::vector<PlacedChar> place_chars(const std::vector<Block>& blocks, const Xf& xf);

// The boxes of the words of `blocks` (split at the fixed word separators, as
// the package's words are) mapped by `xf`; words at no place (NaN,
// infinite) left out, as they line up with nothing (tables_text.cpp).
std::vector<WordBox> word_boxes(const std::vector<Block>& blocks, const Xf& xf);

// Tables without rules among `words` inside `region`: rows from lines,
// columns from the white gaps common to consecutive rows, at least
// `min_rows` rows and two columns; prose is never one. With `whole`, the
// region is one table if its words make any columns at all.
std::vector<Grid> text_grids(const std::vector<WordBox>& words, const Rect& region, double em,
                             double column_gap, std::uint32_t min_rows, bool whole);

// The index of the interval of ascending `bounds` that holds `v` (the last
// one for its upper end), or npos when `v` lies outside them or is NaN.
inline std::size_t interval_of(const std::vector<double>& bounds, double v) {
  if (!(v >= bounds.front() && v <= bounds.back())) return static_cast<std::size_t>(-1);
  std::size_t lo = 0, hi = bounds.size() - 1;
  while (hi - lo > 1) {
    const std::size_t mid = (lo + hi) / 2;
    if (v < bounds[mid]) hi = mid; else lo = mid;
  }
  return lo;
}

// The grids whose extent holds a point, found without visiting every grid:
// grids sorted by top, each with the lowest bottom among it and those
// before it (interval stabbing); grids seldom overlap, so few are visited.
class GridIndex {
 public:
  explicit GridIndex(const std::vector<Grid>& grids) : grids_(grids) {
    for (std::size_t g = 0; g < grids.size(); ++g) order_.push_back(g);
    merge_sort(order_, [&](std::size_t a, std::size_t b) { return top(a) < top(b); });
    double reach = -INFINITY;
    for (std::size_t g : order_) reach = max_num(reach, grids[g].ys.back()), reach_.push_back(reach);
  }

  // Calls visit(g) for each grid g whose extent holds (x, y), lowest top
  // last, until visit returns true.
  template <class Visit>
  void at(double x, double y, Visit visit) const {
    std::size_t lo = 0, hi = order_.size();  // first grid whose top is below y
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (top(order_[mid]) <= y) lo = mid + 1; else hi = mid;
    }
    for (std::size_t k = lo; k-- > 0 && reach_[k] >= y;) {
      const Grid& grid = grids_[order_[k]];
      if (y <= grid.ys.back() && x >= grid.xs.front() && x <= grid.xs.back() && visit(order_[k])) {
        return;
      }
    }
  }

 private:
  double top(std::size_t g) const { return grids_[g].ys.front(); }
  const std::vector<Grid>& grids_;
  std::vector<std::size_t> order_;
  std::vector<double> reach_;  // the largest bottom of order_[0..k]
};

// True when `a` and `b` overlap by more than a sliver.
inline bool rects_overlap(const Rect& a, const Rect& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

}  // namespace textloom
