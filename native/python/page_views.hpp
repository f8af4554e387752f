// RsPage methods that make new pages from a page's glyph model.
#pragma once

#include "py.hpp"

namespace textloom::py {

// RsPage.visible(): the page without its words wholly outside the crop box.
PyObject* page_visible(PyObject* self, PyObject* unused);
const char* page_visible_doc();

}  // namespace textloom::py
