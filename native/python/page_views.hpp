// RsPage methods that make new pages from a page's glyph model.
#pragma once

#include "py.hpp"

namespace textloom::py {

// RsPage.visible(): the page without its words wholly outside the crop box.
PyObject* page_visible(PyObject* self, PyObject* unused);
const char* page_visible_doc();

// RsPage.with_shown_text(): the page with its form values and free text added.
PyObject* page_with_shown_text(PyObject* self, PyObject* unused);
const char* page_with_shown_text_doc();

// RsPage.without_chars(chars): the page without the glyphs of those indices.
PyObject* page_without_chars(PyObject* self, PyObject* args, PyObject* kwargs);
const char* page_without_chars_doc();

// RsPage.with_text(runs, font): the page with runs of text placed in their boxes.
PyObject* page_with_text(PyObject* self, PyObject* args, PyObject* kwargs);
const char* page_with_text_doc();

}  // namespace textloom::py
