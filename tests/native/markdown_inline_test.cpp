// Inline Markdown on hand-built lines: marks from fonts merged across the
// separators between them and never on separators, code spans, superscripts
// and subscripts at their thresholds, links, and escapes.

#include <gtest/gtest.h>

#include "markdown_fixtures.hpp"

namespace textloom {
namespace {

using fixtures::Face;
using fixtures::markdown_of;
using fixtures::MarkdownPages;
using fixtures::PageCase;
using fixtures::Sheet;

// Runs of (text, font) on one line, touching.
std::string line_of_runs(std::initializer_list<std::pair<std::u32string_view, int>> runs) {
  Sheet s;
  const std::uint32_t fonts[] = {s.plain, s.bold, s.italic, s.mono};
  double x = 10;
  for (const auto& [text, font] : runs) x = s.put(text, x, 100, 10, fonts[font]);
  s.put(U"plain words for the body size of this page", 10, 300);
  const std::string out = markdown_of(s.page());
  return out.substr(0, out.find('\n'));
}

enum { P, B, I, M };

TEST(MarkdownInline, MarksFromFonts) {
  EXPECT_EQ(line_of_runs({{U"a ", P}, {U"bold", B}, {U" b", P}}), "a **bold** b");
  // Separators in another font neither break a run nor carry a mark.
  EXPECT_EQ(line_of_runs({{U"two", B}, {U" ", P}, {U"words", B}, {U" end", P}}),
            "**two words** end");
  EXPECT_EQ(line_of_runs({{U"x ", P}, {U" lean ", I}, {U"y", P}}), "x  _lean_ y");
  // Nested marks close inside out.
  EXPECT_EQ(line_of_runs({{U"bold", B}, {U"it", I}, {U" x", P}}), "**bold**_it_ x");
  EXPECT_EQ(line_of_runs({{U"run ", P}, {U"f(x)", M}, {U" now", P}}), "run `f(x)` now");
  // Inside code nothing is escaped; a backtick lengthens the fence, one at
  // an end is set apart by a space.
  EXPECT_EQ(line_of_runs({{U"a ", P}, {U"x*_`y", M}}), "a ``x*_`y``");
  EXPECT_EQ(line_of_runs({{U"a ", P}, {U"`q", M}}), "a `` `q ``");
}

TEST(MarkdownInline, Escapes) {
  EXPECT_EQ(line_of_runs({{U"a*b_c`d|e\\f [g]", P}}), "a\\*b\\_c\\`d\\|e\\\\f [g]");
  // At the start: what would open a heading, quote, list, rule or fence.
  for (const auto& [text, expected] :
       {std::pair{U"# no heading", "\\# no heading"}, {U"> no quote", "\\> no quote"},
        {U"+ no item", "\\+ no item"}, {U"=== x", "\\=== x"}, {U"~~~ x", "\\~~~ x"},
        {U"2024. year", "2024\\. year"}, {U"3.14 pi", "3.14 pi"}, {U"a # b", "a # b"}}) {
    EXPECT_EQ(line_of_runs({{text, P}}), expected);
  }
}

// A raised span is <sup>; a smaller span lowered by more than 0.15 of the
// line's main size is <sub>, by less it is plain; the options turn both off.
TEST(MarkdownInline, SuperscriptsAndSubscripts) {
  for (const auto& [drop, expected] :
       {std::pair{-3.0, "E = mc<sup>2</sup> x"}, {1.6, "E = mc<sub>2</sub> x"},
        {1.4, "E = mc2 x"}}) {
    Sheet s;
    double x = s.put(U"E = mc", 10, 100);
    x = s.put(U"2", x, 100 + drop, 7);
    s.put(U" x", x, 100);
    s.put(U"plain words for the body size of this page", 10, 300);
    std::string out = markdown_of(s.page());
    EXPECT_EQ(out.substr(0, out.find('\n')), expected) << drop;
    MarkdownOptions options = fixtures::in_stream_order();
    options.superscripts = options.subscripts = false;
    out = markdown_of(s.page(), options);
    EXPECT_EQ(out.substr(0, out.find('\n')), "E = mc2 x") << drop;
  }
}

// Text whose boxes' centres lie in a URI link's box is the link's text; the
// destination escapes what would end it; links to pages mark nothing.
TEST(MarkdownInline, Links) {
  Sheet s;
  s.put(U"see the site now", 10, 100);  // "the site" spans x = 30 to 70
  s.link(29, 90, 71, 103, "https://x.org/a b(c)");
  s.put(U"and page two", 10, 140);
  s.link(30, 130, 70, 143, "", 2);
  EXPECT_EQ(markdown_of(s.page()),
            "see [the site](https://x.org/a%20b%28c%29) now\n\nand page two\n");
  MarkdownOptions options = fixtures::in_stream_order();
  options.links = false;
  EXPECT_EQ(markdown_of(s.page(), options), "see the site now\n\nand page two\n");
}

// Brackets inside a link's text are escaped; marks nest inside the link.
TEST(MarkdownInline, MarksInsideLinks) {
  Sheet s;
  double x = s.put(U"[1] ", 10, 100);
  x = s.put(U"bold", x, 100, 10, s.bold);
  s.put(U" end", x, 100);
  s.link(5, 90, 55, 103, "u");
  EXPECT_EQ(markdown_of(s.page()), "[\\[1\\] **bold**](u) end\n");
}

INSTANTIATE_TEST_SUITE_P(
    Inline, MarkdownPages,
    ::testing::Values(
        // Headings carry no bold of their own.
        PageCase{"HeadingsDropBold",
                 {{U"Title", 10, 40, 20, Face::bold}, {U"plain words for the body size", 10, 300}},
                 "# Title\n\nplain words for the body size\n"},
        // Control characters (a symbol font's box for end of proof) are left out.
        PageCase{"ControlCharactersLeftOut", {{U"done \u0004", 10, 100}}, "done\n"}),
    fixtures::case_name);

}  // namespace
}  // namespace textloom
