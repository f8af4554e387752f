// Font classification and vertical-metric repair of the FontInfo constructor.

#include "glyphs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

namespace textloom {
namespace {

// Name, flags, weight, italic angle, embedded: the style.
TEST(FontStyle, Classifies) {
  struct Row {
    const char* name;
    std::uint32_t flags;
    std::int32_t weight, italic_angle;
    bool embedded;
    std::uint32_t style;
  };
  for (const Row& c : std::vector<Row>{
           // Bold by name; weight 700 alone is not enough (needs 750).
           {"Arial-BoldMT", 32, 700, 0, false, kStyleBold}, {"Arial", 0, 700, 0, false, 0},
           {"Arial", 0, 750, 0, false, kStyleBold}, {"Arial", kPdfForceBold, 400, 0, false, kStyleBold},
           // FixedPitch makes Courier monospaced; serif only when embedded or flagged.
           {"Courier", kPdfFixedPitch, 400, 0, false, kStyleMono},
           {"Courier", kPdfFixedPitch, 400, 0, true, kStyleMono | kStyleSerif},
           {"Courier", kPdfFixedPitch | kPdfSerif, 400, 0, false, kStyleMono | kStyleSerif},
           // A sans name vetoes the Serif and FixedPitch flags, not the name tests.
           {"Helvetica", kPdfSerif, 400, 0, false, 0}, {"Helvetica", kPdfFixedPitch, 400, 0, false, 0},
           {"LiberationSans-Mono", kPdfFixedPitch, 400, 0, false, kStyleMono},
           // Anchored Computer Modern alternatives.
           {"CMBX10", 0, 400, 0, false, kStyleBold}, {"XYZ-CMBX10", 0, 400, 0, false, 0},
           {"CMR10", 0, 400, 0, false, kStyleSerif}, {"CMTT10", 0, 400, 0, false, kStyleMono},
           {"CMB10", 0, 400, 0, false, kStyleBold},
           // Italic by angle (strictly below -1), flag or name.
           {"Foo", 0, 400, -1, false, 0}, {"Foo", 0, 400, -2, false, kStyleItalic},
           {"Foo", kPdfItalic, 400, 0, false, kStyleItalic},
           {"Times-Italic", 0, 400, 0, false, kStyleItalic | kStyleSerif},
           {"Foo-It", 0, 400, 0, false, kStyleItalic}, {"Foo-Ital", 0, 400, 0, false, kStyleItalic},
           {"Foo-Items", 0, 400, 0, false, 0},
           // \b has its Unicode meaning: a letter before "bd" is part of the word.
           {"Foo Bd", 0, 400, 0, false, kStyleBold}, {"FooBd", 0, 400, 0, false, 0},
           {"Fooébd", 0, 400, 0, false, 0},
           // Case-insensitive; an empty name, embedded: serif only.
           {"GEORGIA-BOLD", 0, 400, 0, false, kStyleBold | kStyleSerif}, {"", 0, 400, 0, true, kStyleSerif}}) {
    const FontInfo f = make_font_info(c.name, c.flags, c.weight, c.italic_angle, c.embedded, 0.8, -0.2);
    EXPECT_EQ(f.style, c.style) << '"' << c.name << '"' << c.weight << c.italic_angle << c.embedded;
  }
}

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
