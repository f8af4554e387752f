// The page's rules: straight horizontal and vertical lines of its vector
// graphics and its thin filled rectangles, read through PDFium's page-object
// API after the glyphs. What makes a table of them is left to table finding.
#pragma once

#include <array>
#include <vector>

#include "ffi.hpp"
#include "glyphs.hpp"

namespace textloom {

// The rules of the open `page` in content order, form XObjects walked in
// place to a bounded depth, in page space (`crop`: left, bottom, right, top
// in PDF user space), into `rules`; the boxes of paths that draw figures
// instead (curves, slanted lines, polygons) into `marks`, and of image
// objects into `images`. Damaged geometry
// (NaN, infinite or absurd coordinates, failing calls, absurd counts) is
// skipped; bounded work on any page.
void read_rules(const Pdfium& pdf, FPDF_PAGE page, const std::array<double, 4>& crop,
                std::vector<PageRule>& rules, std::vector<Rect>& marks, std::vector<Rect>& images);

}  // namespace textloom
