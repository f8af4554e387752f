// What the Markdown writer reads off one line: where its text starts, whether
// it ends hyphenated, and the sizes and styles of its spans with text; and
// the type scale that ranks those sizes.

#include <algorithm>
#include <cmath>
#include <string>

#include "markdown_internal.hpp"
#include "output.hpp"
#include "utf8.hpp"

namespace textloom::markdown {

std::size_t next_text(const Line& line, std::size_t from) {
  const std::size_t n = line.chars.size();
  while (from < n && !is_text(line.chars[from].ch)) ++from;
  return from < n ? from : n;
}

bool line_ends_hyphenated(const Line& line) {
  const std::size_t n = line.chars.size();
  if (n < 2) return false;
  std::string tail;
  append_utf8(tail, line.chars[n - 2].ch);
  append_utf8(tail, line.chars[n - 1].ch);
  return ends_hyphenated(tail);
}

std::uint64_t text_chars(const Line& line, const Span& span) {
  std::uint64_t chars = 0;
  for (std::size_t i = span.char_start_idx; i < span.char_end_idx; ++i) {
    chars += is_text(line.chars[i].ch) ? 1 : 0;
  }
  return chars;
}

std::size_t longest_backtick_run(std::string_view text) {
  std::size_t longest = 0, run = 0;
  for (const char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

SizeKey size_key(double size) {
  const double tenths = std::fabs(size) * 10.0;
  // Sizes past any real font (and NaN) carry no rank.
  if (!(tenths < 1e9)) return kNoSize;
  return static_cast<SizeKey>(std::llround(tenths));
}

LineFacts line_facts(const Line& line, const std::vector<Span>& spans,
                     const std::vector<FontInfo>& fonts) {
  LineFacts facts;
  for (const Span& span : spans) {
    const std::uint64_t chars = text_chars(line, span);
    if (chars == 0) continue;
    facts.chars += chars;
    const SizeKey key = size_key(span.size);
    if (key != kNoSize) {
      facts.min_size = facts.min_size == kNoSize ? key : std::min(facts.min_size, key);
      facts.max_size = std::max(facts.max_size, key);
    }
    const std::uint32_t style = fonts[span.font].style;
    facts.all_bold = facts.all_bold && (style & kStyleBold) != 0;
    facts.all_mono = facts.all_mono && (style & kStyleMono) != 0;
  }
  if (facts.chars == 0) facts.all_bold = facts.all_mono = false;
  return facts;
}

bool TypeScale::is_heading(const LineFacts& line) const {
  // Integer keys in tenths of a point: min >= 1.15 * body, exactly.
  return body != kNoSize && line.min_size != kNoSize && line.min_size * 100 >= body * 115;
}

bool TypeScale::at_body(const LineFacts& line) const {
  return body != kNoSize && line.min_size != kNoSize && (body - line.min_size) * 20 <= body &&
         (line.max_size - body) * 20 <= body;
}

int TypeScale::level(SizeKey size) const {
  int larger = 0;
  for (SizeKey heading : headings) larger += heading > size ? 1 : 0;
  return larger < 3 ? larger + 1 : 4;
}

}  // namespace textloom::markdown
