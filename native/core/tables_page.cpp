// The page as table finding sees it: the frame its text reads in and its
// type size, the unit of every tolerance.

#include <cmath>
#include <utility>
#include <vector>

#include "sort.hpp"
#include "tables_internal.hpp"

namespace textloom {

namespace {

// The type size of a page without text: a common body size.
constexpr double kDefaultEm = 10.0;
// A page sets its text in a few sizes: counting them beats sorting every
// glyph's. Past this many distinct sizes the glyphs' sizes are sorted.
constexpr std::size_t kMaxDistinctSizes = 64;
// Share of the glyphs running one way that makes that way the frame's, as
// the "reading" order has it.
constexpr double kDominantShare = 0.6;

}  // namespace

std::uint32_t frame_rotation(const PageGlyphs& page) {
  double count[4] = {0, 0, 0, 0};  // right, up, left, down (rotations 0, 90, 180, 270)
  for (const Glyph& g : page.glyphs) {
    if (g.dir_y == 0 && g.dir_x > 0) {  // most text, most glyphs: rightwards
      count[0] += 1;
      continue;
    }
    if (std::isnan(g.dir_x) || std::isnan(g.dir_y) || (g.dir_x == 0 && g.dir_y == 0)) continue;
    if (std::fabs(g.dir_x) >= std::fabs(g.dir_y)) {
      count[g.dir_x > 0 ? 0 : 2] += 1;
    } else {
      count[g.dir_y < 0 ? 1 : 3] += 1;
    }
  }
  const double total = static_cast<double>(page.glyphs.size());
  for (std::uint32_t w = 0; w < 4; ++w) {
    if (total > 0 && count[w] >= kDominantShare * total) return w * 90;
  }
  return page.rotation;
}

double median_size(const PageGlyphs& page) {
  std::vector<std::pair<double, std::size_t>> counts;  // distinct sizes, how often
  std::size_t total = 0, last = 0;
  bool many = false;
  for (const Glyph& g : page.glyphs) {
    if (!(g.size > 0 && std::isfinite(g.size))) continue;
    ++total;
    if (!counts.empty() && counts[last].first == g.size) {
      ++counts[last].second;
      continue;
    }
    last = counts.size();
    for (std::size_t k = 0; k < counts.size(); ++k) {
      if (counts[k].first == g.size) last = k;
    }
    if (last < counts.size()) {
      ++counts[last].second;
    } else if (counts.size() < kMaxDistinctSizes) {
      counts.emplace_back(g.size, 1);
    } else {
      many = true;
      break;
    }
  }
  if (total == 0) return kDefaultEm;
  if (many) {
    std::vector<double> sizes;
    for (const Glyph& g : page.glyphs) {
      if (g.size > 0 && std::isfinite(g.size)) sizes.push_back(g.size);
    }
    // Finite numbers only, so the fast sort gives merge_sort's order.
    std::vector<double> scratch(sizes.size() / 2 + 1);
    sort_ordered(sizes.data(), sizes.size(), scratch.data(), [](double a, double b) { return a < b; });
    return sizes[sizes.size() / 2];
  }
  merge_sort(counts, [](const auto& a, const auto& b) { return a.first < b.first; });
  // The size at sorted position total / 2.
  std::size_t seen = 0;
  for (const auto& [size, n] : counts) {
    seen += n;
    if (seen > total / 2) return size;
  }
  return counts.back().first;
}

}  // namespace textloom
