// Regression guard for layout_page and the XY-cut: random pages and boxes
// from fixed seeds (random_pages.hpp), laid out in every sort mode the
// recorded code had, with and without a clip, and cut at several depths and
// thresholds, must give exactly the recorded results (layout_digest_tables.hpp):
// a digest over every field, doubles bit for bit, signed zeros included, NaN
// payloads aside (tools/layout_digest.hpp), folded over eight seeds at a time.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>

#include "layout_digest.hpp"
#include "layout_digest_tables.hpp"
#include "random_pages.hpp"

namespace textloom {
namespace {

using fixtures::random_page;
constexpr std::uint64_t kSeedsPerDigest = 8;

void add_page(tools::LayoutDigest& digest, std::uint64_t seed) {
  const PageGlyphs page = random_page(seed);
  for (const std::optional<Rect>& clip : {std::optional<Rect>{}, fixtures::random_clip(seed)}) {
    for (SortMode mode : {SortMode::none, SortMode::simple, SortMode::xycut}) {
      digest.add(layout_page(page, mode, clip, LayoutParams{}));
    }
  }
}

// The cut at three depths, and the column gaps, under thresholds that go
// round with the seed: the defaults, others, zero, negative and NaN.
void add_cut(tools::LayoutDigest& digest, std::uint64_t seed) {
  static constexpr double kThresholds[][2] = {{12.5, 2}, {12.5, 2}, {6, 0.5}, {0, 0}, {-3, 1},
                                              {fixtures::kRandNaN, 2}};
  const auto [first, second] = kThresholds[seed % std::size(kThresholds)];
  const std::vector<OrderItem> items = fixtures::random_items(seed);
  for (std::uint32_t depth : {0u, 49u, 51u}) {
    for (const OrderItem& it : xycut(items, depth, first, second)) {
      digest.add(static_cast<std::uint64_t>(it.index));
      digest.add(it.box);
    }
  }
  std::vector<Interval> intervals;
  double lo = std::numeric_limits<double>::infinity();
  for (const OrderItem& it : items) {
    intervals.push_back({it.box.x0, it.box.x1});
    lo = min_num(lo, it.box.x0);
  }
  std::vector<Interval> scratch(intervals.size() / 2 + 1);
  std::vector<Gap> found;
  gaps(intervals, lo, first, scratch.data(), found);
  for (const Gap& g : found) {
    digest.add(g.from);
    digest.add(g.to);
  }
}

// Fails for each group of seeds that differs and prints the new table to paste.
template <std::size_t N>
void expect_recorded(const std::uint64_t (&recorded)[N],
                     void (*add)(tools::LayoutDigest&, std::uint64_t)) {
  std::string table;
  bool differs = false;
  for (std::size_t i = 0; i < N; ++i) {
    tools::LayoutDigest digest;
    for (std::uint64_t seed = i * kSeedsPerDigest + 1; seed <= (i + 1) * kSeedsPerDigest; ++seed) {
      add(digest, seed);
    }
    const std::uint64_t got = digest.value();
    if (got != recorded[i]) {
      ADD_FAILURE() << "seeds " << i * kSeedsPerDigest + 1 << " to " << (i + 1) * kSeedsPerDigest;
    }
    differs = differs || got != recorded[i];
    char entry[32];
    std::snprintf(entry, sizeof entry, "0x%016" PRIx64 "ull,%s", got, i % 4 == 3 ? "\n" : " ");
    table += entry;
  }
  if (differs) std::printf("new table:\n%s\n", table.c_str());
}

TEST(LayoutDigest, RandomPagesMatchTheRecordedLayouts) {
  expect_recorded(recorded::kDigests, add_page);
}

TEST(LayoutDigest, RandomCutsMatchTheRecordedOrders) {
  expect_recorded(recorded::kCutDigests, add_cut);
}

}  // namespace
}  // namespace textloom
