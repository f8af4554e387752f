// Module functions defined outside module.cpp, registered by its method table.
#pragma once

#include "py.hpp"

namespace textloom::py {

// bench_page(doc_addr, index): the native pipeline's timings and counts as a dict.
PyObject* bench_page(PyObject* module, PyObject* args, PyObject* kwargs);
const char* bench_page_doc();

// render_page(doc_addr, index, scale_x, scale_y, ...): (width, height, channels, pixels).
PyObject* render_page(PyObject* module, PyObject* args, PyObject* kwargs);
const char* render_page_doc();

// render_plan(doc_addr, index, scale_x, scale_y, clip=None, rotated=True): the grid
// render_page would draw on.
PyObject* render_plan(PyObject* module, PyObject* args, PyObject* kwargs);
const char* render_plan_doc();

// grey_pixels(pixels, width, height, stride, channels): a bitmap's pixels as grey rows.
PyObject* grey_pixels(PyObject* module, PyObject* args, PyObject* kwargs);
const char* grey_pixels_doc();

// find_pattern(pattern, text, caseless=False): PCRE2 matches as code-point spans.
PyObject* find_pattern(PyObject* module, PyObject* args, PyObject* kwargs);
const char* find_pattern_doc();

// fold_text(text, case, folds): page text folded for search, or the characters folds lacks.
PyObject* fold_text(PyObject* module, PyObject* args, PyObject* kwargs);
const char* fold_text_doc();

// markdown_pages(pages, sort="reading", ...): the Markdown of each page as a list of str.
PyObject* markdown_pages(PyObject* module, PyObject* args, PyObject* kwargs);
const char* markdown_pages_doc();

}  // namespace textloom::py
