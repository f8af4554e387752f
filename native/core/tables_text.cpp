// Tables without rules: words grouped into rows (one per line), each row cut
// at wide white gaps; consecutive rows cut that way whose gaps line up make a
// table, its columns the white stretches common to them (which holds for
// left, right and decimal alignment alike). Prose is never one: its lines
// have no wide gaps (justified lines included), and columns of prose hold
// lines of many words, not values.

#include <cmath>

#include "sort.hpp"
#include "tables_internal.hpp"

namespace textloom {

namespace {

// A row whose words overlap this much of the smaller height share a line.
constexpr double kRowOverlap = 0.5;
// Consecutive rows of one table lie at most this many ems apart (a blank
// line and a half: row spacing of loose tables, not the gap before a new
// paragraph or heading block).
constexpr double kMaxRowGap = 2.5;
// Rows of one table stand evenly: a gap more than twice the run's median
// gap (taken as at least a fifth of an em, for rows set solid) parts two
// things, a heading or a running header from the table below it.
constexpr double kGapJump = 2.0;
constexpr double kMinRowGap = 0.2;
// A column of table cells holds labels and values; a column whose median
// entry has more words is running prose (a line of text holds a dozen).
constexpr std::size_t kMaxMedianWords = 7;
// Columns of prose set narrow (two or three to a page) hold a few words a
// line, as cells of phrases may; but a table keeps at least one column of
// labels or values of one or two words, while in narrow prose every column's
// median line has three words or more.
constexpr std::size_t kMinProseWords = 3;
// A column bound holds when at least half the rows have words on both sides
// of it (1 / kMinSupport), and at most a quarter cross it (1 / kMaxCrossing):
// a table's rows mostly fill its columns, while the gaps of a few loose
// lines of prose or display maths line up only by chance.
constexpr std::size_t kMinSupport = 2;
constexpr std::size_t kMaxCrossing = 4;
// Justified lines end flush within rounding (a tenth of an em) on both
// sides, and spread their slack evenly: their gaps differ by less than a
// tenth of an em, while a table's column gaps differ by far more.
constexpr double kFlushEms = 0.1;
constexpr double kEvenGapEms = 0.1;

struct Row {
  Rect box;
  std::vector<const WordBox*> words;  // left to right
  std::size_t chunks;                 // pieces between wide gaps
};

std::vector<Row> rows_of(const std::vector<WordBox>& words, const Rect& region,
                         double gap) {
  std::vector<const WordBox*> inside;
  for (const WordBox& w : words) {
    const double cx = (w.box.x0 + w.box.x1) / 2, cy = (w.box.y0 + w.box.y1) / 2;
    if (cx >= region.x0 && cx <= region.x1 && cy >= region.y0 && cy <= region.y1) {
      inside.push_back(&w);
    }
  }
  merge_sort(inside, [](const WordBox* a, const WordBox* b) {
    return (a->box.y0 + a->box.y1) < (b->box.y0 + b->box.y1);
  });
  std::vector<Row> rows;
  for (const WordBox* w : inside) {
    const double height = w->box.y1 - w->box.y0;
    if (!rows.empty()) {
      Row& row = rows.back();
      const double overlap = min_num(row.box.y1, w->box.y1) - max_num(row.box.y0, w->box.y0);
      if (overlap >= kRowOverlap * min_num(height, row.box.y1 - row.box.y0)) {
        row.words.push_back(w);
        row.box = rect_union(row.box, w->box);
        continue;
      }
    }
    rows.push_back({w->box, {w}, 0});
  }
  for (Row& row : rows) {
    merge_sort(row.words, [](const WordBox* a, const WordBox* b) { return a->box.x0 < b->box.x0; });
    row.chunks = 1;
    double right = row.words.front()->box.x1;
    for (std::size_t k = 1; k < row.words.size(); ++k) {
      if (row.words[k]->box.x0 - right >= gap) ++row.chunks;
      right = max_num(right, row.words[k]->box.x1);
    }
  }
  return rows;
}

// The columns of rows[first, last): white stretches of at least `gap` in the
// projection of the words of the rows that have several chunks.
std::vector<double> column_bounds(const std::vector<Row>& rows, std::size_t first,
                                  std::size_t last, double gap) {
  std::vector<std::pair<double, double>> spans;
  double left = rows[first].box.x0, right = rows[first].box.x1;
  for (std::size_t r = first; r < last; ++r) {
    left = min_num(left, rows[r].box.x0), right = max_num(right, rows[r].box.x1);
    if (rows[r].chunks < 2) continue;
    for (const WordBox* w : rows[r].words) spans.emplace_back(w->box.x0, w->box.x1);
  }
  merge_sort(spans, [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<double> xs{left};
  double reach = spans.empty() ? right : spans.front().second;
  for (std::size_t k = 1; k < spans.size(); ++k) {
    if (spans[k].first - reach >= gap) xs.push_back((spans[k].first + reach) / 2);
    reach = max_num(reach, spans[k].second);
  }
  xs.push_back(right);
  return xs;
}

// Keeps the inner bounds of `xs` that hold as columns across rows[first,
// last): most rows have words on both sides of the bound, few cross it (a
// title or a cell's long line may; prose lines cross every bound by chance).
std::vector<double> supported_bounds(const std::vector<Row>& rows, std::size_t first,
                                     std::size_t last, const std::vector<double>& xs) {
  const std::size_t n = last - first;
  std::vector<double> kept{xs.front()};
  for (std::size_t k = 1; k + 1 < xs.size(); ++k) {
    std::size_t both = 0, crossing = 0;
    for (std::size_t r = first; r < last; ++r) {
      bool left = false, right = false, across = false;
      for (const WordBox* w : rows[r].words) {
        left = left || w->box.x1 <= xs[k];
        right = right || w->box.x0 >= xs[k];
        across = across || (w->box.x0 < xs[k] && w->box.x1 > xs[k]);
      }
      both += left && right && !across ? 1 : 0;
      crossing += across ? 1 : 0;
    }
    if (both * kMinSupport >= n && crossing * kMaxCrossing <= n) kept.push_back(xs[k]);
  }
  kept.push_back(xs.back());
  return kept;
}

std::size_t column_of(const std::vector<double>& xs, double x) {
  std::size_t c = 0;
  while (c + 2 < xs.size() && x >= xs[c + 1]) ++c;
  return c;
}

// The grid of rows[first, last) cut by `xs`; a row's words that cross a
// column boundary make a cell spanning both. Empty when it reads as prose.
Grid grid_of(const std::vector<Row>& rows, std::size_t first, std::size_t last,
             const std::vector<double>& xs) {
  Grid grid;
  const std::size_t cols = xs.size() - 1;
  std::vector<std::vector<std::size_t>> words_per_column(cols);
  grid.xs = xs;
  grid.ys.push_back(rows[first].box.y0);
  for (std::size_t r = first; r < last; ++r) {
    grid.ys.push_back(r + 1 < last ? (rows[r].box.y1 + rows[r + 1].box.y0) / 2 : rows[r].box.y1);
  }
  for (std::size_t r = first; r < last; ++r) {
    // Per column, the extent of this row's words that start in it.
    std::vector<std::size_t> count(cols, 0);
    std::vector<std::size_t> reach(cols, 0);
    for (const WordBox* w : rows[r].words) {
      const std::size_t c = column_of(xs, w->box.x0);
      const std::size_t e = column_of(xs, w->box.x1);
      ++count[c];
      reach[c] = e > reach[c] ? e : reach[c];
    }
    const auto row = static_cast<std::uint32_t>(r - first);
    for (std::size_t c = 0; c < cols;) {
      std::size_t end = c;
      if (count[c] > 0) {
        end = reach[c] > c ? reach[c] : c;
        words_per_column[c].push_back(count[c]);
      }
      grid.cells.push_back({row, static_cast<std::uint32_t>(c), 1,
                            static_cast<std::uint32_t>(end - c + 1),
                            Rect{xs[c], grid.ys[row], xs[end + 1], grid.ys[row + 1]}, {}});
      c = end + 1;
    }
  }
  bool short_column = false;
  for (std::vector<std::size_t>& counts : words_per_column) {
    if (counts.empty()) continue;
    merge_sort(counts, [](std::size_t a, std::size_t b) { return a < b; });
    const std::size_t median = counts[counts.size() / 2];
    if (median > kMaxMedianWords) return Grid{};
    short_column = short_column || median < kMinProseWords;
  }
  return short_column ? grid : Grid{};
}

// True when rows[first, last) read as justified prose: every row flush with
// the others on both sides, each row's gaps alike (a justified line spreads
// its slack over all its gaps evenly; one row at least has several), and the
// rows' gaps unlike each other (each line has its own slack; a table's rows
// repeat its columns' gaps, and a two-column list of single words has no
// row to show even spreading).
// Narrow justified columns stretch their gaps wide enough to look like
// columns.
bool justified(const std::vector<Row>& rows, std::size_t first, std::size_t last, double em) {
  const double flush = kFlushEms * em, even = kEvenGapEms * em;
  double row_low = INFINITY, row_high = -INFINITY;  // over the rows' gap widths
  std::size_t spread = 0;  // rows of several gaps, all alike
  for (std::size_t r = first; r < last; ++r) {
    const Row& row = rows[r];
    if (std::fabs(row.box.x0 - rows[first].box.x0) > flush ||
        std::fabs(row.box.x1 - rows[first].box.x1) > flush) {
      return false;
    }
    double low = INFINITY, high = -INFINITY;
    for (std::size_t k = 1; k < row.words.size(); ++k) {
      const double g = row.words[k]->box.x0 - row.words[k - 1]->box.x1;
      low = min_num(low, g), high = max_num(high, g);
    }
    if (row.words.size() < 2) continue;
    if (high - low > even) return false;
    spread += row.words.size() >= 3 ? 1 : 0;
    row_low = min_num(row_low, low), row_high = max_num(row_high, high);
  }
  return spread > 0 && row_high - row_low > even;
}

bool finite_box(const Rect& r) {
  return std::isfinite(r.x0) && std::isfinite(r.y0) && std::isfinite(r.x1) && std::isfinite(r.y1);
}

}  // namespace

std::vector<WordBox> word_boxes(const std::vector<Block>& blocks, const Xf& xf) {
  std::vector<WordBox> out;
  for (const Block& block : blocks) {
    for (const Line& line : block.lines) {
      Rect word = kEmptyRect;
      bool open = false;
      auto close = [&]() {
        const Rect box = xf.rc(word);
        if (open && finite_box(box)) out.push_back({box});
        open = false;
      };
      for (const Char& ch : line.chars) {
        if (is_word_separator(ch.ch)) {
          close();
        } else {
          word = open ? rect_union(word, ch.bbox) : ch.bbox;
          open = true;
        }
      }
      close();
    }
  }
  return out;
}

std::vector<Grid> text_grids(const std::vector<WordBox>& words, const Rect& region, double em,
                             double column_gap, std::uint32_t min_rows, bool whole) {
  const double gap = column_gap * em;
  const std::vector<Row> rows = rows_of(words, region, gap);
  std::vector<Grid> grids;
  auto try_piece = [&](std::size_t first, std::size_t last) {
    // Single-chunk rows at the ends belong to the text around the table.
    while (first < last && rows[first].chunks < 2 && !whole) ++first;
    while (last > first && rows[last - 1].chunks < 2 && !whole) --last;
    if (last - first < (whole ? 2 : min_rows) || justified(rows, first, last, em)) return;
    const std::vector<double> xs =
        supported_bounds(rows, first, last, column_bounds(rows, first, last, gap));
    if (xs.size() < 3) return;
    Grid grid = grid_of(rows, first, last, xs);
    if (!grid.cells.empty()) grids.push_back(std::move(grid));
  };
  // A run is cut where rows stand much farther apart than its rows do: a
  // running header or a caption above a table, a paragraph's lines below it.
  auto try_run = [&](std::size_t first, std::size_t last) {
    if (last - first < 3) return try_piece(first, last);
    std::vector<double> gaps;
    for (std::size_t r = first + 1; r < last; ++r) gaps.push_back(rows[r].box.y0 - rows[r - 1].box.y1);
    std::vector<double> sorted = gaps;
    merge_sort(sorted, [](double a, double b) { return a < b; });
    const double limit = kGapJump * max_num(sorted[sorted.size() / 2], kMinRowGap * em);
    std::size_t start = first;
    for (std::size_t r = first + 1; r < last; ++r) {
      if (gaps[r - first - 1] > limit) try_piece(start, r), start = r;
    }
    try_piece(start, last);
  };
  if (whole) {
    if (!rows.empty()) try_piece(0, rows.size());
    return grids;
  }
  std::size_t first = 0;
  std::size_t singles = 0;  // single-chunk rows in a row at the run's end
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const bool near = r > first && rows[r].box.y0 - rows[r - 1].box.y1 <= kMaxRowGap * em;
    // A run goes on through one single-chunk row (a cell's second line) but
    // not two: two lines without a gap are a paragraph between tables.
    if (r > first && (!near || (rows[r].chunks < 2 && singles >= 1))) {
      try_run(first, r);
      first = r;
      singles = 0;
    }
    singles = rows[r].chunks < 2 ? singles + 1 : 0;
  }
  try_run(first, rows.size());
  return grids;
}

}  // namespace textloom
