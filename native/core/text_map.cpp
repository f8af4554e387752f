#include "text_map.hpp"

#include <algorithm>

#include "num.hpp"

namespace textloom {

TextMap::TextMap(std::vector<Block> blocks, const Xf& xf) : blocks_(std::move(blocks)), xf_(xf) {
  std::size_t n = 0;
  std::size_t lines = 0;
  for (const Block& block : blocks_) {
    lines += block.lines.size();
    for (const Line& line : block.lines) n += line.chars.size() + 1;
  }
  text_.resize(n);
  lines_.reserve(lines);
  std::size_t i = 0;
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    for (std::size_t l = 0; l < blocks_[b].lines.size(); ++l) {
      lines_.push_back({i, b, l});
      for (const Char& c : blocks_[b].lines[l].chars) text_[i++] = c.ch;
      text_[i++] = U'\n';
    }
  }
}

std::size_t TextMap::line_of(std::size_t at) const {
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), at,
                                      [](std::size_t i, const LineStart& s) { return i < s.at; });
  return static_cast<std::size_t>(after - lines_.begin()) - 1;
}

std::vector<MapFragment> TextMap::fragments(std::size_t start, std::size_t end) const {
  std::vector<MapFragment> out;
  end = std::min(end, text_.size());
  if (start >= end) return out;
  for (std::size_t k = line_of(start); k < lines_.size() && lines_[k].at < end; ++k) {
    const LineStart& s = lines_[k];
    const std::vector<Char>& chars = blocks_[s.block].lines[s.line].chars;
    bool open = false;
    MapFragment f{{}, blocks_[s.block].number, s.line};
    // The line's chars in the range; its line feed, at chars.size(), has no box.
    for (std::size_t i = start > s.at ? start - s.at : 0; i < std::min(chars.size(), end - s.at); ++i) {
      const Rect box = xf_.rc(chars[i].bbox);
      if (!open) {
        if (box.x0 != box.x0) continue;  // NaN: nothing to place
        f.bbox = box;
        open = true;
        continue;
      }
      f.bbox = rect_union(f.bbox, box);  // a NaN side of the char's keeps the box so far
    }
    if (open) out.push_back(f);
  }
  return out;
}

}  // namespace textloom
