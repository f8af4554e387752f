// without_offpage_words: the crop box's edges on both sides, words kept whole,
// NaN never taken for outside, and no copy for a page with nothing outside.

#include "visible.hpp"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

using fixtures::PageBuilder;

std::u32string kept(const PageGlyphs& page) {
  std::u32string text;
  for (const Glyph& g : page.glyphs) text += static_cast<char32_t>(g.ch);
  return text;
}

PageBuilder page_100() {
  PageBuilder b;
  b.page().width = 100, b.page().height = 100;
  return b;
}

TEST(WithoutOffpageWords, EdgesOfTheBoxOnBothSides) {
  // Size 10, ascender 0.8, descender -0.2: a glyph's box spans 8 above its
  // baseline and 2 below, and its advance of 5 along it.
  struct Case {
    double x, y;
    bool stays;
  };
  const Case cases[] = {
      {100.0, 50, true}, {100.001, 50, false},  // its left edge on the right one, or past it
      {-5.0, 50, true},  {-5.001, 50, false},   // its right edge on the left one
      {50, 108.0, true}, {50, 108.001, false},  // its top on the bottom edge
      {50, -2.0, true},  {50, -2.001, false},   // its bottom on the top edge
      {NAN, 50, true},                          // no number says it is outside
  };
  for (const Case& c : cases) {
    PageBuilder b = page_100();
    b.at('i', 40, 40);
    b.at('x', c.x, c.y).space_before = true;
    const auto visible = without_offpage_words(b.page());
    EXPECT_EQ(visible.has_value(), !c.stays) << c.x << " " << c.y;
    if (visible) {
      EXPECT_EQ(kept(*visible), U"i");
    }
  }
}

TEST(WithoutOffpageWords, AWordReachingIntoTheBoxStaysWhole) {
  PageBuilder b = page_100();
  b.text(U"edge", 93, 50);            // e at 93 inside; g and the last e past 100
  b.after('o', 0.5).space_before = true;  // the next word, wholly outside
  b.after('u', 0.0);
  b.after('t', 0.2);                  // a gap wider than the touching gap: a word of its own
  b.at('z', 200, 50);                 // no space, but far from the pen: another word
  const auto visible = without_offpage_words(b.page());
  ASSERT_TRUE(visible.has_value());
  EXPECT_EQ(kept(*visible), U"edge");
  EXPECT_EQ(visible->fonts.size(), b.page().fonts.size());
  EXPECT_FALSE(without_offpage_words(PageGlyphs{}).has_value());  // nothing outside: no copy
}

}  // namespace
}  // namespace textloom
