// Process-wide objects of the binding, made once when the module is first
// imported: the RsPage, TextMap and FoldTable types and the interned dictionary keys.
#pragma once

#include <cstdint>

#include "ffi.hpp"
#include "py.hpp"

namespace textloom::py {

// The keys of the block, line, span, char and font dictionaries (get_text and
// pdftext_blocks); each is interned once so the many equal keys of a page
// share one string.
#define TEXTLOOM_DICT_KEYS(X)                                                              \
  X(type) X(number) X(flags) X(bbox) X(lines) X(spans) X(wmode) X(dir) X(size) X(bidi)     \
  X(char_flags) X(font) X(color) X(alpha) X(ascender) X(descender) X(weight) X(pdf_flags)  \
  X(text) X(chars) X(origin) X(c) X(synthetic) X(idx) X(name) X(rotation) X(url)           \
  X(char_start_idx) X(char_end_idx) X(char_idx) X(superscript) X(subscript) X(_base)      \
  X(_sup) X(_vertical)

// Keys whose text is no C++ name: (field, text).
#define TEXTLOOM_SPELLED_KEYS(X) X(char_key, "char")

struct Keys {
#define TEXTLOOM_KEY_FIELD(name) PyObject* name = nullptr;
  TEXTLOOM_DICT_KEYS(TEXTLOOM_KEY_FIELD)
#undef TEXTLOOM_KEY_FIELD
#define TEXTLOOM_SPELLED_KEY_FIELD(field, text) PyObject* field = nullptr;
  TEXTLOOM_SPELLED_KEYS(TEXTLOOM_SPELLED_KEY_FIELD)
#undef TEXTLOOM_SPELLED_KEY_FIELD
};

struct ModuleState {
  PyTypeObject* page_type = nullptr;  // RsPage
  PyTypeObject* text_map_type = nullptr;  // TextMap
  PyTypeObject* fold_table_type = nullptr;  // FoldTable
  PyObject* render_timeout = nullptr;  // RenderTimeout, a RuntimeError: a render past its time limit
  Keys keys;
};

// The module's state; filled by PyInit__native before any function runs.
ModuleState& module_state();

// Interns the dictionary keys (once); false with an exception set on failure.
bool intern_keys(Keys& keys);

// The host's FPDF_DOCUMENT handle from its address, unchecked: PDFium itself
// rejects a null one.
inline FPDF_DOCUMENT document_at(std::uint64_t address) {
  return reinterpret_cast<FPDF_DOCUMENT>(static_cast<std::uintptr_t>(address));
}

// The host's FPDF_FORMHANDLE (its document's form-fill environment) from its
// address, unchecked; 0 for none.
inline FPDF_FORMHANDLE form_at(std::uint64_t address) {
  return reinterpret_cast<FPDF_FORMHANDLE>(static_cast<std::uintptr_t>(address));
}

// The PDFium table, or null with RuntimeError "textloom._native.init(libpdfium_path)
// not called" set before the first successful init.
const Pdfium* initialised_pdfium();

}  // namespace textloom::py
