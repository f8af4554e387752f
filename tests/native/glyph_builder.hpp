// Hand-built fixtures for the core tests: glyphs and pages (placed by origin,
// advance and direction, or by their gap in em after the previous pen end),
// chars, lines and blocks, and readers that turn results back into text.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"

namespace textloom::fixtures {

inline Glyph glyph(std::uint32_t ch, double x, double y, double size, double advance, double dx,
                   double dy, std::uint32_t font, std::uint32_t index) {
  Glyph g{};
  g.origin_x = x, g.origin_y = y, g.end_x = x + advance * dx, g.end_y = y + advance * dy;
  g.dir_x = dx, g.dir_y = dy, g.size = size, g.font = font, g.index = index, g.ch = ch;
  return g;
}

class PageBuilder {
 public:
  // Font 0 is "Test", spanning ascender 0.8 to descender -0.2.
  PageBuilder() { add_font("Test"); }

  std::uint32_t add_font(std::string name, double ascent = 0.8, double descent = -0.2) {
    page_.fonts.push_back(make_font_info(std::move(name), 0, 400, 0, false, ascent, descent));
    return static_cast<std::uint32_t>(page_.fonts.size() - 1);
  }

  // A glyph at (x, y) advancing `advance` along (dx, dy); the index counts up.
  Glyph& at(std::uint32_t ch, double x, double y, double size = 10, double advance = 5,
            double dx = 1, double dy = 0) {
    const auto index = static_cast<std::uint32_t>(page_.glyphs.size());
    return page_.glyphs.emplace_back(glyph(ch, x, y, size, advance, dx, dy, 0, index));
  }

  // A glyph `gap_em` of its size's magnitude past the previous pen end, on its baseline.
  Glyph& after(std::uint32_t ch, double gap_em, double size = 10, double advance = 5) {
    const Glyph prev = page_.glyphs.back();
    const double step = gap_em * std::fabs(size);
    return at(ch, prev.end_x + step * prev.dir_x, prev.end_y + step * prev.dir_y, size, advance,
              prev.dir_x, prev.dir_y);
  }

  // Glyphs of `text` touching each other, from (x, y).
  void text(std::u32string_view text, double x, double y, double size = 10, double advance = 5) {
    for (char32_t c : text) at(c, x, y, size, advance), x += advance;
  }

  PageGlyphs& page() { return page_; }

 private:
  PageGlyphs page_;
};

inline std::vector<Block> lay_out(const PageGlyphs& page, SortMode sort = SortMode::none,
                                  const std::optional<Rect>& clip = std::nullopt) {
  return layout_page(page, sort, clip, LayoutParams{});
}

// A char of size 10 whose box spans x to x + 8 and y - 10 to y, on the baseline y.
inline Char char_at(std::uint32_t ch, double x, double y = 10) {
  return Char{{x, y - 10, x + 8, y}, x, y, 10, 0, 0, 0, ch, false, false};
}

// A line of `text` on the baseline y: char k stands at 10 k.
inline Line line_of(std::u32string_view text, double y = 10) {
  Line line;
  for (std::size_t k = 0; k < text.size(); ++k)
    line.chars.push_back(char_at(text[k], 10.0 * static_cast<double>(k), y));
  return line;
}

// A block of lines 20 apart, each opened at x0 = 0.
inline Block block_of(std::initializer_list<std::u32string_view> texts, std::size_t number = 0) {
  Block block;
  block.number = number;
  for (std::u32string_view t : texts) {
    block.lines.push_back(line_of(t, 10 + 20.0 * static_cast<double>(block.lines.size())));
  }
  return block;
}

// The text of every line of every block, in order.
inline std::vector<std::u32string> all_lines(const std::vector<Block>& blocks) {
  std::vector<std::u32string> lines;
  for (const Block& block : blocks) {
    for (const Line& line : block.lines) {
      std::u32string& text = lines.emplace_back();
      for (const Char& c : line.chars) text.push_back(static_cast<char32_t>(c.ch));
    }
  }
  return lines;
}

// Lines per block, in order.
inline std::vector<std::size_t> shape(const std::vector<Block>& blocks) {
  std::vector<std::size_t> counts;
  for (const Block& block : blocks) counts.push_back(block.lines.size());
  return counts;
}

using Box = std::array<double, 4>;
inline Box box(const Rect& r) { return {r.x0, r.y0, r.x1, r.y1}; }

inline bool same_rect(const Rect& a, const Rect& b) {
  auto same = [](double u, double v) { return u == v || (std::isnan(u) && std::isnan(v)); };
  return same(a.x0, b.x0) && same(a.y0, b.y0) && same(a.x1, b.x1) && same(a.y1, b.y1);
}

}  // namespace textloom::fixtures
