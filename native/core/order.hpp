// Reading order of a page's blocks: the simple order (by bottom edge), the
// recursive XY-cut, with the small operations the cut is built from, and the
// "reading" order (order_reading.cpp). Every
// sort is the project's stable merge sort; a NaN compares as equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "layout.hpp"
#include "num.hpp"

namespace textloom {

// A block named by its index in the page's block list, with a copy of its box.
struct OrderItem {
  std::size_t index;  // position of the block in the list being ordered
  Rect box;           // copy of the block's bbox, page space
};

// A box's extent on one axis.
struct Interval {
  double start;  // x0 or y0 of the box, page space
  double end;    // x1 or y1 of the box, page space
};

// An empty stretch between intervals.
struct Gap {
  double from;  // where it starts: the furthest end of the intervals before it
  double to;    // where it ends: the start of the interval after it
};

// split_by axis selectors.
inline constexpr int kAxisY = 0;  // rows
inline constexpr int kAxisX = 1;  // columns

// Sorts every block's lines, then the blocks, by (bottom, left) of their boxes.
void sort_simple(std::vector<Block>& blocks);

// Sorts `items` in place by (top, left), stably. `scratch` holds at least
// items.size() / 2 + 1 items.
void sorted_yx(std::span<OrderItem> items, OrderItem* scratch);

// Empty stretches of at least `min_gap` between the union's pieces of
// `intervals`, into `out` in ascending order; `lo` is the smallest start.
// The intervals are sorted in place by (start, end), with `scratch` of at
// least intervals.size() / 2 + 1.
void gaps(std::span<Interval> intervals, double lo, double min_gap, Interval* scratch,
          std::vector<Gap>& out);

// Groups `items` by how many of `gaps` (ascending, as gaps() gives them) start
// below each box's midpoint on `axis`. Writes the groups one after another to
// `out` (items.size() items), input order kept within a group, and appends the
// end of each non-empty group, as an offset into `out`, to `ends`. `scratch`
// holds at least items.size() + gaps.size() + 1 indexes.
void split_by(std::span<const OrderItem> items, std::span<const Gap> gaps, int axis,
              OrderItem* out, std::size_t* scratch, std::vector<std::size_t>& ends);

// Replaces `blocks` with the same blocks in XY-cut reading order: horizontal
// blocks by the cut, then the others by (left, top).
void sort_xycut(std::vector<Block>& blocks, const LayoutParams& params);

// The recursive cut: the same items in reading order.
std::vector<OrderItem> xycut(const std::vector<OrderItem>& items, std::uint32_t depth,
                             double gap_first, double gap_second);

// Replaces `blocks` with the same blocks in the order a reader takes them on
// the page as a viewer shows it (`rotation`: the page's, 0, 90, 180 or 270):
// columns at gutters judged by the text's size, spanning blocks as bands of
// their own, vertical CJK right to left tier by tier, and the blocks' own
// order where nothing cuts them. Blocks whose box is not finite come last.
void sort_reading(std::vector<Block>& blocks, std::uint32_t rotation);

}  // namespace textloom
