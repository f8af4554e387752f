// The RsPage type: one page's glyphs, owned by a Python object. It holds no
// Python objects and no PDFium handle; every method lays the page out afresh.
#pragma once

#include "glyphs.hpp"
#include "py.hpp"

namespace textloom::py {

// Creates the RsPage heap type (not constructible from Python).
PyTypeObject* make_page_type();

// A new RsPage owning `glyphs`, or null with an exception set.
PyObject* new_page(PageGlyphs&& glyphs);

// The glyphs of an RsPage.
const PageGlyphs& page_glyphs(PyObject* page);

}  // namespace textloom::py
