// Random pages from fixed seeds for the layout property and regression tests:
// prose columns, tables, right-to-left lines drawn either way, vertical and
// horizontal CJK, rotated and degenerate directions, NaN and infinite
// coordinates, zero and negative sizes, repeats, duplicates, combining marks
// and space_before, with gaps and offsets placed on the layout thresholds;
// and boxes for the XY-cut alone (NaN among them, which layout never makes).
//
// The generator has its own integer PRNG, so pages are the same on every
// standard library, and every draw is a statement of its own: the order in
// which a call's arguments are evaluated is the compiler's choice.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
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

// Code points at the edges of every range layout tests: right-to-left from
// U+0590, marks from U+0300, no spaces after U+0700 except U+2000..U+20CF,
// the CJK ranges, list markers.
inline constexpr std::uint32_t kEdges[] = {
    0x2FF,   0x300,   0x36F,   0x58F,   0x590,   0x591,   0x5BE,   0x5C0,   0x5F4,   0x5FF,
    0x600,   0x608,   0x60B,   0x660,   0x669,   0x6DD,   0x6FF,   0x700,   0x7C0,   0x7FF,
    0x1FFF,  0x2000,  0x200F,  0x2013,  0x2022,  0x2039,  0x203A,  0x20AC,  0x20CF,  0x20D0,
    0x2E7F,  0x2E80,  0x9FFF,  0xA000,  0xABFF,  0xAC00,  0xD7AF,  0xD7B0,  0xF8FF,  0xF900,
    0xFAFF,  0xFB00,  0xFB1D,  0xFB50,  0xFE2F,  0xFE30,  0xFE4F,  0xFE50,  0xFE70,  0xFEFF,
    0xFF00,  0xFF10,  0xFFEF,  0xFFF0,  0xFFFD,  0x10800, 0x10FFF, 0x1E900, 0x1F600, 0x1FFFF,
    0x20000, 0x2A6D6, 0x3FFFF, 0x40000, 0xE0001, 0x10FFFD, 0xAB,   0xBB,    0xB7,    0x25CF};

enum class Script { latin, hebrew, arabic, cjk, mixed };

inline std::uint32_t letter(Rng& r, Script script) {
  if (r.chance(0.02)) return r.one_of(kEdges);
  switch (script) {
    case Script::latin:
      if (r.chance(0.1)) return r.in('A', 'Z');
      if (r.chance(0.05)) return r.in('0', '9');
      if (r.chance(0.04)) return r.one_of({0x28u, 0x29u, 0x2Cu, 0x2Eu, 0x2Du, 0xE9u, 0xDFu});
      return r.in('a', 'z');
    case Script::hebrew:
      if (r.chance(0.08)) return r.in('0', '9');
      if (r.chance(0.06)) return r.one_of({0x28u, 0x29u, 0x5Bu, 0x5Du, 0x3Cu, 0x3Eu, 0x7Bu, 0x7Du,
                                          0xABu, 0xBBu, 0x2039u, 0x203Au, 0x2Eu, 0x2Cu});
      if (r.chance(0.04)) return r.in(0x5B0, 0x5BC);  // points: marks
      if (r.chance(0.05)) return r.in('a', 'z');
      return r.in(0x5D0, 0x5EA);
    case Script::arabic:
      if (r.chance(0.08)) return r.in(0x660, 0x669);  // Arabic-Indic digits (AN)
      if (r.chance(0.05)) return r.in('0', '9');
      if (r.chance(0.05)) return r.in(0x64B, 0x652);  // harakat: marks
      if (r.chance(0.04)) return r.one_of({0x28u, 0x29u, 0x60Cu, 0x61Fu, 0x2Du});
      return r.in(0x627, 0x64A);
    case Script::cjk:
      if (r.chance(0.05)) return r.one_of({0x3001u, 0x3002u, 0xFF0Cu, 0xFF08u, 0xFF09u, 0x30FCu});
      if (r.chance(0.1)) return r.in(0xAC00, 0xAC40);
      if (r.chance(0.1)) return r.in(0x2E80, 0x2FD5);  // radicals, where the CJK ranges start
      if (r.chance(0.03)) return r.in(0x20000, 0x20010);
      return r.in(0x4E00, 0x4EFF);
    case Script::mixed:
      break;
  }
  // Devanagari and Thai (marks among them), marks, punctuation, Greek, Cyrillic, ASCII.
  static constexpr std::uint32_t kRanges[][2] = {{0x900, 0x97F},   {0xE01, 0xE3A},
                                                  {0x300, 0x36F},   {0x2000, 0x206F},
                                                  {0x370, 0x3FF},   {0x400, 0x4FF}};
  const std::size_t k = r.pick(8);
  if (k == 0) return r.one_of(kEdges);
  return k == 7 ? r.in(0x21, 0x7E) : r.in(kRanges[k - 1][0], kRanges[k - 1][1]);
}

// Glyphs are placed by a pen that advances along a baseline; the offsets the
// layout thresholds judge are drawn partly from the thresholds themselves.
class PageMaker {
 public:
  explicit PageMaker(std::uint64_t seed) : r_(seed) {
    // Font 4 shares font 0's name (one span); 3 ends above the baseline; 5 has a
    // NaN ascender; 6 ends on the baseline and 7 starts there.
    const std::pair<double, double> metrics[] = {{0.8, -0.2}, {0.7, -0.25}, {0, 0}, {1.2, -0.6},
                                                 {0.75, -0.2}, {0.8, -0.2}, {1, 0}, {0, -0.5}};
    const char* names[] = {"Serif", "Sans-Bold", "Zero", "Tall", "Serif", "Broken", "Flat", "Hanging"};
    for (int k = 0; k < 8; ++k) {
      page_.fonts.push_back(make_font_info(names[k], 0, 400, 0, false, metrics[k].first,
                                           metrics[k].second));
    }
    page_.fonts[3].descender = 0.3;
    page_.fonts[5].ascender = kRandNaN;
  }

  PageGlyphs make(std::size_t target) {
    using Part = void (PageMaker::*)();
    static constexpr std::pair<double, Part> kParts[] = {
        {0.34, &PageMaker::prose},   {0.44, &PageMaker::table}, {0.56, &PageMaker::right_to_left},
        {0.68, &PageMaker::vertical_cjk}, {0.74, &PageMaker::horizontal_cjk},
        {0.84, &PageMaker::rotated}, {0.90, &PageMaker::noise}, {0.94, &PageMaker::zeros},
        {2.0, &PageMaker::soup}};
    while (page_.glyphs.size() < target) {
      const double roll = r_.unit();
      for (const auto& [upto, part] : kParts) {
        if (roll < upto) {
          (this->*part)();
          break;
        }
      }
    }
    return std::move(page_);
  }

 private:
  double size() {
    static constexpr double kSizes[] = {10, 10, 10, 10, 9.5, 12, 7, 24, 0, -10, 1e-3, -0.0};
    if (r_.chance(0.01)) return r_.one_of({kRandNaN, kRandInf, -kRandInf, 1e300});
    return r_.one_of(kSizes);
  }

  static double em(double s) { return s == 0 || std::isnan(s) ? 1.0 : std::fabs(s); }

  // Positions on a 1/64 grid keep differences exact, so offsets that are whole
  // multiples of a threshold land on it.
  static double q(double v) { return std::round(v * 64) / 64; }

  // A gap along the line, in em: mostly ordinary, often on a threshold.
  double gap() {
    static constexpr double kEdgesEm[] = {0,     0.14,      -0.14,      0.1399999, 0.1400001,
                                          0.85,  -0.85,     0.849999,   -0.46,     -0.4600001,
                                          -0.4599999, 0.5, -0.5, 1e-17, -0.0};
    const double roll = r_.unit();
    if (roll < 0.45) return r_.uniform(-0.05, 0.08);
    if (roll < 0.7) return r_.uniform(0.2, 0.45);
    if (roll < 0.85) return r_.one_of(kEdgesEm);
    return r_.uniform(-1.5, 2.5);
  }

  // A step across lines, in em.
  double line_step() {
    static constexpr double kSteps[] = {0.85, 0.8499999, 1.5, 1.5000001, 1.2, 1.2, 1.2, 0.3, -1.2};
    if (r_.chance(0.6)) return r_.uniform(1.1, 1.4);
    if (r_.chance(0.5)) return r_.one_of(kSteps);
    return r_.uniform(-0.5, 2.2);
  }

  Glyph& emit(std::uint32_t ch, double x, double y, double adv, double dx, double dy, double s,
              std::uint32_t font) {
    Glyph& g = page_.glyphs.emplace_back(glyph(ch, x, y, s, adv, dx, dy, font,
                                               static_cast<std::uint32_t>(page_.glyphs.size())));
    g.color = r_.chance(0.9) ? 0 : static_cast<std::uint32_t>(r_.pick(3)) * 0x7F0000u;
    g.hyphen = ch == '-' && r_.chance(0.5);
    g.space_before = r_.chance(0.1);
    return g;
  }

  std::uint32_t font() { return r_.chance(0.7) ? 0 : static_cast<std::uint32_t>(r_.pick(6)); }

  // After a glyph: the same char painted again nearly in place (fake bold),
  // another char drawn at the same place (a repeat), or a mark on top.
  void extras(Script script) {
    const Glyph prev = page_.glyphs.back();
    const double e = em(prev.size);
    const double roll = r_.unit();
    if (roll < 0.02) {
      const double shift = r_.one_of({0.0, 0.05, 0.0999999, 0.1, 0.15}) * e;
      Glyph& g = emit(prev.ch, prev.origin_x + shift, prev.origin_y, 0, prev.dir_x, prev.dir_y,
                      prev.size, prev.font);
      g.end_x = prev.end_x + shift;
      g.end_y = prev.end_y;
    } else if (roll < 0.035) {
      Glyph& g = emit(letter(r_, script), 0, 0, 0, 0, 0, 0, 0);
      const std::uint32_t index = g.index, ch = g.ch;
      g = prev;
      g.index = index, g.ch = ch, g.repeat = true;
    } else if (roll < 0.05) {
      const std::uint32_t mark = script == Script::hebrew   ? r_.in(0x5B0, 0x5BC)
                                 : script == Script::arabic ? r_.in(0x64B, 0x652)
                                                            : r_.in(0x300, 0x36F);
      const double mx = prev.origin_x + r_.uniform(-2, 2);
      const double my = prev.origin_y - r_.uniform(-1, 3);
      emit(mark, mx, my, 0, prev.dir_x, prev.dir_y, prev.size, prev.font);
    }
  }

  // A paragraph of left-to-right text in a column.
  void prose() {
    static constexpr double kColumns[] = {40, 72, 72, 300, 312, 330, 500};
    const double left = r_.chance(0.1) ? r_.uniform(-50, 650) : r_.one_of(kColumns);
    double y = q(r_.uniform(20, 780));
    const double s = size();
    const std::uint32_t f = font();
    const std::size_t lines = 1 + r_.pick(8);
    for (std::size_t l = 0; l < lines; ++l) {
      static constexpr double kIndents[] = {0, 0, 0, 3, 4.1, 4.1000001, 10, -5};
      double x = left + r_.one_of(kIndents);
      const std::size_t n = 1 + r_.pick(45);
      for (std::size_t k = 0; k < n; ++k) {
        std::uint32_t ch = letter(r_, r_.chance(0.03) ? Script::mixed : Script::latin);
        if (k == 0 && r_.chance(0.15)) ch = r_.one_of({0x2022u, 0x2Du, 0x2Au, 0x25CFu, 0x2013u});
        if (k > 0 && r_.chance(0.08)) ch = ' ';
        const double adv = r_.chance(0.03) ? 0 : q(em(s) * r_.uniform(0.25, 0.7));
        const double rise = r_.chance(0.05) ? em(s) * r_.one_of({-0.3, 0.3, -0.84, 0.86, 1.6}) : 0;
        Glyph& g = emit(ch, x, y + rise, adv, 1, 0, s, r_.chance(0.9) ? f : font());
        x = g.end_x + q(gap() * em(s));
        extras(Script::latin);
      }
      y += q(line_step() * em(s));
    }
  }

  // Short cells in a grid (columns of blocks for the XY-cut), at times under a heading.
  void table() {
    const double top = q(r_.uniform(20, 700));
    const double s = size();
    const std::size_t cols = 2 + r_.pick(3);
    const std::size_t rows = 1 + r_.pick(6);
    const double width = q(r_.uniform(40, 160));
    const double gutter = r_.one_of({12.5, 12.4999, 20.0, 2.0, 40.0});
    double y = top;
    if (r_.chance(0.3)) {
      double x = 60;
      for (std::size_t k = 0; k < 30; ++k) x = emit(letter(r_, Script::latin), x, y, 6, 1, 0, s, 0).end_x;
      y += r_.one_of({14.0, 16.0, 30.0});
    }
    for (std::size_t row = 0; row < rows; ++row) {
      for (std::size_t col = 0; col < cols; ++col) {
        double x = 60 + static_cast<double>(col) * (width + gutter);
        const std::size_t n = 1 + r_.pick(8);
        for (std::size_t k = 0; k < n; ++k) {
          const std::uint32_t ch = letter(r_, Script::latin);
          x = emit(ch, x, y, 5, 1, 0, s, font()).end_x;
        }
      }
      y += r_.one_of({12.0, 14.0, 14.0, 24.0, 11.9});
      y += r_.one_of({0.0, 2.0, 1.9});
    }
  }

  // A right-to-left line drawn in visual order (left to right) or in logical
  // order (each glyph left of the one before).
  void right_to_left() {
    const Script script = r_.chance(0.5) ? Script::hebrew : Script::arabic;
    const bool visual = r_.chance(0.5);
    const double s = size();
    const double e = em(s);
    double y = q(r_.uniform(20, 780));
    const std::size_t lines = 1 + r_.pick(4);
    for (std::size_t l = 0; l < lines; ++l) {
      double x = q(visual ? r_.uniform(40, 200) : r_.uniform(300, 560));
      const std::size_t n = 2 + r_.pick(30);
      for (std::size_t k = 0; k < n; ++k) {
        std::uint32_t ch = letter(r_, script);
        if (k > 0 && r_.chance(0.1)) ch = ' ';
        const double adv = q(e * r_.uniform(0.3, 0.6));
        const double step = r_.chance(0.7) ? 0 : q(gap() * e);
        if (visual) {
          x = emit(ch, x, y, adv, 1, 0, s, 0).end_x + step;
        } else {
          emit(ch, x - adv, y, adv, 1, 0, s, 0);
          x = x - adv - step;
        }
        extras(script);
      }
      y += q(line_step() * e);
    }
  }

  // Columns of single CJK chars stacked one below the other, right to left.
  void vertical_cjk() {
    const double s = r_.chance(0.8) ? r_.one_of({10.0, 12.0, 9.0}) : size();
    const double e = em(s) < 1 ? 1.0 : em(s);
    double x = std::round(r_.uniform(100, 560));
    const double top = std::round(r_.uniform(20, 500));
    const std::size_t cols = 1 + r_.pick(5);
    for (std::size_t c = 0; c < cols; ++c) {
      double y = top + r_.one_of({0.0, 0.0, 1.5, 2.0, -1.4}) * e;
      const std::size_t n = 1 + r_.pick(20);
      for (std::size_t k = 0; k < n; ++k) {
        static constexpr double kStacks[] = {1.0, 1.1, 1.2, 0.5, 0.5000001, 1.8, 1.7999999, 2.0};
        const double roll = r_.unit();
        const double dx = roll < 0.5    ? 0
                          : roll < 0.85 ? q(r_.uniform(-0.1, 0.1))
                                        : r_.one_of({0.3, -0.2999999});
        const std::uint32_t ch = r_.chance(0.95) ? letter(r_, Script::cjk) : letter(r_, Script::latin);
        emit(ch, x + dx * e, y, e, 1, 0, s, 0);
        if (r_.chance(0.1)) emit(' ', x + e, y, e * 0.3, 1, 0, s, 0);
        extras(Script::cjk);
        y += q((r_.chance(0.8) ? r_.uniform(1.0, 1.3) : r_.one_of(kStacks)) * e);
      }
      x -= r_.one_of({1.5, 1.5, 2.5, 2.5000001, 1.2, 3.0}) * e;
    }
  }

  void horizontal_cjk() {
    const double s = size();
    const double e = em(s);
    double y = q(r_.uniform(20, 780));
    const double left = q(r_.uniform(40, 400));
    for (std::size_t l = 0; l < 1 + r_.pick(4); ++l) {
      double x = left;
      const std::size_t n = 1 + r_.pick(25);
      for (std::size_t k = 0; k < n; ++k) {
        x = emit(letter(r_, k % 7 == 6 ? Script::latin : Script::cjk), x, y, e, 1, 0, s, 0).end_x;
        x += q(gap() * e);
      }
      y += q(line_step() * e);
    }
  }

  // Text along other directions, degenerate ones included.
  void rotated() {
    static constexpr double kDirs[][2] = {
        {0, 1},     {0, -1},      {-1, 0},         {0.6, 0.8},      {0.8, -0.6},
        {1, 1e-12}, {1, -0.0},    {0.9995, 0.0316}, {0.999, 0.0447}, {-0.0, 1},
        {kRandNaN, kRandNaN}, {kRandInf, 0}, {0, 0}, {1, kRandNaN},  {kRandNaN, 0}};
    const auto& d = kDirs[r_.pick(std::size(kDirs))];
    const double dx = d[0], dy = d[1];
    const double s = size();
    const double e = em(s);
    double x = r_.uniform(50, 550), y = r_.uniform(50, 750);
    const std::size_t n = 1 + r_.pick(25);
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint32_t ch = letter(r_, r_.chance(0.2) ? Script::hebrew : Script::latin);
      const double adv = e * r_.uniform(0.3, 0.7);
      const Glyph& g = emit(ch, x, y, adv, dx, dy, s, font());
      const double step = gap() * e;
      x = g.end_x + step * dx;
      y = g.end_y + step * dy;
      if (r_.chance(0.05)) {  // next line, across the baseline
        const double across = line_step() * e;
        x += -dy * across;
        y += dx * across;
      }
      extras(Script::latin);
    }
  }

  // Single glyphs with degenerate numbers.
  void noise() {
    static constexpr double kOdd[] = {kRandNaN, kRandInf, -kRandInf, 1e308, -1e308, 0, -0.0, 5e-324, 100};
    const std::size_t n = 1 + r_.pick(6);
    for (std::size_t k = 0; k < n; ++k) {
      double x = r_.chance(0.5) ? r_.one_of(kOdd) : r_.uniform(0, 600);
      double y = r_.chance(0.5) ? r_.one_of(kOdd) : r_.uniform(0, 800);
      const std::uint32_t ch = letter(r_, Script::mixed);
      const double adv = r_.uniform(-5, 10);
      const double s = size();
      Glyph& g = emit(ch, x, y, adv, 1, 0, s, font());
      if (r_.chance(0.3)) g.end_x = r_.one_of(kOdd);
      if (r_.chance(0.3)) g.end_y = r_.one_of(kOdd);
      if (r_.chance(0.2)) g.repeat = true;
      extras(Script::mixed);
    }
  }

  // A line on the page's top or left edge, where box sides are zeros of
  // either sign (unions keep -0.0 as the smaller): one side at a time (left at
  // x = 0, right where a glyph ends at 0, top or bottom on a baseline at y = 0
  // with a font whose box starts or ends there) or all of them.
  void zeros() {
    static constexpr double kZeros[] = {0.0, -0.0};
    const std::size_t side = r_.pick(5);  // left, right, top, bottom, all
    const double s = side == 4 ? r_.one_of({0.0, -0.0}) : 10.0;
    const std::uint32_t f = side == 2 ? 7 : side == 3 ? 6 : side == 4 ? 3 : 0;
    const std::size_t n = 3 + r_.pick(6);
    for (std::size_t k = 0; k < n; ++k) {
      const double x = side == 0 || side == 4 ? r_.one_of(kZeros)
                       : side == 1            ? -2 - static_cast<double>(r_.pick(3))
                                              : 2 + static_cast<double>(r_.pick(3));
      const double y = side >= 2 ? r_.one_of(kZeros) : 100;
      Glyph& g = emit(letter(r_, Script::latin), x, y, 1, 1, 0, s, f);
      if (side == 1 || side == 4) g.end_x = r_.one_of(kZeros);
      g.end_y = y;
    }
  }

  // Any character from anywhere, continuing from the last glyph.
  void soup() {
    const std::size_t n = 1 + r_.pick(30);
    double x = r_.uniform(0, 600), y = r_.uniform(0, 800);
    const double s = size();
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint32_t ch = letter(r_, Script::mixed);
      const double adv = em(s) * r_.uniform(0, 0.8);
      const Glyph& g = emit(ch, x, y, adv, 1, 0, s, font());
      x = g.end_x + gap() * em(s);
      if (r_.chance(0.1)) y += line_step() * em(s);
      extras(Script::mixed);
    }
  }

  Rng r_;
  PageGlyphs page_;
};

inline PageGlyphs random_page(std::uint64_t seed) {
  Rng r(seed ^ 0xC0FFEEull);
  // Every eighth page is small, where the single-glyph and empty cases live.
  const std::size_t target = seed % 8 == 0 ? r.pick(12) : 200 + r.pick(2500);
  PageGlyphs page = PageMaker(seed).make(target);
  if (seed % 3 == 2) {
    // A third of the pages hold no CJK, so no line can be joined into a
    // vertical one: layout may take another road there.
    for (Glyph& g : page.glyphs) {
      const std::uint32_t cp = g.ch;
      const bool cjk = (cp >= 0x2E80 && cp < 0xA000) || (cp >= 0xAC00 && cp < 0xD7B0) ||
                       (cp >= 0xF900 && cp < 0xFB00) || (cp >= 0xFE30 && cp < 0xFE50) ||
                       (cp >= 0xFF00 && cp < 0xFFF0) || (cp >= 0x20000 && cp < 0x40000);
      if (cjk) g.ch = 'a' + cp % 26;
    }
  }
  return page;
}

inline std::optional<Rect> random_clip(std::uint64_t seed) {
  Rng r(seed ^ 0xC11Full);
  switch (r.pick(4)) {
    case 0:  // braces evaluate left to right
      return Rect{r.uniform(0, 300), r.uniform(0, 400), r.uniform(300, 600), r.uniform(400, 800)};
    case 1: return Rect{kRandNaN, 100, 400, kRandNaN};
    case 2: return Rect{400, 600, 100, 200};  // inverted: keeps only what spans it
    default: return Rect{-kRandInf, 300, kRandInf, 300};
  }
}

// Boxes for the XY-cut: grids of cells whose gutters and row gaps sit on the
// two thresholds, with NaN, infinite, reversed and repeated boxes mixed in.
inline std::vector<OrderItem> random_items(std::uint64_t seed) {
  Rng r(seed ^ 0x0DDB1Aull);
  std::vector<OrderItem> items;
  const std::size_t n = seed % 5 == 0 ? r.pick(6) : 2 + r.pick(150);
  static constexpr double kLeads[] = {2, 1.9999, 0, 14, 3, -1};
  if (seed % 3 == 1) {
    // A pile of overlapping boxes, no gap anywhere: the sorts decide, with ties
    // and NaN keys (on both axes, in the lefts only, the tops only, or nowhere).
    static constexpr double kTops[] = {10, 10, 10.5, 11, 11.5, -0.0, 0, kRandNaN};
    static constexpr double kLefts[] = {1, 2, 2, 3, -0.0, 0, kRandNaN, kRandNaN};
    const std::size_t kind = seed / 3 % 4;
    const std::size_t tops = kind == 0 || kind == 2 ? 8 : 7;
    const std::size_t lefts = kind <= 1 ? 8 : 6;
    for (std::size_t i = 0; i < n; ++i) {
      const double x0 = kLefts[r.pick(lefts)], y0 = kTops[r.pick(tops)];
      items.push_back({i, Rect{x0, y0, r.chance(0.1) ? kRandNaN : 40.0, r.chance(0.1) ? kRandNaN : 30.0}});
    }
    return items;
  }
  if (seed % 6 == 2) {
    // Rows of a wide box and margin notes left or right of it, a gap's width
    // away give or take: whether a column opens there must be worked out.
    static constexpr double kMargins[] = {5, 12.4999, 12.5, 12.5001, 13, 20, 24.9, 30};
    const double d = r.one_of(kMargins);
    const double w = r.one_of({0.5, 1.0, 2.0, 4.0, 7.0});
    double y = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double h = 8 + static_cast<double>(r.pick(12));
      const double left = 100 + static_cast<double>(r.pick(3));
      const double right = 400 + static_cast<double>(r.pick(3));
      if (r.chance(0.5)) {
        items.push_back({items.size(), Rect{left, y, right, y + h}});
      } else {
        const bool on_left = r.chance(0.7);
        items.push_back({items.size(), on_left ? Rect{left - d - w, y, left - d, y + h}
                                               : Rect{right + d, y, right + d + w, y + h}});
      }
      if (r.chance(0.4)) y += h + r.one_of(kLeads);
    }
    return items;
  }
  static constexpr double kGutters[] = {12.5, 12.4999, 13, 30, 2, 0};
  static constexpr double kOdd[] = {kRandNaN, kRandInf, -kRandInf, -0.0, 0, 1e308};
  const double width = std::round(r.uniform(20, 200));
  const double gutter = r.one_of(kGutters);
  const std::size_t cols = 1 + r.pick(4);
  double y = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t col = r.pick(cols);
    const double x0 = static_cast<double>(col) * (width + gutter) +
                      (r.chance(0.2) ? static_cast<double>(r.pick(5)) : 0.0);
    const double w = r.chance(0.1) ? static_cast<double>(cols) * width
                                   : width - static_cast<double>(r.pick(10));
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
