// make_spans: cuts one line's chars into runs that share font name, style
// bits, colour and printed size, marking runs raised above the line's first
// char as superscript. Spans are made on demand by the output schemas; the
// layout hierarchy does not store them.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "layout.hpp"
#include "num.hpp"

namespace textloom {

namespace {

// Sizes that are equal, or that print alike with three decimals (10.0004 and
// 9.9996 both print 10.000). Two NaN sizes match whatever their sign bits.
bool same_size(double a, double b) {
  if (a == b) return true;
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  // Sizes that print alike differ by at most 0.001; skip formatting the rest.
  if (!(std::fabs(a - b) <= 0.002)) return false;
  char ta[64];
  char tb[64];
  std::snprintf(ta, sizeof ta, "%.3f", a);
  std::snprintf(tb, sizeof tb, "%.3f", b);
  return std::strcmp(ta, tb) == 0;
}

const FontInfo& font_of(const Char& c, const std::vector<FontInfo>& fonts) {
  // Chars made from the page's own glyphs always name one of its fonts.
  if (c.font >= fonts.size()) std::abort();
  return fonts[c.font];
}

}  // namespace

std::vector<Span> make_spans(const Line& line, const std::vector<FontInfo>& fonts,
                             const LayoutParams& params) {
  std::vector<Span> spans;
  if (line.chars.empty()) return spans;
  const double ref_y = line.chars.front().origin_y;
  const bool horizontal = !(line.dir_x < 0.999);  // a NaN direction still tests
  const std::string* span_name = nullptr;         // font name of the current span
  for (std::size_t i = 0; i < line.chars.size(); ++i) {
    const Char& c = line.chars[i];
    const FontInfo& font = font_of(c, fonts);
    std::uint32_t flags = font.style;
    // The rise scales with the size's magnitude: a mirrored (negative) size
    // raises nothing.
    if (horizontal && c.origin_y < ref_y + std::fabs(c.size) * -params.script_offset) {
      flags |= kStyleSuperscript;
    }
    if (span_name != nullptr) {
      Span& span = spans.back();
      if (font.name == *span_name && flags == span.flags && c.color == span.color &&
          same_size(c.size, span.size)) {
        span.char_end_idx = i + 1;
        span.bbox = rect_union(span.bbox, c.bbox);
        continue;
      }
    }
    spans.push_back(Span{c.bbox, i, i + 1, c.size, c.font, flags, c.color});
    span_name = &font.name;
  }
  return spans;
}

}  // namespace textloom
