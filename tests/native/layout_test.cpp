// layout_page on hand-built pages: line and block breaks at their thresholds,
// inserted spaces, duplicates, clipping, vertical CJK columns, right-to-left
// gaps and negative sizes; and invariants that hold on random pages in every
// sort mode whatever their glyphs (block numbers among them). What has no
// threshold of its own (boxes of repeats, marks and rotated glyphs, fields
// copied) is held by the digest guard, layout_digest_test.cpp.

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

// B placed `gap` em after A's pen end on A's baseline, with space_before or not.
TEST(LayoutPage, AlongTheLineBreaksAndSpaces) {
  for (const auto& [gap, flag, lines] : std::vector<std::tuple<double, bool, Lines>>{
           {0.13, false, {U"AB"}}, {0.15, false, {U"A B"}}, {0.84, false, {U"A B"}},
           {0.86, false, {U"A", U"B"}}, {-0.84, false, {U"AB"}}, {-0.86, false, {U"A", U"B"}},
           {0.05, true, {U"A B"}}, {-0.45, true, {U"A B"}}, {-0.47, true, {U"AB"}},
           {0.84, true, {U"A B"}}}) {
    PageBuilder b;
    b.at('A', 0, 100);
    b.after('B', gap).space_before = flag;
    EXPECT_EQ(all_lines(lay_out(b.page())), lines) << gap << " " << flag;
  }
}

// B drawn `drop` em below A's baseline, `dx` right of the line start opened by
// `first`: on the baseline a step back to the line start stays on the line; an
// indent beyond 4.1 units opens a block unless a list marker opened the line.
TEST(LayoutPage, AcrossTheLineNewLineOrBlock) {
  for (const auto& [first, drop, dx, want] : std::vector<std::tuple<char32_t, double, double, Shape>>{
           {U'A', 0.84, 0, {1}}, {U'A', 0.86, 0, {2}}, {U'A', 1.49, 0, {2}}, {U'A', 1.51, 0, {1, 1}},
           {U'A', -1.2, 0, {2}}, {U'A', -1.6, 0, {1, 1}}, {U'A', 1.2, 4.0, {2}}, {U'A', 1.2, 4.2, {1, 1}},
           {U'\u2022', 1.2, 10, {2}}, {U'-', 1.2, 10, {2}}, {U'\u29BF', 1.2, 10, {2}},
           {U'A', 1.2, -20, {2}}, {U'\u2022', 1.6, 0, {1, 1}}}) {
    PageBuilder b;
    b.at(first, 0, 100);
    b.at('B', dx, 100 + drop * 10);
    EXPECT_EQ(shape(lay_out(b.page())), want) << drop << " " << dx;
  }
}

// 1.12 / 8 is 0.14 exactly in binary too: a gap of exactly the space tolerance.
TEST(LayoutPage, GapOfExactlyTheSpaceToleranceIsASpace) {
  PageBuilder b;
  b.at('A', -4, 100, 8, 4);  // pen end at 0
  b.at('B', 1.12, 100, 8, 4);
  EXPECT_EQ(all_lines(lay_out(b.page())), Lines{U"A B"});
}

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
TEST(LayoutPage, SameCharNearbyIsDropped) {
  for (const auto& [second, dx, dy, chars] : std::vector<std::tuple<char32_t, double, double, std::size_t>>{
           {U'A', 0, 0, 1}, {U'A', 0.9, 0, 1}, {U'A', 2, 0, 2}, {U'B', 0, 0, 2}, {U'A', 0.6, 0.75, 1},
           {U'A', 0.6, 0.85, 2}}) {
    PageBuilder b;
    b.at('A', 0, 100);
    b.at(second, dx, 100 + dy);
    const std::vector<Block> blocks = lay_out(b.page());
    ASSERT_EQ(shape(blocks), (Shape{1}));
    EXPECT_EQ(blocks[0].lines[0].chars.size(), chars) << dx << " " << dy;
  }
}

// A word gap after `prev` becomes a space only after scripts that space words.
TEST(LayoutPage, SpaceAfterPreviousChar) {
  for (const auto& [prev, spaced] : std::vector<std::pair<char32_t, bool>>{
           {U'a', true}, {U'\u03A9', true}, {U' ', false}, {U'\u4E00', false}, {U'\u0E01', false},
           {U'\u1FFF', false}, {U'\u2000', true}, {U'\u2014', true}, {U'\u20CF', true},
           {U'\u20D0', false}, {U'\u2100', false}}) {
    PageBuilder b;
    b.at(prev, 0, 100, 10, 10);
    b.after('b', 0.5);
    EXPECT_EQ(all_lines(lay_out(b.page())), (Lines{spaced ? std::u32string{prev, U' ', U'b'}
                                                          : std::u32string{prev, U'b'}}))
        << std::hex << static_cast<std::uint32_t>(prev);
  }
}

// A space PDFium reports stays after Hangul and Thai, whose words inserted gaps
// never split, and is still left out after Han and Kana.
TEST(LayoutPage, ReportedSpacesInSpacedScripts) {
  for (const auto& [first, second, reported, gap, spaced] :
       std::vector<std::tuple<char32_t, char32_t, bool, double, bool>>{
           {U'\uD55C', U'\uAE00', true, 0.05, true}, {U'\uD55C', U'\uAE00', false, 0.3, false},
           {U'\u0E01', U'\u0E02', true, 0.05, true}, {U'\u6F22', U'\u5B57', true, 0.05, false},
           {U'\u30AB', U'\u30CA', true, 0.05, false}}) {
    PageBuilder b;
    b.at(first, 0, 100);
    b.after(second, gap).space_before = reported;
    EXPECT_EQ(all_lines(lay_out(b.page())),
              (Lines{spaced ? std::u32string{first, U' ', second} : std::u32string{first, second}}))
        << std::hex << static_cast<std::uint32_t>(first);
  }
}

// The same letter painted again with no direction is no change of direction
// (a duplicate, dropped); a NaN origin opens a block.
TEST(LayoutPage, NaNDirectionAndNaNOrigin) {
  PageBuilder b;
  b.at('A', 0, 100);
  b.at('A', 0, 100, 10, 5, kNaN, 0);
  EXPECT_EQ(all_lines(lay_out(b.page())), Lines{U"A"});
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

// Bet (advance 5) drawn at x after alef at 100..105; lines in logical order.
// Ends where alef begins; back -0.13 (touching), -0.15 (a word gap), -0.8,
// -0.9 (too far); drawn left to right, with a gap, a small step back, gap 0.9.
TEST(LayoutPage, RightToLeftSpacesAndOrder) {
  constexpr char32_t kAlef = U'\u05D0', kBet = U'\u05D1';
  const Lines joined{{kAlef, kBet}}, spaced{{kAlef, U' ', kBet}}, apart{{kAlef}, {kBet}};
  for (const auto& [x, lines] : std::vector<std::pair<double, Lines>>{
           {95, joined}, {93.7, joined}, {93.5, spaced}, {87, spaced}, {86, apart},
           {105, {{kBet, kAlef}}}, {108, {{kBet, U' ', kAlef}}}, {101, {{kBet, kAlef}}}, {114, apart}}) {
    PageBuilder b;
    b.at(kAlef, 100, 100);
    b.at(kBet, x, 100);
    EXPECT_EQ(all_lines(lay_out(b.page())), lines) << x;
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
}

// A column of `n` single CJK characters of size 10 at x, from y down 12 apart.
void column(PageBuilder& b, double x, double y, int n) {
  for (int i = 0; i < n; ++i) b.at(0x4E00u + static_cast<std::uint32_t>(i), x, y + i * 12, 10, 10);
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

// The second of two CJK chars at (dx, dy) from the first: one column or two lines.
TEST(LayoutVertical, SecondCharJoinsOnlyWhenRightBelow) {
  for (const auto& [dx, dy, joined] : std::vector<std::tuple<double, double, bool>>{
           {0, 12, true}, {2.9, 12, true}, {-2.9, 12, true}, {4, 12, false}, {-4, 12, false},
           {0, 17.9, true}, {0, 20, false}, {0, 5.1, true}, {0, 4.9, false}}) {
    PageBuilder b;
    b.at(0x4E00, 100, 100, 10, 10);
    b.at(0x4E01, 100 + dx, 100 + dy, 10, 10);
    const std::vector<Block> blocks = lay_out(b.page());
    ASSERT_EQ(all_lines(blocks).size(), joined ? 1u : 2u) << dx << " " << dy;
    EXPECT_EQ(blocks[0].lines[0].wmode, joined ? 1u : 0u) << dx << " " << dy;
  }
}

// ---- invariants on random pages: every glyph laid out once or accounted for ----

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
        EXPECT_TRUE(c.ch == g.ch || any_rtl);  // brackets mirror in right-to-left lines
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
