// A page's text as search and provenance see it: the chars of the laid-out
// blocks in reading order, each line ended by a line feed (the text of
// get_text("text")), and for any range of it the boxes it covers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "layout.hpp"
#include "output.hpp"

namespace textloom {

// The part of a range of the text on one line: the union of its chars' boxes.
struct MapFragment {
  Rect bbox;               // mapped by the map's Xf
  std::size_t block = 0;   // the block's number
  std::size_t line = 0;    // the line's index in its block
};

// Keeps the blocks, whose chars hold the boxes: a range reads the few it
// covers, so no box is copied or mapped until asked for.
class TextMap {
 public:
  TextMap(std::vector<Block> blocks, const Xf& xf);

  // Code points of the text: every char and one line feed per line.
  std::size_t size() const { return text_.size(); }
  // The text's code points.
  const std::u32string& code_points() const { return text_; }
  // The boxes of the chars from `start` to `end`, one fragment per line they
  // stand on, in text order; line feeds and chars whose box is NaN have none.
  std::vector<MapFragment> fragments(std::size_t start, std::size_t end) const;

 private:
  struct LineStart {
    std::size_t at;     // code point index of the line's first char
    std::size_t block;  // index into blocks_
    std::size_t line;   // index into that block's lines
  };
  // The line holding code point `at` (< size()).
  std::size_t line_of(std::size_t at) const;

  std::vector<Block> blocks_;
  Xf xf_;
  std::u32string text_;
  std::vector<LineStart> lines_;
};

}  // namespace textloom
