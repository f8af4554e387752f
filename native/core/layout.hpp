// Layout records and the layout entry point: a page's glyphs become blocks of
// lines of chars, rebuilt on every request (nothing is cached). Spans are cut
// from a line on demand by make_spans. Coordinates are page space (points,
// y down); thresholds are in em (the glyph's font size) unless stated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "glyphs.hpp"
#include "num.hpp"

namespace textloom {

inline constexpr std::uint32_t kSyntheticIdx = 0xFFFFFFFF;

// One character placed for layout.
struct Char {
  Rect bbox;            // page space
  double origin_x;      // pen position on the baseline where the char starts
  double origin_y;
  double size;          // font size
  std::uint32_t font;   // index into PageGlyphs::fonts
  std::uint32_t color;  // 0xRRGGBB
  std::uint32_t idx;    // PDFium text-page index; kSyntheticIdx for an inserted space
  std::uint32_t ch;     // Unicode scalar (mirrored for some brackets in RTL runs)
  bool rtl;             // code point >= U+0590 with bidi class R or AL
  bool synthetic;       // a space that layout inserted
};

// One line of text.
struct Line {
  std::vector<Char> chars;  // reading order
  double dir_x = 1;         // writing direction (unit vector) of the glyph that opened the line
  double dir_y = 0;
  Rect bbox{};              // union of the chars' boxes (set at the end of layout)
  std::uint32_t wmode = 0;  // 1 for a vertical line joined from stacked CJK chars
  bool rtl_visual = false;  // RTL chars met in left-to-right progression: needs reordering
};

// One block of text.
struct Block {
  std::vector<Line> lines;
  Rect bbox{};              // union of the lines' boxes
  std::size_t number = 0;   // position in the list layout_page returns
};

// A run of one line's chars sharing font name, flags, colour and size.
struct Span {
  Rect bbox;                    // union of the span's char boxes
  std::size_t char_start_idx;   // first char in Line::chars
  std::size_t char_end_idx;     // one past the last char
  double size;                  // of the first char
  std::uint32_t font;           // of the first char
  std::uint32_t flags;          // font style bits, | kStyleSuperscript for a raised span
  std::uint32_t color;          // of the first char
};

// Layout thresholds; every caller passes the defaults.
struct LayoutParams {
  double space_tol = 0.14;        // em: gap below which two glyphs touch
  double space_max = 0.85;        // em: gap up to which a space is inserted
  double baseline_tol = 0.85;     // em: offset across the line below which a glyph stays on it
  double line_gap_max = 1.5;      // em: offset across above which a new block starts
  double dup_tol = 0.1;           // em: origin distance below which a repeated char is dropped
  double space_before_min = -0.46;  // em: lower gap bound for glyphs flagged space_before
  double indent_max = 4.1;        // points: indent beyond which a new line opens a block
  double script_offset = 0.21;    // em: rise above a line's first baseline that marks a superscript
  double xycut_gap_first = 12.5;  // points: narrowest empty vertical strip between columns
  double xycut_gap_second = 2.0;  // points: lowest empty horizontal strip between rows
};

enum class SortMode : std::uint8_t { none = 0, simple = 1, xycut = 2, reading = 3 };

// Lays out the page's glyphs into blocks in the chosen reading order, keeping
// only glyphs whose box meets `clip` (page space). Never fails; numbers the
// returned blocks 0..n-1 in list order.
std::vector<Block> layout_page(const PageGlyphs& page, SortMode sort,
                               const std::optional<Rect>& clip, const LayoutParams& params);

// Cuts one line's chars into spans, in order, covering every char once,
// marking as superscript the chars raised by more than params.script_offset.
// `fonts` must hold every font index the line's chars use.
std::vector<Span> make_spans(const Line& line, const std::vector<FontInfo>& fonts,
                             const LayoutParams& params);

// Bullets and dashes that may open an indented list item without starting a
// new block (the glyph pass), and that Markdown reads as a list item's marker.
bool is_list_marker(std::uint32_t cp);

// Puts the chars of a right-to-left line drawn in visual order into logical
// order (a reduced UAX #9: levels, bracket mirroring, rule L2).
void visual_to_logical(Line& line);

}  // namespace textloom
