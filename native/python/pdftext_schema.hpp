// The pdftext block schema: laid-out blocks as lists of block, line and span
// dictionaries with list boxes, shared font dictionaries and page-text
// character indices (what textloom.compat.pdftext consumes).
#pragma once

#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "py.hpp"

namespace textloom::py {

// The list of block dictionaries of a laid-out page; the page's rotation is
// always applied. With `keep_chars`, every span carries its char dictionaries.
// A new reference, or null with an exception set (nothing half-built escapes).
PyObject* pdftext_result(const PageGlyphs& page, const std::vector<Block>& blocks,
                         bool keep_chars);

}  // namespace textloom::py
