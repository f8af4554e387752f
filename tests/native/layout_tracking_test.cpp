// Letter-spaced runs through layout_page: tracked letters lose the spaces the
// pass put between them, word gaps keep theirs, on both sides of each
// threshold; short runs and uneven gaps keep every space.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

using fixtures::PageBuilder;

// Letters of `text` (a space the producer drew where it has ' '), each gap
// in em the next of `gaps`, round robin.
std::u32string laid(std::u32string_view text, const std::vector<double>& gaps) {
  PageBuilder b;
  b.at(text[0], 0, 100);
  for (std::size_t i = 1; i < text.size(); ++i) b.after(text[i], gaps[(i - 1) % gaps.size()]);
  return fixtures::all_lines(fixtures::lay_out(b.page())).at(0);
}

TEST(LayoutTracking, SpacesOnlyAtWordGaps) {
  struct Case {
    std::u32string_view text;
    std::vector<double> gaps;
    std::u32string want;
  };
  const Case cases[] = {
      {U"abcdef", {0.3}, U"abcdef"},                                   // tracked
      {U"abcdef", {0.3, 0.3, 0.451, 0.3, 0.3}, U"abc def"},            // past the word gap
      {U"abcdef", {0.3, 0.3, 0.449, 0.3, 0.3}, U"abcdef"},             // within it
      {U"abc", {0.3}, U"a b c"},                                      // three letters: no run
      {U"abcdef", {0.2, 0.6, 0.25, 0.7, 0.3}, U"a b c d e f"},         // uneven: words
      {U"ab cd ef", {0.3, 0.0, 0.3, 0.3, 0.0, 0.3, 0.3}, U"ab cd ef"},  // drawn spaces, short words
  };
  for (const Case& c : cases) EXPECT_EQ(laid(c.text, c.gaps), c.want) << std::string(c.want.begin(), c.want.end());
}

}  // namespace
}  // namespace textloom
