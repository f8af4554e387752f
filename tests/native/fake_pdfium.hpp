// A stand-in PDFium for extraction tests: a function table whose functions
// read one scripted page (characters, text objects, fonts) and log every
// call, so tests can make any call fail, see what extraction does with it,
// and check the order of the calls.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ffi.hpp"

namespace textloom::fake {

struct Font {
  std::string name;             // bytes copied into the caller's buffer
  std::size_t name_result = 1;  // what FPDFFont_GetBaseFontName returns (0: failure)
  int flags = 0, weight = 400, italic_angle = 0, embedded = 0;
  float ascent = 0.75f, descent = -0.25f;
  bool metrics_ok = true, angle_ok = true;
};

struct Object {
  float font_size = 10;
  bool size_ok = true;
  int font = 1;  // key into Page::fonts; 0 is the null font handle
  int render_mode = 0;  // 3: invisible
};

struct Char {
  unsigned unicode = 'a';
  int generated = 0;
  double x = 0, y = 0;
  FS_RECTF box{0, 10, 5, 0};  // left, top, right, bottom (user space)
  int object = 1;             // key into Page::objects; 0 is the null object handle
  FS_MATRIX matrix{1, 0, 0, 1, 0, 0};
  double text_font_size = 12;  // FPDFText_GetFontSize
  unsigned r = 0, g = 0, b = 0;
  int info_flags = 0;
  unsigned long info_result = 0;  // FPDFText_GetFontInfo's return
  bool origin_ok = true, box_ok = true, matrix_ok = true, color_ok = true;
};

// A link annotation: its rectangle (user space) and where it leads. A link
// with an action leads by it; one without leads to its destination.
struct Link {
  FS_RECTF rect{10, 20, 30, 5};  // left, top, right, bottom
  bool rect_ok = true, has_action = false;
  unsigned long action_type = kPdfActionUri;
  std::string uri;       // copied with a NUL, as PDFium does
  int dest_page = -1;    // FPDFDest_GetDestPageIndex's answer
  bool has_dest = true;  // false: the destination handle is null
};

// An annotation: its subtype and, for free text and widgets, what the
// annotation and form-field getters answer. Keys of `strings` are present as
// strings, of `numbers` as numbers, of `others` as other objects.
struct Annot {
  int subtype = 0;
  FS_RECTF rect{50, 700, 250, 680};  // left, top, right, bottom (user space)
  bool rect_ok = true;
  std::map<std::string, std::u16string> strings;
  std::map<std::string, float> numbers;
  std::map<std::string, int> others;  // key -> FPDF_OBJECT_* type
  int field_type = -1, field_flags = 0;  // the form-field getters' answers
  std::u16string field_value;
  std::vector<std::pair<std::u16string, bool>> options;  // label, selected
  Annot(int subtype = 0) : subtype(subtype) {}  // NOLINT: a subtype alone is an annotation
};

// A point of a path: PDFium's segment.
struct Segment {
  float x = 0, y = 0;
  int type = kPdfSegmentLineTo;
  bool close = false, point_ok = true;
};

// A page object that is not text: a path, a form (its children keys into
// Page::objects_of_page), or another kind only typed.
struct PageObject {
  int type = kPdfObjectPath;
  FS_MATRIX matrix{1, 0, 0, 1, 0, 0};
  int fill_mode = 0, stroke = 1;
  float width = 1;
  unsigned stroke_rgba[4] = {0, 0, 0, 255}, fill_rgba[4] = {0, 0, 0, 255};
  float bounds[4] = {0, 0, 10, 10};  // left, bottom, right, top
  bool bounds_ok = true;
  std::vector<Segment> segments;
  std::vector<int> children;
  int count_override = 0;  // non-zero: the segment or child count reported
};

// Segment handles: the object's key * 1,000,000 + the segment's index + 1.
inline constexpr int kSegmentsPerKey = 1'000'000;

struct Page {
  bool load_fails = false, text_fails = false;
  int count_override = 0;            // non-zero: FPDFText_CountChars returns this
  float crop[4] = {0, 0, 600, 800};  // left, bottom, right, top
  float media[4] = {0, 0, 500, 700};
  FS_RECTF bounds{1, 700, 401, 2};   // left, top, right, bottom
  bool crop_ok = true, media_ok = true, bounds_ok = true;
  int rotation = 0;
  std::vector<Char> chars;
  std::map<int, Object> objects{{1, Object{}}};
  std::map<int, Font> fonts{{1, Font{"Helvetica"}}};
  std::vector<Link> links;
  std::vector<Annot> annotations;
  std::vector<int> page_objects;            // keys into objects_of_page, in content order
  std::map<int, PageObject> objects_of_page;  // keys from 1
  int object_count_override = 0;            // non-zero: FPDFPage_CountObjects returns this
  int pages_open = 0, text_pages_open = 0;  // observations
  std::vector<std::string> log;             // every call made, by name
};

// The page the table's functions read; set by `table()`.
inline Page* current = nullptr;

inline const Char& char_at(int index) { return current->chars.at(static_cast<std::size_t>(index)); }
inline int key_of(const void* handle) { return static_cast<int>(reinterpret_cast<std::uintptr_t>(handle)); }
inline const Font& font_of(FPDF_FONT font) { return current->fonts.at(key_of(font)); }
template <class Handle>
Handle handle_of(int key) {
  return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(key));
}
// Writes a stored value through `out` when `ok`; what the call returns.
template <class T>
FPDF_BOOL answer(bool ok, const T& value, T* out) {
  if (ok) *out = value;
  return ok;
}
inline FPDF_BOOL box4(bool ok, const float (&v)[4], float* l, float* b, float* r, float* t) {
  if (ok) *l = v[0], *b = v[1], *r = v[2], *t = v[3];
  return ok;
}

// Link, action and destination handles are 1 + the link's index.
inline const Link& link_at(const void* handle) {
  return current->links.at(static_cast<std::size_t>(key_of(handle) - 1));
}

inline PageObject& object_at(const void* handle) { return current->objects_of_page.at(key_of(handle)); }
inline const Segment& segment_at(const void* handle) {
  const int key = key_of(handle);
  return object_at(handle_of<const void*>(key / kSegmentsPerKey))
      .segments.at(static_cast<std::size_t>(key % kSegmentsPerKey - 1));
}
inline FPDF_BOOL rgba(const unsigned (&v)[4], unsigned* r, unsigned* g, unsigned* b, unsigned* a) {
  *r = v[0], *g = v[1], *b = v[2], *a = v[3];
  return 1;
}
inline Annot& annot_at(const void* handle) {
  return current->annotations.at(static_cast<std::size_t>(key_of(handle) - 1));
}
// A UTF-16 text as PDFium's getters give it: the bytes it needs with its NUL,
// copied only into a buffer that holds them all.
inline unsigned long utf16_answer(const std::u16string& text, FPDF_WCHAR* buffer, unsigned long length) {
  const auto bytes = static_cast<unsigned long>((text.size() + 1) * 2);
  if (buffer != nullptr && length >= bytes) {
    std::memcpy(buffer, text.c_str(), bytes);
  }
  return bytes;
}
inline int count_of(const PageObject& o, std::size_t size) {
  return o.count_override != 0 ? o.count_override : static_cast<int>(size);
}

// The stand-ins, before logging wraps them.
inline Pdfium unlogged;

// A table over `page`; functions the extraction never calls stay null.
inline Pdfium table(Page& page) {
  current = &page;
  Pdfium t;
  t.FPDF_LoadPage = [](FPDF_DOCUMENT, int) {
    return current->load_fails ? nullptr : (++current->pages_open, handle_of<FPDF_PAGE>(1));
  };
  t.FPDF_ClosePage = [](FPDF_PAGE) { --current->pages_open; };
  t.FPDFPage_GetRotation = [](FPDF_PAGE) { return current->rotation; };
  t.FPDFPage_GetCropBox = [](FPDF_PAGE, float* l, float* b, float* r, float* top) {
    return box4(current->crop_ok, current->crop, l, b, r, top);
  };
  t.FPDFPage_GetMediaBox = [](FPDF_PAGE, float* l, float* b, float* r, float* top) {
    return box4(current->media_ok, current->media, l, b, r, top);
  };
  t.FPDF_GetPageBoundingBox = [](FPDF_PAGE, FS_RECTF* rect) {
    return answer(current->bounds_ok, current->bounds, rect);
  };
  t.FPDFText_LoadPage = [](FPDF_PAGE) {
    return current->text_fails ? nullptr : (++current->text_pages_open, handle_of<FPDF_TEXTPAGE>(1));
  };
  t.FPDFText_ClosePage = [](FPDF_TEXTPAGE) { --current->text_pages_open; };
  t.FPDFText_CountChars = [](FPDF_TEXTPAGE) {
    return current->count_override != 0 ? current->count_override
                                         : static_cast<int>(current->chars.size());
  };
  t.FPDFText_GetUnicode = [](FPDF_TEXTPAGE, int i) { return char_at(i).unicode; };
  t.FPDFText_IsGenerated = [](FPDF_TEXTPAGE, int i) { return char_at(i).generated; };
  t.FPDFText_GetCharOrigin = [](FPDF_TEXTPAGE, int i, double* x, double* y) -> FPDF_BOOL {
    return answer(char_at(i).origin_ok, char_at(i).x, x) && answer(true, char_at(i).y, y);
  };
  t.FPDFText_GetLooseCharBox = [](FPDF_TEXTPAGE, int i, FS_RECTF* box) {
    return answer(char_at(i).box_ok, char_at(i).box, box);
  };
  t.FPDFText_GetTextObject = [](FPDF_TEXTPAGE, int i) {
    return handle_of<FPDF_PAGEOBJECT>(char_at(i).object);
  };
  t.FPDFText_GetMatrix = [](FPDF_TEXTPAGE, int i, FS_MATRIX* m) {
    return answer(char_at(i).matrix_ok, char_at(i).matrix, m);
  };
  t.FPDFText_GetFontSize = [](FPDF_TEXTPAGE, int i) { return char_at(i).text_font_size; };
  t.FPDFText_GetFontInfo = [](FPDF_TEXTPAGE, int i, void*, unsigned long, int* flags) {
    *flags = char_at(i).info_flags;
    return char_at(i).info_result;
  };
  t.FPDFText_GetFillColor = [](FPDF_TEXTPAGE, int i, unsigned* r, unsigned* g, unsigned* b,
                               unsigned* a) -> FPDF_BOOL {
    const Char& c = char_at(i);
    if (c.color_ok) *r = c.r, *g = c.g, *b = c.b, *a = 255;
    return c.color_ok;
  };
  t.FPDFTextObj_GetFontSize = [](FPDF_PAGEOBJECT object, float* size) {
    const Object& o = current->objects.at(key_of(object));
    return answer(o.size_ok, o.font_size, size);
  };
  t.FPDFTextObj_GetFont = [](FPDF_PAGEOBJECT object) {
    return handle_of<FPDF_FONT>(current->objects.at(key_of(object)).font);
  };
  t.FPDFTextObj_GetTextRenderMode = [](FPDF_PAGEOBJECT object) {
    return current->objects.at(key_of(object)).render_mode;
  };
  t.FPDFFont_GetBaseFontName = [](FPDF_FONT font, char* buffer, std::size_t length) {
    const Font& f = font_of(font);
    std::memcpy(buffer, f.name.data(), std::min(length, f.name.size()));
    return f.name_result;
  };
  t.FPDFFont_GetFlags = [](FPDF_FONT font) { return font_of(font).flags; };
  t.FPDFFont_GetWeight = [](FPDF_FONT font) { return font_of(font).weight; };
  // The font calls write their value even when they report failure.
  t.FPDFFont_GetAscent = [](FPDF_FONT font, float, float* value) -> FPDF_BOOL {
    return *value = font_of(font).ascent, font_of(font).metrics_ok;
  };
  t.FPDFFont_GetDescent = [](FPDF_FONT font, float, float* value) -> FPDF_BOOL {
    return *value = font_of(font).descent, font_of(font).metrics_ok;
  };
  t.FPDFFont_GetItalicAngle = [](FPDF_FONT font, int* angle) -> FPDF_BOOL {
    return *angle = font_of(font).italic_angle, font_of(font).angle_ok;
  };
  t.FPDFFont_GetIsEmbedded = [](FPDF_FONT font) { return font_of(font).embedded; };
  t.FPDFLink_Enumerate = [](FPDF_PAGE, int* position, FPDF_LINK* link) -> FPDF_BOOL {
    if (*position < 0 || static_cast<std::size_t>(*position) >= current->links.size()) return 0;
    *link = handle_of<FPDF_LINK>(++*position);
    return 1;
  };
  t.FPDFLink_GetAnnotRect = [](FPDF_LINK link, FS_RECTF* rect) {
    return answer(link_at(link).rect_ok, link_at(link).rect, rect);
  };
  t.FPDFLink_GetAction = [](FPDF_LINK link) {
    return link_at(link).has_action ? handle_of<FPDF_ACTION>(key_of(link)) : nullptr;
  };
  t.FPDFLink_GetDest = [](FPDF_DOCUMENT, FPDF_LINK link) {
    return link_at(link).has_dest ? handle_of<FPDF_DEST>(key_of(link)) : nullptr;
  };
  t.FPDFAction_GetType = [](FPDF_ACTION action) { return link_at(action).action_type; };
  t.FPDFAction_GetURIPath = [](FPDF_DOCUMENT, FPDF_ACTION action, void* buffer,
                               unsigned long length) -> unsigned long {
    const std::string& uri = link_at(action).uri;
    if (buffer != nullptr && length >= uri.size() + 1) std::memcpy(buffer, uri.c_str(), uri.size() + 1);
    return static_cast<unsigned long>(uri.size() + 1);
  };
  t.FPDFAction_GetDest = [](FPDF_DOCUMENT, FPDF_ACTION action) {
    return link_at(action).has_dest ? handle_of<FPDF_DEST>(key_of(action)) : nullptr;
  };
  t.FPDFDest_GetDestPageIndex = [](FPDF_DOCUMENT, FPDF_DEST dest) { return link_at(dest).dest_page; };
  t.FPDFPage_GetAnnotCount = [](FPDF_PAGE) { return static_cast<int>(current->annotations.size()); };
  t.FPDFPage_GetAnnot = [](FPDF_PAGE, int index) { return handle_of<FPDF_ANNOTATION>(index + 1); };
  t.FPDFAnnot_GetSubtype = [](FPDF_ANNOTATION annot) { return annot_at(annot).subtype; };
  t.FPDFAnnot_GetRect = [](FPDF_ANNOTATION annot, FS_RECTF* rect) {
    return answer(annot_at(annot).rect_ok, annot_at(annot).rect, rect);
  };
  t.FPDFAnnot_GetStringValue = [](FPDF_ANNOTATION annot, const char* key, FPDF_WCHAR* buffer,
                                  unsigned long length) {
    const auto& strings = annot_at(annot).strings;
    const auto found = strings.find(key);
    return utf16_answer(found == strings.end() ? u"" : found->second, buffer, length);
  };
  t.FPDFAnnot_HasKey = [](FPDF_ANNOTATION annot, const char* key) -> FPDF_BOOL {
    const Annot& a = annot_at(annot);
    return a.strings.count(key) + a.numbers.count(key) + a.others.count(key) > 0;
  };
  t.FPDFAnnot_GetValueType = [](FPDF_ANNOTATION annot, const char* key) {
    const Annot& a = annot_at(annot);
    if (a.strings.count(key)) return kPdfObjectString;
    if (a.numbers.count(key)) return 2;  // a number
    return a.others.count(key) ? a.others.at(key) : kPdfObjectUnknown;
  };
  t.FPDFAnnot_GetNumberValue = [](FPDF_ANNOTATION annot, const char* key, float* value) -> FPDF_BOOL {
    const auto& numbers = annot_at(annot).numbers;
    return numbers.count(key) ? (*value = numbers.at(key), 1) : 0;
  };
  t.FPDFAnnot_GetFormFieldType = [](FPDF_FORMHANDLE, FPDF_ANNOTATION annot) {
    return annot_at(annot).field_type;
  };
  t.FPDFAnnot_GetFormFieldFlags = [](FPDF_FORMHANDLE, FPDF_ANNOTATION annot) {
    return annot_at(annot).field_flags;
  };
  t.FPDFAnnot_GetFormFieldValue = [](FPDF_FORMHANDLE, FPDF_ANNOTATION annot, FPDF_WCHAR* buffer,
                                     unsigned long length) {
    return utf16_answer(annot_at(annot).field_value, buffer, length);
  };
  t.FPDFAnnot_GetOptionCount = [](FPDF_FORMHANDLE, FPDF_ANNOTATION annot) {
    return static_cast<int>(annot_at(annot).options.size());
  };
  t.FPDFAnnot_IsOptionSelected = [](FPDF_FORMHANDLE, FPDF_ANNOTATION annot, int i) -> FPDF_BOOL {
    return annot_at(annot).options.at(static_cast<std::size_t>(i)).second;
  };
  t.FPDFAnnot_GetOptionLabel = [](FPDF_FORMHANDLE, FPDF_ANNOTATION annot, int i, FPDF_WCHAR* buffer,
                                  unsigned long length) {
    return utf16_answer(annot_at(annot).options.at(static_cast<std::size_t>(i)).first, buffer, length);
  };
  t.FPDFPage_CloseAnnot = [](FPDF_ANNOTATION) {};
  t.FPDFPage_CountObjects = [](FPDF_PAGE) {
    return current->object_count_override != 0 ? current->object_count_override
                                                : static_cast<int>(current->page_objects.size());
  };
  t.FPDFPage_GetObject = [](FPDF_PAGE, int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= current->page_objects.size()) return FPDF_PAGEOBJECT{};
    return handle_of<FPDF_PAGEOBJECT>(current->page_objects[static_cast<std::size_t>(i)]);
  };
  t.FPDFPageObj_GetType = [](FPDF_PAGEOBJECT o) { return object_at(o).type; };
  t.FPDFPageObj_GetMatrix = [](FPDF_PAGEOBJECT o, FS_MATRIX* m) { return answer(true, object_at(o).matrix, m); };
  t.FPDFPageObj_GetBounds = [](FPDF_PAGEOBJECT o, float* l, float* b, float* r, float* top) {
    return box4(object_at(o).bounds_ok, object_at(o).bounds, l, b, r, top);
  };
  t.FPDFPageObj_GetStrokeWidth = [](FPDF_PAGEOBJECT o, float* w) { return answer(true, object_at(o).width, w); };
  t.FPDFPageObj_GetStrokeColor = [](FPDF_PAGEOBJECT o, unsigned* r, unsigned* g, unsigned* b, unsigned* a) {
    return rgba(object_at(o).stroke_rgba, r, g, b, a);
  };
  t.FPDFPageObj_GetFillColor = [](FPDF_PAGEOBJECT o, unsigned* r, unsigned* g, unsigned* b, unsigned* a) {
    return rgba(object_at(o).fill_rgba, r, g, b, a);
  };
  t.FPDFPath_GetDrawMode = [](FPDF_PAGEOBJECT o, int* fill, FPDF_BOOL* stroke) -> FPDF_BOOL {
    *fill = object_at(o).fill_mode, *stroke = object_at(o).stroke;
    return 1;
  };
  t.FPDFPath_CountSegments = [](FPDF_PAGEOBJECT o) { return count_of(object_at(o), object_at(o).segments.size()); };
  t.FPDFPath_GetPathSegment = [](FPDF_PAGEOBJECT o, int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= object_at(o).segments.size()) return FPDF_PATHSEGMENT{};
    return handle_of<FPDF_PATHSEGMENT>(key_of(o) * kSegmentsPerKey + i + 1);
  };
  t.FPDFPathSegment_GetPoint = [](FPDF_PATHSEGMENT s, float* x, float* y) -> FPDF_BOOL {
    *x = segment_at(s).x, *y = segment_at(s).y;
    return segment_at(s).point_ok;
  };
  t.FPDFPathSegment_GetType = [](FPDF_PATHSEGMENT s) { return segment_at(s).type; };
  t.FPDFPathSegment_GetClose = [](FPDF_PATHSEGMENT s) -> FPDF_BOOL { return segment_at(s).close; };
  t.FPDFFormObj_CountObjects = [](FPDF_PAGEOBJECT o) { return count_of(object_at(o), object_at(o).children.size()); };
  t.FPDFFormObj_GetObject = [](FPDF_PAGEOBJECT o, unsigned long i) {
    const std::vector<int>& children = object_at(o).children;
    return i < children.size() ? handle_of<FPDF_PAGEOBJECT>(children[i]) : FPDF_PAGEOBJECT{};
  };
  unlogged = t;
#define TEXTLOOM_FAKE_LOGGED(name, ret, params)                  \
  if (unlogged.name != nullptr) {                                \
    t.name = [](auto... args) -> ret {                           \
      current->log.emplace_back(#name);                          \
      return unlogged.name(args...);                             \
    };                                                           \
  }
  TEXTLOOM_PDFIUM_FUNCTIONS(TEXTLOOM_FAKE_LOGGED)
#undef TEXTLOOM_FAKE_LOGGED
  return t;
}

}  // namespace textloom::fake
