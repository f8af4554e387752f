// markdown_pages on hand-built pages: units (headings, paragraphs, items,
// code) and how they are separated, heading ranks at their thresholds,
// hyphenated line ends, running headers and footers over several pages, and
// pages with nothing, NaN or nameless fonts.

#include "markdown.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "markdown_fixtures.hpp"

namespace textloom {
namespace {

using fixtures::markdown_of;
using fixtures::Sheet;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A body paragraph long enough to make its size the body size, and its Markdown.
constexpr std::u32string_view kBody = U"body text of the page at the body size";
const std::string kBodyLine = "body text of the page at the body size\n";

using fixtures::Face;
using fixtures::MarkdownPages;
using fixtures::PageCase;

TEST_P(MarkdownPages, Exactly) { EXPECT_EQ(markdown_of(GetParam().puts), GetParam().markdown); }

constexpr Face kBold = Face::bold;
constexpr Face kMono = Face::mono;

INSTANTIATE_TEST_SUITE_P(
    Units, MarkdownPages,
    ::testing::Values(
        PageCase{"NoText", {}, ""}, PageCase{"OnlySpaces", {{U"   ", 10, 100}}, ""},
        // Three heading sizes rank #, ##, ###; a smaller one is ####; 1.15
        // times the body size is a heading, just below it is not.
        PageCase{"HeadingRanks",
                 {{U"Big", 10, 40, 24}, {U"Middle", 10, 100, 18}, {U"Small", 10, 160, 14},
                  {U"Least", 10, 220, 11.5}, {U"Almost", 10, 280, 11.4}, {kBody, 10, 340}},
                 "# Big\n\n## Middle\n\n### Small\n\n#### Least\n\nAlmost\n\n" + kBodyLine},
        // Lines of two heading sizes in one block are two headings; a heading
        // line above body lines in one block is split from them.
        PageCase{"HeadingLinesSplitFromTheirBlock",
                 {{U"Title", 10, 40, 20}, {U"Sub", 10, 64, 16}, {kBody, 10, 100}, {U"Head", 10, 200, 12},
                  {kBody, 10, 214}},
                 "# Title\n\n## Sub\n\n" + kBodyLine + "\n### Head\n\n" + kBodyLine},
        // A lone bold line at the body size (within 5%) is ####; 6% off, or
        // two bold lines, are bold text.
        PageCase{"LoneBoldLine", {{U"Note", 10, 40, 10.5, kBold}, {kBody, 10, 100}},
                 "#### Note\n\n" + kBodyLine},
        PageCase{"LoneBoldLineSmaller", {{U"Note", 10, 40, 9.5, kBold}, {kBody, 10, 100}},
                 "#### Note\n\n" + kBodyLine},
        PageCase{"BoldLineTooLarge", {{U"Note", 10, 40, 10.6, kBold}, {kBody, 10, 100}},
                 "**Note**\n\n" + kBodyLine},
        PageCase{"BoldLineTooSmall", {{U"Note", 10, 40, 9.4, kBold}, {kBody, 10, 100}},
                 "**Note**\n\n" + kBodyLine},
        PageCase{"TwoBoldLines",
                 {{U"Note", 10, 40, 10, kBold}, {U"Note", 10, 52, 10, kBold}, {kBody, 10, 100}},
                 "**Note Note**\n\n" + kBodyLine},
        // Lines of a block join into one paragraph; a hyphen after a letter at
        // a line end joins the word across it, other hyphens stay.
        PageCase{"ParagraphsAndHyphenation",
                 {{U"a word cut in exam-", 10, 100}, {U"ple and 3-", 10, 112}, {U"4 end", 10, 124},
                  {U"next block", 10, 160}},
                 "a word cut in example and 3- 4 end\n\nnext block\n"},
        // A hyphen that ends an item's last line is not joined to the next item.
        PageCase{"HyphenBeforeAnItemStays", {{U"- first exam-", 10, 100}, {U"- second", 10, 112}},
                 "- first exam-\n- second\n"},
        // Items of one block form a list; a paragraph ends it; nesting follows
        // the indentation of the items' text.
        PageCase{"ListsAndNesting",
                 {{U"\u2022 one", 10, 100}, {U"continued", 20, 112}, {U"\u2022 two", 10, 124},
                  {U"1. inner", 30, 136}, {U"2. inner", 30, 148}, {U"\u2013 back", 10, 160},
                  {U"a paragraph", 10, 200}, {U"a) lettered", 10, 240}, {U"b) lettered", 10, 252}},
                 "- one continued\n- two\n  1. inner\n  2. inner\n- back\n\na paragraph\n\n"
                 "- a) lettered\n- b) lettered\n"},
        // A marker that a tab stop set apart is a line of its own: it takes
        // the text beside it on its baseline.
        PageCase{"MarkerApartFromItsText",
                 {{U"\u2022", 10, 100}, {U"first", 40, 100}, {U"\u2022", 10, 112}, {U"second", 40, 112}},
                 "- first\n- second\n"},
        PageCase{"MarkerWithNothingBeside", {{U"1.", 10, 100}, {U"text below", 10, 140}},
                 "1.\n\ntext below\n"},
        PageCase{"MarkerBeforeAListing",
                 {{U"2.", 10, 100}, {U"x = 1", 10, 140, 10, kMono}, {kBody, 10, 180}},
                 "2.\n\n```\nx = 1\n```\n\n" + kBodyLine},
        // A change of marker at one level starts another list after a blank line.
        PageCase{"MarkerKindsMakeSeparateLists",
                 {{U"- dash", 10, 100}, {U"1. number", 5, 112}, {U"2) other", 5, 124}},
                 "- dash\n\n1. number\n\n2) other\n"},
        // Inside a paragraph a bullet or a number opens an item, a letter does not.
        PageCase{"MarkersInsideAParagraph",
                 {{U"we met", 10, 100}, {U"J. Smith there", 10, 112}, {U"- and then", 10, 124}},
                 "we met J. Smith there\n\n- and then\n"},
        PageCase{"CodeBetweenParagraphs",
                 {{kBody, 10, 100}, {U"x = 1", 10, 140, 10, kMono}, {kBody, 10, 180}},
                 kBodyLine + "\n```\nx = 1\n```\n\n" + kBodyLine},
        // A document set mostly in a monospaced font marks no code.
        PageCase{"TypewrittenPagesAreText",
                 {{U"all in a typewriter face", 10, 100, 10, kMono}, {U"plain", 10, 140}},
                 "all in a typewriter face\n\nplain\n"}),
    fixtures::case_name);

// Blocks in reading order: the option reaches layout.
TEST(Markdown, SortOption) {
  Sheet s;
  s.put(U"second", 10, 300);
  s.put(U"first", 10, 100);
  MarkdownOptions options;
  EXPECT_EQ(markdown_of(s.page(), options), "first\n\nsecond\n");
  options.sort = SortMode::none;
  EXPECT_EQ(markdown_of(s.page(), options), "second\n\nfirst\n");
}

// NaN and infinite geometry and sizes, and fonts without names or flags,
// give text and never fail.
TEST(Markdown, BadGeometryAndNamelessFonts) {
  Sheet s;
  const auto nameless = static_cast<std::uint32_t>(s.page().fonts.size());
  s.page().fonts.push_back(make_font_info("", 0, 0, 0, false, 0, 0));
  s.put(U"nameless", 10, 100, 10, nameless);
  s.put(U"nan size", 10, 140, kNaN);
  s.put(U"\u2022 nan place", kNaN, kNaN);
  s.put(U"huge", 10, 200, 1e300);
  s.put(U"x", 10, 240, 10, s.mono);
  s.put(U"y", kNaN, 252, 10, s.mono);
  s.link(kNaN, 0, kNaN, 1000, "https://nan.example");
  // Chars at NaN places stand alone, each its own block; all of them come out.
  std::string letters;
  for (const char c : markdown_of(s.page())) {
    if (c != ' ' && c != '\n' && c != '-' && c != '`') letters.push_back(c);
  }
  EXPECT_EQ(letters, "namelessnansizenanplacehugexy");
}

// Running headers and footers: five pages, a header whose number changes
// and a footer in one place. A line that recurs on 3 of 5 pages (60%) goes;
// on 2 of them it stays; moved by more than 2 units it is another line.
std::vector<std::string> five_pages(const std::vector<double>& footer_y, MarkdownOptions options,
                                    std::vector<Sheet>& sheets) {
  sheets.clear();
  sheets.resize(footer_y.size());
  std::vector<const PageGlyphs*> pages;
  for (std::size_t p = 0; p < sheets.size(); ++p) {
    Sheet& s = sheets[p];
    s.page().height = 800;
    s.page().width = 600;
    s.put(U"Report page " + std::u32string(1, U'1' + static_cast<char32_t>(p)) + U"0", 10, 40);
    s.put(kBody, 10, 300);
    if (!std::isnan(footer_y[p])) s.put(U"Confidential", 10, footer_y[p]);
    pages.push_back(&s.page());
  }
  return markdown_pages(pages, options);
}

TEST(Markdown, RunningHeadersAndFooters) {
  std::vector<Sheet> sheets;
  const std::string body = "body text of the page at the body size\n";
  // Footer on pages 1 to 3, 2 units apart at most: all go, with the header.
  std::vector<std::string> out =
      five_pages({780, 782, 781, kNaN, kNaN}, fixtures::in_stream_order(), sheets);
  for (const std::string& page : out) EXPECT_EQ(page, body);
  // Two of five pages: the footer stays.
  out = five_pages({780, 780, kNaN, kNaN, kNaN}, fixtures::in_stream_order(), sheets);
  EXPECT_EQ(out[0], body + "\nConfidential\n");
  EXPECT_EQ(out[2], body);
  // Three of five, but one 2.5 units off: two match, the footer stays.
  out = five_pages({780, 780, 782.5, kNaN, kNaN}, fixtures::in_stream_order(), sheets);
  EXPECT_EQ(out[0], body + "\nConfidential\n");
  // keep_headers keeps both.
  MarkdownOptions keep = fixtures::in_stream_order();
  keep.keep_headers = true;
  out = five_pages({780, 780, 780, kNaN, kNaN}, keep, sheets);
  EXPECT_EQ(out[0], "Report page 10\n\n" + body + "\nConfidential\n");
  // Outside the bottom 12% (y below 704) a recurring line is content.
  out = five_pages({700, 700, 700, 700, 700}, fixtures::in_stream_order(), sheets);
  EXPECT_EQ(out[0], body + "\nConfidential\n");
}

// One page alone never has running lines (they need three pages).
TEST(Markdown, OnePageKeepsItsHeader) {
  std::vector<Sheet> sheets;
  std::vector<std::string> out = five_pages({780}, fixtures::in_stream_order(), sheets);
  EXPECT_EQ(out[0], "Report page 10\n\nbody text of the page at the body size\n\nConfidential\n");
}

}  // namespace
}  // namespace textloom
