// Reading order: gap search, grouping, the simple order and the XY-cut on
// hand-built boxes at their thresholds. (Random boxes, NaN, infinite and
// reversed ones among them, are cut in the digest guard, layout_digest_test.cpp.)

#include "order.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace textloom {
namespace {

using Indexes = std::vector<std::size_t>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<OrderItem> items_of(const std::vector<Rect>& boxes) {
  std::vector<OrderItem> out;
  for (std::size_t i = 0; i < boxes.size(); ++i) out.push_back({i, boxes[i]});
  return out;
}

Indexes indexes(const std::vector<OrderItem>& items) {
  Indexes out;
  for (const OrderItem& it : items) out.push_back(it.index);
  return out;
}

// The named operations over vectors, with the scratch they ask for.
std::vector<OrderItem> sorted(std::vector<OrderItem> items) {
  std::vector<OrderItem> scratch(items.size() / 2 + 1);
  sorted_yx(items, scratch.data());
  return items;
}

std::vector<Gap> gaps_of(std::vector<Interval> intervals, double lo, double min_gap) {
  std::vector<Interval> scratch(intervals.size() / 2 + 1);
  std::vector<Gap> out{{-1, -1}};  // replaced, not appended to
  gaps(intervals, lo, min_gap, scratch.data(), out);
  return out;
}

// The indexes of each group split_by makes.
std::vector<Indexes> groups_of(const std::vector<OrderItem>& items, const std::vector<Gap>& gaps,
                               int axis) {
  std::vector<OrderItem> out(items.size());
  std::vector<std::size_t> scratch(items.size() + gaps.size() + 1);
  std::vector<std::size_t> ends{99};  // appended to
  split_by(items, gaps, axis, out.data(), scratch.data(), ends);
  EXPECT_EQ(ends.front(), 99u);
  std::vector<Indexes> groups;
  for (std::size_t k = 1, from = 0; k < ends.size(); from = ends[k++]) {
    groups.push_back(indexes({out.begin() + static_cast<long>(from), out.begin() + static_cast<long>(ends[k])}));
  }
  if (!groups.empty()) {
    EXPECT_EQ(ends.back(), items.size());
  }
  return groups;
}

Indexes cut(const std::vector<Rect>& boxes, std::uint32_t depth = 0) {
  return indexes(xycut(items_of(boxes), depth, 12.5, 2.0));
}

// A block with one line per box (the first in direction dx), boxed by their
// union; a block with no boxes has no lines.
Block block(const std::vector<Rect>& line_boxes, double dx = 1, Rect box = kEmptyRect) {
  Block b;
  for (const Rect& r : line_boxes) {
    Line& l = b.lines.emplace_back();
    l.dir_x = dx, l.dir_y = dx == 1 ? 0 : 1, l.bbox = r;
    box = rect_union(box, r);
  }
  b.bbox = box;
  return b;
}

// Tags each block by its box's x0 + 1000 * y0 so reordering is visible.
std::vector<double> tags(const std::vector<Block>& blocks) {
  std::vector<double> out;
  for (const Block& b : blocks) out.push_back(b.bbox.x0 + 1000 * b.bbox.y0);
  return out;
}

// Intervals, lo = 0 and min_gap, and the gaps found. The rows: sorted first;
// touching; a gap of exactly min_gap; contained (no step back); nothing
// before the first; `cur` never left `lo`; a NaN end (cur stays) and a NaN
// start (the end counts); an infinite one.
TEST(Gaps, FindsHolesBetweenPieces) {
  using Pairs = std::vector<std::pair<double, double>>;
  struct Row {
    std::vector<Interval> in;
    double min_gap;
    Pairs want;
  };
  for (auto [in, min_gap, want] : std::vector<Row>{
           {{{0, 10}, {5, 20}, {40, 50}}, 12.5, {{20, 40}}},
           {{{0, 10}, {5, 20}, {40, 50}}, 25, {}},
           {{{40, 50}, {5, 20}, {0, 10}}, 12.5, {{20, 40}}},
           {{{0, 10}, {10, 20}}, 1e-9, {}},
           {{}, 12.5, {}},
           {{{0, 10}, {22.5, 30}}, 12.5, {{10, 22.5}}},
           {{{0, 10}, {22.4, 30}}, 12.5, {}},
           {{{0, 30}, {5, 10}, {40, 50}}, 10, {{30, 40}}},
           {{{0, 10}, {20, 30}, {60, 70}}, 5, {{10, 20}, {30, 60}}},
           {{{50, 60}, {80, 90}}, 10, {{60, 80}}},
           {{{0, 0}, {50, 60}}, 10, {}},
           {{{0, 10}, {5, kNaN}, {30, 40}}, 12.5, {{10, 30}}},
           {{{0, 10}, {kNaN, 12}, {30, 40}}, 12.5, {{12, 30}}},
           {{{0, 10}, {kInf, kInf}}, 12.5, {{10, kInf}}}}) {
    Pairs got;
    for (const Gap& g : gaps_of(in, 0, min_gap)) got.emplace_back(g.from, g.to);
    EXPECT_EQ(got, want) << min_gap;
  }
}

TEST(SplitBy, MidpointsAgainstGapStarts) {
  // Midpoints 20 (not past the gap), 20.5, 5 and NaN; groups keep input order.
  EXPECT_EQ(groups_of(items_of({{10, 0, 30, 1}, {10, 0, 31, 1}, {0, 0, 10, 1}, {kNaN, 0, 90, 1}}),
                      {{20, 40}}, kAxisX),
            (std::vector<Indexes>{{0, 2, 3}, {1}}));
  // Rows by y: a NaN midpoint goes to slot 0; 70 to 80 and 65 to 75 lie past
  // all three gaps; empty slots make no group.
  EXPECT_EQ(groups_of(items_of({{0, 70, 1, 80}, {0, 0, 1, 5}, {0, kNaN, 1, 80}, {100, 65, 200, 75}}),
                      {{10, 20}, {30, 40}, {50, 60}}, kAxisY),
            (std::vector<Indexes>{{1, 2}, {0, 3}}));
}

TEST(SortedYx, TopThenLeftStable) {
  // Bottom edges would give another order; NaN tops fall through to x0.
  const std::vector<Rect> boxes{{5, 10, 9, 11}, {0, 20, 9, 21}, {0, 0, 9, 100},
                                {5, 10, 9, 50}, {3, 10, 9, 12}, {1, kNaN, 2, 3}};
  EXPECT_EQ(indexes(sorted(items_of(boxes))), (Indexes{2, 5, 4, 0, 3, 1}));
  EXPECT_TRUE(sorted({}).empty());
}

TEST(SortSimple, BottomThenLeftForLinesAndBlocks) {
  std::vector<Block> blocks{
      block({{0, 0, 10, 100}}),                     // tall, starts highest, ends lowest
      block({{50, 40, 60, 50}, {0, 30, 10, 40}}),   // lines out of order
      block({{20, 10, 30, 50}}),                    // same bottom as the next, further right
      block({{10, 45, 20, 50}}),
      block({{10, 40, 20, 50}}),                    // equal bottom and left: keeps order
  };
  blocks[1].bbox = {0, 30, 60, 50};
  sort_simple(blocks);
  ASSERT_EQ(blocks.size(), 5u);
  EXPECT_EQ(tags(blocks), (std::vector<double>{30000, 10 + 45000, 10 + 40000, 20 + 10000, 0}));
  EXPECT_EQ(blocks[0].lines[0].bbox.x0, 0);  // the block's lines by bottom edge
  EXPECT_EQ(blocks[0].lines[1].bbox.x0, 50);
}

TEST(SortXycut, VerticalBlocksLastByLeftThenTop) {
  std::vector<Block> blocks{
      block({{50, 0, 60, 100}}, 0.0),
      block({{300, 300, 320, 320}}),
      block({{10, 50, 20, 60}}, 0.99),   // not above the threshold
      block({}, 1, {1, 0, 5, 5}),        // no lines: not horizontal
      block({{10, 10, 20, 20}}, kNaN),
      block({{0, 500, 100, 510}}, 0.991),
      block({{200, 300, 220, 320}, {0, 0, 1, 1}}),  // lines stay in layout order
  };
  sort_xycut(blocks, LayoutParams{});
  // Horizontal: the left column (top block, then the one at 500), then the right.
  EXPECT_EQ(tags(blocks),
            (std::vector<double>{0, 500000, 300 + 300000, 1, 10 + 10000, 10 + 50000, 50}));
  EXPECT_EQ(blocks[0].lines[0].bbox.x0, 200);
}

TEST(Xycut, ReadingOrder) {
  for (const auto& [boxes, want] : std::vector<std::pair<std::vector<Rect>, Indexes>>{
           // Left column lower than the right one: a 12.5 strip cuts columns, 12.4 does not.
           {{{0, 100, 50, 110}, {62.5, 0, 100, 10}}, {0, 1}},
           {{{0, 100, 50, 110}, {62.4, 0, 100, 10}}, {1, 0}},
           // A 2.0 strip makes rows (the upper row then reads as columns); 1.9 falls
           // to the rounded sort, which reads tops 0 and 0.6 as rows 0 and 1.
           {{{60, 0, 100, 10}, {0, 0.6, 40, 10}, {0, 12, 100, 20}}, {1, 0, 2}},
           {{{60, 0, 100, 10}, {0, 0.6, 40, 10}, {0, 11.9, 100, 20}}, {0, 1, 2}},
           // Heading over two columns: the heading row stands alone, the column rows
           // form one band that reads column by column.
           {{{0, 60, 140, 80}, {160, 30, 300, 50}, {0, 0, 300, 20}, {0, 30, 140, 50}, {160, 60, 300, 80}},
            {2, 3, 0, 1, 4}},
           // A full-width row between column rows ends the band above it.
           {{{0, 0, 140, 20}, {160, 0, 300, 20}, {0, 30, 300, 40}, {160, 50, 300, 70}, {0, 50, 140, 70}},
            {0, 1, 2, 4, 3}},
           // Overlapping boxes: tops 99.5 and 100.4 share row 100 (left first);
           // 100.5 rounds to even 100 and 100.6 to 101; 101.5 rounds to 102 like 102.4.
           {{{30, 99.5, 80, 110}, {0, 100.4, 50, 110}}, {1, 0}},
           {{{30, 100.5, 80, 110}, {0, 101.4, 50, 110}}, {0, 1}},
           {{{30, 100.5, 80, 110}, {0, 100.6, 50, 110}}, {0, 1}},
           {{{30, 101.5, 80, 110}, {0, 102.4, 50, 110}}, {1, 0}},
           {{{30, kNaN, 80, 110}, {0, 100, 50, 110}}, {1, 0}},  // a NaN top sorts by left
           {{{5, 5, 1, 1}}, {0}}, {{}, {}}}) {
    EXPECT_EQ(cut(boxes), want) << ::testing::PrintToString(want);
  }
}

TEST(Xycut, StopsCuttingAtDepth51) {
  // Left column lower than the right one: the cut reads left first, a plain
  // top-down sort right first.
  const std::vector<Rect> boxes{{0, 100, 10, 110}, {50, 0, 60, 10}};
  EXPECT_EQ(cut(boxes, 50), (Indexes{0, 1}));
  EXPECT_EQ(cut(boxes, 51), (Indexes{1, 0}));
}

}  // namespace
}  // namespace textloom
