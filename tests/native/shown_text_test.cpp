// The rules of what filled fields and free text show: wrapping, placement,
// sizes, the checked mark.

#include "shown_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace textloom {
namespace {

using Line = std::tuple<std::string, double, double>;  // text, x1, top

std::vector<Line> lines(std::u32string_view text, double width, bool multiline = true,
                        double size = 10) {
  std::vector<Line> out;
  for (const PlacedRun& run : shown_lines(text, Rect{0, 0, width, 100}, size, multiline, true)) {
    EXPECT_DOUBLE_EQ(run.x0, kShownPadding);
    EXPECT_DOUBLE_EQ(run.y1 - run.y0, size * kShownDepth);
    out.emplace_back(run.text, run.x1, run.y0);
  }
  return out;
}

// 54 points hold (54 - 4) / 5 = 10 characters of size 10.
TEST(ShownLines, WrapsAsTextwrapDoes) {
  struct Row {
    std::u32string text;
    std::vector<std::string> want;
  };
  const std::vector<Row> rows = {
      {U"alpha beta gamma", {"alpha beta", "gamma"}},        // 10 fit, the 11th does not
      {U"alpha  betagamma", {"alpha", "betagamma"}},         // spaces dropped at the break
      {U"well-known-ish", {"well-", "known-ish"}},           // after a hyphen between letters
      {U"abcdefghijklmno", {"abcdefghij", "klmno"}},         // a word longer than a line cut
      {U"ab-cdefghijklmno", {"ab-cdefghi", "jklmno"}},       // a long word fills the line
      {U"12-345678901", {"12-", "345678901"}},               // long, cut after its hyphen
      {U"\tx", {"        x"}},                               // a tab to column 8, kept first
  };
  for (const Row& row : rows) {
    std::vector<std::string> got;
    for (const auto& [text, x1, top] : lines(row.text, 54)) got.push_back(text);
    EXPECT_EQ(got, row.want) << row.want.front();
  }
}

TEST(ShownLines, MultiLineFromTheTopSingleLineCentred) {
  // A blank paragraph keeps its place; a line ends after its characters, within the padding.
  EXPECT_EQ(lines(U"ab\r\n\ncd efghijklmnop", 54),
            (std::vector<Line>{{"ab", 12, 2}, {"cd efghijk", 52, 2 + 2 * 11.5},
                               {"lmnop", 27, 2 + 3 * 11.5}}));
  // One line: paragraphs joined, centred across the box, cut at its padding.
  EXPECT_EQ(lines(U"ab\ncd", 20, false), (std::vector<Line>{{"ab cd", 18, (100 - 9.25) / 2}}));
  EXPECT_EQ(lines(U"  \n\t", 54), std::vector<Line>{});
  // A box narrower than one character still holds one per line, each at least 1 point wide.
  EXPECT_EQ(lines(U"ab", 3), (std::vector<Line>{{"a", 3, 2}, {"b", 3, 13.5}}));
  // Turned pages: the whole text, white space collapsed, fills the box.
  const std::vector<PlacedRun> turned = shown_lines(U" a \n b ", Rect{1, 2, 3, 4}, 10, true, false);
  ASSERT_EQ(turned.size(), 1u);
  EXPECT_EQ(std::tuple(turned[0].text, turned[0].x0, turned[0].y1), std::tuple("a b", 1.0, 4.0));
}

TEST(ShownSizes, FieldSizeAndAppearanceSize) {
  EXPECT_EQ(field_size(9, 100), 9);
  EXPECT_EQ(field_size(0, 4 + 12 * kShownDepth), 12);       // fits 12 exactly
  EXPECT_EQ(field_size(0, 4 + 13 * kShownDepth), 12);       // capped
  EXPECT_DOUBLE_EQ(field_size(0, 4 + 5 * kShownDepth), 5);  // fit to the box
  EXPECT_EQ(field_size(0, 2), 1);                           // at least 1
  EXPECT_EQ(field_size(NAN, 2), 1);
  const std::vector<std::pair<std::u32string, double>> rows = {
      {U"/Helv 9.5 Tf 0 g", 9.5}, {U"0 g", 0}, {U"/Helv 0 Tf", 0}, {U"/F 12Tf", 0},
      {U"/F 12 Tg /G 7\t Tf", 7}, {U"/F 1.Tf 3 Tf", 3}, {U"", 0}, {U"/F .5 Tf", 0.5},
      {U"/F +1e3 Tf", 1000}, {U"/F 1e999 Tf", 0}, {U"/F 9x Tf", 0}, {U"Tf", 0}};
  for (const auto& [da, size] : rows) EXPECT_EQ(appearance_size(da), size);
}

TEST(ShownMark, SquareCentredNoLargerThanTheBoxOrTheType) {
  const PlacedRun big = checked_mark(Rect{0, 0, 20, 10}, 100);  // the box's height bounds it
  EXPECT_EQ(std::tuple(big.text, big.x0, big.y0, big.x1, big.y1),
            std::tuple("\xE2\x98\x92", 5.0, 0.0, 15.0, 10.0));
  const PlacedRun small = checked_mark(Rect{0, 0, 20, 20}, 8);  // the type's size bounds it
  EXPECT_DOUBLE_EQ(small.x1 - small.x0, 8 * kShownDepth);
  EXPECT_DOUBLE_EQ(small.x0 + small.x1, 20);
}

}  // namespace
}  // namespace textloom
