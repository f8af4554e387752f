// RsPage.text_signals, over core text_signals.

#include "page_signals.hpp"

#include "page.hpp"
#include "signals.hpp"

namespace textloom::py {

PyObject* page_text_signals(PyObject* self, PyObject*) {
  const TextSignals s = text_signals(page_glyphs(self));
  if (s.reason.empty()) {
    return Py_BuildValue("(nnddddOO)", static_cast<Py_ssize_t>(s.chars),
                         static_cast<Py_ssize_t>(s.words), s.unmapped, s.invisible, s.offpage,
                         s.image_cover, s.needs_ocr ? Py_True : Py_False, Py_None);
  }
  return Py_BuildValue("(nnddddOs#)", static_cast<Py_ssize_t>(s.chars),
                       static_cast<Py_ssize_t>(s.words), s.unmapped, s.invisible, s.offpage,
                       s.image_cover, s.needs_ocr ? Py_True : Py_False, s.reason.data(),
                       static_cast<Py_ssize_t>(s.reason.size()));
}

const char* page_text_signals_doc() {
  return "text_signals($self)\n--\n\n"
         "What the page's glyphs and objects say about its text: (chars, words, share of chars\n"
         "without Unicode or in a private-use area, share of chars drawn invisible, share of\n"
         "words wholly outside the crop box, share of the page under images, needs_ocr, and\n"
         "its reason: \"no text\", \"garbled\" or None).";
}

}  // namespace textloom::py
