// markdown_pages on hand-built pages, one row per behaviour: headings ranked
// at their thresholds, paragraphs and hyphenated line ends, lists and their
// markers, fenced code rebuilt from geometry, emphasis, code spans, <sup> and
// <sub>, links, escapes and the options; then running headers and footers
// over several pages, and pages with NaN geometry or nameless fonts.

#include "markdown.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kOn = -1e9;  // as x: right after the previous run, touching it

enum class Face { plain, bold, italic, mono, nameless };
struct Put {  // a run of glyphs, each half its size wide
  std::u32string_view text;
  double x;
  double y;
  double size = 10;
  Face face = Face::plain;
};
enum Off { kNone = 0, kSub = 1, kStreamOrder = 2 };  // options turned off

PageGlyphs page_of(const std::vector<Put>& puts, const std::vector<PageLink>& links = {}) {
  fixtures::PageBuilder b;  // font 0 is plain; the names give the others' style
  for (const char* name : {"Test-Bold", "Test-Italic", "Courier"}) b.add_font(name);
  b.page().fonts.push_back(make_font_info("", 0, 0, 0, false, 0, 0));
  double pen = 0;
  for (const Put& put : puts) {
    pen = put.x == kOn ? pen : put.x;
    for (char32_t c : put.text) {
      b.at(c, pen, put.y, put.size, 0.5 * put.size).font = static_cast<std::uint32_t>(put.face);
      pen += 0.5 * put.size;
    }
  }
  b.page().links = links;
  return b.page();
}

std::string markdown_of(const PageGlyphs& page, int off = kStreamOrder) {
  MarkdownOptions options;
  options.sort = (off & kStreamOrder) != 0 ? SortMode::none : SortMode::reading;
  options.subscripts = (off & kSub) == 0;
  return markdown_pages({&page}, options).front();
}

// A body paragraph that sets the body size at 10, and its Markdown.
const Put kBody{U"body text of the page at the body size", 10, 300};
const std::string kBodyMd = "body text of the page at the body size\n";
// More chars than one body line, fewer than two.
constexpr std::u32string_view kFootnote = U"a footnote set small, longer than one line of the body";
constexpr std::string_view kFootnoteMd = "a footnote set small, longer than one line of the body\n";
constexpr Face B = Face::bold, I = Face::italic, M = Face::mono;

struct Case {
  const char* name;
  std::vector<Put> puts;
  std::string markdown;
  int off = kStreamOrder;
  std::vector<PageLink> links = {};
};
std::ostream& operator<<(std::ostream& out, const Case& row) { return out << row.name; }

class Pages : public ::testing::TestWithParam<Case> {};
TEST_P(Pages, Exactly) {
  EXPECT_EQ(markdown_of(page_of(GetParam().puts, GetParam().links), GetParam().off),
            GetParam().markdown);
}

INSTANTIATE_TEST_SUITE_P(
    Markdown, Pages,
    ::testing::Values(
        Case{"NoText", {{U"   ", 10, 100}}, ""},
        // Three sizes rank #, ##, ###, a smaller one ####; 1.15 x body is a heading, 1.14 not.
        Case{"HeadingRanks",
             {{U"Big", 10, 40, 24}, {U"Middle", 10, 100, 18}, {U"Small", 10, 160, 14},
              {U"Least", 10, 220, 11.5}, {U"Almost", 10, 280, 11.4}, {kBody.text, 10, 340}},
             "# Big\n\n## Middle\n\n### Small\n\n#### Least\n\nAlmost\n\n" + kBodyMd},
        // Lines of a block split where they become headings; headings carry no bold.
        Case{"HeadingLinesSplitFromTheirBlock",
             {{U"Title", 10, 40, 20, B}, {U"Sub", 10, 64, 16}, {kBody.text, 10, 100},
              {U"Head", 10, 200, 12}, {kBody.text, 10, 214}},
             "# Title\n\n## Sub\n\n" + kBodyMd + "\n### Head\n\n" + kBodyMd},
        // A mirrored size counts by its magnitude; a line with a span at the body size is no heading.
        Case{"SizesOfHeadings", {{U"Big", 10, 40, -24}, {U"Big ", 10, 80, 24}, {U"and body", kOn, 80}, kBody},
             "# Big\n\nBig and body\n\n" + kBodyMd},
        // Sizes within 2.5% of one another are one body size, outweighing a smaller
        // size that has more chars than each of them; 4% apart they are not.
        Case{"BodySizeIsABand",
             {{kBody.text, 10, 100}, {kBody.text, 10, 140, 10.2}, {kFootnote, 10, 400, 8}},
             kBodyMd + "\n" + kBodyMd + "\n" + std::string(kFootnoteMd)},
        Case{"BodySizesApart",
             {{kBody.text, 10, 100}, {kBody.text, 10, 140, 10.4}, {kFootnote, 10, 400, 8}},
             "## " + kBodyMd + "\n# " + kBodyMd + "\n" + std::string(kFootnoteMd)},
        // Four heading-sized lines of a block are a title; five are body text set large.
        Case{"TitlesAreShort",
             {{U"one", 10, 40, 14}, {U"two", 10, 56, 14}, {U"three", 10, 72, 14}, {U"four", 10, 88, 14},
              {U"a", 10, 200, 14}, {U"b", 10, 216, 14}, {U"c", 10, 232, 14}, {U"d", 10, 248, 14},
              {U"e", 10, 264, 14}, {kBody.text, 10, 340}},
             "# one two three four\n\na b c d e\n\n" + kBodyMd},
        // Equal chars at two sizes: the smaller is the body size.
        Case{"BodySizeTie", {{U"abcd", 10, 100, 12}, {U"efgh", 10, 140}}, "# abcd\n\nefgh\n"},
        // A lone bold line within 5% of the body size is ####; 6% off, or two lines, are bold.
        Case{"LoneBoldLines",
             {{U"A", 10, 40, 10.5, B}, {U"B", 10, 80, 9.5, B}, {U"C", 10, 120, 10.6, B},
              {U"D", 10, 160, 9.4, B}, {U"E", 10, 200, 10, B}, {U"F", 10, 212, 10, B}, kBody},
             "#### A\n\n#### B\n\n**C**\n\n**D**\n\n**E F**\n\n" + kBodyMd},
        Case{"ParagraphsAndHyphenation",
             {{U"a word cut in exam-", 10, 100}, {U"ple and 3-", 10, 112}, {U"4 end", 10, 124},
              {U"next block", 10, 160}},
             "a word cut in example and 3- 4 end\n\nnext block\n"},
        Case{"HyphenBeforeAnItemStays", {{U"- first exam-", 10, 100}, {U"- second", 10, 112}},
             "- first exam-\n- second\n"},
        // Items of a block form a list, nested by the indentation of their text.
        Case{"ListsAndNesting",
             {{U"\u2022 one", 10, 100}, {U"continued", 20, 112}, {U"\u2022 two", 10, 124},
              {U"1. inner", 30, 136}, {U"2. inner", 30, 148}, {U"\u2013 back", 10, 160},
              {U"a paragraph", 10, 200}, {U"a) lettered", 10, 240}, {U"b) lettered", 10, 252}},
             "- one continued\n- two\n  1. inner\n  2. inner\n- back\n\na paragraph\n\n"
             "- a) lettered\n- b) lettered\n"},
        // A marker that a tab stop set apart takes only text on its baseline.
        Case{"MarkerWithNothingBeside", {{U"1.", 10, 100}, {U"text below", 20, 130}},
             "1.\n\ntext below\n"},
        Case{"MarkerBeforeAListing", {{U"2.", 10, 100}, {U"x = 1", 10, 140, 10, M}, kBody},
             "2.\n\n```\nx = 1\n```\n\n" + kBodyMd},
        Case{"MarkerKindsMakeSeparateLists",
             {{U"- dash", 10, 100}, {U"1. number", 5, 112}, {U"2) other", 5, 124}},
             "- dash\n\n1. number\n\n2) other\n"},
        // Which line starts are list markers: up to 3 digits, a letter or a
        // roman numeral to xxxix in one case, then "." or ")" and a space.
        Case{"MarkerForms",
             {{U"\u2022  spaced", 10, 40}, {U"-5 degrees", 10, 80}, {U"12) twelve", 10, 120},
              {U"1.5 m", 10, 160}, {U"999. x", 10, 200}, {U"1 one", 10, 240}, {U"B) x", 10, 280},
              {U"civil. x", 10, 320}, {U"iv) x", 10, 360}, {U"mix. x", 10, 400},
              {U"XII) x", 10, 440}, {U"Iv) x", 10, 480}, {U"xxxix. x", 10, 520},
              {U"ab) x", 10, 560}, {U"+ plus", 10, 600}, {U"a)x", 10, 640},
              {U"  - indented", 10, 680}},
             "- spaced\n\n\\-5 degrees\n\n12) twelve\n\n1.5 m\n\n999. x\n\n1 one\n\n- B) x\n\n"
             "civil. x\n\n- iv) x\n\nmix. x\n\n- XII) x\n\nIv) x\n\n- xxxix. x\n\nab) x\n\n"
             "\\+ plus\n\na)x\n\n- indented\n"},
        // Inside a paragraph a bullet or a number opens an item, a letter does not.
        Case{"MarkersInsideAParagraph",
             {{U"we met", 10, 100}, {U"J. Smith there", 10, 112}, {U"- and then", 10, 124}},
             "we met J. Smith there\n\n- and then\n"},
        Case{"TypewrittenPagesAreText", {{U"all in a typewriter face", 10, 100, 10, M}, {U"plain", 10, 140}},
             "all in a typewriter face\n\nplain\n"},
        // Indentation and gaps from geometry (5 wide a char), leading spaces
        // that came out as a line of their own, a blank row between rows.
        Case{"CodeFromGeometry",
             {{U"def f(x):", 10, 100, 10, M}, {U"    ", 10, 112, 10, M}, {U"if x:", 30, 112, 10, M},
              {U"return", 50, 124, 10, M}, {U"1", 95, 124, 10, M}, {U"end", 10, 148, 10, M}, kBody},
             "```\ndef f(x):\n    if x:\n        return   1\n\nend\n```\n\n" + kBodyMd},
        Case{"FenceOutrunsBackticks", {{U"a ```` b", 10, 100, 10, M}, kBody},
             "`````\na ```` b\n`````\n\n" + kBodyMd},
        // Separators in another font neither break a run nor carry a mark; marks close inside out.
        Case{"Marks",
             {{U"two", 10, 100, 10, B}, {U" ", kOn, 100}, {U"words", kOn, 100, 10, B}, {U" end", kOn, 100},
              {U"x ", 10, 140}, {U" lean ", kOn, 140, 10, I}, {U"y", kOn, 140}, {U"bold", 10, 180, 10, B},
              {U"it", kOn, 180, 10, I}, {U" x", kOn, 180}, kBody},
             "**two words** end\n\nx  _lean_ y\n\n**bold**_it_ x\n\n" + kBodyMd},
        // Nothing is escaped in code; backticks lengthen its fence, one at an end is spaced.
        Case{"CodeSpans",
             {{U"run ", 10, 100}, {U"f(x)", kOn, 100, 10, M}, {U" now", kOn, 100}, {U"a ", 10, 140},
              {U"x*_`y", kOn, 140, 10, M}, {U"a ", 10, 180}, {U"`q", kOn, 180, 10, M}, kBody},
             "run `f(x)` now\n\na ``x*_`y``\n\na `` `q ``\n\n" + kBodyMd},
        Case{"Escapes",
             {{U"a*b_c`d|e\\f [g]", 10, 40}, {U"# no heading", 10, 80}, {U"> no quote", 10, 120},
              {U"+ no item", 10, 160}, {U"=== x", 10, 200}, {U"~~~ x", 10, 240},
              {U"2024. year", 10, 280}, {U"3.14 pi", 10, 320}, {U"a # b", 10, 360}},
             "a\\*b\\_c\\`d\\|e\\\\f [g]\n\n\\# no heading\n\n\\> no quote\n\n\\+ no item\n\n"
             "\\=== x\n\n\\~~~ x\n\n2024\\. year\n\n3.14 pi\n\na # b\n"},
        Case{"ControlCharactersLeftOut", {{U"done \u0004", 10, 100}}, "done\n"},
        // Raised is <sup>; smaller and lowered by over 0.15 of the line's size is <sub>,
        // by less plain.
        Case{"Scripts",
             {{U"E = mc", 10, 100}, {U"2", kOn, 97, 7}, {U" x", kOn, 100}, {U"H", 10, 140},
              {U"2", kOn, 141.6, 7}, {U"O", kOn, 140}, {U"x", 10, 180}, {U"2", kOn, 181.4, 7}, kBody},
             "E = mc<sup>2</sup> x\n\nH<sub>2</sub>O\n\nx2\n\n" + kBodyMd},
        Case{"SubscriptsOff", {{U"x", 10, 140}, {U"2", kOn, 141.6, 7}, kBody}, "x2\n\n" + kBodyMd,
             kSub | kStreamOrder},
        // Text whose boxes' centres lie in a URI link's box is its text; the
        // destination escapes what would end it; links to pages mark nothing.
        Case{"Links",
             {{U"see the site now", 10, 100}, {U"and page two", 10, 140}},
             "see [the site](https://x.org/a%20b%28c%29) now\n\nand page two\n", kStreamOrder,
             {{29, 90, 71, 103, "https://x.org/a b(c)", -1}, {30, 130, 70, 143, "", 2}}},
        Case{"MarksInsideLinks", {{U"[1] ", 10, 100}, {U"bold", kOn, 100, 10, B}, {U" end", kOn, 100}},
             "[\\[1\\] **bold**](u) end\n", kStreamOrder, {{5, 90, 55, 103, "u", -1}}},
        Case{"StreamOrder", {{U"second", 10, 300}, {U"first", 10, 100}}, "second\n\nfirst\n"},
        Case{"ReadingOrder", {{U"second", 10, 300}, {U"first", 10, 100}}, "first\n\nsecond\n", kNone}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Items nest ten levels deep at most.
// A line at a heading size that runs up the page (a side stamp) is no heading.
TEST(Markdown, TurnedLinesAreNoHeadings) {
  PageGlyphs page = page_of({{U"Stamp", 10, 40, 24}, kBody});
  for (std::size_t k = 0; k < 5; ++k) {
    Glyph& g = page.glyphs[k];
    g.dir_x = 0, g.dir_y = -1;
    g.origin_x = g.end_x = 30;
    g.origin_y = 600 - 12.0 * static_cast<double>(k), g.end_y = g.origin_y - 12;
  }
  EXPECT_EQ(markdown_of(page), "Stamp\n\n" + kBodyMd);
}

TEST(Markdown, NestingStopsAtTenLevels) {
  std::vector<Put> puts;
  std::string expected;
  for (std::size_t k = 0; k < 12; ++k) {
    puts.push_back({U"- x", 10.0 + 10.0 * static_cast<double>(k), 100.0 + 12.0 * static_cast<double>(k)});
    expected += std::string(2 * std::min<std::size_t>(k, 9), ' ') + "- x\n";
  }
  EXPECT_EQ(markdown_of(page_of(puts)), expected);
}

// NaN, zero and infinite geometry and sizes and fonts without names or
// flags give every char and never fail (NaN places stand alone).
TEST(Markdown, BadGeometryAndNamelessFonts) {
  const PageGlyphs page = page_of(
      {{U"nameless", 10, 100, 10, Face::nameless}, {U"nan size", 10, 140, kNaN},
       {U"\u2022 nan place", kNaN, kNaN}, {U"huge", 10, 200, 1e300}, {U"x", 10, 240, 10, M},
       {U"y", kNaN, 252, 10, M}, {U"ab", 10, 400, 0, M}, {U"c d", 10, 412, kNaN, M}},
      {{kNaN, 0, kNaN, 1000, "https://nan.example", -1}});
  std::string letters;
  for (const char c : markdown_of(page)) {
    if (c != ' ' && c != '\n' && c != '-' && c != '`') letters.push_back(c);
  }
  EXPECT_EQ(letters, "namelessnansizenanplacehugexyabcd");
}

// Pages 800 high, each with the body and one more line (text, x, y); for
// each page, whether that line is kept (not a running header or footer).
std::string kept(const std::vector<Put>& lines, bool keep_headers = false) {
  std::vector<PageGlyphs> pages;
  for (const Put& line : lines) {
    pages.push_back(page_of({line, kBody}));
    pages.back().width = 600, pages.back().height = 800;
  }
  std::vector<const PageGlyphs*> refs;
  for (const PageGlyphs& page : pages) refs.push_back(&page);
  MarkdownOptions options;
  options.sort = SortMode::none;
  options.keep_headers = keep_headers;
  std::string out;
  for (const std::string& page : markdown_pages(refs, options)) out += page == kBodyMd ? '0' : '1';
  return out;
}

// A line in the top or bottom 12% whose text, digits made equal, recurs within
// 2 units (by left edge, right edge or centre) on 60% of the pages and on 3 goes.
TEST(Markdown, RunningHeadersAndFooters) {
  EXPECT_EQ(kept({{U"a", 10, 780}, {U"a", 10, 782}, {U"a", 10, 781}, {U"b", 10, 780}, {U"c", 10, 780}}),
            "00011");
  EXPECT_EQ(kept({{U"a", 10, 780}, {U"a", 10, 780}, {U"b", 10, 780}, {U"c", 10, 780}, {U"d", 10, 780}}),
            "11111");  // 2 of 5
  EXPECT_EQ(kept({{U"a", 10, 780}, {U"a", 10, 780}, {U"b", 10, 780}}), "111");  // 67%, but 2 pages
  std::vector<Put> ten(10, Put{U"a", 10, 780});
  for (std::size_t p = 5; p < 10; ++p) ten[p].y = 40;
  EXPECT_EQ(kept(ten), "1111111111");  // 5 of 10 at the bottom, 5 at the top
  ten[5].y = 780;
  EXPECT_EQ(kept(ten), "0000001111");
  EXPECT_EQ(kept({{U"a", 10, 780}, {U"a", 10, 780}, {U"a", 10, 780}}, true), "111");
  EXPECT_EQ(kept({{U"a", 10, 700}, {U"a", 10, 700}, {U"a", 10, 700}}), "111");  // above the band
  EXPECT_EQ(kept({{U"a", 10, 40}, {U"a", 10, 40}, {U"a", 10, 780}}), "111");    // top and bottom apart
  // Places do not chain (782 is near 780 and 782.5, which are not near each other).
  EXPECT_EQ(kept({{U"a", 10, 780}, {U"a", 10, 782}, {U"a", 10, 782.5}, {U"a", 10, kNaN}}), "1011");
  EXPECT_EQ(kept({{U"12", 10, 40}, {U"1234", 10, 40}, {U"123456", 0, 40}}), "000");
  EXPECT_EQ(kept({{U"9", 10, 40}, {U"9", 13, 40}, {U"9", 16, 40}}), "111");
}

}  // namespace
}  // namespace textloom
