// The project's stable merge sort and the NaN-tolerant minimum and maximum.

#include "sort.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>

#include "num.hpp"

namespace textloom {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Item {
  double key;
  int id;
};

std::vector<int> ids(const std::vector<Item>& items) {
  std::vector<int> out;
  for (const Item& item : items) out.push_back(item.id);
  return out;
}

void sort_by_key(std::vector<Item>& items) {
  merge_sort(items, [](const Item& a, const Item& b) { return a.key < b.key; });
}

TEST(MergeSort, NanKeysFollowTheMergeRule) {
  // Halves [3] and [NaN, 1]: NaN is never less than 3, so it is not taken
  // before 3, and the 1 behind it waits: the order stays.
  std::vector<Item> items = {{3, 0}, {kNaN, 1}, {1, 2}};
  sort_by_key(items);
  EXPECT_EQ(ids(items), (std::vector<int>{0, 1, 2}));
  std::vector<Item> two = {{kNaN, 0}, {1, 1}, {0, 2}, {kNaN, 3}};
  sort_by_key(two);
  EXPECT_EQ(ids(two), (std::vector<int>{0, 2, 1, 3}));
}

// merge_sort agrees with a stable insertion sort on ordered keys; sort_ordered
// gives its order wherever keys hold no NaN, sort_maybe_nan everywhere: ties,
// runs in order, falling, saw teeth, -0.0 against +0.0, lengths around the
// insertion cut-off and above, NaN keys in every fifth round.
TEST(Sorts, AgreeWithAStableInsertionSort) {
  std::mt19937 rng(11);
  const auto less = [](const Item& a, const Item& b) { return a.key < b.key; };
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = rng() % 70;
    std::vector<Item> items;
    bool nan = false;
    for (std::size_t i = 0; i < n; ++i) {
      double key = static_cast<double>(rng() % (1 + round % 9));
      if (round % 4 == 1) key = static_cast<double>(i / 3);
      if (round % 4 == 2) key = static_cast<double>(n - i) / 2;
      if (round % 4 == 3) key = static_cast<double>((i % 7) == 0 ? 0 : 7 - i % 7);
      if (rng() % 10 == 0) key = -0.0;
      if (round % 5 == 0 && rng() % 4 == 0) key = kNaN;
      items.push_back({key, static_cast<int>(i)});
      nan = nan || std::isnan(key);
    }
    std::vector<Item> expected = items, maybe = items, insertion = items;
    sort_by_key(expected);
    std::vector<Item> scratch(n / 2 + 1);
    sort_maybe_nan(maybe.data(), n, scratch.data(), nan, less);
    ASSERT_EQ(ids(maybe), ids(expected)) << "round " << round;
    if (nan) continue;
    sort_ordered(items.data(), n, scratch.data(), less);
    ASSERT_EQ(ids(items), ids(expected)) << "round " << round;
    for (std::size_t i = 1; i < n; ++i) {
      for (std::size_t j = i; j > 0 && less(insertion[j], insertion[j - 1]); --j) {
        std::swap(insertion[j], insertion[j - 1]);
      }
    }
    ASSERT_EQ(ids(insertion), ids(expected)) << "round " << round;
  }
}

TEST(MinMaxNum, NanYieldsToANumberAndSignedZerosAreOrdered) {
  EXPECT_EQ(min_num(kNaN, 2) + min_num(2, kNaN) + max_num(kNaN, 2) + max_num(2, kNaN), 8);
  EXPECT_TRUE(std::isnan(min_num(kNaN, kNaN)));
  EXPECT_TRUE(std::signbit(min_num(0.0, -0.0)) && std::signbit(min_num(-0.0, 0.0)));
  EXPECT_FALSE(std::signbit(max_num(0.0, -0.0)) || std::signbit(max_num(-0.0, 0.0)));
}

TEST(KeyLess, UnorderedComponentPassesToTheNext) {
  EXPECT_TRUE(key_less(kNaN, 1, 0, 2) && key_less(0, 9, 1, 0));
  EXPECT_FALSE(key_less(kNaN, 2, 0, 1) || key_less(1, 0, 0, 9) || key_less(1, kNaN, 1, 0));
}

TEST(RectUnion, IgnoresNanAgainstANumber) {
  const Rect r = rect_union(kEmptyRect, Rect{kNaN, 1, 2, kNaN});
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(std::tie(r.x0, r.y0, r.x1, r.y1), std::make_tuple(inf, 1.0, 2.0, -inf));
}

}  // namespace
}  // namespace textloom
