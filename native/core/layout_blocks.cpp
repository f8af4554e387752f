// Block building and layout_page: after the glyph pass, join CJK characters
// stacked one below the other into vertical lines and neighbouring columns
// into blocks read right to left; drop empty lines and blocks; put
// right-to-left lines into logical order; measure lines and blocks; then apply
// the caller's reading order (order.cpp) and number the blocks. On a page
// where no line opens with CJK nothing is joined, and the glyph pass hands
// over its blocks already finished (layout_internal.hpp).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "layout.hpp"
#include "layout_internal.hpp"
#include "num.hpp"
#include "order.hpp"
#include "sort.hpp"

namespace textloom {

namespace {

using detail::is_cjk;

// A char that stands for ink: neither inserted by layout nor a space.
bool is_real(const Char& c) { return !c.synthetic && c.ch != 0x20; }

// The size two chars are compared in: the larger magnitude, at least 1.
double pair_scale(const Char& a, const Char& b) {
  return max_num(max_num(std::fabs(a.size), std::fabs(b.size)), 1.0);
}

bool has_cjk_line_start(const detail::StagedPage& page) {
  for (const detail::StagedLine& line : page.lines) {
    if (line.begin != line.end && is_cjk(page.chars[line.begin].ch)) return true;
  }
  return false;
}

// The real chars of chars[begin, end): how many, and where the first and last are.
struct RealChars {
  std::size_t count = 0;
  std::size_t first = 0;
  std::size_t last = 0;
};

RealChars real_chars(const Char* chars, std::size_t begin, std::size_t end) {
  RealChars r;
  for (std::size_t i = begin; i < end; ++i) {
    if (!is_real(chars[i])) continue;
    if (r.count == 0) r.first = i;
    r.last = i;
    ++r.count;
  }
  return r;
}

// `below` stands under `above` as the next character of a vertical column.
bool stacked(const Char& above, const Char& below) {
  const double s = pair_scale(above, below);
  const double dy = below.origin_y - above.origin_y;
  return 0.5 * s < dy && dy < 1.8 * s && std::fabs(below.origin_x - above.origin_x) < 0.3 * s;
}

// Joins every single-character horizontal line whose CJK character stands
// right under the last kept line's onto that line, which becomes vertical.
// The kept line may lie in an earlier block. Joining only links staged lines
// into chains; their chars move once, when the lines are built. Returns
// whether anything joined.
bool join_stacked(detail::StagedPage& page) {
  const Char* chars = page.chars.get();
  std::size_t kept = detail::kNoLine;
  std::size_t tail = detail::kNoLine;  // last line of the kept line's chain
  RealChars kept_real;                 // over the whole chain
  bool joined = false;
  for (std::size_t l = 0; l < page.lines.size(); ++l) {
    detail::StagedLine& line = page.lines[l];
    if (line.begin == line.end) continue;
    const RealChars cur = real_chars(chars, line.begin, line.end);
    if (kept != detail::kNoLine) {
      detail::StagedLine& head = page.lines[kept];
      if (kept_real.count != 0 && cur.count == 1 && (kept_real.count == 1 || head.wmode == 1) &&
          !(head.state.dir_x < 0.999) && !(line.state.dir_x < 0.999) &&
          is_cjk(chars[kept_real.last].ch) &&
          is_cjk(chars[cur.first].ch) && stacked(chars[kept_real.last], chars[cur.first])) {
        page.lines[tail].next = l;
        tail = l;
        line.joined = true;
        head.wmode = 1;
        kept_real.count += 1;
        kept_real.last = cur.first;
        joined = true;
        continue;
      }
    }
    kept = l;
    tail = l;
    kept_real = cur;
  }
  return joined;
}

// Copies the staged lines that are still standing, each with the chains
// joined onto it, into blocks; blocks left without lines are skipped. Line
// boxes come from the pass. With `finish` (no vertical joining to come, so
// nothing will look at a line's first char any more) right-to-left lines are
// put into logical order and block boxes set here too.
std::vector<Block> build_blocks(const detail::StagedPage& page, bool finish) {
  const std::vector<detail::StagedLine>& lines = page.lines;
  const std::vector<std::size_t>& starts = page.block_starts;
  auto standing = [&](const detail::StagedLine& line) {
    return !line.joined && line.begin != line.end;
  };
  std::vector<Block> blocks;
  blocks.reserve(starts.size());
  for (std::size_t b = 0; b < starts.size(); ++b) {
    const std::size_t first = starts[b];
    const std::size_t last = b + 1 < starts.size() ? starts[b + 1] : lines.size();
    std::size_t count = 0;
    for (std::size_t l = first; l < last; ++l) count += standing(lines[l]) ? 1 : 0;
    if (count == 0) continue;
    Block& block = blocks.emplace_back();
    block.lines.reserve(count);
    Rect block_box = kEmptyRect;
    for (std::size_t l = first; l < last; ++l) {
      if (!standing(lines[l])) continue;
      // The chain as one line: its chars, box and right-to-left span.
      std::size_t total = 0;
      detail::LineState chain = lines[l].state;
      chain.box = kEmptyRect;
      chain.n_rtl = 0;
      for (std::size_t k = l; k != detail::kNoLine; k = lines[k].next) {
        const detail::LineState& part = lines[k].state;
        total += lines[k].end - lines[k].begin;
        detail::fold_box(chain.box, part.box.x0, part.box.y0, part.box.x1, part.box.y1);
        if (part.n_rtl != 0) {
          if (chain.n_rtl == 0) chain.first_rtl_x = part.first_rtl_x;
          chain.last_rtl_x = part.last_rtl_x;
          chain.n_rtl += part.n_rtl;
        }
      }
      Line& line = block.lines.emplace_back();
      line.chars.reserve(total);
      for (std::size_t k = l; k != detail::kNoLine; k = lines[k].next) {
        line.chars.insert(line.chars.end(), page.chars.get() + lines[k].begin,
                          page.chars.get() + lines[k].end);
      }
      chain.box = detail::settled_box(chain.box, line.chars.data(),
                                      line.chars.data() + line.chars.size());
      line.dir_x = chain.dir_x;
      line.dir_y = chain.dir_y;
      line.wmode = lines[l].wmode;
      line.rtl_visual = chain.rtl_visual;
      line.bbox = chain.box;
      detail::widen(block_box, chain.box);
      if (finish && detail::needs_reorder(chain)) visual_to_logical(line);
    }
    block.bbox = block_box;
  }
  return blocks;
}

bool all_vertical(const Block& block) {
  for (const Line& line : block.lines) {
    if (line.wmode != 1) return false;
  }
  return true;
}

// Joins neighbouring blocks of vertical lines whose column heads are close
// into one block, then orders every vertical block's columns right to left.
std::vector<Block> merge_vertical(std::vector<Block>& blocks) {
  std::vector<Block> merged;
  merged.reserve(blocks.size());
  bool last_vertical = false;
  for (Block& block : blocks) {
    if (block.lines.empty()) continue;
    const bool vertical = all_vertical(block);
    if (!merged.empty() && last_vertical && vertical) {
      const Char& a = merged.back().lines.back().chars.front();
      const Char& b = block.lines.front().chars.front();
      const double s = pair_scale(a, b);
      if (std::fabs(a.origin_y - b.origin_y) <= 1.5 * s &&
          std::fabs(a.origin_x - b.origin_x) <= 2.5 * s) {
        std::vector<Line>& into = merged.back().lines;
        for (Line& line : block.lines) into.push_back(std::move(line));
        continue;
      }
    }
    merged.push_back(std::move(block));
    last_vertical = vertical;
  }
  for (Block& block : merged) {
    if (block.lines.size() < 2 || !all_vertical(block)) continue;
    merge_sort(block.lines, [](const Line& a, const Line& b) {
      return b.chars.front().origin_x < a.chars.front().origin_x;
    });
  }
  return merged;
}

// detail::needs_reorder, read from a line's chars (vertical joining has
// regrouped the lines since the pass).
bool needs_reorder(const Line& line) {
  if (line.rtl_visual) return true;
  const Char* first = nullptr;
  const Char* last = nullptr;
  for (const Char& c : line.chars) {
    if (!c.rtl) continue;
    if (first == nullptr) first = &c;
    last = &c;
  }
  return first != last && first->origin_x < last->origin_x;
}

// After vertical joining: reorders right-to-left lines and sets block boxes
// (line boxes are set already; joining moves lines, never chars). Without a
// right-to-left char on the page no line needs reordering.
void finish_blocks(std::vector<Block>& blocks, bool any_rtl) {
  for (Block& block : blocks) {
    Rect box = kEmptyRect;
    for (Line& line : block.lines) {
      if (any_rtl && needs_reorder(line)) visual_to_logical(line);
      detail::widen(box, line.bbox);
    }
    block.bbox = box;
  }
}

void number_blocks(std::vector<Block>& blocks) {
  for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i].number = i;
}

}  // namespace

std::vector<Block> layout_page(const PageGlyphs& page, SortMode sort,
                               const std::optional<Rect>& clip, const LayoutParams& params) {
  std::vector<Block> blocks;
  std::optional<std::vector<Block>> finished = detail::glyph_pass_finished(page, clip, params);
  if (finished) {
    blocks = std::move(*finished);
  } else {
    detail::StagedPage staged = detail::glyph_pass(page, clip, params);
    // Vertical CJK only matters on pages where some line opens with CJK.
    const bool joined = has_cjk_line_start(staged) && join_stacked(staged);
    blocks = build_blocks(staged, !joined);
    if (joined) {
      blocks = merge_vertical(blocks);
      finish_blocks(blocks, staged.any_rtl);
    }
  }
  number_blocks(blocks);
  switch (sort) {
    case SortMode::none:
      break;
    case SortMode::simple:
      sort_simple(blocks);
      break;
    case SortMode::xycut:
      sort_xycut(blocks, params);
      break;
    case SortMode::reading:
      sort_reading(blocks, page.rotation);
      break;
  }
  number_blocks(blocks);
  return blocks;
}

}  // namespace textloom
