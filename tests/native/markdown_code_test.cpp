// Fenced code: rows rebuilt from geometry (indentation from a row's offset,
// gaps as spaces, leading spaces that came out as a line of their own, blank
// lines from the gaps between rows) and fences longer than any backtick run.

#include <gtest/gtest.h>

#include <limits>

#include "markdown_fixtures.hpp"

namespace textloom {
namespace {

using fixtures::Face;
using fixtures::markdown_of;
using fixtures::MarkdownPages;
using fixtures::PageCase;
using fixtures::Sheet;

constexpr Face kMono = Face::mono;
constexpr std::u32string_view kBody = U"plain words for the body size of this page, many of them";

// Each mono char is 5 wide at size 10; a row is 12 below the one before.
INSTANTIATE_TEST_SUITE_P(
    Code, MarkdownPages,
    ::testing::Values(
        PageCase{"IndentationAndGapsFromGeometry",
                 {{U"def f(x):", 10, 100, 10, kMono},
                  {U"    ", 10, 112, 10, kMono},  // leading spaces as a line of their own
                  {U"if x:", 30, 112, 10, kMono},
                  {U"return", 50, 124, 10, kMono},
                  {U"1", 95, 124, 10, kMono},    // three widths after "return" (ends at 80)
                  {U"end", 10, 148, 10, kMono},  // a blank row between: another block, one listing
                  {kBody, 10, 300}},
                 "```\ndef f(x):\n    if x:\n        return   1\n\nend\n```\n\n"
                 "plain words for the body size of this page, many of them\n"},
        PageCase{"FenceOutrunsBackticks", {{U"a ```` b", 10, 100, 10, kMono}, {kBody, 10, 300}},
                 "`````\na ```` b\n`````\n\nplain words for the body size of this page, many of them\n"}),
    fixtures::case_name);

// Widths that are no number leave the text, unspaced where nothing separates it.
TEST(MarkdownCode, DegenerateWidths) {
  Sheet s;
  s.put(U"ab", 10, 100, 0, s.mono);
  s.put(U"c d", 10, 112, std::numeric_limits<double>::quiet_NaN(), s.mono);
  s.put(kBody, 10, 300);
  const std::string out = markdown_of(s.page());
  EXPECT_EQ(out.substr(0, 3), "```");
  for (const char* text : {"ab", "c", "d"}) EXPECT_NE(out.find(text), std::string::npos) << out;
}

}  // namespace
}  // namespace textloom
