// The text map's ranges and boxes, folding that writes more than it reads,
// and whole-word spans, on hand-built blocks and texts.

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "fold_map.hpp"
#include "glyph_builder.hpp"
#include "search_find.hpp"
#include "search_fold.hpp"
#include "text_map.hpp"

namespace textloom {
namespace {

using fixtures::block_of;
using fixtures::box;
using fixtures::Box;

struct Piece {
  Box box;
  std::size_t block, line;
  bool operator==(const Piece&) const = default;
};

std::vector<Piece> pieces(const TextMap& map, std::size_t start, std::size_t end) {
  std::vector<Piece> out;
  for (const MapFragment& f : map.fragments(start, end)) out.push_back({box(f.bbox), f.block, f.line});
  return out;
}

// Two blocks, numbered 4 and 7: "ab\ncd\n" then "ef\n". Char k of a line
// spans x 10k to 10k + 8; line l of a block has its baseline at 10 + 20 l.
TEST(TextMap, RangesGiveABoxPerLineAndSkipLineFeeds) {
  const TextMap map({block_of({U"ab", U"cd"}, 4), block_of({U"ef"}, 7)}, Xf{600, 800, 0, false});
  EXPECT_EQ(map.code_points(), U"ab\ncd\nef\n");
  EXPECT_EQ(pieces(map, 1, 4), (std::vector<Piece>{{{10, 0, 18, 10}, 4, 0}, {{0, 20, 8, 30}, 4, 1}}));
  EXPECT_EQ(pieces(map, 5, 7), (std::vector<Piece>{{{0, 0, 8, 10}, 7, 0}}));  // from a line feed on
  EXPECT_TRUE(pieces(map, 2, 3).empty());   // a line feed alone
  EXPECT_TRUE(pieces(map, 8, 20).empty());  // the last line feed, and past the end
  EXPECT_TRUE(pieces(map, 3, 3).empty());
}

TEST(TextMap, TurnedViewsMapEachBoxAndNaNCharsAddNothing) {
  std::vector<Block> blocks{block_of({U"abc"})};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  blocks[0].lines[0].chars[0].bbox = {nan, nan, nan, nan};
  blocks[0].lines[0].chars[2].bbox.x1 = nan;
  const TextMap upright(blocks, Xf{600, 800, 90, false});
  EXPECT_EQ(pieces(upright, 0, 3), (std::vector<Piece>{{{10, 0, 18, 10}, 0, 0}}));  // a NaN side: not widened
  const TextMap turned(blocks, Xf{600, 800, 90, true});  // a quarter turn: x from the page's y
  const std::vector<Piece> got = pieces(turned, 1, 2);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].box, box(Xf{600, 800, 90, true}.rc({10, 0, 18, 10})));
}

// Every char folds to two: the output outgrows the input's length, and the
// ASCII runs written after it still land in place.
TEST(SearchFold, FoldsLongerThanTheTextGrowIt) {
  const FoldedText folded = fold_for_search(U"\uFB01\uFB01\uFB01 Ab\uFB01-\nx", false,
                                            [](std::uint32_t) { return std::string_view("fi"); });
  EXPECT_EQ(folded.text, U"fififi abfix");
  EXPECT_EQ(folded.origin, (std::vector<std::int32_t>{0, 0, 1, 1, 2, 2, 3, 4, 5, 6, 6, 9}));
}

// Past many growths, with code points alike in their low bits (which a weak
// hash would pile into a few slots): every fold found, the last one given.
TEST(FoldMap, KeepsEveryFoldThroughGrowthAndAnswersTheLastGiven) {
  FoldMap folds;
  EXPECT_FALSE(folds.find(0xE9));
  for (std::uint32_t k = 0; k < 3000; ++k) folds.insert_or_assign(k << 8, std::to_string(k));
  folds.insert_or_assign(7 << 8, "seven");
  EXPECT_EQ(folds.size(), 3000u);
  for (std::uint32_t k = 0; k < 3000; ++k) {
    ASSERT_EQ(folds.find(k << 8), k == 7 ? "seven" : std::to_string(k)) << k;
    ASSERT_FALSE(folds.find((k << 8) + 1)) << k;
  }
  folds.insert_or_assign(0, "");
  EXPECT_EQ(folds.find(0), "");  // an empty fold is a fold (a mark dropped)
  folds.clear();
  EXPECT_EQ(folds.size(), 0u);
  EXPECT_FALSE(folds.find(7 << 8));
  folds.insert_or_assign(0x10FFFF, "x");
  EXPECT_EQ(folds.find(0x10FFFF), "x");
}

TEST(SearchFind, SpansAreApartAndWholeWordsKeepNeitherEndInsideAWord) {
  EXPECT_EQ(find_all(U"aaaaa", U"aa"), (std::vector<TextSpan>{{0, 2}, {2, 4}}));
  // A match at every place of a text longer than the scan's blocks, alone
  // and after a near miss: none is passed over, none found past the end.
  for (const bool near_miss : {false, true}) {
    for (std::size_t at = 0; at + 2 <= 19; ++at) {
      std::u32string text(19, U'x');
      text[at] = U'a';
      text[at + 1] = U'b';
      if (near_miss && at >= 2) text[at - 2] = U'a';
      EXPECT_EQ(find_all(text, U"ab"), (std::vector<TextSpan>{{at, at + 2}})) << at;
    }
  }
  EXPECT_TRUE(find_all(U"xxxxa", U"ab").empty());
  std::vector<TextSpan> spans = find_all(U"ab xab ab_ ab\u00e9 ab", U"ab");
  bool asked = false;
  keep_whole_words(spans, U"ab xab ab_ ab\u00e9 ab", [&](std::uint32_t cp) {
    asked = true;
    return cp == 0xE9;
  });
  EXPECT_TRUE(asked);
  EXPECT_EQ(spans, (std::vector<TextSpan>{{0, 2}, {15, 17}}));
}

}  // namespace
}  // namespace textloom
