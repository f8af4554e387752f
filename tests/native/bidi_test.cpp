// Right-to-left reordering of one line: paragraph direction, number and
// neutral resolution, bracket mirroring and the run reversal, on lines whose
// chars are given left to right as they appear on the page.

#include <gtest/gtest.h>

#include <limits>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

// Hebrew (R), Arabic (AL) and Arabic-Indic digit (AN) stand-ins.
constexpr char32_t H = U'\u05D0';
constexpr char32_t A = U'\u0627';
constexpr char32_t N = U'\u0661';

// A line whose i-th code point stands at x = 10 i, stored right to left so the
// reordering has to sort; each char's idx is its visual position.
Line visual_line(const std::u32string& text) {
  Line line;
  line.rtl_visual = true;
  line.bbox = {1, 2, 3, 4};
  for (std::size_t i = text.size(); i-- > 0;) {
    line.chars.push_back(fixtures::char_at(text[i], 10.0 * static_cast<double>(i)));
    line.chars.back().idx = static_cast<std::uint32_t>(i);
  }
  return line;
}

std::vector<std::uint32_t> idxs(const Line& line) {
  std::vector<std::uint32_t> out;
  for (const Char& c : line.chars) out.push_back(c.idx);
  return out;
}

// The line as it appears, and its chars' visual positions in reading order.
TEST(VisualToLogical, ReadingOrder) {
  using Idx = std::vector<std::uint32_t>;
  for (const auto& [visual, logical] : std::vector<std::pair<std::u32string, Idx>>{
           {{H, H, H}, {2, 1, 0}}, {{U'a', A, A}, {2, 1, 0}},  // Arabic letters count as right-to-left
           // Digits to the left of a Hebrew word keep their order and follow it.
           {{U'1', U'2', U' ', H, H, H}, {5, 4, 3, 2, 0, 1}}, {{N, N, U' ', A, A}, {4, 3, 2, 0, 1}},
           // Latin majority: each Hebrew run turns round in place, neutrals between
           // two of its chars with it, a trailing one not.
           {{U'a', U'b', U' ', H, H, U' ', U'c', U'd'}, {0, 1, 2, 4, 3, 5, 6, 7}},
           {{U'a', U'b', U'c', H, U' ', H}, {0, 1, 2, 5, 4, 3}},
           {{U'a', U'b', U'c', H, H, U'.'}, {0, 1, 2, 4, 3, 5}},
           // Digits next to a Hebrew run in a left-to-right line join the run.
           {{U'a', U'b', U'c', H, H, U'1', U'2'}, {0, 1, 2, 5, 6, 4, 3}}, {{U'1', U'2'}, {0, 1}},
           // Equal counts make a right-to-left paragraph; one more Latin char does not.
           {{U'a', H}, {1, 0}}, {{U'a', U'a', H}, {0, 1, 2}},
           // Right-to-left paragraph: an embedded Latin word keeps its order.
           {{H, H, U' ', U'a', U'b', U' ', H}, {6, 5, 3, 4, 2, 1, 0}},
           {{H, H, H, U' ', U'a', U'b', U'.'}, {6, 4, 5, 3, 2, 1, 0}},
           // A number between Latin chars resolves left, so the space after it
           // stays with the Latin run.
           {{H, H, H, U'a', U'1', U' ', U'b'}, {3, 4, 5, 6, 2, 1, 0}},
           // A number with no strong char on one side resolves right in a
           // right-to-left line, and neutrals see a number's resolved direction.
           {{U'1', U' ', U'a', H, H}, {4, 3, 2, 1, 0}}, {{U'a', U'b', U'c', U'1', U' ', H}, {0, 1, 2, 5, 4, 3}},
           {{H, U' ', U'1', U'a', U'b', U'c'}, {2, 1, 0, 3, 4, 5}},
           {{U'a'}, {0}}, {{H}, {0}}, {{U'('}, {0}}}) {
    Line line = visual_line(visual);
    visual_to_logical(line);
    EXPECT_EQ(idxs(line), logical) << ::testing::PrintToString(logical);
    for (const Char& c : line.chars) {
      EXPECT_EQ(c.origin_x, 10.0 * c.idx);  // chars move whole
      EXPECT_EQ(c.bbox.x0, c.origin_x);
    }
    EXPECT_TRUE(line.rtl_visual);  // the rest of the line is untouched
    EXPECT_EQ(line.bbox.y1, 4);
  }
}

// Mirrored inside a right-to-left run only; between Latin chars (level 0, or
// level 2 inside a right-to-left line) it stays. U+2264 and '/' mirror in
// Unicode but are not among the pairs handled here.
TEST(VisualToLogical, MirrorsPairsInsideRtlRunsOnly) {
  const std::u32string in = U"()<>[]{}\u00AB\u00BB\u2039\u203A\u2264/";
  const std::u32string out = U")(><][}{\u00BB\u00AB\u203A\u2039\u2264/";
  for (std::size_t k = 0; k < in.size(); ++k) {
    Line rtl = visual_line({H, in[k], H});
    visual_to_logical(rtl);
    ASSERT_EQ(idxs(rtl), (std::vector<std::uint32_t>{2, 1, 0}));
    EXPECT_EQ(rtl.chars[1].ch, std::uint32_t{out[k]}) << k;
    Line ltr = visual_line({U'a', in[k], U'b'});
    visual_to_logical(ltr);
    EXPECT_EQ(ltr.chars[1].ch, std::uint32_t{in[k]}) << k;
    Line embedded = visual_line({H, H, H, U'a', in[k], U'b'});
    visual_to_logical(embedded);
    EXPECT_EQ(idxs(embedded), (std::vector<std::uint32_t>{3, 4, 5, 2, 1, 0}));
    EXPECT_EQ(embedded.chars[1].ch, std::uint32_t{in[k]}) << k;
  }
}

TEST(VisualToLogical, EqualOrUnorderedXKeepStoredOrder) {
  for (const double x : {5.0, std::numeric_limits<double>::quiet_NaN()}) {
    Line line = visual_line({H, H, H});  // stored as idx 2, 1, 0
    for (Char& c : line.chars) c.origin_x = x;
    visual_to_logical(line);
    EXPECT_EQ(idxs(line), (std::vector<std::uint32_t>{0, 1, 2})) << x;
  }
}

}  // namespace
}  // namespace textloom
