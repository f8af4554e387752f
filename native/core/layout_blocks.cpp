// Block building and layout_page. The glyph pass (layout_lines.cpp) hands
// over each line as it closes; on a page where some line opens with CJK, a
// line that holds a single CJK character right below the line before it is
// joined onto that one, which becomes vertical; every other line is finished
// (its box, right-to-left lines put into logical order) and filed into its
// block. Then neighbouring vertical columns are joined into blocks read right
// to left, the caller's reading order is applied (order.cpp,
// order_reading.cpp) and the blocks are numbered.

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

// `below` stands under `above` as the next character of a vertical column.
bool stacked(const Char& above, const Char& below) {
  const double s = pair_scale(above, below);
  const double dy = below.origin_y - above.origin_y;
  return 0.5 * s < dy && dy < 1.8 * s && std::fabs(below.origin_x - above.origin_x) < 0.3 * s;
}

// min_num(acc, v) and max_num(acc, v) for an accumulator that never holds
// NaN (it starts at an infinity and only ever takes numbers), without the
// branches min_num spends on a NaN accumulator. -0.0 still counts as below
// +0.0, so the result is min_num's bit for bit.
inline double take_min(double acc, double v) {
  return (v < acc || (v == acc && std::signbit(v))) ? v : acc;
}
inline double take_max(double acc, double v) {
  return (v > acc || (v == acc && !std::signbit(v))) ? v : acc;
}

// rect_union(acc, box) for an accumulator that started as kEmptyRect.
inline void widen(Rect& acc, const Rect& box) {
  acc.x0 = take_min(acc.x0, box.x0);
  acc.y0 = take_min(acc.y0, box.y0);
  acc.x1 = take_max(acc.x1, box.x1);
  acc.y1 = take_max(acc.y1, box.y1);
}

// The union of the boxes of chars [begin, end). They are folded with plain
// comparisons (one instruction a coordinate), which find the same numbers as
// min_num and max_num and ignore a NaN the same way, but may keep +0.0 where
// min_num would have -0.0 (or the reverse for max_num). A zero coordinate is
// rare, so a line whose fold holds one is folded again exactly.
Rect line_box(const Char* begin, const Char* end) {
  Rect box = kEmptyRect;
  for (const Char* c = begin; c != end; ++c) {
    box.x0 = c->bbox.x0 < box.x0 ? c->bbox.x0 : box.x0;
    box.y0 = c->bbox.y0 < box.y0 ? c->bbox.y0 : box.y0;
    box.x1 = c->bbox.x1 > box.x1 ? c->bbox.x1 : box.x1;
    box.y1 = c->bbox.y1 > box.y1 ? c->bbox.y1 : box.y1;
  }
  if (box.x0 != 0 && box.y0 != 0 && box.x1 != 0 && box.y1 != 0) return box;
  box = kEmptyRect;
  for (const Char* c = begin; c != end; ++c) box = rect_union(box, c->bbox);
  return box;
}

// A line with right-to-left chars drawn left to right, which visual_to_logical
// puts into logical order: the pass saw them so, or the first right-to-left
// char stands left of the last one.
bool needs_reorder(const detail::LineFacts& facts, const Char* begin, const Char* end) {
  if (facts.rtl_visual) return true;
  if (!facts.any_rtl) return false;
  const Char* first = nullptr;
  const Char* last = nullptr;
  for (const Char* c = begin; c != end; ++c) {
    if (!c->rtl) continue;
    if (first == nullptr) first = c;
    last = c;
  }
  return first != last && first->origin_x < last->origin_x;
}

bool all_vertical(const Block& block) {
  for (const Line& line : block.lines) {
    if (line.wmode != 1) return false;
  }
  return true;
}

// Joins neighbouring blocks of vertical lines whose column heads are close
// into one block, then orders every vertical block's columns right to left.
// Only vertical lines are read, and right-to-left reordering never touches
// one (all its real chars are CJK), so it makes no difference that lines
// were finished before.
void merge_columns(std::vector<Block>& blocks) {
  std::vector<Block> merged;
  merged.reserve(blocks.size());
  bool last_vertical = false;
  for (Block& block : blocks) {
    const bool vertical = all_vertical(block);
    if (!merged.empty() && last_vertical && vertical) {
      Block& into = merged.back();
      const Char& a = into.lines.back().chars.front();
      const Char& b = block.lines.front().chars.front();
      const double s = pair_scale(a, b);
      if (std::fabs(a.origin_y - b.origin_y) <= 1.5 * s &&
          std::fabs(a.origin_x - b.origin_x) <= 2.5 * s) {
        for (Line& line : block.lines) into.lines.push_back(std::move(line));
        widen(into.bbox, block.bbox);
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
  blocks = std::move(merged);
}

}  // namespace

namespace detail {

BlockBuilder::BlockBuilder(std::size_t n_glyphs, bool join_vertical) : join_(join_vertical) {
  // Enough for most pages and blocks; more grow as usual.
  blocks_.reserve(n_glyphs < 64 ? n_glyphs : 64);
  block_lines_.reserve(16);
}

Char* BlockBuilder::close_line(Char* begin, Char* end, const LineFacts& facts) {
  end = untrack_line(begin, end, facts, tracking_);
  block_pending_ = block_pending_ || facts.opens_block;
  if (!join_) {
    finish_line(begin, end, facts, block_pending_, 0);
    block_pending_ = false;
    return begin;
  }
  std::size_t n_real = 0;
  const Char* first_real = nullptr;
  const Char* last_real = nullptr;
  for (const Char* c = begin; c != end; ++c) {
    if (!is_real(*c)) continue;
    if (n_real++ == 0) first_real = c;
    last_real = c;
  }
  if (kept_ && joins_kept(*kept_, facts, n_real, first_real)) {
    // The line's chars already follow the kept line's in the buffer.
    kept_->end = end;
    kept_->facts.any_rtl = kept_->facts.any_rtl || facts.any_rtl;
    kept_->wmode = 1;
    kept_->n_real += 1;
    kept_->last_real = first_real;
    joined_ = true;
    return end;
  }
  if (kept_) finish_line(kept_->begin, kept_->end, kept_->facts, kept_->starts_block, kept_->wmode);
  kept_ = Kept{begin, end, facts, block_pending_, 0, n_real, last_real};
  block_pending_ = false;
  return end;
}

// The vertical joining rule: a line holding one real char, a CJK character
// standing right below the kept line's last one, both lines horizontal (a
// NaN direction passes), the kept line holding one real char or already a
// column.
bool BlockBuilder::joins_kept(const Kept& kept, const LineFacts& facts, std::size_t n_real,
                              const Char* first_real) const {
  return n_real == 1 && (kept.n_real == 1 || kept.wmode == 1) &&
         !(kept.facts.dir_x < 0.999) && !(facts.dir_x < 0.999) && is_cjk(kept.last_real->ch) &&
         is_cjk(first_real->ch) && stacked(*kept.last_real, *first_real);
}

// The one finishing step: copies the chars out into a line of the open block
// (of a new one if the line starts one), with its box, right-to-left lines
// in logical order.
void BlockBuilder::finish_line(const Char* begin, const Char* end, const LineFacts& facts,
                               bool starts_block, std::uint32_t wmode) {
  if (starts_block && !block_lines_.empty()) close_block();
  Line& line = block_lines_.emplace_back();
  line.chars.assign(begin, end);
  line.dir_x = facts.dir_x;
  line.dir_y = facts.dir_y;
  line.bbox = line_box(begin, end);
  line.wmode = wmode;
  line.rtl_visual = facts.rtl_visual;
  if (needs_reorder(facts, begin, end)) visual_to_logical(line);
  widen(block_box_, line.bbox);
}

// Moves the open block's lines into exactly sized storage.
void BlockBuilder::close_block() {
  Block& block = blocks_.emplace_back();
  block.lines.reserve(block_lines_.size());
  for (Line& line : block_lines_) block.lines.push_back(std::move(line));
  block.bbox = block_box_;
  block_box_ = kEmptyRect;
  block_lines_.clear();
}

void BlockBuilder::end_page() {
  if (kept_) finish_line(kept_->begin, kept_->end, kept_->facts, kept_->starts_block, kept_->wmode);
  kept_.reset();
  if (!block_lines_.empty()) close_block();
}

}  // namespace detail

std::vector<Block> layout_page(const PageGlyphs& given, SortMode sort,
                               const std::optional<Rect>& clip, const LayoutParams& params) {
  const std::optional<PageGlyphs> upright = detail::mirrored_upright(given);
  const PageGlyphs& page = upright ? *upright : given;
  // Glyph pass, vertical joining and finishing: block building takes each
  // line as the pass closes it and joins it onto the column above or
  // finishes it, while its chars are still in cache (finishing them in a
  // pass of its own, over the whole page staged, costs about a fifth more).
  // Joining applies only to a page where some line opens with CJK: the pass
  // stops at the first such line, and the page is passed again with joining.
  detail::BlockBuilder builder(page.glyphs.size(), false);
  if (!detail::glyph_pass(page, clip, params, builder)) {
    builder = detail::BlockBuilder(page.glyphs.size(), true);
    detail::glyph_pass(page, clip, params, builder);
  }
  std::vector<Block> blocks = builder.take_blocks();
  if (upright) detail::restore_mirrored_sizes(given, blocks);
  // Vertical columns side by side into blocks, read right to left.
  if (builder.joined()) merge_columns(blocks);
  // Reading order.
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
  // Numbers, once the order is final.
  for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i].number = i;
  return blocks;
}

}  // namespace textloom
