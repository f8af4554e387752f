// RsPage's views of itself: new pages made from its glyph model.

#include "page_views.hpp"

#include "page.hpp"
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

}  // namespace textloom::py
