// Table finding on hand-built pages: rules drawn solid, dotted or as thin
// rectangles, spans from missing rules, tolerances on both sides, bands of
// header and bottom rules, tables of aligned words, prose, damage and size.

#include "tables.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

struct TablePage {
  fixtures::PageBuilder builder;
  TablePage() { builder.page().width = 600, builder.page().height = 800; }
  PageGlyphs& page() { return builder.page(); }
  // Text of size 10 (5 points a glyph) with its baseline at y, words one space apart.
  void words(const std::u32string& text, double x, double y) {
    for (char32_t c : text) {
      if (c != U' ') builder.at(c, x, y);
      x += 5;
    }
  }
  void h(double x0, double x1, double y) { page().rules.push_back({x0, y, x1, y, 0.5, 0, false}); }
  void v(double x, double y0, double y1) { page().rules.push_back({x, y0, x, y1, 0.5, 0, false}); }
};

std::vector<Table> find(const PageGlyphs& page, TableStrategy strategy = TableStrategy::automatic) {
  return find_tables(page, strategy, std::nullopt, TableParams{});
}

// (row, col, row_span, col_span, text) of each cell.
using Cells = std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                     std::string>>;
Cells cells_of(const Table& t) {
  Cells out;
  for (const TableCell& c : t.cells) out.emplace_back(c.row, c.col, c.row_span, c.col_span, c.text);
  return out;
}

enum class Drawing { solid, dotted, jittered, rectangles, dots_too_far };

// A 3 x 4 grid of cells 100 wide and 30 high from (50, 100), each holding
// its row and column ("a1".."c4"), drawn as asked.
TablePage grid_page(Drawing drawing) {
  TablePage p;
  auto line = [&](double x0, double y0, double x1, double y1) {
    const bool across = y0 == y1;
    const double length = across ? x1 - x0 : y1 - y0;
    if (drawing == Drawing::solid) {
      p.page().rules.push_back({x0, y0, x1, y1, 0.5, 0, false});
    } else if (drawing == Drawing::rectangles) {
      p.page().rules.push_back({x0, y0, x1, y1, 1.5, 0x336699, true});
    } else {
      // Dashes of 2 points; gaps of 3 join (under 0.35 em), gaps of 4 do
      // not; jittered dashes stand 1.5 points apart across, by turns.
      const double step = drawing == Drawing::dots_too_far ? 6 : 5;
      int count = 0;
      auto dash = [&](double s) {
        const double off = drawing != Drawing::jittered ? 0 : count++ % 2 == 1 ? 0.75 : -0.75;
        if (across) p.page().rules.push_back({x0 + s, y0 + off, x0 + s + 2, y0 + off, 0.5, 0, false});
        else p.page().rules.push_back({x0 + off, y0 + s, x0 + off, y0 + s + 2, 0.5, 0, false});
      };
      for (double s = 0; s + 2 < length; s += step) dash(s);
      dash(length - 2);  // the last dash ends the line
    }
  };
  for (int r = 0; r <= 3; ++r) line(50, 100 + 30 * r, 450, 100 + 30 * r);
  for (int c = 0; c <= 4; ++c) line(50 + 100 * c, 100, 50 + 100 * c, 190);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      p.words({static_cast<char32_t>(U'a' + r), static_cast<char32_t>(U'1' + c)}, 60 + 100 * c,
              120 + 30 * r);
    }
  }
  return p;
}

Cells full_grid() {
  Cells out;
  for (std::uint32_t r = 0; r < 3; ++r) {
    for (std::uint32_t c = 0; c < 4; ++c) {
      out.emplace_back(r, c, 1, 1, std::string{static_cast<char>('a' + r), static_cast<char>('1' + c)});
    }
  }
  return out;
}

TEST(TablesRuled, ThreeByFourDrawnEveryWay) {
  for (Drawing d : {Drawing::solid, Drawing::dotted, Drawing::jittered, Drawing::rectangles}) {
    TablePage p = grid_page(d);
    const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
    ASSERT_EQ(tables.size(), 1u) << static_cast<int>(d);
    const Table& t = tables[0];
    EXPECT_EQ(std::tuple(t.rows, t.cols), std::tuple(3u, 4u));
    EXPECT_EQ(cells_of(t), full_grid());
    EXPECT_EQ(std::tuple(std::round(t.bbox.x0), std::round(t.bbox.y0), std::round(t.bbox.x1),
                         std::round(t.bbox.y1)),
              std::tuple(50.0, 100.0, 450.0, 190.0));
    const Rect& b = t.cells[5].bbox;  // b2
    EXPECT_EQ(std::tuple(std::round(b.x0), std::round(b.y0), std::round(b.x1), std::round(b.y1)),
              std::tuple(150.0, 130.0, 250.0, 160.0));
  }
  // Dashes too far apart to join are no rules, and no table.
  EXPECT_TRUE(find(grid_page(Drawing::dots_too_far).page(), TableStrategy::lines).empty());
}

// A missing inner rule joins two grid units into one cell: across (a header
// cell over two columns) and down (a label over two rows).
TEST(TablesRuled, MissingInnerRulesMakeSpans) {
  TablePage p = grid_page(Drawing::solid);
  std::vector<PageRule>& rules = p.page().rules;
  rules[5] = {150, 130, 150, 190, 0.5, 0, false};  // x 150 only below the first row
  rules[2] = {150, 160, 450, 160, 0.5, 0, false};  // y 160 missing under column 0
  const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(cells_of(tables[0]), (Cells{{0, 0, 1, 2, "a1 a2"}, {0, 2, 1, 1, "a3"}, {0, 3, 1, 1, "a4"},
                                        {1, 0, 2, 1, "b1 c1"}, {1, 1, 1, 1, "b2"}, {1, 2, 1, 1, "b3"},
                                        {1, 3, 1, 1, "b4"}, {2, 1, 1, 1, "c2"}, {2, 2, 1, 1, "c3"},
                                        {2, 3, 1, 1, "c4"}}));
}

// A table ruled in its header alone (inner verticals in the first row only)
// keeps its columns below: no inner rule at all is no missing rule.
TEST(TablesRuled, HeaderRuledAloneKeepsColumns) {
  TablePage p = grid_page(Drawing::solid);
  for (std::size_t k = 5; k <= 7; ++k) p.page().rules[k].y1 = 130;
  const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(cells_of(tables[0]), full_grid());
}

// Columns ruled, rows not (rules above and below the header and at the
// bottom only): a row per line its label column starts; a line the label
// column does not start is its row's wrapped cell.
TEST(TablesRuled, UnruledRowsFromLines) {
  TablePage p;
  p.h(50, 350, 100), p.h(50, 350, 115), p.h(50, 350, 200);
  for (double x : {50.0, 150.0, 250.0, 350.0}) p.v(x, 100, 200);
  p.words(U"k", 60, 111), p.words(U"v", 160, 111), p.words(U"w", 260, 111);
  const char32_t* labels[] = {U"aa", U"bb", U"cc", U"dd"};
  for (int r = 0; r < 4; ++r) {
    const double y = 130 + 15 * r + (r == 3 ? 15 : 0);  // dd after a wrapped line
    p.words(labels[r], 60, y), p.words(U"1", 160, y), p.words(U"2", 260, y);
  }
  p.words(U"4", 160, 175), p.words(U"3", 260, 175);  // cc's cells wrap, its label does not
  const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(std::tuple(tables[0].rows, tables[0].cols), std::tuple(5u, 3u));
  EXPECT_EQ(std::get<4>(cells_of(tables[0])[10]), "1 4");
  EXPECT_EQ(std::get<4>(cells_of(tables[0])[11]), "2 3");
  EXPECT_EQ(std::get<4>(cells_of(tables[0])[12]), "dd");
}

// Rules a little apart across snap into one line: within the tolerance the
// table stays 3 x 4, beyond it a stray rule makes another row.
TEST(TablesRuled, SnapToleranceBothSides) {
  for (const auto& [offset, rows] : {std::pair{2.5, 3u}, {4.0, 4u}}) {
    TablePage p = grid_page(Drawing::solid);
    p.h(50, 450, 130 + offset);  // a second stroke under the first row's rule
    const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
    ASSERT_EQ(tables.size(), 1u) << offset;
    EXPECT_EQ(tables[0].rows, rows) << offset;
  }
}

// A frame around text, an underline, a grid with no text, a page of damaged
// rules: no table; damaged rules beside a table leave it as it is.
TEST(TablesRuled, NotTables) {
  TablePage frame;
  frame.h(20, 580, 20), frame.h(20, 580, 780), frame.v(20, 20, 780), frame.v(580, 20, 780);
  frame.words(U"inside the border", 100, 100);
  frame.h(100, 185, 102);  // and an underline
  EXPECT_TRUE(find(frame.page()).empty());
  TablePage empty = grid_page(Drawing::solid);
  empty.page().glyphs.clear();
  EXPECT_TRUE(find(empty.page(), TableStrategy::lines).empty());
  TablePage damaged = grid_page(Drawing::solid);
  damaged.page().rules.push_back({kNan, 100, 400, 100, 0.5, 0, false});
  damaged.page().rules.push_back({60, kNan, 60, kNan, 0.5, 0, false});
  const std::vector<Table> tables = find(damaged.page(), TableStrategy::lines);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(cells_of(tables[0]), full_grid());
}

// A grid under a figure's marks is a chart; a grid with text in fewer than a
// quarter of its cells is gridlines or a form (3 of 12 is a table, 2 not).
TEST(TablesRuled, ChartsAndEmptyGrids) {
  TablePage chart = grid_page(Drawing::solid);
  chart.page().marks.push_back({60, 105, 440, 185});
  EXPECT_TRUE(find(chart.page()).empty());
  chart.page().marks.back() = {60, 105, 80, 110};  // a small symbol in one cell
  EXPECT_EQ(find(chart.page()).size(), 1u);
  for (const auto& [kept, tables] : {std::pair{3u, 1u}, {2u, 0u}}) {
    TablePage sparse = grid_page(Drawing::solid);
    sparse.page().glyphs.resize(2 * kept);  // the first cells' two glyphs each
    EXPECT_EQ(find(sparse.page(), TableStrategy::lines).size(), tables) << kept;
  }
}

// Glyphs at NaN and infinite places beside a ruled table and a table of
// words: both found as before, every box a number.
TEST(TablesText, DamagedGlyphs) {
  TablePage p = grid_page(Drawing::solid);
  for (int r = 0; r < 4; ++r) {
    p.words(U"alpha", 50, 400 + 14 * r), p.words(U"12", 150, 400 + 14 * r);
  }
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {kNan, inf, -inf}) {
    p.builder.at(U'x', v, 420), p.builder.at(U'y', 160, v), p.builder.at(U'z', v, v);
  }
  const std::vector<Table> ruled = find(p.page(), TableStrategy::lines);
  ASSERT_EQ(ruled.size(), 1u);
  EXPECT_EQ(cells_of(ruled[0]), full_grid());
  std::vector<Table> tables = find(p.page(), TableStrategy::text);
  ASSERT_FALSE(tables.empty());
  EXPECT_EQ(std::tuple(tables.back().rows, tables.back().cols), std::tuple(4u, 2u));
  tables.push_back(ruled[0]);
  for (const Table& t : tables) {
    for (const TableCell& c : t.cells) {
      EXPECT_TRUE(std::isfinite(c.bbox.x0) && std::isfinite(c.bbox.y0) &&
                  std::isfinite(c.bbox.x1) && std::isfinite(c.bbox.y1));
    }
  }
}

// A cell of two lines joins them by one space; a hyphenated line end joins
// without the hyphen.
TEST(TablesCells, LinesJoined) {
  TablePage p = grid_page(Drawing::solid);
  std::vector<Glyph>& glyphs = p.page().glyphs;
  glyphs.erase(glyphs.begin(), glyphs.begin() + 2);  // a1 out
  p.words(U"inter-", 55, 112);
  p.words(U"national", 55, 124);
  const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].cells[0].text, "international");
}


// A word is its cell's whole where it starts: across an inner rule and past
// the table's edge; the table names every char its cells hold.
TEST(TablesCells, WordsFiledWholeWhereTheyStart) {
  TablePage p = grid_page(Drawing::solid);
  p.words(U"overflow", 420, 150);  // from column 3 past the right edge (450)
  p.words(U"spilling", 115, 180);  // from column 0 over the rule at 150
  const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
  ASSERT_EQ(tables.size(), 1u);
  const Cells cells = cells_of(tables[0]);
  EXPECT_EQ(std::get<4>(cells[7]), "b4 overflow");
  EXPECT_EQ(std::get<4>(cells[8]), "c1 spilling");
  EXPECT_EQ(std::get<4>(cells[9]), "c2");
  EXPECT_EQ(tables[0].chars.size(), 24u + 16u);
}

// A frame drawn inside a cell is no table of its own, and what it frames
// stays the cell's.
TEST(TablesCells, FrameInsideACellLeavesItsText) {
  TablePage p = grid_page(Drawing::solid);
  // A 2 x 2 frame clear of the cell's rules by more than a tolerance.
  for (double y : {105.0, 110.0, 126.0}) p.h(56, 144, y);
  for (double x : {56.0, 100.0, 144.0}) p.v(x, 105, 126);
  const std::vector<Table> tables = find(p.page(), TableStrategy::lines);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(cells_of(tables[0]), full_grid());
}
// A statistical table: a top rule, a rule under the header, a bottom rule,
// no verticals; right-aligned numbers with decimal points.
TEST(TablesText, HeaderAndBottomRules) {
  TablePage p;
  p.h(50, 400, 100), p.h(50, 400, 118), p.h(50, 400, 190);
  p.words(U"Country", 55, 112), p.words(U"Share", 250, 112), p.words(U"Total", 340, 112);
  const char32_t* rows[][3] = {{U"Spain", U"12.5", U"1234.75"},
                              {U"France", U"3.25", U"98.5"},
                              {U"Italy", U"101.0", U"7.25"}};
  for (int r = 0; r < 3; ++r) {
    const double y = 135 + 20 * r;
    p.words(rows[r][0], 55, y);
    // Right-aligned at x 280 and 390.
    p.words(rows[r][1], 280 - 5 * static_cast<double>(std::u32string(rows[r][1]).size()), y);
    p.words(rows[r][2], 390 - 5 * static_cast<double>(std::u32string(rows[r][2]).size()), y);
  }
  for (TableStrategy s : {TableStrategy::automatic, TableStrategy::text}) {
    const std::vector<Table> tables = find(p.page(), s);
    ASSERT_EQ(tables.size(), 1u) << static_cast<int>(s);
    const Table& t = tables[0];
    EXPECT_EQ(std::tuple(t.rows, t.cols, t.header), std::tuple(4u, 3u, 1u));
    EXPECT_EQ(std::get<4>(cells_of(t)[7]), "3.25");
  }
  EXPECT_TRUE(find(p.page(), TableStrategy::lines).empty());
}

// Columns of words apart by the column gap (here two ems, so that the words
// stay apart either way) or more make a table; a little less, and no table.
TEST(TablesText, ColumnGapBothSides) {
  TableParams params;
  params.column_gap = 2.0;
  for (const auto& [gap, tables] : {std::pair{20.5, 1u}, {19.5, 0u}}) {
    TablePage p;
    for (int r = 0; r < 4; ++r) {
      double x = 50;
      for (const char32_t* w : {U"alpha", U"12", U"beta"}) {
        p.words(w, x, 100 + 14 * r);
        x += 5 * static_cast<double>(std::u32string(w).size()) + gap;
      }
    }
    EXPECT_EQ(find_tables(p.page(), TableStrategy::text, std::nullopt, params).size(), tables)
        << gap;
  }
}

// Rows whose gaps line up, every other one a line of prose across the gap:
// a column that a third of the rows cross is no column (a table's rows fill
// their columns); with one such line among six rows, a table.
TEST(TablesText, ColumnsCrossedByLinesAreNone) {
  for (const auto& [crossing, tables] : {std::pair{2, 0u}, {1, 1u}}) {
    TablePage p;
    for (int r = 0; r < 6; ++r) {
      const double y = 100 + 14 * r;
      if ((r == 1 && crossing >= 1) || (r == 3 && crossing >= 2)) {
        p.words(U"the quick brown fox jumps over the dog", 50, y);
      } else {
        p.words(U"alpha", 50, y), p.words(U"beta", 150, y);
      }
    }
    EXPECT_EQ(find(p.page(), TableStrategy::text).size(), tables) << crossing;
  }
}

// "auto" and a table of words on a page with a vertical rule: found beside
// the rule (a column separator), not with the rule through it (a chart's
// axis), which "text" alone still reads as a table.
TEST(TablesText, VerticalRulesBesideAndThrough) {
  for (const auto& [x, tables] : {std::pair{500.0, 1u}, {100.0, 0u}}) {
    TablePage p;
    for (int r = 0; r < 4; ++r) {
      p.words(U"alpha", 50, 100 + 14 * r), p.words(U"12", 150, 100 + 14 * r);
      p.words(U"34", 250, 100 + 14 * r);
    }
    p.v(x, 80, 170);
    EXPECT_EQ(find(p.page()).size(), tables) << x;
    EXPECT_EQ(find(p.page(), TableStrategy::text).size(), 1u) << x;
  }
}

// A running header whose two parts line up with a table's columns, set
// farther above it than its rows stand apart: not the table's first row.
TEST(TablesText, HeaderLineFartherAboveIsNoRow) {
  TablePage p;
  p.words(U"Report", 50, 70), p.words(U"page", 150, 70);
  for (int r = 0; r < 3; ++r) p.words(U"alpha", 50, 90 + 14 * r), p.words(U"12", 150, 90 + 14 * r);
  const std::vector<Table> tables = find(p.page(), TableStrategy::text);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(std::tuple(tables[0].rows, tables[0].cells[0].text), std::tuple(3u, "alpha"));
}

// A table of words right above loosely set lines (word gaps of 0.6 em, under
// the column gap): the table ends where its rows do.
TEST(TablesText, TableAboveLooseLines) {
  TablePage p;
  for (int r = 0; r < 6; ++r) {
    const double y = 100 + 14 * r;
    if (r < 3) {
      p.words(U"alpha", 50, y), p.words(U"beta", 150, y);
      continue;
    }
    double x = 50;
    for (const char32_t* w : {U"some", U"loose", U"words", U"across", U"the", U"page"}) {
      p.words(w, x, y);
      x += 5 * static_cast<double>(std::u32string(w).size()) + 6;
    }
  }
  const std::vector<Table> tables = find(p.page(), TableStrategy::text);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(std::tuple(tables[0].rows, tables[0].cols), std::tuple(3u, 2u));
}

// The header of a table of words: its leading bold rows above rows that are
// not; without bold, the first row.
TEST(TablesText, HeaderByStyle) {
  for (const auto& [bold_rows, header] : {std::pair{2, 2u}, {0, 1u}}) {
    TablePage p;
    const std::uint32_t bold = p.builder.add_font("Test-Bold");
    for (int r = 0; r < 5; ++r) {
      const std::size_t first = p.page().glyphs.size();
      p.words(U"name", 50, 100 + 14 * r), p.words(U"kind", 120, 100 + 14 * r);
      for (std::size_t k = first; k < p.page().glyphs.size() && r < bold_rows; ++k) {
        p.page().glyphs[k].font = bold;
      }
    }
    const std::vector<Table> tables = find(p.page(), TableStrategy::text);
    ASSERT_EQ(tables.size(), 1u) << bold_rows;
    EXPECT_EQ(tables[0].header, header) << bold_rows;
  }
}

// Justified prose (word gaps stretched, different in every line) and a
// paragraph of one long line per row: no table.
TEST(TablesText, ProseIsNoTable) {
  TablePage p;
  const std::u32string line = U"the quick brown fox jumps over lazy dogs";
  for (int k = 0; k < 8; ++k) {
    double x = 50;
    const double stretch = 2.0 + static_cast<double>(k % 4);  // up to 0.5 em per gap
    for (char32_t c : line) {
      if (c == U' ') x += stretch;
      else p.builder.at(c, x, 100 + 14 * k);
      x += 5;
    }
  }
  EXPECT_TRUE(find(p.page(), TableStrategy::text).empty());
  EXPECT_TRUE(find(p.page()).empty());
}

// Two narrow columns of ragged prose, three words a line, are no table; with
// a column of one-word labels beside phrases they are one.
TEST(TablesText, NarrowColumnsOfProse) {
  for (const auto& [left, tables] : {std::pair{U"one two three", 0u}, {U"label", 1u}}) {
    TablePage p;
    for (int k = 0; k < 6; ++k) {
      p.words(left, 50, 100 + 14 * k);
      p.words(U"four five six", 250, 100 + 14 * k);
    }
    EXPECT_EQ(find(p.page(), TableStrategy::text).size(), tables) << tables;
  }
}

// Ten thousand rules (a dense grid past what a table can be) end in bounded time.
TEST(TablesBounds, TenThousandRules) {
  TablePage p;
  for (int k = 0; k < 5000; ++k) {
    p.h(0, 600, 0.15 * k);
    p.v(0.1 * k, 0, 800);
  }
  p.words(U"a b", 10, 10);
  const auto start = std::chrono::steady_clock::now();
  find(p.page());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// Fifty thousand words in aligned columns: one table, in bounded time.
TEST(TablesBounds, FiftyThousandWords) {
  TablePage p;
  for (int r = 0; r < 5000; ++r) {
    for (int c = 0; c < 10; ++c) p.words(U"1.25", 50 + 40 * c, 20 + 14 * r);
  }
  const auto start = std::chrono::steady_clock::now();
  const std::vector<Table> tables = find(p.page());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(std::tuple(tables[0].rows, tables[0].cols), std::tuple(5000u, 10u));
}

}  // namespace
}  // namespace textloom
