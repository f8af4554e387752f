// Reading order of a page's blocks. The simple order sorts lines and blocks by
// their bottom edge; the XY-cut splits a region into columns at wide empty
// vertical strips, else into rows at empty horizontal strips, and orders each
// piece the same way, down to a fixed depth. Layout numbers the blocks again
// afterwards; nothing here touches a block's lines or chars except the line
// order of the simple mode.

#include "order.hpp"

#include <algorithm>
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

void collect_intervals(const OrderItem* items, std::size_t n, int axis, Interval* out) {
  for (std::size_t i = 0; i < n; ++i) {
    const Rect& b = items[i].box;
    out[i] = axis == kAxisX ? Interval{b.x0, b.x1} : Interval{b.y0, b.y1};
  }
}

// Comparators as lambdas, so each sort is instantiated for, and inlines, its own.
constexpr auto interval_less = [](const Interval& a, const Interval& b) {
  return key_less(a.start, a.end, b.start, b.end);
};

constexpr auto top_left_less = [](const OrderItem& a, const OrderItem& b) {
  return key_less(a.box.y0, a.box.x0, b.box.y0, b.box.x0);
};

// Lends a sort at least n / 2 + 1 elements of scratch.
template <class T>
T* scratch_for(std::vector<T>& scratch, std::size_t n) {
  if (scratch.size() < n / 2 + 1) scratch.resize(n / 2 + 1);
  return scratch.data();
}

// Stable sort by (start, end). Without NaN the keys are totally ordered and
// the quicker sort gives the same order; with NaN only merge_sort's does.
void sort_intervals(Interval* intervals, std::size_t n, std::vector<Interval>& scratch) {
  if (n < 2) return;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(intervals[i].start) || std::isnan(intervals[i].end)) {
      merge_sort(intervals, n, scratch_for(scratch, n), interval_less);
      return;
    }
  }
  sort_ordered(intervals, n, scratch_for(scratch, n), interval_less);
}

// gaps() of the items' intervals on `axis` (written to `intervals`), with
// `lo` their smallest start, into `out`; in one pass it also learns what
// spares work. When every interval is a proper number range (start <= end)
// and min_gap > 0, one interval reaching from `lo` past every end means no
// gap whatever the order: the running end of gaps() never trails a start
// again, so the sort is skipped. Keys without NaN take the quicker sort.
void axis_gaps(const OrderItem* items, std::size_t n, int axis, double min_gap,
               Interval* intervals, std::vector<Interval>& scratch, std::vector<Gap>& out) {
  double lo = kInf;
  double hi = -kInf;
  bool proper = true;
  bool nan = false;
  for (std::size_t i = 0; i < n; ++i) {
    const Rect& b = items[i].box;
    const Interval iv = axis == kAxisX ? Interval{b.x0, b.x1} : Interval{b.y0, b.y1};
    intervals[i] = iv;
    lo = min_num(lo, iv.start);
    hi = iv.end > hi ? iv.end : hi;
    proper = proper & (iv.start <= iv.end);
    nan = nan | std::isnan(iv.start) | std::isnan(iv.end);
  }
  out.clear();
  if (proper && min_gap > 0) {
    for (std::size_t i = 0; i < n; ++i) {
      if (intervals[i].start == lo && intervals[i].end == hi) return;
    }
  }
  if (n >= 2) {
    if (nan) {
      merge_sort(intervals, n, scratch_for(scratch, n), interval_less);
    } else {
      sort_ordered(intervals, n, scratch_for(scratch, n), interval_less);
    }
  }
  double cur = lo;
  for (std::size_t i = 0; i < n; ++i) {
    const Interval& iv = intervals[i];
    if (cur > lo && iv.start - cur >= min_gap) out.push_back({cur, iv.start});
    cur = max_num(cur, iv.end);
  }
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

  // Sizes every array for regions of up to n items, once per cut.
  void reserve(std::size_t n) {
    intervals_.reserve(n);
    scratch_.reserve(n / 2 + 1);
    merged_.reserve(n);
    gaps_.reserve(n);
  }

  // Column state of one row (its items only).
  void row_state(const OrderItem* row, std::size_t n, ColumnState& st) {
    st.pieces.clear();
    if (n == 1) {
      // One interval has no gap; it is its own piece if it is a proper range.
      const Interval iv{row[0].box.x0, row[0].box.x1};
      st.exact = fast_ && iv.start <= iv.end;
      if (st.exact) st.pieces.push_back(iv);
      st.has_columns = false;
      return;
    }
    st.exact = fast_;
    intervals_.resize(n);
    collect_intervals(row, n, kAxisX, intervals_.data());
    for (const Interval& iv : intervals_) {
      if (!(iv.start <= iv.end)) st.exact = false;  // NaN or reversed
    }
    if (!st.exact) {
      axis_gaps(row, n, kAxisX, min_gap_, intervals_.data(), scratch_, gaps_);
      st.has_columns = !gaps_.empty();
      return;
    }
    sort_intervals(intervals_.data(), n, scratch_);
    for (const Interval& iv : intervals_) add_to_pieces(st.pieces, iv);
    st.has_columns = pieces_have_columns(st.pieces, min_gap_);
  }

  // Whether band + row has columns; on success `band` becomes the union's state.
  // `band_items` are the band's items followed by the row's.
  bool merge_has_columns(ColumnState& band, const ColumnState& row, const OrderItem* band_items,
                         std::size_t n) {
    if (!band.exact || !row.exact) {
      intervals_.resize(n);
      axis_gaps(band_items, n, kAxisX, min_gap_, intervals_.data(), scratch_, gaps_);
      if (gaps_.empty()) return false;
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
  std::vector<Interval> intervals_;
  std::vector<Interval> scratch_;
  std::vector<Interval> merged_;
  std::vector<Gap> gaps_;
};

// The XY-cut, done in place on one array of items: a level partitions its
// range into the ranges of its columns or bands and cuts each of them in turn,
// so the pieces come out concatenated where the range was. Every temporary is
// scratch shared by all levels (a level is done with it before it recurses),
// so a whole cut allocates a handful of arrays, not several per level.
class Cutter {
 public:
  Cutter(double gap_first, double gap_second)
      : gap_first_(gap_first), gap_second_(gap_second), merger_(gap_first) {}

  // Reorders `items` as xycut(items, depth, ...) returns them.
  void run(std::vector<OrderItem>& items, std::uint32_t depth) {
    const std::size_t n = items.size();
    items_ = items.data();
    part_.resize(n);
    slots_.resize(n);
    intervals_.resize(n);
    interval_scratch_.resize(n / 2 + 1);
    item_scratch_.resize(n / 2 + 1);
    gaps_.reserve(n);
    counts_.reserve(n + 1);
    ends_.reserve(2 * n);
    merger_.reserve(n);
    last_.pieces.reserve(n);
    row_.pieces.reserve(n);
    cut(0, n, depth);
  }

 private:
  void cut(std::size_t begin, std::size_t end, std::uint32_t depth) {
    const std::size_t n = end - begin;
    if (n < 2 || depth >= kMaxDepth) {
      sort_top_left(begin, end);
      return;
    }
    const OrderItem* items = items_ + begin;

    axis_gaps(items, n, kAxisX, gap_first_, intervals_.data(), interval_scratch_, gaps_);
    const std::size_t base = ends_.size();
    if (!gaps_.empty()) {
      partition(begin, end, kAxisX);
      cut_parts(begin, end, base, depth);
      return;
    }

    axis_gaps(items, n, kAxisY, gap_second_, intervals_.data(), interval_scratch_, gaps_);
    if (gaps_.empty()) {
      sort_rounded(begin, end);
      return;
    }
    partition(begin, end, kAxisY);
    merge_bands(begin, base);
    // A single band would hand the same items to the next level unchanged.
    // The range itself still holds them in their incoming order.
    if (ends_.size() - base == 1) {
      ends_.resize(base);
      sort_top_left(begin, end);
      return;
    }
    cut_parts(begin, end, base, depth);
  }

  // Groups the range by which gaps its box midpoints on `axis` lie past, as
  // split_by does, into part_ at the same positions; pushes each non-empty
  // group's end onto ends_.
  void partition(std::size_t begin, std::size_t end, int axis) {
    counts_.assign(gaps_.size() + 1, 0);
    for (std::size_t i = begin; i < end; ++i) {
      const Rect& b = items_[i].box;
      const double mid = axis == kAxisX ? (b.x0 + b.x1) * 0.5 : (b.y0 + b.y1) * 0.5;
      // The gaps that start below the midpoint: `from` never decreases, so
      // they are a prefix (none for a NaN midpoint).
      const std::size_t slot = static_cast<std::size_t>(
          std::partition_point(gaps_.begin(), gaps_.end(),
                               [mid](const Gap& g) { return g.from < mid; }) -
          gaps_.begin());
      slots_[i] = slot;
      ++counts_[slot];
    }
    std::size_t at = begin;
    for (std::size_t& count : counts_) {
      const std::size_t size = count;
      count = at;
      at += size;
      if (size != 0) ends_.push_back(at);
    }
    for (std::size_t i = begin; i < end; ++i) part_[counts_[slots_[i]]++] = items_[i];
  }

  // Rows (the groups on ends_ from `base`) become bands: consecutive rows
  // that each have columns, and still have them together, share a band.
  // Band ends replace the row ends on ends_.
  void merge_bands(std::size_t begin, std::size_t base) {
    const std::size_t rows_end = ends_.size();
    std::size_t out = base;
    std::size_t row_begin = begin;
    std::size_t band_begin = begin;
    for (std::size_t k = base; k < rows_end; ++k) {
      const std::size_t row_end = ends_[k];
      merger_.row_state(part_.data() + row_begin, row_end - row_begin, row_);
      if (out != base && last_.has_columns && row_.has_columns &&
          merger_.merge_has_columns(last_, row_, part_.data() + band_begin,
                                    row_end - band_begin)) {
        ends_[out - 1] = row_end;
      } else {
        band_begin = row_begin;
        ends_[out++] = row_end;
        std::swap(last_, row_);
      }
      row_begin = row_end;
    }
    ends_.resize(out);
  }

  // Takes the partition back into the range and cuts each part one level down.
  void cut_parts(std::size_t begin, std::size_t end, std::size_t base, std::uint32_t depth) {
    for (std::size_t i = begin; i < end; ++i) items_[i] = part_[i];
    const std::size_t top = ends_.size();
    std::size_t from = begin;
    for (std::size_t k = base; k < top; ++k) {
      const std::size_t to = ends_[k];  // read before the levels below push theirs
      cut(from, to, depth + 1);
      from = to;
    }
    ends_.resize(base);
  }

  void sort_top_left(std::size_t begin, std::size_t end) {
    OrderItem* items = items_ + begin;
    const std::size_t n = end - begin;
    if (n < 2) return;
    OrderItem* scratch = scratch_for(item_scratch_, n);
    for (std::size_t i = 0; i < n; ++i) {
      if (std::isnan(items[i].box.y0) || std::isnan(items[i].box.x0)) {
        merge_sort(items, n, scratch, top_left_less);
        return;
      }
    }
    sort_ordered(items, n, scratch, top_left_less);
  }

  // Regions with no gap on either axis: by top edge rounded to whole points
  // (ties to even), then left edge, so boxes of one visual row read left to right.
  void sort_rounded(std::size_t begin, std::size_t end) {
    const std::size_t n = end - begin;
    keyed_.resize(n);
    bool ordered = true;
    for (std::size_t i = 0; i < n; ++i) {
      const OrderItem& it = items_[begin + i];
      keyed_[i] = {std::nearbyint(it.box.y0), it};
      ordered = ordered && !std::isnan(keyed_[i].top) && !std::isnan(it.box.x0);
    }
    auto less = [](const Keyed& a, const Keyed& b) {
      return key_less(a.top, a.item.box.x0, b.top, b.item.box.x0);
    };
    if (n >= 2) {
      Keyed* scratch = scratch_for(keyed_scratch_, n);
      if (ordered) {
        sort_ordered(keyed_.data(), n, scratch, less);
      } else {
        merge_sort(keyed_.data(), n, scratch, less);
      }
    }
    for (std::size_t i = 0; i < n; ++i) items_[begin + i] = keyed_[i].item;
  }

  struct Keyed {
    double top;
    OrderItem item;
  };

  double gap_first_;
  double gap_second_;
  OrderItem* items_ = nullptr;
  std::vector<OrderItem> part_;          // partitions, parallel to items_
  std::vector<std::size_t> slots_;       // each item's group, parallel to items_
  std::vector<std::size_t> counts_;      // per group: size, then next write position
  std::vector<std::size_t> ends_;        // group ends, a stack of the open levels' lists
  std::vector<Interval> intervals_;
  std::vector<Interval> interval_scratch_;
  std::vector<Gap> gaps_;
  std::vector<OrderItem> item_scratch_;
  std::vector<Keyed> keyed_;
  std::vector<Keyed> keyed_scratch_;
  BandMerger merger_;
  ColumnState last_;
  ColumnState row_;
};

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
  std::vector<Interval> scratch;
  sort_intervals(intervals.data(), intervals.size(), scratch);
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
  std::vector<OrderItem> out = items;
  Cutter(gap_first, gap_second).run(out, depth);
  return out;
}

void sort_xycut(std::vector<Block>& blocks, const LayoutParams& params) {
  std::vector<OrderItem> horizontal;
  horizontal.reserve(blocks.size());
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
    Cutter(params.xycut_gap_first, params.xycut_gap_second).run(horizontal, 0);
  }
  std::vector<Block> ordered;
  ordered.reserve(blocks.size());
  for (const OrderItem& it : horizontal) ordered.push_back(std::move(blocks[it.index]));
  for (std::size_t i : others) ordered.push_back(std::move(blocks[i]));
  blocks = std::move(ordered);
}

}  // namespace textloom
