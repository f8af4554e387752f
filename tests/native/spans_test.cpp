// make_spans: runs of font name, style, colour and printed size, and the
// superscript mark against the line's first baseline.

#include <gtest/gtest.h>

#include <limits>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

using fixtures::box;
using fixtures::Box;
using Cuts = std::vector<std::pair<std::size_t, std::size_t>>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// 0 and 1 share the name "Serif" (style 4); 2 is "Other"; 3 is an italic "Serif".
const std::vector<FontInfo> kFonts = {make_font_info("Serif", 0, 400, 0, true, 0.8, -0.2),
                                      make_font_info("Serif", 0, 400, 0, true, 0.7, -0.3),
                                      make_font_info("Other", 0, 400, 0, true, 0.8, -0.2),
                                      make_font_info("Serif", kPdfItalic, 400, 0, true, 0.8, -0.2)};

Char at(double x, double y, double size = 10, std::uint32_t font = 0, std::uint32_t color = 0) {
  return Char{{x, y - 0.8 * size, x + 5, y + 0.2 * size}, x, y, size, font, color, 0, 'a', false, false};
}

// The spans of a line of `chars` in direction (dx, dy).
std::vector<Span> spans(std::vector<Char> chars, double dx = 1, double dy = 0,
                        const LayoutParams& params = {}) {
  Line line;
  line.chars = std::move(chars);
  line.dir_x = dx, line.dir_y = dy;
  return make_spans(line, kFonts, params);
}
Cuts cuts(const std::vector<Span>& spans) {
  Cuts out;
  for (const Span& s : spans) out.emplace_back(s.char_start_idx, s.char_end_idx);
  return out;
}

TEST(MakeSpans, EmptyLineAndOneChar) {
  EXPECT_TRUE(spans({}).empty());
  const std::vector<Span> one = spans({at(3, 100, 10, 2, 0xABCDEF)});
  ASSERT_EQ(cuts(one), (Cuts{{0, 1}}));
  EXPECT_EQ(box(one[0].bbox), Box({3, 92, 8, 102}));
  EXPECT_EQ(std::tie(one[0].size, one[0].font, one[0].color, one[0].flags),
            std::make_tuple(10.0, 2u, 0xABCDEFu, kStyleSerif));
}

TEST(MakeSpans, NameStyleAndColourSplitFontRecordsDoNot) {
  const std::vector<Span> one = spans({at(0, 100, 10, 1), at(5, 100, 10, 0), at(10, 100, 10, 1)});
  ASSERT_EQ(cuts(one), (Cuts{{0, 3}}));
  EXPECT_EQ(std::tuple(one[0].font, one[0].bbox.x0, one[0].bbox.x1), std::tuple(1u, 0.0, 15.0));
  EXPECT_EQ(cuts(spans({at(0, 100), at(5, 100, 10, 2), at(10, 100)})), (Cuts{{0, 1}, {1, 2}, {2, 3}}));
  EXPECT_EQ(cuts(spans({at(0, 100), at(5, 100, 10, 3)})), (Cuts{{0, 1}, {1, 2}}));
  EXPECT_EQ(cuts(spans({at(0, 100), at(5, 100, 10, 0, 1)})), (Cuts{{0, 1}, {1, 2}}));
}

// Two sizes on one baseline: one span when they print alike at three decimals.
TEST(MakeSpans, SizesComparedAtThreeDecimals) {
  for (const auto& [first, second, one_span] : std::vector<std::tuple<double, double, bool>>{
           {12, 12, true}, {12, 12.0004, true}, {12, 12.001, false}, {10.0004, 9.9996, true},
           {12, 12.0015, false}, {0.0, -0.0, true}, {0.0004, -0.0004, false}, {kNaN, kNaN, true},
           {kNaN, -kNaN, true}, {kNaN, 12, false}, {12, kNaN, false}, {-12, -12.0004, true},
           {1e300, 1e300 * (1 + 1e-15), false}}) {
    EXPECT_EQ(spans({at(0, 100, first), at(5, 100, second)}).size(), one_span ? 1u : 2u)
        << first << " " << second;
  }
}

TEST(MakeSpans, SuperscriptAgainstTheFirstBaseline) {
  // First char on y = 100, size 10: raised means above 100 - 2.1.
  const std::vector<Span> s = spans({at(0, 100), at(5, 98), at(10, 97.8), at(15, 97.8), at(20, 100)});
  ASSERT_EQ(cuts(s), (Cuts{{0, 2}, {2, 4}, {4, 5}}));
  EXPECT_EQ(std::tuple(s[0].flags, s[1].flags, s[2].flags),
            std::tuple(kStyleSerif, kStyleSerif | kStyleSuperscript, kStyleSerif));
  // A raised first char is its own reference.
  EXPECT_EQ(cuts(spans({at(0, 95), at(5, 100), at(10, 95)})), (Cuts{{0, 3}}));
  // The rise is the caller's script_offset: 2.2 is not raised by 0.25 em, 2.6 is.
  LayoutParams params;
  params.script_offset = 0.25;
  EXPECT_EQ(cuts(spans({at(0, 100), at(5, 97.8), at(10, 97.4)}, 1, 0, params)),
            (Cuts{{0, 2}, {2, 3}}));
}

TEST(MakeSpans, OnlyHorizontalLinesGetSuperscripts) {
  for (double dx : {0.0, 0.998, -1.0}) {
    EXPECT_EQ(cuts(spans({at(0, 100), at(5, 90)}, dx, std::sqrt(1 - dx * dx))), (Cuts{{0, 2}})) << dx;
  }
  for (double dx : {0.999, kNaN}) {
    EXPECT_EQ(cuts(spans({at(0, 100), at(5, 90)}, dx, 0)), (Cuts{{0, 1}, {1, 2}})) << dx;
  }
}

TEST(MakeSpans, NegativeSizeRaisesByItsMagnitude) {
  const std::vector<Span> s = spans({at(0, 100, -10), at(5, 100, -10), at(10, 97.8, -10)});
  ASSERT_EQ(cuts(s), (Cuts{{0, 2}, {2, 3}}));
  EXPECT_EQ(std::tuple(s[0].flags, s[1].flags, s[0].size),
            std::tuple(kStyleSerif, kStyleSerif | kStyleSuperscript, -10.0));
}

TEST(MakeSpans, NaNBoxesYieldToNumbers) {
  Char odd = at(5, 100);
  odd.bbox = {kNaN, kNaN, kNaN, kNaN};
  const std::vector<Span> s = spans({odd, at(10, 100)});
  ASSERT_EQ(cuts(s), (Cuts{{0, 2}}));
  EXPECT_EQ(box(s[0].bbox), Box({10, 92, 15, 102}));
}

TEST(MakeSpansDeathTest, FontIndexOutsideTheListAborts) {
  EXPECT_DEATH(spans({at(0, 100), at(5, 100, 10, 9)}), "");
}

}  // namespace
}  // namespace textloom
