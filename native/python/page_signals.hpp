// RsPage.text_signals: what the page's glyphs and objects say about its text.
#pragma once

#include "py.hpp"

namespace textloom::py {

// RsPage.text_signals(): (chars, words, unmapped, invisible, offpage,
// image_cover, needs_ocr, reason or None).
PyObject* page_text_signals(PyObject* self, PyObject* unused);
const char* page_text_signals_doc();

}  // namespace textloom::py
