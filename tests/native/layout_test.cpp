// layout_page on hand-built pages: line and block breaks at their thresholds,
// inserted spaces, duplicates, repeats, combining marks, clipping, vertical
// CJK columns, right-to-left lines and negative sizes; and invariants that
// hold on random pages in every sort mode whatever their glyphs (block
// numbers among them).

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "random_pages.hpp"
#include "sort.hpp"

namespace textloom {
namespace {

using namespace fixtures;
using Lines = std::vector<std::u32string>;
using Shape = std::vector<std::size_t>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(LayoutPage, NoGlyphsNoBlocks) {
  PageBuilder b;
  EXPECT_TRUE(lay_out(b.page()).empty());
  b.text(U"abc", 0, 100);
  EXPECT_TRUE(lay_out(b.page(), SortMode::none, Rect{200, 200, 300, 300}).empty());
}

TEST(LayoutPage, SingleGlyphCopiesItsFields) {
  PageBuilder b;
  b.at('A', 10, 100, 10, 6).color = 0x123456;
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{1}));
  const Line& line = blocks[0].lines[0];
  ASSERT_EQ(line.chars.size(), 1u);
  const Char& c = line.chars[0];
  EXPECT_EQ(std::tie(c.origin_x, c.origin_y, c.size, c.color, c.idx, c.ch, c.rtl, c.synthetic),
            std::make_tuple(10.0, 100.0, 10.0, 0x123456u, 0u, std::uint32_t{'A'}, false, false));
  EXPECT_EQ(line.wmode, 0u);
  for (const Rect& r : {c.bbox, line.bbox, blocks[0].bbox}) EXPECT_EQ(box(r), Box({10, 92, 16, 102}));
}

// B placed `gap` em after A's pen end on A's baseline.
class AlongTheLine : public ::testing::TestWithParam<std::pair<double, Lines>> {};

TEST_P(AlongTheLine, BreaksAndSpaces) {
  PageBuilder b;
  b.at('A', 0, 100);
  b.after('B', GetParam().first);
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(blocks.size(), 1u);
  EXPECT_EQ(all_lines(blocks), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, AlongTheLine,
    ::testing::Values(std::pair{0.1, Lines{U"AB"}}, std::pair{0.13, Lines{U"AB"}},
                      std::pair{0.15, Lines{U"A B"}}, std::pair{0.3, Lines{U"A B"}},
                      std::pair{0.84, Lines{U"A B"}}, std::pair{0.86, Lines{U"A", U"B"}},
                      std::pair{0.9, Lines{U"A", U"B"}}, std::pair{-0.1, Lines{U"AB"}},
                      std::pair{-0.5, Lines{U"AB"}}, std::pair{-0.84, Lines{U"AB"}},
                      std::pair{-0.86, Lines{U"A", U"B"}}));

TEST(LayoutPage, GapOfExactlyTheSpaceToleranceIsASpace) {
  PageBuilder b;
  b.at('A', -4, 100, 8, 4);  // pen end at 0
  b.at('B', 1.12, 100, 8, 4);  // 1.12 / 8 is 0.14 exactly in binary too
  EXPECT_EQ(all_lines(lay_out(b.page())), Lines{U"A B"});
}

TEST(LayoutPage, SyntheticSpaceSpansTheGap) {
  PageBuilder b;
  b.at('A', 0, 100);
  b.after('B', 0.3).color = 0xFF0000;
  const std::vector<Block> blocks = lay_out(b.page());
  const Line& line = blocks[0].lines[0];
  ASSERT_EQ(line.chars.size(), 3u);
  const Char& space = line.chars[1];
  EXPECT_EQ(std::tie(space.synthetic, space.ch, space.idx, space.color, space.origin_x, space.origin_y),
            std::make_tuple(true, 0x20u, kSyntheticIdx, 0xFF0000u, 5.0, 100.0));
  EXPECT_EQ(box(space.bbox), Box({5, 92, 8, 102}));
  EXPECT_EQ(line.chars[2].idx, 1u);
  EXPECT_EQ(box(line.chars[2].bbox), Box({8, 92, 13, 102}));
}

// B drawn `drop` em below A's baseline, `dx` right of the line start opened by `first`.
class AcrossTheLine : public ::testing::TestWithParam<std::tuple<char32_t, double, double, Shape>> {};

TEST_P(AcrossTheLine, NewLineOrBlock) {
  const auto& [first, drop, dx, want] = GetParam();
  PageBuilder b;
  b.at(first, 0, 100);
  b.at('B', dx, 100 + drop * 10);
  EXPECT_EQ(shape(lay_out(b.page())), want);
}

// On the baseline a step back to the line start stays on the line; an indent
// beyond 4.1 units opens a block unless a list marker opened the line.
INSTANTIATE_TEST_SUITE_P(
    Drops, AcrossTheLine,
    ::testing::Values(
        std::tuple{U'A', 0.84, 0.0, Shape{1}}, std::tuple{U'A', 0.86, 0.0, Shape{2}},
        std::tuple{U'A', 1.2, 0.0, Shape{2}}, std::tuple{U'A', 1.49, 0.0, Shape{2}},
        std::tuple{U'A', 1.51, 0.0, Shape{1, 1}}, std::tuple{U'A', 1.6, 0.0, Shape{1, 1}},
        std::tuple{U'A', -1.2, 0.0, Shape{2}}, std::tuple{U'A', -1.6, 0.0, Shape{1, 1}},
        std::tuple{U'A', 1.2, 10.0, Shape{1, 1}}, std::tuple{U'\u2022', 1.2, 10.0, Shape{2}},
        std::tuple{U'-', 1.2, 10.0, Shape{2}}, std::tuple{U'\u29BF', 1.2, 10.0, Shape{2}},
        std::tuple{U'A', 1.2, 3.0, Shape{2}}, std::tuple{U'A', 1.2, 4.0, Shape{2}},
        std::tuple{U'A', 1.2, 4.2, Shape{1, 1}}, std::tuple{U'A', 1.2, -20.0, Shape{2}},
        std::tuple{U'\u2022', 1.6, 0.0, Shape{1, 1}}));

TEST(LayoutPage, IndentIsMeasuredFromTheLineStart) {
  PageBuilder b;  // each line 3 right of the one before; the fourth 4.5 past the third
  b.at('A', 0, 100);
  b.at('B', 3, 112);
  b.at('C', 6, 124);
  EXPECT_EQ(shape(lay_out(b.page())), (Shape{3}));
  b.at('D', 10.5, 136);
  EXPECT_EQ(shape(lay_out(b.page())), (Shape{3, 1}));
}

// The second char at (dx, dy) from A: chars kept. Euclidean distance: 0.96
// units drops, 1.04 keeps (neither would by |dx| + |dy|).
class Duplicates : public ::testing::TestWithParam<std::tuple<char32_t, double, double, std::size_t>> {};

TEST_P(Duplicates, SameCharNearbyIsDropped) {
  const auto& [second, dx, dy, chars] = GetParam();
  PageBuilder b;
  b.at('A', 0, 100);
  b.at(second, dx, 100 + dy);
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{1}));
  EXPECT_EQ(blocks[0].lines[0].chars.size(), chars);
}

INSTANTIATE_TEST_SUITE_P(
    Distances, Duplicates,
    ::testing::Values(std::tuple{U'A', 0.0, 0.0, 1u}, std::tuple{U'A', 0.9, 0.0, 1u},
                      std::tuple{U'A', 2.0, 0.0, 2u}, std::tuple{U'B', 0.0, 0.0, 2u},
                      std::tuple{U'A', 0.6, 0.75, 1u}, std::tuple{U'A', 0.6, 0.85, 2u}));

TEST(LayoutPage, ZeroSizeMeasuresInUnitsOfOne) {
  PageBuilder b;
  b.at('A', 0, 100, 0, 0.5);
  b.at('B', 0.8, 100, 0, 0.5);   // 0.3 past A's end: a space
  b.at('C', 1.35, 100, 0, 0.5);  // 0.05 past B's end: touching
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"A BC"}));
  EXPECT_EQ(box(blocks[0].lines[0].chars[0].bbox), Box({0, 100, 0.5, 100}));
}

// A word gap after `prev` becomes a space only after scripts that space words.
class SpaceTest : public ::testing::TestWithParam<std::pair<char32_t, bool>> {};

TEST_P(SpaceTest, AfterPreviousChar) {
  PageBuilder b;
  b.at(GetParam().first, 0, 100, 10, 10);
  b.after('b', 0.5);
  const Lines lines = all_lines(lay_out(b.page()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), GetParam().second ? 3u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, SpaceTest,
    ::testing::Values(std::pair{U'a', true}, std::pair{U'\u03A9', true}, std::pair{U' ', false},
                      std::pair{U'\u4E00', false}, std::pair{U'\u0E01', false},
                      std::pair{U'\u1FFF', false}, std::pair{U'\u2000', true},
                      std::pair{U'\u2014', true}, std::pair{U'\u20CF', true},
                      std::pair{U'\u20D0', false}, std::pair{U'\u2100', false}));

TEST(LayoutPage, NoSpaceBeforeASpaceGlyph) {
  PageBuilder b;
  b.at('a', 0, 100);
  b.after(' ', 0.5);
  b.after('b', 0.5);
  EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{U"a b"}));
}

TEST(LayoutPage, RotatedGlyphsGetTheirRotatedBoxes) {
  PageBuilder b;
  b.text(U"ab", 0, 100);
  b.at('c', 100, 50, 10, 10, 0, 1);  // opens a block; up is +x for a baseline running down
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{1, 1}));
  const Line& line = blocks[1].lines[0];
  EXPECT_EQ(std::pair(line.dir_x, line.dir_y), std::pair(0.0, 1.0));
  EXPECT_EQ(box(line.chars[0].bbox), Box({98, 50, 108, 60}));
  PageBuilder upside_down;
  upside_down.at('a', 50, 100, 10, 5, -1, 0);
  EXPECT_EQ(box(lay_out(upside_down.page())[0].lines[0].chars[0].bbox), Box({45, 98, 50, 108}));
}

TEST(LayoutPage, CombiningMarkJoinsWithItsOwnBox) {
  PageBuilder b;
  b.at('e', 0, 100);
  b.at(0x301, 300, 20, 10, 0);  // far away: still joins its base
  b.at('f', 5.3, 100);          // measured from e's pen end: touching
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"e\u0301f"}));
  EXPECT_EQ(box(blocks[0].lines[0].chars[1].bbox), Box({300, 12, 300, 22}));
  EXPECT_EQ(blocks[0].lines[0].chars[1].origin_x, 300);
}

TEST(LayoutPage, CombiningMarkBecomesThePreviousChar) {
  PageBuilder b;  // the space test looks at the mark, not at the CJK base
  b.at(0x4E00, 0, 100, 10, 10);
  b.at(0x301, 5, 100, 10, 0);
  b.at('b', 13, 100);
  EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{U"\u4E00\u0301 b"}));
  PageBuilder c;  // and the same letter again after its mark is no duplicate
  c.at('A', 0, 100);
  c.at(0x301, 0, 100, 10, 0);
  c.at('A', 0, 100);
  EXPECT_EQ(all_lines(lay_out(c.page())), (Lines{U"A\u0301A"}));
}

TEST(LayoutPage, SpaceBeforeFlag) {
  for (const auto& [gap, flag, text] : std::vector<std::tuple<double, bool, std::u32string>>{
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
  EXPECT_EQ(box(rep.bbox), Box({5, 92, 5, 102}));
  EXPECT_EQ(std::pair(rep.origin_x, rep.idx), std::pair(5.0, 1u));
}

TEST(LayoutPage, ZeroAdvanceGlyph) {
  for (const auto& [x, text] : {std::pair{1.0, U"AB"}, std::pair{3.0, U"A B"}}) {
    PageBuilder b;
    b.at('A', 0, 100, 10, 0);
    b.at('B', x, 100);
    const std::vector<Block> blocks = lay_out(b.page());
    EXPECT_EQ(all_lines(blocks), (Lines{text}));
    EXPECT_EQ(box(blocks[0].lines[0].chars[0].bbox), Box({0, 92, 0, 102}));
  }
}

TEST(LayoutPage, NaNDirectionIsNoChangeOfDirection) {
  PageBuilder b;
  b.at('A', 0, 100);
  b.at('A', 0, 100, 10, 5, kNaN, 0);  // the same letter painted again, direction unknown
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(blocks.size(), 1u);
  EXPECT_EQ(all_lines(blocks), Lines{U"A"});
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
  for (const Rect& clip : {Rect{5, 0, 50, 200}, Rect{-50, 102, 50, 200}, Rect{kNaN, kNaN, kNaN, kNaN}}) {
    EXPECT_EQ(texts(clip), (Lines{U"A", U"B"}));
  }
  for (const Rect& clip : {Rect{5.01, 0, 50, 200}, Rect{-50, 0, -0.01, 200}, Rect{-50, 102.01, 50, 200},
                           Rect{-50, 0, 50, 91.99}}) {
    EXPECT_EQ(texts(clip), (Lines{U"B"}));
  }
}

TEST(LayoutPage, ClippedGlyphChangesNoState) {
  PageBuilder b;  // B would otherwise be the duplicate reference and pen end
  b.at('A', 0, 100);
  b.at('B', 500, 100);
  b.at('C', 5.5, 100);
  EXPECT_EQ(all_lines(lay_out(b.page(), SortMode::none, Rect{0, 0, 100, 200})), (Lines{U"AC"}));
}

TEST(LayoutPage, RightToLeftDrawnInVisualOrderIsReversed) {
  PageBuilder b;
  b.text(U"\u05D0\u05D1\u05D2", 0, 100);
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(all_lines(blocks), (Lines{U"\u05D2\u05D1\u05D0"}));
  EXPECT_TRUE(blocks[0].lines[0].chars[0].rtl);
  EXPECT_EQ(box(blocks[0].lines[0].bbox), Box({0, 92, 15, 102}));
}

// Bet (advance 5) drawn at x after alef at 100..105; lines in logical order.
class RightToLeftProgression : public ::testing::TestWithParam<std::pair<double, Lines>> {};

TEST_P(RightToLeftProgression, SpacesAndOrder) {
  PageBuilder b;
  b.at(0x5D0, 100, 100);
  b.at(0x5D1, GetParam().first, 100);
  EXPECT_EQ(all_lines(lay_out(b.page())), GetParam().second) << GetParam().first;
}

// Ends where alef begins; back -0.13 (touching), -0.15 (a word gap), -0.8,
// -0.9 (too far); drawn left to right, with a gap, a small step back, gap 0.9.
INSTANTIATE_TEST_SUITE_P(
    Positions, RightToLeftProgression,
    ::testing::Values(std::pair{95.0, Lines{U"\u05D0\u05D1"}}, std::pair{93.7, Lines{U"\u05D0\u05D1"}},
                      std::pair{93.5, Lines{U"\u05D0 \u05D1"}}, std::pair{87.0, Lines{U"\u05D0 \u05D1"}},
                      std::pair{86.0, Lines{U"\u05D0", U"\u05D1"}},
                      std::pair{105.0, Lines{U"\u05D1\u05D0"}}, std::pair{108.0, Lines{U"\u05D1 \u05D0"}},
                      std::pair{101.0, Lines{U"\u05D1\u05D0"}},
                      std::pair{114.0, Lines{U"\u05D0", U"\u05D1"}}));

TEST(LayoutPage, NonLetterNextToRightToLeftTakesItsRules) {
  // The 2 follows the 1 by 0.2 em, which right-to-left rules read as text
  // drawn left to right: the line is reordered. Latin letters keep their rules.
  for (const auto& [first, second, text] : {std::tuple{U'1', U'2', U"\u05D02 1"},
                                            std::tuple{U'a', U'b', U"\u05D0a b"}}) {
    PageBuilder b;
    b.at(0x5D0, 100, 100);
    b.at(first, 90, 100);
    b.at(second, 97, 100);
    EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{text}));
  }
}

TEST(LayoutPage, DigitsAndParenthesesAroundHebrew) {
  PageBuilder b;
  b.text(U"12", 0, 100);
  b.text(U"\u05D0\u05D1\u05D2", 15, 100);
  b.text(U"(\u05D0\u05D1)", 0, 200);
  EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{U"\u05D2\u05D1\u05D012", U"(\u05D1\u05D0)"}));
}

TEST(LayoutPage, DirectionChangeKeepsAProducerSpace) {
  // Still only where the space test allows: none after CJK.
  for (const auto& [start, flag, text] : {std::tuple{U"ab", true, U"ab \u05D0"},
                                          std::tuple{U"ab", false, U"ab\u05D0"},
                                          std::tuple{U"\u4E00", true, U"\u4E00\u05D0"}}) {
    PageBuilder b;
    b.text(start, 0, 100);
    b.after(0x5D0, 0.3).space_before = flag;
    EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{text})) << flag;
  }
}

TEST(LayoutPage, NegativeSizeMeasuresByMagnitude) {
  PageBuilder b;
  b.text(U"abc", 0, 100, -10);
  b.after('d', 0.3, -10);
  b.after('e', 0.0, -10);
  b.at('x', 0, 112, -10);  // 1.2 em below: a new line, same block
  b.at('c', 100, 50, -10, 10, 0, 1);
  const std::vector<Block> blocks = lay_out(b.page());
  EXPECT_EQ(all_lines(blocks), (Lines{U"abc de", U"x", U"c"}));
  const Line& line = blocks[0].lines[0];
  EXPECT_EQ(line.chars[0].size, -10);
  EXPECT_EQ(box(line.chars[0].bbox), Box({0, 92, 5, 102}));
  EXPECT_EQ(box(line.chars[3].bbox), Box({15, 92, 18, 102}));  // the inserted space
  EXPECT_EQ(box(blocks[1].lines[0].chars[0].bbox), Box({98, 50, 108, 60}));  // rotated: not inverted
  const std::vector<Span> spans = make_spans(line, b.page().fonts, LayoutParams{});
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(std::pair(spans[0].flags & kStyleSuperscript, spans[0].size), std::pair(0u, -10.0));
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
    EXPECT_EQ(box(line.bbox), Box({100, 92, 110, 126}));
  }
}

TEST(LayoutVertical, ColumnsReadRightToLeft) {
  PageBuilder b;
  column(b, 85, 100, 2);   // left column drawn first
  column(b, 100, 100, 3);  // 1.5 sizes to its right, tops level
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(shape(blocks), (Shape{2}));
  EXPECT_EQ(all_lines(blocks), (Lines{U"\u4E00\u4E01\u4E02", U"\u4E00\u4E01"}));
  EXPECT_EQ(blocks[0].lines[0].wmode + blocks[0].lines[1].wmode, 2u);
  EXPECT_EQ(box(blocks[0].bbox), Box({85, 92, 110, 126}));
}

TEST(LayoutVertical, ColumnsMergeUpToTwoAndAHalfSizesApart) {
  // Heads 3 sizes apart vertically stay apart too.
  for (const auto& [apart, down, blocks] : {std::tuple{15.0, 0.0, Shape{2}}, {25.0, 0.0, Shape{2}},
                                            {26.0, 0.0, Shape{1, 1}}, {15.0, 30.0, Shape{1, 1}}}) {
    PageBuilder b;
    column(b, 100 - apart, 100, 2);
    column(b, 100, 100 + down, 2);
    EXPECT_EQ(shape(lay_out(b.page())), blocks) << apart;
  }
}

class Stacking : public ::testing::TestWithParam<std::tuple<double, double, bool>> {};

TEST_P(Stacking, SecondCharJoinsOnlyWhenRightBelow) {
  const auto& [dx, dy, joined] = GetParam();
  PageBuilder b;
  b.at(0x4E00, 100, 100, 10, 10);
  b.at(0x4E01, 100 + dx, 100 + dy, 10, 10);
  const std::vector<Block> blocks = lay_out(b.page());
  ASSERT_EQ(all_lines(blocks).size(), joined ? 1u : 2u);
  EXPECT_EQ(blocks[0].lines[0].wmode, joined ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, Stacking,
    ::testing::Values(std::tuple{0.0, 12.0, true}, std::tuple{2.9, 12.0, true},
                      std::tuple{-2.9, 12.0, true}, std::tuple{4.0, 12.0, false},
                      std::tuple{-4.0, 12.0, false}, std::tuple{0.0, 17.9, true},
                      std::tuple{0.0, 20.0, false}, std::tuple{0.0, 5.1, true},
                      std::tuple{0.0, 4.9, false}));

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

TEST(LayoutVertical, OnlySingleCjkCharsJoin) {
  PageBuilder cjk;  // horizontal CJK lines never join
  cjk.text(U"\u4E00\u4E01", 100, 100, 10, 10);
  cjk.text(U"\u4E02\u4E03", 100, 112, 10, 10);
  cjk.at(0x4E04, 100, 124, 10, 10);
  PageBuilder latin;
  for (int i = 0; i < 3; ++i) latin.at('a', 100, 100 + 12 * i, 10, 10);
  for (PageBuilder* b : {&cjk, &latin}) {
    const std::vector<Block> blocks = lay_out(b->page());
    EXPECT_EQ(shape(blocks), (Shape{3}));
    for (const Line& line : blocks[0].lines) EXPECT_EQ(line.wmode, 0u);
  }
}

TEST(LayoutVertical, EmptiedBlockLeavesNoHoleInNumbers) {
  // 1.6 sizes down opens a block in the glyph pass, which joining takes the
  // character from; the line below it stays in that block, apart from the column.
  for (double ab_y : {128.0, 300.0}) {
    PageBuilder b;
    b.at(0x4E00, 100, 100, 10, 10);
    b.at(0x4E01, 100, 116, 10, 10);
    b.text(U"ab", 100, ab_y);
    const std::vector<Block> blocks = lay_out(b.page());
    ASSERT_EQ(shape(blocks), (Shape{1, 1})) << ab_y;
    EXPECT_EQ(blocks[0].lines[0].wmode, 1u);
    EXPECT_EQ(blocks[0].number + 10 * blocks[1].number, 10u);
  }
}

// ---- invariants on random pages: every glyph laid out once or accounted for ----

std::uint32_t mirrored(std::uint32_t ch) {
  for (const auto& [a, b] : {std::pair{'(', ')'}, {'<', '>'}, {'[', ']'}, {'{', '}'}}) {
    if (ch == static_cast<std::uint32_t>(a)) return static_cast<std::uint32_t>(b);
    if (ch == static_cast<std::uint32_t>(b)) return static_cast<std::uint32_t>(a);
  }
  for (const auto& [a, b] : {std::pair{0xABu, 0xBBu}, {0x2039u, 0x203Au}}) {
    if (ch == a || ch == b) return a + b - ch;
  }
  return ch;
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
    std::vector<std::vector<std::uint32_t>>& lines = out.emplace_back();
    for (const Line& line : block.lines) {
      std::vector<std::uint32_t>& ids = lines.emplace_back();
      for (const Char& c : line.chars) ids.push_back(c.idx);
    }
    merge_sort(lines, [](const auto& a, const auto& b) { return a < b; });
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
    ASSERT_EQ(blocks[b].number, b);
    ASSERT_FALSE(blocks[b].lines.empty());
    Rect block_box = kEmptyRect;
    for (const Line& line : blocks[b].lines) {
      ASSERT_FALSE(line.chars.empty());
      block_box = rect_union(block_box, line.bbox);
      Rect line_box = kEmptyRect;
      bool any_rtl = false;
      for (const Char& c : line.chars) line_box = rect_union(line_box, c.bbox), any_rtl |= c.rtl;
      EXPECT_TRUE(same_rect(line.bbox, line_box));
      std::optional<std::uint32_t> last_idx;
      for (std::size_t k = 0; k < line.chars.size(); ++k) {
        const Char& c = line.chars[k];
        if (c.synthetic) {
          ++synthetic;
          EXPECT_EQ(std::pair(c.ch, c.idx), std::pair(0x20u, kSyntheticIdx));
          // Filed between two real glyphs, unless reordering moved it to an end.
          EXPECT_TRUE(any_rtl || (k > 0 && k + 1 < line.chars.size() && !line.chars[k + 1].synthetic));
          continue;
        }
        ++real;
        ASSERT_LT(c.idx, n);
        const Glyph& g = page.glyphs[c.idx];
        ++seen[c.idx];
        EXPECT_TRUE(c.ch == g.ch || c.ch == mirrored(g.ch));
        EXPECT_EQ(std::pair(c.font, c.color), std::pair(g.font, g.color));
        EXPECT_TRUE(c.size == g.size || (std::isnan(c.size) && std::isnan(g.size)));
        if (!any_rtl) {  // without reordering, chars stay in glyph order
          if (last_idx) {
            EXPECT_LT(*last_idx, c.idx);
          }
          last_idx = c.idx;
        }
      }
    }
    EXPECT_TRUE(same_rect(blocks[b].bbox, block_box));
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
    // and repeats and combining marks never are.
    ASSERT_NE(last_present, n) << "glyph " << i << " lost";
    EXPECT_EQ(page.glyphs[last_present].ch, g.ch) << "glyph " << i << " lost";
    EXPECT_FALSE(g.repeat || (g.ch >= 0x300 && g.ch <= 0x36F)) << "glyph " << i;
  }
}

class RandomPages : public ::testing::TestWithParam<unsigned> {};

TEST_P(RandomPages, KeepInvariantsInEveryMode) {
  const PageGlyphs page = random_page(GetParam());
  for (const std::optional<Rect>& clip : {std::optional<Rect>{}, random_clip(GetParam())}) {
    const std::vector<Block> none = lay_out(page, SortMode::none, clip);
    check_invariants(page, none, clip);
    for (SortMode mode : {SortMode::simple, SortMode::xycut, SortMode::reading}) {
      const std::vector<Block> sorted = lay_out(page, mode, clip);
      check_invariants(page, sorted, clip);
      // Sorting moves blocks (and, in simple mode, lines) but never chars.
      EXPECT_EQ(signature(sorted), signature(none));
    }
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomPages, ::testing::Range(1u, 41u));

}  // namespace
}  // namespace textloom
