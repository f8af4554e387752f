// Fenced code blocks. A PDF seldom keeps the spaces of a listing: leading
// spaces come out as a line of their own or not at all, and a run of spaces
// inside a line is a gap too wide for layout's one space, which opens a new
// line on the same baseline. So the writer rebuilds every row from geometry:
// lines on one baseline form a row, the row is indented by its offset from
// the listing's leftmost text, and every gap inside it becomes as many spaces
// as chars of the font would fill it.

#include <algorithm>
#include <cmath>
#include <string>

#include "markdown_internal.hpp"
#include "output.hpp"
#include "utf8.hpp"

namespace textloom::markdown {

namespace {

// Spaces written for one gap at most, and blank lines between rows.
constexpr long kMaxSpaces = 200;
constexpr long kMaxBlankLines = 2;
// Baselines closer than this share a row, in sizes.
constexpr double kSameRow = 0.3;

// Width of a char along the line's direction.
double width_of(const Char& c, double dx, double dy) {
  return std::fabs(dx) >= std::fabs(dy) ? c.bbox.x1 - c.bbox.x0 : c.bbox.y1 - c.bbox.y0;
}

// Whole widths of `width` in `distance`, 0 when either is no positive number.
long widths_in(double distance, double width) {
  const double count = distance / width;
  if (!(width > 0) || !(count > 0)) return 0;
  return count >= kMaxSpaces ? kMaxSpaces : std::lround(count);
}

struct Row {
  std::size_t first_line;  // lines [first_line, end_line) of the listing
  std::size_t end_line;
  double along;            // where its first char with text starts
  double across;           // its baseline
};

}  // namespace

void write_code(std::string& out, const std::vector<const Line*>& lines) {
  if (lines.empty()) return;
  double dx = lines.front()->dir_x, dy = lines.front()->dir_y;
  if (!std::isfinite(dx) || !std::isfinite(dy)) dx = 1, dy = 0;

  // Rows, the char width (mean advance) and the leftmost text.
  std::vector<Row> rows;
  double widths = 0;
  std::size_t counted = 0;
  double left = std::nan("");
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const Line& line = *lines[l];
    const std::size_t first = next_text(line, 0);
    if (first == line.chars.size()) continue;
    for (const Char& c : line.chars) {
      if (!is_text(c.ch)) continue;
      widths += width_of(c, dx, dy);
      ++counted;
    }
    const Char& head = line.chars[first];
    const double base = across(head, dx, dy);
    const double start = along(head, dx, dy);
    // Lines of separators between the parts of a row only stand in the range.
    if (!rows.empty() && std::fabs(base - rows.back().across) < kSameRow * std::fabs(head.size)) {
      rows.back().end_line = l + 1;
      rows.back().along = min_num(rows.back().along, start);
    } else {
      rows.push_back({l, l + 1, start, base});
    }
    left = min_num(left, start);
  }
  if (rows.empty()) return;
  double width = counted != 0 ? widths / static_cast<double>(counted) : 0;
  if (!(width > 0) || !std::isfinite(width)) {
    const Line& line = *lines[rows.front().first_line];
    width = 0.6 * std::fabs(line.chars[next_text(line, 0)].size);
  }

  // Line pitch: the closest pair of rows.
  double pitch = std::nan("");
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const double gap = rows[r].across - rows[r - 1].across;
    if (gap > 0) pitch = min_num(pitch, gap);
  }

  std::string code;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const Row& row = rows[r];
    if (r != 0) {
      const long blank = widths_in(row.across - rows[r - 1].across, pitch) - 1;
      code.append(static_cast<std::size_t>(std::clamp(blank, 0L, kMaxBlankLines)), '\n');
    }
    code.append(static_cast<std::size_t>(widths_in(row.along - left, width)), ' ');
    const Char* prev = nullptr;
    bool separated = false;  // a separator char stands between prev and the next text
    for (std::size_t l = row.first_line; l < row.end_line; ++l) {
      for (const Char& c : lines[l]->chars) {
        if (is_word_separator(c.ch)) {
          separated = prev != nullptr;
          continue;
        }
        if (is_control(c.ch)) continue;
        if (prev != nullptr) {
          const double gap = along(c, dx, dy) - (along(*prev, dx, dy) + width_of(*prev, dx, dy));
          const long spaces = std::max(widths_in(gap, width), separated ? 1L : 0L);
          code.append(static_cast<std::size_t>(spaces), ' ');
        }
        append_utf8(code, c.ch);
        prev = &c;
        separated = false;
      }
      separated = prev != nullptr;  // the next line of the row stood apart
    }
    code += '\n';
  }

  const std::string fence(std::max<std::size_t>(3, longest_backtick_run(code) + 1), '`');
  out += fence;
  out += '\n';
  out += code;
  out += fence;
}

}  // namespace textloom::markdown
