// Rows from lines inside ruled grids: a table whose columns are ruled but
// whose rows are not (verticals and a header rule only) comes out of the
// grid as one tall row holding many lines; here such a row is cut where a
// line starts in the label column (the grid's first) and in another. A line
// that the label column does not start (a wrapped cell, a header's second
// line over an empty stub) stays in its row.

#include <cstddef>
#include <vector>

#include "sort.hpp"
#include "tables_cells.hpp"

namespace textloom {

namespace {

// A text line's stretch inside one grid row: its vertical extent and the
// columns it has chars in (a bit per column, the first 64).
struct Band {
  double top;
  double bottom;
  std::uint64_t columns;
};

// A ruled row is cut only into this many rows or more: a producer who rules
// rows may well put two lines in one (a header of two lines), but a row
// holding three or more lines that its label column starts is rows left
// unruled.
constexpr std::size_t kMinParts = 3;

// A band overlapping another by this share of the smaller height is the
// same line (superscripts and mixed sizes in one line stay one band).
constexpr double kSameLine = 0.5;

int popcount(std::uint64_t bits) {
  int n = 0;
  for (; bits != 0; bits &= bits - 1) ++n;
  return n;
}


// The cuts of one row: midpoints before each band that starts a line in the
// row's label column and in another.
std::vector<double> cuts_of(std::vector<Band>& bands) {
  merge_sort(bands, [](const Band& a, const Band& b) { return a.top < b.top; });
  std::vector<Band> merged;
  for (const Band& b : bands) {
    if (!merged.empty()) {
      Band& m = merged.back();
      const double overlap = min_num(m.bottom, b.bottom) - max_num(m.top, b.top);
      if (overlap >= kSameLine * min_num(m.bottom - m.top, b.bottom - b.top)) {
        m.bottom = max_num(m.bottom, b.bottom);
        m.columns |= b.columns;
        continue;
      }
    }
    merged.push_back(b);
  }
  constexpr std::uint64_t kLabel = 1;  // the grid's first column
  std::vector<double> cuts;
  for (std::size_t k = 1; k < merged.size(); ++k) {
    const int here = popcount(merged[k].columns);
    if (here >= 2 && (merged[k].columns & kLabel) != 0 && merged[k].top > merged[k - 1].bottom) {
      cuts.push_back((merged[k - 1].bottom + merged[k].top) / 2);
    }
  }
  return cuts;
}

// The bands of each row of each grid: every line's stretch in each row it
// has chars in.
std::vector<std::vector<std::vector<Band>>> bands_of(const std::vector<Grid>& grids,
                                                     const std::vector<PlacedChar>& chars) {
  std::vector<std::vector<std::vector<Band>>> bands(grids.size());
  for (std::size_t g = 0; g < grids.size(); ++g) bands[g].resize(grids[g].ys.size() - 1);
  const GridIndex index(grids);
  std::size_t last_grid = static_cast<std::size_t>(-1), last_row = last_grid, last_line = 0;
  for (const PlacedChar& ch : chars) {
    index.at(ch.cx, ch.cy, [&](std::size_t g) {
      const Grid& grid = grids[g];
      const std::size_t c = interval_of(grid.xs, ch.cx), r = interval_of(grid.ys, ch.cy);
      if (c == static_cast<std::size_t>(-1) || r == static_cast<std::size_t>(-1) || c >= 64) {
        return false;
      }
      std::vector<Band>& row = bands[g][r];
      if (g != last_grid || r != last_row || ch.line != last_line || row.empty()) {
        row.push_back({ch.box.y0, ch.box.y1, 0});
      }
      last_grid = g, last_row = r, last_line = ch.line;
      Band& b = row.back();
      b.top = min_num(b.top, ch.box.y0), b.bottom = max_num(b.bottom, ch.box.y1);
      b.columns |= std::uint64_t{1} << c;
      return true;
    });
  }
  return bands;
}

void split_grid(Grid& grid, std::vector<std::vector<Band>>& bands) {
  const std::size_t rows = grid.ys.size() - 1, cols = grid.xs.size() - 1;
  if (cols < 2 || cols > 64) return;
  std::vector<bool> spanned(rows, false);
  for (const TableCell& c : grid.cells) {
    if (c.row_span > 1) {
      for (std::size_t r = c.row; r < c.row + c.row_span; ++r) spanned[r] = true;
    }
  }
  std::vector<std::vector<double>> cuts(rows);
  std::size_t added = 0;
  for (std::size_t r = 0; r < rows; ++r) {
    if (!spanned[r] && bands[r].size() >= kMinParts) cuts[r] = cuts_of(bands[r]);
    if (cuts[r].size() + 1 < kMinParts) cuts[r].clear();
    added += cuts[r].size();
  }
  if (added == 0) return;
  // New row numbers: each row's first sub-row, and the boundaries.
  std::vector<std::uint32_t> first(rows + 1, 0);
  std::vector<double> ys;
  for (std::size_t r = 0; r < rows; ++r) {
    first[r + 1] = first[r] + static_cast<std::uint32_t>(cuts[r].size() + 1);
    ys.push_back(grid.ys[r]);
    for (double cut : cuts[r]) ys.push_back(cut);
  }
  ys.push_back(grid.ys.back());
  std::vector<TableCell> cells;
  for (const TableCell& c : grid.cells) {
    const std::uint32_t top = first[c.row];
    if (c.row_span > 1 || cuts[c.row].empty()) {
      TableCell moved = c;
      moved.row = top;
      moved.row_span = first[c.row + c.row_span] - top;
      cells.push_back(moved);
      continue;
    }
    for (std::uint32_t k = 0; k <= cuts[c.row].size(); ++k) {
      TableCell part = c;
      part.row = top + k;
      part.row_span = 1;
      part.bbox.y0 = ys[top + k];
      part.bbox.y1 = ys[top + k + 1];
      cells.push_back(part);
    }
  }
  merge_sort(cells, [](const TableCell& a, const TableCell& b) {
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  grid.cells = std::move(cells);
  grid.ys = std::move(ys);
}

}  // namespace

void split_rows(std::vector<Grid>& grids, const std::vector<PlacedChar>& chars) {
  std::vector<std::vector<std::vector<Band>>> bands = bands_of(grids, chars);
  for (std::size_t g = 0; g < grids.size(); ++g) split_grid(grids[g], bands[g]);
}

}  // namespace textloom
