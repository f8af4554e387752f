// The page glyph model: what extraction reads from PDFium for one page (one
// Glyph per kept character, one FontInfo per distinct font, the page's links
// and rules, the page geometry and phase timings), and the FontInfo
// constructor that classifies fonts by PDFium's flags, weight, italic angle
// and the font name. Extraction itself
// is in extract.cpp; layout and output read these records and never change them.
//
// Page space, used by every coordinate here: origin at the top-left corner of
// the crop box, x to the right, y downward, in points. A PDF user-space point
// (px, py) becomes (px - crop left, crop top - py). The page's rotation is not
// applied; output applies it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "num.hpp"

namespace textloom {

// Classification bits of FontInfo::style (bit 1, superscript, belongs to spans).
inline constexpr std::uint32_t kStyleSuperscript = 1;
inline constexpr std::uint32_t kStyleItalic = 2;
inline constexpr std::uint32_t kStyleSerif = 4;
inline constexpr std::uint32_t kStyleMono = 8;
inline constexpr std::uint32_t kStyleBold = 16;

// PDF font descriptor flags.
inline constexpr std::uint32_t kPdfFixedPitch = 1;
inline constexpr std::uint32_t kPdfSerif = 2;
inline constexpr std::uint32_t kPdfItalic = 64;
inline constexpr std::uint32_t kPdfForceBold = 0x40000;

// One kept character.
struct Glyph {
  double origin_x;    // baseline start, page space
  double origin_y;    // page space
  double end_x;       // origin + advance * direction: pen position after the glyph
  double end_y;       // page space
  double dir_x;       // unit baseline vector, page space
  double dir_y;       // positive means downward
  double size;        // effective font size: nominal size * sqrt(|det(text matrix)|)
  std::uint32_t font;   // index into PageGlyphs::fonts
  std::uint32_t color;  // fill colour 0xRRGGBB, 0 when PDFium gives none
  std::uint32_t index;  // the character's index in PDFium's text page
  std::uint32_t ch;     // Unicode scalar: never 0, a surrogate, or >= U+FFFE
  bool hyphen;        // PDFium reported U+0002 (end-of-line hyphen); ch is then '-'
  bool repeat;        // same origin, end and font as the glyph kept just before
  bool space_before;  // a PDFium-generated space was dropped right before this glyph
  bool invisible;     // drawn in text render mode 3 (neither filled nor stroked): an OCR layer
};

// One font of a page.
struct FontInfo {
  std::string name;         // base font name, subset prefix removed; may be empty
  double ascent;            // as PDFium reports it for size 1 (0.8 when the call fails)
  double descent;           // likewise (-0.2 when the call fails)
  double ascender;          // repaired ascent used for boxes
  double descender;         // repaired descent used for boxes
  std::uint32_t flags;      // PDF font descriptor flags
  std::int32_t weight;      // 400 normal, 700 bold
  std::int32_t italic_angle;  // degrees, 0 when PDFium gives none
  std::uint32_t style;      // kStyle* bits; never kStyleSuperscript here
  bool embedded;            // the font program is embedded in the file
};

// A link annotation of a page that leads to a URI or to a page of the document.
struct PageLink {
  double x0, y0, x1, y1;  // the annotation's rectangle, page space
  std::string uri;        // UTF-8; empty when the link leads to a page
  std::int32_t page;      // the target page's index, -1 when it leads to a URI
};

// A straight horizontal or vertical line of the page's vector graphics, or a
// thin filled rectangle, that can be a table rule: its centre line.
struct PageRule {
  double x0;             // left end, page space (x0 <= x1)
  double y0;             // top end, page space (y0 <= y1)
  double x1;             // right end; x1 == x0 for a vertical rule
  double y1;             // bottom end; y1 == y0 for a horizontal rule
  double width;          // thickness across the line, points
  std::uint32_t color;   // 0xRRGGBB of the stroke, or of the fill for a rectangle
  bool filled;           // a filled thin rectangle rather than a stroked line
};

// One page.
struct PageGlyphs {
  std::vector<Glyph> glyphs;     // in PDFium character order
  std::vector<FontInfo> fonts;   // in order of first use
  std::vector<PageLink> links;   // in annotation order
  std::vector<PageRule> rules;   // in content order, form XObjects in place
  std::vector<Rect> marks;       // boxes of paths that draw figures (curves, slanted
                                 // lines, polygons), page space; what tells charts from tables
  std::vector<Rect> images;      // boxes of image objects, page space, form XObjects in place
  std::vector<Glyph> shown;      // what filled form fields and free-text annotations show,
                                 // laid as placed text, kept aside (with_shown_text adds
                                 // them; their font index is set there)
  double width = 0;              // |crop right - crop left|
  double height = 0;             // |crop top - crop bottom|
  std::array<double, 4> crop{};  // crop box (left, bottom, right, top), PDF user space
  std::uint64_t t_load_page = 0;  // nanoseconds per extraction phase
  std::uint64_t t_load_text = 0;
  std::uint64_t t_chars = 0;
  std::uint64_t t_close = 0;
  std::uint32_t rotation = 0;    // 0, 90, 180 or 270 degrees
  std::int32_t n_chars = 0;      // PDFium's character count, dropped ones included
  std::uint32_t text_annotations = 0;  // free-text and form-widget annotations: text the
                                       // text page does not hold (read into `shown`)
};

// Builds a FontInfo: name, flags, weight, italic angle, embedded, ascent and
// descent are kept as given; style, ascender and descender are computed.
FontInfo make_font_info(std::string name, std::uint32_t flags, std::int32_t weight,
                        std::int32_t italic_angle, bool embedded, double ascent,
                        double descent);

// The font name without its six-capital-letter subset tag ("ABCDEF+Times" -> "Times").
std::string strip_subset_prefix(std::string_view name);

}  // namespace textloom
