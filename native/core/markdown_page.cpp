// One page of Markdown. Blocks come in reading order; each becomes one or
// more units separated by a blank line (list items of one list by a line
// feed): a block that is all monospaced joins the listing that the blocks
// before it may have started; other blocks are split into headings (runs of
// lines at one heading size, or a lone bold line at the body size), list
// items (a line opened by a marker, with the lines after it) and paragraphs.
// A unit's lines are joined into one line of Markdown, hyphenated line ends
// joined as get_text's de-hyphenation joins them.

#include <algorithm>
#include <cmath>
#include <string>

#include "markdown_internal.hpp"

namespace textloom::markdown {

namespace {

// Baselines closer than this, in sizes, are one (a marker and its text).
constexpr double kSameBaseline = 0.3;
// Items whose text starts closer than this, in sizes, are at one level.
constexpr double kLevelTolerance = 0.25;
// A heading is a title: a run of heading-sized lines longer than this (lines,
// or chars) is body text set large, an abstract or a pull quote. Titles wrap
// to two or three lines and stay far below 300 chars.
constexpr std::size_t kHeadingMaxLines = 4;
constexpr std::uint64_t kHeadingMaxChars = 300;
// Lines whose direction in the viewer's frame strays further than this from
// the horizontal (cosine) run across the page, as a preprint's side stamp.
constexpr double kUpright = 0.9;

// A line that stays on the page, with what the writer reads of it more than once.
struct PageLine {
  const Line* line;
  std::size_t block;
  std::vector<Span> spans;
  LineFacts facts;
  ListMarker marker;
  bool may_head = true;  // neither turned against the view nor in a run too long for a title
};

const Char& first_text(const PageLine& line) { return line.line->chars[next_text(*line.line, 0)]; }

// Whether `text` stands on the baseline of `marker`'s label, after it: the
// text a tab stop set apart from its bullet.
bool beside(const PageLine& marker, const PageLine& text) {
  const Line& line = *marker.line;
  const Char& label = line.chars[marker.marker.label_begin];
  const Char& head = first_text(text);
  const double tolerance = kSameBaseline * max_num(std::fabs(label.size), std::fabs(head.size));
  return std::fabs(across(head, line.dir_x, line.dir_y) - across(label, line.dir_x, line.dir_y)) <=
             tolerance &&
         along(head, line.dir_x, line.dir_y) > along(label, line.dir_x, line.dir_y);
}

class PageWriter {
 public:
  PageWriter(const PageGlyphs& page, const TypeScale& scale,
             const std::vector<const PageLink*>& links, const MarkdownOptions& options)
      : scale_(scale),
        body_{page.fonts, links, options.superscripts, options.subscripts, false, !scale.typewritten},
        heading_{page.fonts, links, options.superscripts, options.subscripts, true, !scale.typewritten} {}

  void block(const std::vector<PageLine>& lines, std::size_t begin, std::size_t end) {
    bool code = !scale_.typewritten;
    for (std::size_t i = begin; i < end; ++i) code = code && lines[i].facts.all_mono;
    if (code) {
      carry_ = nullptr;  // a marker waiting for its text gets none from a listing
      emit();
      for (std::size_t i = begin; i < end; ++i) code_.push_back(lines[i].line);
      return;
    }
    flush_code();
    const bool lone = end - begin == 1;
    for (std::size_t i = begin; i < end; ++i) {
      const PageLine& line = lines[i];
      if (carry_ != nullptr) {
        // The item whose marker ended the previous block takes this text.
        const bool joins = i == begin && beside(*carry_, line);
        carry_ = nullptr;
        if (joins) {
          text_at(line, first_text(line));
          add(line, 0, true);
          continue;
        }
        emit();
      }
      if (line.may_head && scale_.is_heading(line.facts)) {
        if (kind_ != Kind::heading || level_ != scale_.level(line.facts.max_size)) {
          emit();
          start(Kind::heading);
          level_ = scale_.level(line.facts.max_size);
        }
        add(line, 0, false);
        continue;
      }
      if (kind_ == Kind::heading) emit();
      if (lone && line.may_head && line.facts.all_bold && scale_.at_body(line.facts) &&
          line.marker.kind == ListMarker::Kind::none) {
        start(Kind::heading);
        level_ = 4;
        add(line, 0, false);
        continue;
      }
      if (opens_item(line.marker.kind)) {
        i = item(lines, i, end);
        continue;
      }
      if (kind_ == Kind::none) start(Kind::paragraph);
      add(line, 0, false);
    }
    if (carry_ == nullptr) emit();
  }

  std::string finish() {
    carry_ = nullptr;
    emit();
    flush_code();
    if (!out_.empty()) out_ += '\n';
    return std::move(out_);
  }

 private:
  enum class Kind { none, paragraph, heading, item };

  // A marker opens an item at the start of a block or after another item;
  // inside a paragraph only bullets and numbers do, as a letter and a full
  // stop there is more often a sentence than an item.
  bool opens_item(ListMarker::Kind marker) const {
    if (marker == ListMarker::Kind::none) return false;
    return kind_ != Kind::paragraph || marker != ListMarker::Kind::letter;
  }

  // Opens the item of lines[i]; returns the index of the last line it took.
  std::size_t item(const std::vector<PageLine>& lines, std::size_t i, std::size_t end) {
    const PageLine& line = lines[i];
    const ListMarker& marker = line.marker;
    emit();
    start(Kind::item);
    marker_.clear();
    if (marker.kind == ListMarker::Kind::number) {
      for (std::size_t k = marker.label_begin; k < marker.label_end; ++k) {
        marker_.push_back(static_cast<char>(line.line->chars[k].ch));
      }
    } else {
      marker_.assign(1, '-');  // assign(1, c): GCC 12 warns falsely on = "-"
    }
    // A letter stays in the text ("- a) ..."): Markdown has no lettered lists.
    if (marker.kind == ListMarker::Kind::letter) add_range(line, marker.label_begin, marker.label_end);
    const Char& label = line.line->chars[marker.label_begin];
    if (marker.content < line.line->chars.size()) {
      text_at(line, line.line->chars[marker.content]);
      add(line, marker.content, marker.kind == ListMarker::Kind::letter);
      return i;
    }
    text_at(line, label);
    if (i + 1 < end && beside(line, lines[i + 1])) {
      text_at(lines[i + 1], first_text(lines[i + 1]));
      add(lines[i + 1], 0, true);
      return i + 1;
    }
    if (i + 1 == end) carry_ = &line;
    return i;
  }

  void start(Kind kind) {
    kind_ = kind;
    pieces_.clear();
  }

  // Where the item's text starts, for its nesting.
  void text_at(const PageLine& line, const Char& c) {
    item_along_ = along(c, line.line->dir_x, line.line->dir_y);
    item_tolerance_ = kLevelTolerance * std::fabs(c.size);
  }

  // Adds the line's chars from `begin` to the open unit: on the previous
  // piece's baseline (after a space), or as its next line, joined to a
  // hyphenated line end without the hyphen.
  void add(const PageLine& line, std::size_t begin, bool same_row) {
    bool glued = false;
    if (!same_row && !pieces_.empty()) {
      Piece& prev = pieces_.back();
      if (prev.end == prev.line->chars.size() && prev.end > prev.begin &&
          line_ends_hyphenated(*prev.line)) {
        --prev.end;
        glued = true;
      }
    }
    pieces_.push_back({line.line, &line.spans, begin, line.line->chars.size(), glued});
  }

  void add_range(const PageLine& line, std::size_t begin, std::size_t end) {
    pieces_.push_back({line.line, &line.spans, begin, end, false});
  }

  // Writes the open unit, if any.
  void emit() {
    const Kind kind = kind_;
    kind_ = Kind::none;
    if (kind == Kind::none) return;
    const std::size_t mark = out_.size();
    if (kind == Kind::item) {
      const ListNesting::Placement place =
          nesting_.place(item_along_, item_tolerance_, marker_.size() + 1, marker_.back());
      // Items follow each other on the next line, but a change of marker
      // ('-', '.' or ')') at one level starts another list, after a blank line.
      if (!out_.empty()) out_ += last_item_ && !place.new_list ? "\n" : "\n\n";
      out_.append(place.indent, ' ');
      out_ += marker_;
      out_ += ' ';
      const std::size_t text = out_.size();
      write_inline(out_, pieces_, body_);
      if (out_.size() == text) out_.pop_back();  // an item without text: no trailing space
    } else {
      if (!out_.empty()) out_ += "\n\n";
      if (kind == Kind::heading) {
        out_.append(static_cast<std::size_t>(level_), '#');
        out_ += ' ';
      }
      const std::size_t text = out_.size();
      write_inline(out_, pieces_, kind == Kind::heading ? heading_ : body_);
      if (out_.size() == text) {  // nothing to say: no unit at all
        out_.resize(mark);
        return;
      }
    }
    last_item_ = kind == Kind::item;
    if (!last_item_) nesting_.reset();
  }

  void flush_code() {
    if (code_.empty()) return;
    if (!out_.empty()) out_ += "\n\n";
    write_code(out_, code_);
    code_.clear();
    last_item_ = false;
    nesting_.reset();
  }

  const TypeScale& scale_;
  const InlineContext body_;
  const InlineContext heading_;
  std::string out_;
  Kind kind_ = Kind::none;     // the unit being gathered
  std::vector<Piece> pieces_;  // its text
  int level_ = 0;              // a heading's level
  std::string marker_;         // an item's Markdown marker
  double item_along_ = 0;      // where an item's text starts
  double item_tolerance_ = 0;
  const PageLine* carry_ = nullptr;  // a marker alone at a block's end, waiting for its text
  bool last_item_ = false;     // the last unit written was a list item
  ListNesting nesting_;
  std::vector<const Line*> code_;  // the listing being gathered
};

// Clears may_head of lines turned against the view and of runs of
// consecutive heading-sized lines of one block too long to be a title.
void mark_headings(std::vector<PageLine>& lines, const PageGlyphs& page, const TypeScale& scale) {
  const Xf view{page.width, page.height, page.rotation, true};
  for (PageLine& line : lines) {
    double dx = line.line->dir_x, dy = line.line->dir_y;
    view.vector(dx, dy);
    if (line.line->wmode == 0 && !(std::fabs(dx) >= kUpright)) line.may_head = false;
  }
  for (std::size_t begin = 0; begin < lines.size();) {
    std::size_t end = begin;
    std::uint64_t chars = 0;
    while (end < lines.size() && lines[end].block == lines[begin].block && lines[end].may_head &&
           scale.is_heading(lines[end].facts)) {
      chars += lines[end++].facts.chars;
    }
    if (end - begin > kHeadingMaxLines || chars > kHeadingMaxChars) {
      for (std::size_t i = begin; i < end; ++i) lines[i].may_head = false;
    }
    begin = std::max(end, begin + 1);
  }
}

}  // namespace

std::string page_markdown(const std::vector<Block>& blocks, const PageGlyphs& page,
                          const TypeScale& scale, const std::vector<LineRef>& dropped,
                          const MarkdownOptions& options) {
  std::vector<PageLine> lines;
  std::size_t next_drop = 0;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    for (std::size_t l = 0; l < blocks[b].lines.size(); ++l) {
      while (next_drop < dropped.size() && dropped[next_drop] < LineRef{b, l}) ++next_drop;
      if (next_drop < dropped.size() && dropped[next_drop] == LineRef{b, l}) continue;
      const Line& line = blocks[b].lines[l];
      std::vector<Span> spans = make_spans(line, page.fonts, LayoutParams{});
      const LineFacts facts = line_facts(line, spans, page.fonts);
      if (facts.chars == 0) continue;
      lines.push_back({&line, b, std::move(spans), facts, list_marker(line)});
    }
  }
  mark_headings(lines, page, scale);
  std::vector<const PageLink*> links;
  if (options.links) {
    for (const PageLink& link : page.links) {
      if (!link.uri.empty()) links.push_back(&link);
    }
  }
  PageWriter writer(page, scale, links, options);
  std::size_t begin = 0;
  while (begin < lines.size()) {
    std::size_t end = begin + 1;
    while (end < lines.size() && lines[end].block == lines[begin].block) ++end;
    writer.block(lines, begin, end);
    begin = end;
  }
  return writer.finish();
}

}  // namespace textloom::markdown
