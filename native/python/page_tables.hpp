// RsPage.tables: the page's tables as plain tuples (page_tables.cpp).
#pragma once

#include "py.hpp"

namespace textloom::py {

// RsPage.tables(strategy="auto", clip=None, ...): a list of
// (bbox, rows, cols, header, cells), each cell (row, col, row_span, col_span,
// bbox, text), boxes in page space.
PyObject* page_tables(PyObject* self, PyObject* args, PyObject* kwargs);
const char* page_tables_doc();

}  // namespace textloom::py
