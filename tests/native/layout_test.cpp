// layout_page on hand-built pages: line and block breaks at their thresholds,
// inserted spaces, duplicates, repeats, combining marks, clipping, vertical
// CJK columns, right-to-left lines, negative sizes and block numbering.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "glyph_builder.hpp"
#include "layout.hpp"
#include "sort.hpp"

namespace textloom {
namespace {

using fixtures::all_lines;
using fixtures::lay_out;
using fixtures::line_text;
using fixtures::PageBuilder;
using fixtures::shape;
using Lines = std::vector<std::u32string>;
using Shape = std::vector<std::size_t>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expect_rect(const Rect& r, double x0, double y0, double x1, double y1) {
  EXPECT_DOUBLE_EQ(r.x0, x0);
  EXPECT_DOUBLE_EQ(r.y0, y0);
  EXPECT_DOUBLE_EQ(r.x1, x1);
  EXPECT_DOUBLE_EQ(r.y1, y1);
}

TEST(LayoutPage, NoGlyphsNoBlocks) {
  PageBuilder b;
  EXPECT_TRUE(lay_out(b.page()).empty());
  b.text(U"abc", 0, 100);
  EXPECT_TRUE(lay_out(b.page(), SortMode::none, Rect{200, 200, 300, 300}).empty());
}

TEST(LayoutPage, SingleGlyphCopiesItsFields) {
  PageBuilder b;
  Glyph& g = b.at('A', 10, 100, 10, 6);
  g.color = 0x123456;
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{1}));
  const Line& line = blocks[0].lines[0];
  ASSERT_EQ(line.chars.size(), 1u);
  const Char& c = line.chars[0];
  expect_rect(c.bbox, 10, 92, 16, 102);
  EXPECT_EQ(c.origin_x, 10);
  EXPECT_EQ(c.origin_y, 100);
  EXPECT_EQ(c.size, 10);
  EXPECT_EQ(c.color, 0x123456u);
  EXPECT_EQ(c.idx, 0u);
  EXPECT_EQ(c.ch, U'A');
  EXPECT_FALSE(c.rtl);
  EXPECT_FALSE(c.synthetic);
  EXPECT_EQ(line.wmode, 0u);
  expect_rect(line.bbox, 10, 92, 16, 102);
  expect_rect(blocks[0].bbox, 10, 92, 16, 102);
}

// B placed `gap` em after A's pen end on A's baseline.
struct GapCase {
  double gap;
  Lines lines;
};

class AlongTheLine : public ::testing::TestWithParam<GapCase> {};

TEST_P(AlongTheLine, BreaksAndSpaces) {
  PageBuilder b;
  b.at('A', 0, 100);
  b.after('B', GetParam().gap);
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(blocks.size(), 1u);
  EXPECT_EQ(all_lines(blocks), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, AlongTheLine,
    ::testing::Values(GapCase{0.1, {U"AB"}}, GapCase{0.13, {U"AB"}}, GapCase{0.15, {U"A B"}},
                      GapCase{0.3, {U"A B"}}, GapCase{0.84, {U"A B"}},
                      GapCase{0.86, {U"A", U"B"}}, GapCase{0.9, {U"A", U"B"}},
                      GapCase{-0.1, {U"AB"}}, GapCase{-0.5, {U"AB"}}, GapCase{-0.84, {U"AB"}},
                      GapCase{-0.86, {U"A", U"B"}}));

TEST(LayoutPage, SyntheticSpaceSpansTheGap) {
  PageBuilder b;
  b.at('A', 0, 100);
  Glyph& g = b.after('B', 0.3);
  g.color = 0xFF0000;
  const std::vector<Block> blocks = lay_out(b.page());
  const Line& line = blocks[0].lines[0];
  ASSERT_EQ(line.chars.size(), 3u);
  const Char& space = line.chars[1];
  EXPECT_TRUE(space.synthetic);
  EXPECT_EQ(space.ch, U' ');
  EXPECT_EQ(space.idx, kSyntheticIdx);
  EXPECT_EQ(space.color, 0xFF0000u);
  EXPECT_EQ(space.origin_x, 5);
  EXPECT_EQ(space.origin_y, 100);
  expect_rect(space.bbox, 5, 92, 8, 102);
  EXPECT_EQ(line.chars[2].idx, 1u);
  expect_rect(line.chars[2].bbox, 8, 92, 13, 102);
}

// B drawn `drop` em below A's baseline at `dx` units right of the line start,
// the line opened by `first`.
struct AcrossCase {
  char32_t first;
  double drop;
  double dx;
  Shape shape;
};

class AcrossTheLine : public ::testing::TestWithParam<AcrossCase> {};

TEST_P(AcrossTheLine, NewLineOrBlock) {
  const AcrossCase& c = GetParam();
  PageBuilder b;
  b.at(static_cast<std::uint32_t>(c.first), 0, 100);
  b.at('B', c.dx, 100 + c.drop * 10);
  EXPECT_EQ(shape(lay_out(b.page())), c.shape);
}

INSTANTIATE_TEST_SUITE_P(
    Drops, AcrossTheLine,
    ::testing::Values(
        // On the baseline: a step back to the line start stays on the line.
        AcrossCase{U'A', 0.84, 0, {1}},
        AcrossCase{U'A', 0.86, 0, {2}}, AcrossCase{U'A', 1.2, 0, {2}},
        AcrossCase{U'A', 1.49, 0, {2}}, AcrossCase{U'A', 1.51, 0, {1, 1}},
        AcrossCase{U'A', 1.6, 0, {1, 1}}, AcrossCase{U'A', -1.2, 0, {2}},
        AcrossCase{U'A', -1.6, 0, {1, 1}},
        // An indent beyond 4.1 units opens a block unless a list marker opened the line.
        AcrossCase{U'A', 1.2, 10, {1, 1}}, AcrossCase{U'\u2022', 1.2, 10, {2}},
        AcrossCase{U'-', 1.2, 10, {2}}, AcrossCase{U'\u29BF', 1.2, 10, {2}},
        AcrossCase{U'A', 1.2, 3, {2}}, AcrossCase{U'A', 1.2, 4.0, {2}},
        AcrossCase{U'A', 1.2, 4.2, {1, 1}}, AcrossCase{U'A', 1.2, -20, {2}},
        AcrossCase{U'\u2022', 1.6, 0, {1, 1}}));

TEST(LayoutPage, IndentIsMeasuredFromTheLineStart) {
  // Each line starts 3 right of the one before; the fourth is 4.5 past the third.
  PageBuilder b;
  b.at('A', 0, 100);
  b.at('B', 3, 112);
  b.at('C', 6, 124);
  EXPECT_EQ(shape(lay_out(b.page())), (Shape{3}));
  b.at('D', 10.5, 136);
  EXPECT_EQ(shape(lay_out(b.page())), (Shape{3, 1}));
}

struct DupCase {
  char32_t second;
  double dx;
  double dy;
  std::size_t chars;
};

class Duplicates : public ::testing::TestWithParam<DupCase> {};

TEST_P(Duplicates, SameCharNearbyIsDropped) {
  const DupCase& c = GetParam();
  PageBuilder b;
  b.at('A', 0, 100);
  b.at(static_cast<std::uint32_t>(c.second), c.dx, 100 + c.dy);
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{1}));
  EXPECT_EQ(blocks[0].lines[0].chars.size(), c.chars);
}

INSTANTIATE_TEST_SUITE_P(
    Distances, Duplicates,
    ::testing::Values(DupCase{U'A', 0, 0, 1}, DupCase{U'A', 0.9, 0, 1},
                      DupCase{U'A', 2, 0, 2}, DupCase{U'B', 0, 0, 2},
                      // Euclidean: 0.96 units drops, 1.04 keeps (neither would by |dx| + |dy|).
                      DupCase{U'A', 0.6, 0.75, 1}, DupCase{U'A', 0.6, 0.85, 2}));

TEST(LayoutPage, ZeroSizeMeasuresInUnitsOfOne) {
  PageBuilder b;
  b.at('A', 0, 100, 0, 0.5);
  b.at('B', 0.8, 100, 0, 0.5);   // 0.3 past A's end: a space
  b.at('C', 1.35, 100, 0, 0.5);  // 0.05 past B's end: touching
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"A BC"}));
  expect_rect(blocks[0].lines[0].chars[0].bbox, 0, 100, 0.5, 100);
}

// A word gap after `prev` becomes a space only after scripts that space words.
struct SpaceCase {
  char32_t prev;
  bool space;
};

class SpaceTest : public ::testing::TestWithParam<SpaceCase> {};

TEST_P(SpaceTest, AfterPreviousChar) {
  PageBuilder b;
  b.at(static_cast<std::uint32_t>(GetParam().prev), 0, 100, 10, 10);
  b.after('b', 0.5);
  const Lines lines = all_lines(lay_out(b.page()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), GetParam().space ? 3u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, SpaceTest,
    ::testing::Values(SpaceCase{U'a', true}, SpaceCase{U'\u03A9', true},
                      SpaceCase{U' ', false}, SpaceCase{U'\u4E00', false},
                      SpaceCase{U'\u0E01', false}, SpaceCase{U'\u1FFF', false},
                      SpaceCase{U'\u2000', true}, SpaceCase{U'\u2014', true},
                      SpaceCase{U'\u20CF', true}, SpaceCase{U'\u20D0', false},
                      SpaceCase{U'\u2100', false}));

TEST(LayoutPage, NoSpaceBeforeASpaceGlyph) {
  PageBuilder b;
  b.at('a', 0, 100);
  b.after(' ', 0.5);
  b.after('b', 0.5);
  EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{U"a b"}));
}

TEST(LayoutPage, RotatedGlyphOpensABlockWithItsRotatedBox) {
  PageBuilder b;
  b.text(U"ab", 0, 100);
  b.at('c', 100, 50, 10, 10, 0, 1);
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{1, 1}));
  const Line& line = blocks[1].lines[0];
  EXPECT_EQ(line.dir_x, 0);
  EXPECT_EQ(line.dir_y, 1);
  // Up is +x for a baseline running down the page.
  expect_rect(line.chars[0].bbox, 98, 50, 108, 60);
}

TEST(LayoutPage, UpsideDownGlyphBoxIsNormalised) {
  PageBuilder b;
  b.at('a', 50, 100, 10, 5, -1, 0);
  expect_rect(lay_out(b.page())[0].lines[0].chars[0].bbox, 45, 98, 50, 108);
}

TEST(LayoutPage, CombiningMarkJoinsWithItsOwnBox) {
  PageBuilder b;
  b.at('e', 0, 100);
  b.at(0x301, 300, 20, 10, 0);  // far away: still joins its base
  b.at('f', 5.3, 100);          // measured from e's pen end: touching
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"e\u0301f"}));
  const Char& mark = blocks[0].lines[0].chars[1];
  expect_rect(mark.bbox, 300, 12, 300, 22);
  EXPECT_EQ(mark.origin_x, 300);
}

TEST(LayoutPage, CombiningMarkBecomesThePreviousChar) {
  // After the mark the space test looks at the mark, not at the CJK base.
  PageBuilder b;
  b.at(0x4E00, 0, 100, 10, 10);
  b.at(0x301, 5, 100, 10, 0);
  b.at('b', 13, 100);
  EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{U"\u4E00\u0301 b"}));
  // And the same letter again after its mark is no duplicate.
  PageBuilder c;
  c.at('A', 0, 100);
  c.at(0x301, 0, 100, 10, 0);
  c.at('A', 0, 100);
  EXPECT_EQ(all_lines(lay_out(c.page())), (Lines{U"A\u0301A"}));
}

TEST(LayoutPage, SpaceBeforeFlag) {
  for (const auto& [gap, flag, text] :
       std::vector<std::tuple<double, bool, std::u32string>>{
           {0.05, true, U"A B"}, {0.05, false, U"AB"}, {-0.45, true, U"A B"},
           {-0.47, true, U"AB"}, {0.84, true, U"A B"}}) {
    PageBuilder b;
    b.at('A', 0, 100);
    b.after('B', gap).space_before = flag;
    EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{text})) << gap << " " << flag;
  }
}

TEST(LayoutPage, RepeatedGlyphSitsAtThePenEnd) {
  PageBuilder b;
  b.at('A', 0, 100);
  b.at('A', 0, 100).repeat = true;
  b.at('B', 5.3, 100);  // still measured from A's pen end
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(all_lines(blocks), (Lines{U"AAB"}));
  const Char& rep = blocks[0].lines[0].chars[1];
  expect_rect(rep.bbox, 5, 92, 5, 102);
  EXPECT_EQ(rep.origin_x, 5);
  EXPECT_EQ(rep.idx, 1u);
}

TEST(LayoutPage, ZeroAdvanceGlyph) {
  for (const auto& [x, text] : std::vector<std::pair<double, std::u32string>>{
           {1, U"AB"}, {3, U"A B"}}) {
    PageBuilder b;
    b.at('A', 0, 100, 10, 0);
    b.at('B', x, 100);
    const std::vector<Block> blocks = lay_out(b.page());
    EXPECT_EQ(all_lines(blocks), (Lines{text}));
    expect_rect(blocks[0].lines[0].chars[0].bbox, 0, 92, 0, 102);
  }
}

TEST(LayoutPage, NaNOriginOpensABlock) {
  PageBuilder b;
  b.at('A', 0, 100);
  b.at('B', kNaN, 100);
  b.at('C', 0, kNaN);
  EXPECT_EQ(shape(lay_out(b.page())), (Shape{1, 1, 1}));
}

TEST(LayoutPage, ClipKeepsTouchingBoxes) {
  PageBuilder b;
  b.at('A', 0, 100);  // box (0, 92, 5, 102)
  b.at('B', kNaN, kNaN);
  const auto texts = [&](Rect clip) { return all_lines(lay_out(b.page(), SortMode::none, clip)); };
  EXPECT_EQ(texts({5, 0, 50, 200}), (Lines{U"A", U"B"}));
  EXPECT_EQ(texts({-50, 102, 50, 200}), (Lines{U"A", U"B"}));
  EXPECT_EQ(texts({5.01, 0, 50, 200}), (Lines{U"B"}));
  EXPECT_EQ(texts({-50, 0, -0.01, 200}), (Lines{U"B"}));
  EXPECT_EQ(texts({-50, 102.01, 50, 200}), (Lines{U"B"}));
  EXPECT_EQ(texts({-50, 0, 50, 91.99}), (Lines{U"B"}));
  EXPECT_EQ(texts({kNaN, kNaN, kNaN, kNaN}), (Lines{U"A", U"B"}));
}

TEST(LayoutPage, ClippedGlyphChangesNoState) {
  // The dropped glyph would otherwise be the duplicate reference and pen end.
  PageBuilder b;
  b.at('A', 0, 100);
  b.at('B', 500, 100);
  b.at('C', 5.5, 100);
  EXPECT_EQ(all_lines(lay_out(b.page(), SortMode::none, Rect{0, 0, 100, 200})),
            (Lines{U"AC"}));
}

TEST(LayoutPage, RightToLeftDrawnInVisualOrderIsReversed) {
  PageBuilder b;
  b.text(U"\u05D0\u05D1\u05D2", 0, 100);
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(all_lines(blocks), (Lines{U"\u05D2\u05D1\u05D0"}));
  EXPECT_TRUE(blocks[0].lines[0].chars[0].rtl);
  expect_rect(blocks[0].lines[0].bbox, 0, 92, 15, 102);
}

TEST(LayoutPage, RightToLeftDrawnInLogicalOrderStays) {
  PageBuilder b;
  b.at(0x5D0, 10, 100);
  b.at(0x5D1, 5, 100);
  b.at(0x5D2, 0, 100);
  b.at(0x5D3, -8, 100);  // a word gap, right to left
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"\u05D0\u05D1\u05D2 \u05D3"}));
  EXPECT_FALSE(blocks[0].lines[0].rtl_visual);
}

// Bet (advance 5) drawn at x after alef at 100..105; lines in logical order.
struct RtlCase {
  double x;
  Lines lines;
};

class RightToLeftProgression : public ::testing::TestWithParam<RtlCase> {};

TEST_P(RightToLeftProgression, SpacesAndOrder) {
  PageBuilder b;
  b.at(0x5D0, 100, 100);
  b.at(0x5D1, GetParam().x, 100);
  EXPECT_EQ(all_lines(lay_out(b.page())), GetParam().lines) << GetParam().x;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, RightToLeftProgression,
    ::testing::Values(
        RtlCase{95, {U"\u05D0\u05D1"}},             // ends where alef begins
        RtlCase{93.7, {U"\u05D0\u05D1"}},           // back -0.13: touching
        RtlCase{93.5, {U"\u05D0 \u05D1"}},          // back -0.15: a word gap
        RtlCase{87, {U"\u05D0 \u05D1"}},            // back -0.8
        RtlCase{86, {U"\u05D0", U"\u05D1"}},        // back -0.9: too far
        RtlCase{105, {U"\u05D1\u05D0"}},            // drawn left to right
        RtlCase{108, {U"\u05D1 \u05D0"}},           // left to right with a gap
        RtlCase{101, {U"\u05D1\u05D0"}},            // small step back, reordered by x
        RtlCase{114, {U"\u05D0", U"\u05D1"}}));     // gap 0.9: a new line

TEST(LayoutPage, NonLetterNextToRightToLeftTakesItsRules) {
  // The 2 follows the 1 by 0.2 em, which right-to-left rules read as text
  // drawn left to right: the line is reordered.
  PageBuilder b;
  b.at(0x5D0, 100, 100);
  b.at('1', 90, 100);
  b.at('2', 97, 100);
  EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{U"\u05D02 1"}));
  // Latin letters keep left-to-right rules.
  PageBuilder c;
  c.at(0x5D0, 100, 100);
  c.at('a', 90, 100);
  c.at('b', 97, 100);
  EXPECT_EQ(all_lines(lay_out(c.page())), (Lines{U"\u05D0a b"}));
}

TEST(LayoutPage, DigitsAndParenthesesAroundHebrew) {
  PageBuilder b;
  b.text(U"12", 0, 100);
  b.text(U"\u05D0\u05D1\u05D2", 15, 100);
  b.text(U"(\u05D0\u05D1)", 0, 200);
  EXPECT_EQ(all_lines(lay_out(b.page())),
            (Lines{U"\u05D2\u05D1\u05D012", U"(\u05D1\u05D0)"}));
}

TEST(LayoutPage, DirectionChangeKeepsAProducerSpace) {
  for (const auto& [flag, text] : std::vector<std::pair<bool, std::u32string>>{
           {true, U"ab \u05D0"}, {false, U"ab\u05D0"}}) {
    PageBuilder b;
    b.text(U"ab", 0, 100);
    b.after(0x5D0, 0.3).space_before = flag;
    EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{text})) << flag;
  }
  // The space test still applies: none after CJK.
  PageBuilder b;
  b.at(0x4E00, 0, 100);
  b.after(0x5D0, 0.3).space_before = true;
  EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{U"\u4E00\u05D0"}));
}

TEST(LayoutPage, NegativeSizeMeasuresByMagnitude) {
  PageBuilder b;
  b.text(U"abc", 0, 100, -10);
  b.after('d', 0.3, -10);
  b.after('e', 0.0, -10);
  b.at('x', 0, 112, -10);  // 1.2 em below: a new line, same block
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"abc de", U"x"}));
  const Char& a = blocks[0].lines[0].chars[0];
  EXPECT_EQ(a.size, -10);
  expect_rect(a.bbox, 0, 92, 5, 102);
  expect_rect(blocks[0].lines[0].chars[3].bbox, 15, 92, 18, 102);  // the inserted space
  const std::vector<Span> spans = make_spans(blocks[0].lines[0], b.page().fonts);
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(spans[0].flags & kStyleSuperscript, 0u);
  EXPECT_EQ(spans[0].size, -10);
}

TEST(LayoutPage, NegativeSizeRotatedBoxIsNotInverted) {
  PageBuilder b;
  b.at('c', 100, 50, -10, 10, 0, 1);
  expect_rect(lay_out(b.page())[0].lines[0].chars[0].bbox, 98, 50, 108, 60);
}

// A column of single CJK characters at x, from y down in steps of `step`.
void column(PageBuilder& b, double x, double y, int n, double step = 12, double size = 10) {
  for (int i = 0; i < n; ++i) b.at(0x4E00u + static_cast<std::uint32_t>(i), x, y + i * step, size, 10);
}

TEST(LayoutVertical, StackedCharactersJoinIntoAColumn) {
  for (double size : {10.0, -10.0}) {
    PageBuilder b;
    column(b, 100, 100, 3, 12, size);
    const std::vector<Block> blocks = lay_out(b.page());
    ASSERT_EQ(shape(blocks), (Shape{1})) << size;
    const Line& line = blocks[0].lines[0];
    EXPECT_EQ(line.wmode, 1u);
    EXPECT_EQ(line_text(line), U"\u4E00\u4E01\u4E02");
    expect_rect(line.bbox, 100, 92, 110, 126);
  }
}

TEST(LayoutVertical, ColumnsReadRightToLeft) {
  PageBuilder b;
  column(b, 85, 100, 2);   // left column drawn first
  column(b, 100, 100, 3);  // 1.5 sizes to its right, tops level
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{2}));
  EXPECT_EQ(all_lines(blocks), (Lines{U"\u4E00\u4E01\u4E02", U"\u4E00\u4E01"}));
  EXPECT_EQ(blocks[0].lines[0].wmode, 1u);
  EXPECT_EQ(blocks[0].lines[1].wmode, 1u);
  expect_rect(blocks[0].bbox, 85, 92, 110, 126);
  EXPECT_EQ(blocks[0].number, 0u);
}

TEST(LayoutVertical, ColumnsMergeUpToTwoAndAHalfSizesApart) {
  for (const auto& [apart, blocks] : std::vector<std::pair<double, Shape>>{
           {15, {2}}, {25, {2}}, {26, {1, 1}}}) {
    PageBuilder b;
    column(b, 100 - apart, 100, 2);
    column(b, 100, 100, 2);
    EXPECT_EQ(shape(lay_out(b.page())), blocks) << apart;
  }
  // Heads 3 sizes apart vertically stay apart too.
  PageBuilder b;
  column(b, 85, 100, 2);
  column(b, 100, 130, 2);
  EXPECT_EQ(shape(lay_out(b.page())), (Shape{1, 1}));
}

struct StackCase {
  double dx;
  double dy;
  bool joined;
};

class Stacking : public ::testing::TestWithParam<StackCase> {};

TEST_P(Stacking, SecondCharJoinsOnlyWhenRightBelow) {
  PageBuilder b;
  b.at(0x4E00, 100, 100, 10, 10);
  b.at(0x4E01, 100 + GetParam().dx, 100 + GetParam().dy, 10, 10);
  const std::vector<Block> blocks = lay_out(b.page());
  std::size_t vertical = 0;
  for (const Block& block : blocks) {
    for (const Line& line : block.lines) vertical += line.wmode;
  }
  EXPECT_EQ(vertical, GetParam().joined ? 1u : 0u);
  EXPECT_EQ(all_lines(blocks).size(), GetParam().joined ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, Stacking,
    ::testing::Values(StackCase{0, 12, true}, StackCase{2.9, 12, true},
                      StackCase{-2.9, 12, true}, StackCase{4, 12, false},
                      StackCase{-4, 12, false}, StackCase{0, 17.9, true},
                      StackCase{0, 20, false}, StackCase{0, 5.1, true},
                      StackCase{0, 4.9, false}));

TEST(LayoutVertical, TrailingSpaceIsNotARealChar) {
  PageBuilder b;
  b.at(0x4E00, 100, 100, 10, 10);
  b.at(0x4E01, 100, 112, 10, 10);
  b.after(' ', 0);
  b.at(0x4E02, 100, 124, 10, 10);
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"\u4E00\u4E01 \u4E02"}));
  EXPECT_EQ(blocks[0].lines[0].wmode, 1u);
}

TEST(LayoutVertical, HorizontalCjkLinesNeverJoin) {
  PageBuilder b;
  b.text(U"\u4E00\u4E01", 100, 100, 10, 10);
  b.text(U"\u4E02\u4E03", 100, 112, 10, 10);
  b.at(0x4E04, 100, 124, 10, 10);
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(shape(blocks), (Shape{3}));
  for (const Line& line : blocks[0].lines) EXPECT_EQ(line.wmode, 0u);
}

TEST(LayoutVertical, LatinPageHasNoVerticalLines) {
  PageBuilder b;
  for (int i = 0; i < 3; ++i) b.at('a', 100, 100 + 12 * i, 10, 10);
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(shape(blocks), (Shape{3}));
  for (const Line& line : blocks[0].lines) EXPECT_EQ(line.wmode, 0u);
}

TEST(LayoutVertical, EmptiedBlockLeavesNoHoleInNumbers) {
  // 1.6 sizes down opens a block in the glyph pass; joining empties it.
  PageBuilder b;
  b.at(0x4E00, 100, 100, 10, 10);
  b.at(0x4E01, 100, 116, 10, 10);
  b.text(U"ab", 0, 300);
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{1, 1}));
  EXPECT_EQ(blocks[0].lines[0].wmode, 1u);
  EXPECT_EQ(blocks[0].number, 0u);
  EXPECT_EQ(blocks[1].number, 1u);
}

TEST(LayoutOrder, NumbersFollowTheReturnedOrder) {
  PageBuilder b;
  b.text(U"c", 0, 300);
  b.text(U"b", 0, 200);
  b.text(U"a", 0, 100);
  const std::vector<std::pair<SortMode, Lines>> cases = {
      {SortMode::none, {U"c", U"b", U"a"}},
      {SortMode::simple, {U"a", U"b", U"c"}},
      {SortMode::xycut, {U"a", U"b", U"c"}}};
  for (const auto& [mode, lines] : cases) {
    const std::vector<Block> blocks = lay_out(b.page(), mode);
    EXPECT_EQ(all_lines(blocks), lines);
    for (std::size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(blocks[i].number, i);
  }
}

TEST(LayoutOrder, InfiniteCoordinatesStillNumbered) {
  PageBuilder b;
  b.at('a', kInf, 100);
  b.at('b', 0, -kInf);
  b.at('c', kNaN, kNaN, kNaN);
  for (SortMode mode : {SortMode::none, SortMode::simple, SortMode::xycut}) {
    const std::vector<Block> blocks = lay_out(b.page(), mode);
    EXPECT_EQ(blocks.size(), 3u);
    for (std::size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(blocks[i].number, i);
  }
}

// Randomised pages: whatever the glyph stream, the result keeps its
// invariants, and every glyph is either laid out once or accounted for.
namespace property {

struct Stream {
  std::mt19937 rng;
  explicit Stream(unsigned seed) : rng(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
  bool chance(double p) { return uniform(0, 1) < p; }
  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }

  std::uint32_t code_point() {
    static constexpr std::uint32_t kPools[][2] = {
        {'a', 'z'},       {'0', '9'},       {' ', ' '},       {'(', ')'},
        {0x5D0, 0x5EA},   {0x627, 0x64A},   {0x4E00, 0x4E20}, {0x300, 0x36F},
        {0x2022, 0x2022}, {'-', '-'},       {0x2000, 0x200A}};
    static constexpr double kWeights[] = {8, 2, 2, 1, 3, 2, 4, 1, 0.5, 0.5, 0.3};
    std::discrete_distribution<std::size_t> pool(std::begin(kWeights), std::end(kWeights));
    const auto& range = kPools[pool(rng)];
    return std::uniform_int_distribution<std::uint32_t>(range[0], range[1])(rng);
  }
};

PageGlyphs random_page(unsigned seed, std::size_t n) {
  Stream s(seed);
  PageBuilder b;
  b.add_font("Narrow", 0.7, -0.2);
  b.add_font("Zero", 0, 0);
  static constexpr double kDirs[][2] = {{1, 0}, {1, 0}, {1, 0}, {0, 1}, {-1, 0},
                                        {0, -1}, {0.6, 0.8}, {kNaN, kNaN}};
  static constexpr double kSizes[] = {10, 10, 10, 12, 0, -10, 7.5, kNaN};
  double dx = 1, dy = 0, size = 10;
  double x = 50, y = 50;
  for (std::size_t i = 0; i < n; ++i) {
    if (s.chance(0.03)) {
      const auto& d = kDirs[s.pick(std::size(kDirs))];
      dx = d[0];
      dy = d[1];
    }
    if (s.chance(0.05)) size = kSizes[s.pick(std::size(kSizes))];
    const double em = size == 0 || std::isnan(size) ? 1 : std::fabs(size);
    const double roll = s.uniform(0, 1);
    const std::uint32_t ch = s.code_point();
    if (i > 0 && roll < 0.05) {  // painted again: same char, nearly the same place
      Glyph g = b.last();
      g.index = b.at(ch, 0, 0).index;
      g.origin_x += s.uniform(-0.15, 0.15) * em;
      b.last() = g;
      continue;
    }
    if (i > 0 && roll < 0.08) {  // repeat of the previous glyph's geometry
      Glyph g = b.last();
      g.index = b.at(ch, 0, 0).index;
      g.ch = ch;
      g.repeat = true;
      b.last() = g;
      continue;
    }
    if (roll < 0.11 && dx == 1 && size == 10) {  // a vertical CJK column
      const std::size_t k = 2 + s.pick(5);
      for (std::size_t j = 0; j < k && i < n; ++j, ++i) {
        b.at(0x4E00u + static_cast<std::uint32_t>(s.pick(64)), x + s.uniform(-1, 1), y, 10, 10);
        if (s.chance(0.2)) b.after(' ', 0);
        y += s.uniform(9, 15);
      }
      x += s.chance(0.5) ? -15 : 15;
      y -= 12 * s.uniform(2, 6);
      continue;
    }
    if (roll < 0.15) {  // a new line below
      x = 50 + s.uniform(-3, 12);
      y += em * s.uniform(0.9, 1.8);
    } else if (roll < 0.165) {  // anywhere
      x = s.uniform(0, 600);
      y = s.uniform(0, 800);
    } else if (roll < 0.19) {
      x = kNaN;
    } else if (roll < 0.20) {
      y = s.chance(0.5) ? std::numeric_limits<double>::infinity() : -1e308;
    } else if (roll < 0.26) {  // stacked below, for vertical CJK
      y += em * s.uniform(0.6, 1.7);
    } else {  // along the line, with a random gap
      const double gap = s.uniform(-1, 1.2) * em;
      x += gap * dx;
      y += gap * dy;
    }
    const double advance = s.chance(0.05) ? 0 : em * s.uniform(0.3, 1);
    Glyph& g = b.at(ch, x, y, size, advance, dx, dy);
    g.font = static_cast<std::uint32_t>(s.pick(3));
    g.color = static_cast<std::uint32_t>(s.pick(2));
    g.space_before = s.chance(0.1);
    x = g.end_x;
    y = g.end_y;
    if (!std::isfinite(x) || !std::isfinite(y) || y > 800) {
      x = 50;
      y = 50;
    }
  }
  return std::move(b.page());
}

Rect union_of_chars(const Line& line) {
  Rect r = kEmptyRect;
  for (const Char& c : line.chars) r = rect_union(r, c.bbox);
  return r;
}

bool same_size(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

std::uint32_t mirrored(std::uint32_t ch) {
  switch (ch) {
    case '(': return ')';
    case ')': return '(';
    default: return ch;
  }
}

// A glyph laid out on its own survives the clip exactly when its box meets it.
bool kept_alone(const PageGlyphs& page, std::size_t i, const std::optional<Rect>& clip) {
  PageGlyphs one;
  one.fonts = page.fonts;
  one.glyphs.push_back(page.glyphs[i]);
  one.glyphs.back().repeat = false;
  return !lay_out(one, SortMode::none, clip).empty();
}

// Blocks as sorted lists of their lines' idx sequences, to compare modes.
std::vector<std::vector<std::vector<std::uint32_t>>> signature(const std::vector<Block>& blocks) {
  std::vector<std::vector<std::vector<std::uint32_t>>> out;
  for (const Block& block : blocks) {
    std::vector<std::vector<std::uint32_t>> lines;
    for (const Line& line : block.lines) {
      std::vector<std::uint32_t> ids;
      for (const Char& c : line.chars) ids.push_back(c.idx);
      lines.push_back(ids);
    }
    merge_sort(lines, [](const auto& a, const auto& b) { return a < b; });
    out.push_back(lines);
  }
  merge_sort(out, [](const auto& a, const auto& b) { return a < b; });
  return out;
}

void check_invariants(const PageGlyphs& page, const std::vector<Block>& blocks,
                      const std::optional<Rect>& clip) {
  const std::size_t n = page.glyphs.size();
  std::vector<int> seen(n, 0);
  std::size_t real = 0, synthetic = 0;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const Block& block = blocks[b];
    ASSERT_EQ(block.number, b);
    ASSERT_FALSE(block.lines.empty());
    Rect block_box = block.lines.front().bbox;
    for (const Line& line : block.lines) {
      ASSERT_FALSE(line.chars.empty());
      block_box = rect_union(block_box, line.bbox);
      EXPECT_TRUE(fixtures::same_rect(line.bbox, union_of_chars(line)));
      bool any_rtl = false;
      for (const Char& c : line.chars) any_rtl = any_rtl || c.rtl;
      std::uint32_t last_idx = 0;
      bool have_last = false;
      for (std::size_t k = 0; k < line.chars.size(); ++k) {
        const Char& c = line.chars[k];
        if (c.synthetic) {
          ++synthetic;
          EXPECT_EQ(c.ch, 0x20u);
          EXPECT_EQ(c.idx, kSyntheticIdx);
          if (!any_rtl) {
            // Filed between two glyphs that passed the space test.
            ASSERT_GT(k, 0u);
            ASSERT_LT(k + 1, line.chars.size());
            const std::uint32_t prev = line.chars[k - 1].ch;
            EXPECT_NE(prev, 0x20u);
            EXPECT_TRUE(prev < 0x700 || (prev >= 0x2000 && prev <= 0x20CF)) << prev;
            EXPECT_FALSE(line.chars[k + 1].synthetic);
            EXPECT_NE(line.chars[k + 1].ch, 0x20u);
          }
          continue;
        }
        ++real;
        ASSERT_LT(c.idx, n);
        const Glyph& g = page.glyphs[c.idx];
        ++seen[c.idx];
        EXPECT_TRUE(c.ch == g.ch || c.ch == mirrored(g.ch));
        EXPECT_EQ(c.font, g.font);
        EXPECT_EQ(c.color, g.color);
        EXPECT_TRUE(same_size(c.size, g.size));
        if (!any_rtl) {
          // Without reordering, chars stay in glyph order.
          if (have_last) {
            EXPECT_LT(last_idx, c.idx);
          }
          last_idx = c.idx;
          have_last = true;
        }
      }
    }
    EXPECT_TRUE(fixtures::same_rect(block.bbox, block_box));
  }
  EXPECT_LE(synthetic, real);

  std::size_t last_present = n;  // none yet
  for (std::size_t i = 0; i < n; ++i) {
    ASSERT_LE(seen[i], 1) << "glyph " << i << " laid out twice";
    const Glyph& g = page.glyphs[i];
    const bool alone = !clip || kept_alone(page, i, clip);
    if (seen[i] == 1) {
      EXPECT_TRUE(alone) << "glyph " << i << " should have been clipped";
      last_present = i;
      continue;
    }
    if (!alone) continue;  // clipped
    // Otherwise only a duplicate of the char filed just before it is dropped,
    // and repeats and combining marks are never dropped that way.
    ASSERT_NE(last_present, n) << "glyph " << i << " lost";
    EXPECT_EQ(page.glyphs[last_present].ch, g.ch) << "glyph " << i << " lost";
    EXPECT_FALSE(g.repeat) << "glyph " << i;
    EXPECT_FALSE(g.ch >= 0x300 && g.ch <= 0x36F) << "glyph " << i;
  }
}

class RandomPages : public ::testing::TestWithParam<unsigned> {};

TEST_P(RandomPages, KeepInvariantsInEveryMode) {
  const PageGlyphs page = random_page(GetParam(), 400);
  for (const std::optional<Rect>& clip :
       {std::optional<Rect>{}, std::optional<Rect>{Rect{0, 0, 200, 300}}}) {
    const std::vector<Block> none = lay_out(page, SortMode::none, clip);
    check_invariants(page, none, clip);
    for (SortMode mode : {SortMode::simple, SortMode::xycut}) {
      const std::vector<Block> sorted = lay_out(page, mode, clip);
      check_invariants(page, sorted, clip);
      // Sorting moves blocks (and, in simple mode, lines) but never chars.
      EXPECT_EQ(signature(sorted), signature(none));
    }
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomPages, ::testing::Range(1u, 41u));

}  // namespace property

}  // namespace
}  // namespace textloom
