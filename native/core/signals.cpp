// text_signals: counts over the glyphs, and the union of the image boxes.

#include "signals.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "num.hpp"
#include "sort.hpp"
#include "utf8.hpp"
#include "visible.hpp"

namespace textloom {

namespace {

// A page whose images cover at least half of it and that has no text is a
// scan: a figure page has text around its figure (captions, page numbers).
constexpr double kScanCover = 0.5;
// More than half the chars without Unicode is text no reader can read: a
// font without a usable encoding, which OCR reads as drawn.
constexpr double kGarbledShare = 0.5;
// Latin letters in a page of any Latin-script language are a third to a half
// vowels; a font whose codes map to the wrong letters gives a random draw of
// consonants and marks instead (or vowels alone). Judged only with enough
// letters to tell: a few words of capitals or an acronym list are no sample.
constexpr std::size_t kMinLatinLetters = 200;
constexpr double kMinVowelShare = 0.15;
constexpr double kMaxVowelShare = 0.70;
// Beyond this many images the union is estimated by the sum of their areas
// (a tiled scan of thousands of strips, or damage): the sweep is quadratic.
constexpr std::size_t kMaxSweptImages = 4096;

bool private_use(std::uint32_t ch) {
  return (ch >= 0xE000 && ch <= 0xF8FF) || ch >= 0xF0000;
}

bool white(std::uint32_t ch) { return ch == ' ' || ch == 0xA0 || ch == 0x3000 || ch == '\t'; }

bool latin_letter(std::uint32_t ch) { return (ch | 0x20) >= 'a' && (ch | 0x20) <= 'z'; }

bool vowel(std::uint32_t ch) {
  switch (ch | 0x20) {
    case 'a': case 'e': case 'i': case 'o': case 'u': case 'y': return true;
    default: return false;
  }
}

// The boxes clipped to the page; NaN and empty ones left out.
std::vector<Rect> clipped(const std::vector<Rect>& boxes, double width, double height) {
  std::vector<Rect> out;
  out.reserve(boxes.size());
  for (const Rect& b : boxes) {
    const Rect c{std::max(b.x0, 0.0), std::max(b.y0, 0.0), std::min(b.x1, width),
                 std::min(b.y1, height)};
    if (c.x1 > c.x0 && c.y1 > c.y0) out.push_back(c);  // false for NaN
  }
  return out;
}

// Area of the union of `boxes`: slabs between consecutive x edges, and in
// each slab the covered length of y.
double union_area(const std::vector<Rect>& boxes) {
  std::vector<double> xs;
  xs.reserve(2 * boxes.size());
  for (const Rect& b : boxes) xs.push_back(b.x0), xs.push_back(b.x1);
  merge_sort(xs, [](double a, double b) { return a < b; });
  std::vector<std::pair<double, double>> spans;
  double area = 0;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const double left = xs[i], right = xs[i + 1];
    if (!(right > left)) continue;
    spans.clear();
    for (const Rect& b : boxes) {
      if (b.x0 <= left && b.x1 >= right) spans.emplace_back(b.y0, b.y1);
    }
    merge_sort(spans, [](const auto& a, const auto& b) { return a.first < b.first; });
    double covered = 0, top = -INFINITY, bottom = -INFINITY;
    for (const auto& [y0, y1] : spans) {
      if (y0 > bottom) {
        covered += bottom - top > 0 ? bottom - top : 0;
        top = y0, bottom = y1;
      } else {
        bottom = std::max(bottom, y1);
      }
    }
    covered += bottom - top > 0 ? bottom - top : 0;
    area += covered * (right - left);
  }
  return area;
}

}  // namespace

TextSignals text_signals(const PageGlyphs& page) {
  TextSignals s;
  std::size_t unmapped = 0, invisible = 0, letters = 0, vowels = 0;
  for (const Glyph& g : page.glyphs) {
    if (white(g.ch)) continue;
    ++s.chars;
    unmapped += g.ch == kReplacementChar || private_use(g.ch);
    invisible += g.invisible;
    if (latin_letter(g.ch)) ++letters, vowels += vowel(g.ch);
  }
  const WordCount words = count_words(page);
  s.words = words.words;
  if (s.chars != 0) {
    s.unmapped = static_cast<double>(unmapped) / static_cast<double>(s.chars);
    s.invisible = static_cast<double>(invisible) / static_cast<double>(s.chars);
  }
  if (s.words != 0) s.offpage = static_cast<double>(words.outside) / static_cast<double>(s.words);
  const double area = page.width * page.height;
  if (area > 0 && !page.images.empty()) {
    const std::vector<Rect> boxes = clipped(page.images, page.width, page.height);
    double covered = 0;
    if (boxes.size() <= kMaxSweptImages) {
      covered = union_area(boxes);
    } else {
      for (const Rect& b : boxes) covered += (b.x1 - b.x0) * (b.y1 - b.y0);
    }
    s.image_cover = std::min(1.0, covered / area);
  }
  if (s.chars == 0 && s.image_cover >= kScanCover) {
    s.needs_ocr = true, s.reason = "no text";
  } else if (s.chars != 0 && s.unmapped > kGarbledShare) {
    s.needs_ocr = true, s.reason = "garbled";
  } else if (letters >= kMinLatinLetters) {
    const double share = static_cast<double>(vowels) / static_cast<double>(letters);
    if (share < kMinVowelShare || share > kMaxVowelShare) s.needs_ocr = true, s.reason = "garbled";
  }
  return s;
}

}  // namespace textloom
