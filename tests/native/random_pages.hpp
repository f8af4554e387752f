// Random pages and boxes from fixed seeds, for every property test and the
// digest guard: lines of text in any script and direction (right-to-left
// drawn either way), vertical CJK columns, NaN and infinite numbers, signed
// zeros on box edges, zero and negative sizes, duplicates, repeats, marks and
// space_before, with gaps and steps placed on the layout thresholds; and boxes
// for the XY-cut with gutters and row gaps on its thresholds, NaN among them.
// Its own integer PRNG keeps pages the same on every standard library; every
// draw is a statement of its own, as argument order is the compiler's choice.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "glyph_builder.hpp"
#include "order.hpp"

namespace textloom::fixtures {

// splitmix64: a sequence fixed by its seed alone.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
  bool chance(double p) { return unit() < p; }
  std::size_t pick(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  template <class T, std::size_t N>
  T one_of(const T (&values)[N]) { return values[pick(N)]; }
  std::uint32_t in(std::uint32_t lo, std::uint32_t hi) {  // inclusive
    return lo + static_cast<std::uint32_t>(next() % (hi - lo + 1));
  }

 private:
  std::uint64_t s_;
};

inline constexpr double kRandNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kRandInf = std::numeric_limits<double>::infinity();

// Per script: ranges of code points, the first drawn most often. Latin holds
// list markers and punctuation; Hebrew brackets and points (marks); Arabic
// Arabic-Indic digits and harakat; CJK kana, hangul and radicals, where the
// CJK ranges start; "any" marks, general punctuation, Devanagari, Thai, Greek.
enum Script { kLatin, kHebrew, kArabic, kCjk, kAny };
inline constexpr std::uint32_t kRanges[5][4][2] = {
    {{'a', 'z'}, {'0', '9'}, {0x28, 0x2E}, {0x2022, 0x2022}},
    {{0x5D0, 0x5EA}, {'0', '9'}, {0x5B0, 0x5BC}, {0x28, 0x29}},
    {{0x627, 0x64A}, {0x660, 0x669}, {0x64B, 0x652}, {0xAB, 0xBB}},
    {{0x4E00, 0x4EFF}, {0x3001, 0x30FC}, {0xAC00, 0xAC40}, {0x2E80, 0x2FD5}},
    {{0x21, 0x7E}, {0x300, 0x36F}, {0x2000, 0x20D0}, {0x900, 0xE3A}}};
// Edges of the ranges layout tells apart: marks, right-to-left, spacing
// scripts, CJK, the planes.
inline constexpr std::uint32_t kEdgeChars[] = {
    0x2FF,  0x300,  0x58F,  0x590,  0x5BE,  0x5FF,  0x6FF,  0x700,   0x1FFF,  0x20CF,
    0x2E7F, 0x9FFF, 0xA000, 0xD7AF, 0xD7B0, 0xF900, 0xFB1D, 0xFE30,  0xFF00,  0xFFEF,
    0xFFF0, 0x10800, 0x1E900, 0x20000, 0x3FFFF, 0x40000, 0x10FFFD, 0x2039, 0x203A, 0x25CF};

class PageMaker {
 public:
  PageMaker(std::uint64_t seed, bool cjk) : r_(seed), cjk_(cjk) {
    // 2 has no height (repaired); 3 ends above the baseline; 5 has a NaN
    // ascender; 6 ends on the baseline and 7 starts there.
    const double metrics[][2] = {{0.8, -0.2}, {0.7, -0.25}, {0, 0},     {1.2, -0.6},
                                 {0.75, -0.2}, {0.8, -0.2}, {1, 0}, {0, -0.5}};
    for (const auto& [ascent, descent] : metrics) {
      page_.fonts.push_back(make_font_info("F", 0, 400, 0, false, ascent, descent));
    }
    page_.fonts[3].descender = 0.3;
    page_.fonts[5].ascender = kRandNaN;
  }

  PageGlyphs make(std::size_t target) {
    while (page_.glyphs.size() < target) {
      const double roll = r_.unit();
      if (roll < 0.75) lines();
      else if (roll < 0.87) column();
      else if (roll < 0.93) zeros();
      else noise();
    }
    return std::move(page_);
  }

 private:
  std::uint32_t letter(Script script) {
    std::uint32_t cp;
    if (r_.chance(0.02)) {
      cp = r_.one_of(kEdgeChars);
    } else {
      const double roll = r_.unit();
      const std::size_t k = roll < 0.8 ? 0 : roll < 0.88 ? 1 : roll < 0.95 ? 2 : 3;
      cp = r_.in(kRanges[script][k][0], kRanges[script][k][1]);
    }
    return cjk_ || cp < 0x2E80 ? cp : 'a' + cp % 26;
  }

  double size() {
    static constexpr double kSizes[] = {10, 10, 10, 9.5, 12, 7, 24, 0, -10, 1e-3, -0.0};
    if (r_.chance(0.01)) return r_.one_of({kRandNaN, kRandInf, -kRandInf, 1e300});
    return r_.one_of(kSizes);
  }

  static double em(double s) { return s == 0 || std::isnan(s) ? 1.0 : std::fabs(s); }

  // Positions on a 1/64 grid keep differences exact, so offsets that are whole
  // multiples of a threshold land on it.
  static double q(double v) { return std::round(v * 64) / 64; }

  // A gap along the line, in em: mostly ordinary, often on a threshold.
  double gap() {
    static constexpr double kEdges[] = {0,     0.14,  -0.14, 0.1399999, 0.1400001, 0.85, -0.85,
                                        0.849999, -0.46, -0.4600001, -0.4599999, 1e-17, -0.0};
    const double roll = r_.unit();
    if (roll < 0.5) return r_.uniform(-0.05, 0.08);
    if (roll < 0.7) return r_.uniform(0.2, 0.45);
    if (roll < 0.85) return r_.one_of(kEdges);
    return r_.uniform(-1.5, 2.5);
  }

  // A step across lines, in em.
  double line_step() {
    static constexpr double kSteps[] = {0.85, 0.8499999, 1.5, 1.5000001, 0.3, -1.2};
    if (r_.chance(0.7)) return r_.uniform(1.1, 1.4);
    if (r_.chance(0.5)) return r_.one_of(kSteps);
    return r_.uniform(-0.5, 2.2);
  }

  std::uint32_t font() { return r_.chance(0.7) ? 0 : static_cast<std::uint32_t>(r_.pick(6)); }

  Glyph& emit(std::uint32_t ch, double x, double y, double adv, double dx, double dy, double s,
              std::uint32_t font) {
    const auto index = static_cast<std::uint32_t>(page_.glyphs.size());
    Glyph& g = page_.glyphs.emplace_back(glyph(ch, x, y, s, adv, dx, dy, font, index));
    g.color = r_.chance(0.9) ? 0 : static_cast<std::uint32_t>(r_.pick(3)) * 0x7F0000u;
    g.hyphen = ch == '-' && r_.chance(0.5);
    g.space_before = r_.chance(0.1);
    return g;
  }

  // After a glyph: the same char painted again nearly in place (fake bold),
  // another char drawn over it (a repeat), or a mark somewhere near.
  void extras(Script script) {
    const Glyph prev = page_.glyphs.back();
    const double roll = r_.unit();
    if (roll < 0.02) {
      const double shift = r_.one_of({0.0, 0.05, 0.0999999, 0.1, 0.15}) * em(prev.size);
      Glyph& g = emit(prev.ch, prev.origin_x + shift, prev.origin_y, 0, prev.dir_x, prev.dir_y,
                      prev.size, prev.font);
      g.end_x = prev.end_x + shift;
      g.end_y = prev.end_y;
    } else if (roll < 0.035) {
      const std::uint32_t ch = letter(script);
      Glyph& g = page_.glyphs.emplace_back(prev);
      g.index = static_cast<std::uint32_t>(page_.glyphs.size() - 1), g.ch = ch, g.repeat = true;
    } else if (roll < 0.05) {
      const std::uint32_t mark = script == kHebrew ? r_.in(0x5B0, 0x5BC)
                                 : script == kArabic ? r_.in(0x64B, 0x652)
                                                     : r_.in(0x300, 0x36F);
      const double mx = prev.origin_x + r_.uniform(-2, 2);
      const double my = prev.origin_y - r_.uniform(-1, 3);
      emit(mark, mx, my, 0, prev.dir_x, prev.dir_y, prev.size, prev.font);
    }
  }

  // Lines of text: prose and table cells in columns, right-to-left drawn in
  // visual order or in logical order (each glyph left of the one before),
  // CJK, and text along other directions, degenerate ones included.
  void lines() {
    static constexpr double kDirs[][2] = {
        {0, 1}, {0, -1}, {-1, 0}, {0.6, 0.8}, {1, 1e-12}, {1, -0.0}, {0.9995, 0.0316},
        {0.999, 0.0447}, {-0.0, 1}, {kRandNaN, kRandNaN}, {kRandInf, 0}, {0, 0}, {1, kRandNaN}};
    static constexpr double kColumns[] = {40, 72, 72, 300, 312, 330, 500};
    static constexpr double kIndents[] = {0, 0, 0, 3, 4.1, 4.1000001, 10, -5};
    static constexpr double kGutters[] = {12.5, 12.4999, 20, 2, 40};
    const auto script = static_cast<Script>(r_.chance(0.5) ? 0 : r_.pick(5));
    const bool backward = (script == kHebrew || script == kArabic) && r_.chance(0.5);
    double dx = 1, dy = 0;
    if (r_.chance(0.2)) {
      const auto& d = kDirs[r_.pick(std::size(kDirs))];
      dx = d[0], dy = d[1];
    }
    const double s = size();
    const double e = em(s);
    const std::uint32_t f = font();
    double x0 = r_.chance(0.15) ? r_.uniform(-50, 650) : r_.one_of(kColumns) + (backward ? 300 : 0);
    double y0 = q(r_.uniform(20, 780));
    for (std::size_t l = 0, n_lines = 1 + r_.pick(7); l < n_lines; ++l) {
      double x = x0 + r_.one_of(kIndents), y = y0;
      for (std::size_t k = 0, n = 1 + r_.pick(40); k < n; ++k) {
        std::uint32_t ch = letter(script);
        if (k > 0 && r_.chance(0.08)) ch = ' ';
        const double adv = r_.chance(0.03) ? 0 : q(e * r_.uniform(0.25, 0.7));
        const double rise = r_.chance(0.05) ? e * r_.one_of({-0.3, 0.3, -0.84, 0.86, 1.6}) : 0;
        double step = q(gap() * e);
        if (r_.chance(0.03)) step += r_.one_of(kGutters);
        const std::uint32_t font_k = r_.chance(0.9) ? f : font();
        if (backward) {
          emit(ch, x - adv, y + rise, adv, 1, 0, s, font_k);
          x = x - adv - step;
        } else {
          emit(ch, x, y + rise, adv, dx, dy, s, font_k);
          x = x + adv * dx + step * dx;
          y = y + adv * dy + step * dy;
        }
        extras(script);
      }
      const double across = q(line_step() * e);
      x0 -= across * dy;
      y0 += across * dx;
    }
  }

  // Columns of single CJK chars stacked one below the other, right to left,
  // at times with a space after a char.
  void column() {
    static constexpr double kStacks[] = {1.0, 1.2, 0.5, 0.5000001, 1.8, 1.7999999, 2.0};
    const double s = r_.chance(0.8) ? r_.one_of({10.0, 12.0, 9.0}) : size();
    const double e = em(s) < 1 ? 1.0 : em(s);
    double x = std::round(r_.uniform(100, 560));
    const double top = std::round(r_.uniform(20, 500));
    for (std::size_t c = 0, cols = 1 + r_.pick(5); c < cols; ++c) {
      double y = top + r_.one_of({0.0, 0.0, 1.5, 2.0, -1.4}) * e;
      for (std::size_t k = 0, n = 1 + r_.pick(20); k < n; ++k) {
        const double roll = r_.unit();
        const double dx = roll < 0.5 ? 0 : roll < 0.85 ? q(r_.uniform(-0.1, 0.1))
                                                       : r_.one_of({0.3, -0.2999999});
        const std::uint32_t ch = letter(r_.chance(0.95) ? kCjk : kLatin);
        emit(ch, x + dx * e, y, e, 1, 0, s, 0);
        if (r_.chance(0.1)) emit(' ', x + e, y, e * 0.3, 1, 0, s, 0);
        extras(kCjk);
        y += q((r_.chance(0.8) ? r_.uniform(1.0, 1.3) : r_.one_of(kStacks)) * e);
      }
      x -= r_.one_of({1.5, 2.5, 2.5000001, 1.2, 3.0}) * e;
    }
  }

  // A line on the page's top or left edge, where box sides are zeros of
  // either sign (unions keep -0.0 as the smaller): one side at a time (left at
  // x = 0, right where a glyph ends at 0, top or bottom on a baseline at y = 0
  // with a font whose box starts or ends there) or all of them.
  void zeros() {
    const std::size_t side = r_.pick(5);  // left, right, top, bottom, all
    const double s = side == 4 ? r_.one_of({0.0, -0.0}) : 10.0;
    const std::uint32_t f = side == 2 ? 7 : side == 3 ? 6 : side == 4 ? 3 : 0;
    for (std::size_t k = 0, n = 3 + r_.pick(6); k < n; ++k) {
      const double x = side == 0 || side == 4 ? r_.one_of({0.0, -0.0})
                       : side == 1 ? -2 - static_cast<double>(r_.pick(3))
                                   : 2 + static_cast<double>(r_.pick(3));
      const double y = side >= 2 ? r_.one_of({0.0, -0.0}) : 100;
      Glyph& g = emit(letter(kLatin), x, y, 1, 1, 0, s, f);
      if (side == 1 || side == 4) g.end_x = r_.one_of({0.0, -0.0});
      g.end_y = y;
    }
  }

  // Single glyphs with degenerate numbers.
  void noise() {
    static constexpr double kOdd[] = {kRandNaN, kRandInf, -kRandInf, 1e308, -1e308, 0, -0.0, 5e-324};
    for (std::size_t k = 0, n = 1 + r_.pick(6); k < n; ++k) {
      const double x = r_.chance(0.5) ? r_.one_of(kOdd) : r_.uniform(0, 600);
      const double y = r_.chance(0.5) ? r_.one_of(kOdd) : r_.uniform(0, 800);
      const std::uint32_t ch = letter(kAny);
      const double adv = r_.uniform(-5, 10);
      const double s = size();
      Glyph& g = emit(ch, x, y, adv, 1, 0, s, font());
      if (r_.chance(0.3)) g.end_x = r_.one_of(kOdd);
      if (r_.chance(0.3)) g.end_y = r_.one_of(kOdd);
      g.repeat = r_.chance(0.2);
      extras(kAny);
    }
  }

  Rng r_;
  bool cjk_;
  PageGlyphs page_;
};

// Every eighth page is small, where the single-glyph and empty cases live; a
// third of the pages hold no code point from U+2E80 up, so no CJK line opens
// and layout may take another road there. Rotations go round with the seed.
inline PageGlyphs random_page(std::uint64_t seed) {
  Rng r(seed ^ 0xC0FFEEull);
  const std::size_t target = seed % 8 == 0 ? r.pick(12) : 200 + r.pick(2500);
  PageGlyphs page = PageMaker(seed, seed % 3 != 2).make(target);
  page.rotation = static_cast<std::uint32_t>(90 * (seed % 4));
  return page;
}

inline std::optional<Rect> random_clip(std::uint64_t seed) {
  Rng r(seed ^ 0xC11Full);
  switch (r.pick(4)) {
    case 0: {
      const double x0 = r.uniform(0, 300), y0 = r.uniform(0, 400);
      const double x1 = r.uniform(300, 600), y1 = r.uniform(400, 800);
      return Rect{x0, y0, x1, y1};
    }
    case 1: return Rect{kRandNaN, 100, 400, kRandNaN};
    case 2: return Rect{400, 600, 100, 200};  // inverted: keeps only what spans it
    default: return Rect{-kRandInf, 300, kRandInf, 300};
  }
}

// Boxes for the XY-cut: columns (some narrow, as margin notes are) whose
// gutters and row gaps sit on the default thresholds, spanning boxes, with
// NaN, infinite, reversed and repeated boxes mixed in; or, for a third of the
// seeds, a pile of overlapping boxes with tied and NaN keys, where only the
// sorts decide.
inline std::vector<OrderItem> random_items(std::uint64_t seed) {
  Rng r(seed ^ 0x0DDB1Aull);
  std::vector<OrderItem> items;
  const std::size_t n = seed % 5 == 0 ? r.pick(6) : 2 + r.pick(150);
  if (seed % 3 == 1) {
    static constexpr double kTops[] = {10, 10, 10.5, 11, 11.5, -0.0, 0, kRandNaN};
    static constexpr double kLefts[] = {1, 2, 2, 3, -0.0, 0, kRandNaN, kRandNaN};
    const std::size_t tops = seed % 2 == 0 ? 8 : 7, lefts = seed % 4 < 2 ? 8 : 6;
    for (std::size_t i = 0; i < n; ++i) {
      const double x0 = kLefts[r.pick(lefts)], y0 = kTops[r.pick(tops)];
      const double x1 = r.chance(0.1) ? kRandNaN : 40.0, y1 = r.chance(0.1) ? kRandNaN : 30.0;
      items.push_back({i, Rect{x0, y0, x1, y1}});
    }
    return items;
  }
  static constexpr double kGutters[] = {12.5, 12.4999, 12.5001, 13, 30, 2, 0, 5, 24.9};
  static constexpr double kLeads[] = {2, 1.9999, 0, 14, 3, -1};
  static constexpr double kOdd[] = {kRandNaN, kRandInf, -kRandInf, -0.0, 0, 1e308};
  const std::size_t cols = 1 + r.pick(4);
  double widths[4], lefts[4], x = 100;
  for (std::size_t c = 0; c < cols; ++c) {
    widths[c] = r.chance(0.25) ? r.one_of({0.5, 2.0, 7.0}) : std::round(r.uniform(20, 200));
    lefts[c] = x;
    x += widths[c] + r.one_of(kGutters);
  }
  double y = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t col = r.pick(cols);
    const double x0 = lefts[col] + (r.chance(0.2) ? static_cast<double>(r.pick(5)) : 0.0);
    const double w = r.chance(0.1) ? x - x0 : widths[col] - static_cast<double>(r.pick(3));
    const double h = 8 + static_cast<double>(r.pick(20));
    if (r.chance(0.3)) y += h + r.one_of(kLeads);
    Rect box{x0, y, x0 + w, y + h};
    if (r.chance(0.08)) box.x0 = r.one_of(kOdd);
    if (r.chance(0.05)) box.x1 = r.one_of(kOdd);
    if (r.chance(0.08)) box.y0 = r.one_of(kOdd);
    if (r.chance(0.05)) box.y1 = r.one_of(kOdd);
    if (r.chance(0.05)) std::swap(box.x0, box.x1);
    if (r.chance(0.03)) box.y0 += 0.5;  // ties of the rounded sort
    items.push_back({i, box});
    if (r.chance(0.05)) items.push_back(items.back());
  }
  return items;
}

}  // namespace textloom::fixtures
