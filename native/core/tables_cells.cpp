// The cells' text: every word of the laid-out page filed whole into the
// cell its first char's centre falls in (text running past a cell's rule,
// as a long description into the amount column beside it, stays one word
// of the cell it starts in); a cell's pieces of lines ordered top to
// bottom, then left to right, and joined by one space, or by nothing where a
// line ends in a hyphenated word (de-hyphenation's rule). Then the header
// rows, by style (bold rows above rows that are not) or from the text (the
// rows above the first row of values).

#include <cmath>

#include "output.hpp"
#include "sort.hpp"
#include "tables_cells.hpp"
#include "utf8.hpp"

namespace textloom {

namespace {

struct Piece {
  double y;       // top of the first char, viewer's frame
  double bottom;  // its bottom
  double x;       // left of the first char
  std::size_t line;  // the layout line it comes from (a serial number)
  std::string text;
};


void trim(std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && s[a] == ' ') ++a;
  while (b > a && s[b - 1] == ' ') --b;
  s = s.substr(a, b - a);
}

std::string joined(std::vector<Piece>& pieces) {
  merge_sort(pieces, [](const Piece& a, const Piece& b) {
    if (a.line == b.line) return false;
    // Pieces side by side (overlapping across the middle) go left to right.
    const double am = (a.y + a.bottom) / 2, bm = (b.y + b.bottom) / 2;
    if ((am > b.y && am < b.bottom) || (bm > a.y && bm < a.bottom)) return a.x < b.x;
    return a.y < b.y;
  });
  std::string out;
  for (Piece& piece : pieces) {
    trim(piece.text);
    if (piece.text.empty()) continue;
    if (!out.empty()) {
      if (ends_hyphenated(out)) {
        out.pop_back();
      } else {
        out.push_back(' ');
      }
    }
    out += piece.text;
  }
  return out;
}

// A value: digits with the signs, separators and units numbers carry.
bool is_value(const std::string& text) {
  std::size_t digits = 0, other = 0;
  for (unsigned char c : text) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c != '.' && c != ',' && c != '%' && c != '-' && c != '+' && c != '(' && c != ')' &&
               c != ' ' && c != '*') {
      ++other;
    }
  }
  return digits > 0 && other <= digits / 2;
}

}  // namespace

std::vector<PlacedChar> place_chars(const std::vector<Block>& blocks, const Xf& xf) {
  std::vector<PlacedChar> out;
  std::size_t serial = 0;
  for (const Block& block : blocks) {
    for (const Line& line : block.lines) {
      ++serial;
      bool in_word = false;
      double wx = 0, wy = 0;
      for (const Char& ch : line.chars) {
        const Rect box = xf.rc(ch.bbox);
        const double cx = (box.x0 + box.x1) / 2, cy = (box.y0 + box.y1) / 2;
        if (!std::isfinite(cx) || !std::isfinite(cy)) continue;
        if (is_word_separator(ch.ch)) {
          in_word = false;
          wx = cx, wy = cy;  // a space is filed where it lies
        } else if (!in_word) {
          in_word = true;
          wx = cx, wy = cy;
        }
        out.push_back({box, cx, cy, wx, wy, ch.idx, serial, ch.ch, ch.font});
      }
    }
  }
  return out;
}

void fill_cells(std::vector<Grid>& grids, const std::vector<PlacedChar>& chars,
                const std::vector<FontInfo>& fonts) {
  // Per grid, a map from grid unit to its cell.
  std::vector<std::vector<std::size_t>> owner(grids.size());
  std::vector<std::vector<std::vector<Piece>>> pieces(grids.size());
  for (std::size_t g = 0; g < grids.size(); ++g) {
    const Grid& grid = grids[g];
    const std::size_t cols = grid.xs.size() - 1;
    owner[g].assign((grid.ys.size() - 1) * cols, 0);
    pieces[g].resize(grid.cells.size());
    grids[g].bold.assign(grid.cells.size(), true);
    grids[g].chars.clear();
    for (std::size_t k = 0; k < grid.cells.size(); ++k) {
      const TableCell& c = grid.cells[k];
      for (std::size_t r = c.row; r < c.row + c.row_span; ++r) {
        for (std::size_t col = c.col; col < c.col + c.col_span; ++col) owner[g][r * cols + col] = k;
      }
    }
  }
  const GridIndex index(grids);
  for (const PlacedChar& ch : chars) {
    index.at(ch.wx, ch.wy, [&](std::size_t g) {
      Grid& grid = grids[g];
      const std::size_t c = interval_of(grid.xs, ch.wx), r = interval_of(grid.ys, ch.wy);
      if (c == static_cast<std::size_t>(-1) || r == static_cast<std::size_t>(-1)) return false;
      const std::size_t k = owner[g][r * (grid.xs.size() - 1) + c];
      std::vector<Piece>& cell = pieces[g][k];
      if (cell.empty() || cell.back().line != ch.line) {
        cell.push_back({ch.box.y0, ch.box.y1, ch.box.x0, ch.line, {}});
      }
      append_utf8(cell.back().text, ch.ch);
      if (ch.idx != kSyntheticIdx) grid.chars.push_back(ch.idx);
      if (ch.ch != ' ' && !(ch.font < fonts.size() && (fonts[ch.font].style & kStyleBold) != 0)) {
        grid.bold[k] = false;
      }
      return true;  // a char is in one cell at most
    });
  }
  for (std::size_t g = 0; g < grids.size(); ++g) {
    for (std::size_t k = 0; k < grids[g].cells.size(); ++k) {
      grids[g].cells[k].text = joined(pieces[g][k]);
    }
  }
}

std::uint32_t header_rows(const Grid& grid) {
  const std::size_t rows = grid.ys.size() - 1;
  if (rows < 2) return 0;
  std::vector<std::size_t> values(rows, 0), filled(rows, 0);
  for (const TableCell& c : grid.cells) {
    if (c.col == 0 || c.text.empty()) continue;  // the first column labels the rows
    ++filled[c.row];
    if (is_value(c.text)) ++values[c.row];
  }
  const std::size_t cap = rows / 2;  // more than half the table is no header
  // Rows set in bold above rows that are not: the header by its style.
  std::vector<int> bold_row(rows, -1);  // -1 empty, 0 not all bold, 1 all bold
  for (std::size_t k = 0; k < grid.cells.size(); ++k) {
    const TableCell& c = grid.cells[k];
    if (c.text.empty()) continue;
    const bool bold = k < grid.bold.size() && grid.bold[k];
    int& state = bold_row[c.row];
    state = state == -1 ? (bold ? 1 : 0) : (state == 1 && bold ? 1 : 0);
  }
  std::size_t leading = 0;
  while (leading < rows && bold_row[leading] != 0) ++leading;
  if (leading > 0 && leading < rows && bold_row[0] == 1) {
    return static_cast<std::uint32_t>(leading < cap ? leading : cap);
  }
  // Else the header ends at the first row whose cells are mostly values; a
  // table of words alone has one header row.
  for (std::size_t r = 0; r < rows; ++r) {
    if (filled[r] > 0 && values[r] * 2 >= filled[r]) {
      return static_cast<std::uint32_t>(r == 0 ? 0 : (r < cap ? r : cap));
    }
  }
  return 1;
}

}  // namespace textloom
