// The "reading" order on hand-built blocks: gutters against the type size,
// spanning blocks as bands, the viewer's frame (page rotation and the way
// most characters run), vertical CJK tiers, stream order where nothing cuts,
// and bad boxes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

#include "order.hpp"

namespace textloom {
namespace {

using Order = std::vector<std::size_t>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Dir {
  double x = 1, y = 0;
};

// A block of one line per box, each line holding `chars` chars of `size`
// running `dir`; numbered `number` (its tag), boxed by the union.
Block block(std::size_t number, const std::vector<Rect>& lines, double size = 10, Dir dir = {},
            std::size_t chars = 10, std::uint32_t wmode = 0) {
  Block b;
  b.number = number;
  b.bbox = kEmptyRect;
  for (const Rect& r : lines) {
    Line& l = b.lines.emplace_back();
    l.dir_x = dir.x, l.dir_y = dir.y, l.wmode = wmode, l.bbox = r;
    Char c{};
    c.bbox = r, c.size = size, c.ch = 'a';
    l.chars.assign(chars, c);
    b.bbox = rect_union(b.bbox, r);
  }
  return b;
}

// A paragraph: `n` lines of height `size` at 1.2 size pitch from `top`.
std::vector<Rect> para(double x0, double x1, double top, int n, double size = 10) {
  std::vector<Rect> out;
  for (int k = 0; k < n; ++k) out.push_back({x0, top + 1.2 * size * k, x1, top + 1.2 * size * k + size});
  return out;
}

Order reading(std::vector<Block> blocks, std::uint32_t rotation = 0) {
  sort_reading(blocks, rotation);
  Order out;
  for (const Block& b : blocks) out.push_back(b.number);
  return out;
}

// Blocks in stream order `stream`, each tagged by its place in `reading`.
std::vector<Block> in_stream(const std::vector<Block>& by_reading, const Order& stream) {
  std::vector<Block> out;
  for (std::size_t k : stream) out.push_back(by_reading[k]);
  return out;
}

TEST(OrderReading, GutterAgainstTypeSize) {
  // Three columns of two paragraphs written row by row; a gutter cuts when
  // it is at least 0.8 size and at least 4 units wide.
  for (const auto& [size, gutter, cut] : {std::tuple{9.0, 9.0, true}, {9.0, 7.1, false}, {10.0, 8.0, true},
                                           {10.0, 7.9, false}, {3.0, 4.0, true}, {3.0, 3.9, false}}) {
    std::vector<Block> by_reading;
    for (int col = 0; col < 3; ++col) {
      const double x0 = col * (150 + gutter);
      by_reading.push_back(block(0, para(x0, x0 + 150, 0, 4, size), size));
      by_reading.push_back(block(0, para(x0, x0 + 150, 6 * size, 5, size), size));
    }
    for (std::size_t k = 0; k < by_reading.size(); ++k) by_reading[k].number = k;
    const Order stream{0, 2, 4, 1, 3, 5};
    EXPECT_EQ(reading(in_stream(by_reading, stream)), cut ? (Order{0, 1, 2, 3, 4, 5}) : stream)
        << size << " " << gutter;
  }
}

TEST(OrderReading, JustifiedWordGapsAreNoGutter) {
  // A justified paragraph whose wide word gaps split lines as the glyph pass
  // does: the part after a gap opens a block that the following lines join.
  const std::vector<Block> blocks{
      block(0, {{0, 0, 100, 10}}),
      block(1, {{112, 0, 300, 10}, {0, 12, 140, 22}}),
      block(2, {{151, 12, 300, 22}, {0, 24, 300, 34}, {0, 36, 90, 46}}),
      block(3, {{101, 36, 300, 46}, {0, 48, 200, 58}})};
  EXPECT_EQ(reading(blocks), (Order{0, 1, 2, 3}));
}

TEST(OrderReading, SpanningBlocksAreBandsReadInPlace) {
  // A heading over two columns (10-unit gutter), the left column running on
  // below the right one, then a footnote under both; written heading last
  // but one, footnote between the columns.
  const std::vector<Block> by_reading{
      block(0, para(0, 400, 0, 1, 14), 14),      // heading
      block(1, para(0, 195, 30, 6)),              // left column
      block(2, para(0, 195, 110, 4)),
      block(3, para(205, 400, 30, 5)),            // right column, shorter
      block(4, para(205, 400, 100, 3)),
      block(5, para(0, 400, 200, 2, 8), 8)};     // footnote
  EXPECT_EQ(reading(in_stream(by_reading, {1, 2, 5, 0, 3, 4})), (Order{0, 1, 2, 3, 4, 5}));
}

TEST(OrderReading, TitleInAnotherSizeOverOneColumnIsNotItsHead) {
  for (const double title : {16.0, 11.0}) {  // 11 is more than 10% above the body's 9
    const std::vector<Block> by_reading{
        block(0, para(160, 290, 0, 1, title), title),  // title over the middle column
        block(1, para(0, 150, 40, 8, 9), 9),
        block(2, para(158, 308, 40, 8, 9), 9),
        block(3, para(316, 466, 40, 8, 9), 9)};
    EXPECT_EQ(reading(in_stream(by_reading, {3, 1, 0, 2})), (Order{0, 1, 2, 3})) << title;
  }
}

// The viewer box (u, v in a viewer of `vw` x `vh`) in page space, for a page
// shown with `rotation` (the inverse of the rotated view).
Rect page_box(const Rect& v, std::uint32_t rotation, double vw, double vh) {
  auto point = [&](double u, double w, double& x, double& y) {
    switch (rotation) {
      case 90: x = w, y = vw - u; break;       // view (H - y, x)
      case 180: x = vw - u, y = vh - w; break;  // view (W - x, H - y)
      case 270: x = vh - w, y = u; break;       // view (y, W - x)
      default: x = u, y = w;
    }
  };
  double ax, ay, bx, by;
  point(v.x0, v.y0, ax, ay);
  point(v.x1, v.y1, bx, by);
  return {std::fmin(ax, bx), std::fmin(ay, by), std::fmax(ax, bx), std::fmax(ay, by)};
}

TEST(OrderReading, ReadsInTheViewersFrame) {
  // A heading over two columns as the viewer shows them, text upright there:
  // on pages rotated 0 to 270, and drawn rotated on an unrotated page.
  struct Case {
    std::uint32_t rotation;  // the page's
    std::uint32_t drawn;     // the rotation the text is drawn upright for
    Dir dir;                 // its way in page space
  } cases[] = {{0, 0, {1, 0}}, {90, 90, {0, -1}}, {180, 180, {-1, 0}}, {270, 270, {0, 1}},
               {0, 90, {0, -1}}, {0, 270, {0, 1}}};
  const std::vector<Rect> viewer{{0, 0, 400, 14}, {0, 30, 195, 100}, {0, 110, 195, 180},
                                 {205, 30, 400, 90}, {205, 100, 400, 150}};
  for (const Case& c : cases) {
    const bool turned = c.drawn == 90 || c.drawn == 270;
    std::vector<Block> by_reading;
    for (std::size_t k = 0; k < viewer.size(); ++k) {
      by_reading.push_back(block(k, {page_box(viewer[k], c.drawn, turned ? 792 : 612,
                                              turned ? 612 : 792)},
                                 10, c.dir));
    }
    EXPECT_EQ(reading(in_stream(by_reading, {4, 2, 0, 3, 1}), c.rotation), (Order{0, 1, 2, 3, 4}))
        << c.rotation << " " << c.drawn;
  }
}

TEST(OrderReading, MostCharactersDecideTheFrame) {
  // A above B, both running up, C far below running right. Read upright
  // (C, B, A) once 60% of the characters run up, else as on the page.
  for (const auto& [up_chars, expected] : {std::pair{std::size_t{30}, Order{2, 1, 0}},
                                           std::pair{std::size_t{29}, Order{0, 1, 2}}}) {
    const std::vector<Block> blocks{block(0, {{0, 0, 10, 100}}, 10, {0, -1}, up_chars),
                                    block(1, {{0, 130, 10, 230}}, 10, {0, -1}, up_chars),
                                    block(2, {{0, 900, 100, 910}}, 10, {}, 100 - 2 * up_chars)};
    EXPECT_EQ(reading(blocks), expected) << up_chars;
  }
}

TEST(OrderReading, VerticalCjkBlocksRightToLeftTierByTier) {
  // Blocks of vertical columns (wmode 1), two tiers, written left to right.
  auto columns = [](std::size_t n, double right, double top, double height) {
    return block(n, {{right - 12, top, right, top + height}, {right - 30, top, right - 18, top + height}},
                 12, {}, 12, 1);
  };
  const std::vector<Block> by_reading{columns(0, 560, 60, 250), columns(1, 480, 60, 250),
                                      columns(2, 300, 60, 200), columns(3, 540, 400, 200),
                                      columns(4, 380, 400, 250)};
  EXPECT_EQ(reading(in_stream(by_reading, {2, 1, 0, 4, 3})), (Order{0, 1, 2, 3, 4}));
}

TEST(OrderReading, BadBoxesKeepEveryBlockOnce) {
  // NaN and infinite boxes come last in stream order; zero-size and huge ones are placed.
  const std::vector<Block> blocks{block(0, {{kNaN, 0, 10, 10}}),
                                  block(1, {{0, 100, 0, 100}}),
                                  block(2, {{0, 0, kInf, 10}}),
                                  block(3, {{0, -1e308, 1e308, -1e307}}),
                                  block(4, {{0, 0, 0, 0}}, kNaN)};
  EXPECT_EQ(reading(blocks), (Order{3, 4, 1, 0, 2}));
  EXPECT_EQ(reading(blocks, 45), (Order{3, 4, 1, 0, 2}));  // no such rotation: as 0
}

}  // namespace
}  // namespace textloom
