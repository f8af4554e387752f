// Hand-built pages for the layout tests: glyphs placed by origin, advance and
// direction, or by their gap in em after the previous glyph's pen end, and
// small readers that turn the laid-out lines back into text.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"

namespace textloom::fixtures {

class PageBuilder {
 public:
  // Font 0 is "Test", spanning ascender 0.8 to descender -0.2.
  PageBuilder() { add_font("Test"); }

  std::uint32_t add_font(std::string name, double ascent = 0.8, double descent = -0.2,
                         std::uint32_t flags = 0) {
    page_.fonts.push_back(make_font_info(std::move(name), flags, 400, 0, false, ascent, descent));
    return static_cast<std::uint32_t>(page_.fonts.size() - 1);
  }

  // A glyph at (x, y) advancing `advance` along (dx, dy); the index counts up.
  Glyph& at(std::uint32_t ch, double x, double y, double size = 10, double advance = 5,
            double dx = 1, double dy = 0) {
    Glyph g{};
    g.origin_x = x;
    g.origin_y = y;
    g.end_x = x + advance * dx;
    g.end_y = y + advance * dy;
    g.dir_x = dx;
    g.dir_y = dy;
    g.size = size;
    g.font = 0;
    g.index = next_index_++;
    g.ch = ch;
    page_.glyphs.push_back(g);
    return page_.glyphs.back();
  }

  // A glyph `gap_em` of its own size's magnitude past the previous pen end,
  // on the previous baseline and direction.
  Glyph& after(std::uint32_t ch, double gap_em, double size = 10, double advance = 5) {
    const Glyph prev = page_.glyphs.back();
    const double step = gap_em * std::fabs(size);
    return at(ch, prev.end_x + step * prev.dir_x, prev.end_y + step * prev.dir_y, size, advance,
              prev.dir_x, prev.dir_y);
  }

  // Consecutive glyphs of `text` touching each other, starting at (x, y).
  void text(const std::u32string& text, double x, double y, double size = 10,
            double advance = 5) {
    for (char32_t c : text) {
      at(static_cast<std::uint32_t>(c), x, y, size, advance);
      x += advance;
    }
  }

  Glyph& last() { return page_.glyphs.back(); }
  PageGlyphs& page() { return page_; }

 private:
  PageGlyphs page_;
  std::uint32_t next_index_ = 0;
};

inline std::vector<Block> lay_out(const PageGlyphs& page, SortMode sort = SortMode::none,
                                  const std::optional<Rect>& clip = std::nullopt) {
  return layout_page(page, sort, clip, LayoutParams{});
}

inline std::u32string line_text(const Line& line) {
  std::u32string text;
  for (const Char& c : line.chars) text.push_back(static_cast<char32_t>(c.ch));
  return text;
}

// Every line of every block, in order.
inline std::vector<std::u32string> all_lines(const std::vector<Block>& blocks) {
  std::vector<std::u32string> lines;
  for (const Block& block : blocks) {
    for (const Line& line : block.lines) lines.push_back(line_text(line));
  }
  return lines;
}

// Lines per block, in order.
inline std::vector<std::size_t> shape(const std::vector<Block>& blocks) {
  std::vector<std::size_t> counts;
  for (const Block& block : blocks) counts.push_back(block.lines.size());
  return counts;
}

inline bool same_rect(const Rect& a, const Rect& b) {
  auto same = [](double u, double v) { return u == v || (std::isnan(u) && std::isnan(v)); };
  return same(a.x0, b.x0) && same(a.y0, b.y0) && same(a.x1, b.x1) && same(a.y1, b.y1);
}

}  // namespace textloom::fixtures
