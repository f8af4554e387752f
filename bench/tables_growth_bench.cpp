// tables_growth_bench [ROUNDS]
//
// find_tables on synthetic pages, to show how its cost grows: ruled grids of
// 1,000 to 10,000 rules (half horizontal, half vertical, a short word in each
// cell), and tables of aligned words of 5,000 to 50,000 words without rules.
// Prints the fastest round's time and the time per rule or word; linear
// growth keeps the last column flat.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "clock.hpp"
#include "glyphs.hpp"
#include "tables.hpp"

using namespace textloom;

namespace {

void word(PageGlyphs& page, const char* text, double x, double y) {
  for (const char* c = text; *c != '\0'; ++c, x += 5) {
    Glyph g{};
    g.origin_x = x, g.origin_y = y, g.end_x = x + 5, g.end_y = y;
    g.dir_x = 1, g.size = 10, g.ch = static_cast<unsigned char>(*c);
    g.index = static_cast<std::uint32_t>(page.glyphs.size());
    page.glyphs.push_back(g);
  }
}

PageGlyphs base() {
  PageGlyphs page;
  page.fonts.push_back(make_font_info("Test", 0, 400, 0, false, 0.8, -0.2));
  return page;
}

// A grid of `rules` rules: n + 1 horizontals 20 apart and as many verticals
// 40 apart, tables of 10 x 10 cells side by side and stacked.
PageGlyphs ruled_page(int rules) {
  PageGlyphs page = base();
  const int per_side = rules / 2;
  const int tables = per_side / 11;  // 11 rules a side per table
  int side = 1;
  while (side * side < tables) ++side;
  for (int t = 0; t < tables; ++t) {
    const double x0 = (t % side) * 450.0, y0 = (t / side) * 230.0;
    for (int k = 0; k <= 10; ++k) {
      page.rules.push_back({x0, y0 + 20 * k, x0 + 400, y0 + 20 * k, 0.5, 0, false});
      page.rules.push_back({x0 + 40 * k, y0, x0 + 40 * k, y0 + 200, 0.5, 0, false});
    }
    for (int r = 0; r < 10; ++r) {
      for (int c = 0; c < 10; ++c) word(page, "12", x0 + 40 * c + 5, y0 + 20 * r + 15);
    }
  }
  page.width = side * 450.0, page.height = side * 230.0;
  return page;
}

// `words` words in rows of ten columns 60 apart, 14 apart down the page.
PageGlyphs words_page(int words) {
  PageGlyphs page = base();
  const int rows = words / 10;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < 10; ++c) word(page, "1.25", 60.0 * c, 14.0 * r + 12);
  }
  page.width = 600, page.height = 14.0 * rows + 20;
  return page;
}

double fastest_ms(const PageGlyphs& page, int rounds, std::size_t& found) {
  std::uint64_t best = ~std::uint64_t{0};
  for (int k = 0; k < rounds; ++k) {
    const std::uint64_t t0 = now_ns();
    found = find_tables(page, TableStrategy::automatic, std::nullopt, TableParams{}).size();
    const std::uint64_t t = now_ns() - t0;
    best = t < best ? t : best;
  }
  return static_cast<double>(best) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  std::printf("%-8s %8s %8s %10s %14s\n", "page", "n", "tables", "ms", "us per unit");
  for (int n : {1000, 2000, 5000, 10000}) {
    std::size_t found = 0;
    const double ms = fastest_ms(ruled_page(n), rounds, found);
    std::printf("%-8s %8d %8zu %10.2f %14.3f\n", "rules", n, found, ms, ms * 1000 / n);
  }
  for (int n : {5000, 10000, 20000, 50000}) {
    std::size_t found = 0;
    const double ms = fastest_ms(words_page(n), rounds, found);
    std::printf("%-8s %8d %8zu %10.2f %14.3f\n", "words", n, found, ms, ms * 1000 / n);
  }
  return 0;
}
