// List items for Markdown: the marker that opens a line as an item (a bullet
// of layout's marker set, a number, a letter or a small roman numeral, each
// followed by a separator or the line's end) and the nesting of consecutive
// items by the indentation of their text.

#include <cmath>
#include <string>
#include <string_view>

#include "markdown_internal.hpp"
#include "output.hpp"

namespace textloom::markdown {

namespace {

// Longest item number read as one: longer runs are years and amounts.
constexpr std::size_t kMaxNumberDigits = 3;
// Deepest nesting written; deeper items stay at this level.
constexpr std::size_t kMaxLevels = 10;

bool is_digit(std::uint32_t cp) { return cp >= '0' && cp <= '9'; }
bool is_lower(std::uint32_t cp) { return cp >= 'a' && cp <= 'z'; }
bool is_upper(std::uint32_t cp) { return cp >= 'A' && cp <= 'Z'; }

// A roman numeral from i to xxxix as items count (all small or all capital
// letters): "civil" and "mix" are words.
bool is_roman(const Line& line, std::size_t begin, std::size_t end) {
  static constexpr std::string_view kUnits[] = {"", "i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix"};
  static constexpr std::string_view kTens[] = {"", "x", "xx", "xxx"};
  std::string lowered;
  const bool upper = is_upper(line.chars[begin].ch);
  for (std::size_t i = begin; i < end; ++i) {
    const std::uint32_t ch = line.chars[i].ch;
    if (is_upper(ch) != upper) return false;
    lowered.push_back(static_cast<char>(upper ? ch - 'A' + 'a' : ch));
  }
  for (std::string_view tens : kTens) {
    for (std::string_view units : kUnits) {
      if (lowered.size() == tens.size() + units.size() && lowered.starts_with(tens) &&
          lowered.ends_with(units) && !(tens.empty() && units.empty())) {
        return true;
      }
    }
  }
  return false;
}

// Whether the char at `i` ends a marker: a separator follows, or nothing.
bool ends_marker(const Line& line, std::size_t i) {
  return i >= line.chars.size() || is_word_separator(line.chars[i].ch);
}

}  // namespace

ListMarker list_marker(const Line& line) {
  ListMarker marker;
  const std::size_t n = line.chars.size();
  const std::size_t first = next_text(line, 0);
  if (first == n) return marker;
  const std::uint32_t ch = line.chars[first].ch;
  auto found = [&](ListMarker::Kind kind, std::size_t end) {
    marker.kind = kind;
    marker.label_begin = first;
    marker.label_end = end;
    marker.content = next_text(line, end);
    return marker;
  };
  if (is_list_marker(ch)) {
    return ends_marker(line, first + 1) ? found(ListMarker::Kind::bullet, first + 1) : marker;
  }
  std::size_t end = first;
  if (is_digit(ch)) {
    while (end < n && end - first <= kMaxNumberDigits && is_digit(line.chars[end].ch)) ++end;
    if (end - first > kMaxNumberDigits || end == n) return marker;
    const std::uint32_t delimiter = line.chars[end].ch;
    if ((delimiter == '.' || delimiter == ')') && ends_marker(line, end + 1)) {
      return found(ListMarker::Kind::number, end + 1);
    }
    return marker;
  }
  while (end < n && end - first < 5 && (is_lower(line.chars[end].ch) || is_upper(line.chars[end].ch))) {
    ++end;
  }
  if (end == first || end == n || (end - first > 1 && !is_roman(line, first, end))) return marker;
  const std::uint32_t delimiter = line.chars[end].ch;
  // A capital and a full stop is an initial ("J. Smith") far more often than
  // an item; capitals count with a parenthesis only.
  const bool upper = is_upper(ch);
  if ((delimiter == ')' || (delimiter == '.' && !upper)) && ends_marker(line, end + 1)) {
    return found(ListMarker::Kind::letter, end + 1);
  }
  return marker;
}

ListNesting::Placement ListNesting::place(double along, double tolerance, std::size_t width,
                                          char kind) {
  // A position that is no number takes the innermost open level.
  if (!std::isfinite(along)) along = levels_.empty() ? 0 : levels_.back().along;
  while (!levels_.empty() && along < levels_.back().along - tolerance) levels_.pop_back();
  const bool same = !levels_.empty() && !(along > levels_.back().along + tolerance);
  bool new_list = false;
  if (same) {
    new_list = levels_.back().kind != kind;
    levels_.back().width = width;
    levels_.back().kind = kind;
  } else if (levels_.size() < kMaxLevels) {
    levels_.push_back({along, width, kind});
  } else {
    new_list = levels_.back().kind != kind;
    levels_.back() = {along, width, kind};
  }
  std::size_t indent = 0;
  for (std::size_t i = 0; i + 1 < levels_.size(); ++i) indent += levels_[i].width;
  return {indent, new_list};
}

}  // namespace textloom::markdown
