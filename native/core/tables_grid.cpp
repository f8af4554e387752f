// Ruled tables from joined rules: rules that cross are one table; its rules'
// positions are the grid; a grid unit joins its neighbour where the rule
// between them is missing, which makes spanning cells. Stacks of horizontal
// rules without verticals (the statistical layout: top, header and bottom
// lines) are handed to the text strategy as bands.

#include <cmath>
#include <numeric>

#include "sort.hpp"
#include "tables_internal.hpp"

namespace textloom {

namespace {

// A grid of more units than this is hatching or graph paper, not a table a
// reader reads (the densest statistical tables have a few thousand cells).
constexpr std::size_t kMaxGridUnits = 100'000;

std::size_t find_root(std::vector<std::size_t>& parent, std::size_t i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

// Sorted positions merged where they chain within `tolerance`.
std::vector<double> cluster_positions(std::vector<double> values, double tolerance) {
  merge_sort(values, [](double a, double b) { return a < b; });
  std::vector<double> out;
  for (double v : values) {
    if (out.empty() || v - out.back() > tolerance) out.push_back(v);
  }
  return out;
}

// True when a segment of `segments` at `at` covers the middle of from..to.
bool covered(const std::vector<const Segment*>& segments, double at, double from, double to,
             double tolerance) {
  const double quarter = (to - from) / 4;
  for (const Segment* s : segments) {
    if (std::fabs(s->at - at) <= tolerance && s->from <= from + quarter && s->to >= to - quarter) {
      return true;
    }
  }
  return false;
}

Grid grid_of(const std::vector<const Segment*>& h, const std::vector<const Segment*>& v,
             double tolerance) {
  Grid grid;
  std::vector<double> xs, ys;
  double left = v.front()->at, right = left, top = h.front()->at, bottom = top;
  for (const Segment* s : v) {
    xs.push_back(s->at);
    top = min_num(top, s->from), bottom = max_num(bottom, s->to);
  }
  for (const Segment* s : h) {
    ys.push_back(s->at);
    left = min_num(left, s->from), right = max_num(right, s->to);
  }
  // Tables drawn without outer verticals (or outer horizontals) end where
  // their other rules end.
  xs.push_back(left), xs.push_back(right), ys.push_back(top), ys.push_back(bottom);
  grid.xs = cluster_positions(std::move(xs), tolerance);
  grid.ys = cluster_positions(std::move(ys), tolerance);
  grid.ruled = true;
  if (grid.xs.size() < 3 || grid.ys.size() < 3) return grid;
  const std::size_t rows = grid.ys.size() - 1, cols = grid.xs.size() - 1;
  if (rows * cols > kMaxGridUnits) return grid;
  // A missing rule joins two units into one cell. But where most rows have
  // no inner vertical at all (a table ruled in its header alone), such rows
  // keep the grid's columns instead of becoming one cell each, while a lone
  // row without (a title across a ruled table) still spans; likewise for
  // columns without inner horizontals.
  std::vector<bool> v_edge((cols + 1) * rows), h_edge((rows + 1) * cols);
  std::vector<bool> row_bare(rows, true), col_bare(cols, true);
  std::size_t bare_rows = rows, bare_cols = cols;
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t k = 1; k < cols; ++k) {
      v_edge[r * (cols + 1) + k] = covered(v, grid.xs[k], grid.ys[r], grid.ys[r + 1], tolerance);
      if (v_edge[r * (cols + 1) + k] && row_bare[r]) row_bare[r] = false, --bare_rows;
    }
  }
  for (std::size_t c = 0; c < cols; ++c) {
    for (std::size_t k = 1; k < rows; ++k) {
      h_edge[k * cols + c] = covered(h, grid.ys[k], grid.xs[c], grid.xs[c + 1], tolerance);
      if (h_edge[k * cols + c] && col_bare[c]) col_bare[c] = false, --bare_cols;
    }
  }
  for (std::size_t r = 0; r < rows && bare_rows * 2 > rows; ++r) {
    for (std::size_t k = 1; k < cols && row_bare[r]; ++k) v_edge[r * (cols + 1) + k] = true;
  }
  for (std::size_t c = 0; c < cols && bare_cols * 2 > cols; ++c) {
    for (std::size_t k = 1; k < rows && col_bare[c]; ++k) h_edge[k * cols + c] = true;
  }
  std::vector<bool> taken(rows * cols, false);
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < cols; ++c) {
      if (taken[r * cols + c]) continue;
      std::size_t cs = 1, rs = 1;
      while (c + cs < cols && !taken[r * cols + c + cs] && !v_edge[r * (cols + 1) + c + cs]) ++cs;
      auto row_open = [&](std::size_t below) {
        for (std::size_t k = c; k < c + cs; ++k) {
          if (taken[below * cols + k] || h_edge[below * cols + k]) return false;
        }
        return true;
      };
      while (r + rs < rows && row_open(r + rs)) ++rs;
      for (std::size_t i = r; i < r + rs; ++i) {
        for (std::size_t k = c; k < c + cs; ++k) taken[i * cols + k] = true;
      }
      grid.cells.push_back({static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(c),
                            static_cast<std::uint32_t>(rs), static_cast<std::uint32_t>(cs),
                            Rect{grid.xs[c], grid.ys[r], grid.xs[c + cs], grid.ys[r + rs]},
                            {}});
    }
  }
  return grid;
}

}  // namespace

std::vector<Grid> ruled_grids(const RuleSet& rules, double tolerance) {
  const std::vector<Segment>& h = rules.horizontal;
  const std::vector<Segment>& v = rules.vertical;
  std::vector<std::size_t> parent(h.size() + v.size());
  std::iota(parent.begin(), parent.end(), std::size_t{0});
  // Verticals sorted by x (they are): each horizontal meets those whose x
  // falls within its extent, found by binary search.
  for (std::size_t i = 0; i < h.size(); ++i) {
    const double lo = h[i].from - tolerance, hi = h[i].to + tolerance;
    std::size_t first = 0, last = v.size();
    while (first < last) {
      const std::size_t mid = first + (last - first) / 2;
      if (v[mid].at < lo) first = mid + 1; else last = mid;
    }
    for (std::size_t j = first; j < v.size() && v[j].at <= hi; ++j) {
      if (h[i].at >= v[j].from - tolerance && h[i].at <= v[j].to + tolerance) {
        const std::size_t a = find_root(parent, i), b = find_root(parent, h.size() + j);
        if (a != b) parent[a] = b;
      }
    }
  }
  std::vector<std::vector<const Segment*>> hs(parent.size()), vs(parent.size());
  for (std::size_t i = 0; i < h.size(); ++i) hs[find_root(parent, i)].push_back(&h[i]);
  for (std::size_t j = 0; j < v.size(); ++j) vs[find_root(parent, h.size() + j)].push_back(&v[j]);
  std::vector<Grid> grids;
  for (std::size_t root = 0; root < parent.size(); ++root) {
    if (hs[root].size() < 2 || vs[root].size() < 2) continue;  // a line, a bracket
    Grid grid = grid_of(hs[root], vs[root], tolerance);
    if (grid.cells.size() >= 2) grids.push_back(std::move(grid));
  }
  return grids;
}

std::vector<RuledBand> rule_bands(const RuleSet& rules, const std::vector<Rect>& taken,
                                  double tolerance) {
  std::vector<const Segment*> free;
  for (const Segment& s : rules.horizontal) {
    const Rect box{s.from, s.at - tolerance, s.to, s.at + tolerance};
    bool inside = false;
    for (const Rect& t : taken) inside = inside || rects_overlap(box, t);
    if (!inside) free.push_back(&s);
  }
  // Rules of one table share its width: both ends agree within a few
  // tolerances, while a rule of another width belongs to something else.
  // Groups of such rules: chains of close left ends, cut into chains of
  // close right ends (sorting, never comparing all pairs).
  const double slack = 4 * tolerance;
  auto chains = [&](std::vector<const Segment*>& items, double Segment::*end,
                    auto&& each) {
    merge_sort(items, [&](const Segment* a, const Segment* b) { return a->*end < b->*end; });
    std::size_t start = 0;
    for (std::size_t k = 1; k <= items.size(); ++k) {
      if (k == items.size() || items[k]->*end - items[k - 1]->*end > slack) {
        std::vector<const Segment*> chain(items.begin() + static_cast<std::ptrdiff_t>(start),
                                          items.begin() + static_cast<std::ptrdiff_t>(k));
        each(chain);
        start = k;
      }
    }
  };
  std::vector<RuledBand> bands;
  chains(free, &Segment::from, [&](std::vector<const Segment*>& same_left) {
    chains(same_left, &Segment::to, [&](std::vector<const Segment*>& stack) {
      if (stack.size() < 2) return;
      merge_sort(stack, [](const Segment* a, const Segment* b) { return a->at < b->at; });
      const Segment& first = *stack.front();
      const Segment& last = *stack.back();
      const double header = stack.size() >= 3 ? stack[1]->at : last.at;
      bands.push_back({Rect{first.from, first.at, first.to, last.at}, header});
    });
  });
  merge_sort(bands, [](const RuledBand& a, const RuledBand& b) {
    return key_less(a.region.y0, a.region.x0, b.region.y0, b.region.x0);
  });
  return bands;
}

}  // namespace textloom
