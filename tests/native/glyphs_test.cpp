// Font classification and vertical-metric repair of the FontInfo constructor.

#include "glyphs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <tuple>

namespace textloom {
namespace {

struct StyleCase {
  const char* name;
  std::uint32_t flags;
  std::int32_t weight;
  std::int32_t italic_angle;
  bool embedded;
  std::uint32_t style;
};

void PrintTo(const StyleCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class FontStyle : public ::testing::TestWithParam<StyleCase> {};

TEST_P(FontStyle, Classifies) {
  const StyleCase& c = GetParam();
  const FontInfo f = make_font_info(c.name, c.flags, c.weight, c.italic_angle, c.embedded, 0.8, -0.2);
  EXPECT_EQ(f.style, c.style) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FontStyle,
    ::testing::Values(
        // Bold by name; weight 700 alone is not enough (needs 750).
        StyleCase{"Arial-BoldMT", 32, 700, 0, false, kStyleBold},
        StyleCase{"Arial", 0, 700, 0, false, 0},
        StyleCase{"Arial", 0, 750, 0, false, kStyleBold},
        StyleCase{"Arial", kPdfForceBold, 400, 0, false, kStyleBold},
        // FixedPitch makes Courier monospaced; serif only when embedded or flagged.
        StyleCase{"Courier", kPdfFixedPitch, 400, 0, false, kStyleMono},
        StyleCase{"Courier", kPdfFixedPitch, 400, 0, true, kStyleMono | kStyleSerif},
        StyleCase{"Courier", kPdfFixedPitch | kPdfSerif, 400, 0, false, kStyleMono | kStyleSerif},
        // A sans name vetoes the Serif and FixedPitch flags, not the name tests.
        StyleCase{"Helvetica", kPdfSerif, 400, 0, false, 0},
        StyleCase{"Helvetica", kPdfFixedPitch, 400, 0, false, 0},
        StyleCase{"LiberationSans-Mono", kPdfFixedPitch, 400, 0, false, kStyleMono},
        // Anchored Computer Modern alternatives.
        StyleCase{"CMBX10", 0, 400, 0, false, kStyleBold},
        StyleCase{"XYZ-CMBX10", 0, 400, 0, false, 0},
        StyleCase{"CMR10", 0, 400, 0, false, kStyleSerif},
        StyleCase{"CMTT10", 0, 400, 0, false, kStyleMono},
        StyleCase{"CMB10", 0, 400, 0, false, kStyleBold},
        // Italic by angle (strictly below -1), flag or name.
        StyleCase{"Foo", 0, 400, -1, false, 0},
        StyleCase{"Foo", 0, 400, -2, false, kStyleItalic},
        StyleCase{"Foo", kPdfItalic, 400, 0, false, kStyleItalic},
        StyleCase{"Times-Italic", 0, 400, 0, false, kStyleItalic | kStyleSerif},
        StyleCase{"Foo-It", 0, 400, 0, false, kStyleItalic},
        StyleCase{"Foo-Ital", 0, 400, 0, false, kStyleItalic},
        StyleCase{"Foo-Items", 0, 400, 0, false, 0},
        // \b has its Unicode meaning: a letter before "bd" is part of the word.
        StyleCase{"Foo Bd", 0, 400, 0, false, kStyleBold},
        StyleCase{"FooBd", 0, 400, 0, false, 0},
        StyleCase{"Fooébd", 0, 400, 0, false, 0},
        // Case-insensitive.
        StyleCase{"GEORGIA-BOLD", 0, 400, 0, false, kStyleBold | kStyleSerif},
        // Empty name, embedded: serif only.
        StyleCase{"", 0, 400, 0, true, kStyleSerif}));

// Raw ascent and descent stay; the box pair is stretched to one unit when
// smaller, kept when larger, and a degenerate pair (not a NaN one) becomes
// the Latin default.
TEST(FontMetrics, BoxPairIsRepaired) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const auto& [a, d, ascender, descender] :
       {std::tuple{0.7, -0.2, 0.7 / 0.9, -0.2 / 0.9}, {0.9, -0.3, 0.9, -0.3}, {0.0, 0.0, 0.8, -0.2},
        {-0.5, 0.3, 0.8, -0.2}, {0.0, 0.1, 0.8, -0.2}, {nan, 0.0, nan, 0.0}}) {
    const FontInfo f = make_font_info("F", 0, 400, 0, false, a, d);
    EXPECT_TRUE(std::abs(f.ascender - ascender) < 1e-15 || (std::isnan(f.ascender) && std::isnan(ascender)));
    EXPECT_NEAR(f.descender, descender, 1e-15) << a;
    EXPECT_TRUE(f.ascent == a || std::isnan(a));
    EXPECT_EQ(f.descent, d);
  }
}

TEST(SubsetPrefix, RemovesSixCapitalsAndPlus) {
  for (const auto& [name, stripped] : {std::pair{"ABCDEF+Times-Bold", "Times-Bold"},
                                       {"ABCDE+Times", "ABCDE+Times"}, {"abcdef+Times", "abcdef+Times"},
                                       {"XTimes+ABCDEF+", "XTimes+ABCDEF+"}, {"ABCDEF+", ""}, {"", ""}}) {
    EXPECT_EQ(strip_subset_prefix(name), stripped);
  }
}

}  // namespace
}  // namespace textloom
