// The rows, the cells' text and the header rows of found grids
// (tables_rows.cpp, tables_cells.cpp).
#pragma once

#include <vector>

#include "layout.hpp"
#include "output.hpp"
#include "tables_internal.hpp"

namespace textloom {

// Fills each cell's text of `grids` from `chars` (both in the viewer's
// frame), in reading order inside each cell.
// Notes which cells are set in bold throughout (`fonts` by the chars' index).
void fill_cells(std::vector<Grid>& grids, const std::vector<PlacedChar>& chars,
                const std::vector<FontInfo>& fonts);

// Cuts the rows of ruled `grids` that hold three or more lines started in
// their label column (rows left unruled) into a row per such line
// (tables_rows.cpp).
void split_rows(std::vector<Grid>& grids, const std::vector<PlacedChar>& chars);

// The header rows of a grid with its text: the leading rows set in bold
// above rows that are not, else the rows before the first row of values (at
// most half the rows either way), else 1 for a table of words.
std::uint32_t header_rows(const Grid& grid);

}  // namespace textloom
