// text_signals: the shares on both sides of their thresholds, the union of
// overlapping images, and damaged image boxes left out.

#include "signals.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

using fixtures::PageBuilder;

PageBuilder page_100() {
  PageBuilder b;
  b.page().width = 100, b.page().height = 100;
  return b;
}

TEST(TextSignals, GarbledWhenMostCharsHaveNoUnicode) {
  for (const auto& [text, garbled] : {std::pair{U"\uE000\uFFFDab\uF8FF", true},  // 3 of 5
                                      std::pair{U"\uE000\uFFFDabc", false}}) {    // 2 of 5
    PageBuilder b = page_100();
    b.text(text, 10, 50);
    const TextSignals s = text_signals(b.page());
    EXPECT_EQ(s.chars, 5u);
    EXPECT_EQ(std::pair(s.needs_ocr, s.reason == "garbled"), std::pair(garbled, garbled));
  }
}

// Latin letters far from any language's share of vowels read as a font with the
// wrong codes; 200 letters at least are judged, on both sides of each share.
TEST(TextSignals, GarbledWhenLettersAreFarFromAnyLanguage) {
  struct Case {
    std::size_t vowels, consonants;
    bool garbled;
  };
  const Case cases[] = {{29, 171, true},  {30, 170, false},   // 14.5% and 15% vowels
                        {140, 60, false}, {141, 59, true},    // 70% and 70.5%
                        {0, 199, false}};                     // too few letters to tell
  for (const Case& c : cases) {
    PageBuilder b = page_100();
    double x = 0;
    for (std::size_t k = 0; k < c.vowels + c.consonants; ++k, x += 5) {
      b.at(k < c.vowels ? 'e' : 't', x, 50);
    }
    const TextSignals s = text_signals(b.page());
    EXPECT_EQ(std::pair(s.needs_ocr, s.reason == "garbled"), std::pair(c.garbled, c.garbled))
        << c.vowels << " " << c.consonants;
  }
}

TEST(TextSignals, ScansHaveNoTextAndImagesOverHalfThePage) {
  using Boxes = std::vector<Rect>;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    Boxes images;
    double cover;
  };
  const Case cases[] = {
      {{{0, 0, 100, 50}}, 0.5},                      // half: a scan
      {{{0, 0, 100, 49}}, 0.49},                     // less: not
      {{{0, 0, 60, 100}, {40, 0, 100, 100}}, 1.0},   // overlapping: counted once
      {{{-50, -50, 150, 150}}, 1.0},                 // past the page: clipped
      {{{nan, 0, 100, 100}, {0, 0, 10, 10}}, 0.01},  // NaN: left out
  };
  for (const Case& c : cases) {
    PageBuilder b = page_100();
    b.page().images = c.images;
    const TextSignals s = text_signals(b.page());
    EXPECT_NEAR(s.image_cover, c.cover, 1e-12);
    EXPECT_EQ(s.needs_ocr, c.cover >= 0.5);
    EXPECT_EQ(s.reason, c.cover >= 0.5 ? "no text" : "");
  }
  PageBuilder text = page_100();  // text over a full-page image: an OCR layer, read as it is
  text.page().images = {{0, 0, 100, 100}};
  text.text(U"ab", 10, 50);
  text.page().glyphs[0].invisible = true;
  const TextSignals s = text_signals(text.page());
  EXPECT_EQ(std::tuple(s.needs_ocr, s.invisible, s.words), std::tuple(false, 0.5, 1u));
}

TEST(TextSignals, OffpageWordsShare) {
  PageBuilder b = page_100();
  b.text(U"in", 10, 50);
  b.text(U"out", 300, 50);
  EXPECT_EQ(text_signals(b.page()).offpage, 0.5);
}

}  // namespace
}  // namespace textloom
