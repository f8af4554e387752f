// Text output from laid-out blocks: block text with optional de-hyphenation,
// the rotated-view transform for boxes, and word splitting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout.hpp"
#include "num.hpp"

namespace textloom {

// The plain text of a block: each line's chars followed by '\n'. With
// `dehyphenate`, a line ending in letter + '-' that is followed by another line
// of the block loses the hyphen and the line feed.
std::string block_text(const std::vector<Line>& lines, bool dehyphenate);

// True when `text` (UTF-8) ends in U+002D preceded by an alphabetic character.
bool ends_hyphenated(std::string_view text);

// Xf, the view transform: maps page-space boxes, points and directions into
// the view of the page turned by its rotation, when the caller asks for
// rotated output (`rotated`); otherwise it leaves them as they are.
struct Xf {
  double width;            // page width, page space
  double height;           // page height, page space
  std::uint32_t rotation;  // 0, 90, 180 or 270
  bool rotated;            // the caller asked for the rotated view

  bool active() const { return rotated && rotation != 0; }
  // The view turns a quarter (90 or 270): width and height trade places.
  bool swaps_axes() const { return rotated && (rotation == 90 || rotation == 270); }
  // rc, the rectangle operation: both corners mapped, then normalised with
  // min_num/max_num; unchanged (even unnormalised) when not active.
  Rect rc(const Rect& r) const;
  // A point (x, y) mapped; unchanged when not active.
  void point(double& x, double& y) const;
  // A direction vector mapped; unchanged when not active.
  void vector(double& dx, double& dy) const;
};

// The fixed word separators: ASCII white space but VT and FF, and the Unicode
// spaces that never join words.
bool is_word_separator(std::uint32_t cp);

// One word of a page.
struct Word {
  std::string text;        // its chars in line order, UTF-8
  double x0;               // left of the union of its chars' boxes, mapped by the Xf
  double y0;               // top, likewise
  double x1;               // right, likewise
  double y1;               // bottom, likewise
  std::uint64_t block_no;  // number of its block
  std::uint64_t line_no;   // index of its line within the block, counting every line
  std::uint64_t word_no;   // index of the word within its line, counting words only
};

// Splits the lines of `blocks` into words at the fixed separators and any
// character of `delimiters` (UTF-8); with `dehyphenate`, joins a word ending
// in letter + '-' with the first word of the next line of the same block.
std::vector<Word> words(const std::vector<Block>& blocks, const Xf& xf, bool dehyphenate,
                        std::string_view delimiters);

}  // namespace textloom
