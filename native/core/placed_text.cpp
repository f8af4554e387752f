// with_placed_text: runs of text laid into the glyph model along their boxes.

#include "placed_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "utf8.hpp"

namespace textloom {

namespace {

// The viewer's upright baseline in page space: the page's rotation (clockwise
// for display) turns page-space direction (dx, dy) by that angle, so upright
// text on a page shown turned by 90 degrees runs up the page.
void upright_direction(std::uint32_t rotation, double& dx, double& dy) {
  switch (rotation) {
    case 90: dx = 0, dy = -1; break;
    case 180: dx = -1, dy = 0; break;
    case 270: dx = 0, dy = 1; break;
    default: dx = 1, dy = 0; break;
  }
}

bool usable(const PlacedRun& run) {
  const double values[4] = {run.x0, run.y0, run.x1, run.y1};
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return run.x1 > run.x0 && run.y1 > run.y0 && !run.text.empty();
}

}  // namespace

FontInfo placed_font(std::string name) {
  return make_font_info(std::move(name), 0, 400, 0, false, 0.718, -0.207);
}

std::vector<Glyph> placed_glyphs(const std::vector<PlacedRun>& runs, std::uint32_t rotation,
                                 std::uint32_t font, std::uint32_t first_index, bool words) {
  static const FontInfo metrics = placed_font("");
  const double depth = metrics.ascender - metrics.descender;
  double dx = 1, dy = 0;
  upright_direction(rotation, dx, dy);
  const double ux = dy, uy = -dx;  // across the baseline, towards the top of the glyphs
  std::vector<Glyph> glyphs;
  std::uint32_t next_index = first_index;
  for (const PlacedRun& run : runs) {
    if (!usable(run)) continue;
    const std::u32string chars = code_points(run.text);
    if (chars.empty()) continue;
    // The box's extent along the baseline and across it, from its corners.
    const double xs[2] = {run.x0, run.x1}, ys[2] = {run.y0, run.y1};
    double along_min = INFINITY, along_max = -INFINITY, up_min = INFINITY, up_max = -INFINITY;
    for (double x : xs) {
      for (double y : ys) {
        const double along = x * dx + y * dy, up = x * ux + y * uy;
        along_min = std::min(along_min, along), along_max = std::max(along_max, along);
        up_min = std::min(up_min, up), up_max = std::max(up_max, up);
      }
    }
    const double size = (up_max - up_min) / depth;
    const double advance = (along_max - along_min) / static_cast<double>(chars.size());
    const double baseline = up_min - size * metrics.descender;
    for (std::size_t k = 0; k < chars.size(); ++k) {
      const double along = along_min + advance * static_cast<double>(k);
      Glyph& g = glyphs.emplace_back();
      g.origin_x = along * dx + baseline * ux;
      g.origin_y = along * dy + baseline * uy;
      g.end_x = g.origin_x + advance * dx;
      g.end_y = g.origin_y + advance * dy;
      g.dir_x = dx;
      g.dir_y = dy;
      g.size = size;
      g.font = font;
      g.color = 0;
      g.index = next_index++;
      const std::uint32_t ch = chars[k];
      g.ch = ch == 0 || ch >= 0xFFFE || (ch >= 0xD800 && ch <= 0xDFFF) ? kReplacementChar : ch;
      g.hyphen = false;
      g.repeat = false;
      // Runs that are words (an OCR reading's): each one's first glyph
      // follows a space the engine saw, however tight its ink boxes sit.
      g.space_before = words && k == 0;
      g.invisible = false;
    }
  }
  return glyphs;
}

PageGlyphs with_placed_text(const PageGlyphs& page, const std::vector<PlacedRun>& runs,
                            std::string font, bool replace, std::int32_t upright) {
  PageGlyphs placed = page;
  if (replace) placed.glyphs.clear();
  const auto font_index = static_cast<std::uint32_t>(placed.fonts.size());
  placed.fonts.push_back(placed_font(std::move(font)));
  const bool own = upright != 0 && upright != 90 && upright != 180 && upright != 270;
  // The new glyphs' indices follow every index the page holds (its text's,
  // and what its fields show), so that an index names one glyph.
  auto first = static_cast<std::uint32_t>(std::max<std::int32_t>(page.n_chars, 0));
  for (const std::vector<Glyph>* held : {&page.glyphs, &page.shown}) {
    for (const Glyph& g : *held) first = std::max(first, g.index + 1);
  }
  const std::vector<Glyph> glyphs = placed_glyphs(
      runs, own ? page.rotation : static_cast<std::uint32_t>(upright), font_index, first, replace);
  placed.glyphs.insert(placed.glyphs.end(), glyphs.begin(), glyphs.end());
  return placed;
}

PageGlyphs with_shown_text(const PageGlyphs& page) {
  PageGlyphs shown = page;
  const auto font_index = static_cast<std::uint32_t>(shown.fonts.size());
  shown.fonts.push_back(placed_font("Helvetica"));
  shown.glyphs.reserve(shown.glyphs.size() + shown.shown.size());
  for (Glyph g : page.shown) {
    g.font = font_index;
    shown.glyphs.push_back(g);
  }
  shown.shown.clear();
  return shown;
}

}  // namespace textloom
