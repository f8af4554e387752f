// Text output from laid-out blocks: block text with de-hyphenation, the
// rotated-view transform and word splitting. Reads only the layout records;
// reading order is settled before these run, and they keep it.

#include "output.hpp"

#include <algorithm>
#include <cstddef>

#include "unicode.hpp"
#include "utf8.hpp"

namespace textloom {

namespace {

// A letter that a line-end hyphen may follow in a split word.
bool is_hyphen_letter(std::uint32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z');
  return cp >= 0xAA && is_alphabetic(cp);
}

void append_chars(std::string& out, const std::vector<Char>& chars, std::size_t begin,
                  std::size_t end) {
  std::size_t bytes = 0;
  for (std::size_t i = begin; i < end; ++i) bytes += utf8_size(chars[i].ch);
  out.reserve(out.size() + bytes);
  for (std::size_t i = begin; i < end; ++i) append_utf8(out, chars[i].ch);
}

}  // namespace

bool is_word_separator(std::uint32_t cp) {
  if (cp <= 0x20) return cp == 0x20 || cp == 0x09 || cp == 0x0A || cp == 0x0D;
  if (cp < 0xA0) return false;
  return cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x202F || cp == 0x205F ||
         cp == 0x3000;
}

std::string block_text(const std::vector<Line>& lines, bool dehyphenate) {
  std::size_t bytes = lines.size();
  for (const Line& line : lines) {
    for (const Char& c : line.chars) bytes += utf8_size(c.ch);
  }
  std::string out;
  out.reserve(bytes);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t start = out.size();
    for (const Char& c : lines[i].chars) append_utf8(out, c.ch);
    // Only a line with a successor in this block is joined: the last line
    // keeps its hyphen and line feed, so the word is not glued to the first
    // word of whatever block comes next.
    if (dehyphenate && i + 1 < lines.size() &&
        ends_hyphenated(std::string_view(out).substr(start))) {
      out.pop_back();
    } else {
      out.push_back('\n');
    }
  }
  return out;
}

bool ends_hyphenated(std::string_view text) {
  const std::size_t n = text.size();
  if (n < 2 || text[n - 1] != '-') return false;
  // Step back to the lead byte of the character before the hyphen (at most
  // three continuation bytes), then decode it forwards; it must end exactly
  // at the hyphen.
  const std::size_t end = n - 1;
  std::size_t start = end - 1;
  while (start > 0 && end - start < 4 &&
         (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
    --start;
  }
  std::size_t len = 0;
  const std::uint32_t cp = decode_utf8(text.substr(start, end - start), len);
  return len == end - start && is_hyphen_letter(cp);
}

Rect Xf::rc(const Rect& r) const {
  if (!active()) return r;
  double ax = r.x0, ay = r.y0, bx = r.x1, by = r.y1;
  point(ax, ay);
  point(bx, by);
  return {min_num(ax, bx), min_num(ay, by), max_num(ax, bx), max_num(ay, by)};
}

void Xf::point(double& x, double& y) const {
  if (!active()) return;
  const double px = x, py = y;
  if (rotation == 90) {
    x = height - py, y = px;
  } else if (rotation == 180) {
    x = width - px, y = height - py;
  } else {
    x = py, y = width - px;
  }
}

void Xf::vector(double& dx, double& dy) const {
  if (!active()) return;
  const double vx = dx, vy = dy;
  if (rotation == 90) {
    dx = -vy, dy = vx;
  } else if (rotation == 180) {
    dx = -vx, dy = -vy;
  } else {
    dx = vy, dy = -vx;
  }
}

std::vector<Word> words(const std::vector<Block>& blocks, const Xf& xf, bool dehyphenate,
                        std::string_view delimiters) {
  const std::u32string extra = code_points(delimiters);
  const auto separates = [&extra](std::uint32_t cp) {
    return is_word_separator(cp) ||
           (!extra.empty() && std::find(extra.begin(), extra.end(), cp) != extra.end());
  };

  // A line of n chars holds at most (n + 1) / 2 words: reserving that bound
  // costs one pass over the lines instead of a second pass over the chars.
  std::size_t bound = 0;
  for (const Block& block : blocks) {
    for (const Line& line : block.lines) bound += (line.chars.size() + 1) / 2;
  }
  std::vector<Word> out;
  out.reserve(bound);

  for (const Block& block : blocks) {
    const std::uint64_t block_no = block.number;
    for (std::size_t li = 0; li < block.lines.size(); ++li) {
      const std::vector<Char>& chars = block.lines[li].chars;
      const std::uint64_t line_no = li;
      std::uint64_t word_no = 0;
      std::size_t i = 0;
      while (i < chars.size()) {
        if (separates(chars[i].ch)) {
          ++i;
          continue;
        }
        std::size_t end = i + 1;
        while (end < chars.size() && !separates(chars[end].ch)) ++end;

        // Joining as the words are made equals a second pass over the list:
        // the previous word is the last one kept, and a joined word keeps its
        // first line's number, so it never joins a third line.
        if (dehyphenate && word_no == 0 && !out.empty()) {
          Word& prev = out.back();
          if (prev.block_no == block_no && prev.line_no + 1 == line_no &&
              ends_hyphenated(prev.text)) {
            prev.text.pop_back();
            append_chars(prev.text, chars, i, end);
            ++word_no;
            i = end;
            continue;
          }
        }

        Rect box = chars[i].bbox;
        for (std::size_t k = i + 1; k < end; ++k) box = rect_union(box, chars[k].bbox);
        box = xf.rc(box);
        Word& w = out.emplace_back(Word{{}, box.x0, box.y0, box.x1, box.y1, block_no, line_no, word_no});
        append_chars(w.text, chars, i, end);
        ++word_no;
        i = end;
      }
    }
  }
  return out;
}

}  // namespace textloom
