// The Python results of get_text and words_arrays, built from laid-out blocks.
// Each returns a new reference, or null with an exception set; nothing
// half-built escapes.
#pragma once

#include <string_view>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "output.hpp"
#include "py.hpp"

namespace textloom::py {

// "text": one str, the block texts concatenated.
PyObject* text_result(const std::vector<Block>& blocks, bool dehyphenate);

// "blocks": a list of (x0, y0, x1, y1, text, number, 0).
PyObject* blocks_result(const std::vector<Block>& blocks, const Xf& xf, bool dehyphenate);

// "words": a list of (x0, y0, x1, y1, text, block_no, line_no, word_no).
PyObject* words_result(const std::vector<Word>& words);

// "dict" (span text) or "rawdict" (span chars): page -> blocks -> lines -> spans.
PyObject* dict_result(const PageGlyphs& page, const std::vector<Block>& blocks, const Xf& xf,
                      bool raw, bool extended);

// words_arrays: (little-endian f64 boxes, little-endian i32 numbers, texts).
PyObject* words_arrays_result(const std::vector<Word>& words);

}  // namespace textloom::py
