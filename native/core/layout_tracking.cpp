// Letter-spaced runs: a line's glyphs set with tracking (headings in capitals,
// some producers' body text) stand further apart than the space threshold,
// and the glyph pass puts a space between every two letters ("P a c l i t a x
// e l"). Such a run is told by its gaps: wide, and close to one another. Its
// spaces stay only where a gap is clearly wider than the run's own letter gap.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "layout_internal.hpp"
#include "unicode.hpp"

namespace textloom::detail {

namespace {

// Gaps in ems of the run's size. Untracked text sets letters within a few
// hundredths of an em of one another (kerning, rounding); tracking of half a
// point at 6 pt is already 0.08 em, and a reader sees it as spaced.
constexpr double kMinTracking = 0.08;
// The run's gaps are one letter gap when three in four lie this close to
// their median (a third of it, or 0.06 em for tight tracking): word gaps and
// kerning pairs stand out of it, the letter gaps do not.
constexpr double kSpreadShare = 0.34;
constexpr double kSpreadFloor = 0.06;
constexpr double kCloseShare = 0.75;
// A word gap in tracked text is the letter gap and a word space besides: at
// least half a normal word space (a word space is a quarter to a third of
// an em) and half the letter gap again.
constexpr double kWordGap = 0.15;
constexpr double kWordGapShare = 0.5;
// Fewer letters than this are no run to judge: "a b" is two words as often
// as one word spaced out.
constexpr std::size_t kMinLetters = 4;

bool letter(const Char& c) { return !c.synthetic && is_alphabetic(c.ch); }

bool same_face(const Char& a, const Char& b) { return a.font == b.font && a.size == b.size; }

// The run of one face at chars [0, n): its letter gaps are those between
// letters with only synthetic spaces between them (a space the producer
// drew is a word gap of its own); when they tell tracking, the synthetic
// spaces of every gap that is no word gap are marked in `drop`.
void judge(const Char* chars, std::size_t n, TrackingScratch& scratch) {
  std::vector<std::size_t>& pairs = scratch.pairs;
  std::vector<double>& gaps = scratch.gaps;
  pairs.clear();
  gaps.clear();
  std::size_t letters = 0;
  const double em = std::fabs(chars[0].size);
  std::size_t previous = n;  // the last letter, n for none since a drawn space
  for (std::size_t i = 0; i < n; ++i) {
    if (chars[i].synthetic) continue;
    if (!letter(chars[i])) {
      previous = n;
      continue;
    }
    ++letters;
    if (previous != n) {
      pairs.push_back(i);
      gaps.push_back((chars[i].bbox.x0 - chars[previous].bbox.x1) / em);
    }
    previous = i;
  }
  if (letters < kMinLetters || gaps.empty() || !(em > 0)) return;
  std::vector<double>& sorted = scratch.sorted;
  sorted.assign(gaps.begin(), gaps.end());
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                   sorted.end());
  const double median = sorted[sorted.size() / 2];
  if (!(median > kMinTracking)) return;  // NaN too
  const double spread = std::max(kSpreadShare * median, kSpreadFloor);
  std::size_t close = 0;
  for (double gap : gaps) close += std::fabs(gap - median) <= spread;
  if (static_cast<double>(close) < kCloseShare * static_cast<double>(gaps.size())) return;
  const double word_gap = median + std::max(kWordGap, kWordGapShare * median);
  std::vector<unsigned char>& drop = scratch.drop;
  if (!scratch.any_drop) drop.assign(scratch.line_size, 0);
  scratch.any_drop = true;
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    if (gaps[k] > word_gap) continue;  // a word boundary: its space stays
    for (std::size_t i = pairs[k]; i-- > 0 && chars[i].synthetic;) drop[&chars[i] - scratch.base] = 1;
  }
}

}  // namespace

Char* untrack_line(Char* begin, Char* end, const LineFacts& facts, TrackingScratch& scratch) {
  // Horizontal left-to-right lines only: tracking is a typesetter's setting of
  // headings and body text, and a box's x extent is then its advance.
  if (!(facts.dir_x > 0.999) || facts.any_rtl) return end;
  const std::size_t n = static_cast<std::size_t>(end - begin);
  scratch.base = begin;
  scratch.line_size = n;
  scratch.any_drop = false;
  // Runs of one face: a char of another font or size starts the next. A run
  // is judged only where it may be tracked: its median letter gap (the gap at
  // size / 2 in order) is over kMinTracking only when that many of its gaps
  // are, which the tallies kept on the way tell, so most lines are passed
  // over once, without collecting or ordering their gaps.
  std::size_t start = 0;
  const Char* face = nullptr;
  std::size_t letters = 0, gaps = 0, wide = 0;
  const Char* previous = nullptr;  // the run's last letter; none after a drawn space or a non-letter
  double wide_gap = 0;
  auto open_run = [&](std::size_t at) {
    start = at;
    letters = gaps = wide = 0;
    previous = nullptr;
    // A gap is wide when over kMinTracking ems of the run's first char, as
    // judge reckons; multiplied here a hair under, so rounding never leaves
    // out a gap that judge's division finds wide.
    wide_gap = kMinTracking * std::fabs(begin[at].size) * (1 - 1e-9);
  };
  if (n > 0) open_run(0);
  for (std::size_t i = 0; i <= n; ++i) {
    if (i < n && begin[i].synthetic) continue;
    if (i < n && begin[i].ch == ' ') {
      previous = nullptr;
      continue;
    }
    if (i == n || (face != nullptr && !same_face(*face, begin[i]))) {
      if (i > start && letters >= kMinLetters && gaps > 0 && wide >= gaps - gaps / 2) {
        judge(begin + start, i - start, scratch);
      }
      if (i == n) break;
      open_run(i);
    }
    face = &begin[i];
    if (!letter(begin[i])) {
      previous = nullptr;
      continue;
    }
    ++letters;
    if (previous != nullptr) {
      ++gaps;
      wide += begin[i].bbox.x0 - previous->bbox.x1 > wide_gap;
    }
    previous = &begin[i];
  }
  if (!scratch.any_drop) return end;
  const std::vector<unsigned char>& drop = scratch.drop;
  Char* out = begin;
  for (std::size_t i = 0; i < n; ++i) {
    if (!drop[i]) *out++ = begin[i];
  }
  return out;
}

}  // namespace textloom::detail
