// Hand-built pages for the Markdown tests: text placed in named fonts (whose
// names give their style), and the Markdown of one page or several.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "glyph_builder.hpp"
#include "markdown.hpp"

namespace textloom::fixtures {

class Sheet {
 public:
  // Fonts whose names make them plain, bold, italic and monospaced.
  Sheet() {
    bold = b_.add_font("Test-Bold");
    italic = b_.add_font("Test-Italic");
    mono = b_.add_font("Courier");
  }

  // Glyphs of `text` from (x, y), touching, each half its size wide; returns
  // the pen position after the last.
  double put(std::u32string_view text, double x, double y, double size = 10,
             std::uint32_t font = 0) {
    for (char32_t c : text) {
      b_.at(c, x, y, size, 0.5 * size).font = font;
      x += 0.5 * size;
    }
    return x;
  }

  void link(double x0, double y0, double x1, double y1, std::string uri, std::int32_t page = -1) {
    b_.page().links.push_back(PageLink{x0, y0, x1, y1, std::move(uri), page});
  }

  PageGlyphs& page() { return b_.page(); }

  std::uint32_t plain = 0, bold = 0, italic = 0, mono = 0;

 private:
  PageBuilder b_;
};

// Blocks in the order the glyphs built them, unless a test asks for another.
inline MarkdownOptions in_stream_order() {
  MarkdownOptions options;
  options.sort = SortMode::none;
  return options;
}

inline std::string markdown_of(const PageGlyphs& page, MarkdownOptions options = in_stream_order()) {
  return markdown_pages({&page}, options).front();
}

// One run of text for a page of a table: where, how large, in which face.
enum class Face { plain, bold, italic, mono };
struct Put {
  std::u32string_view text;
  double x;
  double y;
  double size = 10;
  Face face = Face::plain;
};

// A page of runs and the Markdown it gives, blocks in stream order.
struct PageCase {
  const char* name;  // the row's name in test output
  std::vector<Put> puts;
  std::string markdown;
};

inline std::ostream& operator<<(std::ostream& out, const PageCase& row) { return out << row.name; }

inline std::string markdown_of(const std::vector<Put>& puts) {
  Sheet s;
  const std::uint32_t fonts[] = {s.plain, s.bold, s.italic, s.mono};
  for (const Put& put : puts) s.put(put.text, put.x, put.y, put.size, fonts[static_cast<int>(put.face)]);
  return markdown_of(s.page());
}

// A test's rows named as gtest wants them.
inline std::string case_name(const ::testing::TestParamInfo<PageCase>& info) { return info.param.name; }

// Pages of runs and their exact Markdown: markdown_test.cpp defines the test,
// each file instantiates it with its rows.
class MarkdownPages : public ::testing::TestWithParam<PageCase> {};

}  // namespace textloom::fixtures
