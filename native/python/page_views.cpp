// RsPage's views of itself: new pages made from its glyph model.

#include "page_views.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "args.hpp"
#include "page.hpp"
#include "placed_text.hpp"
#include "visible.hpp"

namespace textloom::py {

PyObject* page_visible(PyObject* self, PyObject*) {
  std::optional<PageGlyphs> visible = without_offpage_words(page_glyphs(self));
  if (!visible) {
    Py_INCREF(self);  // nothing lies outside: the page is its own view
    return self;
  }
  return new_page(std::move(*visible));
}

const char* page_visible_doc() {
  return "visible($self)\n--\n\n"
         "The page without the words that lie wholly outside its crop box (no viewer shows\n"
         "them); the page itself when it has none. A word that reaches into the box stays.";
}

PyObject* page_with_shown_text(PyObject* self, PyObject*) {
  const PageGlyphs& page = page_glyphs(self);
  if (page.shown.empty()) {
    Py_INCREF(self);  // nothing shown beside the page's own text: the page is its own view
    return self;
  }
  return new_page(with_shown_text(page));
}

const char* page_with_shown_text_doc() {
  return "with_shown_text($self)\n--\n\n"
         "The page with what its filled form fields and free-text annotations show (read by\n"
         "load_page) as text in their boxes, after its own; the page itself when it has none.";
}

namespace {

// Calls `read` on each item of the iterable `items`; false, with the error
// set, when iterating or reading fails.
template <class Read>
bool read_each(PyObject* items, Read read) {
  PyObject* iterator = PyObject_GetIter(items);
  if (iterator == nullptr) return false;
  while (PyObject* item = PyIter_Next(iterator)) {
    const bool ok = read(item);
    Py_DECREF(item);
    if (!ok) {
      Py_DECREF(iterator);
      return false;
    }
  }
  Py_DECREF(iterator);
  return PyErr_Occurred() == nullptr;
}

struct WithTextArgs {
  PyObject* runs = nullptr;
  std::string font = "Helvetica";
  bool replace = false;
  std::int32_t upright = -1;
};
const Signature<WithTextArgs, 4> kWithTextSignature{
    "RsPage.with_text",
    {{{"runs", &WithTextArgs::runs},
      {"font", &WithTextArgs::font, "'Helvetica'"},
      {"replace", &WithTextArgs::replace, "False"},
      {"upright", &WithTextArgs::upright, "-1"}}}};

// One (text, x0, y0, x1, y1) item; false with TypeError for anything else.
bool read_run(PyObject* item, PlacedRun& run) {
  if (!PyTuple_Check(item) || PyTuple_Size(item) != 5) {
    PyErr_SetString(PyExc_TypeError, "a run must be a tuple (text, x0, y0, x1, y1)");
    return false;
  }
  if (!convert(PyTuple_GetItem(item, 0), run.text)) return false;
  double* coords[4] = {&run.x0, &run.y0, &run.x1, &run.y1};
  for (Py_ssize_t i = 0; i < 4; ++i) {
    if (!convert(PyTuple_GetItem(item, i + 1), *coords[i])) return false;
  }
  return true;
}

}  // namespace

PyObject* page_with_text(PyObject* self, PyObject* args, PyObject* kwargs) {
  WithTextArgs a;
  if (!parse_args(kWithTextSignature, args, kwargs, a)) return nullptr;
  std::vector<PlacedRun> runs;
  if (!read_each(a.runs, [&](PyObject* item) { return read_run(item, runs.emplace_back()); })) {
    return nullptr;
  }
  return new_page(
      with_placed_text(page_glyphs(self), runs, std::move(a.font), a.replace, a.upright));
}

namespace {

struct WithoutCharsArgs {
  PyObject* chars = nullptr;
};
const Signature<WithoutCharsArgs, 1> kWithoutCharsSignature{
    "RsPage.without_chars", {{{"chars", &WithoutCharsArgs::chars}}}};

}  // namespace

PyObject* page_without_chars(PyObject* self, PyObject* args, PyObject* kwargs) {
  WithoutCharsArgs a;
  if (!parse_args(kWithoutCharsSignature, args, kwargs, a)) return nullptr;
  std::vector<std::uint32_t> gone;
  const bool read = read_each(a.chars, [&](PyObject* item) {
    return convert(item, gone.emplace_back());
  });
  if (!read) return nullptr;
  std::sort(gone.begin(), gone.end());
  PageGlyphs page = page_glyphs(self);
  std::erase_if(page.glyphs, [&](const Glyph& g) {
    return std::binary_search(gone.begin(), gone.end(), g.index);
  });
  return new_page(std::move(page));
}

const char* page_without_chars_doc() {
  static const std::string doc = docstring(
      kWithoutCharsSignature,
      "The page without the glyphs whose indices are in `chars` (as a table's chars give\n"
      "them): what Markdown writes in place of the tables it writes itself.");
  return doc.c_str();
}

const char* page_with_text_doc() {
  static const std::string doc = docstring(
      kWithTextSignature,
      "The page with text it shows but does not hold as characters (form field values, OCR\n"
      "words): each run (text, x0, y0, x1, y1), one line in a page-space box, becomes glyphs\n"
      "of the font `font` spread evenly along the box, upright in the viewer's frame. Runs\n"
      "that are empty or have an empty, NaN or infinite box are left out. With `replace`, the\n"
      "runs take the place of the page's own glyphs; `upright` (0, 90, 180, 270) is the page\n"
      "rotation under which they read upright, where not the page's own.");
  return doc.c_str();
}

}  // namespace textloom::py
