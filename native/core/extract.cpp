// Page extraction: the four timed phases (load page, load text, characters,
// links and rules, close), the character loop with its per-object and per-font
// caches, the two post-passes (kerning overlap, ligatures), and the links.

#include "extract.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "clock.hpp"
#include "extract_paths.hpp"
#include "extract_shown.hpp"
#include "num.hpp"
#include "utf8.hpp"

namespace textloom {

namespace {

constexpr std::uint32_t kHyphenMarker = 2;
constexpr double kAxisEpsilon = 0.001;  // a direction component below this is zero

// Crop box (left, bottom, right, top), falling back to the media box, the
// bounding box and finally US Letter.
std::array<double, 4> read_crop_box(const Pdfium& pdf, FPDF_PAGE page) {
  float l = 0, b = 0, r = 0, t = 0;
  if (pdf.FPDFPage_GetCropBox(page, &l, &b, &r, &t) ||
      pdf.FPDFPage_GetMediaBox(page, &l, &b, &r, &t)) {
    return {l, b, r, t};
  }
  FS_RECTF box{};
  if (pdf.FPDF_GetPageBoundingBox(page, &box)) {
    return {box.left, box.bottom, box.right, box.top};
  }
  return {0, 0, 612, 792};
}

FontInfo read_font(const Pdfium& pdf, FPDF_FONT font) {
  if (font == nullptr) return make_font_info("", 0, 0, 0, true, 0.8, -0.2);
  const bool embedded = pdf.FPDFFont_GetIsEmbedded(font) != 0;
  char buffer[256] = {};
  std::string name;
  if (pdf.FPDFFont_GetBaseFontName(font, buffer, sizeof buffer) != 0) {
    std::size_t length = 0;
    while (length < sizeof buffer && buffer[length] != '\0') ++length;
    name = strip_subset_prefix(utf8_lossy(std::string_view(buffer, length)));
  }
  const int raw_flags = pdf.FPDFFont_GetFlags(font);
  const auto flags = static_cast<std::uint32_t>(raw_flags > 0 ? raw_flags : 0);
  const std::int32_t weight = pdf.FPDFFont_GetWeight(font);
  float ascent = 0, descent = 0;
  int angle = 0;
  const double a = pdf.FPDFFont_GetAscent(font, 1.0f, &ascent) ? double{ascent} : 0.8;
  const double d = pdf.FPDFFont_GetDescent(font, 1.0f, &descent) ? double{descent} : -0.2;
  if (!pdf.FPDFFont_GetItalicAngle(font, &angle)) angle = 0;
  return make_font_info(std::move(name), flags, weight, angle, embedded, a, d);
}

// Text object handle -> ObjState, open addressing over a flat table: pages
// have hundreds of objects, and a node per object would cost more than the
// PDFium calls it saves. The null handle is a valid key.
class ObjectStates {
 public:
  // The state of `object`, or null.
  const ObjState* find(FPDF_PAGEOBJECT object) const {
    if (slots_.empty()) return nullptr;
    for (std::size_t i = hash(object) & mask();; i = (i + 1) & mask()) {
      const Slot& slot = slots_[i];
      if (slot.index == kEmpty) return nullptr;
      if (slot.key == object) return &states_[slot.index];
    }
  }

  // Adds the state of a new object; earlier state pointers become invalid.
  const ObjState& insert(FPDF_PAGEOBJECT object, const ObjState& state) {
    if ((states_.size() + 1) * 2 > slots_.size()) grow(slots_.empty() ? 512 : slots_.size() * 2);
    states_.push_back(state);
    keys_.push_back(object);
    place(object, static_cast<std::uint32_t>(states_.size() - 1));
    return states_.back();
  }

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
  struct Slot {
    FPDF_PAGEOBJECT key;
    std::uint32_t index;
  };

  std::size_t mask() const { return slots_.size() - 1; }
  static std::size_t hash(FPDF_PAGEOBJECT object) {
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object));
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 20);
  }
  void place(FPDF_PAGEOBJECT object, std::uint32_t index) {
    std::size_t i = hash(object) & mask();
    while (slots_[i].index != kEmpty) i = (i + 1) & mask();
    slots_[i] = Slot{object, index};
  }
  void grow(std::size_t capacity) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(capacity, Slot{nullptr, kEmpty});
    for (const Slot& slot : old) {
      if (slot.index != kEmpty) place(slot.key, slot.index);
    }
  }

  std::vector<Slot> slots_;
  std::vector<ObjState> states_;
  std::vector<FPDF_PAGEOBJECT> keys_;  // by state index: the objects in order of first use

 public:
  // The position of `state` (one of this table's) in order of first use.
  std::uint32_t index_of(const ObjState& state) const {
    return static_cast<std::uint32_t>(&state - states_.data());
  }
  const std::vector<FPDF_PAGEOBJECT>& keys() const { return keys_; }
};

// Working state of one character loop.
struct Extraction {
  const Pdfium& pdf;
  FPDF_TEXTPAGE text_page;
  PageGlyphs& page;
  ObjectStates objects;
  std::vector<std::uint32_t> owners;  // per glyph: the index of its object's state
  // Font handle -> font index; a page has few fonts, so a short list is fastest.
  std::vector<std::pair<FPDF_FONT, std::uint32_t>> font_indexes;

  std::uint32_t font_of(FPDF_PAGEOBJECT object, int i) {
    const FPDF_FONT font = pdf.FPDFTextObj_GetFont(object);
    if (!font_indexes.empty() && font_indexes.back().first == font) {
      return font_indexes.back().second;
    }
    for (const auto& [handle, index] : font_indexes) {
      if (handle == font) return index;
    }
    FontInfo info = read_font(pdf, font);
    int flags = 0;
    if (pdf.FPDFText_GetFontInfo(text_page, i, nullptr, 0, &flags) != 0) {
      info.flags = static_cast<std::uint32_t>(flags);
    }
    const auto index = static_cast<std::uint32_t>(page.fonts.size());
    page.fonts.push_back(std::move(info));
    font_indexes.emplace_back(font, index);
    return index;
  }

  ObjState make_state(FPDF_PAGEOBJECT object, int i) {
    // Identity when PDFium cannot give the matrix: an upright glyph beats a
    // direction of (0, 0).
    FS_MATRIX m{1, 0, 0, 1, 0, 0};
    if (!pdf.FPDFText_GetMatrix(text_page, i, &m)) m = FS_MATRIX{1, 0, 0, 1, 0, 0};
    double size = 0;
    std::uint32_t font = 0;
    if (object == nullptr) {
      size = pdf.FPDFText_GetFontSize(text_page, i);
      font = static_cast<std::uint32_t>(page.fonts.size());
      page.fonts.push_back(make_font_info("", 0, 400, 0, true, 0.8, -0.2));
    } else {
      float nominal = 0;
      size = pdf.FPDFTextObj_GetFontSize(object, &nominal) ? double{nominal} : 0.0;
      font = font_of(object, i);
    }
    const double a = m.a, b = m.b, c = m.c, d = m.d;
    const double det = a * d - b * c;
    if (det != 0 && !std::isnan(det)) size *= std::sqrt(std::fabs(det));
    // hypot(a, 0) is |a| exactly; most text is not rotated.
    double h = b == 0 ? std::fabs(a) : std::hypot(a, b);
    if (h == 0) h = 1;
    ObjState st{};
    st.size = size;
    st.dir_x = a / h;
    st.dir_y = -b / h;
    st.abs_dir_x = std::fabs(st.dir_x);
    st.abs_dir_y = std::fabs(st.dir_y);
    unsigned int r = 0, g = 0, bl = 0, alpha = 0;
    if (pdf.FPDFText_GetFillColor(text_page, i, &r, &g, &bl, &alpha)) {
      st.color = ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (bl & 0xFF);
    }
    const FontInfo& info = page.fonts[font];
    st.em = info.ascent - info.descent;
    st.font = font;
    return st;
  }

  // Consecutive characters mostly share their text object: remember the last
  // hit. Only an insert moves states, and every insert renews this pointer.
  FPDF_PAGEOBJECT last_object = nullptr;
  const ObjState* last_state = nullptr;

  const ObjState& state_of(FPDF_PAGEOBJECT object, int i) {
    if (last_state != nullptr && object == last_object) return *last_state;
    const ObjState* state = objects.find(object);
    if (state == nullptr) state = &objects.insert(object, make_state(object, i));
    last_object = object;
    last_state = state;
    return *state;
  }
};

// Advance along the baseline from the loose box, whose extent across the
// baseline (one em of the font) is removed for slanted directions.
double advance(const ObjState& st, const FS_RECTF& box) {
  const double width = std::fabs(double{box.right} - double{box.left});
  const double height = std::fabs(double{box.top} - double{box.bottom});
  if (st.abs_dir_y < kAxisEpsilon) return width;
  if (st.abs_dir_x < kAxisEpsilon) return height;
  const double g = st.size * st.em;
  const double w = st.abs_dir_y <= st.abs_dir_x ? (width - st.abs_dir_y * g) / st.abs_dir_x
                                                : (height - st.abs_dir_x * g) / st.abs_dir_y;
  return w >= 0 ? w : 0.0;  // negative or NaN
}

// Kerned text: a glyph's loose box may reach past the next glyph's origin on
// the same baseline; cut its advance back to that origin. Only `p` changes, and
// only here, so this runs as each glyph is appended.
void trim_overlap(Glyph& p, const Glyph& c) {
  if (p.dir_y == 0 && p.dir_x > 0 && c.dir_x > 0 && c.origin_y == p.origin_y &&
      p.origin_x < c.origin_x && c.origin_x < p.end_x && !c.repeat && !c.space_before) {
    p.end_x = c.origin_x;
  }
}

void read_chars(Extraction& ex, int n_chars) {
  const Pdfium& pdf = ex.pdf;
  PageGlyphs& page = ex.page;
  const double crop_left = page.crop[0], crop_top = page.crop[3];
  bool space_before = false;
  // A failing origin or box call leaves the previous character's values.
  double x = 0, y = 0;
  FS_RECTF box{};
  for (int i = 0; i < n_chars; ++i) {
    const std::uint32_t u = pdf.FPDFText_GetUnicode(ex.text_page, i);
    bool hyphen = false;
    std::uint32_t ch = u;
    if (u == kHyphenMarker) {
      hyphen = true;
      ch = '-';
    } else if (u == '\n' || u == '\r') {
      // Asked only because the call order requires it: CR and LF go either way.
      pdf.FPDFText_IsGenerated(ex.text_page, i);
      continue;
    } else if (u == ' ') {
      if (pdf.FPDFText_IsGenerated(ex.text_page, i) == 1) {
        space_before = true;
        continue;
      }
    } else if (u == 0 || u >= 0xFFFE || (u >= 0xD800 && u <= 0xDFFF)) {
      ch = kReplacementChar;
    }
    const ObjState& st = ex.state_of(pdf.FPDFText_GetTextObject(ex.text_page, i), i);
    ex.owners.push_back(ex.objects.index_of(st));
    pdf.FPDFText_GetCharOrigin(ex.text_page, i, &x, &y);
    pdf.FPDFText_GetLooseCharBox(ex.text_page, i, &box);
    const double w = advance(st, box);

    Glyph& glyph = page.glyphs.emplace_back();
    glyph.origin_x = x - crop_left;
    glyph.origin_y = crop_top - y;
    glyph.end_x = glyph.origin_x + w * st.dir_x;
    glyph.end_y = glyph.origin_y + w * st.dir_y;
    glyph.dir_x = st.dir_x;
    glyph.dir_y = st.dir_y;
    glyph.size = st.size;
    glyph.font = st.font;
    glyph.color = st.color;
    glyph.index = static_cast<std::uint32_t>(i);
    glyph.ch = ch;
    glyph.hyphen = hyphen;
    glyph.space_before = space_before;
    glyph.invisible = false;
    glyph.repeat = false;
    space_before = false;
    if (page.glyphs.size() > 1) {
      Glyph& prev = page.glyphs[page.glyphs.size() - 2];
      glyph.repeat = prev.origin_x == glyph.origin_x && prev.origin_y == glyph.origin_y &&
                     prev.end_x == glyph.end_x && prev.end_y == glyph.end_y &&
                     prev.font == glyph.font;
      trim_overlap(prev, glyph);
    }
  }
}

// The ligature a run of glyphs sharing one box spells, or 0.
std::uint32_t ligature_of(const Glyph* run, std::size_t length) {
  auto is = [&](const char* text) {
    for (std::size_t k = 0; k < length; ++k) {
      if (text[k] == '\0' || run[k].ch != static_cast<unsigned char>(text[k])) return false;
    }
    return text[length] == '\0';
  };
  if (length == 2) {
    if (is("ff")) return 0xFB00;
    if (is("fi")) return 0xFB01;
    if (is("fl")) return 0xFB02;
    if (is("st")) return 0xFB06;
  } else if (length == 3) {
    if (is("ffi")) return 0xFB03;
    if (is("ffl")) return 0xFB04;
  }
  return 0;
}

// PDFium expands a ligature into several glyphs that share one box (all but
// the first marked `repeat`); join such runs back into the ligature.
void join_ligatures(std::vector<Glyph>& glyphs) {
  std::size_t out = 0;
  std::size_t start = 0;
  const std::size_t n = glyphs.size();
  while (start < n) {
    std::size_t end = start + 1;
    while (end < n && glyphs[end].repeat) ++end;
    const std::uint32_t ligature = ligature_of(&glyphs[start], end - start);
    if (ligature != 0) {
      Glyph joined = glyphs[start];
      joined.ch = ligature;
      glyphs[out++] = joined;
    } else {
      for (std::size_t k = start; k < end; ++k) glyphs[out++] = glyphs[k];
    }
    start = end;
  }
  glyphs.resize(out);
}

// The index of the page a destination points to, or -1.
std::int32_t dest_page(const Pdfium& pdf, FPDF_DOCUMENT doc, FPDF_DEST dest) {
  if (dest == nullptr) return -1;
  const int index = pdf.FPDFDest_GetDestPageIndex(doc, dest);
  return index >= 0 ? index : -1;
}

// A URI action's target as UTF-8 (up to its NUL); empty when it has none.
std::string read_uri(const Pdfium& pdf, FPDF_DOCUMENT doc, FPDF_ACTION action) {
  constexpr unsigned long kMaxUri = 1ul << 20;  // longer is no address but damage
  const unsigned long size = pdf.FPDFAction_GetURIPath(doc, action, nullptr, 0);
  if (size == 0 || size > kMaxUri) return {};
  std::string buffer(size, '\0');
  const unsigned long written = pdf.FPDFAction_GetURIPath(doc, action, buffer.data(), size);
  if (written == 0 || written > size) return {};
  buffer.resize(std::min<std::size_t>(buffer.find('\0'), written));
  return utf8_lossy(buffer);
}

// The page's link annotations that lead to a URI or to a page, in annotation
// order, their rectangles moved into page space by the crop box.
std::vector<PageLink> read_links(const Pdfium& pdf, FPDF_DOCUMENT doc, FPDF_PAGE page,
                                 const std::array<double, 4>& crop) {
  std::vector<PageLink> links;
  int position = 0;
  FPDF_LINK link = nullptr;
  while (pdf.FPDFLink_Enumerate(page, &position, &link)) {
    FS_RECTF rect{};
    if (!pdf.FPDFLink_GetAnnotRect(link, &rect)) continue;
    PageLink entry{0, 0, 0, 0, {}, -1};
    if (FPDF_ACTION action = pdf.FPDFLink_GetAction(link)) {
      const unsigned long kind = pdf.FPDFAction_GetType(action);
      if (kind == kPdfActionUri) {
        entry.uri = read_uri(pdf, doc, action);
      } else if (kind == kPdfActionGoTo) {
        entry.page = dest_page(pdf, doc, pdf.FPDFAction_GetDest(doc, action));
      }
    } else {
      entry.page = dest_page(pdf, doc, pdf.FPDFLink_GetDest(doc, link));
    }
    if (entry.uri.empty() && entry.page < 0) continue;  // leads nowhere we can name
    const double left = rect.left, right = rect.right, bottom = rect.bottom, top = rect.top;
    entry.x0 = min_num(left, right) - crop[0];
    entry.x1 = max_num(left, right) - crop[0];
    entry.y0 = crop[3] - max_num(bottom, top);
    entry.y1 = crop[3] - min_num(bottom, top);
    links.push_back(std::move(entry));
  }
  return links;
}

// The indices of the page's annotations whose text a viewer shows with the
// page's own: free text and form widgets (read after every other call).
std::vector<TextAnnotation> text_annotations(const Pdfium& pdf, FPDF_PAGE page) {
  std::vector<TextAnnotation> found;
  const int n = pdf.FPDFPage_GetAnnotCount(page);
  for (int i = 0; i < n; ++i) {
    FPDF_ANNOTATION annot = pdf.FPDFPage_GetAnnot(page, i);
    if (annot == nullptr) continue;
    const int subtype = pdf.FPDFAnnot_GetSubtype(annot);
    pdf.FPDFPage_CloseAnnot(annot);
    if (subtype == kPdfAnnotFreeText || subtype == kPdfAnnotWidget ||
        subtype == kPdfAnnotXfaWidget) {
      found.push_back(TextAnnotation{i, subtype});
    }
  }
  return found;
}

// Marks the glyphs of text objects drawn invisible (render mode 3), asked
// once per object after every other call of the extraction.
void read_render_modes(const Pdfium& pdf, const Extraction& ex, std::vector<Glyph>& glyphs) {
  const std::vector<FPDF_PAGEOBJECT>& objects = ex.objects.keys();
  std::vector<bool> invisible(objects.size(), false);
  bool any = false;
  for (std::size_t k = 0; k < objects.size(); ++k) {
    if (objects[k] == nullptr) continue;  // chars of no object: drawn as the text page has them
    invisible[k] = pdf.FPDFTextObj_GetTextRenderMode(objects[k]) == kPdfTextRenderInvisible;
    any = any || invisible[k];
  }
  if (!any) return;
  for (std::size_t g = 0; g < glyphs.size(); ++g) glyphs[g].invisible = invisible[ex.owners[g]];
}

}  // namespace

Result<PageGlyphs> extract_page(const Pdfium& pdf, FPDF_DOCUMENT doc, std::int32_t index,
                                bool ligatures, FPDF_FORMHANDLE form) {
  PageGlyphs page;
  const std::uint64_t t0 = now_ns();
  PagePtr page_handle(pdf.FPDF_LoadPage(doc, index), PageCloser{&pdf});
  const std::uint64_t t1 = now_ns();
  if (!page_handle) return Error{"cannot load page " + std::to_string(index)};

  TextPagePtr text_page(pdf.FPDFText_LoadPage(page_handle.get()), TextPageCloser{&pdf});
  if (!text_page) return Error{"cannot load text of page " + std::to_string(index)};
  // The call order counts once inside the timed text loading; this result is unused.
  pdf.FPDFText_CountChars(text_page.get());
  const std::uint64_t t2 = now_ns();

  page.crop = read_crop_box(pdf, page_handle.get());
  page.width = std::fabs(page.crop[2] - page.crop[0]);
  page.height = std::fabs(page.crop[3] - page.crop[1]);
  page.rotation = static_cast<std::uint32_t>(pdf.FPDFPage_GetRotation(page_handle.get()) & 3) * 90;
  // Counted again, as the call order has it, for the count kept. PDFium
  // reports -1 when it cannot count; that is an empty page, not a
  // reservation of 2^64 glyphs.
  const int n_chars = pdf.FPDFText_CountChars(text_page.get());
  page.n_chars = n_chars > 0 ? n_chars : 0;
  Extraction ex{pdf, text_page.get(), page, {}, {}, {}};
  if (page.n_chars > 0) {
    page.glyphs.reserve(static_cast<std::size_t>(page.n_chars));
    ex.owners.reserve(static_cast<std::size_t>(page.n_chars));
    read_chars(ex, page.n_chars);
  }
  page.links = read_links(pdf, doc, page_handle.get(), page.crop);
  const std::vector<TextAnnotation> annotations = text_annotations(pdf, page_handle.get());
  page.text_annotations = static_cast<std::uint32_t>(annotations.size());
  read_rules(pdf, page_handle.get(), page.crop, page.rules, page.marks, page.images);
  read_render_modes(pdf, ex, page.glyphs);
  if (!annotations.empty()) {
    page.shown = placed_glyphs(
        read_shown_runs(pdf, form, page_handle.get(), annotations, page.crop, page.rotation),
        page.rotation, 0, static_cast<std::uint32_t>(page.n_chars), false);
  }
  // After the render modes: joining moves glyphs, and the modes go by glyph.
  if (ligatures) join_ligatures(page.glyphs);
  const std::uint64_t t3 = now_ns();

  text_page.reset();
  page_handle.reset();
  const std::uint64_t t4 = now_ns();
  page.t_load_page = elapsed_ns(t0, t1);
  page.t_load_text = elapsed_ns(t1, t2);
  page.t_chars = elapsed_ns(t2, t3);
  page.t_close = elapsed_ns(t3, t4);
  return page;
}

}  // namespace textloom
