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

PageGlyphs with_placed_text(const PageGlyphs& page, const std::vector<PlacedRun>& runs,
                            std::string font, bool replace, std::int32_t upright) {
  PageGlyphs placed = page;
  if (replace) placed.glyphs.clear();
  // Helvetica's metrics, the face viewers substitute for a field without one.
  FontInfo info = make_font_info(std::move(font), 0, 400, 0, false, 0.718, -0.207);
  const auto font_index = static_cast<std::uint32_t>(placed.fonts.size());
  const double depth = info.ascender - info.descender;
  placed.fonts.push_back(std::move(info));
  const FontInfo& metrics = placed.fonts.back();

  double dx = 1, dy = 0;
  const bool own = upright != 0 && upright != 90 && upright != 180 && upright != 270;
  upright_direction(own ? page.rotation : static_cast<std::uint32_t>(upright), dx, dy);
  const double ux = dy, uy = -dx;  // across the baseline, towards the top of the glyphs
  auto next_index = static_cast<std::uint32_t>(std::max<std::int32_t>(page.n_chars, 0));
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
      Glyph& g = placed.glyphs.emplace_back();
      g.origin_x = along * dx + baseline * ux;
      g.origin_y = along * dy + baseline * uy;
      g.end_x = g.origin_x + advance * dx;
      g.end_y = g.origin_y + advance * dy;
      g.dir_x = dx;
      g.dir_y = dy;
      g.size = size;
      g.font = font_index;
      g.color = 0;
      g.index = next_index++;
      const std::uint32_t ch = chars[k];
      g.ch = ch == 0 || ch >= 0xFFFE || (ch >= 0xD800 && ch <= 0xDFFF) ? kReplacementChar : ch;
      g.hyphen = false;
      g.repeat = false;
      // An OCR reading's runs are the engine's words: each one's first glyph
      // follows a space the engine saw, however tight its ink boxes sit.
      g.space_before = replace && k == 0;
      g.invisible = false;
    }
  }
  return placed;
}

}  // namespace textloom
