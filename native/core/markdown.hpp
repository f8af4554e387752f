// Markdown of laid-out pages, for language models and search indexes:
// headings ranked by type size, paragraphs with hyphenated line ends joined,
// lists nested by indentation, fenced code, emphasis, superscripts and
// subscripts, links, and running headers and footers left out. It reads the
// layout records and the page's fonts and links.
#pragma once

#include <string>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "num.hpp"

namespace textloom {

struct MarkdownOptions {
  SortMode sort = SortMode::reading;  // reading order of blocks
  bool keep_headers = false;          // keep running headers and footers
  bool superscripts = true;           // raised spans as <sup>
  bool subscripts = true;             // lowered, smaller spans as <sub>
  bool links = true;                  // text inside a URI link's box as [text](uri)
};

// The Markdown of each page, in order. The body size, the heading levels and
// the running headers and footers are found over all the pages given, so a
// page's Markdown depends on its company. A page without text gives the
// empty string; any other page's text ends in one line feed. Never fails.
std::vector<std::string> markdown_pages(const std::vector<const PageGlyphs*>& pages,
                                        const MarkdownOptions& options);

}  // namespace textloom
