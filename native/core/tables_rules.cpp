// Snapping and joining rules: the strokes a producer draws for one table line
// land a little apart across (double strokes, rounding) and break along it
// (cell by cell, dashes, dots); both become one segment here. What makes a
// table of the segments is left to tables_grid.

#include <cmath>

#include "sort.hpp"
#include "tables_internal.hpp"

namespace textloom {

namespace {

bool segment_less(const Segment& a, const Segment& b) {
  return key_less(a.at, a.from, b.at, b.from);
}

// Clusters `items` (sorted by at) whose positions chain within `snap`, and
// joins each cluster's pieces that touch within `join`, at the cluster's
// mean position.
std::vector<Segment> snap_and_join(std::vector<Segment> items, double snap, double join,
                                   double min_length) {
  std::vector<Segment> out;
  merge_sort(items, segment_less);
  std::size_t start = 0;
  while (start < items.size()) {
    std::size_t end = start + 1;
    double sum = items[start].at;
    while (end < items.size() && items[end].at - items[end - 1].at <= snap) {
      sum += items[end].at;
      ++end;
    }
    const double at = sum / static_cast<double>(end - start);
    std::vector<Segment> cluster(items.begin() + static_cast<std::ptrdiff_t>(start),
                                 items.begin() + static_cast<std::ptrdiff_t>(end));
    merge_sort(cluster, [](const Segment& a, const Segment& b) { return a.from < b.from; });
    Segment run = cluster.front();
    auto flush = [&]() {
      if (run.to - run.from >= min_length) out.push_back({at, run.from, run.to});
    };
    for (std::size_t k = 1; k < cluster.size(); ++k) {
      if (cluster[k].from <= run.to + join) {
        run.to = max_num(run.to, cluster[k].to);
      } else {
        flush();
        run = cluster[k];
      }
    }
    flush();
    start = end;
  }
  merge_sort(out, segment_less);
  return out;
}

}  // namespace

RuleSet join_rules(const std::vector<PageRule>& rules, double snap, double join,
                   double min_length) {
  std::vector<Segment> horizontal, vertical;
  for (const PageRule& r : rules) {
    if (!(std::isfinite(r.x0) && std::isfinite(r.y0) && std::isfinite(r.x1) &&
          std::isfinite(r.y1))) {
      continue;
    }
    const double dx = r.x1 - r.x0, dy = r.y1 - r.y0;
    const double length = max_num(dx, dy);
    if (length <= r.width && length <= join) {
      // A dot: its run decides the direction, so it may join either way.
      const double half = max_num(r.width, length) / 2;
      const double cx = (r.x0 + r.x1) / 2, cy = (r.y0 + r.y1) / 2;
      horizontal.push_back({cy, cx - half, cx + half});
      vertical.push_back({cx, cy - half, cy + half});
    } else if (dy <= dx) {
      horizontal.push_back({(r.y0 + r.y1) / 2, r.x0, r.x1});
    } else {
      vertical.push_back({(r.x0 + r.x1) / 2, r.y0, r.y1});
    }
  }
  return {snap_and_join(std::move(horizontal), snap, join, min_length),
          snap_and_join(std::move(vertical), snap, join, min_length)};
}

}  // namespace textloom
