// The runs a filled field or a free-text annotation shows: line breaking (the
// wrapping rules of Python's textwrap, which the package has always followed),
// sizes and the checked mark.

#include "shown_text.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

#include "unicode.hpp"
#include "utf8.hpp"

namespace textloom {

namespace {

// The most characters a wrapped line is counted to hold: past it a box is
// damage, and the count must stay an integer.
constexpr double kMostPerLine = 1 << 20;

// Python's str.isspace: the separators and the white space of Unicode.
bool is_white(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0x85 || c == 0xA0 ||
         c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

// Python's str.splitlines boundaries (CR LF counts once).
bool is_line_break(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || (c >= 0x1C && c <= 0x1E) || c == 0x85 || c == 0x2028 ||
         c == 0x2029;
}

std::vector<std::u32string> split_lines(std::u32string_view text) {
  std::vector<std::u32string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!is_line_break(text[i])) continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::u32string joined(const std::vector<std::u32string>& parts) {
  std::u32string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += U' ';
    out += parts[i];
  }
  return out;
}

// The words of `text` one space apart (Python's " ".join(text.split())).
std::u32string collapsed(std::u32string_view text) {
  std::vector<std::u32string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_white(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !is_white(text[i])) ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return joined(words);
}

// textwrap's letter, [^\d\W]: a word character that is not a digit.
bool is_letter(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  return is_alphabetic(c);
}

bool is_chunk_space(char32_t c) { return c == ' '; }

// textwrap's chunks: runs of spaces, and words cut after a hyphen that joins
// two letters to two more (its hyphenated-word rule).
std::vector<std::u32string> chunks_of(const std::u32string& text) {
  std::vector<std::u32string> chunks;
  const std::size_t n = text.size();
  auto letter = [&](std::size_t i) { return i < n && is_letter(text[i]); };
  auto hyphen = [&](std::size_t i) { return i < n && text[i] == '-'; };
  std::size_t i = 0;
  while (i < n) {
    const std::size_t start = i;
    if (is_chunk_space(text[i])) {
      while (i < n && is_chunk_space(text[i])) ++i;
    } else {
      while (i < n && !is_chunk_space(text[i])) {
        const bool cut = text[i] == '-' && i > start &&
                         ((i >= 2 && letter(i - 2) && letter(i - 1)) ||
                          (i >= 3 && letter(i - 3) && hyphen(i - 2) && letter(i - 1))) &&
                         letter(i + 1) && (letter(i + 2) || (hyphen(i + 2) && letter(i + 3)));
        ++i;
        if (cut) break;
      }
    }
    chunks.emplace_back(text.substr(start, i - start));
  }
  return chunks;
}

// textwrap.wrap(paragraph, width): greedy lines of chunks, spaces dropped at
// line ends (and at the start of every line but the first), a chunk longer
// than a line cut to fit, after its last hyphen where one fits.
std::vector<std::u32string> wrap(std::u32string_view paragraph, std::size_t width) {
  std::u32string text;  // tabs expanded to columns of 8, as textwrap does first
  for (char32_t c : paragraph) {
    if (c == '\t') {
      text.append(8 - text.size() % 8, U' ');
    } else {
      text += c;
    }
  }
  std::vector<std::u32string> chunks = chunks_of(text);
  std::vector<std::u32string> lines;
  std::size_t next = 0;
  auto blank = [](const std::u32string& chunk) {
    for (char32_t c : chunk) {
      if (!is_white(c)) return false;
    }
    return true;
  };
  while (next < chunks.size()) {
    std::vector<std::u32string> line;
    std::size_t length = 0;
    if (!lines.empty() && blank(chunks[next])) ++next;
    while (next < chunks.size() && length + chunks[next].size() <= width) {
      length += chunks[next].size();
      line.push_back(std::move(chunks[next++]));
    }
    if (next < chunks.size() && chunks[next].size() > width) {
      std::u32string& chunk = chunks[next];
      const std::size_t room = width - length;  // at least 1: the chunk did not fit
      std::size_t end = room;
      const std::size_t dash = chunk.rfind(U'-', room - 1);
      if (dash != std::u32string::npos && dash > 0 &&
          chunk.find_first_not_of(U'-') < dash) {
        end = dash + 1;
      }
      line.push_back(chunk.substr(0, end));
      chunk.erase(0, end);
    }
    if (!line.empty() && blank(line.back())) line.pop_back();
    if (!line.empty()) {
      std::u32string whole;
      for (const std::u32string& part : line) whole += part;
      lines.push_back(std::move(whole));
    }
  }
  return lines;
}

}  // namespace

double field_size(double named, double height) {
  if (named > 0) return named;
  return max_num(1.0, min_num(kShownAutoSize, (height - 2 * kShownPadding) / kShownDepth));
}

double appearance_size(std::u32string_view da) {
  // The operand before the first Tf operator, tokens split at PDF's white space.
  auto white = [](char32_t c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; };
  std::u32string_view previous;
  for (std::size_t i = 0; i < da.size();) {
    while (i < da.size() && white(da[i])) ++i;
    const std::size_t start = i;
    while (i < da.size() && !white(da[i])) ++i;
    const std::u32string_view token = da.substr(start, i - start);
    if (token == U"Tf") {
      std::string number;
      for (char32_t c : previous) number += c < 0x80 ? static_cast<char>(c) : '?';
      const char* first = number.data() + (number.starts_with('+') ? 1 : 0);
      double size = 0;
      const auto [end, error] = std::from_chars(first, number.data() + number.size(), size);
      const bool whole = error == std::errc{} && end == number.data() + number.size();
      return whole && size > 0 && std::isfinite(size) ? size : 0.0;
    }
    previous = token;
  }
  return 0.0;
}

std::vector<PlacedRun> shown_lines(std::u32string_view text, const Rect& box, double size,
                                   bool multiline, bool upright) {
  if (!upright) return {PlacedRun{utf8_of(collapsed(text)), box.x0, box.y0, box.x1, box.y1}};
  std::vector<std::u32string> lines;
  if (multiline) {
    const double fits = (box.x1 - box.x0 - 2 * kShownPadding) / (kShownAdvance * size);
    const auto width = static_cast<std::size_t>(fits >= 1 ? min_num(fits, kMostPerLine) : 1.0);
    for (const std::u32string& paragraph : split_lines(text)) {
      std::vector<std::u32string> wrapped = wrap(paragraph, width);
      if (wrapped.empty()) wrapped.emplace_back();
      for (std::u32string& line : wrapped) lines.push_back(std::move(line));
    }
  } else {
    lines.push_back(joined(split_lines(text)));
  }
  const double height = size * kShownDepth;
  const double top = multiline ? box.y0 + kShownPadding : (box.y0 + box.y1 - height) / 2;
  std::vector<PlacedRun> runs;
  for (std::size_t number = 0; number < lines.size(); ++number) {
    std::u32string_view line = lines[number];
    while (!line.empty() && is_white(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;
    const double start = box.x0 + kShownPadding;
    const double end =
        min_num(box.x1 - kShownPadding,
                start + kShownAdvance * size * static_cast<double>(line.size()));
    const double line_top = top + static_cast<double>(number) * kShownLineHeight * size;
    runs.push_back(PlacedRun{utf8_of(line), start, line_top, max_num(end, start + 1.0),
                             line_top + height});
  }
  return runs;
}

PlacedRun checked_mark(const Rect& box, double size) {
  const double side = min_num(min_num(box.x1 - box.x0, box.y1 - box.y0), size * kShownDepth);
  const double x = (box.x0 + box.x1 - side) / 2, y = (box.y0 + box.y1 - side) / 2;
  return PlacedRun{utf8_of(std::u32string(1, kShownChecked)), x, y, x + side, y + side};
}

}  // namespace textloom
