// Table finding: the page's rules and words made into tables of cells, each
// cell with its text. Geometry only, no model: ruled tables from the rules'
// grid (tables_grid), tables without rules from the alignment of words
// (tables_text), tables with only header and bottom rules by both; the cells'
// text from the page's chars (tables_cells). Rules are snapped and joined in
// tables_rules. Everything runs in the frame the text reads in, as the
// "reading" order has it (the page turned by its rotation, or so that the way
// most glyphs run is rightwards: a table set sideways); results come back in
// page space.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "glyphs.hpp"
#include "num.hpp"

namespace textloom {

enum class TableStrategy : std::uint8_t { automatic = 0, lines = 1, text = 2 };

// Tolerances, in ems of the page's median type size unless stated: text size
// sets how far apart a producer's strokes land and how wide a column gap is.
struct TableParams {
  double snap_tolerance = 0.3;   // rules this close across are one line
  double join_tolerance = 0.35;  // collinear rules with gaps up to this are one
                                 // (dotted and dashed runs included)
  double intersection_tolerance = 0.3;  // a rule this short of another still meets it
  double column_gap = 1.0;       // the narrowest white gap between columns of words
  std::uint32_t min_rows = 3;    // rows a table without rules needs (ruled ones need 2)
};

// One cell: its place in the grid and its text.
struct TableCell {
  std::uint32_t row;        // first row, from 0, top to bottom in the viewer's frame
  std::uint32_t col;        // first column, from 0, left to right in the viewer's frame
  std::uint32_t row_span;   // rows it covers, at least 1
  std::uint32_t col_span;   // columns it covers, at least 1
  Rect bbox;                // page space
  std::string text;         // UTF-8, lines joined by one space, de-hyphenated
};

// One table.
struct Table {
  Rect bbox;                     // page space
  std::uint32_t rows;            // grid rows
  std::uint32_t cols;            // grid columns
  std::uint32_t header;          // leading rows that are the header
  std::vector<TableCell> cells;  // row by row, each cell once, at its first row and column
  std::vector<std::uint32_t> chars;  // PDFium text-page indices of the chars its cells hold, ascending
  bool ruled;                    // found by its rules (a grid, or a header and bottom rule)
};

// The tables of `page` found by `strategy`, top to bottom in the viewer's
// frame; with `clip` (page space), only tables whose box lies inside it.
// `automatic` finds ruled tables and bands of header and bottom rules, and
// tables of words alone only on pages without ruled tables, where no
// vertical rule runs through them.
// Never fails; bounded work on any page (rules and words are sorted, never
// compared all against all beyond a table's own).
std::vector<Table> find_tables(const PageGlyphs& page, TableStrategy strategy,
                               const std::optional<Rect>& clip, const TableParams& params);

}  // namespace textloom
