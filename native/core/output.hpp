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

// Maps page-space boxes and points into the rotated view of the page.
struct Xf {
  double width;            // page width, page space
  double height;           // page height, page space
  std::uint32_t rotation;  // 0, 90, 180 or 270
  bool rotated;            // the caller asked for the rotated view

  bool active() const { return rotated && rotation != 0; }
  // The view turns a quarter (90 or 270): width and height trade places.
  bool swaps_axes() const { return rotated && (rotation == 90 || rotation == 270); }
  // The rectangle mapped and normalised; unchanged when not active.
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
  std::string text;        // UTF-8
  double x0, y0, x1, y1;   // union of its chars' boxes, mapped by the Xf
  std::uint64_t block_no;  // the block's number
  std::uint64_t line_no;   // index of the line within its block
  std::uint64_t word_no;   // index of the word within its line
};

// Splits the lines of `blocks` into words at the fixed separators and any
// character of `delimiters` (UTF-8); with `dehyphenate`, joins a word ending
// in letter + '-' with the first word of the next line of the same block.
std::vector<Word> words(const std::vector<Block>& blocks, const Xf& xf, bool dehyphenate,
                        std::string_view delimiters);

}  // namespace textloom
