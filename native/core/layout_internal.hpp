// What the two halves of layout_page share and nobody else needs: the glyph
// pass (layout_lines.cpp) hands each line it closes to block building
// (layout_blocks.cpp) as a LineFacts beside the line's chars, and block
// building joins the line into a vertical CJK column or finishes it while its
// chars are still in cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "num.hpp"

namespace textloom::detail {

// What the pass knows of a line beyond its chars.
struct LineFacts {
  double dir_x;             // direction of the glyph that opened the line
  double dir_y;
  bool opens_block;         // the line opened a new block
  bool rtl_visual = false;  // RTL chars met in left-to-right progression
  bool any_rtl = false;     // some char has rtl set
};

// The page with its glyphs of negative size turned to advance as drawn (the
// direction reversed, the size by its magnitude, layout_mirrored.cpp), or
// nothing when it has none.
std::optional<PageGlyphs> mirrored_upright(const PageGlyphs& page);
// Gives the chars of such glyphs their sizes as extracted again: the schemas
// report a glyph's size as drawn, sign and all.
void restore_mirrored_sizes(const PageGlyphs& page, std::vector<Block>& blocks);

// What untrack_line reuses from line to line, so that it allocates only
// while lines grow.
struct TrackingScratch {
  std::vector<std::size_t> pairs;  // the second letter of each gap judged
  std::vector<double> gaps;
  std::vector<double> sorted;
  std::vector<unsigned char> drop;  // per char of the line, once a run of it is tracked
  const Char* base = nullptr;       // the line being judged
  std::size_t line_size = 0;
  bool any_drop = false;  // whether `drop` holds this line's marks
};

// The line [begin, end) without the synthetic spaces between the letters of
// letter-spaced runs (layout_tracking.cpp): in a run of one face with four
// letters or more, when the gaps between its letters are wide (over 0.08 em)
// and close to their median, spaces stay only where a gap is a word gap.
// Returns the new end.
Char* untrack_line(Char* begin, Char* end, const LineFacts& facts, TrackingScratch& scratch);

// Builds a page's blocks from the lines the glyph pass closes, in order: a
// line is joined onto the line before it as the next character of a vertical
// CJK column (only with `join_vertical`), or else finished and filed into its
// block. Without joining each line is finished as it arrives, and its room in
// the pass's buffer is free again. With it, a line waits in that buffer until
// the next one shows whether it joins on, which it does by staying where it
// is; so the buffer must outlive end_page.
class BlockBuilder {
 public:
  BlockBuilder(std::size_t n_glyphs, bool join_vertical);

  bool joins_vertical() const { return join_; }

  // Takes the chars [begin, end) of a closed line, never empty; returns where
  // the pass files the next line's chars (`begin` once the chars are copied
  // out, `end` while they wait).
  Char* close_line(Char* begin, Char* end, const LineFacts& facts);

  // Finishes what waits, after the page's last line.
  void end_page();

  // The blocks, every line finished (box; right-to-left lines in logical
  // order) and every block's box set; numbers are not set. Call once, after
  // end_page.
  std::vector<Block> take_blocks() { return std::move(blocks_); }

  // Whether some line was joined onto another into a vertical column.
  bool joined() const { return joined_; }

 private:
  // The line that later lines may join: its chars (with those joined onto
  // it), how many of them are real and where the last real one is.
  struct Kept {
    Char* begin;            // its chars, in the pass's buffer
    Char* end;
    LineFacts facts;        // its own; any_rtl also of the lines joined on
    bool starts_block;      // a block opened since the line kept before it
    std::uint32_t wmode;    // 1 once a line is joined on
    std::size_t n_real;     // real chars: neither synthetic nor U+0020
    const Char* last_real;  // the last of them
  };

  bool joins_kept(const Kept& kept, const LineFacts& facts, std::size_t n_real,
                  const Char* first_real) const;
  void finish_line(const Char* begin, const Char* end, const LineFacts& facts, bool starts_block,
                   std::uint32_t wmode);
  void close_block();

  bool join_;
  bool joined_ = false;
  TrackingScratch tracking_;
  bool block_pending_ = false;  // a block opened since the last line kept
  std::optional<Kept> kept_;
  std::vector<Block> blocks_;
  std::vector<Line> block_lines_;  // of the open block
  Rect block_box_ = kEmptyRect;
};

// The CJK test of vertical joining.
bool is_cjk(std::uint32_t cp);

// One pass over the page's glyphs in text order: every kept glyph becomes a
// Char filed into a line, with synthetic spaces at word gaps, and every line
// goes to `blocks` as it closes; then it ends the page. If `blocks` does not
// join vertical lines, it stops at the first line that opens with a CJK
// character instead and returns false. A glyph whose font index is outside
// page.fonts aborts the process.
bool glyph_pass(const PageGlyphs& page, const std::optional<Rect>& clip,
                const LayoutParams& params, BlockBuilder& blocks);

}  // namespace textloom::detail
