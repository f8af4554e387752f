// Inline Markdown: one paragraph, heading or list item's chars written with
// their marks. Marks come from each span's font (bold, italic, monospaced),
// its position (superscript flag, subscript below the line's main baseline)
// and the link whose box holds the char. Separators never carry a mark: a
// mark closes before the separators that follow its text and opens after
// them, so a run of bold words separated by plain spaces is one bold run.
// Text is escaped where Markdown would read structure into it.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "markdown_internal.hpp"
#include "output.hpp"
#include "utf8.hpp"

namespace textloom::markdown {

namespace {

// Marks in nesting order, outermost first. A link encloses everything; code
// is innermost, as nothing is marked inside code.
enum Mark : std::uint8_t { kLink, kBold, kItalic, kSup, kSub, kCode, kMarkCount };
constexpr std::uint8_t bit(Mark mark) { return static_cast<std::uint8_t>(1u << mark); }

// How far below the line's main baseline, in main sizes, a smaller span's
// baseline lies to count as a subscript.
constexpr double kSubscriptDrop = 0.15;

// The size and baseline that carry most of a line's chars.
struct MainRun {
  SizeKey size = kNoSize;
  double across = 0;  // baseline of the run's first char
  double size_points = 0;
};

MainRun main_run(const Line& line, const std::vector<Span>& spans) {
  // Chars per size in a small table: lines hold few sizes, and a size past
  // the table's room counts for nothing.
  struct Count {
    SizeKey size;
    std::uint64_t chars;
    const Span* first;
  };
  constexpr std::size_t kRoom = 16;
  Count counts[kRoom];
  std::size_t used = 0;
  for (const Span& span : spans) {
    const SizeKey key = size_key(span.size);
    if (key == kNoSize) continue;
    const std::uint64_t chars = text_chars(line, span);
    if (chars == 0) continue;
    std::size_t k = 0;
    while (k < used && counts[k].size != key) ++k;
    if (k == used) {
      if (used == kRoom) continue;
      counts[used++] = {key, 0, &span};
    }
    counts[k].chars += chars;
  }
  MainRun best;
  std::uint64_t most = 0;
  for (std::size_t k = 0; k < used; ++k) {
    if (counts[k].chars <= most) continue;
    most = counts[k].chars;
    const Span& span = *counts[k].first;
    best = {counts[k].size, across(line.chars[span.char_start_idx], line.dir_x, line.dir_y),
            std::fabs(span.size)};
  }
  return best;
}

// Appends `uri` as a link destination: the characters that would end or
// break it percent-encoded.
void append_destination(std::string& out, const std::string& uri) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : uri) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '(' || c == ')' || c == '<' || c == '>' ||
        c == '\\') {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
}

class Writer {
 public:
  Writer(std::string& out, const InlineContext& context) : out_(out), context_(context) {}

  void piece(const Piece& piece) {
    if (piece.begin >= piece.end) return;
    if (!piece.glued && started_ && pending_.empty()) pending_.push_back(' ');
    const Line& line = *piece.line;
    const MainRun main = context_.subscripts ? main_run(line, *piece.spans) : MainRun{};
    // Only links that meet the line can hold its chars: a page of many links
    // then costs a pass over the links per line, not per char.
    line_links_.clear();
    for (std::size_t i = 0; i < context_.links.size(); ++i) {
      const PageLink& box = *context_.links[i];
      if (!(box.x1 < line.bbox.x0 || box.x0 > line.bbox.x1 || box.y1 < line.bbox.y0 ||
            box.y0 > line.bbox.y1)) {
        line_links_.push_back(i);
      }
    }
    for (const Span& span : *piece.spans) {
      const std::size_t begin = std::max(span.char_start_idx, piece.begin);
      const std::size_t end = std::min(span.char_end_idx, piece.end);
      if (begin >= end) continue;
      const std::uint8_t marks = marks_of(line, span, main);
      for (std::size_t i = begin; i < end; ++i) {
        const Char& c = line.chars[i];
        if (is_word_separator(c.ch)) {
          if (started_) append_utf8(pending_, c.ch < 0x20 ? ' ' : c.ch);
          continue;
        }
        if (is_control(c.ch)) continue;
        const int link = link_at(c);
        const std::uint8_t with_link = link >= 0 ? marks | bit(kLink) : marks;
        if (with_link != open_ || link != link_) {
          change_marks(with_link, link);
        } else {
          flush_pending();
        }
        put(c.ch);
        started_ = true;
      }
    }
  }

  // Closes every mark; separators at the end are dropped.
  void finish() {
    pending_.clear();
    change_marks(0, -1);
  }

 private:
  std::uint8_t marks_of(const Line& line, const Span& span, const MainRun& main) const {
    const std::uint32_t style = context_.fonts[span.font].style;
    std::uint8_t marks = 0;
    if ((style & kStyleBold) != 0 && !context_.heading) marks |= bit(kBold);
    if ((style & kStyleItalic) != 0) marks |= bit(kItalic);
    if ((style & kStyleMono) != 0 && context_.code) marks |= bit(kCode);
    if ((span.flags & kStyleSuperscript) != 0) {
      if (context_.superscripts) marks |= bit(kSup);
    } else if (context_.subscripts && main.size != kNoSize) {
      const SizeKey size = size_key(span.size);
      const double drop = across(line.chars[span.char_start_idx], line.dir_x, line.dir_y) - main.across;
      if (size != kNoSize && size < main.size && drop > kSubscriptDrop * main.size_points) {
        marks |= bit(kSub);
      }
    }
    return marks;
  }

  // The first link of the line whose box holds the char's centre, or -1.
  int link_at(const Char& c) const {
    if (line_links_.empty()) return -1;
    const double x = (c.bbox.x0 + c.bbox.x1) / 2;
    const double y = (c.bbox.y0 + c.bbox.y1) / 2;
    for (const std::size_t i : line_links_) {
      const PageLink& box = *context_.links[i];
      if (x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1) return static_cast<int>(i);
    }
    return -1;
  }

  // Closes the open marks from the outermost one that changes inwards, writes
  // the pending separators, and opens the new marks from there.
  void change_marks(std::uint8_t marks, int link) {
    int from = kMarkCount;
    for (int m = 0; m < kMarkCount; ++m) {
      const bool differs = ((open_ ^ marks) & (1u << m)) != 0 || (m == kLink && link != link_);
      if (differs) {
        from = m;
        break;
      }
    }
    for (int m = kMarkCount - 1; m >= from; --m) {
      if ((open_ & (1u << m)) != 0) close(static_cast<Mark>(m));
    }
    open_ = static_cast<std::uint8_t>(open_ & ((1u << from) - 1));
    flush_pending();
    for (int m = from; m < kMarkCount; ++m) {
      if ((marks & (1u << m)) != 0) open(static_cast<Mark>(m));
    }
    open_ = marks;
    link_ = link;
  }

  void open(Mark mark) {
    switch (mark) {
      case kLink: out_ += '['; break;
      case kBold: out_ += "**"; break;
      case kItalic: out_ += '_'; break;
      case kSup: out_ += "<sup>"; break;
      case kSub: out_ += "<sub>"; break;
      case kCode: code_.clear(); break;
      case kMarkCount: break;
    }
  }

  void close(Mark mark) {
    switch (mark) {
      case kLink:
        out_ += "](";
        append_destination(out_, context_.links[static_cast<std::size_t>(link_)]->uri);
        out_ += ')';
        break;
      case kBold: out_ += "**"; break;
      case kItalic: out_ += '_'; break;
      case kSup: out_ += "</sup>"; break;
      case kSub: out_ += "</sub>"; break;
      case kCode: {
        const std::string fence(longest_backtick_run(code_) + 1, '`');
        // A backtick at either end would join the fence: pad with a space.
        const bool pad = code_.front() == '`' || code_.back() == '`';
        out_ += fence;
        if (pad) out_ += ' ';
        out_ += code_;
        if (pad) out_ += ' ';
        out_ += fence;
        break;
      }
      case kMarkCount: break;
    }
  }

  void flush_pending() {
    if (pending_.empty()) return;
    ((open_ & bit(kCode)) != 0 ? code_ : out_) += pending_;
    pending_.clear();
  }

  void put(std::uint32_t ch) {
    if ((open_ & bit(kCode)) != 0) {
      append_utf8(code_, ch);
      return;
    }
    switch (ch) {
      case '\\': case '*': case '_': case '`': case '|':
        out_ += '\\';
        break;
      case '[': case ']':
        if (link_ >= 0) out_ += '\\';
        break;
      default:
        break;
    }
    append_utf8(out_, ch);
  }

  std::string& out_;
  const InlineContext& context_;
  std::uint8_t open_ = 0;  // marks open, bit per Mark
  int link_ = -1;          // index of the open link
  std::string pending_;    // separators waiting for the next text
  std::string code_;       // text of the open code span
  bool started_ = false;   // some text has been written
  std::vector<std::size_t> line_links_;  // the links that meet the current line
};

// Escapes what would open a line as a heading, quote, list, rule or fence:
// the first character, and a number's delimiter outside headings.
void escape_line_start(std::string& out, std::size_t start, bool heading) {
  if (start >= out.size()) return;
  const char first = out[start];
  if (first == '#' || first == '>' || first == '-' || first == '+' || first == '=' || first == '~') {
    out.insert(start, 1, '\\');
    return;
  }
  if (heading) return;
  std::size_t i = start;
  while (i < out.size() && i - start < 10 && out[i] >= '0' && out[i] <= '9') ++i;
  if (i == start || i >= out.size() || (out[i] != '.' && out[i] != ')')) return;
  if (i + 1 == out.size() || out[i + 1] == ' ') out.insert(i, 1, '\\');
}

}  // namespace

void write_inline(std::string& out, const std::vector<Piece>& pieces, const InlineContext& context) {
  const std::size_t start = out.size();
  Writer writer(out, context);
  for (const Piece& piece : pieces) writer.piece(piece);
  writer.finish();
  escape_line_start(out, start, context.heading);
}

}  // namespace textloom::markdown
