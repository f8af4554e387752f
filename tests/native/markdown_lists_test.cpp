// List items: which line starts make a marker (and where its text starts),
// and the nesting of items by the indentation of their text.

#include <gtest/gtest.h>

#include <limits>

#include "glyph_builder.hpp"
#include "markdown_internal.hpp"

namespace textloom::markdown {
namespace {

using Kind = ListMarker::Kind;

struct MarkerCase {
  std::u32string_view line;
  Kind kind;
  std::size_t label_end;  // and the label starts at the first text char
  std::size_t content;
};

class Markers : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(Markers, StartOfLine) {
  const MarkerCase& c = GetParam();
  const ListMarker m = list_marker(fixtures::line_of(c.line));
  EXPECT_EQ(m.kind, c.kind);
  if (c.kind == Kind::none) return;
  EXPECT_EQ(m.label_begin, c.line.find_first_not_of(U' '));
  EXPECT_EQ(m.label_end, c.label_end);
  EXPECT_EQ(m.content, c.content);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Markers,
    ::testing::Values(
        MarkerCase{U"\u2022 item", Kind::bullet, 1, 2}, MarkerCase{U"  - item", Kind::bullet, 3, 4},
        MarkerCase{U"\u2022", Kind::bullet, 1, 1}, MarkerCase{U"\u2022  ", Kind::bullet, 1, 3},
        MarkerCase{U"-5 degrees", Kind::none, 0, 0}, MarkerCase{U"+ plus", Kind::none, 0, 0},
        MarkerCase{U"1. one", Kind::number, 2, 3}, MarkerCase{U"12) twelve", Kind::number, 3, 4},
        MarkerCase{U"999. x", Kind::number, 4, 5}, MarkerCase{U"2024. year", Kind::none, 0, 0},
        MarkerCase{U"1.5 m", Kind::none, 0, 0}, MarkerCase{U"1.", Kind::number, 2, 2},
        MarkerCase{U"1 one", Kind::none, 0, 0}, MarkerCase{U"a) x", Kind::letter, 2, 3},
        MarkerCase{U"b. x", Kind::letter, 2, 3}, MarkerCase{U"B) x", Kind::letter, 2, 3},
        MarkerCase{U"J. Smith", Kind::none, 0, 0}, MarkerCase{U"iv) x", Kind::letter, 3, 4},
        MarkerCase{U"XII) x", Kind::letter, 4, 5}, MarkerCase{U"xxxix. x", Kind::letter, 6, 7},
        MarkerCase{U"civil. x", Kind::none, 0, 0}, MarkerCase{U"mix. x", Kind::none, 0, 0},
        MarkerCase{U"Iv) x", Kind::none, 0, 0}, MarkerCase{U"ab) x", Kind::none, 0, 0},
        MarkerCase{U"a)x", Kind::none, 0, 0}, MarkerCase{U"", Kind::none, 0, 0},
        MarkerCase{U"   ", Kind::none, 0, 0}));

TEST(ListNesting, LevelsByIndentation) {
  ListNesting nesting;
  const auto place = [&](double along, std::size_t width = 2, char kind = '-') {
    const ListNesting::Placement p = nesting.place(along, 2, width, kind);
    return std::pair(p.indent, p.new_list);
  };
  EXPECT_EQ(place(20), std::pair(std::size_t{0}, false));
  EXPECT_EQ(place(22), std::pair(std::size_t{0}, false));            // within the tolerance
  EXPECT_EQ(place(30, 3, '.'), std::pair(std::size_t{2}, false));    // deeper, under "- "
  EXPECT_EQ(place(40, 2), std::pair(std::size_t{5}, false));         // under "- " and "1. "
  EXPECT_EQ(place(21), std::pair(std::size_t{0}, false));            // back to the top
  EXPECT_EQ(place(20, 3, ')'), std::pair(std::size_t{0}, true));     // another marker kind
  // NaN takes the innermost open level.
  EXPECT_EQ(place(std::numeric_limits<double>::quiet_NaN(), 3, ')'), std::pair(std::size_t{0}, false));
  nesting.reset();
  for (int level = 0; level < 30; ++level) place(10.0 * level);
  EXPECT_EQ(place(1000).first, std::size_t{18});  // ten levels at most
}

}  // namespace
}  // namespace textloom::markdown
