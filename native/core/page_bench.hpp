// The whole native text pipeline on one page, timed: extraction, layout and
// word splitting, with nothing kept but the timings and counts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ffi.hpp"
#include "result.hpp"

namespace textloom {

// Nanoseconds per phase and the sizes of what was made.
struct PageBench {
  std::uint64_t load_page_ns;  // extraction's four phases, as PageGlyphs reports them
  std::uint64_t load_text_ns;
  std::uint64_t chars_ns;
  std::uint64_t close_ns;
  std::uint64_t layout_ns;     // layout_page: no sort, clipped to the page
  std::uint64_t words_ns;      // words: unrotated, no de-hyphenation, no extra delimiters
  std::size_t n_words;
  std::size_t n_glyphs;
};

// Extracts page `index` (no ligatures), lays it out and splits it into words.
// Errors are extraction's ("cannot load page <index>", ...).
Result<PageBench> bench_page(const Pdfium& pdf, FPDF_DOCUMENT doc, std::int32_t index);

}  // namespace textloom
