// Reading order of a page's blocks: the simple order (by bottom edge), the
// recursive XY-cut, with the small operations the cut is built from, and the
// "reading" order (order_reading.cpp). Every
// sort is the project's stable merge sort; a NaN compares as equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "layout.hpp"
#include "num.hpp"

namespace textloom {

// A block named by its index in the page's block list, with a copy of its box.
struct OrderItem {
  std::size_t index;
  Rect box;
};

struct Interval {
  double start;
  double end;
};

// An empty stretch between intervals.
struct Gap {
  double from;
  double to;
};

// split_by axis selectors.
inline constexpr int kAxisY = 0;  // rows
inline constexpr int kAxisX = 1;  // columns

// Sorts every block's lines, then the blocks, by (bottom, left) of their boxes.
void sort_simple(std::vector<Block>& blocks);

// The items by (top, left).
std::vector<OrderItem> sorted_yx(const std::vector<OrderItem>& items);

// Empty stretches of at least `min_gap` between the union's pieces of
// `intervals` (sorted in place), in ascending order; `lo` is the smallest start.
std::vector<Gap> gaps(std::vector<Interval>& intervals, double lo, double min_gap);

// Groups items by which gaps their box midpoints on `axis` lie past; drops
// empty groups; keeps input order within a group.
std::vector<std::vector<OrderItem>> split_by(const std::vector<OrderItem>& items,
                                             const std::vector<Gap>& gaps, int axis);

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
