// What the parts of the Markdown writer share and nobody else needs: type
// sizes, what a line is made of and the type scale (markdown_lines), the
// survey of pages that finds the body size, the heading sizes and the running
// headers and footers (markdown_survey), list markers and their nesting
// (markdown_lists), inline text (markdown_inline), fenced code
// (markdown_code), and one page put together (markdown_page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "glyphs.hpp"
#include "layout.hpp"
#include "markdown.hpp"
#include "num.hpp"
#include "output.hpp"

namespace textloom::markdown {

// -- geometry along a line ---------------------------------------------------

// Position of a char's origin along its line's direction (dx, dy) and across
// it (growing downward for horizontal text), in points; rotated pages and
// vertical text measure alike.
inline double along(const Char& c, double dx, double dy) { return c.origin_x * dx + c.origin_y * dy; }
inline double across(const Char& c, double dx, double dy) { return c.origin_y * dx - c.origin_x * dy; }

// A control character other than the separators: symbol fonts map glyphs
// such as a proof's box to them, and Markdown has no use for them.
inline bool is_control(std::uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp < 0xA0); }

// A char that Markdown writes as text: no word separator, no control character.
inline bool is_text(std::uint32_t cp) { return !is_word_separator(cp) && !is_control(cp); }

// Index of the first text char at or after `from`, or the line's size when
// there is none.
std::size_t next_text(const Line& line, std::size_t from);

// True when the line ends in a hyphen that get_text's de-hyphenation removes.
bool line_ends_hyphenated(const Line& line);

// The text chars of one of the line's spans.
std::uint64_t text_chars(const Line& line, const Span& span);

// The longest run of backticks in `text`: a code fence must be longer.
std::size_t longest_backtick_run(std::string_view text);

// -- type sizes and lines ------------------------------------------------------

// A font size in tenths of a point, so that sizes that print alike rank alike.
using SizeKey = std::int64_t;
inline constexpr SizeKey kNoSize = -1;  // no finite size
SizeKey size_key(double size);

// What a line's spans with text (not only separators) are made of.
struct LineFacts {
  SizeKey min_size = kNoSize;  // smallest size key among them
  SizeKey max_size = kNoSize;  // largest
  std::uint64_t chars = 0;     // chars that are no word separator
  bool all_bold = true;        // every one is in a bold font
  bool all_mono = true;        // every one is in a monospaced font
};
LineFacts line_facts(const Line& line, const std::vector<Span>& spans,
                     const std::vector<FontInfo>& fonts);

// The body size of the pages converted and the sizes that make headings.
struct TypeScale {
  SizeKey body = kNoSize;         // the size that carries the most chars
  std::vector<SizeKey> headings;  // the three largest heading sizes, largest first
  bool typewritten = false;       // most chars are monospaced: that marks no code

  // Every span with text is at least 1.15 times the body size.
  bool is_heading(const LineFacts& line) const;
  // Every span with text is at the body size (within 5%).
  bool at_body(const LineFacts& line) const;
  // 1, 2, 3 for the three largest heading sizes, 4 for any other.
  int level(SizeKey size) const;
};

// A line of a page by its place in the layout.
struct LineRef {
  std::size_t block;
  std::size_t line;
  bool operator<(const LineRef& other) const {
    return block < other.block || (block == other.block && line < other.line);
  }
  bool operator==(const LineRef& other) const = default;
};

// A line in the top or bottom band of a page, as running headers and footers
// are compared: its text with digits made equal, and its box in the view the
// page's rotation gives.
struct BandLine {
  std::string key;
  Rect box;
  LineRef ref;
  bool top;
};

// What the first pass keeps of one page.
struct PageSurvey {
  std::vector<LineFacts> lines;  // every line with text, for the heading sizes
  std::vector<BandLine> band;    // candidates for running headers and footers
};

// Chars per size, and chars in monospaced fonts, over the pages converted.
class CharCounts {
 public:
  void add(SizeKey size, std::uint64_t chars, bool mono);
  // The body size: the sizes within 2.5% of one another that carry the
  // most chars together, and of them the one that carries the most (the
  // smaller of a tie); kNoSize when none.
  SizeKey most() const;
  // More than half the chars are monospaced.
  bool mostly_mono() const { return 2 * mono_ > total_; }

 private:
  std::map<SizeKey, std::uint64_t> sizes_;
  std::uint64_t total_ = 0;
  std::uint64_t mono_ = 0;
};

// Counts the sizes of one laid-out page and records its lines.
void survey_page(const std::vector<Block>& blocks, const PageGlyphs& page, CharCounts& counts,
                 PageSurvey& survey);

// The body size and heading sizes over the surveyed pages.
TypeScale type_scale(const CharCounts& counts, const std::vector<PageSurvey>& surveys);

// The lines of each page that are running headers or footers: a band line
// whose text, digits made equal, recurs within 2 units of the same place on
// at least 60% of the pages and on at least 3 of them. Sorted per page.
std::vector<std::vector<LineRef>> running_lines(const std::vector<PageSurvey>& surveys);

// -- lists -------------------------------------------------------------------------

// What opens a line as a list item.
struct ListMarker {
  enum class Kind : std::uint8_t { none, bullet, number, letter };
  Kind kind = Kind::none;
  std::size_t label_begin = 0;  // the marker's chars in the line
  std::size_t label_end = 0;
  std::size_t content = 0;      // first char with text after the marker (line size: none)
};
ListMarker list_marker(const Line& line);

// Nesting of consecutive list items by how far their text is indented.
class ListNesting {
 public:
  void reset() { levels_.clear(); }
  struct Placement {
    std::size_t indent;  // columns
    bool new_list;       // the level's last item had another kind of marker
  };
  // Places an item whose text starts at `along` (points) and whose Markdown
  // marker takes `width` columns with its space and ends in `kind` ('-', '.'
  // or ')'). Items within `tolerance` points of an open level share it;
  // deeper ones open a level, shallower ones close levels.
  Placement place(double along, double tolerance, std::size_t width, char kind);

 private:
  struct Level {
    double along;       // where the level's item text starts
    std::size_t width;  // columns its marker takes
    char kind;          // the last char of its marker
  };
  std::vector<Level> levels_;
};

// -- inline text ---------------------------------------------------------------

// A run of a line's chars [begin, end) written as part of one paragraph,
// heading or list item.
struct Piece {
  const Line* line;
  const std::vector<Span>* spans;  // the line's spans
  std::size_t begin;
  std::size_t end;
  bool glued;  // follows the previous piece without a space (a joined hyphenated word)
};

struct InlineContext {
  const std::vector<FontInfo>& fonts;
  const std::vector<const PageLink*>& links;  // the links to URIs
  bool superscripts;
  bool subscripts;
  bool heading;  // no bold (a heading is bold as it stands), digits may open it
  bool code;     // monospaced text is code
};

// Appends the pieces as one line of Markdown: emphasis, code spans, <sup>,
// <sub> and links marked, text escaped, no line feed.
void write_inline(std::string& out, const std::vector<Piece>& pieces, const InlineContext& context);

// -- code ------------------------------------------------------------------------

// Appends a fenced code block of the lines, in order, with line feeds.
// Indentation and the spaces inside a line are rebuilt from the chars'
// positions in widths of the font's chars.
void write_code(std::string& out, const std::vector<const Line*>& lines);

// -- one page ---------------------------------------------------------------------

// The Markdown of one laid-out page, without the lines in `dropped` (sorted).
std::string page_markdown(const std::vector<Block>& blocks, const PageGlyphs& page,
                          const TypeScale& scale, const std::vector<LineRef>& dropped,
                          const MarkdownOptions& options);

}  // namespace textloom::markdown
