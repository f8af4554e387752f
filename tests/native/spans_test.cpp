// make_spans: runs of font name, style, colour and printed size, and the
// superscript mark against the line's first baseline.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"

namespace textloom {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<FontInfo> fonts() {
  return {make_font_info("Serif", 0, 400, 0, true, 0.8, -0.2),        // 0: style 4
          make_font_info("Serif", 0, 400, 0, true, 0.7, -0.3),        // 1: same name
          make_font_info("Other", 0, 400, 0, true, 0.8, -0.2),        // 2
          make_font_info("Serif", kPdfItalic, 400, 0, true, 0.8, -0.2)};  // 3: italic
}

Char at(double x, double y, double size = 10, std::uint32_t font = 0, std::uint32_t color = 0) {
  return Char{{x, y - 0.8 * size, x + 5, y + 0.2 * size}, x, y, size, font, color, 0, 'a',
              false, false};
}

Line line_of(std::vector<Char> chars, double dir_x = 1, double dir_y = 0) {
  Line line;
  line.chars = std::move(chars);
  line.dir_x = dir_x;
  line.dir_y = dir_y;
  return line;
}

// The spans as [start, end) pairs.
std::vector<std::pair<std::size_t, std::size_t>> cuts(const std::vector<Span>& spans) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  for (const Span& s : spans) out.emplace_back(s.char_start_idx, s.char_end_idx);
  return out;
}

using Cuts = std::vector<std::pair<std::size_t, std::size_t>>;

TEST(MakeSpans, EmptyLine) { EXPECT_TRUE(make_spans(Line{}, fonts()).empty()); }

TEST(MakeSpans, OneChar) {
  const std::vector<Span> spans = make_spans(line_of({at(3, 100, 10, 2, 0xABCDEF)}), fonts());
  ASSERT_EQ(cuts(spans), (Cuts{{0, 1}}));
  EXPECT_EQ(spans[0].bbox.x0, 3);
  EXPECT_EQ(spans[0].bbox.y0, 92);
  EXPECT_EQ(spans[0].bbox.x1, 8);
  EXPECT_EQ(spans[0].bbox.y1, 102);
  EXPECT_EQ(spans[0].size, 10);
  EXPECT_EQ(spans[0].font, 2u);
  EXPECT_EQ(spans[0].color, 0xABCDEFu);
  EXPECT_EQ(spans[0].flags, kStyleSerif);
}

TEST(MakeSpans, FontRecordsWithOneNameShareASpan) {
  const std::vector<Span> spans =
      make_spans(line_of({at(0, 100, 10, 1), at(5, 100, 10, 0), at(10, 100, 10, 1)}), fonts());
  ASSERT_EQ(cuts(spans), (Cuts{{0, 3}}));
  EXPECT_EQ(spans[0].font, 1u);
  EXPECT_EQ(spans[0].bbox.x0, 0);
  EXPECT_EQ(spans[0].bbox.x1, 15);
}

TEST(MakeSpans, NameStyleAndColourSplit) {
  EXPECT_EQ(cuts(make_spans(line_of({at(0, 100), at(5, 100, 10, 2), at(10, 100)}), fonts())),
            (Cuts{{0, 1}, {1, 2}, {2, 3}}));
  EXPECT_EQ(cuts(make_spans(line_of({at(0, 100), at(5, 100, 10, 3)}), fonts())),
            (Cuts{{0, 1}, {1, 2}}));
  EXPECT_EQ(cuts(make_spans(line_of({at(0, 100), at(5, 100, 10, 0, 1)}), fonts())),
            (Cuts{{0, 1}, {1, 2}}));
}

struct SizeCase {
  double first;
  double second;
  bool one_span;
};

class SpanSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SpanSizes, ComparedAtThreeDecimals) {
  const SizeCase& c = GetParam();
  // Both on one baseline, far below any superscript rise.
  const std::vector<Span> spans =
      make_spans(line_of({at(0, 100, c.first), at(5, 100, c.second)}), fonts());
  EXPECT_EQ(spans.size(), c.one_span ? 1u : 2u) << c.first << " " << c.second;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SpanSizes,
    ::testing::Values(SizeCase{12.0, 12.0, true}, SizeCase{12.0, 12.0004, true},
                      SizeCase{12.0, 12.001, false}, SizeCase{10.0004, 9.9996, true},
                      SizeCase{12.0, 12.0015, false}, SizeCase{0.0, -0.0, true},
                      SizeCase{0.0004, -0.0004, false}, SizeCase{kNaN, kNaN, true},
                      SizeCase{kNaN, -kNaN, true}, SizeCase{kNaN, 12.0, false},
                      SizeCase{12.0, kNaN, false}, SizeCase{-12.0, -12.0004, true},
                      SizeCase{1e300, 1e300 * (1 + 1e-15), false}));

TEST(MakeSpans, SuperscriptAgainstTheFirstBaseline) {
  // First char on y = 100, size 10: raised means above 100 - 2.1.
  const std::vector<Span> spans = make_spans(
      line_of({at(0, 100), at(5, 98), at(10, 97.8), at(15, 97.8), at(20, 100)}), fonts());
  ASSERT_EQ(cuts(spans), (Cuts{{0, 2}, {2, 4}, {4, 5}}));
  EXPECT_EQ(spans[0].flags, kStyleSerif);
  EXPECT_EQ(spans[1].flags, kStyleSerif | kStyleSuperscript);
  EXPECT_EQ(spans[2].flags, kStyleSerif);
}

TEST(MakeSpans, RaisedFirstCharIsItsOwnReference) {
  const std::vector<Span> spans = make_spans(line_of({at(0, 95), at(5, 100), at(10, 95)}), fonts());
  ASSERT_EQ(cuts(spans), (Cuts{{0, 3}}));
  EXPECT_EQ(spans[0].flags, kStyleSerif);
}

TEST(MakeSpans, OnlyHorizontalLinesGetSuperscripts) {
  for (double dx : {0.0, 0.998, -1.0}) {
    const std::vector<Span> spans =
        make_spans(line_of({at(0, 100), at(5, 90)}, dx, std::sqrt(1 - dx * dx)), fonts());
    EXPECT_EQ(cuts(spans), (Cuts{{0, 2}})) << dx;
  }
  for (double dx : {0.999, kNaN}) {
    const std::vector<Span> spans = make_spans(line_of({at(0, 100), at(5, 90)}, dx, 0), fonts());
    EXPECT_EQ(cuts(spans), (Cuts{{0, 1}, {1, 2}})) << dx;
  }
}

TEST(MakeSpans, NegativeSizeRaisesByItsMagnitude) {
  const std::vector<Span> spans =
      make_spans(line_of({at(0, 100, -10), at(5, 100, -10), at(10, 97.8, -10)}), fonts());
  ASSERT_EQ(cuts(spans), (Cuts{{0, 2}, {2, 3}}));
  EXPECT_EQ(spans[0].flags, kStyleSerif);
  EXPECT_EQ(spans[1].flags, kStyleSerif | kStyleSuperscript);
  EXPECT_EQ(spans[0].size, -10);
}

TEST(MakeSpans, NaNBoxesYieldToNumbers) {
  Char odd = at(5, 100);
  odd.bbox = {kNaN, kNaN, kNaN, kNaN};
  const std::vector<Span> spans = make_spans(line_of({odd, at(10, 100)}), fonts());
  ASSERT_EQ(cuts(spans), (Cuts{{0, 2}}));
  EXPECT_EQ(spans[0].bbox.x0, 10);
  EXPECT_EQ(spans[0].bbox.y1, 102);
}

TEST(MakeSpansDeathTest, FontIndexOutsideTheListAborts) {
  const Line line = line_of({at(0, 100), at(5, 100, 10, 9)});
  EXPECT_DEATH(make_spans(line, fonts()), "");
}

}  // namespace
}  // namespace textloom
