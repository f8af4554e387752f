// Page extraction: reads one page of an open PDFium document into the page
// glyph model, through a function table (so tests can run it on stand-ins).
#pragma once

#include <cstdint>

#include "ffi.hpp"
#include "glyphs.hpp"
#include "result.hpp"

namespace textloom {

// Per-text-object cache of extraction: everything about a character that
// depends only on its text object, computed at the object's first character.
struct ObjState {
  double size;       // effective font size
  double dir_x;      // unit baseline direction, page space
  double dir_y;
  double abs_dir_x;  // |dir_x|
  double abs_dir_y;  // |dir_y|
  double em;         // the font's ascent - descent (unrepaired)
  std::uint32_t font;   // index into PageGlyphs::fonts
  std::uint32_t color;  // 0xRRGGBB
};

// Extracts every character of page `index` of `doc`: generated spaces and line
// breaks dropped, glyphs in page space, fonts read once per handle; and the
// page's links that lead to a URI or to a page, and its rules (see
// extract_paths.hpp), in page space; last, what its free-text annotations and,
// with `form` (the document's form-fill environment, or null), its filled form
// fields show, as glyphs kept aside in `shown` (extract_shown.hpp). With
// `ligatures`, PDFium's expansions of ff, fi, fl, ffi, ffl and st become one
// ligature glyph. Errors: "cannot load page <index>", "cannot load text of
// page <index>". The page and its text page are closed on every path.
Result<PageGlyphs> extract_page(const Pdfium& pdf, FPDF_DOCUMENT doc, std::int32_t index,
                                bool ligatures, FPDF_FORMHANDLE form = nullptr);

}  // namespace textloom
