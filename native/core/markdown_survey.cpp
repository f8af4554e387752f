// The first pass of the Markdown writer over the pages converted: chars per
// type size (the body size is the one carrying the most), the sizes of lines
// that could be headings, and the lines near the top and bottom edges that
// may be running headers and footers. Deciding on them needs every page, so
// it happens here, before any page is written.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "markdown_internal.hpp"
#include "output.hpp"
#include "sort.hpp"
#include "utf8.hpp"

namespace textloom::markdown {

namespace {

// Share of the page height, from the top and from the bottom edge, that
// running headers and footers live in.
constexpr double kBand = 0.12;
// How far apart (points) two lines may stand and still be in the same place.
constexpr double kSamePlace = 2.0;
// Candidates per band and page: running headers and footers are a line or
// two, and the cap keeps the comparison of pages quadratic in pages only.
constexpr std::size_t kBandCandidates = 8;
// Body text set with font expansion, or through scaled text matrices, varies
// by a few hundredths of a point; sizes within 2.5% of one another (a quarter
// point at 10 pt, well below the 15% step to a heading) are one body size.
constexpr SizeKey kBodyBandPerMille = 25;

// The line's text without leading and trailing separators, separator runs as
// one space and digit runs as one '0' (so page 9 and page 10 read alike).
std::string band_key(const Line& line) {
  std::string key;
  bool space = false;
  bool digits = false;
  for (const Char& c : line.chars) {
    if (!is_text(c.ch)) {
      space = !key.empty();
      digits = false;
      continue;
    }
    if (space) key.push_back(' ');
    space = false;
    const bool digit = c.ch >= '0' && c.ch <= '9';
    if (!(digit && digits)) append_utf8(key, digit ? '0' : c.ch);
    digits = digit;
  }
  return key;
}

bool near(double a, double b) { return std::fabs(a - b) <= kSamePlace; }

// Same place: top and bottom edges within 2 units, and the left edge, the
// right edge or the centre too, so left-, right- and centre-aligned lines
// whose digits change width still match.
bool same_place(const Rect& a, const Rect& b) {
  return near(a.y0, b.y0) && near(a.y1, b.y1) &&
         (near(a.x0, b.x0) || near(a.x1, b.x1) || near(a.x0 + a.x1, b.x0 + b.x1));
}

}  // namespace

void CharCounts::add(SizeKey size, std::uint64_t chars, bool mono) {
  total_ += chars;
  mono_ += mono ? chars : 0;
  if (size != kNoSize && chars != 0) sizes_[size] += chars;
}

SizeKey CharCounts::most() const {
  // The band around each size, in a window that slides up the ascending sizes
  // (both of its ends only rise); a tie keeps the smaller size.
  const std::vector<std::pair<SizeKey, std::uint64_t>> sizes(sizes_.begin(), sizes_.end());
  auto reach = [](SizeKey size) { return std::max<SizeKey>(1, size * kBodyBandPerMille / 1000); };
  std::size_t low = 0, high = 0, best_low = 0, best_high = 0;
  std::uint64_t in_band = 0, best = 0;
  for (const auto& [size, chars] : sizes) {
    while (high < sizes.size() && sizes[high].first <= size + reach(size)) in_band += sizes[high++].second;
    while (sizes[low].first < size - reach(size)) in_band -= sizes[low++].second;
    if (in_band > best) best = in_band, best_low = low, best_high = high;
  }
  SizeKey body = kNoSize;
  std::uint64_t most = 0;
  for (std::size_t i = best_low; i < best_high; ++i) {
    if (sizes[i].second > most) body = sizes[i].first, most = sizes[i].second;
  }
  return body;
}

void survey_page(const std::vector<Block>& blocks, const PageGlyphs& page, CharCounts& counts,
                 PageSurvey& survey) {
  const Xf view{page.width, page.height, page.rotation, true};
  const double height = view.swaps_axes() ? page.width : page.height;
  std::vector<BandLine> top;
  std::vector<BandLine> bottom;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const std::vector<Line>& lines = blocks[b].lines;
    for (std::size_t l = 0; l < lines.size(); ++l) {
      const Line& line = lines[l];
      const std::vector<Span> spans = make_spans(line, page.fonts, LayoutParams{});
      for (const Span& span : spans) {
        counts.add(size_key(span.size), text_chars(line, span),
                   (page.fonts[span.font].style & kStyleMono) != 0);
      }
      const LineFacts facts = line_facts(line, spans, page.fonts);
      if (facts.chars == 0) continue;
      survey.lines.push_back(facts);
      const Rect box = view.rc(line.bbox);
      const bool in_top = box.y1 <= kBand * height;
      const bool in_bottom = box.y0 >= (1 - kBand) * height;
      if (!in_top && !in_bottom) continue;
      std::vector<BandLine>& band = in_top ? top : bottom;
      BandLine candidate{band_key(line), box, {b, l}, in_top};
      // One candidate per text in a band: the first in reading order.
      const bool seen = std::any_of(band.begin(), band.end(), [&](const BandLine& other) {
        return other.key == candidate.key;
      });
      if (!seen) band.push_back(std::move(candidate));
    }
  }
  // The lines nearest the edges: the first ones of the top band and the last
  // ones of the bottom band in reading order.
  if (top.size() > kBandCandidates) top.resize(kBandCandidates);
  if (bottom.size() > kBandCandidates) {
    bottom.erase(bottom.begin(), bottom.end() - static_cast<std::ptrdiff_t>(kBandCandidates));
  }
  survey.band = std::move(top);
  survey.band.insert(survey.band.end(), std::make_move_iterator(bottom.begin()),
                     std::make_move_iterator(bottom.end()));
}

TypeScale type_scale(const CharCounts& counts, const std::vector<PageSurvey>& surveys) {
  TypeScale scale;
  scale.body = counts.most();
  scale.typewritten = counts.mostly_mono();
  for (const PageSurvey& survey : surveys) {
    for (const LineFacts& line : survey.lines) {
      if (!scale.is_heading(line)) continue;
      std::vector<SizeKey>& top = scale.headings;
      if (std::find(top.begin(), top.end(), line.max_size) != top.end()) continue;
      top.push_back(line.max_size);
      merge_sort(top, [](SizeKey a, SizeKey b) { return a > b; });
      if (top.size() > 3) top.pop_back();
    }
  }
  return scale;
}

std::vector<std::vector<LineRef>> running_lines(const std::vector<PageSurvey>& surveys) {
  const std::size_t n_pages = surveys.size();
  std::vector<std::vector<LineRef>> dropped(n_pages);
  // Pages a line must recur on: 60% of them, and 3 at least.
  const std::size_t needed = std::max<std::size_t>(3, (3 * n_pages + 4) / 5);
  if (n_pages < needed) return dropped;

  struct Candidate {
    const BandLine* line;
    std::size_t page;
  };
  std::vector<Candidate> candidates;
  for (std::size_t p = 0; p < n_pages; ++p) {
    for (const BandLine& line : surveys[p].band) candidates.push_back({&line, p});
  }
  // Grouped by band and text, in page order within a group.
  merge_sort(candidates, [](const Candidate& a, const Candidate& b) {
    if (a.line->top != b.line->top) return a.line->top;
    const int order = a.line->key.compare(b.line->key);
    return order != 0 ? order < 0 : a.page < b.page;
  });
  std::size_t start = 0;
  while (start < candidates.size()) {
    std::size_t end = start + 1;
    while (end < candidates.size() && candidates[end].line->top == candidates[start].line->top &&
           candidates[end].line->key == candidates[start].line->key) {
      ++end;
    }
    if (end - start >= needed) {
      for (std::size_t i = start; i < end; ++i) {
        // Pages with a line of this text in this place; a page has at most
        // one candidate per text and band, and they come in page order.
        std::size_t pages = 0;
        for (std::size_t k = start; k < end && pages < needed; ++k) {
          pages += same_place(candidates[i].line->box, candidates[k].line->box) ? 1 : 0;
        }
        if (pages >= needed) dropped[candidates[i].page].push_back(candidates[i].line->ref);
      }
    }
    start = end;
  }
  for (std::vector<LineRef>& refs : dropped) {
    merge_sort(refs, [](const LineRef& a, const LineRef& b) { return a < b; });
  }
  return dropped;
}

}  // namespace textloom::markdown
