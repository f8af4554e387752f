// The survey of pages: body size, heading ranks and thresholds, and running
// headers and footers decided over several pages (text with digits made
// equal, place within 2 units, 60% of the pages and 3 at least).

#include <gtest/gtest.h>

#include <limits>

#include "markdown_internal.hpp"

namespace textloom::markdown {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(MarkdownSurvey, SizeKeys) {
  EXPECT_EQ(size_key(10.91), 109);
  EXPECT_EQ(size_key(-12.0), 120);  // a mirrored size counts by its magnitude
  EXPECT_EQ(size_key(kNaN), kNoSize);
  EXPECT_EQ(size_key(1e300), kNoSize);
}

TEST(MarkdownSurvey, TypeScale) {
  CharCounts counts;
  counts.add(100, 500, false);
  counts.add(90, 500, true);  // a tie goes to the smaller size
  counts.add(kNoSize, 10000, false);
  EXPECT_EQ(counts.most(), 90);
  EXPECT_FALSE(counts.mostly_mono());  // 500 of 11000
  PageSurvey page;
  for (SizeKey size : {240, 180, 104, 140, 120, 180}) page.lines.push_back({size, size, 3, false, false});
  page.lines.push_back({100, 240, 3, false, false});  // a line with a body-size span: no heading
  const TypeScale scale = type_scale(counts, {page});
  EXPECT_EQ(scale.body, 90);
  EXPECT_EQ(scale.headings, (std::vector<SizeKey>{240, 180, 140}));
  EXPECT_EQ(std::vector({scale.level(240), scale.level(200), scale.level(140), scale.level(120)}),
            std::vector({1, 2, 3, 4}));
  EXPECT_TRUE(scale.is_heading({104, 104, 1, false, false}));  // 1.15 * 90 = 103.5
  EXPECT_FALSE(scale.is_heading({103, 200, 1, false, false}));
  EXPECT_FALSE(TypeScale{}.is_heading({200, 200, 1, false, false}));  // no body size: no headings
}

BandLine band(std::string key, double y, double x0 = 10, double x1 = 100, bool top = true) {
  return BandLine{std::move(key), Rect{x0, y, x1, y + 10}, {0, 0}, top};
}

// Pages with one band line each; which of them are running lines.
std::vector<bool> dropped(const std::vector<BandLine>& lines) {
  std::vector<PageSurvey> surveys(lines.size());
  for (std::size_t p = 0; p < lines.size(); ++p) surveys[p].band = {lines[p]};
  std::vector<bool> out;
  for (const std::vector<LineRef>& refs : running_lines(surveys)) out.push_back(!refs.empty());
  return out;
}

TEST(MarkdownSurvey, RunningLines) {
  using Drops = std::vector<bool>;
  // 3 of 5 pages (60%) recur; 2 of 5 do not; 2 of 3 is 67% but under 3 pages.
  EXPECT_EQ(dropped({band("a", 10), band("a", 11), band("a", 12), band("b", 10), band("c", 10)}),
            (Drops{true, true, true, false, false}));
  EXPECT_EQ(dropped({band("a", 10), band("a", 10), band("b", 10), band("c", 10), band("d", 10)}),
            (Drops{false, false, false, false, false}));
  EXPECT_EQ(dropped({band("a", 10), band("a", 10), band("b", 10)}), (Drops{false, false, false}));
  // More than 2 units away is another place (so places need not chain: 12
  // is near 10 and 12.5, which are not near each other); NaN is no place.
  EXPECT_EQ(dropped({band("a", 10), band("a", 12), band("a", 12.5), band("a", kNaN)}),
            (Drops{false, true, false, false}));
  // Left edges, right edges or centres may agree: numbers that change width.
  EXPECT_EQ(dropped({band("0", 10, 10, 20), band("0", 10, 10, 30), band("0", 10, 0, 30)}),
            (Drops{true, true, true}));
  EXPECT_EQ(dropped({band("0", 10, 10, 20), band("0", 10, 13, 23), band("0", 10, 16, 26)}),
            (Drops{false, false, false}));
  // Top and bottom bands are apart.
  EXPECT_EQ(dropped({band("a", 10), band("a", 10), band("a", 10, 10, 100, false)}),
            (Drops{false, false, false}));
}

}  // namespace
}  // namespace textloom::markdown
