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
#include <memory>
#include <utility>

#include "sort.hpp"
#include "uninitialised.hpp"

namespace textloom {

namespace {

// Recursion depth at which the cut stops cutting.
constexpr std::uint32_t kMaxDepth = 51;

// A block is cut as horizontal text when its first line runs rightwards.
constexpr double kHorizontalDx = 0.99;

constexpr double kInf = std::numeric_limits<double>::infinity();

bool bottom_left_less(const Rect& a, const Rect& b) { return key_less(a.y1, a.x0, b.y1, b.x0); }

Interval interval_of(const Rect& b, int axis) {
  return axis == kAxisX ? Interval{b.x0, b.x1} : Interval{b.y0, b.y1};
}

// Comparators as lambdas, so each sort is instantiated for, and inlines, its own.
constexpr auto interval_less = [](const Interval& a, const Interval& b) {
  return key_less(a.start, a.end, b.start, b.end);
};

constexpr auto top_left_less = [](const OrderItem& a, const OrderItem& b) {
  return key_less(a.box.y0, a.box.x0, b.box.y0, b.box.x0);
};

// split_by on one axis: the axis is fixed per instance, so the loop over the
// items does not test it for each one.
template <int Axis>
void split_on(std::span<const OrderItem> items, std::span<const Gap> gaps, OrderItem* out,
              std::size_t* scratch, std::vector<std::size_t>& ends) {
  const std::size_t n_gaps = gaps.size();
  const std::size_t n_groups = n_gaps + 1;
  std::size_t* slots = scratch;                  // each item's group
  std::size_t* counts = scratch + items.size();  // per group: size, then write position
  std::fill(counts, counts + n_groups, std::size_t{0});
  std::size_t slot = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Rect& b = items[i].box;
    const double mid = Axis == kAxisX ? (b.x0 + b.x1) * 0.5 : (b.y0 + b.y1) * 0.5;
    // The slot is the number of gaps that start below the midpoint: `from`
    // never decreases, so they are a prefix (none for a NaN midpoint). Items
    // mostly come in order along the axis, so the previous item's slot or
    // the next one is tried before a search.
    const auto below = [mid](const Gap& g) { return g.from < mid; };
    const std::size_t known = slot > 0 && below(gaps[slot - 1]) ? slot : 0;
    if (known == n_gaps || !below(gaps[known])) {
      slot = known;
    } else if (known + 1 == n_gaps || !below(gaps[known + 1])) {
      slot = known + 1;
    } else {
      slot = static_cast<std::size_t>(
          std::partition_point(gaps.begin() + static_cast<std::ptrdiff_t>(known + 2), gaps.end(),
                               below) -
          gaps.begin());
    }
    slots[i] = slot;
    ++counts[slot];
  }
  std::size_t at = 0;
  for (std::size_t k = 0; k < n_groups; ++k) {
    const std::size_t size = counts[k];
    counts[k] = at;
    at += size;
    if (size != 0) ends.push_back(at);
  }
  for (std::size_t i = 0; i < items.size(); ++i) out[counts[slots[i]]++] = items[i];
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

void sorted_yx(std::span<OrderItem> items, OrderItem* scratch) {
  bool nan = false;
  for (const OrderItem& it : items) {
    if (std::isnan(it.box.y0) || std::isnan(it.box.x0)) {
      nan = true;
      break;
    }
  }
  sort_maybe_nan(items.data(), items.size(), scratch, nan, top_left_less);
}

void gaps(std::span<Interval> intervals, double lo, double min_gap, Interval* scratch,
          std::vector<Gap>& out) {
  out.clear();
  // When every interval is a proper number range (start <= end) and
  // min_gap > 0, an interval I that reaches the largest end `hi` and starts
  // less than min_gap past `lo` means no gap, whatever the order: past I the
  // running end is beyond every start, and up to I every start minus the
  // running end (which never falls below `lo`) rounds to at most I's start
  // minus `lo`. The earliest start among the intervals ending at `hi` tells,
  // and the sort is skipped then.
  //
  // Plain comparisons stand in for max_num here and below: a NaN end loses
  // and leaves the running value, and of two equal zeros they keep the first
  // where max_num takes +0.0, a difference that only a gap's `from` shows and
  // that every comparison ignores.
  double hi = -kInf;
  double hi_start = kInf;
  bool proper = true;
  bool nan = false;
  for (const Interval& iv : intervals) {
    if (iv.end >= hi) {
      hi_start = iv.end > hi || iv.start < hi_start ? iv.start : hi_start;
      hi = iv.end;
    }
    proper = proper & (iv.start <= iv.end);
    nan = nan | std::isnan(iv.start) | std::isnan(iv.end);
  }
  if (proper && min_gap > 0 && hi_start - lo < min_gap) return;
  sort_maybe_nan(intervals.data(), intervals.size(), scratch, nan, interval_less);
  double cur = lo;
  for (const Interval& iv : intervals) {
    // Nothing opens before the first piece: `cur` has to have left `lo`.
    if (cur > lo && iv.start - cur >= min_gap) out.push_back({cur, iv.start});
    cur = iv.end > cur ? iv.end : cur;
  }
}

void split_by(std::span<const OrderItem> items, std::span<const Gap> gaps, int axis,
              OrderItem* out, std::size_t* scratch, std::vector<std::size_t>& ends) {
  if (axis == kAxisX) {
    split_on<kAxisX>(items, gaps, out, scratch, ends);
  } else {
    split_on<kAxisY>(items, gaps, out, scratch, ends);
  }
}

namespace {

// A list of intervals in storage lent by the cut, with room for every item.
struct Pieces {
  Interval* data = nullptr;
  std::size_t size = 0;

  bool empty() const { return size == 0; }
  Interval& back() { return data[size - 1]; }
  void clear() { size = 0; }

  // Appends an interval; they must come in ascending start order.
  void add(const Interval& iv) {
    if (size == 0 || iv.start > back().end) {
      data[size++] = iv;
    } else if (iv.end > back().end) {
      back().end = iv.end;
    }
  }

  bool have_columns(double min_gap) const {
    if (size == 0) return false;
    const double lo = data[0].start;
    for (std::size_t k = 1; k < size; ++k) {
      if (data[k - 1].end > lo && data[k].start - data[k - 1].end >= min_gap) return true;
    }
    return false;
  }
};

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
  bool exact = true;       // pieces are valid
  bool has_columns = false;
  Pieces pieces;           // ascending, separated by strict holes
};

// The XY-cut, done in place on one array of items: a level partitions its
// range into the ranges of its columns or bands and cuts each of them in turn,
// so the pieces come out concatenated where the range was. Every temporary is
// scratch shared by all levels (a level is done with it before it recurses),
// laid out in a few arrays sized once for the whole cut.
class Cutter {
 public:
  Cutter(double gap_first, double gap_second)
      : gap_first_(gap_first), gap_second_(gap_second), fast_bands_(gap_first > 0) {}

  // Reorders `items` as xycut(items, depth, ...) returns them.
  void run(std::vector<OrderItem>& items, std::uint32_t depth) {
    const std::size_t n = items.size();
    const std::size_t half = n / 2 + 1;
    items_ = items.data();
    // part_ | sort scratch
    item_store_ = uninitialised<OrderItem>(n + half);
    part_ = item_store_.get();
    item_scratch_ = part_ + n;
    // intervals | sort scratch | merged pieces | last band's pieces | row's pieces
    interval_store_ = uninitialised<Interval>(n + half + 3 * n);
    intervals_ = interval_store_.get();
    interval_scratch_ = intervals_ + n;
    merged_.data = interval_scratch_ + half;
    last_->pieces.data = merged_.data + n;
    row_->pieces.data = last_->pieces.data + n;
    // split_by's scratch: each item's group, then per group a size and a
    // write position (a region has fewer gaps than items)
    split_scratch_ = uninitialised<std::size_t>(2 * n + 1);
    gaps_.reserve(n);
    ends_.reserve(2 * n);
    cut(0, n, depth);
  }

 private:
  // Cuts items_[begin, end). Group ends on ends_ count from `begin`.
  void cut(std::size_t begin, std::size_t end, std::uint32_t depth) {
    const std::span<OrderItem> items(items_ + begin, end - begin);
    if (items.size() < 2 || depth >= kMaxDepth) {
      sorted_yx(items, item_scratch_);
      return;
    }
    const std::size_t base = ends_.size();
    axis_gaps(items, kAxisX, gap_first_);
    if (!gaps_.empty()) {
      split_by(items, gaps_, kAxisX, part_ + begin, split_scratch_.get(), ends_);
      cut_parts(begin, end, base, depth);
      return;
    }

    axis_gaps(items, kAxisY, gap_second_);
    if (gaps_.empty()) {
      sort_rounded(items);
      return;
    }
    split_by(items, gaps_, kAxisY, part_ + begin, split_scratch_.get(), ends_);
    merge_bands(part_ + begin, base);
    // A single band would hand the same items to the next level unchanged.
    // The range itself still holds them in their incoming order.
    if (ends_.size() - base == 1) {
      ends_.resize(base);
      sorted_yx(items, item_scratch_);
      return;
    }
    cut_parts(begin, end, base, depth);
  }

  // gaps() of the items' intervals on `axis` into gaps_, with `lo` their
  // smallest start (NaN aside; infinity when all are NaN). A plain comparison
  // finds min_num's number; which zero it keeps cannot matter, as gaps() only
  // compares `lo` and subtracts it.
  void axis_gaps(std::span<const OrderItem> items, int axis, double min_gap) {
    double lo = kInf;
    for (std::size_t i = 0; i < items.size(); ++i) {
      intervals_[i] = interval_of(items[i].box, axis);
      lo = intervals_[i].start < lo ? intervals_[i].start : lo;
    }
    gaps({intervals_, items.size()}, lo, min_gap, interval_scratch_, gaps_);
  }

  // Rows (the groups of `rows` ending at ends_ from `base`) become bands:
  // consecutive rows that each have columns, and still have them together,
  // share a band. Band ends replace the row ends on ends_.
  void merge_bands(const OrderItem* rows, std::size_t base) {
    const std::size_t rows_end = ends_.size();
    std::size_t out = base;
    std::size_t row_begin = 0;
    std::size_t band_begin = 0;
    for (std::size_t k = base; k < rows_end; ++k) {
      const std::size_t row_end = ends_[k];
      row_state(rows + row_begin, row_end - row_begin, *row_);
      if (out != base && last_->has_columns && row_->has_columns &&
          merge_has_columns(*last_, *row_, rows + band_begin, row_end - band_begin)) {
        ends_[out - 1] = row_end;
      } else {
        band_begin = row_begin;
        ends_[out++] = row_end;
        std::swap(last_, row_);  // the states stay put; only which is which changes
      }
      row_begin = row_end;
    }
    ends_.resize(out);
  }

  // Column state of one row (its items only). The row's items are in part_,
  // so the interval arrays are free to use.
  void row_state(const OrderItem* row, std::size_t n, ColumnState& st) {
    st.pieces.clear();
    if (n == 1) {
      // One interval has no gap; it is its own piece if it is a proper range.
      const Interval iv = interval_of(row[0].box, kAxisX);
      st.exact = fast_bands_ && iv.start <= iv.end;
      if (st.exact) st.pieces.add(iv);
      st.has_columns = false;
      return;
    }
    st.exact = fast_bands_;
    for (std::size_t i = 0; i < n; ++i) {
      intervals_[i] = interval_of(row[i].box, kAxisX);
      if (!(intervals_[i].start <= intervals_[i].end)) st.exact = false;  // NaN or reversed
    }
    if (!st.exact) {
      axis_gaps({row, n}, kAxisX, gap_first_);
      st.has_columns = !gaps_.empty();
      return;
    }
    sort_ordered(intervals_, n, interval_scratch_, interval_less);  // proper ranges hold no NaN
    for (std::size_t i = 0; i < n; ++i) st.pieces.add(intervals_[i]);
    st.has_columns = st.pieces.have_columns(gap_first_);
  }

  // Whether band + row has columns; on success `band` becomes the union's state.
  // `band_items` are the band's items followed by the row's.
  bool merge_has_columns(ColumnState& band, const ColumnState& row, const OrderItem* band_items,
                         std::size_t n) {
    if (!band.exact || !row.exact) {
      axis_gaps({band_items, n}, kAxisX, gap_first_);
      if (gaps_.empty()) return false;
      band.exact = false;
      band.pieces.clear();
      return true;
    }
    merged_.clear();
    std::size_t i = 0, j = 0;
    const Pieces& a = band.pieces;
    const Pieces& b = row.pieces;
    while (i < a.size || j < b.size) {
      const bool take_band = j == b.size || (i < a.size && !(b.data[j].start < a.data[i].start));
      merged_.add(take_band ? a.data[i++] : b.data[j++]);
    }
    if (!merged_.have_columns(gap_first_)) return false;
    // Field by field: a record-wide copy would read back the size just
    // written in pieces of another width, which stalls the pipeline.
    std::swap(band.pieces.data, merged_.data);
    std::swap(band.pieces.size, merged_.size);
    return true;
  }

  // Takes the groups in part_ back into the range and cuts each one level down.
  void cut_parts(std::size_t begin, std::size_t end, std::size_t base, std::uint32_t depth) {
    std::copy(part_ + begin, part_ + end, items_ + begin);
    const std::size_t top = ends_.size();
    std::size_t from = begin;
    for (std::size_t k = base; k < top; ++k) {
      const std::size_t to = begin + ends_[k];  // read before the levels below push theirs
      if (to - from >= 2) cut(from, to, depth + 1);  // one item stays as it is
      from = to;
    }
    ends_.resize(base);
  }

  // Regions with no gap on either axis: by top edge rounded to whole points
  // (ties to even), then left edge, so boxes of one visual row read left to right.
  void sort_rounded(std::span<OrderItem> items) {
    const std::size_t n = items.size();
    keyed_.resize(n + n / 2 + 1);
    Keyed* keyed = keyed_.data();
    bool nan = false;
    for (std::size_t i = 0; i < n; ++i) {
      keyed[i] = {std::nearbyint(items[i].box.y0), items[i]};
      nan = nan || std::isnan(keyed[i].top) || std::isnan(items[i].box.x0);
    }
    sort_maybe_nan(keyed, n, keyed + n, nan, [](const Keyed& a, const Keyed& b) {
      return key_less(a.top, a.item.box.x0, b.top, b.item.box.x0);
    });
    for (std::size_t i = 0; i < n; ++i) items[i] = keyed[i].item;
  }

  struct Keyed {
    double top;
    OrderItem item;
  };

  double gap_first_;
  double gap_second_;
  bool fast_bands_;                 // pieces can summarise bands (gap_first > 0)
  OrderItem* items_ = nullptr;      // what is being ordered
  std::unique_ptr<OrderItem[]> item_store_;
  OrderItem* part_ = nullptr;       // split_by's groups, parallel to items_
  OrderItem* item_scratch_ = nullptr;
  std::unique_ptr<Interval[]> interval_store_;
  Interval* intervals_ = nullptr;
  Interval* interval_scratch_ = nullptr;
  std::unique_ptr<std::size_t[]> split_scratch_;
  std::vector<std::size_t> ends_;   // group ends, a stack of the open levels' lists
  std::vector<Gap> gaps_;
  std::vector<Keyed> keyed_;        // keys | sort scratch
  Pieces merged_;
  ColumnState states_[2];
  ColumnState* last_ = &states_[0];  // the last band's
  ColumnState* row_ = &states_[1];   // the row's at hand
};

}  // namespace

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
