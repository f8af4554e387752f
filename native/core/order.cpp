// Reading order of a page's blocks. The simple order sorts lines and blocks by
// their bottom edge; the XY-cut splits a region into columns at wide empty
// vertical strips, else into rows at empty horizontal strips, and orders each
// piece the same way, down to a fixed depth. Layout numbers the blocks again
// afterwards; nothing here touches a block's lines or chars except the line
// order of the simple mode.

#include "order.hpp"

#include <cmath>
#include <limits>
#include <utility>

#include "sort.hpp"

namespace textloom {

namespace {

// Recursion depth at which the cut stops cutting.
constexpr std::uint32_t kMaxDepth = 51;

// A block is cut as horizontal text when its first line runs rightwards.
constexpr double kHorizontalDx = 0.99;

constexpr double kInf = std::numeric_limits<double>::infinity();

bool bottom_left_less(const Rect& a, const Rect& b) { return key_less(a.y1, a.x0, b.y1, b.x0); }

// Smallest x0 (axis x) or y0 (axis y) of the items, ignoring NaN; +inf when
// there is none.
double min_start(const std::vector<OrderItem>& items, int axis) {
  double lo = kInf;
  for (const OrderItem& it : items) lo = min_num(lo, axis == kAxisX ? it.box.x0 : it.box.y0);
  return lo;
}

void collect_intervals(const std::vector<OrderItem>& items, int axis, std::vector<Interval>& out) {
  out.clear();
  out.reserve(items.size());
  for (const OrderItem& it : items) {
    out.push_back(axis == kAxisX ? Interval{it.box.x0, it.box.x1} : Interval{it.box.y0, it.box.y1});
  }
}

void sort_intervals(std::vector<Interval>& intervals) {
  merge_sort(intervals, [](const Interval& a, const Interval& b) {
    return key_less(a.start, a.end, b.start, b.end);
  });
}

// Whether the items' x-intervals hold a column gap, computed from scratch.
bool has_columns_direct(const std::vector<OrderItem>& items, double min_gap,
                        std::vector<Interval>& scratch) {
  collect_intervals(items, kAxisX, scratch);
  return !gaps(scratch, min_start(items, kAxisX), min_gap).empty();
}

// The band merge asks, row after row, whether the last band, the new row and
// their union have columns. When every x-interval is a proper number range
// (no NaN, start <= end) and the gap threshold is positive, a column gap is
// exactly a hole of at least that width between two pieces of the union of
// the intervals, taken as closed ranges, where the piece left of the hole does
// not end at the smallest start. Replacing a piece's intervals by the piece
// itself keeps the union, so a band is summarised by its pieces and the union
// with a row costs the pieces plus the row, not the whole band. Anything else
// (NaN, reversed boxes, threshold <= 0), whose outcome depends on the order
// the sort leaves such intervals in, takes the direct computation.
struct ColumnState {
  bool exact = true;             // pieces are valid
  bool has_columns = false;
  std::vector<Interval> pieces;  // ascending, separated by strict holes
};

// Appends an interval to the pieces, which must be fed in ascending start order.
void add_to_pieces(std::vector<Interval>& pieces, const Interval& iv) {
  if (pieces.empty() || iv.start > pieces.back().end) {
    pieces.push_back(iv);
  } else if (iv.end > pieces.back().end) {
    pieces.back().end = iv.end;
  }
}

bool pieces_have_columns(const std::vector<Interval>& pieces, double min_gap) {
  if (pieces.empty()) return false;
  const double lo = pieces.front().start;
  for (std::size_t k = 1; k < pieces.size(); ++k) {
    if (pieces[k - 1].end > lo && pieces[k].start - pieces[k - 1].end >= min_gap) return true;
  }
  return false;
}

class BandMerger {
 public:
  explicit BandMerger(double min_gap) : min_gap_(min_gap), fast_(min_gap > 0) {}

  // Column state of one row (its items only).
  void row_state(const std::vector<OrderItem>& row, ColumnState& st) {
    st.exact = fast_;
    collect_intervals(row, kAxisX, scratch_);
    for (const Interval& iv : scratch_) {
      if (!(iv.start <= iv.end)) st.exact = false;  // NaN or reversed
    }
    st.pieces.clear();
    if (!st.exact) {
      st.has_columns = !gaps(scratch_, min_start(row, kAxisX), min_gap_).empty();
      return;
    }
    sort_intervals(scratch_);
    for (const Interval& iv : scratch_) add_to_pieces(st.pieces, iv);
    st.has_columns = pieces_have_columns(st.pieces, min_gap_);
  }

  // Whether band + row has columns; on success `band` becomes the union's state.
  // `band_items` are the band's items followed by the row's.
  bool merge_has_columns(ColumnState& band, const ColumnState& row,
                         const std::vector<OrderItem>& band_items) {
    if (!band.exact || !row.exact) {
      if (!has_columns_direct(band_items, min_gap_, scratch_)) return false;
      band.exact = false;
      band.pieces.clear();
      return true;
    }
    merged_.clear();
    std::size_t i = 0, j = 0;
    while (i < band.pieces.size() || j < row.pieces.size()) {
      const bool take_band =
          j == row.pieces.size() ||
          (i < band.pieces.size() && !(row.pieces[j].start < band.pieces[i].start));
      add_to_pieces(merged_, take_band ? band.pieces[i++] : row.pieces[j++]);
    }
    if (!pieces_have_columns(merged_, min_gap_)) return false;
    band.pieces.swap(merged_);
    return true;
  }

 private:
  double min_gap_;
  bool fast_;
  std::vector<Interval> scratch_;
  std::vector<Interval> merged_;
};

// Rows become bands: consecutive rows that each have columns, and still have
// them together, share a band.
std::vector<std::vector<OrderItem>> merge_bands(std::vector<std::vector<OrderItem>>& rows,
                                                double gap_first) {
  std::vector<std::vector<OrderItem>> bands;
  bands.reserve(rows.size());
  BandMerger merger(gap_first);
  ColumnState last, row;
  for (std::vector<OrderItem>& r : rows) {
    merger.row_state(r, row);
    if (!bands.empty() && last.has_columns && row.has_columns) {
      std::vector<OrderItem>& band = bands.back();
      const std::size_t keep = band.size();
      band.insert(band.end(), r.begin(), r.end());
      if (merger.merge_has_columns(last, row, band)) continue;
      band.resize(keep);
    }
    bands.push_back(std::move(r));
    std::swap(last, row);
  }
  return bands;
}

// Regions with no gap on either axis: by top edge rounded to whole points
// (ties to even), then left edge, so boxes of one visual row read left to right.
std::vector<OrderItem> sorted_rounded(const std::vector<OrderItem>& items) {
  struct Keyed {
    double top;
    OrderItem item;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(items.size());
  for (const OrderItem& it : items) keyed.push_back({std::nearbyint(it.box.y0), it});
  merge_sort(keyed, [](const Keyed& a, const Keyed& b) {
    return key_less(a.top, a.item.box.x0, b.top, b.item.box.x0);
  });
  std::vector<OrderItem> out;
  out.reserve(items.size());
  for (const Keyed& k : keyed) out.push_back(k.item);
  return out;
}

std::vector<OrderItem> cut_each(const std::vector<std::vector<OrderItem>>& parts,
                                std::size_t total, std::uint32_t depth, double gap_first,
                                double gap_second) {
  std::vector<OrderItem> out;
  out.reserve(total);
  for (const std::vector<OrderItem>& part : parts) {
    const std::vector<OrderItem> sub = xycut(part, depth + 1, gap_first, gap_second);
    out.insert(out.end(), sub.begin(), sub.end());
  }
  return out;
}

}  // namespace

void sort_simple(std::vector<Block>& blocks) {
  for (Block& b : blocks) {
    if (b.lines.size() >= 2) {
      merge_sort(b.lines, [](const Line& l, const Line& r) { return bottom_left_less(l.bbox, r.bbox); });
    }
  }
  if (blocks.size() >= 2) {
    merge_sort(blocks, [](const Block& l, const Block& r) { return bottom_left_less(l.bbox, r.bbox); });
  }
}

std::vector<OrderItem> sorted_yx(const std::vector<OrderItem>& items) {
  std::vector<OrderItem> out = items;
  merge_sort(out, [](const OrderItem& a, const OrderItem& b) {
    return key_less(a.box.y0, a.box.x0, b.box.y0, b.box.x0);
  });
  return out;
}

std::vector<Gap> gaps(std::vector<Interval>& intervals, double lo, double min_gap) {
  sort_intervals(intervals);
  std::vector<Gap> out;
  double cur = lo;
  for (const Interval& iv : intervals) {
    // Nothing opens before the first piece: `cur` has to have left `lo`.
    if (cur > lo && iv.start - cur >= min_gap) out.push_back({cur, iv.start});
    cur = max_num(cur, iv.end);
  }
  return out;
}

std::vector<std::vector<OrderItem>> split_by(const std::vector<OrderItem>& items,
                                             const std::vector<Gap>& gaps, int axis) {
  std::vector<std::vector<OrderItem>> slots(gaps.size() + 1);
  for (const OrderItem& it : items) {
    const double mid =
        axis == kAxisX ? (it.box.x0 + it.box.x1) * 0.5 : (it.box.y0 + it.box.y1) * 0.5;
    std::size_t slot = 0;
    for (const Gap& g : gaps) {
      if (g.from < mid) ++slot;
    }
    slots[slot].push_back(it);
  }
  std::vector<std::vector<OrderItem>> out;
  out.reserve(slots.size());
  for (std::vector<OrderItem>& s : slots) {
    if (!s.empty()) out.push_back(std::move(s));
  }
  return out;
}

std::vector<OrderItem> xycut(const std::vector<OrderItem>& items, std::uint32_t depth,
                             double gap_first, double gap_second) {
  if (items.size() < 2 || depth >= kMaxDepth) return sorted_yx(items);

  std::vector<Interval> intervals;
  collect_intervals(items, kAxisX, intervals);
  const std::vector<Gap> cols = gaps(intervals, min_start(items, kAxisX), gap_first);
  if (!cols.empty()) {
    return cut_each(split_by(items, cols, kAxisX), items.size(), depth, gap_first, gap_second);
  }

  collect_intervals(items, kAxisY, intervals);
  const std::vector<Gap> row_gaps = gaps(intervals, min_start(items, kAxisY), gap_second);
  if (row_gaps.empty()) return sorted_rounded(items);

  std::vector<std::vector<OrderItem>> rows = split_by(items, row_gaps, kAxisY);
  const std::vector<std::vector<OrderItem>> bands = merge_bands(rows, gap_first);
  // A single band would hand the same items to the next level unchanged.
  if (bands.size() == 1) return sorted_yx(items);
  return cut_each(bands, items.size(), depth, gap_first, gap_second);
}

void sort_xycut(std::vector<Block>& blocks, const LayoutParams& params) {
  std::vector<OrderItem> horizontal;
  std::vector<std::size_t> others;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const Block& b = blocks[i];
    if (!b.lines.empty() && b.lines.front().dir_x > kHorizontalDx) {
      horizontal.push_back({i, b.bbox});
    } else {
      others.push_back(i);
    }
  }
  merge_sort(others, [&blocks](std::size_t a, std::size_t b) {
    const Rect& ra = blocks[a].bbox;
    const Rect& rb = blocks[b].bbox;
    return key_less(ra.x0, ra.y0, rb.x0, rb.y0);
  });
  if (!horizontal.empty()) {
    horizontal = xycut(horizontal, 0, params.xycut_gap_first, params.xycut_gap_second);
  }
  std::vector<Block> ordered;
  ordered.reserve(blocks.size());
  for (const OrderItem& it : horizontal) ordered.push_back(std::move(blocks[it.index]));
  for (std::size_t i : others) ordered.push_back(std::move(blocks[i]));
  blocks = std::move(ordered);
}

}  // namespace textloom
