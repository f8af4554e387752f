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
  std::vector<int> annotations;  // subtypes
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
  t.FPDFAnnot_GetSubtype = [](FPDF_ANNOTATION annot) {
    return current->annotations.at(static_cast<std::size_t>(key_of(annot) - 1));
  };
  t.FPDFPage_CloseAnnot = [](FPDF_ANNOTATION) {};
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
